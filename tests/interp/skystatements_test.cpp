// The planet, sky and effect statements: the bodies PLANET makes, what
// FIND_PLANET finds, the nebula switch of STARFIELD, the hard points of
// LDA, the one field sphere of MACROOB a mission, and the completion
// message of CONVERT2PTS.
#include "interp_fixture.h"

#include "script/keywords.h"
#include "script/shiptypes.h"
#include "system/errors.h"
#include "system/settings.h"
#include "ui/hud.h"
#include "view/bodyrender.h"
#include "view/skyandlights.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/universe.h"

#include <algorithm>
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
    EXPECT_EQ(p->avatar->colour, 88);
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
