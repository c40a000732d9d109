// The AI combat states. Each call drives the ship a step and answers through
// its step record. Sub-state 0 (a fresh order) is taken as 1; a sub-state a
// state does not know answers value 0 and resumes at 1.
#include "ai/statesteps.h"
#include "ai/combatstates.h"

#include <algorithm>
#include <cmath>

#include "ai/combathelpers.h"
#include "ai/orders.h"
#include "ai/steering.h"
#include "ai/weapons.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "world/lds.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/steering.h"

namespace {

constexpr int32_t kTailBiting = 30;
constexpr int32_t kFaceAttack = 31;
constexpr int32_t kCombatState = 33;
constexpr int32_t kOffClose = 20;
constexpr int32_t kOffFireAtWill = 21;
constexpr int32_t kRetaliation = 26;
constexpr int32_t kPlayerFollower = 43;
constexpr int32_t kCombatOnce = 44;
constexpr int32_t kAchieveRange = 47;
constexpr int32_t kFlee = 59;
constexpr int32_t kLdsFlight = 71;
constexpr uint32_t kSimStances = 0x400 | 0x800 | 0x1000;
constexpr uint32_t kSimStanceFight = 0x400;
constexpr uint32_t kSimStanceOnce = 0x1000;
constexpr uint32_t kSimTurnedThisFrame = 0x2000;
constexpr uint32_t kSimLdsBarredFlag = 0x100;
constexpr float kTailDistance = 150000.0f; // behind the enemy, beyond its radius
constexpr float kFaceRange = 200000.0f;    // beyond both radii
constexpr float kFleeBrakeBeyond = 1050000.0f;
constexpr float kFleeDamageRatio = 0.4f;
constexpr float kFullThrustFrom = 100000.0f;
constexpr int32_t kFireAtWillShots = 4;
constexpr int32_t kCloseTicks = 126;
constexpr int32_t kAchieveRangeState = 32;
constexpr float kAchieveWeaponsRange = 200000.0f;
constexpr int32_t kAchieveChecksEvery = 12; // calls between LDS checks
constexpr int32_t kAchieveTicks = 250;      // before the planner is asked again
constexpr float kPassAligned = 0.9f;
constexpr float kPassBrakeUntil = 2500.0f;

using aistep::Pop;
using aistep::Push;
using aistep::Stay;
using aistep::Unknown;


bool Live(const SceneItem* other) { return other && (other->flags & kItemInUse) && other->sim; }

SceneItem* ItemParameter(int32_t parameter)
{
    SceneItem* other = parameter ? ItemFromHandle(static_cast<SceneItemHandle>(parameter)) : nullptr;
    return Live(other) ? other : nullptr;
}

// The enemy of a manoeuvre: the given item (made leader) or the leader; an
// attacker fought while the attack heat lasts.
SceneItem* ManoeuvreEnemy(SceneItem* item, int32_t parameter)
{
    Sim* sim = item->sim;
    if (SceneItem* given = ItemParameter(parameter))
        sim->secondTarget = given;
    SceneItem* enemy = sim->secondTarget;
    SceneItem* attacker = item->avatar->lockedOn;
    if (item->avatar->lockedAmount > 0 && Live(attacker) && attacker != item)
        enemy = attacker;
    return Live(enemy) ? enemy : nullptr;
}

Vector3 Offset(const SceneItem* from, const SceneItem* to)
{
    const WorldPosition& a = from->sim->position;
    const WorldPosition& b = to->sim->position;
    return {static_cast<float>(b.x - a.x), static_cast<float>(b.y - a.y), static_cast<float>(b.z - a.z)};
}

// A world offset in the ship's own axes.
Vector3 Local(const SceneItem* item, const Vector3& world)
{
    Vector3 local;
    VecMulMat3T(local, world, item->sim->matrix);
    return local;
}

Vector3 Forward(const Matrix4& m) { return {m.m[8], m.m[9], m.m[10]}; }

// Turns the mount onto the local offset and fires at the target when it
// bears; answers whether it fired.
bool AimAndFire(SceneItem* item, SceneItem* target, Weapon* mount, const Vector3& local)
{
    if (!mount)
        return false;
    Matrix4 frame;
    Vector3 forward = local, up{0.0f, 1.0f, 0.0f}, right;
    BuildMountFrame(mount->directionCode, &frame, &forward, &up, &right);
    SteerToDirection(item, frame);
    if (!WeaponInFiringArc(item, local.x, local.y, local.z, mount->directionCode, mount))
        return false;
    FireWeapon(target, local.x, local.y, local.z, item, mount);
    return true;
}

// Fires the mount nearest the target's direction when it bears (no turn).
void FireWhatBears(SceneItem* item, SceneItem* target)
{
    const Vector3 local = Local(item, Offset(item, target));
    Weapon* mount = ChooseAnyMountForDirection(local.x, local.y, local.z, item->sim->weapons);
    if (!mount)
        return;
    item->sim->currentWeapon = mount;
    if (WeaponInFiringArc(item, local.x, local.y, local.z, mount->directionCode, mount))
        FireWeapon(target, local.x, local.y, local.z, item, mount);
}

float FlightAcceleration(const SceneItem* item)
{
    return item->sim->flightModel ? item->sim->flightModel->acceleration : 0.0f;
}

// The run loop of CombatState and SelfPreservationState.
AIStateResult* PlanAndPush(AIStateResult* result, SceneItem* item)
{
    Sim* sim = item->sim;
    if (!(sim->flags & kSimStances))
        sim->flags |= kSimStanceFight;
    const int32_t run = PlanAttackRun(item, nullptr);
    if (run > 0)
        return Push(result, run, 0, 0, 0, 1);
    StopInPlace(item);
    return Stay(result, 1);
}

} // namespace

