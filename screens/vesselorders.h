// The player's orders to a ship and the pending jump.
#pragma once

#include <cstdint>

struct WindowHandle;
struct SystemBody;

extern int16_t gPendingJumpSystem; // destination of the chosen jump; 0 = none
extern SystemBody* gPendingJumpBody;

void ExecutePendingJump(WindowHandle* window);
