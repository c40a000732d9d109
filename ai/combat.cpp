// Hits, impacts, hard points and the energy balance.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ai/combat.h"

#include "system/calltrace.h"

uint8_t AddHardPoint(SceneItem* item, int32_t chance)
{
    RecordCall("AddHardPoint");
    return {};
}

void AssignHardPointTarget(SceneItem* ship, int32_t n, uint32_t includeMask, uint32_t excludeMask)
{
    RecordCall("AssignHardPointTarget");
}

void PostImpactMessage(SceneItem* striker, SceneItem* struck, int32_t penetration, int32_t damage)
{
    RecordCall("PostImpactMessage");
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

void AnnounceDecoyToMissiles(SceneItem* flare, SceneItem* second)
{
    RecordCall("AnnounceDecoyToMissiles");
}
