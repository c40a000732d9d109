// Ship orders: the switching rule and its bounds, delays, prerequisites and
// time limits, the scoring cadence, the leper player, order activation, the
// order table and its evaluators, the enemy choice and the player's wing.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/log_font.h"

#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "ai/orders.h"
#include "script/configstatements.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::SetFrameStep;
using worldtest::WorldTest;

namespace {

int32_t H(const SceneItem* item) { return static_cast<int32_t>(ItemHandle(item)); }

// Scores its first parameter as it stands.
int32_t ScoreP1(SceneItem*, int32_t p1, int32_t, OrderSlot*) { return p1; }

class OrdersTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ship_ = MakeItem();
        info_ = MakeShip(ship_);
        ClearOrderSlots(info_);
        info_->tickAccumulator = 0;
        std::memset(gWingSlots, 0, sizeof gWingSlots);
        gNextWingman = 0;
        gTargetSearchIgnoredItem = nullptr;
    }
    void TearDown() override
    {
        std::memset(gWingSlots, 0, sizeof gWingSlots);
        for (int n : kTexts)
            gTextTable[n] = nullptr;
        gTargetSearchIgnoredItem = nullptr;
        gPlayerItem = nullptr;
        WorldTest::TearDown();
    }
    // Slot n scores p1 through ScoreP1 and starts state `state`.
    void Slot(int32_t n, int32_t score, int32_t state = 0, int32_t weight = 1)
    {
        info_->orders[n].name = "test";
        SetOrderSlot(info_, n, 0, 0, 0, weight, ScoreP1, score, 0);
        SetOrderState(info_, n, state ? state : 100 + n, n, 0, 0);
    }
    SceneItem* Ship(int16_t side, uint32_t classFlags, double z = 0)
    {
        SceneItem* item = MakeItem();
        MakeShip(item)->side = side;
        item->avatar->classFlags = classFlags;
        item->sim->position.z = z;
        return item;
    }
    void Texts()
    {
        for (int n : kTexts)
            gTextTable[n] = kTextWords[n];
    }
    static constexpr int kTexts[] = {5, 7, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    const char* kTextWords[19] = {nullptr, nullptr, nullptr, nullptr, nullptr, "own side", nullptr, "other side",
                                  nullptr, "t9", "on %s%s", "def %s%s", "esc %s%s", "t13", "t14", "no target",
                                  "no leader", "t17", "dock %s%s"};
    SceneItem* ship_ = nullptr;
    ShipInfo* info_ = nullptr;
};

// ---- Switching

