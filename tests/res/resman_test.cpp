// The resource manager: registration, lookup, the pool with its mark, the
// loaders behind each conversion type, texts per language and the backdrop.
#include "tests/res/res_fixture.h"

#include "system/raster.h"
#include "system/rasterfont.h"
#include "system/res/font.h"
#include "system/res/iff.h"
#include "system/res/loaders.h"
#include "system/res/resman.h"
#include "system/sound.h"
#include "system/wav.h"
#include "tests/support/sound_fixture.h"

#include <cstring>

using restest::Bytes;
using restest::gFatals;
using restest::gMessages;
using restest::PcxFile;

namespace {

uint8_t Diagonal(int x, int y) { return static_cast<uint8_t>(x == y ? 7 : x + 10 * y); }

class Resman : public restest::DataTree {
protected:
    void SetUp() override
    {
        DataTree::SetUp();
        ASSERT_EQ(ResInit(), kResPoolCap);
    }
    void TearDown() override
    {
        ResShutdown();
        DataTree::TearDown();
    }
    void WritePcx(const std::string& path, int width, int height)
    {
        Write(path, PcxFile(width, height, width, restest::PcxPlainBody(width, height, Diagonal)));
    }
};

} // namespace

TEST_F(Resman, RegistrationFindsTheSameRecordByNameIgnoringCaseAndBackslash)
{
    Resource* a = ResRegister("zqk\\resource\\art\\a.pcx", ResType::PcxRaster);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->name, "zqk\\resource\\art\\a.pcx");
    EXPECT_EQ(ResRegister("\\ZQK\\Resource\\Art\\A.PCX", ResType::PcxRaster), a);
    EXPECT_EQ(ResRegister("zqk/resource/art/a.pcx", ResType::PcxRaster), a);
    EXPECT_NE(ResRegister("zqk\\resource\\art\\a.pcx", ResType::PcxPalette), a);
    EXPECT_EQ(ResRecordCount(), 2);

    // Bitmap fonts always get a record of their own.
    Resource* f1 = ResRegister("zqk\\f.fnt", ResType::FntFont);
    Resource* f2 = ResRegister("zqk\\f.fnt", ResType::FntFont);
    EXPECT_NE(f1, f2);
    EXPECT_NE(ResRegister("zqk\\f.fon", ResType::FonFont), ResRegister("zqk\\f.fon", ResType::FonFont));
}

TEST_F(Resman, NamesWithEqualHashesGetTheirOwnRecords)
{
    // A name and its reverse have the same weight sum and the same sum of
    // neighbouring products, so they always hash alike.
    const char* name = "ab\\pic.pcx";
    const char* reversed = "xcp.cip\\ba";
    ASSERT_EQ(ResNameHash(name), ResNameHash(reversed));
    Resource* a = ResRegister(name, ResType::PcxRaster);
    Resource* b = ResRegister(reversed, ResType::PcxRaster);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(ResRegister(reversed, ResType::PcxRaster), b);
}

// The lookup index hashes the ends of names: names alike there but not
// before, and names alike only without case, must still be told apart.
TEST_F(Resman, NamesThatDifferOnlyFarFromTheirEndsGetTheirOwnRecords)
{
    const std::string tail = "\\missions\\briefings\\pictures\\first_contact.pcx";
    std::vector<Resource*> records;
    for (const char* folder : {"zqk\\a", "zqk\\b", "zqk\\aa", "zqk\\ab"}) {
        records.push_back(ResRegister((folder + tail).c_str(), ResType::Video));
        ASSERT_NE(records.back(), nullptr);
    }
    EXPECT_EQ(ResRecordCount(), 4);
    EXPECT_EQ(ResRegister(("ZQK/A" + tail).c_str(), ResType::Video), records[0]);
    EXPECT_EQ(ResRegister(("zqk\\B" + tail).c_str(), ResType::Video), records[1]);
    EXPECT_EQ(ResRegister(("\\zqk\\AB" + tail).c_str(), ResType::Video), records[3]);
    EXPECT_EQ(ResRegister(("zqk\\aa" + tail).c_str(), ResType::Video), records[2]);
    EXPECT_EQ(ResRecordCount(), 4);
}

