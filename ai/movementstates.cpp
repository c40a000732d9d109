// The movement and LDS states. They steer through the helpers of
// ai/steering.h and world/steering.h and drive the LDS drive of
// world/lds.h; none of them fires. A state that takes its target from the
// dispatcher (needs flag 0x01) finds it in the Sim's target.
#include "ai/movementstates.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ai/combat.h"
#include "ai/combatstates.h"
#include "ai/orders.h"
#include "ai/statesteps.h"
#include "ai/steering.h"
#include "ai/weapons.h"
#include "system/frameclock.h"
#include "world/itemmessages.h"
#include "world/lds.h"
#include "world/messages.h"
#include "world/scenelist.h"
#include "world/steering.h"

using namespace aistep;

namespace {

// Stop-point tolerance, the closeness that counts as arrived, and the
// braking that ends MoveToStop.
constexpr float kStopTolerance = 9000.0f;
constexpr float kStopArrived = 0.4f;
constexpr float kStopBraked = 0.97f;
// MoveToStopRelative: tolerance, arrival, velocity match and the distance
// that sends it back to moving.
constexpr float kHoldTolerance = 90000.0f;
constexpr float kHoldArrived = 0.6f;
constexpr float kHoldMatched = 0.37f;
constexpr double kHoldStray = 100000.0;
// FullStop: braking, then the small motion zeroed.
constexpr float kFullStopBraked = 0.9f;
constexpr float kAtRest = 0.97f;
// MatchVel: the share of the acceleration used, and the velocity difference
// (parameter 1 in hundredths) within which the velocity counts as matched.
constexpr float kMatchThrustShare = 0.75f;
// AchieveRange steers this many calls before it looks at the LDS again.
constexpr int32_t kSteerCalls = 11;
constexpr double kMaxApproachRange = 825105408.0;
// LagrangeState: the stand-off beyond the own radius, the alignment with
// the gate's axis and the closeness at which the ship is in the gate.
constexpr float kGateStandOff = 300000.0f;
constexpr float kGateAligned = 0.7f;
constexpr float kGateEntered = 0.85f;
constexpr uint16_t kSceneItemDeleteOnJump = 0x2000;
// The LDS approach: the floor speed and the speed above which a close
// target only lets the speed fall; the calls of the cruise between checks.
constexpr float kLdsCruiseBrake = 120000.0f;
constexpr int32_t kCruiseChecks = 15;
constexpr float kLdsEscortMinRange = 1000000.0f;
// "Enter LDS": the target speed it sets, and the speed it compares against
// (the float nearest 9e9).
constexpr float kEnterLdsTargetSpeed = 1e10f;
constexpr float kEnterLdsSpeedMark = 8999999488.0f;
// The gravity constant of the orbit speed (kilometre units scaled by 1000).
constexpr double kGravity = 6.673e-11;
constexpr int32_t kOrbitHullLimit = 45;
// SeekOrbitalSpeed: a velocity within this sine of the vertical gives no
// orbit plane of its own.
constexpr float kOrbitFromRest = 0.01f;
// TestingState fires when aligned this well.
constexpr float kTestAligned = 0.95f;

FlightModel* ModelOf(SceneItem* item) { return item->sim->flightModel; }

bool InLds(const SceneItem* item) { return item->sim->flags & kSimLdsEngaged; }

bool HasLdsDrive(const SceneItem* item)
{
    const FlightModel* model = item->sim->flightModel;
    return model && model->ldsTopSpeed > 0.0f;
}

// The Avatar's body bit (planets and moons): they are reached, not held.
bool IsBody(const SceneItem* item)
{
    return item->avatar && (static_cast<uint16_t>(item->avatar->flags) & kAvatarBody);
}

// The target's point plus an offset in its frame.
Vector3 PointInFrameOf(const SceneItem* target, float x, float y, float z)
{
    return Add(Translation(target->sim), OutOfFrame(Vector3{x, y, z}, target->sim->matrix));
}

float SteerToVelocityOf(SceneItem* item, const Vector3& velocity)
{
    return SteerToVelocity(item, velocity, ModelOf(item));
}

} // namespace

