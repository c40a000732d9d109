// Ship orders: the eight order slots of a ship, their evaluators, the order
// table that scripts look names up in, the choice of the enemy a ship
// fights, and the player's wing.
//
// What an order does is the AI state it starts (ai/aistate.h runs the
// states); this module only decides which order is current. The threat
// rating and the dock reservations belong to the hit and docking modules.
#include "ai/orders.h"

#include <cmath>
#include <cstring>

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "script/configstatements.h"
#include "script/shiptypes.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "ui/messagelog.h"
#include "view/cameras.h"
#include "world/pools.h"
#include "world/scenelist.h"

// The order table, in the order scripts have always known it: a name
// found twice takes the last row.
const OrderProgram OrderProgramTable[kOrderProgramCount + 1] = {
    {"WaitForFurtherOrders", EvalDefault, 61, {0, 0, 0}},
    {"SelfPreservation", EvalSelfPreservation, 34, {0, 0, 0}},
    {"SentryDuty", EvalSentryDuty, 61, {0, 0, 0}},
    {"AcquireIndieShip", EvalAcquire, 60, {260, 8, 50000000}},
    {"AcquireNavyShip", EvalAcquire, 60, {132, 8, 50000000}},
    {"AcquireIndieBase", EvalAcquire, 60, {264, 0, 50000000}},
    {"AcquireNavyBase", EvalAcquire, 60, {136, 0, 50000000}},
    {"SeekAndDestroy2", EvalSeekAndDestroy, 19, {0, 0, 0}},
    {"DestroyIfTarget", EvalDestroyIfTarget, 19, {0, 0, 0}},
    {"SeekAndDestroy", EvalSeekAndDestroy, 24, {0, 0, 0}},
    {"PullOut", EvalPullOut, 58, {0, 0, 0}},
    {"RunAway", EvalDefault, 58, {0, 0, 0}},
    {"NavyGunPlatform", EvalDefault, 22, {4, 1216, 0}},
    {"IndieGunPlatform", EvalDefault, 22, {640, 0, 0}},
    {"AntiAlliedPlatform", EvalDefault, 22, {4096, 0, 0}},
    {"BlackGunPlatform", EvalDefault, 22, {4, 576, 0}},
    {"GunPlatform", EvalDefault, 22, {4, 0, 0}},
    {"IndieDefNetGun", EvalDefault, 23, {132, 0, 0}},
    {"DefendObject", EvalDefendObject, 26, {0, 0, 0}},
    {"WaitForTrouble", EvalWaitForTrouble, 49, {150000, 0, 0}},
    {"Escort", EvalDefault, 49, {70000, 0, 0}},
    {"Aproach", EvalDefault, 47, {70000, 0, 0}},
    {"Lagrange", EvalDefault, 17, {0, 1, 0}},
    {"MatchVel", EvalDefault, 18, {10000, 0, 0}},
    {"StayNear", EvalStayNear, 49, {600000, 0, 0}},
    {"UnDock", EvalDefault, 12, {0, 0, 0}},
    {"GoAndDock", EvalDefault, 13, {0, 0, 0}},
    {"DockWhenClose", EvalDockWhenClose, 13, {0, 0, 0}},
    {"DockAndDemolish", EvalDefault, 14, {0, 0, 0}},
    {"SortLDAIndie", EvalDefault, 41, {132, 0, 0}},
    {"CheckLDA", EvalCheckLDA, 41, {132, 0, 0}},
    {"LDSToNavTarget", EvalDefault, 67, {0, 0, 0}},
    {"HiSpeedWeaponsPass", EvalDefault, 35, {0, 0, 0}},
    {"StopAbsolute", EvalDefault, 10, {0, 0, 0}},
    {"StopRelative", EvalDefault, 11, {0, 0, 0}},
    {"StopDead", EvalDefault, 65, {0, 0, 0}},
    {"BigBomb", EvalDefault, 36, {0, 0, 0}},
    {"DroneTargetRun", EvalDefault, 37, {100000, 0, 0}},
    {"DroneMovingTarget", EvalDefault, 38, {100000, 0, 0}},
    {"DroneChasingTarget", EvalDefault, 39, {100000, 0, 0}},
    {"OrbitalAttack", EvalDefault, 40, {0, 0, 0}},
    {"LDADeff2Indie", EvalDefault, 28, {132, 0, 0}},
    {"Watch", EvalDefault, 75, {0, 0, 0}},
    {"SeekOrbitalSpeed", EvalDefault, 73, {782004, 150, 0}},
    {"Capsule", EvalDefault, 50, {0, 0, 0}},
    {"FixedAttack", EvalDefault, 33, {0, 0, 0}},
    {"AmbushAttack", EvalDockWhenClose, 33, {0, 0, 0}},
    {"ProvokedAttack", EvalProvokedAttack, 33, {0, 0, 0}},
    {"HarpoonTarget", EvalPullOut, 74, {0, 0, 0}},
    {"Follower", EvalDefault, 42, {0, 0, 0}},
    {"FollowPlayer", EvalDefault, 43, {0, 0, 0}},
    {"SeekerMissile", EvalDefault, 64, {0, 0, 0}},
    {"ForcedTailBiting", EvalDefault, 30, {50000, 0, 0}},
    {"BusDriver", EvalDefault, 52, {0, 0, 0}},
    {"BusDriverNotStopping", EvalDefault, 53, {0, 0, 0}},
    {"DefendMothership", EvalDefendMothership, 27, {0, 0, 0}},
    {"ConstantFire", EvalDefault, 25, {100, 0, 0}},
    {"Loiter", EvalDefault, 54, {0, 0, 0}},
    {"SafeLoiter", EvalWaitForTrouble, 54, {0, 0, 0}},
    {"StraightLDS", EvalDefault, 72, {0, 0, 0}},
    {"Drift", EvalDefault, 62, {0, 0, 0}},
    {nullptr, nullptr, 0, {0, 0, 0}},
};