AIStateResult* CombatState(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t, int32_t parameter2, int32_t)
{
    if (SceneItem* enemy = ItemParameter(parameter2))
        item->sim->secondTarget = item->sim->target = enemy;
    if (subState > 1)
        return Unknown(result);
    return PlanAndPush(result, item);
}

AIStateResult* SelfPreservationState(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t, int32_t, int32_t)
{
    if (subState > 1)
        return Unknown(result);
    if (SceneItem* enemy = PickBestEnemy(item))
        item->sim->secondTarget = item->sim->target = enemy;
    return PlanAndPush(result, item);
}

AIStateResult* TailBitingState(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t)
{
    SceneItem* enemy = ManoeuvreEnemy(item, parameter2);
    if (!enemy)
        return Pop(result, 0.0f);
    const Sim& e = *enemy->sim;
    const float behind = parameter1 ? static_cast<float>(parameter1) : e.radius + kTailDistance;
    switch (subState) {
    case 0:
    case 1:
        timers[0] = CRand() % 150;
        [[fallthrough]];
    case 2: {
        const Vector3 nose = Forward(e.matrix);
        SteerToPoint(item, static_cast<float>(e.position.x) - nose.x * behind, static_cast<float>(e.position.y) - nose.y * behind,
                     static_cast<float>(e.position.z) - nose.z * behind, &e.velocity, nullptr, nullptr);
        FireAtWorldPoint(item, static_cast<float>(e.position.x), static_cast<float>(e.position.y), static_cast<float>(e.position.z), enemy);
        timers[0] += gFrameClock.frameTicks;
        return Stay(result, timers[0] <= 149 ? 2 : 3);
    }
    case 3:
        if (parameter2 || PlanAttackRun(item, nullptr) == kTailBiting) {
            timers[0] = 0;
            return Stay(result, 2);
        }
        return Pop(result, 0.0f);
    default:
        return Unknown(result);
    }
}

