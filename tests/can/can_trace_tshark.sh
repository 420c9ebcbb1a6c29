#!/usr/bin/env bash
# A CAN trace of a read, a write and a segmented upload against tarvo-drivesim on the
# simulated bus, read by tshark's CANopen dissector: every frame decodes as the SDO service
# it is, with nothing malformed. Usage: can_trace_tshark.sh STAGE_FOLDER
set -euo pipefail
stage=$(cd "$1" && pwd)
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
mkdir -p "$folder/sys"
ln -s "$stage/data" "$folder/data"
printf '[can]\r\nbackend=sim\r\nsocket=dev/cansim0\r\ntrace=trace.log\r\n' >"$folder/sys/can.ini"
"$stage/tarvo-drivesim" --folder "$folder" --can-sim --no-console --quiet >"$folder/sim.out" &
sim=$!
for _ in $(seq 400); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
grep -q ready "$folder/sim.out" || fail "the simulated drive did not start"
ctl() { (cd "$folder" && "$stage/tarvoctl" --can --bitrate 0x001C --timeout 3000 "$@"); }

[ "$(ctl read 6081:00 --raw)" = 5120 ] || fail "read"
[ "$(ctl write 6081:00 600)" = 600 ] || fail "write"
[ "$(ctl upload 1008:00)" = TSD2405-CAN ] || fail "upload"

summary=$(tshark -r "$folder/trace.log" -d 'can.subdissector,canopen' 2>/dev/null)
echo "$summary"
grep -qi malformed <<<"$summary" && fail "malformed frames"
services=$(sed -n 's/.*Default-SDO ([rt]x): //p' <<<"$summary" | tr '\n' '|')
expected="Initiate upload request|Initiate upload response|"
expected+="Initiate download request|Initiate download response|"
expected+="Initiate upload request|Initiate upload response|"
expected+="Upload segment request|Upload segment response|"
expected+="Upload segment request|Upload segment response|"
[ "$services" = "$expected" ] || fail "services: $services"
echo "CANopen trace decodes as expected"
