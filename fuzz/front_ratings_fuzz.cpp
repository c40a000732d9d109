// Fuzz target: the ratings file "ratings.txt": at most sixteen, each name
// terminated, and a rating for any score.
#include <cstdint>
#include <cstring>

#include "screens/frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int32_t count = ParseRatings(reinterpret_cast<const char*>(data), size);
    if (count < 0 || count > kMaxRatings || count != gRatingCount)
        __builtin_trap();
    for (int i = 0; i < count; ++i)
        if (std::memchr(gRatings[i].name, 0, sizeof gRatings[i].name) == nullptr)
            __builtin_trap();
    for (int32_t score : {INT32_MIN, -1, 0, 1000, INT32_MAX})
        if (RatingForScore(score) == nullptr)
            __builtin_trap();
    return 0;
}
