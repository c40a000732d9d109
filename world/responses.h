// Collision responses: what an item does when a part of it touches another
// item's (the ship bounce, planets, devices, fields, probes, flares).
#pragma once

#include <cstdint>

#include "world/records.h"

// The crash counter: how many items have hit a planet's surface.
extern int32_t gCrashCount;

// The ship bounce: the response of ships and most made objects (stand-in
// until the collision responses land: records the call).
void CollideShips(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart, int16_t* handled,
                  const Vector3* contact);
