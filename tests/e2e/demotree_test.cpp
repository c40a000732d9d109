// The demo data tree as a whole: every script compiles in each language,
// every file a script registers is there and loads through its own loader,
// the front end's screens are laid out in all three languages, the files
// the game names itself (clips, films, debriefs, the front end's palette)
// are there and open, the game's fonts draw readable letters, and the
// generators write the tree's binary files again byte for byte.
#include "framework/scene.h"
#include "game/startup.h"
#include "screens/bridge.h"
#include "screens/documents.h"
#include "screens/frontend.h"
#include "screens/frontscreens.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "system/canvas.h"
#include "system/film.h"
#include "system/palette.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/wav.h"
#include "script/vitalobjects.h"
#include "system/text.h"
#include "view/lwoloader.h"

#include "../script/script_test_support.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kData = fs::path(KV_SOURCE_DIR) / "data";

struct Language {
    const char* init;
    const char* layout;
    const char* textFolder;
};
constexpr Language kLanguages[3] = {
    {"zqk\\resource\\scripts\\init\\init.scr", "test0_x.gui", "text"},
    {"zqk\\resource\\scripts\\init\\init_frn.scr", "test0_x_frn.gui", "frn_"},
    {"zqk\\resource\\scripts\\init\\init_ger.scr", "test0_x_ger.gui", "ger_"},
};

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A script file's text with its "#INCLUDE" lines replaced by the included
// layout files.
std::string WithIncludes(const fs::path& file)
{
    std::string out;
    std::istringstream in(ReadText(file));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("#INCLUDE ", 0) == 0)
            out += WithIncludes(file.parent_path() / line.substr(9));
        else
            out += line + "\n";
    }
    return out;
}

// The path of a "zqk\..." name in the tree, as the file layer maps it.
fs::path InTree(std::string name)
{
    for (char& c : name)
        if (c == '\\')
            c = '/';
    return kData / name;
}

class DemoTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = gSettings;
        previous_ = fs::current_path();
        fs::current_path(kData);
        BeginScriptTest();
        ResShutdown();
        ASSERT_GT(ResInit(), 0u);
    }
    void TearDown() override
    {
        EndScriptTest();
        ResShutdown();
        fs::current_path(previous_);
        gSettings = saved_;
    }
    Settings saved_;
    fs::path previous_;
};

