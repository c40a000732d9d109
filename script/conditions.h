// Script conditions: the expressions (ids NEARTO .. WEAPON_EMPTY) that
// branches, calls, waits and CALL_WHEN rows test, joined by AND and OR.
//
// A chain groups from the right (a AND b OR c is a AND (b OR c)) and every
// part is evaluated, since conditions have side effects (HASFIRED clears
// the bit it tests, SHIP_CLOCK restarts the clock it tests). The distance
// and velocity tests that the conditions use are here too.
#pragma once

#include <cstdint>

struct SceneItem;

// Reads a condition chain at the position and returns its result. An id
// that is not a condition is "Unrecognized CONDITIONAL".
bool EvaluateCondition(uint32_t& position);
// Steps over a condition chain, reading its operands without testing
// anything and without side effects.
void SkipCondition(uint32_t& position);

// Fast length between the two items' drawn positions less both radii,
// never below 0; and between the drawn positions.
float GetSurfaceDistance(const SceneItem* a, const SceneItem* b);
float GetCentreDistance(const SceneItem* a, const SceneItem* b);
// True when the two items move at speeds within x percent of each other
// and in directions within x percent of half a turn.
bool TestVelocityMatch(const SceneItem* a, const SceneItem* b, float x);

// The ship clock that SHIP_CLOCK tests: the Sim's countdown, and the period
// it restarts from, kept in the Sim's int16 that follows the countdown.
void SetShipClock(SceneItem* item, int16_t countdown, int16_t period);
