// Collision responses: what an item does when a part of it touches another
// item's (the ship bounce, planets, devices, fields, probes, flares), and
// the default hit response.
#pragma once

#include <cstdint>

#include "world/records.h"

// The crash counter: how many items have hit a planet's surface.
extern int32_t gCrashCount;

// The ship bounce: the response of ships and most made objects (stand-in
// until the collision responses land: records the call).
void CollideShips(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart, int16_t* handled,
                  const Vector3* contact);
// The default hit response (message kind 6 on an item whose Avatar has
// none): a piece breaks off, or the item becomes debris.
void BreakOffOnHit(SceneItem* item, const void* hitRecord);
// The plasma ball's responses: the item that fired it deletes itself on
// contact; the ball crushes what it touches.
void DeleteSelfOnContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                         int16_t* handled, const Vector3* contact);
void CrushOnContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                    int16_t* handled, const Vector3* contact);
