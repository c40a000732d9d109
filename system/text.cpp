// Text drawing with bitmap and stroke fonts. See text.h.
#include "system/text.h"

#include "system/canvas_internal.h"
#include "system/trace.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace canvas_internal;

namespace {

constexpr int kMaxWordLength = 256;
constexpr int kTextBoxMargin = 4;
constexpr int kTextBoxPiece = 254;
constexpr int kWrapLineGap = 4;

// Stroke font metrics at the fixed size.
constexpr int kStrokeAdvance = 18;
constexpr int kStrokeLineStep = 24;
constexpr int kStrokeSizeUnit = 18;

uint8_t Code(char c)
{
    return static_cast<uint8_t>(c);
}

int Advance(const RasterFont* font, char c)
{
    return font->widths[Code(c)];
}

bool EmptyClip(const ClipRect& clip)
{
    return clip.left >= clip.right || clip.top >= clip.bottom;
}

// Draws a glyph at the pen less its hot spot within the rectangle: pixels
// above the background copied (transparent), or every pixel but 16 painted
// in the colour (colour >= 0).
void DrawGlyph(const Canvas& canvas, const Raster* glyph, int x, int y, const ClipRect& clip, int colour)
{
    if (!glyph || !glyph->pixels || !canvas.pixels)
        return;
    Block b;
    if (!PlaceBlock(x - glyph->xOffset, y - glyph->yOffset, glyph->width, glyph->height, Intersect(clip, canvas), b))
        return;
    for (int row = 0; row < b.height; ++row) {
        const uint8_t* from = glyph->pixels + static_cast<std::ptrdiff_t>(b.fromY + row) * glyph->width + b.fromX;
        uint8_t* to = canvas.pixels + static_cast<std::ptrdiff_t>(b.y + row) * canvas.rowLength + b.x;
        for (int i = 0; i < b.width; ++i) {
            if (colour < 0) {
                if (from[i] > kGlyphBackground)
                    to[i] = from[i];
            } else if (from[i] != kGlyphBackground) {
                to[i] = static_cast<uint8_t>(colour);
            }
        }
    }
}

void DrawOpaqueGlyph(const Canvas& canvas, const Raster* glyph, int x, int y, const ClipRect& clip)
{
    if (glyph)
        CanvasBlitClipped(canvas, *glyph, clip, static_cast<int16_t>(x), static_cast<int16_t>(y));
}

// The word wrap shared by the wrapped operations: words (up to and including
// a blank or newline, at most 256 characters) move to a new line first when
// they would reach the limit, unless the pen is at the line start. Calls
// draw(character, x, y) for every character but newlines.
template <class Draw>
void WrapWords(const char* text, const RasterFont* font, int& x, int& y, int limit, int step, Draw draw)
{
    const int lineStart = x;
    const char* p = text;
    while (*p) {
        int n = 0, wordWidth = 0;
        while (p[n] && n < kMaxWordLength) {
            const char c = p[n++];
            wordWidth += Advance(font, c);
            if (c == ' ' || c == '\n')
                break;
        }
        if (x + wordWidth >= limit && x != lineStart) {
            y += step;
            x = lineStart;
        }
        for (int i = 0; i < n; ++i) {
            if (p[i] == '\n') {
                y += step;
                x = lineStart;
            } else {
                draw(p[i], x, y);
                x += Advance(font, p[i]);
            }
        }
        p += n;
    }
}

int16_t Narrow(int v)
{
    return static_cast<int16_t>(std::clamp(v, INT16_MIN, INT16_MAX));
}

// Draws one character's strokes with the pen at (x, y), the grid scaled by
// scale / 256.
void DrawStrokes(const Canvas& canvas, const StrokeFont* font, uint8_t code, int x, int y, int scale,
                 const ClipRect& clip, uint8_t colour)
{
    const uint8_t* points = font->strokes[code];
    if (!points)
        return;
    int fromX = x, fromY = y;
    for (int i = 0; i < font->lengths[code]; ++i) {
        const uint8_t b = points[i];
        const int toX = x + ((b >> 1) & 7) * 2 * scale / 256;
        const int toY = y + (10 - (b >> 4) * 2) * scale / 256;
        if (!(b & 1))
            CanvasLineClipped(canvas, Narrow(fromX), Narrow(fromY), Narrow(toX), Narrow(toY), colour, clip);
        fromX = toX;
        fromY = toY;
    }
}

// One trace line per text drawn: where, in which colour (-1: the glyphs'
// own) and in a font of which height.
void TraceText(int x, int y, int colour, const RasterFont* font, const char* text)
{
    if (!TraceOn())
        return;
    char quoted[512];
    TraceLine("text", "%d %d %d %d %s", x, y, colour, font ? font->height : -1, TraceQuoted(text, quoted, sizeof quoted));
}

} // namespace

