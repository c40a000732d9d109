// Dock points, coupling and undocking: the port list of a ShipInfo, the
// pair reservation, the coupling and its undoing, the coupled child's ride,
// and the player's ship parting into a drifting hull and a flying command
// section, whose docking again merges the two into one item.
// Not here: the AI states that steer a ship to a port.
#include "ai/docking.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "ai/aistate.h"
#include "ai/orders.h"
#include "ai/weapons.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "ui/contacts.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "view/lwoloader.h"
#include "view/markerlights.h"
#include "view/renderpasses.h"
#include "system/frameclock.h"
#include "world/actions.h"
#include "world/behaviours.h"
#include "world/collisions.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

void* gCoupledShipMarker = nullptr;
void* gRemoteLinkMarker = nullptr;
float gDockAlignment = 0.0f;
int32_t gScriptDocking = 0;

namespace {

constexpr float kCoupleDistance = 3200.0f; // ports closer than this may couple
constexpr float kCoupleAlignment = 0.9f;   // and lined up better than this
constexpr uint16_t kDockDamage = 0x400;    // damaged capability: dock ports
constexpr float kPushMinimum = 1000.0f;    // undocking push, speed bounds
constexpr float kPushMaximum = 12000.0f;
constexpr int32_t kUndockLinkDelay = 50; // hundredths before the kind-8 message
constexpr int32_t kJumpAlongDelay = 6;   // hundredths before the docked ships jump
constexpr int16_t kLogDocked = 4;
constexpr int16_t kLogUndocked = 5;
constexpr uint32_t kSimLinkLocked = 0x8000000;
constexpr uint32_t kSimSentHome = 0x20000000; // goes home once it docks
constexpr int32_t kSoundDocked = 30;
constexpr int32_t kSoundUndocked = 42;
constexpr int32_t kSoundSpread = 2000;
constexpr int16_t kHomeRounds = 4; // rounds, magazine size and magazines of a refill
constexpr int32_t kHomeSlot = 1;
constexpr int32_t kHomePriority = 80; // the weight and the evaluator's score
constexpr int32_t kLagrangeState = 17;

// The command section: the hull left behind and the section's own shape,
// each loaded once; the section's make-up.
constexpr const char* kHullShape = "zqk\\resource\\shapes\\corvasm_sanshead.lwo";
constexpr const char* kCommandShape = "zqk\\resource\\shapes\\command_rto.lwo";
constexpr int16_t kPlayerShipKind = 0;
constexpr int16_t kCommandKind = 2;
constexpr int16_t kItemCarriesDocked = 0x2; // a controlled item coupled to it counts as docked
constexpr uint32_t kCommandAvatarFlags = 0x20006;
constexpr uint32_t kSidesAndFactions = 0x30001FC0;
constexpr float kCommandMass = 1200.0f;
constexpr float kCommandAhead = 8000.0f;         // placed this far ahead of the ship
constexpr float kCommandPush = 1000.0f;          // and this much faster along its axis
constexpr float kSeparationShotSpeed = 50000.0f; // the director watches slower partings
constexpr int32_t kOrderSlot = 1;
constexpr int32_t kStopState = 65;
constexpr int32_t kDriftState = 62;
constexpr int32_t kIdleState = 61;
constexpr int32_t kHullRejoinPoint = 2; // the hull's third port takes the section back

// One loaded shape, kept for every later use.
hx_model* LoadShapeOnce(hx_model*& cache, const char* path)
{
    if (!cache) {
        int32_t size = 0;
        cache = LWO2HXM(path, nullptr, &size);
    }
    return cache;
}
hx_model* gHullModel = nullptr;
hx_model* gCommandModel = nullptr;

// Gives order slot 1 the named order (its priority, which weighs the
// evaluator's score, and the state it runs) and makes it current.
void SetStandingOrder(SceneItem* item, const char* name, int32_t priority, int32_t state)
{
    ShipInfo* info = item->sim->shipInfo;
    info->orders[kOrderSlot].name = name;
    SetOrderSlot(info, kOrderSlot, 0, 0, 0, priority, EvalDefault, 0, 0);
    SetOrderState(info, kOrderSlot, state, 0, 0, 0);
    ActivateOrder(item, kOrderSlot);
}

// Points the script symbol (when there is one) at the item, both ways.
void GiveSymbol(ScriptSymbol* symbol, SceneItem* item)
{
    if (!symbol)
        return;
    SetSymbolObject(symbol, item);
    item->symbol = symbol;
}

DockPoint* FirstPoint(const SceneItem* item)
{
    return item && item->sim && item->sim->shipInfo ? item->sim->shipInfo->dockPoints : nullptr;
}

bool DockingOut(const SceneItem* item)
{
    return item->sim && item->sim->shipInfo && (item->sim->shipInfo->damage.capabilities & kDockDamage);
}

// The point's position in world axes (item position + turned offset).
Vector3d PortWorldPosition(const SceneItem* item, const DockPoint* point)
{
    Vector3 turned;
    MatRotateVec(item->sim->matrix, Vector3{point->x, point->y, point->z}, turned);
    const WorldPosition& p = item->sim->position;
    return {p.x + turned.x, p.y + turned.y, p.z + turned.z};
}

// Present, free, neither engaged nor reserved: a point a reservation may take.
bool Reservable(const DockPoint* point)
{
    return point && (point->flags & kDockFree) && !(point->flags & (kDockEngaged | kDockReserved));
}

// The n-th point, or null past the end of the list (n < 0 too).
DockPoint* ExactPoint(const SceneItem* item, int32_t n)
{
    if (n < 0)
        return nullptr;
    DockPoint* point = FirstPoint(item);
    for (; point && n > 0; --n)
        point = point->next;
    return point;
}

void DropStaleReservations(const SceneItem* item)
{
    for (DockPoint* point = FirstPoint(item); point; point = point->next)
        if ((point->flags & kDockReserved) && !point->reservedBy.Get()) {
            point->flags &= ~kDockReserved;
            point->reservedBy = nullptr;
        }
}

void EngagePoint(DockPoint* own, SceneItem* item, DockPoint* partner, SceneItem* partnerItem)
{
    own->flags |= kDockEngaged;
    own->savedControl = item->control;
    own->savedPerFrame = item->perFrame;
    own->partnerPoint = partner;
    own->partnerItem = partnerItem;
}

void MakeFollower(SceneItem* item, DockPoint* point)
{
    point->flags |= kDockFollows;
    item->perFrame = UpdateCoupledShip;
    item->avatar->ownDockPoint = point;
}

// Control hand-over: `taker` flies on with the giver's saved routines and
// the giver rides along as the follower.
void HandOverControl(SceneItem* taker, DockPoint* takerPoint, SceneItem* giver, DockPoint* giverPoint)
{
    taker->control = giverPoint->savedControl;
    taker->perFrame = giverPoint->savedPerFrame;
    if (giver == gPlayerItem)
        gControlledItem = taker;
    takerPoint->flags &= ~kDockFollows;
    taker->avatar->ownDockPoint = nullptr;
    giverPoint->flags |= kDockFollows;
    giver->control = UpdateCoupledShip;
    giver->perFrame = UpdateCoupledShip;
    giver->avatar->ownDockPoint = giverPoint;
}

void ClearDockLink(DockPoint* point)
{
    point->flags &= ~(kDockEngaged | kDockFollows | kDockReserved);
    point->partnerPoint = nullptr;
    point->partnerItem = nullptr;
    point->savedControl = nullptr;
    point->savedPerFrame = nullptr;
    point->reservedBy = nullptr;
}

// Two parts become one: c, whose point carries the whole model, takes it
// and the player's identity when d had it; d goes.
void MergeDockedParts(SceneItem* c, DockPoint* point, SceneItem* d)
{
    RemoveContact(d == gControlledItem ? c : d);
    if (d == gControlledItem)
        gControlledItem = c;
    const bool systems = CarriesShipSystems(c);
    if (systems || d == gPlayerItem) {
        gControlledItem = gPlayerItem = c;
        if (!systems) {
            const bool carried = CarriesShipSystems(d);
            CopySimCounters(d, c);
            if (carried)
                gShipSystems.systemsShip = c;
        }
        // What c flies with once the link ends.
        point->savedControl = CONTROL_MAIN;
        point->savedPerFrame = SIM_MAIN;
        ScriptSymbol* symbol = d->symbol;
        d->symbol = nullptr;
        GiveSymbol(symbol, c);
        for (ScriptSymbol* player : {gBuiltinSymbols.kelvaBody, gBuiltinSymbols.kelvaHead})
            if (player)
                SetSymbolObject(player, c);
    }
    SetItemModel(c, point->mergeModel);
    if (d->symbol)
        RemoveVitalObject(d->symbol);
    PostItemMessage(d->receiver, d->receiver, 0, kMsgDelete, 0, nullptr);
}

const char* NameOf(const SceneItem* item)
{
    return item->sim && item->sim->shipInfo && item->sim->shipInfo->name ? item->sim->shipInfo->name : "";
}

} // namespace