AIStateResult* FaceAttackState(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t)
{
    SceneItem* enemy = ManoeuvreEnemy(item, parameter2);
    if (!enemy)
        return Pop(result, 0.0f);
    const Sim& e = *enemy->sim;
    const float range = parameter1 ? static_cast<float>(parameter1) : e.radius + kFaceRange + item->sim->radius;
    item->avatar->range = range;
    switch (subState) {
    case 0:
    case 1:
        timers[0] = CRand() % 250;
        [[fallthrough]];
    case 2: {
        const Vector3 offset = Offset(item, enemy);
        if (VecLength(offset) > range)
            SteerToPoint(item, static_cast<float>(e.position.x), static_cast<float>(e.position.y), static_cast<float>(e.position.z), &e.velocity, nullptr, nullptr);
        else
            TurnTowardDirection(item, Local(item, offset), item->sim->flightModel);
        FireAtWorldPoint(item, static_cast<float>(e.position.x), static_cast<float>(e.position.y), static_cast<float>(e.position.z), enemy);
        timers[0] += gFrameClock.frameTicks;
        return Stay(result, timers[0] <= 249 ? 2 : 3);
    }
    case 3:
        if (parameter2 || PlanAttackRun(item, nullptr) == kFaceAttack) {
            timers[0] = 0;
            return Stay(result, 2);
        }
        return Pop(result, 0.0f);
    default:
        return Unknown(result);
    }
}

AIStateResult* esc_Flee(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t, int32_t, int32_t parameter3)
{
    Sim* sim = item->sim;
    ShipInfo* info = sim->shipInfo;
    // Leave by LDS instead, when the caller asked for that and the drive works.
    if (parameter3 == kFleeByLds && info && info->flightModel.ldsTopSpeed > 0.0f && !(sim->flags & kSimLdsBarredFlag))
        return Pop(result, 0.0f);
    switch (subState) {
    case 0:
    case 1:
        timers[0] = CRand() % 250;
        [[fallthrough]];
    case 2: {
        const FlightModel* model = sim->flightModel;
        sim->thrust.z = model && sim->speed < model->topSpeed ? model->acceleration : 0.0f;
        SceneItem* target = sim->target;
        if (target && VecFastLength(Offset(item, target)) > kFleeBrakeBeyond) {
            sim->flags |= kSimTurnedThisFrame;
            SteerToVelocity(item, Vector3{0.0f, 0.0f, 0.0f}, info ? &info->flightModel : model);
        }
        if (target)
            FireWhatBears(item, target);
        timers[0] += gFrameClock.frameTicks;
        return Stay(result, timers[0] > 250 ? 3 : 2);
    }
    case 3: {
        timers[0] = 0;
        const DamageBlock& damage = info->damage;
        // A hull without points counts as wrecked.
        const float ratio = damage.maximumHull > 0 ? static_cast<float>(damage.hullDamage) / damage.maximumHull : 1.0f;
        // The planner answers a ship without a combat style with the state it
        // is in, this flight: that is no reason to keep running.
        const bool planned = PlanAttackRun(item, nullptr) == kFlee && (sim->flags & kStyleMask);
        if (ratio >= kFleeDamageRatio || planned)
            return Stay(result, 2);
        sim->thrust.z = 0.0f; // the run is over: no more thrust on its account
        return Pop(result, 0.0f);
    }
    default:
        return Unknown(result);
    }
}

AIStateResult* EscapeState(AIStateResult* result, SceneItem*, int16_t subState, float, int32_t*, int32_t, int32_t, int32_t parameter3)
{
    if (subState <= 1)
        return Push(result, kFlee, 0, 0, parameter3, 2);
    return Stay(result, 2);
}

AIStateResult* GenericOffensiveState(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t, int32_t parameter2, int32_t)
{
    if (SceneItem* enemy = ItemParameter(parameter2))
        item->sim->secondTarget = item->sim->target = enemy;
    switch (subState) {
    case 0:
    case 1: return Push(result, kOffClose, 0, 0, 0, 2);
    case 2: return Push(result, kOffFireAtWill, 0, 0, 0, 3);
    case 3: return Stay(result, 1);
    default: return Unknown(result);
    }
}

