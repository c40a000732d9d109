// The frame loop: the order of a frame's calls, the skip-present and film
// cases, pause, inactivity, the start-up delay, intro mode, and headless runs
// of whole loops on a scripted clock and input timeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "game/frameloop.h"
#include "platform/film.h"
#include "platform/window.h"
#include "screens/bridge.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "screens/vesselorders.h"
#include "script/interpreter.h"
#include "system/calltrace.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/res/pcx.h"
#include "system/settings.h"
#include "tests/frame/virtualclock.h"
#include "ui/hud.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/universe.h"
#include "tests/support/effects_probe.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/sound_fixture.h"
#include "world/profiler.h"

namespace {

using Calls = std::vector<std::string>;

constexpr uint16_t kKeyA = 0x1E61; // scan code of A, character 'a'
constexpr uint16_t kKeyP = 0x1900;
constexpr uint16_t kKeyEscape = 0x0100;
constexpr int kHostScancodeA = 4; // the host keyboard's code of A, as the window injects it

std::vector<uint16_t> gHandledKeys;

void RecordingKeyHandler(uint16_t code)
{
    RecordCall("KeyHandler");
    gHandledKeys.push_back(code);
}

// A display back end that only records the frame's lock and present.
int OpenNothing(DisplayMode&) { return 1; }
void Nothing() {}
void RecordClose() { RecordCall("DisplayClose"); }
void NothingWithMode(DisplayMode&) {}
void RecordLock(DisplayMode&) { RecordCall("DisplayLock"); }
void RecordPresent(DisplayMode&) { RecordCall("DisplayPresent"); }
void NoPaletteHandle(const SystemPalette*) {}
void NoPalette(const PaletteEntry*) {}
const DisplayDriver kRecordingDisplay = {OpenNothing, RecordClose, NothingWithMode,
                                         RecordPresent, RecordLock, Nothing,
                                         NoPaletteHandle, NoPalette, NoPalette};

class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platform::VideoAvailable());
        DrainMessages();
        virtualclock::Install();
        virtualclock::stepPerRead = virtualclock::Milliseconds(30); // 3-tick frames
        savedSettings_ = gSettings;
        savedDriver_ = gDisplayDriver;
        gDisplayDriver = &kRecordingDisplay;
        gLoopFlags.applicationActive = 1;
        // One window whose handler marks each pass of the screen update.
        guiResetWindowPool();
        guiCreateWindow(
            kAnchorTopLeft, nullptr, nullptr, [](WindowHandle*) { RecordCall("WindowPass"); }, nullptr,
            0, 0, 10, 10, 0);
        gKeyHandler = RecordingKeyHandler;
        gHandledKeys.clear();
        ResetInput();
        EnableCallTrace(true);
        ClearCallTrace();
    }

    void TearDown() override
    {
        EnableCallTrace(false);
        ClearCallTrace();
        guiResetWindowPool();
        gKeyHandler = nullptr;
        gDisplayDriver = savedDriver_;
        gSettings = savedSettings_;
        gStartMissionRequest = 0;
        virtualclock::Remove();
        DrainMessages();
    }

    static void DrainMessages()
    {
        platform::WindowMessage message;
        while (platform::PeekWindowMessage(message)) {
        }
    }

    // Runs passes of the loop; returns false when the loop ended.
    static bool Passes(int count)
    {
        int exitCode = 0;
        for (int i = 0; i < count; ++i)
            if (!RunFrameLoopPass(exitCode))
                return false;
        return true;
    }

    Settings savedSettings_;
    const DisplayDriver* savedDriver_ = nullptr;
};

// The recorded calls that are among `milestones`, in recorded order.
Calls Milestones(const Calls& milestones)
{
    Calls found;
    for (const std::string& call : RecordedCalls())
        if (std::find(milestones.begin(), milestones.end(), call) != milestones.end())
            found.push_back(call);
    return found;
}

// Whether the simulation frame ran: its first step chooses the current
// objective of a table that has one waiting.
void ArmSimulationMark() { ParseObjectives("goal"); }
bool SimulationRan()
{
    const bool ran = gObjectives.current == 0;
    ParseObjectives("");
    return ran;
}

