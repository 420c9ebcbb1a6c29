#!/usr/bin/env bash
# A port that exists but cannot be opened: tarvoctl says why and how to fix it. A device
# the user may not open names the group that owns it; a device another program holds
# names that program's process. Usage: tarvoctl_port_access.sh STAGE_FOLDER
set -euo pipefail
stage=$1
folder=$(mktemp -d)
sim=""
holder=""
trap '[ -z "$holder" ] || kill $holder 2>/dev/null || true; [ -z "$sim" ] || kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
chmod 755 "$folder"
mkdir -p "$folder/program/dev"
program=$folder/program
ln -s "$stage/data" "$program/data"
"$stage/tarvo-drivesim" --folder "$program" --link ttySIM0 --no-console --quiet \
    >"$folder/sim.out" &
sim=$!
for _ in $(seq 600); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
pty=$(sed -n 's/^port //p' "$folder/sim.out")
[ -n "$pty" ] || fail "the simulator gave no port"

# Held by another program: which process holds it.
# (one process: the lock stays with the descriptor that sleep inherits)
(exec 3<>"$pty" && flock --nonblock 3 && exec sleep 600) </dev/null >/dev/null 2>&1 &
holder=$!
for _ in $(seq 600); do
    [ "$(readlink /proc/$holder/fd/* 2>/dev/null | grep -cx "$pty")" -gt 0 ] && break
    sleep 0.05
done
rc=0; "$stage/tarvoctl" --folder "$program" --port ttySIM0 read 6041:00 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] || fail "a held port: exit $rc"
grep -q "cannot open port ttySIM0: Device or resource busy" "$folder/err" || fail "busy: $(cat "$folder/err")"
grep -q "$pty is in use by .*(process $holder)" "$folder/err" || fail "holder: $(cat "$folder/err")"
kill $holder
wait $holder 2>/dev/null || true
holder=""

# No permission: the group that owns the device, and the way into it.
as_user=()
if [ "$(id -u)" = 0 ]; then
    command -v setpriv >/dev/null || { echo "setpriv missing: skipped"; exit 77; }
    chgrp dialout "$pty"
    chmod 0660 "$pty"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    "${as_user[@]}" test -x "$stage/tarvoctl" || { echo "the stage is closed to nobody: skipped"; exit 77; }
else
    chmod 0000 "$pty"
fi
group=$(stat -c %G "$pty")
rc=0; "${as_user[@]}" "$stage/tarvoctl" --folder "$program" --port ttySIM0 read 6041:00 \
    2>"$folder/err" || rc=$?
[ "$rc" = 1 ] || fail "no permission: exit $rc"
grep -q "cannot open port ttySIM0: Permission denied" "$folder/err" || fail "denied: $(cat "$folder/err")"
grep -q "You may not open $pty: it belongs to group $group\. Add yourself to that group (sudo adduser [a-z0-9\$A-Z_-]* $group), then log out and in again\." \
    "$folder/err" || fail "permission help: $(cat "$folder/err")"
echo "port access: all passed"
