// The combat states, called step by step: what the attack-run loop pushes,
// the manoeuvres' points and thrust, fleeing and its LDS way out.
#include <gtest/gtest.h>

#include "ai/combathelpers.h"
#include "ai/combatstates.h"
#include "ai/steering.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

class CombatStatesTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ship_ = Ship(0, 1);
        enemy_ = Ship(300000, 2);
        ship_->sim->target = ship_->sim->secondTarget = enemy_;
        gFrameClock.frameTicks = 5;
    }
    static SceneItem* Ship(double z, int16_t side)
    {
        SceneItem* item = MakeItem();
        ShipInfo* info = MakeShip(item);
        info->side = side;
        info->flightModel.acceleration = 4000;
        info->flightModel.topSpeed = 50000;
        item->sim->flightModel = &info->flightModel;
        item->sim->position.z = z;
        item->sim->matrix.m[14] = static_cast<float>(z);
        return item;
    }
    AIStateResult Step(AIStateHandler handler, int16_t subState, int32_t p1 = 0, int32_t p2 = 0, int32_t p3 = 0)
    {
        AIStateResult r{};
        r.value = 1.0f;
        r.action = kAIStay;
        r.nextSubState = subState;
        r.timerSlot = 5;
        handler(&r, ship_, subState, 0.0f, timers_, p1, p2, p3);
        return r;
    }
    SceneItem* ship_ = nullptr;
    SceneItem* enemy_ = nullptr;
    int32_t timers_[kAITimers] = {};
};

