// Damage and repair: what a hit does to a ship's hull and capabilities
// (turn thrusters, main thrust, weapons, hard points, LDS and capsule
// drives, crew, structure, dock ports) and, for the player's ship, to the
// systems of the ship-systems model; the self-rescheduling repair message
// that mends other ships over time; and the script's direct degrade and
// restore of a capability.
//
// Random draws come from the run-time library's generator (system/crand.h),
// so a seeded run repeats itself.
#pragma once

#include <cstdint>

#include "system/gamemath.h"
#include "world/records.h"

struct ShipSystem;

// Damaged-capability bits of a ship's damage block.
enum : uint16_t {
    kCapTurnThrusters = 0x001,
    kCapMainThrust = 0x002,
    kCapWeapons = 0x004,
    kCapHardPoint0 = 0x008,
    kCapHardPoint1 = 0x010,
    kCapLdsDrive = 0x020,
    kCapCapsuleDrive = 0x040,
    kCapCrew = 0x080,
    kCapStructure = 0x100,
    kCapRing = 0x200,
    kCapDockPorts = 0x400,
    kCapKeepRepairing = 0x4FF, // any of these keeps the repair message running
};

// The pending hit-effect word of an Avatar: kHitEffectsPresent, and the
// effects in bits 8..16.
constexpr uint32_t kHitEffectsPresent = 0x10;
constexpr int kHitEffectShift = 8;
enum : uint32_t {
    kEffectWeaponNearHit = 0x001,
    kEffectHardPoints = 0x002,
    kEffectTurnThrusters = 0x004,
    kEffectMainThrust = 0x008,
    kEffectLdsDrive = 0x010,
    kEffectCapsuleDrive = 0x020,
    kEffectCrewCasualty = 0x040,
    kEffectMarkStructure = 0x080,
    kEffectAddStructure = 0x100,
};

// The capsule drive's rating (100 when made; damage lowers it).
inline float& CapsuleRating(FlightModel& model) { return model.capsuleRating; }
inline float CapsuleRating(const FlightModel& model) { return model.capsuleRating; }

// Applies `amount` of hull damage to the item (whose ShipInfo holds
// `block`); `hitPoint` is the impact point from the item's centre in world
// axes. Returns -1 when the damage passed the maximum (clamped there; the
// caller destroys the item), 1 when random damage struck capabilities or
// systems, 0 otherwise; 0 at once for an amount of 0 or an item that takes
// no damage.
int32_t ApplyHullDamage(SceneItem* item, DamageBlock* block, int32_t amount, const Vector3* hitPoint);

// The damage when value is below step; otherwise the damage halved once for
// every whole step that value holds; 0 when step is 0.
int32_t HalveDamageBySteps(int32_t value, int32_t step, int32_t damage);

// The script's degrade (fraction not 0) or restore (fraction 0) of one
// capability, type 0..8; other types do nothing.
void SetShipSystemDamage(SceneItem* item, int16_t type, float fraction);

// One repair step of a ship that is not the player's (message kind 21):
// mends a little, and posts itself again while anything is left to mend.
void RunRepairTick(SceneItem* item);

// A player's system's health changed from `before` to `after`: a system
// knocked out sounds the alarm, a system fully repaired clears its
// capability bit.
void NotifySystemHealth(float before, float after, ShipSystem* system);

// The script statements SHIP_SYSKILL (type < 0: the hull) and
// PLAYER_DAMAGE (keyword -1 none, 0 ON, 1 OFF).
void ShipSystemKill(SceneItem* item, float type, float percent);
void DamagePlayerSystem(const char* name, float percent, int32_t keyword);
