// Hits, impacts, hard points and the energy balance.
//
// The struck end of a shot: ProjectileHit is every fired item's contact
// routine; it works out damage and penetration, lets the target's hard
// points deflect the shot and posts the impact to the target, whose message
// handler hands it to ApplyHitDamage. Collisions post the same impact
// (PostImpactMessage) and turn the struck items (ApplyCollisionTorque).
// Also here: the damage-factor ratings the AI weighs enemies with, the
// countermeasure reflex, a random hull point for effects and the player's
// three-way energy share. Not here: firing (ai/weapons.h), the hull damage
// itself (world/damage.h) and the effects (view/).
#include "ai/combat.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "ai/orders.h"
#include "ai/weapons.h"
#include "script/vitalobjects.h"
#include "system/crand.h"
#include "system/joystick.h"
#include "system/sound.h"
#include "ui/hud.h"
#include "view/cameras.h"
#include "view/explosions.h"
#include "view/markerlights.h"
#include "world/actions.h"
#include "world/behaviours.h"
#include "world/damage.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/tally.h"

float gEnergyShares[3];
float gEnergyOutputs[3] = {100.0f, 100.0f, 100.0f};
HitIndicators gHitIndicators;

namespace {

constexpr uint32_t kSimNoDeflection = 0x2000000;  // the struck item's hard points stand down
constexpr uint32_t kSimTrailBolt = 0x4000;        // a projectile that lives on through its hits
constexpr uint32_t kSimSizeWeighs = 0x1400;       // stances that weigh an enemy's size
constexpr uint32_t kClassFarForHardPoints = 0x40; // side class the hard points weigh four times
constexpr uint32_t kClassLesserThreat = 0x8000000;
constexpr uint32_t kPlayerExcludes = kSenseProjectile; // hard points re-aimed by a hit never take a bolt
constexpr int16_t kFlashHullPoint = 80;
constexpr int32_t kSoundDeflected = 8;
constexpr int32_t kFlashDeflectedColour = 9;
constexpr float kFlashDeflected = 2000.0f;
constexpr float kFlashHullHit = 500.0f;
constexpr uint8_t kShieldFlash = 127;
constexpr int32_t kDirectorKill = 5;
constexpr int32_t kKillDelay = 2;       // hundredths before a kill becomes a hit message
constexpr int32_t kPlayerKillDelay = 5; //   and for the player's ship
constexpr float kLevelSlope = 0.268f;   // tan 15 degrees: a shot this level meets both halves
constexpr float kSideWeight = 2.6f;     // the hard points' weighing of enemies
constexpr float kNoEnemyWeight = 1e8f;
constexpr int32_t kDefaultDamage = 40; // a projectile with no mount and no ship record
constexpr int32_t kDefaultArmour = 60;
constexpr uint32_t kHullBoxHidden = 0x10; // a part that is not drawn gets no hit points
// The green bolt: its spacing ahead of the source, speed, radius and life
// (hundredths), those of a plain cannon's bolt.
constexpr float kGreenSpacing = 1000.0f;
constexpr float kGreenSpeed = 600000.0f;
constexpr float kGreenRadius = 150.0f;
constexpr int32_t kGreenLife = 40;

// The damage factor of each damaged capability bit; ended by a 0 mask.
struct MaskFactor {
    uint32_t mask;
    float factor;
};
constexpr MaskFactor kCapabilityFactors[] = {
    {0x1, 0.85f},
    {0x2, 0.82f},
    {0x4, 0.86f},
    {0x8, 0.96f},
    {0x10, 0.96f},
    {0x20, 0.95f},
    {0x40, 0.95f},
    {0x80, 0.7f},
    {0x100, 0.7f},
    {0x200, 0.5f},
    {0x400, 0.75f},
    {0, 0.0f},
};
// The threat factor of each class flag of a rated ship; ended by a 0 mask.
constexpr MaskFactor kClassFactors[] = {
    {0x8000, 2.0f},
    {0x10000, 0.7f},
    {0x20000, 0.8f},
    {0x40000, 0.5f},
    {0x80000, 2.0f},
    {0x100000, 0.5f},
    {0x200000, 0.1f},
    {0x8, 0.9f},
    {0x1, 0.1f},
    {0x2000, 0.4f},
    {0, 0.0f},
};

float Multiply(const MaskFactor* table, uint32_t bits)
{
    float f = 1.0f;
    for (; table->mask; ++table)
        if (bits & table->mask)
            f *= table->factor;
    return f;
}

Vector3 Row(const Matrix4& m, int row) { return {m.m[row * 4], m.m[row * 4 + 1], m.m[row * 4 + 2]}; }

Vector3 Offset(const SceneItem* from, const SceneItem* to)
{
    const WorldPosition& a = from->sim->position;
    const WorldPosition& b = to->sim->position;
    return {static_cast<float>(b.x - a.x), static_cast<float>(b.y - a.y), static_cast<float>(b.z - a.z)};
}

// a / b, with 0 / 0 as 0 and x / 0 as an infinity of the sign x / +0 gives
// (a shooter exactly abeam is level with the ship, not undefined).
float Ratio(float a, float b)
{
    if (b != 0.0f)
        return a / b;
    if (a == 0.0f)
        return 0.0f;
    return std::copysign(std::numeric_limits<float>::infinity(), a);
}

void RemoveSelf(SceneItem* item) { PostItemMessage(item->receiver, item->receiver, 0, kMsgDelete, 0, nullptr); }

// The turn a blow gives: the point, the striker's velocity and mass, and the
// flash strength.
void PostImpactTorque(SceneItem* projectile, SceneItem* struck, const HitPayload& record, float strength)
{
    ImpactTorqueBody body{};
    std::memcpy(body.point, record.point, sizeof body.point);
    std::memcpy(body.velocity, record.velocity, sizeof body.velocity);
    body.mass = record.mass;
    body.words[0] = std::bit_cast<int32_t>(strength);
    PostItemMessage(projectile->receiver, struck->receiver, 0, kMsgImpactTorque, body);
}

// Damage and penetration of a bolt after travelling `travel` of its
// `range`: whole within a third of the range, then halving for every
// further third (the damage starts at half the mount's).
void BoltFalloff(const Weapon& mount, int32_t travel, int32_t* damage, int32_t* armour)
{
    const float third = mount.range / 3.0f;
    const float t = static_cast<float>(travel);
    const float f = (t <= third || third <= 0.0f) ? 1.0f : std::exp2(t / third - 1.0f);
    *damage = static_cast<int32_t>(static_cast<float>(mount.damage) / (2.0f * f));
    *armour = static_cast<int32_t>(static_cast<float>(mount.penetration) * 5.0f / (4.0f + f));
}

// Which halves of the struck ship its hard points shield from the shooter:
// bit 1 the upper half, bit 2 the lower; 0 when the shot goes through.
// Every slot applies for a munition on the player's ship, else only the
// slot set on the shooter and only when its chance comes up.
constexpr int kUpperHalf = 1;
constexpr int kLowerHalf = 2;
int DeflectingHalves(SceneItem* struck, SceneItem* projectile, SceneItem* shooter, bool everySlot)
{
    const ShipInfo& info = *struck->sim->shipInfo;
    Vector3 local;
    VecMulMat3T(local, Offset(struck, shooter), struck->sim->matrix);
    const Vector3& pv = projectile->sim->velocity;
    const Vector3& sv = struck->sim->velocity;
    const float closing = VecFastLength(Vector3{pv.x - sv.x, pv.y - sv.y, pv.z - sv.z});
    const float bonus = closing * 20.0f / 100000.0f;
    const float q = std::fabs(Ratio(local.y, local.z));
    int halves = 0;
    for (int slot = 0; slot < info.hardPointCount && slot < kHardPoints; ++slot) {
        const float chance = std::min(100.0f, static_cast<float>(info.hardPoints[slot].condition) + bonus);
        if (!everySlot) {
            if (info.hardPoints[slot].target.Get() != shooter)
                continue;
            if (static_cast<float>(CRand() % 100) > chance)
                continue;
        }
        // A shot level from behind slips past.
        if (local.z <= 0.0f && q <= kLevelSlope && Ratio(local.x, local.z) <= 1.0f)
            continue;
        const bool upperSlot = slot & 1;
        if (q < kLevelSlope)
            halves |= kUpperHalf | kLowerHalf;
        else if (local.y > 0.0f && upperSlot)
            halves |= kUpperHalf;
        else if (local.y <= 0.0f && !upperSlot)
            halves |= kLowerHalf;
    }
    return halves;
}

void ReaimHardPoints(SceneItem* item, uint32_t include, uint32_t exclude)
{
    for (int n = 0; n < kHardPoints; ++n)
        AssignHardPointTarget(item, n, include, exclude);
}

} // namespace

