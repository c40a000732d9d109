// Tests of the framework's 16.16 fixed-point arithmetic and its tables.
#include "framework/hx_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace {

constexpr hx_fixed kMax = std::numeric_limits<hx_fixed>::max();
constexpr hx_fixed kMin = std::numeric_limits<hx_fixed>::min();
constexpr hx_fixed One = HX_FIXED_ONE;
constexpr double kPi = 3.14159265358979323846;

// Signed distance between two angles in units, -32768..32767.
int AngleDiff(hx_angle a, double expectedUnits)
{
    const double d = std::remainder(static_cast<double>(a) - expectedUnits, 65536.0);
    return static_cast<int>(std::lround(d));
}

TEST(FixedTables, PinnedEntries)
{
    const hx_fixed_tables& t = HxFixedTables();
    EXPECT_EQ(t.sine[0], 0);
    EXPECT_EQ(t.sine[32], 23169); // 32767 sin(pi/4)
    EXPECT_EQ(t.sine[64], 32767);
    EXPECT_EQ(t.sine[128], 0);
    EXPECT_EQ(t.sine[192], -32767);
    EXPECT_EQ(t.sine[320], 32767); // the cosine's end, a quarter turn past a full one
    EXPECT_EQ(t.arcsine[0], -16383);
    EXPECT_EQ(t.arcsine[128], 0);
    EXPECT_EQ(t.arcsine[256], 16384);
    EXPECT_EQ(t.arccosine[0], 32767);
    EXPECT_EQ(t.arccosine[128], 16383);
    EXPECT_EQ(t.arccosine[256], 0);
    EXPECT_EQ(t.arctangent[0], 0);
    EXPECT_EQ(t.arctangent[128], 4836); // atan(0.5)
    EXPECT_EQ(t.arctangent[256], 8192);
    EXPECT_EQ(t.sqrt[0], 32768); // m = 64: sqrt(1/4)
    EXPECT_EQ(t.sqrt[255 - 64], 65407);
    EXPECT_EQ(t.rsqrt[0], 65535); // sqrt(64/64) = 1, held as 65535
    EXPECT_EQ(t.rsqrt[256 - 64 - 1], 32832);
}

// The root tables are exact integer floors; check them against the
// floating-point formulas they stand for.
TEST(FixedTables, RootTablesFollowTheirFormulas)
{
    const hx_fixed_tables& t = HxFixedTables();
    for (int m = 64; m < 256; ++m) {
        EXPECT_EQ(t.sqrt[m - 64], static_cast<uint16_t>(std::floor(std::sqrt(m / 256.0) * 65536.0))) << m;
        const double r = std::floor(std::sqrt(64.0 / m) * 65536.0);
        EXPECT_EQ(t.rsqrt[m - 64], static_cast<uint16_t>(r > 65535 ? 65535 : r)) << m;
    }
}

TEST(FixedTables, TrigTablesAreMonotonicWhereTheirFunctionsAre)
{
    const hx_fixed_tables& t = HxFixedTables();
    for (int i = 0; i < 64; ++i) EXPECT_LT(t.sine[i], t.sine[i + 1]) << i;
    for (int i = 0; i < 256; ++i) {
        EXPECT_LE(t.arcsine[i], t.arcsine[i + 1]) << i;
        EXPECT_GE(t.arccosine[i], t.arccosine[i + 1]) << i;
        EXPECT_LE(t.arctangent[i], t.arctangent[i + 1]) << i;
    }
}

TEST(Fixed, PinnedResults)
{
    EXPECT_EQ(HxFixedMul(-1, 1), -1); // rounds towards minus infinity
    EXPECT_EQ(HxFixedSin(0x4000), 65534);
    EXPECT_EQ(HxFixedCos(0), 65534);
    EXPECT_EQ(HxFixedASin(65536), 0x4000);
    EXPECT_EQ(HxFixedACos(65536), 0);
    EXPECT_EQ(HxFixedATan2(5, 5), 0x2000);
    EXPECT_EQ(HxFixedATan2(0, -3), 0x8000);
    EXPECT_EQ(HxFixedATan2Fast(-4, 0), 0xC000);
    EXPECT_EQ(HxFastSqrt(64), 8u);
    EXPECT_EQ(HxFastRSqrt(64), 8191u);
    EXPECT_NEAR(HxFixedRLength2(0x8000, 0), 131072, 131072 * 0.001);
}

