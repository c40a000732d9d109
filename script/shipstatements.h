// State that the ship, property, group and sense statements keep for the
// rest of the game to read.
#pragma once

#include <cstdint>

// ALLEG_SCORE: a value per side (NEUTRAL .. ALLIANCE, and one spare).
constexpr int kSideValueCount = 8;
extern float gSideValues[kSideValueCount];

// DEBUG: the last text a script showed while the debug switch is on, or null.
extern const char* gLastDebugText;

// Group numbers a script may name: 0 (no group) up to one below the largest
// the next-free counter can reach.
constexpr int32_t kMaxScriptGroup = 32766;

// SET_MAX_EXTRAS: the most extra ships a random encounter brings.
extern int32_t gMaxEncounterExtras;
// FIXED_AST: 255 while asteroids stay where the script put them, 0 off.
extern uint8_t gFixedAsteroids;
