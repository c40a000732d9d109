// The escort, follower, guard and special states. They fly through the
// steering helpers, fire through the weapons module and hand long journeys
// to AchieveRange and LDSFlight (ai/movementstates.h).
#include "ai/escortstates.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/combat.h"
#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "ai/movementstates.h"
#include "ai/orders.h"
#include "ai/statesteps.h"
#include "ai/steering.h"
#include "ai/weapons.h"
#include "script/conditions.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "ui/hud.h"
#include "world/behaviours.h"
#include "world/pools.h"
#include "world/encounters.h"
#include "world/itemmessages.h"
#include "world/lds.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/scenelist.h"
#include "world/steering.h"

using namespace aistep;

namespace {

// The bus routes: the approach range when none is given, and the distance
// at which the non-stopping route takes the next waypoint.
constexpr int32_t kBusRange = 500000;
constexpr float kBusPassDistance = 100000.0f;
// Loiter: the chance of a new place (1 in 30), how far off it first
// approaches, the side step of the circle, its speed and the time (ticks)
// between decisions.
constexpr int32_t kLoiterChance = 30;
constexpr float kLoiterSideStep = 35000.0f;
constexpr float kLoiterSpeed = 35000.0f;
constexpr int32_t kLoiterDecisionTicks = 600;
// Capsule: the distance beyond which it approaches first, and that range.
constexpr double kCapsuleFar = 150000.0;
constexpr int32_t kCapsuleRange = 10000;
constexpr uint16_t kSceneItemDeleteOnJump = 0x2000;
// Gun platforms: the firing range below which there is no limit, the
// search range, the retarget and re-plan times and the chance of a shot.
constexpr int32_t kUnlimitedRangeBelow = 10001;
constexpr float kGuardSearch = 1e8f;
constexpr int32_t kRetargetTicks = 100;
constexpr int32_t kReplanTicks = 200;
constexpr int32_t kPlanGuard = 22;
// Missiles: the guided missile's re-plan time, the dumb missile's life and
// its search.
constexpr int32_t kMissileReplanTicks = 300;
constexpr int32_t kSeekerLife = 15000;
constexpr uint32_t kSeekerInclude = 0x8004;
constexpr uint32_t kSeekerExclude = 0x4000050;
constexpr float kSeekerSearch = 5000000.0f;
// Followers: the weapons range factor, and the LDS range of a follower far
// behind its leader.
constexpr float kFollowerRangeFactor = 30.0f;
constexpr int32_t kFollowerLdsRange = 500000;
constexpr float kAggroRange = 100000.0f;
constexpr float kAggroAligned = 0.9f;
constexpr uint32_t kClassNotDefended = 0x4000000;
// The script symbol naming the base a defence net guards.
constexpr const char* kDefNetBaseSymbol = "INDIEBase";
// Harpoon: the reach of the tow.
constexpr double kHarpoonReach = 200000.0;
// Watch: the search every tenth call, the rest after an alarm (ticks).
constexpr int32_t kWatchSearchEvery = 10;
constexpr int32_t kWatchRestTicks = 9000;
constexpr double kDefNetGap = 100000.0;

float RandomBelow(int32_t n) { return static_cast<float>(CRand() % n); }

// The point of an item's Sim, and steering onto it moving with it.
float SteerOnto(SceneItem* item, SceneItem* other)
{
    const Vector3 p = Translation(other->sim);
    const Vector3 velocity = other->sim->velocity;
    return SteerToPoint(item, p.x, p.y, p.z, &velocity, nullptr, nullptr);
}

// The offset from the item to the other in the item's own axes, as the
// mount choice and the arc test take it.
Vector3 OffsetInOwnFrame(const SceneItem* item, const SceneItem* other)
{
    return IntoFrame(Offset(item->sim->position, other->sim->position), item->sim->matrix);
}

// Fires along the direction of the enemy.
void FireAt(SceneItem* item, SceneItem* enemy)
{
    if (!IsLiveItem(enemy))
        return;
    const Vector3 to = OffsetInOwnFrame(item, enemy);
    FireAlongDirection(item, to.x, to.y, to.z, enemy);
}

// Whoever attacked the item while the attack heat lasts, or null.
SceneItem* Attacker(const SceneItem* item)
{
    if (!item || !item->avatar || item->avatar->lockedAmount <= 0)
        return nullptr;
    SceneItem* attacker = item->avatar->lockedOn;
    return IsLiveItem(attacker) ? attacker : nullptr;
}

// The item a follower follows: the one its order names in parameter 1 (the
// commander of "follow me", the target of "form on"), else its group
// leader.
SceneItem* LeaderOf(const SceneItem* item, int32_t p1)
{
    if (SceneItem* named = ParamItem(p1))
        return named;
    const ShipInfo* info = item->sim->shipInfo;
    return info ? info->leader.Get() : nullptr;
}

// The range a follower keeps from its leader.
float FollowRange(const SceneItem* item, const SceneItem* leader)
{
    return 2.0f * (item->sim->radius + leader->sim->radius) + 50000.0f;
}

} // namespace

