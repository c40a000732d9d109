// Ray and proximity queries: whether a moving point (a projectile) strikes
// a part this frame, whether a ray crosses a part's collision boxes, which
// part lies nearest a point, and which item lies nearest the line of sight.
//
// Boxes are HullBounds boxes in the owning item's frame. Crossings are
// strict: a point on a face's edge does not cross it. A ray without a
// direction crosses nothing.
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct SceneItem;
struct TDP;

// The part when the moving item strikes it this frame (it lies within a
// sixth of a second of the item's travel, ahead or behind, and within 1.2 x
// its radius of the item's line), else null; *contact gets the world point.
TDP* SweptPointHitsTDP(SceneItem* moving, TDP* part, Vector3* contact);

// True when the ray from `origin` (in the part item's frame, from the
// part's world centre) along the forward axis of `rayFrame` crosses one of
// the part's boxes; *point gets the crossing in world terms. The boxes'
// hit-effect bits become the part item's pending hit effects.
bool RayHitsHullBounds(const Matrix4& rayFrame, const Matrix4& partFrame, TDP* part,
                       const Vector3& origin, Vector3* point);

// The part nearest the point among the parts whose flags share a bit with
// `include` and none with `exclude`, nearer than `startDistance` and not at
// the point itself (within 0.01); null when none.
TDP* RayPickScene(uint32_t include, uint32_t exclude, const Vector3& point, float startDistance);

// The item nearest the line of sight of `item` (from `part` when given):
// never the item itself or `excluded`; only items whose Avatar class flags
// share a bit with `include` and none with `exclude`, nor items docked to
// it or marked no-contact. The measure is the distance from the centre of
// the view in screen pixels, (|x| + |y|) x the projection distance / z, the
// smallest in front winning. `offset` receives the winner's |x| + |y|, or,
// with none in front, the measure of the best behind (negative). Null when
// there is none in front.
SceneItem* FindNearestItemOnRay(SceneItem* item, TDP* part, uint32_t include, uint32_t exclude,
                                float* offset, SceneItem* excluded);
