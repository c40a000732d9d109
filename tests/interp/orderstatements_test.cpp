// The statements that give ships orders and targets and arm them: ORDER,
// ORDER_PARAMS, PLAYER_ORDER, ASSERT_ORDER, CANCEL_ORDER, TARGET,
// NAVTARGET, IGNORE_NAV, IGNORE_WEP and WEAPON.
#include "interp_fixture.h"

#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "ai/orders.h"
#include "ai/weapons.h"
#include "script/shiptypes.h"
#include "system/res/resman.h"
#include "system/sound.h"
#include "system/trace.h"
#include "ui/hud.h"
#include "view/cameras.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "world/actions.h"
#include "world/pools.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class OrderStatementTest : public InterpTest {
protected:
    void TearDown() override
    {
        gPlayerItem = nullptr;
        gControlledItem = nullptr;
        gTargetSearchIgnoredItem = nullptr;
        gTargetSearchIgnoreTicks = 0;
        InterpTest::TearDown();
    }

    // An item under a new object symbol; a ship (ShipInfo, flight model)
    // unless `plain`.
    static SceneItem* Named(const char* name, bool plain = false)
    {
        SceneItem* item = worldtest::MakeItem();
        if (!plain)
            worldtest::MakeShip(item);
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, item);
        return item;
    }
    static SceneItem* Object(const char* name) { return SymbolObject(FindScriptSymbol(name)); }
    static ShipInfo& Info(SceneItem* item) { return *item->sim->shipInfo; }
};

TEST_F(OrderStatementTest, OrderFillsItsSlotAndOnlySlotOneBecomesCurrent)
{
    SceneItem* ship = Named("ship");
    SceneItem* foe = Named("foe");
    Run("ORDER 3 1 ship \"SentryDuty\" 10 20 30 foe 7");
    const OrderSlot& three = Info(ship).orders[3];
    EXPECT_STREQ(three.name, "SentryDuty");
    EXPECT_EQ(three.prerequisite, 1);
    EXPECT_EQ(three.startDelay, 10);
    EXPECT_EQ(three.timeLimit, 20);
    EXPECT_EQ(three.weight, 30);
    EXPECT_EQ(three.evaluator, &EvalSentryDuty);
    EXPECT_EQ(three.parameter1, static_cast<int32_t>(ItemHandle(foe)));
    EXPECT_EQ(three.parameter2, 7);
    EXPECT_EQ(three.stateId, 61);
    EXPECT_NE(Info(ship).currentOrder, 3);
    EXPECT_EQ(Object("LASTSHIP"), ship);

    Run("ORDER 1 0 ship \"AcquireNavyShip\" 0 0 50 0 0");
    EXPECT_EQ(Info(ship).currentOrder, 1);
    EXPECT_EQ(Info(ship).stateStack[0].stateId, 60);
    EXPECT_EQ(Info(ship).stateStack[0].parameter1, 132);
}

TEST_F(OrderStatementTest, OrderWithoutAShipOnlyClearsLastShip)
{
    Named("ship");
    Run("ORDER 1 0 ship \"SentryDuty\" 0 0 50 0 0");
    ScriptSymbol* none = AddScriptSymbol("none", nullptr, 0);
    none->type = kSymbolSceneItem;
    // Even an unknown name is not looked up without a ship.
    Run("ORDER 1 0 none \"NoSuchOrder\" 0 0 50 0 0");
    EXPECT_EQ(Object("LASTSHIP"), nullptr);
}

TEST_F(OrderStatementTest, UnknownNamesAndSlotsOutsideTheEightStop)
{
    Named("ship");
    Named("foe");
    EXPECT_EQ(RunUntilStop("ORDER 1 0 ship \"NoSuchOrder\" 0 0 50 0 0").text.find("ORDER unrecognised order name") !=
                  std::string::npos,
              true);
    EXPECT_NE(RunUntilStop("PLAYER_ORDER \"NoSuchOrder\" foe").text.find("ORDER unrecognised order name"),
              std::string::npos);
    for (const char* script : {"ORDER 8 0 ship \"SentryDuty\" 0 0 50 0 0", "ORDER -1 0 ship \"SentryDuty\" 0 0 50 0 0",
                               "ORDER_PARAMS 8 ship 1 2 3", "ASSERT_ORDER 9 ship", "CANCEL_ORDER 100 ship"})
        EXPECT_FALSE(RunUntilStop(script).text.empty()) << script;
}

