#!/usr/bin/env bash
# tarvoctl reads, writes and uploads over the simulated CAN bus of libCAN.so, and the trace
# is a candump log. Usage: tarvoctl_can.sh STAGE_FOLDER
set -euo pipefail
stage=$1
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
mkdir -p "$folder/sys"
ln -s "$stage/data" "$folder/data"
printf '[can]\r\nbackend=sim\r\nsocket=dev/cansim0\r\ntrace=trace.log\r\n' >"$folder/sys/can.ini"
"$stage/tarvo-drivesim" --folder "$folder" --can-sim --no-console --quiet >"$folder/sim.out" &
sim=$!
for _ in $(seq 100); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
# A generous reply timeout: the simulated drive may be slow to get the processor.
ctl() { "$stage/tarvoctl" --folder "$folder" --can --bitrate 0x001C --node 1 --timeout 3000 "$@"; }

[ "$(ctl write 6081:00 1000 --width 32)" = 1000 ]
[ "$(ctl read 6081:00 --raw)" = 1000 ]
[ "$(ctl upload 1008:00)" = TSD2405-CAN ]
# A text of exactly two segments ends at its last segment.
[ "$(ctl upload 20A0:02)" = TS24050B000317 ]
# Refusals exit 3 with the abort code and its meaning on standard error, nothing on stdout.
refused() {
    local rc=0
    out=$(ctl "${@:2}" 2>"$folder/err") || rc=$?
    [ "$rc" = 3 ] && [ -z "$out" ] && grep -qF "$1" "$folder/err" || {
        echo "ctl ${*:2}: exit $rc, out '$out', err '$(cat "$folder/err")'"
        return 1
    }
}
refused "7000:00: the drive refused: abort 0x06020000 (Object does not exist" read 7000:00
refused "abort 0x06010002 (Attempt to write a read only object)" write 6041:00 1 --width 16
# A value the drive does not take within the entry's range: the drive refuses it (the
# reboot entry takes only AA55h). Out of the entry's range or the type's (-5 is no
# UNSIGNED32): refused before anything is sent.
refused "abort 0x06090030 (Invalid value for parameter)" write 2FFF:00 1
rc=0; ctl write 6081:00 0xFFFFFFFB --width 32 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -qF "6081:00: 4294967291 is out of range for 6081:00 Profile velocity" \
    "$folder/err" || { echo "write 0xFFFFFFFB: exit $rc, $(cat "$folder/err")"; exit 1; }
rc=0; ctl write 6081:00 -5 --width 32 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -qF "6081:00: -5 is out of range for UNSIGNED32" "$folder/err" ||
    { echo "write -5: exit $rc, $(cat "$folder/err")"; exit 1; }
[ "$(ctl read 6081:00 --raw)" = 1000 ]
# The scan finds the simulated node and only it; a named rate is the PCAN code's rate.
# Each node in one line: device type, identity (1018h:01-04) and device name.
line='^node +1 +device type 0x[0-9A-F]{8} +vendor 0x00000A7B +product 0x00002405 +revision 0x00030042 +serial 0x0000013D +TSD2405-CAN$'
scan=$("$stage/tarvoctl" --folder "$folder" --can --bitrate 500k --timeout 100 scan)
[ "$(wc -l <<<"$scan")" = 1 ] && grep -Eq "$line" <<<"$scan" || { echo "scan: $scan"; exit 1; }
scan=$("$stage/tarvoctl" --folder "$folder" --can --timeout 100 scan --nodes 1,3-4)
[ "$(wc -l <<<"$scan")" = 1 ] && grep -Eq "$line" <<<"$scan" || { echo "scan --nodes: $scan"; exit 1; }
rc=0; "$stage/tarvoctl" --folder "$folder" --can --timeout 100 scan --nodes 2-127 \
    >"$folder/out" 2>"$folder/err" || rc=$?
[ "$rc" = 2 ] && [ ! -s "$folder/out" ] && grep -q "no drive answered" "$folder/err" ||
    { echo "scan without the node: exit $rc"; exit 1; }
rc=0; "$stage/tarvoctl" --folder "$folder" --can scan --nodes 0-3 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q "nodes from 1 to 127" "$folder/err" || { echo "--nodes 0-3: exit $rc"; exit 1; }
# candump log lines: (seconds.micro) iface ID#DATA
grep -Eq '^\([0-9]+\.[0-9]{6}\) cansim0 601#4081600000000000$' "$folder/trace.log"
grep -Eq '^\([0-9]+\.[0-9]{6}\) cansim0 581#' "$folder/trace.log"
echo "tarvoctl over the simulated CAN bus: ok"
