// Font files: our writers' output loads back equal, the file layouts, line
// heights, damaged files, vector fonts, the small font's icon and fonts made
// from pictures.
#include "tests/res/res_fixture.h"

#include "system/res/bytes.h"
#include "system/res/font.h"
#include "system/res/iff.h"
#include "system/res/resman.h"

#include <cstring>

using restest::gMessages;

namespace {

// A font of distinct glyphs for 'A', 'g' and 'x' and the space for the rest.
struct TestFont {
    uint8_t spacePixels[2] = {0, 0};
    uint8_t aPixels[12];
    uint8_t gPixels[8];
    uint8_t xPixels[3] = {20, 21, 22};
    Raster space = {spacePixels, 2, 1, 0, 0};
    Raster a = {aPixels, 3, 4, 0, 3};
    Raster g = {gPixels, 2, 4, 1, 1};
    Raster x = {xPixels, 3, 1, 0, 0};
    RasterFont font{};

    TestFont()
    {
        for (int i = 0; i < 12; ++i)
            aPixels[i] = static_cast<uint8_t>(30 + i);
        for (int i = 0; i < 8; ++i)
            gPixels[i] = static_cast<uint8_t>(50 + i);
        for (int i = 0; i < kFontChars; ++i) {
            font.glyphs[i] = &space;
            font.widths[i] = 3;
        }
        font.glyphs['A'] = &a;
        font.glyphs['g'] = &g;
        font.glyphs['x'] = &x;
        font.widths['A'] = 4;
        font.height = 9;
    }
};

void ExpectSameGlyph(const Raster* got, const Raster* want, int c)
{
    ASSERT_NE(got, nullptr) << c;
    EXPECT_EQ(got->width, want->width) << c;
    EXPECT_EQ(got->height, want->height) << c;
    EXPECT_EQ(got->xOffset, want->xOffset) << c;
    EXPECT_EQ(got->yOffset, want->yOffset) << c;
    EXPECT_EQ(std::memcmp(got->pixels, want->pixels, static_cast<std::size_t>(want->width) * want->height), 0) << c;
}

RasterFont* Build(const std::vector<uint8_t>& file, FontFile kind, std::vector<uint64_t>& storage)
{
    std::size_t size = FontBuildSize(file, kind);
    if (!size)
        return nullptr;
    storage.assign((size + 7) / 8, 0);
    return FontBuild(file, kind, {reinterpret_cast<uint8_t*>(storage.data()), size});
}

} // namespace

TEST(Fonts, FntFilesLoadBackEqualWithWidthsAndHeightFromTheGlyphs)
{
    TestFont t;
    std::vector<uint8_t> file = FontFileBytes(t.font, FontFile::Fnt);
    // 1,024 bytes of offsets, then the glyphs: the space once, then A, g, x.
    const std::size_t spaceAt = 1024, aAt = spaceAt + 12 + 2;
    ASSERT_EQ(file.size(), aAt + 12 + 12 + 12 + 8 + 12 + 3);
    EXPECT_EQ(res::GetU32LE(&file[0]), spaceAt);
    EXPECT_EQ(res::GetU32LE(&file[4 * 'A']), aAt);
    EXPECT_EQ(res::GetU32LE(&file[4 * 'B']), spaceAt);
    EXPECT_EQ(res::GetU32LE(&file[aAt]), 0u); // the pointer slot is 0 on disk
    EXPECT_EQ(res::GetI16LE(&file[aAt + 4]), 3);
    EXPECT_EQ(res::GetI16LE(&file[aAt + 10]), 3);
    EXPECT_EQ(file[aAt + 12], 30);

    std::vector<uint64_t> storage;
    RasterFont* font = Build(file, FontFile::Fnt, storage);
    ASSERT_NE(font, nullptr);
    for (int c = 0; c < kFontChars; ++c)
        ExpectSameGlyph(font->glyphs[c], t.font.glyphs[c], c);
    EXPECT_EQ(font->glyphs['B'], font->glyphs[' ']);
    EXPECT_EQ(font->widths['A'], 4);
    EXPECT_EQ(font->widths['x'], 4);
    // Height of "A" + the descender of "g" (4 - 1 - 1) + 2.
    EXPECT_EQ(font->height, 4 + 2 + 2);

    // A "g" without a descender: the height of "A" + 2.
    t.g.yOffset = 3;
    file = FontFileBytes(t.font, FontFile::Fnt);
    font = Build(file, FontFile::Fnt, storage);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->height, 6);
}

