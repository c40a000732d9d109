// Dock points: coupling bounds, who follows, control hand-over, the undock
// push, reservations and the coupled ride.
#include <array>
#include <cmath>

#include <gtest/gtest.h>

#include "ai/aistate.h"
#include "ai/docking.h"
#include "system/frameclock.h"
#include "ai/weapons.h"
#include "framework/scene.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "tests/support/world_fixture.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

void Routine(SceneItem*) {}
void OtherRoutine(SceneItem*) {}

class DockingTest : public WorldTest {
protected:
    // A ship at x along the world X axis.
    SceneItem* Ship(double x)
    {
        SceneItem* item = MakeItem(Routine, Routine);
        MakeShip(item);
        item->sim->position.x = x;
        return item;
    }
    static DockPoint* First(SceneItem* item) { return NthDockPoint(item, 0, nullptr); }
};

// b's port faces a's (yaw 180): with both items unturned they line up.
TEST_F(DockingTest, ContactCouplesOnlySharedMasksWithinTheDistance)
{
    struct Case {
        uint32_t maskA, maskB;
        double apart;
        bool couples;
    };
    const Case cases[] = {
        {1, 1, 10, true}, {1, 2, 10, false}, // no shared bit, however close
        {3, 6, 3199, true},
        {1, 1, 3200, false}, // exactly 3200 is too far
    };
    for (const Case& c : cases) {
        SceneItem* a = Ship(0);
        SceneItem* b = Ship(c.apart);
        AddDockPoint(a, kDockFree, c.maskA, 0, 0, 0, 0, 0, 0, 50);
        AddDockPoint(b, kDockFree, c.maskB, 180, 0, 0, 0, 0, 0, 50);
        EXPECT_EQ(TryDockOnContact(a, b), c.couples ? 1 : 0) << c.maskA << " " << c.apart;
        EXPECT_EQ(FindDockedItem(a, b), c.couples ? b : nullptr);
    }
}

