// Tests of Euler angles in the 24 orders: their meaning, and round trips
// through matrices and quaternions.
#include "framework/hx_math.h"
#include "tests/maths/hx_expect.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

hx_matrix34 AxisRotation(char axis, hx_angle a)
{
    hx_matrix34 r;
    switch (axis) {
    case 'X': return *HxMatrix34RotateX(&r, a);
    case 'Y': return *HxMatrix34RotateY(&r, a);
    default: return *HxMatrix34RotateZ(&r, a);
    }
}

// Angle triples away from the singular middle angles (0 and a half turn for
// the repeating orders, a quarter turn either way for the others), where the
// angles read back from a matrix are the ones that made it.
struct Triple {
    hx_angle a, b, c;
};
const Triple kTriples[] = {
    {1000, 2000, 3000},
    {60000, 5000, 12000},
    {20000, 9000, 40000},
    {32000, 14000, 1234},
};

TEST(Euler, NamedOrdersAreTheTableValues)
{
    std::set<int> values;
    std::set<std::string> names;
    for (const hx_euler_order_name& n : HxEulerOrderNames) {
        values.insert(n.order);
        names.insert(n.name);
        EXPECT_EQ(std::string(n.name).substr(0, 9), "HX_EULER_");
    }
    EXPECT_EQ(values.size(), 24u);
    EXPECT_EQ(names.size(), 24u);
    EXPECT_EQ(HX_EULER_XYZ_S, 0);
    EXPECT_EQ(HX_EULER_ZYX_R, 16);
    EXPECT_EQ(HX_EULER_XYZ_R, 22);
    EXPECT_EQ(HX_EULER_ZYZ_R, 30);
    EXPECT_EQ(HX_EULER_YXY_S, 13);
}

TEST(Euler, QuarterTurnAboutX)
{
    const hx_euler e{16384, 0, 0, HX_EULER_XYZ_S};
    hx_matrix34 m;
    HxEulerToMatrix34(&m, &e);
    ExpectNear34(m, hx_matrix34{{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, 0, 0}}}, 1e-6f);
}

// A static-frame order "PQR_S" turns about the fixed axes P, Q, R in turn;
// a rotating-frame order "PQR_R" turns about P, then the new Q, then the new
// R. With row vectors on the left the first factor acts first.
TEST(Euler, EveryOrderMeansItsName)
{
    for (const hx_euler_order_name& n : HxEulerOrderNames) {
        SCOPED_TRACE(n.name);
        const std::string axes = std::string(n.name).substr(9, 3);
        const bool rotating = n.name[13] == 'R';
        for (const Triple& t : kTriples) {
            const hx_euler e{t.a, t.b, t.c, n.order};
            hx_matrix34 m;
            HxEulerToMatrix34(&m, &e);
            const hx_matrix34 p = AxisRotation(axes[0], t.a), q = AxisRotation(axes[1], t.b),
                              r = AxisRotation(axes[2], t.c);
            const hx_matrix34 expected = rotating ? Mul(Mul(r, q), p) : Mul(Mul(p, q), r);
            ExpectNear34(m, expected, 1e-5f);
        }
    }
}

