// Vital objects (stand-in until the vital slots land: records the calls,
// watches nothing).
#include "script/vitalobjects.h"

#include "system/calltrace.h"

void ClearVitalObjects() { RecordCall("ClearVitalObjects"); }

ScriptSymbol* PollVitalObjects()
{
    RecordCall("PollVitalObjects");
    return nullptr;
}

void FailMissionOnVitalLoss() { RecordCall("FailMissionOnVitalLoss"); }

int LaunchEncounter(EncounterSource*)
{
    RecordCall("LaunchEncounter");
    return 0;
}