void CanvasTextWrap(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                    const ClipRect& clip)
{
    if (!text || !font || EmptyClip(clip))
        return;
    TraceText(x, y, -1, font, text);
    int px = x, py = y;
    WrapWords(text, font, px, py, clip.right, font->height + kWrapLineGap,
              [&](char c, int gx, int gy) { DrawGlyph(canvas, font->glyphs[Code(c)], gx, gy, clip, -1); });
    x = Narrow(px);
    y = Narrow(py);
}

void CanvasTextWrapWidth(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                         const ClipRect& clip, int16_t width)
{
    if (!text || !font)
        return;
    TraceText(x, y, -1, font, text);
    int px = x, py = y;
    WrapWords(text, font, px, py, x + width, font->height,
              [&](char c, int gx, int gy) { DrawOpaqueGlyph(canvas, font->glyphs[Code(c)], gx, gy, clip); });
    x = Narrow(px);
    y = Narrow(py);
}

int32_t TextWrapHeight(const char* text, const RasterFont* font, int16_t width)
{
    if (!text || !font)
        return 0;
    const int step = font->height + kWrapLineGap;
    int x = 0, y = 0;
    WrapWords(text, font, x, y, width, step, [](char, int, int) {});
    return y + step;
}

void CanvasDrawText(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const RasterFont* font,
                    uint8_t colour, const ClipRect& clip)
{
    if (!text || !font || EmptyClip(clip))
        return;
    TraceText(x, y, colour, font, text);
    const int lineStart = x;
    int px = x, py = y;
    for (const char* p = text; *p; ++p) {
        if (*p == '\r')
            continue;
        if (*p == '\n') {
            px = lineStart;
            py += font->height;
            continue;
        }
        if (*p != ' ')
            DrawGlyph(canvas, font->glyphs[Code(*p)], px, py, clip, colour);
        px += Advance(font, *p);
    }
    x = Narrow(px);
    y = Narrow(py);
}

void CanvasDrawTextMixed(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const uint8_t* fontNumbers,
                         const RasterFont* const* fonts, const ClipRect& clip)
{
    if (!text || !fontNumbers || !fonts)
        return;
    // Traced with its first character's font, the text's own size.
    TraceText(x, y, -1, fontNumbers[0] < kMixedFonts ? fonts[fontNumbers[0]] : nullptr, text);
    const int lineStart = x;
    int px = x, py = y;
    for (std::size_t i = 0; text[i]; ++i) {
        if (fontNumbers[i] >= kMixedFonts || !fonts[fontNumbers[i]])
            continue;
        const RasterFont* font = fonts[fontNumbers[i]];
        if (text[i] == '\n') {
            px = lineStart;
            py += font->height;
            continue;
        }
        DrawGlyph(canvas, font->glyphs[Code(text[i])], px, py, clip, -1);
        px += Advance(font, text[i]);
    }
    x = Narrow(px);
    y = Narrow(py);
}

void TextMeasure(const char* text, const RasterFont* font, int16_t& width, int16_t& height)
{
    int widest = 0, line = 0, tall = 0;
    if (text && font) {
        for (const char* p = text; *p; ++p) {
            if (*p == '\n') {
                line = 0;
                tall += font->height;
                continue;
            }
            line += Advance(font, *p);
            widest = std::max(widest, line);
            if (const Raster* glyph = font->glyphs[Code(*p)])
                tall = std::max<int>(tall, glyph->height);
        }
    }
    width = Narrow(widest);
    height = Narrow(tall);
}

void CanvasDrawTextCentred(const Canvas& canvas, const char* text, const RasterFont* font, const ClipRect& clip)
{
    if (!text || !font)
        return;
    int16_t width, height;
    TextMeasure(text, font, width, height);
    int16_t x = Narrow((clip.left + clip.right) / 2 - width / 2);
    int16_t y = Narrow((clip.top + clip.bottom) / 2 + height / 2);
    CanvasTextWrap(canvas, x, y, text, font, clip);
}

