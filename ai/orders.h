// Ship orders: the eight order slots of a ship, their evaluators, the order
// table that scripts look names up in, the choice of the enemy a ship
// fights, and the player's wing.
//
// An evaluator scores from 0 to 100 how well its order fits the moment;
// the slot's weight multiplies the score. Every half second one slot of a
// ship is scored in turn, and an order that clearly beats the current one
// becomes current, which restarts the ship's AI state stack at the order's
// state. Items named in an evaluator's parameters are SceneItemHandles.
#pragma once

#include <cstddef>
#include <cstdint>

#include "world/records.h"

// One row of the static order table; the table ends with a null name.
struct OrderProgram {
    const char* name;
    OrderEvaluator evaluator;
    int32_t stateId;
    int32_t parameters[3];
};
constexpr int kOrderProgramCount = 61;

// The player's wing: 13 slots.
struct WingSlot {
    SceneItem* item;          // null = free
    uint32_t lastCommandTime; // game clock
    int16_t lastCommandType;
    uint8_t selected;
};
constexpr int kWingSlotCount = 13;

extern const OrderProgram OrderProgramTable[kOrderProgramCount + 1];
extern WingSlot gWingSlots[kWingSlotCount];
// The wing's reply to the last command, and where CommandNextWingman stands.
constexpr size_t kWingReplySize = 256;
extern char gWingReply[kWingReplySize];
extern int32_t gNextWingman;

// ---- Slots (the ShipInfo first; n is a slot number 0..7) -----------------

// Clears every slot but its name; slot 1 becomes current and the next to
// score; the tick accumulator starts at random so ships score apart.
void ClearOrderSlots(ShipInfo* shipInfo);
void SetOrderSlot(ShipInfo* shipInfo, int32_t slot, int32_t prerequisite, int32_t startDelay, int32_t timeLimit, int32_t weight, OrderEvaluator evaluator, int32_t parameter1, int32_t parameter2);
void SetOrderState(ShipInfo* shipInfo, int32_t slot, int32_t stateId, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// The first slot 1..7 without an evaluator takes the name; 0 when all are
// used (the caller then works on slot 0).
int32_t FindFreeOrderSlot(ShipInfo* shipInfo, const char* name);
// The first slot whose name equals the name (case-sensitive); -1 when none.
int32_t FindOrderSlotByName(ShipInfo* shipInfo, const char* name);
int32_t FindOrAddOrderSlot(ShipInfo* shipInfo, const char* name);
// Makes slot n current: the old slot keeps the ship's target and leader,
// the state stack restarts at slot n's state, and slot n's saved target and
// leader come back.
void ActivateOrder(SceneItem* item, int32_t slot);
// The per-frame order step of a ship other than the player's.
void UpdateOrders(SceneItem* item, ShipInfo* shipInfo);
// Scores slot n and switches orders when one clearly beats the current.
void EvaluateOrderSlot(SceneItem* item, ShipInfo* shipInfo, int32_t slot);

// ---- Enemies --------------------------------------------------------------

// The class flags that count as enemies of the ship, by its side.
uint32_t EnemyClassMask(SceneItem* item);
// Sets the Sim's leader to the most threatening enemy (or none) and
// returns it.
SceneItem* PickBestEnemy(SceneItem* item);
// The same with the rating routine given (ThreatRating's shape): the
// choice rules apart from the rating.
using ThreatRater = float (*)(SceneItem* item, SceneItem* other, uint32_t mask);
SceneItem* PickBestEnemyRatedBy(SceneItem* item, ThreatRater rate);

// ---- Evaluators (item, parameter 1, parameter 2, slot) -> 0..100 ----------

int32_t EvalDefault(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalDockWhenClose(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalPullOut(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalSeekAndDestroy(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalStayNear(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalSelfPreservation(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalProvokedAttack(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalAcquire(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalDefendObject(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalSentryDuty(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalDestroyIfTarget(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalWaitForTrouble(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalCheckLDA(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalDefendMothership(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalHullAbove(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);
int32_t EvalNearestHostile(SceneItem* item, int32_t p1, int32_t p2, OrderSlot* slot);

// ---- The player's wing ------------------------------------------------------

void PruneWingmen();
// Unless the mission is frozen: the item takes the lowest free wing slot.
void AddWingman(SceneItem* item);
// Writes the wingman's reply to a command into gWingReply; true when the
// wingman accepts.
bool WingmanReply(SceneItem* commander, SceneItem* wingman, int32_t type);
// Puts texts into a reply format: the first %s takes `first`, the second
// `second` (null: nothing), any later one nothing; any other % sequence is
// copied as it stands, so no text can make it read or write elsewhere. The
// result is cut to the buffer; returns its length. A reply is made with
// first "%s" (kept for the list of names) and the subject's name second.
size_t FormatWingReply(char* out, size_t capacity, const char* format, const char* first, const char* second);
// Gives the wingman the command; the slot it works on, or -1 when refused.
int32_t GiveWingmanOrder(SceneItem* commander, SceneItem* wingman, int32_t type);
// Every wingman's ShipInfo name, each followed by ", " but the last by " ".
void ListWingmenNames(char* out, size_t capacity);
void CommandWingmen(SceneItem* commander, int32_t type);
void RegroupWingmen(SceneItem* commander);
void CommandSelectedWingmen(SceneItem* commander, int32_t type);
void CommandNextWingman(SceneItem* commander, int32_t type);
