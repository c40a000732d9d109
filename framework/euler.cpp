// Euler angles in the framework's 24 axis orders: conversion to and from
// rotation matrices and to quaternions (Shoemake's method, transposed for
// row vectors). An order byte that names no order (first axis 3, or a value
// above 31) reads as no rotation.
#include "framework/hx_math.h"
#include "framework/hx_math_internal.h"

#include <cmath>
#include <utility>

using namespace hxmath;

// clang-format off
const hx_euler_order_name HxEulerOrderNames[24] = {
    {"HX_EULER_XYZ_S", HX_EULER_XYZ_S}, {"HX_EULER_XYX_S", HX_EULER_XYX_S},
    {"HX_EULER_XZY_S", HX_EULER_XZY_S}, {"HX_EULER_XZX_S", HX_EULER_XZX_S},
    {"HX_EULER_YZX_S", HX_EULER_YZX_S}, {"HX_EULER_YZY_S", HX_EULER_YZY_S},
    {"HX_EULER_YXZ_S", HX_EULER_YXZ_S}, {"HX_EULER_YXY_S", HX_EULER_YXY_S},
    {"HX_EULER_ZXY_S", HX_EULER_ZXY_S}, {"HX_EULER_ZXZ_S", HX_EULER_ZXZ_S},
    {"HX_EULER_ZYX_S", HX_EULER_ZYX_S}, {"HX_EULER_ZYZ_S", HX_EULER_ZYZ_S},
    {"HX_EULER_ZYX_R", HX_EULER_ZYX_R}, {"HX_EULER_XYX_R", HX_EULER_XYX_R},
    {"HX_EULER_YZX_R", HX_EULER_YZX_R}, {"HX_EULER_XZX_R", HX_EULER_XZX_R},
    {"HX_EULER_XZY_R", HX_EULER_XZY_R}, {"HX_EULER_YZY_R", HX_EULER_YZY_R},
    {"HX_EULER_ZXY_R", HX_EULER_ZXY_R}, {"HX_EULER_YXY_R", HX_EULER_YXY_R},
    {"HX_EULER_YXZ_R", HX_EULER_YXZ_R}, {"HX_EULER_ZXZ_R", HX_EULER_ZXZ_R},
    {"HX_EULER_XYZ_R", HX_EULER_XYZ_R}, {"HX_EULER_ZYZ_R", HX_EULER_ZYZ_R},
};
// clang-format on

namespace {

// The axes (i, j, k) of an order; the pattern of eight repeats over the
// 32 order values, and rows 3 and 7 name no order.
struct Axes {
    int i, j, k;
    bool valid;
};
// clang-format off
constexpr Axes kAxes[8] = {
    {0, 1, 2, true}, {1, 2, 0, true}, {2, 0, 1, true}, {0, 0, 0, false},
    {0, 2, 1, true}, {1, 0, 2, true}, {2, 1, 0, true}, {0, 0, 0, false},
};
// clang-format on

struct Order {
    int i, j, k;
    bool valid, odd, repeat, rotating;
};

Order Decode(uint8_t order)
{
    const Axes& a = kAxes[order & 7];
    return {a.i,
            a.j,
            a.k,
            a.valid && order < 32,
            (order & HX_EULER_PARITY_ODD) != 0,
            (order & HX_EULER_REPEAT) != 0,
            (order & HX_EULER_FRAME_ROTATING) != 0};
}

hx_angle Negate(hx_angle a) { return static_cast<hx_angle>(0u - a); }

hx_matrix34 Identity() { return hx_matrix34{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}}; }

// Sines and cosines of the three angles and the four products of the first
// and third that both conversions use.
struct Trig {
    double ci, si, cj, sj, ch, sh, cc, cs, sc, ss;
};
Trig TrigOf(hx_angle a, hx_angle b, hx_angle c)
{
    const SinCos ti = AngleSinCos(a), tj = AngleSinCos(b), th = AngleSinCos(c);
    return {ti.c, ti.s, tj.c, tj.s, th.c, th.s, ti.c * th.c, ti.c * th.s, ti.s * th.c, ti.s * th.s};
}

} // namespace

