#!/usr/bin/env bash
# tarvoctl beside the reference client (bench/ReferenceClient.cpp: write a frame, read ten
# bytes, next) against one simulated drive emulating a 115200 baud line: a batch read of the
# entries of user/AllParameters.cdo, an export of 500 entries and the upload of a scope
# record, and watch of one entry at the link's pace. Prints the best of three runs of each, the reference's time, the line limit (20
# bytes of 10 bits an exchange) and the ratio to the reference. Usage:
#   bench/reference_compare.sh [BUILD_FOLDER]     (default build)
set -euo pipefail
build=$(realpath "${1:-build}")
stage="$build/stage"
reference="$build/bench/reference_client"
baud=115200
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
mkdir -p "$folder/dev"
ln -s "$stage/data" "$folder/data"
cp -r "$stage/sys" "$folder/sys"
"$stage/tarvo-drivesim" --folder "$folder" --link ttyREF0 --line-baud $baud --no-console \
    --quiet >"$folder/sim.out" &
sim=$!
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
port="$folder/dev/ttyREF0"
tarvoctl=("$stage/tarvoctl" --folder "$folder" --port ttyREF0 --baud $baud)

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Best wall time in ms of three runs of a command whose output goes to $folder/out.
best_of_3() {
    local best= start took
    for _ in 1 2 3; do
        start=$(now_ms)
        "$@" >"$folder/out" || { echo "failed: $*" >&2; cat "$folder/out" >&2; exit 1; }
        took=$(($(now_ms) - start))
        if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
    done
    echo "$best"
}
report() {  # NAME EXCHANGES OURS REFERENCE
    local limit=$(($2 * 20 * 10 * 1000 / baud))
    printf '%-34s ours %6d ms  reference %6d ms  line limit %6d ms  ours/reference %.3f\n' \
        "$1" "$3" "$4" "$limit" "$(awk "BEGIN {print $3 / $4}")"
}

keys=$(tr -d '\r' <"$stage/user/AllParameters.cdo" |
    sed -n 's/^\([0-9A-Fa-f]\{4\}\)\([0-9A-Fa-f]\{2\}\)[0-9A-Fa-f]\{2\}$/\1:\2/p')
count=$(wc -w <<<"$keys")
ours=$(best_of_3 "${tarvoctl[@]}" read --raw $keys)
[ "$(wc -l <"$folder/out")" = "$count" ] || { echo "read gave $(wc -l <"$folder/out") of $count values"; exit 1; }
# shellcheck disable=SC2086
ref=$(best_of_3 "$reference" "$port" 1 read $keys)
report "batch read of $count entries" "$count" "$ours" "$ref"

# 500 rows: the shipped list, then from its start again.
tr -d '\r' <"$stage/user/AllParameters.cdo" | grep -v '^$' >"$folder/once.cdo"
: >"$folder/list.cdo"
while [ "$(wc -l <"$folder/list.cdo")" -lt 500 ]; do
    cat "$folder/once.cdo" >>"$folder/list.cdo"
done
head -n 500 "$folder/list.cdo" | sed 's/$/\r/' >"$folder/export.cdo"
exportKeys=$(tr -d '\r' <"$folder/export.cdo" | sed -n 's/^\(....\)\(..\)..$/\1:\2/p')
ours=$(best_of_3 "${tarvoctl[@]}" export "$folder/export.cdo" "$folder/export.cdi")
# shellcheck disable=SC2086
ref=$(best_of_3 "$reference" "$port" 1 read $exportKeys)
report "export of 500 entries" 500 "$ours" "$ref"

# A record of four 16-bit channels, then its upload alone.
"${tarvoctl[@]}" scope --channel 1=6041:00 --channel 2=6077:00 --channel 3=6078:00 \
    --channel 4=6064:00 --trigger manual --period 1 --total 4000 >"$folder/scope.out"
ref=$(best_of_3 "$reference" "$port" 1 upload 2300:10)
read -r exchanges _ bytes _ <"$folder/out"
[ "$bytes" -gt 0 ] || { echo "the scope record is empty: nothing to compare"; exit 1; }
ours=$(best_of_3 "${tarvoctl[@]}" upload 2300:10)
report "upload of a $bytes-byte scope record" "$exchanges" "$ours" "$ref"

# watch of one entry at the link's pace: 400 polls against as many reads of the reference.
watchCount=400
ours=$(best_of_3 "${tarvoctl[@]}" watch 606C:00 --interval 0 --count $watchCount --csv)
rows=$(grep -c '^[0-9]' "$folder/out" || true)
[ "$rows" = "$watchCount" ] || { echo "watch gave $rows of $watchCount rows"; exit 1; }
# shellcheck disable=SC2046
ref=$(best_of_3 "$reference" "$port" 1 read $(yes 606C:00 | head -n $watchCount))
report "watch of one entry, $watchCount polls" "$watchCount" "$ours" "$ref"
