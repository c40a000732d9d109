// The scene render: walks an actor tree seen from a camera and hands each
// visible model's prepared data to the renderer, keeping the renderer's
// model-to-view matrix in step with the actors' transforms (push, prepend,
// pop), culling by bounds, and reporting each drawn model's screen
// rectangle to the render-bounds callback. The Z-buffer and Z-sort renders
// share everything but their hidden-surface set-up and their end.
#include <algorithm>
#include <cmath>

#include "framework/diag.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace {

enum : int {
    kModeNone = 0,
    kModeZb = 1,
    kModeZs = 2
};

const hx_renderer_dispatch* R()
{
    return HxRendererDispatch(v1db.renderer);
}

void SetMatrix(hx_token t, hx_value v)
{
    R()->partSet(v1db.renderer, HXT_MATRIX, 0, t, v);
}

hx_token LengthHint(uint16_t ttype)
{
    return ttype != HX_TRANSFORM_MATRIX ? HXT_LENGTH_PRESERVING : HXT_NONE;
}

// The built-in box drawn for the bounding styles: a welded cube whose
// corners are set from the drawn model's bounds before each use.
hx_model* BoundsBoxModel(const hx_bounds3& b)
{
    // The default cube's corners and faces, all in one smoothing group.
    static constexpr int kSign[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
    static constexpr uint16_t kFaces[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2}, {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};
    hx_model* box = v1db.bounds_box;
    if (!box) {
        box = v1db.bounds_box = HxModelAllocate("bounds_box", 8, 12);
        if (!box)
            return nullptr;
        box->flags = HX_MODF_UPDATEABLE;
        for (int f = 0; f < 12; ++f) {
            for (int c = 0; c < 3; ++c)
                box->faces[f].vertices[c] = kFaces[f][c];
            box->faces[f].smoothing = 1;
        }
    }
    for (int i = 0; i < 8; ++i)
        box->vertices[i].p = {kSign[i][0] < 0 ? b.min.x : b.max.x, kSign[i][1] < 0 ? b.min.y : b.max.y,
                              kSign[i][2] < 0 ? b.min.z : b.max.z};
    HxModelUpdate(box, box->prepared ? HX_MODU_POSITIONS : HX_MODU_ALL);
    return box;
}

// Draws a model's data as one primitive type.
void DrawAs(hx_model* model, hx_material* material, hx_token primitive, bool onScreen)
{
    hx_object* state = material ? material->stored : nullptr;
    if (model->stored) {
        auto* d = reinterpret_cast<const hx_geometry_stored_dispatch*>(model->stored->dispatch);
        (onScreen ? d->renderOnScreen : d->render)(model->stored, v1db.renderer, state, primitive);
        return;
    }
    if (!model->prepared || !v1db.geometry_v1_model)
        return;
    auto* d = reinterpret_cast<const hx_geometry_v1_model_dispatch*>(v1db.geometry_v1_model->dispatch);
    (onScreen ? d->renderOnScreen : d->render)(v1db.geometry_v1_model, v1db.renderer, model->prepared, state,
                                               primitive);
}

void DispatchStyle(hx_model* model, hx_material* material, uint8_t style, hx_token result)
{
    const bool onScreen = result == HXT_ACCEPT;
    switch (style) {
    case HX_RSTYLE_DEFAULT:
    case HX_RSTYLE_FACES:
        DrawAs(model, material, HXT_TRIANGLE, onScreen);
        break;
    case HX_RSTYLE_POINTS:
        DrawAs(model, material, HXT_POINT, onScreen);
        break;
    case HX_RSTYLE_EDGES:
        DrawAs(model, material, HXT_LINE, onScreen);
        break;
    case HX_RSTYLE_BOUNDING_POINTS:
    case HX_RSTYLE_BOUNDING_EDGES:
    case HX_RSTYLE_BOUNDING_FACES: {
        hx_model* box = BoundsBoxModel(model->bounds);
        if (!box)
            break;
        const hx_token primitive = style == HX_RSTYLE_BOUNDING_POINTS  ? HXT_POINT
                                   : style == HX_RSTYLE_BOUNDING_EDGES ? HXT_LINE
                                                                       : HXT_TRIANGLE;
        DrawAs(box, material, primitive, onScreen);
        break;
    }
    default:
        break;
    }
}

void ModelRender(hx_actor* actor, hx_model* model, hx_material* material, hx_order_table* table, uint8_t style,
                 hx_token result, bool custom)
{
    v1db.model_to_screen_valid = 0;
    if (custom && (model->flags & HX_MODF_CUSTOM) && model->custom) {
        model->custom(actor, model, material, table, style, result);
        return;
    }
    if (!model->prepared && !model->stored) {
        HxFailure("Tried to render un-prepared model %s", model->identifier ? model->identifier : "<NULL>");
        return;
    }
    if (v1db.rendering == kModeZs && table) {
        HxOrderTableDepthSetup(&model->bounds, table);
        if (table->visits == 0) {
            HxOrderTableClear(table);
            HxOrderTableListInsert(table);
        }
        table->visits++;
        R()->partSet(v1db.renderer, HXT_HIDDEN_SURFACE, 0, HXT_V1ORDER_TABLE_P, HxValuePointer(table));
        if (v1db.insert_function) {
            hx_token_value tv[5] = {{HXT_V1INSERT_FUNCTION_P, HxValuePointer(reinterpret_cast<void*>(v1db.insert_function))},
                                    {HXT_V1INSERT_ARG1_P, HxValuePointer(actor)},
                                    {HXT_V1INSERT_ARG2_P, HxValuePointer(model)},
                                    {HXT_V1INSERT_ARG3_P, HxValuePointer(material)},
                                    {}};
            int32_t count = 0;
            R()->partSetMany(v1db.renderer, HXT_HIDDEN_SURFACE, 0, tv, &count);
        }
    }
    if (!v1db.bounds_callback) {
        DispatchStyle(model, material, style, result);
        return;
    }
    R()->stateDefault(v1db.renderer, kHxStateBounds);
    DispatchStyle(model, material, style, result);
    hx_vector2 corners[2] = {};
    hx_token_value tv[3] = {{HXT_MIN_V2_F, {}}, {HXT_MAX_V2_F, {}}, {}};
    int32_t count = 0;
    if (R()->partQueryMany(v1db.renderer, HXT_BOUNDS, 0, tv, corners, sizeof corners, &count) != HX_OK)
        return;
    const auto* min = static_cast<const hx_vector2*>(tv[0].v.p);
    const auto* max = static_cast<const hx_vector2*>(tv[1].v.p);
    if (!min || !max)
        return;
    const hx_pixelmap* pm = v1db.colour_buffer;
    auto clampTo = [](float v, int hi) {
        int32_t i = int32_t(v);
        return std::min(std::max(i, 0), hi);
    };
    int32_t rect[4] = {clampTo(min->x, pm->width - 1), clampTo(min->y, pm->height - 1), clampTo(max->x, pm->width - 1),
                       clampTo(max->y, pm->height - 1)};
    rect[0] -= pm->origin_x;
    rect[2] -= pm->origin_x;
    rect[1] -= pm->origin_y;
    rect[3] -= pm->origin_y;
    if (rect[2] >= rect[0] && rect[3] >= rect[1])
        v1db.bounds_callback(actor, model, material, table, style, &v1db.model_to_screen, rect);
}

hx_token BoundsTestBox(const hx_bounds3* box)
{
    hx_token result = HXT_PARTIAL;
    R()->boundsTest(v1db.renderer, &result, box);
    return result;
}

void ActorRender(hx_actor* a, hx_model* model, hx_material* material, hx_order_table* table, uint8_t style,
                 uint16_t ttype, bool onScreenWalk);

void Children(hx_actor* a, hx_model* model, hx_material* material, hx_order_table* table, uint8_t style,
              uint16_t ttype, bool onScreenWalk)
{
    for (hx_actor* c = a->children; c; c = c->next)
        ActorRender(c, model, material, table, style, ttype, onScreenWalk);
}

void ActorRender(hx_actor* a, hx_model* model, hx_material* material, hx_order_table* table, uint8_t style,
                 uint16_t ttype, bool onScreenWalk)
{
    HX_CHECK_AS(model != nullptr,
                onScreenWalk ? "Invalid actorRenderOnScreen pointer : model != NULL"
                             : "Invalid actorRender pointer : model != NULL",
                "render", 400, );
    HX_CHECK_AS(material != nullptr,
                onScreenWalk ? "Invalid actorRenderOnScreen pointer : material != NULL"
                             : "Invalid actorRender pointer : material != NULL",
                "render", 401, );
    if (!onScreenWalk && a->type != HX_ACTOR_MODEL && !a->children)
        return;
    if (a->render_style != HX_RSTYLE_DEFAULT)
        style = a->render_style;
    if (style == HX_RSTYLE_NONE)
        return;
    if (a->model)
        model = a->model;
    if (a->material)
        material = a->material;
    if (a->render_data)
        table = a->render_data;
    const bool pushed = a->t.type != HX_TRANSFORM_IDENTITY;
    if (pushed) {
        R()->statePush(v1db.renderer, kHxStateMatrix);
        hx_matrix34 m;
        HxTransformToMatrix34(&m, &a->t);
        R()->modelMul(v1db.renderer, &m);
        ttype = HxTransformCombine(ttype, a->t.type);
        SetMatrix(HXT_MODEL_TO_VIEW_HINT_T, HxValueToken(LengthHint(ttype)));
    }
    bool walkChildren = true;
    switch (a->type) {
    case HX_ACTOR_MODEL:
        if (onScreenWalk) {
            ModelRender(a, model, material, table, style, HXT_ACCEPT, true);
        } else {
            const hx_token result = BoundsTestBox(&model->bounds);
            if (result != HXT_REJECT)
                ModelRender(a, model, material, table, style, result, true);
        }
        break;
    case HX_ACTOR_BOUNDS:
        if (!onScreenWalk && a->type_data && BoundsTestBox(static_cast<hx_bounds3*>(a->type_data)) == HXT_REJECT)
            walkChildren = false;
        break;
    case HX_ACTOR_BOUNDS_CORRECT:
        if (!onScreenWalk && a->type_data) {
            const hx_token result = BoundsTestBox(static_cast<hx_bounds3*>(a->type_data));
            if (result == HXT_ACCEPT) {
                Children(a, model, material, table, style, ttype, true);
                walkChildren = false;
            } else if (result == HXT_REJECT) {
                walkChildren = false;
            }
        }
        break;
    default:
        break;
    }
    if (walkChildren)
        Children(a, model, material, table, style, ttype, onScreenWalk);
    if (pushed)
        R()->statePop(v1db.renderer, kHxStateMatrix);
}

// The view: projection, camera path, world-to-view, lights, clip planes
// and environment. False (reported) when the camera cannot see the world.
bool SetupView(hx_actor* world, hx_actor* camera)
{
    hx_matrix4 viewToScreen;
    const hx_token hint = HxCameraToScreenMatrix4(&viewToScreen, camera);
    SetMatrix(HXT_VIEW_TO_SCREEN_M4_F, HxValuePointer(&viewToScreen));
    SetMatrix(HXT_VIEW_TO_SCREEN_HINT_T, HxValueToken(hint));

    if (camera->depth >= kHxCameraPathDepth) {
        HxFailure("camera is %u levels below its root; at most %d are allowed", camera->depth,
                  kHxCameraPathDepth - 1);
        return false;
    }
    for (hx_camera_path_entry& e : v1db.camera_path)
        e = {};
    int d = camera->depth;
    hx_camera_path_entry* e = &v1db.camera_path[d];
    HxMatrix34Identity(&e->m);
    e->type = HX_TRANSFORM_IDENTITY;
    e->actor = camera;
    hx_actor* a = camera;
    while (a != world) {
        if (d == 0 || !a->parent) {
            HxFailure("camera is not in world hierachy");
            return false;
        }
        hx_camera_path_entry* up = &v1db.camera_path[d - 1];
        up->m = e->m;
        up->type = e->type;
        if (a->t.type != HX_TRANSFORM_IDENTITY) {
            HxMatrix34PostTransform(&up->m, &a->t);
            up->type = HxTransformCombine(up->type, a->t.type);
        }
        a = a->parent;
        up->actor = a;
        e = up;
        --d;
    }
    SetMatrix(HXT_MODEL_TO_VIEW_M34_F, HxValuePointer(&e->m));
    SetMatrix(HXT_MODEL_TO_VIEW_HINT_T, HxValueToken(LengthHint(e->type)));
    R()->modelInvert(v1db.renderer);
    hx_matrix34 worldToView;
    hx_value value{};
    if (R()->partQueryBuffer(v1db.renderer, HXT_MATRIX, 0, &value, &worldToView, sizeof worldToView,
                             HXT_MODEL_TO_VIEW_M34_F) != HX_OK ||
        !value.p)
        HxMatrix34Identity(&worldToView);
    else if (value.p != &worldToView)
        worldToView = *static_cast<const hx_matrix34*>(value.p);
    v1db.ttype = e->type;
    HxSetupLights(world, &worldToView, v1db.ttype);
    HxSetupClipPlanes(world, &worldToView, v1db.ttype, &viewToScreen);
    HxSetupEnvironment(world, &worldToView, v1db.ttype);
    return true;
}

bool RenderBegin(int mode, hx_actor* world, hx_actor* camera, hx_pixelmap* colour, hx_pixelmap* depth)
{
    HX_CHECK_AS(colour != nullptr, "buffer != NULL", "render", 100, false);
    HX_CHECK_AS(colour->width / 2 != 0, "SetOrigin divide by zero error : HxIntToScalar(buffer->width/2) != 0",
                "render", 101, false);
    HX_CHECK_AS(colour->height / 2 != 0, "SetOrigin divide by zero error : HxIntToScalar(buffer->height/2) != 0",
                "render", 102, false);
    v1db.rendering = mode;
    v1db.render_root = world;
    v1db.colour_buffer = colour;
    const int hw = colour->width / 2, hh = colour->height / 2;
    v1db.origin_x = float(int(colour->origin_x) - hw) / float(hw);
    v1db.origin_y = -float(int(colour->origin_y) - hh) / float(hh);
    v1db.vp_x_centre = float(colour->base_x + hw) + 0.5f;
    v1db.vp_x_scale = float(hw);
    v1db.vp_y_centre = float(hh) + 0.5f;
    v1db.vp_y_scale = -float(hh);
    R()->partSet(v1db.renderer, HXT_OUTPUT, 0, HXT_COLOUR_BUFFER_O, HxValuePointer(colour));
    R()->partSet(v1db.renderer, HXT_OUTPUT, 0, HXT_DEPTH_BUFFER_O, HxValuePointer(depth));
    if (mode == kModeZb) {
        R()->partSet(v1db.renderer, HXT_HIDDEN_SURFACE, 0, HXT_TYPE_T, HxValueToken(HXT_NONE));
        v1db.default_order_table = nullptr;
    } else {
        v1db.heap.current = v1db.heap.start;
        hx_order_table* t = v1db.builtin_order_table;
        if (auto* c = static_cast<hx_camera*>(camera->type_data)) {
            t->min_z = c->hither_z;
            t->max_z = c->yon_z;
            HxOrderTableScaleUpdate(t);
        }
        t->visits = 0;
        v1db.order_list = nullptr;
        R()->partSet(v1db.renderer, HXT_HIDDEN_SURFACE, 0, HXT_V1ORDER_TABLE_P, HxValuePointer(t));
        R()->partSet(v1db.renderer, HXT_HIDDEN_SURFACE, 0, HXT_V1PRIMITIVE_HEAP_P, HxValuePointer(&v1db.heap));
        R()->partSet(v1db.renderer, HXT_HIDDEN_SURFACE, 0, HXT_TYPE_T, HxValueToken(HXT_BUCKET_SORT));
        v1db.default_order_table = t;
    }
    return SetupView(world, camera);
}

hx_error RenderEnd()
{
    if (!v1db.renderer)
        return HX_OK;
    if (v1db.rendering == kModeZs) {
        R()->partSet(v1db.renderer, HXT_OUTPUT, 0, HXT_COLOUR_BUFFER_O, HxValuePointer(v1db.colour_buffer));
        if (!v1db.geometry_v1_buckets)
            HxFailure("Renderer does not support buckets");
        else
            HxOrderTablesRender();
    }
    hx_error result = R()->frameEnd(v1db.renderer);
    v1db.rendering = kModeNone;
    v1db.render_root = nullptr;
    return result;
}

hx_error SceneRender(int mode, hx_actor* world, hx_actor* camera, hx_pixelmap* colour, hx_pixelmap* depth)
{
    if (!v1db.renderer)
        return HX_OK;
    HX_CHECK(world != nullptr && camera != nullptr, "render", 50, HXE_FAIL);
    if (RenderBegin(mode, world, camera, colour, depth)) {
        hx_model* model = world->model ? world->model : v1db.default_model;
        hx_material* material = world->material ? world->material : v1db.default_material;
        hx_order_table* table = world->render_data ? world->render_data : v1db.default_order_table;
        for (hx_actor* c = world->children; c; c = c->next)
            ActorRender(c, model, material, table, world->render_style, v1db.ttype, false);
    }
    return RenderEnd();
}

hx_render_bounds_cbfn InstallBoundsCallback(hx_render_bounds_cbfn callback)
{
    hx_render_bounds_cbfn previous = v1db.bounds_callback;
    v1db.bounds_callback = callback;
    if (v1db.renderer)
        R()->partSet(v1db.renderer, HXT_ENABLE, 0, HXT_BOUNDS_B, HxValueInt(callback ? 1 : 0));
    return previous;
}

// The callback, once the renderer of the mode has begun.
hx_render_bounds_cbfn CheckedBoundsCallback(hx_render_bounds_cbfn callback, hx_bool begun, const char* early)
{
    HX_CHECK_AS(callback != nullptr, "new_cbfn != NULL", "render", 600, nullptr);
    if (!begun) {
        HxFailure("%s", early);
        return nullptr;
    }
    return InstallBoundsCallback(callback);
}

} // namespace

