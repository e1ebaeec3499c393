[ "$(stat -c %s "$run/tavik_32_29.bin")" -eq 3500 ] || fail "the damaged file was changed"
