// Player input (stand-in until player input lands: records the call).
#include "world/playerinput.h"

#include "system/calltrace.h"

void ReadPlayerInput() { RecordCall("ReadPlayerInput"); }
void CONTROL_MAIN(SceneItem*) { RecordCall("CONTROL_MAIN"); }
void CONTROL_FREE(SceneItem*) { RecordCall("CONTROL_FREE"); }

TurnInputs gTurnInputs;
