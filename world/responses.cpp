// Collision and hit responses. See responses.h.
#include "world/responses.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/combat.h"
#include "screens/bridge.h"
#include "script/worldlink.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "ui/hud.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "view/colourtables.h"
#include "view/explosions.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "view/viewstart.h"
#include "world/damage.h"
#include "world/collisions.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/shrapnel.h"
#include "world/universe.h"

int32_t gCrashCount = 0;
SceneItem* gCurrentLagrangeDevice;

namespace {

constexpr float kLeastClosingSpeed = 1000.0f; // touching at rest hurts as closing at this
constexpr float kPushTime = 1.2f;             // frames of closing speed pushed apart
constexpr float kMostDamageFactor = 10.0f;
constexpr float kBodyDamageDivisor = 70.0f; // impacts of bodies without a ShipInfo
constexpr int32_t kBodyDamageCap = 1000;
constexpr int32_t kBodyArmour = 40;
constexpr float kArmourShare = 0.7f;
constexpr int32_t kBounceSound = 8;
constexpr int32_t kBounceSoundSpread = 2000;
constexpr uint8_t kBounceFlash = 127;
constexpr uint8_t kSinkFlash = 160;
constexpr float kPlanetRadiusDivisor = 2.0f; // the surface lies at half the radius
constexpr float kNearSurface = 0.015f;       // of the surface radius
constexpr float kPlanetTopSpeedFactor = 10.0f;
constexpr int16_t kLogCrash = 6;
constexpr int32_t kDisruptReference = 11700; // radius braked for 2000 hundredths
constexpr int32_t kDisruptMost = 3000;
constexpr int32_t kDisruptLeast = 200;
constexpr int32_t kDisruptorHitAmount = 250;
constexpr uint32_t kDisruptGlowTimed = 0x1000012; // dies with its life
constexpr int32_t kDebrisLife = 600;
constexpr float kBreakApparentSize = 25.0f; // radius x 900 / distance above which pieces break off

bool TakeHandled(int16_t* handled)
{
    if (*handled == 1)
        return false;
    *handled = 1;
    return true;
}

void Post(SceneItem* from, SceneItem* to, int32_t delay, uint16_t kind)
{
    PostItemMessage(from->receiver, to->receiver, delay, kind, 0, nullptr);
}

Vector3 Difference(const WorldPosition& a, const WorldPosition& b)
{
    return {static_cast<float>(a.x - b.x), static_cast<float>(a.y - b.y), static_cast<float>(a.z - b.z)};
}

void Move(WorldPosition& p, const Vector3& d, float by)
{
    p.x += d.x * by;
    p.y += d.y * by;
    p.z += d.z * by;
}

void AddScaled(Vector3& v, const Vector3& d, float by)
{
    v.x += d.x * by;
    v.y += d.y * by;
    v.z += d.z * by;
}

// The unit vector from `from` to `to`; coincident centres give a fixed axis.
Vector3 UnitBetween(const WorldPosition& to, const WorldPosition& from)
{
    Vector3 n = Difference(to, from);
    if (VecNormalise(n) == 0.0f)
        n = {0.0f, 0.0f, 1.0f};
    return n;
}

// The amount and armour of the impact `striker` deals `struck` in a bounce.
// Between bodies without both ShipInfos the amount comes from `bodyMass`:
// the mass of the item whose response runs, whichever way the damage goes.
void PostBounceImpact(SceneItem* striker, SceneItem* struck, float f, float bodyMass)
{
    const ShipInfo* a = striker->sim->shipInfo;
    const ShipInfo* b = struck->sim->shipInfo;
    int32_t amount;
    int32_t armour;
    if (a && b) {
        const float hull = std::min(static_cast<float>(a->damage.maximumHull),
                                    4.0f * static_cast<float>(b->damage.maximumHull));
        amount = static_cast<int32_t>(f * (hull + static_cast<float>(a->damage.collisionBonus)));
        armour = static_cast<int32_t>(kArmourShare * static_cast<float>(a->damage.armour));
    } else {
        amount = static_cast<int32_t>(
            std::min(static_cast<float>(kBodyDamageCap), f * bodyMass / kBodyDamageDivisor));
        armour = kBodyArmour;
    }
    PostImpactMessage(striker, struck, armour, amount);
}

void PlayBounceSound(SceneItem* item)
{
    int32_t volume = 0;
    int32_t pan = 0;
    SoundPlaceObject(item, &volume, &pan);
    SoundPlayVaried(kBounceSound, volume, 0, pan, 0, kBounceSoundSpread);
}

HitPayload ReadHit(const void* hitRecord)
{
    HitPayload record{};
    if (hitRecord)
        std::memcpy(&record, hitRecord, sizeof record);
    return record;
}

float HitMass(const HitPayload& record) { return record.mass; }

Vector3 HitVelocity(const HitPayload& record)
{
    return {record.velocity[0], record.velocity[1], record.velocity[2]};
}

// A debris copy of the item takes its place and bursts in a colour ramp
// from a fifteenth of the colour up to it, and goes after six seconds; the
// item goes at once.
void BurstIntoDebris(SceneItem* item, bool green)
{
    SceneItem* copy = MakeDebrisItem(item);
    Post(item, item, 0, kMsgDelete);
    if (!copy)
        return;
    const int32_t g = green ? 255 : 0;
    AddColouredExplosion(copy, 255, g, 0, 15, green ? 15 : 0, 0);
    Post(copy, copy, kDebrisLife, kMsgDelete);
}

float CameraDistance(const SceneItem* item)
{
    const SceneItem* camera = gPlayerCamera;
    if (!camera || !camera->sim)
        return 0.0f;
    const Vector3 d = Difference(item->sim->position, camera->sim->position);
    return VecLength(d);
}

} // namespace

