// The scene list, the parked list, the makers of items and TDP trees, and
// the taking of items out of the world.
#include "world/scenelist.h"

#include <algorithm>
#include <cmath>

#include "ai/combathelpers.h"
#include "framework/scene.h"
#include "ai/docking.h"
#include "ai/weapons.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "ui/dialogue.h"
#include "ui/hud.h"
#include "ui/screens.h"
#include "view/asteroids.h"
#include "view/cameras.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "screens/vectormap.h"
#include "system/res/resman.h"
#include "view/lwoloader.h"
#include "view/renderpasses.h"
#include "world/behaviours.h"
#include "world/encounters.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/floatingorigin.h"
#include "world/shrapnel.h"
#include "world/simframe.h"

SceneItem gSceneList = [] {
    SceneItem head{};
    head.next = head.prev = &gSceneList;
    return head;
}();
SceneItem* gTailGroup = &gSceneList;
SceneItem gParkedList = [] {
    SceneItem head{};
    head.next = head.prev = &gParkedList;
    return head;
}();
SceneItem* gParkedLast = &gParkedList;
SceneItem* gPlayerItem;
SceneItem* gControlledItem;
int16_t gCurrentSceneGeneration;
int32_t gCountedItems;
uint8_t gPlayerShipLost;

namespace {

constexpr Matrix4 kIdentity{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

// The walks in progress over the scene list, innermost first.
SceneListWalk* gWalks;

// These four are the only places that link and unlink items, so the
// item's list mark is kept here and nowhere else.
void Unlink(SceneItem* item)
{
    item->prev->next = item->next;
    item->next->prev = item->prev;
    item->next = item->prev = nullptr;
    item->linked = kInNoList;
}

void LinkBefore(SceneItem* item, SceneItem* position, ItemList list)
{
    item->next = position;
    item->prev = position->prev;
    position->prev->next = item;
    position->prev = item;
    item->linked = list;
}

// Unlinks an item of the scene list, keeping the tail-group marker on the
// group's first member and every walk's next item in the list.
void UnlinkFromScene(SceneItem* item)
{
    KV_DEBUG_VERIFY(item->linked == kInSceneList);
    if (item == gTailGroup)
        gTailGroup = item->next;
    for (SceneListWalk* walk = gWalks; walk; walk = walk->outer)
        if (walk->next == item)
            walk->next = item->next;
    Unlink(item);
}

void LinkIntoScene(SceneItem* item, SceneItem* position) { LinkBefore(item, position, kInSceneList); }

// The full walk after each change of the list, in debug builds; release
// builds walk once per frame, from the simulation frame.
void CheckSceneListAfterChange()
{
    if constexpr (kDebugChecks)
        CheckSceneListIntegrity();
}

void FreeAttributes(TDP* node)
{
    for (TDPAttribute* a = node->attributes; a;) {
        TDPAttribute* next = a->next;
        FreeMemory(a);
        a = next;
    }
    node->attributes = nullptr;
}

// Takes a node's actor out of the framework's scene and frees it (the
// view's DetachTdpActor).
void FreeTdpActor(TDP* node)
{
    DetachTdpActor(node);
}

// Gives a tree's nodes back to the pool, children and siblings first.
void FreeTDPTree(TDP* node)
{
    if (!node)
        return;
    FreeTDPTree(node->firstChild);
    FreeTDPTree(node->nextSibling);
    if ((node->flags & kTdpEmitter) && node->emitter)
        node->emitter->flags &= ~1u;
    RemoveTDPFromRenderer(node);
    FreeOwnedTDPModels(node);
    FreeTdpActor(node); // an emitter's, or one outside the scene
    FreeAttributes(node);
    node->flags &= ~kTdpInUse;
}

// Takes a tree's actors out of the 3D scene, children and siblings first;
// the nodes keep their in-scene flag, so ShiftSceneItem can put them back.
void DetachTDPTree(TDP* node)
{
    if (!node)
        return;
    DetachTDPTree(node->firstChild);
    DetachTDPTree(node->nextSibling);
    FreeTdpActor(node);
}

void ReattachTDPTree(TDP* node)
{
    if (!node)
        return;
    ReattachTDPTree(node->firstChild);
    ReattachTDPTree(node->nextSibling);
    if (node->flags & kTdpInScene) {
        if (node->flags & kTdpEmitter)
            AttachTdpToScene(node, node->emitter, 1);
        else
            AttachTdpToScene(node, node->model, 0);
    }
}

TDP* NewChildTDP(TDP* parent, hx_model* model, float x, float y, float z)
{
    TDP* node = NewTDP();
    if (!node)
        return nullptr;
    node->offset = {x, y, z};
    node->local.m[12] += x;
    node->local.m[13] += y;
    node->local.m[14] += z;
    node->model = model;
    node->owner = parent->owner;
    return node;
}

TDP* SearchTDPLink(TDP* at, TDP* node, TDP*** link)
{
    if (!at)
        return nullptr;
    if (at->firstChild == node) {
        *link = &at->firstChild;
        return at;
    }
    if (TDP* found = SearchTDPLink(at->firstChild, node, link))
        return found;
    if (at->nextSibling == node) {
        *link = &at->nextSibling;
        return at;
    }
    return SearchTDPLink(at->nextSibling, node, link);
}

} // namespace

// The model resource that the script symbol "CorpseMd" names, or null when
// the symbol is missing or names no model.
Resource* CorpseModelResource()
{
    const ScriptSymbol* symbol = FindScriptSymbol("CorpseMd");
    if (!symbol || !symbol->value || !(symbol->type & kSymbolResource) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    Resource* resource = static_cast<Resource*>(symbol->value);
    const ResType type = resource->type;
    if (type != ResType::LwoModel && type != ResType::AscModel && type != ResType::DatModel)
        return nullptr;
    return resource;
}

namespace {

// What the player's ship leaves behind when it is deleted: a drifting body
// that becomes the player's item.
void MakePilotBody(SceneItem* ship)
{
    SceneItem* source = gControlledItem ? gControlledItem : ship;
    SceneItem* body = NewSceneItem();
    if (!body)
        return;
    InsertSceneItem(body, 0);
    Sim* sim = AttachSim(body, BallisticStep);
    if (!sim)
        return;
    SetAvatarCallbacks(body, CopySimToAvatar, SyncAvatarTdps);
    if (source->sim) {
        const Sim& from = *source->sim;
        sim->matrix = from.matrix;
        sim->previousMatrix = from.previousMatrix;
        sim->velocity = from.velocity;
        sim->position = from.position;
    }
    Vector3& v = sim->velocity;
    if (std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z) < 2000.0f)
        v = {sim->matrix.m[8] * 2000.0f, sim->matrix.m[9] * 2000.0f, sim->matrix.m[10] * 2000.0f};
    if (TDP* root = AttachRootTDP(body)) {
        root->flags = (root->flags | kTdpInScene) & ~kTdpNew;
        Resource* resource = CorpseModelResource();
        if (hx_model* model = resource ? static_cast<hx_model*>(ResGet(resource)) : nullptr) {
            root->model = model;
            root->lod[0] = root->lod[1] = root->lod[2] = model;
            AttachTdpToScene(root, model, 0);
            if (HullBounds* hull = GetModelHullBounds(resource->name, model)) {
                root->hullBounds = hull;
                root->radius = hull->radius;
                sim->radius = hull->radius;
            }
        }
    }
    body->pitchDemand = static_cast<float>(CRand() % 50 - 25);
    body->yawDemand = static_cast<float>(CRand() % 50 - 25);
    sim->mass = 50.0f;
    SetMessageFunction(body, HandleItemMessages);
    ShipInfo* info = AllocShipInfo();
    if (info) {
        sim->shipInfo = info;
        info->kind = 4;
        info->rank = 3;
        info->group = 0;
        SetupShipDefaults(body, "Debris");
        info->name = "Body";
        info->shortName = "CNV-301";
        InitFlightModel(&info->flightModel, 10, 10, 0, 0, 0, 0, 0, 200000);
        info->baseFlightModel = info->flightModel;
        sim->flightModel = &info->flightModel;
    }
    gPlayerItem = body;
    gControlledItem = body;
    guiGotoScreen("NAV");
    StartDirector();
    DirectorOfferShot(body, nullptr, 5);
    StopAllConversations();
    gFrameClock.timeCompression = 1.0f;
    gPlayerShipLost = 255;
}

} // namespace

SceneListWalk::SceneListWalk() : next(gSceneList.next), outer(gWalks) { gWalks = this; }

SceneListWalk::~SceneListWalk()
{
    KV_DEBUG_VERIFY(gWalks == this);
    gWalks = outer;
}

bool IsInSceneList(const SceneItem* item) { return item->linked == kInSceneList; }

SceneItem* InsertSceneItem(SceneItem* item, int16_t flags)
{
    if (IsInSceneList(item))
        return item;
    if (flags & kItemTailGroup) {
        LinkIntoScene(item, &gSceneList);
        if (gTailGroup == &gSceneList)
            gTailGroup = item;
    } else {
        LinkIntoScene(item, gTailGroup);
    }
    item->flags |= flags;
    CheckSceneListAfterChange();
    return item;
}

void MoveSceneItemToTailGroup(SceneItem* item)
{
    // A parked item, or one not yet inserted, has no place to move from.
    if (!IsInSceneList(item))
        return;
    UnlinkFromScene(item);
    item->flags |= kItemTailGroup;
    if (gTailGroup == &gSceneList) {
        LinkIntoScene(item, &gSceneList);
        gTailGroup = item;
    } else {
        LinkIntoScene(item, gTailGroup->next);
    }
    CheckSceneListAfterChange();
}

void MoveSceneItemToFront(SceneItem* item)
{
    if ((item->flags & kItemTailGroup) || gSceneList.next == item || !IsInSceneList(item))
        return;
    UnlinkFromScene(item);
    LinkIntoScene(item, gSceneList.next);
    CheckSceneListAfterChange();
}

bool CheckSceneListIntegrity()
{
    const SceneItem* s = gSceneList.next;
    // A list longer than the pool can only be a loop that misses the head.
    for (int steps = 0; s && s != &gSceneList && steps <= kMaxSceneItems; ++steps) {
        KV_DEBUG_VERIFY(s->linked == kInSceneList);
        s = s->next;
    }
    if (s == &gSceneList || gSceneList.next == nullptr)
        return true;
    FatalError("SceneList has lost its integrity");
    return false;
}

void ResetSceneList()
{
    // Whatever the lists held is in no list now, and no walk goes on.
    SceneItem* pool = SceneItemPool();
    for (int i = 0; i < kMaxSceneItems; ++i)
        pool[i].linked = kInNoList;
    for (SceneListWalk* walk = gWalks; walk; walk = walk->outer)
        walk->next = &gSceneList;
    gSceneList.next = gSceneList.prev = &gSceneList;
    gParkedList.next = gParkedList.prev = &gParkedList;
    gParkedLast = &gParkedList;
    gTailGroup = &gSceneList;
    gPlayerItem = nullptr;
    gControlledItem = nullptr;
    gCountedItems = 0;
    gPlayerShipLost = 0;
    gFrameClock.timeCompression = 1.0f;
    ResetConversationLists();
    ClearBeltWatchList();
}

void ResetSimulation()
{
    // Models that parts own (shrapnel pieces) go with the world.
    TDP* tdps = TDPPool();
    for (int i = 0; i < kMaxTDPs; ++i)
        if (tdps[i].flags & kTdpInUse)
            FreeOwnedTDPModels(&tdps[i]);
    ResetPools();
    ResetSceneList();
    ClearMessageBuffer();
    ClearHudList();
    ClearHitIndicators();
    ResetVectorMap();
}

SceneItem* NewSceneItem()
{
    SceneItem* item = AllocSceneItem();
    if (!item) {
        FatalError("No more SceneItems left");
        return nullptr;
    }
    Avatar* avatar = AllocAvatar();
    if (!avatar) {
        FatalError("No more Avatars left");
        item->flags = 0;
        return nullptr;
    }
    item->avatar = avatar;
    return item;
}

Sim* AttachSim(SceneItem* item, ItemFunction perFrame)
{
    Sim* sim = AllocSim();
    if (!sim) {
        FatalError("No more Sims left");
        return nullptr;
    }
    sim->startTime = gFrameClock.gameClock;
    sim->matrix = kIdentity;
    item->sim = sim;
    item->perFrame = perFrame;
    return sim;
}

void SetControlFunction(SceneItem* item, ItemFunction function) { item->control = function; }

void SetAvatarCallbacks(SceneItem* item, ItemFunction renderSync, ItemFunction tdpSync)
{
    item->avatar->renderSync = renderSync;
    item->avatar->tdpSync = tdpSync;
}

void SetMessageFunction(SceneItem* item, ItemFunction function)
{
    item->message = function;
    // An item keeps the receiver it has; a second one would never be freed.
    if (!IsReceiverCurrent(item->receiver))
        item->receiver = AllocReceiver();
}

TDP* NewTDP()
{
    TDP* node = AllocTDP();
    if (!node) {
        FatalError("No more TDPs left");
        return nullptr;
    }
    node->local = kIdentity;
    node->perFrame = PlaceTdpActor;
    node->flags |= kTdpNew;
    node->colour[0] = node->colour[1] = node->colour[2] = 255;
    return node;
}

TDP* AttachRootTDP(SceneItem* item)
{
    TDP* node = NewTDP();
    if (!node)
        return nullptr;
    node->owner = item;
    item->avatar->root = node;
    return node;
}

TDP* AddChildTDP(TDP* parent, hx_model* model, float x, float y, float z)
{
    TDP* node = NewChildTDP(parent, model, x, y, z);
    if (!node)
        return nullptr;
    TDP** slot = &parent->firstChild;
    while (*slot)
        slot = &(*slot)->nextSibling;
    *slot = node;
    return node;
}

TDP* AddSiblingTDP(TDP* sibling, hx_model* model, float x, float y, float z)
{
    TDP* node = NewChildTDP(sibling, model, x, y, z);
    if (node)
        sibling->nextSibling = node;
    return node;
}

TDP* AppendChildTDP(TDP* parent, hx_model* model, float x, float y, float z)
{
    return AddChildTDP(parent, model, x, y, z);
}

TDPAttribute* AddTDPAttribute(TDP* node, uint8_t type, uint8_t valueNumber)
{
    auto* attribute = static_cast<TDPAttribute*>(AllocMemory(sizeof(TDPAttribute)));
    if (!attribute)
        return nullptr;
    attribute->type = type;
    attribute->valueNumber = valueNumber;
    TDPAttribute** slot = &node->attributes;
    while (*slot)
        slot = &(*slot)->next;
    *slot = attribute;
    return attribute;
}

TDP* FindTDPLink(SceneItem* item, TDP* node, TDP*** link)
{
    *link = nullptr;
    TDP* root = item->avatar ? item->avatar->root : nullptr;
    if (!root || root == node)
        return nullptr;
    return SearchTDPLink(root, node, link);
}

int CountTDPInTree(const TDP* subtree, const TDP* node)
{
    if (!subtree)
        return 0;
    if (subtree == node)
        return 1;
    return CountTDPInTree(subtree->firstChild, node) + CountTDPInTree(subtree->nextSibling, node);
}

float GetItemSeparation(const SceneItem* a, const SceneItem* b, Vector3* aMinusB)
{
    const float* pa = &a->sim->matrix.m[12];
    const float* pb = &b->sim->matrix.m[12];
    Vector3 d{pa[0] - pb[0], pa[1] - pb[1], pa[2] - pb[2]};
    if (aMinusB)
        *aMinusB = d;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

void SetViewFromSceneItem(SceneItem* item, const ViewRect* viewport)
{
    if (item && (item->flags & kItemInUse))
        PrepareView(item, viewport);
}

void MarkCounted(SceneItem* item)
{
    if (!item || (item->flags & kItemCounted))
        return;
    item->flags = static_cast<int16_t>(item->flags | kItemCounted);
    ++gCountedItems;
}

SceneItem* DeleteSceneItem(SceneItem* item)
{
    // Everything is checked before anything is touched: a second delete of
    // the same item, or of one that is not in the list, changes nothing.
    if (!item || !(item->flags & kItemInUse)) {
        FatalError("Can't delete non-current SceneItem");
        return nullptr;
    }
    if (!IsInSceneList(item))
        return nullptr;

    int16_t playerGeneration = gPlayerItem ? gPlayerItem->sceneGeneration : gCurrentSceneGeneration;
    if (item->sceneGeneration == playerGeneration) {
        if ((item->flags & kItemBeltShip) && item->sim && item->sim->shipInfo) {
            RespawnBeltShip(item);
            return nullptr;
        }
        if (item->flags & kItemBeltAsteroid)
            SpawnBeltAsteroid(
                ItemFromHandle(static_cast<SceneItemHandle>(item->avatar->params[kParamBeltAnchor])));
    }

    if (item == gPlayerItem)
        MakePilotBody(item);

    for (SceneItem* s = gSceneList.next; s != &gSceneList; s = s->next) {
        if (s->avatar && s->avatar->lockedOn == item) {
            s->avatar->lockedOn = nullptr;
            s->avatar->lockedAmount = 0;
        }
    }
    RemoveContact(item);
    ForgetIncomingMissile(item);

    if (item->flags & kItemCounted) {
        item->flags = static_cast<int16_t>(item->flags & ~kItemCounted);
        gCountedItems = std::max(0, gCountedItems - 1);
    }
    if (item->flags & kItemEncounterSource)
        RemoveEncounterSource(item);

    UnlinkFromScene(item);
    item->flags &= ~kItemInUse;
    Avatar* avatar = item->avatar;
    Sim* sim = item->sim;
    avatar->flags &= ~kAvatarInUse;
    if (sim) {
        sim->flags &= ~kSimInUse;
        // The item's Actions go back to their pool with it.
        for (Action* a = sim->actions; a; a = a->next)
            a->flags &= ~kActionInUse;
        if (sim->shipInfo) {
            FreeDockPoints(item);
            ReleaseDockPointList(sim->shipInfo);
            FreeItemWeapons(item);
            ShipInfo* info = sim->shipInfo;
            info->flags &= ~kShipInUse;
            if (info->flags & kShipGroupLeader) {
                ShipDiedBody body{avatar->params[kParamTallySerial]};
                BroadcastItemMessage(item->receiver, 0, kMsgShipDied, sizeof body, &body);
            }
        }
    }
    FreeTDPTree(avatar->root);
    FreeReceiver(item->receiver);
    EndSceneItemConversations(item);
    if (SoundSlot* slot = avatar->soundSlot) {
        // Its sound falls silent; another item sharing the slot takes it.
        slot->owner = nullptr;
        slot->ownerDistance = 1e24f;
        SoundSetVolume(slot, platform::kAudioSilent);
    }
    if (item == gControlledItem)
        gControlledItem = gPlayerItem;
    return item;
}

void RemoveTDPFromRenderer(TDP* node)
{
    if (!(node->flags & kTdpInScene) || (node->flags & kTdpEmitter))
        return;
    if (node->actor)
        FreeOwnedTDPModels(node);
    FreeTdpActor(node);
    node->flags &= ~kTdpInScene;
}

void ParkSceneItem(SceneItem* item, double dx, double dy, double dz)
{
    if (!IsInSceneList(item))
        return;
    if (item->sim) {
        item->sim->position.x -= dx;
        item->sim->position.y -= dy;
        item->sim->position.z -= dz;
    }
    UnlinkFromScene(item);
    DetachTDPTree(item->avatar->root);
    LinkBefore(item, &gParkedList, kInParkedList);
    gParkedLast = item;
}

void ShiftSceneItem(SceneItem* item, double dx, double dy, double dz)
{
    if (item->sim) {
        WorldPosition& p = item->sim->position;
        p.x += dx;
        p.y += dy;
        p.z += dz;
        item->sim->matrix.m[12] = static_cast<float>(p.x);
        item->sim->matrix.m[13] = static_cast<float>(p.y);
        item->sim->matrix.m[14] = static_cast<float>(p.z);
    }
    if (item->linked == kInParkedList) {
        if (item == gParkedLast)
            gParkedLast = item->prev;
        Unlink(item);
    }
    ReattachTDPTree(item->avatar->root);
    InsertSceneItem(item, item->flags);
}
