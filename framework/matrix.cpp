// The framework's float 3D maths: 3x4 and 4x4 matrices, their products,
// inverses and rotations by 16-bit angles, and matrices applied to points,
// vectors and planes. Sums are carried in double and rounded to float on
// store; every operation builds its result locally first, so a destination
// may also be a source.
#include "framework/hx_math.h"
#include "framework/hx_math_internal.h"

#include <cmath>

using namespace hxmath;

namespace {

using M34 = hx_matrix34;
using M4 = hx_matrix4;

M34 Product34(const M34& a, const M34& b)
{
    M34 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            double v = static_cast<double>(a.m[r][0]) * b.m[0][c] +
                       static_cast<double>(a.m[r][1]) * b.m[1][c] +
                       static_cast<double>(a.m[r][2]) * b.m[2][c];
            if (r == 3) v += b.m[3][c];
            out.m[r][c] = static_cast<float>(v);
        }
    }
    return out;
}

M4 Product4(const M4& a, const M4& b)
{
    M4 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r][c] = static_cast<float>(static_cast<double>(a.m[r][0]) * b.m[0][c] +
                                             static_cast<double>(a.m[r][1]) * b.m[1][c] +
                                             static_cast<double>(a.m[r][2]) * b.m[2][c] +
                                             static_cast<double>(a.m[r][3]) * b.m[3][c]);
        }
    }
    return out;
}

M34 Identity34()
{
    return M34{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}};
}

M4 Identity4()
{
    return M4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

M4 Promote(const M34& a)
{
    M4 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) out.m[r][c] = a.m[r][c];
        out.m[r][3] = r == 3 ? 1.0f : 0.0f;
    }
    return out;
}

// Rotations about one axis: the axis' row and column stay unit, the other
// two rows are (c, s) and (-s, c) in the remaining columns, in the cyclic
// order that makes X turn Y toward Z, Y turn Z toward X and Z turn X toward Y.
M34 AxisRotation(int axis, hx_angle angle)
{
    const SinCos t = AngleSinCos(angle);
    const float c = static_cast<float>(t.c), s = static_cast<float>(t.s);
    const int j = (axis + 1) % 3, k = (axis + 2) % 3;
    M34 r = Identity34();
    r.m[j][j] = c;
    r.m[j][k] = s;
    r.m[k][j] = -s;
    r.m[k][k] = c;
    return r;
}

// Rotation about the unit axis (x, y, z) with the given cosine and sine.
M34 UnitAxisRotation(double c, double s, double x, double y, double z)
{
    const double C = 1.0 - c;
    const double rows[3][3] = {
        {c + C * x * x, C * x * y + s * z, C * x * z - s * y},
        {C * x * y - s * z, c + C * y * y, C * y * z + s * x},
        {C * x * z + s * y, C * y * z - s * x, c + C * z * z},
    };
    M34 r = Identity34();
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) r.m[i][k] = static_cast<float>(rows[i][k]);
    return r;
}

M34 Translation(hx_scalar x, hx_scalar y, hx_scalar z)
{
    M34 r = Identity34();
    r.m[3][0] = x, r.m[3][1] = y, r.m[3][2] = z;
    return r;
}

M34 Scaling(hx_scalar sx, hx_scalar sy, hx_scalar sz)
{
    M34 r = Identity34();
    r.m[0][0] = sx, r.m[1][1] = sy, r.m[2][2] = sz;
    return r;
}

// Identity with the two off-diagonal entries of one row set.
M34 Shear(int row, hx_scalar first, hx_scalar second)
{
    M34 r = Identity34();
    const int a = row == 0 ? 1 : 0, b = row == 2 ? 1 : 2;
    r.m[row][a] = first;
    r.m[row][b] = second;
    return r;
}

hx_matrix34* Pre(hx_matrix34* m, const M34& f)
{
    *m = Product34(f, *m);
    return m;
}

hx_matrix34* Post(hx_matrix34* m, const M34& f)
{
    *m = Product34(*m, f);
    return m;
}