TEST_F(CombatStatesTest, TheAttackLoopPushesWhatThePlannerAnswersAndBrakesOnNone)
{
    struct Case {
        const char* name;
        uint32_t style;
        bool enemyIsShip;
    };
    const Case cases[] = {
        {"no stance yet: close in", 0, true},
        {"fleeing stance", 0x1000, true},
        {"stand-off stance", 0x800, true},
        {"no ship to plan against", 0x400, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ship_->sim->flags = (ship_->sim->flags & ~0x1C00u) | c.style;
        ShipInfo* saved = enemy_->sim->shipInfo;
        if (!c.enemyIsShip)
            enemy_->sim->shipInfo = nullptr;
        ship_->sim->velocity = {0, 0, 3000};
        ship_->sim->target = ship_->sim->secondTarget = enemy_;
        const uint32_t stance = c.style ? c.style : 0x400;
        // The planner's answer for the same ship in the stance the loop sets.
        const uint32_t flags = ship_->sim->flags;
        ship_->sim->flags = (flags & ~0x1C00u) | stance;
        const int32_t expected = PlanAttackRun(ship_, nullptr);
        ship_->sim->flags = flags;
        const AIStateResult r = Step(CombatState, 1);
        EXPECT_EQ(ship_->sim->flags & 0x1C00u, stance);
        if (expected > 0) {
            EXPECT_EQ(r.action, kAIPush);
            EXPECT_EQ(r.pushState, expected);
            EXPECT_EQ(r.nextSubState, 1);
        } else {
            EXPECT_EQ(r.action, kAIStay);
            EXPECT_EQ(r.value, 1.0f);
            EXPECT_LT(ship_->sim->thrust.z, 0.0f) << "braking";
        }
        enemy_->sim->shipInfo = saved;
    }
}

TEST_F(CombatStatesTest, TailBitingKeepsTheEnemysRadiusPlus150000Behind)
{
    enemy_->sim->radius = 5000;
    // The ship already sits at that point: nothing left to close.
    ship_->sim->position.z = ship_->sim->matrix.m[14] = 300000 - 155000;
    Step(TailBitingState, 2, 0);
    EXPECT_NEAR(gSteerPointDistance, 0.0f, 1.0f);
    // A given distance is kept instead.
    Step(TailBitingState, 2, 50000);
    EXPECT_NEAR(gSteerPointDistance, 105000.0f, 1.0f);
    // The enemy's forward axis decides where behind is.
    MatSetRotY(180.0f, enemy_->sim->matrix);
    Step(TailBitingState, 2, 0);
    EXPECT_NEAR(gSteerPointDistance, 310000.0f, 1.0f);
}

TEST_F(CombatStatesTest, TailBitingRePlansAfterItsSpan)
{
    timers_[0] = 140;
    AIStateResult r = Step(TailBitingState, 2);
    EXPECT_EQ(r.nextSubState, 2);
    r = Step(TailBitingState, 2);
    EXPECT_EQ(r.nextSubState, 3);
    // With a given enemy it goes on; without, only while the planner says so.
    r = Step(TailBitingState, 3, 0, static_cast<int32_t>(ItemHandle(enemy_)));
    EXPECT_EQ(r.nextSubState, 2);
    EXPECT_EQ(timers_[0], 0);
    ship_->sim->flags |= 0x1000; // the planner now answers flee
    r = Step(TailBitingState, 3);
    EXPECT_EQ(r.action, kAIPop);
}

TEST_F(CombatStatesTest, GunLeadMotionThrustsByDistance)
{
    struct Case {
        double distance;
        float thrust;
    };
    for (const Case c : {Case{50000, 2000}, Case{100000, 4000}, Case{300000, 4000}, Case{10000, 400}}) {
        enemy_->sim->position.z = c.distance;
        const AIStateResult r = Step(Gun_lead_motion, 1);
        EXPECT_EQ(r.action, kAIStay);
        EXPECT_EQ(r.nextSubState, 1);
        EXPECT_FLOAT_EQ(ship_->sim->thrust.z, c.thrust) << c.distance;
    }
}

TEST_F(CombatStatesTest, FleeingLeavesByLdsWhenAskedAndTheDriveWorks)
{
    struct Case {
        int32_t parameter3;
        float ldsTopSpeed;
        uint32_t barred;
        bool pops;
    };
    const Case cases[] = {
        {2, 600000, 0, true},
        {2, 0, 0, false},
        {2, 600000, 0x100, false},
        {0, 600000, 0, false},
    };
    for (const Case& c : cases) {
        ship_->sim->shipInfo->flightModel.ldsTopSpeed = c.ldsTopSpeed;
        ship_->sim->flags = (ship_->sim->flags & ~0x100u) | c.barred;
        for (int16_t sub : {1, 2, 3}) {
            const AIStateResult r = Step(esc_Flee, sub, 0, 0, c.parameter3);
            if (c.pops) {
                EXPECT_EQ(r.action, kAIPop) << sub;
                EXPECT_EQ(r.value, 0.0f);
            } else if (sub != 3) {
                EXPECT_EQ(r.action, kAIStay) << c.parameter3 << " " << c.ldsTopSpeed;
            }
        }
    }
}

TEST_F(CombatStatesTest, FleeingRunsOnThenBrakesFarOut)
{
    ship_->sim->shipInfo->damage.maximumHull = 100;
    AIStateResult r = Step(esc_Flee, 1);
    EXPECT_EQ(r.nextSubState, 2);
    EXPECT_FLOAT_EQ(ship_->sim->thrust.z, 4000.0f) << "full ahead below top speed";
    EXPECT_EQ(ship_->pitchDemand, 0.0f) << "no turn asked for";
    // Beyond 1050000 from its target it brakes to rest.
    enemy_->sim->position.z = 2e6;
    ship_->sim->velocity = {0, 0, 20000};
    ship_->sim->localVelocity = {0, 0, 20000};
    Step(esc_Flee, 2);
    EXPECT_LT(ship_->sim->thrust.z, 0.0f);
    // The review: badly damaged ships flee on whatever the planner says.
    ship_->sim->shipInfo->damage.hullDamage = 40;
    r = Step(esc_Flee, 3);
    EXPECT_EQ(r.action, kAIStay);
    EXPECT_EQ(r.nextSubState, 2);
    ship_->sim->shipInfo->damage.hullDamage = 10;
    ship_->sim->flags &= ~0x1C00u;
    r = Step(esc_Flee, 3);
    EXPECT_EQ(r.action, kAIPop);
    // A hull without points (a record made without its defaults) counts as
    // wrecked: the ship flees on.
    ship_->sim->shipInfo->damage.maximumHull = 0;
    ship_->sim->shipInfo->damage.hullDamage = 0;
    ship_->sim->flags &= ~0x1C00u;
    r = Step(esc_Flee, 3);
    EXPECT_EQ(r.action, kAIStay);
}

TEST_F(CombatStatesTest, FireAtWillPopsAtOnceOutOfRange)
{
    enemy_->sim->radius = 1000;
    ship_->sim->radius = 100;
    enemy_->sim->position.z = 14000 + 400 + 400000 + 1;
    AIStateResult r = Step(off_FireAtWill, 1);
    EXPECT_EQ(r.action, kAIPop);
    // In range without a mount: four shots to fire, held at aiming.
    enemy_->sim->position.z = 400000;
    r = Step(off_FireAtWill, 1);
    EXPECT_EQ(r.action, kAIStay);
    EXPECT_EQ(r.nextSubState, 3);
    EXPECT_EQ(timers_[0], 4);
}

TEST_F(CombatStatesTest, TheCloseAndFireCycle)
{
    const int32_t enemy = static_cast<int32_t>(ItemHandle(enemy_));
    ship_->sim->target = nullptr;
    AIStateResult r = Step(GenericOffensiveState, 1, 0, enemy);
    EXPECT_EQ(ship_->sim->target.Get(), enemy_);
    EXPECT_EQ(r.pushState, 20);
    EXPECT_EQ(r.nextSubState, 2);
    r = Step(GenericOffensiveState, 2);
    EXPECT_EQ(r.pushState, 21);
    EXPECT_EQ(r.nextSubState, 3);
    r = Step(GenericOffensiveState, 3);
    EXPECT_EQ(r.action, kAIStay);
    EXPECT_EQ(r.nextSubState, 1);
    // off_Close runs for 126 ticks, then goes back to its start.
    timers_[0] = 120;
    r = Step(off_Close, 2);
    EXPECT_EQ(r.nextSubState, 2);
    r = Step(off_Close, 2);
    EXPECT_EQ(r.nextSubState, 1);
}

TEST_F(CombatStatesTest, OrbitalAttackAimsBesideItsEnemyOrItsAttacker)
{
    enemy_->sim->radius = 10000;
    AIStateResult r = Step(OrbitalAttack, 1, static_cast<int32_t>(ItemHandle(enemy_)));
    EXPECT_EQ(r.action, kAIStay);
    EXPECT_FLOAT_EQ(ship_->sim->thrust.z, 4000.0f);
    EXPECT_NE(ship_->yawDemand, 0.0f) << "turning toward the point beside the enemy";
    // Under fire from a third ship, that ship is the one attacked; none left: pop.
    SceneItem* third = Ship(-1000, 3);
    ship_->avatar->lockedOn = third;
    ship_->avatar->lockedAmount = 20;
    DeleteSceneItem(enemy_);
    r = Step(OrbitalAttack, 1);
    EXPECT_EQ(r.action, kAIStay);
    DeleteSceneItem(third);
    r = Step(OrbitalAttack, 1);
    EXPECT_EQ(r.action, kAIPop);
}

TEST_F(CombatStatesTest, FightingOnceSetsItsStanceAndClearsItAfter)
{
    AIStateResult r = Step(CombatOnce, 1);
    EXPECT_EQ(r.pushState, 33);
    EXPECT_EQ(ship_->sim->flags & 0x9C00u, 0x9400u);
    r = Step(CombatOnce, 2);
    EXPECT_EQ(r.action, kAIPop);
    EXPECT_EQ(ship_->sim->flags & 0x8000u, 0u);
    r = Step(WingmanCombatOnce, 2);
    EXPECT_EQ(r.pushState, 43);
}

TEST_F(CombatStatesTest, RetaliationTakesOnTheDefendedObjectsAttacker)
{
    SceneItem* mothership = Ship(1000, 1);
    ship_->avatar->defended = mothership;
    AIStateResult r = Step(Retaliation, 1);
    EXPECT_EQ(r.action, kAIPop) << "nobody attacks it";
    mothership->avatar->lockedOn = enemy_;
    ship_->sim->target = ship_->sim->secondTarget = nullptr;
    r = Step(Retaliation, 1);
    EXPECT_EQ(r.pushState, 44);
    EXPECT_EQ(r.nextSubState, 3);
    EXPECT_EQ(ship_->sim->target.Get(), enemy_);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), enemy_);
}

