// The bridge key handler: a key's scan code, under the modifier held, is a
// command code of the key map that the key-binding scripts fill. Built so
// far: the end-of-mission step (its end key, command 142) and the back step
// out of a mission's end (command 143); the other commands are not carried
// out yet.
//
// The end key walks the mission's end through MissionEndState: from flight
// (0) the director takes the player's ship (1); from 1 a won mission is
// debriefed and any other leaves for the end screen (2); from 2 the end
// screen follows (through the frame's end-of-mission request).
#include "screens/bridge.h"

#include "screens/frontend.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/missionoutcome.h"
#include "script/symbols.h"
#include "screens/objectives.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/sound.h"
#include "ui/screens.h"
#include "view/cameras.h"
#include "world/scenelist.h"

namespace {

constexpr uint8_t kScanLeftShift = 42;
constexpr uint8_t kScanLeftCtrl = 29;
constexpr int16_t kCommandEndMission = 142;
constexpr int16_t kCommandBack = 143;
constexpr int16_t kNavStation = 2;

// The time bonus that ending a mission early added to the score, taken
// back when the player returns to flight.
int32_t gKeptTimeBonus = 0;

void AddToScore(int32_t points)
{
    gScriptVars.score += points;
    gMissionScore += points;
}

void GoToNavStation()
{
    guiGotoScreen("NAV");
    CurrentStation = kNavStation;
}

void EndMissionStep()
{
    if (gRemoteLinkItem)
        EndRemoteLink(0);
    switch (MissionEndState) {
    case kMissionDebrief:
        gLoopFlags.endOfMissionRequest = 255;
        PlayClosingFilm(gScriptVars.missionNumber, gScriptMission.outcomeNumber);
        break;
    case kMissionFlightOver:
        if (gScriptMission.missionSucceeded) {
            SoundPauseAll();
            PlayDebriefSpeech(gScriptVars.missionNumber, gScriptMission.outcomeNumber);
            gInterpreter.missionPause = 255;
        } else {
            gLoopFlags.endOfMissionRequest = 255;
        }
        MissionEndState = kMissionDebrief;
        break;
    default: {
        // Ended early: the time left before the target time earns its bonus.
        gKeptTimeBonus = 0;
        if (gScriptVars.targetTime > 0) {
            const int32_t seconds = (gScriptVars.targetTime - gScriptVars.missionClock) / 100;
            gKeptTimeBonus = seconds > 0 ? seconds * gScriptVars.timeScore : 0;
            AddToScore(gKeptTimeBonus);
        }
        StartDirectorOnPlayer();
        break;
    }
    }
}

void BackStep()
{
    if (CurrentStation == 0) {
        GoToNavStation();
        return;
    }
    // Back to flight from the end of a mission that has not failed.
    if (MissionEndState != kMissionFlightOver || gScriptMission.missionFailed)
        return;
    AddToScore(-gKeptTimeBonus);
    gKeptTimeBonus = 0;
    MissionEndState = kMissionInFlight;
    if (!gPlayerShipLost) {
        StopDirector();
        GoToNavStation();
        gDirectorOn = 0;
    }
    gInterpreter.missionPause = 0;
}

} // namespace

void guiBridgeKeyHandler(uint16_t keyCode)
{
    const uint8_t scan = static_cast<uint8_t>(keyCode >> 8);
    if (scan == kScanLeftShift || scan == kScanLeftCtrl)
        return;
    const KeyStateBlock& keys = GetKeyStateBlock();
    const int layer = keys[kScanLeftCtrl] ? 2 : keys[kScanLeftShift] ? 1
                                                                     : 0;
    const int16_t command = gKeyMap[layer][scan];
    if (command == kCommandEndMission)
        EndMissionStep();
    else if (command == kCommandBack)
        BackStep();
}
