// Weapon mounts, the weapon-kinds table, firing arcs, firing and automatic
// fire, and the launch routines that give munitions their behaviours.
//
// Not here: what a shot does when it strikes (ProjectileHit, ai/combat.h),
// the munitions' per-frame behaviours (world/behaviours.h), the effects
// drawn for a shot (view/) and the director (view/cameras.h).
#include "ai/weapons.h"

#include <algorithm>
#include <cmath>

#include "ai/combat.h"
#include "ai/docking.h"
#include "ai/orders.h"
#include "screens/bridge.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/shiptypes.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/joystick.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "view/colourtables.h"
#include "view/effectmodels.h"
#include "view/explosions.h"
#include "view/lwoloader.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "view/renderpasses.h"
#include "world/behaviours.h"
#include "world/collisions.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

uint8_t gConstantFire = 0;
int32_t gPlayerBoltMounts = 0;
Weapon* gLastWeapon = nullptr;
uint8_t gRapidFire = 0;
float gBoltViewCosines[2] = {};

namespace {

// ---- Constants --------------------------------------------------------------

constexpr uint32_t kClassBolt = 0x20;
constexpr uint32_t kClassArmedShip = 0x8000;   // the item carries mounts
constexpr uint32_t kClassAutoFireTarget = 0x1; // an obstacle the cannons fire at
constexpr uint32_t kClassKeepsApart = 0x4;
constexpr uint32_t kSimHasFired = 0x10000;
constexpr uint32_t kSimHomesOnComponent = 0x4;
constexpr uint32_t kSimTrailBolt = 0x4000;
constexpr uint32_t kSimRemotelyControllable = 0x10000000;
constexpr uint32_t kTdpFlareRoot = 0x8000;
constexpr int16_t kWepStation = 3;
constexpr int32_t kTextMissileIncoming = 21;
constexpr int32_t kMessageLineTicks = 200;
constexpr float kMaxReload = 300.0f;
constexpr float kFullCircle = 360.0f;
constexpr int32_t kDirectorBoltShot = 3;
constexpr int32_t kDirectorLaunchShot = 4;

// Sounds.
constexpr int32_t kSoundLaunch = 5;
constexpr int32_t kSoundPlayerBolt = 6;
constexpr int32_t kSoundBolt = 7;

// Mount classes.
constexpr int16_t kClassBoltMount = 0;

// ---- Direction codes --------------------------------------------------------

constexpr float kDiagonal = 0.70710677f;
constexpr float kTurn45 = 0.70710678f;

// Codes 10-15 are not valid and read as 0 (ahead).
int Direction(int16_t code)
{
    const int d = code & 0xf;
    return d <= 9 ? d : 0;
}
int HorizontalClass(int16_t code) { return (code >> 4) & 0xf; }
int VerticalClass(int16_t code) { return (code >> 8) & 0xf; }

constexpr Vector3 kDirectionVectors[10] = {
    {0, 0, 1},
    {0, 0, 1},
    {-kDiagonal, 0, kDiagonal},
    {-1, 0, 0},
    {-kDiagonal, 0, -kDiagonal},
    {0, 0, -1},
    {kDiagonal, 0, -kDiagonal},
    {1, 0, 0},
    {kDiagonal, 0, kDiagonal},
    {0, 0, 0},
};
// 85 and 275, not 90 and 270: a side shot leans slightly ahead. Code 9 (all
// round) shoots straight ahead.
constexpr float kDirectionAngles[10] = {0, 0, 45, 85, 135, 180, 225, 275, 315, 0};
// The arc outline turns by exact multiples of 45 degrees.
constexpr float kOutlineAngles[10] = {0, 0, -45, -90, -135, 180, 135, 90, 45, 0};

// (x, z) turned into the mount's frame, where its direction is +z. The
// diagonals use the products with cos 45.
struct Turned {
    float x, z;
};
Turned TurnIntoMount(int direction, float x, float z)
{
    const float k = kTurn45;
    switch (direction) {
    case 2: return {k * (x + z), k * (z - x)};
    case 3: return {z, -x};
    case 4: return {k * (z - x), -k * (x + z)};
    case 5: return {-x, -z};
    case 6: return {-k * (x + z), k * (x - z)};
    case 7: return {-z, x};
    case 8: return {k * (x - z), k * (x + z)};
    default: return {x, z};
    }
}

// Slopes of the arc classes.
constexpr float kSlope75 = 3.73205081f;
constexpr float kSlope30 = 0.57735027f;
constexpr float kSlope15 = 0.26794919f;
constexpr float kSlope3 = 0.05240778f;

// The vertical class's test of y against the horizontal distance h.
bool InVerticalArc(int verticalClass, float y, float h)
{
    switch (verticalClass) {
    case 1: return y >= 0.0f;
    case 2: return y <= 0.0f;
    case 3: return std::fabs(y) <= kSlope75 * h;
    case 4: return std::fabs(y) <= kSlope15 * h;
    default: return std::fabs(y) <= kSlope30 * h;
    }
}

// The horizontal class's test of the turned side offset (z >= 0 already);
// slopes as products so that a zero z or h divides nothing.
bool InHorizontalArc(int horizontalClass, float x, float y, float z, float h)
{
    switch (horizontalClass) {
    case 2: return true;
    case 3: return std::fabs(y) < kSlope3 * h && std::fabs(x) < kSlope3 * z;
    case 4: return std::fabs(x) < kSlope15 * z;
    default: return std::fabs(x) < kSlope30 * z;
    }
}

// The straight shot of a code: ahead, turned by minus its heading.
Vector3 StraightAlong(int16_t code)
{
    Vector3 a;
    VecRotY(a, -DirectionAngle(code), Vector3{0, 0, 1});
    return a;
}

// ---- Small helpers ----------------------------------------------------------

bool IsControlled(const SceneItem* item) { return item && item == gControlledItem; }

Vector3 Row(const Matrix4& m, int row) { return {m.m[row * 4], m.m[row * 4 + 1], m.m[row * 4 + 2]}; }

// A world offset (doubles) between two positions as floats.
Vector3 Between(const WorldPosition& from, const WorldPosition& to)
{
    return {static_cast<float>(to.x - from.x), static_cast<float>(to.y - from.y), static_cast<float>(to.z - from.z)};
}

Vector3 ToLocal(const Sim* sim, const Vector3& world)
{
    Vector3 local;
    VecMulMat3T(local, world, sim->matrix);
    return local;
}

// The side and skill the shot is made with; an item without a ShipInfo fires
// as side 0 with skill 100.
struct Gunner {
    int side;
    int skill;
};
Gunner GunnerOf(const SceneItem* shooter)
{
    const ShipInfo* info = shooter->sim ? shooter->sim->shipInfo : nullptr;
    if (!info)
        return {0, 100};
    return {info->side, info->skill};
}

// The bolt's material and the colours of its flashes, by the shooter's side.
struct BoltColours {
    const char* texture;
    int32_t flashColour;
    int32_t burstColour;
};
constexpr BoltColours kBoltColours[8] = {
    {"laser_tex_aln", 10, 2},
    {"laser_tex_navy", 14, 6},
    {"laser_tex_indy", 8, 4},
    {"laser_tex_aln", 10, 2},
    {"laser_tex_aln", 10, 2},
    {"laser_tex_orange", 13, 6},
    {"laser_tex_newal", 9, 1},
    {"laser_tex_navy", 14, 6},
};
const BoltColours& ColoursOfSide(int side) { return kBoltColours[std::clamp(side, 0, 7)]; }

// The mount's efficiency in percent, 1..100. No power system: full power.
int32_t Efficiency(const Weapon* mount)
{
    if (!mount->system)
        return 100;
    const auto e = static_cast<int32_t>(mount->system->level * 100.0f);
    return std::clamp(e, 1, 100);
}

float ReloadTicks(float time, int32_t efficiency) { return std::min(time * 100.0f / static_cast<float>(efficiency), kMaxReload); }

// ---- Constructors -----------------------------------------------------------

void SetWeaponControl(Weapon* w, int32_t control0, int32_t damage, int32_t penetration, float value, int32_t control3)
{
    w->control0 = control0;
    w->damage = damage;
    w->penetration = penetration;
    w->controlFloat = value;
    w->control3 = control3;
}

void SetBeamParams(Weapon* w, float reload, float range, float speed, int16_t life)
{
    w->reload = reload;
    w->range = range;
    w->speed = speed;
    w->life = life;
}

struct MunitionParams {
    float reload, speed, magazineReload;
    int16_t rounds, magazineSize, magazines;
    float acceleration, secondThrust, yawRate, pitchRate, rollRate;
    int16_t life;
};

void SetMunitionParams(Weapon* w, const MunitionParams& p)
{
    w->reload = p.reload;
    w->speed = p.speed;
    w->range = p.magazineReload;
    w->rounds = p.rounds;
    w->magazineSize = p.magazineSize;
    w->magazines = p.magazines;
    w->acceleration = p.acceleration;
    w->secondThrust = p.secondThrust;
    w->yawRate = p.yawRate;
    w->pitchRate = p.pitchRate;
    w->rollRate = p.rollRate;
    w->life = p.life;
}

void PlaceWeaponMount(Weapon* w, float x, float y, float z, int16_t code, const Vector3* aimReference, float arcWidth)
{
    w->mountPosition = {x, y, z};
    w->directionCode = code;
    w->aimReference = aimReference;
    w->arcWidth = arcWidth;
    w->reloadTimer = 0.0f;
    w->target = nullptr;
}

void FinishMount(Weapon* w, const char* name, uint32_t flags, int16_t weaponClass)
{
    w->name = name;
    w->reloadTimer = 0.0f;
    w->spare = 0;
    w->flags = flags;
    w->weaponClass = weaponClass;
}

// The bolt kinds, in table order of their constructors below.
struct BoltKind {
    int32_t damage, penetration;
    float reload, range, speed;
    int16_t life;
    int32_t colourVariant;
    uint32_t flags;
};
enum BoltRow {
    kPbc,
    kPbcHev,
    kPbcLite,
    kPbcGtl,
    kPbcFar,
    kPbcSlo,
    kPbcXl
};
constexpr BoltKind kBoltKinds[] = {
    {150, 55, 100, 200000, 600000, 400, 0, 0x30},      // "PBC"
    {270, 110, 125, 250000, 600000, 400, 1, 0x30},     // "PBC HEV"
    {30, 25, 250, 300000, 600000, 400, 0, 0x30},       // "PBC LITE"
    {180, 55, 50, 500000, 450000, 400, 3, 0x30},       // "PBC GTL"
    {180, 55, 50, 500000, 750000, 800, 2, 0x30},       // "PBC FAR"
    {315, 110, 1000, 250000, 900000, 400, 1, 0x30},    // "PBC SLO"
    {6470, 160, 125, 2750000, 900000, 400, 5, 0x5030}, // "PBC XL", with a trail
};

Weapon* NewBoltMount(const BoltKind& k, SceneItem* item, float x, float y, float z, const char* name, int16_t code)
{
    Weapon* w = NewWeapon(item);
    if (!w)
        return nullptr;
    SetWeaponControl(w, 0, k.damage, k.penetration, 0.0f, 3);
    SetBeamParams(w, k.reload, k.range, k.speed, k.life);
    PlaceWeaponMount(w, x, y, z, code, nullptr, kFullCircle);
    w->colourVariant = k.colourVariant;
    FinishMount(w, name, k.flags, kClassBoltMount);
    return w;
}

template <BoltRow Row>
Weapon* NewBoltKind(SceneItem* item, float x, float y, float z, const char* name, int16_t code)
{
    return NewBoltMount(kBoltKinds[Row], item, x, y, z, name, code);
}

void StartSeekerMissile(Weapon* mount, SceneItem* munition);
void StartDisruptor(Weapon* mount, SceneItem* munition);
void StartEcmFlare(Weapon* mount, SceneItem* munition);
void StartLdsiMissile(Weapon* mount, SceneItem* munition);
void StartProbe(Weapon* mount, SceneItem* munition);
void StartRecProbe(Weapon* mount, SceneItem* munition);
void StartRemMissile(Weapon* mount, SceneItem* munition);
void StartMine(Weapon* mount, SceneItem* munition);

// The launcher kinds.
struct LauncherKind {
    int16_t weaponClass;
    uint32_t flags;
    MunitionParams params;
    const char* shape;
    LaunchRoutine launch;
    int32_t damage, penetration;
};
enum LauncherRow {
    kSeeker,
    kDisruptor,
    kEcmFlare,
    kLdsi,
    kProbe,
    kRecProbe,
    kRemMissile,
    kMine,
    kAmRelease
};
constexpr const char* kMissileShape = "zqk\\resource\\shapes\\missile.lwo";
constexpr LauncherKind kLauncherKinds[] = {
    {3, 0x8d0, {300, 20000, 400, 4, 4, 3, 36000, 24000, 0, 120, 800, 2000}, kMissileShape, StartSeekerMissile, 180, 65},
    {3, 0x8d0, {300, 20000, 400, 1, 2, 4, 24000, 10, 0, 120, 800, 2000}, kMissileShape, StartDisruptor, 180, 65},
    {3, 0xc8d0, {100, 25000, 900, 2, 2, 3, 12000, 12000, 120, 120, 120, 2000}, kMissileShape, StartEcmFlare, 180, 65},
    {4, 0x1c8d0, {100, 4000, 600, 3, 3, 1, 24000, 10, 0, 800, 800, 6000}, "zqk\\resource\\shapes\\missile_LDSI.lwo", StartLdsiMissile, 180, 65},
    {5, 0x8d0, {100, 15000, 600, 2, 2, 1, 12000, 12000, 120, 120, 120, 0}, "zqk\\resource\\shapes\\reconprobe.lwo", StartProbe, 180, 65},
    {5, 0x8d0, {100, 75000, 600, 2, 2, 1, 24000, 24000, 120, 120, 120, 0}, "zqk\\resource\\shapes\\reconprobe.lwo", StartRecProbe, 180, 65},
    {5, 0x8d0, {100, 75000, 600, 2, 2, 1, 24000, 24000, 120, 120, 120, 0}, kMissileShape, StartRemMissile, 180, 65},
    {5, 0x108d0, {100, 15000, 600, 3, 3, 1, 12000, 12000, 120, 120, 120, 0}, "zqk\\resource\\shapes\\SpikyMine.lwo", StartMine, 180, 65},
    {6, 0x850, {100, 17000, 600, 1, 4, 4, 12000, 12000, 120, 120, 120, 2000}, kMissileShape, nullptr, 800000, 160},
};

// The munition's shape: the model registry keeps a shape once loaded, so
// each is read from its file only once.
hx_model* MunitionShape(const char* path)
{
    int32_t size = 0;
    return LWO2HXM(path, nullptr, &size);
}

Weapon* NewLauncherMount(const LauncherKind& k, SceneItem* item, float x, float y, float z, const char* name,
                         int16_t code)
{
    Weapon* w = NewWeapon(item);
    if (!w)
        return nullptr;
    SetWeaponControl(w, 0, k.damage, k.penetration, 0.0f, 3);
    SetMunitionParams(w, k.params);
    PlaceWeaponMount(w, x, y, z, code, nullptr, kFullCircle);
    w->shape = MunitionShape(k.shape);
    w->launch = k.launch;
    FinishMount(w, name, k.flags, k.weaponClass);
    return w;
}

template <LauncherRow Row>
Weapon* NewLauncherKind(SceneItem* item, float x, float y, float z, const char* name, int16_t code)
{
    return NewLauncherMount(kLauncherKinds[Row], item, x, y, z, name, code);
}

// An emitter on the item with a two-colour ramp (when the palette has a
// lookup table).
void AttachRampEmitter(SceneItem* item, int32_t type, uint32_t flags, int32_t life, int32_t count, int32_t pointLife,
                       float speed, int32_t rate, float spread, const int32_t (&colours)[6])
{
    TDP* tdp = AttachParticleEmitter(item, &item->sim->matrix, type, flags, life, count, pointLife, speed, rate, spread);
    if (tdp && tdp->emitter && gRampLookup)
        BuildColourRamp(gRampLookup, tdp->emitter->ramp, colours[0], colours[1], colours[2], colours[3], colours[4],
                        colours[5]);
}

// "PBC ION": a plasma cloud on the item, then a "PBC" mount of that name;
// the item's radius grows to hold the cloud.
Weapon* NewWeaponPbcIon(SceneItem* item, float x, float y, float z, const char*, int16_t code)
{
    AttachRampEmitter(item, 2, 0x410, 100, 250, 240, 13500, 70, 15, {0, 140, 255, 140, 255, 255});
    AttachParticleEmitter(item, &item->sim->matrix, 0, 0x200000, 100, 49, 240, 13500, 70, 15);
    Weapon* w = NewWeaponPbc(item, x, y, z, "PBC", code);
    item->sim->radius = 9000.0f;
    return w;
}

// "MAG - ECM FLARE": the owner now carries countermeasures.
Weapon* NewWeaponEcmFlare(SceneItem* item, float x, float y, float z, const char* name, int16_t code)
{
    Weapon* w = NewLauncherMount(kLauncherKinds[kEcmFlare], item, x, y, z, name, code);
    if (w && item->sim->shipInfo)
        item->sim->shipInfo->flags |= kShipCountermeasures;
    return w;
}

// ---- Launch routines --------------------------------------------------------

// The player takes remote control of a probe or missile that the item under
// the player's hands launched: the station is kept, the ship stops pushing.
void TakeRemoteControl(SceneItem* munition)
{
    SceneItem* shooter = munition->avatar->shooter;
    if (!IsControlled(shooter))
        return;
    SaveStationScreen();
    if (gPlayerItem && gPlayerItem->sim)
        gPlayerItem->sim->thrust = {};
    RemoteLinkToLaunched(munition);
}

// A ShipInfo for a launched vessel with the common ship set-up.
ShipInfo* MakeLaunchedShip(SceneItem* munition, const char* name, const char* shortName, int16_t kind)
{
    ShipInfo* info = AllocShipInfo();
    if (!info)
        return nullptr;
    munition->sim->shipInfo = info;
    SetupShipDefaults(munition, name);
    info->shortName = shortName;
    info->kind = kind;
    return info;
}

void StartSeekerMissile(Weapon*, SceneItem* munition) { AddMarkerLightSet(munition, 10); }

void StartDisruptor(Weapon*, SceneItem* munition) { munition->avatar->collision = DisruptOnContact; }

void StartLdsiMissile(Weapon*, SceneItem* munition)
{
    Sim* sim = munition->sim;
    munition->control = SteerLdsiMissile;
    sim->ldsSpool = 200;
    sim->flags |= kSimLdsEngaged;
    if (sim->flightModel) {
        sim->flightModel->ldsGrowth = 210.0f;
        sim->flightModel->ldsTopSpeed = 32000000000.0f;
    }
    AddTailLight(munition);
}

void StartEcmFlare(Weapon*, SceneItem* flare)
{
    Sim* sim = flare->sim;
    Avatar* avatar = flare->avatar;
    flare->control = nullptr;
    flare->perFrame = EcmFlareBehaviour;
    sim->ldsSpool = 200;
    sim->flags |= kSimLdsEngaged;
    const Vector3 centre{0, 0, 0};
    AddMarkerLight(flare, &centre, 1.3f, 4, 20, 5, 0);
    avatar->collision = DestroyOnFlareContact;
    avatar->hitResponse = BurstFlareIntoDebris;
    avatar->responseOrder = 95;
    AttachRampEmitter(flare, 2, 0x800012, 2000, 200, 250, 11000, 120, 360, {150, 150, 0, 0, 0, 255});
    if (avatar->root)
        avatar->root->flags |= kTdpFlareRoot;
    AnnounceDecoyToMissiles(flare, avatar->shooter);
}

// The probe and the remote missile fly on flight assist as ships of their
// own, remotely controllable.
void MakeRemoteVessel(SceneItem* munition, const char* name, const char* shortName, uint32_t clearClass)
{
    Avatar* avatar = munition->avatar;
    avatar->classFlags = (avatar->classFlags & ~clearClass) | kClassKeepsApart;
    MakeLaunchedShip(munition, name, shortName, 12);
    munition->sim->flags |= kSimRemotelyControllable;
}

void StartProbe(Weapon*, SceneItem* probe)
{
    MakeRemoteVessel(probe, "RECON PROBE", "PROBE", 0x30);
    probe->avatar->collision = CollideShips;
    probe->control = ApplyFlightAssist;
    TakeRemoteControl(probe);
    const ItemBody player{ItemHandle(gPlayerItem)};
    PostItemMessage(probe->receiver, probe->receiver, 50, kMsgUnlink, player);
    AddDockPoint(probe, 16, 16, 0, 0, 0, 0, 0, 58, 50);
}

void StartRecProbe(Weapon* mount, SceneItem* probe)
{
    MakeRemoteVessel(probe, "RECON PROBE", "PROBE", kClassBolt);
    TakeRemoteControl(probe);
    if (probe->sim->flightModel)
        probe->sim->flightModel->topSpeed = 400000.0f;
    if (SceneItem* target = mount->target) {
        probe->avatar->linkItem = target;
        probe->sim->target = target;
        probe->sim->secondTarget = target;
    }
    probe->avatar->collision = AttachProbeToHull;
    probe->avatar->responseOrder = 50;
}

void StartRemMissile(Weapon*, SceneItem* missile)
{
    MakeRemoteVessel(missile, "GUIDED MISSILE", "MISSILE", 0x30);
    missile->sim->ldsSpool = 15000;
    missile->avatar->responseOrder = 40;
    missile->avatar->collision = CollideShips;
    missile->control = ApplyFlightAssist;
    missile->perFrame = GuidedMissileStep;
    TakeRemoteControl(missile);
}

// A mine laid on a ship with dock points docks to it as a ship of its own
// (the target's first dock point is made free for it); any other mine
// blasts after 45 hundredths.
void StartMine(Weapon* mount, SceneItem* mine)
{
    Avatar* avatar = mine->avatar;
    avatar->classFlags = (avatar->classFlags & ~kClassBolt) | kClassKeepsApart;
    PostItemMessage(mine->receiver, mine->receiver, 45, kMsgBlast, 0, nullptr);
    SceneItem* target = mount->target;
    ShipInfo* targetInfo = target && target->sim ? target->sim->shipInfo : nullptr;
    if (!targetInfo || !targetInfo->dockPoints)
        return;
    ShipInfo* info = MakeLaunchedShip(mine, "PROXIMITY MINE", "MINE", 11);
    avatar->collision = CollideShips;
    mine->control = RunProximityMine;
    if (!info)
        return;
    AddDockPoint(mine, 16, 16, 0, 0, 0, 0, 0, 4.5f, 5);
    info->orders[0].name = "NO PROGRAM";
    SetOrderSlot(info, 0, 0, 0, 0, 1, EvalDefault, 0, 0);
    SetOrderState(info, 0, 61, 0, 0, 0);
    info->orders[1].name = "Docking";
    SetOrderSlot(info, 1, 0, 0, 0, 80, EvalDefault, 0, 0);
    SetOrderState(info, 1, 13, 0, 0, 0);
    ActivateOrder(mine, 1);
    targetInfo->dockPoints->flags |= kDockFree;
    mine->sim->secondTarget = target;
    if (mine->sim->flightModel)
        info->flightModel = *mine->sim->flightModel;
}

// ---- Firing -----------------------------------------------------------------

// The aim of a shot: the direction in the shooter's frame and the speed the
// bolt flies at (the lead's speed when one was worked out).
struct Aim {
    Vector3 direction;
    float speed;
};

// Aim at the target with lead and the gunner's errors (unguided weapons), or
// straight at it (guided ones).
Aim AimAtTarget(SceneItem* shooter, const Weapon* mount, SceneItem* target, int skill)
{
    const Sim* s = shooter->sim;
    const Sim* t = target->sim;
    WorldPosition p = t->position;
    // The player's component aiming: the selected component's centre, from
    // the target's frame into the world's.
    if (IsControlled(shooter) && gPlayerInput.componentAiming) {
        Vector3 component;
        MatRotateVec(t->matrix, gContacts.aimPoint, component);
        p.x += component.x;
        p.y += component.y;
        p.z += component.z;
    }
    Aim aim{{}, mount->speed};
    if (!(mount->flags & kWeaponGuided)) {
        const Vector3 toTarget = Between(s->position, p);
        const float d = VecLength(toTarget);
        float time = std::max(mount->speed > 0.0f ? d / mount->speed : 0.0f, 0.2f);
        if (skill < 100)
            time *= 1.0f + static_cast<float>(CRand() % 100 - 50) * static_cast<float>(100 - skill) / 15000.0f;
        float v = d / time;
        if (mount->speed / 8.0f > v) {
            v = mount->speed / 8.0f;
            time = d / v;
        }
        aim.speed = v;
        p.x += static_cast<double>((t->velocity.x - s->velocity.x) * time);
        p.y += static_cast<double>((t->velocity.y - s->velocity.y) * time);
        p.z += static_cast<double>((t->velocity.z - s->velocity.z) * time);
        if (CRand() % 3 == 0 && skill < CRand() % 100) {
            p.x += static_cast<double>(static_cast<float>(CRand() % 100 - 50) * d / 250.0f);
            p.y += static_cast<double>(static_cast<float>(CRand() % 100 - 50) * d / 250.0f);
            p.z += static_cast<double>(static_cast<float>(CRand() % 100 - 50) * d / 250.0f);
        }
    }
    const Vector3 local = ToLocal(s, Between(s->position, p));
    aim.direction = {local.x - mount->mountPosition.x, local.y - mount->mountPosition.y,
                     local.z - mount->mountPosition.z};
    return aim;
}

// The motion the shooter lends a bolt when it rides a carrier.
Vector3 CarrierMotion(const Sim* shooter)
{
    if (!(shooter->flags & kSimTowed))
        return {};
    const SceneItem* carrier = shooter->towLink;
    if (!carrier || !carrier->sim)
        return {};
    const Sim* c = carrier->sim;
    if (c->flags & kSimLdsEngaged) {
        const Vector3 forward = Row(c->matrix, 2);
        return {forward.x * c->thrust.z, forward.y * c->thrust.z, forward.z * c->thrust.z};
    }
    return c->velocity;
}

// A bolt flying almost along the view from the cockpit lights the view up.
void LightFieldForBolt(SceneItem* bolt, SceneItem* shooter, const BoltColours& colours)
{
    const SceneItem* camera = gPlayerCamera;
    if (!camera || !camera->sim)
        return;
    const Vector3 cameraAxis = Row(camera->sim->matrix, 2);
    Vector3 toBolt = Between(camera->sim->position, bolt->sim->position);
    VecNormalise(toBolt);
    gBoltViewCosines[0] = VecDot(cameraAxis, toBolt);
    gBoltViewCosines[1] = VecDot(Row(bolt->sim->matrix, 2), cameraAxis);
    const bool anyAngle = IsControlled(shooter) && CurrentStation != kWepStation;
    if (!anyAngle && (gBoltViewCosines[0] <= 0.99f || gBoltViewCosines[1] <= 0.99f))
        return;
    if (!gExternalView || camera->control == CAM_PLAYER)
        AddRandomLightField(bolt, colours.burstColour | 8);
}

// The mount's reload after a shot.
void Reload(SceneItem* shooter, Weapon* mount, bool straight)
{
    const int32_t e = Efficiency(mount);
    if (mount->flags & kWeaponBeam) {
        mount->reloadTimer = ReloadTicks(mount->reload, e);
        if (IsControlled(shooter)) {
            if (straight)
                mount->reloadTimer /= 4.0f;
            if (mount->system && mount->system->shots == 0)
                mount->system->shots = 1;
        }
        if (mount->flags & kWeaponCharges) {
            mount->charges -= 1.0f;
            if (mount->charges <= 0.0f)
                mount->flags |= kWeaponEmpty;
        }
        return;
    }
    --mount->rounds;
    if (mount->rounds > 0) {
        mount->reloadTimer = ReloadTicks(mount->reload, e);
    } else if (mount->magazines <= 0) {
        mount->flags |= kWeaponEmpty;
    } else {
        --mount->magazines;
        mount->rounds = mount->magazineSize;
        mount->reloadTimer = ReloadTicks(mount->range, e);
    }
    if (IsControlled(shooter))
        mount->reloadTimer /= 3.0f;
}

// Gives a guided munition its flight model and homing.
void MakeGuided(SceneItem* munition, SceneItem* shooter, const Weapon* mount)
{
    Sim* sim = munition->sim;
    Avatar* avatar = munition->avatar;
    avatar->classFlags = (avatar->classFlags & ~kClassBolt) | kClassMissile;
    sim->hull = 70;
    avatar->responseOrder = 40;
    munition->control = SteerHomingMissile;
    munition->perFrame = SIM_MAIN;
    if (FlightModel* model = NewFlightModel(24000, 10, 800, 120, 0, 196000)) {
        model->yawRate = mount->yawRate;
        model->pitchRate = mount->pitchRate;
        model->rollRate = mount->rollRate;
        model->acceleration = mount->acceleration;
        model->secondThrust = mount->secondThrust;
        model->topSpeed = 30000000.0f;
        sim->flightModel = model;
    }
    sim->ldsSpool = 5000; // fuel
    sim->target = shooter->sim->target;
    if (IsControlled(shooter) && gPlayerInput.componentAiming)
        sim->flags |= kSimHomesOnComponent;
    if (sim->target.Get() == gPlayerItem && gPlayerItem && gTextTable[kTextMissileIncoming])
        guiDisplayMessage(gTextTable[kTextMissileIncoming], kMessageLineTicks);
}

// Makes the shot's scene item: in the scene, with a Sim, a root part and a
// receiver. Null (and nothing left behind) when a pool is full.
SceneItem* SpawnShot()
{
    SceneItem* shot = NewSceneItem();
    if (!shot)
        return nullptr;
    InsertSceneItem(shot, 0);
    if (!AttachSim(shot, BallisticStep) || !AttachRootTDP(shot)) {
        DeleteSceneItem(shot);
        return nullptr;
    }
    SetControlFunction(shot, nullptr);
    return shot;
}

} // namespace

