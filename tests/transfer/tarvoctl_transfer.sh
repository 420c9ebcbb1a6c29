#!/usr/bin/env bash
# Backs up, compares and restores the simulated drive with tarvoctl export, diff and import
# over a pseudo-terminal. Usage: tarvoctl_transfer.sh STAGE_FOLDER
set -euo pipefail
stage=$1
folder=$(mktemp -d)
sims=()
trap 'for p in "${sims[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$folder"' EXIT
mkdir -p "$folder/sys" "$folder/user"
ln -s "$stage/data" "$folder/data"
list="$stage/user/AllParameters.cdo"

start_sim() {  # start_sim LINK [options...]
    local link=$1
    shift
    "$stage/tarvo-drivesim" --folder "$folder" --link "$link" --node 1 --no-console --quiet \
        "$@" >"$folder/$link.out" &
    sims+=($!)
    for _ in $(seq 200); do grep -q ready "$folder/$link.out" && return 0; sleep 0.05; done
    echo "the simulated drive did not start" >&2
    return 1
}
# A generous reply timeout: the simulated drive may be slow to get the processor.
ctl() { "$stage/tarvoctl" --folder "$folder" --port ttyTR0 --timeout 3000 "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }

start_sim ttyTR0
ctl export "$list" "$folder/a.cdi" >"$folder/out"
rows=$(grep -cv '^$' "$list")
[ "$(wc -l <"$folder/a.cdi")" = "$rows" ] || fail "one line per object"
grep -q "Finish: Total:$rows  Error:0 " "$folder/out" || fail "export finish line"
# CR LF line ends, no row without a result.
[ "$(grep -c $'\r$' "$folder/a.cdi")" = "$rows" ] || fail "CR LF"
! grep -q ',$' "$folder/a.cdi" || fail "an empty result"

# Change two parameters: diff names exactly those, with both values.
old1=$(grep '^60810020,' "$folder/a.cdi" | cut -d, -f2)
old2=$(grep '^20110110,' "$folder/a.cdi" | cut -d, -f2)
ctl write 6081:00 $((old1 + 7)) --width 32 >/dev/null
ctl write 2011:01 $((old2 + 1)) --width 16 >/dev/null
set +e
ctl diff "$folder/a.cdi" >"$folder/diff"
rc=$?
set -e
[ "$rc" = 1 ] || fail "diff exit code $rc"
[ "$(wc -l <"$folder/diff")" = 2 ] || fail "diff lines: $(cat "$folder/diff")"
# Beside the raw numbers, both values in the entry's first unit (rpm: raw * 60 / 512).
rpm() { awk -v raw="$1" 'BEGIN { printf "%.3f rpm", raw * 60 / 512 }'; }
grep -qF "  file $old1 ($(rpm $old1))  drive $((old1 + 7)) ($(rpm $((old1 + 7))))" \
    "$folder/diff" || fail "diff 6081: $(cat "$folder/diff")"
grep -q "^2011:01  .*  file $old2 ([0-9.]* 1/s)  drive $((old2 + 1)) ([0-9.]* 1/s)$" \
    "$folder/diff" || fail "diff 2011"

# Each row is read once; only the two differing rows are written and read back.
ctl import "$folder/a.cdi" --changed-only --trace "$folder/import.trace" >"$folder/out"
grep -q "^written: 2 of $rows rows$" "$folder/out" || fail "changed-only: $(cat "$folder/out")"
[ "$(grep -c ' -> ' "$folder/import.trace")" = $((rows + 4)) ] ||
    fail "changed-only exchanges: $(grep -c ' -> ' "$folder/import.trace") for $rows rows"
ctl diff "$folder/a.cdi" >/dev/null || fail "diff after the restore"
[ "$(ctl read 6081:00 --raw)" = "$old1" ] || fail "6081 restored"

# A full import with store and reboot; after the reboot the drive holds the file's values.
ctl write 6081:00 1 --width 32 >/dev/null
ctl import "$folder/a.cdi" --store --reboot >"$folder/out"
grep -q "Finish: Total:$rows  Alarm:0  Error:0" "$folder/out" || fail "import finish line"
grep -q "^Save parameters: Finished.$" "$folder/out" || fail "store"
grep -q "^Reboot Driver: the driver restarts$" "$folder/out" || fail "reboot"
for _ in $(seq 100); do ctl read 6041:00 >/dev/null 2>&1 && break; sleep 0.1; done
[ "$(ctl read 6081:00 --raw)" = "$old1" ] || fail "stored value after the reboot"
ctl export "$list" "$folder/b.cdi" >/dev/null
cmp "$folder/a.cdi" "$folder/b.cdi" || fail "export, import, export differ"

# A file with a value that is no number is bad input: nothing of it is written, exit code 1
# with the line and the reason. So is --reboot without --store, which would lose the import.
ctl write 6083:00 7 --width 32 >/dev/null
sed 's/^60810020,[^,]*,/60810020,12x,/' "$folder/a.cdi" >"$folder/bad.cdi"
line=$(grep -n '^60810020,' "$folder/bad.cdi" | cut -d: -f1)
rc_n=0
for run in "import $folder/a.cdi --reboot" "diff $folder/bad.cdi" "import $folder/bad.cdi"; do
    set +e
    ctl $run >"$folder/out" 2>"$folder/err.$rc_n"
    rc=$?
    set -e
    [ "$rc" = 1 ] || fail "$run: exit code $rc"
    rc_n=$((rc_n + 1))
done
grep -q -- "--reboot without --store" "$folder/err.0" || fail "reboot: $(cat "$folder/err.0")"
for n in 1 2; do
    grep -q "bad.cdi line $line: 60810020: its value \"12x\" is no number" "$folder/err.$n" ||
        fail "bad value reason: $(cat "$folder/err.$n")"
done
[ "$(ctl read 6083:00 --raw)" = 7 ] || fail "a refused import wrote to the drive"

# A drive that stops answering stops the import with exit code 2 and no false success.
start_sim ttyTR1 --stop-after 41
set +e
"$stage/tarvoctl" --folder "$folder" --port ttyTR1 --timeout 100 import "$folder/a.cdi" \
    >"$folder/out" 2>"$folder/err"
rc=$?
set -e
[ "$rc" = 2 ] || fail "silent drive exit code $rc"
grep -q "^Stopped: no answer from the driver at row 21 of $rows$" "$folder/out" ||
    fail "stop line: $(cat "$folder/out")"
echo "tarvoctl export, diff and import against the simulated drive: ok"
