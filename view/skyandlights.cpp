// Sky palette, celestial sphere, star field, dummy models and scene lights,
// and the software passes that draw over the framework's render: the star
// field, the particle pass and the sun flare.
//
// Not here: the emitter records and their per-frame motion (particles.cpp),
// the passes' order (viewwindows.cpp), the worlds' building (renderpasses.cpp).
//
// Software drawing works in the coordinates of the colour target being
// drawn: (0, 0) its top-left pixel. The framework's projection adds the
// target's base x to screen x; the dummy models' render routines take it
// off again, so every stored screen position is target-relative. Drawing
// is in palette indices: on a 16-bit screen into the index plane over the
// scene (the view record's overlay), where the models' own pixels are keyed
// out again after they are drawn.
#include "view/skyandlights.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "framework/scene_state.h"
#include "script/configstatements.h"
#include "script/symbols.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "view/effectmodels.h"
#include "view/particles.h"
#include "view/planets.h"
#include "view/renderpasses.h"
#include "view/vectoricons.h"
#include "view/viewstate.h"
#include "world/scenelist.h"
#include "world/universe.h"

uint8_t gNebulaOn = 0;
int16_t gStarTrailCountdown = 0;
int16_t gStarPassesDrawn = 0;
uint8_t gStarFieldReset = 0;
uint8_t gExplosionLights = 255;
LightSource gLightSources[kLightSources];
BackgroundStar gBackgroundStars[kBackgroundStars];
int32_t gBackgroundStarCount = 0;

