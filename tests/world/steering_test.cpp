// Steering and approach routines: the angle tables, the per-axis steering
// with its fall-off, turning toward directions (flown headless through
// SIM_MAIN), the once-a-frame turn guard, thrust, braking, speed profiles,
// approaches that stop at the stand-off, and collision avoidance.
#include <cmath>

#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/steering.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::RunFrame;
using worldtest::WorldTest;

namespace {

constexpr float kDeg = 57.29578f;

SceneItem* MakeFlyer(float a = 100, float rate = 30, float e = 100, ItemFunction control = nullptr)
{
    SceneItem* item = MakeItem(SIM_MAIN, control);
    ShipInfo* info = MakeShip(item);
    InitFlightModel(&info->flightModel, a, 10, 200, 1e8f, rate, rate, rate, e);
    return item;
}

// A ship whose flight model turns at these rates.
SceneItem* MakeTurner(float pitchRate, float yawRate, float rollRate)
{
    SceneItem* ship = MakeFlyer();
    FlightModel* m = ship->sim->flightModel;
    m->pitchRate = pitchRate;
    m->yawRate = yawRate;
    m->rollRate = rollRate;
    return ship;
}

Vector3 Nose(const SceneItem* item)
{
    const float* m = item->sim->matrix.m;
    return {m[8], m[9], m[10]};
}

float AngleBetween(Vector3 a, Vector3 b)
{
    VecNormalise(a);
    VecNormalise(b);
    return std::acos(std::fmax(-1.0f, std::fmin(1.0f, VecDot(a, b)))) * kDeg;
}


} // namespace

TEST(SteeringAngles, DeadZonesSignsAndTheBehindCase)
{
    struct Case {
        float (*angle)(float, float);
        float s, c, expected;
        // clang-format off
    } const cases[] = {
        {AimAngle, 0.05f, 0.9f, 0},          {AimAngle, 0.05f, -0.9f, -90},
        {AimAngle, 0.5f, 0.8f, -30},         {AimAngle, -0.5f, 0.8f, 30},
        {AimAngle, -0.06f, -0.04f, 0},       {AimAngle, -0.1f, -0.5f, 90},
        {AimAngle, 1.5f, 0.2f, -90},         {AimAngleToAxis, 0.05f, 0.9f, -2.8659f},
        {AimAngleToAxis, 0.0f, -1.0f, -90},  {SmallAimAngle, 0.5f, 0.8f, 30},
        {SmallAimAngle, 0.01f, 0.9f, 0.573f}, {SmallAimAngle, 0.01f, 0.02f, 0},
        {SmallAimAngle, -2.0f, 0.0f, -90},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.s << ", " << c.c);
        EXPECT_NEAR(c.angle(c.s, c.c), c.expected, 1e-3);
    }
}

TEST_F(WorldTest, PerAxisSteeringAveragesTheDemandAndFallsOff)
{
    SceneItem* ship = MakeFlyer();
    // Roll: halfway to +-100, times |a|/30 below 30 degrees; (1 - |a|/90)^3.
    struct RollCase {
        float previous, angle, demand, factor;
    } const rolls[] = {{0, 15, 25, 0.5787f}, {0, 45, 50, 0.125f}, {40, -30, -30, 0.2963f}, {100, 3, 10, 0.9033f}, {0, 0, 0, 1}};
    for (const RollCase& c : rolls) {
        SCOPED_TRACE(c.angle);
        ship->rollDemand = c.previous;
        EXPECT_NEAR(SteerRoll(ship, c.angle), c.factor, 1e-4);
        EXPECT_NEAR(ship->rollDemand, c.demand, 1e-4);
        EXPECT_EQ(ship->rollRemaining, c.angle);
    }
    // Pitch and yaw: halfway, times f^2; (1 - |a|/90)^2 f.
    ship->pitchDemand = 20;
    EXPECT_NEAR(SteerPitch(ship, -30, nullptr, 0.5f), 2.0f / 9, 1e-5);
    EXPECT_NEAR(ship->pitchDemand, -10, 1e-5);
    EXPECT_EQ(ship->pitchRemaining, -30);
    ship->yawDemand = 0;
    EXPECT_NEAR(SteerYaw(ship, 45, nullptr, 1), 0.25f, 1e-5);
    EXPECT_NEAR(ship->yawDemand, 50, 1e-5);
    ClearControlDemands(ship);
    EXPECT_EQ(ship->yawDemand, 0.0f);
    EXPECT_EQ(ship->yawRemaining, 0.0f);
    EXPECT_EQ(ship->pitchRemaining, 0.0f);
}

