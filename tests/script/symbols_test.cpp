// Script symbols: the built-ins bound to live game variables, lookup, the
// table's bound, and the mark and roll-back that missions rely on.
#include "script_test_support.h"

#include "screens/bridge.h"
#include "script/scriptfiles.h"
#include "script/vitalobjects.h"
#include "system/calltrace.h"
#include "system/res/resman.h"
#include "ui/shiplog.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/tally.h"

#include <cstdio>
#include <cstring>
#include <string>

TEST_F(ScriptTest, BuiltinsComeFirstWithTheirTypes)
{
    struct Builtin {
        const char* name;
        uint32_t type;
    };
    // clang-format off
    const Builtin builtins[] = {
        {"LASTSHIP", 0x8},  {"LAST3DP", 0x10},  {"LASTRES", 0x40},   {"LASTWAYPT", 0x8},   {"SCORE", 0x20},
        {"TIMER", 0x20},    {"XHITS", 0x20},    {"NWAYPTS", 0x20},   {"MISSTIME", 0x20},   {"STOPCLOCK", 0x20},
        {"TGTTIME", 0x20},  {"TIMESCORE", 0x20}, {"KELVABODY", 0x8}, {"KELVAHEAD", 0x8},  {"MISSNUMBER", 0x20},
        {"LOYAL", 0x20},
    };
    // clang-format on
    ASSERT_GE(gSymbols.count, std::size(builtins));
    for (uint32_t i = 0; i < std::size(builtins); ++i) {
        EXPECT_STREQ(gSymbols.records[i].name, builtins[i].name);
        EXPECT_EQ(gSymbols.records[i].type, builtins[i].type) << builtins[i].name;
        EXPECT_EQ(FindScriptSymbol(builtins[i].name), &gSymbols.records[i]);
        if (builtins[i].type == 0x8) {
            EXPECT_EQ(gSymbols.records[i].value, nullptr) << builtins[i].name;
        }
    }
    EXPECT_EQ(gBuiltinSymbols.lastShip, FindScriptSymbol("LASTSHIP"));
    EXPECT_EQ(gBuiltinSymbols.kelvaHead, FindScriptSymbol("KELVAHEAD"));
    EXPECT_EQ(ReadSymbolInt(FindScriptSymbol("NWAYPTS")), -1);
    EXPECT_EQ(ReadSymbolInt(FindScriptSymbol("MISSNUMBER")), 1);
    EXPECT_EQ(ReadSymbolInt(FindScriptSymbol("LOYAL")), 1);
}

TEST_F(ScriptTest, NumberBuiltinsAreTheGameVariablesThemselves)
{
    // clang-format off
    const std::pair<const char*, int32_t*> bound[] = {
        {"SCORE", &gScriptVars.score},           {"TIMER", &gScriptVars.timer},
        {"XHITS", &gScriptVars.vitalHits},       {"NWAYPTS", &gScriptVars.waypointCount},
        {"MISSTIME", &gScriptVars.missionClock}, {"STOPCLOCK", &gScriptVars.stopClock},
        {"TGTTIME", &gScriptVars.targetTime},    {"TIMESCORE", &gScriptVars.timeScore},
        {"MISSNUMBER", &gScriptVars.missionNumber}, {"LOYAL", &gScriptVars.loyal},
    };
    // clang-format on
    for (auto [name, variable] : bound) {
        EXPECT_EQ(GetScriptSymbolValue(name), variable) << name;
        WriteSymbolInt(FindScriptSymbol(name), 4321);
        EXPECT_EQ(*variable, 4321) << name;
        *variable = -17;
        EXPECT_EQ(ReadSymbolInt(FindScriptSymbol(name)), -17) << name;
    }
    ResetMissionScript();
    EXPECT_EQ(gScriptVars.missionClock, 0);
    EXPECT_EQ(gScriptVars.waypointCount, -1);
}

