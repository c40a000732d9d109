// The ship types and their set-up, and the statements that make ships:
// CREATE_SHIP, SHINFO, PLAYER, SHIP, ANNOUNCE, NAME_INC and PLACE_INC.
#include "tests/support/effects_probe.h"
#include "interp_fixture.h"

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/orders.h"
#include "script/keywords.h"
#include "script/shiptypes.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "world/floatingorigin.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/shipsystems.h"
#include "world/tally.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kManufactured = SenseFlag(kw::SN_MANUFACTURED);
constexpr uint32_t kStarship = SenseFlag(kw::SN_STARSHIP);

class ShipStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        EnableCallTrace(true);
        ClearCallTrace();
        std::memset(gWingSlots, 0, sizeof gWingSlots);
    }
    void TearDown() override
    {
        std::memset(gWingSlots, 0, sizeof gWingSlots);
        EnableCallTrace(false);
        gWorldOriginOffset = {};
        InterpTest::TearDown();
    }

    static bool InWing(const SceneItem* item)
    {
        for (const WingSlot& slot : gWingSlots)
            if (item && slot.item == item)
                return true;
        return false;
    }

    static SceneItem* Object(const char* name)
    {
        return SymbolObject(FindScriptSymbol(name));
    }

    static ShipInfo* Info(const char* name)
    {
        SceneItem* item = Object(name);
        return item && item->sim ? item->sim->shipInfo : nullptr;
    }

    // A plain object (no ShipInfo) under a new symbol.
    static SceneItem* PlainObject(const char* name)
    {
        SceneItem* item = worldtest::MakeItem();
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, item);
        return item;
    }
};

TEST_F(ShipStatementTest, EveryShipTypeGetsItsRowAndSetUp)
{
    for (uint32_t id = kw::CORVETTE; id <= kw::GUNBASE; ++id) {
        ResetSimulation();
        ResetMissionScript();
        const std::string keyword = KeywordName(id);
        Run("CREATE_SHIP S Md \"Ship " + keyword + "\" " + keyword + " NAVY 0 0 0");
        SCOPED_TRACE(keyword);
        SceneItem* item = Object("S");
        ASSERT_NE(item, nullptr);
        const ShipInfo* info = item->sim->shipInfo;
        ASSERT_NE(info, nullptr);
        const int32_t type = static_cast<int32_t>(id - kw::CORVETTE);
        EXPECT_EQ(info->kind, type);
        EXPECT_EQ(info->rank, 3);
        EXPECT_EQ(item->sim->flightModel, &info->flightModel);
        EXPECT_STREQ(info->name, ("Ship " + keyword).c_str());
        EXPECT_STREQ(info->shortName, keyword.c_str());
        EXPECT_EQ(item->flags & 0x212, 0x212);
        EXPECT_EQ(item->sim->mass, 8500.0f);
        EXPECT_EQ(info->damage.armour, 50);
        EXPECT_EQ(info->damage.maximumHull, 250);
        EXPECT_EQ(info->ldsReach[0], 15000000.0f);
        EXPECT_EQ(info->ldsReach[1], 1500000.0f);
        EXPECT_EQ(info->side, 1);

        // The default orders, slot 1 current.
        EXPECT_STREQ(info->orders[0].name, "SelfPreservation");
        EXPECT_EQ(info->orders[0].weight, 100);
        EXPECT_EQ(info->orders[0].evaluator, EvalSelfPreservation);
        EXPECT_EQ(info->orders[0].parameter1, 79);
        EXPECT_EQ(info->orders[0].stateId, 34);
        EXPECT_STREQ(info->orders[1].name, "NO PROGRAM");
        EXPECT_EQ(info->orders[1].weight, 1);
        EXPECT_EQ(info->orders[1].evaluator, EvalDefault);
        EXPECT_EQ(info->orders[1].parameter1, 80);
        EXPECT_EQ(info->orders[1].stateId, 61);
        EXPECT_EQ(info->currentOrder, 1);
        EXPECT_GE(info->tickAccumulator, 0);
        EXPECT_LT(info->tickAccumulator, 100);

        const uint32_t sense = item->avatar->classFlags;
        const bool station = id == kw::STATION;
        EXPECT_EQ(sense, (station ? SenseFlag(kw::SN_BASE) : kStarship) | kManufactured | 0x80 |
                             (id == kw::HCORVETTE ? SenseFlag(kw::SN_CRIPPLED) : 0u));
        EXPECT_EQ((item->flags & kItemTailGroup) != 0, station);
        EXPECT_EQ(item->control, id == kw::HCORVETTE ? CONTROL_FREE : CONTROL_AI);
        EXPECT_EQ(item->perFrame, SIM_MAIN);
        EXPECT_EQ(item->avatar->collision, id == kw::MINE ? ProjectileHit : CollideShips);
        if (id == kw::MINE) {
            EXPECT_EQ(item->sim->ldsSpool, 5000);
            EXPECT_EQ(item->avatar->responseOrder, 40);
        }
        if (id == kw::HCORVETTE) {
            EXPECT_EQ(item->pitchDemand, 120.0f);
            EXPECT_EQ(item->yawDemand, 40.0f);
        }
        EXPECT_EQ(TallyEntryCount(), 1);
        EXPECT_EQ(SymbolObject(gBuiltinSymbols.lastShip), item);
        EXPECT_EQ(gBuiltinSymbols.last3dPart->value, item->avatar->root);
        EXPECT_EQ(item->symbol, FindScriptSymbol("S"));
    }
    EXPECT_STREQ(kShipTypes[6].displayName, "Patrol Combatant");
    EXPECT_STREQ(kShipTypes[17].displayName, "GunBase");
}