TEST_F(OrderStatementTest, OrderParamsRestartsOnlyTheCurrentSlot)
{
    SceneItem* ship = Named("ship");
    Run("ORDER 1 0 ship \"SentryDuty\" 0 0 50 0 0\nORDER 2 0 ship \"SentryDuty\" 0 0 50 0 0");
    Run("ORDER_PARAMS 2 ship 4 5 6");
    EXPECT_EQ(Info(ship).orders[2].stateParameters[0], 4);
    EXPECT_EQ(Info(ship).stateStack[0].parameter1, 0);
    Run("ORDER_PARAMS 1 ship 7 8 9");
    EXPECT_EQ(Info(ship).orders[1].stateId, 61);
    EXPECT_EQ(Info(ship).stateStack[0].parameter1, 7);
    EXPECT_EQ(Info(ship).stateStack[0].parameter3, 9);

    Run("ASSERT_ORDER 2 ship");
    EXPECT_EQ(Info(ship).currentOrder, 2);
    EXPECT_EQ(Info(ship).stateStack[0].parameter2, 5);
}

TEST_F(OrderStatementTest, CancelOrderEmptiesTheSlotButKeepsItsName)
{
    SceneItem* ship = Named("ship");
    Named("foe");
    Run("ORDER 4 0 ship \"SentryDuty\" 0 0 50 foe 3");
    Info(ship).orders[4].flags = 2;
    Run("CANCEL_ORDER 4 ship");
    const OrderSlot& slot = Info(ship).orders[4];
    EXPECT_STREQ(slot.name, "SentryDuty");
    EXPECT_EQ(slot.flags, 0u);
    EXPECT_EQ(slot.evaluator, nullptr);
    EXPECT_EQ(slot.parameter1, 0);
    EXPECT_EQ(slot.parameter2, 0);
    EXPECT_EQ(slot.stateId, 0);
    EXPECT_EQ(slot.weight, 50);
}

TEST_F(OrderStatementTest, PlayerOrderSwitchesTheLdsDriveByItsKeyword)
{
    SceneItem* player = Named("player");
    Named("foe");
    gPlayerItem = gControlledItem = player;
    Sim& sim = *player->sim;
    sim.thrust = {1, 2, 3};

    Run("PLAYER_ORDER \"SentryDuty\" foe");
    EXPECT_EQ(sim.flags & kSimLdsEngaged, 0u);
    EXPECT_EQ(sim.ldsSpool, 0);
    EXPECT_EQ(sim.flags & kSimAiControl, kSimAiControl);
    EXPECT_EQ(sim.target.Get(), Object("foe"));
    EXPECT_STREQ(Info(player).orders[1].name, "SentryDuty");
    EXPECT_EQ(Info(player).orders[1].weight, 80);
    EXPECT_EQ(Info(player).orders[1].evaluator, &EvalDefault);
    EXPECT_EQ(Info(player).currentOrder, 1);

    Run("PLAYER_ORDER \"SentryDuty\" foe ON");
    EXPECT_EQ(sim.flags & kSimLdsEngaged, kSimLdsEngaged);
    EXPECT_EQ(sim.ldsSpool, static_cast<int32_t>(sim.flightModel->spoolTime));
    EXPECT_EQ(sim.ldsTargetSpeed, 100000.0f);
    EXPECT_EQ(sim.thrust.z, 100000.0f);
    EXPECT_EQ(sim.thrust.x, 0.0f);

    Run("PLAYER_ORDER \"SentryDuty\" foe OFF");
    EXPECT_EQ(sim.ldsSpool, -100);
    EXPECT_EQ(sim.ldsTargetSpeed, 0.0f);
}

