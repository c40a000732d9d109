// The game's vector and matrix maths: vectors, 4x4 row-vector matrices,
// rotations in degrees, fast length estimates and the half-degree sine/cosine
// tables. Intermediate sums are carried in float or double as noted; every
// result is stored as a 32-bit float.
#include "system/gamemath.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Degrees to radians for the matrix rotations (a double, and deliberately
// this value of pi) and for the vector rotations and tables (a float).
constexpr double kMatrixPi = 3.1415926;
constexpr float kDegToRad = 0.017453292f;

constexpr float kFastMinorWeight = 0.34375f; // second-largest component
constexpr float kFastLeastWeight = 0.25f;    // the third

float g_sinTable[kSinCosTableSize];
float g_cosTable[kSinCosTableSize];
unsigned char g_sinCosReady = 0;

struct SinCos {
    double s, c;
};

SinCos MatrixAngle(float degrees)
{
    const double r = static_cast<double>(degrees) / 180.0 * kMatrixPi;
    return {std::sin(r), std::cos(r)};
}

SinCos VectorAngle(float degrees)
{
    const float r = degrees * kDegToRad;
    return {std::sin(static_cast<double>(r)), std::cos(static_cast<double>(r))};
}

// The 4x4 product out = a x b, with a and b read in full first.
Matrix4 Product(const Matrix4& a, const Matrix4& b)
{
    Matrix4 out;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r * 4 + c] = a.m[r * 4 + 0] * b.m[0 * 4 + c] + a.m[r * 4 + 1] * b.m[1 * 4 + c] +
                               a.m[r * 4 + 2] * b.m[2 * 4 + c] + a.m[r * 4 + 3] * b.m[3 * 4 + c];
        }
    }
    return out;
}

// A full rotation matrix about one axis (translation 0, element 15 = 1).
Matrix4 FullRotation(void (*setRot)(float, Matrix4&), float degrees)
{
    Matrix4 r;
    MatIdentity(r);
    setRot(degrees, r);
    return r;
}

// Writes the 3x3 part of m from nine values, row by row.
void SetRotation(Matrix4& m, const float (&v)[9])
{
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) m.m[r * 4 + c] = v[r * 3 + c];
    }
}

// m = m x S for a diagonal S with (sx, sy, sz, 1): scales the columns.
void ScaleColumns(Matrix4& m, float sx, float sy, float sz)
{
    for (int r = 0; r < 4; ++r) {
        m.m[r * 4 + 0] *= sx;
        m.m[r * 4 + 1] *= sy;
        m.m[r * 4 + 2] *= sz;
    }
}

Vector3 Row(const Matrix4& m, int r)
{
    return {m.m[r * 4 + 0], m.m[r * 4 + 1], m.m[r * 4 + 2]};
}

void SetRow(Matrix4& m, int r, const Vector3& v)
{
    m.m[r * 4 + 0] = v.x;
    m.m[r * 4 + 1] = v.y;
    m.m[r * 4 + 2] = v.z;
    m.m[r * 4 + 3] = 0.0f;
}

// Index of the nearest half degree in 0..719 for any angle (NaN gives 0).
int SinCosIndex(float degrees)
{
    double steps = std::floor((static_cast<double>(degrees) + 0.25) * 2.0);
    steps = std::fmod(steps, static_cast<double>(kSinCosTableSize)); // NaN for NaN or inf
    if (std::isnan(steps)) return 0;
    if (steps < 0.0) steps += kSinCosTableSize;
    const int i = static_cast<int>(steps);
    return i < kSinCosTableSize ? i : 0;
}

} // namespace

// ---- Vectors ---------------------------------------------------------------

