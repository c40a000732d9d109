// The four station screens of the demo tree, headless: the layout script
// makes them, each set-up binds its elements, and frames of the window
// update run them: contact rows clicked, the filter cycled, the target
// panel following the choice, a remote link to a launched probe and back,
// the comms arm button, the overlays closing one another and the star map;
// and a crop of each station after one frame.
#include "screens/comstation.h"
#include "screens/navstation.h"
#include "screens/vesselorders.h"
#include "screens/wepstation.h"

#include "../script/script_test_support.h"
#include "../ui/ui_canvas.h"
#include "ai/weapons.h"
#include "script/interpreter.h"
#include "system/settings.h"
#include "script/vitalobjects.h"
#include "screens/bridge.h"
#include "screens/engineering.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "tests/support/world_fixture.h"
#include "ui/contacts.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "world/scenelist.h"
#include "world/starmap.h"
#include "world/universe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace worldtest;

namespace {

void IgnoreBox(const char*, const char*) {}
void NoKeys(uint16_t) {}

bool RunFile(const char* name)
{
    const ScriptToken* start = TokeniseScript(name);
    if (!start)
        return false;
    uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
    RunScript(&position, false);
    return true;
}

class StationScreens : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
        ResShutdown();
        ASSERT_GT(ResInit(), 0u);
        BeginScriptTest();
        SetMessageBoxHook(IgnoreBox);
        guiResetWindowPool();
        guiResetScreens();
        guiRegisterScreen("COM", guiSetupComStation, NoKeys);
        guiRegisterScreen("NAV", guiSetupNavStation, NoKeys);
        guiRegisterScreen("WEP", guiSetupWepStation, NoKeys);
        guiRegisterScreen("ENG", guiSetupEngStation, NoKeys);
        ResetContactList();
        ResetWeaponStation();
        ResetVesselOrders();
        gUniverseCreated = 255; // the star map opens without a universe
        gDocsViewOpen = gObjectivesViewOpen = gLocalViewOpen = gStarMapOpen = 0;

        player = MakeItem();
        MakeShip(player);
        gPlayerItem = gControlledItem = player;
        gFrameClock.gameClock = 1000;
        for (int i = 0; i < 3; ++i) {
            SceneItem* item = MakeItem();
            MakeShip(item);
            item->avatar->classFlags = 0x4;
            item->sim->position = {0, 0, 2000.0 * (i + 1)};
            item->sim->matrix.m[14] = 2000.0f * static_cast<float>(i + 1);
            contacts.push_back(item);
        }
        contacts[2]->sim->flags |= kSimRemoteControllable; // a launched probe
        gContacts.nextRefresh = gFrameClock.gameClock;
        UpdateContactList();

        ASSERT_TRUE(RunFile("zqk\\resource\\scripts\\init\\init.scr"));
        // The bridge's fonts, as the start-up takes them from their symbols.
        gFontR = FontOf("RFont");
        gFontB = FontOf("BFont");
        ASSERT_NE(gFontR, nullptr);
        ASSERT_TRUE(RunFile("zqk\\resource\\scripts\\gui\\stations.gui"));
    }
    void TearDown() override
    {
        gFontR = gFontB = nullptr;
        if (gRemoteLinkItem)
            ToggleRemoteLink(gPlayerItem, nullptr);
        gUniverseCreated = 0;
        gDocsViewOpen = gObjectivesViewOpen = gLocalViewOpen = gStarMapOpen = 0;
        guiResetWindowPool();
        guiResetScreens();
        ResetContactList();
        EndScriptTest();
        ResShutdown();
        std::filesystem::current_path(previous_);
        WorldTest::TearDown();
    }

    static RasterFont* FontOf(const char* name)
    {
        const ScriptSymbol* s = FindScriptSymbol(name);
        return s && s->value ? static_cast<RasterFont*>(ResGet(static_cast<Resource*>(s->value))) : nullptr;
    }
    static WindowHandle* Element(const char* name)
    {
        const ScriptSymbol* s = FindScriptSymbol(name);
        return s && (s->type & kSymbolWindow) ? static_cast<WindowHandle*>(s->value) : nullptr;
    }
    // One frame of the window update, with the clock moving on.
    static void Frame(int32_t ticks = 5)
    {
        gFrameClock.frameTicks = ticks;
        gFrameClock.gameClock += static_cast<uint32_t>(ticks);
        guiUpdateScreen();
    }
    // A click on the element, handled by its next frame.
    static void Click(const char* name)
    {
        WindowHandle* w = Element(name);
        ASSERT_NE(w, nullptr) << name;
        w->flags |= kWindowClickPending;
        Frame();
    }
    // The colours inside an element's rectangle.
    std::set<int> Crop(const char* name) const
    {
        WindowHandle* w = Element(name);
        if (!w || !guiWindowRect(w, nullptr, nullptr))
            return {};
        return screen.Colours(w->rect[0], w->rect[1], w->rect[2], w->rect[3]);
    }
    void Show(const char* station)
    {
        guiGotoScreen(station);
        screen.Clear();
        guiRequestFullRedraw();
        Frame();
    }

    MemoryScreen screen;
    SceneItem* player = nullptr;
    std::vector<SceneItem*> contacts;
    std::filesystem::path previous_;
};

