// Model, material and actor files on the datafile format: the struct
// templates of our records, the chunk handlers that rebuild models,
// materials and actor trees through the datafile stack (the older chunk
// kinds included), the writers, and the load, save and count calls.
//
// Objects are collected from the stack at each END chunk and at the end of
// the file, in file order. Materials, maps, tables and models appear in
// files by name and are looked up in their registries (whose find hooks may
// load them).
#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "framework/datafile.h"
#include "framework/diag.h"
#include "framework/file.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"

namespace {

// ---- chunk ids and stack types -----------------------------------------------------------

enum : uint32_t {
    kEnd = 0,
    kMaterialOld = 4,
    kOldMaterialIndex = 9,
    kOldVertices = 10,
    kOldVerticesUV = 11,
    kOldFaces = 12,
    kOldModel = 13,
    kPivot = 21,
    kMaterialIndex = 22,
    kVertices = 23,
    kVertexUV = 24,
    kOldFaces1 = 25,
    kFaceMaterial = 26,
    kOldModel1 = 27,
    kColourMapRef = 28,
    kIndexBlendRef = 30,
    kIndexShadeRef = 31,
    kScreenDoorRef = 32,
    kActor = 35,
    kActorModel = 36,
    kActorTransform = 37,
    kActorMaterial = 38,
    kActorLight = 39,
    kActorCamera = 40,
    kActorBounds = 41,
    kActorAddChild = 42,
    kTransformFirst = 43, // TRANSFORM_MATRIX34; + the transform type
    kTransformLast = 49,  // TRANSFORM_IDENTITY
    kBounds = 50,
    kLight = 51,
    kCamera = 52,
    kFaces = 53,
    kModel = 54,
    kActorClipPlane = 55,
    kPlane = 56,
    kIndexFogRef = 59,
    kMaterial = 60,
};

enum : int {
    kStackMaterial = 3,
    kStackActor = 4,
    kStackMaterialIndex = 5,
    kStackVertices = 6,
    kStackFaces = 7,
    kStackModel = 8,
    kStackTransform = 16,
    kStackLight = 17,
    kStackCamera = 18,
    kStackBounds = 19,
    kStackPlane = 20,
};

constexpr uint16_t kFileModelFlags = 0x17;

// ---- struct templates ----------------------------------------------------------------------

#define MEMBER(type, record, field, name) \
    { \
        type, uint32_t(offsetof(record, field)), name, nullptr \
    }
#define TEMPLATE(variable, name, record, members) \
    const hx_struct_template variable = {name, uint32_t(std::size(members)), members, sizeof(record)}

constexpr hx_struct_member kModelMembers[] = {
    MEMBER(HX_DF_UINT_16, hx_model, flags, "flags"),
    MEMBER(HX_DF_ASCIZ, hx_model, identifier, "identifier"),
};
TEMPLATE(kModelTemplate, "hx_model", hx_model, kModelMembers);
constexpr hx_struct_member kOldModel1Members[] = {MEMBER(HX_DF_ASCIZ, hx_model, identifier, "identifier")};
TEMPLATE(kOldModel1Template, "hx_old_model_1", hx_model, kOldModel1Members);

constexpr hx_struct_member kVertexMembers[] = {
    MEMBER(HX_DF_SCALAR, hx_vertex, p.x, "p.v[X]"),
    MEMBER(HX_DF_SCALAR, hx_vertex, p.y, "p.v[Y]"),
    MEMBER(HX_DF_SCALAR, hx_vertex, p.z, "p.v[Z]"),
};
TEMPLATE(kVertexTemplate, "hx_vertex", hx_vertex, kVertexMembers);
constexpr hx_struct_member kVertexUVMembers[] = {
    MEMBER(HX_DF_SCALAR, hx_vertex, map.x, "map.v[0]"),
    MEMBER(HX_DF_SCALAR, hx_vertex, map.y, "map.v[1]"),
};
TEMPLATE(kVertexUVTemplate, "hx_vertex_uv", hx_vertex, kVertexUVMembers);
constexpr hx_struct_member kOldVertexUVMembers[] = {
    kVertexMembers[0],
    kVertexMembers[1],
    kVertexMembers[2],
    kVertexUVMembers[0],
    kVertexUVMembers[1],
};
TEMPLATE(kOldVertexUVTemplate, "hx_old_vertex_uv", hx_vertex, kOldVertexUVMembers);

constexpr hx_struct_member kFaceMembers[] = {
    MEMBER(HX_DF_UINT_16, hx_face, vertices[0], "vertices[0]"),
    MEMBER(HX_DF_UINT_16, hx_face, vertices[1], "vertices[1]"),
    MEMBER(HX_DF_UINT_16, hx_face, vertices[2], "vertices[2]"),
    MEMBER(HX_DF_UINT_16, hx_face, smoothing, "smoothing"),
    MEMBER(HX_DF_UINT_8, hx_face, flags, "flags"),
};
TEMPLATE(kFaceTemplate, "hx_face", hx_face, kFaceMembers);

// The older faces: a smoothing group number, or a material number and
// 32 smoothing bits.
struct OldFace1 {
    uint16_t vertices[3];
    uint8_t smoothing;
    uint8_t flags;
};
constexpr hx_struct_member kOldFace1Members[] = {
    MEMBER(HX_DF_UINT_16, OldFace1, vertices[0], "vertices[0]"),
    MEMBER(HX_DF_UINT_16, OldFace1, vertices[1], "vertices[1]"),
    MEMBER(HX_DF_UINT_16, OldFace1, vertices[2], "vertices[2]"),
    MEMBER(HX_DF_UINT_8, OldFace1, smoothing, "smoothing"),
    MEMBER(HX_DF_UINT_8, OldFace1, flags, "flags"),
};
TEMPLATE(kOldFace1Template, "hx_old_face_1", OldFace1, kOldFace1Members);
struct OldFace {
    uint16_t vertices[3];
    uint16_t material;
    uint32_t smoothing;
};
constexpr hx_struct_member kOldFaceMembers[] = {
    MEMBER(HX_DF_UINT_16, OldFace, vertices[0], "vertices[0]"),
    MEMBER(HX_DF_UINT_16, OldFace, vertices[1], "vertices[1]"),
    MEMBER(HX_DF_UINT_16, OldFace, vertices[2], "vertices[2]"),
    MEMBER(HX_DF_UINT_16, OldFace, material, "material"),
    MEMBER(HX_DF_UINT_32, OldFace, smoothing, "smoothing"),
};
TEMPLATE(kOldFaceTemplate, "hx_old_face", OldFace, kOldFaceMembers);

constexpr hx_struct_member kPivotMembers[] = {MEMBER(HX_DF_VECTOR3, hx_model, pivot, "pivot")};
TEMPLATE(kPivotTemplate, "hx_pivot", hx_model, kPivotMembers);

#define MATERIAL_MEMBERS \
    MEMBER(HX_DF_COLOUR, hx_material, colour, "colour"), MEMBER(HX_DF_UINT_8, hx_material, opacity, "opacity"), \
        MEMBER(HX_DF_UFRACTION, hx_material, ka, "ka"), MEMBER(HX_DF_UFRACTION, hx_material, kd, "kd"), \
        MEMBER(HX_DF_UFRACTION, hx_material, ks, "ks"), MEMBER(HX_DF_SCALAR, hx_material, power, "power"), \
        MEMBER(HX_DF_UINT_32, hx_material, flags, "flags"), \
        MEMBER(HX_DF_VECTOR2, hx_material, map_transform.m[0], "map_transform.m[0]"), \
        MEMBER(HX_DF_VECTOR2, hx_material, map_transform.m[1], "map_transform.m[1]"), \
        MEMBER(HX_DF_VECTOR2, hx_material, map_transform.m[2], "map_transform.m[2]"), \
        MEMBER(HX_DF_UINT_8, hx_material, index_base, "index_base"), \
        MEMBER(HX_DF_UINT_8, hx_material, index_range, "index_range")
constexpr hx_struct_member kMaterialMembers[] = {
    MATERIAL_MEMBERS,
    MEMBER(HX_DF_SCALAR, hx_material, fog_min, "fog_min"),
    MEMBER(HX_DF_SCALAR, hx_material, fog_max, "fog_max"),
    MEMBER(HX_DF_COLOUR, hx_material, fog_colour, "fog_colour"),
    MEMBER(HX_DF_UINT_32, hx_material, mode, "mode"),
    MEMBER(HX_DF_INT_32, hx_material, subdivide_tolerance, "subdivide_tolerance"),
    MEMBER(HX_DF_ASCIZ, hx_material, identifier, "identifier"),
};
TEMPLATE(kMaterialTemplate, "hx_material", hx_material, kMaterialMembers);
constexpr hx_struct_member kMaterialOldMembers[] = {
    MATERIAL_MEMBERS,
    MEMBER(HX_DF_ASCIZ, hx_material, identifier, "identifier"),
};
TEMPLATE(kMaterialOldTemplate, "hx_material_old", hx_material, kMaterialOldMembers);

// clang-format off
constexpr hx_enum_value kActorTypeNames[] = {
    {HX_ACTOR_NONE, "HX_ACTOR_NONE"},     {HX_ACTOR_MODEL, "HX_ACTOR_MODEL"},
    {HX_ACTOR_LIGHT, "HX_ACTOR_LIGHT"},   {HX_ACTOR_CAMERA, "HX_ACTOR_CAMERA"},
    {_HX_ACTOR_RESERVED, "_HX_ACTOR_RESERVED"}, {HX_ACTOR_BOUNDS, "HX_ACTOR_BOUNDS"},
    {HX_ACTOR_BOUNDS_CORRECT, "HX_ACTOR_BOUNDS_CORRECT"}, {HX_ACTOR_CLIP_PLANE, "HX_ACTOR_CLIP_PLANE"},
};
// clang-format on
constexpr hx_enum_table kActorTypes = {uint32_t(std::size(kActorTypeNames)), kActorTypeNames};
// clang-format off
constexpr hx_enum_value kStyleNames[] = {
    {HX_RSTYLE_DEFAULT, "HX_RSTYLE_DEFAULT"}, {HX_RSTYLE_NONE, "HX_RSTYLE_NONE"},
    {HX_RSTYLE_POINTS, "HX_RSTYLE_POINTS"},   {HX_RSTYLE_EDGES, "HX_RSTYLE_EDGES"},
    {HX_RSTYLE_FACES, "HX_RSTYLE_FACES"},     {HX_RSTYLE_BOUNDING_POINTS, "HX_RSTYLE_BOUNDING_POINTS"},
    {HX_RSTYLE_BOUNDING_EDGES, "HX_RSTYLE_BOUNDING_EDGES"}, {HX_RSTYLE_BOUNDING_FACES, "HX_RSTYLE_BOUNDING_FACES"},
};
// clang-format on
constexpr hx_enum_table kStyles = {uint32_t(std::size(kStyleNames)), kStyleNames};
constexpr hx_struct_member kActorMembers[] = {
    {HX_DF_ENUM_8, uint32_t(offsetof(hx_actor, type)), "type", &kActorTypes},
    {HX_DF_ENUM_8, uint32_t(offsetof(hx_actor, render_style)), "render_style", &kStyles},
    MEMBER(HX_DF_ASCIZ, hx_actor, identifier, "identifier"),
};
TEMPLATE(kActorTemplate, "hx_actor", hx_actor, kActorMembers);

// Transforms are read into the record's body.
using Body = decltype(hx_transform::t);
constexpr hx_struct_member kMatrixMembers[] = {
    MEMBER(HX_DF_VECTOR3, Body, mat.m[0], "t.mat.m[0]"),
    MEMBER(HX_DF_VECTOR3, Body, mat.m[1], "t.mat.m[1]"),
    MEMBER(HX_DF_VECTOR3, Body, mat.m[2], "t.mat.m[2]"),
    MEMBER(HX_DF_VECTOR3, Body, mat.m[3], "t.mat.m[3]"),
};
TEMPLATE(kMatrixTemplate, "hx_transform_matrix34", Body, kMatrixMembers);
constexpr hx_struct_member kQuatMembers[] = {
    MEMBER(HX_DF_SCALAR, Body, quat.q.x, "t.quat.q.x"),
    MEMBER(HX_DF_SCALAR, Body, quat.q.y, "t.quat.q.y"),
    MEMBER(HX_DF_SCALAR, Body, quat.q.z, "t.quat.q.z"),
    MEMBER(HX_DF_SCALAR, Body, quat.q.w, "t.quat.q.w"),
    MEMBER(HX_DF_VECTOR3, Body, quat.t, "t.quat.t"),
};
TEMPLATE(kQuatTemplate, "hx_transform_quat", Body, kQuatMembers);
const hx_enum_table& EulerOrders()
{
    static hx_enum_value values[24];
    static const hx_enum_table table = [] {
        for (int i = 0; i < 24; ++i)
            values[i] = {HxEulerOrderNames[i].order, HxEulerOrderNames[i].name};
        return hx_enum_table{24, values};
    }();
    return table;
}
const hx_struct_member kEulerMembers[] = {
    MEMBER(HX_DF_ANGLE, Body, euler.e.a, "t.euler.e.a"),
    MEMBER(HX_DF_ANGLE, Body, euler.e.b, "t.euler.e.b"),
    MEMBER(HX_DF_ANGLE, Body, euler.e.c, "t.euler.e.c"),
    {HX_DF_ENUM_8, uint32_t(offsetof(Body, euler.e.order)), "t.euler.e.order", &EulerOrders()},
    MEMBER(HX_DF_VECTOR3, Body, euler.t, "t.euler.t"),
};
TEMPLATE(kEulerTemplate, "hx_transform_euler", Body, kEulerMembers);
constexpr hx_struct_member kLookUpMembers[] = {
    MEMBER(HX_DF_VECTOR3, Body, look_up.look, "t.look_up.look"),
    MEMBER(HX_DF_VECTOR3, Body, look_up.up, "t.look_up.up"),
    MEMBER(HX_DF_VECTOR3, Body, look_up.t, "t.look_up.t"),
};
TEMPLATE(kLookUpTemplate, "hx_transform_look_up", Body, kLookUpMembers);
constexpr hx_struct_member kTranslationMembers[] = {MEMBER(HX_DF_VECTOR3, Body, translate.t, "t.translate.t")};
TEMPLATE(kTranslationTemplate, "hx_transform_translation", Body, kTranslationMembers);
// By transform type; the identity has no body.
// clang-format off
const hx_struct_template* const kTransformTemplates[HX_TRANSFORM_TYPE_COUNT] = {
    &kMatrixTemplate, &kMatrixTemplate,      &kQuatTemplate, &kEulerTemplate,
    &kLookUpTemplate, &kTranslationTemplate, nullptr,
};
// clang-format on

constexpr hx_struct_member kLightMembers[] = {
    MEMBER(HX_DF_UINT_8, hx_light, type, "type"),
    MEMBER(HX_DF_COLOUR, hx_light, colour, "colour"),
    MEMBER(HX_DF_SCALAR, hx_light, attenuation_c, "attenuation_c"),
    MEMBER(HX_DF_SCALAR, hx_light, attenuation_l, "attenuation_l"),
    MEMBER(HX_DF_SCALAR, hx_light, attenuation_q, "attenuation_q"),
    MEMBER(HX_DF_ANGLE, hx_light, cone_outer, "cone_outer"),
    MEMBER(HX_DF_ANGLE, hx_light, cone_inner, "cone_inner"),
    MEMBER(HX_DF_ASCIZ, hx_light, identifier, "identifier"),
};
TEMPLATE(kLightTemplate, "hx_light", hx_light, kLightMembers);
constexpr hx_struct_member kCameraMembers[] = {
    MEMBER(HX_DF_UINT_8, hx_camera, type, "type"),
    MEMBER(HX_DF_ANGLE, hx_camera, field_of_view, "field_of_view"),
    MEMBER(HX_DF_SCALAR, hx_camera, hither_z, "hither_z"),
    MEMBER(HX_DF_SCALAR, hx_camera, yon_z, "yon_z"),
    MEMBER(HX_DF_SCALAR, hx_camera, aspect, "aspect"),
    MEMBER(HX_DF_SCALAR, hx_camera, width, "width"),
    MEMBER(HX_DF_SCALAR, hx_camera, height, "height"),
    MEMBER(HX_DF_ASCIZ, hx_camera, identifier, "identifier"),
};
TEMPLATE(kCameraTemplate, "hx_camera", hx_camera, kCameraMembers);
constexpr hx_struct_member kBoundsMembers[] = {
    MEMBER(HX_DF_VECTOR3, hx_bounds3, min, "min"),
    MEMBER(HX_DF_VECTOR3, hx_bounds3, max, "max"),
};
TEMPLATE(kBoundsTemplate, "hx_bounds3", hx_bounds3, kBoundsMembers);
constexpr hx_struct_member kPlaneMembers[] = {MEMBER(HX_DF_VECTOR4, hx_plane, x, "eqn")};
TEMPLATE(kPlaneTemplate, "hx_plane", hx_plane, kPlaneMembers);

#undef MATERIAL_MEMBERS
#undef MEMBER
#undef TEMPLATE

// ---- reading: helpers ------------------------------------------------------------------------

template <typename T>
T* Top(int type)
{
    return DfTopType() == type ? static_cast<T*>(DfTop(type, nullptr)) : nullptr;
}

template <typename T>
T* Pop(int type, int* count = nullptr)
{
    return DfTopType() == type ? static_cast<T*>(DfPop(type, count)) : nullptr;
}

int Missing(const char* chunk, const char* what)
{
    HxFailure("%s: no %s to take it", chunk, what);
    return int(HXE_FAIL);
}

// Reads one struct into a record whose strings hang under `owner`.
hx_error ReadStruct(hx_datafile* df, const hx_struct_template* t, void* record, void* owner)
{
    void* parent = df->res;
    df->res = owner;
    hx_error e = df->prims->struct_read(df, t, record);
    df->res = parent;
    return e;
}

// Reads n records into the array, and any beyond its capacity into a
// scratch record, so the file stays in step.
// `read`, when given, receives the number of records read whole: all n, or
// fewer when the file ends or a record is damaged.
hx_error ReadArray(hx_datafile* df, const hx_struct_template* t, void* first, uint32_t capacity, uint32_t n,
                   void* owner, uint32_t* read = nullptr)
{
    std::vector<uint8_t> spare(t->size);
    hx_error e = HX_OK;
    uint32_t i = 0;
    for (; i < n; ++i) {
        void* record = i < capacity ? static_cast<uint8_t*>(first) + size_t(i) * t->size : spare.data();
        if (HxFileEof(df->h)) {
            e = HXE_FAIL;
            break;
        }
        if ((e = ReadStruct(df, t, record, owner)) != HX_OK)
            break;
    }
    if (read)
        *read = i;
    return e;
}

// Records in a chunk without a count: its length over one record's size.
uint32_t RecordsIn(hx_datafile* df, const hx_struct_template* t, uint32_t length)
{
    std::vector<uint8_t> blank(t->size, 0);
    uint32_t size = df->prims->struct_size(df, t, blank.data());
    return size ? length / size : 0;
}

// Counts of model arrays are 16-bit.
bool CountFits(uint32_t n, const char* chunk)
{
    if (n <= 0xFFFF)
        return true;
    HxFailure("%s: %u entries are more than a model holds", chunk, n);
    return false;
}

template <typename T>
T* NewArray(void* parent, uint32_t n, uint8_t cls)
{
    if (n == 0)
        return nullptr;
    auto* a = static_cast<T*>(HxResAllocate(parent, n * uint32_t(sizeof(T)), cls));
    if (a)
        std::memset(static_cast<void*>(a), 0, size_t(n) * sizeof(T));
    return a;
}

hx_material* FindMaterialByName(const char* name)
{
    return name[0] ? HxMaterialFind(name) : nullptr;
}

// ---- reading: models ---------------------------------------------------------------------------

int NewModel(hx_datafile* df, const hx_struct_template* t, bool keepFlags)
{
    hx_model* m = HxModelAllocate(nullptr, 0, 0);
    if (!m)
        return int(HXE_NO_MEMORY);
    if (hx_error e = ReadStruct(df, t, m, m)) {
        HxModelFree(m);
        return int(e);
    }
    m->flags = keepFlags ? uint16_t(m->flags & kFileModelFlags) : 0;
    DfPush(kStackModel, m, 1);
    return 0;
}

int OnModel(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    return NewModel(df, &kModelTemplate, true);
}

int OnOldModel1(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    return NewModel(df, &kOldModel1Template, false);
}

int OnOldModel(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    int nf = 0, nv = 0;
    auto* faces = Pop<hx_face>(kStackFaces, &nf);
    auto* vertices = Pop<hx_vertex>(kStackVertices, &nv);
    if (!faces || !vertices)
        return Missing("OLD_MODEL", "faces and vertices");
    if (int r = NewModel(df, &kOldModel1Template, false))
        return r;
    hx_model* m = Top<hx_model>(kStackModel);
    m->faces = faces;
    m->vertices = vertices;
    m->nfaces = uint16_t(nf);
    m->nvertices = uint16_t(nv);
    HxResAdd(m, faces);
    HxResAdd(m, vertices);
    // Faces naming vertices beyond the array are caught by the update.
    return 0;
}

int OnVertices(hx_datafile* df, uint32_t, uint32_t, uint32_t n)
{
    hx_model* m = Top<hx_model>(kStackModel);
    if (!m)
        return Missing("VERTICES", "model");
    if (!CountFits(n, "VERTICES"))
        return int(HXE_FAIL);
    if (m->vertices)
        HxResFree(m->vertices);
    m->vertices = NewArray<hx_vertex>(m, n, HX_RES_VERTICES);
    m->nvertices = m->vertices ? uint16_t(n) : 0;
    // A list that ends early leaves the model the vertices it holds, not a
    // tail of made-up ones at the origin.
    uint32_t read = 0;
    const hx_error e = ReadArray(df, &kVertexTemplate, m->vertices, m->nvertices, n, m, &read);
    m->nvertices = uint16_t(std::min<uint32_t>(m->nvertices, read));
    return int(e);
}

int OnVertexUV(hx_datafile* df, uint32_t, uint32_t, uint32_t n)
{
    hx_model* m = Top<hx_model>(kStackModel);
    if (!m)
        return Missing("VERTEX_UV", "model");
    if (n > m->nvertices)
        HxFailure("Vertex UV: too many entries");
    return int(ReadArray(df, &kVertexUVTemplate, m->vertices, m->nvertices, n, m));
}

int OnOldVertices(hx_datafile* df, uint32_t id, uint32_t length, uint32_t)
{
    const hx_struct_template* t = id == kOldVertices ? &kVertexTemplate : &kOldVertexUVTemplate;
    const uint32_t n = RecordsIn(df, t, length);
    if (n == 0 || !CountFits(n, "OLD_VERTICES"))
        return int(HXE_FAIL);
    auto* vertices = NewArray<hx_vertex>(v1db.res, n, HX_RES_VERTICES);
    if (!vertices)
        return int(HXE_NO_MEMORY);
    if (hx_error e = ReadArray(df, t, vertices, n, n, vertices)) {
        HxResFree(vertices);
        return int(e);
    }
    DfPush(kStackVertices, vertices, int(n));
    return 0;
}

int OnFaces(hx_datafile* df, uint32_t id, uint32_t, uint32_t n)
{
    hx_model* m = Top<hx_model>(kStackModel);
    if (!m)
        return Missing("FACES", "model");
    if (!CountFits(n, "FACES"))
        return int(HXE_FAIL);
    if (m->faces)
        HxResFree(m->faces);
    m->faces = NewArray<hx_face>(m, n, HX_RES_FACES);
    m->nfaces = m->faces ? uint16_t(n) : 0;
    // A list that ends early leaves the model the faces it holds: the rest
    // would be made-up faces all on vertex 0.
    uint32_t read = 0;
    hx_error e;
    if (id == kFaces) {
        e = ReadArray(df, &kFaceTemplate, m->faces, m->nfaces, n, m, &read);
    } else {
        std::vector<OldFace1> old(n);
        e = ReadArray(df, &kOldFace1Template, old.data(), n, n, m, &read);
        for (uint32_t i = 0; i < m->nfaces && i < read; ++i) {
            hx_face& f = m->faces[i];
            std::copy(std::begin(old[i].vertices), std::end(old[i].vertices), f.vertices);
            f.flags = old[i].flags;
            f.smoothing = old[i].smoothing ? uint16_t(1u << ((old[i].smoothing - 1) % 16)) : 0xFFFF;
        }
    }
    m->nfaces = uint16_t(std::min<uint32_t>(m->nfaces, read));
    return int(e);
}

int OnOldFaces(hx_datafile* df, uint32_t, uint32_t length, uint32_t)
{
    int nv = 0, ni = 0;
    auto* vertices = Pop<hx_vertex>(kStackVertices, &nv);
    if (!vertices)
        return Missing("OLD_FACES", "vertices");
    auto* index = Pop<hx_material*>(kStackMaterialIndex, &ni);
    DfPush(kStackVertices, vertices, nv);
    if (!index)
        return Missing("OLD_FACES", "material index");
    const uint32_t n = RecordsIn(df, &kOldFaceTemplate, length);
    if (n == 0 || !CountFits(n, "OLD_FACES")) {
        HxResFree(index);
        return int(HXE_FAIL);
    }
    std::vector<OldFace> old(n);
    hx_error e = ReadArray(df, &kOldFaceTemplate, old.data(), n, n, nullptr);
    auto* faces = e == HX_OK ? NewArray<hx_face>(v1db.res, n, HX_RES_FACES) : nullptr;
    if (faces) {
        for (uint32_t i = 0; i < n; ++i) {
            hx_face& f = faces[i];
            std::copy(std::begin(old[i].vertices), std::end(old[i].vertices), f.vertices);
            f.material = old[i].material < uint32_t(ni) ? index[old[i].material] : nullptr;
            f.smoothing = old[i].smoothing ? uint16_t(old[i].smoothing) : 0xFFFF;
        }
        DfPush(kStackFaces, faces, int(n));
    }
    HxResFree(index);
    return e != HX_OK ? int(e) : faces ? 0
                                       : int(HXE_NO_MEMORY);
}

int PushIndex(const std::vector<hx_material*>& materials)
{
    auto* index = static_cast<hx_material**>(
        HxResAllocate(v1db.res, uint32_t(materials.size() + 1) * uint32_t(sizeof(hx_material*)), HX_RES_MATERIAL_INDEX));
    if (!index)
        return int(HXE_NO_MEMORY);
    index[0] = nullptr;
    std::copy(materials.begin(), materials.end(), index + 1);
    DfPush(kStackMaterialIndex, index, int(materials.size() + 1));
    return 0;
}

int OnMaterialIndex(hx_datafile* df, uint32_t, uint32_t, uint32_t n)
{
    if (n > 0xFFFF) {
        HxFailure("MATERIAL_INDEX: %u entries", n);
        return int(HXE_FAIL);
    }
    std::vector<hx_material*> materials;
    char name[256];
    for (uint32_t i = 0; i < n; ++i) {
        if (HxFileEof(df->h))
            return int(HXE_FAIL);
        if (hx_error e = df->prims->name_read(df, name))
            return int(e);
        materials.push_back(FindMaterialByName(name));
    }
    return PushIndex(materials);
}

int OnOldMaterialIndex(hx_datafile* df, uint32_t, uint32_t length, uint32_t)
{
    const bool text = df->prims == &HxFilePrimitivesReadText;
    std::vector<hx_material*> materials;
    char name[256];
    for (uint32_t used = 0; used < length;) {
        if (HxFileEof(df->h) || df->prims->name_read(df, name) != HX_OK) {
            HxFailure("could not read material index");
            return int(HXE_FAIL);
        }
        used += text ? 1 : uint32_t(std::strlen(name)) + 1;
        materials.push_back(FindMaterialByName(name));
    }
    return PushIndex(materials);
}

int OnFaceMaterial(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    int ni = 0;
    auto* index = Pop<hx_material*>(kStackMaterialIndex, &ni);
    if (!index)
        return Missing("FACE_MATERIAL", "material index");
    hx_model* m = Top<hx_model>(kStackModel);
    void* block = nullptr;
    uint32_t count = 0;
    hx_error e = df->prims->block_read(df, &block, &count, 2, HX_RES_MATERIAL_INDEX);
    if (e == HX_OK && !m)
        e = hx_error(Missing("FACE_MATERIAL", "model"));
    if (e == HX_OK) {
        if (count > m->nfaces)
            HxFailure("Face Materials: too many entries");
        const auto* entries = static_cast<const uint16_t*>(block);
        for (uint32_t k = 0; k < std::min<uint32_t>(count, m->nfaces); ++k)
            m->faces[k].material = entries[k] < uint32_t(ni) ? index[entries[k]] : nullptr;
    }
    if (block)
        HxResFree(block);
    HxResFree(index);
    return int(e);
}

int OnPivot(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    hx_model* m = Top<hx_model>(kStackModel);
    if (!m)
        return Missing("PIVOT", "model");
    return int(ReadStruct(df, &kPivotTemplate, m, m));
}

// ---- reading: materials ------------------------------------------------------------------------

int OnMaterial(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    const hx_struct_template* t = id == kMaterial ? &kMaterialTemplate : &kMaterialOldTemplate;
    hx_material* m = HxMaterialAllocate(nullptr);
    if (!m)
        return int(HXE_NO_MEMORY);
    if (hx_error e = ReadStruct(df, t, m, m)) {
        HxMaterialFree(m);
        return int(e);
    }
    DfPush(kStackMaterial, m, 1);
    return 0;
}

int OnMaterialRef(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    char name[256];
    if (hx_error e = df->prims->name_read(df, name))
        return int(e);
    hx_material* m = Top<hx_material>(kStackMaterial);
    if (!m)
        return Missing(HxDfChunkName(id), "material");
    switch (id) {
    case kColourMapRef:
        m->colour_map = HxMapFind(name);
        break;
    case kIndexBlendRef:
        m->index_blend = HxTableFind(name);
        break;
    case kIndexShadeRef:
        m->index_shade = HxTableFind(name);
        break;
    case kScreenDoorRef:
        m->screendoor = HxTableFind(name);
        break;
    case kIndexFogRef:
        m->index_fog = HxTableFind(name);
        break;
    default:
        _HxAssert("i < HX_ASIZE(MaterialMaps)", "v1dbfile", 600);
        return int(HXE_FAIL);
    }
    return 0;
}

// ---- reading: actors -------------------------------------------------------------------------

int OnActor(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    hx_actor* a = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    if (!a)
        return int(HXE_NO_MEMORY);
    if (hx_error e = ReadStruct(df, &kActorTemplate, a, a)) {
        HxActorFree(a);
        return int(e);
    }
    a->t.type = HX_TRANSFORM_IDENTITY;
    DfPush(kStackActor, a, 1);
    return 0;
}

int OnActorRef(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    char name[256];
    if (hx_error e = df->prims->name_read(df, name))
        return int(e);
    hx_actor* a = Top<hx_actor>(kStackActor);
    if (!a)
        return Missing(HxDfChunkName(id), "actor");
    if (id == kActorModel)
        a->model = HxModelFind(name);
    else
        a->material = HxMaterialFind(name);
    return 0;
}

int OnTransform(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    const uint16_t type = uint16_t(id - kTransformFirst);
    HX_CHECK_AS(type < HX_TRANSFORM_TYPE_COUNT, "t < HX_ASIZE(TransformTypes)", "v1dbfile", 700, int(HXE_FAIL));
    auto* t = static_cast<hx_transform*>(HxResAllocate(v1db.res, sizeof(hx_transform), HX_RES_TRANSFORM));
    if (!t)
        return int(HXE_NO_MEMORY);
    std::memset(static_cast<void*>(t), 0, sizeof *t);
    t->type = type;
    if (const hx_struct_template* tpl = kTransformTemplates[type]) {
        if (hx_error e = ReadStruct(df, tpl, &t->t, nullptr)) {
            HxResFree(t);
            return int(e);
        }
    }
    DfPush(kStackTransform, t, 1);
    return 0;
}

int OnActorTransform(hx_datafile*, uint32_t, uint32_t, uint32_t)
{
    auto* t = Pop<hx_transform>(kStackTransform);
    if (!t)
        return Missing("ACTOR_TRANSFORM", "transform");
    hx_actor* a = Top<hx_actor>(kStackActor);
    if (a)
        a->t = *t;
    HxResFree(t);
    return a ? 0 : Missing("ACTOR_TRANSFORM", "actor");
}

struct TypeData {
    uint32_t chunk;
    int stack;
    uint8_t cls;
    const hx_struct_template* tpl;
    uint32_t size;
};
constexpr TypeData kTypeData[] = {
    {kLight, kStackLight, HX_RES_LIGHT, &kLightTemplate, sizeof(hx_light)},
    {kCamera, kStackCamera, HX_RES_CAMERA, &kCameraTemplate, sizeof(hx_camera)},
    {kBounds, kStackBounds, HX_RES_BOUNDS, &kBoundsTemplate, sizeof(hx_bounds3)},
    {kPlane, kStackPlane, HX_RES_CLIP_PLANE, &kPlaneTemplate, sizeof(hx_plane)},
};

int OnTypeData(hx_datafile* df, uint32_t id, uint32_t, uint32_t)
{
    const TypeData* d = std::find_if(std::begin(kTypeData), std::end(kTypeData),
                                     [&](const TypeData& t) { return t.chunk == id; });
    void* record = HxResAllocate(v1db.res, d->size, d->cls);
    if (!record)
        return int(HXE_NO_MEMORY);
    std::memset(record, 0, d->size);
    if (hx_error e = ReadStruct(df, d->tpl, record, record)) {
        HxResFree(record);
        return int(e);
    }
    DfPush(d->stack, record, 1);
    return 0;
}

int OnActorTypeData(hx_datafile*, uint32_t id, uint32_t, uint32_t)
{
    const int stack = id == kActorLight    ? kStackLight
                      : id == kActorCamera ? kStackCamera
                      : id == kActorBounds ? kStackBounds
                                           : kStackPlane;
    void* record = Pop<void>(stack);
    if (!record)
        return Missing(HxDfChunkName(id), "record");
    hx_actor* a = Top<hx_actor>(kStackActor);
    if (!a) {
        HxResFree(record);
        return Missing(HxDfChunkName(id), "actor");
    }
    // Everything that reads type data reads it as the actor's type says.
    const bool fits = id == kActorLight    ? a->type == HX_ACTOR_LIGHT
                      : id == kActorCamera ? a->type == HX_ACTOR_CAMERA
                      : id == kActorBounds ? a->type == HX_ACTOR_BOUNDS || a->type == HX_ACTOR_BOUNDS_CORRECT
                                           : a->type == HX_ACTOR_CLIP_PLANE;
    if (!fits) {
        HxFailure("%s: an actor of type %u cannot take it", HxDfChunkName(id), a->type);
        HxResFree(record);
        return int(HXE_FAIL);
    }
    // The record goes with its actor.
    HxResAdd(a, record);
    a->type_data = record;
    return 0;
}

int OnAddChild(hx_datafile*, uint32_t, uint32_t, uint32_t)
{
    hx_actor* child = Pop<hx_actor>(kStackActor);
    if (!child)
        return Missing("ACTOR_ADD_CHILD", "child");
    hx_actor* parent = Top<hx_actor>(kStackActor);
    if (!parent) {
        HxActorFree(child);
        return Missing("ACTOR_ADD_CHILD", "parent");
    }
    HxActorAdd(parent, child);
    return 0;
}

// END closes one object (or tree): the loop pauses to collect.
int OnEnd(hx_datafile*, uint32_t, uint32_t, uint32_t)
{
    return 1;
}

constexpr hx_chunk_entry kEntries[] = {
    {kEnd, 0, OnEnd},
    {kModel, 0, OnModel},
    {kOldModel1, 0, OnOldModel1},
    {kOldModel, 0, OnOldModel},
    {kVertices, 1, OnVertices},
    {kVertexUV, 1, OnVertexUV},
    {kOldVertices, 0, OnOldVertices},
    {kOldVerticesUV, 0, OnOldVertices},
    {kFaces, 1, OnFaces},
    {kOldFaces1, 1, OnFaces},
    {kOldFaces, 0, OnOldFaces},
    {kMaterialIndex, 1, OnMaterialIndex},
    {kOldMaterialIndex, 0, OnOldMaterialIndex},
    {kFaceMaterial, 0, OnFaceMaterial},
    {kPivot, 0, OnPivot},
    {kMaterial, 0, OnMaterial},
    {kMaterialOld, 0, OnMaterial},
    {kColourMapRef, 0, OnMaterialRef},
    {kIndexBlendRef, 0, OnMaterialRef},
    {kIndexShadeRef, 0, OnMaterialRef},
    {kScreenDoorRef, 0, OnMaterialRef},
    {kIndexFogRef, 0, OnMaterialRef},
    {kActor, 0, OnActor},
    {kActorModel, 0, OnActorRef},
    {kActorMaterial, 0, OnActorRef},
    {43, 0, OnTransform},
    {44, 0, OnTransform},
    {45, 0, OnTransform},
    {46, 0, OnTransform},
    {47, 0, OnTransform},
    {48, 0, OnTransform},
    {49, 0, OnTransform},
    {kActorTransform, 0, OnActorTransform},
    {kLight, 0, OnTypeData},
    {kCamera, 0, OnTypeData},
    {kBounds, 0, OnTypeData},
    {kPlane, 0, OnTypeData},
    {kActorLight, 0, OnActorTypeData},
    {kActorCamera, 0, OnActorTypeData},
    {kActorBounds, 0, OnActorTypeData},
    {kActorClipPlane, 0, OnActorTypeData},
    {kActorAddChild, 0, OnAddChild},
};
constexpr hx_chunk_table kTable = {int(std::size(kEntries)), kEntries};

// Takes the objects of the wanted type off the stack into the results, in
// file order; those beyond max stay allocated until the scene ends.
int Collect(int type, void** out, int n, int max)
{
    std::vector<void*> found;
    while (DfTopType() == type)
        found.push_back(DfPop(type, nullptr));
    for (auto it = found.rbegin(); it != found.rend(); ++it)
        if (n < max)
            out[n++] = *it;
    return n;
}

int LoadMany(const char* name, int type, void** out, int max)
{
    if (!name || !out || max <= 0)
        return 0;
    hx_datafile* df = DfOpen(name, 0, HX_DF_SCALAR_FLOAT);
    if (!df)
        return 0;
    int n = 0;
    while (n < max) {
        int r = DfChunksInterpret(df, &kTable);
        n = Collect(type, out, n, max);
        if (r != 1)
            break;
    }
    DfClose(df);
    return n;
}

hx_error CountFile(const char* name, int type, uint16_t* count)
{
    *count = 0;
    hx_datafile* df = DfOpen(name, 0, HX_DF_SCALAR_FLOAT);
    if (!df)
        return HXE_FAIL;
    int n = 0;
    for (;;) {
        int r = DfChunksInterpret(df, &kTable);
        while (DfTopType() == type) {
            DfPop(type, nullptr);
            ++n;
        }
        if (r != 1)
            break;
    }
    DfClose(df);
    *count = uint16_t(std::min(n, 0xFFFF));
    return HX_OK;
}

// ---- writing -----------------------------------------------------------------------------------

struct Writer {
    hx_datafile* df;
    hx_error error = HX_OK;
    const hx_file_primitives* p() const { return df->prims; }
    void Chunk(uint32_t id, uint32_t length)
    {
        if (!error)
            error = p()->chunk_write(df, id, length);
    }
    void Struct(uint32_t id, const hx_struct_template* t, const void* record)
    {
        Chunk(id, p()->struct_size(df, t, record));
        if (!error)
            error = p()->struct_write(df, t, record);
    }
    void Counted(uint32_t id, const hx_struct_template* t, const void* first, uint32_t n)
    {
        uint32_t length = p()->count_size(df);
        for (uint32_t i = 0; i < n; ++i)
            length += p()->struct_size(df, t, static_cast<const uint8_t*>(first) + size_t(i) * t->size);
        Chunk(id, length);
        if (!error)
            error = p()->count_write(df, n);
        if (!error && DfStructWriteArray(df, t, first, int(n)) != int(n))
            error = HXE_FAIL;
    }
    void Name(uint32_t id, const char* name)
    {
        Chunk(id, p()->name_size(df, name));
        if (!error)
            error = p()->name_write(df, name);
    }
    void End()
    {
        if (!error)
            error = DfEndWrite(df);
    }
};

bool Writable(hx_model* m)
{
    if (m && m->vertices && m->faces)
        return true;
    HxWarning("%s", m && m->identifier ? m->identifier : "<NULL>");
    HxWarning("Model must have vertex and face information to save.");
    HxWarning("This information may have neem stripped on addition to");
    HxWarning("the registry. To prevent this, set the HX_MODF_UPDATEABLE");
    HxFailure("flag before adding the model to the registry.");
    return false;
}

void WriteModel(Writer& w, hx_model* m)
{
    // The faces' materials, each once, by descending sequence.
    std::vector<hx_material*> materials;
    for (int i = 0; i < m->nfaces; ++i)
        if (m->faces[i].material)
            materials.push_back(m->faces[i].material);
    std::sort(materials.begin(), materials.end(),
              [](const hx_material* a, const hx_material* b) { return a->sequence > b->sequence; });
    materials.erase(std::unique(materials.begin(), materials.end()), materials.end());

    hx_model copy = *m;
    copy.flags &= kFileModelFlags;
    w.Struct(kModel, &kModelTemplate, &copy);
    w.Counted(kVertices, &kVertexTemplate, m->vertices, m->nvertices);
    bool mapped = false;
    for (int i = 0; i < m->nvertices; ++i)
        mapped = mapped || m->vertices[i].map.x != 0 || m->vertices[i].map.y != 0;
    if (mapped)
        w.Counted(kVertexUV, &kVertexUVTemplate, m->vertices, m->nvertices);
    w.Counted(kFaces, &kFaceTemplate, m->faces, m->nfaces);
    if (!materials.empty()) {
        uint32_t length = w.p()->count_size(w.df);
        for (hx_material* mat : materials)
            length += w.p()->name_size(w.df, mat->identifier);
        w.Chunk(kMaterialIndex, length);
        if (!w.error)
            w.error = w.p()->count_write(w.df, uint32_t(materials.size()));
        for (hx_material* mat : materials)
            if (!w.error)
                w.error = w.p()->name_write(w.df, mat->identifier);
        std::vector<uint16_t> entries(m->nfaces, 0);
        for (int i = 0; i < m->nfaces; ++i) {
            auto it = std::find(materials.begin(), materials.end(), m->faces[i].material);
            entries[size_t(i)] = it == materials.end() ? 0 : uint16_t(it - materials.begin() + 1);
        }
        w.Chunk(kFaceMaterial, w.p()->block_size(w.df, m->nfaces, 1, 2));
        if (!w.error)
            w.error = w.p()->block_write(w.df, entries.data(), m->nfaces, int32_t(m->nfaces) * 2, 1, 2);
    }
    w.End();
}

void WriteMaterial(Writer& w, hx_material* m)
{
    w.Struct(kMaterial, &kMaterialTemplate, m);
    const struct {
        uint32_t id;
        hx_pixelmap* pm;
    } refs[] = {{kColourMapRef, m->colour_map},
                {kIndexShadeRef, m->index_shade},
                {kIndexBlendRef, m->index_blend},
                {kScreenDoorRef, m->screendoor},
                {kIndexFogRef, m->index_fog}};
    for (const auto& r : refs) {
        if (!r.pm)
            continue;
        if (!r.pm->identifier) {
            _HxAssert("pixelmap && pixelmap->identifier", "v1dbfile", 900);
            continue;
        }
        w.Name(r.id, r.pm->identifier);
    }
    w.End();
}

void WriteActor(Writer& w, hx_actor* a)
{
    w.Struct(kActor, &kActorTemplate, a);
    if (a->t.type < HX_TRANSFORM_IDENTITY) {
        const hx_struct_template* t = kTransformTemplates[a->t.type];
        w.Struct(kTransformFirst + a->t.type, t, &a->t.t);
        w.Chunk(kActorTransform, 0);
    }
    if (a->material) {
        if (a->material->identifier)
            w.Name(kActorMaterial, a->material->identifier);
        else
            _HxAssert("material && material->identifier", "v1dbfile", 950);
    }
    if (a->model) {
        if (a->model->identifier)
            w.Name(kActorModel, a->model->identifier);
        else
            _HxAssert("model && model->identifier", "v1dbfile", 955);
    }
    if (a->type_data) {
        switch (a->type) {
        case HX_ACTOR_LIGHT:
            w.Struct(kLight, &kLightTemplate, a->type_data);
            w.Chunk(kActorLight, 0);
            break;
        case HX_ACTOR_CAMERA:
            w.Struct(kCamera, &kCameraTemplate, a->type_data);
            w.Chunk(kActorCamera, 0);
            break;
        case HX_ACTOR_BOUNDS:
            w.Struct(kBounds, &kBoundsTemplate, a->type_data);
            w.Chunk(kActorBounds, 0);
            break;
        case HX_ACTOR_CLIP_PLANE:
            w.Struct(kPlane, &kPlaneTemplate, a->type_data);
            w.Chunk(kActorClipPlane, 0);
            break;
        default:
            break;
        }
    }
    // Last child first: reading adds each at the head, restoring the order.
    std::vector<hx_actor*> children;
    for (hx_actor* c = a->children; c; c = c->next)
        children.push_back(c);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        WriteActor(w, *it);
        w.Chunk(kActorAddChild, 0);
    }
}

