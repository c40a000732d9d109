// The framework's 16.16 fixed-point arithmetic: products and sums of
// products with 64-bit intermediates, divisions, integer and table square
// roots, and sine, cosine, arcsine, arccosine and arctangent by interpolated
// tables. Every operation is a leaf routine without state; the tables are
// computed once from their formulas.
//
// A value "shifted by n" is the 64-bit value shifted right arithmetically
// (rounding towards minus infinity), keeping the low 32 bits. Divisions
// truncate towards zero; where the hardware division would trap (a zero
// divisor, or a quotient that does not fit in 32 bits) the result saturates
// to the largest value of the quotient's sign, 0 / 0 giving 0.
#include "framework/hx_math.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

namespace {

// Radians to 16-bit angle units, the conversion the tables were made with.
constexpr double kRadiansToAngle = 10430.37835047045;

hx_fixed_tables BuildTables()
{
    hx_fixed_tables t{};
    const double pi = 3.14159265358979323846;
    // Sine at 256 steps a turn, 1.15; five quarters so the cosine can read
    // 64 entries further on, plus a spare.
    for (int i = 0; i <= 320; ++i)
        t.sine[i] = static_cast<int16_t>(std::trunc(32767.0 * std::sin(2.0 * pi * i / 256.0)));
    t.sine[321] = t.sine[320];
    // Inverse sine and cosine over [-1, 1] in 256 steps, and the arctangent
    // of ratios 0..1, as angles.
    for (int i = 0; i <= 256; ++i) {
        const double x = 2.0 * i / 256.0 - 1.0;
        t.arcsine[i] = static_cast<int16_t>(std::trunc(std::asin(x) * kRadiansToAngle));
        t.arccosine[i] = static_cast<int16_t>(std::trunc(std::acos(x) * kRadiansToAngle));
        t.arctangent[i] = static_cast<int16_t>(std::trunc(std::atan(i / 256.0) * kRadiansToAngle));
    }
    // At the top end the exact values are whole fractions of a turn: the
    // arcsine of 1 is a quarter turn, the arctangent of 1 an eighth.
    t.arcsine[256] = 0x4000;
    t.arctangent[256] = 0x2000;
    // sqrt(m / 256) and sqrt(64 / m) in 0.16, for the normalised mantissas
    // m = 64..255 of the fast roots, as exact integer roots: floor(sqrt(m 2^24))
    // and floor(sqrt(2^38 / m)) are the same floors.
    for (uint64_t m = 64; m < 256; ++m) {
        t.sqrt[m - 64] = static_cast<uint16_t>(HxSqrt64(m << 24));
        const uint64_t r = HxSqrt64((uint64_t{64} << 32) / m);
        t.rsqrt[m - 64] = static_cast<uint16_t>(r > 65535 ? 65535 : r);
    }
    return t;
}

const hx_fixed_tables& Tables()
{
    static const hx_fixed_tables tables = BuildTables();
    return tables;
}

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// 64-bit sums of products wrap like the 64-bit adds they stand for.
int64_t Product(int64_t a, int64_t b) { return a * b; }
int64_t Sum(std::initializer_list<int64_t> terms)
{
    uint64_t s = 0;
    for (int64_t t : terms) s += static_cast<uint64_t>(t);
    return static_cast<int64_t>(s);
}

// Shift right arithmetically by n, keeping the low 32 bits.
hx_fixed Shift(int64_t v, int n) { return static_cast<hx_fixed>(v >> n); }

// Signed division truncating towards zero, saturated where it would trap.
hx_fixed Divide(int64_t num, int64_t den)
{
    if (den == 0) return num > 0 ? kMax : num < 0 ? kMin
                                                  : 0;
    if (num == std::numeric_limits<int64_t>::min() && den == -1) return kMax;
    const int64_t q = num / den;
    if (q > kMax) return kMax;
    if (q < kMin) return kMin;
    return static_cast<hx_fixed>(q);
}

uint64_t Square(hx_fixed a)
{
    return static_cast<uint64_t>(static_cast<int64_t>(a) * a);
}

// Sum of squares, saturating (four squares of -2^31 reach 2^64).
uint64_t SumOfSquares(std::initializer_list<hx_fixed> values)
{
    uint64_t s = 0;
    for (hx_fixed v : values) {
        const uint64_t q = Square(v);
        s = s > UINT64_MAX - q ? UINT64_MAX : s + q;
    }
    return s;
}

// Unsigned roots and reciprocals into 16.16, saturated at the largest value.
hx_fixed ClampToFixed(uint32_t r) { return r > static_cast<uint32_t>(kMax) ? kMax : static_cast<hx_fixed>(r); }

// Table lookup with the index in bits 8-15 and the fraction in bits 0-7.
int16_t Interpolate(const int16_t* table, uint32_t u)
{
    const uint32_t i = (u >> 8) & 0xFF, f = u & 0xFF;
    const int32_t a = table[i], b = table[i + 1];
    return static_cast<int16_t>(a + (((b - a) * static_cast<int32_t>(f)) >> 8));
}

// Octant reduction shared by both arctangents: ratio(smaller, larger) gives
// the angle t of the octant's own ratio.
template <typename Ratio>
// clang-format off
hx_angle ATan2(hx_fixed y, hx_fixed x, Ratio ratio) {
    if (y == 0) return x >= 0 ? 0 : 0x8000;
    if (x == 0) return y > 0 ? 0x4000 : 0xC000;
    const uint32_t ax = static_cast<uint32_t>(x < 0 ? -static_cast<int64_t>(x) : x);
    const uint32_t ay = static_cast<uint32_t>(y < 0 ? -static_cast<int64_t>(y) : y);
    if (ax == ay) return x > 0 ? (y > 0 ? 0x2000 : 0xE000) : (y > 0 ? 0x6000 : 0xA000);
    const bool steep = ay > ax;
    const uint32_t t = steep ? ratio(ax, ay) : ratio(ay, ax);
    uint32_t angle;
    if (x > 0 && y > 0) angle = steep ? 0x4000 - t : t;
    else if (x < 0 && y > 0) angle = steep ? 0x4000 + t : 0x8000 - t;
    else if (x < 0) angle = steep ? 0xC000 - t : 0x8000 + t;
    else angle = steep ? 0xC000 + t : 0x10000 - t;
    return static_cast<hx_angle>(angle);
}
// clang-format on

// smaller x 2^32 / larger: the ratio as a 32-bit fraction.
uint64_t Ratio32(uint32_t smaller, uint32_t larger)
{
    return (static_cast<uint64_t>(smaller) << 32) / larger;
}

// The normalised mantissa of a fast root: s is even and a lies in
// [64, 256) x 2^(s-8).
struct Mantissa {
    uint32_t m;
    int s;
};
Mantissa Normalise(uint32_t a)
{
    const int n = std::bit_width(a) - 1;
    const int s = (n | 1) + 1;
    const uint32_t m = s >= 8 ? (a >> (s - 8)) & 0xFF : (a << (8 - s)) & 0xFF;
    return {m, s};
}

} // namespace

