// The AI state machine: the state table, the dispatcher's push, pop and
// stay with watch flags and timer slots, its limits, the needs flags, and
// the control routines. Stub handlers replay scripted steps and note each
// call, so that whole runs can be compared.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "ai/aistate.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/behaviours.h"
#include "ui/contacts.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

// One scripted answer of a stub handler.
struct Scripted {
    int16_t action;
    int16_t next = 0;
    float value = 1.0f;
    int32_t push = 0;
    int32_t limit = 0;
    int16_t saved = 0;
    int32_t timerSlot = 5;
};

// One call that a stub received.
struct Call {
    int32_t state;
    int16_t subState;
    float childResult;
    bool operator==(const Call&) const = default;
};

std::vector<Scripted> gScript; // answered in order; stay once it runs out
size_t gNext = 0;
std::vector<Call> gCalls;

template <int Id>
AIStateResult* Stub(AIStateResult* result, SceneItem*, int16_t subState, float childResult, int32_t*,
                    int32_t, int32_t, int32_t)
{
    gCalls.push_back({Id, subState, childResult});
    const Scripted s = gNext < gScript.size() ? gScript[gNext++] : Scripted{kAIStay, subState};
    result->action = s.action;
    result->nextSubState = s.next;
    result->value = s.value;
    result->pushState = s.push;
    result->parameter1 = Id * 10; // the child's parameters tell where the push came from
    result->limit = s.limit;
    result->savedSubState = s.saved;
    result->timerSlot = s.timerSlot;
    return result;
}

// A handler that always pushes state 10, and state 10 always pops: a chain
// that never stays.
AIStateResult* AlwaysPush(AIStateResult* result, SceneItem*, int16_t, float, int32_t*, int32_t,
                          int32_t, int32_t)
{
    gCalls.push_back({9, 0, 0});
    result->action = kAIPush;
    result->pushState = 10;
    return result;
}
AIStateResult* AlwaysPop(AIStateResult* result, SceneItem*, int16_t, float, int32_t*, int32_t,
                         int32_t, int32_t)
{
    result->action = kAIPop;
    return result;
}

class AIStateTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadAIStateTable();
        gScript.clear();
        gNext = 0;
        gCalls.clear();
        // Stubs on states without needs, and on some with needs.
        gAIStates.handlers[1] = Stub<1>;
        gAIStates.handlers[9] = Stub<9>;
        gAIStates.handlers[10] = Stub<10>;
        for (int id : {11, 13, 17, 18, 19, 30, 44})
            gAIStates.handlers[id] = Stub<100>;
        ship_ = MakeItem();
        info_ = MakeShip(ship_);
        info_->currentOrder = 3;
        info_->orders[3].stateId = 1;
        ResetOrderSteps();
    }
    // The order step lowers every start delay by the frame's ticks: slot 7's
    // tells how many order steps ran since the last reset.
    static constexpr int32_t kOrderClock = 1000000;
    void ResetOrderSteps() { info_->orders[7].startDelay = kOrderClock; }
    size_t OrderSteps() const
    {
        return static_cast<size_t>((kOrderClock - info_->orders[7].startDelay) / gFrameClock.frameTicks);
    }
    void TearDown() override
    {
        gPlayerItem = nullptr;
        LoadAIStateTable();
        WorldTest::TearDown();
    }
    void Bottom(int32_t state, int16_t subState = 0, int32_t p1 = 0, int32_t p2 = 0)
    {
        AIStateFrame& f = info_->stateStack[0];
        f = AIStateFrame{};
        f.stateId = state;
        f.subState = subState;
        f.parameter1 = p1;
        f.parameter2 = p2;
        f.timerSlot = 5;
        info_->currentFrame = 0;
    }
    // A mount whose reload counts down by the frame's ticks at every mount
    // update: the updates since the call are read back from it.
    Weapon* CountingMount()
    {
        Weapon* mount = AllocWeapon();
        mount->reloadTimer = kCountingStart;
        ship_->sim->weapons = mount;
        return mount;
    }
    static size_t MountUpdates(const Weapon* mount)
    {
        return static_cast<size_t>((kCountingStart - mount->reloadTimer) / static_cast<float>(gFrameClock.frameTicks));
    }
    static constexpr float kCountingStart = 1.0e6f;
    SceneItem* Other(int16_t generationOffset = 0)
    {
        SceneItem* item = MakeItem();
        MakeShip(item);
        item->sceneGeneration = static_cast<int16_t>(ship_->sceneGeneration + generationOffset);
        return item;
    }
    bool Finished() const { return (info_->orders[3].flags & 0x2) != 0; }
    SceneItem* ship_ = nullptr;
    ShipInfo* info_ = nullptr;
};