void CollideShips(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t* handled, const Vector3*)
{
    if (!TakeHandled(handled))
        return;
    Sim& a = *self->sim;
    Sim& b = *other->sim;
    const Vector3 n = UnitBetween(a.position, b.position);
    Vector3 w{a.velocity.x - b.velocity.x, a.velocity.y - b.velocity.y, a.velocity.z - b.velocity.z};
    const float s = VecNormalise(w);
    // At rest the two are pushed apart along the line of their centres.
    if (s == 0.0f)
        w = {-n.x, -n.y, -n.z};
    const float closing = std::max(s, kLeastClosingSpeed);
    const float push = std::min(a.radius + b.radius, closing * gFrameClock.frameSeconds * kPushTime);

    Vector3 toOther;
    Vector3 toSelf;
    const Vector3 apart = Difference(b.position, a.position);
    VecMulMat3T(toOther, apart, a.matrix);
    const Vector3 back{-apart.x, -apart.y, -apart.z};
    VecMulMat3T(toSelf, back, b.matrix);
    ApplyCollisionTorque(self, other, &toOther);
    ApplyCollisionTorque(other, self, &toSelf);

    Move(a.position, w, -push);
    Move(b.position, w, push);

    const float mass = a.mass + b.mass;
    const float k1 = mass != 0.0f ? b.mass / mass * closing : 0.0f;
    const float k2 = mass != 0.0f ? a.mass / mass * closing : 0.0f;

    const bool otherSpared = ((a.flags & kSimHardBounce) && (a.flags & kSimSparesOthers)) ||
                             (b.flags & kSimScattering);
    const bool selfSpared = ((b.flags & kSimHardBounce) && (b.flags & kSimSparesOthers)) ||
                            (a.flags & kSimScattering);
    if ((a.flags | b.flags) & kSimHardBounce) {
        for (SceneItem* item : {self, other}) {
            if (item == gControlledItem) {
                PlayBounceSound(item);
                gScreenClearColour = kBounceFlash;
                break;
            }
        }
        AddScaled(a.velocity, n, k1 * 2.0f);
        AddScaled(b.velocity, n, -k2 * 2.0f);
        if (!otherSpared && !selfSpared)
            return;
    }
    if (((a.flags & kSimLdsEngaged) && (b.flags & kSimLdsEngaged)) || !gCollisionDamage)
        return;
    float divisor = 60000.0f;
    if (!otherSpared && !selfSpared) {
        AddScaled(a.velocity, n, k1);
        AddScaled(b.velocity, n, -k2);
        divisor = 30000.0f;
    }
    const float f = std::min(closing / divisor, kMostDamageFactor);
    if (!otherSpared)
        PostBounceImpact(self, other, f, a.mass);
    if (!selfSpared)
        PostBounceImpact(other, self, f, a.mass);
}

