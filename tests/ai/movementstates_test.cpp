// The movement, LDS, escort, hunting, hiding and drone states, run through
// the real dispatcher on ships of the world fixture: the ranges and points
// they keep, where they push and pop, and the calls their timers count.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ai/aistate.h"
#include "ai/escortstates.h"
#include "ai/huntingstates.h"
#include "ai/movementstates.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "tests/script/script_test_support.h"
#include "tests/support/world_fixture.h"
#include "world/lds.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

class MovementStatesTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadAIStateTable();
        CRandSeed(7);
    }
    void TearDown() override
    {
        LoadAIStateTable();
        WorldTest::TearDown();
    }

    // A ship of the given radius at a point.
    static SceneItem* Ship(double x, double y, double z, float radius = 1000.0f)
    {
        SceneItem* item = MakeItem();
        MakeShip(item);
        Place(item, x, y, z);
        item->sim->radius = radius;
        return item;
    }
    static void Place(SceneItem* item, double x, double y, double z)
    {
        item->sim->position = {x, y, z};
        item->sim->matrix.m[12] = static_cast<float>(x);
        item->sim->matrix.m[13] = static_cast<float>(y);
        item->sim->matrix.m[14] = static_cast<float>(z);
    }
    // Starts the ship's stack with one state at its bottom.
    static void Start(SceneItem* item, int32_t state, int32_t p1 = 0, int32_t p2 = 0, int32_t p3 = 0)
    {
        ShipInfo* info = item->sim->shipInfo;
        ResetStateStack(info);
        AIStateFrame& frame = info->stateStack[0];
        frame = AIStateFrame{};
        frame.stateId = state;
        frame.parameter1 = p1;
        frame.parameter2 = p2;
        frame.parameter3 = p3;
        frame.subState = 1;
        frame.timerSlot = 5;
    }
    static const AIStateFrame& Top(SceneItem* item)
    {
        const ShipInfo* info = item->sim->shipInfo;
        return info->stateStack[info->currentFrame];
    }
    static int32_t Depth(SceneItem* item) { return item->sim->shipInfo->currentFrame; }
    // One control step: turning is free again, then the stack runs.
    static int32_t Run(SceneItem* item)
    {
        item->sim->flags &= ~kSimTurnOncePerFrame;
        return RunAIStateStack(item, item->sim->shipInfo);
    }
};

int32_t Handle(const SceneItem* item) { return static_cast<int32_t>(ItemHandle(item)); }

// A stand-in child that notes its parameters and pops with 1.0 at once.
std::vector<std::vector<int32_t>> gChildCalls;
AIStateResult* NotingChild(AIStateResult* r, SceneItem*, int16_t, float, int32_t*, int32_t p1,
                           int32_t p2, int32_t p3)
{
    gChildCalls.push_back({p1, p2, p3});
    r->action = kAIPop;
    r->value = 1.0f;
    return r;
}

} // namespace

TEST_F(MovementStatesTest, AchieveRangeWithoutARangeKeeps54000BetweenTwoItemsOfRadius1000)
{
    SceneItem* target = Ship(0, 0, 0);
    SceneItem* ship = Ship(0, 0, 54001);
    ship->sim->target = target;
    EXPECT_EQ(DefaultApproachRange(ship, target), 54000);
    Start(ship, 47, 0, Handle(target), 1);
    EXPECT_EQ(Run(ship), 47); // still closing
    Place(ship, 0, 0, 53999);
    EXPECT_EQ(Run(ship), 11); // within range: holds where it is
    EXPECT_EQ(Top(ship).parameter3, 53999);
}

TEST_F(MovementStatesTest, TheDefaultRangeIsCappedForHugeItems)
{
    SceneItem* a = Ship(0, 0, 0, 1e9f);
    SceneItem* b = Ship(0, 0, 0, 1e9f);
    EXPECT_EQ(DefaultApproachRange(a, b), 825105408);
}

TEST_F(MovementStatesTest, LdsEscortWithoutARangeTrailsByAMillion)
{
    SceneItem* leader = Ship(0, 0, 0);
    SceneItem* ship = Ship(0, 0, -500000);
    leader->sim->flags |= kSimLdsEngaged;
    ship->sim->flags |= kSimLdsEngaged;
    leader->sim->thrust.z = 2000000.0f;
    ship->sim->target = leader;
    Start(ship, 70, 0, 0, 0);
    EXPECT_EQ(Run(ship), 70);
    // 500000 behind, inside the range: a.z / 2 + its speed - R.
    EXPECT_FLOAT_EQ(ship->sim->ldsTargetSpeed, 250000.0f + 2000000.0f - 1000000.0f);
}

