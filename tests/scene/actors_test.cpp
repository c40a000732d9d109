// Actors, cameras and lights: tree operations, the matrices between actors,
// camera projections, actor bounds, search by path and the conversions
// between depth and screen Z.
#include <cmath>

#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"
#include "tests/scene/scene_fixture.h"

namespace {

hx_actor* Named(hx_actor* parent, const char* name, uint8_t type = HX_ACTOR_NONE)
{
    hx_actor* a = HxActorAllocate(type, nullptr);
    a->identifier = HxResStrDup(a, name);
    if (parent)
        HxActorAdd(parent, a);
    return a;
}

void ExpectMatrixNear(const hx_matrix34& a, const hx_matrix34& b)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-5) << r << "," << c;
}

hx_vector3 Apply(const hx_matrix34& m, hx_vector3 p)
{
    hx_vector3 out;
    HxMatrix34ApplyP(&out, &p, &m);
    return out;
}

} // namespace

TEST_F(HxScene, DefaultTypeDataFollowsTheActorType)
{
    auto* light = static_cast<hx_light*>(HxActorAllocate(HX_ACTOR_LIGHT, nullptr)->type_data);
    EXPECT_EQ(light->type, HX_LIGHT_DIRECT);
    EXPECT_EQ(light->colour, 0xFFFFFFu);
    EXPECT_EQ(light->cone_outer, 2730);
    EXPECT_EQ(light->cone_inner, 1820);
    EXPECT_EQ(light->attenuation_c, 1);
    EXPECT_EQ(light->attenuation_l, 0);
    auto* camera = static_cast<hx_camera*>(HxActorAllocate(HX_ACTOR_CAMERA, nullptr)->type_data);
    EXPECT_EQ(camera->type, HX_CAMERA_PERSPECTIVE);
    EXPECT_EQ(camera->field_of_view, 8190);
    EXPECT_EQ(camera->yon_z, 10);
    auto* plane = static_cast<hx_plane*>(HxActorAllocate(HX_ACTOR_CLIP_PLANE, nullptr)->type_data);
    EXPECT_EQ(plane->z, 1);
    EXPECT_EQ(HxActorAllocate(HX_ACTOR_MODEL, nullptr)->type_data, nullptr);
    hx_actor* a = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    EXPECT_EQ(a->t.type, HX_TRANSFORM_MATRIX);
    EXPECT_EQ(a->t.t.mat.m[1][1], 1);
}

TEST_F(HxScene, LinkingRenumbersDepthsAndRefusesAParentInsideTheChild)
{
    hx_actor* root = Named(nullptr, "root");
    hx_actor* a = Named(root, "a");
    hx_actor* b = Named(a, "b");
    hx_actor* c = Named(b, "c");
    EXPECT_EQ(c->depth, 3);
    EXPECT_EQ(HxActorRemove(a), a);
    EXPECT_EQ(a->depth, 0);
    EXPECT_EQ(b->depth, 1);
    EXPECT_EQ(c->depth, 2);
    EXPECT_EQ(root->children, nullptr);

    EXPECT_EQ(HxActorAdd(c, a), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("own subtree"));
    EXPECT_EQ(HxActorAdd(a, a), nullptr);

    // Adding a child that is in a tree takes it out first.
    hx_actor* other = Named(nullptr, "other");
    EXPECT_EQ(HxActorAdd(other, b), b);
    EXPECT_EQ(a->children, nullptr);
    EXPECT_EQ(b->parent, other);
    EXPECT_EQ(c->depth, 2);
    hx_actor* d = Named(other, "d");
    EXPECT_EQ(other->children, d) << "new children go to the head";
    EXPECT_EQ(d->next, b);

    int seen = 0;
    EXPECT_EQ(HxActorChildEnum(
                  other, [](hx_actor*, void* n) { return ++*static_cast<int*>(n) == 2 ? 5 : 0; }, &seen),
              5);
}

