// The named effects: explosions at a hit point, hull ruptures, spark
// bursts, a ship's destruction with its chain of part explosions, light
// flashes, the arrival and departure sweeps and the LDS drive's glow. Each
// is a fixed set of emitter settings (the table below) with, where it has
// them, a colour ramp, a light flash and a sound.
#include "view/explosions.h"

#include <algorithm>
#include <cmath>

#include "system/crand.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "view/cameras.h"
#include "view/colourtables.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "view/skyandlights.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

// The emitter settings of each effect.
// clang-format off
constexpr EmitterSettings kMinorExplosion   = {2, 0x12,     100,  150, 100, 2000,    900, 180};
constexpr EmitterSettings kThermalExplosion = {2, 0x12,     100,  150, 100, 2000,    900, 180};
constexpr EmitterSettings kHullRupture      = {2, 0x812,    0,    180, 150, 0,       120, 10};
constexpr EmitterSettings kDebrisSparks     = {2, 0x8812,   0,    220, 150, 10000,   180, 5};
constexpr EmitterSettings kColouredBurst    = {2, 0x12,     250,  200, 700, 15000,   600, 360};
constexpr EmitterSettings kDestructionBurst = {0, 0x180012, 1120, 250, 200, 0,       650, 360};
constexpr EmitterSettings kChainBurst       = {2, 0x212,    250,  120, 700, 0,       600, 360};
constexpr EmitterSettings kArrivalSweep     = {0, 0x4000,   150,  250, 700, 15000,   600, 360};
constexpr EmitterSettings kDepartureSweep   = {0, 0x4000,   75,   250, 700, -15000,  600, 360};
constexpr EmitterSettings kLdsGlow          = {2, 0xA12,    250,  220, 250, -32000,  150, 45};

constexpr int32_t kYellowRupture[5][3] = {{45, 45, 0}, {100, 100, 0}, {200, 200, 0}, {255, 255, 0}, {255, 255, 255}};
constexpr int32_t kRedRupture[5][3] = {{100, 0, 0}, {200, 0, 0}, {225, 0, 0}, {255, 0, 0}, {255, 255, 255}};
constexpr int32_t kLdsGreen[5][3] = {{0, 45, 0}, {0, 100, 0}, {0, 200, 0}, {0, 255, 0}, {0, 255, 0}};
// clang-format on

constexpr int32_t kLongestLife = 32767; // a life of 0 asks for this
constexpr int32_t kSoundChainBang = 10;
constexpr int32_t kSoundSweep = 26;
constexpr int32_t kChainOdds = 250;     // a chain step once in 250 ticks
constexpr int32_t kChainEndDelay = 500; // hundredths before the wreck goes
constexpr int32_t kDestructionLight = 120;
constexpr int32_t kNearFlash = 150;

// An effect with its own life, count and speed in place of the settings'.
TDP* Attach(SceneItem* item, const Matrix4* frame, const EmitterSettings& e, int32_t life, int32_t count, float speed)
{
    return AttachParticleEmitter(item, frame, e.type, e.flags, life, count, e.pointLife, speed, e.rate, e.spread);
}

ParticleEmitter* EmitterOf(TDP* tdp)
{
    return tdp ? tdp->emitter : nullptr;
}

// A colour from the bits of AddMinorExplosion: 4 red, 2 green, 1 blue, and
// 8 makes each 255 instead of 128.
void ColourOfBits(int32_t bits, int32_t rgb[3])
{
    const int32_t level = (bits & 8) ? 255 : 128;
    rgb[0] = (bits & 4) ? level : 0;
    rgb[1] = (bits & 2) ? level : 0;
    rgb[2] = (bits & 1) ? level : 0;
}

// The emitter frame of a burst at a hit point (a world offset from the
// item's centre): it looks out of the hull at the point, the item's up as
// its up.
Matrix4 HitFrame(const SceneItem* item, const Vector3& hitPoint)
{
    Vector3 local;
    VecMulMat3T(local, hitPoint, item->sim->matrix);
    Vector3 forward{-local.x, -local.y, -local.z};
    VecNormalise(forward);
    const Vector3 up{item->sim->matrix.m[4], item->sim->matrix.m[5], item->sim->matrix.m[6]};
    Matrix4 m;
    MatLookDir(forward, &up, m);
    m.m[12] = local.x;
    m.m[13] = local.y;
    m.m[14] = local.z;
    return m;
}

Vector3 PositionOf(const SceneItem* item)
{
    const WorldPosition& p = item->sim->position;
    return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
}

void PlayAt(const SceneItem* item, int32_t sound, int32_t spread)
{
    int32_t volume = 0;
    int32_t pan = 0;
    SoundPlaceObject(item, &volume, &pan);
    if (spread > 0)
        SoundPlayVaried(sound, volume, 0, pan, 0, spread);
    else
        SoundPlay(sound, volume, 0, pan, 0);
}

