// The WEP, COM and ENG stations: the gun and missile choice with the rapid
// mode, the slots and their icons, the mount announcement and its safe
// format, the track and ripple switches; the contact filter and sort
// labels, the overlays closing one another and the star map, the contact
// rows, the target panel's refresh and the indicators; and the ship-system
// element callbacks of the engineering screens.
#include "screens/comstation.h"
#include "screens/engineering.h"
#include "screens/wepstation.h"

#include "../script/script_test_support.h"
#include "../ui/ui_canvas.h"
#include "ai/weapons.h"
#include "screens/bridge.h"
#include "screens/viewerpanel.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "tests/support/world_fixture.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/starmap.h"
#include "world/universe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace worldtest;

namespace {

class StationsTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        BeginScriptTest();
        guiResetWindowPool();
        ResetContactList();
        ResetWeaponStation();
        gSettings.language = 0;
        gDocsViewOpen = gObjectivesViewOpen = gLocalViewOpen = 0;
        gStarMapOpen = 0;
        gUniverseCreated = 255; // the star map opens without building a universe
        ship = MakeItem();
        MakeShip(ship);
        gPlayerItem = gControlledItem = ship;
        CurrentStation = 3;
    }
    void TearDown() override
    {
        for (const std::string& name : symbols_)
            if (ScriptSymbol* s = FindScriptSymbol(name))
                s->value = nullptr;
        gUniverseCreated = 0;
        gStarMapOpen = 0;
        gDocsViewOpen = gObjectivesViewOpen = gLocalViewOpen = 0;
        gSettings.language = 0;
        gTextTable[40] = nullptr;
        CurrentStation = 0;
        ResetContactList();
        ResetWeaponStation();
        EndScriptTest();
        WorldTest::TearDown();
    }

    WindowHandle* Element(const char* name, int16_t x = 0, int16_t y = 0)
    {
        WindowHandle* w = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, guiTickWindow, nullptr, x, y, 64, 16, 0);
        ScriptSymbol* s = FindScriptSymbol(name);
        if (!s)
            s = AddScriptSymbol(name, nullptr, 0);
        s->type = kSymbolWindow;
        s->value = w;
        w->elementName = s->name;
        symbols_.push_back(name);
        return w;
    }

    Weapon* Mount(uint32_t flags, int16_t position, const char* name)
    {
        Weapon* w = NewWeapon(ship);
        w->flags = flags;
        w->directionCode = position;
        w->name = name;
        return w;
    }
    Weapon* Current() const { return ship->sim->currentWeapon; }

    SceneItem* ship = nullptr;
    std::vector<std::string> symbols_;
};

// The scopes' two orbs keep the orb's radius and sit at their own
// distances in front of the eye: the stalks start on the scope's sphere.
TEST_F(StationsTest, TheCockpitOrbsKeepTheirRadiusAndSitAtTheirEyeDistances)
{
    BuildCockpitHud();
    ASSERT_TRUE(gCockpitOrbs[0] && gCockpitOrbs[1]);
    const int32_t expected[2][3] = {{1000, 1250, 6500}, {1000, 1250, 5500}};
    for (int i = 0; i < 2; ++i)
        for (int p = 0; p < 3; ++p)
            EXPECT_EQ(gCockpitOrbs[i]->params[p], expected[i][p]) << "orb " << i << " param " << p + 1;
    ClearHudList();
}

// ---- WEP -------------------------------------------------------------------------------

TEST_F(StationsTest, TheGunButtonFirstSetsRapidModeThenMovesToAGunAtAnotherPosition)
{
    Weapon* fore = Mount(kMountGun, 1, "PBC A");
    Mount(kMountGun, 1, "PBC B"); // the same position: skipped
    Mount(kMountMissile, 5, "SEEKER");
    Weapon* aft = Mount(kMountGun, 5, "PBC C");
    ship->sim->currentWeapon = fore;

    guiSelectNextGun(nullptr);
    EXPECT_TRUE(RapidMode);
    EXPECT_EQ(Current(), fore);
    guiSelectNextGun(nullptr);
    EXPECT_FALSE(RapidMode);
    EXPECT_EQ(Current(), aft);
    EXPECT_EQ(gWeaponViewMount, aft);
    EXPECT_STREQ(gWeaponStation.announcement, "AFT PBC C"); // no text 40: position word and name
    EXPECT_EQ(gWeaponStation.slots[0], fore);
    EXPECT_EQ(gWeaponStation.slots[2], aft);
    EXPECT_EQ(gWeaponStation.slots[3], nullptr);
    guiSelectNextGun(nullptr); // rapid again
    guiSelectNextGun(nullptr);
    EXPECT_EQ(Current(), fore); // round the list
}

