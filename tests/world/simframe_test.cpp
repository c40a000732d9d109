// The simulation frame: the order of its steps and passes, seen through the
// recorded calls, and the filters that hold items still.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "tests/support/world_fixture.h"
#include "ui/contacts.h"
#include "view/cameras.h"
#include "view/viewstart.h"
#include "world/messages.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/profiler.h"
#include "world/scenelist.h"
#include "view/asteroids.h"
#include "world/simframe.h"
#include "world/universe.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

// Routines of test items A and B that record themselves.
template <char Id>
struct Recorder {
    static constexpr char kMessage[] = {'m', 's', 'g', ' ', Id, 0};
    static constexpr char kControl[] = {'c', 't', 'l', ' ', Id, 0};
    static constexpr char kSim[] = {'s', 'i', 'm', ' ', Id, 0};
    static constexpr char kSync[] = {'s', 'y', 'n', 'c', ' ', Id, 0};
    static void Message(SceneItem*) { RecordCall(kMessage); }
    static void Control(SceneItem*) { RecordCall(kControl); }
    static void Sim(SceneItem*) { RecordCall(kSim); }
    static void Sync(SceneItem*) { RecordCall(kSync); }
};

template <char Id>
SceneItem* Recorded(int16_t flags = 0)
{
    using R = Recorder<Id>;
    SceneItem* item = MakeItem(R::Sim, R::Control, R::Message, flags);
    item->avatar->renderSync = R::Sync;
    return item;
}

std::vector<std::string> Trace()
{
    return RecordedCalls();
}

// The calls of the test items only.
std::vector<std::string> ItemTrace()
{
    std::vector<std::string> calls = Trace();
    std::erase_if(calls, [](const std::string& c) { return c.size() < 2 || c[c.size() - 2] != ' '; });
    return calls;
}

using Calls = std::vector<std::string>;

} // namespace

TEST_F(WorldTest, AFrameRunsItsStepsAndPassesInOrder)
{
    SceneItem* a = Recorded<'A'>();
    Recorded<'B'>();
    gPlayerItem = gControlledItem = a;
    a->flags |= kItemNearSurface;        // the collision frame clears it...
    a->avatar->obstacleCloseness = 1.0f; // ...and the collision pass resets this
    MakeShip(a)->side = 3;
    gSideCounts[0] = 9;          // last frame's count
    AddAsteroidBelt(0.0f, a, 1); // a wide belt the player sits in
    ParseObjectives("goal");
    ClearCallTrace();
    RunSimulationFrame();
    ResetAsteroidBelts();
    EXPECT_TRUE(a->flags & 0x400);     // the belt membership was updated
    EXPECT_EQ(gObjectives.current, 0); // the current objective was chosen
    ParseObjectives("");
    EXPECT_EQ(gSideCounts[3], 1); // the ships are counted by side
    EXPECT_EQ(gSideCounts[0], 0);
    EXPECT_EQ(Trace(), (Calls{
                           "msg A", "msg B", "ctl A", "ctl B", "sim A", "sim B",
                           "sync A", "sync B", "sync A", "sync B"}));
    EXPECT_EQ(a->flags & kItemNearSurface, 0);
    EXPECT_EQ(a->avatar->obstacleCloseness, 2000000.0f);
}

TEST_F(WorldTest, RenderSyncAnimatesTheTdpTreesOfEligibleItems)
{
    SceneItem* a = Recorded<'A'>();
    SceneItem* late = Recorded<'B'>(kItemLateControl);
    for (SceneItem* item : {a, late}) {
        AddTDPAttribute(item->avatar->root, 3, 0);
        item->avatar->params[0] = 12;
    }
    RunSimulationFrame();
    EXPECT_EQ(a->avatar->root->local.m[12], 12.0f);
    EXPECT_EQ(late->avatar->root->local.m[12], 0.0f); // late items are not animated
    gFullScreenView = 255;
    a->avatar->params[0] = 20;
    RunSimulationFrame();
    EXPECT_EQ(a->avatar->root->local.m[12], 12.0f);
}

