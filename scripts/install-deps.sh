#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run the program.
set -euo pipefail

# The third to last line is what the package check needs: dpkg-shlibdeps (dpkg-dev, file) and
# the validators and readers of what the package installs. Then Qt's Russian texts, the format
# check's clang-format and GNU parallel, which the scale-out recipe of the README runs.
packages=(cmake g++ make qt6-base-dev qt6-base-dev-tools libgl-dev
          qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libbenchmark-dev
          xvfb xauth clang libclang-rt-14-dev valgrind python3-jsonschema
          dpkg-dev file desktop-file-utils appstream man-db bash-completion
          qt6-translations-l10n
          clang-format parallel)
missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
