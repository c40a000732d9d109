// Text on the canvas: proportional bitmap fonts (RasterFont) and the small
// stroke font (StrokeFont), both in system/rasterfont.h.
//
// Word-wrapped text, single-colour text, text mixing several fonts, centred
// text, text boxes, measuring, recolouring a font, and stroke text at a fixed
// or any size. Characters are unsigned bytes (codes above 127 index the
// tables directly). Operations that move the pen take x and y by reference
// and leave them where the next character would go; the x given at entry is
// the line-start x. Glyphs are drawn at the pen less their hot spot. Every
// glyph and stroke is clipped to the rectangle and the canvas: no metric from
// a font file writes outside them. A null text or font draws nothing and
// leaves the pen where it was.
#pragma once

#include "system/canvas.h"
#include "system/rasterfont.h"

#include <cstdint>

// Glyph pixels up to this value are background for transparent text.
constexpr uint8_t kGlyphBackground = 16;
constexpr int kMixedFonts = 5;

// Word-wrapped at the clip's right edge, transparent glyphs; line step =
// line height + 4. Nothing for an empty clip (left >= right or top >= bottom).
void CanvasTextWrap(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                    const ClipRect& clip);
// Word-wrapped at line-start x + width, opaque glyphs; line step = line height.
void CanvasTextWrapWidth(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                         const ClipRect& clip, int16_t width);
// The height CanvasTextWrap needs at that width: its line steps plus one line.
int32_t TextWrapHeight(const char* text, const RasterFont* font, int16_t width);
// No wrapping; "\r" ignored, "\n" to the line start one line lower, blanks
// only advance; every other glyph pixel but 16 painted in the colour.
void CanvasDrawText(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                    uint8_t colour, const ClipRect& clip);
// Each character in the font its byte of `fontNumbers` names (0 to 4);
// other numbers and null fonts skip the character.
void CanvasDrawTextMixed(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const uint8_t* fontNumbers,
                         const RasterFont* const* fonts, const ClipRect& clip);
// Width of the widest line; height as the glyphs and newlines raise it.
void TextMeasure(const char* text, const RasterFont* font, int16_t& width, int16_t& height);
void CanvasDrawTextCentred(const Canvas& canvas, const char* text, const RasterFont* font, const ClipRect& clip);
// Text inside the rectangle with a 4-pixel margin, split into words at
// commas and white space.
void CanvasDrawTextBox(const Canvas& canvas, const char* text, const RasterFont* font, const ClipRect& clip);
// Recolours the glyphs of characters 32 to 255 in place (each glyph once,
// the blank's never): every ink pixel's palette colour is scaled by
// scale / 256 per channel (at most 256) and mapped back through the inverse
// colour table. Background pixels stay background.
void FontRecolour(RasterFont* font, const PaletteEntry* palette, const uint8_t* inverseTable, int32_t redScale,
                  int32_t greenScale, int32_t blueScale);

// Stroke text at the fixed size: 18 pixels a character, 24 a line.
void CanvasDrawStrokeText(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const StrokeFont* font,
                          const ClipRect& clip, uint8_t colour);
// Stroke text scaled so that a character advances size x 20 / 18 pixels.
void CanvasDrawVectorText(const Canvas& canvas, int32_t size, int16_t& x, int16_t& y, const char* text,
                          const StrokeFont* font, const ClipRect& clip, uint8_t colour);
