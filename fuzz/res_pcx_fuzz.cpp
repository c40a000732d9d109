// Fuzz target: PCX header, body decoding (into an exact-size buffer, and
// clipped into a small one) and palette.
#include "system/res/pcx.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> file(data, size);
    PcxInfo info;
    if (!PcxReadInfo(file, &info))
        return 0;
    std::size_t pixels = static_cast<std::size_t>(info.width) * info.height;
    if (pixels <= (16u << 20)) {
        std::vector<uint8_t> picture(pixels);
        PcxDecodeBody(file, info, picture.data(), info.width, info.width, info.height);
    }
    uint8_t small[7 * 5];
    PcxDecodeBody(file, info, small, 7, 7, 5);
    GamePalette palette;
    PcxReadPalette(file, &palette);
    return 0;
}
