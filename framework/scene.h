// The scene layer: what the game talks to for 3D. Models, materials, maps
// and shade tables in four named registries; actors, cameras and lights in
// trees; order tables; the enabled lights and clip planes; the renderer's
// start and stop; the scene render and the projection queries while a model
// is drawn; model, material and actor files; 3D Studio ASCII import.
//
// The records the renderer reads (vertices, faces, materials, prepared
// models) are in renderer.h; the scene database state is in scene_state.h.
#pragma once

#include <cstdint>

#include "framework/hx_math.h"
#include "framework/hx_types.h"
#include "framework/registry.h"
#include "framework/renderer.h"

struct hx_pixelmap;
struct hx_actor;
struct hx_model;
struct hx_order_table;

// Scene resource classes.
enum : uint8_t {
    HX_RES_VERTICES = 4,
    HX_RES_FACES = 5,
    HX_RES_MODEL = 7,
    HX_RES_MATERIAL = 8,
    HX_RES_MATERIAL_INDEX = 9,
    HX_RES_ACTOR = 10,
    HX_RES_LIGHT = 13,
    HX_RES_CAMERA = 14,
    HX_RES_BOUNDS = 15,
    HX_RES_CLIP_PLANE = 16,
    HX_RES_TRANSFORM = 19,
    HX_RES_ENABLED_ACTORS = 40,
    HX_RES_PREPARED_MODEL = 42,
    HX_RES_ORDER_TABLE = 43,
};

// ---- models ----------------------------------------------------------------------

using hx_model_custom_cbfn = void (*)(hx_actor* actor, hx_model* model, hx_material* material,
                                      hx_order_table* table, uint8_t style, hx_token boundsResult);

struct hx_model {
    void* reserved;
    char* identifier;
    hx_vertex* vertices;
    hx_face* faces;
    uint16_t nvertices;
    uint16_t nfaces;
    hx_vector3 pivot;
    uint16_t flags;
    hx_model_custom_cbfn custom;
    void* user;
    hx_angle crease_angle;
    hx_scalar radius;
    hx_bounds3 bounds;
    hx_prepared_model* prepared;
    hx_object* stored;
};

// Model flags.
enum : uint16_t {
    HX_MODF_DONT_WELD = 0x0001,
    HX_MODF_KEEP_ORIGINAL = 0x0002,
    HX_MODF_GENERATE_TAGS = 0x0004,
    HX_MODF_CUSTOM = 0x0020,
    HX_MODF_PREPREPARED = 0x0040,
    HX_MODF_UPDATEABLE = 0x0080,
    HX_MODF_CREASE = 0x0100,
    HX_MODF_CUSTOM_NORMALS = 0x0200,
    HX_MODF_CUSTOM_BOUNDS = 0x0400,
    HX_MODF_STORED = 0x0800,
    HX_MODF_UNMATERIALED = 0x8000,
};

// Update flags.
enum : uint16_t {
    HX_MODU_POSITIONS = 0x0001,
    HX_MODU_VERTEX_COLOURS = 0x0002,
    HX_MODU_MAPPING = 0x0004,
    HX_MODU_NORMALS = 0x0008,
    HX_MODU_FACE_COLOURS = 0x0020,
    HX_MODU_BOUNDS = 0x0040,
    HX_MODU_GEOMETRY = 0x0100,
    HX_MODU_FULL = 0xFFD0,
    HX_MODU_ALL = 0x7FFF,
};

// Map types of HxModelApplyMap.
enum : int {
    HX_APPLYMAP_PLANE = 0,
    HX_APPLYMAP_SPHERE = 1,
    HX_APPLYMAP_CYLINDER = 2,
    HX_APPLYMAP_DISC = 3,
    HX_APPLYMAP_NONE = 4,
};

hx_model* HxModelAllocate(const char* name, int nvertices, int nfaces);
void HxModelFree(hx_model* model);
// Prepares the model for the renderer (groups, shared vertices, normals,
// planes, edges), or refreshes what the flags name. A model without arrays
// is reported through HxFailure, as are faces naming vertices out of range
// and a group of more than 65,535 prepared vertices.
void HxModelUpdate(hx_model* model, uint16_t flags);
void HxModelApplyMap(hx_model* model, int type, const hx_matrix34* xform);
hx_matrix34* HxModelFitMap(hx_model* model, int axisU, int axisV, hx_matrix34* out);
// Drops the model's stored geometry and prepared block.
void HxModelClearPrepared(hx_model* model);

// ---- materials, maps and shade tables ----------------------------------------------