TEST_F(ScriptTest, AddedSymbolsLayTheirBytesOutInTheDataBuffer)
{
    const uint32_t before = gScriptBuffers.dataCursor;
    const int32_t value = 0x01020304;
    ScriptSymbol* symbol = AddScriptSymbol("Fred", &value, sizeof value);
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(gScriptBuffers.dataCursor, before + 4 + 2 + 4);
    EXPECT_EQ(std::memcmp(gScriptBuffers.data + before, "Fred\0\0", 6), 0);
    EXPECT_EQ(symbol->name, gScriptBuffers.data + before);
    EXPECT_EQ(symbol->value, gScriptBuffers.data + before + 6);
    EXPECT_EQ(symbol->size, 4);
    EXPECT_EQ(symbol->type, 0u);
    EXPECT_EQ(ReadSymbolInt(symbol), value);
    EXPECT_EQ(FindScriptSymbol("Fred"), symbol);
    EXPECT_EQ(FindScriptSymbol("fred"), nullptr);
    EXPECT_EQ(GetScriptSymbolValue("nobody"), nullptr);

    // Lookup answers as a linear search would: the first record of a name.
    ScriptSymbol* second = AddScriptSymbol("Fred", &value, sizeof value);
    EXPECT_NE(second, symbol);
    EXPECT_EQ(FindScriptSymbol("Fred"), symbol);
}

TEST_F(ScriptTest, The751stSymbolIsADrasticError)
{
    const int32_t zero = 0;
    for (uint32_t i = gSymbols.count; i < kSymbolCapacity; ++i)
        AddScriptSymbol("s" + std::to_string(i), &zero, sizeof zero);
    EXPECT_EQ(gSymbols.count, kSymbolCapacity);
    EXPECT_NE(FindScriptSymbol("s749"), nullptr);
    try {
        AddScriptSymbol("one_too_many", &zero, sizeof zero);
        FAIL() << "no error";
    } catch (const ScriptStop& stop) {
        EXPECT_EQ(stop.title, "SCRIPT DRASTIC ERROR!!!");
        EXPECT_EQ(stop.text, "Symbol Table Full!");
    }
    EXPECT_EQ(gSymbols.count, kSymbolCapacity);
    EXPECT_EQ(FindScriptSymbol("one_too_many"), nullptr);
}

TEST_F(ScriptTest, ASecondStartIsRefused)
{
    try {
        InitializeScriptSystem();
        FAIL() << "no error";
    } catch (const ScriptStop& stop) {
        EXPECT_EQ(stop.title, "InitializeScriptSystem says");
        EXPECT_EQ(stop.text, "You called me once - Don't call me again!");
    }
    EXPECT_NE(FindScriptSymbol("MISSTIME"), nullptr);
}

TEST_F(ScriptTest, AMissionsResourcesGiveUpTheirData)
{
    ASSERT_GT(ResInit(), 0u);
    Resource* text = ResAllocSized(kResRowTexts, 16);
    Resource* model = ResAllocSized(kResRowModels, 16);
    Resource* other = ResAllocSized(kResRowTexts, 16);
    ASSERT_TRUE(text && model && other);
    const int32_t zero = 0;
    auto add = [&](const char* name, uint32_t type, Resource* resource) {
        ScriptSymbol* symbol = AddScriptSymbol(name, &zero, sizeof zero);
        symbol->type = type;
        symbol->value = resource;
    };
    add("briefingText", kSymbolResource, text);
    add("shipModel", kSymbolResource, model);
    add("defined", kSymbolResource | kSymbolData, other);
    add("none", kSymbolResource, nullptr);
    // Declared a resource but never given a record: its value still points
    // at its own value bytes, which are no record to release.
    const int32_t seven = 7;
    ScriptSymbol* declared = AddScriptSymbol("declared", &seven, sizeof seven);
    declared->type = kSymbolResource;

    ReleaseMissionResources();
    EXPECT_EQ(ReadSymbolInt(declared), 7);
    EXPECT_EQ(text->data, nullptr);
    EXPECT_EQ(text->modelFlag, 0);
    EXPECT_NE(model->data, nullptr); // models keep their data, and their flag
    EXPECT_EQ(model->modelFlag, 255);
    EXPECT_NE(other->data, nullptr); // not exactly a resource symbol
    ResShutdown();
}

