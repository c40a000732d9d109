// The demo data's first mission seen from the player's ship: its script
// makes the ships from the data tree's shapes, and the view draws each one
// in view where its position projects.
#include "tests/view/view_fixture.h"

#include <string>

#include "../script/script_test_support.h"
#include "screens/bridge.h"
#include "framework/sys_conf.h"
#include "framework/token_ids.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/res/resman.h"
#include "view/particles.h"
#include "view/skyandlights.h"
#include "view/effectmodels.h"
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
    const ScriptToken* start = TokeniseScript("testflight98.scr");
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

// The flight as the STARFIELD statement leaves it (stars and the background
// worlds) with a burst of sparks at the escort: the star and particle passes
// draw into the flight view.
TEST_F(MissionView, TheStarAndParticlePassesDrawIntoTheFlightView)
{
    const ScriptToken* start = TokeniseScript("testflight98.scr");
    ASSERT_NE(start, nullptr);
    uint32_t position = uint32_t(start - gScriptBuffers.tokens);
    RunScript(&position, false);
    SceneItem* hero = Ship("hero");
    SceneItem* escort = Ship("escort");
    ASSERT_TRUE(hero && escort);
    ForEachSceneItem([](SceneItem* item) {
        CopySimToAvatar(item);
        return true;
    });
    // Blend tables that turn every blended pixel into one colour.
    const GlowTables saved = gGlowTables;
    std::vector<uint8_t> blend(kBlendTablesSize, 200), glow(size_t(kGlowMapSize) * kGlowMapSize, 1);
    gGlowTables.blend = blend.data();
    gGlowTables.glowMaps[0] = gGlowTables.glowMaps[1] = glow.data();
    gExternalView = 255;
    WindowHandle* view = ViewWindow(hero);
    CreateCelestialSphere();
    gBackgroundStarCount = 0;
    RenderViewWindow(view);
    const std::vector<uint8_t> bare = frame;

    CRandSeed(3);
    BuildStarCatalogue();
    ASSERT_NE(AttachParticleEmitter(escort, nullptr, 0, kEmitterGeneral | kEmitterBurst, 1000, 100, 50, 2000.0f, 0,
                                    360.0f),
              nullptr);
    RenderViewWindow(view);
    int stars = 0, sparks = 0;
    for (size_t i = 0; i < frame.size(); ++i) {
        if (frame[i] == bare[i])
            continue;
        stars += bare[i] == 176 && frame[i] >= 16 && frame[i] < 48;
        sparks += frame[i] == 200;
    }
    EXPECT_GT(stars, 50);
    EXPECT_GT(sparks, 50);
    gGlowTables = saved;
    gBackgroundStarCount = 0;
}

// The stock script names the sky sphere and the antimatter ball of the data
// tree; the sky's textures are found by name.
TEST_F(MissionView, TheStockScriptGivesTheSkySphereAndTheAntimatterBall)
{
    const ScriptToken* start = TokeniseScript("zqk\\resource\\scripts\\init\\stock.scr");
    ASSERT_NE(start, nullptr);
    uint32_t position = uint32_t(start - gScriptBuffers.tokens);
    RunScript(&position, false);
    hx_model* ball = LoadAntiMatterModel();
    ASSERT_NE(ball, nullptr);
    EXPECT_GT(ball->nfaces, 0);
    gNebulaOn = 255;
    CreateCelestialSphere();
    ASSERT_NE(gView.celestialSphere, nullptr);
    EXPECT_GT(gView.celestialSphere->model->nfaces, 0);
    gNebulaOn = 0;
    // The framework's search path as the game sets it (this fixture began
    // the framework before the view set the environment).
    ASSERT_EQ(HxSystemConfigSetString(HXT_HEXMIRE_PATH_STR, "hexmire\\dll;hexmire\\dat"), HX_OK);
    for (const char* texture : {"nebula_purple", "GateEdge1", "GateEdge2", "GateEdge3", "GateEdge4"})
        EXPECT_NE(HxMapFind(texture), nullptr) << texture;
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

TEST_F(MissionView, TheLargeRockIsDrawnFarAwayAsACardOfItsSmallTopAndBottomMaps)
{
    int32_t size = 0;
    hx_model* rock = LWO2HXM("zqk\\resource\\shapes\\LargeAsteroid_RTO.lwo", nullptr, &size);
    ASSERT_NE(rock, nullptr);
    hx_model* card = MakeReducedModel(rock);
    ASSERT_NE(card, rock);
    EXPECT_STREQ(card->identifier, "Simplest");
    ASSERT_EQ(card->nfaces, 4);
    const hx_material* top = card->faces[0].material;
    const hx_material* bottom = card->faces[2].material;
    ASSERT_NE(top, nullptr);
    ASSERT_NE(bottom, nullptr);
    EXPECT_STREQ(top->identifier, "SMALL_TOP");
    EXPECT_STREQ(bottom->identifier, "SMALL_BOT");
    ASSERT_NE(top->colour_map, nullptr);
    ASSERT_NE(bottom->colour_map, nullptr);
    EXPECT_EQ(top->colour_map->width, 8) << "the small map";
    EXPECT_NE(std::string(top->colour_map->identifier).find("rocktop_S.pix"), std::string::npos);
    EXPECT_NE(std::string(bottom->colour_map->identifier).find("rockbot_S.pix"), std::string::npos);
    // The rectangle over the rock's x-z extent (the top had its small map).
    EXPECT_FLOAT_EQ(card->vertices[0].p.x, rock->bounds.max.x);
    EXPECT_FLOAT_EQ(card->vertices[0].p.z, rock->bounds.max.z);
}

} // namespace