int32_t CountSetBits(uint32_t word)
{
    return std::popcount(word);
}

Matrix4 DockPointWorldFrame(const Matrix4& partnerMatrix, const DockPoint* ownPoint, const DockPoint* partnerPoint)
{
    Matrix4 frame = partnerMatrix;
    MatRotY(partnerPoint->yaw, frame);
    MatRotX(partnerPoint->pitch, frame);
    MatRotY(180.0f, frame);
    MatRotX(-ownPoint->pitch, frame);
    MatRotY(-ownPoint->yaw, frame);
    return frame;
}

float DockAlignment(const Matrix4& a, const Matrix4& b)
{
    auto row = [](const Matrix4& m, int r) { return Vector3{m.m[r * 4], m.m[r * 4 + 1], m.m[r * 4 + 2]}; };
    return (std::fabs(VecDot(row(a, 0), row(b, 0))) + std::fabs(VecDot(row(a, 1), row(b, 1))) +
            VecDot(row(a, 2), row(b, 2)) + 3.0f) /
           6.0f;
}

DockPoint* AddDockPoint(SceneItem* item, uint32_t flags, uint32_t mask, float yaw, float pitch, int32_t kind, float x, float y, float z, int32_t priority)
{
    if (!item || !item->sim || !item->sim->shipInfo)
        return nullptr;
    auto* point = static_cast<DockPoint*>(AllocMemory(sizeof(DockPoint)));
    if (!point)
        return nullptr;
    std::memset(point, 0, sizeof *point);
    point->x = x * 100.0f;
    point->y = y * 100.0f;
    point->z = z * 100.0f;
    point->pitch = pitch;
    point->yaw = yaw;
    point->kind = kind;
    point->mask = mask;
    point->flags = flags;
    point->priority = priority;
    DockPoint** tail = &item->sim->shipInfo->dockPoints;
    while (*tail)
        tail = &(*tail)->next;
    *tail = point;
    if (item->avatar && item->avatar->root)
        AddHullBoundsPoint(item->avatar->root, Vector3{point->x, point->y, point->z});
    return point;
}