// The LDS drive's sounds, as the event trace shows what would play.
TEST_F(OrderStatementTest, PlayerOrderSoundsTheLdsDriveOnlyWithItsKeyword)
{
    SceneItem* player = Named("player");
    Named("foe");
    gPlayerItem = gControlledItem = player;
    gTraceFile = std::tmpfile();
    ASSERT_NE(gTraceFile, nullptr);
    const auto sounds = [] {
        std::fflush(gTraceFile);
        std::rewind(gTraceFile);
        std::string lines;
        char line[128];
        while (std::fgets(line, sizeof line, gTraceFile))
            if (std::strstr(line, " sound "))
                lines += std::strstr(line, "sound");
        std::fclose(gTraceFile);
        gTraceFile = std::tmpfile();
        return lines;
    };
    Run("PLAYER_ORDER \"SentryDuty\" foe ON");
    EXPECT_EQ(sounds(), "sound 31\n");
    Run("PLAYER_ORDER \"SentryDuty\" foe OFF");
    EXPECT_EQ(sounds(), "sound 33\n");
    Run("PLAYER_ORDER \"SentryDuty\" foe");
    EXPECT_EQ(sounds(), "");
    std::fclose(gTraceFile);
    gTraceFile = nullptr;
}

TEST_F(OrderStatementTest, TargetsGoToTheSimAndTheCurrentSlot)
{
    SceneItem* ship = Named("ship");
    SceneItem* foe = Named("foe");
    SceneItem* beacon = Named("beacon", true);
    Run("ORDER 1 0 ship \"SentryDuty\" 0 0 50 0 0");
    Run("TARGET ship foe ON\nNAVTARGET ship beacon");
    EXPECT_EQ(ship->sim->target.Get(), foe);
    EXPECT_EQ(ship->sim->navTarget.Get(), beacon);
    EXPECT_EQ(Info(ship).orders[1].savedTarget.Get(), foe);
    // The navigation target is not the AI's leader.
    EXPECT_EQ(ship->sim->secondTarget.Get(), nullptr);
    EXPECT_EQ(Info(ship).orders[1].savedLeader.Get(), nullptr);

    // A plain object has no slot, but still its targets.
    SceneItem* rock = Named("rock", true);
    Run("WEPTARGET rock foe");
    EXPECT_EQ(rock->sim->target.Get(), foe);
}

TEST_F(OrderStatementTest, IgnoreStatementsClearExactlyTheirReferences)
{
    SceneItem* a = Named("a");
    SceneItem* b = Named("b");
    SceneItem* foe = Named("foe");
    Run("WEAPON a BEAMCANN ARC_FWD ARC_60 ARC_NORM 0 0 0");
    a->sim->target = foe;
    a->sim->secondTarget = foe;
    b->sim->target = foe;
    b->sim->secondTarget = foe;
    b->sim->navTarget = foe;
    a->sim->weapons->target = foe;

    Run("IGNORE_NAV foe");
    EXPECT_EQ(a->sim->secondTarget.Get(), nullptr);
    EXPECT_EQ(b->sim->navTarget.Get(), nullptr);
    EXPECT_EQ(b->sim->secondTarget.Get(), nullptr);
    EXPECT_EQ(a->sim->target.Get(), foe);
    EXPECT_EQ(a->sim->weapons->target.Get(), foe);
    EXPECT_EQ(gTargetSearchIgnoredItem, foe);
    EXPECT_EQ(gTargetSearchIgnoreTicks, 500);
    worldtest::RunFrame(20); // the simulation frame counts it down
    EXPECT_EQ(gTargetSearchIgnoreTicks, 480);

    gTargetSearchIgnoreTicks = 0;
    Run("IGNORE_WEP foe");
    EXPECT_EQ(a->sim->target.Get(), nullptr);
    EXPECT_EQ(b->sim->target.Get(), nullptr);
    EXPECT_EQ(a->sim->weapons->target.Get(), nullptr);
    EXPECT_EQ(gTargetSearchIgnoreTicks, 500);
}

