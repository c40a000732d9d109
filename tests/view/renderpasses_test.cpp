// The scene update: TDP actors in the worlds, the per-frame placing and
// level of detail, the LDS stretch, taking an emitter out of its tree, and
// a parked item coming back into the scene.
#include "tests/view/view_fixture.h"

#include "screens/bridge.h"

namespace {

using viewtest::ViewTest;

class SceneUpdate : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        viewer = worldtest::MakeItem();
        Place(viewer, 0, 0, 0); // the Avatar takes the Sim's matrix
        material = Flat("grey", 60);
        full = Cube("full", 100, material);
        reduced = Cube("reduced", 100, material);
    }
    void TearDown() override
    {
        gLdsStretch = 0;
        gPlayerItem = nullptr;
        ViewTest::TearDown();
    }
    // Prepares the view (building the worlds on the first call).
    void Prepare()
    {
        const ViewRect viewport{0, 0, 639, 479};
        PrepareView(viewer, &viewport);
    }

    SceneItem* viewer = nullptr;
    hx_material* material = nullptr;
    hx_model* full = nullptr;
    hx_model* reduced = nullptr;
};

TEST_F(SceneUpdate, TheFirstViewBuildsTheWorldsAndAttachesTheScene)
{
    SceneItem* ship = Show(full, 0, 0, 5000, 87);
    TDP* part = AddChildTDP(ship->avatar->root, reduced, 0, 200, 0);
    part->flags |= kTdpInScene;
    part->materialName = "grey";
    TDP* hidden = AddChildTDP(ship->avatar->root, reduced, 0, 0, 0); // not in the scene
    SceneItem* body = Show(full, 0, 0, 5000, 87);
    body->avatar->classFlags |= 0x2000000; // a hidden body
    Prepare();
    ASSERT_NE(gView.mainWorld, nullptr);
    EXPECT_EQ(gRebuild3D, 0);
    ASSERT_NE(ship->avatar->root->actor, nullptr);
    EXPECT_EQ(ship->avatar->root->actor->parent, gView.mainWorld);
    EXPECT_EQ(ship->avatar->root->actor->user, ship->avatar->root);
    ASSERT_NE(part->actor, nullptr);
    EXPECT_EQ(part->actor->material, material);
    EXPECT_EQ(hidden->actor, nullptr);
    EXPECT_EQ(body->avatar->root->actor, nullptr);
    // Levels of detail: full and reduced the model (until reduced models
    // exist), one point the model that draws nothing.
    TDP* root = ship->avatar->root;
    EXPECT_EQ(root->lod[0], full);
    EXPECT_EQ(root->lod[1], full);
    ASSERT_NE(root->lod[2], nullptr);
    EXPECT_EQ(root->lod[2], GetOnePointModel());
    EXPECT_EQ(root->lod[2]->flags & 0x26, 0x26);
    EXPECT_EQ(std::string(root->lod[2]->identifier), "one point");
    // The part is placed at its offset from the item: world and view positions.
    EXPECT_FLOAT_EQ(part->worldPosition.y, 200.0f);
    EXPECT_FLOAT_EQ(part->worldPosition.z, 5000.0f);
    EXPECT_FLOAT_EQ(part->actor->t.t.mat.m[3][1], 200.0f);
    EXPECT_FLOAT_EQ(part->viewPosition.z, 5000.0f);
}

TEST_F(SceneUpdate, ViewPositionsAreInTheViewersAxes)
{
    SceneItem* ship = Show(full, 1000, 0, 0, 87);
    Place(viewer, 0, 0, -500);
    MatSetRotY(90, viewer->sim->matrix); // the viewer looks along +x
    viewer->avatar->matrix = viewer->sim->matrix;
    Prepare();
    const Vector3& v = ship->avatar->root->viewPosition;
    EXPECT_NEAR(std::fabs(v.z), 1000.0f, 1e-2f);
    EXPECT_NEAR(std::fabs(v.x), 500.0f, 1e-2f);
}

