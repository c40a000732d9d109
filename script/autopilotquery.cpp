// The autopilot command query. See autopilotquery.h.
#include "script/autopilotquery.h"

#include "screens/navstation.h"

bool PlayerAutopilotCommand(int32_t* code)
{
    if (CurrentOrderButton == 0)
        return false;
    *code = CurrentOrderButton;
    return true;
}