const WeaponKindRow WeaponKindTable[kWeaponKindCount + 1] = {
    {NewWeaponPbc, "PBC", 0},
    {NewBoltKind<kPbcHev>, "PBC HEV", 0},
    {NewBoltKind<kPbcLite>, "PBC LITE", 0},
    {NewBoltKind<kPbcGtl>, "PBC GTL", 0},
    {NewBoltKind<kPbcFar>, "PBC FAR", 0},
    {NewWeaponMagSeeker, "MAG - SEEKER", 0},
    {NewLauncherKind<kLdsi>, "MAG - LDSI", 0},
    {NewLauncherKind<kProbe>, "MAG - PROBE", 0},
    {NewLauncherKind<kAmRelease>, "AM RELEASE", 0},
    {NewWeaponPbcIon, "PBC ION", 0},
    {NewBoltKind<kPbcXl>, "PBC XL", 0},
    {NewLauncherKind<kMine>, "MAG - MINE", 0},
    {NewBoltKind<kPbcSlo>, "PBC SLO", 0},
    {NewLauncherKind<kRecProbe>, "MAG - REC PROBE", 0},
    {NewLauncherKind<kRemMissile>, "MAG - REM MISSILE", 0},
    {NewWeaponEcmFlare, "MAG - ECM FLARE", 0},
    {NewLauncherKind<kDisruptor>, "MAG - DISRUPTOR", 0},
    {nullptr, nullptr, 0},
};

