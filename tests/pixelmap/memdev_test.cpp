// The memory device: clipping, lines against independently computed pixel
// sets, and randomised fills and copies against a naive per-pixel model.
#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <utility>

#include "tests/pixelmap/pm_fixture.h"

namespace {

using PixelSet = std::set<std::pair<int, int>>;

PixelSet Inked(hx_pixelmap* pm)
{
    PixelSet set;
    for (int y = 0; y < pm->height; ++y)
        for (int x = 0; x < pm->width; ++x)
            if (HxPixelmapPixelQuery(pm, x - pm->origin_x, y - pm->origin_y))
                set.insert({x, y});
    return set;
}

// ---- clipping ---------------------------------------------------------------------------

TEST_F(PixelmapTest, PointClipCoversBothEndsInclusive)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 10, 6, nullptr, 0);
    hx_point out;
    const struct {
        hx_point p;
        int result;
    } cases[] = {{{10, 0}, 0}, {{9, 5}, 2}, {{0, 0}, 2}, {{-1, 0}, 0}, {{0, 6}, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(PixelmapPointClip(&out, &c.p, pm), c.result) << c.p.x << "," << c.p.y;
    pm->origin_x = 2;
    hx_point p = {-2, 0};
    EXPECT_EQ(PixelmapPointClip(&out, &p, pm), 2);
    EXPECT_EQ(out.x, 0);
}

TEST_F(PixelmapTest, RectangleClipCutsToThePixelmap)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 10, 6, nullptr, 0);
    pm->origin_x = 1;
    pm->origin_y = -1;
    const struct {
        hx_rectangle in;
        int result;
        hx_rectangle out;
    } cases[] = {
        {{0, 1, 3, 2}, 1, {1, 0, 3, 2}},
        {{-5, -5, 100, 100}, 1, {0, 0, 10, 6}},
        {{9, 1, 5, 5}, 0, {}},             // x' = 10: right of the pixelmap
        {{-4, 1, 3, 5}, 0, {}},            // ends at x' = 0
        {{2, 2, 0, 4}, 0, {}},             // empty
        {{2, 2, -3, 4}, 0, {}},            // negative
        {{INT32_MAX - 2, 1, 9, 9}, 0, {}}, // far away, no overflow
        {{INT32_MIN, 1, INT32_MAX, 9}, 0, {}},
    };
    for (const auto& c : cases) {
        hx_rectangle out = {};
        ASSERT_EQ(PixelmapRectangleClip(&out, &c.in, pm), c.result) << c.in.x << "," << c.in.y;
        if (c.result) {
            EXPECT_EQ(out.x, c.out.x);
            EXPECT_EQ(out.y, c.out.y);
            EXPECT_EQ(out.w, c.out.w);
            EXPECT_EQ(out.h, c.out.h);
        }
    }
}

TEST_F(PixelmapTest, TwoPixelmapClipMovesSourceAndDestinationTogether)
{
    hx_pixelmap* dst = HxPixelmapAllocate(HX_PMT_INDEX_8, 10, 10, nullptr, 0);
    hx_pixelmap* src = HxPixelmapAllocate(HX_PMT_INDEX_8, 6, 6, nullptr, 0);
    hx_rectangle s;
    hx_point d;
    // Destination left of the pixelmap: the source moves right as much.
    hx_rectangle r = {0, 0, 6, 6};
    hx_point p = {-2, 8};
    ASSERT_EQ(PixelmapRectangleClipTwo(&s, &d, &r, &p, dst, src), 1);
    EXPECT_EQ(s.x, 2);
    EXPECT_EQ(s.y, 0);
    EXPECT_EQ(s.w, 4);
    EXPECT_EQ(s.h, 2);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 8);
    // Source above its pixelmap: the destination moves down as much.
    r = {1, -3, 3, 5};
    p = {4, 4};
    ASSERT_EQ(PixelmapRectangleClipTwo(&s, &d, &r, &p, dst, src), 1);
    EXPECT_EQ(s.y, 0);
    EXPECT_EQ(s.h, 2);
    EXPECT_EQ(d.y, 7);
    p = {10, 0};
    EXPECT_EQ(PixelmapRectangleClipTwo(&s, &d, &r, &p, dst, src), 0);
}