TEST_F(FrameLoopTest, FrameRunsItsStepsInOrder)
{
    gStartMissionRequest = 255;
    gFrontEnd.missionScriptPresent = 255; // the launch looks for its script anew
    gSettings.displayShades = 255;
    KeyQueuePush(kKeyA);
    KeyQueuePush(kKeyP);
    GetKeyStateBlock()[0x1E] = 255;
    const uint16_t frames = gFrameClock.frameCounter;
    // A player far out: the floating origin brings it back and shifts the
    // trail HUDs with it.
    ResetSimulation();
    gPlayerItem = InsertSceneItem(NewSceneItem(), 0);
    AttachSim(gPlayerItem, nullptr)->position.x = 2.5e8;
    gWorldOriginOffset = {};
    ArmSimulationMark();
    HUD* trail = InitTrailHud(AllocHUD(), nullptr, 0);
    trail->pointCount = 1;
    RegisterHud(trail);

    EXPECT_EQ(RunFrame(), 1);

    EXPECT_TRUE(SimulationRan());
    const Calls expected = {"DisplayLock", "WindowPass", "KeyHandler", "KeyHandler", "DisplayPresent"};
    EXPECT_EQ(Milestones(expected), expected);
    EXPECT_EQ(gPlayerItem->sim->position.x, 5e7);
    EXPECT_EQ(gWorldOriginOffset.x, 2e8);
    EXPECT_EQ(trail->points[0].world.x, -2e8f);
    // Nothing of the UI, bridge or display runs inside the simulation frame.
    const Calls calls = RecordedCalls();
    const auto simulationEnd = std::find(calls.begin(), calls.end(), "DisplayLock");
    EXPECT_EQ(std::count(calls.begin(), simulationEnd, "WindowPass"), 0);
    EXPECT_EQ(gHandledKeys, (std::vector<uint16_t>{kKeyA, kKeyP}));
    EXPECT_EQ(gStartMissionRequest, 0);
    EXPECT_EQ(gFrontEnd.missionScriptPresent, 0) << "the launch ran and found no mission script";
    EXPECT_EQ(gFrameClock.frameCounter, static_cast<uint16_t>(frames + 1));
    EXPECT_EQ(GetPreviousKeyStateBlock()[0x1E], 255);
    ResetSimulation();
    gWorldOriginOffset = {};
}

// The pause (the options screen in flight) stops the world, yet the screen
// is still drawn and takes its keys.
TEST_F(FrameLoopTest, SimulationStandsWhileTheFrontEndAStoppingViewOrThePauseIsUp)
{
    for (uint8_t* flag : {&gFrontEndActive, &gDocsViewOpen, &gObjectivesViewOpen, &gInterpreter.missionPause}) {
        ClearCallTrace();
        ArmSimulationMark();
        *flag = 255;
        EXPECT_EQ(RunFrame(), 1);
        *flag = 0;
        EXPECT_FALSE(SimulationRan());
        EXPECT_EQ(CountRecordedCalls("WindowPass"), 1u);
    }
}

TEST_F(FrameLoopTest, ProfilerTotalSpansTheWholeFrame)
{
    gFrameProfiler = AllocFrameProfiler();
    ASSERT_NE(gFrameProfiler, nullptr);
    RunFrame();

    const FrameProfiler& profiler = *gFrameProfiler;
    std::vector<std::string> names;
    double sections = 0.0, total = -1.0;
    for (int slot = 0; slot <= profiler.highestSlot; ++slot) {
        names.emplace_back(profiler.names[slot]);
        if (names.back() == "TOTAL")
            total = profiler.durations[slot];
        else
            sections += profiler.durations[slot];
    }
    gFrameProfiler = nullptr;
    ResetValueRecorders();

    EXPECT_EQ(names, (Calls{"COLLISIONS", "CONTROL", "SIMULATION", "OTHER", "UPDATING", "TOTAL"}));
    // Every read of the virtual clock moves it 30 ms (3000 units): "TOTAL"
    // runs from the frame's start to its own mark, one read after "UPDATING".
    EXPECT_DOUBLE_EQ(sections, 5 * 3000.0);
    EXPECT_DOUBLE_EQ(total, sections + 3000.0);
}

