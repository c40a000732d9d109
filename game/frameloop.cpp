// The frame loop, the frame body and the message pump. See frameloop.h.
#include "game/frameloop.h"

#include "game/inputscript.h"
#include "game/startup.h"
#include "system/crand.h"

#include "platform/film.h"
#include "screens/bridge.h"
#include "script/interpreter.h"
#include "screens/frontend.h"
#include "screens/vesselorders.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/mainwindow.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/trace.h"
#include "ui/dialogue.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/explosions.h"
#include "view/planets.h"
#include "world/floatingorigin.h"
#include "world/profiler.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/starmap.h"

#include <chrono>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace {

// The mission's end state is set in several places; the trace shows each
// change once, in the frame it is seen.
int32_t gTracedEndState = kMissionInFlight;

void TraceEndStateChange()
{
    if (MissionEndState == gTracedEndState)
        return;
    gTracedEndState = MissionEndState;
    if (TraceOn())
        TraceLine("end-state", "%d", static_cast<int>(MissionEndState));
}

constexpr uint8_t kScanEscape = 0x01;
constexpr uint8_t kScanP = 0x19;

// The ships' shade table that the "display_shades" switch shows every frame.
constexpr const char* kShadeTablePath = "zqk\\resource\\art\\textures\\ships\\klvstd.tab";

uint8_t ScanCode(uint16_t keyCode)
{
    return static_cast<uint8_t>(keyCode >> 8);
}

// While paused no frame runs and the clock is not read: only P or Esc,
// taken one key a pass, end the pause; the sounds the pause stopped play on.
// The key list holds the game the same way, until any key is pressed.
void PausedPass()
{
    if (KeyListShown && KeyQueueCount() > 0) {
        KeyQueuePop();
        KeyListShown = 0;
    } else {
        const uint8_t scan = ScanCode(KeyQueuePop());
        if (scan != kScanP && scan != kScanEscape)
            return;
    }
    gLoopFlags.pause = 0;
    SoundResumeAll();
    guiRequestFullRedraw();
}

// A demo's introduction ended: the full start-up, which the introduction
// went without, runs at the next idle pass (not inside a message pump that
// a modal wait may be running), and the demo mission follows.
bool gFullStartupPending = false;
bool gStartupFailed = false; // the loop then ends with a failure

// The introduction is over, by a key or because its film ended. In demo
// mode the game goes on; otherwise a key ends the program.
void LeaveIntro(bool byKey)
{
    CloseFilmWindow();
    if (gSettings.demo) {
        gSettings.intro = 0;
        gFullStartupPending = true;
    } else if (byKey) {
        gLoopFlags.quitRequest = 255;
    }
}

// Runs the pending full start-up; a start-up that cannot complete ends the
// loop with a failure exit code, never leaving frames to run on a game that
// was not brought up.
void RunPendingStartup()
{
    gFullStartupPending = false;
    gLoopFlags.filmMode = 0;
    gLoopFlags.mciFilmPlaying = 0;
    if (StartFullGame() == 0) {
        DebugPrint("Kelvandrist: start-up failed\n");
        gStartupFailed = true;
        gLoopFlags.quitRequest = 255;
    }
}

// The fixed frame time: a counter of its own, in microseconds, that the
// frame loop advances by one frame time before each frame's clock update.
constexpr uint64_t kFixedCounterFrequency = 1000000;
uint64_t gFixedCounter = 0;
uint64_t gFixedStep = 0; // 0: the real counter

uint64_t ReadFixedCounter() { return gFixedCounter; }
double FixedFilmSeconds() { return static_cast<double>(gFixedCounter) / kFixedCounterFrequency; }

