// The bodies' render callbacks (placement from double positions, detail
// through the planet model pool, the star dummy's glow) and the tumbling
// corpse of a wreck.
#include "tests/view/view_fixture.h"

#include "script/symbols.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "tests/support/corpse_fixture.h"
#include "view/bodyrender.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/universe.h"

namespace {

using namespace viewtest;

class BodyTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        gBodyRenderStats = {};
        BuildMainWorld();
        green = Flat("green", 40);
        sphere = Cube("sphere", 2, green);
        for (PlanetModelSlot& slot : gPlanetModelSlots)
            slot = PlanetModelSlot{};
        gPlanetModelSlots[0].model = sphere;
        gPlanetModelSlotsInUse = 1;
        viewer = Show(nullptr, 0, 0, 0, 0);
        gView.viewer = viewer;
    }
    void TearDown() override
    {
        for (PlanetModelSlot& slot : gPlanetModelSlots)
            slot = PlanetModelSlot{};
        gPlanetModelSlotsInUse = kPlanetModelSlots;
        gView.viewer = nullptr;
        ViewTest::TearDown();
    }
    // A body of the radius in scene whose root names a planet texture,
    // synced by UpdatePlanetRender.
    SceneItem* Body(double z, float radius)
    {
        SceneItem* body = Show(nullptr, 0, 0, float(z), radius);
        body->sim->position.z = z;
        body->avatar->root->materialName = "earth";
        body->avatar->tdpSync = UpdatePlanetRender;
        return body;
    }
    static hx_model* Shown(const SceneItem* item)
    {
        const TDP* root = item->avatar->root;
        return root->actor ? root->actor->model : nullptr;
    }

    hx_material* green = nullptr;
    hx_model* sphere = nullptr;
    SceneItem* viewer = nullptr;
};

// Apparent size s = radius / 4 x 900 / d, d the mean of the camera-relative
// position's three components.
TEST_F(BodyTest, DetailFollowsTheApparentSizeThroughThePlanetPool)
{
    SceneItem* near = Body(300000, 40000); // d = 100000: s = 90
    SceneItem* far = Body(3e7, 40000);     // s = 0.9
    UpdatePlanetRender(far);
    EXPECT_EQ(Shown(far), nullptr) << "too small to be attached";
    UpdatePlanetRender(near);
    EXPECT_EQ(Shown(near), sphere);
    EXPECT_EQ(gPlanetModelSlots[0].user, near->avatar->root);
    EXPECT_FLOAT_EQ(gPlanetModelSlots[0].priority, 90.0f);

    // The one slot is taken: a second large body is refused and shows a point.
    SceneItem* second = Body(-250000, 40000); // s = 108 > 90: it wins the slot
    SceneItem* third = Body(600000, 40000);   // s = 45: refused
    UpdatePlanetRender(second);
    EXPECT_EQ(Shown(second), sphere);
    UpdatePlanetRender(third);
    EXPECT_EQ(Shown(third), GetOnePointModel());
    EXPECT_EQ(gBodyRenderStats.rendered, 4);
    EXPECT_EQ(gBodyRenderStats.drawn, 2);

    // On the camera itself: s = 0, one point.
    TDP* root = near->avatar->root;
    root->viewPosition = {0, 0, 0};
    SelectPlanetDetail(root, root);
    EXPECT_EQ(Shown(near), GetOnePointModel());
}

TEST_F(BodyTest, AStarDummyOnlyTakesItsGlowSize)
{
    hx_model* dummy = Cube("stardummy", 2, green);
    SceneItem* star = Body(300000, 40000);
    TDP* root = star->avatar->root;
    ASSERT_EQ(AttachTdpToScene(root, dummy, 0), 1);
    UpdatePlanetRender(star);
    EXPECT_EQ(Shown(star), dummy);
    EXPECT_FLOAT_EQ(root->glowSize, 90.0f * 1.7f);
    EXPECT_EQ(gPlanetModelSlots[0].user, nullptr);
}

TEST_F(BodyTest, ABodyIsPlacedFromItsDoublePositionAtItsDrawnSize)
{
    SceneItem* body = Body(0, 40000);
    body->sim->position = {1e9 + 0.5, 0, 500000};
    viewer->sim->position = {1e9, 0, 0};
    viewer->sim->matrix.m[12] = 1e9f;
    body->avatar->params[kParamSize] = 2000; // drawn twice its size
    TDP* part = AddChildTDP(body->avatar->root, nullptr, 1000, 0, 0);
    UpdatePlanetRender(body);
    // Relative to the viewer from the doubles: the half unit survives.
    EXPECT_FLOAT_EQ(body->avatar->root->viewPosition.x, 0.5f);
    EXPECT_FLOAT_EQ(body->avatar->root->viewPosition.z, 500000.0f);
    EXPECT_FLOAT_EQ(body->sim->matrix.m[14], 500000.0f);
    // A child part hangs from the scaled matrix.
    body->sim->position = {0, 0, 500000};
    UpdatePlanetRender(body);
    EXPECT_FLOAT_EQ(part->worldPosition.x, 2000.0f);
}