// The translation of the inverse: -(t x inverse linear part).
void InverseTranslation(M34& inv, const M34& src)
{
    for (int c = 0; c < 3; ++c) {
        inv.m[3][c] = static_cast<float>(-(static_cast<double>(src.m[3][0]) * inv.m[0][c] +
                                           static_cast<double>(src.m[3][1]) * inv.m[1][c] +
                                           static_cast<double>(src.m[3][2]) * inv.m[2][c]));
    }
}

// The adjoint (transposed cofactors) of a 4x4 matrix and its determinant,
// from the twelve 2x2 minors of its top and bottom row pairs.
double Adjoint4(const M4& m, double b[4][4])
{
    const auto a = [&m](int r, int c) { return static_cast<double>(m.m[r][c]); };
    const double s0 = a(0, 0) * a(1, 1) - a(1, 0) * a(0, 1);
    const double s1 = a(0, 0) * a(1, 2) - a(1, 0) * a(0, 2);
    const double s2 = a(0, 0) * a(1, 3) - a(1, 0) * a(0, 3);
    const double s3 = a(0, 1) * a(1, 2) - a(1, 1) * a(0, 2);
    const double s4 = a(0, 1) * a(1, 3) - a(1, 1) * a(0, 3);
    const double s5 = a(0, 2) * a(1, 3) - a(1, 2) * a(0, 3);
    const double c5 = a(2, 2) * a(3, 3) - a(3, 2) * a(2, 3);
    const double c4 = a(2, 1) * a(3, 3) - a(3, 1) * a(2, 3);
    const double c3 = a(2, 1) * a(3, 2) - a(3, 1) * a(2, 2);
    const double c2 = a(2, 0) * a(3, 3) - a(3, 0) * a(2, 3);
    const double c1 = a(2, 0) * a(3, 2) - a(3, 0) * a(2, 2);
    const double c0 = a(2, 0) * a(3, 1) - a(3, 0) * a(2, 1);
    b[0][0] = a(1, 1) * c5 - a(1, 2) * c4 + a(1, 3) * c3;
    b[0][1] = -a(0, 1) * c5 + a(0, 2) * c4 - a(0, 3) * c3;
    b[0][2] = a(3, 1) * s5 - a(3, 2) * s4 + a(3, 3) * s3;
    b[0][3] = -a(2, 1) * s5 + a(2, 2) * s4 - a(2, 3) * s3;
    b[1][0] = -a(1, 0) * c5 + a(1, 2) * c2 - a(1, 3) * c1;
    b[1][1] = a(0, 0) * c5 - a(0, 2) * c2 + a(0, 3) * c1;
    b[1][2] = -a(3, 0) * s5 + a(3, 2) * s2 - a(3, 3) * s1;
    b[1][3] = a(2, 0) * s5 - a(2, 2) * s2 + a(2, 3) * s1;
    b[2][0] = a(1, 0) * c4 - a(1, 1) * c2 + a(1, 3) * c0;
    b[2][1] = -a(0, 0) * c4 + a(0, 1) * c2 - a(0, 3) * c0;
    b[2][2] = a(3, 0) * s4 - a(3, 1) * s2 + a(3, 3) * s0;
    b[2][3] = -a(2, 0) * s4 + a(2, 1) * s2 - a(2, 3) * s0;
    b[3][0] = -a(1, 0) * c3 + a(1, 1) * c1 - a(1, 2) * c0;
    b[3][1] = a(0, 0) * c3 - a(0, 1) * c1 + a(0, 2) * c0;
    b[3][2] = -a(3, 0) * s3 + a(3, 1) * s1 - a(3, 2) * s0;
    b[3][3] = a(2, 0) * s3 - a(2, 1) * s1 + a(2, 2) * s0;
    return s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
}

} // namespace

// ---- 3x4 matrices -------------------------------------------------------------

hx_matrix34* HxMatrix34Copy(hx_matrix34* dst, const hx_matrix34* src)
{
    *dst = *src;
    return dst;
}