int32_t WatchValue(const SceneItem* item) { return item && item->sim ? item->sim->hull : 0; }

// ---- Escorts and followers

// Stays in the band between half the range and the range from the escorted
// item; follows it into LDS unless parameter 3 forbids.
AIStateResult* EscortState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t p1,
                           int32_t p2, int32_t p3)
{
    Sim* sim = item->sim;
    SceneItem* escorted = ParamItem(p2);
    if (!IsLiveItem(escorted))
        escorted = sim->target;
    if (!IsLiveItem(escorted) || escorted == item)
        return Pop(r, 0.0f);
    const double range = p1;
    const double d = Distance(item, escorted);
    const bool inBand = d < range && d > range / 2.0;
    switch (sub) {
    case 0:
    case 1: {
        if (item->avatar) {
            const float kept = item->avatar->range;
            item->avatar->range = static_cast<float>(range);
            SteerOnto(item, escorted);
            item->avatar->range = kept;
        } else {
            SteerOnto(item, escorted);
        }
        if (WantsLdsToTarget(item, escorted)) {
            sim->target = escorted;
            return Stay(r, 3);
        }
        return Stay(r, inBand ? 2 : 1);
    }
    case 2:
        SteerToVelocity(item, escorted->sim->velocity, sim->flightModel);
        if (escorted->sim->flags & kSimLdsEngaged)
            return Stay(r, 3);
        return Stay(r, inBand ? 2 : 1);
    case 3:
        if (p3)
            return Pop(r, 1.0f);
        if (!EngageLds(item))
            return Stay(r, 1);
        sim->target = escorted;
        return Push(r, 71, 0, CutToInt(5.0 * range), 1, 4);
    case 4:
        return Stay(r, 1);
    default:
        return Unknown(r);
    }
}

// Escorts its leader turned toward it.
AIStateResult* AggroEscortState(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t,
                                int32_t, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* leader = sim->secondTarget;
    if (!IsLiveItem(leader))
        return Pop(r, 0.0f);
    if (Distance(item, leader) > kAggroRange)
        SteerOnto(item, leader);
    else
        SteerToVelocity(item, leader->sim->velocity, sim->flightModel);
    const Vector3 to = IntoFrame(Offset(sim->position, leader->sim->position), sim->matrix);
    const float aligned = TurnTowardDirection(item, to, sim->flightModel);
    if (aligned >= kAggroAligned)
        FireAt(item, Attacker(leader));
    return Stay(r, 1);
}

// Follows its leader; with the player's ship as leader it is a player
// follower; without a leader it fights the best enemy.
AIStateResult* CombatFollower(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t p1,
                              int32_t, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* leader = LeaderOf(item, p1);
    if (leader && leader == gPlayerItem)
        return Push(r, 43, ItemParam(leader), 0, 0, 1);
    if (!IsLiveItem(leader) || (leader->avatar && (leader->avatar->classFlags & kClassNotDefended))) {
        SceneItem* enemy = PickBestEnemy(item);
        if (!enemy)
            return Pop(r, 0.0f);
        SteerOnto(item, enemy);
        FireAt(item, enemy);
        return Stay(r, 1);
    }
    const float range = FollowRange(item, leader);
    if (Distance(item, leader) > 10.0 * range && WantsLdsToTarget(item, leader)) {
        sim->target = leader;
        return Push(r, 71, ItemParam(leader), kFollowerLdsRange, 0, 1);
    }
    SteerOnto(item, leader);
    FireAt(item, Attacker(leader));
    return Stay(r, 1);
}

