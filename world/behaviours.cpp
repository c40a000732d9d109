// Object behaviours: free bodies, flares, plasma balls, the LDS inhibitor,
// missiles and mines, belt rocks, waypoints, carriers, tethers, the
// placement maths of PLACE_BETWEEN, the chaos routine and sparks.
//
// What these routines ask of other layers (the AI's seek routine, impacts,
// decoys, flashes, the contact list) goes through those layers' headers;
// messages go through world/messages.h with the bodies of
// world/itemmessages.h.
#include "world/behaviours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/orders.h"
#include "ai/steering.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/datatext.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "view/effectmodels.h"
#include "view/explosions.h"
#include "world/itemmessages.h"
#include "world/lds.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/tally.h"
#include "world/steering.h"

namespace {

// Avatar parameter slots of the behaviours.
constexpr int kParamAge = 0;        // flares: age in hundredths; belt rocks: range
constexpr int kParamPulseTimer = 4; // inhibitors: hundredths since the last pulse;
                                    //   tethered items: the tether length
constexpr int kParamGrowth = kParamName;

constexpr uint32_t kMineIgnores = 0x40011;

constexpr int32_t kPulsePeriod = 200;
constexpr float kFlareGrowth = 1000.0f; // radius per second
constexpr int32_t kFlareGrowTicks = 1500;
constexpr int32_t kDecoyChance = 400; // chance step / 400 a frame
constexpr float kFuseRange = 20000.0f;
constexpr float kFuseBurst = 10000.0f;
// A homing missile takes out its drift across the line to its target
// within an eighth of a second, as far as its thrust allows.
constexpr float kHomingGain = 8.0f;
constexpr float kMissileBurstNear = 50000.0f;
constexpr float kMissileBurstRange = 250000.0f;
constexpr int32_t kBurstPenetration = 60;
constexpr float kBurstDamage = 650.0f;
constexpr float kMineRange = 150000.0f;
constexpr float kMineFlashRange = 800000.0f;
constexpr float kLdsiSwitchDistance = 1000000.0f;
constexpr float kLdsiMinimumPulse = 2500000.0f;
constexpr int32_t kLdsiLifeAfterSwitch = 4000;
constexpr float kFastAnchorSpeed = 20000.0f;
constexpr int32_t kScatterSettle = 700;
constexpr float kWaypointReach = 40000.0f;
constexpr float kMarkRange = 37500.0f;
constexpr float kCarrierOffset = 40000.0f;

// Sound numbers.
constexpr int32_t kSoundMissileBurst = 8;
constexpr int32_t kSoundWaypoint = 12;

uint32_t Draw(uint32_t n) { return (ShiftRegisterRandom() >> 1) % n; }

Vector3 Row(const Matrix4& m, int row) { return {m.m[row * 4], m.m[row * 4 + 1], m.m[row * 4 + 2]}; }
void SetRow(Matrix4& m, int row, const Vector3& v)
{
    m.m[row * 4] = v.x;
    m.m[row * 4 + 1] = v.y;
    m.m[row * 4 + 2] = v.z;
}

// b - a between two world positions.
Vector3 Between(const WorldPosition& a, const WorldPosition& b)
{
    return {static_cast<float>(b.x - a.x), static_cast<float>(b.y - a.y), static_cast<float>(b.z - a.z)};
}

WorldPosition Offset(const WorldPosition& p, const Vector3& v, float scale)
{
    return {p.x + static_cast<double>(v.x) * scale, p.y + static_cast<double>(v.y) * scale,
            p.z + static_cast<double>(v.z) * scale};
}

// The double position and the matrix translation together.
void PlaceAt(Sim* sim, const WorldPosition& p)
{
    sim->position = p;
    sim->matrix.m[12] = static_cast<float>(p.x);
    sim->matrix.m[13] = static_cast<float>(p.y);
    sim->matrix.m[14] = static_cast<float>(p.z);
}

Vector3 ToLocal(const Matrix4& m, const Vector3& v) { return {VecDot(v, Row(m, 0)), VecDot(v, Row(m, 1)), VecDot(v, Row(m, 2))}; }

// A live item with a Sim, from a handle in an Avatar parameter.
SceneItem* LiveItem(int32_t handle)
{
    SceneItem* item = ItemFromHandle(static_cast<SceneItemHandle>(handle));
    return item && item->sim ? item : nullptr;
}

// The Sim's target while it is still the item it was: in use and in the
// scene. A target that died is forgotten.
SceneItem* LiveTarget(SceneItem* item)
{
    SceneItem* target = item->sim->target;
    if (target && (!(target->flags & kItemInUse) || !IsInSceneList(target) || !target->sim)) {
        item->sim->target = nullptr;
        target = nullptr;
    }
    return target;
}

float RadiusOf(const SceneItem* item) { return item->sim ? item->sim->radius : 0.0f; }

void PostToSelf(SceneItem* item, int32_t delay, uint16_t kind)
{
    PostItemMessage(item->receiver, item->receiver, delay, kind, 0, nullptr);
}

// A random unit vector.
Vector3 RandomDirection()
{
    for (;;) {
        Vector3 v{static_cast<float>(Draw(2001)) - 1000.0f, static_cast<float>(Draw(2001)) - 1000.0f,
                  static_cast<float>(Draw(2001)) - 1000.0f};
        if (VecNormalise(v) > 1.0f)
            return v;
    }
}

// The enemy ship nearest to the item within the range: a ship that shares
// none of the item's side bits and is not the item that launched it.
SceneItem* NearestEnemyShip(SceneItem* item, SceneItem* launcher, float range)
{
    const uint32_t side = item->avatar->classFlags & kClassSides;
    SceneItem* best = nullptr;
    float bestDistance = range;
    ForEachSceneItem([&](SceneItem* other) {
        if (other == item || other == launcher || !other->sim || !other->sim->shipInfo || !other->avatar)
            return true;
        if (other->avatar->classFlags & side)
            return true;
        const float d = VecLength(Between(item->sim->position, other->sim->position));
        if (d < bestDistance) {
            bestDistance = d;
            best = other;
        }
        return true;
    });
    return best;
}

// The facing along a to b, at the item's place.
void FaceAlong(SceneItem* item, const Vector3& direction)
{
    Vector3 d = direction;
    if (VecNormalise(d) > 0.0f)
        MatLookDir(d, nullptr, item->sim->matrix);
}

float RandomLineDistance(SceneItem* a, SceneItem* b, float length)
{
    const float from = RadiusOf(a);
    const float to = std::max(length - RadiusOf(b), from);
    return from + static_cast<float>(Draw(1001)) * 0.001f * (to - from);
}

} // namespace

