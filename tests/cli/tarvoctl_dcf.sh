#!/usr/bin/env bash
# tarvoctl export --dcf and import FILE.dcf over the simulated CAN bus: the DCF holds the
# drive's values, an import restores a changed one and verifies it, a read-only
# ParameterValue is skipped and named, and a bad DCF changes nothing.
# Usage: tarvoctl_dcf.sh STAGE_FOLDER
set -euo pipefail
stage=$1
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
mkdir -p "$folder/sys"
ln -s "$stage/data" "$folder/data"
printf '[can]\r\nbackend=sim\r\nsocket=dev/cansim0\r\n' >"$folder/sys/can.ini"
printf '[eds]\r\nVendorName=Lab vendor\r\n' >"$folder/sys/sys.ini"
"$stage/tarvo-drivesim" --folder "$folder" --can-sim --can-bitrate 250000 --no-console --quiet \
    >"$folder/sim.out" &
sim=$!
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
ctl() { "$stage/tarvoctl" --folder "$folder" --can --bitrate 0x011C --node 1 --timeout 3000 "$@"; }

[ "$(ctl write 6081:00 4321)" = 4321 ] || fail "write 6081h"
ctl export --dcf "$folder/drive.dcf" >"$folder/out" || fail "export --dcf exits $?"
dcf=$folder/drive.dcf
grep -q $'^\\[DeviceComissioning\\]\r$' "$dcf" || fail "no [DeviceComissioning]"
grep -q $'^NodeID=1\r$' "$dcf" && grep -q $'^Baudrate=250\r$' "$dcf" || fail "node or rate"
grep -q $'^VendorName=Lab vendor\r$' "$dcf" || fail "vendor from sys.ini"
grep -A7 $'^\\[6081\\]\r$' "$dcf" | grep $'^ParameterValue=4321\r$' >/dev/null || fail "value of 6081h"

[ "$(ctl write 6081:00 999)" = 999 ] || fail "change 6081h"
ctl import "$dcf" >"$folder/out" 2>"$folder/err" || fail "import exits $?: $(cat "$folder/out")"
grep -q 'Alarm:0  Error:0' "$folder/out" || fail "import: $(cat "$folder/out")"
grep -q '6041:00 Statusword: read-only; not written' "$folder/err" || fail "read-only row"
[ "$(ctl read 6081:00 --raw)" = 4321 ] || fail "6081h not restored"

# A DCF of two rows: the read-only one is skipped, the writable one restored.
{
    printf '[FileInfo]\r\n[DeviceInfo]\r\n[MandatoryObjects]\r\nSupportedObjects=0\r\n'
    printf '[OptionalObjects]\r\nSupportedObjects=2\r\n1=0x6041\r\n2=0x6081\r\n'
    printf '[6041]\r\nParameterName=Statusword\r\nDataType=0x0006\r\nAccessType=ro\r\n'
    printf 'ParameterValue=0x1234\r\n'
    printf '[6081]\r\nParameterName=Profile velocity\r\nDataType=0x0007\r\nAccessType=rw\r\n'
    printf 'ParameterValue=777\r\n'
} >"$folder/small.dcf"
ctl import "$folder/small.dcf" >"$folder/out" 2>"$folder/err" || fail "small import exits $?"
grep -q 'small.dcf:13: 6041:00 Statusword: read-only; not written' "$folder/err" ||
    fail "skip: $(cat "$folder/err")"
grep -q 'Total:1 ' "$folder/out" || fail "one row: $(cat "$folder/out")"
[ "$(ctl read 6081:00 --raw)" = 777 ] || fail "small DCF not restored"

# A bad DCF is refused before anything is written.
sed 's/^SupportedObjects=2/SupportedObjects=3/' "$folder/small.dcf" >"$folder/bad.dcf"
rc=0; ctl import "$folder/bad.dcf" >/dev/null 2>"$folder/err" || rc=$?
[ "$rc" = 1 ] && grep -q 'bad.dcf:6: SupportedObjects=3 but' "$folder/err" || fail "bad: $rc"
[ "$(ctl read 6081:00 --raw)" = 777 ] || fail "the bad DCF changed the drive"
echo "tarvoctl DCF export and import: ok"
