// The LDS drive: the speed laws, engaging and disengaging, spool-up, the
// geometric growth, time compression under the autopilot, interdiction and
// the AI's test whether to use the drive.
#include <cmath>

#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/sound_fixture.h"
#include "tests/support/world_fixture.h"
#include "view/cameras.h"
#include "ui/shiplog.h"
#include "world/floatingorigin.h"
#include "world/lds.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::RunFrame;
using worldtest::SetFrameStep;
using worldtest::WorldTest;

namespace {

FlightModel ModelWithGrowth(float growth, float top = 1e12f)
{
    FlightModel m{};
    InitFlightModel(&m, 100, 10, growth, top, 30, 30, 30, 100);
    return m;
}

// A ship flown by SIM_MAIN with LDS growth G and LDS top speed.
SceneItem* MakeLdsShip(float growth = 200, float top = 1e12f)
{
    SceneItem* item = MakeItem(SIM_MAIN);
    ShipInfo* info = MakeShip(item);
    info->name = "Tern";
    info->flightModel = ModelWithGrowth(growth, top);
    return item;
}

} // namespace

TEST_F(WorldTest, TheSpeedLaws)
{
    const FlightModel b2 = ModelWithGrowth(200);
    const FlightModel b3 = ModelWithGrowth(300);
    EXPECT_FLOAT_EQ(LdsSpeedForDistance(10000, &b2), 100000); // the floor
    EXPECT_FLOAT_EQ(LdsSpeedForDistance(1e6f, &b2), 1e6f);
    EXPECT_FLOAT_EQ(LdsSpeedForDistance(1e6f, &b3), 2e6f);
    EXPECT_FLOAT_EQ(LdsDistanceForSpeed(1e6f, &b2), 1e6f);
    EXPECT_FLOAT_EQ(LdsDistanceForSpeed(1e6f, &b3), 5e5f);
    EXPECT_NEAR(LdsTimeForSpeed(8e5f, &b2), 3.0f, 1e-5);
    EXPECT_NEAR(LdsTimeForSpeed(2.7e6f, &b3), 3.0f, 1e-5);
    EXPECT_NEAR(LdsGrowthRate(8e5f, &b2), std::log(2.0) * 8e5, 1e-1);
    // A drive that never grows answers no division by zero and no NaN.
    for (float growth : {100.0f, 50.0f, 0.0f, -20.0f}) {
        SCOPED_TRACE(growth);
        const FlightModel flat = ModelWithGrowth(growth);
        EXPECT_EQ(LdsDistanceForSpeed(1e6f, &flat), 0.0f);
        EXPECT_EQ(LdsSpeedForDistance(1e9f, &flat), 100000.0f);
        EXPECT_EQ(LdsTimeForSpeed(1e6f, &flat), 0.0f);
        EXPECT_EQ(LdsGrowthRate(1e6f, &flat), 0.0f);
    }
    EXPECT_EQ(LdsTimeForSpeed(0, &b2), 0.0f);
}

TEST_F(WorldTest, EngagingStartsTheSpoolAndAnnouncesIt)
{
    SceneItem* ship = MakeLdsShip();
    SceneItem* other = MakeLdsShip();
    gControlledItem = ship;
    Sim* sim = ship->sim;
    sim->thrust = {5, 6, 7};
    CapturedSound sound;
    sound.LoadSlots({31});
    StartDirector();
    ClearCallTrace();
    ResetShipLog();
    ResetMessageLine();
    EXPECT_EQ(EngageLds(ship), 255);
    EXPECT_EQ(sim->ldsSpool, 300);
    EXPECT_TRUE(sim->flags & kSimLdsEngaged);
    EXPECT_EQ(sim->thrust.x, 0.0f);
    EXPECT_EQ(sim->thrust.y, 0.0f);
    EXPECT_EQ(sim->thrust.z, 100000.0f);
    EXPECT_EQ(sim->ldsTargetSpeed, 1e10f);
    EXPECT_STRNE(gMessageLine.shown, kIdleMessageText) << "announced on the message line";
    ASSERT_EQ(gShipLog.count, 1);
    EXPECT_EQ(gShipLog.entries[0].kind, 9); // activated LDS
    EXPECT_EQ(gCameras.director.subject.Get(), ship);
    EXPECT_EQ(gCameras.director.event, kShotLdsEngaged);
    EXPECT_TRUE(CapturedSound::TakePlay(31));
    // Engaged already: nothing changes, and it answers yes.
    sim->ldsSpool = 17;
    ClearCallTrace();
    EXPECT_EQ(EngageLds(ship), 255);
    EXPECT_EQ(sim->ldsSpool, 17);
    EXPECT_TRUE(RecordedCalls().empty());
    // Only the controlled item hears it.
    ClearCallTrace();
    EXPECT_EQ(EngageLds(other), 255);
    EXPECT_FALSE(CapturedSound::TakePlay(31));
}

