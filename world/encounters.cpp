// Encounter sources (stand-in until they land: records the call).
#include "world/encounters.h"

#include "system/calltrace.h"

void EncounterStep() { RecordCall("EncounterStep"); }
void RemoveEncounterSource(SceneItem*) { RecordCall("RemoveEncounterSource"); }
