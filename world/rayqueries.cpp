// Ray and proximity queries (stand-in until they land: records the call and
// finds nothing).
#include "world/rayqueries.h"

#include "system/calltrace.h"

SceneItem* FindNearestItemOnRay(SceneItem*, TDP*, uint32_t, uint32_t, float*, SceneItem*) {
    RecordCall("FindNearestItemOnRay");
    return nullptr;
}
