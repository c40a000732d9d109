// Dock points, coupling and undocking.
#pragma once

#include <cstdint>

struct SceneItem;
struct DockPoint;
struct hx_model;

extern void* gCoupledShipMarker; // link record of a coupled controlled item; cleared each frame
extern void* gRemoteLinkMarker;  // cleared each frame

int32_t CoupleAtDockPoints(SceneItem* a, SceneItem* b, DockPoint* pointOfA, DockPoint* pointOfB, int32_t priorityBias);
int32_t TryDockOnContact(SceneItem* a, SceneItem* b);
void UndockItem(SceneItem* item);
DockPoint* NthDockPoint(SceneItem* item, int32_t n, DockPoint** predecessor);
void EnableDockPoint(SceneItem* item, int32_t n);
SceneItem* FindDockedItem(SceneItem* ship, SceneItem* other);
DockPoint* AddDockPoint(SceneItem* item, uint32_t flags, uint32_t mask, float yaw, float pitch, int32_t kind, float x, float y, float z, int32_t priority);
void AttachDockPointsToModel(SceneItem* item);
void FreeDockPoints(SceneItem* item);
void JumpDockedItems(SceneItem* item, int32_t systemNumber);
void UpdateCoupledShip(SceneItem* item);
void AttachPairToCarrier(SceneItem* a, SceneItem* b, SceneItem* carrier);
struct ShipInfo;
// Gives up the dock points the ship reserved on the item.
void ReleaseDockReservations(SceneItem* item, ShipInfo* shipInfo);
