// Tests of the framework's 3x4 and 4x4 matrices, vectors through them and
// planes.
#include "framework/hx_math.h"
#include "tests/maths/hx_expect.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kEps = 1e-5f;

// A rigid transform: rotations about two axes and a translation.
hx_matrix34 Rigid()
{
    hx_matrix34 m;
    HxMatrix34Rotate(&m, 5000, 0.6f, 0.0f, 0.8f);
    HxMatrix34PostRotateX(&m, 12000);
    return *HxMatrix34PostTranslate(&m, 3, -4, 5);
}

TEST(Matrix34, RotationsTurnTheRightWay)
{
    hx_matrix34 m;
    hx_vector3 out;
    const hx_vector3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    HxMatrix34ApplyP(&out, &x, HxMatrix34RotateZ(&m, 16384));
    ExpectNear3(out, 0, 1, 0, kEps);
    HxMatrix34ApplyP(&out, &y, HxMatrix34RotateX(&m, 16384));
    ExpectNear3(out, 0, 0, 1, kEps);
    HxMatrix34ApplyP(&out, &z, HxMatrix34RotateY(&m, 16384));
    ExpectNear3(out, 1, 0, 0, kEps);
    // The axis form agrees with the single-axis forms.
    hx_matrix34 a, b;
    ExpectNear34(*HxMatrix34Rotate(&a, 7000, 0, 0, 1), *HxMatrix34RotateZ(&b, 7000), kEps);
    ExpectNear34(*HxMatrix34Rotate(&a, 7000, 1, 0, 0), *HxMatrix34RotateX(&b, 7000), kEps);
    ExpectNear34(*HxMatrix34Rotate(&a, 7000, 0, 1, 0), *HxMatrix34RotateY(&b, 7000), kEps);
    ExpectRotation(*HxMatrix34Rotate(&a, 40000, 0.48f, 0.6f, 0.64f), kEps);
}

TEST(Matrix34, ProductAppliesTheFirstFactorFirst)
{
    hx_matrix34 t, s;
    HxMatrix34Translate(&t, 1, 2, 3);
    HxMatrix34Scale(&s, 2, 2, 2);
    const hx_matrix34 p = Mul(t, s);
    EXPECT_EQ(p.m[3][0], 2.0f);
    EXPECT_EQ(p.m[3][1], 4.0f);
    EXPECT_EQ(p.m[3][2], 6.0f);
    // A product may be written over one of its factors.
    hx_matrix34 a = Sample34(0.3f);
    const hx_matrix34 b = Sample34(1.9f), expected = Mul(a, b);
    HxMatrix34Mul(&a, &a, &b);
    ExpectNear34(a, expected, 0);
}

TEST(Matrix34, ShearsAndScales)
{
    hx_matrix34 m;
    hx_vector3 out;
    const hx_vector3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1}, p{1, 2, 3};
    HxMatrix34ApplyP(&out, &x, HxMatrix34ShearX(&m, 2, 3));
    ExpectNear3(out, 1, 2, 3, 0);
    HxMatrix34ApplyP(&out, &y, HxMatrix34ShearY(&m, 2, 3));
    ExpectNear3(out, 2, 1, 3, 0);
    HxMatrix34ApplyP(&out, &z, HxMatrix34ShearZ(&m, 2, 3));
    ExpectNear3(out, 2, 3, 1, 0);
    HxMatrix34ApplyP(&out, &p, HxMatrix34Scale(&m, 2, -1, 0.5f));
    ExpectNear3(out, 2, -2, 1.5f, 0);
}

