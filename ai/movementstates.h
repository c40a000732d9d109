// The movement and LDS states: stop, match a velocity, reach a range, cross
// a system on the LDS drive, pass a Lagrange gate, orbit, idle and drift,
// and the test states. Each is a handler of the AI state table
// (ai/aistate.h), following its step protocol; the escort, docking and
// combat states push them as children.
#pragma once

#include "ai/aistate.h"

// Handlers, by state id.
AIStateResult* DefaultState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);           // 1
AIStateResult* TestingState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);           // 9
AIStateResult* MoveToStop(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);             // 10
AIStateResult* MoveToStopRelative(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);     // 11
AIStateResult* LagrangeState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);          // 17
AIStateResult* MatchVelState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);          // 18
AIStateResult* SimplePursuit(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);          // 46
AIStateResult* AchieveRange(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);           // 47
AIStateResult* AchieveFieldRangeState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t); // 48
AIStateResult* tst_FlyBackwards(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 55
AIStateResult* tst_FlyFowards(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 56
AIStateResult* tst_HoldFormation(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);      // 57
AIStateResult* DoNothingState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 61
AIStateResult* DriftState(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);             // 62
AIStateResult* FullStop(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);               // 65
AIStateResult* FullStopRelative(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 66
AIStateResult* LdsToNavTarget(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);         // 67
AIStateResult* LdsApproach(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);            // 68
AIStateResult* EnterLds(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);               // 69
AIStateResult* LdsEscort(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);              // 70
AIStateResult* LDSFlight(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);              // 71
AIStateResult* StraightLds(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);            // 72
AIStateResult* SeekOrbitalSpeed(AIStateResult*, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t, int32_t);       // 73

// The range AchieveRange and AchieveFieldRangeState keep when given none:
// twice the two radii plus 50000, at most 825105408.
int32_t DefaultApproachRange(const SceneItem* ship, const SceneItem* target);
