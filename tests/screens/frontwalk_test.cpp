// A walk through the front end on the demo data tree, headless: the
// layouts of the tree's screen script, its fonts, clips and mission table,
// driven by clicks on the elements the layouts define and by keys. Home,
// roster, name entry, timeline, a mission selected and launched; the disc
// request when the disc's probe film is missing, OK and Cancel; the
// question before a career is deleted; Instant Action from its movie; the
// timeline's drawing in a memory screen, read back by palette index.
#include "screens/frontscreens.h"

#include "../script/script_test_support.h"
#include "game/startup.h"
#include "platform/film.h"
#include "screens/frontend.h"
#include "script/symbols.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/ui_canvas.h"
#include "ui/screens.h"
#include "ui/windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr uint16_t Key(uint8_t scan, uint8_t character = 0)
{
    return static_cast<uint16_t>(scan << 8 | character);
}
constexpr uint16_t kEnter = Key(28, 13), kUp = Key(0x48);

double gNow = 0;

class FrontWalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = gSettings;
        CopyDemoData(scratch.Path());
        BeginScriptTest();
        ResShutdown();
        ASSERT_GT(ResInit(), 0u);
        platform::SetFilmClock([] { return gNow; });
        ASSERT_TRUE(RunScriptFile("zqk\\resource\\scripts\\init\\init.scr"));
        guiResetWindowPool();
        RegisterFrontEndScreens();
        CloseClip(&gFrontScreens.clip);
        gFrontScreens = {};
        StateRecord = {};
        CaptainSlot = {};
        gFrontEnd = FrontEndSelection{};
        gStartMissionRequest = 0;
        ASSERT_TRUE(RunScriptFile("zqk\\resource\\scripts\\gui\\test0_x.gui"));
        guiGotoScreen("FrontHome");
    }
    void TearDown() override
    {
        CloseClip(&gFrontScreens.clip);
        gFrontScreens = {};
        FreeMissionLists();
        guiResetWindowPool();
        platform::SetFilmClock(nullptr);
        EndScriptTest();
        ResShutdown();
        gSettings = saved_;
        gStartMissionRequest = 0;
    }

    static WindowHandle* Element(const char* name)
    {
        const ScriptSymbol* symbol = FindScriptSymbol(name);
        return symbol ? static_cast<WindowHandle*>(symbol->value) : nullptr;
    }
    // A click on the element, as the screen's update hands it on.
    static void Click(const char* name)
    {
        WindowHandle* w = Element(name);
        ASSERT_NE(w, nullptr) << name;
        ASSERT_NE(w->clickHandler, nullptr) << name << " takes no click";
        w->clickHandler(w);
    }
    // Redraws the movie element until the front end rests in the state,
    // its clips played a tenth of a second a frame.
    static void Settle(const char* movie, int16_t state)
    {
        WindowHandle* w = Element(movie);
        ASSERT_NE(w, nullptr) << movie;
        ASSERT_NE(w->draw, nullptr) << movie;
        for (int redraw = 0; redraw < 200 && !(gFrontScreens.current == state && gFrontScreens.requested == state);
             ++redraw) {
            gNow += 0.1;
            w->draw(w);
        }
        EXPECT_EQ(gFrontScreens.current, state) << movie;
    }
    static std::string ScreenName() { return gScreens.current && gScreens.current->name ? gScreens.current->name : ""; }

    ScratchFolder scratch{"frontwalk", true};
    Settings saved_;
};

TEST_F(FrontWalk, HomeRosterNameTimelineAndALaunch)
{
    Settle("HomeMov", kFrontHome);
    EXPECT_EQ(ScreenName(), "FrontHome");

    Click("FrRosSq");
    Settle("HomeMov", kFrontRoster); // the roster clip plays in the home movie, then the roster
    EXPECT_EQ(ScreenName(), "FrontRoster");

    Click("RosSlot");
    Settle("RosMov", kFrontTimeline);
    EXPECT_EQ(ScreenName(), "FrontTime");

    Click("TimName");
    ASSERT_NE(gFrontScreens.nameEntry, 0);
    for (const char c : std::string("Kim"))
        guiFrontEndKeyHandler(Key(0x20, static_cast<uint8_t>(c)));
    guiFrontEndKeyHandler(kEnter);
    EXPECT_EQ(gFrontScreens.nameEntry, 0);
    EXPECT_TRUE(fs::exists(scratch.Path() / "zqk/slot0.sav")) << "the career is written";

    // The first mission of the table is the one to fly.
    guiFrontEndKeyHandler(kUp); // with no entry current: the first
    ASSERT_NE(gFrontEnd.currentEntry, nullptr);
    EXPECT_EQ(MissionNumberAtIndex(gFrontEnd.selectedMission), 1);
    Element("TimPlayMN")->frameHandler(Element("TimPlayMN"));
    EXPECT_NE(gFrontScreens.playNew, 0);
    Click("TimPlayMN");
    EXPECT_EQ(gStartMissionRequest, 255);
}

