// The vital objects, encounter launching and stock dialogues, and the
// statements that tie a mission to the world: ADD_VITAL, REMOVE_VITAL,
// SYSTEM, RECSYSTEM, SET_TARG_LP, WAYPT, ATTACH_WAYPT, COUNT_WAYPTS,
// LOCATION, DINK, STATIC, MOTHERSHIP and ALIENDEV.
#include "interp_fixture.h"
#include "view/cameras.h"

#include "game/startup.h"
#include "screens/bridge.h"
#include "script/keywords.h"
#include "script/configstatements.h"
#include "script/missionoutcome.h"
#include "script/vitalobjects.h"
#include "script/worldlink.h"
#include "system/calltrace.h"
#include "tests/support/effects_probe.h"
#include "tests/support/log_font.h"
#include "tests/support/universe_fixture.h"
#include "ui/hud.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/behaviours.h"
#include "world/encounters.h"
#include "world/pools.h"
#include "world/universe.h"

#include <cstdio>
#include <cstring>

namespace {

class WorldLinkTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ConnectLowerLayers(); // the loss countdown ends on the top's camera
        EnableCallTrace(true);
        ClearCallTrace();
        std::memset(gTextTable, 0, sizeof gTextTable);
        gScriptVars.missionNumber = 10;
        player = worldtest::MakeItem();
        gPlayerItem = gControlledItem = player;
        ClearVitalObjects(); // polls from the fresh clock
    }
    void TearDown() override
    {
        EnableCallTrace(false);
        std::memset(gTextTable, 0, sizeof gTextTable);
        gScriptVars.missionNumber = 1;
        gDialogueShip = nullptr;
        InterpTest::TearDown();
    }

    // A frame in which the game clock moves too (the vital polls read it).
    int32_t ClockFrame(uint32_t& position)
    {
        gFrameClock.gameClock += 20;
        return Frame(position);
    }

    static SceneItem* Object(const char* name) { return SymbolObject(FindScriptSymbol(name)); }

    // An item named by a new object symbol.
    static SceneItem* Named(const char* name)
    {
        SceneItem* item = worldtest::MakeItem();
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, item);
        return item;
    }

    static void PlaceAt(SceneItem* item, double x, double y, double z)
    {
        item->sim->position = {x, y, z};
        item->sim->matrix.m[12] = static_cast<float>(x);
        item->sim->matrix.m[13] = static_cast<float>(y);
        item->sim->matrix.m[14] = static_cast<float>(z);
    }

    SceneItem* player = nullptr;
};

// ---- Vital objects ------------------------------------------------------------------

TEST_F(WorldLinkTest, AMissionThatLosesAVitalObjectFailsWithItsLineAndTheExternalCamera)
{
    MessageLogFont font;
    gTextTable[kTextMissionFailed] = "The convoy is lost.";
    SceneItem* freighter = Named("freighter");
    gScriptMission.missionSucceeded = 255;
    uint32_t position = Compile("ADD_VITAL freighter\nloop:\nWAIT\nBRA loop\nEND\n");
    ClockFrame(position);
    EXPECT_EQ(gScriptMission.missionFailed, 0);
    DeleteSceneItem(freighter);
    // The next poll is at most 100 ticks away.
    int frames = 0;
    while (!gScriptMission.missionFailed && frames < 6) {
        ClockFrame(position);
        ++frames;
    }
    EXPECT_EQ(gScriptMission.missionFailed, 255);
    EXPECT_EQ(gScriptMission.missionSucceeded, 0);
    EXPECT_STREQ(gMessageLogPendingText, "The convoy is lost.");
    guiClearMessageLog();
    EXPECT_EQ(gScriptMission.vitalLossCountdown, 900);
    // The external camera comes 900 ticks after the loss, once.
    for (int i = 0; i < 44; ++i)
        ClockFrame(position);
    EXPECT_EQ(MissionEndState, kMissionInFlight);
    for (int i = 0; i < 3; ++i)
        ClockFrame(position);
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    EXPECT_EQ(gDirectorOn, 255);
    EXPECT_EQ(gCameras.director.event, kShotPlayerShip);
    EXPECT_EQ(gExternalView, 255);
    // The lost object's slot was freed: the mission fails once.
    EXPECT_STREQ(gMessageLogPendingText, "");
}

