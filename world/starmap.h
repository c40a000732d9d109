// The star map: the bridge's navigation map of the galaxy and the current
// star system.
#pragma once

#include <cstdint>

// 255 while the map's panel is open (the world and the script's timed waits
// stand still), 0 otherwise.
extern uint8_t gStarMapOpen;