hx_matrix34* HxEulerToMatrix34(hx_matrix34* dst, const hx_euler* euler)
{
    const Order o = Decode(euler->order);
    *dst = Identity();
    if (!o.valid) return dst;
    hx_angle a = euler->a, b = euler->b, c = euler->c;
    if (o.rotating) std::swap(a, c);
    if (o.odd) a = Negate(a), b = Negate(b), c = Negate(c);
    const auto [ci, si, cj, sj, ch, sh, cc, cs, sc, ss] = TrigOf(a, b, c);
    const int i = o.i, j = o.j, k = o.k;
    double m[3][3];
    // clang-format off
    if (o.repeat) {
        m[i][i] = cj;      m[j][i] = sj * si;           m[k][i] = sj * ci;
        m[i][j] = sj * sh; m[j][j] = cc - cj * ss;      m[k][j] = -(sc + cj * cs);
        m[i][k] = -sj * ch; m[j][k] = cs + cj * sc;     m[k][k] = cj * cc - ss;
    } else {
        m[i][i] = cj * ch; m[j][i] = sj * sc - cs;      m[k][i] = sj * cc + ss;
        m[i][j] = cj * sh; m[j][j] = sj * ss + cc;      m[k][j] = sj * cs - sc;
        m[i][k] = -sj;     m[j][k] = cj * si;           m[k][k] = cj * ci;
    }
    // clang-format on
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) dst->m[r][col] = static_cast<float>(m[r][col]);
    return dst;
}

hx_matrix4* HxEulerToMatrix4(hx_matrix4* dst, const hx_euler* euler)
{
    hx_matrix34 m;
    return HxMatrix4Copy34(dst, HxEulerToMatrix34(&m, euler));
}

hx_euler* HxMatrix34ToEuler(hx_euler* euler, const hx_matrix34* src)
{
    const Order o = Decode(euler->order);
    if (!o.valid) {
        euler->a = euler->b = euler->c = 0;
        return euler;
    }
    constexpr double kEps = 1.9073486e-6; // 16 x 2^-23
    const auto m = [src](int r, int c) { return static_cast<double>(src->m[r][c]); };
    const int i = o.i, j = o.j, k = o.k;
    double a, b, c;
    if (o.repeat) {
        const double sy = std::sqrt(m(j, i) * m(j, i) + m(k, i) * m(k, i));
        b = std::atan2(sy, m(i, i));
        if (sy > kEps) {
            a = std::atan2(m(j, i), m(k, i));
            c = std::atan2(m(i, j), -m(i, k));
        } else {
            a = std::atan2(-m(k, j), m(j, j));
            c = 0;
        }
    } else {
        const double cy = std::sqrt(m(i, i) * m(i, i) + m(i, j) * m(i, j));
        b = std::atan2(-m(i, k), cy);
        if (cy > kEps) {
            a = std::atan2(m(j, k), m(k, k));
            c = std::atan2(m(i, j), m(i, i));
        } else {
            a = std::atan2(-m(k, j), m(j, j));
            c = 0;
        }
    }
    hx_angle ea = RadiansToAngle(a), eb = RadiansToAngle(b), ec = RadiansToAngle(c);
    if (o.odd) ea = Negate(ea), eb = Negate(eb), ec = Negate(ec);
    if (o.rotating) std::swap(ea, ec);
    euler->a = ea, euler->b = eb, euler->c = ec;
    return euler;
}

hx_euler* HxMatrix4ToEuler(hx_euler* euler, const hx_matrix4* m)
{
    hx_matrix34 m34;
    return HxMatrix34ToEuler(euler, HxMatrix34Copy4(&m34, m));
}

hx_quat* HxEulerToQuat(hx_quat* dst, const hx_euler* euler)
{
    const Order o = Decode(euler->order);
    if (!o.valid) {
        *dst = {0, 0, 0, 1};
        return dst;
    }
    hx_angle a = euler->a, c = euler->c;
    if (o.rotating) std::swap(a, c);
    const hx_angle ha = static_cast<hx_angle>(a >> 1), hc = static_cast<hx_angle>(c >> 1);
    hx_angle hb = static_cast<hx_angle>(euler->b >> 1);
    if (o.odd) hb = Negate(hb);
    const auto [ci, si, cj, sj, ch, sh, cc, cs, sc, ss] = TrigOf(ha, hb, hc);
    double q[3], w;
    if (o.repeat) {
        q[o.i] = cj * (cs + sc);
        q[o.j] = sj * (cc + ss);
        q[o.k] = sj * (cs - sc);
        w = cj * (cc - ss);
    } else {
        q[o.i] = cj * sc - sj * cs;
        q[o.j] = cj * ss + sj * cc;
        q[o.k] = cj * cs - sj * sc;
        w = cj * cc + sj * ss;
    }
    if (o.odd) q[o.j] = -q[o.j];
    *dst = {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
            static_cast<float>(w)};
    return dst;
}

hx_euler* HxQuatToEuler(hx_euler* euler, const hx_quat* q)
{
    hx_matrix34 m;
    return HxMatrix34ToEuler(euler, HxQuatToMatrix34(&m, q));
}
