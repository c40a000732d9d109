// The pixel loops of the rasteriser, generated from one template for every
// state combination, and the loop that draws a small triangle in each: one
// table of loops for each output type, each built in a file of its own so
// that the three compile side by side. Internal to the rasteriser.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/drivers/softrend/sr_raster.h"

namespace softrend {

inline constexpr int kSubPixel = 16;       // vertex positions snap to 1/16 pixel
inline constexpr int kPerspectiveRun = 16; // pixels between perspective divisions
// Triangles whose corners lie at most this far apart on each axis (32
// pixels, in 28.4) take the small path, where every edge function and
// fixed-point value fits 32 bits.
inline constexpr int kSmallSize = 32 * kSubPixel;

// Rounding to the nearest integer (ties to even) without a library call
// or a branch: adding 1.5 x 2^52 leaves no fraction bits, so the sum is
// the rounded value; exact for |v| < 2^51, which every caller keeps to.
inline int64_t Round(double v)
{
    constexpr double kMagic = 6755399441055744.0;
    return int64_t((v + kMagic) - kMagic);
}

// A 16.16 fixed-point value, clamped to what 32 bits hold (a NaN gives
// the lower limit), rounded to the nearest (ties to even).
inline int32_t Fixed16(double v)
{
#if defined(__SSE2__)
    const __m128d limited = _mm_min_sd(_mm_max_sd(_mm_set_sd(v * 65536.0), _mm_set_sd(-2147483647.0)),
                                       _mm_set_sd(2147483647.0));
    return _mm_cvtsd_si32(limited);
#else
    v = v * 65536.0;
    v = v == v ? std::min(std::max(v, -2147483647.0), 2147483647.0) : -2147483647.0;
    return int32_t(Round(v));
#endif
}

// The texel coordinates (u/q, v/q) at two points of a perspective row, in
// 16.16 (Fixed16 of each quotient), with two divisions for the four.
struct TexelPair {
    int32_t u[2], v[2];
};
inline TexelPair DivideTexels(double uq0, double vq0, double q0, double uq1, double vq1, double q1)
{
    TexelPair t;
#if defined(__SSE2__)
    const __m128d q = _mm_set_pd(q1, q0);
    auto fixed = [](__m128d v, int32_t* out) {
        const __m128d limited = _mm_min_pd(_mm_max_pd(_mm_mul_pd(v, _mm_set1_pd(65536.0)), _mm_set1_pd(-2147483647.0)),
                                           _mm_set1_pd(2147483647.0));
        const __m128i i = _mm_cvtpd_epi32(limited);
        out[0] = _mm_cvtsi128_si32(i), out[1] = _mm_cvtsi128_si32(_mm_shuffle_epi32(i, 1));
    };
    fixed(_mm_div_pd(_mm_set_pd(uq1, uq0), q), t.u);
    fixed(_mm_div_pd(_mm_set_pd(vq1, vq0), q), t.v);
#else
    t.u[0] = Fixed16(uq0 / q0), t.v[0] = Fixed16(vq0 / q0), t.u[1] = Fixed16(uq1 / q1), t.v[1] = Fixed16(vq1 / q1);
#endif
    return t;
}

// a / n, cut towards zero as C++ divides, for 1 <= n <= kPerspectiveRun and
// |a| < 2^33, by a multiplication: the product's error (under 2^-19) and
// the nudge away from zero (2^-10) never carry a quotient across a whole
// number, as a fraction of a whole quotient is at least 1/16 from the next.
inline int64_t DivideByRun(int64_t a, int n)
{
    static constexpr auto kInverse = [] {
        std::array<double, kPerspectiveRun + 1> inverse{};
        for (int i = 1; i <= kPerspectiveRun; ++i)
            inverse[size_t(i)] = 1.0 / i;
        return inverse;
    }();
    const double nudge = a < 0 ? -1.0 / 1024 : 1.0 / 1024;
    return int64_t(double(a) * kInverse[size_t(n)] + nudge);
}

inline uint16_t Pack(OutKind o, uint32_t r, uint32_t g, uint32_t b)
{
    return o == OutKind::Rgb565 ? uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                : uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}
// Pack of three channels each given 256 times over (a byte times a level,
// below 2^24): the same bits as Pack(o, r >> 8, g >> 8, b >> 8), each
// product cut straight to its field.
inline uint16_t PackProducts(OutKind o, uint32_t r, uint32_t g, uint32_t b)
{
    return o == OutKind::Rgb565 ? uint16_t((r & 0xF800) | ((g >> 5) & 0xFFE0) | (b >> 11))
                                : uint16_t(((r >> 1) & 0xFC00) | ((g >> 6) & 0xFFE0) | (b >> 11));
}
inline void Unpack(OutKind o, uint16_t p, uint32_t* r, uint32_t* g, uint32_t* b)
{
    if (o == OutKind::Rgb565) {
        *r = (p >> 11) << 3, *g = ((p >> 5) & 63) << 2, *b = (p & 31) << 3;
    } else {
        *r = ((p >> 10) & 31) << 3, *g = ((p >> 5) & 31) << 3, *b = (p & 31) << 3;
    }
}

// True when there is a texture and its coordinates stop at its edges
// rather than wrap (an untextured set-up's limits mean nothing).
inline bool Clamps(const DrawSetup& s)
{
    return s.key.tex != TexKind::None &&
           (s.uLo != INT32_MIN || s.uHi != INT32_MAX || s.vLo != INT32_MIN || s.vHi != INT32_MAX);
}

// The pixel loops of one state. Every branch on the template arguments is
// decided at compile time; the only per-pixel branches are the depth test,
// the screen door and z-transparency, which are per-pixel facts.
template <OutKind O, DepthKind D, bool SMOOTH, TexKind T, bool ZT, bool LINEAR, uint8_t FX>
struct Shader {
    using Pixel = std::conditional_t<O == OutKind::Index8, uint8_t, uint16_t>;
    using DepthWord = std::conditional_t<D == DepthKind::D32, uint32_t, uint16_t>;
    static constexpr int kChannels = O == OutKind::Index8 ? 1 : 3;

    // A run's values in the pixel loop's own form. Depth rides with the
    // first colour channel in one 64-bit sum: depth in the low half (a
    // span's depths stay within 32 bits, so nothing carries over), the
    // channel above it; one register and one addition a pixel fewer. The
    // second and third channels ride the same way (the third below, as
    // itself: a level inside the triangle is never negative). v is
    // carried multiplied by the texture's width, in 64 bits, so that its
    // whole part lands on the texel row's first index with no shift a
    // pixel: texel = ((u >> 16) & uMask) + ((v >> 16) & vMask).
    struct Carry {
        uint64_t zc, v, c12;
        uint32_t u;
        int32_t fog;
        // These values k steps further (in the sums' own wrapping arithmetic).
        Carry After(const Carry& d, uint32_t k) const
        {
            return {zc + d.zc * k, v + d.v * k, c12 + d.c12 * k, u + d.u * k,
                    int32_t(uint32_t(fog) + uint32_t(d.fog) * k)};
        }
    };

