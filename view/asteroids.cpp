// Asteroid belts and asteroid fields: the belts of the current star system
// and the inside-a-belt flag of the watched items, the rocks kept scattered
// around the player while a system with belts is loaded, the dust clouds of
// asteroid fields and the single asteroids of the scripts.
//
// The behaviours that move the rocks afterwards (keeping them near their
// anchor or in their field) are the world's (world/behaviours.h).
#include "view/asteroids.h"

#include <algorithm>
#include <cmath>

#include "ai/aistate.h"
#include "ai/orders.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "system/errors.h"
#include "view/lwoloader.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "view/planets.h"
#include "view/renderpasses.h"
#include "view/viewstart.h"
#include "world/behaviours.h"
#include "world/collisions.h"
#include "world/floatingorigin.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/responses.h"
#include "world/scenelist.h"

namespace {

constexpr int kMaxBelts = 8;
constexpr int kBeltWatchSlots = 8;
constexpr float kWideBelt = 5e11f;
constexpr float kReplaceMargin = 2e7f;    // a belt must be this much nearer to replace the best
constexpr float kLargeBeltRadius = 1e10f; // and beyond: the half-width is fixed
constexpr float kLargeBeltHalfWidth = 1e9f;
constexpr uint16_t kItemInBelt = kItemBeltAnchor; // 0x400: inside a belt this frame
enum class Insert {
    Head,
    Tail
};
constexpr float kMaxBeltRange = 5000000.0f;
constexpr float kMinBeltRange = 320.0f;
// The belt is laid out when the system is built, before any view has been
// drawn and measured its projection distance: until then the rocks take
// the full screen's cockpit view (480 lines at 45 degrees), so they are
// spread to their proper ranges rather than all kept at the floor.
constexpr float kUndrawnProjectionDistance = 579.41f;
constexpr float kMaxAsteroidMass = 12000.0f;
constexpr uint32_t kTdpSolidModel = 0x10000; // the root shows the rock's model whole
constexpr int16_t kAvatarShowsModel = 0x1;
constexpr int16_t kDustColourKind = 1;

struct AsteroidModelRow {
    const char* file;
    float radius;
};
constexpr AsteroidModelRow kAsteroidFiles[kAsteroidSizes] = {
    {"zqk\\resource\\shapes\\SmallAsteroidBumpy.lwo", 3000.0f},
    {"zqk\\resource\\shapes\\MediumAsteroidBumpy.lwo", 45000.0f},
    {"zqk\\resource\\shapes\\LargeAsteroid_RTO.lwo", 200000.0f},
};

struct AsteroidState {
    AsteroidBelt belts[kMaxBelts];
    int beltCount;
    ItemRef watched[kBeltWatchSlots]; // empty: the player
    AsteroidModel models[kAsteroidSizes];
    int modelCount;
    bool modelsLoaded;
    hx_model* mineModel; // loaded on the first field mine
};
AsteroidState gAsteroids{};

// The size class of a draw of 0..99: 61, 30 and 9 per cent.
int SizeClassOf(int r)
{
    return r <= 60 ? 0 : r <= 90 ? 1
                                 : 2;
}

// Step 1 of every rock: a new item with a RECEIVER, the message function,
// a ballistic Sim, the Avatar syncs and a root TDP in the scene.
SceneItem* NewRockItem(Insert where)
{
    SceneItem* item = NewSceneItem();
    if (!item)
        return nullptr;
    InsertSceneItem(item, where == Insert::Tail ? kItemTailGroup : 0);
    if (where == Insert::Head)
        MoveSceneItemToFront(item);
    if (!item->receiver)
        item->receiver = AllocReceiver();
    item->message = HandleItemMessages;
    AttachSim(item, BallisticStep);
    item->avatar->tdpSync = SyncAvatarTdps;
    item->avatar->renderSync = CopySimToAvatar;
    TDP* root = AttachRootTDP(item);
    if (root)
        root->flags |= kTdpInScene | kTdpNew;
    return item;
}

void ShowModel(SceneItem* item, hx_model* model, float radius)
{
    TDP* root = item->avatar->root;
    if (!root)
        return;
    root->model = model;
    root->radius = radius;
    root->flags |= kTdpSolidModel;
    item->avatar->flags |= kAvatarShowsModel;
    AttachTdpToScene(root, model, 0);
}

} // namespace

const AsteroidBelt* AsteroidBelts(int* count)
{
    if (count)
        *count = gAsteroids.beltCount;
    return gAsteroids.belts;
}

void ResetAsteroidBelts()
{
    gAsteroids.beltCount = 0;
}

