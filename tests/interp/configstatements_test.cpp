// The resource, definition and configuration statements: each one's effect
// on symbols, resources, the text table, the key map, options and folders,
// run from script text over a scratch data tree.
#include "interp_fixture.h"

#include "script/configstatements.h"
#include "script/keywords.h"
#include "system/calltrace.h"
#include "system/canvas.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/res/font.h"
#include "system/res/pcx.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/text.h"
#include "tools/lwob_writer.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/lwoloader.h"
#include "view/viewstart.h"
#include "world/playerinput.h"
#include "world/responses.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

class ConfigStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ResInit();
        saved_ = gSettings;
        savedGamma_ = gDisplayGamma;
        savedVideo_ = gVideoFolder;
        savedSpeech_ = gSpeechFolder;
        std::memcpy(savedLod_, gLodThresholds, sizeof savedLod_);
        WriteFile("zqk/resource/text/hello.txt", "Hello");
        WriteFile("zqk/resource/frn_/hello.txt", "Bonjour");
        WriteFile("zqk/resource/ger_/hello.txt", "Hallo");
    }
    void TearDown() override
    {
        gSettings = saved_;
        gDisplayGamma = savedGamma_;
        gVideoFolder = savedVideo_;
        gSpeechFolder = savedSpeech_;
        std::memcpy(gLodThresholds, savedLod_, sizeof savedLod_);
        std::memset(gTextTable, 0, sizeof gTextTable);
        std::memset(gKeyMap, 0, sizeof gKeyMap);
        gFlightKeys[kKeyForward] = 0x39;
        gFlightKeys[kKeyReverse] = 0x36;
        ResShutdown();
        InterpTest::TearDown();
    }

    // Runs `text` and checks that it ran through to its end.
    void Run(const std::string& text)
    {
        EXPECT_EQ(ScriptTokenAt(InterpTest::Run(text)).id, kw::END) << text;
    }

    // A resource symbol holding a new zeroed block of that many bytes.
    static Resource* GiveBlock(const char* name, std::size_t size)
    {
        Resource* record = ResAllocSized(0, static_cast<int32_t>(size));
        ScriptSymbol* symbol = FindScriptSymbol(name);
        EXPECT_NE(symbol, nullptr) << name;
        if (symbol && record)
            symbol->value = record;
        return record;
    }

    // An 8 x 6 picture resource: pixel (x, y) is y * 8 + x, 0 down the
    // left column (the transparent colour).
    static Raster* GivePicture(const char* name)
    {
        Resource* record = GiveBlock(name, RasterBlockSize(8, 6));
        auto* picture = static_cast<Raster*>(record->data);
        picture->pixels = reinterpret_cast<uint8_t*>(picture + 1);
        picture->width = 8;
        picture->height = 6;
        for (int i = 0; i < 48; ++i)
            picture->pixels[i] = static_cast<uint8_t>(i % 8 == 0 ? 0 : i);
        return picture;
    }

    // A font resource whose every character is a 1 x 1 blank except "A",
    // a 2 x 2 glyph of ink 40, 0 / 100, 200.
    static RasterFont* GiveFont(const char* name)
    {
        Resource* record = GiveBlock(name, sizeof(RasterFont) + 2 * (sizeof(Raster) + 8));
        auto* font = static_cast<RasterFont*>(record->data);
        auto* blank = reinterpret_cast<Raster*>(font + 1);
        auto* a = reinterpret_cast<Raster*>(reinterpret_cast<uint8_t*>(blank) + sizeof(Raster) + 8);
        *blank = {reinterpret_cast<uint8_t*>(blank + 1), 1, 1, 0, 0};
        *a = {reinterpret_cast<uint8_t*>(a + 1), 2, 2, 0, 1};
        const uint8_t ink[] = {40, 0, 100, 200};
        std::memcpy(a->pixels, ink, sizeof ink);
        for (int c = 0; c < kFontChars; ++c) {
            font->glyphs[c] = c == 'A' ? a : blank;
            font->widths[c] = c == 'A' ? 3 : 2;
        }
        font->height = 4;
        return font;
    }

    static std::vector<uint8_t> ReadBytes(const char* path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static Resource* SymbolResource(const char* name)
    {
        const ScriptSymbol* symbol = FindScriptSymbol(name);
        return symbol ? static_cast<Resource*>(symbol->value) : nullptr;
    }

    Settings saved_;
    float savedGamma_ = 1.0f;
    std::string savedVideo_, savedSpeech_;
    float savedLod_[3] = {};
};

