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

extern SceneItem gSceneList;       // sentinel head: next is the first item
extern SceneItem* gTailGroup;      // first item of the tail group, or &gSceneList
extern SceneItem gParkedList;      // sentinel head of the parked list
extern SceneItem* gParkedLast;     // last parked item, or &gParkedList
extern SceneItem* gPlayerItem;     // the item the player flies
extern SceneItem* gControlledItem; // the item the player's input drives
extern int16_t gCurrentSceneGeneration;
extern int32_t gCountedItems;   // items with flag 0x2000 (MarkCounted)
extern uint8_t gPlayerShipLost; // set when the player's item is deleted; bars its engine sound

// List operations. Each item carries the mark of the list that holds it
// (SceneItem::linked), so membership costs nothing. The full integrity
// walk runs after every change in debug builds; release builds run it once
// per frame, at the start of the simulation frame.
SceneItem* InsertSceneItem(SceneItem* item, int16_t flags);
void MoveSceneItemToTailGroup(SceneItem* item);
void MoveSceneItemToFront(SceneItem* item);
bool CheckSceneListIntegrity();
bool IsInSceneList(const SceneItem* item);

// A walk over the scene list in list order that survives its visits: while
// a walk lives, taking an item out of the scene list (deleting, parking or
// moving it) moves the walk's next item on to that item's successor. So a
// visit may delete or park its own item, the next one, or both, and the
// walk still visits every other item once. Walks may nest.
struct SceneListWalk {
    SceneItem* next;      // the item the walk visits next, or &gSceneList
    SceneListWalk* outer; // the walk this one runs inside, or null
    SceneListWalk();
    ~SceneListWalk();
    SceneListWalk(const SceneListWalk&) = delete;
    SceneListWalk& operator=(const SceneListWalk&) = delete;
};

// Calls visit(item) for each item of the scene list until a visit returns
// false.
template <typename Visit>
void ForEachSceneItem(Visit visit)
{
    SceneListWalk walk;
    while (walk.next && walk.next != &gSceneList) {
        SceneItem* item = walk.next;
        walk.next = item->next;
        if (!visit(item))
            return;
    }
}

// Empties both lists (ending any walk in progress) and resets the scene
// globals; ResetSimulation also empties the pools and the message buffer.
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
// The model resource that the script symbol "CorpseMd" names, or null when
// the symbol is missing or names no model.
struct Resource;
Resource* CorpseModelResource();
float GetItemSeparation(const SceneItem* a, const SceneItem* b, Vector3* aMinusB);
// Sets up the 3D view from the item, when the item is in use.
void SetViewFromSceneItem(SceneItem* item, const ViewRect* viewport);

// Taking objects out.
SceneItem* DeleteSceneItem(SceneItem* item);
// Gives the item flag 0x2000 and counts it in gCountedItems (the encounter
// limit); deleting it uncounts it. Marking an item twice counts it once.
void MarkCounted(SceneItem* item);
void RemoveTDPFromRenderer(TDP* node);
void ParkSceneItem(SceneItem* item, double dx, double dy, double dz);
void ShiftSceneItem(SceneItem* item, double dx, double dy, double dz);
