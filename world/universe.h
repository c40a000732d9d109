// The universe: the star system the player's ship is in, and its bodies.
#pragma once

#include <cstdint>

struct SystemBody;

// The number of the current star system; moving to another system sets it.
extern int16_t gCurrentSystemNumber;

// A body by text: text beginning with a digit names a body id of any
// system; otherwise the first body of that system with exactly that name.
// Null when none.
SystemBody* FindBody(int32_t systemNumber, const char* text);