// Opens, writes the file info and the objects, and closes; a failed write
// leaves any file of that name as it was.
template <typename T, typename WriteOne>
int Save(const char* name, uint32_t fileType, T** items, int n, WriteOne write)
{
    if (!name || (n > 0 && !items))
        return 0;
    hx_datafile* df = DfOpen(name, 1, HX_DF_SCALAR_FLOAT);
    if (!df)
        return 0;
    Writer w{df};
    w.error = DfFileInfoWrite(df, fileType);
    for (int i = 0; i < n && !w.error; ++i)
        write(w, items[i]);
    if (w.error) {
        HxFileAbandon(df->h);
        df->h = nullptr;
    }
    DfClose(df);
    return w.error ? 0 : 1;
}

// The items, or with null every registered one (oldest first) when the
// kind has a registry; each checked, then written.
template <typename T, typename WriteOne>
int SaveMany(const char* name, T** items, int n, int (*enumerate)(const char*, hx_enum_cbfn, void*),
             bool (*check)(T*), uint32_t fileType, WriteOne write)
{
    std::vector<T*> all;
    if (!items && enumerate) {
        enumerate(
            nullptr,
            [](void* record, void* arg) {
                static_cast<std::vector<T*>*>(arg)->push_back(static_cast<T*>(record));
                return 0;
            },
            &all);
        std::reverse(all.begin(), all.end());
        items = all.data();
        n = int(all.size());
    }
    for (int i = 0; i < n; ++i)
        if (!items || !check(items[i]))
            return 0;
    return Save(name, fileType, items, n, write) ? n : 0;
}