int32_t DefaultApproachRange(const SceneItem* ship, const SceneItem* target)
{
    const double range =
        2.0 * (static_cast<double>(ship->sim->radius) + target->sim->radius) + 50000.0;
    return CutToInt(std::min(range, kMaxApproachRange));
}

// Cycles through sub-states 1 to 3, staying.
AIStateResult* DefaultState(AIStateResult* r, SceneItem*, int16_t sub, float, int32_t*, int32_t,
                            int32_t, int32_t)
{
    return Stay(r, static_cast<int16_t>(sub >= 1 && sub < 3 ? sub + 1 : 1));
}

// Aims the first mount at the target and fires when it bears.
AIStateResult* TestingState(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t,
                            int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    Weapon* mount = item->sim->weapons;
    if (!IsLiveItem(target) || !mount)
        return Stay(r, 1);
    Matrix4 frame{};
    Vector3 forward{}, up{}, right{};
    BuildMountFrame(mount->directionCode, &frame, &forward, &up, &right);
    Vector3 to = IntoFrame(Offset(item->sim->position, target->sim->position), item->sim->matrix);
    VecNormalise(to);
    // The nose turns so that the mount's axis comes onto the target.
    Vector3 nose{to.x - forward.x, to.y - forward.y, to.z - forward.z + 1.0f};
    VecNormalise(nose);
    TurnTowardDirection(item, nose, ModelOf(item));
    if (VecDot(to, forward) >= kTestAligned) {
        const Vector3 p = Translation(target->sim);
        FireWeapon(target, p.x, p.y, p.z, item, mount);
    }
    return Stay(r, 1);
}

// Order "StopAbsolute": out of LDS, to the point where it stood, braked.
AIStateResult* MoveToStop(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                          int32_t, int32_t, int32_t)
{
    Sim* sim = item->sim;
    switch (sub) {
    case 0:
    case 1: {
        const Vector3 here = Translation(sim);
        timers[0] = CutToInt(here.x);
        timers[1] = CutToInt(here.y);
        timers[2] = CutToInt(here.z);
        if (InLds(item))
            return Push(r, 68, 0, 0, 0, 2);
        [[fallthrough]];
    }
    case 2: {
        const float c = MoveToPoint(item, static_cast<float>(timers[0]), static_cast<float>(timers[1]),
                                    static_cast<float>(timers[2]), nullptr, kStopTolerance);
        return Stay(r, c >= kStopArrived ? 3 : 2);
    }
    case 3:
        if (SteerToVelocityOf(item, Vector3{}) >= kStopBraked)
            return Pop(r, 1.0f);
        return Stay(r, 3);
    default:
        return Unknown(r);
    }
}

// Holds a point given in the target's frame, moving with the target.
AIStateResult* MoveToStopRelative(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*,
                                  int32_t p1, int32_t p2, int32_t p3)
{
    SceneItem* target = item->sim->target;
    if (!IsLiveItem(target))
        return Pop(r, 0.0f);
    const Vector3 point = PointInFrameOf(target, static_cast<float>(p1), static_cast<float>(p2),
                                         static_cast<float>(p3));
    const Vector3 velocity = target->sim->velocity;
    switch (sub) {
    case 0:
    case 1: {
        const float c = MoveToPoint(item, point.x, point.y, point.z, &velocity, kHoldTolerance);
        return Stay(r, c >= kHoldArrived ? 2 : 1);
    }
    case 2: {
        if (SteerToVelocityOf(item, velocity) < kHoldMatched)
            return Stay(r, 2);
        if (VecLength(Sub(point, Translation(item->sim))) > kHoldStray)
            return Stay(r, 1);
        if (item->avatar)
            item->avatar->escort = nullptr;
        return Pop(r, 1.0f);
    }
    default:
        return Unknown(r);
    }
}

