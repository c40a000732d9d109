// The fixed pools of the world's records and their common allocation rule,
// scene-item handles, hull bounds, flight models and the shift-register
// random source.
#include "world/pools.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "ai/docking.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "world/scenelist.h"

namespace {

template <typename T, int N>
struct Pool {
    static_assert(std::is_trivially_copyable_v<T>, "pool records are plain data");
    T records[N];
    int cursor = 0; // the record handed out last

    void Reset()
    {
        std::memset(static_cast<void*>(records), 0, sizeof(records));
        cursor = 0;
    }

    // Steps from the record after the cursor round to the cursor itself, so
    // the record handed out last is examined last (and a pool with one free
    // record always finds it). Returns the free record, not yet zeroed.
    T* FindFree()
    {
        for (int step = 1; step <= N; ++step) {
            int i = (cursor + step) % N;
            if ((records[i].flags & 1) == 0) {
                cursor = i;
                return &records[i];
            }
        }
        return nullptr;
    }

    T* Alloc(const char* fullMessage)
    {
        T* r = FindFree();
        if (!r) {
            FatalError(fullMessage);
            return nullptr;
        }
        std::memset(static_cast<void*>(r), 0, sizeof(T));
        r->flags = 1;
        return r;
    }
};

Pool<SceneItem, kMaxSceneItems> gSceneItems;
Pool<Avatar, kMaxAvatars> gAvatars;
Pool<Action, kMaxActions> gActions;
Pool<Sim, kMaxSims> gSims;
Pool<Weapon, kMaxWeapons> gWeapons;
Pool<TDP, kMaxTDPs> gTDPs;
Pool<ShipInfo, kMaxShipInfos> gShipInfos;
Pool<HUD, kMaxBigHUDs> gBigHUDs;
Pool<HUD, kMaxHUDs> gHUDs;
Pool<ParticleEmitter, kMaxParticleEmitters> gEmitters;
Pool<ParticleEmitter, kMaxSmallParticleEmitters> gSmallEmitters;
EmitterPoint gEmitterPoints[kMaxParticleEmitters][kLargeEmitterPoints];
EmitterPoint gSmallEmitterPoints[kMaxSmallParticleEmitters][kSmallEmitterPoints];

// Serial of each SceneItem slot, raised at every hand-out and never reset,
// so a handle taken before a reset or a reuse stays stale.
uint16_t gItemSerial[kMaxSceneItems];

HullBounds* gHullBounds;       // the global list, newest first
struct StandaloneFlightModel { // NewFlightModel blocks, freed with the pools
    FlightModel model;
    StandaloneFlightModel* next;
};
StandaloneFlightModel* gFlightModels;

uint32_t gRandomState;

void FreeHullBoundsList()
{
    while (gHullBounds) {
        HullBounds* next = gHullBounds->next;
        for (HullBox* box = gHullBounds->boxes; box;) {
            HullBox* nextBox = box->next;
            FreeMemory(box);
            box = nextBox;
        }
        FreeMemory(gHullBounds);
        gHullBounds = next;
    }
}

void FreeFlightModels()
{
    while (gFlightModels) {
        StandaloneFlightModel* next = gFlightModels->next;
        FreeMemory(gFlightModels);
        gFlightModels = next;
    }
}

void GivePointBuffers()
{
    for (int i = 0; i < kMaxParticleEmitters; ++i) {
        gEmitters.records[i].points = gEmitterPoints[i];
        gEmitters.records[i].capacity = kLargeEmitterPoints;
    }
    for (int i = 0; i < kMaxSmallParticleEmitters; ++i) {
        gSmallEmitters.records[i].points = gSmallEmitterPoints[i];
        gSmallEmitters.records[i].capacity = kSmallEmitterPoints;
    }
}

struct PoolsAtStartup {
    PoolsAtStartup() { GivePointBuffers(); }
} gPoolsAtStartup;

} // namespace

SceneItem* AllocSceneItem()
{
    SceneItem* item = gSceneItems.Alloc("Exceeded max SceneItems");
    if (item) {
        item->sceneGeneration = gCurrentSceneGeneration;
        ++gItemSerial[item - gSceneItems.records];
    }
    return item;
}

Avatar* AllocAvatar() { return gAvatars.Alloc("Exceeded max Avatars"); }
Action* AllocAction() { return gActions.Alloc("Exceeded max Actions"); }
Weapon* AllocWeapon() { return gWeapons.Alloc("Exceeded max Weapons"); }
TDP* AllocTDP() { return gTDPs.Alloc("Exceeded max TDPs"); }
ShipInfo* AllocShipInfo() { return gShipInfos.Alloc("Exceeded max ShipInfos"); }
HUD* AllocBigHUD() { return gBigHUDs.Alloc("Exceeded max big HUDs"); }
HUD* AllocHUD() { return gHUDs.Alloc("Exceeded max HUDs"); }

