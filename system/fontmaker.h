// The font maker: a developer tool that turns a TrueType font into a
// RasterFont for the characters 32 to 255, previews the glyphs on the
// screen, keeps the font as "zqk\resource\fonts\<face><points>.fon" and
// makes it the current font.
//
// The font is chosen through gFontMakerChoice (the font file and the point
// size; by default DejaVu Sans at 12 points): a choice that cannot be opened
// is a cancelled choice. Glyphs come from platform/glyphs.h.
#pragma once

#include "system/rasterfont.h"

#include <cstdint>
#include <string>

struct FontMakerChoice {
    std::string file; // empty: the host's default font file
    int pointSize = 12;
};
extern FontMakerChoice gFontMakerChoice;

// The font the font maker made last (the current font); null before.
extern RasterFont* gCurrentFont;

// Glyphs at full size, grey levels 0 to 252; null when the choice is
// cancelled (the current font stays).
RasterFont* BuildFontGrey(int16_t extraAdvance, int16_t extraLineHeight);
// Glyphs at half size, each 2 x 2 block averaged.
RasterFont* BuildFontHalf(int16_t extraAdvance, int16_t extraLineHeight);

// Opens the chosen font and forms its file name; false when cancelled.
// `path` receives "zqk\resource\fonts\%s%d.fon" of the face and points.
bool ChooseGameFont(std::string& path);