TEST_F(OrdersTest, AnotherOrderMustBeatTheCurrentByMoreThanATenth)
{
    struct Case {
        const char* what;
        int32_t scored;       // the slot scored now
        int32_t currentScore; // slot 1 is current
        int32_t otherScore;   // slot 2's score (scored now, or left from before)
        int32_t expected;     // the current order afterwards
    };
    const Case cases[] = {
        {"all zero: the current stays", 1, 0, 0, 1},
        {"current 100, other exactly 110", 1, 100, 110, 1},
        {"current 100, other 111", 1, 100, 111, 2},
        {"other 100, current exactly 90", 2, 90, 100, 1},
        {"other 100, current 89", 2, 89, 100, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearOrderSlots(info_);
        Slot(1, c.currentScore);
        Slot(2, c.otherScore);
        info_->currentOrder = 1;
        info_->orders[1].lastScore = c.currentScore;
        info_->orders[2].lastScore = c.otherScore;
        EvaluateOrderSlot(ship_, info_, c.scored);
        EXPECT_EQ(info_->currentOrder, c.expected);
        if (c.expected == 2) {
            EXPECT_EQ(info_->stateStack[0].stateId, 102);
            EXPECT_EQ(info_->stateStack[0].parameter1, 2);
        }
    }
    // Every slot that beats the current one is activated in turn: the last wins.
    ClearOrderSlots(info_);
    Slot(1, 10);
    for (int n = 2; n < 5; ++n) {
        Slot(n, 50);
        info_->orders[n].lastScore = 50;
    }
    info_->currentOrder = 1;
    EvaluateOrderSlot(ship_, info_, 1);
    EXPECT_EQ(info_->currentOrder, 4);
}

TEST_F(OrdersTest, DelaysPrerequisitesAndFlagsHoldASlotAtZero)
{
    Slot(1, 10);
    Slot(2, 100);
    info_->currentOrder = 1;
    info_->orders[1].lastScore = 10;

    // A start delay of 300 counts down with the frames.
    info_->orders[2].startDelay = 300;
    SetFrameStep(10);
    info_->tickAccumulator = -100000; // no scoring of its own meanwhile
    for (int i = 0; i < 29; ++i)
        UpdateOrders(ship_, info_);
    EvaluateOrderSlot(ship_, info_, 2);
    EXPECT_EQ(info_->orders[2].lastScore, 0);
    EXPECT_EQ(info_->currentOrder, 1);
    UpdateOrders(ship_, info_);
    EvaluateOrderSlot(ship_, info_, 2);
    EXPECT_EQ(info_->orders[2].lastScore, 100);
    EXPECT_EQ(info_->currentOrder, 2);

    // An unfinished prerequisite, then a finished one.
    ClearOrderSlots(info_);
    Slot(1, 10);
    Slot(2, 100);
    Slot(3, 0);
    info_->orders[2].prerequisite = 3;
    EvaluateOrderSlot(ship_, info_, 2);
    EXPECT_EQ(info_->orders[2].lastScore, 0);
    info_->orders[3].flags = 0x2;
    EvaluateOrderSlot(ship_, info_, 2);
    EXPECT_EQ(info_->orders[2].lastScore, 100);

    // Blocked or finished slots score 0; a slot without evaluator is left alone.
    for (uint32_t flags : {0x1u, 0x2u}) {
        info_->orders[2].flags = flags;
        EvaluateOrderSlot(ship_, info_, 2);
        EXPECT_EQ(info_->orders[2].lastScore, 0);
    }
    info_->orders[5].lastScore = 77;
    EvaluateOrderSlot(ship_, info_, 5);
    EXPECT_EQ(info_->orders[5].lastScore, 77);
}

TEST_F(OrdersTest, AnExpiredLimitEndsTheOrderAndItIsScoredNext)
{
    Slot(1, 100);
    Slot(3, 50);
    info_->orders[3].lastScore = 50;
    ActivateOrder(ship_, 1);
    info_->orders[1].lastScore = 100;
    info_->orders[1].timeLimit = 25;
    info_->roundRobin = 5;
    SetFrameStep(10);
    info_->tickAccumulator = 0;
    UpdateOrders(ship_, info_);
    UpdateOrders(ship_, info_);
    EXPECT_EQ(info_->orders[1].timeLimit, 5);
    EXPECT_EQ(info_->orders[1].flags, 0u);
    UpdateOrders(ship_, info_);
    EXPECT_EQ(info_->orders[1].timeLimit, 0);
    EXPECT_EQ(info_->orders[1].flags, 0x3u);
    EXPECT_EQ(info_->orders[1].lastScore, 0);
    EXPECT_EQ(info_->roundRobin, 1);
    // The next half-second tick scores it (0) and the other order takes over.
    for (int i = 0; i < 3; ++i)
        UpdateOrders(ship_, info_);
    EXPECT_EQ(info_->currentOrder, 3);
    EXPECT_EQ(info_->roundRobin, 2);
}

TEST_F(OrdersTest, OneSlotIsScoredEachHalfSecond)
{
    for (int n = 0; n < kOrderSlots; ++n)
        Slot(n, 0);
    info_->roundRobin = 6;
    SetFrameStep(10);
    std::vector<int> scoredAt;
    for (int frame = 1; frame <= 30; ++frame) {
        const int before = info_->roundRobin;
        UpdateOrders(ship_, info_);
        if (info_->roundRobin != before)
            scoredAt.push_back(frame);
    }
    // 60 ticks to pass 50 the first time, then every 50.
    EXPECT_EQ(scoredAt, (std::vector<int>{6, 11, 16, 21, 26}));
    EXPECT_EQ(info_->roundRobin, 3); // 6, 7, 0, 1, 2 scored
}

TEST_F(OrdersTest, APlayerHostileToAllTurnsTheStandingOrderOnThePlayer)
{
    SceneItem* player = MakeItem();
    gPlayerItem = player;
    player->avatar->classFlags = kSenseLeper;
    info_->orders[0].name = "SelfPreservation";
    SetOrderSlot(info_, 0, 0, 0, 0, 100, EvalSelfPreservation, 79, 0);
    SetOrderState(info_, 0, 34, 0, 0, 0);
    Slot(2, 100);
    info_->orders[2].startDelay = 300;
    UpdateOrders(ship_, info_);
    EXPECT_STREQ(info_->orders[0].name, "ExecutePlayer");
    EXPECT_EQ(info_->orders[0].evaluator, EvalDefault);
    EXPECT_EQ(info_->orders[0].parameter1, 70);
    EXPECT_EQ(info_->orders[0].weight, 100);
    EXPECT_EQ(info_->currentOrder, 0);
    EXPECT_EQ(info_->stateStack[0].stateId, 33);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), player);
    // Nothing else moves while the player stays a leper.
    for (int i = 0; i < 50; ++i)
        UpdateOrders(ship_, info_);
    EXPECT_EQ(info_->orders[2].startDelay, 300);
    EXPECT_EQ(info_->currentOrder, 0);
}

