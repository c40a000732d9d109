// Enabled lights, clip planes and horizon planes (one table each) and the
// environment actor; at every scene render the view set-up hands the
// enabled ones to the renderer's LIGHT and CLIP entries in view or screen
// space, and clears the entries left over from the previous render.
#include <cmath>

#include "framework/diag.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace {

void TableInit(hx_enable_table* t, int capacity, int type, const char* name)
{
    *t = {capacity, 0, type, name, nullptr};
}

int ActorEnable(hx_enable_table* t, hx_actor* a)
{
    HX_CHECK_AS(a != nullptr, "actorEnable NULL pointer to an actor : a != NULL", "enables", 60, 0);
    HX_CHECK_AS(a->type == t->type, "a->type == e->type", "enables", 61, 0);
    if (!t->slots) {
        t->slots = static_cast<hx_actor**>(
            HxResAllocate(v1db.res, uint32_t(t->capacity) * uint32_t(sizeof(hx_actor*)), HX_RES_ENABLED_ACTORS));
        if (!t->slots)
            return 0;
        for (int i = 0; i < t->capacity; ++i)
            t->slots[i] = nullptr;
    }
    for (int i = 0; i < t->capacity; ++i)
        if (t->slots[i] == a)
            return i;
    for (int i = 0; i < t->capacity; ++i)
        if (!t->slots[i]) {
            t->slots[i] = a;
            return ++t->count;
        }
    HxFailure("too many enabled %ss", t->name);
    return 0;
}

void ActorDisable(hx_enable_table* t, hx_actor* a)
{
    HX_CHECK_AS(a != nullptr, "actorDisable NULL pointer to an actor : a != NULL", "enables", 90, );
    HX_CHECK_AS(a->type == t->type, "a->type == e->type", "enables", 91, );
    if (!t->slots)
        return;
    for (int i = 0; i < t->capacity; ++i)
        if (t->slots[i] == a) {
            t->slots[i] = nullptr;
            t->count--;
            return;
        }
}

// Entries from n up to the previous count get TYPE_T NONE.
void ClearStale(hx_token part, int n, int* given)
{
    for (int i = n; i < *given; ++i)
        HxRendererPartSet(part, i, HXT_TYPE_T, HxValueToken(HXT_NONE));
    *given = n;
}

// The matrix from an enabled actor to view space; false when it is not
// under the world.
bool ToView(hx_matrix34* toView, uint16_t* type, hx_actor* a, hx_actor* world, const hx_matrix34* worldToView)
{
    hx_matrix34 toWorld;
    if (!HxActorToAncestorMatrix34(&toWorld, type, a, world))
        return false;
    HxMatrix34Mul(toView, &toWorld, worldToView);
    return true;
}

void InvertFor(hx_matrix34* out, const hx_matrix34* m, uint16_t type)
{
    if (type != HX_TRANSFORM_MATRIX)
        HxMatrix34LPInverse(out, m);
    else
        HxMatrix34Inverse(out, m);
}

} // namespace

void HxEnablesBegin()
{
    TableInit(&v1db.enabled_lights, 16, HX_ACTOR_LIGHT, "light");
    TableInit(&v1db.enabled_clip_planes, 6, HX_ACTOR_CLIP_PLANE, "clip plane");
    TableInit(&v1db.enabled_horizon_planes, 6, HX_ACTOR_HORIZON_PLANE, "horizon plane");
}

int HxLightEnable(hx_actor* light)
{
    return ActorEnable(&v1db.enabled_lights, light);
}
void HxLightDisable(hx_actor* light)
{
    ActorDisable(&v1db.enabled_lights, light);
}
int HxClipPlaneEnable(hx_actor* plane)
{
    return ActorEnable(&v1db.enabled_clip_planes, plane);
}
void HxClipPlaneDisable(hx_actor* plane)
{
    ActorDisable(&v1db.enabled_clip_planes, plane);
}
int HxHorizonPlaneEnable(hx_actor* plane)
{
    return ActorEnable(&v1db.enabled_horizon_planes, plane);
}
void HxHorizonPlaneDisable(hx_actor* plane)
{
    ActorDisable(&v1db.enabled_horizon_planes, plane);
}

hx_actor* HxEnvironmentSet(hx_actor* actor)
{
    hx_actor* previous = v1db.environment;
    v1db.environment = actor;
    return previous;
}

void HxActorDisable(hx_actor* actor)
{
    if (!actor)
        return;
    if (v1db.environment == actor)
        v1db.environment = nullptr;
    switch (actor->type) {
    case HX_ACTOR_LIGHT:
        ActorDisable(&v1db.enabled_lights, actor);
        break;
    case HX_ACTOR_CLIP_PLANE:
        ActorDisable(&v1db.enabled_clip_planes, actor);
        break;
    case HX_ACTOR_HORIZON_PLANE:
        ActorDisable(&v1db.enabled_horizon_planes, actor);
        break;
    default:
        break;
    }
}

