// Collision responses, each with its effect: the ship bounce's push, bounce
// and mass-weighted damage, planets, alien devices, LDS fields, sinks, probes, flares,
// disruptors, debris pieces, the plasma ball's pair, and the hit responses
// that break pieces off or shatter rocks.
#include <cmath>
#include <cstring>
#include <vector>

#include "framework/scene.h"
#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/effects_probe.h"
#include "tests/support/collision_fixture.h"
#include "script/worldlink.h"
#include "tests/support/universe_fixture.h"
#include "tests/support/world_fixture.h"
#include "ui/hud.h"
#include "view/cameras.h"
#include "view/explosions.h"
#include "view/colourtables.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "world/collisions.h"
#include "world/damage.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/universe.h"

using namespace collisiontest;
using worldtest::WorldTest;

namespace {

class ResponseTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        gCollisionDamage = 255;
        gScreenClearColour = 176;
        gCrashCount = 0;
        gLastHitAmount = 0;
        worldtest::SetFrameStep(5);
    }
};

// A body with a receiver, so that messages to it can be read back.
SceneItem* Receiving(const Vector3d& at, float r, float mass)
{
    SceneItem* item = Body(at, r);
    item->receiver = AllocReceiver();
    item->sim->mass = mass;
    return item;
}

struct Posted {
    uint16_t kind = 0xFFFF;
    uint32_t sender = 0;
    HitPayload record{};
    int32_t due = 0;
};

// The next due message to the item, or kind 0xFFFF.
Posted Next(const SceneItem* item)
{
    Posted p;
    ItemMessage m;
    if (FetchItemMessage(item->receiver, &m)) {
        p.kind = m.kind;
        p.sender = m.sender;
        p.record = MessageBody<HitPayload>(m);
        p.due = m.due;
    }
    return p;
}

// The impact the item received (impacts are due at once).
Posted Impact(const SceneItem* item) { return Next(item); }

void Bounce(SceneItem* a, SceneItem* b)
{
    int16_t handled = 0;
    const Vector3 contact{};
    CollideShips(a, a->avatar->root, b, b->avatar->root, &handled, &contact);
}

void Hull(SceneItem* item, int32_t maximum, int32_t armour, int16_t bonus)
{
    ShipInfo* info = worldtest::MakeShip(item);
    info->damage.maximumHull = maximum;
    info->damage.armour = armour;
    info->damage.collisionBonus = bonus;
}

float MassOf(const HitPayload& record) { return record.mass; }

} // namespace

TEST_F(ResponseTest, ShipsTouchingAtRestTakeDamageAsIfClosingAt1000)
{
    SceneItem* a = Receiving({0, 0, 0}, 100, 1000);
    SceneItem* b = Receiving({150, 0, 0}, 100, 1000);
    Hull(a, 600, 50, 10);
    Hull(b, 100, 20, 0);
    Bounce(a, b);
    const float f = 1000.0f / 30000.0f;
    // A deals min(600, 4 x 100) + 10 scaled by f; B deals min(100, 2400) + 0.
    const Posted toB = Impact(b);
    ASSERT_EQ(toB.kind, kMsgImpact);
    EXPECT_EQ(toB.sender, a->receiver);
    EXPECT_EQ(toB.record.amount, static_cast<int32_t>(f * 410.0f));
    EXPECT_EQ(toB.record.armour, 35); // 0.7 x armour
    EXPECT_EQ(toB.record.attacker, ItemHandle(a));
    EXPECT_FLOAT_EQ(toB.record.point[0], -135.0f); // half the offset, after the push
    const Posted toA = Impact(a);
    EXPECT_EQ(toA.record.amount, static_cast<int32_t>(f * 100.0f));
    EXPECT_EQ(toA.record.armour, 14);
    // At rest they are pushed apart along the line of their centres, by at
    // most 1.2 frames at 1000, and bounce apart by k = 500 each.
    EXPECT_NEAR(a->sim->position.x, -60.0, 1e-4);
    EXPECT_NEAR(b->sim->position.x, 210.0, 1e-4);
    EXPECT_FLOAT_EQ(a->sim->velocity.x, -500.0f);
    EXPECT_FLOAT_EQ(b->sim->velocity.x, 500.0f);
}