// The value's low byte becomes the condition of the first slot whose
// condition is 0, and the count covers that slot; 255 when stored, 0 when
// all four slots are taken.
uint8_t AddHardPoint(SceneItem* item, int32_t chance)
{
    ShipInfo* info = item->sim->shipInfo;
    for (int slot = 0; slot < kHardPoints; ++slot) {
        if (info->hardPoints[slot].condition != 0)
            continue;
        info->hardPoints[slot].condition = static_cast<int8_t>(chance & 0xFF);
        if (info->hardPointCount < slot + 1)
            info->hardPointCount = static_cast<int8_t>(slot + 1);
        return 255;
    }
    return 0;
}

// The nearest candidate by weight: the distance, made heavier for an enemy
// on the half the slot does not guard, for heavy classes and for enemies
// lower slots already cover, lighter for the last attacker.
void AssignHardPointTarget(SceneItem* ship, int32_t n, uint32_t includeMask, uint32_t excludeMask)
{
    ShipInfo* info = ship && ship->sim ? ship->sim->shipInfo : nullptr;
    if (!info || n < 0 || n >= info->hardPointCount || n >= kHardPoints)
        return;
    const SceneItem* attacker = ship->avatar ? ship->avatar->lockedOn.Get() : nullptr;
    const bool upperSlot = n & 1;
    SceneItem* best = nullptr;
    float bestWeight = kNoEnemyWeight;
    for (SceneItem* other = gSceneList.next; other != &gSceneList; other = other->next) {
        if (other == ship || !other->sim || !other->avatar)
            continue;
        const uint32_t flags = other->avatar->classFlags;
        if (other != attacker && (!(flags & includeMask) || (flags & excludeMask)))
            continue;
        const Vector3 d = Offset(ship, other);
        float w = VecFastLength(d);
        if (!(w < bestWeight))
            continue;
        Vector3 local;
        VecMulMat3T(local, d, ship->sim->matrix);
        if (upperSlot ? local.y < 0.0f : local.y > 0.0f)
            w *= kSideWeight;
        if (other == attacker)
            w /= kSideWeight;
        if (flags & kClassFarForHardPoints)
            w *= 4.0f;
        for (int lower = 0; lower < n; ++lower)
            if (info->hardPoints[lower].target.Get() == other)
                w *= kSideWeight;
        if (w < bestWeight) {
            bestWeight = w;
            best = other;
        }
    }
    info->hardPoints[n].target = best;
}