hx_matrix34* HxMatrix34Mul(hx_matrix34* dst, const hx_matrix34* a, const hx_matrix34* b)
{
    *dst = Product34(*a, *b);
    return dst;
}

hx_matrix34* HxMatrix34Identity(hx_matrix34* dst)
{
    *dst = Identity34();
    return dst;
}

hx_matrix34* HxMatrix34RotateX(hx_matrix34* dst, hx_angle angle)
{
    *dst = AxisRotation(0, angle);
    return dst;
}

hx_matrix34* HxMatrix34RotateY(hx_matrix34* dst, hx_angle angle)
{
    *dst = AxisRotation(1, angle);
    return dst;
}

hx_matrix34* HxMatrix34RotateZ(hx_matrix34* dst, hx_angle angle)
{
    *dst = AxisRotation(2, angle);
    return dst;
}

hx_matrix34* HxMatrix34Rotate(hx_matrix34* dst, hx_angle angle, hx_scalar x, hx_scalar y,
                              hx_scalar z)
{
    const SinCos t = AngleSinCos(angle);
    *dst = UnitAxisRotation(t.c, t.s, x, y, z);
    return dst;
}

hx_matrix34* HxMatrix34Translate(hx_matrix34* dst, hx_scalar x, hx_scalar y, hx_scalar z)
{
    *dst = Translation(x, y, z);
    return dst;
}

hx_matrix34* HxMatrix34Scale(hx_matrix34* dst, hx_scalar sx, hx_scalar sy, hx_scalar sz)
{
    *dst = Scaling(sx, sy, sz);
    return dst;
}

hx_matrix34* HxMatrix34ShearX(hx_matrix34* dst, hx_scalar sy, hx_scalar sz)
{
    *dst = Shear(0, sy, sz);
    return dst;
}

hx_matrix34* HxMatrix34ShearY(hx_matrix34* dst, hx_scalar sx, hx_scalar sz)
{
    *dst = Shear(1, sx, sz);
    return dst;
}

hx_matrix34* HxMatrix34ShearZ(hx_matrix34* dst, hx_scalar sx, hx_scalar sy)
{
    *dst = Shear(2, sx, sy);
    return dst;
}

hx_scalar HxMatrix34Inverse(hx_matrix34* dst, const hx_matrix34* src)
{
    const M34& s = *src;
    const auto e = [&s](int r, int c) { return static_cast<double>(s.m[r][c]); };
    // The six products of the determinant, with their signs, split into a
    // positive and a negative sum: their ratio tells a determinant that is
    // only rounding noise.
    // clang-format off
    const double terms[6] = {
        e(0, 0) * e(1, 1) * e(2, 2),  e(0, 1) * e(1, 2) * e(2, 0),  e(0, 2) * e(1, 0) * e(2, 1),
        -e(0, 2) * e(1, 1) * e(2, 0), -e(0, 1) * e(1, 0) * e(2, 2), -e(0, 0) * e(1, 2) * e(2, 1),
    };
    // clang-format on
    double pos = 0, neg = 0;
    for (double t : terms) (t >= 0 ? pos : neg) += t;
    const double det = pos + neg;
    if (!(std::fabs(det) > kEps23) || std::fabs(det / (pos - neg)) < 1e-15) return 0;

    M34 inv;
    inv.m[0][0] = static_cast<float>((e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) / det);
    inv.m[1][0] = static_cast<float>(-(e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) / det);
    inv.m[2][0] = static_cast<float>((e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0)) / det);
    inv.m[0][1] = static_cast<float>(-(e(0, 1) * e(2, 2) - e(0, 2) * e(2, 1)) / det);
    inv.m[1][1] = static_cast<float>((e(0, 0) * e(2, 2) - e(0, 2) * e(2, 0)) / det);
    inv.m[2][1] = static_cast<float>(-(e(0, 0) * e(2, 1) - e(0, 1) * e(2, 0)) / det);
    inv.m[0][2] = static_cast<float>((e(0, 1) * e(1, 2) - e(0, 2) * e(1, 1)) / det);
    inv.m[1][2] = static_cast<float>(-(e(0, 0) * e(1, 2) - e(0, 2) * e(1, 0)) / det);
    inv.m[2][2] = static_cast<float>((e(0, 0) * e(1, 1) - e(0, 1) * e(1, 0)) / det);
    InverseTranslation(inv, s);
    *dst = inv;
    return static_cast<hx_scalar>(det);
}

