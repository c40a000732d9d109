// Weapon mounts, the weapon-kinds table and firing.
//
// A mount is a Weapon record (world/records.h) on an item's Sim list. Its
// code word holds the direction (bits 0-3: 1 ahead .. 8 ahead-right, 9 all
// round), the horizontal arc class (bits 4-7) and the vertical arc class
// (bits 8-11). Direction codes 10-15 are not valid: every table lookup and
// arc turn reads them as 0, which faces ahead. FireWeapon is the one
// operation that turns a mount into a shot: a bolt or a munition, each a
// scene item of its own carrying ProjectileHit (ai/combat.h) as its contact
// routine. The launch routines give munitions their behaviours.
//
// Times are hundredths of a second (the frame clock's ticks) except the
// fired item's life, which is milliseconds.
#pragma once

#include "system/gamemath.h"

#include <cstdint>

struct SceneItem;
struct Weapon;

// A mount's firing arc as displays draw it: the four limit angles (upper,
// lower, left, right, degrees), the four corner directions (left-upper,
// right-upper, left-lower, right-lower) and the centre, all turned to the
// mount's direction.
struct FiringArc {
    float limits[4];
    Vector3 corners[4];
    Vector3 centre;
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

// Weapon flags of the weapons code (with those of world/records.h).
enum : uint32_t {
    kWeaponInUse = 0x1,
    kWeaponLauncher = 0x40,
    kWeaponGuided = 0x80, // the munition gets a flight model and homes
    kWeaponEmpty = 0x100,
    kWeaponAlongMount = 0x200, // fires along the mount without aiming
    kWeaponLaunchBit = 0x800,
    kWeaponTrail = 0x1000, // a bolt with a particle trail
    kWeaponCharges = 0x2000,
    kWeaponKindBit = 0x4000,
    kWeaponOwnCommand = 0x8000, // left out of the station's gun and missile choice
    kWeaponNeedsTarget = 0x10000,
};

// Weapon groups that the firing rules name.
constexpr int16_t kGroupLdsi = 6;      // may fire while the LDS drive is engaged
constexpr int16_t kGroupEcmFlare = 15; // countermeasure launchers

// FireWeapon's answers.
enum : int16_t {
    kFired = 0,
    kFireDisabled = 1,
    kFireNotNow = 2, // a cut-scene, an empty mount, or no item free for the shot
    kFireNoAim = 3,  // a target-only mount without target, or an AI aim outside the arc
    kFireInLds = 4,
    kFireReloading = 5,
};

// Set around FireWeaponConstant's call: the arc test then has no range limit.
extern uint8_t gConstantFire;
// Left for the view by the last bolt fired without a trail while a camera
// looks: the cosine of the camera's axis with the way to the bolt, and of
// the bolt's axis with the camera's.
extern float gBoltViewCosines[2];

// ---- Kinds

// Takes a Weapon from the pool and appends it to the item's mount list:
// no launch routine, no power system (full efficiency), armed flag on the
// item's Avatar. Null when the pool is full ("Exceeded max Weapons").
Weapon* NewWeapon(SceneItem* item);
Weapon* NewWeaponPbc(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode);
Weapon* NewWeaponMagSeeker(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode);
// The player's ship's count of bolt mounts ("PBC" kind).
extern int32_t gPlayerBoltMounts;
// The mount made last (the script links it to a ship system).
extern Weapon* gLastWeapon;
// The rapid-fire switch a script sets (RAPIDFIRE): 255 on, 0 off.
extern uint8_t gRapidFire;

// Clears the in-use bit of every mount of the item.
void FreeItemWeapons(SceneItem* item);
// The n-th mount from 1 (0 also gives the first); past the end the last.
Weapon* NthWeapon(Weapon* first, int32_t n);
// From the first, moves to any later ready mount with a smaller reload
// timer and a higher damage; returns the choice.
Weapon* PreferReadyMount(Weapon* first);

// ---- Mount codes and arcs

// The unit vector of the code's direction ((0, 0, 0) for all round).
Vector3 DirectionCodeVector(int16_t code);
// The heading of the code's direction in degrees, turning from +z toward -x
// (0 for all round).
float DirectionAngle(int16_t code);
// True when the offset, in the item's frame, lies inside the arc of the code.
// A bolt weapon given for a non-controlled item also refuses offsets at
// twice its range or beyond (unless gConstantFire is set).
bool WeaponInFiringArc(SceneItem* item, float x, float y, float z, int16_t code, const Weapon* weapon);
// The arc outline of a code for displays.
void SetupFiringArc(FiringArc* outline, int16_t code);
// The heading (turning from +z toward -x) and elevation of a direction, in
// degrees.
void DirectionToAngles(float x, float y, float z, float* heading, float* elevation);
// The vector turned about y by the code's heading.
Vector3 RotateByDirectionCode(const Vector3& v, int16_t code);

// ---- Firing

// The sector 1-8 of a direction in the item's x-z plane (1 ahead, 5 astern,
// 3 left, 7 right, the even ones the diagonals).
int32_t DirectionSector(float x, float z);
// Steps (0-4) between the code's direction and the sector.
int32_t SectorDistance(int16_t code, int32_t sector);
// The mount nearest the direction: the first, ready or not, unless a later
// ready mount that is no LDSI launcher lies nearer (or as near, with a
// smaller reload timer and a higher damage).
Weapon* ChooseAnyMountForDirection(float x, float y, float z, Weapon* first);

// The nearest usable mount of the group for the direction: not disabled,
// not reloading, fewer than 3 sector steps away (away from the weapons
// station every direction counts as ahead). Null when none qualifies.
Weapon* ChooseMountForDirection(float x, float y, float z, Weapon* first, int16_t group);
// The frame of a mount: the axes made orthonormal (forward x up, then that
// x forward) as the rotation of `frame`, turned about y by the code's
// heading. forward, up and right come back normalised.
void BuildMountFrame(int16_t code, Matrix4* frame, Vector3* forward, Vector3* up, Vector3* right);

// Fires the mount at the target (null: its stored target). Returns one of
// the answers above; only the stored target changes when it refuses.
int16_t FireWeapon(SceneItem* target, float aimX, float aimY, float aimZ, SceneItem* ship, Weapon* mount);
// FireWeapon without the arc's range limit.
int16_t FireWeaponConstant(SceneItem* target, float aimX, float aimY, float aimZ, SceneItem* ship, Weapon* mount);
// The AI's aimed shots: the item's mount nearest the offset (a world point,
// or a direction in the item's frame) becomes its current mount and fires
// at the target when the offset lies in its arc. Nothing without a current
// mount.
void FireAtWorldPoint(SceneItem* item, float x, float y, float z, SceneItem* target);
void FireAlongDirection(SceneItem* item, float x, float y, float z, SceneItem* target);
// Fires the last ready LDS interdiction launcher at the target and notes it
// in the ship's log; returns that mount or null.
Weapon* FireLdsiMissile(SceneItem* item, SceneItem* target);
// Fires the last ready ECM flare launcher, without a target.
void FireEcmFlare(SceneItem* item);
// A routine that does nothing.
void WeaponNoOp();
// Reload countdown of the mounts from `first`, and with an owner that is not
// the controlled item at most one automatic bolt a frame at its nearest
// obstacle when that lies inside a bolt mount's arc.
void UpdateWeaponMounts(Weapon* first, SceneItem* owner);
// The countdown alone.
void TickWeaponReloads(Weapon* first);