// The impact: message kind 7 from the striker to the struck item, due at
// once, with the hit record: the impact point (half the striker's position
// minus the struck item's), the striker's velocity, the damage, the
// penetration, the striker's mass and the striker.
void PostImpactMessage(SceneItem* striker, SceneItem* struck, int32_t penetration, int32_t damage)
{
    if (!striker || !struck || !striker->sim || !struck->sim)
        return;
    const Sim& a = *striker->sim;
    const Sim& b = *struck->sim;
    HitPayload record{};
    record.point[0] = static_cast<float>((a.position.x - b.position.x) / 2.0);
    record.point[1] = static_cast<float>((a.position.y - b.position.y) / 2.0);
    record.point[2] = static_cast<float>((a.position.z - b.position.z) / 2.0);
    record.velocity[0] = a.velocity.x;
    record.velocity[1] = a.velocity.y;
    record.velocity[2] = a.velocity.z;
    record.amount = damage;
    record.armour = penetration;
    record.mass = a.mass;
    record.attacker = ItemHandle(striker);
    PostItemMessage(striker->receiver, struck->receiver, 0, kMsgImpact, record);
}

void ApplyHitDamage(SceneItem* item, ItemMessage* message)
{
    if (!item || !message || !item->sim || !item->sim->shipInfo)
        return;
    if (item == gControlledItem && item != gPlayerItem)
        gControlledHitCounter = 7;
    HitPayload record = MessageBody<HitPayload>(*message);
    // A light ship of side 5 only scratches a heavier one: the script counts it.
    const SceneItem* shooter = ItemFromHandle(record.attacker);
    const ShipInfo* shooterInfo = shooter && shooter->sim ? shooter->sim->shipInfo : nullptr;
    if (shooterInfo && shooterInfo->side == 5 && shooter->sim->mass < item->sim->mass) {
        CountVitalHit(item);
        return;
    }
    FireActions(item, kEventHullDamage, &record);
    WeaponHitHook(item, &record);
    if (!item->sim || !item->sim->shipInfo)
        return; // an Action took the ship apart
    // Each blow lands at 50 to 149 % of its damage and of its penetration.
    const int64_t r1 = CRand() % 100 + 50;
    const int64_t r2 = CRand() % 100 + 50;
    const auto scale = [](int64_t r, int32_t v) { return static_cast<int32_t>(r * v / 100); };
    const int32_t damage = scale(r1, record.amount);
    const int32_t armour = scale(r2, record.armour);
    DamageBlock& block = item->sim->shipInfo->damage;
    const int32_t d = HalveDamageBySteps(block.armour, armour, damage);
    const Vector3 point{record.point[0], record.point[1], record.point[2]};
    const int32_t result = ApplyHullDamage(item, &block, d, &point);
    ReaimHardPoints(item, EnemyClassMask(item), 0);
    if (result == -1) {
        NoteItemDestroyed(item, &record);
        const bool player = item == gPlayerItem;
        if (player)
            StartDirector();
        DirectorOfferShot(item, nullptr, kDirectorKill);
        PostItemMessage(item->receiver, item->receiver, player ? kPlayerKillDelay : kKillDelay, kMsgHit, record);
    }
    // The ship with the systems model keeps its hull value from them. A hull
    // without points reads 0 % rather than dividing by zero.
    if (!CarriesShipSystems(item)) {
        const int64_t maximum = block.maximumHull;
        const int64_t hull = maximum > 0 ? 100 - int64_t{block.hullDamage} * 100 / maximum : 0;
        item->sim->hull = static_cast<int32_t>(std::max<int64_t>(hull, 0));
    }
}