TEST_F(PixelmapTest, CopyBitsClipMovesTheBitsRectangle)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 8, 8, nullptr, 0);
    hx_rectangle bits = {3, 0, 6, 4}, outBits;
    hx_point p = {-2, -1}, outP;
    ASSERT_EQ(PixelmapCopyBitsClip(&outBits, &outP, &bits, &p, pm), 1);
    EXPECT_EQ(outBits.x, 5);
    EXPECT_EQ(outBits.y, 1);
    EXPECT_EQ(outBits.w, 4);
    EXPECT_EQ(outBits.h, 3);
    EXPECT_EQ(outP.x, 0);
    EXPECT_EQ(outP.y, 0);
    p = {8, 0};
    EXPECT_EQ(PixelmapCopyBitsClip(&outBits, &outP, &bits, &p, pm), 0);
}

TEST_F(PixelmapTest, MemoryCopyBitsStartingDeepInTheBitRows)
{
    // 16-bit-wide bit rows; drawing bits 9..13 must match the generic method.
    const uint8_t bits[2 * 3] = {0xFF, 0b01011010, 0x00, 0b11111111, 0xAA, 0b10000001};
    hx_device_pixelmap_dispatch generic = HxMemoryPixelmapClass;
    generic.copyBits = _M_hx_device_pixelmap_gen_copyBits;
    hx_pixelmap* a = HxPixelmapAllocate(HX_PMT_RGB_888, 8, 4, nullptr, 0);
    hx_pixelmap* b = HxPixelmapAllocate(HX_PMT_RGB_888, 8, 4, nullptr, 0);
    b->dispatch = &generic.object;
    for (hx_pixelmap* pm : {a, b}) {
        HxPixelmapFill(pm, 0);
        HxPixelmapCopyBits(pm, -1, 1, bits, 2, 9, 14, 3, 0x123456);
    }
    EXPECT_EQ(PmSnapshot(a), PmSnapshot(b));
    EXPECT_EQ(Inked(a), (PixelSet{{1, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}, {3, 2}}));
}

// ---- lines ------------------------------------------------------------------------------

TEST_F(PixelmapTest, LineIsClippedToThePixelmap)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 3, nullptr, 0);
    HxPixelmapFill(pm, 0);
    HxPixelmapLine(pm, -5, 0, 5, 0, 1);
    EXPECT_EQ(Inked(pm), (PixelSet{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
    // Lines that miss the pixelmap past a corner draw nothing.
    HxPixelmapFill(pm, 0);
    HxPixelmapLine(pm, -3, 1, 1, -3, 1);
    HxPixelmapLine(pm, 2, 5, 6, 1, 1);
    HxPixelmapLine(pm, -1000000, -999990, 1000000, 1000010, 1);
    EXPECT_EQ(Inked(pm), PixelSet{});
    // Far ends are clipped without overflow: y = x + 1.
    HxPixelmapLine(pm, -1000000, -999999, 1000000, 1000001, 1);
    EXPECT_EQ(Inked(pm), (PixelSet{{0, 1}, {1, 2}}));
}

// The pixels of the segment as the ideal line rounds them: one per step of
// the major axis, each within half a pixel of the line, and the set the same
// read from either end (except the centre pixel of an exact tie).
void ExpectIdealLine(const PixelSet& got, hx_point a, hx_point b)
{
    int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
    bool steep = dy > dx;
    int major = steep ? dy : dx, minor = steep ? dx : dy;
    ASSERT_EQ(got.size(), size_t(major) + 1) << a.x << "," << a.y << " - " << b.x << "," << b.y;
    EXPECT_TRUE(got.count({a.x, a.y}) && got.count({b.x, b.y}));
    int sx = b.x >= a.x ? 1 : -1, sy = b.y >= a.y ? 1 : -1;
    std::set<int> steps;
    for (auto [x, y] : got) {
        int u = (x - a.x) * sx, v = (y - a.y) * sy; // along the line, 0 .. dx / dy
        int i = steep ? v : u, j = steep ? u : v;
        ASSERT_TRUE(i >= 0 && i <= major && j >= 0 && j <= minor);
        steps.insert(i);
        // |j - i * minor / major| <= 1/2
        EXPECT_LE(std::abs(2 * (j * major - i * minor)), major) << i << "," << j;
        if (2 * i != major) {
            EXPECT_TRUE(got.count({a.x + b.x - x, a.y + b.y - y})) << "not symmetric at " << x << "," << y;
        }
    }
    EXPECT_EQ(steps.size(), size_t(major) + 1);
}

TEST_F(PixelmapTest, LinesInAllOctantsAreIdealAndSymmetric)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 41, 41, nullptr, 0);
    pm->origin_x = 20;
    pm->origin_y = 20;
    for (int ex = -20; ex <= 20; ++ex) {
        for (int ey = -20; ey <= 20; ++ey) {
            HxPixelmapFill(pm, 0);
            HxPixelmapLine(pm, 0, 0, ex, ey, 1);
            PixelSet forward = Inked(pm);
            ExpectIdealLine(forward, {20, 20}, {20 + ex, 20 + ey});
            HxPixelmapFill(pm, 0);
            HxPixelmapLine(pm, ex, ey, 0, 0, 1);
            ASSERT_EQ(Inked(pm), forward) << ex << "," << ey;
        }
    }
}

