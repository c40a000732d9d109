// The 2D canvas: fills, effects, copies, run lists, lines, the inverse colour
// table, spots, rays and triangles, checked pixel by pixel where the rule is
// simple and against reference pictures (CRC) where it is not.
#include "system/canvas.h"
#include "system/crand.h"
#include "world/pools.h"

#include "canvas_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

using canvastest::Crc32;
using canvastest::TestCanvas;
using canvastest::TestGlowTables;

void Seed()
{
    CRandSeed(7);
    SeedShiftRegisterRandom(0x12345678);
}

// ---- fills ---------------------------------------------------------------------------

TEST(CanvasFill, CornersInEitherOrderFillTheInclusiveRectangle)
{
    TestCanvas t(16, 8);
    CanvasFillRect(t.canvas, 9, 10, 5, 2, 1);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(t.At(x, y), (x >= 2 && x <= 10 && y >= 1 && y <= 5) ? 9 : 0) << x << "," << y;
}

TEST(CanvasFill, ClippedFillsKeepToTheRectangleAndTheCanvas)
{
    TestCanvas t(16, 8);
    const ClipRect clip = {4, 2, 9, 6};
    CanvasFillRectClipped(t.canvas, 5, clip, 0, 0, 3, 7); // wholly left of the clip
    EXPECT_EQ(t.Count(0), 16 * 8);
    CanvasFillRectClipped(t.canvas, 5, clip, 7, 0, 20, 20);
    EXPECT_EQ(t.Count(5), 3 * 5); // x 7..9, y 2..6
    // Unclipped fills from data far off the canvas stay on it.
    CanvasFillRect(t.canvas, 6, -100, -100, 200, 3);
    EXPECT_EQ(t.Count(6), 16 * 4);
    CanvasClear(t.canvas, 3);
    EXPECT_EQ(t.Count(3), 16 * 8);
}

TEST(CanvasFill, NoiseStaysInTheColoursBandOfThirtyTwo)
{
    Seed();
    TestCanvas t(40, 40);
    for (int i = 0; i < 40; ++i)
        CanvasFillNoise(t.canvas, 50, 1, 1, 38, 38); // (50 + 16) & 0xE0 = 64: 48 .. 79
    std::vector<int> seen(256, 0);
    for (int y = 1; y <= 38; ++y)
        for (int x = 1; x <= 38; ++x)
            ++seen[t.At(x, y)];
    int kinds = 0;
    for (int v = 0; v < 256; ++v) {
        if (seen[v]) {
            ++kinds;
            EXPECT_TRUE(v >= 48 && v <= 79) << v;
        }
    }
    EXPECT_GE(kinds, 4);
    EXPECT_EQ(t.At(0, 0), 0);
    EXPECT_EQ(t.At(39, 39), 0);
}

