// The scene update of the 3D view: the worlds' building and freeing, the
// TDP actors, the per-frame placing of every TDP and its level of detail.
// The passes that draw the worlds are in viewwindows.cpp.
#include "view/renderpasses.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "ai/docking.h"
#include "framework/scene.h"
#include "framework/scene_state.h"
#include "screens/bridge.h"
#include "system/errors.h"
#include "system/settings.h"
#include "view/bodyrender.h"
#include "view/effectmodels.h"
#include "view/skyandlights.h"
#include "view/viewstate.h"
#include "world/pools.h"
#include "world/scenelist.h"

uint8_t gLdsStretch = 0;

namespace {

constexpr hx_angle kHalfTurn = 32760; // 180 degrees in the game's angle unit
constexpr float kAngleUnit = 182.0f;  // framework angle units a degree
constexpr uint32_t kAvatarHiddenBody = 0x2000000;
constexpr uint32_t kTdpDrawEdges = 0x400;
constexpr uint32_t kTdpDrawBounds = 0x800;
constexpr uint32_t kTdpStretchInLds = 0x10000;
constexpr float kAttachSize = 20.0f; // apparent size above which a TDP gets its actor


// A TDP actor's type data is the game's emitter record, never the
// framework's: the framework must not free it (nor look at the memory
// before it, where its own records keep their headers).
void ReleaseTypeData(hx_actor* actor)
{
    actor->type_data = nullptr;
}

// Draws nothing: the routine of the one-point model.
void DrawNothing(hx_actor*, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_token) {}

// The actor of a TDP with its model, material, style and levels of detail,
// in its world; null when the framework has no actor left.
hx_actor* MakeTdpActor(TDP* tdp, void* typeData)
{
    hx_model* model = tdp->model ? tdp->model : GetOnePointModel();
    hx_actor* actor = HxActorAllocate(HX_ACTOR_MODEL, typeData);
    if (!actor)
        return nullptr;
    actor->model = model;
    actor->material = tdp->materialName ? HxMaterialFind(tdp->materialName) : nullptr;
    actor->render_style = HX_RSTYLE_DEFAULT;
    if (gSettings.wire || (tdp->flags & kTdpDrawEdges))
        actor->render_style = HX_RSTYLE_EDGES;
    else if (tdp->flags & kTdpDrawBounds)
        actor->render_style = HX_RSTYLE_BOUNDING_FACES;
    actor->user = tdp;
    tdp->lod[0] = tdp->lod[1] = tdp->lod[2] = model;
    if (!(model->flags & HX_MODF_CUSTOM)) {
        tdp->lod[1] = MakeReducedModel(model);
        tdp->lod[2] = GetOnePointModel();
    }
    hx_actor* world = gView.mainWorld;
    if ((tdp->flags & kTdpPlanetLayer) && (model->flags & HX_MODF_CUSTOM) && gView.farPlanetWorld)
        world = gView.farPlanetWorld;
    HxActorAdd(world, actor);
    tdp->actor = actor;
    return actor;
}

// The collision record of the TDP's model, and the item's dock points.
void TakeModelRecords(TDP* tdp)
{
    if (HullBounds* hull = tdp->model ? FindHullBounds(tdp->model) : nullptr)
        tdp->hullBounds = hull;
    if (tdp->owner)
        AttachDockPointsToModel(tdp->owner);
}

void SetLevel(TDP* tdp, hx_model* model)
{
    if (model)
        tdp->actor->model = model;
}

// The viewer of the LDS stretch: the player's ship, or the item under
// remote control while a remote link is active.
const SceneItem* StretchViewer()
{
    return gRemoteLinkItem ? gRemoteLinkItem : gPlayerItem;
}

// Adds factor x (row . direction) x direction to each axis row, so that the
// shape grows by the factor along the travel and keeps its other extents.
void StretchAlong(Matrix4& m, Vector3 direction, float factor)
{
    if (VecNormalise(direction) == 0.0f)
        return;
    for (int row = 0; row < 3; ++row) {
        float* r = &m.m[row * 4];
        const float along = factor * (r[0] * direction.x + r[1] * direction.y + r[2] * direction.z);
        r[0] += along * direction.x;
        r[1] += along * direction.y;
        r[2] += along * direction.z;
    }
}

// Forgets the actors of a tree whose world is being freed.
void ForgetTreeActors(TDP* tdp)
{
    for (; tdp; tdp = tdp->nextSibling) {
        if (tdp->actor)
            ReleaseTypeData(tdp->actor);
        tdp->actor = nullptr;
        ForgetTreeActors(tdp->firstChild);
    }
}

void ForgetListActors(SceneItem& head)
{
    for (SceneItem* item = head.next; item && item != &head; item = item->next)
        if (item->avatar)
            ForgetTreeActors(item->avatar->root);
}

} // namespace

