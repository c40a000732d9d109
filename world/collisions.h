// Collision detection: once a frame, every pair of scene items is tested
// for contact, their trees of parts are descended to find which parts
// touch, and each touching pair goes to the items' collision responses
// (world/responses.h). The same pass notes, for items that others keep
// clear of (SceneItem flag 0x200), the nearest such neighbour of every item.
//
// This module also owns the radii of parts and items, the placing of a part
// tree in world space and kqzSpawnScene, which makes a part an item of its
// own. The ray and proximity queries are world/rayqueries.h.
//
// The broad phase is the pair loop over the scene list: every ordinary item
// against every item after it (tail-group items are never tested among
// themselves). By default a uniform grid picks the pairs that can touch
// first; the pairs it keeps are visited in the same order as the
// plain loop, and whenever a response changes the world the loop checks
// what changed, so both forms give the same results (SetCollisionPrefilter).
#pragma once

#include <cstdint>

#include "world/records.h"

// Box flags of a HullBounds box.
enum : uint32_t {
    kBoxExclusion = 0x4,      // a point inside it touches nothing
    kBoxHitEffects = 0x1FF00, // hit-effect bits handed to the item
};

// Items counted by the last PrepareCollisionFrame.
extern int32_t gSceneItemCount;

// Start of the collision frame: the per-frame flags of every item are
// cleared (SceneItem 0x40, 0x80, 0x100; Avatar 0x2), the towed bit of items
// that no longer follow a carrier, and the part trees placed in world space.
void PrepareCollisionFrame();
// The pair loop with the obstacle bookkeeping, the part tests and the
// responses.
void TestAllCollisions();

// The broad phase's form: true (the default) picks the candidate pairs
// first, false runs the plain pair loop. Both give the same world.
void SetCollisionPrefilter(bool on);
// The pairs the last TestAllCollisions looked at: every pair in the plain
// form, the candidates (and the pairs of items that a response moved) with
// the prefilter. For the benchmark and the tests of the prefilter.
int32_t CollisionPairTests();

// Radii and centres at the start of flight: every item's tree placed, its
// parts' radii and its own.
void InitSceneItemRadii();
void InitTDPRadii();

// The item's radius from its part tree, when it has none yet.
void SetSceneItemRadius(SceneItem* item);
// The farthest reach of a part tree from a point: distance to each part's
// world centre plus its radius; 13 for no part.
float TDPTreeRadius(const TDP* part, const Vector3& point);
// Gives each part of the tree without a radius its HullBounds radius, or
// its model's.
void InitTDPRadius(TDP* part);
// The longest vertex vector of the part's model; 13 without a model; parts
// with a particle emitter or detached placeholders keep what they have.
void ComputeTDPModelRadius(TDP* part);
// Places the item's part tree in world space: each part's world centre is
// the item's position plus its offset turned through the parents' matrices.
void UpdateTDPWorldCentres(SceneItem* item);

// Makes the item the owner of the part, its siblings and all below them.
void SetTDPTreeOwner(TDP* node, SceneItem* owner);

// Adds a dock point to the part's HullBounds points, unless it is there or
// the 16 are taken.
void AddHullBoundsPoint(TDP* part, const Vector3& point);
// Scales the boxes by new / old radius and keeps the new radius.
void ScaleHullBounds(HullBounds* bounds, float radius);

// Makes the part an item of its own (a placeholder takes its place in the
// tree) and returns that item; the item itself when the part is its lone
// root or already detached, or is not in its tree.
SceneItem* kqzSpawnScene(SceneItem* item, TDP* part);

// The narrow phase, open for the queries and the responses: the part trees
// of two items, and the HullBounds test of two parts (p's points against
// q's boxes, or the other way round when p is the larger; s = p's centre
// minus q's).
void CollideTDPTrees(TDP* a, TDP* b);
bool CollideHullBounds(TDP* p, const Matrix4& pMatrix, TDP* q, const Matrix4& qMatrix,
                       Vector3 s);
