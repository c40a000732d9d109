// Object behaviours: each routine stepped a number of frames against the
// position, velocity or state worked out by hand, and the messages it
// leaves in the buffer.
#include <cmath>

#include <gtest/gtest.h>

#include "script/operands.h"
#include "script/symbols.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "world/tally.h"
#include "world/behaviours.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::SetFrameStep;
using worldtest::WorldTest;

namespace {

void NoMessages(SceneItem*) {}

// An item with a receiver (whose messages the test reads) at a place.
SceneItem* At(double x, double y, double z, ItemFunction perFrame = nullptr, ItemFunction control = nullptr)
{
    SceneItem* item = MakeItem(perFrame, control, NoMessages);
    item->sim->position = {x, y, z};
    item->sim->matrix.m[12] = static_cast<float>(x);
    item->sim->matrix.m[13] = static_cast<float>(y);
    item->sim->matrix.m[14] = static_cast<float>(z);
    return item;
}

int32_t Handle(const SceneItem* item) { return static_cast<int32_t>(ItemHandle(item)); }

// The kinds of the messages waiting for the item, in order.
std::vector<int> Kinds(SceneItem* item, ItemMessage* last = nullptr)
{
    std::vector<int> kinds;
    ItemMessage m;
    while (FetchItemMessage(item->receiver, &m)) {
        kinds.push_back(m.kind);
        if (last)
            *last = m;
    }
    return kinds;
}

// The impacts (kind 7, due at once) posted to the items.
size_t Impacts(std::initializer_list<SceneItem*> items)
{
    size_t n = 0;
    for (SceneItem* item : items)
        for (int kind : Kinds(item))
            n += kind == kMsgImpact;
    return n;
}

double Distance(const SceneItem* a, const SceneItem* b)
{
    const WorldPosition& p = a->sim->position;
    const WorldPosition& q = b->sim->position;
    return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
}

void Step(SceneItem* item, ItemFunction routine, int frames, int32_t ticks)
{
    SetFrameStep(ticks);
    for (int i = 0; i < frames; ++i) {
        gFrameClock.gameClock += static_cast<uint32_t>(ticks);
        routine(item);
    }
}

constexpr float kDegree = 3.14159265f / 180;

} // namespace

TEST_F(WorldTest, FreeBodiesMoveAndSpinByTheirRates)
{
    struct Case {
        ItemFunction routine;
        float spinY, spinX;
        float turnedY, turnedX; // degrees after one second of 1-tick frames
        bool doublePosition;
    } const cases[] = {
        {BallisticStep, 10, 0, 10, 0, true},
        {BallisticStep, 0, -20, 0, -20, true},
        {TumbleStep, 0.05f, 0, 5.05f, 0, true}, // a further 0.05 a frame
        {DriftStep, 10, 10, 0, 0, false},
    };
    for (const Case& c : cases) {
        SceneItem* item = At(0, 0, 0);
        item->pitchDemand = c.spinY;
        item->yawDemand = c.spinX;
        item->sim->velocity = {100, 0, -50};
        Step(item, c.routine, 100, 1);
        const Matrix4& m = item->sim->matrix;
        EXPECT_NEAR(std::asin(std::fabs(m.m[8])) / kDegree, std::fabs(c.turnedY), 0.02f);
        EXPECT_NEAR(std::asin(std::fabs(m.m[6])) / kDegree, std::fabs(c.turnedX), 0.02f);
        EXPECT_NEAR(m.m[12], 100.0f, 1e-3f);
        EXPECT_NEAR(m.m[14], -50.0f, 1e-3f);
        EXPECT_NEAR(item->sim->position.x, c.doublePosition ? 100.0 : 0.0, 1e-3);
        DeleteSceneItem(item);
    }
}