// One pass with no message waiting.
void IdlePass()
{
    PlayInputTablePass();
    if (gFullStartupPending) {
        RunPendingStartup();
        return;
    }
    if (gLoopFlags.pause) {
        PausedPass();
    } else if (gLoopFlags.applicationActive || gSettings.runInBack || gSettings.console) {
        gFixedCounter += gFixedStep;
        UpdateFrameTime();
        if (gLoopFlags.startupDelay > 0)
            gLoopFlags.startupDelay -= gFrameClock.frameTicks;
        else if (!gLoopFlags.filmMode)
            RunFrame();
        else if (!gLoopFlags.mciFilmPlaying)
            StepFilm();
    }
    // The film window plays on by itself, as a window of its own would.
    if (gLoopFlags.mciFilmPlaying)
        ServiceFilmWindow();

    // The introduction films: Esc goes on to the next film, any other key
    // ends them.
    if (gSettings.intro && KeyQueueCount() > 0) {
        if (ScanCode(KeyQueuePop()) == kScanEscape)
            PlayNextListedFilm();
        else
            LeaveIntro(true);
    }
}

// Idle passes are paced so that the loop, with nothing to wait on (the dummy
// drivers, a window without vertical sync), does not run faster than the
// display can show and burn a whole core doing it. A pass that took longer
// than the period waits for nothing. Game time comes from the frame clock
// alone, so pacing changes how often frames run, never what they do.
// $KELVANDRIST_UNPACED (any value but "0") lifts it for tests and benchmarks.
constexpr double kPacedPassesPerSecond = 60.0; // the display's rate when it is not known

bool PacingLifted()
{
    const char* value = std::getenv(kUnpacedVariable);
    return value && *value && std::string_view(value) != "0";
}

void PaceIdlePass()
{
    using Clock = std::chrono::steady_clock;
    static Clock::time_point due;
    if (PacingLifted())
        return;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / kPacedPassesPerSecond));
    const Clock::time_point now = Clock::now();
    if (now < due) {
        std::this_thread::sleep_until(due);
        due += period;
    } else {
        due = now + period; // late (or the first pass): start the beat afresh
    }
}

// Hands every queued key to the current screen's key handler.
void DrainKeyQueue()
{
    while (KeyQueueCount() > 0) {
        const uint16_t code = KeyQueuePop();
        if (gKeyHandler)
            gKeyHandler(code);
    }
}

// The capsule film of a jump has run (the message handler raised the
// request): a pending destination is carried out and the player's ship
// appears there with its arrival flash. The jump is over either way, so the
// ship is no longer marked as jumping, or it could never jump again.
void ServeJumpArrival()
{
    gLoopFlags.jumpArrivalRequest = 0;
    if (gPendingJumpSystem != 0 && gPendingJumpBody) {
        ExecutePendingJump(nullptr);
        if (gPlayerItem) {
            AddArrivalFlash(gPlayerItem);
            DirectorOfferShot(gPlayerItem, nullptr, kShotArrival);
        }
    }
    if (gPlayerItem && gPlayerItem->sim)
        gPlayerItem->sim->flags &= ~kSimJumpUnderWay;
}

// The player's ship may hold the mission script (a flag of its class).
bool MissionScriptSuspended()
{
    return gPlayerItem && gPlayerItem->avatar && (gPlayerItem->avatar->classFlags & kClassSuspendsScript);
}

} // namespace

