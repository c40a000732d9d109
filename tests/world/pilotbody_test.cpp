// The pilot's body left when the player's ship is deleted: its model is the
// resource that "CorpseMd" names, loaded by the LightWave loader, and its
// radius comes from that model's collision record.
#include "tests/view/lwo_fixture.h"

#include "script/symbols.h"
#include "system/calltrace.h"
#include "system/res/resman.h"
#include "tests/support/world_fixture.h"
#include "world/scenelist.h"

using namespace lwotest;

namespace {

class PilotBody : public LwoTest {
protected:
    void SetUp() override
    {
        LwoTest::SetUp();
        InitializeScriptSystem();
        ASSERT_GT(ResInit(), 0u);
        ResetSimulation();
        ClearCallTrace();
        EnableCallTrace(true);
    }
    void TearDown() override
    {
        EnableCallTrace(false);
        ClearCallTrace();
        ResetSimulation();
        ResShutdown();
        LwoTest::TearDown();
    }

    // The player's ship, moving slowly ahead.
    static SceneItem* PlayerShip()
    {
        SceneItem* ship = worldtest::MakeItem();
        worldtest::MakeShip(ship);
        gPlayerItem = gControlledItem = ship;
        return ship;
    }
};

TEST_F(PilotBody, TheBodyShowsTheCorpseModelAtTheRadiusOfItsHull)
{
    WriteObject("zqk\\resource\\shapes\\corpse.lwo", Triangle());
    Resource* resource = ResRegisterLoad("zqk\\resource\\shapes\\corpse.lwo", ResType::LwoModel);
    ASSERT_NE(resource, nullptr);
    hx_model* model = static_cast<hx_model*>(resource->data);
    ASSERT_NE(model, nullptr);
    // The loader made the model's collision record; the bounds code (not
    // run here) gives it its radius.
    HullBounds* hull = FindHullBounds(model);
    ASSERT_NE(hull, nullptr);
    hull->radius = 250.0f;
    ScriptSymbol* symbol = AddScriptSymbol("CorpseMd", nullptr, 0);
    ASSERT_NE(symbol, nullptr);
    symbol->value = resource;
    symbol->type = kSymbolResource;

    DeleteSceneItem(PlayerShip());
    SceneItem* body = gPlayerItem;
    ASSERT_NE(body, nullptr);
    TDP* root = body->avatar->root;
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->model, model);
    EXPECT_EQ(root->hullBounds, hull);
    EXPECT_EQ(root->radius, 250.0f);
    EXPECT_EQ(body->sim->radius, 250.0f);
    EXPECT_TRUE(root->flags & kTdpInScene);
    EXPECT_STREQ(body->sim->shipInfo->name, "Body");

    // A symbol naming something other than a model gives a body without one.
    ResetSimulation();
    ClearCallTrace();
    Resource* text = ResRegister("zqk\\resource\\text\\none.txt", ResType::Text);
    ASSERT_NE(text, nullptr);
    symbol->value = text;
    DeleteSceneItem(PlayerShip());
    ASSERT_NE(gPlayerItem, nullptr);
    EXPECT_EQ(gPlayerItem->avatar->root->model, nullptr);
    EXPECT_EQ(gPlayerItem->sim->radius, 0.0f);
    symbol->value = nullptr;
}

} // namespace
