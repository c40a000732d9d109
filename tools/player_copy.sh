#!/usr/bin/env bash
# Makes or brings up to date the player's copy of a data tree:
#   tools/player_copy.sh DATA PLAYER
# Shipped files newer than the player's copy replace it. What the game
# writes (careers, the settings file, screenshots, the log page, shape
# caches, debug.txt) is left out of the copy, whatever DATA holds of it, so
# nothing the player made is written over; the settings file is copied only
# when the player has none.
set -euo pipefail
data=$1
player=$2
mkdir -p "$player"
tar -C "$data" --exclude=./Kelvandrist.ini --exclude=./debug.txt --exclude='*.smg' \
    --exclude=./zqk/state.inf --exclude='./zqk/slot*.sav' \
    --exclude=./zqk/resource/text/docs/test.htm --exclude='./zqk/resource/art/screens/t*.pcx' \
    -cf - . | tar -C "$player" --keep-newer-files --warning=no-ignore-newer -xf -
if [ ! -e "$player/Kelvandrist.ini" ]; then
  cp "$data/Kelvandrist.ini" "$player/Kelvandrist.ini"
fi