// Every script file of the tree, by its folder-less name.
std::vector<std::string> ScriptNames(const char* folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kData / "zqk/resource/scripts" / folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(DemoTree, EveryScriptCompilesAfterItsLanguagesStartUpScripts)
{
    std::string english48;
    for (int language = 0; language < 3; ++language) {
        SCOPED_TRACE(kLanguages[language].init);
        gSettings.language = static_cast<uint8_t>(language);
        ResetMissionScript();
        try {
            ASSERT_TRUE(RunScriptFile(kLanguages[language].init));
            // The texts the game reads from the table, in the language's words.
            for (int number : {10, 11, 15, 17, 20, 21, 48, 49, 51, 97, 98, 155, 163, 164, 168, 170, 171, 208, 209})
                EXPECT_NE(gTextTable[number], nullptr) << number;
            if (gTextTable[49]) {
                EXPECT_NE(std::string(gTextTable[49]).find("%s"), std::string::npos);
            }
            if (language == 0 && gTextTable[48]) {
                english48 = gTextTable[48];
            } else if (gTextTable[48]) {
                EXPECT_NE(english48, gTextTable[48]) << "translated";
            }
            ASSERT_TRUE(RunScriptFile("zqk\\resource\\scripts\\init\\keybind2.scr"));
            EXPECT_NE(TokeniseScript(kLanguages[language].layout), nullptr);
            // The stock shapes are loaded into the 3D framework.
            ASSERT_EQ(HxBegin(), HX_OK);
            SetLwoSmoothingCache(false); // nothing is written into the tree
            const bool stock = RunScriptFile("zqk\\resource\\scripts\\init\\stock.scr");
            SetLwoSmoothingCache(true);
            HxEnd();
            ASSERT_TRUE(stock);
            // A stock script for each kind of encounter.
            CountEncounterScripts();
            for (int32_t count : gEncounterCounts.perKind)
                EXPECT_GE(count, 1);
            // Each mission compiles as the game compiles it, over the base.
            for (const std::string& mission : ScriptNames("missions")) {
                SCOPED_TRACE(mission);
                ResetMissionScript();
                EXPECT_NE(TokeniseScript(mission.c_str()), nullptr);
            }
        } catch (const ScriptStop& stop) {
            ADD_FAILURE() << stop.title << ": " << stop.text;
        }
    }
}

// The loader a script's conversion word picks; null for the ones loaded
// elsewhere (shapes by the 3D view, films by the film player).
struct Method {
    const char* word;
    ResType type;
    bool loadedHere;
};
constexpr Method kMethods[] = {
    {"PCX2PALETTE", ResType::PcxPalette, true},
    {"PCX2RAST", ResType::PcxRaster, true},
    {"PCX2BACKRAST", ResType::PcxBackdrop, true},
    {"CM2COLOURMAP", ResType::ColourMap, true},
    {"LBM2RAST", ResType::LbmRaster, true},
    {"FNT2RFONT", ResType::FntFont, true},
    {"FON2RFONT", ResType::FonFont, true},
    {"TXT2TXT", ResType::Text, true},
    {"WAV2SND", ResType::Sound, true},
    {"LWO2HXM", ResType::LwoModel, false},
};

TEST_F(DemoTree, EveryFileAScriptNamesIsThereAndLoads)
{
    const std::regex named(R"re("(zqk\\[^"]+)"\s+([A-Z0-9]+))re");
    int checked = 0;
    for (const char* folder : {"init", "gui", "missions"}) {
        for (const std::string& script : ScriptNames(folder)) {
            const std::string text = ReadText(kData / "zqk/resource/scripts" / folder / script);
            // Each script's files share the pool, as the game loads them; the
            // pool does not hold every script's at once.
            ResMark();
            for (std::sregex_iterator m(text.begin(), text.end(), named), end; m != end; ++m) {
                const std::string name = (*m)[1], word = (*m)[2];
                SCOPED_TRACE(script + ": " + name);
                const Method* method = nullptr;
                for (const Method& row : kMethods)
                    if (word == row.word)
                        method = &row;
                ASSERT_NE(method, nullptr) << word;
                EXPECT_TRUE(fs::is_regular_file(InTree(name)));
                if (method->loadedHere) {
                    EXPECT_NE(ResGet(ResRegister(name.c_str(), method->type)), nullptr);
                }
                ++checked;
            }
            ResReleaseToMark();
        }
    }
    EXPECT_GT(checked, 30);
}

TEST_F(DemoTree, EveryFrontEndScreenIsLaidOutInEachLanguage)
{
    std::set<std::string> screens = {"InsertCD", "Confirm"};
    for (const FrontStateRow& row : kFrontStates)
        if (row.screen)
            screens.insert(row.screen);
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.layout);
        const std::string layout = WithIncludes(kData / "zqk/resource/scripts/gui" / language.layout);
        for (const std::string& screen : screens) {
            EXPECT_NE(layout.find("SCREEN_BEGIN \"" + screen + "\""), std::string::npos) << screen;
            EXPECT_NE(layout.find("SCREEN_END \"" + screen + "\""), std::string::npos) << screen;
        }
    }
}

TEST_F(DemoTree, TheFilmsTheGameNamesOpen)
{
    std::vector<std::string> films = {"entry.smk", "out1.smk", "out2.smk", "out3.smk", "m01_3.smk", "m41_2.smk"};
    for (const FrontStateRow& row : kFrontStates)
        if (row.clip)
            films.push_back(row.clip);
    for (const std::string& film : films) {
        SCOPED_TRACE(film);
        FilmClip* clip = nullptr;
        EXPECT_NE(OpenClip(&clip, film.c_str(), 0, 0, 1, 0), 0);
        EXPECT_NE(clip, nullptr);
        CloseClip(&clip);
    }
}

TEST_F(DemoTree, EachMissionOfTheTableHasADebriefForSuccessAndFailureInEachLanguage)
{
    const std::string table = ReadText(kData / "zqk/resource/scripts/precedence.csv");
    ASSERT_EQ(ParseMissionTable(table.data(), table.size()), 8);
    for (int language = 0; language < 3; ++language) {
        gSettings.language = static_cast<uint8_t>(language);
        for (int mission = 1; mission <= 7; ++mission) {
            ASSERT_EQ(MissionTable[mission].missionNumber, mission);
            for (int outcome : {1, 2}) {
                char* text = LoadDebriefText(mission, outcome);
                EXPECT_NE(text, nullptr) << mission << " " << outcome << " language " << language;
                std::free(text);
            }
        }
        // A mission with no debrief of its own falls back to the null one.
        char* none = LoadDebriefText(50, 1);
        EXPECT_NE(none, nullptr) << language;
        std::free(none);
    }
    ASSERT_TRUE(fs::exists(kData / "zqk/resource/scripts/missions/mission99.scr"));
}

// The front end shows its own palette; a mission flies in the game's again,
// and a palette that something else showed meanwhile is left alone.
TEST_F(DemoTree, TheFrontEndTakesItsOwnPaletteAndAFlightTheGames)
{
    ASSERT_TRUE(RunScriptFile(kLanguages[0].init));
    const auto* game =
        static_cast<const GamePalette*>(ResGet(ResRegister("zqk\\resource\\art\\klvstd.pcx", ResType::PcxPalette)));
    ASSERT_NE(game, nullptr);
    gCurrentPalette = game->entries;
    LoadFrontEndPalette();
    const PaletteEntry* front = gCurrentPalette;
    ASSERT_NE(front, nullptr);
    EXPECT_NE(front, game->entries);
    EXPECT_EQ(front[0].blue, 40);
    LeaveFrontEndPalette();
    EXPECT_EQ(gCurrentPalette, game->entries);

    LoadFrontEndPalette();
    EXPECT_EQ(gCurrentPalette, front);
    static const PaletteEntry shownMeanwhile[256] = {};
    gCurrentPalette = shownMeanwhile;
    LeaveFrontEndPalette();
    EXPECT_EQ(gCurrentPalette, shownMeanwhile);
}

// The bridge's icon pictures (the contact icons named here, every one in
// the folder loaded) and the full-screen key list.
TEST_F(DemoTree, TheBridgeIconsAndTheKeyListLoad)
{
    for (const char* side : {"x", "n", "i", "u"})
        for (const char* kind : {"nm", "nt", "wt"}) {
            const std::string name = std::string("zqk\\resource\\art\\icons\\cw_") + side + "_" + kind + ".bbm";
            EXPECT_TRUE(fs::exists(InTree(name))) << name;
        }
    int icons = 0;
    for (const auto& entry : fs::directory_iterator(kData / "zqk/resource/art/icons")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".bbm" && extension != ".BBM")
            continue;
        const std::string name = "zqk\\resource\\art\\icons\\" + entry.path().filename().string();
        EXPECT_NE(ResGet(ResRegisterLoad(name.c_str(), ResType::LbmRaster)), nullptr) << name;
        ++icons;
    }
    EXPECT_GE(icons, 53);
    EXPECT_NE(ResGet(ResRegisterLoad("zqk\\resource\\art\\keylist.pcx", ResType::PcxBackdrop)), nullptr);
}