// A launcher at the gun's own position is picked from that gun.
TEST_F(StationsTest, TheMissileButtonPicksALauncherAtTheGunsPosition)
{
    Weapon* gun = Mount(kMountGun, 1, "PBC");
    Weapon* probe = Mount(kMountMissile, 1, "PROBE");
    ship->sim->currentWeapon = gun;
    guiSelectNextMissile(nullptr);
    EXPECT_EQ(Current(), probe);
    guiSelectNextGun(nullptr);
    guiSelectNextGun(nullptr); // past the rapid mode
    EXPECT_EQ(Current(), gun);
}

TEST_F(StationsTest, FromMissilesTheGunButtonMovesAtOnceAndALoneMountNeverHangs)
{
    Weapon* gun = Mount(kMountGun, 1, "PBC");
    Weapon* seeker = Mount(kMountMissile, 2, "SEEKER");
    Weapon* flare = Mount(kMountMissile | kMountUnusable, 5, "FLARE"); // never chosen by the station
    ship->sim->currentWeapon = gun;

    guiSelectNextMissile(nullptr);
    EXPECT_TRUE(gWeaponStation.missilesSelected);
    EXPECT_EQ(Current(), seeker);
    EXPECT_EQ(gWeaponStation.slots[0], seeker);
    EXPECT_EQ(gWeaponStation.slots[1], flare); // the slots list the class
    guiSelectNextMissile(nullptr);             // the only usable missile: stays, and returns
    EXPECT_EQ(Current(), seeker);

    guiSelectNextGun(nullptr);
    EXPECT_FALSE(gWeaponStation.missilesSelected);
    EXPECT_FALSE(RapidMode);
    EXPECT_EQ(Current(), gun);
    // A gun without a rapid mode goes straight on; alone, it stays.
    gun->flags |= kMountNoRapid;
    guiSelectNextGun(nullptr);
    EXPECT_FALSE(RapidMode);
    EXPECT_EQ(Current(), gun);
}

TEST_F(StationsTest, TheAnnouncementFormatTakesOnlyTextConversions)
{
    static const char kText40[] = "%s: %s %d%% %n";
    gTextTable[40] = kText40;
    Weapon* w = Mount(kMountGun, 7, "LASER");
    AnnounceMount(w);
    EXPECT_STREQ(gWeaponStation.announcement, "STBD: LASER %d% %n");
    struct Case {
        int32_t code;
        const char* word;
    } const cases[] = {{0, "FULL RNG"}, {3, "PORT"}, {8, "FWD STBD"}, {9, "FULL RNG"}, {12, "FULL RNG"}, {-1, "FULL RNG"}};
    for (const Case& c : cases)
        EXPECT_STREQ(MountPositionWord(c.code), c.word) << c.code;
    EXPECT_EQ(MountPositionClass(3), 2);
    EXPECT_EQ(MountPositionClass(7), 3);
    EXPECT_EQ(MountPositionClass(15), 0);
    char small[6];
    FormatWithTwoTexts(small, sizeof small, "%s and %s", "ABCDEFGH", "X");
    EXPECT_STREQ(small, "ABCDE");
}

