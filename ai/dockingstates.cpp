// The AI docking states (12 to 16). Each call drives the ship a step and
// answers through its step record; the pair of ports chosen by
// DockingBaseState is carried in its timers 0 and 1 and handed to the
// children as parameters.
#include "ai/statesteps.h"
#include "ai/dockingstates.h"

#include <algorithm>
#include <cmath>

#include "ai/docking.h"
#include "ai/steering.h"
#include "system/frameclock.h"
#include "view/cameras.h"
#include "world/itemmessages.h"
#include "world/lds.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/steering.h"

OrientateAim gOrientateAim = {};

namespace {

constexpr int32_t kMoveToStopRelative = 11;
constexpr int32_t kDockingBase = 13;
constexpr int32_t kOrientate = 15;
constexpr int32_t kFinalApproach = 16;
constexpr float kStandOffMargin = 30000.0f; // beyond the larger radius
constexpr float kStandOffLimit = 250000.0f;
constexpr int32_t kDemolishWait = 300;     // ticks docked before the blow
constexpr float kFinalTolerance = 400.0f;  // closeness 1 within it, 0.5 at 1.5 x
constexpr int32_t kFinalRecheckEvery = 17; // calls between orientation checks
constexpr float kOrientationNeeded = 0.9f;
constexpr uint32_t kSimTurnedThisFrame = 0x2000;

using aistep::Pop;
using aistep::Push;
using aistep::Stay;

// The n-th point exactly (null past the end or for n < 0).
DockPoint* PointAt(SceneItem* item, int32_t n)
{
    if (n < 0 || !item || !item->sim || !item->sim->shipInfo)
        return nullptr;
    DockPoint* point = item->sim->shipInfo->dockPoints;
    for (; point && n > 0; --n)
        point = point->next;
    return point;
}

// The pair can still be used: both free, or already coupled to each other
// (the contact docking may have coupled them while the ship closed in).
bool PairUsable(SceneItem* ship, SceneItem* target, int32_t own, int32_t theirs)
{
    if (DockPointsFree(ship, target, own, theirs))
        return true;
    const DockPoint* a = PointAt(ship, own);
    const DockPoint* b = PointAt(target, theirs);
    return a && b && (a->flags & kDockEngaged) && a->partnerPoint == b;
}

// The port's outward direction in its item's frame: +z about X by its
// pitch, then about Y by its yaw.
Vector3 PortDirection(const DockPoint* point)
{
    Vector3 v{0.0f, 0.0f, 1.0f};
    VecRotX(v, point->pitch, v);
    VecRotY(v, point->yaw, v);
    return v;
}

Vector3d PortPosition(const SceneItem* item, const DockPoint* point)
{
    Vector3 turned;
    MatRotateVec(item->sim->matrix, Vector3{point->x, point->y, point->z}, turned);
    const WorldPosition& p = item->sim->position;
    return {p.x + turned.x, p.y + turned.y, p.z + turned.z};
}

Vector3 Row(const Matrix4& m, int r) { return {m.m[r * 4], m.m[r * 4 + 1], m.m[r * 4 + 2]}; }

// Tells the target which of its ports is taken, so it opens it.
void PostReservation(SceneItem* ship, SceneItem* target, int32_t theirs)
{
    const DockPointBody body{static_cast<int16_t>(theirs)};
    PostItemMessage(ship->receiver, target->receiver, 0, kMsgEnableDockPoint, body);
}

} // namespace

AIStateResult* UnDock(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t, int32_t, int32_t)
{
    if (subState <= 1) {
        UndockItem(item);
        return Stay(result, 2);
    }
    return Stay(result, 2, 1.0f);
}