// Follows its commander (parameter 1, else its group leader) and fights
// whoever attacks it or the commander. Without a commander (it died) the order ends: a debug line,
// and a pop with 0.
AIStateResult* PlayerFollower(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t p1,
                              int32_t, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* commander = LeaderOf(item, p1);
    if (!IsLiveItem(commander)) {
        DebugPrint("kqzai_FollowPlayerState - no leader\n");
        return Pop(r, 0.0f);
    }
    const FlightModel* model = sim->flightModel;
    const float range = FollowRange(item, commander) * kFollowerRangeFactor /
                        (1.0f + (model ? std::fabs(model->turnTime) : 0.0f));
    if (item->avatar)
        item->avatar->range = range;
    SceneItem* enemy = commander->sim->secondTarget;
    if (SceneItem* a = Attacker(commander))
        enemy = a;
    if (SceneItem* a = Attacker(item))
        enemy = a;
    if (enemy != item && enemy != commander)
        FireAt(item, enemy);
    if (Distance(item, commander) > range) {
        SteerOnto(item, commander);
    } else {
        SteerToVelocity(item, commander->sim->velocity, sim->flightModel);
        const Vector3 heading = IntoFrame(AxisZ(commander->sim->matrix), sim->matrix);
        TurnTowardDirection(item, heading, sim->flightModel);
    }
    return Stay(r, 1);
}

// ---- Guards and hard-point defences

namespace {

// The gun platform's masks by ShipInfo type when the order gives none.
struct GuardMasks {
    uint32_t include, exclude;
};
constexpr GuardMasks kGuardMasksByType[] = {
    {0x40000004, 64}, {0x40000004, 192}, {0x40000004, 832}, {0x40000004, 832}};

GuardMasks GuardMasksOf(const SceneItem* item, int32_t p1, int32_t p2)
{
    if (p1 || p2)
        return {static_cast<uint32_t>(p1), static_cast<uint32_t>(p2)};
    const ShipInfo* info = item->sim->shipInfo;
    const int kind = info ? info->kind : -1;
    if (kind >= 0 && kind < static_cast<int>(std::size(kGuardMasksByType)))
        return kGuardMasksByType[kind];
    return {0x40000004, 0};
}

} // namespace

// A gun platform: holds its place, gives every mount a target and fires.
AIStateResult* UmovingGuardState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                                 int32_t p1, int32_t p2, int32_t p3)
{
    Sim* sim = item->sim;
    StopInPlace(item);
    SceneItem* enemy = Attacker(item);
    switch (sub) {
    case 0:
    case 1:
        timers[0] = static_cast<int32_t>(RandomBelow(200));
        timers[1] = static_cast<int32_t>(RandomBelow(200));
        [[fallthrough]];
    case 3: {
        // Each mount its own target: the enemy, else the nearest item of the
        // masks that lies in that mount's arc.
        const GuardMasks masks = GuardMasksOf(item, p1, p2);
        for (Weapon* mount = sim->weapons; mount; mount = mount->next)
            mount->target = enemy ? enemy
                                  : FindNearestVisibleItem(nullptr, masks.include, masks.exclude, item, kGuardSearch,
                                                           mount->directionCode);
        timers[0] = 0;
        return Stay(r, 4);
    }
    case 4: {
        for (Weapon* mount = sim->weapons; mount; mount = mount->next) {
            SceneItem* target = mount->target;
            if (!IsLiveItem(target) || CRand() % 5 == 0)
                continue;
            if (p3 >= kUnlimitedRangeBelow && Distance(item, target) > p3)
                continue;
            const Vector3 to = OffsetInOwnFrame(item, target);
            if (WeaponInFiringArc(item, to.x, to.y, to.z, mount->directionCode, mount))
                FireWeapon(target, to.x, to.y, to.z, item, mount);
        }
        timers[0] += gFrameClock.frameTicks;
        timers[1] += gFrameClock.frameTicks;
        if (timers[0] > kRetargetTicks)
            return Stay(r, 3);
        if (timers[1] > kReplanTicks)
            return Stay(r, 2);
        return Stay(r, 4);
    }
    case 2: {
        const int32_t plan = PlanAttackRun(item, enemy);
        if (plan == kPlanGuard || plan == -1) {
            timers[1] = 0;
            return Stay(r, 4);
        }
        return Pop(r, 0.0f);
    }
    default:
        return Unknown(r);
    }
}