TEST_F(StationScreens, EveryStationIsLaidOutAndDrawnAfterOneFrame)
{
    struct Case {
        const char* station;
        const char* element;
    } const crops[] = {
        {"COM", "CMDDoc"},
        {"COM", "CdC0"},
        {"COM", "CdCM"},
        {"NAV", "NvMd1"},
        {"NAV", "NAuto1"},
        {"WEP", "WpMd0"},
        {"WEP", "WEPBotR2"},
        {"ENG", "ENGSys"},
    };
    for (const Case& c : crops) {
        SCOPED_TRACE(std::string(c.station) + " " + c.element);
        Show(c.station);
        ASSERT_EQ(gScreens.current, guiFindScreen(c.station));
        ASSERT_NE(Element(c.element), nullptr);
        EXPECT_GT(Crop(c.element).size(), 1u) << "drawn: a frame and a text";
    }
    // NAV in free mode lights its free-mode button and not the taxi button.
    Show("NAV");
    EXPECT_TRUE(Crop("NvMd1").count(249));
    EXPECT_FALSE(Crop("NvMd2").count(249));
    // WEP with guns chosen lights the gun button, and the slots show the
    // demo tree's icons: the current fore gun selected, then empty slots.
    Weapon* gun = NewWeapon(player);
    gun->flags = kMountGun;
    gun->directionCode = 1;
    gun->weaponClass = 0;
    player->sim->currentWeapon = gun;
    RefreshWeaponSlots();
    Show("WEP");
    EXPECT_TRUE(Crop("WpMd0").count(249));
    EXPECT_FALSE(Crop("WpMd1").count(249));
    WindowHandle* icons = Element("WpIcons");
    ASSERT_NE(icons, nullptr);
    const int x = icons->rect[0], y = icons->rect[1];
    EXPECT_EQ(screen.At(x, y), 10 + 3 * 29 + 26);         // the selected icon's yellow frame
    EXPECT_EQ(screen.At(x + 16, y), 10 + 12);             // the empty slot's grey frame
    EXPECT_EQ(screen.At(x + 7, y + 8), 10 + 3 * 29 + 28); // the barrel
}