void ProjectileHit(SceneItem* self, TDP* selfPart, SceneItem* other, TDP*, int16_t* handled, const Vector3* contactPoint)
{
    if (handled) {
        if (*handled == 1)
            return;
        *handled = 1;
    }
    if (!self || !other || !self->sim || !other->sim || !self->avatar || !other->avatar)
        return;
    Avatar* pa = self->avatar;
    Sim* struckSim = other->sim;
    ShipInfo* struckInfo = struckSim->shipInfo;
    SceneItem* shooter = pa->shooter.Get();

    HitPayload record{};
    const Vector3 contact = contactPoint ? *contactPoint : Vector3{struckSim->matrix.m[12], struckSim->matrix.m[13], struckSim->matrix.m[14]};
    record.point[0] = contact.x - struckSim->matrix.m[12];
    record.point[1] = contact.y - struckSim->matrix.m[13];
    record.point[2] = contact.z - struckSim->matrix.m[14];
    record.velocity[0] = self->sim->velocity.x;
    record.velocity[1] = self->sim->velocity.y;
    record.velocity[2] = self->sim->velocity.z;
    record.mass = self->sim->mass;
    record.attacker = ItemHandle(shooter);
    const Vector3 offset{record.point[0], record.point[1], record.point[2]};

    if ((pa->classFlags & kClassMissile) && struckInfo && (struckInfo->flags & kShipCountermeasures))
        AutoFireEcm(other, self);

    // The firing mount is only good while its ship lives.
    const Weapon* mount = shooter ? pa->weapon : nullptr;
    SceneItem* attacker = shooter; // who the hard points and the attack record see
    bool everySlot = false;
    if (mount) {
        const bool bolt = mount->flags & kWeaponBeam;
        if (shooter == gPlayerItem)
            RecordTallyHit(other->avatar->params[kParamTallySerial], bolt ? 0 : 1);
        if (bolt) {
            BoltFalloff(*mount, pa->travel, &record.amount, &record.armour);
        } else {
            record.amount = mount->damage;
            record.armour = static_cast<int32_t>(static_cast<float>(mount->penetration) * 5.0f / 4.5f);
            attacker = self;
            everySlot = other == gPlayerItem;
        }
    } else if (const ShipInfo* own = self->sim->shipInfo) {
        record.amount = own->damage.maximumHull;
        record.armour = static_cast<int32_t>(1.2f * static_cast<float>(own->damage.armour));
    } else {
        record.amount = kDefaultDamage;
        record.armour = kDefaultArmour;
    }

    if (struckInfo) {
        const uint32_t exclude = other == gPlayerItem ? kPlayerExcludes : (other->avatar->classFlags & kClassSides) + kPlayerExcludes;
        ReaimHardPoints(other, EnemyClassMask(other), exclude);
    }
    int halves = 0;
    if (struckInfo && attacker && attacker->sim && !(struckSim->flags & kSimNoDeflection))
        halves = DeflectingHalves(other, self, attacker, everySlot);
    if (other->flags & kItemNearSurface)
        halves = 0;
    if (struckSim->flags & kSimNoDamage) {
        if (other == gPlayerItem) {
            RemoveSelf(self);
            return;
        }
        halves |= kUpperHalf | kLowerHalf;
    }

    if (!halves) {
        Avatar* sa = other->avatar;
        if (sa->lockedOn.Get() == attacker && attacker) {
            sa->lockedAmount += record.amount;
        } else {
            sa->lockedOn = attacker;
            sa->lockedAmount = record.amount;
        }
    }
    FlashAtHullPoint(other, &offset, kFlashHullPoint);
    const bool trail = self->sim->flags & kSimTrailBolt;

    if (halves) {
        int32_t volume = 0, pan = 0;
        Vector3 heard{};
        SoundPlacePoint(other, &volume, &pan, &heard);
        SoundPlay(kSoundDeflected, volume, 0, pan, 0);
        if (other == gControlledItem) {
            FFPlayHitEffect(2000, offset.x, offset.y);
            gHitIndicators.shieldFlash = kShieldFlash;
            gHitIndicators.upperShieldFlash = (halves & kUpperHalf) != 0;
        }
        if (other == gPlayerItem) {
            gHitIndicators.deflections[0] += (halves & kUpperHalf) != 0;
            gHitIndicators.deflections[1] += (halves & kLowerHalf) != 0;
        }
        SetFlashPoint(other, kFlashDeflectedColour, 0, &offset);
        if (!trail)
            RemoveSelf(self);
        PostImpactTorque(self, other, record, kFlashDeflected);
        return;
    }

    if (!trail) {
        RemoveSelf(self);
        if (selfPart)
            selfPart->flags &= ~kTdpCollides;
    }
    PostImpactTorque(self, other, record, kFlashHullHit);
    PostItemMessage(self->receiver, other->receiver, 0, kMsgImpact, record);
    if (other == gControlledItem)
        FFPlayHitEffect2(record.amount * 200, offset.x, offset.y);
}

