// The AI docking states: choose and reserve a pair of ports, stand off in
// front of the target's port, turn and roll into the docked orientation,
// close port on port; DockAndDemolish and UnDock on top of them. The ports
// and the coupling itself live in ai/docking.h.
#pragma once

#include "ai/aistate.h"

// State 12: undocks the ship, then stays with 1.0.
AIStateResult* UnDock(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// State 13: the whole docking run (parameters: item, own point + 1, target's
// point + 1; 0 = any); pops 1.0 docked, 0 when no pair is free.
AIStateResult* DockingBaseState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// State 14: docks, waits, undocks and destroys the target.
AIStateResult* DockingDemolishState(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// State 15 (parameters: own point, target's point, target): turns to the
// docked orientation from a stand-off point in front of the target's port.
AIStateResult* dk_orientate(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);
// State 16 (parameters: own point, target's point): closes port on port.
AIStateResult* dk_finalAproach(AIStateResult* result, SceneItem* item, int16_t subState, float childResult, int32_t* timers, int32_t parameter1, int32_t parameter2, int32_t parameter3);

// The stand-off point dk_orientate aims at (world axes) and its distance
// from the target's port, from its last call: read by tests and displays.
struct OrientateAim {
    Vector3d point;
    float standOff;
};
extern OrientateAim gOrientateAim;
