// Hits, impacts, hard points and the energy balance.
//
// A fired item's contact routine (ProjectileHit) resolves the hit on the
// struck item: damage and penetration from the firing mount and the
// distance flown, deflection by the struck ship's hard points, and the
// impact message (kind 7) that the struck item's message handler passes
// to ApplyHitDamage. Collisions post the same impact (PostImpactMessage)
// and turn the struck items (ApplyCollisionTorque).
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct TDP;
struct ItemMessage;
struct HitPayload;

// ShipInfo flag: the ship carries countermeasures (an ECM flare launcher).
constexpr uint32_t kShipCountermeasures = 0x8;

// Stores the chance (percent, its low byte) in the first hard-point slot
// whose chance is 0 and raises the count to cover that slot: 255; 0 when
// all four slots are taken.
uint8_t AddHardPoint(SceneItem* item, int32_t chance);
// Sets hard point n (0-based, below the count) on the nearest enemy by
// weight among the item's last attacker and the items whose class flags
// hold an include bit and no exclude bit; null when none is nearer than
// 1e8. Odd slots guard the upper half of the ship, even slots the lower.
void AssignHardPointTarget(SceneItem* ship, int32_t n, uint32_t includeMask, uint32_t excludeMask);
// The collisions' impact: kind 7 from the striker to the struck item, due at once.
void PostImpactMessage(SceneItem* striker, SceneItem* struck, int32_t penetration, int32_t damage);
// An impact (kind 7) on a ship: Actions, randomised and armour-halved
// damage to the hull, the hard points re-aimed; a kill notes the
// destruction and posts the hit message (kind 6) to the ship itself.
void ApplyHitDamage(SceneItem* item, ItemMessage* message);
// The contact routine of every fired item; acts once per contact (the
// shared handled word). Posts the impact-effect message (kind 20) and,
// unless deflected, the impact (kind 7) to the struck item, and removes
// the projectile unless it is a trail bolt.
void ProjectileHit(SceneItem* self, TDP* selfPart, SceneItem* other, TDP* otherPart, int16_t* handled, const Vector3* contactPoint);
// Turns the item for a blow at the point with the relative velocity and the
// striker's mass (world axes): each turn rate moves toward the blow's side,
// at most the angle limit (speed / radius in degrees, at most 30).
void ApplyImpactTorque(SceneItem* item, const Vector3* impactPoint, const Vector3* relativeVelocity, float otherMass);
// The bounce's turn: `impactPoint` is the direction to the other in the
// item's own axes; marks the item as turned this frame.
void ApplyCollisionTorque(SceneItem* item, SceneItem* other, const Vector3* impactPoint);

// The player's ship's three energy shares (0..1 each, sum at most 1) and
// the outputs derived from them (100 each when the shares are even).
extern float gEnergyShares[3];
extern float gEnergyOutputs[3];
// Raises `share` by the amount (not above 1) at the cost of the larger of
// the two others, then normalises and recomputes the outputs.
void ShiftEnergyShare(float amount, float* share, float* otherShare1, float* otherShare2);
void ResetEnergyShares();
// Scales the shares to a sum of at most 1 and, when all three are above 0,
// takes their common part away so that one becomes 0.
void NormaliseEnergyShares();
// Only when x is the largest: the smaller of y and z is taken from x and
// the other one, and becomes 0.
void RemoveCommonShare(float* x, float* y, float* z);
void ComputeEnergyOutputs();

// What the hits on the player's side leave for the view and the panels.
struct HitIndicators {
    uint8_t shieldFlash;      // 127 when the controlled item deflected a shot
    uint8_t upperShieldFlash; // the upper half did
    int32_t deflections[2];   // the player's ship: shots deflected by the upper, lower half
};
extern HitIndicators gHitIndicators;

// A random point on a face of the box of a random visible part of the
// item's model (model axes); a point in the unit cube when it has none.
Vector3 RandomHitPointOnModel(SceneItem* item);
void AnnounceDecoyToMissiles(SceneItem* flare, SceneItem* second);
// The item's reflex against an incoming missile: its last ready
// countermeasure launcher fires at the attacker; without one the ship no
// longer counts as carrying countermeasures.
void AutoFireEcm(SceneItem* item, SceneItem* attacker);
// Called on every hit that lands; does nothing.
void WeaponHitHook(SceneItem* item, const HitPayload* payload);
// `count` bolts of the "green" material ahead of the source, one behind
// another, fired by `owner`; they hit as a projectile without a mount.
void SpawnGreenProjectile(SceneItem* source, int32_t count, SceneItem* owner);
// The hull's condition 0..1 from the damage block's values and its damaged
// capabilities (the armour is not read); 0 for a hull without points.
float HullConditionFactor(int32_t armour, int32_t maximum, int32_t taken, int32_t capabilities);
// How much `other` threatens the item (0 when it is no ship); `mask` names
// the class flags that make it worse.
float ThreatRating(SceneItem* item, SceneItem* other, uint32_t mask);