Weapon* NewWeapon(SceneItem* item)
{
    if (!item || !item->sim)
        return nullptr;
    Weapon* w = AllocWeapon();
    if (!w)
        return nullptr;
    Weapon** link = &item->sim->weapons;
    Weapon* last = nullptr;
    while (*link) {
        last = *link;
        link = &last->next;
    }
    *link = w;
    w->previous = last;
    w->launch = nullptr;
    w->system = nullptr;
    gLastWeapon = w;
    if (item->avatar)
        item->avatar->classFlags |= kClassArmedShip;
    return w;
}

Weapon* NewWeaponPbc(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode)
{
    Weapon* w = NewBoltMount(kBoltKinds[kPbc], item, x, y, z, mountName, directionCode);
    if (w && item == gPlayerItem)
        ++gPlayerBoltMounts;
    return w;
}

Weapon* NewWeaponMagSeeker(SceneItem* item, float x, float y, float z, const char* mountName, int16_t directionCode)
{
    return NewLauncherMount(kLauncherKinds[kSeeker], item, x, y, z, mountName, directionCode);
}

void FreeItemWeapons(SceneItem* item)
{
    if (!item || !item->sim)
        return;
    for (Weapon* w = item->sim->weapons; w; w = w->next) {
        w->flags &= ~kWeaponInUse;
        // The script's last-made mount must not outlive its ship.
        if (w == gLastWeapon)
            gLastWeapon = nullptr;
    }
}

