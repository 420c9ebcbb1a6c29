#!/usr/bin/env bash
# tarvoctl against tarvo-drivesim on a pseudo-terminal: usage, program folder, port names,
# refused writes. Usage: tarvoctl_pty.sh STAGE_FOLDER
set -euo pipefail
stage=$1
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
mkdir -p "$folder/program/dev" "$folder/elsewhere" "$folder/by-id"
program=$folder/program
ln -s "$stage/data" "$program/data"
"$stage/tarvo-drivesim" --folder "$program" --link ttySIM0 --no-console --quiet \
    >"$folder/sim.out" &
sim=$!
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
pty=$(sed -n 's/^port //p' "$folder/sim.out")
fail() { echo "FAILED: $*"; exit 1; }
ctl() { "$stage/tarvoctl" "$@"; }

# Usage on standard output with exit 0; every command and option is listed.
for ask in --help -h help; do
    out=$(ctl $ask) || fail "tarvoctl $ask exits $?"
    for word in read write upload ports --can --bitrate --port --trace --folder; do
        grep -q -- "$word" <<<"$out" || fail "usage lacks $word"
    done
done
# One version everywhere: that of the program's title.
for tool in tarvoctl tarvo-drivesim tarvostep; do
    [ -x "$stage/$tool" ] || continue
    [ "$("$stage/$tool" --version)" = "$tool 1.6" ] || fail "$tool --version"
done
rc=0; ctl --folder "$program" frobnicate 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q '"frobnicate"' "$folder/err" || fail "unknown command: $rc"

# --folder anywhere on the line; from another folder the tool finds its own.
[ "$(ctl --port ttySIM0 read 6041:00 --folder "$program")" != "" ] || fail "--folder last"
out=$(cd "$folder/elsewhere" && "$stage/tarvoctl" dict dump)
grep -q '^6041:00' <<<"$out" || fail "dict dump from another folder"

# A full path is that path, never the program folder's link of the same name.
ln -s "$pty" "$program/dev/ttyQ0"
rc=0; ctl --folder "$program" --port /dev/ttyQ0 read 6041:00 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q "cannot open port /dev/ttyQ0" "$folder/err" || fail "/dev/ttyQ0: $rc"
[ -n "$(ctl --folder "$program" --port "$pty" read 6041:00)" ] || fail "full pty path"
# Long names open through a short link of the program folder.
ln -s "$pty" "$folder/by-id/usb-Tarvo_Simulated_Drive-if00-port0"
ln -s "$pty" "$program/dev/ttySIMULATED"
ctl --folder "$program" --port "$folder/by-id/usb-Tarvo_Simulated_Drive-if00-port0" \
    write 6081:00 1234 --width 32 >/dev/null || fail "by-id path"
[ "$(ctl --folder "$program" --port ttySIMULATED read 6081:00 --raw)" = 1234 ] || fail "long name"
# (the listing is taken whole: grep -q on a pipe would cut the writer off early)
ports=$(ctl --folder "$program" ports)
grep -q '^ttySIMULATED' <<<"$ports" || fail "ports lists long names"

# Refused writes exit 3 with the abort and its meaning on standard error.
rc=0; out=$(ctl --folder "$program" --port ttySIM0 write 6041:00 1 --width 16 2>"$folder/err") ||
    rc=$?
[ "$rc" = 3 ] && [ -z "$out" ] || fail "write to read-only: $rc '$out'"
grep -q "abort 0x06010002 (Attempt to write a read only object)" "$folder/err" || fail "abort text"
# Names, units, batches and JSON give the values the drive holds.
sim() { ctl --folder "$program" --port ttySIM0 "$@"; }
sim write "Profile velocity" 600 --unit rpm >/dev/null || fail "write in rpm"
[ "$(sim read 6081:00 --raw)" = 5120 ] || fail "600 rpm is 5120 raw"
[ "$(sim read "PROFILE VELOCITY")" = "600.000 rpm" ] || fail "read by name in rpm"
[ "$(sim read 6081:00 --unit DEC)" = 5120 ] || fail "--unit DEC"
[ "$(sim read 1008:00)" = TSD2405-CAN ] || fail "a text entry is uploaded"
# upload of a number entry prints what read prints, not its bytes as text.
[ "$(sim upload 6041:00)" = "$(sim read 6041:00)" ] || fail "upload of a number entry"
rc=0; sim read 6081:00 --raw --unit rpm 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q "not both" "$folder/err" || fail "--raw with --unit: $rc"
rc=0; sim write 6081:00 -5 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q "6081:00: -5 is out of range for UNSIGNED32" "$folder/err" ||
    fail "-5 to an UNSIGNED32 entry: $rc $(cat "$folder/err")"
rc=0; ctl --node 0 --port ttySIM0 read 6041:00 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q "1 to 127" "$folder/err" || fail "--node 0: $rc"
rc=0; sim read "profile vel" 2>"$folder/err" >/dev/null || rc=$?
[ "$rc" = 1 ] && grep -q "6081:00  Profile velocity" "$folder/err" || fail "names holding 'profile vel'"
keys=$(ctl --folder "$program" dict dump | awk -F'\t' '$3 ~ /INTEGER|UNSIGNED/ {print $1}' | head -20)
[ "$(sim read $keys | wc -l)" = 20 ] || fail "a batch of 20 entries"
rc=0; json=$(sim read $keys 7000:00 --json 2>/dev/null) || rc=$?
[ "$rc" = 3 ] || fail "a batch with a refused entry exits 3, not $rc"
python3 -c '
import json, sys
rows = [json.loads(line) for line in sys.stdin]
assert len(rows) == 21 and all("raw" in r and "value" in r for r in rows[:20]), rows
assert rows[20]["abort"] == "0x06020000", rows[20]' <<<"$json" || fail "--json"
echo "tarvoctl over a pseudo-terminal: ok"
