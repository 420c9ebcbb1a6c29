#!/usr/bin/env bash
# The simulated drive serving a hand-written CiA 402 EDS at node 3 over the simulated CAN
# bus, and tarvoctl working with it on a dictionary built from the same EDS: defaults,
# $NODEID, access rights, LowLimit/HighLimit, the CiA 402 state machine and the objects it
# does not serve. Usage: drivesim_eds_can.sh STAGE_FOLDER SOURCE_FOLDER
set -euo pipefail
stage=$1
eds=$2/tests/cli/cia402_drive.eds
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
mkdir -p "$folder/sys" "$folder/data"
ln -s "$stage/data/libCAN.so" "$folder/data/libCAN.so"
printf '[can]\r\nbackend=sim\r\nsocket=dev/cansim0\r\n' >"$folder/sys/can.ini"
"$stage/tarvoctl" --node 3 dict build --eds "$eds" -o "$folder/data/tarvo.dat" >/dev/null 2>&1 ||
    fail "dict build --eds"
"$stage/tarvo-drivesim" --folder "$folder" --eds "$eds" --node 3 --can-sim --no-console \
    --quiet >"$folder/sim.out" 2>"$folder/sim.err" &
sim=$!
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
grep -q ready "$folder/sim.out" || fail "the simulated drive did not start: $(cat "$folder/sim.err")"
grep -qF 'eds: not served:' "$folder/sim.err" && grep -qF '2101 "Run hours": UNSIGNED64' \
    "$folder/sim.err" || fail "what is not served: $(cat "$folder/sim.err")"
ctl() { "$stage/tarvoctl" --folder "$folder" --can --bitrate 0x001C --node 3 --timeout 3000 "$@"; }

[ "$(ctl read 6081:00 --raw)" = 10000 ] || fail "default of 6081h"
[ "$(ctl write 6081:00 20000)" = 20000 ] || fail "write 6081h"
[ "$(ctl read 6081:00 --raw)" = 20000 ] || fail "read back 6081h"
[ "$(ctl read 1400:01 --raw)" = 515 ] || fail "\$NODEID+0x200 at node 3"
[ "$(ctl upload 1008:00)" = "LM-402 stepper" ] || fail "text default"
[ "$(ctl read 1600:02 --raw)" = 1614807056 ] || fail "compact sub-object"
refused() {
    local rc=0
    out=$(ctl "${@:2}" 2>"$folder/err") || rc=$?
    [ "$rc" = 3 ] && grep -qF "$1" "$folder/err" || fail "ctl ${*:2}: exit $rc, $(cat "$folder/err")"
}
refused "abort 0x06010002" write 6041:00 1
refused "abort 0x06010002" write 1008:00 1 --width 8
# The limits of the EDS: tarvoctl refuses a value outside them before sending it, from the
# facts file built beside the data file; without that file the drive refuses it itself.
rc=0; ctl write 6072:00 3001 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -qF "6072:00: 3001 is out of range for 6072:00 Max torque (0 to 3000)" \
    "$folder/err" || fail "write 6072:00 3001 with facts: exit $rc, $(cat "$folder/err")"
mv "$folder/data/tarvo.facts.json" "$folder/facts.json"
refused "abort 0x06090031" write 6072:00 3001
refused "abort 0x06090032" write 6071:00 -1001
refused "abort 0x06090031" write 6060:00 8
mv "$folder/facts.json" "$folder/data/tarvo.facts.json"
[ "$(ctl write 6072:00 3000)" = 3000 ] || fail "HighLimit itself is allowed"
ctl write 6071:00 -1000 >/dev/null && [ "$(ctl read 6071:00)" = -1000 ] ||
    fail "LowLimit itself is allowed"
# The CiA 402 state machine on 6040h/6041h: shutdown, switch on, enable operation.
for step in "6 0x21" "7 0x23" "15 0x27"; do
    set -- $step
    ctl write 6040:00 "$1" >/dev/null || fail "controlword $1"
    status=$(ctl read 6041:00 --raw)
    [ $((status & 0x6F)) = $(($2)) ] || fail "controlword $1 gives statusword $status"
done
# An entry of our own dictionary the EDS drive does not have.
ours=$folder/ours
mkdir -p "$ours/data"
ln -s "$folder/sys" "$ours/sys"
ln -s "$folder/dev" "$ours/dev"
ln -s "$stage/data/libCAN.so" "$ours/data/libCAN.so"
ln -s "$stage/data/tarvo.dat" "$ours/data/tarvo.dat"
rc=0
"$stage/tarvoctl" --folder "$ours" --can --bitrate 0x001C --node 3 --timeout 3000 \
    read 2000:01 >/dev/null 2>"$folder/err" || rc=$?
[ "$rc" = 3 ] && grep -qF "abort 0x06020000" "$folder/err" || fail "missing object: $rc $(cat "$folder/err")"
echo "drivesim --eds over the simulated CAN bus: ok"
