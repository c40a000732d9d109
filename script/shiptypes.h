// Ship types and what every new ship gets: the 18 types with their display
// names and set-up routines, the default AI programs, the side derived from
// sense flags, order programs by name, and the placement helpers that the
// object statements share (a script position into a world position, a new
// object pushed clear of the ships around it).
//
// The ship type number is also the ship's category (ShipInfo kind) that the
// mission tally counts by. Only the keywords CORVETTE .. GUNBASE name a row;
// RING has none, and the statements that use a row reject it.
#pragma once

#include <cstdint>

#include "script/keywords.h"

struct SceneItem;
struct ScriptSymbol;
struct ShipInfo;
struct Sim;
struct OrderProgram;

using ShipSetup = void (*)(SceneItem* item, const char* displayName);
struct ShipType {
    const char* displayName;
    ShipSetup setup;
};
constexpr int kShipTypeCount = 18;
extern const ShipType kShipTypes[kShipTypeCount];

// The sense flag (Avatar class flags) of an SN_ keyword, and of a side
// keyword's index (NEUTRAL 0 .. ALLIANCE 6).
constexpr uint32_t SenseFlag(uint32_t keyword) { return 1u << (keyword - kw::SN_DEBRIS); }
constexpr uint32_t SideSenseFlag(int32_t side) { return 1u << (side + 6); }
// The seven side flags SN_NEUTRAL .. SN_ALLIANCE.
constexpr uint32_t kSenseSides = 0x1FC0;

// The Sim flags of the tactic keywords COMBAT .. RESUPPLY, by index.
extern const uint32_t kTacticFlags[6];

// The item's ShipInfo, or null for none (or no item).
ShipInfo* ShipInfoOf(SceneItem* item);

// The common set-up: the two default orders ("SelfPreservation" in slot 0,
// "NO PROGRAM" in slot 1, which becomes current), the damage block, the
// ShipInfo name, the ship's sense flags and collision response, and its
// side. The item needs a Sim with a ShipInfo; the result is the Sim (null
// when the item has none).
Sim* SetupShipDefaults(SceneItem* item, const char* displayName);

// The side (1..6) of exactly one of the flags SN_NAVY .. SN_ALLIANCE, else 0,
// into the ShipInfo.
void SetSideFromSenseFlags(SceneItem* item);

// The row of the AI's order table with that name (the last of equal names),
// or null. FindOrderProgramIn searches a table ended by a null name.
const OrderProgram* FindOrderProgram(const char* name);
const OrderProgram* FindOrderProgramIn(const OrderProgram* table, const char* name);

// Makes a ship of the item (a Sim required): a ShipInfo when it has none
// (whose flight model the Sim then uses), kind = type (0..17), rank 3, the
// script's current group with its leader and the player's wing, the type's
// set-up, then the name and short name (the last word of the name).
ShipInfo* MakeShipOfType(SceneItem* item, int32_t type, const char* name);
void SetShipNames(ShipInfo* info, const char* name);

// The statements' check of an object operand: the item when it lives (and,
// with needShip, is a ship). Otherwise the console gets "SCRIPT Error: <the
// statement> needs a ship: <the symbol>" (or "needs an object") and the
// result is null, so the statement does nothing and the mission goes on.
SceneItem* LiveObjectOrReport(const ScriptSymbol* symbol, const char* statement, bool needShip);

// Script distances of the placement statements are in hundredths of world
// units: the number times this.
constexpr double kPlacementScale = 100.0;

// A script position into a world position: in absolute mode less the
// floating-origin offset, in relative mode plus the relative object's
// position.
void AddPlacementOrigin(double& x, double& y, double& z);
// Places the item at the world position (the Sim's double position and its
// matrix translation).
void PlaceItemAt(SceneItem* item, double x, double y, double z);
// Moves a newly placed item out of every ship it lies inside (one walk over
// the scene list, so a later move may bring it near an earlier ship).
// Nothing for a planet.
void PushApartOnPlacement(SceneItem* item);

// A camera: a new scene item at the end of the scene list (before the tail
// group) with the control routine, a Sim, the usual Avatar callbacks, the
// watched object in its Avatar's link with the camera parameters 7500 and
// 900, a root part in the scene that is no longer new, and the flags of a
// late control routine kept across star systems. Null, after the pool's
// message, when the pools run out.
SceneItem* CreateCameraItem(SceneItem* watched, void (*control)(SceneItem* camera));
