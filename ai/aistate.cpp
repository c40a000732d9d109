// The AI state machine: the state table, the stack dispatcher and the
// control routines of AI ships, script ships and mines. The states
// themselves live with their kind (combat, docking, movement); a state not
// yet built shares one placeholder that holds the ship as it is.
#include "ai/aistate.h"

#include <cmath>
#include <cstring>

#include "ai/escortstates.h"
#include "ai/huntingstates.h"
#include "ai/movementstates.h"
#include "ai/combatstates.h"
#include "ai/dockingstates.h"
#include "ai/orders.h"
#include "ai/weapons.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "ui/contacts.h"
#include "world/behaviours.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/steering.h"

namespace {

// State 0: the empty stack's idle behaviour, braking to rest.
AIStateResult* NullState(AIStateResult* result, SceneItem* item, int16_t, float, int32_t*, int32_t,
                         int32_t, int32_t)
{
    StopInPlace(item);
    result->action = kAIStay;
    return result;
}

} // namespace

// In id order; the names are the ones the game shows and logs.
const AIStateDef AIStateTable[kAIStateCount + 1] = {
    {"Null", NullState, 0, 0x00},
    {"Default", DefaultState, 1, 0x00},
    {"df_testPrey", df_testPrey, 2, 0x00},
    {"df_chasePrey", df_chasePrey, 3, 0x00},
    {"df_baseState", df_baseState, 4, 0x01},
    {"df_newPrey", df_newPrey, 5, 0x00},
    {"hd_moveAway", hd_moveAway, 6, 0x00},
    {"hideFrom", hideFrom, 7, 0x00},
    {"hd_hideAux", hd_hideAux, 8, 0x00},
    {"TestingState", TestingState, 9, 0x00},
    {"MoveToStop", MoveToStop, 10, 0x00},
    {"MoveToStopRelative", MoveToStopRelative, 11, 0x01},
    {"UnDock", UnDock, 12, 0x00},
    {"DockingBaseState", DockingBaseState, 13, 0x29},
    {"DockingDemolishState", DockingDemolishState, 14, 0x29},
    {"dk_orientate", dk_orientate, 15, 0x21},
    {"dk_finalAproach", dk_finalAproach, 16, 0x21},
    {"LagrangeState", LagrangeState, 17, 0x09},
    {"MatchVelState", MatchVelState, 18, 0x11},
    {"GenericOffensiveState", GenericOffensiveState, 19, 0x0F},
    {"off_Close", off_Close, 20, 0x07},
    {"off_FireAtWill", off_FireAtWill, 21, 0x07},
    {"UmovingGuardState", UmovingGuardState, 22, 0x00},
    {"DefNetGuardState", DefNetGuardState, 23, 0x00},
    {"Gun_lead_motion", Gun_lead_motion, 24, 0x07},
    {"ConstantFire", ConstantFire, 25, 0x00},
    {"Retaliation", Retaliation, 26, 0x00},
    {"DefendMothership", DefendMothership, 27, 0x00},
    {"LDADeffTwo", LDADeffTwo, 28, 0x00},
    {"RotationalDeff", RotationalDeff, 29, 0x00},
    {"TailBitingState", TailBitingState, 30, 0x12},
    {"FaceAttackState", FaceAttackState, 31, 0x12},
    {"CombatAchieveRange", CombatAchieveRange, 32, 0x07},
    {"CombatState", CombatState, 33, 0x0F},
    {"SelfPreservationState", SelfPreservationState, 34, 0x07},
    {"WeaponsPassState", WeaponsPassState, 35, 0x0A},
    {"BigBombState", BigBombState, 36, 0x00},
    {"DroneTarget", DroneTarget, 37, 0x00},
    {"DroneMovingTarget", DroneMovingTarget, 38, 0x00},
    {"DroneChasingTarget", DroneChasingTarget, 39, 0x00},
    {"OrbitalAttack", OrbitalAttack, 40, 0x00},
    {"DeflectorState", DeflectorState, 41, 0x00},
    {"CombatFollower", CombatFollower, 42, 0x00},
    {"PlayerFollower", PlayerFollower, 43, 0x00},
    {"CombatOnce", CombatOnce, 44, 0x0A},
    {"WingmanCombatOnce", WingmanCombatOnce, 45, 0x00},
    {"SimplePursuit", SimplePursuit, 46, 0x00},
    {"AchieveRange", AchieveRange, 47, 0x11},
    {"AchieveFieldRangeState", AchieveFieldRangeState, 48, 0x11},
    {"EscortState", EscortState, 49, 0x00},
    {"CapsuleState", CapsuleState, 50, 0x00},
    {"AggroEscortState", AggroEscortState, 51, 0x12},
    {"BusDriver", BusDriver, 52, 0x00},
    {"BusDriverNotStopping", BusDriverNotStopping, 53, 0x00},
    {"Loiter", Loiter, 54, 0x00},
    {"tst_FlyBackwards", tst_FlyBackwards, 55, 0x00},
    {"tst_FlyFowards", tst_FlyFowards, 56, 0x00},
    {"tst_HoldFormation", tst_HoldFormation, 57, 0x00},
    {"EscapeState", EscapeState, 58, 0x00},
    {"esc_Flee", esc_Flee, 59, 0x07},
    {"AcquireTarget", AcquireTarget, 60, 0x00},
    {"DoNothingState", DoNothingState, 61, 0x00},
    {"DriftState", DriftState, 62, 0x00},
    {"MissileState", MissileState, 63, 0x07},
    {"DumbMissileState", DumbMissileState, 64, 0x00},
    {"FullStop", FullStop, 65, 0x00},
    {"FullStopRelative", FullStopRelative, 66, 0x01},
    {"LDS to NavTarget", LdsToNavTarget, 67, 0x09},
    {"LDS Approach", LdsApproach, 68, 0x01},
    {"Enter LDS", EnterLds, 69, 0x00},
    {"LDS Escort", LdsEscort, 70, 0x01},
    {"LDSFlight", LDSFlight, 71, 0x09},
    {"Straight LDS", StraightLds, 72, 0x00},
    {"SeekOrbitalSpeed", SeekOrbitalSpeed, 73, 0x00},
    {"HarpoonTargetedState", HarpoonTargetedState, 74, 0x00},
    {"Watch", Watch, 75, 0x00},
    {nullptr, nullptr, 0, 0},
};

