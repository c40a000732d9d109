// The font maker over DejaVu Sans: the font it keeps loads back through the
// font loader and draws; glyph widths are even, grey levels 0-252, the
// blank takes the advance of "e", characters without a glyph share the
// blank's; the half-size font halves each glyph; a cancelled choice leaves
// the current font; the preview is cut to the screen.
#include "system/fontmaker.h"

#include "platform/display.h"
#include "platform/window.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/res/font.h"
#include "system/text.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

class FontMaker : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(scratch / "zqk/resource/fonts");
        gFontMakerChoice = FontMakerChoice{};
    }
    void TearDown() override { gFontMakerChoice = FontMakerChoice{}; }

    ScratchFolder scratch{"fontmaker", true};
};

std::vector<uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(FontMaker, DejaVuAt12PointsIsKeptAndLoadsBackAndDraws)
{
    RasterFont* font = BuildFontGrey(0, 0);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(gCurrentFont, font);
    EXPECT_GE(font->height, 16);
    EXPECT_LE(font->height, 22);

    for (int c = 32; c < 256; ++c) {
        const Raster* g = font->glyphs[c];
        ASSERT_NE(g, nullptr) << c;
        if (g == font->glyphs[' '])
            continue;
        EXPECT_EQ(g->width % 2, 0) << c;
        for (int i = 0; i < g->width * g->height; ++i)
            ASSERT_TRUE(g->pixels[i] <= 252 && g->pixels[i] % 4 == 0) << c;
    }
    EXPECT_EQ(font->widths[' '], font->widths['e']);
    EXPECT_EQ(font->glyphs[0x81], font->glyphs[' ']); // a code that stands for no character
    EXPECT_NE(font->glyphs[0x80], font->glyphs[' ']); // the euro sign, from U+20AC
    EXPECT_GT(font->widths['W'], font->widths['i']);

    const std::vector<uint8_t> file = ReadFile(scratch / "zqk/resource/fonts/DejaVu Sans12.fon");
    ASSERT_FALSE(file.empty());
    const std::size_t size = FontBuildSize(file, FontFile::Fon);
    ASSERT_GT(size, 0u);
    std::vector<uint64_t> block((size + 7) / 8);
    RasterFont* loaded = FontBuild(file, FontFile::Fon,
                                   std::span<uint8_t>(reinterpret_cast<uint8_t*>(block.data()), block.size() * 8));
    ASSERT_NE(loaded, nullptr);
    for (int c : {int{'A'}, int{'g'}, int{'e'}, 0xE9}) {
        EXPECT_EQ(loaded->widths[c], font->widths[c]) << c;
        EXPECT_EQ(loaded->glyphs[c]->width, font->glyphs[c]->width) << c;
        EXPECT_EQ(loaded->glyphs[c]->height, font->glyphs[c]->height) << c;
        EXPECT_EQ(loaded->glyphs[c]->yOffset, font->glyphs[c]->yOffset) << c;
    }

    std::vector<uint8_t> pixels(200 * 40, 0);
    const Canvas canvas{pixels.data(), 200, 40};
    int16_t x = 2, y = 2;
    CanvasDrawText(canvas, x, y, "Ag", loaded, 200, CanvasBounds(canvas));
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), 200), 20);
}

TEST_F(FontMaker, TheHalfSizeFontHalvesEachGlyphAndTheExtrasAreAdded)
{
    RasterFont* full = BuildFontGrey(0, 0);
    ASSERT_NE(full, nullptr);
    RasterFont* half = BuildFontHalf(3, 5);
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(gCurrentFont, half);
    for (int c : {'W', 'g', 'A', '.'}) {
        EXPECT_EQ(half->glyphs[c]->width, (full->glyphs[c]->width + 1) / 2) << c;
        EXPECT_EQ(half->glyphs[c]->height, (full->glyphs[c]->height + 1) / 2) << c;
        EXPECT_EQ(half->glyphs[c]->xOffset, 0);
        EXPECT_EQ(half->widths[c], 3 + half->glyphs[c]->width + 1) << c;
    }
    EXPECT_EQ(half->height, 5 + (full->height + 1) / 2);
    // The average of each 2 x 2 block.
    const Raster& f = *full->glyphs['W'];
    const Raster& h = *half->glyphs['W'];
    auto at = [&](int x, int y) { return x < f.width && y < f.height ? f.pixels[y * f.width + x] : 0; };
    for (int y = 0; y < h.height; ++y)
        for (int x = 0; x < h.width; ++x)
            ASSERT_EQ(h.pixels[y * h.width + x],
                      (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1)) >> 2);
}

TEST_F(FontMaker, ACancelledChoiceGivesNullAndKeepsTheCurrentFont)
{
    RasterFont* before = BuildFontGrey(0, 0);
    gFontMakerChoice.file = (scratch / "none.ttf").string();
    EXPECT_EQ(BuildFontGrey(0, 0), nullptr);
    EXPECT_EQ(BuildFontHalf(0, 0), nullptr);
    EXPECT_EQ(gCurrentFont, before);
    gFontMakerChoice.file.clear();
    gFontMakerChoice.pointSize = 0;
    EXPECT_EQ(BuildFontGrey(0, 0), nullptr);
}

TEST_F(FontMaker, TheBlankAdvancesByItsFullWidthPlusOneAndTheExtra)
{
    // A blank glyph has no ink: its advance is its whole width + 1 + extra,
    // before it takes the advance of "e".
    RasterFont* font = BuildFontGrey(4, 0);
    ASSERT_NE(font, nullptr);
    const Raster* nbsp = font->glyphs[0xA0]; // no-break space: blank, its own glyph
    ASSERT_NE(nbsp, font->glyphs[' ']);
    EXPECT_EQ(font->widths[0xA0], 4 + nbsp->width + 1);
}

TEST_F(FontMaker, ThePreviewShowsTheGlyphsAndIsCutToTheScreen)
{
    ASSERT_TRUE(platform::VideoAvailable());
    ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
    UseWindowDisplay();
    gScreenMode = DisplayMode{};
    ASSERT_EQ(DisplayOpen(gScreenMode), 1);
    DisplayLock(gScreenMode);
    ASSERT_NE(BuildFontGrey(0, 0), nullptr);
    const Canvas screen = ScreenCanvas();
    int ink = 0;
    for (int y = 20; y < 40; ++y)
        for (int x = 20; x < 200; ++x)
            ink += screen.pixels[y * 640 + x] > 144;
    EXPECT_GT(ink, 50);
    gFontMakerChoice.pointSize = 150; // glyphs run off the screen
    EXPECT_NE(BuildFontHalf(0, 0), nullptr);
    EXPECT_NE(BuildFontGrey(0, 0), nullptr);
    DisplayClose();
    platform::CloseScreen();
    platform::CloseWindow();
    platform::VideoShutdown();
}

} // namespace