TEST(CanvasEffects, ScrambleOnlySwapsPixelsInsideTheRectangle)
{
    Seed();
    TestCanvas t(20, 10);
    for (std::size_t i = 0; i < t.pixels.size(); ++i)
        t.pixels[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> before = t.pixels;
    CanvasScramble(t.canvas, 50, 15, 8, 5, 2);
    EXPECT_NE(t.pixels, before);
    std::vector<uint8_t> a = t.pixels, b = before;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            if (x < 5 || x > 15 || y < 2 || y > 8) {
                EXPECT_EQ(t.At(x, y), before[y * 20 + x]);
            }
}

TEST(CanvasEffects, JitterRotatesInnerRowsAndStrengthOneChangesNothing)
{
    Seed();
    TestCanvas t(12, 10);
    for (std::size_t i = 0; i < t.pixels.size(); ++i)
        t.pixels[i] = static_cast<uint8_t>(i);
    const std::vector<uint8_t> before = t.pixels;
    CanvasJitterRows(t.canvas, 1, 0, 0, 11, 9);
    EXPECT_EQ(t.pixels, before);
    CanvasJitterRows(t.canvas, 0, 0, 0, 11, 9);
    EXPECT_EQ(t.pixels, before);
    CanvasJitterRows(t.canvas, 2, 0, 0, 2, 9); // one column inside: nothing
    EXPECT_EQ(t.pixels, before);

    CanvasJitterRows(t.canvas, 200, 0, 0, 11, 9); // counts as 10
    bool moved = false;
    for (int y = 0; y < 10; ++y) {
        // The border and the last inner row stay; inner rows rotate within x 1..10.
        std::vector<uint8_t> row(t.pixels.begin() + y * 12, t.pixels.begin() + y * 12 + 12);
        std::vector<uint8_t> old(before.begin() + y * 12, before.begin() + y * 12 + 12);
        EXPECT_EQ(row[0], old[0]);
        EXPECT_EQ(row[11], old[11]);
        if (y == 0 || y >= 8) {
            EXPECT_EQ(row, old) << y;
            continue;
        }
        auto inner = std::vector<uint8_t>(old.begin() + 1, old.begin() + 11);
        bool isRotation = false;
        for (int k = 0; k < 10; ++k) {
            std::rotate(inner.begin(), inner.begin() + 1, inner.end());
            isRotation |= std::equal(inner.begin(), inner.end(), row.begin() + 1);
        }
        EXPECT_TRUE(isRotation) << y;
        moved |= row != old;
    }
    EXPECT_TRUE(moved);
}

// ---- image copies ----------------------------------------------------------------------

struct TestBitmap {
    std::vector<uint8_t> pixels;
    Bitmap bitmap;
    TestBitmap(int w, int h, int hotX, int hotY, std::vector<uint8_t> p)
        : pixels(std::move(p)), bitmap{pixels.data(), int16_t(w), int16_t(h), int16_t(hotX), int16_t(hotY)}
    {
    }
};

TEST(CanvasCopies, BlitsPlaceClipAndKeyAsTheirRulesSay)
{
    TestBitmap b(3, 2, 1, 1, {1, 0, 2, 3, 4, 0});
    TestCanvas t(6, 4, 9);

    CanvasBlit(t.canvas, b.bitmap, 4, 3); // hot spot ignored, cut at the canvas
    EXPECT_EQ(t.At(4, 3), 1);
    EXPECT_EQ(t.At(5, 3), 0);

    TestCanvas c(6, 4, 9);
    CanvasBlitClipped(c.canvas, b.bitmap, ClipRect{0, 0, 1, 3}, 1, 1); // at (0, 0), x 0..1 only
    EXPECT_EQ(std::vector<uint8_t>(c.pixels.begin(), c.pixels.begin() + 6), (std::vector<uint8_t>{1, 0, 9, 9, 9, 9}));
    EXPECT_EQ(c.At(0, 1), 3);
    EXPECT_EQ(c.At(1, 1), 4);
    EXPECT_EQ(c.At(2, 1), 9);
    CanvasBlitClipped(c.canvas, b.bitmap, ClipRect{0, 0, 5, 3}, -50, 2); // wholly outside
    EXPECT_EQ(c.Count(9), 24 - 4);

    TestCanvas image(3, 2);
    image.pixels = b.pixels;
    image.canvas.pixels = image.pixels.data();
    TestCanvas k(6, 4, 9);
    CanvasBlitKeyed(k.canvas, image.canvas, 2, 1, 0, 0, 3, 2);
    EXPECT_EQ(k.At(2, 1), 1);
    EXPECT_EQ(k.At(3, 1), 9); // key colour 0 skipped
    EXPECT_EQ(k.At(4, 1), 2);
    EXPECT_EQ(k.At(4, 2), 9);
    CanvasBlitKeyed(k.canvas, image.canvas, 5, 3, 0, 0, 30, 20); // cut to both
    EXPECT_EQ(k.At(5, 3), 1);
}

TEST(CanvasCopies, ShadeDarkensUnderZeroPixelsIntoTheBaseBand)
{
    TestCanvas image(4, 1);
    image.pixels = {0, 7, 0, 0};
    image.canvas.pixels = image.pixels.data();
    TestCanvas t(4, 1);
    t.pixels = {100, 100, 15, 255};
    CanvasBlitShade(t.canvas, image.canvas, 0, 0, 4, 1, 32);
    // n = d - 16: 84 -> (42 & 15) + (21 & 7) + 38 = 10 + 5 + 38; 239 -> 7 + 3 + 38; d <= 15 -> n = 0.
    EXPECT_EQ(t.pixels, (std::vector<uint8_t>{53, 7, 38, 48}));
}

TEST(CanvasCopies, GrabCopyRectAndTheSixteenBitDoubler)
{
    TestCanvas t(5, 3);
    for (std::size_t i = 0; i < t.pixels.size(); ++i)
        t.pixels[i] = static_cast<uint8_t>(i + 1);
    std::vector<uint8_t> store(4, 0xEE);
    Bitmap grab = {store.data(), 2, 2, 0, 0};
    CanvasGrab(grab, t.canvas, 3, 2); // only (3, 2) and (4, 2) lie on the canvas
    EXPECT_EQ(store, (std::vector<uint8_t>{14, 15, 0xEE, 0xEE}));

    TestCanvas d(5, 3);
    CanvasCopyRect(d.canvas, t.canvas, 1, 1, 10, 1);
    EXPECT_EQ(std::vector<uint8_t>(d.pixels.begin() + 5, d.pixels.begin() + 10), (std::vector<uint8_t>{0, 7, 8, 9, 10}));

    const uint8_t film[] = {1, 2, 3, 4};
    std::vector<uint16_t> wide(3 * 4, 0);
    ImageTo16Bit(film, 2, 2, wide.data(), 3 * 2);
    EXPECT_EQ(wide, (std::vector<uint16_t>{257, 514, 0, 257, 514, 0, 771, 1028, 0, 771, 1028, 0}));
}

TEST(SpriteRuns, DrawTheOpaqueRunsOfAllButTheLastRow)
{
    TestBitmap b(5, 3, 1, 0, {0, 5, 5, 0, 6, 7, 0, 0, 0, 0, 8, 8, 8, 8, 8});
    std::vector<uint8_t> store(SpriteRunsSize(b.bitmap, 0));
    ASSERT_GT(store.size(), 0u);
    std::vector<uint8_t> small(store.size() - 1);
    EXPECT_EQ(SpriteBuildRuns(b.bitmap, small, 0), 0u); // size-checked
    ASSERT_EQ(SpriteBuildRuns(b.bitmap, store, 0), store.size());

    TestCanvas t(6, 3, 1);
    SpriteDraw(t.canvas, b.bitmap, 1, 0, store.data()); // at x 0 with the hot spot
    EXPECT_EQ(std::vector<uint8_t>(t.pixels.begin(), t.pixels.begin() + 6), (std::vector<uint8_t>{1, 5, 5, 1, 6, 1}));
    EXPECT_EQ(std::vector<uint8_t>(t.pixels.begin() + 6, t.pixels.begin() + 12), (std::vector<uint8_t>{7, 1, 1, 1, 1, 1}));
    EXPECT_EQ(t.Count(8), 0); // the last row is not drawn

    TestCanvas s(6, 3, 1);
    SpriteDrawSilhouette(s.canvas, b.bitmap, 3, 1, 0, store.data());
    EXPECT_EQ(s.Count(3), 4);

    TestCanvas c(6, 3, 1);
    SpriteDrawClipped(c.canvas, b.bitmap, 1, 0, store.data(), ClipRect{2, 0, 5, 2});
    EXPECT_EQ(std::vector<uint8_t>(c.pixels.begin(), c.pixels.begin() + 6), (std::vector<uint8_t>{1, 1, 5, 1, 6, 1}));
    EXPECT_EQ(c.At(0, 1), 1);

    TestCanvas edge(6, 3, 1);
    SpriteDraw(edge.canvas, b.bitmap, -2, 2, store.data()); // mostly off the canvas
    EXPECT_EQ(edge.At(1, 2), 6);
    EXPECT_EQ(edge.At(0, 2), 1);

    TestBitmap other(5, 3, 0, 0, b.pixels);
    TestCanvas o(6, 3, 1);
    SpriteDraw(o.canvas, other.bitmap, 0, 0, store.data()); // built from another bitmap
    EXPECT_EQ(o.Count(1), 18);
}

// ---- lines ---------------------------------------------------------------------------------

TEST(CanvasLines, EndsAreAlwaysDrawnAndEveryStepIsOnePixel)
{
    TestCanvas one(4, 4);
    CanvasLine(one.canvas, 0, 0, 0, 0, 7);
    EXPECT_EQ(one.Count(7), 1);
    TestCanvas diagonal(4, 4);
    CanvasLine(diagonal.canvas, 0, 0, 3, 3, 7);
    EXPECT_EQ(diagonal.Count(7), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(diagonal.At(i, i), 7);

    Seed();
    for (int i = 0; i < 300; ++i) {
        const int x1 = CRand() % 24, y1 = CRand() % 16, x2 = CRand() % 24, y2 = CRand() % 16;
        TestCanvas t(24, 16);
        CanvasLine(t.canvas, x1, y1, x2, y2, 1);
        ASSERT_EQ(t.At(x1, y1), 1);
        ASSERT_EQ(t.At(x2, y2), 1) << x1 << "," << y1 << " " << x2 << "," << y2;
        ASSERT_EQ(t.Count(1), std::max(std::abs(x2 - x1), std::abs(y2 - y1)) + 1);
    }
}

TEST(CanvasLines, ClippingKeepsToTheRectangleAndOffCanvasEndsAreSafe)
{
    const ClipRect clip = {2, 2, 9, 7};
    TestCanvas t(12, 10);
    CanvasLineClipped(t.canvas, -5, -3, 20, 14, 4, clip);
    EXPECT_GT(t.Count(4), 0);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            if (t.At(x, y)) {
                EXPECT_TRUE(x >= 2 && x <= 9 && y >= 2 && y <= 7);
            }
    TestCanvas miss(12, 10);
    CanvasLineClipped(miss.canvas, 0, 0, 11, 0, 4, clip);
    CanvasLineClipped(miss.canvas, 0, 9, 1, 0, 4, clip);
    EXPECT_EQ(miss.Count(4), 0);

    int16_t x1 = 0, y1 = 0, x2 = 10, y2 = 10;
    ASSERT_TRUE(ClipLineToRect(x1, y1, x2, y2, clip));
    EXPECT_EQ(x1, 2);
    EXPECT_EQ(y1, 2);
    EXPECT_EQ(x2, 7);
    EXPECT_EQ(y2, 7);

    TestCanvas wild(12, 10);
    CanvasLine(wild.canvas, -30000, -200, 30000, 300, 5); // no write outside (the sanitiser watches)
    CanvasLineAA(wild.canvas, -300, 5, 300, 9, 0xFFFFFF, std::vector<uint8_t>(65536, 6).data());
    EXPECT_GT(wild.Count(5) + wild.Count(6), 0);
}

TEST(CanvasLines, ReferencePictures)
{
    Seed();
    TestCanvas t(48, 32);
    const ClipRect clip = {3, 4, 40, 27};
    for (int i = 0; i < 40; ++i) {
        int16_t x1 = CRand() % 70 - 10, y1 = CRand() % 50 - 10, x2 = CRand() % 70 - 10, y2 = CRand() % 50 - 10;
        if (i % 2)
            CanvasLineClipped(t.canvas, x1, y1, x2, y2, uint8_t(i + 1), clip);
        else
            CanvasLine(t.canvas, x1, y1, x2, y2, uint8_t(i + 1));
    }
    EXPECT_EQ(Crc32(t.pixels), 716721178u);
}

// A palette where entry i (10 to 246) is grey level i - 10 stretched over 0..255.
std::vector<uint8_t> GreyInverseTable()
{
    PaletteEntry palette[256] = {};
    for (int i = 10; i <= 246; ++i) {
        uint8_t v = static_cast<uint8_t>((i - 10) * 255 / 236);
        palette[i] = {v, v, v, 0};
    }
    std::vector<uint8_t> table(kInverseColourTableSize);
    BuildInverseColourTable(palette, table.data());
    return table;
}

TEST(CanvasLinesAA, LevelAndDiagonalLinesArePlainInTheBaseColour)
{
    const std::vector<uint8_t> table = GreyInverseTable();
    const uint8_t base = table[InverseColourIndex(0xC0C0C0)];
    for (auto [x2, y2] : {std::pair{10, 2}, std::pair{2, 10}, std::pair{10, 10}}) {
        TestCanvas t(12, 12);
        CanvasLineAA(t.canvas, 2, 2, int16_t(x2), int16_t(y2), 0xC0C0C0, table.data());
        TestCanvas plain(12, 12);
        CanvasLine(plain.canvas, 2, 2, int16_t(x2), int16_t(y2), base);
        EXPECT_EQ(t.pixels, plain.pixels);
    }
}

TEST(CanvasLinesAA, SlopedLinesBlendPairsOfPixels)
{
    const std::vector<uint8_t> table = GreyInverseTable();
    TestCanvas t(40, 30);
    CanvasLineAA(t.canvas, 3, 2, 30, 25, 0xFFFFFF, table.data());  // shallow-ish steep mix
    CanvasLineAA(t.canvas, 35, 28, 5, 20, 0x3080F0, table.data()); // shallow, drawn downward
    CanvasLineAA(t.canvas, 20, 1, 23, 28, 0x00FF00, table.data()); // steep
    EXPECT_EQ(t.At(3, 2), table[InverseColourIndex(0xFFFFFF)]);
    EXPECT_EQ(Crc32(t.pixels), 3699598901u);
}

// ---- the inverse colour table ----------------------------------------------------------------

TEST(InverseColourTable, ChoosesTheNearestGameEntryAndTheLowestOnATie)
{
    PaletteEntry palette[256] = {};
    for (int i = 0; i < 256; ++i)
        palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 3), 0};
    palette[0] = palette[5] = palette[250] = {255, 0, 0, 0}; // pure red outside the game's entries
    palette[40] = palette[41] = {252, 4, 0, 0};              // nearest to red, twice
    std::vector<uint8_t> table(kInverseColourTableSize);
    BuildInverseColourTable(palette, table.data());
    for (uint8_t entry : table)
        ASSERT_TRUE(entry >= 10 && entry <= 246);
    EXPECT_EQ(table[InverseColourIndex(0x0000FF)], 40);
    // An exact entry finds itself: entry 100 is (100, 155, 44).
    EXPECT_EQ(table[InverseColourIndex(100 | 155 << 8 | 44 << 16)], 100);
}