TEST_F(WorldTest, AnEmptySceneSkipsTheSceneServices)
{
    // The director still runs: its shot's hold counts down by the frame.
    CurrentStation = 2;
    gDirectorOn = 255;
    gCameras.director.hold = 100;
    gSideCounts[2] = 5;
    gContacts.nextRefresh = gFrameClock.gameClock;
    ParseObjectives("goal");
    RunSimulationFrame();
    EXPECT_EQ(gObjectives.current, 0); // the objectives are still followed
    ParseObjectives("");
    EXPECT_TRUE(Trace().empty());
    EXPECT_EQ(gCameras.director.hold, 100 - gFrameClock.frameTicks);
    EXPECT_EQ(gSideCounts[2], 0);
    EXPECT_EQ(gContacts.refreshed, 255); // the contact list's tick ran and refreshed
    ResetCameras();
}

// The control routine of the input test: the roll input as the control
// pass saw it.
float gRollSeenByControl;
void NoteRollInput(SceneItem*) { gRollSeenByControl = gTurnInputs.roll; }

TEST_F(WorldTest, ThePlayersInputIsReadBeforeTheControlPass)
{
    SceneItem* player = MakeItem(nullptr, NoteRollInput);
    gPlayerItem = gControlledItem = player;
    gTurnInputs = {};
    gRollSeenByControl = 0;
    GetKeyStateBlock()[0x4D] = 255; // keypad 6 pushes the roll input down
    RunSimulationFrame();
    EXPECT_LT(gRollSeenByControl, 0.0f);
    EXPECT_EQ(gRollSeenByControl, gTurnInputs.roll);
    GetKeyStateBlock()[0x4D] = 0;
    gTurnInputs = {};
}

TEST_F(WorldTest, FrozenWorldOnlyCountsTheTimeLimit)
{
    Recorded<'A'>();
    gMissionTimeLimit = {255, 3, 0};
    gScriptWaitCountdown = 50;
    PostItemMessage(0x10000, 7, 0, 1, 0, nullptr); // stale: would die at the frame end
    gFreezeView = 255;
    ClearCallTrace();
    RunSimulationFrame();
    EXPECT_EQ(Trace(), Calls{});
    EXPECT_EQ(gMissionTimeLimit.countdown, -2);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 255);
    EXPECT_EQ(gScriptWaitCountdown, 50);
    EXPECT_EQ(GetMessageStats().bytesUsed, 24);
}

TEST_F(WorldTest, TheTimeLimitOfAFrontEndMissionRequestsTheNextMission)
{
    gMissionTimeLimit = {255, 5, 255};
    gStartMissionRequest = 0;
    RunSimulationFrame();
    EXPECT_EQ(gStartMissionRequest, 0); // at 0, not yet below
    RunSimulationFrame();
    EXPECT_EQ(gStartMissionRequest, 255);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0);
    gStartMissionRequest = 0;
}

TEST_F(WorldTest, TimersOfTheScriptAndTheStockDialogue)
{
    gScriptWaitCountdown = 3;
    gScriptCountdown = 1003;
    gStockDialogueTimer = 4;
    RunSimulationFrame();
    EXPECT_EQ(gScriptWaitCountdown, -2);
    EXPECT_EQ(gScriptCountdown, 998);
    EXPECT_EQ(gScriptCountdownSeconds, 9);
    EXPECT_EQ(gStockDialogueRequest, 255);
    EXPECT_TRUE(gStockDialogueNumber == 5 || gStockDialogueNumber == 6);
    EXPECT_EQ(gStockDialogueTimer, 0);
    gSimHold = 255; // the hold stops the script countdown
    RunSimulationFrame();
    EXPECT_EQ(gScriptCountdown, 998);
    gSimHold = 0;
    gScriptCountdown = 0;
    gScriptCountdownSeconds = 4;
    RunSimulationFrame();
    EXPECT_EQ(gScriptCountdownSeconds, 0);
}

