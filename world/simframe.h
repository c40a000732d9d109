// The simulation frame: one step of the whole world.
//
// RunSimulationFrame runs the frame's timers and the per-frame services of
// the other subsystems, the collisions and the player's input, then a fixed
// sequence of passes over the scene list: messages, control, simulation
// (coupled ships last), render sync and the late pass; and it ends with
// positional sound, the proximity alarm and the purge of dead messages.
#pragma once

#include <cstdint>

struct SceneItem;

// The mission's time limit.
struct MissionTimeLimit {
    uint8_t running;   // set when a mission starts
    int32_t countdown; // hundredths, set when the flight starts
    uint8_t frontEnd;  // on expiry: start-mission request, else end screen
};
extern MissionTimeLimit gMissionTimeLimit;

// Timers the script system sets and its conditions read.
extern int32_t gScriptWaitCountdown; // hundredths
extern int32_t gScriptCountdown;     // hundredths
extern int32_t gScriptCountdownSeconds;

// The stock dialogue: when the timer runs out a request is raised with
// dialogue number 5 or 6.
extern int32_t gStockDialogueTimer;
extern uint8_t gStockDialogueRequest;
extern int32_t gStockDialogueNumber;

// Filters of the passes (set by the bridge, the UI and the scripts).
extern uint8_t gSimHold;          // only the controlled item moves...
extern uint8_t gSimHoldException; // ...and only when this is set
extern uint8_t gSimSuspend;       // the second suspend flag
extern int32_t gDirectorHold;     // 0 off; 1 or 2 (2 also silences)

// Engine sound: the engine slot plays the engine volume that the ship
// physics computes for the controlled item (gEngineVolume, world/physics.h,
// hundredths of a decibel), the ambient slot a steady -3000; none once the
// player's ship is lost (gPlayerShipLost).
extern uint8_t gEngineSoundEnabled; // on unless switched off
constexpr int32_t kEngineSoundSlot = 2;
constexpr int32_t kAmbientSoundSlot = 0;

// The incoming missiles: every homing missile aimed at the player's ship
// enters itself each frame with its range (RegisterIncomingMissile). The
// flight HUD lists them and empties the list after drawing; the proximity
// alarm, sound 44, repeats faster as the nearest of them closes in. One
// list, read by both.
struct ProximityThreat {
    SceneItem* item; // null for an empty entry
    float distance;
};
constexpr int kProximityThreats = 12;
extern ProximityThreat gProximityThreats[kProximityThreats];
// Enters the missile with its range, or updates its entry when it has one;
// nothing when every entry is taken.
void RegisterIncomingMissile(SceneItem* missile, float distance);
// Empties the missile's entry (the missile is deleted): the list never
// names an item that is gone.
void ForgetIncomingMissile(const SceneItem* missile);
// Empties the list (the HUD, after drawing it).
void ClearIncomingMissiles();
extern int32_t gProximityAlarmCountdown; // hundredths

// Set by code that rebuilds the scene in the middle of the simulation pass:
// the rest of the pass is abandoned.
extern uint8_t gStopSimulationPass;
// Items visited by the last simulation pass.
extern int32_t gSimulationPassCount;

int32_t RunSimulationFrame();

// Whether this frame runs the simulation: it stands while the front end is
// up, a briefing runs, a view that stops it (documents, objectives, the
// star map) is open or the mission is paused (the options screen in
// flight, the debrief, the developer's pause). Frames go on meanwhile, so
// the screen up is drawn and takes its keys.
bool SimulationRuns();

// True when the item takes part in the control, simulation and render-sync
// passes under the current filters.
bool IsItemEligible(const SceneItem* item);
