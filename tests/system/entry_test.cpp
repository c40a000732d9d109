// The program entry as a whole, run as real processes: the single-instance
// lock and the exit codes of a run that cannot show a display.
#include "platform/film.h"
#include "platform/host.h"
#include "system/entry.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <csignal>

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct GameRun {
    int exitCode = -1;
    std::string output; // standard output and error together
};

fs::path GameProgram()
{
    // Test programs sit in tests/ of the build folder, the game beside it.
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "Kelvandrist";
}

// Runs the game with its arguments and extra environment, in `folder`. With
// `stopAfterMs`, the game is asked to end (SIGTERM, which arrives as the
// window's quit) once that time has passed, as a player closing the window.
GameRun RunGame(const std::vector<std::string>& args, const std::vector<std::string>& env, const fs::path& folder,
                int stopAfterMs = 0)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(out[1], 2);
        ::close(out[0]);
        ::close(out[1]);
        if (::chdir(folder.c_str()) != 0)
            ::_exit(127);
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        std::string program = GameProgram().string();
        std::vector<char*> argv{program.data()};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    if (stopAfterMs > 0) {
        ::usleep(static_cast<useconds_t>(stopAfterMs) * 1000);
        ::kill(pid, SIGTERM);
    }
    GameRun run;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

class Entry : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(GameProgram())) << GameProgram(); }

    ScratchFolder scratch{"entry"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

TEST_F(Entry, SecondInstanceEndsAtOnceWithZeroAndSaysNothing)
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
    auto start = std::chrono::steady_clock::now();
    GameRun second = RunGame({"-w", "mission01.scr"}, env, folder);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.output, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    (void)!::write(release[1], "x", 1);
    int status = 0;
    ::waitpid(holder, &status, 0);

    GameRun first = RunGame({"-w", "mission01.scr"}, env, folder);
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
    // The frame loop runs until the window is closed; closing it ends the
    // program through shut-down with exit code 0.
    GameRun run = RunGame({"-w,-16", "mission01.scr"}, {lockDir, "SDL_VIDEODRIVER=dummy"}, folder, 1500);
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
