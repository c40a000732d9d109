// The frame loop: the program's one loop, which takes and dispatches every
// waiting window message and, whenever none waits, runs one frame; the frame
// body, which drives the script, the simulation, the display and the UI in a
// fixed order; and the one-step message pump for loading code and modal waits.
//
// The frame clock itself is system/frameclock.h; the key handler that the
// frame hands every queued key is the screens' (ui/screens.h).
#pragma once

#include <cstdint>

// Runs one frame. Returns 0 when it did nothing (intro mode) or ended in the
// end screen, else 1.
int RunFrame();

// One step of message handling. A quit message shuts the program down and
// ends the process with exit code 0.
void PumpMessages();

// The environment variable that lifts the pacing of idle passes (any value
// but "0"): tests and benchmarks run passes back to back.
constexpr const char* kUnpacedVariable = "KELVANDRIST_UNPACED";
// The environment variable that fixes the frame time (seconds, above 0 and
// at most 0.2): every frame then advances the game by exactly that much,
// however long it took, so that a run on the dummy drivers goes faster than
// real time and the same way every time.
constexpr const char* kFrameSecondsVariable = "KELVANDRIST_FRAME_SECONDS";

// Reads $KELVANDRIST_FRAME_SECONDS and, when it holds a valid time, makes the
// frame clock read a counter that only the frame loop advances, one frame
// time a frame; films and clips are timed by the same counter. Run before
// the frame clock starts; false (and the real clock) when the variable is
// unset or not a valid time.
bool UseFixedFrameTimeFromEnvironment();

// The environment variable that seeds the game's random numbers (a whole
// number 0 .. 2^32 - 1): a test flies a mission under several seeds, each
// the same way every time. Unset, the generator keeps its own start.
constexpr const char* kSeedVariable = "KELVANDRIST_SEED";

// Reads $KELVANDRIST_SEED and seeds the generator with it; false when it is
// unset or not a number (then named on the debug output).
bool SeedFromEnvironment();

// One pass of the loop: takes and dispatches one waiting message, or, with
// none waiting, runs the frame step (or, while paused, looks for the key that
// ends the pause) and then waits out the rest of the pass's share of the
// display's rate (60 passes a second), unless the pacing is lifted. Returns false when the loop is to end: a quit message
// (its exit code is stored) or the quit request.
bool RunFrameLoopPass(int& exitCode);

// The loop at the end of the entry: runs until a quit message or the quit
// request, shuts the program down (ShutDown) and returns the last message's
// parameter: the quit message's exit code, else 0.
int RunFrameLoop();
