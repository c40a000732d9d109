// Hexmire's maths: floating-point vectors, 3x4, 4x4 and 2D matrices, planes,
// 16.16 fixed-point arithmetic, Euler angles in 24 orders, quaternions and
// the seven forms of an actor's transform.
//
// Conventions: points are row vectors multiplied on the left, so a product
// A x B applies A first; row 3 of a 3x4 matrix (row 2 of a 2D matrix) is the
// translation. Angles are `hx_angle`, 65536 units to a full turn. Every
// operation takes its destination first and returns it. The maths depends on
// nothing else of the framework; the game has its own separate maths.
#pragma once

#include <cmath>
#include <cstdint>

using hx_scalar = float;
using hx_angle = uint16_t;   // 65536 units to a full turn
using hx_fixed = int32_t;    // signed 16.16 fixed point, 1.0 = 65536
using hx_fraction = int16_t; // signed 1.15 fraction, 32767 the largest

inline constexpr hx_fixed HX_FIXED_ONE = 65536;

struct hx_vector2 {
    hx_scalar x, y;
};
struct hx_vector3 {
    hx_scalar x, y, z;
};
struct hx_vector4 {
    hx_scalar x, y, z, w;
};

// Unit normal (x, y, z) and d = normal . point for the points on the plane.
struct hx_plane {
    hx_scalar x, y, z, d;
};

// An axis-aligned box.
struct hx_bounds3 {
    hx_vector3 min, max;
};

// Rows 0-2 the linear part, row 3 the translation.
struct hx_matrix34 {
    hx_scalar m[4][3];
};
struct hx_matrix4 {
    hx_scalar m[4][4];
};
// Rows 0-1 the linear part, row 2 the translation.
struct hx_matrix23 {
    hx_scalar m[3][2];
};

struct hx_quat {
    hx_scalar x, y, z, w; // w the real part
};

// Euler order bits: the first axis (0 X, 1 Y, 2 Z) in bits 0-1, then odd
// parity, repetition of the first axis as the third, and rotating frame.
inline constexpr uint8_t HX_EULER_PARITY_ODD = 4;
inline constexpr uint8_t HX_EULER_REPEAT = 8;
inline constexpr uint8_t HX_EULER_FRAME_ROTATING = 16;

inline constexpr uint8_t HX_EULER_XYZ_S = 0, HX_EULER_XYX_S = 8, HX_EULER_XZY_S = 4,
                         HX_EULER_XZX_S = 12, HX_EULER_YZX_S = 1, HX_EULER_YZY_S = 9,
                         HX_EULER_YXZ_S = 5, HX_EULER_YXY_S = 13, HX_EULER_ZXY_S = 2,
                         HX_EULER_ZXZ_S = 10, HX_EULER_ZYX_S = 6, HX_EULER_ZYZ_S = 14;
inline constexpr uint8_t HX_EULER_ZYX_R = 16, HX_EULER_XYX_R = 24, HX_EULER_YZX_R = 20,
                         HX_EULER_XZX_R = 28, HX_EULER_XZY_R = 17, HX_EULER_YZY_R = 25,
                         HX_EULER_ZXY_R = 21, HX_EULER_YXY_R = 29, HX_EULER_YXZ_R = 18,
                         HX_EULER_ZXZ_R = 26, HX_EULER_XYZ_R = 22, HX_EULER_ZYZ_R = 30;

struct hx_euler_order_name {
    const char* name;
    uint8_t order;
};
// The 24 named orders, for readers and writers of text that names them.
extern const hx_euler_order_name HxEulerOrderNames[24];

struct hx_euler {
    hx_angle a, b, c;
    uint8_t order;
};

// ---- Transforms ---------------------------------------------------------------
//
// A u16 type and a 48-byte body whose last three scalars are always the
// translation, in the place of row 3 of a matrix.