    const DrawSetup& s;
    // The set-up's fields the loops read, in the shader itself: the pixel
    // writes (bytes, which may alias anything) would otherwise make the
    // compiler reload them from the set-up at every pixel.
    const bool clamps, dither, jitter;
    const int widthShift;
    const uint32_t uMask;
    const uint64_t vMask; // the texel rows' whole parts in v x width
    const uint8_t* const texIndex;
    const uint32_t* const texRgb;
    const uint8_t* const shade;
    explicit Shader(const DrawSetup& setup)
        : s(setup), clamps(Clamps(setup)), dither(setup.ditherColour || (setup.ditherMap && T != TexKind::None)),
          jitter(setup.ditherMap && T != TexKind::None), widthShift(setup.texWidthShift),
          uMask(uint32_t(1 << setup.texWidthShift) - 1),
          vMask(uint64_t((1 << setup.texHeightShift) - 1) << setup.texWidthShift), texIndex(setup.texIndex),
          texRgb(setup.texRgb), shade(setup.shade)
    {
    }

    Carry ToCarry(const SpanStart& at) const
    {
        Carry c = {};
        c.zc = (uint64_t(uint32_t(at.c[0])) << 32) + at.z;
        if constexpr (kChannels > 1)
            c.c12 = (uint64_t(uint32_t(at.c[1])) << 32) + uint64_t(int64_t(at.c[2]));
        if constexpr (T != TexKind::None)
            c.u = uint32_t(at.u), c.v = uint64_t(int64_t(at.v)) << widthShift;
        if constexpr ((FX & kFxFog) != 0)
            c.fog = at.fog;
        return c;
    }
    Carry StepsToCarry(const Steps& d) const
    {
        Carry c = ToCarry({uint32_t(d.z), {SMOOTH ? d.c[0] : 0, d.c[1], d.c[2]}, d.u, d.v, d.fog});
        // The depth step keeps its sign, so that a step down borrows from
        // the channel above exactly as the sum of the two needs.
        c.zc = (uint64_t(uint32_t(SMOOTH ? d.c[0] : 0)) << 32) + uint64_t(int64_t(d.z));
        if constexpr (!SMOOTH)
            c.c12 = 0;
        return c;
    }
    void FromCarry(const Carry& c, SpanStart* at) const
    {
        at->z = uint32_t(c.zc);
        at->c[0] = int32_t(c.zc >> 32);
        if constexpr (kChannels > 1)
            at->c[1] = int32_t(c.c12 >> 32), at->c[2] = int32_t(uint32_t(c.c12));
        if constexpr (T != TexKind::None)
            at->u = int32_t(c.u), at->v = int32_t(uint32_t(c.v >> widthShift));
        if constexpr ((FX & kFxFog) != 0)
            at->fog = c.fog;
    }

    // What a pixel reads of the set-up, apart from the texture, taken
    // into locals once a loop: the pixel writes (bytes, which may alias
    // anything) would otherwise make the compiler reload it at every pixel.
    struct PixelSetup {
        const uint8_t* fogTable;
        const uint8_t* blend;
        int indexBase;
        uint32_t alpha, fogR, fogG, fogB;
        explicit PixelSetup(const DrawSetup& s)
            : fogTable(s.fogTable), blend(s.blend), indexBase(s.indexBase), alpha(uint32_t(s.alpha)),
              fogR(s.fogColour >> 16), fogG((s.fogColour >> 8) & 255), fogB(s.fogColour & 255)
        {
        }
    };

    // One pixel, at `out` and `depth`, from its values (depth and the
    // first channel `zc`, the other two `c12`, fog `f`, texture u and v x
    // width); left as it is where the depth test or z-transparency turn it
    // away. RAISE: each 16-bit channel is first raised by its dither
    // offset (`raise`: red and blue in the low byte, green above) before it
    // loses its low bits.
    template <bool RAISE = false>
    [[gnu::always_inline]] inline void Dot(Pixel* const out, [[maybe_unused]] DepthWord* const depth,
                                           const PixelSetup& ps, uint64_t zc, [[maybe_unused]] uint64_t c12,
                                           [[maybe_unused]] int32_t f, [[maybe_unused]] uint32_t u,
                                           [[maybe_unused]] uint64_t v, [[maybe_unused]] uint32_t raise = 0) const
    {
        const uint32_t z = uint32_t(zc);
        if constexpr (D == DepthKind::D16) {
            if (!(uint16_t(z >> 16) < *depth))
                return;
        }
        if constexpr (D == DepthKind::D32) {
            if (!(z < *depth))
                return;
        }
        [[maybe_unused]] uint32_t texel = 0;
        if constexpr (LINEAR) {
            if constexpr (ZT) {
                if (texRgb[size_t((u >> 16) & uMask) + size_t((v >> 16) & vMask)] & 0x1000000)
                    return;
            }
            texel = Bilinear(u, v);
        } else if constexpr (T != TexKind::None) {
            const size_t texelAt = size_t((u >> 16) & uMask) + size_t((v >> 16) & vMask);
            if constexpr (O == OutKind::Index8) {
                texel = texIndex[texelAt];
                if constexpr (ZT) {
                    if (texel == 0)
                        return;
                }
            } else {
                texel = texRgb[texelAt];
                if constexpr (ZT) {
                    if (texel & 0x1000000)
                        return;
                }
            }
        }
        // The first channel's whole part (a level is never negative).
        const uint32_t level = uint32_t(zc >> 48);
        if constexpr (O == OutKind::Index8) {
            uint32_t index;
            if constexpr (T == TexKind::None)
                index = (uint32_t(ps.indexBase) + level) & 255;
            else
                index = shade[(size_t(level) << 8) + texel];
            if constexpr ((FX & kFxFog) != 0)
                index = ps.fogTable[((f >> 16) << 8) + index];
            if constexpr ((FX & kFxBlend) != 0)
                index = ps.blend[(index << 8) + *out];
            *out = uint8_t(index);
        } else {
            // A texel's channels times their levels are left 256 times over
            // where nothing but the packing needs them (PackProducts).
            constexpr bool kProducts = T != TexKind::None && FX == 0 && !RAISE;
            constexpr int kDown = kProducts ? 0 : 8;
            uint32_t r, g, b;
            if constexpr (T == TexKind::None) {
                r = level, g = uint32_t(c12 >> 48), b = uint32_t(c12) >> 16;
            } else {
                r = (((texel >> 16) & 255) * level) >> kDown;
                g = (((texel >> 8) & 255) * uint32_t(c12 >> 48)) >> kDown;
                b = ((texel & 255) * (uint32_t(c12) >> 16)) >> kDown;
            }
            if constexpr ((FX & kFxFog) != 0) {
                const int32_t w = f >> 16; // 0-256
                r = uint32_t(int32_t(r) + (((int32_t(ps.fogR) - int32_t(r)) * w) >> 8));
                g = uint32_t(int32_t(g) + (((int32_t(ps.fogG) - int32_t(g)) * w) >> 8));
                b = uint32_t(int32_t(b) + (((int32_t(ps.fogB) - int32_t(b)) * w) >> 8));
            }
            if constexpr ((FX & kFxBlend) != 0) {
                uint32_t dr, dg, db;
                Unpack(O, *out, &dr, &dg, &db);
                const uint32_t a = ps.alpha, ia = 256 - a;
                r = (r * a + dr * ia) >> 8, g = (g * a + dg * ia) >> 8, b = (b * a + db * ia) >> 8;
            }
            if constexpr (RAISE) {
                r = std::min(r + (raise & 255), 255u), b = std::min(b + (raise & 255), 255u);
                g = std::min(g + (raise >> 8), 255u);
            }
            *out = kProducts ? PackProducts(O, r, g, b) : Pack(O, r, g, b);
        }
        if constexpr (D == DepthKind::D16)
            *depth = uint16_t(z >> 16);
        if constexpr (D == DepthKind::D32)
            *depth = z;
    }