// The bolt kinds: the launchers load their munition's model, which needs
// the 3D view. The ion cannon is a plain "PBC" mount with its glow.
TEST_F(OrderStatementTest, EveryBoltKindGivesItsMountNameAndIndex)
{
    struct Case {
        const char* keyword;
        int16_t kind;
        const char* mountName;
    };
    const Case cases[] = {
        {"BEAMCANN", 0, "PBC"},
        {"HEAVYBEAMCANN", 1, "PBC HEV"},
        {"LIGHTBEAMCANN", 2, "PBC LITE"},
        {"GATLEBEAMCANN", 3, "PBC GTL"},
        {"LONGBEAMCANN", 4, "PBC FAR"},
        {"CHAOS", 9, "PBC"},
        {"PBCXL", 10, "PBC XL"},
        {"SLOWBEAMCANN", 12, "PBC SLO"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string("ship_") + c.keyword;
        SceneItem* ship = Named(name.c_str());
        Run("WEAPON " + name + " " + c.keyword + " ARC_FWD ARC_AFT ARC_UPPER 1 2 3");
        Weapon* w = ship->sim->weapons;
        ASSERT_NE(w, nullptr) << c.keyword;
        EXPECT_STREQ(w->name, c.mountName);
        EXPECT_EQ(w->kind, c.kind);
        EXPECT_EQ(w->directionCode, 0x105) << c.keyword; // ARC_FWD | ARC_AFT is ARC_AFT's 0x5
        EXPECT_EQ(w->mountPosition.z, 3.0f);
    }
}

// The launcher kinds, each on a ship of its own. Their munitions' models
// need the 3D view, which is not running here: the loader's boxes are
// noted and the mounts are made all the same.
TEST_F(OrderStatementTest, EveryLauncherKindGivesItsMountNameAndIndex)
{
    static int boxes;
    boxes = 0;
    SetMessageBoxHook([](const char*, const char*) { ++boxes; });
    struct Case {
        const char* keyword;
        int16_t kind;
        const char* mountName;
    };
    const Case cases[] = {
        {"MISSLNCH", 5, "MAG - SEEKER"},
        {"LDS_SEEK", 6, "MAG - LDSI"},
        {"PROBE", 7, "MAG - PROBE"},
        {"ANTIMATTER", 8, "AM RELEASE"},
        {"PROXMINE", 11, "MAG - MINE"},
        {"RECON", 13, "MAG - REC PROBE"},
        {"REM_MISSILE", 14, "MAG - REM MISSILE"},
        {"ECMFLARE", 15, "MAG - ECM FLARE"},
        {"DISRUPTOR", 16, "MAG - DISRUPTOR"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string("ship_") + c.keyword;
        SceneItem* ship = Named(name.c_str());
        Run("WEAPON " + name + " " + c.keyword + " ARC_AFT ARC_TIGHT ARC_LOWER 0 0 -4");
        Weapon* w = ship->sim->weapons;
        ASSERT_NE(w, nullptr) << c.keyword;
        EXPECT_EQ(w->next, nullptr) << c.keyword;
        EXPECT_STREQ(w->name, c.mountName);
        EXPECT_EQ(w->kind, c.kind);
        EXPECT_EQ(w->flags & kWeaponBeam, 0u) << c.keyword; // launchers are no beams
        EXPECT_EQ(w->directionCode, 0x235) << c.keyword;
        EXPECT_EQ(w->mountPosition.z, -4.0f);
        EXPECT_EQ(ship->sim->weaponCount, 1) << c.keyword;
    }
    EXPECT_GT(boxes, 0);
}

TEST_F(OrderStatementTest, EachWeaponAppendsAndResetsTheCurrentMount)
{
    SceneItem* ship = Named("ship");
    Run("WEAPON ship BEAMCANN ARC_FWD ARC_WIDE ARC_NORM 0 0 10\nWEAPON ship HEAVYBEAMCANN ARC_AFT ARC_30 ARC_MEDIUM 0 0 -10");
    Weapon* first = ship->sim->weapons;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->next, nullptr);
    EXPECT_EQ(first->next->kind, 1);
    EXPECT_EQ(first->next->directionCode, 0x445);
    ship->sim->currentWeapon = first->next;
    Run("WEAPON ship PBCXL ARC_FWD ARC_60 ARC_FULL 0 0 0");
    EXPECT_EQ(ship->sim->currentWeapon, first);
    // The Sim counts the mounts it was given.
    EXPECT_EQ(ship->sim->weaponCount, 3);
    Named("none");
    SetSymbolObject(FindScriptSymbol("none"), nullptr);
    Run("WEAPON none BEAMCANN ARC_FWD ARC_60 ARC_NORM 0 0 0");
    EXPECT_EQ(ship->sim->weaponCount, 3);

    // A kind keyword where an arc belongs stops the script.
    EXPECT_FALSE(RunUntilStop("WEAPON ship BEAMCANN ARC_FWD PBCXL ARC_NORM 0 0 0").text.empty());
}

} // namespace

