// Dialogue: conversation texts read into node trees (a table of texts and
// their dumps), the replies offered and the comms panel's caller list, a
// whole conversation run headless with scripted reply clicks, speech file
// names and line numbers, single dialogue lines in presentations and in
// flight, and which items are in conversation.
#include "ui/dialogue.h"

#include "script/interpreter.h"
#include "script/vitalobjects.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "tests/support/log_font.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/sound_fixture.h"
#include "ui/messagelog.h"
#include "ui/shiplog.h"
#include "ui/windows.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// One line per node in the order they were made: its number, what it is,
// "> next" and "| alternative" (node numbers, "-" for none).
std::string Dump(const Conversation& c)
{
    std::map<const DialogueNode*, int> number;
    for (const DialogueNode& n : c.nodes)
        number.emplace(&n, static_cast<int>(number.size()));
    const auto at = [&](const DialogueNode* n) { return n ? std::to_string(number[n]) : std::string("-"); };
    std::string out;
    for (const DialogueNode& n : c.nodes) {
        std::string what;
        if (n.flags & kNodeChoice)
            what = "choice";
        else if (n.flags & kNodeEnd)
            what = (n.flags & kNodeEndAlternatives) ? "end+alts" : "end";
        else if (n.flags & kNodeEndAlternatives)
            what = "alts";
        else if (n.flags & kNodeValue)
            what = "=" + std::to_string(n.value);
        else if (n.flags & kNodeStructural)
            what = "group";
        else {
            what = (n.flags & kNodePlayer) ? "P" : "S" + std::to_string(n.speaker);
            if (n.flags & kNodePlayer)
                what += "@" + std::to_string(n.addressed) + ((n.flags & kNodeMayPass) ? "-" : "") +
                        ((n.flags & kNodeClosing) ? "+" : "");
            what += " \"" + n.line + "\"";
            if (n.label != n.line)
                what += " {" + n.label + "}";
        }
        out += std::to_string(number[&n]) + " " + what + " >" + at(n.next) + " |" + at(n.alternative) + "\n";
    }
    return out;
}

class DialogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StopAllConversations();
        InitShipLog();
        gSettings.language = 0;
        gPresentation = {};
        gPlayerShipLost = 0;
        gFrameClock.frameTicks = 0;
        gFrameClock.gameClock = 0;
        gCommsArmRequest = 0;
    }
    void TearDown() override
    {
        StopAllConversations();
        ResetShipLog();
        gSettings.language = 0;
        gPresentation = {};
        gPlayerShipLost = 0;
        gFrameClock.frameTicks = 0;
        SetFatalStopHook(nullptr);
        SetMessageBoxHook(nullptr);
    }
    MessageLogFont font_;
};

// Runs frames (each long enough to finish a line) until the conversation
// waits for a reply or has ended.
void RunUntilReplyOrEnd()
{
    gFrameClock.frameTicks = 100000;
    for (int i = 0; i < 50 && gDialogue.active && gDialogue.offered.empty(); ++i)
        UpdateConversations();
    gFrameClock.frameTicks = 0;
}

std::vector<std::string> Offered()
{
    std::vector<std::string> out;
    for (const OfferedReply& r : gDialogue.offered)
        out.push_back(std::string(r.caller) + ":" + r.node->label);
    return out;
}

std::vector<std::string> ShipLogLines()
{
    std::vector<std::string> out;
    for (int i = 0; i < gShipLog.count; ++i)
        out.emplace_back(gShipLog.entries[i].line ? gShipLog.entries[i].line : "");
    return out;
}

