// Tests of the game's vector and matrix maths (system/gamemath).
#include "system/gamemath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr float kEps = 1e-5f;

void ExpectVec(const Vector3& v, float x, float y, float z, float eps = kEps)
{
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

void ExpectMat(const Matrix4& a, const Matrix4& b, float eps = kEps)
{
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

Matrix4 Filled(float v)
{
    Matrix4 m;
    for (float& e : m.m) e = v;
    return m;
}

// Reference product a x b.
Matrix4 Mul(const Matrix4& a, const Matrix4& b)
{
    Matrix4 out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) out.m[r * 4 + c] += a.m[r * 4 + k] * b.m[k * 4 + c];
    return out;
}

Matrix4 Sample(float seed)
{
    Matrix4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = std::sin(seed + static_cast<float>(i) * 1.7f) * 3.0f;
    return m;
}

TEST(GameVector, NormaliseAndScaleLeaveZeroAlone)
{
    Vector3 z{0, 0, 0};
    EXPECT_EQ(VecNormalise(z), 0.0f);
    ExpectVec(z, 0, 0, 0, 0);
    VecScaleTo65536(z);
    ExpectVec(z, 0, 0, 0, 0);

    Vector3 v{3, 4, 0};
    EXPECT_FLOAT_EQ(VecNormalise(v), 5.0f);
    ExpectVec(v, 0.6f, 0.8f, 0);
    Vector3 w{0, -2, 0};
    VecScaleTo65536(w);
    ExpectVec(w, 0, -65536.0f, 0, 0);
}

TEST(GameVector, LengthDotCross)
{
    EXPECT_FLOAT_EQ(VecLength({2, 3, 6}), 7.0f);
    EXPECT_FLOAT_EQ(VecDistance({1, 1, 1}, {3, 4, 7}), 7.0f);
    EXPECT_FLOAT_EQ(VecDot({1, 2, 3}, {4, -5, 6}), 12.0f);
    Vector3 a{1, 0, 0}, b{0, 1, 0};
    VecCross(a, b, a); // output aliasing the first input
    ExpectVec(a, 0, 0, 1, 0);
    Vector3 c;
    VecCross({1, 2, 3}, {4, 5, 6}, c);
    ExpectVec(c, -3, 6, -3, 0);
}

TEST(GameVector, FastLengthCases)
{
    struct Case {
        Vector3 v;
        float expected;
    };
    const Case cases[] = {
        {{3, 4, 12}, 14.03125f}, // z largest: b = 3, c = 4
        {{12, 4, 3}, 14.125f},
        {{-12, -4, -3}, 14.125f},
        {{4, 3, 12}, 12 + 0.34375f * 3 + 0.25f * 4}, // the smaller two keep the swapped order
        {{5, 5, 5}, 5 + 0.34375f * 5 + 0.25f * 5},   // ties swap nothing
        {{0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VecFastLength(c.v), c.expected) << c.v.x << "," << c.v.y << "," << c.v.z;
        EXPECT_EQ(VecFastLengthD({c.v.x, c.v.y, c.v.z}), c.expected);
    }
    EXPECT_EQ(VecFastLength2(4, -10), 10 + 0.34375f * 4);
    EXPECT_EQ(VecFastLength2(-10, 4), 10 + 0.34375f * 4);
    EXPECT_EQ(VecFastLength2(3, 3), 3 + 0.34375f * 3);
}

// The estimates stay within fixed ratios of the true length, and the bounds
// are tight: the worst cases are reached.
TEST(GameVector, FastLengthErrorBounds)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-1000.0f, 1000.0f);
    const float hi3 = std::sqrt(1.0f + 0.34375f * 0.34375f + 0.25f * 0.25f); // 1.0866
    // Lowest where z is largest and ties the larger of x, y, the other 0:
    // the larger one then weighs only 0.25.
    const float lo3 = 1.25f / std::sqrt(2.0f);               // 0.8839
    const float hi2 = std::sqrt(1.0f + 0.34375f * 0.34375f); // 1.0574
    const float lo2 = 1.34375f / std::sqrt(2.0f);            // 0.9502
    float min3 = 10, max3 = 0, min2 = 10, max2 = 0;
    for (int i = 0; i < 200000; ++i) {
        const Vector3 v{d(rng), d(rng), d(rng)};
        const float r3 = VecFastLength(v) / VecLength(v);
        const float r2 = VecFastLength2(v.x, v.y) / std::hypot(v.x, v.y);
        min3 = std::min(min3, r3), max3 = std::max(max3, r3);
        min2 = std::min(min2, r2), max2 = std::max(max2, r2);
    }
    EXPECT_GE(min3, lo3 - 1e-5f);
    EXPECT_LE(max3, hi3 + 1e-5f);
    EXPECT_GE(min2, lo2 - 1e-5f);
    EXPECT_LE(max2, hi2 + 1e-5f);
    EXPECT_LT(min3, lo3 + 0.01f);
    EXPECT_GT(max3, hi3 - 0.01f);
    EXPECT_LT(min2, lo2 + 0.01f);
    EXPECT_GT(max2, hi2 - 0.01f);
}

