#!/usr/bin/env bash
# Checks that every C++ source is laid out as .clang-format says and names
# the files that are not; with --fix it lays them out in place instead.
# Layouts differ between clang-format releases, so the check runs only with
# the release the configuration is set for; under another one it says so
# and passes, since the differences would be the tool's, not the code's.
set -euo pipefail
cd "$(dirname "$0")/.."
want=14
tool=$(command -v "clang-format-$want" || command -v clang-format || true)
if [ -z "$tool" ]; then
    echo "check_format: clang-format not found (setup-debian.sh installs it)" >&2
    exit 1
fi
release=$("$tool" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
if [ "$release" != "$want" ]; then
    echo "check_format: skipped: $tool is release $release, the layout is set for release $want"
    exit 0
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '^bench/peers/')
if [ "${1:-}" = "--fix" ]; then
    "$tool" -i --style=file "${files[@]}"
    exit 0
fi
if ! report=$("$tool" --dry-run --Werror --style=file "${files[@]}" 2>&1); then
    echo "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error:.*/\1/p' | sort -u |
        sed 's/^/check_format: not laid out as .clang-format says: /' >&2
    echo "check_format: run tools/check_format.sh --fix" >&2
    exit 1
fi
echo "check_format: ${#files[@]} files laid out as .clang-format says"