TEST_F(WorldLinkTest, SlotsAreSharedByOneObjectAndTenAreAll)
{
    ScriptSymbol* symbols[11];
    for (int i = 0; i < 11; ++i) {
        const std::string name = "v" + std::to_string(i);
        Named(name.c_str());
        symbols[i] = FindScriptSymbol(name);
    }
    EXPECT_EQ(AddVitalObject(symbols[0], nullptr, 0), 255);
    EXPECT_EQ(AddVitalObject(symbols[0], nullptr, 0), 255);
    for (int i = 1; i < 10; ++i)
        EXPECT_EQ(AddVitalObject(symbols[i], nullptr, 0), 255) << i;
    EXPECT_EQ(AddVitalObject(symbols[10], nullptr, 0), 0);
    EXPECT_EQ(RemoveVitalObject(symbols[3]), 255);
    EXPECT_EQ(RemoveVitalObject(symbols[3]), 0);
    EXPECT_EQ(AddVitalObject(symbols[10], nullptr, 0), 255);

    // REMOVE_VITAL frees the slot: its object may go.
    Run("REMOVE_VITAL v10");
    DeleteSceneItem(SymbolObject(symbols[10]));
    gFrameClock.gameClock += kVitalPollInterval;
    EXPECT_EQ(PollVitalObjects(), nullptr);
}

TEST_F(WorldLinkTest, ATestThatStaysTrueFailsAtEveryPollAHundredTicksApart)
{
    Named("probe");
    ScriptSymbol* symbol = FindScriptSymbol("probe");
    AddVitalObject(
        symbol, [](SceneItem*, float argument) { return argument > 1.0f; }, 2.0f);
    gFrameClock.gameClock += 1;
    EXPECT_EQ(PollVitalObjects(), symbol);
    gFrameClock.gameClock += 99;
    EXPECT_EQ(PollVitalObjects(), nullptr);
    gFrameClock.gameClock += 1;
    EXPECT_EQ(PollVitalObjects(), symbol);
    // A hit on the watched object counts in XHITS; on another it does not.
    CountVitalHit(SymbolObject(symbol));
    CountVitalHit(player);
    EXPECT_EQ(gScriptVars.vitalHits, 1);
}

// ---- Encounters -----------------------------------------------------------------------

// Stock scripts: each kind's script makes STOCKSHIP and notes which ran;
// the order labels note the order.
const char* kStock =
    "END\n"
    "DRONE_0:\nCREATE_SHIP STOCKSHIP Md \"drone\" TUG NAVY 0 0 0\nSET ran 1\nEND\n"
    "FIGHTER_0:\nCREATE_SHIP STOCKSHIP Md \"fighter\" TUG NAVY 0 0 0\nSET ran 2\nEND\n"
    "CARGO_0:\nCREATE_SHIP STOCKSHIP Md \"cargo\" TUG NAVY 0 0 0\nSET ran 4\nEND\n"
    "CARGO_1:\nCREATE_SHIP STOCKSHIP Md \"cargo\" TUG NAVY 0 0 0\nSET ran 4\nEND\n"
    "ORDER_1:\nSET order 1\nEND\n"
    "ORDER_3:\nSET order 3\nEND\n"
    "STOCKDIALOGUE_2:\nSET talked 2\nEND\n"
    "MOTHERCRAFT:\nDIALOGUESHIP:\nran:\norder:\ntalked:\n";

