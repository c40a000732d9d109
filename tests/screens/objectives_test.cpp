// Mission objectives: parsing the objective text (the 15-line limit, ids
// with and without a colon, long lines cut), the operations the scripts
// call with valid and invalid indices, the freeze once the mission is over,
// the current objective and its timer, the objective key's message, the
// list panel and the mission status panel.
#include "screens/objectives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "screens/bridge.h"
#include "screens/frontend.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/symbols.h"
#include "system/settings.h"
#include "tests/ui/ui_canvas.h"
#include "system/frameclock.h"
#include "ui/messagelog.h"
#include "ui/windows.h"
#include "world/playerinput.h"
#include "world/scenelist.h"
#include "world/tally.h"

namespace {

class ObjectivesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gMissionScore = 0;
        gPlayerShipLost = 0;
        gScriptMission.missionFailed = 0;
        gScriptMission.missionSucceeded = 0;
    }
    void TearDown() override
    {
        ParseObjectives("");
        gMissionScore = 0;
        gPlayerShipLost = 0;
        gScriptMission.missionFailed = 0;
    }
    static std::string Text(int index) { return gObjectives.table[index].text; }
};

TEST_F(ObjectivesTest, ParsingReadsAtMostFifteenLinesWithTheirIds)
{
    std::string twenty;
    for (int i = 0; i < 20; ++i)
        twenty += "goal " + std::to_string(i) + "\n";
    EXPECT_TRUE(ParseObjectives(twenty.c_str()));
    EXPECT_EQ(gObjectives.count, 15);
    EXPECT_EQ(Text(14), "goal 14");
    EXPECT_EQ(gObjectives.table[14].id, 15);

    // An explicit id moves the automatic ones past it; the text after the
    // colon keeps its leading blank; the last line needs no newline.
    EXPECT_TRUE(ParseObjectives("first\n7: seventh\neighth\n3:third\nninth"));
    ASSERT_EQ(gObjectives.count, 5);
    const int32_t ids[] = {1, 7, 8, 3, 9};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(gObjectives.table[i].id, ids[i]) << i;
        EXPECT_NE(gObjectives.table[i].shown, 0);
        EXPECT_EQ(gObjectives.table[i].status, kObjectiveNotDone);
        EXPECT_EQ(gObjectives.table[i].score, kObjectiveDefaultScore);
    }
    EXPECT_EQ(Text(1), " seventh");
    EXPECT_EQ(Text(3), "third");

    // Ids read as C reads "%i", held to the int32 range; one at the top of
    // the range leaves the automatic ids where they were.
    ParseObjectives("0x10:hex\n99999999999:big\nnext\nnone:x");
    const int32_t read[] = {16, INT32_MAX, 17, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(gObjectives.table[i].id, read[i]) << i;

    // Automatic ids that reach the top of the range stay there.
    ParseObjectives("2147483646:last but one\nlast\nagain\n-2147483648:lowest\nand again");
    const int32_t top[] = {INT32_MAX - 1, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(gObjectives.table[i].id, top[i]) << i;
}

TEST_F(ObjectivesTest, ALongLineIsCutAndTheNextLineStillRead)
{
    const std::string text = std::string(600, 'x') + "\nafter";
    EXPECT_TRUE(ParseObjectives(text.c_str()));
    ASSERT_EQ(gObjectives.count, 2);
    EXPECT_EQ(Text(0), std::string(kObjectiveLineSize - 1, 'x'));
    EXPECT_EQ(Text(1), "after");
}

TEST_F(ObjectivesTest, ANullTextResetsTheTableAndFails)
{
    ParseObjectives("a\nb");
    SetObjectiveScore(0, 5);
    EXPECT_FALSE(ParseObjectives(nullptr));
    EXPECT_EQ(gObjectives.count, 0);
    EXPECT_EQ(gObjectives.table[0].text, nullptr);
    EXPECT_EQ(gObjectives.table[0].score, kObjectiveDefaultScore);
    EXPECT_EQ(gObjectives.current, -1);
}

TEST_F(ObjectivesTest, OperationsIgnoreIndicesOutsideTheTableAndUnknownIds)
{
    ParseObjectives("5:a\nb");
    EXPECT_EQ(FindObjectiveById(5), 0);
    EXPECT_EQ(FindObjectiveById(6), 1);
    EXPECT_EQ(FindObjectiveById(42), -1);
    for (int32_t index : {-1, 15, FindObjectiveById(42)}) {
        SetObjectiveStatus(index, kObjectiveCompleted);
        SetObjectiveShown(index, 0);
        SetObjectiveScore(index, 7);
        SetObjectiveTimer(index, 9);
        EXPECT_FALSE(ObjectiveStatusIs(index, kObjectiveNotDone)) << index;
    }
    EXPECT_EQ(gMissionScore, 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(gObjectives.table[i].status, kObjectiveNotDone);
        EXPECT_NE(gObjectives.table[i].shown, 0);
        EXPECT_EQ(gObjectives.table[i].score, kObjectiveDefaultScore);
        EXPECT_EQ(gObjectives.table[i].timer, 0);
    }
}

TEST_F(ObjectivesTest, CompletingAddsTheScoreEveryTimeUntilTheMissionIsOver)
{
    ParseObjectives("a\nb");
    SetObjectiveScore(1, 250);
    SetObjectiveStatus(1, kObjectiveCompleted);
    SetObjectiveStatus(1, kObjectiveCompleted);
    EXPECT_EQ(gMissionScore, 500);
    EXPECT_TRUE(ObjectiveStatusIs(1, kObjectiveCompleted));
    EXPECT_EQ(gObjectives.noneCompleted, 0);
    SetObjectiveStatus(0, kObjectiveFailed);
    EXPECT_TRUE(ObjectiveStatusIs(0, kObjectiveFailed));
    EXPECT_EQ(gMissionScore, 500);

    // Over: won, failed or the ship lost, a status set scores nothing.
    for (auto* over : {&gPlayerShipLost, &gScriptMission.missionSucceeded, &gScriptMission.missionFailed}) {
        *over = 255;
        SetObjectiveStatus(0, kObjectiveCompleted);
        SetObjectiveStatus(1, kObjectiveNotDone);
        EXPECT_TRUE(ObjectiveStatusIs(0, kObjectiveFailed));
        EXPECT_TRUE(ObjectiveStatusIs(1, kObjectiveCompleted));
        EXPECT_EQ(gMissionScore, 500);
        *over = 0;
    }
}

TEST_F(ObjectivesTest, TheCurrentObjectiveIsTheFirstShownOneNotDoneAndBringsItsTimer)
{
    ParseObjectives("a\nb\nc");
    SetObjectiveTimer(1, 30);
    SetObjectiveTimer(2, 45);
    SetObjectiveShown(0, 0);
    SelectCurrentObjective();
    EXPECT_EQ(gObjectives.current, 1);
    EXPECT_EQ(gObjectives.currentTimer, 3000);
    gObjectives.currentTimer = 1234; // counting down; a reselection keeps it
    SelectCurrentObjective();
    EXPECT_EQ(gObjectives.currentTimer, 1234);
    SetObjectiveStatus(1, kObjectiveFailed); // settling the current one stops its timer
    EXPECT_EQ(gObjectives.currentTimer, 0);
    SelectCurrentObjective();
    EXPECT_EQ(gObjectives.current, 2);
    EXPECT_EQ(gObjectives.previous, 1);
    EXPECT_EQ(gObjectives.currentTimer, 4500);
    SetObjectiveStatus(2, kObjectiveCompleted);
    SelectCurrentObjective();
    EXPECT_EQ(gObjectives.current, -1);
    EXPECT_EQ(gObjectives.currentTimer, 0);
}

class ObjectiveKeyTest : public ObjectivesTest {
protected:
    void SetUp() override
    {
        ObjectivesTest::SetUp();
        gFontB = &font_.font;
        guiClearMessageLog();
        gMessageLogKeep = 0;
        for (int n : {48, 49, 163, 170})
            saved_[n] = gTextTable[n];
        gTextTable[48] = "Next: %s";
        gTextTable[49] = "First: %s %d";
        gTextTable[163] = "Mission failed";
        gTextTable[170] = "Nothing left";
    }
    void TearDown() override
    {
        for (int n : {48, 49, 163, 170})
            gTextTable[n] = saved_[n];
        guiClearMessageLog();
        gFontB = nullptr;
        ObjectivesTest::TearDown();
    }
    static std::string Pending() { return gMessageLogPendingText; }

    const char* saved_[kTextTableEntries] = {};
    BlockFont font_{100};
};

TEST_F(ObjectiveKeyTest, TheKeyPrintsTheCurrentObjectiveOrWhyThereIsNone)
{
    ParseObjectives("Dock\nEscort");
    ShowCurrentObjective();
    EXPECT_EQ(Pending(), "First: Dock %d"); // the objective fills only %s
    SetObjectiveStatus(0, kObjectiveCompleted);
    ShowCurrentObjective();
    EXPECT_EQ(Pending(), "Next: Escort");
    EXPECT_NE(std::string(gMessageLog.text).find("First: Dock"), std::string::npos) << "the log is kept";
    SetObjectiveStatus(1, kObjectiveCompleted);
    guiClearMessageLog();
    ShowCurrentObjective();
    EXPECT_EQ(Pending(), "Nothing left");
    gScriptMission.missionFailed = 255;
    guiClearMessageLog();
    ShowCurrentObjective();
    EXPECT_EQ(Pending(), "Mission failed");
}

TEST_F(ObjectivesTest, TheListPanelLaysOutOneRowPerShownObjectiveInItsStatusColours)
{
    MemoryScreen screen;
    BlockFont fonts[3] = {BlockFont(30), BlockFont(31), BlockFont(32)}; // height 8: boxes of 6
    for (int i = 0; i < 3; ++i)
        gBridgeFonts[i] = &fonts[i].font;
    const char* savedHeading = gTextTable[168];
    gTextTable[168] = "Objectives";
    WindowHandle panel = {};
    const int16_t rect[4] = {100, 50, 399, 349}; // 300 high
    std::copy(rect, rect + 4, panel.rect);
    ParseObjectives("done\nnext\nlost\nlater\nhidden");
    SetObjectiveStatus(0, kObjectiveCompleted);
    SetObjectiveStatus(2, kObjectiveFailed);
    SetObjectiveShown(4, 0);
    gFrameClock.frameTicks = 0;
    guiObjectivesListDraw(&panel);

    EXPECT_EQ(screen.Colours(110, 100, 389, 100), (std::set<int>{166})); // the rule, 50 below the top
    EXPECT_EQ(screen.Colours(128, 73, 131, 78), (std::set<int>{30}));    // the heading at 2h + 12, h + 20
    // Four rows from y 123, spacing (300 - 75 - 4h) / 3 held to 2h: 24 apart.
    // Boxes at x 131 (2h + 15), outlined in 95, texts 2h further right.
    struct Row {
        int y;
        int fill, ink;
    };
    const Row rows[] = {{123, 88, 32}, {147, 159, 30}, {171, 57, 31}, {195, 159, 30}};
    for (const Row& r : rows) {
        EXPECT_EQ(screen.At(133, r.y - 5), 95) << r.y;
        EXPECT_EQ(screen.Colours(132, r.y - 4, 135, r.y - 1), (std::set<int>{r.fill})) << r.y;
        EXPECT_EQ(screen.Colours(147, r.y - 5, 150, r.y), (std::set<int>{r.ink})) << r.y;
    }
    EXPECT_EQ(screen.Colours(131, 200, 160, 240), (std::set<int>{0})) << "the hidden one has no row";

    // After 36 ticks the current objective's box blinks; the other stays.
    gFrameClock.frameTicks = 36;
    guiObjectivesListDraw(&panel);
    EXPECT_EQ(screen.At(133, 144), 151);
    EXPECT_EQ(screen.At(133, 192), 159);

    gFrameClock.frameTicks = 0;
    gTextTable[168] = savedHeading;
    std::fill(std::begin(gBridgeFonts), std::end(gBridgeFonts), nullptr);
}

// A font that can be read back off the canvas: every character from '!' on
// is one column of pixels in the character's own code, `rank` + 1 high and
// standing on the pen line, and advances 2 pixels; so the pen line's pixels
// spell the text and the column's height tells the font.
struct ReadingFont {
    static constexpr int kAdvance = 2;

    explicit ReadingFont(int rank)
    {
        for (int c = 0; c < kFontChars; ++c) {
            inks[c].assign(static_cast<size_t>(rank + 1), static_cast<uint8_t>(c));
            rasters[c] = {inks[c].data(), 1, static_cast<int16_t>(rank + 1), 0, static_cast<int16_t>(rank)};
            font.widths[c] = kAdvance;
            font.glyphs[c] = c > ' ' ? &rasters[c] : nullptr;
        }
        font.height = 8; // lines 13 apart
    }
    ReadingFont(const ReadingFont&) = delete;
    ReadingFont& operator=(const ReadingFont&) = delete;

    std::vector<uint8_t> inks[kFontChars];
    Raster rasters[kFontChars]{};
    RasterFont font{};
};

class StatusPanelTest : public ObjectivesTest {
protected:
    static constexpr int kTop = 10, kStep = 13, kMission = 7;

    void SetUp() override
    {
        ObjectivesTest::SetUp();
        for (int i = 0; i < 3; ++i)
            gBridgeFonts[i] = &fonts_[i].font;
        for (const auto& [number, text] : kTexts) {
            saved_.emplace_back(number, gTextTable[number]);
            gTextTable[number] = text;
        }
        savedMission_ = MissionTable[kMission];
        std::snprintf(MissionTable[kMission].title, kMissionTitleSize, "Night Run");
        MissionTable[kMission].maxScore = 0;
        gFrontEnd.selectedMission = kMission;
        panel_.rect[0] = 0;
        panel_.rect[1] = kTop;
        panel_.rect[2] = 639;
        panel_.rect[3] = 479;
    }
    void TearDown() override
    {
        for (const auto& [number, text] : saved_)
            gTextTable[number] = text;
        MissionTable[kMission] = savedMission_;
        gFrontEnd = FrontEndSelection{};
        std::fill(std::begin(gBridgeFonts), std::end(gBridgeFonts), nullptr);
        gTallyCounters = TallyCounters{};
        gPlayerInput = PlayerInput{};
        gScriptVars = ScriptVariables{};
        gScriptMission.missionSucceeded = 0;
        gSettings.language = 0;
        ObjectivesTest::TearDown();
    }

    // The panel's lines, one a pen line from the first: each text found on
    // it as "offset:text" (offset from the panel's left), texts apart by
    // more than two blanks, "#rank" after a text in another font than the
    // first.
    std::vector<std::string> Lines(int32_t height) const
    {
        std::vector<std::string> lines;
        for (int y = kTop + kStep; y <= kTop + height; y += kStep) {
            std::string line;
            for (int x = 0; x < 640;) {
                if (!screen_.At(x, y)) {
                    ++x;
                    continue;
                }
                const int start = x;
                std::string text;
                int blanks = 0;
                for (; x < 640 && blanks < 3; x += ReadingFont::kAdvance) {
                    const int c = screen_.At(x, y);
                    blanks = c ? 0 : blanks + 1;
                    text += c ? static_cast<char>(c) : ' ';
                }
                text.erase(text.find_last_not_of(' ') + 1);
                int rank = 0;
                while (rank < 2 && screen_.At(start, y - rank - 1))
                    ++rank;
                line += (line.empty() ? "" : " | ") + std::to_string(start) + ":" + text;
                if (rank)
                    line += "#" + std::to_string(rank);
            }
            lines.push_back(line);
        }
        return lines;
    }
    // Where a centred text starts.
    static std::string Centred(const std::string& text)
    {
        return std::to_string((640 - ReadingFont::kAdvance * static_cast<int>(text.size())) / 2) + ":" + text;
    }
    // Draws on a cleared screen and reads the lines.
    std::vector<std::string> Draw()
    {
        screen_.Clear();
        return Lines(guiObjectivesPanelDraw(&panel_, true));
    }

    static constexpr std::pair<int, const char*> kTexts[] = {
        {155, "Mission"},
        {157, "Objectives"},
        {158, "Enemy losses"},
        {159, "Own losses"},
        {160, "Beam hits"},
        {161, "Missile hits"},
        {162, "Score"},
        {163, "Failed."},
        {164, "Complete."},
        {165, "Esc: bridge"},
        {166, "Time bonus"},
        {167, "Esc: debrief"},
        {169, "Destroyed"},
        {170, "Going on."},
        {171, "Rating"},
    };
    MemoryScreen screen_;
    ReadingFont fonts_[3] = {ReadingFont(0), ReadingFont(1), ReadingFont(2)};
    WindowHandle panel_ = {};
    std::vector<std::pair<int, const char*>> saved_;
    MissionRecord savedMission_ = {};
};

TEST_F(StatusPanelTest, TitleOutcomeAndBottomLineFollowTheMissionsEnd)
{
    // The foot says what Escape does: back to the bridge (from the panel in
    // flight, or back to flight after a win), or on to the end once the
    // flight is over for good.
    struct Case {
        uint8_t failed, won, lost;
        int32_t end;
        std::string outcome, bottom;
    };
    const Case cases[] = {
        {0, 0, 0, kMissionInFlight, Centred("Going on.") + "#2", Centred("Esc: bridge")},
        {0, 255, 0, kMissionInFlight, Centred("Complete.") + "#2", Centred("Esc: bridge")},
        {0, 255, 0, kMissionFlightOver, Centred("Complete.") + "#2", Centred("Esc: bridge")},
        {255, 0, 0, kMissionInFlight, Centred("Failed.") + "#1", Centred("Esc: bridge")},
        {255, 0, 0, kMissionFlightOver, Centred("Failed.") + "#1", Centred("Esc: debrief")},
        {255, 0, 255, kMissionFlightOver, Centred("Failed.") + "#1", Centred("Esc: debrief")},
    };
    for (const Case& c : cases) {
        gScriptMission.missionFailed = c.failed;
        gScriptMission.missionSucceeded = c.won;
        gPlayerShipLost = c.lost;
        MissionEndState = c.end;
        const std::vector<std::string> lines = Draw();
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[0], Centred("Mission Night Run"));
        EXPECT_EQ(lines[1], c.outcome);
        EXPECT_EQ(lines.back(), c.bottom) << int(c.failed) << int(c.won) << int(c.lost) << c.end;
    }
    MissionEndState = kMissionInFlight;
}

