// Object behaviours (stand-in until the behaviours land: records the call).
#include "world/behaviours.h"

#include "system/calltrace.h"

void BallisticStep(SceneItem*) { RecordCall("BallisticStep"); }
void KeepTetherDistance(SceneItem*) { RecordCall("KeepTetherDistance"); }
void EmitLdsInhibitorPulse(SceneItem*, float) { RecordCall("EmitLdsInhibitorPulse"); }
void SparkStep(SceneItem*) { RecordCall("SparkStep"); }
void InterdictionJolt(SceneItem*) { RecordCall("InterdictionJolt"); }
void PlasmaBallStep(SceneItem*) { RecordCall("PlasmaBallStep"); }
