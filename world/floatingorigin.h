// Floating origin, render sync, TDP attributes and the weapon-view flag.
//
// World positions are doubles in each Sim with a float copy in its matrix;
// once a frame the whole scene is shifted so that the player's ship stays
// within 1e8 of the origin (1e9 under LDS), where floats are still precise
// enough to draw and collide. The total of the shifts is the world origin
// offset, the one value the universe, the script placement statements and
// the view use to turn stored positions into absolute ones and back.
#pragma once

#include <cstdint>

#include "world/records.h"

// The total of all shifts made so far, subtracted at every shift: an
// item's absolute position is its position plus this offset.
extern WorldPosition gWorldOriginOffset;
// 1 while the WEP station is shown and the controlled ship's current weapon
// has flag 0x200, else 0.
extern int16_t gWeaponViewFlag;

// Once a frame, after the screen update: shifts every item of the scene
// list (double position, float translation) and the trail HUDs by
// fmod(p, M) - p of the player's position p, M = 1e8 (1e9 under LDS).
void UpdateFloatingOrigin();
// The render-sync callback: the Avatar takes the Sim's velocity, matrix and
// double position.
void CopySimToAvatar(SceneItem* item);
// The TDP attribute step over a tree, with the Avatar's parameter block:
// the next sibling's subtree first, then the first child's, then the node.
// A node with attributes rebuilds its local matrix from the identity every
// frame and then moves by its offset velocity.
void AnimateTDPTree(int32_t* parameters, TDP* node);

// The vertices and triangles of a model, as the face picker reads them.
struct MeshView {
    const Vector3* vertices;
    int32_t vertexCount;
    const uint16_t (*faces)[3]; // vertex numbers, in the face's order
    int32_t faceCount;
};
// How the face picker reaches the geometry of a model: true with the mesh
// filled in, false when the model has none. The view layer installs it;
// until then no model has faces.
using ModelMeshReader = bool (*)(const hx_model* model, MeshView* mesh);
void SetModelMeshReader(ModelMeshReader reader);

// The face of the item's model nearest to `point` (a random face when the
// point is zero): its centre and unit normal. 255 when a face was found;
// 0, outputs untouched, when the item has no model or the model no usable
// face. Degenerate faces (no area, or vertex numbers out of range) are
// never chosen.
uint8_t FindHitFace(SceneItem* item, const Vector3& point, Vector3* centre, Vector3* normal);

void UpdateViewModeFlag();
void ToggleViewModeFlag();