AIStateResult* DockingBaseState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    Sim* sim = item->sim;
    DisengageLds(item);
    if (SceneItem* given = parameter1 ? ItemFromHandle(static_cast<SceneItemHandle>(parameter1)) : nullptr)
        sim->target = given;
    SceneItem* target = sim->target;
    if (!target)
        return Pop(result, 0.0f);
    switch (subState) {
    case 0:
    case 1: {
        int32_t own = parameter2 - 1, theirs = parameter3 - 1;
        ReserveDockPointPair(item, target, &own, &theirs);
        if (own < 0 || theirs < 0)
            return Pop(result, 0.0f);
        timers[0] = own;
        timers[1] = theirs;
        if (item != gControlledItem)
            PostItemMessage(item->receiver, item->receiver, 0, kMsgUndock, 0, nullptr);
        PostReservation(item, target, theirs);
        return Stay(result, 2);
    }
    case 2: {
        const DockPoint* port = PointAt(target, timers[1]);
        if (!port)
            return Stay(result, 1);
        const float distance = std::min(std::max(sim->radius, target->sim->radius) + kStandOffMargin, kStandOffLimit);
        const Vector3 out = PortDirection(port);
        return Push(result, kMoveToStopRelative, static_cast<int32_t>(out.x * distance), static_cast<int32_t>(out.y * distance), static_cast<int32_t>(out.z * distance), 3);
    }
    case 3:
        return Stay(result, 4);
    case 4:
        if (!PairUsable(item, target, timers[0], timers[1]))
            return Stay(result, 1);
        PostReservation(item, target, timers[1]);
        DirectorOfferShot(item, target, kShotDocking);
        return Push(result, kOrientate, timers[0], timers[1], static_cast<int32_t>(ItemHandle(target)), 5);
    case 5:
        if (!PairUsable(item, target, timers[0], timers[1]))
            return Stay(result, 1);
        return Push(result, kFinalApproach, timers[0], timers[1], 0, 6);
    default:
        if (childResult >= 0.5f && PairUsable(item, target, timers[0], timers[1]))
            return Pop(result, 1.0f);
        return Stay(result, 1);
    }
}

AIStateResult* DockingDemolishState(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    switch (subState) {
    case 0:
    case 1:
        timers[0] = kDemolishWait;
        return Push(result, kDockingBase, parameter1, parameter2, parameter3, 2);
    case 2:
        timers[0] -= gFrameClock.frameTicks;
        if (timers[0] > 0)
            return Stay(result, 2);
        PostItemMessage(item->receiver, item->receiver, 0, kMsgUndock, 0, nullptr);
        return Stay(result, 3);
    default: {
        SceneItem* target = item->sim->target;
        if (target) {
            HitPayload record{};
            record.attacker = ItemHandle(item);
            NoteItemDestroyed(target, &record);
            PostItemMessage(item->receiver, target->receiver, 0, kMsgHit, record);
        }
        return Pop(result, 0.0f);
    }
    }
}