AIStateResult* off_Close(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t, int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (!Live(target))
        return Pop(result, 0.0f);
    const Sim& t = *target->sim;
    switch (subState) {
    case 0:
    case 1:
        if (WantsLdsToTarget(item, target))
            return Push(result, kLdsFlight, static_cast<int32_t>(ItemHandle(target)), static_cast<int32_t>(10.0f * t.radius), 1, 1);
        timers[0] = 0;
        return Stay(result, 2);
    case 2: {
        timers[0] += gFrameClock.frameTicks;
        if (timers[0] >= kCloseTicks)
            return Stay(result, 1);
        // Behind the target along its motion.
        Vector3 motion = t.velocity;
        if (VecNormalise(motion) == 0.0f)
            motion = Forward(t.matrix);
        const float behind = 2.0f * item->sim->radius + 20000.0f + 7.0f * t.radius;
        SteerToPoint(item, static_cast<float>(t.position.x) - motion.x * behind, static_cast<float>(t.position.y) - motion.y * behind,
                     static_cast<float>(t.position.z) - motion.z * behind, &t.velocity, nullptr, nullptr);
        const Vector3 local = Local(item, Offset(item, target));
        Weapon* mount = ChooseAnyMountForDirection(local.x, local.y, local.z, item->sim->weapons);
        if (mount) {
            item->sim->currentWeapon = mount;
            if (WeaponInFiringArc(item, local.x, local.y, local.z, mount->directionCode, mount))
                FireWeapon(target, local.x, local.y, local.z, item, mount);
        }
        return Stay(result, 2);
    }
    default:
        return Unknown(result);
    }
}

AIStateResult* off_FireAtWill(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t, int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (!Live(target))
        return Pop(result, 0.0f);
    switch (subState) {
    case 0:
    case 1: {
        const float reach = 14.0f * target->sim->radius + 4.0f * item->sim->radius + 400000.0f;
        if (VecLength(Offset(item, target)) > reach)
            return Pop(result, 1.0f);
        timers[0] = kFireAtWillShots;
        [[fallthrough]];
    }
    case 2:
        item->sim->currentWeapon = PreferReadyMount(item->sim->weapons);
        [[fallthrough]];
    case 3: {
        const Vector3 local = Local(item, Offset(item, target));
        if (!AimAndFire(item, target, item->sim->currentWeapon, local))
            return Stay(result, 3);
        const bool more = --timers[0] > 0;
        return Stay(result, more ? 2 : 1);
    }
    default:
        return Unknown(result);
    }
}

AIStateResult* Gun_lead_motion(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t, int32_t, int32_t)
{
    SceneItem* target = item->sim->target;
    if (!Live(target))
        return Pop(result, 0.0f);
    if (subState > 1)
        return Unknown(result);
    const Vector3 offset = Offset(item, target);
    const Vector3 local = Local(item, offset);
    Weapon* mount = ChooseAnyMountForDirection(local.x, local.y, local.z, item->sim->weapons);
    item->sim->currentWeapon = mount;
    AimAndFire(item, target, mount, local);
    item->sim->thrust.z = FlightAcceleration(item) * std::min(1.0f, VecLength(offset) / kFullThrustFrom);
    return Stay(result, 1);
}