TEST_F(FrontWalk, WithoutTheDiscsProbeTheDiscIsAskedForUntilItIsThere)
{
    const fs::path probe = scratch.Path() / "zqk/resource/video/m01_3.smk";
    const fs::path aside = scratch.Path() / "m01_3.smk";
    fs::rename(probe, aside);
    gFrontEnd.selectedMission = 1;
    LaunchSelectedMission(1);
    EXPECT_EQ(ScreenName(), "InsertCD");
    EXPECT_EQ(gStartMissionRequest, 0);

    Click("InsCDCancel");
    EXPECT_EQ(ScreenName(), "FrontTime");

    LaunchSelectedMission(1);
    Click("InsCDOK"); // still missing: asked again
    EXPECT_EQ(ScreenName(), "InsertCD");
    fs::rename(aside, probe);
    Click("InsCDOK");
    EXPECT_EQ(gStartMissionRequest, 255);
}

TEST_F(FrontWalk, DeletingACareerAsksFirst)
{
    std::strcpy(CaptainSlot.name, "Kim");
    CaptainSlot.missionState[1] = 1;
    guiGotoScreen("FrontTime");
    Click("TimDelete");
    EXPECT_EQ(ScreenName(), "Confirm");
    Click("CnfCancel");
    EXPECT_EQ(ScreenName(), "FrontTime");
    EXPECT_EQ(CaptainSlot.missionState[1], 1);

    Click("TimDelete");
    Click("CnfOK");
    EXPECT_EQ(ScreenName(), "FrontTime");
    EXPECT_EQ(CaptainSlot.missionState[1], 0);
}

TEST_F(FrontWalk, InstantActionLaunchesFromItsMovie)
{
    Settle("HomeMov", kFrontHome);
    Click("FrActSq");
    Settle("HomeMov", kFrontAction);
    EXPECT_EQ(ScreenName(), "FrontAction");
    gStartMissionRequest = 0;
    WindowHandle* movie = Element("ActMov");
    ASSERT_NE(movie, nullptr);
    movie->draw(movie);
    EXPECT_EQ(gStartMissionRequest, 255);
    EXPECT_EQ(MissionNumberAtIndex(gFrontEnd.selectedMission), 99);
    EXPECT_EQ(gFrontEnd.launchMode, 4);
}

// The timeline of a career with the first mission flown: its lists (the
// completed one's last entry restartable), the fixed frame, the play
// buttons dim or hot by their flags, the what-mission box and the debrief
// view that replaces it, the disc request's and the question's texts.
TEST_F(FrontWalk, TheTimelineDrawsItsListsFrameButtonsAndViews)
{
    MemoryScreen screen;
    CaptainSlot.missionState[1] = 1;
    CaptainSlot.outcome[1] = 1;
    CaptainSlot.missionScore[1] = 400;
    CaptainSlot.totalScore = 400;
    CaptainSlot.completionOrder[0] = 1;
    CaptainSlot.completedCount = 1;
    RebuildMissionLists();
    guiGotoScreen("FrontTime");
    ASSERT_EQ(ScreenName(), "FrontTime");
    // As the screen's update draws an element: placed first.
    auto draw = [](const char* name) {
        WindowHandle* w = Element(name);
        ASSERT_NE(w, nullptr) << name;
        ASSERT_NE(w->draw, nullptr) << name;
        guiWindowRect(w, nullptr, nullptr);
        w->draw(w);
    };
    auto colours = [&](const char* name) {
        const int16_t* r = Element(name)->rect;
        return screen.Colours(r[0], r[1], r[2], r[3]);
    };

    ASSERT_EQ(gCompletedList.count, 1);
    ASSERT_GE(gAvailableList.count, 1);
    gFrontEnd.currentEntry = nullptr;
    draw("TimArchive");
    draw("TimNew");
    EXPECT_TRUE(colours("TimArchive").count(84)) << "the grid";
    EXPECT_TRUE(colours("TimArchive").count(154)) << "the last completed entry can be restarted";
    EXPECT_TRUE(colours("TimNew").count(90));
    EXPECT_FALSE(colours("TimNew").count(98)) << "no entry is current";
    gFrontEnd.currentEntry = &gCompletedList.entries[0];
    draw("TimArchive");
    EXPECT_TRUE(colours("TimArchive").count(160));
    EXPECT_FALSE(colours("TimArchive").count(154));

    std::strcpy(CaptainSlot.name, "Kim");
    draw("TimName");
    EXPECT_GT(colours("TimName").size(), 1u) << "the captain's name";
    draw("TimCarHist");
    EXPECT_EQ(screen.At(49, 107), 96);
    EXPECT_EQ(screen.At(324, 70), 96);
    EXPECT_EQ(screen.At(460, 300), 96);

    // The play buttons: the completed entry can be flown again, not anew.
    Element("TimPlayMN")->frameHandler(Element("TimPlayMN"));
    EXPECT_EQ(gFrontScreens.playNew, 0);
    EXPECT_NE(gFrontScreens.playAgain, 0);
    WindowHandle* again = Element("TimPlayMA");
    WindowHandle* fresh = Element("TimPlayMN");
    guiWindowRect(again, nullptr, nullptr);
    guiWindowRect(fresh, nullptr, nullptr);
    gWindows.mouseX = again->rect[0] + 2;
    gWindows.mouseY = again->rect[1] + 2;
    draw("TimPlayMA");
    EXPECT_EQ(screen.At(again->rect[0] - 4, again->rect[1]), 97) << "hot and usable";
    gWindows.mouseX = fresh->rect[0] + 2;
    gWindows.mouseY = fresh->rect[1] + 2;
    draw("TimPlayMN");
    EXPECT_EQ(screen.At(fresh->rect[0] - 4, fresh->rect[1]), 89) << "hot but not usable";
    draw("TimPlayMA");
    EXPECT_EQ(screen.At(again->rect[0] - 4, again->rect[1]), 0) << "the mouse left it";
    EXPECT_GT(colours("TimPlayMA").size(), 1u) << "its caption";

    // What-mission box, then the debrief view in its place.
    gFrontEnd.selectedMission = 1;
    gFrontScreens.whatMissionShown = 255;
    draw("WhatMiss");
    const int16_t* what = Element("WhatMiss")->rect;
    EXPECT_EQ(screen.At(what[0] + 2, what[1]), 96);
    Click("TimDbfOn");
    EXPECT_NE(gFrontScreens.debriefShown, 0);
    EXPECT_EQ(gFrontScreens.whatMissionShown, 0);
    screen.Clear();
    draw("WhatMiss");
    EXPECT_EQ(screen.At(what[0] + 2, what[1]), 0) << "hidden while the debrief shows";
    draw("TimDbfScrn");
    EXPECT_GT(colours("TimDbfScrn").size(), 1u) << "the debrief text";
    Click("TimDbfOff");
    EXPECT_EQ(gFrontScreens.debriefShown, 0);
    EXPECT_NE(gFrontScreens.whatMissionShown, 0);

    // A mission whose maximum score is 0 still shows its best score.
    MissionTable[1].maxScore = 0;
    screen.Clear();
    draw("WhatMiss");
    EXPECT_GT(colours("WhatMiss").size(), 2u);

    guiGotoScreen("InsertCD");
    draw("InsCD");
    EXPECT_GT(colours("InsCD").size(), 1u);
    gFrontScreens.confirmText = 97;
    guiGotoScreen("Confirm");
    draw("Cnf");
    EXPECT_GT(colours("Cnf").size(), 1u);
}