TEST_F(ShipStatementTest, SidesSetOneSenseFlagAndTheSideCode)
{
    for (uint32_t id = kw::NEUTRAL; id <= kw::ALLIANCE; ++id) {
        ResetSimulation();
        ResetMissionScript();
        Run(std::string("CREATE_SHIP S Md \"S\" TUG ") + KeywordName(id) + " 0 0 0");
        const int32_t side = static_cast<int32_t>(id - kw::NEUTRAL);
        EXPECT_EQ(Object("S")->avatar->classFlags & kSenseSides, 1u << (side + 6)) << side;
        EXPECT_EQ(Info("S")->side, side) << side;
    }
}

TEST_F(ShipStatementTest, SideFromSenseFlagsNeedsExactlyOneSideBit)
{
    SceneItem* item = worldtest::MakeItem();
    ShipInfo* info = worldtest::MakeShip(item);
    const struct {
        uint32_t sense;
        int16_t side;
    } cases[] = {{0, 0}, {0x40, 0}, {0x80, 1}, {0x1000, 6}, {0x180, 0}, {0x40 | 0x400, 4}};
    for (const auto& c : cases) {
        item->avatar->classFlags = c.sense;
        info->side = 99;
        SetSideFromSenseFlags(item);
        EXPECT_EQ(info->side, c.side) << std::hex << c.sense;
    }
}

TEST_F(ShipStatementTest, OrientationTurnsZThenXThenY)
{
    Run("CREATE_SHIP A Md \"A\" TUG NAVY 0 0 0\n"
        "CREATE_SHIP B Md \"B\" TUG NAVY 100000 0 0 10 20 30 RECKLESS\n");
    Matrix4 identity;
    MatIdentity(identity);
    EXPECT_EQ(std::memcmp(Object("A")->sim->matrix.m, identity.m, 12 * sizeof(float)), 0);
    Matrix4 expected = identity;
    MatRotZ(30, expected);
    MatRotX(20, expected);
    MatRotY(10, expected);
    for (int i = 0; i < 12; ++i)
        EXPECT_FLOAT_EQ(Object("B")->sim->matrix.m[i], expected.m[i]) << i;
    EXPECT_EQ(Object("B")->sim->flags & 0x1400, 0x1400u);
    EXPECT_EQ(Object("A")->sim->flags & ~kSimInUse, 0u);
}