// s = radius x 900 / depth, with the radius chosen at a depth of 900.
struct LodCase {
    int current; // 0 full, 1 reduced, 2 one point
    float s;
    int expected;
};

TEST_F(SceneUpdate, LevelOfDetailFollowsTheApparentSizeWithHysteresis)
{
    SceneItem* ship = Show(full, 0, 0, 900, 30);
    Prepare();
    TDP* tdp = ship->avatar->root;
    ASSERT_NE(tdp->actor, nullptr);
    tdp->lod[1] = reduced;
    // clang-format off
    const LodCase cases[] = {
        {0, 7, 2}, {0, 9, 1}, {0, 11, 1}, {0, 23, 0}, {0, 25, 0},
        {1, 7, 2}, {1, 9, 1}, {1, 11, 1}, {1, 23, 1}, {1, 25, 0},
        {2, 7, 2}, {2, 9, 2}, {2, 11, 1}, {2, 23, 1}, {2, 25, 0},
    };
    // clang-format on
    for (const LodCase& c : cases) {
        tdp->actor->model = tdp->lod[c.current];
        tdp->radius = c.s;
        tdp->viewPosition = {0, 0, 900};
        UpdateTdpDetail(tdp);
        EXPECT_EQ(tdp->actor->model, tdp->lod[c.expected]) << "from " << c.current << " at s = " << c.s;
    }
}

TEST_F(SceneUpdate, BeyondTheCameraOnlyThePlanetLayerKeepsItsDetail)
{
    SceneItem* ship = Show(full, 0, 0, 900, 1e6f);
    SceneItem* planet = Show(reduced, 0, 0, 900, 1e6f, kTdpPlanetLayer);
    Prepare();
    for (SceneItem* item : {ship, planet}) {
        item->avatar->root->viewPosition = {0, 0, 2e7f};
        UpdateTdpDetail(item->avatar->root);
    }
    EXPECT_EQ(ship->avatar->root->actor->model, GetOnePointModel());
    EXPECT_EQ(planet->avatar->root->actor->model, reduced);
}

TEST_F(SceneUpdate, APartInTheSceneGetsItsActorAboveAnApparentSizeOf20)
{
    Prepare();
    SceneItem* ship = Show(full, 0, 0, 900, 20);
    TDP* tdp = ship->avatar->root;
    Prepare();
    EXPECT_EQ(tdp->actor, nullptr) << "s = 20 is not above 20";
    Place(ship, 0, 0, 800);
    Prepare();
    ASSERT_NE(tdp->actor, nullptr);
    EXPECT_EQ(tdp->actor->parent, gView.mainWorld);
    EXPECT_EQ(tdp->actor->model, full);
}

TEST_F(SceneUpdate, APartWhoseRadiusIsNotKnownIsMeasuredByItsModel)
{
    SceneItem* ship = Show(full, 0, 0, 900, 0); // the cube's bounding radius is 86.6
    Prepare();
    ASSERT_NE(ship->avatar->root->actor, nullptr);
    EXPECT_EQ(ship->avatar->root->actor->model, full);
    Place(ship, 0, 0, 20000); // s = 3.9
    Prepare();
    EXPECT_EQ(ship->avatar->root->actor->model, GetOnePointModel());
}

TEST_F(SceneUpdate, AParkedItemBroughtBackIsInTheMainWorldAgain)
{
    SceneItem* ship = Show(full, 0, 0, 5000, 87);
    TDP* part = AddChildTDP(ship->avatar->root, reduced, 50, 0, 0);
    part->flags |= kTdpInScene;
    Prepare();
    ASSERT_NE(ship->avatar->root->actor, nullptr);
    ParkSceneItem(ship, 1e9, 0, 0);
    EXPECT_EQ(ship->avatar->root->actor, nullptr);
    EXPECT_EQ(part->actor, nullptr);
    ShiftSceneItem(ship, 1e9, 0, 0);
    ASSERT_NE(ship->avatar->root->actor, nullptr);
    ASSERT_NE(part->actor, nullptr);
    EXPECT_EQ(ship->avatar->root->actor->parent, gView.mainWorld);
    EXPECT_EQ(part->actor->parent, gView.mainWorld);
    EXPECT_EQ(part->actor->model, reduced);
}