template <typename T>
T* LoadOne(const char* name, int type)
{
    void* found = nullptr;
    return LoadMany(name, type, &found, 1) == 1 ? static_cast<T*>(found) : nullptr;
}

template <typename T>
bool Present(T* item)
{
    return item != nullptr;
}

void WriteActorTree(Writer& w, hx_actor* a)
{
    WriteActor(w, a);
    w.End();
}

} // namespace

hx_model* HxModelLoad(const char* name)
{
    return LoadOne<hx_model>(name, kStackModel);
}

int HxModelLoadMany(const char* name, hx_model** out, int max)
{
    return LoadMany(name, kStackModel, reinterpret_cast<void**>(out), max);
}

int HxModelSave(const char* name, hx_model* model)
{
    return HxModelSaveMany(name, &model, 1) ? 1 : 0;
}

int HxModelSaveMany(const char* name, hx_model** models, int n)
{
    return SaveMany(name, models, n, HxModelEnum, Writable, HX_FILE_TYPE_MODEL, WriteModel);
}

hx_material* HxMaterialLoad(const char* name)
{
    return LoadOne<hx_material>(name, kStackMaterial);
}

int HxMaterialLoadMany(const char* name, hx_material** out, int max)
{
    return LoadMany(name, kStackMaterial, reinterpret_cast<void**>(out), max);
}