TEST_F(StationsTest, SlotIconsAreDrawnOnlyWhenTheSlotsChanged)
{
    MemoryScreen screen;
    std::vector<uint8_t> ink(16 * 16, 77), selected(16 * 16, 88), empty(16 * 16, 99);
    Bitmap normalPicture{ink.data(), 16, 16, 0, 0}, selectedPicture{selected.data(), 16, 16, 0, 0},
        emptyPicture{empty.data(), 16, 16, 0, 0};
    Resource normal{}, chosen{}, none{};
    normal.data = &normalPicture;
    chosen.data = &selectedPicture;
    none.data = &emptyPicture;
    gWeaponStation.slotIcons[0][1][0] = &normal;
    gWeaponStation.slotIcons[0][1][1] = &chosen;
    gWeaponStation.emptySlotIcon = &none;
    Weapon* a = Mount(kMountGun, 5, "A");
    Weapon* b = Mount(kMountGun, 4, "B");
    a->weaponClass = 0;
    b->weaponClass = 12; // beyond the icon table
    ship->sim->currentWeapon = a;
    RefreshWeaponSlots();

    WindowHandle* icons = Element("WpIcons", 100, 50);
    guiSetupWepStation();
    gWeaponStation.emptySlotIcon = &none; // the set-up found no icon files
    gWeaponStation.slotIcons[0][1][0] = &normal;
    gWeaponStation.slotIcons[0][1][1] = &chosen;
    gWeaponStation.slotRefresh = 255;
    icons->draw(icons);
    EXPECT_EQ(screen.At(100, 50), 88); // slot 0: the current mount, aft
    EXPECT_EQ(screen.At(116, 50), 99); // slot 1: a kind without icons shows the empty one
    EXPECT_EQ(screen.At(132, 50), 99); // slots 2 and 3 empty
    EXPECT_EQ(screen.At(148, 50), 99);
    screen.Clear();
    icons->draw(icons);
    EXPECT_EQ(screen.At(100, 50), 0) << "nothing changed: not drawn again";
    guiSelectNextGun(nullptr); // rapid mode only
    icons->draw(icons);
    EXPECT_EQ(screen.At(100, 50), 0);
    guiSelectNextGun(nullptr); // to B: the slots are refreshed
    icons->draw(icons);
    EXPECT_EQ(screen.At(100, 50), 77);
}

TEST_F(StationsTest, TrackNeedsAutomaticWeaponsAndRippleTheWeaponsStation)
{
    Weapon* gun = Mount(kMountGun, 1, "PBC");
    guiToggleTrackMode(nullptr);
    EXPECT_FALSE(gWeaponStation.track);
    // Automatic aiming: the mounts aim at the target; by hand they fire
    // straight along the mount.
    guiToggleAutoWeapons(nullptr);
    EXPECT_FALSE(gun->flags & kMountFiresAlong);
    guiToggleTrackMode(nullptr);
    EXPECT_TRUE(gWeaponStation.track);
    guiToggleAutoWeapons(nullptr);
    EXPECT_TRUE(gun->flags & kMountFiresAlong);

    CurrentStation = 2;
    guiToggleRippleFire(nullptr);
    EXPECT_FALSE(gWeaponStation.ripple);
    CurrentStation = 3;
    guiToggleRippleFire(nullptr);
    EXPECT_TRUE(gWeaponStation.ripple);

    WindowHandle* label = Element("WEPBotR2");
    guiSetupWepStation();
    gSettings.language = 2;
    label->frameHandler(label);
    EXPECT_STREQ(label->text, "WELLE");
}

// ---- COM ---------------------------------------------------------------------------------

TEST_F(StationsTest, TheContactFilterCyclesThroughFourClassesAndTheLabelsFollowTheLanguage)
{
    struct Case {
        int32_t from, to;
    } const cases[] = {{0, 1}, {1, 2}, {2, 7}, {7, 0}, {5, 0}, {-3, 0}};
    for (const Case& c : cases) {
        gContacts.filterClass = c.from;
        CycleContactFilter(nullptr);
        EXPECT_EQ(gContacts.filterClass, c.to) << c.from;
    }
    gSettings.language = 1;
    EXPECT_STREQ(ContactSortLabel(0), "NON TRI\xC9");
    EXPECT_STREQ(ContactFilterLabel(0), "VAISS");
    gSettings.language = 2;
    EXPECT_STREQ(ContactFilterLabel(7), "KOORD");
    EXPECT_STREQ(ContactSortLabel(2), "BEDROH");
    EXPECT_STREQ(ContactFilterLabel(8), "");
    EXPECT_STREQ(ContactSortLabel(-1), "");
}

// The local view flies the viewer camera by the player's ship until it is
// turned off or the screen changes; a screen change also ends the grid.
TEST_F(StationsTest, TheLocalViewFliesTheViewerByUntilItClosesOrTheScreenChanges)
{
    ResetViewerPanel();
    guiToggleLocalView(nullptr);
    EXPECT_GT(gViewer.flyBy, 0);
    EXPECT_EQ(ItemFromHandle(gViewer.watched), ship);
    guiToggleLocalView(nullptr);
    EXPECT_EQ(gViewer.flyBy, 0);

    guiToggleLocalView(nullptr);
    gViewer.ortho = 255;
    guiCleanUpScreen();
    EXPECT_EQ(gViewer.flyBy, 0);
    EXPECT_EQ(gViewer.ortho, 0);
    gLocalViewOpen = 0;
    ResetViewerPanel();
}