// ---- spots, rays and triangles ------------------------------------------------------------------

TEST(GlowSpots, SmallDimAndSwitchedOffSpots)
{
    TestGlowTables tables;
    Seed();
    TestCanvas t(20, 20, 1);
    const ClipRect clip = {5, 5, 15, 15};
    CanvasDrawSpot(t.canvas, 0, 2, 0, 10, 10, 30, 0, clip); // below brightness 1
    EXPECT_EQ(t.Count(1), 400);
    CanvasDrawSpot(t.canvas, 9, 2, 0, 3, 3, 4, 0, clip); // diameter 5: one pixel, moved into the clip
    EXPECT_EQ(t.At(5, 5), 104);
    EXPECT_EQ(t.Count(1), 399);
    gSpotsOff = 255;
    CanvasDrawSpot(t.canvas, 15, 2, 0, 10, 10, 12, 0, clip);
    gSpotsOff = 0;
    EXPECT_EQ(t.Count(1), 399);
}

TEST(GlowSpots, ReferencePicturesOfSpotsRaysRampLinesAndTriangles)
{
    TestGlowTables tables;
    Seed();
    BuildJitterTable();
    TestCanvas t(96, 64, 1);
    const ClipRect clip = {4, 4, 90, 60};
    CanvasDrawSpot(t.canvas, 12, 3, 0, 30, 30, 24, 255, clip);
    CanvasDrawSpot(t.canvas, 15, 9, 0, 88, 8, 20, 255, clip); // glow map 1, no rays, cut by the clip
    CanvasRampLine(t.canvas, 2, 62, 60, 40, 5);
    CanvasDrawTriangle(t.canvas, 50, 10, 90, 30, 60, 60, 2, 14, 8, 6);
    CanvasDrawTriangle(t.canvas, 10, 50, 20, 50, 15, 50, 4, 4, 4, 7); // flat
    EXPECT_EQ(Crc32(t.pixels), 3682401345u);

    TestCanvas off(96, 64, 1);
    CanvasDrawTriangle(off.canvas, 50, 10, 96, 30, 60, 60, 2, 14, 8, 6); // a corner off the canvas
    EXPECT_EQ(off.Count(1), 96 * 64);
}

TEST(GlowSpots, RampLinesClimbFromLevelTwoToFourteen)
{
    TestGlowTables tables;
    TestCanvas t(48, 3, 1);
    CanvasRampLine(t.canvas, 0, 1, 47, 1, 0); // 48 pixels: the level grows by 0xC00 / 48 each
    EXPECT_EQ(t.At(0, 1), 2);
    EXPECT_EQ(t.At(47, 1), 14);
    for (int x = 1; x < 48; ++x)
        EXPECT_GE(t.At(x, 1), t.At(x - 1, 1));
}

} // namespace