const hx_fixed_tables& HxFixedTables() { return Tables(); }

hx_fixed HxFixedAbs(hx_fixed a)
{
    return a < 0 ? static_cast<hx_fixed>(0u - static_cast<uint32_t>(a)) : a;
}

hx_fixed HxFixedMul(hx_fixed a, hx_fixed b) { return Shift(Product(a, b), 16); }

hx_fixed HxFixedMac2(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d)
{
    return Shift(Sum({Product(a, b), Product(c, d)}), 16);
}

hx_fixed HxFixedMac3(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f)
{
    return Shift(Sum({Product(a, b), Product(c, d), Product(e, f)}), 16);
}

hx_fixed HxFixedMac4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f,
                     hx_fixed g, hx_fixed h)
{
    return Shift(Sum({Product(a, b), Product(c, d), Product(e, f), Product(g, h)}), 16);
}

hx_fixed HxFixedSqr(hx_fixed a) { return Shift(Product(a, a), 16); }

hx_fixed HxFixedSqr2(hx_fixed a, hx_fixed b) { return Shift(Sum({Product(a, a), Product(b, b)}), 16); }

hx_fixed HxFixedSqr3(hx_fixed a, hx_fixed b, hx_fixed c)
{
    return Shift(Sum({Product(a, a), Product(b, b), Product(c, c)}), 16);
}

