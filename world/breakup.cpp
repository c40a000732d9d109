// Break-up into shrapnel (stand-in until it lands: records the call and
// breaks nothing).
#include "world/breakup.h"

#include "system/calltrace.h"

SceneItem* kqzBreakNearest(SceneItem*, TDP*, int32_t, const Vector3&, float) {
    RecordCall("kqzBreakNearest");
    return nullptr;
}

int32_t kqzBreakNearestIntoSceneItems(const BreakRequest*) {
    RecordCall("kqzBreakNearestIntoSceneItems");
    return 0;
}

SceneItem* MakeDebrisItem(SceneItem*) {
    RecordCall("MakeDebrisItem");
    return nullptr;
}
