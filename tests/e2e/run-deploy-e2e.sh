#!/usr/bin/env bash
# Runs one row of deploy-table.txt: SarnokDeploy.exe under Wine beside the virtual card printers
# of the row's scenario, then checks its exit code, its output and the printers' job log.
#   run-deploy-e2e.sh BUILD_DIR ROW
set -euo pipefail

build=$(cd "$1" && pwd)
row=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ -z "${SARNOK_E2E_SCREEN:-}" ]; then
    SARNOK_E2E_SCREEN=1 exec "$root/scripts/xvfb-exec" "$0" "$@"
fi

line=$(grep -E "^$row +\|" "$root/tests/e2e/deploy-table.txt") || { echo "no row $row"; exit 2; }
field() { echo "$line" | cut -d'|' -f"$1" | sed 's/^ *//; s/ *$//'; }
scenario=$root/tests/e2e/scenarios/$(field 2)
want=$(field 3)
arguments=$(field 4)
checks=$(field 5)
name=deploy-$row
extra_programs=$build/src/tools/deploy/SarnokDeploy.exe
# shellcheck source=prepare-run.sh
. "$root/tests/e2e/prepare-run.sh"

# The catalogue's SHA-256 stands for @SHA@ in the arguments and the checks.
sha=$(sha256sum "$run/firmwareInfo.ini" | cut -d' ' -f1)
arguments=${arguments//@SHA@/$sha}
checks=${checks//@SHA@/$sha}
# A workstation without the maker's software: no status library beside the programs.
[[ "$checks" == *no-status-library* ]] && rm -f "$run/ORN_API.dll"
# A library that is not beside the programs but in a folder on PATH, where any user may have put
# it: the programs must not load it.
winepath=
for item in ${checks//;/ }; do
    if [[ "$item" == on-winepath:* ]]; then
        mkdir -p "$run/on-path"
        cp "$bin/${item#on-winepath:}" "$run/on-path/"
        rm -f "$run/${item#on-winepath:}"
        winepath="Z:${run//\//\\}\\on-path"
    fi
done
[ -n "$winepath" ] && export WINEPATH=$winepath
# A log that has reached its limit before the run: 1 MiB of older lines.
if [[ "$checks" == *big-log* ]]; then
    head -c 1048576 /dev/zero | tr '\0' 'x' >"$run/deploy.log"
fi

# The update journal as it may be found: in the folder the console would have made.
history_dir=$WINEPREFIX/drive_c/ProgramData/Brelwin/History
journal_record() { # PID PRINTER FIRMWARE: a started record of a run that never ended
    printf '{"record":"started","id":"%s-1-1","time":"2026-12-09T22:00:00Z","program":"SarnokDeploy","user":"NT AUTHORITY\\\\SYSTEM","pid":%s,"processStarted":"1","printer":"%s","port":"USB001","model":"Tavik Series","from":"27.10","step":"single","firmware":"%s","file":"tavik_32_29.bin","sha256":""}\n' "$1" "$1" "$2" "$3"
}
if [[ "$checks" == *journal-garbage* ]]; then
    # 3 MiB: a 2.5 MiB line of garbage, a record with a NUL in a field, then an interrupted run.
    mkdir -p "$history_dir"
    { head -c 2621440 /dev/zero | tr '\0' 'g'; printf '\n'
      journal_record 8 'Card A\u0000\u001b[2J' 32.29
      head -c 400000 /dev/zero | tr '\0' '{'; printf '\n'
      journal_record 9 'Card A' 32.29; } >"$history_dir/updates.jsonl"
fi
if [[ "$checks" == *journal-torn* ]]; then
    # A run that ended, then a line torn by a power loss in the middle of the next record.
    mkdir -p "$history_dir"
    { journal_record 8 'Card A' 32.29
      printf '{"record":"ended","id":"8-1-1","time":"2026-12-09T22:01:00Z","outcome":"success"}\n'
      printf '{"record":"started","id":"9-1-1","time":"2026-12-'; } >"$history_dir/updates.jsonl"
fi

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# Sarnok.exe opened on its own and driven through the steps on standard input, to its end;
# WHAT says what failed when a step does.
dialog_steps() { # NAME WHAT
    cat >"$run/$1.txt"
    (cd "$run" && exec "$wine_run" ./Sarnok.exe >"$run/sarnok.out" 2>&1) &
    local pid=$!
    "$wine_run" "$bin/sarnok_driver.exe" "$run/$1.txt" >"$run/$1.out" 2>&1 ||
        { cat "$run/$1.out"; fail "$2"; }
    wait "$pid" 2>/dev/null || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
}
unfinished="Sarnok.exe did not say that the last update did not finish"

# A driver step that runs beside the whole row (STEP NAME, printing WORD once it is in place).
beside() { # STEP WORD WHAT-FAILED: starts it and sets $beside_pid
    printf '%s 120\n' "$1" >"$run/$1.txt"
    "$wine_run" "$bin/sarnok_driver.exe" "$run/$1.txt" >"$run/$1.out" 2>&1 &
    beside_pid=$!
    for _ in $(seq 1 100); do
        grep -q "$2" "$run/$1.out" 2>/dev/null && break
        sleep 0.2
    done
    grep -q "$2" "$run/$1.out" || fail "$3"
}
# An event squatting on the update lock's name; another program updating on this workstation,
# holding the programs' own update lock.
squatter=
if [[ "$checks" == *squat-lock* ]]; then
    beside squat-lock squatting "no event squats on the lock's name"
    squatter=$beside_pid
fi
holder=
if [[ "$checks" == *hold-lock* ]]; then
    beside hold-lock holding "nothing holds the update lock"
    holder=$beside_pid
fi

# The dialog open on Card A, no click under way.
dialog=
if [[ "$checks" == *dialog-open* ]]; then
    (cd "$run" && exec "$wine_run" ./Sarnok.exe >"$run/sarnok.out" 2>&1) &
    dialog=$!
    printf 'wait-dialog 30\nselect 0\nwait-until update "enabled" 40\n' >"$run/wait.txt"
    "$wine_run" "$bin/sarnok_driver.exe" "$run/wait.txt" >/dev/null 2>&1 || fail "the dialog did not open"
fi
# That dialog's click while the console updates: refused, nothing sent. The console's run is
# under way once its start is in the journal; the printer's restart keeps it going 3 s after.
during=
if [[ "$checks" == *click-during-update* ]]; then
    cat >"$run/during.txt" <<'STEPS'
wait-dialog 10
click update
wait-until line1 "Another firmware update is running on this workstation." 20
wait-until line2 "Wait until it has finished, then click \"Update\" again." 5
expect update "enabled"
STEPS
    (
        journal=$WINEPREFIX/drive_c/ProgramData/Brelwin/History/updates.jsonl
        for _ in $(seq 1 300); do
            grep -q '"record":"started"' "$journal" 2>/dev/null && break
            sleep 0.1
        done
        exec "$wine_run" "$bin/sarnok_driver.exe" "$run/during.txt" >"$run/during.out" 2>&1
    ) &
    during=$!
fi

# A Unix exit status keeps only the low 8 bits of a Windows exit code (1618 arrives as 82), so
# a batch file under Wine's cmd writes the whole code.
printf '@SarnokDeploy.exe %s\r\n@>exit-code.txt echo %%errorlevel%%\r\n' "$arguments" >"$run/deploy.bat"
started=$(date +%s)
cmd=/usr/lib/i386-linux-gnu/wine/i386-windows/cmd.exe
offset=$(od -An -tu4 -j60 -N4 "$run/SarnokDeploy.exe" | tr -d ' ')
if [ "$(od -An -tx2 -j$((offset + 4)) -N2 "$run/SarnokDeploy.exe" | tr -d ' ')" = 8664 ]; then
    cmd=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/cmd.exe
fi

# A power loss in the middle of an update: the console is ended while it waits for the printer's
# reply, its run started in the journal and never ended. Then Sarnok.exe, started again, finds it
# when the printer is selected.
if [[ "$checks" == *killed-mid-send* ]]; then
    printf '@SarnokDeploy.exe update --all\r\n' >"$run/killed.bat"
    (cd "$run" && exec "$wine_run" "$cmd" /c killed.bat >"$run/killed.out" 2>&1) &
    killed=$!
    journal=$WINEPREFIX/drive_c/ProgramData/Brelwin/History/updates.jsonl
    for _ in $(seq 1 150); do
        grep -q '"record":"started"' "$journal" 2>/dev/null && break
        sleep 0.2
    done
    grep -q '"record":"started"' "$journal" 2>/dev/null || fail "the update's start is not in the journal"
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    wait "$killed" 2>/dev/null || true
    grep -q '"record":"ended"' "$journal" && fail "the killed update's end is in the journal"
    dialog_steps again "$unfinished" <<'STEPS'
wait-dialog 30
select 0
wait-prefix line1 "The last firmware update of this printer did not finish (20" 40
screenshot interrupted.bmp
click cancel
wait-gone 10
STEPS
fi

# What would reach the Event Log: Wine's ReportEvent prints each event on its eventlog channel.
# The event's id is in the advapi channel's note of the call, its strings on the eventlog channel.
(cd "$run" && WINEDEBUG=-all,+eventlog,fixme+advapi "$wine_run" "$cmd" /c deploy.bat \
    >"$run/deploy.out" 2>"$run/deploy.err") || true
code=$(tr -d '\r\n ' <"$run/exit-code.txt" 2>/dev/null || echo none)
echo "SarnokDeploy.exe $arguments -> exit $code in $(($(date +%s) - started)) s"
cat "$run/deploy.out"
grep -vE ':eventlog:|:advapi:' "$run/deploy.err" || true
grep -E 'ReportEvent' "$run/deploy.err" || true
[ "$code" = "$want" ] || fail "exit code $code, expected $want"
if [ -n "$during" ]; then
    wait "$during" || { cat "$run/during.out"; fail "the dialog's click during the update was not refused"; }
fi

if [ -n "$dialog" ]; then
    printf 'wait-dialog 10\nclick cancel\nwait-gone 10\n' >"$run/close.txt"
    "$wine_run" "$bin/sarnok_driver.exe" "$run/close.txt" >/dev/null 2>&1 || fail "the dialog did not close"
    kill -0 "$dialog" 2>/dev/null && /usr/lib/wine/wineserver -k 2>/dev/null
    wait "$dialog" 2>/dev/null || true
fi
# The dialog started while the name is squatted: its click sends nothing and says why.
if [[ "$checks" == *dialog-click-refused* ]]; then
    dialog_steps click "the dialog's click was not refused as it should be" <<'STEPS'
wait-dialog 30
select 0
wait-until update "enabled" 40
click update
wait-until line1 "Another firmware update is running on this workstation." 20
wait-until line2 "Wait until it has finished, then click \"Update\" again." 5
expect update "enabled"
click cancel
wait-gone 10
STEPS
fi
if [ -n "$holder" ]; then
    kill "$holder" 2>/dev/null || true
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    wait "$holder" 2>/dev/null || true
fi
if [ -n "$squatter" ]; then
    kill "$squatter" 2>/dev/null || true
    /usr/lib/wine/wineserver -k 2>/dev/null || true
    wait "$squatter" 2>/dev/null || true
fi
/usr/lib/wine/wineserver -w 2>/dev/null || true

# After the row's run, a second program run: "status", and the dialog's selection of the first
# printer, which must say on line 1 that the last update did not finish. Each run writes the job
# log anew, so the row's is kept for the checks.
if [[ "$checks" == *after-* ]]; then
    [ -f "$run/sim-job.log" ] && cp "$run/sim-job.log" "$run/sim-job.row.log"
fi
# The deployment system's view right after the install: its detection rule, then a report.
after() { # NAME ARGUMENTS: SarnokDeploy.exe run again, its stdout in NAME.out
    printf '@SarnokDeploy.exe %s\r\n' "$2" >"$run/$1.bat"
    (cd "$run" && exec "$wine_run" "$cmd" /c "$1.bat" >"$run/$1.out" 2>"$run/$1.err") || true
    echo "---- $2 afterwards"
    cat "$run/$1.out"
}
[[ "$checks" == *after-detect:* ]] && after detect detect
[[ "$checks" == *after-status:* ]] && after status status
[[ "$checks" == *after-json:* ]] && after status-json "status --json"
if [[ "$checks" == *after-dialog-unfinished* ]]; then
    dialog_steps after "$unfinished" <<'STEPS'
wait-dialog 30
select 0
wait-prefix line1 "The last firmware update of this printer did not finish (20" 40
click cancel
wait-gone 10
STEPS
fi

log=$run/sim-job.row.log
[ -f "$log" ] || log=$run/sim-job.log
[ -f "$log" ] || log=/dev/null
IFS=';' read -ra items <<<"$checks"
for item in "${items[@]}"; do
    item=$(echo "$item" | sed 's/^ *//; s/ *$//')
    case "$item" in
        out:*) grep -qF -- "${item#out:}" "$run/deploy.out" || fail "stdout lacks: ${item#out:}" ;;
        log:*) grep -qF -- "${item#log:}" "$run/deploy.log" || fail "log lacks: ${item#log:}" ;;
        job:*) grep -qF -- "${item#job:}" "$log" || fail "job log lacks: ${item#job:}" ;;
        nojob:*) grep -qF -- "${item#nojob:}" "$log" && fail "job log has: ${item#nojob:}" ;;
        noout) [ -s "$run/deploy.out" ] && fail "stdout is not empty" ;;
        event:*)
            # Wine notes the call with its arguments in hexadecimal, the id fourth.
            id=${item#event:}
            grep -E "ReportEventW \(" "$run/deploy.err" |
                grep -qiE "^[^,]*,[^,]*,[^,]*,0x0*$(printf '%x' "$id")," ||
                fail "no event $id on the eventlog channel"
            ;;
        event-text:*)
            grep -E ':eventlog:ReportEventW' "$run/deploy.err" | grep -qF -- "L\"${item#event-text:}\"" ||
                fail "no event has the string ${item#event-text:}"
            ;;
        after-status:*) grep -qF -- "${item#after-status:}" "$run/status.out" || fail "status afterwards lacks: ${item#after-status:}" ;;
        after-detect:*) grep -qF -- "${item#after-detect:}" "$run/detect.out" || fail "detect afterwards lacks: ${item#after-detect:}" ;;
        source-key)
            # The console registered the Event Log source with its own path.
            grep -i -A3 -F 'EventLog\\Application\\Brelwin Card Printer Firmware]' "$WINEPREFIX/system.reg" |
                grep -qiF 'SarnokDeploy.exe' || fail "the event source key does not name SarnokDeploy.exe"
            ;;
        cmtrace)
            /usr/bin/python3 - "$run/deploy.log" <<'PY' || fail "a log line is not a CMTrace record"