TEST(Fonts, FonFilesKeepTheirWidthsAndTakeTheHeightFromTheLetters)
{
    TestFont t;
    t.font.glyphs['q'] = &t.g;
    std::vector<uint8_t> file = FontFileBytes(t.font, FontFile::Fon);
    EXPECT_EQ(res::GetI16LE(&file[2 * 'A']), 4);
    EXPECT_EQ(res::GetI16LE(&file[512]), 9);
    EXPECT_EQ(res::GetU32LE(&file[516]), 516u + 1024u);

    std::vector<uint64_t> storage;
    RasterFont* font = Build(file, FontFile::Fon, storage);
    ASSERT_NE(font, nullptr);
    for (int c = 0; c < kFontChars; ++c)
        ExpectSameGlyph(font->glyphs[c], t.font.glyphs[c], c);
    EXPECT_EQ(font->widths['A'], 4);
    EXPECT_EQ(font->widths['x'], 3);
    // Tallest capital (A: 4) + deepest small letter (g: 4 - 1 - 1).
    EXPECT_EQ(font->height, 6);
}

TEST(Fonts, DamagedFilesBuildNothing)
{
    TestFont t;
    const std::vector<uint8_t> good = FontFileBytes(t.font, FontFile::Fnt);
    std::vector<uint64_t> storage;
    struct Case {
        const char* what;
        std::size_t at;
        uint32_t value;
        bool word32;
    };
    const std::size_t aAt = res::GetU32LE(&good[4 * 'A']);
    const Case cases[] = {
        {"offset past the end", 4 * 'A', static_cast<uint32_t>(good.size()), true},
        {"offset near 4 GiB", 4 * 'A', 0xFFFFFFF0u, true},
        {"glyph pixels past the end", aAt + 6, 0x7FFF, false},
        {"negative width", aAt + 4, 0xFFFF, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        if (c.word32)
            res::PutU32LE(&bad[c.at], c.value);
        else
            res::PutU16LE(&bad[c.at], static_cast<uint16_t>(c.value));
        EXPECT_EQ(FontBuildSize(bad, FontFile::Fnt), 0u) << c.what;
        EXPECT_EQ(Build(bad, FontFile::Fnt, storage), nullptr) << c.what;
    }
    EXPECT_EQ(FontBuildSize(std::vector<uint8_t>(good.begin(), good.begin() + 1000), FontFile::Fnt), 0u);
}

TEST(VectorFonts, StrokeWordsPackIntoOneByte)
{
    uint8_t packed = 0;
    ASSERT_TRUE(PackStrokeWord("U3,2", &packed));
    EXPECT_EQ(packed, 2 * 16 + 6 + 1);
    ASSERT_TRUE(PackStrokeWord("D9,15", &packed));
    EXPECT_EQ(packed, 15 * 16 + 2);
    for (const char* bad : {"U3", "U3,", "U,2", "U3,16", "U-1,2", "U3,2x", ""})
        EXPECT_FALSE(PackStrokeWord(bad, &packed)) << bad;
}

TEST(VectorFonts, EntriesMustBeNumberedInOrder)
{
    auto text = [](int misnumbered) {
        std::string t;
        for (int i = 0; i < 128; ++i)
            t += std::to_string(i == misnumbered ? i + 1 : i) + "," + std::to_string(i % 3) + "\n" +
                 std::string(i % 3 > 0 ? "D1,1\n" : "") + std::string(i % 3 > 1 ? "U2,3\n" : "");
        return t;
    };
    alignas(8) static uint8_t block[kVectorFontBlockSize];
    std::string good = text(-1);
    StrokeFont* font = VectorFontBuild({reinterpret_cast<const uint8_t*>(good.data()), good.size()}, block);
    ASSERT_NE(font, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(font->strokes[0]), "");
    EXPECT_EQ(std::vector<uint8_t>(font->strokes[2], font->strokes[2] + 3),
              (std::vector<uint8_t>{16 + 2, 3 * 16 + 4 + 1, 0}));
    EXPECT_EQ(font->lengths[2], 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(font->strokes[200]), "");
    EXPECT_EQ(font->lengths[200], 0);

    // A line to the grid's corner packs to a zero byte; the length keeps it.
    std::string corner = "0,2\nU4,4\nD0,0\n";
    for (int i = 1; i < 128; ++i)
        corner += std::to_string(i) + ",0\n";
    font = VectorFontBuild({reinterpret_cast<const uint8_t*>(corner.data()), corner.size()}, block);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->lengths[0], 2);
    EXPECT_EQ(font->strokes[0][1], 0);

    std::string fifthWrong = text(4);
    EXPECT_EQ(VectorFontBuild({reinterpret_cast<const uint8_t*>(fifthWrong.data()), fifthWrong.size()}, block),
              nullptr);
    std::string truncated = good.substr(0, good.size() / 2);
    EXPECT_EQ(VectorFontBuild({reinterpret_cast<const uint8_t*>(truncated.data()), truncated.size()}, block),
              nullptr);
    // More strokes than the block holds.
    std::string greedy = "0,100000\n";
    EXPECT_EQ(VectorFontBuild({reinterpret_cast<const uint8_t*>(greedy.data()), greedy.size()}, block), nullptr);
}

