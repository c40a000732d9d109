// Tests of quaternion products, normalisation, inversion, interpolation and
// their matrices.
#include "framework/hx_math.h"
#include "tests/maths/hx_expect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kEps = 1e-5f;
constexpr double kPi = 3.14159265358979323846;

hx_quat AxisQuat(double x, double y, double z, double radians)
{
    const double s = std::sin(radians / 2);
    return {static_cast<float>(x * s), static_cast<float>(y * s), static_cast<float>(z * s),
            static_cast<float>(std::cos(radians / 2))};
}

void ExpectQuat(const hx_quat& q, float x, float y, float z, float w, float eps)
{
    EXPECT_NEAR(q.x, x, eps);
    EXPECT_NEAR(q.y, y, eps);
    EXPECT_NEAR(q.z, z, eps);
    EXPECT_NEAR(q.w, w, eps);
}

TEST(Quat, MatrixOfAQuarterTurn)
{
    const hx_quat q = AxisQuat(0, 0, 1, kPi / 2);
    hx_matrix34 m, z;
    HxQuatToMatrix34(&m, &q);
    ExpectNear34(m, *HxMatrix34RotateZ(&z, 16384), kEps);
    hx_matrix4 m4;
    HxQuatToMatrix4(&m4, &q);
    EXPECT_NEAR(m4.m[0][1], 1, kEps);
    EXPECT_EQ(m4.m[3][3], 1.0f);
    hx_quat back;
    HxMatrix4ToQuat(&back, &m4);
    ExpectQuat(back, q.x, q.y, q.z, q.w, kEps);
}

// Products compose rotations: with row vectors, the matrix of a b is the
// matrix of b followed by that of a.
TEST(Quat, ProductComposesRotations)
{
    const hx_quat a = AxisQuat(0.6, 0, 0.8, 1.0), b = AxisQuat(0, 1, 0, -2.2);
    hx_quat ab;
    HxQuatMul(&ab, &a, &b);
    hx_matrix34 ma, mb, mab, expected;
    HxQuatToMatrix34(&ma, &a);
    HxQuatToMatrix34(&mb, &b);
    HxQuatToMatrix34(&mab, &ab);
    ExpectNear34(mab, *HxMatrix34Mul(&expected, &mb, &ma), kEps);

    hx_quat inv, id;
    HxQuatInvert(&inv, &a);
    ExpectQuat(inv, -a.x, -a.y, -a.z, a.w, 0);
    ExpectQuat(*HxQuatMul(&id, &a, &inv), 0, 0, 0, 1, kEps);
    hx_quat self = a;
    HxQuatMul(&self, &self, &b); // the destination may be a factor
    ExpectQuat(self, ab.x, ab.y, ab.z, ab.w, 0);
}

TEST(Quat, Normalise)
{
    const hx_quat q{1, 2, 2, 4};
    hx_quat n;
    ExpectQuat(*HxQuatNormalise(&n, &q), 0.2f, 0.4f, 0.4f, 0.8f, kEps);
    const hx_quat zero{0, 0, 0, 0};
    ExpectQuat(*HxQuatNormalise(&n, &zero), 0, 0, 0, 1, 0); // the identity, not NaN
}

// Half turns have a negative trace: each axis takes the other branch.
TEST(Quat, MatrixToQuatOnEveryBranch)
{
    const double axes[][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.48, 0.6, 0.64}, {-0.8, 0, 0.6}};
    for (const auto& axis : axes) {
        for (double angle : {0.3, 2.0, kPi, 3.0}) {
            const hx_quat q = AxisQuat(axis[0], axis[1], axis[2], angle);
            hx_matrix34 m, back;
            HxQuatToMatrix34(&m, &q);
            hx_quat r;
            HxMatrix34ToQuat(&r, &m);
            ExpectNear34(*HxQuatToMatrix34(&back, &r), m, kEps);
            // The same quaternion up to sign.
            const float sign = (r.x * q.x + r.y * q.y + r.z * q.z + r.w * q.w) < 0 ? -1.0f : 1.0f;
            ExpectQuat(r, sign * q.x, sign * q.y, sign * q.z, sign * q.w, kEps);
        }
    }
}

TEST(Quat, SlerpEndsAndShortcuts)
{
    const hx_quat q1 = AxisQuat(1, 0, 0, 0.5), q2 = AxisQuat(0, 1, 0, 1.5);
    hx_quat d;
    HxQuatSlerp(&d, &q1, &q2, 0, 0);
    ExpectQuat(d, q1.x, q1.y, q1.z, q1.w, 0); // exactly q1
    HxQuatSlerp(&d, &q1, &q2, 1, 0);
    ExpectQuat(d, q2.x, q2.y, q2.z, q2.w, 2e-4f);
    // Opposite quaternions are the same rotation: no arc, q1 itself.
    const hx_quat neg{-q1.x, -q1.y, -q1.z, -q1.w};
    HxQuatSlerp(&d, &q1, &neg, 0.5f, 0);
    ExpectQuat(d, q1.x, q1.y, q1.z, q1.w, 0);
    // The shorter way round: -q2 gives the same path as q2.
    hx_quat e;
    const hx_quat neg2{-q2.x, -q2.y, -q2.z, -q2.w};
    HxQuatSlerp(&d, &q1, &q2, 0.3f, 0);
    HxQuatSlerp(&e, &q1, &neg2, 0.3f, 0);
    ExpectQuat(d, e.x, e.y, e.z, e.w, 0);
    EXPECT_NEAR(d.x * d.x + d.y * d.y + d.z * d.z + d.w * d.w, 1.0f, 1e-4f);
}

// From the identity towards a quarter turn about Z, the quaternion half
// angle runs over phi = t (omega + 32766 spins) units, omega = 8192.
TEST(Quat, SlerpWithSpins)
{
    const hx_quat id{0, 0, 0, 1}, quarter = AxisQuat(0, 0, 1, kPi / 2);
    struct Case {
        float t;
        int16_t spins;
        double phiUnits;
    };
    const Case cases[] = {
        {0.5f, 0, 4096},
        {0.5f, 1, (8192 + 32766) / 2.0},
        {0.5f, -1, (8192 - 32766) / 2.0},
        {0.25f, 2, (8192 + 2 * 32766) / 4.0},
        {1.0f, 1, 8192 + 32766},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "t " << c.t << " spins " << c.spins);
        hx_quat d;
        HxQuatSlerp(&d, &id, &quarter, c.t, c.spins);
        const double phi = c.phiUnits * 2 * kPi / 65536;
        ExpectQuat(d, 0, 0, static_cast<float>(std::sin(phi)), static_cast<float>(std::cos(phi)), 3e-4f);
    }
    // Nearly equal quaternions interpolate linearly.
    const hx_quat close{0, 0, 1e-5f, 1};
    hx_quat d;
    HxQuatSlerp(&d, &id, &close, 0.5f, 3);
    ExpectQuat(d, 0, 0, 0.5e-5f, 1, 1e-9f);
}

} // namespace