AIStateResult* OrbitalAttack(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t parameter1, int32_t, int32_t)
{
    Sim* sim = item->sim;
    if (SceneItem* given = ItemParameter(parameter1))
        sim->target = sim->secondTarget = given;
    SceneItem* enemy = sim->secondTarget;
    SceneItem* attacker = item->avatar->lockedOn;
    if (attacker && attacker != item && item->avatar->lockedAmount > 0)
        enemy = attacker;
    if (!Live(enemy) || subState > 1)
        return subState > 1 ? Unknown(result) : Pop(result, 0.0f);
    // Beside the enemy, twice its radius off its centre along the ship's x axis.
    const Vector3 side{sim->matrix.m[0], sim->matrix.m[1], sim->matrix.m[2]};
    const float off = 2.0f * enemy->sim->radius;
    const Vector3 offset = Offset(item, enemy);
    const Vector3 aim = Local(item, Vector3{offset.x - side.x * off, offset.y - side.y * off, offset.z - side.z * off});
    TurnTowardVector(item, aim, sim->flightModel);
    sim->thrust.z = FlightAcceleration(item);
    sim->currentWeapon = PreferReadyMount(sim->weapons);
    if (Weapon* mount = sim->currentWeapon)
        if (WeaponInFiringArc(item, aim.x, aim.y, aim.z, mount->directionCode, mount))
            FireWeapon(enemy, aim.x, aim.y, aim.z, item, mount);
    return Stay(result, 1);
}

AIStateResult* CombatOnce(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t parameter1, int32_t, int32_t)
{
    Sim* sim = item->sim;
    if (SceneItem* given = ItemParameter(parameter1))
        sim->secondTarget = given;
    switch (subState) {
    case 0:
    case 1:
        sim->flags &= ~kSimStances;
        sim->flags |= kSimStanceFight | kSimStanceOnce | kSimFightOnce;
        return Push(result, kCombatState, 0, 0, 0, 2);
    case 2:
        sim->flags &= ~kSimFightOnce;
        return Pop(result, 1.0f);
    default:
        return Unknown(result);
    }
}

AIStateResult* WingmanCombatOnce(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    if (subState == 2) {
        item->sim->flags &= ~kSimFightOnce;
        return Push(result, kPlayerFollower, 0, 0, 0, 2);
    }
    return CombatOnce(result, item, subState, childResult, timers, parameter1, parameter2, parameter3);
}

AIStateResult* Retaliation(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t, int32_t, int32_t)
{
    switch (subState) {
    case 0:
    case 1: {
        SceneItem* defended = item->avatar->defended;
        SceneItem* attacker = Live(defended) && defended->avatar ? defended->avatar->lockedOn.Get() : nullptr;
        if (!Live(attacker))
            return Pop(result, 0.0f);
        item->sim->secondTarget = item->sim->target = attacker;
        item->sim->flags |= kSimKeepsTarget;
        [[fallthrough]];
    }
    case 2: return Push(result, kCombatOnce, 0, 0, 0, 3);
    case 3: return Stay(result, 1, 0.0f);
    default: return Unknown(result);
    }
}

AIStateResult* DefendMothership(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t parameter1, int32_t, int32_t)
{
    if (SceneItem* given = ItemParameter(parameter1))
        item->avatar->defended = given;
    switch (subState) {
    case 0:
    case 1: return Push(result, kRetaliation, 0, 0, 0, 2);
    case 2: return Push(result, kAchieveRange, 0, static_cast<int32_t>(ItemHandle(item->avatar->defended)), 0, 3);
    case 3: return Stay(result, 1);
    default: return Unknown(result);
    }
}

AIStateResult* AcquireTarget(AIStateResult* result, SceneItem* item, int16_t, float, int32_t*, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    SceneItem* found = FindNearestItemByFlags(nullptr, static_cast<uint32_t>(parameter1), static_cast<uint32_t>(parameter2), item, static_cast<float>(parameter3));
    item->sim->secondTarget = item->sim->target = found;
    return Stay(result, 1);
}