void AttachDockPointsToModel(SceneItem* item)
{
    if (!item || !item->avatar || !item->avatar->root)
        return;
    for (DockPoint* point = FirstPoint(item); point; point = point->next)
        AddHullBoundsPoint(item->avatar->root, Vector3{point->x, point->y, point->z});
}

DockPoint* NthDockPoint(SceneItem* item, int32_t n, DockPoint** predecessor)
{
    DockPoint* before = nullptr;
    DockPoint* point = FirstPoint(item);
    for (; point && point->next && n > 0; --n) {
        before = point;
        point = point->next;
    }
    if (predecessor)
        *predecessor = before;
    return point;
}

void EnableDockPoint(SceneItem* item, int32_t n)
{
    if (DockPoint* point = NthDockPoint(item, n, nullptr))
        point->flags |= kDockFree;
}

void DisableDockPoint(SceneItem* item, int32_t n)
{
    if (DockPoint* point = NthDockPoint(item, n, nullptr))
        point->flags &= ~kDockFree;
}

SceneItem* FindDockedItem(SceneItem* ship, SceneItem* other)
{
    for (DockPoint* point = FirstPoint(ship); point; point = point->next) {
        if (!(point->flags & kDockEngaged))
            continue;
        SceneItem* partner = point->partnerItem.Get();
        if (!other)
            return partner;
        if (partner == other)
            return other;
    }
    return nullptr;
}

