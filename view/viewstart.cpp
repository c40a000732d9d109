// The 3D view layer's start and end, its worlds and the per-frame view.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/viewstart.h"

#include "system/calltrace.h"

uint8_t gScreenClearColour = 176;
float gProjectionDistance = 0.0f;
uint8_t gRebuild3D = 0;
float gLodThresholds[3] = {10.0f, 24.0f, 2.0f};

void InitializeP3D()
{
    RecordCall("InitializeP3D");
}

void ShutdownP3D()
{
    RecordCall("ShutdownP3D");
}

void FreeP3DWorlds()
{
    RecordCall("FreeP3DWorlds");
}

void PrepareView(SceneItem* item, const ViewRect* viewport)
{
    RecordCall("PrepareView");
}