TEST(Fixed, ProductsAndSums)
{
    struct Case {
        hx_fixed got, expected;
    };
    const Case cases[] = {
        {HxFixedMul(3 * One / 2, -2 * One), -3 * One},
        {HxFixedMul(-1, -1), 0},
        {HxFixedSqr(-3 * One), 9 * One},
        {HxFixedMac2(One, 2 * One, 3 * One, 4 * One), 14 * One},
        {HxFixedMac3(One, One, One, One, One, -One), One},
        {HxFixedMac4(One, One, One, One, One, One, One, One), 4 * One},
        {HxFixedMac2(kMax, One, -kMax, One), 0}, // the 64-bit sum does not overflow
        {HxFixedSqr2(3 * One, 4 * One), 25 * One},
        {HxFixedSqr3(One, 2 * One, 2 * One), 9 * One},
        {HxFixedSqr4(One, One, One, One), 4 * One},
        {HxFixedLength2(3 * One, -4 * One), 5 * One},
        {HxFixedLength3(2 * One, 3 * One, 6 * One), 7 * One},
        {HxFixedLength4(One, One, One, One), 2 * One},
        {HxFixedLength2(kMin, kMin), kMax}, // saturates
        {HxFixedLength4(kMin, kMin, kMin, kMin), kMax},
        {HxFixedFMac2(16384, 2 * One, -16384, 4 * One), -One},
        {HxFixedFMac3(32767, One, 0, One, 0, One), One - 2},
        {HxFixedFMac4(8192, One, 8192, One, 8192, One, 8192, One), One},
        {HxFixedAbs(-5), 5},
        {HxFixedAbs(kMin), kMin},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].expected) << "case " << i;
}

TEST(Fixed, DivisionsTruncateAndSaturate)
{
    struct Case {
        hx_fixed got, expected;
    };
    const Case cases[] = {
        {HxFixedDiv(3 * One, 2 * One), 3 * One / 2},
        {HxFixedDiv(-3 * One, 2 * One), -3 * One / 2},
        {HxFixedDiv(1, 3 * One), 0},
        {HxFixedDiv(-1, 3 * One), 0}, // towards zero
        {HxFixedDiv(-1, 1), -One},
        {HxFixedDivR(-1, 1), -1},
        {HxFixedDivR(-3, 2 * One), -1},
        {HxFixedDivF(1, 2), 1 << 30},
        {HxFixedDivF(1, 3), 715827882},
        {HxFixedMulDiv(1 << 20, 3 * One, One), 3 << 20},
        {HxFixedMac2Div(1 << 30, One, 1 << 30, One, 4 * One), 1 << 29}, // 64-bit intermediate
        {HxFixedMac3Div(One, One, One, One, One, One, 3 * One), One},
        {HxFixedMac4Div(One, 2, One, 2, One, 2, One, 2, 8), One},
        {HxFixedRcp(2 * One), One / 2},
        {HxFixedRcp(-4 * One), -One / 4},
        // A zero divisor or an overflowing quotient saturates by the
        // quotient's sign; 0 / 0 gives 0.
        {HxFixedDiv(One, 0), kMax},
        {HxFixedDiv(-One, 0), kMin},
        {HxFixedDiv(0, 0), 0},
        {HxFixedDiv(kMax, 1), kMax},
        {HxFixedDiv(kMax, -1), kMin},
        {HxFixedDiv(kMin, -1), kMax},
        {HxFixedMulDiv(kMin, kMin, 1), kMax},
        {HxFixedMac2Div(1, 1, 1, 1, 0), kMax},
        {HxFixedRcp(0), kMax},
        {HxFixedRcp(1), kMax},
        {HxFixedRcp(-1), kMin},
        {HxFixedDivF(5, 0), kMax},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].expected) << "case " << i;
    EXPECT_EQ(HxFixedDivFComplement(1, 2), 1u << 30);
    EXPECT_EQ(HxFixedDivFComplement(-1, 2), (1u << 31) + (1u << 30));
    EXPECT_EQ(HxFixedDivFComplement(0, 7), 1u << 31);
}

TEST(Fixed, SineAndCosineFollowTheCircle)
{
    for (int a = 0; a < 65536; a += 7) {
        const double r = a * 2 * kPi / 65536;
        EXPECT_NEAR(HxFixedSin(static_cast<hx_angle>(a)), 65536 * std::sin(r), 16) << a;
        EXPECT_NEAR(HxFixedCos(static_cast<hx_angle>(a)), 65536 * std::cos(r), 16) << a;
    }
}

