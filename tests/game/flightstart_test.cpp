// The start-up steps that take the script's fonts and build the small font,
// and the set-up at the start of flight: the mission's cameras, the target
// camera, the weapon view's mount, the flight state cleared.
#include "../interp/interp_fixture.h"

#include "ai/weapons.h"
#include "game/startup.h"
#include "screens/frontend.h"
#include "system/calltrace.h"
#include "system/rasterfont.h"
#include "system/res/font.h"
#include "system/res/iff.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "view/cameras.h"
#include "world/scenelist.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

class StartupSteps : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        ResInit();
        saved_ = gSettings;
    }
    void TearDown() override
    {
        for (RasterFont** slot : kSlots)
            *slot = nullptr;
        gMessageLogFont = nullptr;
        gPlayerCamera = gTargetCamera = nullptr;
        gWeaponViewMount = nullptr;
        gPlayerItem = nullptr;
        EnableCallTrace(false);
        gSettings = saved_;
        ResShutdown();
        InterpTest::TearDown();
    }

    // The symbol's value becomes a new block of a font's size; its data.
    static void* GiveFontBlock(const char* name)
    {
        Resource* record = ResAllocSized(0, sizeof(RasterFont));
        FindScriptSymbol(name)->value = record;
        return record->data;
    }

    static constexpr RasterFont** kSlots[] = {&gFontR, &gFontB, &gFontG, &gFontMid,
                                              &gFontCons, &gFontCons1, &gFontCons2, &gFontH,
                                              &gFontDim, &gFontA2, &gFontA2Dim, &gFontV};
    static constexpr const char* kSymbols[] = {"RFont", "BFont", "GFont", "MidFont",
                                               "ConsFont", "ConsFont1", "ConsFont2", "HFont",
                                               "DimFont", "A2Font", "A2DimFont", "VFont"};
    Settings saved_;
};

TEST_F(StartupSteps, EveryFontSymbolFillsItsSlotAndBFontIsTheLogsFont)
{
    Run("RESOURCE RFont BFont GFont MidFont ConsFont ConsFont1 ConsFont2 HFont DimFont A2Font A2DimFont VFont");
    void* fonts[12];
    for (int i = 0; i < 12; ++i)
        fonts[i] = GiveFontBlock(kSymbols[i]);
    TakeFontSlots();
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(*kSlots[i], fonts[i]) << kSymbols[i];
    EXPECT_EQ(gMessageLogFont, gFontB);

    // In demo mode the A2 fonts are not looked up; a symbol that holds no
    // resource leaves its slot empty.
    for (RasterFont** slot : kSlots)
        *slot = nullptr;
    gSettings.demo = 255;
    FindScriptSymbol("HFont")->value = nullptr;
    TakeFontSlots();
    EXPECT_EQ(gFontA2, nullptr);
    EXPECT_EQ(gFontA2Dim, nullptr);
    EXPECT_EQ(gFontH, nullptr);
    EXPECT_EQ(gFontV, fonts[11]);
    EXPECT_EQ(gFontB, fonts[1]);
}

TEST_F(StartupSteps, FontMakeWritesTheSmallFontFromItsPictures)
{
    const uint8_t ink[6] = {0, 247, 0, 247, 247, 247};
    const std::vector<uint8_t> space = IffBuildPbm(ink, 1, 1, 0, 4, nullptr, false);
    const std::vector<uint8_t> a = IffBuildPbm(ink, 3, 2, 0, 4, nullptr, false);
    WriteFile("zqk/resource/fonts/smallfnt/c032.bbm", std::string(space.begin(), space.end()));
    WriteFile("zqk/resource/fonts/smallfnt/c065.bbm", std::string(a.begin(), a.end()));
    ASSERT_TRUE(MakeTinyFont());

    const auto* font =
        static_cast<const RasterFont*>(ResGet(ResRegister("zqk\\resource\\fonts\\tiny.fnt", ResType::FntFont)));
    ASSERT_NE(font, nullptr);
    const Raster* glyphA = font->glyphs['A'];
    ASSERT_NE(glyphA, nullptr);
    EXPECT_EQ(glyphA->width, 3);
    EXPECT_EQ(glyphA->height, 2);
    EXPECT_EQ(glyphA->yOffset, 5); // one lower than the picture's
    EXPECT_EQ(std::vector<uint8_t>(glyphA->pixels, glyphA->pixels + 6), std::vector<uint8_t>(ink, ink + 6));
    // Lower case takes the capitals (a copy in the file); characters
    // without a picture the blank.
    const Raster* glyphLowerA = font->glyphs['a'];
    ASSERT_EQ(glyphLowerA->width, 3);
    EXPECT_EQ(std::vector<uint8_t>(glyphLowerA->pixels, glyphLowerA->pixels + 6), std::vector<uint8_t>(ink, ink + 6));
    EXPECT_EQ(font->glyphs['B'], font->glyphs[' ']);
    EXPECT_EQ(font->glyphs[' ']->width, 1);
}

