// Text drawing: word wrap, text boxes and measuring as tables of cases, the
// one-colour and mixed-font paths, recolouring, and stroke text.
#include "system/text.h"

#include "canvas_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using canvastest::Crc32;
using canvastest::TestCanvas;

// A font of our own: every glyph of character c is 4 pixels wide (5 for "W"
// and "g"), 5 high with the hot spot on its bottom row ("g" hangs 2 lower),
// ink c (or 17 for characters below 17) with a background border pixel (16)
// on the right; advance = glyph width + 1; line height 6. Characters below
// 32 have the blank's glyph, as the loaders leave them.
struct TestFont {
    std::vector<std::unique_ptr<uint8_t[]>> pixels;
    std::array<Raster, kFontChars> glyphs{};
    RasterFont font{};

    TestFont()
    {
        for (int c = 0; c < kFontChars; ++c) {
            const int w = (c == 'W' || c == 'g') ? 5 : 4, h = 5;
            auto p = std::make_unique<uint8_t[]>(w * h);
            for (int i = 0; i < w * h; ++i)
                p[i] = (i % w == w - 1) ? 16 : static_cast<uint8_t>(c < 17 ? 17 : c);
            glyphs[c] = {p.get(), int16_t(w), int16_t(h), 0, int16_t(c == 'g' ? 2 : 4)};
            pixels.push_back(std::move(p));
            font.widths[c] = int16_t(w + 1);
            font.glyphs[c] = &glyphs[c];
        }
        for (int c = 0; c < 32; ++c)
            font.glyphs[c] = &glyphs[' '];
        font.height = 6;
    }
};

// Pen positions after wrapping: (x, y) in and out for a table of texts.
TEST(TextWrap, WordsMoveToANewLineOnlyWhenTheyReachTheEdge)
{
    TestFont f;
    struct Case {
        const char* text;
        int16_t right;
        int16_t endX, endY;
    };
    // Every character advances 5; the pen starts at (10, 20); a line is 10 lower.
    const Case cases[] = {
        {"ab cd", 100, 35, 20},       // fits on one line
        {"ab cd", 33, 20, 30},        // "cd" would end at 35 >= 33: new line
        {"ab cd ef", 34, 20, 40},     // "cd " and "ef" each reach 34 and wrap
        {"abcdefghijkl", 20, 71, 20}, // the first word never moves, even too wide ("g" is 6)
        {"ab\ncd", 100, 20, 30},      // a newline inside a word
        {"ab ", 25, 25, 20},          // ends exactly on the edge but is first: stays
        {"", 100, 10, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TestCanvas t(120, 60);
        int16_t x = 10, y = 20;
        CanvasTextWrap(t.canvas, x, y, c.text, &f.font, ClipRect{0, 0, c.right, 59});
        EXPECT_EQ(x, c.endX);
        EXPECT_EQ(y, c.endY);
    }
}

TEST(TextWrap, DrawsTransparentGlyphsAndNothingForNullTextOrAnEmptyClip)
{
    TestFont f;
    TestCanvas t(40, 20, 3);
    int16_t x = 2, y = 6;
    CanvasTextWrap(t.canvas, x, y, nullptr, &f.font, ClipRect{0, 0, 39, 19});
    CanvasTextWrap(t.canvas, x, y, "ab", &f.font, ClipRect{10, 0, 10, 19}); // left equals right
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 6);
    EXPECT_EQ(t.Count(3), 800);
    CanvasTextWrap(t.canvas, x, y, "ab", &f.font, ClipRect{0, 0, 39, 19});
    EXPECT_EQ(t.At(2, 2), 'a'); // glyph top at y - 4
    EXPECT_EQ(t.At(5, 2), 3);   // its background border is not copied
    EXPECT_EQ(t.At(7, 6), 'b'); // the last word drawn though no blank ends it
    EXPECT_EQ(t.At(7, 7), 3);
}

