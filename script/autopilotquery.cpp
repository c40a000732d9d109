// The autopilot command query (stand-in: records the call, knows no
// command). See autopilotquery.h.
#include "script/autopilotquery.h"

#include "system/calltrace.h"

bool PlayerAutopilotCommand(int32_t*)
{
    RecordCall("PlayerAutopilotCommand");
    return false;
}
