// script_run: runs a script headless as the per-frame mission script and
// prints the statements that each frame ran.
//
//   script_run [-C data-folder] [-n frames] [-t ticks] [-s frame]...
//              [-a frame:system] [-d] name
//   script_run -f [-C data-folder] [-n frames] [-p seconds] [-k K] [-r seed] [-v] [-d] name
//
// -n frames to run (default 100), -t ticks per frame (default 20), -s a
// frame that starts with a skip request (repeatable), -a the frame at which
// the player arrives in a star system, -d a field dump of every ship after
// the run. -f flies the mission instead: script, simulation frame and ship
// control each frame at a fixed frame time (-p, default 1/60 s) with a fixed
// seed (-r, default 1), as fast as the machine allows, until the mission is
// won or lost or the frames (-n) have run; -k K prints each ship every K
// frames, -v each statement as it runs (the lines of the traced run), -d the
// field dump once the flight ends; the last line is "SUCCESS", "FAILURE" or
// "running at frame N".
// Either way the mission's shapes load as in the game, with their collision
// shapes, into the 3D framework begun without a display, so that any mission
// runs and shots strike what they hit. The name is looked up like the
// game's (a bare "m01.scr" is read from zqk\resource\scripts\missions).
// A script fault prints the game's message box text and exits 1. With
// KELVANDRIST_TRACE set, the game's trace (windows made and closed, ...) is
// written there as the game writes it.
#include "script/scriptrun.h"
#include "script/symbols.h"
#include "system/errors.h"
#include "system/res/resman.h"
#include "system/trace.h"
#include "world/shipsystems.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

std::string gTrace;

void PrintAndStop(const char* text, const char* title)
{
    std::fputs(gTrace.c_str(), stdout);
    std::printf("%s: %s\n", title, text);
    std::exit(1);
}

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: script_run [-C data-folder] [-n frames] [-t ticks] [-s frame]... "
                         "[-a frame:system] [-d] name\n"
                         "       script_run -f [-C data-folder] [-n frames] [-p seconds] [-k K] [-r seed] [-v] [-d] name\n");
    std::exit(2);
}

long Number(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!end || *end || value < 0 || value > 1000000)
        Usage();
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    ScriptRunOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argument, "-C") == 0 && hasValue) {
            std::error_code error;
            std::filesystem::current_path(argv[++i], error);
            if (error) {
                std::fprintf(stderr, "script_run: cannot enter %s\n", argv[i]);
                return 2;
            }
        } else if (std::strcmp(argument, "-n") == 0 && hasValue) {
            options.frames = static_cast<int>(Number(argv[++i]));
        } else if (std::strcmp(argument, "-t") == 0 && hasValue) {
            options.ticks = static_cast<int32_t>(Number(argv[++i]));
        } else if (std::strcmp(argument, "-s") == 0 && hasValue) {
            options.skipFrames.push_back(static_cast<int>(Number(argv[++i])));
        } else if (std::strcmp(argument, "-a") == 0 && hasValue) {
            std::string value = argv[++i];
            const size_t colon = value.find(':');
            if (colon == std::string::npos)
                Usage();
            options.arrivalFrame = static_cast<int>(Number(value.substr(0, colon).c_str()));
            options.arrivalSystem = static_cast<int32_t>(Number(value.substr(colon + 1).c_str()));
        } else if (std::strcmp(argument, "-f") == 0) {
            options.flight = true;
        } else if (std::strcmp(argument, "-p") == 0 && hasValue) {
            char* end = nullptr;
            const double seconds = std::strtod(argv[++i], &end);
            if (!end || *end || !(seconds > 0.0) || seconds > 1.0)
                Usage();
            options.frameSeconds = static_cast<float>(seconds);
        } else if (std::strcmp(argument, "-k") == 0 && hasValue) {
            options.traceEvery = static_cast<int>(Number(argv[++i]));
        } else if (std::strcmp(argument, "-r") == 0 && hasValue) {
            options.seed = static_cast<uint32_t>(Number(argv[++i]));
        } else if (std::strcmp(argument, "-v") == 0) {
            options.traceStatements = true;
        } else if (std::strcmp(argument, "-d") == 0) {
            options.dumpShips = true;
        } else if (argument[0] != '-' && !options.name) {
            options.name = argument;
        } else {
            Usage();
        }
    }
    if (!options.name)
        Usage();

    SetMessageBoxHook(PrintAndStop);
    // Texts that a mission plays (briefings, dialogues) are loaded through
    // the resource manager, as in the game.
    ResInit();
    InitializeScriptSystem();
    // The player's ship takes the ship's systems (engineering, damage to
    // named systems), as the game's start-up builds them.
    InitShipSystems();
    TraceStart();
    if (!(options.flight ? FlyScriptRun(options, gTrace) : TraceScriptRun(options, gTrace))) {
        std::fprintf(stderr, "script_run: cannot open %s\n", options.name);
        return 1;
    }
    std::fputs(gTrace.c_str(), stdout);
    TraceStop();
    return 0;
}