TEST_F(FrameLoopTest, SkipPresentRequestSkipsOnePresent)
{
    gLoopFlags.skipPresent = 255;
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_EQ(CountRecordedCalls("DisplayPresent"), 0u);
    EXPECT_EQ(gLoopFlags.skipPresent, 0);
    RunFrame();
    EXPECT_EQ(CountRecordedCalls("DisplayPresent"), 1u);
}

// While the bridge keys keep the screenshot request on, every frame steps 7
// hundredths and leaves the screen as shown in the next numbered picture.
TEST_F(FrameLoopTest, ScreenshotRequestSavesEveryFrameAtSevenTicks)
{
    ScratchFolder data("frame_shots", true);
    std::filesystem::create_directories("zqk/resource/art/screens");
    uint8_t headerPalette[768] = {};
    uint8_t one = 0;
    PcxImage* header = PcxFromPixels(nullptr, 0, &one, 1, 1, headerPalette);
    ASSERT_TRUE(PcxSave("zqk\\resource\\art\\screens\\header.pcx", header));
    PcxFree(header);
    ResetCanvasSaving();

    std::vector<uint8_t> screen(640 * 480);
    for (std::size_t i = 0; i < screen.size(); ++i)
        screen[i] = uint8_t(i % 251);
    uint8_t* frameBuffer = screen.data();
    DisplayMode savedMode = gScreenMode;
    gScreenMode.frameBuffer = &frameBuffer;
    gScreenMode.width = 640;
    gScreenMode.height = 480;

    gLoopFlags.screenshotRequest = 255;
    const uint32_t clock = gFrameClock.gameClock;
    const bool ran = Passes(2);
    gLoopFlags.screenshotRequest = 0;
    ASSERT_TRUE(Passes(1)); // the request is off: no picture
    gScreenMode = savedMode;

    EXPECT_TRUE(ran);
    EXPECT_EQ(gFrameClock.gameClock, clock + 7 + 7 + 3);
    EXPECT_TRUE(std::filesystem::exists("zqk/resource/art/screens/t00001.pcx"));
    EXPECT_FALSE(std::filesystem::exists("zqk/resource/art/screens/t00002.pcx"));
    PcxImage* shot = PcxLoad("zqk\\resource\\art\\screens\\t00000.pcx");
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(shot->width, 640);
    ASSERT_EQ(shot->height, 480);
    EXPECT_EQ(std::vector<uint8_t>(shot->pixels, shot->pixels + screen.size()), screen);
    PcxFree(shot);
    ResetCanvasSaving();
}