namespace {

// ---- Weapon loads and docking ------------------------------------------------

class DockStatementTest : public OrderStatementTest {
protected:
    void TearDown() override
    {
        gRapidFire = 0;
        gLastWeapon = nullptr;
        OrderStatementTest::TearDown();
    }
};

TEST_F(DockStatementTest, WeaponLoadEmptiesChargesOrFillsTheMount)
{
    SceneItem* ship = Named("ship");
    Run("WEAPON ship BEAMCANN ARC_FWD ARC_60 ARC_NORM 0 0 0");
    Weapon* beam = ship->sim->weapons;
    Weapon* launcher = NewWeapon(ship); // a plain mount: not a beam
    ASSERT_NE(launcher, nullptr);
    launcher->magazineSize = 4;
    launcher->rounds = 1;

    Run("WEAPON_LOAD ship 1 0");
    EXPECT_EQ(beam->flags & kWeaponEmpty, kWeaponEmpty);
    Run("WEAPON_LOAD ship 1 12.5");
    EXPECT_EQ(beam->flags & kWeaponEmpty, 0u);
    EXPECT_EQ(beam->flags & kWeaponCharges, kWeaponCharges);
    EXPECT_EQ(beam->charges, 12.5f);

    // Past the end of the list: the last mount.
    Run("WEAPON_LOAD ship 9 3.7");
    EXPECT_EQ(launcher->rounds, 4);
    EXPECT_EQ(launcher->magazines, 3);
    EXPECT_EQ(launcher->flags & kWeaponCharges, 0u);

    // A ship without mounts is left alone.
    Named("bare");
    EXPECT_TRUE(RunUntilStop("WEAPON_LOAD bare 1 5").text.empty());
}

TEST_F(DockStatementTest, LoadoutAndSystemLinkWorkOnTheLastMountMadeWhileItLasts)
{
    SceneItem* ship = Named("ship");
    Weapon* launcher = NewWeapon(ship);
    ASSERT_EQ(gLastWeapon, launcher);
    Run("WEPLOADOUT 6 2");
    EXPECT_EQ(launcher->rounds, 6);
    EXPECT_EQ(launcher->magazines, 2);

    Run("WEAPON ship BEAMCANN ARC_FWD ARC_60 ARC_NORM 0 0 0");
    Weapon* beam = gLastWeapon;
    Run("WEPLOADOUT 9 9");
    EXPECT_EQ(beam->rounds, 0); // a beam has no magazines

    // Deleting the ship, and the mission's reset, forget it.
    FreeItemWeapons(ship);
    EXPECT_EQ(gLastWeapon, nullptr);
    NewWeapon(ship);
    ResetInterpreterState();
    EXPECT_EQ(gLastWeapon, nullptr);
    EXPECT_TRUE(RunUntilStop("WEPLOADOUT 1 1\nWEPSYSLINK \"Lasers\"").text.empty());
}

TEST_F(DockStatementTest, RapidFireIsOnOnlyWithOn)
{
    for (const auto& [script, expected] : {std::pair{"RAPIDFIRE ON", 255}, {"RAPIDFIRE OFF", 0}, {"RAPIDFIRE ON", 255}, {"RAPIDFIRE", 0}}) {
        Run(script);
        EXPECT_EQ(gRapidFire, expected) << script;
    }
}

TEST_F(DockStatementTest, DockPointsTakeTheirModeTypeAndReadiness)
{
    SceneItem* ship = Named("ship");
    Run("DOCKPT ship DOCK_OVERRIDE DOCKTYPE_COMMAND ON 10 20 3 100 200 300 7.9\n"
        "DOCKPT ship DOCK_NORMAL DOCKTYPE_UNIVERSAL OFF 0 0 0 0 0 0 0");
    DockPoint* first = NthDockPoint(ship, 0, nullptr);
    DockPoint* second = NthDockPoint(ship, 1, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, first);
    EXPECT_EQ(first->flags & (kDockHandsControl | kDockFree), kDockHandsControl | kDockFree);
    EXPECT_EQ(first->mask, 1u);
    EXPECT_EQ(first->kind, 3);
    EXPECT_EQ(first->priority, 7);
    EXPECT_EQ(second->flags & (kDockHandsControl | kDockFree), 0u);
    EXPECT_EQ(second->mask, 16u);

    Run("DOCK_READY ship 1 DOCK_DISAPPEAR");
    EXPECT_EQ(second->flags & (kDockFree | kDockDeleteA), kDockFree | kDockDeleteA);
    Run("DOCK_UNREADY ship 1 DOCK_NORMAL");
    EXPECT_EQ(second->flags & (kDockFree | kDockDeleteA), kDockDeleteA);

    // A ship without dock points is left alone; a bad mode stops.
    Named("bare");
    EXPECT_TRUE(RunUntilStop("DOCK_READY bare 0 DOCK_NORMAL\nDOCK_UNREADY bare 2 DOCK_NORMAL").text.empty());
    EXPECT_FALSE(RunUntilStop("DOCK_READY ship 0 ON").text.empty());
}

TEST_F(DockStatementTest, DockCouplesAtTheNamedPointsAndUndockReleases)
{
    SceneItem* a = Named("a");
    SceneItem* b = Named("b");
    Run("DOCKPT a DOCK_NORMAL DOCKTYPE_UNIVERSAL OFF 0 0 0 0 0 100 0\n"
        "DOCKPT b DOCK_NORMAL DOCKTYPE_UNIVERSAL OFF 0 0 0 0 0 -100 0");
    a->sim->flags |= kSimNoUndock;
    Run("DOCK a b 0 0");
    DockPoint* pa = NthDockPoint(a, 0, nullptr);
    EXPECT_EQ(pa->flags & kDockEngaged, kDockEngaged);
    EXPECT_EQ(pa->partnerItem.Get(), b);
    EXPECT_EQ(gScriptDocking, 0);

    Run("UNDOCK a");
    EXPECT_EQ(a->sim->flags & kSimNoUndock, 0u);
    EXPECT_EQ(pa->flags & kDockEngaged, 0u);
}

} // namespace