TEST_F(DockingTest, AlignmentMustExceedNineTenths)
{
    // Turned about Y so that (|cos| + 1 + cos + 3) / 6 lands just either
    // side of 0.9 (0.9 itself is no float this sum reaches exactly).
    const float above = 0.7002f; // 0.90007
    const float below = 0.7f;    // 0.9 less the rounding of the turned frame
    struct Case {
        float cosine;
        bool couples;
    };
    for (const Case c : {Case{below, false}, Case{above, true}, Case{0.5f, false}}) {
        SceneItem* a = Ship(0);
        SceneItem* b = Ship(10);
        AddDockPoint(a, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
        AddDockPoint(b, kDockFree, 1, 180, 0, 0, 0, 0, 0, 50);
        const float s = std::sqrt(1.0f - c.cosine * c.cosine);
        Matrix4& m = a->sim->matrix;
        m.m[0] = c.cosine, m.m[2] = -s;
        m.m[8] = s, m.m[10] = c.cosine;
        EXPECT_EQ(TryDockOnContact(a, b), c.couples ? 1 : 0) << c.cosine;
        EXPECT_EQ(gDockAlignment > 0.9f, c.couples);
    }
}

TEST_F(DockingTest, TheLowerPriorityFollowsAndEqualPrioritiesLeaveTheFirst)
{
    struct Case {
        int32_t priorityA, priorityB, bias;
        bool aFollows;
    };
    const Case cases[] = {{50, 50, 0, true}, {50, 49, 0, false}, {50, 60, 20, false}, {10, 50, 0, true}};
    for (const Case& c : cases) {
        SceneItem* a = Ship(0);
        SceneItem* b = Ship(0);
        AddDockPoint(a, kDockFree, 1, 0, 0, 0, 0, 0, 0, c.priorityA);
        AddDockPoint(b, kDockFree, 1, 0, 0, 0, 100, 0, 0, c.priorityB);
        ASSERT_EQ(CoupleAtDockPoints(a, b, First(a), First(b), c.bias), 1);
        SceneItem* follower = c.aFollows ? a : b;
        SceneItem* leader = c.aFollows ? b : a;
        EXPECT_EQ(follower->perFrame, UpdateCoupledShip) << c.priorityA << " " << c.priorityB;
        EXPECT_EQ(leader->perFrame, Routine);
        EXPECT_TRUE(First(follower)->flags & kDockFollows);
        EXPECT_FALSE(First(leader)->flags & kDockFollows);
        EXPECT_EQ(follower->avatar->dockPartner.Get(), leader);
        EXPECT_EQ(leader->avatar->dockPartner.Get(), follower);
        // A point already engaged takes no second partner.
        EXPECT_EQ(CoupleAtDockPoints(a, b, First(a), First(b), 0), 0);
    }
}

TEST_F(DockingTest, NoCouplingWithTheDockingSystemOutOrAPointNotFree)
{
    SceneItem* a = Ship(0);
    SceneItem* b = Ship(0);
    AddDockPoint(a, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(b, 0, 1, 0, 0, 0, 0, 0, 0, 50);
    EXPECT_EQ(CoupleAtDockPoints(a, b, First(a), First(b), 0), 0);
    EnableDockPoint(b, 0);
    a->sim->shipInfo->damage.capabilities = 0x400;
    EXPECT_EQ(CoupleAtDockPoints(a, b, First(a), First(b), 0), 0);
    a->sim->shipInfo->damage.capabilities = 0;
    EXPECT_EQ(CoupleAtDockPoints(a, b, First(a), First(b), 0), 1);
}

TEST_F(DockingTest, ControlPassesToTheItemOfLowerPriority)
{
    // The player's ship (priority 50, hands control over) docks a pod of
    // priority 10: the pod flies on with the ship's routines and controls.
    SceneItem* pod = Ship(0);
    SceneItem* ship = MakeItem(Routine, OtherRoutine);
    MakeShip(ship);
    gPlayerItem = gControlledItem = ship;
    AddDockPoint(pod, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    AddDockPoint(ship, kDockFree | kDockHandsControl, 1, 0, 0, 0, 0, 0, 0, 50);
    ASSERT_EQ(CoupleAtDockPoints(pod, ship, First(pod), First(ship), 0), 1);
    EXPECT_EQ(gControlledItem, pod);
    EXPECT_EQ(pod->control, OtherRoutine);
    EXPECT_EQ(pod->perFrame, Routine);
    EXPECT_EQ(ship->control, UpdateCoupledShip);
    EXPECT_TRUE(First(ship)->flags & kDockFollows);
    EXPECT_FALSE(First(pod)->flags & kDockFollows);
    // Unlinking gives each its own routines and the player its ship back.
    UnlinkDockPoints(First(pod));
    EXPECT_EQ(gControlledItem, ship);
    EXPECT_EQ(ship->control, OtherRoutine);
    EXPECT_EQ(pod->control, Routine);
    EXPECT_EQ(First(ship)->flags & (kDockEngaged | kDockFollows), 0u);
    EXPECT_EQ(FindDockedItem(pod, nullptr), nullptr);
}

TEST_F(DockingTest, TheFollowerRidesPortOnPort)
{
    SceneItem* carrier = Ship(1000);
    SceneItem* pod = Ship(0);
    carrier->sim->velocity = {0, 0, 300};
    MatSetRotY(90.0f, carrier->sim->matrix);
    AddDockPoint(carrier, kDockFree, 1, 0, 0, 0, 0, 0, 20, 50); // 2000 ahead
    AddDockPoint(pod, kDockFree, 1, 180, 0, 0, 0, 0, -5, 10);   // 500 behind
    ASSERT_EQ(CoupleAtDockPoints(carrier, pod, First(carrier), First(pod), 0), 1);
    // The carrier's forward axis is +X after the turn; the pod faces back at
    // it from beyond the carrier's port, its own port on that port.
    Vector3 carrierForward{carrier->sim->matrix.m[8], carrier->sim->matrix.m[9], carrier->sim->matrix.m[10]};
    EXPECT_NEAR(pod->sim->position.x, 1000.0 + 2000.0 * carrierForward.x + 500.0 * carrierForward.x, 1e-2);
    EXPECT_NEAR(pod->sim->matrix.m[8], carrierForward.x, 1e-5f);
    EXPECT_FLOAT_EQ(pod->sim->velocity.z, 300.0f);
    // The carrier moves: the pod goes with it at its next step.
    carrier->sim->position.y = 777.0;
    UpdateCoupledShip(pod);
    EXPECT_NEAR(pod->sim->position.y, 777.0, 1e-6);
    // The carrier gone, the pod flies free.
    DeleteSceneItem(carrier);
    UpdateCoupledShip(pod);
    EXPECT_EQ(pod->perFrame, SIM_MAIN);
}

// A coupled controlled item marks the item it is docked to, and, docked to
// a carrier that counts (the command section's scene flag), bars the remote
// link for the frame; its marker lights' flash runs down 1.5 times as fast.
TEST_F(DockingTest, TheCoupledControlledItemMarksItsCarrierAndRunsItsFlashDown)
{
    SceneItem* carrier = Ship(1000);
    SceneItem* pod = Ship(0);
    AddDockPoint(carrier, kDockFree, 1, 0, 0, 0, 0, 0, 20, 50);
    AddDockPoint(pod, kDockFree, 1, 180, 0, 0, 0, 0, -5, 10);
    ASSERT_EQ(CoupleAtDockPoints(carrier, pod, First(carrier), First(pod), 0), 1);
    gFrameClock.frameTicks = 4;
    struct Case {
        const char* name;
        bool controlled;
        bool counts; // the carrier's scene flag 2
        bool docked, barred;
    };
    const Case cases[] = {
        {"not the controlled item", false, true, false, false},
        {"controlled", true, false, true, false},
        {"controlled, on a carrier that counts", true, true, true, true},
    };
    for (const Case& c : cases) {
        gControlledItem = c.controlled ? pod : nullptr;
        carrier->flags = c.counts ? (carrier->flags | 0x2) : (carrier->flags & ~0x2);
        gCoupledShipMarker = gRemoteLinkMarker = nullptr;
        pod->avatar->params[1] = 100;
        UpdateCoupledShip(pod);
        EXPECT_EQ(gCoupledShipMarker != nullptr, c.docked) << c.name;
        EXPECT_EQ(gRemoteLinkMarker != nullptr, c.barred) << c.name;
        EXPECT_EQ(pod->avatar->params[1], 94) << c.name;
    }
    pod->avatar->params[1] = 0;
    UpdateCoupledShip(pod);
    EXPECT_EQ(pod->avatar->params[1], 0) << "a countdown run out stays out";
    gControlledItem = nullptr;
    gCoupledShipMarker = gRemoteLinkMarker = nullptr;
}

TEST_F(DockingTest, UndockingPushesTheQuickerItemBetween1000And12000)
{
    struct Case {
        float radius, acceleration, speed;
    };
    const Case cases[] = {{0, 100, 1000}, {20000, 3000, 5000}, {1e6f, 500, 12000}};
    for (const Case& c : cases) {
        SceneItem* station = Ship(0);
        SceneItem* ship = Ship(0);
        station->sim->radius = c.radius;
        station->sim->shipInfo->flightModel.acceleration = 0;
        ship->sim->shipInfo->flightModel.acceleration = c.acceleration;
        ship->sim->velocity = {5, 0, 0};
        AddDockPoint(station, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
        AddDockPoint(ship, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10); // port on its nose
        ASSERT_EQ(CoupleAtDockPoints(station, ship, First(station), First(ship), 0), 1);
        ship->sim->velocity = {5, 0, 0};
        UndockItem(station); // either side may ask; the quicker one leaves
        EXPECT_EQ(FindDockedItem(ship, nullptr), nullptr);
        // It leaves with the station's velocity less the push along its
        // nose port's direction (its own forward axis), at the bounded speed.
        const Vector3 forward{ship->sim->matrix.m[8], ship->sim->matrix.m[9], ship->sim->matrix.m[10]};
        EXPECT_NEAR(VecDot(ship->sim->velocity, forward), -c.speed, 0.05f) << c.radius;
        EXPECT_NEAR(VecLength(ship->sim->velocity), c.speed, 0.05f);
        EXPECT_FLOAT_EQ(VecLength(station->sim->velocity), 0.0f);
    }
}

TEST_F(DockingTest, ALockedLinkOrADamagedPortStaysDocked)
{
    SceneItem* a = Ship(0);
    SceneItem* b = Ship(0);
    AddDockPoint(a, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(b, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    ASSERT_EQ(CoupleAtDockPoints(a, b, First(a), First(b), 0), 1);
    a->sim->flags |= 0x8000000;
    UndockItem(a);
    EXPECT_EQ(FindDockedItem(a, b), b);
    a->sim->flags &= ~0x8000000u;
    b->sim->shipInfo->damage.capabilities = 0x400;
    UndockItem(a);
    EXPECT_EQ(FindDockedItem(a, b), b);
}

TEST_F(DockingTest, ReservationTakesTheLeanestCompatiblePair)
{
    SceneItem* ship = Ship(0);
    SceneItem* station = Ship(0);
    AddDockPoint(ship, kDockFree, 0x7, 0, 0, 0, 0, 0, 0, 10); // 0: three bits
    AddDockPoint(ship, kDockFree, 0x4, 0, 0, 0, 0, 0, 0, 10); // 1: one bit
    AddDockPoint(station, kDockFree, 0x1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(station, 0, 0x4, 0, 0, 0, 0, 0, 0, 50);         // 1: not free
    AddDockPoint(station, kDockFree, 0x6, 0, 0, 0, 0, 0, 0, 50); // 2
    int32_t i = -1, j = -1;
    ReserveDockPointPair(ship, station, &i, &j);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 2);
    EXPECT_TRUE(NthDockPoint(station, 2, nullptr)->flags & kDockReserved);
    // Taken: the next ship gets the remaining pair, then nothing.
    i = j = -1;
    ReserveDockPointPair(ship, station, &i, &j);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(j, 0);
    i = j = -1;
    ReserveDockPointPair(ship, station, &i, &j);
    EXPECT_EQ(i, -1);
    EXPECT_EQ(j, -1);
    // Given up on both sides, a requested pair is taken as given, and an
    // index past the end sends the search to the leanest pair.
    ReleaseDockReservations(station, ship->sim->shipInfo);
    ReleaseDockReservations(ship, station->sim->shipInfo);
    EXPECT_FALSE(NthDockPoint(station, 2, nullptr)->flags & kDockReserved);
    i = 0, j = 0;
    ReserveDockPointPair(ship, station, &i, &j);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(j, 0);
    i = 1, j = 7;
    ReserveDockPointPair(ship, station, &i, &j);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 2);
}

TEST_F(DockingTest, AGoneMinesReservationIsDropped)
{
    SceneItem* target = Ship(0);
    SceneItem* mine = Ship(0);
    AddDockPoint(target, kDockFree, 16, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(mine, kDockFree, 16, 0, 0, 0, 0, 0, 4.5f, 5);
    mine->symbol = nullptr; // launched mines have no script symbol
    int32_t i = -1, j = -1;
    ReserveDockPointPair(mine, target, &i, &j);
    ASSERT_EQ(j, 0);
    EXPECT_EQ(First(target)->reservedBy.Get(), mine);
    SceneItem* other = Ship(0);
    AddDockPoint(other, kDockFree, 16, 0, 0, 0, 0, 0, 0, 50);
    i = j = -1;
    ReserveDockPointPair(other, target, &i, &j);
    EXPECT_EQ(j, -1) << "held while the mine lives";
    DeleteSceneItem(mine);
    i = j = -1;
    ReserveDockPointPair(other, target, &i, &j);
    EXPECT_EQ(j, 0);
    EXPECT_EQ(First(target)->reservedBy.Get(), other);
}

TEST_F(DockingTest, PointListLookUps)
{
    SceneItem* ship = Ship(0);
    SceneItem* rock = MakeItem();
    EXPECT_EQ(AddDockPoint(rock, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50), nullptr) << "no ShipInfo";
    EXPECT_EQ(NthDockPoint(rock, 0, nullptr), nullptr);
    DockPoint* p0 = AddDockPoint(ship, 0, 1, 0, 0, 0, 1, 2, 3, 50);
    DockPoint* p1 = AddDockPoint(ship, 0, 1, 0, 0, 0, 0, 0, 0, 50);
    EXPECT_FLOAT_EQ(p0->y, 200.0f);
    DockPoint* before = nullptr;
    EXPECT_EQ(NthDockPoint(ship, 1, &before), p1);
    EXPECT_EQ(before, p0);
    EXPECT_EQ(NthDockPoint(ship, 9, nullptr), p1) << "a short list gives its last";
    EXPECT_EQ(DockPointsFree(ship, ship, 0, 1), 0);
    EnableDockPoint(ship, 0);
    EnableDockPoint(ship, 1);
    EXPECT_EQ(DockPointsFree(ship, ship, 0, 1), 255);
    EXPECT_EQ(DockPointsFree(ship, ship, 0, 2), 0) << "past the end";
    DisableDockPoint(ship, 1);
    EXPECT_EQ(DockPointsFree(ship, ship, 0, 1), 0);
    EXPECT_EQ(CountSetBits(0xF0F0000Fu), 12);
}

} // namespace

namespace {

TEST_F(DockingTest, AShipSentHomeGoesHomeOnceDockedAndRefillsTheCarrier)
{
    SceneItem* carrier = Ship(0);
    SceneItem* fighter = Ship(0);
    SceneItem* leader = Ship(0);
    fighter->sim->secondTarget = leader;
    fighter->sim->flags |= 0x20000000;
    Weapon* launcher = AllocWeapon();
    launcher->flags |= kWeaponGuided;
    Weapon* gun = AllocWeapon();
    gun->next = launcher;
    carrier->sim->weapons = gun;
    AddDockPoint(carrier, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(fighter, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    ASSERT_EQ(CoupleAtDockPoints(carrier, fighter, First(carrier), First(fighter), 0), 1);
    EXPECT_EQ((std::array<int16_t, 3>{launcher->rounds, launcher->magazineSize, launcher->magazines}), (std::array<int16_t, 3>{4, 4, 4}));
    EXPECT_EQ(gun->rounds, 0) << "only guided launchers";
    const ShipInfo* info = fighter->sim->shipInfo;
    EXPECT_EQ(fighter->sim->flags & 0x20000000u, 0u);
    EXPECT_STREQ(info->orders[1].name, "Going home");
    EXPECT_EQ(info->orders[1].weight, 80) << "priority 80";
    EXPECT_EQ(info->orders[1].parameter1, 80);
    EXPECT_EQ(info->orders[1].parameter2, 0);
    EXPECT_EQ(info->currentOrder, 1);
    EXPECT_EQ(info->stateStack[0].stateId, 17);
    EXPECT_EQ(info->stateStack[0].parameter1, static_cast<int32_t>(ItemHandle(leader)));
    EXPECT_EQ(info->stateStack[0].parameter2, 1);
}

TEST_F(DockingTest, ATetheredItemHoldsItsDistanceFromTheAnchor)
{
    SceneItem* anchor = Ship(0);
    SceneItem* pod = Ship(300000);
    TetherToItem(anchor, pod);
    EXPECT_EQ(anchor->avatar->linkItem.Get(), pod);
    EXPECT_EQ(pod->avatar->dockPartner.Get(), anchor);
    ASSERT_NE(pod->perFrame, nullptr);
    pod->perFrame(pod);
    EXPECT_NEAR(pod->sim->position.x, 100000.0, 1.0) << "pulled in to the tether length";
}

// ---- The command section -----------------------------------------------------------------

TEST_F(DockingTest, ACommandModuleIsASmallShipWithOneLightCannon)
{
    SceneItem* item = Ship(0);
    SetupCommandModule(item);
    const ShipInfo* info = item->sim->shipInfo;
    EXPECT_EQ(info->kind, 2);
    EXPECT_STREQ(info->name, "Com Module");
    EXPECT_EQ(item->sim->flightModel, &info->flightModel);
    EXPECT_FLOAT_EQ(info->flightModel.acceleration, 7000.0f);
    EXPECT_FLOAT_EQ(info->baseFlightModel.acceleration, 7000.0f);
    EXPECT_FLOAT_EQ(info->ldsReach[0], 15000000.0f);
    EXPECT_FLOAT_EQ(info->ldsReach[1], 1500000.0f);
    EXPECT_EQ(info->damage.armour, 50);
    EXPECT_EQ(info->damage.maximumHull, 350);
    EXPECT_EQ(item->sim->hull, 100);
    EXPECT_TRUE(item->flags & 0x2);
    EXPECT_EQ(item->avatar->classFlags & 0x20006u, 0x20006u);
    EXPECT_EQ(item->avatar->collision, CollideShips);
    const Weapon* gun = item->sim->currentWeapon;
    ASSERT_NE(gun, nullptr);
    EXPECT_STREQ(gun->name, "PBC");
    EXPECT_EQ(gun->directionCode, 0x41);
    EXPECT_FLOAT_EQ(gun->mountPosition.z, 1500.0f);
    EXPECT_STREQ(WeaponKindTable[gun->kind].name, "PBC LITE");
    EXPECT_EQ(gun->damage, 30); // the light cannon's
}

class CommandSectionTest : public DockingTest {
protected:
    void SetUp() override
    {
        DockingTest::SetUp();
        saved_ = gBuiltinSymbols;
        gBuiltinSymbols.kelvaBody = &body_;
        gBuiltinSymbols.kelvaHead = &head_;
        ship_ = MakeItem(SIM_MAIN, CONTROL_MAIN, HandleItemMessages);
        MakeShip(ship_)->kind = 0;
        ship_->avatar->root->model = &whole_;
        ship_->avatar->classFlags = 0x100 | 0x4;
        ship_->sim->shipInfo->side = 3;
        MatSetRotY(90.0f, ship_->sim->matrix); // forward is world +X
        ship_->sim->position = {1000, 0, 0};
        ship_->sim->velocity = {0, 0, 500};
        ship_->sim->speed = 500;
        SetSymbolObject(&hero_, ship_);
        ship_->symbol = &hero_;
        gPlayerItem = gControlledItem = ship_;
    }
    void TearDown() override
    {
        gBuiltinSymbols = saved_;
        gPlayerItem = gControlledItem = nullptr;
        DockingTest::TearDown();
    }
    // Three ports; the third takes the section back.
    void GivePorts()
    {
        for (int i = 0; i < 3; ++i)
            AddDockPoint(ship_, 0, 1, 0, 0, 0, 0, 0, static_cast<float>(10 * i), 50);
    }
    BuiltinSymbols saved_{};
    ScriptSymbol body_{"KELVABODY", nullptr, 0, kSymbolSceneItem, false};
    ScriptSymbol head_{"KELVAHEAD", nullptr, 0, kSymbolSceneItem, false};
    ScriptSymbol hero_{"HERO", nullptr, 0, kSymbolSceneItem, false};
    hx_model whole_{};
    SceneItem* ship_ = nullptr;
};

TEST_F(CommandSectionTest, TheSectionFliesOffAheadAsThePlayersShipAndTheHullWaitsForIt)
{
    GivePorts();
    SeparateCommandSection();
    SceneItem* n = gPlayerItem;
    ASSERT_NE(n, ship_);
    EXPECT_EQ(gControlledItem, n);
    EXPECT_EQ(n->control, CONTROL_MAIN);
    EXPECT_EQ(n->perFrame, SIM_MAIN);
    EXPECT_EQ(n->message, HandleItemMessages);
    EXPECT_EQ(n->sim->shipInfo->kind, 2);
    EXPECT_STREQ(n->sim->shipInfo->orders[1].name, "NO PROGRAM");
    EXPECT_EQ(n->sim->shipInfo->currentOrder, 1);
    EXPECT_EQ(n->avatar->classFlags & 0x1FC0u, 0x100u);
    EXPECT_EQ(n->sim->shipInfo->side, 3);
    EXPECT_FLOAT_EQ(n->sim->mass, 1200.0f);
    // 8000 ahead along the ship's axis, 1000 faster along it.
    EXPECT_NEAR(n->sim->position.x, 9000.0, 1e-2);
    EXPECT_NEAR(n->sim->velocity.x, 1000.0f, 1e-2f);
    EXPECT_FLOAT_EQ(n->sim->velocity.z, 500.0f);
    // One port facing back, and the two are partners.
    const DockPoint* port = First(n);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->next, nullptr);
    EXPECT_EQ(port->flags & 0x18u, 0x18u);
    EXPECT_EQ(port->mask, 1u);
    EXPECT_FLOAT_EQ(port->yaw, 180.0f);
    EXPECT_FLOAT_EQ(port->z, -1300.0f);
    EXPECT_EQ(port->priority, 70);
    EXPECT_EQ(n->avatar->dockPartner.Get(), ship_);
    EXPECT_EQ(ship_->avatar->dockPartner.Get(), n);
    // The hull drifts on under the AI with no program.
    EXPECT_EQ(ship_->control, CONTROL_AI);
    EXPECT_STREQ(ship_->sim->shipInfo->orders[1].name, "NO PROGRAM");
    EXPECT_EQ(ship_->sim->shipInfo->orders[1].weight, 1) << "priority 1, not an evaluator score of 1";
    EXPECT_EQ(ship_->sim->shipInfo->orders[1].parameter1, 0);
    EXPECT_EQ(ship_->sim->shipInfo->currentOrder, 1);
    // The names follow: the player's symbol and the head on the section, the
    // body on the hull.
    EXPECT_EQ(SymbolObject(&hero_), n);
    EXPECT_EQ(n->symbol, &hero_);
    EXPECT_EQ(ship_->symbol, nullptr);
    EXPECT_EQ(SymbolObject(&head_), n);
    EXPECT_EQ(SymbolObject(&body_), ship_);
    // The third port is free and carries the whole ship's model.
    const DockPoint* third = NthDockPoint(ship_, 2, nullptr);
    EXPECT_TRUE(third->flags & kDockFree);
    EXPECT_EQ(third->mergeModel, &whole_);
    EXPECT_EQ(NthDockPoint(ship_, 1, nullptr)->mergeModel, nullptr);
}

TEST_F(CommandSectionTest, OnlyTheShipOfKindZeroPartsAndAHullWithoutPortsStillDoes)
{
    ship_->sim->shipInfo->kind = 2;
    SeparateCommandSection();
    EXPECT_EQ(gPlayerItem, ship_);
    // No ports: the section still flies off; there is just no port to
    // come back to.
    ship_->sim->shipInfo->kind = 0;
    SeparateCommandSection();
    ASSERT_NE(gPlayerItem, ship_);
    EXPECT_EQ(First(ship_), nullptr);
}

TEST_F(CommandSectionTest, DockingAtTheHullsThirdPortMergesTheTwoAgain)
{
    GivePorts();
    SeparateCommandSection();
    SceneItem* n = gPlayerItem;
    DockPoint* third = NthDockPoint(ship_, 2, nullptr);
    ASSERT_EQ(CoupleAtDockPoints(ship_, n, third, First(n), 0), 1);
    // The hull is the player's ship again, whole, flying on the player's
    // routines once the section is gone.
    EXPECT_EQ(gPlayerItem, ship_);
    EXPECT_EQ(gControlledItem, ship_);
    EXPECT_EQ(ship_->avatar->root->model, &whole_);
    EXPECT_EQ(third->savedControl, CONTROL_MAIN);
    EXPECT_EQ(third->savedPerFrame, SIM_MAIN);
    EXPECT_EQ(SymbolObject(&hero_), ship_);
    EXPECT_EQ(ship_->symbol, &hero_);
    EXPECT_EQ(SymbolObject(&head_), ship_);
    EXPECT_EQ(SymbolObject(&body_), ship_);
    ItemMessage m;
    bool removed = false;
    while (FetchItemMessage(n->receiver, &m))
        removed |= m.kind == kMsgDelete;
    EXPECT_TRUE(removed);
    // Once it goes, the hull takes its saved routines back.
    HandleItemMessages(n);
    EXPECT_EQ(ship_->control, CONTROL_MAIN);
    EXPECT_EQ(ship_->perFrame, SIM_MAIN);
}

} // namespace