inline constexpr uint16_t HX_TRANSFORM_MATRIX = 0;    // general 3x4 matrix
inline constexpr uint16_t HX_TRANSFORM_MATRIX_LP = 1; // length-preserving: orthonormal linear part
inline constexpr uint16_t HX_TRANSFORM_QUAT = 2;
inline constexpr uint16_t HX_TRANSFORM_EULER = 3;
inline constexpr uint16_t HX_TRANSFORM_LOOK_UP = 4;
inline constexpr uint16_t HX_TRANSFORM_TRANSLATE = 5;
inline constexpr uint16_t HX_TRANSFORM_IDENTITY = 6;
inline constexpr uint16_t HX_TRANSFORM_TYPE_COUNT = 7;

using hx_transform_matrix34 = hx_matrix34;
struct hx_transform_quat {
    hx_quat q;
    hx_scalar unused[5];
    hx_vector3 t;
};
struct hx_transform_euler {
    hx_euler e;
    hx_scalar unused[7];
    hx_vector3 t;
};
struct hx_transform_look_up {
    hx_vector3 look;
    hx_vector3 up;
    hx_scalar unused[3];
    hx_vector3 t;
};
struct hx_transform_translation {
    hx_scalar unused[9];
    hx_vector3 t;
};

struct hx_transform {
    uint16_t type;
    union {
        hx_transform_matrix34 mat;
        hx_transform_quat quat;
        hx_transform_euler euler;
        hx_transform_look_up look_up;
        hx_transform_translation translate;
    } t;
};
static_assert(sizeof(hx_euler) == 8);
static_assert(sizeof(hx_transform_quat) == 48 && sizeof(hx_transform_euler) == 48 &&
              sizeof(hx_transform_look_up) == 48 && sizeof(hx_transform_translation) == 48 &&
              sizeof(hx_transform_matrix34) == 48);

// ---- 3x4 matrices -------------------------------------------------------------

hx_matrix34* HxMatrix34Copy(hx_matrix34* dst, const hx_matrix34* src);
hx_matrix34* HxMatrix34Mul(hx_matrix34* dst, const hx_matrix34* a, const hx_matrix34* b);
hx_matrix34* HxMatrix34Identity(hx_matrix34* dst);
hx_matrix34* HxMatrix34RotateX(hx_matrix34* dst, hx_angle angle);
hx_matrix34* HxMatrix34RotateY(hx_matrix34* dst, hx_angle angle);
hx_matrix34* HxMatrix34RotateZ(hx_matrix34* dst, hx_angle angle);
// Rotation about a unit axis.
hx_matrix34* HxMatrix34Rotate(hx_matrix34* dst, hx_angle angle, hx_scalar x, hx_scalar y,
                              hx_scalar z);
hx_matrix34* HxMatrix34Translate(hx_matrix34* dst, hx_scalar x, hx_scalar y, hx_scalar z);
hx_matrix34* HxMatrix34Scale(hx_matrix34* dst, hx_scalar sx, hx_scalar sy, hx_scalar sz);
hx_matrix34* HxMatrix34ShearX(hx_matrix34* dst, hx_scalar sy, hx_scalar sz);
hx_matrix34* HxMatrix34ShearY(hx_matrix34* dst, hx_scalar sx, hx_scalar sz);
hx_matrix34* HxMatrix34ShearZ(hx_matrix34* dst, hx_scalar sx, hx_scalar sy);
// Returns the determinant, or 0 with dst untouched when src is singular.
hx_scalar HxMatrix34Inverse(hx_matrix34* dst, const hx_matrix34* src);
// Inverse of a matrix whose linear part is orthonormal.
hx_matrix34* HxMatrix34LPInverse(hx_matrix34* dst, const hx_matrix34* src);
// Orthonormalised copy keeping the direction of row 2, row 1 the up hint.
hx_matrix34* HxMatrix34LPNormalise(hx_matrix34* dst, const hx_matrix34* src);
// Rotation for a drag of (dx, dy) on a ball of the given radius.
hx_matrix34* HxMatrix34RollingBall(hx_matrix34* dst, int dx, int dy, int radius);
// Maps the cube [-1, 1]^3 onto the box.
hx_matrix34* HxBoundsToMatrix34(hx_matrix34* dst, const hx_bounds3* bounds);
hx_matrix34* HxMatrix34Copy4(hx_matrix34* dst, const hx_matrix4* src);