TEST_F(WorldLinkTest, AnEncounterComesOutOnTheLineToThePlayerWithItsOrder)
{
    Compile(kStock);
    SceneItem* base = worldtest::MakeItem();
    worldtest::MakeShip(base)->side = 2;
    base->avatar->classFlags = 0x100;
    base->sim->radius = 1000.0f;
    PlaceAt(player, 0, 0, 1e6);
    AddEncounterSource(base, 0x1);
    StartDirector();
    EXPECT_EQ(LaunchEncounter(gEncounterSources), 1);
    SceneItem* ship = Object("STOCKSHIP");
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(Object("MOTHERCRAFT"), base);
    EXPECT_EQ(Number("ran"), 1);
    EXPECT_EQ(Number("order"), 3);
    EXPECT_EQ(ship->sim->target, base);
    // The source's radius plus 50,000 toward the player (no carrier near).
    EXPECT_NEAR(ship->sim->position.z, 51000.0, 1.0);
    EXPECT_NEAR(ship->sim->position.x, 0.0, 1.0);
    EXPECT_EQ(ship->flags & 0x10, 0);
    EXPECT_NE(ship->flags & kItemCounted, 0);
    EXPECT_EQ(ship->sim->shipInfo->side, 2);
    EXPECT_EQ(ship->avatar->classFlags & kSenseSidesAndFactions, 0x100u);
    EXPECT_EQ(gCameras.director.subject.Get(), ship); // the director cuts to it
    EXPECT_EQ(gCameras.director.event, kShotArrival);
    EXPECT_EQ(gInterpreter.currentGroup, 0); // the group number comes back
    ResetCameras();
}

TEST_F(WorldLinkTest, AnEncounterWithACarrierNearItsSourceComesOutOfTheCarrier)
{
    Compile(kStock);
    SceneItem* base = worldtest::MakeItem();
    worldtest::MakeShip(base)->side = 2;
    base->avatar->classFlags = 0x100;
    PlaceAt(player, 0, 0, 1e6);
    SceneItem* carrier = worldtest::MakeItem();
    carrier->avatar->classFlags = 0x1000000;
    PlaceAt(carrier, 2e7, 0, 0); // within 30,000,000 of the source
    SceneItem* farCarrier = worldtest::MakeItem();
    farCarrier->avatar->classFlags = 0x1000000;
    PlaceAt(farCarrier, 4e7, 0, 0);
    float* z = &carrier->sim->matrix.m[8];
    z[0] = 1, z[1] = 0, z[2] = 0;
    AddEncounterSource(base, 0x1);
    ClearCallTrace();
    EXPECT_EQ(LaunchEncounter(gEncounterSources), 1);
    EXPECT_EQ(Number("order"), 3);
    SceneItem* ship = Object("STOCKSHIP");
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(ship->sim->position.x, 2e7);
    EXPECT_EQ(ship->sim->position.z, 0.0);
    EXPECT_EQ(ship->sim->velocity.x, 50000.0f); // launched along the carrier's nose
    EXPECT_EQ(effectsprobe::Sweeps(ship, 1), 1);
}

TEST_F(WorldLinkTest, FightersBecomeCargoOutsideTheFightingMissions)
{
    Compile(kStock);
    SceneItem* base = worldtest::MakeItem();
    AddEncounterSource(base, 0x2);
    struct Case {
        int32_t mission;
        int32_t ran;
        int32_t order;
    };
    for (const Case c : {Case{99, 2, 1}, Case{10, 2, 1}, Case{4, 4, 3}, Case{91, 4, 3}}) {
        gScriptVars.missionNumber = c.mission;
        LaunchEncounter(gEncounterSources);
        EXPECT_EQ(Number("ran"), c.ran) << c.mission;
        EXPECT_EQ(Number("order"), c.order) << c.mission;
        // Attacking ships get the source as their second order's parameter.
        const ShipInfo* info = Object("STOCKSHIP")->sim->shipInfo;
        EXPECT_EQ(info->orders[1].parameter2 == static_cast<int32_t>(ItemHandle(base)), c.order == 1) << c.mission;
    }
    EXPECT_EQ(gEncounterCounts.launched, 4);
}

TEST_F(WorldLinkTest, ASourceWithoutKindsOrAKindWithoutStockScriptsLaunchesNothing)
{
    Compile(kStock);
    SceneItem* base = worldtest::MakeItem();
    AddEncounterSource(base, 0x0);
    EXPECT_EQ(LaunchEncounter(gEncounterSources), 0);
    gEncounterSources->kindMask = 0x20; // no MOTHERSHIP_0 label
    gEncounterSources->kindCount = 1;
    EXPECT_EQ(LaunchEncounter(gEncounterSources), 0);
    EXPECT_EQ(Object("STOCKSHIP"), nullptr);
    EXPECT_EQ(gEncounterCounts.perKind[0], 1);
    EXPECT_EQ(gEncounterCounts.perKind[3], 2);
    // Each mission counts its own stock scripts again.
    ResetMissionScript();
    EXPECT_EQ(gEncounterCounts.counted, 0);
}