hx_matrix34* HxMatrix34LPInverse(hx_matrix34* dst, const hx_matrix34* src)
{
    M34 inv;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) inv.m[r][c] = src->m[c][r];
    InverseTranslation(inv, *src);
    *dst = inv;
    return dst;
}

hx_matrix34* HxMatrix34LPNormalise(hx_matrix34* dst, const hx_matrix34* src)
{
    const M34 s = *src;
    double zx = s.m[2][0], zy = s.m[2][1], zz = s.m[2][2];
    NormaliseOrX(zx, zy, zz, kEps22);
    const double ux = s.m[1][0], uy = s.m[1][1], uz = s.m[1][2];
    double xx = uy * zz - uz * zy, xy = uz * zx - ux * zz, xz = ux * zy - uy * zx;
    NormaliseOrX(xx, xy, xz, kEps22);
    const double rows[3][3] = {
        {xx, xy, xz},
        {zy * xz - zz * xy, zz * xx - zx * xz, zx * xy - zy * xx},
        {zx, zy, zz},
    };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) dst->m[r][c] = static_cast<float>(rows[r][c]);
    for (int c = 0; c < 3; ++c) dst->m[3][c] = s.m[3][c];
    return dst;
}

hx_matrix34* HxMatrix34RollingBall(hx_matrix34* dst, int dx, int dy, int radius)
{
    const double fx = dx, fy = dy, r = radius;
    const double f = std::sqrt(fx * fx + fy * fy);
    if (f == 0) {
        *dst = Identity34();
        return dst;
    }
    const double h = std::sqrt(f * f + r * r);
    *dst = UnitAxisRotation(r / h, f / h, -fy / f, fx / f, 0.0);
    return dst;
}

hx_matrix34* HxBoundsToMatrix34(hx_matrix34* dst, const hx_bounds3* bounds)
{
    const float mins[3] = {bounds->min.x, bounds->min.y, bounds->min.z};
    const float maxs[3] = {bounds->max.x, bounds->max.y, bounds->max.z};
    M34 r = Identity34();
    for (int i = 0; i < 3; ++i) {
        r.m[i][i] = maxs[i] == mins[i] ? 1.0f : (maxs[i] - mins[i]) / 2.0f;
        r.m[3][i] = (mins[i] + maxs[i]) / 2.0f;
    }
    *dst = r;
    return dst;
}

hx_matrix34* HxMatrix34Copy4(hx_matrix34* dst, const hx_matrix4* src)
{
    M34 r;
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 3; ++c) r.m[i][c] = src->m[i][c];
    *dst = r;
    return dst;
}

hx_matrix34* HxMatrix34Pre(hx_matrix34* m, const hx_matrix34* a) { return Pre(m, *a); }
hx_matrix34* HxMatrix34Post(hx_matrix34* m, const hx_matrix34* a) { return Post(m, *a); }

hx_matrix34* HxMatrix34PreRotateX(hx_matrix34* m, hx_angle a) { return Pre(m, AxisRotation(0, a)); }
hx_matrix34* HxMatrix34PostRotateX(hx_matrix34* m, hx_angle a) { return Post(m, AxisRotation(0, a)); }
hx_matrix34* HxMatrix34PreRotateY(hx_matrix34* m, hx_angle a) { return Pre(m, AxisRotation(1, a)); }
hx_matrix34* HxMatrix34PostRotateY(hx_matrix34* m, hx_angle a) { return Post(m, AxisRotation(1, a)); }
hx_matrix34* HxMatrix34PreRotateZ(hx_matrix34* m, hx_angle a) { return Pre(m, AxisRotation(2, a)); }
hx_matrix34* HxMatrix34PostRotateZ(hx_matrix34* m, hx_angle a) { return Post(m, AxisRotation(2, a)); }