namespace {

// ---- Engine, lights, HUD string, sounds and event actions ---------------------

class GearStatementTest : public OrderStatementTest {
protected:
    void TearDown() override
    {
        gHudStringNumber = gHudWatchedNumber = 0;
        OrderStatementTest::TearDown();
    }
    // A resource symbol whose record holds `data` (a sound slot, a film).
    static Resource* NamedResource(const char* name, void* data)
    {
        if (ResPoolSize() == 0)
            ResInit();
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolResource;
        Resource* record = ResAllocSized(kResRowModels, 16);
        record->data = data;
        symbol->value = record;
        return record;
    }
};

TEST_F(GearStatementTest, EngineFillsTheFlightModelAndItsUnscaledCopy)
{
    SceneItem* ship = Named("ship");
    SceneItem* rock = Named("rock", true);
    Run("ENGINE ship 10 20 30 40 50 60 70 80\nENGINE rock 1 2 3 4 5 6 7 8");
    FlightModel expected{};
    InitFlightModel(&expected, 10, 20, 30, 40, 50, 60, 70, 80);
    EXPECT_EQ(std::memcmp(&Info(ship).flightModel, &expected, sizeof expected), 0);
    EXPECT_EQ(std::memcmp(&Info(ship).baseFlightModel, &expected, sizeof expected), 0);

    // An object without a ShipInfo flies on a model of its own.
    ASSERT_NE(rock->sim->flightModel, nullptr);
    InitFlightModel(&expected, 1, 2, 3, 4, 5, 6, 7, 8);
    EXPECT_EQ(std::memcmp(rock->sim->flightModel, &expected, sizeof expected), 0);
}

TEST_F(GearStatementTest, LightsSwitchTheMarkerSetAndTheEngineFloor)
{
    SceneItem* ship = Named("ship");
    Run("LIGHT ship 1 2 3 1.5 2 30 40 5");
    TDP* set = MarkerSetOf(ship);
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(ship->avatar->root->firstChild, set);
    const int16_t points = set->emitter->pointCount;
    EXPECT_GE(points, 1);
    Run("LIGHT ship 0 0 1 1 2 30 40 5");
    EXPECT_EQ(set->emitter->pointCount, points + 1);

    ship->sim->flags |= kSimNoDamage;
    Run("LIGHTS ship OFF");
    EXPECT_EQ(ship->sim->flags & (kSimNoDamage | kSimNoMinimumEngine), kSimNoMinimumEngine);
    EXPECT_EQ(set->emitter->flags & kEmitterHidden, kEmitterHidden);
    Run("LIGHTS ship ON");
    EXPECT_EQ(ship->sim->flags & kSimNoMinimumEngine, 0u);
    EXPECT_EQ(set->emitter->flags & kEmitterHidden, 0u);

    // No child part: only the flags.
    SceneItem* bare = Named("bare", true);
    Run("LIGHTS bare OFF");
    EXPECT_EQ(bare->sim->flags & kSimNoMinimumEngine, kSimNoMinimumEngine);
    EXPECT_FALSE(RunUntilStop("LIGHTS bare").text.empty());
}

TEST_F(GearStatementTest, HudStringShowsTheNumberUntilOff)
{
    Run("SET count 42\nHUD_STRING 7.9 count");
    EXPECT_EQ(gHudStringNumber, 7);
    EXPECT_EQ(gHudWatchedNumber, 42);
    Run("HUD_STRING 3 count OFF");
    EXPECT_EQ(gHudStringNumber, 0);
    EXPECT_EQ(gHudWatchedNumber, 0);
}

TEST_F(GearStatementTest, SoundsTakeTheirVolumeAndOwner)
{
    SoundSlot slot{};
    slot.volume = 123;
    NamedResource("beep", &slot);
    Run("PLAYSOUND beep");
    EXPECT_EQ(slot.volume, 0);
    Run("PLAYSOUND beep -500 0 0");
    EXPECT_EQ(slot.volume, -500);

    SceneItem* ship = Named("ship");
    Run("ATTACH_SND ship beep");
    EXPECT_EQ(ship->avatar->soundSlot, &slot);
    EXPECT_EQ(slot.owner, ship);

    // A symbol that holds no sound does nothing.
    SceneItem* other = Named("other");
    EXPECT_TRUE(RunUntilStop("PLAYSOUND silence 1 2 3\nATTACH_SND other silence").text.empty());
    EXPECT_EQ(other->avatar->soundSlot, nullptr);
}

TEST_F(GearStatementTest, EventActionsHangOnTheObjectInStatementOrder)
{
    SceneItem* ship = Named("ship");
    int film = 0;
    Resource* record = NamedResource("film", &film);
    Run("DO_WHEN ship AT_DOCKED AF_STARGATE\nDO_WHEN ship AT_DOCKED AF_ADD_VENT\nPLAY_WHEN ship AT_ENT_LDS film");
    const Action* first = ship->sim->actions;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->next, nullptr);
    ASSERT_NE(first->next->next, nullptr);
    EXPECT_EQ(first->key, 5u);
    EXPECT_EQ(first->flags & kActionCallback, kActionCallback);
    EXPECT_EQ(first->next->key, 5u);
    EXPECT_NE(first->callback, first->next->callback);
    EXPECT_EQ(first->next->next->key, 10u);
    EXPECT_EQ(first->next->next->flags & kActionFilm, kActionFilm);
    EXPECT_EQ(first->next->next->scriptRecord, record);