Sim* AllocSim()
{
    Sim* sim = gSims.Alloc("Exceeded max Sims");
    if (sim)
        sim->hull = 100;
    return sim;
}

ParticleEmitter* AllocParticleEmitter()
{
    ParticleEmitter* e = gEmitters.FindFree();
    if (!e)
        return nullptr;
    e->flags |= 1;
    for (int i = 0; i < kLargeEmitterPoints; ++i) {
        e->points[i].size = 0.5f;
        e->points[i].life = 0;
    }
    e->pointCount = kLargeEmitterPoints;
    return e;
}

ParticleEmitter* AllocSmallParticleEmitter()
{
    ParticleEmitter* e = gSmallEmitters.FindFree();
    if (!e)
        return nullptr;
    e->flags |= 1;
    for (int i = 0; i < kSmallEmitterPoints; ++i)
        e->points[i].life = 0;
    return e;
}

void ResetPools()
{
    // So do the dock points on the ShipInfos.
    for (ShipInfo& info : gShipInfos.records)
        ReleaseDockPointList(&info);
    // Attribute nodes hang from the TDPs in blocks of their own.
    for (TDP& node : gTDPs.records) {
        for (TDPAttribute* a = node.attributes; a;) {
            TDPAttribute* next = a->next;
            FreeMemory(a);
            a = next;
        }
    }
    gSceneItems.Reset();
    gAvatars.Reset();
    gActions.Reset();
    gSims.Reset();
    gWeapons.Reset();
    gTDPs.Reset();
    gShipInfos.Reset();
    gBigHUDs.Reset();
    gHUDs.Reset();
    gEmitters.Reset();
    gSmallEmitters.Reset();
    std::memset(gEmitterPoints, 0, sizeof(gEmitterPoints));
    std::memset(gSmallEmitterPoints, 0, sizeof(gSmallEmitterPoints));
    GivePointBuffers();
    gRandomState = gFrameClock.gameClock;
    // No key counts as held over from before the reset.
    GetPreviousKeyStateBlock().fill(0);
    FreeHullBoundsList();
    FreeFlightModels();
}

SceneItem* SceneItemPool() { return gSceneItems.records; }
TDP* TDPPool() { return gTDPs.records; }
Sim* SimPool() { return gSims.records; }

SceneItemHandle ItemHandle(const SceneItem* item)
{
    if (!item || item < gSceneItems.records || item >= gSceneItems.records + kMaxSceneItems)
        return 0;
    auto slot = static_cast<uint32_t>(item - gSceneItems.records);
    return (uint32_t{gItemSerial[slot]} << 16) | (slot + 1);
}

SceneItem* ItemFromHandle(SceneItemHandle handle)
{
    uint32_t slot = (handle & 0xFFFF) - 1;
    if (slot >= static_cast<uint32_t>(kMaxSceneItems) || gItemSerial[slot] != handle >> 16)
        return nullptr;
    SceneItem* item = &gSceneItems.records[slot];
    return (item->flags & kItemInUse) ? item : nullptr;
}

SceneItem* ItemRef::Get() const { return ItemFromHandle(handle); }
void ItemRef::Set(const SceneItem* item) { handle = ItemHandle(item); }
bool ItemRef::Is(const SceneItem* item) const { return handle != 0 && handle == ItemHandle(item); }

void* AllocMemory(size_t bytes)
{
    void* block = std::calloc(1, bytes ? bytes : 1);
    if (!block)
        FatalError("Out of memory");
    return block;
}

void FreeMemory(void* block) { std::free(block); }

namespace {

// Raw blocks: the record's layout is the vector map's own.
alignas(std::max_align_t) unsigned char gVectorShapes[kMaxVectorShapes][kVectorShapeBytes];
int gVectorShapesUsed = 0;

} // namespace

VectorShape* AllocVectorShape()
{
    if (gVectorShapesUsed >= kMaxVectorShapes)
        return nullptr;
    unsigned char* block = gVectorShapes[gVectorShapesUsed++];
    std::memset(block, 0, kVectorShapeBytes);
    return reinterpret_cast<VectorShape*>(block);
}

bool IsVectorShapeRecord(const void* pointer)
{
    for (int i = 0; i < gVectorShapesUsed; ++i)
        if (pointer == gVectorShapes[i])
            return true;
    return false;
}