TEST_F(MovementStatesTest, LdsEscortOutOfLdsFallsBackToAnEscortOrPops)
{
    SceneItem* leader = Ship(0, 0, 0, 2000.0f);
    leader->sim->flags |= kSimLdsEngaged;
    SceneItem* ship = Ship(0, 0, -500000, 1000.0f);
    ship->sim->target = leader;
    Start(ship, 70, 1500000, 0, 0);
    gAIStates.handlers[49] = NotingChild;
    gChildCalls.clear();
    Run(ship); // it notices that it is out of LDS
    Run(ship);
    ASSERT_EQ(gChildCalls.size(), 1u);
    EXPECT_EQ(gChildCalls[0], (std::vector<int32_t>{9000, Handle(leader), 1}));

    Start(ship, 70, 1500000, 0, 1); // escort in normal space forbidden
    Run(ship);
    EXPECT_EQ(Run(ship), 0);
    EXPECT_EQ(Top(ship).stateId, 0);
}

TEST_F(MovementStatesTest, SeekOrbitalSpeedHoldsTheAltitudeOfItsParameter)
{
    SceneItem* planet = Ship(0, 0, 0, 2000000.0f);
    planet->sim->mass = 6e24f;
    SceneItem* ship = Ship(0, 16000000, 0);
    ship->flags |= kItemNearPlanet; // as the planet response notes it
    ship->sim->planet = planet;
    ship->sim->planetDirection = {0.0f, -1.0f, 0.0f};
    ship->sim->velocity = {0.0f, 0.0f, 1000.0f};
    struct Case {
        float altitude;
        float thrustY;
    };
    // 150 x 100000 = 15000000. The ship's y axis is the direction to the
    // body: below the altitude it thrusts against it (climbs), above it
    // along it (sinks), at it it holds.
    const float a = ship->sim->flightModel->acceleration;
    for (const Case& c : {Case{14000000.0f, -a}, Case{15000000.0f, 0.0f}, Case{16000000.0f, a}}) {
        ship->sim->altitude = c.altitude;
        Start(ship, 73, 782004, 150, 0);
        Run(ship);
        EXPECT_FLOAT_EQ(ship->sim->thrust.y, c.thrustY) << c.altitude;
    }
    const double v = std::sqrt(6.673e-11 * 6e24 / (1000000.0 + 16000000.0)) * 1000.0;
    EXPECT_NEAR(ship->sim->ldsTargetSpeed, v, v * 1e-5);
}

TEST_F(MovementStatesTest, MoveAwayHeadsOutAndPopsAtTwiceOrHalfTheStartingDistance)
{
    SceneItem* ship = Ship(0, 0, 0);
    TDP* part = AllocTDP();
    ASSERT_NE(part, nullptr);
    part->flags |= kTdpInUse;
    part->worldCentre = {0.0f, 0.0f, 0.0f};
    auto at = [&](float z) { ship->avatar->root->worldCentre = {0.0f, 0.0f, z}; };
    struct Case {
        float to;
        int32_t top; // the state on top after the run: 6 stays, 0 popped
    };
    for (const Case& c : {Case{40000.0f, 6}, Case{60001.0f, 0}, Case{14999.0f, 0}}) {
        at(30000.0f);
        Start(ship, 6, PartParam(part));
        Run(ship); // sub-state 1 measures 30000
        EXPECT_EQ(ship->sim->shipInfo->stateStack[0].timers[2], 60000);
        at(c.to);
        EXPECT_EQ(Run(ship), c.top) << c.to;
    }
    // A part freed meanwhile reads null: the move ends.
    at(30000.0f);
    Start(ship, 6, PartParam(part));
    Run(ship);
    part->flags = 0;
    EXPECT_EQ(Run(ship), 0);
}