TEST_F(SceneUpdate, FreeingTheWorldsLeavesNoActorBehind)
{
    SceneItem* ship = Show(full, 0, 0, 5000, 87);
    Prepare();
    ASSERT_NE(ship->avatar->root->actor, nullptr);
    FreeP3DWorlds();
    EXPECT_EQ(gView.mainWorld, nullptr);
    EXPECT_EQ(ship->avatar->root->actor, nullptr);
    EXPECT_EQ(gRebuild3D, 255);
    Prepare(); // built again, with a new actor
    ASSERT_NE(ship->avatar->root->actor, nullptr);
    EXPECT_EQ(ship->avatar->root->actor->parent, gView.mainWorld);
}

TEST_F(SceneUpdate, AnEmitterIsAttachedThroughTheParticleDummy)
{
    Prepare();
    SceneItem* ship = Show(full, 0, 0, 5000, 87);
    ParticleEmitter emitter{};
    TDP* tdp = AddChildTDP(ship->avatar->root, nullptr, 0, 0, 0);
    tdp->flags |= kTdpInScene | kTdpEmitter;
    EXPECT_EQ(AttachTdpToScene(tdp, &emitter, 1), 1);
    ASSERT_NE(tdp->actor, nullptr);
    EXPECT_EQ(tdp->emitter, &emitter);
    EXPECT_EQ(tdp->actor->type_data, &emitter);
    EXPECT_TRUE(tdp->actor->model->flags & HX_MODF_CUSTOM);
    FreeP3DWorlds();
    EXPECT_EQ(AttachTdpToScene(tdp, &emitter, 1), 1) << "no world: attached at the next build";
    EXPECT_EQ(tdp->actor, nullptr);
}

// ---- the LDS stretch ---------------------------------------------------------------------

struct StretchCase {
    float ldsSpeed;
    float factor; // added along the travel
};

TEST_F(SceneUpdate, FastPartsStretchAlongTheViewersLdsTravel)
{
    SceneItem* player = worldtest::MakeItem();
    gPlayerItem = player;
    player->sim->flags |= kSimLdsEngaged;
    player->sim->velocity = {0, 0, 3e6f};
    gLdsStretch = 255;
    SceneItem* beam = Show(full, 0, 0, 5000, 1e4f, 0x10000);
    Prepare();
    TDP* tdp = beam->avatar->root;
    ASSERT_NE(tdp->actor, nullptr);
    const StretchCase cases[] = {{1e5f, 0}, {2e6f, 19}, {1e9f, 20}};
    for (const StretchCase& c : cases) {
        player->sim->thrust.z = c.ldsSpeed;
        Matrix4 m;
        MatIdentity(m);
        PlaceTdpActor(tdp, &m);
        EXPECT_NEAR(tdp->actor->t.t.mat.m[2][2], 1 + c.factor, 1e-3f) << c.ldsSpeed;
        EXPECT_FLOAT_EQ(tdp->actor->t.t.mat.m[0][0], 1.0f); // across the travel: unchanged
    }
    // Without the LDS flag of the drive no part stretches.
    gLdsStretch = 0;
    Matrix4 m;
    MatIdentity(m);
    PlaceTdpActor(tdp, &m);
    EXPECT_FLOAT_EQ(tdp->actor->t.t.mat.m[2][2], 1.0f);
}

// ---- taking an emitter out ---------------------------------------------------------------

// The tree: root -> a -> (a1, a2); a's next sibling b -> b1; b's next c.
struct Tree {
    SceneItem* item;
    TDP *root, *a, *a1, *a2, *b, *b1, *c;
};

