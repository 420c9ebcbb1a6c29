#!/usr/bin/env bash
# The Debian package unpacked into a temporary root: its programs run from there for a new
# user (HOME a fresh folder), make the per-user program folder from the shipped files and
# write nothing into the unpacked tree. Usage: package_install.sh SOURCE BUILD
set -euo pipefail
source_dir=$1
build=$2
command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null ||
    { echo "dpkg-deb or dpkg-shlibdeps missing: skipped"; exit 77; }
command -v help2man >/dev/null || { echo "help2man missing: skipped"; exit 77; }
tmp=$(mktemp -d)
sim=""
trap '[ -z "$sim" ] || kill $sim 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

deb=$("$source_dir/scripts/package" --from "$build" --out "$tmp/out") || fail "scripts/package"
[ -f "$deb" ] || fail "no package: $deb"
dpkg-deb -f "$deb" Depends | grep 'libqt6widgets6' >/dev/null || fail "Depends lacks Qt: $(dpkg-deb -f "$deb" Depends)"
root=$tmp/root
dpkg -x "$deb" "$root"
for f in usr/bin/tarvostep usr/bin/tarvoctl usr/bin/tarvo-drivesim \
    usr/lib/tarvostep/libCOM.so usr/lib/tarvostep/libCAN.so \
    usr/share/tarvostep/data/tarvo.dat usr/share/tarvostep/data/tarvo.facts.json \
    usr/share/tarvostep/data/EN.rcc \
    usr/share/tarvostep/sys/PositionLoop.ini usr/share/tarvostep/user/AllParameters.cdo \
    usr/share/man/man1/tarvoctl.1.gz usr/share/man/man1/tarvostep.1.gz \
    usr/share/man/man1/tarvo-drivesim.1.gz usr/share/bash-completion/completions/tarvoctl \
    usr/share/icons/hicolor/48x48/apps/tarvostep.png usr/share/icons/hicolor/128x128/apps/tarvostep.png \
    usr/share/icons/hicolor/scalable/apps/tarvostep.svg usr/share/doc/tarvostep/copyright; do
    [ -e "$root/$f" ] || fail "the package lacks $f"
done
zcat "$root/usr/share/man/man1/tarvoctl.1.gz" | grep 'dict find' >/dev/null || fail "tarvoctl.1 lacks its commands"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/org.tarvostep.TarvoStep.desktop" ||
        fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$root/usr/share/metainfo/org.tarvostep.TarvoStep.metainfo.xml" \
        >/dev/null || fail "AppStream metadata"
fi

listing() { (cd "$root" && find . -printf '%p %s %m %T@\n' | sort); }
before=$(listing)
bin=$root/usr/bin
mkdir -p "$tmp/home" "$tmp/elsewhere"
cd "$tmp/elsewhere"
run() { env -u XDG_DATA_HOME HOME="$tmp/home" QT_QPA_PLATFORM=offscreen "$@"; }
[ "$(run "$bin/tarvoctl" --version)" = "tarvoctl 1.6" ] || fail "tarvoctl --version"
run "$bin/tarvoctl" dict find velocity >/dev/null || fail "dict find exits $?"
out=$(run "$bin/tarvoctl" dict find velocity --lang 2) || fail "dict find --lang 2 exits $?"
grep -qP '^6081:00\tProfile velocity' <<<"$out" || fail "dict find: $out"
run "$bin/tarvo-drivesim" --help | grep '^usage: tarvo-drivesim' >/dev/null || fail "tarvo-drivesim --help"
[ "$(run "$bin/tarvostep" --version)" = "tarvostep 1.6" ] || fail "tarvostep --version"

mine=$tmp/home/.local/share/tarvostep
[ "$(readlink "$mine/data/tarvo.dat")" = "$root/usr/share/tarvostep/data/tarvo.dat" ] ||
    fail "data/tarvo.dat is no link to the shipped file"
[ "$(readlink "$mine/data/libCOM.so")" = "$root/usr/lib/tarvostep/libCOM.so" ] ||
    fail "data/libCOM.so is no link to the shipped library"
cmp -s "$mine/sys/PositionLoop.ini" "$root/usr/share/tarvostep/sys/PositionLoop.ini" ||
    fail "sys/ defaults not copied"
[ -f "$mine/user/AllParameters.cdo" ] || fail "user/ samples not copied"

# The installed simulator links its port in the per-user folder; tarvoctl finds it there
# through the linked serial library.
# (env execs the simulator, so that $! is its process)
env -u XDG_DATA_HOME HOME="$tmp/home" "$bin/tarvo-drivesim" --link ttySIM0 --no-console --quiet \
    >"$tmp/sim.out" 2>&1 </dev/null &
sim=$!
for _ in $(seq 600); do grep -q ready "$tmp/sim.out" && break; sleep 0.05; done
[ -L "$mine/dev/ttySIM0" ] || fail "the simulator's link is not in the per-user folder"
[ -n "$(run "$bin/tarvoctl" --port ttySIM0 read 6041:00)" ] || fail "read over the installed tools"
kill $sim
wait $sim 2>/dev/null || true
sim=""

# XDG_DATA_HOME, when set, holds the per-user folder.
env HOME="$tmp/home" XDG_DATA_HOME="$tmp/xdg" "$bin/tarvoctl" dict find velocity >/dev/null ||
    fail "dict find with XDG_DATA_HOME"
[ -L "$tmp/xdg/tarvostep/data/tarvo.dat" ] || fail "XDG_DATA_HOME not followed"

[ "$(listing)" = "$before" ] || fail "something was written into the unpacked tree"

# The completion offers every command that tarvoctl's usage lists.
commands=$("$bin/tarvoctl" --help | sed -n '/^Commands:/,/^  help/{s/^  \([a-z]\+\) .*/\1/p}' | sort -u)
[ -n "$commands" ] || fail "no commands in the usage"
offered=$(bash -c 'source "$1"; COMP_WORDS=(tarvoctl ""); COMP_CWORD=1; _tarvoctl;
    printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/tarvoctl")
for command in $commands; do
    grep -qx "$command" <<<"$offered" || fail "the completion lacks $command"
done
echo "package: all passed"