// A defence-net gun: holds position, turns toward the nearest item of its
// masks within reach and fires along its nose. As it starts, the base the
// net guards (the mission's "INDIEBase", when it names one) is marked on
// the HUD.
AIStateResult* DefNetGuardState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t p1,
                                int32_t p2, int32_t)
{
    Sim* sim = item->sim;
    if (sub == 0)
        if (SceneItem* base = SymbolObject(FindScriptSymbol(kDefNetBaseSymbol)); IsLiveItem(base))
            if (HUD* marker = AllocHUD()) {
                InitPositionMarkerHud(marker, base, 0);
                RegisterHud(marker);
            }
    StopInPlace(item);
    ClearControlDemands(item);
    SceneItem* nearest = FindNearestItemByFlags(nullptr, static_cast<uint32_t>(p1), static_cast<uint32_t>(p2), item, 0.0f);
    if (nearest && GetSurfaceDistance(item, nearest) < kDefNetGap) {
        TurnTowardDirection(item, OffsetInOwnFrame(item, nearest), sim->flightModel);
        FireAt(item, nearest);
    }
    return Stay(r, 1);
}

namespace {

// Hard-point defences: the first two fitted hard points get enemy targets
// and fire along the direction to them (in the ship's own axes, turned
// about its X axis by `turn` degrees); answers how many bore.
int32_t DefendWithHardPoints(SceneItem* item, float turn)
{
    ShipInfo* info = item->sim->shipInfo;
    if (!info || info->hardPointCount < 2)
        return 0;
    int32_t fired = 0;
    for (int32_t n = 0; n < 2; ++n) {
        AssignHardPointTarget(item, n, EnemyClassMask(item), 0);
        SceneItem* target = info->hardPoints[n].target;
        if (!IsLiveItem(target))
            continue;
        Vector3 to = OffsetInOwnFrame(item, target);
        if (turn != 0.0f)
            VecRotX(to, turn, to);
        FireAlongDirection(item, to.x, to.y, to.z, target);
        ++fired;
    }
    return fired;
}

// Turns the ship so that both of its first two hard points bear: rolled
// until the line from the lower point's target to the upper point's runs
// along its up axis (each point guards its half of the ship), and the nose
// on the middle between the two, so that they lie on either side.
void PointHardPointsAtTargets(SceneItem* item)
{
    const ShipInfo* info = item->sim->shipInfo;
    if (!info || info->hardPointCount < 2)
        return;
    SceneItem* lower = info->hardPoints[0].target;
    SceneItem* upper = info->hardPoints[1].target;
    if (!IsLiveItem(lower) || !IsLiveItem(upper) || lower == upper)
        return;
    Vector3 below = OffsetInOwnFrame(item, lower);
    Vector3 above = OffsetInOwnFrame(item, upper);
    if (VecNormalise(below) == 0.0f || VecNormalise(above) == 0.0f)
        return;
    Vector3 across = Sub(above, below);
    Vector3 middle = Add(above, below);
    if (VecNormalise(across) == 0.0f || VecNormalise(middle) == 0.0f)
        return;
    const FlightModel* model = item->sim->flightModel;
    const float share = SteerRoll(item, -AimAngle(across.x, across.y), model);
    const float yawShare = SteerYaw(item, -AimAngle(middle.x, middle.z), model, share);
    SteerPitch(item, AimAngle(middle.y, middle.z), model, yawShare);
}

} // namespace

AIStateResult* LDADeffTwo(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t, int32_t,
                          int32_t)
{
    StopInPlace(item);
    DefendWithHardPoints(item, 0.0f);
    PointHardPointsAtTargets(item);
    return Stay(r, 1);
}

AIStateResult* RotationalDeff(AIStateResult* r, SceneItem* item, int16_t, float, int32_t* timers, int32_t,
                              int32_t, int32_t)
{
    StopInPlace(item);
    timers[0] = (timers[0] + gFrameClock.frameTicks) % 360;
    DefendWithHardPoints(item, static_cast<float>(timers[0]));
    return Stay(r, 1);
}