void LoadAsteroidModels()
{
    if (gAsteroids.modelsLoaded)
        return;
    gAsteroids.modelsLoaded = true;
    gAsteroids.modelCount = 0;
    for (const AsteroidModelRow& row : kAsteroidFiles) {
        int32_t size = 0;
        hx_model* model = LWO2HXM(row.file, nullptr, &size);
        if (!model)
            break; // the rows that exist stay in class order
        SizeModel(model, row.radius);
        gAsteroids.models[gAsteroids.modelCount++] = {model, row.radius};
    }
}

const AsteroidModel* AsteroidModels(int* count)
{
    if (count)
        *count = gAsteroids.modelCount;
    return gAsteroids.models;
}

void ForgetAsteroidModels()
{
    gAsteroids.modelsLoaded = false;
    gAsteroids.modelCount = 0;
    gAsteroids.mineModel = nullptr;
}

void AddAsteroidBelt(float radius, SceneItem* centre, int32_t wide)
{
    if (gAsteroids.beltCount >= kMaxBelts)
        return;
    AsteroidBelt& belt = gAsteroids.belts[gAsteroids.beltCount++];
    belt = {};
    belt.centre = centre;
    belt.radius = radius;
    belt.halfWidth = radius >= kLargeBeltRadius ? kLargeBeltHalfWidth : radius / 6.0f;
    belt.thickness = belt.halfWidth / 10.0f;
    if (wide)
        belt.halfWidth = belt.thickness = kWideBelt;
}

int32_t FindNearestBelt(const SceneItem* item, uint8_t* inside, Vector3* delta)
{
    *inside = 0;
    if (!item || !item->sim)
        return -1;
    float best = 1e30f;
    int32_t found = -1;
    const WorldPosition& p = item->sim->position;
    for (int i = 0; i < gAsteroids.beltCount; ++i) {
        const AsteroidBelt& belt = gAsteroids.belts[i];
        const SceneItem* centre = belt.centre;
        if (!centre || !centre->sim)
            continue;
        const Vector3 d{float(centre->sim->position.x - p.x), float(centre->sim->position.y - p.y),
                        float(centre->sim->position.z - p.z)};
        const float off = std::fabs(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z) - belt.radius);
        if (!(off < best - kReplaceMargin))
            continue;
        best = off;
        found = i;
        if (delta)
            *delta = d;
        // Belts lie in the plane y = 0.
        if (off < belt.halfWidth && std::fabs(float(p.y)) < belt.thickness)
            *inside = 255;
    }
    return found;
}

void UpdateInBeltFlag(SceneItem* item)
{
    if (!item)
        return;
    item->flags &= ~kItemInBelt;
    uint8_t inside = 0;
    Vector3 delta{};
    FindNearestBelt(item, &inside, &delta);
    if (inside)
        item->flags |= kItemInBelt;
}

void WatchBeltItem(SceneItem* item)
{
    for (ItemRef& slot : gAsteroids.watched)
        if (!slot) {
            slot = item;
            return;
        }
}

void ClearBeltWatchList()
{
    for (ItemRef& slot : gAsteroids.watched)
        slot = nullptr;
}

void UpdateBeltMembership()
{
    bool playerDone = false;
    for (const ItemRef& slot : gAsteroids.watched) {
        SceneItem* item = slot;
        if (!item) {
            // Every empty slot stands for the player: one update serves them all.
            if (playerDone)
                continue;
            playerDone = true;
            item = gPlayerItem;
        }
        UpdateInBeltFlag(item);
    }
}

void GenerateAsteroidBelts(SceneItem* ignored, int32_t count)
{
    if (!gPlayerItem)
        DebugMessageBox("Warning - Asteroid belts may not function (PLAYER should be declared before SYSTEM)",
                        "Solar System Generation");
    LoadAsteroidModels();
    for (int32_t i = 0; i < count; ++i)
        SpawnBeltAsteroid(nullptr);
}

void SpawnBeltAsteroid(SceneItem* ignored)
{
    // The row of the size class, or the largest below it when that model did
    // not load; with no row there is nothing to show.
    const int sizeClass = SizeClassOf(CRand() % 100);
    const int row = std::min(sizeClass, gAsteroids.modelCount - 1);
    if (row < 0)
        return;
    SceneItem* item = NewRockItem(Insert::Tail);
    if (!item)
        return;
    item->control = KeepNearAnchor;
    Sim* sim = item->sim;
    sim->secondTarget = gPlayerItem;
    const AsteroidModel& model = gAsteroids.models[row];
    const float distance = gProjectionDistance > 0.0f ? gProjectionDistance : kUndrawnProjectionDistance;
    const float range = std::max(std::min(model.radius * distance / 5.0f, kMaxBeltRange), kMinBeltRange);
    Avatar* avatar = item->avatar;
    avatar->params[kParamBeltAnchor] = static_cast<int32_t>(ItemHandle(gPlayerItem));
    avatar->params[0] = static_cast<int32_t>(range);
    avatar->range = range;
    ScatterAroundAnchor(item);
    item->flags |= kItemBeltAsteroid | kItemBeltShip;
    sim->mass = float(1000 * sizeClass + 500 * sizeClass * sizeClass + 500);
    sim->word0 = static_cast<int32_t>(sim->mass) / 100;
    if (sizeClass >= 1)
        item->flags |= kItemObstacle;
    ShowModel(item, model.model, model.radius);
}

