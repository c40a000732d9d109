#!/usr/bin/env bash
# The player's copy of the data tree: made whole on the first start; on a
# later one a shipped file that changed replaces the copy's, while the
# careers, the settings file and the screenshots the player made stay as
# they are, and what the game writes is never copied out of the source.
set -euo pipefail
copy=$1/tools/player_copy.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "player_copy: $*" >&2; exit 1; }

data=$work/data
mkdir -p "$data/zqk/resource/scripts/missions" "$data/zqk/resource/art/screens"
echo "GAMMA 1.0" > "$data/Kelvandrist.ini"
echo "mission one" > "$data/zqk/resource/scripts/missions/mission01.scr"
echo "a developer's career" > "$data/zqk/slot0.sav"
echo "cache" > "$data/zqk/resource/scripts/missions/x.smg"

player=$work/player
bash "$copy" "$data" "$player"
[ "$(cat "$player/zqk/resource/scripts/missions/mission01.scr")" = "mission one" ] || fail "first copy lacks a mission"
[ "$(cat "$player/Kelvandrist.ini")" = "GAMMA 1.0" ] || fail "first copy lacks the settings"
[ ! -e "$player/zqk/slot0.sav" ] || fail "a career of the source tree was copied"
[ ! -e "$player/zqk/resource/scripts/missions/x.smg" ] || fail "a shape cache was copied"

# An hour later the player plays: a career, changed settings, a screenshot.
find "$player" -exec touch -d '-1 hour' {} +
echo "the player's career" > "$player/zqk/slot0.sav"
echo "GAMMA 1.4" > "$player/Kelvandrist.ini"
echo "shot" > "$player/zqk/resource/art/screens/t0001.pcx"
# The game is updated: the mission and the shipped settings change.
echo "mission one, mended" > "$data/zqk/resource/scripts/missions/mission01.scr"
echo "GAMMA 1.1" > "$data/Kelvandrist.ini"
bash "$copy" "$data" "$player"
[ "$(cat "$player/zqk/resource/scripts/missions/mission01.scr")" = "mission one, mended" ] || fail "the mended mission was not brought up"
[ "$(cat "$player/zqk/slot0.sav")" = "the player's career" ] || fail "the career was written over"
[ "$(cat "$player/Kelvandrist.ini")" = "GAMMA 1.4" ] || fail "the player's settings were written over"
[ -e "$player/zqk/resource/art/screens/t0001.pcx" ] || fail "a screenshot was lost"
