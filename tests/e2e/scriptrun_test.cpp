// The developers' script runner as a program on a copy of the demo tree
// (the shape loader writes its caches beside the shapes): the field dump of
// a mission (script_run -d) runs the mission's statements, shapes and all,
// with no display, and lists every ship the mission creates before it waits
// on the player.
#include "../script/script_test_support.h"
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::filesystem::path kMissions = std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource/scripts/missions";

struct ProgramRun {
    int status = -1; // exit code, -1 when it did not exit by itself
    std::string out; // standard output and error together
};

// Runs script_run on the data tree with the arguments; a hang guard ends a
// run that takes far longer than any should.
ProgramRun RunScriptRun(const std::filesystem::path& data, const std::string& arguments)
{
    const std::string command = "timeout 600 '" KV_SCRIPT_RUN "' -C '" + data.string() + "' " + arguments + " 2>&1";
    ProgramRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, got);
    const int status = ::pclose(pipe);
    if (WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}

// The names of the ships a script creates: the first operand of each
// CREATE_SHIP statement.
std::set<std::string> CreatedShips(const std::filesystem::path& script)
{
    std::set<std::string> names;
    std::istringstream lines(ReadFileBytes(script));
    const std::regex create(R"(^\s*CREATE_SHIP\s+(\S+))");
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, match, create))
            names.insert(match[1]);
    return names;
}

// The symbols of the ships in a field dump.
std::set<std::string> DumpedShips(const std::string& dump)
{
    std::set<std::string> names;
    std::istringstream lines(dump);
    const std::regex ship(R"(^ship (\S+) kind )");
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, match, ship))
            names.insert(match[1]);
    return names;
}

} // namespace

// Each of these missions creates all its ships before its briefing.
TEST(ScriptRunProgram, TheFieldDumpOfAMissionListsEveryShipItCreates)
{
    ScratchFolder scratch{"scriptrun"};
    const std::filesystem::path data = CopyDemoData(scratch.Path());
    for (const char* mission : {"mission01.scr", "mission02.scr", "mission03.scr"}) {
        SCOPED_TRACE(mission);
        const std::set<std::string> created = CreatedShips(kMissions / mission);
        ASSERT_GE(created.size(), 4u); // the script was read
        const ProgramRun run = RunScriptRun(data, std::string("-d ") + mission);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_NE(run.out.find("\nend 100 stop "), std::string::npos) << run.out;
        EXPECT_EQ(DumpedShips(run.out), created) << run.out;
    }
}