SceneItem* CreateAsteroid(int32_t ignored, hx_model* model)
{
    // A rock with nothing to show would be an invisible obstacle.
    if (!model)
        return nullptr;
    SceneItem* item = NewRockItem(Insert::Head);
    if (!item)
        return nullptr;
    item->sim->secondTarget = gPlayerItem;
    item->avatar->collision = CollideShips;
    item->flags |= kItemObstacle;
    ShowModel(item, model, 0.0f);
    TDP* root = item->avatar->root;
    if (root)
        InitTDPRadius(root);
    UpdateTDPWorldCentres(item);
    SetSceneItemRadius(item);
    const float r = root ? root->radius / 100.0f : 0.0f;
    item->sim->mass = std::min(r * r * r * 3.14159f * 5.5f, kMaxAsteroidMass);
    item->sim->word0 = static_cast<int32_t>(item->sim->mass / 1.382e20f * 225.0f);
    return item;
}

ParticleEmitter* FillDustCloud(float cx, float cy, float cz, float rx, float ry, float rz, float bias,
                               int32_t count, ParticleEmitter* record)
{
    if (!record)
        record = CreateParticleEmitter(2, kEmitterStaticCloud, kLargeEmitterPoints, 1, 1.0f, 1, 1.0f);
    if (!record)
        return nullptr;
    // A bias strictly between 0 and 1 would take the cube root of a
    // negative number: it counts as 1 (no shaping).
    if (bias > 0.0f && bias < 1.0f)
        bias = 1.0f;
    std::fill(std::begin(record->ramp), std::end(record->ramp), uint8_t(227));
    count = std::clamp<int32_t>(count, 0, std::min<int32_t>(record->capacity, kLargeEmitterPoints));
    record->pointCount = static_cast<int16_t>(count);
    record->position = {cx, cy, cz};
    record->flags |= kEmitterStaticCloud;
    for (int32_t i = 0; i < count; ++i) {
        Vector3 dir{float(CRand() % 2000 - 1000) / 2000.0f, float(CRand() % 2000 - 1000) / 2000.0f,
                    float(CRand() % 2000 - 1000) / 2000.0f};
        const float length = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
        if (length > 0)
            dir = {dir.x / length, dir.y / length, dir.z / length};
        float r = float(CRand() % 2000) / 2000.0f;
        if (bias > 1.0f)
            r = std::pow(r, bias);
        else if (bias < 1.0f)
            r = 1.0f - std::pow(r, -bias);
        r = std::pow(r, 0.333333333f);
        EmitterPoint& p = record->points[i];
        p = EmitterPoint{};
        p.position = {cx + dir.x * rx * r, cy + dir.y * ry * r, cz + dir.z * rz * r};
        p.colour = kDustColourKind;
        p.life = kFreeFieldSlot;
        p.size = 0.5f;
    }
    return record;
}

namespace {

constexpr const char* kMineModelFile = "zqk\\resource\\shapes\\newmine2.lwo";
constexpr int32_t kDumbMissileState = 64;
constexpr int32_t kAcquireTargetState = 60;
constexpr int16_t kMineItemFlags = 0x202; // an obstacle that others keep clear of
constexpr int16_t kMineAvatarFlags = 0x50;
constexpr int16_t kMineKind = 11;
constexpr int32_t kMineMarkerLayout = 11;
constexpr int16_t kTdpRespawned = kTdpNew;

// A rock of the field: the script's "Rock" model, tumbling, kept in the
// field.
hx_model* MakeFieldRock(SceneItem* item)
{
    item->flags |= kItemObstacle;
    item->avatar->flags |= kAvatarShowsModel;
    item->control = KeepInField;
    item->perFrame = TumbleStep;
    item->pitchDemand = float(CRand() * 4 / kCRandMax - 2);
    item->yawDemand = float(CRand() * 4 / kCRandMax - 2);
    item->sim->mass = 35000.0f;
    item->sim->word0 = 3000;
    return static_cast<hx_model*>(GetScriptSymbolValue("Rock"));
}

// A mine of the field: a ship of its own with two orders (dismantle
// intruders, else sit still) and blinking lights.
hx_model* MakeFieldMine(SceneItem* item)
{
    if (!gAsteroids.mineModel) {
        int32_t size = 0;
        gAsteroids.mineModel = LWO2HXM(kMineModelFile, nullptr, &size);
    }
    item->flags |= kMineItemFlags;
    Sim* sim = item->sim;
    sim->target = nullptr;
    ShipInfo* info = AllocShipInfo();
    if (!info)
        return gAsteroids.mineModel;
    sim->shipInfo = info;
    ClearOrderSlots(info);
    item->avatar->flags |= kMineAvatarFlags;

    int32_t slot = FindFreeOrderSlot(info, "DismantleIntruders");
    SetOrderSlot(info, slot, 0, 0, 0, 60, EvalPullOut, 1, 240000);
    SetOrderState(info, slot, kDumbMissileState, 1, 2, 3);
    slot = FindFreeOrderSlot(info, "SitOnYerHands");
    SetOrderSlot(info, slot, 0, 0, 0, 60, EvalDefault, 30, 0);
    SetOrderState(info, slot, kAcquireTargetState, 4, 16, 1800000);
    ActivateOrder(item, 1);

    InitFlightModel(&info->flightModel, 4800, 0, 0, 0, 240, 240, 240, 90000);
    info->baseFlightModel = info->flightModel;
    sim->flightModel = &info->flightModel;
    sim->engineValue = 5000.0f;
    info->name = "Mine";
    info->shortName = "MX-0";
    info->kind = kMineKind;
    AddMarkerLightSet(item, kMineMarkerLayout);
    if (TDP* root = item->avatar->root)
        root->flags |= kTdpNew;
    item->control = UpdateMineAI;
    item->perFrame = SIM_MAIN;
    return gAsteroids.mineModel;
}

} // namespace