Weapon* NthWeapon(Weapon* first, int32_t n)
{
    Weapon* w = first;
    for (int32_t i = 1; w && i < n && w->next; ++i)
        w = w->next;
    return w;
}

Weapon* PreferReadyMount(Weapon* first)
{
    Weapon* choice = first;
    if (!first)
        return nullptr;
    for (Weapon* w = first->next; w; w = w->next)
        if ((w->flags & kWeaponReady) && w->reloadTimer < choice->reloadTimer && w->damage > choice->damage)
            choice = w;
    return choice;
}

// ---- Mount codes and arcs ---------------------------------------------------

Vector3 DirectionCodeVector(int16_t code) { return kDirectionVectors[Direction(code)]; }

float DirectionAngle(int16_t code) { return kDirectionAngles[Direction(code)]; }

bool WeaponInFiringArc(SceneItem* item, float x, float y, float z, int16_t code, const Weapon* weapon)
{
    const bool controlled = IsControlled(item);
    if (!gConstantFire && !controlled && weapon && (weapon->flags & kWeaponBeam) &&
        VecFastLength(Vector3{x, y, z}) >= 2.0f * weapon->range)
        return false;
    const int direction = Direction(code);
    if (direction == 9)
        return true;
    const float h = std::sqrt(x * x + z * z);
    const bool atWep = controlled && CurrentStation == kWepStation;
    if (!InVerticalArc(atWep ? 3 : VerticalClass(code), y, h))
        return false;
    const Turned t = TurnIntoMount(direction, x, z);
    if (t.z < 0.0f)
        return false;
    return InHorizontalArc(atWep ? 2 : HorizontalClass(code), t.x, y, t.z, h);
}

