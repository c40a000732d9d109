// Steering and approach routines: angle extraction, per-axis steering,
// turning toward directions and frames, thrusting toward velocities,
// braking, speed profiles and collision avoidance. The AI's own steering
// (SteerToPoint and the like) lives in ai/steering.cpp and calls these.
#include "world/steering.h"

#include <cmath>

#include "ai/docking.h"
#include "system/frameclock.h"
#include "world/physics.h"
#include "world/records.h"

namespace {

constexpr float kDegreesPerRadian = 57.29578f;
// The time a turn about an axis without a rate is taken to need.
constexpr float kNoRateTurnTime = 36000.0f;

// Sim flags of the AI that collision avoidance reads and sets.
constexpr uint32_t kSimCloseStance = 0x400;
constexpr uint32_t kSimWideStance = 0x1000;
constexpr uint32_t kSimAvoidingSecondTarget = 0x40000000;
// The SceneItem flag under which avoidance watches the second target.
constexpr int16_t kItemWatchesSecondTarget = 0x200;

bool TurningDone(const SceneItem* item) { return (item->sim->flags & kSimTurnOncePerFrame) != 0; }

const FlightModel* ModelFor(const SceneItem* item, const FlightModel* model)
{
    return model ? model : item->sim->flightModel;
}

float Clamp1(float s) { return s > 1.0f ? 1.0f : s < -1.0f ? -1.0f
                                                           : s; }

// Normalises the pair (s, c) in its plane; a zero pair stays zero.
void NormalisePair(float& s, float& c)
{
    const float length = std::sqrt(s * s + c * c);
    if (length > 0.0f) {
        s /= length;
        c /= length;
    }
}

Vector3 Normalised(Vector3 v)
{
    VecNormalise(v);
    return v;
}

Vector3 Sub(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector3 Scale(const Vector3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }
Vector3 Forward(const Matrix4& m) { return {m.m[8], m.m[9], m.m[10]}; }
Vector3 Translation(const Matrix4& m) { return {m.m[12], m.m[13], m.m[14]}; }

float Sign100(float angle) { return angle >= 0.0f ? 100.0f : -100.0f; }

// The angles of the two ways to turn the nose onto a direction: roll it
// into the pitch plane (y-z) and pitch, or roll it into the yaw plane
// (x-z) and yaw. Each roll takes the shorter way (at most 90 degrees).
struct TurnPlan {
    float pitchRoll, pitch;
    float yawRoll, yaw;
};

TurnPlan PlanTurn(const Vector3& direction)
{
    const Vector3 d = Normalised(direction);
    const float across = std::sqrt(d.x * d.x + d.y * d.y);
    float px = 0.0f, py = 0.0f;
    if (across > 0.0f) {
        px = d.x / across;
        py = d.y / across;
    }
    TurnPlan plan;
    plan.pitchRoll = SmallAimAngle(py >= 0.0f ? px : -px, py);
    plan.pitch = AimAngle(py >= 0.0f ? across : -across, d.z);
    plan.yawRoll = -SmallAimAngle(px >= 0.0f ? py : -py, px);
    plan.yaw = -AimAngle(px >= 0.0f ? across : -across, d.z);
    return plan;
}

float TurnTime(float angle, float rate) { return rate > 0.0f ? std::fabs(angle) / rate : kNoRateTurnTime; }

// A vector in world axes, turned into the ship's axes.
Vector3 IntoShipAxes(const Vector3& v, const Matrix4& m)
{
    Vector3 out;
    VecMulMat3T(out, v, m);
    return out;
}

bool IsLive(const SceneItem* item) { return item && (item->flags & kItemInUse) && item->sim; }

// The velocity a ship's motion is judged against: its carrier's while it is
// coupled to one, else rest.
Vector3 ReferenceVelocity(const SceneItem* item)
{
    const ShipInfo* info = item->sim->shipInfo;
    if (!info)
        return {};
    for (const CouplingLink* link = info->couplings; link; link = link->next) {
        if (!(link->flags & 2))
            continue;
        const SceneItem* carrier = link->partner ? link->partner->item.Get() : nullptr;
        return IsLive(carrier) ? carrier->sim->velocity : Vector3{};
    }
    return {};
}

float ZeroSmallMotionAgainst(SceneItem* item, const Vector3& reference)
{
    Sim* sim = item->sim;
    float rest = 0.0f;
    if (VecLength(Sub(sim->velocity, reference)) < 1000.0f) {
        sim->velocity = reference;
        rest += 0.5f;
    }
    if (VecLength(sim->thrust) < 300.0f) {
        sim->thrust = {};
        rest += 0.5f;
    }
    return rest;
}

float StandOff(const SceneItem* item) { return static_cast<float>(item->avatar->params[5]); }

float Root(float acceleration, float distance)
{
    const float square = 0.8f * acceleration * distance;
    return square > 0.0f ? std::sqrt(square) : 0.0f;
}

// Unit vector and distance from one world position to another.
Vector3 Toward(const WorldPosition& from, const WorldPosition& to, double& distance)
{
    const double dx = to.x - from.x, dy = to.y - from.y, dz = to.z - from.z;
    distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (distance <= 0.0)
        return {};
    return {static_cast<float>(dx / distance), static_cast<float>(dy / distance),
            static_cast<float>(dz / distance)};
}

} // namespace

// ---- Angles ------------------------------------------------------------------

float AimAngleToAxis(float s, float c)
{
    s = Clamp1(s);
    if (c > 0.0f)
        return -std::asin(s) * kDegreesPerRadian;
    return s >= 0.0f ? -90.0f : 90.0f;
}

float AimAngle(float s, float c)
{
    if (std::fabs(s) < 0.07f && c > -0.05f)
        return 0.0f;
    return AimAngleToAxis(s, c);
}

float SmallAimAngle(float s, float c)
{
    if (std::fabs(s) >= 0.05f || std::fabs(c) >= 0.05f)
        return std::asin(Clamp1(s)) * kDegreesPerRadian;
    return 0.0f;
}

// ---- Per-axis steering -----------------------------------------------------------

namespace {
// Pitch and yaw: the demand goes halfway to +-100, times f^2.
float SteerAxis(SceneItem* item, float& demand, float& remaining, float angle, float factor)
{
    if (TurningDone(item))
        return 0.0f;
    remaining = angle;
    demand = (demand + Sign100(angle)) / 2 * factor * factor;
    const float share = 1.0f - std::fabs(angle) / 90.0f;
    return share * share * factor;
}
} // namespace

float SteerPitch(SceneItem* item, float angle, const FlightModel*, float factor)
{
    return SteerAxis(item, item->pitchDemand, item->pitchRemaining, angle, factor);
}

float SteerYaw(SceneItem* item, float angle, const FlightModel*, float factor)
{
    return SteerAxis(item, item->yawDemand, item->yawRemaining, angle, factor);
}

float SteerRoll(SceneItem* item, float angle, const FlightModel*)
{
    if (TurningDone(item))
        return 0.0f;
    item->rollRemaining = angle;
    float demand = (item->rollDemand + Sign100(angle)) / 2;
    if (std::fabs(angle) < 30.0f)
        demand *= std::fabs(angle) / 30.0f;
    item->rollDemand = demand;
    const float share = 1.0f - std::fabs(angle) / 90.0f;
    return share * share * share;
}

void ClearControlDemands(SceneItem* item)
{
    item->pitchDemand = item->yawDemand = item->rollDemand = 0.0f;
    item->pitchRemaining = item->yawRemaining = item->rollRemaining = 0.0f;
}

// ---- Turning -------------------------------------------------------------------

float SteerToDirection(SceneItem* item, const Matrix4& target)
{
    if (TurningDone(item))
        return 0.0f;
    const float* m = target.m;
    float s = m[2], c = m[0]; // X.z, X.x
    NormalisePair(s, c);
    const float yaw = AimAngle(s, c);
    s = m[1];
    c = m[0]; // X.y, X.x
    NormalisePair(s, c);
    const float roll = AimAngle(s, c);
    s = m[9];
    c = m[10]; // Z.y, Z.z
    NormalisePair(s, c);
    const float pitch = AimAngle(s, c);

    const float yawShare = 1.0f - std::fabs(yaw) / 90.0f;
    const float rollShare = yawShare * (1.0f - std::fabs(roll) / 90.0f);
    item->yawRemaining = yaw;
    item->yawDemand = Sign100(yaw);
    item->rollRemaining = roll;
    item->rollDemand = Sign100(roll) * yawShare;
    item->pitchRemaining = pitch;
    item->pitchDemand = Sign100(pitch) * rollShare;
    return (1.0f - std::fabs(pitch) / 90.0f) * rollShare;
}

float TurnTowardDirection(SceneItem* item, const Vector3& direction, const FlightModel* model)
{
    model = ModelFor(item, model);
    if (TurningDone(item) || !model)
        return 0.0f;
    const TurnPlan plan = PlanTurn(direction);
    const float pitchWay = TurnTime(plan.pitch, model->pitchRate) + TurnTime(plan.pitchRoll, model->rollRate);
    const float yawWay = TurnTime(plan.yaw, model->yawRate) + TurnTime(plan.yawRoll, model->rollRate);
    float alignment;
    if (pitchWay < 1.5f * yawWay)
        alignment = SteerPitch(item, plan.pitch, model, SteerRoll(item, plan.pitchRoll, model));
    else
        alignment = SteerYaw(item, plan.yaw, model, SteerRoll(item, plan.yawRoll, model));
    item->sim->flags |= kSimTurnOncePerFrame;
    return alignment;
}

float TurnTowardVector(SceneItem* item, const Vector3& direction, const FlightModel* model)
{
    model = ModelFor(item, model);
    if (TurningDone(item) || !model)
        return 0.0f;
    const TurnPlan plan = PlanTurn(direction);
    const float factor = SteerRoll(item, plan.yawRoll, model);
    if (std::fabs(plan.yawRoll) >= 10.0f)
        return 0.0f;
    return SteerYaw(item, plan.yaw, model, factor);
}

float TurnTowardVector(SceneItem* item, float x, float y, float z, const FlightModel* model)
{
    return TurnTowardVector(item, Vector3{x, y, z}, model);
}

float SteerToMatchFrame(SceneItem* item, float x, float y, float z, const FlightModel* model)
{
    if (TurningDone(item))
        return 0.0f;
    const Vector3 d = Normalised({x, y, z});
    if (d.x == 0.0f && d.y == 0.0f && d.z == 0.0f)
        return 0.0f; // no direction to match
    const float factor = SteerYaw(item, -AimAngleToAxis(d.x, d.z), model, 1.0f);
    const float alignment = SteerPitch(item, AimAngleToAxis(d.y, d.z), model, factor);
    CheckFloatSanity(alignment);
    return alignment;
}

float SteerToMatchFrame(SceneItem* item, const Matrix4& frame)
{
    return SteerToMatchFrame(item, frame.m[8], frame.m[9], frame.m[10], item->sim->flightModel);
}

float EstimateTurnTimeToDirection(const FlightModel* model, const Vector3& direction)
{
    if (!model)
        return 0.0f;
    const TurnPlan plan = PlanTurn(direction);
    const float roll = std::fmax(model->rollRate, 1.0f);
    const float pitch = std::fmax(model->pitchRate, 1.0f);
    const float yaw = std::fmax(model->yawRate, 1.0f);
    const float pitchFirst = std::fabs(plan.pitch) / pitch + std::fabs(plan.pitchRoll) / roll;
    const float yawFirst = std::fabs(plan.yaw) / yaw + std::fabs(plan.yawRoll) / roll;
    return std::fmin(pitchFirst, yawFirst);
}

float EstimateTurnTime(SceneItem* item, const Vector3& point)
{
    const Matrix4& m = item->sim->matrix;
    return EstimateTurnTimeToDirection(item->sim->flightModel,
                                       IntoShipAxes(Sub(point, Translation(m)), m));
}

void RotateDirection(Vector3& out, const Matrix4& matrix, const Vector3& vector)
{
    VecMulMat3(out, vector, matrix);
    VecNormalise(out);
}

void RotateDirection(Vector3& out, const Vector3& vector, const Matrix4& matrix)
{
    RotateDirection(out, matrix, vector);
}

// ---- Thrust --------------------------------------------------------------------

float SteerWithThrust(SceneItem* item, const Vector3& demand, const FlightModel* model,
                      const Vector3& facing)
{
    model = ModelFor(item, model);
    Sim* sim = item->sim;
    Vector3 d = demand;
    const float limit = model ? std::fmax(model->acceleration, 0.0f) : 0.0f;
    const float length = VecLength(d);
    if (length > limit)
        d = Scale(d, limit / length);
    Vector3 localFacing = Normalised(IntoShipAxes(facing, sim->matrix));
    if (localFacing.x == 0.0f && localFacing.y == 0.0f && localFacing.z == 0.0f)
        localFacing = {0, 0, 1};
    TurnTowardDirection(item, localFacing, model);
    sim->thrust = IntoShipAxes(d, sim->matrix);
    return 1.0f;
}

float SteerToVelocity(SceneItem* item, const Vector3& velocity, const FlightModel* model)
{
    const Sim* sim = item->sim;
    const Vector3 difference = Sub(velocity, sim->velocity);
    const Vector3 facing = VecLength(velocity) > 0.1f ? velocity : Forward(sim->matrix);
    SteerWithThrust(item, difference, model, facing);
    const float gap = VecLength(difference);
    return gap > 2000.0f ? 0.0f : (2000.0f - gap) / 2000.0f;
}

float StopInPlace(SceneItem* item)
{
    Sim* sim = item->sim;
    const Vector3 local = IntoShipAxes(Sub(sim->velocity, ReferenceVelocity(item)), sim->matrix);
    const FlightModel* model = sim->flightModel;
    const float a = model ? std::fmax(model->acceleration, 0.0f) : 0.0f;
    const float dt = gFrameClock.frameSeconds;
    auto brake = [dt](float v, float limit) {
        if (dt <= 0.0f)
            return 0.0f;
        const float wanted = -v / dt;
        return std::fmax(-limit, std::fmin(limit, wanted));
    };
    sim->thrust = {brake(local.x, 0.75f * a), brake(local.y, 0.75f * a), brake(local.z, a)};
    return VecLength(local);
}

float ZeroSmallMotion(SceneItem* item) { return ZeroSmallMotionAgainst(item, {}); }

float ZeroSmallRelativeMotion(SceneItem* item, SceneItem* target)
{
    return ZeroSmallMotionAgainst(item, IsLive(target) ? target->sim->velocity : Vector3{});
}

float ZeroSmallRelativeMotion(SceneItem* item) { return ZeroSmallRelativeMotion(item, item->sim->target); }

void PredictRelativePosition(Vector3& out, const Vector3& ownPosition, const Vector3& ownVelocity,
                             const Vector3& targetPosition, const Vector3& targetVelocity,
                             float time)
{
    out = {(targetPosition.x + targetVelocity.x * time) - (ownPosition.x + ownVelocity.x * time),
           (targetPosition.y + targetVelocity.y * time) - (ownPosition.y + ownVelocity.y * time),
           (targetPosition.z + targetVelocity.z * time) - (ownPosition.z + ownVelocity.z * time)};
}

// ---- Speed profiles ------------------------------------------------------------------

float ApproachSpeed(SceneItem*, FlightModel* model, float distance)
{
    return std::fmin(Root(model->acceleration, distance), model->topSpeed);
}

float ApproachSpeedProfile(SceneItem* item, FlightModel* model, float distance)
{
    return ApproachSpeed(item, model, distance);
}

float ApproachSpeedMin500(SceneItem* item, FlightModel* model, float distance)
{
    return std::fmax(ApproachSpeed(item, model, distance), 500.0f);
}

float SignedApproachSpeed(SceneItem* item, FlightModel* model, float distance)
{
    const float gap = distance - StandOff(item);
    if (gap > 0.0f)
        return std::fmin(Root(model->acceleration, gap), model->topSpeed);
    return std::fmax(-Root(model->acceleration, -gap), -model->topSpeed);
}

float ApproachSpeedWithStandoff(SceneItem* item, FlightModel* model, float distance)
{
    const float standOff = StandOff(item);
    if (distance > standOff)
        return ApproachSpeed(item, model, distance - standOff);
    if (distance <= standOff / 2)
        return -model->topSpeed;
    return 0.0f;
}

// ---- Collision avoidance -----------------------------------------------------------

void AvoidCollision(SceneItem* item)
{
    Sim* sim = item->sim;
    Avatar* avatar = item->avatar;
    SceneItem* obstacle = avatar->obstacle;
    if (!IsLive(obstacle) || obstacle == item)
        return;
    const Sim* other = obstacle->sim;
    if (obstacle == avatar->escort || obstacle->perFrame == UpdateCoupledShip ||
        sim->mass > 3.0f * other->mass)
        return;
    if ((sim->flags & (kSimCloseStance | kSimWideStance)) && obstacle == sim->target)
        return;

    double distance;
    const Vector3 n = Toward(sim->position, other->position, distance);
    const float radii = sim->radius + other->radius;
    const float dt = gFrameClock.frameSeconds;

    if (sim->flags & kSimLdsEngaged) {
        // In LDS the ship is pushed sideways off the obstacle's path.
        double e = 10.0 * radii - distance;
        if (e <= 0.0 || distance <= 0.0)
            return;
        if (0.2 * e > 100000.0)
            e = 500000.0;
        const double push = -e * 0.2 * dt;
        sim->position.x += n.x * push;
        sim->position.y += n.y * push;
        sim->position.z += n.z * push;
        return;
    }

    const Vector3 relative = Sub(sim->velocity, other->velocity);
    const float speed = VecLength(relative);
    if (speed <= 0.0f || distance <= 0.0 || radii <= 0.0f)
        return;
    const Vector3 r = Scale(relative, 1.0f / speed);
    const float k = VecDot(n, r);
    float f = static_cast<float>(k >= 0.0f ? distance / ((2 * k + 2) * radii) : distance / (2 * radii));
    if (f > 1.0f)
        return;
    if (IsLive(avatar->escort)) {
        double escortDistance;
        const Vector3 toEscort = Toward(sim->position, avatar->escort->sim->position, escortDistance);
        const float along = VecDot(toEscort, n);
        if (escortDistance < distance && along > 0.0f)
            f = std::fmax(f, along);
    }
    const FlightModel* model = sim->flightModel;
    const float a = model ? std::fmax(model->acceleration, 0.0f) : 0.0f;
    const float strength = f >= 0.5f ? 2 * (f - 0.5f) : 0.0f;
    float m = (1 - strength) * 2 * a;

    if ((item->flags & kItemWatchesSecondTarget) && sim->secondTarget == obstacle && sim->speed <= k * m)
        sim->flags |= kSimAvoidingSecondTarget;

    Vector3 u = Sub(r, n);
    if (VecLength(u) < 0.05f)
        u = Scale(n, -1.0f);
    u = IntoShipAxes(Normalised(u), sim->matrix);
    m = std::fmin(m, a);
    Vector3 thrust = Scale(u, m);
    const float previous = VecLength(sim->thrust);
    if (m < a && previous > 0.0f) {
        const Vector3 kept = Scale(sim->thrust, std::fmin(previous, a - m) / previous);
        thrust = {thrust.x + kept.x, thrust.y + kept.y, thrust.z + kept.z};
    }
    sim->thrust = thrust;
    CheckFloatSanity(sim->thrust.z);
}

void PlacementHook(SceneItem*) {}
void AttachToNearbyBody(SceneItem*) {}
