// The whole game on the demo data tree, headless (SDL's dummy video and
// audio, the 640 x 480 x 8 screen drawn by the software renderer), each run
// in a child process of its own (bench/gamerun.h).
//
// BM_CombatFrame_<station>: a frame of mission 3's fight, its eight ships
// armed and under attack orders. The mission starts from the command line
// with a fixed frame time of 0.01 s (a frame of a game running at 100
// frames a second); the test player reads the briefing's lines as they
// come, closes the objectives view it ends on, and as soon as the
// simulation runs sets the corvette moving (the raiders fire at a ship
// that moves). Passes of the frame loop run until the fight is on: the
// raiders are hitting the corvette (its hull below 100), every ship within
// weapon range of the others. Then the station is chosen (what F3 or F1
// does), kWarmFrames frames settle it, and kTimedFrames frames (4 s of the
// fight, which the corvette survives: a run whose mission ends meanwhile
// fails) are timed, each the loop's pass that runs the frame: the fixed
// clock's step and RunFrame, i.e. script, simulation, AI, the station
// drawn (its 3D view through the software renderer, scopes, contact list,
// HUD) and presented. The iteration's time is the mean frame; the counters
// give the mean, median and slowest frame, the ships alive and the bolts
// in flight on average over the timed frames, the fewest ships and the
// most bolts.
//
// BM_LaunchToFirstFlightFrame: mission 1 launched from the front end. The
// child starts to the front end, walks it as a player does (the roster,
// the career in the first slot, the first mission of the timeline, the
// play button), frames running between the clicks; untimed. Then timed:
// the frame that runs StartMission, the entry film ("entry.smk") stopped as
// a player's key stops it (it is opened inside StartMission, its frames are
// never shown, so its own length is not counted), and the first frame of
// flight. process_cpu_ms is each child's whole processor time.
#include <benchmark/benchmark.h>

#include "bench/gamerun.h"

#include "game/frameloop.h"
#include "game/startup.h"
#include "script/interpreter.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "screens/frontscreens.h"
#include "script/symbols.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/effectmodels.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/starmap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

using kvbench::Clock;
using kvbench::InChild;
using kvbench::Milliseconds;
using kvbench::OpenMainWindow;

constexpr const char* kMission3Line = "-w zqk\\resource\\scripts\\missions\\mission03.scr";
constexpr const char* kFrameSeconds = "0.01";
constexpr int kWarmFrames = 20;
constexpr int kTimedFrames = 400;
constexpr int kPassLimit = 4000; // far more than the briefing and the approach take

// ---- The scene -----------------------------------------------------------------

struct SceneCount {
    int ships; // ships of the scene not destroyed
    int bolts; // bolts in flight: the items that the bolt streak draws
};

SceneCount CountScene()
{
    SceneCount count{0, 0};
    ForEachSceneItem([&](SceneItem* item) {
        count.bolts += item->avatar && item->avatar->tdpSync == UpdateBoltStreak;
        count.ships += item->sim && item->sim->shipInfo && item->sim->hull > 0;
        return true;
    });
    return count;
}

// ---- The test player -----------------------------------------------------------

// Before each pass: every briefing line read at once, the objectives view
// closed as it opens, and as soon as the simulation runs the corvette's
// speed set one step up (the "=" key), once.
bool gUnderWay = false;

void PlayerPass()
{
    gMessageLogTypingPosition = gMessageLogTextLength;
    gObjectivesViewOpen = 0;
    const bool flying = !gFrontEndActive && !gScriptMission.briefingActive && !gDocsViewOpen && !gStarMapOpen &&
                        !gInterpreter.missionPause && !gLoopFlags.filmMode;
    if (flying && !gUnderWay && gPlayerItem) {
        gUnderWay = true;
        StepSpeedSetpointUp();
    }
}

// One pass of the frame loop; false when the loop would end.
bool Pass()
{
    int exitCode = 0;
    return RunFrameLoopPass(exitCode);
}

// ---- The combat frame ----------------------------------------------------------

enum Figure {
    kFrameMs,
    kShips,
    kBolts
};