TEST(GameVector, RotationsTurnTheStatedWayAndAllowAliasing)
{
    Vector3 v{0, 1, 0};
    VecRotX(v, 90, v); // +Y toward +Z
    ExpectVec(v, 0, 0, 1);
    v = {0, 0, 1};
    VecRotY(v, 90, v); // +Z toward +X
    ExpectVec(v, 1, 0, 0);
    v = {0, 1, 0};
    VecRotZ(v, 90, v); // +Y toward +X
    ExpectVec(v, 1, 0, 0);
    Vector3 out;
    ExpectVec(VecRotY(out, -90, {1, 2, 3}), -3, 2, 1);
}

// The vector rotations and the matrix rotations agree in sense.
TEST(GameVector, RotationsMatchMatrixRotations)
{
    using VecRot = Vector3& (*)(Vector3&, float, const Vector3&);
    using SetRot = void (*)(float, Matrix4&);
    const struct {
        VecRot vec;
        SetRot mat;
    } axes[] = {{VecRotX, MatSetRotX}, {VecRotY, MatSetRotY}, {VecRotZ, MatSetRotZ}};
    const Vector3 p{0.3f, -1.2f, 2.5f};
    for (const auto& axis : axes) {
        for (float deg : {-170.0f, -33.0f, 12.5f, 90.0f, 271.0f}) {
            Vector3 a, b;
            axis.vec(a, deg, p);
            Matrix4 m;
            MatIdentity(m);
            axis.mat(deg, m);
            MatRotateVec(m, p, b);
            ExpectVec(a, b.x, b.y, b.z);
        }
    }
}

TEST(GameMatrix, SetRotationWritesOnlyTheRotationPart)
{
    const float c = static_cast<float>(std::cos(30.0 / 180.0 * 3.1415926));
    const float s = static_cast<float>(std::sin(30.0 / 180.0 * 3.1415926));
    const float x[12] = {1, 0, 0, 0, c, s, 0, -s, c};
    const float y[12] = {c, 0, -s, 0, 1, 0, s, 0, c};
    const float z[12] = {c, -s, 0, s, c, 0, 0, 0, 1};
    const struct {
        void (*set)(float, Matrix4&);
        const float* expected;
    } cases[] = {{MatSetRotX, x}, {MatSetRotY, y}, {MatSetRotZ, z}};
    for (const auto& k : cases) {
        Matrix4 m = Filled(7);
        k.set(30, m);
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) EXPECT_EQ(m.m[r * 4 + col], k.expected[r * 3 + col]);
        for (int i : {3, 7, 11, 12, 13, 14, 15}) EXPECT_EQ(m.m[i], 7.0f);
    }
}

TEST(GameMatrix, ProductsReadEverythingBeforeWriting)
{
    const Matrix4 a = Sample(0.1f), b = Sample(2.0f);
    Matrix4 sq = a;
    MatMul(sq, sq);
    ExpectMat(sq, Mul(a, a), 1e-4f);

    Matrix4 m = a;
    MatMul(m, b);
    ExpectMat(m, Mul(a, b), 1e-4f);
    m = a;
    MatPreMul(m, b);
    ExpectMat(m, Mul(b, a), 1e-4f);
    m = a;
    MatPreMul(m, m);
    ExpectMat(m, Mul(a, a), 1e-4f);

    m = a;
    MatPreMulRotation(m, b);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            float sum = 0;
            for (int k = 0; k < 3; ++k) sum += b.m[r * 4 + k] * a.m[k * 4 + c];
            EXPECT_NEAR(m.m[r * 4 + c], sum, 1e-4f);
        }
    }
    for (int i : {3, 7, 11, 12, 13, 14, 15}) EXPECT_EQ(m.m[i], a.m[i]);
}