TEST_F(ShipStatementTest, TacticsAddTheirSimFlags)
{
    const uint32_t expected[] = {0x400, 0x800, 0xC00, 0x1000, 0x1400, 0x20000000};
    for (uint32_t id = kw::COMBAT; id <= kw::RESUPPLY; ++id) {
        ResetSimulation();
        ResetMissionScript();
        Run(std::string("CREATE_SHIP S Md \"S\" TUG NAVY 0 0 0 0 0 0 ") + KeywordName(id));
        EXPECT_EQ(Object("S")->sim->flags, kSimInUse | expected[id - kw::COMBAT]) << KeywordName(id);
    }
}

TEST_F(ShipStatementTest, PositionsGoThroughThePlacementOrigin)
{
    gWorldOriginOffset = {1000.0, 2000.0, 3000.0};
    Run("CREATE_SHIP A Md \"A\" TUG NAVY 5000 6000 7000");
    const Sim& a = *Object("A")->sim;
    EXPECT_EQ(a.position.x, 4000.0);
    EXPECT_EQ(a.position.y, 4000.0);
    EXPECT_EQ(a.position.z, 4000.0);
    EXPECT_EQ(a.matrix.m[12], 4000.0f);

    // Relative mode adds the relative object's position.
    gInterpreter.placementMode = 0;
    gInterpreter.relativeOrigin = Object("A");
    Run("CREATE_SHIP B Md \"B\" TUG NAVY 100000 0 0");
    EXPECT_EQ(Object("B")->sim->position.x, 104000.0);
    EXPECT_EQ(Object("B")->sim->position.z, 4000.0);
}

TEST_F(ShipStatementTest, PushApartMovesByTheLimitAlongTheSeparation)
{
    // Two ships of radius 100 (limit 300 with the item's 100): the one made
    // earlier lies at 350, the later one at 0.
    SceneItem* earlier = worldtest::MakeItem();
    worldtest::MakeShip(earlier);
    earlier->sim->radius = 100.0f;
    PlaceItemAt(earlier, 350.0, 0.0, 0.0);
    SceneItem* later = worldtest::MakeItem();
    worldtest::MakeShip(later);
    later->sim->radius = 100.0f;
    SceneItem* item = worldtest::MakeItem();
    item->sim->radius = 100.0f;

    // Out of the later one by the limit along +x; the list is walked once,
    // so the item stays inside the earlier one it had already passed.
    PlaceItemAt(item, 10.0, 0.0, 0.0);
    PushApartOnPlacement(item);
    EXPECT_FLOAT_EQ(item->sim->matrix.m[12], 310.0f);
    EXPECT_EQ(item->sim->position.x, 310.0);

    // At the very point of a ship there is no direction: along +x.
    PlaceItemAt(item, 0.0, 0.0, 0.0);
    PushApartOnPlacement(item);
    EXPECT_FLOAT_EQ(item->sim->matrix.m[12], 300.0f);

    // Planets are never moved.
    item->avatar->classFlags = SenseFlag(kw::SN_PLANET);
    PlaceItemAt(item, 10.0, 0.0, 0.0);
    PushApartOnPlacement(item);
    EXPECT_EQ(item->sim->matrix.m[12], 10.0f);
}

TEST_F(ShipStatementTest, NewShipsTakeTheCurrentGroupItsLeaderAndThePlayersWing)
{
    Run("CREATE_SHIP Hero Md \"Hero\" CORVETTE NAVY 0 0 0\n"
        "PLAYER Hero\n"
        "GROUP 4\n"
        "GROUP 4 Hero\n"
        "CREATE_SHIP L1 Md \"L1\" TUG NAVY 1000000 0 0\n"
        "GROUP_LEADER L1\n"
        "CREATE_SHIP L2 Md \"L2\" TUG NAVY 2000000 0 0\n"
        "GROUP_LEADER L2\n");
    ClearCallTrace();
    Run("CREATE_SHIP M Md \"M\" TUG NAVY 3000000 0 0\n");
    EXPECT_EQ(Info("M")->group, 4);
    // The last leader of the group in list order: ships go to the front.
    EXPECT_EQ(Info("M")->leader, Object("L1"));
    EXPECT_TRUE(InWing(Object("M"))); // the player's group: the player's wing

    ClearCallTrace();
    Run("GROUP 0\nCREATE_SHIP N Md \"N\" TUG NAVY 4000000 0 0\n");
    EXPECT_EQ(Info("N")->group, 0);
    EXPECT_EQ(Info("N")->leader, nullptr);
    EXPECT_FALSE(InWing(Object("N")));
}

