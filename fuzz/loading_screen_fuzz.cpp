// Fuzz target: the loading screen. The input is "loadscrn.pcx", decoded as
// start-up decodes it into the 640 x 480 screen: read within its size cap,
// clipped to the screen, with its palette when it has one. Whatever the
// picture holds, nothing is written outside the screen, and a picture that
// decodes without its palette says so.
#include "fuzz/fuzz_support.h"
#include "system/res/loaders.h"

#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr uint8_t kGuard = 0xA5;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool made = (fuzz::EnterScratchFolder({"zqk/resource/art"}), true);
    (void)made;
    fuzz::WriteFile("zqk/resource/art/loadscrn.pcx", data, size);
    // The screen with a guard row on each side.
    std::vector<uint8_t> screen(static_cast<std::size_t>(kWidth) * (kHeight + 2), kGuard);
    GamePalette palette{};
    bool withPalette = true;
    const bool shown = DecodeScreenPicture("zqk\\resource\\art\\loadscrn.pcx", screen.data() + kWidth, kWidth,
                                           kHeight, &palette, &withPalette);
    if (!shown && withPalette)
        __builtin_trap();
    for (int x = 0; x < kWidth; ++x)
        if (screen[x] != kGuard || screen[screen.size() - 1 - x] != kGuard)
            __builtin_trap();
    return 0;
}