TEST_F(WorldTest, AnEcmFlareGrowsForFifteenSecondsThenShrinksToNothing)
{
    SceneItem* flare = At(0, 0, 0);
    Step(flare, EcmFlareBehaviour, 300, 5);
    EXPECT_NEAR(flare->sim->radius, 15000.0f, 1.0f);
    EXPECT_EQ(flare->avatar->root->radius, flare->sim->radius);
    Step(flare, EcmFlareBehaviour, 100, 5);
    EXPECT_NEAR(flare->sim->radius, 10000.0f, 1.0f);
    Step(flare, EcmFlareBehaviour, 400, 5);
    EXPECT_EQ(flare->sim->radius, 0.0f);

    // With frames of 4 seconds the chance step / 400 is a certainty: each
    // frame the flare tells the missiles that it stands for its shooter
    // (close by), naming the shooter first.
    SceneItem* shooter = At(1000, 0, 0);
    flare->avatar->params[3] = Handle(shooter);
    SceneItem* missile = At(50000, 0, 0);
    missile->avatar->classFlags |= 0x10; // a missile
    Step(flare, EcmFlareBehaviour, 2, 400);
    ItemMessage last{};
    EXPECT_EQ(Kinds(missile, &last), (std::vector<int>{kMsgDecoy, kMsgDecoy}));
    const DecoyBody decoy = MessageBody<DecoyBody>(last);
    EXPECT_EQ(decoy.protectedShip, ItemHandle(shooter));
    EXPECT_EQ(decoy.flare, ItemHandle(flare));
}

TEST_F(WorldTest, APlasmaBallGrowsByItsGrowingGrowthAndIsSmallAtTheEnd)
{
    SceneItem* ball = At(0, 0, 0);
    ball->sim->countdown = 1000;
    ball->avatar->params[8] = 1000;
    Step(ball, PlasmaBallStep, 1, 100);
    EXPECT_EQ(ball->sim->radius, 1000.0f);
    EXPECT_EQ(ball->avatar->params[8], 1200);
    EXPECT_NEAR(ball->avatar->root->local.m[0], 20.0f, 1e-4f); // 1000 x 0.02
    ball->sim->countdown = 200;
    Step(ball, PlasmaBallStep, 1, 5);
    EXPECT_EQ(ball->sim->radius, 1.0f);
}

TEST_F(WorldTest, TheInhibitorPulsesEveryTwoSecondsToEveryItemWithinItsRadius)
{
    SceneItem* inhibitor = At(0, 0, 0, nullptr, LdsInhibitorBehaviour);
    inhibitor->avatar->params[9] = 50000;
    SceneItem* near = At(0, 49000, 0);
    SceneItem* far = At(0, 51000, 0);
    Step(inhibitor, LdsInhibitorBehaviour, 39, 5);
    EXPECT_TRUE(Kinds(near).empty());
    Step(inhibitor, LdsInhibitorBehaviour, 1, 5);
    EXPECT_EQ(Kinds(near), std::vector<int>{kMsgInterdiction});
    EXPECT_EQ(Kinds(inhibitor), std::vector<int>{kMsgInterdiction}); // itself included
    EXPECT_TRUE(Kinds(far).empty());
    EXPECT_EQ(inhibitor->avatar->params[4], 0);
}

TEST_F(WorldTest, TheInterdictionJoltStaysWithinFiveTimesItsDraws)
{
    SceneItem* ship = At(0, 0, 0);
    ship->sim->thrust.z = 1e9f;
    ship->sim->mass = 1;
    ship->sim->radius = 1; // both limits huge: the kick factor caps at 5
    for (int i = 0; i < 50; ++i) {
        ship->sim->turnRates = {};
        InterdictionJolt(ship);
        EXPECT_LE(std::fabs(ship->sim->turnRates.x), 500.0f);
        EXPECT_LE(std::fabs(ship->sim->turnRates.y), 250.0f);
        EXPECT_LE(std::fabs(ship->sim->turnRates.z), 250.0f);
    }
    ship->sim->radius = 54000; // 540000 / r = 10: the factor 0.1
    ship->sim->turnRates = {};
    InterdictionJolt(ship);
    EXPECT_LE(std::fabs(ship->sim->turnRates.x), 10.0f);
}