TEST_F(WorldTest, ABarredDriveOrNoDriveDoesNotEngage)
{
    SceneItem* barred = MakeLdsShip();
    barred->sim->flags |= kSimLdsBarred;
    SceneItem* none = MakeLdsShip(200, 0);
    SceneItem* rock = MakeItem(SIM_MAIN); // no flight model at all
    for (SceneItem* item : {barred, none, rock}) {
        EXPECT_EQ(EngageLds(item), 0);
        EXPECT_FALSE(item->sim->flags & kSimLdsEngaged);
    }
}

TEST_F(WorldTest, DisengagingSaysWhetherItDidSomething)
{
    SceneItem* ship = MakeLdsShip();
    gPlayerItem = gControlledItem = ship;
    CapturedSound sound;
    sound.LoadSlots({31, 33});
    EXPECT_EQ(DisengageLds(ship), 0);
    EngageLds(ship);
    CapturedSound::TakePlay(31);
    ship->sim->velocity = {10, 20, 30};
    gFrameClock.timeCompression = 4;
    StartDirector();
    ClearCallTrace();
    ResetShipLog();
    ResetMessageLine();
    EXPECT_EQ(DisengageLds(ship), 255);
    EXPECT_FALSE(ship->sim->flags & kSimLdsEngaged);
    EXPECT_EQ(ship->sim->thrust.z, 0.0f);
    EXPECT_EQ(ship->sim->ldsTargetSpeed, 0.0f);
    EXPECT_EQ(ship->sim->ldsSpool, 0);
    EXPECT_EQ(ship->sim->velocity.x, 0.0f);
    EXPECT_EQ(gFrameClock.timeCompression, 1.0f);
    EXPECT_STRNE(gMessageLine.shown, kIdleMessageText) << "announced on the message line";
    ASSERT_EQ(gShipLog.count, 1);
    EXPECT_EQ(gShipLog.entries[0].kind, 10); // de-activated LDS
    EXPECT_EQ(gCameras.director.subject.Get(), ship);
    EXPECT_EQ(gCameras.director.event, kShotLdsDisengaged);
    EXPECT_TRUE(CapturedSound::TakePlay(33));
    // Near a planet the ship keeps its velocity.
    ship->flags |= kItemNearPlanet;
    EngageLds(ship);
    ship->sim->velocity = {10, 20, 30};
    DisengageLds(ship);
    EXPECT_EQ(ship->sim->velocity.x, 10.0f);
}