TEST_F(ShipStatementTest, FindOrderProgramTakesTheLastOfEqualNames)
{
    const OrderProgram table[] = {
        {"Patrol", EvalDefault, 1, {}},
        {"Guard", EvalDefault, 2, {}},
        {"Patrol", EvalDefault, 3, {}},
        {nullptr, nullptr, 0, {}},
    };
    EXPECT_EQ(FindOrderProgramIn(table, "Patrol"), &table[2]);
    EXPECT_EQ(FindOrderProgramIn(table, "Guard"), &table[1]);
    EXPECT_EQ(FindOrderProgramIn(table, "patrol"), nullptr);
    EXPECT_EQ(FindOrderProgram("No Such Order"), nullptr);
}

TEST_F(ShipStatementTest, ShinfoSetsArmourHullSkillAndMassAndRegisters)
{
    SceneItem* item = worldtest::MakeItem();
    worldtest::MakeShip(item)->skill = 90;
    item->sim->mass = 77.0f;
    ScriptSymbol* symbol = AddScriptSymbol("X", nullptr, 0);
    symbol->type = kSymbolSceneItem;
    SetSymbolObject(symbol, item);
    Run("SHINFO X 12.9 9999999999 0");
    const ShipInfo& info = *item->sim->shipInfo;
    EXPECT_EQ(info.damage.armour, 12);
    EXPECT_EQ(info.damage.maximumHull, INT32_MAX); // saturated
    EXPECT_EQ(info.skill, 50);
    EXPECT_EQ(item->sim->mass, 77.0f); // a mass of 0 keeps the mass
    EXPECT_EQ(TallyEntryCount(), 1);
    Run("SHINFO X 1 2 640");
    EXPECT_EQ(item->sim->mass, 640.0f);
    EXPECT_EQ(TallyEntryCount(), 1); // registered once

    Run("SHINFO Nobody 1 2"); // no object: nothing but the (empty) tally call
    EXPECT_EQ(TallyEntryCount(), 1);
}

TEST_F(ShipStatementTest, PlayerTakesTheShipOverWithItsFilmAndSkill)
{
    InitShipSystems();
    int32_t film = 0;
    ScriptSymbol* record = AddScriptSymbol("SS209Vid", &film, sizeof film);
    gScriptVars.score = 1234;
    Run("CREATE_SHIP Hero Md \"Hero\" CORVETTE NAVY 0 0 0\nPLAYER Hero");
    SceneItem* hero = Object("Hero");
    EXPECT_EQ(gPlayerItem, hero);
    EXPECT_EQ(gControlledItem, hero);
    EXPECT_EQ(hero->control, CONTROL_MAIN);
    EXPECT_EQ(hero->sim->assistMode, 1);
    EXPECT_EQ(hero->sim->shipInfo->skill, 75);
    EXPECT_EQ(gScriptVars.score, 0);
    ASSERT_NE(hero->sim->actions, nullptr);
    EXPECT_EQ(hero->sim->actions->key, 0u);
    EXPECT_TRUE(hero->sim->actions->flags & kActionFilm);
    EXPECT_EQ(hero->sim->actions->scriptRecord, record->value);
    EXPECT_EQ(gShipSystems.systemsShip, hero);

    // A symbol without an object changes nothing.
    Run("PLAYER Ghost");
    EXPECT_EQ(gPlayerItem, hero);
    InitShipSystems();
}

