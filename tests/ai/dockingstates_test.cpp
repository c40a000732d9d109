// The docking states, called step by step: the choice of a pair, the
// stand-offs, the hand-over between the children, coupling at the end.
#include <array>
#include <cmath>

#include <gtest/gtest.h>

#include "ai/docking.h"
#include "ai/dockingstates.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

class DockingStatesTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ship_ = MakeItem(nullptr, nullptr, HandleItemMessages);
        MakeShip(ship_);
        ship_->sim->flightModel = &ship_->sim->shipInfo->flightModel;
        station_ = MakeItem(nullptr, nullptr, HandleItemMessages);
        MakeShip(station_);
        ship_->sim->target = station_;
    }
    // One call of the handler with the frame's timers and parameters.
    AIStateResult Step(AIStateHandler handler, int16_t subState, float child = 0.0f, int32_t p1 = 0, int32_t p2 = 0, int32_t p3 = 0)
    {
        AIStateResult r{};
        r.value = 1.0f;
        r.action = kAIStay;
        r.nextSubState = subState;
        handler(&r, ship_, subState, child, timers_, p1, p2, p3);
        return r;
    }
    SceneItem* ship_ = nullptr;
    SceneItem* station_ = nullptr;
    int32_t timers_[kAITimers] = {};
};

