// Models the game makes or edits itself: plasma beams, the explosion card,
// the sky sphere's shading, the plasma shimmer and film, script edits of
// winding and materials, the bolt streak and the reduced (far) models.
#pragma once

#include <cstdint>

struct SceneItem;
struct hx_model;
struct hx_material;

// The plasma ball: every vertex colour `base`, every face the material
// (found by name); the shimmer's phases start at random. Models without
// vertices or over 2000 are left alone.
void InitPlasmaShimmer(SceneItem* item, int32_t base, int32_t top, const char* materialName);
// One shimmer step of the item's model: vertex colours between base and top
// by two travelling waves, faded toward the poles; strength intensity / 250
// for 1-249, full otherwise. Turns the item a little.
void AnimatePlasmaShimmer(SceneItem* item, int32_t intensity);
// Reverses the winding of every face.
void FlipModelFaces(hx_model* model);
// Every vertex colour 128 and every face the named material (null when unknown).
void SetModelMaterial(hx_model* model, const char* materialName);
// Every vertex colour 128 and every face's material cleared.
void ClearModelMaterials(hx_model* model);
// Writes the model to the file: 1 on success, 0 when it cannot be written.
int32_t SaveModelFile(const char* fileName, hx_model* model);
// The four sets of seven plasma beams and the explosion card, made once at
// 3D start-up and kept for the run.
void MakeEffectModels();
// A registered beam one unit long along z (-0.5 to 0.5) and `width` across:
// `rows` layers of `columns` crossed-square cells, each row 0.8 times as
// wide as the one before and jittered sideways. Null for counts that do not
// fit a model.
hx_model* MakePlasmaBeam(int16_t columns, int16_t rows, float width);
// A registered square card of the size in the plane z = 0.
hx_model* MakeExplosionCard(float size);
// Lets go of the effect models and the plasma film as the framework ends
// (its end frees the models).
void ForgetEffectModels();
// The explosion card of the effect models, or null before they exist.
hx_model* ExplosionCardModel();
// Per-frame 3D callback of a weapon bolt: stretches it along its flight to
// a third of its speed (bounded by twice the distance to its target) and
// counts its travel (Avatar::travel).
void UpdateBoltStreak(SceneItem* item);
// Model n (0-3) of a bolt colour variant (0-6), or null before the effect
// models exist or out of range.
hx_model* BoltModel(int32_t colourVariant, int32_t n);
// Shades a sky sphere's vertices from `low` to `high` (banded: darkening
// toward the clamped top and bottom; plain: random, mostly dark), clears its
// face materials and blacks out vertices of fewer than 6 faces. Models over
// 2000 vertices are left alone.
void ShadeSkySphere(hx_model* model, int32_t low, int32_t high, hx_material* material, bool banded);
// The film-textured body: every face of the item's model takes "plasmavid"
// and the plasma clip opens into its colour map. Without the material
// nothing changes.
void OpenPlasmaFilm(SceneItem* item);
// Opens the film on first use (once the item has an actor) and decodes the
// due frame into the map.
void AdvancePlasmaFilm(SceneItem* item);
// The model drawn when the object is far: "Shrapnel" itself; else the
// "_LOW.lwo" companion when it exists; else a four-vertex card carrying the
// "INDEX_TOP"/"INDEX_BOT" materials (their "_S.pix" small maps when
// present); else the model itself.
hx_model* MakeReducedModel(hx_model* model);
