#!/usr/bin/env bash
# Runs Sarnok.exe under Wine beside the virtual card printers and drives its dialog with one
# scenario's steps, then checks the job log, the handles left open and the files.
#   run-e2e.sh BUILD_DIR SCENARIO_DIR [EXE RUN_NAME]
# EXE runs another Sarnok.exe than the build's (the signed release program), in a run folder and
# Wine prefix named RUN_NAME, so that it can run beside the build's own run of the scenario.
#
# A scenario directory holds:
#   sim-scenario.txt   the virtual printers and their faults
#   steps.txt          what the driver does and what each line must read
#   firmwareInfo.ini   the catalogue (optional)
#   firmware.txt       images to create: FILE MODEL MAJOR.MINOR SIZE [readonly|damaged]
#                      (optional; damaged: cut short by 1000 bytes after it is made)
#   dlls.txt           "remove NAME", "use variants/DIR/NAME" or "on-path NAME" (a folder on
#                      WINEPATH) (optional)
#   expect-log.txt     texts the job log must contain, one a line (optional)
#   reject-log.txt     texts it must not contain (optional)
#   thandler           "deleted" or "kept": what happens to thandler.dat in the current folder
#   check.sh           further checks, sourced with $run set (optional)
#   events.txt         Event Log ids the program must report, one a line (optional; read from
#                      Wine's note of each ReportEvent call)
set -euo pipefail

build=$(cd "$1" && pwd)
scenario=$(cd "$2" && pwd)
name=${4:-$(basename "$scenario")}
root=$(cd "$(dirname "$0")/../.." && pwd)

# Every scenario has a screen and a Wine prefix of its own, so that scenarios can run side by
# side: the driver finds the dialog by its caption, which would otherwise find another run's.
if [ -z "${SARNOK_E2E_SCREEN:-}" ]; then
    SARNOK_E2E_SCREEN=1 exec "$root/scripts/xvfb-exec" "$0" "$@"
fi

exe=${3:+$(cd "$(dirname "$3")" && pwd)/$(basename "$3")}
# shellcheck source=prepare-run.sh
. "$root/tests/e2e/prepare-run.sh"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

started=$(date +%s)
debug=$WINEDEBUG
[ -f "$scenario/events.txt" ] && debug=-all,fixme+advapi,+eventlog
(cd "$run" && WINEDEBUG=$debug exec "$wine_run" ./Sarnok.exe >"$run/sarnok.out" 2>&1) &
program=$!
set +e
"$wine_run" "$bin/sarnok_driver.exe" "$scenario/steps.txt" "Z:${run//\//\\}" >"$run/driver.out" 2>&1
driver=$?
set -e
cat "$run/driver.out"
[ "$driver" -eq 0 ] || fail "driver steps (exit $driver)"

# The steps end by closing the dialog; a program still running afterwards is a failure.
for _ in $(seq 1 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
    fail "Sarnok.exe still running after the steps"
    kill "$program" 2>/dev/null || true
fi
wait "$program" 2>/dev/null || true
/usr/lib/wine/wineserver -w 2>/dev/null || true
echo "wall time: $(($(date +%s) - started)) s"

log=$run/sim-job.log
if [ ! -f "$log" ]; then
    fail "no job log"
    log=/dev/null
fi
grep -qF "exit open-handles=0 open-jobs=0" "$log" || fail "handles or jobs left open: $(grep -F 'exit ' "$log" || echo 'no exit line')"
grep -q "scenario .* error=" "$log" && fail "scenario file: $(grep -F 'scenario ' "$log")"
if [ -f "$scenario/expect-log.txt" ]; then
    while IFS= read -r text; do
        [ -z "$text" ] && continue
        grep -qF -- "$text" "$log" || fail "job log lacks: $text"
    done < "$scenario/expect-log.txt"
fi
if [ -f "$scenario/reject-log.txt" ]; then
    while IFS= read -r text; do
        [ -z "$text" ] && continue
        grep -qF -- "$text" "$log" && fail "job log has: $text"
    done < "$scenario/reject-log.txt"
fi
case "$(cat "$scenario/thandler")" in
    deleted) [ ! -e "$run/thandler.dat" ] || fail "thandler.dat was not deleted" ;;
    kept) [ -e "$run/thandler.dat" ] || fail "thandler.dat was deleted" ;;
    *) fail "thandler: say deleted or kept" ;;
esac

# FNV-1a 64 of a file, as the job log prints it.
fnv1a64() {
    python3 -c 'import sys
h = 0xcbf29ce484222325
for b in open(sys.argv[1], "rb").read():
    h = ((h ^ b) * 0x100000001b3) & 0xffffffffffffffff
print("%016x" % h)' "$1"
}
if [ -f "$scenario/events.txt" ]; then
    while read -r id; do
        [ -z "$id" ] && continue
        grep -E "ReportEventW \(" "$run/sarnok.out" |
            grep -qiE "^[^,]*,[^,]*,[^,]*,0x0*$(printf '%x' "$id")," ||
            fail "Sarnok.exe reported no event $id"
    done < "$scenario/events.txt"
    grep -aE 'ReportEvent' "$run/sarnok.out" || true
fi
if [ -f "$scenario/check.sh" ]; then
    # shellcheck source=/dev/null
    . "$scenario/check.sh"
fi

if [ "$failures" -ne 0 ]; then
    echo "---- job log"
    cat "$log"
    echo "---- $failures failure(s) in $name"
    exit 1
fi
echo "PASSED $name"