// Order "Lagrange": behind the gate on its axis, turned along it, through it.
AIStateResult* LagrangeState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*,
                             int32_t p1, int32_t p2, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* gate = ParamItem(p1);
    if (!IsLiveItem(gate))
        gate = sim->target;
    if (!IsLiveItem(gate))
        return Pop(r, 0.0f);
    const int32_t range = CutToInt(2.0 * sim->radius + kGateStandOff);
    switch (sub) {
    case 0:
    case 1:
        return Push(r, 47, range, ItemParam(gate), 0, 2);
    case 2:
        sim->target = gate;
        return Push(r, 11, 0, 0, -range, 3);
    case 3: {
        const Vector3 behind = PointInFrameOf(gate, 0.0f, 0.0f, static_cast<float>(-range));
        const Vector3 velocity = gate->sim->velocity;
        MoveToPoint(item, behind.x, behind.y, behind.z, &velocity, kHoldTolerance);
        const Vector3 axis = IntoFrame(AxisZ(gate->sim->matrix), sim->matrix);
        SteerToMatchFrame(item, axis.x, axis.y, axis.z, ModelOf(item));
        return Stay(r, VecDot(AxisZ(sim->matrix), AxisZ(gate->sim->matrix)) >= kGateAligned ? 4 : 3);
    }
    case 4: {
        const Vector3 p = Translation(gate->sim);
        const Vector3 velocity = gate->sim->velocity;
        if (SteerToPoint(item, p.x, p.y, p.z, &velocity, nullptr, nullptr) < kGateEntered)
            return Stay(r, 4);
        [[fallthrough]];
    }
    case 5:
        if (item != gPlayerItem) {
            if (static_cast<uint16_t>(item->flags) & kSceneItemDeleteOnJump)
                PostItemMessage(item->receiver, item->receiver, 0, kMsgDelete, 0, nullptr);
            else
                PostItemMessage(item->receiver, item->receiver, 0, kMsgJumpStart, p2);
            if (gate->avatar)
                gate->avatar->deviceSystem = static_cast<int16_t>(p2);
        }
        return Pop(r, 1.0f);
    default:
        return Unknown(r);
    }
}

// Order "MatchVel": thrusts on each axis toward the target's velocity.
// Parameter 1 is the difference, in hundredths, that counts as matched.
AIStateResult* MatchVelState(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*,
                             int32_t p1, int32_t, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* target = sim->target;
    if (!IsLiveItem(target) || !sim->flightModel)
        return Pop(r, 0.0f);
    sim->flags |= kSimAiSteersWithInput;
    const Vector3 difference = IntoFrame(Sub(target->sim->velocity, sim->velocity), sim->matrix);
    const float limit = kMatchThrustShare * sim->flightModel->acceleration;
    sim->thrust = {Clamp(difference.x, limit), Clamp(difference.y, limit), Clamp(difference.z, limit)};
    if (VecLength(difference) * 100.0f <= static_cast<float>(p1)) {
        sim->flags &= ~kSimAiSteersWithInput;
        sim->thrust = {};
        return Pop(r, 1.0f);
    }
    return Stay(r, 1);
}

// Steers onto the target, moving with it.
AIStateResult* SimplePursuit(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t,
                             int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (!IsLiveItem(target))
        return Pop(r, 0.0f);
    const Vector3 p = Translation(target->sim);
    const Vector3 velocity = target->sim->velocity;
    SteerToPoint(item, p.x, p.y, p.z, &velocity, nullptr, nullptr);
    return Stay(r, 1);
}

