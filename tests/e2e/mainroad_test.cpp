// The game's main road walked as a player walks it, the program itself on
// the dummy drivers with a fixed frame time and an input table of keys and
// clicks: from the home screen through the roster and the timeline (a
// name typed) to a mission launched, each step checked by the screen the
// game reports and by its captured frames.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// What the game printed for each "state" line of the table, by pass.
struct Walk {
    GameRun run;
    std::map<long, std::string> screens;
    std::map<long, int> stations;
};

class MainRoad : public ::testing::Test {
protected:
    Walk Run(const std::string& table, const std::vector<std::string>& args = {"-w"})
    {
        std::ofstream(folder / "table.txt") << table;
        Walk walk;
        walk.run = RunGame(args,
                           {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                            "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                           folder, 60000);
        const std::regex state(R"(state (\d+) screen=(\S*) station=(-?\d+) end=(-?\d+))");
        std::istringstream lines(walk.run.output);
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            if (std::regex_search(line, m, state)) {
                walk.screens[std::stol(m[1])] = m[2];
                walk.stations[std::stol(m[1])] = std::stoi(m[3]);
            }
        }
        return walk;
    }

    // The captured frame's pixels (RGB), empty when it was not written.
    std::string Frame(const char* name)
    {
        std::ifstream in(folder / name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string header = "P6\n640 480\n255\n";
        return bytes.compare(0, header.size(), header) == 0 ? bytes.substr(header.size()) : std::string();
    }

    // How many pixels of the frame's rectangle differ between two frames.
    static int Changed(const std::string& a, const std::string& b, int left, int top, int right, int bottom)
    {
        int changed = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * 640 + x) * 3;
                changed += a.size() == b.size() && a.size() > at + 2 && a.compare(at, 3, b, at, 3) != 0;
            }
        return changed;
    }

    // How many colours the frame's rectangle holds.
    static std::size_t Colours(const std::string& frame, int left, int top, int right, int bottom)
    {
        std::set<std::string> colours;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * 640 + x) * 3;
                if (frame.size() > at + 2)
                    colours.insert(frame.substr(at, 3));
            }
        return colours.size();
    }

    // How many pixels of the frame differ from its top-left pixel.
    static int Drawn(const std::string& frame)
    {
        int drawn = 0;
        for (std::size_t i = 0; i + 2 < frame.size(); i += 3)
            drawn += frame.compare(i, 3, frame, 0, 3) != 0;
        return drawn;
    }

    ScratchFolder scratch{"mainroad"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

TEST_F(MainRoad, FromTheHomeScreenThroughTheRosterAndTimelineToALaunchedMission)
{
    CopyDemoData(folder);
    std::string table = "100 state\n100 shot " + (folder / "home.ppm").string() +
                        "\n"
                        "120 click FrRosSq\n"
                        "250 state\n"
                        "260 click RosSlot\n"
                        "400 state\n"
                        "410 click TimName\n";
    // The new career's name is replaced by the player's.
    for (int i = 0; i < 20; ++i)
        table += std::to_string(420 + 3 * i) + " key Backspace\n";
    table += "500 text TESTER\n"
             "510 key Return\n"
             "520 key Up\n"
             "530 shot " +
             (folder / "timeline.ppm").string() +
             "\n"
             "540 move 1 1\n"
             "550 click TimPlayMN\n"
             "700 state\n"
             "720 quit\n";
    const Walk walk = Run(table);
    EXPECT_FALSE(walk.run.stopped) << walk.run.output;
    EXPECT_EQ(walk.run.exitCode, 0) << walk.run.output;
    EXPECT_EQ(walk.screens.at(100), "FrontHome") << walk.run.output;
    EXPECT_EQ(walk.screens.at(250), "FrontRoster") << walk.run.output;
    EXPECT_EQ(walk.screens.at(400), "FrontTime") << walk.run.output;
    // Mission 1 launched: its first station is COM.
    EXPECT_EQ(walk.stations.at(700), 1) << walk.run.output;

    std::ifstream career(folder / "zqk/slot0.sav", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(career)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find("TESTER"), std::string::npos) << "the name entered is the captain's name";
    EXPECT_EQ(bytes.find("Unknown"), std::string::npos);

    EXPECT_GT(Drawn(Frame("home.ppm")), 2000) << "the home screen is drawn";
    EXPECT_GT(Drawn(Frame("timeline.ppm")), 5000) << "the timeline is drawn";
}

// A mission started from the command line: its briefing runs on COM and
// ends on the objectives view, which the player closes; then the local
// view shows the scene in flight, and the station keys go to NAV and WEP.
TEST_F(MainRoad, MissionOneBriefsThenFliesWithTheSceneDrawnAtEachStation)
{
    CopyDemoData(folder);
    const std::string table = "100 state\n"
                              "600 state\n"
                              "610 click CMDObjv\n"
                              "700 state\n"
                              "700 shot " +
                              (folder / "com1.ppm").string() +
                              "\n"
                              "760 shot " +
                              (folder / "com2.ppm").string() +
                              "\n"
                              "770 key F2\n"
                              "850 state\n"
                              "870 key F3\n"
                              "950 state\n"
                              "960 quit\n";
    const Walk walk = Run(table, {"-w", "mission01.scr"});
    EXPECT_FALSE(walk.run.stopped) << walk.run.output;
    EXPECT_EQ(walk.run.exitCode, 0) << walk.run.output;
    EXPECT_EQ(walk.screens.at(100), "COM") << walk.run.output;
    EXPECT_EQ(walk.screens.at(700), "COM") << walk.run.output;
    EXPECT_EQ(walk.screens.at(850), "NAV") << walk.run.output;
    EXPECT_EQ(walk.stations.at(850), 2) << walk.run.output;
    EXPECT_EQ(walk.screens.at(950), "WEP") << walk.run.output;
    EXPECT_EQ(walk.stations.at(950), 3) << walk.run.output;

    // The local view (the layout's "CMDRealV") shows the scene, which moves.
    const std::string first = Frame("com1.ppm"), second = Frame("com2.ppm");
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_GE(Colours(first, 36, 52, 497, 323), 8) << "the view is drawn: sky, ships, the HUD";
    EXPECT_GT(Changed(first, second, 36, 52, 497, 323), 50) << "the scene moves from frame to frame";
}

} // namespace