    // The pixel loop: the n pixels before `out` and `depth` (row y's,
    // column x + n the first past them) from the values `at`, left past
    // them. Texture coordinates wrap here; clamped maps go through Clamped.
    // STRIDE 4 draws every fourth pixel (one of the four interleaved runs
    // of Dithered), each 16-bit channel raised by `raise` (see Dot).
    template <int STRIDE = 1>
    [[gnu::always_inline]] inline void Pixels(Pixel* const out, [[maybe_unused]] DepthWord* const depth,
                                              [[maybe_unused]] int y, [[maybe_unused]] int x, int n, Carry& at,
                                              const Carry& d, [[maybe_unused]] uint32_t raise = 0) const
    {
        uint64_t zc = at.zc;
        [[maybe_unused]] uint64_t c12 = at.c12;
        [[maybe_unused]] int32_t f = at.fog;
        [[maybe_unused]] uint32_t u = at.u;
        [[maybe_unused]] uint64_t v = at.v;
        const PixelSetup ps(s);
        [[maybe_unused]] const int doorWidth = s.doorWidth;
        [[maybe_unused]] const uint8_t* doorRow =
            (FX & kFxDoor) ? s.door + (y % s.doorHeight) * s.doorWidth : nullptr;
        // The door's column, followed without a division a pixel.
        [[maybe_unused]] int doorColumn = (FX & kFxDoor) ? x % doorWidth : 0;

        for (intptr_t i = -intptr_t(n); i < 0; i += STRIDE) {
            if ((FX & kFxDoor) == 0 || doorRow[doorColumn])
                Dot<STRIDE != 1>(out + i, D == DepthKind::None ? nullptr : depth + i, ps, zc, c12, f, u, v, raise);
            zc += d.zc;
            if constexpr (SMOOTH && kChannels > 1)
                c12 += d.c12;
            if constexpr ((FX & kFxFog) != 0)
                f += d.fog;
            if constexpr (T != TexKind::None)
                u += d.u, v += d.v;
            if constexpr ((FX & kFxDoor) != 0) {
                doorColumn += STRIDE;
                while (doorColumn >= doorWidth)
                    doorColumn -= doorWidth;
            }
        }
        at.zc = zc, at.c12 = c12, at.fog = f, at.u = u, at.v = v;
    }

    // The texel at (u, v) interpolated between the four whose centres lie
    // around it, by the fractions of the way from the first to the next (in
    // 256ths); the map wraps at its edges (a clamped map's coordinates stay
    // half a texel inside them, so its last texel is never left behind).
    [[gnu::always_inline]] inline uint32_t Bilinear(uint32_t u, uint64_t v) const
    {
        u -= 0x8000, v -= uint64_t(0x8000) << widthShift;
        const uint32_t fu = (u >> 8) & 255, fv = uint32_t(v >> (widthShift + 8)) & 255;
        const size_t x0 = (u >> 16) & uMask, x1 = ((u >> 16) + 1) & uMask;
        const size_t y0 = (v >> 16) & vMask, y1 = ((v >> 16) + (uint64_t(1) << widthShift)) & vMask;
        const uint32_t top = Mix(texRgb[y0 + x0], texRgb[y0 + x1], fu);
        const uint32_t bottom = Mix(texRgb[y1 + x0], texRgb[y1 + x1], fu);
        return Mix(top, bottom, fv);
    }
    // a + (b - a) x f / 256 on each channel of two 0xRRGGBB words (the bits
    // above them ignored): red with blue, and green, each in one product.
    static uint32_t Mix(uint32_t a, uint32_t b, uint32_t f)
    {
        const uint32_t g = f, h = 256 - f;
        const uint32_t rb = (((a & 0xFF00FF) * h + (b & 0xFF00FF) * g) >> 8) & 0xFF00FF;
        const uint32_t green = (((a & 0xFF00) * h + (b & 0xFF00) * g) >> 8) & 0xFF00;
        return rb | green;
    }

    // The n pixels before `out` and `depth` (columns x .. x + n - 1 of row
    // y), dithered when the set-up asks.
    [[gnu::always_inline]] inline void Draw(Pixel* const out, DepthWord* const depth, int y, int x, int n, Carry& at,
                                            const Carry& d) const
    {
        if (dither)
            at = Dithered(out, depth, y, x, n, at, d);
        else
            Pixels(out, depth, y, x, n, at, d);
    }

    // Ordered dithering with a 4 x 4 matrix: the pixels of a row whose
    // columns agree modulo 4 share a threshold, so a run is drawn as four
    // interleaved runs, each with its threshold added to its start values
    // and its own loop, and the loops of undithered runs stay as they are.
    // The colour's threshold is the matrix at (column, row), the map's the
    // matrix at (row, column) for u and at (column, row + 2) for v, so that
    // the three do not move together.
    // (Values in and out by value: the pixel loop's values stay in
    // registers on the undithered path.)
    [[gnu::noinline]] Carry Dithered(Pixel* const out, DepthWord* const depth, int y, int x, int n, const Carry at,
                                     const Carry d) const
    {
        // A threshold 0-15 as an offset of -0.5 to 0.5 (less 1/32) in 16.16.
        auto offset = [](uint32_t threshold) { return int32_t(threshold * 4096 + 2048) - 32768; };
        const Carry four = Carry{}.After(d, 4);
        for (int j = 0; j < 4 && j < n; ++j) {
            const int column = (x + j) & 3;
            const uint32_t threshold = s.ditherColour ? kOrderedDither[y & 3][column] : 0;
            Carry run = at.After(d, uint32_t(j));
            if constexpr (T != TexKind::None) {
                if (jitter) {
                    run.u += uint32_t(offset(kOrderedDither[column][y & 3]));
                    run.v += uint64_t(int64_t(offset(kOrderedDither[(y + 2) & 3][column]))) << widthShift;
                }
            }
            if constexpr (O == OutKind::Index8) {
                // The level, rounded to the nearest by the set-up, is instead
                // raised by the threshold (0.5 less) and cut.
                if (s.ditherColour)
                    run.zc += uint64_t(int64_t(offset(threshold))) << 32;
                Pixels<4>(out, depth, y, x + j, n - j, run, four);
            } else {
                // Red and blue lose three bits; green two on a 565 screen.
                const uint32_t greenRaise = O == OutKind::Rgb565 ? threshold >> 2 : threshold >> 1;
                Pixels<4>(out, depth, y, x + j, n - j, run, four, (threshold >> 1) | greenRaise << 8);
            }
        }
        return at.After(d, uint32_t(n));
    }

