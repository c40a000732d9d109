#!/usr/bin/env bash
# Installs what it needs, builds the release preset and runs the game on the
# player's own copy of the demo data, $XDG_DATA_HOME/kelvandrist (by
# default ~/.local/share/kelvandrist), made on the first start and brought
# up to date from data/ on each later one (tools/player_copy.sh): the game
# writes its careers, settings and screenshots there, never into the source
# tree. With no display, SDL's dummy drivers stand in.
set -euo pipefail
cd "$(dirname "$0")"
bash ./setup-debian.sh play
cmake --preset release
cmake --build --preset release --target Kelvandrist
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
fi
game=$PWD/build/release/Kelvandrist
play=${XDG_DATA_HOME:-$HOME/.local/share}/kelvandrist
bash tools/player_copy.sh data "$play"
cd "$play"
exec "$game" "$@"