TEST_F(WorldLinkTest, TheSimulationFrameServesTheStockDialogueOnce)
{
    Compile(kStock);
    gDialogueShip = player;
    gStockDialogueRequest = 255;
    gStockDialogueNumber = 2;
    worldtest::RunFrame(20);
    EXPECT_EQ(Number("talked"), 2);
    EXPECT_EQ(Object("DIALOGUESHIP"), player);
    EXPECT_EQ(gStockDialogueRequest, 0);
    EXPECT_EQ(RunStockDialogue(7), -1); // no such label
}

// ---- Star systems ------------------------------------------------------------------------

const char* kSystems =
    "id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n"
    "0,Sol,0,S,0,0,0,0,0,0,0,0,0\n"
    "1,Earth,0,P,0,0,0,0,1e8,0,0,0,0\n"
    "100,Tarsis,100,S,0,0,0,0,0,0,0,0,0\n"
    "101,Ferro,100,P,0,0,0,0,1e8,0,40,0,0\n"
    "102,L4,101,L4,0,0,0,0,0,0,0,0,0\n";

class StarSystemStatementTest : public WorldLinkTest {
protected:
    void SetUp() override
    {
        WorldLinkTest::SetUp();
        worldtest::LoadTestUniverse(kSystems, {{"Sol", 1, 0, {0, 0, 0}}, {"Tarsis", 2, 0, {5e16f, 0, 0}}});
        // The planet textures are not in the scratch tree: their messages
        // only print while the planet pool is first made.
        SetMessageBoxHook(nullptr);
        InitPlanetModelPool();
        SetMessageBoxHook(ThrowScriptStop);
    }
    void TearDown() override
    {
        ResetUniverse();
        WorldLinkTest::TearDown();
    }
};

TEST_F(StarSystemStatementTest, SystemMovesThePlayerAndTheArrivalHandlerRunsBeforeTheNextStatement)
{
    Run("SYSTEM \"Tarsis\" \"L4\"\nSET after arrived\nEND\n"
        "STARSYSTEM_2:\nSET arrived 7\nRETURN\n"
        "arrived:\nafter:\n");
    EXPECT_EQ(gCurrentSystemNumber, 2);
    EXPECT_EQ(player->sceneGeneration, 2);
    EXPECT_EQ(Number("arrived"), 7);
    EXPECT_EQ(Number("after"), 7);
    EXPECT_NE(gScriptMission.visited[2], 0);
}

TEST_F(StarSystemStatementTest, TheLagrangeDestinationAndTheExport)
{
    Run("SET_TARG_LP 2 \"Ferro\"");
    EXPECT_EQ(gLagrangeDestination.system, 2);
    EXPECT_EQ(gLagrangeDestination.body, FindBody(2, "Ferro"));
    EXPECT_NE(gLagrangeDestination.body, nullptr);
    // A body the system does not have leaves no destination body.
    Run("SET_TARG_LP 2.7 \"Earth\"");
    EXPECT_EQ(gLagrangeDestination.system, 2);
    EXPECT_EQ(gLagrangeDestination.body, nullptr);
    gExportSystemOutlines = 0;
    Run("RECSYSTEM");
    EXPECT_EQ(gExportSystemOutlines, 255);
    gExportSystemOutlines = 0;
}

TEST_F(StarSystemStatementTest, LocationMarksTheStarAndTheNamedBodies)
{
    Star* tarsis = FindStar("Tarsis", gNamedStarCount);
    ASSERT_NE(tarsis, nullptr);
    Run("LOCATION \"Tarsis\" 0\nSET after 1");
    EXPECT_NE(tarsis->flags & kStarMission, 0);
    EXPECT_EQ(FindBody(2, "Ferro")->classFlags & kBodyMission, 0u);
    EXPECT_EQ(Number("after"), 1);
    // A fractional count reads one more name; an unknown body is skipped.
    Run("LOCATION \"2\" 1.5 \"Nowhere\" \"Ferro\"\nSET after 2");
    EXPECT_NE(FindBody(2, "Ferro")->classFlags & kBodyMission, 0u);
    EXPECT_EQ(Number("after"), 2);
}