float VecLength(const Vector3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

float VecDistance(const Vector3& a, const Vector3& b)
{
    return VecLength({a.x - b.x, a.y - b.y, a.z - b.z});
}

float VecNormalise(Vector3& v)
{
    const float len = VecLength(v);
    if (len != 0.0f) {
        v.x /= len;
        v.y /= len;
        v.z /= len;
    }
    return len;
}

void VecScaleTo65536(Vector3& v)
{
    const float len = VecLength(v);
    if (len != 0.0f) {
        v.x = v.x * 65536.0f / len;
        v.y = v.y * 65536.0f / len;
        v.z = v.z * 65536.0f / len;
    }
}

void VecCross(const Vector3& a, const Vector3& b, Vector3& out)
{
    const Vector3 r{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    out = r;
}

float VecDot(const Vector3& a, const Vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

float VecFastLength2(float x, float y)
{
    const float a = std::fabs(x);
    const float b = std::fabs(y);
    return a > b ? a + kFastMinorWeight * b : b + kFastMinorWeight * a;
}

namespace {
// Only the largest value moves to the front: a < b swaps a and b, then a < c
// swaps a and c, so the one weighed 0.34375 is the smaller of the first two
// and the one weighed 0.25 whatever the second swap leaves. Written as
// min/max with the same comparisons, without branches.
template <typename T>
float FastLength3(T x, T y, T z)
{
    const T a = std::fabs(x), b = std::fabs(y), c = std::fabs(z);
    const T first = std::max(a, b), second = std::min(b, a);
    const T largest = std::max(first, c), last = std::min(c, first);
    return static_cast<float>(largest + static_cast<T>(kFastMinorWeight) * second +
                              static_cast<T>(kFastLeastWeight) * last);
}
} // namespace

float VecFastLength(const Vector3& v) { return FastLength3(v.x, v.y, v.z); }

float VecFastLengthD(const Vector3d& v) { return FastLength3(v.x, v.y, v.z); }

Vector3& VecRotX(Vector3& dst, float degrees, const Vector3& src)
{
    const SinCos a = VectorAngle(degrees);
    const float c = static_cast<float>(a.c), s = static_cast<float>(a.s);
    const Vector3 v = src;
    dst = {v.x, v.y * c - v.z * s, v.z * c + v.y * s};
    return dst;
}

Vector3& VecRotY(Vector3& dst, float degrees, const Vector3& src)
{
    const SinCos a = VectorAngle(degrees);
    const float c = static_cast<float>(a.c), s = static_cast<float>(a.s);
    const Vector3 v = src;
    dst = {v.x * c + v.z * s, v.y, v.z * c - v.x * s};
    return dst;
}

Vector3& VecRotZ(Vector3& dst, float degrees, const Vector3& src)
{
    const SinCos a = VectorAngle(degrees);
    const float c = static_cast<float>(a.c), s = static_cast<float>(a.s);
    const Vector3 v = src;
    dst = {v.x * c + v.y * s, v.y * c - v.x * s, v.z};
    return dst;
}

// ---- Matrices --------------------------------------------------------------

Matrix4& MatIdentity(Matrix4& m)
{
    m = Matrix4{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    return m;
}

Matrix4& MatIdentity3(Matrix4& m)
{
    SetRotation(m, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    return m;
}

Matrix4& MatCopy(Matrix4& dst, const Matrix4& src)
{
    std::memmove(dst.m, src.m, sizeof dst.m);
    return dst;
}

void MatMul(Matrix4& a, const Matrix4& b) { a = Product(a, b); }

void MatPreMul(Matrix4& a, const Matrix4& b) { a = Product(b, a); }

void MatPreMulRotation(Matrix4& a, const Matrix4& b)
{
    float r[9];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r[i * 3 + j] = b.m[i * 4 + 0] * a.m[0 * 4 + j] + b.m[i * 4 + 1] * a.m[1 * 4 + j] +
                           b.m[i * 4 + 2] * a.m[2 * 4 + j];
        }
    }
    SetRotation(a, r);
}

Matrix4& MatTransposeRotation(Matrix4& dst, const Matrix4& src)
{
    const Matrix4 s = src;
    dst = s;
    std::swap(dst.m[1], dst.m[4]);
    std::swap(dst.m[2], dst.m[8]);
    std::swap(dst.m[6], dst.m[9]);
    dst.m[12] = -s.m[12];
    dst.m[13] = -s.m[13];
    dst.m[14] = -s.m[14];
    return dst;
}

void MatSetRotX(float degrees, Matrix4& m)
{
    const SinCos a = MatrixAngle(degrees);
    const float c = static_cast<float>(a.c), s = static_cast<float>(a.s);
    SetRotation(m, {1, 0, 0, 0, c, s, 0, -s, c});
}

void MatSetRotY(float degrees, Matrix4& m)
{
    const SinCos a = MatrixAngle(degrees);
    const float c = static_cast<float>(a.c), s = static_cast<float>(a.s);
    SetRotation(m, {c, 0, -s, 0, 1, 0, s, 0, c});
}

void MatSetRotZ(float degrees, Matrix4& m)
{
    const SinCos a = MatrixAngle(degrees);
    const float c = static_cast<float>(a.c), s = static_cast<float>(a.s);
    SetRotation(m, {c, -s, 0, s, c, 0, 0, 0, 1});
}

void MatRotX(float degrees, Matrix4& m) { MatPreMul(m, FullRotation(MatSetRotX, degrees)); }
void MatRotY(float degrees, Matrix4& m) { MatPreMul(m, FullRotation(MatSetRotY, degrees)); }
void MatRotZ(float degrees, Matrix4& m) { MatPreMul(m, FullRotation(MatSetRotZ, degrees)); }

void MatSetScale(float percent, Matrix4& m)
{
    MatIdentity(m);
    const float s = percent / 100.0f;
    m.m[0] = m.m[5] = m.m[10] = s;
}

void MatScale(float percent, Matrix4& m)
{
    const float s = percent / 100.0f;
    ScaleColumns(m, s, s, s);
}

void MatScaleX(float percent, Matrix4& m) { ScaleColumns(m, percent / 100.0f, 1.0f, 1.0f); }
void MatScaleY(float percent, Matrix4& m) { ScaleColumns(m, 1.0f, percent / 100.0f, 1.0f); }
void MatScaleZ(float percent, Matrix4& m) { ScaleColumns(m, 1.0f, 1.0f, percent / 100.0f); }

void MatTranslate(float x, float y, float z, Matrix4& m)
{
    m.m[12] += x;
    m.m[13] += y;
    m.m[14] += z;
}

void MatFrustum(float l, float r, float b, float t, float n, float f, Matrix4& m)
{
    m = Matrix4{};
    m.m[0] = 2.0f * n / (r - l);
    m.m[5] = 2.0f * n / (t - b);
    m.m[8] = (r + l) / (r - l);
    m.m[9] = (t + b) / (t - b);
    m.m[10] = -(f + n) / (f - n);
    m.m[11] = -1.0f;
    m.m[14] = -(2.0f * f * n) / (f - n);
}

Matrix4& MatLookDir(const Vector3& forward, const Vector3* up, Matrix4& m)
{
    Vector3 n = up ? Vector3{-up->x, -up->y, -up->z} : Vector3{0.0f, -1.0f, 0.0f};
    Vector3 z = forward;
    VecNormalise(z);
    Vector3 x;
    VecCross(z, n, x);
    if (VecNormalise(x) == 0.0f && (z.x != 0.0f || z.y != 0.0f || z.z != 0.0f)) {
        // Looking straight along up: any side axis will do, so take the one
        // made with the world axis least aligned with the view.
        const float ax = std::fabs(z.x), ay = std::fabs(z.y), az = std::fabs(z.z);
        n = ax <= ay && ax <= az ? Vector3{-1, 0, 0} : ay <= az ? Vector3{0, -1, 0}
                                                                : Vector3{0, 0, -1};
        VecCross(z, n, x);
        VecNormalise(x);
    }
    Vector3 y;
    VecCross(z, x, y);
    SetRow(m, 0, x);
    SetRow(m, 1, y);
    SetRow(m, 2, z);
    m.m[15] = 1.0f;
    return m;
}

float MatOrientationMatch(const Matrix4& a, const Matrix4& b)
{
    const float sum = VecDot(Row(a, 0), Row(b, 0)) + VecDot(Row(a, 1), Row(b, 1)) +
                      VecDot(Row(a, 2), Row(b, 2));
    return (sum + 3.0f) / 6.0f;
}

void MatRotationToArray9(const Matrix4& m, float* out)
{
    if (!out) return;
    static constexpr int kOrder[9] = {0, 4, 8, 1, 5, 9, 2, 6, 10};
    for (int i = 0; i < 9; ++i) out[i] = m.m[kOrder[i]];
}

// ---- Vectors through matrices ----------------------------------------------

void VecTransformPointW(const Matrix4& m, const Vector3& in, Vector3& out)
{
    const float x = in.x * m.m[0] + in.y * m.m[4] + in.z * m.m[8] + m.m[12];
    const float y = in.x * m.m[1] + in.y * m.m[5] + in.z * m.m[9] + m.m[13];
    const float z = in.x * m.m[2] + in.y * m.m[6] + in.z * m.m[10] + m.m[14];
    out = {x / m.m[15], y / m.m[15], z / m.m[15]};
}

void MatRotateVec(const Matrix4& m, const Vector3& in, Vector3& out) { VecMulMat3(out, in, m); }

Vector3& VecMulMat3(Vector3& dst, const Vector3& src, const Matrix4& m)
{
    const Vector3 v = src;
    dst = {v.x * m.m[0] + v.y * m.m[4] + v.z * m.m[8], v.x * m.m[1] + v.y * m.m[5] + v.z * m.m[9],
           v.x * m.m[2] + v.y * m.m[6] + v.z * m.m[10]};
    return dst;
}

Vector3& VecMulMat3T(Vector3& dst, const Vector3& src, const Matrix4& m)
{
    const Vector3 v = src;
    dst = {VecDot(v, Row(m, 0)), VecDot(v, Row(m, 1)), VecDot(v, Row(m, 2))};
    return dst;
}

// ---- Half-degree sine/cosine tables -----------------------------------------

void BuildSinCosTables()
{
    for (int i = 0; i < kSinCosTableSize; ++i) {
        const float r = static_cast<float>(i) * 0.5f * kDegToRad;
        g_sinTable[i] = static_cast<float>(std::sin(static_cast<double>(r)));
        g_cosTable[i] = static_cast<float>(std::cos(static_cast<double>(r)));
    }
    g_sinCosReady = 255;
}

unsigned char SinCosTablesReady() { return g_sinCosReady; }

float TableSin(float degrees)
{
    if (!g_sinCosReady) BuildSinCosTables();
    return g_sinTable[SinCosIndex(degrees)];
}

float TableCos(float degrees)
{
    if (!g_sinCosReady) BuildSinCosTables();
    return g_cosTable[SinCosIndex(degrees)];
}
