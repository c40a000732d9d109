// The game's vector and matrix maths on single-precision floats.
//
// Points and directions are row vectors multiplied on the left (p' = p x M);
// rows 0 to 2 of a Matrix4 are the local X, Y, Z axes and elements 12 to 14
// the translation. Angles are degrees. The 3D framework has its own maths;
// the two are never mixed.
//
// Every routine is a plain function on caller-owned records: none allocates,
// none fails. The only state is the half-degree sine/cosine table pair.
#pragma once

struct Vector3 {
    float x, y, z;
};

struct Matrix4 {
    float m[16];
};

// A position held in double precision (world positions of objects).
struct Vector3d {
    double x, y, z;
};

// ---- Vectors ---------------------------------------------------------------

float VecLength(const Vector3& v);
float VecDistance(const Vector3& a, const Vector3& b);
// Makes v unit length and returns its old length; a zero vector stays zero.
float VecNormalise(Vector3& v);
// Scales v to length 65536; a zero vector stays zero.
void VecScaleTo65536(Vector3& v);
// out = a x b; out may be a or b.
void VecCross(const Vector3& a, const Vector3& b, Vector3& out);
float VecDot(const Vector3& a, const Vector3& b);

// Fast length estimates: largest component plus fixed fractions of the others.
float VecFastLength2(float x, float y);
float VecFastLength(const Vector3& v);
float VecFastLengthD(const Vector3d& v);

// Rotations of src by degrees about one axis into dst (dst may be src).
Vector3& VecRotX(Vector3& dst, float degrees, const Vector3& src);
Vector3& VecRotY(Vector3& dst, float degrees, const Vector3& src);
Vector3& VecRotZ(Vector3& dst, float degrees, const Vector3& src);

// ---- Matrices --------------------------------------------------------------

Matrix4& MatIdentity(Matrix4& m);
// Sets only the 3x3 rotation part to identity.
Matrix4& MatIdentity3(Matrix4& m);
Matrix4& MatCopy(Matrix4& dst, const Matrix4& src);
// a = a x b (a and b may be the same record).
void MatMul(Matrix4& a, const Matrix4& b);
// a = b x a.
void MatPreMul(Matrix4& a, const Matrix4& b);
// 3x3 part of a = b(3x3) x a(3x3); the rest of a untouched.
void MatPreMulRotation(Matrix4& a, const Matrix4& b);
// Transposes the 3x3 part and negates (does not rotate) the translation:
// the inverse of a pure rotation. dst may be src.
Matrix4& MatTransposeRotation(Matrix4& dst, const Matrix4& src);

// Write only the 3x3 part with a rotation about one axis.
void MatSetRotX(float degrees, Matrix4& m);
void MatSetRotY(float degrees, Matrix4& m);
void MatSetRotZ(float degrees, Matrix4& m);
// m = R x m: rotate about m's own local axis.
void MatRotX(float degrees, Matrix4& m);
void MatRotY(float degrees, Matrix4& m);
void MatRotZ(float degrees, Matrix4& m);

// Scales in percent (100 = unchanged).
void MatSetScale(float percent, Matrix4& m);
void MatScale(float percent, Matrix4& m);
void MatScaleX(float percent, Matrix4& m);
void MatScaleY(float percent, Matrix4& m);
void MatScaleZ(float percent, Matrix4& m);
void MatTranslate(float x, float y, float z, Matrix4& m);

// Perspective projection in row-vector form.
void MatFrustum(float left, float right, float bottom, float top, float near, float far,
                Matrix4& m);
// Orientation looking along forward with up (null: world +Y) roughly up;
// the translation is left as it was.
Matrix4& MatLookDir(const Vector3& forward, const Vector3* up, Matrix4& m);
// 1 when a and b have the same orientation, 0 when opposite.
float MatOrientationMatch(const Matrix4& a, const Matrix4& b);
// Transpose of the 3x3 part into nine floats; nothing when out is null.
void MatRotationToArray9(const Matrix4& m, float* out);

// ---- Vectors through matrices ----------------------------------------------

// Full point transform, divided by element 15.
void VecTransformPointW(const Matrix4& m, const Vector3& in, Vector3& out);
// out = in x m(3x3), no translation (local direction into world axes).
void MatRotateVec(const Matrix4& m, const Vector3& in, Vector3& out);
Vector3& VecMulMat3(Vector3& dst, const Vector3& src, const Matrix4& m);
// dst = src x transpose(m(3x3)) (world direction into m's local axes).
Vector3& VecMulMat3T(Vector3& dst, const Vector3& src, const Matrix4& m);

// ---- Half-degree sine/cosine tables -----------------------------------------

inline constexpr int kSinCosTableSize = 720; // entries, one per half degree

void BuildSinCosTables();
// 255 once the tables are built, 0 before.
unsigned char SinCosTablesReady();
// Table lookups at the nearest half degree; build the tables on first use.
float TableSin(float degrees);
float TableCos(float degrees);
