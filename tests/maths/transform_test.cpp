// Tests of the seven transform forms: to and from matrices, between each
// other, and matrices multiplied by them.
#include "framework/hx_math.h"
#include "tests/maths/hx_expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr float kEps = 1e-5f;

// A rigid placement: a rotation and the translation (1, 2, 3).
hx_matrix34 Placement()
{
    const hx_euler e{4000, 9000, 50000, HX_EULER_XYZ_S};
    hx_matrix34 m;
    HxEulerToMatrix34(&m, &e);
    m.m[3][0] = 1, m.m[3][1] = 2, m.m[3][2] = 3;
    return m;
}

hx_transform OfType(uint16_t type)
{
    hx_transform x;
    std::memset(&x, 0, sizeof x);
    x.type = type;
    return x;
}

TEST(Transform, EachFormToMatrix)
{
    hx_transform x = OfType(HX_TRANSFORM_QUAT);
    x.t.quat.q = {0, 0, std::sqrt(0.5f), std::sqrt(0.5f)};
    x.t.quat.t = {1, 2, 3};
    hx_matrix34 m, expected;
    HxTransformToMatrix34(&m, &x);
    HxMatrix34RotateZ(&expected, 16384);
    expected.m[3][0] = 1, expected.m[3][1] = 2, expected.m[3][2] = 3;
    ExpectNear34(m, expected, kEps);

    x = OfType(HX_TRANSFORM_EULER);
    x.t.euler.e = {16384, 0, 0, HX_EULER_XYZ_S};
    x.t.euler.t = {4, 5, 6};
    HxTransformToMatrix34(&m, &x);
    ExpectNear34(m, hx_matrix34{{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {4, 5, 6}}}, kEps);

    // Looking down -Z with +Y up is no rotation.
    x = OfType(HX_TRANSFORM_LOOK_UP);
    x.t.look_up.look = {0, 0, -5};
    x.t.look_up.up = {0, 2, 0};
    x.t.look_up.t = {7, 8, 9};
    HxTransformToMatrix34(&m, &x);
    ExpectNear34(m, hx_matrix34{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {7, 8, 9}}}, kEps);
    // Looking along +X: row 2 is -X.
    x.t.look_up.look = {3, 0, 0};
    HxTransformToMatrix34(&m, &x);
    ExpectRotation(m, kEps);
    ExpectNear3({m.m[2][0], m.m[2][1], m.m[2][2]}, -1, 0, 0, kEps);
    // A zero look falls back to the X axis and still gives a frame.
    x.t.look_up.look = {0, 0, 0};
    HxTransformToMatrix34(&m, &x);
    ExpectNear3({m.m[2][0], m.m[2][1], m.m[2][2]}, 1, 0, 0, 0);

    x = OfType(HX_TRANSFORM_TRANSLATE);
    x.t.translate.t = {-1, -2, -3};
    HxTransformToMatrix34(&m, &x);
    ExpectNear34(m, hx_matrix34{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1, -2, -3}}}, 0);

    x = OfType(HX_TRANSFORM_MATRIX);
    x.t.mat = Sample34(0.5f);
    ExpectNear34(*HxTransformToMatrix34(&m, &x), Sample34(0.5f), 0);

    for (uint16_t type : {HX_TRANSFORM_IDENTITY, uint16_t{7}, uint16_t{999}}) {
        x = OfType(type);
        x.t.mat = Sample34(0.5f);
        ExpectNear34(*HxTransformToMatrix34(&m, &x), Identity34(), 0);
    }
}

// A rigid matrix written into every form and read back gives itself; the
// Euler form to within its whole-unit angles.
TEST(Transform, MatrixRoundTripsThroughEveryForm)
{
    const hx_matrix34 p = Placement();
    for (uint16_t type = 0; type < HX_TRANSFORM_IDENTITY; ++type) {
        SCOPED_TRACE(type);
        hx_transform x = OfType(type);
        if (type == HX_TRANSFORM_EULER) x.t.euler.e.order = HX_EULER_ZXZ_R;
        if (type == HX_TRANSFORM_LOOK_UP) x.t.look_up.up = {p.m[1][0], p.m[1][1], p.m[1][2]};
        HxMatrix34ToTransform(&x, &p);
        hx_matrix34 back;
        HxTransformToMatrix34(&back, &x);
        if (type == HX_TRANSFORM_TRANSLATE) {
            ExpectNear34(back, hx_matrix34{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}}}, 0);
        } else {
            ExpectNear34(back, p, type == HX_TRANSFORM_EULER ? 4e-4f : kEps);
        }
    }
    // The length-preserving form orthonormalises what it is given.
    hx_transform lp = OfType(HX_TRANSFORM_MATRIX_LP);
    hx_matrix34 scaled = p;
    HxMatrix34PostScale(&scaled, 2, 2, 2);
    HxMatrix34ToTransform(&lp, &scaled);
    ExpectRotation(lp.t.mat, kEps);
}

