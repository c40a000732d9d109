// Colour ramps through a decodable RGB-to-palette table, the blend tables on
// a synthetic banded palette, and the flare images from fixture pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "system/canvas.h"
#include "system/res/pcx.h"
#include "tests/support/scratch_folder.h"
#include "view/colourtables.h"

namespace {

// Entry = the colour's 5-bit red: ramps read back as red levels.
std::vector<uint8_t> RedLookup()
{
    std::vector<uint8_t> t(65536);
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = uint8_t(i >> 11);
    return t;
}

// Bands of 32 from 16 to 239, each dark to light (weight 24 x position);
// the unbanded entries are mid grey.
std::vector<uint8_t> BandedPalette()
{
    std::vector<uint8_t> p(256 * 4, 0);
    for (int q = 0; q < 256; ++q) {
        const int level = (q >= 16 && q < 240) ? ((q - 16) % 32) * 8 : 128;
        p[q * 4] = p[q * 4 + 1] = p[q * 4 + 2] = uint8_t(level);
    }
    return p;
}

uint8_t At(const std::vector<uint8_t>& tables, int table, int level, int colour)
{
    return tables[(size_t(table) * 16 + size_t(level)) * 256 + size_t(colour)];
}

TEST(ColourRamp, TwoEqualColoursGiveOneIndexThroughout)
{
    const auto lookup = RedLookup();
    uint8_t ramp[32];
    BuildColourRamp(lookup.data(), ramp, 200, 10, 10, 200, 10, 10);
    for (uint8_t entry : ramp)
        EXPECT_EQ(entry, 200 >> 3);
}

TEST(ColourRamp, StartsAtTheSecondColourAndStopsAThirtySecondShortOfTheFirst)
{
    const auto lookup = RedLookup();
    uint8_t ramp[32];
    BuildColourRamp(lookup.data(), ramp, 255, 0, 0, 0, 0, 0);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[16], (255 * 16 / 32) >> 3);
    EXPECT_EQ(ramp[31], (255 * 31 / 32) >> 3); // 247, not 255
    EXPECT_NE(ramp[31], 255 >> 3);
}

TEST(ColourRamp, ComponentsOutsideAByteAreClamped)
{
    const auto lookup = RedLookup();
    uint8_t wild[32], clamped[32];
    BuildColourRamp(lookup.data(), wild, 300, 300, 300, -4, -4, -4);
    BuildColourRamp(lookup.data(), clamped, 255, 255, 255, 0, 0, 0);
    EXPECT_EQ(std::memcmp(wild, clamped, 32), 0);
}

TEST(ColourRamp, FiveColoursRunInFourSegmentsOfEight)
{
    const auto lookup = RedLookup();
    const int32_t colours[5][3] = {{0, 0, 0}, {64, 0, 0}, {128, 0, 0}, {192, 0, 0}, {248, 0, 0}};
    uint8_t ramp[32];
    BuildFiveColourRamp(lookup.data(), ramp, colours);
    EXPECT_EQ(ramp[0], 0);
    EXPECT_EQ(ramp[8], 64 >> 3);
    EXPECT_EQ(ramp[16], 128 >> 3);
    EXPECT_EQ(ramp[24], 192 >> 3);
    EXPECT_EQ(ramp[31], (192 + 56 * 7 / 8) >> 3);
    EXPECT_EQ(ramp[7], (64 * 7 / 8) >> 3);
}

class BlendTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = gGlowTables;
        tables.assign(kBlendTablesSize, 0);
        BuildTranslucencyTables(tables.data(), palette.data());
    }
    void TearDown() override { gGlowTables = saved; }
    GlowTables saved;
    std::vector<uint8_t> palette = BandedPalette();
    std::vector<uint8_t> tables;
};

TEST_F(BlendTables, LevelFifteenOfTablesNineToFifteenIsTheIdentity)
{
    for (int t = 9; t < 16; ++t)
        for (int q = 0; q < 256; ++q)
            ASSERT_EQ(At(tables, t, 15, q), q) << "table " << t;
}

