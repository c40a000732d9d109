// Hits, impacts, hard points and the energy balance.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null. The decoy's
// announcement is built (it is what message kind 25 answers), and the
// impact message (the collision responses post it), and AddHardPoint.
#include "ai/combat.h"

#include <cmath>
#include <cstring>

#include "system/calltrace.h"
#include "system/crand.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

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

void AssignHardPointTarget(SceneItem* ship, int32_t n, uint32_t includeMask, uint32_t excludeMask)
{
    RecordCall("AssignHardPointTarget");
}

// The impact: message kind 7 from the striker to the struck item after 4
// hundredths, with the hit record: the impact point (half the striker's
// position minus the struck item's), the striker's velocity, the amount,
// the armour (penetration), the striker's mass and the striker.
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
    std::memcpy(record.words1, &a.velocity, sizeof record.words1);
    record.amount = damage;
    record.words2[0] = penetration;
    std::memcpy(&record.words2[2], &a.mass, sizeof(float));
    record.attacker = ItemHandle(striker);
    PostItemMessage(striker->receiver, struck->receiver, 4, kMsgImpact, record);
}

void ApplyHitDamage(SceneItem* item, ItemMessage* message)
{
    RecordCall("ApplyHitDamage");
}

void ProjectileHit(SceneItem* self, TDP* selfPart, SceneItem* other, TDP* otherPart, int16_t* handled, const Vector3* contactPoint)
{
    RecordCall("ProjectileHit");
}

void ApplyImpactTorque(SceneItem* item, const Vector3* impactPoint, const Vector3* relativeVelocity, float otherMass)
{
    RecordCall("ApplyImpactTorque");
}

void ApplyCollisionTorque(SceneItem* item, SceneItem* other, const Vector3* impactPoint)
{
    RecordCall("ApplyCollisionTorque");
}

float gEnergyShares[3];

void ShiftEnergyShare(float amount, float* share, float* otherShare1, float* otherShare2)
{
    RecordCall("ShiftEnergyShare");
}

Vector3 RandomHitPointOnModel(SceneItem* item)
{
    RecordCall("RandomHitPointOnModel");
    return {};
}

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

float HullConditionFactor(int32_t armour, int32_t maximum, int32_t taken, int32_t capabilities)
{
    RecordCall("HullConditionFactor");
    return {};
}

float ThreatRating(SceneItem* item, SceneItem* other, uint32_t mask)
{
    RecordCall("ThreatRating");
    return {};
}