void CrushOnContact(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t* handled, const Vector3*)
{
    if (TakeHandled(handled))
        PostImpactMessage(self, other, 100, 100000000);
}

void DeleteSelfOnContact(SceneItem* self, TDP*, SceneItem*, TDP*, int16_t*, const Vector3*)
{
    Post(self, self, 0, kMsgDelete);
}

void ForwardContactAsHit(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                         int16_t* handled, const Vector3*)
{
    if (!TakeHandled(handled))
        return;
    HitPayload record{};
    record.point[0] = otherPart->worldCentre.x - ownPart->worldCentre.x;
    record.point[1] = otherPart->worldCentre.y - ownPart->worldCentre.y;
    record.point[2] = otherPart->worldCentre.z - ownPart->worldCentre.z;
    record.velocity[0] = other->sim->velocity.x;
    record.velocity[1] = other->sim->velocity.y;
    record.velocity[2] = other->sim->velocity.z;
    record.mass = other->sim->mass;
    record.attacker = ItemHandle(other);
    PostItemMessage(self->receiver, self->receiver, 0, kMsgHit, record);
    self->avatar->collision = nullptr;
}

void CollideLagrangeDevice(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t* handled,
                           const Vector3*)
{
    if (other == gPlayerItem) {
        gCurrentLagrangeDevice = self;
        const int16_t system = self->avatar->deviceSystem;
        if (gAlienDevicesEnabled && system != 0 && system != gLagrangeDestination.system) {
            gLagrangeDestination.system = system;
            gLagrangeDestination.body = FindBody(system, "L4");
            char text[160];
            std::snprintf(text, sizeof text, "Alien device has selected %.60s as destination system.",
                          LookUpStarName(system));
            AddShipLogText(static_cast<int32_t>(gFrameClock.gameClock), text);
        }
    }
    *handled = 1;
    if (gLagrangeDestination.system == 0 || !gLagrangeDestination.body)
        return;
    const ShipInfo* info = other->sim->shipInfo;
    const bool drive = !info || (CapsuleRating(info->flightModel) != 0.0f &&
                                 !(info->damage.capabilities & kCapCapsuleDrive));
    if (drive && self->ownerWord != 21 && self->ownerWord != 26)
        other->flags |= kItemJumpCheck;
}

void CollidePlanet(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t* handled, const Vector3*)
{
    if (!TakeHandled(handled))
        return;
    Sim* sim = other->sim;
    ShipInfo* info = sim->shipInfo;
    if (!(other->avatar->flags & kAvatarInUse) && !info)
        return;
    const float* planet = &self->avatar->matrix.m[12];
    const float* item = &other->avatar->matrix.m[12];
    Vector3 d{planet[0] - item[0], planet[1] - item[1], planet[2] - item[2]};
    const float distance = VecLength(d);
    const float radius = self->sim->radius;
    if (distance > radius)
        return;
    if (info)
        info->flightModel.topSpeed = kPlanetTopSpeedFactor * info->baseFlightModel.topSpeed;
    const float surface = radius / kPlanetRadiusDivisor;
    const float altitude = distance - surface;
    if (altitude < surface * kNearSurface)
        other->flags |= kItemNearSurface;
    if (altitude < 0.0f) {
        HitPayload record{};
        record.attacker = ItemHandle(self);
        NoteItemDestroyed(other, &record);
        PostItemMessage(self->receiver, other->receiver, 0, kMsgHit, record);
        if (info)
            AddShipLogEntry(kLogCrash, info->name, nullptr);
        ++gCrashCount;
    }
    sim->altitude = altitude;
    sim->planet = self;
    if (distance > 0.0f)
        sim->planetDirection = {d.x / distance, d.y / distance, d.z / distance};
    else
        sim->planetDirection = {0.0f, 0.0f, 1.0f};
    other->flags |= kItemNearPlanet;
}

