// Block fill and copy loops: every alignment and length of a run against a
// byte-by-byte reference, the 3-byte patterns, bit expansion, and rectangle
// copies that overlap in one block.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "framework/blockops.h"

namespace {

std::vector<uint8_t> Pixel(int bytes, uint32_t colour)
{
    std::vector<uint8_t> p;
    for (int i = 0; i < bytes; ++i)
        p.push_back(uint8_t(colour >> (8 * i)));
    return p;
}

TEST(BlockOps, FillRunAtEveryAlignmentAndLength)
{
    alignas(64) uint8_t buffer[256];
    for (int bytes = 1; bytes <= 4; ++bytes) {
        for (uint32_t colour : {0x30201000u | uint32_t(bytes), 0x55555555u, 0xA1B2C3D4u}) {
            const std::vector<uint8_t> pixel = Pixel(bytes, colour);
            for (int start = 0; start < 16; ++start) {
                for (size_t n = 0; n <= 50; ++n) {
                    std::memset(buffer, 0xEE, sizeof buffer);
                    HxBlockFillRun(buffer + start, n, bytes, colour);
                    for (int i = 0; i < int(sizeof buffer); ++i) {
                        int k = i - start;
                        uint8_t want = k >= 0 && size_t(k) < n * size_t(bytes) ? pixel[size_t(k % bytes)] : 0xEE;
                        ASSERT_EQ(buffer[i], want) << "bytes " << bytes << " start " << start << " n " << n;
                    }
                }
            }
        }
    }
}

TEST(BlockOps, ThreeBytePixelsRepeatLowestByteFirst)
{
    alignas(8) uint8_t buffer[40] = {};
    HxBlockFillRun(buffer + 5, 10, 3, 0x102030);
    for (int i = 0; i < 30; i += 3) {
        EXPECT_EQ(buffer[5 + i], 0x30);
        EXPECT_EQ(buffer[6 + i], 0x20);
        EXPECT_EQ(buffer[7 + i], 0x10);
    }
    EXPECT_EQ(buffer[35], 0);
    HxBlockFillRun(buffer, 4, 3, 0x777777);
    // Equal bytes: a byte fill of 3n bytes.
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(buffer[i], 0x77);
    EXPECT_EQ(buffer[12], 0x20);
}

TEST(BlockOps, PixelSetAndGetAreLittleEndianAndIgnoreOddSizes)
{
    uint8_t p[8] = {};
    HxBlockPixelSet(p, 3, 0xAABBCCDD);
    EXPECT_EQ(p[0], 0xDD);
    EXPECT_EQ(p[2], 0xBB);
    EXPECT_EQ(p[3], 0);
    EXPECT_EQ(HxBlockPixelGet(p, 3), 0xBBCCDDu);
    EXPECT_EQ(HxBlockPixelGet(p, 2), 0xCCDDu);
    HxBlockPixelSet(p + 4, 5, 0xFFFFFFFF);
    HxBlockFillRun(p + 4, 2, 0, 0xFFFFFFFF);
    EXPECT_EQ(p[4], 0);
    EXPECT_EQ(HxBlockPixelGet(p, 0), 0u);
}

TEST(BlockOps, CopyBitsSetsOnlyTheSelectedBits)
{
    uint8_t row[8] = {};
    const uint8_t bits[1] = {0xFF};
    HxBlockCopyBits(row + 3, 8, bits, 1, 3, 5, 1, 1, 9);
    EXPECT_EQ(std::vector<uint8_t>(row, row + 8), (std::vector<uint8_t>{0, 0, 0, 9, 9, 0, 0, 0}));

    // Two rows of bits crossing bytes, 4-byte pixels, clear bits left alone.
    uint32_t pixels[2][12];
    for (auto& r : pixels)
        for (uint32_t& p : r)
            p = 0x11111111;
    const uint8_t two[2][2] = {{0b10100000, 0b01000000}, {0b00000001, 0b11000000}};
    HxBlockCopyBits(pixels, sizeof pixels[0], &two[0][0], 2, 2, 11, 2, 4, 0xCAFEF00D);
    const uint32_t o = 0x11111111, x = 0xCAFEF00D;
    EXPECT_EQ(std::vector<uint32_t>(pixels[0], pixels[0] + 10), (std::vector<uint32_t>{x, o, o, o, o, o, o, x, o, o}));
    EXPECT_EQ(std::vector<uint32_t>(pixels[1], pixels[1] + 10), (std::vector<uint32_t>{o, o, o, o, o, x, x, x, o, o}));
}

TEST(BlockOps, OverlappingRectangleCopiesReadBeforeTheyWrite)
{
    std::mt19937 rng(3);
    for (int trial = 0; trial < 300; ++trial) {
        const int bytes = 1 + int(rng() % 4);
        const int stride = 64;
        std::vector<uint8_t> block(stride * 20);
        for (uint8_t& b : block)
            b = uint8_t(rng());
        const uint32_t w = 1 + rng() % 12, h = 1 + rng() % 10;
        const int sx = int(rng() % 4), sy = int(rng() % 8), dx = int(rng() % 4), dy = int(rng() % 8);
        const bool bottomUp = rng() & 1;
        // Rows y of the rectangle at row (bottomUp ? 19 - y : y) of the block.
        auto at = [&](int x, int y) { return size_t((bottomUp ? 19 - y : y) * stride + x * bytes); };
        std::vector<uint8_t> want = block;
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(&want[at(dx, dy + int(y))], &block[at(sx, sy + int(y))], w * size_t(bytes));
        HxBlockCopyRect(&block[at(dx, dy)], &block[at(sx, sy)], w, h, bottomUp ? -stride : stride,
                        bottomUp ? -stride : stride, bytes);
        ASSERT_EQ(block, want) << "trial " << trial;
    }
}

} // namespace
