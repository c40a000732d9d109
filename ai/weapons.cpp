// Weapon mounts, the weapon-kinds table and firing.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ai/weapons.h"

#include "system/calltrace.h"

// Kinds whose constructors are not yet built share this one.
static Weapon* NewStandInWeapon(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode)
{
    RecordCall("NewWeapon");
    return nullptr;
}

const WeaponKindRow WeaponKindTable[kWeaponKindCount + 1] = {
    {NewWeaponPbc, "PBC", 0},
    {NewStandInWeapon, "PBC HEV", 0},
    {NewStandInWeapon, "PBC LITE", 0},
    {NewStandInWeapon, "PBC GTL", 0},
    {NewStandInWeapon, "PBC FAR", 0},
    {NewWeaponMagSeeker, "MAG - SEEKER", 0},
    {NewStandInWeapon, "MAG - LDSI", 0},
    {NewStandInWeapon, "MAG - PROBE", 0},
    {NewStandInWeapon, "AM RELEASE", 0},
    {NewStandInWeapon, "PBC ION", 0},
    {NewStandInWeapon, "PBC XL", 0},
    {NewStandInWeapon, "MAG - MINE", 0},
    {NewStandInWeapon, "PBC SLO", 0},
    {NewStandInWeapon, "MAG - REC PROBE", 0},
    {NewStandInWeapon, "MAG - REM MISSILE", 0},
    {NewStandInWeapon, "MAG - ECM FLARE", 0},
    {NewStandInWeapon, "MAG - DISRUPTOR", 0},
    {nullptr, nullptr, 0},
};

Weapon* NewWeaponPbc(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode)
{
    RecordCall("NewWeaponPbc");
    return {};
}

Weapon* NewWeaponMagSeeker(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode)
{
    RecordCall("NewWeaponMagSeeker");
    return {};
}

int16_t FireWeapon(SceneItem* target, float aimX, float aimY, float aimZ, SceneItem* ship, Weapon* mount)
{
    RecordCall("FireWeapon");
    return {};
}

void UpdateWeaponMounts(Weapon* first, SceneItem* owner)
{
    RecordCall("UpdateWeaponMounts");
}

void TickWeaponReloads(Weapon* first)
{
    RecordCall("TickWeaponReloads");
}

Weapon* NthWeapon(Weapon* first, int32_t n)
{
    RecordCall("NthWeapon");
    return {};
}

void FreeItemWeapons(SceneItem* item)
{
    RecordCall("FreeItemWeapons");
}

void SetupFiringArc(FiringArc* outline, int16_t code)
{
    RecordCall("SetupFiringArc");
}
