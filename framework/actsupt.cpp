// Actors, cameras and lights: allocation with default type data, the tree
// operations (add, remove, relink, free, child walk, search by path), the
// matrices between actors and to the screen, camera projections, actor
// bounds, and the conversions between depth, screen Z and depth-buffer
// values.
#include <cmath>
#include <cstring>

#include "framework/diag.h"
#include "framework/list.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace {

// The type of a product of transforms: rows the accumulated type, columns
// the next one.
// clang-format off
constexpr uint8_t kCombine[7][7] = {
    {0, 0, 0, 0, 0, 0, 0}, {0, 1, 1, 1, 1, 1, 1}, {0, 1, 1, 1, 1, 2, 2}, {0, 1, 1, 1, 1, 3, 3},
    {0, 1, 1, 1, 1, 4, 4}, {0, 1, 2, 3, 4, 5, 5}, {0, 1, 2, 3, 4, 5, 6},
};
// clang-format on

constexpr float kHuge = 3.4028235e38f;

void RenumberDepths(hx_actor* a, uint16_t depth)
{
    HX_CHECK_AS(a != nullptr, "NULL pointer to an actor  : a != NULL", "actsupt", 120, );
    a->depth = depth;
    for (hx_actor* c = a->children; c; c = c->next)
        RenumberDepths(c, uint16_t(depth + 1));
}

void Unlink(hx_actor* a)
{
    if (a->prev) {
        *a->prev = a->next;
        if (a->next)
            a->next->prev = a->prev;
    }
    a->next = nullptr;
    a->prev = nullptr;
    a->parent = nullptr;
}

hx_matrix34 MatrixOf(const hx_actor* a)
{
    hx_matrix34 m;
    HxTransformToMatrix34(&m, &a->t);
    return m;
}

void Invert(hx_matrix34* out, const hx_matrix34* m, uint16_t type)
{
    if (type != HX_TRANSFORM_MATRIX)
        HxMatrix34LPInverse(out, m);
    else if (HxMatrix34Inverse(out, m) == 0)
        HxMatrix34Identity(out);
}

void* DefaultTypeData(hx_actor* a, uint8_t type)
{
    switch (type) {
    case HX_ACTOR_LIGHT: {
        auto* l = static_cast<hx_light*>(HxResAllocate(a, sizeof(hx_light), HX_RES_LIGHT));
        if (l) {
            std::memset(static_cast<void*>(l), 0, sizeof *l);
            l->type = HX_LIGHT_DIRECT;
            l->colour = 0xFFFFFF;
            l->attenuation_c = 1.0f;
            l->cone_outer = 2730;
            l->cone_inner = 1820;
        }
        return l;
    }
    case HX_ACTOR_CAMERA: {
        auto* c = static_cast<hx_camera*>(HxResAllocate(a, sizeof(hx_camera), HX_RES_CAMERA));
        if (c) {
            std::memset(static_cast<void*>(c), 0, sizeof *c);
            c->type = HX_CAMERA_PERSPECTIVE;
            c->field_of_view = 8190;
            c->hither_z = 1.0f;
            c->yon_z = 10.0f;
            c->aspect = 1.0f;
        }
        return c;
    }
    case HX_ACTOR_BOUNDS:
    case HX_ACTOR_BOUNDS_CORRECT: {
        auto* b = static_cast<hx_bounds3*>(HxResAllocate(a, sizeof(hx_bounds3), HX_RES_BOUNDS));
        if (b)
            *b = {};
        return b;
    }
    case HX_ACTOR_CLIP_PLANE: {
        auto* p = static_cast<hx_plane*>(HxResAllocate(a, sizeof(hx_plane), HX_RES_BOUNDS));
        if (p)
            *p = {0, 0, 1, 0};
        return p;
    }
    default:
        return nullptr;
    }
}

bool IsIdentity3(const hx_matrix34& m, float eps)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            if (std::fabs(m.m[r][c] - (r == c ? 1.0f : 0.0f)) > eps)
                return false;
    return true;
}

bool IsOrthonormal(const hx_matrix34& m, float eps)
{
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) {
            float dot = m.m[a][0] * m.m[b][0] + m.m[a][1] * m.m[b][1] + m.m[a][2] * m.m[b][2];
            if (std::fabs(dot - (a == b ? 1.0f : 0.0f)) > eps)
                return false;
        }
    return true;
}

