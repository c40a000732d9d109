// A damaged data tree, one file at a time: the game, run as a real process
// on the dummy drivers, never waits on a FIFO, never reads what is not a
// file or a file over its size, and names the file and what is wrong with
// it in one line. A required file ends the run with a non-zero exit code; an
// optional one leaves the mission to fly to its end.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum class Damage {
    Fifo,
    Folder,
    DevZero,
    Empty,
    Truncated,
    OverTheCap,
    Unreadable
};

struct DamageRow {
    Damage damage;
    const char* name;
    const char* reason; // what the line must say; null: the format's own words
};
constexpr DamageRow kDamages[] = {
    {Damage::Fifo, "Fifo", "not a regular file"},
    {Damage::Folder, "Folder", "not a regular file"},
    {Damage::DevZero, "DevZero", "not a regular file"},
    {Damage::Empty, "Empty", nullptr},
    {Damage::Truncated, "Truncated", nullptr},
    {Damage::OverTheCap, "OverTheCap", "larger than the size allowed"},
    {Damage::Unreadable, "Unreadable", "Permission denied"},
};

// Larger than every reader's cap; a sparse file, so it costs no disk.
constexpr uintmax_t kOverEveryCap = (uintmax_t{2} << 30) + 1;

struct FileRow {
    const char* name;
    const char* path;      // below the data folder
    bool required;         // the run ends with a failure
    uintmax_t truncatedTo; // bytes kept of the file when truncated
    const char* prelude;   // what the mission does first, to reach the file
    bool truncatedIsRead;  // a truncated copy is read and named, the run goes on
};
// The command-line test flight flies for about a second and then ends the
// program by itself. A file it does not read is reached by a statement put
// first in it: the universe created, or a planet (placed far below the
// flight: a planet close by takes the ships into its orbit).
constexpr const char* kGenesis = "GENESIS\n";
constexpr const char* kPlanet = "SCENEITEM globe\nPLANET globe \"earth2\" 1000\nPLACE globe 0 -100000000 0\n";
// clang-format off
constexpr FileRow kFiles[] = {
    {"InitScript",   "zqk/resource/scripts/init/init.scr",         true,  257, nullptr, false},
    {"Mission",      "zqk/resource/scripts/missions/testflight98.scr", true, 362, nullptr, false},
    {"Model",        "zqk/resource/shapes/fighter.lwo",             false, 100, nullptr, false},
    {"Sound",        "zqk/resource/sounds/17.wav",                  false, 200, nullptr, false},
    {"Film",         "zqk/resource/video/navsit.smk",               false, 10000, nullptr, false},
    {"Font",         "zqk/resource/fonts/sans11.fon",               false, 40,  nullptr, false},
    {"LoadingScreen","zqk/resource/art/loadscrn.pcx",               false, 600, nullptr, false},
    {"Stars",        "zqk/resource/geog/stars.bin",                 false, 1000, kGenesis, false},
    {"BodyTable",    "zqk/resource/geog/excelrichsys.csv",          true,  150, kGenesis,  true},
    {"MissionTable", "zqk/resource/scripts/precedence.csv",         false, 200, nullptr, false},
    {"OptionLabels", "zqk/resource/text/docs/initTable.txt",        false, 300, nullptr, false},
    {"Ratings",      "zqk/resource/text/ratings.txt",               false, 40,  nullptr, false},
    {"PlanetSphere", "hexmire/dat/triball.dat",                     false, 1000, kPlanet, false},
    {"ShadeTable",   "zqk/resource/art/textures/ships/klvstd.tab",  false, 5000, nullptr, false},
    {"Layouts",      "zqk/resource/scripts/gui/test0_x.gui",        false, 120, nullptr, false},
    {"Stations",     "zqk/resource/scripts/gui/stations.gui",       false, 5000, nullptr, false},
    {"FrontLayout",  "zqk/resource/scripts/gui/front.gui",          false, 6000, nullptr, false},
    {"BridgeLayout", "zqk/resource/scripts/gui/bridge.gui",         false, 2000, nullptr, false},
    {"Stock",        "zqk/resource/scripts/init/stock.scr",         false, 100, nullptr, false},
};
// clang-format on

