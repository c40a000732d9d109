// The escort, follower, guard and special states: escorts and followers,
// gun platforms and hard-point defences, missiles and capsules, the bus
// routes, loitering, the harpoon and the watch. Handlers of the AI state
// table (ai/aistate.h).
#pragma once

#include "ai/aistate.h"

// Handlers, by state id.
AIStateResult* UmovingGuardState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);    // 22
AIStateResult* DefNetGuardState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);     // 23
AIStateResult* LDADeffTwo(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);           // 28
AIStateResult* RotationalDeff(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 29
AIStateResult* BigBombState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 36
AIStateResult* DeflectorState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 41
AIStateResult* CombatFollower(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 42
AIStateResult* PlayerFollower(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 43
AIStateResult* EscortState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);          // 49
AIStateResult* CapsuleState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 50
AIStateResult* AggroEscortState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);     // 51
AIStateResult* BusDriver(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);            // 52
AIStateResult* BusDriverNotStopping(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t); // 53
AIStateResult* Loiter(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);               // 54
AIStateResult* MissileState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 63
AIStateResult* DumbMissileState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);     // 64
AIStateResult* HarpoonTargetedState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t); // 74
AIStateResult* Watch(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);                // 75

// The value Watch compares for an item: its hull percentage.
int32_t WatchValue(const SceneItem* item);