TEST_F(OrdersTest, ActivationKeepsTargetsPerSlotAndRestartsTheStack)
{
    SceneItem* a = MakeItem();
    SceneItem* b = MakeItem();
    SceneItem* c = MakeItem();
    MakeShip(a);
    DockPoint* port = AddDockPoint(a, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    Slot(1, 0, 13); // docking
    Slot(2, 0, 40);
    ActivateOrder(ship_, 1);
    info_->stateStack[3].stateId = 9;
    info_->currentFrame = 3;
    ship_->sim->target = a;
    ship_->sim->secondTarget = b;
    ClearCallTrace();
    ActivateOrder(ship_, 2);
    EXPECT_EQ(info_->orders[1].savedTarget.Get(), a);
    EXPECT_EQ(info_->orders[1].savedLeader.Get(), b);
    EXPECT_EQ(info_->currentFrame, 0);
    EXPECT_EQ(info_->stateStack[3].stateId, 0);
    EXPECT_EQ(info_->stateStack[0].stateId, 40);
    EXPECT_EQ(info_->stateStack[0].subState, 0);
    EXPECT_EQ(info_->stateStack[0].parameter1, 2);
    // Slot 1 had no saved target before: no dock points to give up.
    port->flags |= kDockReserved;
    port->reservedBy = ship_;
    EXPECT_TRUE(port->flags & kDockReserved);

    // Back to slot 1: its target and leader return, and its finished flag goes.
    ship_->sim->target = c;
    info_->orders[1].flags = 0x2;
    ActivateOrder(ship_, 1);
    EXPECT_EQ(ship_->sim->target.Get(), a);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), b);
    EXPECT_EQ(info_->orders[1].flags, 0u);
    EXPECT_EQ(info_->orders[2].savedTarget.Get(), c);

    // Leaving the docking order with a saved target releases; staying does not.
    ActivateOrder(ship_, 1);
    EXPECT_TRUE(port->flags & kDockReserved);
    ActivateOrder(ship_, 2);
    EXPECT_FALSE(port->flags & kDockReserved);
    EXPECT_EQ(port->reservedBy.Get(), nullptr);
}

TEST_F(OrdersTest, SlotLookUps)
{
    EXPECT_EQ(FindOrderSlotByName(info_, "Patrol"), -1);
    EXPECT_EQ(FindOrAddOrderSlot(info_, "Patrol"), 1);
    SetOrderSlot(info_, 1, 0, 0, 0, 1, EvalDefault, 0, 0);
    EXPECT_EQ(FindOrAddOrderSlot(info_, "Patrol"), 1);
    EXPECT_EQ(FindOrderSlotByName(info_, "patrol"), -1);
    for (int n = 2; n < kOrderSlots; ++n)
        SetOrderSlot(info_, n, 0, 0, 0, 1, EvalDefault, 0, 0);
    EXPECT_EQ(FindFreeOrderSlot(info_, "More"), 0);
}

// ---- The table and the evaluators

TEST_F(OrdersTest, TheOrderTableHasItsSixtyOneRows)
{
    int rows = 0;
    while (OrderProgramTable[rows].name)
        ++rows;
    EXPECT_EQ(rows, kOrderProgramCount);
    struct Row {
        int index;
        const char* name;
        OrderEvaluator evaluator;
        int32_t state, p1, p2, p3;
    };
    for (const Row& r : {Row{0, "WaitForFurtherOrders", EvalDefault, 61, 0, 0, 0},
                         Row{3, "AcquireIndieShip", EvalAcquire, 60, 260, 8, 50000000},
                         Row{12, "NavyGunPlatform", EvalDefault, 22, 4, 1216, 0},
                         Row{43, "SeekOrbitalSpeed", EvalDefault, 73, 782004, 150, 0},
                         Row{46, "AmbushAttack", EvalDockWhenClose, 33, 0, 0, 0},
                         Row{58, "SafeLoiter", EvalWaitForTrouble, 54, 0, 0, 0},
                         Row{60, "Drift", EvalDefault, 62, 0, 0, 0}}) {
        const OrderProgram& p = OrderProgramTable[r.index];
        EXPECT_STREQ(p.name, r.name);
        EXPECT_EQ(p.evaluator, r.evaluator) << r.name;
        EXPECT_EQ(p.stateId, r.state) << r.name;
        EXPECT_EQ(p.parameters[0], r.p1) << r.name;
        EXPECT_EQ(p.parameters[1], r.p2) << r.name;
        EXPECT_EQ(p.parameters[2], r.p3) << r.name;
    }
}

