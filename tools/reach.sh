#!/usr/bin/env bash
# What the game really runs: builds the coverage preset (gcov counters, no
# sanitizers), runs only whole-game runs and prints, for each of the game's
# folders, the functions defined, those that ran and the share, then every
# function that never ran, grouped by file. The runs:
#   - the end-to-end tests that start the game program (those that run it
#     through tests/support/game_run.h); what the test programs themselves
#     run in their own process is not counted, only the game's;
#   - every demo mission and every tour mission of the suite
#     (tests/e2e/tour) flown headless by script_run -f;
#   - every demo mission started in the game (Kelvandrist -w), walked by an
#     input table through the stations and the key list, a fight, the
#     director and the debrief, on the dummy drivers.
# Unit tests do not run. Slow (a whole build and many minutes of play), so
# test.sh does not run it.
#
#   bash tools/reach.sh
#
# REACH_JOBS: compile jobs (default 2). REACH_FLIGHT_FRAMES: frames each
# headless flight runs at most (default 36000, ten minutes of mission
# time). The runs' output and the gcovr report stay in build/coverage/reach/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/coverage
jobs=${REACH_JOBS:-2}
frames=${REACH_FLIGHT_FRAMES:-36000}
missions=(data/zqk/resource/scripts/missions/*.scr)
tours=(tests/e2e/tour/*.scr tests/e2e/flights/*.scr)

e2e=()
for src in tests/e2e/*_test.cpp; do
  if grep -q '#include "tests/support/game_run.h"' "$src"; then
    e2e+=("test_e2e_$(basename "$src" .cpp)")
  fi
done

cmake --preset coverage >/dev/null
cmake --build --preset coverage -j "$jobs" --target Kelvandrist script_run "${e2e[@]}"

find "$build" -name '*.gcda' -delete
logs=$build/reach
rm -rf "$logs"
mkdir -p "$logs"
scratch=$(mktemp -d /tmp/kv_reach.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
# A test may run the game as another user, who needs to reach its program.
chmod 755 "$scratch"

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy KELVANDRIST_UNPACED=1
failed=()

# Every demo mission and tour mission flown headless, on a copy of the data
# (nothing the runs write lands in the source tree). The suite's tour test
# flies the tours too, but its children write their counters where the
# test's own go, which are thrown away below.
cp -r data "$scratch/data"
cp "${tours[@]}" "$scratch/data/zqk/resource/scripts/missions/"
# The texts the flights show (their STRING statements name them).
cp tests/e2e/flights/*.txt "$scratch/data/zqk/resource/text/"
for mission in "${missions[@]}" "${tours[@]}"; do
  name=$(basename "$mission")
  echo "reach: script_run -f $name"
  if ! "$build/tools/script_run" -f -C "$scratch/data" -n "$frames" "$name" >"$logs/flight_$name.log" 2>&1; then
    failed+=("script_run -f $name")
  fi
done

# Every demo mission in the game. The table: the briefing closed on its
# objectives, the key list, options and a screenshot, NAV's buttons, NAV
# with a target, the speed, the manoeuvre keys, the drive and each order, ENG, COM, WEP
# with its missiles and guns and a long fight, then Q through the
# director, the debrief and the end screen, and the window closed.
table=$scratch/table.txt
{
  echo "100 state"
  echo "700 click CMDObjv"
  echo "710 key F10"
  echo "760 key Escape"
  echo "770 key Left Shift+O"
  echo "820 key Escape"
  echo "830 key F12"
  echo "840 key F2"
  pass=850
  # NAV's own buttons: the drive modes, the autopilot and its order rows,
  # the escort range, the lateral thrusters, the LDS drive and undocking.
  for button in NvMd1 NvMd2 NvMd1 NavMd1 NavMd1 NAuto1 AutPrmH AutPrmL NDUp NDLf NvMd0 NvMd0 NavButt6; do
    echo "$pass click $button"
    pass=$((pass + 20))
  done
  for key in T . , = = - Backspace "Keypad 8" "Keypad 2" "Keypad 4" "Keypad 6" "Keypad 1" "Keypad 3" \
             L 1 L 2 6 3 6 5 6 4 6 1 F4 F1 F3 M M G G T; do
    echo "$pass key $key"
    pass=$((pass + 30))
  done
  for ((; pass < 3400; pass += 4)); do
    if ((pass % 600 == 0)); then
      echo "$pass key T"
    elif ((pass % 120 == 0)); then
      echo "$pass key G"
    else
      echo "$pass key Return"
    fi
  done
  echo "3400 ships"
  echo "3410 key Q"
  echo "3500 state"
  echo "3510 key Q"
  echo "3600 key Q"
  echo "3700 state"
  echo "3710 key Escape"
  echo "3800 quit"
} >"$table"
for mission in "${missions[@]}"; do
  name=$(basename "$mission")
  folder=$scratch/play_${name%.scr}
  cp -r data "$folder"
  echo "reach: Kelvandrist -w $name"
  if ! (cd "$folder" && KELVANDRIST_LOCK_DIR=$folder KELVANDRIST_INPUT=$table KELVANDRIST_FRAME_SECONDS=0.05 \
    timeout 900 "$build/Kelvandrist" -w "$name" >"$logs/play_$name.log" 2>&1); then
    failed+=("Kelvandrist -w $name")
  fi
done

# A test may run the game as another user: the counters, made by now for
# every object the game has, are left writable for it.
find "$build" -name '*.gcda' -exec chmod a+w {} +

# The end-to-end tests run from a copy beside a stand-in for the game
# program (they start the game found beside their own folder): the test
# process writes its counters to a folder thrown away, and the stand-in
# clears that for the game it starts in its place.
mkdir -p "$scratch/e2e/tests" "$scratch/discard"
cat >"$scratch/e2e/Kelvandrist" <<EOF
#!/bin/sh
unset GCOV_PREFIX GCOV_PREFIX_STRIP
exec "$build/Kelvandrist" "\$@"
EOF
chmod 755 "$scratch/e2e" "$scratch/e2e/tests" "$scratch/e2e/Kelvandrist"
for test in "${e2e[@]}"; do
  cp "$build/tests/$test" "$scratch/e2e/tests/"
  echo "reach: $test"
  if ! GCOV_PREFIX=$scratch/discard "$scratch/e2e/tests/$test" >"$logs/$test.log" 2>&1; then
    failed+=("$test")
  fi
done

echo "reach: reading the counters"
gcovr -r "$root" -j "$jobs" --json "$logs/report.json" \
  "$build/CMakeFiles/kvgame.dir" "$build/CMakeFiles/kvtop.dir" "$build/CMakeFiles/Kelvandrist.dir" \
  "$build/tools/CMakeFiles/script_run.dir"
echo
python3 tools/reach_report.py "$logs/report.json" | tee "$logs/reach.txt"
if ((${#failed[@]})); then
  echo
  echo "runs that failed (their output in $logs):"
  printf '  %s\n' "${failed[@]}"
fi