hx_material* HxMaterialAllocate(const char* name);
void HxMaterialFree(hx_material* material);
// Rebuilds the material's stored state; the renderer's pop result, or 0
// with no renderer running.
hx_error HxMaterialUpdate(hx_material* material, uint16_t flags);
void HxMaterialClear(hx_material* material);
hx_object* HxMapUpdate(hx_pixelmap* pm, uint16_t flags);
hx_object* HxTableUpdate(hx_pixelmap* pm, uint16_t flags);
hx_object* HxBufferUpdate(hx_pixelmap* pm, hx_token use, uint16_t flags);
void HxBufferClear(hx_pixelmap* pm);

// ---- actors, cameras and lights ----------------------------------------------------

struct hx_actor {
    hx_actor* next;
    hx_actor** prev;
    hx_actor* children;
    hx_actor* parent;
    uint16_t depth;
    uint8_t type;
    char* identifier;
    hx_model* model;
    hx_material* material;
    uint8_t render_style;
    hx_order_table* render_data;
    hx_transform t;
    void* type_data;
    void* user;
};

enum : uint8_t {
    HX_ACTOR_NONE = 0,
    HX_ACTOR_MODEL = 1,
    HX_ACTOR_LIGHT = 2,
    HX_ACTOR_CAMERA = 3,
    _HX_ACTOR_RESERVED = 4,
    HX_ACTOR_BOUNDS = 5,
    HX_ACTOR_BOUNDS_CORRECT = 6,
    HX_ACTOR_CLIP_PLANE = 7,
    HX_ACTOR_HORIZON_PLANE = 8,
};

enum : uint8_t {
    HX_RSTYLE_DEFAULT = 0,
    HX_RSTYLE_NONE = 1,
    HX_RSTYLE_POINTS = 2,
    HX_RSTYLE_EDGES = 3,
    HX_RSTYLE_FACES = 4,
    HX_RSTYLE_BOUNDING_POINTS = 5,
    HX_RSTYLE_BOUNDING_EDGES = 6,
    HX_RSTYLE_BOUNDING_FACES = 7,
};

struct hx_light {
    char* identifier;
    uint8_t type;
    uint32_t colour;
    hx_scalar attenuation_c, attenuation_l, attenuation_q;
    hx_angle cone_outer, cone_inner;
};

enum : uint8_t {
    HX_LIGHT_POINT = 0,
    HX_LIGHT_DIRECT = 1,
    HX_LIGHT_SPOT = 2,
    HX_LIGHT_VIEW = 4,
};

struct hx_camera {
    char* identifier;
    uint8_t type;
    hx_angle field_of_view;
    hx_scalar hither_z, yon_z, aspect;
    hx_scalar width, height;
};

enum : uint8_t {
    HX_CAMERA_PARALLEL = 0,
    HX_CAMERA_PERSPECTIVE = 1,
    HX_CAMERA_PERSPECTIVE_OLD_2 = 2, // treated as PERSPECTIVE
    HX_CAMERA_PARALLEL_OLD = 3,
    HX_CAMERA_PERSPECTIVE_OLD = 4,
};

// The type of the product of transforms of types a then b.
uint16_t HxTransformCombine(uint16_t a, uint16_t b);

hx_actor* HxActorAllocate(uint8_t type, void* typeData);
// Puts the child at the head of the parent's children. A child in a tree
// is taken out of it first; a parent inside the child's own subtree (or the
// child itself) is refused with null.
hx_actor* HxActorAdd(hx_actor* parent, hx_actor* child);
hx_actor* HxActorRemove(hx_actor* actor);
// Moves the actor under a new parent, keeping its place in the world.
hx_actor* HxActorRelink(hx_actor* parent, hx_actor* actor);
void HxActorFree(hx_actor* actor);
using hx_actor_enum_cbfn = int (*)(hx_actor* child, void* arg);
int HxActorChildEnum(hx_actor* actor, hx_actor_enum_cbfn callback, void* arg);
int HxActorSearchMany(hx_actor* root, const char* path, hx_actor** out, int max);
hx_actor* HxActorSearch(hx_actor* root, const char* path);
uint16_t HxActorToActorMatrix34(hx_matrix34* out, hx_actor* from, hx_actor* to);
// Whether `to` is an ancestor of `from` (or `from` itself); the matrix from
// `from`'s space into `to`'s and its type.
bool HxActorToAncestorMatrix34(hx_matrix34* out, uint16_t* type, hx_actor* from, hx_actor* to);
void HxActorToScreenMatrix4(hx_matrix4* out, hx_actor* camera, hx_actor* actor);
hx_token HxCameraToScreenMatrix4(hx_matrix4* out, hx_actor* camera);
hx_bounds3* HxActorToBounds(hx_bounds3* out, hx_actor* actor);
hx_scalar HxScreenZToDepth(hx_actor* camera, hx_scalar sz);
hx_scalar HxDepthToScreenZ(hx_actor* camera, hx_scalar depth);
hx_scalar HxScreenZToLinearDepth(hx_actor* camera, hx_scalar sz);
uint32_t HxScreenZToDepthBuffer(hx_scalar sz);
hx_scalar HxDepthBufferToScreenZ(uint32_t value);
hx_vector3* HxScreenToViewPoint(hx_vector3* out, hx_actor* camera, hx_pixelmap* pm, int32_t x, int32_t y,
                                hx_scalar sz);