// ---- Free bodies ------------------------------------------------------------

void BallisticStep(SceneItem* item)
{
    Sim* sim = item->sim;
    const float dt = gFrameClock.frameSeconds;
    sim->startTime = gFrameClock.gameClock;
    sim->localVelocity = ToLocal(sim->matrix, sim->velocity);
    const WorldPosition p = Offset(sim->position, sim->velocity, dt);
    MatRotY(item->pitchDemand * dt, sim->matrix);
    MatRotX(item->yawDemand * dt, sim->matrix);
    PlaceAt(sim, p);
}

void TumbleStep(SceneItem* item)
{
    BallisticStep(item);
    MatRotY(item->pitchDemand, item->sim->matrix);
    MatRotX(item->yawDemand, item->sim->matrix);
}

void DriftStep(SceneItem* item)
{
    Sim* sim = item->sim;
    const float dt = gFrameClock.frameSeconds;
    sim->startTime = gFrameClock.gameClock;
    sim->matrix.m[12] += sim->velocity.x * dt;
    sim->matrix.m[13] += sim->velocity.y * dt;
    sim->matrix.m[14] += sim->velocity.z * dt;
}

// ---- Flares, plasma and the LDS inhibitor -----------------------------------

void EcmFlareBehaviour(SceneItem* item)
{
    Sim* sim = item->sim;
    Avatar* avatar = item->avatar;
    const float dt = gFrameClock.frameSeconds;
    if (avatar->params[kParamAge] < kFlareGrowTicks)
        sim->radius += kFlareGrowth * dt;
    else
        sim->radius = std::max(sim->radius - kFlareGrowth * dt, 0.0f);
    avatar->params[kParamAge] += gFrameClock.frameTicks;
    if (avatar->root)
        avatar->root->radius = sim->radius;
    BallisticStep(item);
    if (static_cast<int32_t>(Draw(kDecoyChance)) < gFrameClock.frameTicks)
        AnnounceDecoyToMissiles(item, ItemFromHandle(static_cast<SceneItemHandle>(avatar->params[kParamTetherAnchor])));
}