int32_t DockPointsFree(SceneItem* a, SceneItem* b, int32_t i, int32_t j)
{
    auto free = [](const DockPoint* p) { return p && (p->flags & kDockFree) && !(p->flags & (kDockEngaged | kDockFollows)); };
    return free(ExactPoint(a, i)) && free(ExactPoint(b, j)) ? 255 : 0;
}

void ReserveDockPointPair(SceneItem* a, SceneItem* b, int32_t* i, int32_t* j)
{
    if (!a || !b || !a->sim || !b->sim || !a->sim->shipInfo || !b->sim->shipInfo) {
        *i = *j = -1;
        return;
    }
    DropStaleReservations(a);
    DropStaleReservations(b);
    if (*i >= 0 && *j >= 0) {
        DockPoint* pa = ExactPoint(a, *i);
        DockPoint* pb = ExactPoint(b, *j);
        const bool okA = Reservable(pa), okB = Reservable(pb);
        if (okA && okB) {
            pa->flags |= kDockReserved;
            pb->flags |= kDockReserved;
            pa->reservedBy = b;
            pb->reservedBy = a;
            return;
        }
        if (!okA)
            *i = -1;
        if (!okB)
            *j = -1;
    }
    *i = *j = -1;
    DockPoint *bestA = nullptr, *bestB = nullptr;
    int32_t best = 64;
    int32_t n = 0;
    for (DockPoint* pa = FirstPoint(a); pa; pa = pa->next, ++n) {
        int32_t m = 0;
        for (DockPoint* pb = FirstPoint(b); pb; pb = pb->next, ++m) {
            if (!Reservable(pa) || !Reservable(pb) || !(pa->mask & pb->mask))
                continue;
            const int32_t bits = CountSetBits(pa->mask) + CountSetBits(pb->mask);
            if (bits < best) {
                best = bits;
                bestA = pa;
                bestB = pb;
                *i = n;
                *j = m;
            }
        }
    }
    if (!bestA)
        return;
    bestA->flags |= kDockReserved;
    bestB->flags |= kDockReserved;
    bestA->reservedBy = b;
    bestB->reservedBy = a;
}

void ReleaseDockReservations(SceneItem* item, ShipInfo* shipInfo)
{
    if (!item || !item->sim || !item->sim->shipInfo)
        return;
    (void)shipInfo;
    for (DockPoint* point = item->sim->shipInfo->dockPoints; point; point = point->next) {
        if (!(point->flags & kDockReserved))
            continue;
        SceneItem* by = point->reservedBy.Get();
        const bool mine = by && by->sim && by->sim->shipInfo == shipInfo;
        if (!by || mine) {
            point->flags &= ~kDockReserved;
            point->reservedBy = nullptr;
        }
    }
}

int32_t CoupleAtDockPoints(SceneItem* a, SceneItem* b, DockPoint* pa, DockPoint* pb, int32_t bias)
{
    if (!a || !b || !pa || !pb || a == b || !a->avatar || !b->avatar || !a->sim || !b->sim)
        return 0;
    if (DockingOut(a) || DockingOut(b) || !(pa->mask & pb->mask))
        return 0;
    auto free = [](const DockPoint* p) { return (p->flags & kDockFree) && !(p->flags & kDockEngaged); };
    if (!free(pa) || !free(pb))
        return 0;
    if ((a == gPlayerItem && b->avatar->remoteLinked) || (b == gPlayerItem && a->avatar->remoteLinked))
        ReleaseRemoteLink(gPlayerItem);
    if (a == gControlledItem || b == gControlledItem) {
        gControlledItem->sim->flags &= ~kSimAiControl;
        CommitPlayerTarget();
    }
    EngagePoint(pa, a, pb, b);
    EngagePoint(pb, b, pa, a);
    SceneItem* follower = a;
    if (pb->priority < pa->priority + bias) {
        MakeFollower(b, pb);
        follower = b;
    } else {
        MakeFollower(a, pa);
    }
    a->avatar->dockPartner = b;
    b->avatar->dockPartner = a;
    if ((pb->flags & kDockHandsControl) && pa->priority + bias < pb->priority) {
        HandOverControl(a, pa, b, pb);
        follower = b;
    } else if ((pa->flags & kDockHandsControl) && pb->priority < pa->priority + bias) {
        HandOverControl(b, pb, a, pa);
        follower = a;
    }
    if (pb->mergeModel || pa->mergeModel)
        MergeDockedParts(pb->mergeModel ? b : a, pb->mergeModel ? pb : pa, pb->mergeModel ? a : b);
    UpdateCoupledShip(follower);
    std::memcpy(&follower->avatar->matrix, &follower->sim->matrix, sizeof(Matrix4));
    if (a->sim->flags & kSimSentHome)
        SendItemHome(a, b);
    if (b->sim->flags & kSimSentHome)
        SendItemHome(b, a);
    AddShipLogEntry(kLogDocked, NameOf(a), NameOf(b));
    const bool deleteA = pa->flags & (kDockDeleteA | kDockDeleteB);
    const bool deleteB = pb->flags & (kDockDeleteA | kDockDeleteB);
    if (deleteA)
        DeleteSceneItem(a);
    if (deleteB)
        DeleteSceneItem(b);
    return 1;
}