// Gives every fitted hard point a target of the masks, once.
AIStateResult* DeflectorState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t p1,
                              int32_t p2, int32_t)
{
    if (sub > 1)
        return Unknown(r);
    if (ShipInfo* info = item->sim->shipInfo)
        for (int32_t n = 0; n < std::min<int32_t>(4, info->hardPointCount); ++n)
            if (info->hardPoints[n].condition > 0)
                AssignHardPointTarget(item, n, static_cast<uint32_t>(p1), static_cast<uint32_t>(p2));
    return Pop(r, 1.0f);
}

// Posts the blast to its target once, then stays.
AIStateResult* BigBombState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                            int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (sub <= 1 && IsLiveItem(target))
        PostItemMessage(item->receiver, target->receiver, 0, kMsgBlast, 0, nullptr);
    return Stay(r, 2);
}

// ---- Missiles and capsules

AIStateResult* MissileState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                            int32_t, int32_t, int32_t)
{
    switch (sub) {
    case 0:
    case 1:
        timers[0] = 0;
        [[fallthrough]];
    case 2:
        SteerHomingMissile(item);
        timers[0] += gFrameClock.frameTicks;
        return Stay(r, timers[0] > kMissileReplanTicks ? 3 : 2);
    case 3:
        timers[0] = 0;
        if (PlanAttackRun(item, item->sim->target) == kPlanGuard)
            return Stay(r, 2);
        return Pop(r, 0.0f);
    default:
        return Unknown(r);
    }
}

// A seeker: finds an armed ship near it and homes on it until its life
// runs out, then destroys itself.
AIStateResult* DumbMissileState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t,
                                int32_t, int32_t)
{
    Sim* sim = item->sim;
    switch (sub) {
    case 0:
    case 1:
        sim->ldsSpool = kSeekerLife;
        return Stay(r, 2);
    case 2: {
        for (SceneItem* other = gSceneList.next; other != &gSceneList; other = other->next)
            if (other != item && other->avatar && (other->avatar->classFlags & kClassMissile) &&
                other->sim && gPlayerItem && other->sim->secondTarget.Is(gPlayerItem)) {
                StopInPlace(item);
                return Stay(r, 2);
            }
        SceneItem* prey = FindNearestItemByFlags(nullptr, kSeekerInclude, 0, item, kSeekerSearch);
        if (prey && prey->avatar && !(prey->avatar->classFlags & kSeekerExclude) && prey->sim->weapons) {
            sim->target = prey;
            sim->secondTarget = prey;
            return Stay(r, 3);
        }
        StopInPlace(item);
        return Stay(r, 2);
    }
    case 3:
        SteerHomingMissile(item);
        if (sim->ldsSpool < 1) {
            HitPayload hit{};
            hit.attacker = ItemHandle(item);
            NoteItemDestroyed(item, &hit);
            PostItemMessage(item->receiver, item->receiver, 0, kMsgHit, hit);
        }
        return Stay(r, 3);
    default:
        return Unknown(r);
    }
}

// Closes on the target, then jumps away (or is removed): parameter 1 names
// the star system it jumps to, the jump start's payload.
AIStateResult* CapsuleState(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t*, int32_t p1,
                            int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (sub <= 1 && IsLiveItem(target) && Distance(item, target) > kCapsuleFar)
        return Push(r, 47, kCapsuleRange, ItemParam(target), 0, 2);
    if (static_cast<uint16_t>(item->flags) & kSceneItemDeleteOnJump) {
        PostItemMessage(item->receiver, item->receiver, 0, kMsgDelete, 0, nullptr);
    } else {
        const int32_t system = p1;
        PostItemMessage(item->receiver, item->receiver, 0, kMsgJumpStart, system);
    }
    return Pop(r, 1.0f);
}

// ---- Bus routes, loitering, harpoon, watch

