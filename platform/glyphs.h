// Glyphs of a TrueType font for the font maker, through FreeType.
//
// The game's font maker asks the host for a font by face and point size and
// for each character's 8-bit grey glyph bitmap. Here that is FreeType over
// a TrueType file (by default DejaVu Sans from Debian's fonts-dejavu-core),
// at 96 dots an inch as screen fonts are measured. Characters are code page
// 1252, mapped to Unicode; grey levels are 0 to 64 (0 to 255 scaled), rows
// padded to 4 bytes, as the host's glyph call gives them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct GlyphFace;

// The TrueType file taken when none is named.
const char* DefaultGlyphFontFile();

// Opens a font file at a point size; null when it cannot be opened or the
// size is not 1 to 400 points.
GlyphFace* GlyphFaceOpen(const char* path, int pointSize);
void GlyphFaceClose(GlyphFace* face);
// The face's family name ("DejaVu Sans").
std::string GlyphFaceName(const GlyphFace* face);
// The text height in pixels (ascent + descent).
int GlyphTextHeight(const GlyphFace* face);

struct GreyGlyph {
    int width = 0; // black box, at least 1 x 1
    int height = 0;
    int originX = 0;           // black box's top left from the pen on the baseline
    int originY = 0;           // (y upward)
    int pitch = 0;             // width rounded up to 4
    std::vector<uint8_t> grey; // pitch x height, 0 to 64
};
// The grey glyph of a code page 1252 character; false when the font has
// no glyph for it.
bool GlyphRenderGrey(GlyphFace* face, uint8_t character, GreyGlyph& out);

} // namespace platform