TEST_F(WorldTest, OneTurnAFrame)
{
    SceneItem* ship = MakeFlyer();
    const Vector3 right{1, 0, 1};
    EXPECT_GT(TurnTowardDirection(ship, right, nullptr), 0.0f);
    EXPECT_TRUE(ship->sim->flags & kSimTurnOncePerFrame);
    const float yaw = ship->yawDemand, roll = ship->rollDemand, pitch = ship->pitchDemand;
    // Everything else that turns this frame does nothing and answers 0.
    Matrix4 frame;
    MatIdentity(frame);
    MatRotX(40, frame);
    EXPECT_EQ(TurnTowardDirection(ship, Vector3{0, 1, 0}, nullptr), 0.0f);
    EXPECT_EQ(TurnTowardVector(ship, 0, -1, 0, nullptr), 0.0f);
    EXPECT_EQ(SteerToMatchFrame(ship, frame), 0.0f);
    EXPECT_EQ(SteerToDirection(ship, frame), 0.0f);
    EXPECT_EQ(SteerRoll(ship, 50), 0.0f);
    EXPECT_EQ(SteerPitch(ship, 50, nullptr, 1), 0.0f);
    EXPECT_EQ(SteerYaw(ship, 50, nullptr, 1), 0.0f);
    EXPECT_EQ(ship->yawDemand, yaw);
    EXPECT_EQ(ship->rollDemand, roll);
    EXPECT_EQ(ship->pitchDemand, pitch);
    // ...but thrusting still works.
    EXPECT_EQ(SteerToVelocity(ship, Vector3{0, 0, 500}, nullptr), 0.75f);
    EXPECT_NEAR(ship->sim->thrust.z, 100, 1e-4);
}