void SetupFiringArc(FiringArc* outline, int16_t code)
{
    struct Limits {
        float first, second, firstDegrees, secondDegrees;
    };
    auto vertical = [](int c) -> Limits {
        switch (c) {
        case 1: return {0.98f, 0.0f, 69, 0};
        case 2: return {0.0f, -0.98f, 0, -69};
        case 3: return {0.98f, -0.98f, 69, -69};
        case 4: return {0.259f, -0.259f, 14, -14};
        default: return {0.5f, -0.5f, 29, -29};
        }
    };
    auto horizontal = [](int c) -> Limits {
        switch (c) {
        case 2: return {-0.95f, 0.95f, 69, -69};
        case 3: return {-0.052f, 0.052f, 3, -3};
        case 4: return {-0.259f, 0.259f, 14, -14};
        default: return {-0.5f, 0.5f, 29, -29};
        }
    };
    const Limits v = vertical(VerticalClass(code));
    const Limits h = horizontal(HorizontalClass(code));
    outline->limits[0] = v.firstDegrees;
    outline->limits[1] = v.secondDegrees;
    outline->limits[2] = h.firstDegrees;
    outline->limits[3] = h.secondDegrees;
    const float xs[4] = {h.first, h.second, h.first, h.second};
    const float ys[4] = {v.first, v.first, v.second, v.second};
    // The outline's turn uses 3.142 for pi, as its drawings always have.
    const float radians = kOutlineAngles[Direction(code)] * 3.142f / 180.0f;
    const float c = std::cos(radians), s = std::sin(radians);
    auto turn = [c, s](Vector3 p) { return Vector3{p.x * c + p.z * s, p.y, p.z * c - p.x * s}; };
    for (int i = 0; i < 4; ++i) {
        const float z = std::sqrt(std::max(0.0f, 1.0f - xs[i] * xs[i] - ys[i] * ys[i]));
        outline->corners[i] = turn({xs[i], ys[i], z});
    }
    outline->centre = turn({0, 0, 1});
}