// In place: Pre gives m = F x m, Post gives m = m x F.
hx_matrix34* HxMatrix34Pre(hx_matrix34* m, const hx_matrix34* a);
hx_matrix34* HxMatrix34Post(hx_matrix34* m, const hx_matrix34* a);
hx_matrix34* HxMatrix34PreRotateX(hx_matrix34* m, hx_angle angle);
hx_matrix34* HxMatrix34PostRotateX(hx_matrix34* m, hx_angle angle);
hx_matrix34* HxMatrix34PreRotateY(hx_matrix34* m, hx_angle angle);
hx_matrix34* HxMatrix34PostRotateY(hx_matrix34* m, hx_angle angle);
hx_matrix34* HxMatrix34PreRotateZ(hx_matrix34* m, hx_angle angle);
hx_matrix34* HxMatrix34PostRotateZ(hx_matrix34* m, hx_angle angle);
hx_matrix34* HxMatrix34PreRotate(hx_matrix34* m, hx_angle angle, hx_scalar x, hx_scalar y,
                                 hx_scalar z);
hx_matrix34* HxMatrix34PostRotate(hx_matrix34* m, hx_angle angle, hx_scalar x, hx_scalar y,
                                  hx_scalar z);
hx_matrix34* HxMatrix34PreTranslate(hx_matrix34* m, hx_scalar x, hx_scalar y, hx_scalar z);
hx_matrix34* HxMatrix34PostTranslate(hx_matrix34* m, hx_scalar x, hx_scalar y, hx_scalar z);
hx_matrix34* HxMatrix34PreScale(hx_matrix34* m, hx_scalar sx, hx_scalar sy, hx_scalar sz);
hx_matrix34* HxMatrix34PostScale(hx_matrix34* m, hx_scalar sx, hx_scalar sy, hx_scalar sz);
hx_matrix34* HxMatrix34PreShearX(hx_matrix34* m, hx_scalar sy, hx_scalar sz);
hx_matrix34* HxMatrix34PostShearX(hx_matrix34* m, hx_scalar sy, hx_scalar sz);
hx_matrix34* HxMatrix34PreShearY(hx_matrix34* m, hx_scalar sx, hx_scalar sz);
hx_matrix34* HxMatrix34PostShearY(hx_matrix34* m, hx_scalar sx, hx_scalar sz);
hx_matrix34* HxMatrix34PreShearZ(hx_matrix34* m, hx_scalar sx, hx_scalar sy);
hx_matrix34* HxMatrix34PostShearZ(hx_matrix34* m, hx_scalar sx, hx_scalar sy);

// Vectors through 3x4 matrices.
hx_vector3* HxMatrix34ApplyP(hx_vector3* dst, const hx_vector3* p, const hx_matrix34* m);
hx_vector3* HxMatrix34ApplyV(hx_vector3* dst, const hx_vector3* v, const hx_matrix34* m);
hx_vector3* HxMatrix34ApplyHV(hx_vector3* dst, const hx_vector4* v, const hx_matrix34* m);
// The three transposed forms are the same: the transpose of the linear part.
hx_vector3* HxMatrix34TApplyP(hx_vector3* dst, const hx_vector3* p, const hx_matrix34* m);
hx_vector3* HxMatrix34TApplyV(hx_vector3* dst, const hx_vector3* v, const hx_matrix34* m);
hx_vector3* HxMatrix34TApplyN(hx_vector3* dst, const hx_vector3* n, const hx_matrix34* m);
hx_vector4* HxMatrix34TApplyPlane(hx_vector4* dst, const hx_vector4* plane, const hx_matrix34* m);

// ---- 4x4 matrices -------------------------------------------------------------

hx_matrix4* HxMatrix4Copy(hx_matrix4* dst, const hx_matrix4* src);
hx_matrix4* HxMatrix4Mul(hx_matrix4* dst, const hx_matrix4* a, const hx_matrix4* b);
hx_matrix4* HxMatrix4Identity(hx_matrix4* dst);
hx_matrix4* HxMatrix4Scale(hx_matrix4* dst, hx_scalar sx, hx_scalar sy, hx_scalar sz);
hx_matrix4* HxMatrix4ShearZ(hx_matrix4* dst, hx_scalar sx, hx_scalar sy);
// Returns the determinant, or 0 when singular (dst then holds the adjoint).
hx_scalar HxMatrix4Inverse(hx_matrix4* dst, const hx_matrix4* src);
hx_scalar HxMatrix4Determinant(const hx_matrix4* m);
hx_matrix4* HxMatrix4Adjoint(hx_matrix4* dst, const hx_matrix4* m);
hx_matrix4* HxMatrix4Perspective(hx_matrix4* dst, hx_angle fieldOfView, hx_scalar aspect,
                                 hx_scalar hither, hx_scalar yon);