hx_matrix34* HxMatrix34PreRotate(hx_matrix34* m, hx_angle angle, hx_scalar x, hx_scalar y,
                                 hx_scalar z)
{
    M34 r;
    return Pre(m, *HxMatrix34Rotate(&r, angle, x, y, z));
}

hx_matrix34* HxMatrix34PostRotate(hx_matrix34* m, hx_angle angle, hx_scalar x, hx_scalar y,
                                  hx_scalar z)
{
    M34 r;
    return Post(m, *HxMatrix34Rotate(&r, angle, x, y, z));
}

hx_matrix34* HxMatrix34PreTranslate(hx_matrix34* m, hx_scalar x, hx_scalar y, hx_scalar z)
{
    return Pre(m, Translation(x, y, z));
}

hx_matrix34* HxMatrix34PostTranslate(hx_matrix34* m, hx_scalar x, hx_scalar y, hx_scalar z)
{
    return Post(m, Translation(x, y, z));
}

hx_matrix34* HxMatrix34PreScale(hx_matrix34* m, hx_scalar sx, hx_scalar sy, hx_scalar sz)
{
    return Pre(m, Scaling(sx, sy, sz));
}

hx_matrix34* HxMatrix34PostScale(hx_matrix34* m, hx_scalar sx, hx_scalar sy, hx_scalar sz)
{
    return Post(m, Scaling(sx, sy, sz));
}

hx_matrix34* HxMatrix34PreShearX(hx_matrix34* m, hx_scalar sy, hx_scalar sz) { return Pre(m, Shear(0, sy, sz)); }
hx_matrix34* HxMatrix34PostShearX(hx_matrix34* m, hx_scalar sy, hx_scalar sz) { return Post(m, Shear(0, sy, sz)); }
hx_matrix34* HxMatrix34PreShearY(hx_matrix34* m, hx_scalar sx, hx_scalar sz) { return Pre(m, Shear(1, sx, sz)); }
hx_matrix34* HxMatrix34PostShearY(hx_matrix34* m, hx_scalar sx, hx_scalar sz) { return Post(m, Shear(1, sx, sz)); }
hx_matrix34* HxMatrix34PreShearZ(hx_matrix34* m, hx_scalar sx, hx_scalar sy) { return Pre(m, Shear(2, sx, sy)); }
hx_matrix34* HxMatrix34PostShearZ(hx_matrix34* m, hx_scalar sx, hx_scalar sy) { return Post(m, Shear(2, sx, sy)); }

// ---- Vectors through 3x4 matrices ----------------------------------------------

namespace {

// x m[0] + y m[1] + z m[2] + w m[3], in double.
hx_vector3 Combine34(const M34& m, double x, double y, double z, double w)
{
    float out[3];
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<float>(x * m.m[0][c] + y * m.m[1][c] + z * m.m[2][c] + w * m.m[3][c]);
    return {out[0], out[1], out[2]};
}

// The transpose of the linear part: dst[i] = m[i] . v.
hx_vector3 Transposed34(const M34& m, const hx_vector3& v)
{
    float out[3];
    for (int i = 0; i < 3; ++i)
        out[i] = static_cast<float>(static_cast<double>(m.m[i][0]) * v.x +
                                    static_cast<double>(m.m[i][1]) * v.y +
                                    static_cast<double>(m.m[i][2]) * v.z);
    return {out[0], out[1], out[2]};
}

} // namespace

hx_vector3* HxMatrix34ApplyP(hx_vector3* dst, const hx_vector3* p, const hx_matrix34* m)
{
    *dst = Combine34(*m, p->x, p->y, p->z, 1.0);
    return dst;
}

hx_vector3* HxMatrix34ApplyV(hx_vector3* dst, const hx_vector3* v, const hx_matrix34* m)
{
    *dst = Combine34(*m, v->x, v->y, v->z, 0.0);
    return dst;
}