TEST_F(OrdersTest, EachEvaluatorScoresItsSituation)
{
    Sim* sim = ship_->sim;
    SceneItem* other = Ship(0, 0x4, 500);
    SceneItem* gone = MakeItem();
    const int32_t goneHandle = H(gone);
    DeleteSceneItem(gone);
    auto eval = [&](OrderEvaluator e, int32_t p1, int32_t p2) { return e(ship_, p1, p2, nullptr); };

    EXPECT_EQ(eval(EvalDefault, 5, 0), 40);
    EXPECT_EQ(eval(EvalDefault, 70, 0), 70);

    EXPECT_EQ(eval(EvalDockWhenClose, goneHandle, 1000), 0);
    EXPECT_EQ(eval(EvalDockWhenClose, H(other), 1000), 50);
    EXPECT_EQ(eval(EvalDockWhenClose, H(other), 0), 0); // a zero divisor: nothing fits
    EXPECT_EQ(eval(EvalStayNear, H(other), 1000), 50);
    EXPECT_EQ(eval(EvalStayNear, H(other), 100), 100); // cut at 100
    EXPECT_EQ(eval(EvalStayNear, goneHandle, 1000), 0);

    EXPECT_EQ(eval(EvalPullOut, 0, 2000), 0); // no leader
    EXPECT_EQ(eval(EvalSeekAndDestroy, 0, 2000), 0);
    EXPECT_EQ(eval(EvalAcquire, 0, 0), 100);
    sim->secondTarget = other;
    EXPECT_EQ(eval(EvalPullOut, 0, 2000), 75);
    EXPECT_EQ(eval(EvalSeekAndDestroy, 0, 2000), 25);
    EXPECT_EQ(eval(EvalSeekAndDestroy, 0, 0), 100);
    EXPECT_EQ(eval(EvalAcquire, 0, 0), 0);
    EXPECT_EQ(eval(EvalDestroyIfTarget, H(other), 0), 100);
    EXPECT_EQ(eval(EvalDestroyIfTarget, H(ship_), 0), 0);
    sim->secondTarget = nullptr;
    EXPECT_EQ(eval(EvalDestroyIfTarget, 0, 0), 0); // no leader is no match for none

    // Self-preservation: hull below the threshold (80 % of it when fighting
    // hard), a gone watched item, or heavy fire.
    sim->hull = 70;
    EXPECT_EQ(eval(EvalSelfPreservation, 79, 0), 100);
    sim->flags |= 0x400;
    EXPECT_EQ(eval(EvalSelfPreservation, 79, 0), 0);
    sim->flags &= ~0x400u;
    EXPECT_EQ(eval(EvalSelfPreservation, 79, goneHandle), 100);
    other->sim->hull = 90;
    EXPECT_EQ(eval(EvalSelfPreservation, 79, H(other)), 0);
    ship_->avatar->lockedOn = other;
    ship_->avatar->lockedAmount = 11;
    EXPECT_EQ(eval(EvalSelfPreservation, 79, H(other)), 100);
    ship_->avatar->lockedAmount = 10;
    EXPECT_EQ(eval(EvalSelfPreservation, 79, H(other)), 0);

    // Hull shares above a threshold; p1 of 100 or more scores 0.
    sim->hull = 75;
    EXPECT_EQ(eval(EvalHullAbove, 50, 0), 50);
    EXPECT_EQ(eval(EvalHullAbove, 80, 0), 0);
    EXPECT_EQ(eval(EvalHullAbove, 100, 0), 0);
    EXPECT_EQ(eval(EvalHullAbove, 50, goneHandle), 0);
    EXPECT_EQ(eval(EvalProvokedAttack, 50, 0), 50);
    EXPECT_EQ(eval(EvalProvokedAttack, 80, 0), 0);
    EXPECT_EQ(eval(EvalProvokedAttack, 100, 0), 0);
    EXPECT_EQ(eval(EvalProvokedAttack, 50, goneHandle), 100);

    // Defending an object under attack with its hull between 0 and p2.
    other->sim->hull = 40;
    EXPECT_EQ(eval(EvalDefendObject, H(other), 50), 0);
    EXPECT_EQ(ship_->avatar->defended.Get(), other);
    other->avatar->lockedOn = ship_;
    EXPECT_EQ(eval(EvalDefendObject, H(other), 50), 100);
    EXPECT_EQ(eval(EvalDefendObject, H(other), 40), 0);
    other->sim->hull = 0;
    EXPECT_EQ(eval(EvalDefendObject, H(other), 50), 0);
    EXPECT_EQ(eval(EvalDefendObject, goneHandle, 50), 0);

    EXPECT_EQ(eval(EvalDefendMothership, 0, 0), 100);
    EXPECT_EQ(eval(EvalDefendMothership, H(other), 0), 100);
    EXPECT_EQ(eval(EvalDefendMothership, goneHandle, 0), 0);
    other->avatar->classFlags |= 0x4000000;
    EXPECT_EQ(eval(EvalDefendMothership, H(other), 0), 0);

    // Hard points whose item is missing or dead: 35 each, at most 100.
    info_->hardPointCount = 4;
    info_->hardPoints[0].target = other;
    EXPECT_EQ(eval(EvalCheckLDA, 0, 0), 100);
    info_->hardPointCount = 2;
    EXPECT_EQ(eval(EvalCheckLDA, 0, 0), 35);
}

