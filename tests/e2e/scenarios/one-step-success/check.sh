grep -qF "hash=fnv1a64:$(fnv1a64 "$run/tavik_32_29.bin")" "$log" || fail "body hash differs from the firmware file"
[ "$(grep -cF 'winspool ReadPrinter(#2, buffer=NULL, length=0) -> 1 read=0' "$log")" -eq 2 ] || fail "expected two zero-length reads"
[ "$(grep -cF 'winspool WritePrinter(#2' "$log")" -eq 4 ] || fail "expected exactly four writes"