// Order "Aproach": to within the range of the target (on the LDS drive when
// it is far), then holds there; a body is only reached.
AIStateResult* AchieveRange(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                            int32_t p1, int32_t p2, int32_t p3)
{
    Sim* sim = item->sim;
    // Parameter 2 may name the item to reach (the bridge's APPROACH gives
    // the navigation target there): it becomes the target, which the
    // position hold after the approach keeps to as well.
    if (SceneItem* named = ParamItem(p2); IsLiveItem(named))
        sim->target = named;
    SceneItem* target = sim->target;
    if (!IsLiveItem(target))
        return Pop(r, 0.0f);
    const int32_t range = p1 ? p1 : DefaultApproachRange(item, target);
    switch (sub) {
    case 0:
    case 1:
        timers[0] = 0;
        if (!p3 && !gLdsSwitchedOff && WantsLdsToTarget(item, target))
            return Push(r, 71, ItemParam(target), range, 0, 2);
        if (InLds(item))
            DisengageLds(item);
        [[fallthrough]];
    case 2: {
        if (Distance(item, target) <= range) {
            if (IsBody(target))
                return Pop(r, 1.0f);
            // Hold the place it has reached, in the target's frame.
            const Vector3 at = IntoFrame(Offset(target->sim->position, sim->position), target->sim->matrix);
            return Push(r, 11, CutToInt(at.x), CutToInt(at.y), CutToInt(at.z), 3);
        }
        const Vector3 p = Translation(target->sim);
        const Vector3 velocity = target->sim->velocity;
        SteerToPoint(item, p.x, p.y, p.z, &velocity, nullptr, nullptr);
        return Stay(r, ++timers[0] >= kSteerCalls ? 1 : 2);
    }
    case 3:
        return Push(r, 48, range, ItemParam(target), 0, 4);
    case 4:
        return Pop(r, 1.0f);
    default:
        return Unknown(r);
    }
}

// Closes to the range and pops there.
AIStateResult* AchieveFieldRangeState(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*,
                                      int32_t p1, int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (!IsLiveItem(target))
        return Pop(r, 0.0f);
    const int32_t range = p1 ? p1 : DefaultApproachRange(item, target);
    if (Distance(item, target) <= range)
        return Pop(r, 1.0f);
    const Vector3 p = Translation(target->sim);
    const Vector3 velocity = target->sim->velocity;
    SteerToPoint(item, p.x, p.y, p.z, &velocity, nullptr, nullptr);
    return Stay(r, 1);
}

// Constant thrust backwards.
AIStateResult* tst_FlyBackwards(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t,
                                int32_t, int32_t)
{
    if (FlightModel* model = ModelOf(item))
        item->sim->thrust = {0.0f, 0.0f, -model->acceleration};
    return Stay(r, 1);
}

// Constant thrust forwards.
AIStateResult* tst_FlyFowards(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t,
                              int32_t, int32_t)
{
    if (FlightModel* model = ModelOf(item))
        item->sim->thrust = {0.0f, 0.0f, model->acceleration};
    return Stay(r, 1);
}

// Holds station beside the leader, turned as it is.
AIStateResult* tst_HoldFormation(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*,
                                 int32_t, int32_t, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* leader = sim->secondTarget;
    if (!IsLiveItem(leader))
        leader = sim->target;
    if (!IsLiveItem(leader))
        return Pop(r, 0.0f);
    const float spacing = 2.0f * (sim->radius + leader->sim->radius);
    const Vector3 slot = PointInFrameOf(leader, spacing, 0.0f, 0.0f);
    const Vector3 velocity = leader->sim->velocity;
    if (AlignWithFrame(item, leader->sim->matrix, ModelOf(item)) >= kTestAligned)
        SteerRoll(item, 0.0f, ModelOf(item));
    SteerToPoint(item, slot.x, slot.y, slot.z, &velocity, nullptr, nullptr);
    return Stay(r, 1);
}

// Waits: in LDS as it is, else stopped once and held at rest.
AIStateResult* DoNothingState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*,
                              int32_t, int32_t, int32_t)
{
    if (InLds(item))
        return Stay(r, sub);
    if (sub <= 1)
        return Push(r, 65, 0, 0, 0, 2);
    ZeroSmallMotion(item);
    return Stay(r, 2);
}

// Lets the thrust die away and ignores obstacles.
AIStateResult* DriftState(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t,
                          int32_t, int32_t)
{
    Sim* sim = item->sim;
    const float dt = gFrameClock.frameSeconds;
    sim->thrust = Sub(sim->thrust, Scale(sim->thrust, dt));
    if (item->avatar)
        item->avatar->obstacle = nullptr;
    return Stay(r, 1);
}

