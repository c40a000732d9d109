// Fonts in memory: the proportional bitmap font and the stroke font.
//
// RasterFont: 256 advance widths indexed by the unsigned character code, the
// line height, and 256 glyph pointers (characters without a glyph of their
// own point at the space glyph). Glyph pixels 0 to 16 are background.
//
// StrokeFont: for each character a string of points on a grid 16 units wide
// and its length; each byte is y x 16 + x x 2 (mod 16) + 1 for a pen-up
// move. The strings are zero-terminated too, but the length is what counts:
// a line to the grid's corner (0, 0) packs to a zero byte. Vector font files
// describe the first 128 characters; the others are empty (a blank advance).
#pragma once

#include "system/raster.h"

#include <cstdint>

constexpr int kFontChars = 256;

struct RasterFont {
    int16_t widths[kFontChars];
    int16_t height;
    int16_t spare;
    Raster* glyphs[kFontChars];
};

struct StrokeFont {
    const uint8_t* strokes[kFontChars];
    uint16_t lengths[kFontChars];
};

constexpr int kVectorFontFileChars = 128;
