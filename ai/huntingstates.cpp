// The hunting, hiding and drone states. The hunting chain only walks the
// scene list (its prey is the Sim's target); the hiding chain measures from
// the world centres of parts; the drones set their thrust themselves.
#include "ai/huntingstates.h"

#include <algorithm>
#include <cmath>

#include "ai/statesteps.h"
#include "ai/steering.h"
#include "system/frameclock.h"
#include "world/behaviours.h"
#include "world/pools.h"
#include "world/rayqueries.h"
#include "world/scenelist.h"
#include "world/steering.h"

using namespace aistep;

namespace {

// df_chasePrey watches a live prey for this many calls before it tests it again.
constexpr int32_t kChaseCalls = 6;
// df_baseState: the chase's watch limit (a result below 0.5 restarts).
constexpr int32_t kChaseWatchLimit = 500;
// hideFrom: the cover search, and hd_hideAux's watch limit.
constexpr uint32_t kCoverFlags = kTdpNew;
constexpr float kCoverRange = 100000.0f;
constexpr int32_t kHideWatchLimit = 500;
constexpr float kHideTolerance = 5000.0f;
constexpr float kMinEscape = 100000.0f;
// DroneChasingTarget: the distance under which it slows its closing, its
// closing speed and the share of the acceleration used sideways.
constexpr float kDroneSlowDistance = 100000.0f;
constexpr float kDroneClosingSpeed = 125000.0f;
constexpr float kDroneSideShare = 2.0f / 3.0f;

// The ship's root part: its centre and radius are the ship's for hiding.
TDP* RootPart(const SceneItem* item) { return item->avatar ? item->avatar->root : nullptr; }

Vector3 ShipCentre(const SceneItem* item)
{
    const TDP* root = RootPart(item);
    return root ? root->worldCentre : Translation(item->sim);
}
float ShipRadius(const SceneItem* item)
{
    const TDP* root = RootPart(item);
    return root ? root->radius : item->sim->radius;
}

} // namespace

int32_t PartParam(const TDP* part)
{
    const TDP* pool = TDPPool();
    if (!part || part < pool || part >= pool + kMaxTDPs)
        return 0;
    return static_cast<int32_t>(part - pool) + 1;
}

TDP* ParamPart(int32_t parameter)
{
    if (parameter < 1 || parameter > kMaxTDPs)
        return nullptr;
    TDP* part = TDPPool() + (parameter - 1);
    return (part->flags & kTdpInUse) ? part : nullptr;
}

// ---- Hunting chain: the prey is the Sim's target.

// Test, watch, move on, and again.
AIStateResult* df_baseState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                            int32_t, int32_t)
{
    const int32_t prey = ItemParam(item->sim->target);
    switch (sub) {
    case 0:
    case 1:
        return Push(r, 2, 0, prey, 0, 2);
    case 2:
        Push(r, 3, 0, prey, 0, 3);
        r->action = kAIPushWatchSmaller;
        r->limit = kChaseWatchLimit;
        r->savedSubState = 1;
        return r;
    case 3:
        return Push(r, 5, 0, prey, 0, 4);
    default:
        return Stay(r, 1, 0.0f);
    }
}

// Passes over items that are not fit prey (no Avatar, no root part, or a
// root part that is not a new one); at the list's end it gives up with 0.
AIStateResult* df_testPrey(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                           int32_t, int32_t)
{
    if (sub > 1)
        return Unknown(r);
    SceneItem* prey = item->sim->target;
    if (!prey)
        return Pop(r, 0.0f);
    if (prey->avatar && prey->avatar->root && (prey->avatar->root->flags & kTdpNew))
        return Pop(r, 1.0f);
    return Push(r, 5, 0, ItemParam(prey), 0, 1);
}

// The prey becomes the next item of the scene list (none at its end).
AIStateResult* df_newPrey(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                          int32_t, int32_t)
{
    if (sub > 1)
        return Unknown(r);
    SceneItem* prey = item->sim->target;
    SceneItem* next = prey ? prey->next : nullptr;
    item->sim->target = next && next != &gSceneList ? next : nullptr;
    return Pop(r, 1.0f);
}

// Watches a live prey for six calls, then hands back 0; a dead prey (or the
// ship itself) hands back 1.0.
AIStateResult* df_chasePrey(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                            int32_t, int32_t, int32_t)
{
    switch (sub) {
    case 0:
    case 1:
        timers[0] = kChaseCalls;
        [[fallthrough]];
    case 2: {
        --timers[0];
        SceneItem* prey = item->sim->target;
        if (!prey || !(prey->flags & kItemInUse) || prey == item)
            return Pop(r, 1.0f);
        if (timers[0] < 0)
            return Pop(r, 0.0f);
        return Stay(r, 2);
    }
    default:
        return Unknown(r);
    }
}

// ---- Hiding chain: parameters are parts.

// Looks for cover near the ship and hides behind it from the threat.
AIStateResult* hideFrom(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t p1,
                        int32_t, int32_t)
{
    switch (sub) {
    case 0:
    case 1: {
        TDP* cover = RayPickScene(kCoverFlags, 0, ShipCentre(item), kCoverRange);
        if (cover && PartParam(cover) == p1)
            return Stay(r, 1);
        if (cover) {
            Push(r, 8, p1, PartParam(cover), 0, 1);
            r->action = kAIPushWatchLarger;
            r->limit = kHideWatchLimit;
            r->savedSubState = 2;
            return r;
        }
        [[fallthrough]];
    }
    case 2:
        return Stay(r, 1);
    default:
        return Unknown(r);
    }
}

