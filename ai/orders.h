// Ship orders: the eight order slots of a ship, their evaluators, the order
// table that scripts look names up in, and the player's wing.
#pragma once

#include <cstdint>

#include "world/records.h"

// One row of the static order table; the table ends with a null name.
struct OrderProgram {
    const char* name;
    OrderEvaluator evaluator;
    int32_t stateId;
    int32_t parameters[3];
};

// The player's wing: 13 slots.
struct WingSlot {
    SceneItem* item;          // null = free
    uint32_t lastCommandTime; // game clock
    int16_t lastCommandType;
    uint8_t selected;
};
constexpr int kWingSlotCount = 13;

extern const OrderProgram OrderProgramTable[];
extern WingSlot gWingSlots[kWingSlotCount];

void ClearOrderSlots(ShipInfo* shipInfo);
void SetOrderSlot(ShipInfo* shipInfo, int32_t slot, int32_t prerequisite, int32_t startDelay, int32_t timeLimit, int32_t weight, OrderEvaluator evaluator, int32_t parameter1, int32_t parameter2);
void SetOrderState(ShipInfo* shipInfo, int32_t slot, int32_t stateId, int32_t parameter1, int32_t parameter2, int32_t parameter3);
void ActivateOrder(SceneItem* item, int32_t slot);
int32_t EvalDefault(SceneItem* item, int32_t parameter1, SceneItem* second);
int32_t EvalSelfPreservation(SceneItem* item, int32_t threshold, SceneItem* watched);
uint32_t EnemyClassMask(SceneItem* item);
void AddWingman(SceneItem* item);
// The per-frame order step of a ship other than the player's.
void UpdateOrders(SceneItem* item, ShipInfo* shipInfo);
// The enemy a ship should fight now, or null.
SceneItem* PickBestEnemy(SceneItem* item);