void CanvasDrawTextBox(const Canvas& canvas, const char* text, const RasterFont* font, const ClipRect& clip)
{
    if (!text || !font)
        return;
    TraceText(clip.left, clip.top, -1, font, text);
    auto glyphHeight = [&](char c) { return font->glyphs[Code(c)] ? font->glyphs[Code(c)]->height : 0; };
    int step = font->height;
    if (step == 0) {
        const Raster* g = font->glyphs[Code('g')];
        step = glyphHeight('A') + glyphHeight('g') - (g ? g->yOffset : 0) - 1;
    }
    const int lineStart = clip.left + kTextBoxMargin;
    int x = lineStart, y = clip.top + step + kTextBoxMargin;
    auto separator = [](char c) { return c == ',' || c == '\n' || c == '\r' || c == '\t' || c == ' '; };

    const char* p = text;
    while (*p) {
        // A piece: at most 254 characters, ending early after a newline.
        int n = 0;
        while (p[n] && n < kTextBoxPiece) {
            if (p[n++] == '\n')
                break;
        }
        for (int i = 0; i < n;) {
            while (i < n && separator(p[i]))
                ++i;
            const int start = i;
            int tokenWidth = 0;
            while (i < n && !separator(p[i])) {
                const Raster* g = font->glyphs[Code(p[i])];
                tokenWidth += (g ? g->width : 0) + 1;
                ++i;
            }
            if (i == start)
                break;
            if (x + tokenWidth >= clip.right - kTextBoxMargin) {
                y += step;
                x = lineStart;
            }
            for (int k = start; k < i; ++k) {
                DrawOpaqueGlyph(canvas, font->glyphs[Code(p[k])], x, y, clip);
                x += Advance(font, p[k]);
            }
            x += Advance(font, ' ');
        }
        p += n;
        if (y >= clip.bottom - kTextBoxMargin)
            return;
    }
}

void FontRecolour(RasterFont* font, const PaletteEntry* palette, const uint8_t* inverseTable, int32_t redScale,
                  int32_t greenScale, int32_t blueScale)
{
    if (!font || !palette || !inverseTable)
        return;
    const uint32_t rs = std::clamp(redScale, 0, 256), gs = std::clamp(greenScale, 0, 256),
                   bs = std::clamp(blueScale, 0, 256);
    // Characters share glyphs (lower case drawn with upper case, all the
    // missing ones with the blank): each is recoloured once.
    std::vector<const Raster*> done = {font->glyphs[Code(' ')]};
    for (int c = 32; c < kFontChars; ++c) {
        Raster* glyph = font->glyphs[c];
        if (!glyph || !glyph->pixels || std::find(done.begin(), done.end(), glyph) != done.end())
            continue;
        done.push_back(glyph);
        const std::size_t n = static_cast<std::size_t>(std::max<int>(glyph->width, 0)) *
                              static_cast<std::size_t>(std::max<int>(glyph->height, 0));
        for (std::size_t i = 0; i < n; ++i) {
            uint8_t& pixel = glyph->pixels[i];
            if (pixel <= kGlyphBackground)
                continue;
            const PaletteEntry& e = palette[pixel];
            const uint32_t rgb = (e.red * rs / 256) | (e.green * gs / 256) << 8 | (e.blue * bs / 256) << 16;
            pixel = inverseTable[InverseColourIndex(rgb)];
        }
    }
}

void CanvasDrawStrokeText(const Canvas& canvas, int16_t& x, int16_t& y, const char* text, const StrokeFont* font,
                          const ClipRect& clip, uint8_t colour)
{
    if (!text || !font)
        return;
    const int lineStart = x;
    int px = x, py = y;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            px = lineStart;
            py += kStrokeLineStep;
            continue;
        }
        DrawStrokes(canvas, font, Code(*p), px, py, 256, clip, colour);
        px += kStrokeAdvance;
    }
    x = Narrow(px);
    y = Narrow(py);
}

void CanvasDrawVectorText(const Canvas& canvas, int32_t size, int16_t& x, int16_t& y, const char* text,
                          const StrokeFont* font, const ClipRect& clip, uint8_t colour)
{
    if (!text || !font)
        return;
    const int scale = static_cast<int>(std::clamp<int64_t>(int64_t{size} * 256 / kStrokeSizeUnit, -65536, 65536));
    const float advance = static_cast<float>(scale) * 20.0f / 256.0f;
    const float lineStep = static_cast<float>(scale) * 24.0f / 256.0f;
    const float lineStart = x;
    float px = x, py = y;
    for (const char* p = text; *p; ++p) {
        if (*p == '\n') {
            px = lineStart;
            py += lineStep;
            continue;
        }
        DrawStrokes(canvas, font, Code(*p), static_cast<int>(px), static_cast<int>(py), scale, clip, colour);
        px += advance;
    }
    x = Narrow(static_cast<int>(std::clamp(px, -32768.0f, 32767.0f)));
    y = Narrow(static_cast<int>(std::clamp(py, -32768.0f, 32767.0f)));
}