TEST_F(OrdersTest, SentryDutyAndTroubleCountTheShipsAbout)
{
    // Side 2's enemies: 0x40000084 less 0x4.
    info_->side = 2;
    EXPECT_EQ(EvalSentryDuty(ship_, 100, 0, nullptr), 100);
    SceneItem* far = Ship(0, 0x80, 20000);
    SceneItem* missile = Ship(0, 0x80 | 0x20, 100);
    EXPECT_EQ(EvalSentryDuty(ship_, 100, 0, nullptr), 100); // beyond 100 x 100; and a projectile
    SceneItem* near = Ship(0, 0x80, 5000);
    EXPECT_EQ(EvalSentryDuty(ship_, 100, 0, nullptr), 0);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), near);
    ship_->sim->secondTarget = nullptr;
    EXPECT_EQ(EvalSentryDuty(ship_, 300, 0, nullptr), 0);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), nullptr); // two found: no leader chosen
    (void)far;
    (void)missile;

    // Waiting for trouble: b = 300 - 3 x hull, plus (n - p2 + 1) x 100 / p2 with n >= p2.
    for (SceneItem* item : {far, missile, near})
        item->avatar->classFlags = 0x80 | 0x4;
    missile->avatar->classFlags |= 0x20; // not counted
    struct Case {
        int32_t hull, p2, expected;
    };
    for (const Case c : {Case{100, 5, 100}, Case{90, 5, 70}, Case{90, 2, 20}, Case{90, 1, 0}, Case{0, 5, 100},
                         Case{50, 5, 0}, Case{90, 0, 0}}) {
        ship_->sim->hull = c.hull;
        EXPECT_EQ(EvalWaitForTrouble(ship_, 0x80, c.p2, nullptr), c.expected) << c.hull << " " << c.p2;
    }
}

TEST_F(OrdersTest, TheNearestHostileBecomesTheStatesFirstParameter)
{
    OrderSlot slot{};
    EXPECT_EQ(EvalNearestHostile(ship_, 0x100, 0, &slot), 0);
    SceneItem* foe = Ship(0, 0x100, 1000000);
    Ship(0, 0x100, 2500000);
    EXPECT_EQ(EvalNearestHostile(ship_, 0x100, 0, &slot), 80);
    EXPECT_EQ(slot.stateParameters[0], H(foe));
    foe->sim->position.z = 6000000;
    slot = OrderSlot{};
    EXPECT_EQ(EvalNearestHostile(ship_, 0x100, 0, &slot), 50);
    EXPECT_EQ(EvalNearestHostile(ship_, 0x100, 0x100, &slot), 0);
}

// ---- Enemies

TEST_F(OrdersTest, EnemyMasksBySide)
{
    const uint32_t expected[7] = {0x40000044, 0x40001B04, 0x40000084, 0x40000084,
                                  0x40000044, 0x40000084, 0x40000084};
    for (int16_t side = 0; side < 7; ++side) {
        info_->side = side;
        EXPECT_EQ(EnemyClassMask(ship_), expected[side]) << side;
    }
}