int32_t TryDockOnContact(SceneItem* a, SceneItem* b)
{
    gDockAlignment = 0.0f;
    if (!a || !b || !a->sim || !b->sim)
        return 0;
    for (DockPoint* p = FirstPoint(a); p; p = p->next) {
        for (DockPoint* r = FirstPoint(b); r; r = r->next) {
            if (!(p->mask & r->mask) || (p->flags & kDockEngaged) || (r->flags & kDockEngaged))
                continue;
            const Vector3d wp = PortWorldPosition(a, p), wr = PortWorldPosition(b, r);
            const double dx = wr.x - wp.x, dy = wr.y - wp.y, dz = wr.z - wp.z;
            if (std::sqrt(dx * dx + dy * dy + dz * dz) >= kCoupleDistance)
                continue;
            gDockAlignment = DockAlignment(a->sim->matrix, DockPointWorldFrame(b->sim->matrix, p, r));
            if (gDockAlignment > kCoupleAlignment && CoupleAtDockPoints(a, b, p, r, 0)) {
                PlayItemSound(a, kSoundDocked, kSoundSpread);
                return 1;
            }
        }
    }
    return 0;
}

void UnlinkDockPoints(DockPoint* point)
{
    if (!point || !point->partnerPoint)
        return;
    DockPoint* p = (point->flags & kDockFollows) ? point : point->partnerPoint; // follower's
    DockPoint* q = p->partnerPoint;                                             // leader's
    SceneItem* follower = q->partnerItem.Get();
    SceneItem* leader = p->partnerItem.Get();
    if (leader) {
        leader->control = q->savedControl;
        leader->perFrame = q->savedPerFrame;
        leader->avatar->dockPartner = nullptr;
        leader->avatar->ownDockPoint = nullptr;
    }
    if (follower) {
        follower->control = p->savedControl;
        follower->perFrame = p->savedPerFrame;
        follower->avatar->dockPartner = nullptr;
        follower->avatar->ownDockPoint = nullptr;
        if (leader)
            follower->sim->velocity = leader->sim->velocity;
    }
    if ((leader == gPlayerItem && follower == gControlledItem) || (follower == gPlayerItem && leader == gControlledItem))
        gControlledItem = gPlayerItem;
    ClearDockLink(p);
    ClearDockLink(q);
}

