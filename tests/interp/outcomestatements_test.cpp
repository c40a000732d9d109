// The mission outcome statements: what SUCCESS, FAILURE and OUTCOME leave
// in the mission's result state, the lines they type, and the closing
// camera that FAILURE shares with the end of a vital-loss countdown; then
// the bridge's end and back keys that take a mission from there to its end.
#include "interp_fixture.h"

#include "game/startup.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "script/configstatements.h"
#include "script/keywords.h"
#include "script/missionoutcome.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/res/resman.h"
#include "tests/support/world_fixture.h"
#include "tests/support/log_font.h"
#include "ui/messagelog.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "world/records.h"

#include <cstring>
#include <string>

namespace {

class OutcomeTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ResInit();
        EnableCallTrace(true);
        ClearCallTrace();
        gTextTable[kTextMissionWon] = "Mission complete.";
        gTextTable[kTextMissionFailed] = "Mission failed.";
        gScriptVars.missionNumber = 7;
        gPlayerItem = gControlledItem = worldtest::MakeItem();
        guiClearMessageLog();
        gLoopFlags.endOfMissionRequest = 0;
    }
    void TearDown() override
    {
        EnableCallTrace(false);
        std::memset(gTextTable, 0, sizeof gTextTable);
        gScriptVars.missionNumber = 1;
        gScriptMission.outcomeNumber = 0;
        gLoopFlags.endOfMissionRequest = 0;
        ResShutdown();
        InterpTest::TearDown();
    }

    static std::string LogText() { return gMessageLogPendingText; }

    MessageLogFont font_;
};

// Each row runs a script from a fresh mission and checks the result state
// it leaves.
struct OutcomeCase {
    const char* script;
    uint8_t succeeded;
    uint8_t failed;
    int32_t endState;
    const char* lastLine; // the text last typed into the log
    uint8_t endRequest;   // no debrief text: the end screen is asked for
};

TEST_F(OutcomeTest, SuccessAndFailureLeaveTheMissionInItsEndState)
{
    const OutcomeCase cases[] = {
        // Won, then ended: no failure, the debrief at once; the
        // mission-failed line is typed first all the same.
        {"SUCCESS\nFAILURE", 255, 0, kMissionDebrief, "Mission failed.", 255},
        // With a number FAILURE types nothing.
        {"SUCCESS\nFAILURE 2", 255, 0, kMissionDebrief, "Mission complete.", 255},
        // Failed: the external camera; a later SUCCESS changes nothing.
        {"FAILURE", 0, 255, kMissionFlightOver, "Mission failed.", 0},
        {"FAILURE\nSUCCESS", 0, 255, kMissionFlightOver, "Mission failed.", 0},
        // SUCCESS alone goes on flying.
        {"SUCCESS", 255, 0, kMissionInFlight, "Mission complete.", 0},
    };
    for (const OutcomeCase& c : cases) {
        ResetMissionScript();
        ResetCameras();
        guiClearMessageLog();
        ClearCallTrace();
        gLoopFlags.endOfMissionRequest = 0;
        // The run goes on after each statement: the script reaches END.
        const uint32_t stopped = Run(c.script);
        EXPECT_EQ(ScriptTokenAt(stopped).id, kw::END) << c.script;
        EXPECT_EQ(gScriptMission.missionSucceeded, c.succeeded) << c.script;
        EXPECT_EQ(gScriptMission.missionFailed, c.failed) << c.script;
        EXPECT_EQ(MissionEndState, c.endState) << c.script;
        EXPECT_EQ(LogText(), c.lastLine) << c.script;
        EXPECT_EQ(gMessageLogPendingStyle, kMessageLogFontChoice) << c.script;
        EXPECT_EQ(gLoopFlags.endOfMissionRequest, c.endRequest) << c.script;
        const bool ended = c.endState != kMissionInFlight;
        EXPECT_EQ(gInterpreter.missionPause, ended ? 255 : 0) << c.script;
        EXPECT_EQ(gDirectorOn, ended ? 255 : 0) << c.script;
        // Ended: the director's shot of the player's ship, held.
        EXPECT_EQ(gCameras.director.event, ended ? kShotPlayerShip : 0) << c.script;
        EXPECT_EQ(gCameras.director.hold, ended ? DirectorEvent[kShotPlayerShip].holdTicks : 0) << c.script;
    }
}

