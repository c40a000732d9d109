// Start-up, headless (SDL's dummy video and audio) on a copy of the demo data
// tree: from the command line to the front end, and to the first flight
// frame of the test flight. Each start-up runs in a child process of its own
// (fork), so every one starts from a fresh program as the real one does.
//
// BM_StartupTo* time the program's own path: the entry's prelude, StartGame
// and, for the mission, one frame. BM_StartupSteps drives the same steps
// one by one, in StartGame's order, and reports each step's processor time
// as a counter (<step>_cpu_ms, every thread of the process, milliseconds a
// start-up), so a slow start-up shows where it goes; on a busy machine the
// wall time of a step includes waiting for a core, its processor time does
// not. process_cpu_ms is the child's whole processor time.
// The film that opens flight (navsit.smk) is opened but not played: the
// loop plays it for its own length before the first flight frame. The
// children's own output (the game's messages) is discarded; a start-up that
// fails ends the benchmark with an error.
#include <benchmark/benchmark.h>

#include "bench/gamerun.h"

#include "game/frameloop.h"
#include "game/startup.h"
#include "screens/bridge.h"
#include "screens/engineering.h"
#include "screens/frontend.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/canvas.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/joystick.h"
#include "system/mainwindow.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/switches.h"
#include "ui/contacts.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/viewstart.h"
#include "world/messages.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using kvbench::Clock;
using kvbench::InChild;
using kvbench::Milliseconds;
using kvbench::OpenMainWindow;
using kvbench::ProcessCpuMilliseconds;

// The mission by its path: start-up looks a bare name up as a loose file
// in the working folder (or in the "scripts" library), where the demo tree
// has none.
constexpr const char* kMissionLine = "-w zqk\\resource\\scripts\\missions\\testflight98.scr";

