#!/usr/bin/env bash
# Installs what it needs, builds the release preset and runs the game on the
# demo data in data/. With no display, SDL's dummy drivers stand in.
set -euo pipefail
cd "$(dirname "$0")"
bash ./setup-debian.sh
cmake --preset release
cmake --build --preset release --target Kelvandrist
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
fi
cd data
exec ../build/release/Kelvandrist "$@"