// Every pre operation is F x m and every post operation m x F, for the
// factor F that the plain builder makes.
TEST(Matrix34, PreAndPostMatchExplicitProducts)
{
    struct Op {
        const char* name;
        void (*build)(hx_matrix34*);
        void (*pre)(hx_matrix34*);
        void (*post)(hx_matrix34*);
    };
    const Op ops[] = {
        {"RotateX", [](hx_matrix34* f) { HxMatrix34RotateX(f, 9000); }, [](hx_matrix34* m) { HxMatrix34PreRotateX(m, 9000); }, [](hx_matrix34* m) { HxMatrix34PostRotateX(m, 9000); }},
        {"RotateY", [](hx_matrix34* f) { HxMatrix34RotateY(f, 9000); }, [](hx_matrix34* m) { HxMatrix34PreRotateY(m, 9000); }, [](hx_matrix34* m) { HxMatrix34PostRotateY(m, 9000); }},
        {"RotateZ", [](hx_matrix34* f) { HxMatrix34RotateZ(f, 9000); }, [](hx_matrix34* m) { HxMatrix34PreRotateZ(m, 9000); }, [](hx_matrix34* m) { HxMatrix34PostRotateZ(m, 9000); }},
        {"Rotate", [](hx_matrix34* f) { HxMatrix34Rotate(f, 9000, 0, 0.6f, 0.8f); }, [](hx_matrix34* m) { HxMatrix34PreRotate(m, 9000, 0, 0.6f, 0.8f); }, [](hx_matrix34* m) { HxMatrix34PostRotate(m, 9000, 0, 0.6f, 0.8f); }},
        {"Translate", [](hx_matrix34* f) { HxMatrix34Translate(f, 1, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PreTranslate(m, 1, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PostTranslate(m, 1, 2, 3); }},
        {"Scale", [](hx_matrix34* f) { HxMatrix34Scale(f, 2, 3, 4); }, [](hx_matrix34* m) { HxMatrix34PreScale(m, 2, 3, 4); }, [](hx_matrix34* m) { HxMatrix34PostScale(m, 2, 3, 4); }},
        {"ShearX", [](hx_matrix34* f) { HxMatrix34ShearX(f, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PreShearX(m, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PostShearX(m, 2, 3); }},
        {"ShearY", [](hx_matrix34* f) { HxMatrix34ShearY(f, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PreShearY(m, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PostShearY(m, 2, 3); }},
        {"ShearZ", [](hx_matrix34* f) { HxMatrix34ShearZ(f, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PreShearZ(m, 2, 3); }, [](hx_matrix34* m) { HxMatrix34PostShearZ(m, 2, 3); }},
    };
    const hx_matrix34 base = Sample34(0.7f);
    for (const Op& op : ops) {
        SCOPED_TRACE(op.name);
        hx_matrix34 f, m = base;
        op.build(&f);
        op.pre(&m);
        ExpectNear34(m, Mul(f, base), kEps);
        m = base;
        op.post(&m);
        ExpectNear34(m, Mul(base, f), kEps);
    }
    hx_matrix34 m = base;
    const hx_matrix34 a = Sample34(2.2f);
    ExpectNear34(*HxMatrix34Pre(&m, &a), Mul(a, base), 0);
    m = base;
    ExpectNear34(*HxMatrix34Post(&m, &a), Mul(base, a), 0);
}

TEST(Matrix34, InverseOfGeneralAndSingularMatrices)
{
    const hx_matrix34 m = Sample34(0.4f);
    hx_matrix34 inv;
    const hx_scalar det = HxMatrix34Inverse(&inv, &m);
    EXPECT_NE(det, 0.0f);
    ExpectNear34(Mul(m, inv), Identity34(), 1e-4f);
    ExpectNear34(Mul(inv, m), Identity34(), 1e-4f);
    hx_matrix34 s;
    EXPECT_FLOAT_EQ(HxMatrix34Inverse(&inv, HxMatrix34Scale(&s, 2, 3, -4)), -24.0f);
    hx_matrix34 self = m;
    EXPECT_EQ(HxMatrix34Inverse(&self, &self), det); // in place
    ExpectNear34(Mul(m, self), Identity34(), 1e-4f);

    struct Singular {
        const char* name;
        hx_matrix34 m;
    };
    const Singular singular[] = {
        {"zero row", {{{1, 2, 3}, {0, 0, 0}, {4, 5, 6}, {7, 8, 9}}}},
        {"dependent rows", {{{1, 2, 3}, {2, 4, 6}, {0, 0, 1}, {1, 1, 1}}}},
        {"zero", {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}}},
        {"tiny", {{{1e-3f, 0, 0}, {0, 1e-3f, 0}, {0, 0, 1e-3f}, {0, 0, 0}}}},
    };
    for (const Singular& c : singular) {
        SCOPED_TRACE(c.name);
        hx_matrix34 dst = Filled34(7);
        EXPECT_EQ(HxMatrix34Inverse(&dst, &c.m), 0.0f);
        ExpectNear34(dst, Filled34(7), 0);
    }
}

TEST(Matrix34, OrthonormalInverseAndNormalise)
{
    const hx_matrix34 m = Rigid();
    ExpectRotation(m, kEps);
    hx_matrix34 lp, general;
    HxMatrix34LPInverse(&lp, &m);
    HxMatrix34Inverse(&general, &m);
    ExpectNear34(lp, general, kEps);
    ExpectNear34(Mul(m, lp), Identity34(), kEps);

    // Normalising keeps row 2's direction and the translation.
    hx_matrix34 skew = {{{2, 0.3f, 0}, {0.2f, 3, 0.1f}, {0, 0, 5}, {1, 2, 3}}};
    hx_matrix34 n;
    HxMatrix34LPNormalise(&n, &skew);
    ExpectRotation(n, kEps);
    ExpectNear3({n.m[2][0], n.m[2][1], n.m[2][2]}, 0, 0, 1, kEps);
    ExpectNear3({n.m[3][0], n.m[3][1], n.m[3][2]}, 1, 2, 3, 0);
    EXPECT_GT(n.m[1][1], 0.9f); // row 1 stays near its hint
    // Degenerate rows fall back to the X axis.
    const hx_matrix34 flat = {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {4, 5, 6}}};
    HxMatrix34LPNormalise(&n, &flat);
    ExpectNear3({n.m[2][0], n.m[2][1], n.m[2][2]}, 1, 0, 0, 0);
    ExpectNear3({n.m[0][0], n.m[0][1], n.m[0][2]}, 1, 0, 0, 0);
}

TEST(Matrix34, RollingBallAndBounds)
{
    hx_matrix34 m;
    ExpectNear34(*HxMatrix34RollingBall(&m, 0, 0, 100), Identity34(), 0);
    HxMatrix34RollingBall(&m, 30, 40, 120);
    ExpectRotation(m, kEps);
    // The axis (-dy, dx, 0)/f stays put; the angle's cosine is r / sqrt(f^2 + r^2).
    const hx_vector3 axis{-0.8f, 0.6f, 0};
    hx_vector3 out;
    HxMatrix34ApplyV(&out, &axis, &m);
    ExpectNear3(out, -0.8f, 0.6f, 0, kEps);
    const float c = 120.0f / 130.0f;
    EXPECT_NEAR(m.m[2][2], c, kEps);
    // Dragging right turns the front (+Z) toward +X.
    HxMatrix34RollingBall(&m, 50, 0, 100);
    EXPECT_GT(m.m[2][0], 0.0f);

    const hx_bounds3 box{{-2, 0, 5}, {6, 4, 5}};
    HxBoundsToMatrix34(&m, &box);
    const hx_vector3 lo{-1, -1, -1}, hi{1, 1, 1};
    HxMatrix34ApplyP(&out, &lo, &m);
    ExpectNear3(out, -2, 0, 4, 0); // a flat axis keeps half-size 1
    HxMatrix34ApplyP(&out, &hi, &m);
    ExpectNear3(out, 6, 4, 6, 0);
}

TEST(Matrix34, VectorsThroughMatrices)
{
    const hx_matrix34 m = Sample34(1.1f);
    const hx_vector3 p{1, -2, 0.5f};
    hx_vector3 a, b;
    HxMatrix34ApplyP(&a, &p, &m);
    for (int c = 0; c < 3; ++c) {
        const float e = p.x * m.m[0][c] + p.y * m.m[1][c] + p.z * m.m[2][c] + m.m[3][c];
        EXPECT_NEAR((&a.x)[c], e, kEps);
    }
    HxMatrix34ApplyV(&b, &p, &m);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR((&a.x)[c] - (&b.x)[c], m.m[3][c], kEps);
    const hx_vector4 hv{1, -2, 0.5f, 2};
    HxMatrix34ApplyHV(&b, &hv, &m);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR((&b.x)[c], (&a.x)[c] + m.m[3][c], 1e-4f);

    // The transposed forms undo a rotation and ignore the translation.
    const hx_matrix34 r = Rigid();
    HxMatrix34ApplyV(&a, &p, &r);
    for (auto* tapply : {HxMatrix34TApplyP, HxMatrix34TApplyV, HxMatrix34TApplyN}) {
        tapply(&b, &a, &r);
        ExpectNear3(b, p.x, p.y, p.z, kEps);
    }
}

// A plane through local points, moved by the transposed apply, still holds
// those points once they are moved into the matrix's space.
TEST(Matrix34, PlanesTransformWithTheTransposedApply)
{
    const hx_matrix34 m = Rigid();
    hx_matrix34 inv;
    HxMatrix34LPInverse(&inv, &m);
    // A plane in world space, n . X + w = 0, as seen in m's local space:
    // X = Y m, so its local form comes through the transposed apply.
    const hx_vector4 world{0, 0.6f, 0.8f, -2};
    hx_vector4 local;
    HxMatrix34TApplyPlane(&local, &world, &m);
    for (const hx_vector3& y : {hx_vector3{1, 2, 3}, hx_vector3{-5, 0, 1}}) {
        hx_vector3 x;
        HxMatrix34ApplyP(&x, &y, &m);
        const float worldSide = world.x * x.x + world.y * x.y + world.z * x.z + world.w;
        const float localSide = local.x * y.x + local.y * y.y + local.z * y.z + local.w;
        EXPECT_NEAR(worldSide, localSide, 1e-4f);
    }
}

TEST(Plane, ThroughThreePoints)
{
    hx_plane p;
    const hx_vector3 a{0, 0, 2}, b{1, 0, 2}, c{0, 1, 2};
    EXPECT_EQ(HxPlaneEquation(&p, &a, &b, &c), 0);
    EXPECT_NEAR(p.x, 0, kEps);
    EXPECT_NEAR(p.y, 0, kEps);
    EXPECT_NEAR(p.z, 1, kEps);
    EXPECT_NEAR(p.d, 2, kEps);
    const hx_vector3 d{3, 0, 0}, e{0, 3, 0}, f{0, 0, 3};
    EXPECT_EQ(HxPlaneEquation(&p, &d, &e, &f), 0);
    const float k = 1 / std::sqrt(3.0f);
    EXPECT_NEAR(p.x, k, kEps);
    EXPECT_NEAR(p.d, 3 * k, kEps);
    // Collinear points: the plane z = p1.z and the result 1.
    const hx_vector3 g{1, 1, 7}, h{2, 2, 8}, i{3, 3, 9};
    EXPECT_EQ(HxPlaneEquation(&p, &g, &h, &i), 1);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.z, 1);
    EXPECT_EQ(p.d, 7);
}

hx_matrix4 Sample4(float seed)
{
    hx_matrix4 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m.m[r][c] = SampleValue(seed, r * 4 + c);
    return m;
}

hx_matrix4 Mul4(const hx_matrix4& a, const hx_matrix4& b)
{
    hx_matrix4 r;
    return *HxMatrix4Mul(&r, &a, &b);
}

hx_matrix4 Identity4()
{
    hx_matrix4 r;
    return *HxMatrix4Identity(&r);
}

TEST(Matrix4, InverseDeterminantAndAdjoint)
{
    const hx_matrix4 m = Sample4(0.2f);
    hx_matrix4 inv, adj;
    const hx_scalar det = HxMatrix4Inverse(&inv, &m);
    EXPECT_NE(det, 0.0f);
    EXPECT_FLOAT_EQ(det, HxMatrix4Determinant(&m));
    ExpectNear4(Mul4(m, inv), Identity4(), 1e-4f);
    // adj(m) x m = det I
    HxMatrix4Adjoint(&adj, &m);
    const hx_matrix4 p = Mul4(adj, m);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(p.m[r][c], r == c ? det : 0.0f, 1e-3f);
    hx_matrix4 s;
    EXPECT_FLOAT_EQ(HxMatrix4Determinant(HxMatrix4Scale(&s, 2, 3, 4)), 24.0f);
    hx_matrix4 self = m;
    HxMatrix4Inverse(&self, &self);
    ExpectNear4(self, inv, 0);

    // Singular: 0, and the destination holds the adjoint.
    hx_matrix4 sing = m;
    for (int c = 0; c < 4; ++c) sing.m[2][c] = 2 * sing.m[1][c];
    EXPECT_EQ(HxMatrix4Inverse(&inv, &sing), 0.0f);
    HxMatrix4Adjoint(&adj, &sing);
    ExpectNear4(inv, adj, 0);
}

TEST(Matrix4, PerspectiveAndApplies)
{
    hx_matrix4 p;
    HxMatrix4Perspective(&p, 16384, 2.0f, 1.0f, 101.0f); // a quarter-turn field of view
    hx_matrix4 e{};
    e.m[0][0] = 0.5f;
    e.m[1][1] = 1.0f;
    e.m[2][2] = 102.0f / 100.0f;
    e.m[2][3] = -1.0f;
    e.m[3][2] = -202.0f / 100.0f;
    ExpectNear4(p, e, 1e-6f);

    const hx_matrix4 m = Sample4(1.5f);
    const hx_vector4 v{1, 2, -1, 0.5f};
    const hx_vector3 v3{1, 2, -1};
    hx_vector4 a, b;
    HxMatrix4Apply(&a, &v, &m);
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR((&a.x)[c], v.x * m.m[0][c] + v.y * m.m[1][c] + v.z * m.m[2][c] + v.w * m.m[3][c], kEps);
    HxMatrix4TApply(&b, &v, &m);
    for (int r = 0; r < 4; ++r)
        EXPECT_NEAR((&b.x)[r], m.m[r][0] * v.x + m.m[r][1] * v.y + m.m[r][2] * v.z + m.m[r][3] * v.w, kEps);
    HxMatrix4ApplyP(&a, &v3, &m);
    HxMatrix4ApplyV(&b, &v3, &m);
    for (int c = 0; c < 4; ++c) EXPECT_NEAR((&a.x)[c] - (&b.x)[c], m.m[3][c], kEps);
    HxMatrix4TApplyP(&a, &v3, &m);
    HxMatrix4TApplyV(&b, &v3, &m);
    for (int r = 0; r < 4; ++r) EXPECT_NEAR((&a.x)[r] - (&b.x)[r], m.m[r][3], kEps);
}

TEST(Matrix4, PromotionOf3x4)
{
    const hx_matrix34 a = Sample34(0.9f), c = Sample34(2.5f);
    hx_matrix4 pa, pc, prod;
    HxMatrix4Copy34(&pa, &a);
    EXPECT_EQ(pa.m[0][3], 0.0f);
    EXPECT_EQ(pa.m[3][3], 1.0f);
    HxMatrix4Copy34(&pc, &c);
    // The promoted product is the promoted 3x4 product.
    HxMatrix4Mul34(&prod, &a, &pc);
    hx_matrix34 back;
    HxMatrix34Copy4(&back, &prod);
    ExpectNear34(back, Mul(a, c), kEps);
    hx_matrix4 m = pc;
    HxMatrix4Pre34(&m, &a);
    ExpectNear4(m, prod, 0);
    hx_matrix4 copy;
    HxMatrix4Copy(&copy, &prod);
    ExpectNear4(copy, prod, 0);
}

} // namespace