TEST_F(WorldTest, TurnTowardDirectionChoosesTheQuickerWay)
{
    struct Case {
        const char* what;
        Vector3 direction;
        float pitchRate, yawRate, rollRate;
        float pitch, yaw, roll; // remaining angles set
    } const cases[] = {
        {"up: pitch", {0, 0.5f, 0.8660254f}, 30, 30, 30, -30, 0, 0},
        {"right: yaw", {0.5f, 0, 0.8660254f}, 30, 30, 30, 0, 30, 0},
        // Without a yaw rate the yaw way takes 36,000 s: roll 90 and pitch.
        {"right, no yaw", {0.5f, 0, 0.8660254f}, 30, 0, 30, -30, 0, 90},
        // Up and to the right: roll 45 then pitch, or roll -45 then yaw.
        {"up-right, slow yaw", {0.5f, 0.5f, 0.7071068f}, 30, 10, 30, -45, 0, 45},
        {"up-right, slow pitch", {0.5f, 0.5f, 0.7071068f}, 10, 30, 30, 0, 45, -45},
        {"down-left: pitch", {-0.1f, -0.6f, 0.7937254f}, 30, 30, 30, 37.46f, 0, 9.46f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        SceneItem* ship = MakeTurner(c.pitchRate, c.yawRate, c.rollRate);
        TurnTowardDirection(ship, c.direction, nullptr);
        EXPECT_NEAR(ship->pitchRemaining, c.pitch, 0.05);
        EXPECT_NEAR(ship->yawRemaining, c.yaw, 0.05);
        EXPECT_NEAR(ship->rollRemaining, c.roll, 0.05);
    }
}

namespace {
Vector3 gGoal;
// The AI's part in these runs: a fresh turn each frame toward a world
// direction.
void TurnToGoal(SceneItem* item)
{
    item->sim->flags &= ~kSimTurnOncePerFrame;
    Vector3 local;
    VecMulMat3T(local, gGoal, item->sim->matrix);
    TurnTowardDirection(item, local, nullptr);
}
} // namespace

TEST_F(WorldTest, AShipTurnedEachFrameBringsItsNoseOntoTheDirection)
{
    const Vector3 goals[] = {{1, 0, 0}, {0, 1, 0.2f}, {-0.3f, -0.8f, 0.5f}, {0.05f, 0, -1}, {0, 0, 1}};
    for (const Vector3& goal : goals) {
        SCOPED_TRACE(testing::Message() << goal.x << " " << goal.y << " " << goal.z);
        ResetSimulation();
        gGoal = goal;
        SceneItem* ship = MakeFlyer(100, 60, 100, TurnToGoal);
        const float estimate = EstimateTurnTime(ship, goal);
        // The aim dead zone (|sine| below 0.07) ends the fine correction
        // within about 4 degrees.
        const float done = 4.1f;
        int frames = 0;
        while (AngleBetween(Nose(ship), goal) > done && frames < 2000) {
            RunFrame(5);
            ++frames;
        }
        EXPECT_LT(frames, 2000);
        // Turning ramps up and winds down, so it takes longer than the
        // estimate at full rate, but not without bound.
        EXPECT_GE(frames * 0.05f + 0.05f, estimate);
        EXPECT_LT(frames * 0.05f, estimate * 4 + 3);
        for (int f = 0; f < 100; ++f)
            RunFrame(5);
        EXPECT_LT(AngleBetween(Nose(ship), goal), done);
        EXPECT_TRUE(std::isfinite(ship->sim->matrix.m[0]));
    }
}

TEST_F(WorldTest, SteerToDirectionYawsFirstAndScalesTheRest)
{
    struct Case {
        float yaw, roll, pitch; // the target orientation, applied in this order
        float yawDemand, rollDemand, pitchDemand, alignment;
    } const cases[] = {
        {0, 0, 0, 100, 100, 100, 1},
        {30, 0, 0, 100, 66.667f, 66.667f, 0.6667f},
        {0, -45, 0, 100, -100, 50, 0.5f},
        {0, 0, 18, 100, 100, 100, 0.8f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.yaw << " " << c.roll << " " << c.pitch);
        ResetSimulation();
        SceneItem* ship = MakeFlyer();
        Matrix4 target;
        MatIdentity(target);
        MatRotZ(c.roll, target);
        MatRotX(c.pitch, target);
        MatRotY(c.yaw, target);
        EXPECT_NEAR(SteerToDirection(ship, target), c.alignment, 1e-3);
        EXPECT_NEAR(ship->yawRemaining, c.yaw, 1e-2);
        EXPECT_NEAR(ship->rollRemaining, c.roll, 1e-2);
        EXPECT_NEAR(ship->pitchRemaining, c.pitch, 1e-2);
        EXPECT_NEAR(ship->yawDemand, c.yawDemand, 1e-2);
        EXPECT_NEAR(ship->rollDemand, c.rollDemand, 1e-2);
        EXPECT_NEAR(ship->pitchDemand, c.pitchDemand, 1e-2);
    }
}

namespace {
Matrix4 gGoalFrame;
// The target orientation's rows in the ship's own axes.
Matrix4 GoalInShipAxes(const SceneItem* item)
{
    Matrix4 local;
    MatIdentity(local);
    for (int row = 0; row < 3; ++row) {
        const float* g = &gGoalFrame.m[row * 4];
        Vector3 v;
        VecMulMat3T(v, Vector3{g[0], g[1], g[2]}, item->sim->matrix);
        local.m[row * 4] = v.x;
        local.m[row * 4 + 1] = v.y;
        local.m[row * 4 + 2] = v.z;
    }
    return local;
}
void SteerToGoalFrame(SceneItem* item) { SteerToDirection(item, GoalInShipAxes(item)); }
void MatchGoalFrame(SceneItem* item) { SteerToMatchFrame(item, GoalInShipAxes(item)); }
} // namespace

TEST_F(WorldTest, FlownEachFrameTheShipTakesTheOrientationAsked)
{
    struct Case {
        ItemFunction control;
        float yaw, pitch, roll;
        bool upMatters;
    } const cases[] = {
        {SteerToGoalFrame, 60, 0, 0, true},
        {SteerToGoalFrame, -30, 20, 40, true},
        {SteerToGoalFrame, 0, -50, -70, true},
        {MatchGoalFrame, 50, 30, 0, false},
        {MatchGoalFrame, -70, -20, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.yaw << " " << c.pitch << " " << c.roll);
        ResetSimulation();
        MatIdentity(gGoalFrame);
        MatRotZ(c.roll, gGoalFrame);
        MatRotX(c.pitch, gGoalFrame);
        MatRotY(c.yaw, gGoalFrame);
        SceneItem* ship = MakeFlyer(100, 60, 100, c.control);
        for (int f = 0; f < 600; ++f)
            RunFrame(5);
        const Vector3 nose{gGoalFrame.m[8], gGoalFrame.m[9], gGoalFrame.m[10]};
        EXPECT_LT(AngleBetween(Nose(ship), nose), 6.0f); // within the dead zones
        if (c.upMatters) {
            const float* m = ship->sim->matrix.m;
            const float* g = gGoalFrame.m;
            EXPECT_LT(AngleBetween(Vector3{m[4], m[5], m[6]}, Vector3{g[4], g[5], g[6]}), 6.0f);
        }
    }
}

TEST_F(WorldTest, TurnTowardVectorRollsFirstThenYaws)
{
    SceneItem* ship = MakeFlyer();
    // Up and to the right: 45 degrees of roll first, no yaw yet.
    EXPECT_EQ(TurnTowardVector(ship, 0.5f, 0.5f, 0.7071f, nullptr), 0.0f);
    EXPECT_NEAR(ship->rollRemaining, -45, 0.05);
    EXPECT_EQ(ship->yawDemand, 0.0f);
    // Nearly in the yaw plane: it yaws as well.
    const float alignment = TurnTowardVector(ship, 0.5f, 0.05f, 0.866f, nullptr);
    EXPECT_GT(alignment, 0.0f);
    EXPECT_NEAR(ship->yawRemaining, 30, 0.3);
    // Straight ahead: fully aligned.
    ClearControlDemands(ship);
    EXPECT_NEAR(TurnTowardVector(ship, Vector3{0, 0, 1}, nullptr), 1.0f, 1e-6);
}

TEST_F(WorldTest, SteerToMatchFrameYawsThenPitchesOntoTheForwardAxis)
{
    SceneItem* ship = MakeFlyer();
    // 30 degrees right and 30 up of ahead.
    const float alignment = SteerToMatchFrame(ship, 0.5f, 0.5f, 0.7071f, nullptr);
    const float yaw = std::asin(0.5f / std::sqrt(1.0f)) * kDeg;
    EXPECT_NEAR(ship->yawRemaining, yaw, 1e-3);
    EXPECT_NEAR(ship->pitchRemaining, -yaw, 1e-3);
    const float yawFactor = (1 - yaw / 90) * (1 - yaw / 90);
    EXPECT_NEAR(alignment, (1 - yaw / 90) * (1 - yaw / 90) * yawFactor, 1e-5);
    // A frame given as a matrix matches its Z row.
    ClearControlDemands(ship);
    Matrix4 frame;
    MatIdentity(frame);
    MatRotY(-20, frame);
    SteerToMatchFrame(ship, frame);
    EXPECT_NEAR(ship->yawRemaining, -20, 1e-3);
    EXPECT_NEAR(ship->pitchRemaining, 0, 1e-3);
    // A zero direction asks for no turn at all.
    ClearControlDemands(ship);
    EXPECT_EQ(SteerToMatchFrame(ship, 0, 0, 0, nullptr), 0.0f);
    EXPECT_EQ(ship->yawDemand, 0.0f);
    EXPECT_EQ(ship->pitchDemand, 0.0f);
}

TEST_F(WorldTest, EstimateTurnTimeTakesTheQuickerWay)
{
    struct Case {
        Vector3 point;
        float pitchRate, yawRate, rollRate, seconds;
    } const cases[] = {
        {{0.5f, 0, 0.8660254f}, 30, 30, 30, 1},   // yaw 30 at 30
        {{0, 0.5f, 0.8660254f}, 30, 10, 30, 1},   // pitch 30 at 30
        {{0.5f, 0, 0.8660254f}, 30, 0, 60, 2.5f}, // yaw rate taken as 1 (30 s): roll 90 at 60 + pitch 30 at 30
        {{0, 0, 1}, 30, 30, 30, 0},
        {{0.5f, 0.5f, 0.7071068f}, 45, 45, 90, 1.5f}, // roll 45 at 90 + 45 at 45
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        ResetSimulation();
        SceneItem* ship = MakeTurner(c.pitchRate, c.yawRate, c.rollRate);
        EXPECT_NEAR(EstimateTurnTime(ship, c.point), c.seconds, 2e-3);
    }
}

TEST_F(WorldTest, RotateDirectionTurnsAndNormalises)
{
    Matrix4 m;
    MatIdentity(m);
    MatRotY(90, m);
    Vector3 out;
    RotateDirection(out, m, Vector3{0, 0, 5});
    EXPECT_NEAR(out.x, 1, 1e-6);
    EXPECT_NEAR(out.z, 0, 1e-6);
    RotateDirection(out, Vector3{0, 3, 0}, m);
    EXPECT_NEAR(out.y, 1, 1e-6);
    RotateDirection(out, m, Vector3{0, 0, 0}); // zero stays zero, no NaN
    EXPECT_EQ(out.x, 0.0f);
}

TEST_F(WorldTest, SteerWithThrustCutsTheDemandAndTurnsItIntoShipAxes)
{
    SceneItem* ship = MakeFlyer(100);
    MatRotY(90, ship->sim->matrix); // nose along world x
    EXPECT_EQ(SteerWithThrust(ship, Vector3{300, 400, 0}, nullptr, Vector3{1, 0, 0}), 1.0f);
    EXPECT_NEAR(ship->sim->thrust.z, 60, 1e-4); // world x is the nose
    EXPECT_NEAR(ship->sim->thrust.y, 80, 1e-4);
    EXPECT_NEAR(VecLength(ship->sim->thrust), 100, 1e-3);
    EXPECT_TRUE(ship->sim->flags & kSimTurnOncePerFrame);
    EXPECT_NEAR(ship->yawRemaining, 0, 1e-4); // already facing
    // Without acceleration there is no thrust at all.
    ship->sim->flightModel->acceleration = 0;
    SteerWithThrust(ship, Vector3{300, 400, 0}, nullptr, Vector3{});
    EXPECT_EQ(VecLength(ship->sim->thrust), 0.0f);
}

TEST_F(WorldTest, SteerToVelocityAnswersHowCloseTheVelocityIs)
{
    struct Case {
        Vector3 wanted, current;
        float closeness;
    } const cases[] = {{{0, 0, 500}, {0, 0, 0}, 0.75f}, {{0, 0, 0}, {0, 0, 0}, 1}, {{3000, 0, 0}, {0, 0, 0}, 0}, {{0, 0, 1000}, {0, 0, 2000}, 0.5f}, {{0, 0, 0}, {0, 2000, 0}, 0}};
    for (const Case& c : cases) {
        ResetSimulation();
        SceneItem* ship = MakeFlyer();
        ship->sim->velocity = c.current;
        EXPECT_NEAR(SteerToVelocity(ship, c.wanted, nullptr), c.closeness, 1e-6);
        EXPECT_TRUE(std::isfinite(ship->sim->thrust.z));
    }
}

TEST_F(WorldTest, StopInPlaceBrakesWithinTheLimits)
{
    gFrameClock.frameSeconds = 0.05f;
    struct Case {
        Vector3 velocity, thrust;
    } const cases[] = {
        {{10, -1000, 50}, {-75, 75, -100}},
        {{1, 0, 2}, {-20, 0, -40}},
        {{0, 0, 0}, {0, 0, 0}},
    };
    SceneItem* ship = MakeFlyer(100);
    for (const Case& c : cases) {
        ship->sim->velocity = c.velocity;
        StopInPlace(ship);
        EXPECT_NEAR(ship->sim->thrust.x, c.thrust.x, 1e-3);
        EXPECT_NEAR(ship->sim->thrust.y, c.thrust.y, 1e-3);
        EXPECT_NEAR(ship->sim->thrust.z, c.thrust.z, 1e-3);
    }
    // Coupled to a carrier, it brakes to the carrier's velocity.
    SceneItem* carrier = MakeFlyer();
    carrier->sim->velocity = {0, 0, 1};
    CouplingPartner partner{};
    partner.item = carrier;
    CouplingLink link{2, nullptr, &partner};
    ship->sim->shipInfo->couplings = &link;
    ship->sim->velocity = {0, 0, 2};
    StopInPlace(ship);
    EXPECT_NEAR(ship->sim->thrust.z, -20, 1e-3);
    ship->sim->shipInfo->couplings = nullptr;
    // A frame of no ticks asks for nothing.
    gFrameClock.frameSeconds = 0;
    StopInPlace(ship);
    EXPECT_EQ(ship->sim->thrust.z, 0.0f);
}

TEST_F(WorldTest, ZeroSmallMotionSettlesWhatIsNearlyAtRest)
{
    struct Case {
        Vector3 velocity, thrust;
        float rest;
        bool velocityZeroed, thrustZeroed;
    } const cases[] = {
        {{999, 0, 0}, {0, 299, 0}, 1, true, true},
        {{1000, 0, 0}, {0, 299, 0}, 0.5f, false, true},
        {{0, 0, 0}, {300, 0, 0}, 0.5f, true, false},
        {{700, 800, 0}, {300, 0, 1}, 0, false, false},
    };
    SceneItem* ship = MakeFlyer();
    for (const Case& c : cases) {
        ship->sim->velocity = c.velocity;
        ship->sim->thrust = c.thrust;
        EXPECT_EQ(ZeroSmallMotion(ship), c.rest);
        EXPECT_EQ(ship->sim->velocity.x == 0, c.velocityZeroed || c.velocity.x == 0);
        EXPECT_EQ(VecLength(ship->sim->thrust) == 0, c.thrustZeroed);
    }
    // Relative to a target: within 1000 of its velocity takes its velocity.
    SceneItem* target = MakeFlyer();
    target->sim->velocity = {5000, 0, 0};
    ship->sim->target = target;
    ship->sim->velocity = {5500, 0, 0};
    ship->sim->thrust = {};
    EXPECT_EQ(ZeroSmallRelativeMotion(ship), 1.0f);
    EXPECT_EQ(ship->sim->velocity.x, 5000.0f);
    ship->sim->velocity = {3000, 0, 0};
    EXPECT_EQ(ZeroSmallRelativeMotion(ship, target), 0.5f);
    EXPECT_EQ(ship->sim->velocity.x, 3000.0f);
}

TEST(SteeringPrediction, RelativePositionAfterATime)
{
    Vector3 out;
    PredictRelativePosition(out, {1, 2, 3}, {10, 0, 0}, {100, 0, 0}, {0, 5, 0}, 2);
    EXPECT_EQ(out.x, 100 - 21.0f);
    EXPECT_EQ(out.y, 10 - 2.0f);
    EXPECT_EQ(out.z, -3.0f);
}

TEST_F(WorldTest, SpeedProfiles)
{
    SceneItem* ship = MakeFlyer(100, 30, 20); // top speed 2000
    FlightModel* m = ship->sim->flightModel;
    ship->avatar->params[5] = 1000; // stand-off
    struct Case {
        SpeedProfile profile;
        float distance, speed;
        // clang-format off
    } const cases[] = {
        {ApproachSpeed, 5000, 632.456f},         {ApproachSpeed, 1e6f, 2000},
        {ApproachSpeed, -50, 0},                 {ApproachSpeedProfile, 5000, 632.456f},
        {ApproachSpeedMin500, 1, 500},           {ApproachSpeedMin500, 5000, 632.456f},
        {SignedApproachSpeed, 6000, 632.456f},   {SignedApproachSpeed, 0, -282.843f},
        {SignedApproachSpeed, 1000, 0},          {SignedApproachSpeed, -1e6f, -2000},
        {ApproachSpeedWithStandoff, 6000, 632.456f}, {ApproachSpeedWithStandoff, 500, -2000},
        {ApproachSpeedWithStandoff, 700, 0},     {ApproachSpeedWithStandoff, 1000, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.distance);
        EXPECT_NEAR(c.profile(ship, m, c.distance), c.speed, 1e-2);
    }
}

namespace {
SceneItem* gGoalItem;
// An approach: fly at the signed approach speed toward the goal item,
// stopping at the stand-off.
void ApproachGoal(SceneItem* item)
{
    item->sim->flags &= ~kSimTurnOncePerFrame;
    const WorldPosition& a = item->sim->position;
    const WorldPosition& b = gGoalItem->sim->position;
    Vector3 d{static_cast<float>(b.x - a.x), static_cast<float>(b.y - a.y), static_cast<float>(b.z - a.z)};
    const float distance = VecNormalise(d);
    const float speed = SignedApproachSpeed(item, item->sim->flightModel, distance);
    SteerToVelocity(item, Vector3{d.x * speed, d.y * speed, d.z * speed}, nullptr);
}
} // namespace

TEST_F(WorldTest, AnApproachStopsAtTheStandOff)
{
    struct Case {
        float acceleration, standOff;
        WorldPosition start;
    } const cases[] = {
        {100, 1000, {0, 0, -20000}}, {400, 5000, {30000, 20000, 0}}, {50, 200, {0, -8000, 3000}}, {200, 3000, {0, 0, 500}}, // inside: backs off
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.standOff);
        ResetSimulation();
        gGoalItem = MakeItem();
        SceneItem* ship = MakeFlyer(c.acceleration, 90, 1000, ApproachGoal);
        ship->avatar->params[5] = static_cast<int32_t>(c.standOff);
        ship->sim->position = c.start;
        for (int f = 0; f < 4000; ++f)
            RunFrame(5);
        const WorldPosition& p = ship->sim->position;
        const double distance = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        EXPECT_NEAR(distance, c.standOff, 0.01 * c.standOff);
        EXPECT_LT(ship->sim->speed, 0.05f * std::sqrt(0.8f * c.acceleration * c.standOff));
    }
}