int32_t H(const SceneItem* item) { return static_cast<int32_t>(ItemHandle(item)); }

} // namespace

TEST_F(AIStateTest, TheTableNamesAndFlagsEveryStateAndLeavesTheRestEmpty)
{
    LoadAIStateTable();
    struct Row {
        int id;
        const char* name;
        uint32_t flags;
    };
    const Row rows[] = {
        {0, "Null", 0},
        {4, "df_baseState", 0x01},
        {13, "DockingBaseState", 0x29},
        {16, "dk_finalAproach", 0x21},
        {19, "GenericOffensiveState", 0x0F},
        {30, "TailBitingState", 0x12},
        {32, "CombatAchieveRange", 0x07},
        {43, "PlayerFollower", 0},
        {44, "CombatOnce", 0x0A},
        {47, "AchieveRange", 0x11},
        {67, "LDS to NavTarget", 0x09},
        {72, "Straight LDS", 0},
        {75, "Watch", 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.id);
        EXPECT_STREQ(gAIStates.names[r.id], r.name);
        EXPECT_EQ(gAIStates.flags[r.id], r.flags);
    }
    // Every state's flags: these groups, 0 for all others.
    uint32_t expected[kAIStateCount] = {};
    const struct {
        uint32_t flags;
        std::vector<int> ids;
    } groups[] = {
        {0x01, {4, 11, 66, 68, 70}},
        {0x07, {20, 21, 24, 32, 34, 59, 63}},
        {0x09, {17, 67, 71}},
        {0x0A, {35, 44}},
        {0x0F, {19, 33}},
        {0x11, {18, 47, 48}},
        {0x12, {30, 31, 51}},
        {0x21, {15, 16}},
        {0x29, {13, 14}},
    };
    for (const auto& g : groups)
        for (int id : g.ids)
            expected[id] = g.flags;
    for (int id = 0; id < kAIStateCount; ++id) {
        EXPECT_NE(gAIStates.handlers[id], nullptr) << id;
        EXPECT_NE(gAIStates.names[id], nullptr) << id;
        EXPECT_EQ(gAIStates.flags[id], expected[id]) << id;
    }
    for (int id = kAIStateCount; id < kAIStateSlots; ++id) {
        EXPECT_EQ(gAIStates.handlers[id], nullptr) << id;
        EXPECT_EQ(gAIStates.names[id], nullptr) << id;
        EXPECT_EQ(gAIStates.flags[id], 0u) << id;
    }
}

TEST_F(AIStateTest, APushPopChainRunsWithinOneRunAndEndsOnAStay)
{
    Bottom(1);
    gScript = {
        {kAIPush, 2, 1.0f, 9},  // state 1 pushes 9, resumes at 2
        {kAIPush, 3, 1.0f, 10}, // state 9 pushes 10, resumes at 3
        {kAIPop, 0, 0.7f},      // 10 hands back 0.7
        {kAIPop, 0, 0.4f},      // 9 hands back 0.4
        {kAIStay, 5},           // 1 stays, resumes at 5
    };
    EXPECT_EQ(RunAIStateStack(ship_, info_), 1);
    const std::vector<Call> calls = {{1, 0, 0}, {9, 1, 0}, {10, 1, 0}, {9, 3, 0.7f}, {1, 2, 0.4f}};
    EXPECT_EQ(gCalls, calls);
    EXPECT_EQ(info_->currentFrame, 0);
    const AIStateFrame& f = info_->stateStack[0];
    EXPECT_EQ(f.subState, 5);
    EXPECT_EQ(f.childResult, 0.4f);
    EXPECT_EQ(f.watchFlags, 0u);
    EXPECT_EQ(info_->stateStack[1].stateId, 0);
    EXPECT_EQ(info_->stateStack[2].stateId, 0);
    EXPECT_FALSE(Finished());

    // A push leaves the child with the step's parameters, sub-state 1 and no result.
    gScript = {{kAIPush, 6, 1.0f, 10}, {kAIStay, 4}};
    gNext = 0;
    EXPECT_EQ(RunAIStateStack(ship_, info_), 10);
    const AIStateFrame& child = info_->stateStack[1];
    EXPECT_EQ(child.parameter1, 10);
    EXPECT_EQ(child.subState, 4);
    EXPECT_EQ(child.childResult, 0.0f);
    EXPECT_EQ(info_->currentFrame, 1);
    EXPECT_EQ(info_->stateStack[0].subState, 6);
}

