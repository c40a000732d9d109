// Ship physics: thrust into speed and position, turn demands into turn
// rates, the LDS blend, engine value, volume and glow, towing and the NaN
// check, each against the laws worked out by hand.
#include <cmath>
#include <limits>

#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

using worldtest::FatalStops;
using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::SetFrameStep;
using worldtest::WorldTest;

namespace {

// A ship flown by SIM_MAIN with acceleration a, turn rates r and speed
// factor e (top speed 100 e).
SceneItem* MakeFlyer(float a = 100, float r = 30, float e = 100)
{
    SceneItem* item = MakeItem(SIM_MAIN);
    ShipInfo* info = MakeShip(item);
    InitFlightModel(&info->flightModel, a, 10, 200, 1e8f, r, r, r, e);
    return item;
}

Vector3 Forward(const Matrix4& m) { return {m.m[8], m.m[9], m.m[10]}; }

} // namespace

TEST_F(WorldTest, ConstantThrustReachesTopSpeedInTopSpeedOverAcceleration)
{
    struct Case {
        float acceleration, speedFactor;
        int32_t ticks;
    } const cases[] = {{100, 100, 5}, {250, 40, 2}, {1000, 2000, 10}, {37.5f, 10, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.acceleration);
        ResetSimulation();
        SetFrameStep(c.ticks);
        SceneItem* ship = MakeFlyer(c.acceleration, 30, c.speedFactor);
        const float top = ship->sim->flightModel->topSpeed;
        ASSERT_FLOAT_EQ(top, 100 * c.speedFactor);
        ship->sim->thrust.z = c.acceleration;
        const double dt = c.ticks / 100.0;
        // v after n steps is a n dt: top speed comes at t = top / a.
        const int expectedFrames = static_cast<int>(std::ceil(top / c.acceleration / dt - 1e-6));
        int frames = 0;
        while (ship->sim->speed < top * (1 - 1e-5f) && frames < 100000) {
            SIM_MAIN(ship);
            ++frames;
        }
        EXPECT_EQ(frames, expectedFrames);
        // Semi-implicit steps: z = a dt^2 n (n + 1) / 2.
        const double n = frames;
        EXPECT_NEAR(ship->sim->position.z, c.acceleration * dt * dt * n * (n + 1) / 2,
                    1e-3 * ship->sim->position.z);
        EXPECT_FLOAT_EQ(ship->sim->matrix.m[14], static_cast<float>(ship->sim->position.z));
        EXPECT_EQ(ship->sim->position.x, 0.0);
    }
}

TEST_F(WorldTest, ThrustActsAlongTheShipsOwnAxes)
{
    SetFrameStep(10);
    SceneItem* ship = MakeFlyer();
    MatRotY(90, ship->sim->matrix); // nose along world x
    ship->sim->thrust = {0, 20, 50};
    SIM_MAIN(ship);
    EXPECT_NEAR(ship->sim->velocity.x, 5.0f, 1e-5);
    EXPECT_NEAR(ship->sim->velocity.y, 2.0f, 1e-5);
    EXPECT_NEAR(ship->sim->velocity.z, 0.0f, 1e-5);
    EXPECT_NEAR(ship->sim->speed, std::sqrt(29.0f), 1e-5);
}

