// Actor transforms: the seven forms of the hx_transform record (general and
// length-preserving matrix, quaternion, Euler angles, look and up,
// translation, identity), their conversion to and from 3x4 matrices and to
// each other, and matrices multiplied by a transform. A type value beyond
// the seven reads as the identity and is never written.
#include "framework/hx_math.h"
#include "framework/hx_math_internal.h"

#include <cstddef>
#include <cstring>

using namespace hxmath;

namespace {

// Every form keeps its translation in the last three scalars of the body,
// so it is read and written there whatever the form.
constexpr size_t kTranslationAt = offsetof(hx_transform_translation, t);
static_assert(offsetof(hx_transform_quat, t) == kTranslationAt &&
              offsetof(hx_transform_euler, t) == kTranslationAt &&
              offsetof(hx_transform_look_up, t) == kTranslationAt &&
              kTranslationAt == 3 * sizeof(hx_scalar) * 3);

hx_vector3 Translation(const hx_transform& x)
{
    hx_vector3 t;
    std::memcpy(&t, reinterpret_cast<const unsigned char*>(&x.t) + kTranslationAt, sizeof t);
    return t;
}

void SetTranslation(hx_transform& x, const hx_vector3& t)
{
    std::memcpy(reinterpret_cast<unsigned char*>(&x.t) + kTranslationAt, &t, sizeof t);
}

void SetRow(hx_matrix34& m, int r, double x, double y, double z)
{
    m.m[r][0] = static_cast<float>(x);
    m.m[r][1] = static_cast<float>(y);
    m.m[r][2] = static_cast<float>(z);
}

// Row 2 looks back along look; row 0 is up x row 2; row 1 completes the frame.
void LookUpToMatrix(hx_matrix34& m, const hx_transform_look_up& lu)
{
    double zx = -static_cast<double>(lu.look.x), zy = -static_cast<double>(lu.look.y),
           zz = -static_cast<double>(lu.look.z);
    NormaliseOrX(zx, zy, zz, kEps22);
    const double ux = lu.up.x, uy = lu.up.y, uz = lu.up.z;
    double xx = uy * zz - uz * zy, xy = uz * zx - ux * zz, xz = ux * zy - uy * zx;
    NormaliseOrX(xx, xy, xz, kEps22);
    SetRow(m, 0, xx, xy, xz);
    SetRow(m, 1, zy * xz - zz * xy, zz * xx - zx * xz, zx * xy - zy * xx);
    SetRow(m, 2, zx, zy, zz);
}

} // namespace

hx_matrix34* HxTransformToMatrix34(hx_matrix34* dst, const hx_transform* xform)
{
    const hx_transform x = *xform;
    switch (x.type) {
    case HX_TRANSFORM_MATRIX:
    case HX_TRANSFORM_MATRIX_LP:
        *dst = x.t.mat;
        return dst;
    case HX_TRANSFORM_QUAT:
        HxQuatToMatrix34(dst, &x.t.quat.q);
        break;
    case HX_TRANSFORM_EULER:
        HxEulerToMatrix34(dst, &x.t.euler.e);
        break;
    case HX_TRANSFORM_LOOK_UP:
        LookUpToMatrix(*dst, x.t.look_up);
        break;
    case HX_TRANSFORM_TRANSLATE:
        HxMatrix34Identity(dst);
        break;
    default:
        return HxMatrix34Identity(dst);
    }
    const hx_vector3 t = Translation(x);
    SetRow(*dst, 3, t.x, t.y, t.z);
    return dst;
}

hx_transform* HxMatrix34ToTransform(hx_transform* xform, const hx_matrix34* src)
{
    const hx_matrix34 m = *src;
    switch (xform->type) {
    case HX_TRANSFORM_MATRIX:
        xform->t.mat = m;
        return xform;
    case HX_TRANSFORM_MATRIX_LP:
        HxMatrix34LPNormalise(&xform->t.mat, &m);
        return xform;
    case HX_TRANSFORM_QUAT:
        HxMatrix34ToQuat(&xform->t.quat.q, &m);
        break;
    case HX_TRANSFORM_EULER:
        HxMatrix34ToEuler(&xform->t.euler.e, &m);
        break;
    case HX_TRANSFORM_LOOK_UP: {
        hx_transform_look_up& lu = xform->t.look_up;
        lu.look = {-m.m[2][0], -m.m[2][1], -m.m[2][2]};
        if (lu.up.x == 0 && lu.up.y == 0 && lu.up.z == 0) lu.up = {0, 1, 0};
        break;
    }
    case HX_TRANSFORM_TRANSLATE:
        break;
    default:
        return xform;
    }
    SetTranslation(*xform, {m.m[3][0], m.m[3][1], m.m[3][2]});
    return xform;
}

hx_transform* HxTransformToTransform(hx_transform* dst, const hx_transform* src)
{
    if (dst->type == src->type) {
        *dst = *src;
        return dst;
    }
    hx_matrix34 m;
    HxTransformToMatrix34(&m, src);
    if (dst->type >= HX_TRANSFORM_QUAT) return HxMatrix34ToTransform(dst, &m);
    // A matrix destination: orthonormalised only when the source's matrix
    // may be general; the other forms are rigid already.
    if (src->type == HX_TRANSFORM_MATRIX) HxMatrix34LPNormalise(&m, &m);
    dst->t.mat = m;
    return dst;
}

hx_matrix34* HxMatrix34PreTransform(hx_matrix34* m, const hx_transform* xform)
{
    if (xform->type == HX_TRANSFORM_IDENTITY) return m;
    hx_matrix34 t;
    return HxMatrix34Pre(m, HxTransformToMatrix34(&t, xform));
}

hx_matrix34* HxMatrix34PostTransform(hx_matrix34* m, const hx_transform* xform)
{
    if (xform->type == HX_TRANSFORM_IDENTITY) return m;
    hx_matrix34 t;
    return HxMatrix34Post(m, HxTransformToMatrix34(&t, xform));
}

hx_matrix4* HxMatrix4PreTransform(hx_matrix4* m, const hx_transform* xform)
{
    if (xform->type == HX_TRANSFORM_IDENTITY) return m;
    hx_matrix34 t;
    return HxMatrix4Pre34(m, HxTransformToMatrix34(&t, xform));
}
