// Runs the developers' script runner (tools/script_run) as a program, for
// the tests that fly missions headless. The test target defines
// KV_SCRIPT_RUN as the program's path (tests/CMakeLists.txt).
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

struct ProgramRun {
    int status = -1; // exit code, -1 when it did not exit by itself
    std::string out; // standard output and error together
};

// Runs script_run on the data tree with the arguments; a hang guard ends a
// run that takes far longer than any should.
inline ProgramRun RunScriptRun(const std::filesystem::path& data, const std::string& arguments,
                               const std::string& environment = "")
{
    const std::string command =
        environment + "timeout 600 '" KV_SCRIPT_RUN "' -C '" + data.string() + "' " + arguments + " 2>&1";
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