    // Row y's start in each buffer.
    Pixel* ColourRow(int y) const { return reinterpret_cast<Pixel*>(s.colour + intptr_t(y) * s.colourStride); }
    DepthWord* DepthRow(int y) const
    {
        return s.depth ? reinterpret_cast<DepthWord*>(s.depth + intptr_t(y) * s.depthStride) : nullptr;
    }

    // Pixels x .. end-1 of row y, from the values `at` (left past them).
    [[gnu::always_inline]] inline void Run(int y, int x, int end, SpanStart& at, const Steps& d) const
    {
        DepthWord* depth = DepthRow(y);
        Carry c = ToCarry(at);
        Draw(ColourRow(y) + end, depth ? depth + end : nullptr, y, x, end - x, c, StepsToCarry(d));
        FromCarry(c, &at);
    }

    // Run for a map whose edges clamp: each coordinate is held at its
    // limit over the pixels where its line lies beyond it, so the row
    // splits into at most five runs with the coordinates stepping or held.
    [[gnu::noinline]] void Clamped(int y, int x, int end, SpanStart& at, const Steps& d) const
    {
        // First pixel (from x) at which each line has entered [lo, hi] and
        // first at which it has left it again.
        struct Limits {
            int64_t start, step, lo, hi;
            int enter, leave;
            Limits(int32_t value, int32_t stepBy, int32_t low, int32_t high, int n)
                : start(value), step(stepBy), lo(low), hi(high)
            {
                auto clampIndex = [n](int64_t i) { return int(std::min<int64_t>(std::max<int64_t>(i, 0), n)); };
                // Whole divisions: these quotients need every bit.
                auto floorDiv = [](int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }; // b > 0
                auto ceilDiv = [&](int64_t a, int64_t b) { return -floorDiv(-a, b); };
                if (step > 0) {
                    enter = clampIndex(start >= lo ? 0 : ceilDiv(lo - start, step));
                    leave = clampIndex(start > hi ? 0 : floorDiv(hi - start, step) + 1);
                } else if (step < 0) {
                    enter = clampIndex(start <= hi ? 0 : ceilDiv(start - hi, -step));
                    leave = clampIndex(start < lo ? 0 : floorDiv(start - lo, -step) + 1);
                } else {
                    enter = 0;
                    leave = start >= lo && start <= hi ? n : 0;
                }
            }
            // The value at pixel i and its step over a run starting there.
            int32_t At(int i) const { return int32_t(std::min<int64_t>(std::max<int64_t>(start + step * i, lo), hi)); }
            int32_t StepAt(int i) const { return i >= enter && i < leave ? int32_t(step) : 0; }
        };
        const int n = end - x;
        const Limits u(at.u, d.u, s.uLo, s.uHi, n), v(at.v, d.v, s.vLo, s.vHi, n);
        int cuts[5] = {u.enter, u.leave, v.enter, v.leave, n};
        std::sort(cuts, cuts + 5);
        Steps held = d;
        for (int k = 0, from = 0; k < 5; ++k) {
            const int to = cuts[k];
            if (to <= from)
                continue;
            at.u = u.At(from), at.v = v.At(from);
            held.u = u.StepAt(from), held.v = v.StepAt(from);
            Run(y, x + from, x + to, at, held);
            from = to;
        }
    }

    // Pixels x0 .. x1-1 of row y: perspective textures divide every
    // kPerspectiveRun pixels and step linearly between.
    [[gnu::always_inline]] inline void Row(const Triangle& t, int y, int x0, int x1, SpanStart at) const
    {
        if constexpr (T == TexKind::None) {
            Run(y, x0, x1, at, t.d);
        } else if constexpr (T == TexKind::Affine) {
            if (clamps)
                Clamped(y, x0, x1, at, t.d);
            else
                Run(y, x0, x1, at, t.d);
        } else if (!clamps) {
            Carry c = ToCarry(at);
            PerspectiveRow(t, y, x0, x1, c, StepsToCarry(t.d), FirstRun(t, y, x0, x1));
        } else {
            Steps d = t.d;
            double uq = t.u.At(x0, y), vq = t.v.At(x0, y), q = t.q.At(x0, y);
            for (int x = x0; x < x1;) {
                const int end = std::min(x + kPerspectiveRun, x1);
                const PerspectiveRun run = NextRun(t, &uq, &vq, &q, end - x);
                if (x == x0)
                    at.u = run.u, at.v = run.v;
                d.u = run.du, d.v = run.dv;
                Clamped(y, x, end, at, d);
                at.u = run.uEnd, at.v = run.vEnd; // no drift from the divided steps
                x = end;
            }
        }
    }

    // A perspective run of n pixels from the planes' values (uq, vq, q),
    // which are moved on to its end: the texel coordinates at its start
    // and end divided out of them, and the steps between.
    struct PerspectiveRun {
        int32_t u, v, uEnd, vEnd, du, dv;
    };
    [[gnu::always_inline]] static PerspectiveRun NextRun(const Triangle& t, double* uq, double* vq, double* q, int n)
    {
        const double uqStart = *uq, vqStart = *vq, qStart = *q;
        *uq += t.u.dx * n, *vq += t.v.dx * n, *q += t.q.dx * n;
        const TexelPair ends = DivideTexels(uqStart, vqStart, qStart, *uq, *vq, *q);
        return {ends.u[0],
                ends.v[0],
                ends.u[1],
                ends.v[1],
                int32_t(DivideByRun(int64_t(ends.u[1]) - ends.u[0], n)),
                int32_t(DivideByRun(int64_t(ends.v[1]) - ends.v[0], n))};
    }

    // A perspective row's first run (pixels x0 .. at most x0 +
    // kPerspectiveRun - 1 of x1) and the planes' values at its end, from
    // which the rest go on.
    struct PerspectiveStart {
        PerspectiveRun run;
        double uq, vq, q;
    };
    [[gnu::always_inline]] static PerspectiveStart FirstRun(const Triangle& t, int y, int x0, int x1)
    {
        PerspectiveStart start;
        start.uq = t.u.At(x0, y), start.vq = t.v.At(x0, y), start.q = t.q.At(x0, y);
        start.run = NextRun(t, &start.uq, &start.vq, &start.q, std::min(x1 - x0, kPerspectiveRun));
        return start;
    }

