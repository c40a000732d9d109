// Fuzz target: ".fnt" and ".fon" font files and vector font text.
#include "system/res/font.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> file(data, size);
    for (FontFile kind : {FontFile::Fnt, FontFile::Fon}) {
        std::size_t need = FontBuildSize(file, kind);
        if (need == 0 || need > (64u << 20))
            continue;
        std::vector<uint64_t> block((need + 7) / 8);
        RasterFont* font = FontBuild(file, kind, {reinterpret_cast<uint8_t*>(block.data()), need});
        if (!font)
            __builtin_trap(); // a file that sizes must build
        std::vector<uint8_t> again = FontFileBytes(*font, kind);
        (void)again;
    }
    std::vector<uint64_t> vector(kVectorFontBlockSize / 8 + 1);
    VectorFontBuild(file, {reinterpret_cast<uint8_t*>(vector.data()), kVectorFontBlockSize});
    return 0;
}
