// The star map. See starmap.h.
#include "world/starmap.h"

uint8_t gStarMapOpen = 0;