TEST_F(MovementStatesTest, ChasePreyPopsOnItsSeventhCallAndTheChainTestsTheSamePreyAgain)
{
    SceneItem* ship = Ship(0, 0, 0);
    SceneItem* bare = Ship(0, 0, 100); // its root part lacks flag 0x10: passed over
    SceneItem* prey = Ship(0, 0, 200);
    bare->avatar->root->flags &= ~kTdpNew;
    prey->avatar->root->flags |= kTdpNew;
    ship->sim->target = bare;
    Start(ship, 4);
    EXPECT_EQ(Run(ship), 3); // tested, moved on to the prey, chasing it
    EXPECT_EQ(ship->sim->target.Get(), prey);
    for (int call = 2; call <= 6; ++call)
        EXPECT_EQ(Run(ship), 3) << call;
    // The seventh call: 0 handed back, the base starts over with the test
    // (which passes the same prey) and watches it again.
    EXPECT_EQ(Run(ship), 3);
    EXPECT_EQ(ship->sim->target.Get(), prey);
    EXPECT_EQ(Top(ship).timers[0], 5);
}

TEST_F(MovementStatesTest, TheChainGivesUpAtTheEndOfTheList)
{
    SceneItem* ship = Ship(0, 0, 0);
    SceneItem* last = Ship(0, 0, 100);
    last->avatar->root->flags &= ~kTdpNew;
    ship->sim->target = last;
    Start(ship, 2);
    EXPECT_EQ(Run(ship), 0);
    EXPECT_EQ(ship->sim->target.Get(), nullptr);
}

TEST_F(MovementStatesTest, DroneChasingTargetWakesWithinItsDistance)
{
    SceneItem* player = Ship(0, 0, 600000);
    gPlayerItem = player;
    SceneItem* drone = Ship(0, 0, 0);
    Start(drone, 39, 100000, 500000, 0);
    Run(drone);
    EXPECT_EQ(Top(drone).subState, 1); // asleep
    EXPECT_EQ(drone->avatar->escort.Get(), player);
    Place(player, 0, 0, 400000);
    Run(drone);
    EXPECT_EQ(Top(drone).subState, 2);
    EXPECT_GT(drone->sim->thrust.z, 0.0f); // closing
    Start(drone, 39, 100000, 0, 0);
    Place(player, 0, 0, 600000);
    Run(drone);
    EXPECT_EQ(Top(drone).subState, 2); // no waking distance: at once
    gPlayerItem = nullptr;
}

TEST_F(MovementStatesTest, PlayerFollowerWithoutItsCommanderPopsWithOneDebugLine)
{
    SceneItem* ship = Ship(0, 0, 0);
    SceneItem* commander = Ship(0, 0, 1000000);
    ship->sim->shipInfo->leader = commander;
    Start(ship, 43);
    EXPECT_EQ(Run(ship), 43);
    DeleteSceneItem(commander);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run(ship), 0);
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "kqzai_FollowPlayerState - no leader\n");
    EXPECT_TRUE(worldtest::FatalStops().empty());
}

TEST_F(MovementStatesTest, LdsFlightThatArrivedOutOfLdsPopsInsteadOfApproachingForEver)
{
    SceneItem* target = Ship(0, 0, 0);
    SceneItem* ship = Ship(0, 0, 10000);
    ship->sim->target = target;
    Start(ship, 71, Handle(target), 0, 0);
    ship->sim->shipInfo->stateStack[0].subState = 3;
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run(ship), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(MovementStatesTest, BusDriverVisitsItsGatesThenWaitsForGateZero)
{
    BeginScriptTest();
    std::vector<SceneItem*> gates;
    for (int n = 1; n <= 3; ++n) {
        gates.push_back(Ship(0, 0, 1e6 * n));
        const std::string name = "Gate" + std::to_string(n);
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        ASSERT_NE(symbol, nullptr);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, gates.back());
    }
    gAIStates.handlers[47] = NotingChild; // each approach arrives at once
    gChildCalls.clear();
    SceneItem* bus = Ship(0, 0, 0);
    Start(bus, 52, Handle(gates[0]), 1, 0);
    for (int frame = 0; frame < 6; ++frame)
        EXPECT_EQ(Run(bus), 52);
    ASSERT_EQ(gChildCalls.size(), 3u);
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(gChildCalls[n], (std::vector<int32_t>{500000, Handle(gates[n]), 0}));
    EXPECT_EQ(Top(bus).subState, 4); // Gate4 and Gate0 missing: it looks each frame
    EXPECT_EQ(Top(bus).timers[0], 0);

    SceneItem* gate0 = Ship(0, 0, -1e6);
    ScriptSymbol* symbol = AddScriptSymbol("Gate0", nullptr, 0);
    symbol->type = kSymbolSceneItem;
    SetSymbolObject(symbol, gate0);
    Run(bus);
    Run(bus);
    ASSERT_GE(gChildCalls.size(), 4u);
    EXPECT_EQ(gChildCalls[3][1], Handle(gate0));
    EndScriptTest();
}

