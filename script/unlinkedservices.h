// The one place where the interpreter meets services and values of modules
// that have not landed yet (the planet response, the autopilot, the
// ship-systems bits, the universe, the tether behaviour, sound pausing, the
// vital objects and the external camera).
//
// Each query answers false ("not known"), and the condition that asks it is
// then false; each action does nothing. When the owning module lands, its
// call replaces the body here and nothing else changes.
#pragma once

#include <cstdint>

#include "world/records.h"

namespace unlinked {

bool ItemAltitude(const SceneItem* item, float* altitude);        // noted by the planet response
bool SurfaceImpactCount(int32_t* count);                          // ditto
bool AutopilotCommand(int32_t* code);                             // the player's autopilot command
bool OutOfActionSystems(const SceneItem* item, uint32_t* bits);   // ship-systems model
bool CurrentStarSystem(int32_t* number);                          // the universe
bool IsTetherRoutine(ItemFunction routine);                       // KeepTetherDistance

bool StarMapOpen();                                               // the star map screen
// The mission tally's count of hits or kills (QueryTally).
bool QueryTally(int16_t kind, uint8_t killed, int32_t key, int32_t* count);

void PauseAllSounds();
void EnterExternalCamera();
// A vital object that was lost since the last poll (PollVitalObjects), and
// the mission failure that follows (FailMissionOnVitalLoss).
bool PollVitalObjects();
void FailMissionOnVitalLoss();

} // namespace unlinked
