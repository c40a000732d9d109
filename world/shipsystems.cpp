// Ship systems (stand-in until they land: records the call).
#include "world/shipsystems.h"

#include "system/calltrace.h"

void UpdateShipSystems(SceneItem*) { RecordCall("UpdateShipSystems"); }