TEST(Transform, LookUpKeepsItsUpUnlessZero)
{
    const hx_matrix34 p = Placement();
    hx_transform x = OfType(HX_TRANSFORM_LOOK_UP);
    x.t.look_up.up = {-0.0f, 0.0f, -0.0f};
    HxMatrix34ToTransform(&x, &p);
    ExpectNear3(x.t.look_up.up, 0, 1, 0, 0);
    ExpectNear3(x.t.look_up.look, -p.m[2][0], -p.m[2][1], -p.m[2][2], 0);
    ExpectNear3(x.t.look_up.t, 1, 2, 3, 0);
    x.t.look_up.up = {0, 0, 4};
    HxMatrix34ToTransform(&x, &p);
    ExpectNear3(x.t.look_up.up, 0, 0, 4, 0);

    // Identity and unknown forms are left as they were.
    for (uint16_t type : {HX_TRANSFORM_IDENTITY, uint16_t{12}}) {
        hx_transform u = OfType(type);
        u.t.mat = Sample34(1.0f);
        HxMatrix34ToTransform(&u, &p);
        ExpectNear34(u.t.mat, Sample34(1.0f), 0);
    }
}

TEST(Transform, ConversionBetweenForms)
{
    const hx_matrix34 p = Placement();
    hx_transform q = OfType(HX_TRANSFORM_QUAT);
    HxMatrix34ToTransform(&q, &p);

    // The same form copies the whole record.
    hx_transform same = OfType(HX_TRANSFORM_QUAT);
    HxTransformToTransform(&same, &q);
    EXPECT_EQ(std::memcmp(&same, &q, sizeof q), 0);

    hx_transform e = OfType(HX_TRANSFORM_EULER);
    e.t.euler.e.order = HX_EULER_YXZ_S;
    HxTransformToTransform(&e, &q);
    EXPECT_EQ(e.type, HX_TRANSFORM_EULER);
    hx_matrix34 m;
    ExpectNear34(*HxTransformToMatrix34(&m, &e), p, 4e-4f);

    hx_transform mat = OfType(HX_TRANSFORM_MATRIX);
    HxTransformToTransform(&mat, &q);
    ExpectNear34(mat.t.mat, p, kEps);

    // A general matrix becomes length-preserving only after orthonormalising.
    hx_transform general = OfType(HX_TRANSFORM_MATRIX);
    general.t.mat = p;
    HxMatrix34PostScale(&general.t.mat, 3, 3, 3);
    hx_transform lp = OfType(HX_TRANSFORM_MATRIX_LP);
    HxTransformToTransform(&lp, &general);
    ExpectRotation(lp.t.mat, kEps);
    ExpectNear3({lp.t.mat.m[3][0], lp.t.mat.m[3][1], lp.t.mat.m[3][2]}, 3, 6, 9, kEps);
}

TEST(Transform, PreAndPostMultiplication)
{
    const hx_matrix34 base = Sample34(0.8f);
    hx_transform e = OfType(HX_TRANSFORM_EULER);
    e.t.euler.e = {1000, 2000, 3000, HX_EULER_ZYX_S};
    e.t.euler.t = {1, -1, 2};
    hx_matrix34 t;
    HxTransformToMatrix34(&t, &e);

    hx_matrix34 m = base;
    ExpectNear34(*HxMatrix34PreTransform(&m, &e), Mul(t, base), kEps);
    m = base;
    ExpectNear34(*HxMatrix34PostTransform(&m, &e), Mul(base, t), kEps);
    hx_matrix4 m4, b4, t4, expected;
    HxMatrix4Copy34(&b4, &base);
    m4 = b4;
    HxMatrix4PreTransform(&m4, &e);
    HxMatrix4Mul(&expected, HxMatrix4Copy34(&t4, &t), &b4);
    ExpectNear4(m4, expected, kEps);

    // The identity form leaves the matrix untouched.
    const hx_transform id = OfType(HX_TRANSFORM_IDENTITY);
    m = base;
    ExpectNear34(*HxMatrix34PreTransform(&m, &id), base, 0);
    ExpectNear34(*HxMatrix34PostTransform(&m, &id), base, 0);
    m4 = b4;
    ExpectNear4(*HxMatrix4PreTransform(&m4, &id), b4, 0);
}

} // namespace
