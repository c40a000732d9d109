// The briefing statements, run frame by frame on a small briefing: the
// frame in which each section starts after its text, speech, pauses and
// clip; the forward, back, hold and leave requests; the end of the
// briefing and its replay.
#include "interp_fixture.h"

#include "screens/bridge.h"
#include "screens/objectives.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/vitalobjects.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "tests/support/log_font.h"
#include "ui/messagelog.h"
#include "view/lwoloader.h"

#include <filesystem>
#include <string>

namespace {

class BriefingStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ResInit();
        gPlayerItem = gControlledItem = worldtest::MakeItem();
        guiClearMessageLog();
        gSpeechCountdown = 0;
        gPresentation.running = 1; // the command screen shows the briefing
        gObjectivesViewOpen = 0;
        WriteFile("zqk/resource/text/one.txt", "Section one.");
        WriteFile("zqk/resource/text/two.txt", "Section two.");
    }
    void TearDown() override
    {
        ResetPresentationState();
        gScriptMission.briefingSections[kBriefingLeave] = 0;
        gSettings.briefingPause = 0;
        gObjectivesViewOpen = 0;
        ResShutdown();
        InterpTest::TearDown();
    }

    // A mission that waits, with the briefing `body` (its sections) after END.
    uint32_t Briefing(const std::string& body)
    {
        uint32_t position = Compile("WAIT\nEND\nBRF_DECLARE\nADD declared 1\n"
                                    "REGISTER one \"zqk\\resource\\text\\one.txt\" TXT2TXT\n"
                                    "REGISTER two \"zqk\\resource\\text\\two.txt\" TXT2TXT\n"
                                    "BRF_BEGIN\n" +
                                    body + "\nBRF_END\nRETURN\n");
        gScriptMission.briefingRequested = 255;
        gScriptMission.briefingNumber = 0;
        return position;
    }

    // The log has typed all of its text.
    static void Typed() { gMessageLogTypingPosition = gMessageLogTextLength; }

    // Fake clip in the briefing slot, running until it is finished.
    static FilmClip* RunningClip()
    {
        auto* clip = new FilmClip;
        clip->lastFrame = 10;
        gScriptMission.briefingClip = clip;
        gScriptMission.briefingClipOpen = 255;
        return clip;
    }

    static std::string LogText() { return gMessageLogPendingText; }

    MessageLogFont font_;
};

TEST_F(BriefingStatementTest, ASectionWaitsForTheTextTheSpeechAndThePauses)
{
    uint32_t position = Briefing("BRF_SECT 0\nDIALOGUE one\nBRF_PAUSE\n"
                                 "BRF_SECT 1\nADD s1 1\nDIALOGUE two\nBRF_PAUSE\nBRF_PAUSE\n"
                                 "BRF_SECT 2\nADD s2 1");
    bool mark = false;
    const int32_t one = guiMessageTextDuration("Section one.", &mark);
    const int32_t two = guiMessageTextDuration("Section two.", &mark);
    Frame(position, 20);
    EXPECT_EQ(gScriptMission.briefingActive, 255);
    EXPECT_NE(LogText().find("Section one."), std::string::npos);
    // The line's time and one pause of 2 seconds, less the waiting frame.
    EXPECT_EQ(gSpeechCountdown, one + 200 - 20);
    // The speech runs out while the text is still typing: still waiting.
    while (gSpeechCountdown > 0)
        Frame(position, 20);
    Frame(position, 20);
    EXPECT_EQ(Number("s1"), 0);
    Typed();
    Frame(position, 20);
    EXPECT_EQ(Number("s1"), 1);
    EXPECT_EQ(gScriptMission.briefingSection, 2); // entered, waiting
    // Two pauses add 4 seconds.
    EXPECT_EQ(gSpeechCountdown, two + 400 - 20);
    Typed();
    while (gSpeechCountdown > 0)
        Frame(position, 20);
    EXPECT_EQ(Number("s2"), 0);
    Frame(position, 20);
    EXPECT_EQ(Number("s2"), 1);
}

