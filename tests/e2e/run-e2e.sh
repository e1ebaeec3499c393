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
#   dlls.txt           "remove NAME" or "use variants/DIR/NAME" (optional)
#   expect-log.txt     texts the job log must contain, one a line (optional)
#   reject-log.txt     texts it must not contain (optional)
#   thandler           "deleted" or "kept": what happens to thandler.dat in the current folder
#   check.sh           further checks, sourced with $run set (optional)
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

bin=$build/sim/bin
exe=${3:+$(cd "$(dirname "$3")" && pwd)/$(basename "$3")}
exe=${exe:-$build/src/platform/win32/Sarnok.exe}
run=$build/e2e-runs/$name
rm -rf "$run"
mkdir -p "$run"
cp "$exe" "$bin"/{sarnok_sim.dll,ORN_API.dll,ORN_API.bak,DODAVED.DLL,VIZUVUV.DLL,winspool.drv} "$run"/
cp "$scenario/sim-scenario.txt" "$run"/
[ -f "$scenario/firmwareInfo.ini" ] && cp "$scenario/firmwareInfo.ini" "$run"/
if [ -f "$scenario/dlls.txt" ]; then
    while read -r verb what; do
        case "$verb" in
            remove) rm -f "$run/$what" ;;
            use) cp "$bin/$what" "$run"/ ;;
            ''|'#'*) ;;
            *) echo "dlls.txt: unknown line: $verb $what"; exit 2 ;;
        esac
    done < "$scenario/dlls.txt"
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winspool.drv=n"
wine_run=$root/scripts/wine-run

# A new prefix takes Wine some 15 s to make and is 1.3 GB, nearly all of it libraries that a run
# only reads. So one is made per build tree, and each scenario gets a hard-linked copy of it, with
# real copies of the files Wine writes back (the registry and the prefix's update stamp).
template=$build/e2e-wineprefix
SARNOK_WINEPREFIX=$template "$wine_run" --prefix-only "$exe"
export SARNOK_WINEPREFIX=$build/e2e-prefixes/$name
export WINEPREFIX=$SARNOK_WINEPREFIX
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
cp -al "$template" "$WINEPREFIX"
for file in "$template"/*.reg "$template"/.update-timestamp; do
    [ -f "$file" ] && cp --remove-destination -p "$file" "$WINEPREFIX/"
done
rm -f "$WINEPREFIX/.lock"

if [ -f "$scenario/firmware.txt" ]; then
    while read -r file model version size flag; do
        [ -z "$file" ] || [ "${file:0:1}" = '#' ] && continue
        # Model names are written with "_" for blanks.
        (cd "$run" && "$wine_run" "$bin/sarnok_mkfw.exe" "$file" "${model//_/ }" "$version" "$size")
        [ "$flag" = readonly ] && chmod a-w "$run/$file"
        if [ "$flag" = damaged ]; then truncate -s -1000 "$run/$file"; fi
    done < "$scenario/firmware.txt"
fi
touch "$run/thandler.dat"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

started=$(date +%s)
(cd "$run" && exec "$wine_run" ./Sarnok.exe >"$run/sarnok.out" 2>&1) &
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
