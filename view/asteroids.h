// Asteroid belts and asteroid fields.
#pragma once

#include <cstdint>

#include "world/records.h"

struct SceneItem;
struct ParticleEmitter;
struct hx_model;

// A belt of the current star system, in the plane y = 0 around its centre.
struct AsteroidBelt {
    ItemRef centre;
    float radius;
    float halfWidth; // across the ring
    float thickness; // above and below the plane
    int16_t spare;
};

// The belt rocks' models by size class, each sized to its radius.
constexpr int kAsteroidSizes = 3;
struct AsteroidModel {
    hx_model* model;
    float radius;
};

// Records a belt (a ninth is ignored): half-width radius / 6 (1e9 from a
// radius of 1e10), thickness a tenth of it; both 5e11 when wide.
void AddAsteroidBelt(float radius, SceneItem* centre, int32_t wide);
// The belts recorded (their count through the pointer); the count goes back
// to 0 at a star system's reset.
const AsteroidBelt* AsteroidBelts(int* count);
void ResetAsteroidBelts();
// The index of the belt the item is nearest (-1 when none); a farther belt
// keeps its place unless another is 2e7 nearer. inside: 255 when the item
// lies within that belt's half-width and thickness, else 0; delta: from the
// item to the belt's centre.
int32_t FindNearestBelt(const SceneItem* item, uint8_t* inside, Vector3* delta);
// Sets the item's inside-a-belt flag (0x400) by FindNearestBelt.
void UpdateInBeltFlag(SceneItem* item);
// The watched items, each frame; an empty slot stands for the player.
void UpdateBeltMembership();
void WatchBeltItem(SceneItem* item);
void ClearBeltWatchList();

// Loads the three rock models once a run; a model that fails to load ends
// the table there.
void LoadAsteroidModels();
const AsteroidModel* AsteroidModels(int* count);
// The framework that held the models has ended: the next use loads them again.
void ForgetAsteroidModels();
// Warns when there is no player yet, then loads the models and spawns
// `count` belt rocks around the player.
void GenerateAsteroidBelts(SceneItem* ignored, int32_t count);
// One rock kept scattered around the player: small, medium or large for a
// draw of 0-60, 61-90 and 91-99; nothing when no model loaded.
void SpawnBeltAsteroid(SceneItem* ignored);
// A ship of the player's asteroid field taken back to a free field slot
// with its orders restarted, in place of being deleted.
void RespawnBeltShip(SceneItem* item);
// A script's single rock showing the model; mass from its radius, at most
// 12,000. Null, with nothing made, without a model.
SceneItem* CreateAsteroid(int32_t ignored, hx_model* model);
// A dust cloud of `dustCount` points (at most 250) whose points are the
// field's slots, and `count` mines (kind 0) or rocks (kind 1) on them.
// Returns the field's item.
SceneItem* CreateAsteroidField(int32_t kind, float cx, float cy, float cz, float rx, float ry, float rz, float bias, int32_t dustCount, int32_t count);
// Fills the record (a new one when null) with up to 250 free slots around
// the centre within the radii; a bias above 1 gathers them inward, a
// negative one outward. Null when no record is free.
ParticleEmitter* FillDustCloud(float cx, float cy, float cz, float rx, float ry, float rz, float bias, int32_t count, ParticleEmitter* record);