void DirectionToAngles(float x, float y, float z, float* heading, float* elevation)
{
    constexpr float kDegrees = 57.29578f;
    *heading = std::atan2(-x, z) * kDegrees;
    *elevation = std::atan2(y, std::sqrt(x * x + z * z)) * kDegrees;
}

Vector3 RotateByDirectionCode(const Vector3& v, int16_t code)
{
    Vector3 out;
    VecRotY(out, -DirectionAngle(code), v);
    return out;
}

// ---- Firing -----------------------------------------------------------------

int32_t DirectionSector(float x, float z)
{
    const float ax = std::fabs(x), az = std::fabs(z);
    if (az > 2.47508685f * ax)
        return z >= 0.0f ? 1 : 5;
    if (az > 0.40402623f * ax) {
        if (x >= 0.0f)
            return z >= 0.0f ? 8 : 6;
        return z >= 0.0f ? 2 : 4;
    }
    return x >= 0.0f ? 7 : 3;
}

int32_t SectorDistance(int16_t code, int32_t sector)
{
    const int32_t e = ((Direction(code) - sector + 8) % 8 + 8) % 8;
    return e < 5 ? e : 8 - e;
}

Weapon* ChooseAnyMountForDirection(float x, float, float z, Weapon* first)
{
    if (!first)
        return nullptr;
    const int32_t sector = DirectionSector(x, z);
    Weapon* choice = first;
    int32_t best = SectorDistance(first->directionCode, sector);
    for (Weapon* w = first->next; w; w = w->next) {
        if (!(w->flags & kWeaponReady) || w->launch == StartLdsiMissile)
            continue;
        const int32_t d = SectorDistance(w->directionCode, sector);
        const bool better = d < best || (d == best && w->reloadTimer < choice->reloadTimer && w->damage > choice->damage);
        if (better) {
            choice = w;
            best = d;
        }
    }
    return choice;
}

