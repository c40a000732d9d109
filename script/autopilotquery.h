// The autopilot command that the script's AUTOPILOT condition compares: a
// value of the player's order handling on the bridge, which has not landed.
// This query stands in for it on the script side until its owner offers it.
#pragma once

#include <cstdint>

// True with the command code when the bridge knows one; false (no command
// known) until then.
bool PlayerAutopilotCommand(int32_t* code);
