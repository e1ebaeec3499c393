# Printer time runs at real speed here: the polls must span the program's 30 s limit.
span=$(grep -F 'GetCardPrinterPollingStateA' "$log" | sed -n 's/^t=0*\([0-9]*\) .*/\1/p' | awk 'NR==1{first=$1} {last=$1} END{print last-first}')
[ "${span:-0}" -ge 29000 ] && [ "${span:-0}" -le 36000 ] || fail "polling spanned ${span:-?} ms, expected about 30000"
