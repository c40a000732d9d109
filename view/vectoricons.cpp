// Vector icons, the hull points of collision records, and the generated
// shade tables (see vectoricons.h for what lives elsewhere).
#include "view/vectoricons.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "ai/weapons.h"
#include "screens/bridge.h"
#include "system/canvas.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "system/text.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "world/scenelist.h"
#include "world/pools.h"
#include "world/records.h"

namespace {

// ---- shade tables ------------------------------------------------------------------

constexpr int kColours = 256;
constexpr int kLevels = 64;
// The generated table is found by name, so a restarted framework gets a new one.
constexpr const char* kGeneratedShadesName = "shades_generated";

// The darkest entries of the special colours 240-244 under band -1, by
// (p + 1) x k / 4.
constexpr uint8_t kSpecialDark[11] = {48, 50, 54, 58, 240, 241, 242, 243, 244, 244, 244};

uint8_t Byte(int32_t value)
{
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// Start of the 32-entry band holding q (bands start at 16, 48, 80, ...).
int32_t BandStart(int32_t q)
{
    return ((q + 16) & 0x1E0) - 16;
}

// Toward the band's brightest entry: 15 steps in its lower half, else the rest.
int32_t BrightSpan(int32_t p)
{
    return p < 16 ? 15 : 31 - p;
}

int32_t PlainEntry(int32_t level, int32_t q)
{
    if (q < 16 || q >= 240)
        return q;
    const int32_t d = ((q + 16) & 0xE0) - 16;
    const int32_t p = q - d;
    if (level < 32)
        return d + level * p / 32;
    return q + (level - 32) * BrightSpan(p) / 32;
}

int32_t BandEntry(int32_t band, int32_t brightness, int32_t level, int32_t q)
{
    if (q < 16 || q > 244)
        return q;
    int32_t d = band == -1 ? 48 : BandStart(q);
    const int32_t p = band == -1 ? (q - 16) & 31 : q - d;
    if (level < 8) {
        const int32_t k = 8 - level;
        if (band == -1)
            return q < 240 ? BandStart(q) + k * p * brightness / 256 : kSpecialDark[(p + 1) * k / 4];
        return q < 240 ? band + k * p * brightness / 256 : band + k * (3 * p + 14) * brightness / 256;
    }
    int32_t r = level - 8;
    if (d == 176) {
        // Band 176 takes band 16's colours, rising faster and falling back at the top.
        d = 16;
        r = r < 42 ? static_cast<int32_t>(1.166 * r) : 91 - r;
    }
    if (q < 240)
        return r < 28 ? d + r * p / 28 : d + p + (r - 28) * BrightSpan(p) / 28;
    if (band == -1) {
        const int32_t p6 = 6 * p;
        return r < 28 ? 48 + r * p6 / 28 : 48 + p6 + (r - 28) * BrightSpan(p6) / 28;
    }
    if (r > 28)
        return 240 + p + (r - 28) * (5 - p) / 28;
    const int32_t t = 3 * p;
    return r > 28 - t ? 240 + (r + t - 28) / 3 : 48 + 16 * r / (28 - t);
}

// The grey curve: a square-root response around the offset -64.
int8_t GreyCurve(int32_t i)
{
    const double v = i >= 64 ? std::sqrt(double((i - 64) * 64)) / 4 - 64 : -std::sqrt(double((64 - i) * 64)) / 4 - 64;
    return static_cast<int8_t>(v);
}

int32_t GreyEntry(const int8_t (&curve)[128], int32_t level, int32_t q)
{
    if (q < 16 || q > 244)
        return 192;
    if (q < 240) {
        if (level - 4 < 1)
            return 192;
        const int32_t centred = ((q - 16) & 31) - 16;
        return static_cast<uint8_t>(curve[centred * (level - 4) / 16 + 64]);
    }
    const int32_t b = (q - 16) & 31;
    if (level < 29)
        return 28 - 3 * b < level ? (level + 3 * b - 28) / 3 + 48 : level * 16 / (28 - 3 * b) + 48;
    return b + (level - 28) * (5 - b) / 28 + 48;
}

// The one generated table, allocated on first use; fresh says whether it
// was made by this call.
hx_pixelmap* GeneratedTable(bool& fresh)
{
    fresh = false;
    if (!HxDefaultMaterial())
        return nullptr; // the framework's scene layer is not running
    if (hx_pixelmap* known = FindGeneratedShadeTable())
        return known;
    hx_pixelmap* table = HxPixelmapAllocate(HX_PMT_INDEX_8, kColours, kLevels, nullptr, 0);
    if (!table)
        return nullptr;
    table->identifier = HxResStrDup(table, kGeneratedShadesName);
    fresh = true;
    return table;
}

// Writes every entry through the rule, then registers or refreshes the table.
template <typename Rule>
hx_pixelmap* WriteTable(Rule rule)
{
    bool fresh = false;
    hx_pixelmap* table = GeneratedTable(fresh);
    if (!table)
        return nullptr;
    auto* pixels = static_cast<uint8_t*>(table->pixels);
    for (int32_t level = 0; level < kLevels; ++level)
        for (int32_t q = 0; q < kColours; ++q)
            pixels[level * table->row_bytes + q] = Byte(rule(level, q));
    if (fresh)
        HxMapAdd(table);
    else
        HxMapUpdate(table, 0xFFF);
    return table;
}

// ---- hull points ----------------------------------------------------------------------------

float Distance2(const Vector3& a, const Vector3& b)
{
    const float x = a.x - b.x, y = a.y - b.y, z = a.z - b.z;
    return x * x + y * y + z * z;
}

float Length(const Vector3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// ---- weapon sight ----------------------------------------------------------------------------

constexpr int16_t kWeaponsStation = 3;
constexpr float kNewTargetScale = 1000.0f;
constexpr float kRestScale = 100.0f;
constexpr float kScaleRate = 8.0f;
constexpr uint8_t kConeColour = 96;
constexpr uint8_t kInArcColour = 64;
constexpr uint8_t kSightColour = 97;
constexpr uint32_t kMountAllRound = 0x200;
constexpr int32_t kLabelDrop = 16, kSecondLabelDrop = 28;
// An edge behind the eye keeps only its direction: drawn this many
// projection distances out from the centre, well off the view.
constexpr float kBehindReach = 8.0f;

int16_t ScreenCoordinate(float v)
{
    return std::isnan(v) ? int16_t(0) : int16_t(std::clamp(v, -32000.0f, 32000.0f));
}

// A direction in the item's frame as a screen point about the centre; false
// when it lies behind the eye (z 0 counts as behind: no division by it).
bool EdgePoint(const Vector3& local, const Matrix4& item, const Matrix4& eye, int32_t cx, int32_t cy, int16_t& x,
               int16_t& y)
{
    Vector3 world, seen;
    VecMulMat3(world, local, item);
    VecMulMat3T(seen, world, eye);
    if (seen.z > 0) {
        x = ScreenCoordinate(cx + seen.x * gProjectionDistance / seen.z);
        y = ScreenCoordinate(cy + seen.y * gProjectionDistance / seen.z);
        return true;
    }
    const float length = std::sqrt(seen.x * seen.x + seen.y * seen.y);
    const float nx = length > 0 ? seen.x / length : 0, ny = length > 0 ? seen.y / length : 0;
    x = ScreenCoordinate(cx + nx * gProjectionDistance * kBehindReach);
    y = ScreenCoordinate(cy + ny * gProjectionDistance * kBehindReach);
    return false;
}

constexpr int kHullPointsBuilt = 12;
constexpr uint32_t kBoxWhole = 0x8;      // a box made of the model's bounds
constexpr uint32_t kBoxComponent = 0x10; // a box naming a ship component
constexpr uint32_t kComponentBits = 0x1FF00;

} // namespace

const IconPoint kSightIconPoints[16] = {{-20, 10}, {-10, 20}, {10, 20}, {20, 10}, {20, -10}, {10, -20}, {-10, -20}, {-20, -10}, {-30, 0}, {-20, 0}, {20, 0}, {30, 0}, {0, 20}, {0, 30}, {0, -20}, {0, -30}};
const int16_t kSightIconSegments[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 0, 8, 9, 10, 11, 12, 13, 14, 15, -1};
const IconPoint kInArcIconPoints[8] = {{-10, 0}, {0, 10}, {10, 0}, {0, -10}, {-20, 0}, {0, 20}, {20, 0}, {0, -20}};
const int16_t kInArcIconSegments[] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 0, 5, 1, 6, 2, 7, 3, -1};

int32_t DrawVectorIcon(int32_t x, int32_t y, int32_t scale, const IconPoint* points, const int16_t* segments,
                       uint8_t colour, const ClipRect& clip)
{
    const Canvas canvas = ScreenCanvas();
    int32_t read = 0;
    while (segments[read] >= 0 && segments[read + 1] >= 0) {
        const IconPoint& a = points[segments[read]];
        const IconPoint& b = points[segments[read + 1]];
        read += 2;
        if (!canvas.pixels)
            continue;
        CanvasLineClipped(canvas, int16_t(x + a.x * scale / 100), int16_t(y + a.y * scale / 100),
                          int16_t(x + b.x * scale / 100), int16_t(y + b.y * scale / 100), colour, clip);
    }
    return read + 1;
}

void DrawWeaponSight(WeaponSightElement* element)
{
    SceneItem* item = gControlledItem;
    Weapon* mount = element ? element->mount : nullptr;
    if (!mount || !item || !item->sim)
        return;
    const ViewRect& view = gView.viewport;
    const int32_t cx = (view.left + view.right) / 2, cy = (view.top + view.bottom) / 2;

    SceneItem* target = gContacts.playerTarget.Get();
    if (target && !(target->flags & 1)) {
        gContacts.playerTarget = nullptr;
        target = nullptr;
    }
    if (mount->target.Get() != target) {
        mount->target = target;
        element->iconScale = kNewTargetScale;
    }

    const Matrix4& m = item->sim->matrix;
    const SceneItem* viewer = gView.viewer ? gView.viewer : item;
    const Matrix4& eye = viewer->avatar ? viewer->avatar->matrix : m;
    Vector3 mountWorld;
    VecMulMat3(mountWorld, mount->mountPosition, m);
    mountWorld = {mountWorld.x + m.m[12], mountWorld.y + m.m[13], mountWorld.z + m.m[14]};
    Vector3 offset;
    if (target && target->sim) {
        const Matrix4& t = target->sim->matrix;
        offset = {t.m[12] - mountWorld.x, t.m[13] - mountWorld.y, t.m[14] - mountWorld.z};
    } else {
        VecMulMat3(offset, Vector3{0, 0, 1}, eye);
    }
    Vector3 local;
    VecMulMat3T(local, offset, m);
    element->inArc = WeaponInFiringArc(item, local.x, local.y, local.z, mount->directionCode, mount) ? 1 : 0;
    element->aim = local;
    VecNormalise(element->aim);

    if (CurrentStation != kWeaponsStation)
        return;
    // Drawn on the 8-bit screen canvas, as the HUD's other texts and marks,
    // and kept within the view: the cone's edges reach far beyond it.
    const Canvas canvas = ScreenCanvas();
    if (!canvas.pixels)
        return;
    const ClipRect clip = {ScreenCoordinate(float(view.left)), ScreenCoordinate(float(view.top)),
                           ScreenCoordinate(float(view.right)), ScreenCoordinate(float(view.bottom))};
    const char* name = target && target->sim && target->sim->shipInfo ? target->sim->shipInfo->name : nullptr;
    if (name && gFontB) {
        int16_t width = 0, height = 0;
        TextMeasure(name, gFontB, width, height);
        int16_t x = ScreenCoordinate(float(cx - width / 2));
        int16_t y = ScreenCoordinate(float(view.top + (element->secondLine ? kSecondLabelDrop : kLabelDrop)));
        CanvasTextWrap(canvas, x, y, name, gFontB, clip);
    }
    if (element->off)
        return;

    int16_t ex[4], ey[4];
    bool front[4];
    for (int i = 0; i < 4; ++i)
        front[i] = EdgePoint(element->edges[i], m, eye, cx, cy, ex[i], ey[i]);
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        if (front[i] || front[j])
            CanvasLineClipped(canvas, ex[i], ey[i], ex[j], ey[j], kConeColour, clip);
    }
    const auto scale = static_cast<int32_t>(element->iconScale);
    if (element->inArc && ((mount->flags & kMountAllRound) || target))
        DrawVectorIcon(cx, cy, scale, kInArcIconPoints, kInArcIconSegments, kInArcColour, clip);
    else
        DrawVectorIcon(cx, cy, scale, kSightIconPoints, kSightIconSegments, kSightColour, clip);
    element->iconScale += (kRestScale - element->iconScale) * gFrameClock.frameSeconds * kScaleRate;
}