TEST(Euler, AllOrdersRoundTripThroughMatricesAndQuaternions)
{
    // Angles read back are truncated to whole units (about 1e-4 radians
    // each), so matrices made from them agree to a few units' worth.
    constexpr float kAngleUnits = 4e-4f;
    for (const hx_euler_order_name& n : HxEulerOrderNames) {
        SCOPED_TRACE(n.name);
        for (const Triple& t : kTriples) {
            const hx_euler e{t.a, t.b, t.c, n.order};
            hx_matrix34 m, fromQuat, back;
            HxEulerToMatrix34(&m, &e);
            ExpectRotation(m, 1e-5f);

            // Euler -> quaternion -> matrix is the same rotation.
            hx_quat q;
            HxEulerToQuat(&q, &e);
            EXPECT_NEAR(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w, 1.0f, 1e-5f);
            ExpectNear34(*HxQuatToMatrix34(&fromQuat, &q), m, 1e-5f);

            // Matrix -> quaternion -> matrix.
            hx_quat mq;
            HxMatrix34ToQuat(&mq, &m);
            ExpectNear34(*HxQuatToMatrix34(&back, &mq), m, 1e-5f);

            // Matrix -> Euler gives back the angles, to a unit; repeating
            // orders of odd parity read a negative middle angle, so for our
            // positive ones they give the equivalent (a + 1/2, -b, c + 1/2).
            hx_euler r{0, 0, 0, n.order};
            HxMatrix34ToEuler(&r, &m);
            const bool alternate = (n.order & HX_EULER_REPEAT) && (n.order & HX_EULER_PARITY_ODD);
            const int half = alternate ? 32768 : 0;
            const int sign = alternate ? -1 : 1;
            EXPECT_LE(std::abs(static_cast<int16_t>(r.a - t.a - half)), 1) << r.a;
            EXPECT_LE(std::abs(static_cast<int16_t>(r.b - sign * t.b)), 1) << r.b;
            EXPECT_LE(std::abs(static_cast<int16_t>(r.c - t.c - half)), 1) << r.c;
            ExpectNear34(*HxEulerToMatrix34(&back, &r), m, kAngleUnits);

            // Quaternion -> Euler the same way.
            hx_euler rq{0, 0, 0, n.order};
            HxQuatToEuler(&rq, &q);
            ExpectNear34(*HxEulerToMatrix34(&back, &rq), m, kAngleUnits);

            // The 4x4 forms match the 3x4 ones.
            hx_matrix4 m4;
            HxEulerToMatrix4(&m4, &e);
            hx_matrix34 m4back;
            ExpectNear34(*HxMatrix34Copy4(&m4back, &m4), m, 0);
            EXPECT_EQ(m4.m[3][3], 1.0f);
            hx_euler r4{0, 0, 0, n.order};
            HxMatrix4ToEuler(&r4, &m4);
            EXPECT_EQ(r4.a, r.a);
            EXPECT_EQ(r4.b, r.b);
            EXPECT_EQ(r4.c, r.c);
        }
    }
}

// At the singular middle angle the first and third rotations share an axis;
// the third angle reads back as 0 and the matrix is still reproduced.
TEST(Euler, GimbalLockReadsTheThirdAngleAsZero)
{
    for (const auto& [order, middle] : {std::pair{HX_EULER_XYZ_S, 16384}, std::pair{HX_EULER_ZYX_R, 49152},
                                        std::pair{HX_EULER_XYX_S, 0}, std::pair{HX_EULER_ZXZ_R, 0}}) {
        SCOPED_TRACE(static_cast<int>(order));
        const hx_euler e{3000, static_cast<hx_angle>(middle), 7000, order};
        hx_matrix34 m, back;
        HxEulerToMatrix34(&m, &e);
        hx_euler r{0, 0, 0, order};
        HxMatrix34ToEuler(&r, &m);
        const hx_angle third = (order & HX_EULER_FRAME_ROTATING) ? r.a : r.c;
        EXPECT_EQ(third, 0);
        ExpectNear34(*HxEulerToMatrix34(&back, &r), m, 4e-4f);
    }
}

TEST(Euler, OrderBytesThatNameNoOrderMeanNoRotation)
{
    for (uint8_t order : {3, 7, 19, 32, 200, 255}) {
        const hx_euler e{1000, 2000, 3000, order};
        hx_matrix34 m = Filled34(5);
        HxEulerToMatrix34(&m, &e);
        ExpectNear34(m, hx_matrix34{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}}, 0);
        hx_quat q;
        HxEulerToQuat(&q, &e);
        EXPECT_EQ(q.w, 1.0f);
        hx_euler r{9, 9, 9, order};
        HxMatrix34ToEuler(&r, &m);
        EXPECT_EQ(r.a + r.b + r.c, 0);
    }
}

} // namespace
