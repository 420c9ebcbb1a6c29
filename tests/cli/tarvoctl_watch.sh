#!/usr/bin/env bash
# tarvoctl watch against tarvo-drivesim on a pty: rows with rising times in CSV and JSON, a
# stop by SIGTERM that leaves whole rows, and a drive that goes away mid-watch (exit 2, the
# rows so far kept). Usage: tarvoctl_watch.sh STAGE_FOLDER
set -euo pipefail
stage=$1
folder=$(mktemp -d)
sim=
watch=
trap 'kill $sim $watch 2>/dev/null || true; rm -rf "$folder"' EXIT
mkdir -p "$folder/dev"
ln -s "$stage/data" "$folder/data"
"$stage/tarvo-drivesim" --folder "$folder" --link ttyWAT0 --no-console --quiet >"$folder/sim.out" &
sim=$!
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
fail() { echo "FAILED: $*"; exit 1; }
# A generous reply timeout: the simulated drive may be slow to get the processor.
ctl() { "$stage/tarvoctl" --folder "$folder" --port ttyWAT0 --timeout 3000 "$@"; }
# In the background without a shell between, so that $! is tarvoctl itself.
ctl_bg() { exec "$stage/tarvoctl" --folder "$folder" --port ttyWAT0 --timeout 3000 "$@"; }
rows() { tail -n +2 "$1" 2>/dev/null | grep -c . || true; }
# Waits (up to a minute) until FILE holds N rows.
wait_rows() {
    for _ in $(seq 1200); do [ "$(rows "$1")" -ge "$2" ] && return 0; sleep 0.05; done
    fail "no $2 rows in $1"
}

# 50 rows at the link's pace, on standard output and in the log, times rising.
ctl watch 606C:00 --count 50 --interval 0 --csv "$folder/log.csv" >"$folder/out.csv" ||
    fail "watch --count 50 exits $?"
python3 - "$folder/log.csv" "$folder/out.csv" <<'PY'
import sys
log = open(sys.argv[1]).read().splitlines()
assert log == open(sys.argv[2]).read().splitlines(), "the log and standard output differ"
assert log[0] == "time (s),606C:00 Velocity actual value (rpm)", log[0]
assert len(log) == 51, len(log)
times = [float(line.split(",")[0]) for line in log[1:]]
assert all(b > a for a, b in zip(times, times[1:])), times
for line in log[1:]:
    float(line.split(",")[1])
PY
# Several entries and JSON lines; --csv alone is CSV on standard output.
out=$(ctl watch 606C:00 "Statusword" --count 3 --json)
[ "$(grep -c '"values":\[{"key":"606C:00",' <<<"$out")" = 3 ] || fail "json rows: $out"
grep -q '"key":"6041:00","raw":' <<<"$out" || fail "json status word: $out"
[ "$(ctl watch 6041:00 --count 2 --csv | wc -l)" = 3 ] || fail "--csv on standard output"
# --for ends by itself.
ctl watch 6041:00 --for 1s --interval 200 >"$folder/for.csv" || fail "--for 1s exits $?"
[ "$(rows "$folder/for.csv")" -ge 1 ] || fail "--for 1s wrote no row"

# Bad input exits 1 before anything is asked.
for bad in "--count 0" "--count 2 --for 5s" "--for 5x" "--interval -1" "--frobnicate" \
    "--json --csv"; do
    rc=0; ctl watch 606C:00 $bad >/dev/null 2>&1 || rc=$?
    [ "$rc" = 1 ] || fail "watch $bad exits $rc"
done
rc=0; ctl watch 1008:00 --count 1 >/dev/null 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q "is a text" "$folder/err" || fail "a text entry: $rc"

# SIGTERM ends the watch with whole rows and exit 0.
(ctl_bg watch 606C:00 6041:00 --interval 20 --csv "$folder/term.csv" >/dev/null) &
watch=$!
wait_rows "$folder/term.csv" 5
kill -TERM $watch
rc=0; wait $watch || rc=$?
watch=
[ "$rc" = 0 ] || fail "SIGTERM: exit $rc"
[ -z "$(tail -c 1 "$folder/term.csv")" ] || fail "the last row is cut"
awk -F, 'NF != 3 { exit 1 }' "$folder/term.csv" || fail "a row without every cell"

# The drive goes away: exit 2, the rows so far kept whole.
(ctl_bg watch 606C:00 --interval 20 --csv "$folder/lost.csv" >/dev/null 2>"$folder/err") &
watch=$!
wait_rows "$folder/lost.csv" 5
kill $sim
wait $sim 2>/dev/null || true
sim=
rc=0; wait $watch || rc=$?
watch=
[ "$rc" = 2 ] || fail "a drive that went away: exit $rc"
grep -q "does not answer" "$folder/err" || fail "no message: $(cat "$folder/err")"
[ "$(rows "$folder/lost.csv")" -ge 5 ] || fail "rows lost"
awk -F, 'NF != 2 { exit 1 }' "$folder/lost.csv" || fail "a cut row"
echo "tarvoctl watch: all checks passed"
