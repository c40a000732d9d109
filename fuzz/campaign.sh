#!/usr/bin/env bash
# Runs fuzz targets as libFuzzer programs, one after another, two at a time.
#   fuzz/campaign.sh [seconds] [target...]
# Builds the "fuzz" preset (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) first, FUZZ_JOBS compile jobs at a time (2). Each target starts from its seed corpus
# in fuzz/corpus/<name>/ and grows a working corpus of its own under
# build/fuzz/campaign/<name>/corpus (never committed); what it finds lands
# in build/fuzz/campaign/<name>/ as crash-*, leak-*, timeout-* or slow-unit-*.
# With no targets named, every target runs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-180}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$here"/fuzz/*_fuzz.cpp; do
    name=$(basename "$src" .cpp)
    targets+=("${name%_fuzz}")
  done
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${FUZZ_JOBS:-2}" --target "${targets[@]/%/_fuzz}"
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_one() {
  local name=$1 seconds=$2 here=$3
  local work=$here/build/fuzz/campaign/$name
  mkdir -p "$work/corpus"
  if "$here/build/fuzz/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -report_slow_units=1 -artifact_prefix="$work/" "$work/corpus" "$here/fuzz/corpus/$name" \
       >"$work/log" 2>&1; then
    echo "$name: clean"
  else
    echo "$name: FOUND something, see $work/log"
  fi
}
export -f run_one
printf '%s\n' "${targets[@]}" | xargs -P 2 -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$here"
