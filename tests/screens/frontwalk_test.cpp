// A walk through the front end on the demo data tree, headless: the
// layouts of the tree's screen script, its fonts, clips and mission table,
// driven by clicks on the elements the layouts define and by keys. Home,
// roster, name entry, timeline, a mission selected and launched; the disc
// request when the disc's probe film is missing, OK and Cancel; the
// question before a career is deleted; Instant Action from its movie.
#include "screens/frontscreens.h"

#include "../script/script_test_support.h"
#include "game/startup.h"
#include "platform/film.h"
#include "screens/frontend.h"
#include "script/symbols.h"
#include "system/film.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
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

} // namespace
