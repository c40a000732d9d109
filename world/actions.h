// Actions: event hooks on scene items. When something happens to an item
// (a hit, a docking, a script event), every Action of the item registered
// under that event key fires, in the order they were added: a built-in
// callback, or a film.
//
// Scripts attach Actions (DO_WHEN, PLAY_WHEN); the message handler fires
// key 0 on a hit and key 5 on docking, the combat code others. An item's
// Actions go back to their pool when the item is deleted.
#pragma once

#include <cstdint>

struct SceneItem;

// Event keys fired by the world.
enum : uint32_t {
    kEventHit = 0,
    kEventHullDamage = 1,
    kEventDocked = 5,
    kEventUndocked = 6,
};

// The built-in callbacks, by index.
enum BuiltInAction : int16_t {
    kActionHullRupture = 0,
    kActionPlasmaBall = 1,
    kActionDockingAlignment = 2,
    kActionColourCycle = 3,
    kActionLongPlasmaBall = 4,
    kBuiltInActionCount = 5,
};

// Attaches an Action at the end of the item's list with the key and the
// flags. With kActionFilm the payload is the film's resource record (its
// name is the film); otherwise it points to an int16 index into the
// built-in callbacks. False, and nothing attached, when the Action pool is
// empty ("Exceeded max Actions"), the item has no Sim, or the index is not
// one of the built-ins.
bool AddAction(SceneItem* item, uint32_t key, uint32_t flags, const void* payload);

// Fires the item's Actions of this key with the argument (a hit record for
// key 0, the other item for key 5); returns how many matched. A film
// Action turns film mode on when the film player starts the film.
int16_t FireActions(SceneItem* item, uint32_t key, const void* argument);

// Couples the first dock points of the two ships (each enabled first).
void CoupleFirstDockPoints(SceneItem* a, SceneItem* b);