TEST_F(StatusPanelTest, TheBodyListsObjectivesKillsHitRatesAndScoreOnlyWhereThereIsSomething)
{
    ParseObjectives("Dock\nEscort\nHidden\nScan");
    SetObjectiveScore(0, 300);
    SetObjectiveStatus(0, kObjectiveCompleted);
    SetObjectiveStatus(1, kObjectiveFailed);
    SetObjectiveShown(2, 0);
    gTallyCounters.enemyKills[5] = 2;
    gTallyCounters.enemyScore[5] = 1000;
    gTallyCounters.friendlyKills[14] = 1;
    gTallyCounters.friendlyPenalty[14] = -400;
    gScriptVars.targetTime = 6000;
    gScriptVars.missionClock = 1050; // 49 whole seconds left
    gScriptVars.timeScore = 10;
    gPlayerInput.shotsFired = 3;
    gTallyCounters.otherHits = 2;
    gPlayerInput.missilesFired = 4;
    gTallyCounters.flaggedHits = 1;
    MissionTable[kMission].maxScore = 4000;
    gMissionScore = 300; // the completion
    const std::vector<std::string> full = {
        Centred("Mission Night Run"),
        Centred("Going on.") + "#2",
        "20:Objectives",
        "20:Dock | 320:COMPLETED | 570:300",
        "20:Escort | 320:FAILED | 570:0",
        "20:Scan | 320:NOT DONE | 570:0",
        "20:Time bonus | 570:490",
        "20:Enemy losses",
        "20:CRUISERs: | 420:2 | 570:1000",
        "20:Own losses",
        "20:DESTROYERs: | 420:1 | 570:-400",
        "20:Destroyed | 570:3",
        "20:Beam hits | 570:67%",
        "20:Missile hits | 570:25%",
        "20:Score | 570:300",
        "20:Rating | 570:07%",
        Centred("Esc: bridge"),
    };
    EXPECT_EQ(Draw(), full);

    // No objectives, no time limit, no kills, no shots, no maximum score:
    // the headings of the kill tables and the totals stay.
    ParseObjectives("");
    gTallyCounters = TallyCounters{};
    gPlayerInput = PlayerInput{};
    gScriptVars.targetTime = 0;
    MissionTable[kMission].maxScore = 0;
    gMissionScore = 0;
    const std::vector<std::string> bare = {
        Centred("Mission Night Run"),
        Centred("Going on.") + "#2",
        "20:Enemy losses",
        "20:Own losses",
        "20:Destroyed | 570:0",
        "20:Score | 570:0",
        Centred("Esc: bridge"),
    };
    EXPECT_EQ(Draw(), bare);
}