TEST_F(ResponseTest, AHeavyShipRammingALightOneBouncesLittle)
{
    SceneItem* heavy = Receiving({0, 0, 0}, 100, 9000);
    SceneItem* light = Receiving({100, 0, 0}, 100, 1000);
    heavy->sim->velocity = {2000, 0, 0};
    Bounce(heavy, light);
    // Closing at 2000: k1 = 1000 / 10000 x 2000 = 200, k2 = 9000 / 10000 x 2000 = 1800.
    EXPECT_FLOAT_EQ(heavy->sim->velocity.x, 1800.0f);
    EXPECT_FLOAT_EQ(light->sim->velocity.x, 1800.0f);
    // Between bodies without a ShipInfo both amounts come from the mass of
    // the item whose response runs (here the heavy one).
    const float f = 2000.0f / 30000.0f;
    EXPECT_EQ(Impact(light).record.amount, static_cast<int32_t>(f * 9000.0f / 70.0f));
    EXPECT_EQ(Impact(heavy).record.amount, static_cast<int32_t>(f * 9000.0f / 70.0f));
    EXPECT_EQ(Impact(light).kind, 0xFFFF);
}

TEST_F(ResponseTest, TheDamageFactorStopsAtTen)
{
    SceneItem* a = Receiving({0, 0, 0}, 100, 100);
    SceneItem* b = Receiving({100, 0, 0}, 100, 100);
    Hull(a, 1000, 0, 0);
    Hull(b, 1000, 0, 0);
    a->sim->velocity = {1e7f, 0, 0};
    Bounce(a, b);
    EXPECT_EQ(Impact(b).record.amount, 10000);
    EXPECT_EQ(Impact(a).record.amount, 10000);
    // The push is at most the summed radii.
    EXPECT_DOUBLE_EQ(b->sim->position.x, 300.0);
    // Between bodies the amount stops at 1000.
    SceneItem* c = Receiving({0, 1000, 0}, 100, 1e6f);
    SceneItem* d = Receiving({0, 1100, 0}, 100, 1);
    c->sim->velocity = {0, 100000, 0};
    Bounce(c, d);
    const Posted toD = Impact(d);
    EXPECT_EQ(toD.record.amount, 1000);
    EXPECT_EQ(toD.record.armour, 40);
}

