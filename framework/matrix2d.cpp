// The framework's affine 2D matrices, used to transform texture map
// coordinates: rows 0-1 the linear part, row 2 the translation, points as
// row vectors on the left. Results are built locally first, so a
// destination may also be a source.
#include "framework/hx_math.h"
#include "framework/hx_math_internal.h"

#include <cmath>

using namespace hxmath;

namespace {

using M23 = hx_matrix23;

M23 Identity23() { return M23{{{1, 0}, {0, 1}, {0, 0}}}; }

M23 Product23(const M23& a, const M23& b)
{
    M23 out;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 2; ++c) {
            double v = static_cast<double>(a.m[r][0]) * b.m[0][c] +
                       static_cast<double>(a.m[r][1]) * b.m[1][c];
            if (r == 2) v += b.m[2][c];
            out.m[r][c] = static_cast<float>(v);
        }
    }
    return out;
}

M23 Rotation23(hx_angle angle)
{
    const SinCos t = AngleSinCos(angle);
    const float c = static_cast<float>(t.c), s = static_cast<float>(t.s);
    return M23{{{c, s}, {-s, c}, {0, 0}}};
}

M23 Translation23(hx_scalar x, hx_scalar y) { return M23{{{1, 0}, {0, 1}, {x, y}}}; }
M23 Scaling23(hx_scalar sx, hx_scalar sy) { return M23{{{sx, 0}, {0, sy}, {0, 0}}}; }
M23 ShearX23(hx_scalar sy) { return M23{{{1, sy}, {0, 1}, {0, 0}}}; }
M23 ShearY23(hx_scalar sx) { return M23{{{1, 0}, {sx, 1}, {0, 0}}}; }

// The inverse with k = 1 / det (k = 1 for a matrix of determinant 1).
M23 ScaledInverse(const M23& s, double k)
{
    const auto e = [&s](int r, int c) { return static_cast<double>(s.m[r][c]); };
    M23 d;
    d.m[0][0] = static_cast<float>(k * e(1, 1));
    d.m[0][1] = static_cast<float>(-k * e(0, 1));
    d.m[1][0] = static_cast<float>(-k * e(1, 0));
    d.m[1][1] = static_cast<float>(k * e(0, 0));
    d.m[2][0] = static_cast<float>(k * (e(2, 1) * e(1, 0) - e(1, 1) * e(2, 0)));
    d.m[2][1] = static_cast<float>(k * (e(0, 1) * e(2, 0) - e(0, 0) * e(2, 1)));
    return d;
}

hx_matrix23* Pre(hx_matrix23* m, const M23& f)
{
    *m = Product23(f, *m);
    return m;
}

hx_matrix23* Post(hx_matrix23* m, const M23& f)
{
    *m = Product23(*m, f);
    return m;
}

hx_vector2 Apply(const M23& m, double x, double y, double w)
{
    return {static_cast<float>(x * m.m[0][0] + y * m.m[1][0] + w * m.m[2][0]),
            static_cast<float>(x * m.m[0][1] + y * m.m[1][1] + w * m.m[2][1])};
}

hx_vector2 TApply(const M23& m, double x, double y)
{
    return {static_cast<float>(m.m[0][0] * x + m.m[0][1] * y),
            static_cast<float>(m.m[1][0] * x + m.m[1][1] * y)};
}

} // namespace

hx_matrix23* HxMatrix23Copy(hx_matrix23* dst, const hx_matrix23* src)
{
    *dst = *src;
    return dst;
}

hx_matrix23* HxMatrix23Mul(hx_matrix23* dst, const hx_matrix23* a, const hx_matrix23* b)
{
    *dst = Product23(*a, *b);
    return dst;
}

hx_matrix23* HxMatrix23Identity(hx_matrix23* dst)
{
    *dst = Identity23();
    return dst;
}

hx_matrix23* HxMatrix23Rotate(hx_matrix23* dst, hx_angle angle)
{
    *dst = Rotation23(angle);
    return dst;
}

hx_matrix23* HxMatrix23Translate(hx_matrix23* dst, hx_scalar x, hx_scalar y)
{
    *dst = Translation23(x, y);
    return dst;
}

hx_matrix23* HxMatrix23Scale(hx_matrix23* dst, hx_scalar sx, hx_scalar sy)
{
    *dst = Scaling23(sx, sy);
    return dst;
}

hx_matrix23* HxMatrix23ShearX(hx_matrix23* dst, hx_scalar sy)
{
    *dst = ShearX23(sy);
    return dst;
}