TEST_F(WorldTest, AvoidCollisionThrustsAwayByCloseness)
{
    // Head-on at 1000 a second toward an obstacle 300 ahead, radii 100 in
    // all: k = 1, f = 300 / (4 x 100) = 0.75, s = 0.5, push (1 - s) 2a = a.
    struct Case {
        const char* what;
        float distance, mass, obstacleMass;
        bool escort, stance;
        float thrustZ;
    } const cases[] = {
        {"near", 300, 10, 10, false, false, -100},
        {"touching", 150, 10, 10, false, false, -100},
        {"far", 500, 10, 10, false, false, 7},
        {"heavy", 300, 31, 10, false, false, 7},
        {"escort", 300, 10, 10, true, false, 7},
        {"its target in a close stance", 300, 10, 10, false, true, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        SceneItem* ship = MakeFlyer(100);
        SceneItem* rock = MakeItem();
        ship->sim->radius = 50;
        rock->sim->radius = 50;
        ship->sim->mass = c.mass;
        rock->sim->mass = c.obstacleMass;
        rock->sim->position.z = c.distance;
        ship->sim->velocity = {0, 0, 1000};
        ship->sim->thrust = {0, 0, 7};
        ship->avatar->obstacle = rock;
        if (c.escort)
            ship->avatar->escort = rock;
        if (c.stance) {
            ship->sim->flags |= 0x400;
            ship->sim->target = rock;
        }
        AvoidCollision(ship);
        EXPECT_NEAR(ship->sim->thrust.z, c.thrustZ, 1e-3);
        EXPECT_NEAR(ship->sim->thrust.x, 0, 1e-3);
    }
}

TEST_F(WorldTest, AvoidCollisionSidestepsAndKeepsSomeOfThePreviousThrust)
{
    // Passing sideways: r' = +x, n = +z, k = 0, so f = D / (2 x 100).
    SceneItem* ship = MakeFlyer(100);
    SceneItem* rock = MakeItem();
    ship->sim->radius = rock->sim->radius = 50;
    ship->sim->mass = rock->sim->mass = 1;
    ship->sim->velocity = {1000, 0, 0};
    ship->avatar->obstacle = rock;
    rock->sim->position.z = 250; // f = 1.25: left alone
    ship->sim->thrust = {0, 0, 7};
    AvoidCollision(ship);
    EXPECT_EQ(ship->sim->thrust.z, 7.0f);
    // f = 0.75: s = 0.5, m = 2a (1 - s) = a along u = r' - n = (1, 0, -1) / sqrt 2.
    rock->sim->position.z = 150;
    AvoidCollision(ship);
    EXPECT_NEAR(ship->sim->thrust.x, 70.71f, 1e-2);
    EXPECT_NEAR(ship->sim->thrust.z, -70.71f, 1e-2);
    // f = 0.9: s = 0.8, m = 40, and up to 60 more of the previous demand.
    ship->sim->thrust = {0, 10, 0};
    rock->sim->position.z = 180;
    AvoidCollision(ship);
    EXPECT_NEAR(ship->sim->thrust.x, 40 / std::sqrt(2.0f), 1e-2);
    EXPECT_NEAR(ship->sim->thrust.y, 10, 1e-3); // all 10 of it kept
}

TEST_F(WorldTest, AvoidCollisionInLdsPushesThePositionAside)
{
    gFrameClock.frameSeconds = 0.1f;
    SceneItem* ship = MakeFlyer();
    SceneItem* body = MakeItem();
    ship->sim->radius = 1000;
    body->sim->radius = 9000;
    ship->sim->mass = body->sim->mass = 1;
    ship->sim->flags |= kSimLdsEngaged;
    ship->avatar->obstacle = body;
    body->sim->position.x = 60000;
    // e = 10 x 10,000 - 60,000 = 40,000: moved by 0.2 e dt = 800 away.
    AvoidCollision(ship);
    EXPECT_NEAR(ship->sim->position.x, -800, 1e-3);
    // A large e is limited: 0.2 e beyond 100,000 becomes e = 500,000.
    body->sim->radius = 99000;
    body->sim->position.x = 0.5;
    ship->sim->position.x = 0;
    AvoidCollision(ship);
    EXPECT_NEAR(ship->sim->position.x, -10000, 1e-2);
}