TEST_F(StartupSteps, FlightStartsWithTheMissionsCamerasAndTheWeaponView)
{
    SceneItem* player = worldtest::MakeItem();
    SceneItem* eye = worldtest::MakeItem();
    SceneItem* weapons = worldtest::MakeItem();
    Weapon mount{};
    mount.directionCode = 3;
    player->sim->currentWeapon = &mount;
    gPlayerItem = player;
    Run("SCENEITEM CamPly CamWep");
    SetSymbolObject(FindScriptSymbol("CamPly"), eye);
    SetSymbolObject(FindScriptSymbol("CamWep"), weapons);
    gInterpreter.missionPause = 255;
    gDirectorOn = 255;
    EnableCallTrace(true);
    ClearCallTrace();

    StartFlight();

    EXPECT_EQ(gInterpreter.missionPause, 0);
    EXPECT_EQ(gDirectorOn, 0);
    EXPECT_EQ(gPlayerCamera, eye);
    EXPECT_EQ(weapons->control, &WeaponCameraStep);
    EXPECT_EQ(weapons->perFrame, &NullCameraStep);
    EXPECT_EQ(gWeaponViewMount, &mount);
    // The arc outline of the mount: a left mount's centre looks along -x.
    EXPECT_LT(gWeaponViewArc.centre.x, -0.99f);
    // The cockpit HUD: seven trails, then the "LAGRANGE" scale.
    ASSERT_GE(gHud.count, 8);
    EXPECT_STREQ(gHud.list[6]->name, "TRAIL");
    EXPECT_STREQ(gHud.list[7]->name, "LAGRANGE");

    // The target camera: a new item of the scene list that watches the
    // player's ship.
    SceneItem* camera = gTargetCamera;
    ASSERT_NE(camera, nullptr);
    EXPECT_TRUE(IsInSceneList(camera));
    EXPECT_EQ(camera->control, &TargetCamera);
    EXPECT_EQ(camera->flags & 0x28, 0x28);
    ASSERT_NE(camera->sim, nullptr);
    EXPECT_EQ(camera->avatar->linkItem.Get(), player);
    EXPECT_EQ(camera->avatar->cameraMinimumDistance, 7500);
    EXPECT_EQ(camera->avatar->cameraLag, 900);
    ASSERT_NE(camera->avatar->root, nullptr);
    EXPECT_EQ(camera->avatar->root->flags & 0x14, 0x4u); // in the scene, not new
}

TEST_F(StartupSteps, FlightStartsWithoutAPlayerMountOrCameraSymbols)
{
    SceneItem* player = worldtest::MakeItem();
    gPlayerItem = player;
    gWeaponViewArc = {};
    EnableCallTrace(true);
    ClearCallTrace();
    StartFlight();
    EXPECT_EQ(gPlayerCamera, nullptr);
    EXPECT_EQ(gWeaponViewMount, nullptr);
    EXPECT_EQ(gWeaponViewArc.centre.z, 0.0f); // no outline made
    ASSERT_NE(gTargetCamera, nullptr);
    EXPECT_EQ(gTargetCamera->avatar->linkItem.Get(), player);
}

TEST_F(StartupSteps, TheEndScreenWritesTheShipsLogAndShutsTheViewDown)
{
    gDirectorOn = 255;
    WriteFile("zqk/resource/text/docs/home.htm", "");
    EnableCallTrace(true);
    ClearCallTrace();
    ShowEndScreen();
    EXPECT_EQ(gDirectorOn, 0);
    EXPECT_EQ(ReadFileBytes("zqk/resource/text/docs/test.htm").rfind("<HTML>", 0), 0u) << "the log's page";
    EXPECT_EQ(gRebuild3D, 255); // the worlds are gone: the next flight builds them
    gFrontEndActive = 0;
    gLoopFlags = LoopFlags{};
}

} // namespace