WingSlot gWingSlots[kWingSlotCount] = {};
char gWingReply[kWingReplySize] = {};
int32_t gNextWingman = 0;

namespace {

// States that dock: leaving one gives up the dock points it reserved.
bool IsDockingState(int32_t state) { return state == 13 || state == 14 || state == 15; }

constexpr uint32_t kFlagBlocked = 0x1;
constexpr uint32_t kFlagFinished = 0x2;
constexpr int32_t kScoringPeriod = 50; // ticks between two scorings

bool Live(const SceneItem* item) { return item && (item->flags & kItemInUse) && item->sim; }

SceneItem* ItemOf(int32_t word) { return ItemFromHandle(static_cast<SceneItemHandle>(word)); }

OrderSlot* SlotOf(ShipInfo* shipInfo, int32_t slot)
{
    return shipInfo && slot >= 0 && slot < kOrderSlots ? &shipInfo->orders[slot] : nullptr;
}

// Straight-line distance between two items' positions.
double Distance(const SceneItem* a, const SceneItem* b)
{
    const double dx = a->sim->position.x - b->sim->position.x;
    const double dy = a->sim->position.y - b->sim->position.y;
    const double dz = a->sim->position.z - b->sim->position.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// value as a percentage of `of`, cut at 100; nothing fits in a share of 0
// or less, so that counts as the full 100.
int32_t Percentage(double value, double of)
{
    if (!(of > 0.0))
        return 100;
    const double p = value * 100.0 / of;
    return p >= 100.0 ? 100 : p <= 0.0 ? 0
                                       : static_cast<int32_t>(p);
}

int32_t Clamp100(double score) { return score >= 100.0 ? 100 : score <= 0.0 ? 0
                                                                            : static_cast<int32_t>(score); }

// The item an evaluator watches: the one its word names, or the ship itself
// when the word is 0 (a dead one reads as null).
SceneItem* WatchedItem(SceneItem* item, int32_t word) { return word ? ItemOf(word) : item; }

// How far a hull percentage lies above a threshold, as a share of what is
// left above it: 0 below the threshold or with none left.
int32_t HullShareAbove(int32_t hull, int32_t threshold)
{
    if (threshold >= 100 || hull < threshold)
        return 0;
    return Clamp100((hull - threshold) * 100.0 / (100 - threshold));
}

// Items other than `self` whose class flags pass the test, in the scene list.
template <typename Test>
int32_t CountItems(const SceneItem* self, Test test)
{
    int32_t n = 0;
    for (SceneItem* other = gSceneList.next; other && other != &gSceneList; other = other->next)
        if (other != self && other->avatar && test(other))
            ++n;
    return n;
}

} // namespace

// ---- Slots ------------------------------------------------------------------

void ClearOrderSlots(ShipInfo* shipInfo)
{
    if (!shipInfo)
        return;
    for (OrderSlot& slot : shipInfo->orders) {
        // The names stay: a slot keeps the name it was last given.
        const char* name = slot.name;
        slot = OrderSlot{};
        slot.name = name;
    }
    shipInfo->currentOrder = 1;
    shipInfo->roundRobin = 1;
    // Ships set up together score on different frames.
    shipInfo->tickAccumulator = CRand() % 100;
}

void SetOrderSlot(ShipInfo* shipInfo, int32_t slot, int32_t prerequisite, int32_t startDelay, int32_t timeLimit, int32_t weight, OrderEvaluator evaluator, int32_t parameter1, int32_t parameter2)
{
    OrderSlot* order = SlotOf(shipInfo, slot);
    if (!order)
        return;
    order->prerequisite = static_cast<int8_t>(prerequisite);
    order->startDelay = startDelay;
    order->timeLimit = timeLimit;
    order->weight = weight;
    order->evaluator = evaluator;
    order->parameter1 = parameter1;
    order->parameter2 = parameter2;
}

void SetOrderState(ShipInfo* shipInfo, int32_t slot, int32_t stateId, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    OrderSlot* order = SlotOf(shipInfo, slot);
    if (!order)
        return;
    order->stateId = stateId;
    order->stateParameters[0] = parameter1;
    order->stateParameters[1] = parameter2;
    order->stateParameters[2] = parameter3;
}

int32_t FindFreeOrderSlot(ShipInfo* shipInfo, const char* name)
{
    if (!shipInfo)
        return 0;
    for (int32_t n = 1; n < kOrderSlots; ++n) {
        if (!shipInfo->orders[n].evaluator) {
            shipInfo->orders[n].name = name;
            return n;
        }
    }
    return 0;
}

int32_t FindOrderSlotByName(ShipInfo* shipInfo, const char* name)
{
    if (!shipInfo || !name)
        return -1;
    for (int32_t n = 0; n < kOrderSlots; ++n)
        if (shipInfo->orders[n].name && std::strcmp(shipInfo->orders[n].name, name) == 0)
            return n;
    return -1;
}

int32_t FindOrAddOrderSlot(ShipInfo* shipInfo, const char* name)
{
    const int32_t n = FindOrderSlotByName(shipInfo, name);
    return n >= 0 ? n : FindFreeOrderSlot(shipInfo, name);
}

void ActivateOrder(SceneItem* item, int32_t slot)
{
    ShipInfo* shipInfo = ShipInfoOf(item);
    OrderSlot* next = SlotOf(shipInfo, slot);
    if (!next)
        return;
    Sim* sim = item->sim;
    if (OrderSlot* current = SlotOf(shipInfo, shipInfo->currentOrder)) {
        const bool hadSavedTarget = current->savedTarget.Get() != nullptr;
        current->savedTarget = sim->target.Get();
        current->savedLeader = sim->secondTarget.Get();
        if (IsDockingState(current->stateId) && hadSavedTarget && slot != shipInfo->currentOrder)
            ReleaseDockReservations(sim->target, shipInfo);
    }

    ResetStateStack(shipInfo);
    next->flags &= ~kFlagFinished;
    shipInfo->currentOrder = static_cast<int16_t>(slot);
    AIStateFrame& bottom = shipInfo->stateStack[0];
    bottom.stateId = next->stateId;
    bottom.subState = 0;
    bottom.parameter1 = next->stateParameters[0];
    bottom.parameter2 = next->stateParameters[1];
    bottom.parameter3 = next->stateParameters[2];

    if (SceneItem* target = next->savedTarget)
        sim->target = target;
    if (SceneItem* leader = next->savedLeader)
        sim->secondTarget = leader;
    DirectorOfferShot(item, nullptr, 6);
}

void UpdateOrders(SceneItem* item, ShipInfo* shipInfo)
{
    if (!item || !item->sim || !shipInfo)
        return;
    // A player hostile to all is every ship's one concern: the standing
    // order turns on the player, and nothing else is weighed meanwhile.
    if (gPlayerItem && gPlayerItem->avatar && (gPlayerItem->avatar->classFlags & kSenseLeper)) {
        OrderSlot& standing = shipInfo->orders[0];
        if (standing.name && std::strcmp(standing.name, "SelfPreservation") == 0) {
            standing.name = "ExecutePlayer";
            SetOrderSlot(shipInfo, 0, 0, 0, 0, 100, EvalDefault, 70, 0);
            SetOrderState(shipInfo, 0, 33, 0, 0, 0);
            item->sim->secondTarget = gPlayerItem;
            ActivateOrder(item, 0);
        }
        return;
    }

    const int32_t ticks = gFrameClock.frameTicks;
    for (OrderSlot& slot : shipInfo->orders)
        if (slot.startDelay > 0)
            slot.startDelay -= ticks;

    if (OrderSlot* current = SlotOf(shipInfo, shipInfo->currentOrder); current && current->timeLimit > 0) {
        current->timeLimit -= ticks;
        if (current->timeLimit <= 0) {
            // Out of time: blocked and finished, and scored next so that
            // another order takes over at once.
            current->timeLimit = 0;
            current->flags |= kFlagBlocked | kFlagFinished;
            current->lastScore = 0;
            shipInfo->roundRobin = shipInfo->currentOrder;
        }
    }

    shipInfo->tickAccumulator += ticks;
    if (shipInfo->tickAccumulator <= kScoringPeriod)
        return;
    shipInfo->tickAccumulator -= kScoringPeriod;
    if (shipInfo->roundRobin < 0 || shipInfo->roundRobin >= kOrderSlots)
        shipInfo->roundRobin = 0;
    EvaluateOrderSlot(item, shipInfo, shipInfo->roundRobin);
    shipInfo->roundRobin = static_cast<int16_t>((shipInfo->roundRobin + 1) % kOrderSlots);
}

void EvaluateOrderSlot(SceneItem* item, ShipInfo* shipInfo, int32_t n)
{
    OrderSlot* slot = SlotOf(shipInfo, n);
    if (!slot || !slot->evaluator)
        return;
    // A prerequisite outside the slots names none.
    const OrderSlot* before = slot->prerequisite > 0 ? SlotOf(shipInfo, slot->prerequisite) : nullptr;
    const bool eligible = !(slot->flags & (kFlagBlocked | kFlagFinished)) && slot->startDelay <= 0 &&
                          (!before || (before->flags & kFlagFinished));
    const int32_t score = eligible ? slot->evaluator(item, slot->parameter1, slot->parameter2, slot) : 0;
    slot->lastScore = score * slot->weight;

    const int32_t current = shipInfo->currentOrder;
    if (n == current) {
        // Another order must beat this one by more than a tenth.
        const double bar = 1.1 * slot->lastScore;
        for (int32_t i = 0; i < kOrderSlots; ++i)
            if (i != n && shipInfo->orders[i].lastScore > bar)
                ActivateOrder(item, i);
        return;
    }
    const OrderSlot* running = SlotOf(shipInfo, current);
    if (!running || running->lastScore < 0.9 * slot->lastScore)
        ActivateOrder(item, n);
}

// ---- Enemies ------------------------------------------------------------------

uint32_t EnemyClassMask(SceneItem* item)
{
    const ShipInfo* shipInfo = ShipInfoOf(item);
    switch (shipInfo ? shipInfo->side : 0) {
    case 1: return 0x40001B04;
    case 2:
    case 3:
    case 5:
    case 6: return 0x40000084;
    default: return 0x40000044;
    }
}

namespace {

// The include and exclude masks of the enemies of each side.
struct SideMasks {
    uint32_t include;
    uint32_t exclude;
};
constexpr SideMasks kEnemySideMasks[7] = {
    {0, 0x40},
    {0x1B00, 0},
    {0x80, 0},
    {0x80, 0},
    {0, 0x40},
    {0x80, 0},
    {0x80, 0x1040},
};

constexpr uint32_t kFactionA = 0x10000000;
constexpr uint32_t kFactionB = 0x20000000;
constexpr int32_t kAttackHeatThatCounts = 50;

} // namespace

SceneItem* PickBestEnemyRatedBy(SceneItem* item, ThreatRater rate)
{
    if (!item || !item->sim || !item->avatar)
        return nullptr;
    const ShipInfo* shipInfo = ShipInfoOf(item);
    const int side = shipInfo ? shipInfo->side : 0;
    SideMasks masks = side >= 0 && side < 7 ? kEnemySideMasks[side] : kEnemySideMasks[0];
    const uint32_t own = item->avatar->classFlags;
    if (own & kFactionB)
        masks.include |= kFactionA;
    if (own & kFactionA)
        masks.include |= kFactionB;
    if (own & kFactionB)
        masks.exclude = kFactionB;
    else if (own & kFactionA)
        masks.exclude = kFactionA;

    const SceneItem* attacker =
        item->avatar->lockedAmount > kAttackHeatThatCounts ? item->avatar->lockedOn.Get() : nullptr;
    SceneItem* best = nullptr;
    float bestRating = 0.0f;
    for (SceneItem* other = gSceneList.next; other && other != &gSceneList; other = other->next) {
        if (other == item || other == gTargetSearchIgnoredItem || !other->avatar || !ShipInfoOf(other))
            continue;
        const uint32_t flags = other->avatar->classFlags;
        const bool enemy = (flags & kClassMarked) && (flags & masks.include) && !(flags & masks.exclude);
        if (!enemy && other != attacker)
            continue;
        const float rating = rate(item, other, masks.include);
        if (rating > bestRating) {
            bestRating = rating;
            best = other;
        }
    }
    item->sim->secondTarget = best;
    return best;
}

SceneItem* PickBestEnemy(SceneItem* item) { return PickBestEnemyRatedBy(item, ThreatRating); }

// ---- Evaluators -------------------------------------------------------------------

int32_t EvalDefault(SceneItem*, int32_t p1, int32_t, OrderSlot*) { return p1 < 40 ? 40 : p1 > 100 ? 100
                                                                                                  : p1; }

int32_t EvalDockWhenClose(SceneItem* item, int32_t p1, int32_t p2, OrderSlot*)
{
    SceneItem* other = ItemOf(p1);
    if (!Live(other) || !Live(item))
        return 0;
    return 100 - Percentage(Distance(item, other), p2);
}

int32_t EvalPullOut(SceneItem* item, int32_t, int32_t p2, OrderSlot*)
{
    SceneItem* leader = item && item->sim ? item->sim->secondTarget.Get() : nullptr;
    if (!Live(leader))
        return 0;
    return 100 - Percentage(Distance(item, leader), p2);
}

int32_t EvalSeekAndDestroy(SceneItem* item, int32_t, int32_t p2, OrderSlot*)
{
    SceneItem* leader = item && item->sim ? item->sim->secondTarget.Get() : nullptr;
    if (!Live(leader))
        return 0;
    return Percentage(Distance(item, leader), p2);
}

int32_t EvalStayNear(SceneItem* item, int32_t p1, int32_t p2, OrderSlot*)
{
    SceneItem* other = ItemOf(p1);
    if (!Live(other) || !Live(item))
        return 0;
    return Percentage(Distance(item, other), p2);
}

int32_t EvalSelfPreservation(SceneItem* item, int32_t p1, int32_t p2, OrderSlot*)
{
    SceneItem* watched = WatchedItem(item, p2);
    if (!Live(watched) || !Live(item))
        return 100;
    // A ship set to fight hard holds on longer.
    const double threshold = (item->sim->flags & (0x400 | 0x1000)) ? 0.8 * p1 : p1;
    if (watched->sim->hull < threshold)
        return 100;
    const Avatar* avatar = item->avatar;
    if (avatar && avatar->lockedOn.Get() && avatar->lockedAmount > 10)
        return 100;
    return 0;
}

int32_t EvalProvokedAttack(SceneItem* item, int32_t p1, int32_t p2, OrderSlot*)
{
    SceneItem* watched = WatchedItem(item, p2);
    if (!Live(watched))
        return 100;
    if (p1 >= 100 || watched->sim->hull < p1)
        return 0;
    return 100 - HullShareAbove(watched->sim->hull, p1);
}

int32_t EvalAcquire(SceneItem* item, int32_t, int32_t, OrderSlot*)
{
    return item && item->sim && Live(item->sim->secondTarget) ? 0 : 100;
}

int32_t EvalDefendObject(SceneItem* item, int32_t p1, int32_t p2, OrderSlot*)
{
    SceneItem* object = ItemOf(p1);
    if (item && item->avatar)
        item->avatar->defended = object;
    if (!Live(object) || !object->avatar)
        return 0;
    const int32_t hull = object->sim->hull;
    return hull > 0 && hull < p2 && Live(object->avatar->lockedOn) ? 100 : 0;
}

int32_t EvalSentryDuty(SceneItem* item, int32_t p1, int32_t, OrderSlot*)
{
    if (!Live(item))
        return 0;
    const uint32_t mask = EnemyClassMask(item) & ~kClassMarked;
    const double reach = static_cast<double>(p1) * 100.0;
    SceneItem* found = nullptr;
    const int32_t n = CountItems(item, [&](SceneItem* other) {
        const uint32_t flags = other->avatar->classFlags;
        if (!(flags & mask) || (flags & (0x20 | 0x40)) || !other->sim || !(Distance(item, other) < reach))
            return false;
        found = other;
        return true;
    });
    if (n == 1)
        item->sim->secondTarget = found;
    return n == 0 ? 100 : 0;
}

int32_t EvalDestroyIfTarget(SceneItem* item, int32_t p1, int32_t, OrderSlot*)
{
    SceneItem* leader = item && item->sim ? item->sim->secondTarget.Get() : nullptr;
    return leader && ItemOf(p1) == leader ? 100 : 0;
}

int32_t EvalWaitForTrouble(SceneItem* item, int32_t p1, int32_t p2, OrderSlot*)
{
    if (p2 <= 0 || !Live(item))
        return 0;
    const uint32_t mask = static_cast<uint32_t>(p1);
    const int32_t n = CountItems(item, [&](SceneItem* other) {
        const uint32_t flags = other->avatar->classFlags;
        return (flags & mask) && (flags & kClassMarked) && !(flags & 0x20);
    });
    const int32_t hull = item->sim->hull;
    int32_t b = hull == 0 ? 0 : 300 - 3 * hull;
    if (n >= p2)
        b += (n - p2 + 1) * 100 / p2;
    return b > 100 ? 0 : Clamp100(100 - b);
}

int32_t EvalCheckLDA(SceneItem* item, int32_t, int32_t, OrderSlot*)
{
    const ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo)
        return 0;
    const int count = shipInfo->hardPointCount < kHardPoints ? shipInfo->hardPointCount : kHardPoints;
    int32_t score = 0;
    for (int i = 0; i < count; ++i)
        if (!Live(shipInfo->hardPoints[i].target))
            score += 35;
    return score > 100 ? 100 : score;
}

