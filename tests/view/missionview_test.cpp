// The demo data's first mission seen from the player's ship: its script
// makes the ships from the data tree's shapes, and the view draws each one
// in view where its position projects.
#include "tests/view/view_fixture.h"

#include <string>

#include "../script/script_test_support.h"
#include "screens/bridge.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/res/resman.h"
#include "view/lwoloader.h"
#include "world/floatingorigin.h"
#include "world/scenelist.h"

namespace {

using viewtest::kHeight;
using viewtest::kWidth;
using viewtest::ViewTest;

void IgnoreBox(const char*, const char*) {}

class MissionView : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        BeginScriptTest();
        SetMessageBoxHook(IgnoreBox); // textures the demo tree does not have
        SetLwoSmoothingCache(false);  // nothing is written into the data tree
        std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
        ASSERT_GT(ResInit(), 0u);
    }
    void TearDown() override
    {
        gExternalView = 0;
        ResetSimulation();
        ResShutdown();
        EndScriptTest();
        SetLwoSmoothingCache(true);
        ViewTest::TearDown();
    }
    static SceneItem* Ship(const char* name)
    {
        const ScriptSymbol* symbol = FindScriptSymbol(name);
        return symbol ? SymbolObject(symbol) : nullptr;
    }
};

TEST_F(MissionView, TheEscortAndTheStationCoverTheirProjectedPlaces)
{
    const ScriptToken* start = TokeniseScript("mission01.scr");
    ASSERT_NE(start, nullptr);
    uint32_t position = uint32_t(start - gScriptBuffers.tokens);
    RunScript(&position, false); // the ships are made before the first wait
    SceneItem* hero = Ship("hero");
    ASSERT_NE(hero, nullptr);
    ASSERT_EQ(gPlayerItem, hero);
    ForEachSceneItem([](SceneItem* item) {
        CopySimToAvatar(item);
        return true;
    });

    // The external view's wider field shows the escort beside the player.
    gExternalView = 255;
    WindowHandle* view = ViewWindow(hero);
    RenderViewWindow(view);
    for (const char* name : {"escort", "base"}) {
        SCOPED_TRACE(name);
        SceneItem* ship = Ship(name);
        ASSERT_NE(ship, nullptr);
        const TDP* root = ship->avatar->root;
        ASSERT_NE(root->actor, nullptr);
        const Vector3& v = root->viewPosition;
        ASSERT_GT(v.z, 0.0f);
        const int x = kWidth / 2 + int(v.x * gProjectionDistance / v.z);
        const int y = kHeight / 2 + int(v.y * gProjectionDistance / v.z);
        ASSERT_GE(x, 0);
        ASSERT_LT(x, kWidth);
        ASSERT_GE(y, 0);
        ASSERT_LT(y, kHeight);
        EXPECT_NE(At(x, y), 176u) << "at " << x << "," << y;
        // Its screen rectangle holds the point.
        EXPECT_LE(root->screenRect[0] + kWidth / 2, x);
        EXPECT_GE(root->screenRect[2] + kWidth / 2, x);
    }
    // The player's own ship, hidden while its view was drawn, is shown again.
    EXPECT_EQ(hero->avatar->root->actor->render_style, HX_RSTYLE_DEFAULT);
}

TEST_F(MissionView, TheStockScriptGivesTheRemotePaletteAndTheCorpseModel)
{
    const ScriptToken* start = TokeniseScript("zqk\\resource\\scripts\\init\\stock.scr");
    ASSERT_NE(start, nullptr);
    uint32_t position = uint32_t(start - gScriptBuffers.tokens);
    RunScript(&position, false);
    const ScriptSymbol* palette = FindScriptSymbol("REMPalette");
    ASSERT_NE(palette, nullptr);
    const auto* entries = static_cast<const GamePalette*>(ResGet(static_cast<Resource*>(palette->value)));
    ASSERT_NE(entries, nullptr);
    const PaletteEntry& white = entries->entries[250];
    EXPECT_GT(white.green, white.red); // a green-tinted view
    EXPECT_GT(white.green, white.blue);
    Resource* corpse = CorpseModelResource();
    ASSERT_NE(corpse, nullptr);
    const auto* model = static_cast<const hx_model*>(ResGet(corpse));
    ASSERT_NE(model, nullptr);
    EXPECT_GT(model->nfaces, 0);
}

} // namespace