TEST_F(ScriptTest, ReplayingDialoguesWalksTheMissionsLoadedTextsInTurn)
{
    ASSERT_GT(ResInit(), 0u);
    const int32_t zero = 0;
    auto add = [&](const char* name, uint32_t type, Resource* resource) {
        ScriptSymbol* symbol = AddScriptSymbol(name, &zero, sizeof zero);
        symbol->type = type;
        symbol->value = resource;
        return resource;
    };
    auto text = [](const char* words) {
        Resource* resource = ResAllocSized(kResRowTexts, 300);
        std::snprintf(static_cast<char*>(resource->data), 300, "%s", words);
        return resource;
    };
    // Defined before the mark: not the mission's.
    add("iniText", kSymbolResource, text("from the ini"));
    MarkScriptBase();
    EXPECT_EQ(ReplayNextDialogue(), nullptr);

    Resource* first = add("first", kSymbolResource, text("one"));
    add("model", kSymbolResource, ResAllocSized(kResRowModels, 16));
    Resource* unloaded = add("unloaded", kSymbolResource, text("gone"));
    ResDropData(unloaded);
    add("defined", kSymbolResource | kSymbolData, text("not exactly a resource"));
    Resource* second = add("second", kSymbolResource, text(std::string(290, 'x').c_str()));

    ResetShipLog();
    ResetMessageLine();
    EXPECT_EQ(ReplayNextDialogue(), first);
    EXPECT_NE(std::strstr(gMessageLine.shown, "one"), nullptr);
    EXPECT_EQ(ReplayNextDialogue(), second); // a long text is shown cut, never fatally
    EXPECT_EQ(std::strlen(gMessageLine.shown), 79u);
    ResetMessageLine();
    EXPECT_EQ(ReplayNextDialogue(), first); // past the last: the first again
    EXPECT_NE(std::strstr(gMessageLine.shown, "one"), nullptr);
    EXPECT_EQ(gShipLog.count, 3) << "played in flight: written to the ship's log";
    ResShutdown();
}

TEST_F(ScriptTest, MissionsRollBackToTheMark)
{
    // What start-up compiles before the mark stays; a mission's symbols,
    // tokens and file names go at every reset, and so a hundred mission
    // cycles never fill a table.
    WriteMission("ini.scr", "SET fromIni 1\nkeep: RETURN\n");
    WriteMission("mission.scr", "SET fromMission 2\nSET another 3\nBRA keep\n");
    ASSERT_NE(TokeniseScript("ini.scr"), nullptr);
    const uint32_t markPosition = MarkScriptBase();
    const uint32_t symbols = gSymbols.count;
    const uint32_t data = gScriptBuffers.dataCursor;
    EXPECT_EQ(markPosition, gScriptBuffers.tokenCursor);

    for (int mission = 0; mission < 100; ++mission) {
        ResetMissionScript();
        ScriptToken* start = TokeniseScript("mission.scr");
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(static_cast<uint32_t>(start - gScriptBuffers.tokens), markPosition);
        EXPECT_NE(FindScriptSymbol("fromMission"), nullptr);
    }
    ResetMissionScript();
    EXPECT_EQ(gSymbols.count, symbols);
    EXPECT_EQ(gScriptBuffers.tokenCursor, markPosition);
    EXPECT_EQ(gScriptBuffers.dataCursor, data);
    EXPECT_EQ(FindScriptSymbol("fromMission"), nullptr);
    EXPECT_EQ(FindScriptSymbol("another"), nullptr);
    EXPECT_NE(FindScriptSymbol("fromIni"), nullptr);
    EXPECT_NE(FindScriptSymbol("keep"), nullptr);
    // The ini's line markers still name the ini.
    const ScriptToken* marker = FindLineMarker(markPosition);
    ASSERT_NE(marker, nullptr);
    EXPECT_STREQ(ScriptNameAt(marker[1].value), "zqk\\resource\\scripts\\missions\\ini.scr");
}

TEST_F(ScriptTest, MissionResetEmptiesTheVitalSlotsAndTheTally)
{
    EnableCallTrace(true);
    ClearCallTrace();
    ResetSimulation();
    SceneItem* ship = NewSceneItem();
    AttachSim(ship, nullptr);
    ship->sim->shipInfo = AllocShipInfo();
    AddTallyItem(ship);
    ASSERT_EQ(TallyEntryCount(), 1);
    // A watched symbol that names nothing would be reported lost.
    ASSERT_EQ(AddVitalObject(gBuiltinSymbols.lastShip, nullptr, 0), 255);
    ResetMissionScript();
    EXPECT_EQ(PollVitalObjects(), nullptr);
    EXPECT_EQ(TallyEntryCount(), 0);
    EnableCallTrace(false);
    ResetSimulation();
}
