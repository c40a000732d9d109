// The autopilot command that the script's AUTOPILOT condition compares: the
// command code of the standing order the player's ship flies, as the NAV
// station's order buttons set it.
#pragma once

#include <cstdint>

// True with the command code while the player's ship flies a standing order
// given on the bridge; false when none was given.
bool PlayerAutopilotCommand(int32_t* code);
