// The input table that walks the game without a person at the keyboard:
// a table that cannot be read ends the program naming its line, and a
// readable one prints the game's state and captures the screen at the
// passes it gives, then closes the window.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

class InputTable : public ::testing::Test {
protected:
    GameRun Run(const std::string& table)
    {
        std::ofstream(folder / "table.txt") << table;
        return RunGame({"-w"},
                       {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                        "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                       folder, 30000);
    }

    ScratchFolder scratch{"inputtable"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

TEST_F(InputTable, ALineThatCannotBeReadEndsTheProgramNamingIt)
{
    CopyDemoData(folder);
    const struct {
        const char* line;
        const char* why;
    } cases[] = {
        {"10 key NoSuchKey", "(2) : no key has this name"},
        {"key Return", "(2) : a line starts with its pass number"},
        {"10 jump", "(2) : unknown event word"},
        {"10 move 5", "(2) : a position (x y) is needed"},
        {"10 shot", "(2) : shot needs a file"},
        {"10 hold 0", "(2) : hold needs milliseconds (1-60000)"},
    };
    for (const auto& c : cases) {
        const GameRun run = Run(std::string("# first line\n") + c.line + "\n");
        EXPECT_NE(run.exitCode, 0) << c.line;
        EXPECT_NE(run.output.find(c.why), std::string::npos) << c.line << ": " << run.output;
    }
}

TEST_F(InputTable, StatesAndShotsArriveAtTheirPassesAndQuitEndsTheRun)
{
    CopyDemoData(folder);
    const fs::path shot = folder / "shot.ppm";
    const GameRun run = Run("3 state\n\n20 shot " + shot.string() + "\n20 key Left Ctrl+Down\n22 hold 50\n25 state\n30 quit\n");
    EXPECT_FALSE(run.stopped) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const std::size_t first = run.output.find("state 3 screen=");
    const std::size_t second = run.output.find("state 25 screen=");
    ASSERT_NE(first, std::string::npos) << run.output;
    ASSERT_NE(second, std::string::npos) << run.output;
    EXPECT_LT(first, second);
    const std::size_t hold = run.output.find("hold 22");
    EXPECT_TRUE(hold > first && hold < second) << run.output;

    std::ifstream in(shot, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string header = "P6\n640 480\n255\n";
    ASSERT_GE(bytes.size(), header.size());
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_EQ(bytes.size(), header.size() + 640u * 480u * 3u);
}

} // namespace
