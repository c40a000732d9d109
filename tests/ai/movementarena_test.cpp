// Whole journeys in the world's frame: ships flown by SIM_MAIN under
// CONTROL_AI in fixed 5-tick frames, their states run by the real stack.
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "ai/aistate.h"
#include "ai/movementstates.h"
#include "ai/orders.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/digest.h"
#include "world/floatingorigin.h"
#include "world/lds.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::RunFrame;
using worldtest::WorldTest;

namespace {

class MovementArenaTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadAIStateTable();
        CRandSeed(11);
    }

    // An AI ship with a growing LDS drive, facing +z.
    static SceneItem* AiShip(double z)
    {
        SceneItem* item = MakeItem(SIM_MAIN, CONTROL_AI);
        ShipInfo* info = MakeShip(item);
        InitFlightModel(&info->flightModel, 100, 10, 200, 1e8f, 30, 30, 30, 100);
        item->avatar->renderSync = CopySimToAvatar; // what the drive's tests read
        Place(item, z);
        item->sim->radius = 1000.0f;
        return item;
    }
    static void Place(SceneItem* item, double z)
    {
        item->sim->position = {0.0, 0.0, z};
        item->sim->matrix.m[14] = static_cast<float>(z);
    }
    static void Start(SceneItem* item, int32_t state, int32_t p1, int32_t p2, int32_t p3)
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
    static double Gap(const SceneItem* a, const SceneItem* b)
    {
        const WorldPosition& p = a->sim->position;
        const WorldPosition& q = b->sim->position;
        return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
    }
};

} // namespace

TEST_F(MovementArenaTest, LdsFlightCrossesABillionAndTakesTheVelocityOnlyOfAShip)
{
    for (const bool targetIsShip : {false, true}) {
        SCOPED_TRACE(targetIsShip);
        ResetSimulation();
        SceneItem* ship = AiShip(0.0);
        SceneItem* target = MakeItem();
        if (targetIsShip)
            MakeShip(target);
        target->avatar->renderSync = CopySimToAvatar;
        target->sim->radius = 1000.0f;
        target->sim->position = {0.0, 0.0, 1e9};
        target->sim->matrix.m[14] = 1e9f;
        target->sim->velocity = {0.0f, 0.0f, 777.0f};
        ship->sim->target = target;
        Start(ship, 71, static_cast<int32_t>(ItemHandle(target)), 0, 0);

        bool engaged = false;
        int frames = 0;
        for (; frames < 40000 && ship->sim->shipInfo->stateStack[0].stateId == 71; ++frames) {
            RunFrame(5);
            engaged = engaged || (ship->sim->flags & kSimLdsEngaged);
        }
        EXPECT_TRUE(engaged);
        EXPECT_EQ(ship->sim->shipInfo->stateStack[0].stateId, 0) << frames;
        EXPECT_FALSE(ship->sim->flags & kSimLdsEngaged);
        // The turn time is 360 / (30 + 30) = 6 s: within 100000 x 6 plus
        // five radii.
        EXPECT_LT(Gap(ship, target), 100000.0 * 6 + 5 * 1000.0 + 10000.0);
        // (The frame of arrival still brakes the ship a little.)
        if (targetIsShip)
            EXPECT_NEAR(ship->sim->velocity.z, 777.0f, 20.0f);
        else
            EXPECT_NEAR(ship->sim->velocity.z, 0.0f, 20.0f);
    }
}

TEST_F(MovementArenaTest, AnEscortFollowsItsLeaderAndItsLeadersLdsTakesItIntoLdsEscort)
{
    SceneItem* leader = AiShip(100000.0);
    SceneItem* escort = AiShip(0.0);
    // The leader flies forwards at full thrust, on half the escort's.
    InitFlightModel(&leader->sim->shipInfo->flightModel, 50, 10, 200, 1e8f, 30, 30, 30, 100);
    Start(leader, 56, 0, 0, 0);
    escort->sim->target = leader;
    Start(escort, 49, 70000, static_cast<int32_t>(ItemHandle(leader)), 0);
    double farthest = 0.0;
    int frames = 0;
    for (; leader->sim->position.z < 1.1e6 && frames < 20000; ++frames) {
        RunFrame(5);
        if (frames > 1200)
            farthest = std::max(farthest, Gap(leader, escort));
    }
    EXPECT_GE(leader->sim->position.z, 1.1e6);
    EXPECT_GT(farthest, 0.0);
    EXPECT_LT(farthest, 70000.0);

    // The leader goes into LDS: the escort follows it there.
    ASSERT_TRUE(EngageLds(leader));
    int32_t top = 0;
    for (int i = 0; i < 400 && top != 70; ++i) {
        RunFrame(5);
        const ShipInfo* info = escort->sim->shipInfo;
        top = info->stateStack[info->currentFrame].stateId;
    }
    EXPECT_EQ(top, 70);
}