// The sweep of an arrival or departure, with its sound and flash.
TDP* Sweep(SceneItem* item, const EmitterSettings& e)
{
    if (!item || !item->sim)
        return nullptr;
    PlayAt(item, kSoundSweep, 0);
    FlashNearObject(item);
    return AttachParticleEmitter(item, nullptr, e);
}

} // namespace

void AddMinorExplosion(SceneItem* item, int32_t firstColourBits, int32_t secondColourBits, const Vector3* hitPoint)
{
    if (!hitPoint) {
        FatalError("AddMinorExplosion");
        return;
    }
    if (!item || !item->sim)
        return;
    const Matrix4 frame = HitFrame(item, *hitPoint);
    ParticleEmitter* e = EmitterOf(AttachParticleEmitter(item, &frame, kMinorExplosion));
    if (!e || !gRampLookup)
        return;
    int32_t first[3];
    int32_t second[3];
    ColourOfBits(firstColourBits, first);
    ColourOfBits(secondColourBits, second);
    BuildColourRamp(gRampLookup, e->ramp, first[0], first[1], first[2], second[0], second[1], second[2]);
}

TDP* AddThermalExplosion(SceneItem* item, const Vector3* hitPoint)
{
    if (!hitPoint) {
        FatalError("AddThermalExplosion");
        return nullptr;
    }
    if (!item || !item->sim)
        return nullptr;
    const Matrix4 frame = HitFrame(item, *hitPoint);
    return AttachParticleEmitter(item, &frame, kThermalExplosion); // the default yellow ramp
}

void AddHullRupture(SceneItem* item, int32_t yellow, int32_t, const Vector3* hitPoint, int32_t life)
{
    if (!hitPoint) {
        FatalError("AddHullRupture");
        return;
    }
    if (!item || !item->sim)
        return;
    const Matrix4& sim = item->sim->matrix;
    Vector3 local;
    VecMulMat3T(local, *hitPoint, sim);
    Vector3 centre{};
    Vector3 normal{0.0f, 0.0f, 1.0f};
    FindHitFace(item, local, &centre, &normal);
    const Vector3 up{sim.m[4], sim.m[5], sim.m[6]};
    Matrix4 frame;
    MatLookDir(normal, &up, frame);
    MatRotZ(static_cast<float>(CRand() % 10), frame);
    MatRotX(static_cast<float>(CRand() % 10), frame);
    frame.m[12] = centre.x;
    frame.m[13] = centre.y;
    frame.m[14] = centre.z;
    const float base = std::clamp(0.4f * item->sim->radius, 4000.0f, 20000.0f);
    const float speed =
        static_cast<float>(static_cast<int16_t>(base * (0.5f + 0.6f * static_cast<float>(CRand()) / 32768.0f)));
    ParticleEmitter* e =
        EmitterOf(Attach(item, &frame, kHullRupture, life == 0 ? kLongestLife : life, kHullRupture.count, speed));
    if (!e)
        return;
    if (gRampLookup)
        BuildFiveColourRamp(gRampLookup, e->ramp, yellow ? kYellowRupture : kRedRupture);
    // A light at the rupture that burns out after ten seconds.
    const Vector3 at{centre.x / 100.0f, centre.y / 100.0f, centre.z / 100.0f};
    AddMarkerLight(item, &at, 0.25f, 6, 0, 1000, 1);
}

void AddDebrisSparks(SceneItem* item, int32_t life)
{
    if (!item || !item->sim)
        return;
    const Matrix4& sim = item->sim->matrix;
    const Vector3 forward{sim.m[0], sim.m[1], sim.m[2]};
    const Vector3 up{sim.m[4], sim.m[5], sim.m[6]};
    Matrix4 frame;
    MatLookDir(forward, &up, frame);
    Attach(item, &frame, kDebrisSparks, life == 0 ? kLongestLife : life, kDebrisSparks.count, kDebrisSparks.speed);
}

void AddColouredExplosion(SceneItem* item, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2)
{
    ParticleEmitter* e = EmitterOf(AttachParticleEmitter(item, nullptr, kColouredBurst));
    if (e && gRampLookup)
        BuildColourRamp(gRampLookup, e->ramp, r1, g1, b1, r2, g2, b2);
}

void StartChainExplosion(SceneItem* wreck)
{
    if (!wreck || !wreck->avatar)
        return;
    SetControlFunction(wreck, ChainExplosionStep);
    TDP* root = wreck->avatar->root;
    wreck->avatar->chainCursor = root ? root->firstChild : nullptr;
}

