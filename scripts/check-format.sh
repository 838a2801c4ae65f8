#!/usr/bin/env bash
# Fails, naming them, when clang-format (with the repository's .clang-format) would change any
# C++ file: the tracked ones in a git checkout, every one outside build/ in a plain copy.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
    echo "check-format: clang-format is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    list() { git ls-files -z -- '*.cpp' '*.h'; }
else
    list() { find . -path ./build -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0; }
fi

# clang-format names each file it would change in lines "<file>:<line>:<column>: error: ...".
# A file listed by git but deleted in the working tree is not looked for.
report=$(list | while IFS= read -r -d '' file; do
    [ -f "$file" ] && printf '%s\0' "$file"
done | xargs -0 -r -n 40 -P 2 clang-format --dry-run --Werror 2>&1 >/dev/null || true)
files=$(sed -n 's/^\(.*\.\(cpp\|h\)\):[0-9]*:[0-9]*: error: .*/\1/p' <<<"$report" | sort -u)
if [ -n "$files" ]; then
    echo "check-format: clang-format -i would change these files:" $files >&2
    exit 1
fi
if [ -n "$report" ]; then # clang-format failed without naming a file
    echo "check-format: clang-format failed: $report" >&2
    exit 1
fi
