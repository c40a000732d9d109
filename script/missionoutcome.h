// How a mission's flight ends: the result state that the outcome statements
// SUCCESS, FAILURE and OUTCOME set (gScriptMission's success and failed
// flags and outcome number, the bridge's MissionEndState, the mission
// pause flag and the director), and the close of the flight that FAILURE
// shares with the end of a vital-loss countdown.
//
// The mission itself ends later: the bridge's end key (or a debrief with no
// text) raises the end-of-mission request, and the frame runs the end screen.
#pragma once

#include "screens/bridge.h" // MissionEndState and its values

#include <cstdint>

constexpr int kTextMissionWon = 208;     // text-table entry that SUCCESS types without a text
constexpr int kTextMissionFailed = 209;  // text-table entry of the mission-failed line
constexpr int kMessageLogFontChoice = 1; // the message log's font for the outcome lines

// Ends the flight view for the mission's close: the mission pauses, the
// flight is over (state 1), and the director starts on the player's ship.
// Run when the vital-loss countdown runs out and by FAILURE.
void EnterExternalCamera();

// Types a line of the text table into the message log in the outcome
// lines' font; nothing when STRING left the entry empty.
void TypeTextTableLine(int entry);
