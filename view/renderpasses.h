// The scene update of the 3D view: scene items' TDP trees become framework
// actors in the worlds, follow their items every frame and change model by
// apparent size (level of detail).
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct SceneItem;
struct TDP;
struct hx_actor;
struct hx_model;
struct hx_material;
struct hx_matrix4;
struct hx_order_table;
struct hx_camera;

// Set by the LDS drive and coupling code: parts flagged to stretch in LDS
// are drawn stretched along the viewer's travel.
extern uint8_t gLdsStretch;

// The main world with its camera (its field of view in degrees) and two
// lights; the worlds are built once after start-up or FreeP3DWorlds.
void BuildMainWorld();
// Attaches a tree's TDPs that are in the scene (next sibling first, then
// first child, then the node): each takes its model's collision record and
// gets an actor in the main world (planet-layer one-point models in the
// far-planet world). TDPs of hidden bodies are left out unless they carry
// an emitter; a TDP that has an actor keeps it.
void AddTdpToWorld(TDP* tdp);
// One TDP at run time: mode 1 means the second argument is a particle
// emitter, drawn through the particle dummy. A model's TDP takes the model's
// collision record (and the item's dock points) at once, world or not. 1
// when attached or when no world is built yet (the build makes the actor),
// 0 when no actor could be made.
int32_t AttachTdpToScene(TDP* tdp, void* modelOrEmitter, int32_t mode);
// Takes the TDP's actor out of its world and frees it.
void DetachTdpActor(TDP* tdp);
// Takes an emitter TDP out of the scene and out of its tree, keeping its
// children and the siblings behind it in the tree. "RemoveParticleSystem -
// ScenePtr==NULL" (nothing done) without an owning item; "RemoveParticleSystem
// - not 3DP_CURRENT" (and the removal goes on) for a TDP not in use.
void RemoveParticleSystem(TDP* tdp);

// The default TDP sync of an Avatar: its matrix down the root TDP's tree.
void SyncAvatarTdps(SceneItem* item);
// World matrix = local x parent (row vectors), down the tree: siblings
// with the same parent matrix, children with the node's. Stores the world
// and viewer-relative positions, picks the level of detail, then runs the
// node's per-frame routine with its world matrix.
void UpdateTdpTransform(TDP* tdp, const Matrix4* parent);
// Level of detail by apparent size s = radius x 900 / depth: attaches a
// TDP in the scene without an actor above 20, and moves between the full,
// reduced and one-point models with the thresholds' hysteresis. Beyond the
// main camera's yon s is 0, except on the planet layer.
void UpdateTdpDetail(TDP* tdp);
// The default per-frame routine of a TDP: its actor takes the matrix
// (stretched along the viewer's LDS travel when the TDP asks for it).
void PlaceTdpActor(TDP* tdp, const Matrix4* matrix);
// The framework's render-bounds callback: the TDP's screen rectangle, and
// the depth dirty rectangle of the window being drawn grows to include it.
void SetTdpScreenBounds(hx_actor* actor, hx_model* model, hx_material* material, hx_order_table* table,
                        uint8_t style, hx_matrix4* modelToScreen, const int32_t bounds[4]);
// A camera actor's camera record.
hx_camera* CameraOf(hx_actor* actor);
// A game matrix (rows the axes, translation in 12-14) as the actor's transform.
void SetActorMatrix(hx_actor* actor, const Matrix4& m);
// The model "one point" (made on first use): drawn as nothing.
hx_model* GetOnePointModel();

void SetItemModel(SceneItem* item, hx_model* model);
// The position of vertex i of the model.
const Vector3* GetModelVertex(int32_t i, const hx_model* model);