TEST_F(ResponseTest, WhenTheBounceDealsNoDamage)
{
    struct Case {
        const char* what;
        uint32_t flagsA, flagsB;
        bool option;
        bool damageToA, damageToB;
    } cases[] = {
        {"both in LDS", kSimLdsEngaged, kSimLdsEngaged, true, false, false},
        {"damage option off", 0, 0, false, false, false},
        {"one in LDS", kSimLdsEngaged, 0, true, true, true},
        {"A scattering", kSimScattering, 0, true, false, true},
        {"A spares others", kSimHardBounce | static_cast<uint32_t>(kSimSparesOthers), 0, true, true, false},
        {"A bounces hard", kSimHardBounce, 0, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        gCollisionDamage = c.option ? 255 : 0;
        SceneItem* a = Receiving({0, 0, 0}, 100, 100);
        SceneItem* b = Receiving({100, 0, 0}, 100, 100);
        a->sim->flags |= c.flagsA;
        b->sim->flags |= c.flagsB;
        Bounce(a, b);
        EXPECT_EQ(Impact(a).kind == kMsgImpact, c.damageToA);
        EXPECT_EQ(Impact(b).kind == kMsgImpact, c.damageToB);
    }
}

TEST_F(ResponseTest, AHardBounceFlashesForThePlayerAndDoublesTheBounce)
{
    SceneItem* a = Receiving({0, 0, 0}, 100, 100);
    SceneItem* b = Receiving({100, 0, 0}, 100, 100);
    gControlledItem = b;
    a->sim->flags |= kSimHardBounce;
    Bounce(a, b);
    EXPECT_EQ(gScreenClearColour, 127);
    EXPECT_FLOAT_EQ(a->sim->velocity.x, -1000.0f);
    EXPECT_FLOAT_EQ(b->sim->velocity.x, 1000.0f);
}

TEST_F(ResponseTest, CoincidentShipsAtRestSeparateWithoutInvalidNumbers)
{
    SceneItem* a = Receiving({5, 5, 5}, 100, 0);
    SceneItem* b = Receiving({5, 5, 5}, 100, 0);
    Bounce(a, b);
    for (SceneItem* item : {a, b}) {
        EXPECT_TRUE(std::isfinite(item->sim->position.z));
        EXPECT_TRUE(std::isfinite(item->sim->velocity.z));
    }
    EXPECT_NE(a->sim->position.z, b->sim->position.z);
    EXPECT_TRUE(worldtest::FatalStops().empty());
}

TEST_F(ResponseTest, TheHandledWordLetsOneResponseOfAPairAct)
{
    SceneItem* a = Receiving({0, 0, 0}, 100, 100);
    SceneItem* b = Receiving({100, 0, 0}, 100, 100);
    int16_t handled = 1;
    const Vector3 contact{};
    CollideShips(a, a->avatar->root, b, b->avatar->root, &handled, &contact);
    EXPECT_EQ(a->sim->position.x, 0.0);
    EXPECT_EQ(Impact(b).kind, 0xFFFF);
}

TEST_F(ResponseTest, ThePlasmaBallCrushesAndItsLauncherGoes)
{
    SceneItem* ball = Receiving({0, 0, 0}, 10, 1);
    SceneItem* ship = Receiving({5, 0, 0}, 10, 1);
    int16_t handled = 0;
    CrushOnContact(ball, ball->avatar->root, ship, ship->avatar->root, &handled, nullptr);
    const Posted crush = Impact(ship);
    EXPECT_EQ(crush.record.amount, 100000000);
    EXPECT_EQ(crush.record.armour, 100);
    handled = 1;
    DeleteSelfOnContact(ship, nullptr, ball, nullptr, &handled, nullptr);
    EXPECT_EQ(Next(ship).kind, kMsgDelete);
}

TEST_F(ResponseTest, ADebrisPieceTakesTheTouchAsAHitOnce)
{
    SceneItem* piece = Receiving({0, 0, 0}, 10, 1);
    SceneItem* rock = Receiving({30, 0, 0}, 10, 250);
    rock->sim->velocity = {0, 7, 0};
    piece->avatar->collision = ForwardContactAsHit;
    UpdateTDPWorldCentres(piece);
    UpdateTDPWorldCentres(rock);
    int16_t handled = 0;
    ForwardContactAsHit(piece, piece->avatar->root, rock, rock->avatar->root, &handled, nullptr);
    const Posted hit = Next(piece);
    ASSERT_EQ(hit.kind, kMsgHit);
    EXPECT_FLOAT_EQ(MassOf(hit.record), 250.0f);
    EXPECT_FLOAT_EQ(hit.record.point[0], 30.0f);
    EXPECT_FLOAT_EQ(hit.record.velocity[1], 7.0f);
    EXPECT_EQ(piece->avatar->collision, nullptr);
}

TEST_F(ResponseTest, ShipsNearAPlanetAreFlaggedAndBelowItsSurfaceCrash)
{
    struct Case {
        float distance; // from the planet's centre; radius 10000, surface at 5000
        bool near;
        bool surface;
        bool crash;
    } cases[] = {
        {10001, false, false, false},
        {9000, true, false, false},
        {5060, true, true, false},
        {4999, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        ResetSimulation();
        gCrashCount = 0;
        SceneItem* planet = Receiving({0, 0, 0}, 10000, 1e9f);
        SceneItem* ship = Receiving({0, c.distance, 0}, 100, 100);
        Hull(ship, 100, 0, 0);
        ship->sim->shipInfo->name = "Hawk";
        for (SceneItem* item : {planet, ship})
            CopySimToAvatar(item);
        int16_t handled = 0;
        CollidePlanet(planet, planet->avatar->root, ship, ship->avatar->root, &handled, nullptr);
        EXPECT_EQ((ship->flags & kItemNearPlanet) != 0, c.near);
        EXPECT_EQ((ship->flags & kItemNearSurface) != 0, c.surface);
        EXPECT_EQ(gCrashCount, c.crash ? 1 : 0);
        const Posted hit = Next(ship);
        EXPECT_EQ(hit.kind == kMsgHit, c.crash);
        if (!c.near)
            continue;
        EXPECT_FLOAT_EQ(ship->sim->altitude, c.distance - 5000.0f);
        EXPECT_EQ(ship->sim->planet, planet);
        EXPECT_FLOAT_EQ(ship->sim->planetDirection.y, -1.0f);
        EXPECT_FLOAT_EQ(ship->sim->shipInfo->flightModel.topSpeed,
                        10.0f * ship->sim->shipInfo->baseFlightModel.topSpeed);
        if (c.crash) {
            EXPECT_EQ(hit.record.attacker, ItemHandle(planet));
        }
    }
}

TEST_F(ResponseTest, AnLdsFieldTowsWhatItTouchesButNotProjectiles)
{
    SceneItem* field = Receiving({0, 0, 0}, 600, 1);
    SceneItem* ship = Receiving({500, 0, 0}, 10, 1);
    SceneItem* shot = Receiving({400, 0, 0}, 10, 1);
    shot->avatar->root->flags |= kTdpMovingPoint;
    field->avatar->pendingHitEffects = kArmedByHit;
    // The field's members: two coupled items.
    SceneItem* members[2] = {Receiving({0, 900, 0}, 10, 1), Receiving({0, -900, 0}, 10, 1)};
    Hull(field, 100, 0, 0);
    CouplingPartner partners[2] = {{}, {}};
    CouplingLink links[2] = {{0, &links[1], &partners[0]}, {0, nullptr, &partners[1]}};
    partners[0].item = members[0];
    partners[1].item = members[1];
    field->sim->shipInfo->couplings = &links[0];
    int16_t handled = 0;
    CollideLdsField(field, field->avatar->root, ship, ship->avatar->root, &handled, nullptr);
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(ship->sim->towLink, field);
    EXPECT_TRUE(ship->sim->flags & kSimTowed);
    EXPECT_EQ(field->avatar->pendingHitEffects, 0u); // the armed field has fired...
    for (SceneItem* member : members) {
        const Posted hit = Next(member);
        EXPECT_EQ(hit.kind, kMsgHit); // ...at each of its members
        EXPECT_EQ(hit.record.attacker, ItemHandle(field));
    }
    EXPECT_EQ(Next(ship).kind, 0xFFFF);
    field->sim->shipInfo->couplings = nullptr;
    handled = 0;
    CollideLdsField(field, field->avatar->root, shot, shot->avatar->root, &handled, nullptr);
    EXPECT_EQ(handled, 0);
    EXPECT_FALSE(shot->sim->flags & kSimTowed);
}

TEST_F(ResponseTest, AnArmedSinkSwallowsAllButThePlayersShip)
{
    SceneItem* sink = Receiving({0, 0, 0}, 600, 1000);
    SceneItem* rock = Receiving({500, 0, 0}, 10, 1);
    SceneItem* player = Receiving({-500, 0, 0}, 10, 1);
    gPlayerItem = player;
    sink->avatar->pendingHitEffects = kArmedByHit;
    int16_t handled = 0;
    CollideSink(sink, sink->avatar->root, player, player->avatar->root, &handled, nullptr);
    EXPECT_EQ(Next(player).kind, kMsgImpact); // bounced: an impact, no delete
    EXPECT_EQ(Next(player).kind, 0xFFFF);
    handled = 0;
    CollideSink(sink, sink->avatar->root, rock, rock->avatar->root, &handled, nullptr);
    EXPECT_EQ(Next(rock).kind, kMsgDelete);
    EXPECT_EQ(gScreenClearColour, 160);
    EXPECT_EQ(sink->avatar->pendingHitEffects, 0u);
    // Unarmed, it is a ship.
    handled = 0;
    const double before = rock->sim->position.x;
    CollideSink(sink, sink->avatar->root, rock, rock->avatar->root, &handled, nullptr);
    EXPECT_NE(rock->sim->position.x, before);
}

TEST_F(ResponseTest, AProbeSticksToTheHullWhereItTouched)
{
    SceneItem* hull = Receiving({1000, 0, 0}, 500, 1000);
    MatSetRotZ(90, hull->sim->matrix);
    SceneItem* probe = Receiving({1000, 300, 0}, 10, 1);
    TDP* probeRoot = probe->avatar->root;
    TDP* antenna = AddChildTDP(probeRoot, nullptr, 0, 0, 2);
    TDP* existing = AddChildTDP(hull->avatar->root, nullptr, 1, 0, 0);
    int16_t handled = 0;
    AttachProbeToHull(probe, probeRoot, hull, hull->avatar->root, &handled, nullptr);
    EXPECT_EQ(existing->nextSibling, probeRoot);
    EXPECT_EQ(probe->avatar->root, nullptr);
    EXPECT_EQ(probeRoot->owner, hull);
    EXPECT_EQ(antenna->owner, hull);
    // 300 along world y is -300 along the turned hull's x.
    EXPECT_NEAR(probeRoot->offset.x, -300.0f, 1e-3);
    EXPECT_NEAR(probeRoot->local.m[12], -300.0f, 1e-3);
    EXPECT_EQ(Next(probe).kind, kMsgDelete);
    EXPECT_TRUE(hull->avatar->flags & kAvatarLongTrail);
    UpdateTDPWorldCentres(hull);
    EXPECT_NEAR(probeRoot->worldCentre.y, 300.0f, 1e-2);
}

TEST_F(ResponseTest, AFlareDestroysProjectilesButNotMissiles)
{
    SceneItem* flare = Receiving({0, 0, 0}, 40, 1);
    SceneItem* shell = Receiving({10, 0, 0}, 1, 1);
    SceneItem* missile = Receiving({-10, 0, 0}, 1, 1);
    shell->avatar->classFlags = kSenseProjectile;
    missile->avatar->classFlags = kSenseProjectile | kSenseMissile;
    EnableCallTrace(true);
    ClearCallTrace();
    const Vector3 contact{10, 0, 0};
    int16_t handled = 0;
    DestroyOnFlareContact(flare, nullptr, missile, nullptr, &handled, &contact);
    EXPECT_EQ(Next(missile).kind, 0xFFFF);
    handled = 0;
    DestroyOnFlareContact(flare, nullptr, shell, nullptr, &handled, &contact);
    EXPECT_EQ(Next(shell).kind, kMsgDelete);
    EXPECT_EQ(flare->avatar->params[kParamEngineCountdown], 50); // the flash point's countdown
}

TEST_F(ResponseTest, ADisruptorBrakesShipsForLessTheLargerTheyAre)
{
    struct Case {
        float radius;
        int32_t braked; // hundredths; 0 none
    } cases[] = {{11700, 2000}, {5000, 3000}, {0, 3000}, {234000, 0}};
    hx_model pointModel{}; // what the braking emitter draws through; no view is built here
    gView.onePoint = &pointModel;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radius);
        ResetSimulation();
        gFrameClock.gameClock = 1000;
        SceneItem* disruptor = Receiving({0, 0, 0}, 10, 1);
        SceneItem* ship = Receiving({50, 0, 0}, c.radius, 1);
        Hull(ship, 100, 0, 0);
        gPlayerItem = ship;
        gLastHitAmount = 0;
        int16_t handled = 0;
        DisruptOnContact(disruptor, nullptr, ship, nullptr, &handled, nullptr);
        EXPECT_EQ(Next(disruptor).kind, kMsgDelete);
        EXPECT_EQ(gLastHitAmount, 250);
        EXPECT_EQ((ship->sim->flags & kSimBraked) != 0, c.braked != 0);
        if (c.braked == 0)
            continue;
        gFrameClock.gameClock += c.braked - 1;
        EXPECT_EQ(Next(ship).kind, 0xFFFF);
        gFrameClock.gameClock += 1;
        EXPECT_EQ(Next(ship).kind, kMsgUnbrake);
    }
    gView.onePoint = nullptr;
}

