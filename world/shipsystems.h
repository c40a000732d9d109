// The player's ship-systems model: 35 internal systems (reactor, ring,
// power grids, coolant, fuel and antimatter, weapons, thrusters, drives,
// hull) whose outputs feed each other every frame, heat up, raise warnings,
// are damaged by hits (world/damage.h) and are repaired by four repair
// teams. Their outputs scale the player's flight model and weapons.
//
// The model exists once: registered at start-up and saved, handed fresh to
// the ship the PLAYER statement names (ResetShipSystems), then run every
// frame for that ship. The engineering station reads and changes it through
// gShipSystems (sliders, switches, repair teams).
#pragma once

#include <cstdint>

#include "world/profiler.h"
#include "world/records.h"

constexpr int kMaxShipSystems = 40;  // the pointer list
constexpr int kShipSystemCount = 35; // what the table registers
constexpr int kRepairTeams = 4;
constexpr int kSystemLinks = 4;

struct ShipSystem;
// An update rule (and the optional pre-update routine): the system and the
// ship whose list it is in.
using ShipSystemRule = void (*)(ShipSystem* system, SceneItem* ship);

struct RepairTeam {
    int16_t index;
    int16_t strength;   // 1
    ShipSystem* system; // being repaired, or null
};

struct ShipSystem {
    ShipSystem* next;                // the ship's systems list
    const char* names[3];            // English, French, German (code page 1252)
    int32_t kindFlag;                // 0 for REACTOR, RING and TARGET
    ShipSystem* links[kSystemLinks]; // inputs of the update rule
    float output;
    float level;       // the rule's own state
    float health;      // 0..1, 1 intact
    float temperature; // kelvin, 273 when cold
    uint8_t switchedOn;
    uint8_t preUpdateEnabled;
    ShipSystemRule preUpdate;
    ShipSystemRule update;
    int16_t group;               // engineering page 0..8
    int16_t repairTime;          // seconds
    int16_t estimatedRepairTime; // seconds, computed
    int16_t priority;            // within the repair order
    int32_t one;
    uint32_t damageBit;     // the capability bit it stands for, or 0
    int16_t repairStrength; // of the repair teams working on it this frame
    int16_t repairClass;    // 1..5
    RepairTeam* repairTeam;
    int32_t noRepair;        // repair teams leave it alone
    ValueRecorder* recorder; // of its output
    int16_t* displayColour;  // its engineering element's colour, when shown
    int32_t shots;           // firings since the last frame (weapons)
};

struct ShipSystemsModel {
    SceneItem holder; // the item and Sim the registered list hangs on
    Sim holderSim;
    SceneItem* systemsShip;             // the ship that carries the model, or null
    ShipSystem* order[kMaxShipSystems]; // repair order
    ShipSystem* savedOrder[kMaxShipSystems];
    ShipSystem saved[kMaxShipSystems];
    uint8_t resort;         // sort the repair order at the next update
    uint8_t repairsEnabled; // REPAIRS ON / OFF
    float ldaSlider;        // engineering sliders, percent
    float thrusterSlider;
    float pbcSlider;
    int32_t engineeringCounters[3];
    FlightModel classModel; // the ship's flight model when it became the player's
    uint8_t emergencyPower; // 255 while EMERG ACC discharges
    RepairTeam teams[kRepairTeams];
    uint8_t teamFixed[kRepairTeams]; // 255: the player fixed it on its system
};
extern ShipSystemsModel gShipSystems;

// Clears the model and registers the 35 systems, then saves them. At
// start-up (it also empties the value recorders).
void InitShipSystems();
void SaveShipSystems();
void RestoreShipSystems();

// The PLAYER statement: the model, fresh, goes to this ship; its flight
// model becomes the class copy the outputs scale.
void ResetShipSystems(SceneItem* ship);

// Docking: the systems list and count move with the player's identity.
void CopySimCounters(SceneItem* from, SceneItem* to);

// True when the item is the ship that carries the model (and still holds
// its systems list: an item that took its record slot later does not).
bool CarriesShipSystems(const SceneItem* item);

// The first system whose English name is exactly this, or null.
ShipSystem* FindShipSystem(const char* name);

// The bridge's test command: every system loses up to a quarter of health.
void DamageShipSystemsRandomly();

// Every repair team the player has not fixed on a system leaves it.
void ReleaseRepairTeams();

// Once a frame for the controlled ship: the rules of its systems; for the
// ship that carries the model also the repair order, the repair teams,
// display colours, the flight model and weapons the outputs drive, and the
// value recorders.
void UpdateShipSystems(SceneItem* item);

// The supply: the average of the six power grids, most systems' first link.
ShipSystem* ShipSystemsSupply();

// The text of the last warning the model put on the message line.
const char* ShipSystemsMessage();