// ---- order tables ------------------------------------------------------------------

struct hx_order_table {
    void** buckets;
    uint16_t size;
    hx_order_table* next;
    hx_scalar min_z, max_z, sort_z;
    hx_scalar scale;
    uint32_t flags;
    uint16_t type;
    uint16_t visits;
};

enum : uint32_t {
    HX_OTF_DEPTH_EVERY = 0x01,
    HX_OTF_DEPTH_SECOND = 0x02,
    HX_OTF_SORT_NEAR = 0x08,
    HX_OTF_SORT_FAR = 0x10,
    HX_OTF_SORT_MIDDLE = 0x20,
};
enum : uint16_t {
    HX_OTS_AVERAGE = 1,
    HX_OTS_MIN = 2,
    HX_OTS_MAX = 3
};

hx_order_table* HxOrderTableAllocate(uint16_t size, uint32_t flags, uint16_t type);
void HxOrderTableFree(hx_order_table* table);
hx_order_table* HxOrderTableClear(hx_order_table* table);
void HxActorOrderTableSet(hx_actor* actor, hx_order_table* table);
hx_order_table* HxActorOrderTableGet(hx_actor* actor);
hx_order_table* HxPrimaryOrderTableSet(hx_order_table* table);
void HxPrimaryOrderTableClear();
void HxOrderTablePrimitiveInsert(hx_order_table* table, void* primitive, uint16_t bucket);
uint16_t HxOrderTableBucketSelect(const hx_scalar* depths, hx_token primitive, hx_scalar minZ, hx_scalar maxZ,
                                  uint16_t size, uint16_t sortType);
void HxOrderTableDepthSetup(const hx_bounds3* bounds, hx_order_table* table);
void HxOrderTableScaleUpdate(hx_order_table* table);
void HxOrderTableListInsert(hx_order_table* table);
// Draws the order tables at the end of a Z-sort render.
void HxOrderTablesRender();

// ---- enables -------------------------------------------------------------------------

int HxLightEnable(hx_actor* light);
void HxLightDisable(hx_actor* light);
int HxClipPlaneEnable(hx_actor* plane);
void HxClipPlaneDisable(hx_actor* plane);
int HxHorizonPlaneEnable(hx_actor* plane);
void HxHorizonPlaneDisable(hx_actor* plane);
hx_actor* HxEnvironmentSet(hx_actor* actor);
void HxActorDisable(hx_actor* actor);
void HxSetupLights(hx_actor* world, const hx_matrix34* worldToView, uint16_t ttype);
void HxSetupClipPlanes(hx_actor* world, const hx_matrix34* worldToView, uint16_t ttype,
                       const hx_matrix4* viewToScreen);
void HxSetupEnvironment(hx_actor* world, const hx_matrix34* worldToView, uint16_t ttype);

// ---- begin, end, renderer ----------------------------------------------------------

hx_error HxBegin();
hx_error HxEnd();
hx_error HxSceneBegin();
hx_error HxSceneEnd();
hx_error HxZbBegin(uint8_t colourType, uint8_t depthType);
void* HxZsBegin(uint8_t colourType, void* heap, uint32_t heapSize);
void HxZbEnd();
hx_error HxZsEnd();
hx_object* HxRendererQuery();
hx_error HxRendererEnd();

// The four registries, nine operations each.
#define HX_SCENE_REGISTRY(Name, type) \
    type* Hx##Name##Add(type* item); \
    type* Hx##Name##Remove(type* item); \
    type* Hx##Name##Find(const char* pattern); \
    hx_find_failed_cbfn Hx##Name##FindHookSet(hx_find_failed_cbfn hook); \
    int Hx##Name##AddMany(type** items, int n); \
    int Hx##Name##RemoveMany(type** items, int n); \
    int Hx##Name##FindMany(const char* pattern, type** out, int max); \
    int Hx##Name##Count(const char* pattern); \
    int Hx##Name##Enum(const char* pattern, hx_enum_cbfn callback, void* arg);
