// Planet textures and model utilities of the scripts.
#pragma once

#include <cstdint>

struct SceneItem;
struct TDP;
struct hx_model;
struct hx_material;

void DropPlanetModel(TDP* tdp);
void TogglePlanetMaterialFlag(hx_material* material, int32_t on);
void LoadTriballIndex();
void AssignPlanetFaceMaterials(int32_t planetIndex);
void SetPlanetTextures(SceneItem* item, hx_model* model, const char* name, hx_material** material1, hx_material** material2, int32_t planetIndex);
void SpherifyPlanetModel(hx_model* model, float radius);
void ShowShadeTable(const char* name);
void SizeModel(hx_model* model, float radius);
void ScaleModel(hx_model* model, float factor);
void SlideModel(hx_model* model, float dx, float dy, float dz);
void RotateModelX90(hx_model* model);
void ReflectModel(hx_model* model, int32_t axis);
void CylMapModel(hx_model* model);
void SphMapModel(hx_model* model);
void PlnMapModel(hx_model* model);