TEST_F(WorldTest, AnLdsInterdictorMissileChasesInLdsAndBecomesAnInhibitor)
{
    SceneItem* missile = MakeItem(SIM_MAIN, SteerLdsiMissile);
    InitFlightModel(&MakeShip(missile)->flightModel, 100, 10, 200, 1e8f, 30, 30, 30, 100);
    SceneItem* target = MakeItem();
    target->sim->position = {0, 0, 5e6};
    missile->sim->target = target;
    missile->sim->ldsSpool = 50;
    SteerLdsiMissile(missile);
    EXPECT_EQ(missile->sim->flags & kSimLdsEngaged, 0u); // spooling: nothing yet
    missile->sim->ldsSpool = 0;
    SteerLdsiMissile(missile);
    EXPECT_NE(missile->sim->flags & kSimLdsEngaged, 0u);
    EXPECT_GT(missile->sim->ldsTargetSpeed, 0.0f);
    EXPECT_EQ(missile->control, SteerLdsiMissile);
    EXPECT_GT(missile->sim->ldsSpool, 0); // engaging spools the drive up
    SteerLdsiMissile(missile);
    EXPECT_EQ(missile->control, SteerLdsiMissile);
    missile->sim->ldsSpool = 0;
    target->sim->position = {0, 0, 9e5}; // within 1,000,000
    SteerLdsiMissile(missile);
    EXPECT_EQ(missile->control, LdsInhibitorBehaviour);
    EXPECT_GE(missile->avatar->params[9], 2500000);
}

