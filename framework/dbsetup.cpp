// Scene layer begin and end, the renderer's start and stop, and the four
// scene registries (models, materials, maps, shade tables) with the
// renderer preparation their add and remove carry. Model preparation is in
// prepmesh.cpp, materials and buffers in prepmap.cpp.
#include <cstring>
#include <iterator>

#include "framework/devlist.h"
#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

hx_v1db v1db;

namespace {

hx_resource_class sceneClasses[] = {
    {nullptr, "VERTICES", HX_RES_VERTICES, nullptr, 4},
    {nullptr, "FACES", HX_RES_FACES, nullptr, 4},
    {nullptr, "MODEL", HX_RES_MODEL, nullptr, 4},
    {nullptr, "MATERIAL", HX_RES_MATERIAL, nullptr, 4},
    {nullptr, "MATERIAL_INDEX", HX_RES_MATERIAL_INDEX, nullptr, 4},
    {nullptr, "ACTOR", HX_RES_ACTOR, nullptr, 4},
    {nullptr, "LIGHT", HX_RES_LIGHT, nullptr, 4},
    {nullptr, "CAMERA", HX_RES_CAMERA, nullptr, 4},
    {nullptr, "BOUNDS", HX_RES_BOUNDS, nullptr, 4},
    {nullptr, "CLIP_PLANE", HX_RES_CLIP_PLANE, nullptr, 4},
    {nullptr, "TRANSFORM", HX_RES_TRANSFORM, nullptr, 4},
    {nullptr, "ENABLED_ACTORS", HX_RES_ENABLED_ACTORS, nullptr, 4},
    {nullptr, "PREPARED_MODEL", HX_RES_PREPARED_MODEL, nullptr, int32_t(kHxPreparedAlign)},
    {nullptr, "ORDER_TABLE", HX_RES_ORDER_TABLE, nullptr, 32},
};

// The built-in cube "default_model".
struct CubeVertex {
    float x, y, z, u, v;
};
// clang-format off
constexpr CubeVertex kCubeVertices[8] = {
    {-1, -1, 1, 0, 0.99f}, {1, -1, 1, 0.99f, 0.99f}, {1, 1, 1, 0.99f, 0.99f}, {-1, 1, 1, 0, 0.99f},
    {-1, -1, -1, 0, 0},    {1, -1, -1, 0.99f, 0},    {1, 1, -1, 0.99f, 0},    {-1, 1, -1, 0, 0},
};
// clang-format on
struct CubeFace {
    uint16_t a, b, c;
    uint8_t flags;
};
// clang-format off
constexpr CubeFace kCubeFaces[12] = {
    {0, 1, 2, 4}, {0, 2, 3, 1}, {0, 4, 5, 4}, {0, 5, 1, 1}, {1, 5, 6, 4}, {1, 6, 2, 1},
    {2, 6, 7, 4}, {2, 7, 3, 1}, {3, 7, 4, 4}, {3, 4, 0, 1}, {4, 7, 6, 4}, {4, 6, 5, 1},
};
// clang-format on

hx_model* MakeDefaultModel()
{
    hx_model* model = HxModelAllocate(nullptr, 8, 12);
    if (!model)
        return nullptr;
    model->identifier = const_cast<char*>("default_model");
    model->flags = HX_MODF_UPDATEABLE;
    for (int i = 0; i < 8; ++i) {
        model->vertices[i].p = {kCubeVertices[i].x, kCubeVertices[i].y, kCubeVertices[i].z};
        model->vertices[i].map = {kCubeVertices[i].u, kCubeVertices[i].v};
    }
    for (int i = 0; i < 12; ++i) {
        hx_face& f = model->faces[i];
        f.vertices[0] = kCubeFaces[i].a;
        f.vertices[1] = kCubeFaces[i].b;
        f.vertices[2] = kCubeFaces[i].c;
        f.smoothing = 1;
        f.flags = kCubeFaces[i].flags;
    }
    return model;
}

hx_material* MakeDefaultMaterial()
{
    auto* m = static_cast<hx_material*>(HxResAllocate(v1db.res, sizeof(hx_material), HX_RES_MATERIAL));
    if (!m)
        return nullptr;
    std::memset(static_cast<void*>(m), 0, sizeof *m);
    m->identifier = const_cast<char*>("default_mat");
    m->colour = 0xFFFFFF;
    m->opacity = 255;
    m->ka = 0.1f;
    m->kd = 0.7f;
    m->ks = 0.0f;
    m->power = 20.0f;
    m->flags = HX_MATF_LIT;
    HxMatrix23Identity(&m->map_transform);
    m->index_base = 10;
    m->index_range = 31;
    return m;
}

// Per-item callbacks of the renderer start and stop.
int UpdateTable(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK updateTable NULL pointer : item !=NULL", "dbsetup", 260, 0);
    HxTableUpdate(static_cast<hx_pixelmap*>(item), HX_MODU_ALL);
    return 0;
}
int UpdateMap(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK updateMap NULL pointer : item !=NULL", "dbsetup", 270, 0);
    HxMapUpdate(static_cast<hx_pixelmap*>(item), 0xFFF);
    return 0;
}
int UpdateMaterial(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK updateMaterial NULL pointer : item !=NULL", "dbsetup", 280, 0);
    HxMaterialUpdate(static_cast<hx_material*>(item), 255);
    return 0;
}
int UpdateModel(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK updateModel NULL pointer : item !=NULL", "dbsetup", 290, 0);
    HxModelUpdate(static_cast<hx_model*>(item), HX_MODU_ALL);
    return 0;
}
int ClearTable(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK clearTable NULL pointer : item !=NULL", "dbsetup", 300, 0);
    HxBufferClear(static_cast<hx_pixelmap*>(item));
    return 0;
}
int ClearMap(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK clearMap NULL pointer : item !=NULL", "dbsetup", 310, 0);
    HxBufferClear(static_cast<hx_pixelmap*>(item));
    return 0;
}
int ClearMaterial(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK clearMaterial NULL pointer : item !=NULL", "dbsetup", 320, 0);
    HxMaterialClear(static_cast<hx_material*>(item));
    return 0;
}
// Only the renderer's copy goes: the prepared block is framework data and
// is what a restarted renderer is given again.
void DropStoredGeometry(hx_model* model)
{
    if (model->stored) {
        model->stored->dispatch->free(model->stored);
        model->stored = nullptr;
    }
}
int ClearModel(void* item, void*)
{
    HX_CHECK_AS(item != nullptr, "HX_CALLBACK clearModel NULL pointer : item !=NULL", "dbsetup", 330, 0);
    DropStoredGeometry(static_cast<hx_model*>(item));
    return 0;
}

} // namespace

