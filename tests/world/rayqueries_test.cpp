// Ray and proximity queries: rays through collision boxes (strict faces,
// gathered hit effects, the kept crossing), picking the nearest part, and
// the line-of-sight search with the screen metric.
#include <cmath>

#include "tests/support/collision_fixture.h"
#include "tests/support/world_fixture.h"
#include "view/viewstart.h"
#include "world/collisions.h"
#include "world/rayqueries.h"
#include "world/scenelist.h"

using namespace collisiontest;
using worldtest::WorldTest;

namespace {

Matrix4 Facing(const Vector3& forward)
{
    Matrix4 m;
    MatIdentity(m);
    m.m[8] = forward.x;
    m.m[9] = forward.y;
    m.m[10] = forward.z;
    return m;
}

} // namespace

TEST_F(WorldTest, RaysCrossBoxesOnlyStrictlyInsideAFace)
{
    struct Case {
        const char* what;
        Vector3 origin;
        Vector3 forward;
        bool crossed;
        Vector3 point; // world terms (the part sits at 1000, 0, 0)
    } cases[] = {
        {"through the middle", {0, 0, -100}, {0, 0, 1}, true, {1000, 0, -10}},
        {"backwards", {0, 0, -100}, {0, 0, -1}, true, {1000, 0, -15}},
        {"along a face's edge", {10, 0, -100}, {0, 0, 1}, false, {}},
        {"beside", {0, 30, -100}, {0, 0, 1}, false, {}},
        {"in through the side", {-100, 0, 2}, {1, 0, 0}, true, {990, 0, 2}},
        {"no direction", {0, 0, -100}, {0, 0, 0}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        SceneItem* item = Body({1000, 0, 0}, 50, kTdpCollides);
        HullBounds* bounds = Shape(item, 50);
        AddBox(bounds, {-10, -10, -10}, {10, 10, 10}, 0x100 | kBoxExclusion);
        AddBox(bounds, {-5, -5, -20}, {5, 5, -15}, 0x800);
        UpdateTDPWorldCentres(item);
        Vector3 point{};
        const bool crossed = RayHitsHullBounds(Facing(c.forward), item->sim->matrix,
                                               item->avatar->root, c.origin, &point);
        EXPECT_EQ(crossed, c.crossed);
        if (!crossed)
            continue;
        // The crossing kept lies furthest along the ray.
        EXPECT_NEAR(point.x, c.point.x, 1e-3);
        EXPECT_NEAR(point.y, c.point.y, 1e-3);
        EXPECT_NEAR(point.z, c.point.z, 1e-3);
        const bool both = c.origin.x == 0 && c.origin.y == 0;
        EXPECT_EQ(item->avatar->pendingHitEffects, both ? 0x900u : 0x100u);
    }
}

TEST_F(WorldTest, APartWithoutHullBoundsIsNeverCrossed)
{
    SceneItem* item = Body({0, 0, 0}, 50, kTdpCollides);
    Vector3 point{};
    EXPECT_FALSE(RayHitsHullBounds(Facing({0, 0, 1}), item->sim->matrix, item->avatar->root,
                                   Vector3{0, 0, -100}, &point));
}

TEST_F(WorldTest, PickingFindsTheNearestOtherPartOfTheWantedKind)
{
    SceneItem* a = Body({0, 0, 0}, 10);
    SceneItem* b = Body({100, 0, 0}, 10);
    SceneItem* c = Body({0, 40, 0}, 10);
    TDP* child = AddChildTDP(b->avatar->root, nullptr, 0, 0, 60); // at (100, 0, 60)
    c->avatar->root->flags |= 0x1000;
    for (SceneItem* item : {a, b, c})
        UpdateTDPWorldCentres(item);
    const Vector3 origin{0, 0, 0};
    // At a part's own centre that part is passed over.
    EXPECT_EQ(RayPickScene(kTdpCollides, 0, origin, 1e6f), c->avatar->root);
    EXPECT_EQ(RayPickScene(kTdpCollides, 0x1000, origin, 1e6f), b->avatar->root);
    EXPECT_EQ(RayPickScene(kTdpCollides, 0x1000, Vector3{100, 0, 50}, 1e6f), child);
    EXPECT_EQ(RayPickScene(kTdpCollides, 0, origin, 30.0f), nullptr); // none nearer than the start
    EXPECT_EQ(RayPickScene(0x20000, 0, origin, 1e6f), nullptr);
}

TEST_F(WorldTest, TheLineOfSightSearchMeasuresTheScreenOffset)
{
    gProjectionDistance = 200.0f;
    SceneItem* eye = Body({0, 0, 0}, 10);
    SceneItem* wide = Body({300, 100, 1000}, 10); // (300 + 100) x 200 / 1000 = 80
    SceneItem* near = Body({-20, 10, 200}, 10);   // 30 x 200 / 200 = 30
    SceneItem* behind = Body({10, 0, -100}, 10);  // -20
    SceneItem* hidden = Body({0, 1, 1000}, 10);   // 0.2, but marked no-contact
    SceneItem* other = Body({0, 2, 1000}, 10);    // 0.4, of another class
    for (SceneItem* item : {eye, wide, near, behind, hidden})
        item->avatar->classFlags = 0x100;
    other->avatar->classFlags = 0x200;
    hidden->avatar->flags |= kAvatarNoContact;
    float offset = 0;
    EXPECT_EQ(FindNearestItemOnRay(eye, nullptr, 0x100, 0, &offset, nullptr), near);
    EXPECT_FLOAT_EQ(offset, 30.0f);
    EXPECT_EQ(FindNearestItemOnRay(eye, nullptr, 0x100, 0, &offset, near), wide);
    EXPECT_FLOAT_EQ(offset, 400.0f);
    EXPECT_EQ(FindNearestItemOnRay(eye, nullptr, 0x300, 0, &offset, nullptr), other);
    EXPECT_EQ(FindNearestItemOnRay(eye, nullptr, 0x100, 0x200, &offset, nullptr), near);
    // Turned about, the eye sees only what was behind it.
    MatSetRotY(180, eye->sim->matrix);
    EXPECT_EQ(FindNearestItemOnRay(eye, nullptr, 0x100, 0, &offset, nullptr), behind);
    // With nothing in front the offset tells the best item behind.
    for (SceneItem* item : {wide, near, hidden, other})
        item->avatar->classFlags = 0;
    MatIdentity3(eye->sim->matrix);
    EXPECT_EQ(FindNearestItemOnRay(eye, nullptr, 0x100, 0, &offset, nullptr), nullptr);
    EXPECT_FLOAT_EQ(offset, -20.0f);
    // From a part: the eye moves by the part's offset.
    TDP* turret = AddChildTDP(eye->avatar->root, nullptr, 10, 0, -300);
    behind->avatar->classFlags = 0x100;
    EXPECT_EQ(FindNearestItemOnRay(eye, turret, 0x100, 0, &offset, nullptr), behind);
    EXPECT_FLOAT_EQ(offset, 0.0f);
}
