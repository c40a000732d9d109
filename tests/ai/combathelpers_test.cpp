// Combat helpers: the attack-run planner's table, sensor noise and the
// nearest-item search, counts by side, forgetting removed items, group
// leaders, formation slots, placement near L4 and the vertex pickers.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ai/combathelpers.h"
#include "view/markerlights.h"
#include "ai/orders.h"
#include "framework/scene.h"
#include "system/calltrace.h"
#include "system/crand.h"
#include "tests/support/effects_probe.h"
#include "tests/support/world_fixture.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/universe.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

class CombatHelpersTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        gTargetSearchIgnoredItem = nullptr;
        CRandSeed(7);
    }
    void TearDown() override
    {
        gTargetSearchIgnoredItem = nullptr;
        gBodies[0] = SystemBody{};
        gBodyCount = 0;
        gSystemBodyList[0] = SystemBodyEntry{};
        gSystemBodyCount = 0;
        gPlayerItem = nullptr;
        WorldTest::TearDown();
    }
    SceneItem* Ship(int16_t side, uint32_t classFlags, double z = 0, float radius = 100)
    {
        SceneItem* item = MakeItem();
        MakeShip(item)->side = side;
        item->avatar->classFlags = classFlags;
        item->sim->position.z = z;
        item->sim->radius = radius;
        return item;
    }
    SceneItem* Plain(uint32_t classFlags, double z, float radius = 0)
    {
        SceneItem* item = MakeItem();
        item->avatar->classFlags = classFlags;
        item->sim->position.z = z;
        item->sim->radius = radius;
        return item;
    }
    void Arm(SceneItem* item, int mounts)
    {
        for (int i = 0; i < mounts; ++i) {
            Weapon* w = AllocWeapon();
            w->next = item->sim->weapons;
            item->sim->weapons = w;
        }
    }
    // An "L4" body item at z, a body of the current star system.
    SceneItem* MakeL4(double z)
    {
        SceneItem* l4 = Plain(kClassNamedBody, z);
        l4->sceneGeneration = gCurrentSceneGeneration;
        std::strcpy(gBodies[0].name, "L4");
        gBodies[0].sceneItem = l4;
        gBodyCount = 1;
        gSystemBodyList[0].body = &gBodies[0];
        gSystemBodyCount = 1;
        return l4;
    }
};

// ---- The attack-run planner

