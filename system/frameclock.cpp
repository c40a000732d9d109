// The frame clock's state. See frameclock.h.
#include "system/frameclock.h"

FrameClock gFrameClock;
LoopFlags gLoopFlags;