hx_vector4* HxMatrix4Apply(hx_vector4* dst, const hx_vector4* v, const hx_matrix4* m);
hx_vector4* HxMatrix4ApplyP(hx_vector4* dst, const hx_vector3* p, const hx_matrix4* m);
hx_vector4* HxMatrix4ApplyV(hx_vector4* dst, const hx_vector3* v, const hx_matrix4* m);
// Column forms: m x v.
hx_vector4* HxMatrix4TApply(hx_vector4* dst, const hx_vector4* v, const hx_matrix4* m);
hx_vector4* HxMatrix4TApplyP(hx_vector4* dst, const hx_vector3* p, const hx_matrix4* m);
hx_vector4* HxMatrix4TApplyV(hx_vector4* dst, const hx_vector3* v, const hx_matrix4* m);
// A 3x4 matrix promoted to 4x4 has fourth column (0, 0, 0, 1).
hx_matrix4* HxMatrix4Copy34(hx_matrix4* dst, const hx_matrix34* src);
hx_matrix4* HxMatrix4Mul34(hx_matrix4* dst, const hx_matrix34* a, const hx_matrix4* b);
hx_matrix4* HxMatrix4Pre34(hx_matrix4* m, const hx_matrix34* a);

// Plane through three points; returns 1 (and the plane z = p1.z) when they
// are collinear, else 0.
int HxPlaneEquation(hx_plane* dst, const hx_vector3* p1, const hx_vector3* p2,
                    const hx_vector3* p3);

// ---- 2D matrices --------------------------------------------------------------

hx_matrix23* HxMatrix23Copy(hx_matrix23* dst, const hx_matrix23* src);
hx_matrix23* HxMatrix23Mul(hx_matrix23* dst, const hx_matrix23* a, const hx_matrix23* b);
hx_matrix23* HxMatrix23Identity(hx_matrix23* dst);
hx_matrix23* HxMatrix23Rotate(hx_matrix23* dst, hx_angle angle);
hx_matrix23* HxMatrix23Translate(hx_matrix23* dst, hx_scalar x, hx_scalar y);
hx_matrix23* HxMatrix23Scale(hx_matrix23* dst, hx_scalar sx, hx_scalar sy);
hx_matrix23* HxMatrix23ShearX(hx_matrix23* dst, hx_scalar sy);
hx_matrix23* HxMatrix23ShearY(hx_matrix23* dst, hx_scalar sx);
// Returns the determinant, or 0 with dst untouched when src is singular.
hx_scalar HxMatrix23Inverse(hx_matrix23* dst, const hx_matrix23* src);
// Inverse of a matrix of determinant 1.
hx_matrix23* HxMatrix23LPInverse(hx_matrix23* dst, const hx_matrix23* src);
hx_matrix23* HxMatrix23LPNormalise(hx_matrix23* dst, const hx_matrix23* src);
hx_vector2* HxMatrix23ApplyP(hx_vector2* dst, const hx_vector2* p, const hx_matrix23* m);
hx_vector2* HxMatrix23ApplyV(hx_vector2* dst, const hx_vector2* v, const hx_matrix23* m);
hx_vector2* HxMatrix23TApplyP(hx_vector2* dst, const hx_vector2* p, const hx_matrix23* m);
hx_vector2* HxMatrix23TApplyV(hx_vector2* dst, const hx_vector2* v, const hx_matrix23* m);
hx_matrix23* HxMatrix23Pre(hx_matrix23* m, const hx_matrix23* a);
hx_matrix23* HxMatrix23Post(hx_matrix23* m, const hx_matrix23* a);
hx_matrix23* HxMatrix23PreRotate(hx_matrix23* m, hx_angle angle);
hx_matrix23* HxMatrix23PostRotate(hx_matrix23* m, hx_angle angle);
hx_matrix23* HxMatrix23PreTranslate(hx_matrix23* m, hx_scalar x, hx_scalar y);
hx_matrix23* HxMatrix23PostTranslate(hx_matrix23* m, hx_scalar x, hx_scalar y);
hx_matrix23* HxMatrix23PreScale(hx_matrix23* m, hx_scalar sx, hx_scalar sy);
hx_matrix23* HxMatrix23PostScale(hx_matrix23* m, hx_scalar sx, hx_scalar sy);
hx_matrix23* HxMatrix23PreShearX(hx_matrix23* m, hx_scalar sy);
hx_matrix23* HxMatrix23PostShearX(hx_matrix23* m, hx_scalar sy);
hx_matrix23* HxMatrix23PreShearY(hx_matrix23* m, hx_scalar sx);
hx_matrix23* HxMatrix23PostShearY(hx_matrix23* m, hx_scalar sx);