TEST_F(AIStateTest, TheBottomFramesPopFinishesTheOrderAndLeavesNull)
{
    Bottom(1, 2);
    ship_->sim->velocity = {0, 0, 500};
    gScript = {{kAIPop, 0, 1.0f}};
    EXPECT_EQ(RunAIStateStack(ship_, info_), 0);
    EXPECT_TRUE(Finished());
    EXPECT_EQ(info_->stateStack[0].stateId, 0);
    EXPECT_EQ(info_->stateStack[0].subState, 0);
    EXPECT_STREQ(gAIStates.names[info_->stateStack[0].stateId], "Null");
    EXPECT_LT(ship_->sim->thrust.z, 0.0f); // Null brakes
}

TEST_F(AIStateTest, WatchFlagsSendTheParentBackOnlyPastTheLimit)
{
    struct Case {
        int16_t action;
        float value;
        int16_t resumesAt;
    };
    const Case cases[] = {
        {kAIPushWatchLarger, 0.6f, 7},
        {kAIPushWatchLarger, 0.5f, 2},
        {kAIPushWatchSmaller, 0.4f, 7},
        {kAIPushWatchSmaller, 0.5f, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.action << " " << c.value);
        Bottom(1);
        gCalls.clear();
        gNext = 0;
        gScript = {{c.action, 2, 1.0f, 9, 500, 7}, {kAIPop, 0, c.value}, {kAIStay, 0}};
        RunAIStateStack(ship_, info_);
        ASSERT_EQ(gCalls.size(), 3u);
        EXPECT_EQ(gCalls[2].subState, c.resumesAt);
        EXPECT_EQ(info_->stateStack[0].watchFlags, c.resumesAt == 7 ? 0u : (c.action == 3 ? 0x4u : 0x2u));
        EXPECT_EQ(info_->stateStack[0].limit, 500);
    }
}