void BuildHullPoints(hx_model* model, HullBounds* hull)
{
    if (!hull)
        return;
    hull->pointCount = kHullPointsBuilt;
    std::fill(std::begin(hull->pointFlags), std::end(hull->pointFlags), 0u);
    std::fill(std::begin(hull->points), std::begin(hull->points) + kHullPointsBuilt, Vector3{0, 0, 0});
    const int vertexCount = model && model->vertices ? model->nvertices : 0;
    std::vector<float> nearest(size_t(vertexCount), 2e36f);
    for (int i = 1; i < kHullPointsBuilt && vertexCount > 0; ++i) {
        int farthest = 0;
        for (int v = 0; v < vertexCount; ++v) {
            const hx_vector3& p = model->vertices[v].p;
            nearest[size_t(v)] = std::min(nearest[size_t(v)], Distance2({p.x, p.y, p.z}, hull->points[i - 1]));
            if (nearest[size_t(v)] > nearest[size_t(farthest)])
                farthest = v;
        }
        const hx_vector3& p = model->vertices[farthest].p;
        hull->points[i] = {p.x, p.y, p.z};
    }
    const hx_bounds3 bounds = model ? model->bounds : hx_bounds3{};
    hull->minimum = {bounds.min.x, bounds.min.y, bounds.min.z};
    hull->maximum = {bounds.max.x, bounds.max.y, bounds.max.z};
    if (!hull->boxes) {
        if (auto* box = static_cast<HullBox*>(AllocMemory(sizeof(HullBox)))) {
            *box = HullBox{hull->minimum, hull->maximum, nullptr, kBoxWhole};
            hull->boxes = box;
        }
    }
    for (const HullBox* box = hull->boxes; box; box = box->next) {
        if (!(box->flags & kBoxComponent))
            continue;
        const Vector3 centre{(box->minimum.x + box->maximum.x) / 2, (box->minimum.y + box->maximum.y) / 2,
                             (box->minimum.z + box->maximum.z) / 2};
        int best = 0;
        for (int i = 1; i < kHullPointsBuilt; ++i)
            if (Distance2(hull->points[i], centre) < Distance2(hull->points[best], centre))
                best = i;
        hull->pointFlags[best] |= box->flags & kComponentBits;
    }
    if (hull->radius == 0)
        hull->radius = std::max(Length(hull->minimum), Length(hull->maximum));
}

hx_pixelmap* BuildShadeTable(int16_t band, int16_t brightness)
{
    if (band == 0 || gSettings.noFill)
        return WriteTable(PlainEntry);
    return WriteTable([band, brightness](int32_t level, int32_t q) { return BandEntry(band, brightness, level, q); });
}

hx_pixelmap* FindGeneratedShadeTable()
{
    return HxDefaultMaterial() ? HxMapFind(kGeneratedShadesName) : nullptr;
}

hx_pixelmap* SharedGeneratedShadeTable()
{
    constexpr int16_t kSharedBand = 48, kSharedBrightness = 14;
    if (hx_pixelmap* built = FindGeneratedShadeTable())
        return built;
    return BuildShadeTable(kSharedBand, kSharedBrightness);
}

hx_pixelmap* BuildGreyShadeTable()
{
    int8_t curve[128];
    for (int32_t i = 0; i < 128; ++i)
        curve[i] = GreyCurve(i);
    return WriteTable([&curve](int32_t level, int32_t q) { return GreyEntry(curve, level, q); });
}
