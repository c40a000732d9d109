// The player's orders to the controlled ship and the pending jump.
#include "screens/vesselorders.h"

#include "ai/docking.h"
#include "ai/orders.h"
#include "screens/navstation.h"
#include "system/frameclock.h"
#include "ui/contacts.h"
#include "ui/shiplog.h"
#include "view/bodyrender.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/universe.h"

#include "script/worldlink.h"

int16_t gPendingJumpSystem = 0;
SystemBody* gPendingJumpBody = nullptr;
int16_t CurrentOrderIndex = 0;
float gEscortRange = 80000.0f;

namespace {

// The AI states the orders fly.
enum : int32_t {
    kStateDockingBase = 13,
    kStateLagrange = 17,
    kStateMatchVel = 18,
    kStateLdaDefence = 28,
    kStateSimplePursuit = 46,
    kStateAchieveRange = 47,
    kStateEscort = 49,
    kStateFlee = 59,
    kStateFullStop = 65,
    kStateFullStopRelative = 66,
    kStateLdsEscort = 70,
};
constexpr int32_t kOrderSlot = 1;
constexpr int32_t kOrderPriority = 80;
constexpr int32_t kLdsEscortRange = 1500000;
constexpr uint32_t kClassLagrangePoint = 0x1000000;
// The capsule drive's damaged-capability bit: no jump while it is set.
constexpr int16_t kCapsuleDriveDamaged = 0x40;

SceneItem* NavTarget()
{
    return gControlledItem && gControlledItem->sim ? gControlledItem->sim->navTarget.Get() : nullptr;
}

int32_t Handle(const SceneItem* item) { return static_cast<int32_t>(ItemHandle(item)); }

// Slot 1 of the controlled ship gets the name, the default evaluator and
// the state, and becomes current.
void FlyOrder(const char* name, int32_t state, int32_t a, int32_t b, int32_t c)
{
    if (!gControlledItem || !gControlledItem->sim || !gControlledItem->sim->shipInfo)
        return;
    ShipInfo* info = gControlledItem->sim->shipInfo;
    info->orders[kOrderSlot].name = name;
    SetOrderSlot(info, kOrderSlot, 0, 0, 0, kOrderPriority, EvalDefault, kOrderPriority, 0);
    SetOrderState(info, kOrderSlot, state, a, b, c);
    ActivateOrder(gControlledItem, kOrderSlot);
}

int32_t EscortRange() { return static_cast<int32_t>(gEscortRange); }

bool LdsEngaged(const SceneItem* item) { return item && item->sim && (item->sim->flags & kSimLdsEngaged); }

} // namespace

const CommandOrderRow kCommandOrderTable[kCommandOrders] = {
    {"STOP", 0, OrderStop, nullptr},
    {"APPROACH", 255, OrderApproach, OrderApproach},
    {"FORMATE", 255, OrderFormate, OrderLdsEscort},
    {"DOCK", 255, OrderDock, nullptr},
    {"STOP REL", 255, OrderStopRelative, nullptr},
    {"PURSUE", 255, OrderPursue, OrderLdsEscort},
    {"EVADE", 0, OrderEvade, nullptr},
    {"LDA DEF", 0, OrderLdaDefence, nullptr},
    {"MATCH VEL", 255, OrderMatchVelocity, nullptr},
};

void ResetVesselOrders()
{
    CurrentOrderIndex = 0;
    gEscortRange = 80000.0f;
}

void CommandOrder(int32_t row)
{
    if (row < 0 || row >= kCommandOrders || !gControlledItem || !gControlledItem->sim)
        return;
    const CommandOrderRow& order = kCommandOrderTable[row];
    Sim* sim = gControlledItem->sim;
    if (order.needsTarget && !sim->navTarget.Get()) {
        SceneItem* contact = CurrentContactItem();
        if (!contact)
            return;
        sim->navTarget = contact;
        gContacts.navTarget = contact;
    }
    if ((sim->flags & kSimLdsEngaged) && !order.lds && !BeginLdsDisengage())
        return;
    CurrentOrderIndex = static_cast<int16_t>(row);
    sim->flags |= kSimAiControl;
    RunCurrentOrder(nullptr);
}

void RunCurrentOrder(WindowHandle*)
{
    if (CurrentOrderIndex < 0 || CurrentOrderIndex >= kCommandOrders)
        return;
    const CommandOrderRow& order = kCommandOrderTable[CurrentOrderIndex];
    // Under LDS a row without an LDS routine flies its normal one: a STOP
    // given under LDS stops once the wind-down has begun.
    if (LdsEngaged(gControlledItem) && order.lds)
        order.lds();
    else if (order.normal)
        order.normal();
}

void OrderStop() { FlyOrder("STOP", kStateFullStop, 0, 0, 0); }

void OrderApproach()
{
    SceneItem* target = NavTarget();
    if (target && target->avatar && (target->avatar->classFlags & kClassLagrangePoint))
        FlyOrder("APPROACH", kStateLagrange, Handle(target), 3, 0);
    else
        FlyOrder("APPROACH", kStateAchieveRange, 0, Handle(target), 0);
}

void OrderFormate() { FlyOrder("FORMATE", kStateEscort, EscortRange(), Handle(NavTarget()), 0); }

void OrderDock()
{
    SceneItem* target = NavTarget();
    if (!target || !target->sim || !target->sim->shipInfo) {
        AddShipLogText(static_cast<int32_t>(gFrameClock.gameClock), "NavTarget not suitable for docking");
        return;
    }
    FlyOrder("DOCK", kStateDockingBase, Handle(target), 0, 0);
}

void OrderStopRelative() { FlyOrder("STOP REL", kStateFullStopRelative, 0, 0, 0); }

void OrderPursue() { FlyOrder("PURSUE", kStateSimplePursuit, EscortRange(), 0, 0); }

void OrderEvade() { FlyOrder("EVADE", kStateFlee, 0, 0, 0); }

// Shown as an approach: the defence flies toward the LDA.
void OrderLdaDefence() { FlyOrder("APPROACH", kStateLdaDefence, 260, 0, 0); }

void OrderMatchVelocity()
{
    SceneItem* target = NavTarget();
    if (LdsEngaged(target))
        return;
    FlyOrder("MATCH VEL", kStateMatchVel, EscortRange(), Handle(target), 0);
}

void OrderLdsEscort() { FlyOrder("LDS On", kStateLdsEscort, kLdsEscortRange, 0, 0); }

void ExecutePendingJump(WindowHandle*)
{
    if (gPendingJumpSystem == 0 || !gPendingJumpBody)
        return;
    SceneItem* player = gPlayerItem;
    if (!player || !player->sim)
        return;
    if (player->perFrame != UpdateCoupledShip) {
        const ShipInfo* info = player->sim->shipInfo;
        if (info && (info->damage.capabilities & kCapsuleDriveDamaged))
            return;
    }
    SceneItem* gate = gCurrentLagrangeDevice;
    const WorldPosition before = gate && gate->sim ? gate->sim->position : WorldPosition{};
    if (gPendingJumpSystem == player->sceneGeneration) {
        PlaceAtBody(player, gPendingJumpBody);
    } else {
        MoveToSystem(LookUpStarName(gPendingJumpSystem), gPendingJumpBody->name);
        const WorldPosition after = gate && gate->sim ? gate->sim->position : WorldPosition{};
        PurgeOtherSystems(player->sceneGeneration, {before.x - after.x, before.y - after.y, before.z - after.z});
    }
    RefreshPlanetDetail();
    gPendingJumpBody = nullptr;
    gPendingJumpSystem = 0;
    gAlienDevicesEnabled = 0;
}
