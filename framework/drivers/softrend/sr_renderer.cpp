// The software renderer's objects: the device with its renderer facility,
// the renderer (part values, the state stack, stored states, bounds tests,
// frame end), texture and table buffers, the geometry formats and stored
// geometry. Drawing itself is the geometry stage's (sr_geometry.cpp).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "framework/drivers/softrend/softrend.h"
#include "framework/drivers/softrend/sr_geometry.h"
#include "framework/drivers/softrend/sr_state.h"
#include "framework/pixelmap.h"
#include "framework/token_ids.h"

namespace softrend {

void StateCopyParts(State* to, const State& from, uint32_t mask)
{
    if (mask & kPartPrimitive)
        to->primitive = from.primitive;
    if (mask & kPartSurface)
        to->surface = from.surface;
    if (mask & kPartCull)
        to->cull = from.cull;
    if (mask & kPartMatrix)
        to->matrix = from.matrix;
    if (mask & kPartOutput)
        to->output = from.output;
    if (mask & kPartHidden)
        to->hidden = from.hidden;
    if (mask & kPartEnable)
        to->boundsEnabled = from.boundsEnabled;
    if (mask & kPartBounds)
        to->bounds = from.bounds;
    if (mask & kPartLight)
        std::copy(std::begin(from.lights), std::end(from.lights), to->lights);
    if (mask & kPartClip)
        std::copy(std::begin(from.clips), std::end(from.clips), to->clips);
}

namespace {

Renderer* RendererOf(hx_object* o)
{
    return reinterpret_cast<Renderer*>(o);
}

template <typename T>
void Erase(std::vector<T*>& list, T* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// ---- buffers -----------------------------------------------------------------------

int CeilLog2(int n)
{
    int s = 0;
    while ((1 << s) < n)
        ++s;
    return s;
}

// The pixel at (x, y) of a memory pixelmap as 0xRRGGBB, and its index for
// indexed pixelmaps (0 otherwise).
uint32_t ReadPixel(const hx_pixelmap* pm, int x, int y, uint8_t* index)
{
    const uint8_t* row = static_cast<const uint8_t*>(pm->pixels) + (intptr_t(pm->base_y) + y) * pm->row_bytes;
    const int bx = pm->base_x + x;
    *index = 0;
    switch (pm->type) {
    case HX_PMT_INDEX_8: {
        const uint8_t i = row[bx];
        *index = i;
        const hx_pixelmap* pal = pm->map;
        if (pal && pal->pixels && pal->width * pal->height > i &&
            (pal->type == HX_PMT_RGBX_888 || pal->type == HX_PMT_RGBA_8888)) {
            const auto* p = static_cast<const uint8_t*>(pal->pixels) + intptr_t(pal->base_y) * pal->row_bytes +
                            (intptr_t(pal->base_x) + i) * 4;
            return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        return uint32_t(i) << 16 | uint32_t(i) << 8 | i;
    }
    case HX_PMT_RGB_565: {
        uint16_t p;
        std::memcpy(&p, row + bx * 2, 2);
        return uint32_t((p >> 11) << 3) << 16 | uint32_t(((p >> 5) & 63) << 2) << 8 | uint32_t((p & 31) << 3);
    }
    case HX_PMT_RGB_555: {
        uint16_t p;
        std::memcpy(&p, row + bx * 2, 2);
        return uint32_t(((p >> 10) & 31) << 3) << 16 | uint32_t(((p >> 5) & 31) << 3) << 8 | uint32_t((p & 31) << 3);
    }
    case HX_PMT_RGB_888: {
        const uint8_t* p = row + bx * 3;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    case HX_PMT_RGBX_888:
    case HX_PMT_RGBA_8888: {
        const uint8_t* p = row + bx * 4;
        return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    default:
        return 0;
    }
}

bool Readable(const hx_pixelmap* pm)
{
    if (!pm || !pm->pixels || pm->width == 0 || pm->height == 0)
        return false;
    switch (pm->type) {
    case HX_PMT_INDEX_8:
    case HX_PMT_RGB_565:
    case HX_PMT_RGB_555:
    case HX_PMT_RGB_888:
    case HX_PMT_RGBX_888:
    case HX_PMT_RGBA_8888:
        return true;
    default:
        return false;
    }
}

// Reads a texture (padded to powers of two by nearest sampling, at most
// 1024 a side) or a table (bytes as they are) from the pixelmap.
void BufferFill(Buffer* b, hx_pixelmap* pm, hx_token use)
{
    b->indices.clear();
    b->rgb.clear();
    for (auto& v : b->mirrored)
        v = {};
    b->width = b->height = 0;
    if (!Readable(pm))
        return;
    uint8_t index;
    if (use == HXT_COLOUR_MAP_O) {
        b->widthShift = std::min(CeilLog2(pm->width), 10);
        b->heightShift = std::min(CeilLog2(pm->height), 10);
        b->width = 1 << b->widthShift;
        b->height = 1 << b->heightShift;
        b->indices.resize(size_t(b->width) * b->height);
        b->rgb.resize(size_t(b->width) * b->height);
        for (int y = 0; y < b->height; ++y)
            for (int x = 0; x < b->width; ++x) {
                const int sx = int(int64_t(x) * pm->width / b->width), sy = int(int64_t(y) * pm->height / b->height);
                const uint32_t rgb = ReadPixel(pm, sx, sy, &index);
                const bool zero = pm->type == HX_PMT_INDEX_8 ? index == 0 : rgb == 0;
                b->indices[size_t(y) * b->width + x] = index;
                b->rgb[size_t(y) * b->width + x] = rgb | (zero ? 0x1000000u : 0u);
            }
        return;
    }
    if (pm->type != HX_PMT_INDEX_8)
        return;
    b->width = pm->width;
    b->height = pm->height;
    b->indices.resize(size_t(b->width) * b->height);
    for (int y = 0; y < b->height; ++y)
        for (int x = 0; x < b->width; ++x) {
            ReadPixel(pm, x, y, &index);
            b->indices[size_t(y) * b->width + x] = index;
        }
}

void BufferFree(hx_object* self)
{
    auto* b = reinterpret_cast<Buffer*>(self);
    // The record stays until the renderer goes (see Buffer).
    b->live = false;
    b->indices = {};
    b->rgb = {};
    for (auto& v : b->mirrored)
        v = {};
}
const char* BufferIdentifier(hx_object*)
{
    return "Softrend-Buffer";
}
hx_token BufferType(hx_object*)
{
    return HXT_BUFFER_STORED;
}
hx_error BufferUpdate(hx_object* self, hx_pixelmap* pm, const hx_token_value*)
{
    auto* b = reinterpret_cast<Buffer*>(self);
    if (!b->live)
        return HXE_FAIL;
    // A map keeps its texture form; a table its bytes: the form follows
    // what the buffer was made for.
    BufferFill(b, pm, b->widthShift || b->heightShift || !b->rgb.empty() ? HXT_COLOUR_MAP_O : HXT_UNKNOWN);
    return HX_OK;
}
const hx_buffer_stored_dispatch kBufferClass = {
    .object = {.free = BufferFree, .identifier = BufferIdentifier, .type = BufferType},
    .update = BufferUpdate,
};

// ---- stored states -------------------------------------------------------------------

void StoredStateFree(hx_object* self)
{
    auto* s = reinterpret_cast<StoredState*>(self);
    Erase(s->owner->states, s);
    delete s;
}
const char* StoredStateIdentifier(hx_object*)
{
    return "Softrend-State";
}
hx_token StoredStateType(hx_object*)
{
    return HXT_RENDERER_STATE_STORED;
}
const hx_object_dispatch kStoredStateClass = {
    .free = StoredStateFree, .identifier = StoredStateIdentifier, .type = StoredStateType};

// ---- geometry formats ----------------------------------------------------------------

const char* FormatIdentifier(hx_object*)
{
    return "Softrend-Format";
}
void FormatFree(hx_object*)
{
    // Formats belong to their renderer and go with it.
}
hx_token V1ModelType(hx_object*)
{
    return HXT_GEOMETRY_V1_MODEL;
}
hx_error V1Render(hx_object* self, hx_object*, const hx_prepared_model* m, hx_object* state, hx_token primitive)
{
    RenderModel(reinterpret_cast<Format*>(self)->owner, m, state, primitive);
    return HX_OK;
}

void StoredGeometryFree(hx_object* self)
{
    auto* g = reinterpret_cast<StoredGeometry*>(self);
    Erase(g->owner->geometries, g);
    delete g;
}
const char* StoredGeometryIdentifier(hx_object*)
{
    return "Softrend-Geometry";
}
hx_token StoredGeometryType(hx_object*)
{
    return HXT_GEOMETRY_STORED;
}
hx_error StoredGeometryQuery(hx_object*, hx_value* value, hx_token t)
{
    if (t != HXT_SHARED_B)
        return HXE_UNKNOWN_TOKEN;
    value->i = 1; // the copy draws from the prepared block, which must stay
    return HX_OK;
}
hx_error StoredGeometryRender(hx_object* self, hx_object*, hx_object* state, hx_token primitive)
{
    auto* g = reinterpret_cast<StoredGeometry*>(self);
    RenderModel(g->owner, g->model, state, primitive);
    return HX_OK;
}
const hx_geometry_stored_dispatch kStoredGeometryClass = {
    .object = {.free = StoredGeometryFree,
               .identifier = StoredGeometryIdentifier,
               .type = StoredGeometryType,
               .query = StoredGeometryQuery},
    .render = StoredGeometryRender,
    .renderOnScreen = StoredGeometryRender,
};

hx_error V1StoredNew(hx_object* self, hx_object*, hx_object** out, const hx_prepared_model* m, hx_token,
                     const hx_token_value*)
{
    Renderer* r = reinterpret_cast<Format*>(self)->owner;
    auto* g = new (std::nothrow) StoredGeometry{{&kStoredGeometryClass.object}, r, m};
    if (!g)
        return HXE_NO_MEMORY;
    r->geometries.push_back(g);
    *out = &g->object;
    return HX_OK;
}
const hx_geometry_v1_model_dispatch kV1ModelClass = {
    .object = {.free = FormatFree, .identifier = FormatIdentifier, .type = V1ModelType},
    .render = V1Render,
    .renderOnScreen = V1Render,
    .storedNew = V1StoredNew,
};

hx_token V1BucketsType(hx_object*)
{
    return HXT_GEOMETRY_V1_BUCKETS;
}
hx_error BucketsRender(hx_object* self, hx_object*, void** buckets, uint16_t size)
{
    if (buckets)
        RenderBuckets(reinterpret_cast<Format*>(self)->owner, buckets, size);
    return HX_OK;
}
const hx_geometry_v1_buckets_dispatch kV1BucketsClass = {
    .object = {.free = FormatFree, .identifier = FormatIdentifier, .type = V1BucketsType},
    .render = BucketsRender,
};

hx_token LightingType(hx_object*)
{
    return HXT_GEOMETRY_LIGHTING;
}
const hx_object_dispatch kLightingClass = {.free = FormatFree, .identifier = FormatIdentifier, .type = LightingType};

// ---- part values -------------------------------------------------------------------

// A buffer object given as a value: only this renderer's live buffers count.
Buffer* BufferValue(Renderer* r, hx_value v)
{
    auto* b = static_cast<Buffer*>(v.p);
    if (!b || std::find(r->buffers.begin(), r->buffers.end(), b) == r->buffers.end())
        return nullptr;
    return b;
}

bool Flag(hx_value v)
{
    return v.i != 0;
}

hx_vector3 Unit(const hx_vector3& d)
{
    const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return len > 0 ? hx_vector3{d.x / len, d.y / len, d.z / len} : d;
}

hx_error SetPrimitive(Renderer* r, PrimitivePart& p, hx_token t, hx_value v)
{
    switch (t) {
    case HXT_COLOUR_RGB: p.colour = uint32_t(v.u) & 0xFFFFFF; break;
    case HXT_OPACITY_F: p.opacity = std::clamp(v.f, 0.0f, 1.0f); break;
    case HXT_MODULATE_B: p.modulate = Flag(v); break;
    case HXT_BLEND_B: p.blend = Flag(v); break;
    case HXT_SMOOTH_B: p.smooth = Flag(v); break;
    case HXT_ZTRANSPARENCY_B: p.ztransparency = Flag(v); break;
    case HXT_PERSPECTIVE_B: p.perspective = Flag(v); break;
    case HXT_PERSPECTIVE_T: p.perspective = v.t == HXT_SUBDIVIDE || v.t == HXT_DEFAULT; break;
    case HXT_SUBDIVIDE_TOLERANCE_I32: p.subdivideTolerance = int32_t(v.i); break;
    case HXT_DECAL_B: p.decal = Flag(v); break;
    case HXT_DITHER_MAP_B: p.ditherMap = Flag(v); break;
    case HXT_DITHER_COLOUR_B: p.ditherColour = Flag(v); break;
    case HXT_INDEX_BASE_I32: p.indexBase = int32_t(std::clamp<intptr_t>(v.i, 0, 255)); break;
    case HXT_INDEX_RANGE_I32: p.indexRange = int32_t(std::clamp<intptr_t>(v.i, 0, 255)); break;
    case HXT_MAP_INTERPOLATION_T: p.mapInterpolation = v.t; break;
    case HXT_MAP_ANTIALIASING_T: p.mapAntialiasing = v.t; break;
    case HXT_MIP_INTERPOLATION_T: p.mipInterpolation = v.t; break;
    case HXT_ANTIALIASING_T: break; // edges are not antialiased
    case HXT_MAP_WIDTH_LIMIT_T: p.widthLimit = v.t; break;
    case HXT_MAP_HEIGHT_LIMIT_T: p.heightLimit = v.t; break;
    case HXT_FOG_T: p.fog = v.t; break;
    case HXT_FOG_MIN_F: p.fogMin = v.f; break;
    case HXT_FOG_MAX_F: p.fogMax = v.f; break;
    case HXT_FOG_RGB: p.fogColour = uint32_t(v.u) & 0xFFFFFF; break;
    case HXT_COLOUR_MAP_O: p.colourMap = BufferValue(r, v); break;
    case HXT_INDEX_SHADE_O: p.shade = BufferValue(r, v); break;
    case HXT_INDEX_BLEND_O: p.blendTable = BufferValue(r, v); break;
    case HXT_INDEX_FOG_O: p.fogTable = BufferValue(r, v); break;
    case HXT_SCREEN_DOOR_O: p.screenDoor = BufferValue(r, v); break;
    default: return HXE_UNKNOWN_TOKEN;
    }
    return HX_OK;
}

hx_error SetSurface(SurfacePart& s, hx_token t, hx_value v)
{
    switch (t) {
    case HXT_COLOUR_RGB: s.colour = uint32_t(v.u) & 0xFFFFFF; break;
    case HXT_OPACITY_F: s.opacity = v.f; break;
    case HXT_AMBIENT_F: s.ka = v.f; break;
    case HXT_DIFFUSE_F: s.kd = v.f; break;
    case HXT_SPECULAR_F: s.ks = v.f; break;
    case HXT_SPECULAR_POWER_F: s.power = v.f; break;
    case HXT_LIGHTING_B: s.lighting = Flag(v); break;
    case HXT_FORCE_FRONT_B: s.forceFront = Flag(v); break;
    case HXT_COLOUR_SOURCE_T: s.colourSource = v.t; break;
    case HXT_MAPPING_SOURCE_T: s.mappingSource = v.t; break;
    case HXT_MAP_MATRIX_M23_F:
        if (!v.p)
            return HXE_FAIL;
        std::memcpy(&s.mapMatrix, v.p, sizeof s.mapMatrix);
        break;
    default: return HXE_UNKNOWN_TOKEN;
    }
    return HX_OK;
}

hx_error SetMatrix(MatrixPart& m, hx_token t, hx_value v)
{
    switch (t) {
    case HXT_MODEL_TO_VIEW_M34_F:
        if (!v.p)
            return HXE_FAIL;
        std::memcpy(&m.modelToView, v.p, sizeof m.modelToView);
        break;
    case HXT_VIEW_TO_SCREEN_M4_F:
        if (!v.p)
            return HXE_FAIL;
        std::memcpy(&m.viewToScreen, v.p, sizeof m.viewToScreen);
        break;
    case HXT_VIEW_TO_ENVIRONMENT_M34_F:
        if (!v.p)
            return HXE_FAIL;
        std::memcpy(&m.viewToEnvironment, v.p, sizeof m.viewToEnvironment);
        break;
    case HXT_MODEL_TO_VIEW_HINT_T: m.modelToViewHint = v.t; break;
    case HXT_VIEW_TO_SCREEN_HINT_T: m.viewToScreenHint = v.t; break;
    case HXT_VIEW_TO_ENVIRONMENT_HINT_T: m.environmentHint = v.t; break;
    default: return HXE_UNKNOWN_TOKEN;
    }
    return HX_OK;
}

hx_error SetLight(LightEntry& l, hx_token t, hx_value v)
{
    switch (t) {
    case HXT_TYPE_T: l.type = v.t; break;
    case HXT_COLOUR_RGB: l.colour = uint32_t(v.u) & 0xFFFFFF; break;
    case HXT_ATTENUATION_C_F: l.attenuationC = v.f; break;
    case HXT_ATTENUATION_L_F: l.attenuationL = v.f; break;
    case HXT_ATTENUATION_Q_F: l.attenuationQ = v.f; break;
    case HXT_SPACE_T: break; // positions and directions arrive in view space
    case HXT_POSITION_V3_F:
        if (!v.p)
            return HXE_FAIL;
        std::memcpy(&l.position, v.p, sizeof l.position);
        break;
    case HXT_DIRECTION_V3_F:
        if (!v.p)
            return HXE_FAIL;
        std::memcpy(&l.direction, v.p, sizeof l.direction);
        l.direction = Unit(l.direction);
        break;
    case HXT_SPOT_OUTER_F: l.spotOuter = v.f; break;
    case HXT_SPOT_INNER_F: l.spotInner = v.f; break;
    default: return HXE_UNKNOWN_TOKEN;
    }
    return HX_OK;
}

hx_error PartSet(hx_object* self, hx_token part, int32_t index, hx_token t, hx_value v)
{
    Renderer* r = RendererOf(self);
    State& s = r->current;
    switch (part) {
    case HXT_PRIMITIVE: return SetPrimitive(r, s.primitive, t, v);
    case HXT_SURFACE: return SetSurface(s.surface, t, v);
    case HXT_CULL:
        if (t != HXT_TYPE_T)
            return HXE_UNKNOWN_TOKEN;
        s.cull = v.t;
        return HX_OK;
    case HXT_MATRIX: return SetMatrix(s.matrix, t, v);
    case HXT_OUTPUT:
        if (t == HXT_COLOUR_BUFFER_O)
            s.output.colour = static_cast<hx_pixelmap*>(v.p);
        else if (t == HXT_DEPTH_BUFFER_O)
            s.output.depth = static_cast<hx_pixelmap*>(v.p);
        else
            return HXE_UNKNOWN_TOKEN;
        return HX_OK;
    case HXT_HIDDEN_SURFACE:
        switch (t) {
        case HXT_TYPE_T: s.hidden.type = v.t; break;
        case HXT_V1ORDER_TABLE_P: s.hidden.table = static_cast<hx_order_table*>(v.p); break;
        case HXT_V1PRIMITIVE_HEAP_P: s.hidden.heap = v.p; break;
        case HXT_V1INSERT_FUNCTION_P: s.hidden.insert = v.p; break;
        case HXT_V1INSERT_ARG1_P: s.hidden.insertArgs[0] = v.p; break;
        case HXT_V1INSERT_ARG2_P: s.hidden.insertArgs[1] = v.p; break;
        case HXT_V1INSERT_ARG3_P: s.hidden.insertArgs[2] = v.p; break;
        default: return HXE_UNKNOWN_TOKEN;
        }
        return HX_OK;
    case HXT_ENABLE:
        if (t != HXT_BOUNDS_B)
            return HXE_UNKNOWN_TOKEN;
        s.boundsEnabled = Flag(v);
        return HX_OK;
    case HXT_LIGHT:
        if (index < 0 || index >= kMaxLights)
            return HXE_FAIL;
        return SetLight(s.lights[index], t, v);
    case HXT_CLIP:
        if (index < 0 || index >= kMaxClipPlanes)
            return HXE_FAIL;
        if (t == HXT_TYPE_T) {
            s.clips[index].type = v.t;
        } else if (t == HXT_PLANE_V4_F && v.p) {
            std::memcpy(&s.clips[index].plane, v.p, sizeof s.clips[index].plane);
        } else {
            return HXE_UNKNOWN_TOKEN;
        }
        return HX_OK;
    default:
        return HXE_UNKNOWN_TOKEN;
    }
}

// Unknown tokens are skipped; every pair is counted as taken.
hx_error PartSetMany(hx_object* self, hx_token part, int32_t index, const hx_token_value* tv, int32_t* count)
{
    int32_t n = 0;
    for (; tv && tv->t; ++tv, ++n)
        PartSet(self, part, index, tv->t, tv->v);
    if (count)
        *count = n;
    return HX_OK;
}

// An empty rectangle reads back as min above max on both axes, in values
// that the caller's integer conversion can hold.
void BoundsCorners(const BoundsPart& b, hx_vector2* min, hx_vector2* max)
{
    if (b.minX > b.maxX || b.minY > b.maxY) {
        *min = {32767, 32767};
        *max = {-32768, -32768};
        return;
    }
    *min = {b.minX, b.minY};
    *max = {b.maxX, b.maxY};
}

hx_error Answer(Renderer* r, hx_token part, hx_token t, hx_value* value, void** buffer, size_t* size)
{
    const State& s = r->current;
    hx_vector2 corners[2];
    const void* from = nullptr;
    size_t n = 0;
    if (part == HXT_MATRIX && t == HXT_MODEL_TO_VIEW_M34_F) {
        from = &s.matrix.modelToView, n = sizeof(hx_matrix34);
    } else if (part == HXT_MATRIX && t == HXT_VIEW_TO_SCREEN_M4_F) {
        from = &s.matrix.viewToScreen, n = sizeof(hx_matrix4);
    } else if (part == HXT_MATRIX && t == HXT_VIEW_TO_ENVIRONMENT_M34_F) {
        from = &s.matrix.viewToEnvironment, n = sizeof(hx_matrix34);
    } else if (part == HXT_BOUNDS && (t == HXT_MIN_V2_F || t == HXT_MAX_V2_F)) {
        BoundsCorners(s.bounds, &corners[0], &corners[1]);
        from = &corners[t == HXT_MIN_V2_F ? 0 : 1], n = sizeof(hx_vector2);
    } else if (part == HXT_ENABLE && t == HXT_BOUNDS_B) {
        value->i = s.boundsEnabled ? 1 : 0;
        return HX_OK;
    } else if (part == HXT_HIDDEN_SURFACE && t == HXT_TYPE_T) {
        value->t = s.hidden.type;
        return HX_OK;
    } else if (part == HXT_OUTPUT && (t == HXT_COLOUR_BUFFER_O || t == HXT_DEPTH_BUFFER_O)) {
        value->p = t == HXT_COLOUR_BUFFER_O ? s.output.colour : s.output.depth;
        return HX_OK;
    } else {
        return HXE_UNKNOWN_TOKEN;
    }
    if (*size < n)
        return HXE_NO_ROOM;
    std::memcpy(*buffer, from, n);
    value->p = *buffer;
    *buffer = static_cast<char*>(*buffer) + n;
    *size -= n;
    return HX_OK;
}

hx_error PartQueryBuffer(hx_object* self, hx_token part, int32_t, hx_value* value, void* buffer, size_t size,
                         hx_token t)
{
    return Answer(RendererOf(self), part, t, value, &buffer, &size);
}

hx_error PartQueryMany(hx_object* self, hx_token part, int32_t, hx_token_value* tv, void* buffer, size_t size,
                       int32_t* count)
{
    int32_t n = 0;
    for (; tv && tv->t; ++tv, ++n)
        if (hx_error e = Answer(RendererOf(self), part, tv->t, &tv->v, &buffer, &size))
            return e;
    if (count)
        *count = n;
    return HX_OK;
}

// ---- matrices and the stack ------------------------------------------------------------

hx_error ModelMul(hx_object* self, const hx_matrix34* m)
{
    hx_matrix34& t = RendererOf(self)->current.matrix.modelToView;
    hx_matrix34 out;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            double v = i == 3 ? t.m[3][j] : 0.0;
            for (int k = 0; k < 3; ++k)
                v += double(m->m[i][k]) * t.m[k][j];
            out.m[i][j] = float(v);
        }
    t = out;
    return HX_OK;
}

hx_error ModelInvert(hx_object* self)
{
    hx_matrix34& m = RendererOf(self)->current.matrix.modelToView;
    hx_matrix34 inverse;
    if (!InvertMatrix34(&inverse, m))
        return HXE_FAIL;
    m = inverse;
    return HX_OK;
}

hx_error StatePush(hx_object* self, uint32_t mask)
{
    Renderer* r = RendererOf(self);
    r->stack.emplace_back(mask, r->current);
    return HX_OK;
}

hx_error StatePop(hx_object* self, uint32_t mask)
{
    Renderer* r = RendererOf(self);
    if (r->stack.empty())
        return HXE_FAIL;
    StateCopyParts(&r->current, r->stack.back().second, mask & r->stack.back().first);
    r->stack.pop_back();
    return HX_OK;
}

hx_error StateDefault(hx_object* self, uint32_t mask)
{
    static const State kDefaults;
    StateCopyParts(&RendererOf(self)->current, kDefaults, mask);
    return HX_OK;
}

hx_error StateStoredNew(hx_object* self, hx_object** out, uint32_t mask)
{
    Renderer* r = RendererOf(self);
    auto* s = new (std::nothrow) StoredState{{&kStoredStateClass}, r, mask, {}};
    if (!s)
        return HXE_NO_MEMORY;
    StateCopyParts(&s->state, r->current, mask);
    r->states.push_back(s);
    *out = &s->object;
    return HX_OK;
}

StoredState* StoredOf(Renderer* r, hx_object* o)
{
    auto* s = reinterpret_cast<StoredState*>(o);
    return std::find(r->states.begin(), r->states.end(), s) != r->states.end() ? s : nullptr;
}

hx_error StateSave(hx_object* self, hx_object* stored, uint32_t mask)
{
    Renderer* r = RendererOf(self);
    StoredState* s = StoredOf(r, stored);
    if (!s)
        return HXE_FAIL;
    StateCopyParts(&s->state, r->current, mask);
    s->mask |= mask;
    return HX_OK;
}

hx_error StateRestore(hx_object* self, hx_object* stored, uint32_t mask)
{
    Renderer* r = RendererOf(self);
    StoredState* s = StoredOf(r, stored);
    if (!s)
        return HXE_FAIL;
    StateCopyParts(&r->current, s->state, mask & s->mask);
    return HX_OK;
}

hx_error BoundsTestCall(hx_object* self, hx_token* result, const hx_bounds3* box)
{
    *result = box ? BoundsTest(RendererOf(self), box) : HXT_REJECT;
    return HX_OK;
}

hx_error BufferStoredNew(hx_object* self, hx_object** out, hx_pixelmap* pm, hx_token use, const hx_token_value*)
{
    Renderer* r = RendererOf(self);
    auto* b = new (std::nothrow) Buffer;
    if (!b)
        return HXE_NO_MEMORY;
    b->object.dispatch = &kBufferClass.object;
    b->owner = r;
    b->live = true;
    BufferFill(b, pm, use == HXT_COLOUR_MAP_O ? HXT_COLOUR_MAP_O : HXT_UNKNOWN);
    r->buffers.push_back(b);
    *out = &b->object;
    return HX_OK;
}

hx_error FormatQuery(hx_object* self, hx_object** out, hx_token type, hx_token)
{
    Renderer* r = RendererOf(self);
    switch (type) {
    case HXT_GEOMETRY_V1_MODEL: *out = &r->v1model.object; return HX_OK;
    case HXT_GEOMETRY_V1_BUCKETS: *out = &r->v1buckets.object; return HX_OK;
    case HXT_GEOMETRY_LIGHTING: *out = &r->lighting.object; return HX_OK;
    default: *out = nullptr; return HXE_FAIL;
    }
}

hx_error FrameEnd(hx_object*)
{
    // Every span is written as it is drawn: nothing is queued.
    return HX_OK;
}

void RendererFree(hx_object* self)
{
    Renderer* r = RendererOf(self);
    for (StoredState* s : r->states)
        delete s;
    for (Buffer* b : r->buffers)
        delete b;
    for (StoredGeometry* g : r->geometries)
        delete g;
    delete r;
}
const char* RendererIdentifier(hx_object*)
{
    return "Softrend-Renderer";
}
hx_token RendererType(hx_object*)
{
    return HXT_RENDERER;
}

const hx_renderer_dispatch kRendererClass = {
    .object = {.free = RendererFree, .identifier = RendererIdentifier, .type = RendererType},
    .version = kHxRendererVersion,
    .partSet = PartSet,
    .partSetMany = PartSetMany,
    .partQueryBuffer = PartQueryBuffer,
    .partQueryMany = PartQueryMany,
    .modelMul = ModelMul,
    .modelInvert = ModelInvert,
    .statePush = StatePush,
    .statePop = StatePop,
    .stateDefault = StateDefault,
    .stateStoredNew = StateStoredNew,
    .stateSave = StateSave,
    .stateRestore = StateRestore,
    .boundsTest = BoundsTestCall,
    .bufferStoredNew = BufferStoredNew,
    .formatQuery = FormatQuery,
    .frameEnd = FrameEnd,
};

// ---- the facility and the device ----------------------------------------------------

const char* FacilityIdentifier(hx_object*)
{
    return "Default-Renderer";
}
hx_token FacilityType(hx_object*)
{
    return HXT_RENDERER_FACILITY;
}

hx_error RendererNew(hx_object*, hx_object** out, const hx_token_value* tv)
{
    auto* r = new (std::nothrow) Renderer;
    if (!r)
        return HXE_NO_MEMORY;
    r->object.dispatch = &kRendererClass.object;
    r->v1model = {{&kV1ModelClass.object}, r};
    r->v1buckets = {{&kV1BucketsClass.object}, r};
    r->lighting = {{&kLightingClass}, r};
    for (; tv && tv->t; ++tv)
        if (tv->t == HXT_DESTINATION_O)
            r->current.output.colour = static_cast<hx_pixelmap*>(tv->v.p);
    *out = &r->object;
    return HX_OK;
}

const hx_renderer_facility_dispatch kFacilityClass = {
    .container = {.object = {.identifier = FacilityIdentifier, .type = FacilityType}},
    .reserved23 = nullptr,
    .rendererNew = RendererNew,
};

// The device holds the one facility; it answers find, findMany and count
// by type and name pattern (no facility property is asked for).
struct Device {
    hx_object object;
    hx_object facility;
};

bool Matches(hx_object* o, hx_token type, const char* pattern)
{
    if (type && o->dispatch->type(o) != type)
        return false;
    return !pattern || !host.namePatternMatch || host.namePatternMatch(pattern, o->dispatch->identifier(o));
}

void DeviceFree(hx_object* self)
{
    delete reinterpret_cast<Device*>(self);
}
const char* DeviceIdentifier(hx_object*)
{
    return kHxSoftrendDeviceName;
}
hx_token DeviceType(hx_object*)
{
    return HXT_DEVICE;
}
hx_error DeviceFind(hx_object* self, hx_object** out, hx_token type, const char* pattern, hx_token_value*)
{
    hx_object* f = &reinterpret_cast<Device*>(self)->facility;
    *out = Matches(f, type, pattern) ? f : nullptr;
    return *out ? HX_OK : HXE_FAIL;
}
hx_error DeviceFindMany(hx_object* self, hx_object** out, int max, int* count, hx_token type, const char* pattern,
                        hx_token_value*)
{
    hx_object* f = &reinterpret_cast<Device*>(self)->facility;
    *count = Matches(f, type, pattern) ? 1 : 0;
    if (*count && max > 0)
        out[0] = f;
    return *count > max ? HXE_NO_ROOM : HX_OK;
}
hx_error DeviceCount(hx_object* self, int* count, hx_token type, const char* pattern, hx_token_value*)
{
    *count = Matches(&reinterpret_cast<Device*>(self)->facility, type, pattern) ? 1 : 0;
    return HX_OK;
}

const hx_container_dispatch kDeviceClass = {
    .object = {.free = DeviceFree, .identifier = DeviceIdentifier, .type = DeviceType},
    .find = DeviceFind,
    .findMany = DeviceFindMany,
    .count = DeviceCount,
};

} // namespace

hx_object* DriverBegin()
{
    auto* d = new (std::nothrow) Device;
    if (!d)
        return nullptr;
    d->object.dispatch = &kDeviceClass.object;
    d->facility.dispatch = &kFacilityClass.container.object;
    return &d->object;
}

} // namespace softrend