int HxMaterialSave(const char* name, hx_material* material)
{
    return HxMaterialSaveMany(name, &material, 1) ? 1 : 0;
}

int HxMaterialSaveMany(const char* name, hx_material** materials, int n)
{
    return SaveMany(name, materials, n, HxMaterialEnum, Present<hx_material>, HX_FILE_TYPE_MATERIAL_OLD,
                    WriteMaterial);
}

hx_actor* HxActorLoad(const char* name)
{
    return LoadOne<hx_actor>(name, kStackActor);
}

int HxActorLoadMany(const char* name, hx_actor** out, int max)
{
    return LoadMany(name, kStackActor, reinterpret_cast<void**>(out), max);
}

int HxActorSave(const char* name, hx_actor* actor)
{
    return HxActorSaveMany(name, &actor, 1) ? 1 : 0;
}

int HxActorSaveMany(const char* name, hx_actor** actors, int n)
{
    return SaveMany(name, actors, n, nullptr, Present<hx_actor>, HX_FILE_TYPE_ACTORS, WriteActorTree);
}

hx_error HxModelFileCount(const char* name, uint16_t* count)
{
    return CountFile(name, kStackModel, count);
}

hx_error HxMaterialFileCount(const char* name, uint16_t* count)
{
    return CountFile(name, kStackMaterial, count);
}

hx_error HxActorFileCount(const char* name, uint16_t* count)
{
    return CountFile(name, kStackActor, count);
}
