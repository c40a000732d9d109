// Blinking marker lights on scene items.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/markerlights.h"

#include "system/calltrace.h"

void AddMarkerLight(SceneItem* item, const Vector3* offset, float size, int32_t colourKind, int32_t onTime, int32_t offTime, int32_t phase)
{
    RecordCall("AddMarkerLight");
}

void AddMarkerLightSet(SceneItem* item, int32_t layoutType)
{
    RecordCall("AddMarkerLightSet");
}

void AddTailLight(SceneItem* item)
{
    RecordCall("AddTailLight");
}

void AddRandomLightField(SceneItem* item, int32_t colourKind)
{
    RecordCall("AddRandomLightField");
}
