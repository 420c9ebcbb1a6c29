#!/usr/bin/env bash
# tarvoctl refuses bad input files and dictionaries before any port is opened: exit code 1
# with the file, the line and the reason, and never a flood of warnings.
# Usage: tarvoctl_bad_input.sh STAGE_FOLDER
set -euo pipefail
stage=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
mkdir -p "$dir/good/data" "$dir/bad/data"
cp "$stage/data/tarvo.dat" "$dir/good/data/"
# expect CODE TEXT COMMAND...: the exit code and a line of standard error holding TEXT.
expect() {
    local code=$1 text=$2 rc=0
    shift 2
    timeout 20 "$stage/tarvoctl" "$@" >"$dir/out" 2>"$dir/err" || rc=$?
    [ "$rc" = "$code" ] || fail "$* exits $rc, not $code: $(head -3 "$dir/err")"
    grep -qF -- "$text" "$dir/err" || fail "$*: no \"$text\" in: $(head -3 "$dir/err")"
}
ctl() { expect "$1" "$2" --folder "$dir/good" "${@:3}"; }

# Parameter files: empty, NUL bytes, another program's CSV, far too large, not a file.
: >"$dir/empty.cdi"
head -c 100000 /dev/zero >"$dir/nul.cdi"
printf 'time,ch1,ch2\r\n0,1,2\r\n1,3,4\r\n' >"$dir/scope.csv"
truncate -s 200M "$dir/huge.cdi"
mkfifo "$dir/fifo.cdi"
ctl 1 "empty.cdi holds no parameter row" import "$dir/empty.cdi"
ctl 1 "empty.cdi holds no parameter row" diff "$dir/empty.cdi"
ctl 1 "nul.cdi line 1: longer than 255 characters" import "$dir/nul.cdi"
ctl 1 "scope.csv line 2: 0: its size 0 is not 8, 16 or 32 bits" import "$dir/scope.csv"
ctl 1 "scope.csv: 2 lines cannot be used; nothing was sent" diff "$dir/scope.csv"
ctl 1 "huge.cdi is 209715200 bytes, far larger than such a file can be" import "$dir/huge.cdi"
ctl 1 "fifo.cdi is not a regular file" diff "$dir/fifo.cdi"
ctl 1 "cannot read $dir/none.cdi: No such file or directory" diff "$dir/none.cdi"
ctl 1 "--reboot without --store would lose the imported values" import "$dir/empty.cdi" --reboot
# The warnings of a damaged object list stop after the first few, with a count.
head -c 20000 /dev/urandom | base64 -w 30 >"$dir/random.cdo"
ctl 1 "more lines like these" export "$dir/random.cdo" "$dir/out.cdi"
[ "$(grep -c ' line ' "$dir/err")" = 10 ] || fail "warnings not capped: $(wc -l <"$dir/err")"
ctl 1 "empty.cdi holds no object word" export "$dir/empty.cdi" "$dir/out.cdi"

# The dictionary: empty, random, not a regular file; every command that needs it stops.
: >"$dir/bad/data/tarvo.dat"
expect 1 "no dictionary: $dir/bad/data/tarvo.dat holds no dictionary entry" \
    --folder "$dir/bad" --port ttyNONE read 6041:00
expect 1 "holds no dictionary entry" --folder "$dir/bad" dict dump
head -c 50000 /dev/urandom | tr '0-9a-fA-F' 'g' >"$dir/bad/data/tarvo.dat"
expect 1 "holds no dictionary entry" --folder "$dir/bad" --port ttyNONE write 6081:00 1
expect 1 "holds no dictionary entry" --folder "$dir/bad" --port ttyNONE upload 1008:00
rm "$dir/bad/data/tarvo.dat" && mkfifo "$dir/bad/data/tarvo.dat"
expect 1 "tarvo.dat is not a regular file" --folder "$dir/bad" --port ttyNONE read 6041:00
expect 1 "tarvo.dat is not a regular file" --folder "$dir/bad" --port ttyNONE export \
    "$dir/random.cdo" "$dir/out.cdi"
expect 1 "tarvo.dat is not a regular file" --folder "$dir/bad" dict find velocity
echo "tarvoctl bad input: ok"
