// The mission outcome statements SUCCESS, FAILURE and OUTCOME, and the
// close of the flight they share with the vital-loss countdown. See
// missionoutcome.h.
//
// These statements only set the mission's result and start the closing
// camera; none of them stops the run. The mission ends when the bridge's
// end key (or a debrief that has no text) raises the end-of-mission
// request.
#include "script/missionoutcome.h"

#include "screens/bridge.h"
#include "screens/frontend.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/datatext.h"
#include "system/res/resman.h"
#include "ui/dialogue.h"
#include "ui/messagelog.h"
#include "view/cameras.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <string>

namespace {

// The longest line SUCCESS types from a format text.
constexpr size_t kSuccessLineLength = 127;

// The director on the player's ship, as the flight closes.
void StartClosingCamera()
{
    StartDirector();
    DirectorOfferShot(gPlayerItem, nullptr, kShotPlayerShip);
    gDirectorOn = 255;
}

// Past winning: the player's ship was lost, the mission failed, or the
// player's item holds the mission script.
bool MissionOutcomeSettled()
{
    if (gPlayerShipLost || gScriptMission.missionFailed)
        return true;
    return gPlayerItem && gPlayerItem->avatar && (gPlayerItem->avatar->classFlags & kClassSuspendsScript);
}

// The mission clock as minutes and seconds into the resource's format text.
void TypeMissionTime(Resource* resource)
{
    const auto* format = static_cast<const char*>(ResGet(resource));
    if (!format)
        return;
    const int32_t clock = gScriptVars.missionClock;
    const int time[2] = {clock / 6000, (clock / 100) % 60};
    std::string line = FormatWholeNumbers(format, time);
    if (line.size() > kSuccessLineLength)
        line.resize(kSuccessLineLength);
    guiAddMessageLogText(line.c_str(), kMessageLogFontChoice);
}

// The resource as a dialogue; once it plays, the next dialogue statement
// in flight gives way to it.
void PlaySuccessDialogue(Resource* resource)
{
    if (!PlayDialogue(resource, nullptr, ConversationShipOfText(resource), nullptr))
        return;
    gScriptMission.dialogueYield = 255;
}

// SUCCESS [text [n]]: the mission is won. Without a text the won line of
// the text table is typed; with n = 1 the text is a format for the mission
// time; otherwise it plays as a dialogue. After a failure or the loss of
// the player's ship nothing changes, and the operands left on the line are
// passed over by the run loop.
void Success(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadOptionalSymbol(position);
    if (MissionOutcomeSettled())
        return;
    if (!symbol) {
        TypeTextTableLine(kTextMissionWon);
    } else {
        const int32_t n = ScriptNumberToInt(ReadOptionalNumber(position));
        if (Resource* resource = SymbolResource(symbol)) {
            if (n == 1)
                TypeMissionTime(resource);
            else
                PlaySuccessDialogue(resource);
        }
    }
    gScriptMission.missionSucceeded = 255;
}

// FAILURE [n]: the flight ends. Without n the mission-failed line is typed
// first (also after a win). A mission that was won goes to its debrief; any
// other fails, with the external camera on the player's ship.
void Failure(uint32_t& position)
{
    const int32_t n = ScriptNumberToInt(ReadOptionalNumber(position));
    if (n == 0)
        TypeTextTableLine(kTextMissionFailed);
    if (!gScriptMission.missionSucceeded) {
        EnterExternalCamera();
        gScriptMission.missionFailed = 255;
        return;
    }
    PlayDebriefSpeech(gScriptVars.missionNumber, gScriptMission.outcomeNumber);
    gInterpreter.missionPause = 255;
    MissionEndState = kMissionDebrief;
    StartClosingCamera();
}

// OUTCOME n: the debrief variant, kept until another OUTCOME.
void Outcome(uint32_t& position)
{
    gScriptMission.outcomeNumber = ScriptNumberToInt16(ReadNumberOperand(position));
}

constexpr StatementRow kOutcomeRows[] = {
    {kw::SUCCESS, Success},
    {kw::FAILURE, Failure},
    {kw::OUTCOME, Outcome},
};

} // namespace

std::span<const StatementRow> OutcomeStatementRows()
{
    return kOutcomeRows;
}

void EnterExternalCamera()
{
    gInterpreter.missionPause = 255;
    MissionEndState = kMissionFlightOver;
    StartClosingCamera();
}

void TypeTextTableLine(int entry)
{
    if (const char* line = gTextTable[entry])
        guiAddMessageLogText(line, kMessageLogFontChoice);
}