// Moves to the point behind the cover as seen from the threat.
AIStateResult* hd_hideAux(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t p1,
                          int32_t p2, int32_t)
{
    TDP* threat = ParamPart(p1);
    TDP* cover = ParamPart(p2);
    if (!threat || !cover)
        return Pop(r, 0.0f);
    if (sub > 1)
        return Unknown(r);
    const float d = 4.0f * cover->radius + ShipRadius(item);
    Vector3 u = Sub(cover->worldCentre, threat->worldCentre);
    VecNormalise(u);
    const Vector3 hide = Add(cover->worldCentre, Scale(u, d));
    const Vector3 centre = ShipCentre(item);
    if (VecLength(Sub(centre, cover->worldCentre)) < d / 2.0f)
        return Push(r, 6, p2, 0, 0, 1);
    MoveToPoint(item, hide.x, hide.y, hide.z, nullptr, kHideTolerance);
    if (VecLength(Sub(centre, hide)) <= ShipRadius(item))
        return Pop(r, 1.0f);
    if (!(cover->flags & kTdpInUse))
        return Pop(r, 0.0f);
    return Stay(r, 1);
}

// Flies out along the line from the part through the ship: 1.0 at twice
// the starting distance, 0 back inside half of it.
AIStateResult* hd_moveAway(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                           int32_t p1, int32_t, int32_t)
{
    TDP* part = ParamPart(p1);
    if (!part)
        return Pop(r, 0.0f);
    const Vector3 c = part->worldCentre;
    const Vector3 centre = ShipCentre(item);
    switch (sub) {
    case 0:
    case 1: {
        const int32_t d0 = CutToInt(VecLength(Sub(centre, c)));
        timers[1] = d0;
        timers[0] = d0 / 2;
        timers[2] = CutToInt(2.0 * d0);
        return Stay(r, 2);
    }
    case 2: {
        const float range = std::max(2.0f * static_cast<float>(timers[2]), kMinEscape);
        Vector3 out = Sub(centre, c);
        VecNormalise(out);
        const Vector3 escape = Add(c, Scale(out, range));
        MoveToPoint(item, escape.x, escape.y, escape.z, nullptr, kHideTolerance);
        const int32_t d = CutToInt(VecLength(Sub(centre, c)));
        if (d < timers[0])
            return Pop(r, 0.0f);
        if (d > timers[2])
            return Pop(r, 1.0f);
        return Stay(r, 2);
    }
    default:
        return Unknown(r);
    }
}

// ---- Drones

// Flies straight on, accelerating up to the speed of parameter 1.
AIStateResult* DroneTarget(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t p1,
                           int32_t, int32_t)
{
    if (sub > 1)
        return Unknown(r);
    Sim* sim = item->sim;
    sim->thrust = {};
    if (sim->speed < static_cast<float>(p1) && sim->flightModel)
        sim->thrust.z = sim->flightModel->acceleration;
    return Stay(r, 1);
}

// Flies beside its leader (parameter 1 when it names a live item).
AIStateResult* DroneMovingTarget(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*,
                                 int32_t p1, int32_t, int32_t)
{
    Sim* sim = item->sim;
    if (SceneItem* named = ParamItem(p1); IsLiveItem(named) && named != item) {
        sim->target = named;
        sim->secondTarget = named;
    }
    SceneItem* leader = sim->secondTarget;
    if (!leader || !leader->sim)
        return Pop(r, 0.0f);
    if (sub > 1)
        return Unknown(r);
    if (!IsLiveItem(leader) || !sim->flightModel)
        return Pop(r, 0.0f);
    const Vector3 aim = Sub(Translation(leader->sim), Scale(AxisX(sim->matrix), 2.0f * leader->sim->radius));
    const Vector3 local = IntoFrame(Sub(aim, Translation(sim)), sim->matrix);
    TurnTowardDirection(item, local, sim->flightModel);
    sim->thrust.z = sim->flightModel->acceleration;
    return Stay(r, 1);
}

// Waits at rest until the player's ship comes within parameter 2 (0: at
// once), then chases it to its proximity fuse.
AIStateResult* DroneChasingTarget(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*,
                                  int32_t, int32_t p2, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* player = gPlayerItem;
    sim->secondTarget = player;
    if (!player || !player->sim || !sim->flightModel)
        return Pop(r, 0.0f);
    if (item->avatar)
        item->avatar->escort = player;
    const float d = VecFastLength(Offset(sim->position, player->sim->position));
    switch (sub) {
    case 0:
    case 1:
        // Asleep it brakes to rest; the waking call already turns to chase.
        if (p2 != 0 && d > static_cast<float>(p2)) {
            SteerToVelocity(item, Vector3{}, sim->flightModel);
            return Stay(r, 1);
        }
        [[fallthrough]];
    case 2: {
        if (!(player->flags & kItemInUse))
            return Pop(r, 0.0f);
        const float accel = sim->flightModel->acceleration;
        const Vector3 toward = IntoFrame(Offset(sim->position, player->sim->position), sim->matrix);
        const float p = TurnTowardDirection(item, toward, sim->flightModel);
        const Vector3 rel = IntoFrame(Sub(sim->velocity, player->sim->velocity), sim->matrix);
        sim->localVelocity = rel;
        sim->thrust.x = Clamp(-rel.x, kDroneSideShare * accel);
        sim->thrust.y = Clamp(-rel.y, kDroneSideShare * accel);
        const float k = d > kDroneSlowDistance ? 1.0f : 0.1f + 0.9f * d / kDroneSlowDistance;
        sim->thrust.z = Clamp(kDroneClosingSpeed * k * p * p - rel.z, accel);
        CheckMissileFuse(item, player, d);
        return Stay(r, 2);
    }
    default:
        return Unknown(r);
    }
}
