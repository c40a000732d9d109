// Dock points, coupling and undocking: the ports a ship carries, the
// reservation of a pair by an AI ship on its way in, the coupling of two
// items whose free ports touch and line up, the follower's per-frame ride
// on its partner, and the push apart on undocking. The AI states that steer
// a ship to a port live with the other states; the collision code calls
// TryDockOnContact.
#pragma once

#include <cstdint>

#include "system/gamemath.h"
#include "world/records.h"

struct hx_model;

extern void* gCoupledShipMarker; // link record of a coupled controlled item; cleared each frame
extern void* gRemoteLinkMarker;  // cleared each frame

// DockPoint flags.
enum : uint32_t {
    kDockInUse = 0x1,
    kDockEngaged = 0x2,
    kDockFollows = 0x4,      // this point's item follows the partner
    kDockHandsControl = 0x8, // coupling hands the controls over
    kDockFree = 0x10,        // free for docking
    kDockDeleteA = 0x20,     // 0x20 and 0x40: delete this point's item once docked
    kDockDeleteB = 0x40,
    kDockReserved = 0x80,
};

// A port of a ship: a node on its ShipInfo's list, in order of creation.
// The partner and the reserving item are kept as handles, so a partner or
// a reserving mine that is gone reads null.
struct DockPoint {
    DockPoint* next;
    DockPoint* partnerPoint; // while engaged
    ItemRef partnerItem;     // while engaged
    float x, y, z;           // in the item's frame
    float pitch, yaw;        // degrees
    int32_t kind;
    uint32_t mask; // two points couple only when their masks share a bit
    uint32_t flags;
    int32_t priority;
    ItemFunction savedControl; // the point's own item's routines while engaged
    ItemFunction savedPerFrame;
    hx_model* mergeModel; // the model to take on when docking merges, or null
    ItemRef reservedBy;   // the item that reserved the point
};

// Couples a and b at the two points (a's first); the item of lower priority
// follows (b when pb's priority < pa's + bias). Answers 1 when coupled, 0
// when the docking system is out, the masks share no bit or a point is not free.
int32_t CoupleAtDockPoints(SceneItem* a, SceneItem* b, DockPoint* pointOfA, DockPoint* pointOfB, int32_t priorityBias);
// Couples two touching ships at the first pair of compatible ports closer
// than 3200 and lined up better than 0.9; answers 1 when they coupled.
int32_t TryDockOnContact(SceneItem* a, SceneItem* b);
// The last alignment TryDockOnContact measured (0 when none).
extern float gDockAlignment;
// -1 while a script couples two ships (the docking is the script's), else 0.
extern int32_t gScriptDocking;
// Undocks the item's first engaged point and pushes the quicker item away.
void UndockItem(SceneItem* item);
// Ends the coupling of the point's pair: each item gets its routines back.
void UnlinkDockPoints(DockPoint* point);
// The n-th point from 0 (the last when the list is shorter) and its
// predecessor (may be null); null without a ShipInfo or points.
DockPoint* NthDockPoint(SceneItem* item, int32_t n, DockPoint** predecessor);
// Sets / clears the free bit of the n-th point.
void EnableDockPoint(SceneItem* item, int32_t n);
void DisableDockPoint(SceneItem* item, int32_t n);
// With other: other when it is the partner of one of the ship's engaged
// points, else null. Without: the partner of the first engaged point.
SceneItem* FindDockedItem(SceneItem* ship, SceneItem* other);
// 255 when a's i-th and b's j-th points exist, are free and neither engaged
// nor following; else 0.
int32_t DockPointsFree(SceneItem* a, SceneItem* b, int32_t i, int32_t j);
// Reserves a pair of ports: the requested pair when both are available
// (a failing index becomes -1), else the free compatible pair whose masks
// have the fewest bits. Answers with i and j both -1 when there is none.
void ReserveDockPointPair(SceneItem* a, SceneItem* b, int32_t* i, int32_t* j);
// Appends a point (position in hundredths, stored x 100) and marks it on the model.
DockPoint* AddDockPoint(SceneItem* item, uint32_t flags, uint32_t mask, float yaw, float pitch, int32_t kind, float x, float y, float z, int32_t priority);
// Marks every point on the item's model again; nothing without a ShipInfo.
void AttachDockPointsToModel(SceneItem* item);
// Unlinks every engaged point and clears every point's in-use bit; the
// nodes stay on the list until the ShipInfo is released.
void FreeDockPoints(SceneItem* item);
// Gives the nodes of the ShipInfo's list back to the allocator and
// empties it: for a ShipInfo that goes back to its pool.
void ReleaseDockPointList(ShipInfo* shipInfo);
// Sends the negated system number to each partner after 6 hundredths.
void JumpDockedItems(SceneItem* item, int32_t systemNumber);
// Per-frame routine of a coupled child: rides its partner, port on port.
void UpdateCoupledShip(SceneItem* item);
// The carrier aligns itself to a and b, which ride on it.
void AttachPairToCarrier(SceneItem* a, SceneItem* b, SceneItem* carrier);
// Refills the carrier's guided launchers (4 rounds, magazines of 4, 4
// magazines) and gives the item the order "Going home", made current.
void SendItemHome(SceneItem* item, SceneItem* carrier);
// The player's ship (of kind 0) parts: the hull drifts on under the AI in
// the shape of a headless hull, and a command section ("Com Module") flies
// off ahead as the player's ship. The hull's third port then takes the
// section back, merging the two into the whole ship again.
void SeparateCommandSection();
// Makes the item a command section: kind, flight limits, hull, name and its
// one light cannon.
void SetupCommandModule(SceneItem* item);
// Ties b to a at the tether length: partners, a keeps b, b holds the
// distance from its anchor a every frame.
void TetherToItem(SceneItem* a, SceneItem* b);
// Gives up the dock points the ship reserved on the item, and those whose
// reserving item is gone.
void ReleaseDockReservations(SceneItem* item, ShipInfo* shipInfo);
// The orientation an item has when docked through ownPoint to partnerPoint
// of an item whose matrix is partnerMatrix.
Matrix4 DockPointWorldFrame(const Matrix4& partnerMatrix, const DockPoint* ownPoint, const DockPoint* partnerPoint);
// (|x.x| + |y.y| + z.z + 3) / 6 of the two frames' rows: 1 fully aligned.
float DockAlignment(const Matrix4& a, const Matrix4& b);
// Number of set bits of a word.
int32_t CountSetBits(uint32_t word);