TEST_F(BodyTest, RefreshingMeasuresEachBodyFromThePlayersShip)
{
    SceneItem* player = Show(nullptr, 0, 0, 0, 0);
    gPlayerItem = player;
    player->sim->position = {100000, 0, 0};
    SceneItem* body = Body(0, 40000);
    body->sim->position = {400000, -300000, 600000}; // d = 400000: s = 22.5
    SceneItem* ship = Show(nullptr, 0, 0, 10, 40000);
    RefreshPlanetDetail();
    const Vector3& at = body->avatar->root->viewPosition;
    EXPECT_FLOAT_EQ(at.x, 300000.0f);
    EXPECT_FLOAT_EQ(at.y, -300000.0f);
    EXPECT_FLOAT_EQ(at.z, 600000.0f);
    EXPECT_EQ(Shown(body), sphere);
    EXPECT_EQ(Shown(ship), nullptr);
    gPlayerItem = nullptr;
}

class CorpseTest : public worldtest::WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        static const bool scriptsStarted = (InitializeScriptSystem(), true); // once a process
        (void)scriptsStarted;
        model = corpsetest::GiveCorpseModel();
        player = worldtest::MakeItem();
        gPlayerItem = gControlledItem = player;
    }
    void TearDown() override
    {
        ResShutdown();
        WorldTest::TearDown();
    }
    SceneItem* Corpse() const
    {
        for (SceneItem* i = gSceneList.next; i != &gSceneList; i = i->next)
            if (i->perFrame == BallisticStep && i->avatar->root->model == model)
                return i;
        return nullptr;
    }
    // The delay of the corpse's own delete message, in ticks.
    int32_t DeleteDelay(const SceneItem* corpse) const
    {
        ItemMessage message{};
        const uint32_t start = gFrameClock.gameClock;
        int32_t delay = -1;
        for (int32_t t = 0; t <= 10000 && delay < 0; t += 100) {
            gFrameClock.gameClock = start + uint32_t(t);
            if (FetchItemMessage(corpse->receiver, &message) && message.kind == 0)
                delay = message.due - int32_t(start);
        }
        gFrameClock.gameClock = start;
        return delay;
    }

    const hx_model* model = nullptr;
    SceneItem* player = nullptr;
};

TEST_F(CorpseTest, NoCorpseBeyondThreeHundredThousandUnits)
{
    SceneItem* wreck = worldtest::MakeItem();
    wreck->sim->position = {0, 0, 300001};
    SpawnCorpse(wreck);
    EXPECT_EQ(Corpse(), nullptr);
    wreck->sim->position = {0, 0, 300000};
    SpawnCorpse(wreck);
    EXPECT_NE(Corpse(), nullptr);
}

TEST_F(CorpseTest, TheViewersOwnWreckDriftsAheadForFifteenSeconds)
{
    player->sim->position = {1000, 2000, 3000};
    SpawnCorpse(player);
    SceneItem* corpse = Corpse();
    ASSERT_NE(corpse, nullptr);
    EXPECT_EQ(gSceneList.next, corpse); // at the head of the list
    EXPECT_DOUBLE_EQ(corpse->sim->position.z, 3000.0 + 4200.0);
    EXPECT_LE(std::fabs(corpse->sim->position.x - 1000.0), 1500.0);
    EXPECT_LE(std::fabs(corpse->sim->position.y - 2000.0), 1500.0);
    EXPECT_FLOAT_EQ(corpse->sim->velocity.z, 1200.0f);
    EXPECT_EQ(corpse->sim->mass, 50.0f);
    EXPECT_EQ(corpse->message, &HandleItemMessages);
    EXPECT_EQ(corpse->control, nullptr);
    EXPECT_TRUE(corpse->avatar->root->flags & kTdpInScene);
    EXPECT_FALSE(corpse->avatar->root->flags & kTdpNew);
    EXPECT_GE(corpse->pitchDemand, -25.0f);
    EXPECT_LE(corpse->pitchDemand, 24.0f);
    EXPECT_EQ(DeleteDelay(corpse), 15 * 100 + 600);
}

TEST_F(CorpseTest, AnotherWreckFliesIntoTheViewersSight)
{
    player->sim->velocity = {100, 0, 0};
    SceneItem* wreck = worldtest::MakeItem();
    wreck->sim->position = {0, 0, -90000}; // t = 90000 / 4500 = 20 seconds
    SpawnCorpse(wreck);
    SceneItem* corpse = Corpse();
    ASSERT_NE(corpse, nullptr);
    const Vector3& v = corpse->sim->velocity;
    // After t seconds it stands 10000 ahead of where the viewer then is.
    EXPECT_NEAR(corpse->sim->position.x + v.x * 20, 100 * 20, 1e-3);
    EXPECT_NEAR(corpse->sim->position.z + v.z * 20, 10000, 1e-3);
    EXPECT_EQ(DeleteDelay(corpse), 20 * 100 + 600);
}

} // namespace
