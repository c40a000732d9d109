// The planet, sky and effect statements: the bodies PLANET makes, what
// FIND_PLANET finds, the nebula switch of STARFIELD, the hard points of
// LDA, the one field sphere of MACROOB a mission, and the completion
// message of CONVERT2PTS.
#include "interp_fixture.h"

#include "script/keywords.h"
#include "script/shiptypes.h"
#include "system/errors.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "ui/hud.h"
#include "framework/scene.h"
#include "view/bodyrender.h"
#include "view/particles.h"
#include "view/skyandlights.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/universe.h"
#include "tests/support/three_face_hull.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gBoxes;

class SkyStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        gNebulaOn = 0;
        gSettings.noNebula = 0;
    }
    void TearDown() override
    {
        gNebulaOn = 0;
        gSettings.noNebula = 0;
        InterpTest::TearDown();
    }

    // Message boxes are noted instead of stopping the run (the planet
    // textures and the sun model have no files here).
    static void CollectBoxes()
    {
        gBoxes.clear();
        SetMessageBoxHook([](const char* text, const char*) { gBoxes.emplace_back(text); });
    }

    static SceneItem* Object(const char* name) { return SymbolObject(FindScriptSymbol(name)); }

    // The emitters hung on the item's root part, marker-light sets aside.
    static std::vector<TDP*> Emitters(const SceneItem* item)
    {
        std::vector<TDP*> found;
        for (TDP* t = item->avatar->root ? item->avatar->root->firstChild : nullptr; t; t = t->nextSibling)
            if (t->emitter && !(t->emitter->flags & kEmitterMarkerLights))
                found.push_back(t);
        return found;
    }

    static SceneItem* Named(const char* name)
    {
        SceneItem* item = worldtest::MakeItem(nullptr);
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        symbol->type = kSymbolSceneItem;
        SetSymbolObject(symbol, item);
        return item;
    }
};

} // namespace

TEST_F(SkyStatementTest, PlanetOfSizeTwoIsABodyOfItsSize)
{
    gCrashCount = 5;
    CollectBoxes();
    Run("PLANET P \"earth\" 2 7 OFF");
    SceneItem* p = Object("P");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->symbol, FindScriptSymbol("P"));
    EXPECT_FLOAT_EQ(p->sim->radius, 200000.0f);
    ASSERT_NE(p->avatar->root, nullptr);
    EXPECT_FLOAT_EQ(p->avatar->root->radius, 200000.0f);
    EXPECT_FLOAT_EQ(p->sim->mass, static_cast<float>(1000.0 * 1000.0 * 1000.0 * 3.14159 * 5500.0));
    EXPECT_EQ(p->avatar->params[kParamSize], 2);
    EXPECT_EQ(p->avatar->responseOrder, 88);
    EXPECT_NE(p->avatar->flags & 4, 0);
    EXPECT_NE(p->avatar->root->flags & kTdpPlanetLayer, 0u);
    EXPECT_STREQ(p->avatar->root->materialName, "earth");
    EXPECT_EQ(p->avatar->collision, CollidePlanet);
    EXPECT_EQ(p->avatar->renderSync, CopySimToAvatar);
    EXPECT_EQ(p->avatar->tdpSync, UpdatePlanetRender);
    EXPECT_EQ(gPlanetModelSlotsInUse, 1);
    EXPECT_EQ(gCrashCount, 0);
}

TEST_F(SkyStatementTest, OnMakesASunAndOtherwiseAPlanet)
{
    struct Case {
        const char* script;
        ItemFunction tdpSync;
    };
    const Case cases[] = {
        {"PLANET S \"plasmavid\" 4 ON", UpdateVideoPlanetRender},
        {"PLANET S \"mars\" 4", UpdatePlanetRender},
        {"PLANET S \"mars\" 4 0 OFF", UpdatePlanetRender},
    };
    CollectBoxes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        Run(c.script);
        SceneItem* s = Object("S");
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->avatar->tdpSync, c.tdpSync);
        EXPECT_FLOAT_EQ(s->sim->radius, 400000.0f);
    }
}

TEST_F(SkyStatementTest, FindPlanetEmptiesTheSymbolForAnUnknownName)
{
    Named("P");
    Run("FIND_PLANET P \"Nowhere at all\" 3");
    EXPECT_EQ(Object("P"), nullptr);
}