TEST_F(ResponseTest, TheBrakingGlowIsPaleBlueEndToEnd)
{
    hx_model pointModel{};
    gView.onePoint = &pointModel;
    // A lookup giving each colour the low byte of its index, so that the
    // glow's ramp and the default yellow one read apart.
    std::vector<uint8_t> lookup(65536);
    for (size_t i = 0; i < lookup.size(); ++i)
        lookup[i] = static_cast<uint8_t>(i);
    gRampLookup = lookup.data();
    SceneItem* disruptor = Receiving({0, 0, 0}, 10, 1);
    SceneItem* ship = Receiving({50, 0, 0}, 11700, 1);
    Hull(ship, 100, 0, 0);
    int16_t handled = 0;
    DisruptOnContact(disruptor, nullptr, ship, nullptr, &handled, nullptr);
    const TDP* root = ship->avatar->root;
    const TDP* glow = root->emitter ? root : nullptr;
    for (const TDP* t = root->firstChild; t && !glow; t = t->nextSibling)
        if (t->emitter)
            glow = t;
    ASSERT_NE(glow, nullptr);
    uint8_t expected[32];
    BuildColourRamp(lookup.data(), expected, 190, 200, 255, 190, 200, 255);
    EXPECT_EQ(std::memcmp(glow->emitter->ramp, expected, sizeof expected), 0);
    uint8_t yellow[32];
    BuildColourRamp(lookup.data(), yellow, 255, 255, 0, 15, 15, 0);
    EXPECT_NE(std::memcmp(glow->emitter->ramp, yellow, sizeof yellow), 0);
    gRampLookup = nullptr;
    gView.onePoint = nullptr;
}

