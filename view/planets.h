// Planet textures and model utilities of the scripts.
#pragma once

#include <cstdint>

struct SceneItem;
struct TDP;
struct hx_model;
struct hx_material;

// Faces of the planet sphere that carry a tag (black, first or second
// surface); faces past these take the first surface.
constexpr int kPlanetFaceTags = 1600;

// The planet's model leaves the TDP, whose actor shows the one-point model.
void DropPlanetModel(TDP* tdp);
// Sets the material's flags to 0x20 (on) or 0 (off) and updates it, unless
// they are that already; a null material is ignored.
void TogglePlanetMaterialFlag(hx_material* material, int32_t on);
// Reads the face tags from "hexmire\dat\triballind.dat": every tag is the
// first surface when the file is missing, and past its end when it is short.
void LoadTriballIndex();
// The face tags, kPlanetFaceTags bytes.
const uint8_t* PlanetFaceTags();
// The pool's planet model gets black, the first or the second material of
// its pair on each face by its tag.
void AssignPlanetFaceMaterials(int32_t planetIndex);
// The planet pair's two materials take the named textures (generated from
// the item's surface kind and seed for "random" or a name beginning with
// '$'), returned through the out pointers when given.
void SetPlanetTextures(SceneItem* item, hx_model* model, const char* name, hx_material** material1, hx_material** material2, int32_t planetIndex);
// Generates and registers the two 256 x 256 textures "$b_%1i_%3i_2.pix" and
// "$b_%1i_%3i_3.pix" of texture number a and seed b; the same a and b
// always give the same pixels.
void GeneratePlanetTextures(int32_t a, int32_t b);
// The planet sphere "hexmire\dat\triball.dat", or null; the start-up
// installs it as the planet pool's loader.
hx_model* LoadPlanetSphere();
// Every vertex moved to the radius; the face tags taken from the face
// materials ("INDEX_PLANET1" black, "INDEX_PLANET2" first, else second).
void SpherifyPlanetModel(hx_model* model, float radius);
// Draws the shade table in use (else the named one) at the screen's top
// left, each entry two pixels wide.
void ShowShadeTable(const char* name);
// Script model statements, each ending with a whole-model update.
void SizeModel(hx_model* model, float radius);                  // SIZE: farthest vertex at the radius
void ScaleModel(hx_model* model, float factor);                 // SCALE, SCALE_ONCE
void SlideModel(hx_model* model, float dx, float dy, float dz); // SLIDE
void RotateModelX90(hx_model* model);                           // ROTX90: y and z exchanged
void ReflectModel(hx_model* model, int32_t axis);               // REFLECT: 0 x, 1 y, 2 z negated
void CylMapModel(hx_model* model);                              // CYLMAP: fit over x, y
void SphMapModel(hx_model* model);                              // SPHMAP: materials cleared, fit over x, z
void PlnMapModel(hx_model* model);                              // PLNMAP: materials cleared, fit over x, z