TEST_F(Resman, NameLengthAndTypeLimitsAreReportedNotOverrun)
{
    std::string longest(127, 'n');
    Resource* r = ResRegister(longest.c_str(), ResType::Text);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r->name), longest);
    EXPECT_TRUE(gMessages.empty());

    std::string tooLong(128, 'n');
    EXPECT_EQ(ResRegister(tooLong.c_str(), ResType::Text), nullptr);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(gMessages[0].rfind("RESMAN error: ", 0), 0u);

    for (int type : {0, 13, 20, -1}) {
        gFatals.clear();
        EXPECT_EQ(ResRegister("zqk\\x.scr", static_cast<ResType>(type)), nullptr) << type;
        EXPECT_FALSE(gFatals.empty()) << type;
    }
    EXPECT_EQ(ResRecordCount(), 1);
}

TEST_F(Resman, RunningOutOfRecordsStopsWithoutWritingPastTheTable)
{
    for (int i = ResRecordCount(); i < kResRecords; ++i) {
        std::string name = "zqk\\n" + std::to_string(i) + ".txt";
        ASSERT_NE(ResRegister(name.c_str(), ResType::Video), nullptr);
    }
    EXPECT_TRUE(gFatals.empty());
    EXPECT_EQ(ResRegister("zqk\\one_more.txt", ResType::Video), nullptr);
    EXPECT_EQ(ResAllocSized(0, 16), nullptr);
    EXPECT_EQ(gFatals.size(), 2u);
    EXPECT_EQ(ResRecordCount(), kResRecords);
    // Names already registered are still found.
    EXPECT_NE(ResRegister("zqk\\n0.txt", ResType::Video), nullptr);
}

TEST_F(Resman, ReleaseToMarkRestoresRecordCountAndPoolTop)
{
    WritePcx("zqk\\art\\a.pcx", 5, 3);
    Write("zqk\\text\\t.txt", "hello");
    ASSERT_NE(ResGet(ResRegister("zqk\\art\\a.pcx", ResType::PcxRaster)), nullptr);
    ResMark();
    const int count = ResRecordCount();
    const std::size_t used = ResPoolUsed();

    ASSERT_NE(ResGet(ResRegister("zqk\\art\\a.pcx", ResType::PcxPalette)), nullptr);
    ASSERT_NE(ResGet(ResRegister("zqk\\text\\t.txt", ResType::Text)), nullptr);
    Resource* sized = ResAllocSized(3, 1000);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(sized->modelFlag, 255);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(sized->data) % kResPoolAlign, 0u);
    EXPECT_EQ(ResRecordCount(), count + 3);
    EXPECT_GT(ResPoolUsed(), used + 1000);

    ResReleaseToMark();
    EXPECT_EQ(ResRecordCount(), count);
    EXPECT_EQ(ResPoolUsed(), used);
    // The released records are free again and load afresh.
    Resource* again = ResRegister("zqk\\text\\t.txt", ResType::Text);
    EXPECT_EQ(again - ResRegister("zqk\\art\\a.pcx", ResType::PcxRaster), 1);
    EXPECT_EQ(again->data, nullptr);
    EXPECT_STREQ(static_cast<const char*>(ResGet(again)), "hello");
}

TEST_F(Resman, PoolBlocksAreAlignedAndAFullPoolGivesNull)
{
    Resource* a = ResAllocSized(0, 3);
    Resource* b = ResAllocSized(0, 5);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(static_cast<uint8_t*>(b->data) - static_cast<uint8_t*>(a->data), 16);
    EXPECT_EQ(ResPoolUsed(), 16u + 5u);
    EXPECT_EQ(ResAllocSized(0, static_cast<int32_t>(kResPoolCap)), nullptr);
    EXPECT_EQ(ResPoolUsed(), 16u + 5u);
    EXPECT_EQ(ResRecordCount(), 2);
}

