// Collision responses. See responses.h.
#include "world/responses.h"

int32_t gCrashCount = 0;