namespace {

// FullStop and FullStopRelative: out of LDS, braked, small motion zeroed.
AIStateResult* StopSteps(AIStateResult* r, SceneItem* item, int16_t sub, SceneItem* reference)
{
    const Vector3 velocity = reference ? reference->sim->velocity : Vector3{};
    switch (sub) {
    case 0:
    case 1:
        if (InLds(item))
            DisengageLds(item);
        [[fallthrough]];
    case 2:
        if (SteerToVelocityOf(item, velocity) < kFullStopBraked)
            return Stay(r, 2);
        return Stay(r, 3);
    case 3: {
        const float rest = reference ? ZeroSmallRelativeMotion(item, reference) : ZeroSmallMotion(item);
        return rest >= kAtRest ? Pop(r, 1.0f) : Stay(r, 3);
    }
    default:
        return Unknown(r);
    }
}

} // namespace

AIStateResult* FullStop(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                        int32_t, int32_t)
{
    return StopSteps(r, item, sub, nullptr);
}

AIStateResult* FullStopRelative(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*,
                                int32_t, int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (!IsLiveItem(target))
        return Pop(r, 0.0f);
    return StopSteps(r, item, sub, target);
}

// Order "LDSToNavTarget": one LDS journey to the target.
AIStateResult* LdsToNavTarget(AIStateResult* r, SceneItem* item, int16_t sub, float childResult,
                              int32_t*, int32_t, int32_t, int32_t)
{
    if (sub <= 1)
        return Push(r, 71, ItemParam(item->sim->target), 0, 0, 2);
    return Pop(r, childResult);
}

// In LDS toward the target, leaving LDS near it.
AIStateResult* LdsApproach(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                           int32_t, int32_t, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* target = sim->target;
    FlightModel* model = ModelOf(item);
    if (!IsLiveItem(target) || !model)
        return Pop(r, 0.0f);
    const Vector3 offset = IntoFrame(Offset(sim->position, target->sim->position), sim->matrix);
    float d = VecLength(offset);
    const Vector3 u = d > 0.0f ? Scale(offset, 1.0f / d) : Vector3{0.0f, 0.0f, 1.0f};
    const float rates = model->yawRate + model->rollRate;
    const float t = rates > 0.0f ? 360.0f / rates : 360.0f;
    const bool body = IsBody(target);
    const float margin = body ? target->sim->radius : 5.0f * target->sim->radius;
    const float c = VecDot(target->sim->velocity, AxisZ(sim->matrix));
    const bool barred = sim->flags & kSimLdsBarred;
    switch (sub) {
    case 0:
    case 1:
        if (barred)
            return Pop(r, 0.0f);
        [[fallthrough]];
    case 2: {
        sim->ldsTargetSpeed = kLdsStartSpeed;
        const float a = SteerToMatchFrame(item, u.x, u.y, u.z, model);
        if (barred)
            return Pop(r, 0.0f);
        return Stay(r, a >= 0.98f ? 3 : 2);
    }
    case 3: {
        if (body)
            d = std::max(d - margin, 0.0f);
        const float b = sim->ldsTargetSpeed * t + margin;
        const bool onlyLower = sim->thrust.z >= kLdsCruiseBrake && d < 0.95f * b;
        SteerToMatchFrame(item, u.x, u.y, u.z, model);
        const float v = std::max(d > b ? model->ldsTopSpeed : d / t, kLdsStartSpeed) + c;
        if (!onlyLower || v < sim->thrust.z)
            sim->ldsTargetSpeed = v;
        if (d < kLdsStartSpeed * t + margin) {
            if (!InLds(target))
                DisengageLds(item);
            if (target->sim->shipInfo) {
                sim->velocity = target->sim->velocity;
                sim->ldsTargetSpeed = kLdsStartSpeed;
            }
            return Pop(r, 1.0f);
        }
        if (timers[0]++ < kCruiseChecks)
            return Stay(r, 3);
        [[fallthrough]];
    }
    case 4:
        if (InLds(target) || barred)
            return Pop(r, 0.0f);
        timers[0] = 0;
        return Stay(r, 3);
    default:
        return Unknown(r);
    }
}