TEST_F(StationsTest, EachOverlayClosesTheOthersAndTheStarMap)
{
    gStarMapOpen = 255;
    guiToggleObjectivesView(nullptr);
    EXPECT_TRUE(gObjectivesViewOpen);
    EXPECT_FALSE(gStarMapOpen);

    guiToggleLocalView(nullptr);
    EXPECT_TRUE(gLocalViewOpen);
    EXPECT_FALSE(gObjectivesViewOpen);

    guiToggleDocsView(nullptr);
    EXPECT_TRUE(gDocsViewOpen);
    EXPECT_FALSE(gLocalViewOpen);

    // The star map opening closes the document browser, the objectives and
    // the local view.
    gObjectivesViewOpen = gLocalViewOpen = 255;
    ToggleStarMap();
    EXPECT_TRUE(gStarMapOpen);
    EXPECT_FALSE(gDocsViewOpen);
    EXPECT_FALSE(gObjectivesViewOpen);
    EXPECT_FALSE(gLocalViewOpen);

    gScriptMission.briefingRequested = 0;
    guiStartBriefing(nullptr);
    EXPECT_FALSE(gStarMapOpen);
    EXPECT_EQ(gScriptMission.briefingRequested, 255);
    guiToggleObjectivesView(nullptr);
    guiToggleObjectivesView(nullptr); // open, then closed
    EXPECT_FALSE(gObjectivesViewOpen);
}

class ComContactsTest : public StationsTest {
protected:
    void SetUp() override
    {
        StationsTest::SetUp();
        gFrameClock.gameClock = 1000;
        for (int i = 0; i < 3; ++i) {
            SceneItem* item = MakeItem();
            item->avatar->classFlags = 0x4;
            item->sim->position = {0, 0, 1000.0 * (i + 1)};
            item->sim->matrix.m[14] = 1000.0f * static_cast<float>(i + 1);
            items.push_back(item);
        }
        gContacts.nextRefresh = gFrameClock.gameClock;
        UpdateContactList();
        ASSERT_EQ(gContacts.visibleCount, 3);
        for (int i = 0; i < 7; ++i)
            rows.push_back(Element(("CdC" + std::to_string(i)).c_str(), 10, static_cast<int16_t>(20 * i)));
        panel = Element("CInfC", 300, 10);
        guiSetupComStation();
    }
    std::vector<SceneItem*> items;
    std::vector<WindowHandle*> rows;
    WindowHandle* panel = nullptr;
};

TEST_F(ComContactsTest, TheRowsShowTheListAndAClickChoosesTheContactOrNone)
{
    for (WindowHandle* row : rows)
        row->frameHandler(row);
    for (int i = 0; i < 7; ++i) {
        const int32_t expected = i < 3 ? static_cast<int32_t>(gContacts.visible[i] - gContacts.rows) : -1;
        EXPECT_EQ(rows[i]->subject.row, expected) << i;
    }
    EXPECT_EQ(gContacts.visible[1]->lineWindow, rows[1]);
    rows[1]->clickHandler(rows[1]);
    EXPECT_EQ(gContacts.current, gContacts.visible[1]);
    rows[5]->clickHandler(rows[5]);
    EXPECT_EQ(gContacts.current, nullptr);
}

TEST_F(ComContactsTest, ThePanelRefreshesEveryFiftyTicksAndAtOnceOnANewContact)
{
    gContacts.current = gContacts.visible[0];
    gFrameClock.frameTicks = 10;
    panel->frameHandler(panel);
    EXPECT_EQ(panel->subject.row, gContacts.visible[0] - gContacts.rows);
    EXPECT_EQ(panel->value, 50.0f);
    std::vector<float> countdown;
    for (int i = 0; i < 6; ++i) {
        panel->frameHandler(panel);
        countdown.push_back(panel->value);
    }
    EXPECT_EQ(countdown, (std::vector<float>{40, 30, 20, 10, 0, 50})); // below 0: refreshed
    gContacts.current = gContacts.visible[2];
    panel->frameHandler(panel);
    EXPECT_EQ(panel->subject.row, gContacts.visible[2] - gContacts.rows) << "a new contact shows at once";
    EXPECT_EQ(panel->value, 50.0f);
    gContacts.current = nullptr;
    panel->frameHandler(panel);
    EXPECT_EQ(panel->subject.row, -1);
}