hx_error HxZbSceneRender(hx_actor* world, hx_actor* camera, hx_pixelmap* colour, hx_pixelmap* depth)
{
    return SceneRender(kModeZb, world, camera, colour, depth);
}

hx_error HxZsSceneRender(hx_actor* world, hx_actor* camera, hx_pixelmap* colour)
{
    return SceneRender(kModeZs, world, camera, colour, nullptr);
}

void HxZbSceneRenderBegin(hx_actor* world, hx_actor* camera, hx_pixelmap* colour, hx_pixelmap* depth)
{
    if (v1db.renderer)
        RenderBegin(kModeZb, world, camera, colour, depth);
}

void HxZsSceneRenderBegin(hx_actor* world, hx_actor* camera, hx_pixelmap* colour)
{
    if (v1db.renderer)
        RenderBegin(kModeZs, world, camera, colour, nullptr);
}

hx_error HxZbSceneRenderEnd()
{
    return RenderEnd();
}

hx_error HxZsSceneRenderEnd()
{
    return RenderEnd();
}

hx_render_bounds_cbfn HxZbSetRenderBoundsCallback(hx_render_bounds_cbfn callback)
{
    return CheckedBoundsCallback(callback, v1db.zb_active, "HxZbSetRenderBoundsCallback called before HxZbBegin");
}