// ---- 16.16 fixed point --------------------------------------------------------
//
// Products are formed in 64 bits and shifted right arithmetically (rounding
// towards minus infinity). Divisions truncate towards zero; a zero divisor or
// a quotient too large for 32 bits saturates instead of trapping.

// Conversions to and from floating point: to a double exactly; from one
// truncated toward zero, saturated out of range, 0 for NaN.
inline constexpr double HxFixedToDouble(hx_fixed a) { return double(a) / 65536.0; }
// The nearest float (the same as float(a) / 65536.0f: the scale is exact).
inline constexpr float HxFixedToFloat(hx_fixed a) { return float(HxFixedToDouble(a)); }
// An angle in degrees, exactly.
inline constexpr double HxAngleToDegrees(hx_angle a) { return double(a) * 360.0 / 65536.0; }
inline hx_fixed HxFloatToFixedSaturate(double value)
{
    if (std::isnan(value))
        return 0;
    double scaled = std::trunc(value * 65536.0);
    if (scaled >= 2147483647.0)
        return INT32_MAX;
    if (scaled <= -2147483648.0)
        return INT32_MIN;
    return hx_fixed(scaled);
}

hx_fixed HxFixedAbs(hx_fixed a);
hx_fixed HxFixedMul(hx_fixed a, hx_fixed b);
hx_fixed HxFixedMac2(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d);
hx_fixed HxFixedMac3(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f);
hx_fixed HxFixedMac4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f,
                     hx_fixed g, hx_fixed h);
hx_fixed HxFixedSqr(hx_fixed a);
hx_fixed HxFixedSqr2(hx_fixed a, hx_fixed b);
hx_fixed HxFixedSqr3(hx_fixed a, hx_fixed b, hx_fixed c);
hx_fixed HxFixedSqr4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d);
hx_fixed HxFixedLength2(hx_fixed a, hx_fixed b);
hx_fixed HxFixedLength3(hx_fixed a, hx_fixed b, hx_fixed c);
hx_fixed HxFixedLength4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d);
hx_fixed HxFixedRLength2(hx_fixed a, hx_fixed b);
hx_fixed HxFixedRLength3(hx_fixed a, hx_fixed b, hx_fixed c);
hx_fixed HxFixedRLength4(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d);
hx_fixed HxFixedDiv(hx_fixed a, hx_fixed b);
hx_fixed HxFixedDivR(hx_fixed a, hx_fixed b);
// a / b as a 31-bit fraction, for 0 <= a < b.
hx_fixed HxFixedDivF(hx_fixed a, hx_fixed b);
// 2^31 - 2 (a 2^30 / b) modulo 2^32, for |a| < |b|.
uint32_t HxFixedDivFComplement(hx_fixed a, hx_fixed b);
hx_fixed HxFixedMulDiv(hx_fixed a, hx_fixed b, hx_fixed c);
hx_fixed HxFixedMac2Div(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed div);
hx_fixed HxFixedMac3Div(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f,
                        hx_fixed div);
hx_fixed HxFixedMac4Div(hx_fixed a, hx_fixed b, hx_fixed c, hx_fixed d, hx_fixed e, hx_fixed f,
                        hx_fixed g, hx_fixed h, hx_fixed div);
