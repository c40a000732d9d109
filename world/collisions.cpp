// Collision detection (stand-in until it lands: records the call).
#include "world/collisions.h"

#include "system/calltrace.h"

void PrepareCollisionFrame() { RecordCall("PrepareCollisionFrame"); }
void TestAllCollisions() { RecordCall("TestAllCollisions"); }
void InitTDPRadius(TDP*) { RecordCall("InitTDPRadius"); }
void UpdateTDPWorldCentres(SceneItem*) { RecordCall("UpdateTDPWorldCentres"); }
void SetSceneItemRadius(SceneItem*) { RecordCall("SetSceneItemRadius"); }