TEST_F(StatusPanelTest, StatusWordsAndCategoryNamesComeInTheCurrentLanguage)
{
    ParseObjectives("a\nb\nc");
    SetObjectiveStatus(1, kObjectiveFailed);
    SetObjectiveStatus(2, kObjectiveCompleted);
    gTallyCounters.enemyKills[15] = 1;
    struct Case {
        uint16_t language;
        const char* words[3];
        const char* carrier;
    };
    const Case cases[] = {
        {0, {"NOT DONE", "FAILED", "COMPLETED"}, "CARRIERs:"},
        {1, {"NON ACCOMPLI", "NON ATTEINT", "ATTEINT"}, "TRANSPORTEURs:"},
        {2, {"NICHT AUSGEF\xDCHRT", "GESCHEITERT", "BEENDET"}, "TR\xC4GERSCHIFFs:"},
        {7, {"NOT DONE", "FAILED", "COMPLETED"}, "CARRIERs:"}, // no such language: English
    };
    for (const Case& c : cases) {
        gSettings.language = c.language;
        const std::vector<std::string> lines = Draw();
        ASSERT_GE(lines.size(), 8u);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(lines[3 + i], std::string("20:") + "abc"[i] + " | 320:" + c.words[i] + " | 570:" +
                                        (i == 2 ? "100" : "0"))
                << c.language;
        EXPECT_EQ(lines[7], std::string("20:") + c.carrier + " | 420:1 | 570:0") << c.language;
    }
}

