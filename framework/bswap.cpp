// Byte order helpers.
#include "framework/bswap.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "framework/diag.h"

uint32_t HxSwap32(uint32_t v)
{
    return __builtin_bswap32(v);
}

uint16_t HxSwap16(uint16_t v)
{
    return __builtin_bswap16(v);
}

float HxSwapFloat(float v)
{
    return std::bit_cast<float>(__builtin_bswap32(std::bit_cast<uint32_t>(v)));
}

void HxSwapBlock(void* block, uint32_t count, uint32_t size)
{
    HX_CHECK(block != nullptr, "bswap", 30, );
    HX_CHECK(count != 0, "bswap", 31, );
    HX_CHECK(size != 0, "bswap", 32, );
    auto* p = static_cast<uint8_t*>(block);
    switch (size) {
    case 1:
        return;
    case 2:
        for (uint32_t i = 0; i < count; ++i, p += 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            v = __builtin_bswap16(v);
            std::memcpy(p, &v, 2);
        }
        return;
    case 3:
        for (uint32_t i = 0; i < count; ++i, p += 3)
            std::swap(p[0], p[2]);
        return;
    case 4:
        for (uint32_t i = 0; i < count; ++i, p += 4) {
            uint32_t v;
            std::memcpy(&v, p, 4);
            v = __builtin_bswap32(v);
            std::memcpy(p, &v, 4);
        }
        return;
    case 8:
        for (uint32_t i = 0; i < count; ++i, p += 8) {
            uint64_t v;
            std::memcpy(&v, p, 8);
            v = __builtin_bswap64(v);
            std::memcpy(p, &v, 8);
        }
        return;
    default:
        for (uint32_t i = 0; i < count; ++i, p += size)
            std::reverse(p, p + size);
    }
}
