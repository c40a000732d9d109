// The Lagrange gate and the encounter sources.
//
// A gate is an item whose members (its coupling list) show marker colours
// 9, 10 or 12; when all agree and the player flies within 5000 of it, the
// player is sent to the system that colour leads to. Encounter sources are
// items (motherships, stations) from which the script system launches
// encounters while the player is near, and between which loitering ships
// travel. What an encounter holds is the script system's (LaunchEncounter).
#pragma once

#include <cstdint>

struct SceneItem;

struct EncounterSource {
    EncounterSource* next;
    uint8_t kindMask; // six bits: the encounter kinds it launches
    SceneItem* item;
    int16_t group;     // the item's scene generation when registered
    uint8_t kindCount; // bits set among the six
};

extern EncounterSource* gEncounterSources;
extern EncounterSource* gEncounterCursor; // the source used last
extern int32_t gEncounterLimit;           // encounter ships at once (4)

// The gate's state (Avatar parameter 5): its agreed colour, or 13 while
// the members disagree.
constexpr int32_t kGateDisagrees = 13;
// The player comes this close to an agreeing gate to be sent on.
constexpr double kGateReach = 5000;
// Encounters start only from sources this close to the player.
constexpr double kEncounterReach = 12'000'000;

void SIM_STARGATE(SceneItem* gate);
void ScrambleGateColours(SceneItem* gate);
// The destination of an agreed gate colour: the system and the arrival
// point; false for a colour that leads nowhere.
bool GateDestination(int colour, const char** system, const char** arrival);

void AddEncounterSource(SceneItem* item, uint32_t kindMask);
void RemoveEncounterSource(SceneItem* item);
void ClearEncounterSources();
void EncounterStep();
SceneItem* PickEncounterSource(SceneItem* ship, SceneItem* current);
// Moves a new item out from the reference until it overlaps no body; gives
// up after a bounded number of tries, leaving it at the last place tried.
void FindClearPosition(SceneItem* reference, SceneItem* item);