int32_t EvalDefendMothership(SceneItem*, int32_t p1, int32_t, OrderSlot*)
{
    if (!p1)
        return 100;
    SceneItem* mother = ItemOf(p1);
    if (!Live(mother) || !mother->avatar || (mother->avatar->classFlags & 0x4000000))
        return 0;
    return 100;
}

int32_t EvalHullAbove(SceneItem* item, int32_t p1, int32_t p2, OrderSlot*)
{
    SceneItem* other = WatchedItem(item, p2);
    return Live(other) ? HullShareAbove(other->sim->hull, p1) : 0;
}

int32_t EvalNearestHostile(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot)
{
    constexpr double kReach = 5000000.0;
    if (!Live(item))
        return 0;
    SceneItem* nearest =
        FindNearestItemByFlags(nullptr, static_cast<uint32_t>(p1), static_cast<uint32_t>(p2), item, 0.0f);
    if (!Live(nearest))
        return 0;
    const double d = Distance(item, nearest);
    if (!(d < kReach))
        return 0;
    if (slot)
        slot->stateParameters[0] = static_cast<int32_t>(ItemHandle(nearest));
    return Clamp100((1.0 - d / kReach) * 100.0);
}

// ---- The player's wing --------------------------------------------------------------

namespace {

// What each command type answers with, and what it needs of the commander.
struct WingReplyRow {
    int16_t text;
    uint8_t needsTarget;
    uint8_t needsLeader;
    uint8_t namesSubject;
};
constexpr int kWingCommandCount = 9;
constexpr WingReplyRow kWingReplies[kWingCommandCount] = {
    {17, 0, 0, 0},
    {9, 0, 0, 0},
    {10, 0, 1, 1},
    {11, 1, 0, 1},
    {12, 1, 0, 1},
    {13, 0, 0, 0},
    {14, 0, 0, 0},
    {15, 0, 0, 0},
    {18, 1, 0, 1},
};
constexpr int16_t kReplyOwnSideLeader = 5;
constexpr int16_t kReplyOtherSideLeader = 7;
constexpr int16_t kReplyNoTarget = 15;
constexpr int16_t kReplyNoLeader = 16;

const char* GameText(int number)
{
    const char* text = number >= 0 && number < kTextTableEntries ? gTextTable[number] : nullptr;
    return text ? text : "";
}

void CopyReply(const char* text)
{
    std::strncpy(gWingReply, text, kWingReplySize - 1);
    gWingReply[kWingReplySize - 1] = '\0';
}

bool WingFrozen() { return gPlayerShipLost != 0; }

// The wing's reply with the names put in, on the message log.
void LogWingReply(const char* names)
{
    char text[kWingReplySize + 512];
    FormatWingReply(text, sizeof text, gWingReply, names, nullptr);
    guiAddMessageLogText(text, 0);
}

// Gives the order and notes it as the wingman's last command on acceptance.
bool OrderWingman(SceneItem* commander, WingSlot& slot, int32_t type)
{
    if (GiveWingmanOrder(commander, slot.item, type) < 0)
        return false;
    slot.lastCommandType = static_cast<int16_t>(type);
    slot.lastCommandTime = gFrameClock.gameClock;
    return true;
}

bool CrewDamaged(SceneItem* item)
{
    const ShipInfo* shipInfo = ShipInfoOf(item);
    return shipInfo && (shipInfo->damage.capabilities & 0x80);
}

// CommandWingmen over the slots that pass `take`.
template <typename Take>
void CommandWingmenWhere(SceneItem* commander, int32_t type, Take take)
{
    if (WingFrozen())
        return;
    PruneWingmen();
    bool accepted = false;
    for (WingSlot& slot : gWingSlots) {
        if (!slot.item || !take(slot) || (type == 8 && slot.lastCommandType == 8))
            continue;
        accepted = OrderWingman(commander, slot, type) || accepted;
    }
    if (!accepted)
        return;
    char names[512];
    ListWingmenNames(names, sizeof names);
    LogWingReply(names);
}

} // namespace