TEST_F(StationsTest, IndicatorsFollowTheirFlagAndRedrawOnAChange)
{
    MemoryScreen screen;
    std::vector<uint8_t> up(16, 11), down(16, 22);
    Bitmap upPicture{up.data(), 4, 4, 0, 0}, downPicture{down.data(), 4, 4, 0, 0};
    WindowHandle* docs = Element("CMDDoc", 200, 100);
    docs->bitmapUp = &upPicture;
    docs->bitmapDown = &downPicture;
    guiSetupComStation();
    EXPECT_EQ(docs->frameHandler, &guiIndicatorFrame);
    docs->redrawCount = 0;
    docs->frameHandler(docs);
    EXPECT_EQ(screen.At(200, 100), 0) << "unchanged: not drawn";
    docs->clickHandler(docs);
    EXPECT_TRUE(gDocsViewOpen);
    docs->frameHandler(docs);
    EXPECT_EQ(screen.At(200, 100), 22); // lit
    docs->clickHandler(docs);
    docs->frameHandler(docs);
    EXPECT_EQ(screen.At(200, 100), 11);
}

// ---- ENG element callbacks -------------------------------------------------------------------

TEST_F(StationsTest, TheToggleAndPowerCallbacksInvertTheirValues)
{
    WindowHandle* parent = Element("EngParent");
    WindowHandle* box = guiCreateWindow(kAnchorTopLeft, parent, nullptr, guiTickWindow, nullptr, 0, 0, 8, 8, 0);
    parent->redrawCount = 0;
    guiToggleElement(box);
    EXPECT_EQ(box->check, 255);
    EXPECT_GT(parent->redrawCount, 0);
    guiToggleElement(box);
    EXPECT_EQ(box->check, 0);

    ShipSystem system{};
    system.switchedOn = 255;
    gEngPanel.selectedSystem = &system;
    guiToggleSystemPower(box);
    EXPECT_EQ(system.switchedOn, 0);
    EXPECT_EQ(box->check, 0);
    guiToggleSystemPower(box);
    EXPECT_EQ(box->check, 255);
    gEngPanel.selectedSystem = nullptr;
    guiToggleSystemPower(box); // no selection: nothing
    EXPECT_EQ(box->check, 255);
}

TEST_F(StationsTest, TheSystemGaugesShowTheSelectedSystem)
{
    ShipSystem system{};
    system.names[0] = "REACTOR";
    system.names[1] = "R\xC9"
                      "ACTEUR";
    system.output = 0.5f;
    system.health = 0.25f;
    system.temperature = 900;
    system.level = 1200;
    gEngPanel.selectedSystem = &system;
    WindowHandle* w = Element("EngGauge");
    gSettings.language = 1;
    guiSystemOutputDraw(w);
    EXPECT_EQ(w->value, 500.0f);
    EXPECT_EQ(w->maximum, 1000.0f);
    EXPECT_STREQ(w->text, "R\xC9"
                          "ACTEUR");
    EXPECT_EQ(gAmInjectorShown, 0);
    guiSystemHealthDraw(w);
    EXPECT_EQ(w->value, 250.0f);
    guiSystemTemperatureDraw(w);
    EXPECT_EQ(w->value, 900.0f);
    EXPECT_EQ(w->maximum, 2500.0f);
    guiSystemLevelDraw(w);
    EXPECT_EQ(w->value, 1200.0f);
    gEngPanel.selectedSystem = nullptr;
}

TEST_F(StationsTest, TextScrollsByAPanelWidthToWordStartsAndStopsAtTheEnd)
{
    static char text[] = "ONE TWO THREE FOUR\nFIVE SIX";
    Resource resource{};
    resource.data = text;
    resource.type = ResType::Sized;
    WindowHandle* w = Element("EngText");
    w->textResource = &resource;
    w->width = 45; // five characters of the 8-pixel stand-in width plus one
    w->maximum = 0;
    std::vector<float> starts;
    for (int i = 0; i < 8; ++i) {
        guiTextScrollForward(w);
        starts.push_back(w->maximum);
    }
    // "ONE T" goes back to "TWO"; "THREE" fills the width exactly; the line
    // end is not counted and starts a word; the end stops the scroll.
    EXPECT_EQ(starts, (std::vector<float>{4, 8, 13, 14, 19, 24, 27, 27}));
    guiTextScrollBack(w);
    EXPECT_EQ(w->maximum, 19.0f);
    w->maximum = 2;
    guiTextScrollBack(w);
    EXPECT_EQ(w->maximum, 0.0f);
}

} // namespace