TEST_F(ConfigStatementTest, DefinitionsGiveEverySymbolOnTheLineItsType)
{
    Run("MODEL ma mb\nSCENEITEM sa\n3DP pa\nVAR va vb\nWINDOW wa\nRESOURCE ra\nORDERNAME oa\n2DMODEL da\n"
        "DEFINE ta \"some words\" tb \"more\"");
    const struct {
        const char* name;
        uint32_t type;
    } rows[] = {{"ma", kSymbolModel}, {"mb", kSymbolModel}, {"sa", kSymbolSceneItem}, {"pa", kSymbol3dPart}, {"va", kSymbolNumber}, {"vb", kSymbolNumber}, {"wa", kSymbolWindow}, {"ra", kSymbolResource}, {"oa", kSymbolOrderName}, {"da", kSymbol2dModel}, {"ta", kSymbolData}, {"tb", kSymbolData}};
    for (const auto& row : rows) {
        const ScriptSymbol* symbol = FindScriptSymbol(row.name);
        ASSERT_NE(symbol, nullptr) << row.name;
        EXPECT_EQ(symbol->type, row.type) << row.name;
    }
    EXPECT_EQ(FindScriptSymbol("sa")->value, nullptr);
    EXPECT_STREQ(static_cast<const char*>(FindScriptSymbol("ta")->value), "some words");
    EXPECT_STREQ(static_cast<const char*>(FindScriptSymbol("tb")->value), "more");
}

TEST_F(ConfigStatementTest, AnObjectDeclaredAnythingElseForgetsItsHandle)
{
    Run("SCENEITEM held");
    ScriptSymbol* symbol = FindScriptSymbol("held");
    ASSERT_NE(symbol, nullptr);
    symbol->value = reinterpret_cast<void*>(uintptr_t{0x5F40002}); // a scene item's handle
    Run("RESOURCE held");
    EXPECT_EQ(symbol->type, kSymbolResource);
    EXPECT_EQ(symbol->value, nullptr);
    EXPECT_EQ(SymbolResource("held"), nullptr);
}

TEST_F(ConfigStatementTest, RegloadTakesTheLanguageTextFolderForTexts)
{
    const struct {
        uint16_t language;
        const char* text;
    } rows[] = {{0, "Hello"}, {1, "Bonjour"}, {2, "Hallo"}};
    for (const auto& row : rows) {
        ResInit();
        gSettings.language = row.language;
        Run(R"(REGLOAD greeting "zqk\resource\text\hello.txt" TXT2TXT)");
        Resource* record = SymbolResource("greeting");
        ASSERT_NE(record, nullptr) << row.language;
        EXPECT_STREQ(static_cast<const char*>(record->data), row.text);
        EXPECT_EQ(gBuiltinSymbols.lastResource->value, record);
        EXPECT_EQ(FindScriptSymbol("greeting")->type, kSymbolResource);
        ResetMissionScript();
    }
}

TEST_F(ConfigStatementTest, RegisterLoadsWithoutTheSubstitutionAndUnloadLockWork)
{
    gSettings.language = 2;
    Run(R"(REGISTER greeting "zqk\resource\text\hello.txt" TXT2TXT)");
    Resource* record = SymbolResource("greeting");
    ASSERT_NE(record, nullptr);
    EXPECT_STREQ(static_cast<const char*>(record->data), "Hello");
    Run("UNLOAD greeting");
    EXPECT_EQ(record->data, nullptr);
    Run("LOAD greeting\nLOCK greeting");
    EXPECT_STREQ(static_cast<const char*>(record->data), "Hello");
    EXPECT_EQ(record->modelFlag, 255);
    Run("UNLOCK greeting");
    EXPECT_EQ(record->modelFlag, 0);
}

TEST_F(ConfigStatementTest, AMissionsWireframeIsFreedWithItsResourcesMissionAfterMission)
{
    lwob::Object triangle;
    const int16_t surface = triangle.AddSurface({"Hull", {}});
    triangle.polygons.push_back({{triangle.Point(0, 0, 0), triangle.Point(1, 0, 0), triangle.Point(0, 1, 0)}, surface});
    const std::vector<uint8_t> bytes = lwob::Write(triangle);
    WriteFile("zqk/resource/shapes/wire.lwo", std::string(bytes.begin(), bytes.end()));
    ResMark();
    for (int mission = 0; mission < 2; ++mission) {
        Run(R"(REGISTER wire "zqk\resource\shapes\wire.lwo" LWO2WRI)");
        Resource* record = SymbolResource("wire");
        ASSERT_NE(record, nullptr);
        ASSERT_NE(record->data, nullptr);
        EXPECT_EQ(static_cast<WireShape*>(record->data)->edgeCount, 3);
        // The mission's end, as the end screen has it.
        ResetMissionScript();
        ResReleaseToMark();
    }
    // A wireframe left unfreed is reported by LeakSanitizer as the test
    // program ends.
}

