#!/usr/bin/env bash
# Installs the Debian packages that building and running the game need
# ("setup-debian.sh play": the compiler, CMake and Ninja, and the headers of
# SDL2, FFmpeg and FreeType), or those and the ones the tests, fuzz targets,
# benchmarks' peer, reach measure and format check need (no argument): the
# compiler cache, the font the font maker's tests draw, GoogleTest, Google
# Benchmark, the virtual X server with its screenshot and input tools, OSMesa,
# clang with its sanitizer runtimes, clang-format and gcovr.
# Safe to run again: it installs only what is missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config
          libsdl2-dev libavformat-dev libavcodec-dev libavutil-dev
          libswscale-dev libfreetype-dev)
if [ "${1:-}" != play ]; then
  packages+=(ccache fonts-dejavu-core libgtest-dev libgmock-dev libbenchmark-dev
             xvfb x11-apps xdotool libosmesa6-dev
             clang libclang-rt-dev clang-format gcovr)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
