// The game palette: 256 entries of red, green, blue and a spare byte.
//
// Entries 0 to 9 and 246 to 255 stay with the system when films and palettes
// are set. Palette files (PCX, IFF CMAP) hold 768 bytes of red, green, blue
// triples, which the loaders spread into these entries.
#pragma once

#include "platform/display.h"

#include <cstdint>

// One entry: red, green, blue and a spare byte, the layout the screen takes.
using PaletteEntry = platform::PaletteColour;

constexpr int kPaletteEntries = 256;

struct GamePalette {
    PaletteEntry entries[kPaletteEntries];
};
static_assert(sizeof(GamePalette) == 1024);

// A palette colour as the 16-bit screen's 565 pixel (the top bits of each).
constexpr uint16_t PaletteEntryTo565(const PaletteEntry& c)
{
    return static_cast<uint16_t>((c.red >> 3) << 11 | (c.green >> 2) << 5 | c.blue >> 3);
}
