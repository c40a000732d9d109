// Materials and the renderer-side data of pixelmaps: a material's update
// turns its fields into a stored renderer state (the PRIMITIVE, SURFACE and
// CULL parts), and maps and shade tables get a renderer buffer kept in the
// pixelmap's device-data field.
#include <cstring>

#include "framework/diag.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace {

constexpr float kOpacityScale = 0.003921569f; // 1/255

// A short list of pairs built up in order.
struct PairList {
    hx_token_value tv[24];
    int n = 0;
    void Add(hx_token t, hx_value v) { tv[n++] = {t, v}; }
    void Bool(hx_token t, bool b) { Add(t, HxValueInt(b ? 1 : 0)); }
    const hx_token_value* End()
    {
        tv[n] = {};
        return tv;
    }
};

hx_object* BufferOf(hx_pixelmap* pm)
{
    return pm ? static_cast<hx_object*>(pm->device_data) : nullptr;
}

hx_token Limit(uint32_t mode, uint32_t mirror, uint32_t clamp)
{
    return (mode & clamp) ? HXT_CLAMP : (mode & mirror) ? HXT_MIRROR
                                                        : HXT_WRAP;
}

void SetPrimitive(hx_object* r, const hx_material* m)
{
    const hx_renderer_dispatch* d = HxRendererDispatch(r);
    const uint32_t f = m->flags;
    PairList p;
    p.Add(HXT_COLOUR_RGB, HxValueInt(intptr_t(m->colour)));
    p.Add(HXT_OPACITY_F, HxValueFloat(float(m->opacity) * kOpacityScale));
    p.Bool(HXT_MODULATE_B, f & (HX_MATF_LIT | HX_MATF_PRELIT));
    p.Bool(HXT_BLEND_B, m->opacity < 255);
    p.Bool(HXT_SMOOTH_B, f & HX_MATF_SMOOTH);
    p.Bool(HXT_ZTRANSPARENCY_B, f & HX_MATF_Z_TRANSPARENCY);
    if (f & HX_MATF_SUBDIVIDE) {
        p.Add(HXT_PERSPECTIVE_T, HxValueToken(HXT_SUBDIVIDE));
        p.Add(HXT_SUBDIVIDE_TOLERANCE_I32, HxValueInt(m->subdivide_tolerance));
    } else {
        p.Bool(HXT_PERSPECTIVE_B, f & HX_MATF_PERSPECTIVE);
    }
    p.Bool(HXT_DECAL_B, f & HX_MATF_DECAL);
    p.Bool(HXT_DITHER_MAP_B, f & HX_MATF_DITHER);
    p.Bool(HXT_DITHER_COLOUR_B, f & HX_MATF_DITHER);
    p.Add(HXT_INDEX_BASE_I32, HxValueInt(m->index_base));
    p.Add(HXT_INDEX_RANGE_I32, HxValueInt(m->index_range));
    p.Add(HXT_ANTIALIASING_T, HxValueToken((m->mode & 0x100) ? HXT_DEFAULT : HXT_NONE));
    p.Add(HXT_MAP_ANTIALIASING_T, HxValueToken((f & HX_MATF_MAP_ANTIALIASING) ? HXT_LINEAR : HXT_NONE));
    p.Add(HXT_MAP_INTERPOLATION_T, HxValueToken((f & HX_MATF_MAP_INTERPOLATION) ? HXT_LINEAR : HXT_NONE));
    p.Add(HXT_MIP_INTERPOLATION_T, HxValueToken((f & HX_MATF_MIP_INTERPOLATION) ? HXT_LINEAR : HXT_NONE));
    p.Add(HXT_MAP_WIDTH_LIMIT_T, HxValueToken(Limit(m->mode, 0x1, 0x2)));
    p.Add(HXT_MAP_HEIGHT_LIMIT_T, HxValueToken(Limit(m->mode, 0x4, 0x8)));
    if (f & HX_MATF_FOG_LOCAL) {
        p.Add(HXT_FOG_T, HxValueToken(HXT_LINEAR));
        p.Add(HXT_FOG_MIN_F, HxValueFloat(m->fog_min));
        p.Add(HXT_FOG_MAX_F, HxValueFloat(m->fog_max));
        p.Add(HXT_FOG_RGB, HxValueInt(intptr_t(m->fog_colour)));
    } else {
        p.Add(HXT_FOG_T, HxValueToken(HXT_NONE));
    }
    int32_t count = 0;
    d->partSetMany(r, HXT_PRIMITIVE, 0, p.End(), &count);
    const hx_token cull = (f & HX_MATF_TWO_SIDED)        ? HXT_TWO_SIDED
                          : (f & HX_MATF_ALWAYS_VISIBLE) ? HXT_NONE
                                                         : HXT_ONE_SIDED;
    d->partSet(r, HXT_CULL, 0, HXT_TYPE_T, HxValueToken(cull));
}

