#!/usr/bin/env bash
# tarvoctl dict eds / dict build --eds: our dictionary written as an EDS and read back, a
# hand-written CiA 402 EDS built into a dictionary, and bad files that leave the old data
# file as it was. Usage: tarvoctl_dict_eds.sh STAGE_FOLDER SOURCE_FOLDER
set -euo pipefail
stage=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
ctl() { "$stage/tarvoctl" --folder "$stage" "$@"; }

ctl dict eds "$work/ours.eds" "$src/drivedata/dictionary.json" >/dev/null || fail "eds exits $?"
grep -q $'^\\[6040\\]\r$' "$work/ours.eds" || fail "no [6040] section with CR LF"
[ "$(grep -c $'[^\r]$' "$work/ours.eds" || true)" = 0 ] || fail "a line without CR LF"
ctl dict build --eds "$work/ours.eds" -o "$work/back.dat" >/dev/null 2>"$work/err" ||
    fail "build --eds exits $?"
grep -q 'ours.eds:[0-9]*: 2300sub10 "Scope sample data": DOMAIN is not held' "$work/err" ||
    fail "the DOMAIN entry is not reported: $(cat "$work/err")"
[ -s "$work/back.json" ] || fail "no JSON source beside the data file"
# Every entry but the DOMAIN keeps key, English name, type and the W and M letters.
letters() { awk -F'\t' '$3 != "DOMAIN" { w = ($4 ~ /W/); m = ($4 ~ /M/); print $1, $2, $3, w, m }'; }
diff <(ctl dict dump --lang 2 "$stage/data/tarvo.dat" | letters) \
    <(ctl dict dump --lang 2 "$work/back.dat" | letters) || fail "the round trip changed entries"
ctl dict eds "$work/staged.eds" >/dev/null || fail "eds of the staged data file exits $?"
grep -q '^ProductName=Stepper drive' "$work/staged.eds" || fail "default product name"

ctl --node 5 dict build --eds "$src/tests/cli/cia402_drive.eds" -o "$work/lab.dat" \
    >"$work/out" 2>"$work/err" || fail "the lab EDS exits $?: $(cat "$work/err")"
grep -q '(4 objects left out)' "$work/out" || fail "left-out count: $(cat "$work/out")"
for object in '1F51 "Program control": object type DOMAIN' '6089 "Position notation index": REAL32' \
    '2100 "Current loop gain": REAL32' '2101 "Run hours": UNSIGNED64'; do
    grep -qF "$object" "$work/err" || fail "not reported: $object"
done
ctl dict dump --lang 1 "$work/lab.dat" | grep -P '^6041:00\tStatusword\tUNSIGNED16\tLM\t$' >/dev/null ||
    fail "Statusword in the Chinese column"
ctl dict dump "$work/lab.dat" | grep -P '^6040:00\tControlword\tUNSIGNED16\tWM\t$' >/dev/null ||
    fail "Controlword"
# The EDS limits travel into the facts file beside the data file.
python3 - "$work/lab.facts.json" <<'EOF' || fail "facts of the lab EDS"
import json, sys
entries = {e["entry"]: e for e in json.load(open(sys.argv[1]))["entries"]}
assert entries["6060:00"]["min"] == 1 and entries["6060:00"]["max"] == 7, entries["6060:00"]
assert entries["6071:00"]["min"] == -1000 and entries["6071:00"]["max"] == 1000
assert entries["6081:00"]["default"] == 10000 and entries["1400:01"]["default"] == 517
assert "min" not in entries["1008:00"] and "default" not in entries["1008:00"]
EOF
grep -q '"index":"1400","subIndex":"01",.*"default":517,' "$work/lab.json" ||
    fail "\$NODEID+0x200 at node 5"
grep -q '"index":"1600","subIndex":"02",.*"attribute":"W".*"default":1614807056,' \
    "$work/lab.json" || fail "compact sub-object"

# Bad files: a clear message with file and line, and the old data file stays.
echo old >"$work/keep.dat"
printf '[FileInfo]\nEDSVersion=4.0\n\x01\x02\x03garbage\n' >"$work/bin.eds"
printf '\xef\xbb\xbf[FileInfo]\r\n[DeviceInfo]\r\n[OptionalObjects]\r\nSupportedObjects=0\r\n' \
    >"$work/nolist.eds"
{ sed -n '1,60p' "$src/tests/cli/cia402_drive.eds"; echo '[1000]'; } >"$work/twice.eds"
for case in "bin.eds:3: the line holds binary data" \
    "nolist.eds: missing section [MandatoryObjects]" "twice.eds:61: section [1000] is already on line 53"; do
    file=${case%%:*}
    rc=0; ctl dict build --eds "$work/$file" -o "$work/keep.dat" 2>"$work/err" >/dev/null || rc=$?
    [ "$rc" = 1 ] || fail "$file exits $rc"
    grep -qF "tarvoctl: $work/$case" "$work/err" || fail "$file: $(cat "$work/err")"
    [ "$(cat "$work/keep.dat")" = old ] || fail "$file changed the data file"
done
rc=0; ctl dict build --eds "$work/bin.eds" 2>/dev/null || rc=$?
[ "$rc" = 1 ] || fail "no -o: $rc"
rc=0; ctl --node 128 dict build --eds "$src/tests/cli/cia402_drive.eds" -o "$work/x.dat" 2>/dev/null || rc=$?
[ "$rc" = 1 ] || fail "node 128: $rc"
echo "dict eds: all passed"