hx_matrix23* HxMatrix23ShearY(hx_matrix23* dst, hx_scalar sx)
{
    *dst = ShearY23(sx);
    return dst;
}

hx_scalar HxMatrix23Inverse(hx_matrix23* dst, const hx_matrix23* src)
{
    const double p1 = static_cast<double>(src->m[0][0]) * src->m[1][1];
    const double p2 = -static_cast<double>(src->m[0][1]) * src->m[1][0];
    double pos = 0, neg = 0;
    (p1 >= 0 ? pos : neg) += p1;
    (p2 >= 0 ? pos : neg) += p2;
    const double det = pos + neg;
    if (!(std::fabs(det) > kEps22) || std::fabs(det / (pos - neg)) < 1e-15) return 0;
    *dst = ScaledInverse(*src, 1.0 / det);
    return static_cast<hx_scalar>(det);
}

hx_matrix23* HxMatrix23LPInverse(hx_matrix23* dst, const hx_matrix23* src)
{
    *dst = ScaledInverse(*src, 1.0);
    return dst;
}

hx_matrix23* HxMatrix23LPNormalise(hx_matrix23* dst, const hx_matrix23* src)
{
    double x = src->m[1][0], y = src->m[1][1];
    const double len = std::sqrt(x * x + y * y);
    if (len > kEps22) {
        x /= len, y /= len;
    } else {
        x = 1, y = 0;
    }
    const float tx = src->m[2][0], ty = src->m[2][1];
    *dst = M23{{{static_cast<float>(y), static_cast<float>(-x)},
                {static_cast<float>(x), static_cast<float>(y)},
                {tx, ty}}};
    return dst;
}

hx_vector2* HxMatrix23ApplyP(hx_vector2* dst, const hx_vector2* p, const hx_matrix23* m)
{
    *dst = Apply(*m, p->x, p->y, 1.0);
    return dst;
}

hx_vector2* HxMatrix23ApplyV(hx_vector2* dst, const hx_vector2* v, const hx_matrix23* m)
{
    *dst = Apply(*m, v->x, v->y, 0.0);
    return dst;
}

hx_vector2* HxMatrix23TApplyP(hx_vector2* dst, const hx_vector2* p, const hx_matrix23* m)
{
    *dst = TApply(*m, p->x, p->y);
    return dst;
}

hx_vector2* HxMatrix23TApplyV(hx_vector2* dst, const hx_vector2* v, const hx_matrix23* m)
{
    *dst = TApply(*m, v->x, v->y);
    return dst;
}

hx_matrix23* HxMatrix23Pre(hx_matrix23* m, const hx_matrix23* a) { return Pre(m, *a); }
hx_matrix23* HxMatrix23Post(hx_matrix23* m, const hx_matrix23* a) { return Post(m, *a); }
hx_matrix23* HxMatrix23PreRotate(hx_matrix23* m, hx_angle angle) { return Pre(m, Rotation23(angle)); }
hx_matrix23* HxMatrix23PostRotate(hx_matrix23* m, hx_angle angle) { return Post(m, Rotation23(angle)); }
hx_matrix23* HxMatrix23PreTranslate(hx_matrix23* m, hx_scalar x, hx_scalar y)
{
    return Pre(m, Translation23(x, y));
}

hx_matrix23* HxMatrix23PostTranslate(hx_matrix23* m, hx_scalar x, hx_scalar y)
{
    m->m[2][0] += x;
    m->m[2][1] += y;
    return m;
}

hx_matrix23* HxMatrix23PreScale(hx_matrix23* m, hx_scalar sx, hx_scalar sy) { return Pre(m, Scaling23(sx, sy)); }
hx_matrix23* HxMatrix23PostScale(hx_matrix23* m, hx_scalar sx, hx_scalar sy) { return Post(m, Scaling23(sx, sy)); }
hx_matrix23* HxMatrix23PreShearX(hx_matrix23* m, hx_scalar sy) { return Pre(m, ShearX23(sy)); }
hx_matrix23* HxMatrix23PostShearX(hx_matrix23* m, hx_scalar sy) { return Post(m, ShearX23(sy)); }
hx_matrix23* HxMatrix23PreShearY(hx_matrix23* m, hx_scalar sx) { return Pre(m, ShearY23(sx)); }
hx_matrix23* HxMatrix23PostShearY(hx_matrix23* m, hx_scalar sx) { return Post(m, ShearY23(sx)); }
