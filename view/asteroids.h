// Asteroid belts and asteroid fields.
#pragma once

#include <cstdint>

struct SceneItem;
struct hx_model;

void AddAsteroidBelt(float radius, SceneItem* centre, int32_t wide);
void GenerateAsteroidBelts(SceneItem* ignored, int32_t count);
void SpawnBeltAsteroid(SceneItem* ignored);
void RespawnBeltShip(SceneItem* item);
SceneItem* CreateAsteroid(int32_t ignored, hx_model* model);
SceneItem* CreateAsteroidField(int32_t kind, float cx, float cy, float cz, float rx, float ry, float rz, float bias, int32_t dustCount, int32_t count);
void ClearBeltWatchList();
void UpdateBeltMembership();