// The jump sequence through the real message handler, headless: the jump
// start flashes the departure, 70 hundredths later the capsule jump asks
// for the arrival, and the frame after that carries the jump out.
TEST_F(FrameLoopTest, APlayersJumpArrivesTheFrameAfterTheCapsuleJump)
{
    ResetSimulation();
    gPlayerItem = gControlledItem = InsertSceneItem(NewSceneItem(), 0);
    AttachSim(gPlayerItem, nullptr);
    SetMessageFunction(gPlayerItem, HandleItemMessages);
    // The ship is in system 3 already, so carrying the jump out only places
    // it at the body (no travel through a universe that is not built).
    gPlayerItem->sceneGeneration = 3;
    // The universe is not built here: this stands for the "L4" body that
    // finding the destination's body gives.
    static SystemBody l4Body{}; // placed nowhere: no position while its system is not built

    struct Case {
        const char* name;
        bool bodyFound;
    };
    for (const Case c : {Case{"a destination with its body", true}, Case{"no body found", false}}) {
        SCOPED_TRACE(c.name);
        gPendingJumpSystem = 0;
        gPendingJumpBody = nullptr;
        gFilmName.clear();
        ClearCallTrace();
        const int departures = effectsprobe::Sweeps(gPlayerItem, -1);
        const JumpStartBody start{3};
        ASSERT_TRUE(PostItemMessage(gPlayerItem->receiver, gPlayerItem->receiver, 0, kMsgJumpStart, start));
        const uint32_t started = gFrameClock.gameClock;

        ASSERT_TRUE(Passes(1));
        EXPECT_EQ(effectsprobe::Sweeps(gPlayerItem, -1), departures + 1);
        EXPECT_TRUE(gPlayerItem->sim->flags & kSimJumpUnderWay);

        // Frames of 3 hundredths until the capsule jump, 70 after the start.
        while (gLoopFlags.jumpArrivalRequest == 0 && gFrameClock.gameClock < started + 200) {
            EXPECT_EQ(gFilmName, "");
            ASSERT_TRUE(Passes(1));
        }
        EXPECT_EQ(gLoopFlags.jumpArrivalRequest, 1);
        EXPECT_GE(gFrameClock.gameClock, started + 70);
        EXPECT_LT(gFrameClock.gameClock, started + 70 + 2 * 3);
        EXPECT_EQ(gFilmName, "zqk\\resource\\video\\hyper.smk"); // the capsule film (not on disc here)
        EXPECT_EQ(gPendingJumpSystem, 3);                        // waiting for the arrival frame
        if (c.bodyFound)
            gPendingJumpBody = &l4Body;

        const int arrivals = effectsprobe::Sweeps(gPlayerItem, 1);
        ASSERT_TRUE(Passes(1));
        EXPECT_EQ(gLoopFlags.jumpArrivalRequest, 0);
        EXPECT_EQ(gPendingJumpSystem, c.bodyFound ? 0 : 3); // carried out only with its body
        EXPECT_EQ(effectsprobe::Sweeps(gPlayerItem, 1), arrivals + (c.bodyFound ? 1 : 0));
        // The jump is over either way: the ship may jump again.
        EXPECT_FALSE(gPlayerItem->sim->flags & kSimJumpUnderWay);
    }
    gPendingJumpSystem = 0;
    gPendingJumpBody = nullptr;
    ResetSimulation();
}

TEST_F(FrameLoopTest, IntroModeRunsNoFrame)
{
    gSettings.intro = 255;
    const uint16_t frames = gFrameClock.frameCounter;
    EXPECT_EQ(RunFrame(), 0);
    EXPECT_TRUE(RecordedCalls().empty());
    EXPECT_EQ(gFrameClock.frameCounter, frames);
}

TEST_F(FrameLoopTest, FilmModeStopsTheFrameBeforeDrawing)
{
    gLoopFlags.filmMode = 255;
    const uint16_t frames = gFrameClock.frameCounter;
    EXPECT_EQ(RunFrame(), 1);
    EXPECT_TRUE(RecordedCalls().empty());
    EXPECT_EQ(gFrameClock.frameCounter, static_cast<uint16_t>(frames + 1));
}

TEST_F(FrameLoopTest, EndOfMissionRequestRunsTheEndScreen)
{
    // Raised before the frame: the end screen instead of the frame.
    gLoopFlags.endOfMissionRequest = 255;
    // (The end screen presents the front end's cleared screen itself.)
    EXPECT_EQ(RunFrame(), 0);
    Calls calls = Milestones({"DisplayPresent", "ShowEndScreen"});
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "ShowEndScreen");
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0);

    // Raised during the frame (here by a key): the end screen after the present.
    ClearCallTrace();
    gKeyHandler = [](uint16_t) { gLoopFlags.endOfMissionRequest = 255; };
    KeyQueuePush(kKeyA);
    EXPECT_EQ(RunFrame(), 1);
    calls = Milestones({"DisplayPresent", "ShowEndScreen"});
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "DisplayPresent");
    EXPECT_EQ(calls[1], "ShowEndScreen");
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0);
}

