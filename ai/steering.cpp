// Steering helpers of the AI. They work on the Sim's float position (the
// matrix translation), velocity and axes and on a FlightModel, and steer
// only through the demands of world/steering.h, as the player's controls do.
#include "ai/steering.h"

#include <algorithm>
#include <cmath>

#include "system/errors.h"
#include "world/physics.h"
#include "world/records.h"

float gSteerPointDistance = 0.0f;
uint8_t gSteerAgainstFacing = 0;

namespace {

Vector3 Add(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector3 Sub(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 Scale(const Vector3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
Vector3 Position(const Sim* sim) { return {sim->matrix.m[12], sim->matrix.m[13], sim->matrix.m[14]}; }
Vector3 Nose(const Matrix4& m) { return {m.m[8], m.m[9], m.m[10]}; }
bool IsZero(const Vector3& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

// The unit vector, or 0 for a zero vector.
Vector3 Unit(Vector3 v)
{
    const float length = VecLength(v);
    return length > 0.0f ? Scale(v, 1.0f / length) : Vector3{};
}

// A world vector in the ship's axes.
Vector3 IntoShip(const Vector3& v, const Matrix4& m)
{
    Vector3 out;
    VecMulMat3T(out, v, m);
    return out;
}

// 2 at the point, 1 at the tolerance, 0 from twice it.
float Closeness(float distance, float tolerance)
{
    if (!(tolerance > 0.0f))
        return distance > 0.0f ? 0.0f : 2.0f;
    return std::fmax(0.0f, 1.0f - (distance - tolerance) / tolerance);
}

} // namespace

float SteerToPoint(SceneItem* ship, float x, float y, float z, const Vector3* referenceVelocity, const Vector3* heading, SpeedProfile profile)
{
    Sim* sim = ship->sim;
    FlightModel* model = sim->flightModel;
    if (!model)
        return 0.0f;
    const Vector3 own = Position(sim);
    const Vector3 point{x, y, z};
    const Vector3 reference = referenceVelocity ? *referenceVelocity : Vector3{};

    Vector3 offset;
    PredictRelativePosition(offset, own, sim->velocity, point, reference, 0.25f);
    const float d = VecLength(offset);
    gSteerPointDistance = d;

    Vector3 facing = heading                                ? *heading
                     : d >= 300000.0f || !referenceVelocity ? offset
                                                            : *referenceVelocity;
    if (IsZero(facing))
        facing = Nose(sim->matrix);

    const SpeedProfile closing = profile ? profile : ApproachSpeed;
    const float s1 = closing(ship, model, d);
    CheckFloatSanity(s1);

    // Lead the point by the time the turn toward it takes.
    const float lead = EstimateTurnTime(ship, Add(own, Scale(Unit(offset), s1))) + 0.25f;
    Vector3 offset2;
    PredictRelativePosition(offset2, own, sim->velocity, point, reference, lead);
    const float d2 = VecLength(offset2);
    const float s2 = profile ? profile(ship, model, d2) : model->topSpeed;

    const Vector3 change = Sub(Add(Scale(Unit(offset2), s2), reference), sim->velocity);
    gSteerAgainstFacing = VecDot(change, facing) < 0.0f;
    SteerWithThrust(ship, change, model, facing);
    return 1.0f - std::fmin(1.0f, d / 100000.0f);
}

float MoveToPoint(SceneItem* ship, float x, float y, float z, const Vector3* referenceVelocity, float tolerance)
{
    SteerToPoint(ship, x, y, z, referenceVelocity, nullptr, ApproachSpeedProfile);
    return Closeness(VecDistance(Position(ship->sim), {x, y, z}), tolerance);
}

float ApproachPointBraking(SceneItem* ship, float x, float y, float z, float facingX, float facingY, float facingZ, const Vector3* referenceVelocity, float tolerance)
{
    Sim* sim = ship->sim;
    FlightModel* model = sim->flightModel;
    const Vector3 offset = Sub({x, y, z}, Position(sim));
    const float d = VecLength(offset);
    const float closeness = Closeness(d, tolerance);
    if (!model)
        return closeness;
    // The speed from which the second thrust brings the ship to rest at the point.
    const float speed = std::sqrt(std::fmax(0.0f, 2.0f * model->secondThrust * d));
    Vector3 wanted = Scale(Unit(offset), speed);
    if (referenceVelocity)
        wanted = Add(wanted, *referenceVelocity);
    MatchVelocity(ship, wanted.x, wanted.y, wanted.z, model, facingX, facingY, facingZ);
    return closeness;
}

float MatchVelocity(SceneItem* ship, float vx, float vy, float vz, FlightModel* model, float facingX, float facingY, float facingZ)
{
    const Vector3 difference = Sub({vx, vy, vz}, ship->sim->velocity);
    ThrustTowardVelocity(ship, difference.x, difference.y, difference.z, model, facingX, facingY, facingZ);
    return std::fmax(0.0f, 1.0f - VecLength(difference) / 3000.0f);
}

float MatchVelocityInFrame(SceneItem* ship, float vx, float vy, float vz, FlightModel* model)
{
    const Vector3 nose = Nose(ship->sim->matrix);
    return MatchVelocity(ship, vx, vy, vz, model, nose.x, nose.y, nose.z);
}

float ThrustTowardVelocity(SceneItem* ship, float dx, float dy, float dz, FlightModel* model, float facingX, float facingY, float facingZ)
{
    Sim* sim = ship->sim;
    if (!model)
        return 1.0f;
    const Vector3 difference{dx, dy, dz};
    const float length = VecLength(difference);
    const float cut = std::fmin(length, model->secondThrust);
    const Vector3 u = Unit(IntoShip(difference, sim->matrix));
    Vector3 facing = Unit(IntoShip({facingX, facingY, facingZ}, sim->matrix));
    if (IsZero(facing))
        facing = {0.0f, 0.0f, 1.0f};
    TurnTowardDirection(ship, facing, model);
    sim->thrust = Scale(u, cut);
    if (length > cut) {
        // The main engine covers what the thrusters cannot, braking at half
        // its strength.
        const float a = model->acceleration;
        sim->thrust.z = std::clamp(u.z * length, -0.5f * a, a);
    }
    return 1.0f;
}

float AlignWithFrame(SceneItem* ship, const Matrix4& frame, const FlightModel* limits)
{
    // The frame's axes in the ship's axes (the frame times the inverse of
    // the ship's rotation).
    const Matrix4& own = ship->avatar->matrix;
    Vector3 axes[3];
    for (int row = 0; row < 3; ++row)
        axes[row] = IntoShip({frame.m[row * 4], frame.m[row * 4 + 1], frame.m[row * 4 + 2]}, own);
    const float pointing = TurnTowardVector(ship, axes[2], limits);
    if (pointing < 0.98f)
        return 0.0f;
    const float roll = SteerRoll(ship, -AimAngle(axes[1].x, axes[1].y), limits);
    ship->pitchDemand = 0.0f;
    ship->yawDemand = 0.0f;
    return roll;
}

float SeekPointing(SceneItem* ship, FlightModel* model, const Vector3& wanted)
{
    Sim* sim = ship->sim;
    if (!model)
        return 1.0f;
    const float v = VecLength(wanted);
    int32_t scratch = 0;
    int32_t& counter = sim->shipInfo ? sim->shipInfo->pointingCounter : scratch;
    if (v <= 1.2f * model->secondThrust)
        counter = counter < 5 ? counter + 1 : 12;
    else
        counter = counter >= 7 ? counter - 1 : 0;

    const Vector3 local = IntoShip(wanted, sim->matrix);
    if (counter >= 6) {
        // Slow enough for the thrusters alone: hold the heading.
        sim->thrust = local;
        return 1.0f;
    }
    float result = 1.0f;
    float speed = v;
    if (v > model->acceleration) {
        speed = model->acceleration;
        result = model->acceleration / v;
    }
    const float p = TurnTowardDirection(ship, Unit(local), model);
    const float p2 = p * p;
    if (p2 > 1.0f)
        FatalError("SeekPointing error");
    sim->thrust = {0.0f, 0.0f, p2 * speed};
    return result;
}