TEST_F(WorldTest, OnTheEngineeringStationItemsMoveHalfAsFar)
{
    static int32_t seenTicks;
    static float seenSeconds;
    SceneItem* a = MakeItem([](SceneItem*) {
        seenTicks = gFrameClock.frameTicks;
        seenSeconds = gFrameClock.frameSeconds;
    });
    a->sim->countdown = 100;
    gFrameClock.frameTicks = 11;
    gFrameClock.frameSeconds = 0.11f;
    gFrameClock.gameClock = 500;
    CurrentStation = 4;
    RunSimulationFrame();
    EXPECT_EQ(seenTicks, 5);
    EXPECT_FLOAT_EQ(seenSeconds, 0.055f);
    EXPECT_EQ(a->sim->countdown, 95);
    EXPECT_EQ(gFrameClock.frameTicks, 11);
    EXPECT_FLOAT_EQ(gFrameClock.frameSeconds, 0.11f);
    EXPECT_EQ(gFrameClock.gameClock, 500u);
    gDirectorOn = 255; // with the director running, full steps
    RunSimulationFrame();
    EXPECT_EQ(seenTicks, 11);
}

TEST_F(WorldTest, TheHoldMovesOnlyTheControlledItemAndRunsNoMessages)
{
    Recorded<'A'>();
    SceneItem* b = Recorded<'B'>();
    gControlledItem = b;
    gSimHold = 255;
    gSimHoldException = 255;
    ClearCallTrace();
    RunSimulationFrame();
    EXPECT_EQ(ItemTrace(), (Calls{"ctl B", "sim B", "sync B", "sync A", "sync B"}));

    gSimHoldException = 0;
    ClearCallTrace();
    RunSimulationFrame();
    EXPECT_EQ(ItemTrace(), (Calls{"sync A", "sync B"})); // only the late pass
}

TEST_F(WorldTest, ViewFiltersStopControlSimulationAndRenderSync)
{
    Recorded<'A'>();
    struct Filter {
        const char* name;
        void (*set)(bool on);
    } const filters[] = {
        {"full-screen view", [](bool on) { gFullScreenView = on ? 255 : 0; }},
        {"suspend", [](bool on) { gSimSuspend = on ? 255 : 0; }},
        {"director hold", [](bool on) { gDirectorHold = on ? 1 : 0; }},
    };
    for (const Filter& f : filters) {
        SCOPED_TRACE(f.name);
        f.set(true);
        ClearCallTrace();
        RunSimulationFrame();
        EXPECT_EQ(ItemTrace(), (Calls{"msg A", "sync A"}));
        f.set(false);
    }
}

// A carrier that moves ahead in its own simulation step.
void MoveAhead(SceneItem* item)
{
    item->sim->position.z += 1000.0;
}