void PlasmaBallStep(SceneItem* item)
{
    Sim* sim = item->sim;
    Avatar* avatar = item->avatar;
    const float dt = gFrameClock.frameSeconds;
    if (sim->countdown < 201) {
        sim->radius = 1.0f;
    } else {
        const float growth = static_cast<float>(avatar->params[kParamGrowth]);
        sim->radius += growth * dt;
        avatar->params[kParamGrowth] = static_cast<int32_t>(growth + growth * 0.2f * dt);
    }
    if (TDP* root = avatar->root) {
        root->radius = sim->radius;
        root->local = sim->matrix;
        root->local.m[12] = root->local.m[13] = root->local.m[14] = 0.0f;
        MatScale(sim->radius * 0.02f * 100.0f, root->local);
    }
    AnimatePlasmaShimmer(item, 0); // full strength, as the shimmering planets
    sim->startTime = gFrameClock.gameClock;
}

void LdsInhibitorBehaviour(SceneItem* item)
{
    EmitLdsInhibitorPulse(item, static_cast<float>(item->avatar->params[kParamBeltAnchor]));
}

void EmitLdsInhibitorPulse(SceneItem* item, float radius)
{
    Avatar* avatar = item->avatar;
    avatar->params[kParamPulseTimer] += gFrameClock.frameTicks;
    if (avatar->params[kParamPulseTimer] < kPulsePeriod)
        return;
    avatar->params[kParamPulseTimer] = 0;
    ForEachSceneItem([&](SceneItem* other) {
        if (other->sim && other->receiver &&
            VecLength(Between(item->sim->position, other->sim->position)) <= radius)
            PostItemMessage(item->receiver, other->receiver, 0, kMsgInterdiction, 0, nullptr);
        return true;
    });
}

void InterdictionJolt(SceneItem* item)
{
    Sim* sim = item->sim;
    const float speed = std::max(sim->thrust.z, 1.0f);
    float a = 500.0f; // without mass or radius: the largest kick
    const float byMass = sim->mass > 0 ? (std::log10(speed) - 2.0f) * 127500.0f / sim->mass : a;
    const float byRadius = sim->radius > 0 ? 540000.0f / sim->radius : a;
    a = std::min(byMass, byRadius);
    const float d = std::clamp(a / 100.0f, 0.0f, 5.0f);
    sim->turnRates.x += (static_cast<float>(Draw(200)) - 100.0f) * d;
    sim->turnRates.y += (static_cast<float>(Draw(100)) - 50.0f) * d;
    sim->turnRates.z += (static_cast<float>(Draw(100)) - 50.0f) * d;
}

// ---- Missiles and mines -----------------------------------------------------

void SteerLdsiMissile(SceneItem* item)
{
    Sim* sim = item->sim;
    if (sim->ldsSpool > 0)
        return; // still spooling up
    SceneItem* target = LiveTarget(item);
    if (!target)
        return;
    const Sim* t = target->sim;
    const FlightModel* model = sim->flightModel;
    if (!(sim->flags & kSimLdsEngaged))
        EngageLds(item);
    Vector3 toTarget = Between(sim->position, t->position);
    const float distance = VecNormalise(toTarget);
    const Vector3 nose = Row(sim->matrix, 2);
    const float ahead = VecDot(toTarget, nose);
    const Vector3 targetVelocity = (t->flags & kSimLdsEngaged)
                                       ? Vector3{t->matrix.m[8] * t->thrust.z, t->matrix.m[9] * t->thrust.z,
                                                 t->matrix.m[10] * t->thrust.z}
                                       : t->velocity;
    const float chase = std::max(LdsSpeedForDistance(distance, model) * (ahead + 2.0f) / 3.8f - 100000.0f, 0.0f);
    sim->ldsTargetSpeed = chase + VecDot(targetVelocity, nose);
    const Vector3 local = ToLocal(sim->matrix, toTarget);
    if (model)
        SteerToMatchFrame(item, local.x, local.y, local.z, model);

    const float switchDistance = (t->flags & kSimLdsEngaged) ? t->thrust.z : kLdsiSwitchDistance;
    if (distance < switchDistance) {
        item->avatar->params[kParamBeltAnchor] = static_cast<int32_t>(std::max(sim->thrust.z, kLdsiMinimumPulse));
        item->control = LdsInhibitorBehaviour;
        const HitPayload end{};
        PostItemMessage(item->receiver, item->receiver, kLdsiLifeAfterSwitch, kMsgHit, end);
    }
}

