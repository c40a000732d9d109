// The default message handler: one routine per message kind, in one table
// by kind, and the bookkeeping of a destruction. See messagehandler.h.
#include "world/messagehandler.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "ai/combat.h"
#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "screens/bridge.h"
#include "screens/vesselorders.h"
#include "script/conditions.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "ui/dialogue.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "view/explosions.h"
#include "world/actions.h"
#include "world/behaviours.h"
#include "world/damage.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/tally.h"
#include "world/universe.h"

namespace {

// Sounds of the handler.
constexpr int32_t kSoundHit = 10;
constexpr int32_t kSoundImpact = 20;
constexpr int32_t kSoundDocked = 30;

constexpr const char* kJumpFilm = "zqk\\resource\\video\\hyper.smk";
constexpr int32_t kJumpWait = 70; // hundredths from the jump start to the jump
constexpr float kBlastIgnoredWithin = 300000.0f;
constexpr int32_t kInterdictionHold = 300; // LDS barred at least this long after the last pulse
constexpr int32_t kInterdictionRelease = 250;
constexpr int32_t kHardBounceTime = 200;
constexpr int16_t kLogDestroyed = 2;

// Frequency spreads of the handler's sounds.
constexpr int32_t kSpreadHit = 8000;
constexpr int32_t kSpreadNarrow = 2000;

void PostToSelf(const SceneItem* item, int32_t delay, uint16_t kind, int32_t length = 0,
                const void* body = nullptr)
{
    PostItemMessage(item->receiver, item->receiver, delay, kind, length, body);
}

SceneItem* BodyItem(const ItemMessage& message)
{
    return ItemFromHandle(MessageBody<ItemBody>(message).item);
}

void CheckTranslation(const SceneItem* item)
{
    if (item->sim)
        CheckPositionSanity(item->sim->matrix);
}

// The hit response of the item, or the default one.
void RespondToHit(SceneItem* item, const HitPayload& record)
{
    HitResponse response = item->avatar->hitResponse ? item->avatar->hitResponse : BreakOffOnHit;
    response(item, &record);
}

// ---- the kinds ------------------------------------------------------------

// Each routine acts on one kind; the message is the handler's own copy.
using KindRoutine = void (*)(SceneItem* item, const ItemMessage& message);

void Delete(SceneItem* item, const ItemMessage&)
{
    DeleteSceneItem(item);
    NoteItemDestroyed(item, nullptr);
    CheckSceneListIntegrity();
}

void MarkBreakable(SceneItem* item, const ItemMessage&)
{
    MarkTDPsBreakable(item->avatar->root);
}

// Only a body of exactly the hooks' size is taken: a shorter one would
// leave half a pointer, a longer one is not what the sender meant.
void SetResponses(SceneItem* item, const ItemMessage& message)
{
    if (message.BodyLength() != static_cast<int32_t>(sizeof(ResponseHooksBody)))
        return;
    ResponseHooksBody hooks;
    std::memcpy(&hooks, message.body, sizeof hooks);
    item->avatar->collision = hooks.collision;
    item->avatar->hitResponse = hooks.hitResponse;
}

void Nothing(SceneItem*, const ItemMessage&) {}

void SetTarget(SceneItem* item, const ItemMessage& message)
{
    SceneItem* target = BodyItem(message);
    if (!target || !item->sim || (item->sim->flags & kSimKeepsTarget) || target == gTargetSearchIgnoredItem)
        return;
    item->sim->target = target;
}

void Hit(SceneItem* item, const ItemMessage& message)
{
    const HitPayload record = MessageBody<HitPayload>(message);
    const SceneItem* attacker = ItemFromHandle(record.attacker);
    if (gPlayerItem && (attacker == gPlayerItem || item->avatar->lockedOn == gPlayerItem))
        RecordTallyKill(item->avatar->params[kParamTallySerial]);
    FireActions(item, kEventHit, &record);
    PlayItemSound(item, kSoundHit, kSpreadHit);
    RespondToHit(item, record);
    CheckSceneListIntegrity();
}

void Impact(SceneItem* item, const ItemMessage& message)
{
    if (item == gPlayerItem && gDirectorOn)
        return;
    Sim* sim = item->sim;
    HitPayload record = MessageBody<HitPayload>(message);
    const SceneItem* attacker = ItemFromHandle(record.attacker);
    const bool takesDamage = sim && !(sim->flags & kSimNoDamage);
    if (attacker && attacker->perFrame == PlasmaBallStep && takesDamage) {
        if (item == gPlayerItem) {
            PostItemMessage(message.sender, item->receiver, 0, kMsgHit, record);
        } else {
            PlayItemSound(item, kSoundHit, kSpreadHit);
            PostToSelf(item, 0, kMsgDelete);
        }
    }
    PlayItemSound(item, kSoundImpact, kSpreadNarrow);
    if (sim && !sim->shipInfo) {
        const Vector3 point{record.point[0], record.point[1], record.point[2]};
        AddMinorExplosion(item, 14, 0, &point);
        if (takesDamage) {
            // Held within the int range: a hull far below 0 hit again stays
            // there. An object is destroyed once: more hits on the wreck
            // before it goes log and count nothing more.
            const bool intact = sim->hull >= 0;
            const int64_t hull = int64_t{sim->hull} - (record.amount > 1 ? record.amount : 1);
            sim->hull = static_cast<int32_t>(std::max<int64_t>(hull, INT32_MIN));
            if (intact && sim->hull < 0) {
                NoteItemDestroyed(item, &record);
                PostToSelf(item, 0, kMsgHit, sizeof record, &record);
            }
        }
    } else if (sim) {
        ItemMessage copy = message;
        ApplyHitDamage(item, &copy);
    }
    CheckSceneListIntegrity();
}

void Unlink(SceneItem* item, const ItemMessage& message)
{
    SceneItem* other = BodyItem(message);
    if (other && item->avatar->linkItem == other)
        item->avatar->linkItem = nullptr;
}

void Undock(SceneItem* item, const ItemMessage&)
{
    UndockItem(item);
}

// A blast near the item: nothing while it stays close to its target
// (a ship at a station it guards); otherwise a hit from itself.
void Blast(SceneItem* item, const ItemMessage&)
{
    SceneItem* target = item->sim ? item->sim->target.Get() : nullptr;
    if (target && GetSurfaceDistance(item, target) < kBlastIgnoredWithin)
        return;
    PlayItemSound(item, kSoundHit, kSpreadHit);
    HitPayload record{};
    record.attacker = ItemHandle(item);
    RespondToHit(item, record);
}

void EnableDock(SceneItem* item, const ItemMessage& message)
{
    EnableDockPoint(item, MessageBody<DockPointBody>(message).number);
}

void Dock(SceneItem* item, const ItemMessage& message)
{
    SceneItem* other = BodyItem(message);
    if (!other)
        return;
    CoupleFirstDockPoints(item, other);
    FireActions(item, kEventDocked, other);
    PlayItemSound(item, kSoundDocked, kSpreadNarrow);
    DirectorOfferShot(item, other, kShotDocking);
}

int16_t SideOf(const SceneItem* item)
{
    return item->sim && item->sim->shipInfo ? item->sim->shipInfo->side : 0;
}

void Escort(SceneItem* item, const ItemMessage& message)
{
    SceneItem* other = BodyItem(message);
    if (!other)
        return;
    const int16_t side = SideOf(item);
    if (side == 0 || side == SideOf(other))
        item->avatar->escort = other;
}

// The jump starts: the docked ships come along, and 70 hundredths later
// the item jumps (kind 16).
void JumpStart(SceneItem* item, const ItemMessage& message)
{
    int32_t system = MessageBody<JumpStartBody>(message).system;
    if (system > 0)
        JumpDockedItems(item, system);
    else
        system = -system;
    const CapsuleJumpBody jump{static_cast<int16_t>(system)};
    PostToSelf(item, kJumpWait, kMsgCapsuleJump, sizeof jump, &jump);
    if (item->sim)
        item->sim->flags |= kSimJumpUnderWay;
    AddDepartureFlash(item);
    DirectorOfferShot(item, nullptr, kShotJumpStart);
}

// The jump itself. The player's ship: the capsule film, and the frame loop
// carries the jump out (its jump-arrival step). Any other item leaves for
// the destination's group of parked items, to be placed near its L4 when
// the player arrives there.
void CapsuleJump(SceneItem* item, const ItemMessage& message)
{
    const int16_t system = MessageBody<CapsuleJumpBody>(message).system;
    if (item == gPlayerItem) {
        StopAllConversations();
        SoundPauseAll();
        if (PlayFilm(kJumpFilm) != 0)
            gLoopFlags.filmMode = 255;
        gLoopFlags.jumpArrivalRequest = 1;
        if (system != 0) {
            gPendingJumpSystem = system;
            gPendingJumpBody = FindBody(system, "L4");
        }
    } else if (system != item->sceneGeneration) {
        if (item->sim)
            item->sim->flags &= ~kSimJumpUnderWay;
        FlashNearObject(item);
        item->sceneGeneration = system;
        ParkSceneItem(item, 0.0, 0.0, 0.0);
        if (item->sim)
            item->sim->flags |= kSimPlaceNearL4;
        DropItemReferences(item);
    }
    DirectorOfferShot(item, nullptr, kShotArrival);
    CheckSceneListIntegrity();
}

void ElectLeader(SceneItem* item, const ItemMessage&)
{
    ElectFixedAttackLeader(item);
}

// LDS interdiction: the drive is barred until 300 hundredths after the
// last pulse; one release message is pending at most.
void Interdiction(SceneItem* item, const ItemMessage&)
{
    Sim* sim = item->sim;
    if (!sim)
        return;
    if ((sim->flags & kSimLdsEngaged) && !(sim->flags & kSimLdsBarred))
        InterdictionJolt(item);
    sim->flags |= kSimLdsBarred;
    if (DelayItemMessages(item, kInterdictionHold, kMsgLdsRelease) == 0 &&
        !(item->avatar->classFlags & kSenseProjectile))
        PostToSelf(item, kInterdictionRelease, kMsgLdsRelease);
}

void ClearSimFlag(SceneItem* item, uint32_t flag)
{
    if (item->sim)
        item->sim->flags &= ~flag;
}

void LdsRelease(SceneItem* item, const ItemMessage&)
{
    ClearSimFlag(item, kSimLdsBarred);
}

void ImpactTorque(SceneItem* item, const ItemMessage& message)
{
    const ImpactTorqueBody impact = MessageBody<ImpactTorqueBody>(message);
    const Vector3 point{impact.point[0], impact.point[1], impact.point[2]};
    const Vector3 velocity{impact.velocity[0], impact.velocity[1], impact.velocity[2]};
    ApplyImpactTorque(item, &point, &velocity, impact.mass);
}

void Repair(SceneItem* item, const ItemMessage&)
{
    if (item != gPlayerItem && item->sim && item->sim->shipInfo)
        RunRepairTick(item);
}

void HardBounce(SceneItem* item, const ItemMessage&)
{
    if (!item->sim)
        return;
    item->sim->flags |= kSimHardBounce;
    if (DelayItemMessages(item, kHardBounceTime, kMsgHardBounceEnd) == 0)
        PostToSelf(item, kHardBounceTime, kMsgHardBounceEnd);
}

void HardBounceEnd(SceneItem* item, const ItemMessage&)
{
    ClearSimFlag(item, kSimHardBounce);
}

// A group leader died: a ship whose order aimed at it lets go. The tally row
// names the dead ship by handle, which no longer resolves, so the handles
// are compared.
void ShipDied(SceneItem* item, const ItemMessage& message)
{
    const TallyEntry* entry = FindTallyEntry(MessageBody<ShipDiedBody>(message).tallySerial);
    ShipInfo* info = item->sim ? item->sim->shipInfo : nullptr;
    if (entry && entry->item && info && info->orderTarget && ItemHandle(info->orderTarget) == entry->item)
        info->orderTarget = nullptr;
}

// An ECM flare: a missile aimed at the protected ship turns to the flare.
void Decoy(SceneItem* item, const ItemMessage& message)
{
    const DecoyBody decoy = MessageBody<DecoyBody>(message);
    SceneItem* protectedShip = ItemFromHandle(decoy.protectedShip);
    SceneItem* flare = ItemFromHandle(decoy.flare);
    Sim* sim = item->sim;
    if (!protectedShip || !flare || !sim || !(item->avatar->classFlags & kSenseMissile) ||
        sim->target != protectedShip)
        return;
    sim->target = flare;
    sim->secondTarget = flare;
}

void Unbrake(SceneItem* item, const ItemMessage&)
{
    ClearSimFlag(item, kSimBraked);
}

void Unscatter(SceneItem* item, const ItemMessage&)
{
    ClearSimFlag(item, kSimScattering);
}

struct KindRow {
    KindRoutine routine;
    bool endsFrame; // later messages wait for the next frame
};

constexpr KindRow kKinds[kItemMessageKinds] = {
    {Delete, true}, // 0
    {MarkBreakable, false},
    {SetResponses, false},
    {Nothing, false},   // 3
    {Nothing, false},   // 4
    {SetTarget, false}, // 5
    {Hit, false},
    {Impact, false},
    {Unlink, false},
    {Undock, false},
    {Blast, false}, // 10
    {EnableDock, false},
    {Nothing, false}, // 12: a number, read and dropped
    {Dock, false},
    {Escort, false},
    {JumpStart, false}, // 15
    {CapsuleJump, false},
    {ElectLeader, false},
    {Interdiction, false},
    {LdsRelease, false},
    {ImpactTorque, false}, // 20
    {Repair, true},
    {HardBounce, false},
    {HardBounceEnd, false},
    {ShipDied, false},
    {Decoy, false}, // 25
    {Unbrake, false},
    {Unscatter, false},
};

// Clears every reference that items of one list hold to the item.
void ForgetItemInList(SceneItem& head, const SceneItem* gone)
{
    auto clear = [gone](ItemRef& reference) {
        if (reference.Is(gone))
            reference = nullptr;
    };
    for (SceneItem* s = head.next; s && s != &head; s = s->next) {
        if (Avatar* avatar = s->avatar) {
            clear(avatar->linkItem);
            clear(avatar->escort);
            clear(avatar->obstacle);
            if (avatar->lockedOn.Is(gone)) {
                avatar->lockedOn = nullptr;
                avatar->lockedAmount = 0;
            }
        }
        Sim* sim = s->sim;
        if (!sim)
            continue;
        clear(sim->target);
        clear(sim->secondTarget);
        clear(sim->planet);
        if (sim->towLink.Is(gone)) {
            sim->towLink = nullptr;
            sim->flags &= ~kSimTowed;
        }
        if (ShipInfo* info = sim->shipInfo) {
            clear(info->leader);
            clear(info->orderTarget);
            for (HardPoint& point : info->hardPoints)
                clear(point.target);
            for (OrderSlot& order : info->orders) {
                clear(order.savedTarget);
                clear(order.savedLeader);
            }
            for (CouplingLink* link = info->couplings; link; link = link->next)
                if (link->partner)
                    clear(link->partner->item);
        }
    }
}

const char* ShipName(const SceneItem* item)
{
    return item && item->sim && item->sim->shipInfo ? item->sim->shipInfo->name : nullptr;
}

// The name the kill goes to: the attacker's, or for a munition (a missile
// or a projectile) its launcher's when that is a ship.
const char* KillerName(const HitPayload* record)
{
    if (!record)
        return nullptr;
    const SceneItem* attacker = ItemFromHandle(record->attacker);
    if (!attacker)
        return nullptr;
    if (attacker->avatar->classFlags & (kSenseMissile | kSenseProjectile)) {
        const SceneItem* launcher =
            ItemFromHandle(static_cast<SceneItemHandle>(attacker->avatar->params[kParamTetherAnchor]));
        if (const char* name = ShipName(launcher))
            return name;
    }
    return ShipName(attacker);
}

} // namespace

