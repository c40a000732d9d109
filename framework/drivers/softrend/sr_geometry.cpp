// The geometry stage of the software renderer. Per group of faces: the
// draw set-up is resolved once from the group's material state (span loop,
// texture, tables); every vertex is transformed to clip space with its
// outcodes, lit and mapped; every face is culled against the eye before
// any set-up, rejected when all its corners lie outside one plane, clipped
// (Sutherland-Hodgman in homogeneous space) only when it crosses the near,
// far or a user plane or leaves the guard band, and then drawn or, in a
// Z-sort render, stored in the primitive heap and put into a bucket.
#include "framework/drivers/softrend/sr_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/drivers/softrend/sr_raster.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace softrend {

namespace {

// Outcode bits. The viewport's six planes decide rejection and the bounds
// test; clipping needs only near, far, the user planes and the guard band
// (beyond it the rasteriser's fixed-point range would not hold).
enum : uint32_t {
    kOutLeft = 1,
    kOutRight = 2,
    kOutTop = 4,
    kOutBottom = 8,
    kOutNear = 16,
    kOutFar = 32,
    kOutUser = 64, // 6 bits from here
    kGuardLeft = 1u << 12,
    kGuardRight = 1u << 13,
    kGuardTop = 1u << 14,
    kGuardBottom = 1u << 15,
    // Not outcodes but texture flags of a projected corner, kept in the
    // same word so that the face loop combines them with the others: its
    // coordinate lies below the first repeat (a triangle with any such
    // corner is rebased), or not below its end (a triangle with all three
    // such corners is rebased). See RebaseWrapped.
    kWrapLowU = 1u << 16,
    kWrapLowV = 1u << 17,
    kWrapHighU = 1u << 18,
    kWrapHighV = 1u << 19,
};
constexpr uint32_t kWrapLow = kWrapLowU | kWrapLowV, kWrapHigh = kWrapHighU | kWrapHighV;
constexpr uint32_t kViewportBits = 0xFFF;
constexpr uint32_t kClipBits = kOutNear | kOutFar | (0x3Fu * kOutUser) | kGuardLeft | kGuardRight | kGuardTop |
                               kGuardBottom;
constexpr float kGuard = 8.0f; // the guard band, in viewport half-widths

struct alignas(8) ClipVertex {
    float x, y, z, w;
    float c[3];
    float u, v;
    float fog;
    float wView; // view distance, for the order tables
};

struct Matrix4 {
    float m[4][4];
};

Matrix4 ModelToScreen(const State& s)
{
    const hx_matrix34& a = s.matrix.modelToView;
    const hx_matrix4& b = s.matrix.viewToScreen;
    Matrix4 out;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double v = i == 3 ? b.m[3][j] : 0.0;
            for (int k = 0; k < 3; ++k)
                v += double(a.m[i][k]) * b.m[k][j];
            out.m[i][j] = float(v);
        }
    return out;
}

// The outcodes of a clip-space vertex. Most vertices lie inside the view
// (and so inside the guard band): one test each; the others get each bit
// without a branch, as a model crossing an edge gives every mix.
uint32_t Outcode(const ClipVertex& v, const State& s, int userPlanes)
{
    uint32_t code = 0;
    if (!(std::fabs(v.x) <= v.w && std::fabs(v.y) <= v.w && std::fabs(v.z) <= v.w)) {
        const float g = kGuard * v.w;
        code = uint32_t(v.x < -v.w) * kOutLeft | uint32_t(v.x > v.w) * kOutRight | uint32_t(v.y > v.w) * kOutTop |
               uint32_t(v.y < -v.w) * kOutBottom | uint32_t(v.z > v.w) * kOutNear | uint32_t(v.z < -v.w) * kOutFar |
               uint32_t(v.x < -g) * kGuardLeft | uint32_t(v.x > g) * kGuardRight | uint32_t(v.y > g) * kGuardTop |
               uint32_t(v.y < -g) * kGuardBottom;
    }
    for (int i = 0; i < userPlanes; ++i) {
        const hx_vector4& p = s.clips[i].plane;
        if (s.clips[i].type == HXT_PLANE && p.x * v.x + p.y * v.y + p.z * v.z + p.w * v.w < 0)
            code |= kOutUser << i;
    }
    return code;
}

// Signed distance to the plane of one clip bit; inside is >= 0.
float PlaneDistance(uint32_t bit, const ClipVertex& v, const State& s)
{
    const float g = kGuard * v.w;
    switch (bit) {
    case kOutNear: return v.w - v.z;
    case kOutFar: return v.z + v.w;
    case kGuardLeft: return v.x + g;
    case kGuardRight: return g - v.x;
    case kGuardTop: return g - v.y;
    case kGuardBottom: return v.y + g;
    default: {
        int i = 0;
        while ((kOutUser << i) != bit)
            ++i;
        const hx_vector4& p = s.clips[i].plane;
        return p.x * v.x + p.y * v.y + p.z * v.z + p.w * v.w;
    }
    }
}

ClipVertex Lerp(const ClipVertex& a, const ClipVertex& b, float t)
{
    ClipVertex o;
    auto mix = [t](float p, float q) { return p + (q - p) * t; };
    o.x = mix(a.x, b.x), o.y = mix(a.y, b.y), o.z = mix(a.z, b.z), o.w = mix(a.w, b.w);
    for (int i = 0; i < 3; ++i)
        o.c[i] = mix(a.c[i], b.c[i]);
    o.u = mix(a.u, b.u), o.v = mix(a.v, b.v), o.fog = mix(a.fog, b.fog), o.wView = mix(a.wView, b.wView);
    return o;
}

// Clips a polygon against every plane of the mask; returns the count.
int ClipPolygon(ClipVertex* poly, int n, uint32_t planes, const State& s, ClipVertex* scratch)
{
    for (uint32_t bit = 1; bit && n >= 3; bit <<= 1) {
        if (!(planes & bit))
            continue;
        int m = 0;
        for (int i = 0; i < n; ++i) {
            const ClipVertex& a = poly[i];
            const ClipVertex& b = poly[(i + 1) % n];
            const float da = PlaneDistance(bit, a, s), db = PlaneDistance(bit, b, s);
            if (da >= 0)
                scratch[m++] = a;
            if ((da >= 0) != (db >= 0))
                scratch[m++] = Lerp(a, b, da / (da - db));
        }
        std::copy(scratch, scratch + m, poly);
        n = m;
    }
    return n;
}

// ---- draw set-up -----------------------------------------------------------------

bool IsLive(const Buffer* b)
{
    return b && b->live;
}

// Identity shade row: an 8-bit texel drawn as it is.
struct IdentityRow {
    uint8_t v[256];
    IdentityRow()
    {
        for (int i = 0; i < 256; ++i)
            v[i] = uint8_t(i);
    }
};
const IdentityRow kIdentityRow;

// Screen doors of 4 x 4 pixels that share the pixels out by the ordered-
// dither matrix: below[s] draws those whose threshold is below s (a share
// of s/16 of them), from[s] the others.
struct ShareDoors {
    uint8_t below[17][16], from[17][16];
    ShareDoors()
    {
        for (int share = 0; share <= 16; ++share)
            for (int i = 0; i < 16; ++i) {
                below[share][i] = kOrderedDither[i / 4][i % 4] < share ? 1 : 0;
                from[share][i] = 1 - below[share][i];
            }
    }
};
const ShareDoors kShareDoors;

struct Material {
    const PrimitivePart* prim;
    const SurfacePart* surf;
    hx_token cull;
};

Material MaterialOf(Renderer* r, const hx_object* stored)
{
    const State& s = stored ? reinterpret_cast<const StoredState*>(stored)->state : r->current;
    return {&s.primitive, &s.surface, s.cull};
}

struct Target {
    OutKind out;
    DepthKind depth;
    uint8_t* colour;
    intptr_t colourStride;
    uint8_t* depthPixels;
    intptr_t depthStride;
    int width, height;
};

uint8_t* PixelZero(hx_pixelmap* pm, int bytes)
{
    return static_cast<uint8_t*>(pm->pixels) + intptr_t(pm->base_y) * pm->row_bytes + intptr_t(pm->base_x) * bytes;
}