import re, sys
record = re.compile(r'<!\[LOG\[(.*)\]LOG\]!><time="\d\d:\d\d:\d\d\.\d{3}[+-]\d+" '
                    r'date="\d\d-\d\d-\d{4}" component="SarnokDeploy" context="[^"]*" '
                    r'type="[123]" thread="\d+" file="">')
lines = open(sys.argv[1], "rb").read().decode("cp1252").split("\r\n")
assert lines[-1] == "", "the log does not end with CR LF"
for line in lines[:-1]:
    assert record.fullmatch(line), line
print(len(lines) - 1, "records")
PY
            ;;
        cmtrace-error:*)
            text=${item#cmtrace-error:}
            grep -F -- "$text" "$run/deploy.log" | grep -q 'type="3"' || fail "not an error record: $text"
            ;;
        rotated)
            [ "$(stat -c %s "$run/deploy.lo_" 2>/dev/null || echo 0)" -eq 1048576 ] || fail "no deploy.lo_ of 1 MiB"
            [ "$(stat -c %s "$run/deploy.log")" -lt 1048576 ] || fail "deploy.log was not started anew"
            ;;
        json:*|after-json:*)
            document=$run/deploy.out
            [[ "$item" == after-json:* ]] && document=$run/status-json.out && item=json:${item#after-json:}
            # json:KEY=VALUE: the document's KEY is VALUE, read as JSON (null, a number) or
            # else as a string; KEY may be a path (printers.0.lastUpdate.outcome).
            /usr/bin/python3 - "${item#json:}" "$document" <<'PY' || fail "$item"
import json, sys
key, _, value = sys.argv[1].partition("=")
try:
    want = json.loads(value)
except ValueError:
    want = value
doc = json.load(open(sys.argv[2], encoding="utf-8"))
for part in key.split("."):
    doc = doc[int(part)] if isinstance(doc, list) else doc[part]
assert doc == want, (key, doc, want)
PY
            ;;
        oem:*)
            # oem:TEXT: stdout holds TEXT in the OEM code page the prefix reports, as a pipe or a
            # file gets it (437 under Wine's default locale: "ü" is 0x81).
            /usr/bin/python3 - "${item#oem:}" "$WINEPREFIX/system.reg" "$run/deploy.out" <<'PY' || fail "$item"