hx_vector3* HxMatrix34ApplyHV(hx_vector3* dst, const hx_vector4* v, const hx_matrix34* m)
{
    *dst = Combine34(*m, v->x, v->y, v->z, v->w);
    return dst;
}

hx_vector3* HxMatrix34TApplyP(hx_vector3* dst, const hx_vector3* p, const hx_matrix34* m)
{
    *dst = Transposed34(*m, *p);
    return dst;
}

hx_vector3* HxMatrix34TApplyV(hx_vector3* dst, const hx_vector3* v, const hx_matrix34* m)
{
    *dst = Transposed34(*m, *v);
    return dst;
}

hx_vector3* HxMatrix34TApplyN(hx_vector3* dst, const hx_vector3* n, const hx_matrix34* m)
{
    *dst = Transposed34(*m, *n);
    return dst;
}

hx_vector4* HxMatrix34TApplyPlane(hx_vector4* dst, const hx_vector4* plane, const hx_matrix34* m)
{
    const hx_vector3 n{plane->x, plane->y, plane->z};
    const hx_vector3 r = Transposed34(*m, n);
    const double w = static_cast<double>(m->m[3][0]) * plane->x +
                     static_cast<double>(m->m[3][1]) * plane->y +
                     static_cast<double>(m->m[3][2]) * plane->z + plane->w;
    *dst = {r.x, r.y, r.z, static_cast<float>(w)};
    return dst;
}

// ---- 4x4 matrices -------------------------------------------------------------

hx_matrix4* HxMatrix4Copy(hx_matrix4* dst, const hx_matrix4* src)
{
    *dst = *src;
    return dst;
}

hx_matrix4* HxMatrix4Mul(hx_matrix4* dst, const hx_matrix4* a, const hx_matrix4* b)
{
    *dst = Product4(*a, *b);
    return dst;
}

hx_matrix4* HxMatrix4Identity(hx_matrix4* dst)
{
    *dst = Identity4();
    return dst;
}

hx_matrix4* HxMatrix4Scale(hx_matrix4* dst, hx_scalar sx, hx_scalar sy, hx_scalar sz)
{
    *dst = Identity4();
    dst->m[0][0] = sx, dst->m[1][1] = sy, dst->m[2][2] = sz;
    return dst;
}

hx_matrix4* HxMatrix4ShearZ(hx_matrix4* dst, hx_scalar sx, hx_scalar sy)
{
    *dst = Identity4();
    dst->m[2][0] = sx, dst->m[2][1] = sy;
    return dst;
}

hx_matrix4* HxMatrix4Adjoint(hx_matrix4* dst, const hx_matrix4* m)
{
    double adj[4][4];
    Adjoint4(*m, adj);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) dst->m[r][c] = static_cast<float>(adj[r][c]);
    return dst;
}

hx_scalar HxMatrix4Determinant(const hx_matrix4* m)
{
    double adj[4][4];
    return static_cast<hx_scalar>(Adjoint4(*m, adj));
}

hx_scalar HxMatrix4Inverse(hx_matrix4* dst, const hx_matrix4* src)
{
    double adj[4][4];
    const double det = Adjoint4(*src, adj);
    const bool singular = !(std::fabs(det) >= kEps22);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) dst->m[r][c] = static_cast<float>(singular ? adj[r][c] : adj[r][c] / det);
    return singular ? 0.0f : static_cast<hx_scalar>(det);
}

hx_matrix4* HxMatrix4Perspective(hx_matrix4* dst, hx_angle fieldOfView, hx_scalar aspect,
                                 hx_scalar hither, hx_scalar yon)
{
    const SinCos half = AngleSinCos(static_cast<hx_angle>(fieldOfView >> 1));
    const double k = half.c / half.s;
    const double n = hither, f = yon;
    M4 r{};
    r.m[0][0] = static_cast<float>(k / aspect);
    r.m[1][1] = static_cast<float>(k);
    r.m[2][2] = static_cast<float>((f + n) / (f - n));
    r.m[2][3] = -1.0f;
    r.m[3][2] = static_cast<float>(-2.0 * n * f / (f - n));
    *dst = r;
    return dst;
}

