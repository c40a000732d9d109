// Fuzz target: IFF PBM chunks, BMHD, ByteRun1 and plain bodies, GRAB, CMAP.
#include "system/res/iff.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> file(data, size);
    IffPicture picture;
    GamePalette palette;
    if (!IffParse(file, &picture, {}, &palette) || !picture.hasBody)
        return 0;
    std::vector<uint8_t> pixels(static_cast<std::size_t>(picture.width) * picture.height);
    IffParse(file, &picture, pixels, &palette);
    return 0;
}