TEST_F(OutcomeTest, AWonMissionsDebriefIsItsOutcomesTextOrItsFirst)
{
    WriteFile("zqk/resource/text/debrief/dbf_07_1.txt", "Outcome one.");
    WriteFile("zqk/resource/text/debrief/dbf_07_0.txt", "The first debrief.");
    const struct {
        int16_t outcome;
        const char* text;
    } cases[] = {{1, "Outcome one."}, {2, "The first debrief."}, {3, "The first debrief."}};
    for (const auto& c : cases) {
        ResetMissionScript();
        gScriptMission.outcomeNumber = c.outcome;
        Run("SUCCESS\nFAILURE 1");
        EXPECT_EQ(LogText(), c.text) << c.outcome;
        EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0) << c.outcome;
        EXPECT_EQ(MissionEndState, kMissionDebrief) << c.outcome;
    }
    // Missions from 90 on have no debrief: the end screen follows.
    WriteFile("zqk/resource/text/debrief/dbf_null.txt", "Nothing to report.");
    gScriptVars.missionNumber = 91;
    ResetMissionScript();
    Run("SUCCESS\nFAILURE 1");
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 255);
}

TEST_F(OutcomeTest, SuccessWithAFormatTypesTheMissionTime)
{
    WriteFile("zqk/resource/text/won.txt", "Won in %d minutes and %02d seconds");
    gScriptVars.missionClock = 754321;
    Run("REGISTER won \"zqk\\resource\\text\\won.txt\" TXT2TXT\nSUCCESS won 1");
    EXPECT_EQ(LogText(), "Won in 125 minutes and 43 seconds");
    EXPECT_EQ(gScriptMission.missionSucceeded, 255);

    // A stray conversion in the modder's text is kept as written, and the
    // line is cut at 127 characters.
    WriteFile("zqk/resource/text/odd.txt", "%s %d:%d %d " + std::string(200, 'x'));
    Run("REGISTER odd \"zqk\\resource\\text\\odd.txt\" TXT2TXT\nSUCCESS odd 1");
    EXPECT_EQ(LogText().substr(0, 13), "%s 125:43 %d ");
    EXPECT_EQ(LogText().size(), 127u);

    // Past nine hours the seconds stay whole: 36042 seconds.
    gScriptVars.missionClock = 3604200;
    Run("REGISTER won \"zqk\\resource\\text\\won.txt\" TXT2TXT\nSUCCESS won 1");
    EXPECT_EQ(LogText(), "Won in 600 minutes and 42 seconds");
}

TEST_F(OutcomeTest, SuccessWithATextAndNoNumberPlaysItAsADialogue)
{
    WriteFile("zqk/resource/text/well.txt", "Well done, captain.");
    ResetShipLog();
    gFrameClock.gameClock = 123456;
    Run("REGISTER well \"zqk\\resource\\text\\well.txt\" TXT2TXT\nSUCCESS well");
    // In flight a dialogue line goes to the ship's log and on to the message log.
    gFrameClock.gameClock = 0;
    ASSERT_EQ(gShipLog.count, 1);
    EXPECT_STREQ(gShipLog.entries[0].line, "20:34 Well done, captain.");
    EXPECT_EQ(LogText(), "20:34 Well done, captain.");
    EXPECT_EQ(gScriptMission.missionSucceeded, 255);
}

TEST_F(OutcomeTest, SuccessChangesNothingOnceThePlayersItemHoldsTheScript)
{
    gPlayerItem->avatar->classFlags |= kClassSuspendsScript;
    Run("SUCCESS 1");
    EXPECT_EQ(gScriptMission.missionSucceeded, 0);
    EXPECT_EQ(LogText(), "");
}

TEST_F(OutcomeTest, TheOutcomeNumberOutlivesTheMissionThatSetIt)
{
    Run("OUTCOME 2.9");
    EXPECT_EQ(gScriptMission.outcomeNumber, 2);
    ResetMissionScript(); // the next mission sets none
    Run("SUCCESS\nFAILURE");
    EXPECT_EQ(gScriptMission.outcomeNumber, 2);
    EXPECT_EQ(gScriptMission.missionSucceeded, 255);
    EXPECT_EQ(MissionEndState, kMissionDebrief);
}

TEST_F(OutcomeTest, OutcomeWithoutANumberIsASyntaxError)
{
    const ScriptStop stop = RunUntilStop("OUTCOME");
    EXPECT_EQ(stop.title, "SCRIPT Syntax Error");
    EXPECT_NE(stop.text.find("Bad SYMBOL Reference"), std::string::npos) << stop.text;
}

TEST_F(OutcomeTest, TheExternalCameraEndsTheFlightAndAMissionResetClearsIt)
{
    ClearCallTrace();
    EnterExternalCamera();
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    EXPECT_EQ(gInterpreter.missionPause, 255);
    EXPECT_EQ(gDirectorOn, 255);
    EXPECT_EQ(gExternalView, 255);
    EXPECT_EQ(gCameras.director.event, kShotPlayerShip);
    ResetMissionScript();
    EXPECT_EQ(MissionEndState, kMissionInFlight);
    EXPECT_EQ(gInterpreter.missionPause, 0);
    EXPECT_EQ(gDirectorOn, 0);
}

} // namespace

