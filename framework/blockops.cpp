// Block fill and copy loops. Fills build an 8-byte pattern of the pixel and
// store it a vector at a time: one unaligned vector at each end of the run
// and aligned ones between (the ends may overlap them; every store begins a
// whole number of pixels from the start, so it writes the same bytes). A
// pixel whose bytes are all equal is a memset; 3-byte pixels use the 24-byte
// pattern that repeats every eight pixels.
// Copies are byte moves (memmove), which the C library already does with the
// widest stores the processor has.
#include "framework/blockops.h"

#include <cstring>

namespace {

constexpr uint32_t kFlatSegment = 0x2B;

inline void StorePixel(uint8_t* p, int bytes, uint32_t colour)
{
    HxBlockPixelSet(p, bytes, colour);
}

inline void StoreQuad(uint8_t* p, uint64_t pattern)
{
    std::memcpy(p, &pattern, sizeof pattern);
}

// The pixel repeated to fill a quadword (sizes 1, 2 and 4).
inline uint64_t Pattern(int bytes, uint32_t colour)
{
    uint64_t pattern = 0;
    for (int shift = 0; shift < 64; shift += bytes * 8)
        pattern |= uint64_t(colour & (bytes == 4 ? 0xFFFFFFFFu : (1u << (bytes * 8)) - 1)) << shift;
    return pattern;
}

// Runs of fewer than 32 bytes, n a whole number of pixels from pixel-aligned
// p: quadwords, the last one overlapping, or pixels below eight bytes.
inline void FillShort(uint8_t* p, size_t n, int bytes, uint64_t pattern, uint32_t colour)
{
    if (n < 8) {
        for (size_t i = 0; i < n; i += size_t(bytes))
            StorePixel(p + i, bytes, colour);
        return;
    }
    for (size_t i = 0; i + 8 < n; i += 8)
        StoreQuad(p + i, pattern);
    StoreQuad(p + n - 8, pattern);
}

// n bytes (a whole number of pixels, at least 32) of the pattern from
// pixel-aligned p with vectors of type V.
template <typename V>
inline void FillVectors(uint8_t* p, size_t n, uint64_t pattern)
{
    constexpr size_t kSize = sizeof(V);
    uint64_t quads[kSize / 8];
    for (uint64_t& q : quads)
        q = pattern;
    V v;
    std::memcpy(&v, quads, kSize);
    uint8_t* end = p + n;
    std::memcpy(p, &v, kSize);
    // A pixel-aligned start keeps the aligned stores on pixel boundaries.
    uint8_t* q = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(p) + kSize) & ~uintptr_t(kSize - 1));
    for (; q + 4 * kSize <= end; q += 4 * kSize) {
        std::memcpy(q, &v, kSize);
        std::memcpy(q + kSize, &v, kSize);
        std::memcpy(q + 2 * kSize, &v, kSize);
        std::memcpy(q + 3 * kSize, &v, kSize);
    }
    for (; q + kSize <= end; q += kSize)
        std::memcpy(q, &v, kSize);
    std::memcpy(end - kSize, &v, kSize);
}

using Bytes32 = uint8_t __attribute__((vector_size(32)));
using Bytes16 = uint8_t __attribute__((vector_size(16)));

// Rows of the pattern: 32-byte stores where the processor has them (chosen
// once, at the first fill), else 16-byte ones.
[[gnu::target("avx2")]] void FillRowsWide(uint8_t* p, size_t n, size_t rows, ptrdiff_t stride, uint64_t pattern)
{
    for (size_t y = 0; y < rows; ++y, p += stride)
        FillVectors<Bytes32>(p, n, pattern);
}

void FillRowsNarrow(uint8_t* p, size_t n, size_t rows, ptrdiff_t stride, uint64_t pattern)
{
    for (size_t y = 0; y < rows; ++y, p += stride)
        FillVectors<Bytes16>(p, n, pattern);
}

// `rows` runs of n pixels of 2 or 4 bytes, `stride` bytes apart.
void FillPow2(uint8_t* p, size_t n, size_t rows, ptrdiff_t stride, int bytes, uint32_t colour)
{
    uint64_t pattern = Pattern(bytes, colour);
    size_t length = n * size_t(bytes);
    if ((reinterpret_cast<uintptr_t>(p) & uintptr_t(bytes - 1)) != 0) {
        // Pixels off their alignment (none a pixelmap makes): one at a time.
        for (size_t y = 0; y < rows; ++y, p += stride)
            for (size_t i = 0; i < length; i += size_t(bytes))
                StorePixel(p + i, bytes, colour);
        return;
    }
    if (length < 32) {
        for (size_t y = 0; y < rows; ++y, p += stride)
            FillShort(p, length, bytes, pattern, colour);
        return;
    }
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide)
        FillRowsWide(p, length, rows, stride, pattern);
    else
        FillRowsNarrow(p, length, rows, stride, pattern);
}