TEST(TextWrap, WidthFormIsOpaqueAndHeightCountsOneLineMore)
{
    TestFont f;
    TestCanvas t(60, 40, 3);
    int16_t x = 5, y = 10;
    CanvasTextWrapWidth(t.canvas, x, y, "ab cd", &f.font, ClipRect{0, 0, 59, 39}, 20);
    EXPECT_EQ(x, 15);
    EXPECT_EQ(y, 16);          // one line of height 6
    EXPECT_EQ(t.At(8, 6), 16); // opaque: the background pixel is copied too
    EXPECT_EQ(TextWrapHeight("ab cd", &f.font, 20), 10 + 10);
    EXPECT_EQ(TextWrapHeight("ab", &f.font, 20), 10);
    EXPECT_EQ(TextWrapHeight(nullptr, &f.font, 20), 0);
}

TEST(TextDraw, OneColourTextPaintsAllButPixelSixteen)
{
    TestFont f;
    TestCanvas t(40, 20, 0);
    int16_t x = 1, y = 5;
    CanvasDrawText(t.canvas, x, y, "a \r\nb", &f.font, 9, ClipRect{0, 0, 39, 19});
    EXPECT_EQ(x, 6);
    EXPECT_EQ(y, 11);
    EXPECT_EQ(t.At(1, 1), 9);
    EXPECT_EQ(t.At(4, 1), 0); // pixel 16 left alone
    EXPECT_EQ(t.At(6, 1), 0); // the blank only advances
    EXPECT_EQ(t.At(1, 7), 9); // "b" on the next line
    EXPECT_EQ(t.Count(9), 30);
}

TEST(TextDraw, MixedFontsSkipUnknownNumbersAndNullFonts)
{
    TestFont f, g;
    g.font.height = 9;
    for (int c = 0; c < kFontChars; ++c)
        g.font.widths[c] = 2;
    const RasterFont* fonts[kMixedFonts] = {&f.font, &g.font, nullptr, &f.font, &f.font};
    const uint8_t numbers[] = {0, 1, 2, 7, 1, 0};
    TestCanvas t(60, 30, 0);
    int16_t x = 0, y = 5;
    CanvasDrawTextMixed(t.canvas, x, y, "abcd\ne", numbers, fonts, ClipRect{0, 0, 59, 29});
    EXPECT_EQ(t.At(0, 1), 'a');
    EXPECT_EQ(t.At(5, 1), 'b');
    EXPECT_EQ(t.Count('c') + t.Count('d'), 0);
    EXPECT_EQ(y, 14); // the newline in font 1 moves 9
    EXPECT_EQ(t.At(0, 10), 'e');
    EXPECT_EQ(x, 5);
}

TEST(TextMeasure, WidestLineAndHeightAsGlyphsAndNewlinesRaiseIt)
{
    TestFont f;
    f.glyphs['Z'].height = 14;
    struct Case {
        const char* text;
        int16_t width, height;
    };
    const Case cases[] = {
        {"ab\ncde", 15, 5 + 6},
        {"abc\nd", 15, 11},
        {"a\nZ", 5, 14}, // a later, taller glyph
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        int16_t w = -1, h = -1;
        TextMeasure(c.text, &f.font, w, h);
        EXPECT_EQ(w, c.width) << c.text;
        EXPECT_EQ(h, c.height) << c.text;
    }
    int16_t w = -1, h = -1;
    TextMeasure(nullptr, &f.font, w, h);
    EXPECT_EQ(w, 0);
}

TEST(TextBox, TokensSplitAtSeparatorsWithABlanksAdvanceBetween)
{
    TestFont f;
    struct Case {
        const char* text;
        std::vector<std::pair<int, char>> row; // x of each glyph on the first line
    };
    const Case cases[] = {
        {"a,b", {{4, 'a'}, {14, 'b'}}}, // a, then its advance 5 and a blank's 5
        {"a b\tc", {{4, 'a'}, {14, 'b'}, {24, 'c'}}},
        {"a,, b", {{4, 'a'}, {14, 'b'}}}, // empty tokens draw nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TestCanvas t(60, 40, 0);
        CanvasDrawTextBox(t.canvas, c.text, &f.font, ClipRect{0, 0, 59, 39});
        // Pen y = top + line step (6) + 4 = 10; glyph tops at 6.
        for (auto [x, ch] : c.row)
            EXPECT_EQ(t.At(x, 6), ch) << x;
        EXPECT_EQ(t.Count(','), 0);
        EXPECT_EQ(t.Count(16), static_cast<int>(c.row.size()) * 5); // opaque: borders too
    }
    // A token that reaches the right margin starts the next line.
    TestCanvas t(30, 40, 0);
    CanvasDrawTextBox(t.canvas, "abc de", &f.font, ClipRect{0, 0, 29, 39});
    EXPECT_EQ(t.At(4, 6), 'a');
    EXPECT_EQ(t.At(4, 12), 'd');
}