TEST_F(HxScene, SearchFollowsPathComponentsAsNamePatterns)
{
    hx_actor* root = Named(nullptr, "root");
    hx_actor* ship = Named(root, "ship");
    Named(ship, "gun1");
    Named(ship, "gun2");
    Named(Named(root, "station"), "gun9");
    hx_actor* out[4];
    EXPECT_EQ(HxActorSearchMany(root, "/ship//gun*", out, 4), 2);
    EXPECT_EQ(HxActorSearchMany(root, "*/gun*", out, 4), 3);
    EXPECT_EQ(HxActorSearchMany(root, "*/gun*", out, 2), 2);
    EXPECT_EQ(HxActorSearch(root, "station/gun9")->identifier, std::string("gun9"));
    EXPECT_EQ(HxActorSearch(root, "ship/gun*")->identifier, std::string("gun2")) << "the first in list order";
    EXPECT_EQ(HxActorSearch(root, "ship/turret"), nullptr);
}

TEST_F(HxScene, TheMatrixBetweenSiblingsIsTheFirstTimesTheInverseOfTheSecond)
{
    hx_actor* root = Named(nullptr, "root");
    hx_actor* a = Named(root, "a");
    hx_actor* b = Named(root, "b");
    a->t.type = HX_TRANSFORM_TRANSLATE;
    a->t.t.translate.t = {1, 2, 3};
    b->t.type = HX_TRANSFORM_EULER;
    b->t.t.euler.e = {16384, 0, 0, HX_EULER_XYZ_S};
    b->t.t.euler.t = {0, 0, 5};
    hx_matrix34 m, ma, mb, ib, expect;
    EXPECT_EQ(HxActorToActorMatrix34(&m, a, b), HxTransformCombine(HX_TRANSFORM_TRANSLATE, HX_TRANSFORM_EULER));
    EXPECT_EQ(HxTransformCombine(HX_TRANSFORM_TRANSLATE, HX_TRANSFORM_EULER), HX_TRANSFORM_EULER);
    HxTransformToMatrix34(&ma, &a->t);
    HxTransformToMatrix34(&mb, &b->t);
    HxMatrix34LPInverse(&ib, &mb);
    HxMatrix34Mul(&expect, &ma, &ib);
    ExpectMatrixNear(m, expect);

    // Parent and child, both ways; an actor to itself.
    EXPECT_EQ(HxActorToActorMatrix34(&m, a, root), HX_TRANSFORM_TRANSLATE);
    ExpectMatrixNear(m, ma);
    EXPECT_EQ(HxActorToActorMatrix34(&m, root, b), HX_TRANSFORM_EULER);
    ExpectMatrixNear(m, ib);
    EXPECT_EQ(HxActorToActorMatrix34(&m, a, a), HX_TRANSFORM_IDENTITY);

    // A grandchild to a cousin goes through the common ancestor.
    hx_actor* a1 = Named(a, "a1");
    a1->t.type = HX_TRANSFORM_TRANSLATE;
    a1->t.t.translate.t = {0, 1, 0};
    hx_vector3 p = Apply(([&] { HxActorToActorMatrix34(&m, a1, b); return m; })(), {0, 0, 0});
    hx_vector3 q = Apply(ib, {1, 3, 3});
    EXPECT_NEAR(p.x, q.x, 1e-5);
    EXPECT_NEAR(p.y, q.y, 1e-5);
    EXPECT_NEAR(p.z, q.z, 1e-5);
}

TEST_F(HxScene, RelinkKeepsTheWorldPlaceSwitchingToAFormThatCanHoldIt)
{
    hx_actor* root = Named(nullptr, "root");
    hx_actor* turned = Named(root, "turned");
    turned->t.type = HX_TRANSFORM_EULER;
    turned->t.t.euler.e = {0, 16384, 0, HX_EULER_XYZ_S};
    turned->t.t.euler.t = {4, 0, 0};
    hx_actor* scaled = Named(root, "scaled");
    HxMatrix34Scale(&scaled->t.t.mat, 2, 2, 2);
    hx_actor* mover = Named(root, "mover");
    mover->t.type = HX_TRANSFORM_TRANSLATE;
    mover->t.t.translate.t = {1, 1, 1};
    hx_matrix34 before, after;
    HxActorToActorMatrix34(&before, mover, root);
    EXPECT_EQ(HxActorRelink(turned, mover), mover);
    EXPECT_EQ(mover->parent, turned);
    EXPECT_EQ(mover->t.type, HX_TRANSFORM_MATRIX_LP) << "a translation cannot hold the turn";
    HxActorToActorMatrix34(&after, mover, root);
    ExpectMatrixNear(after, before);

    hx_actor* looker = Named(root, "looker");
    looker->t.type = HX_TRANSFORM_LOOK_UP;
    looker->t.t.look_up.look = {0, 0, -1};
    looker->t.t.look_up.up = {1, 0, 0}; // rolled a quarter turn
    HxActorToActorMatrix34(&before, looker, root);
    HxActorRelink(turned, looker);
    EXPECT_EQ(looker->t.type, HX_TRANSFORM_LOOK_UP);
    HxActorToActorMatrix34(&after, looker, root);
    ExpectMatrixNear(after, before);

    HxActorToActorMatrix34(&before, looker, root);
    HxActorRelink(scaled, looker);
    EXPECT_EQ(looker->t.type, HX_TRANSFORM_MATRIX) << "the inverse scale is no rotation";
    HxActorToActorMatrix34(&after, looker, root);
    ExpectMatrixNear(after, before);
}