void PruneWingmen()
{
    for (WingSlot& slot : gWingSlots)
        if (slot.item && !Live(slot.item))
            slot.item = nullptr;
}

void AddWingman(SceneItem* item)
{
    if (WingFrozen() || !item)
        return;
    PruneWingmen();
    for (const WingSlot& slot : gWingSlots)
        if (slot.item == item)
            return;
    for (WingSlot& slot : gWingSlots) {
        if (!slot.item) {
            slot.item = item;
            slot.selected = 0;
            return;
        }
    }
}

size_t FormatWingReply(char* out, size_t capacity, const char* format, const char* first, const char* second)
{
    if (!out || capacity == 0)
        return 0;
    size_t length = 0;
    auto put = [&](char c) {
        if (length + 1 < capacity)
            out[length++] = c;
    };
    const char* arguments[2] = {first ? first : "", second ? second : ""};
    int used = 0;
    for (const char* p = format ? format : ""; *p; ++p) {
        if (p[0] == '%' && p[1] == '%') { // a literal %, copied as it stands
            put(*p++);
            put(*p);
            continue;
        }
        if (p[0] == '%' && p[1] == 's') {
            for (const char* a = used < 2 ? arguments[used] : ""; *a; ++a)
                put(*a);
            ++used;
            ++p;
            continue;
        }
        put(*p);
    }
    out[length] = '\0';
    return length;
}