TEST_F(AIStateTest, ATimerSlotTakesTheChildsValueInThousandths)
{
    // Values beyond 32 bits are held at the limits; NaN gives 0.
    const struct {
        float value;
        int32_t stored;
    } cases[] = {{0.6f, 600}, {-0.25f, -250}, {1e10f, INT32_MAX}, {-1e10f, INT32_MIN}, {NAN, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Bottom(1);
        info_->stateStack[0].timers[2] = 7;
        gNext = 0;
        gScript = {{kAIPush, 2, 1.0f, 9, 0, 0, 2}, {kAIPop, 0, c.value}, {kAIStay, 2}};
        RunAIStateStack(ship_, info_);
        EXPECT_EQ(info_->stateStack[0].timers[2], c.stored);
        EXPECT_EQ(info_->stateStack[0].timers[1], 0);
        EXPECT_EQ(info_->stateStack[0].timerSlot, 2);
    }
}

TEST_F(AIStateTest, APushFromTheTwelfthFrameIsDroppedAndNothingIsWrittenBeyond)
{
    for (int i = 0; i < kAIStackFrames; ++i) {
        info_->stateStack[i] = AIStateFrame{};
        info_->stateStack[i].stateId = 9;
        info_->stateStack[i].subState = 1;
    }
    info_->currentFrame = kAIStackFrames - 1;
    DockPoint* const sentinel = reinterpret_cast<DockPoint*>(info_);
    info_->dockPoints = sentinel;
    gScript = {{kAIPush, 3, 1.0f, 10}};
    EXPECT_EQ(RunAIStateStack(ship_, info_), 9);
    EXPECT_EQ(gCalls.size(), 1u); // the run ends there
    EXPECT_EQ(info_->currentFrame, kAIStackFrames - 1);
    EXPECT_EQ(info_->stateStack[kAIStackFrames - 1].subState, 1); // the frame stays as it was
    EXPECT_EQ(info_->dockPoints, sentinel);
    info_->dockPoints = nullptr;
}

TEST_F(AIStateTest, AChainThatNeverStaysEndsAtTheStepLimitWithTheStackKept)
{
    gAIStates.handlers[9] = AlwaysPush;
    gAIStates.handlers[10] = AlwaysPop;
    Bottom(9);
    EXPECT_EQ(RunAIStateStack(ship_, info_), 9);
    EXPECT_EQ(gCalls.size(), static_cast<size_t>(kAIStepLimit / 2));
    EXPECT_EQ(info_->stateStack[0].stateId, 9);
    EXPECT_FALSE(Finished());
}

TEST_F(AIStateTest, AStateIdOutsideTheTableIsDroppedNotCalled)
{
    Bottom(1);
    gScript = {{kAIPush, 2, 1.0f, 90}, {kAIStay, 2}};
    EXPECT_EQ(RunAIStateStack(ship_, info_), 1);
    EXPECT_EQ(info_->stateStack[1].stateId, 0);
    EXPECT_EQ(info_->stateStack[0].childResult, 0.0f);
}

// ---- Needs

TEST_F(AIStateTest, ANeededTargetIsKeptOrFoundOrTheShipBrakes)
{
    SceneItem* live = Other();
    SceneItem* foreign = Other(1);
    SceneItem* leader = Other();
    SceneItem* wreck = Other(); // its record still there, no longer in use
    wreck->flags &= ~kItemInUse;
    SceneItem* dead = Other();
    const int32_t deadHandle = H(dead);
    DeleteSceneItem(dead);
    struct Case {
        const char* what;
        int32_t state;
        SceneItem* target;
        SceneItem* leader;
        int32_t p1, p2;
        bool called;
        SceneItem* targetAfter;
    };
    const Case cases[] = {
        {"a live target stays", 11, live, nullptr, 0, 0, true, live},
        {"another generation's: the leader", 11, foreign, leader, 0, 0, true, leader},
        {"none and no leader: brake", 11, nullptr, nullptr, 0, 0, false, nullptr},
        {"a leader of another generation is no target", 11, nullptr, foreign, 0, 0, false, nullptr},
        {"a dead leader is no target", 11, nullptr, wreck, 0, 0, false, nullptr},
        {"0x09 takes parameter 1", 17, nullptr, nullptr, H(live), H(leader), true, live},
        {"0x11 takes parameter 2", 18, nullptr, nullptr, H(live), H(leader), true, leader},
        {"a gone candidate is none", 17, nullptr, leader, deadHandle, 0, true, leader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bottom(c.state, 1, c.p1, c.p2);
        ship_->sim->target = c.target;
        ship_->sim->secondTarget = c.leader;
        ship_->sim->velocity = {0, 0, 400};
        ship_->sim->thrust = {};
        gCalls.clear();
        const int32_t answer = RunAIStateStack(ship_, info_);
        EXPECT_EQ(!gCalls.empty(), c.called);
        EXPECT_EQ(answer, c.called ? c.state : 0);
        if (c.called)
            EXPECT_EQ(ship_->sim->target.Get(), c.targetAfter);
        else
            EXPECT_LT(ship_->sim->thrust.z, 0.0f);        // StopInPlace
        EXPECT_EQ(info_->stateStack[0].stateId, c.state); // the stack is kept
    }
}

TEST_F(AIStateTest, ANeededLeaderComesFromTheParametersOrPickBestEnemy)
{
    SceneItem* enemy = Other();
    // 0x0F with parameter 1: the leader, and the target follows it.
    Bottom(19, 1, H(enemy));
    EXPECT_EQ(RunAIStateStack(ship_, info_), 19);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), enemy);
    EXPECT_EQ(ship_->sim->target.Get(), enemy);

    // 0x12 with parameter 2 empty: PickBestEnemy weighs the enemies and its
    // choice leads; with none to find the ship brakes and the state is not
    // called.
    ship_->sim->secondTarget = nullptr;
    ship_->sim->target = nullptr;
    Bottom(30, 1, H(enemy), 0);
    ship_->avatar->classFlags = 0x10000000; // the other faction's enemy
    enemy->avatar->classFlags = 0x20000000 | kClassMarked;
    EXPECT_EQ(RunAIStateStack(ship_, info_), 30);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), enemy);
    ship_->sim->secondTarget = nullptr;
    ship_->sim->target = nullptr;
    enemy->avatar->classFlags = 0;
    Bottom(30, 1, H(enemy), 0);
    gCalls.clear();
    EXPECT_EQ(RunAIStateStack(ship_, info_), 0);
    ship_->avatar->classFlags = 0;
    EXPECT_TRUE(gCalls.empty());

    // A leader of another generation is chosen anew.
    ship_->sim->secondTarget = Other(1);
    Bottom(19, 1, H(enemy));
    EXPECT_EQ(RunAIStateStack(ship_, info_), 19);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), enemy);
}

