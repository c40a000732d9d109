// The resource, definition and configuration statements: each one's effect
// on symbols, resources, the text table, the key map, options and folders,
// run from script text over a scratch data tree.
#include "interp_fixture.h"

#include "script/configstatements.h"
#include "script/keywords.h"
#include "system/calltrace.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "view/viewstart.h"

#include <cstring>

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
        gFlightKeyCodes[0] = 57;
        gFlightKeyCodes[1] = 54;
        ResShutdown();
        InterpTest::TearDown();
    }

    void Run(const std::string& text)
    {
        uint32_t position = Compile(text + "\nEND\n");
        RunScript(&position, false);
        EXPECT_EQ(ScriptTokenAt(position).id, kw::END) << text;
    }

    ScriptStop RunUntilStop(const std::string& text)
    {
        try {
            uint32_t position = Compile(text + "\nEND\n");
            RunScript(&position, false);
        } catch (const ScriptStop& stop) {
            return stop;
        }
        return {};
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
    } rows[] = {{"ma", kSymbolModel},   {"mb", kSymbolModel},       {"sa", kSymbolSceneItem},
                {"pa", kSymbol3dPart},  {"va", kSymbolNumber},      {"vb", kSymbolNumber},
                {"wa", kSymbolWindow},  {"ra", kSymbolResource},    {"oa", kSymbolOrderName},
                {"da", kSymbol2dModel}, {"ta", kSymbolData},        {"tb", kSymbolData}};
    for (const auto& row : rows) {
        const ScriptSymbol* symbol = FindScriptSymbol(row.name);
        ASSERT_NE(symbol, nullptr) << row.name;
        EXPECT_EQ(symbol->type, row.type) << row.name;
    }
    EXPECT_EQ(FindScriptSymbol("sa")->value, nullptr);
    EXPECT_STREQ(static_cast<const char*>(FindScriptSymbol("ta")->value), "some words");
    EXPECT_STREQ(static_cast<const char*>(FindScriptSymbol("tb")->value), "more");
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

TEST_F(ConfigStatementTest, BindKeyBindsInItsLayerAndRefusesIndicesOffTheMap)
{
    Run("BINDKEY 30 5\nBINDKEY 30 6 2\nBINDKEY 255 7 1\nBINDKEYTHR 42 43");
    EXPECT_EQ(gKeyMap[0][30], 5);
    EXPECT_EQ(gKeyMap[2][30], 6);
    EXPECT_EQ(gKeyMap[1][255], 7);
    EXPECT_EQ(gFlightKeyCodes[0], 42);
    EXPECT_EQ(gFlightKeyCodes[1], 43);
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

} // namespace
