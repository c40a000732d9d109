// The mission tally: the ships a mission counts, the hits they take and
// their destruction, and the script's questions about them.
#pragma once

#include <cstdint>

// Empties the rows, zeroes the counters and restarts the serials at 1.
void ClearTally();

// How many tallied ships count, by mode: 0 the item whose handle is the key
// (1 or 0), 1 a ship category, 2 a side, 3 a group; any other mode 0. With
// the flag set a ship counts once destroyed, otherwise once hit.
int32_t QueryTally(int16_t mode, uint8_t flag, int32_t key);