hx_render_bounds_cbfn HxZsSetRenderBoundsCallback(hx_render_bounds_cbfn callback)
{
    return CheckedBoundsCallback(callback, v1db.zs_active, "HxZsSetRenderBoundsCallback called before HxZsBegin");
}

hx_render_bounds_cbfn HxRenderBoundsCallbackSet(hx_render_bounds_cbfn callback)
{
    return InstallBoundsCallback(callback);
}

hx_order_insert_cbfn HxOrderTableInsertFunctionSet(hx_order_insert_cbfn function)
{
    hx_order_insert_cbfn previous = v1db.insert_function;
    v1db.insert_function = function;
    return previous;
}

void HxZbModelRender(hx_actor* actor, hx_model* model, hx_material* material, uint8_t style, hx_token boundsResult,
                     hx_bool customAllowed)
{
    if (v1db.renderer && model)
        ModelRender(actor, model, material ? material : v1db.default_material, nullptr, style, boundsResult,
                    customAllowed != 0);
}

void HxZsModelRender(hx_actor* actor, hx_model* model, hx_material* material, hx_order_table* table, uint8_t style,
                     hx_token boundsResult, hx_bool customAllowed)
{
    if (v1db.renderer && model)
        ModelRender(actor, model, material ? material : v1db.default_material, table, style, boundsResult,
                    customAllowed != 0);
}