HX_SCENE_REGISTRY(Model, hx_model)
HX_SCENE_REGISTRY(Material, hx_material)
HX_SCENE_REGISTRY(Map, hx_pixelmap)
HX_SCENE_REGISTRY(Table, hx_pixelmap)
#undef HX_SCENE_REGISTRY

hx_model* HxDefaultModel();
hx_material* HxDefaultMaterial();

// ---- scene render --------------------------------------------------------------------

// The render-bounds callback: the drawn model's screen rectangle {min x,
// min y, max x, max y} relative to the colour pixelmap's origin.
using hx_render_bounds_cbfn = void (*)(hx_actor* actor, hx_model* model, hx_material* material,
                                       hx_order_table* table, uint8_t style, hx_matrix4* modelToScreen,
                                       const int32_t bounds[4]);
using hx_order_insert_cbfn = void (*)(void* primitive, void* arg1, void* arg2, void* arg3);

hx_error HxZbSceneRender(hx_actor* world, hx_actor* camera, hx_pixelmap* colour, hx_pixelmap* depth);
hx_error HxZsSceneRender(hx_actor* world, hx_actor* camera, hx_pixelmap* colour);
void HxZbSceneRenderBegin(hx_actor* world, hx_actor* camera, hx_pixelmap* colour, hx_pixelmap* depth);
void HxZsSceneRenderBegin(hx_actor* world, hx_actor* camera, hx_pixelmap* colour);
hx_error HxZbSceneRenderEnd();
hx_error HxZsSceneRenderEnd();
hx_render_bounds_cbfn HxZbSetRenderBoundsCallback(hx_render_bounds_cbfn callback);
hx_render_bounds_cbfn HxZsSetRenderBoundsCallback(hx_render_bounds_cbfn callback);
hx_render_bounds_cbfn HxRenderBoundsCallbackSet(hx_render_bounds_cbfn callback);
hx_order_insert_cbfn HxOrderTableInsertFunctionSet(hx_order_insert_cbfn function);
void HxZbModelRender(hx_actor* actor, hx_model* model, hx_material* material, uint8_t style,
                     hx_token boundsResult, hx_bool customAllowed);
void HxZsModelRender(hx_actor* actor, hx_model* model, hx_material* material, hx_order_table* table,
                     uint8_t style, hx_token boundsResult, hx_bool customAllowed);
void HxActorRenderFromCallback(hx_actor* actor);
hx_token HxBoundsTest(const hx_bounds3* box);

// ---- projection queries (while a model is drawn) -----------------------------------

hx_matrix4* HxModelToScreenQuery(hx_matrix4* out);
hx_matrix34* HxModelToViewQuery(hx_matrix34* out);
int HxOriginToScreen(hx_vector2* out);
uint32_t HxOriginToScreenOutcode(hx_vector3* out);
int HxPointToScreen(hx_vector2* out, const hx_vector3* point);
uint32_t HxPointToScreenOutcode(const hx_vector3* point, hx_vector3* out);
void HxPointsToScreen(hx_vector2* out, const hx_vector3* points, int n);
int HxPointsToScreenOutcode(hx_vector3* out, uint32_t* outcodes, const hx_vector3* points, int n);

// ---- files -----------------------------------------------------------------------------

hx_model* HxModelLoad(const char* name);
int HxModelLoadMany(const char* name, hx_model** out, int max);
int HxModelSave(const char* name, hx_model* model);
int HxModelSaveMany(const char* name, hx_model** models, int n);
hx_material* HxMaterialLoad(const char* name);
int HxMaterialLoadMany(const char* name, hx_material** out, int max);
int HxMaterialSave(const char* name, hx_material* material);
int HxMaterialSaveMany(const char* name, hx_material** materials, int n);
hx_actor* HxActorLoad(const char* name);
int HxActorLoadMany(const char* name, hx_actor** out, int max);
int HxActorSave(const char* name, hx_actor* actor);
int HxActorSaveMany(const char* name, hx_actor** actors, int n);
hx_error HxModelFileCount(const char* name, uint16_t* count);
hx_error HxMaterialFileCount(const char* name, uint16_t* count);
hx_error HxActorFileCount(const char* name, uint16_t* count);

int HxAscModelLoadMany(const char* name, hx_model** out, int max);