TEST_F(SkyStatementTest, StarfieldSwitchesTheNebulaAndStopsConversations)
{
    struct Case {
        const char* script;
        uint8_t noNebula;
        uint8_t nebula;
    };
    const Case cases[] = {
        {"STARFIELD 1 ON 1", 0, 255},
        {"STARFIELD 1 ON -2", 0, 255},
        {"STARFIELD 1 OFF", 0, 0},
        {"STARFIELD 1 ON", 255, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        gSettings.noNebula = c.noNebula;
        gScriptMission.dialogueCountdown = 40;
        Run(c.script);
        EXPECT_EQ(gNebulaOn, c.nebula);
        EXPECT_EQ(gScriptMission.dialogueCountdown, 0);
    }
    EXPECT_NE(RunUntilStop("STARFIELD 1 2").text.find("Unrecognized Token"), std::string::npos);
}

TEST_F(SkyStatementTest, LdaFillsAtMostFourHardPoints)
{
    SceneItem* ship = Named("Ship");
    ship->sim->shipInfo = AllocShipInfo();
    ASSERT_NE(ship->sim->shipInfo, nullptr);
    Named("Rock");
    // The rock has no hard points: its values are read and dropped.
    Run("LDA Rock 2 50 60\nLDA Ship 5 90 80 -20 300 70");
    EXPECT_EQ(ship->sim->shipInfo->hardPointCount, 4);
    const int8_t expected[] = {90, 80, -20, 44};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ship->sim->shipInfo->hardPoints[i].condition, expected[i]) << i;
}

TEST_F(SkyStatementTest, MacroobMakesOneFieldSphereAMission)
{
    Run("MACROOB 1 0 0 0 500 400 300 1 20 0\nMACROOB 0 9 9 9 50 50 50 1 20 0");
    HUD* sphere = gHud.fieldSphere;
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(std::count(gHud.list, gHud.list + gHud.count, sphere), 1);
    SceneItem* first = sphere->subject;
    ASSERT_NE(first, nullptr);
    EXPECT_FLOAT_EQ(first->sim->position.x, 0.0f);

    // A new mission forgets the sphere and its field's first MACROOB makes
    // another.
    ResetSimulation();
    EXPECT_EQ(gHud.fieldSphere, nullptr);
    Run("MACROOB 1 0 0 0 500 400 300 1 20 0");
    ASSERT_NE(gHud.fieldSphere, nullptr);
    EXPECT_EQ(std::count(gHud.list, gHud.list + gHud.count, gHud.fieldSphere), 1);
}

TEST_F(SkyStatementTest, Convert2PtsReportsCompletionEvenWithoutTheFile)
{
    CollectBoxes();
    Run("CONVERT2PTS \"no_such_object.lwo\" \"points.txt\"");
    ASSERT_EQ(gBoxes.size(), 2u);
    EXPECT_NE(gBoxes.front().find("cannot be opened"), std::string::npos);
    EXPECT_EQ(gBoxes.back(), "LWO Points save completed");
}

TEST_F(SkyStatementTest, FindPlanetFindsABodyByItsIdAndTakesTheLagrangeSize)
{
    const std::string rows = "header\n"
                             "0,Sun,0,S,0,0,0,0,0,0,0,0,0\n"
                             "3,Vornholm,0,P,0,0,0,0,0,0,0,0,0\n"
                             "4,L4,0,L,0,0,0,0,0,0,0,0,0\n";
    ASSERT_GT(ParsePlanetarySystems(rows.data(), rows.size()), 0);
    SceneItem* planet = worldtest::MakeItem(nullptr);
    SceneItem* gate = worldtest::MakeItem(nullptr);
    planet->avatar->classFlags |= kClassNamedBody;
    gate->avatar->classFlags |= kClassNamedBody | SenseFlag(kw::SN_LAGRANGE);
    planet->avatar->params[kParamSize] = 11;
    gBodies[1].sceneItem = planet;
    gBodies[2].sceneItem = gate;
    gSystemBodyList[0].body = &gBodies[1];
    gSystemBodyList[1].body = &gBodies[2];
    gSystemBodyCount = 2;

    Named("Home");
    Named("Gate");
    Run("FIND_PLANET Home \"3\" 7\nFIND_PLANET Gate \"L4\" 5.9");
    EXPECT_EQ(Object("Home"), planet);
    EXPECT_EQ(planet->symbol, FindScriptSymbol("Home"));
    EXPECT_EQ(planet->avatar->params[kParamSize], 11); // not a Lagrange point: its size stays
    EXPECT_EQ(Object("Gate"), gate);
    EXPECT_EQ(gate->avatar->params[kParamSize], 5);
    Run("FIND_PLANET Gate \"4\"");
    EXPECT_EQ(gate->avatar->params[kParamSize], 0);
    Run("FIND_PLANET Gate \"55\" 3");
    EXPECT_EQ(Object("Gate"), nullptr);

    gSystemBodyCount = 0;
    gSystemBodyList[0].body = gSystemBodyList[1].body = nullptr;
    gBodyCount = 0;
}