// In the child: the mission flown to the fight, then each timed frame's
// milliseconds, ships and bolts, three figures a frame.
bool FlyMission3(void (*selectStation)(), std::vector<double>& out)
{
    ::setenv(kFrameSecondsVariable, kFrameSeconds, 1);
    if (!OpenMainWindow(kMission3Line) || StartGame() == 0)
        return false;
    bool fighting = false;
    for (int pass = 0; pass < kPassLimit && !fighting; ++pass) {
        PlayerPass();
        if (!Pass())
            return false;
        fighting = gUnderWay && gPlayerItem && gPlayerItem->sim && gPlayerItem->sim->hull < 100;
    }
    if (!fighting)
        return false;
    selectStation();
    for (int frames = 0; frames < kWarmFrames + kTimedFrames;) {
        PlayerPass();
        const uint16_t before = gFrameClock.frameCounter;
        const Clock::time_point start = Clock::now();
        if (!Pass())
            return false;
        const Clock::time_point end = Clock::now();
        if (gFrameClock.frameCounter == before)
            continue; // a window message, no frame
        if (frames++ < kWarmFrames)
            continue;
        const SceneCount count = CountScene();
        out.push_back(Milliseconds(start, end));
        out.push_back(count.ships);
        out.push_back(count.bolts);
    }
    return MissionEndState == kMissionInFlight; // the fight went on throughout
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void CombatFrame(benchmark::State& state, void (*selectStation)())
{
    double cpuMs = 0;
    std::vector<double> frameMs, ships, bolts;
    for (auto _ : state) {
        const std::vector<double> figures =
            InChild([&](std::vector<double>& out) { return FlyMission3(selectStation, out); }, cpuMs);
        if (figures.size() != 3 * kTimedFrames) {
            state.SkipWithError("mission 3 did not come to its fight");
            return;
        }
        double sum = 0;
        for (std::size_t i = 0; i < figures.size(); i += 3) {
            frameMs.push_back(figures[i + kFrameMs]);
            ships.push_back(figures[i + kShips]);
            bolts.push_back(figures[i + kBolts]);
            sum += figures[i + kFrameMs];
        }
        state.SetIterationTime(sum / kTimedFrames / 1000.0);
    }
    const auto mean = [](const std::vector<double>& v) {
        return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    };
    state.counters["mean_ms"] = mean(frameMs);
    state.counters["median_ms"] = Median(frameMs);
    state.counters["slowest_ms"] = *std::max_element(frameMs.begin(), frameMs.end());
    state.counters["ships"] = mean(ships);
    state.counters["fewest_ships"] = *std::min_element(ships.begin(), ships.end());
    state.counters["bolts"] = mean(bolts);
    state.counters["most_bolts"] = *std::max_element(bolts.begin(), bolts.end());
}

void BM_CombatFrame_WEP(benchmark::State& state)
{
    CombatFrame(state, guiSelectWepStation);
}
BENCHMARK(BM_CombatFrame_WEP)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_CombatFrame_COM(benchmark::State& state)
{
    CombatFrame(state, guiSelectComStation);
}
BENCHMARK(BM_CombatFrame_COM)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- The launch ----------------------------------------------------------------

constexpr uint16_t kKeyUp = 0x48 << 8; // the arrow key, no character
constexpr int kSettlePasses = 2000;    // far more than a front-end clip takes

// A click on the front end's element, as the screen's update hands it on;
// false when the layout has no such element or it takes no click.
bool Click(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    auto* window = symbol ? static_cast<WindowHandle*>(symbol->value) : nullptr;
    if (!window || !window->clickHandler)
        return false;
    window->clickHandler(window);
    return true;
}

// A key pressed: queued as the window queues it, and taken by the next pass.
bool PressKey(uint16_t code)
{
    KeyQueuePush(code);
    return Pass();
}

// Runs passes until the front end rests in `state` (its clip played out).
bool Settle(int16_t state)
{
    for (int pass = 0; pass < kSettlePasses; ++pass) {
        if (gFrontScreens.current == state && gFrontScreens.requested == state)
            return true;
        if (!Pass())
            return false;
    }
    return false;
}

// The front end walked as a player walks it, up to the launch request:
// the roster, the career in the first slot, the first mission of its
// timeline and the play button (its frame decides that it plays a new
// mission, so a pass runs before the click).
bool WalkToTheLaunch()
{
    return Settle(kFrontHome) && Click("FrRosSq") && Settle(kFrontRoster) && Click("RosSlot") &&
           Settle(kFrontTimeline) && PressKey(kKeyUp) &&
           MissionNumberAtIndex(gFrontEnd.selectedMission) == 1 && Pass() && Click("TimPlayMN") &&
           gStartMissionRequest != 0;
}

enum LaunchFigure {
    kLaunchWallMs,
    kLaunchCpuMs,
    kStartMissionMs,
    kFirstFrameMs,
    kLaunchFigures
};

// In the child: the start-up to the front end and the walk (untimed), then
// the launch to the first flight frame.
bool LaunchMission1(std::vector<double>& out)
{
    ::setenv(kFrameSecondsVariable, kFrameSeconds, 1); // the front end's clips at the fixed step
    if (!OpenMainWindow("-w") || StartGame() == 0 || !gFrontEndActive || !WalkToTheLaunch())
        return false;
    const double cpuStart = kvbench::ProcessCpuMilliseconds();
    const Clock::time_point start = Clock::now();
    RunFrame(); // StartMission, and the frame stops at the entry film
    const Clock::time_point launched = Clock::now();
    const bool filmOpened = gLoopFlags.filmMode != 0;
    StopFilm();
    const uint16_t frame = gFrameClock.frameCounter;
    RunFrame();
    const Clock::time_point end = Clock::now();
    out = {Milliseconds(start, end), kvbench::ProcessCpuMilliseconds() - cpuStart, Milliseconds(start, launched),
           Milliseconds(launched, end)};
    return filmOpened && !gFrontEndActive && CurrentStation == kStationCom && gFrameClock.frameCounter != frame;
}

void BM_LaunchToFirstFlightFrame(benchmark::State& state)
{
    double cpuMs = 0;
    std::vector<double> sums(kLaunchFigures, 0.0);
    for (auto _ : state) {
        const std::vector<double> figures = InChild(LaunchMission1, cpuMs);
        if (figures.size() != kLaunchFigures) {
            state.SkipWithError("mission 1 did not launch from the front end");
            return;
        }
        for (std::size_t i = 0; i < sums.size(); ++i)
            sums[i] += figures[i];
        state.SetIterationTime(figures[kLaunchWallMs] / 1000.0);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["launch_cpu_ms"] = sums[kLaunchCpuMs] / n;
    state.counters["start_mission_ms"] = sums[kStartMissionMs] / n;
    state.counters["first_frame_ms"] = sums[kFirstFrameMs] / n;
    state.counters["process_cpu_ms"] = cpuMs / n;
}
BENCHMARK(BM_LaunchToFirstFlightFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
