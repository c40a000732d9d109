// Fuzz target: the star catalogue (stars.bin): any length, any bytes.
#include <cstdint>
#include <cstring>

#include "world/universe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const bool whole = ParseStars(data, size);
    if (whole != (size >= kStarFileSize))
        __builtin_trap();
    if (!whole && (gStarsLoaded != 0 || gNamedStarCount != 0))
        __builtin_trap(); // a short file leaves the sky empty
    for (int i = 0; i < gStarsLoaded; ++i)
        if (std::strlen(gStars[i].namePointer) > size_t(kStarNameSize))
            __builtin_trap();
    (void)FindStar("Sol", gStarsLoaded);
    (void)FindStar("3", gStarsLoaded);
    (void)LookUpStarName(1);
    // What is read is written back byte for byte.
    if (whole) {
        uint8_t record[kStarRecordSize];
        for (int i = 0; i < 8; ++i) {
            Star s = gStars[i];
            s.flags = 0;
            EncodeStarRecord(s, record);
            if (std::memcmp(record, data + i * kStarRecordSize + 0, 12) != 0)
                __builtin_trap();
        }
    }
    return 0;
}
