// Weapon mounts, the weapon-kinds table and firing.
#pragma once

#include "system/gamemath.h"

#include <cstdint>

struct SceneItem;
struct Weapon;

// A mount's firing arc: its four limit values and the four corner vectors
// that SetupFiringArc makes of them, turned by the mount's direction.
struct FiringArc {
    float limits[4];
    Vector3 corners[4];
};

using WeaponConstructor = Weapon* (*)(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode);

// One row of the weapon-kinds table; the table ends with a null constructor.
struct WeaponKindRow {
    WeaponConstructor construct;
    const char* name;
    int32_t reserved;
};
constexpr int kWeaponKindCount = 17;

extern const WeaponKindRow WeaponKindTable[kWeaponKindCount + 1];

Weapon* NewWeaponPbc(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode);
Weapon* NewWeaponMagSeeker(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode);
int16_t FireWeapon(SceneItem* target, float aimX, float aimY, float aimZ, SceneItem* ship, Weapon* mount);
void UpdateWeaponMounts(Weapon* first, SceneItem* owner);
void TickWeaponReloads(Weapon* first);
Weapon* NthWeapon(Weapon* first, int32_t n);
void FreeItemWeapons(SceneItem* item);
void SetupFiringArc(FiringArc* outline, int16_t code);
