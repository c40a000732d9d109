// Actions and the five built-in callbacks. See actions.h.
#include "world/actions.h"

#include "ai/docking.h"
#include "screens/bridge.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/sound.h"
#include "ui/hud.h"
#include "view/effectmodels.h"
#include "view/explosions.h"
#include "view/renderpasses.h"
#include "view/skyandlights.h"
#include "world/behaviours.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

namespace {

constexpr int32_t kSoundPlasmaBall = 38;
constexpr int32_t kPlasmaFlash = 175;
constexpr int16_t kPlasmaBallLife = 550; // hundredths
constexpr int32_t kPlasmaGrowth = 120000;
constexpr int32_t kLongPlasmaGrowth = 1800000;
constexpr float kDockingAlignment = 0.9f; // |cos| of about 25.8 degrees
constexpr int16_t kEmitterBrightness = 64;

void HullRupture(SceneItem* item, const void* argument)
{
    if (!argument)
        return;
    const auto* record = static_cast<const HitPayload*>(argument);
    const Vector3 point{record->point[0], record->point[1], record->point[2]};
    AddHullRupture(item, 14, 4, &point, 1500);
}

// The item that fired it is deleted on its next contact; a ball of
// antimatter grows at its place and crushes what it touches until its
// life runs out. Returns the ball, or null when the pools are out.
SceneItem* SpawnPlasmaBall(SceneItem* source)
{
    Sim* from = source->sim;
    if (!from)
        return nullptr;
    source->avatar->collision = DeleteSelfOnContact;
    SoundPlay(kSoundPlasmaBall, 0, 0, 0, 0);
    gScreenFlash = kPlasmaFlash;
    hx_model* model = LoadAntiMatterModel();

    SceneItem* ball = NewSceneItem();
    if (!ball)
        return nullptr;
    InsertSceneItem(ball, 0);
    Sim* sim = AttachSim(ball, PlasmaBallStep);
    TDP* root = sim ? AttachRootTDP(ball) : nullptr;
    if (!root) {
        DeleteSceneItem(ball);
        return nullptr;
    }
    SetMessageFunction(ball, HandleItemMessages);
    SetControlFunction(ball, nullptr);
    SetAvatarCallbacks(ball, CopySimToAvatar, SyncAvatarTdps);
    root->model = model;
    root->lod[0] = root->lod[1] = root->lod[2] = model;
    root->flags |= 0x8014;
    AttachTdpToScene(root, model, 0);

    if (source->avatar->root)
        source->avatar->root->radius = 100000.0f;

    InitPlasmaShimmer(ball, 0, 255, "plasmaball");
    sim->mass = 1850.0f;
    sim->matrix = from->matrix;
    sim->position = from->position;
    ball->avatar->matrix = from->matrix;
    ball->avatar->collision = CrushOnContact;
    PostItemMessage(ball->receiver, ball->receiver, kPlasmaBallLife, kMsgDelete, 0, nullptr);
    sim->radius = 30.0f;
    ball->avatar->params[kParamName] = kPlasmaGrowth;
    sim->hull = 2000000000;
    ball->avatar->position = {from->matrix.m[12], from->matrix.m[13], from->matrix.m[14]};
    sim->countdown = kPlasmaBallLife;
    return ball;
}

void PlasmaBall(SceneItem* item, const void*)
{
    SpawnPlasmaBall(item);
}

void LongPlasmaBall(SceneItem* item, const void*)
{
    if (SceneItem* ball = SpawnPlasmaBall(item))
        ball->avatar->params[kParamName] = kLongPlasmaGrowth;
}

float ZAxisDot(const SceneItem* a, const SceneItem* b)
{
    const float* p = a->sim->matrix.m;
    const float* q = b->sim->matrix.m;
    return VecDot({p[8], p[9], p[10]}, {q[8], q[9], q[10]});
}

// The player's ship docks when it lies (nearly) parallel or opposite to
// the item.
void DockingAlignment(SceneItem* item, const void* argument)
{
    auto* other = static_cast<SceneItem*>(const_cast<void*>(argument));
    if (!other || other != gPlayerItem || !item->sim || !other->sim)
        return;
    const float d = ZAxisDot(item, other);
    if (d < kDockingAlignment && d > -kDockingAlignment)
        return;
    CoupleFirstDockPoints(item, other);
    gDockingAligned = 255;
}

// The marker colour steps 9, 10, 12, 9, ...; the emitter's points on the
// root part take it. A part without an emitter keeps its looks.
void ColourCycle(SceneItem* item, const void*)
{
    Avatar* avatar = item->avatar;
    avatar->colour = avatar->colour == 9 ? 10 : avatar->colour == 10 ? 12
                                                                     : 9;
    const TDP* root = avatar->root;
    const ParticleEmitter* emitter = root ? root->emitter : nullptr;
    if (!emitter || !emitter->points)
        return;
    for (int i = 0; i < emitter->pointCount; ++i) {
        emitter->points[i].colour = avatar->colour;
        emitter->points[i].brightness = kEmitterBrightness;
    }
}

constexpr ActionCallback kBuiltIns[kBuiltInActionCount] = {
    HullRupture,
    PlasmaBall,
    DockingAlignment,
    ColourCycle,
    LongPlasmaBall,
};

} // namespace

bool AddAction(SceneItem* item, uint32_t key, uint32_t flags, const void* payload)
{
    if (!item || !item->sim || !payload)
        return false;
    ActionCallback callback = nullptr;
    if (!(flags & kActionFilm)) {
        const int16_t index = *static_cast<const int16_t*>(payload);
        if (index < 0 || index >= kBuiltInActionCount)
            return false;
        callback = kBuiltIns[index];
    }
    Action* action = AllocAction();
    if (!action)
        return false;
    action->key = key;
    action->flags |= flags;
    if (flags & kActionFilm)
        action->scriptRecord = payload;
    else
        action->callback = callback;
    Action** end = &item->sim->actions;
    while (*end)
        end = &(*end)->next;
    *end = action;
    return true;
}

int16_t FireActions(SceneItem* item, uint32_t key, const void* argument)
{
    if (!item || !item->sim)
        return 0;
    int16_t matched = 0;
    // A callback may spawn items but never detaches Actions: the list holds.
    for (Action* action = item->sim->actions; action; action = action->next) {
        if (action->key != key)
            continue;
        ++matched;
        if (action->flags & kActionCallback) {
            if (action->callback)
                action->callback(item, argument);
        } else if (const auto* film = static_cast<const Resource*>(action->scriptRecord)) {
            gLoopFlags.filmMode = PlayFilm(film->name) != 0 ? 255 : 0;
        }
    }
    return matched;
}

void CoupleFirstDockPoints(SceneItem* a, SceneItem* b)
{
    EnableDockPoint(a, 0);
    EnableDockPoint(b, 0);
    CoupleAtDockPoints(a, b, NthDockPoint(a, 0, nullptr), NthDockPoint(b, 0, nullptr), 0);
}
