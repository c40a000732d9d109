// Collision responses: what an item does when a part of it touches another
// item's (the ship bounce, planets, devices, fields, probes, flares).
#pragma once

#include <cstdint>

// The crash counter: how many items have hit a planet's surface.
extern int32_t gCrashCount;