TEST_F(HxScene, FreeingAnActorFreesItsSubtreeAndDisablesIt)
{
    hx_actor* root = Named(nullptr, "root");
    hx_actor* lamp = Named(root, "lamp", HX_ACTOR_LIGHT);
    hx_actor* inner = Named(lamp, "inner", HX_ACTOR_LIGHT);
    HxLightEnable(lamp);
    HxLightEnable(inner);
    HxEnvironmentSet(lamp);
    HxActorFree(lamp);
    EXPECT_EQ(root->children, nullptr);
    EXPECT_EQ(v1db.enabled_lights.count, 0);
    EXPECT_EQ(HxEnvironmentSet(nullptr), nullptr);
}

TEST_F(HxScene, ActorBoundsGatherTheTransformedBoxesOfTheSubtreesModels)
{
    hx_actor* root = Named(nullptr, "root");
    hx_bounds3 b;
    HxActorToBounds(&b, root);
    EXPECT_GT(b.min.x, b.max.x) << "no models: the empty box";
    hx_model* m = HxModelAllocate("unit", 0, 0);
    m->bounds = {{-1, -1, -1}, {1, 1, 1}};
    hx_actor* group = Named(root, "group");
    group->model = m;
    group->t.type = HX_TRANSFORM_TRANSLATE;
    group->t.t.translate.t = {10, 0, 0};
    hx_actor* part = Named(group, "part", HX_ACTOR_MODEL); // the parent's model
    HxMatrix34Scale(&part->t.t.mat, 2, 1, 1);
    HxActorToBounds(&b, root);
    EXPECT_EQ(b.min.x, 8);
    EXPECT_EQ(b.max.x, 12);
    EXPECT_EQ(b.min.y, -1);
}

TEST_F(HxScene, ScreenZAndDepthConvertExactlyAtBothEnds)
{
    hx_actor* cam = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    auto* c = static_cast<hx_camera*>(cam->type_data);
    c->hither_z = 0.5f;
    c->yon_z = 1000;
    for (uint8_t type : {HX_CAMERA_PERSPECTIVE, HX_CAMERA_PARALLEL}) {
        c->type = type;
        EXPECT_EQ(HxScreenZToDepth(cam, -32768), -0.5f);
        EXPECT_EQ(HxScreenZToDepth(cam, 32768), -1000.0f);
        EXPECT_EQ(HxScreenZToDepth(cam, -40000), -0.5f);
    }
    c->type = HX_CAMERA_PARALLEL;
    EXPECT_FLOAT_EQ(HxScreenZToDepth(cam, 0), -500.25f);
    c->type = HX_CAMERA_PERSPECTIVE;
    EXPECT_FLOAT_EQ(HxScreenZToDepth(cam, 0), 2 * 0.5f * 1000 / -1000.5f);
    c->type = 9;
    EXPECT_EQ(HxScreenZToDepth(cam, 0), 0);

    EXPECT_EQ(HxScreenZToDepthBuffer(-32768), 0u);
    EXPECT_EQ(HxScreenZToDepthBuffer(32768), 0xFFFFFFFFu);
    EXPECT_EQ(HxScreenZToDepthBuffer(1), 0x80010000u);
    EXPECT_EQ(HxDepthBufferToScreenZ(0x80010000u), 1);
    EXPECT_EQ(HxDepthBufferToScreenZ(0), -32768);
    EXPECT_EQ(HxDepthToScreenZ(cam, 0.1f), -32768);
    EXPECT_EQ(HxDepthToScreenZ(cam, 2000), 32768);
    EXPECT_FLOAT_EQ(HxScreenZToLinearDepth(cam, HxDepthToScreenZ(cam, 250)), 250);
}

