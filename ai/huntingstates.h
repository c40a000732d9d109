// The hunting, hiding and drone states: a chain that walks the scene list
// for prey, a chain that hides behind a nearby part of the scene, and the
// three practice drones. Handlers of the AI state table (ai/aistate.h).
#pragma once

#include "ai/aistate.h"

struct TDP;

// Handlers, by state id.
AIStateResult* df_testPrey(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);        // 2
AIStateResult* df_chasePrey(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 3
AIStateResult* df_baseState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 4
AIStateResult* df_newPrey(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 5
AIStateResult* hd_moveAway(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);        // 6
AIStateResult* hideFrom(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);           // 7
AIStateResult* hd_hideAux(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 8
AIStateResult* DroneTarget(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);        // 37
AIStateResult* DroneMovingTarget(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);  // 38
AIStateResult* DroneChasingTarget(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t); // 39

// A part as a state parameter: its pool slot + 1 (0 = none). Reading one
// back gives null for 0, a slot outside the pool or a part no longer in use.
int32_t PartParam(const TDP* part);
TDP* ParamPart(int32_t parameter);