TEST(FontRecolour, EachSharedGlyphOnceInkOnlyAndNeverTheBlank)
{
    TestFont f;
    f.font.glyphs['a'] = &f.glyphs['A']; // lower case drawn with upper case
    PaletteEntry palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    // The inverse table maps every colour to 100 + its 5-bit red.
    std::vector<uint8_t> table(kInverseColourTableSize);
    for (uint32_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<uint8_t>(100 + (i >> 11));
    FontRecolour(&f.font, palette, table.data(), 128, 256, 256);
    EXPECT_EQ(f.glyphs['A'].pixels[0], 100 + ('A' * 128 / 256 >> 3)); // once: twice would give 106
    EXPECT_EQ(f.glyphs['A'].pixels[3], 16);                           // background stays
    EXPECT_EQ(f.glyphs[' '].pixels[0], ' ');                          // the blank's glyph untouched
    EXPECT_EQ(f.glyphs[20].pixels[0], 20);                            // below 32: untouched
}

// A stroke font of our own: "A" is a triangle, "L" a line to the grid's
// corner (a zero byte), characters from 128 have no strokes.
struct TestStrokes {
    std::vector<uint8_t> a = {0x01 | 0 << 4 | 0 << 1, 5 << 4 | 4 << 1, 0 << 4 | 7 << 1};
    std::vector<uint8_t> l = {0x01 | 5 << 4 | 7 << 1, 0};
    StrokeFont font{};
    TestStrokes()
    {
        static const uint8_t empty = 0;
        for (auto& s : font.strokes)
            s = &empty;
        font.strokes['A'] = a.data();
        font.lengths['A'] = 3;
        font.strokes['L'] = l.data();
        font.lengths['L'] = 2;
    }
};

TEST(StrokeText, LinesOnTheGridAdvanceEighteenAndZeroBytesDraw)
{
    TestStrokes s;
    TestCanvas t(80, 60, 0);
    int16_t x = 2, y = 12;
    CanvasDrawStrokeText(t.canvas, x, y, "L\xE9"
                                         "A\nA",
                         &s.font, ClipRect{0, 0, 79, 59}, 4);
    EXPECT_EQ(x, 2 + 18);
    EXPECT_EQ(y, 36);
    // "L": from (14, 0) to (0, 10) of its cell, y offset 10 - row x 2.
    EXPECT_EQ(t.At(2 + 14, 12), 4);
    EXPECT_EQ(t.At(2, 22), 4);
    // The blank advance of character 233, then "A" at x 38.
    EXPECT_EQ(t.At(38 + 8, 12), 4);
    EXPECT_EQ(t.At(38, 22), 4);
    const uint32_t fixed = Crc32(t.pixels);

    TestCanvas v(80, 60, 0);
    int16_t vx = 2, vy = 12;
    CanvasDrawVectorText(v.canvas, 18, vx, vy, "L\xE9"
                                               "A\nA",
                         &s.font, ClipRect{0, 0, 79, 59}, 4);
    EXPECT_EQ(vx, 2 + 20); // size 18: 20 a character
    EXPECT_EQ(vy, 36);
    EXPECT_NE(Crc32(v.pixels), fixed); // the advance differs, the strokes do not
    EXPECT_EQ(v.At(2 + 14, 12), 4);

    TestCanvas clipped(20, 20, 0);
    int16_t cx = -770, cy = -540;
    CanvasDrawVectorText(clipped.canvas, 2000, cx, cy, "L", &s.font, ClipRect{0, 0, 19, 19}, 4);
    EXPECT_GT(clipped.Count(4), 0); // a huge stroke cut to the rectangle
    EXPECT_EQ(clipped.At(0, 0), 0);
}

} // namespace