    // Row for a perspective map that wraps, on the pixel loop's own values
    // (`c`, left past the row, and `steps`), the texture coordinates and
    // their steps set run by run from the first (FirstRun's).
    [[gnu::always_inline]] inline void PerspectiveRow(const Triangle& t, int y, int x0, int x1, Carry& c,
                                                      const Carry& steps, const PerspectiveStart& start) const
    {
        Carry d = steps;
        double uq = start.uq, vq = start.vq, q = start.q;
        PerspectiveRun run = start.run;
        DepthWord* const depth = DepthRow(y);
        Pixel* const out = ColourRow(y);
        c.u = uint32_t(run.u), c.v = uint64_t(int64_t(run.v)) << widthShift;
        for (int x = x0;;) {
            const int end = std::min(x + kPerspectiveRun, x1);
            d.u = uint32_t(run.du), d.v = uint64_t(int64_t(run.dv)) << widthShift;
            Draw(out + end, depth ? depth + end : nullptr, y, x, end - x, c, d);
            // The next run starts where this one's end was divided, with no
            // drift from the steps.
            c.u = uint32_t(run.uEnd), c.v = uint64_t(int64_t(run.vEnd)) << widthShift;
            x = end;
            if (x >= x1)
                break;
            run = NextRun(t, &uq, &vq, &q, std::min(x + kPerspectiveRun, x1) - x);
        }
    }
};

// One span: pixels x0 .. x1-1 of row y.
template <OutKind O, DepthKind D, bool SMOOTH, TexKind T, bool ZT, bool LINEAR, uint8_t FX>
void Span(const DrawSetup& s, const Triangle& t, int y, int x0, int x1, const SpanStart& at)
{
    Shader<O, D, SMOOTH, T, ZT, LINEAR, FX>(s).Row(t, y, x0, x1, at);
}

struct Snapped {
    int64_t x, y;
    const ScreenVertex* v;
};

inline void SetPlane(Plane* p, double a0, double a1, double a2, const double* xs, const double* ys, double inverseArea)
{
    const double e1 = a1 - a0, e2 = a2 - a0;
    p->dx = (e1 * (ys[2] - ys[0]) - e2 * (ys[1] - ys[0])) * inverseArea;
    p->dy = (e2 * (xs[1] - xs[0]) - e1 * (xs[2] - xs[0])) * inverseArea;
    p->a = a0 - p->dx * xs[0] - p->dy * ys[0];
}

// Two doubles worked on side by side, in one vector register where the
// processor has them: a small triangle's attribute planes are set up two
// at a time, with the same operations, in the same order, as one at a
// time.
struct Pair {
#if defined(__SSE2__)
    __m128d v;
    explicit Pair(__m128d x) : v(x) {}
    Pair(double first, double second) : v(_mm_set_pd(second, first)) {}
    static Pair Both(double x) { return Pair(_mm_set1_pd(x)); }
    friend Pair operator+(Pair a, Pair b) { return Pair(_mm_add_pd(a.v, b.v)); }
    friend Pair operator-(Pair a, Pair b) { return Pair(_mm_sub_pd(a.v, b.v)); }
    friend Pair operator*(Pair a, Pair b) { return Pair(_mm_mul_pd(a.v, b.v)); }
    double First() const { return _mm_cvtsd_f64(v); }
    double Second() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
    // Each value times `scale`, held within +-`limit` (a NaN at -limit),
    // rounded to the nearest whole number (ties to even) as Round does:
    // for |value| < 2^51 adding 1.5 x 2^52 leaves it in the sum's low bits.
    void Whole(Pair scale, Pair limit, int64_t* first, int64_t* second) const
    {
        const __m128d magic = _mm_set1_pd(6755399441055744.0);
        const __m128d low = _mm_sub_pd(_mm_setzero_pd(), limit.v);
        const __m128d held = _mm_min_pd(_mm_max_pd(_mm_mul_pd(v, scale.v), low), limit.v);
        const __m128i bits = _mm_sub_epi64(_mm_castpd_si128(_mm_add_pd(held, magic)), _mm_castpd_si128(magic));
        alignas(16) int64_t out[2];
        _mm_store_si128(reinterpret_cast<__m128i*>(out), bits);
        *first = out[0], *second = out[1];
    }
#else
    double a, b;
    Pair(double first, double second) : a(first), b(second) {}
    static Pair Both(double x) { return Pair(x, x); }
    friend Pair operator+(Pair x, Pair y) { return Pair(x.a + y.a, x.b + y.b); }
    friend Pair operator-(Pair x, Pair y) { return Pair(x.a - y.a, x.b - y.b); }
    friend Pair operator*(Pair x, Pair y) { return Pair(x.a * y.a, x.b * y.b); }
    double First() const { return a; }
    double Second() const { return b; }
    void Whole(Pair scale, Pair limit, int64_t* first, int64_t* second) const
    {
        auto whole = [](double x, double l) { return Round(x == x ? std::min(std::max(x, -l), l) : -l); };
        *first = whole(a * scale.a, limit.a), *second = whole(b * scale.b, limit.b);
    }
#endif
};

// The planes of two attributes over a triangle's pixel centres (as
// SetPlane, corners at xs, ys), each attribute's corner values in a pair.
struct PlanePair {
    Pair a, dx, dy;
};
struct PlaneGeometry {
    Pair x0, y0, x10, x20, y10, y20, inverseArea;
    PlaneGeometry(const double* xs, const double* ys, double inverse)
        : x0(Pair::Both(xs[0])), y0(Pair::Both(ys[0])), x10(Pair::Both(xs[1] - xs[0])),
          x20(Pair::Both(xs[2] - xs[0])), y10(Pair::Both(ys[1] - ys[0])), y20(Pair::Both(ys[2] - ys[0])),
          inverseArea(Pair::Both(inverse))
    {
    }
    PlanePair Planes(Pair a0, Pair a1, Pair a2) const
    {
        const Pair e1 = a1 - a0, e2 = a2 - a0;
        const Pair dx = (e1 * y20 - e2 * y10) * inverseArea;
        const Pair dy = (e2 * x10 - e1 * x20) * inverseArea;
        return {a0 - dx * x0 - dy * y0, dx, dy};
    }
};

inline void AddBounds(BoundsPart* b, int y, int x0, int x1)
{
    b->minX = std::min(b->minX, float(x0));
    b->maxX = std::max(b->maxX, float(x1 - 1));
    b->minY = std::min(b->minY, float(y));
    b->maxY = std::max(b->maxY, float(y));
}

// The three edge functions along the rows of a small triangle's box: bit k
// of a row's mask is set when the centre k columns right of the box's
// corner lies inside all three (their functions there not negative). Four
// centres at a time where the vector unit has them.
struct EdgeRows {
#if defined(__SSE2__)
    __m128i e[3], across[3], down[3];
    EdgeRows(const int32_t* e0, const int32_t* ex, const int32_t* ey)
    {
        for (int i = 0; i < 3; ++i) {
            e[i] = _mm_set_epi32(e0[i] + 3 * ex[i], e0[i] + 2 * ex[i], e0[i] + ex[i], e0[i]);
            across[i] = _mm_set1_epi32(4 * ex[i]);
            down[i] = _mm_set1_epi32(ey[i]);
        }
    }
    // Bits from n on are to be ignored.
    uint64_t Inside(int n) const
    {
        auto four = [](__m128i a, __m128i b, __m128i c) {
            return uint64_t(~_mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(_mm_or_si128(a, b), c))) & 15);
        };
        if (n <= 4) // half the boxes
            return four(e[0], e[1], e[2]);
        if (n <= 16) { // most others: no loop
            const __m128i a1 = _mm_add_epi32(e[0], across[0]), b1 = _mm_add_epi32(e[1], across[1]),
                          c1 = _mm_add_epi32(e[2], across[2]);
            const uint64_t eight = four(e[0], e[1], e[2]) | four(a1, b1, c1) << 4;
            if (n <= 8)
                return eight;
            const __m128i a2 = _mm_add_epi32(a1, across[0]), b2 = _mm_add_epi32(b1, across[1]),
                          c2 = _mm_add_epi32(c1, across[2]);
            return eight | four(a2, b2, c2) << 8 |
                   four(_mm_add_epi32(a2, across[0]), _mm_add_epi32(b2, across[1]), _mm_add_epi32(c2, across[2]))
                       << 12;
        }
        uint64_t inside = 0;
        __m128i v0 = e[0], v1 = e[1], v2 = e[2];
        for (int k = 0; k < n; k += 4) {
            const __m128i any = _mm_or_si128(_mm_or_si128(v0, v1), v2);
            inside |= uint64_t(~_mm_movemask_ps(_mm_castsi128_ps(any)) & 15) << k;
            v0 = _mm_add_epi32(v0, across[0]), v1 = _mm_add_epi32(v1, across[1]), v2 = _mm_add_epi32(v2, across[2]);
        }
        return inside;
    }
    void Down()
    {
        for (int i = 0; i < 3; ++i)
            e[i] = _mm_add_epi32(e[i], down[i]);
    }
    // The centres inside in the first ROWS rows and COLS (4 or 8) columns
    // of the box, from here: bit COLS x row + column. No branch: the signs
    // of the rows' edge functions are packed down to bytes (saturation
    // keeps each sign) and taken 16 at a time.
    template <int COLS, int ROWS>
    uint64_t Block() const
    {
        static_assert((COLS == 4 || COLS == 8) && COLS * ROWS <= 64 && COLS * ROWS % 16 == 0);
        // A negative function among the three: the four centres from `a` outside.
        auto outside = [](const __m128i* a) { return _mm_or_si128(_mm_or_si128(a[0], a[1]), a[2]); };
        __m128i row[3] = {e[0], e[1], e[2]}, signs[ROWS];
        for (int r = 0; r < ROWS; ++r) {
            if constexpr (COLS == 4) {
                signs[r] = outside(row);
            } else {
                const __m128i right[3] = {_mm_add_epi32(row[0], across[0]), _mm_add_epi32(row[1], across[1]),
                                          _mm_add_epi32(row[2], across[2])};
                signs[r] = _mm_packs_epi32(outside(row), outside(right));
            }
            for (int i = 0; i < 3; ++i)
                row[i] = _mm_add_epi32(row[i], down[i]);
        }
        // Sixteen centres a mask: four rows of four, or two of eight.
        uint64_t out = 0;
        for (int r = 0; r < ROWS; r += 16 / COLS) {
            __m128i bytes;
            if constexpr (COLS == 4)
                bytes = _mm_packs_epi16(_mm_packs_epi32(signs[r], signs[r + 1]),
                                        _mm_packs_epi32(signs[r + 2], signs[r + 3]));
            else
                bytes = _mm_packs_epi16(signs[r], signs[r + 1]);
            out |= uint64_t(uint32_t(_mm_movemask_epi8(bytes))) << (COLS * r);
        }
        return ~out;
    }