hx_camera* CameraOf(hx_actor* actor)
{
    return static_cast<hx_camera*>(actor->type_data);
}

void SetActorMatrix(hx_actor* actor, const Matrix4& m)
{
    actor->t.type = HX_TRANSFORM_MATRIX;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            actor->t.t.mat.m[row][column] = m.m[row * 4 + column];
    actor->t.t.mat.m[3][0] = m.m[12];
    actor->t.t.mat.m[3][1] = m.m[13];
    actor->t.t.mat.m[3][2] = m.m[14];
}

// ---- worlds --------------------------------------------------------------------------

void BuildMainWorld()
{
    gView.mainWorld = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    gView.mainCamera = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    gView.lights[0] = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    gView.lights[1] = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    if (!gView.mainWorld || !gView.mainCamera || !gView.lights[0] || !gView.lights[1])
        return;
    hx_camera* camera = CameraOf(gView.mainCamera);
    camera->type = HX_CAMERA_PERSPECTIVE;
    camera->width = camera->height = 80000.0f;
    camera->field_of_view = hx_angle(gView.fieldOfView * kAngleUnit);
    camera->hither_z = kMainCameraHither;
    camera->yon_z = kMainCameraYon;
    camera->aspect = 1.0f;
    HxMatrix34RotateX(&gView.mainCamera->t.t.mat, kHalfTurn);
    HxActorAdd(gView.mainWorld, gView.mainCamera);

    HxMatrix34RotateY(&gView.lights[0]->t.t.mat, 16380);
    HxMatrix34PostRotateZ(&gView.lights[0]->t.t.mat, 60076);
    HxActorAdd(gView.mainWorld, gView.lights[0]);
    HxLightEnable(gView.lights[0]);

    auto* point = static_cast<hx_light*>(gView.lights[1]->type_data);
    point->type = HX_LIGHT_POINT;
    point->attenuation_l = 4e-5f;
    HxActorAdd(gView.mainWorld, gView.lights[1]);
}

void FreeP3DWorlds()
{
    gRebuild3D = 255;
    if (!v1db.active)
        return;
    for (hx_actor* light : gView.lights)
        if (light)
            HxLightDisable(light);
    // Every TDP actor lives in a world (or waits outside one between
    // planet passes); none may be used once its world is gone.
    ForgetListActors(gSceneList);
    ForgetListActors(gParkedList);
    for (hx_actor** world : {&gView.mainWorld, &gView.planetWorld, &gView.farPlanetWorld, &gView.nebulaWorld}) {
        HxActorFree(*world);
        *world = nullptr;
    }
    gView.mainCamera = gView.planetCamera = gView.nebulaCamera = gView.celestialSphere = nullptr;
    gView.lights[0] = gView.lights[1] = nullptr;
}

void PrepareView(SceneItem* item, const ViewRect* viewport)
{
    gView.viewer = item;
    gView.viewport = *viewport;
    gView.centreX = (viewport->left + viewport->right) / 2;
    gView.centreY = (viewport->top + viewport->bottom) / 2;
    const Matrix4& m = item->avatar->matrix;
    gView.viewOrigin = {m.m[12], m.m[13], m.m[14]};
    MatTransposeRotation(gView.viewTransform, m);
    if (gRebuild3D && gView.begun) {
        BuildMainWorld();
        ForEachSceneItem([](SceneItem* s) {
            AddTdpToWorld(s->avatar->root);
            return true;
        });
        gRebuild3D = 0;
        RefreshPlanetDetail();
    }
    ForEachSceneItem([](SceneItem* s) {
        if (s->avatar->tdpSync)
            s->avatar->tdpSync(s);
        else
            SyncAvatarTdps(s);
        return true;
    });
}