AIStateTables gAIStates = {};

void LoadAIStateTable()
{
    gAIStates = {};
    for (int id = 0; id < kAIStateSlots; ++id)
        for (const AIStateDef* row = AIStateTable; row->handler; ++row)
            if (row->id == id) {
                gAIStates.handlers[id] = row->handler;
                gAIStates.names[id] = row->name;
                gAIStates.flags[id] = row->flags;
            }
}

void ResetStateStack(ShipInfo* shipInfo)
{
    for (AIStateFrame& frame : shipInfo->stateStack) {
        frame.stateId = 0;
        frame.subState = 0;
    }
    shipInfo->currentFrame = 0;
}

void ClearAIBlock(ShipInfo* shipInfo)
{
    std::memset(shipInfo->stateStack, 0, sizeof shipInfo->stateStack);
    shipInfo->currentFrame = 0;
    shipInfo->dockPoints = nullptr;
    shipInfo->collisionWord = 0;
    shipInfo->heatTickCarry = 0;
    shipInfo->pointingCounter = 0;
}

namespace {

// A live item of the ship's own scene generation.
bool Usable(const SceneItem* other, const SceneItem* ship)
{
    return other && (other->flags & kItemInUse) && other->sceneGeneration == ship->sceneGeneration;
}

bool Live(const SceneItem* other) { return other && (other->flags & kItemInUse); }

// The item that a state's flags take from its frame's parameters, or null.
SceneItem* Candidate(uint32_t flags, const AIStateFrame& frame)
{
    if (flags & kCandidateParameter2)
        return ItemFromHandle(static_cast<SceneItemHandle>(frame.parameter2));
    if (flags & kCandidateParameter1)
        return ItemFromHandle(static_cast<SceneItemHandle>(frame.parameter1));
    return nullptr;
}

void FinishCurrentOrder(ShipInfo* shipInfo)
{
    if (shipInfo->currentOrder >= 0 && shipInfo->currentOrder < kOrderSlots)
        shipInfo->orders[shipInfo->currentOrder].flags |= 0x2;
}

// value x 1000 cut to an integer, kept within 32 bits (NaN gives 0).
int32_t Thousandths(float value)
{
    const double scaled = static_cast<double>(value) * 1000.0;
    if (!(scaled == scaled))
        return 0;
    if (scaled >= 2147483647.0)
        return INT32_MAX;
    if (scaled <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(scaled);
}

enum class Needs {
    Met,
    StopShip,
    EndOrder
};

// Checks and finds the frame's needed leader and target. `rechosen` tells
// whether the leader was chosen anew.
Needs MeetNeeds(SceneItem* item, ShipInfo* shipInfo, const AIStateFrame& frame, uint32_t flags,
                bool& rechosen)
{
    Sim* sim = item->sim;
    // A gone item ends such an order at once: retargeting on the leader
    // first would send a docking ship to its leader or leave it braking for
    // ever. The item the order names in its parameters is taken first,
    // though: an order given its station that way has its item.
    if (flags & kGoneEndsOrder) {
        SceneItem* candidate = Candidate(flags, frame);
        if ((flags & kNeedsTarget) && !Live(sim->target) && Live(candidate))
            sim->target = candidate;
        if ((flags & kNeedsLeader) && !Live(sim->secondTarget) && Live(candidate)) {
            sim->secondTarget = candidate;
            rechosen = true;
        }
        if (((flags & kNeedsTarget) && !Live(sim->target)) ||
            ((flags & kNeedsLeader) && !Live(sim->secondTarget))) {
            FinishCurrentOrder(shipInfo);
            return Needs::EndOrder;
        }
    }
    if ((flags & kNeedsLeader) && !Usable(sim->secondTarget, item)) {
        SceneItem* candidate = Candidate(flags, frame);
        sim->secondTarget = candidate ? candidate : PickBestEnemy(item);
        rechosen = true;
        if (flags & kTargetIsLeader)
            sim->target = sim->secondTarget.Get();
        if (!sim->secondTarget && !(sim->flags & kSimFightOnce))
            return Needs::StopShip;
    }
    if ((flags & kNeedsTarget) && !Usable(sim->target, item)) {
        SceneItem* candidate = Candidate(flags, frame);
        if ((flags & kTargetIsLeader) && Usable(sim->secondTarget, item))
            sim->target = sim->secondTarget.Get();
        else if (candidate)
            sim->target = candidate;
        else if (Usable(sim->secondTarget, item)) // a dead leader is no target
            sim->target = sim->secondTarget.Get();
        else
            return Needs::StopShip;
    }
    return Needs::Met;
}

// Empties the top frame and hands the value to the frame below (the bottom
// frame's pop finishes the order and leaves the stack empty).
void PopFrame(ShipInfo* shipInfo, int32_t& current, float value)
{
    shipInfo->stateStack[current] = AIStateFrame{};
    if (current == 0)
        FinishCurrentOrder(shipInfo);
    else
        --current;
    AIStateFrame& parent = shipInfo->stateStack[current];
    parent.childResult = value;
    const int32_t scaled = Thousandths(value);
    if (parent.timerSlot >= 0 && parent.timerSlot < kAITimers)
        parent.timers[parent.timerSlot] = scaled;
    if ((parent.watchFlags & 0x4) && scaled > parent.limit) {
        parent.subState = parent.savedSubState;
        parent.watchFlags &= ~0x4u;
    }
    if ((parent.watchFlags & 0x2) && scaled < parent.limit) {
        parent.subState = parent.savedSubState;
        parent.watchFlags &= ~0x2u;
    }
}

// Puts the step's state on top. False (nothing written) when the stack is
// full.
bool PushFrame(ShipInfo* shipInfo, int32_t& current, const AIStateResult& step)
{
    if (current + 1 >= kAIStackFrames) {
        DebugPrint("Bummer - stack overflow!\n");
        return false;
    }
    AIStateFrame& frame = shipInfo->stateStack[current];
    frame.subState = step.nextSubState;
    frame.timerSlot = step.timerSlot;
    if (step.action == kAIPushWatchLarger || step.action == kAIPushWatchSmaller) {
        frame.limit = step.limit;
        frame.savedSubState = step.savedSubState;
        frame.watchFlags |= step.action == kAIPushWatchLarger ? 0x4u : 0x2u;
    }
    ++current;
    AIStateFrame& child = shipInfo->stateStack[current];
    child = AIStateFrame{};
    child.stateId = step.pushState;
    child.parameter1 = step.parameter1;
    child.parameter2 = step.parameter2;
    child.parameter3 = step.parameter3;
    child.subState = 1;
    child.timerSlot = 5;
    return true;
}

// A state that ends its order when its item dies keeps that rule while a
// child it pushed runs: a docking ship whose target dies during the
// approach ends its order instead of braking for ever.
bool LowerFrameLostItsItem(const SceneItem* item, const ShipInfo* shipInfo, int32_t current)
{
    const Sim* sim = item->sim;
    for (int32_t n = 0; n < current; ++n) {
        const int32_t id = shipInfo->stateStack[n].stateId;
        const uint32_t flags = id > 0 && id < kAIStateCount ? gAIStates.flags[id] : 0;
        if (!(flags & kGoneEndsOrder))
            continue;
        if (((flags & kNeedsTarget) && !Live(sim->target)) || ((flags & kNeedsLeader) && !Live(sim->secondTarget)))
            return true;
    }
    return false;
}

} // namespace

int32_t RunAIStateStack(SceneItem* item, ShipInfo* shipInfo)
{
    Sim* sim = item->sim;
    CheckFloatSanity(sim->thrust.z);
    CheckFloatSanity(sim->matrix.m[12]);
    int32_t current = shipInfo->currentFrame;
    if (current < 0 || current >= kAIStackFrames)
        current = 0;
    // No target: the leader is one. But a target that died under a state
    // that ends its order then must be seen gone, not replaced.
    int32_t top = current;
    while (top > 0 && shipInfo->stateStack[top].stateId == 0)
        --top;
    const int32_t topId = shipInfo->stateStack[top].stateId;
    const bool endsOnLoss =
        topId >= 0 && topId < kAIStateCount && (gAIStates.flags[topId] & kGoneEndsOrder);
    if (!sim->target && !(endsOnLoss && sim->target.handle != 0))
        sim->target = sim->secondTarget.Get();

    if (LowerFrameLostItsItem(item, shipInfo, current)) {
        FinishCurrentOrder(shipInfo);
        shipInfo->currentFrame = current;
        return 0;
    }

    for (int step = 0;; ++step) {
        if (step == kAIStepLimit) {
            DebugPrint("AI state chain never stayed: run cut short\n");
            break;
        }
        while (current > 0 && shipInfo->stateStack[current].stateId == 0)
            --current;
        AIStateFrame& frame = shipInfo->stateStack[current];
        const int32_t id = frame.stateId;
        const bool known = id >= 0 && id < kAIStateCount && gAIStates.handlers[id];
        const uint32_t flags = known ? gAIStates.flags[id] : 0;

        bool rechosen = false;
        if (flags) {
            const Needs needs = MeetNeeds(item, shipInfo, frame, flags, rechosen);
            if (needs != Needs::Met) {
                if (needs == Needs::StopShip)
                    StopInPlace(item);
                shipInfo->currentFrame = current;
                return 0;
            }
        }

        AIStateResult result{};
        result.value = 1.0f;
        result.nextSubState = frame.subState;
        result.action = kAIStay;
        result.timerSlot = 5;
        if (!known) {
            // A state id outside the table holds nothing to run: it goes
            // (an empty bottom frame without a routine just holds).
            if (current == 0 && id == 0)
                break;
            result.value = 0.0f;
            result.action = kAIPop;
        } else if ((sim->flags & kSimFightOnce) && rechosen) {
            // Fighting once: a second enemy is never taken on.
            sim->secondTarget = nullptr;
            sim->target = nullptr;
            result.value = 0.0f;
            result.action = kAIPop;
        } else {
            CheckFloatSanity(sim->matrix.m[12]);
            gAIStates.handlers[id](&result, item, frame.subState, frame.childResult, frame.timers,
                                   frame.parameter1, frame.parameter2, frame.parameter3);
        }

        if (result.action == kAIPop) {
            PopFrame(shipInfo, current, result.value);
            continue;
        }
        if (result.action == kAIPush || result.action == kAIPushWatchLarger ||
            result.action == kAIPushWatchSmaller) {
            if (PushFrame(shipInfo, current, result))
                continue;
            break; // the push is dropped; the frame stays as it was
        }
        frame.subState = result.nextSubState;
        break;
    }
    shipInfo->currentFrame = current;
    return shipInfo->stateStack[current].stateId;
}

namespace {

// Lowers the attack heat by a quarter of the frame's ticks, carrying the
// remainder, so that short frames cool it as long ones do.
void CoolAttackHeat(Avatar* avatar, ShipInfo* shipInfo)
{
    if (avatar->lockedAmount <= 0) {
        shipInfo->heatTickCarry = 0;
        return;
    }
    const int32_t quarters = gFrameClock.frameTicks + shipInfo->heatTickCarry;
    shipInfo->heatTickCarry = quarters % 4;
    avatar->lockedAmount -= quarters / 4;
    if (avatar->lockedAmount <= 1) {
        avatar->lockedAmount = 0;
        avatar->lockedOn = nullptr;
        shipInfo->heatTickCarry = 0;
    }
}

ShipInfo* ShipInfoOf(SceneItem* item) { return item && item->sim ? item->sim->shipInfo : nullptr; }

} // namespace

void CONTROL_AI(SceneItem* item)
{
    ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo)
        return;
    Sim* sim = item->sim;
    if (sim->flags & kSimBraked)
        return;
    const int32_t ticks = gFrameClock.frameTicks;
    if (!(sim->flags & kSimStunned))
        sim->flags &= ~kSimTurnOncePerFrame;
    else if (!(shipInfo->damage.capabilities & 0x1) && CRand() % 150 < ticks)
        sim->flags &= ~kSimStunned;