struct Case {
    FileRow file;
    DamageRow damage;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.file.path << ", " << c.damage.name;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    return std::string(info.param.file.name) + "_" + info.param.damage.name;
}

std::vector<Case> AllCases()
{
    std::vector<Case> cases;
    for (const FileRow& f : kFiles)
        for (const DamageRow& d : kDamages)
            cases.push_back({f, d});
    return cases;
}

bool RunningAsRoot() { return ::geteuid() == 0; }

// Puts the damage in place of the file.
void Break(const fs::path& file, Damage damage, uintmax_t truncatedTo)
{
    switch (damage) {
    case Damage::Fifo:
        fs::remove(file);
        ASSERT_EQ(::mkfifo(file.c_str(), 0666), 0);
        break;
    case Damage::Folder:
        fs::remove(file);
        fs::create_directory(file);
        break;
    case Damage::DevZero:
        fs::remove(file);
        fs::create_symlink("/dev/zero", file);
        break;
    case Damage::Empty:
        fs::resize_file(file, 0);
        break;
    case Damage::Truncated:
        ASSERT_GT(fs::file_size(file), truncatedTo);
        fs::resize_file(file, truncatedTo);
        break;
    case Damage::OverTheCap:
        fs::resize_file(file, kOverEveryCap);
        break;
    case Damage::Unreadable:
        fs::permissions(file, fs::perms::none);
        break;
    }
}

class DamagedTree : public ::testing::TestWithParam<Case> {
protected:
    ScratchFolder scratch{"damaged"};
    const fs::path& folder = scratch.Path();
};

TEST_P(DamagedTree, NeitherBlocksNorRunsOnAndNamesTheFileAndWhy)
{
    const FileRow& file = GetParam().file;
    const DamageRow& damage = GetParam().damage;
    CopyDemoData(folder);
    if (file.prelude) {
        const fs::path mission = folder / "zqk/resource/scripts/missions/testflight98.scr";
        const std::string text = scratch.Read("zqk/resource/scripts/missions/testflight98.scr");
        std::ofstream(mission, std::ios::binary) << file.prelude << text;
    }
    Break(folder / file.path, damage.damage, file.truncatedTo);

    // Permissions do not stop the superuser: the game then runs as nobody,
    // in a tree where it may write what it writes.
    int runAs = -1;
    if (damage.damage == Damage::Unreadable && RunningAsRoot()) {
        runAs = 65534;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.path() != folder / file.path && !entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
        fs::permissions(folder, fs::perms::all, fs::perm_options::add);
    }

    const GameProcess game = LaunchGame({"-w", "testflight98.scr"},
                                        {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy",
                                         "SDL_AUDIODRIVER=dummy"},
                                        folder, runAs);
    ASSERT_GT(game.pid, 0);
    // The flight ends by itself after about a second; a game that waits on
    // the damage, or reads it without end, is a hang.
    const GameRun run = FinishGame(game, HangGuard{});
    EXPECT_EQ(run.hung, "") << run.output;
    const bool fails = file.required && !(damage.damage == Damage::Truncated && file.truncatedIsRead);
    if (fails)
        EXPECT_NE(run.exitCode, 0) << run.output;
    else
        EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;

    const std::vector<std::string> lines = LinesNaming(run.output, fs::path(file.path).filename().string());
    ASSERT_FALSE(lines.empty()) << "no line names the file\n"
                                << run.output;
    if (damage.reason) {
        bool said = false;
        for (const std::string& line : lines)
            said = said || line.find(damage.reason) != std::string::npos;
        EXPECT_TRUE(said) << "no line says \"" << damage.reason << "\"\n"
                          << run.output;
    }
    // A script error the damage causes names the damaged file, not the
    // file whose lines a statement cut short read on into.
    for (const std::string& line : LinesNaming(run.output, "Syntax Error"))
        EXPECT_FALSE(LinesNaming(line, fs::path(file.path).filename().string()).empty()) << line;
}