bool WingmanReply(SceneItem* commander, SceneItem* wingman, int32_t type)
{
    const ShipInfo* wing = ShipInfoOf(wingman);
    if (!wing || !commander || !commander->sim || type < 0 || type >= kWingCommandCount)
        return false;
    SceneItem* leader = commander->sim->secondTarget.Get();
    SceneItem* target = commander->sim->target.Get();
    const ShipInfo* leaderInfo = ShipInfoOf(leader);
    if (type == 2 && leaderInfo && leaderInfo->side == wing->side) {
        CopyReply(GameText(kReplyOwnSideLeader));
        return false;
    }
    if (type == 3 && leaderInfo && leaderInfo->side != wing->side) {
        CopyReply(GameText(kReplyOtherSideLeader));
        return false;
    }
    const WingReplyRow& row = kWingReplies[type];
    if (!row.namesSubject) {
        CopyReply(GameText(row.text));
        return true;
    }
    if (row.needsTarget && !target) {
        CopyReply(GameText(kReplyNoTarget));
        return false;
    }
    if (row.needsLeader && !leader) {
        CopyReply(GameText(kReplyNoLeader));
        return false;
    }
    const ShipInfo* subject = ShipInfoOf(row.needsTarget ? target : leader);
    const char* name = subject ? subject->name : wingman->avatar ? wingman->avatar->label
                                                                 : nullptr;
    if (!name)
        return true;
    FormatWingReply(gWingReply, kWingReplySize, GameText(row.text), "%s", name);
    return true;
}