TEST_F(CombatHelpersTest, TheAttackRunPlannerTable)
{
    struct Case {
        const char* what;
        uint32_t style;
        float pitch, roll; // the ship's turn rates
        int mounts;
        int extraFriends, extraEnemies;
        float targetAcceleration;
        float targetRadius;
        int32_t expected;
    };
    const Case cases[] = {
        {"style 0 keeps its state", 0, 30, 30, 1, 0, 0, 100, 100, 44},
        {"style 0x1000 flees", 0x1000, 30, 30, 1, 0, 0, 100, 100, 59},
        {"slow to turn: guard", 0x1400, 2, 3, 1, 0, 0, 100, 100, 22},
        {"agile: tail biting", 0x1400, 15, 15, 1, 0, 0, 100, 100, 30},
        {"fairly agile with few mounts", 0x1400, 5, 5, 4, 0, 0, 100, 100, 30},
        {"fairly agile with many mounts: guard", 0x1400, 5, 5, 5, 0, 0, 100, 100, 22},
        {"three friends to one foe: face attack", 0x1400, 15, 15, 1, 3, 0, 100, 100, 31},
        {"a faster, smaller target: face attack", 0x1400, 15, 15, 1, 0, 0, 151, 90, 31},
        {"a faster target of the same size", 0x1400, 15, 15, 1, 0, 0, 151, 100, 30},
        {"style 0x400 among few foes", 0x400, 15, 15, 1, 0, 2, 100, 100, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        SceneItem* ship = Ship(0, 0x40, 0);
        SceneItem* target = Ship(2, 0x100, 1000);
        ship->sim->target = target;
        ship->sim->flags |= c.style;
        ShipInfo* info = ship->sim->shipInfo;
        info->flightModel.pitchRate = c.pitch;
        info->flightModel.rollRate = c.roll;
        info->stateStack[0].stateId = 44;
        target->sim->shipInfo->flightModel.acceleration = c.targetAcceleration;
        target->sim->radius = c.targetRadius;
        Arm(ship, c.mounts);
        for (int i = 0; i < c.extraFriends; ++i)
            Ship(0, 0x80, 5000);
        for (int i = 0; i < c.extraEnemies; ++i)
            Ship(3, 0x100, 5000);
        EXPECT_EQ(PlanAttackRun(ship, nullptr), c.expected);
        EXPECT_EQ(ship->sim->secondTarget.Get(), target); // the target leads now
    }
}

TEST_F(CombatHelpersTest, ThePlannerClosesOnAFarTargetAndLetsAnOutmatchedShipGo)
{
    SceneItem* ship = Ship(0, 0x40);
    SceneItem* target = Ship(2, 0x100, 500000);
    Arm(ship, 1);
    ship->sim->flags |= 0x400;
    EXPECT_EQ(PlanAttackRun(ship, target), 32);
    target->sim->position.z = 1000;
    EXPECT_EQ(PlanAttackRun(ship, target), 30);
    target->sim->flags |= kSimLdsEngaged; // in LDS: close the range whatever the distance
    EXPECT_EQ(PlanAttackRun(ship, target), 32);
    target->sim->flags &= ~kSimLdsEngaged;
    ship->sim->target = target;

    // Four foes to one friend: outmatched. It runs unless the main thrust is
    // damaged; then it turns its deflectors with more than one hard point.
    for (int i = 0; i < 3; ++i)
        Ship(3, 0x100, 5000);
    EXPECT_EQ(PlanAttackRun(ship, target), 59);
    EXPECT_NE(ship->avatar->classFlags & 0x8000000, 0u);
    ShipInfo* info = ship->sim->shipInfo;
    info->damage.capabilities = 0x2;
    info->hardPointCount = 2;
    EXPECT_EQ(PlanAttackRun(ship, target), 28);
    EXPECT_EQ(ship->avatar->classFlags & 0x8000000, 0u);
    info->hardPointCount = 1;
    EXPECT_EQ(PlanAttackRun(ship, target), 59);

    // Without a target, a ship target or a mount.
    EXPECT_EQ(PlanAttackRun(ship, Plain(0, 10)), -1);
    ship->sim->target = nullptr;
    EXPECT_EQ(PlanAttackRun(ship, nullptr), -1);
    SceneItem* unarmed = Ship(0, 0x40);
    unarmed->sim->flags |= 0x1400;
    EXPECT_EQ(PlanAttackRun(unarmed, target), 59);
    unarmed->sim->shipInfo->flightModel.ldsTopSpeed = 1;
    unarmed->sim->shipInfo->flightModel.acceleration = 1;
    EXPECT_EQ(PlanAttackRun(unarmed, target), -1);
}

// ---- Searches

TEST_F(CombatHelpersTest, SensorNoiseByDistance)
{
    SceneItem* item = Plain(0xF0F0, 0);
    const float limits[2] = {1000.0f, 100.0f};
    EXPECT_EQ(NoisyClassFlags(limits, item, 99.0f), 0xF0F0u);
    EXPECT_EQ(NoisyClassFlags(limits, item, 1000.5f), 0u);
    bool changed = false;
    bool seen = false;
    for (int i = 0; i < 20; ++i) {
        const uint32_t flags = NoisyClassFlags(limits, item, 1000.0f);
        changed = changed || flags != 0xF0F0u;
        seen = seen || flags != 0;
    }
    EXPECT_TRUE(changed);
    EXPECT_TRUE(seen);
    // A near limit of 0 or less: the exact flags, never an endless count.
    for (float near : {0.0f, -5.0f}) {
        const float flat[2] = {1000.0f, near};
        EXPECT_EQ(NoisyClassFlags(flat, item, 500.0f), 0xF0F0u);
    }
}

TEST_F(CombatHelpersTest, TheNearestItemWithTheFlags)
{
    SceneItem* self = Plain(0x3, 0);
    SceneItem* near = Plain(0x3, 100);
    SceneItem* far = Plain(0x3, 1e15);
    Plain(0x1, 50);     // lacks an include bit
    Plain(0x3 | 8, 60); // has the exclude bit
    EXPECT_EQ(FindNearestItemByFlags(nullptr, 0x3, 8, self, 0.0f), near);
    gTargetSearchIgnoredItem = near;
    EXPECT_EQ(FindNearestItemByFlags(nullptr, 0x3, 8, self, 0.0f), far); // range 0 reaches anywhere
    EXPECT_EQ(FindNearestItemByFlags(nullptr, 0x3, 8, self, 1000.0f), nullptr);
    gTargetSearchIgnoredItem = nullptr;
    EXPECT_EQ(FindNearestItemByFlags(nullptr, 0x3, 8, self, 100.0f), nullptr); // strictly within
    // Through sensors that see nothing that far.
    const float limits[2] = {40.0f, 10.0f};
    EXPECT_EQ(FindNearestItemByFlags(limits, 0x3, 8, self, 0.0f), nullptr);
}

TEST_F(CombatHelpersTest, FlagWalksCountsAndForgetting)
{
    SceneItem* a = Ship(1, 0x84);
    SceneItem* b = Ship(1, 0x04);
    SceneItem* c = Ship(2, 0x8C);
    SceneItem* plain = Plain(0x84, 0);
    EXPECT_EQ(FindFirstItemWithFlags(0x84), a);
    EXPECT_EQ(FindNextItemWithFlags(a->next, 0x84), c);
    EXPECT_EQ(FindNextItemWithFlags(c->next, 0x84), plain);
    EXPECT_EQ(FindNextItemWithFlags(plain->next, 0x84), nullptr);
    EXPECT_EQ(FindNextItemWithFlags(nullptr, 0x84), nullptr);

    CountShipsByType();
    EXPECT_EQ(gSideCounts[1], 2);
    EXPECT_EQ(gSideCounts[2], 1);
    EXPECT_EQ(gSideCounts[0], 0);
    EXPECT_EQ(CountItemsOfType(1), 2);
    EXPECT_EQ(CountItemsOfType(2), 0); // class flag 8 is not counted
    gTargetSearchIgnoredItem = b;
    EXPECT_EQ(CountItemsOfType(1), 1);

    a->sim->target = c;
    a->sim->secondTarget = c;
    b->sim->target = c;
    ForgetTargetEverywhere(c);
    EXPECT_EQ(a->sim->target.Get(), nullptr);
    EXPECT_EQ(b->sim->target.Get(), nullptr);
    EXPECT_EQ(a->sim->secondTarget.Get(), c);
    ForgetLeaderEverywhere(c);
    EXPECT_EQ(a->sim->secondTarget.Get(), nullptr);
}

// ---- Groups

TEST_F(CombatHelpersTest, AGroupLearnsItsLeaderOrTheItemLeadsAndAttacks)
{
    auto member = [&](int16_t group) {
        SceneItem* s = Ship(0, 0);
        s->sim->shipInfo->group = group;
        return s;
    };
    SceneItem* first = member(5);
    SceneItem* item = member(5);
    SceneItem* before = member(5);
    SceneItem* leader = member(5);
    SceneItem* after = member(5);
    SceneItem* stranger = member(6);
    leader->sim->shipInfo->flags |= kShipGroupLeader;
    SceneItem* enemy = Ship(0, 0);
    item->sim->target = enemy;
    ElectFixedAttackLeader(item);
    for (SceneItem* s : {first, before, after})
        EXPECT_EQ(s->sim->shipInfo->leader.Get(), leader);
    EXPECT_EQ(stranger->sim->shipInfo->leader.Get(), nullptr);
    EXPECT_EQ(item->sim->shipInfo->flags & kShipGroupLeader, 0u);
    EXPECT_EQ(item->sim->secondTarget.Get(), enemy);

    // No leader in the group: the item takes the lead with "FixedAttack".
    leader->sim->shipInfo->flags = 0;
    ElectFixedAttackLeader(item);
    ShipInfo* info = item->sim->shipInfo;
    EXPECT_NE(info->flags & kShipGroupLeader, 0u);
    EXPECT_EQ(item->sim->flags & 0x1400, 0x1400u);
    EXPECT_STREQ(info->orders[1].name, "FixedAttack");
    EXPECT_EQ(info->orders[1].weight, 70);
    EXPECT_EQ(info->orders[1].parameter1, 80);
    EXPECT_EQ(info->currentOrder, 1);
    EXPECT_EQ(info->stateStack[0].stateId, 33);
    EXPECT_EQ(first->sim->shipInfo->leader.Get(), item);
    EXPECT_EQ(after->sim->shipInfo->leader.Get(), item);

    // A leader that detaches takes a fresh group and asks it to elect.
    gLastGroupNumber = 40;
    const uint32_t posted = GetMessageStats().messagesPosted;
    DetachGroupLeader(item);
    EXPECT_EQ(info->flags & kShipGroupLeader, 0u);
    EXPECT_EQ(info->group, 41);
    EXPECT_EQ(GetMessageStats().messagesPosted, posted + 1);
    DetachGroupLeader(item); // no leader any more: nothing
    EXPECT_EQ(info->group, 41);
}

TEST_F(CombatHelpersTest, APeerOfTheSameSideHearsOfTheTarget)
{
    SceneItem* item = Ship(2, 0);
    item->sim->target = Ship(1, 0);
    const uint32_t posted = GetMessageStats().messagesPosted;
    TellPeerAboutLeader(item);
    EXPECT_EQ(GetMessageStats().messagesPosted, posted); // no peer
    Ship(2, 0);
    TellPeerAboutLeader(item);
    EXPECT_EQ(GetMessageStats().messagesPosted, posted + 1);
}

// ---- Placement

TEST_F(CombatHelpersTest, FormationSlotsInRowsOfFive)
{
    SceneItem* leader = Plain(0, 0, 50);
    leader->sim->position = {1000, 0, 0};
    leader->sim->velocity = {1, 2, 3};
    leader->sim->flags |= kSimLdsEngaged;
    SceneItem* item = Plain(0, 0);
    struct Case {
        int32_t slot;
        double x, y, z;
    };
    for (const Case c : {Case{0, 1200, 0, -150}, Case{4, 1200, 0, -150}, Case{1, 800, 0, -150},
                         Case{2, 1100, 0, -100}, Case{3, 900, 0, -100}, Case{5, 800, -100, -250},
                         Case{6, 1200, -100, -250}, Case{10, 1200, 100, -350}}) {
        FormationSlotPosition(item, leader, 100.0f, c.slot);
        EXPECT_NEAR(item->sim->position.x, c.x, 1e-3) << c.slot;
        EXPECT_NEAR(item->sim->position.y, c.y, 1e-3) << c.slot;
        EXPECT_NEAR(item->sim->position.z, c.z, 1e-3) << c.slot;
        EXPECT_FLOAT_EQ(item->sim->matrix.m[12], static_cast<float>(c.x));
    }
    EXPECT_FLOAT_EQ(item->sim->velocity.z, 3.0f);
    EXPECT_NE(item->sim->flags & kSimLdsEngaged, 0u);

    // A leader turned half round: behind it is ahead along z.
    MatSetRotY(180.0f, leader->sim->matrix);
    FormationSlotPosition(item, leader, 100.0f, 0);
    EXPECT_NEAR(item->sim->position.x, 800, 1e-2);
    EXPECT_NEAR(item->sim->position.z, 150, 1e-2);
    EXPECT_NEAR(item->sim->matrix.m[10], -1.0f, 1e-6);
}

TEST_F(CombatHelpersTest, PlacementNearL4KeepsClearAndWidensInACrowd)
{
    SceneItem* item = Plain(0, 0, 1000);
    float radius = 100000.0f;
    EXPECT_EQ(PlaceItemNearL4(item, &radius, 1), 0); // no L4: nothing moves
    EXPECT_EQ(item->sim->position.z, 0.0);

    SceneItem* l4 = MakeL4(5e6);
    MatSetRotY(90.0f, l4->sim->matrix);
    // A keeper sits on L4 with a wide radius: the first tries fail.
    Plain(0x4, 5e6, 300000);
    const float clearance = 1000 + 150000;
    radius = 100000.0f;
    EXPECT_EQ(PlaceItemNearL4(item, &radius, 0), 0);
    EXPECT_FLOAT_EQ(radius, 100000.0f + clearance / 2);
    radius = 100000.0f;
    ClearCallTrace();
    EXPECT_EQ(PlaceItemNearL4(item, &radius, 1), 255);
    const double d = std::sqrt(std::pow(item->sim->position.x, 2) + std::pow(item->sim->position.y, 2) +
                               std::pow(item->sim->position.z - 5e6, 2));
    EXPECT_GE(d, 300000.0 + clearance - 1.0);
    EXPECT_NEAR(d, radius, 1.0);
    EXPECT_FLOAT_EQ(item->sim->matrix.m[0], l4->sim->matrix.m[0]);
    EXPECT_EQ(effectsprobe::Sweeps(item, 1), 0); // no player near

    gPlayerItem = Plain(0, 5e6);
    radius = 700000.0f;
    EXPECT_EQ(PlaceItemNearL4(item, &radius, 0), 255);
    EXPECT_EQ(effectsprobe::Sweeps(item, 1), 1);
}

TEST_F(CombatHelpersTest, ReleasingAParkedItemAtL4)
{
    EXPECT_EQ(ReleaseItemAtL4(0x80, 3), nullptr); // nothing parked
    SceneItem* wrongGeneration = Plain(0x80, 0, 10);
    wrongGeneration->sceneGeneration = 2;
    SceneItem* parked = Plain(0x80 | 0x100, 0, 10);
    parked->sceneGeneration = 3;
    ParkSceneItem(wrongGeneration, 0, 0, 0);
    ParkSceneItem(parked, 0, 0, 0);

    // No L4: found, but no place for it.
    EXPECT_EQ(ReleaseItemAtL4(0x80, 3), &gParkedList);
    EXPECT_EQ(parked->linked, kInParkedList);

    MakeL4(1e6);
    gPlayerItem = Plain(0, 0);
    gPlayerItem->sceneGeneration = 7;
    ClearCallTrace();
    EXPECT_EQ(ReleaseItemAtL4(0x80, 3), parked);
    EXPECT_TRUE(IsInSceneList(parked));
    EXPECT_EQ(parked->sceneGeneration, 7);
    EXPECT_NE(MarkerSetOf(parked), nullptr); // its light
    const Vector3 forward{parked->sim->matrix.m[8], parked->sim->matrix.m[9], parked->sim->matrix.m[10]};
    const float speed = VecLength(parked->sim->velocity);
    EXPECT_GT(speed, 40000.0f * 0.99f);
    EXPECT_LT(speed, 50000.0f * 1.01f);
    EXPECT_GT(VecDot(parked->sim->velocity, forward), 0.0f);
    EXPECT_EQ(std::memcmp(&parked->avatar->matrix, &parked->sim->matrix, sizeof(Matrix4)), 0);
    EXPECT_EQ(ReleaseItemAtL4(0x80, 3), nullptr); // none left of that generation
}

// ---- Vertex pickers

TEST_F(CombatHelpersTest, VertexPickers)
{
    hx_vertex vertices[4] = {};
    const float zs[4] = {-5, 1, 3, 8};
    for (int i = 0; i < 4; ++i) {
        vertices[i].p = {static_cast<float>(i), 0, zs[i]};
    }
    vertices[1].gap[0] = 1; // marked
    hx_model model{};
    model.vertices = vertices;
    model.nvertices = 4;
    TDP part{};
    part.model = &model;

    int32_t cursor = 0;
    std::vector<float> xs;
    for (int i = 0; i < 4; ++i)
        xs.push_back(NextUnmarkedModelVertex(&part, &cursor).x);
    EXPECT_EQ(xs, (std::vector<float>{0, 2, 3, 0}));
    cursor = 99; // past the end: from the start
    EXPECT_EQ(NextUnmarkedModelVertex(&part, &cursor).x, 0.0f);

    cursor = 3;
    EXPECT_EQ(PickModelVertexInZRange(&part, &cursor, 0.0f, 5.0f).x, 1.0f); // wraps past 3 and 0
    EXPECT_EQ(cursor, 2);
    EXPECT_EQ(PickModelVertexInZRange(&part, &cursor, 0.0f, 5.0f).x, 2.0f);
    EXPECT_EQ(PickModelVertexInZRange(&part, &cursor, 3.0f, 8.0f).z, 0.0f); // strictly between: none
    cursor = -1;
    const float z = PickModelVertexInZRange(&part, &cursor, -10.0f, 10.0f).z;
    EXPECT_TRUE(z == -5 || z == 1 || z == 3 || z == 8);

    // No vertices: the zero vector, from either picker.
    model.nvertices = 0;
    cursor = -1;
    EXPECT_EQ(PickModelVertexInZRange(&part, &cursor, -10.0f, 10.0f).z, 0.0f);
    EXPECT_EQ(NextUnmarkedModelVertex(&part, &cursor).x, 0.0f);
    for (int i = 0; i < 4; ++i)
        vertices[i].gap[0] = 1;
    model.nvertices = 4;
    EXPECT_EQ(NextUnmarkedModelVertex(&part, &cursor).x, 0.0f);
}

} // namespace