// ---- Waypoints ---------------------------------------------------------------------------

TEST_F(WorldLinkTest, ACourseOfChainedWaypointsReportsItsTimeOnce)
{
    MessageLogFont font;
    gTextTable[90] = "Course flown in %d:%02d %s";
    Run("WAYPT a \"Alpha\" 1000 0 0 ON ON\n"
        "WAYPT h \"Hidden\" 0 1000 0 OFF ON\n"
        "WAYPT b \"Bravo\" 2000 0 0\n"
        "WAYPT c \"Charlie\" 3000 0 0 ON ON\n"
        "COUNT_WAYPTS 3\n");
    SceneItem* a = Object("a");
    SceneItem* h = Object("h");
    SceneItem* b = Object("b");
    SceneItem* c = Object("c");
    ASSERT_TRUE(a && h && b && c);
    EXPECT_EQ(SymbolObject(gBuiltinSymbols.lastWaypoint), c);
    EXPECT_EQ(a->sim->position.x, 100000.0);
    // a -> h (hidden, chained) ; b is not chained ; c chains onto b.
    EXPECT_EQ(ItemFromHandle(a->avatar->params[kParamEngineGlow]), h);
    EXPECT_EQ(ItemFromHandle(h->avatar->params[kParamEngineCountdown]), a);
    EXPECT_EQ(b->avatar->params[kParamEngineCountdown], 0);
    EXPECT_EQ(ItemFromHandle(b->avatar->params[kParamEngineGlow]), c);
    EXPECT_EQ(c->avatar->params[kParamEngineGlow], 0);
    EXPECT_EQ(h->avatar->root->model, nullptr); // no cube
    EXPECT_EQ(h->avatar->classFlags & 0xC00000u, 0x800000u);
    EXPECT_EQ(a->avatar->classFlags & 0xC00000u, 0x400000u);
    EXPECT_NE(a->avatar->root->model, nullptr);
    EXPECT_EQ(a->avatar->root->flags & 0x314u, 0x300u);
    EXPECT_NE(a->flags & 0x1002, 0);

    gScriptVars.missionClock = 5000;
    for (SceneItem* w : {a, h, b, c}) {
        PlaceAt(player, w->sim->position.x, w->sim->position.y, w->sim->position.z);
        RunWaypoint(w);
        RunWaypoint(w); // reached once only
        gScriptVars.missionClock += 6150;
    }
    // The clock restarted at the first; the hidden one is never reached.
    EXPECT_EQ(gScriptVars.waypointCount, 0);
    EXPECT_EQ(std::string(gMessageLogPendingText).rfind("Course flown in ", 0), 0u) << gMessageLogPendingText;
    EXPECT_EQ(player->sim->target, c);
}

TEST_F(WorldLinkTest, ACourseOfOneKeepsTheClockAndAnAttachedWaypointFollowsItsSymbol)
{
    MessageLogFont font;
    Run("WAYPT w \"Only\" 10 0 0\nCOUNT_WAYPTS 1.9\n");
    EXPECT_EQ(gScriptVars.waypointStartCount, 1);
    SceneItem* w = Object("w");
    gScriptVars.missionClock = 700;
    PlaceAt(player, 1000, 0, 0);
    RunWaypoint(w);
    EXPECT_EQ(gScriptVars.missionClock, 700);
    EXPECT_EQ(gScriptVars.waypointCount, 0);
    EXPECT_STREQ(gMessageLogPendingText, ""); // no entry 90

    SceneItem* first = Named("escort");
    first->sim->radius = 50.0f;
    PlaceAt(first, 0, 0, 500);
    Run("ATTACH_WAYPT w escort");
    PlaceWaypoint(w);
    EXPECT_NEAR(w->sim->position.z, 450.0, 1e-6);
    SceneItem* second = worldtest::MakeItem();
    second->sim->radius = 10.0f;
    PlaceAt(second, 0, 0, -500);
    SetSymbolObject(FindScriptSymbol("escort"), second);
    PlaceWaypoint(w);
    EXPECT_NEAR(w->sim->position.z, -510.0, 1e-6);
}