TEST_F(ConfigStatementTest, StringFillsTheTextTableAndChecksItsIndex)
{
    gSettings.language = 1;
    Run(R"(STRING 209.7 "zqk\resource\text\hello.txt" TXT2TXT)");
    ASSERT_NE(gTextTable[209], nullptr);
    EXPECT_STREQ(gTextTable[209], "Bonjour");

    for (const char* bad : {"-1", "512", "99999999"}) {
        const ScriptStop stop =
            RunUntilStop(std::string("STRING ") + bad + R"( "zqk\resource\text\hello.txt" TXT2TXT)");
        EXPECT_EQ(stop.title, "SCRIPT Syntax Error") << bad;
        EXPECT_NE(stop.text.find("STRING number out of range"), std::string::npos) << bad;
    }
    EXPECT_NE(RunUntilStop(R"(STRING 3 "zqk\resource\text\hello.txt" ON)").text.find("REGLOAD Unrecognized METHOD"),
              std::string::npos);
    EXPECT_NE(RunUntilStop(R"(REGISTER r "zqk\resource\text\hello.txt" OFF)").text.find("REGISTER Unrecognized METHOD"),
              std::string::npos);
}

TEST_F(ConfigStatementTest, GenesisStartsTheSurfaceImpactCountAgain)
{
    gCrashCount = 5;
    // The fixture's tree has no universe: the count starts again before
    // the universe is looked for.
    EXPECT_EQ(RunUntilStop("GENESIS").text, "Can't load planetary systems...");
    EXPECT_EQ(gCrashCount, 0);
}

TEST_F(ConfigStatementTest, BindKeyBindsInItsLayerAndRefusesIndicesOffTheMap)
{
    Run("BINDKEY 30 5\nBINDKEY 30 6 2\nBINDKEY 255 7 1\nBINDKEYTHR 42 43");
    EXPECT_EQ(gKeyMap[0][30], 5);
    EXPECT_EQ(gKeyMap[2][30], 6);
    EXPECT_EQ(gKeyMap[1][255], 7);
    EXPECT_EQ(gFlightKeys[kKeyForward], 42);
    EXPECT_EQ(gFlightKeys[kKeyReverse], 43);
    EXPECT_NE(RunUntilStop("BINDKEYTHR 42 256").text.find("BINDKEYTHR key out of range"), std::string::npos);
    for (const char* bad : {"BINDKEY 256 1", "BINDKEY -1 1", "BINDKEY 10 1 3", "BINDKEY 10 1 -1"}) {
        const ScriptStop stop = RunUntilStop(bad);
        EXPECT_NE(stop.text.find("BINDKEY key or layer out of range"), std::string::npos) << bad;
    }
}

TEST_F(ConfigStatementTest, SettingsLanguageFoldersGammaAndDetail)
{
    const uint8_t engineering = gSettings.engineering;
    const uint8_t console = gSettings.console;
    Run("GERMAN\nGAMMA 1.5\nLOD_SWAP 12 30\nENGINEERING\nCONSOLE\n"
        R"(VIDEODIR "D:zqk\resource\video")"
        "\n"
        R"(DIALOGUEDIR "speech")");
    EXPECT_EQ(gSettings.language, 2);
    EXPECT_FLOAT_EQ(gDisplayGamma, 1.5f);
    EXPECT_FLOAT_EQ(gLodThresholds[0], 12.0f);
    EXPECT_FLOAT_EQ(gLodThresholds[1], 30.0f);
    EXPECT_FLOAT_EQ(gLodThresholds[2], 0.0f); // absent third
    EXPECT_EQ(gSettings.engineering, static_cast<uint8_t>(~engineering));
    EXPECT_EQ(gSettings.console, static_cast<uint8_t>(~console));
    EXPECT_EQ(gVideoFolder, "D:zqk\\resource\\video");
    EXPECT_EQ(gSpeechFolder, "speech");
    Run("FRENCH\nLOD_SWAP 1 2 3");
    EXPECT_EQ(gSettings.language, 1);
    EXPECT_FLOAT_EQ(gLodThresholds[2], 3.0f);
    Run("ENGLISH");
    EXPECT_EQ(gSettings.language, 0);
}

TEST_F(ConfigStatementTest, PlacementModeWords)
{
    Run("RELATIVE nobody");
    EXPECT_EQ(gInterpreter.placementMode, 0);
    Run("ABSOLUTE");
    EXPECT_EQ(gInterpreter.placementMode, 255);
}

