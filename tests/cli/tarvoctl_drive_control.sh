#!/usr/bin/env bash
# tarvoctl's device control against tarvo-drivesim: enable, move, jog, fault and reset,
# disable, and the exit code of each. Usage: tarvoctl_drive_control.sh STAGE_FOLDER
set -euo pipefail
[ -n "${TRACE:-}" ] && set -x
stage=$1
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; exec 3>&- || true; rm -rf "$folder"' EXIT
mkdir -p "$folder/dev"
ln -s "$stage/data" "$folder/data"
mkfifo "$folder/console"
"$stage/tarvo-drivesim" --folder "$folder" --link ttySIM0 --quiet <"$folder/console" \
    >"$folder/sim.out" &
sim=$!
exec 3>"$folder/console"
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
fail() { echo "FAILED: $*"; exit 1; }
ctl() { "$stage/tarvoctl" --folder "$folder" --port ttySIM0 "$@"; }
# A raw 32-bit value as a signed number.
signed() { local v=$1; [ "$v" -ge 2147483648 ] && v=$((v - 4294967296)); echo "$v"; }
# The motor runs (above 1000, a tenth of the speeds used here), as the simulator's console
# tells it while another tarvoctl holds the port.
running() {
    local before
    before=$(grep -c '^statusword' "$folder/sim.out" || true)
    echo status >&3
    for _ in $(seq 100); do
        [ "$(grep -c '^statusword' "$folder/sim.out" || true)" -gt "$before" ] && break
        sleep 0.02
    done
    local velocity
    velocity=$(grep '^statusword' "$folder/sim.out" | tail -1 | sed 's/.*velocity //')
    [ "${velocity#-}" -gt 1000 ]
}
# KEY reads 0 within about ten seconds; a read that does not go through is tried again.
reads_zero() {
    local value=""
    for _ in $(seq 200); do
        value=$(ctl read "$1" --raw 2>>"$folder/reads.err" || true)
        [ "$value" = 0 ] && return 0
        sleep 0.05
    done
    echo "$1 reads '$value': $(tail -2 "$folder/reads.err")"
    return 1
}
code() { local rc=0; "$@" >"$folder/out" 2>"$folder/err" || rc=$?; echo $rc; }

[ "$(ctl state | head -1)" = "Switch on disabled" ] || fail "state after power-on"
json=$(ctl state --json)
grep -q '"state":"Switch on disabled"' <<<"$json" && grep -q '"voltageEnabled":true' <<<"$json" ||
    fail "state --json: $json"

# Motion needs Operation enabled.
[ "$(code ctl move --position 100 --wait)" = 4 ] && grep -q "needs Operation enabled" "$folder/err" ||
    fail "move while disabled"
[ "$(code ctl jog --velocity 60 --for 1s)" = 4 ] || fail "jog while disabled"

[ "$(code ctl enable)" = 0 ] && [ "$(cat "$folder/out")" = "Operation enabled" ] ||
    fail "enable: $(cat "$folder/err")"
[ "$(code ctl enable)" = 0 ] || fail "enable when enabled"

# A move of 10,000 counts ends with the target reached, within the position window.
start=$(signed "$(ctl read 6064:00 --raw)")
[ "$(code ctl move --position 10000 --relative --velocity 600 --wait)" = 0 ] ||
    fail "move --wait: $(cat "$folder/err")"
grep -q "^target reached" "$folder/out" || fail "move output: $(cat "$folder/out")"
position=$(signed "$(ctl read 6064:00 --raw)")
window=$(ctl read 6067:00 --raw)
distance=$(( position - start - 10000 ))
[ "${distance#-}" -le "$window" ] || fail "position $position after a move from $start"
[ "$(ctl state --json | grep -o '"targetReached":true')" ] || fail "target reached bit"

# A jog runs for its time and stops: the actual velocity is back to 0.
[ "$(code ctl jog --velocity -300 --for 500ms)" = 0 ] && grep -q stopped "$folder/out" ||
    fail "jog: $(cat "$folder/err")"
reads_zero 606C:00 || fail "velocity after the jog"
reads_zero 60FF:00 || fail "target velocity after the jog"

# SIGTERM during a jog stops the motor too.
"$stage/tarvoctl" --folder "$folder" --port ttySIM0 jog --velocity 300 --for 60s \
    >"$folder/jog.out" 2>"$folder/jog.err" &
jog=$!
started=no
for _ in $(seq 200); do running && started=yes && break; sleep 0.05; done
[ "$started" = yes ] || fail "the jog did not start"
kill -TERM $jog
rc=0; wait $jog || rc=$?
[ "$rc" = 4 ] && grep -q "signal" "$folder/jog.err" || fail "jog after SIGTERM: $rc"
reads_zero 60FF:00 || fail "target velocity after SIGTERM"

# An error during a move: the move fails with the fault, fault-reset brings the drive back.
# The jog's stop ramp ends first, so that what runs next is the move.
reads_zero 606C:00 || fail "standstill after the jog"
"$stage/tarvoctl" --folder "$folder" --port ttySIM0 move --position -200000 --relative \
    --wait >"$folder/move.out" 2>"$folder/move.err" &
move=$!
started=no
for _ in $(seq 200); do running && started=yes && break; sleep 0.05; done
[ "$started" = yes ] || fail "the move did not start: $(cat "$folder/move.err")"
echo "error 2" >&3
rc=0; wait $move || rc=$?
[ "$rc" = 4 ] && grep -q "left Operation enabled during the move: Fault" "$folder/move.err" || fail "move into a fault: $rc $(cat "$folder/move.err")"
for _ in $(seq 100); do [ "$(ctl state | head -1)" = Fault ] && break; sleep 0.05; done
[ "$(ctl state | head -1)" = Fault ] || fail "state after error 2"
[ "$(code ctl enable)" = 4 ] && grep -q "fault-reset" "$folder/err" || fail "enable in Fault"
[ "$(code ctl fault-reset)" = 0 ] && [ "$(cat "$folder/out")" = "Switch on disabled" ] ||
    fail "fault-reset: $(cat "$folder/err")"
[ "$(code ctl fault-reset)" = 0 ] && grep -q "no fault" "$folder/err" || fail "no fault to reset"

# A persistent error outlives the reset: not reached, exit 4.
echo "error 4 persist" >&3
for _ in $(seq 100); do [ "$(ctl state | head -1)" = Fault ] && break; sleep 0.05; done
[ "$(code ctl fault-reset --within 0.5)" = 4 ] || fail "reset with the error present"
echo "clear" >&3
[ "$(code ctl fault-reset)" = 0 ] || fail "reset after clear: $(cat "$folder/err")"

[ "$(code ctl enable)" = 0 ] || fail "enable after reset"
[ "$(code ctl quickstop)" = 0 ] || fail "quickstop"
[ "$(code ctl enable)" = 0 ] || fail "enable after quickstop"
[ "$(code ctl disable)" = 0 ] && [ "$(cat "$folder/out")" = "Switch on disabled" ] ||
    fail "disable"
[ "$(code ctl enable --within x)" = 1 ] || fail "--within x"
[ "$(code ctl jog --velocity 10)" = 1 ] || fail "jog without --for"
[ "$(code ctl move --relative)" = 1 ] || fail "move without --position"
echo "PASSED"
