// The fixed pools of the world's records, their allocators and their reset;
// scene-item handles; flight models; hull bounds; the world's own
// shift-register random source.
//
// Every pool is a static array that lives as long as the program. An
// allocator hands out the next free record after the one it handed out
// last (wrapping), zeroed and marked in use; a full pool reports
// "Exceeded max ..." through the fatal stop and returns null. A record goes
// back by clearing its in-use bit. ResetPools empties every pool but the
// vector-map shapes (below).
#pragma once

#include <cstddef>
#include <cstdint>

#include "world/records.h"

constexpr int kMaxSceneItems = 400;
constexpr int kMaxAvatars = 400;
constexpr int kMaxActions = 30;
constexpr int kMaxSims = 400;
constexpr int kMaxWeapons = 240;
constexpr int kMaxTDPs = 600;
constexpr int kMaxShipInfos = 90;
constexpr int kMaxBigHUDs = 20;
constexpr int kMaxHUDs = 200;
constexpr int kMaxParticleEmitters = 20;
constexpr int kLargeEmitterPoints = 250;
constexpr int kMaxSmallParticleEmitters = 50;
constexpr int kSmallEmitterPoints = 30;

SceneItem* AllocSceneItem();
Avatar* AllocAvatar();
Action* AllocAction();
Sim* AllocSim();
Weapon* AllocWeapon();
TDP* AllocTDP();
ShipInfo* AllocShipInfo();
HUD* AllocBigHUD();
HUD* AllocHUD();
ParticleEmitter* AllocParticleEmitter();      // null, without a message, when full
ParticleEmitter* AllocSmallParticleEmitter(); // likewise

// Empties every pool, seeds the random source from the game clock, clears
// the previous frame's key states and frees every HullBounds record.
void ResetPools();

// The pools themselves, for code that walks them (spans of the whole pool).
SceneItem* SceneItemPool();
TDP* TDPPool();
Sim* SimPool();

// A scene item as a 32-bit word: slot + 1 in the low 16 bits, the slot's
// serial (raised at every allocation) in the high 16. 0 is none. A handle
// whose item was deleted or reused reads back as null.
using SceneItemHandle = uint32_t;
SceneItemHandle ItemHandle(const SceneItem* item);
SceneItem* ItemFromHandle(SceneItemHandle handle);

// The vector map's shape records (screens/vectormap.h): zeroed blocks handed
// out in order until the pool is spent, then null without a message.
// FreeVectorShapes empties the pool; the map's reset calls it together with
// emptying its tree (ResetPools leaves the shapes alone, so that no tree
// is left pointing at records handed out again).
constexpr int kMaxVectorShapes = 256;
constexpr size_t kVectorShapeBytes = 64;
struct VectorShape;
VectorShape* AllocVectorShape();
// True for a record handed out since the pool was last emptied.
bool IsVectorShapeRecord(const void* pointer);
void FreeVectorShapes();

// Zeroed blocks of the general allocator.
void* AllocMemory(size_t bytes);
void FreeMemory(void* block);

// Collision shapes: one global list, found by model; ResetPools frees it.
HullBounds* AllocHullBounds(); // zeroed, linked into the list
HullBounds* FindHullBounds(const hx_model* model);

void InitFlightModel(FlightModel* model, float acceleration, float secondThrust, float growth,
                     float ldsTopSpeed, float rollRate, float pitchRate, float yawRate,
                     float speedFactor);
FlightModel* NewFlightModel(float acceleration, float secondThrust, float rollRate,
                            float pitchRate, float yawRate, float speedFactor);
// Rescales an AI ship's limits from the unscaled copy by its skill.
void ScaleFlightModelBySkill(SceneItem* item);

// The world's own pseudo-random source (seeded by ResetPools). Bit 0 of the
// result is always 0.
uint32_t ShiftRegisterRandom();
void SeedShiftRegisterRandom(uint32_t state);
uint32_t ShiftRegisterRandomState();
