// Command lines and switches: how words become settings, a display choice
// and a mission name.
#include "system/display.h"
#include "system/settings.h"
#include "system/switches.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

void ApplyLine(const std::string& line)
{
    gSettings = Settings{};
    UseFullScreenDisplay(); // the entry's default before any switch
    ApplyCommandLine(SplitCommandLine(line));
}

struct LineCase {
    std::string line;
    const DisplayDriver* display;
    int colourDepth;
    std::string mission;
    uint8_t noCommandLineMission;
};

class CommandLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(CommandLine, GivesDisplayDepthAndMission)
{
    const LineCase& c = GetParam();
    ApplyLine(c.line);
    EXPECT_EQ(gDisplayDriver, c.display);
    EXPECT_EQ(gSettings.colourDepth, c.colourDepth);
    EXPECT_EQ(gSettings.missionName, c.mission);
    EXPECT_EQ(gSettings.noCommandLineMission, c.noCommandLineMission);
}

const std::string kLongName = std::string(5000, 'x') + ".scr";

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLine,
    ::testing::Values(
        LineCase{"", &kFullScreenDisplay, 8, "", 255},
        LineCase{" , ,", &kFullScreenDisplay, 8, "", 255},
        LineCase{"-w -16 mission01.scr", &kWindowDisplay, 16, "mission01.scr", 0},
        LineCase{"-w,-16 mission01.scr", &kWindowDisplay, 16, "mission01.scr", 0},
        LineCase{"mission01.scr -w", &kFullScreenDisplay, 8, "mission01.scr", 0},
        LineCase{"-W", &kFullScreenDisplay, 8, "", 0},
        LineCase{"-", &kFullScreenDisplay, 8, "", 0},
        LineCase{"-w -f", &kFullScreenDisplay, 8, "", 0},
        LineCase{",,-b,,m1.scr  m2.scr", &kFrameworkDisplay, 8, "m1.scr", 0},
        LineCase{"-16 " + kLongName, &kFullScreenDisplay, 16, kLongName, 0}));

TEST(CommandLineWords, SplitAtCommasAndBlanksWithoutEmptyWords)
{
    EXPECT_EQ(SplitCommandLine(" -w,,-idemo  a.scr,"), (std::vector<std::string>{"-w", "-idemo", "a.scr"}));
    EXPECT_TRUE(SplitCommandLine(", ,").empty());
}

TEST(CommandLineWords, CommaSeparatedSwitchesAllApply)
{
    ApplyLine("-w,-idemo");
    EXPECT_EQ(gDisplayDriver, &kWindowDisplay);
    EXPECT_EQ(gSettings.demo, 255);
}

// Every switch of the table, in table order, and the setting it changes.
struct SwitchCase {
    const char* name;
    std::function<int()> setting;
    int expected;
};

TEST(SwitchTable, EachSwitchSetsItsSetting)
{
    const SwitchCase cases[] = {
        {"dummy", [] { return 0; }, 0},
        {"debug", [] { return gSettings.debug; }, 255},
        {"f", [] { return gSettings.fullScreen; }, 255},
        {"w", [] { return gDisplayDriver == &kWindowDisplay; }, 1},
        {"b", [] { return gFrameworkPalette; }, 255},
        {"slave", [] { return gSettings.slave; }, 255},
        {"perspective", [] { return gSettings.perspective; }, 255},
        {"powers", [] { return gSettings.developerKeys; }, 255},
        {"console", [] { return gSettings.console; }, 255},
        {"engoff", [] { return gSettings.engineering; }, 0},
        {"shades", [] { return gSettings.shades; }, 255},
        {"display_shades", [] { return gSettings.displayShades; }, 255},
        {"sound", [] { return gSettings.sound; }, 255},
        {"xsound", [] { return gSettings.sound; }, 0},
        {"wire", [] { return gSettings.wire; }, 255},
        {"runinback", [] { return gSettings.runInBack; }, 255},
        {"fontmake", [] { return gSettings.fontMake; }, 255},
        {"nofill", [] { return gSettings.noFill; }, 255},
        {"nodialogue", [] { return gSettings.noDialogue; }, 255},
        {"nosysbuf", [] { return gSettings.systemBuffer; }, 0},
        {"director", [] { return gSettings.director; }, 255},
        {"nohud", [] { return gSettings.noHud; }, 255},
        {"brf_pause", [] { return gSettings.briefingPause; }, 255},
        {"nonebula", [] { return gSettings.noNebula; }, 255},
        {"loadtest", [] { return gSettings.loadTest; }, 255},
        {"nobrief", [] { return gSettings.noBrief; }, 255},
        {"oldkeys", [] { return gSettings.oldKeys; }, 255},
        {"16", [] { return gSettings.colourDepth; }, 16},
        {"intro", [] { return gSettings.intro; }, 255},
        {"noslab", [] { return gSettings.noSlab; }, 255},
        {"idemo", [] { return gSettings.demo; }, 255},
        {"french", [] { return gSettings.language; }, 1},
        {"german", [] { return gSettings.language; }, 2},
        {"debugfile", [] { return gSettings.debuggerOutput; }, 0},
    };
    ASSERT_EQ(std::size(cases), kSwitchTable.size());
    for (std::size_t i = 0; i < kSwitchTable.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_STREQ(kSwitchTable[i].name, cases[i].name);
        gSettings = Settings{};
        UseWindowDisplay();
        if (std::string(cases[i].name) == "sound")
            gSettings.sound = 0;
        ApplySwitch((std::string("-") + cases[i].name).c_str());
        EXPECT_EQ(cases[i].setting(), cases[i].expected);
    }
}

TEST(SwitchTable, PowersToggles)
{
    ApplyLine("-powers -powers -powers");
    EXPECT_EQ(gSettings.developerKeys, 255);
    ApplyLine("-powers -powers");
    EXPECT_EQ(gSettings.developerKeys, 0);
}

TEST(SwitchTable, NoWordSetsTheNoMissionFlagAndUnknownWordsChangeNothing)
{
    gSettings = Settings{};
    ApplySwitch(nullptr);
    EXPECT_EQ(gSettings.noCommandLineMission, 255);
    gSettings = Settings{};
    for (const char* word : {"-W", "-Debug", "-", "", "-16x", "--w"})
        ApplySwitch(word);
    EXPECT_EQ(gSettings.colourDepth, 8);
    EXPECT_EQ(gSettings.debug, 0);
    EXPECT_EQ(gSettings.noCommandLineMission, 0);
}

} // namespace
