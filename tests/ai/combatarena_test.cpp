// Fights and dockings in the world's frame: ships flown by SIM_MAIN under
// CONTROL_AI in fixed 5-tick frames, with collisions and messages, their
// orders run by the real state stacks. Each run is made twice and must end
// in the same world.
#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/docking.h"
#include "ai/orders.h"
#include "ai/weapons.h"
#include "script/shiptypes.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "tests/support/collision_fixture.h"
#include "tests/support/world_fixture.h"
#include "view/viewstart.h"
#include "world/collisions.h"
#include "world/digest.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/lds.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::RunFrame;
using worldtest::WorldTest;

namespace {

constexpr int32_t kTicks = 5;
constexpr int kFramesPerSecond = 100 / kTicks;

class CombatArenaTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadAIStateTable();
    }
    void TearDown() override
    {
        gPlayerItem = gControlledItem = nullptr;
        WorldTest::TearDown();
    }
    // Both runs start from the same fresh world and seed.
    static void Fresh()
    {
        gFrameClock = FrameClock{};
        ResetSimulation();
        gWorldOriginOffset = {};
        gRebuild3D = 0; // the frames run collisions, messages and control
        CRandSeed(21);
    }
    // An AI ship at z facing +z, with a hull of 1000 and a collision box.
    static SceneItem* AiShip(double z, uint32_t side)
    {
        SceneItem* item = MakeItem(SIM_MAIN, CONTROL_AI, HandleItemMessages);
        ShipInfo* info = MakeShip(item);
        InitFlightModel(&info->flightModel, 2000, 500, 200, 1e8f, 60, 60, 60, 20000);
        info->baseFlightModel = info->flightModel;
        info->damage.maximumHull = 1000;
        info->skill = 100;
        item->avatar->renderSync = CopySimToAvatar;
        item->avatar->classFlags = kClassMarked | side;
        item->avatar->collision = CollideShips;
        item->sim->mass = 1000;
        item->sim->position = {0.0, 0.0, z};
        item->sim->matrix.m[14] = static_cast<float>(z);
        TDP* root = item->avatar->root;
        root->flags = (root->flags & ~kTdpSolid) | kTdpCollides;
        HullBounds* shape = collisiontest::Shape(item, 1500);
        collisiontest::AddBox(shape, {-1000, -1000, -1500}, {1000, 1000, 1500}, 0);
        root->radius = 1500;
        item->sim->radius = 1500;
        return item;
    }
    // Gives slot 1 the named order aimed at the target and makes it current.
    static void GiveOrder(SceneItem* item, const char* name, SceneItem* target)
    {
        const OrderProgram* program = FindOrderProgram(name);
        ASSERT_NE(program, nullptr);
        ShipInfo* info = item->sim->shipInfo;
        info->orders[1].name = name;
        SetOrderSlot(info, 1, 0, 0, 0, 100, program->evaluator, static_cast<int32_t>(ItemHandle(target)), 0);
        SetOrderState(info, 1, program->stateId, program->parameters[0], program->parameters[1],
                      program->parameters[2]);
        item->sim->target = target;
        ActivateOrder(item, 1);
    }
    static double Gap(const SceneItem* a, const SceneItem* b)
    {
        const WorldPosition& p = a->sim->position;
        const WorldPosition& q = b->sim->position;
        return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
    }
    static int32_t StateOf(const SceneItem* item)
    {
        const ShipInfo* info = item->sim->shipInfo;
        return info->stateStack[info->currentFrame].stateId;
    }
    // Runs the scenario twice: the same world at the end of both.
    static void Twice(const std::function<void()>& scenario)
    {
        scenario();
        const uint64_t first = WorldStateDigest();
        scenario();
        EXPECT_EQ(WorldStateDigest(), first);
    }
};

TEST_F(CombatArenaTest, AFixedAttackWithACannonDestroysAnUnarmedShipWithinAMinute)
{
    Twice([this] {
        Fresh();
        SceneItem* hunter = AiShip(0.0, 0x100);
        hunter->sim->shipInfo->side = 2;                          // its enemies are of class 0x80
        Weapon* gun = NewWeaponPbc(hunter, 0, 0, 1500, "PBC", 1); // ahead
        gun->kind = 0;                                            // the "PBC" row
        hunter->sim->currentWeapon = gun;
        SceneItem* prey = AiShip(300000.0, 0x80);
        prey->control = nullptr;                    // drifts
        prey->sim->velocity = {0.0f, 0.0f, 200.0f}; // along its nose
        GiveOrder(hunter, "FixedAttack", prey);

        int frames = 0;
        for (; frames < 60 * kFramesPerSecond && (prey->flags & kItemInUse); ++frames) {
            RunFrame(kTicks);
        }
        EXPECT_FALSE(prey->flags & kItemInUse) << "hull taken " << prey->sim->shipInfo->damage.hullDamage;
        EXPECT_LT(frames, 60 * kFramesPerSecond);
    });
}

