// Fuzz target: loading by name through the resource manager. The first
// byte of the input picks the conversion type, the rest is the file; the
// resource is registered, loaded and released back to the mark, so every
// loader runs behind the manager's own size query and pool block.
#include "fuzz/fuzz_support.h"
#include "system/errors.h"
#include "system/res/resman.h"
#include "system/settings.h"

#include <cstdint>

namespace {

void IgnoreMessageBox(const char*, const char*) {}

// clang-format off
constexpr ResType kTypes[] = {
    ResType::LbmPalette, ResType::LbmRaster, ResType::PcxPalette, ResType::PcxRaster,
    ResType::PcxBackdrop, ResType::ColourMap, ResType::FntFont,   ResType::FonFont,
    ResType::VectorFont, ResType::Text,      ResType::Sound,      ResType::RasterHeader,
};
// clang-format on
constexpr const char* kName = "zqk\\resource\\fuzz\\input.dat";

bool Start()
{
    fuzz::EnterScratchFolder({"zqk/resource/fuzz"});
    SetMessageBoxHook(IgnoreMessageBox);
    SetFatalStopHook(fuzz::ThrowOnFatalStop);
    gSettings.sound = 255;
    gSettings.debuggerOutput = 255;
    if (ResInit() == 0)
        std::abort();
    ResMark();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    if (size == 0)
        return 0;
    const ResType type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
    fuzz::WriteFile("zqk/resource/fuzz/input.dat", data + 1, size - 1);
    const std::size_t usedBefore = ResPoolUsed();
    try {
        Resource* r = ResLoadNamed(kName, type);
        if (r && r->data && r->size >= 0 && ResPoolUsed() > ResPoolSize())
            __builtin_trap();
    } catch (const fuzz::Stopped&) {
    }
    ResReleaseToMark();
    if (ResPoolUsed() != usedBefore)
        __builtin_trap();
    return 0;
}
