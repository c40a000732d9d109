// The AI state machine: the table of the 76 states, the step record that
// every state routine returns, the dispatcher that runs a ship's state
// stack, and the three per-frame control routines that run it (AI ships,
// script ships without orders, mines).
//
// A run calls the top frame's handler and acts on its answer: stay ends the
// run, push puts a child on top and goes on with it, pop hands a value down
// to the parent and goes on with the parent. So a chain of pushes and pops
// all runs within one frame. Before a handler is called the dispatcher
// checks the state's needs (a live target or leader) and finds them.
#pragma once

#include <cstdint>

#include "world/records.h"

// The step record a handler fills.
enum AIAction : int16_t {
    kAIPop = 0,
    kAIStay = 1,
    kAIPush = 2,
    kAIPushWatchLarger = 3,  // the parent returns to its saved sub-state on a larger result
    kAIPushWatchSmaller = 4, // ... on a smaller one
};
struct AIStateResult {
    float value;                                // handed to the parent on a pop; 1.0 to start
    int32_t parameter1, parameter2, parameter3; // of the state to push
    int16_t nextSubState;                       // where the calling frame resumes
    int32_t pushState;
    int16_t action; // AIAction
    int32_t limit;  // actions 3 and 4
    int16_t savedSubState;
    int32_t timerSlot; // 0..4, 5 none
};

using AIStateHandler = AIStateResult* (*)(AIStateResult* result, SceneItem* item, int16_t subState,
                                          float childResult, int32_t* timers, int32_t parameter1,
                                          int32_t parameter2, int32_t parameter3);

// The needs flags of a state.
enum : uint32_t {
    kNeedsTarget = 0x01,
    kNeedsLeader = 0x02,
    kTargetIsLeader = 0x04,
    kCandidateParameter1 = 0x08,
    kCandidateParameter2 = 0x10, // wins over parameter 1
    kGoneEndsOrder = 0x20,
};

// Sim flags the AI reads and writes.
enum : uint32_t {
    kSimFightOnce = 0x8000,                // set by CombatOnce: no second enemy is taken on
    kSimAvoidingSecondTarget = 0x40000000, // collision avoidance keeps clear of the leader; cleared each AI step
};

// One row of the static state table.
struct AIStateDef {
    const char* name;
    AIStateHandler handler;
    int32_t id;
    uint32_t flags;
};
constexpr int kAIStateCount = 76;
constexpr int kAIStateSlots = 100;

// The run-time tables by state id, filled by LoadAIStateTable; slots 76-99
// stay empty. Tests may put their own handlers in.
struct AIStateTables {
    AIStateHandler handlers[kAIStateSlots];
    const char* names[kAIStateSlots];
    uint32_t flags[kAIStateSlots];
};
extern AIStateTables gAIStates;
extern const AIStateDef AIStateTable[kAIStateCount + 1]; // ended by a null handler

// The longest run of steps without a stay: a run that reaches it ends, the
// stack kept as it is.
constexpr int kAIStepLimit = 4096;

// Fills the run-time tables from the state table; once, at start-up.
void LoadAIStateTable();
// Runs the ship's stack until a step stays. Answers the current frame's
// state id (0 for an empty stack), or 0 when a need could not be met.
int32_t RunAIStateStack(SceneItem* item, ShipInfo* shipInfo);
// Empties all 12 frames and makes the first one current.
void ResetStateStack(ShipInfo* shipInfo);
// Empties the stack and forgets the dock points and the collision word:
// for a copy of another ship's ShipInfo.
void ClearAIBlock(ShipInfo* shipInfo);

// Control routines: AI ships (and the player's autopilot), script ships
// without orders, mines.
void CONTROL_AI(SceneItem* item);
void CONTROL_AIFREE(SceneItem* item);
void UpdateMineAI(SceneItem* item);
