// The mission launch, headless: the state file, the stock and mission
// scripts, the bridge screen, the caption and the entry film; and what a
// missing script or a missing disc does instead.
#include "screens/frontend.h"

#include "../script/script_test_support.h"
#include "../view/view_fixture.h"

#include "platform/window.h"
#include "screens/bridge.h"
#include "screens/objectives.h"
#include "script/interpreter.h"
#include "script/symbols.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "ui/screens.h"

#include <gtest/gtest.h>

namespace {

int gFlightStarts = 0;

void NoSetup() {}
void NoKeys(uint16_t) {}

class MissionLaunch : public viewtest::ViewTest {
protected:
    void WriteFixtures() override
    {
        scratch.Write("zqk/resource/scripts/precedence.csv", "i,n,e,f,g,x,p,b,o,s,m,c,z\n"
                                                             "3,12,Black Reach,f,g,0,0,0,0,0,5000,4000,x\n"
                                                             "4,13,No Script,f,g,0,0,0,0,0,0,0,x\n"
                                                             "6,21,Disc Two,f,g,0,0,0,0,0,0,0,x\n");
        scratch.Write("zqk/resource/scripts/init/stock.scr", "SET stockran 1\n");
        scratch.Write("zqk/resource/scripts/missions/mission12.scr", "SET missionran 12\n");
    }
    void SetUp() override
    {
        BeginScriptTest();
        viewtest::ViewTest::SetUp();
        saved_ = gSettings;
        guiResetScreens();
        for (const char* name : {"FrontTime", "COM", "InsertCD"})
            guiRegisterScreen(name, NoSetup, NoKeys);
        guiGotoScreen("FrontTime");
        ASSERT_TRUE(ReadMissionTable());
        gFrontEnd = FrontEndSelection{};
        gFlightStarts = 0;
        gStartFlightHook = [] { ++gFlightStarts; };
        gFilmName.clear();
        platform::SetWindowTitle("Vorn");
        CurrentStation = 0;
    }
    void TearDown() override
    {
        gStartFlightHook = nullptr;
        gStartMissionRequest = 0;
        gLoopFlags = LoopFlags{};
        gSettings = saved_;
        ParseMissionTable("", 0);
        guiResetScreens();
        viewtest::ViewTest::TearDown();
        EndScriptTest();
    }
    static int32_t SymbolValue(const char* name)
    {
        const ScriptSymbol* symbol = FindScriptSymbol(name);
        return symbol ? ReadSymbolInt(symbol) : -1;
    }
    static std::string CurrentScreen() { return gScreens.current ? gScreens.current->name : ""; }
    Settings saved_;
};

TEST_F(MissionLaunch, StartsTheSelectedMissionOnTheBridge)
{
    std::filesystem::create_directories(scratch / "zqk");
    gFrontEnd.selectedMission = 3;
    gFrontEndActive = 255;
    StartMission(0);

    const std::string state = scratch.Read("zqk/state.inf");
    ASSERT_EQ(state.size(), kStateFileSize);
    EXPECT_EQ(state[2], 3) << "the launched table index";
    EXPECT_EQ(SymbolValue("stockran"), 1);
    EXPECT_EQ(SymbolValue("missionran"), 12);
    EXPECT_EQ(gScriptVars.missionNumber, 3) << "MISSNUMBER is the table index";
    EXPECT_EQ(gMissionMaxScore, 4000);
    EXPECT_EQ(CurrentScreen(), "COM");
    EXPECT_EQ(CurrentStation, 1);
    EXPECT_EQ(platform::WindowTitle(), "Vorn - Mission 3 - Black Reach");
    EXPECT_EQ(gFlightStarts, 1);
    EXPECT_EQ(gFrontEndActive, 0) << "the simulation runs in flight";
    EXPECT_EQ(gFilmName, "entry.smk");
}

TEST_F(MissionLaunch, AMissingMissionScriptDoesNothing)
{
    std::filesystem::create_directories(scratch / "zqk");
    gFrontEnd.selectedMission = 4;
    StartMission(0);
    EXPECT_FALSE(std::filesystem::exists(scratch / "zqk/state.inf"));
    EXPECT_EQ(CurrentScreen(), "FrontTime");
    EXPECT_EQ(platform::WindowTitle(), "Vorn");
    EXPECT_EQ(gFlightStarts, 0);
    EXPECT_EQ(gFilmName, "");
}

TEST_F(MissionLaunch, TheDiscProbeDecidesBetweenLaunchAndInsertCd)
{
    ChooseMissionDisc(21);
    EXPECT_EQ(gFrontEnd.disc, 2);
    EXPECT_EQ(gStartMissionRequest, 0);
    EXPECT_EQ(CurrentScreen(), "InsertCD");

    guiGotoScreen("FrontTime");
    scratch.Write("zqk/resource/video/m01_3.smk", "probe");
    ChooseMissionDisc(12);
    EXPECT_EQ(gFrontEnd.disc, 1);
    EXPECT_EQ(gStartMissionRequest, 255);
    EXPECT_EQ(CurrentScreen(), "FrontTime");
}

TEST_F(MissionLaunch, LoadTestModeCyclesThroughTheTablesMissions)
{
    std::filesystem::create_directories(scratch / "zqk");
    gSettings.loadTest = 255;
    gFrontEnd.selectedMission = 3;
    gFrontEnd.loadTestPosition = 98; // wraps past 99 to the first row
    StartMission(0);
    EXPECT_EQ(gFrontEnd.selectedMission, 3);
    EXPECT_EQ(gFrontEnd.loadTestPosition, 4);
    StartMission(0);
    EXPECT_EQ(gFrontEnd.selectedMission, 4);
    EXPECT_EQ(gFrontEnd.loadTestPosition, 5);
    EXPECT_EQ(platform::WindowTitle(), "Vorn - Mission 4 - No Script");
}

TEST_F(MissionLaunch, ACommandLineMissionTakesItsRowsIndexAndTitle)
{
    EXPECT_EQ(EnterCommandLineMission(12), 3);
    EXPECT_EQ(gScriptVars.missionNumber, 3);
    EXPECT_EQ(platform::WindowTitle(), "Vorn - Mission 3 - Black Reach");
    EXPECT_EQ(EnterCommandLineMission(6), 6) << "a mission without a row keeps its number";
    EXPECT_EQ(gScriptVars.missionNumber, 6);
    EXPECT_EQ(platform::WindowTitle(), "Vorn - Mission 6") << "row 6 holds another mission";
}

} // namespace
