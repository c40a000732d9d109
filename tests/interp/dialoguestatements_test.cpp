// The dialogue statements DIALOGUE and MONOLOGUE: the frame a line plays
// in and the frame the script goes on in, the objects and number variable
// a conversation receives, the switch that silences them, the yield flag
// that SUCCESS leaves, and the briefing form that waits for the last line.
#include "interp_fixture.h"

#include "script/keywords.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "tests/support/log_font.h"
#include "ui/dialogue.h"
#include "ui/messagelog.h"

#include <string>

namespace {

class DialogueStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ResInit();
        gPlayerItem = gControlledItem = worldtest::MakeItem();
        guiClearMessageLog();
        WriteFile("zqk/resource/text/hi.txt", "Hello there.");
        WriteFile("zqk/resource/text/bye.txt", "Goodbye.");
        WriteFile("zqk/resource/text/talk.txt", "<A=Alpha>(A: Report. (P: All clear. =7))");
    }
    void TearDown() override
    {
        StopAllConversations();
        gSettings.noDialogue = 0;
        gScriptMission.briefingActive = 0;
        gScriptMission.dialogueYield = 0;
        ResShutdown();
        InterpTest::TearDown();
    }

    // A mission whose texts are registered before `text`.
    uint32_t Mission(const std::string& text)
    {
        return Compile("REGISTER hi \"zqk\\resource\\text\\hi.txt\" TXT2TXT\n"
                       "REGISTER bye \"zqk\\resource\\text\\bye.txt\" TXT2TXT\n"
                       "REGISTER talk \"zqk\\resource\\text\\talk.txt\" TXT2TXT\n" +
                       text + "\nEND\n");
    }

    static std::string LogText() { return gMessageLogPendingText; }

    MessageLogFont font_;
};

TEST_F(DialogueStatementTest, InFlightALinePlaysAndTheScriptGoesOnNextFrame)
{
    for (const char* keyword : {"DIALOGUE", "MONOLOGUE"}) {
        ResetMissionScript();
        guiClearMessageLog();
        uint32_t position = Mission(std::string(keyword) + " hi\nSET after 1");
        EXPECT_EQ(Frame(position), kStopWaiting);
        EXPECT_NE(LogText().find("Hello there."), std::string::npos) << keyword;
        EXPECT_EQ(Number("after"), 0) << keyword;
        EXPECT_EQ(gScriptMission.dialogueYield, 255) << keyword;
        Frame(position);
        EXPECT_EQ(Number("after"), 1) << keyword;
        EXPECT_EQ(gScriptMission.dialogueYield, 0) << keyword;
    }
}

TEST_F(DialogueStatementTest, NothingPlaysAndTheRunGoesOnWhenSilencedOrAnObjectIsGone)
{
    const struct {
        const char* script;
        uint8_t noDialogue;
    } cases[] = {
        {"DIALOGUE hi gone\nSET after 1", 0},      // an empty object symbol
        {"DIALOGUE hi\nSET after 1", 255},         // "nodialogue"
        {"MONOLOGUE hi n gone\nSET after 1", 255}, // "nodialogue", operands left on the line
    };
    for (const auto& c : cases) {
        ResetMissionScript();
        guiClearMessageLog();
        gSettings.noDialogue = c.noDialogue;
        uint32_t position = Mission(c.script);
        Frame(position);
        EXPECT_EQ(Number("after"), 1) << c.script;
        EXPECT_EQ(LogText(), "") << c.script;
        EXPECT_EQ(gScriptMission.dialogueYield, 0) << c.script;
    }
}

TEST_F(DialogueStatementTest, ACounterAndAShipReachTheConversation)
{
    uint32_t position = Mission("VAR counter\nSET counter 3\nDIALOGUE talk counter ship");
    SceneItem* ship = worldtest::MakeItem();
    ScriptSymbol* symbol = FindScriptSymbol("ship");
    symbol->type |= kSymbolSceneItem;
    SetSymbolObject(symbol, ship);
    Frame(position);
    ASSERT_NE(gDialogue.active, nullptr);
    EXPECT_EQ(gDialogue.active->item, ship);
    EXPECT_EQ(gDialogue.active->partner, ship);
    EXPECT_EQ(gDialogue.active->resultVariable, FindScriptSymbol("counter")->value);
}

TEST_F(DialogueStatementTest, AfterASuccessDialogueTheNextDialogueOnlyClearsTheYield)
{
    uint32_t position = Mission("SUCCESS bye\nDIALOGUE hi\nSET after 1");
    Frame(position);
    // SUCCESS played its line; the DIALOGUE after it passed over its own.
    EXPECT_EQ(Number("after"), 1);
    EXPECT_EQ(LogText().find("Hello there."), std::string::npos) << LogText();
    EXPECT_EQ(gScriptMission.dialogueYield, 0);

    // A yield left when a mission ends does not reach the next mission.
    gScriptMission.dialogueYield = 255;
    ResetMissionScript();
    guiClearMessageLog();
    position = Mission("DIALOGUE hi\nSET after 1");
    Frame(position);
    EXPECT_NE(LogText().find("Hello there."), std::string::npos);
    EXPECT_EQ(Number("after"), 0);
}

TEST_F(DialogueStatementTest, InABriefingEachLineWaitsForThePreviousToBeTypedAndSpoken)
{
    uint32_t position = Mission("DIALOGUE hi\nDIALOGUE bye\nDIALOGUE hi\nSET after 1");
    // The briefing form runs without a yield: the first line plays at once.
    gScriptMission.briefingActive = 255;
    Frame(position);
    EXPECT_NE(LogText().find("Hello there."), std::string::npos);
    EXPECT_EQ(gScriptMission.dialogueYield, 0);
    // Typed, but its speech still runs: the countdown goes down by the frame.
    gMessageLogTypingPosition = gMessageLogTextLength;
    gSpeechCountdown = 30;
    EXPECT_EQ(Frame(position, 20), kStopWaiting);
    EXPECT_EQ(gSpeechCountdown, 10);
    EXPECT_EQ(LogText().find("Goodbye."), std::string::npos);
    Frame(position, 20);
    EXPECT_EQ(gSpeechCountdown, -10);
    Frame(position, 20);
    EXPECT_NE(LogText().find("Goodbye."), std::string::npos);
    EXPECT_EQ(Number("after"), 0);
    // The skip request plays the waiting line at once.
    gScriptMission.briefingSections[kBriefingSkip] = 255;
    Frame(position);
    gScriptMission.briefingSections[kBriefingSkip] = 0;
    EXPECT_EQ(Number("after"), 1);
    EXPECT_NE(LogText().find("Hello there."), std::string::npos);
}

} // namespace