// Sets the transform from a matrix in the transform's own form, or in a
// form that can hold it when its own cannot, so the actor keeps its place.
void SetTransformKeepingPlace(hx_transform* t, const hx_matrix34& m)
{
    constexpr float kEps = 1e-4f;
    const bool rigid = IsOrthonormal(m, kEps);
    const bool still = IsIdentity3(m, kEps);
    const bool moved = m.m[3][0] != 0 || m.m[3][1] != 0 || m.m[3][2] != 0;
    switch (t->type) {
    case HX_TRANSFORM_IDENTITY:
    case HX_TRANSFORM_TRANSLATE:
        if (!still)
            t->type = rigid ? HX_TRANSFORM_MATRIX_LP : HX_TRANSFORM_MATRIX;
        else if (moved)
            t->type = HX_TRANSFORM_TRANSLATE;
        break;
    case HX_TRANSFORM_MATRIX_LP:
    case HX_TRANSFORM_QUAT:
    case HX_TRANSFORM_EULER:
    case HX_TRANSFORM_LOOK_UP:
        if (!rigid)
            t->type = HX_TRANSFORM_MATRIX;
        break;
    default:
        break;
    }
    HxMatrix34ToTransform(t, &m);
    if (t->type == HX_TRANSFORM_LOOK_UP)
        t->t.look_up.up = {m.m[1][0], m.m[1][1], m.m[1][2]}; // keeps the roll
}

// A box through a matrix: the box of its eight transformed corners.
void TransformBox(hx_bounds3* out, const hx_bounds3& in, const hx_matrix34& m)
{
    const float* lo = &in.min.x;
    const float* hi = &in.max.x;
    float* omin = &out->min.x;
    float* omax = &out->max.x;
    for (int j = 0; j < 3; ++j) {
        omin[j] = omax[j] = m.m[3][j];
        for (int i = 0; i < 3; ++i) {
            float a = m.m[i][j] * lo[i];
            float b = m.m[i][j] * hi[i];
            omin[j] += a < b ? a : b;
            omax[j] += a < b ? b : a;
        }
    }
}

void Widen(hx_bounds3* box, const hx_bounds3& by)
{
    box->min = {std::fmin(box->min.x, by.min.x), std::fmin(box->min.y, by.min.y), std::fmin(box->min.z, by.min.z)};
    box->max = {std::fmax(box->max.x, by.max.x), std::fmax(box->max.y, by.max.y), std::fmax(box->max.z, by.max.z)};
}

void ChildBounds(hx_bounds3* out, hx_actor* parent, hx_model* inherited, const hx_matrix34& running)
{
    for (hx_actor* c = parent->children; c; c = c->next) {
        HX_CHECK_AS(c != nullptr, "NULL pointer to actor : ap != NULL", "actsupt", 700, );
        hx_matrix34 m = running;
        HxMatrix34PreTransform(&m, &c->t);
        hx_model* model = c->model ? c->model : inherited;
        if (c->type == HX_ACTOR_MODEL) {
            HX_CHECK(model != nullptr, "actsupt", 710, );
            hx_bounds3 box;
            TransformBox(&box, model->bounds, m);
            Widen(out, box);
        }
        ChildBounds(out, c, model, m);
    }
}

int SearchIn(hx_actor* root, const char* path, hx_actor** out, int max, int n)
{
    while (*path == '/')
        ++path;
    size_t length = std::strcspn(path, "/");
    char component[256];
    if (length >= sizeof component)
        return n;
    std::memcpy(component, path, length);
    component[length] = 0;
    const char* rest = path + length;
    while (*rest == '/')
        ++rest;
    for (hx_actor* c = root->children; c && n < max; c = c->next) {
        if (!HxNamePatternMatch(component, c->identifier))
            continue;
        if (*rest)
            n = SearchIn(c, rest, out, max, n);
        else
            out[n++] = c;
    }
    return n;
}

hx_camera* CameraOf(hx_actor* camera)
{
    return camera ? static_cast<hx_camera*>(camera->type_data) : nullptr;
}

float Cot(hx_angle half)
{
    float radians = float(half) * float(M_PI) / 32768.0f;
    return std::cos(radians) / std::sin(radians);
}

} // namespace

uint16_t HxTransformCombine(uint16_t a, uint16_t b)
{
    if (a >= HX_TRANSFORM_TYPE_COUNT || b >= HX_TRANSFORM_TYPE_COUNT)
        return HX_TRANSFORM_MATRIX;
    return kCombine[a][b];
}