TEST_F(FrameLoopTest, PauseEndsOnlyWithPOrEscape)
{
    CapturedSound sound;
    for (const uint16_t endKey : {kKeyP, kKeyEscape}) {
        SCOPED_TRACE(endKey);
        ClearCallTrace();
        gWindows.fullRedrawRequest = 0;
        ASSERT_NE(SpeechPlay(sound.tonePath.c_str()), nullptr);
        SoundPauseAll(); // what paused the game paused its sounds
        gLoopFlags.pause = 255;
        KeyQueuePush(kKeyA);
        KeyQueuePush(endKey);
        const uint32_t ticks = gFrameClock.tickCount;

        ASSERT_TRUE(Passes(1)); // takes A: still paused
        EXPECT_EQ(gLoopFlags.pause, 255);
        EXPECT_EQ(KeyQueueCount(), 1);
        EXPECT_FALSE(SoundIsPlaying(&gSpeechChannel));
        ASSERT_TRUE(Passes(1)); // takes the end key
        EXPECT_EQ(gLoopFlags.pause, 0);
        EXPECT_TRUE(SoundIsPlaying(&gSpeechChannel)); // the paused sounds play on
        EXPECT_TRUE(RecordedCalls().empty());         // no frame ran
        EXPECT_EQ(gWindows.fullRedrawRequest, 1);
        EXPECT_EQ(gFrameClock.tickCount, ticks); // the clock was not read
        EXPECT_TRUE(gHandledKeys.empty());

        ASSERT_TRUE(Passes(1));
        EXPECT_EQ(CountRecordedCalls("WindowPass"), 1u);
    }
}

TEST_F(FrameLoopTest, InactiveWindowRunsFramesOnlyWithRunInBackOrConsole)
{
    gLoopFlags.applicationActive = 0;
    ASSERT_TRUE(Passes(5));
    EXPECT_TRUE(RecordedCalls().empty());
    EXPECT_EQ(gFrameClock.gameClock, 0u);

    gSettings.runInBack = 255;
    ASSERT_TRUE(Passes(2));
    EXPECT_EQ(CountRecordedCalls("WindowPass"), 2u);
    EXPECT_EQ(gFrameClock.gameClock, 6u);

    gSettings.runInBack = 0;
    gSettings.console = 255;
    ASSERT_TRUE(Passes(2));
    EXPECT_EQ(CountRecordedCalls("WindowPass"), 4u);
}

TEST_F(FrameLoopTest, StartupDelayHoldsFramesBack)
{
    gLoopFlags.startupDelay = 10;
    ASSERT_TRUE(Passes(4)); // 10 - 3 x 4 = -2
    EXPECT_EQ(gLoopFlags.startupDelay, -2);
    EXPECT_TRUE(RecordedCalls().empty());
    EXPECT_EQ(gFrameClock.gameClock, 12u); // the clock runs meanwhile
    ASSERT_TRUE(Passes(1));
    EXPECT_EQ(CountRecordedCalls("WindowPass"), 1u);
}

TEST_F(FrameLoopTest, AFixedFrameTimeFromTheEnvironmentStepsTheClockWhateverTheRealTime)
{
    for (const char* wrong : {"", "0", "-0.01", "0.5", "fast", "0.05s"}) {
        SCOPED_TRACE(wrong);
        ::setenv(kFrameSecondsVariable, wrong, 1);
        EXPECT_FALSE(UseFixedFrameTimeFromEnvironment());
    }
    ::setenv(kFrameSecondsVariable, "0.05", 1);
    ASSERT_TRUE(UseFixedFrameTimeFromEnvironment());
    ::unsetenv(kFrameSecondsVariable);
    InitFrameClock();
    gLoopFlags.startupDelay = 1000; // the clock alone
    ASSERT_TRUE(Passes(4));
    EXPECT_EQ(gFrameClock.gameClock, 20u); // 5 ticks a frame, not the 3 the real clock gives
    EXPECT_EQ(gFrameClock.frameTicks, 5);
    gLoopFlags.startupDelay = 0;
}