TEST_F(WorldTest, ATurnDemandRampsToItsRateAtTheModelsRatePerSecond)
{
    struct Case {
        float rate, demand;
        int32_t ticks;
    } const cases[] = {{30, 100, 5}, {90, 50, 2}, {45, -100, 10}, {120, 25, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        ResetSimulation();
        SetFrameStep(c.ticks);
        SceneItem* ship = MakeFlyer(100, c.rate);
        const float dt = c.ticks / 100.0f;
        const float wanted = c.rate * c.demand * 0.01f;
        // The rate steps by R dt a frame: it reaches R d / 100 after
        // ceil(|wanted| / (R dt)) frames.
        const int expectedFrames = static_cast<int>(std::ceil(std::fabs(wanted) / (c.rate * dt) - 1e-6));
        ship->yawDemand = c.demand;
        ship->yawRemaining = 1e6f * (c.demand > 0 ? 1 : -1);
        int frames = 0;
        float turned = 0;
        auto reached = [&] { return std::fabs(ship->sim->turnRates.y - wanted) < 1e-3f * c.rate; };
        while (!reached() && frames < 1000) {
            SIM_MAIN(ship);
            turned += ship->sim->turnRates.y * dt;
            ++frames;
            if (!reached()) {
                EXPECT_NEAR(std::fabs(ship->sim->turnRates.y), frames * c.rate * dt, 1e-3);
            }
        }
        EXPECT_EQ(frames, expectedFrames);
        EXPECT_NEAR(ship->yawRemaining, ship->yawDemand > 0 ? 1e6f - turned : -1e6f - turned, 1.0f);
        EXPECT_EQ(ship->sim->turnRates.x, 0.0f);
        EXPECT_EQ(ship->sim->turnRates.z, 0.0f);
    }
}

TEST_F(WorldTest, UnderLdsTheTurnRateJumpsToTheDemand)
{
    SetFrameStep(5);
    SceneItem* ship = MakeFlyer(100, 40);
    ship->sim->flags |= kSimLdsEngaged;
    ship->pitchDemand = 75;
    ship->pitchRemaining = 1000;
    SIM_MAIN(ship);
    EXPECT_FLOAT_EQ(ship->sim->turnRates.x, 30.0f);
}

TEST_F(WorldTest, TheDemandIsCutSoTheTurnEndsOnTheRemainingAngle)
{
    SetFrameStep(20);
    SceneItem* ship = MakeFlyer(100, 90);
    ship->sim->flags |= kSimLdsEngaged; // the rate follows at once
    ship->yawDemand = 100;
    ship->yawRemaining = 5;
    Matrix4 m;
    MatIdentity(m);
    RotateByDemands(ship, m);
    EXPECT_NEAR(ship->yawDemand, 5 / (0.002f * 90), 1e-3); // about 27.8
    EXPECT_NEAR(ship->yawRemaining, 0.0f, 1e-5);
    // The nose has turned 5 degrees about Y.
    EXPECT_NEAR(std::asin(std::fabs(m.m[8])) * 57.29578f, 5.0f, 1e-3);
}

TEST_F(WorldTest, TurningWithoutBookkeepingKeepsTheRemainingAngles)
{
    SetFrameStep(10);
    SceneItem* ship = MakeFlyer(100, 60);
    ship->sim->flags |= kSimTurnsWithoutBookkeeping | kSimLdsEngaged;
    ship->rollDemand = 100;
    ship->rollRemaining = 1000;
    SIM_MAIN(ship);
    EXPECT_FLOAT_EQ(ship->rollRemaining, 1000);
    EXPECT_FLOAT_EQ(ship->sim->turnRates.z, 60);
}

TEST_F(WorldTest, TheSpoolCounterBlendsLdsAndOrdinaryMotion)
{
    // c = (100 - n)/100 winding up, -n/100 winding down, 0 beyond +-100;
    // the move is nose x LDS speed x c + velocity x (1 - c), times dt.
    struct Case {
        int32_t spool;
        float c;
    } const cases[] = {{150, 0}, {100, 0}, {99, 0.01f}, {50, 0.5f}, {1, 0.99f}, {-1, 0.01f}, {-50, 0.5f}, {-99, 0.99f}, {-100, 0}, {-150, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spool);
        ResetSimulation();
        SetFrameStep(10);
        SceneItem* ship = MakeFlyer();
        Sim* sim = ship->sim;
        sim->flags |= kSimLdsEngaged | kSimLdsBarred; // barred: LdsStep keeps the speed
        sim->velocity = {1000, 0, 0};
        sim->thrust.z = 200000;
        sim->ldsSpool = c.spool + (c.spool > 0 ? 10 : c.spool < 0 ? -10
                                                                  : 0); // LdsStep counts 10 first
        if (c.spool > 0)
            sim->flags &= ~kSimLdsBarred;
        SIM_MAIN(ship);
        ASSERT_EQ(sim->ldsSpool, c.spool);
        EXPECT_NEAR(sim->position.z, 0.1 * 200000 * c.c, 1e-2);
        EXPECT_NEAR(sim->position.x, 0.1 * 1000 * (1 - c.c), 1e-3);
        EXPECT_EQ(sim->speed, 200000.0f);
    }
}

TEST_F(WorldTest, AtFullLdsTheShipFliesAlongItsNose)
{
    SetFrameStep(5);
    SceneItem* ship = MakeFlyer();
    MatRotX(-90, ship->sim->matrix); // nose up
    ship->sim->flags |= kSimLdsEngaged;
    ship->sim->thrust.z = 1e6f;
    ship->sim->ldsTargetSpeed = 1e6f;
    ship->sim->velocity = {500, 0, 0};
    SIM_MAIN(ship);
    const Vector3 nose = Forward(ship->sim->matrix);
    EXPECT_NEAR(ship->sim->position.y, 0.05 * 1e6 * nose.y, 1e-2);
    EXPECT_NEAR(std::fabs(ship->sim->position.y), 50000.0, 1e-2);
    EXPECT_EQ(ship->sim->position.x, 0.0);
    EXPECT_EQ(ship->sim->engineValue, 1e6f);
}

TEST_F(WorldTest, EngineValueHasItsFloorAndTheLongTrailDoublesIt)
{
    struct Case {
        uint32_t simFlags;
        int16_t avatarFlags;
        Vector3 thrust;
        float expected;
    } const cases[] = {
        {kSimNoMinimumEngine, 0, {0, 0, 0}, 0},
        {0, 0, {0, 0, 0}, 500},
        {0, 0, {0, 0, 800}, 800},
        {0, kAvatarLongTrail, {0, 0, 0}, 1500},
        {kSimNoMinimumEngine, kAvatarLongTrail, {0, 0, 100}, 700},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        ResetSimulation();
        SceneItem* ship = MakeFlyer();
        ship->sim->flags |= c.simFlags;
        ship->avatar->flags |= c.avatarFlags;
        ship->sim->thrust = c.thrust;
        SIM_MAIN(ship);
        EXPECT_FLOAT_EQ(ship->sim->engineValue, c.expected);
    }
}

TEST_F(WorldTest, EngineGlowFollowsForwardThrustOverAcceleration)
{
    struct Case {
        bool ship;
        float thrustZ;
        int32_t glow;
    } const cases[] = {{false, 0, 32}, {true, 0, 0}, {true, 50, 16}, {true, 100, 32}, {true, -100, 0}, {true, 30, 9}, {true, 1e6f, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.thrustZ);
        ResetSimulation();
        SceneItem* item = c.ship ? MakeFlyer(100) : MakeItem(SIM_MAIN);
        item->sim->thrust.z = c.thrustZ;
        item->avatar->params[1] = 3;
        SIM_MAIN(item);
        EXPECT_EQ(item->avatar->params[2], c.glow);
        EXPECT_EQ(item->avatar->params[1], 3 - gFrameClock.frameTicks);
    }
}

TEST_F(WorldTest, TheControlledItemSetsTheEngineVolume)
{
    // v = (0.7 a + 0.3 b) 5000 + 5000, at most 10000; volume v - 10000, with
    // a the thrust share of the acceleration and b the turn inputs / 981.
    struct Case {
        Vector3 thrust;
        TurnInputs inputs;
        int32_t volume;
    } const cases[] = {
        {{0, 0, 0}, {0, 0, 0}, -5000},
        {{0, 0, 100}, {0, 0, 0}, -1500},
        {{100, 100, 0}, {0, 0, 0}, -1500},
        {{0, 0, 50}, {180, 0, 0}, -2974},
        {{0, 0, 300}, {180, 180, 180}, 0},
    };
    SceneItem* ship = MakeFlyer(100);
    gControlledItem = ship;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        ship->sim->thrust = c.thrust;
        gTurnInputs = c.inputs;
        SIM_MAIN(ship);
        EXPECT_EQ(gEngineVolume, c.volume);
    }
    gTurnInputs = {};
    // Other items leave it alone; a model without acceleration counts no thrust.
    gEngineVolume = 7;
    SIM_MAIN(MakeFlyer());
    EXPECT_EQ(gEngineVolume, 7);
    ship->sim->flightModel->acceleration = 0;
    SIM_MAIN(ship);
    EXPECT_EQ(gEngineVolume, -5000);
}