TEST(GameMatrix, TransposeRotationInvertsRotationAndNegatesTranslation)
{
    Matrix4 m;
    MatIdentity(m);
    MatRotX(25, m);
    MatRotY(-60, m);
    MatRotZ(140, m);
    MatTranslate(1, 2, 3, m);
    Matrix4 t;
    MatTransposeRotation(t, m);
    EXPECT_EQ(t.m[12], -1.0f);
    EXPECT_EQ(t.m[13], -2.0f);
    EXPECT_EQ(t.m[14], -3.0f);
    EXPECT_EQ(t.m[1], m.m[4]);
    EXPECT_EQ(t.m[9], m.m[6]);
    Matrix4 r = m;
    MatPreMulRotation(r, t); // R^T R = I in the 3x3 part
    Matrix4 id;
    MatIdentity(id);
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) EXPECT_NEAR(r.m[i], id.m[i], kEps);

    Matrix4 same = m;
    MatTransposeRotation(same, same);
    ExpectMat(same, t, 0);
}

TEST(GameMatrix, RotateActsAboutLocalAxesAndKeepsTranslation)
{
    Matrix4 m;
    MatIdentity(m);
    MatTranslate(5, 6, 7, m);
    MatRotY(90, m);
    MatRotX(90, m); // m = Rx x Ry x T
    Matrix4 rx, ry, t;
    MatIdentity(rx);
    MatSetRotX(90, rx);
    MatIdentity(ry);
    MatSetRotY(90, ry);
    MatIdentity(t);
    MatTranslate(5, 6, 7, t);
    ExpectMat(m, Mul(rx, Mul(ry, t)));
    EXPECT_EQ(m.m[12], 5.0f);
    EXPECT_EQ(m.m[15], 1.0f);
}

TEST(GameMatrix, ScalesAndIdentities)
{
    Matrix4 m = Filled(2);
    MatSetScale(50, m);
    Matrix4 e;
    MatIdentity(e);
    e.m[0] = e.m[5] = e.m[10] = 0.5f;
    ExpectMat(m, e, 0);

    m = Sample(1.0f);
    const Matrix4 a = m;
    MatScaleY(200, m);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(m.m[r * 4 + 0], a.m[r * 4 + 0]);
        EXPECT_EQ(m.m[r * 4 + 1], a.m[r * 4 + 1] * 2.0f);
        EXPECT_EQ(m.m[r * 4 + 2], a.m[r * 4 + 2]);
    }
    m = a;
    MatScale(300, m);
    Matrix4 s;
    MatSetScale(300, s);
    ExpectMat(m, Mul(a, s), 1e-4f);
    m = a;
    MatScaleX(10, m);
    MatScaleZ(10, m);
    EXPECT_FLOAT_EQ(m.m[4], a.m[4] * 0.1f);
    EXPECT_FLOAT_EQ(m.m[14], a.m[14] * 0.1f);
    EXPECT_EQ(m.m[13], a.m[13]);

    m = Filled(9);
    MatIdentity3(m);
    EXPECT_EQ(m.m[5], 1.0f);
    EXPECT_EQ(m.m[6], 0.0f);
    EXPECT_EQ(m.m[12], 9.0f);
    EXPECT_EQ(m.m[15], 9.0f);
    Matrix4 c;
    MatCopy(c, a);
    ExpectMat(c, a, 0);
}

TEST(GameMatrix, Frustum)
{
    Matrix4 m = Filled(5);
    MatFrustum(-2, 2, -1, 1, 1, 101, m);
    Matrix4 e{};
    e.m[0] = 0.5f;
    e.m[5] = 1.0f;
    e.m[8] = 0.0f;
    e.m[9] = 0.0f;
    e.m[10] = -102.0f / 100.0f;
    e.m[11] = -1.0f;
    e.m[14] = -202.0f / 100.0f;
    ExpectMat(m, e, 1e-6f);
    MatFrustum(0, 4, 0, 2, 1, 3, m);
    EXPECT_FLOAT_EQ(m.m[8], 1.0f);
    EXPECT_FLOAT_EQ(m.m[9], 1.0f);
}

