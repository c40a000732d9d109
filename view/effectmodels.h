// Models changed in place by scripts, and the plasma shimmer.
#pragma once

#include <cstdint>

struct SceneItem;
struct hx_model;

void InitPlasmaShimmer(SceneItem* item, int32_t base, int32_t top, const char* materialName);
void AnimatePlasmaShimmer(SceneItem* item, int32_t intensity);
void FlipModelFaces(hx_model* model);
void SetModelMaterial(hx_model* model, const char* materialName);
void ClearModelMaterials(hx_model* model);
int32_t SaveModelFile(const char* fileName, hx_model* model);
void MakeEffectModels();
// Per-frame 3D callback of a weapon bolt: stretches it along its flight and
// counts its travel (Avatar::travel).
void UpdateBoltStreak(SceneItem* item);
// Model n (0-3) of a bolt colour variant (0-5), or null before the effect
// models exist.
hx_model* BoltModel(int32_t colourVariant, int32_t n);
// Shades a nebula sphere's model as sky (its faces take the sky ramps).
void ShadeSkySphere(hx_model* model);
// The model drawn when the object is far; for now the full model itself.
hx_model* MakeReducedModel(hx_model* model);