    // The tables end where their rows end.
    EXPECT_FALSE(RunUntilStop("DO_WHEN ship AT_DOCKED AT_ENT_LDS").text.empty());
    EXPECT_FALSE(RunUntilStop("DO_WHEN ship AF_ADD_VENT AF_ADD_VENT").text.empty());
}

} // namespace

namespace {

// ---- Cameras and the director -------------------------------------------------

class CameraStatementTest : public OrderStatementTest {
protected:
    void SetUp() override
    {
        OrderStatementTest::SetUp();
        savedRow_ = DirectorEvent[12];
        savedStation_ = CurrentStation;
    }
    void TearDown() override
    {
        DirectorEvent[12] = savedRow_;
        CurrentStation = savedStation_;
        gExternalView = 0;
        gPlayerCamera = nullptr;
        ResetCameras();
        OrderStatementTest::TearDown();
    }
    DirectorEventRow savedRow_{};
    int16_t savedStation_ = 0;
};

TEST_F(CameraStatementTest, CamerasFillTheirKindsSlots)
{
    SceneItem* ship = Named("ship");
    Run("CAMERA fixed CAM_FIXED ship 0 0 0\nCAMERA chase CAM_CHASE ship 0 0 0");
    SceneItem* fixed = Object("fixed");
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(gPlayerCamera, fixed);
    EXPECT_EQ(fixed->control, nullptr);
    EXPECT_EQ(gChaseCamera, Object("chase"));
    EXPECT_EQ(gLastCamera, Object("chase"));
    EXPECT_EQ(gChaseCamera->avatar->linkItem.Get(), ship);

    // CAM_PLAYER writes the same slot: the later camera is the player's.
    Run("CAMERA eye CAM_PLAYER ship 0 0 0");
    EXPECT_EQ(gPlayerCamera, Object("eye"));
    EXPECT_NE(gPlayerCamera, fixed);

    // No watched object: no camera, the symbol as it was.
    ScriptSymbol* none = AddScriptSymbol("none", nullptr, 0);
    none->type = kSymbolSceneItem;
    Run("CAMERA eye CAM_TRACK none 0 0 0");
    EXPECT_EQ(gTrackCamera, nullptr);
    EXPECT_EQ(gPlayerCamera, Object("eye"));
    EXPECT_FALSE(RunUntilStop("CAMERA bad ON ship 0 0 0").text.empty());
}

TEST_F(CameraStatementTest, DirectorFillsTheScriptedShotRowAndGoesExternal)
{
    Named("ship");
    Named("foe");
    Run("DIRECTOR ship foe CAM_CONTACT 300.7");
    EXPECT_EQ(DirectorEvent[12].camera, &CAM_CONTACT);
    EXPECT_EQ(DirectorEvent[12].holdTicks, 300);
    EXPECT_EQ(gExternalView, 255);
    EXPECT_EQ(gDirectorOn, 255);
    // The scripted shot is taken and then held locked against cycling.
    EXPECT_EQ(gCameras.director.event, 12);
    EXPECT_EQ(gCameras.director.subject.Get(), Object("ship"));
    EXPECT_EQ(gCameras.director.target.Get(), Object("foe"));
    EXPECT_EQ(gCameras.director.hold, 300);
    EXPECT_EQ(gCameras.director.locked, 255);
    // A second shot replaces the first although the director is locked.
    Run("DIRECTOR foe ship CAM_TRACK 50");
    EXPECT_EQ(gCameras.director.subject.Get(), Object("foe"));
    EXPECT_EQ(gCameras.director.hold, 50);
    EXPECT_EQ(gCameras.director.locked, 255);
    EXPECT_FALSE(RunUntilStop("DIRECTOR ship foe CAM_CHASE").text.empty());
    EXPECT_FALSE(RunUntilStop("DIRECTOR ship foe AT_DOCKED 1").text.empty());
}

} // namespace