TEST_F(ConfigStatementTest, GrabRastCutsAPictureWithItsRunListUnlessOff)
{
    Run("RESOURCE pic");
    const Raster* picture = GivePicture("pic");
    Run("GRABRAST part pic 0 1 3 2\nGRABRAST flat pic 6 4 2 2 OFF");

    Resource* partRecord = SymbolResource("part");
    ASSERT_NE(partRecord, nullptr);
    EXPECT_EQ(gBuiltinSymbols.lastResource->value, SymbolResource("flat"));
    const auto* part = static_cast<const Raster*>(partRecord->data);
    ASSERT_EQ(part->width, 3);
    ASSERT_EQ(part->height, 2);
    EXPECT_EQ(part->pixels, reinterpret_cast<const uint8_t*>(part + 1));
    EXPECT_EQ(std::vector<uint8_t>(part->pixels, part->pixels + 6), (std::vector<uint8_t>{0, 9, 10, 0, 17, 18}));
    // The run list behind the pixels is the one the sprite code builds.
    std::vector<uint8_t> runs(SpriteRunsSize(*part, 0));
    ASSERT_GT(SpriteBuildRuns(*part, runs, 0), 0u);
    const uint8_t* stored = part->pixels + 8;
    EXPECT_EQ(std::vector<uint8_t>(stored, stored + runs.size()), runs);

    const auto* flat = static_cast<const Raster*>(SymbolResource("flat")->data);
    EXPECT_EQ(std::vector<uint8_t>(flat->pixels, flat->pixels + 4), (std::vector<uint8_t>{38, 39, 46, 47}));
    EXPECT_LT(SymbolResource("flat")->size, partRecord->size);
    EXPECT_EQ(picture->pixels[9], 9); // the source is left alone

    // No source data, or an empty size: nothing is made.
    void* last = gBuiltinSymbols.lastResource->value;
    Run("RESOURCE none\nGRABRAST a none 0 0 2 2\nGRABRAST b pic 0 0 0 3");
    EXPECT_EQ(gBuiltinSymbols.lastResource->value, last);
    EXPECT_NE(SymbolResource("a"), SymbolResource("flat"));
}

TEST_F(ConfigStatementTest, SaveRastWritesThePictureAsPcx)
{
    uint8_t standard[768];
    for (int i = 0; i < 768; ++i)
        standard[i] = static_cast<uint8_t>(i * 5);
    const uint8_t one = 0;
    std::filesystem::create_directories("zqk/resource/art");
    PcxImage* klv = PcxFromPixels(nullptr, 0, &one, 1, 1, standard);
    const bool written = PcxSave("zqk\\resource\\art\\klvstd.pcx", klv);
    PcxFree(klv);
    ASSERT_TRUE(written);

    Run("RESOURCE pic\nRESOURCE none");
    const Raster* picture = GivePicture("pic");
    Run("SAVERAST pic \"pic.pcx\"\nSAVERAST none \"none.pcx\"");
    PcxImage* saved = PcxLoad("pic.pcx");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->width, 8);
    EXPECT_EQ(saved->height, 6);
    EXPECT_EQ(std::vector<uint8_t>(saved->pixels, saved->pixels + 48),
              std::vector<uint8_t>(picture->pixels, picture->pixels + 48));
    EXPECT_EQ(saved->palette[30], standard[30]);
    PcxFree(saved);
    EXPECT_FALSE(std::filesystem::exists("none.pcx"));
}

TEST_F(ConfigStatementTest, SaveFntWritesTheFontAndMapFntRecoloursIt)
{
    Run("RESOURCE font\nRESOURCE pal\nRESOURCE inverse");
    RasterFont* font = GiveFont("font");
    auto* palette = static_cast<PaletteEntry*>(GiveBlock("pal", 256 * sizeof(PaletteEntry))->data);
    for (int i = 0; i < 256; ++i)
        palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    auto* inverse = static_cast<uint8_t*>(GiveBlock("inverse", kInverseColourTableSize)->data);
    BuildInverseColourTable(palette, inverse);

    Run("SAVEFNT font \"plain.fon\"");
    const std::vector<uint8_t> saved = ReadBytes("plain.fon");
    EXPECT_EQ(saved, FontFileBytes(*font, FontFile::Fon));
    ASSERT_FALSE(saved.empty());

    // Half the red, full green and blue: the grey ink moves to the colour
    // the inverse table gives for it; background stays.
    std::vector<uint8_t> expected(4);
    for (int i = 0; i < 4; ++i) {
        const uint8_t ink = font->glyphs['A']->pixels[i];
        expected[static_cast<std::size_t>(i)] =
            ink <= 16 ? ink : inverse[InverseColourIndex(static_cast<uint32_t>(ink / 2) | ink << 8 | ink << 16)];
    }
    Run("MAPFNT font pal inverse 128 256 256");
    const uint8_t* a = font->glyphs['A']->pixels;
    EXPECT_EQ(std::vector<uint8_t>(a, a + 4), expected);
    EXPECT_NE(expected[3], 200);

    // Without a font nothing is written.
    Run("RESOURCE nofont\nSAVEFNT nofont \"none.fon\"");
    EXPECT_FALSE(std::filesystem::exists("none.fon"));
}