TEST_F(WorldTest, AnItemTowedByAnLdsFieldMovesWithIt)
{
    SetFrameStep(10);
    SceneItem* tower = MakeFlyer();
    SceneItem* towed = MakeItem(SIM_MAIN);
    tower->sim->velocity = {0, 300, 0};
    // The field's touch is what takes the item in tow.
    tower->avatar->root->radius = 6000.0f;
    towed->sim->position = {0, 0, 5000};
    int16_t handled = 0;
    CollideLdsField(tower, tower->avatar->root, towed, towed->avatar->root, &handled, nullptr);
    ASSERT_TRUE(towed->sim->flags & kSimTowed);
    towed->sim->position = {0, 0, 0};
    SIM_MAIN(towed);
    EXPECT_NEAR(towed->sim->position.y, 30.0, 1e-4);
    tower->sim->flags |= kSimLdsEngaged;
    tower->sim->thrust.z = 1e6f;
    SIM_MAIN(towed);
    EXPECT_NEAR(towed->sim->position.z, 1e5, 1e-2);
    DeleteSceneItem(tower); // a tower that is gone pulls no more
    SIM_MAIN(towed);
    EXPECT_NEAR(towed->sim->position.z, 1e5, 1e-2);
}

TEST_F(WorldTest, SimMainRunsTheInhibitorPulseAndSparksWhenAsked)
{
    SceneItem* ship = MakeFlyer();
    SetFrameStep(20); // a spark every frame of 20 hundredths
    // A spark is a small impact the ship posts to itself at a hull point.
    const auto sparks = [ship] { return DelayItemMessages(ship, 0, kMsgImpact); };
    SIM_MAIN(ship);
    EXPECT_EQ(ship->avatar->params[4], 0);
    EXPECT_EQ(sparks(), 0);
    ship->sim->flags |= kSimInhibited;
    ship->avatar->classFlags |= kClassSparksWhenDamaged;
    ship->sim->hull = 45;
    SIM_MAIN(ship);
    EXPECT_EQ(ship->avatar->params[4], 20); // the inhibitor pulse counts toward its period
    EXPECT_EQ(sparks(), 0);
    ship->sim->hull = 44;
    SIM_MAIN(ship);
    EXPECT_EQ(sparks(), 1); // a spark at a hull point
}