TEST_F(OutcomeTest, TheEndScreenKeepsTheMissionsResultAndStartsTheNextAfresh)
{
    gMissionScore = 1200;
    Run("OUTCOME 3\nSUCCESS\nFAILURE 1"); // no debrief text: the end screen is asked for
    ASSERT_EQ(gLoopFlags.endOfMissionRequest, 255);
    ShowEndScreen();
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0);
    EXPECT_EQ(gMissionResult.succeeded, 255);
    EXPECT_EQ(gMissionResult.outcome, 3);
    EXPECT_EQ(gMissionResult.score, 1200);
    EXPECT_EQ(MissionEndState, kMissionInFlight);
    EXPECT_EQ(gScriptMission.missionSucceeded, 0);
    EXPECT_EQ(gDirectorOn, 0);
    gMissionScore = 0;
}

// ---- The bridge's end and back keys ----------------------------------------------

class EndKeyTest : public OutcomeTest {
protected:
    static constexpr uint8_t kEndScan = 0x10;  // bound to the end step
    static constexpr uint8_t kBackScan = 0x0E; // bound to the back step
    void SetUp() override
    {
        OutcomeTest::SetUp();
        gKeyMap[0][kEndScan] = 142;
        gKeyMap[0][kBackScan] = 143;
        CurrentStation = 2;
        gScriptVars.score = gMissionScore = 0;
    }
    void TearDown() override
    {
        std::memset(gKeyMap, 0, sizeof gKeyMap);
        CurrentStation = 0;
        GetKeyStateBlock().fill(0);
        gScriptVars.score = gMissionScore = 0;
        OutcomeTest::TearDown();
    }
    static void Press(uint8_t scan) { guiBridgeKeyHandler(static_cast<uint16_t>(scan << 8)); }
};

TEST_F(EndKeyTest, ThreePressesFromFlightEndAFailedOrUnwonMission)
{
    Press(kEndScan);
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    EXPECT_EQ(gDirectorOn, 255);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0);
    Press(kEndScan);
    EXPECT_EQ(MissionEndState, kMissionDebrief);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 255);
    gLoopFlags.endOfMissionRequest = 0;
    Press(kEndScan);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 255);
}

TEST_F(EndKeyTest, AWonMissionIsDebriefedBeforeItsEnd)
{
    WriteFile("zqk/resource/text/debrief/dbf_07_0.txt", "Well flown.");
    Run("SUCCESS");
    Press(kEndScan);
    Press(kEndScan);
    EXPECT_EQ(MissionEndState, kMissionDebrief);
    EXPECT_EQ(LogText(), "Well flown.");
    EXPECT_EQ(gInterpreter.missionPause, 255);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0); // the debrief is being read
    Press(kEndScan);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 255);
}

TEST_F(EndKeyTest, EndingEarlyEarnsTheTimeBonusThatGoingBackReturns)
{
    gScriptVars.targetTime = 10000;
    gScriptVars.missionClock = 4050;
    gScriptVars.timeScore = 5;
    Press(kEndScan);
    EXPECT_EQ(gScriptVars.score, 59 * 5);
    EXPECT_EQ(gMissionScore, 59 * 5);
    Press(kBackScan);
    EXPECT_EQ(MissionEndState, kMissionInFlight);
    EXPECT_EQ(gScriptVars.score, 0);
    EXPECT_EQ(gDirectorOn, 0);
    EXPECT_EQ(gInterpreter.missionPause, 0);

    // Past the target time there is no bonus.
    gScriptVars.missionClock = 12000;
    Press(kEndScan);
    EXPECT_EQ(gScriptVars.score, 0);
}

// Escape after a failure goes on, as the end key does: the flight cannot
// be taken up again.
TEST_F(EndKeyTest, AFailedMissionCannotGoBackToFlight)
{
    Run("FAILURE");
    Press(kBackScan);
    EXPECT_EQ(MissionEndState, kMissionDebrief);
    EXPECT_EQ(gInterpreter.missionPause, 255);
}

TEST_F(EndKeyTest, TheModifierChoosesTheLayerAndCtrlWins)
{
    gKeyMap[0][kEndScan] = 0;
    gKeyMap[1][kEndScan] = 143;
    gKeyMap[2][kEndScan] = 142;
    GetKeyStateBlock()[42] = 255;
    GetKeyStateBlock()[29] = 255;
    Press(kEndScan);
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    GetKeyStateBlock()[29] = 0;
    Press(kEndScan); // Shift alone: the back step
    EXPECT_EQ(MissionEndState, kMissionInFlight);
}
