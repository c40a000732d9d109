// The universe. See universe.h.
#include "world/universe.h"

int16_t gCurrentSystemNumber = 0;