hx_actor* HxActorAllocate(uint8_t type, void* typeData)
{
    auto* a = static_cast<hx_actor*>(HxResAllocate(v1db.res, sizeof(hx_actor), HX_RES_ACTOR));
    if (!a)
        return nullptr;
    std::memset(static_cast<void*>(a), 0, sizeof *a);
    a->type = type;
    a->t.type = HX_TRANSFORM_MATRIX;
    HxMatrix34Identity(&a->t.t.mat);
    a->type_data = typeData ? typeData : DefaultTypeData(a, type);
    return a;
}

hx_actor* HxActorAdd(hx_actor* parent, hx_actor* child)
{
    HX_CHECK(parent != nullptr && child != nullptr, "actsupt", 200, nullptr);
    for (hx_actor* p = parent; p; p = p->parent) {
        if (p == child) {
            HxFailure("HxActorAdd: the parent lies in the child's own subtree");
            return nullptr;
        }
    }
    if (child->parent)
        HxActorRemove(child);
    child->next = parent->children;
    if (child->next)
        child->next->prev = &child->next;
    child->prev = &parent->children;
    parent->children = child;
    child->parent = parent;
    RenumberDepths(child, uint16_t(parent->depth + 1));
    return child;
}

hx_actor* HxActorRemove(hx_actor* actor)
{
    HX_CHECK(actor != nullptr, "actsupt", 230, nullptr);
    Unlink(actor);
    RenumberDepths(actor, 0);
    return actor;
}

hx_actor* HxActorRelink(hx_actor* parent, hx_actor* actor)
{
    HX_CHECK(parent != nullptr && actor != nullptr, "actsupt", 240, nullptr);
    if (actor->parent == parent)
        return actor;
    for (hx_actor* p = parent; p; p = p->parent)
        if (p == actor) {
            HxFailure("HxActorAdd: the parent lies in the child's own subtree");
            return nullptr;
        }
    hx_matrix34 m;
    HxActorToActorMatrix34(&m, actor, parent);
    SetTransformKeepingPlace(&actor->t, m);
    HxActorRemove(actor);
    return HxActorAdd(parent, actor);
}

void HxActorFree(hx_actor* actor)
{
    if (!actor)
        return;
    while (hx_actor* c = actor->children) {
        Unlink(c);
        HxActorFree(c);
    }
    HxActorDisable(actor);
    Unlink(actor);
    if (actor->type_data && !HxResIsChild(actor, actor->type_data) &&
        HxResIsChild(v1db.res, actor->type_data))
        HxResFree(actor->type_data);
    HxResFree(actor);
}

int HxActorChildEnum(hx_actor* actor, hx_actor_enum_cbfn callback, void* arg)
{
    HX_CHECK(actor != nullptr && callback != nullptr, "actsupt", 300, 0);
    for (hx_actor* c = actor->children; c;) {
        hx_actor* next = c->next;
        if (int r = callback(c, arg))
            return r;
        c = next;
    }
    return 0;
}

int HxActorSearchMany(hx_actor* root, const char* path, hx_actor** out, int max)
{
    if (!root || !path || !out || max <= 0)
        return 0;
    return SearchIn(root, path, out, max, 0);
}

hx_actor* HxActorSearch(hx_actor* root, const char* path)
{
    hx_actor* found = nullptr;
    return HxActorSearchMany(root, path, &found, 1) == 1 ? found : nullptr;
}

bool HxActorToAncestorMatrix34(hx_matrix34* out, uint16_t* type, hx_actor* from, hx_actor* to)
{
    HxMatrix34Identity(out);
    uint16_t t = HX_TRANSFORM_IDENTITY;
    for (hx_actor* a = from; a; a = a->parent) {
        if (a == to) {
            if (type)
                *type = t;
            return true;
        }
        if (a->t.type != HX_TRANSFORM_IDENTITY) {
            HxMatrix34PostTransform(out, &a->t);
            t = HxTransformCombine(t, a->t.type);
        }
    }
    if (type)
        *type = t;
    return false;
}