TEST_F(ShipStatementTest, ShipMakesAnExistingObjectAShipWithItsSideFlagOnly)
{
    SceneItem* item = PlainObject("Hulk");
    item->avatar->classFlags = SenseFlag(kw::SN_CARGO) | 0x100;
    Run("SHIP Hulk \"Old Hulk\" FREIGHTER ALIEN DEFENSE");
    const ShipInfo* info = item->sim->shipInfo;
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(item->sim->flightModel, &info->flightModel);
    EXPECT_EQ(item->avatar->classFlags, 0x400 | kManufactured | kStarship);
    EXPECT_EQ(info->side, 4);
    EXPECT_EQ(info->kind, 1);
    EXPECT_STREQ(info->shortName, "Hulk");
    EXPECT_EQ(item->sim->flags & 0x800, 0x800u);
    EXPECT_EQ(item->flags & 0x10, 0x10);
    EXPECT_EQ(TallyEntryCount(), 0); // no tally registration

    // Again: the ShipInfo stays, SHIP_SILENT is the same statement.
    ShipInfo* kept = item->sim->shipInfo;
    Run("SHIP_SILENT Hulk \"Hulk\" STATION NEUTRAL");
    EXPECT_EQ(item->sim->shipInfo, kept);
    EXPECT_EQ(item->avatar->classFlags, 0x40 | kManufactured | SenseFlag(kw::SN_BASE));
    EXPECT_EQ(item->sim->flags & 0x800, 0x800u); // tactics are only added
}

TEST_F(ShipStatementTest, AnnounceLogsShipsAndAlwaysOffersTheShot)
{
    StartDirector();
    SceneItem* plain = PlainObject("Rock");
    ResetShipLog();
    Run("ANNOUNCE Rock");
    EXPECT_EQ(gShipLog.count, 0);
    EXPECT_EQ(gCameras.director.subject.Get(), plain);
    EXPECT_EQ(gCameras.director.event, kShotArrival);

    SceneItem* camera = worldtest::MakeItem();
    gPlayerCamera = camera;
    Run("CREATE_SHIP Near Md \"Near\" TUG NAVY 2000000 0 0\nCREATE_SHIP Far Md \"Far\" TUG NAVY 3000000 0 0");
    Object("Near")->avatar->matrix.m[12] = 2000000.0f;
    Object("Far")->avatar->matrix.m[12] = 3000000.0f;
    ClearCallTrace();
    gFrameClock.gameClock += kMinimumShotTicks; // the shot on the rock has run its time
    Run("ANNOUNCE Near\nANNOUNCE Far\nANNOUNCE Gone");
    EXPECT_EQ(gShipLog.count, 2);
    EXPECT_EQ(gShipLog.entries[1].kind, 0); // arrived
    EXPECT_EQ(effectsprobe::Sweeps(Object("Near"), 1) + effectsprobe::Sweeps(Object("Far"), 1), 1);
    // The first offer cuts; the second, as strong and too soon, does not.
    EXPECT_EQ(gCameras.director.subject.Get(), Object("Near"));
    gFrameClock.gameClock += kMinimumShotTicks;
    Run("ANNOUNCE Far");
    EXPECT_EQ(gCameras.director.subject.Get(), Object("Far"));
    gPlayerCamera = nullptr;
    ResetCameras();
}

TEST_F(ShipStatementTest, NameIncPicksNamesRoundTheList)
{
    Run("CREATE_SHIP A Md \"A\" TUG NAVY 0 0 0\nCREATE_SHIP B Md \"B\" TUG NAVY 1000000 0 0\n"
        "CREATE_SHIP C Md \"C\" TUG NAVY 2000000 0 0\n");
    uint32_t position = Compile("NAME_INC 0 A \"First One\" \"Second\"\n"
                                "NAME_INC -3 B \"Back One\" \"Back Two\"\n"
                                "NAME_INC 5 C\nEND\n");
    // The counter is the data token itself: three runs of the first line.
    const uint32_t start = position;
    for (const char* expected : {"First One", "Second", "First One"}) {
        position = start;
        RunScript(&position, false);
        EXPECT_STREQ(Info("A")->name, expected);
    }
    EXPECT_STREQ(Info("A")->shortName, "One");
    EXPECT_STREQ(Info("B")->name, "Back Two"); // counters below 0 count back round the list
    EXPECT_STREQ(Info("C")->name, "C");        // no names: kept
}

