// Pools: allocation rule, limits and their messages, zeroing, handles,
// flight models and the shift-register random source.
#include <functional>

#include "system/frameclock.h"
#include "system/input.h"
#include "tests/support/world_fixture.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::FatalStops;
using worldtest::WorldTest;

namespace {

struct PoolCase {
    const char* name;
    int capacity;
    std::function<bool()> alloc; // true when a record came back
    const char* fullMessage;     // null: no message when full
};

std::vector<PoolCase> Pools()
{
    return {
        {"SceneItem", 400, [] { return AllocSceneItem() != nullptr; }, "Exceeded max SceneItems"},
        {"Avatar", 400, [] { return AllocAvatar() != nullptr; }, "Exceeded max Avatars"},
        {"Action", 30, [] { return AllocAction() != nullptr; }, "Exceeded max Actions"},
        {"Sim", 400, [] { return AllocSim() != nullptr; }, "Exceeded max Sims"},
        {"Weapon", 240, [] { return AllocWeapon() != nullptr; }, "Exceeded max Weapons"},
        {"TDP", 600, [] { return AllocTDP() != nullptr; }, "Exceeded max TDPs"},
        {"ShipInfo", 90, [] { return AllocShipInfo() != nullptr; }, "Exceeded max ShipInfos"},
        {"BigHUD", 20, [] { return AllocBigHUD() != nullptr; }, "Exceeded max big HUDs"},
        {"HUD", 200, [] { return AllocHUD() != nullptr; }, "Exceeded max HUDs"},
        {"Emitter", 20, [] { return AllocParticleEmitter() != nullptr; }, nullptr},
        {"SmallEmitter", 50, [] { return AllocSmallParticleEmitter() != nullptr; }, nullptr},
    };
}

} // namespace

TEST_F(WorldTest, EveryPoolHoldsItsLimitAndReportsTheNextRequest)
{
    for (const PoolCase& pool : Pools()) {
        SCOPED_TRACE(pool.name);
        worldtest::ClearFatalStops();
        for (int i = 0; i < pool.capacity; ++i)
            ASSERT_TRUE(pool.alloc()) << "record " << i;
        EXPECT_TRUE(FatalStops().empty());
        EXPECT_FALSE(pool.alloc());
        if (pool.fullMessage)
            EXPECT_EQ(FatalStops(), std::vector<std::string>{pool.fullMessage});
        else
            EXPECT_TRUE(FatalStops().empty());
    }
}