std::map<const SceneItem*, float> gRatings;
std::vector<const SceneItem*> gRated;
float RateFromTable(SceneItem*, SceneItem* other, uint32_t)
{
    gRated.push_back(other);
    return gRatings.count(other) ? gRatings[other] : 1.0f;
}

TEST_F(OrdersTest, TheBestEnemyIsTheHighestRatedCandidate)
{
    gRatings.clear();
    gRated.clear();
    // Side 6: include 0x80, exclude 0x1040.
    info_->side = 6;
    SceneItem* a = Ship(0, 0x84);
    SceneItem* notMarked = Ship(0, 0x80);
    SceneItem* excluded = Ship(0, 0x84 | 0x1000);
    SceneItem* b = Ship(0, 0x84);
    SceneItem* attacker = Ship(0, 0x4);
    SceneItem* noShip = MakeItem();
    noShip->avatar->classFlags = 0x84;
    (void)notMarked;
    (void)excluded;

    gRatings = {{a, 3.0f}, {b, 3.0f}};
    EXPECT_EQ(PickBestEnemyRatedBy(ship_, RateFromTable), a); // first on a tie
    EXPECT_EQ(ship_->sim->secondTarget.Get(), a);
    EXPECT_EQ(gRated, (std::vector<const SceneItem*>{a, b}));

    // The last attacker counts while the heat is above 50; the ignored item never.
    ship_->avatar->lockedOn = attacker;
    ship_->avatar->lockedAmount = 50;
    gRated.clear();
    PickBestEnemyRatedBy(ship_, RateFromTable);
    EXPECT_EQ(gRated.size(), 2u);
    ship_->avatar->lockedAmount = 51;
    gRatings[attacker] = 5.0f;
    EXPECT_EQ(PickBestEnemyRatedBy(ship_, RateFromTable), attacker);
    gTargetSearchIgnoredItem = attacker;
    EXPECT_EQ(PickBestEnemyRatedBy(ship_, RateFromTable), a);

    // Ratings of 0 or less never win: no leader then.
    gRatings = {{a, 0.0f}, {b, -1.0f}};
    EXPECT_EQ(PickBestEnemyRatedBy(ship_, RateFromTable), nullptr);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), nullptr);
}

TEST_F(OrdersTest, FactionFlagsChooseTheOppositeFaction)
{
    gRatings.clear();
    info_->side = 4; // include nothing of its own, exclude 0x40
    SceneItem* sideB = Ship(0, 0x4 | 0x20000000);
    SceneItem* sideA = Ship(0, 0x4 | 0x10000000 | 0x40);
    gRated.clear();
    EXPECT_EQ(PickBestEnemyRatedBy(ship_, RateFromTable), nullptr);
    EXPECT_TRUE(gRated.empty());

    // Of faction B: faction A is the enemy, and the exclude mask becomes B
    // (so side 0x40 no longer excludes).
    ship_->avatar->classFlags = 0x20000000;
    EXPECT_EQ(PickBestEnemyRatedBy(ship_, RateFromTable), sideA);
    ship_->avatar->classFlags = 0x10000000;
    EXPECT_EQ(PickBestEnemyRatedBy(ship_, RateFromTable), sideB);
    // PickBestEnemy rates them by ThreatRating: the enemy faction's ship.
    EXPECT_EQ(PickBestEnemy(ship_), sideB);
}

// ---- The wing

TEST_F(OrdersTest, TheWingHoldsThirteenWhileThePlayersShipLives)
{
    std::vector<SceneItem*> ships;
    for (int i = 0; i < 14; ++i)
        ships.push_back(Ship(0, 0));
    for (SceneItem* s : ships)
        AddWingman(s);
    AddWingman(ships[0]); // already in
    for (int i = 0; i < kWingSlotCount; ++i)
        EXPECT_EQ(gWingSlots[i].item, ships[i]);

    // A dead wingman is pruned and its slot taken again.
    gWingSlots[4].selected = 1;
    DeleteSceneItem(ships[4]);
    AddWingman(ships[13]);
    EXPECT_EQ(gWingSlots[4].item, ships[13]);
    EXPECT_EQ(gWingSlots[4].selected, 0);

    std::memset(gWingSlots, 0, sizeof gWingSlots);
    gPlayerShipLost = 255;
    AddWingman(ships[0]);
    EXPECT_EQ(gWingSlots[0].item, nullptr);
    gPlayerShipLost = 0;
}