Tree MakeTree()
{
    Tree t{};
    t.item = worldtest::MakeItem();
    t.root = t.item->avatar->root;
    t.a = AddChildTDP(t.root, nullptr, 0, 0, 0); // each added behind the others
    t.b = AddChildTDP(t.root, nullptr, 0, 0, 0);
    t.c = AddChildTDP(t.root, nullptr, 0, 0, 0);
    t.a1 = AddChildTDP(t.a, nullptr, 0, 0, 0);
    t.a2 = AddChildTDP(t.a, nullptr, 0, 0, 0);
    t.b1 = AddChildTDP(t.b, nullptr, 0, 0, 0);
    return t;
}

// The TDPs in depth-first order, children before siblings.
void Walk(const TDP* tdp, std::string& out, const Tree& t)
{
    for (; tdp; tdp = tdp->nextSibling) {
        const char* name = tdp == t.root ? "r" : tdp == t.a ? "a"
                                             : tdp == t.a1  ? "a1"
                                             : tdp == t.a2  ? "a2"
                                             : tdp == t.b   ? "b"
                                             : tdp == t.b1  ? "b1"
                                                            : "c";
        out += name;
        out += tdp->firstChild ? "(" : " ";
        if (tdp->firstChild) {
            Walk(tdp->firstChild, out, t);
            out += ") ";
        }
    }
}

TEST_F(SceneUpdate, RemovingAnEmitterKeepsItsChildrenAndSiblingsInTheTree)
{
    struct Case {
        TDP* Tree::*removed;
        const char* after;
    };
    const Case cases[] = {
        {&Tree::a, "r(a1 a2 b(b1 ) c ) "},    // child and sibling: the sibling behind the children
        {&Tree::a1, "r(a(a2 ) b(b1 ) c ) "},  // a first child with a sibling
        {&Tree::b, "r(a(a1 a2 ) b1 c ) "},    // a later sibling with a child
        {&Tree::c, "r(a(a1 a2 ) b(b1 ) ) "},  // the last: nothing behind it
        {&Tree::root, "a(a1 a2 ) b(b1 ) c "}, // the root: its child takes the item's root
    };
    for (const Case& c : cases) {
        Tree t = MakeTree();
        TDP* removed = t.*c.removed;
        ParticleEmitter emitter{};
        emitter.flags = 1;
        removed->emitter = &emitter;
        removed->flags |= kTdpInScene | kTdpEmitter;
        RemoveParticleSystem(removed);
        std::string shape;
        Walk(t.item->avatar->root, shape, t);
        EXPECT_EQ(shape, c.after);
        EXPECT_EQ(emitter.flags & 1, 0u);
        EXPECT_EQ(removed->flags & (kTdpInUse | kTdpInScene | kTdpEmitter), 0u);
        EXPECT_EQ(removed->perFrame, &PlaceTdpActor);
        EXPECT_TRUE(worldtest::FatalStops().empty());
    }
}

TEST_F(SceneUpdate, RemovingAnEmitterReportsAMissingOwnerOrAStaleTdp)
{
    Tree t = MakeTree();
    TDP orphan{};
    orphan.flags = kTdpInUse | kTdpEmitter;
    RemoveParticleSystem(&orphan);
    ASSERT_EQ(worldtest::FatalStops().size(), 1u);
    EXPECT_EQ(worldtest::FatalStops()[0], "RemoveParticleSystem - ScenePtr==NULL");
    EXPECT_EQ(orphan.flags, kTdpInUse | kTdpEmitter); // nothing more

    t.b->flags &= ~kTdpInUse;
    RemoveParticleSystem(t.b);
    ASSERT_EQ(worldtest::FatalStops().size(), 2u);
    EXPECT_EQ(worldtest::FatalStops()[1], "RemoveParticleSystem - not 3DP_CURRENT");
    std::string shape;
    Walk(t.root, shape, t);
    EXPECT_EQ(shape, "r(a(a1 a2 ) b1 c ) "); // and the removal goes on
}

} // namespace
