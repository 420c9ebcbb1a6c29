#!/usr/bin/env bash
# The locale scripts/demo sets exists on the system, so that it starts without warnings.
# Usage: demo_locale.sh SOURCE_FOLDER
set -euo pipefail
want=$(sed -n 's/.*export LANG=\([^ ]*\).*/\1/p' "$1/scripts/demo")
normal=$(tr 'A-Z' 'a-z' <<<"${want/UTF-8/utf8}")
locale -a | tr 'A-Z' 'a-z' | grep -x "$normal" >/dev/null || { echo "scripts/demo sets $want, which this system lacks"; exit 1; }
echo "scripts/demo locale $want: ok"