TEST_F(PixelmapTest, RandomLinesMatchTheGenericMethodAndClipInside)
{
    hx_device_pixelmap_dispatch generic = HxMemoryPixelmapClass;
    generic.line = _M_hx_device_pixelmap_gen_line;
    hx_pixelmap* a = HxPixelmapAllocate(HX_PMT_RGB_565, 37, 23, nullptr, HX_PMAF_INVERTED);
    hx_pixelmap* b = HxPixelmapAllocate(HX_PMT_RGB_565, 37, 23, nullptr, HX_PMAF_INVERTED);
    b->dispatch = &generic.object;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-60, 90);
    for (int i = 0; i < 400; ++i) {
        hx_point p = {coord(rng), coord(rng)}, q = {coord(rng), coord(rng)};
        for (hx_pixelmap* pm : {a, b}) {
            HxPixelmapFill(pm, 0);
            HxPixelmapLine(pm, p.x, p.y, q.x, q.y, 0xF00D);
        }
        ASSERT_EQ(PmSnapshot(a), PmSnapshot(b)) << i;
        // Lines wholly inside are ideal; clipped ones stay inside (ASan
        // watches the block).
        if (std::min({p.x, p.y, q.x, q.y}) >= 0 && std::max(p.x, q.x) < 37 && std::max(p.y, q.y) < 23) {
            ExpectIdealLine(Inked(a), p, q);
        }
    }
}

TEST_F(PixelmapTest, RectangleOutlinesFourEdges)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 6, 5, nullptr, 0);
    HxPixelmapFill(pm, 0);
    EXPECT_EQ(HxPixelmapRectangle2(pm, 1, 1, 4, 3, 1, 2), HX_OK);
    std::vector<uint32_t> rows;
    for (int y = 0; y < 5; ++y) {
        uint32_t row = 0;
        for (int x = 0; x < 6; ++x)
            row = row * 10 + HxPixelmapPixelQuery(pm, x, y);
        rows.push_back(row);
    }
    // Top and left in the first colour, then bottom and right in the second.
    EXPECT_EQ(rows, (std::vector<uint32_t>{0, 11120, 10020, 22220, 0}));
}

// ---- randomised fills and copies against a per-pixel model --------------------------

// A model of one whole pixelmap: its block as bytes, changed pixel by pixel.
struct Model {
    hx_pixelmap* pm;
    int bytes;
    std::vector<uint8_t> block;

    bool Inside(int64_t x, int64_t y) const { return x >= 0 && y >= 0 && x < pm->width && y < pm->height; }
    uint32_t Get(int x, int y) const { return PmRead(block, PmOffset(pm, x, y, bytes), bytes); }
    void Set(int x, int y, uint32_t v) { PmWrite(block, PmOffset(pm, x, y, bytes), bytes, v); }
};

const uint8_t kTypesByBytes[5] = {0, HX_PMT_INDEX_8, HX_PMT_RGB_565, HX_PMT_RGB_888, HX_PMT_RGBX_888};

