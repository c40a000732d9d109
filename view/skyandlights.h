// Sky palette, celestial sphere, star field, dummy models and scene lights.
#pragma once

#include <cstdint>

struct SceneItem;
struct hx_model;

extern uint8_t gNebulaOn; // 255 while the nebula background is on

void SetSkyPaletteForSystem(int32_t systemType);
void SetSkyPaletteRow(int16_t row);
void SetStarGateTexture(SceneItem* gate, int32_t setting);
void UpdateSceneLights();
void CreateStarDummyModel();
hx_model* LoadAntiMatterModel();
void SetNebulaModel(hx_model* model);
void CreateCelestialSphere();
void BuildStarCatalogue();
void DrawStarField();
void DrawSunFlare();
void SetFlashLight(SceneItem* item, int32_t ticks, int32_t flag);
void SetFlashLightSoft();
// The model through which particle emitters are drawn.
hx_model* CreateParticleDummyModel();
// The particle pass over the scene list.
void DrawAllParticles(int32_t flag);