// Sums of fractions times fixed values, shifted by 15.
hx_fixed HxFixedFMac2(hx_fraction f1, hx_fixed x1, hx_fraction f2, hx_fixed x2);
hx_fixed HxFixedFMac3(hx_fraction f1, hx_fixed x1, hx_fraction f2, hx_fixed x2, hx_fraction f3,
                      hx_fixed x3);
hx_fixed HxFixedFMac4(hx_fraction f1, hx_fixed x1, hx_fraction f2, hx_fixed x2, hx_fraction f3,
                      hx_fixed x3, hx_fraction f4, hx_fixed x4);
hx_fixed HxFixedRcp(hx_fixed a);
hx_fixed HxFixedSin(hx_angle a);
hx_fixed HxFixedCos(hx_angle a);
hx_angle HxFixedASin(hx_fixed a);
hx_angle HxFixedACos(hx_fixed a);
hx_angle HxFixedATan2(hx_fixed y, hx_fixed x);
hx_angle HxFixedATan2Fast(hx_fixed y, hx_fixed x);
uint32_t HxSqrt(uint32_t a);
uint32_t HxSqrt64(uint64_t a);
uint32_t HxFastSqrt(uint32_t a);
uint32_t HxFastRSqrt(uint32_t a);
uint32_t HxFastRSqrt64(uint64_t s);

// The module's lookup tables, read-only (see fixed.cpp for their formulas).
struct hx_fixed_tables {
    int16_t sine[322]; // 321 entries and a spare
    int16_t arcsine[257];
    int16_t arccosine[257];
    int16_t arctangent[257];
    uint16_t sqrt[192]; // for m = 64..255
    uint16_t rsqrt[192];
};
const hx_fixed_tables& HxFixedTables();

// ---- Euler angles, quaternions, transforms --------------------------------------

hx_matrix34* HxEulerToMatrix34(hx_matrix34* dst, const hx_euler* euler);
hx_matrix4* HxEulerToMatrix4(hx_matrix4* dst, const hx_euler* euler);
// The angles in euler->order, which the caller sets.
hx_euler* HxMatrix34ToEuler(hx_euler* euler, const hx_matrix34* m);
hx_euler* HxMatrix4ToEuler(hx_euler* euler, const hx_matrix4* m);
hx_quat* HxEulerToQuat(hx_quat* dst, const hx_euler* euler);
hx_euler* HxQuatToEuler(hx_euler* euler, const hx_quat* q);

hx_quat* HxQuatMul(hx_quat* dst, const hx_quat* a, const hx_quat* b);
// The zero quaternion normalises to the identity.
hx_quat* HxQuatNormalise(hx_quat* dst, const hx_quat* src);
hx_quat* HxQuatInvert(hx_quat* dst, const hx_quat* src);
// Spherical interpolation at t, with extra whole spins on the way.
hx_quat* HxQuatSlerp(hx_quat* dst, const hx_quat* q1, const hx_quat* q2, hx_scalar t,
                     int16_t spins);
hx_matrix34* HxQuatToMatrix34(hx_matrix34* dst, const hx_quat* q);
hx_matrix4* HxQuatToMatrix4(hx_matrix4* dst, const hx_quat* q);
hx_quat* HxMatrix34ToQuat(hx_quat* dst, const hx_matrix34* m);
hx_quat* HxMatrix4ToQuat(hx_quat* dst, const hx_matrix4* m);

hx_matrix34* HxTransformToMatrix34(hx_matrix34* dst, const hx_transform* xform);
// Fills the body in the record's own form (its type set by the caller).
hx_transform* HxMatrix34ToTransform(hx_transform* xform, const hx_matrix34* m);
hx_transform* HxTransformToTransform(hx_transform* dst, const hx_transform* src);
hx_matrix34* HxMatrix34PreTransform(hx_matrix34* m, const hx_transform* xform);
hx_matrix34* HxMatrix34PostTransform(hx_matrix34* m, const hx_transform* xform);
hx_matrix4* HxMatrix4PreTransform(hx_matrix4* m, const hx_transform* xform);
