// Ray and proximity queries: which item lies nearest the line of sight.
#pragma once

#include <cstdint>

struct SceneItem;
struct TDP;

// The item nearest the line of sight of `item` (from `part` when given):
// never the item itself or `excluded`; only items whose Avatar class flags
// share a bit with `include` and none with `exclude`. `offset` receives the
// winner's lateral distance. Null when there is none.
SceneItem* FindNearestItemOnRay(SceneItem* item, TDP* part, uint32_t include, uint32_t exclude,
                                float* offset, SceneItem* excluded);