TEST_F(WorldTest, ACoupledShipMovesAfterEveryOtherItem)
{
    SceneItem* follower = MakeItem(); // first in the list
    SceneItem* carrier = MakeItem(MoveAhead);
    MakeShip(follower);
    MakeShip(carrier);
    AddDockPoint(carrier, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(follower, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    ASSERT_EQ(CoupleAtDockPoints(carrier, follower, NthDockPoint(carrier, 0, nullptr), NthDockPoint(follower, 0, nullptr), 0), 1);
    ASSERT_EQ(follower->perFrame, UpdateCoupledShip);
    RunSimulationFrame();
    EXPECT_EQ(carrier->sim->position.z, 1000.0);
    EXPECT_EQ(follower->sim->position.z, carrier->sim->position.z) << "it rode the carrier's new place";
    // It follows its carrier even while the filters hold everything else.
    gFullScreenView = 255;
    carrier->sim->position.z = 5000.0;
    RunSimulationFrame();
    EXPECT_EQ(follower->sim->position.z, 5000.0);
}

TEST_F(WorldTest, ACoupledLighterShipFliesOnThePartnersLimits)
{
    static FlightModel* seen;
    SceneItem* light = MakeItem(nullptr, [](SceneItem* s) { seen = s->sim->flightModel; });
    SceneItem* heavy = MakeItem();
    ShipInfo* info = worldtest::MakeShip(light);
    worldtest::MakeShip(heavy);
    light->sim->mass = 10;
    heavy->sim->mass = 1000;
    CouplingPartner partner{};
    partner.item = heavy;
    CouplingLink loose{0, nullptr, nullptr};
    CouplingLink link{2, nullptr, &partner};
    loose.next = &link;
    info->couplings = &loose;
    RunSimulationFrame();
    EXPECT_EQ(seen, heavy->sim->flightModel);
    EXPECT_EQ(light->sim->flightModel, &info->flightModel);
    light->sim->mass = 5000; // the heavier side keeps its own
    RunSimulationFrame();
    EXPECT_EQ(seen, &info->flightModel);
    info->couplings = nullptr;
}

TEST_F(WorldTest, TheStopFlagAbandonsTheSimulationPass)
{
    MakeItem([](SceneItem*) { gStopSimulationPass = 255; });
    SceneItem* b = Recorded<'B'>();
    b->sim->matrix.m[12] = 42;
    RunSimulationFrame();
    EXPECT_EQ(gStopSimulationPass, 0);
    EXPECT_EQ(gSimulationPassCount, 1);
    EXPECT_EQ(CountRecordedCalls("sim B"), 0u);
    EXPECT_EQ(b->sim->previousMatrix.m[12], 0.0f); // not visited at all
}

TEST_F(WorldTest, AMessageFunctionMayDeleteItsOwnItem)
{
    MakeItem(nullptr, nullptr, [](SceneItem* self) { DeleteSceneItem(self); });
    Recorded<'B'>();
    RunSimulationFrame();
    EXPECT_EQ(ItemTrace(), (Calls{"msg B", "ctl B", "sim B", "sync B", "sync B"}));
    EXPECT_EQ(gSceneList.next, gSceneList.prev);
}

TEST_F(WorldTest, AMessageFunctionMayDeleteTheFollowingItem)
{
    static SceneItem* victim;
    MakeItem(nullptr, nullptr, [](SceneItem*) {
        if (victim)
            DeleteSceneItem(victim);
        victim = nullptr;
    });
    victim = Recorded<'B'>();
    Recorded<'C'>();
    ClearCallTrace();
    RunSimulationFrame();
    EXPECT_EQ(ItemTrace(), (Calls{"msg C", "ctl C", "sim C", "sync C", "sync C"}));
}

// The first item's message function takes out items around it, once; every
// other item still gets its turn, once, and the frame ends.
TEST_F(WorldTest, AVisitThatTakesOutTheFollowingItemSkipsNoOtherItem)
{
    using Visit = void (*)(SceneItem * self, SceneItem * next);
    static Visit visit;
    static SceneItem* next;
    const struct {
        const char* what;
        Visit visit;
        Calls calls;
    } cases[] = {
        {"parks the next", [](SceneItem*, SceneItem* n) { ParkSceneItem(n, 0, 0, 0); }, {"msg C", "msg D"}},
        {"deletes itself and the next",
         [](SceneItem* self, SceneItem* n) {
             DeleteSceneItem(self);
             DeleteSceneItem(n);
         },
         {"msg C", "msg D"}},
        {"deletes the next and itself",
         [](SceneItem* self, SceneItem* n) {
             DeleteSceneItem(n);
             DeleteSceneItem(self);
         },
         {"msg C", "msg D"}},
        {"parks itself and the next",
         [](SceneItem* self, SceneItem* n) {
             ParkSceneItem(self, 0, 0, 0);
             ParkSceneItem(n, 0, 0, 0);
         },
         {"msg C", "msg D"}},
        {"deletes the next and the one after it",
         [](SceneItem*, SceneItem* n) {
             SceneItem* after = n->next;
             DeleteSceneItem(n);
             DeleteSceneItem(after);
         },
         {"msg D"}},
        {"moves the next to the tail group", [](SceneItem*, SceneItem* n) { MoveSceneItemToTailGroup(n); }, {"msg C", "msg D", "msg B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        visit = c.visit;
        MakeItem(nullptr, nullptr, [](SceneItem* self) {
            if (visit)
                visit(self, next);
            visit = nullptr;
        });
        next = Recorded<'B'>();
        Recorded<'C'>();
        Recorded<'D'>();
        ClearCallTrace();
        RunSimulationFrame();
        Calls messages = ItemTrace();
        std::erase_if(messages, [](const std::string& call) { return call.rfind("msg ", 0) != 0; });
        EXPECT_EQ(messages, c.calls);
    }
}

TEST_F(WorldTest, LateControlRunsAfterTheSimulation)
{
    SceneItem* late = Recorded<'A'>(kItemLateControl);
    Recorded<'B'>();
    late->sim->flags |= kSimPlaceNearL4;
    late->sim->matrix.m[13] = 9;
    // The body item named "L4" that the item is placed near.
    SceneItem* l4 = MakeItem();
    l4->avatar->classFlags = kClassNamedBody;
    l4->sceneGeneration = gCurrentSceneGeneration;
    l4->sim->position.z = 1e6;
    std::strcpy(gBodies[0].name, "L4");
    gBodies[0].sceneItem = l4;
    gBodyCount = 1;
    gSystemBodyList[0].body = &gBodies[0];
    gSystemBodyCount = 1;
    ClearCallTrace();
    RunSimulationFrame();
    EXPECT_EQ(ItemTrace(), (Calls{"msg A", "msg B", "ctl B", "sim A", "sim B", "sync B",
                                  "ctl A", "sync A", "sync B"}));
    const WorldPosition& p = late->sim->position;
    EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + (p.z - 1e6) * (p.z - 1e6)), 100000.0, 1.0);
    EXPECT_EQ(late->sim->flags & kSimPlaceNearL4, 0u);
    EXPECT_EQ(late->sim->previousMatrix.m[13], 9.0f);
    gSystemBodyList[0] = SystemBodyEntry{};
    gSystemBodyCount = 0;
    gBodies[0] = SystemBody{};
    gBodyCount = 0;
}

TEST_F(WorldTest, TheRebuildFlagSkipsCollisionsInputMessagesAndControl)
{
    SceneItem* a = Recorded<'A'>();
    gPlayerItem = gControlledItem = a;
    a->avatar->obstacleCloseness = 1.0f;
    gTurnInputs = {};
    GetKeyStateBlock()[0x4D] = 255; // would push the roll input
    gRebuild3D = 255;
    ClearCallTrace();
    RunSimulationFrame();
    EXPECT_EQ(a->avatar->obstacleCloseness, 1.0f); // no collision pass
    EXPECT_EQ(ItemTrace(), (Calls{"sim A", "sync A", "sync A"}));
    EXPECT_EQ(gTurnInputs.roll, 0.0f);
    GetKeyStateBlock()[0x4D] = 0;
}

TEST_F(WorldTest, TheFrameMarksItsPhasesInTheProfiler)
{
    FrameProfiler* profiler = AllocFrameProfiler();
    ASSERT_EQ(profiler, gFrameProfiler);
    StartProfileFrame(profiler);
    RunSimulationFrame();
    EXPECT_STREQ(profiler->names[0], "COLLISIONS");
    EXPECT_STREQ(profiler->names[1], "CONTROL");
    EXPECT_STREQ(profiler->names[2], "SIMULATION");
    EXPECT_EQ(profiler->currentSlot, 3);
}

TEST_F(WorldTest, TheFrameClearsTheCouplingMarkersAndPurgesStaleMessages)
{
    int marker;
    gCoupledShipMarker = &marker;
    gRemoteLinkMarker = &marker;
    PostItemMessage(0x10000, 0, 0, 1, 0, nullptr);
    RunSimulationFrame();
    EXPECT_EQ(gCoupledShipMarker, nullptr);
    EXPECT_EQ(gRemoteLinkMarker, nullptr);
    EXPECT_EQ(GetMessageStats().bytesUsed, 0);
}

TEST_F(WorldTest, TheControlAndSimulationPassesCheckPositionsForNaN)
{
    MakeItem([](SceneItem* s) { s->sim->matrix.m[13] = -std::numeric_limits<float>::quiet_NaN(); });
    MakeItem(nullptr, [](SceneItem* s) { s->sim->matrix.m[14] = std::numeric_limits<float>::infinity(); });
    RunSimulationFrame();
    // The control pass finds the second item; the simulation pass both.
    EXPECT_EQ(worldtest::FatalStops(),
              (std::vector<std::string>{"Infinity Error +", "Infinity Error -", "Infinity Error +"}));
}