// The station the order named (parameter 1) died: the order ends, and the
// ship is not sent to its leader instead.
TEST_F(AIStateTest, ADockingStateWhoseTargetDiedEndsTheOrderBeforeAnyRetargeting)
{
    SceneItem* leader = Other();
    SceneItem* target = Other();
    Bottom(13, 1, H(target));
    ship_->sim->target = target;
    ship_->sim->secondTarget = leader;
    DeleteSceneItem(target);
    EXPECT_EQ(RunAIStateStack(ship_, info_), 0);
    EXPECT_TRUE(Finished());
    EXPECT_TRUE(gCalls.empty());
    EXPECT_EQ(ship_->sim->target.Get(), nullptr); // not moved over to the leader
}

TEST_F(AIStateTest, FightingOnceASecondEnemyPopsTheStateAndClearsBoth)
{
    SceneItem* second = Other();
    Bottom(1, 2);
    AIStateFrame& top = info_->stateStack[1];
    top.stateId = 44; // needs a leader, from parameter 1
    top.subState = 1;
    top.parameter1 = H(second);
    info_->currentFrame = 1;
    info_->stateStack[0].childResult = 0.9f;
    ship_->sim->flags |= kSimFightOnce;
    ship_->sim->target = second;
    EXPECT_EQ(RunAIStateStack(ship_, info_), 1);
    const std::vector<Call> calls = {{1, 2, 0.0f}}; // 44 is never called; the parent gets 0
    EXPECT_EQ(gCalls, calls);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), nullptr);
    EXPECT_EQ(ship_->sim->target.Get(), nullptr);
    EXPECT_EQ(info_->stateStack[1].stateId, 0);

    // Without the flag the same frame takes the leader and runs.
    ship_->sim->flags &= ~kSimFightOnce;
    top.stateId = 44;
    top.parameter1 = H(second);
    info_->currentFrame = 1;
    gCalls.clear();
    EXPECT_EQ(RunAIStateStack(ship_, info_), 44);
    EXPECT_EQ(ship_->sim->secondTarget.Get(), second);
}

// ---- Control routines