TEST_F(WorldTest, TheMissileFuseBurstsOnlyArmedAndClose)
{
    struct Case {
        bool armed;
        float distance;
        bool bursts;
    } const cases[] = {{true, 25000, false}, {true, 15000, false}, {true, 9999, true}, {false, 5000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        SceneItem* missile = At(10, 20, 30);
        missile->sim->velocity = {1, 2, 3};
        missile->avatar->classFlags = c.armed ? static_cast<uint32_t>(kClassArmed) : 0u;
        SceneItem* target = At(0, 0, 0);
        gScreenFlash = 0;
        CheckMissileFuse(missile, target, c.distance);
        ItemMessage m{};
        EXPECT_EQ(Kinds(target, &m), c.bursts ? std::vector<int>{kMsgImpactTorque} : std::vector<int>{});
        EXPECT_EQ(Kinds(missile), c.bursts ? std::vector<int>{kMsgDelete} : std::vector<int>{});
        EXPECT_EQ(gScreenFlash, c.bursts ? 64 : 0);
        if (c.bursts) {
            const auto body = MessageBody<ImpactTorqueBody>(m);
            EXPECT_EQ(m.BodyLength(), 36);
            EXPECT_EQ(body.point[2], 30.0f);
            EXPECT_EQ(body.velocity[1], 2.0f);
            EXPECT_EQ(body.mass, 1000.0f);
            EXPECT_EQ(body.words[0], 180);
            EXPECT_EQ(body.words[1], 65);
        }
        DeleteSceneItem(missile);
        DeleteSceneItem(target);
    }
}

// A missile that bursts on the player's ship costs the score its damage
// figure but is no missile hit of the player's (the status panel read 200 %
// with one missile fired and two taken); the player's own missile bursting
// on its target is one.
TEST_F(WorldTest, OnlyThePlayersOwnMissileCountsAsItsHitAndOneOnItsShipCostsItsDamage)
{
    SceneItem* player = At(0, 0, 0);
    SceneItem* raider = At(0, 0, 5);
    gPlayerItem = player;
    Weapon launcher{};
    launcher.damage = 120;
    gScriptVars.score = 1000;
    gTallyCounters.flaggedHits = 0;
    const auto burst = [&](SceneItem* shooter, SceneItem* target) {
        SceneItem* missile = At(0, 0, 100);
        missile->avatar->classFlags = kClassArmed;
        missile->avatar->weapon = &launcher;
        missile->avatar->shooter = shooter;
        CheckMissileFuse(missile, target, 100);
    };
    burst(raider, player);
    burst(raider, player);
    EXPECT_EQ(gTallyCounters.flaggedHits, 0);
    EXPECT_EQ(gScriptVars.score, 760);
    burst(player, raider);
    EXPECT_EQ(gTallyCounters.flaggedHits, 1);
    EXPECT_EQ(gScriptVars.score, 760);
    gPlayerItem = nullptr;
    gScriptVars.score = 0;
}

TEST_F(WorldTest, AHomingMissileWhoseTargetDiedFliesOnBallistic)
{
    SceneItem* missile = At(0, 0, 0);
    missile->sim->ldsSpool = 5000;
    SceneItem* target = At(0, 0, 100000);
    MakeShip(missile);
    missile->sim->target = target;
    Step(missile, SteerHomingMissile, 2, 5);
    EXPECT_GT(missile->sim->thrust.z, 0.0f); // it flies at the target ahead
    EXPECT_EQ(missile->sim->ldsSpool, 4990); // fuel burns
    DeleteSceneItem(target);
    At(5, 5, 5); // the dead target's records are taken again
    missile->sim->thrust = {0, 0, 500};
    missile->pitchDemand = 50;
    ClearCallTrace();
    Step(missile, SteerHomingMissile, 1, 5);
    EXPECT_EQ(CountRecordedCalls("SteerToPoint"), 0u);
    EXPECT_EQ(missile->sim->target, nullptr);
    EXPECT_EQ(missile->sim->thrust.z, 0.0f);
    EXPECT_EQ(missile->pitchDemand, 0.0f);
}

TEST_F(WorldTest, MissilesAimedAtThePlayersShipAreListedWithTheirRangesAndTheAlarmFollowsTheNearer)
{
    for (ProximityThreat& t : gProximityThreats)
        t = {};
    gProximityAlarmCountdown = 0;
    SceneItem* player = At(0, 0, 0);
    gPlayerItem = player;
    SceneItem* other = At(0, 0, -50000);
    SceneItem* far = At(0, 0, 500000);
    SceneItem* near = At(0, 0, 300000);
    SceneItem* elsewhere = At(0, 0, 100000);
    for (SceneItem* missile : {far, near, elsewhere}) {
        MakeShip(missile);
        missile->sim->ldsSpool = 5000;
        missile->sim->target = player;
    }
    elsewhere->sim->target = other; // not at the player: not listed
    SetFrameStep(5);
    for (SceneItem* missile : {far, near, elsewhere})
        SteerHomingMissile(missile);
    SteerHomingMissile(far); // a second frame updates its entry
    EXPECT_EQ(gProximityThreats[0].item, far);
    EXPECT_EQ(gProximityThreats[0].distance, 500000.0f);
    EXPECT_EQ(gProximityThreats[1].item, near);
    EXPECT_EQ(gProximityThreats[1].distance, 300000.0f);
    EXPECT_EQ(gProximityThreats[2].item, nullptr);

    worldtest::RunFrame(5);
    EXPECT_EQ(gProximityAlarmCountdown, 3000); // the nearer's range / 100
    DeleteSceneItem(near);                     // a deleted missile leaves the list
    EXPECT_EQ(gProximityThreats[0].item, far);
    EXPECT_EQ(gProximityThreats[1].item, nullptr);
    for (ProximityThreat& t : gProximityThreats)
        t = {};
    gPlayerItem = nullptr;
}

TEST_F(WorldTest, AGuidedMissileBurstsNearAnEnemyOrOutOfFuel)
{
    struct Case {
        int32_t fuel;
        uint32_t shipSide;
        double shipDistance;
        int impacts; // three for every ship within 250,000
    } const cases[] = {
        {100, 0x80, 40000, 3}, // an enemy within 50,000
        {100, 0x40, 40000, 0}, // a ship of its own side
        {100, 0x80, 60000, 0}, // an enemy beyond 50,000
        {0, 0x40, 200000, 3},  // out of fuel: every ship near
        {0, 0x40, 260000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shipDistance);
        SceneItem* missile = At(0, 0, 0, GuidedMissileStep);
        missile->avatar->classFlags = 0x40;
        missile->sim->ldsSpool = c.fuel;
        SceneItem* ship = At(c.shipDistance, 0, 0);
        MakeShip(ship);
        ship->avatar->classFlags = c.shipSide;
        ClearCallTrace();
        Step(missile, GuidedMissileStep, 1, 5);
        EXPECT_EQ(Impacts({ship}), static_cast<size_t>(c.impacts));
        const bool burst = c.impacts > 0 || c.fuel == 0;
        EXPECT_EQ(Kinds(missile), burst ? std::vector<int>{kMsgHit} : std::vector<int>{});
        EXPECT_EQ(missile->perFrame == SIM_MAIN, burst);
        DeleteSceneItem(missile);
        DeleteSceneItem(ship);
    }
}

TEST_F(WorldTest, AMineBlastsMarkedEnemiesInRangeButNeverItsLayer)
{
    SceneItem* layer = At(0, 0, -500000);
    MakeShip(layer)->kind = 7;
    layer->avatar->classFlags = 0x100 | kClassMarked;
    SceneItem* leader = At(0, 0, -600000);
    layer->sim->shipInfo->leader = leader;
    gPlayerItem = At(0, 0, 700000);
    struct Case {
        bool isLayer;
        uint32_t flags;
        double distance;
        int impacts; // three on the victim, one on the layer's leader
    } const cases[] = {
        {true, kClassMarked, 1000, 0},
        {false, kClassMarked, 149000, 4},
        {false, kClassMarked, 151000, 0},
        {false, 0, 1000, 0},                   // not marked
        {false, kClassMarked | 0x10, 1000, 0}, // a missile
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        SceneItem* mine = At(0, 0, 0, nullptr, RunProximityMine);
        MakeShip(mine);
        mine->avatar->params[3] = Handle(layer);
        SceneItem* victim = layer;
        if (!c.isLayer) {
            victim = At(0, 0, c.distance);
            MakeShip(victim);
            victim->avatar->classFlags = c.flags;
        }
        mine->avatar->obstacle = victim;
        gScreenFlash = 0;
        ClearCallTrace();
        RunProximityMine(mine);
        EXPECT_EQ(mine->sim->shipInfo->tickAccumulator, gFrameClock.frameTicks); // the AI's order step ran
        EXPECT_EQ(Impacts({victim, leader}), static_cast<size_t>(c.impacts));
        EXPECT_EQ(Kinds(mine), c.impacts ? std::vector<int>{kMsgDelete} : std::vector<int>{});
        EXPECT_EQ(gScreenFlash, c.impacts ? 170 : 0); // the player is within 800,000
        EXPECT_EQ(mine->avatar->classFlags & 0x1FC0, 0x100u);
        EXPECT_EQ(mine->sim->shipInfo->kind, 7);
        DeleteSceneItem(mine);
        if (victim != layer)
            DeleteSceneItem(victim);
    }
}

TEST_F(WorldTest, ABeltRockBeyondItsRangeWrapsAroundItsAnchor)
{
    SceneItem* anchor = At(1e6, 0, 0);
    SceneItem* rock = At(1e6, 0, 40000, nullptr, KeepNearAnchor);
    rock->avatar->params[0] = 50000;
    rock->avatar->params[9] = Handle(anchor);
    KeepNearAnchor(rock);
    EXPECT_EQ(rock->sim->position.z, 40000.0); // within range: left alone
    rock->sim->position.z = 60000;
    KeepNearAnchor(rock);
    EXPECT_NEAR(Distance(rock, anchor), 40000.0, 1.0);
    EXPECT_NE(rock->sim->flags & kSimScattering, 0u);
    EXPECT_EQ(rock->sim->matrix.m[12], static_cast<float>(rock->sim->position.x));
    ItemMessage m{};
    EXPECT_EQ(Kinds(rock, &m), std::vector<int>{}); // not due yet
    gFrameClock.gameClock += 700;
    EXPECT_EQ(Kinds(rock, &m), std::vector<int>{kMsgUnscatter});

    // A fast anchor finds its rocks ahead of it.
    rock->sim->flags &= ~kSimScattering;
    anchor->sim->velocity = {0, 0, 30000};
    for (int i = 0; i < 20; ++i) {
        rock->sim->position = {0, 0, 0};
        ScatterAroundAnchor(rock);
        EXPECT_GT(rock->sim->position.z, 0.0);
    }
}

TEST_F(WorldTest, ATetheredItemKeepsItsTetherLengthFromItsAnchor)
{
    SceneItem* anchor = At(0, 0, 0);
    SceneItem* towed = At(0, 300000, 0, KeepTetherDistance);
    towed->avatar->params[3] = Handle(anchor);
    KeepTetherDistance(towed);
    EXPECT_NEAR(towed->sim->position.y, 100000.0, 1e-6); // the default length
    towed->avatar->params[4] = 25000;
    anchor->sim->position = {1000, 0, 0};
    anchor->sim->velocity = {7, 0, 0};
    KeepTetherDistance(towed);
    EXPECT_NEAR(Distance(towed, anchor), 25000.0, 1e-3);
    EXPECT_EQ(towed->sim->velocity.x, 7.0f);
    DeleteSceneItem(anchor);
    const WorldPosition before = towed->sim->position;
    KeepTetherDistance(towed); // an anchor that is gone holds nothing
    EXPECT_EQ(towed->sim->position.y, before.y);
}

TEST_F(WorldTest, WaypointsAreReachedInTurnAndCountDown)
{
    SceneItem* first = At(0, 0, 100000, nullptr, RunWaypoint);
    SceneItem* second = At(0, 0, 200000, nullptr, RunWaypoint);
    SceneItem* hidden = At(0, 0, 0, nullptr, RunWaypoint); // no cube
    second->avatar->classFlags |= kClassNamedBody;         // listed among the bodies
    ResetContactList();
    HUD* cubes[2] = {InitCubeHud(AllocHUD(), "A", first, 0), InitCubeHud(AllocHUD(), "B", second, 0)};
    first->avatar->root->model = reinterpret_cast<hx_model*>(cubes[0]);
    second->avatar->root->model = reinterpret_cast<hx_model*>(cubes[1]);
    first->avatar->params[2] = Handle(second);
    gPlayerItem = At(0, 0, 0);
    gScriptVars.waypointCount = gScriptVars.waypointStartCount = 2;
    gScriptVars.missionClock = 999;

    for (SceneItem* w : {first, second, hidden})
        RunWaypoint(w);
    EXPECT_EQ(gScriptVars.waypointCount, 2); // the first is 100,000 away

    gPlayerItem->sim->position.z = 61000;
    RunWaypoint(first);
    // The reached cube shows its diagonal; the next one does not yet.
    EXPECT_EQ(cubes[0]->flags & 0x800, 0x800u);
    EXPECT_EQ(cubes[0]->segmentCount, 13);
    EXPECT_EQ(cubes[1]->flags & 0x800, 0u);
    EXPECT_EQ(cubes[1]->segmentCount, 12);
    EXPECT_EQ(gScriptVars.waypointCount, 1);
    EXPECT_EQ(gScriptVars.missionClock, 0); // the course's clock starts
    EXPECT_EQ(gPlayerItem->sim->target, second);
    EXPECT_EQ(CurrentContactItem(), second); // the next one is the current contact
    EXPECT_EQ(gContacts.filterClass, 7);
    RunWaypoint(first); // reached once only
    EXPECT_EQ(gScriptVars.waypointCount, 1);

    // The second rides on a carrier toward the player.
    SceneItem* carrier = At(0, 0, 0);
    carrier->sim->velocity = {0, 0, -200000};
    second->sim->secondTarget = carrier;
    SetFrameStep(50);
    RunWaypoint(second);
    EXPECT_EQ(second->sim->position.z, 100000.0);
    EXPECT_EQ(gScriptVars.waypointCount, 0);
    gScriptVars = ScriptVariables{};
}

TEST_F(WorldTest, AnAttachedWaypointSitsBehindItsReferenceItem)
{
    SceneItem* reference = At(0, 0, 50000);
    reference->sim->radius = 3000;
    MatRotY(90, reference->sim->matrix);
    SceneItem* waypoint = At(0, 0, 0, PlaceWaypoint);
    ScriptSymbol symbol{};
    symbol.type = kSymbolSceneItem;
    waypoint->sim->followSymbol = &symbol; // as ATTACH_WAYPT keeps it
    PlaceWaypoint(waypoint);               // an empty symbol: nothing
    EXPECT_EQ(waypoint->sim->position.z, 0.0);
    SetSymbolObject(&symbol, reference);
    PlaceWaypoint(waypoint);
    const Vector3 nose{reference->sim->matrix.m[8], reference->sim->matrix.m[9], reference->sim->matrix.m[10]};
    EXPECT_NEAR(waypoint->sim->position.x, -3000.0 * nose.x, 1e-2);
    EXPECT_NEAR(waypoint->sim->position.z, 50000.0 - 3000.0 * nose.z, 1e-2);
    EXPECT_EQ(waypoint->sim->radius, 3000.0f);
}

TEST_F(WorldTest, PlacementBetweenTwoItemsOnAndAcrossTheLine)
{
    SceneItem* a = At(0, 0, 0);
    SceneItem* b = At(100000, 0, 0);
    a->sim->radius = 10000;
    b->sim->radius = 20000;
    SceneItem* item = At(5, 5, 5);
    PlaceOnLineBetween(item, a, b, 30000);
    EXPECT_NEAR(item->sim->position.x, 30000.0, 1e-3);
    EXPECT_NEAR(item->sim->matrix.m[8], 1.0f, 1e-5f); // facing along a to b
    for (int i = 0; i < 20; ++i) {
        PlaceOnLineBetween(item, a, b, 0);
        EXPECT_GE(item->sim->position.x, 10000.0);
        EXPECT_LE(item->sim->position.x, 80000.0);
        PlaceAcrossLineBetween(item, a, b, 7000);
        EXPECT_NEAR(item->sim->position.x, 0.0, 1e-2);
        EXPECT_NEAR(Distance(item, a), 7000.0, 1e-2);
    }
}

TEST_F(WorldTest, CarriedItemsRideEitherSideAndFlyFreeWhenReleased)
{
    SceneItem* carrier = At(0, 0, 0, BallisticStep, AlignCarrierToPair);
    SceneItem* left = At(-40000, 0, 0, RideOnCarrier);
    SceneItem* right = At(40000, 0, 0, RideOnCarrier);
    carrier->sim->target = left; // first, but on the wrong side: swapped
    carrier->sim->secondTarget = right;
    left->avatar->linkItem = right->avatar->linkItem = carrier;
    AlignCarrierToPair(carrier);
    EXPECT_EQ(carrier->sim->target, right);
    EXPECT_NEAR(carrier->sim->matrix.m[0], 1.0f, 1e-6f);
    carrier->sim->position = {0, 0, 1000};
    carrier->avatar->params[2] = 17;
    RideOnCarrier(left);
    RideOnCarrier(right);
    EXPECT_NEAR(right->sim->position.x, 40000.0, 1e-3);
    EXPECT_NEAR(left->sim->position.x, -40000.0, 1e-3);
    EXPECT_EQ(left->sim->position.z, 1000.0);
    EXPECT_EQ(left->avatar->params[2], 17);
    left->avatar->linkItem = nullptr;
    RideOnCarrier(left);
    EXPECT_EQ(left->perFrame, SIM_MAIN);
}

TEST_F(WorldTest, TheChaosRoutineHalvesTheHullWhenThePlayerStandsInTheWay)
{
    SceneItem* chaos = At(0, 0, 0, SIM_CHAOS);
    ShipInfo* info = MakeShip(chaos);
    info->damage.maximumHull = 400;
    chaos->sim->hull = 100;
    chaos->sim->target = At(0, 0, 100000);
    gPlayerItem = At(20000, 0, 60000); // more than half way
    SIM_CHAOS(chaos);
    EXPECT_EQ(chaos->sim->hull, 100);
    gPlayerItem->sim->position = {1000, 0, 40000};
    SIM_CHAOS(chaos);
    EXPECT_EQ(chaos->sim->hull, 50);
    EXPECT_EQ(info->damage.hullDamage, 200);
}

TEST_F(WorldTest, APlayerNearAMarkRaisesTheJumpCheck)
{
    SceneItem* mark = At(0, 0, 0, nullptr, NearPlayerMark);
    gPlayerItem = At(0, 0, 40000);
    NearPlayerMark(mark);
    EXPECT_EQ(gPlayerItem->flags & kItemJumpCheck, 0);
    gPlayerItem->sim->position.z = 30000;
    NearPlayerMark(mark);
    EXPECT_NE(gPlayerItem->flags & kItemJumpCheck, 0);
    EXPECT_NE(mark->flags & kItemJumpCheck, 0);
    EXPECT_EQ(gPlayerInput.jumpTarget, mark);
    gPlayerInput.jumpTarget = nullptr;
}