TEST_F(ResponseTest, ABigEnoughHitBreaksAPieceOffAndASmallOneMakesDebris)
{
    EnableCallTrace(true);
    SceneItem* player = Receiving({0, 0, 0}, 100, 100);
    SceneItem* shell = Receiving({100, 0, 0}, 5, 1);
    SceneItem* rock = Receiving({200, 0, 0}, 50, 1);
    gPlayerItem = player;
    HitPayload record{};
    record.point[0] = 10;
    ClearCallTrace();
    BreakOffOnHit(player, &record);
    EXPECT_EQ(effectsprobe::Count(player, effectsprobe::kDestruction), 1);
    EXPECT_EQ(player->control, ChainExplosionStep);
    EXPECT_EQ(player->avatar->collision, nullptr);
    // A projectile far from the camera: a debris copy in its place, and it goes.
    shell->avatar->classFlags = kSenseProjectile;
    ClearCallTrace();
    PrepareCollisionFrame();
    const int32_t items = gSceneItemCount;
    BreakOffOnHit(shell, &record);
    PrepareCollisionFrame();
    EXPECT_EQ(gSceneItemCount, items + 1);
    EXPECT_EQ(effectsprobe::Count(shell, effectsprobe::kDestruction), 0);
    int bursts = 0; // the coloured burst on the debris copy
    ForEachSceneItem([&](SceneItem* item) {
        if (item != player)
            bursts += effectsprobe::Count(item, effectsprobe::kHitBurst);
        return true;
    });
    EXPECT_EQ(bursts, 1);
    EXPECT_EQ(Next(shell).kind, kMsgDelete);
    // A rock of a field shatters; one whose root cannot break stays whole.
    rock->avatar->params[kParamBeltAnchor] = 1;
    HitAsteroid(rock, &record);
    EXPECT_EQ(rock->avatar->collision, nullptr);
    rock->avatar->collision = RecordContact;
    rock->avatar->root->flags &= ~kTdpBreakable;
    ShatterSceneItem(rock, Vector3{}, 0);
    EXPECT_EQ(rock->avatar->collision, RecordContact);
}