// Every sound slot that names a file has it, and the WAV reader that the
// sound slots load through reads it whole.
TEST_F(DemoTree, EverySoundSlotsFileIsThereAndLoads)
{
    int named = 0;
    for (const SoundSlot& slot : gSoundSlots) {
        if (!slot.name)
            continue;
        const std::string name = std::string("zqk\\resource\\sounds\\") + slot.name + ".wav";
        EXPECT_TRUE(fs::is_regular_file(InTree(name))) << name;
        uint32_t length = 0;
        WaveFormat* format = nullptr;
        uint8_t* data = nullptr;
        EXPECT_EQ(WavLoad(InTree(name).c_str(), &length, &format, &data), kWavOk) << name;
        EXPECT_GT(length, 0u) << name;
        std::free(data);
        WavFreeFormat(format);
        ++named;
    }
    EXPECT_EQ(named, 45);
}

// The ship's documents open on "home.htm", whose first link leads to the
// list of mission briefings: each of its entries is a page with its chart
// (a picture the page registers), and the list's last link leads back home.
TEST_F(DemoTree, TheDocumentsHomePageLinksToAPageThatLinksBack)
{
    ASSERT_TRUE(RunScriptFile(kLanguages[0].init));
    for (int i = 0; i < kBridgeFonts; ++i)
        gBridgeFonts[i] = static_cast<const RasterFont*>(
            ResGet(static_cast<Resource*>(FindScriptSymbol(i == 0 ? "HFont" : "RFont")->value)));
    ResetDocuments();
    OpenDocument("home.htm");
    EXPECT_GT(gDocuments.length, 0u);
    ASSERT_GE(gDocuments.linkCount, 1);
    const std::string linked = gDocuments.links[0].target;
    EXPECT_EQ(linked, "briefings.htm");
    OpenDocument(linked.c_str());
    EXPECT_GT(gDocuments.length, 0u);
    ASSERT_EQ(gDocuments.linkCount, 5);
    const std::vector<std::string> briefings = {gDocuments.links[0].target, gDocuments.links[1].target,
                                                gDocuments.links[2].target, gDocuments.links[3].target};
    EXPECT_STREQ(gDocuments.links[4].target, "zqk\\resource\\text\\docs\\home.htm");
    for (const std::string& page : briefings) {
        SCOPED_TRACE(page);
        const int32_t registered = gDocuments.mediaCount;
        OpenDocument(page.c_str());
        EXPECT_GT(gDocuments.length, 0u);
        EXPECT_EQ(gDocuments.mediaCount, registered + 1) << "its chart";
        EXPECT_GE(gDocuments.linkCount, 3);
    }
    OpenDocument("zqk\\resource\\text\\docs\\home.htm");
    EXPECT_GT(gDocuments.length, 0u);
    ResetDocuments();
    std::fill(std::begin(gBridgeFonts), std::end(gBridgeFonts), nullptr);
}

