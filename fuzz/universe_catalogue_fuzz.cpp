// Fuzz target: the developer tool's fixed-column star catalogue text, turned
// into the star table and written out as stars.bin. Whatever the columns
// hold (numbers past any range, missing fields, long lines), every star's
// name is terminated and its position finite, and the table written reads
// back as it was built.
#include "fuzz/fuzz_support.h"
#include "world/universe.h"

#include <cmath>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = (fuzz::EnterScratchFolder({}), true);
    (void)started;
    fuzz::WriteFile("catalogue.txt", data, size);
    if (!ImportStarCatalogue("catalogue.txt", 0, "stars.bin"))
        __builtin_trap(); // the scratch folder always takes the table
    for (int i = 0; i < kStarCount; ++i) {
        const Star& s = gStars[i];
        if (!std::memchr(s.name, 0, kStarNameSize))
            __builtin_trap();
        if (!std::isfinite(s.position.x) || !std::isfinite(s.position.y) || !std::isfinite(s.position.z))
            __builtin_trap();
    }
    if (!LoadStars("stars.bin") || gStarsLoaded != kStarCount)
        __builtin_trap();
    return 0;
}
