// Start-up as a whole, run as real processes on the dummy display: the
// demo data tree starts, its first mission runs to its end, and start-up
// ends with a message and a non-zero exit code where its scripts are
// missing.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

namespace fs = std::filesystem;

namespace {

class Startup : public ::testing::Test {
protected:
    GameRun Run(const std::vector<std::string>& args, std::vector<std::string> env = {})
    {
        env.insert(env.end(), {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"});
        return RunGame(args, env, folder);
    }

    ScratchFolder scratch{"startup"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

TEST_F(Startup, AnEmptyDataFolderEndsWithAMessageInsteadOfRunning)
{
    const GameRun run = Run({"-w"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("cannot find the script zqk\\resource\\scripts\\init\\init.scr"), std::string::npos)
        << run.output;
}

TEST_F(Startup, AMissingLanguageOrKeyScriptEndsWithItsName)
{
    CopyDemoData(folder);
    fs::remove(folder / "zqk/resource/scripts/init/init_frn.scr");
    GameRun run = Run({"-w,-french"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("init_frn.scr"), std::string::npos) << run.output;

    fs::remove(folder / "zqk/resource/scripts/init/keybind2.scr");
    run = Run({"-w"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("keybind2.scr"), std::string::npos) << run.output;
}

// What a player types on the command line is answered: the switches are
// listed on request, an unknown one is named, a mission that is not there
// is named before the front end starts, and a file that is no mission
// script is refused.
TEST_F(Startup, TheCommandLineNamesWhatItCannotUse)
{
    CopyDemoData(folder);
    GameRun run = Run({"--help"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.rfind("usage: Kelvandrist [-switch]... [mission.scr]\n", 0), 0u) << run.output;
    for (const char* line : {R"(\n  -w +a window on the desktop\n)", R"(\n  -16 +16-bit colour instead of 8-bit\n)"})
        EXPECT_TRUE(std::regex_search(run.output, std::regex(line))) << line << "\n"
                                                                     << run.output;

    std::ofstream(folder / "table.txt") << "40 state\n50 quit\n";
    const std::string table = "KELVANDRIST_INPUT=" + (folder / "table.txt").string();
    run = Run({"-w,-nosuch,nosuchmission.scr"}, {table});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("unknown switch -nosuch is ignored"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("nosuchmission.scr: not found; the front end starts instead"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("state 40 screen=FrontHome"), std::string::npos) << run.output;

    run = Run({"-w", "Kelvandrist.ini"}, {table});
    EXPECT_NE(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Kelvandrist.ini: not a mission script (a .scr file)"), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find("state 40"), std::string::npos) << "nothing is flown\n"
                                                              << run.output;
}

TEST_F(Startup, TheDemoTreeStartsInEveryLanguageAndEndsCleanlyWhenClosed)
{
    CopyDemoData(folder);
    for (const char* language : {"-w", "-w,-french", "-w,-german"}) {
        // The front end runs until its window is closed: the input table
        // closes it once the home screen has run a few frames.
        std::ofstream(folder / "table.txt") << "40 state\n50 quit\n";
        const GameRun run = Run({language}, {"KELVANDRIST_INPUT=" + (folder / "table.txt").string()});
        EXPECT_NE(run.output.find("state 40 screen=FrontHome"), std::string::npos) << language << ": " << run.output;
        EXPECT_EQ(run.exitCode, 0) << language << ": " << run.output;
    }
}

TEST_F(Startup, TheTestFlightFliesToItsEndScreenAndEndsTheProgramByItself)
{
    CopyDemoData(folder);
    // The mission wins and ends after a second of flight; with no debrief
    // its end screen follows, which ends a command-line mission's program.
    const GameRun run = Run({"-w", "testflight98.scr"});
    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("SCRIPT Syntax Error"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("STARTUP ERROR"), std::string::npos) << run.output;
}

TEST_F(Startup, WithATraceFileTheTestFlightListsItsEventsOneALine)
{
    CopyDemoData(folder);
    const fs::path trace = folder / "events.txt";
    const GameRun run = RunGame({"-w", "testflight98.scr"},
                                {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                 "KELVANDRIST_TRACE=" + trace.string()},
                                folder);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::ifstream in(trace);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    // Every line: the frame counter, a known event word, its fields.
    const std::regex format(R"(^\d+ (screen|window\+|window-|text|film|clip|sound|message|log|end-state)( .*)?$)");
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_match(line, format)) << line;
    auto has = [&](const std::string& ending) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.size() >= ending.size() && line.compare(line.size() - ending.size(), ending.size(), ending) == 0;
        });
    };
    EXPECT_TRUE(has(" film \"zqk\\\\resource\\\\video\\\\navsit.smk\""));
    EXPECT_TRUE(has(" log \"Mission complete.\\n\""));
    EXPECT_TRUE(has(" end-state 2"));
    // Without the variable nothing is written.
    fs::remove(trace);
    EXPECT_EQ(Run({"-w", "testflight98.scr"}).exitCode, 0);
    EXPECT_FALSE(fs::exists(trace));
}

} // namespace