int32_t GiveWingmanOrder(SceneItem* commander, SceneItem* wingman, int32_t type)
{
    if (!WingmanReply(commander, wingman, type))
        return -1;
    if (type != 7)
        UndockItem(wingman);
    ShipInfo* shipInfo = ShipInfoOf(wingman);
    Sim* sim = wingman->sim;
    const Sim* own = commander->sim;
    const int32_t n = FindOrAddOrderSlot(shipInfo, "FollowPlayer");
    SetOrderSlot(shipInfo, n, 0, 0, 0, 100, EvalDefault, 5, 0);
    OrderSlot& slot = shipInfo->orders[n];
    slot.lastScore = 100;
    SceneItem* target = own->target.Get();
    switch (type) {
    case 1: SetOrderState(shipInfo, n, 43, static_cast<int32_t>(ItemHandle(commander)), 0, 0); break;
    case 2:
        SetOrderState(shipInfo, n, 45, 0, 0, 0);
        sim->secondTarget = own->secondTarget.Get();
        sim->target = own->secondTarget.Get();
        sim->flags |= 0x400 | 0x1000;
        break;
    case 3:
        SetOrderState(shipInfo, n, 27, 0, 0, 0);
        if (wingman->avatar)
            wingman->avatar->defended = target;
        break;
    case 4:
        if (ShipInfoOf(target)) {
            SetOrderState(shipInfo, n, 42, static_cast<int32_t>(ItemHandle(target)), 0, 0);
        } else {
            SetOrderState(shipInfo, n, 49, 0, 0, 0);
            sim->target = target;
        }
        break;
    case 5: SetOrderState(shipInfo, n, 61, 0, 0, 0); break;
    case 6:
        SetOrderState(shipInfo, n, 33, 0, 0, 0);
        if (target)
            sim->target = target;
        // Fight it as a leader does (0x1000 alone would be the flight style).
        sim->flags = (sim->flags & ~kStyleMask) | kStyleLeader;
        break;
    case 7:
        slot.weight = 0;
        SetOrderState(shipInfo, n, 61, 0, 0, 0);
        break;
    case 8:
        SetOrderState(shipInfo, n, 13, 0, 0, 0);
        if (target)
            sim->target = target;
        break;
    default: break;
    }
    ActivateOrder(wingman, n);
    return n;
}