TEST_F(WorldTest, SimNullOnlyStampsTheTime)
{
    SceneItem* item = MakeItem(SIM_NULL);
    item->sim->velocity = {5, 5, 5};
    gFrameClock.gameClock = 1234;
    SIM_NULL(item);
    EXPECT_EQ(item->sim->startTime, 1234u);
    EXPECT_EQ(item->sim->position.x, 0.0);
}

TEST_F(WorldTest, CheckFloatSanityReportsEveryNonFiniteValue)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        uint8_t result;
        const char* stop;
    } const cases[] = {{1.5f, 255, nullptr}, {-3e38f, 255, nullptr}, {nan, 0, "Infinity Error +"}, {-nan, 0, "Infinity Error -"}, {inf, 0, "Infinity Error +"}, {-inf, 0, "Infinity Error -"}};
    for (const Case& c : cases) {
        worldtest::ClearFatalStops();
        EXPECT_EQ(CheckFloatSanity(c.value), c.result);
        if (c.stop)
            EXPECT_EQ(FatalStops(), std::vector<std::string>{c.stop});
        else
            EXPECT_TRUE(FatalStops().empty());
    }
    // A position checks all three axes.
    Matrix4 m;
    MatIdentity(m);
    m.m[14] = nan;
    worldtest::ClearFatalStops();
    EXPECT_EQ(CheckPositionSanity(m), 0);
    EXPECT_EQ(FatalStops().size(), 1u);
}

TEST_F(WorldTest, AFrameOfNoTicksMovesNothingAndMakesNoNaN)
{
    SetFrameStep(0);
    SceneItem* ship = MakeFlyer();
    FlightModel* model = ship->sim->flightModel; // and a model without acceleration or rates
    model->acceleration = model->rollRate = model->pitchRate = model->yawRate = 0;
    ship->sim->thrust = {10, 10, 10};
    ship->yawDemand = 100;
    ship->yawRemaining = 0;
    SIM_MAIN(ship);
    EXPECT_EQ(ship->sim->position.z, 0.0);
    EXPECT_TRUE(std::isfinite(ship->yawDemand));
    EXPECT_TRUE(FatalStops().empty());
}