void SetSurface(hx_object* r, const hx_material* m)
{
    const uint32_t f = m->flags;
    const bool prelit = f & HX_MATF_PRELIT;
    PairList p;
    p.Add(HXT_COLOUR_RGB, HxValueInt(intptr_t(m->colour)));
    p.Add(HXT_OPACITY_F, HxValueFloat(float(m->opacity) * kOpacityScale));
    p.Add(HXT_AMBIENT_F, HxValueFloat(m->ka));
    p.Add(HXT_DIFFUSE_F, HxValueFloat(m->kd));
    p.Add(HXT_SPECULAR_F, HxValueFloat(m->ks));
    p.Add(HXT_SPECULAR_POWER_F, HxValueFloat(m->power));
    p.Bool(HXT_LIGHTING_B, !prelit && (f & HX_MATF_LIT));
    p.Bool(HXT_FORCE_FRONT_B, f & HX_MATF_FORCE_FRONT);
    p.Add(HXT_COLOUR_SOURCE_T, HxValueToken(prelit ? HXT_GEOMETRY : HXT_SURFACE));
    const hx_token mapping = (f & HX_MATF_ENV_INFINITE) ? HXT_ENVIRONMENT_INFINITE
                             : (f & HX_MATF_ENV_LOCAL)  ? HXT_ENVIRONMENT_LOCAL
                                                        : HXT_GEOMETRY_MAP;
    p.Add(HXT_MAPPING_SOURCE_T, HxValueToken(mapping));
    int32_t count = 0;
    HxRendererDispatch(r)->partSetMany(r, HXT_SURFACE, 0, p.End(), &count);
}

} // namespace

hx_material* HxMaterialAllocate(const char* name)
{
    auto* m = static_cast<hx_material*>(HxResAllocate(v1db.res, sizeof(hx_material), HX_RES_MATERIAL));
    if (!m)
        return nullptr;
    *m = *v1db.default_material;
    m->identifier = name ? HxResStrDup(m, name) : nullptr;
    m->stored = nullptr;
    m->sequence = ++v1db.material_sequence;
    return m;
}

void HxMaterialFree(hx_material* material)
{
    if (!material)
        return;
    HxMaterialClear(material);
    HxResFree(material);
}

void HxMaterialClear(hx_material* material)
{
    if (material && material->stored) {
        material->stored->dispatch->free(material->stored);
        material->stored = nullptr;
    }
}

hx_error HxMaterialUpdate(hx_material* material, uint16_t flags)
{
    HX_CHECK(material != nullptr, "prepmap", 100, HXE_FAIL);
    if (!material->sequence)
        material->sequence = ++v1db.material_sequence;
    hx_object* r = v1db.renderer;
    if (!r)
        return HX_OK;
    const hx_renderer_dispatch* d = HxRendererDispatch(r);
    d->statePush(r, kHxStateMaterial);
    d->stateDefault(r, kHxStateMaterial);
    if (material->stored)
        d->stateRestore(r, material->stored, kHxStateMaterial);
    if (flags & 0x01)
        d->partSet(r, HXT_SURFACE, 0, HXT_MAP_MATRIX_M23_F, HxValuePointer(&material->map_transform));
    if (flags & 0x02)
        SetPrimitive(r, material);
    if (flags & 0x04)
        SetSurface(r, material);
    int32_t count = 0;
    if (flags & 0x08) {
        PairList p;
        p.Add(HXT_COLOUR_MAP_O, HxValuePointer(BufferOf(material->colour_map)));
        p.Add(HXT_INDEX_SHADE_O, HxValuePointer(BufferOf(material->index_shade)));
        p.Add(HXT_INDEX_BLEND_O, HxValuePointer(BufferOf(material->index_blend)));
        p.Add(HXT_INDEX_FOG_O, HxValuePointer(BufferOf(material->index_fog)));
        d->partSetMany(r, HXT_PRIMITIVE, 0, p.End(), &count);
    }
    if (flags & 0x10)
        d->partSet(r, HXT_PRIMITIVE, 0, HXT_SCREEN_DOOR_O, HxValuePointer(BufferOf(material->screendoor)));
    if ((flags & 0x20) && material->extra_surf)
        d->partSetMany(r, HXT_SURFACE, 0, material->extra_surf, &count);
    if ((flags & 0x40) && material->extra_prim)
        d->partSetMany(r, HXT_PRIMITIVE, 0, material->extra_prim, &count);
    if (material->stored)
        d->stateSave(r, material->stored, kHxStateMaterial);
    else
        d->stateStoredNew(r, &material->stored, kHxStateMaterial);
    return d->statePop(r, kHxStateMaterial);
}

hx_object* HxBufferUpdate(hx_pixelmap* pm, hx_token use, uint16_t flags)
{
    HX_CHECK_AS(pm != nullptr, "Invalid HxBufferUpdate pointer : pm != NULL", "prepmap", 200, nullptr);
    hx_object* r = v1db.renderer;
    if (!r)
        return nullptr;
    hx_token_value tv[3] = {
        {HXT_PREFER_SHARE_B, HxValueInt((flags & 0x8000) ? 1 : 0)}, {HXT_CAN_SHARE_B, HxValueInt(1)}, {}};
    if (hx_object* buffer = BufferOf(pm)) {
        auto* b = reinterpret_cast<const hx_buffer_stored_dispatch*>(buffer->dispatch);
        return b->update(buffer, pm, tv) == HX_OK ? buffer : nullptr;
    }
    hx_object* buffer = nullptr;
    if (HxRendererDispatch(r)->bufferStoredNew(r, &buffer, pm, use, tv) != HX_OK)
        return nullptr;
    pm->device_data = buffer;
    return buffer;
}

hx_object* HxMapUpdate(hx_pixelmap* pm, uint16_t flags)
{
    return HxBufferUpdate(pm, HXT_COLOUR_MAP_O, flags);
}

hx_object* HxTableUpdate(hx_pixelmap* pm, uint16_t flags)
{
    return HxBufferUpdate(pm, HXT_UNKNOWN, flags);
}

void HxBufferClear(hx_pixelmap* pm)
{
    if (hx_object* buffer = BufferOf(pm)) {
        buffer->dispatch->free(buffer);
        pm->device_data = nullptr;
    }
}