TEST_F(WorldTest, AnLdsFlightFollowsTheSpoolAndTheGeometricLaw)
{
    // Reference: the spool counter falls 300 -> 0 by the frame ticks at
    // 100,000; from then on v += min(target - v, ln(b) v dt), capped; the
    // nose move is v dt blended by c = (100 - n) / 100 while 0 < n < 100.
    struct Case {
        float growth, top, target;
        int32_t ticks;
        int frames;
    } const cases[] = {
        {200, 1e12f, 1e10f, 5, 400},
        {300, 1e12f, 1e10f, 10, 150},
        {200, 2e6f, 1e10f, 5, 400},
        {150, 1e12f, 3e5f, 4, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.growth);
        ResetSimulation();
        SceneItem* ship = MakeLdsShip(c.growth, c.top);
        ASSERT_EQ(EngageLds(ship), 255);
        ship->sim->ldsTargetSpeed = c.target;
        const double dt = c.ticks / 100.0f;
        const double lnb = std::log(c.growth / 100.0);
        double v = 1e5, z = 0;
        int32_t spool = 300;
        for (int f = 0; f < c.frames; ++f) {
            RunFrame(c.ticks);
            if (spool > 0) {
                spool = std::max(spool - c.ticks, 0);
            } else {
                v += std::min(c.target - v, lnb * v * dt);
                v = std::min(std::max(v, 1e5), static_cast<double>(c.top));
            }
            const double share = spool > 0 && spool < 100 ? (100 - spool) / 100.0 : spool == 0 ? 1
                                                                                               : 0;
            z += v * dt * share;
        }
        EXPECT_EQ(ship->sim->ldsSpool, 0);
        EXPECT_NEAR(ship->sim->thrust.z, v, 1e-4 * v);
        EXPECT_NEAR(ship->sim->position.z, z, 1e-4 * z);
        EXPECT_EQ(ship->sim->speed, ship->sim->thrust.z);
    }
}

TEST_F(WorldTest, WithGrowth200TheSpeedAboutDoublesEverySecond)
{
    SceneItem* ship = MakeLdsShip(200);
    EngageLds(ship);
    ship->sim->ldsSpool = 0;
    SetFrameStep(1);
    for (int second = 1; second <= 5; ++second) {
        for (int f = 0; f < 100; ++f)
            LdsStep(ship);
        // (1 + ln 2 / 100)^100 a second, within 0.25% of a doubling.
        const double law = 1e5 * std::pow(1 + std::log(2.0) / 100, 100 * second);
        EXPECT_NEAR(ship->sim->thrust.z, law, 1e-4 * law);
        EXPECT_NEAR(ship->sim->thrust.z / (1e5 * std::pow(2.0, second)), 1.0, 2.5e-3 * second);
    }
}

TEST_F(WorldTest, TheAutopilotCompressesTimeOnLongLdsLegs)
{
    // (s - 5.5) e + 1 with s = log10 speed, e = log10 target - s within
    // 1..4 (1 below 1), only above 10^5.5 and only under the autopilot.
    struct Case {
        float speed, target;
        bool autopilot;
        float factor;
        // clang-format off
    } const cases[] = {
        {1e7f, 1e9f, true, 4},     {1e7f, 1e9f, false, 1},  {2e5f, 1e9f, true, 1},
        {1e6f, 1e12f, true, 3},    {1e7f, 3e7f, true, 2.5f}, {1e8f, 1e8f, true, 3.5f},
    };
    // clang-format on
    SceneItem* ship = MakeLdsShip();
    gPlayerItem = gControlledItem = ship;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        EngageLds(ship);
        ship->sim->ldsSpool = 5; // winding up: the speed stays put
        ship->sim->thrust.z = c.speed;
        ship->sim->ldsTargetSpeed = c.target;
        ship->sim->flags = c.autopilot ? ship->sim->flags | kSimAiControl : ship->sim->flags & ~kSimAiControl;
        LdsStep(ship);
        EXPECT_NEAR(gFrameClock.timeCompression, c.factor, 1e-5);
    }
    // Another ship's flight leaves the clock alone.
    SceneItem* other = MakeLdsShip();
    EngageLds(other);
    other->sim->thrust.z = 1e9f;
    gFrameClock.timeCompression = 2;
    LdsStep(other);
    EXPECT_EQ(gFrameClock.timeCompression, 2.0f);
    gFrameClock.timeCompression = 1;
}