// Engages the drive directly and cruises on, watching the speed law.
AIStateResult* EnterLds(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                        int32_t, int32_t)
{
    Sim* sim = item->sim;
    if (sub <= 1) {
        if (sim->flightModel)
            sim->ldsSpool = CutToInt(sim->flightModel->spoolTime);
        sim->flags |= kSimLdsEngaged;
        sim->thrust.x = sim->thrust.y = 0.0f;
        sim->thrust.z = kLdsStartSpeed;
        sim->ldsTargetSpeed = kEnterLdsTargetSpeed;
        return Stay(r, 2);
    }
    // The distance the drive needs to wind down from this speed; past the
    // mark the speed is held there.
    if (sim->flightModel && sim->thrust.z > kEnterLdsSpeedMark &&
        LdsDistanceForSpeed(sim->thrust.z, sim->flightModel) > 0.0f)
        sim->ldsTargetSpeed = kEnterLdsSpeedMark;
    return Stay(r, 2);
}

// Keeps pace in LDS with a target that is itself in LDS; in normal space it
// escorts it (unless parameter 3 forbids).
AIStateResult* LdsEscort(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                         int32_t p1, int32_t, int32_t p3)
{
    Sim* sim = item->sim;
    SceneItem* target = sim->target;
    FlightModel* model = ModelOf(item);
    if (!IsLiveItem(target) || !model)
        return Pop(r, 0.0f);
    const float range = std::max(static_cast<float>(p1), kLdsEscortMinRange);
    switch (sub) {
    case 0:
    case 1:
        if (!InLds(target))
            return Pop(r, 1.0f);
        timers[0] = 0;
        [[fallthrough]];
    case 2: {
        if (!InLds(item))
            return Stay(r, 3);
        const Vector3 rel = Offset(sim->position, target->sim->position);
        const Vector3 a = IntoFrame(rel, target->sim->matrix);
        Vector3 w = IntoFrame(rel, sim->matrix);
        VecNormalise(w);
        const float length = VecLength(rel);
        const float g = std::max(length - range, 0.0f);
        const float theirs = target->sim->thrust.z;
        if (a.z > range)
            sim->ldsTargetSpeed =
                std::max(LdsSpeedForDistance(g, model) * (w.z + 2.0f) / 3.8f - 100000.0f, 0.0f) +
                VecDot(AxisZ(sim->matrix), AxisZ(target->sim->matrix)) * theirs;
        else
            sim->ldsTargetSpeed = a.z / 2.0f + theirs - range;
        if (g > range && a.z > 0.0f) {
            SteerToMatchFrame(item, w.x, w.y, w.z, model);
        } else {
            const Vector3 heading = IntoFrame(AxisZ(target->sim->matrix), sim->matrix);
            SteerToMatchFrame(item, heading.x, heading.y, heading.z, model);
        }
        return Stay(r, timers[0]++ > 10 ? 1 : 2);
    }
    case 3:
        if (p3)
            return Pop(r, 0.0f);
        return Push(r, 49, CutToInt(3.0 * (static_cast<double>(sim->radius) + target->sim->radius)),
                    ItemParam(target), 1, 4);
    case 4:
        return Stay(r, 0);
    default:
        return Unknown(r);
    }
}

// One LDS journey: engage, approach or escort in LDS, leave LDS at the
// target; without the drive, AchieveRange does the journey.
AIStateResult* LDSFlight(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                         int32_t p2, int32_t p3)
{
    SceneItem* target = item->sim->target;
    if (!IsLiveItem(target))
        return Pop(r, 0.0f);
    switch (sub) {
    case 0:
    case 1:
        if (!EngageLds(item))
            return Stay(r, 4);
        [[fallthrough]];
    case 2:
        if (InLds(target))
            return Push(r, 70, p2, 0, p3, 3);
        return Push(r, 68, 0, 0, p3, 3);
    case 3:
        if (IsBody(target))
            return Pop(r, 1.0f);
        if (WantsLdsToTarget(item, target))
            return Stay(r, 1);
        // A ship already out of LDS (the approach left it on arrival) has
        // arrived: approaching again would arrive again at once, for ever.
        if (DisengageLds(item) || !InLds(item))
            return Pop(r, 1.0f);
        return Push(r, 68, 0, 0, p3, 3);
    case 4:
        if (p3 || !WantsLdsToTarget(item, target))
            return Pop(r, 0.0f);
        return Push(r, 47, p2, ItemParam(target), p3, 5);
    case 5:
        return Stay(r, 1);
    default:
        return Unknown(r);
    }
}

