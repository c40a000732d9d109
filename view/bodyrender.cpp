// Render callbacks of large bodies and the wreck's corpse.
//
// Owns: the TDP sync of planets, moons and stars, which places their parts
// from the double-precision position (their world coordinates are too large
// for the ordinary float path), stores each part's camera-relative position
// and picks its detail through the planet model pool; and the tumbling
// corpse of a destroyed ship. Not here: the pool itself (world/universe.h),
// the ordinary level of detail (renderpasses) and the plasma effects
// (effectmodels).
#include "view/bodyrender.h"

#include "framework/scene.h"
#include "system/crand.h"
#include "system/res/resman.h"
#include "view/effectmodels.h"
#include "view/lwoloader.h"
#include "view/renderpasses.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "world/behaviours.h"
#include "world/floatingorigin.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/scenelist.h"
#include "world/universe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

BodyRenderStats gBodyRenderStats = {};

namespace {

constexpr float kStarGlowFactor = 1.7f;
constexpr double kCorpseSpeed = 4500.0;    // of a corpse flying into view
constexpr double kCorpseAhead = 10000.0;   // where it crosses the viewer's sight
constexpr float kOwnCorpseSpeed = 1200.0f; // of the viewer's own ship's corpse
constexpr double kOwnCorpseSeconds = 15.0;
constexpr int32_t kCorpseLingerTicks = 600; // after its flight

// Whether the actor shows the star dummy, whose glow is drawn in software.
bool ShowsStarDummy(const hx_actor* actor)
{
    const hx_model* model = actor->model;
    return model && model->identifier && std::strcmp(model->identifier, "stardummy") == 0;
}

// The part's world position, and its position relative to the viewer in
// the viewer's axes. The root's comes from the double-precision positions.
void PlaceBodyPart(TDP* tdp, const Matrix4& m, const WorldPosition* exact)
{
    tdp->worldPosition = {m.m[12], m.m[13], m.m[14]};
    const SceneItem* viewer = gView.viewer;
    if (!viewer || !viewer->sim) {
        tdp->viewPosition = tdp->worldPosition;
        return;
    }
    const Sim& eye = *viewer->sim;
    const Vector3 d = exact ? Vector3{static_cast<float>(exact->x - eye.position.x),
                                      static_cast<float>(exact->y - eye.position.y),
                                      static_cast<float>(exact->z - eye.position.z)}
                            : Vector3{m.m[12] - eye.matrix.m[12], m.m[13] - eye.matrix.m[13],
                                      m.m[14] - eye.matrix.m[14]};
    VecMulMat3T(tdp->viewPosition, d, eye.matrix);
}

} // namespace

void UpdatePlanetRender(SceneItem* item)
{
    if (!item || !item->sim || !item->avatar)
        return;
    ++gBodyRenderStats.rendered;
    Sim& sim = *item->sim;
    sim.matrix.m[12] = static_cast<float>(sim.position.x);
    sim.matrix.m[13] = static_cast<float>(sim.position.y);
    sim.matrix.m[14] = static_cast<float>(sim.position.z);
    // A body without a drawn size keeps its own, rather than collapsing.
    const int32_t size = item->avatar->params[kParamSize];
    const float s = size > 0 ? static_cast<float>(size) / 1000.0f : 1.0f;
    Matrix4 m = sim.matrix;
    for (int i = 0; i < 12; ++i)
        if (i % 4 != 3)
            m.m[i] *= s;
    const hx_model* onePoint = gView.onePoint;
    for (TDP* tdp = item->avatar->root; tdp; tdp = tdp->nextSibling) {
        PlaceBodyPart(tdp, m, tdp == item->avatar->root ? &sim.position : nullptr);
        if (tdp->materialName)
            SelectPlanetDetail(tdp, tdp);
        if (tdp->actor) {
            PlaceTdpActor(tdp, &m);
            if (tdp->actor->model != onePoint)
                ++gBodyRenderStats.drawn;
        }
        if (tdp->firstChild)
            UpdateTdpTransform(tdp->firstChild, &m);
    }
}

void UpdateShimmerPlanetRender(SceneItem* item)
{
    AnimatePlasmaShimmer(item, 0);
    UpdatePlanetRender(item);
}

void UpdateVideoPlanetRender(SceneItem* item)
{
    AdvancePlasmaFilm(item);
    UpdatePlanetRender(item);
}