AIStateResult* CombatAchieveRange(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t, int32_t, int32_t)
{
    Sim* sim = item->sim;
    SceneItem* target = sim->target;
    if (!Live(target))
        return Pop(result, 0.0f);
    switch (subState) {
    case 0:
    case 1: {
        if (item == gPlayerItem && !(sim->flags & kSimLdsEngaged))
            return Stay(result, 1);
        const Sim& t = *target->sim;
        if ((t.flags & kSimLdsEngaged) && !(t.flags & kSimLdsBarredFlag) && t.ldsSpool <= 0)
            FireLdsiMissile(item, target);
        timers[0] = 0;
        timers[1] = 0;
        if (WantsLdsToTarget(item, target))
            return Push(result, kLdsFlight, static_cast<int32_t>(ItemHandle(target)), 0, 1, 2);
        return Stay(result, 2);
    }
    case 2: {
        if (++timers[0] >= kAchieveChecksEvery)
            return Stay(result, 1);
        const Sim& t = *target->sim;
        const float range = item->avatar->range;
        item->avatar->range = kAchieveWeaponsRange;
        SteerToPoint(item, static_cast<float>(t.position.x), static_cast<float>(t.position.y), static_cast<float>(t.position.z), &t.velocity, nullptr, nullptr);
        item->avatar->range = range;
        timers[1] += gFrameClock.frameTicks;
        return Stay(result, timers[1] >= kAchieveTicks ? 3 : 2);
    }
    case 3:
        if (PlanAttackRun(item, nullptr) == kAchieveRangeState) {
            timers[1] = 0;
            return Stay(result, 2);
        }
        return Pop(result, 0.0f);
    default:
        return Unknown(result);
    }
}

AIStateResult* WeaponsPassState(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t*, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    Sim* sim = item->sim;
    SceneItem* enemy = ManoeuvreEnemy(item, parameter1);
    sim->thrust = {0.0f, 0.0f, 0.0f};
    if (!enemy)
        return Pop(result, 0.0f);
    const float passDistance = static_cast<float>(parameter2);
    Vector3 offset = Offset(item, enemy);
    const bool within = VecFastLength(offset) < passDistance;
    if (!within) {
        // Beside the enemy, along the ship's own right axis.
        const float off = 2.0f * enemy->sim->radius;
        offset = {offset.x + sim->matrix.m[0] * off, offset.y + sim->matrix.m[1] * off, offset.z + sim->matrix.m[2] * off};
    }
    const Vector3 local = Local(item, offset);
    const FlightModel* model = sim->flightModel;
    const float thrust = model ? model->acceleration : 0.0f;
    switch (subState) {
    case 0:
    case 1: {
        const float aligned = TurnTowardDirection(item, local, model);
        if (aligned > kPassAligned && sim->speed < static_cast<float>(parameter3))
            sim->thrust.z = thrust / 2.0f;
        return Stay(result, within ? 2 : 1);
    }
    case 2:
        sim->currentWeapon = PreferReadyMount(sim->weapons);
        AimAndFire(item, enemy, sim->currentWeapon, local);
        return Stay(result, within ? 2 : 3);
    case 3: {
        Vector3 velocity;
        VecMulMat3T(velocity, sim->velocity, sim->matrix);
        sim->localVelocity = velocity;
        const float side = thrust * 2.0f / 3.0f;
        sim->thrust = {std::clamp(-velocity.x, -side, side), std::clamp(-velocity.y, -side, side), std::clamp(-velocity.z, -thrust, thrust)};
        return Stay(result, sim->speed >= kPassBrakeUntil ? 3 : 1);
    }
    default:
        return Unknown(result);
    }
}

AIStateResult* ConstantFire(AIStateResult* result, SceneItem* item, int16_t subState, float, int32_t* timers, int32_t parameter1, int32_t, int32_t)
{
    // Its leader, else the target the mission gave it: no script statement
    // sets a leader, so a ship a mission puts on this order would never fire.
    SceneItem* leader = Live(item->sim->secondTarget) ? item->sim->secondTarget.Get() : item->sim->target.Get();
    if (subState > 1)
        return Unknown(result);
    if (Live(leader) && timers[0] < parameter1) {
        Weapon* mount = item->sim->currentWeapon ? item->sim->currentWeapon : PreferReadyMount(item->sim->weapons);
        if (mount) {
            const Vector3 local = Local(item, Offset(item, leader));
            FireWeaponConstant(leader, local.x, local.y, local.z, item, mount);
            ++timers[0];
        }
    }
    return Stay(result, 1);
}