void AddShipDestructionExplosion(SceneItem* wreck, HitPayload* hitRecord, SceneItem* destroyedShip)
{
    if (!wreck || !wreck->sim)
        return;
    SceneItem* ship = destroyedShip && destroyedShip->sim ? destroyedShip : wreck;
    StartChainExplosion(wreck);
    Vector3 direction{};
    if (hitRecord) {
        VecMulMat3T(direction, {hitRecord->point[0], hitRecord->point[1], hitRecord->point[2]}, wreck->sim->matrix);
        VecNormalise(direction);
    }
    AddThermalExplosion(wreck, &direction);
    // A destruction near the camera makes a fuller burst.
    float d = 0.0f;
    if (gPlayerCamera && gPlayerCamera->sim) {
        const WorldPosition& a = ship->sim->position;
        const WorldPosition& b = gPlayerCamera->sim->position;
        d = VecFastLength({static_cast<float>(a.x - b.x), static_cast<float>(a.y - b.y), static_cast<float>(a.z - b.z)});
    }
    const float range = ship->sim->radius * 500000.0f / 12000.0f + 200000.0f;
    d = std::min(d, 0.75f * range);
    const float k = range > 0.0f ? 1.0f - d / range : 1.0f;
    const int32_t count = static_cast<int32_t>(static_cast<float>(kDestructionBurst.count) * k * k);
    Attach(wreck, nullptr, kDestructionBurst, kDestructionBurst.life, count, ship->sim->radius * 7000.0f / 12000.0f);
    const Vector3 at = PositionOf(ship);
    StartExplosionLight(&at, kDestructionLight);
}

void ChainExplosionStep(SceneItem* item)
{
    if (!item || !item->avatar || !item->sim)
        return;
    TDP* part = item->avatar->chainCursor;
    if (!part)
        return;
    if (static_cast<int32_t>(CRand() % kChainOdds) >= gFrameClock.frameTicks)
        return;
    TDP* next = part->nextSibling;
    while (next && (next->flags & kTdpEmitter))
        next = next->nextSibling;
    if (!next)
        PostItemMessage(item->receiver, item->receiver, kChainEndDelay, kMsgDelete, 0, nullptr);
    RemoveTDPFromRenderer(part);
    const float speed = item->sim->radius / 10000.0f * 5000.0f;
    TDP* burst = Attach(item, nullptr, kChainBurst, kChainBurst.life, kChainBurst.count, speed);
    PlayAt(item, kSoundChainBang, 8000);
    if (ParticleEmitter* e = EmitterOf(burst)) {
        e->startRadius = part->radius / 2.0f;
        // At the part's place, in the item's frame.
        const TDP* root = item->avatar->root;
        const Vector3 fromRoot{part->worldCentre.x - root->worldCentre.x, part->worldCentre.y - root->worldCentre.y,
                               part->worldCentre.z - root->worldCentre.z};
        Vector3 local;
        VecMulMat3T(local, fromRoot, item->sim->matrix);
        burst->offset = local;
        burst->local.m[12] = local.x;
        burst->local.m[13] = local.y;
        burst->local.m[14] = local.z;
    }
    item->avatar->chainCursor = next;
}

void FlashAtHullPoint(SceneItem* item, const Vector3* direction, int32_t intensity)
{
    if (!item || !item->sim || !direction)
        return;
    Vector3 d = *direction;
    VecNormalise(d);
    const float r = item->sim->radius;
    const Vector3 p = PositionOf(item);
    const Vector3 at{p.x + d.x * r, p.y + d.y * r, p.z + d.z * r};
    StartExplosionLight(&at, intensity);
}

void FlashNearObject(SceneItem* item)
{
    if (!item || !item->sim)
        return;
    const float r = item->sim->radius;
    const Vector3 p = PositionOf(item);
    Vector3 offset;
    if (item == gControlledItem) {
        // Below and in front of the viewpoint.
        VecMulMat3(offset, {0.0f, -0.3f * r, -1.1f * r}, item->sim->matrix);
    } else {
        const SceneItem* viewer = gPlayerCamera && gPlayerCamera->sim ? gPlayerCamera : gControlledItem;
        Vector3 toViewer{};
        if (viewer && viewer->sim) {
            const WorldPosition& v = viewer->sim->position;
            toViewer = {static_cast<float>(v.x - item->sim->position.x), static_cast<float>(v.y - item->sim->position.y),
                        static_cast<float>(v.z - item->sim->position.z)};
            VecNormalise(toViewer);
        }
        offset = {toViewer.x * 1.2f * r, toViewer.y * 1.2f * r, toViewer.z * 1.2f * r};
    }
    const Vector3 at{p.x + offset.x, p.y + offset.y, p.z + offset.z};
    StartExplosionLight(&at, kNearFlash);
}

TDP* AddArrivalFlash(SceneItem* item)
{
    return Sweep(item, kArrivalSweep);
}

TDP* AddDepartureFlash(SceneItem* item)
{
    return Sweep(item, kDepartureSweep);
}

void AddLdsEffect(SceneItem* item)
{
    ParticleEmitter* e = EmitterOf(AttachParticleEmitter(item, nullptr, kLdsGlow));
    if (!e)
        return;
    // New points start on a sphere of a quarter of the radius and fall in.
    e->startRadius = item->sim ? item->sim->radius / 2.0f : 0.0f;
    if (gRampLookup)
        BuildFiveColourRamp(gRampLookup, e->ramp, kLdsGreen);
}