// Draws one character of the font into a fresh canvas; its pixels.
std::vector<uint8_t> GlyphCrop(const RasterFont* font, char c, int16_t& inked)
{
    constexpr int16_t kSide = 40;
    std::vector<uint8_t> pixels(kSide * kSide, 0);
    const Canvas canvas{pixels.data(), kSide, kSide};
    int16_t x = 4, y = 30;
    const char text[2] = {c, 0};
    CanvasDrawText(canvas, x, y, text, font, 200, {0, 0, kSide - 1, kSide - 1});
    inked = static_cast<int16_t>(std::count(pixels.begin(), pixels.end(), 200));
    return pixels;
}

TEST_F(DemoTree, EveryFontOfTheStartUpScriptsDrawsDistinctLetterShapes)
{
    ASSERT_TRUE(RunScriptFile(kLanguages[0].init));
    for (const char* slot : {"RFont", "BFont", "GFont", "MidFont", "ConsFont", "ConsFont1", "ConsFont2", "HFont",
                             "DimFont", "A2Font", "A2DimFont", "VFont", "FrontB"}) {
        SCOPED_TRACE(slot);
        const ScriptSymbol* symbol = FindScriptSymbol(slot);
        ASSERT_NE(symbol, nullptr);
        const auto* font = static_cast<const RasterFont*>(ResGet(static_cast<Resource*>(symbol->value)));
        ASSERT_NE(font, nullptr);
        int16_t inkA = 0, inkB = 0, ink8 = 0;
        const auto a = GlyphCrop(font, 'A', inkA), b = GlyphCrop(font, 'B', inkB), eight = GlyphCrop(font, '8', ink8);
        EXPECT_NE(a, b);
        EXPECT_NE(a, eight);
        EXPECT_NE(b, eight);
        // No glyph is a filled box: each inks some but far from all of its box.
        for (auto [c, ink] : {std::pair{'A', inkA}, std::pair{'B', inkB}, std::pair{'8', ink8}}) {
            const Raster* glyph = font->glyphs[static_cast<uint8_t>(c)];
            ASSERT_NE(glyph, nullptr);
            EXPECT_GT(ink, 0) << c;
            EXPECT_LT(ink * 10, glyph->width * glyph->height * 7) << c;
        }
    }
}

// --- Regeneration ---------------------------------------------------------------

// The text files of the tree are written by hand (and ".keep" holds an
// empty folder); every other file comes from a generator, except what runs
// leave behind and the tree ignores (shape smoothing caches, the debug log,
// career files, screenshots), and the temporaries "<name>.tmp<...>" that a
// run writing one of them beside this test holds for an instant.
bool NotGenerated(const fs::path& file)
{
    static const std::set<std::string> kText = {".scr", ".gui", ".txt", ".csv", ".ini", ".htm"};
    static const std::set<std::string> kLeftByRuns = {".smg", ".inf", ".sav"};
    const std::string extension = file.extension().string();
    // Screenshots a player took ("t00000.pcx" beside the screenshots' header).
    const bool screenshot = file.parent_path().filename() == "screens" && file.filename() != "header.pcx";
    const bool temporary = file.filename().string().find(".tmp") != std::string::npos;
    return kText.count(extension) != 0 || kLeftByRuns.count(extension) != 0 || file.filename() == ".keep" ||
           screenshot || temporary;
}

TEST(DemoTreeRegeneration, TheGeneratorsWriteEveryBinaryFileOfTheTreeByteForByte)
{
    ScratchFolder scratch{"demotree_regen"};
    const fs::path& root = scratch.Path();
    const std::string video = (root / "zqk/resource/video").string();
    fs::create_directories(video);
    fs::create_directories(root / "zqk/resource/geog");
    for (const std::string& command :
         {std::string(KV_DEMODATA) + " " + root.string(), std::string(KV_LWOBMAKE) + " " + root.string(),
          std::string(KV_FILMFIXTURES) + " " + video + " demo",
          std::string(KV_UNIVERSE) + " " + (root / "zqk/resource/geog/stars.bin").string()})
        ASSERT_EQ(std::system(command.c_str()), 0) << command;

    int compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(kData)) {
        if (!entry.is_regular_file() || NotGenerated(entry.path()))
            continue;
        const fs::path relative = fs::relative(entry.path(), kData);
        SCOPED_TRACE(relative.string());
        ASSERT_TRUE(fs::exists(root / relative)) << "no generator writes it";
        EXPECT_TRUE(ReadText(root / relative) == ReadText(entry.path())) << "regenerated bytes differ";
        ++compared;
    }
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) {
            EXPECT_TRUE(fs::exists(kData / fs::relative(entry.path(), root)))
                << fs::relative(entry.path(), root) << " is generated but not in the tree";
        }
    EXPECT_GT(compared, 100);
}

} // namespace