// ---- TDP actors ----------------------------------------------------------------------

void AddTdpToWorld(TDP* tdp)
{
    if (!tdp)
        return;
    AddTdpToWorld(tdp->nextSibling);
    AddTdpToWorld(tdp->firstChild);
    const Avatar* avatar = tdp->owner ? tdp->owner->avatar : nullptr;
    if (avatar && (avatar->classFlags & kAvatarHiddenBody) && !tdp->emitter)
        return;
    if (!(tdp->flags & kTdpInScene))
        return;
    TakeModelRecords(tdp);
    if (!tdp->actor && gView.mainWorld)
        MakeTdpActor(tdp, tdp->emitter);
}

int32_t AttachTdpToScene(TDP* tdp, void* modelOrEmitter, int32_t mode)
{
    if (mode == 1) {
        tdp->emitter = static_cast<ParticleEmitter*>(modelOrEmitter);
        tdp->model = CreateParticleDummyModel();
    } else {
        tdp->model = static_cast<hx_model*>(modelOrEmitter);
    }
    // The collision tests need the model's records whether or not anything
    // is drawn (a headless flight has no world at all).
    if (mode != 1)
        TakeModelRecords(tdp);
    if (!gView.mainWorld)
        return 1;
    DetachTdpActor(tdp);
    return MakeTdpActor(tdp, tdp->emitter) ? 1 : 0;
}

// After the scene layer has ended every actor is gone with it, and only the
// pointer is cleared.
void DetachTdpActor(TDP* tdp)
{
    hx_actor* actor = tdp->actor;
    if (!actor)
        return;
    tdp->actor = nullptr;
    if (!v1db.active)
        return;
    ReleaseTypeData(actor);
    if (actor->parent)
        HxActorRemove(actor);
    HxActorFree(actor);
}

void RemoveParticleSystem(TDP* tdp)
{
    SceneItem* item = tdp->owner;
    if (!item) {
        FatalError("RemoveParticleSystem - ScenePtr==NULL");
        return;
    }
    if (!(tdp->flags & kTdpInUse))
        FatalError("RemoveParticleSystem - not 3DP_CURRENT");
    if (tdp->emitter)
        tdp->emitter->flags &= ~1u;
    tdp->flags &= ~(kTdpInScene | kTdpEmitter);
    DetachTdpActor(tdp);
    tdp->flags &= ~kTdpInUse;
    tdp->perFrame = PlaceTdpActor;

    TDP** slot = nullptr;
    if (!FindTDPLink(item, tdp, &slot))
        slot = item->avatar->root == tdp ? &item->avatar->root : nullptr;
    if (slot && *slot == tdp) {
        TDP* child = tdp->firstChild;
        TDP* sibling = tdp->nextSibling;
        if (child) {
            *slot = child;
            TDP* last = child;
            while (last->nextSibling)
                last = last->nextSibling;
            last->nextSibling = sibling;
        } else {
            *slot = sibling;
        }
    }
    tdp->firstChild = tdp->nextSibling = nullptr;
}

// ---- the per-frame update ----------------------------------------------------------------

void SyncAvatarTdps(SceneItem* item)
{
    const Matrix4 matrix = item->avatar->matrix;
    UpdateTdpTransform(item->avatar->root, &matrix);
}

void UpdateTdpTransform(TDP* tdp, const Matrix4* parent)
{
    if (!tdp)
        return;
    if (tdp->nextSibling)
        UpdateTdpTransform(tdp->nextSibling, parent);
    Matrix4 world = tdp->local;
    MatMul(world, *parent);
    if (tdp->firstChild)
        UpdateTdpTransform(tdp->firstChild, &world);
    tdp->worldPosition = {world.m[12], world.m[13], world.m[14]};
    const SceneItem* viewer = gView.viewer;
    if (viewer && viewer->sim) {
        const Matrix4& eye = viewer->sim->matrix;
        const Vector3 d{world.m[12] - eye.m[12], world.m[13] - eye.m[13], world.m[14] - eye.m[14]};
        VecMulMat3T(tdp->viewPosition, d, eye);
    } else {
        tdp->viewPosition = tdp->worldPosition;
    }
    UpdateTdpDetail(tdp);
    if (tdp->perFrame)
        tdp->perFrame(tdp, &world);
}