hx_error HxSceneBegin()
{
    if (v1db.active)
        return HXE_ACTIVE;
    std::memset(static_cast<void*>(&v1db), 0, sizeof v1db);
    v1db.active = 1;
    HxRegistryNew(&v1db.reg_models);
    HxRegistryNew(&v1db.reg_materials);
    HxRegistryNew(&v1db.reg_maps);
    HxRegistryNew(&v1db.reg_tables);
    v1db.res = HxResAllocate(nullptr, 0, HX_RES_ANCHOR);
    HxResClassAddMany(sceneClasses, int(std::size(sceneClasses)));
    v1db.default_model = MakeDefaultModel();
    v1db.default_material = MakeDefaultMaterial();
    HxEnablesBegin();
    HxOrderTablesBegin();
    return HX_OK;
}

hx_error HxSceneEnd()
{
    if (!v1db.active)
        return HXE_NOT_ACTIVE;
    if (v1db.renderer)
        HxRendererStop();
    v1db.active = 0;
    HxRegistryClear(&v1db.reg_models);
    HxRegistryClear(&v1db.reg_materials);
    HxRegistryClear(&v1db.reg_maps);
    HxRegistryClear(&v1db.reg_tables);
    HxResFree(v1db.res);
    HxResClassRemoveMany(sceneClasses, int(std::size(sceneClasses)));
    std::memset(static_cast<void*>(&v1db), 0, sizeof v1db);
    return HX_OK;
}

hx_error HxBegin()
{
    hx_error error = HxCoreBegin();
    if (error != HX_OK && error != HXE_ACTIVE)
        return error;
    return HxSceneBegin();
}

hx_error HxEnd()
{
    if (v1db.active)
        HxSceneEnd();
    return HxCoreEnd();
}

hx_model* HxDefaultModel()
{
    return v1db.default_model;
}

hx_material* HxDefaultMaterial()
{
    return v1db.default_material;
}

// ---- renderer start and stop ----------------------------------------------------------