namespace {

// ---- tables ----------------------------------------------------------------------------

constexpr int kSkyFirst = 176; // the sky's two ramps: 176-191 and 192-207
constexpr int kSkyHalf = 16;
// The nebula sphere's vertices are shaded across both sky ramps.
constexpr int32_t kSkyShadeLow = kSkyFirst, kSkyShadeHigh = kSkyFirst + 2 * kSkyHalf - 1;
constexpr uint8_t kSolid = 255; // a material's opacity that hides nothing behind it

struct SkyRow {
    int16_t colour1[3];
    bool twoRamps;
    int16_t colour2[3];
};
// clang-format off
constexpr SkyRow kSkyRows[] = {
    {{146, 10, 0},    true,  {65, 0, 0}},
    {{24, 62, 52},    true,  {20, 24, 20}},
    {{0, 0, 198},     false, {}},
    {{79, 0, 113},    false, {}},
    {{148, 115, 115}, false, {}},
    {{0, 140, 107},   false, {}},
    {{77, 77, 77},    false, {}},
    {{198, 0, 0},     false, {}},
    {{133, 133, 92},  true,  {82, 51, 26}},
    {{141, 87, 28},   false, {}},
    {{225, 41, 8},    true,  {80, 34, 58}},
    {{161, 161, 0},   true,  {0, 64, 0}},
    {{72, 0, 177},    true,  {79, 0, 72}},
    {{56, 64, 25},    true,  {24, 38, 14}},
    {{99, 0, 0},      false, {}},
    {{120, 44, 0},    true,  {64, 18, 18}},
    {{141, 87, 28},   true,  {99, 34, 12}},
    {{121, 87, 28},   true,  {68, 34, 58}},
    {{113, 51, 0},    true,  {56, 8, 8}},
    {{79, 100, 108},  true,  {15, 28, 51}},
    {{113, 125, 130}, true,  {58, 91, 64}},
    {{64, 113, 128},  true,  {0, 59, 59}},
    {{122, 54, 61},   true,  {59, 15, 10}},
    {{0, 0, 0},       false, {}},
};
// clang-format on
constexpr int16_t kSkyRowCount = int16_t(std::size(kSkyRows));

struct SystemSky {
    int32_t systemType;
    int16_t row;
};
constexpr SystemSky kSystemSkies[] = {
    {1, 19},
    {2, 18},
    {3, 13},
    {4, 21},
    {5, 4},
    {6, 15},
    {7, 0},
    {8, 10},
    {9, 12},
    {10, 16},
    {11, 14},
    {13, 4},
    {15, 0},
    {16, 13},
    {17, 0},
    {18, 1},
    {19, 16},
    {20, 21},
    {21, 20},
    {22, 5},
    {23, 2},
    {24, 8},
};
constexpr int16_t kDefaultSkyRow = 3;
constexpr int32_t kFlashSystemType = 26;
constexpr int32_t kDarkShadesSystemType = 15; // its shades darken into the special colours

constexpr int16_t kBlack[3] = {0, 0, 0};
// The flash system's sky and the two fixed skies.
constexpr int16_t kFlashLow[3] = {48, 36, 14};
constexpr int16_t kFlashMid[3] = {48, 36, 12};
constexpr int16_t kFlashHigh[3] = {52, 64, 76};
constexpr int16_t kRedSkyLow[3] = {30, 0, 0};
constexpr int16_t kRedSkyHigh[3] = {140, 0, 24};
constexpr int16_t kBlueSkyMid[3] = {0, 40, 80};
constexpr int16_t kBlueSkyHigh[3] = {30, 60, 120};

// The star gate's texture by the gate's setting; any other setting the last.
struct GateTexture {
    int32_t setting;
    const char* texture;
};
constexpr GateTexture kGateTextures[] = {{9, "GateEdge2"}, {10, "GateEdge1"}, {12, "GateEdge3"}, {0, "GateEdge4"}};

// Dummy models: a custom render routine on a model that is never culled.
constexpr float kNeverCulled = 1e32f;
constexpr float kFlareBounds = 1e30f;
constexpr uint16_t kDummyModelFlags = 0x26;
constexpr hx_angle kSphereTilt = 4732; // 26 degrees about x
constexpr float kSphereRadius = 1e10f;
constexpr float kSphereMadeRadius = 1e8f; // a model this big was made into a sphere already
constexpr float kPlanetCameraYon = 1e14f;
constexpr float kNebulaCameraYon = 1e11f;
constexpr float kBackgroundCameraHither = 1000.0f;
constexpr float kBackgroundCameraSize = 80000.0f;

// The sun's glow and its flare.
constexpr uint8_t kSunRampBits = 0x48;
constexpr float kSunSizeFactor = 1800.0f;
constexpr int32_t kSunSmallest = 23;
constexpr int32_t kSunFlareSmallest = 35;
constexpr int32_t kSunFlareLargest = 54;
constexpr int kFlareRecords = 3;
constexpr uint8_t kGhostRamp = 34;
struct Ghost {
    float along, size; // along the line through the centre; size x the flare's
};
constexpr Ghost kGhosts[] = {{0.5f, 0.5f}, {0.7f, 0.9f}, {0.9f, 1.0f}, {1.6f, 0.7f}};
constexpr int32_t kFullBrightness = 15;

// The blinking flare: its owner's Avatar parameter slot holds the blink
// counter (low 16 bits) and the spot's ramp (high 16 bits).
constexpr int kFlareBlinkParameter = 0;
constexpr int32_t kFlareSpotSize = 12;

// The star field.
constexpr float kStarDistance = 1e10f;
constexpr uint8_t kStarRampBase = 16;
constexpr int32_t kStarLevels = 31;
constexpr int32_t kStarTrailFaintest = 3;

// The particle pass.
constexpr uint32_t kMaskEmitters = kTdpEmitter;
constexpr uint32_t kMaskPlanetLayerEmitters = uint32_t(kTdpEmitter) | uint32_t(kTdpPlanetLayer);
constexpr float kSpotDepthScale = 1250000.0f;
constexpr float kSpotLargest = 5000.0f;
constexpr int32_t kDepthBias = 32768 - 2;
constexpr int kRingOutline = 100; // points 1-100 inside, 101-200 outside
constexpr uint8_t kRingFirstColour = 63, kRingUpColour = 133, kRingDownColour = 161, kRingLostColour = 95;

// The burst light of explosions.
constexpr float kBurstLinear = 2e-5f, kBurstConstant = 0.18f;
constexpr double kBurstDecayBase = 110.0;
constexpr int32_t kBurstShortest = 10;
constexpr float kSoftConstant = 0.025f, kSoftLinear = 1e-5f;

// ---- module state ----------------------------------------------------------------------

struct Flare {
    int32_t x, y, size; // target coordinates
    uint8_t value;      // the pixel under the centre when recorded
};

struct SkyState {
    Flare flares[kFlareRecords];
    int flareCount;
    int32_t flashTicks;
    int32_t burstTicks;
    float burstDecay;
    bool burning; // light 2 is lit by an explosion
    GamePalette palette;
};
SkyState gSky;

// ---- small helpers ----------------------------------------------------------------------

uint8_t ClampToByte(double v)
{
    if (!(v == v))
        return 0;
    return uint8_t(std::clamp(v, 0.0, 255.0));
}

int16_t ClampToShort(float v)
{
    if (!(v == v))
        return 0;
    return int16_t(std::clamp(v, -32768.0f, 32767.0f));
}

int32_t Ticks()
{
    return gFrameClock.frameTicks;
}

hx_light* LightOf(hx_actor* actor)
{
    return actor ? static_cast<hx_light*>(actor->type_data) : nullptr;
}


void PlaceActorAt(hx_actor* actor, const Vector3& at)
{
    Matrix4 m{};
    MatIdentity(m);
    m.m[12] = at.x;
    m.m[13] = at.y;
    m.m[14] = at.z;
    SetActorMatrix(actor, m);
}

Vector3 ItemPosition(const SceneItem* item)
{
    const Matrix4& m = item->sim ? item->sim->matrix : item->avatar->matrix;
    return {m.m[12], m.m[13], m.m[14]};
}

// A new dummy model: 8 vertices and 8 faces, all at the origin, never
// culled, drawn by the routine.
hx_model* MakeDummyModel(const char* name, hx_model_custom_cbfn render, float extent)
{
    if (!v1db.active)
        return nullptr;
    hx_model* model = HxModelAllocate(name, 8, 8);
    if (!model)
        return nullptr;
    model->flags |= kDummyModelFlags;
    model->custom = render;
    model = HxModelAdd(model);
    // After the add: it measures the model's bounds from its vertices.
    if (model) {
        model->bounds.min = {-extent, -extent, -extent};
        model->bounds.max = {extent, extent, extent};
    }
    return model;
}

// The resource model a script symbol names, or null.
hx_model* SymbolModel(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol || !symbol->value || !(symbol->type & kSymbolResource) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<hx_model*>(ResGet(static_cast<Resource*>(symbol->value)));
}

// ---- the drawing surface ----------------------------------------------------------------

// The colour target being drawn as a canvas from its top-left pixel, its
// bounds, the part of it the view's viewport covers, and its depth target.
struct PassSurface {
    Canvas canvas;
    ClipRect bounds;
    ClipRect clip;
    const hx_pixelmap* colour;
    const hx_pixelmap* depth;
};

bool CurrentSurface(PassSurface& s)
{
    // The palette-index surface over the scene: the colour target itself at
    // 8 bits, the index plane over it at 16.
    const hx_pixelmap* colour = gView.overlayTarget;
    if (!colour || colour->type != HX_PMT_INDEX_8 || !colour->pixels || colour->row_bytes <= 0 ||
        colour->width == 0 || colour->height == 0)
        return false;
    s.colour = colour;
    s.canvas = {static_cast<uint8_t*>(colour->pixels) + intptr_t(colour->base_y) * colour->row_bytes + colour->base_x,
                colour->row_bytes, int16_t(colour->height)};
    s.bounds = {0, 0, int16_t(colour->width - 1), int16_t(colour->height - 1)};
    const ViewRect& hud = gView.hudViewport;
    const int32_t ox = colour->origin_x, oy = colour->origin_y;
    s.clip = {int16_t(std::clamp<int32_t>(hud.left + ox, 0, s.bounds.right)),
              int16_t(std::clamp<int32_t>(hud.top + oy, 0, s.bounds.bottom)),
              int16_t(std::clamp<int32_t>(hud.right + ox, 0, s.bounds.right)),
              int16_t(std::clamp<int32_t>(hud.bottom + oy, 0, s.bounds.bottom))};
    const hx_pixelmap* depth = gView.depthTarget;
    s.depth = depth && depth->pixels && depth->type == HX_PMT_DEPTH_16 && depth->width == colour->width &&
                      depth->height == colour->height && depth->row_bytes > 0
                  ? depth
                  : nullptr;
    return true;
}

bool Inside(const ClipRect& r, int32_t x, int32_t y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

uint8_t PixelAt(const PassSurface& s, int32_t x, int32_t y)
{
    return s.canvas.pixels[intptr_t(y) * s.canvas.rowLength + x];
}

void PlotInside(const PassSurface& s, const ClipRect& r, int32_t x, int32_t y, uint8_t colour)
{
    if (Inside(r, x, y))
        s.canvas.pixels[intptr_t(y) * s.canvas.rowLength + x] = colour;
}

// The depth value at a target pixel, or the farthest without a depth target.
uint32_t DepthAt(const PassSurface& s, int32_t x, int32_t y)
{
    if (!s.depth)
        return 0xFFFF;
    const auto* row = static_cast<const uint8_t*>(s.depth->pixels) + (intptr_t(s.depth->base_y) + y) * s.depth->row_bytes;
    uint16_t v;
    std::memcpy(&v, row + (intptr_t(s.depth->base_x) + x) * 2, 2);
    return v;
}

// A projected point in target coordinates (the framework's x carries the
// target's base x); false when the point is off the screen.
bool ProjectToTarget(const hx_vector3& point, Vector3& screen)
{
    hx_vector3 out{};
    const uint32_t code = HxPointToScreenOutcode(&point, &out);
    if ((code & 0xFFF) != 0)
        return false;
    const hx_pixelmap* colour = v1db.colour_buffer;
    screen = {out.x - (colour ? float(colour->base_x) : 0.0f), out.y, out.z};
    return true;
}

// ---- sky palette ----------------------------------------------------------------------------

// The palette the sky ramps are written into: the current palette, taken
// over once into a buffer of our own.
PaletteEntry* SkyPalette()
{
    if (gCurrentPalette != gSky.palette.entries) {
        const PaletteEntry* from = gCurrentPalette ? gCurrentPalette : DisplayLastPalette();
        std::memcpy(gSky.palette.entries, from, sizeof gSky.palette.entries);
        gCurrentPalette = gSky.palette.entries;
    }
    return gSky.palette.entries;
}

// The generated shade tables follow the sky: the plain one into the sky's
// band, or the one that darkens into the special colours (-1).
constexpr int16_t kSkyShadeBand = 176, kSkyShadeBrightness = 31;
constexpr int16_t kDarkShadeBand = -1, kDarkShadeBrightness = 8;

void ApplySkyRow(int16_t row)
{
    const SkyRow& r = kSkyRows[row];
    if (r.twoRamps) {
        SetPaletteRamp(kSkyFirst, kSkyHalf, r.colour2, kBlack);
        SetPaletteRamp(kSkyFirst + kSkyHalf, kSkyHalf, r.colour1, r.colour2);
    } else {
        SetPaletteRamp(kSkyFirst, 2 * kSkyHalf, r.colour1, kBlack);
    }
    BuildShadeTable(kSkyShadeBand, kSkyShadeBrightness);
}

int16_t SkyRowOfSystem(int32_t systemType)
{
    for (const SystemSky& s : kSystemSkies)
        if (s.systemType == systemType)
            return s.row;
    return kDefaultSkyRow;
}

// ---- dummy model render routines -------------------------------------------------------------

// Projects every live point of the emitter for the particle pass; a point
// off the screen gets depth 0, which the pass skips.
void ParticleDummyRender(hx_actor* actor, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_token)
{
    auto* e = static_cast<ParticleEmitter*>(actor->type_data);
    if (!e || !e->points)
        return;
    const int n = std::min<int>(e->pointCount, e->capacity);
    for (int i = 0; i < n; ++i) {
        EmitterPoint& p = e->points[i];
        if (p.life <= 0)
            continue;
        const hx_vector3 at{p.position.x, p.position.y, p.position.z};
        if (!ProjectToTarget(at, p.screen))
            p.screen.z = 0.0f;
    }
}

// A sun: a glow spot sized by its radius and distance, and a flare record
// when it is large enough.
void StarDummyRender(hx_actor* actor, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_token)
{
    const auto* tdp = static_cast<const TDP*>(actor->user);
    PassSurface s;
    Vector3 at;
    if (!tdp || !CurrentSurface(s) || !ProjectToTarget({0, 0, 0}, at))
        return;
    const float distance = tdp->viewPosition.z;
    if (!(distance > 0.0f))
        return;
    const int32_t x = int32_t(at.x), y = int32_t(at.y);
    if (!Inside(s.clip, x, y))
        return;
    const float raw = tdp->radius * kSunSizeFactor / float(kPlanetScale) / distance;
    const int32_t size = std::max<int32_t>(ClampToShort(raw), kSunSmallest);
    CanvasDrawSpot(s.canvas, kFullBrightness, uint8_t(tdp->colour[0] | kSunRampBits), 0, int16_t(x), int16_t(y),
                   int16_t(size / 2), 255, s.clip);
    if (size >= kSunFlareSmallest)
        RecordSunFlare(x, y, std::min(size, kSunFlareLargest));
}

// A blinking flare: its owner's counter runs down by the frame's ticks; while
// it runs the spot swells and fades, afterwards it flickers at random.
void FlareDummyRender(hx_actor* actor, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_token)
{
    const auto* tdp = static_cast<const TDP*>(actor->user);
    Avatar* avatar = tdp && tdp->owner ? tdp->owner->avatar : nullptr;
    PassSurface s;
    Vector3 at;
    if (!avatar || !CurrentSurface(s) || !ProjectToTarget({0, 0, 0}, at))
        return;
    const int32_t x = int32_t(at.x), y = int32_t(at.y);
    if (!Inside(s.clip, x, y))
        return;
    int32_t& word = avatar->params[kFlareBlinkParameter];
    int32_t counter = word & 0xFFFF;
    counter = std::max(counter - Ticks(), 0);
    word = int32_t((uint32_t(word) & 0xFFFF0000u) | uint32_t(counter));
    const int32_t level = counter > 0 ? std::max(100 - std::abs(counter - 100), 30) : CRand() % 50;
    const uint8_t ramp = uint8_t(uint32_t(word) >> 16);
    CanvasDrawSpot(s.canvas, level, ramp, 0, int16_t(x), int16_t(y), kFlareSpotSize, 255, s.clip);
}

// ---- the particle pass ----------------------------------------------------------------------

// Whether the emitter's owner is drawn as its one-point model now.
bool OwnerShowsOnePoint(const TDP* tdp)
{
    const SceneItem* owner = tdp->owner;
    const TDP* root = owner && owner->avatar ? owner->avatar->root : nullptr;
    if (!root || root == tdp)
        return false;
    return !root->actor || (gView.onePoint && root->actor->model == gView.onePoint);
}

// The base of the 32-entry ramp band that holds the colour.
int32_t BandBase(int32_t colour)
{
    return std::max(((colour + 16) & 0xE0) - 16, 16);
}

void DrawSprites(const PassSurface& s, const TDP* tdp, const ParticleEmitter* e)
{
    // Points flagged near-only vanish with the owner's detail; planet-layer
    // emitters are seen from afar and keep them.
    const bool farOwner = OwnerShowsOnePoint(tdp) && !(tdp->flags & kTdpPlanetLayer);
    const uint8_t rays = (e->flags & kEmitterLightField) ? 0 : 255;
    for (int i = std::min<int>(e->pointCount, e->capacity) - 1; i >= 0; --i) {
        const EmitterPoint& p = e->points[i];
        if (p.life <= 0 || !(p.screen.z > 0.0f))
            continue;
        if (farOwner && (p.spare & kPointNearOnly))
            continue;
        const int32_t x = int32_t(p.screen.x), y = int32_t(p.screen.y);
        if (!Inside(s.bounds, x, y))
            continue;
        if (DepthAt(s, x, y) <= uint32_t(int32_t(p.screen.z) + kDepthBias))
            continue;
        // Distance along the view axis back from the screen depth.
        const float depth = gView.mainCamera ? std::fabs(HxScreenZToDepth(gView.mainCamera, p.screen.z)) : 0.0f;
        const float factor = depth > 0.0f ? std::min(kSpotDepthScale / depth, kSpotLargest) : kSpotLargest;
        CanvasDrawSpot(s.canvas, p.brightness, uint8_t(p.colour), 0, int16_t(x), int16_t(y),
                       ClampToShort(factor * p.size), rays, s.clip);
    }
}

void DrawStreaks(const PassSurface& s, ParticleEmitter* e)
{
    // The level follows a point's own life: measured against the emitter's
    // life, the short-lived points of a long-lived exhaust would never show.
    const int32_t life = std::max<int32_t>(e->pointLife, 1);
    for (int i = std::min<int>(e->pointCount, e->capacity) - 1; i >= 0; --i) {
        EmitterPoint& p = e->points[i];
        if (p.life <= 0 || !(p.screen.z > 0.0f))
            continue;
        const int32_t x = ClampToShort(p.screen.x), y = ClampToShort(p.screen.y);
        if (!Inside(s.bounds, x, y) || DepthAt(s, x, y) <= uint32_t(int32_t(p.screen.z) + kDepthBias))
            continue;
        // The last screen position rides in the offset (z marks it as set)
        // and the life it was seen at in the spare word: a point emitted
        // again since lives longer, and starts afresh rather than streak
        // from where its last life ended.
        if (p.offset.z == 0.0f || p.life > p.spare) {
            p.offset = {float(x), float(y), 1.0f};
            p.spare = p.life;
            continue;
        }
        const int32_t lastX = int32_t(p.offset.x), lastY = int32_t(p.offset.y);
        if (lastX == x && lastY == y)
            continue;
        const int32_t level = std::clamp<int32_t>(p.life * 54 / life, 0, 31);
        int32_t base;
        float shade;
        if (e->flags & kEmitterOwnColour) {
            base = BandBase(p.colour);
            shade = float(p.colour - base);
        } else {
            base = BandBase(e->ramp[level]);
            shade = float(level) * 0.8f;
        }
        const float length = VecFastLength2(float(x - lastX), float(y - lastY));
        if (e->flags & kEmitterStream) {
            if (length > 16.0f)
                shade = std::max(shade * 16.0f / length, 8.0f);
        } else if (length > 4.0f) {
            shade = std::max(shade / (length / 4.0f), 0.0f);
        }
        if (shade > 0.0f)
            CanvasLineClipped(s.canvas, int16_t(lastX), int16_t(lastY), int16_t(x), int16_t(y),
                              ClampToByte(base + int32_t(shade)), s.clip);
        p.offset = {float(x), float(y), 1.0f};
        p.spare = p.life;
    }
}

void DrawTriangles(const PassSurface& s, const ParticleEmitter* e)
{
    const EmitterPoint* corners[3];
    int got = 0;
    for (int i = std::min<int>(e->pointCount, e->capacity) - 1; i >= 0; --i) {
        const EmitterPoint& p = e->points[i];
        if (p.life <= 0 || !(p.screen.z > 0.0f))
            continue;
        corners[got++] = &p;
        if (got < 3)
            continue;
        got = 0;
        bool inside = true;
        for (const EmitterPoint* c : corners)
            inside = inside && Inside(s.clip, int32_t(c->screen.x), int32_t(c->screen.y));
        if (inside)
            CanvasDrawTriangle(s.canvas, int16_t(corners[0]->screen.x), int16_t(corners[0]->screen.y),
                               int16_t(corners[1]->screen.x), int16_t(corners[1]->screen.y),
                               int16_t(corners[2]->screen.x), int16_t(corners[2]->screen.y), corners[0]->brightness,
                               corners[1]->brightness, corners[2]->brightness, uint8_t(corners[0]->colour));
    }
}

// ---- lights --------------------------------------------------------------------------------

// The light looks from the item toward the player's ship, turned about, at
// the item's place.
void AimLightSource(hx_actor* light, const SceneItem* item)
{
    const Vector3 from = ItemPosition(item);
    const Vector3 to = ItemPosition(gPlayerItem);
    const Vector3 toward{to.x - from.x, to.y - from.y, to.z - from.z};
    Matrix4 m{};
    MatIdentity(m);
    if (toward.x != 0.0f || toward.y != 0.0f || toward.z != 0.0f)
        MatLookDir(toward, nullptr, m);
    for (int i = 0; i < 12; ++i)
        if (i % 4 != 3)
            m.m[i] = -m.m[i];
    m.m[12] = from.x;
    m.m[13] = from.y;
    m.m[14] = from.z;
    SetActorMatrix(light, m);
}

// Light 1 back on the first light source as a direct light.
void ReturnFlashLight()
{
    hx_light* l = LightOf(gView.lights[0]);
    if (!l)
        return;
    l->type = HX_LIGHT_DIRECT;
    const SceneItem* source = gLightSources[0].item.Get();
    if (source && (source->sim || source->avatar) && gPlayerItem)
        AimLightSource(gView.lights[0], source);
}

} // namespace

// ---- sky palette ----------------------------------------------------------------------------

void SetPaletteRamp(int32_t first, int32_t count, const int16_t end[3], const int16_t start[3])
{
    if (count <= 0)
        return;
    PaletteEntry* palette = SkyPalette();
    for (int32_t i = 0; i < count; ++i) {
        const int32_t index = first + i;
        if (index < 0 || index >= kPaletteEntries)
            continue;
        const float x = float(i) / float(count);
        uint8_t c[3];
        for (int k = 0; k < 3; ++k)
            c[k] = ClampToByte(std::trunc(float(start[k]) + float(end[k] - start[k]) * x));
        palette[index].red = c[0];
        palette[index].green = c[1];
        palette[index].blue = c[2];
    }
    DisplaySetPalette(palette);
}

void SetSkyPaletteForSystem(int32_t systemType)
{
    if (!gNebulaOn)
        return;
    if (systemType == kFlashSystemType) {
        gView.flashMode = 1;
        SetPaletteRamp(kSkyFirst, kSkyHalf, kFlashLow, kBlack);
        SetPaletteRamp(kSkyFirst + kSkyHalf, kSkyHalf, kFlashHigh, kFlashMid);
        BuildShadeTable(kDarkShadeBand, kDarkShadeBrightness);
        return;
    }
    if (gView.flashMode) {
        gView.flashMode = 0;
        SetFlashLightHard();
    }
    ApplySkyRow(SkyRowOfSystem(systemType));
    if (systemType == kDarkShadesSystemType)
        BuildShadeTable(kDarkShadeBand, kDarkShadeBrightness);
}

void SetSkyPaletteRow(int16_t row)
{
    if (!gNebulaOn)
        return;
    if (gView.flashMode)
        row = -2;
    if (row == -1) {
        BuildShadeTable(kDarkShadeBand, kDarkShadeBrightness);
        SetPaletteRamp(kSkyFirst, 2 * kSkyHalf, kRedSkyHigh, kRedSkyLow);
    } else if (row == -2) {
        SetPaletteRamp(kSkyFirst, kSkyHalf, kBlueSkyMid, kBlack);
        SetPaletteRamp(kSkyFirst + kSkyHalf, kSkyHalf, kBlueSkyHigh, kBlueSkyMid);
        BuildShadeTable(kDarkShadeBand, kDarkShadeBrightness);
    } else if (row >= 0 && row < kSkyRowCount) {
        ApplySkyRow(row);
    }
}

// ---- celestial sphere and the background worlds ----------------------------------------------

void CreateCelestialSphere()
{
    if (gView.planetWorld || !gView.begun)
        return;
    auto camera = [](float yon) {
        hx_actor* actor = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
        if (!actor)
            return actor;
        hx_camera* c = CameraOf(actor);
        c->type = HX_CAMERA_PERSPECTIVE;
        c->width = c->height = kBackgroundCameraSize;
        c->hither_z = kBackgroundCameraHither;
        c->yon_z = yon;
        c->aspect = 1.0f;
        return actor;
    };
    gView.planetWorld = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    gView.planetCamera = camera(kPlanetCameraYon);
    gView.farPlanetWorld = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    gView.nebulaWorld = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    gView.nebulaCamera = camera(kNebulaCameraYon);
    if (gView.planetWorld && gView.planetCamera)
        HxActorAdd(gView.planetWorld, gView.planetCamera);
    if (gView.nebulaWorld && gView.nebulaCamera)
        HxActorAdd(gView.nebulaWorld, gView.nebulaCamera);
    if (!HxModelFind("celestial_sph"))
        if (hx_model* placeholder = HxModelAllocate("celestial_sph", 8, 8)) {
            placeholder->flags |= 6;
            HxModelAdd(placeholder);
        }
    if (gSettings.noNebula || !gNebulaOn || !gView.nebulaWorld)
        return;
    hx_model* model = SymbolModel("SphMd");
    if (!model)
        return;
    if (!(model->radius >= kSphereMadeRadius)) {
        ShadeSkySphere(model, kSkyShadeLow, kSkyShadeHigh, nullptr, false);
        SizeModel(model, kSphereRadius);
    }
    hx_actor* sphere = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
    if (!sphere)
        return;
    sphere->model = model;
    sphere->material = HxMaterialFind("nebula_purple");
    // The sky is solid: the standard material keeps the opacity 0 of its
    // prototype, which this renderer reads as wholly see-through.
    if (sphere->material && sphere->material->opacity != kSolid) {
        sphere->material->opacity = kSolid;
        HxMaterialUpdate(sphere->material, HX_MODU_ALL);
    }
    model->bounds.min = {-kNeverCulled, -kNeverCulled, -kNeverCulled};
    model->bounds.max = {kNeverCulled, kNeverCulled, kNeverCulled};
    sphere->t.type = HX_TRANSFORM_MATRIX;
    HxMatrix34Identity(&sphere->t.t.mat);
    HxMatrix34PostRotateX(&sphere->t.t.mat, kSphereTilt);
    HxActorAdd(gView.nebulaWorld, sphere);
    gView.celestialSphere = sphere;
}

void SetNebulaModel(hx_model* model)
{
    hx_actor* sphere = gView.celestialSphere;
    if (!model || !sphere || sphere->model == model)
        return;
    // The old sphere is a script resource: the resource manager frees it with
    // the mission; here it is only let go.
    ShadeSkySphere(model, kSkyShadeLow, kSkyShadeHigh, nullptr, false);
    SizeModel(model, kSphereRadius);
    model->bounds.min = {-kNeverCulled, -kNeverCulled, -kNeverCulled};
    model->bounds.max = {kNeverCulled, kNeverCulled, kNeverCulled};
    sphere->model = model;
}

void SetStarGateTexture(SceneItem*, int32_t setting)
{
    hx_material* material = v1db.active ? HxMaterialFind("StarGate") : nullptr;
    if (!material)
        return;
    const GateTexture* row = std::begin(kGateTextures);
    while (row + 1 != std::end(kGateTextures) && row->setting != setting)
        ++row;
    material->colour_map = HxMapFind(row->texture);
    HxMaterialUpdate(material, 0x7FFF);
}

hx_model* LoadAntiMatterModel()
{
    return SymbolModel("AntiMatterMd");
}

// ---- the star field --------------------------------------------------------------------------

void BuildStarCatalogue()
{
    gBackgroundStarCount = 0;
    auto add = [](const Vector3& direction, uint8_t brightness) {
        BackgroundStar& s = gBackgroundStars[gBackgroundStarCount++];
        s = {};
        s.direction = direction;
        s.visible = s.lastVisible = kStarHidden;
        s.brightness = brightness;
        s.rampBase = kStarRampBase;
    };
    if (gUniverseCreated && gStarsLoaded > 0) {
        const double m12 = std::pow(2.512, 12.0);
        const double span = std::pow(2.512, 21.0) - m12;
        for (int i = 1; i < gStarsLoaded && gBackgroundStarCount < kBackgroundStars; ++i) {
            const Star& star = gStars[i];
            // The catalogue's faint stars are the sky's background.
            if (!(star.flags & kStarFaint))
                continue;
            const float length = VecFastLength(star.position);
            if (!(length > 0.0f))
                continue;
            const float k = kStarDistance / length;
            const double w = std::pow(2.512, 12.0 - double(star.magnitude) + 21.0);
            const double brightness = 24.0 - (w - m12) * 24.0 / span;
            add({star.position.x * k, star.position.y * k, star.position.z * k}, ClampToByte(std::trunc(brightness + 8.0)));
        }
        return;
    }
    for (int i = 0; i < kBackgroundStars; ++i) {
        const float longitude = 2.0f * float(CRand()) * 3.1415f / 32767.0f;
        const float base = float(CRand()) * 3.1415f / 32767.0f - 1.57075f;
        const float latitude = base * std::pow(float(CRand()) / 32767.0f, 1.5f);
        const uint8_t brightness = uint8_t(CRand() * 28 / 32767 + 8);
        add({std::cos(latitude) * std::cos(longitude) * kStarDistance, std::sin(latitude) * kStarDistance,
             std::cos(latitude) * std::sin(longitude) * kStarDistance},
            brightness);
    }
}

void BeginStarPasses()
{
    gStarTrailCountdown = gStarPassesDrawn;
    gStarPassesDrawn = 0;
}

void DrawStarField()
{
    --gStarTrailCountdown;
    ++gStarPassesDrawn;
    PassSurface s;
    const SceneItem* viewer = gView.viewer;
    if (!CurrentSurface(s) || !viewer || !viewer->sim)
        return;
    const Matrix4& m = viewer->sim->matrix;
    const Vector3 right{m.m[0], m.m[1], m.m[2]}, up{m.m[4], m.m[5], m.m[6]}, forward{m.m[8], m.m[9], m.m[10]};
    const float halfWidth = float(s.colour->width) / 2, halfHeight = float(s.colour->height) / 2;
    const int32_t ox = s.colour->origin_x, oy = s.colour->origin_y;
    const float distance = gProjectionDistance;
    auto dot = [](const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
    for (int i = 0; i < gBackgroundStarCount; ++i) {
        BackgroundStar& star = gBackgroundStars[i];
        const float depth = dot(forward, star.direction);
        star.visible = kStarHidden;
        if (depth > 0.0f) {
            star.x = dot(right, star.direction) * distance / depth;
            star.y = dot(up, star.direction) * distance / depth;
            if (std::fabs(star.x) <= halfWidth && std::fabs(star.y) <= halfHeight)
                star.visible = kStarVisible;
        }
    }
    if (gStarFieldReset) {
        gStarFieldReset = 0;
        for (int i = 0; i < gBackgroundStarCount; ++i) {
            BackgroundStar& star = gBackgroundStars[i];
            star.lastX = std::trunc(star.x);
            star.lastY = std::trunc(star.y);
            star.lastVisible = star.visible;
        }
    }
    if (gStarTrailCountdown != 0) {
        for (int i = 0; i < gBackgroundStarCount; ++i) {
            const BackgroundStar& star = gBackgroundStars[i];
            if (star.visible == kStarVisible)
                PlotInside(s, s.bounds, ox + int32_t(star.x), oy + int32_t(star.y),
                           uint8_t(kStarRampBase + std::min<int32_t>(kStarLevels, star.brightness)));
        }
        return;
    }
    for (int i = 0; i < gBackgroundStarCount; ++i) {
        BackgroundStar& star = gBackgroundStars[i];
        if (star.visible == kStarVisible && star.lastVisible == kStarVisible) {
            const int32_t x = ox + int32_t(star.x), y = oy + int32_t(star.y);
            const int32_t lastX = ox + int32_t(star.lastX), lastY = oy + int32_t(star.lastY);
            const int32_t dx = std::abs(lastX - x), dy = std::abs(lastY - y);
            int32_t level = star.brightness / (std::max(dx, dy) / 2 + 1);
            if (Inside(s.bounds, x, y)) {
                const uint8_t under = PixelAt(s, x, y);
                if (under != kSkyIndex)
                    level += ((under - 16) & 31) * 13 / 32;
            }
            level = std::min(level, kStarLevels);
            if (level >= kStarTrailFaintest) {
                const uint8_t colour = uint8_t(kStarRampBase + level);
                if (dx + dy < 1) {
                    PlotInside(s, s.bounds, x, y, colour);
                } else if (dx + dy > 2) {
                    CanvasLineClipped(s.canvas, ClampToShort(float(lastX)), ClampToShort(float(lastY)), int16_t(x),
                                      int16_t(y), colour, s.bounds);
                } else {
                    PlotInside(s, s.bounds, x, y, colour);
                    PlotInside(s, s.bounds, lastX, lastY, colour);
                }
            }
        }
        star.lastX = std::trunc(star.x);
        star.lastY = std::trunc(star.y);
        star.lastVisible = star.visible;
    }
}

// ---- dummy models ------------------------------------------------------------------------

hx_model* CreateParticleDummyModel()
{
    if (!gView.particleDummy)
        gView.particleDummy = MakeDummyModel("particledummy", ParticleDummyRender, kNeverCulled);
    return gView.particleDummy ? gView.particleDummy : GetOnePointModel();
}

hx_model* CreateStarDummyModel()
{
    if (!gView.starDummy)
        gView.starDummy = MakeDummyModel("stardummy", StarDummyRender, kNeverCulled);
    return gView.starDummy;
}

hx_model* CreateFlareDummyModel()
{
    if (!gView.flareDummy)
        gView.flareDummy = MakeDummyModel("FlareDummy", FlareDummyRender, kFlareBounds);
    return gView.flareDummy;
}

// ---- the particle pass ----------------------------------------------------------------------

void DrawAllParticles(int32_t flag)
{
    const uint32_t mask = flag ? kMaskPlanetLayerEmitters : kMaskEmitters;
    ForEachSceneItem([mask](SceneItem* item) {
        if (item->avatar)
            DrawTdpParticles(item->avatar->root, mask);
        return true;
    });
}

void DrawTdpParticles(TDP* tdp, uint32_t mask)
{
    for (; tdp; tdp = tdp->nextSibling) {
        // Only an emitter the render projected this frame has screen places.
        if ((tdp->flags & mask) == mask && tdp->emitter && tdp->actor)
            DrawParticleEmitter(tdp);
        DrawTdpParticles(tdp->firstChild, mask);
    }
}

void DrawParticleEmitter(TDP* tdp)
{
    ParticleEmitter* e = tdp ? tdp->emitter : nullptr;
    PassSurface s;
    if (!e || !e->points || !CurrentSurface(s))
        return;
    if (e->flags & kEmitterRing) {
        FillRingBand(tdp);
        return;
    }
    if (e->flags & kEmitterHidden)
        return;
    switch (e->type) {
    case 0:
        DrawSprites(s, tdp, e);
        break;
    case 2:
        DrawStreaks(s, e);
        break;
    case 4:
        DrawTriangles(s, e);
        break;
    default:
        break;
    }
}

void FillRingBand(TDP* tdp)
{
    ParticleEmitter* e = tdp ? tdp->emitter : nullptr;
    PassSurface s;
    if (!e || !e->points || e->capacity <= 2 * kRingOutline || !CurrentSurface(s))
        return;
    const EmitterPoint* p = e->points;
    auto X = [p](int i) { return int32_t(ClampToShort(p[i].screen.x)) * 256; };
    auto Y = [p](int i) { return int32_t(ClampToShort(p[i].screen.y)); };
    auto shown = [p](int i) { return p[i].screen.z > 0.0f; };

    int inner = 1;
    while (inner <= kRingOutline && !shown(inner))
        ++inner;
    if (inner > kRingOutline)
        return;
    int outer = inner + kRingOutline;
    int32_t xa = X(inner), xb = X(outer), y = Y(inner);
    int32_t na = 1, nb = 1, dxa = 0, dxb = 0;
    uint8_t colour = kRingFirstColour;
    bool down = true;
    while (inner <= kRingOutline) {
        xa += dxa;
        xb += dxb;
        CanvasLineClipped(s.canvas, ClampToShort(float(xa >> 8)), ClampToShort(float(y)), ClampToShort(float(xb >> 8)),
                          ClampToShort(float(y)), colour, s.clip);
        --na;
        --nb;
        y += down ? 1 : -1;
        while (na == 0 && inner <= kRingOutline) {
            xa = X(inner);
            if (++inner > kRingOutline)
                break;
            if (Y(inner) == y || !shown(inner))
                continue; // flat and hidden steps are passed over
            na = std::abs(Y(inner) - y);
            down = Y(inner) > y;
            dxa = (X(inner) - xa) / na;
        }
        if (inner > kRingOutline)
            break;
        const int remembered = outer;
        while (nb == 0) {
            xb = X(outer);
            outer = outer == 2 * kRingOutline ? kRingOutline + 1 : outer + 1;
            if (outer == remembered) {
                nb = 1;
                xb = X(outer);
                dxb = 0;
                colour = kRingLostColour;
                break;
            }
            // The outer edge is sought on the side the scan moves away from.
            if (down && shown(outer) && Y(outer) < y) {
                nb = y - Y(outer);
                colour = kRingDownColour;
            } else if (!down && shown(outer) && Y(outer) > y) {
                nb = Y(outer) - y;
                colour = kRingUpColour;
            } else {
                continue;
            }
            dxb = (X(outer) - xb) / nb;
        }
    }
}

// ---- sun flare ------------------------------------------------------------------------------------

bool RecordSunFlare(int32_t x, int32_t y, int32_t size)
{
    PassSurface s;
    if (gSky.flareCount >= kFlareRecords || !CurrentSurface(s) || !Inside(s.bounds, x, y))
        return false;
    gSky.flares[gSky.flareCount++] = {x, y, size, PixelAt(s, x, y)};
    return true;
}

void DrawSunFlare()
{
    PassSurface s;
    if (CurrentSurface(s)) {
        const ViewRect& hud = gView.hudViewport;
        const float cx = float((hud.left + hud.right) / 2 + s.colour->origin_x);
        const float cy = float((hud.top + hud.bottom) / 2 + s.colour->origin_y);
        for (int i = gSky.flareCount - 1; i >= 0; --i) {
            const Flare& f = gSky.flares[i];
            if (!Inside(s.bounds, f.x, f.y) || PixelAt(s, f.x, f.y) != f.value)
                continue; // something was drawn over the sun
            for (const Ghost& g : kGhosts) {
                const float gx = cx - (float(f.x) - cx) * g.along;
                const float gy = cy - (float(f.y) - cy) * g.along;
                CanvasDrawSpot(s.canvas, kFullBrightness, kGhostRamp, 0, ClampToShort(gx), ClampToShort(gy),
                               ClampToShort(g.size * float(f.size)), 0, s.clip);
            }
        }
    }
    gSky.flareCount = 0;
}

// ---- lights ------------------------------------------------------------------------------------

void UpdateSceneLights()
{
    for (LightSource& source : gLightSources) {
        const SceneItem* item = source.item.Get();
        if (item && source.light && gPlayerItem)
            AimLightSource(source.light, item);
    }
    if (!gView.flashMode && gSky.flashTicks >= 0) {
        gSky.flashTicks -= Ticks();
        if (gSky.flashTicks < 0)
            ReturnFlashLight();
    }
    if (gSky.burning) {
        gSky.burstTicks -= Ticks();
        if (gSky.burstTicks <= 0) {
            if (gView.lights[1])
                HxLightDisable(gView.lights[1]);
            gSky.burning = false;
        } else if (hx_light* l = LightOf(gView.lights[1])) {
            l->attenuation_c *= gSky.burstDecay;
        }
    }
}

void StartExplosionLight(const Vector3* point, int32_t ticks)
{
    hx_light* l = LightOf(gView.lights[1]);
    if (!gExplosionLights || !l || !point)
        return;
    PlaceActorAt(gView.lights[1], *point);
    gSky.burstTicks = ticks;
    l->attenuation_l = kBurstLinear;
    l->attenuation_c = kBurstConstant;
    // Bursts shorter than 10 ticks decay as one of 10 (the rate's divisor
    // would be 0 below that).
    const int32_t tenths = std::max(ticks, kBurstShortest) / kBurstShortest;
    gSky.burstDecay = float(std::pow(kBurstDecayBase, 1.0 / double(tenths)));
    if (!gSky.burning)
        HxLightEnable(gView.lights[1]);
    gSky.burning = true;
}

void SetFlashLight(SceneItem* item, int32_t ticks, int32_t flag, const Vector3* point)
{
    hx_light* l = LightOf(gView.lights[0]);
    if (!l)
        return;
    if (item && item->avatar)
        SetActorMatrix(gView.lights[0], item->sim ? item->sim->matrix : item->avatar->matrix);
    else if (point)
        PlaceActorAt(gView.lights[0], *point);
    l->type = flag == -1 ? HX_LIGHT_POINT : HX_LIGHT_DIRECT;
    gSky.flashTicks = ticks;
}

void SetFlashLightSoft()
{
    if (hx_light* l = LightOf(gView.lights[0])) {
        l->type = HX_LIGHT_POINT;
        l->attenuation_c = kSoftConstant;
        l->attenuation_l = kSoftLinear;
    }
}

void SetFlashLightHard()
{
    if (hx_light* l = LightOf(gView.lights[0])) {
        l->type = HX_LIGHT_DIRECT;
        l->attenuation_c = 1.0f;
        l->attenuation_l = 0.0f;
    }
}
