#!/usr/bin/env bash
# tarvoctl scope against the simulated drive on a pty: one capture whose sample table holds
# the very samples the drive recorded, a record file the view imports, and bad input.
# Usage: tarvoctl_scope.sh STAGE_FOLDER
set -euo pipefail
stage=$1
folder=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
mkdir -p "$folder/sys" "$folder/dev"
ln -s "$stage/data" "$folder/data"
cp "$stage/sys/Oscilloscope.ini" "$folder/sys/"
mkfifo "$folder/console"
"$stage/tarvo-drivesim" --folder "$folder" --link ttySCP0 --quiet --static-inputs \
    <"$folder/console" >"$folder/sim.out" &
sim=$!
exec 3>"$folder/console"
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
# A generous reply timeout: the simulated drive may be slow to get the processor.
ctl() { "$stage/tarvoctl" --folder "$folder" --port ttySCP0 --timeout 3000 "$@"; }

ctl scope --channel "2=Velocity actual value" --channel 4=6078:00 \
    --trigger "velocity actual value" --level 0 --edge 0 --period 1 --pretrigger 5 --total 120 \
    --record "$folder/run.txt" --csv "$folder/run.csv" --table "$folder/table.csv" >"$folder/out"
grep -q "captured 120 samples (720 bytes) of channels 2, 4" "$folder/out"
echo record >&3
for _ in $(seq 200); do grep -q '^record ' "$folder/sim.out" && break; sleep 0.05; done
# The drive's record: 4 bytes of Slot5 (channel 2), then 2 of Slot4 (channel 4), signed.
python3 - "$folder/sim.out" "$folder/run.csv" <<'PY'
import struct, sys
line = [l for l in open(sys.argv[1]) if l.startswith("record ")][0].split()
data = bytes.fromhex(line[2])
expected = "".join("%d,%d,\n" % struct.unpack_from("<ih", data, k) for k in range(0, len(data), 6))
actual = open(sys.argv[2]).read()
assert int(line[1]) == 720, line[1]
assert actual == expected, (actual[:80], expected[:80])
PY
# The table with time and units holds the same samples under a header, 62.5 us apart.
python3 - "$folder/run.csv" "$folder/table.csv" <<'PY'
import sys
raw = [l.rstrip(",").split(",") for l in open(sys.argv[1]).read().splitlines()]
table = open(sys.argv[2]).read().splitlines()
assert table[0] == "time (s),ch2 Velocity actual value (DEC),ch4 Current actual value (DEC)", table[0]
assert len(table) == 121, len(table)
for k, line in enumerate(table[1:]):
    cells = line.split(",")
    assert abs(float(cells[0]) - (k + 1) * 62.5e-6) < 1e-9, line
    assert cells[1:] == raw[k], (line, raw[k])
PY
# The record file is UTF-16LE text with the channels and samples.
python3 - "$folder/run.txt" <<'PY'
import sys
text = open(sys.argv[1], "rb").read().decode("utf-16-le")
assert text.startswith("[oscilloscope]\ntime=1\noffset=5\nnumber=120\n"), text[:60]
assert "ch1 check=0\nch2 check=1\nch2 item=1617690656\n" in text
assert "ch2-120=" in text and "ch4-120=" in text and "ch2-121=" not in text
PY
# Bad input exits 1 and writes nothing; an entry the dictionary lacks is named.
rc=0; ctl scope --channel 9=606C:00 2>/dev/null || rc=$?; [ "$rc" = 1 ]
rc=0; ctl scope --channel "1=No such entry" 2>/dev/null || rc=$?; [ "$rc" = 1 ]
rc=0; ctl scope --channel 1=6060:00 --csv "$folder/bad.csv" >"$folder/out" 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q "6060:00 cannot be sampled" "$folder/err" && [ ! -e "$folder/bad.csv" ]
[ ! -s "$folder/out" ]
rc=0; ctl scope --channel 1=606C:00 --total 70000 2>/dev/null || rc=$?; [ "$rc" = 1 ]
# A refused setting exits 3 with the abort code, and no capture is written.
rc=0; ctl scope --channel 1=606C:00 --period 0 --csv "$folder/bad.csv" >"$folder/out" \
    2>"$folder/err" || rc=$?
[ "$rc" = 3 ] && grep -q "2300:08: the drive refused: abort 0x06090030" "$folder/err"
[ ! -e "$folder/bad.csv" ] && [ ! -s "$folder/out" ]
echo "tarvoctl scope: ok"
