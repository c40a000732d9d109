// Every way the program ends while a sound plays on a real device (SDL's
// dummy driver, whose thread mixes in real time): the device stops before
// the end of the process frees the mixer's sample buffers, so the mixing
// thread never reads freed memory (which AddressSanitizer would report).
#include "platform/audio.h"
#include "system/errors.h"
#include "system/settings.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tone.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

// Set in the dying process once its sound plays: the last step of the
// process's end then waits, giving the mixing thread time to run on
// whatever the end has freed by then.
std::atomic<bool> gHoldAtTheEnd{false};

// Runs after every exit handler and static destructor (the executable's
// finalisers come last), so after the mixer's buffers are gone.
__attribute__((destructor)) void HoldAtTheEnd()
{
    if (gHoldAtTheEnd)
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void IgnoreBox(const char*, const char*) {}

// Opens the device, starts a one-second tone looping and waits until the
// device's thread has mixed some of it.
void PlayOnTheDevice()
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!platform::AudioOpen(platform::AudioOutput::Device))
        std::_Exit(100);
    const std::vector<uint8_t> bytes = tone::Sine(22050, 16, 1, 440, 1.0, 0.5);
    const platform::AudioBuffer b =
        platform::AudioCreateBuffer({22050, 1, 16}, bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (!platform::AudioPlay(b, true))
        std::_Exit(101);
    platform::AudioStatus status{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (platform::AudioGetStatus(b, &status) && status.position == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            std::_Exit(102);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    gHoldAtTheEnd = true;
}

struct ExitPath {
    const char* name;
    void (*end)();
    int code;
};
const ExitPath kExitPaths[] = {
    {"QuitProgram", [] { QuitProgram(3); }, 3},
    {"FatalError", [] { FatalError("No more TDPs left"); }, kExitFailure},
    {"DiagFailure", [] { DiagFailure("no memory"); }, kExitDiagnostic},
    {"DiagWarning", [] { DiagWarning("bad token"); }, kExitDiagnostic},
};

class ExitSoundDeathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gSettings = Settings{};
        SetMessageBoxHook(IgnoreBox);
        SetFatalStopHook(nullptr);
    }
    void TearDown() override { SetMessageBoxHook(nullptr); }
    ScratchFolder root{"exitsound", true}; // the fatal stop's log goes here
};

TEST_F(ExitSoundDeathTest, EveryExitStopsTheSoundBeforeItsBuffersAreFreed)
{
    for (const ExitPath& path : kExitPaths) {
        SCOPED_TRACE(path.name);
        EXPECT_EXIT(
            {
                PlayOnTheDevice();
                path.end();
            },
            ::testing::ExitedWithCode(path.code), ::testing::Not(::testing::HasSubstr("Sanitizer")));
    }
}

} // namespace