Weapon* ChooseMountForDirection(float x, float, float z, Weapon* first, int16_t group)
{
    const int32_t sector = CurrentStation == kWepStation ? DirectionSector(x, z) : 1;
    Weapon* choice = nullptr;
    int32_t best = 3;
    for (Weapon* w = first; w; w = w->next) {
        if ((w->flags & kWeaponDisabled) || w->reloadTimer > 0.0f || w->kind != group)
            continue;
        const int32_t d = SectorDistance(w->directionCode, sector);
        const bool better = d < best || (choice && d == best && w->reloadTimer < choice->reloadTimer &&
                                         w->damage > choice->damage);
        if (better) {
            choice = w;
            best = d;
        }
    }
    return choice;
}

void BuildMountFrame(int16_t code, Matrix4* frame, Vector3* forward, Vector3* up, Vector3* right)
{
    VecNormalise(*forward);
    // Right = up x forward and up = forward x right, so that with x right,
    // y up and z ahead the frame turns and never mirrors: forward x up gave
    // a left axis, and a ship steering onto that frame yawed half round at a
    // target dead ahead.
    VecCross(*up, *forward, *right);
    VecNormalise(*right);
    VecCross(*forward, *right, *up);
    VecNormalise(*up);
    MatIdentity(*frame);
    const Vector3* rows[3] = {right, up, forward};
    for (int r = 0; r < 3; ++r) {
        frame->m[r * 4] = rows[r]->x;
        frame->m[r * 4 + 1] = rows[r]->y;
        frame->m[r * 4 + 2] = rows[r]->z;
    }
    // Turned by the mount's heading, in the sense of RotateByDirectionCode.
    MatRotY(-DirectionAngle(code), *frame);
}

int16_t FireWeapon(SceneItem* target, float, float, float, SceneItem* ship, Weapon* mount)
{
    if (!ship || !ship->sim || !ship->avatar || !mount)
        return kFireNotNow;
    if (gScriptMission.cutScene)
        return kFireNotNow;
    if (mount->flags & kWeaponDisabled)
        return kFireDisabled;
    if (mount->flags & kWeaponEmpty)
        return kFireNotNow;
    if (mount->reloadTimer > 0.0f)
        return kFireReloading;
    const bool controlled = IsControlled(ship);
    const bool straight = controlled && gPlayerInput.fireAhead;
    if (target)
        mount->target = target;
    target = mount->target;
    if ((mount->flags & kWeaponNeedsTarget) && !target)
        return kFireNoAim;
    const bool bolt = mount->flags & kWeaponBeam;
    const bool guided = mount->flags & kWeaponGuided;
    const Gunner gunner = GunnerOf(ship);
    Sim* s = ship->sim;

    Aim aim{StraightAlong(mount->directionCode), mount->speed};
    const bool aimed = !straight && !(mount->flags & kWeaponAlongMount) && target && target->sim;
    if (aimed)
        aim = AimAtTarget(ship, mount, target, gunner.skill);
    else if (!straight && mount->aimReference)
        VecMulMat3T(aim.direction, *mount->aimReference, s->matrix);
    if (!WeaponInFiringArc(ship, aim.direction.x, aim.direction.y, aim.direction.z, mount->directionCode, nullptr)) {
        if (!guided && !controlled)
            return kFireNoAim;
        aim.direction = StraightAlong(mount->directionCode);
    }
    if (mount->kind != kGroupLdsi && (s->flags & kSimLdsEngaged))
        return kFireInLds;
    s->flags |= kSimHasFired;

    SceneItem* shot = SpawnShot();
    if (!shot)
        return kFireNotNow; // no item for the shot: none is made, the mount stays ready
    Sim* sim = shot->sim;
    Avatar* avatar = shot->avatar;
    TDP* root = avatar->root;
    sim->target = target;
    avatar->classFlags = (ship->avatar->classFlags & kClassSides) | kClassBolt;
    if (bolt) {
        SetAvatarCallbacks(shot, CopySimToAvatar, UpdateBoltStreak);
        sim->radius = mount->speed;
    } else {
        SetAvatarCallbacks(shot, CopySimToAvatar, SyncAvatarTdps);
    }
    avatar->collision = ProjectileHit;
    avatar->responseOrder = 50;
    if (guided)
        MakeGuided(shot, ship, mount);

    // Attitude and place: along the aim, at the mount.
    Vector3 worldAim;
    MatRotateVec(s->matrix, aim.direction, worldAim);
    const Vector3 up = Row(s->matrix, 1);
    MatLookDir(worldAim, &up, sim->matrix);
    Vector3 offset;
    MatRotateVec(s->matrix, mount->mountPosition, offset);
    const BoltColours& colours = ColoursOfSide(gunner.side);
    SetFlashPoint(ship, colours.flashColour, 0, &offset);
    FlashAtHullPoint(ship, &offset, 20);
    sim->position = {s->position.x + offset.x, s->position.y + offset.y, s->position.z + offset.z};
    sim->matrix.m[12] = static_cast<float>(sim->position.x);
    sim->matrix.m[13] = static_cast<float>(sim->position.y);
    sim->matrix.m[14] = static_cast<float>(sim->position.z);

    // Motion: the aim speed ahead (a guided munition is pushed off the centre
    // line instead), plus the shooter's own, and a carrier's it rides.
    const Vector3 push = guided ? Vector3{mount->mountPosition.x > 0.0f ? 2500.0f : -2500.0f, 0.0f, mount->speed}
                                : Vector3{0.0f, 0.0f, aim.speed};
    MatRotateVec(sim->matrix, push, sim->velocity);
    sim->velocity = {sim->velocity.x + s->velocity.x, sim->velocity.y + s->velocity.y, sim->velocity.z + s->velocity.z};
    if (bolt) {
        const Vector3 carried = CarrierMotion(s);
        sim->velocity = {sim->velocity.x + carried.x, sim->velocity.y + carried.y, sim->velocity.z + carried.z};
    }
    sim->previousMatrix = sim->matrix;

    avatar->travel = 0;
    avatar->shooter = ship;
    avatar->linkItem = ship; // a shot and its source are never tested against each other
    avatar->params[kParamTetherAnchor] = static_cast<int32_t>(ItemHandle(ship));
    avatar->weapon = mount;
    sim->mass = 100.0f;
    root->flags |= kTdpInScene | kTdpNew;
    if (mount->flags & kWeaponTrail) {
        sim->flags |= kSimTrailBolt;
        AttachParticleEmitter(shot, &sim->matrix, 2, 0x10010, 450, 250, 105, 32000, 200, 180);
    }
    if (bolt) {
        sim->mass = 0.0f;
        root->flags |= kTdpMovingPoint;
        root->materialName = colours.texture;
        AttachTdpToScene(root, BoltModel(mount->colourVariant, CRand() % 4), 0);
        if (!(mount->flags & kWeaponTrail))
            LightFieldForBolt(shot, ship, colours);
    } else {
        AttachTdpToScene(root, mount->shape, 0);
    }

    SetMessageFunction(shot, HandleItemMessages);
    CopySimToAvatar(shot);
    int32_t volume = 0, pan = 0;
    SoundPlaceObject(shot, &volume, &pan);
    if (!bolt) {
        if (controlled) {
            ++gPlayerInput.missilesFired;
            FFPlayFireEffectGain(10000, 0);
        }
        SoundPlayVaried(kSoundLaunch, volume, 0, pan, 0, 4000);
    } else if (controlled) {
        ++gPlayerInput.shotsFired;
        SoundPlay(kSoundPlayerBolt, volume, 0, pan, 0);
        FFPlayFireEffect(2000, 0);
    } else {
        SoundPlay(kSoundBolt, volume, 0, pan, 0);
    }

    ComputeTDPModelRadius(root);
    if (sim->radius <= 13.0f)
        sim->radius = root->radius > 13.0f ? root->radius : 150.0f;
    avatar->mountPosition = &mount->mountPosition;
    // The fired item's life is milliseconds; messages count hundredths.
    if (mount->life != 0)
        PostItemMessage(shot->receiver, shot->receiver, mount->life / 10, kMsgDelete, 0, nullptr);
    if (mount->launch)
        mount->launch(mount, shot);

    Reload(ship, mount, straight);
    mount->flags &= ~kWeaponReady;
    if (gPlayerInput.autoSelect && controlled && CurrentStation == kWepStation)
        SelectNextOtherSideContact();
    FlagContactClassChange(ship);
    DirectorOfferShot(ship, target, bolt ? kDirectorBoltShot : kDirectorLaunchShot);
    return kFired;
}