void CheckMissileFuse(SceneItem* missile, SceneItem* target, float distance)
{
    if (!target || distance >= kFuseRange)
        return;
    if (!(missile->avatar->classFlags & kClassArmed) || distance >= kFuseBurst)
        return;
    const Sim* sim = missile->sim;
    gScreenFlash = 64;
    const ImpactTorqueBody impact{{static_cast<float>(sim->position.x), static_cast<float>(sim->position.y),
                                   static_cast<float>(sim->position.z)},
                                  {sim->velocity.x, sim->velocity.y, sim->velocity.z},
                                  1000.0f,
                                  {180, 65}};
    PostItemMessage(missile->receiver, target->receiver, 0, kMsgImpactTorque, impact);
    PostToSelf(missile, 0, kMsgDelete);
    // The player's own missile bursting on its target counts among the
    // player's missile hits (the status panel's share of missiles fired); a
    // missile bursting on the player's ship is no hit of the player's, and
    // costs the score its launcher's damage figure.
    if (missile->avatar->shooter.Is(gPlayerItem) && gPlayerItem)
        ++gTallyCounters.flaggedHits;
    if (target == gPlayerItem) {
        if (const Weapon* mount = missile->avatar->weapon)
            gScriptVars.score -= mount->damage;
    }
    SoundPlayVaried(kSoundMissileBurst, 0, 0, 0, 0, 2000);
}

void SteerHomingMissile(SceneItem* item)
{
    Sim* sim = item->sim;
    sim->ldsSpool -= gFrameClock.frameTicks; // fuel
    SceneItem* target = LiveTarget(item);
    if (!target) {
        // Nothing to follow: fly on as thrown.
        sim->thrust = {};
        ClearControlDemands(item);
        return;
    }
    const Sim* t = target->sim;
    // Straight at the target as fast as it can, moving with it: a ship's
    // approach, which brakes to arrive and leads the point by the time it
    // takes to turn, would have a missile that cannot yaw stand off and
    // run out of life short of its target.
    Vector3 to = Between(sim->position, t->position);
    VecNormalise(to);
    if (FlightModel* model = sim->flightModel) {
        // Any drift across the line to the target is taken out first; what
        // thrust is left speeds it along the line.
        const Vector3 closing{sim->velocity.x - t->velocity.x, sim->velocity.y - t->velocity.y,
                              sim->velocity.z - t->velocity.z};
        const float along = VecDot(closing, to);
        Vector3 change{(to.x * along - closing.x) * kHomingGain, (to.y * along - closing.y) * kHomingGain,
                       (to.z * along - closing.z) * kHomingGain};
        float across = VecLength(change);
        if (across > model->acceleration) {
            change = {change.x * model->acceleration / across, change.y * model->acceleration / across,
                      change.z * model->acceleration / across};
            across = model->acceleration;
        }
        const float left = model->acceleration > across
                               ? std::sqrt(model->acceleration * model->acceleration - across * across)
                               : 0.0f;
        const float faster = along < model->topSpeed ? left : 0.0f;
        change = {change.x + to.x * faster, change.y + to.y * faster, change.z + to.z * faster};
        SteerWithThrust(item, change, model, to);
    }
    const float distance = VecLength(Between(sim->position, t->position));
    // Missiles aimed at the player's ship show on the HUD and sound the alarm.
    if (target == gPlayerItem)
        RegisterIncomingMissile(item, distance);
    CheckMissileFuse(item, target, distance);
}

