#!/usr/bin/env bash
# Builds the Debian package (Release, in build/package) and checks it without installing it on
# this machine: the package is unpacked into a temporary root, both programs run from there on
# the installed sample workspace and in a fresh home, and the desktop entry, the metainfo, the
# manual pages (and the files they name) and the shell completion are checked.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset package >/dev/null
cmake --build --preset package
rm -f build/package/kivo-parser_*.deb
cpack --preset deb >/dev/null
deb=$(echo build/package/kivo-parser_*.deb)
echo "== $deb: $(dpkg-deb -f "$deb" Depends)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin
share=$root/usr/share
sample=$share/kivo-parser/workspace
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The license is stated where Debian looks for it, and the packet log's Qt libraries are
# dependencies (found by dpkg-shlibdeps).
grep -q '^License: GPL-3.0-or-later' "$share/doc/kivo-parser/copyright" || fail "no copyright file"
for library in libqt6serialport6 libqt6charts6; do
    dpkg-deb -f "$deb" Depends | grep -q "$library" || fail "the package does not depend on $library"
done

# The version the package carries is the one both programs print, without a display.
version=$(dpkg-deb -f "$deb" Version)
for program in kivo-parser kivo-decode; do
    shown=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/$program" --version)
    [ "$shown" = "$program $version" ] || fail "$program --version printed '$shown'"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/$program" --help | grep -q -- --workdir ||
        fail "$program --help does not list --workdir"
done

# kivo-decode prints the first sample of the installed packets.txt as that file says.
samples=$sample/packets.txt
entry=$(sed -n '/^== /{s/^== //;p;q}' "$samples")
expected=$(awk '/^== /{n++} n==1 && /^>/{print substr($0, 2)}' "$samples")
actual=$("$bin/kivo-decode" -C "$sample" -d "${entry% | *}" "${entry#* | }")
[ "$actual" = "$expected" ] || fail "kivo-decode on the sample workspace printed:"$'\n'"$actual"

# The window, offscreen in a fresh home: its first start makes the user workspace from the
# sample and works in it; a second start keeps what the user changed there.
home=$scratch/home
workspace=$home/.local/share/kivo-parser
start_window() {
    mkdir -p "$home"
    env -i PATH="$PATH" LANG=C.UTF-8 HOME="$home" XDG_RUNTIME_DIR="$scratch/runtime" QT_QPA_PLATFORM=offscreen \
        "$bin/kivo-parser" --user-workspace >"$scratch/window.log" 2>&1 &
    local pid=$! tries=0
    until [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$workspace" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$pid" 2>/dev/null; then
            cat "$scratch/window.log" >&2
            fail "the window did not start in $workspace"
        fi
        sleep 0.1
    done
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "the window stopped by itself"
    kill -TERM "$pid"
    wait "$pid" || true
}
mkdir -p "$scratch/runtime" && chmod 700 "$scratch/runtime"
start_window
diff -r "$sample" "$workspace" >/dev/null || fail "the user workspace differs from the sample"
printf '[Dev]\nMine=mine.json\n' >"$workspace/Dev.conf"
start_window
[ "$(cat "$workspace/Dev.conf")" = $'[Dev]\nMine=mine.json' ] || fail "the second start overwrote Dev.conf"

# Menu entry, icon and metainfo.
desktop=$(echo "$share"/applications/*.desktop)
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml >/dev/null
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128 256; do
    [ -f "$share/icons/hicolor/${size}x$size/apps/$icon.png" ] || fail "no ${size}px icon $icon"
done
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -x "$bin/${exec_line%% *}" ] || fail "the desktop entry starts ${exec_line%% *}, not installed"

# Manual pages render without warnings.
for page in kivo-parser kivo-decode; do
    warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man $page: $warnings"
done

# Every installed file the manual pages name is in the package.
for path in $(zcat "$share"/man/man1/*.1.gz | grep -o '/usr/share/[^ ]*' | sort -u); do
    [ -e "$root$path" ] || fail "a manual page names $path, which the package does not install"
done

# Tab completion offers the devices of the work directory given on the line.
devices=$(LC_ALL=C.UTF-8 bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1"
    COMP_WORDS=(kivo-decode -C "$2" -d "") COMP_CWORD=4
    COMP_LINE="${COMP_WORDS[*]}" COMP_POINT=${#COMP_LINE}
    _kivo_decode kivo-decode "" -d
    printf "%s\n" "${COMPREPLY[@]}"' _ "$share/bash-completion/completions/kivo-decode" "$sample")
[ "$devices" = $'Sensor-1\nTag-20\nТермометр\nThermo-21' ] || fail "completion of -d offered: $devices"

echo "== $deb: installs and runs"