TEST_F(DockingStatesTest, ATargetWithoutAFreePortEndsTheRunAtOnce)
{
    AddDockPoint(ship_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    AddDockPoint(station_, 0, 1, 0, 0, 0, 0, 0, 0, 50); // not free
    const AIStateResult r = Step(DockingBaseState, 0);
    EXPECT_EQ(r.action, kAIPop);
    EXPECT_EQ(r.value, 0.0f);
}

TEST_F(DockingStatesTest, TheBaseStateReservesStandsOffAndHandsThePairOn)
{
    AddDockPoint(ship_, kDockFree, 2, 0, 0, 0, 0, 0, 0, 10);
    AddDockPoint(ship_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    AddDockPoint(station_, kDockFree, 1, 0, -90, 0, 0, 0, 0, 50); // its port faces up
    AIStateResult r = Step(DockingBaseState, 1);
    ASSERT_EQ(r.action, kAIStay);
    EXPECT_EQ(r.nextSubState, 2);
    EXPECT_EQ(timers_[0], 1);
    EXPECT_EQ(timers_[1], 0);
    EXPECT_TRUE(NthDockPoint(station_, 0, nullptr)->flags & kDockReserved);
    // The stand-off: radii plus 30000, never beyond 250000, out along the port.
    struct Case {
        float radius;
        int32_t distance;
    };
    for (const Case c : {Case{1000, 31000}, Case{900000, 250000}}) {
        station_->sim->radius = c.radius;
        r = Step(DockingBaseState, 2);
        ASSERT_EQ(r.action, kAIPush);
        EXPECT_EQ(r.pushState, 11);
        EXPECT_EQ(r.nextSubState, 3);
        EXPECT_EQ(r.parameter1, 0);
        EXPECT_NEAR(r.parameter2, c.distance, 1);
        EXPECT_EQ(r.parameter3, 0);
    }
    r = Step(DockingBaseState, 4);
    ASSERT_EQ(r.action, kAIPush);
    EXPECT_EQ(r.pushState, 15);
    EXPECT_EQ(r.parameter1, 1);
    EXPECT_EQ(r.parameter2, 0);
    EXPECT_EQ(r.parameter3, static_cast<int32_t>(ItemHandle(station_)));
    r = Step(DockingBaseState, 5);
    EXPECT_EQ(r.pushState, 16);
    EXPECT_EQ(r.nextSubState, 6);
    // A pair taken from under it sends it back to choosing.
    NthDockPoint(station_, 0, nullptr)->flags &= ~kDockFree;
    for (int16_t sub : {4, 5, 6}) {
        r = Step(DockingBaseState, sub, 1.0f);
        EXPECT_EQ(r.action, kAIStay) << sub;
        EXPECT_EQ(r.nextSubState, 1) << sub;
    }
    // Coupled at that pair, the child's success is the run's.
    NthDockPoint(station_, 0, nullptr)->flags |= kDockFree;
    ASSERT_EQ(CoupleAtDockPoints(ship_, station_, NthDockPoint(ship_, 1, nullptr), NthDockPoint(station_, 0, nullptr), 0), 1);
    r = Step(DockingBaseState, 6, 1.0f);
    EXPECT_EQ(r.action, kAIPop);
    EXPECT_EQ(r.value, 1.0f);
}

TEST_F(DockingStatesTest, OrientateStandsOffByHowWellTheShipIsTurned)
{
    // The station's port at its centre faces +z; the ship 10000 to the side.
    AddDockPoint(station_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(ship_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    station_->sim->radius = 1000;
    ship_->sim->radius = 100;
    ship_->sim->position.x = 10000;
    const float reach = 2.0f * 1100.0f + 30000.0f + 1100.0f;
    const float lead = 0.45f * 10000.0f * 1.0f; // the port's normal is square to the line
    struct Case {
        const char* name;
        float yaw;   // of the ship: 180 is the docked orientation
        bool negate; // every axis the opposite way (match 0)
        float standOff;
    };
    const Case cases[] = {
        {"aligned", 180.0f, false, lead - 2000.0f},
        {"reversed", 180.0f, true, reach - 2000.0f},
        {"turned round", 0.0f, false, reach * 0.666f - 2000.0f}, // a turn matches at least 1/3
    };
    for (const Case& c : cases) {
        MatIdentity(ship_->sim->matrix);
        MatSetRotY(c.yaw, ship_->sim->matrix);
        if (c.negate)
            for (int k : {0, 5, 10})
                ship_->sim->matrix.m[k] = -ship_->sim->matrix.m[k];
        ship_->sim->matrix.m[12] = 10000.0f;
        Step(dk_orientate, 1, 0, 0, 0, static_cast<int32_t>(ItemHandle(station_)));
        EXPECT_NEAR(gOrientateAim.standOff, c.standOff, 2.0f) << c.name;
        EXPECT_NEAR(gOrientateAim.point.z, c.standOff, 2.0f) << c.name;
        EXPECT_NEAR(gOrientateAim.point.x, 0.0, 1e-3) << c.name;
    }
}

// Collision avoidance leaves the docking target alone while the ship is on
// the port's side of it (the port faces the ship) or close to the port,
// and not while it is out behind the port, where it must go round.
TEST_F(DockingStatesTest, OrientateExemptsTheTargetFromAvoidanceInFrontOfThePortOrCloseToIt)
{
    AddDockPoint(station_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(ship_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    station_->sim->radius = 1000;
    ship_->sim->radius = 500;
    struct Case {
        const char* name;
        double x, z; // the ship's place; the port at the origin faces +z
        bool exempt;
    };
    const Case cases[] = {
        {"far out in front", 0, 50000, true},
        {"beside, a little in front", 50000, 1000, true},
        {"beside, a little behind", 50000, -1000, false},
        {"far behind", 0, -50000, false},
        {"just behind, the lead under its radius", 0, -500, true},
    };
    for (const Case& c : cases) {
        ship_->sim->position = {c.x, 0, c.z};
        ship_->sim->matrix.m[12] = static_cast<float>(c.x);
        ship_->sim->matrix.m[14] = static_cast<float>(c.z);
        ship_->avatar->escort = c.exempt ? nullptr : station_;
        Step(dk_orientate, 1);
        EXPECT_EQ(ship_->avatar->escort.Get(), c.exempt ? station_ : nullptr) << c.name;
    }
}

TEST_F(DockingStatesTest, OrientateEndsDockedOrWithItsReservationFreed)
{
    AddDockPoint(station_, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(ship_, kDockFree | kDockReserved, 1, 0, 0, 0, 0, 0, 0, 10);
    MatSetRotY(180.0f, ship_->sim->matrix);
    ship_->sim->position.z = 5000;
    // Rolled into place while a contact coupled it: done.
    ASSERT_EQ(CoupleAtDockPoints(ship_, station_, NthDockPoint(ship_, 0, nullptr), NthDockPoint(station_, 0, nullptr), 0), 1);
    AIStateResult r = Step(dk_orientate, 3, 0, 0, 0, 0);
    EXPECT_EQ(r.action, kAIPop);
    EXPECT_EQ(r.value, 1.0f);
    // The pair lost to another: the ship's own reservation goes, value 0.
    UnlinkDockPoints(NthDockPoint(ship_, 0, nullptr));
    NthDockPoint(ship_, 0, nullptr)->flags |= kDockReserved;
    NthDockPoint(station_, 0, nullptr)->flags &= ~kDockFree;
    r = Step(dk_orientate, 2, 0, 0, 0, 0);
    EXPECT_EQ(r.nextSubState, 4);
    r = Step(dk_orientate, 4, 0, 0, 0, 0);
    EXPECT_EQ(r.action, kAIPop);
    EXPECT_EQ(r.value, 0.0f);
    EXPECT_FALSE(NthDockPoint(ship_, 0, nullptr)->flags & kDockReserved);
}

TEST_F(DockingStatesTest, TheFinalApproachNeedsTheOrientationAndCouplesPortOnPort)
{
    AddDockPoint(station_, kDockFree, 1, 0, 0, 0, 0, 0, 10, 50); // 1000 ahead of it
    AddDockPoint(ship_, kDockFree, 1, 0, 0, 0, 0, 0, 5, 10);     // 500 ahead of the ship
    // Facing the station's own way: the wrong orientation.
    ship_->sim->position.z = ship_->sim->matrix.m[14] = 3000;
    AIStateResult r = Step(dk_finalAproach, 1);
    EXPECT_EQ(r.action, kAIPop);
    EXPECT_EQ(r.value, 0.0f);
    // Turned round and farther than the tolerance: it closes in.
    MatSetRotY(180.0f, ship_->sim->matrix);
    r = Step(dk_finalAproach, 1);
    EXPECT_EQ(r.action, kAIStay);
    EXPECT_EQ(r.nextSubState, 2);
    EXPECT_GT(ship_->sim->thrust.z, 0.0f) << "closing on the port nose first";
    // Port on port: coupled and done.
    ship_->sim->position.z = ship_->sim->matrix.m[14] = 1500;
    r = Step(dk_finalAproach, 2);
    EXPECT_EQ(r.action, kAIPop) << gDockAlignment;
    EXPECT_EQ(r.value, 1.0f);
    EXPECT_EQ(FindDockedItem(ship_, station_), station_);
}

TEST_F(DockingStatesTest, DemolishDocksWaitsUndocksAndDestroysTheTarget)
{
    AIStateResult r = Step(DockingDemolishState, 1, 0, 7, 1, 2);
    ASSERT_EQ(r.action, kAIPush);
    EXPECT_EQ(r.pushState, 13);
    EXPECT_EQ((std::array<int32_t, 3>{r.parameter1, r.parameter2, r.parameter3}), (std::array<int32_t, 3>{7, 1, 2}));
    gFrameClock.frameTicks = 150;
    r = Step(DockingDemolishState, 2);
    EXPECT_EQ(r.nextSubState, 2);
    r = Step(DockingDemolishState, 2);
    EXPECT_EQ(r.nextSubState, 3);
    ItemMessage m;
    ASSERT_NE(FetchItemMessage(ship_->receiver, &m), nullptr);
    EXPECT_EQ(m.kind, kMsgUndock);
    r = Step(DockingDemolishState, 3);
    EXPECT_EQ(r.action, kAIPop);
    ASSERT_NE(FetchItemMessage(station_->receiver, &m), nullptr);
    EXPECT_EQ(m.kind, kMsgHit);
    EXPECT_EQ(MessageBody<HitPayload>(m).attacker, ItemHandle(ship_));
}

} // namespace
