[ -f "$run/missing.bin" ] && [ ! -s "$run/missing.bin" ] || fail "missing.bin was not left behind empty"