namespace {

// The waypoint of the route's symbol name with its trailing digits
// replaced by `number`; null when no such symbol names an item.
SceneItem* Waypoint(const ScriptSymbol* route, int32_t number, bool& exists)
{
    char name[96];
    size_t length = std::strlen(route->name);
    while (length > 0 && std::isdigit(static_cast<unsigned char>(route->name[length - 1])))
        --length;
    length = std::min(length, sizeof name - 16);
    std::memcpy(name, route->name, length);
    std::snprintf(name + length, sizeof name - length, "%i", number);
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    exists = symbol != nullptr;
    return symbol ? SymbolObject(symbol) : nullptr;
}

// The route's symbol: the script names a waypoint (its parameter is that
// item, as any item operand of an order is), and the route is the name the
// script gave it; null when no symbol names the item.
const ScriptSymbol* RouteSymbol(int32_t parameter)
{
    const SceneItem* waypoint = ParamItem(parameter);
    if (!waypoint)
        return nullptr;
    for (uint32_t i = 0; const ScriptSymbol* symbol = ScriptSymbolAt(i); ++i)
        if ((symbol->type & kSymbolSceneItem) && SymbolObject(symbol) == waypoint)
            return symbol;
    return nullptr;
}

// The route's walk: timer 0 the number, timer 1 the waypoint. Sub-state 4
// looks the waypoint up (the chain starts over at 0 when there is none).
AIStateResult* BusStep(AIStateResult* r, SceneItem* item, int16_t sub, int32_t* timers, int32_t p1, int32_t p2,
                       int32_t p3, bool stopping)
{
    const ScriptSymbol* route = RouteSymbol(p1);
    if (!route)
        return Pop(r, 0.0f);
    const int32_t range = p3 ? p3 : kBusRange;
    switch (sub) {
    case 0:
    case 1:
        timers[0] = p2;
        [[fallthrough]];
    case 4: {
        bool exists = false;
        SceneItem* waypoint = Waypoint(route, timers[0], exists);
        if (!exists || !waypoint) {
            timers[0] = 0;
            if (!stopping)
                StopInPlace(item);
            return Stay(r, 4);
        }
        timers[1] = ItemParam(waypoint);
        return Stay(r, 2);
    }
    case 2: {
        SceneItem* waypoint = ParamItem(timers[1]);
        if (!IsLiveItem(waypoint))
            return Stay(r, 4);
        if (stopping)
            return Push(r, 47, range, timers[1], 0, 3);
        Sim* sim = item->sim;
        const Vector3 to = IntoFrame(Offset(sim->position, waypoint->sim->position), sim->matrix);
        TurnTowardDirection(item, to, sim->flightModel);
        if (sim->flightModel)
            sim->thrust = {0.0f, 0.0f, sim->flightModel->acceleration};
        if (Distance(item, waypoint) > kBusPassDistance)
            return Stay(r, 2);
        [[fallthrough]];
    }
    case 3:
        ++timers[0];
        return BusStep(r, item, 4, timers, p1, p2, p3, stopping);
    default:
        return Unknown(r);
    }
}

} // namespace

AIStateResult* BusDriver(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers, int32_t p1,
                         int32_t p2, int32_t p3)
{
    return BusStep(r, item, sub, timers, p1, p2, p3, true);
}

AIStateResult* BusDriverNotStopping(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers,
                                    int32_t p1, int32_t p2, int32_t p3)
{
    return BusStep(r, item, sub, timers, p1, p2, p3, false);
}