void GuidedMissileStep(SceneItem* item)
{
    SIM_MAIN(item);
    Sim* sim = item->sim;
    SceneItem* launcher = LiveItem(item->avatar->params[kParamTetherAnchor]);
    if (sim->ldsSpool > 0 && !NearestEnemyShip(item, launcher, kMissileBurstNear))
        return;
    ForEachSceneItem([&](SceneItem* ship) {
        if (ship == item || !ship->sim || !ship->sim->shipInfo)
            return true;
        const float d = VecLength(Between(sim->position, ship->sim->position));
        if (d >= kMissileBurstRange)
            return true;
        const float falloff = 1.0f - d / kMissileBurstRange;
        const auto damage = static_cast<int32_t>(kBurstDamage * falloff * falloff);
        for (int i = 0; i < 3; ++i)
            PostImpactMessage(item, ship, kBurstPenetration, damage);
        return true;
    });
    HitPayload end{};
    end.attacker = ItemHandle(launcher);
    PostItemMessage(item->receiver, item->receiver, 0, kMsgHit, end);
    item->perFrame = SIM_MAIN; // burst once; it flies on until the message ends it
}

void RunProximityMine(SceneItem* item)
{
    Sim* sim = item->sim;
    Avatar* avatar = item->avatar;
    SceneItem* layer = LiveItem(avatar->params[kParamTetherAnchor]);
    bool coupled = false;
    if (sim->shipInfo)
        for (const CouplingLink* link = sim->shipInfo->couplings; link; link = link->next)
            coupled = coupled || (link->flags & 2);
    if (!coupled)
        CONTROL_AI(item);
    if (layer) {
        avatar->classFlags = (avatar->classFlags & ~kClassSides) | (layer->avatar->classFlags & kClassSides);
        if (sim->shipInfo && layer->sim->shipInfo)
            sim->shipInfo->kind = layer->sim->shipInfo->kind;
    }
    SceneItem* victim = avatar->obstacle;
    if (!victim || victim == layer || victim == item || !victim->sim || !victim->sim->shipInfo || !victim->avatar)
        return;
    const uint32_t flags = victim->avatar->classFlags;
    if (!(flags & kClassMarked) || (flags & kMineIgnores))
        return;
    if (VecLength(Between(sim->position, victim->sim->position)) >= kMineRange)
        return;
    for (int i = 0; i < 3; ++i)
        PostImpactMessage(item, victim, kBurstPenetration, static_cast<int32_t>(kBurstDamage));
    PostToSelf(item, 0, kMsgDelete);
    if (layer && layer->sim->shipInfo && layer->sim->shipInfo->leader)
        PostImpactMessage(item, layer->sim->shipInfo->leader, kBurstPenetration, static_cast<int32_t>(kBurstDamage));
    if (gPlayerItem && gPlayerItem->sim &&
        VecLength(Between(sim->position, gPlayerItem->sim->position)) < kMineFlashRange)
        gScreenFlash = 170;
    item->control = nullptr; // one blast
}

// ---- Belts ------------------------------------------------------------------

namespace {

SceneItem* BeltAnchor(SceneItem* item)
{
    SceneItem* anchor = LiveItem(item->avatar->params[kParamBeltAnchor]);
    return anchor ? anchor : (gPlayerItem && gPlayerItem->sim ? gPlayerItem : nullptr);
}

} // namespace

