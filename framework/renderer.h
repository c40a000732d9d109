// The renderer driver boundary: the records the scene layer hands to a
// renderer (editable vertices and faces, materials, the prepared model
// block with its groups, prepared faces and vertices) and the call tables
// of the renderer facility, the renderer and its format, geometry, state
// and buffer objects. Every renderer driver (the recording driver that
// tests use, the software rasteriser) includes this one header; nothing
// else crosses the boundary. What the scene layer does with these calls is
// in scene.h and its modules; what a renderer draws is its own.
//
// Every table begins with the generic object table (object.h): slot 0
// frees the object, slot 1 names it, slot 2 gives its type token. The
// tables are filled by name (designated initialisers); the renderer table
// carries the interface version, which the scene layer checks before it
// makes any other call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_math.h"
#include "framework/hx_types.h"
#include "framework/object.h"

struct hx_pixelmap;

extern "C" {

struct hx_material;

// ---- editable records (the game edits these directly) ----------------------

// A model vertex: position, map coordinates, colour bytes, and a normal
// read only by models with custom normals.
struct hx_vertex {
    hx_vector3 p;
    hx_vector2 map;
    uint8_t index, red, green, blue;
    uint8_t gap[4];
    hx_vector3 n;
};
static_assert(sizeof(hx_vertex) == 40);

// A model face: three vertex numbers, smoothing bits, material (null: the
// inherited one), colour bytes, edge-suppression flags, and its plane,
// written by the model update.
struct hx_face {
    uint16_t vertices[3];
    uint16_t smoothing;
    hx_material* material;
    uint8_t index, red, green, blue;
    uint8_t flags;
    uint8_t gap[3];
    hx_vector3 n;
    hx_scalar d;
};
static_assert(sizeof(hx_face) == 40);

// Face flags: each suppresses one edge in the edge numbering.
enum : uint8_t {
    HX_FACEF_NO_EDGE_01 = 0x01,
    HX_FACEF_NO_EDGE_12 = 0x02,
    HX_FACEF_NO_EDGE_20 = 0x04,
};

// A material. `stored` is the renderer's state object made by the material
// update; `sequence` is the stable key by which faces are grouped and
// material lists ordered (allocation order, never the address).
struct hx_material {
    void* reserved;
    char* identifier;
    uint32_t colour; // red bits 16-23, green 8-15, blue 0-7
    uint8_t opacity;
    hx_scalar ka, kd, ks;
    hx_scalar power;
    uint32_t flags;
    hx_matrix23 map_transform;
    uint8_t index_base, index_range;
    hx_pixelmap* colour_map;
    hx_pixelmap* screendoor;
    hx_pixelmap* index_shade;
    hx_pixelmap* index_blend;
    hx_pixelmap* index_fog;
    hx_token_value* extra_surf;
    hx_token_value* extra_prim;
    hx_scalar fog_min, fog_max;
    uint32_t fog_colour;
    uint32_t mode;
    int32_t subdivide_tolerance;
    hx_object* stored;
    uint32_t sequence;
};

// Material flags.
enum : uint32_t {
    HX_MATF_LIT = 0x1,
    HX_MATF_PRELIT = 0x2,
    HX_MATF_SMOOTH = 0x4,
    HX_MATF_ENV_INFINITE = 0x8,
    HX_MATF_ENV_LOCAL = 0x10,
    HX_MATF_PERSPECTIVE = 0x20,
    HX_MATF_DECAL = 0x40,
    HX_MATF_ALWAYS_VISIBLE = 0x800,
    HX_MATF_TWO_SIDED = 0x1000,
    HX_MATF_FORCE_FRONT = 0x2000,
    HX_MATF_DITHER = 0x4000,
    HX_MATF_MAP_ANTIALIASING = 0x10000,
    HX_MATF_MAP_INTERPOLATION = 0x20000,
    HX_MATF_MIP_INTERPOLATION = 0x40000,
    HX_MATF_FOG_LOCAL = 0x80000,
    HX_MATF_SUBDIVIDE = 0x100000,
    HX_MATF_Z_TRANSPARENCY = 0x200000,
};

// ---- the prepared model (read by the V1 model format) ------------------------

// A prepared face: vertex numbers within its group, the 1-based numbers of
// its edges v0-v1, v1-v2, v2-v0 within the group (0: suppressed), plane.
struct hx_prepared_face {
    uint16_t vertices[3];
    uint16_t edges[3];
    hx_vector3 n;
    hx_scalar d;
};
static_assert(sizeof(hx_prepared_face) == 28);

// A prepared vertex: position minus the model's pivot, map, unit normal.
struct hx_prepared_vertex {
    hx_vector3 p;
    hx_vector2 map;
    hx_vector3 n;
};
static_assert(sizeof(hx_prepared_vertex) == 32);

// A group: the faces of one material with the vertices they use. The
// group refers to its material (null: the one the model is drawn with);
// the renderer reads the material's `stored` state when it draws, so a
// material whose state is dropped never leaves a stale pointer here.
// Colour words are index << 24 | red << 16 | green << 8 | blue; vertex_user
// and face_user name the model vertex and face each entry was made from.
struct hx_prepared_group {
    const hx_material* material;
    hx_prepared_face* faces;
    uint32_t* face_colours;
    uint16_t* face_user;
    hx_prepared_vertex* vertices;
    uint32_t* vertex_colours;
    uint16_t* vertex_user;
    uint16_t nfaces;
    uint16_t nvertices;
    uint16_t nedges; // edges + 1
    uint16_t gap;
};

// The prepared block: this header, the group array at offset 32, then the
// faces, vertices, vertex colours, face colours, vertex_user and face_user
// of all groups, each area starting where the previous one ends and the
// group array, the faces and the vertices rounded up to 32 bytes. One
// "PREPARED_MODEL" resource (alignment 32), a child of its model.
struct hx_prepared_model {
    uint32_t size; // bytes as allocated
    uint32_t gap0;
    uint16_t ngroups;
    uint8_t gap1[14];
    hx_prepared_group* groups;
};
static_assert(sizeof(hx_prepared_model) == 32);
static_assert(offsetof(hx_prepared_model, groups) == 24);
inline constexpr uint32_t kHxPreparedAlign = 32;

// ---- call tables ------------------------------------------------------------

// Version of the tables below; a renderer of another version is refused.
inline constexpr uint32_t kHxRendererVersion = 1;

// State masks of the renderer's parts used by the scene layer.
inline constexpr uint32_t kHxStateMatrix = 0x2;          // the model-to-view matrix
inline constexpr uint32_t kHxStateBounds = 0x20;         // the screen rectangle touched
inline constexpr uint32_t kHxStateMaterial = 0x80000041; // PRIMITIVE, SURFACE and CULL

// The renderer facility (type RENDERER_FACILITY), found in a device by
// name ("Default-Renderer"); continues the container table like the output
// facility, its slot 24 making renderers.
struct hx_renderer_facility_dispatch {
    hx_container_dispatch container; // 0-22
    void* reserved23;                // 23
    // 24: a renderer from a token-value list (DESTINATION_O: the colour
    // pixelmap it will mostly draw to, may be absent). 0 or an error.
    hx_error (*rendererNew)(hx_object* self, hx_object** out, const hx_token_value* tv);
};

// The renderer (type RENDERER). Parts are tokens (MATRIX, OUTPUT,
// HIDDEN_SURFACE, ENABLE, BOUNDS, LIGHT, CLIP, PRIMITIVE, SURFACE, CULL);
// LIGHT and CLIP take an entry index, the others index 0. Slot 0 frees the
// renderer together with every format, geometry, state and buffer object
// it made that the scene layer has not freed yet.
struct hx_renderer_dispatch {
    hx_object_dispatch object;
    uint32_t version; // kHxRendererVersion
    // One value of a part. 0, or 4097 for a token the part does not know.
    hx_error (*partSet)(hx_object* self, hx_token part, int32_t index, hx_token t, hx_value value);
    // A list of values, in order; *count receives how many were taken.
    hx_error (*partSetMany)(hx_object* self, hx_token part, int32_t index, const hx_token_value* tv,
                            int32_t* count);
    // One value; wide values (matrices, vectors) are copied into the buffer
    // and the value points at them. 4100 when the buffer is too small.
    hx_error (*partQueryBuffer)(hx_object* self, hx_token part, int32_t index, hx_value* value,
                                void* buffer, size_t bufferSize, hx_token t);
    // The values of a list's tokens, filled in place, wide ones in the buffer.
    hx_error (*partQueryMany)(hx_object* self, hx_token part, int32_t index, hx_token_value* tv,
                              void* buffer, size_t bufferSize, int32_t* count);
    // Model-to-view = m x model-to-view (m applies first).
    hx_error (*modelMul)(hx_object* self, const hx_matrix34* m);
    // Model-to-view = its inverse.
    hx_error (*modelInvert)(hx_object* self);
    // Saves the parts of the mask on the renderer's stack / restores them.
    hx_error (*statePush)(hx_object* self, uint32_t mask);
    hx_error (*statePop)(hx_object* self, uint32_t mask);
    // The parts of the mask go back to their defaults.
    hx_error (*stateDefault)(hx_object* self, uint32_t mask);
    // A stored state (type RENDERER_STATE_STORED) holding the parts of the
    // mask as they are now; freed with its slot 0.
    hx_error (*stateStoredNew)(hx_object* self, hx_object** out, uint32_t mask);
    // Copies the current parts into a stored state / a stored state back.
    hx_error (*stateSave)(hx_object* self, hx_object* stored, uint32_t mask);
    hx_error (*stateRestore)(hx_object* self, hx_object* stored, uint32_t mask);
    // ACCEPT, REJECT or PARTIAL for a box in the current model space.
    hx_error (*boundsTest)(hx_object* self, hx_token* result, const hx_bounds3* box);
    // A buffer of the pixelmap for a use (COLOUR_MAP_O or UNKNOWN), made
    // from the token-value list (CAN_SHARE_B, PREFER_SHARE_B); freed with
    // its slot 0. Its table is hx_buffer_stored_dispatch.
    hx_error (*bufferStoredNew)(hx_object* self, hx_object** out, hx_pixelmap* pm, hx_token use,
                                const hx_token_value* tv);
    // A geometry format object (GEOMETRY_V1_MODEL, GEOMETRY_V1_BUCKETS,
    // GEOMETRY_LIGHTING) for a scalar type; owned by the renderer, never
    // freed by the caller. 4098 when the renderer has none.
    hx_error (*formatQuery)(hx_object* self, hx_object** out, hx_token type, hx_token scalarType);
    // Ends a frame: everything drawn since is finished. Its result is the
    // scene render's result.
    hx_error (*frameEnd)(hx_object* self);
};

// A buffer: slot 0 frees it; update refreshes it from the pixelmap.
struct hx_buffer_stored_dispatch {
    hx_object_dispatch object;
    hx_error (*update)(hx_object* self, hx_pixelmap* pm, const hx_token_value* tv);
};

// The V1 model format draws prepared models. `state` is the stored state of
// the material the model is drawn with (null: the renderer's defaults);
// each group's own material state overrides it. `primitive` is TRIANGLE,
// LINE or POINT. renderOnScreen may skip clipping (the bounds test said
// ACCEPT).
struct hx_geometry_v1_model_dispatch {
    hx_object_dispatch object;
    hx_error (*render)(hx_object* self, hx_object* renderer, const hx_prepared_model* model, hx_object* state,
                       hx_token primitive);
    hx_error (*renderOnScreen)(hx_object* self, hx_object* renderer, const hx_prepared_model* model,
                               hx_object* state, hx_token primitive);
    // A renderer-side copy of the prepared model (type GEOMETRY_STORED),
    // made from a token-value list (CAN_SHARE_B: it may keep pointing at
    // the block). It answers SHARED_B through slot 7: false means the copy
    // stands alone and the block may be dropped. Freed with its slot 0.
    hx_error (*storedNew)(hx_object* self, hx_object* renderer, hx_object** out, const hx_prepared_model* model,
                          hx_token primitive, const hx_token_value* tv);
};

// Stored geometry draws itself as the V1 model format would.
struct hx_geometry_stored_dispatch {
    hx_object_dispatch object;
    hx_error (*render)(hx_object* self, hx_object* renderer, hx_object* state, hx_token primitive);
    hx_error (*renderOnScreen)(hx_object* self, hx_object* renderer, hx_object* state, hx_token primitive);
};

// The V1 buckets format draws order-table buckets, the last bucket first.
struct hx_geometry_v1_buckets_dispatch {
    hx_object_dispatch object;
    hx_error (*render)(hx_object* self, hx_object* renderer, void** buckets, uint16_t size);
};

} // extern "C"

inline const hx_renderer_dispatch* HxRendererDispatch(hx_object* o)
{
    return reinterpret_cast<const hx_renderer_dispatch*>(o->dispatch);
}