TEST_F(OrdersTest, EachWingCommandSetsItsOrder)
{
    Texts();
    SceneItem* commander = Ship(0, 0);
    SceneItem* target = Ship(3, 0);
    target->sim->shipInfo->name = "Tgt";
    SceneItem* leader = Ship(2, 0);
    leader->sim->shipInfo->name = "Ldr";
    commander->sim->target = target;
    commander->sim->secondTarget = leader;
    SceneItem* wing = Ship(3, 0);
    SceneItem* carrier = Ship(3, 0);
    AddDockPoint(carrier, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(wing, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);

    struct Case {
        int32_t type;
        int32_t state;
        int32_t weight;
        const char* reply;
    };
    const Case cases[] = {
        {0, 0, 100, "t17"},
        {1, 43, 100, "t9"},
        {2, 45, 100, "on %sLdr"},
        {3, 27, 100, "def %sTgt"},
        {4, 42, 100, "esc %sTgt"},
        {5, 61, 100, "t13"},
        {6, 33, 100, "t14"},
        {7, 61, 0, "no target"},
        {8, 13, 100, "dock %sTgt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        ClearOrderSlots(wing->sim->shipInfo);
        // Attacking takes a leader of another side, defending one of the own.
        leader->sim->shipInfo->side = c.type == 3 ? 3 : 2;
        wing->sim->flags = kSimInUse | 0x800;
        wing->sim->target = nullptr;
        wing->sim->secondTarget = nullptr;
        if (!FindDockedItem(wing, carrier)) {
            ASSERT_EQ(CoupleAtDockPoints(carrier, wing, NthDockPoint(carrier, 0, nullptr), NthDockPoint(wing, 0, nullptr), 0), 1);
        }
        ClearCallTrace();
        const int32_t n = GiveWingmanOrder(commander, wing, c.type);
        ASSERT_EQ(n, 1);
        const ShipInfo* w = wing->sim->shipInfo;
        EXPECT_STREQ(w->orders[1].name, "FollowPlayer");
        EXPECT_EQ(w->orders[1].evaluator, EvalDefault);
        EXPECT_EQ(w->orders[1].parameter1, 5);
        EXPECT_EQ(w->orders[1].weight, c.weight);
        EXPECT_EQ(w->currentOrder, 1);
        EXPECT_EQ(w->stateStack[0].stateId, c.state);
        EXPECT_STREQ(gWingReply, c.reply);
        // Every command but 7 takes the wingman off its carrier first.
        EXPECT_EQ(FindDockedItem(wing, carrier), c.type == 7 ? carrier : nullptr);
        switch (c.type) {
        case 1: EXPECT_EQ(w->stateStack[0].parameter1, H(commander)); break;
        case 2:
            EXPECT_EQ(wing->sim->secondTarget.Get(), leader);
            EXPECT_EQ(wing->sim->target.Get(), leader);
            EXPECT_EQ(wing->sim->flags & 0x1C00, 0x1C00u);
            break;
        case 3: EXPECT_EQ(wing->avatar->defended.Get(), target); break;
        case 4: EXPECT_EQ(w->stateStack[0].parameter1, H(target)); break;
        case 6:
            EXPECT_EQ(wing->sim->target.Get(), target);
            // The attack style, not the flight style (0x1000 alone).
            EXPECT_EQ(wing->sim->flags & 0x1C00, 0x1400u);
            break;
        case 8: EXPECT_EQ(wing->sim->target.Get(), target); break;
        default: break;
        }
    }

    // An escort of an item that is no ship.
    SceneItem* buoy = MakeItem();
    commander->sim->target = buoy;
    wing->avatar->label = "Wing";
    EXPECT_EQ(GiveWingmanOrder(commander, wing, 4), 1);
    EXPECT_EQ(wing->sim->shipInfo->stateStack[0].stateId, 49);
    EXPECT_EQ(wing->sim->target.Get(), buoy);
    EXPECT_STREQ(gWingReply, "esc %sWing");
}

TEST_F(OrdersTest, WingmenRefuseWhatTheyCannotDo)
{
    Texts();
    SceneItem* commander = Ship(0, 0);
    SceneItem* wing = Ship(3, 0);
    struct Case {
        const char* what;
        int16_t leaderSide; // -1: no leader
        bool target;
        int32_t type;
        const char* reply;
    };
    const Case cases[] = {
        {"attack the leader of the own side", 3, true, 2, "own side"},
        {"defend against another side", 2, true, 3, "other side"},
        {"no target to defend", 3, false, 3, "no target"},
        {"no target to dock with", -1, false, 8, "no target"},
        {"no leader to attack", -1, true, 2, "no leader"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        commander->sim->secondTarget = c.leaderSide >= 0 ? Ship(c.leaderSide, 0) : nullptr;
        commander->sim->target = c.target ? Ship(1, 0) : nullptr;
        ClearOrderSlots(wing->sim->shipInfo);
        EXPECT_EQ(GiveWingmanOrder(commander, wing, c.type), -1);
        EXPECT_STREQ(gWingReply, c.reply);
        EXPECT_EQ(wing->sim->shipInfo->orders[1].evaluator, nullptr);
    }
    // A wingman without a ShipInfo refuses without a word.
    std::strcpy(gWingReply, "kept");
    EXPECT_FALSE(WingmanReply(commander, MakeItem(), 0));
    EXPECT_STREQ(gWingReply, "kept");
}

TEST_F(OrdersTest, CommandsGoToTheWingAndTheReplyNamesIt)
{
    MessageLogFont font; // the replies go to the message log
    Texts();
    gTextTable[9] = "%sform up";
    SceneItem* commander = Ship(0, 0);
    SceneItem* a = Ship(0, 0);
    SceneItem* b = Ship(0, 0);
    a->sim->shipInfo->name = "A";
    b->sim->shipInfo->name = "B";
    AddWingman(a);
    AddWingman(b);
    char names[64];
    ListWingmenNames(names, sizeof names);
    EXPECT_STREQ(names, "A, B ");

    gFrameClock.gameClock = 1234;
    ClearCallTrace();
    CommandWingmen(commander, 1);
    EXPECT_EQ(gWingSlots[0].lastCommandType, 1);
    EXPECT_EQ(gWingSlots[1].lastCommandTime, 1234u);
    EXPECT_EQ(a->sim->shipInfo->stateStack[0].stateId, 43);
    EXPECT_STRNE(gMessageLogPendingText, "");

    // Selected wingmen only, and not one with a damaged crew.
    gWingSlots[0].selected = gWingSlots[1].selected = 1;
    b->sim->shipInfo->damage.capabilities = 0x80;
    CommandSelectedWingmen(commander, 5);
    EXPECT_EQ(gWingSlots[0].lastCommandType, 5);
    EXPECT_EQ(gWingSlots[1].lastCommandType, 1);

    // One at a time, in turn, past the damaged one.
    CommandNextWingman(commander, 6);
    EXPECT_EQ(gWingSlots[0].lastCommandType, 6);
    CommandNextWingman(commander, 0);
    EXPECT_EQ(gWingSlots[0].lastCommandType, 0);

    // A second docking command skips those already docking.
    commander->sim->target = Ship(0, 0);
    b->sim->shipInfo->damage.capabilities = 0;
    gWingSlots[1].lastCommandType = 8;
    gWingSlots[1].lastCommandTime = 0;
    CommandWingmen(commander, 8);
    EXPECT_EQ(gWingSlots[0].lastCommandType, 8);
    EXPECT_EQ(gWingSlots[1].lastCommandTime, 0u);

    // Nothing while the player's ship is lost.
    guiClearMessageLog();
    gPlayerShipLost = 255;
    CommandWingmen(commander, 1);
    RegroupWingmen(commander);
    EXPECT_EQ(gWingSlots[0].lastCommandType, 8);
    EXPECT_STREQ(gMessageLogPendingText, "");
    gPlayerShipLost = 0;
    RegroupWingmen(commander);
    EXPECT_STRNE(gMessageLogPendingText, "");
}

TEST_F(OrdersTest, TheReplyFormatterPutsOnlyTextsIntoItsPlaces)
{
    struct Case {
        const char* format;
        const char* first;
        const char* second;
        const char* expected;
    };
    const Case cases[] = {
        {"%s, attacking %s", "%s", "Tgt", "%s, attacking Tgt"},
        {"%d %n %x %% %s%s%s", "A", "B", "%d %n %x %% AB"},
        {"trailing %", "A", "B", "trailing %"},
        {"100%%s %s", "A", "B", "100%%s A"},
        {"%s", nullptr, nullptr, ""},
        {nullptr, "A", "B", ""},
    };
    char out[64];
    for (const Case& c : cases)
        EXPECT_STREQ((FormatWingReply(out, sizeof out, c.format, c.first, c.second), out), c.expected) << c.expected;
    // Cut at the buffer.
    char small[6];
    EXPECT_EQ(FormatWingReply(small, sizeof small, "%s!", "abcdefgh", nullptr), 5u);
    EXPECT_STREQ(small, "abcde");
}

} // namespace
