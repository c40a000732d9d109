// State that the resource, definition and configuration statements keep for
// the rest of the game to read: the text table, the key map, the current
// palette and colour map, and the video-mode routine they share with
// start-up.
#pragma once

#include "system/palette.h"

#include <cstdint>

// STRING's text table: entry n is the data of a text resource, or null.
constexpr int kTextTableEntries = 512;
extern const char* gTextTable[kTextTableEntries];

// BINDKEY's key map: command codes per layer and scan code, read by the
// bridge key handler. BINDKEYTHR binds the flight input's thrust keys
// (gFlightKeys, world/playerinput.h).
constexpr int kKeyMapLayers = 3;
constexpr int kKeyMapScanCodes = 256;
extern int16_t gKeyMap[kKeyMapLayers][kKeyMapScanCodes];

// SETVID and SETPALETTE: the resource data last made current.
extern const PaletteEntry* gCurrentPalette;
extern const uint8_t* gCurrentColourMap;

// The video mode statement's routine: the mode record takes the width, the
// height and 8 bits; the display opens and the palette is set (the
// windowed and framework back ends open first, the others take the
// palette first). The display's open result: 0 on failure.
int SetVideoMode(const PaletteEntry* palette, int16_t width, int16_t height);