TEST_F(FrameLoopTest, FilmModeRunsNoFramesFromTheLoop)
{
    gLoopFlags.filmMode = 255;
    ASSERT_TRUE(Passes(3));
    EXPECT_TRUE(RecordedCalls().empty());
    EXPECT_EQ(gFrameClock.gameClock, 0u);
}

TEST_F(FrameLoopTest, IntroKeysEndTheFilmsOrTheProgram)
{
    // Two films in the film window's list, written by FFmpeg itself.
    ScratchFolder scratch{"intro_keys"};
    const std::string first = (scratch / "one.avi").string(), second = (scratch / "two.avi").string();
    const std::vector<std::vector<uint8_t>> frames(3, std::vector<uint8_t>(32 * 16 * 3, 40));
    ASSERT_TRUE(platform::WriteAviFile(first.c_str(), 32, 16, 10, frames));
    ASSERT_TRUE(platform::WriteAviFile(second.c_str(), 32, 16, 10, frames));
    const char* list[] = {first.c_str(), second.c_str(), nullptr};

    gSettings.intro = 255;
    ASSERT_EQ(PlayFilmList(list), 1);
    EXPECT_EQ(gLoopFlags.mciFilmPlaying, 255);
    KeyQueuePush(kKeyEscape); // next film: the intro goes on
    ASSERT_TRUE(Passes(1));
    EXPECT_EQ(gSettings.intro, 255);
    EXPECT_TRUE(FilmWindowVisible());
    KeyQueuePush(kKeyEscape); // past the last film: the program ends
    EXPECT_FALSE(Passes(1));
    EXPECT_EQ(gSettings.intro, 0);
    EXPECT_EQ(gLoopFlags.mciFilmPlaying, 0);

    gLoopFlags.quitRequest = 0;
    gSettings.intro = 255;
    ASSERT_EQ(PlayFilmList(list), 1);
    KeyQueuePush(kKeyA);
    EXPECT_FALSE(Passes(1)); // any other key closes the window and ends the program
    EXPECT_EQ(gLoopFlags.quitRequest, 255);
    EXPECT_FALSE(FilmWindowVisible());

    gLoopFlags.quitRequest = 0;
    gSettings.demo = 255;
    KeyQueuePush(kKeyA);
    ASSERT_TRUE(Passes(1)); // the demo goes on into the game
    EXPECT_EQ(gSettings.intro, 0);
    // The next pass brings the game up in full; here there is no data to
    // bring it up from, and the loop ends with a failure.
    int exitCode = 0;
    EXPECT_FALSE(RunFrameLoopPass(exitCode));
    EXPECT_EQ(exitCode, kExitFailure);
    gLoopFlags.quitRequest = 0;
    gLoopFlags.mciFilmPlaying = 0;
}

TEST_F(FrameLoopTest, QuitMessageEndsTheLoopWithItsExitCodeAndShutsDown)
{
    ScratchFolder data("frameloop_quit", true);
    std::filesystem::create_directories(data / "zqk");
    platform::PostQuit(7);
    EXPECT_EQ(RunFrameLoop(), 7);
    // Outside intro mode the career and the state are saved.
    EXPECT_EQ(data.Read("zqk/slot0.sav").size(), kCaptainFileSize);
    EXPECT_EQ(data.Read("zqk/state.inf").size(), kStateFileSize);
    EXPECT_EQ(RecordedCalls(), (Calls{"DisplayClose"}));
}

TEST_F(FrameLoopTest, PumpMessagesDispatchesOneMessage)
{
    platform::InjectKey(kHostScancodeA, true);
    platform::InjectKey(kHostScancodeA, false);
    PumpMessages();
    EXPECT_EQ(KeyQueueCount(), 1);
    EXPECT_EQ(GetKeyStateBlock()[0x1E], 255); // the key-up waits for the next step
    PumpMessages();
    EXPECT_EQ(GetKeyStateBlock()[0x1E], 0);
    EXPECT_TRUE(RecordedCalls().empty()); // no frame runs
}

