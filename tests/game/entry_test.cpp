// The program entry as a whole, run as real processes: the single-instance
// lock and the exit codes of a run that cannot show a display.
#include "platform/film.h"
#include "platform/host.h"
#include "game/entry.h"
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <csignal>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class Entry : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(GameProgram())) << GameProgram(); }

    ScratchFolder scratch{"entry"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

TEST_F(Entry, SecondInstanceEndsAtOnceWithZeroNamingTheLockOfTheFirst)
{
    // The first instance: a process that holds the lock until told to end.
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        ::setenv("KELVANDRIST_LOCK_DIR", folder.c_str(), 1);
        char ok = platform::AcquireInstanceLock(kInstanceLockName) == platform::InstanceLock::Acquired ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');

    // A video driver that does not exist would make a first instance fail;
    // the second never gets that far.
    const std::vector<std::string> env{lockDir, "SDL_VIDEODRIVER=no_such_driver"};
    GameRun second = FinishGame(LaunchGame({"-w", "testflight98.scr"}, env, folder), HangGuard{});
    EXPECT_EQ(second.hung, "") << "the second copy waits for the first";
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_NE(second.output.find("Kelvandrist: already running (its lock is " + folder.string() + "/"),
              std::string::npos)
        << second.output;

    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(holder, &status, 0);

    GameRun first = RunGame({"-w", "testflight98.scr"}, env, folder);
    EXPECT_NE(first.exitCode, 0);
    EXPECT_NE(first.output.find("no display"), std::string::npos) << first.output;
}

TEST_F(Entry, ALockThatCannotBeMadeIsNamedWithTheReason)
{
    const fs::path missing = folder / "no" / "such" / "folder";
    GameRun run = RunGame({"-w"}, {"KELVANDRIST_LOCK_DIR=" + missing.string()}, folder);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.output.find("cannot create the single-instance lock " + missing.string()), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("No such file or directory"), std::string::npos) << run.output;
}

TEST_F(Entry, RunsAndEndsCleanlyOnTheDummyDisplay)
{
    // On the demo data the frame loop runs until the window is closed;
    // closing it ends the program through shut-down with exit code 0.
    CopyDemoData(folder);
    std::ofstream(folder / "table.txt") << "30 quit\n";
    GameRun run = RunGame({"-w,-16"},
                          {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                           "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                          folder);
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

TEST_F(Entry, IntroPlaysTheFilmFromTheCdDriveToTheEndAndExitsZero)
{
    const fs::path disc = folder / "disc";
    fs::create_directories(disc);
    const std::vector<std::vector<uint8_t>> frames(5, std::vector<uint8_t>(64 * 32 * 3, 200));
    ASSERT_TRUE(platform::WriteAviFile((disc / "intro.avi").c_str(), 64, 32, 10, frames));
    const std::vector<std::string> env{lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                       "KELVANDRIST_DRIVES=E=" + disc.string() + ":cdrom"};
    const auto start = std::chrono::steady_clock::now();
    GameRun run = RunGame({"-w,-intro"}, env, folder);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // Five frames at ten a second: it played, and ended by itself.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));

    // No drive holds the film: nothing to play, and the program ends at
    // once, silently and with 0, as when the film has run.
    fs::remove(disc / "intro.avi");
    run = RunGame({"-w,-intro"}, env, folder);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("start-up failed"), std::string::npos) << run.output;
}

} // namespace