class FontResources : public restest::DataTree {
protected:
    void SetUp() override
    {
        DataTree::SetUp();
        ResInit();
    }
    void TearDown() override
    {
        ResShutdown();
        DataTree::TearDown();
    }
};

TEST_F(FontResources, TheSmallFontShowsTheIconForCharacter223)
{
    TestFont t;
    std::filesystem::create_directories(root / "zqk/resource/fonts");
    ASSERT_TRUE(FontSave("zqk\\resource\\fonts\\fsmall.fon", &t.font));
    ASSERT_TRUE(FontSave("zqk\\resource\\fonts\\fbig.fon", &t.font));
    const uint8_t icon[6] = {1, 2, 3, 4, 5, 6};
    Write("zqk\\resource\\art\\icons\\b.bbm", IffBuildPbm(icon, 3, 2, 0, 5, nullptr, false));

    auto* small = static_cast<RasterFont*>(ResGet(ResRegister("zqk\\resource\\fonts\\FSMALL.fon", ResType::FonFont)));
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->glyphs[223]->width, 3);
    EXPECT_EQ(small->glyphs[223]->yOffset, 4);
    EXPECT_EQ(small->glyphs[223]->pixels[5], 6);
    EXPECT_EQ(small->widths[223], 4);
    // The icon picture itself is left as it was.
    auto* picture = static_cast<Raster*>(ResGet(ResRegister("zqk\\resource\\art\\icons\\b.bbm", ResType::LbmRaster)));
    EXPECT_EQ(picture->yOffset, 5);

    auto* big = static_cast<RasterFont*>(ResGet(ResRegister("zqk\\resource\\fonts\\fbig.fon", ResType::FonFont)));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->glyphs[223], big->glyphs[' ']);
}

TEST_F(FontResources, ADamagedFontCountsAsMissing)
{
    TestFont t;
    std::vector<uint8_t> bad = FontFileBytes(t.font, FontFile::Fnt);
    res::PutU32LE(&bad[4 * 'x'], 0x10000000);
    Write("zqk\\bad.fnt", bad);
    Resource* r = ResRegister("zqk\\bad.fnt", ResType::FntFont);
    EXPECT_EQ(r->size, 0);
    EXPECT_EQ(ResGet(r), nullptr);
}

TEST_F(FontResources, PictureFontsTakeOnePicturePerCharacter)
{
    const uint8_t pixels[4] = {40, 41, 42, 43};
    Write("zqk\\pf\\c032.bbm", IffBuildPbm(pixels, 1, 1, 0, 0, nullptr, false));
    Write("zqk\\pf\\c065.bbm", IffBuildPbm(pixels + 1, 1, 1, 0, 2, nullptr, false));
    Write("zqk\\pf\\c233.bbm", IffBuildPbm(pixels + 2, 2, 1, 0, 0, nullptr, false));
    RasterFont font{};
    BuildPictureFont(&font, "zqk\\pf");
    ASSERT_NE(font.glyphs[' '], nullptr);
    EXPECT_EQ(font.glyphs[0], font.glyphs[' ']);
    EXPECT_EQ(font.glyphs['B'], font.glyphs[' ']);
    ASSERT_NE(font.glyphs['A'], font.glyphs[' ']);
    EXPECT_EQ(font.glyphs['A']->pixels[0], 41);
    EXPECT_EQ(font.glyphs['A']->yOffset, 3);
    EXPECT_EQ(font.glyphs[' ']->yOffset, 1);
    EXPECT_EQ(font.glyphs['a'], font.glyphs['A']);
    EXPECT_EQ(font.glyphs[233]->width, 2);
    // Building again does not move the glyphs twice.
    BuildPictureFont(&font, "zqk\\pf");
    EXPECT_EQ(font.glyphs['A']->yOffset, 3);
    EXPECT_TRUE(gMessages.empty()) << gMessages.front();
}
