// Render callbacks of large bodies (planets, moons, stars) and the tumbling
// corpse a destroyed ship leaves.
#pragma once

#include <cstdint>

struct SceneItem;
struct TDP;

// Frame statistics of the body callbacks: bodies synced, and those of them
// shown as more than one point.
struct BodyRenderStats {
    int32_t rendered;
    int32_t drawn;
};
extern BodyRenderStats gBodyRenderStats;

// Corpses further than this from the viewer are not made.
constexpr double kCorpseRange = 300000.0;

// The TDP sync of a body: its TDPs placed from its double position, scaled
// by its drawn size, each part's camera-relative position stored and its
// level of detail picked through the planet model pool.
void UpdatePlanetRender(SceneItem* item);
// The same for a body under the plasma shimmer, and one showing a film.
void UpdateShimmerPlanetRender(SceneItem* item);
void UpdateVideoPlanetRender(SceneItem* item);
// The detail of a body's part by its apparent size: the pool's sphere or
// the one-point model on the second TDP's actor (attached when big enough);
// a star dummy only takes the glow size.
void SelectPlanetDetail(TDP* tdp, TDP* other);
// Every body synced by UpdatePlanetRender: its distance to the player's
// ship per axis into its root TDP, then its detail picked again.
void RefreshPlanetDetail();
// A tumbling corpse of the item's wreck, aimed into the viewer's sight; it
// deletes itself after a while.
void SpawnCorpse(SceneItem* item);