TEST_F(BriefingStatementTest, WithTheBriefingPauseSwitchTheNextSectionHoldsUntilForward)
{
    gSettings.briefingPause = 1;
    uint32_t position = Briefing("BRF_SECT 0\nDIALOGUE one\nBRF_PAUSE\nBRF_SECT 1\nADD s1 1");
    Frame(position);
    Typed();
    gSpeechCountdown = 0;
    for (int i = 0; i < 5; ++i)
        Frame(position);
    EXPECT_EQ(gScriptMission.briefingSections[kBriefingHold], 255);
    EXPECT_EQ(Number("s1"), 0);
    // Forward: the log cleared, skip set, hold cleared.
    guiClearMessageLog();
    gScriptMission.briefingSections[kBriefingSkip] = 255;
    gScriptMission.briefingSections[kBriefingHold] = 0;
    Frame(position);
    EXPECT_EQ(Number("s1"), 1);
}

TEST_F(BriefingStatementTest, ForwardDuringAClipClosesItAndStartsTheNextSectionAtOnce)
{
    uint32_t position = Briefing("BRF_SECT 0\nBRF_WAITVIDEO\nBRF_SECT 1\nADD s1 1");
    RunningClip();
    Frame(position);
    Frame(position);
    EXPECT_EQ(Number("s1"), 0);
    gScriptMission.briefingSections[kBriefingSkip] = 255;
    Frame(position);
    EXPECT_EQ(Number("s1"), 1);
    EXPECT_EQ(gScriptMission.briefingClip, nullptr);
    EXPECT_EQ(gScriptMission.briefingClipOpen, 0);
    EXPECT_EQ(gScriptMission.briefingSections[kBriefingSkip], 0);
}

TEST_F(BriefingStatementTest, AVideoWaitsForTheRunningClipsLastFrame)
{
    uint32_t position = Briefing("BRF_SECT 0\nBRF_VIDEO nofilm\nADD v 1\nBRF_WAITVIDEO\nBRF_SECT 1\nADD s1 1");
    FilmClip* clip = RunningClip();
    Frame(position);
    Frame(position);
    EXPECT_EQ(Number("v"), 0);
    clip->finished = 1;
    Frame(position);
    // The finished clip closed; the film could not be opened, so nothing
    // is waited for.
    EXPECT_EQ(Number("v"), 1);
    EXPECT_EQ(gScriptMission.briefingClipOpen, 0);
    EXPECT_EQ(Number("s1"), 1);
}

TEST_F(BriefingStatementTest, BackReturnsToTheSectionBeforeTheOneShowing)
{
    const std::string sections = "BRF_SECT 0\nADD s0 1\nBRF_SECT 1\nADD s1 1\nBRF_SECT 2\nADD s2 1\nDIALOGUE one\n"
                                 "BRF_SECT 3\nADD s3 1\nDIALOGUE two";
    // Back while section 2 shows: the briefing goes on from section 1.
    uint32_t position = Briefing(sections);
    Frame(position);
    EXPECT_EQ(Number("s2"), 1);
    EXPECT_EQ(Number("s3"), 0);
    guiClearMessageLog();
    gScriptMission.briefingSections[kBriefingSkip] = 255;
    gScriptMission.briefingSections[kBriefingBack] = 255;
    Frame(position);
    EXPECT_EQ(Number("s0"), 1);
    EXPECT_EQ(Number("s1"), 2);
    EXPECT_EQ(Number("s2"), 2);
    EXPECT_EQ(Number("s3"), 0);
    EXPECT_EQ(gScriptMission.briefingSections[kBriefingBack], 0);

    // Back at BRF_END: two sections below the last.
    guiClearMessageLog();
    gScriptMission.briefingSections[kBriefingSkip] = 255;
    Frame(position); // section 3 starts
    EXPECT_EQ(Number("s3"), 1);
    guiClearMessageLog();
    gScriptMission.briefingSections[kBriefingSkip] = 255;
    gScriptMission.briefingSections[kBriefingBack] = 255;
    Frame(position);
    EXPECT_EQ(gScriptMission.briefingActive, 255);
    EXPECT_EQ(Number("s1"), 3);
    EXPECT_EQ(Number("s2"), 3);
    EXPECT_EQ(Number("s3"), 1);
}

