#!/usr/bin/env bash
# Installs what is missing, then runs everything that guards the program:
#   0. the format check: any C++ file that clang-format would change fails the run at once;
#   1. the whole test suite, GUI tests included, under AddressSanitizer and UBSan with leak
#      detection on (tests/lsan.supp silences only the system's own libraries);
#   2. the libFuzzer targets, 60 seconds each (scripts/fuzz.sh);
#   3. the whole test suite in the plain build;
#   4. the GUI tests once more under Valgrind memcheck (about two minutes);
#   5. the Debian package: a Release build packed with cpack, unpacked into a temporary root and
#      tried there (scripts/check-package.sh, under a minute).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh

export QT_QPA_PLATFORM=offscreen
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

scripts/fuzz.sh 60

cmake --preset dev >/dev/null
cmake --build --preset dev
ctest --preset dev
ctest --preset valgrind
scripts/check-package.sh
