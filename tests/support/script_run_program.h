// Runs the developers' script runner (tools/script_run) as a program, for
// the tests that fly missions headless. The test target defines
// KV_SCRIPT_RUN as the program's path (tests/CMakeLists.txt).
#pragma once

#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

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

// The suite's AI flights: small missions in tests/e2e/flights.
inline const std::filesystem::path& FlightsFolder()
{
    static const std::filesystem::path folder = std::filesystem::path(KV_SOURCE_DIR) / "tests/e2e/flights";
    return folder;
}

// A copy of the demo tree in the scratch folder with the flight added to
// its missions, and the texts that ship beside the flights to its texts.
inline std::filesystem::path FlightTree(const ScratchFolder& scratch, const std::string& mission)
{
    namespace fs = std::filesystem;
    const fs::path data = CopyDemoData(scratch.Path());
    fs::copy_file(FlightsFolder() / mission, data / "zqk/resource/scripts/missions" / mission);
    for (const fs::directory_entry& entry : fs::directory_iterator(FlightsFolder()))
        if (entry.path().extension() == ".txt")
            fs::copy_file(entry.path(), data / "zqk/resource/text" / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
    return data;
}

// The flight flown headless: each ship's line every 60 frames (a second),
// with `dump` the field dump at the end, and the outcome as the last line.
inline ProgramRun FlyFlight(const std::string& mission, int frames, bool dump = false)
{
    ScratchFolder scratch{"flight"};
    return RunScriptRun(FlightTree(scratch, mission),
                        std::string(dump ? "-f -d" : "-f") + " -k 60 -n " + std::to_string(frames) + " " + mission);
}

// Whether the flight ended in the mission's success.
inline bool FlightWon(const ProgramRun& run)
{
    return run.out.size() >= 8 && run.out.substr(run.out.size() - 8) == "SUCCESS\n";
}
