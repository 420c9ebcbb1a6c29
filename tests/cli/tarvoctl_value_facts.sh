#!/usr/bin/env bash
# What the facts file beside the data file adds to tarvoctl, against tarvo-drivesim on a
# pseudo-terminal: names of codes in read and diff, range and default in JSON, writes outside
# the range refused before anything is sent, codes written by name; without the facts file
# every command works as before. Usage: tarvoctl_value_facts.sh STAGE_FOLDER
set -euo pipefail
stage=$(cd "$1" && pwd)
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
program=$folder/program
mkdir -p "$program/data"
[ -f "$stage/data/tarvo.facts.json" ] || { echo "FAILED: no staged facts file"; exit 1; }
ln -s "$stage"/data/* "$program/data/"
# A copy of the facts file: the last cases spoil and remove it.
rm "$program/data/tarvo.facts.json"
cp "$stage/data/tarvo.facts.json" "$program/data/"
"$stage/tarvo-drivesim" --folder "$program" --link ttyVF0 --no-console --quiet \
    >"$folder/sim.out" &
sim=$!
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
fail() { echo "FAILED: $*"; exit 1; }
sim() { "$stage/tarvoctl" --folder "$program" --port ttyVF0 --timeout 3000 "$@"; }

# Codes read with their names, in English or Chinese; --raw stays the bare number.
sim write 6060:00 1 >/dev/null
[ "$(sim read 6060:00)" = "1 (Profile position)" ] || fail "read a named code: $(sim read 6060:00)"
[ "$(sim read 6060:00 --lang 1)" = "1 (轮廓位置)" ] || fail "--lang 1"
[ "$(sim read 6060:00 --raw)" = 1 ] || fail "--raw has no name"
[ "$(sim write 6060:00 -7)" = -7 ] || fail "write echoes a negative value as unsigned"
[ "$(sim read 6060:00 --raw)" = -7 ] || fail "--raw gives a negative value as unsigned"
[ "$(sim read "Modes of operation")" = "-7 (Clock swing)" ] || fail "a negative code"
printf '%s\n' "$(sim read 6060:00 2110:02)" >"$folder/batch"
grep -qP '^2110:02\t2 \(500k bit/s\)\tCAN bit rate$' "$folder/batch" || fail "batch: $(cat "$folder/batch")"

# JSON keeps its fields and adds the name, range and default where they are known.
json=$(sim read 6060:00 2050:09 1008:00 --json)
python3 - "$json" <<'EOF' || fail "JSON: $json"
import json, sys
rows = [json.loads(line) for line in sys.argv[1].splitlines()]
mode, velocity, text = rows
assert mode == {"key": "6060:00", "name": "Modes of operation", "raw": 249,
                "value": -7, "valueName": "Clock swing", "min": -7, "max": 10,
                "default": 1}, mode
assert velocity["min"] == 1 and velocity["max"] == 409600 and "valueName" not in velocity, velocity
assert set(text) == {"key", "name", "value"}, text
EOF

# Outside the range: refused with the range before anything is sent, at both ends, for a
# signed and an unsigned entry; the ends themselves go through.
sim write 6060:00 3 >/dev/null
sim write 2050:09 5000 >/dev/null
for refused in "6060:00 11 -7 to 10" "6060:00 -8 -7 to 10" "2050:09 0 1 to 409600" \
    "2050:09 409601 1 to 409600" "2050:09 48010 1 to 409600 --unit rpm"; do
    set -- $refused
    rc=0
    rm -f "$folder/trace"
    sim write "$1" "$2" ${6:-} ${7:-} --trace "$folder/trace" >"$folder/out" 2>"$folder/err" || rc=$?
    [ "$rc" = 1 ] && [ ! -s "$folder/out" ] || fail "write $1 $2: exit $rc"
    grep -q "$1: $2.* is out of range for $1 [A-Z].* ($3 $4 $5)$" "$folder/err" ||
        fail "write $1 $2: $(cat "$folder/err")"
    sent=$(cat "$folder/trace" 2>/dev/null | grep -c ' -> ' || true)
    [ "$sent" = 0 ] || fail "write $1 $2 sent $sent requests"
done
[ "$(sim read 6060:00 --raw)" = 3 ] && [ "$(sim read 2050:09 --raw)" = 5000 ] ||
    fail "a refused write changed the drive"
for accepted in "6060:00 10" "6060:00 -7" "2050:09 1" "2050:09 409600"; do
    set -- $accepted
    sim write "$1" "$2" >/dev/null || fail "write $1 $2 at the end of the range"
    back=$(sim read "$1" --unit DEC)
    [[ "$back" = "$2" || "$back" = "$2 ("* ]] || fail "write $1 $2 read back: $back"
done
# A code by its name.
sim write 6060:00 "profile velocity" >/dev/null || fail "write a code by name"
[ "$(sim read 6060:00)" = "3 (Profile velocity)" ] || fail "the code written by name"

# diff shows the names of both values.
printf '60600008\r\n20010108\r\n' >"$folder/list.cdo"
sim export "$folder/list.cdo" "$folder/a.cdi" >/dev/null
sim write 6060:00 -1 >/dev/null
rc=0; sim diff "$folder/a.cdi" >"$folder/diff" || rc=$?
[ "$rc" = 1 ] && grep -qx "6060:00  Modes of operation  file 3 (Profile velocity)  drive -1 (Pulse mode)" \
    "$folder/diff" || fail "diff: $rc $(cat "$folder/diff")"
[ "$(wc -l <"$folder/diff")" = 1 ] || fail "diff lines: $(cat "$folder/diff")"

# A bad facts file is noted and costs only the names and ranges; without one, nothing is said.
echo '{"tarvoFacts": 1, "entries": [{"entry": "6060:00", "min": 5, "max": 1}]}' \
    >"$program/data/tarvo.facts.json"
out=$(sim read 6060:00 2>"$folder/err") || fail "read with a bad facts file"
[ "$out" = -1 ] && grep -q "note: .*tarvo.facts.json" "$folder/err" ||
    fail "bad facts file: '$out' $(cat "$folder/err")"
# Without the range the write goes to the drive, which refuses it itself.
rc=0; sim write 6060:00 11 >/dev/null 2>&1 || rc=$?
[ "$rc" = 3 ] || fail "without facts the drive judges the write: exit $rc"
rm "$program/data/tarvo.facts.json"
out=$(sim read 6060:00 2>"$folder/err") || fail "read without facts file"
[ "$out" = -1 ] && [ ! -s "$folder/err" ] || fail "no facts file: '$out' $(cat "$folder/err")"
echo "tarvoctl value facts OK"
