// The career in a folder the game may not write, and career files it cannot
// read: the game, run as a real process on the dummy drivers, flies the test
// flight to its end and names each career file it could not save or read,
// with why, in one line on standard error; a file it could not read is left
// as it was.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TEST(CareerSave, AFolderThatCannotBeWrittenIsToldForEachCareerFile)
{
    ScratchFolder scratch{"careersave"};
    const fs::path folder = CopyDemoData(scratch.Path());
    // Everything may be written but the career's folder. Permissions do not
    // stop the superuser: the game then runs as nobody.
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_symlink())
            fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(folder, fs::perms::all, fs::perm_options::add);
    fs::permissions(folder / "zqk", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const int runAs = ::geteuid() == 0 ? 65534 : -1;

    const GameProcess game =
        LaunchGame({"-w", "testflight98.scr"},
                   {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"}, folder,
                   runAs);
    ASSERT_GT(game.pid, 0);
    const GameRun run = FinishGame(game); // the flight ends itself in about a second
    fs::permissions(folder / "zqk", fs::perms::owner_write, fs::perm_options::add);

    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
    for (const char* file : {"zqk\\slot0.sav", "zqk\\state.inf"}) {
        const std::vector<std::string> lines = LinesNaming(run.output, std::string("Progress not saved: ") + file);
        ASSERT_EQ(lines.size(), 1u) << file << "\n"
                                    << run.output;
        EXPECT_NE(lines[0].find("Permission denied"), std::string::npos) << lines[0];
    }
    EXPECT_FALSE(fs::exists(folder / "zqk/slot0.sav"));
}

TEST(CareerSave, CareerFilesThatCannotBeReadAreNamedAndLeftAsTheyAre)
{
    ScratchFolder scratch{"careerkept"};
    const fs::path folder = CopyDemoData(scratch.Path());
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_symlink())
            fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(folder, fs::perms::all, fs::perm_options::add);
    // A career the game may not read (as nobody when the test is root), and
    // a FIFO where the state file should be.
    const fs::path slot = folder / "zqk/slot0.sav", state = folder / "zqk/state.inf";
    fs::remove(slot);
    fs::remove(state);
    const std::string career(1840, 'C');
    std::ofstream(slot, std::ios::binary) << career;
    fs::permissions(slot, fs::perms::none);
    ASSERT_EQ(::mkfifo(state.c_str(), 0666), 0);
    const int runAs = ::geteuid() == 0 ? 65534 : -1;

    const GameProcess game =
        LaunchGame({"-w", "testflight98.scr"},
                   {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"}, folder,
                   runAs);
    ASSERT_GT(game.pid, 0);
    const GameRun run = FinishGame(game); // the flight ends itself in about a second

    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
    const std::pair<const char*, const char*> named[] = {{"zqk\\slot0.sav", "Permission denied"},
                                                         {"zqk\\state.inf", "not a regular file"}};
    for (const auto& [file, why] : named) {
        const std::vector<std::string> lines = LinesNaming(run.output, file);
        ASSERT_EQ(lines.size(), 1u) << file << "\n"
                                    << run.output;
        EXPECT_NE(lines[0].find(why), std::string::npos) << lines[0];
    }
    EXPECT_EQ(fs::status(slot).permissions(), fs::perms::none);
    fs::permissions(slot, fs::perms::owner_read, fs::perm_options::add);
    std::ifstream in(slot, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), career);
    EXPECT_TRUE(fs::is_fifo(state));
}

} // namespace