void ScatterAroundAnchor(SceneItem* item)
{
    SceneItem* anchor = BeltAnchor(item);
    if (!anchor || anchor == item)
        return;
    Sim* sim = item->sim;
    const Sim* a = anchor->sim;
    const float range = static_cast<float>(item->avatar->params[kParamAge]);
    Vector3 direction = RandomDirection();
    const bool fast = (a->flags & kSimLdsEngaged) || VecLength(a->velocity) > kFastAnchorSpeed;
    if (fast) {
        // Ahead of the anchor, where it is going.
        const Vector3 nose = Row(a->matrix, 2);
        direction = {nose.x * 2 + direction.x, nose.y * 2 + direction.y, nose.z * 2 + direction.z};
        VecNormalise(direction);
    }
    sim->velocity = {static_cast<float>(Draw(201)) - 100.0f, static_cast<float>(Draw(201)) - 100.0f,
                     static_cast<float>(Draw(201)) - 100.0f};
    item->pitchDemand = static_cast<float>(Draw(50)) - 25.0f;
    item->yawDemand = static_cast<float>(Draw(50)) - 25.0f;
    MatIdentity3(sim->matrix);
    MatRotY(static_cast<float>(Draw(360)), sim->matrix);
    MatRotX(static_cast<float>(Draw(360)), sim->matrix);
    MatRotZ(static_cast<float>(Draw(360)), sim->matrix);
    PlaceAt(sim, Offset(a->position, direction, 0.8f * range));
    sim->flags |= kSimScattering;
    PostToSelf(item, kScatterSettle, kMsgUnscatter);
}

void KeepNearAnchor(SceneItem* item)
{
    SceneItem* anchor = BeltAnchor(item);
    if (!anchor || anchor == item || (item->sim->flags & kSimScattering))
        return;
    const float range = static_cast<float>(item->avatar->params[kParamAge]);
    if (VecLength(Between(item->sim->position, anchor->sim->position)) > range)
        ScatterAroundAnchor(item);
}

// ---- Waypoints and markers --------------------------------------------------

void PlaceWaypoint(SceneItem* item)
{
    Sim* sim = item->sim;
    sim->startTime = gFrameClock.gameClock;
    const ScriptSymbol* symbol = sim->followSymbol;
    SceneItem* reference = symbol ? SymbolObject(symbol) : nullptr;
    if (!reference || !reference->sim)
        return;
    const Sim* r = reference->sim;
    PlaceAt(sim, Offset(r->position, Row(r->matrix, 2), -r->radius));
    sim->radius = r->radius;
}

namespace {

// Text-table entry of the course's time: minutes and seconds.
constexpr int kTextCourseTime = 90;

} // namespace

void RunWaypoint(SceneItem* item)
{
    Sim* sim = item->sim;
    const float dt = gFrameClock.frameSeconds;
    if (SceneItem* carrier = sim->secondTarget; carrier && carrier->sim)
        PlaceAt(sim, Offset(sim->position, carrier->sim->velocity, dt));
    TDP* root = item->avatar->root;
    HUD* cube = root ? reinterpret_cast<HUD*>(root->model) : nullptr;
    if (!cube || (cube->flags & kHudWaypointReached) || !gPlayerItem || !gPlayerItem->sim)
        return;
    if (VecLength(Between(sim->position, gPlayerItem->sim->position)) >= kWaypointReach)
        return;
    cube->flags |= kHudWaypointReached;
    cube->segmentCount = kCubeReachedSegments;
    if (SceneItem* next = LiveItem(item->avatar->params[kParamEngineGlow])) {
        SoundPlay(kSoundWaypoint, 0, 0, 0, 0);
        SelectContact(next);
        gPlayerItem->sim->target = next;
    }
    ScriptVariables& vars = gScriptVars;
    if (vars.waypointCount == vars.waypointStartCount && vars.waypointStartCount != 1)
        vars.missionClock = 0;
    --vars.waypointCount;
    // The course is complete: its time, once, in the message log.
    if (vars.waypointCount == 0 && gTextTable[kTextCourseTime]) {
        const int32_t seconds = vars.missionClock / 100;
        const int minutesAndSeconds[2] = {static_cast<int16_t>(seconds / 60), static_cast<int16_t>(seconds % 60)};
        const std::string line = FormatWholeNumbers(gTextTable[kTextCourseTime], minutesAndSeconds);
        guiAddMessageLogText(line.c_str(), 0);
    }
}

void NearPlayerMark(SceneItem* item)
{
    if (!gPlayerItem || !gPlayerItem->sim || gPlayerItem == item)
        return;
    if (VecLength(Between(item->sim->position, gPlayerItem->sim->position)) >= kMarkRange)
        return;
    item->flags = static_cast<int16_t>(item->flags | kItemJumpCheck);
    gPlayerInput.jumpTarget = item;
    gPlayerItem->flags = static_cast<int16_t>(gPlayerItem->flags | kItemJumpCheck);
}

