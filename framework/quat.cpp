// Quaternions (x, y, z, w; w the real part): products, normalisation,
// inversion, spherical interpolation with extra spins, and conversion to and
// from rotation matrices in the framework's row-vector convention.
#include "framework/hx_math.h"
#include "framework/hx_math_internal.h"

#include <cmath>

using namespace hxmath;

hx_quat* HxQuatMul(hx_quat* dst, const hx_quat* a, const hx_quat* b)
{
    const double ax = a->x, ay = a->y, az = a->z, aw = a->w;
    const double bx = b->x, by = b->y, bz = b->z, bw = b->w;
    *dst = {static_cast<float>(aw * bx + ax * bw + ay * bz - az * by),
            static_cast<float>(aw * by - ax * bz + ay * bw + az * bx),
            static_cast<float>(aw * bz + ax * by - ay * bx + az * bw),
            static_cast<float>(aw * bw - ax * bx - ay * by - az * bz)};
    return dst;
}

hx_quat* HxQuatNormalise(hx_quat* dst, const hx_quat* src)
{
    const double x = src->x, y = src->y, z = src->z, w = src->w;
    const double len = std::sqrt(x * x + y * y + z * z + w * w);
    if (len == 0) {
        *dst = {0, 0, 0, 1}; // no direction to keep: the identity rotation
        return dst;
    }
    *dst = {static_cast<float>(x / len), static_cast<float>(y / len), static_cast<float>(z / len),
            static_cast<float>(w / len)};
    return dst;
}

hx_quat* HxQuatInvert(hx_quat* dst, const hx_quat* src)
{
    *dst = {-src->x, -src->y, -src->z, src->w};
    return dst;
}

hx_quat* HxQuatSlerp(hx_quat* dst, const hx_quat* q1, const hx_quat* q2, hx_scalar t,
                     int16_t spins)
{
    const hx_quat a = *q1;
    hx_quat b = *q2;
    double cosom = static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                   static_cast<double>(a.z) * b.z + static_cast<double>(a.w) * b.w;
    if (cosom < 0) {
        cosom = -cosom;
        b = {-b.x, -b.y, -b.z, -b.w};
    }
    double s1, s2;
    if (1.0 - cosom > kEps23) {
        // The arc and the travelled part of it in 16-bit angle units; each
        // extra spin adds 32766 units of the quaternion's half angle.
        const hx_angle omega = RadiansToAngle(std::acos(cosom));
        const double travel = static_cast<double>(t) * (omega + spins * 32766.0);
        const double phiUnits = std::isfinite(travel) ? std::fmod(std::trunc(travel), 65536.0) : 0.0;
        const hx_angle phi = static_cast<hx_angle>(static_cast<int32_t>(phiUnits) & 0xFFFF);
        const double sinOmega = std::sin(AngleRadians(omega));
        s1 = std::sin(AngleRadians(static_cast<hx_angle>(omega - phi))) / sinOmega;
        s2 = std::sin(AngleRadians(phi)) / sinOmega;
    } else {
        s1 = 1.0 - t;
        s2 = t;
    }
    *dst = {static_cast<float>(s1 * a.x + s2 * b.x), static_cast<float>(s1 * a.y + s2 * b.y),
            static_cast<float>(s1 * a.z + s2 * b.z), static_cast<float>(s1 * a.w + s2 * b.w)};
    return dst;
}

hx_matrix34* HxQuatToMatrix34(hx_matrix34* dst, const hx_quat* q)
{
    const double x = q->x, y = q->y, z = q->z, w = q->w;
    const double rows[3][3] = {
        {1 - 2 * y * y - 2 * z * z, 2 * x * y + 2 * z * w, 2 * x * z - 2 * y * w},
        {2 * x * y - 2 * z * w, 1 - 2 * x * x - 2 * z * z, 2 * y * z + 2 * x * w},
        {2 * x * z + 2 * y * w, 2 * y * z - 2 * x * w, 1 - 2 * x * x - 2 * y * y},
    };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) dst->m[r][c] = static_cast<float>(rows[r][c]);
    dst->m[3][0] = dst->m[3][1] = dst->m[3][2] = 0;
    return dst;
}

hx_matrix4* HxQuatToMatrix4(hx_matrix4* dst, const hx_quat* q)
{
    hx_matrix34 m;
    return HxMatrix4Copy34(dst, HxQuatToMatrix34(&m, q));
}

hx_quat* HxMatrix34ToQuat(hx_quat* dst, const hx_matrix34* src)
{
    const auto m = [src](int r, int c) { return static_cast<double>(src->m[r][c]); };
    const double trace = m(0, 0) + m(1, 1) + m(2, 2);
    double q[3], w;
    if (trace >= 0) {
        const double s = std::sqrt(trace + 1.0);
        const double r = 0.5 / s;
        w = s / 2;
        q[0] = (m(1, 2) - m(2, 1)) * r;
        q[1] = (m(2, 0) - m(0, 2)) * r;
        q[2] = (m(0, 1) - m(1, 0)) * r;
    } else {
        // The largest diagonal element picks the axis that is safe to divide by.
        int i = m(1, 1) > m(0, 0) ? 1 : 0;
        if (m(2, 2) > m(i, i)) i = 2;
        const int j = (i + 1) % 3, k = (i + 2) % 3;
        const double s = std::sqrt(m(i, i) - m(j, j) - m(k, k) + 1.0);
        const double r = 0.5 / s;
        q[i] = s / 2;
        w = (m(j, k) - m(k, j)) * r;
        q[j] = (m(i, j) + m(j, i)) * r;
        q[k] = (m(i, k) + m(k, i)) * r;
    }
    *dst = {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]),
            static_cast<float>(w)};
    return dst;
}

hx_quat* HxMatrix4ToQuat(hx_quat* dst, const hx_matrix4* m)
{
    hx_matrix34 m34;
    return HxMatrix34ToQuat(dst, HxMatrix34Copy4(&m34, m));
}