void SelectPlanetDetail(TDP* tdp, TDP* other)
{
    if (!tdp)
        return;
    TDP* shown = other ? other : tdp;
    const Vector3& p = tdp->viewPosition;
    const float d = (std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z)) / 3.0f;
    const float s = d > 0.0f ? tdp->radius / static_cast<float>(kPlanetScale) * 900.0f / d : 0.0f;
    // The first level-of-detail setting brings the sphere, the second its
    // detail textures.
    const float full = gLodThresholds[0];
    const float detail = gLodThresholds[1];
    if (!shown->actor) {
        if (!(shown->flags & kTdpInScene) || !(s > full))
            return;
        AttachTdpToScene(shown, nullptr, 0);
        if (!shown->actor)
            return;
    }
    if (ShowsStarDummy(shown->actor)) {
        shown->glowSize = s * kStarGlowFactor;
        return;
    }
    hx_model* onePoint = GetOnePointModel();
    if (s >= full) {
        hx_model* sphere = AcquirePlanetModel(shown, s, shown->materialName);
        if (sphere) {
            shown->model = sphere;
            shown->actor->model = sphere;
            SetPlanetModelFlag(shown, s > detail ? 1 : 0);
            return;
        }
    } else {
        // Too small to need its sphere: a nearer body may take the slot.
        SetPlanetModelPriority(shown, s);
    }
    shown->actor->model = onePoint;
}

void RefreshPlanetDetail()
{
    const SceneItem* player = gPlayerItem;
    ForEachSceneItem([player](SceneItem* item) {
        if (!item->avatar || item->avatar->tdpSync != UpdatePlanetRender || !item->sim || !item->avatar->root)
            return true;
        TDP* root = item->avatar->root;
        const WorldPosition from = player && player->sim ? player->sim->position : WorldPosition{};
        const WorldPosition& at = item->sim->position;
        root->viewPosition = {static_cast<float>(at.x - from.x), static_cast<float>(at.y - from.y),
                              static_cast<float>(at.z - from.z)};
        SelectPlanetDetail(root, root);
        return true;
    });
}

void SpawnCorpse(SceneItem* item)
{
    if (!item || !item->sim)
        return;
    Resource* resource = CorpseModelResource();
    hx_model* model = resource ? static_cast<hx_model*>(ResGet(resource)) : nullptr;
    if (!model)
        return;
    const SceneItem* viewer = gControlledItem && gControlledItem->sim ? gControlledItem : gPlayerItem;
    if (!viewer || !viewer->sim)
        return;
    const Sim& source = *item->sim;
    const Sim& eye = *viewer->sim;
    const double dx = eye.position.x - source.position.x, dy = eye.position.y - source.position.y,
                 dz = eye.position.z - source.position.z;
    const double length = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (length > kCorpseRange)
        return;

    SceneItem* body = NewSceneItem();
    if (!body)
        return;
    InsertSceneItem(body, 0);
    MoveSceneItemToFront(body);
    Sim* sim = AttachSim(body, BallisticStep);
    TDP* root = sim ? AttachRootTDP(body) : nullptr;
    if (!root) {
        DeleteSceneItem(body);
        return;
    }
    SetAvatarCallbacks(body, CopySimToAvatar, SyncAvatarTdps);
    sim->matrix = source.matrix;
    sim->previousMatrix = source.previousMatrix;

    double t;
    if (item == viewer) {
        // The viewer's own wreck: a little ahead, drifting on forward.
        const Vector3 offset{static_cast<float>(CRand() % 3000 - 1500), static_cast<float>(CRand() % 3000 - 1500),
                             4200.0f};
        Vector3 turned;
        MatRotateVec(source.matrix, offset, turned);
        sim->position = {source.position.x + turned.x, source.position.y + turned.y, source.position.z + turned.z};
        MatRotateVec(source.matrix, Vector3{0.0f, 0.0f, kOwnCorpseSpeed}, sim->velocity);
        t = kOwnCorpseSeconds;
    } else {
        // Flies from the wreck to a point ahead of the viewer, reached after t seconds.
        t = std::max(length / kCorpseSpeed, 1.0);
        const double ahead[3] = {eye.matrix.m[8] * kCorpseAhead, eye.matrix.m[9] * kCorpseAhead,
                                 eye.matrix.m[10] * kCorpseAhead};
        sim->position = source.position;
        sim->velocity = {static_cast<float>((dx + eye.velocity.x * t + ahead[0]) / t),
                         static_cast<float>((dy + eye.velocity.y * t + ahead[1]) / t),
                         static_cast<float>((dz + eye.velocity.z * t + ahead[2]) / t)};
    }
    sim->matrix.m[12] = static_cast<float>(sim->position.x);
    sim->matrix.m[13] = static_cast<float>(sim->position.y);
    sim->matrix.m[14] = static_cast<float>(sim->position.z);

    root->flags = (root->flags | kTdpInScene) & ~uint32_t{kTdpNew};
    body->avatar->flags |= kAvatarInUse;
    body->pitchDemand = static_cast<float>(CRand() % 50 - 25);
    body->yawDemand = static_cast<float>(CRand() % 50 - 25);
    root->model = model;
    sim->mass = 50.0f;
    SetMessageFunction(body, HandleItemMessages);
    AttachTdpToScene(root, model, 0);
    if (HullBounds* hull = GetModelHullBounds(resource->name, model)) {
        root->hullBounds = hull;
        root->radius = hull->radius;
        sim->radius = hull->radius;
    }
    const int32_t delay = static_cast<int32_t>(t * 100.0) + kCorpseLingerTicks;
    PostItemMessage(body->receiver, body->receiver, delay, 0, 0, nullptr);
}