void PlayItemSound(const SceneItem* item, int32_t slot, int32_t spread)
{
    int32_t volume = 0;
    int32_t pan = 0;
    SoundPlaceObject(item, &volume, &pan);
    SoundPlayVaried(slot, volume, 0, pan, 0, spread);
}

void HandleItemMessages(SceneItem* item)
{
    CheckTranslation(item);
    ItemMessage message;
    while (FetchItemMessage(item->receiver, &message)) {
        if (message.kind >= kItemMessageKinds)
            continue;
        const KindRow& row = kKinds[message.kind];
        row.routine(item, message);
        // A response may have deleted the item: its messages died with it.
        if (row.endsFrame || !(item->flags & kItemInUse))
            return;
    }
    CheckTranslation(item);
}

void NoteItemDestroyed(SceneItem* item, const HitPayload* hitRecord)
{
    DropItemReferences(item);
    ForgetItemInList(gSceneList, item);
    ForgetItemInList(gParkedList, item);
    DetachGroupLeader(item);

    const char* victim = ShipName(item);
    const char* killer = KillerName(hitRecord);
    if (victim && killer && std::strcmp(victim, killer) != 0)
        AddShipLogEntry(kLogDestroyed, killer, victim);
}

void DropItemReferences(SceneItem* item)
{
    RemoveContact(item);
    if (item == gRemoteLinkItem) {
        ReleaseRemoteLink(gPlayerItem);
        gRemoteLinkItem = nullptr;
    }
    Sim* controlled = gControlledItem ? gControlledItem->sim : nullptr;
    if (!controlled || gControlledItem == item)
        return;
    if (controlled->secondTarget.Is(item))
        controlled->secondTarget = nullptr;
    if (controlled->target.Is(item)) {
        controlled->target = nullptr;
        SelectTargetAhead(nullptr, 0);
    }
}

void MarkTDPsBreakable(TDP* node)
{
    for (; node; node = node->nextSibling) {
        if (node->flags & kTdpInScene)
            node->flags |= kTdpBreakable;
        MarkTDPsBreakable(node->firstChild);
    }
}