void CollideLdsField(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                     int16_t* handled, const Vector3*)
{
    if (!TakeHandled(handled))
        return;
    const Vector3 s = Difference(other->sim->position, self->sim->position);
    if (VecLength(s) < ownPart->radius / 6.0f &&
        CollideHullBounds(otherPart, other->sim->matrix, ownPart, self->sim->matrix, s))
        *handled = 0;
    if (otherPart->flags & kTdpMovingPoint) {
        *handled = 0;
        return;
    }
    other->sim->towLink = self;
    other->sim->flags |= kSimTowed;
    if (!(self->avatar->pendingHitEffects & kArmedByHit))
        return;
    // An armed field strikes every item coupled to it, once.
    if (const ShipInfo* info = self->sim->shipInfo) {
        HitPayload record{};
        record.attacker = ItemHandle(self);
        for (const CouplingLink* link = info->couplings; link; link = link->next)
            if (SceneItem* member = link->partner ? link->partner->item.Get() : nullptr)
                PostItemMessage(self->receiver, member->receiver, 0, kMsgHit, record);
    }
    self->avatar->pendingHitEffects = 0;
}

void CollideSink(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart, int16_t* handled,
                 const Vector3* contact)
{
    if (other == gPlayerItem || !(self->avatar->pendingHitEffects & kArmedByHit)) {
        CollideShips(self, ownPart, other, otherPart, handled, contact);
        return;
    }
    if (!TakeHandled(handled))
        return;
    Post(self, other, 0, kMsgDelete);
    gScreenClearColour = kSinkFlash;
    self->avatar->pendingHitEffects = 0;
}

void AttachProbeToHull(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t* handled, const Vector3*)
{
    if (!TakeHandled(handled))
        return;
    TDP* probe = self->avatar->root;
    TDP* hull = other->avatar->root;
    if (!probe || !hull)
        return;
    // Where the probe is, in the struck item's axes, turned as the probe.
    const Matrix4& axes = other->sim->matrix;
    Vector3 offset;
    VecMulMat3T(offset, Difference(self->sim->position, other->sim->position), axes);
    const Matrix4& own = self->sim->matrix;
    Vector3 forward;
    Vector3 up;
    VecMulMat3T(forward, Vector3{own.m[8], own.m[9], own.m[10]}, axes);
    VecMulMat3T(up, Vector3{own.m[4], own.m[5], own.m[6]}, axes);
    MatIdentity(probe->local);
    MatLookDir(forward, &up, probe->local);
    probe->local.m[12] = offset.x;
    probe->local.m[13] = offset.y;
    probe->local.m[14] = offset.z;
    probe->offset = offset;

    TDP** slot = &hull->firstChild;
    while (*slot)
        slot = &(*slot)->nextSibling;
    *slot = probe;
    // The moved parts belong to the struck item now.
    SetTDPTreeOwner(probe, other);
    self->avatar->root = nullptr;
    Post(self, self, 0, kMsgDelete);
    other->avatar->flags |= kAvatarLongTrail;
}

void DestroyOnFlareContact(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t* handled,
                           const Vector3* contact)
{
    if (!TakeHandled(handled))
        return;
    const uint32_t sense = other->avatar->classFlags;
    if (!(sense & kSenseProjectile) || (sense & kSenseMissile))
        return;
    Post(self, other, 0, kMsgDelete);
    Vector3 direction{};
    if (contact) {
        const WorldPosition& p = self->sim->position;
        direction = {static_cast<float>(contact->x - p.x), static_cast<float>(contact->y - p.y),
                     static_cast<float>(contact->z - p.z)};
        VecNormalise(direction);
    }
    const float r = self->sim->radius;
    const Vector3 offset{direction.x * r, direction.y * r, direction.z * r};
    SetFlashPoint(self, 0, 60, &offset);
}

