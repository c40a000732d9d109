// Attaching scene items' part trees to the 3D scene and keeping them in step.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/renderpasses.h"

#include "system/calltrace.h"

void SyncAvatarTdps(SceneItem* item)
{
    RecordCall("SyncAvatarTdps");
}

void PlaceTdpActor(TDP* tdp, const Matrix4* matrix)
{
    RecordCall("PlaceTdpActor");
}

int32_t AttachTdpToScene(TDP* tdp, void* modelOrEmitter, int32_t mode)
{
    RecordCall("AttachTdpToScene");
    return {};
}

void SetItemModel(SceneItem* item, hx_model* model)
{
    RecordCall("SetItemModel");
}

Vector3* GetModelVertex(int32_t i, hx_model* model)
{
    RecordCall("GetModelVertex");
    return {};
}