TEST_F(BriefingStatementTest, EndedFromOutsideTheNextStatementJumpsBehindTheEnd)
{
    // The statement after the waiting BRF_WAITTEXT; "" leaves BRF_END next.
    for (const char* next : {"BRF_SECT 1\nADD s1 1", "BRF_VIDEO nofilm\nADD s1 1", ""}) {
        ResetMissionScript();
        guiClearMessageLog();
        gPresentation.running = 1;
        uint32_t position = Briefing(std::string("BRF_SECT 0\nDIALOGUE one\nBRF_WAITTEXT\n") + next);
        Frame(position);
        EXPECT_EQ(gScriptMission.briefingActive, 255) << next;
        ResetPresentationState();
        EXPECT_EQ(gScriptMission.briefingActive, 0) << next;
        EXPECT_EQ(gInterpreter.missionPause, 0) << next;
        Typed();
        Frame(position);
        EXPECT_EQ(Number("s1"), 0) << next;
        EXPECT_EQ(gInterpreter.depth, -1) << next; // the RETURN behind BRF_END ran
        EXPECT_EQ(LogText(), "") << next;
        EXPECT_EQ(gObjectivesViewOpen, 0) << next; // BRF_END itself did not run
        gScriptMission.briefingSections[kBriefingLeave] = 0;
    }
}

TEST_F(BriefingStatementTest, TheEndShowsTheObjectivesAndAReplayStartsAtTheBeginning)
{
    uint32_t position = Briefing("BRF_SECT 0\nADD s0 1\nDIALOGUE one");
    Frame(position);
    EXPECT_EQ(gScriptMission.briefingActive, 255);
    Typed();
    gSpeechCountdown = 0;
    Frame(position);
    EXPECT_EQ(gScriptMission.briefingActive, 0);
    EXPECT_EQ(gObjectivesViewOpen, 255);
    EXPECT_EQ(gInterpreter.missionPause, 0);
    EXPECT_EQ(gInterpreter.depth, -1);
    EXPECT_EQ(LogText(), "");
    // The replay skips the declaration lines.
    gScriptMission.briefingRequested = 255;
    Frame(position);
    EXPECT_EQ(Number("declared"), 1);
    EXPECT_EQ(Number("s0"), 2);
}

} // namespace

namespace {

void IgnoreBox(const char*, const char*) {}

// The demo tree's first mission: its briefing plays section by section,
// then the flight completes both of its objectives and wins.
TEST_F(BriefingStatementTest, TheBriefingDemoBriefsAndSettlesItsObjectives)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
    ResShutdown();
    ASSERT_GT(ResInit(), 0u);
    SetMessageBoxHook(IgnoreBox); // textures the demo tree does not have
    SetLwoSmoothingCache(false);  // nothing is written into the data tree
    const ScriptToken* start = TokeniseScript("briefdemo.scr");
    ASSERT_NE(start, nullptr);
    uint32_t position = uint32_t(start - gScriptBuffers.tokens);
    bool briefed = false;
    bool objectivesShown = false;
    for (int frame = 0; frame < 2000 && !gScriptMission.missionSucceeded; ++frame) {
        Typed();
        Frame(position, 20);
        briefed = briefed || gScriptMission.briefingActive;
        // The briefing's end shows the objectives; the player closes them.
        objectivesShown = objectivesShown || gObjectivesViewOpen;
        gObjectivesViewOpen = 0;
    }
    SetLwoSmoothingCache(true);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(briefed);
    EXPECT_EQ(gScriptMission.briefingActive, 0);
    EXPECT_TRUE(objectivesShown);
    EXPECT_EQ(gScriptMission.missionSucceeded, 255);
    ASSERT_EQ(gObjectives.count, 2);
    EXPECT_EQ(gObjectives.table[0].status, kObjectiveCompleted);
    EXPECT_EQ(gObjectives.table[1].status, kObjectiveCompleted);
    EXPECT_EQ(gMissionScore, 200);
    ParseObjectives("");
    gMissionScore = 0;
}

} // namespace

namespace {

// Section numbers stay within the table, and back to a section that has not
// run in this briefing is ignored: the briefing goes on.
TEST_F(BriefingStatementTest, BackToASectionNotRunInThisBriefingIsIgnored)
{
    uint32_t position = Briefing("BRF_SECT 2\nADD s2 1\nDIALOGUE one\nBRF_SECT 99\nADD s3 1");
    Frame(position);
    EXPECT_EQ(gScriptMission.briefingSection, 15);
    guiClearMessageLog();
    gScriptMission.briefingSections[kBriefingSkip] = 255;
    gScriptMission.briefingSections[kBriefingBack] = 255;
    Frame(position);
    EXPECT_EQ(Number("s2"), 1);
    EXPECT_EQ(Number("s3"), 1);
    EXPECT_EQ(gScriptMission.briefingSections[kBriefingBack], 0);
}

} // namespace