uint16_t HxActorToActorMatrix34(hx_matrix34* out, hx_actor* from, hx_actor* to)
{
    if (from == to) {
        HxMatrix34Identity(out);
        return HX_TRANSFORM_IDENTITY;
    }
    if (from->parent == to) {
        *out = MatrixOf(from);
        return from->t.type;
    }
    if (to->parent == from) {
        hx_matrix34 m = MatrixOf(to);
        Invert(out, &m, to->t.type);
        return to->t.type;
    }
    hx_matrix34 ma, mb;
    HxMatrix34Identity(&ma);
    HxMatrix34Identity(&mb);
    uint16_t ta = HX_TRANSFORM_IDENTITY, tb = HX_TRANSFORM_IDENTITY;
    hx_actor* a = from;
    hx_actor* b = to;
    while (a != b && (a || b)) {
        const uint16_t da = a ? a->depth : 0, db = b ? b->depth : 0;
        if (a && (da >= db || !b)) {
            if (a->t.type != HX_TRANSFORM_IDENTITY) {
                HxMatrix34PostTransform(&ma, &a->t);
                ta = HxTransformCombine(ta, a->t.type);
            }
            a = a->parent;
        }
        if (b && (db >= da || !a) && b != a) {
            if (b->t.type != HX_TRANSFORM_IDENTITY) {
                HxMatrix34PostTransform(&mb, &b->t);
                tb = HxTransformCombine(tb, b->t.type);
            }
            b = b->parent;
        }
    }
    if (tb == HX_TRANSFORM_IDENTITY) {
        *out = ma;
        return ta;
    }
    hx_matrix34 inverse;
    Invert(&inverse, &mb, tb);
    if (ta == HX_TRANSFORM_IDENTITY) {
        *out = inverse;
        return tb;
    }
    HxMatrix34Mul(out, &ma, &inverse);
    return HxTransformCombine(ta, tb);
}

hx_token HxCameraToScreenMatrix4(hx_matrix4* out, hx_actor* camera)
{
    hx_camera* c = CameraOf(camera);
    HX_CHECK(c != nullptr, "actsupt", 500, 0);
    const float hither = c->hither_z, yon = c->yon_z;
    switch (c->type) {
    case HX_CAMERA_PARALLEL:
    case HX_CAMERA_PARALLEL_OLD: {
        bool bad = false;
        if (c->width == 0) {
            HxFailure("Parallel camera has zero width");
            bad = true;
        }
        if (c->height == 0) {
            HxFailure("Parallel camera has zero height");
            bad = true;
        }
        if (!(hither < yon)) {
            HxFailure("Parallel camera has invalid yon and hither");
            bad = true;
        }
        if (bad)
            return 0;
        hx_matrix34 m;
        if (c->type == HX_CAMERA_PARALLEL) {
            HxMatrix34Scale(&m, 2 / (c->aspect * c->width), 2 / c->height, 2 / (yon - hither));
            HxMatrix34PreTranslate(&m, 0, 0, (hither + yon) / 2);
            HxMatrix34PostTranslate(&m, v1db.origin_x, v1db.origin_y, 0);
        } else {
            HxMatrix34Scale(&m, 1 / c->width, 1 / c->height, 1 / (yon - hither));
            HxMatrix34PreTranslate(&m, 0, 0, hither);
        }
        HxMatrix4Copy34(out, &m);
        return HXT_PARALLEL;
    }
    case HX_CAMERA_PERSPECTIVE:
    case HX_CAMERA_PERSPECTIVE_OLD_2: {
        const float cot = Cot(hx_angle(c->field_of_view / 2));
        *out = {};
        out->m[0][0] = cot / c->aspect;
        out->m[1][1] = cot;
        out->m[2][0] = -v1db.origin_x;
        out->m[2][1] = -v1db.origin_y;
        out->m[2][2] = (yon + hither) / (yon - hither);
        out->m[2][3] = -1;
        out->m[3][2] = 2 * yon * hither / (yon - hither);
        return HXT_PERSPECTIVE;
    }
    case HX_CAMERA_PERSPECTIVE_OLD:
        HxMatrix4Perspective(out, c->field_of_view, c->aspect, -hither, -yon);
        return HXT_PERSPECTIVE;
    default:
        return 0;
    }
}

void HxActorToScreenMatrix4(hx_matrix4* out, hx_actor* camera, hx_actor* actor)
{
    hx_matrix4 projection;
    HxCameraToScreenMatrix4(&projection, camera);
    if (actor == camera) {
        *out = projection;
        return;
    }
    hx_matrix34 m;
    HxActorToActorMatrix34(&m, actor, camera);
    HxMatrix4Mul34(out, &m, &projection);
}