// The point and velocity come in world axes. Each turn rate moves toward the
// side the blow pushes it and stops at the angle limit.
void ApplyImpactTorque(SceneItem* item, const Vector3* impactPoint, const Vector3* relativeVelocity, float otherMass)
{
    if (!item || !item->sim || !impactPoint || !relativeVelocity)
        return;
    Sim* sim = item->sim;
    Vector3 p, v;
    VecMulMat3T(p, *impactPoint, sim->matrix);
    VecMulMat3T(v, *relativeVelocity, sim->matrix);
    VecNormalise(p);
    const float speed = VecNormalise(v);
    const float limit =
        sim->radius > 0.0f ? std::min(30.0f, speed / sim->radius * (180.0f / 3.14159265f)) : 30.0f;
    const bool sy = p.x * v.z < p.z * v.x;
    const bool sz = p.y * v.x > p.x * v.y;
    const bool sx = p.z * v.y < p.y * v.z;
    const float speedTerm = speed >= 600000.0f ? 60.0f : speed / 10000.0f;
    const float massRatio = sim->mass > 0.0f ? std::min(5.0f, otherMass / sim->mass) : 5.0f;
    const float k = std::min(limit, massRatio * speedTerm);
    const float ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
    const auto turn = [limit](float& rate, bool up, float step) {
        if (up && rate < limit)
            rate = std::min(limit, rate + step);
        else if (!up && rate > -limit)
            rate = std::max(-limit, rate - step);
    };
    turn(sim->turnRates.y, sy, (ax + az) * k);
    turn(sim->turnRates.z, sz, (ax + ay) * k);
    turn(sim->turnRates.x, sx, (ay + az) * k);
}