void ListWingmenNames(char* out, size_t capacity)
{
    if (!out || capacity == 0)
        return;
    out[0] = '\0';
    size_t length = 0;
    auto append = [&](const char* text) {
        for (; *text && length + 1 < capacity; ++text)
            out[length++] = *text;
        out[length] = '\0';
    };
    bool first = true;
    for (const WingSlot& slot : gWingSlots) {
        const ShipInfo* shipInfo = ShipInfoOf(slot.item);
        if (!shipInfo)
            continue;
        if (!first)
            append(", ");
        append(shipInfo->name ? shipInfo->name : "");
        first = false;
    }
    if (!first)
        append(" ");
}

void CommandWingmen(SceneItem* commander, int32_t type)
{
    CommandWingmenWhere(commander, type, [](const WingSlot&) { return true; });
}

void CommandSelectedWingmen(SceneItem* commander, int32_t type)
{
    CommandWingmenWhere(commander, type,
                        [](const WingSlot& slot) { return slot.selected && !CrewDamaged(slot.item); });
}

void RegroupWingmen(SceneItem* commander)
{
    if (WingFrozen())
        return;
    PruneWingmen();
    bool any = false;
    for (const WingSlot& slot : gWingSlots) {
        if (!slot.item)
            continue;
        WingmanReply(commander, slot.item, slot.lastCommandType);
        any = true;
    }
    if (!any)
        return;
    char names[512];
    ListWingmenNames(names, sizeof names);
    LogWingReply(names);
}

void CommandNextWingman(SceneItem* commander, int32_t type)
{
    if (WingFrozen())
        return;
    PruneWingmen();
    for (int step = 0; step < kWingSlotCount; ++step) {
        const int32_t i = ((gNextWingman % kWingSlotCount) + kWingSlotCount + step) % kWingSlotCount;
        WingSlot& slot = gWingSlots[i];
        if (!slot.item || CrewDamaged(slot.item))
            continue;
        gNextWingman = (i + 1) % kWingSlotCount;
        if (OrderWingman(commander, slot, type)) {
            const ShipInfo* shipInfo = ShipInfoOf(slot.item);
            char name[128];
            FormatWingReply(name, sizeof name, "%s ", shipInfo->name, nullptr);
            LogWingReply(name);
        }
        return;
    }
}