bool TargetOf(const State& s, bool zsort, Target* t)
{
    hx_pixelmap* c = s.output.colour;
    if (!c || !c->pixels || c->width == 0 || c->height == 0)
        return false;
    switch (c->type) {
    case HX_PMT_INDEX_8: t->out = OutKind::Index8; break;
    case HX_PMT_RGB_565: t->out = OutKind::Rgb565; break;
    case HX_PMT_RGB_555: t->out = OutKind::Rgb555; break;
    default: return false;
    }
    t->colour = PixelZero(c, t->out == OutKind::Index8 ? 1 : 2);
    t->colourStride = c->row_bytes;
    t->width = c->width;
    t->height = c->height;
    t->depth = DepthKind::None;
    t->depthPixels = nullptr;
    t->depthStride = 0;
    hx_pixelmap* d = s.output.depth;
    if (!zsort && d && d->pixels && (d->type == HX_PMT_DEPTH_16 || d->type == HX_PMT_DEPTH_32)) {
        t->depth = d->type == HX_PMT_DEPTH_16 ? DepthKind::D16 : DepthKind::D32;
        t->depthPixels = PixelZero(d, d->type == HX_PMT_DEPTH_16 ? 2 : 4);
        t->depthStride = d->row_bytes;
        t->width = std::min<int>(t->width, d->width);
        t->height = std::min<int>(t->height, d->height);
    }
    return true;
}

// A texture as the spans read it: the buffer's texels, mirrored as the
// material asks (a mirrored side is stored twice as long, then wrapped).
struct TextureView {
    const uint8_t* index;
    const uint32_t* rgb;
    int widthShift, heightShift;
    int width, height; // texels per map unit
};

// The view of a buffer's texels mirrored across (`mirrors` bit 1), down
// (bit 2), both or neither; the mirrored ones are made when first drawn.
TextureView MirroredView(Buffer* b, int mirrors)
{
    TextureView t{b->indices.data(), b->rgb.data(), b->widthShift, b->heightShift, b->width, b->height};
    if (!mirrors)
        return t;
    const bool mirrorU = (mirrors & 1) != 0, mirrorV = (mirrors & 2) != 0;
    auto& variant = b->mirrored[mirrors];
    const int w = b->width * (mirrorU ? 2 : 1), h = b->height * (mirrorV ? 2 : 1);
    if (variant.indices.empty()) {
        variant.indices.resize(size_t(w) * h);
        variant.rgb.resize(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int sx = x < b->width ? x : 2 * b->width - 1 - x;
                const int sy = y < b->height ? y : 2 * b->height - 1 - y;
                variant.indices[size_t(y) * w + x] = b->indices[size_t(sy) * b->width + sx];
                variant.rgb[size_t(y) * w + x] = b->rgb[size_t(sy) * b->width + sx];
            }
    }
    t.index = variant.indices.data();
    t.rgb = variant.rgb.data();
    t.widthShift += mirrorU ? 1 : 0;
    t.heightShift += mirrorV ? 1 : 0;
    return t;
}

// A mip chain's most levels: sides of at most 2^11 texels (1024, mirrored).
constexpr int kMaxMipLevels = 12;

// Map antialiasing is on for every filtering kind but NONE (or unset).
bool MapAntialiased(const PrimitivePart& p)
{
    switch (p.mapAntialiasing) {
    case HXT_LINEAR:
    case HXT_MIP:
    case HXT_MIP_PER_PRIMITIVE:
    case HXT_MIP_PER_PIXEL: return true;
    default: return false;
    }
}

// A texel of mip level k + 1 from the 2 x 2 block `at` of level k: its
// colour (what 16-bit screens draw) the average of the block's opaque
// texels per channel, its index (what 8-bit screens draw) that of the
// opaque texel whose colour lies nearest that average (the first of
// equals), so that 8-bit levels hold real palette entries. Two or more
// transparent texels (bit 24, index 0) of the four make a transparent
// texel of index 0; a single one is passed over.
void MipTexel(const uint8_t* index, const uint32_t* rgb, const size_t (&at)[4], uint8_t* outIndex, uint32_t* outRgb)
{
    constexpr uint32_t kClear = 0x1000000;
    uint32_t sum[3] = {0, 0, 0}, opaque = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = rgb[at[i]];
        if (c & kClear)
            continue;
        sum[0] += (c >> 16) & 255, sum[1] += (c >> 8) & 255, sum[2] += c & 255;
        ++opaque;
    }
    if (opaque <= 2) {
        *outIndex = 0;
        *outRgb = rgb[at[0]] | kClear;
        return;
    }
    const uint32_t mean[3] = {(sum[0] + opaque / 2) / opaque, (sum[1] + opaque / 2) / opaque,
                              (sum[2] + opaque / 2) / opaque};
    int best = -1;
    int32_t bestDistance = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t c = rgb[at[i]];
        if (c & kClear)
            continue;
        const int32_t dr = int32_t((c >> 16) & 255) - int32_t(mean[0]), dg = int32_t((c >> 8) & 255) - int32_t(mean[1]),
                      db = int32_t(c & 255) - int32_t(mean[2]);
        const int32_t distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < bestDistance)
            best = i, bestDistance = distance;
    }
    *outIndex = index[at[best]];
    *outRgb = mean[0] << 16 | mean[1] << 8 | mean[2];
}

// The mip levels under a texture view (MirroredView's of `mirrors`), from
// level 1 on, made the first time they are drawn and kept
// with the variant. Each level halves both sides of the one above, down to
// 1 (a side already 1 long takes its texel twice).
const std::vector<Buffer::Level>& MipChain(Buffer* b, int mirrors, const TextureView& v)
{
    std::vector<Buffer::Level>& levels = b->mirrored[mirrors].levels;
    if (!levels.empty())
        return levels;
    const uint8_t* index = v.index;
    const uint32_t* rgb = v.rgb;
    int widthShift = v.widthShift, heightShift = v.heightShift;
    levels.reserve(size_t(std::max(widthShift, heightShift)));
    while (widthShift > 0 || heightShift > 0) {
        Buffer::Level next;
        next.widthShift = std::max(widthShift - 1, 0);
        next.heightShift = std::max(heightShift - 1, 0);
        const int w = 1 << next.widthShift, h = 1 << next.heightShift;
        const int aboveW = 1 << widthShift, aboveH = 1 << heightShift;
        next.indices.resize(size_t(w) * h);
        next.rgb.resize(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const size_t x0 = size_t(2 * x), x1 = size_t(std::min(2 * x + 1, aboveW - 1));
                const size_t y0 = size_t(2 * y) * size_t(aboveW),
                             y1 = size_t(std::min(2 * y + 1, aboveH - 1)) * size_t(aboveW);
                const size_t at[4] = {y0 + x0, y0 + x1, y1 + x0, y1 + x1};
                MipTexel(index, rgb, at, &next.indices[size_t(y) * w + x], &next.rgb[size_t(y) * w + x]);
            }
        levels.push_back(std::move(next));
        index = levels.back().indices.data();
        rgb = levels.back().rgb.data();
        widthShift = levels.back().widthShift;
        heightShift = levels.back().heightShift;
    }
    return levels;
}

struct GroupSetup {
    DrawSetup draw;
    Material mat;
    bool lit, prelit, textured, modulate, fog, clampU, clampV;
    int ramp;      // 8-bit untextured: the ramp's range
    int shadeRows; // 8-bit textured and modulated: rows of the shade table
    float mapScaleU, mapScaleV;
    // Texels below wrapLo or not below wrapHi make a corner's wrap flags
    // (see WrapFlags): the first repeat of a wrapped or mirrored map; no
    // limits for a clamped one.
    float wrapLoU, wrapHiU, wrapLoV, wrapHiV;
    // Map antialiasing: the levels of the mip chain (1: level 0 only),
    // whether a triangle mixes the two levels about its own (linear mip
    // interpolation) rather than taking the larger, and the set-ups of
    // levels 1 on.
    int mipLevels;
    bool mipBlend;
    DrawSetup mip[kMaxMipLevels - 1];