#else
    int32_t e[3], across[3], down[3];
    EdgeRows(const int32_t* e0, const int32_t* ex, const int32_t* ey)
    {
        for (int i = 0; i < 3; ++i)
            e[i] = e0[i], across[i] = ex[i], down[i] = ey[i];
    }
    uint64_t Inside(int n) const
    {
        uint64_t inside = 0;
        int32_t v0 = e[0], v1 = e[1], v2 = e[2];
        for (int k = 0; k < n; ++k) {
            inside |= uint64_t((v0 | v1 | v2) >= 0) << k;
            v0 += across[0], v1 += across[1], v2 += across[2];
        }
        return inside;
    }
    void Down()
    {
        for (int i = 0; i < 3; ++i)
            e[i] += down[i];
    }
    template <int COLS, int ROWS>
    uint64_t Block() const
    {
        EdgeRows at = *this;
        uint64_t inside = 0;
        for (int r = 0; r < ROWS; ++r, at.Down())
            inside |= at.Inside(COLS) << (COLS * r);
        return inside;
    }
#endif
};

// A small triangle in one state's loop: each row of its box takes the run
// of pixel centres inside all three edges, from the edge functions
// evaluated exactly in integers at every centre of the row (no branch per
// pixel); a centre on an edge is inside when the edge is a left edge (the
// inside lies towards +x) or a top edge (horizontal, the inside below),
// the same pixels as the edge walk. Attributes are fixed-point planes from
// the box's corner.
template <OutKind O, DepthKind D, bool SMOOTH, TexKind T, bool ZT, bool LINEAR, uint8_t FX>
void SmallTriangle(const DrawSetup& s, const Snapped* p, int32_t area, int x0, int x1, int y0, int y1)
{
    using Shade = Shader<O, D, SMOOTH, T, ZT, LINEAR, FX>;
    const Shade shader(s);
    constexpr int kChannels = O == OutKind::Index8 ? 1 : 3;
    // Edge i runs from corner i to corner i + 1; its function is positive
    // inside whichever way the corners turn.
    int32_t e[3], ex[3], ey[3];
    const int32_t cx = x0 * kSubPixel, cy = y0 * kSubPixel;
    for (int i = 0; i < 3; ++i) {
        const Snapped& from = p[i];
        const Snapped& to = p[i == 2 ? 0 : i + 1];
        int32_t a = int32_t(from.y - to.y), b = int32_t(to.x - from.x);
        if (area < 0)
            a = -a, b = -b;
        // A centre on the edge is outside unless the edge is a left or a top one.
        const int32_t onIsOutside = int32_t((a < 0) | ((a == 0) & (b <= 0)));
        e[i] = a * (cx - int32_t(from.x)) + b * (cy - int32_t(from.y)) - onIsOutside;
        ex[i] = a * kSubPixel;
        ey[i] = b * kSubPixel;
    }
    // Planes over pixel centres, relative to the box's corner.
    Triangle t;
    const double xs[3] = {double(p[0].x - cx) / kSubPixel, double(p[1].x - cx) / kSubPixel,
                          double(p[2].x - cx) / kSubPixel};
    const double ys[3] = {double(p[0].y - cy) / kSubPixel, double(p[1].y - cy) / kSubPixel,
                          double(p[2].y - cy) / kSubPixel};
    const double inverseArea = double(kSubPixel * kSubPixel) / double(area);
    const ScreenVertex &va = *p[0].v, &vb = *p[1].v, &vc = *p[2].v;
    SpanStart row = {};
    Steps down = {};
    t.d = {};
    const PlaneGeometry planes(xs, ys, inverseArea);
    // Fixed-point values and steps of a pair of planes: scaled to 16.16,
    // or as they are for depth.
    const Pair fixedScale = Pair::Both(65536.0), fixedLimit = Pair::Both(2147483647.0);
    auto fixed = [&](const PlanePair& pl, Pair scale, Pair limit, int64_t* value, int64_t* dx, int64_t* dy) {
        pl.a.Whole(scale, limit, &value[0], &value[1]);
        pl.dx.Whole(scale, limit, &dx[0], &dx[1]);
        pl.dy.Whole(scale, limit, &dy[0], &dy[1]);
    };
    // A flat face's colour is its first corner's: a plane with no slope.
    auto colour = [&](const ScreenVertex& v, int i) { return SMOOTH ? v.c[i] : va.c[i]; };
    int64_t value[2], dx[2], dy[2];
    // Depth, as it is, with the first channel.
    fixed(planes.Planes(Pair(va.z, va.c[0]), Pair(vb.z, colour(vb, 0)), Pair(vc.z, colour(vc, 0))),
          Pair(1.0, 65536.0), Pair(1125899906842624.0, 2147483647.0), value, dx, dy);
    const int64_t rowZ = value[0];
    t.d.z = int32_t(dx[0]), down.z = int32_t(dy[0]);
    row.c[0] = int32_t(value[1]), t.d.c[0] = int32_t(dx[1]), down.c[0] = int32_t(dy[1]);
    if constexpr (kChannels > 1) {
        fixed(planes.Planes(Pair(va.c[1], va.c[2]), Pair(colour(vb, 1), colour(vb, 2)),
                            Pair(colour(vc, 1), colour(vc, 2))),
              fixedScale, fixedLimit, value, dx, dy);
        row.c[1] = int32_t(value[0]), t.d.c[1] = int32_t(dx[0]), down.c[1] = int32_t(dy[0]);
        row.c[2] = int32_t(value[1]), t.d.c[2] = int32_t(dx[1]), down.c[2] = int32_t(dy[1]);
    }
    if constexpr (T == TexKind::Affine) {
        fixed(planes.Planes(Pair(va.u, va.v), Pair(vb.u, vb.v), Pair(vc.u, vc.v)), fixedScale, fixedLimit, value, dx,
              dy);
        row.u = int32_t(value[0]), t.d.u = int32_t(dx[0]), down.u = int32_t(dy[0]);
        row.v = int32_t(value[1]), t.d.v = int32_t(dx[1]), down.v = int32_t(dy[1]);
    }
    if constexpr (T == TexKind::Perspective) {
        // The rows divide from the planes themselves, in screen terms.
        const PlanePair uv = planes.Planes(Pair(va.u, va.v), Pair(vb.u, vb.v), Pair(vc.u, vc.v));
        const PlanePair q = planes.Planes(Pair(va.q, 0.0), Pair(vb.q, 0.0), Pair(vc.q, 0.0));
        const Pair a = uv.a - (uv.dx * Pair::Both(x0) + uv.dy * Pair::Both(y0));
        t.u = {a.First(), uv.dx.First(), uv.dy.First()};
        t.v = {a.Second(), uv.dx.Second(), uv.dy.Second()};
        t.q = {q.a.First() - (q.dx.First() * x0 + q.dy.First() * y0), q.dx.First(), q.dy.First()};
    }
    if constexpr ((FX & kFxFog) != 0) {
        fixed(planes.Planes(Pair(va.fog, 0.0), Pair(vb.fog, 0.0), Pair(vc.fog, 0.0)), fixedScale, fixedLimit, value,
              dx, dy);
        row.fog = int32_t(value[0]), t.d.fog = int32_t(dx[0]), down.fog = int32_t(dy[0]);
    }

    // The values at the box's left column, row by row, in the pixel
    // loop's own form, and their steps along a row and down one. Depth is
    // carried as it is, not cut to 32 bits, so that its sum with the level
    // above it holds at every pixel: at the centres inside, where a run
    // starts, it lies within 32 bits again.
    const auto steps = shader.StepsToCarry(t.d);
    auto rowAt = shader.ToCarry(row);
    rowAt.zc = (uint64_t(uint32_t(row.c[0])) << 32) + uint64_t(rowZ);
    const auto rowDown = shader.StepsToCarry(down);
    EdgeRows edges(e, ex, ey);
    const int n = x1 - x0 + 1; // at most 33 columns
    const uint64_t columns = (uint64_t(1) << n) - 1;
    // Boxes of at most 8 columns and 64 centres (some four in five) take
    // the centres inside as one mask, a row every 4 or 8 bits, and draw
    // its pixels in one loop: no loop a row, whose ends the processor
    // cannot foresee.
    const int rows = y1 - y0 + 1;
    if constexpr (T != TexKind::Perspective && (FX & kFxDoor) == 0) {
        if (n <= 8 && rows <= (n <= 4 ? 16 : 8) && !shader.clamps && !shader.dither) {
            const int shift = n <= 4 ? 2 : 3;
            uint64_t mask;
            if (n <= 4)
                mask = rows <= 4 ? edges.Block<4, 4>() : rows <= 8 ? edges.Block<4, 8>()
                                                                   : edges.Block<4, 16>();
            else
                mask = rows <= 2 ? edges.Block<8, 2>() : rows <= 4 ? edges.Block<8, 4>()
                                                                   : edges.Block<8, 8>();
            const uint64_t eachRow = n <= 4 ? 0x1111111111111111 : 0x0101010101010101;
            const int bits = rows << shift;
            mask &= (bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1) & eachRow * columns;
            if (!mask)
                return;
            if (s.bounds) {
                uint64_t drawn = mask | mask >> 32; // the rows' columns folded onto the first's
                drawn |= drawn >> 16;
                drawn |= drawn >> 8;
                drawn = (shift == 2 ? drawn | drawn >> 4 : drawn) & columns;
                const int left = x0 + std::countr_zero(drawn), right = x0 + std::bit_width(drawn);
                AddBounds(s.bounds, y0 + (std::countr_zero(mask) >> shift), left, right);
                AddBounds(s.bounds, y0 + ((std::bit_width(mask) - 1) >> shift), left, right);
            }
            // The box's corner in each buffer and the rows' strides, in
            // locals: the pixel writes would make the compiler reload them.
            using Pixel = typename Shade::Pixel;
            using DepthWord = typename Shade::DepthWord;
            uint8_t* const colour = reinterpret_cast<uint8_t*>(shader.ColourRow(y0) + x0);
            uint8_t* const depth =
                D == DepthKind::None ? nullptr : reinterpret_cast<uint8_t*>(shader.DepthRow(y0) + x0);
            const intptr_t colourStride = s.colourStride, depthStride = s.depthStride;
            const typename Shade::PixelSetup ps(s);
            do {
                const int i = std::countr_zero(mask), row = i >> shift, column = i & ((1 << shift) - 1);
                mask &= mask - 1;
                const auto at = rowAt.After(rowDown, uint32_t(row)).After(steps, uint32_t(column));
                DepthWord* const depthAt =
                    D == DepthKind::None ? nullptr : reinterpret_cast<DepthWord*>(depth + row * depthStride) + column;
                shader.Dot(reinterpret_cast<Pixel*>(colour + row * colourStride) + column, depthAt, ps, at.zc, at.c12,
                           at.fog, at.u, at.v);
            } while (mask);
            return;
        }
    }
    // The drawn rows and the union of their runs, for the bounds.
    int top = -1, bottom = -1;
    uint64_t drawnColumns = 0;
    // Every row of the box is looked at: a convex shape's centres in a row
    // are one run, but its rows with centres need not be one block (a thin
    // sliver can pass between the centres of a row and hold some in the
    // rows on either side).
    for (int y = y0; y <= y1; ++y, edges.Down(), rowAt = rowAt.After(rowDown, 1)) {
        const uint64_t inside = edges.Inside(n) & columns;
        if (!inside)
            continue;
        if (top < 0)
            top = y;
        bottom = y;
        drawnColumns |= inside;
        const int first = std::countr_zero(inside), end = std::bit_width(inside);
        auto values = rowAt.After(steps, uint32_t(first));
        if (!shader.clamps) {
            // Straight into the pixel loop.
            if constexpr (T == TexKind::Perspective) {
                shader.PerspectiveRow(t, y, x0 + first, x0 + end, values, steps,
                                      shader.FirstRun(t, y, x0 + first, x0 + end));
            } else {
                auto* depth = shader.DepthRow(y);
                shader.Draw(shader.ColourRow(y) + x0 + end, depth ? depth + x0 + end : nullptr, y, x0 + first,
                            end - first, values, steps);
            }
        } else {
            SpanStart at = {};
            shader.FromCarry(values, &at);
            shader.Row(t, y, x0 + first, x0 + end, at);
        }
    }
    if (s.bounds && top >= 0) {
        AddBounds(s.bounds, top, x0 + std::countr_zero(drawnColumns), x0 + std::bit_width(drawnColumns));
        AddBounds(s.bounds, bottom, x0 + std::countr_zero(drawnColumns), x0 + std::bit_width(drawnColumns));
    }
}