TEST_F(FrameLoopTest, PumpMessagesInIntroModeEndsOnAKey)
{
    gSettings.intro = 255;
    PumpMessages();
    EXPECT_EQ(gLoopFlags.quitRequest, 0);
    KeyQueuePush(kKeyA);
    PumpMessages();
    EXPECT_EQ(gLoopFlags.quitRequest, 255);

    gLoopFlags.quitRequest = 0;
    gSettings.demo = 255;
    PumpMessages();
    EXPECT_EQ(gSettings.intro, 0);
    EXPECT_EQ(gLoopFlags.quitRequest, 0);
    // The full start-up follows at the loop's next pass, not inside the
    // pump (here it has no data and ends the loop).
    int exitCode = 0;
    EXPECT_FALSE(RunFrameLoopPass(exitCode));
    EXPECT_EQ(exitCode, kExitFailure);
    gLoopFlags.quitRequest = 0;
}

TEST_F(FrameLoopTest, PumpMessagesEndsTheProcessOnQuit)
{
    EXPECT_EXIT(
        {
            platform::PostQuit(3);
            PumpMessages();
        },
        testing::ExitedWithCode(0), "");
}

// A headless run: N frames on a scripted clock with keys typed at given
// frames; the run stops through the quit request.
struct Timeline {
    int frames = 0;
    int reads = 0;
};
Timeline gTimeline;

void TimelineStep()
{
    ++gTimeline.reads;
    if (gTimeline.reads == 3)
        platform::InjectKey(kHostScancodeA, true);
    if (gTimeline.reads == 4)
        platform::InjectKey(kHostScancodeA, false);
    if (gTimeline.reads == gTimeline.frames)
        gLoopFlags.quitRequest = 255;
}

TEST_F(FrameLoopTest, HeadlessRunOfScriptedFrames)
{
    gTimeline = Timeline{.frames = 50};
    virtualclock::onRead = TimelineStep;

    EXPECT_EQ(RunFrameLoop(), 0);

    EXPECT_EQ(gTimeline.reads, 50);
    EXPECT_EQ(CountRecordedCalls("WindowPass"), 50u);
    EXPECT_EQ(CountRecordedCalls("DisplayPresent"), 50u);
    EXPECT_EQ(gFrameClock.gameClock, 150u);
    EXPECT_EQ(RecordedCalls().back(), "DisplayClose"); // shut down after the loop
    ASSERT_EQ(gHandledKeys.size(), 1u);                // typed at frame 3, handled by frame 4
    EXPECT_EQ(gHandledKeys[0] >> 8, 0x1E);
}

// Left to itself on the dummy drivers, the loop waits between idle passes
// instead of spinning: over two seconds it runs about as many frames as the
// display shows and uses a small share of one core. The game advances by
// the frame clock as before. (The exact share is in the frame-loop benchmark.)
TEST_F(FrameLoopTest, AnIdleLoopDoesNotSpin)
{
    const char* lifted = std::getenv(kUnpacedVariable);
    const std::string saved = lifted ? lifted : "";
    ::unsetenv(kUnpacedVariable);
    EnableCallTrace(false);

    auto cpuSeconds = [] {
        timespec t;
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
    };
    const double cpuStart = cpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    int passes = 0;
    const uint16_t framesBefore = gFrameClock.frameCounter;
    while (std::chrono::steady_clock::now() - wallStart < std::chrono::seconds(2)) {
        ASSERT_TRUE(Passes(1));
        ++passes;
    }
    const double cpu = cpuSeconds() - cpuStart;
    if (lifted)
        ::setenv(kUnpacedVariable, saved.c_str(), 1);

    // At most 60 a second, with room for a late start; a busy machine may
    // run fewer, but the loop never runs ahead of its pace.
    EXPECT_LT(passes, 2 * 70);
    EXPECT_GT(passes, 0);
    EXPECT_EQ(static_cast<uint16_t>(gFrameClock.frameCounter - framesBefore), passes);
    EXPECT_LT(cpu, 0.5) << "seconds of CPU time in 2 s of idle loop";
    EXPECT_EQ(gFrameClock.gameClock, 3u * passes); // 3 ticks a frame, as the frame clock says
}

} // namespace
