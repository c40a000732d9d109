// The universe: the star system the player's ship is in.
#pragma once

#include <cstdint>

// The number of the current star system; moving to another system sets it.
extern int16_t gCurrentSystemNumber;