TEST_F(BlendTables, TableEightShiftsUpTheBandAndLeavesTheUnbandedAlone)
{
    struct Case {
        int level, colour, expected;
    } cases[] = {
        {0, 20, 21},
        {3, 20, 24},
        {15, 16, 40},
        {15, 30, 47}, // capped at the band's top
        {0, 180, 182},
        {2, 180, 186},
        {15, 180, 207}, // band 176 shifts twice as far
        {7, 5, 5},
        {7, 15, 15},
        {7, 240, 240},
        {15, 255, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(At(tables, 8, c.level, c.colour), c.expected) << c.level << " " << c.colour;
}

TEST_F(BlendTables, BrighteningTablesLandInTheirBands)
{
    for (int q = 16; q < 240; ++q) {
        EXPECT_GE(At(tables, 1, 5, q), 112) << q; // band 112
        EXPECT_LT(At(tables, 1, 5, q), 144) << q;
        EXPECT_GE(At(tables, 1, 14, q), 48); // levels 14 and 15: band 48
        EXPECT_LT(At(tables, 1, 14, q), 80);
    }
    // Table 0 keeps the colour's own band and never darkens it.
    EXPECT_GE(At(tables, 0, 10, 100), 100);
    EXPECT_LT(At(tables, 0, 10, 100), 112);
}

TEST_F(BlendTables, TheTablesBecomeTheCanvasBlendTables)
{
    EXPECT_EQ(gGlowTables.blend, tables.data());
    EXPECT_NE(gGlowTables.glowMaps[0], nullptr);
    EXPECT_NE(gGlowTables.glowMaps[1], nullptr);
}

// Flare pictures written into a scratch data folder.
class FlarePictures : public ::testing::Test {
protected:
    void SetUp() override { saved = gGlowTables; }
    void TearDown() override { gGlowTables = saved; }
    void WriteFlare(int number, int side, uint8_t base)
    {
        std::vector<uint8_t> pixels(size_t(side) * side);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = uint8_t(base + i % 7);
        std::vector<uint8_t> colours(768, 0);
        PcxImage* picture = PcxFromPixels(nullptr, 0, pixels.data(), side, side, colours.data());
        ASSERT_NE(picture, nullptr);
        std::filesystem::create_directories(folder / "zqk/resource/art/icons");
        char name[32];
        std::snprintf(name, sizeof(name), "Flare%03d.pcx", number);
        ASSERT_TRUE(PcxSave((folder / "zqk/resource/art/icons" / name).c_str(), picture));
        PcxFree(picture);
    }
    GlowTables saved;
    ScratchFolder folder{"flares", true};
};

TEST_F(FlarePictures, PicturesZeroAndFourFillTheTwoImages)
{
    WriteFlare(0, 128, 1);
    WriteFlare(4, 64, 20);
    LoadFlareImages();
    // The glow spots draw through the two images.
    const uint8_t* first = gGlowTables.glowMaps[0];
    const uint8_t* second = gGlowTables.glowMaps[1];
    ASSERT_TRUE(first && second);
    for (int i = 0; i < kFlareImageBytes; ++i)
        ASSERT_EQ(first[i], uint8_t(1 + i % 7)) << i;
    // The smaller picture fills its own bytes; the rest of its image is 0.
    for (int i = 0; i < 64 * 64; ++i)
        ASSERT_EQ(second[i], uint8_t(20 + i % 7)) << i;
    for (int i = 64 * 64; i < kFlareImageBytes; ++i)
        ASSERT_EQ(second[i], 0) << i;
}

TEST_F(FlarePictures, AMissingPictureLeavesItsImageBlank)
{
    WriteFlare(0, 128, 1);
    LoadFlareImages();
    const uint8_t* first = gGlowTables.glowMaps[0];
    const uint8_t* second = gGlowTables.glowMaps[1];
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first[5], 1 + 5 % 7);
    for (int i = 0; i < kFlareImageBytes; ++i)
        ASSERT_EQ(second[i], 0);
}

TEST_F(FlarePictures, AGlowSpotDrawsOnceTablesAndImagesAreHandedOver)
{
    WriteFlare(0, 128, 3);
    WriteFlare(4, 128, 3);
    std::vector<uint8_t> pixels(64 * 64, 100);
    const Canvas canvas{pixels.data(), 64, 64};
    const ClipRect clip{0, 0, 63, 63};
    gGlowTables = GlowTables{};
    CanvasDrawSpot(canvas, 15, 1, 0, 32, 32, 40, 0, clip);
    EXPECT_EQ(pixels, std::vector<uint8_t>(64 * 64, 100)); // nothing to draw through

    const std::vector<uint8_t> palette = BandedPalette();
    std::vector<uint8_t> tables(kBlendTablesSize);
    BuildTranslucencyTables(tables.data(), palette.data());
    CanvasDrawSpot(canvas, 15, 1, 0, 32, 32, 40, 0, clip);
    EXPECT_NE(pixels, std::vector<uint8_t>(64 * 64, 100));
}

} // namespace

namespace {

TEST(DemoFlares, AreFullSizeGlowsOfBlendLevels)
{
    const GlowTables saved = gGlowTables;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
    LoadFlareImages();
    std::filesystem::current_path(previous);
    const GlowTables loaded = gGlowTables;
    gGlowTables = saved;
    for (int image = 0; image < 2; ++image) {
        const uint8_t* levels = loaded.glowMaps[image];
        ASSERT_TRUE(levels) << image;
        EXPECT_EQ(levels[64 * 128 + 64], 14) << image; // bright at the centre
        EXPECT_EQ(levels[0], 0) << image;              // nothing in the corner
        EXPECT_EQ(*std::max_element(levels, levels + kFlareImageBytes), 14) << image;
    }
}

} // namespace
