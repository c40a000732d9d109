// Fuzz target: the developer command file. The input is the file on the
// developer's drive H:; one poll reads it into the message log and deletes
// it when it holds fewer than 1,000 bytes, and leaves a larger one alone.
#include "fuzz/fuzz_support.h"
#include "platform/host.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "ui/messagelog.h"

#include <cstdint>
#include <filesystem>

namespace {

constexpr const char* kFile = "drive_h/zqk/resource/text/test/out.txt";

bool Start()
{
    fuzz::EnterScratchFolder({"drive_h/zqk/resource/text/test"});
    platform::SetDrive('H', platform::DriveType::Fixed, (fuzz::ScratchRoot() / "drive_h").c_str());
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    fuzz::WriteFile(kFile, data, size);
    gFrameClock.frameTicks = 1000; // the countdown runs out at this poll
    PollDevCommandFile();
    if (std::filesystem::exists(kFile) != (size > 999))
        __builtin_trap(); // read and deleted exactly when it is small enough
    guiClearMessageLog();
    std::error_code ignored;
    std::filesystem::remove(kFile, ignored);
    return 0;
}