int RunFrame()
{
    if (gSettings.intro)
        return 0;

    if (gStartMissionRequest) {
        StartMission(0);
        gStartMissionRequest = 0;
    }
    if (gLoopFlags.endOfMissionRequest) {
        ShowEndScreen();
        return 0;
    }

    // The time of the profiler's frame start is kept so that "TOTAL" spans
    // the whole frame.
    FrameProfiler* const profiler = gFrameProfiler;
    StartProfileFrame(profiler);
    const double frameStart = profiler ? profiler->lastMark : 0.0;

    if (gLoopFlags.jumpArrivalRequest == 1)
        ServeJumpArrival();

    ++gFrameClock.frameCounter;

    if (!MissionScriptSuspended())
        RunMissionScriptStep([] { RunScript(&gMissionScriptPosition, true); });
    if (gLoopFlags.filmMode)
        return 1;

    if (SimulationRuns()) {
        RunSimulationFrame();
        if (gLoopFlags.filmMode)
            return 1;
    }

    TraceEndStateChange();
    DisplayLock(gScreenMode);
    TickCommsFilm();
    UpdateConversations();
    guiUpdateScreen();
    if (gFrontEndActive)
        DrawCareerSaveNotice(ScreenCanvas());
    DrainKeyQueue();
    MarkProfileSection(profiler, "OTHER");
    UpdateFloatingOrigin();

    if (gSettings.displayShades)
        ShowShadeTable(kShadeTablePath);

    if (!gLoopFlags.skipPresent)
        DisplayPresent(gScreenMode);
    gLoopFlags.skipPresent = 0;

    MarkProfileSection(profiler, "UPDATING");
    if (profiler)
        profiler->lastMark = frameStart;
    MarkProfileSection(profiler, "TOTAL");

    // A screenshot sequence: every frame (each a fixed 7-tick step) as shown.
    if (gLoopFlags.screenshotRequest)
        SaveScreenshot(ScreenCanvas());

    // A mission that ended during this frame leaves for the end screen now.
    if (gLoopFlags.endOfMissionRequest)
        ShowEndScreen();
    CopyKeyStateBlock();
    return 1;
}

void PumpMessages()
{
    WindowMessage message;
    if (PeekWindowMessage(message)) {
        if (message.kind == platform::Message::Quit) {
            ShutDown();
            std::exit(0);
        }
        DispatchWindowMessage(message);
        return;
    }
    if (!gSettings.intro)
        return;
    if (KeyQueueCount() > 0)
        LeaveIntro(true);
    if (!FilmWindowVisible()) {
        LeaveIntro(false);
        gLoopFlags.filmMode = 0;
        gLoopFlags.mciFilmPlaying = 0;
    }
}

bool RunFrameLoopPass(int& exitCode)
{
    WindowMessage message;
    if (PeekWindowMessage(message)) {
        if (message.kind == platform::Message::Quit) {
            exitCode = message.exitCode;
            return false;
        }
        DispatchWindowMessage(message);
    } else {
        IdlePass();
        PaceIdlePass();
    }
    if (gStartupFailed) {
        gStartupFailed = false;
        exitCode = kExitFailure;
    }
    return !gLoopFlags.quitRequest;
}

int RunFrameLoop()
{
    int exitCode = 0;
    while (RunFrameLoopPass(exitCode)) {
    }
    ShutDown();
    return exitCode;
}

bool SeedFromEnvironment()
{
    const char* value = std::getenv(kSeedVariable);
    if (!value || !*value)
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long seed = std::strtoull(value, &end, 10);
    if (!end || *end || errno != 0 || *value == '-' || seed > 0xFFFFFFFFull) {
        DebugPrint("KELVANDRIST_SEED is not a seed: the generator keeps its own start\n");
        return false;
    }
    CRandSeed(static_cast<uint32_t>(seed));
    return true;
}

bool UseFixedFrameTimeFromEnvironment()
{
    const char* value = std::getenv(kFrameSecondsVariable);
    if (!value || !*value)
        return false;
    char* end = nullptr;
    const double seconds = std::strtod(value, &end);
    if (!end || *end || !(seconds > 0.0) || seconds > 0.2) {
        DebugPrint("KELVANDRIST_FRAME_SECONDS is not a frame time: the real clock is used\n");
        return false;
    }
    // A step shorter than a tick would leave the game's time standing still.
    constexpr double kTickSeconds = 0.01;
    if (seconds < kTickSeconds)
        DebugPrint("KELVANDRIST_FRAME_SECONDS is shorter than a tick: frames of 0.01 s are used\n");
    gFixedStep = static_cast<uint64_t>(std::llround(std::max(seconds, kTickSeconds) * kFixedCounterFrequency));
    gFixedCounter = 0;
    SetFrameCounterSource(ReadFixedCounter, kFixedCounterFrequency);
    platform::SetFilmClock(FixedFilmSeconds); // films and clips keep the same time
    return true;
}