void UpdateTdpDetail(TDP* tdp)
{
    if (tdp->flags & kTdpEmitter)
        return;
    // A part whose radius is not known yet (0) is measured by its model's
    // bounding radius, never dropped to a point for want of a radius.
    const float radius = tdp->radius > 0.0f || !tdp->model ? tdp->radius : tdp->model->radius;
    const float depth = std::fabs(tdp->viewPosition.z);
    float s = depth > 0.0f ? radius * 900.0f / depth : (radius > 0.0f ? FLT_MAX : 0.0f);
    if (!(tdp->flags & kTdpPlanetLayer) && tdp->viewPosition.z > kMainCameraYon)
        s = 0.0f;
    if (!tdp->actor) {
        if (!(tdp->flags & kTdpInScene) || !(s > kAttachSize))
            return;
        AttachTdpToScene(tdp, tdp->model, 0);
        if (!tdp->actor)
            return;
    }
    const float onePoint = gLodThresholds[0];
    const float full = gLodThresholds[1];
    const float hysteresis = gLodThresholds[2];
    const hx_model* current = tdp->actor->model;
    if (current == tdp->lod[0]) {
        if (s < full - hysteresis)
            SetLevel(tdp, tdp->lod[1]);
        if (s < onePoint - hysteresis)
            SetLevel(tdp, tdp->lod[2]);
    } else if (current && (current->flags & HX_MODF_CUSTOM)) {
        if (s > onePoint)
            SetLevel(tdp, tdp->lod[1]);
        if (s > full)
            SetLevel(tdp, tdp->lod[0]);
    } else if (s < onePoint - hysteresis) {
        SetLevel(tdp, tdp->lod[2]);
    } else if (s > full) {
        SetLevel(tdp, tdp->lod[0]);
    }
}

void PlaceTdpActor(TDP* tdp, const Matrix4* matrix)
{
    if (!(tdp->flags & kTdpInScene) || !tdp->actor)
        return;
    Matrix4 placed = *matrix;
    const SceneItem* viewer = StretchViewer();
    if ((tdp->flags & kTdpStretchInLds) && gView.stretchEnable && gLdsStretch && viewer && viewer->sim &&
        (viewer->sim->flags & kSimLdsEngaged) && tdp->radius > 0.0f) {
        const float factor = std::min(((viewer->sim->thrust.z - 1e5f) / 10.0f) / tdp->radius, 20.0f);
        if (factor > 1.0f)
            StretchAlong(placed, viewer->sim->velocity, factor);
    }
    SetActorMatrix(tdp->actor, placed);
}

void SetTdpScreenBounds(hx_actor* actor, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_matrix4*,
                        const int32_t bounds[4])
{
    auto* tdp = static_cast<TDP*>(actor->user);
    if (!tdp)
        return;
    for (int i = 0; i < 4; ++i)
        tdp->screenRect[i] = int16_t(bounds[i]);
    if (tdp->model && gView.window)
        GrowDirtyRect(gView.window->dirtyRect, bounds);
}

hx_model* GetOnePointModel()
{
    if (gView.onePoint)
        return gView.onePoint;
    // Without the framework (a headless world) there is no model to make.
    if (!v1db.active)
        return nullptr;
    hx_model* model = HxModelAllocate("one point", 1, 1);
    if (!model)
        return nullptr;
    model->flags |= 0x26;
    model->custom = DrawNothing;
    gView.onePoint = HxModelAdd(model);
    return gView.onePoint;
}

void SetItemModel(SceneItem* item, hx_model* model)
{
    TDP* root = item->avatar->root;
    if (!root)
        return;
    root->model = model;
    root->lod[0] = model;
    if (root->actor)
        root->actor->model = model;
}

// A model's vertex position is read as the game's own vector.
static_assert(sizeof(Vector3) == sizeof(hx_vector3) && alignof(Vector3) == alignof(hx_vector3));

const Vector3* GetModelVertex(int32_t i, const hx_model* model)
{
    return reinterpret_cast<const Vector3*>(&model->vertices[i].p);
}
