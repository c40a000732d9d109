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

inline uint16_t Pack(OutKind o, uint32_t r, uint32_t g, uint32_t b)
{
    return o == OutKind::Rgb565 ? uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3))
                                : uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}
inline void Unpack(OutKind o, uint16_t p, uint32_t* r, uint32_t* g, uint32_t* b)
{
    if (o == OutKind::Rgb565) {
        *r = (p >> 11) << 3, *g = ((p >> 5) & 63) << 2, *b = (p & 31) << 3;
    } else {
        *r = ((p >> 10) & 31) << 3, *g = ((p >> 5) & 31) << 3, *b = (p & 31) << 3;
    }
}

// True when the texture's coordinates stop at its edges rather than wrap.
inline bool Clamps(const DrawSetup& s)
{
    return s.uLo != INT32_MIN || s.uHi != INT32_MAX || s.vLo != INT32_MIN || s.vHi != INT32_MAX;
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
    // channel above it; one register and one addition a pixel fewer. v is
    // carried multiplied by the texture's width, in 64 bits, so that its
    // whole part lands on the texel row's first index with no shift a
    // pixel: texel = ((u >> 16) & uMask) + ((v >> 16) & vMask).
    struct Carry {
        uint64_t zc, v;
        uint32_t u;
        int32_t c1, c2, fog;
        // These values k steps further (in the sums' own wrapping arithmetic).
        Carry After(const Carry& d, uint32_t k) const
        {
            return {zc + d.zc * k,
                    v + d.v * k,
                    u + d.u * k,
                    int32_t(uint32_t(c1) + uint32_t(d.c1) * k),
                    int32_t(uint32_t(c2) + uint32_t(d.c2) * k),
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
            c.c1 = at.c[1], c.c2 = at.c[2];
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
            c.c1 = c.c2 = 0;
        return c;
    }
    void FromCarry(const Carry& c, SpanStart* at) const
    {
        at->z = uint32_t(c.zc);
        at->c[0] = int32_t(c.zc >> 32);
        if constexpr (kChannels > 1)
            at->c[1] = c.c1, at->c[2] = c.c2;
        if constexpr (T != TexKind::None)
            at->u = int32_t(c.u), at->v = int32_t(uint32_t(c.v >> widthShift));
        if constexpr ((FX & kFxFog) != 0)
            at->fog = c.fog;
    }

    // The pixel loop: the n pixels before `out` and `depth` (row y's,
    // column x + n the first past them) from the values `at`, left past
    // them. Texture coordinates wrap here; clamped maps go through Clamped.
    // STRIDE 4 draws every fourth pixel (one of the four interleaved runs
    // of Dithered), each 16-bit channel raised by its dither offset
    // (`raise`: red and blue in the low byte, green above) before it loses
    // its low bits.
    template <int STRIDE = 1>
    [[gnu::always_inline]] inline void Pixels(Pixel* const out, [[maybe_unused]] DepthWord* const depth,
                                              [[maybe_unused]] int y, [[maybe_unused]] int x, int n, Carry& at,
                                              const Carry& d, [[maybe_unused]] uint32_t raise = 0) const
    {
        uint64_t zc = at.zc;
        [[maybe_unused]] int32_t c1 = at.c1, c2 = at.c2, f = at.fog;
        [[maybe_unused]] uint32_t u = at.u;
        [[maybe_unused]] uint64_t v = at.v;
        [[maybe_unused]] const uint8_t* const fogTable = s.fogTable;
        [[maybe_unused]] const uint8_t* const blend = s.blend;
        [[maybe_unused]] const int indexBase = s.indexBase;
        [[maybe_unused]] const uint32_t alpha = uint32_t(s.alpha);
        [[maybe_unused]] const int doorWidth = s.doorWidth;
        [[maybe_unused]] const uint32_t fogR = s.fogColour >> 16, fogG = (s.fogColour >> 8) & 255,
                                        fogB = s.fogColour & 255;
        [[maybe_unused]] const uint8_t* doorRow =
            (FX & kFxDoor) ? s.door + (y % s.doorHeight) * s.doorWidth : nullptr;
        // The door's column, followed without a division a pixel.
        [[maybe_unused]] int doorColumn = (FX & kFxDoor) ? x % doorWidth : 0;

        for (intptr_t i = -intptr_t(n); i < 0; i += STRIDE) {
            do {
                const uint32_t z = uint32_t(zc);
                if constexpr ((FX & kFxDoor) != 0) {
                    if (!doorRow[doorColumn])
                        break;
                }
                if constexpr (D == DepthKind::D16) {
                    if (!(uint16_t(z >> 16) < depth[i]))
                        break;
                }
                if constexpr (D == DepthKind::D32) {
                    if (!(z < depth[i]))
                        break;
                }
                [[maybe_unused]] uint32_t texel = 0;
                if constexpr (LINEAR) {
                    if constexpr (ZT) {
                        if (texRgb[size_t((u >> 16) & uMask) + size_t((v >> 16) & vMask)] & 0x1000000)
                            break;
                    }
                    texel = Bilinear(u, v);
                } else if constexpr (T != TexKind::None) {
                    const size_t texelAt = size_t((u >> 16) & uMask) + size_t((v >> 16) & vMask);
                    if constexpr (O == OutKind::Index8) {
                        texel = texIndex[texelAt];
                        if constexpr (ZT) {
                            if (texel == 0)
                                break;
                        }
                    } else {
                        texel = texRgb[texelAt];
                        if constexpr (ZT) {
                            if (texel & 0x1000000)
                                break;
                        }
                    }
                }
                // The first channel's whole part (a level is never negative).
                const uint32_t level = uint32_t(zc >> 48);
                if constexpr (O == OutKind::Index8) {
                    uint32_t index;
                    if constexpr (T == TexKind::None)
                        index = (uint32_t(indexBase) + level) & 255;
                    else
                        index = shade[(size_t(level) << 8) + texel];
                    if constexpr ((FX & kFxFog) != 0)
                        index = fogTable[((f >> 16) << 8) + index];
                    if constexpr ((FX & kFxBlend) != 0)
                        index = blend[(index << 8) + out[i]];
                    out[i] = uint8_t(index);
                } else {
                    uint32_t r, g, b;
                    if constexpr (T == TexKind::None) {
                        r = level, g = uint32_t(c1 >> 16), b = uint32_t(c2 >> 16);
                    } else {
                        r = (((texel >> 16) & 255) * level) >> 8;
                        g = (((texel >> 8) & 255) * uint32_t(c1 >> 16)) >> 8;
                        b = ((texel & 255) * uint32_t(c2 >> 16)) >> 8;
                    }
                    if constexpr ((FX & kFxFog) != 0) {
                        const int32_t w = f >> 16; // 0-256
                        r = uint32_t(int32_t(r) + (((int32_t(fogR) - int32_t(r)) * w) >> 8));
                        g = uint32_t(int32_t(g) + (((int32_t(fogG) - int32_t(g)) * w) >> 8));
                        b = uint32_t(int32_t(b) + (((int32_t(fogB) - int32_t(b)) * w) >> 8));
                    }
                    if constexpr ((FX & kFxBlend) != 0) {
                        uint32_t dr, dg, db;
                        Unpack(O, out[i], &dr, &dg, &db);
                        const uint32_t a = alpha, ia = 256 - a;
                        r = (r * a + dr * ia) >> 8, g = (g * a + dg * ia) >> 8, b = (b * a + db * ia) >> 8;
                    }
                    if constexpr (STRIDE != 1) {
                        r = std::min(r + (raise & 255), 255u), b = std::min(b + (raise & 255), 255u);
                        g = std::min(g + (raise >> 8), 255u);
                    }
                    out[i] = Pack(O, r, g, b);
                }
                if constexpr (D == DepthKind::D16)
                    depth[i] = uint16_t(z >> 16);
                if constexpr (D == DepthKind::D32)
                    depth[i] = z;
            } while (false);
            zc += d.zc;
            if constexpr (SMOOTH && kChannels > 1)
                c1 += d.c1, c2 += d.c2;
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
        at.zc = zc, at.c1 = c1, at.c2 = c2, at.fog = f, at.u = u, at.v = v;
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
            Dithered(out, depth, y, x, n, at, d);
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
    [[gnu::noinline]] void Dithered(Pixel* const out, DepthWord* const depth, int y, int x, int n, Carry& at,
                                    const Carry& d) const
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
        at = at.After(d, uint32_t(n));
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
        } else {
            Steps d = t.d;
            double uq = t.u.At(x0, y), vq = t.v.At(x0, y), q = t.q.At(x0, y);
            at.u = Fixed16(uq / q), at.v = Fixed16(vq / q);
            for (int x = x0; x < x1;) {
                const int end = std::min(x + kPerspectiveRun, x1);
                const int n = end - x;
                uq += t.u.dx * n, vq += t.v.dx * n, q += t.q.dx * n;
                const int32_t uEnd = Fixed16(uq / q), vEnd = Fixed16(vq / q);
                d.u = (uEnd - at.u) / n, d.v = (vEnd - at.v) / n;
                if (clamps)
                    Clamped(y, x, end, at, d);
                else
                    Run(y, x, end, at, d);
                at.u = uEnd, at.v = vEnd; // no drift from the divided steps
                x = end;
            }
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
        if (n <= 16) { // most boxes: no loop
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
    const Shader<O, D, SMOOTH, T, ZT, LINEAR, FX> shader(s);
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
    auto fixed = [&](Plane* plane, double a0, double a1, double a2, int32_t* value, int32_t* dx, int32_t* dy) {
        SetPlane(plane, a0, a1, a2, xs, ys, inverseArea);
        *value = Fixed16(plane->a), *dx = Fixed16(plane->dx), *dy = Fixed16(plane->dy);
    };
    SetPlane(&t.z, va.z, vb.z, vc.z, xs, ys, inverseArea);
    row.z = uint32_t(Round(t.z.a)), t.d.z = int32_t(Round(t.z.dx)), down.z = int32_t(Round(t.z.dy));
    for (int i = 0; i < kChannels; ++i) {
        if constexpr (SMOOTH)
            fixed(&t.c[i], va.c[i], vb.c[i], vc.c[i], &row.c[i], &t.d.c[i], &down.c[i]);
        else
            row.c[i] = Fixed16(va.c[i]);
    }
    if constexpr (T == TexKind::Affine) {
        fixed(&t.u, va.u, vb.u, vc.u, &row.u, &t.d.u, &down.u);
        fixed(&t.v, va.v, vb.v, vc.v, &row.v, &t.d.v, &down.v);
    }
    if constexpr (T == TexKind::Perspective) {
        // The rows divide from the planes themselves, in screen terms.
        auto plane = [&](Plane* pl, double a0, double a1, double a2) {
            SetPlane(pl, a0, a1, a2, xs, ys, inverseArea);
            pl->a -= pl->dx * x0 + pl->dy * y0;
        };
        plane(&t.u, va.u, vb.u, vc.u);
        plane(&t.v, va.v, vb.v, vc.v);
        plane(&t.q, va.q, vb.q, vc.q);
    }
    if constexpr ((FX & kFxFog) != 0)
        fixed(&t.fog, va.fog, vb.fog, vc.fog, &row.fog, &t.d.fog, &down.fog);

    const auto steps = shader.StepsToCarry(t.d);
    EdgeRows edges(e, ex, ey);
    const int n = x1 - x0 + 1; // at most 33 columns
    const uint64_t columns = (uint64_t(1) << n) - 1;
    // The drawn rows and the union of their runs, for the bounds.
    int top = -1, bottom = -1;
    uint64_t drawnColumns = 0;
    for (int y = y0; y <= y1; ++y) {
        const uint64_t inside = edges.Inside(n) & columns;
        if (inside) {
            if (top < 0)
                top = y;
            bottom = y;
            drawnColumns |= inside;
            // A convex shape's centres in a row are one run.
            const int first = std::countr_zero(inside), end = std::bit_width(inside);
            SpanStart at = row;
            at.z = row.z + uint32_t(t.d.z) * uint32_t(first);
            for (int i = 0; i < kChannels; ++i)
                at.c[i] = int32_t(uint32_t(row.c[i]) + uint32_t(t.d.c[i]) * uint32_t(first));
            at.u = int32_t(uint32_t(row.u) + uint32_t(t.d.u) * uint32_t(first));
            at.v = int32_t(uint32_t(row.v) + uint32_t(t.d.v) * uint32_t(first));
            at.fog = int32_t(uint32_t(row.fog) + uint32_t(t.d.fog) * uint32_t(first));
            if (T != TexKind::Perspective && !shader.clamps) {
                // Straight into the pixel loop.
                auto values = shader.ToCarry(at);
                auto* depth = shader.DepthRow(y);
                shader.Draw(shader.ColourRow(y) + x0 + end, depth ? depth + x0 + end : nullptr, y, x0 + first,
                            end - first, values, steps);
            } else {
                shader.Row(t, y, x0 + first, x0 + end, at);
            }
        } else if (top >= 0) {
            break; // the rows after the shape's last are empty
        }
        edges.Down();
        row.z += uint32_t(down.z);
        for (int i = 0; i < kChannels; ++i)
            row.c[i] = int32_t(uint32_t(row.c[i]) + uint32_t(down.c[i]));
        row.u = int32_t(uint32_t(row.u) + uint32_t(down.u));
        row.v = int32_t(uint32_t(row.v) + uint32_t(down.v));
        row.fog = int32_t(uint32_t(row.fog) + uint32_t(down.fog));
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