import re, sys
text, registry, path = sys.argv[1:]
reg = open(registry, encoding="utf-8", errors="replace").read()
key = re.search(r"^\[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\Codepage\][^\n]*\n(.*?)(?=^\[|\Z)",
                reg, re.S | re.M | re.I)
oemcp = re.search(r'^"OEMCP"="(\d+)"', key.group(1), re.M).group(1)
want = text.encode("cp" + oemcp)
print("OEM code page", oemcp + ":", text, "is", want.hex(" "))
assert want in open(path, "rb").read(), "not in stdout"
PY
            ;;
        ascii)
            # Every byte of stdout is ASCII, whatever the code page a script decodes it in.
            /usr/bin/python3 - "$run/deploy.out" <<'PY' || fail "$item"
import sys
data = open(sys.argv[1], "rb").read()
wide = [hex(b) for b in data if b >= 0x80]
assert data and not wide, wide[:8] or "stdout is empty"
PY
            ;;
        json-update|json-status)
            /usr/bin/python3 - "$item" "$run/deploy.out" "$code" <<'PY' || fail "$item"
import json, sys
kind, path, code = sys.argv[1], sys.argv[2], int(sys.argv[3])
doc = json.load(open(path, encoding="utf-8"))
printers = doc["printers"]
assert printers, "no printers"
words = {"update", "two-step", "current", "same-version", "no-firmware", "unreadable"}
for p in printers:
    assert p["decision"] in words, p
    assert isinstance(p["name"], str) and isinstance(p["port"], str), p
    assert p["target"] is None or isinstance(p["target"], str), p
    assert p["intermediate"] is None or isinstance(p["intermediate"], str), p
    if kind == "json-status":
        assert {"model", "firmware"} <= p.keys(), p
    else:
        assert p["outcome"] in {"updated", "nothing-to-do", "failed", "busy", "unconfirmed"}, p
        assert len(p["lines"]) == 3 and all(isinstance(t, str) for t in p["lines"]), p
        assert p["confirmed"] in (True, False, None), p
        assert p["confirmSeconds"] is None or isinstance(p["confirmSeconds"], int), p
        # Updated means the printer reported the firmware, unless no confirmation was asked.
        assert p["outcome"] != "unconfirmed" or p["confirmed"] is False, p