hx_bounds3* HxActorToBounds(hx_bounds3* out, hx_actor* actor)
{
    HX_CHECK_AS(out != nullptr, "NULL pointer to the resulting bounding box : dest != NULL", "actsupt", 650, out);
    HX_CHECK_AS(actor != nullptr, "NULL pointer to actor : ap != NULL", "actsupt", 651, out);
    hx_model* model = actor->model ? actor->model : v1db.default_model;
    if (actor->type == HX_ACTOR_MODEL) {
        HX_CHECK(model != nullptr, "actsupt", 655, out);
        *out = model->bounds;
    } else {
        *out = {{kHuge, kHuge, kHuge}, {-kHuge, -kHuge, -kHuge}};
    }
    hx_matrix34 identity;
    HxMatrix34Identity(&identity);
    ChildBounds(out, actor, model, identity);
    return out;
}

// ---- depth and screen Z -------------------------------------------------------------------

hx_scalar HxDepthBufferToScreenZ(uint32_t value)
{
    return float(int64_t(value) - int64_t(0x80000000u)) / 65536.0f;
}

uint32_t HxScreenZToDepthBuffer(hx_scalar sz)
{
    if (sz <= -32768.0f)
        return 0;
    if (sz >= 32768.0f)
        return 0xFFFFFFFFu;
    return uint32_t(int64_t(sz * 65536.0f) + int64_t(0x80000000u));
}

hx_scalar HxDepthToScreenZ(hx_actor* camera, hx_scalar depth)
{
    hx_camera* c = CameraOf(camera);
    HX_CHECK(c != nullptr, "actsupt", 800, 0);
    if (depth <= c->hither_z)
        return -32768.0f;
    if (depth >= c->yon_z)
        return 32768.0f;
    return (2 * depth - c->yon_z - c->hither_z) / (c->yon_z - c->hither_z) * 32768.0f;
}

hx_scalar HxScreenZToLinearDepth(hx_actor* camera, hx_scalar sz)
{
    hx_camera* c = CameraOf(camera);
    HX_CHECK(c != nullptr, "actsupt", 810, 0);
    if (sz <= -32768.0f)
        return c->hither_z;
    if (sz >= 32768.0f)
        return c->yon_z;
    return ((c->yon_z + c->hither_z) + (c->yon_z - c->hither_z) * sz / 32768.0f) / 2;
}

hx_scalar HxScreenZToDepth(hx_actor* camera, hx_scalar sz)
{
    hx_camera* c = CameraOf(camera);
    HX_CHECK(c != nullptr, "actsupt", 820, 0);
    const float h = c->hither_z, y = c->yon_z;
    const bool parallel = c->type == HX_CAMERA_PARALLEL || c->type == HX_CAMERA_PARALLEL_OLD;
    const bool perspective = c->type == HX_CAMERA_PERSPECTIVE || c->type == HX_CAMERA_PERSPECTIVE_OLD_2 ||
                             c->type == HX_CAMERA_PERSPECTIVE_OLD;
    if (!parallel && !perspective)
        return 0;
    if (sz <= -32768.0f)
        return -h;
    if (sz >= 32768.0f)
        return -y;
    if (parallel)
        return sz / 32768.0f * (h - y) / 2 - (h + y) / 2;
    return 2 * h * y / ((y - h) * sz / 32768.0f - (h + y));
}

hx_vector3* HxScreenToViewPoint(hx_vector3* out, hx_actor* camera, hx_pixelmap* pm, int32_t x, int32_t y,
                                hx_scalar sz)
{
    hx_camera* c = CameraOf(camera);
    HX_CHECK(c != nullptr && pm != nullptr && out != nullptr, "actsupt", 850, out);
    const float d = HxScreenZToDepth(camera, sz);
    const float w = pm->width, h = pm->height;
    const float gx = (w - 2 * float(x + pm->origin_x)) / w;
    const float gy = (2 * float(pm->origin_y + y) - h) / h;
    if (c->type == HX_CAMERA_PARALLEL || c->type == HX_CAMERA_PARALLEL_OLD) {
        *out = {-gx * c->aspect * c->width / 2, -gy * c->height / 2, d};
    } else {
        const float cot = Cot(hx_angle(c->field_of_view / 2));
        *out = {c->aspect * gx * d / cot, gy * d / cot, d};
    }
    return out;
}