TEST_F(DialogueTest, ConversationTextsBecomeTreesThatOfferTheirReplies)
{
    struct Case {
        const char* text;
        const char* tree;
        std::vector<std::string> offered; // once the first choice is reached
    };
    const Case cases[] = {
        // Alternatives hang off a choice point through their first nodes'
        // alternative links, end back at it, and close with a marker.
        {"<A=Alpha>(A: Hello. (P:[A]{Yes} Yes. A: Good.)(P:[A-]{No} No.) A: Bye.)",
         "0 group >1 |-\n"
         "1 S1 \"Alpha - Hello.\" >2 |-\n"
         "2 choice >3 |-\n"
         "3 P@1 \"You - Yes.\" {Yes} >4 |5\n"
         "4 S1 \"Alpha - Good.\" >2 |-\n"
         "5 P@1- \"You - No.\" {No} >2 |6\n"
         "6 alts >7 |-\n"
         "7 S1 \"Alpha - Bye.\" >8 |-\n"
         "8 end >- |-\n",
         {"Alpha:Yes", "Alpha:No"}},
        // Replies to two callers; a reply without braces shows its line.
        {"<A=Alpha B=Bravo>(A: Hi. (P:[A]{To A} Hi A.)(P:[B+] Hi B.))",
         "0 group >1 |-\n"
         "1 S1 \"Alpha - Hi.\" >2 |-\n"
         "2 choice >3 |-\n"
         "3 P@1 \"You - Hi A.\" {To A} >2 |4\n"
         "4 P@2+ \"You - Hi B.\" >2 |5\n"
         "5 alts >6 |-\n"
         "6 end >- |-\n",
         {"Alpha:To A", "Bravo:You - Hi B."}},
        // Value nodes, written '=' or '*'; the text ends inside the
        // alternatives, so the end node closes them.
        {"<A=Alpha>(A: Pick. (P: One. =1)(P: Two. *2))",
         "0 group >1 |-\n"
         "1 S1 \"Alpha - Pick.\" >2 |-\n"
         "2 choice >3 |-\n"
         "3 P@1 \"You - One.\" >4 |5\n"
         "4 =1 >2 |-\n"
         "5 P@1 \"You - Two.\" >6 |7\n"
         "6 =2 >2 |-\n"
         "7 alts >8 |-\n"
         "8 end >- |-\n",
         {"Alpha:You - One.", "Alpha:You - Two."}},
        {"<A=Alpha>(A: Outer. (P: Go. A: Inner. (P: X.)(P: Y.)) A: Done.)",
         "0 group >1 |-\n"
         "1 S1 \"Alpha - Outer.\" >2 |-\n"
         "2 choice >3 |-\n"
         "3 P@1 \"You - Go.\" >4 |9\n"
         "4 S1 \"Alpha - Inner.\" >5 |-\n"
         "5 choice >6 |-\n"
         "6 P@1 \"You - X.\" >5 |7\n"
         "7 P@1 \"You - Y.\" >5 |8\n"
         "8 alts >2 |-\n"
         "9 alts >10 |-\n"
         "10 S1 \"Alpha - Done.\" >11 |-\n"
         "11 end >- |-\n",
         {"Alpha:You - Go."}},
        // An undeclared letter speaks with the last declared name; '&' only
        // ends a line.
        {"<A=Alpha B=Bravo>(C: Who? & P: Me.)",
         "0 group >1 |-\n"
         "1 S2 \"Bravo - Who?\" >2 |-\n"
         "2 P@2 \"You - Me.\" >3 |-\n"
         "3 end >- |-\n",
         {}},
        // No groups at all: the root and the end.
        {"<A=Alpha> nothing here", "0 group >1 |-\n1 end >- |-\n", {}},
    };
    for (const Case& c : cases) {
        StopAllConversations();
        Conversation* conversation = ParseConversation(c.text, nullptr, nullptr, nullptr);
        ASSERT_NE(conversation, nullptr) << c.text;
        EXPECT_EQ(Dump(*conversation), c.tree) << c.text;
        EXPECT_EQ(gCommsArmRequest, 255) << c.text;
        RunUntilReplyOrEnd();
        EXPECT_EQ(Offered(), c.offered) << c.text;
    }
}

TEST_F(DialogueTest, TheHeaderKeepsFourSpeakersAndCutsLongNames)
{
    gSettings.language = 2;
    const std::string longName(80, 'N');
    const std::string text = "<A=Alpha  B=" + longName + " C=C3 D=Dee E=Extra>(E: Hi.)";
    Conversation* c = ParseConversation(text.c_str(), nullptr, nullptr, nullptr);
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->speakerCount, kConversationSpeakers);
    EXPECT_STREQ(c->names[0], "Sie");
    EXPECT_EQ(std::string(c->names[2]), longName.substr(0, kSpeakerNameSize - 1));
    EXPECT_STREQ(c->names[4], "Dee");
    EXPECT_EQ(c->nodes[1].line, "Dee - Hi.") << "E was not kept: the last speaker's name";
}