TEST_F(StatusPanelTest, TheTimeBonusNeverFallsBelowNothing)
{
    struct Case {
        int32_t limit, clock, rate;
        std::string line;
    };
    const Case cases[] = {
        {6000, 1000, 10, "20:Time bonus | 570:500"},
        {6000, 5950, 10, "20:Time bonus | 570:0"},                           // under a second left
        {6000, 9000, 10, "20:Time bonus | 570:0"},                           // past the limit
        {6000, 1000, -10, "20:Time bonus | 570:0"},                          // a negative rate
        {INT32_MAX, INT32_MIN, INT32_MAX, "20:Time bonus | 570:2147483647"}, // held to the int range
    };
    for (const Case& c : cases) {
        gScriptVars.targetTime = c.limit;
        gScriptVars.missionClock = c.clock;
        gScriptVars.timeScore = c.rate;
        const std::vector<std::string> lines = Draw();
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[2], c.line) << c.limit << " " << c.clock << " " << c.rate;
    }
}

TEST_F(StatusPanelTest, TheRatingShowsOnlyWithAMaximumScoreAndStaysInRange)
{
    struct Case {
        int32_t maximum, score;
        std::string line; // the line after the score's
    };
    const Case cases[] = {
        {0, 500, Centred("Esc: bridge")},
        {4000, 300, "20:Rating | 570:07%"},
        {1000, 1000, "20:Rating | 570:100%"},
        {1000, -50, "20:Rating | 570:-5%"},
        {1, INT32_MAX, "20:Rating | 570:2147483647%"}, // held to the int range
    };
    for (const Case& c : cases) {
        MissionTable[kMission].maxScore = c.maximum;
        gMissionScore = c.score;
        const std::vector<std::string> lines = Draw();
        ASSERT_EQ(lines.size(), c.maximum ? 8u : 7u);
        EXPECT_EQ(lines[5], "20:Score | 570:" + std::to_string(c.score));
        EXPECT_EQ(lines[6], c.line) << c.maximum << " " << c.score;
    }
}

TEST_F(StatusPanelTest, MeasuringDrawsNothingAndGivesTheHeightTheDrawingUses)
{
    ParseObjectives("a\nb");
    gTallyCounters.enemyKills[0] = 1;
    gPlayerInput.shotsFired = 1;
    screen_.Clear();
    const int32_t measured = guiObjectivesPanelDraw(&panel_, false);
    EXPECT_EQ(screen_.Colours(0, 0, 639, 479), (std::set<int>{0}));
    EXPECT_EQ(measured, 12 * kStep); // title, outcome, 3 objective lines, 2 + 2 kill lines, total, hits, score
    EXPECT_EQ(guiObjectivesPanelDraw(&panel_, true), measured);
    // The bottom line stands on the last pen line: nothing below it.
    EXPECT_NE(screen_.Colours(0, kTop + measured, 639, kTop + measured), (std::set<int>{0}));
    EXPECT_EQ(screen_.Colours(0, kTop + measured + 1, 639, 479), (std::set<int>{0}));
}

} // namespace