TEST_F(SkyStatementTest, ChaosEffectHangsTheGlowOnTheObject)
{
    SceneItem* ship = Named("Ship");
    ship->sim->matrix.m[12] = 500.0f;
    Named("Nothing");
    SetSymbolObject(FindScriptSymbol("Nothing"), nullptr);
    Run("ADDCHAOSEFFECT Ship\nADDCHAOSEFFECT Nothing");
    const std::vector<TDP*> emitters = Emitters(ship);
    ASSERT_EQ(emitters.size(), 1u);
    const ParticleEmitter& e = *emitters[0]->emitter;
    EXPECT_EQ(e.type, 0);
    EXPECT_EQ(e.flags & 0x200000u, 0x200000u);
    EXPECT_EQ(e.life, 100);
    EXPECT_EQ(e.pointCount, 49);
    EXPECT_EQ(e.pointLife, 240);
    EXPECT_EQ(e.speed, 13500.0f);
    EXPECT_EQ(e.rate, 70);
    EXPECT_EQ(e.spread, 15.0f);
    EXPECT_EQ(e.owner.Get(), ship);
    // Its frame is the ship's matrix.
    EXPECT_EQ(emitters[0]->local.m[12], 500.0f);
}

TEST_F(SkyStatementTest, VentTurnsItsPointByTheShipAndLastsForeverWithoutALife)
{
    SceneItem* ship = Named("Ship");
    ASSERT_NE(ship->avatar->root, nullptr);
    ship->avatar->root->model = reinterpret_cast<hx_model*>(&gHullTag);
    SetModelMeshReader(ReadHull);
    // Turned a quarter about y: its nose (local +z) points along world +x.
    Matrix4& m = ship->sim->matrix;
    m.m[0] = 0, m.m[2] = -1;
    m.m[8] = 1, m.m[10] = 0;

    // A point ahead of the ship, in its own axes (x 100), one to the right
    // with a life of 40 and one to the left with a life of 0.
    Run("VENT Ship 1 9 0 0 1\nVENT Ship 0 9 1 0 0 40\nVENT Ship 0 9 -1 0 0 0");
    SetModelMeshReader(nullptr);
    const std::vector<TDP*> vents = Emitters(ship);
    ASSERT_EQ(vents.size(), 3u);
    EXPECT_NEAR(vents[2]->local.m[12], -100.0f, 1e-4);
    EXPECT_EQ(vents[2]->emitter->life, 32767);
    // The rupture sits on the face nearest the point in the ship's axes.
    EXPECT_NEAR(vents[0]->local.m[12], 0.0f, 1e-4);
    EXPECT_NEAR(vents[0]->local.m[14], 100.0f, 1e-4);
    EXPECT_EQ(vents[0]->emitter->life, 32767);
    EXPECT_NEAR(vents[1]->local.m[12], 100.0f, 1e-4);
    EXPECT_NEAR(vents[1]->local.m[14], 0.0f, 1e-4);
    EXPECT_EQ(vents[1]->emitter->life, 40);
}

TEST_F(SkyStatementTest, SaveModelWritesTheModelsFile)
{
    ASSERT_EQ(HxBegin(), HX_OK);
    struct End {
        ~End() { HxEnd(); }
    } end;
    if (ResPoolSize() == 0)
        ResInit();
    ScriptSymbol* symbol = AddScriptSymbol("Md", nullptr, 0);
    symbol->type = kSymbolResource;
    Resource* record = ResAllocSized(kResRowModels, sizeof(hx_model));
    ASSERT_NE(record, nullptr);
    hx_model* model = HxModelAllocate("saved", 3, 1);
    ASSERT_NE(model, nullptr);
    model->vertices[0].p = {1, 2, 3};
    model->vertices[1].p = {0, 1, 0};
    model->vertices[2].p = {0, 0, 1};
    model->faces[0].vertices[1] = 1;
    model->faces[0].vertices[2] = 2;
    record->data = model;
    symbol->value = record;

    // A symbol without a model writes nothing and the run goes on.
    Run("SAVEMODEL Md \"saved.dat\"\nSAVEMODEL None \"none.dat\"");
    EXPECT_FALSE(std::filesystem::exists("none.dat"));
    ASSERT_TRUE(std::filesystem::exists("saved.dat"));
    hx_model* loaded = HxModelLoad("saved.dat");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->nvertices, 3);
    EXPECT_EQ(loaded->vertices[0].p.z, 3.0f);
}
