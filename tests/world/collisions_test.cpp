// Collision detection: which pairs are tested, which parts touch (spheres,
// hull points in boxes, part trees, moving points), who responds in what
// order, the obstacle note, radii and centres, kqzSpawnScene, and the
// prefiltered broad phase against the plain one.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "ai/docking.h"
#include "framework/scene.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/collision_fixture.h"
#include "tests/support/world_fixture.h"
#include "tests/support/world_scenario.h"
#include "world/collisions.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"

using namespace collisiontest;
using worldtest::FatalStops;
using worldtest::WorldTest;

namespace {

class CollisionTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ClearContacts();
    }
    void TearDown() override
    {
        SetCollisionPrefilter(true);
        WorldTest::TearDown();
    }
};

void Collide()
{
    PrepareCollisionFrame();
    TestAllCollisions();
}

} // namespace

TEST_F(CollisionTest, SpheresTouchWhenTheirRadiiOverlap)
{
    struct Case {
        Vector3d apart;
        float ra, rb;
        bool touch;
    } cases[] = {
        {{199, 0, 0}, 100, 100, true},
        {{201, 0, 0}, 100, 100, false},
        {{0, -50, 0}, 10, 45, true},
        {{0, 0, 55.5}, 10, 45, false},
        {{0, 0, 0}, 1, 1, true},
    };
    for (const Case& c : cases) {
        ResetSimulation();
        ClearContacts();
        SceneItem* a = Body({0, 0, 0}, c.ra);
        SceneItem* b = Body(c.apart, c.rb);
        Collide();
        SCOPED_TRACE(c.apart.x + c.apart.y + c.apart.z);
        ASSERT_EQ(Contacts().size(), c.touch ? 2u : 0u);
        if (!c.touch)
            continue;
        // Each item responds once, with its own part first; the contact is
        // the position of the item with the smaller radius (A's on a tie).
        EXPECT_EQ(Contacts()[0].self, a);
        EXPECT_EQ(Contacts()[0].other, b);
        EXPECT_EQ(Contacts()[1].self, b);
        const SceneItem* smaller = c.rb < c.ra ? b : a;
        EXPECT_FLOAT_EQ(Contacts()[0].contact.y, static_cast<float>(smaller->sim->position.y));
        EXPECT_FLOAT_EQ(Contacts()[0].contact.z, static_cast<float>(smaller->sim->position.z));
        EXPECT_TRUE(b->avatar->root->flags & kTdpHit);
        EXPECT_TRUE(a->avatar->root->flags & kTdpHit);
    }
}

TEST_F(CollisionTest, TheHigherResponseOrderGoesFirstAndBothShareTheHandledWord)
{
    SceneItem* a = Body({0, 0, 0}, 100);
    SceneItem* b = Body({50, 0, 0}, 100);
    b->avatar->responseOrder = 3;
    a->avatar->responseOrder = 2;
    Collide();
    ASSERT_EQ(Contacts().size(), 2u);
    EXPECT_EQ(Contacts()[0].self, b);
    EXPECT_EQ(Contacts()[0].handledSeen, 0);
    EXPECT_EQ(Contacts()[1].self, a);
    EXPECT_EQ(Contacts()[1].handledSeen, 1); // the first response set it
}

