// The default message handler of scene items, and the bookkeeping that
// runs when an item is destroyed.
//
// HandleItemMessages is the message function of almost every item: once a
// frame the message pass calls it, and it acts on every due message of the
// item by kind (world/itemmessages.h): destruction, hits and impacts,
// docking, jumps between star systems, LDS interdiction, target changes and
// timed Sim flags. Kinds 28 and up are ignored. Kinds 0 (delete) and 21
// (repair) end the item's handling for the frame: later messages wait.
//
// Items in message bodies are handles: a message about an item that has
// died meanwhile finds null and does nothing.
#pragma once

#include <cstdint>

struct SceneItem;
struct TDP;
struct HitPayload;

void HandleItemMessages(SceneItem* item);

// Plays a numbered sound at the item's place, heard from the player's
// camera (full and centred while there is no camera), its rate varied by
// up to the spread.
void PlayItemSound(const SceneItem* item, int32_t slot, int32_t spread);

// A destruction: drops every reference to the item (the player's side, the
// other items' targets, escorts, leaders, tows and dock partners), detaches
// it from its group when it led one, and writes "destroyed" to the ship's
// log with killer and victim when both are named ships (a munition's kill
// goes to its launcher). The hit record may be null.
void NoteItemDestroyed(SceneItem* item, const HitPayload* hitRecord);

// The item leaves the player's reach (destroyed, or jumped away): out of
// the contact list, the remote link released, and no longer the controlled
// item's target or second target (a new target ahead is picked).
void DropItemReferences(SceneItem* item);

// Sets the breakable flag on every node of a TDP tree that is in the 3D
// scene, children and siblings included.
void MarkTDPsBreakable(TDP* node);