// The collision code gives the direction to the other in the item's own
// axes; the torque wants world axes, so it is turned back first.
void ApplyCollisionTorque(SceneItem* item, SceneItem* other, const Vector3* impactPoint)
{
    if (!item || !other || !item->sim || !other->sim || !impactPoint)
        return;
    Vector3 world;
    MatRotateVec(item->sim->matrix, *impactPoint, world);
    const Vector3& a = item->sim->velocity;
    const Vector3& b = other->sim->velocity;
    const Vector3 relative{b.x - a.x, b.y - a.y, b.z - a.z};
    ApplyImpactTorque(item, &world, &relative, other->sim->mass);
    item->sim->flags |= kSimTurnOncePerFrame;
}

// ---- Energy shares ------------------------------------------------------------------------

void ComputeEnergyOutputs()
{
    const float* s = gEnergyShares;
    const float sum = s[0] + s[1] + s[2] + 1.5f;
    const float largest = std::max({s[0], s[1], s[2]});
    const float base = largest > 0.3f ? 322.0f - 72.0f * largest : 300.0f;
    for (int i = 0; i < 3; ++i)
        gEnergyOutputs[i] = base * (s[i] + 0.5f) / sum;
}

void RemoveCommonShare(float* x, float* y, float* z)
{
    if (*x < *y || *x < *z)
        return;
    float* smaller = *y <= *z ? y : z;
    float* larger = smaller == y ? z : y;
    *x -= *smaller;
    *larger -= *smaller;
    *smaller = 0.0f;
}

void NormaliseEnergyShares()
{
    float& a = gEnergyShares[0];
    float& b = gEnergyShares[1];
    float& c = gEnergyShares[2];
    const float sum = a + b + c;
    if (sum > 1.0f) {
        a /= sum;
        b /= sum;
        c /= sum;
    }
    if (a != 0.0f && b != 0.0f && c != 0.0f) {
        RemoveCommonShare(&b, &a, &c);
        RemoveCommonShare(&a, &b, &c);
        RemoveCommonShare(&c, &a, &b);
    }
}

