#!/usr/bin/env bash
# Installs what it needs, checks the sources' layout, builds the debug preset
# (AddressSanitizer and UndefinedBehaviorSanitizer) and runs every test, fuzz
# seed corpora included.
set -euo pipefail
cd "$(dirname "$0")"
bash ./setup-debian.sh
bash tools/check_format.sh
cmake --preset debug -DKV_WERROR=ON
cmake --build --preset debug
ctest --preset debug -j "$(nproc)"