TEST_F(Resman, MissingFilesAreReportedAndGiveNull)
{
    EXPECT_EQ(ResGet(nullptr), nullptr);
    Resource* r = ResRegister("\\zqk\\art\\none.pcx", ResType::PcxRaster);
    EXPECT_EQ(r->size, 0);
    EXPECT_EQ(ResGet(r), nullptr);
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(gMessages[0], "RESMAN error: Could not find resource 'zqk\\art\\none.pcx'");

    // A text missing from both the language library and the disk.
    WriteSlab("text", {{"\\other.txt", Bytes("x")}});
    EXPECT_EQ(ResGet(ResRegister("zqk\\resource\\text\\none.txt", ResType::Text)), nullptr);
    EXPECT_EQ(gMessages.size(), 2u);
    EXPECT_FALSE(ResFileExists("\\zqk\\art\\none.pcx"));
}

TEST_F(Resman, EachConversionTypeLoadsFromALooseFile)
{
    GamePalette palette{};
    for (int i = 0; i < 256; ++i)
        palette.entries[i] = {static_cast<uint8_t>(i), 1, 2, 0};
    const uint8_t pixels[6] = {1, 2, 3, 4, 5, 6};
    Write("zqk\\art\\p.bbm", IffBuildPbm(pixels, 3, 2, 1, -2, &palette, true));
    WritePcx("zqk\\art\\p.pcx", 4, 2);
    Write("zqk\\art\\c.cm", std::vector<uint8_t>(kColourMapSize, 9));
    Write("zqk\\text\\t.txt", "text");

    RasterFont font{};
    Raster glyph = {const_cast<uint8_t*>(pixels), 2, 3, 0, 2};
    for (Raster*& g : font.glyphs)
        g = &glyph;
    font.height = 5;
    ASSERT_TRUE(FontSaveFnt("zqk\\f.fnt", &font));
    ASSERT_TRUE(FontSave("zqk\\f.fon", &font));
    std::string vector;
    for (int i = 0; i < 128; ++i)
        vector += std::to_string(i) + ",1\nD1,2\n";
    Write("zqk\\v.rvf", vector);
    WaveFormat pcm = {1, 1, 11025, 11025, 1, 8, 0};
    ASSERT_EQ(WavSave("zqk\\s.wav", 3, 3, &pcm, pixels), kWavOk);

    auto* lbmPalette = static_cast<GamePalette*>(ResGet(ResRegister("zqk\\art\\p.bbm", ResType::LbmPalette)));
    ASSERT_NE(lbmPalette, nullptr);
    EXPECT_EQ(lbmPalette->entries[200].red, 200);
    auto* lbm = static_cast<Raster*>(ResGet(ResRegister("zqk\\art\\p.bbm", ResType::LbmRaster)));
    ASSERT_NE(lbm, nullptr);
    EXPECT_EQ(lbm->width, 3);
    EXPECT_EQ(lbm->yOffset, -2);
    EXPECT_EQ(lbm->pixels[5], 6);
    auto* header = static_cast<Raster*>(ResGet(ResRegister("zqk\\art\\p.pcx", ResType::RasterHeader)));
    EXPECT_NE(header, nullptr);
    auto* pcxPalette = static_cast<GamePalette*>(ResGet(ResRegister("zqk\\art\\p.pcx", ResType::PcxPalette)));
    ASSERT_NE(pcxPalette, nullptr);
    EXPECT_EQ(pcxPalette->entries[3].green, 252);
    Resource* pcxRecord = ResRegister("zqk\\art\\p.pcx", ResType::PcxRaster);
    EXPECT_EQ(pcxRecord->size, static_cast<int32_t>(sizeof(Raster) + 8));
    auto* pcx = static_cast<Raster*>(ResGet(pcxRecord));
    ASSERT_NE(pcx, nullptr);
    EXPECT_EQ(pcx->pixels, reinterpret_cast<uint8_t*>(pcx + 1));
    EXPECT_EQ(pcx->pixels[4 + 1], 7);
    auto* backdrop = static_cast<Raster*>(ResGet(ResRegister("zqk\\art\\p.pcx", ResType::PcxBackdrop)));
    ASSERT_NE(backdrop, nullptr);
    EXPECT_EQ(backdrop->pixels, ResBackdropPixels());
    auto* map = static_cast<uint8_t*>(ResGet(ResRegister("zqk\\art\\c.cm", ResType::ColourMap)));
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map[65535], 9);
    auto* fnt = static_cast<RasterFont*>(ResGet(ResRegister("zqk\\f.fnt", ResType::FntFont)));
    ASSERT_NE(fnt, nullptr);
    EXPECT_EQ(fnt->widths['x'], 3);
    auto* fon = static_cast<RasterFont*>(ResGet(ResRegister("zqk\\f.fon", ResType::FonFont)));
    ASSERT_NE(fon, nullptr);
    EXPECT_EQ(fon->glyphs['x']->pixels[5], 6);
    auto* strokes = static_cast<StrokeFont*>(ResGet(ResRegister("zqk\\v.rvf", ResType::VectorFont)));
    ASSERT_NE(strokes, nullptr);
    EXPECT_EQ(strokes->strokes[127][0], 2 * 16 + 2);
    Resource* text = ResRegister("zqk\\text\\t.txt", ResType::Text);
    EXPECT_EQ(text->size, 5);
    EXPECT_STREQ(static_cast<const char*>(ResGet(text)), "text");
    {
        CapturedSound output;
        auto* sound = static_cast<SoundSlot*>(ResGet(ResRegister("zqk\\s.wav", ResType::Sound)));
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(sound->length, 3u);
        EXPECT_EQ(sound->format->samplesPerSec, 11025u);
        EXPECT_EQ(sound->data[2], 3);
        SoundStart(sound, 0, 0, 0, 0);
        EXPECT_TRUE(SoundIsPlaying(sound));
    }
    EXPECT_TRUE(gMessages.empty());

    // Films are registered but never loaded.
    Resource* video = ResRegister("zqk\\film.smk", ResType::Video);
    EXPECT_EQ(ResGet(video), nullptr);
    EXPECT_TRUE(gMessages.empty());
}