TEST_F(MovementStatesTest, LoiterFarAwayApproachesToTwiceItsRangeThenCirclesSixSeconds)
{
    SceneItem* place = Ship(0, 0, 0, 10000.0f);
    SceneItem* ship = Ship(0, 0, 1e7, 1000.0f);
    // R = 2 x 10000 + 1000 + 100000.
    const int32_t range = 121000;
    gAIStates.handlers[47] = NotingChild;
    gChildCalls.clear();
    Start(ship, 54, Handle(place), 0, 0);
    for (int i = 0; i < 40 && gChildCalls.empty(); ++i)
        Run(ship);
    ASSERT_FALSE(gChildCalls.empty());
    EXPECT_EQ(gChildCalls[0], (std::vector<int32_t>{2 * range, Handle(place), 0}));

    Place(ship, 0, 0, 200000);
    Start(ship, 54, Handle(place), 0, 0);
    while (Top(ship).subState != 4)
        Run(ship);
    int calls = 1;
    while (Run(ship) == 54 && Top(ship).subState == 4)
        ++calls;
    EXPECT_EQ(calls, 121); // 5 ticks a call, past 600 ticks
}

TEST_F(MovementStatesTest, DroneTargetKeepsItsHeadingAndSpeedsUpToItsParameter)
{
    SceneItem* drone = Ship(0, 0, 0);
    const Matrix4 before = drone->sim->matrix;
    Start(drone, 37, 100000);
    Run(drone);
    EXPECT_EQ(drone->sim->thrust.z, drone->sim->flightModel->acceleration);
    drone->sim->speed = 100000.0f;
    Run(drone);
    EXPECT_EQ(drone->sim->thrust.z, 0.0f);
    EXPECT_EQ(std::memcmp(before.m, drone->sim->matrix.m, sizeof before.m), 0);
}

TEST_F(MovementStatesTest, HideFromSearchesForCoverAndHidesBehindIt)
{
    SceneItem* ship = Ship(0, 0, 0);
    ship->avatar->root->worldCentre = {0.0f, 0.0f, 0.0f};
    SceneItem* threat = Ship(0, 0, 0);
    threat->avatar->root->worldCentre = {0.0f, 0.0f, 900000.0f};
    Start(ship, 7, PartParam(threat->avatar->root));
    // No part within 100000: it stays and searches again next frame.
    EXPECT_EQ(Run(ship), 7);
    EXPECT_EQ(Top(ship).subState, 1);

    SceneItem* rock = Ship(0, 0, 0, 5000.0f);
    rock->avatar->root->worldCentre = {0.0f, 0.0f, 50000.0f};
    rock->avatar->root->radius = 5000.0f;
    EXPECT_EQ(Run(ship), 8); // hiding behind the rock
    EXPECT_EQ(Top(ship).parameter2, PartParam(rock->avatar->root));

    // Closer to the cover than half of D (4 x 5000 + the ship's radius):
    // it moves away first.
    ship->avatar->root->worldCentre = {0.0f, 0.0f, 45000.0f};
    EXPECT_EQ(Run(ship), 6);
}

TEST_F(MovementStatesTest, LagrangeStateLinesUpBehindTheGateAndJumpsThroughIt)
{
    gAIStates.handlers[47] = NotingChild; // each leg arrives at once
    gAIStates.handlers[11] = NotingChild;
    for (const bool player : {false, true}) {
        SCOPED_TRACE(player);
        gChildCalls.clear();
        SceneItem* gate = Ship(0, 0, 0, 5000.0f);
        SceneItem* ship = Ship(0, 0, -10000, 1000.0f);
        gPlayerItem = player ? ship : nullptr;
        ship->sim->target = gate;
        Start(ship, 17, 0, 7, 0);
        for (int i = 0; i < 4 && Top(ship).stateId == 17; ++i)
            Run(ship);
        // Range 2 x 1000 + 300000: approach, then the point behind the gate.
        ASSERT_EQ(gChildCalls.size(), 2u);
        EXPECT_EQ(gChildCalls[0], (std::vector<int32_t>{302000, Handle(gate), 0}));
        EXPECT_EQ(gChildCalls[1], (std::vector<int32_t>{0, 0, -302000}));
        EXPECT_EQ(Top(ship).stateId, 0); // through the gate
        EXPECT_EQ(gate->avatar->deviceSystem, player ? 0 : 7);
        gPlayerItem = nullptr;
    }
}