namespace {

hx_vector4 Row4(const M4& m, double x, double y, double z, double w)
{
    float out[4];
    for (int c = 0; c < 4; ++c)
        out[c] = static_cast<float>(x * m.m[0][c] + y * m.m[1][c] + z * m.m[2][c] + w * m.m[3][c]);
    return {out[0], out[1], out[2], out[3]};
}

hx_vector4 Column4(const M4& m, double x, double y, double z, double w)
{
    float out[4];
    for (int r = 0; r < 4; ++r)
        out[r] = static_cast<float>(m.m[r][0] * x + m.m[r][1] * y + m.m[r][2] * z + m.m[r][3] * w);
    return {out[0], out[1], out[2], out[3]};
}

} // namespace

hx_vector4* HxMatrix4Apply(hx_vector4* dst, const hx_vector4* v, const hx_matrix4* m)
{
    *dst = Row4(*m, v->x, v->y, v->z, v->w);
    return dst;
}

hx_vector4* HxMatrix4ApplyP(hx_vector4* dst, const hx_vector3* p, const hx_matrix4* m)
{
    *dst = Row4(*m, p->x, p->y, p->z, 1.0);
    return dst;
}

hx_vector4* HxMatrix4ApplyV(hx_vector4* dst, const hx_vector3* v, const hx_matrix4* m)
{
    *dst = Row4(*m, v->x, v->y, v->z, 0.0);
    return dst;
}

hx_vector4* HxMatrix4TApply(hx_vector4* dst, const hx_vector4* v, const hx_matrix4* m)
{
    *dst = Column4(*m, v->x, v->y, v->z, v->w);
    return dst;
}

hx_vector4* HxMatrix4TApplyP(hx_vector4* dst, const hx_vector3* p, const hx_matrix4* m)
{
    *dst = Column4(*m, p->x, p->y, p->z, 1.0);
    return dst;
}

hx_vector4* HxMatrix4TApplyV(hx_vector4* dst, const hx_vector3* v, const hx_matrix4* m)
{
    *dst = Column4(*m, v->x, v->y, v->z, 0.0);
    return dst;
}

hx_matrix4* HxMatrix4Copy34(hx_matrix4* dst, const hx_matrix34* src)
{
    *dst = Promote(*src);
    return dst;
}

hx_matrix4* HxMatrix4Mul34(hx_matrix4* dst, const hx_matrix34* a, const hx_matrix4* b)
{
    *dst = Product4(Promote(*a), *b);
    return dst;
}

hx_matrix4* HxMatrix4Pre34(hx_matrix4* m, const hx_matrix34* a)
{
    *m = Product4(Promote(*a), *m);
    return m;
}

// ---- Planes -------------------------------------------------------------------

int HxPlaneEquation(hx_plane* dst, const hx_vector3* p1, const hx_vector3* p2,
                    const hx_vector3* p3)
{
    const double ax = static_cast<double>(p2->x) - p1->x, ay = static_cast<double>(p2->y) - p1->y,
                 az = static_cast<double>(p2->z) - p1->z;
    const double bx = static_cast<double>(p3->x) - p1->x, by = static_cast<double>(p3->y) - p1->y,
                 bz = static_cast<double>(p3->z) - p1->z;
    double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
    const double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    int collinear = 0;
    if (len != 0) {
        nx /= len, ny /= len, nz /= len;
    } else {
        nx = 0, ny = 0, nz = 1;
        collinear = 1;
    }
    const hx_vector3 n{static_cast<float>(nx), static_cast<float>(ny), static_cast<float>(nz)};
    const double d = static_cast<double>(n.x) * p1->x + static_cast<double>(n.y) * p1->y +
                     static_cast<double>(n.z) * p1->z;
    *dst = {n.x, n.y, n.z, static_cast<float>(d)};
    return collinear;
}
