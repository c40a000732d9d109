// The input table that walks the game without a person at the keyboard:
// a table that cannot be read ends the program naming its line, and a
// readable one prints the game's state and captures the screen at the
// passes it gives, then closes the window.
#include "system/res/pcx.h"

#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <span>

#include <sys/stat.h>

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
                       folder);
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
        {"10 hold 50", "(2) : nothing follows this event word"},
    };
    for (const auto& c : cases) {
        const GameRun run = Run(std::string("# first line\n") + c.line + "\n");
        EXPECT_NE(run.exitCode, 0) << c.line;
        EXPECT_NE(run.output.find(c.why), std::string::npos) << c.line << ": " << run.output;
    }
}

// The developer's knobs never make the game wait or read without end: a
// table that is a FIFO or a device ends the run naming it, a trace file
// that is a FIFO is left unused with a word, and a frame time shorter than
// a tick still moves the game's time on.
TEST_F(InputTable, KnobsNamingFifosDevicesOrTooShortAStepNeitherBlockNorRunOn)
{
    CopyDemoData(folder);
    const fs::path fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> dummy{lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                         "KELVANDRIST_UNPACED=1"};
    auto with = [&](const std::string& knob) {
        std::vector<std::string> env = dummy;
        env.push_back(knob);
        return env;
    };
    for (const std::string& table : {fifo.string(), std::string("/dev/zero")}) {
        const GameRun run = RunGame({"-w"}, with("KELVANDRIST_INPUT=" + table), folder);
        EXPECT_EQ(run.hung, "") << table;
        EXPECT_NE(run.exitCode, 0) << table;
        EXPECT_NE(run.output.find("input table " + table + "(0) : cannot be read: not a regular file"),
                  std::string::npos)
            << run.output;
    }
    // The test flight ends by itself once its second of game time is over.
    GameRun run = RunGame({"-w", "testflight98.scr"}, with("KELVANDRIST_TRACE=" + fifo.string()), folder);
    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("no event trace: " + fifo.string() + ": not a regular file"), std::string::npos)
        << run.output;
    run = RunGame({"-w", "testflight98.scr"}, with("KELVANDRIST_FRAME_SECONDS=1e-300"), folder);
    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(InputTable, StatesAndShotsArriveAtTheirPassesAndQuitEndsTheRun)
{
    CopyDemoData(folder);
    const fs::path shot = folder / "shot.ppm";
    const GameRun run = Run("3 state\n\n20 shot " + shot.string() + "\n20 key Left Ctrl+Down\n22 hold\n25 state\n30 quit\n");
    EXPECT_EQ(run.hung, "") << run.output;
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

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A ".pcx" shot is the game's own screenshot of the frame: the indices the
// ".pgm" shot holds, with the colours of the ".ppm" shot in its palette.
// Without the screenshots' header picture it is not written, and the table
// says so.
TEST_F(InputTable, APcxShotIsTheGamesOwnScreenshotOfTheFrameShown)
{
    CopyDemoData(folder);
    const fs::path pcx = folder / "shot.pcx", pgm = folder / "shot.pgm", ppm = folder / "shot.ppm";
    const GameRun run =
        Run("100 shot " + pcx.string() + "\n100 shot " + pgm.string() + "\n100 shot " + ppm.string() + "\n105 quit\n");
    EXPECT_EQ(run.exitCode, 0) << run.output;

    const std::string bytes = ReadBytes(pcx), indices = ReadBytes(pgm), colours = ReadBytes(ppm);
    const std::span<const uint8_t> file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    PcxInfo info{};
    GamePalette palette{};
    ASSERT_TRUE(PcxReadInfo(file, &info) && PcxReadPalette(file, &palette)) << run.output;
    ASSERT_EQ(info.width, 640);
    ASSERT_EQ(info.height, 480);
    std::vector<uint8_t> pixels(640u * 480u);
    PcxDecodeBody(file, info, pixels.data(), 640, 640, 480);
    EXPECT_GT(std::set<uint8_t>(pixels.begin(), pixels.end()).size(), 5u) << "the home screen is drawn";
    const std::size_t pgmHeader = std::string("P5\n640 480\n255\n").size();
    const std::size_t ppmHeader = std::string("P6\n640 480\n255\n").size();
    ASSERT_EQ(indices.size(), pgmHeader + pixels.size());
    ASSERT_EQ(colours.size(), ppmHeader + 3 * pixels.size());
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), indices.begin() + pgmHeader,
                           [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));
    std::size_t sameColour = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const PaletteEntry& c = palette.entries[pixels[i]];
        const auto* shown = reinterpret_cast<const uint8_t*>(colours.data() + ppmHeader + 3 * i);
        sameColour += c.red == shown[0] && c.green == shown[1] && c.blue == shown[2];
    }
    EXPECT_EQ(sameColour, pixels.size());

    fs::remove(pcx);
    fs::remove(folder / "zqk/resource/art/screens/header.pcx");
    const GameRun without = Run("40 shot " + pcx.string() + "\n45 quit\n");
    EXPECT_EQ(without.exitCode, 0) << without.output;
    EXPECT_NE(without.output.find("shot 40: " + pcx.string() + " not written"), std::string::npos) << without.output;
    EXPECT_FALSE(fs::exists(pcx));
}

} // namespace