void AttachDisruptorGlow(SceneItem* ship, uint32_t flags, int32_t life)
{
    TDP* tdp = AttachParticleEmitter(ship, nullptr, 2, flags, life, 0, 0, 0.0f, 0, 0.0f);
    if (tdp && tdp->emitter && gRampLookup)
        BuildColourRamp(gRampLookup, tdp->emitter->ramp, 190, 200, 255, 190, 200, 255);
}

void DisruptOnContact(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t* handled, const Vector3*)
{
    if (!TakeHandled(handled))
        return;
    if (other->sim->shipInfo) {
        const float radius = other->sim->radius;
        const float t = radius > 0.0f ? kDisruptReference / radius * 2000.0f : kDisruptMost;
        const int32_t braked = static_cast<int32_t>(std::min(t, static_cast<float>(kDisruptMost)));
        if (braked > kDisruptLeast) {
            other->sim->flags |= kSimBraked;
            Post(other, other, braked, kMsgUnbrake);
            AttachDisruptorGlow(other, kDisruptGlowTimed, braked);
        }
        if (other == gPlayerItem)
            gLastHitAmount = kDisruptorHitAmount;
    }
    Post(self, self, 0, kMsgDelete);
}

void BreakOffOnHit(SceneItem* item, const void* hitRecord)
{
    HitPayload record = ReadHit(hitRecord);
    TDP* root = item->avatar->root;
    const uint32_t sense = item->avatar->classFlags;
    bool breaks = item == gPlayerItem;
    if (!breaks && root && !(sense & (kSenseMissile | kSenseProjectile))) {
        const float distance = CameraDistance(item);
        breaks = distance <= 0.0f || root->radius * 900.0f / distance > kBreakApparentSize;
    }
    if (!breaks) {
        BurstIntoDebris(item, true);
        return;
    }
    if (!root || !(root->flags & kTdpBreakable))
        return;
    Vector3 direction{record.point[0], record.point[1], record.point[2]};
    VecNormalise(direction);
    const float reach = 0.75f * root->radius;
    const Vector3 at{direction.x * reach, direction.y * reach, direction.z * reach};
    if (SceneItem* piece = kqzBreakNearest(item, root, 9, at.x, at.y, at.z, 3.0f)) {
        float hitMass = HitMass(record);
        if (hitMass == 0.0f)
            hitMass = 1.0f;
        const float e = hitMass / (hitMass + piece->sim->mass);
        const Vector3 hitVelocity = HitVelocity(record);
        piece->sim->velocity = item->sim->velocity;
        AddScaled(piece->sim->velocity, hitVelocity, e);
        StartChainExplosion(piece);
        DirectorOfferShot(piece, nullptr, kShotPlayerShip);
        piece->sim->radius = item->sim->radius;
    }
    if (!(sense & kSenseProjectile))
        AddShipDestructionExplosion(item, &record, item);
    item->avatar->collision = nullptr;
}

void BurstFlareIntoDebris(SceneItem* item, const void*) { BurstIntoDebris(item, false); }

void HitAsteroid(SceneItem* item, const void* hitRecord)
{
    if (item->avatar->params[kParamBeltAnchor] == 0) {
        BreakOffOnHit(item, hitRecord);
        return;
    }
    const HitPayload record = ReadHit(hitRecord);
    ShatterSceneItem(item, Vector3{record.point[0], record.point[1], record.point[2]}, 255);
}

void ShatterSceneItem(SceneItem* item, const Vector3& hitPoint, uint8_t split)
{
    TDP* root = item->avatar->root;
    if (!root || !(root->flags & kTdpBreakable))
        return;
    item->pitchDemand = static_cast<float>(CRand() % 50 - 25);
    item->yawDemand = static_cast<float>(CRand() % 50 - 25);
    const ShrapnelBreak request{item, root, 5, hitPoint.x, hitPoint.y, hitPoint.z, 3.0f, split, 0};
    kqzBreakNearestIntoSceneItems(&request);
    item->avatar->collision = nullptr;
}
