// Ship orders: the eight order slots of a ship, their evaluators, the order
// table that scripts look names up in, and the player's wing.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ai/orders.h"

#include "system/calltrace.h"

const OrderProgram OrderProgramTable[] = { {} };
WingSlot gWingSlots[kWingSlotCount] = {};

void ClearOrderSlots(ShipInfo* shipInfo)
{
    RecordCall("ClearOrderSlots");
}

void SetOrderSlot(ShipInfo* shipInfo, int32_t slot, int32_t prerequisite, int32_t startDelay, int32_t timeLimit, int32_t weight, OrderEvaluator evaluator, int32_t parameter1, int32_t parameter2)
{
    RecordCall("SetOrderSlot");
}

void SetOrderState(ShipInfo* shipInfo, int32_t slot, int32_t stateId, int32_t parameter1, int32_t parameter2, int32_t parameter3)
{
    RecordCall("SetOrderState");
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
