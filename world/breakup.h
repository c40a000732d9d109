// Break-up into shrapnel: a part's model cut into pieces that fly off,
// either as child parts of one new debris item or as scene items of their
// own; and the debris copy of an item.
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct SceneItem;
struct TDP;

// Cuts the part's model into `pieces` pieces around seeds crowding toward
// `centre` (model space) and hangs them under a new debris item, which it
// returns; the broken item ends itself. Null when the part is not in the
// item's tree.
SceneItem* kqzBreakNearest(SceneItem* item, TDP* part, int32_t pieces, const Vector3& centre,
                           float exponent);

// The scene-item form: every piece (or each half of a plane split) becomes
// an item that flies and spins on its own.
struct BreakRequest {
    SceneItem* item;
    TDP* part;
    int32_t pieces;
    Vector3 centre;
    float exponent;
    uint8_t split;           // two halves along a plane through the centre's direction
    uint8_t delayedMessage;  // each piece posts itself a hit after 5 to 6 seconds
};
int32_t kqzBreakNearestIntoSceneItems(const BreakRequest* request);

// A drifting debris item in the broken item's place, with its motion.
SceneItem* MakeDebrisItem(SceneItem* broken);