    const DrawSetup& Level(int k) const { return k ? mip[k - 1] : draw; }
};

// The set-ups of a map-antialiased group's mip levels: each is the level-0
// set-up as resolved, with the level's texels, sizes and clamp limits.
// Wrapped triangles are rebased in level-0 texels, whole repeats of every
// level, so the levels need no wrap limits of their own.
void ResolveMipLevels(const PrimitivePart& p, const TextureView& v, int mirrors, GroupSetup* g)
{
    g->mipLevels = 1;
    g->mipBlend = p.mipInterpolation == HXT_LINEAR;
    if (!g->textured || !MapAntialiased(p))
        return;
    const std::vector<Buffer::Level>& levels = MipChain(p.colourMap, mirrors, v);
    const int n = std::min(int(levels.size()), kMaxMipLevels - 1);
    for (int k = 1; k <= n; ++k) {
        const Buffer::Level& level = levels[size_t(k - 1)];
        DrawSetup& d = g->mip[k - 1];
        d = g->draw;
        d.texIndex = level.indices.data();
        d.texRgb = level.rgb.data();
        d.texWidthShift = level.widthShift;
        d.texHeightShift = level.heightShift;
        // A clamped side keeps level 0's margins inside its edges.
        if (g->clampU)
            d.uHi = (std::max(v.width >> k, 1) << 16) - ((v.width << 16) - g->draw.uHi);
        if (g->clampV)
            d.vHi = (std::max(v.height >> k, 1) << 16) - ((v.height << 16) - g->draw.vHi);
    }
    g->mipLevels = 1 + n;
}

bool ResolveSetup(Renderer* r, const Target& t, const Material& m, GroupSetup* g)
{
    const PrimitivePart& p = *m.prim;
    const SurfacePart& sf = *m.surf;
    DrawSetup& d = g->draw;
    d = {};
    g->mat = m;
    d.colour = t.colour;
    d.colourStride = t.colourStride;
    d.depth = t.depthPixels;
    d.depthStride = t.depthStride;
    d.width = t.width;
    d.height = t.height;
    d.bounds = r->current.boundsEnabled ? &r->current.bounds : nullptr;

    g->prelit = sf.colourSource == HXT_GEOMETRY;
    g->lit = sf.lighting && !g->prelit;
    g->textured = IsLive(p.colourMap) && !p.colourMap->indices.empty();
    g->modulate = p.modulate && !p.decal; // a decal shows its texels as they are
    g->fog = p.fog == HXT_LINEAR && p.fogMax > p.fogMin;
    g->clampU = p.widthLimit == HXT_CLAMP;
    g->clampV = p.heightLimit == HXT_CLAMP;
    g->ramp = std::max(0, p.indexRange);
    g->shadeRows = 1;
    SpanKey& k = d.key;
    k.out = t.out;
    k.depth = t.depth;
    k.smooth = p.smooth;
    // Subdivision is perspective correction by runs of pixels, which is
    // what the perspective spans do whatever the tolerance.
    k.tex = g->textured ? (p.perspective ? TexKind::Perspective : TexKind::Affine) : TexKind::None;
    k.ztransparency = g->textured && p.ztransparency;
    k.effects = 0;
    d.indexBase = p.indexBase;
    d.ditherColour = p.ditherColour;
    const int mirrors = (p.widthLimit == HXT_MIRROR && !g->clampU ? 1 : 0) |
                        (p.heightLimit == HXT_MIRROR && !g->clampV ? 2 : 0);
    TextureView v = {};
    if (g->textured) {
        v = MirroredView(p.colourMap, mirrors);
        d.texIndex = v.index;
        d.texRgb = v.rgb;
        d.texWidthShift = v.widthShift;
        d.texHeightShift = v.heightShift;
        g->mapScaleU = float(v.width);
        g->mapScaleV = float(v.height);
        constexpr float kNoLimit = std::numeric_limits<float>::infinity();
        g->wrapLoU = g->clampU ? -kNoLimit : 0.0f;
        g->wrapHiU = g->clampU ? kNoLimit : float(1 << v.widthShift);
        g->wrapLoV = g->clampV ? -kNoLimit : 0.0f;
        g->wrapHiV = g->clampV ? kNoLimit : float(1 << v.heightShift);
        // A clamped coordinate stops at the edge texels' centres: the same
        // texels when sampled nearest, and no further than half a texel to
        // reach when interpolated or dithered.
        d.uLo = g->clampU ? 0x8000 : INT32_MIN;
        d.uHi = g->clampU ? (v.width << 16) - 0x8000 : INT32_MAX;
        d.vLo = g->clampV ? 0x8000 : INT32_MIN;
        d.vHi = g->clampV ? (v.height << 16) - 0x8000 : INT32_MAX;
        // Interpolated texels at 16 bits; at 8 bits, where indices cannot be
        // blended, dithered ones stand in for them.
        const bool linear = p.mapInterpolation == HXT_LINEAR;
        k.linear = linear && t.out != OutKind::Index8;
        d.ditherMap = !k.linear && (p.ditherMap || linear);
        d.shade = kIdentityRow.v;
        if (t.out == OutKind::Index8 && g->modulate && IsLive(p.shade) && p.shade->width >= 256 &&
            p.shade->height > 0) {
            d.shade = p.shade->indices.data();
            g->shadeRows = p.shade->height;
        }
        d.shadeRows = g->shadeRows;
    }
    if (g->fog) {
        if (t.out != OutKind::Index8 || (IsLive(p.fogTable) && p.fogTable->width >= 256 && p.fogTable->height > 0)) {
            k.effects |= kFxFog;
            d.fogColour = p.fogColour & 0xFFFFFF;
            if (t.out == OutKind::Index8) {
                d.fogTable = p.fogTable->indices.data();
                d.fogRows = p.fogTable->height;
            }
        } else {
            g->fog = false;
        }
    }
    if (IsLive(p.screenDoor) && p.screenDoor->width > 0 && p.screenDoor->height > 0) {
        k.effects |= kFxDoor;
        d.door = p.screenDoor->indices.data();
        d.doorWidth = p.screenDoor->width;
        d.doorHeight = p.screenDoor->height;
    }
    if (p.blend) {
        if (t.out != OutKind::Index8) {
            k.effects |= kFxBlend;
            d.alpha = std::clamp(int(std::lround(p.opacity * 256.0f)), 0, 256);
        } else if (IsLive(p.blendTable) && p.blendTable->width >= 256 && p.blendTable->height >= 256) {
            k.effects |= kFxBlend;
            d.blend = p.blendTable->indices.data();
        } else if (!(k.effects & kFxDoor) && p.opacity < 1) {
            // No table to mix indices by: the opacity's share of the pixels
            // is drawn, picked by the ordered-dither matrix.
            const int level = std::clamp(int(std::lround(p.opacity * 16.0f)), 0, 16);
            if (level < 16) {
                k.effects |= kFxDoor;
                d.door = kShareDoors.below[level];
                d.doorWidth = d.doorHeight = 4;
            }
        }
    }
    SelectLoops(&d);
    ResolveMipLevels(p, v, mirrors, g);
    return true;
}

// ---- lighting ------------------------------------------------------------------------

struct Rgb {
    float r, g, b;
};

// A light as the vertex loop reads it: its colour as fractions.
struct ActiveLight {
    hx_token type;
    hx_vector3 position, direction;
    float r, g, b;
    float attenuationC, attenuationL, attenuationQ;
    float spotOuter, spotInner;
};

struct LightSet {
    ActiveLight lights[kMaxLights];
    int n = 0;
    explicit LightSet(const State& s)
    {
        for (const LightEntry& l : s.lights) {
            if (l.type != HXT_DIRECT && l.type != HXT_POINT && l.type != HXT_SPOT)
                continue;
            lights[n++] = {l.type,
                           l.position,
                           l.direction,
                           float((l.colour >> 16) & 255) / 255.0f,
                           float((l.colour >> 8) & 255) / 255.0f,
                           float(l.colour & 255) / 255.0f,
                           l.attenuationC,
                           l.attenuationL,
                           l.attenuationQ,
                           l.spotOuter,
                           l.spotInner};
        }
    }
};