void UndockItem(SceneItem* item)
{
    DockPoint* point = FirstPoint(item);
    while (point && !(point->flags & kDockEngaged))
        point = point->next;
    if (!point || (item->sim->flags & kSimLinkLocked))
        return;
    SceneItem* other = point->partnerItem.Get();
    DockPoint* otherPoint = point->partnerPoint;
    if (DockingOut(item) || (other && DockingOut(other)))
        return;
    if (other && (item->avatar->remoteLinked || other->avatar->remoteLinked))
        ReleaseRemoteLink(gPlayerItem);
    UnlinkDockPoints(point);
    if (other) {
        const float accelItem = item->sim->shipInfo->flightModel.acceleration;
        const float accelOther = other->sim->shipInfo ? other->sim->shipInfo->flightModel.acceleration : 0.0f;
        SceneItem* pushed = accelOther > accelItem ? other : item;
        SceneItem* still = pushed == item ? other : item;
        const DockPoint* pushedPoint = pushed == item ? point : otherPoint;
        Vector3 direction{0.0f, 0.0f, 1.0f}, local, world;
        VecRotX(local, pushedPoint->pitch, direction);
        VecRotY(local, pushedPoint->yaw, local);
        MatRotateVec(pushed->sim->matrix, local, world);
        const float acceleration = pushed->sim->shipInfo ? pushed->sim->shipInfo->flightModel.acceleration : 0.0f;
        const float speed = std::clamp(still->sim->radius / 10.0f + acceleration, kPushMinimum, kPushMaximum);
        pushed->sim->velocity.x -= speed * world.x;
        pushed->sim->velocity.y -= speed * world.y;
        pushed->sim->velocity.z -= speed * world.z;
        PostItemMessage(item->receiver, item->receiver, kUndockLinkDelay, kMsgUnlink, ItemBody{ItemHandle(other)});
        PostItemMessage(other->receiver, other->receiver, kUndockLinkDelay, kMsgUnlink, ItemBody{ItemHandle(item)});
    }
    AddShipLogEntry(kLogUndocked, NameOf(item), "");
    FireActions(item, kEventUndocked, other);
    DirectorOfferShot(item, other, kShotUndocking);
    if (item == gControlledItem)
        PlayItemSound(item, kSoundUndocked, kSoundSpread);
}

void SendItemHome(SceneItem* item, SceneItem* carrier)
{
    if (!item || !item->sim || !item->sim->shipInfo)
        return;
    if (carrier && carrier->sim)
        for (Weapon* w = carrier->sim->weapons; w; w = w->next)
            if (w->flags & kWeaponGuided) {
                w->rounds = kHomeRounds;
                w->magazineSize = kHomeRounds;
                w->magazines = kHomeRounds;
            }
    item->sim->flags &= ~kSimSentHome;
    ShipInfo* info = item->sim->shipInfo;
    info->orders[kHomeSlot].name = "Going home";
    SetOrderSlot(info, kHomeSlot, 0, 0, 0, kHomePriority, EvalDefault, kHomePriority, 0);
    SetOrderState(info, kHomeSlot, kLagrangeState, static_cast<int32_t>(ItemHandle(item->sim->secondTarget)), 1, 0);
    ActivateOrder(item, kHomeSlot);
}

void FreeDockPoints(SceneItem* item)
{
    for (DockPoint* point = FirstPoint(item); point; point = point->next) {
        if (point->flags & kDockEngaged)
            UnlinkDockPoints(point);
        point->flags &= ~kDockInUse;
    }
}

void ReleaseDockPointList(ShipInfo* shipInfo)
{
    for (DockPoint* point = shipInfo->dockPoints; point;) {
        DockPoint* next = point->next;
        FreeMemory(point);
        point = next;
    }
    shipInfo->dockPoints = nullptr;
}

void JumpDockedItems(SceneItem* item, int32_t systemNumber)
{
    const JumpStartBody body{-systemNumber};
    for (DockPoint* point = FirstPoint(item); point; point = point->next)
        if (SceneItem* partner = (point->flags & kDockEngaged) ? point->partnerItem.Get() : nullptr)
            PostItemMessage(item->receiver, partner->receiver, kJumpAlongDelay, kMsgJumpStart, body);
}