hx_fixed HxFixedSqr4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d)
{
    return Shift(Sum({Product(a, a), Product(b, b), Product(c, c), Product(d, d)}), 16);
}

hx_fixed HxFixedLength2(hx_fixed a, hx_fixed b)
{
    return ClampToFixed(HxSqrt64(SumOfSquares({a, b})));
}

hx_fixed HxFixedLength3(hx_fixed a, hx_fixed b, hx_fixed c)
{
    return ClampToFixed(HxSqrt64(SumOfSquares({a, b, c})));
}

hx_fixed HxFixedLength4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d)
{
    return ClampToFixed(HxSqrt64(SumOfSquares({a, b, c, d})));
}

hx_fixed HxFixedRLength2(hx_fixed a, hx_fixed b)
{
    return ClampToFixed(HxFastRSqrt64(SumOfSquares({a, b})));
}

hx_fixed HxFixedRLength3(hx_fixed a, hx_fixed b, hx_fixed c)
{
    return ClampToFixed(HxFastRSqrt64(SumOfSquares({a, b, c})));
}

hx_fixed HxFixedRLength4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d)
{
    return ClampToFixed(HxFastRSqrt64(SumOfSquares({a, b, c, d})));
}

hx_fixed HxFixedDiv(hx_fixed a, hx_fixed b) { return Divide(static_cast<int64_t>(a) * 65536, b); }

hx_fixed HxFixedDivR(hx_fixed a, hx_fixed b)
{
    return Divide(static_cast<int64_t>(a) * 65536 + (a < 0 ? 65535 : 0), b);
}

hx_fixed HxFixedDivF(hx_fixed a, hx_fixed b)
{
    return Divide(static_cast<int64_t>(a) * (int64_t{1} << 31), b);
}

uint32_t HxFixedDivFComplement(hx_fixed a, hx_fixed b)
{
    const hx_fixed q = Divide(static_cast<int64_t>(a) * (int64_t{1} << 30), b);
    return (uint32_t{1} << 31) - 2u * static_cast<uint32_t>(q);
}

hx_fixed HxFixedMulDiv(hx_fixed a, hx_fixed b, hx_fixed c) { return Divide(Product(a, b), c); }

hx_fixed HxFixedMac2Div(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed div)
{
    return Divide(Sum({Product(a, b), Product(c, d)}), div);
}

hx_fixed HxFixedMac3Div(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f,
                        hx_fixed div)
{
    return Divide(Sum({Product(a, b), Product(c, d), Product(e, f)}), div);
}

hx_fixed HxFixedMac4Div(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f,
                        hx_fixed g, hx_fixed h, hx_fixed div)
{
    return Divide(Sum({Product(a, b), Product(c, d), Product(e, f), Product(g, h)}), div);
}

hx_fixed HxFixedFMac2(hx_fraction f1, hx_fixed x1, hx_fraction f2, hx_fixed x2)
{
    return Shift(Sum({Product(f1, x1), Product(f2, x2)}), 15);
}

hx_fixed HxFixedFMac3(hx_fraction f1, hx_fixed x1, hx_fraction f2, hx_fixed x2, hx_fraction f3,
                      hx_fixed x3)
{
    return Shift(Sum({Product(f1, x1), Product(f2, x2), Product(f3, x3)}), 15);
}

