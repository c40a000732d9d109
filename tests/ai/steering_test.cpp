// The AI's steering helpers: their closeness answers, which way SteerToPoint
// faces, the braking curve, the thrust limits, aligning with a frame, the
// pointing hysteresis, and a ship that flies to a point under the physics
// and stops there.
#include <cmath>

#include "ai/steering.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/physics.h"
#include "world/records.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::RunFrame;
using worldtest::WorldTest;

namespace {

// A ship at the origin, nose along +z, at rest: acceleration 100, second
// thrust 10, turn rates 30.
SceneItem* Ship()
{
    SceneItem* ship = MakeItem();
    MakeShip(ship);
    ship->avatar->matrix = ship->sim->matrix;
    return ship;
}

// A new frame for the turning routines. The remaining angles tell which
// way a routine turned the ship.
void NextFrame(SceneItem* ship)
{
    ship->sim->flags &= ~kSimTurnOncePerFrame;
    ClearControlDemands(ship);
}

class AISteering : public WorldTest {};

} // namespace

TEST_F(AISteering, MoveToPointAnswersTwoAtThePointOneAtTheToleranceNoneFromTwiceIt)
{
    SceneItem* ship = Ship();
    const float cases[][2] = {{0, 2.0f}, {500, 1.5f}, {1000, 1.0f}, {2000, 0.0f}, {3000, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        NextFrame(ship);
        EXPECT_FLOAT_EQ(MoveToPoint(ship, 0, 0, c[0], nullptr, 1000), c[1]);
    }
    // No tolerance: at the point or not at all, never a division by 0.
    NextFrame(ship);
    EXPECT_EQ(MoveToPoint(ship, 0, 0, 0, nullptr, 0), 2.0f);
    NextFrame(ship);
    EXPECT_EQ(MoveToPoint(ship, 0, 0, 10, nullptr, 0), 0.0f);
}

TEST_F(AISteering, MatchVelocityAnswersByTheGapUpTo3000)
{
    SceneItem* ship = Ship();
    FlightModel* m = ship->sim->flightModel;
    const float cases[][2] = {{0, 1.0f}, {1500, 0.5f}, {3000, 0.0f}, {4000, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        NextFrame(ship);
        EXPECT_FLOAT_EQ(MatchVelocity(ship, c[0], 0, 0, m, 0, 0, 1), c[1]);
    }
    // In its own frame it faces along its nose: no turn.
    NextFrame(ship);
    EXPECT_FLOAT_EQ(MatchVelocityInFrame(ship, 0, 0, 300, m), 0.9f);
    EXPECT_EQ(ship->yawRemaining, 0.0f);
    EXPECT_EQ(ship->pitchRemaining, 0.0f);
    EXPECT_EQ(ship->sim->thrust.z, 100.0f);
    // With a facing off to the side it turns.
    NextFrame(ship);
    MatchVelocity(ship, 0, 0, 300, m, 1, 0, 0);
    EXPECT_NE(ship->yawRemaining, 0.0f);
}

TEST_F(AISteering, SteerToPointFacesTheGivenWayThePointOrTheReferenceVelocity)
{
    SceneItem* ship = Ship();
    const Vector3 still{0, 0, 0};
    const Vector3 up{0, 4, 0};
    const Vector3 zero{0, 0, 0};
    struct Case {
        const char* what;
        float x;
        const Vector3* reference;
        const Vector3* facing;
        bool yaws, pitches;
    };
    const Case cases[] = {
        {"no reference: toward the point", 100000, nullptr, nullptr, true, false},
        {"a zero reference: the own nose", 100000, &still, nullptr, false, false},
        {"a zero facing: the own nose", 100000, nullptr, &zero, false, false},
        {"near: along the reference", 299000, &up, nullptr, false, true},
        {"from 300,000: toward the point", 301000, &up, nullptr, true, false},
        {"the given facing wins", 301000, &up, &up, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NextFrame(ship);
        const float close = SteerToPoint(ship, c.x, 0, 0, c.reference, c.facing, nullptr);
        EXPECT_EQ(ship->yawRemaining != 0.0f, c.yaws);
        EXPECT_EQ(ship->pitchRemaining != 0.0f, c.pitches);
        EXPECT_FLOAT_EQ(close, c.x < 100000 ? 1 - c.x / 100000 : 0.0f);
    }
    NextFrame(ship);
    EXPECT_NEAR(SteerToPoint(ship, 0, 0, 25000, nullptr, nullptr, nullptr), 0.75f, 1e-4f);
}

TEST_F(AISteering, ApproachPointBrakingClosesAtTheSpeedTheSecondThrustCanStop)
{
    SceneItem* ship = Ship();
    ship->sim->flightModel->acceleration = 1e6f; // the forward thrust shows the wanted speed
    const float d = 20000;
    EXPECT_FLOAT_EQ(ApproachPointBraking(ship, 0, 0, d, 0, 0, 1, nullptr, 10000), 0.0f);
    EXPECT_NEAR(ship->sim->thrust.z, std::sqrt(2 * 10 * d), 1e-2f);
    // Moving with a reference velocity.
    NextFrame(ship);
    const Vector3 drift{0, 0, 100};
    EXPECT_FLOAT_EQ(ApproachPointBraking(ship, 0, 0, d, 0, 0, 1, &drift, 15000), 2 - d / 15000);
    EXPECT_NEAR(ship->sim->thrust.z, std::sqrt(2 * 10 * d) + 100, 1e-2f);
}

TEST_F(AISteering, ThrustTowardVelocityUsesTheSecondThrustThenTheMainEngineWithinItsLimits)
{
    SceneItem* ship = Ship();
    FlightModel* m = ship->sim->flightModel; // a = 100, second thrust 10
    struct Case {
        Vector3 difference;
        Vector3 thrust;
    };
    const Case cases[] = {
        {{3, 0, 4}, {3, 0, 4}},       // within the second thrust
        {{0, 0, 5000}, {0, 0, 100}},  // forward: up to a
        {{0, 0, -5000}, {0, 0, -50}}, // backward: up to a / 2
        {{0, 60, 80}, {0, 6, 80}},    // sideways cut, forward from the whole
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.difference.z);
        NextFrame(ship);
        EXPECT_EQ(ThrustTowardVelocity(ship, c.difference.x, c.difference.y, c.difference.z, m, 0, 0, 1), 1.0f);
        EXPECT_NEAR(ship->sim->thrust.x, c.thrust.x, 1e-4f);
        EXPECT_NEAR(ship->sim->thrust.y, c.thrust.y, 1e-4f);
        EXPECT_NEAR(ship->sim->thrust.z, c.thrust.z, 1e-4f);
    }
}

TEST_F(AISteering, AlignWithFrameRollsOnlyOnceTheNoseIsOnTheFramesAxis)
{
    SceneItem* ship = Ship();
    Matrix4 side;
    MatIdentity(side);
    MatSetRotY(90, side);
    EXPECT_EQ(AlignWithFrame(ship, side, ship->sim->flightModel), 0.0f);

    Matrix4 rolled;
    MatIdentity(rolled);
    MatSetRotZ(30, rolled);
    NextFrame(ship);
    ship->pitchDemand = 40;
    ship->yawDemand = 40;
    const float roll = AlignWithFrame(ship, rolled, ship->sim->flightModel);
    EXPECT_NEAR(roll, std::pow(1 - 30.0f / 90, 3), 1e-3f);
    EXPECT_NE(ship->rollDemand, 0.0f);
    EXPECT_EQ(ship->pitchDemand, 0.0f);
    EXPECT_EQ(ship->yawDemand, 0.0f);

    Matrix4 same;
    MatIdentity(same);
    NextFrame(ship);
    EXPECT_FLOAT_EQ(AlignWithFrame(ship, same, ship->sim->flightModel), 1.0f);
}

TEST_F(AISteering, SeekPointingHoldsItsModeWithHysteresis)
{
    SceneItem* ship = Ship();
    FlightModel* m = ship->sim->flightModel; // second thrust 10: slow up to 12
    const Vector3 slow{0, 0, 12};
    const Vector3 fast{0, 0, 500};
    const int rising[] = {1, 2, 3, 4, 5, 12, 12};
    for (int expected : rising) {
        NextFrame(ship);
        SeekPointing(ship, m, slow);
        EXPECT_EQ(ship->sim->shipInfo->pointingCounter, expected);
    }
    EXPECT_EQ(ship->sim->thrust.z, 12.0f); // slow: thrusts along the wanted velocity
    const int falling[] = {11, 10, 9, 8, 7, 6, 0, 0};
    for (int expected : falling) {
        NextFrame(ship);
        const float result = SeekPointing(ship, m, fast);
        EXPECT_EQ(ship->sim->shipInfo->pointingCounter, expected);
        if (expected < 6) {
            EXPECT_FLOAT_EQ(result, 100.0f / 500);        // cut to the acceleration
            EXPECT_FLOAT_EQ(ship->sim->thrust.z, 100.0f); // pointing straight: p^2 = 1
        }
    }
}

namespace {

Vector3 gGoal;
float gCloseness = 0;

void FlyToGoal(SceneItem* item)
{
    item->sim->flags &= ~kSimTurnOncePerFrame;
    gCloseness = MoveToPoint(item, gGoal.x, gGoal.y, gGoal.z, nullptr, 2000);
}

} // namespace

TEST_F(AISteering, AShipOnMoveToPointStopsWithinToleranceInBoundedTime)
{
    SceneItem* ship = MakeItem(SIM_MAIN, FlyToGoal);
    MakeShip(ship);
    for (const Vector3 goal : {Vector3{0, 0, 30000}, Vector3{20000, -10000, 5000}}) {
        SCOPED_TRACE(goal.x);
        gGoal = goal;
        int frames = 0;
        const int limit = 120 * 20; // two minutes of 5-tick frames
        for (; frames < limit; ++frames) {
            RunFrame(5);
            if (gCloseness >= 1.0f && VecLength(ship->sim->velocity) < 50.0f)
                break;
        }
        EXPECT_LT(frames, limit);
        EXPECT_GT(frames, 100); // it had to fly there
        const Vector3 at{ship->sim->matrix.m[12], ship->sim->matrix.m[13], ship->sim->matrix.m[14]};
        EXPECT_LE(VecDistance(at, goal), 2000.0f);
    }
}
