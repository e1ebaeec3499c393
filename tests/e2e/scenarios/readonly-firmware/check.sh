[ -w "$run/tavik_32_29.bin" ] || fail "the firmware file is still read-only"
grep -qF "hash=fnv1a64:$(fnv1a64 "$run/tavik_32_29.bin")" "$log" || fail "body hash differs from the firmware file"
