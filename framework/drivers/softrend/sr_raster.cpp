// The rasteriser: triangle set-up (snapping, attribute planes, exact
// coverage under the top-left rule: edge functions over the box for small
// triangles, edge walking for the rest) and lines and points; the pixel
// loops are in sr_loops.h.
#include "framework/drivers/softrend/sr_raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "framework/drivers/softrend/sr_loops.h"

namespace softrend {

namespace {

// Floor and ceiling of a / b (b > 0) through one double division: for the
// magnitudes of 28.4 screen coordinates (|a| < 2^40, b < 2^24) the
// correctly rounded quotient never crosses an integer it should not, and
// it is several times quicker than a 64-bit integer division.
inline int64_t FloorDiv(int64_t a, int64_t b)
{
    const double q = double(a) / double(b);
    int64_t f = int64_t(q);
    return double(f) > q ? f - 1 : f;
}
inline int64_t CeilDiv(int64_t a, int64_t b)
{
    const double q = double(a) / double(b);
    int64_t c = int64_t(q);
    return double(c) < q ? c + 1 : c;
}
inline uint32_t DepthValue(double z)
{
    z = std::min(std::max(z, 0.0), 4294967295.0);
    return uint32_t(int64_t(z + 0.5));
}

// ---- edges ----------------------------------------------------------------------------

// The first pixel at or right of an edge on successive rows: x = ceil of
// the edge's crossing, kept exactly as x - err / D.
struct Edge {
    int64_t x, err, d, q, r;
    void Init(int64_t xa, int64_t ya, int64_t xb, int64_t yb, int row)
    {
        const int64_t dy = yb - ya, dx = xb - xa;
        const int64_t num = xa * dy + (int64_t(row) * kSubPixel - ya) * dx;
        d = int64_t(kSubPixel) * dy;
        x = CeilDiv(num, d);
        err = x * d - num;
        const int64_t step = int64_t(kSubPixel) * dx;
        q = FloorDiv(step, d);
        r = step - q * d;
    }
    // One row down; true when the edge moved one pixel more than q.
    bool Step()
    {
        x += q;
        err -= r;
        if (err < 0) {
            x += 1;
            err += d;
            return true;
        }
        return false;
    }
};

// An attribute followed down the left edge in 64-bit fixed point (16
// fractional bits for depth, 32 for the others), so that each span starts
// from a sum rather than from the plane: a row adds the step for the
// edge's q pixels across, or q + 1.
struct Walk {
    int64_t value, dx, base, extra;
    void Init(const Plane& p, int x, int y, int64_t q, double scale)
    {
        value = int64_t(Round(p.At(x, y) * scale));
        dx = int64_t(Round(p.dx * scale));
        base = int64_t(Round(p.dy * scale)) + q * dx;
        extra = base + dx;
    }
    int64_t At(int64_t offset) const { return value + dx * offset; }
    void Step(bool carry) { value += carry ? extra : base; }
};
constexpr double kDepthScale = 65536.0, kValueScale = 4294967296.0;


// The attribute planes of a triangle and their steps along x in the
// spans' fixed point; corners in 28.4 (pixel centres on whole numbers).
void SetUpPlanes(const DrawSetup& s, Triangle* t, const ScreenVertex& va, const ScreenVertex& vb,
                 const ScreenVertex& vc, const ScreenVertex& flat, const double* xs, const double* ys,
                 double inverseArea)
{
    SetPlane(&t->z, va.z, vb.z, vc.z, xs, ys, inverseArea);
    const int channels = s.key.out == OutKind::Index8 ? 1 : 3;
    for (int i = 0; i < channels; ++i) {
        if (s.key.smooth)
            SetPlane(&t->c[i], va.c[i], vb.c[i], vc.c[i], xs, ys, inverseArea);
        else
            t->c[i] = {flat.c[i], 0, 0};
    }
    if (s.key.tex != TexKind::None) {
        SetPlane(&t->u, va.u, vb.u, vc.u, xs, ys, inverseArea);
        SetPlane(&t->v, va.v, vb.v, vc.v, xs, ys, inverseArea);
        if (s.key.tex == TexKind::Perspective)
            SetPlane(&t->q, va.q, vb.q, vc.q, xs, ys, inverseArea);
    }
    if (s.key.effects & kFxFog)
        SetPlane(&t->fog, va.fog, vb.fog, vc.fog, xs, ys, inverseArea);
    t->d = {};
    t->d.z = int32_t(Round(t->z.dx));
    for (int i = 0; i < channels; ++i)
        t->d.c[i] = s.key.smooth ? Fixed16(t->c[i].dx) : 0;
    t->d.u = s.key.tex == TexKind::Affine ? Fixed16(t->u.dx) : 0;
    t->d.v = s.key.tex == TexKind::Affine ? Fixed16(t->v.dx) : 0;
    t->d.fog = (s.key.effects & kFxFog) ? Fixed16(t->fog.dx) : 0;
}

// The attributes followed from row to row, and the values at a span's
// first pixel taken from them.
struct Walks {
    Walk z{}, c[3]{}, u{}, v{}, fog{};
    int channels;
    bool textured, fogged;
    Walks(const DrawSetup& s)
        : channels(s.key.out == OutKind::Index8 ? 1 : 3), textured(s.key.tex == TexKind::Affine),
          fogged((s.key.effects & kFxFog) != 0)
    {
    }
    void Start(const Triangle& t, int x, int y, int64_t q)
    {
        z.Init(t.z, x, y, q, kDepthScale);
        for (int i = 0; i < channels; ++i)
            c[i].Init(t.c[i], x, y, q, kValueScale);
        if (textured) {
            u.Init(t.u, x, y, q, kValueScale);
            v.Init(t.v, x, y, q, kValueScale);
        }
        if (fogged)
            fog.Init(t.fog, x, y, q, kValueScale);
    }
    void At(int64_t in, SpanStart* at) const
    {
        at->z = uint32_t(std::min<int64_t>(std::max<int64_t>(z.At(in) >> 16, 0), 0xFFFFFFFF));
        for (int i = 0; i < channels; ++i)
            at->c[i] = int32_t(c[i].At(in) >> 16);
        if (textured)
            at->u = int32_t(u.At(in) >> 16), at->v = int32_t(v.At(in) >> 16);
        if (fogged)
            at->fog = int32_t(fog.At(in) >> 16);
    }
    void Step(bool carry)
    {
        z.Step(carry);
        for (int i = 0; i < channels; ++i)
            c[i].Step(carry);
        if (textured)
            u.Step(carry), v.Step(carry);
        if (fogged)
            fog.Step(carry);
    }
};


} // namespace

void SelectLoops(DrawSetup* s)
{
    constexpr auto parts = std::make_index_sequence<kPartsPerOut>();
    static constexpr std::array<LoopPartFn, kPartsPerOut> kParts[] = {
        PartsOf<OutKind::Index8>(parts), PartsOf<OutKind::Rgb565>(parts), PartsOf<OutKind::Rgb555>(parts)};
    const int index = LoopIndex(s->key);
    const Loops& loops = kParts[size_t(s->key.out)][size_t(index / kLoopsPerPart)]()[size_t(index % kLoopsPerPart)];
    s->span = loops.span;
    s->small = loops.small;
}

namespace {

// A triangle too large for the small path, by edge walking; `flat` holds
// the colour of flat-shaded faces. Apart from the small path so that the
// calls of the small, which are most, stay lean.
[[gnu::noinline]] void WalkTriangle(const DrawSetup& s, Snapped* p, const ScreenVertex& flat)
{
    // Top to bottom; the long edge runs from the top to the bottom vertex.
    if (p[1].y < p[0].y)
        std::swap(p[0], p[1]);
    if (p[2].y < p[1].y)
        std::swap(p[1], p[2]);
    if (p[1].y < p[0].y)
        std::swap(p[0], p[1]);
    // Rows and columns of sample points the triangle's box holds: most
    // triangles of a distant model hold none and end here, before any
    // set-up.
    auto ceil16 = [](int64_t v) { return int((v + kSubPixel - 1) >> 4); };
    const int yTop = ceil16(p[0].y), yMid = ceil16(p[1].y), yBottom = ceil16(p[2].y);
    const int first = std::max(yTop, 0);
    const int last = std::min(yBottom, s.height); // exclusive
    if (first >= last)
        return;
    const int64_t xMin = std::min({p[0].x, p[1].x, p[2].x}), xMax = std::max({p[0].x, p[1].x, p[2].x});
    if (ceil16(xMin) >= std::min(ceil16(xMax), s.width) || ceil16(xMax) <= 0)
        return;
    const int64_t side = (p[2].x - p[0].x) * (p[1].y - p[0].y) - (p[2].y - p[0].y) * (p[1].x - p[0].x);
    if (side == 0)
        return;
    const bool longIsLeft = side < 0;

    // Attribute planes over pixel centres, from the snapped positions.
    Triangle t;
    const double xs[3] = {double(p[0].x) / kSubPixel, double(p[1].x) / kSubPixel, double(p[2].x) / kSubPixel};
    const double ys[3] = {double(p[0].y) / kSubPixel, double(p[1].y) / kSubPixel, double(p[2].y) / kSubPixel};
    SetUpPlanes(s, &t, *p[0].v, *p[1].v, *p[2].v, flat, xs, ys, double(kSubPixel * kSubPixel) / double(-side));

    Edge longEdge, shortEdge;
    longEdge.Init(p[0].x, p[0].y, p[2].x, p[2].y, first);
    const bool upperHalf = first < yMid;
    if (upperHalf)
        shortEdge.Init(p[0].x, p[0].y, p[1].x, p[1].y, first);
    else
        shortEdge.Init(p[1].x, p[1].y, p[2].x, p[2].y, first);
    bool upper = upperHalf;
    Walks w(s);
    const Edge& startLeft = longIsLeft ? longEdge : shortEdge;
    w.Start(t, int(startLeft.x), first, startLeft.q);
    SpanStart at = {};
    for (int y = first; y < last; ++y) {
        if (upper && y >= yMid) {
            shortEdge.Init(p[1].x, p[1].y, p[2].x, p[2].y, y);
            upper = false;
            if (!longIsLeft)
                w.Start(t, int(shortEdge.x), y, shortEdge.q);
        }
        Edge& left = longIsLeft ? longEdge : shortEdge;
        Edge& right = longIsLeft ? shortEdge : longEdge;
        const int x0 = int(std::max<int64_t>(left.x, 0));
        const int x1 = int(std::min<int64_t>(right.x, s.width));
        if (x0 < x1) {
            if (s.bounds)
                AddBounds(s.bounds, y, x0, x1);
            w.At(x0 - left.x, &at); // past the pixels cut off at the screen's left
            s.span(s, t, y, x0, x1, at);
        }
        const bool carry = left.Step();
        right.Step();
        w.Step(carry);
    }
}

} // namespace

void DrawTriangle(const DrawSetup& s, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c)
{
    // Corners snapped to 1/16 pixel with pixel centres on whole numbers:
    // (v - 0.5) x 16 rounded to the nearest (ties to even), exact in
    // single precision for every coordinate within the guard band.
    Snapped p[3];
#if defined(__SSE2__)
    {
        const __m128 half = _mm_set1_ps(0.5f), scale = _mm_set1_ps(float(kSubPixel));
        alignas(16) int32_t q[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(q),
                        _mm_cvtps_epi32(_mm_mul_ps(_mm_sub_ps(_mm_set_ps(b.y, b.x, a.y, a.x), half), scale)));
        _mm_store_si128(reinterpret_cast<__m128i*>(q + 4),
                        _mm_cvtps_epi32(_mm_mul_ps(_mm_sub_ps(_mm_set_ps(0, 0, c.y, c.x), half), scale)));
        p[0] = {q[0], q[1], &a}, p[1] = {q[2], q[3], &b}, p[2] = {q[4], q[5], &c};
    }
#else
    auto snap = [](float v) { return Round((double(v) - 0.5) * kSubPixel); };
    p[0] = {snap(a.x), snap(a.y), &a}, p[1] = {snap(b.x), snap(b.y), &b}, p[2] = {snap(c.x), snap(c.y), &c};
#endif
    {
        // The box of pixel centres the corners span, within the screen.
        // (Selects rather than branches: which corner is the least is anyone's guess.)
        auto least = [](int64_t a, int64_t b) { return a < b ? a : b; };
        auto most = [](int64_t a, int64_t b) { return a < b ? b : a; };
        const int64_t xMin = least(least(p[0].x, p[1].x), p[2].x), xMax = most(most(p[0].x, p[1].x), p[2].x);
        const int64_t yMin = least(least(p[0].y, p[1].y), p[2].y), yMax = most(most(p[0].y, p[1].y), p[2].y);
        const int x0 = int(std::max<int64_t>((xMin + kSubPixel - 1) >> 4, 0));
        const int x1 = int(std::min<int64_t>(xMax >> 4, s.width - 1));
        const int y0 = int(std::max<int64_t>((yMin + kSubPixel - 1) >> 4, 0));
        const int y1 = int(std::min<int64_t>(yMax >> 4, s.height - 1));
        if (x0 > x1 || y0 > y1)
            return; // no pixel centre inside
        if (xMax - xMin <= kSmallSize && yMax - yMin <= kSmallSize) {
            const int64_t area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
            if (area != 0)
                s.small(s, p, int32_t(area), x0, x1, y0, y1);
            return;
        }
    }
    WalkTriangle(s, p, a);
}

namespace {

// One pixel of a line or point: depth-tested, in the vertex's colour.
void Plot(const DrawSetup& s, int x, int y, double zValue, const float* colour)
{
    if (x < 0 || y < 0 || x >= s.width || y >= s.height)
        return;
    const uint32_t z = DepthValue(zValue);
    if (s.key.depth == DepthKind::D16) {
        auto* d = reinterpret_cast<uint16_t*>(s.depth + intptr_t(y) * s.depthStride) + x;
        if (!(uint16_t(z >> 16) < *d))
            return;
        *d = uint16_t(z >> 16);
    } else if (s.key.depth == DepthKind::D32) {
        auto* d = reinterpret_cast<uint32_t*>(s.depth + intptr_t(y) * s.depthStride) + x;
        if (!(z < *d))
            return;
        *d = z;
    }
    if (s.bounds)
        AddBounds(s.bounds, y, x, x + 1);
    uint8_t* row = s.colour + intptr_t(y) * s.colourStride;
    auto channel = [&](int i) { return uint32_t(std::min(std::max(colour[i], 0.0f), 255.0f)); };
    if (s.key.out == OutKind::Index8) {
        // Untextured: the ramp; textured: the shade table's row for the
        // intensity at the texture's first texel.
        const int level = int(std::max(colour[0], 0.0f));
        row[x] = s.key.tex == TexKind::None ? uint8_t(s.indexBase + level)
                                            : s.shade[(std::min(level, s.shadeRows - 1) << 8) + s.texIndex[0]];
    } else {
        uint32_t r = channel(0), g = channel(1), b = channel(2);
        if (s.key.tex != TexKind::None) {
            const uint32_t texel = s.texRgb[0];
            r = (((texel >> 16) & 255) * r) >> 8, g = (((texel >> 8) & 255) * g) >> 8, b = ((texel & 255) * b) >> 8;
        }
        reinterpret_cast<uint16_t*>(row)[x] = Pack(s.key.out, r, g, b);
    }
}

} // namespace

void DrawLine(const DrawSetup& s, const ScreenVertex& a, const ScreenVertex& b)
{
    const double ax = std::floor(a.x), ay = std::floor(a.y), bx = std::floor(b.x), by = std::floor(b.y);
    const int n = int(std::max(std::fabs(bx - ax), std::fabs(by - ay)));
    float colour[3];
    for (int i = 0; i <= n; ++i) {
        const double t = n ? double(i) / n : 0.0;
        for (int k = 0; k < 3; ++k)
            colour[k] = float(a.c[k] + (b.c[k] - a.c[k]) * t);
        Plot(s, int(std::lround(ax + (bx - ax) * t)), int(std::lround(ay + (by - ay) * t)), a.z + (b.z - a.z) * t,
             colour);
    }
}

void DrawPoint(const DrawSetup& s, const ScreenVertex& a)
{
    Plot(s, int(std::floor(a.x)), int(std::floor(a.y)), a.z, a.c);
}

} // namespace softrend