hx_fixed HxFixedFMac4(hx_fraction f1, hx_fixed x1, hx_fraction f2, hx_fixed x2, hx_fraction f3,
                      hx_fixed x3, hx_fraction f4, hx_fixed x4)
{
    return Shift(Sum({Product(f1, x1), Product(f2, x2), Product(f3, x3), Product(f4, x4)}), 15);
}

hx_fixed HxFixedRcp(hx_fixed a) { return Divide(int64_t{1} << 32, a); }

hx_fixed HxFixedSin(hx_angle a) { return 2 * Interpolate(Tables().sine, a); }

hx_fixed HxFixedCos(hx_angle a)
{
    return 2 * Interpolate(Tables().sine + 64, a);
}

namespace {
// [-1, 1] in 16.16 onto [0, 65536]; inputs outside the range are clamped.
uint32_t UnitInterval(hx_fixed a)
{
    const int64_t v = a < -65536 ? -65536 : a > 65536 ? 65536
                                                      : a;
    return static_cast<uint32_t>((v + 65536) / 2);
}

hx_angle InverseTrig(const int16_t* table, hx_fixed a)
{
    const uint32_t u = UnitInterval(a);
    const int16_t v = u >= 65536 ? table[256] : Interpolate(table, u);
    return static_cast<hx_angle>(v);
}
} // namespace

hx_angle HxFixedASin(hx_fixed a) { return InverseTrig(Tables().arcsine, a); }

hx_angle HxFixedACos(hx_fixed a) { return InverseTrig(Tables().arccosine, a); }

hx_angle HxFixedATan2(hx_fixed y, hx_fixed x)
{
    return ATan2(y, x, [](uint32_t smaller, uint32_t larger) {
        const uint32_t r = static_cast<uint32_t>(Ratio32(smaller, larger) >> 16);
        return static_cast<uint32_t>(Interpolate(Tables().arctangent, r));
    });
}

hx_angle HxFixedATan2Fast(hx_fixed y, hx_fixed x)
{
    return ATan2(y, x, [](uint32_t smaller, uint32_t larger) {
        return static_cast<uint32_t>(Ratio32(smaller, larger) >> 19);
    });
}

uint32_t HxSqrt(uint32_t a) { return static_cast<uint32_t>(HxSqrt64(a)); }

// The floor of the root, exactly: the double root is within one of it, and
// the integer checks settle the last step.
uint32_t HxSqrt64(uint64_t a)
{
    uint64_t r = static_cast<uint64_t>(std::sqrt(static_cast<double>(a)));
    if (r > 0xFFFFFFFFu) r = 0xFFFFFFFFu;
    while (r * r > a) --r;
    while (r < 0xFFFFFFFFu && (r + 1) * (r + 1) <= a) ++r;
    return static_cast<uint32_t>(r);
}

uint32_t HxFastSqrt(uint32_t a)
{
    if (a == 0) return 0;
    const Mantissa n = Normalise(a);
    return Tables().sqrt[n.m - 64] >> (16 - n.s / 2);
}

uint32_t HxFastRSqrt(uint32_t a)
{
    if (a == 0) return 0;
    const Mantissa n = Normalise(a);
    return Tables().rsqrt[n.m - 64] >> (n.s / 2 - 1);
}

uint32_t HxFastRSqrt64(uint64_t s)
{
    if (s == 0) return 0;
    if (s < (uint64_t{1} << 32)) {
        // 2^32 / sqrt(S): the 32-bit form scaled by 2^16 before its shift,
        // so the fraction bits the 32-bit form drops are kept.
        const Mantissa n = Normalise(static_cast<uint32_t>(s));
        return static_cast<uint32_t>((uint64_t{Tables().rsqrt[n.m - 64]} << 16) >> (n.s / 2 - 1));
    }
    const uint32_t high = static_cast<uint32_t>(s >> 32);
    const int k = (31 - (std::bit_width(high) - 1)) & ~1;
    const uint32_t m = static_cast<uint32_t>((s << k) >> 56);
    return Tables().rsqrt[m - 64] >> (15 - k / 2);
}