// ---- Carriers and tethers ---------------------------------------------------

void AlignCarrierToPair(SceneItem* item)
{
    Sim* sim = item->sim;
    SceneItem* first = sim->target;
    SceneItem* second = sim->secondTarget;
    if (!first || !second || !first->sim || !second->sim)
        return;
    // The first rides on the +X side: swap them when it lies behind.
    if (VecDot(Between(sim->position, first->sim->position), Row(sim->matrix, 0)) < 0) {
        std::swap(first, second);
        sim->target = first;
        sim->secondTarget = second;
    }
    Vector3 x = Between(second->sim->position, first->sim->position);
    if (VecNormalise(x) == 0.0f)
        return;
    Vector3 z, y;
    VecCross(x, Row(sim->matrix, 1), z);
    if (VecNormalise(z) == 0.0f)
        return;
    VecCross(z, x, y);
    SetRow(sim->matrix, 0, x);
    SetRow(sim->matrix, 1, y);
    SetRow(sim->matrix, 2, z);
}

void RideOnCarrier(SceneItem* item)
{
    SceneItem* carrier = item->avatar->linkItem;
    if (!carrier || !(carrier->flags & kItemInUse) || !carrier->sim) {
        item->avatar->linkItem = nullptr;
        item->perFrame = SIM_MAIN;
        SIM_MAIN(item);
        return;
    }
    Sim* sim = item->sim;
    const Sim* c = carrier->sim;
    const float side = c->target == item ? kCarrierOffset : -kCarrierOffset;
    sim->startTime = gFrameClock.gameClock;
    sim->matrix = c->matrix;
    sim->velocity = c->velocity;
    sim->speed = c->speed;
    item->avatar->params[kParamEngineGlow] = carrier->avatar->params[kParamEngineGlow];
    PlaceAt(sim, Offset(c->position, Row(c->matrix, 0), side));
}

void KeepTetherDistance(SceneItem* item)
{
    Sim* sim = item->sim;
    sim->startTime = gFrameClock.gameClock;
    SceneItem* anchor = LiveItem(item->avatar->params[kParamTetherAnchor]);
    if (!anchor || anchor == item)
        return;
    float length = static_cast<float>(item->avatar->params[kParamPulseTimer]);
    if (length == 0.0f)
        length = kDefaultTetherLength;
    Vector3 line = Between(anchor->sim->position, sim->position);
    if (VecNormalise(line) == 0.0f) {
        // On top of the anchor: hang behind it.
        const Vector3 nose = Row(anchor->sim->matrix, 2);
        line = {-nose.x, -nose.y, -nose.z};
    }
    sim->velocity = anchor->sim->velocity;
    PlaceAt(sim, Offset(anchor->sim->position, line, length));
}

// ---- Placement --------------------------------------------------------------

namespace {

// The unit line from A to B and the distance to place at (a random one
// between the radii for 0); false when an item or its Sim is missing.
bool LineBetween(const SceneItem* item, SceneItem* a, SceneItem* b, Vector3& line, float& d)
{
    if (!item || !a || !b || !item->sim || !a->sim || !b->sim)
        return false;
    line = Between(a->sim->position, b->sim->position);
    const float length = VecNormalise(line);
    if (d == 0.0f)
        d = RandomLineDistance(a, b, length);
    return true;
}

} // namespace

void PlaceOnLineBetween(SceneItem* item, SceneItem* a, SceneItem* b, float d)
{
    Vector3 line{};
    if (!LineBetween(item, a, b, line, d))
        return;
    PlaceAt(item->sim, Offset(a->sim->position, line, d));
    FaceAlong(item, line);
}

void PlaceAcrossLineBetween(SceneItem* item, SceneItem* a, SceneItem* b, float d)
{
    Vector3 line{};
    if (!LineBetween(item, a, b, line, d))
        return;
    Vector3 across{};
    do {
        const Vector3 r = RandomDirection();
        const float along = VecDot(r, line);
        across = {r.x - line.x * along, r.y - line.y * along, r.z - line.z * along};
    } while (VecNormalise(across) < 0.01f);
    PlaceAt(item->sim, Offset(a->sim->position, across, d));
    FaceAlong(item, line);
}