TEST_F(DialogueTest, UnbalancedBracketsAreFatalAndStartNothing)
{
    static std::vector<std::string> fatal;
    fatal.clear();
    SetFatalStopHook([](const char* text) { fatal.emplace_back(text); });
    EXPECT_EQ(ParseConversation("<A=Alpha>(A: Hi. (P: Yes.)", nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(fatal, (std::vector<std::string>{"Dialogue parse error - Number of brackets in dialogue is wrong."}));
    EXPECT_EQ(gDialogue.active, nullptr);
}

// The comms panel's windows for a headless run.
struct CommsPanel {
    CommsPanel()
    {
        callers.rect[2] = 99;
        callers.rect[3] = 69;
        callers.width = 100;
        callers.height = 70;
        for (int i = 0; i < kCommsReplySlots; ++i) {
            replies[i].subject.kind = WindowSubject::Kind::CommsSlot;
            replies[i].subject.slot = i;
        }
    }
    WindowHandle callers{};
    WindowHandle replies[kCommsReplySlots]{};
};

TEST_F(DialogueTest, AHeadlessRunAnswersByClicksToTheEnd)
{
    struct Case {
        const char* text;
        std::vector<int> clicks; // reply slot at each choice
        std::vector<std::string> log;
        int32_t result;
    };
    const char* yesNo = "<A=Alpha>(A: Hello. (P:[A]{Yes} Yes. A: Good.)(P:[A-]{No} No.) A: Bye.)";
    const Case cases[] = {
        // "No" may be passed over: once "Yes" is taken the choice ends.
        {yesNo, {0}, {"0:00 Alpha - Hello.", "0:00 You - Yes.", "0:00 Alpha - Good.", "0:00 Alpha - Bye."}, 0},
        // "Yes" may not: after "No" the choice offers it again.
        {yesNo,
         {1, 0},
         {"0:00 Alpha - Hello.", "0:00 You - No.", "0:00 You - Yes.", "0:00 Alpha - Good.", "0:00 Alpha - Bye."},
         0},
        // The value node of the reply taken goes to the variable.
        {"<A=Alpha>(A: Pick. (P:[A+] One. =1)(P:[A+] Two. *2))", {1}, {"0:00 Alpha - Pick.", "0:00 You - Two."}, 2},
    };
    for (const Case& c : cases) {
        StopAllConversations();
        ResetShipLog();
        CommsPanel panel;
        int32_t result = 0;
        ASSERT_NE(ParseConversation(c.text, &result, nullptr, nullptr), nullptr);
        for (int slot : c.clicks) {
            RunUntilReplyOrEnd();
            ASSERT_FALSE(gDialogue.offered.empty()) << c.text;
            guiDrawCommsCallerList(&panel.callers); // one caller: answered at once
            EXPECT_EQ(gDialogue.callerListOpen, 0);
            guiClickCommsReply(&panel.replies[slot]);
            EXPECT_TRUE(gDialogue.offered.empty()) << "its replies are withdrawn";
        }
        RunUntilReplyOrEnd();
        EXPECT_EQ(gDialogue.active, nullptr) << c.text;
        EXPECT_EQ(ShipLogLines(), c.log) << c.text;
        EXPECT_EQ(result, c.result) << c.text;
    }
}

TEST_F(DialogueTest, TwoCallersAreListedAndTheClickedOneIsAnswered)
{
    CommsPanel panel;
    ASSERT_NE(ParseConversation("<A=Alpha B=Bravo>(A: Hi. (P:[A]{To A} Hi A.)(P:[B+]{To B} Hi B.))", nullptr,
                                nullptr, nullptr),
              nullptr);
    RunUntilReplyOrEnd();
    guiDrawCommsCallerList(&panel.callers);
    EXPECT_EQ(gDialogue.callerListOpen, 1) << "two callers: the list stays";
    guiClickCommsReply(&panel.replies[0]);
    EXPECT_EQ(gDialogue.offered.size(), 2u) << "no reply while the list shows";
    gWindows.mouseX = 20;
    gWindows.mouseY = 2 + 14 + 5; // the second 14-pixel row
    guiClickCommsCallerList(&panel.callers);
    EXPECT_EQ(gDialogue.callerListOpen, 0);
    EXPECT_STREQ(gDialogue.commsName, "Bravo");
    ASSERT_NE(gDialogue.slots[0].node, nullptr);
    EXPECT_EQ(gDialogue.slots[0].node->label, "To B");
    EXPECT_EQ(gDialogue.slots[1].node, nullptr);
    guiClickCommsReply(&panel.replies[0]);
    RunUntilReplyOrEnd(); // '+': the choice ends with it
    EXPECT_EQ(gDialogue.active, nullptr);
    EXPECT_EQ(ShipLogLines(), (std::vector<std::string>{"0:00 Alpha - Hi.", "0:00 You - Hi B."}));
    gWindows.mouseX = gWindows.mouseY = 0;
}

TEST_F(DialogueTest, SpeechNamesFollowTheLanguageAndTheTextsName)
{
    struct Case {
        uint16_t language;
        const char* name;
        const char* base; // "" for none
    };
    const Case cases[] = {
        {0, "zqk\\resource\\text\\m1\\brief01.txt", "zqk\\resource\\text\\audio\\mm1_brief01"},
        {1, "zqk\\resource\\text\\frn_m1\\brief01.txt", "zqk\\resource\\text\\audioFrench\\mm1_brief01"},
        {2, "zqk\\resource\\text\\m1\\brief01.txt", "zqk\\resource\\text\\audioGerman\\mm1_brief01"},
        {0, "x\\ab.txt", "zqk\\resource\\text\\audio\\mx_ab"},
        {0, "brief01.txt", ""}, // no backslash
        {0, "a\\b", ""},        // shorter than four
    };
    for (const Case& c : cases) {
        gSettings.language = c.language;
        char base[64];
        EXPECT_EQ(DialogueSpeechBase(c.name, base, sizeof base), c.base[0] != 0) << c.name;
        EXPECT_STREQ(base, c.base) << c.name;
    }
    char small[8];
    EXPECT_FALSE(DialogueSpeechBase("zqk\\resource\\text\\m1\\brief01.txt", small, sizeof small));
    EXPECT_STREQ(small, "") << "a name that does not fit is none";
}

// A data tree with texts and tone files, the resource manager and sound.
class DialogueFiles : public DialogueTest {
protected:
    void SetUp() override
    {
        DialogueTest::SetUp();
        ResInit();
    }
    void TearDown() override
    {
        StopAllConversations();
        SoundReleaseAll();
        ResShutdown();
        DialogueTest::TearDown();
    }
    Resource* Text(const std::string& file, const std::string& bytes)
    {
        folder_.Write("zqk/resource/text/m1/" + file, bytes);
        return ResRegisterLoad(("zqk\\resource\\text\\m1\\" + file).c_str(), ResType::Text);
    }
    void Speech(const std::string& file)
    {
        std::filesystem::create_directories(folder_ / "zqk/resource/text/audio");
        ASSERT_TRUE(tone::WriteSine((folder_ / ("zqk/resource/text/audio/" + file)).c_str(), 22050, 16, 1, 440, 1.0,
                                    0.5));
    }
    CapturedSound sound_;
    ScratchFolder folder_{"dialogue_files", true};
};

TEST_F(DialogueFiles, LinesAreNumberedFromZeroWhetherOrNotTheirFileExists)
{
    Speech("mm1_talk_0.wav");
    Speech("mm1_talk_2.wav");
    Resource* text = Text("talk.txt", "<A=Alpha>(A: One. P: Two. A: Three.)");
    StartConversation(text, nullptr, nullptr, nullptr);
    ASSERT_NE(gDialogue.active, nullptr);
    const Conversation& c = *gDialogue.active;
    ASSERT_NE(c.nodes[1].speech, nullptr);
    EXPECT_STREQ(c.nodes[1].speech->name, "zqk\\resource\\text\\audio\\mm1_talk_0.wav");
    EXPECT_EQ(c.nodes[2].speech, nullptr);
    ASSERT_NE(c.nodes[3].speech, nullptr);
    EXPECT_STREQ(c.nodes[3].speech->name, "zqk\\resource\\text\\audio\\mm1_talk_2.wav");
    // A line with a sample speaks for its length, one without for its text.
    gFrameClock.frameTicks = 0;
    UpdateConversations();
    EXPECT_EQ(gDialogue.active->speakingTime, 200);
    EXPECT_EQ(gScriptMission.dialogueCountdown, 200);
    EXPECT_TRUE(SoundIsPlaying(gDialogue.playing));
    gFrameClock.frameTicks = 200;
    UpdateConversations();
    EXPECT_EQ(gDialogue.active->speakingTime, guiMessageTextDuration("You - Two.", nullptr));
}

TEST_F(DialogueFiles, ASingleLineIsTypedWithItsSpeechInAPresentationAndLoggedInFlight)
{
    Speech("mm1_said_0.wav");
    Resource* said = Text("said.txt", "Hello there.");
    Resource* marked = Text("marked.txt", "Wait~#Now.");
    Resource* silent = Text("silent.txt", "No file.");
    Resource* talk = Text("talk2.txt", "<A=Alpha>(A: Hi.)");
    Speech("mm1_marked_0.wav");

    gPresentation.running = 1;
    EXPECT_EQ(PlayDialogue(said, nullptr, nullptr, nullptr), 255);
    EXPECT_STREQ(gMessageLogPendingText, "Hello there.");
    EXPECT_EQ(gSpeechCountdown, 200) << "played at once: its length";
    EXPECT_EQ(gScriptMission.dialogueCountdown, 200);
    EXPECT_TRUE(SoundIsPlaying(&gSpeechChannel));

    EXPECT_EQ(PlayDialogue(marked, nullptr, nullptr, nullptr), 255);
    EXPECT_EQ(gSpeechCountdown, kPendingSpeechLineTime) << "waits for the mark";
    EXPECT_STREQ(gMessageLog.speech, "zqk\\resource\\text\\audio\\mm1_marked_0.wav");

    EXPECT_EQ(PlayDialogue(silent, nullptr, nullptr, nullptr), 255);
    EXPECT_EQ(gSpeechCountdown, guiMessageTextDuration("No file.", nullptr));
    EXPECT_STREQ(gMessageLog.speech, "");
    EXPECT_EQ(gShipLog.count, 0);

    gPresentation.running = 0;
    gFrameClock.gameClock = 6000;
    EXPECT_EQ(PlayDialogue(said, nullptr, nullptr, nullptr), 255);
    ASSERT_EQ(gShipLog.count, 1);
    EXPECT_STREQ(gShipLog.entries[0].line, "1:00 Hello there.");
    EXPECT_EQ(gSpeechCountdown, guiMessageTextDuration("Hello there.", nullptr));

    // A conversation starts, but not once the player's ship is lost.
    gPlayerShipLost = 255;
    EXPECT_EQ(PlayDialogue(talk, nullptr, nullptr, nullptr), 255);
    EXPECT_EQ(gDialogue.active, nullptr);
    gPlayerShipLost = 0;
    EXPECT_EQ(PlayDialogue(talk, nullptr, nullptr, nullptr), 255);
    ASSERT_NE(gDialogue.active, nullptr);
    EXPECT_EQ(gDialogue.active->text, talk);
}

TEST_F(DialogueFiles, AResourceWithoutTextIsReportedAndPlaysNothing)
{
    static std::vector<std::string> boxes;
    boxes.clear();
    SetMessageBoxHook([](const char* text, const char* title) { boxes.push_back(std::string(title) + ": " + text); });
    Resource* missing = ResRegister("zqk\\resource\\text\\m1\\gone.txt", ResType::Text);
    EXPECT_EQ(PlayDialogue(missing, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(boxes,
              (std::vector<std::string>{"DIALOGUE error: Could not find dialogue script 'zqk\\resource\\text\\m1\\gone.txt'"}));
    EXPECT_STREQ(gMessageLogPendingText, "");
}

TEST_F(DialogueTest, TheItemTakingPartIsInConversationAndThePartnerEndsIt)
{
    SceneItem ship{}, other{}, partner{};
    const Resource text{};
    EXPECT_EQ(IsInConversation(nullptr), 0);
    Conversation* c = ParseConversation("<A=Alpha>(A: Hi.)", nullptr, &ship, &partner);
    ASSERT_NE(c, nullptr);
    c->text = &text;
    EXPECT_EQ(IsInConversation(&ship), 255);
    EXPECT_EQ(IsInConversation(&other), 0);
    EXPECT_EQ(IsInConversation(nullptr), 255);
    EXPECT_EQ(ConversationShipOfText(&text), &ship);
    EndSceneItemConversations(&ship);
    EXPECT_EQ(IsInConversation(nullptr), 255) << "only the partner is the key";
    EndSceneItemConversations(&partner);
    EXPECT_EQ(IsInConversation(nullptr), 0);
    EXPECT_EQ(ConversationShipOfText(&text), nullptr);
}

TEST_F(DialogueTest, StoppingAllFreesEverythingAndClearsTheLog)
{
    ParseConversation("<A=Alpha>(A: Hi. (P: Yes.)(P: No.))", nullptr, nullptr, nullptr);
    ParseConversation("<B=Bravo>(B: Hi.)", nullptr, nullptr, nullptr);
    RunUntilReplyOrEnd();
    guiFillCommsReplies("Alpha");
    ASSERT_NE(gDialogue.slots[0].node, nullptr);
    guiAddMessageLogText("typed", 0);
    StopAllConversations();
    EXPECT_EQ(gDialogue.active, nullptr);
    EXPECT_TRUE(gDialogue.offered.empty());
    EXPECT_EQ(gDialogue.slots[0].node, nullptr);
    EXPECT_EQ(gDialogue.commsState, -1);
    EXPECT_STREQ(gMessageLogPendingText, "");
}

} // namespace
