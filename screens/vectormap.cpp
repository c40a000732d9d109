// The vector-map panel's shapes: the pool of shape records, the root
// shape's tree and the panel's focus.
#include "screens/vectormap.h"

#include "view/lwoloader.h"

#include <algorithm>
#include <cmath>

VectorMapState gVectorMap = {{}, kStartLayerMask, 0, 0.0f, 0.0f, 0.0f};

namespace {

VectorShape gShapes[kMaxVectorShapes];
int gShapesUsed = 0;

constexpr uint32_t kAnchorFlags = kShapeDrawn | kShapeAnchor | 2;
constexpr uint32_t kLineFlags = kShapeDrawn | kShapeLines | 2;

} // namespace

VectorShape* NewVectorShape(WireShape* segmentSet, int32_t colour)
{
    if (gShapesUsed >= kMaxVectorShapes)
        return nullptr;
    VectorShape* shape = &gShapes[gShapesUsed++];
    *shape = {};
    shape->flags = colour == -1 ? kAnchorFlags : kLineFlags;
    shape->colour = static_cast<int16_t>(colour);
    shape->segments = segmentSet;
    return shape;
}

void AppendVectorShape(VectorShape* list, VectorShape* shape)
{
    if (!list->firstChild) {
        list->firstChild = shape;
        return;
    }
    VectorShape* last = list->firstChild;
    while (last->nextSibling)
        last = last->nextSibling;
    last->nextSibling = shape;
}

void CentreVectorShape(VectorShape* shape)
{
    WireShape* set = shape->segments;
    if (!set || set->pointCount <= 0)
        return;
    double sx = 0.0, sy = 0.0;
    for (int i = 0; i < set->pointCount; ++i) {
        sx += set->points[i][0];
        sy += set->points[i][1];
    }
    const float mx = static_cast<float>(sx / set->pointCount);
    const float my = static_cast<float>(sy / set->pointCount);
    for (int i = 0; i < set->pointCount; ++i) {
        set->points[i][0] -= mx;
        set->points[i][1] -= my;
    }
    shape->x += mx;
    shape->y += my;
}

void FocusVectorMap(VectorShape* shape, float offsetX, float offsetY)
{
    gVectorMap.focused = 1;
    gVectorMap.centreX = shape->x + offsetX;
    gVectorMap.centreY = shape->y + offsetY;
    float extent = 0.0f;
    if (const WireShape* set = shape->segments)
        for (int i = 0; i < set->pointCount; ++i)
            extent = std::max({extent, std::fabs(set->points[i][0]), std::fabs(set->points[i][1])});
    gVectorMap.zoom = 2.0f * extent;
}

void ResetVectorMap()
{
    gShapesUsed = 0;
    gVectorMap = {{}, kStartLayerMask, 0, 0.0f, 0.0f, 0.0f};
}

VectorShape* AsVectorShape(void* pointer)
{
    for (int i = 0; i < gShapesUsed; ++i)
        if (pointer == &gShapes[i])
            return &gShapes[i];
    return nullptr;
}
