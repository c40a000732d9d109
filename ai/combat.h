// Hits, impacts, hard points and the energy balance.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct TDP;
struct ItemMessage;
struct HitPayload;

uint8_t AddHardPoint(SceneItem* item, int32_t chance);
void AssignHardPointTarget(SceneItem* ship, int32_t n, uint32_t includeMask, uint32_t excludeMask);
void PostImpactMessage(SceneItem* striker, SceneItem* struck, int32_t penetration, int32_t damage);
void ApplyHitDamage(SceneItem* item, ItemMessage* message);
void ProjectileHit(SceneItem* self, TDP* selfPart, SceneItem* other, TDP* otherPart, int16_t* handled, const Vector3* contactPoint);
void ApplyImpactTorque(SceneItem* item, const Vector3* impactPoint, const Vector3* relativeVelocity, float otherMass);
void ApplyCollisionTorque(SceneItem* item, SceneItem* other, const Vector3* impactPoint);
// The player's ship's three energy shares (0..1 each).
extern float gEnergyShares[3];
void ShiftEnergyShare(float amount, float* share, float* otherShare1, float* otherShare2);
Vector3 RandomHitPointOnModel(SceneItem* item);
void AnnounceDecoyToMissiles(SceneItem* flare, SceneItem* second);
// The hull's condition 0..1 from the damage block's values and its damaged
// capabilities (the armour is not read).
float HullConditionFactor(int32_t armour, int32_t maximum, int32_t taken, int32_t capabilities);
// How much `other` threatens the item (0 when it is no ship); `mask` names
// the class flags that make it worse.
float ThreatRating(SceneItem* item, SceneItem* other, uint32_t mask);
