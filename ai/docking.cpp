// Dock points, coupling and undocking.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ai/docking.h"

#include "system/calltrace.h"

void* gCoupledShipMarker = nullptr;
void* gRemoteLinkMarker = nullptr;

int32_t CoupleAtDockPoints(SceneItem* a, SceneItem* b, DockPoint* pointOfA, DockPoint* pointOfB, int32_t priorityBias)
{
    RecordCall("CoupleAtDockPoints");
    return {};
}

int32_t TryDockOnContact(SceneItem* a, SceneItem* b)
{
    RecordCall("TryDockOnContact");
    return {};
}

void UndockItem(SceneItem* item)
{
    RecordCall("UndockItem");
}

DockPoint* NthDockPoint(SceneItem* item, int32_t n, DockPoint** predecessor)
{
    RecordCall("NthDockPoint");
    return {};
}

void EnableDockPoint(SceneItem* item, int32_t n)
{
    RecordCall("EnableDockPoint");
}

SceneItem* FindDockedItem(SceneItem* ship, SceneItem* other)
{
    RecordCall("FindDockedItem");
    return {};
}

DockPoint* AddDockPoint(SceneItem* item, uint32_t flags, uint32_t mask, float yaw, float pitch, int32_t kind, float x, float y, float z, int32_t priority)
{
    RecordCall("AddDockPoint");
    return {};
}

void AttachDockPointsToModel(SceneItem* item)
{
    RecordCall("AttachDockPointsToModel");
}

void FreeDockPoints(SceneItem* item)
{
    RecordCall("FreeDockPoints");
}

void JumpDockedItems(SceneItem* item, int32_t systemNumber)
{
    RecordCall("JumpDockedItems");
}

void UpdateCoupledShip(SceneItem* item)
{
    RecordCall("UpdateCoupledShip");
}

void AttachPairToCarrier(SceneItem* a, SceneItem* b, SceneItem* carrier)
{
    RecordCall("AttachPairToCarrier");
}

void ReleaseDockReservations(SceneItem* item, ShipInfo* shipInfo)
{
    RecordCall("ReleaseDockReservations");
}