TEST(GameMatrix, LookDir)
{
    Matrix4 m = Filled(4);
    MatLookDir({0, 0, 5}, nullptr, m);
    Matrix4 e;
    MatIdentity(e);
    e.m[12] = e.m[13] = e.m[14] = 4; // translation untouched
    ExpectMat(m, e);

    const Vector3 up{0, 0, 1};
    MatLookDir({1, 0, 0}, &up, m);
    // z = +X, x = z x (0, 0, -1) = (0, 1, 0), y = z x x = (0, 0, 1)
    ExpectVec({m.m[0], m.m[1], m.m[2]}, 0, 1, 0);
    ExpectVec({m.m[4], m.m[5], m.m[6]}, 0, 0, 1);
    ExpectVec({m.m[8], m.m[9], m.m[10]}, 1, 0, 0);

    // Looking straight up still gives an orthonormal frame.
    MatLookDir({0, 3, 0}, nullptr, m);
    const Vector3 x{m.m[0], m.m[1], m.m[2]}, y{m.m[4], m.m[5], m.m[6]}, z{m.m[8], m.m[9], m.m[10]};
    ExpectVec(z, 0, 1, 0);
    EXPECT_NEAR(VecLength(x), 1, kEps);
    EXPECT_NEAR(VecLength(y), 1, kEps);
    EXPECT_NEAR(VecDot(x, y), 0, kEps);
    EXPECT_NEAR(VecDot(x, z), 0, kEps);
}

TEST(GameMatrix, OrientationMatchAndArray9)
{
    Matrix4 a, b;
    MatIdentity(a);
    MatIdentity(b);
    EXPECT_FLOAT_EQ(MatOrientationMatch(a, b), 1.0f);
    for (int i : {0, 5, 10}) b.m[i] = -1;
    EXPECT_FLOAT_EQ(MatOrientationMatch(a, b), 0.0f);
    MatIdentity(b);
    MatSetRotZ(90, b);
    EXPECT_NEAR(MatOrientationMatch(a, b), 4.0f / 6.0f, kEps);

    Matrix4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = static_cast<float>(i);
    float out[9];
    MatRotationToArray9(m, out);
    const float expected[9] = {0, 4, 8, 1, 5, 9, 2, 6, 10};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out[i], expected[i]);
    MatRotationToArray9(m, nullptr);
}

TEST(GameMatrix, VectorTransforms)
{
    Matrix4 m;
    MatIdentity(m);
    MatTranslate(2, 4, 6, m);
    m.m[15] = 2;
    Vector3 out;
    VecTransformPointW(m, {2, 4, 6}, out);
    ExpectVec(out, 2, 4, 6, 0);

    MatIdentity(m);
    MatRotY(37, m);
    MatRotX(-80, m);
    MatTranslate(100, 100, 100, m);
    const Vector3 local{1, -2, 3};
    Vector3 world, back, viaRotate;
    VecMulMat3(world, local, m);
    MatRotateVec(m, local, viaRotate);
    ExpectVec(viaRotate, world.x, world.y, world.z, 0);
    VecMulMat3T(back, world, m);
    ExpectVec(back, 1, -2, 3);
    EXPECT_NEAR(VecLength(world), VecLength(local), kEps); // no translation
    Vector3 same = local;
    VecMulMat3(same, same, m);
    ExpectVec(same, world.x, world.y, world.z, 0);
}

TEST(GameTables, SinCosEntriesAndNearestHalfDegree)
{
    BuildSinCosTables();
    EXPECT_EQ(SinCosTablesReady(), 255);
    const auto entry = [](int i, bool sine) {
        const float r = static_cast<float>(i) * 0.5f * 0.017453292f;
        return static_cast<float>(sine ? std::sin(static_cast<double>(r)) : std::cos(static_cast<double>(r)));
    };
    EXPECT_EQ(TableSin(89.8f), entry(180, true));
    EXPECT_EQ(TableCos(359.9f), entry(0, false));
    EXPECT_EQ(TableCos(359.6f), entry(719, false));
    EXPECT_EQ(TableSin(30.2f), entry(60, true));
    EXPECT_EQ(TableSin(30.3f), entry(61, true));
    EXPECT_EQ(TableSin(720.0f + 45.0f), entry(90, true));
    EXPECT_EQ(TableSin(-0.5f), entry(719, true)); // negative angles wrap to the nearest entry
    EXPECT_EQ(TableSin(-90.0f), entry(540, true));
    EXPECT_EQ(TableSin(NAN), entry(0, true));
    EXPECT_NEAR(TableSin(30), 0.5f, 1e-6f);
}

} // namespace