void HxActorRenderFromCallback(hx_actor* actor)
{
    if (!v1db.renderer || !actor)
        return;
    if (!actor->parent) {
        ActorRender(actor, v1db.default_model, v1db.default_material, v1db.default_order_table, 0, v1db.ttype,
                    false);
        return;
    }
    hx_model* model = nullptr;
    hx_material* material = nullptr;
    hx_order_table* table = nullptr;
    uint8_t style = 0;
    hx_matrix34 product;
    HxMatrix34Identity(&product);
    uint16_t type = HX_TRANSFORM_IDENTITY;
    for (hx_actor* a = actor->parent; a && a != v1db.render_root; a = a->parent) {
        if (!model)
            model = a->model;
        if (!material)
            material = a->material;
        if (!table)
            table = a->render_data;
        if (a->render_style)
            style = a->render_style;
        if (a->t.type != HX_TRANSFORM_IDENTITY) {
            HxMatrix34PostTransform(&product, &a->t);
            type = HxTransformCombine(type, a->t.type);
        }
    }
    model = model ? model : v1db.default_model;
    material = material ? material : v1db.default_material;
    table = table ? table : v1db.default_order_table;
    if (type == HX_TRANSFORM_IDENTITY) {
        ActorRender(actor, model, material, table, style, v1db.ttype, false);
        return;
    }
    R()->statePush(v1db.renderer, kHxStateMatrix);
    R()->modelMul(v1db.renderer, &product);
    const uint16_t ttype = HxTransformCombine(v1db.ttype, type);
    SetMatrix(HXT_MODEL_TO_VIEW_HINT_T, HxValueToken(LengthHint(ttype)));
    ActorRender(actor, model, material, table, style, ttype, false);
    R()->statePop(v1db.renderer, kHxStateMatrix);
}

hx_token HxBoundsTest(const hx_bounds3* box)
{
    if (!v1db.renderer || !box)
        return HXT_REJECT;
    return BoundsTestBox(box);
}
