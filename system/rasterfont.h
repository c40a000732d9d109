// Fonts in memory: the proportional bitmap font and the stroke font.
//
// RasterFont: 256 advance widths indexed by the unsigned character code, the
// line height, and 256 glyph pointers (characters without a glyph of their
// own point at the space glyph). Glyph pixels 0 to 16 are background.
//
// StrokeFont: for each character a zero-terminated string of points on a grid
// 16 units wide; each byte is y x 16 + x x 2 (mod 16) + 1 for a pen-up move.
// Vector font files describe the first 128 characters; the others are empty.
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
};

constexpr int kVectorFontFileChars = 128;