TEST_F(Resman, SoundsGiveNullWithSoundOffAndLeaveThePoolAsItWas)
{
    const uint8_t samples[4] = {1, 2, 3, 4};
    WaveFormat pcm = {1, 1, 22050, 22050, 1, 8, 0};
    ASSERT_EQ(WavSave("zqk\\s.wav", 4, 4, &pcm, samples), kWavOk);
    gSettings.sound = 0;
    std::size_t used = ResPoolUsed();
    EXPECT_EQ(ResGet(ResRegister("zqk\\s.wav", ResType::Sound)), nullptr);
    EXPECT_EQ(ResPoolUsed(), used);
}

TEST_F(Resman, ModelTypesRegisterButReportThatTheyCannotLoadYet)
{
    Write("zqk\\resource\\shapes\\ship.lwo", "FORM");
    for (ResType type : {ResType::AscModel, ResType::DatModel}) {
        gMessages.clear();
        Resource* r = ResRegister("zqk\\resource\\shapes\\ship.lwo", type);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(ResGet(r), nullptr);
        ASSERT_EQ(gMessages.size(), 1u);
        EXPECT_EQ(gMessages[0].rfind("RESMAN error: ", 0), 0u);
        EXPECT_EQ(r->modelFlag, 0);
        ResSetModelFlag(r);
        EXPECT_EQ(r->modelFlag, 255);
        ResClearModelFlag(r);
        EXPECT_EQ(r->modelFlag, 0);
    }
    // LightWave shapes load through their own loader (tests/view): a file
    // shorter than its header is no shape, and no model flag is set.
    for (ResType type : {ResType::LwoModel, ResType::LwoWire}) {
        Resource* r = ResRegister("zqk\\resource\\shapes\\ship.lwo", type);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->size, 0);
        EXPECT_EQ(ResGet(r), nullptr);
        EXPECT_EQ(r->modelFlag, 0);
    }
}