// The program's own start-up: the entry's prelude and StartGame, then for a
// mission one frame. Reports the milliseconds to the front end or to the
// first flight frame.
void StartupThroughTheGame(benchmark::State& state, const char* commandLine, bool mission)
{
    double cpuMs = 0;
    for (auto _ : state) {
        const std::vector<double> figures = InChild([&](std::vector<double>& out) {
            const Clock::time_point start = Clock::now();
            if (!OpenMainWindow(commandLine) || StartGame() == 0)
                return false;
            if (mission) {
                if (gMissionScriptPosition == kNoScriptPosition)
                    return false;
                gLoopFlags.filmMode = 0; // past the opening film
                RunFrame();
            } else if (!gFrontEndActive) {
                return false;
            }
            out.push_back(Milliseconds(start, Clock::now()));
            return true;
        },
                                                    cpuMs);
        if (figures.size() != 1) {
            state.SkipWithError("start-up failed");
            return;
        }
        state.SetIterationTime(figures[0] / 1000.0);
    }
    state.counters["process_cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
}

void BM_StartupToFrontEnd(benchmark::State& state)
{
    StartupThroughTheGame(state, "-w", false);
}
BENCHMARK(BM_StartupToFrontEnd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_StartupToFirstFlightFrame(benchmark::State& state)
{
    StartupThroughTheGame(state, kMissionLine, true);
}
BENCHMARK(BM_StartupToFirstFlightFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// ---- The split by step ---------------------------------------------------------

struct Step {
    const char* name;
    std::function<bool()> run;
};

// StartGame's steps for the English start-up with the new key bindings,
// grouped as its own comments group them, followed by the mission's.
std::vector<Step> StartupSteps(bool mission)
{
    std::vector<Step> steps = {
        {"window", [mission] { return OpenMainWindow(mission ? kMissionLine : "-w"); }},
        {"subsystems",
         [] {
             ConnectLowerLayers();
             InitJoystick();
             if (!ResInit())
                 return false;
             SoundInit();
             InitMessageBuffer();
             InitializeScriptSystem();
             FindCdDrives();
             return true;
         }},
        {"config",
         [] {
             ReadOptionTable();
             LocateVideoFolder();
             RunScriptFile("Kelvandrist.ini");
             CheckVideoFolder();
             if (Resource* palette = ResRegisterLoad("zqk\\resource\\art\\klvstd.pcx", ResType::PcxPalette);
                 palette && !gCurrentPalette)
                 gCurrentPalette = static_cast<const PaletteEntry*>(palette->data);
             return true;
         }},
        {"init_script", [] { return RunScriptFile("zqk\\resource\\scripts\\init\\init.scr"); }},
        {"key_bindings", [] { return RunScriptFile("zqk\\resource\\scripts\\init\\keybind2.scr"); }},
        {"display",
         [] {
             if (ScreenCanvas().pixels)
                 return true;
             gScreenMode.width = 640;
             gScreenMode.height = 480;
             gScreenMode.depth = static_cast<int16_t>(gSettings.colourDepth);
             if (!DisplayOpen(gScreenMode))
                 return false;
             DisplayInitPalette(gCurrentPalette);
             return true;
         }},
        {"loading_screen",
         [] {
             TakeFontSlots();
             ShowLoadingScreen();
             gLoadingScreenUp = 1;
             BuildRowTable();
             return true;
         }},
        {"world_and_screens",
         [] {
             ResetSceneList();
             guiResetWindowPool();
             InitScreensAndIcons();
             InitShipSystems();
             ResetContactList();
             return true;
         }},
        {"sound_preload",
         [] {
             SoundPreload();
             gSoundMissionMarker = 255;
             if (gSettings.engineering)
                 SelectReactorSystem();
             return true;
         }},
        {"saved_state",
         [] {
             ReadStateFile();
             ReadCaptainSlot();
             return true;
         }},
        {"screen_layouts", [] { return RunScriptFile("zqk\\resource\\scripts\\gui\\test0_x.gui"); }},
        {"script_base",
         [] {
             MarkScriptBase();
             ResetMissionScript();
             ResMark();
             ResReleaseToMark();
             gMissionScriptPosition = kNoScriptPosition;
             return true;
         }},
    };
    if (!mission)
        return steps;
    steps.push_back({"3d_view", [] {
                         InitializeP3D();
                         return true;
                     }});
    steps.push_back({"stock_script", [] {
                         RunScriptFile("zqk\\resource\\scripts\\init\\stock.scr");
                         return true;
                     }});
    steps.push_back({"mission_script", [] {
                         ScriptToken* start = TokeniseScript(gSettings.missionName.c_str());
                         if (!start)
                             return false;
                         gMissionScriptPosition = static_cast<uint32_t>(start - gScriptBuffers.tokens);
                         gScriptVars.missionNumber = StartupMissionNumber(gSettings.missionName.c_str());
                         RunScript(&gMissionScriptPosition, false);
                         return true;
                     }});
    steps.push_back({"flight_setup", [] {
                         if (PlayFilm("zqk\\resource\\video\\navsit.smk"))
                             gLoopFlags.filmMode = 1;
                         guiGotoScreen("NAV");
                         CurrentStation = 2;
                         StartFlight();
                         gLoadingScreenUp = 0;
                         guiClearMessageLog();
                         return true;
                     }});
    steps.push_back({"first_frame", [] {
                         gLoopFlags.filmMode = 0; // past the opening film
                         RunFrame();
                         return true;
                     }});
    return steps;
}

void StartupSplit(benchmark::State& state, bool mission)
{
    const std::vector<Step> names = StartupSteps(mission);
    std::vector<double> cpuSums(names.size(), 0.0);
    double cpuMs = 0;
    for (auto _ : state) {
        const std::vector<double> figures = InChild([&](std::vector<double>& out) {
            // Each step's processor time, then the wall time of them all.
            const Clock::time_point start = Clock::now();
            for (const Step& step : StartupSteps(mission)) {
                const double before = ProcessCpuMilliseconds();
                if (!step.run())
                    return false;
                out.push_back(ProcessCpuMilliseconds() - before);
            }
            out.push_back(Milliseconds(start, Clock::now()));
            return true;
        },
                                                    cpuMs);
        if (figures.size() != names.size() + 1) {
            state.SkipWithError("a start-up step failed");
            return;
        }
        for (std::size_t i = 0; i < names.size(); ++i)
            cpuSums[i] += figures[i];
        state.SetIterationTime(figures.back() / 1000.0);
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        state.counters[std::string(names[i].name) + "_cpu_ms"] = cpuSums[i] / static_cast<double>(state.iterations());
    state.counters["process_cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
}

void BM_StartupStepsToFrontEnd(benchmark::State& state)
{
    StartupSplit(state, false);
}
BENCHMARK(BM_StartupStepsToFrontEnd)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_StartupStepsToFirstFlightFrame(benchmark::State& state)
{
    StartupSplit(state, true);
}
BENCHMARK(BM_StartupStepsToFirstFlightFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