void RespawnBeltShip(SceneItem* item)
{
    if (!item || !item->sim)
        return;
    Sim* sim = item->sim;
    MoveToFreeFieldSlot(item);
    sim->target = nullptr;
    ActivateOrder(item, 1);
    if (sim->shipInfo)
        sim->shipInfo->damage.hullDamage = 0;
    if (TDP* root = item->avatar->root)
        root->flags |= kTdpRespawned;
    item->avatar->range = 0;
    sim->localVelocity = {};
    sim->velocity = {};
    FreeReceiver(item->receiver);
    item->receiver = AllocReceiver();
    sim->target = nullptr;
    ActivateOrder(item, 1);
}

SceneItem* CreateAsteroidField(int32_t kind, float cx, float cy, float cz, float rx, float ry, float rz, float bias,
                               int32_t dustCount, int32_t count)
{
    ParticleEmitter* dust = FillDustCloud(cx, cy, cz, rx, ry, rz, bias, dustCount, nullptr);
    if (!dust)
        return nullptr;
    SceneItem* field = NewSceneItem();
    if (!field) {
        dust->flags = 0; // back to its pool untouched
        return nullptr;
    }
    InsertSceneItem(field, kItemTailGroup);
    // A Sim without a routine: it only holds the field's place, which the
    // render sync copies.
    if (Sim* sim = AttachSim(field, nullptr)) {
        sim->position = {cx, cy, cz};
        sim->matrix.m[12] = cx;
        sim->matrix.m[13] = cy;
        sim->matrix.m[14] = cz;
    }
    field->avatar->tdpSync = SyncAvatarTdps;
    field->avatar->renderSync = CopySimToAvatar;
    field->avatar->fieldDust = dust;
    field->avatar->fieldSlot = -1;
    if (TDP* root = AttachRootTDP(field)) {
        AttachTdpToScene(root, dust, 1);
        root->emitter = dust;
        root->perFrame = UpdateEmitterTdp;
        root->flags = (root->flags | kTdpInScene | kTdpEmitter) & ~uint32_t(kTdpNew);
    }
    // With no dust point there is no slot to stand on.
    if (dust->pointCount <= 0 || count <= 0)
        return field;
    const double cubes = (double(rx) * rx * rx + double(ry) * ry * ry + double(rz) * rz * rz) / 3.0;
    const float range = float(std::pow(cubes / (double(dust->pointCount) / std::sqrt(double(count))), 0.3333));
    for (int32_t i = 0; i < count; ++i) {
        SceneItem* member = NewRockItem(Insert::Head);
        if (!member)
            break;
        Avatar* avatar = member->avatar;
        avatar->fieldDust = dust;
        avatar->fieldSlot = -1;
        member->sim->secondTarget = gPlayerItem;
        avatar->params[kParamBeltAnchor] = static_cast<int32_t>(ItemHandle(gPlayerItem));
        avatar->params[0] = static_cast<int32_t>(range);
        avatar->range = range;
        if (!MoveToFreeFieldSlot(member))
            continue; // it deletes itself
        member->flags |= kItemBeltShip;
        hx_model* model = kind == 0 ? MakeFieldMine(member) : MakeFieldRock(member);
        if (TDP* root = avatar->root) {
            root->model = model;
            AttachTdpToScene(root, model, 0);
        }
    }
    return field;
}