TEST_F(ConfigStatementTest, TransTabBuildsTheBlendTablesInAColourMapSizedBlock)
{
    Run("RESOURCE tables small pal none");
    uint8_t* tables = static_cast<uint8_t*>(GiveBlock("tables", kBlendTablesSize)->data);
    GiveBlock("small", kBlendTablesSize - 1);
    GiveBlock("pal", 256 * sizeof(PaletteEntry));
    const GlowTables saved = gGlowTables;
    std::memset(tables, 0xAA, kBlendTablesSize);
    // Level 15 of table 9 leaves every colour as it is once built.
    auto built = [&] {
        for (int q = 0; q < 256; ++q)
            if (tables[(9 * 16 + 15) * 256 + q] != q)
                return false;
        return true;
    };
    // No palette data, or a block smaller than the tables: nothing is built.
    Run("TRANSTAB tables none\nTRANSTAB small pal");
    EXPECT_FALSE(built());
    EXPECT_EQ(gGlowTables.blend, saved.blend);
    Run("TRANSTAB tables pal");
    EXPECT_TRUE(built());
    EXPECT_EQ(gGlowTables.blend, tables);
    gGlowTables = saved;
}

TEST_F(ConfigStatementTest, WinHelpGivesTheWindowItsHelpNumber)
{
    Run("WINDOW helpWin emptyWin");
    WindowHandle window{};
    FindScriptSymbol("helpWin")->value = &window;
    Run("WINHELP helpWin 17.9\nWINHELP emptyWin 3");
    EXPECT_EQ(window.messageText, 17);
    Run("WINHELP helpWin -1");
    EXPECT_EQ(window.messageText, -1);
    FindScriptSymbol("helpWin")->value = nullptr;
}

// A screen whose set-up binds nothing.
void NoScreenSetup() {}

TEST_F(ConfigStatementTest, BriefingYieldsOneFrameThenRequestsADeclaredBriefing)
{
    uint32_t position = Compile("BRIEFING 0\nBRF_DECLARE\nBRF_BEGIN\nBRF_END\nEND\n");
    CurrentStation = 0;
    guiResetWindowPool();
    guiRegisterScreen("COM", NoScreenSetup, nullptr);
    EXPECT_EQ(RunScript(&position, false), kStopWaiting);
    EXPECT_EQ(ScriptTokenAt(position).id, kw::BRIEFING);
    EXPECT_EQ(gScriptMission.briefingRequested, 0);
    EXPECT_EQ(RunScript(&position, false), kStopWaiting);
    EXPECT_NE(ScriptTokenAt(position).id, kw::BRIEFING);
    EXPECT_EQ(gScriptMission.briefingRequested, 255);
    EXPECT_EQ(gScriptMission.briefingNumber, 0);
    EXPECT_EQ(CurrentStation, 1);
    EXPECT_EQ(gScreens.current, guiFindScreen("COM"));
    guiResetWindowPool();

    // An undeclared briefing costs its frame and asks for nothing; the
    // no-briefing switch skips the statement.
    ResetMissionScript();
    position = Compile("BRIEFING 3\nEND\n", "other.scr");
    EXPECT_EQ(RunScript(&position, false), kStopWaiting);
    EXPECT_EQ(RunScript(&position, false), kStopWaiting);
    EXPECT_EQ(gScriptMission.briefingRequested, 0);
    EXPECT_EQ(gScriptMission.briefingNumber, 3);
    gSettings.noBrief = 255;
    Run("BRIEFING 2");
    EXPECT_EQ(gScriptMission.briefingNumber, 2);
    EXPECT_EQ(gScriptMission.briefingRequested, 0);
}

TEST_F(ConfigStatementTest, PlayAviWithoutAFilmLeavesFilmModeOff)
{
    gWindows.fullRedrawRequest = 0;
    Run("PLAYAVI \"zqk\\resource\\video\\missing.avi\"");
    EXPECT_EQ(gLoopFlags.filmMode, 0);
    EXPECT_EQ(gWindows.fullRedrawRequest, 1);
}

} // namespace