TEST(Fixed, InverseSineAndCosine)
{
    for (int v = -58982; v <= 58982; v += 97) { // within +-0.9, where the tables are fine
        const double x = v / 65536.0;
        EXPECT_LE(std::abs(AngleDiff(HxFixedASin(v), std::asin(x) * 32768 / kPi)), 8) << v;
        EXPECT_LE(std::abs(AngleDiff(HxFixedACos(v), std::acos(x) * 32768 / kPi)), 8) << v;
    }
    EXPECT_EQ(HxFixedASin(-65536), static_cast<hx_angle>(-16383));
    EXPECT_EQ(HxFixedACos(-65536), 32767);
    EXPECT_EQ(HxFixedASin(0), 0);
    EXPECT_EQ(HxFixedACos(0), 16383);
    // Outside [-1, 1] the input is clamped.
    EXPECT_EQ(HxFixedASin(5 * One), 0x4000);
    EXPECT_EQ(HxFixedACos(kMin), 32767);
}

TEST(Fixed, ArctangentOctantsAndSpecialValues)
{
    struct Case {
        hx_fixed y, x;
        hx_angle expected;
    };
    // clang-format off
    const Case special[] = {
        {0, 7, 0},       {0, 0, 0},       {0, -7, 0x8000}, {7, 0, 0x4000},  {-7, 0, 0xC000},
        {5, 5, 0x2000},  {5, -5, 0x6000}, {-5, -5, 0xA000}, {-5, 5, 0xE000},
        {kMin, kMin, 0xA000},
    };
    // clang-format on
    for (const Case& c : special) {
        EXPECT_EQ(HxFixedATan2(c.y, c.x), c.expected) << c.y << "," << c.x;
        EXPECT_EQ(HxFixedATan2Fast(c.y, c.x), c.expected) << c.y << "," << c.x;
    }
    std::mt19937 rng(3);
    std::uniform_int_distribution<hx_fixed> d(-1000000, 1000000);
    for (int n = 0; n < 20000; ++n) {
        const hx_fixed y = d(rng), x = d(rng);
        if (x == 0 || y == 0) continue;
        const double expected = std::atan2(static_cast<double>(y), static_cast<double>(x)) * 32768 / kPi;
        EXPECT_LE(std::abs(AngleDiff(HxFixedATan2(y, x), expected)), 3) << y << "," << x;
        // The linear fit of each octant is off by at most 0.0711 radians
        // (742 units), at a ratio of about 0.52.
        EXPECT_LE(std::abs(AngleDiff(HxFixedATan2Fast(y, x), expected)), 744) << y << "," << x;
    }
}

TEST(Fixed, IntegerSquareRootsAreExactFloors)
{
    const uint32_t samples[] = {0, 1, 2, 3, 4, 15, 16, 17, 65535, 65536, 4294836224u, 4294836225u, 0xFFFFFFFFu};
    for (uint32_t a : samples) {
        const uint32_t r = HxSqrt(a);
        EXPECT_LE(uint64_t{r} * r, a) << a;
        EXPECT_GT((uint64_t{r} + 1) * (r + 1), a) << a;
    }
    std::mt19937_64 rng(5);
    for (int n = 0; n < 20000; ++n) {
        const uint64_t a = rng() >> (n % 64);
        const uint64_t r = HxSqrt64(a);
        EXPECT_LE(r * r, a) << a;
        EXPECT_TRUE(r == 0xFFFFFFFFu || (r + 1) * (r + 1) > a) << a;
    }
    EXPECT_EQ(HxSqrt64(~uint64_t{0}), 0xFFFFFFFFu);
}

TEST(Fixed, FastRootsStayCloseToTheTrueValues)
{
    EXPECT_EQ(HxFastSqrt(0), 0u);
    EXPECT_EQ(HxFastRSqrt(0), 0u);
    EXPECT_EQ(HxFastRSqrt64(0), 0u);
    std::mt19937_64 rng(9);
    for (int n = 0; n < 20000; ++n) {
        const uint32_t a = static_cast<uint32_t>(rng() >> (32 + n % 32)) | 1u;
        const double root = std::sqrt(static_cast<double>(a));
        EXPECT_NEAR(HxFastSqrt(a), root, root * 0.008 + 1) << a;
        EXPECT_NEAR(HxFastRSqrt(a), 65536 / root, 65536 / root * 0.008 + 1) << a;
        const uint64_t s = rng() >> (n % 64) | 1u;
        const double rs = 4294967296.0 / std::sqrt(static_cast<double>(s));
        EXPECT_NEAR(HxFastRSqrt64(s), rs, rs * 0.008 + 1) << s;
    }
}

} // namespace
