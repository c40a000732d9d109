// The vector-map panel's shapes: flat wireframes in a tree under the
// panel's root shape, each drawn in its colour when its layer mask meets
// the panel's.
#pragma once

#include <cstdint>

struct ShipSystem;
struct WireShape;

enum VectorShapeFlags : uint32_t {
    kShapeDrawn = 4,
    kShapeAnchor = 8, // places its segment set, draws no lines
    kShapeLines = 0x10,
};

struct VectorShape {
    uint32_t flags;
    VectorShape* firstChild;
    VectorShape* nextSibling;
    int16_t layerMask; // drawn, children visited, when it meets the panel's
    int16_t colour;    // palette index, -1 for none
    WireShape* segments;
    float x, y;
    ShipSystem* system; // the ship system it shows, or null
};

constexpr int kMaxVectorShapes = 256;
constexpr int16_t kStartLayerMask = 63;

struct VectorMapState {
    VectorShape root;  // its child list is what the panel draws
    int16_t layerMask; // the panel's current layer mask
    uint8_t focused;
    float centreX, centreY;
    float zoom;
};
extern VectorMapState gVectorMap;

// A new shape of the set in the colour (flags 14 for colour -1, else 22),
// layer mask 0 at (0, 0); null when the pool is spent.
VectorShape* NewVectorShape(WireShape* segmentSet, int32_t colour);
// The shape goes to the end of the parent's child list.
void AppendVectorShape(VectorShape* list, VectorShape* shape);
// Moves the set's points so their mean is 0 and adds the mean to the
// shape's position.
void CentreVectorShape(VectorShape* shape);
// Centres the panel on the shape's position plus (dx, dy) and zooms to
// twice the set's largest extent.
void FocusVectorMap(VectorShape* shape, float offsetX, float offsetY);
// The shape a pointer names: a record of the pool in use, else null.
VectorShape* AsVectorShape(void* pointer);
// Empties the pool and the root's list; the layer mask returns to 63.
void ResetVectorMap();