hx_error HxRendererStart(hx_pixelmap* destination, hx_object* renderer)
{
    if (!renderer) {
        hx_object* facility = nullptr;
        if (hx_error e = HxRendererFacilityFind(&facility, destination, HX_SCALAR_FLOAT))
            return e;
        auto* table = reinterpret_cast<const hx_renderer_facility_dispatch*>(facility->dispatch);
        if (facility->dispatch->type(facility) != HXT_RENDERER_FACILITY || !table->rendererNew)
            return HXE_FAIL;
        hx_token_value tv[2] = {};
        if (destination)
            tv[0] = {HXT_DESTINATION_O, HxValuePointer(destination)};
        if (hx_error e = table->rendererNew(facility, &renderer, tv))
            return e;
    }
    if (HxRendererDispatch(renderer)->version != kHxRendererVersion) {
        HxWarning("renderer interface version %u, expected %u", HxRendererDispatch(renderer)->version,
                  kHxRendererVersion);
        renderer->dispatch->free(renderer);
        return HXE_UNSUPPORTED;
    }
    v1db.renderer = renderer;
    const hx_renderer_dispatch* r = HxRendererDispatch(renderer);
    if (hx_error e = r->formatQuery(renderer, &v1db.geometry_v1_model, HXT_GEOMETRY_V1_MODEL, HX_SCALAR_FLOAT))
        return e;
    if (r->formatQuery(renderer, &v1db.geometry_v1_buckets, HXT_GEOMETRY_V1_BUCKETS, HX_SCALAR_FLOAT) != HX_OK)
        v1db.geometry_v1_buckets = nullptr;
    if (hx_error e = r->formatQuery(renderer, &v1db.geometry_lighting, HXT_GEOMETRY_LIGHTING, HX_SCALAR_FLOAT))
        return e;

    UpdateModel(v1db.default_model, nullptr);
    HxMaterialUpdate(v1db.default_material, 255);
    HxMaterialUpdate(v1db.default_material, 255);
    v1db.default_order_table = v1db.builtin_order_table;
    v1db.primary_order_table = nullptr;

    HxRegistryEnum(&v1db.reg_tables, nullptr, UpdateTable, nullptr);
    HxRegistryEnum(&v1db.reg_maps, nullptr, UpdateMap, nullptr);
    HxRegistryEnum(&v1db.reg_materials, nullptr, UpdateMaterial, nullptr);
    HxRegistryEnum(&v1db.reg_models, nullptr, UpdateModel, nullptr);
    return HX_OK;
}

void HxRendererStop()
{
    if (!v1db.renderer)
        return;
    HxRegistryEnum(&v1db.reg_tables, nullptr, ClearTable, nullptr);
    HxRegistryEnum(&v1db.reg_maps, nullptr, ClearMap, nullptr);
    HxRegistryEnum(&v1db.reg_materials, nullptr, ClearMaterial, nullptr);
    HxRegistryEnum(&v1db.reg_models, nullptr, ClearModel, nullptr);
    HxMaterialClear(v1db.default_material);
    DropStoredGeometry(v1db.default_model);
    v1db.default_order_table = nullptr;
    v1db.primary_order_table = nullptr;
    v1db.geometry_v1_model = nullptr;
    v1db.geometry_v1_buckets = nullptr;
    v1db.geometry_lighting = nullptr;
    hx_object* renderer = v1db.renderer;
    v1db.renderer = nullptr;
    renderer->dispatch->free(renderer);
}

namespace {

// Starts the renderer when neither mode runs; false (reported) on failure.
bool StartForMode()
{
    if (v1db.zb_active || v1db.zs_active || v1db.renderer)
        return true;
    if (HxRendererStart(HxDevLastBeginQuery(), nullptr) != HX_OK) {
        if (v1db.renderer)
            HxRendererStop();
        HxFailure("Failed to load renderer\n");
        return false;
    }
    return true;
}

} // namespace

hx_error HxZbBegin(uint8_t, uint8_t)
{
    if (!StartForMode())
        return HXE_FAIL;
    v1db.zb_active = 1;
    return HX_OK;
}

void* HxZsBegin(uint8_t, void* heap, uint32_t heapSize)
{
    if (!StartForMode())
        return nullptr;
    v1db.heap = {heap, heapSize, heap};
    v1db.zs_active = 1;
    return heap;
}

void HxZbEnd()
{
    v1db.zb_active = 0;
    if (!v1db.zs_active)
        HxRendererStop();
}

hx_error HxZsEnd()
{
    v1db.zs_active = 0;
    if (v1db.zb_active)
        return hx_error(v1db.zb_active);
    HxRendererStop();
    return HX_OK;
}

hx_object* HxRendererQuery()
{
    return v1db.renderer;
}

