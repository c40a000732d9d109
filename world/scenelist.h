// The scene list and the scene-level makers.
//
// The scene list is a circular doubly linked list through SceneItem next
// and prev, with a sentinel head: the per-frame passes visit it in order.
// Items of the tail group (flag 0x1000) stand together at its end, so the
// passes visit ordinary items first. The parked list holds whole objects
// taken out of the scene (other star systems) but kept alive.
//
// The makers build items from the pools (NewSceneItem, AttachSim, NewTDP,
// ...); DeleteSceneItem takes one out of the world again and gives its
// records back.
#pragma once

#include <cstdint>

#include "view/viewstart.h"
#include "world/records.h"

extern SceneItem gSceneList;      // sentinel head: next is the first item
extern SceneItem* gTailGroup;     // first item of the tail group, or &gSceneList
extern SceneItem gParkedList;     // sentinel head of the parked list
extern SceneItem* gParkedLast;    // last parked item, or &gParkedList
extern SceneItem* gPlayerItem;    // the item the player flies
extern SceneItem* gControlledItem;// the item the player's input drives
extern int16_t gCurrentSceneGeneration;
extern int32_t gCountedItems;     // items with flag 0x2000
extern uint8_t gEngineSoundBarred;// set when the player's ship is gone

// List operations.
SceneItem* InsertSceneItem(SceneItem* item, int16_t flags);
void MoveSceneItemToTailGroup(SceneItem* item);
void MoveSceneItemToFront(SceneItem* item);
bool CheckSceneListIntegrity();
bool IsInSceneList(const SceneItem* item);
void ResetSceneList();
void ResetSimulation();

// Makers: each returns the new record, or null after the pool's message.
SceneItem* NewSceneItem();
Sim* AttachSim(SceneItem* item, ItemFunction perFrame);
void SetControlFunction(SceneItem* item, ItemFunction function);
void SetAvatarCallbacks(SceneItem* item, ItemFunction renderSync, ItemFunction tdpSync);
void SetMessageFunction(SceneItem* item, ItemFunction function);
TDP* NewTDP();
TDP* AttachRootTDP(SceneItem* item);
TDP* AddChildTDP(TDP* parent, hx_model* model, float x, float y, float z);
TDP* AddSiblingTDP(TDP* node, hx_model* model, float x, float y, float z);
TDP* AppendChildTDP(TDP* parent, hx_model* model, float x, float y, float z);
TDPAttribute* AddTDPAttribute(TDP* node, uint8_t type, uint8_t valueNumber);
// Where the TDP hangs: returns the parent (*link = its first-child slot) or
// the previous sibling (*link = its next slot); null for the root or a TDP
// not in the tree.
TDP* FindTDPLink(SceneItem* item, TDP* node, TDP*** link);
int CountTDPInTree(const TDP* subtree, const TDP* node);
float GetItemSeparation(const SceneItem* a, const SceneItem* b, Vector3* aMinusB);
// Sets up the 3D view from the item, when the item is in use.
void SetViewFromSceneItem(SceneItem* item, const ViewRect* viewport);

// The TDP's own per-frame routine until the view layer sets another.
void DefaultTDPStep(TDP* node);

// Taking objects out.
SceneItem* DeleteSceneItem(SceneItem* item);
void RemoveTDPFromRenderer(TDP* node);
void ParkSceneItem(SceneItem* item, double dx, double dy, double dz);
void ShiftSceneItem(SceneItem* item, double dx, double dy, double dz);
