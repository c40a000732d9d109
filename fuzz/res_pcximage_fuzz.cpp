// Fuzz target: PcxLoad of any file, and what it loads saved and loaded
// again. A loaded picture must survive the round trip unchanged: the same
// size, pixels and palette, packed at once or not.
#include "fuzz/fuzz_support.h"
#include "system/res/pcx.h"

#include <cstdint>
#include <cstring>

namespace {

bool Start()
{
    fuzz::EnterScratchFolder({});
    return true;
}

bool Same(const PcxImage* a, const PcxImage* b)
{
    return a->width == b->width && a->height == b->height &&
           std::memcmp(a->pixels, b->pixels, static_cast<std::size_t>(a->width) * a->height) == 0 &&
           std::memcmp(a->palette, b->palette, kPcxPaletteSize) == 0;
}

// Saves the image, loads it back, and stops the run when it differs.
void RoundTrip(const PcxImage* image, const PcxImage* original)
{
    if (!PcxSave("out.pcx", image))
        __builtin_trap();
    PcxImage* again = PcxLoad("out.pcx");
    if (!again || !Same(again, original))
        __builtin_trap();
    PcxFree(again);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    fuzz::WriteFile("in.pcx", data, size);
    PcxImage* image = PcxLoad("in.pcx");
    if (!image)
        return 0;
    RoundTrip(image, image);
    PcxImage* copy = PcxCopy(image);
    if (copy) {
        RoundTrip(copy, image);
        PcxFree(copy);
    }
    PcxImage* packed = PcxFromPixels(image, kPcxPacked, image->pixels, image->width, image->height, image->palette);
    if (packed) {
        RoundTrip(packed, image);
        PcxFree(packed);
    }
    PcxFree(image);
    return 0;
}