void ShiftEnergyShare(float amount, float* share, float* otherShare1, float* otherShare2)
{
    if (*otherShare2 > *otherShare1)
        std::swap(otherShare1, otherShare2);
    amount = std::min(amount, 1.0f - *share);
    *share += amount;
    *otherShare1 = std::max(0.0f, *otherShare1 - amount * *share);
    NormaliseEnergyShares();
    ComputeEnergyOutputs();
}

void ResetEnergyShares()
{
    gEnergyShares[0] = gEnergyShares[1] = gEnergyShares[2] = 0.0f;
    ComputeEnergyOutputs();
}

// ---- Ratings and reflexes -------------------------------------------------------------------

Vector3 RandomHitPointOnModel(SceneItem* item)
{
    float f[3];
    for (float& v : f)
        v = static_cast<float>(CRand() % 1000) * 0.001f;
    const TDP* root = item && item->avatar ? item->avatar->root : nullptr;
    const HullBounds* bounds = root ? root->hullBounds : nullptr;
    int32_t parts = 0;
    for (const HullBox* box = bounds ? bounds->boxes : nullptr; box; box = box->next)
        parts += !(box->flags & kHullBoxHidden);
    if (parts == 0)
        return {f[0], f[1], f[2]};
    int32_t pick = CRand() % parts;
    const HullBox* box = bounds->boxes;
    for (;; box = box->next)
        if (!(box->flags & kHullBoxHidden) && pick-- == 0)
            break;
    const int axis = CRand() % 3;
    f[axis] = f[axis] >= 0.5f ? 1.0f : 0.0f;
    const Vector3& lo = box->minimum;
    const Vector3& hi = box->maximum;
    return {lo.x + (hi.x - lo.x) * f[0], lo.y + (hi.y - lo.y) * f[1], lo.z + (hi.z - lo.z) * f[2]};
}

// The last ready countermeasure launcher fires at the attacker; a ship
// without one stops counting as carrying countermeasures.
void AutoFireEcm(SceneItem* item, SceneItem* attacker)
{
    if (!item || !item->sim)
        return;
    Weapon* last = nullptr;
    for (Weapon* w = item->sim->weapons; w; w = w->next)
        if (w->kind == kGroupEcmFlare && (w->flags & kWeaponReady))
            last = w;
    if (last) {
        const Vector3 d = attacker && attacker->sim ? Offset(item, attacker) : Vector3{};
        FireWeapon(attacker, d.x, d.y, d.z, item, last);
    } else if (item->sim->shipInfo) {
        item->sim->shipInfo->flags &= ~kShipCountermeasures;
    }
}

void WeaponHitHook(SceneItem*, const HitPayload*) {}

// The flare tells every missile that it stands for the ship it protects:
// the further the ship, the rarer the announcement. The body names the
// protected ship first, so a missile aimed at it turns to the flare.
void AnnounceDecoyToMissiles(SceneItem* flare, SceneItem* second)
{
    if (!flare || !second || !flare->sim || !second->sim)
        return;
    const WorldPosition& a = flare->sim->position;
    const WorldPosition& b = second->sim->position;
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    const double x = std::sqrt(dx * dx + dy * dy + dz * dz) / (static_cast<double>(second->sim->radius) + 10000.0);
    if (x > 5.0 && x - 5.0 > CRand() % 7)
        return;
    const DecoyBody body{ItemHandle(second), ItemHandle(flare)};
    for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next)
        if (item->avatar && (item->avatar->classFlags & kSenseMissile))
            PostItemMessage(flare->receiver, item->receiver, 0, kMsgDecoy, body);
}

