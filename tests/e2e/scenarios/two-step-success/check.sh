grep -qF "hash=fnv1a64:$(fnv1a64 "$run/lisander_28_26.bin")" "$log" || fail "first body differs from the intermediate file"
grep -qF "hash=fnv1a64:$(fnv1a64 "$run/lisander_33_36.bin")" "$log" || fail "second body differs from the final file"
