// The scene database state `v1db`: everything the scene layer keeps between
// its begin and end, in one record. Scene-layer modules only; cleared to
// zero at begin and at end.
#pragma once

#include "framework/registry.h"
#include "framework/scene.h"

// A table of enabled actors of one type.
struct hx_enable_table {
    int capacity;
    int count;
    int type;
    const char* name;
    hx_actor** slots; // an "ENABLED_ACTORS" resource, made at the first enable
};

// One level of the camera path: camera-to-this-level and its type.
struct hx_camera_path_entry {
    hx_matrix34 m;
    uint16_t type;
    hx_actor* actor;
};
inline constexpr int kHxCameraPathDepth = 16;

struct hx_primitive_heap {
    void* start;
    uint32_t size;
    void* current;
};

struct hx_v1db {
    hx_bool active;
    hx_bool zs_active;
    hx_bool zb_active;
    int rendering; // 0 none, 1 Z-buffer, 2 Z-sort

    hx_object* renderer;
    hx_object* geometry_v1_model;
    hx_object* geometry_v1_buckets;
    hx_object* geometry_lighting;

    hx_registry reg_models;
    hx_registry reg_materials;
    hx_registry reg_maps;
    hx_registry reg_tables;

    void* res; // the scene anchor

    hx_enable_table enabled_lights;
    hx_enable_table enabled_clip_planes;
    hx_enable_table enabled_horizon_planes;
    hx_actor* environment;
    int lights_given; // LIGHT entries given at the previous render
    int clips_given;

    hx_model* default_model;
    hx_model* bounds_box; // the box drawn for the bounding styles, made on first use
    hx_material* default_material;
    uint32_t material_sequence; // the last material's sequence number

    hx_order_table* default_order_table; // the current default (null for Z-buffer renders)
    hx_order_table* primary_order_table;
    hx_order_table* order_list;
    hx_order_table* builtin_order_table;
    hx_primitive_heap heap;

    hx_render_bounds_cbfn bounds_callback;
    hx_order_insert_cbfn insert_function;
    hx_actor* render_root;
    hx_pixelmap* colour_buffer;
    hx_camera_path_entry camera_path[kHxCameraPathDepth];
    uint16_t ttype;
    hx_scalar origin_x, origin_y; // the camera projection's origin offsets
    hx_scalar vp_x_centre, vp_x_scale, vp_y_centre, vp_y_scale;

    hx_matrix4 model_to_screen;
    hx_bool model_to_screen_valid;
};

extern hx_v1db v1db;

// The renderer start and stop that HxZbBegin, HxZsBegin and their ends share.
hx_error HxRendererStart(hx_pixelmap* destination, hx_object* renderer);
void HxRendererStop();
// Enable tables at scene begin.
void HxEnablesBegin();
// The built-in order table, made at scene begin.
hx_error HxOrderTablesBegin();
// Renderer part calls that log nothing when no renderer runs.
hx_error HxRendererPartSet(hx_token part, int32_t index, hx_token t, hx_value value);
hx_error HxRendererPartSetMany(hx_token part, int32_t index, const hx_token_value* tv);

inline hx_value HxValueToken(hx_token t)
{
    hx_value v{};
    v.t = t;
    return v;
}
inline hx_value HxValuePointer(const void* p)
{
    hx_value v{};
    v.p = const_cast<void*>(p);
    return v;
}
inline hx_value HxValueInt(intptr_t i)
{
    hx_value v{};
    v.i = i;
    return v;
}
inline hx_value HxValueFloat(float f)
{
    hx_value v{};
    v.f = f;
    return v;
}