TEST_F(WorldTest, InterdictionWindsTheDriveDownToTheSecondTargetsVelocity)
{
    SceneItem* ship = MakeLdsShip();
    SceneItem* carrier = MakeLdsShip();
    carrier->sim->velocity = {0, 250, 0};
    gPlayerItem = gControlledItem = ship;
    ship->sim->flags |= kSimAiControl;
    EngageLds(ship);
    ship->sim->ldsSpool = 0;
    ship->sim->thrust.z = 5e6f;
    ship->sim->ldsTargetSpeed = 5e6f;
    ship->sim->velocity = {100, 0, 0};
    ship->sim->secondTarget = carrier;
    RunFrame(5);
    EXPECT_GT(gFrameClock.timeCompression, 1.0f);
    ship->sim->flags |= kSimLdsBarred;
    RunFrame(5);
    EXPECT_EQ(ship->sim->ldsSpool, -100);
    EXPECT_EQ(gFrameClock.timeCompression, 1.0f);
    for (int f = 0; f < 19; ++f)
        RunFrame(5);
    EXPECT_TRUE(ship->sim->flags & kSimLdsEngaged);
    RunFrame(5); // 100 hundredths later
    EXPECT_FALSE(ship->sim->flags & kSimLdsEngaged);
    EXPECT_EQ(ship->sim->thrust.z, 0.0f);
    EXPECT_EQ(ship->sim->ldsTargetSpeed, 0.0f);
    EXPECT_EQ(ship->sim->velocity.y, 250.0f);
    // From now on it moves purely by its velocity.
    const WorldPosition before = ship->sim->position;
    RunFrame(5);
    EXPECT_EQ(ship->sim->position.z, before.z);
    EXPECT_NEAR(ship->sim->position.y - before.y, 12.5, 1e-6);
    // A second target that is gone leaves the velocity as it was.
    ship->sim->flags &= ~kSimLdsBarred;
    EngageLds(ship);
    ship->sim->ldsSpool = -5;
    ship->sim->velocity = {1, 2, 3};
    DeleteSceneItem(carrier);
    LdsStep(ship);
    EXPECT_FALSE(ship->sim->flags & kSimLdsEngaged);
    EXPECT_EQ(ship->sim->velocity.y, 2.0f);
}