Model Make(std::mt19937& rng, int bytes, int w, int h)
{
    bool inverted = rng() & 1;
    hx_pixelmap* pm = HxPixelmapAllocate(kTypesByBytes[bytes], uint16_t(w), uint16_t(h), nullptr,
                                         inverted ? uint32_t(HX_PMAF_INVERTED) : 0u);
    uint8_t* block = PmBlock(pm);
    for (size_t i = 0; i < PmBlockSize(pm); ++i)
        block[i] = uint8_t(rng());
    pm->origin_x = int16_t(int(rng() % 7) - 3);
    pm->origin_y = int16_t(int(rng() % 7) - 3);
    return {pm, bytes, PmSnapshot(pm)};
}

class RandomBlocks : public PixelmapTest, public ::testing::WithParamInterface<int> {};

TEST_P(RandomBlocks, FillsAndCopiesMatchTheModelByteForByte)
{
    const int bytes = GetParam();
    std::mt19937 rng(1000 + bytes);
    auto dim = [&] { return 1 + int(rng() % 40); };
    auto pos = [&](int size) { return int(rng() % uint32_t(size + 24)) - 12; };
    for (int trial = 0; trial < 250; ++trial) {
        Model dst = Make(rng, bytes, dim(), dim());
        const uint32_t colour = uint32_t(rng());
        const int op = int(rng() % 5);
        if (op == 0) {
            // Whole fill (one linear run when rows are exact).
            HxPixelmapFill(dst.pm, colour);
            for (int y = 0; y < dst.pm->height; ++y)
                for (int x = 0; x < dst.pm->width; ++x)
                    dst.Set(x, y, colour);
        } else if (op == 1) {
            hx_rectangle r = {pos(dst.pm->width), pos(dst.pm->height), int(rng() % 50) - 2, int(rng() % 50) - 2};
            if (trial % 4 == 0) // whole rows
                r = {-dst.pm->origin_x, r.y, dst.pm->width, r.h};
            EXPECT_EQ(HxPixelmapRectangleFill(dst.pm, r.x, r.y, r.w, r.h, colour), HX_OK);
            for (int j = 0; j < r.h; ++j)
                for (int i = 0; i < r.w; ++i) {
                    int64_t x = int64_t(r.x) + dst.pm->origin_x + i, y = int64_t(r.y) + dst.pm->origin_y + j;
                    if (dst.Inside(x, y))
                        dst.Set(int(x), int(y), colour);
                }
        } else if (op == 2 || op == 3) {
            // Copy from another pixelmap (op 2) or within this one (op 3).
            Model other = op == 2 ? Make(rng, bytes, dim(), dim()) : dst;
            Model& src = op == 2 ? other : dst;
            const Model before = src;
            hx_rectangle r = {pos(src.pm->width), pos(src.pm->height), int(rng() % 45), int(rng() % 45)};
            hx_point p = {pos(dst.pm->width), pos(dst.pm->height)};
            if (trial % 3 == 0 && op == 2) { // whole rows of equal pixelmaps
                src.pm->origin_x = dst.pm->origin_x;
                r = {-src.pm->origin_x, r.y, src.pm->width, r.h};
                p.x = -dst.pm->origin_x;
            }
            EXPECT_EQ(HxPixelmapRectangleCopy(dst.pm, p.x, p.y, src.pm, r.x, r.y, r.w, r.h), HX_OK);
            for (int j = 0; j < r.h; ++j)
                for (int i = 0; i < r.w; ++i) {
                    int64_t sx = int64_t(r.x) + src.pm->origin_x + i, sy = int64_t(r.y) + src.pm->origin_y + j;
                    int64_t dx = int64_t(p.x) + dst.pm->origin_x + i, dy = int64_t(p.y) + dst.pm->origin_y + j;
                    if (before.Inside(sx, sy) && dst.Inside(dx, dy))
                        dst.Set(int(dx), int(dy), before.Get(int(sx), int(sy)));
                }
            if (op == 2) {
                ASSERT_EQ(PmSnapshot(src.pm), before.block) << "source changed";
            }
        } else {
            // Whole copy between equal-sized pixelmaps of either orientation.
            Model src = Make(rng, bytes, dst.pm->width, dst.pm->height);
            EXPECT_EQ(HxPixelmapCopy(dst.pm, src.pm), HX_OK);
            for (int y = 0; y < dst.pm->height; ++y)
                for (int x = 0; x < dst.pm->width; ++x)
                    dst.Set(x, y, src.Get(x, y));
        }
        ASSERT_EQ(PmSnapshot(dst.pm), dst.block) << "trial " << trial << " op " << op;
    }
}