TEST_F(AIStateTest, ControlAIStepsBySimFlagsAndDamagedCapabilities)
{
    struct Case {
        const char* what;
        uint32_t simFlags;
        int16_t capabilities;
        size_t mounts, orders, runs; // over 200 frames of 5 ticks
    };
    const Case cases[] = {
        {"plain", 0, 0, 200, 200, 200},
        {"braked: nothing", kSimBraked, 0, 0, 0, 0},
        {"a jump under way: mounts only", kSimJumpUnderWay, 0, 200, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bottom(1);
        ship_->sim->flags = c.simFlags;
        info_->damage.capabilities = c.capabilities;
        ClearCallTrace();
        ResetOrderSteps();
        gCalls.clear();
        const Weapon* mount = CountingMount();
        for (int i = 0; i < 200; ++i)
            CONTROL_AI(ship_);
        EXPECT_EQ(MountUpdates(mount), c.mounts);
        EXPECT_EQ(OrderSteps(), c.orders);
        EXPECT_EQ(gCalls.size(), c.runs);
    }

    // A damaged crew misses most frames (a chance of 6 in 600 at 5 ticks).
    Bottom(1);
    ship_->sim->flags = 0;
    info_->damage.capabilities = 0x80;
    ClearCallTrace();
    const Weapon* mount = CountingMount();
    ResetOrderSteps();
    for (int i = 0; i < 2000; ++i)
        CONTROL_AI(ship_);
    EXPECT_EQ(MountUpdates(mount), 2000u);
    EXPECT_GT(OrderSteps(), 0u);
    EXPECT_LT(OrderSteps(), 100u);
}

TEST_F(AIStateTest, AStunWearsOffByChanceUnlessTheTurnThrustersAreDamaged)
{
    Bottom(1);
    gFrameClock.frameTicks = 20;
    info_->damage.capabilities = 0x1;
    ship_->sim->flags = kSimStunned | kSimTurnOncePerFrame;
    for (int i = 0; i < 3000; ++i)
        CONTROL_AI(ship_);
    EXPECT_NE(ship_->sim->flags & kSimStunned, 0u);
    EXPECT_NE(ship_->sim->flags & kSimTurnOncePerFrame, 0u); // kept while stunned

    info_->damage.capabilities = 0;
    for (int i = 0; i < 3000 && (ship_->sim->flags & kSimStunned); ++i)
        CONTROL_AI(ship_);
    EXPECT_EQ(ship_->sim->flags & kSimStunned, 0u);
    CONTROL_AI(ship_);
    EXPECT_EQ(ship_->sim->flags & kSimTurnOncePerFrame, 0u);
}

TEST_F(AIStateTest, TheAutopilotEndsWhenThePlayersStackRunsEmpty)
{
    gPlayerItem = ship_;
    ship_->sim->flags = kSimAiControl;
    ship_->sim->ldsTargetSpeed = 9000;
    SceneItem* chosen = MakeItem();
    gContacts.playerTarget = chosen;
    Bottom(1);
    const Weapon* mount = CountingMount();
    CONTROL_AI(ship_);
    EXPECT_NE(ship_->sim->flags & kSimAiControl, 0u);
    EXPECT_EQ(OrderSteps(), 0u); // the player's orders are not scored
    EXPECT_EQ(MountUpdates(mount), 0u);

    gScript = {{kAIPop, 0, 1.0f}};
    gNext = 0;
    CONTROL_AI(ship_);
    EXPECT_EQ(ship_->sim->flags & kSimAiControl, 0u);
    EXPECT_EQ(ship_->sim->ldsTargetSpeed, 0.0f);
    // The player's chosen target becomes the ship's weapon and navigation target.
    EXPECT_EQ(ship_->sim->target, chosen);
    EXPECT_EQ(ship_->sim->navTarget, chosen);
}

TEST_F(AIStateTest, TheAttackHeatCoolsByAQuarterTickWhateverTheFrameLength)
{
    SceneItem* attacker = Other();
    struct Case {
        int32_t ticks;
        int frames;
    };
    for (const Case& c : {Case{1, 100}, Case{20, 5}, Case{3, 33}}) {
        SCOPED_TRACE(c.ticks);
        Bottom(1);
        info_->heatTickCarry = 0;
        ship_->avatar->lockedAmount = 100;
        ship_->avatar->lockedOn = attacker;
        gFrameClock.frameTicks = c.ticks;
        for (int i = 0; i < c.frames; ++i)
            CONTROL_AI(ship_);
        EXPECT_EQ(ship_->avatar->lockedAmount, 100 - c.ticks * c.frames / 4);
    }
    // Cooled to 1 or below: forgotten.
    ship_->avatar->lockedAmount = 5;
    gFrameClock.frameTicks = 20;
    CONTROL_AI(ship_);
    EXPECT_EQ(ship_->avatar->lockedAmount, 0);
    EXPECT_EQ(ship_->avatar->lockedOn.Get(), nullptr);
}

TEST_F(AIStateTest, AScriptShipRunsItsStackWithoutOrdersAndMinesKeepToTheirField)
{
    Bottom(1);
    ship_->pitchDemand = 10;
    ship_->yawDemand = -20;
    ship_->rollDemand = 30;
    CONTROL_AIFREE(ship_);
    EXPECT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(OrderSteps(), 0u);
    EXPECT_EQ(ship_->pitchRemaining, 10.0f);
    EXPECT_EQ(ship_->yawRemaining, -20.0f);
    EXPECT_EQ(ship_->rollRemaining, 30.0f);

    // A mine left beyond its range of the player goes back to its field's
    // free slot.
    gPlayerItem = MakeItem();
    ParticleEmitter field{};
    EmitterPoint slot{};
    slot.position = {7, 8, 9};
    slot.life = kFreeFieldSlot;
    field.points = &slot;
    field.pointCount = 1;
    ship_->avatar->fieldDust = &field;
    ship_->avatar->fieldSlot = -1;
    ship_->avatar->params[0] = 100; // its range
    ship_->sim->position = {1e6, 0, 0};
    ClearCallTrace();
    const Weapon* mount = CountingMount();
    UpdateMineAI(ship_);
    EXPECT_EQ(ship_->sim->position.x, 7.0);
    EXPECT_EQ(slot.life, kTakenFieldSlot);
    EXPECT_EQ(OrderSteps(), 1u); // a mine's orders are scored
    EXPECT_EQ(MountUpdates(mount), 1u);
    EXPECT_EQ(info_->currentOrder, 1); // moved: its first order starts again
}
