// Comparison helpers for the framework maths tests.
#pragma once

#include "framework/hx_math.h"

#include <gtest/gtest.h>

#include <cmath>

inline void ExpectNear34(const hx_matrix34& a, const hx_matrix34& b, float eps)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "m[" << r << "][" << c << "]";
}

inline void ExpectNear4(const hx_matrix4& a, const hx_matrix4& b, float eps)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "m[" << r << "][" << c << "]";
}

inline void ExpectNear23(const hx_matrix23& a, const hx_matrix23& b, float eps)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "m[" << r << "][" << c << "]";
}

inline void ExpectNear3(const hx_vector3& v, float x, float y, float z, float eps)
{
    EXPECT_NEAR(v.x, x, eps);
    EXPECT_NEAR(v.y, y, eps);
    EXPECT_NEAR(v.z, z, eps);
}

inline hx_matrix34 Mul(const hx_matrix34& a, const hx_matrix34& b)
{
    hx_matrix34 r;
    return *HxMatrix34Mul(&r, &a, &b);
}

inline hx_matrix34 Identity34()
{
    hx_matrix34 r;
    return *HxMatrix34Identity(&r);
}

inline hx_matrix34 Filled34(float v)
{
    hx_matrix34 m;
    for (auto& row : m.m)
        for (float& e : row) e = v;
    return m;
}

// Irregular values in [-2, 2] (quadratic in i, so rows are not dependent).
inline float SampleValue(float seed, int i)
{
    return 2.0f * std::sin(seed * 13.1f + static_cast<float>(i * i) * 1.7f + static_cast<float>(i) * 0.3f);
}

// A general (sheared, scaled, translated) 3x4 matrix for product tests.
inline hx_matrix34 Sample34(float seed)
{
    hx_matrix34 m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) m.m[r][c] = SampleValue(seed, r * 3 + c);
    return m;
}

// True when the linear part is orthonormal with determinant +1.
inline void ExpectRotation(const hx_matrix34& m, float eps)
{
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const float dot = m.m[i][0] * m.m[j][0] + m.m[i][1] * m.m[j][1] + m.m[i][2] * m.m[j][2];
            EXPECT_NEAR(dot, i == j ? 1.0f : 0.0f, eps) << "rows " << i << ", " << j;
        }
    }
    const float det = m.m[0][0] * (m.m[1][1] * m.m[2][2] - m.m[1][2] * m.m[2][1]) -
                      m.m[0][1] * (m.m[1][0] * m.m[2][2] - m.m[1][2] * m.m[2][0]) +
                      m.m[0][2] * (m.m[1][0] * m.m[2][1] - m.m[1][1] * m.m[2][0]);
    EXPECT_NEAR(det, 1.0f, eps);
}