// A hull without points has no condition left: 0.
float HullConditionFactor(int32_t, int32_t maximum, int32_t taken, int32_t capabilities)
{
    if (maximum <= 0)
        return 0.0f;
    const float f = 1.0f - static_cast<float>(taken) / static_cast<float>(maximum);
    return f * Multiply(kCapabilityFactors, static_cast<uint32_t>(capabilities) & 0xFFFF);
}

float ThreatRating(SceneItem* item, SceneItem* other, uint32_t mask)
{
    const ShipInfo* info = other && other->sim ? other->sim->shipInfo : nullptr;
    if (!info || !item || !item->sim || !item->avatar || !other->avatar)
        return 0.0f;
    const ShipInfo* own = item->sim->shipInfo;
    const float sign = own && own->side == 2 ? -1.0f : 1.0f;
    const DamageBlock& d = info->damage;
    const float condition = HullConditionFactor(d.armour, d.maximumHull, d.hullDamage, d.capabilities);
    float p = std::max(0.25f, (1.0f - condition) * sign + 1.0f);
    const uint32_t flags = other->avatar->classFlags;
    p *= Multiply(kClassFactors, flags);
    if (flags & mask)
        p *= 2.0f;
    if (flags & kClassLesserThreat)
        p *= 0.5f;
    if (item->avatar->lockedOn.Get() == other && item->avatar->lockedAmount > 0)
        p *= 3.0f;
    else if (other == gPlayerItem)
        p *= 0.85f;
    if (item->sim->flags & kSimSizeWeighs) {
        const float ratio = item->sim->radius > 0.0f ? other->sim->radius / item->sim->radius : 5.0f;
        p *= std::clamp(ratio, 1.0f, 5.0f);
    }
    const float l = std::log10(VecFastLength(Offset(item, other))) - 5.0f;
    if (l > 1.0f)
        p /= l;
    return p;
}

// A "green" bolt (a default hit: no mount) ahead of the source for each of
// `count`, one behind another, owned by `owner`.
void SpawnGreenProjectile(SceneItem* source, int32_t count, SceneItem* owner)
{
    if (!source || !source->sim)
        return;
    const Sim& s = *source->sim;
    const Vector3 forward = Row(s.matrix, 2);
    for (int32_t i = 0; i < count; ++i) {
        SceneItem* shot = NewSceneItem();
        if (!shot)
            return;
        InsertSceneItem(shot, 0);
        if (!AttachSim(shot, BallisticStep) || !AttachRootTDP(shot)) {
            DeleteSceneItem(shot);
            return;
        }
        Sim* sim = shot->sim;
        Avatar* avatar = shot->avatar;
        const float ahead = s.radius + kGreenSpacing * static_cast<float>(i + 1);
        sim->matrix = s.matrix;
        sim->position = {s.position.x + forward.x * ahead, s.position.y + forward.y * ahead,
                         s.position.z + forward.z * ahead};
        sim->matrix.m[12] = static_cast<float>(sim->position.x);
        sim->matrix.m[13] = static_cast<float>(sim->position.y);
        sim->matrix.m[14] = static_cast<float>(sim->position.z);
        sim->previousMatrix = sim->matrix;
        sim->velocity = {s.velocity.x + forward.x * kGreenSpeed, s.velocity.y + forward.y * kGreenSpeed,
                         s.velocity.z + forward.z * kGreenSpeed};
        sim->radius = kGreenRadius;
        avatar->classFlags = (owner && owner->avatar ? owner->avatar->classFlags & kClassSides : 0) | kSenseProjectile;
        avatar->collision = ProjectileHit;
        avatar->responseOrder = 50;
        avatar->shooter = owner;
        avatar->linkItem = source;
        avatar->root->materialName = "green";
        avatar->root->flags |= kTdpInScene | kTdpNew | kTdpMovingPoint;
        SetMessageFunction(shot, HandleItemMessages);
        PostItemMessage(shot->receiver, shot->receiver, kGreenLife, kMsgDelete, 0, nullptr);
    }
}
