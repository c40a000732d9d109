// A busy, deterministic world for headless runs, tests and benchmarks:
// drifting items that steer at random, shoot messages at each other, take
// damage, die and are replaced, some of them in the tail group.
#pragma once

#include <cstdint>

struct SceneItem;

namespace worldscenario {

// Resets the world with the game clock at `seed` (which seeds the world's
// random source) and spawns `items` items besides the player's.
void Build(uint32_t seed, int items);

// Resets the world the same way and spawns `ships` ships besides the
// player's, all flown by the ship physics: each steers toward a waypoint of
// its own at its approach speed (turning and thrusting through the steering
// routines) and takes a new waypoint when it arrives. No collisions, no
// messages.
void BuildFlight(uint32_t seed, int ships);

// BuildFlight's ships crowded into a cube 2 x spread across, with collision
// shapes (a box and six points), the ship bounce as their response and a
// message function that takes the impacts off their hulls; every tenth is
// an obstacle for the others, every fifth stands in the tail group.
void BuildCollisionFlight(uint32_t seed, int ships, float spread = 30000.0f);

// The per-frame routine of the drifting items: moves the item by its
// velocity.
void Drift(SceneItem* item);

// Steps the world one frame of `ticks` hundredths (the floating origin
// follows, as in the frame loop).
void Step(int32_t ticks);

// Steps the world `frames` frames of `ticks` hundredths each and returns
// the state digest.
uint64_t Run(int frames, int32_t ticks);

} // namespace worldscenario