TEST_F(ShipStatementTest, PlaceIncPicksTheTripleOfTheCounter)
{
    Run("CREATE_SHIP A Md \"A\" TUG NAVY 0 0 0");
    uint32_t position = Compile("PLACE_INC 0 A 1 2 3 40 50 60\nEND\n");
    const uint32_t start = position;
    const double expected[][3] = {{100, 200, 300}, {4000, 5000, 6000}, {0, 0, 0}};
    for (const auto& e : expected) {
        position = start;
        RunScript(&position, false);
        const Sim& sim = *Object("A")->sim;
        EXPECT_EQ(sim.position.x, e[0]);
        EXPECT_EQ(sim.position.y, e[1]);
        EXPECT_EQ(sim.position.z, e[2]);
        EXPECT_EQ(ScriptTokenAt(position).id, kw::END); // the whole list consumed
    }
}

TEST_F(ShipStatementTest, ThePilotsBodyGetsTheShipSetUp)
{
    InitShipSystems();
    Run("CREATE_SHIP Hero Md \"Hero\" CORVETTE NAVY 0 0 0\nPLAYER Hero");
    DeleteSceneItem(Object("Hero"));
    ASSERT_NE(gPlayerItem, nullptr);
    const ShipInfo* body = gPlayerItem->sim->shipInfo;
    ASSERT_NE(body, nullptr);
    EXPECT_STREQ(body->name, "Body");
    EXPECT_STREQ(body->shortName, "CNV-301");
    EXPECT_EQ(body->kind, 4);
    EXPECT_STREQ(body->orders[1].name, "NO PROGRAM");
    EXPECT_EQ(body->damage.maximumHull, 250);
    EXPECT_EQ(gPlayerItem->avatar->classFlags, kManufactured | kStarship);
    EXPECT_EQ(gPlayerItem->avatar->collision, CollideShips);
    InitShipSystems();
}

TEST_F(ShipStatementTest, SyntaxErrorsNameTheLine)
{
    const struct {
        const char* script;
        const char* message;
        int32_t stopCode;
    } cases[] = {
        {"CREATE_SHIP S Md 5 TUG NAVY 0 0 0", "Quoted text needed in this context", kStopBadSymbol},
        {"CREATE_SHIP S Md Name TUG NAVY 0 0 0", "Quoted text needed in this context", kStopBadSymbol},
        {"CREATE_SHIP S Md \"S\" RING NAVY 0 0 0", "Unrecognized Token", kStopBadToken},
        {"CREATE_SHIP S Md \"S\" NAVY TUG 0 0 0", "Unrecognized Token", kStopBadToken},
        {"CREATE_SHIP S Md \"S\" TUG NAVY 0 0", "Bad SYMBOL Reference", kStopBadSymbol},
        {"CREATE_SHIP 5 Md \"S\" TUG NAVY 0 0 0", "SYMBOL reference needed in this context", kStopBadSymbol},
        {"SHIP S \"S\" RING NAVY", "Unrecognized Token", kStopBadToken},
        {"SHIP S \"S\" TUG COMBAT", "Unrecognized Token", kStopBadToken},
        {"SHIP S 12 TUG NAVY", "Quoted text needed in this context", kStopBadSymbol},
        {"SHINFO S 1", "Bad SYMBOL Reference", kStopBadSymbol},
        {"PLAYER 3", "SYMBOL reference needed in this context", kStopBadSymbol},
        {"NAME_INC k S \"a\"", "Bad SYMBOL Reference", kStopBadSymbol},
        {"PLACE_INC \"x\" S 1 2 3", "Bad SYMBOL Reference", kStopBadSymbol},
    };
    for (const auto& c : cases) {
        ResetMissionScript();
        const ScriptStop stop = RunUntilStop(std::string("\n") + c.script);
        EXPECT_EQ(stop.title, "SCRIPT Syntax Error") << c.script;
        EXPECT_NE(stop.text.find(std::string("test.scr(2) : ") + c.script + " \n " + c.message), std::string::npos)
            << c.script << ": " << stop.text;
        EXPECT_EQ(gInterpreter.stopCode, c.stopCode) << c.script;
    }
}

} // namespace