if kind == "json-update":
    assert doc["exitCode"] == code, (doc["exitCode"], code)
print(json.dumps(printers[0]))
PY
            ;;
        nonul) [ -f "$run/deploy.log" ] && [ "$(tr -cd '\000' <"$run/deploy.log" | wc -c)" -eq 0 ] ||
                   fail "the log has a NUL byte or is missing" ;;
        journal-runs:*)
            # The journal's whole records: this many runs started, each line whole but the torn one.
            /usr/bin/python3 - "$history_dir/updates.jsonl" "${item#journal-runs:}" <<'PY' || fail "$item"
import json, sys
lines = open(sys.argv[1], "rb").read().decode("utf-8").split("\n")
records = []
for line in lines:
    try:
        records.append(json.loads(line))
    except ValueError:
        pass
starts = [r for r in records if r.get("record") == "started"]
assert len(starts) == int(sys.argv[2]), [r.get("id") for r in starts]
print(len(starts), "runs started;", len(lines) - len(records), "line(s) not whole")
PY
            ;;
        err:*) grep -qF -- "${item#err:}" "$run/deploy.err" || fail "stderr lacks: ${item#err:}" ;;
        dialog-open|no-status-library|big-log|squat-lock|dialog-click-refused|killed-mid-send|journal-garbage|journal-torn|after-dialog-unfinished) ;;
        hold-lock|click-during-update|on-winepath:*) ;;
        *) fail "unknown check: $item" ;;
    esac
done
# A run that never loaded the virtual printers has no job log to close.
if [ "$log" != /dev/null ]; then
    grep -qF "exit open-handles=0 open-jobs=0" "$log" || fail "handles or jobs left open"
fi

if [ "$failures" -ne 0 ]; then
    echo "---- job log"
    cat "$log"
    echo "---- $failures failure(s) in $name"
    exit 1
fi
echo "---- $name passed"