TEST_F(CombatArenaTest, FleeingWithLdsOnAWorkingDriveLeavesAtOnce)
{
    for (const bool barred : {false, true}) {
        SCOPED_TRACE(barred);
        Twice([this, barred] {
            Fresh();
            SceneItem* ship = AiShip(0.0, 0x100);
            ship->sim->shipInfo->side = 2; // its enemies are of class 0x80
            ship->sim->shipInfo->flightModel.ldsTopSpeed = 600000;
            if (barred)
                ship->sim->flags |= kSimLdsBarred;
            SceneItem* enemy = AiShip(20000.0, 0x80);
            enemy->control = nullptr;
            ship->sim->target = enemy;
            ShipInfo* info = ship->sim->shipInfo;
            ResetStateStack(info);
            AIStateFrame& bottom = info->stateStack[0];
            bottom = AIStateFrame{};
            bottom.stateId = 59; // esc_Flee, asked to leave by LDS
            bottom.parameter3 = 2;
            bottom.subState = 1;
            bottom.timerSlot = 5;
            RunFrame(kTicks);
            // A barred drive cannot take it away: it flees on its engines.
            EXPECT_EQ(StateOf(ship), barred ? 59 : 0);
        });
    }
}

TEST_F(CombatArenaTest, GoAndDockReservesStandsOffCouplesAndFinishes)
{
    Twice([this] {
        Fresh();
        SceneItem* station = AiShip(1e6, 0x80);
        station->control = nullptr;
        AddDockPoint(station, kDockFree, 1, 0, 0, 0, 0, 0, -20, 50); // 2000 behind, facing it
        SceneItem* ship = AiShip(0.0, 0x80);
        AddDockPoint(ship, kDockFree, 1, 180, 0, 0, 0, 0, 15, 40); // on its nose
        GiveOrder(ship, "GoAndDock", station);

        bool reserved = false;
        bool docked = false;
        double closest = 1e30;
        double standOff = -1.0;
        int frames = 0;
        for (; frames < 600 * kFramesPerSecond && !docked; ++frames) {
            RunFrame(kTicks);
            reserved = reserved || (NthDockPoint(station, 0, nullptr)->flags & kDockReserved);
            docked = FindDockedItem(station, ship) == ship;
            closest = std::min(closest, Gap(ship, station));
            // The stand-off point the approach aims at, from the target.
            const ShipInfo* info = ship->sim->shipInfo;
            const AIStateFrame& top = info->stateStack[info->currentFrame];
            if (top.stateId == 11)
                standOff = std::max(standOff, std::sqrt(double(top.parameter1) * top.parameter1 +
                                                        double(top.parameter2) * top.parameter2 +
                                                        double(top.parameter3) * top.parameter3));
        }
        EXPECT_TRUE(reserved);
        EXPECT_GT(standOff, 0.0);
        EXPECT_LE(standOff, 250000.0);
        EXPECT_TRUE(docked) << frames << " frames, closest " << closest;
        for (int i = 0; i < 10 * kFramesPerSecond && !(ship->sim->shipInfo->orders[1].flags & 2); ++i)
            RunFrame(kTicks);
        EXPECT_TRUE(ship->sim->shipInfo->orders[1].flags & 2); // finished
    });
}

TEST_F(CombatArenaTest, GoAndDockEndsWhenTheTargetIsDestroyedMidway)
{
    Twice([this] {
        Fresh();
        SceneItem* station = AiShip(1e6, 0x80);
        station->control = nullptr;
        AddDockPoint(station, kDockFree, 1, 0, 0, 0, 0, 0, -20, 50);
        SceneItem* ship = AiShip(0.0, 0x80);
        AddDockPoint(ship, kDockFree, 1, 180, 0, 0, 0, 0, 15, 40);
        GiveOrder(ship, "GoAndDock", station);
        for (int i = 0; i < 5 * kFramesPerSecond; ++i)
            RunFrame(kTicks);
        EXPECT_NE(StateOf(ship), 0);
        PostItemMessage(station->receiver, station->receiver, 0, kMsgDelete, 0, nullptr);
        for (int i = 0; i < kFramesPerSecond; ++i)
            RunFrame(kTicks);
        EXPECT_FALSE(station->flags & kItemInUse);
        EXPECT_TRUE(ship->sim->shipInfo->orders[1].flags & 2); // finished
    });
}

} // namespace