void Fill24(uint8_t* p, size_t n, uint32_t colour)
{
    uint8_t b0 = uint8_t(colour), b1 = uint8_t(colour >> 8), b2 = uint8_t(colour >> 16);
    if (b0 == b1 && b1 == b2) {
        std::memset(p, b0, n * 3);
        return;
    }
    // Pixels of 3 bytes that bring p to an 8-byte boundary.
    static constexpr uint8_t kHead[8] = {0, 3, 6, 1, 4, 7, 2, 5};
    size_t head = kHead[(8 - (reinterpret_cast<uintptr_t>(p) & 7)) & 7];
    if (head > n)
        head = n;
    for (size_t i = 0; i < head; ++i, p += 3)
        StorePixel(p, 3, colour);
    n -= head;
    uint8_t block[24];
    for (int i = 0; i < 24; i += 3) {
        block[i] = b0;
        block[i + 1] = b1;
        block[i + 2] = b2;
    }
    uint64_t q[3];
    std::memcpy(q, block, sizeof q);
    for (; n >= 8; n -= 8, p += 24) {
        StoreQuad(p, q[0]);
        StoreQuad(p + 8, q[1]);
        StoreQuad(p + 16, q[2]);
    }
    for (; n > 0; --n, p += 3)
        StorePixel(p, 3, colour);
}

// Expands one row of bits into pixels of a fixed size.
template <int Bytes>
void BitsRow(uint8_t* to, const uint8_t* bits, uint32_t first, uint32_t end, uint32_t colour)
{
    for (uint32_t bit = first; bit < end;) {
        uint32_t byte = bits[bit >> 3];
        uint32_t stop = (bit | 7) + 1 < end ? (bit | 7) + 1 : end;
        if (byte == 0) {
            to += (stop - bit) * Bytes;
            bit = stop;
            continue;
        }
        for (; bit < stop; ++bit, to += Bytes)
            if (byte & (0x80u >> (bit & 7)))
                StorePixel(to, Bytes, colour);
    }
}

// `rows` runs of n pixels, `stride` bytes apart, the pattern chosen once.
void FillRows(uint8_t* p, size_t n, size_t rows, ptrdiff_t stride, int bytes, uint32_t colour)
{
    if (n == 0)
        return;
    switch (bytes) {
    case 1:
        for (size_t y = 0; y < rows; ++y, p += stride)
            std::memset(p, int(colour & 0xFF), n);
        break;
    case 2:
    case 4: {
        uint64_t pattern = Pattern(bytes, colour);
        if (pattern == (pattern & 0xFF) * 0x0101010101010101ull) {
            for (size_t y = 0; y < rows; ++y, p += stride)
                std::memset(p, int(pattern & 0xFF), n * size_t(bytes));
        } else {
            FillPow2(p, n, rows, stride, bytes, colour);
        }
        break;
    }
    case 3:
        for (size_t y = 0; y < rows; ++y, p += stride)
            Fill24(p, n, colour);
        break;
    default:
        break;
    }
}

} // namespace

uint32_t HxBlockDataSegment()
{
    return kFlatSegment;
}

uint32_t HxBlockPixelGet(const void* address, int bytes)
{
    if (bytes < 1 || bytes > 4)
        return 0;
    const auto* p = static_cast<const uint8_t*>(address);
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

void HxBlockFillRun(void* address, size_t n, int bytes, uint32_t colour)
{
    FillRows(static_cast<uint8_t*>(address), n, 1, 0, bytes, colour);
}

void HxBlockFillRect(void* address, uint32_t width, uint32_t height, ptrdiff_t stride, int bytes,
                     uint32_t colour)
{
    FillRows(static_cast<uint8_t*>(address), width, height, stride, bytes, colour);
}

void HxBlockCopyRun(void* to, const void* from, size_t n, int bytes)
{
    if (n > 0 && bytes >= 1 && bytes <= 4)
        std::memmove(to, from, n * size_t(bytes));
}

void HxBlockCopyRect(void* to, const void* from, uint32_t width, uint32_t height, ptrdiff_t toStride,
                     ptrdiff_t fromStride, int bytes)
{
    if (bytes < 1 || bytes > 4 || height == 0 || width == 0)
        return;
    auto* dst = static_cast<uint8_t*>(to);
    const auto* src = static_cast<const uint8_t*>(from);
    size_t run = size_t(width) * size_t(bytes);
    // Within one block, a destination that lies further along the rows than
    // its source would overwrite source rows not yet read: go backwards.
    uintptr_t d = reinterpret_cast<uintptr_t>(dst), s = reinterpret_cast<uintptr_t>(src);
    bool backwards = toStride == fromStride && d != s && ((d > s) == (toStride > 0));
    if (backwards) {
        dst += toStride * ptrdiff_t(height - 1);
        src += fromStride * ptrdiff_t(height - 1);
        toStride = -toStride;
        fromStride = -fromStride;
    }
    for (uint32_t y = 0; y < height; ++y, dst += toStride, src += fromStride)
        std::memmove(dst, src, run);
}

void HxBlockCopyBits(void* to, ptrdiff_t toStride, const uint8_t* bits, ptrdiff_t bitsStride, uint32_t firstBit,
                     uint32_t endBit, uint32_t rows, int bytes, uint32_t colour)
{
    if (endBit <= firstBit)
        return;
    using RowFn = void (*)(uint8_t*, const uint8_t*, uint32_t, uint32_t, uint32_t);
    static constexpr RowFn kRows[5] = {nullptr, BitsRow<1>, BitsRow<2>, BitsRow<3>, BitsRow<4>};
    if (bytes < 1 || bytes > 4)
        return;
    RowFn row = kRows[bytes];
    auto* dst = static_cast<uint8_t*>(to);
    for (uint32_t y = 0; y < rows; ++y, dst += toStride, bits += bitsStride)
        row(dst, bits, firstBit, endBit, colour);
}