AIStateResult* dk_orientate(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    Sim* sim = item->sim;
    if (SceneItem* given = parameter3 ? ItemFromHandle(static_cast<SceneItemHandle>(parameter3)) : nullptr)
        sim->target = given;
    SceneItem* target = sim->target;
    DockPoint* own = PointAt(item, parameter1);
    DockPoint* theirs = PointAt(target, parameter2);
    if (!target || !own || !theirs) {
        if (DockPoint* mine = NthDockPoint(item, parameter1, nullptr))
            mine->flags &= ~kDockReserved;
        return Pop(result, 0.0f);
    }
    const Matrix4 frame = DockPointWorldFrame(target->sim->matrix, own, theirs);
    timers[0] = static_cast<int32_t>((1.0f - MatOrientationMatch(frame, sim->matrix)) * 1000.0f);
    const Vector3d ownPort = PortPosition(item, own);
    const Vector3d theirPort = PortPosition(target, theirs);
    const Vector3 v{static_cast<float>(theirPort.x - ownPort.x), static_cast<float>(theirPort.y - ownPort.y), static_cast<float>(theirPort.z - ownPort.z)};
    const float d = VecLength(v);
    const Vector3 u = d > 0.0f ? Vector3{v.x / d, v.y / d, v.z / d} : Vector3{0.0f, 0.0f, 0.0f};
    Vector3 n;
    MatRotateVec(target->sim->matrix, PortDirection(theirs), n);
    const float c = VecDot(n, u) + 1.0f;
    const float lead = 0.45f * d * c;
    // On the side the port faces, or close to it, the ship is meant to touch
    // the target: collision avoidance leaves the target alone.
    if (item->avatar)
        item->avatar->escort = lead < sim->radius || c < 1.0f ? target : nullptr;
    const float radii = target->sim->radius + sim->radius;
    const float reach = std::min(2.0f * radii + kStandOffMargin, 500000.0f) + radii;
    const float standOff = std::max(timers[0] / 1000.0f * reach, std::min(lead, reach / 2.0f)) - 2000.0f;
    const Vector3d aim{theirPort.x + n.x * standOff, theirPort.y + n.y * standOff, theirPort.z + n.z * standOff};
    gOrientateAim = {aim, standOff};
    const Vector3 reference = target->sim->velocity;
    // P is where the ship's port is to be, so the ship's centre is steered
    // to P less the port's offset: steering the centre there would leave a
    // port far out on the nose past the target's port, c near 2, and the
    // ship held off for good.
    const WorldPosition& centre = sim->position;
    const Vector3d centreAim{aim.x - (ownPort.x - centre.x), aim.y - (ownPort.y - centre.y), aim.z - (ownPort.z - centre.z)};
    auto steerToAim = [&] {
        return SteerToPoint(item, static_cast<float>(centreAim.x), static_cast<float>(centreAim.y), static_cast<float>(centreAim.z), &reference, nullptr, ApproachSpeedMin500);
    };

    switch (subState) {
    case 0:
    case 1:
        return Stay(result, 2);
    case 2: {
        if (!DockPointsFree(item, target, parameter1, parameter2))
            return Stay(result, 4);
        Vector3 forward;
        VecMulMat3T(forward, Row(frame, 2), sim->matrix);
        VecNormalise(forward);
        const float a = SteerToMatchFrame(item, forward.x, forward.y, forward.z, sim->flightModel);
        sim->flags |= kSimTurnedThisFrame;
        const float q = a * steerToAim();
        return Stay(result, q >= kOrientationNeeded ? 3 : 2);
    }
    case 3: {
        if (!DockPointsFree(item, target, parameter1, parameter2)) {
            if (FindDockedItem(item, target))
                return Pop(result, 1.0f);
            return Stay(result, 4);
        }
        const float k = (VecDot(Row(frame, 2), Row(sim->matrix, 2)) + 1.0f) / 2.0f;
        if (k < 0.95f)
            return Stay(result, 2);
        Vector3 up;
        VecMulMat3T(up, Row(frame, 1), sim->matrix);
        const float roll = SteerRoll(item, -AimAngle(up.x, up.y), sim->flightModel);
        sim->flags |= kSimTurnedThisFrame;
        item->pitchDemand = 0.0f;
        item->yawDemand = 0.0f;
        const float q = roll * steerToAim();
        if (q < 0.3f)
            return Stay(result, 2);
        // Port on port: couple there, as the final approach does, rather
        // than wait for hulls that a port out on the nose never lets touch.
        if (q > 0.9f && (FindDockedItem(item, target) || TryDockOnContact(item, target)))
            return Pop(result, 1.0f);
        return Stay(result, 3);
    }
    default:
        if (DockPoint* mine = NthDockPoint(item, parameter1, nullptr))
            mine->flags &= ~kDockReserved;
        return Pop(result, 0.0f);
    }
}

AIStateResult* dk_finalAproach(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* target = sim->target;
    DockPoint* own = PointAt(item, parameter1);
    DockPoint* theirs = PointAt(target, parameter2);
    if (!target || !own || !theirs)
        return Pop(result, 0.0f);
    if (FindDockedItem(item, target))
        return Pop(result, 1.0f);
    const Matrix4 frame = DockPointWorldFrame(target->sim->matrix, own, theirs);
    if (subState <= 1) {
        if (!PairUsable(item, target, parameter1, parameter2))
            return Stay(result, 0);
        if (MatOrientationMatch(frame, sim->matrix) < kOrientationNeeded)
            return Pop(result, 0.0f);
        subState = 2;
    }
    // Where the ship's centre is when its port sits on the target's, docked.
    const Vector3d theirPort = PortPosition(target, theirs);
    Vector3 ownOffset;
    MatRotateVec(frame, Vector3{own->x, own->y, own->z}, ownOffset);
    const Vector3 forward = Row(frame, 2);
    const Vector3 reference = target->sim->velocity;
    const float closeness = ApproachPointBraking(item, static_cast<float>(theirPort.x - ownOffset.x), static_cast<float>(theirPort.y - ownOffset.y), static_cast<float>(theirPort.z - ownOffset.z), forward.x, forward.y, forward.z, &reference, kFinalTolerance);
    item->pitchDemand = 0.0f;
    item->yawDemand = 0.0f;
    item->rollDemand = 0.0f;
    // Port on port: couple there rather than wait for the hulls to touch,
    // so that "docked" is only answered for a ship that is.
    if (closeness >= 0.5f && (FindDockedItem(item, target) || TryDockOnContact(item, target)))
        return Pop(result, 1.0f);
    if (++timers[0] % kFinalRecheckEvery == 0)
        return Stay(result, 1);
    return Stay(result, 2);
}