TEST_F(WorldTest, AllocationStartsAfterTheCursorAndFindsTheLastFreeRecord)
{
    SceneItem* pool = SceneItemPool();
    // After a reset the cursor stands on the first record.
    EXPECT_EQ(AllocSceneItem(), &pool[1]);
    for (int i = 2; i < kMaxSceneItems; ++i)
        ASSERT_EQ(AllocSceneItem(), &pool[i]);
    EXPECT_EQ(AllocSceneItem(), &pool[0]); // the wrap
    // Every record in use: giving back the one handed out last and asking
    // again hands out that same record, not "Exceeded max".
    pool[0].flags = 0;
    EXPECT_EQ(AllocSceneItem(), &pool[0]);
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(WorldTest, RecordsAreZeroedAndMarkedWhenHandedOut)
{
    Sim* sim = AllocSim();
    sim->mass = 7;
    sim->hull = 3;
    sim->flags = 0; // given back
    Sim* again = nullptr;
    for (int i = 0; i < kMaxSims && again != sim; ++i)
        again = AllocSim();
    ASSERT_EQ(again, sim);
    EXPECT_EQ(sim->hull, 100);
    EXPECT_EQ(sim->flags, 1u);
    EXPECT_EQ(sim->mass, 0.0f);

    gCurrentSceneGeneration = 3;
    SceneItem* item = AllocSceneItem();
    EXPECT_EQ(item->flags, 1);
    EXPECT_EQ(item->sceneGeneration, 3);
    gCurrentSceneGeneration = 0;

    ParticleEmitter* large = AllocParticleEmitter();
    EXPECT_EQ(large->pointCount, kLargeEmitterPoints);
    EXPECT_EQ(large->points[kLargeEmitterPoints - 1].size, 0.5f);
    ParticleEmitter* small = AllocSmallParticleEmitter();
    ASSERT_NE(small->points, nullptr);
    EXPECT_NE(small->points, large->points);
}

TEST_F(WorldTest, HandlesOfDeletedOrReusedItemsReadAsNone)
{
    SceneItem* item = worldtest::MakeItem();
    SceneItemHandle handle = ItemHandle(item);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(ItemFromHandle(handle), item);
    EXPECT_EQ(ItemFromHandle(0), nullptr);
    EXPECT_EQ(ItemFromHandle(0xFFFFFFFFu), nullptr);

    DeleteSceneItem(item);
    EXPECT_EQ(ItemFromHandle(handle), nullptr);
    // The slot comes back for a new item: the old handle still reads none.
    for (int i = 0; i < kMaxSceneItems - 1; ++i)
        AllocSceneItem();
    SceneItem* reused = AllocSceneItem();
    ASSERT_EQ(reused, item);
    EXPECT_EQ(ItemFromHandle(handle), nullptr);
    EXPECT_EQ(ItemFromHandle(ItemHandle(reused)), reused);
    ResetPools();
    EXPECT_EQ(ItemFromHandle(ItemHandle(reused)), nullptr);
}

// A ship's target, escort and tow partner read as null once the item they
// name is deleted and its slot taken by a new item, never as the newcomer.
TEST_F(WorldTest, ReferencesToADeletedItemNeverReadAsItsSlotsNextItem)
{
    SceneItem* ship = worldtest::MakeItem();
    SceneItem* target = worldtest::MakeItem();
    ship->sim->target = target;
    ship->avatar->escort = target;
    CouplingPartner partner{};
    partner.item = target;
    EXPECT_EQ(ship->sim->target, target);
    EXPECT_EQ(ship->sim->target->sim, target->sim);

    DeleteSceneItem(target);
    EXPECT_TRUE(ship->sim->target.Is(target)); // still named until the slot is reused
    SceneItem* newcomer = nullptr;
    for (int i = 0; i < kMaxSceneItems && newcomer != target; ++i)
        newcomer = AllocSceneItem();
    ASSERT_EQ(newcomer, target);
    EXPECT_EQ(ship->sim->target, nullptr);
    EXPECT_EQ(ship->avatar->escort, nullptr);
    EXPECT_EQ(partner.item, nullptr);
    EXPECT_FALSE(ship->sim->target.Is(newcomer));
}

TEST_F(WorldTest, FlightModelTermsAndSkillScaling)
{
    FlightModel m;
    InitFlightModel(&m, 10, 2, 5, 1e6f, 60, 30, 20, 3);
    EXPECT_FLOAT_EQ(m.topSpeed, 300);
    EXPECT_FLOAT_EQ(m.turnTime, 480.0f / 30 + 240.0f / 60); // roll faster than pitch
    EXPECT_FLOAT_EQ(m.stopping, 3 * m.turnTime + 1.2f * 3 / 10 + 100);
    EXPECT_FLOAT_EQ(m.turnRatio, 180.0f * 10 / 30);
    EXPECT_FLOAT_EQ(m.lateral, 100);
    EXPECT_FLOAT_EQ(m.spoolTime, 300);
    EXPECT_FLOAT_EQ(m.capsuleRating, 100);
    InitFlightModel(&m, 10, 2, 5, 1e6f, 20, 30, 20, 3);
    EXPECT_FLOAT_EQ(m.turnTime, 480.0f / 20 + 480.0f / 30);

    FlightModel* munition = NewFlightModel(50, 1, 10, 10, 10, 2);
    EXPECT_EQ(munition->ldsGrowth, 0.0f);
    EXPECT_EQ(munition->ldsTopSpeed, 0.0f);

    struct {
        int16_t skill;
        float factor;
    } const cases[] = {{50, 1.0f}, {200, 2.0f}, {0, 0.75f}, {125, 1.5f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skill);
        SceneItem* ship = worldtest::MakeItem();
        ShipInfo* info = worldtest::MakeShip(ship);
        info->skill = c.skill;
        ScaleFlightModelBySkill(ship);
        EXPECT_FLOAT_EQ(info->flightModel.acceleration, 100 * c.factor);
        EXPECT_FLOAT_EQ(info->flightModel.pitchRate, 30 * c.factor);
        EXPECT_FLOAT_EQ(info->flightModel.yawRate2, 30 * c.factor);
        EXPECT_FLOAT_EQ(info->flightModel.topSpeed, info->baseFlightModel.topSpeed);
    }
    SceneItem* player = worldtest::MakeItem();
    ShipInfo* info = worldtest::MakeShip(player);
    info->skill = 200;
    gPlayerItem = player;
    ScaleFlightModelBySkill(player);
    EXPECT_FLOAT_EQ(info->flightModel.acceleration, 100);
}

TEST_F(WorldTest, HullBoundsAreFoundByModelAndFreedWithThePools)
{
    auto* modelA = reinterpret_cast<hx_model*>(0x1000);
    auto* modelB = reinterpret_cast<hx_model*>(0x2000);
    HullBounds* a = AllocHullBounds();
    a->model = modelA;
    a->boxes = static_cast<HullBox*>(AllocMemory(sizeof(HullBox)));
    HullBounds* b = AllocHullBounds();
    b->model = modelB;
    EXPECT_EQ(FindHullBounds(modelA), a);
    EXPECT_EQ(FindHullBounds(modelB), b);
    ResetPools(); // the leak checker sees whether the list and boxes went
    EXPECT_EQ(FindHullBounds(modelA), nullptr);
}

TEST_F(WorldTest, ShiftRegisterRandomGivesThePinnedSequence)
{
    // Values worked out independently from the register's definition. From
    // state 0: the state becomes 1 and ones shift in at the top; bit 1 is
    // first set at the 32nd step, so only the last result bit before the
    // final shift is set.
    SeedShiftRegisterRandom(0);
    EXPECT_EQ(ShiftRegisterRandom(), 0x2u);
    EXPECT_EQ(ShiftRegisterRandomState(), 0x3BFFFFFFu);

    SeedShiftRegisterRandom(0x12345678);
    const uint32_t expected[] = {0x79A8B122, 0x975789EA, 0x78286ECA, 0xBF879BA0};
    for (uint32_t value : expected)
        EXPECT_EQ(ShiftRegisterRandom(), value);
    EXPECT_EQ(ShiftRegisterRandomState(), 0x481DC170u);

    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(ShiftRegisterRandom() & 1, 0u);
}

// The register stepped one bit at a time, as it is defined.
TEST_F(WorldTest, ShiftRegisterRandomMatchesTheBitByBitRegister)
{
    auto reference = [](uint32_t& state) {
        uint32_t s = state + 1, result = 0;
        for (int i = 0; i < 32; ++i) {
            result = (result | ((s >> 1) & 1)) << 1;
            uint32_t f = (s >> 31) ^ (s >> 6) ^ (s >> 4) ^ (s >> 2) ^ (s >> 1) ^ s;
            s = (s >> 1) | ((f & 1) << 31);
        }
        state = s;
        return result;
    };
    for (uint32_t seed : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        uint32_t state = seed;
        SeedShiftRegisterRandom(seed);
        ASSERT_EQ(ShiftRegisterRandom(), reference(state)) << seed;
        ASSERT_EQ(ShiftRegisterRandomState(), state) << seed;
    }
    uint32_t state = 0x2468ACE0;
    SeedShiftRegisterRandom(state);
    for (int i = 0; i < 100000; ++i)
        ASSERT_EQ(ShiftRegisterRandom(), reference(state)) << i;
}

TEST_F(WorldTest, ResetPoolsSeedsTheRandomSourceAndForgetsHeldKeys)
{
    gFrameClock.gameClock = 0x12345678;
    GetPreviousKeyStateBlock()[0x39] = 255;
    ResetPools();
    EXPECT_EQ(ShiftRegisterRandom(), 0x79A8B122u);
    EXPECT_EQ(GetPreviousKeyStateBlock()[0x39], 0);
}