TEST_P(RandomBlocks, SubPixelmapOperationsStayInsideTheirRectangle)
{
    const int bytes = GetParam();
    std::mt19937 rng(2000 + bytes);
    for (int trial = 0; trial < 100; ++trial) {
        Model parent = Make(rng, bytes, 1 + int(rng() % 30), 1 + int(rng() % 30));
        parent.pm->origin_x = parent.pm->origin_y = 0;
        hx_rectangle r = {int(rng() % 34) - 2, int(rng() % 34) - 2, 1 + int(rng() % 20), 1 + int(rng() % 20)};
        hx_pixelmap* sub = HxPixelmapAllocateSub(parent.pm, r.x, r.y, r.w, r.h);
        int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
        int x1 = std::min(r.x + r.w, int(parent.pm->width)), y1 = std::min(r.y + r.h, int(parent.pm->height));
        if (x0 >= x1 || y0 >= y1) {
            EXPECT_EQ(sub, nullptr);
            continue;
        }
        ASSERT_NE(sub, nullptr);
        const uint32_t colour = uint32_t(rng());
        if (trial % 2) {
            HxPixelmapFill(sub, colour);
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    parent.Set(x, y, colour);
        } else {
            // Copy the sub-pixelmap onto itself one pixel to the right and down.
            const Model before = parent;
            HxPixelmapRectangleCopy(sub, 1, 1, sub, 0, 0, sub->width, sub->height);
            for (int y = y0 + 1; y < y1; ++y)
                for (int x = x0 + 1; x < x1; ++x)
                    parent.Set(x, y, before.Get(x - 1, y - 1));
        }
        ASSERT_EQ(PmSnapshot(parent.pm), parent.block) << "trial " << trial;
    }
}

TEST_P(RandomBlocks, DrawingOnASubPixelmapNeverLeavesIt)
{
    const int bytes = GetParam();
    std::mt19937 rng(3000 + bytes);
    hx_pixelmap* parent = HxPixelmapAllocate(kTypesByBytes[bytes], 40, 40, nullptr, rng() & 1 ? HX_PMAF_INVERTED : 0u);
    HxPixelmapFill(parent, 0);
    hx_pixelmap* sub = HxPixelmapAllocateSub(parent, 10, 12, 13, 9);
    sub->origin_x = 4;
    sub->origin_y = -3;
    const uint8_t glyphBits[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    std::uniform_int_distribution<int> far(-100000, 100000), near(-20, 30);
    const int extremes[] = {INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX};
    for (int i = 0; i < 800; ++i) {
        auto c = [&] {
            uint32_t pick = rng() % 10;
            return pick < 6 ? near(rng) : pick < 9 ? far(rng)
                                                   : extremes[rng() % 4];
        };
        const uint32_t colour = 1 + rng() % 200;
        switch (rng() % 6) {
        case 0: HxPixelmapLine(sub, c(), c(), c(), c(), colour); break;
        case 1: HxPixelmapRectangle(sub, c(), c(), c(), c(), colour); break;
        case 2: HxPixelmapRectangleFill(sub, c(), c(), c(), c(), colour); break;
        case 3: HxPixelmapText(sub, c(), c(), colour, nullptr, "Wide text \xFF"); break;
        case 4: HxPixelmapCopyBits(sub, c(), c(), glyphBits, 2, int(rng() % 16), int(rng() % 17), 2, colour); break;
        default: HxPixelmapPixelSet(sub, c(), c(), colour); break;
        }
    }
    int inked = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            bool inside = x >= 10 && x < 23 && y >= 12 && y < 21;
            uint32_t v = HxPixelmapPixelQuery(parent, x, y);
            if (!inside) {
                ASSERT_EQ(v, 0u) << x << "," << y;
            }
            inked += v != 0;
        }
    EXPECT_GT(inked, 0);
}

INSTANTIATE_TEST_SUITE_P(PixelBytes, RandomBlocks, ::testing::Values(1, 2, 3, 4));

} // namespace
