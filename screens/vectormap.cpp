// The vector map: the shape records and their tree, the view's smoothing
// toward a focus, and the drawing of the grid and the shapes into the
// panel's pixel map.
#include "screens/vectormap.h"

#include "framework/pixelmap.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "view/lwoloader.h"
#include "world/pools.h"

#include <algorithm>
#include <cmath>

VectorMapState gVectorMap;

static_assert(sizeof(VectorShape) <= kVectorShapeBytes, "the pool's blocks hold a shape");

namespace {

constexpr uint32_t kWholeSetFlags = kShapeVisible | kShapeLarge | kShapeMarker;
constexpr uint32_t kPartFlags = kShapeVisible | kShapeLarge | kShapeSegments;
constexpr uint32_t kGridColour = 24;
constexpr float kSmallestDrawnPart = 6.0f; // pixels
constexpr float kPixelLimit = 30000.0f;    // keeps far points inside int16 lines

int32_t Pixel(float v)
{
    return static_cast<int32_t>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

void Line(float x1, float y1, float x2, float y2, uint32_t colour)
{
    HxPixelmapLine(gVectorMap.target, Pixel(x1), Pixel(y1), Pixel(x2), Pixel(y2), colour);
}

// True when `list` lies in the tree below `shape` (the shape itself included).
bool HoldsInTree(const VectorShape* shape, const VectorShape* list)
{
    if (shape == list)
        return true;
    for (const VectorShape* child = shape->firstChild; child; child = child->nextSibling)
        if (HoldsInTree(child, list))
            return true;
    return false;
}

// Some part of the set spans more than 6 pixels at this scale.
bool AnyPartLarge(const WireShape* set, float scale)
{
    for (int32_t p = 0; p < set->partCount; ++p) {
        const SegmentPart& part = set->parts[p];
        const float extent = part.width >= part.height ? part.width : part.height;
        if (1.5f * scale * extent > kSmallestDrawnPart)
            return true;
    }
    return false;
}

// The dark end of the colour's 32-step ramp.
int32_t RampBase(int32_t colour)
{
    const int32_t base = ((colour - 16) & ~31) + 16;
    return gVectorMap.alternativePalette && base == 16 ? 24 : base;
}

// The label of the first part whose label can be read at this scale, drawn
// at the part's centre.
void DrawPartLabel(const WireShape* set, float offsetX, float offsetY, float scale, int32_t base, int32_t colour)
{
    hx_pixelmap* pm = gVectorMap.target;
    const float readable = std::clamp(scale, 2.0f, 24.0f);
    int32_t shade = base + static_cast<int32_t>(static_cast<float>(colour - base) * (readable - 2.0f) / 8.0f);
    shade = colour >= base ? std::min(shade, colour) : std::max(shade, colour);
    if (shade == base)
        return;
    for (int32_t p = 0; p < set->partCount; ++p) {
        const SegmentPart& part = set->parts[p];
        const char* label = part.labels[0];
        if (!label)
            continue;
        const float x = pm->width / 2 + (offsetX + part.x + part.width / 2) * scale;
        const float y = pm->height / 2 + (offsetY + part.y + part.height / 2 + 0.5f) * scale;
        if (x < 0 || y < 0 || x >= pm->width || y >= pm->height)
            continue;
        HxPixelmapText(pm, static_cast<int32_t>(x) - pm->origin_x, static_cast<int32_t>(y) - pm->origin_y,
                       static_cast<uint32_t>(shade), nullptr, label);
        return;
    }
}

// The shape's own lines, label and marker.
void DrawShape(VectorShape* shape, float centreX, float centreY, float zoom, bool labels, int32_t overrideColour)
{
    hx_pixelmap* pm = gVectorMap.target;
    WireShape* set = shape->segments;
    if (!pm || !set)
        return;
    const float offsetX = shape->x - centreX;
    const float offsetY = shape->y - centreY;
    const float scale = pm->width / zoom;
    if (shape->flags & kShapeSegments) {
        if (AnyPartLarge(set, scale))
            shape->flags |= kShapeLarge;
        else
            shape->flags &= ~kShapeLarge;
    }
    if ((shape->flags & (kShapeSegments | kShapeLarge)) == (kShapeSegments | kShapeLarge)) {
        const int32_t base = RampBase(shape->colour);
        int32_t colour = shape->colour;
        if (shape == gVectorMap.selected && gFrameClock.gameClock % 100 < 50)
            colour -= 8;
        if (overrideColour >= 0)
            colour = overrideColour;
        for (int32_t e = 0; e < set->edgeCount; ++e) {
            const int32_t a = set->edges[e][0], b = set->edges[e][1];
            if (a >= set->pointCount || b >= set->pointCount)
                continue;
            Line((set->points[a][0] + offsetX) * scale, (set->points[a][1] + offsetY) * scale,
                 (set->points[b][0] + offsetX) * scale, (set->points[b][1] + offsetY) * scale,
                 static_cast<uint32_t>(colour));
        }
        if (labels && shape == gVectorMap.selected && gSettings.language == 0)
            DrawPartLabel(set, offsetX, offsetY, scale, base, colour);
    }
    if (shape->flags & kShapeMarker) {
        set->markerX = static_cast<int16_t>(Pixel(pm->width / 2 + offsetX * scale));
        set->markerY = static_cast<int16_t>(Pixel(pm->height / 2 + offsetY * scale));
    }
}

} // namespace

VectorShape* NewVectorShape(WireShape* segmentSet, int32_t partIndex)
{
    VectorShape* shape = AllocVectorShape();
    if (!shape)
        return nullptr;
    shape->flags = partIndex == -1 ? kWholeSetFlags : kPartFlags;
    shape->partIndex = static_cast<int16_t>(partIndex);
    shape->segments = segmentSet;
    return shape;
}

void AppendVectorShape(VectorShape* list, VectorShape* shape)
{
    if (!list || !shape || shape->linked || HoldsInTree(shape, list))
        return;
    shape->linked = 1;
    VectorShape** tail = &list->firstChild;
    while (*tail)
        tail = &(*tail)->nextSibling;
    *tail = shape;
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
    // The parts' bounds move with their points.
    for (int p = 0; p < set->partCount; ++p) {
        set->parts[p].x -= mx;
        set->parts[p].y -= my;
    }
    shape->x += mx;
    shape->y += my;
}

void FocusVectorMap(VectorShape* shape, float offsetX, float offsetY)
{
    float extent = 0.0f;
    if (const WireShape* set = shape->segments)
        for (int p = 0; p < set->partCount; ++p)
            extent = std::max({extent, set->parts[p].width, set->parts[p].height});
    gVectorMap.focusX = shape->x + offsetX;
    gVectorMap.focusY = shape->y + offsetY;
    gVectorMap.focusZoom = std::max(2.0f * extent, kMinFocusZoom);
    gVectorMap.focusPending = 1;
}

void UpdateVectorMapView()
{
    VectorMapState& m = gVectorMap;
    if (m.focusPending) {
        m.targetX = m.focusX;
        m.targetY = m.focusY;
        m.targetZoom = m.focusZoom;
        m.focusPending = 0;
    }
    m.zoom = 0.15f * m.targetZoom + 0.85f * m.zoom;
    m.centreX = 0.15f * m.targetX + 0.85f * m.centreX;
    m.centreY = 0.15f * m.targetY + 0.85f * m.centreY;
}

void DrawVectorMapGrid(float centreX, float centreY, float zoom)
{
    if (!gVectorMap.target || zoom <= 0.0f)
        return;
    const float s = gVectorMap.target->width / zoom;
    const float cx = 0.6f * centreX;
    const float cy = 0.6f * centreY;
    for (int d = -180; d <= 160; d += 20) {
        Line(s * (d - cx), s * (-cy - 180), s * (d - cx), s * (180 - cy), kGridColour);
        Line(s * (-cx - 180), s * (d - cy), s * (180 - cx), s * (d - cy), kGridColour);
    }
}

void guiDrawVectorShapes(VectorShape* shape, float centreX, float centreY, float zoom, bool labels,
                         int32_t overrideColour)
{
    if (!shape || zoom <= 0.0f)
        return;
    // The rest of the list first: a shape hidden below hides only itself
    // and its children.
    guiDrawVectorShapes(shape->nextSibling, centreX, centreY, zoom, labels, overrideColour);
    if (!(shape->flags & kShapeVisible) || !(shape->layerMask & gVectorMap.layerMask))
        return;
    DrawShape(shape, centreX, centreY, zoom, labels, overrideColour);
    guiDrawVectorShapes(shape->firstChild, centreX, centreY, zoom, labels, overrideColour);
}

void ResetVectorMap()
{
    FreeVectorShapes();
    gVectorMap = VectorMapState{};
}

VectorShape* AsVectorShape(void* pointer)
{
    return IsVectorShapeRecord(pointer) ? static_cast<VectorShape*>(pointer) : nullptr;
}
