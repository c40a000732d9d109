// Bitmap and vector font files: building fonts in memory from them, writing
// them, and building a bitmap font from one picture per character.
//
// Glyph on disk: a 12-byte raster header (a 4-byte pointer slot written as 0,
// then width, height, x offset, y offset as little-endian i16) followed by
// width x height pixels.
// ".fnt": 256 u32 glyph offsets from the start of the file, then the glyphs.
//   Widths are the glyph widths + 1; the line height comes from "A" and "g".
// ".fon": 256 i16 widths, the i16 height and 2 spare bytes, 256 u32 glyph
//   offsets, then the glyphs. The line height comes from "A".."Z", "a".."z".
// Vector font: text of 128 entries, each "<number>,<count>" and then <count>
//   stroke words "<letter><x>,<y>"; U is a pen-up move.
//
// Offsets, glyph sizes and strokes are checked against the file: a font file
// that does not hold what it claims builds nothing.
#pragma once

#include "system/rasterfont.h"

#include <cstdint>
#include <span>
#include <vector>

enum class FontFile {
    Fnt,
    Fon
};

// Pool bytes a font built from the file needs; 0 when the file is damaged.
std::size_t FontBuildSize(std::span<const uint8_t> file, FontFile kind);
// Builds the font in `block` (at least FontBuildSize bytes, 8-byte aligned).
// Null when the file is damaged or the block too small.
RasterFont* FontBuild(std::span<const uint8_t> file, FontFile kind, std::span<uint8_t> block);

// The bytes of a font file. Characters whose glyph is the space glyph (or
// none) share its data, written once.
std::vector<uint8_t> FontFileBytes(const RasterFont& font, FontFile kind);
// Writes a ".fon" file; false when it cannot be written.
bool FontSave(const char* path, const RasterFont* font);
// Writes a ".fnt" file; false when it cannot be written.
bool FontSaveFnt(const char* path, const RasterFont* font);

// Vector fonts: the block holds the pointer table and the stroke strings.
constexpr std::size_t kVectorFontBlockSize = sizeof(StrokeFont) + 9488;
StrokeFont* VectorFontBuild(std::span<const uint8_t> text, std::span<uint8_t> block);
// One stroke word packed into its byte: y x 16 + x x 2 (mod 16) + 1 for "U".
// False when the word is not a letter, x, comma, y with 0 <= y <= 15, x >= 0.
bool PackStrokeWord(const char* word, uint8_t* packed);

// Fills `font` from the pictures "<folder>\cNNN.bbm": c032 is the space and
// the glyph of every character; then 33-126, 145-148 and 192-255 where their
// pictures exist (each y offset one lower on screen). With a space glyph, the
// lower-case letters take the upper-case glyphs.
void BuildPictureFont(RasterFont* font, const char* folder);