TEST_F(ResponseTest, TouchingShipsRunTheirResponsesThroughTheFrame)
{
    SceneItem* a = Receiving({0, 0, 0}, 100, 100);
    SceneItem* b = Receiving({150, 0, 0}, 100, 100);
    a->avatar->collision = b->avatar->collision = CollideShips;
    Hull(a, 100, 0, 0);
    Hull(b, 100, 0, 0);
    PrepareCollisionFrame();
    TestAllCollisions();
    // One bounce (the second response finds the pair handled).
    EXPECT_NEAR(a->sim->position.x, -60.0, 1e-4);
    EXPECT_EQ(Impact(b).kind, kMsgImpact);
    EXPECT_EQ(Impact(b).kind, 0xFFFF);
}

TEST_F(ResponseTest, AnAlienDeviceChoosesTheJumpDestinationAndLetsShipsJump)
{
    worldtest::LoadTestUniverse("id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n"
                                "300,Vessa,300,S,0,0,0,0,0,0,0,0,0\n"
                                "301,L4,300,L4,0,0,0,0,0,0,0,0,0\n",
                                {{"Vessa", 4, 0, {0, 0, 0}}});
    SceneItem* device = Receiving({0, 0, 0}, 600000, 1);
    device->avatar->deviceSystem = 4;
    SceneItem* player = Receiving({100, 0, 0}, 100, 1);
    Hull(player, 100, 0, 0);
    CapsuleRating(player->sim->shipInfo->flightModel) = 100;
    SceneItem* rock = Receiving({-100, 0, 0}, 10, 1);
    gPlayerItem = player;
    gLagrangeDestination = {};
    struct Case {
        const char* what;
        uint8_t enabled;
        uint16_t damaged;
        int32_t system;
        bool canJump;
    } cases[] = {
        {"disabled: nothing chosen", 0, 0, 0, false},
        {"enabled: system 4's L4", 255, 0, 4, true},
        {"a broken capsule drive", 255, kCapCapsuleDrive, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gAlienDevicesEnabled = c.enabled;
        player->sim->shipInfo->damage.capabilities = c.damaged;
        player->flags &= ~kItemJumpCheck;
        int16_t handled = 0;
        CollideLagrangeDevice(device, nullptr, player, nullptr, &handled, nullptr);
        EXPECT_EQ(handled, 1);
        EXPECT_EQ(gCurrentLagrangeDevice, device);
        EXPECT_EQ(gLagrangeDestination.system, c.system);
        EXPECT_EQ((player->flags & kItemJumpCheck) != 0, c.canJump);
    }
    ASSERT_NE(gLagrangeDestination.body, nullptr);
    EXPECT_STREQ(gLagrangeDestination.body->name, "L4");
    // What has no ShipInfo may always go; a device of code word 21 lets none.
    int16_t handled = 0;
    CollideLagrangeDevice(device, nullptr, rock, nullptr, &handled, nullptr);
    EXPECT_TRUE(rock->flags & kItemJumpCheck);
    rock->flags &= ~kItemJumpCheck;
    device->ownerWord = 21;
    CollideLagrangeDevice(device, nullptr, rock, nullptr, &handled, nullptr);
    EXPECT_FALSE(rock->flags & kItemJumpCheck);
    gAlienDevicesEnabled = 0;
    gCurrentLagrangeDevice = nullptr;
    gLagrangeDestination = {};
    ResetUniverse();
}