INSTANTIATE_TEST_SUITE_P(OneFileAtATime, DamagedTree, ::testing::ValuesIn(AllCases()), CaseName);

// Files read on the way from the front end into a mission: mission 1
// launched from the timeline of a new career, the ship's documents opened at
// COM, then the window closed. None is required: the front end stays when
// the mission cannot be flown.
struct FrontEndRow {
    const char* name;
    const char* path;      // below the data folder
    uintmax_t truncatedTo; // bytes kept of the file when truncated
    bool isTheMission;     // damaged, no mission is flown
};
// clang-format off
constexpr FrontEndRow kFrontEndFiles[] = {
    {"FrontMission", "zqk/resource/scripts/missions/mission01.scr", 1345, true}, // within a quoted name
    {"HomeDocument", "zqk/resource/text/docs/home.htm",             150,  false},
};
// clang-format on

struct FrontEndCase {
    FrontEndRow file;
    DamageRow damage;
};

void PrintTo(const FrontEndCase& c, std::ostream* out)
{
    *out << c.file.path << ", " << c.damage.name;
}

std::string FrontEndCaseName(const ::testing::TestParamInfo<FrontEndCase>& info)
{
    return std::string(info.param.file.name) + "_" + info.param.damage.name;
}

std::vector<FrontEndCase> FrontEndCases()
{
    std::vector<FrontEndCase> cases;
    for (const FrontEndRow& f : kFrontEndFiles)
        for (const DamageRow& d : kDamages)
            cases.push_back({f, d});
    return cases;
}

class DamagedFrontEnd : public ::testing::TestWithParam<FrontEndCase> {
protected:
    ScratchFolder scratch{"damagedfront"};
    const fs::path& folder = scratch.Path();
};

TEST_P(DamagedFrontEnd, PlayGoesOnAndNamesTheFileAndWhy)
{
    const FrontEndRow& file = GetParam().file;
    const DamageRow& damage = GetParam().damage;
    CopyDemoData(folder);
    Break(folder / file.path, damage.damage, file.truncatedTo);
    int runAs = -1;
    if (damage.damage == Damage::Unreadable && RunningAsRoot()) {
        runAs = 65534;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.path() != folder / file.path && !entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
        fs::permissions(folder, fs::perms::all, fs::perm_options::add);
    }
    std::ofstream(folder / "table.txt") << "100 click FrRosSq\n"
                                           "260 click RosSlot\n"
                                           "550 click TimPlayMN\n"
                                           "700 state\n"
                                           "1210 click CMDDoc\n" // after the briefing
                                           "1300 state\n"
                                           "1310 quit\n";
    const GameProcess game = LaunchGame({"-w"},
                                        {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy",
                                         "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                                         "KELVANDRIST_FRAME_SECONDS=0.05",
                                         "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                                        folder, runAs);
    ASSERT_GT(game.pid, 0);
    const GameRun run = FinishGame(game, HangGuard{});
    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
    // A mission that cannot be read leaves the player on the timeline; one
    // cut short is flown as far as it goes, here to its compile error, which
    // ends it and leads back to the timeline.
    const char* screen = file.isTheMission ? "state 700 screen=FrontTime " : "state 700 screen=COM ";
    EXPECT_NE(run.output.find(screen), std::string::npos) << run.output;
    const std::vector<std::string> lines = LinesNaming(run.output, fs::path(file.path).filename().string());
    ASSERT_FALSE(lines.empty()) << "no line names the file\n"
                                << run.output;
    if (damage.reason) {
        bool said = false;
        for (const std::string& line : lines)
            said = said || line.find(damage.reason) != std::string::npos;
        EXPECT_TRUE(said) << "no line says \"" << damage.reason << "\"\n"
                          << run.output;
    }
}

INSTANTIATE_TEST_SUITE_P(OneFileAtATime, DamagedFrontEnd, ::testing::ValuesIn(FrontEndCases()), FrontEndCaseName);

} // namespace