TEST_F(CombatStatesTest, AWeaponsPassClosesBesideTheEnemyThenBrakes)
{
    const int32_t enemy = static_cast<int32_t>(ItemHandle(enemy_));
    enemy_->sim->radius = 1000;
    // Beyond the pass distance, nearly facing the point beside the enemy, slow.
    AIStateResult r = Step(WeaponsPassState, 1, enemy, 100000, 5000);
    EXPECT_EQ(r.nextSubState, 1);
    EXPECT_FLOAT_EQ(ship_->sim->thrust.z, 2000.0f) << "half the main thrust";
    // Too fast: no thrust.
    ship_->sim->speed = 6000;
    Step(WeaponsPassState, 1, enemy, 100000, 5000);
    EXPECT_FLOAT_EQ(ship_->sim->thrust.z, 0.0f);
    // Within the pass distance it goes to firing.
    r = Step(WeaponsPassState, 1, enemy, 400000, 5000);
    EXPECT_EQ(r.nextSubState, 2);
    r = Step(WeaponsPassState, 2, enemy, 100000, 5000);
    EXPECT_EQ(r.nextSubState, 3);
    // Braking: against the motion, sideways within two thirds of the thrust.
    ship_->sim->velocity = {9000, 0, -500};
    r = Step(WeaponsPassState, 3, enemy, 100000, 5000);
    EXPECT_EQ(r.nextSubState, 3);
    EXPECT_FLOAT_EQ(ship_->sim->thrust.x, -4000.0f * 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(ship_->sim->thrust.z, 500.0f);
    ship_->sim->speed = 2000;
    r = Step(WeaponsPassState, 3, enemy, 100000, 5000);
    EXPECT_EQ(r.nextSubState, 1);
    DeleteSceneItem(enemy_);
    r = Step(WeaponsPassState, 1, enemy, 100000, 5000);
    EXPECT_EQ(r.action, kAIPop);
}

TEST_F(CombatStatesTest, AchievingRangeChecksTheLdsEveryTwelfthCall)
{
    AIStateResult r = Step(CombatAchieveRange, 1);
    EXPECT_EQ(r.nextSubState, 2);
    for (int call = 1; call < 12; ++call) {
        r = Step(CombatAchieveRange, 2);
        ASSERT_EQ(r.nextSubState, 2) << call;
    }
    r = Step(CombatAchieveRange, 2);
    EXPECT_EQ(r.nextSubState, 1);
    EXPECT_EQ(ship_->avatar->range, 0.0f) << "the weapons range is set for the call only";
}

} // namespace