// ---- Ships ------------------------------------------------------------------

void SIM_CHAOS(SceneItem* item)
{
    SIM_MAIN(item);
    Sim* sim = item->sim;
    SceneItem* target = LiveTarget(item);
    if (!target || !gPlayerItem || gPlayerItem == item || !gPlayerItem->sim)
        return;
    Vector3 toTarget = Between(sim->position, target->sim->position);
    Vector3 toPlayer = Between(sim->position, gPlayerItem->sim->position);
    const float targetDistance = VecNormalise(toTarget);
    const float playerDistance = VecNormalise(toPlayer);
    if (playerDistance < targetDistance / 2 && VecDot(toTarget, toPlayer) > 0.95f) {
        if (sim->shipInfo)
            sim->shipInfo->damage.hullDamage = sim->shipInfo->damage.maximumHull / 2;
        sim->hull = 50;
    }
}

void SparkStep(SceneItem* item)
{
    // About one spark every 20 hundredths; each a small hit on the hull.
    if (static_cast<int32_t>(Draw(20)) >= gFrameClock.frameTicks)
        return;
    const Vector3 point = RandomHitPointOnModel(item);
    FlashAtHullPoint(item, &point, 100);
    HitPayload hit{};
    hit.point[0] = point.x;
    hit.point[1] = point.y;
    hit.point[2] = point.z;
    hit.amount = 1;
    hit.attacker = ItemHandle(item);
    PostItemMessage(item->receiver, item->receiver, 0, kMsgImpact, hit);
}

// ---- Asteroid fields --------------------------------------------------------

// A field slot farther than this from where the search starts is never
// taken.
constexpr float kFieldSlotReach = 1000000.0f;

int FindFreeFieldSlot(const ParticleEmitter* dust, const Vector3& from)
{
    if (!dust)
        return -1;
    int found = -1;
    float best = kFieldSlotReach;
    for (int i = 0; i < dust->pointCount; ++i) {
        const EmitterPoint& p = dust->points[i];
        if (p.life != kFreeFieldSlot)
            continue;
        const float d = VecLength(Vector3{p.position.x - from.x, p.position.y - from.y, p.position.z - from.z});
        if (d < best) {
            found = i;
            best = d;
        }
    }
    return found;
}

void FreeFieldSlot(SceneItem* item)
{
    Avatar* avatar = item->avatar;
    ParticleEmitter* dust = avatar->fieldDust;
    if (dust && avatar->fieldSlot >= 0 && avatar->fieldSlot < dust->pointCount)
        dust->points[avatar->fieldSlot].life = kFreeFieldSlot;
    avatar->fieldSlot = -1;
}

bool MoveToFreeFieldSlot(SceneItem* item)
{
    const SceneItem* anchor = BeltAnchor(item);
    const WorldPosition& from = (anchor ? anchor : item)->sim->position;
    ParticleEmitter* dust = item->avatar->fieldDust;
    const int slot = FindFreeFieldSlot(dust, Vector3{float(from.x), float(from.y), float(from.z)});
    if (slot < 0) {
        PostToSelf(item, 0, kMsgDelete);
        return false;
    }
    EmitterPoint& p = dust->points[slot];
    p.life = kTakenFieldSlot;
    item->avatar->fieldSlot = static_cast<int16_t>(slot);
    PlaceAt(item->sim, WorldPosition{p.position.x, p.position.y, p.position.z});
    if (item->sim->shipInfo)
        ActivateOrder(item, 1);
    return true;
}

void KeepInField(SceneItem* item)
{
    const SceneItem* anchor = BeltAnchor(item);
    if (!anchor || anchor == item)
        return;
    const float range = static_cast<float>(item->avatar->params[kParamAge]);
    if (VecLength(Between(item->sim->position, anchor->sim->position)) <= range)
        return;
    FreeFieldSlot(item);
    // Put down on its new slot, the rock stays there rather than drifting
    // off again the way it went.
    if (MoveToFreeFieldSlot(item))
        item->sim->velocity = {};
}