void HxSetupLights(hx_actor* world, const hx_matrix34* worldToView, uint16_t ttype)
{
    HX_CHECK_AS(world != nullptr, "HxSetupLights NULL pointer to actor : world != NULL", "enables", 200, );
    HX_CHECK_AS(worldToView != nullptr, "HxSetupLights NULL pointer : world_to_view != NULL", "enables", 201, );
    const hx_enable_table& t = v1db.enabled_lights;
    int n = 0;
    for (int i = 0; t.slots && i < t.capacity; ++i) {
        hx_actor* a = t.slots[i];
        if (!a)
            continue;
        auto* light = static_cast<hx_light*>(a->type_data);
        HX_CHECK_AS(light != nullptr, "Invalid light data : light != NULL", "enables", 210, );
        hx_matrix34 toView, fromView;
        uint16_t type;
        if (!ToView(&toView, &type, a, world, worldToView))
            continue;
        InvertFor(&fromView, &toView, HxTransformCombine(type, ttype));
        const uint8_t kind = light->type & 3;
        if (kind == 3)
            continue;
        hx_vector3 position = {toView.m[3][0], toView.m[3][1], toView.m[3][2]};
        hx_vector3 direction = {fromView.m[0][2], fromView.m[1][2], fromView.m[2][2]};
        hx_token_value tv[12];
        int k = 0;
        tv[k++] = {HXT_COLOUR_RGB, HxValueInt(intptr_t(light->colour))};
        tv[k++] = {HXT_ATTENUATION_C_F, HxValueFloat(light->attenuation_c)};
        tv[k++] = {HXT_ATTENUATION_L_F, HxValueFloat(light->attenuation_l)};
        tv[k++] = {HXT_ATTENUATION_Q_F, HxValueFloat(light->attenuation_q)};
        tv[k++] = {HXT_SPACE_T, HxValueToken((light->type & HX_LIGHT_VIEW) ? HXT_VIEW : HXT_MODEL)};
        static const hx_token kTypes[3] = {HXT_POINT, HXT_DIRECT, HXT_SPOT};
        tv[k++] = {HXT_TYPE_T, HxValueToken(kTypes[kind])};
        if (kind != HX_LIGHT_DIRECT)
            tv[k++] = {HXT_POSITION_V3_F, HxValuePointer(&position)};
        if (kind != HX_LIGHT_POINT)
            tv[k++] = {HXT_DIRECTION_V3_F, HxValuePointer(&direction)};
        if (kind == HX_LIGHT_SPOT) {
            tv[k++] = {HXT_SPOT_OUTER_F, HxValueFloat(std::cos(float(light->cone_outer) * float(M_PI) / 32768.0f))};
            tv[k++] = {HXT_SPOT_INNER_F, HxValueFloat(std::cos(float(light->cone_inner) * float(M_PI) / 32768.0f))};
        }
        tv[k] = {};
        HxRendererPartSetMany(HXT_LIGHT, n, tv);
        ++n;
    }
    ClearStale(HXT_LIGHT, n, &v1db.lights_given);
}

void HxSetupClipPlanes(hx_actor* world, const hx_matrix34* worldToView, uint16_t ttype,
                       const hx_matrix4* viewToScreen)
{
    HX_CHECK_AS(world != nullptr, "HxSetupClipPlanes NULL pointer to actor : world != NULL", "enables", 300, );
    HX_CHECK_AS(worldToView != nullptr, "HxSetupClipPlanes NULL pointer : world_to_view != NULL", "enables", 301, );
    HX_CHECK_AS(viewToScreen != nullptr, "HxSetupClipPlanes NULL pointer : view_to_screen != NULL", "enables", 302, );
    const hx_enable_table& t = v1db.enabled_clip_planes;
    int n = 0;
    hx_matrix4 screenToView;
    if (t.count > 0)
        HxMatrix4Inverse(&screenToView, viewToScreen);
    for (int i = 0; t.slots && i < t.capacity; ++i) {
        hx_actor* a = t.slots[i];
        if (!a || !a->type_data)
            continue;
        hx_matrix34 toView, fromView;
        uint16_t type;
        if (!ToView(&toView, &type, a, world, worldToView))
            continue;
        InvertFor(&fromView, &toView, HxTransformCombine(type, ttype));
        hx_matrix4 fromView4, m;
        HxMatrix4Copy34(&fromView4, &fromView);
        HxMatrix4Mul(&m, &screenToView, &fromView4);
        const auto* plane = static_cast<const hx_plane*>(a->type_data);
        hx_vector4 eqn = {plane->x, plane->y, plane->z, plane->d};
        hx_vector4 inScreen;
        HxMatrix4TApply(&inScreen, &eqn, &m);
        hx_token_value tv[3] = {{HXT_TYPE_T, HxValueToken(HXT_PLANE)}, {HXT_PLANE_V4_F, HxValuePointer(&inScreen)}, {}};
        HxRendererPartSetMany(HXT_CLIP, n, tv);
        ++n;
    }
    ClearStale(HXT_CLIP, n, &v1db.clips_given);
}

void HxSetupEnvironment(hx_actor* world, const hx_matrix34* worldToView, uint16_t ttype)
{
    HX_CHECK_AS(world != nullptr, "HxSetupEnvironment NULL pointer to actor : world != NULL", "enables", 400, );
    HX_CHECK_AS(worldToView != nullptr, "HxSetupEnvironment NULL pointer : world_to_view != NULL", "enables", 401, );
    hx_actor* env = v1db.environment;
    hx_matrix34 viewToEnv, envToView;
    uint16_t type = HX_TRANSFORM_IDENTITY;
    bool have = false;
    if (env == world) {
        InvertFor(&viewToEnv, worldToView, ttype);
        have = true;
    } else if (env && ToView(&envToView, &type, env, world, worldToView)) {
        InvertFor(&viewToEnv, &envToView, HxTransformCombine(type, ttype));
        have = true;
    }
    if (!have) {
        HxRendererPartSet(HXT_MATRIX, 0, HXT_VIEW_TO_ENVIRONMENT_HINT_T, HxValueToken(HXT_DONT_CARE));
        return;
    }
    HxRendererPartSet(HXT_MATRIX, 0, HXT_VIEW_TO_ENVIRONMENT_M34_F, HxValuePointer(&viewToEnv));
    HxRendererPartSet(HXT_MATRIX, 0, HXT_VIEW_TO_ENVIRONMENT_HINT_T, HxValueToken(HXT_NONE));
}