TEST_F(WorldLinkTest, LanguageFoldersReplaceTextBeforeTheExtension)
{
    struct Case {
        const char* path;
        const char* result;
    };
    for (const Case c : {Case{"zqk\\text\\brief.text", "zqk\\frn_\\brief.text"},
                         Case{"text_text.txt", "frn__frn_.txt"}, Case{"text", "text"}, Case{"", ""}}) {
        char path[64];
        std::snprintf(path, sizeof path, "%s", c.path);
        ReplaceTextFolder(path, "frn_");
        EXPECT_STREQ(path, c.result) << c.path;
    }
}

// ---- Table of the small statements --------------------------------------------------------

// A screen whose set-up binds nothing.
void NoScreenSetup() {}

TEST_F(WorldLinkTest, CockpitEffectsSourcesAndTheDevice)
{
    Run("DINK 100 2");
    EXPECT_EQ(gScreenShake[0], 100);
    EXPECT_EQ(gScreenShake[1], 200);
    gScreenFlash = 3;
    Run("DINK 100 1 0");
    EXPECT_EQ(gScreenShake[1], 100);
    EXPECT_EQ(gScreenFlash, 3);
    Run("DINK 50 1 260");
    EXPECT_EQ(gScreenFlash, 4);
    // The start is kept within 1..32767.
    Run("DINK 100 0");
    EXPECT_EQ(gScreenShake[1], 1);
    Run("DINK 30000 5");
    EXPECT_EQ(gScreenShake[1], 32767);

    // At the command station the navigation screen is entered, even when it
    // is the current one already.
    guiResetWindowPool();
    guiRegisterScreen("NAV", NoScreenSetup, nullptr);
    guiRegisterScreen("COM", NoScreenSetup, nullptr);
    guiGotoScreen("NAV");
    const uint32_t changes = gScreens.changes;
    CurrentStation = 1;
    Run("STATIC 500");
    EXPECT_EQ(gLastHitAmount, 500);
    EXPECT_EQ(gScreens.current, guiFindScreen("NAV"));
    EXPECT_EQ(gScreens.changes, changes + 1);
    guiGotoScreen("COM");
    Run("STATIC 500");
    EXPECT_EQ(gScreens.current, guiFindScreen("NAV"));
    EXPECT_EQ(gScreens.changes, changes + 3);
    CurrentStation = 0;
    guiResetWindowPool();

    Named("base");
    Run("MOTHERSHIP base EMIT_FIGHTER EMIT_CARGO\nSET after 1\n");
    ASSERT_NE(gEncounterSources, nullptr);
    EXPECT_EQ(gEncounterSources->kindMask, 0x0A);
    EXPECT_EQ(Number("after"), 1);

    gAlienDevicesEnabled = 0;
    Run("ALIENDEV ON\nALIENDEV OFF");
    EXPECT_EQ(gAlienDeviceAvailable, 255);
    EXPECT_EQ(gAlienDevicesEnabled, 255);
    ResetMissionScript();
    EXPECT_EQ(gAlienDeviceAvailable, 0);
    gAlienDevicesEnabled = 0;
}

TEST_F(WorldLinkTest, MissingOperandsAreSyntaxErrors)
{
    struct Case {
        const char* script;
        const char* message;
    };
    for (const Case c : {
             Case{"DINK 100", "Bad SYMBOL Reference"},
             Case{"STATIC", "Bad SYMBOL Reference"},
             Case{"MOTHERSHIP 5 EMIT_DRONE", "SYMBOL reference needed in this context"},
             Case{"WAYPT w 1 2 3", "Quoted text needed in this context"},
             Case{"SYSTEM 4 \"L4\"", "Quoted text needed in this context"},
             Case{"COUNT_WAYPTS", "Bad SYMBOL Reference"},
             Case{"LOCATION \"Sol\" 2 \"Earth\"", "Quoted text needed in this context"},
         }) {
        const ScriptStop stop = RunUntilStop(c.script);
        EXPECT_EQ(stop.title, "SCRIPT Syntax Error") << c.script;
        EXPECT_NE(stop.text.find(c.message), std::string::npos) << c.script << ": " << stop.text;
        ResetMissionScript();
    }
}

} // namespace