    const bool player = item == gPlayerItem;
    if (!player) {
        UpdateWeaponMounts(sim->weapons, item);
        // A damaged crew misses most of its turns.
        if ((shipInfo->damage.capabilities & 0x80) && !(CRand() % 600 <= ticks))
            return;
    }
    if (sim->flags & kSimJumpUnderWay)
        return;
    if (!player)
        UpdateOrders(item, shipInfo);
    if (RunAIStateStack(item, shipInfo) == 0 && player) {
        // The autopilot has nothing left to do: the player flies again.
        sim->flags &= ~kSimAiControl;
        CommitPlayerTarget();
        sim->ldsTargetSpeed = 0.0f;
    }
    if (item->avatar)
        CoolAttackHeat(item->avatar, shipInfo);
    sim->flags &= ~kSimAvoidingSecondTarget;
    const int16_t order = shipInfo->currentOrder;
    const int32_t orderState =
        order >= 0 && order < kOrderSlots ? shipInfo->orders[order].stateId : 0;
    // A docking ship closes on its partner on purpose.
    if (orderState != 13 && orderState != 15 && item->avatar && item->avatar->obstacle)
        AvoidCollision(item);
}

void CONTROL_AIFREE(SceneItem* item)
{
    ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo)
        return;
    UpdateWeaponMounts(item->sim->weapons, item);
    RunAIStateStack(item, shipInfo);
    item->pitchRemaining = item->pitchDemand;
    item->yawRemaining = item->yawDemand;
    item->rollRemaining = item->rollDemand;
}

void UpdateMineAI(SceneItem* item)
{
    ShipInfo* shipInfo = ShipInfoOf(item);
    if (!shipInfo)
        return;
    KeepInField(item);
    UpdateOrders(item, shipInfo);
    RunAIStateStack(item, shipInfo);
    UpdateWeaponMounts(item->sim->weapons, item);
}