hx_error HxRendererEnd()
{
    if (!v1db.renderer)
        return HXE_FAIL;
    HxRendererStop();
    return HX_OK;
}

hx_error HxRendererPartSet(hx_token part, int32_t index, hx_token t, hx_value value)
{
    if (!v1db.renderer)
        return HXE_FAIL;
    return HxRendererDispatch(v1db.renderer)->partSet(v1db.renderer, part, index, t, value);
}

hx_error HxRendererPartSetMany(hx_token part, int32_t index, const hx_token_value* tv)
{
    if (!v1db.renderer)
        return HXE_FAIL;
    int32_t count = 0;
    return HxRendererDispatch(v1db.renderer)->partSetMany(v1db.renderer, part, index, tv, &count);
}

// ---- registries ------------------------------------------------------------------------

hx_model* HxModelAdd(hx_model* model)
{
    HxRegistryAdd(&v1db.reg_models, model);
    HxModelUpdate(model, HX_MODU_ALL);
    return model;
}

hx_model* HxModelRemove(hx_model* model)
{
    if (!model)
        return nullptr;
    // An unregistered model keeps its data: removing it drops nothing.
    if (!HxRegistryRemove(&v1db.reg_models, model))
        return nullptr;
    HxModelClearPrepared(model);
    return model;
}

hx_material* HxMaterialAdd(hx_material* material)
{
    HxRegistryAdd(&v1db.reg_materials, material);
    HxMaterialUpdate(material, 255);
    return material;
}

hx_material* HxMaterialRemove(hx_material* material)
{
    if (!material || !HxRegistryRemove(&v1db.reg_materials, material))
        return nullptr;
    HxMaterialClear(material);
    return material;
}

hx_pixelmap* HxMapAdd(hx_pixelmap* pm)
{
    HxRegistryAdd(&v1db.reg_maps, pm);
    HxMapUpdate(pm, 0xFFF);
    return pm;
}

hx_pixelmap* HxMapRemove(hx_pixelmap* pm)
{
    if (!pm || !HxRegistryRemove(&v1db.reg_maps, pm))
        return nullptr;
    HxBufferClear(pm);
    return pm;
}

hx_pixelmap* HxTableAdd(hx_pixelmap* pm)
{
    HxRegistryAdd(&v1db.reg_tables, pm);
    HxTableUpdate(pm, HX_MODU_ALL);
    return pm;
}

hx_pixelmap* HxTableRemove(hx_pixelmap* pm)
{
    if (!pm || !HxRegistryRemove(&v1db.reg_tables, pm))
        return nullptr;
    HxBufferClear(pm);
    return pm;
}

// The seven operations that are the registry's own, per registry.
#define HX_SCENE_REGISTRY_OPS(Name, type, reg) \
    type* Hx##Name##Find(const char* pattern) \
    { \
        return static_cast<type*>(HxRegistryFind(&v1db.reg, pattern)); \
    } \
    hx_find_failed_cbfn Hx##Name##FindHookSet(hx_find_failed_cbfn hook) \
    { \
        return HxRegistryFindHook(&v1db.reg, hook); \
    } \
    int Hx##Name##AddMany(type** items, int n) \
    { \
        int added = 0; \
        for (int i = 0; i < n; ++i) \
            if (items[i] && Hx##Name##Add(items[i])) \
                ++added; \
        return added; \
    } \
    int Hx##Name##RemoveMany(type** items, int n) \
    { \
        int removed = 0; \
        for (int i = 0; i < n; ++i) \
            if (items[i] && Hx##Name##Remove(items[i])) \
                ++removed; \
        return removed; \
    } \
    int Hx##Name##FindMany(const char* pattern, type** out, int max) \
    { \
        return HxRegistryFindMany(&v1db.reg, pattern, reinterpret_cast<void**>(out), max); \
    } \
    int Hx##Name##Count(const char* pattern) \
    { \
        return HxRegistryCount(&v1db.reg, pattern); \
    } \
    int Hx##Name##Enum(const char* pattern, hx_enum_cbfn callback, void* arg) \
    { \
        return HxRegistryEnum(&v1db.reg, pattern, callback, arg); \
    }
HX_SCENE_REGISTRY_OPS(Model, hx_model, reg_models)
HX_SCENE_REGISTRY_OPS(Material, hx_material, reg_materials)
HX_SCENE_REGISTRY_OPS(Map, hx_pixelmap, reg_maps)
HX_SCENE_REGISTRY_OPS(Table, hx_pixelmap, reg_tables)
#undef HX_SCENE_REGISTRY_OPS
