// Ship orders: the eight order slots of a ship, their evaluators, the order
// table that scripts look names up in, and the player's wing.
// The slot writers are built; the other bodies stand in, each only
// recording its call (system/calltrace.h) until the module itself is
// built; their results are zero or null.
#include "ai/orders.h"

#include "system/calltrace.h"
#include "system/crand.h"

const OrderProgram OrderProgramTable[] = {{}};
WingSlot gWingSlots[kWingSlotCount] = {};

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

namespace {

OrderSlot* SlotOf(ShipInfo* shipInfo, int32_t slot)
{
    return shipInfo && slot >= 0 && slot < kOrderSlots ? &shipInfo->orders[slot] : nullptr;
}

} // namespace

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

void ActivateOrder(SceneItem* item, int32_t slot)
{
    RecordCall("ActivateOrder");
}

int32_t EvalDefault(SceneItem* item, int32_t parameter1, SceneItem* second)
{
    RecordCall("EvalDefault");
    return {};
}

int32_t EvalSelfPreservation(SceneItem* item, int32_t threshold, SceneItem* watched)
{
    RecordCall("EvalSelfPreservation");
    return {};
}

uint32_t EnemyClassMask(SceneItem* item)
{
    RecordCall("EnemyClassMask");
    return {};
}

void AddWingman(SceneItem* item)
{
    RecordCall("AddWingman");
}

void UpdateOrders(SceneItem* item, ShipInfo* shipInfo)
{
    RecordCall("UpdateOrders");
}

SceneItem* PickBestEnemy(SceneItem* item)
{
    RecordCall("PickBestEnemy");
    return nullptr;
}
