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
ctl() { "$stage/tarvoctl" --folder "$folder" --can --bitrate 0x001C --node 1 "$@"; }

[ "$(ctl write 6081:00 1000 --width 32)" = 1000 ]
[ "$(ctl read 6081:00)" = 1000 ]
[ "$(ctl upload 1008:00)" = TSD2405-CAN ]
# A text of exactly two segments ends at its last segment.
[ "$(ctl upload 20A0:02)" = TS24050B000317 ]
set +e
out=$(ctl read 7000:00)
rc=$?
set -e
[ "$rc" = 3 ] && [ "$out" = "abort 0x06020000" ]
# candump log lines: (seconds.micro) iface ID#DATA
grep -Eq '^\([0-9]+\.[0-9]{6}\) cansim0 601#4081600000000000$' "$folder/trace.log"
grep -Eq '^\([0-9]+\.[0-9]{6}\) cansim0 581#' "$folder/trace.log"
echo "tarvoctl over the simulated CAN bus: ok"
