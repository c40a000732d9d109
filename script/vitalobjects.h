// Script-side services that the interpreter and the simulation call
// outside the statement loop: the ten vital-object slots whose loss fails
// the mission, the launching of random encounters from the stock scripts,
// the stock dialogue runner and the per-language text folders.
#pragma once

#include <cstdint>

struct ScriptSymbol;
struct SceneItem;
struct EncounterSource;

constexpr int kVitalSlots = 10;
constexpr int32_t kVitalPollInterval = 100;  // ticks between polls
constexpr int32_t kVitalLossCountdown = 900; // ticks until the external camera

// A vital object's own test: true when the object counts as lost.
using VitalTest = bool (*)(SceneItem* item, float argument);

// Frees every slot and restarts the poll interval (each mission starts with
// nothing watched); also forgets the encounter counter and the stock-script
// counts, which are made again from the mission's own stock scripts.
void ClearVitalObjects();
// Watches the symbol's object: the slot that already holds the symbol or
// the first free one, whichever comes first. 255, or 0 when all are taken.
uint8_t AddVitalObject(ScriptSymbol* symbol, VitalTest test, float argument);
// 255 when a slot held the symbol (now free), else 0.
uint8_t RemoveVitalObject(const ScriptSymbol* symbol);
// Checks the watched objects once a poll interval has passed: the symbol of
// the last one lost (or whose test came true), else null.
ScriptSymbol* PollVitalObjects();
// A hit on the item by a light attacker: XHITS counts it when the item is
// watched.
void CountVitalHit(const SceneItem* item);
// Fails the mission after a vital loss: the mission-failed line, the
// failed flag, and the countdown to the external camera.
void FailMissionOnVitalLoss();

// Encounter kinds 1..6 and the stock-script label patterns they use.
constexpr int kEncounterKinds = 6;
struct EncounterCounts {
    int32_t perKind[kEncounterKinds];
    uint8_t counted;
    int32_t launched; // encounters of this mission
};
extern EncounterCounts gEncounterCounts;

// Counts the stock labels of every kind ("DRONE_0", "DRONE_1" ... until one
// is missing).
void CountEncounterScripts();
// Launches an encounter from the source (one of its kinds, a stock script);
// returns the number of encounters launched in this mission. A source with
// no kinds, or a kind without stock scripts, launches nothing.
int LaunchEncounter(EncounterSource* source);

// The ship whose stock dialogue runs (DIALOGUESHIP), set by whoever asks.
extern SceneItem* gDialogueShip;
// Runs "STOCKDIALOGUE_<number>" with DIALOGUESHIP naming the dialogue
// ship; the run's stop code, or -1 when the label or DIALOGUESHIP is
// missing.
int32_t RunStockDialogue(int32_t number);

// Replaces every "text" in the path before its last four characters by the
// four given letters (the language folders "frn_", "ger_").
void ReplaceTextFolder(char* path, const char* letters);

// The presentation (a briefing or the debrief's view) that screens end.
struct PresentationState {
    uint8_t running;
    uint8_t paused;
};
extern PresentationState gPresentation;
// Ends a running presentation between screens: a running briefing gets the
// leave request (its next statement jumps behind BRF_END); the briefing's
// other requests, the mission pause, the section number, the clip, the
// message log and the speech are cleared; the current palette is set again
// and a full redraw asked for (script/briefingstatements.cpp).
void ResetPresentationState();