TEST_F(Resman, TextsComeFromTheLanguageLibraryUnlessNoSlab)
{
    WriteSlab("text", {{"\\brief.txt", Bytes("english brief")}});
    WriteSlab("frn_", {{"brief.txt", Bytes("briefing francais")}});
    WriteSlab("ger_", {{"BRIEF.TXT", Bytes("deutsch")}});
    Write("zqk\\resource\\text\\brief.txt", "loose");
    Write("zqk\\resource\\text\\frn_brief.txt", "loose fr");

    struct Case {
        uint16_t language;
        uint8_t noSlab;
        const char* path;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, "zqk\\resource\\text\\brief.txt", "english brief"},
        {1, 0, "zqk\\resource\\text\\frn_brief.txt", "briefing francais"},
        {2, 0, "zqk\\resource\\text\\ger_brief.txt", "deutsch"},
        {0, 255, "zqk\\resource\\text\\brief.txt", "loose"},
        {1, 255, "zqk\\resource\\text\\frn_brief.txt", "loose fr"},
    };
    for (const Case& c : cases) {
        ResInit();
        gSettings.language = c.language;
        gSettings.noSlab = c.noSlab;
        Resource* r = ResRegister(c.path, ResType::Text);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->size, static_cast<int32_t>(std::strlen(c.text) + 1)) << c.path;
        const char* text = static_cast<const char*>(ResGet(r));
        ASSERT_NE(text, nullptr) << c.path;
        EXPECT_STREQ(text, c.text);
    }
    EXPECT_TRUE(gMessages.empty());
}

TEST_F(Resman, TextsKeepCodePage1252Bytes)
{
    const std::vector<uint8_t> bytes = {'c', 'a', 'f', 0xE9, ' ', 0x80, 0xFF};
    Write("zqk\\resource\\text\\cafe.txt", bytes);
    const auto* text = static_cast<const uint8_t*>(ResGet(ResRegister("zqk\\resource\\text\\cafe.txt", ResType::Text)));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(text, text + bytes.size() + 1),
              (std::vector<uint8_t>{'c', 'a', 'f', 0xE9, ' ', 0x80, 0xFF, 0}));
}

TEST_F(Resman, TheBackdropDecodesOnlyWhenAnotherPictureWasShownBetween)
{
    WritePcx("zqk\\art\\one.pcx", 4, 2);
    WritePcx("zqk\\art\\two.pcx", 2, 2);
    Resource* one = ResRegister("zqk\\art\\one.pcx", ResType::PcxBackdrop);
    Resource* two = ResRegister("zqk\\art\\two.pcx", ResType::PcxBackdrop);
    auto* raster = static_cast<Raster*>(ResGet(one));
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(raster->width, 4);
    EXPECT_EQ(ResBackdropPixels()[5], 7);
    EXPECT_EQ(ResBackdropPalette().entries[9].red, 9);

    // Change the file: asking again does not decode again...
    Write("zqk\\art\\one.pcx", PcxFile(4, 2, 4, std::vector<uint8_t>(8, 33)));
    EXPECT_EQ(ResGet(one), raster);
    EXPECT_EQ(ResBackdropPixels()[5], 7);
    // ...but after another backdrop it does.
    ASSERT_NE(ResGet(two), nullptr);
    EXPECT_EQ(raster->width, 4); // each record keeps its own header
    ASSERT_NE(ResGet(one), nullptr);
    EXPECT_EQ(ResBackdropPixels()[5], 33);
}

TEST_F(Resman, BackdropsLargerThanTheScreenAreClipped)
{
    Write("zqk\\art\\big.pcx", PcxFile(700, 500, 700, std::vector<uint8_t>(700 * 500 / 63 * 2 + 40, 0xFF)));
    auto* raster = static_cast<Raster*>(ResGet(ResRegister("zqk\\art\\big.pcx", ResType::PcxBackdrop)));
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(raster->width, 640);
    EXPECT_EQ(raster->height, 480);
}

TEST_F(Resman, DroppedDataLoadsAgainExceptModelsAndSounds)
{
    Write("zqk\\text\\t.txt", "one");
    Resource* text = ResRegister("zqk\\text\\t.txt", ResType::Text);
    ASSERT_NE(ResGet(text), nullptr);
    Write("zqk\\text\\t.txt", "two");
    ResDropData(text);
    EXPECT_EQ(text->data, nullptr);
    EXPECT_STREQ(static_cast<const char*>(ResGet(text)), "two");

    Resource* sized = ResAllocSized(kResRowSounds, 8);
    ResDropData(sized);
    EXPECT_NE(sized->data, nullptr);
}