void FreeVectorShapes()
{
    gVectorShapesUsed = 0;
}

HullBounds* AllocHullBounds()
{
    auto* bounds = static_cast<HullBounds*>(AllocMemory(sizeof(HullBounds)));
    if (bounds) {
        bounds->next = gHullBounds;
        gHullBounds = bounds;
    }
    return bounds;
}

HullBounds* FindHullBounds(const hx_model* model)
{
    for (HullBounds* b = gHullBounds; b; b = b->next)
        if (b->model == model)
            return b;
    return nullptr;
}

void InitFlightModel(FlightModel* m, float a, float s, float g, float t, float r, float p,
                     float y, float e)
{
    *m = FlightModel{};
    m->acceleration = a;
    m->secondThrust = s;
    m->ldsGrowth = g;
    m->ldsTopSpeed = t;
    m->spoolTime = 300.0f;
    m->rollRate = m->rollRate2 = r;
    m->pitchRate = m->pitchRate2 = p;
    m->yawRate = m->yawRate2 = y;
    m->topSpeed = 100.0f * e;
    float turnTime = r > p ? 480.0f / p + 240.0f / r : 480.0f / r + 480.0f / p;
    m->turnTime = turnTime;
    m->stopping = e * turnTime + 1.2f * e / a + 50.0f * s;
    m->turnRatio = 180.0f * a / p;
    m->lateral = 50.0f * s;
    m->value01 = 0.1f;
    m->value03 = 0.3f;
    m->capsuleRating = 100.0f;
}

FlightModel* NewFlightModel(float a, float s, float r, float p, float y, float e)
{
    auto* block = static_cast<StandaloneFlightModel*>(AllocMemory(sizeof(StandaloneFlightModel)));
    if (!block)
        return nullptr;
    block->next = gFlightModels;
    gFlightModels = block;
    InitFlightModel(&block->model, a, s, 0.0f, 0.0f, r, p, y, e);
    return &block->model;
}

void ScaleFlightModelBySkill(SceneItem* item)
{
    if (!item || item == gPlayerItem || !item->sim || !item->sim->shipInfo ||
        !item->sim->flightModel)
        return;
    const ShipInfo* info = item->sim->shipInfo;
    const FlightModel& base = info->baseFlightModel;
    FlightModel* used = item->sim->flightModel;
    float skill = info->skill;
    float f = skill >= 50 ? 1.0f + (skill - 50.0f) / 150.0f : 1.0f + (skill - 50.0f) / 200.0f;
    used->acceleration = base.acceleration * f;
    used->rollRate = base.rollRate * f;
    used->pitchRate = base.pitchRate * f;
    used->yawRate = base.yawRate * f;
    used->rollRate2 = base.rollRate2 * f;
    used->pitchRate2 = base.pitchRate2 * f;
    used->yawRate2 = base.yawRate2 * f;
}

// The register, one step at a time: add 1 to the state; then 32 times:
// take bit 1 of the state into the result and shift the result left; shift
// the state right, feeding bit 31 with the XOR of its bits 31, 6, 4, 2, 1
// and 0. The 32 steps are computed here a word at a time:
// - the result takes state bits 2..31 in reverse order into its bits 31..2,
//   and the first feedback bit into bit 1 (bit 0 is always 0);
// - the new state is the 32 feedback bits, bit k the k-th. Feedback k is
//   feedback k-1 (state bit 31 for the first) XOR the five taps, which for
//   k <= 25 are bits of the starting state and for k >= 26 partly feedback
//   bits 0..5 fed back round; both parts are running XORs across the word.
namespace {

uint32_t ReverseBits(uint32_t x)
{
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
    x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
    return (x >> 16) | (x << 16);
}

// Bit k becomes the XOR of bits 0..k.
uint32_t RunningXor(uint32_t x)
{
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    return x;
}

} // namespace

uint32_t ShiftRegisterRandom()
{
    uint32_t s = gRandomState + 1;
    uint32_t taps = s ^ (s >> 1) ^ (s >> 2) ^ (s >> 4) ^ (s >> 6);
    uint32_t feedback = RunningXor(taps) ^ (0u - (s >> 31));
    uint32_t early = feedback & 0x3F;
    feedback ^= RunningXor((early << 26) ^ (early << 28) ^ (early << 30) ^ (early << 31));
    gRandomState = feedback;
    return (ReverseBits(s) << 2) | ((feedback & 1) << 1);
}

void SeedShiftRegisterRandom(uint32_t state) { gRandomState = state; }
uint32_t ShiftRegisterRandomState() { return gRandomState; }