// The completed list, longer than its element, scrolls while the mouse
// rests near an edge and stops at its ends; the play button's per-frame
// handler keeps its tick, so its click launches.
TEST_F(FrontWalk, TheListsScrollNearTheirEdgesAndThePlayButtonsTickTakesItsClick)
{
    for (int16_t m = 1; m <= 3; ++m) {
        CaptainSlot.missionState[m] = 1;
        CaptainSlot.missionScore[m] = 100;
        CaptainSlot.completionOrder[m - 1] = m;
    }
    CaptainSlot.completedCount = 3;
    RebuildMissionLists();
    guiGotoScreen("FrontTime");
    WindowHandle* archive = Element("TimArchive");
    ASSERT_NE(archive, nullptr);
    ASSERT_NE(archive->frameHandler, nullptr);
    guiWindowRect(archive, nullptr, nullptr);
    ASSERT_GT(gCompletedList.contentWidth, archive->width + 10);
    gCompletedList.scrollX = 0;
    gFrameClock.frameTicks = 4;
    gWindows.mouseX = archive->rect[2] - 2; // near the right edge
    gWindows.mouseY = (archive->rect[1] + archive->rect[3]) / 2;
    for (int frame = 0; frame < 200; ++frame)
        archive->frameHandler(archive);
    EXPECT_EQ(gCompletedList.scrollX, gCompletedList.contentWidth - archive->width) << "stopped at the end";
    const int16_t atEnd = gCompletedList.scrollX;
    gWindows.mouseX = archive->rect[0] + archive->width / 2; // the middle: still
    archive->frameHandler(archive);
    EXPECT_EQ(gCompletedList.scrollX, atEnd);
    gWindows.mouseX = archive->rect[0] + 1; // near the left edge
    archive->frameHandler(archive);
    EXPECT_LT(gCompletedList.scrollX, atEnd);
    for (int frame = 0; frame < 200; ++frame)
        archive->frameHandler(archive);
    EXPECT_EQ(gCompletedList.scrollX, 0) << "never before the start";

    // The available mission (the fourth of the table: Instant Action) is
    // launched by a click that the button's tick hands on.
    gFrontEnd.currentEntry = &gAvailableList.entries[0];
    gFrontEnd.selectedMission = gAvailableList.entries[0].mission->index;
    WindowHandle* play = Element(gAvailableList.entries[0].kind == 0 ? "TimPlayMN" : "TimPlayMT");
    WindowHandle* ticker = Element("TimPlayMN");
    play->flags |= kWindowClickPending;
    ticker->frameHandler(ticker);
    if (play != ticker)
        play->frameHandler(play);
    EXPECT_EQ(gStartMissionRequest, 255);
}

} // namespace