// Order "StraightLDS": straight on in LDS; when it ends, flee, then done.
// The flee hands back as soon as the drive works again (it is barred while
// an interdiction lasts), and the ship leaves by LDS rather than on its
// thrusters; a ship without the drive is done once its flee is over.
AIStateResult* StraightLds(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                           int32_t, int32_t)
{
    switch (sub) {
    case 0:
    case 1:
        EngageLds(item);
        return Stay(r, 2);
    case 2:
        if (InLds(item))
            return Stay(r, 2);
        return Push(r, 59, 0, 0, kFleeByLds, 3);
    case 3:
        if (EngageLds(item))
            return Stay(r, 2);
        if (HasLdsDrive(item))
            return Push(r, 59, 0, 0, kFleeByLds, 3);
        return Pop(r, 1.0f);
    default:
        return Unknown(r);
    }
}

// Order "SeekOrbitalSpeed": holds a circular orbit about the ridden item.
AIStateResult* SeekOrbitalSpeed(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*,
                                int32_t, int32_t p2, int32_t)
{
    // The body it rides is the one the planet response notes each frame the
    // ship is near it, with the altitude above its surface and the
    // direction to it.
    Sim* sim = item->sim;
    SceneItem* ridden = (item->flags & kItemNearPlanet) ? sim->planet.Get() : nullptr;
    const float h = sim->altitude;
    switch (sub) {
    case 0:
    case 1: {
        if (!IsLiveItem(ridden))
            return Stay(r, 1);
        DisengageLds(item);
        const double rr = ridden->sim->radius / 2.0 + h;
        sim->ldsTargetSpeed =
            rr > 0.0 ? static_cast<float>(std::sqrt(kGravity * ridden->sim->mass / rr) * 1000.0) : 0.0f;
        [[fallthrough]];
    }
    case 2: {
        if (ShipInfo* info = sim->shipInfo)
            for (int32_t n = 0; n < info->hardPointCount; ++n)
                AssignHardPointTarget(item, n, EnemyClassMask(item), 0);
        const float accel = sim->flightModel ? sim->flightModel->acceleration : 0.0f;
        const float wanted = p2 ? static_cast<float>(p2) * 100000.0f : h;
        const Vector3 n = sim->planetDirection;
        // At rest, or moving straight up or down, the orbit starts along the
        // ship's nose (or, nose up or down, its side).
        Vector3 t1;
        VecCross(n, sim->velocity, t1);
        if (VecLength(t1) < kOrbitFromRest * VecLength(sim->velocity) + 1e-3f)
            VecCross(n, AxisZ(sim->matrix), t1);
        if (VecLength(t1) < 1e-3f)
            VecCross(n, AxisX(sim->matrix), t1);
        VecNormalise(t1);
        Vector3 t2;
        VecCross(t1, n, t2);
        // A crippled ship low on hull no longer swings its frame round.
        const bool holdsAttitude = item->avatar && (item->avatar->classFlags & kSenseCrippled) &&
                                   sim->hull <= kOrbitHullLimit;
        if (!holdsAttitude) {
            sim->matrix.m[0] = t1.x, sim->matrix.m[1] = t1.y, sim->matrix.m[2] = t1.z;
            sim->matrix.m[4] = n.x, sim->matrix.m[5] = n.y, sim->matrix.m[6] = n.z;
            sim->matrix.m[8] = t2.x, sim->matrix.m[9] = t2.y, sim->matrix.m[10] = t2.z;
        }
        sim->localVelocity = IntoFrame(sim->velocity, sim->matrix);
        float y0 = std::sqrt(2.0f * accel * std::fabs(wanted - h));
        if (wanted > h)
            y0 = -y0;
        sim->thrust.x = 0.0f;
        sim->thrust.z = Clamp(sim->ldsTargetSpeed - sim->localVelocity.z, accel);
        sim->thrust.y = Clamp(y0 - sim->localVelocity.y, accel);
        return Stay(r, 2);
    }
    default:
        return Unknown(r);
    }
}
