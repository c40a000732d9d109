// Player input (stand-in until player input lands: records the call).
#include "world/playerinput.h"

#include "system/calltrace.h"

void ReadPlayerInput() { RecordCall("ReadPlayerInput"); }

TurnInputs gTurnInputs;
