#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on a workspace of its own:
# workspace/ (git-ignored) is copied from examples/workspace the first time only, so the
# devices and templates a user adds or edits there never touch the repository.
# Arguments are passed to the program (that is, to the toolkit).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "run.sh: no display found (DISPLAY and WAYLAND_DISPLAY are unset), so the window" >&2
    echo "cannot be shown. Run it from a desktop session, or under a virtual display:" >&2
    echo "    xvfb-run -a scripts/run.sh" >&2
    exit 1
fi

scripts/install-deps.sh

build_dir=build/run
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DKIVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target kivo-parser kivo-decode --parallel "$(nproc)"

if [ ! -e workspace ]; then
    cp -r examples/workspace workspace
    echo "run.sh: created workspace/ from examples/workspace"
fi

cd workspace
exec "../$build_dir/app/kivo-parser" "$@"