TEST_F(CollisionTest, HullPointsTouchWhenStrictlyInsideABoxAndInNoExclusionBox)
{
    struct Case {
        const char* what;
        Vector3d small; // position of the item with the points; the boxes' item sits at 0
        float turnZ;    // the boxes' item turned about z
        bool touch;
    } cases[] = {
        {"inside", {49, 0, 0}, 0, true},
        {"on the face", {50, 0, 0}, 0, false},
        {"outside", {60, 0, 0}, 0, false},
        {"in the exclusion box", {20, 0, 0}, 0, false},
        {"beside the thin box", {0, 30, 0}, 0, false},
        {"the thin box turned onto it", {0, 30, 0}, 90, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        ClearContacts();
        SceneItem* large = Body({0, 0, 0}, 100, kTdpCollides);
        SceneItem* small = Body(c.small, 10, kTdpCollides);
        MatSetRotZ(c.turnZ, large->sim->matrix);
        HullBounds* boxes = Shape(large, 100);
        AddBox(boxes, {-50, -5, -5}, {50, 5, 5}, 0x300);
        AddBox(boxes, {10, -5, -5}, {25, 5, 5}, kBoxExclusion | 0x1000);
        HullBounds* points = Shape(small, 10);
        points->points[0] = {0, 0, 0};
        points->pointCount = 1;
        points->pointFlags[0] = 0x40;
        large->avatar->pendingHitEffects = 0x77;
        Collide();
        EXPECT_EQ(Contacts().size(), c.touch ? 2u : 0u);
        if (c.touch) {
            EXPECT_EQ(large->avatar->pendingHitEffects, 0x300u);
            EXPECT_EQ(small->avatar->pendingHitEffects, 0x40u);
        } else {
            EXPECT_EQ(large->avatar->pendingHitEffects, 0x77u); // a miss leaves them
        }
    }
}

TEST_F(CollisionTest, APointReportsItsComponentBitsWhenItTouches)
{
    // A hull point carries the component bits of its box (0x1FF00), the
    // whole word handed to the item it belongs to.
    SceneItem* large = Body({0, 0, 0}, 100, kTdpCollides);
    SceneItem* small = Body({20, 0, 0}, 10, kTdpCollides);
    AddBox(Shape(large, 100), {-50, -50, -50}, {50, 50, 50}, 0);
    HullBounds* points = Shape(small, 10);
    points->points[0] = {0, 0, 0};
    points->pointCount = 1;
    points->pointFlags[0] = 0x10300;
    Collide();
    ASSERT_EQ(Contacts().size(), 2u);
    EXPECT_EQ(small->avatar->pendingHitEffects, 0x10300u);
}

TEST_F(CollisionTest, TheLargerPartHoldsTheBoxesWhicheverItemComesFirst)
{
    SceneItem* small = Body({0, 0, 0}, 10, kTdpCollides);
    SceneItem* large = Body({-40, 0, 0}, 100, kTdpCollides);
    HullBounds* boxes = Shape(large, 100);
    HullBox* box = AddBox(boxes, {-50, -50, -50}, {50, 50, 50}, 0);
    Shape(small, 10)->pointCount = 1;
    Collide();
    EXPECT_EQ(Contacts().size(), 2u);
    // Without boxes on the larger part nothing touches.
    ClearContacts();
    boxes->boxes = nullptr;
    Collide();
    EXPECT_TRUE(Contacts().empty());
    boxes->boxes = box;
}

TEST_F(CollisionTest, PartTreesAreDescendedAndTheTouchingPartsAreNamed)
{
    struct Case {
        float turnY; // the first item turned about y: its arm swings away
        bool touch;
    } cases[] = {{0, true}, {90, false}};
    for (const Case& c : cases) {
        ResetSimulation();
        ClearContacts();
        SceneItem* a = Body({0, 0, 0}, 1000, 0);
        a->avatar->root->radius = 10; // the root takes no part
        TDP* arm = AddChildTDP(a->avatar->root, nullptr, 300, 0, 0);
        arm->radius = 50;
        arm->flags |= kTdpSolid;
        MatSetRotY(c.turnY, a->sim->matrix);
        SceneItem* b = Body({320, 0, 0}, 40);
        Collide();
        SCOPED_TRACE(c.turnY);
        ASSERT_EQ(Contacts().size(), c.touch ? 2u : 0u);
        if (c.touch) {
            EXPECT_EQ(Contacts()[0].ownPart, arm);
            EXPECT_EQ(Contacts()[1].otherPart, arm);
            EXPECT_TRUE(arm->flags & kTdpHit);
            EXPECT_TRUE(b->avatar->root->flags & kTdpHit);
        }
    }
}

TEST_F(CollisionTest, APartThatAlwaysTouchesNeedsOnlyTheItemsToMeet)
{
    Body({0, 0, 0}, 100);
    SceneItem* b = Body({150, 0, 0}, 100, kTdpCollides | kTdpTouchesAlways);
    b->avatar->root->radius = 1;
    Collide();
    EXPECT_EQ(Contacts().size(), 2u);
}

TEST_F(CollisionTest, WhichPairsAreTested)
{
    struct Case {
        const char* what;
        int16_t flagsA, flagsB;
        bool linked;
        bool touch;
    } cases[] = {
        {"ordinary", 0, 0, false, true},
        {"tail with ordinary", kItemTailGroup, 0, false, true},
        {"ordinary with tail", 0, kItemTailGroup, false, true},
        {"tail with tail", kItemTailGroup, kItemTailGroup, false, false},
        {"linked", 0, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (bool prefilter : {false, true}) {
            ResetSimulation();
            ClearContacts();
            SetCollisionPrefilter(prefilter);
            SceneItem* a = Body({0, 0, 0}, 100, kSolidPart, c.flagsA);
            SceneItem* b = Body({10, 0, 0}, 100, kSolidPart, c.flagsB);
            if (c.linked)
                b->avatar->linkItem = a;
            Collide();
            EXPECT_EQ(Contacts().size(), c.touch ? 2u : 0u);
        }
    }
}

TEST_F(CollisionTest, ShipsThatTouchAreOfferedTheDockFirst)
{
    SceneItem* a = Body({0, 0, 0}, 100);
    SceneItem* b = Body({10, 0, 0}, 100);
    SceneItem* c = Body({5000, 0, 0}, 100);
    SceneItem* d = Body({5010, 0, 0}, 100);
    worldtest::MakeShip(a);
    worldtest::MakeShip(b);
    worldtest::MakeShip(c);
    EnableCallTrace(true);
    ClearCallTrace();
    Collide();
    // Ships without ports: the dock is not taken, so both respond.
    EXPECT_EQ(FindDockedItem(a, b), nullptr);
    EXPECT_EQ(Contacts().size(), 4u);
    EXPECT_EQ(Contacts()[2].self, c);
    EXPECT_EQ(Contacts()[2].other, d);
    // With facing ports that touch the pair couples instead of responding.
    AddDockPoint(a, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(b, kDockFree, 1, 180, 0, 0, 0, 0, 0, 50);
    ClearContacts();
    Collide();
    EXPECT_EQ(FindDockedItem(a, b), b);
    ASSERT_EQ(Contacts().size(), 2u);
    EXPECT_EQ(Contacts()[0].self, c);
}

TEST_F(CollisionTest, ObstaclesAreNotedWithinFiveTimesTheRadii)
{
    SceneItem* a = Body({0, 0, 0}, 100, kSolidPart, kItemObstacle);
    SceneItem* b = Body({600, 0, 0}, 100);
    SceneItem* c = Body({0, 900, 0}, 100);
    SceneItem* far = Body({0, 0, 1100}, 100);
    Collide();
    EXPECT_TRUE(Contacts().empty());
    EXPECT_EQ(b->avatar->obstacle, a);
    EXPECT_FLOAT_EQ(b->avatar->obstacleCloseness, 0.36f);
    EXPECT_EQ(c->avatar->obstacle, a);
    EXPECT_FLOAT_EQ(c->avatar->obstacleCloseness, 0.81f);
    EXPECT_EQ(far->avatar->obstacle, nullptr);
    EXPECT_EQ(far->avatar->obstacleCloseness, 2000000.0f);
    EXPECT_EQ(a->avatar->obstacle, nullptr); // the others are not obstacles
    // Touching obstacles are as close as can be.
    b->sim->position.x = 150;
    Collide();
    EXPECT_EQ(b->avatar->obstacleCloseness, 0.0f);
}

TEST_F(CollisionTest, AProjectileAtTheFastestMissileSpeedDoesNotTunnelThroughAMovingHull)
{
    // 30,000,000 a second: 1,500,000 a frame at 5 ticks, 6,000,000 at 20.
    constexpr float kMissileSpeed = 30000000.0f;
    for (int32_t ticks : {5, 20}) {
        for (float miss : {0.0f, 1.3f}) {
            ResetSimulation();
            ClearContacts();
            SceneItem* hull = Body({0, 0, 0}, 20000, kTdpCollides);
            HullBounds* shape = Shape(hull, 20000);
            AddBox(shape, {-30000, -15000, -15000}, {30000, 15000, 15000}, 0x200);
            hull->sim->velocity = {0, 4000, 0};
            hull->perFrame = worldscenario::Drift;
            // The projectile flies along its z axis toward the hull from far off.
            SceneItem* shot = Body({miss * 20000.0, 0, -40000000.0}, kMissileSpeed / 6.0f,
                                   kTdpCollides | kTdpMovingPoint);
            shot->sim->velocity = {0, 0, kMissileSpeed};
            shot->perFrame = worldscenario::Drift;
            int hits = 0;
            for (int frame = 0; frame < 40 && hits == 0; ++frame) {
                worldtest::RunFrame(ticks);
                hits = static_cast<int>(Contacts().size());
            }
            SCOPED_TRACE(ticks * 10 + miss);
            if (miss == 0.0f) {
                ASSERT_EQ(hits, 2);
                EXPECT_EQ(hull->avatar->pendingHitEffects, 0x200u);
                // The struck point lies on the hull's rear face.
                EXPECT_NEAR(Contacts()[0].contact.z, -15000.0f, 1.0f);
            } else {
                // Beside the hull at 1.3 x its radius: never tested against the box.
                EXPECT_EQ(hits, 0);
            }
        }
    }
}

TEST_F(CollisionTest, WorldCentresFollowTheItemsTurnAndTheParentsTurns)
{
    SceneItem* item = Body({1000, 0, 0}, 10);
    MatSetRotZ(90, item->sim->matrix); // x axis onto -y
    TDP* arm = AddChildTDP(item->avatar->root, nullptr, 100, 0, 0);
    MatSetRotZ(90, arm->local);
    TDP* hand = AddChildTDP(arm, nullptr, 10, 0, 0);
    UpdateTDPWorldCentres(item);
    EXPECT_NEAR(item->avatar->root->worldCentre.x, 1000, 1e-3);
    EXPECT_NEAR(arm->worldCentre.x, 1000, 1e-3);
    EXPECT_NEAR(arm->worldCentre.y, -100, 1e-3);
    // The hand hangs off the arm, turned by the arm and the item: -x.
    EXPECT_NEAR(hand->worldCentre.x, 990, 1e-3);
    EXPECT_NEAR(hand->worldCentre.y, -100, 1e-3);
    hand->radius = 5;
    arm->radius = 20;
    item->avatar->root->radius = 10;
    const Vector3 at{1000, 0, 0};
    EXPECT_NEAR(TDPTreeRadius(item->avatar->root, at), 120.0f, 1e-3);
    EXPECT_EQ(TDPTreeRadius(nullptr, at), 13.0f);
    item->sim->radius = 0;
    SetSceneItemRadius(item);
    EXPECT_NEAR(item->sim->radius, 120.0f, 1e-3);
    item->sim->radius = 7; // an item that has a radius keeps it
    SetSceneItemRadius(item);
    EXPECT_EQ(item->sim->radius, 7.0f);
}

TEST_F(CollisionTest, PartRadiiComeFromTheHullBoundsOrTheModel)
{
    hx_vertex vertices[2]{};
    vertices[0].p = {3, 4, 0};
    vertices[1].p = {0, -6, 8};
    hx_model model{};
    model.vertices = vertices;
    model.nvertices = 2;
    hx_model bare{};
    SceneItem* item = worldtest::MakeItem();
    TDP* root = item->avatar->root;
    root->model = &model;
    TDP* boxed = AddChildTDP(root, &bare, 0, 0, 0);
    HullBounds* bounds = AllocHullBounds();
    bounds->model = &bare;
    bounds->radius = 77;
    TDP* empty = AddChildTDP(root, nullptr, 0, 0, 0);
    TDP* emitter = AddChildTDP(root, &model, 0, 0, 0);
    emitter->flags |= kTdpEmitter;
    TDP* given = AddChildTDP(root, &model, 0, 0, 0);
    given->radius = 2;
    InitTDPRadius(root);
    EXPECT_FLOAT_EQ(root->radius, 10.0f);
    EXPECT_EQ(boxed->hullBounds, bounds);
    EXPECT_EQ(boxed->radius, 77.0f);
    EXPECT_EQ(empty->radius, 13.0f);
    EXPECT_EQ(emitter->radius, 0.0f);
    EXPECT_EQ(given->radius, 2.0f);
}

TEST_F(CollisionTest, HullBoundsPointsAreKeptOnceAndAtMostSixteen)
{
    SceneItem* item = worldtest::MakeItem();
    HullBounds* bounds = Shape(item, 50);
    for (int i = 0; i < 20; ++i) {
        AddHullBoundsPoint(item->avatar->root, Vector3{static_cast<float>(i), 0, 0});
        AddHullBoundsPoint(item->avatar->root, Vector3{static_cast<float>(i), 0, 0});
    }
    ASSERT_EQ(bounds->pointCount, 16);
    EXPECT_EQ(bounds->points[15].x, 15.0f);
    AddBox(bounds, {-10, -20, -30}, {10, 20, 30}, 0);
    ScaleHullBounds(bounds, 100);
    EXPECT_EQ(bounds->radius, 100.0f);
    EXPECT_EQ(bounds->boxes->minimum.z, -60.0f);
    EXPECT_EQ(bounds->boxes->maximum.y, 40.0f);
}

TEST_F(CollisionTest, PreparingTheFrameClearsThePerFrameMarks)
{
    SceneItem* a = Body({0, 0, 0}, 10);
    SceneItem* b = Body({0, 0, 0}, 10);
    a->flags |= kItemJumpCheck | kItemNearPlanet | kItemNearSurface;
    a->avatar->flags |= kAvatarTouched;
    a->sim->flags |= kSimTowed;
    b->sim->flags |= kSimTowed;
    b->perFrame = UpdateCoupledShip;
    PrepareCollisionFrame();
    EXPECT_EQ(a->flags & (kItemJumpCheck | kItemNearPlanet | kItemNearSurface), 0);
    EXPECT_EQ(a->avatar->flags & kAvatarTouched, 0);
    EXPECT_EQ(a->sim->flags & kSimTowed, 0u);
    EXPECT_NE(b->sim->flags & kSimTowed, 0u); // a coupled ship stays towed
    EXPECT_EQ(gSceneItemCount, 2);
}

TEST_F(CollisionTest, SpawnSceneMakesAPartAnItemOfItsOwn)
{
    SceneItem* item = Body({100, 0, 0}, 50);
    item->avatar->collision = RecordContact;
    TDP* root = item->avatar->root;
    TDP* arm = AddChildTDP(root, nullptr, 0, 40, 0);
    TDP* hand = AddChildTDP(arm, nullptr, 0, 5, 0);
    TDP* other = AddChildTDP(root, nullptr, 0, -40, 0);
    arm->radius = 10;
    hand->radius = 12;
    UpdateTDPWorldCentres(item);

    SceneItem* piece = kqzSpawnScene(item, arm);
    ASSERT_NE(piece, item);
    EXPECT_EQ(piece->avatar->root, arm);
    EXPECT_EQ(arm->nextSibling, nullptr);
    EXPECT_EQ(hand->owner, piece);
    EXPECT_EQ(piece->avatar->collision, RecordContact);
    EXPECT_NE(piece->receiver, 0u);
    EXPECT_EQ(piece->sim->matrix.m[13], 40.0f);
    EXPECT_EQ(piece->sim->position.x, 100.0);
    EXPECT_EQ(arm->offset.y, 0.0f);
    EXPECT_NEAR(piece->sim->radius, 17.0f, 1e-4);
    // A placeholder holds the arm's place, out of the collisions.
    TDP* placeholder = root->firstChild;
    EXPECT_NE(placeholder, arm);
    EXPECT_EQ(placeholder->nextSibling, other);
    EXPECT_TRUE(placeholder->flags & kTdpPlaceholder);
    EXPECT_FALSE(placeholder->flags & kTdpCollides);
    EXPECT_EQ(kqzSpawnScene(item, placeholder), item);
    EXPECT_EQ(kqzSpawnScene(piece, arm), piece); // a lone root
    TDP* stray = NewTDP();
    EXPECT_EQ(kqzSpawnScene(item, stray), item);
    EXPECT_TRUE(FatalStops().empty());
    EXPECT_EQ(kqzSpawnScene(item, nullptr), item);
    ASSERT_EQ(FatalStops().size(), 1u);
    EXPECT_EQ(FatalStops()[0], "kqzSpawnScene - TDPPtr==NULL");
}

// What one collision pass noted, by place in the scene list: each item's
// nearest obstacle and its closeness, and the contacts in their order.
struct PassNotes {
    std::vector<int> obstacle;
    std::vector<float> closeness;
    std::vector<std::pair<int, int>> contacts;
    int32_t pairs;
};

// Obstacles at the edges of what the grid picks: partners just inside and
// just outside five times the summed radii along each axis and diagonal,
// obstacles within each other's reach, in the tail group, larger than the
// crowd, and far beyond the crowd (outside the grid, and outside any cell);
// all of it near the origin and far from it. The grid must note what the
// plain loop notes.
PassNotes ObstaclePass(bool prefilter, const Vector3d& origin)
{
    ResetSimulation();
    ClearContacts();
    SetCollisionPrefilter(prefilter);
    std::vector<SceneItem*> items;
    const auto add = [&](const Vector3d& at, float r, int16_t flags = 0) {
        items.push_back(Body({origin.x + at.x, origin.y + at.y, origin.z + at.z}, r, kSolidPart, flags));
    };
    // The crowd that sets the grid's cells: radii 10 to 100.
    for (int i = 0; i < 60; ++i)
        add({(i % 4) * 250.0, (i / 4 % 5) * 250.0, (i / 20) * 250.0}, 10.0f + static_cast<float>(i * 37 % 91));
    const struct Rock {
        Vector3d at;
        float r;
        int16_t flags;
    } rocks[] = {
        {{5000, 0, 0}, 100, 0},
        {{-6000, 2000, 900}, 300, 0},
        {{-6000, 2000, -1000}, 120, kItemTailGroup}, // in reach of the one above
        {{0, -9000, 0}, 900, 0},                     // larger than 8 x the median
    };
    const double kDirections[][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {1, 1, 1}, {-1, 1, -1}};
    for (const Rock& rock : rocks) {
        add(rock.at, rock.r, static_cast<int16_t>(kItemObstacle | rock.flags));
        for (const auto& d : kDirections)
            for (float r : {10.0f, 300.0f})
                for (double share : {0.999, 1.001}) {
                    const double reach = 5.0 * (rock.r + r) * share;
                    const double step = (d[0] != 0) + (d[1] != 0) + (d[2] != 0) == 3 ? reach * 0.999 : reach;
                    add({rock.at.x + d[0] * step, rock.at.y + d[1] * step, rock.at.z + d[2] * step}, r,
                        r == 10.0f ? kItemTailGroup : 0);
                }
    }
    // Beyond the grid's span, and beyond any cell.
    for (double far : {1e13, -3e18}) {
        add({far, 0, 0}, 50, kItemObstacle);
        add({far, 0, 100}, 20);
        add({far, far, 0}, 20);
    }
    Collide();
    const auto place = [&items](const SceneItem* item) {
        const auto at = std::find(items.begin(), items.end(), item);
        return at == items.end() ? -1 : static_cast<int>(at - items.begin());
    };
    PassNotes notes;
    for (SceneItem* item : items) {
        notes.obstacle.push_back(place(item->avatar->obstacle));
        notes.closeness.push_back(item->avatar->obstacleCloseness);
    }
    for (const ContactCall& call : Contacts())
        notes.contacts.push_back({place(call.self), place(call.other)});
    notes.pairs = CollisionPairTests();
    return notes;
}

TEST_F(CollisionTest, TheGridNotesTheObstaclesThePlainLoopNotes)
{
    for (const Vector3d& origin : {Vector3d{0, 0, 0}, Vector3d{1e9, -3e9, 7e8}}) {
        SCOPED_TRACE(origin.x);
        const PassNotes plain = ObstaclePass(false, origin);
        const PassNotes grid = ObstaclePass(true, origin);
        EXPECT_EQ(grid.obstacle, plain.obstacle);
        EXPECT_EQ(grid.closeness, plain.closeness);
        EXPECT_EQ(grid.contacts, plain.contacts);
        // The partners just inside on an axis (but those of the tail group
        // with the obstacle in it), the two obstacles within reach of each
        // other and partners of one nearer the other, and the two far ones.
        EXPECT_EQ(std::count_if(plain.obstacle.begin(), plain.obstacle.end(), [](int o) { return o >= 0; }), 56);
        EXPECT_FALSE(plain.contacts.empty());
        EXPECT_LT(grid.pairs, plain.pairs / 4);
    }
}

TEST_F(CollisionTest, ThePrefilterTestsFewerPairsAndChangesNothing)
{
    SetCollisionPrefilter(false);
    worldscenario::BuildCollisionFlight(31, kMaxSceneItems - 1);
    const uint64_t plain = worldscenario::Run(2000, 5);
    const uint32_t plainMessages = GetMessageStats().messagesPosted;
    const int32_t plainPairs = CollisionPairTests();
    SetCollisionPrefilter(true);
    worldscenario::BuildCollisionFlight(31, kMaxSceneItems - 1);
    const uint64_t sweep = worldscenario::Run(2000, 5);
    EXPECT_EQ(sweep, plain);
    EXPECT_EQ(GetMessageStats().messagesPosted, plainMessages);
    EXPECT_GT(plainMessages, 100u);             // the ships did collide
    EXPECT_EQ(plainPairs, 79800 - 80 * 79 / 2); // the 80 of the tail group meet no other
    EXPECT_LT(CollisionPairTests(), plainPairs / 20);
    EXPECT_TRUE(FatalStops().empty());
}
