// Mission objectives: parsing the objective text (the 15-line limit, ids
// with and without a colon, long lines cut), the operations the scripts
// call with valid and invalid indices, the freeze once the mission is over,
// the current objective and its timer, and the objective key's message.
#include "screens/objectives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

#include "screens/bridge.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "tests/ui/ui_canvas.h"
#include "system/frameclock.h"
#include "ui/messagelog.h"
#include "ui/windows.h"
#include "world/scenelist.h"

namespace {

class ObjectivesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gMissionScore = 0;
        gPlayerShipLost = 0;
        gScriptMission.missionFailed = 0;
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

    gPlayerShipLost = 255;
    SetObjectiveStatus(0, kObjectiveCompleted);
    SetObjectiveStatus(1, kObjectiveNotDone);
    EXPECT_TRUE(ObjectiveStatusIs(0, kObjectiveFailed));
    EXPECT_TRUE(ObjectiveStatusIs(1, kObjectiveCompleted));
    EXPECT_EQ(gMissionScore, 500);
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

} // namespace
