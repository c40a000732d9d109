// The vector map: flat line drawings of ship schematics (the segment sets of
// LightWave line shapes, grouped into parts) held in a tree of shapes under
// the panel's root, drawn scaled into a panel's pixel map over a grid, with
// a view that pans and zooms smoothly toward a focus. The selected shape
// blinks and shows the label of its most readable part.
//
// The records come from the small-record pool (AllocVectorShape,
// world/pools.h). What the panels do with clicks is theirs (the engineering
// panel); the alternative palette and the layer mask are set by others.
#pragma once

#include <cstdint>

struct ShipSystem;
struct WireShape;
struct hx_pixelmap;

enum VectorShapeFlags : uint32_t {
    kShapeLarge = 2, // some part is large enough to draw in this frame
    kShapeVisible = 4,
    kShapeMarker = 8, // writes its screen position into the set's marker
    kShapeSegments = 0x10,
};

struct VectorShape {
    uint32_t flags;
    VectorShape* firstChild;
    VectorShape* nextSibling; // the list link
    int16_t layerMask;        // drawn, children visited, when it meets the panel's
    int16_t colour;           // palette index, -1 for none
    int16_t partIndex;        // -1: the whole set
    uint8_t linked;           // in a list: a second append is refused
    WireShape* segments;
    float x, y;         // map units
    ShipSystem* system; // the ship system it shows, or null
};

constexpr int16_t kStartLayerMask = 63;
// The focus zoom never goes below this: a set whose parts have no extent
// would otherwise give a zoom of 0 and a scale without bound.
constexpr float kMinFocusZoom = 1.0f;

struct VectorMapState {
    VectorShape root{};                  // its child list is what the panel draws
    int16_t layerMask = kStartLayerMask; // the panel's current layer mask
    uint8_t focusPending = 0;
    uint8_t alternativePalette = 0;           // the dark end of ramp 16 becomes 24
    float centreX = 0, centreY = 0, zoom = 0; // the view (zoom: map units across the panel)
    float targetX = 0, targetY = 0, targetZoom = 0;
    float focusX = 0, focusY = 0, focusZoom = 0;
    VectorShape* selected = nullptr; // blinks and shows its label
    hx_pixelmap* target = nullptr;   // where the drawing goes, origin at its centre
};
extern VectorMapState gVectorMap;

// A new shape of the segment set: flags 14 (visible, large, marker) for the
// whole set (part index -1), 22 (visible, large, segments) for one part;
// layer mask 0, colour 0, at (0, 0). Null when the pool is spent.
VectorShape* NewVectorShape(WireShape* segmentSet, int32_t partIndex);
// The shape goes to the end of the list's child chain (first when empty).
// A shape already in a list, or one that holds the list in its own tree, is
// refused: linking it again would close a cycle.
void AppendVectorShape(VectorShape* list, VectorShape* shape);
// Moves the set's points (and its parts' corners) so that the points' mean
// is 0 and adds the mean to the shape's position.
void CentreVectorShape(VectorShape* shape);
// The focus: the shape's position plus the offset, zoomed to twice the
// largest width or height of the set's parts (at least kMinFocusZoom);
// the view turns to it at the next update.
void FocusVectorMap(VectorShape* shape, float offsetX, float offsetY);
// Once per drawn frame of a map panel: a pending focus becomes the target,
// then the view moves 15 % of the way toward it.
void UpdateVectorMapView();

// The degree grid (colour 24, every 20 degrees) of the view into the target.
void DrawVectorMapGrid(float centreX, float centreY, float zoom);
// The shape, the shapes after it in its list, and its children, into the
// target; labels of the selected shape when asked; overrideColour >= 0 wins
// over every shape's own colour.
void guiDrawVectorShapes(VectorShape* shape, float centreX, float centreY, float zoom, bool labels,
                         int32_t overrideColour);

// The shape a pointer names: a record of the pool in use, else null.
VectorShape* AsVectorShape(void* pointer);
// Empties the pool and the root's list; the layer mask returns to 63 and
// the view to its start.
void ResetVectorMap();