// Circles a place, now and then moving on to another encounter source.
// Timer 0 the place, timer 1 the range, timer 2 the clock.
AIStateResult* Loiter(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers, int32_t p1,
                      int32_t p2, int32_t)
{
    Sim* sim = item->sim;
    switch (sub) {
    case 0:
    case 1: {
        SceneItem* place = ParamItem(p1);
        timers[0] = ItemParam(IsLiveItem(place) ? place : sim->target.Get());
        [[fallthrough]];
    }
    case 2: {
        SceneItem* place = ParamItem(timers[0]);
        if (!IsLiveItem(place))
            return Pop(r, 0.0f);
        timers[1] = p2 ? p2 : CutToInt(2.0 * place->sim->radius + sim->radius + 100000.0);
        return Stay(r, 3);
    }
    case 3: {
        SceneItem* place = ParamItem(timers[0]);
        if (!IsLiveItem(place))
            return Pop(r, 0.0f);
        if (CRand() % kLoiterChance == 0) {
            SceneItem* next = PickEncounterSource(item, place);
            if (next && next != place) {
                timers[0] = ItemParam(next);
                return Stay(r, 2);
            }
            return Stay(r, 3);
        }
        if (Distance(item, place) > 4.0 * timers[1])
            return Push(r, 47, CutToInt(2.0 * timers[1]), timers[0], 0, 4);
        timers[2] = 0;
        return Stay(r, 4);
    }
    case 4: {
        SceneItem* place = ParamItem(timers[0]);
        if (!IsLiveItem(place))
            return Pop(r, 0.0f);
        Vector3 n = Offset(sim->position, place->sim->position);
        VecNormalise(n);
        Vector3 s;
        VecCross(AxisX(sim->matrix), n, s);
        const float range = static_cast<float>(timers[1]);
        const Vector3 q = Add(Sub(Translation(place->sim), Scale(n, range)), Scale(s, kLoiterSideStep));
        const Vector3 nl = IntoFrame(n, sim->matrix);
        const Vector3 sl = IntoFrame(s, sim->matrix);
        SteerRoll(item, -AimAngle(nl.x, nl.y), sim->flightModel);
        SteerPitch(item, AimAngle(sl.y, sl.z), sim->flightModel, 1.0f);
        sim->flags |= kSimTurnOncePerFrame;
        SteerToPoint(item, q.x, q.y, q.z, nullptr, nullptr,
                     [](SceneItem*, FlightModel*, float) { return kLoiterSpeed; });
        timers[2] += gFrameClock.frameTicks;
        return Stay(r, timers[2] > kLoiterDecisionTicks ? 3 : 4);
    }
    default:
        return Unknown(r);
    }
}

// Holds the harpooned item while it is within reach: the ship goes on the
// harpoon's line, held at the tether's length from the item.
AIStateResult* HarpoonTargetedState(AIStateResult* r, SceneItem* item, int16_t, float, int32_t*, int32_t,
                                    int32_t, int32_t)
{
    SceneItem* harpooned = item->sim->target;
    if (!IsLiveItem(harpooned) || Distance(item, harpooned) > kHarpoonReach)
        return Pop(r, 0.0f);
    if (item->perFrame != KeepTetherDistance)
        TetherToItem(harpooned, item);
    return Stay(r, 1);
}

// Watches a group for a value above the threshold held for a time, then
// sets its own group on the watched item.
AIStateResult* Watch(AIStateResult* r, SceneItem* item, int16_t sub, float, int32_t* timers, int32_t p1,
                     int32_t p2, int32_t p3)
{
    SceneItem* watched = ParamItem(timers[0]);
    const int32_t ticks = gFrameClock.frameTicks;
    switch (sub) {
    case 0:
    case 1:
        if (++timers[1] % kWatchSearchEvery != 0)
            return Stay(r, 1);
        for (SceneItem* other = item->next; other && other != &gSceneList; other = other->next)
            if (other->sim && other->sim->shipInfo && other->sim->shipInfo->group == p1 &&
                WatchValue(other) > p2) {
                timers[0] = ItemParam(other);
                timers[2] = 0;
                return Stay(r, 2);
            }
        return Stay(r, 1);
    case 2:
        if (!IsLiveItem(watched))
            return Stay(r, 1);
        if (WatchValue(watched) <= p2)
            return Stay(r, 3);
        timers[2] += ticks;
        return Stay(r, timers[2] >= p3 ? 4 : 2);
    case 3:
        if (!IsLiveItem(watched))
            return Stay(r, 1);
        if (WatchValue(watched) > p2)
            return Stay(r, 2);
        timers[2] -= ticks;
        return Stay(r, timers[2] < 0 ? 1 : 3);
    case 4: {
        const ShipInfo* own = item->sim->shipInfo;
        const uint32_t handle = ItemHandle(watched);
        for (SceneItem* other = gSceneList.next; own && other != &gSceneList; other = other->next)
            if (other->sim && other->sim->shipInfo && other->sim->shipInfo->group == own->group)
                PostItemMessage(item->receiver, other->receiver, 0, kMsgSetTarget, handle);
        timers[2] = 0;
        return Stay(r, 5);
    }
    case 5:
        timers[2] += ticks;
        return Stay(r, timers[2] >= kWatchRestTicks ? 1 : 5);
    default:
        return Unknown(r);
    }
}