namespace {

// Puts the order table's row into a slot of the ship and makes it current,
// as the vessel orders do for the player's autopilot.
void GiveOrder(SceneItem* ship, const char* name)
{
    const OrderProgram* row = OrderProgramTable;
    while (row->name && std::strcmp(row->name, name) != 0)
        ++row;
    ASSERT_NE(row->name, nullptr) << name;
    ShipInfo* info = ship->sim->shipInfo;
    const int32_t slot = FindOrAddOrderSlot(info, name);
    SetOrderSlot(info, slot, 0, 0, 0, 100, row->evaluator, 0, 0);
    SetOrderState(info, slot, row->stateId, row->parameters[0], row->parameters[1], row->parameters[2]);
    ActivateOrder(ship, slot);
    ship->sim->flags |= kSimAiControl;
}

} // namespace

TEST_F(MovementArenaTest, ThePlayersAutopilotApproachesMatchesAndHandsBackControl)
{
    SceneItem* target = AiShip(400000.0);
    target->sim->velocity = {0.0f, 0.0f, 300.0f};
    SceneItem* player = AiShip(0.0);
    gPlayerItem = player;
    for (const char* order : {"Aproach", "MatchVel"}) {
        SCOPED_TRACE(order);
        player->sim->target = target; // handing back control commits the player's own target
        GiveOrder(player, order);
        int frames = 0;
        while ((player->sim->flags & kSimAiControl) && frames++ < 20000)
            RunFrame(5);
        EXPECT_FALSE(player->sim->flags & kSimAiControl);
        EXPECT_LT(Gap(player, target), 70000.0 + 20000.0);
    }
    EXPECT_NEAR(player->sim->velocity.z, target->sim->velocity.z, 100.0f);
    gPlayerItem = nullptr;
}

TEST_F(MovementArenaTest, AMixedEncounterGivesTheSameDigestOnASecondRun)
{
    auto run = [this]() {
        ResetSimulation();
        gFrameClock = FrameClock{};
        CRandSeed(1234);
        SeedShiftRegisterRandom(99);
        SceneItem* leader = AiShip(300000.0);
        InitFlightModel(&leader->sim->shipInfo->flightModel, 50, 10, 200, 1e8f, 30, 30, 30, 100);
        Start(leader, 56, 0, 0, 0);
        SceneItem* escort = AiShip(0.0);
        escort->sim->target = leader;
        Start(escort, 49, 70000, static_cast<int32_t>(ItemHandle(leader)), 0);
        SceneItem* loiterer = AiShip(-2000000.0);
        Start(loiterer, 54, static_cast<int32_t>(ItemHandle(escort)), 0, 0);
        SceneItem* hunter = AiShip(-500000.0);
        hunter->sim->target = escort;
        Start(hunter, 4, 0, 0, 0);
        gPlayerItem = escort;
        SceneItem* drone = AiShip(-100000.0);
        Start(drone, 39, 100000, 500000, 0);
        for (int frame = 0; frame < 600; ++frame)
            RunFrame(5);
        gPlayerItem = nullptr;
        return WorldStateDigest();
    };
    const uint64_t first = run();
    EXPECT_EQ(run(), first);
}

TEST_F(MovementArenaTest, TheStopStatesBringAMovingShipToRestAndPop)
{
    // FullStop brakes where it is; MoveToStop comes back to where it was
    // told to stop.
    for (const int32_t state : {65, 10}) {
        SCOPED_TRACE(state);
        ResetSimulation();
        SceneItem* ship = AiShip(0.0);
        ship->sim->velocity = {0.0f, 0.0f, 2000.0f};
        Start(ship, state, 0, 0, 0);
        int frames = 0;
        while (ship->sim->shipInfo->stateStack[0].stateId == state && frames++ < 20000)
            RunFrame(5);
        EXPECT_EQ(ship->sim->shipInfo->stateStack[0].stateId, 0);
        EXPECT_LT(std::fabs(ship->sim->velocity.z), 100.0f);
        if (state == 10) {
            EXPECT_LT(std::fabs(ship->sim->position.z), 3 * 9000.0);
        }
    }
}

TEST_F(MovementArenaTest, LdsFlightSwitchesToLdsEscortWhenItsTargetEntersLds)
{
    SceneItem* ship = AiShip(0.0);
    // The target flies on its own drive, away from the ship.
    SceneItem* target = MakeItem(SIM_MAIN);
    InitFlightModel(&MakeShip(target)->flightModel, 100, 10, 200, 1e8f, 30, 30, 30, 100);
    target->avatar->renderSync = CopySimToAvatar;
    Place(target, 1e9);
    ship->sim->target = target;
    Start(ship, 71, static_cast<int32_t>(ItemHandle(target)), 0, 0);
    RunFrame(5);
    const ShipInfo* info = ship->sim->shipInfo;
    EXPECT_EQ(info->stateStack[info->currentFrame].stateId, 68);
    ASSERT_TRUE(EngageLds(target));
    int32_t top = 68;
    for (int i = 0; i < 200 && top != 70; ++i) {
        RunFrame(5);
        top = info->stateStack[info->currentFrame].stateId;
    }
    EXPECT_EQ(top, 70);
}
