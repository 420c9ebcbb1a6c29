#!/usr/bin/env bash
# Speed of a batch read: every entry of user/AllParameters.cdo in one tarvoctl call against
# the simulated drive on an emulated 115200 baud line, beside what the line allows (a
# 10-byte request and a 10-byte reply of 10 bits a byte each). Usage:
#   bench/tarvoctl_batch_bench.sh [STAGE_FOLDER]     (default build/stage)
set -euo pipefail
stage=$(realpath "${1:-build/stage}")
baud=115200
folder=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$folder"' EXIT
mkdir -p "$folder/dev"
ln -s "$stage/data" "$folder/data"
"$stage/tarvo-drivesim" --folder "$folder" --link ttyBEN0 --line-baud $baud --no-console \
    --quiet >"$folder/sim.out" &
sim=$!
for _ in $(seq 200); do grep -q ready "$folder/sim.out" && break; sleep 0.05; done
keys=$(tr -d '\r' <"$stage/user/AllParameters.cdo" | sed -n 's/^\([0-9A-Fa-f]\{4\}\)\([0-9A-Fa-f]\{2\}\)[0-9A-Fa-f]\{2\}$/\1:\2/p')
count=$(wc -w <<<"$keys")
best=
for run in 1 2 3; do
    start=$(date +%s%N)
    lines=$("$stage/tarvoctl" --folder "$folder" --port ttyBEN0 --baud $baud read --raw $keys |
        wc -l)
    took=$((($(date +%s%N) - start) / 1000000))
    [ "$lines" = "$count" ] || { echo "run $run: $lines of $count values"; exit 1; }
    [ -z "$best" ] || [ "$took" -lt "$best" ] && best=$took
done
limit=$((count * 20 * 10 * 1000 / baud))
echo "batch read of $count entries at $baud baud: best of 3 runs ${best} ms;" \
    "line limit ${limit} ms; ratio $(awk "BEGIN {printf \"%.2f\", $best / $limit}")x (goal 1.10x)"
