// The run loop, waits, calls and triggers, driven frame by frame with a fake
// frame clock.
#include "interp_fixture.h"

#include "script/missionoutcome.h"

#include "script/conditions.h"
#include "script/keywords.h"
#include "system/calltrace.h"
#include "system/res/slab.h"
#include "tests/support/sound_fixture.h"
#include "world/starmap.h"

namespace {

using InterpreterTest = InterpTest;

TEST_F(InterpreterTest, NullOrNoPositionReturnsAtOnce)
{
    EXPECT_EQ(RunScript(nullptr, true), 0);
    uint32_t none = kNoScriptPosition;
    EXPECT_EQ(RunScript(&none, true), 0);
}

TEST_F(InterpreterTest, StartUpRunGoesToEndAndStaysThere)
{
    uint32_t position = Compile("ADD a 2\nADD a 3\nEND\nADD a 100\n");
    EXPECT_EQ(RunScript(&position, false), 0);
    EXPECT_EQ(Number("a"), 5);
    EXPECT_EQ(ScriptTokenAt(position).id, kw::END);
    EXPECT_EQ(RunScript(&position, false), 0);
    EXPECT_EQ(Number("a"), 5);
}

TEST_F(InterpreterTest, TimedWaitCountsFrameTicksAndKeepsItsPlace)
{
    uint32_t position = Compile("WAIT_TIME 100\nADD a 1\nEND\n");
    EXPECT_EQ(Frame(position), kStopWaiting);
    for (int frame = 1; frame <= 4; ++frame) {
        EXPECT_EQ(Frame(position), kStopWaiting) << frame;
        EXPECT_EQ(Number("a"), 0) << frame;
    }
    EXPECT_EQ(Frame(position), 0);
    EXPECT_EQ(Number("a"), 1);
    EXPECT_EQ(gInterpreter.waitCountdown, 0);
}

TEST_F(InterpreterTest, TimedWaitEndsOnTheNextRunForCountsThatTruncateToZeroOrBelow)
{
    for (const char* count : {"0.4", "0", "-3"}) {
        ResetMissionScript();
        uint32_t position = Compile(std::string("WAIT_TIME ") + count + "\nADD a 1\nEND\n");
        EXPECT_EQ(Frame(position), kStopWaiting) << count;
        EXPECT_EQ(Frame(position), 0) << count;
        EXPECT_EQ(Number("a"), 1) << count;
    }
}

TEST_F(InterpreterTest, TimedWaitStandsWhileTheMissionIsPausedOrTheStarMapIsOpen)
{
    for (uint8_t* flag : {&gInterpreter.missionPause, &gStarMapOpen}) {
        uint32_t position = Compile("WAIT_TIME 40\nADD a 1\nEND\n");
        Frame(position);
        *flag = 255;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(Frame(position), kStopWaiting);
        *flag = 0;
        EXPECT_EQ(Frame(position), kStopWaiting);
        EXPECT_EQ(Frame(position), 0);
    }
}

TEST_F(InterpreterTest, SkipRequestEndsAWaitAndIsClearedAfterTheStatement)
{
    uint32_t position = Compile("WAIT_UNTIL DESTROYED LASTSHIP AND GT 0 1\nADD a 1\nWAIT_TIME 500\nADD a 1\nEND\n");
    EXPECT_EQ(Frame(position), kStopWaiting);
    gScriptSkipRequest = 255;
    EXPECT_EQ(Frame(position), kStopWaiting); // the skip ends the condition wait only
    EXPECT_EQ(Number("a"), 1);
    EXPECT_EQ(gScriptSkipRequest, 0);
    gScriptSkipRequest = 255;
    EXPECT_EQ(Frame(position), 0);
    EXPECT_EQ(Number("a"), 2);
}

TEST_F(InterpreterTest, ACallWhenDuringATimedWaitResumesTheRemainingCountdown)
{
    uint32_t position = Compile("CALL_ONCE_WHEN handler TIMER_OUT\n"
                                "WAIT_TIME 200\nADD done 1\nEND\n"
                                "handler:\nADD fired 1\nWAIT\nRETURN\n");
    Frame(position); // registers the row (elapsed 100) and starts the wait
    Frame(position); // countdown 180, row 120
    Frame(position); // countdown 160, row 140
    Frame(position); // row 160: fires, the handler waits
    EXPECT_EQ(Number("fired"), 1);
    EXPECT_EQ(gInterpreter.waitCountdown, 0);
    Frame(position); // RETURN restores 160, then 140
    EXPECT_EQ(gInterpreter.waitCountdown, 140);
    int frames = 0;
    while (Frame(position) == kStopWaiting)
        ++frames;
    EXPECT_EQ(frames, 6);
    EXPECT_EQ(Number("done"), 1);
}

TEST_F(InterpreterTest, CallWhenRowsAreStaggeredAndKeepFiringAfterEnd)
{
    uint32_t position = Compile("CALL_WHEN one TIMER_OUT\nCALL_WHEN two TIMER_OUT\nEND\n"
                                "one:\nADD first 1\nRETURN\ntwo:\nADD second 1\nRETURN\n");
    Frame(position);
    EXPECT_EQ(gInterpreter.callWhen[0].elapsed, 100);
    EXPECT_EQ(gInterpreter.callWhen[1].elapsed, 75);
    int firstFrame = -1, secondFrame = -1;
    for (int frame = 1; frame < 40; ++frame) {
        const int32_t first = Number("first");
        const int32_t second = Number("second");
        Frame(position);
        const bool firedFirst = Number("first") != first;
        const bool firedSecond = Number("second") != second;
        EXPECT_FALSE(firedFirst && firedSecond) << frame;
        if (firedFirst && firstFrame < 0)
            firstFrame = frame;
        if (firedSecond && secondFrame < 0)
            secondFrame = frame;
    }
    EXPECT_EQ(firstFrame, 3);
    EXPECT_EQ(secondFrame, 5);
    // Every 150 ticks (7.5 frames of 20) after the script reached END.
    EXPECT_EQ(Number("first"), 5);
}

TEST_F(InterpreterTest, RegisteringACallWhenDoesNotEvaluateItsCondition)
{
    SceneItem* item = worldtest::MakeItem();
    ScriptSymbol* ship = AddScriptSymbol("SHIPA", nullptr, 0);
    ship->type = kSymbolSceneItem;
    SetSymbolObject(ship, item);
    item->sim->flags |= 0x10000;
    uint32_t position = Compile("CALL_WHEN fired HASFIRED SHIPA\nEND\nfired:\nADD n 1\nRETURN\n");
    Frame(position);
    EXPECT_TRUE(item->sim->flags & 0x10000);
    for (int i = 0; i < 3; ++i)
        Frame(position);
    EXPECT_EQ(Number("n"), 1);
    EXPECT_FALSE(item->sim->flags & 0x10000);
}

TEST_F(InterpreterTest, SeventeenthCallWhenIsASyntaxError)
{
    std::string text;
    for (int i = 0; i < 17; ++i)
        text += "CALL_WHEN h TIMER_OUT\n";
    text += "END\nh:\nRETURN\n";
    uint32_t position = Compile(text);
    const ScriptStop stop = FramesUntilStop(position, 1);
    EXPECT_EQ(stop.title, "SCRIPT Syntax Error");
    EXPECT_NE(stop.text.find("test.scr(17) : CALL_WHEN h TIMER_OUT \n Unacceptable number of CALL_WHENs"),
              std::string::npos)
        << stop.text;
}

TEST_F(InterpreterTest, TriggerWithAFullStackWaitsForALaterFrame)
{
    // Ten nested calls, the innermost waiting until a flag is set.
    std::string text = "CALL_WHEN handler TIMER_OUT\nCALL l1\nEND\n";
    for (int i = 1; i < 10; ++i)
        text += "l" + std::to_string(i) + ":\nCALL l" + std::to_string(i + 1) + "\nRETURN\n";
    text += "l10:\nWAIT_UNTIL GT release 0\nRETURN\nhandler:\nADD fired 1\nRETURN\n";
    uint32_t position = Compile(text);
    for (int i = 0; i < 10; ++i)
        Frame(position);
    EXPECT_EQ(gInterpreter.depth, kSubroutineDepth - 1);
    EXPECT_EQ(Number("fired"), 0);
    EXPECT_GT(gInterpreter.callWhen[0].elapsed, kCallWhenPeriod);
    WriteSymbolInt(FindScriptSymbol("release"), 1);
    Frame(position); // the stack unwinds
    EXPECT_EQ(gInterpreter.depth, -1);
    Frame(position);
    EXPECT_EQ(Number("fired"), 1);
}

TEST_F(InterpreterTest, CallOnceErasesOnlyItsOwnPairs)
{
    uint32_t position = Compile("loop:\nCALL_ONCE_IF once GT 1 0 ADD passes 1\nBNE loop passes 3\nEND\n"
                                "once:\nADD calls 1\nRETURN\n");
    RunScript(&position, false);
    EXPECT_EQ(Number("calls"), 1);
    EXPECT_EQ(Number("passes"), 3);
}

TEST_F(InterpreterTest, ConditionalCallsAndBranches)
{
    uint32_t position = Compile("CALL_IF yes GT 2 1\nCALL_IF_NOT yes GT 2 1\n"
                                "CALL_IF_NOT yes GT 1 2\nCALL_ONCE_IF_NOT yes GT 1 2\n"
                                "BRA_IF_NOT skip GT 2 1\nADD reached 1\nskip:\n"
                                "BRA_IF over GT 2 1\nADD reached 10\nover:\n"
                                "SET k 2\ncount:\nADD loops 1\nDECBNE k count\n"
                                "SET j 1\nDECBEQ j zero\nADD reached 100\nzero:\n"
                                "BEQ eq 4 4\nADD reached 1000\neq:\nEND\n"
                                "yes:\nADD calls 1\nRETURN\n");
    RunScript(&position, false);
    EXPECT_EQ(Number("calls"), 3);
    EXPECT_EQ(Number("reached"), 1);
    EXPECT_EQ(Number("loops"), 2);
}

TEST_F(InterpreterTest, ASyntaxErrorInAScriptInsideTheLibraryShowsItsLine)
{
    const std::string text = "ADD a 1\n\tRETURN\nADD b 2\n";
    const SlabPackItem items[] = {{"\\missions\\packed.scr", std::vector<uint8_t>(text.begin(), text.end())}};
    std::vector<uint8_t> library;
    ASSERT_TRUE(SlabBuild(items, library));
    WriteFile("zqk/resource/scripts.slb", std::string(library.begin(), library.end()));
    ScriptToken* start = TokeniseScript("packed.scr");
    ASSERT_NE(start, nullptr);
    uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
    const ScriptStop stop = FramesUntilStop(position, 1);
    EXPECT_EQ(stop.title, "SCRIPT Syntax Error");
    EXPECT_EQ(stop.text, "zqk\\resource\\scripts\\missions\\packed.scr(2) :  RETURN \n Underflow of subroutine stack.");
}

TEST_F(InterpreterTest, LoopWithoutAWaitIsAScriptErrorNamingItsLine)
{
    uint32_t position = Compile("ADD a 1\nspin:\nADD a 1\nBRA spin\n");
    const ScriptStop stop = FramesUntilStop(position, 1);
    EXPECT_EQ(stop.title, "SCRIPT Syntax Error");
    EXPECT_NE(stop.text.find("test.scr("), std::string::npos) << stop.text;
    EXPECT_NE(stop.text.find("Script runs too long without a WAIT"), std::string::npos);
}

TEST_F(InterpreterTest, MissionClockAdvancesOncePerFrame)
{
    uint32_t main = Compile("WAIT\nWAIT\nEND\n", "main.scr");
    uint32_t other = Compile("END\n", "other.scr");
    Frame(main);
    RunScript(&other, false); // a second run in the same frame
    EXPECT_EQ(gScriptVars.missionClock, 20);
    Frame(main, 7);
    EXPECT_EQ(gScriptVars.missionClock, 27);
    gScriptVars.stopClock = 1;
    Frame(main);
    EXPECT_EQ(gScriptVars.missionClock, 27);
}

TEST_F(InterpreterTest, QuitRequestAndFilmModeEndTheRun)
{
    uint32_t position = Compile("ADD a 1\nADD a 1\nEND\n");
    gLoopFlags.filmMode = 1;
    EXPECT_EQ(RunScript(&position, false), 0);
    EXPECT_EQ(Number("a"), 0);
    gLoopFlags.filmMode = 0;
    gLoopFlags.quitRequest = 255;
    RunScript(&position, false);
    EXPECT_EQ(Number("a"), 1);
}

TEST_F(InterpreterTest, StatementsWithoutAHandlerAreSkipped)
{
    EXPECT_NE(FindStatementHandler(kw::CALL), nullptr);
    EXPECT_EQ(FindStatementHandler(kw::NEARTO), nullptr); // conditions are not statements
    EXPECT_EQ(FindStatementHandler(9999), nullptr);
    uint32_t position = Compile("NEARTO a b 5\nON OFF 12\nADD n 1\nEND\n");
    RunScript(&position, false);
    EXPECT_EQ(Number("n"), 1);
}

TEST_F(InterpreterTest, LineMarkersSetTheLineRecordForTheDebugView)
{
    uint32_t position = Compile("ADD a 1\n\tWAIT\t; now\nEND\n");
    // A marker records where the next line starts: the line now running.
    Frame(position);
    char text[256];
    GetScriptLineText(text);
    EXPECT_STREQ(text, " WAIT ; now");
    Frame(position);
    GetScriptLineText(text);
    EXPECT_STREQ(text, "END");
}

// The player's ship arrives in a star system before the next frame, with
// group 5 current; returns the group counter before the arrival.
int16_t ArriveBeforeTheNextFrame(int32_t system)
{
    gPlayerItem = worldtest::MakeItem();
    gInterpreter.currentGroup = 5;
    gScriptMission.arrivalPending = 255;
    gScriptMission.arrivalSystem = system;
    return gInterpreter.groupCounter;
}

TEST_F(InterpreterTest, ArrivalCallsTheSystemLabelOnceAndRestoresTheGroup)
{
    uint32_t position = Compile("WAIT\nWAIT\nWAIT\nEND\nSTARSYSTEM_7:\nADD arrived 1\nRETURN\n");
    const int16_t counter = ArriveBeforeTheNextFrame(7);
    Frame(position);
    EXPECT_EQ(Number("arrived"), 1);
    EXPECT_EQ(gInterpreter.currentGroup, 5); // restored by the handler's RETURN
    EXPECT_EQ(gInterpreter.groupCounter, counter + 1);
    EXPECT_STREQ(gInterpreter.currentLabel, "STARSYSTEM_7");
    gScriptMission.arrivalPending = 255;
    Frame(position);
    EXPECT_EQ(Number("arrived"), 1); // visited already
    EXPECT_EQ(gScriptMission.arrivalPending, 0);
    EXPECT_EQ(gInterpreter.groupCounter, counter + 1);
}

TEST_F(InterpreterTest, ArrivalWithoutASystemLabelStillStartsANewGroup)
{
    uint32_t position = Compile("WAIT\nCALL sub\nWAIT\nEND\nsub:\nRETURN\n");
    const int16_t counter = ArriveBeforeTheNextFrame(2);
    Frame(position);
    EXPECT_EQ(gScriptMission.arrivalPending, 0);
    EXPECT_EQ(gInterpreter.depth, -1); // nothing was called
    EXPECT_EQ(gInterpreter.currentGroup, counter);
    EXPECT_EQ(gInterpreter.groupCounter, counter + 1);
    Frame(position); // the next RETURN brings the saved group back
    EXPECT_EQ(gInterpreter.currentGroup, 5);
    EXPECT_EQ(gInterpreter.savedGroupFlag, 0);
}

TEST_F(InterpreterTest, BriefingStartPausesTheMissionAndJumpsToItsDeclaration)
{
    uint32_t position = Compile("WAIT\nADD after 1\nEND\nBRF_DECLARE\nADD briefed 1\nRETURN\n");
    ASSERT_NE(gBriefings.declare[0], kNoScriptPosition);
    gScriptMission.briefingRequested = 255;
    gScriptMission.briefingNumber = 0;
    CapturedSound sound;
    ASSERT_NE(SpeechPlay(sound.tonePath.c_str()), nullptr);
    Frame(position);
    EXPECT_FALSE(SoundIsPlaying(&gSpeechChannel)); // the briefing paused the sounds
    EXPECT_NE(gSpeechChannel.paused, 0);
    EXPECT_EQ(Number("briefed"), 1);
    EXPECT_EQ(gInterpreter.missionPause, 255);
    EXPECT_EQ(gScriptMission.briefingActive, 255);
    EXPECT_EQ(gScriptMission.briefingRequested, 0);
}

TEST_F(InterpreterTest, TheLossCountdownEndsOnTheExternalCamera)
{
    uint32_t position = Compile("WAIT\nWAIT\nEND\n");
    gScriptMission.vitalLossCountdown = 30;
    Frame(position);
    EXPECT_EQ(MissionEndState, kMissionInFlight);
    Frame(position);
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    EXPECT_EQ(gInterpreter.missionPause, 255);
}

TEST_F(InterpreterTest, MissionResetClearsTheInterpreterState)
{
    uint32_t position = Compile("CALL_WHEN h TIMER_OUT\nCALL h\nEND\nh:\nWAIT_TIME 100\nRETURN\n");
    Frame(position);
    EXPECT_EQ(gInterpreter.callWhenCount, 1);
    EXPECT_EQ(gInterpreter.depth, 0);
    ResetMissionScript();
    EXPECT_EQ(gInterpreter.callWhenCount, 0);
    EXPECT_EQ(gInterpreter.depth, -1);
    EXPECT_EQ(gInterpreter.waitCountdown, 0);
    EXPECT_EQ(gInterpreter.triggersEnabled, 255);
    EXPECT_EQ(gInterpreter.placementMode, 255);
}

} // namespace