void UpdateCoupledShip(SceneItem* item)
{
    DockPoint* own = item->avatar ? item->avatar->ownDockPoint : nullptr;
    SceneItem* carrier = own ? own->partnerItem.Get() : nullptr;
    if (!carrier || !own->partnerPoint) {
        item->perFrame = SIM_MAIN;
        SIM_MAIN(item);
        return;
    }
    Sim& sim = *item->sim;
    const Sim& base = *carrier->sim;
    if (item == gControlledItem)
        gCoupledShipMarker = carrier; // the item the controlled one is docked to
    if ((gControlledItem && (gControlledItem->sim->flags & kSimTowed) && gControlledItem->sim->towLink.Is(carrier)) ||
        (item == gControlledItem && (sim.flags & kSimTowed))) {
        sim.velocity = {};
        sim.speed = 0.0f;
        sim.flags |= kSimTowed;
        sim.towLink = carrier;
    } else {
        sim.velocity = base.velocity;
        sim.speed = base.speed;
    }
    const Matrix4 frame = DockPointWorldFrame(base.matrix, own, own->partnerPoint);
    for (int k = 0; k < 12; ++k)
        sim.matrix.m[k] = frame.m[k];
    Vector3 partnerOffset, ownOffset;
    MatRotateVec(base.matrix, Vector3{own->partnerPoint->x, own->partnerPoint->y, own->partnerPoint->z}, partnerOffset);
    MatRotateVec(sim.matrix, Vector3{own->x, own->y, own->z}, ownOffset);
    sim.position.x = base.position.x + partnerOffset.x - ownOffset.x;
    sim.position.y = base.position.y + partnerOffset.y - ownOffset.y;
    sim.position.z = base.position.z + partnerOffset.z - ownOffset.z;
    sim.matrix.m[12] = static_cast<float>(sim.position.x);
    sim.matrix.m[13] = static_cast<float>(sim.position.y);
    sim.matrix.m[14] = static_cast<float>(sim.position.z);
    // The marker lights' flash runs down half as fast again while docked.
    int32_t& flash = item->avatar->params[kParamEngineCountdown];
    if (flash > 0)
        flash -= gFrameClock.frameTicks * 3 / 2;
    // The controlled item docked to a carrier that counts as such (the
    // command section): no remote link this frame.
    if (item == gControlledItem && (carrier->flags & kItemCarriesDocked))
        gRemoteLinkMarker = carrier;
}

void AttachPairToCarrier(SceneItem* a, SceneItem* b, SceneItem* carrier)
{
    if (!a || !b || !carrier || !carrier->sim || !a->avatar || !b->avatar)
        return;
    carrier->control = AlignCarrierToPair;
    carrier->perFrame = BallisticStep;
    carrier->sim->target = a;
    carrier->sim->secondTarget = b;
    for (SceneItem* rider : {a, b}) {
        rider->perFrame = RideOnCarrier;
        rider->avatar->linkItem = carrier;
        rider->avatar->dockPartner = carrier;
    }
}

void TetherToItem(SceneItem* a, SceneItem* b)
{
    if (!a || !b || !a->avatar || !b->avatar || a == b)
        return;
    a->avatar->dockPartner = b;
    b->avatar->dockPartner = a;
    a->avatar->linkItem = b;
    b->perFrame = KeepTetherDistance;
    b->avatar->params[kParamTetherAnchor] = static_cast<int32_t>(ItemHandle(a));
    b->avatar->params[kParamTetherAnchor + 1] = static_cast<int32_t>(kDefaultTetherLength);
}

void SetupCommandModule(SceneItem* item)
{
    if (!item || !item->sim || !item->avatar || !item->sim->shipInfo)
        return;
    Sim* sim = item->sim;
    ShipInfo* info = sim->shipInfo;
    info->kind = kCommandKind;
    sim->flightModel = &info->flightModel;
    InitFlightModel(&info->flightModel, 7000, 500, 0, 0, 90, 90, 90, 700);
    info->baseFlightModel = info->flightModel;
    ClearOrderSlots(info);
    sim->target = nullptr;
    info->ldsReach[0] = 15000000.0f;
    info->ldsReach[1] = 1500000.0f;
    info->name = "Com Module";
    item->avatar->classFlags |= kCommandAvatarFlags;
    item->flags |= kItemCarriesDocked;
    item->avatar->collision = CollideShips;
    info->damage.armour = 50;
    info->damage.maximumHull = 350;
    sim->hull = 100;
    for (int row = 0; row < kWeaponKindCount; ++row) {
        if (std::strcmp(WeaponKindTable[row].name, "PBC LITE") != 0)
            continue;
        if (Weapon* gun = WeaponKindTable[row].construct(item, 0, 0, 1500, "PBC", 0x41)) {
            gun->kind = static_cast<int16_t>(row);
            sim->currentWeapon = gun;
        }
        break;
    }
}