TEST_F(HxScene, EachCameraTypeGivesItsProjection)
{
    hx_actor* cam = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    auto* c = static_cast<hx_camera*>(cam->type_data);
    c->hither_z = 1;
    c->yon_z = 9;
    c->aspect = 2;
    c->field_of_view = 16384; // 90 degrees: cot(45) = 1
    hx_matrix4 m;
    EXPECT_EQ(HxCameraToScreenMatrix4(&m, cam), HXT_PERSPECTIVE);
    EXPECT_NEAR(m.m[0][0], 0.5f, 1e-6);
    EXPECT_NEAR(m.m[1][1], 1, 1e-6);
    EXPECT_FLOAT_EQ(m.m[2][2], 10.0f / 8);
    EXPECT_EQ(m.m[2][3], -1);
    EXPECT_FLOAT_EQ(m.m[3][2], 18.0f / 8);
    EXPECT_EQ(m.m[3][3], 0);

    c->type = HX_CAMERA_PERSPECTIVE_OLD_2;
    m = {};
    EXPECT_EQ(HxCameraToScreenMatrix4(&m, cam), HXT_PERSPECTIVE);
    EXPECT_FLOAT_EQ(m.m[2][2], 10.0f / 8) << "the older type 2 is the perspective camera";

    c->type = HX_CAMERA_PARALLEL;
    c->width = 4;
    c->height = 3;
    EXPECT_EQ(HxCameraToScreenMatrix4(&m, cam), HXT_PARALLEL);
    hx_vector4 s;
    hx_vector3 p = {2, 1.5f, -5};
    HxMatrix4ApplyP(&s, &p, &m);
    EXPECT_FLOAT_EQ(s.x, 0.5f); // 2 / (aspect x width / 2)
    EXPECT_FLOAT_EQ(s.y, 1);
    EXPECT_FLOAT_EQ(s.z, 0) << "the middle of hither and yon";

    c->type = HX_CAMERA_PARALLEL_OLD;
    EXPECT_EQ(HxCameraToScreenMatrix4(&m, cam), HXT_PARALLEL);
    p = {4, 3, -1};
    HxMatrix4ApplyP(&s, &p, &m);
    EXPECT_FLOAT_EQ(s.x, 1);
    EXPECT_FLOAT_EQ(s.z, 0);

    c->type = HX_CAMERA_PERSPECTIVE_OLD;
    hx_matrix4 expect;
    HxMatrix4Perspective(&expect, 16384, 2, -1, -9);
    EXPECT_EQ(HxCameraToScreenMatrix4(&m, cam), HXT_PERSPECTIVE);
    EXPECT_EQ(m.m[0][0], expect.m[0][0]);

    c->type = HX_CAMERA_PARALLEL;
    c->width = 0;
    c->yon_z = 1;
    EXPECT_EQ(HxCameraToScreenMatrix4(&m, cam), 0u);
    EXPECT_TRUE(HxDiagLog::Saw("Parallel camera has zero width"));
    EXPECT_TRUE(HxDiagLog::Saw("Parallel camera has invalid yon and hither"));
    c->type = 7;
    EXPECT_EQ(HxCameraToScreenMatrix4(&m, cam), 0u);
}

TEST_F(HxScene, AScreenPixelMapsBackToTheViewPointAtItsDepth)
{
    hx_actor* cam = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    auto* c = static_cast<hx_camera*>(cam->type_data);
    c->field_of_view = 16384;
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 100, 50, nullptr, 0);
    hx_vector3 v;
    HxScreenToViewPoint(&v, cam, pm, 0, 0, -32768); // the top left corner at the hither plane
    EXPECT_FLOAT_EQ(v.z, -1);
    EXPECT_NEAR(v.x, -1, 1e-5);
    EXPECT_NEAR(v.y, 1, 1e-5);
    HxPixelmapFree(pm);
}