int16_t FireWeaponConstant(SceneItem* target, float aimX, float aimY, float aimZ, SceneItem* ship, Weapon* mount)
{
    gConstantFire = 255;
    const int16_t result = FireWeapon(target, aimX, aimY, aimZ, ship, mount);
    gConstantFire = 0;
    return result;
}

void FireAlongDirection(SceneItem* item, float x, float y, float z, SceneItem* target)
{
    if (!item || !item->sim || !item->sim->currentWeapon)
        return;
    Weapon* mount = ChooseAnyMountForDirection(x, y, z, item->sim->weapons);
    item->sim->currentWeapon = mount;
    if (mount && WeaponInFiringArc(item, x, y, z, mount->directionCode, mount))
        FireWeapon(target, x, y, z, item, mount);
}

void FireAtWorldPoint(SceneItem* item, float x, float y, float z, SceneItem* target)
{
    if (!item || !item->sim || !item->sim->currentWeapon)
        return;
    const WorldPosition& p = item->sim->position;
    const Vector3 offset{static_cast<float>(x - p.x), static_cast<float>(y - p.y), static_cast<float>(z - p.z)};
    const Vector3 local = ToLocal(item->sim, offset);
    FireAlongDirection(item, local.x, local.y, local.z, target);
}

namespace {

// The last ready mount of the item with that launch routine, or null.
Weapon* LastReadyLauncher(SceneItem* item, LaunchRoutine launch)
{
    Weapon* found = nullptr;
    for (Weapon* w = item && item->sim ? item->sim->weapons : nullptr; w; w = w->next)
        if ((w->flags & kWeaponReady) && w->launch == launch)
            found = w;
    return found;
}

constexpr int16_t kLogLdsiFired = 7;

} // namespace

Weapon* FireLdsiMissile(SceneItem* item, SceneItem* target)
{
    Weapon* mount = LastReadyLauncher(item, StartLdsiMissile);
    if (!mount)
        return nullptr;
    FireWeapon(target, 0, 0, 0, item, mount);
    const ShipInfo* info = item->sim->shipInfo;
    AddShipLogEntry(kLogLdsiFired, info ? info->name : nullptr, nullptr);
    return mount;
}

void FireEcmFlare(SceneItem* item)
{
    if (Weapon* mount = LastReadyLauncher(item, StartEcmFlare))
        FireWeapon(nullptr, 0, 0, 0, item, mount);
}

void WeaponNoOp() {}

void UpdateWeaponMounts(Weapon* first, SceneItem* owner)
{
    // An item that is not under the player's hands fires its cannons at its
    // nearest obstacle when that is of a class they fire at.
    SceneItem* target = nullptr;
    Vector3 local{};
    if (owner && owner->sim && owner->avatar && !IsControlled(owner)) {
        SceneItem* obstacle = owner->avatar->obstacle;
        if (obstacle && obstacle->sim && obstacle->avatar && (obstacle->avatar->classFlags & kClassAutoFireTarget)) {
            target = obstacle;
            local = ToLocal(owner->sim, Between(owner->sim->position, obstacle->sim->position));
        }
    }
    const auto step = static_cast<float>(gFrameClock.frameTicks);
    for (Weapon* w = first; w; w = w->next) {
        if (w->reloadTimer > 0.0f) {
            w->reloadTimer -= step;
            if (w->reloadTimer < 1.0f) {
                w->reloadTimer = 0.0f;
                if (!(w->flags & (uint32_t{kWeaponDisabled} | kWeaponEmpty)))
                    w->flags |= kWeaponReady;
            }
        } else if (target && (w->flags & kWeaponBeam) &&
                   WeaponInFiringArc(owner, local.x, local.y, local.z, w->directionCode, w)) {
            // One automatic shot a frame. A mount that cannot fire (disabled,
            // empty) leaves the turn to the next one rather than holding
            // every other cannon silent.
            if (FireWeapon(target, local.x, local.y, local.z, owner, w) == kFired)
                target = nullptr;
        }
    }
}

void TickWeaponReloads(Weapon* first) { UpdateWeaponMounts(first, nullptr); }