float Dot(const hx_vector3& a, const hx_vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// What one light reflects towards the eye (before attenuation), from the
// cosines of the normal with the light and with the half vector (which
// only a specular surface reads).
float Reflected(const SurfacePart& sf, float ndotl, float ndoth)
{
    float k = sf.kd * ndotl;
    if (sf.ks > 0 && ndoth > 0)
        k += sf.ks * std::pow(ndoth, sf.power);
    return k;
}

// The half vector of a light direction and the view's (0, 0, 1) (the
// eye taken as far away), not yet of unit length.
hx_vector3 HalfVector(const hx_vector3& toLight)
{
    return {toLight.x, toLight.y, toLight.z + 1};
}

// The light at a point of the view with the unit view normal n.
Rgb Light(const LightSet& set, const SurfacePart& sf, const hx_vector3& p, hx_vector3 n)
{
    Rgb out = {sf.ka, sf.ka, sf.ka};
    for (int i = 0; i < set.n; ++i) {
        const ActiveLight& l = set.lights[i];
        hx_vector3 toLight;
        float attenuation = 1;
        if (l.type == HXT_DIRECT) {
            toLight = l.direction;
        } else {
            toLight = {l.position.x - p.x, l.position.y - p.y, l.position.z - p.z};
            const float dist = std::sqrt(Dot(toLight, toLight));
            if (dist > 0)
                toLight = {toLight.x / dist, toLight.y / dist, toLight.z / dist};
            const float a = l.attenuationC + l.attenuationL * dist + l.attenuationQ * dist * dist;
            attenuation = a > 0 ? 1 / a : 1;
            if (l.type == HXT_SPOT) {
                // The spot points along its direction; cosines between inner and outer fade.
                const float c = -Dot(toLight, l.direction);
                if (c < l.spotOuter)
                    continue;
                if (c < l.spotInner && l.spotInner > l.spotOuter)
                    attenuation *= (c - l.spotOuter) / (l.spotInner - l.spotOuter);
            }
        }
        const float ndotl = Dot(n, toLight);
        if (ndotl <= 0)
            continue;
        float ndoth = 0;
        if (sf.ks > 0) {
            const hx_vector3 h = HalfVector(toLight);
            const float len = std::sqrt(Dot(h, h));
            ndoth = len > 0 ? Dot(n, h) / len : 0;
        }
        const float k = Reflected(sf, ndotl, ndoth) * attenuation;
        out.r += k * l.r;
        out.g += k * l.g;
        out.b += k * l.b;
    }
    return out;
}

// Directional lights seen from a model. Where the model-to-view matrix
// only turns and scales evenly (rows orthogonal, all of length s), the
// unit view normal of a unit model normal n is n M / s, and its cosine with
// a view direction d is n . (M d) / s: the lights' directions and half
// vectors are taken back into the model once, and a vertex is lit from its
// model normal without transforming it. Point and spot lights, and other
// matrices, leave `usable` false and are lit in the view.
struct ModelLights {
    struct Directional {
        hx_vector3 toLight, half;
        float r, g, b;
    };
    Directional lights[kMaxLights];
    int n = 0;
    bool usable = false;

    ModelLights(const LightSet& set, const hx_matrix34& m)
    {
        const hx_vector3 row[3] = {{m.m[0][0], m.m[0][1], m.m[0][2]},
                                   {m.m[1][0], m.m[1][1], m.m[1][2]},
                                   {m.m[2][0], m.m[2][1], m.m[2][2]}};
        const float s2 = Dot(row[0], row[0]);
        // A rotation built in floats is orthogonal to about 1e-7.
        const float tolerance = 1e-5f * s2;
        if (!(s2 > 0))
            return;
        for (int i = 0; i < 3; ++i)
            for (int j = i; j < 3; ++j)
                if (std::fabs(Dot(row[i], row[j]) - (i == j ? s2 : 0.0f)) > tolerance)
                    return;
        const float toModel = 1 / std::sqrt(s2);
        auto back = [&](const hx_vector3& d) {
            return hx_vector3{Dot(row[0], d) * toModel, Dot(row[1], d) * toModel, Dot(row[2], d) * toModel};
        };
        for (int i = 0; i < set.n; ++i) {
            const ActiveLight& l = set.lights[i];
            if (l.type != HXT_DIRECT)
                return;
            const hx_vector3 h = HalfVector(l.direction);
            const float len = std::sqrt(Dot(h, h));
            const hx_vector3 half = len > 0 ? hx_vector3{h.x / len, h.y / len, h.z / len} : hx_vector3{0, 0, 0};
            lights[n++] = {back(l.direction), back(half), l.r, l.g, l.b};
        }
        usable = true;
    }
};

// The light of a model normal (ModelLights usable). Prepared normals are
// of unit length; custom ones may be of any, and are made unit as the
// view's lighting makes its normals.
[[gnu::always_inline]] inline Rgb LightInModel(const ModelLights& set, const SurfacePart& sf, hx_vector3 n)
{
    const float len2 = Dot(n, n);
    if (std::fabs(len2 - 1) > 1e-5f && len2 > 0) {
        const float k = 1.0f / std::sqrt(len2);
        n = {n.x * k, n.y * k, n.z * k};
    }
    Rgb out = {sf.ka, sf.ka, sf.ka};
    for (int i = 0; i < set.n; ++i) {
        const ModelLights::Directional& l = set.lights[i];
        // A light behind the surface adds nothing: its cosine is taken as
        // zero without a branch, which the vertices of a curved model keep
        // mispredicting ((d + |d|) / 2 is d, exactly, or zero).
        const float d = Dot(n, l.toLight);
        const float ndotl = 0.5f * (d + std::fabs(d));
        const float k = Reflected(sf, ndotl, sf.ks > 0 && ndotl > 0 ? Dot(n, l.half) : 0);
        out.r += k * l.r;
        out.g += k * l.g;
        out.b += k * l.b;
    }
    return out;
}

hx_vector3 TransformPoint(const hx_matrix34& m, const hx_vector3& p)
{
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

hx_vector3 TransformNormal(const hx_matrix34& m, const hx_vector3& n)
{
    hx_vector3 o = {n.x * m.m[0][0] + n.y * m.m[1][0] + n.z * m.m[2][0],
                    n.x * m.m[0][1] + n.y * m.m[1][1] + n.z * m.m[2][1],
                    n.x * m.m[0][2] + n.y * m.m[1][2] + n.z * m.m[2][2]};
    const float len2 = o.x * o.x + o.y * o.y + o.z * o.z;
    if (len2 > 0) {
        const float k = 1.0f / std::sqrt(len2);
        o = {o.x * k, o.y * k, o.z * k};
    }
    return o;
}

// The colour values of the span units from a light level (or a prelit
// colour word).
[[gnu::always_inline]] inline void ShadeVertex(const GroupSetup& g, const Rgb& light, uint32_t word, float* c)
{
    const PrimitivePart& p = *g.mat.prim;
    if (g.draw.key.out == OutKind::Index8) {
        float level;
        if (g.prelit && !g.textured) {
            // The vertex's own index, held within the material's ramp: an
            // index below the ramp (0, the sky sphere's seams) is its
            // darkest entry, never a level below it.
            c[0] = float(std::clamp(int(word >> 24) - p.indexBase, 0, g.ramp)) + 0.5f;
            return;
        }
        if (g.prelit)
            level = (0.299f * float((word >> 16) & 255) + 0.587f * float((word >> 8) & 255) +
                     0.114f * float(word & 255)) /
                    255.0f;
        else if (g.lit)
            level = 0.299f * light.r + 0.587f * light.g + 0.114f * light.b;
        else
            level = 1;
        level = std::clamp(level, 0.0f, 1.0f);
        if (g.textured) // the middle of the row, so that dithering stays within it
            c[0] = std::min(level * float(g.shadeRows - 1) + 0.5f, float(g.shadeRows) - 0.5f);
        else
            c[0] = level * float(g.ramp) + 0.5f; // the nearest ramp entry
        return;
    }
    float r = 1, gr = 1, b = 1;
    if (g.prelit) {
        r = float((word >> 16) & 255) / 255.0f, gr = float((word >> 8) & 255) / 255.0f, b = float(word & 255) / 255.0f;
    } else if (g.lit) {
        r = light.r, gr = light.g, b = light.b;
    }
    if (g.textured) {
        if (!g.modulate)
            r = gr = b = 1;
        c[0] = std::clamp(r * 256.0f, 0.0f, 256.0f);
        c[1] = std::clamp(gr * 256.0f, 0.0f, 256.0f);
        c[2] = std::clamp(b * 256.0f, 0.0f, 256.0f);
    } else {
        const uint32_t colour = g.prelit ? 0xFFFFFF : p.colour;
        c[0] = std::clamp(r * float((colour >> 16) & 255), 0.0f, 255.0f) + 0.5f;
        c[1] = std::clamp(gr * float((colour >> 8) & 255), 0.0f, 255.0f) + 0.5f;
        c[2] = std::clamp(b * float(colour & 255), 0.0f, 255.0f) + 0.5f;
        c[0] = std::min(c[0], 255.5f), c[1] = std::min(c[1], 255.5f), c[2] = std::min(c[2], 255.5f);
    }
}

// ---- per model ---------------------------------------------------------------------------

struct ModelPass {
    Renderer* r;
    const State* s;
    Matrix4 toScreen;
    Target target;
    bool zsort;
    int userPlanes;
    bool parallel;
    hx_vector3 eye; // the eye in model space (perspective), or the view direction (parallel)
    float halfW, halfH;
    const LightSet* lights;
    const ModelLights* modelLights; // null where they are not usable
};

ScreenVertex Project(const ModelPass& mp, const ClipVertex& v, const GroupSetup& g)
{
    ScreenVertex o;
    const float q = 1.0f / v.w;
    o.x = v.x * q * mp.halfW + mp.halfW + 0.5f;
    o.y = -v.y * q * mp.halfH + mp.halfH + 0.5f;
    o.z = -32767.0 * double(v.z) * double(q) * 65536.0 + 2147483648.0;
    o.q = q;
    for (int i = 0; i < 3; ++i)
        o.c[i] = v.c[i];
    if (g.draw.key.tex == TexKind::Perspective) {
        o.u = v.u * q, o.v = v.v * q;
    } else {
        o.u = v.u, o.v = v.v;
    }
    o.fog = v.fog;
    return o;
}

// The eye in model space (the view's origin taken back through the
// model-to-view matrix), or for a parallel view the direction towards the
// viewer (view +z taken back).
bool EyeInModel(const hx_matrix34& m, bool parallel, hx_vector3* out)
{
    hx_matrix34 inverse;
    if (!InvertMatrix34(&inverse, m))
        return false;
    const int row = parallel ? 2 : 3;
    *out = {inverse.m[row][0], inverse.m[row][1], inverse.m[row][2]};
    return true;
}

// Front-facing: the eye lies on the side of the face's plane (n.p = d)
// that its normal points to.
bool FacesEye(const ModelPass& mp, const hx_prepared_face& f)
{
    const float along = f.n.x * mp.eye.x + f.n.y * mp.eye.y + f.n.z * mp.eye.z;
    return mp.parallel ? along > 0 : along - f.d > 0;
}

// ---- Z-sort primitives in the heap --------------------------------------------------

enum class PrimKind : uint8_t {
    Triangle,
    Line,
    Point
};
struct Primitive {
    void* next; // the order table's chain
    const DrawSetup* setup;
    PrimKind kind;
    ScreenVertex v[3];
};

void* HeapTake(const State& s, size_t bytes)
{
    auto* heap = static_cast<hx_primitive_heap*>(s.hidden.heap);
    if (!heap || !heap->start || !heap->current)
        return nullptr;
    auto* start = static_cast<uint8_t*>(heap->start);
    auto at = reinterpret_cast<uintptr_t>(heap->current);
    at = (at + 15) & ~uintptr_t(15);
    if (at + bytes > reinterpret_cast<uintptr_t>(start) + heap->size)
        return nullptr;
    heap->current = reinterpret_cast<void*>(at + bytes);
    return reinterpret_cast<void*>(at);
}

// A corner's texture coordinate in texels (perspective screen
// coordinates are u/w and v/w).
float Texels(const ScreenVertex& v, float ScreenVertex::*coordinate, bool perspective)
{
    return perspective ? v.*coordinate / v.q : v.*coordinate;
}

// The mip levels of a triangle of a map-antialiased group, from half the
// log2 of the area it covers in level-0 texels over its area in pixels
// (within the chain): `level` is that rounded down; under linear mip
// interpolation `share` (in sixteenths, 0-15) of its pixels take the next
// level instead, those of the ordered-dither matrix's lowest thresholds,
// so that the picture moves from one level to the next by degrees. A
// group with a screen door of its own has no pixels to share out and
// takes the nearer level. A triangle at 1:1 or magnified stays on level 0.
struct MipChoice {
    int level, share;
};
MipChoice ChooseMip(const GroupSetup& g, const ScreenVertex* const* v)
{
    const bool perspective = g.draw.key.tex == TexKind::Perspective;
    double u[3], t[3];
    for (int i = 0; i < 3; ++i)
        u[i] = Texels(*v[i], &ScreenVertex::u, perspective), t[i] = Texels(*v[i], &ScreenVertex::v, perspective);
    const double texels = std::fabs((u[1] - u[0]) * (t[2] - t[0]) - (u[2] - u[0]) * (t[1] - t[0]));
    const double pixels = std::fabs(double(v[1]->x - v[0]->x) * double(v[2]->y - v[0]->y) -
                                    double(v[2]->x - v[0]->x) * double(v[1]->y - v[0]->y));
    if (!(pixels > 0) || !(texels > pixels))
        return {0, 0}; // not minified, nothing to draw, or not a number
    const double half = std::min(0.5 * std::log2(texels / pixels), double(g.mipLevels - 1));
    MipChoice c = {int(std::floor(half)), 0};
    if (g.mipBlend) {
        c.share = int(std::lround((half - c.level) * 16));
        if (g.draw.key.effects & kFxDoor)
            c.share = c.share >= 8 ? 16 : 0;
        if (c.share == 16)
            ++c.level, c.share = 0;
    }
    return c;
}

// A mip level's set-up drawn through the door of one side of a share of
// mixed levels: the share's pixels for the next level, the rest for the
// level below it.
DrawSetup Mixed(const DrawSetup& level, int share, bool next)
{
    DrawSetup d = level;
    d.key.effects |= kFxDoor;
    d.door = next ? kShareDoors.below[share] : kShareDoors.from[share];
    d.doorWidth = d.doorHeight = 4;
    SelectLoops(&d);
    return d;
}

struct Emitter {
    const ModelPass* mp;
    const GroupSetup* g;
    // The group's set-ups copied into the heap (Z-sort), by mip level and,
    // for mixed levels, by share and side (see Mixed).
    const DrawSetup* heapSetup[kMaxMipLevels][16][2] = {};
    bool heapFull = false;

    void Bucket(PrimKind kind, const ScreenVertex* const* v, int n, const float* w, int level = 0, int share = 0,
                bool next = false)
    {
        const State& s = *mp->s;
        hx_order_table* table = s.hidden.table;
        if (!table || !table->buckets || table->size == 0 || !host.bucketSelect || !host.primitiveInsert ||
            heapFull)
            return;
        const DrawSetup*& setup = heapSetup[level][share][next ? 1 : 0];
        if (!setup) {
            auto* copy = static_cast<DrawSetup*>(HeapTake(s, sizeof(DrawSetup)));
            if (!copy) {
                heapFull = true;
                return;
            }
            *copy = share ? Mixed(g->Level(level), share, next) : g->Level(level);
            copy->bounds = nullptr;
            setup = copy;
        }
        auto* p = static_cast<Primitive*>(HeapTake(s, sizeof(Primitive)));
        if (!p) {
            heapFull = true;
            return;
        }
        p->next = nullptr;
        p->setup = setup;
        p->kind = kind;
        for (int i = 0; i < n; ++i)
            p->v[i] = *v[i];
        const hx_token type = kind == PrimKind::Triangle ? HXT_TRIANGLE : kind == PrimKind::Line ? HXT_LINE
                                                                                                 : HXT_POINT;
        const uint16_t bucket = g->mat.surf->forceFront
                                    ? 0
                                    : host.bucketSelect(w, type, table->min_z, table->max_z, table->size, table->type);
        host.primitiveInsert(table, p, bucket);
        if (s.hidden.insert) {
            auto fn = reinterpret_cast<hx_order_insert_cbfn>(s.hidden.insert);
            fn(p, s.hidden.insertArgs[0], s.hidden.insertArgs[1], s.hidden.insertArgs[2]);
        }
        // The rectangle a Z-sorted primitive will cover: its corners' box.
        if (BoundsPart* b = g->draw.bounds) {
            for (int i = 0; i < n; ++i) {
                const float x = std::clamp(std::floor(v[i]->x), 0.0f, float(g->draw.width - 1));
                const float y = std::clamp(std::floor(v[i]->y), 0.0f, float(g->draw.height - 1));
                b->minX = std::min(b->minX, x), b->maxX = std::max(b->maxX, x);
                b->minY = std::min(b->minY, y), b->maxY = std::max(b->maxY, y);
            }
        }
    }

    // A triangle already on the screen; w: its corners' view distances.
    void Triangle(const ScreenVertex* const* v, const float* w)
    {
        if (g->mipLevels > 1)
            return MippedTriangle(v, w);
        if (mp->zsort)
            Bucket(PrimKind::Triangle, v, 3, w);
        else
            DrawTriangle(g->draw, *v[0], *v[1], *v[2]);
    }
    // A triangle of a map-antialiased group, drawn at its mip level, or
    // at two with their pixels shared out (out of line, so that the calls
    // of level 0 stay lean).
    [[gnu::noinline]] void MippedTriangle(const ScreenVertex* const* v, const float* w)
    {
        const MipChoice mip = ChooseMip(*g, v);
        AtLevel(v, w, mip.level, mip.share, false);
        if (mip.share)
            AtLevel(v, w, mip.level + 1, mip.share, true);
    }
    // The triangle at one mip level, its texel coordinates scaled to that
    // level's size, and for a share of mixed levels only on its side's pixels.
    void AtLevel(const ScreenVertex* const* v, const float* w, int level, int share, bool next)
    {
        ScreenVertex scaled[3];
        const ScreenVertex* at[3] = {v[0], v[1], v[2]};
        if (level > 0) {
            const float k = std::ldexp(1.0f, -level);
            for (int i = 0; i < 3; ++i) {
                scaled[i] = *v[i];
                scaled[i].u *= k;
                scaled[i].v *= k;
                at[i] = &scaled[i];
            }
        }
        if (mp->zsort)
            Bucket(PrimKind::Triangle, at, 3, w, level, share, next);
        else if (share)
            DrawTriangle(Mixed(g->Level(level), share, next), *at[0], *at[1], *at[2]);
        else
            DrawTriangle(g->Level(level), *at[0], *at[1], *at[2]);
    }
    void Line(const ClipVertex& a, const ClipVertex& b)
    {
        const ScreenVertex v[2] = {Project(*mp, a, *g), Project(*mp, b, *g)};
        if (mp->zsort) {
            const float w[2] = {a.wView, b.wView};
            const ScreenVertex* const ends[2] = {&v[0], &v[1]};
            Bucket(PrimKind::Line, ends, 2, w);
        } else {
            DrawLine(g->draw, v[0], v[1]);
        }
    }
    void Point(const ClipVertex& a)
    {
        const ScreenVertex v = Project(*mp, a, *g);
        if (mp->zsort) {
            const float w = a.wView;
            const ScreenVertex* const at = &v;
            Bucket(PrimKind::Point, &at, 1, &w);
        } else {
            DrawPoint(g->draw, v);
        }
    }
};

// Keeps the texture coordinates of a wrapped triangle small: whole
// repeats are taken off so that the 16.16 spans do not overflow. A corner
// that changes is copied into `own` (same index) first and its pointer
// turned to the copy; most triangles need no change and no copy.
void RebaseWrapped(const ScreenVertex** v, int n, const GroupSetup& g, ScreenVertex* own)
{
    if (!g.textured)
        return;
    const bool perspective = g.draw.key.tex == TexKind::Perspective;
    auto repeats = [&](float ScreenVertex::*coordinate, int shift, bool clamp) {
        if (clamp)
            return 0.0f;
        float lo = 3.4e38f;
        for (int i = 0; i < n; ++i)
            lo = std::min(lo, Texels(*v[i], coordinate, perspective));
        const float period = float(1 << shift);
        if (lo >= 0 && lo < period)
            return 0.0f; // already within the first repeat
        return std::floor(lo / period) * period;
    };
    const float byU = repeats(&ScreenVertex::u, g.draw.texWidthShift, g.clampU);
    const float byV = repeats(&ScreenVertex::v, g.draw.texHeightShift, g.clampV);
    if (byU == 0 && byV == 0)
        return;
    for (int i = 0; i < n; ++i) {
        if (v[i] != &own[i]) {
            own[i] = *v[i];
            v[i] = &own[i];
        }
        own[i].u -= perspective ? byU * own[i].q : byU;
        own[i].v -= perspective ? byV * own[i].q : byV;
    }
}

// A projected corner's wrap flags: RebaseWrapped changes a triangle only
// when one of its corners is low or all three are high, and the face loop
// calls it only then. (A coordinate that is not a number is high, as the
// lowest corner ignores it; a clamped map's corners are only such ones,
// which RebaseWrapped then leaves as they are.)
uint32_t WrapFlags(const ScreenVertex& v, const GroupSetup& g)
{
    if (!g.textured)
        return 0;
    const bool perspective = g.draw.key.tex == TexKind::Perspective;
    const float u = Texels(v, &ScreenVertex::u, perspective), t = Texels(v, &ScreenVertex::v, perspective);
    return (u < g.wrapLoU ? kWrapLowU : 0u) | (u < g.wrapHiU ? 0u : kWrapHighU) | (t < g.wrapLoV ? kWrapLowV : 0u) |
           (t < g.wrapHiV ? 0u : kWrapHighV);
}

void DrawGroup(ModelPass& mp, const hx_prepared_group& group, const GroupSetup& g, hx_token primitive,
               std::vector<uint8_t>& scratch)
{
    const State& s = *mp.s;
    const int nv = group.nvertices;
    static_assert(sizeof(ClipVertex) % 8 == 0 && sizeof(ScreenVertex) % 8 == 0);
    const size_t need = (sizeof(ClipVertex) + sizeof(ScreenVertex) + sizeof(uint32_t) + sizeof(uint16_t) + 1) *
                            size_t(nv) +
                        sizeof(uint32_t) * size_t(group.nfaces);
    if (scratch.size() < need)
        scratch.resize(need);
    auto* cv = reinterpret_cast<ClipVertex*>(scratch.data());
    auto* sv = reinterpret_cast<ScreenVertex*>(scratch.data() + sizeof(ClipVertex) * nv);
    auto* codes = reinterpret_cast<uint32_t*>(scratch.data() + (sizeof(ClipVertex) + sizeof(ScreenVertex)) * nv);
    uint32_t* facing = codes + nv;                                      // the faces facing the eye, when the cull pass ran
    auto* corners = reinterpret_cast<uint16_t*>(facing + group.nfaces); // the corners worked out, in order
    auto* used = reinterpret_cast<uint8_t*>(corners + nv);
    const bool cullBack = g.mat.cull != HXT_TWO_SIDED && g.mat.cull != HXT_NONE;
    // Triangles culled from their plane first: a closed model seen from
    // outside turns about half its faces away, and the corners only they
    // use are neither transformed, lit nor projected; the face loop then
    // visits only the faces found facing.
    const bool onlyUsed = cullBack && primitive != HXT_POINT && primitive != HXT_LINE;
    int nfacing = 0;
    if (onlyUsed) {
        std::fill(used, used + nv, uint8_t(0));
        for (int f = 0; f < group.nfaces; ++f) {
            const hx_prepared_face& face = group.faces[f];
            const uint16_t i0 = face.vertices[0], i1 = face.vertices[1], i2 = face.vertices[2];
            if (i0 < nv && i1 < nv && i2 < nv && FacesEye(mp, face)) {
                used[i0] = used[i1] = used[i2] = 1;
                facing[nfacing++] = uint32_t(f);
            }
        }
    }
    // The corners to work out, listed without a branch: which corners the
    // facing faces use follows no pattern a predictor learns.
    int ncorners = 0;
    for (int i = 0; i < nv; ++i) {
        corners[ncorners] = uint16_t(i);
        ncorners += onlyUsed ? used[i] : 1;
    }
    const hx_matrix34& mv = s.matrix.modelToView;
    const Matrix4& m = mp.toScreen;
    const PrimitivePart& p = *g.mat.prim;
    const SurfacePart& sf = *g.mat.surf;
    const bool envInfinite = sf.mappingSource == HXT_ENVIRONMENT_INFINITE;
    const bool envLocal = sf.mappingSource == HXT_ENVIRONMENT_LOCAL;
    const bool flatLit = g.lit && !p.smooth;
    const bool smoothLit = g.lit && !flatLit;
    const bool needView = (smoothLit && !mp.modelLights) || g.fog || envInfinite || envLocal;
    const hx_matrix23& mm = sf.mapMatrix;
    const hx_matrix34& env = s.matrix.viewToEnvironment;
    uint32_t all = ~0u;
    for (int k = 0; k < ncorners; ++k) {
        const int i = corners[k];
        const hx_prepared_vertex& pv = group.vertices[i];
        ClipVertex& o = cv[i];
        const hx_vector3& q = pv.p;
        o.x = q.x * m.m[0][0] + q.y * m.m[1][0] + q.z * m.m[2][0] + m.m[3][0];
        o.y = q.x * m.m[0][1] + q.y * m.m[1][1] + q.z * m.m[2][1] + m.m[3][1];
        o.z = q.x * m.m[0][2] + q.y * m.m[1][2] + q.z * m.m[2][2] + m.m[3][2];
        o.w = q.x * m.m[0][3] + q.y * m.m[1][3] + q.z * m.m[2][3] + m.m[3][3];
        codes[i] = Outcode(o, s, mp.userPlanes);
        all &= codes[i];
        hx_vector3 view = {0, 0, 0}, normal = {0, 0, 1};
        if (needView) {
            view = TransformPoint(mv, q);
            normal = TransformNormal(mv, pv.n);
        }
        o.wView = -(q.x * mv.m[0][2] + q.y * mv.m[1][2] + q.z * mv.m[2][2] + mv.m[3][2]);
        Rgb light = {1, 1, 1};
        if (smoothLit)
            light = mp.modelLights ? LightInModel(*mp.modelLights, sf, pv.n) : Light(*mp.lights, sf, view, normal);
        const uint32_t word = group.vertex_colours ? group.vertex_colours[i] : 0;
        ShadeVertex(g, light, word, o.c);
        if (g.textured) {
            float u = pv.map.x, v = pv.map.y;
            if (envInfinite || envLocal) {
                hx_vector3 d = normal;
                if (envLocal) {
                    // The view vector reflected about the normal.
                    const float len = std::sqrt(view.x * view.x + view.y * view.y + view.z * view.z);
                    hx_vector3 e = len > 0 ? hx_vector3{view.x / len, view.y / len, view.z / len} : hx_vector3{0, 0, -1};
                    const float k = 2 * (e.x * normal.x + e.y * normal.y + e.z * normal.z);
                    d = {e.x - k * normal.x, e.y - k * normal.y, e.z - k * normal.z};
                }
                if (s.matrix.environmentHint == HXT_NONE)
                    d = TransformNormal(env, d);
                u = 0.5f + 0.5f * d.x, v = 0.5f - 0.5f * d.y;
            } else {
                const float mu = u * mm.m[0][0] + v * mm.m[1][0] + mm.m[2][0];
                const float mv2 = u * mm.m[0][1] + v * mm.m[1][1] + mm.m[2][1];
                u = mu, v = mv2;
            }
            o.u = u * g.mapScaleU;
            o.v = v * g.mapScaleV;
        } else {
            o.u = o.v = 0;
        }
        if (g.fog) {
            float f = std::clamp((-view.z - p.fogMin) / (p.fogMax - p.fogMin), 0.0f, 1.0f);
            o.fog = g.draw.key.out == OutKind::Index8
                        ? std::min(f * float(g.draw.fogRows - 1) + 0.5f, float(g.draw.fogRows) - 0.5f)
                        : f * 256.0f;
        } else {
            o.fog = 0;
        }
        // Corners that need no clipping are projected once, here.
        if (!(codes[i] & kClipBits)) {
            sv[i] = Project(mp, o, g);
            codes[i] |= WrapFlags(sv[i], g);
        }
    }
    if (all & kViewportBits)
        return; // the whole group lies outside one plane

    Emitter emit{&mp, &g};
    if (primitive == HXT_POINT) {
        for (int i = 0; i < nv; ++i)
            if (!(codes[i] & kViewportBits))
                emit.Point(cv[i]);
        return;
    }
    if (primitive == HXT_LINE) {
        std::vector<uint8_t> drawn(size_t(group.nedges) + 1, 0);
        for (int f = 0; f < group.nfaces; ++f) {
            const hx_prepared_face& face = group.faces[f];
            for (int e = 0; e < 3; ++e) {
                const uint16_t number = face.edges[e];
                if (number == 0 || number > group.nedges || drawn[number])
                    continue;
                drawn[number] = 1;
                const uint16_t ia = face.vertices[e], ib = face.vertices[(e + 1) % 3];
                if (ia >= nv || ib >= nv || (codes[ia] & codes[ib] & kViewportBits))
                    continue;
                ClipVertex seg[2] = {cv[ia], cv[ib]};
                const uint32_t cross = (codes[ia] | codes[ib]) & kClipBits;
                bool keep = true;
                for (uint32_t bit = 1; bit && keep; bit <<= 1) {
                    if (!(cross & bit))
                        continue;
                    const float da = PlaneDistance(bit, seg[0], s), db = PlaneDistance(bit, seg[1], s);
                    if (da < 0 && db < 0)
                        keep = false;
                    else if (da < 0)
                        seg[0] = Lerp(seg[0], seg[1], da / (da - db));
                    else if (db < 0)
                        seg[1] = Lerp(seg[0], seg[1], da / (da - db));
                }
                if (keep)
                    emit.Line(seg[0], seg[1]);
            }
        }
        return;
    }
    ClipVertex poly[24], clipScratch[24];
    // Here back faces are culled exactly when the cull pass ran.
    const int nvisit = onlyUsed ? nfacing : group.nfaces;
    for (int k = 0; k < nvisit; ++k) {
        const int f = onlyUsed ? int(facing[k]) : k;
        const hx_prepared_face& face = group.faces[f];
        const uint16_t i0 = face.vertices[0], i1 = face.vertices[1], i2 = face.vertices[2];
        if (!onlyUsed && (i0 >= nv || i1 >= nv || i2 >= nv))
            continue;
        const uint32_t c0 = codes[i0], c1 = codes[i1], c2 = codes[i2];
        if (c0 & c1 & c2 & kViewportBits)
            continue;
        // Flat faces take one colour: lit from the face's normal, or the
        // face's own colour word.
        float flat[3];
        bool isFlat = false;
        if (flatLit) {
            // A two-sided face seen from behind is lit from behind.
            const float side = onlyUsed || FacesEye(mp, face) ? 1.0f : -1.0f;
            Rgb light;
            if (mp.modelLights) {
                light = LightInModel(*mp.modelLights, sf, {side * face.n.x, side * face.n.y, side * face.n.z});
            } else {
                const hx_vector3 centre = TransformPoint(
                    mv, {(group.vertices[i0].p.x + group.vertices[i1].p.x + group.vertices[i2].p.x) / 3,
                         (group.vertices[i0].p.y + group.vertices[i1].p.y + group.vertices[i2].p.y) / 3,
                         (group.vertices[i0].p.z + group.vertices[i1].p.z + group.vertices[i2].p.z) / 3});
                const hx_vector3 n = TransformNormal(mv, face.n);
                light = Light(*mp.lights, sf, centre, {side * n.x, side * n.y, side * n.z});
            }
            ShadeVertex(g, light, 0, flat);
            isFlat = true;
        } else if (!p.smooth && g.prelit && group.face_colours) {
            ShadeVertex(g, {1, 1, 1}, group.face_colours[f], flat);
            isFlat = true;
        }
        const uint32_t cross = (c0 | c1 | c2) & kClipBits;
        if (!cross) {
            const ScreenVertex* t[3] = {&sv[i0], &sv[i1], &sv[i2]};
            ScreenVertex own[3];
            float w[3] = {}; // read by Z-sort renders only
            if (mp.zsort)
                w[0] = cv[i0].wView, w[1] = cv[i1].wView, w[2] = cv[i2].wView;
            if (isFlat)
                for (int k = 0; k < 3; ++k) {
                    own[k] = *t[k];
                    std::copy(flat, flat + 3, own[k].c);
                    t[k] = &own[k];
                }
            if (((c0 | c1 | c2) & kWrapLow) || (c0 & c1 & c2 & kWrapHigh))
                RebaseWrapped(t, 3, g, own);
            emit.Triangle(t, w);
            continue;
        }
        poly[0] = cv[i0], poly[1] = cv[i1], poly[2] = cv[i2];
        if (isFlat)
            for (int k = 0; k < 3; ++k)
                std::copy(flat, flat + 3, poly[k].c);
        const int n = ClipPolygon(poly, 3, cross, s, clipScratch);
        if (n < 3)
            continue;
        ScreenVertex on[24];
        for (int k = 0; k < n; ++k)
            on[k] = Project(mp, poly[k], g);
        const ScreenVertex* corner[24];
        for (int k = 0; k < n; ++k)
            corner[k] = &on[k];
        RebaseWrapped(corner, n, g, on);
        for (int k = 1; k + 1 < n; ++k) {
            const ScreenVertex* const t[3] = {&on[0], &on[k], &on[k + 1]};
            const float w[3] = {poly[0].wView, poly[k].wView, poly[k + 1].wView};
            emit.Triangle(t, w);
        }
    }
}

} // namespace

bool InvertMatrix34(hx_matrix34* out, const hx_matrix34& m)
{
    double a[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a[i][j] = m.m[i][j];
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    if (std::fabs(det) < 1e-30)
        return false;
    double inv[3][3];
    inv[0][0] = (a[1][1] * a[2][2] - a[1][2] * a[2][1]) / det;
    inv[0][1] = (a[0][2] * a[2][1] - a[0][1] * a[2][2]) / det;
    inv[0][2] = (a[0][1] * a[1][2] - a[0][2] * a[1][1]) / det;
    inv[1][0] = (a[1][2] * a[2][0] - a[1][0] * a[2][2]) / det;
    inv[1][1] = (a[0][0] * a[2][2] - a[0][2] * a[2][0]) / det;
    inv[1][2] = (a[0][2] * a[1][0] - a[0][0] * a[1][2]) / det;
    inv[2][0] = (a[1][0] * a[2][1] - a[1][1] * a[2][0]) / det;
    inv[2][1] = (a[0][1] * a[2][0] - a[0][0] * a[2][1]) / det;
    inv[2][2] = (a[0][0] * a[1][1] - a[0][1] * a[1][0]) / det;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out->m[i][j] = float(inv[i][j]);
    for (int j = 0; j < 3; ++j)
        out->m[3][j] = float(-(m.m[3][0] * inv[0][j] + m.m[3][1] * inv[1][j] + m.m[3][2] * inv[2][j]));
    return true;
}

void RenderModel(Renderer* r, const hx_prepared_model* model, hx_object* stored, hx_token primitive)
{
    if (!model || !model->groups)
        return;
    ModelPass mp;
    mp.r = r;
    mp.s = &r->current;
    const State& s = r->current;
    mp.zsort = s.hidden.type == HXT_BUCKET_SORT;
    if (!TargetOf(s, mp.zsort, &mp.target))
        return;
    mp.toScreen = ModelToScreen(s);
    mp.parallel = s.matrix.viewToScreenHint == HXT_PARALLEL;
    if (!EyeInModel(s.matrix.modelToView, mp.parallel, &mp.eye))
        return;
    mp.userPlanes = 0;
    for (int i = 0; i < kMaxClipPlanes; ++i)
        if (s.clips[i].type == HXT_PLANE)
            mp.userPlanes = i + 1;
    const LightSet lights(s);
    mp.lights = &lights;
    const ModelLights modelLights(lights, s.matrix.modelToView);
    mp.modelLights = modelLights.usable ? &modelLights : nullptr;
    mp.halfW = float(mp.target.width / 2);
    mp.halfH = float(mp.target.height / 2);
    if (s.output.colour) {
        mp.halfW = float(s.output.colour->width / 2);
        mp.halfH = float(s.output.colour->height / 2);
    }
    for (int gi = 0; gi < model->ngroups; ++gi) {
        const hx_prepared_group& group = model->groups[gi];
        if (group.nfaces == 0 && primitive != HXT_POINT)
            continue;
        const hx_object* state = group.material && group.material->stored ? group.material->stored : stored;
        GroupSetup g;
        if (!ResolveSetup(r, mp.target, MaterialOf(r, state), &g))
            continue;
        DrawGroup(mp, group, g, primitive, r->scratch);
    }
}

void RenderBuckets(Renderer* r, void** buckets, uint16_t size)
{
    (void)r;
    for (int b = int(size) - 1; b >= 0; --b) {
        for (auto* p = static_cast<Primitive*>(buckets[b]); p; p = static_cast<Primitive*>(p->next)) {
            switch (p->kind) {
            case PrimKind::Triangle: DrawTriangle(*p->setup, p->v[0], p->v[1], p->v[2]); break;
            case PrimKind::Line: DrawLine(*p->setup, p->v[0], p->v[1]); break;
            case PrimKind::Point: DrawPoint(*p->setup, p->v[0]); break;
            }
        }
    }
}

hx_token BoundsTest(Renderer* r, const hx_bounds3* box)
{
    if (box->min.x > box->max.x || box->min.y > box->max.y || box->min.z > box->max.z)
        return HXT_REJECT;
    const State& s = r->current;
    const Matrix4 m = ModelToScreen(s);
    int userPlanes = 0;
    for (int i = 0; i < kMaxClipPlanes; ++i)
        if (s.clips[i].type == HXT_PLANE)
            userPlanes = i + 1;
    uint32_t all = ~0u, any = 0;
    for (int i = 0; i < 8; ++i) {
        const hx_vector3 q = {(i & 1) ? box->max.x : box->min.x, (i & 2) ? box->max.y : box->min.y,
                              (i & 4) ? box->max.z : box->min.z};
        ClipVertex v{};
        v.x = q.x * m.m[0][0] + q.y * m.m[1][0] + q.z * m.m[2][0] + m.m[3][0];
        v.y = q.x * m.m[0][1] + q.y * m.m[1][1] + q.z * m.m[2][1] + m.m[3][1];
        v.z = q.x * m.m[0][2] + q.y * m.m[1][2] + q.z * m.m[2][2] + m.m[3][2];
        v.w = q.x * m.m[0][3] + q.y * m.m[1][3] + q.z * m.m[2][3] + m.m[3][3];
        const uint32_t code = Outcode(v, s, userPlanes) & kViewportBits;
        all &= code;
        any |= code;
    }
    if (all)
        return HXT_REJECT;
    return any ? HXT_PARTIAL : HXT_ACCEPT;
}

} // namespace softrend
