#!/usr/bin/env bash
# tarvoctl dict find over the staged dictionary: matches regardless of case, both languages,
# JSON lines, nothing found and bad input. Usage: tarvoctl_dict_find.sh STAGE_FOLDER
set -euo pipefail
stage=$1
err=$(mktemp)
trap 'rm -f "$err"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
ctl() { "$stage/tarvoctl" --folder "$stage" dict find "$@"; }
en() { ctl "$@" --lang 2; }

out=$(en "PROFILE velocity") || fail "find exits $?"
grep -qP '^6081:00\tProfile velocity\tUNSIGNED32\trpm$' <<<"$out" || fail "text line: $out"
[ "$(en velocity | wc -l)" -gt 5 ] || fail "every match is listed"
en "profile velocity" --json | grep '"entry":"6081:00","key":6324480,"name":"Profile velocity","unit":"rpm"' >/dev/null ||
    fail "json line"
ctl 速度 --lang 1 | grep '速度' >/dev/null || fail "Chinese names"
rc=0; ctl nothing-like-this 2>"$err" >/dev/null || rc=$?
[ "$rc" = 1 ] && [ "$(cat "$err")" = "tarvoctl: no entry's name holds nothing-like-this" ] ||
    fail "no match: $rc $(cat "$err")"
"$stage/tarvoctl" --help | grep -- "--lang 1 the Chinese names, 2 the English ones" >/dev/null ||
    fail "--help does not explain --lang"
rc=0; ctl 2>/dev/null || rc=$?
[ "$rc" = 1 ] || fail "no text: $rc"
rc=0; ctl x --lang 3 2>/dev/null || rc=$?
[ "$rc" = 1 ] || fail "bad language: $rc"
echo "dict find: all passed"