TEST_F(WorldTest, WhenTheAiWantsTheDrive)
{
    // Turn allowance 360 / (yaw + roll) = 6 s, times 120,000 = 720,000 off
    // the distance; the ship's top speed is 10,000.
    struct Case {
        const char* what;
        double distance;
        Vector3 shipVelocity;
        float targetRadius;
        bool targetBody, nearPlanet, targetInLds, targetFleeing, off, barred;
        uint8_t wants;
    } const cases[] = {
        {"130 s away", 720000 + 1300001, {}, 0, false, false, false, false, false, false, 255},
        {"within 130 s", 720000 + 1299999, {}, 0, false, false, false, false, false, false, 0},
        {"switched off", 1e9, {}, 0, false, false, false, false, true, false, 0},
        {"barred", 1e9, {}, 0, false, false, false, false, false, true, 0},
        {"at a body", 720000 + 500, {}, 1000, true, false, false, false, false, false, 0},
        {"fast, heading away", 720000 + 300000, {0, 0, -130000}, 0, false, false, false, false, false, false, 255},
        {"fast, heading in", 720000 + 300000, {0, 0, 130000}, 0, false, false, false, false, false, false, 0},
        {"fast away, near a planet", 720000 + 300000, {0, 0, -130000}, 0, false, true, false, false, false, false, 0},
        {"fast away, too close", 720000 + 150000, {0, 0, -130000}, 0, false, false, false, false, false, false, 0},
        {"fleeing in LDS", 1000, {}, 0, false, false, true, true, false, false, 255},
        {"coming in LDS", 1e9, {}, 0, false, false, true, false, false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        SceneItem* ship = MakeLdsShip();
        SceneItem* target = MakeLdsShip();
        ship->sim->velocity = c.shipVelocity;
        target->avatar->position.z = c.distance;
        target->sim->radius = c.targetRadius;
        if (c.targetBody)
            target->avatar->flags |= 4;
        if (c.nearPlanet)
            ship->flags |= kItemNearPlanet;
        if (c.barred)
            ship->sim->flags |= kSimLdsBarred;
        if (c.targetInLds) {
            target->sim->flags |= kSimLdsEngaged;
            target->sim->thrust.z = 1e6f;
            if (!c.targetFleeing)
                MatRotY(180, target->sim->matrix);
        }
        gLdsSwitchedOff = c.off ? 255 : 0;
        EXPECT_EQ(WantsLdsToTarget(ship, target), c.wants);
    }
    gLdsSwitchedOff = 0;
}

namespace {
constexpr double kDestination = 5e9;
constexpr double kArrival = 200000;
// The autopilot's part: the LDS target speed is the speed for the distance
// left, and the drive is left within the arrival distance.
void CruiseToDestination(SceneItem* item)
{
    Sim* sim = item->sim;
    const double left = kDestination - (sim->position.z + gWorldOriginOffset.z);
    if (!(sim->flags & kSimLdsEngaged))
        return;
    if (left < kArrival)
        DisengageLds(item);
    else
        sim->ldsTargetSpeed = LdsSpeedForDistance(static_cast<float>(left), sim->flightModel);
}
} // namespace

TEST_F(WorldTest, AnLdsLegSlowsGeometricallyAndArrivesAcrossOriginShifts)
{
    // Reference in doubles: spool 300 at 100,000; then the speed moves to
    // the target (b - 1) x left, never above the growth ln(b) v dt a frame
    // and never below 100,000; the leg ends within 200,000 of the goal.
    const int32_t ticks = 5;
    const double dt = ticks / 100.0f;
    for (float growth : {200.0f, 150.0f}) {
        SCOPED_TRACE(growth);
        ResetSimulation();
        gWorldOriginOffset = {};
        SceneItem* ship = MakeLdsShip(growth, 1e12f);
        SetControlFunction(ship, CruiseToDestination);
        gPlayerItem = gControlledItem = ship;
        ship->sim->flags |= kSimAiControl;
        ASSERT_EQ(EngageLds(ship), 255);

        const double b = growth / 100.0;
        double z = 0, v = 1e5;
        int32_t spool = 300;
        int referenceFrames = 0;
        for (bool engaged = true; engaged; ++referenceFrames) {
            const double left = kDestination - z;
            if (left < kArrival) {
                engaged = false;
                break;
            }
            const double target = std::max((b - 1) * static_cast<float>(left), 1e5);
            if (spool > 0) {
                spool = std::max(spool - ticks, 0);
            } else {
                v += std::min(target - v, std::log(b) * v * dt);
                v = std::max(v, 1e5);
            }
            const double share = spool > 0 && spool < 100 ? (100 - spool) / 100.0 : spool == 0 ? 1
                                                                                               : 0;
            z += v * dt * share;
        }

        float fastest = 1;
        int frames = 0;
        while ((ship->sim->flags & kSimLdsEngaged) && frames < 20000) {
            RunFrame(ticks);
            UpdateFloatingOrigin();
            fastest = std::max(fastest, gFrameClock.timeCompression);
            ++frames;
        }
        // The frame that disengages comes one after the reference's last move.
        EXPECT_NEAR(frames - 1, referenceFrames, 2);
        const double absolute = ship->sim->position.z + gWorldOriginOffset.z;
        EXPECT_LE(kDestination - absolute, kArrival);
        // The last move is at most the speed for the distance left, or the floor.
        EXPECT_GT(kDestination - absolute, kArrival - std::max((b - 1) * 2 * kArrival, 1e5) * dt);
        EXPECT_NEAR(absolute, z, 1e-6 * z);
        EXPECT_LT(std::fabs(ship->sim->position.z), 1e9); // the origin followed
        EXPECT_NE(gWorldOriginOffset.z, 0.0);
        EXPECT_GT(fastest, 3.0f); // the autopilot compressed time on the way
        EXPECT_EQ(gFrameClock.timeCompression, 1.0f);
        EXPECT_EQ(ship->sim->velocity.z, 0.0f);
    }
    gWorldOriginOffset = {};
}