// ---- the tables of loops, one entry a state -------------------------------------------

inline constexpr int kDepths = 3, kTexes = 3, kEffects = 8;
// States of one output type: depth, smooth, texture, z-transparency,
// linear texels and effects.
inline constexpr int kLoopsPerOut = kDepths * 2 * kTexes * 2 * 2 * kEffects;

// A key's entry in its output type's table.
inline int LoopIndex(const SpanKey& k)
{
    const int tex = int(k.tex);
    const bool zt = k.ztransparency && tex != 0, linear = k.linear && tex != 0 && k.out != OutKind::Index8;
    return ((((int(k.depth) * 2 + (k.smooth ? 1 : 0)) * kTexes + tex) * 2 + (zt ? 1 : 0)) * 2 + (linear ? 1 : 0)) *
               kEffects +
           (k.effects & (kEffects - 1));
}

struct Loops {
    SpanFn span;
    SmallFn small;
};

// Each output type's table comes in parts, one for each depth kind and
// shading (the leading terms of LoopIndex), so that the build compiles
// them side by side in files of their own (generated by the build,
// sr_loops_<output>_<part>.cpp): no one file takes long or much memory.
inline constexpr int kPartsPerOut = kDepths * 2;
inline constexpr int kLoopsPerPart = kLoopsPerOut / kPartsPerOut;
using LoopPart = std::array<Loops, kLoopsPerPart>;

