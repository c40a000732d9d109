// Vital objects: the watched objects whose loss fails the mission.
#pragma once

struct ScriptSymbol;

// Frees every slot and restarts the poll interval (each mission starts with
// nothing watched).
void ClearVitalObjects();
// Checks the watched objects once a poll interval has passed: the symbol of
// the last one lost (or whose test came true), else null.
ScriptSymbol* PollVitalObjects();
// Fails the mission after a vital loss: the mission-failed line, the
// failed flag, and the countdown to the external camera.
void FailMissionOnVitalLoss();

struct EncounterSource;
// Launches an encounter from the source (one of its kinds, a stock script);
// returns the number of encounters launched in this mission.
int LaunchEncounter(EncounterSource* source);
