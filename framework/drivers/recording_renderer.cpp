// The recording renderer: the device, its renderer facility, the renderer
// with its format, geometry, state and buffer objects, and the log every
// call writes to. Objects are named in the log by kind and a number that
// counts from 1 in each renderer, so a test's log reads the same every run.
#include "framework/drivers/recording_renderer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/renderer.h"
#include "framework/resource.h"
#include "framework/token.h"
#include "framework/token_ids.h"

namespace {

// ---- the log and the scripted answers -------------------------------------------------------

struct Controls {
    bool logging = true;
    std::vector<std::string> log;
    hx_recording_bounds_fn bounds = nullptr;
    hx_vector2 rectMin = {0, 0}, rectMax = {0, 0};
    bool buckets = true;
};
Controls controls;

void Write(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Write(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    controls.log.emplace_back(line);
}

// The arguments are only worked out when the log is on.
#define Log(...) \
    do { \
        if (controls.logging) \
            Write(__VA_ARGS__); \
    } while (0)

const char* TokenName(hx_token t)
{
    const char* name = HxTokenIdentifier(t);
    return name ? name : "?";
}

bool EndsWith(const char* text, const char* suffix)
{
    size_t n = std::strlen(text), m = std::strlen(suffix);
    return n >= m && std::strcmp(text + n - m, suffix) == 0;
}

// ---- objects ---------------------------------------------------------------------------------

struct Renderer;

// A state, buffer or stored geometry: named by kind and number.
struct Owned {
    hx_object object;
    Renderer* owner;
    std::string name;
    hx_matrix34 matrix; // a state's saved model-to-view matrix
};

struct Format {
    hx_object object;
    Renderer* owner;
};

struct Saved {
    uint32_t mask;
    hx_matrix34 matrix;
};

struct Renderer {
    hx_object object;
    int serial = 0;
    std::map<hx_object*, Owned*> owned;
    Format v1model, v1buckets, lighting;
    bool buckets = true;
    hx_matrix34 modelToView;
    hx_matrix4 viewToScreen;
    std::vector<Saved> stack;
};

Renderer* RendererOf(hx_object* o)
{
    return reinterpret_cast<Renderer*>(o);
}

std::string NameOf(Renderer* r, const void* p)
{
    if (!p)
        return "null";
    auto it = r->owned.find(static_cast<hx_object*>(const_cast<void*>(p)));
    return it != r->owned.end() ? it->second->name : "set";
}

std::string Floats(const float* v, int n)
{
    std::string s = "(";
    char buffer[32];
    for (int i = 0; i < n; ++i) {
        std::snprintf(buffer, sizeof buffer, i ? " %g" : "%g", double(v[i]));
        s += buffer;
    }
    return s + ")";
}

std::string ValueText(Renderer* r, hx_token t, hx_value v)
{
    const char* name = TokenName(t);
    char buffer[64];
    if (EndsWith(name, "_M34_F"))
        return v.p ? Floats(static_cast<const float*>(v.p), 12) : "null";
    if (EndsWith(name, "_M4_F"))
        return v.p ? Floats(static_cast<const float*>(v.p), 16) : "null";
    if (EndsWith(name, "_M23_F"))
        return v.p ? Floats(static_cast<const float*>(v.p), 6) : "null";
    if (EndsWith(name, "_V4_F"))
        return v.p ? Floats(static_cast<const float*>(v.p), 4) : "null";
    if (EndsWith(name, "_V3_F"))
        return v.p ? Floats(static_cast<const float*>(v.p), 3) : "null";
    if (EndsWith(name, "_T"))
        return TokenName(v.t);
    if (EndsWith(name, "_B"))
        return v.i ? "1" : "0";
    if (EndsWith(name, "_I32")) {
        std::snprintf(buffer, sizeof buffer, "%d", int(v.i));
        return buffer;
    }
    if (EndsWith(name, "_RGB")) {
        std::snprintf(buffer, sizeof buffer, "0x%06x", unsigned(v.u));
        return buffer;
    }
    if (EndsWith(name, "_F")) {
        std::snprintf(buffer, sizeof buffer, "%g", double(v.f));
        return buffer;
    }
    if (t == HXT_COLOUR_BUFFER_O || t == HXT_DEPTH_BUFFER_O) {
        const auto* pm = static_cast<const hx_pixelmap*>(v.p);
        return !pm ? "null" : pm->identifier ? pm->identifier
                                             : "pixelmap";
    }
    return NameOf(r, v.p);
}

std::string Pairs(Renderer* r, const hx_token_value* tv)
{
    std::string s;
    for (; tv && tv->t; ++tv) {
        if (!s.empty())
            s += ' ';
        s += TokenName(tv->t);
        s += '=';
        s += ValueText(r, tv->t, tv->v);
    }
    return s;
}

Owned* NewOwned(Renderer* r, const hx_object_dispatch* dispatch, const char* kind)
{
    auto* o = new Owned{{dispatch}, r, kind + std::string("#") + std::to_string(++r->serial), {}};
    r->owned[&o->object] = o;
    return o;
}

void OwnedFree(hx_object* self)
{
    auto* o = reinterpret_cast<Owned*>(self);
    Log("free %s", o->name.c_str());
    o->owner->owned.erase(self);
    delete o;
}

const char* OwnedIdentifier(hx_object* self)
{
    return reinterpret_cast<Owned*>(self)->name.c_str();
}

hx_token StateType(hx_object*)
{
    return HXT_RENDERER_STATE_STORED;
}
const hx_object_dispatch kStateClass = {.free = OwnedFree, .identifier = OwnedIdentifier, .type = StateType};

hx_error BufferUpdate(hx_object* self, hx_pixelmap* pm, const hx_token_value* tv)
{
    auto* o = reinterpret_cast<Owned*>(self);
    Log("buffer update %s %s %s", o->name.c_str(), pm && pm->identifier ? pm->identifier : "pixelmap",
        Pairs(o->owner, tv).c_str());
    return HX_OK;
}
hx_token BufferType(hx_object*)
{
    return HXT_BUFFER_STORED;
}
const hx_buffer_stored_dispatch kBufferClass = {
    .object = {.free = OwnedFree, .identifier = OwnedIdentifier, .type = BufferType}, .update = BufferUpdate};

// ---- geometry ------------------------------------------------------------------------------

std::string Groups(const hx_prepared_model* m)
{
    std::string s;
    for (int g = 0; g < m->ngroups; ++g) {
        const hx_prepared_group& group = m->groups[g];
        char buffer[160];
        std::snprintf(buffer, sizeof buffer, "%s[%s f=%u v=%u]", g ? " " : "",
                      !group.material              ? "null"
                      : group.material->identifier ? group.material->identifier
                                                   : "material",
                      group.nfaces, group.nvertices);
        s += buffer;
    }
    return s;
}

void LogDraw(Renderer* r, const char* how, const hx_prepared_model* m, hx_object* state, hx_token primitive)
{
    Log("%s %s state=%s %s", how, TokenName(primitive), NameOf(r, state).c_str(), Groups(m).c_str());
}

hx_error StoredQuery(hx_object* self, hx_value* value, hx_token t)
{
    if (t != HXT_SHARED_B)
        return HXE_UNKNOWN_TOKEN;
    value->i = reinterpret_cast<Owned*>(self)->owner->buckets ? 1 : 0;
    return HX_OK;
}
hx_token StoredType(hx_object*)
{
    return HXT_GEOMETRY_STORED;
}
hx_error StoredRender(hx_object* self, hx_object*, hx_object* state, hx_token primitive)
{
    auto* o = reinterpret_cast<Owned*>(self);
    Log("draw %s %s state=%s", o->name.c_str(), TokenName(primitive), NameOf(o->owner, state).c_str());
    return HX_OK;
}
hx_error StoredRenderOnScreen(hx_object* self, hx_object*, hx_object* state, hx_token primitive)
{
    auto* o = reinterpret_cast<Owned*>(self);
    Log("draw on-screen %s %s state=%s", o->name.c_str(), TokenName(primitive), NameOf(o->owner, state).c_str());
    return HX_OK;
}
const hx_geometry_stored_dispatch kStoredClass = {
    .object = {.free = OwnedFree, .identifier = OwnedIdentifier, .type = StoredType, .query = StoredQuery},
    .render = StoredRender,
    .renderOnScreen = StoredRenderOnScreen,
};

const char* FormatIdentifier(hx_object*)
{
    return "Recording-Format";
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
    LogDraw(reinterpret_cast<Format*>(self)->owner, "draw", m, state, primitive);
    return HX_OK;
}
hx_error V1RenderOnScreen(hx_object* self, hx_object*, const hx_prepared_model* m, hx_object* state,
                          hx_token primitive)
{
    LogDraw(reinterpret_cast<Format*>(self)->owner, "draw on-screen", m, state, primitive);
    return HX_OK;
}
hx_error V1StoredNew(hx_object* self, hx_object*, hx_object** out, const hx_prepared_model* m, hx_token primitive,
                     const hx_token_value* tv)
{
    Renderer* r = reinterpret_cast<Format*>(self)->owner;
    Owned* o = NewOwned(r, &kStoredClass.object, "geometry");
    Log("stored new %s %s %s %s", o->name.c_str(), TokenName(primitive), Pairs(r, tv).c_str(), Groups(m).c_str());
    *out = &o->object;
    return HX_OK;
}
const hx_geometry_v1_model_dispatch kV1ModelClass = {
    .object = {.free = FormatFree, .identifier = FormatIdentifier, .type = V1ModelType},
    .render = V1Render,
    .renderOnScreen = V1RenderOnScreen,
    .storedNew = V1StoredNew,
};

hx_token V1BucketsType(hx_object*)
{
    return HXT_GEOMETRY_V1_BUCKETS;
}
hx_error BucketsRender(hx_object*, hx_object*, void** buckets, uint16_t size)
{
    int used = 0;
    for (int i = 0; i < size; ++i)
        used += buckets[i] != nullptr;
    Log("buckets %u used=%d", size, used);
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

// ---- the renderer ----------------------------------------------------------------------------

void RendererFree(hx_object* self)
{
    Renderer* r = RendererOf(self);
    while (!r->owned.empty())
        OwnedFree(r->owned.begin()->first);
    Log("free renderer");
    delete r;
}
const char* RendererIdentifier(hx_object*)
{
    return "Recording-Renderer";
}
hx_token RendererType(hx_object*)
{
    return HXT_RENDERER;
}

hx_error PartSet(hx_object* self, hx_token part, int32_t index, hx_token t, hx_value value)
{
    Renderer* r = RendererOf(self);
    if (part == HXT_MATRIX && t == HXT_MODEL_TO_VIEW_M34_F && value.p)
        r->modelToView = *static_cast<const hx_matrix34*>(value.p);
    if (part == HXT_MATRIX && t == HXT_VIEW_TO_SCREEN_M4_F && value.p)
        r->viewToScreen = *static_cast<const hx_matrix4*>(value.p);
    Log("part %s %d %s=%s", TokenName(part), index, TokenName(t), ValueText(r, t, value).c_str());
    return HX_OK;
}

hx_error PartSetMany(hx_object* self, hx_token part, int32_t index, const hx_token_value* tv, int32_t* count)
{
    Renderer* r = RendererOf(self);
    int n = 0;
    for (const hx_token_value* p = tv; p && p->t; ++p)
        ++n;
    *count = n;
    Log("parts %s %d %s", TokenName(part), index, Pairs(r, tv).c_str());
    return HX_OK;
}

// Answers MATRIX and BOUNDS values into the buffer.
hx_error Answer(Renderer* r, hx_token part, hx_token t, hx_value* value, void** buffer, size_t* size)
{
    const void* from = nullptr;
    size_t n = 0;
    if (part == HXT_MATRIX && t == HXT_MODEL_TO_VIEW_M34_F)
        from = &r->modelToView, n = sizeof r->modelToView;
    else if (part == HXT_MATRIX && t == HXT_VIEW_TO_SCREEN_M4_F)
        from = &r->viewToScreen, n = sizeof r->viewToScreen;
    else if (part == HXT_BOUNDS && t == HXT_MIN_V2_F)
        from = &controls.rectMin, n = sizeof controls.rectMin;
    else if (part == HXT_BOUNDS && t == HXT_MAX_V2_F)
        from = &controls.rectMax, n = sizeof controls.rectMax;
    else
        return HXE_UNKNOWN_TOKEN;
    if (*size < n)
        return HXE_NO_ROOM;
    std::memcpy(*buffer, from, n);
    value->p = *buffer;
    *buffer = static_cast<char*>(*buffer) + n;
    *size -= n;
    return HX_OK;
}

hx_error PartQueryBuffer(hx_object* self, hx_token part, int32_t index, hx_value* value, void* buffer,
                         size_t bufferSize, hx_token t)
{
    Log("query %s %d %s", TokenName(part), index, TokenName(t));
    return Answer(RendererOf(self), part, t, value, &buffer, &bufferSize);
}

hx_error PartQueryMany(hx_object* self, hx_token part, int32_t index, hx_token_value* tv, void* buffer,
                       size_t bufferSize, int32_t* count)
{
    std::string names;
    int n = 0;
    for (hx_token_value* p = tv; p && p->t; ++p, ++n) {
        names += names.empty() ? "" : " ";
        names += TokenName(p->t);
        if (hx_error e = Answer(RendererOf(self), part, p->t, &p->v, &buffer, &bufferSize))
            return e;
    }
    *count = n;
    Log("query %s %d %s", TokenName(part), index, names.c_str());
    return HX_OK;
}

hx_error ModelMul(hx_object* self, const hx_matrix34* m)
{
    Renderer* r = RendererOf(self);
    HxMatrix34Pre(&r->modelToView, m);
    Log("mul %s", Floats(&m->m[3][0], 3).c_str());
    return HX_OK;
}

hx_error ModelInvert(hx_object* self)
{
    Renderer* r = RendererOf(self);
    hx_matrix34 inverse;
    if (HxMatrix34Inverse(&inverse, &r->modelToView) != 0)
        r->modelToView = inverse;
    Log("invert");
    return HX_OK;
}

hx_error StatePush(hx_object* self, uint32_t mask)
{
    Renderer* r = RendererOf(self);
    r->stack.push_back({mask, r->modelToView});
    Log("push 0x%x", mask);
    return HX_OK;
}

hx_error StatePop(hx_object* self, uint32_t mask)
{
    Renderer* r = RendererOf(self);
    Log("pop 0x%x", mask);
    if (r->stack.empty())
        return HXE_FAIL;
    if (mask & 0x2)
        r->modelToView = r->stack.back().matrix;
    r->stack.pop_back();
    return HX_OK;
}

hx_error StateDefault(hx_object*, uint32_t mask)
{
    Log("default 0x%x", mask);
    return HX_OK;
}

hx_error StateStoredNew(hx_object* self, hx_object** out, uint32_t mask)
{
    Owned* o = NewOwned(RendererOf(self), &kStateClass, "state");
    Log("state new %s 0x%x", o->name.c_str(), mask);
    *out = &o->object;
    return HX_OK;
}

hx_error StateSave(hx_object* self, hx_object* stored, uint32_t mask)
{
    Log("state save %s 0x%x", NameOf(RendererOf(self), stored).c_str(), mask);
    return HX_OK;
}

hx_error StateRestore(hx_object* self, hx_object* stored, uint32_t mask)
{
    Log("state restore %s 0x%x", NameOf(RendererOf(self), stored).c_str(), mask);
    return HX_OK;
}

hx_error BoundsTest(hx_object*, hx_token* result, const hx_bounds3* box)
{
    *result = controls.bounds ? controls.bounds(box) : HXT_ACCEPT;
    Log("bounds %s %s", Floats(&box->min.x, 6).c_str(), TokenName(*result));
    return HX_OK;
}

hx_error BufferStoredNew(hx_object* self, hx_object** out, hx_pixelmap* pm, hx_token use, const hx_token_value* tv)
{
    Renderer* r = RendererOf(self);
    Owned* o = NewOwned(r, &kBufferClass.object, "buffer");
    Log("buffer new %s %s %s %s", o->name.c_str(), TokenName(use), pm && pm->identifier ? pm->identifier : "pixelmap",
        Pairs(r, tv).c_str());
    *out = &o->object;
    return HX_OK;
}

hx_error FormatQuery(hx_object* self, hx_object** out, hx_token type, hx_token)
{
    Renderer* r = RendererOf(self);
    *out = nullptr;
    if (type == HXT_GEOMETRY_V1_MODEL)
        *out = &r->v1model.object;
    else if (type == HXT_GEOMETRY_V1_BUCKETS && r->buckets)
        *out = &r->v1buckets.object;
    else if (type == HXT_GEOMETRY_LIGHTING)
        *out = &r->lighting.object;
    Log("format %s%s", TokenName(type), *out ? "" : " none");
    return *out ? HX_OK : HXE_FAIL;
}

hx_error FrameEnd(hx_object*)
{
    Log("frame end");
    return HX_OK;
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
    .boundsTest = BoundsTest,
    .bufferStoredNew = BufferStoredNew,
    .formatQuery = FormatQuery,
    .frameEnd = FrameEnd,
};

// ---- the facility and the device ----------------------------------------------------------

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
    auto* r = new Renderer;
    r->object.dispatch = &kRendererClass.object;
    r->v1model = {{&kV1ModelClass.object}, r};
    r->v1buckets = {{&kV1BucketsClass.object}, r};
    r->lighting = {{&kLightingClass}, r};
    r->buckets = controls.buckets;
    HxMatrix34Identity(&r->modelToView);
    HxMatrix4Identity(&r->viewToScreen);
    Log("renderer new %s", Pairs(r, tv).c_str());
    *out = &r->object;
    return HX_OK;
}

const hx_renderer_facility_dispatch kFacilityClass = {
    .container = {.object = {.identifier = FacilityIdentifier, .type = FacilityType}},
    .reserved23 = nullptr,
    .rendererNew = RendererNew,
};

struct Device {
    hx_object object;
    hx_slist* list;
    hx_object facility;
};

void DeviceFree(hx_object* self)
{
    HxResFree(self);
}
const char* DeviceIdentifier(hx_object*)
{
    return kHxRecordingDeviceName;
}
hx_token DeviceType(hx_object*)
{
    return HXT_DEVICE;
}
hx_slist* DeviceList(hx_object* self)
{
    return reinterpret_cast<Device*>(self)->list;
}
void* MatchBegin(hx_object*, hx_token, hx_token_value* tv)
{
    return tv;
}
hx_bool Match(hx_object*, hx_object*, void*)
{
    return 1;
}
void MatchEnd(hx_object*, void*)
{
}

const hx_container_dispatch kDeviceClass = {
    .object = {.free = DeviceFree, .identifier = DeviceIdentifier, .type = DeviceType},
    .listQuery = DeviceList,
    .tokensMatchBegin = MatchBegin,
    .tokensMatch = Match,
    .tokensMatchEnd = MatchEnd,
    .find = _M_hx_object_container_find,
    .findMany = _M_hx_object_container_findMany,
    .count = _M_hx_object_container_count,
};

} // namespace

hx_object* HxRecordingDriverBegin(const char*)
{
    auto* d = static_cast<Device*>(HxResAllocate(HxFwAnchor(), sizeof(Device), HX_RES_OBJECT_DATA));
    if (!d)
        return nullptr;
    std::memset(static_cast<void*>(d), 0, sizeof *d);
    d->object.dispatch = &kDeviceClass.object;
    d->facility.dispatch = &kFacilityClass.container.object;
    d->list = HxObjectListAllocate(d);
    if (!d->list || _M_hx_object_container_addFront(&d->object, &d->facility) != HX_OK) {
        HxResFree(d);
        return nullptr;
    }
    return &d->object;
}

void HxRecordingLogEnable(bool on)
{
    controls.logging = on;
}

std::vector<std::string> HxRecordingLogTake()
{
    std::vector<std::string> taken;
    taken.swap(controls.log);
    return taken;
}

void HxRecordingBoundsTestSet(hx_recording_bounds_fn answer)
{
    controls.bounds = answer;
}

void HxRecordingScreenRectSet(float minX, float minY, float maxX, float maxY)
{
    controls.rectMin = {minX, minY};
    controls.rectMax = {maxX, maxY};
}

void HxRecordingBucketsSet(bool offered)
{
    controls.buckets = offered;
}