void SeparateCommandSection()
{
    SceneItem* ship = gPlayerItem;
    if (!ship || !ship->sim || !ship->avatar || !ship->sim->shipInfo || ship->sim->shipInfo->kind != kPlayerShipKind)
        return;
    SceneItem* n = NewSceneItem();
    if (!n)
        return;
    InsertSceneItem(n, 0);
    ShipInfo* info = AllocShipInfo();
    if (!AttachSim(n, SIM_MAIN) || !AttachRootTDP(n) || !info) {
        DeleteSceneItem(n);
        return;
    }

    // The hull drifts on under the AI, in the shape of a hull without its head.
    ship->control = CONTROL_AI;
    ship->perFrame = SIM_MAIN;
    hx_model* wholeModel = ship->avatar->root ? ship->avatar->root->model : nullptr;
    SetItemModel(ship, LoadShapeOnce(gHullModel, kHullShape));
    if (ship->sim->ldsSpool == 1)
        SetStandingOrder(ship, "STOP", 80, kStopState);
    else
        SetStandingOrder(ship, "NO PROGRAM", 1, kDriftState);

    // The section: a ship of its own.
    SetMessageFunction(n, ship->message);
    SetControlFunction(n, CONTROL_MAIN);
    SetAvatarCallbacks(n, CopySimToAvatar, SyncAvatarTdps);
    TDP* root = n->avatar->root;
    root->flags |= kTdpInScene;
    AttachTdpToScene(root, LoadShapeOnce(gCommandModel, kCommandShape), 0);
    n->avatar->collision = CollideShips;
    n->sim->shipInfo = info;
    info->kind = kCommandKind;
    ClearOrderSlots(info);
    SetStandingOrder(n, "NO PROGRAM", 1, kIdleState);
    InitTDPRadius(root);
    SetSceneItemRadius(n);
    SetupCommandModule(n);

    n->avatar->classFlags |= ship->avatar->classFlags & kSidesAndFactions;
    info->side = ship->sim->shipInfo->side;
    n->sim->mass = kCommandMass;
    n->sim->speed = 0.0f;
    const Vector3 leftLight{-1200, 0, -400}, rightLight{1200, 0, -400};
    AddMarkerLight(n, &leftLight, 0.25f, 4, 10, 75, 0);
    AddMarkerLight(n, &rightLight, 0.25f, 2, 10, 75, 0);

    // Ahead of the ship, a little faster along its axis.
    const Sim& s = *ship->sim;
    const Vector3 forward{s.matrix.m[8], s.matrix.m[9], s.matrix.m[10]};
    n->sim->matrix = s.matrix;
    n->sim->position = {s.position.x + kCommandAhead * forward.x, s.position.y + kCommandAhead * forward.y,
                        s.position.z + kCommandAhead * forward.z};
    n->sim->matrix.m[12] = static_cast<float>(n->sim->position.x);
    n->sim->matrix.m[13] = static_cast<float>(n->sim->position.y);
    n->sim->matrix.m[14] = static_cast<float>(n->sim->position.z);
    n->sim->previousMatrix = n->sim->matrix;
    n->sim->velocity = {s.velocity.x + kCommandPush * forward.x, s.velocity.y + kCommandPush * forward.y,
                        s.velocity.z + kCommandPush * forward.z};

    AddDockPoint(n, kDockHandsControl | kDockFree, 1, 180, 0, 0, 0, -1, -13, 70);
    n->avatar->dockPartner = ship;
    ship->avatar->dockPartner = n;
    PostItemMessage(n->receiver, n->receiver, kUndockLinkDelay, kMsgUnlink, ItemBody{ItemHandle(ship)});
    PostItemMessage(ship->receiver, ship->receiver, kUndockLinkDelay, kMsgUnlink, ItemBody{ItemHandle(n)});

    // The section is the player's ship now; the hull waits to take it back.
    gControlledItem = gPlayerItem = n;
    ScriptSymbol* symbol = ship->symbol;
    ship->symbol = nullptr;
    GiveSymbol(symbol, n);
    if (gBuiltinSymbols.kelvaHead)
        SetSymbolObject(gBuiltinSymbols.kelvaHead, n);
    if (gBuiltinSymbols.kelvaBody)
        SetSymbolObject(gBuiltinSymbols.kelvaBody, ship);
    // A hull without ports has none to take the section back.
    if (DockPoint* rejoin = FirstPoint(ship) ? NthDockPoint(ship, kHullRejoinPoint, nullptr) : nullptr) {
        rejoin->flags |= kDockFree;
        rejoin->mergeModel = wholeModel;
    }
    PlayItemSound(n, kSoundUndocked, kSoundSpread);
    if (ship->sim->speed < kSeparationShotSpeed)
        DirectorOfferShot(n, ship, kShotUndocking);
}