template <OutKind O, DepthKind D, bool SMOOTH, TexKind T, bool ZT, bool LINEAR, uint8_t FX>
inline constexpr Loops kLoopsOf = {&Span<O, D, SMOOTH, T, ZT, LINEAR, FX>, &SmallTriangle<O, D, SMOOTH, T, ZT, LINEAR, FX>};

// Entry I of output type O's table (the inverse of LoopIndex); states that
// cannot occur (z-transparency without a texture, linear texels without a
// texture or at 8 bits) share the loops of the state they draw as.
template <OutKind O, int I>
constexpr Loops LoopsAt()
{
    constexpr int fx = I % kEffects, linear = (I / kEffects) % 2, zt = (I / (kEffects * 2)) % 2,
                  tex = (I / (kEffects * 4)) % kTexes, smooth = (I / (kEffects * 4 * kTexes)) % 2,
                  depth = I / (kEffects * 8 * kTexes);
    return kLoopsOf < O, DepthKind(depth), smooth != 0, TexKind(tex), zt != 0 && tex != 0,
           linear != 0 && tex != 0 && O != OutKind::Index8, uint8_t(fx) > ;
}
template <OutKind O, int P, size_t... I>
constexpr LoopPart MakePart(std::index_sequence<I...>)
{
    return {LoopsAt<O, P * kLoopsPerPart + int(I)>()...};
}

// Part P of output type O's table: entries P x kLoopsPerPart onwards.
// Instantiated only in its own file; every other file sees the extern
// declarations below and links to it.
template <OutKind O, int P>
const LoopPart& LoopsOfPart()
{
    static_assert(P >= 0 && P < kPartsPerOut);
    static constexpr LoopPart part = MakePart<O, P>(std::make_index_sequence<kLoopsPerPart>());
    return part;
}

// Output type O's parts, in order.
using LoopPartFn = const LoopPart& (*)();
template <OutKind O, size_t... P>
constexpr std::array<LoopPartFn, kPartsPerOut> PartsOf(std::index_sequence<P...>)
{
    return {&LoopsOfPart<O, int(P)>...};
}

#define SR_LOOP_PARTS_OF(OUT) \
    extern template const LoopPart& LoopsOfPart<OutKind::OUT, 0>(); \
    extern template const LoopPart& LoopsOfPart<OutKind::OUT, 1>(); \
    extern template const LoopPart& LoopsOfPart<OutKind::OUT, 2>(); \
    extern template const LoopPart& LoopsOfPart<OutKind::OUT, 3>(); \
    extern template const LoopPart& LoopsOfPart<OutKind::OUT, 4>(); \
    extern template const LoopPart& LoopsOfPart<OutKind::OUT, 5>();
static_assert(kPartsPerOut == 6, "the extern declarations and the build's part files list six parts");
SR_LOOP_PARTS_OF(Index8)
SR_LOOP_PARTS_OF(Rgb565)
SR_LOOP_PARTS_OF(Rgb555)
#undef SR_LOOP_PARTS_OF

} // namespace softrend