// Each station's quit button leaves the station (for its ahead view); the
// engineering station's view is the ship's schematic.
TEST_F(StationScreens, EachStationsQuitButtonLeavesAndEngineeringShowsTheSchematic)
{
    struct Case {
        const char* station;
        const char* quit;
        WindowRoutine leave;
    } const cases[] = {
        {"COM", "COMQuit", guiLeaveComStation},
        {"NAV", "NAVQuit", guiLeaveNavStation},
        {"WEP", "WEPQuit", guiLeaveWepStation},
        {"ENG", "ENGQuit", guiLeaveEngStation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quit);
        Show(c.station);
        const WindowHandle* quit = Element(c.quit);
        ASSERT_NE(quit, nullptr);
        EXPECT_EQ(quit->clickHandler, c.leave);
    }
    // The buttons show captions, not their names, in the game's language.
    Show("NAV");
    EXPECT_STREQ(Element("NAVQuit")->text, "Leave");
    EXPECT_STREQ(Element("NvMd5")->text, "Approach");
    for (const auto& [language, caption] : {std::pair{1, "Quitter"}, {2, "Verlassen"}, {7, "Leave"}}) {
        gSettings.language = static_cast<uint8_t>(language);
        const ElementCaption navQuit[] = {{"NAVQuit", {"Leave", "Quitter", "Verlassen"}}};
        CaptionElements(navQuit);
        EXPECT_STREQ(Element("NAVQuit")->text, caption) << language;
    }
    gSettings.language = 0;
    Show("ENG");
    for (int layer = 0; layer < kEngLayers; ++layer)
        EXPECT_NE(gEngPanel.layerLabels[layer], nullptr) << "the layer buttons are labelled: " << layer;
    const WindowHandle* schematic = Element("ENGRealV");
    ASSERT_NE(schematic, nullptr);
    EXPECT_EQ(schematic->draw, guiEngSchematicDraw);
    EXPECT_EQ(schematic->pressHandler, SelectSystemAtPoint);
    EXPECT_EQ(schematic->notifyHandler, ResetSchematicView);
}

TEST_F(StationScreens, TheCommandStationRunsItsContactsOverlaysAndRemoteLink)
{
    Show("COM");
    EXPECT_FALSE(Crop("CMDDoc").count(249));

    // A contact row clicked becomes the current contact; the target panel
    // takes it at once.
    Click("CdC1");
    ASSERT_NE(gContacts.current, nullptr);
    EXPECT_EQ(gContacts.current, gContacts.visible[1]);
    Frame();
    EXPECT_EQ(Element("CInfC")->subject.row, gContacts.visible[1] - gContacts.rows);
    Click("CdC6"); // an empty row
    EXPECT_EQ(gContacts.current, nullptr);

    // The filter cycles from its label.
    Click("CdCM");
    EXPECT_EQ(gContacts.filterClass, 1);
    Click("CdCM");
    Click("CdCM");
    EXPECT_EQ(gContacts.filterClass, 7);
    Click("CdCM");
    EXPECT_EQ(gContacts.filterClass, 0);

    // The overlays: one at a time, the star map among them; the indicator
    // lights with its overlay.
    Click("CMDObjv");
    EXPECT_TRUE(gObjectivesViewOpen);
    Click("CMDGlobal");
    EXPECT_TRUE(gStarMapOpen);
    EXPECT_FALSE(gObjectivesViewOpen);
    Frame();
    EXPECT_TRUE(Crop("CMDGlobal").count(249));
    Click("CMDLocal");
    EXPECT_FALSE(gStarMapOpen);
    EXPECT_TRUE(gLocalViewOpen);
    Click("CMDDoc");
    EXPECT_TRUE(gDocsViewOpen);
    EXPECT_FALSE(gLocalViewOpen);
    Click("CMDDoc");

    // The remote link to the launched probe, and back.
    gContacts.nextRefresh = gFrameClock.gameClock;
    UpdateContactList();
    SelectContact(contacts[2]);
    Click("REMLink");
    EXPECT_EQ(gRemoteLinkItem, contacts[2]);
    EXPECT_EQ(gControlledItem, contacts[2]);
    Frame();
    EXPECT_TRUE(Crop("REMLink").count(249));
    Click("REMLink");
    EXPECT_EQ(gRemoteLinkItem, nullptr);
    EXPECT_EQ(gControlledItem, player);

    // The comms arm's button swings it in, and out again.
    ASSERT_EQ(gCommsArmOpen, 0);
    Click("CmComArmOut");
    EXPECT_NE(gCommsArmOpen, 0);
    EXPECT_NE(gCommsArm.armIn, nullptr);
    Click("CmComArmOut");
    EXPECT_NE(gCommsArm.armOut, nullptr) << "closing";
    CloseCommsArm();

    // The briefing buttons are gone at once.
    Frame();
    EXPECT_EQ(Element("BRFCPlay")->flags & kWindowInUse, 0u);
}

} // namespace
