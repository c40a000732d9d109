// The flight HUD frame: the readout texts and tape marks as tables, and
// the frame drawn over a rendered main view, read back by palette index in
// crops. The test font draws each character as a column whose height
// follows its code, so the pixels in a crop tell which text stands there.
#include <cstring>
#include <string>
#include <vector>

#include "ai/combat.h"
#include "ai/weapons.h"
#include "screens/bridge.h"
#include "screens/comstation.h"
#include "screens/wepstation.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "script/symbols.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/rasterfont.h"
#include "system/settings.h"
#include "tests/view/view_fixture.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/hudframe.h"
#include "ui/messagelog.h"
#include "world/shipsystems.h"
#include "world/simframe.h"

namespace {

using viewtest::kHeight;
using viewtest::kWidth;

constexpr uint8_t kHud = 64;

// Pixels a character of the test font lights: a column of (code % 7) + 1.
int Weight(const std::string& text)
{
    int n = 0;
    for (char c : text)
        if (c != ' ')
            n += (static_cast<unsigned char>(c) % 7) + 1;
    return n;
}

struct TestFont {
    RasterFont font{};
    Raster glyphs[256]{};
    uint8_t pixels[8] = {255, 255, 255, 255, 255, 255, 255, 255};
    TestFont()
    {
        font.height = 8;
        for (int c = 0; c < 256; ++c) {
            glyphs[c] = {pixels, 1, int16_t(c % 7 + 1), 0, int16_t(c % 7)}; // standing on the line
            font.glyphs[c] = &glyphs[c];
            font.widths[c] = 6;
        }
    }
};

TEST(HudFrameTables, ReadoutsShortenLargeNumbersAndRoundSmallOnes)
{
    struct Case {
        float value;
        const char* text;
    } const cases[] = {{150000, "1.5E5"}, {-0.5f, "0"}, {1e10f, "1E10"}, {99999, "99999"}, {-10000, "-1E4"}, {-12345, "-1.2E4"}, {0.99f, "0"}, {-9999, "-9999"}, {2.5e20f, "2.5E20"}};
    for (const Case& c : cases) {
        char text[32];
        FormatReadout(c.value, text);
        EXPECT_STREQ(text, c.text) << c.value;
    }
}

TEST(HudFrameTables, BearingsTurnFromAheadAndTheOriginIsNoTurn)
{
    struct Case {
        float x, y, degrees;
    } const cases[] = {{1, 0, 90}, {1, 1, 45}, {-1, 1, -45}, {-1, -1, -135}, {0, 1, 0}, {0, -1, 180}, {0, 0, 0}};
    for (const Case& c : cases)
        EXPECT_NEAR(BearingDegrees(c.x, c.y), c.degrees, 0.01) << c.x << "," << c.y;
}

TEST(HudFrameTables, TapeMarksFollowTheBearingAndWrapTheirLabels)
{
    struct Mark {
        int32_t offset, degrees;
        bool labelled;
    };
    struct Case {
        float bearing;
        std::vector<Mark> marks;
    } const cases[] = {
        {0, {{-84, -40, 0}, {-58, -30, 1}, {-36, -20, 0}, {-18, -10, 0}, {0, 0, 1}, {18, 10, 0}, {36, 20, 0}, {58, 30, 1}, {84, 40, 0}}},
        {45, {{-100, -90, 1}, {-70, -80, 0}, {-47, -70, 0}, {-27, -60, 1}, {-9, -50, 0}, {9, -40, 0}, {27, -30, 1}, {47, -20, 0}, {70, -10, 0}}},
        {-170, {{-84, 130, 0}, {-58, 140, 0}, {-36, 150, 1}, {-18, 160, 0}, {0, 170, 0}, {18, 180, 1}, {36, -170, 0}, {58, -160, 0}, {84, -150, 1}}},
    };
    for (const Case& c : cases) {
        TapeMark marks[kMaxTapeMarks];
        const int n = TapeMarks(c.bearing, 38.5f, 100, marks);
        ASSERT_EQ(n, int(c.marks.size())) << c.bearing;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(marks[i].offset, c.marks[i].offset) << c.bearing << " mark " << i;
            EXPECT_EQ(marks[i].degrees, c.marks[i].degrees) << c.bearing << " mark " << i;
            EXPECT_EQ(marks[i].labelled, c.marks[i].labelled) << c.bearing << " mark " << i;
        }
    }
}

TEST(HudFrameTables, TheGaugeTakesTheColourOfTheDominantShare)
{
    struct Case {
        float a, b, c;
        uint8_t colour;
    } const cases[] = {{1, 0, 0, 131}, {0.6f, 0.1f, 0.1f, 138}, {0, 1, 0, 63}, {0, 0.5f, 0.25f, 75}, {0, 0, 1, 95}, {0.1f, 0.1f, 0.6f, 104}, {0.4f, 0.3f, 0.3f, 79}, {0, 0, 0, 79}};
    for (const Case& c : cases)
        EXPECT_EQ(HexGaugeColour(c.a, c.b, c.c), c.colour) << c.a << " " << c.b << " " << c.c;
}

class HudFrameView : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        savedFont = gFontV;
        gFontV = &font.font;
        player = worldtest::MakeItem();
        worldtest::MakeShip(player);
        Place(player, 0, 0, 0);
        gPlayerItem = gControlledItem = player;
        mainView = ViewWindow(player);
        ResetContactList();
        gHud.visible = 255;
        gHud.fadeDirection = 0;
        gSettings.noHud = 0;
        gLastHitAmount = 0;
        gFrameClock.gameClock = 0;
        gFrameClock.timeCompression = 1;
        gScriptVars.waypointCount = gScriptVars.waypointStartCount = -1;
        gMissionTimeLimit.running = 0;
        GetKeyStateBlock()[kStateMouseLeft] = 0;
        gHudFrame.setpointGrabbed = 0;
        worldtest::SetFrameStep(5);
    }
    void TearDown() override
    {
        gFontV = savedFont;
        gFrameClock.timeCompression = 1;
        GetKeyStateBlock()[kStateMouseLeft] = 0;
        gShipSystems.emergencyPower = 0;
        ResetContactList();
        ViewTest::TearDown();
    }
    void Draw()
    {
        std::fill(frame.begin(), frame.end(), 0);
        RenderViewWindow(mainView);
    }
    int Count(uint8_t index, int left, int top, int right, int bottom) const
    {
        int n = 0;
        for (int y = std::max(top, 0); y <= std::min(bottom, kHeight - 1); ++y)
            for (int x = std::max(left, 0); x <= std::min(right, kWidth - 1); ++x)
                n += At(x, y) == index;
        return n;
    }
    // The HUD-coloured pixels of a band of rows across the view.
    int Band(int top, int bottom) const { return Count(kHud, 0, top, kWidth - 1, bottom); }

    TestFont font;
    RasterFont* savedFont = nullptr;
    SceneItem* player = nullptr;
    WindowHandle* mainView = nullptr;
};

TEST_F(HudFrameView, CornersAndTheCentreCrossWithoutAContactAndTheContactsMarkWithOne)
{
    Draw();
    EXPECT_EQ(Count(kHud, 0, 0, 30, 30), 31);              // the top-left mark: two arms of 16
    EXPECT_EQ(Count(kHud, 609, 0, 639, 30), 31);           // the top-right mark
    EXPECT_EQ(Count(kHud, 0, 449, 30, 479), 31);           // the bottom-left mark
    EXPECT_EQ(Count(kHud, 311, 231, 327, 247), 4 * 5 + 1); // the cross and its dot

    SceneItem* ship = worldtest::MakeItem();
    ship->avatar->classFlags = 0x4 | 0x80;
    Place(ship, 0, 0, 1e6f);
    SelectContact(ship);
    ASSERT_EQ(CurrentContactItem(), ship);
    gContacts.current->classFlags = 0x80;
    gHud.contactOffset[0] = 100;
    gHud.contactOffset[1] = 0;
    Draw();
    EXPECT_EQ(Count(kHud, 311, 231, 327, 247), 0);          // no cross
    EXPECT_EQ(Count(133, 319 + 15, 239, 319 + 20, 239), 6); // the mark towards the contact, in its class colour
}

TEST_F(HudFrameView, TheMissionClockCountsMinutesAndSeconds)
{
    struct Case {
        uint32_t ticks;
        const char* text;
    } const cases[] = {{0, "T: 0:00"}, {6000, "T: 1:00"}, {6000 * 12 + 5900, "T: 12:59"}};
    for (const Case& c : cases) {
        gFrameClock.gameClock = c.ticks;
        Draw();
        EXPECT_EQ(Count(kHud, 639 - 50, 479 - 17, 634, 479 - 8), Weight(c.text)) << c.text;
    }
}

TEST_F(HudFrameView, TheLinearScaleShowsTheSetpointAndTheDragSetsItWithinTheScale)
{
    int32_t x, y0;
    Draw();
    SpeedScaleOrigin(x, y0);
    EXPECT_EQ(x, 76);
    EXPECT_EQ(y0, 239 - 110);
    Sim* sim = player->sim;
    const float top = sim->flightModel->topSpeed;
    EXPECT_EQ(At(x, y0 + 80), kHud);                             // the scale
    EXPECT_EQ(Count(kHud, x + 1, y0 + 50, x + 15, y0 + 50), 15); // the speed tick at zero
    sim->ldsTargetSpeed = top / 2;
    Draw();
    EXPECT_EQ(At(x + 6, y0 + 25), kHud); // the setpoint mark a quarter down

    // Grab beside the mark and drag: the height maps to the setpoint, kept on the scale.
    ClearCallTrace();
    GetKeyStateBlock()[kStateMouseLeft] = 255;
    gMouse.x = x - 20;
    gMouse.y = y0 + 25;
    Draw();
    EXPECT_EQ(gHudFrame.setpointGrabbed, 1);
    struct Drag {
        int y;
        float setpoint;
    } const drags[] = {{y0 + 50, 0}, {y0 + 75, -top / 2}, {y0 - 60, top}, {y0 + 300, -top}};
    for (const Drag& d : drags) {
        gMouse.y = d.y;
        gMouse.x = 500; // held, the mark follows wherever the mouse goes
        Draw();
        EXPECT_FLOAT_EQ(sim->ldsTargetSpeed, d.setpoint) << d.y;
    }
    // In dock mode the drag is held within the dock mode's 2500.
    const int32_t mode = sim->assistMode;
    sim->assistMode = 2;
    gMouse.y = y0 - 60;
    Draw();
    EXPECT_FLOAT_EQ(sim->ldsTargetSpeed, 2500.0f);
    sim->assistMode = mode;
    gMouse.y = y0 + 300;
    Draw();
    EXPECT_GT(Count(47, x - 48, y0 - 15, x - 5, y0 + 115), 0); // grabbed boxes are outlined in 47
    GetKeyStateBlock()[kStateMouseLeft] = 0;
    gMouse.y = y0;
    Draw();
    EXPECT_EQ(gHudFrame.setpointGrabbed, 0);
    EXPECT_FLOAT_EQ(sim->ldsTargetSpeed, -top);
    EXPECT_EQ(Count(47, x - 48, y0 - 15, x - 5, y0 + 115), 0);

    // A press outside the box grabs nothing.
    GetKeyStateBlock()[kStateMouseLeft] = 255;
    gMouse.x = x + 30;
    Draw();
    EXPECT_EQ(gHudFrame.setpointGrabbed, 0);

    // Without a maximum speed the marks sit at the scale's top end.
    GetKeyStateBlock()[kStateMouseLeft] = 0;
    sim->flightModel->topSpeed = 0;
    sim->localVelocity.z = 50;
    Draw();
    EXPECT_EQ(Count(kHud, x + 1, y0, x + 15, y0), 15);
}

TEST_F(HudFrameView, TheLdsScaleIsLogarithmicAndTheDragReachesAtMostTenToTheTen)
{
    Sim* sim = player->sim;
    sim->flags |= kSimLdsEngaged;
    sim->flightModel->ldsTopSpeed = 1e10f; // the drag is held within the drive's top speed
    sim->thrust.z = 1e7f;                  // two decades up
    sim->ldsTargetSpeed = 1e3f;            // below the scale: at its bottom
    Draw();
    int32_t x, y0;
    SpeedScaleOrigin(x, y0);
    EXPECT_EQ(Count(kHud, x + 1, y0 + 60, x + 15, y0 + 60), 15); // the speed tick
    EXPECT_EQ(At(x + 6, y0 + 100), kHud);                        // the setpoint mark at the bottom
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(At(x + 4, y0 + 100 - 20 * k), kHud) << k;

    GetKeyStateBlock()[kStateMouseLeft] = 255;
    gMouse.x = x - 10;
    gMouse.y = y0 + 100;
    Draw();
    gMouse.y = y0 + 40;
    Draw();
    EXPECT_NEAR(sim->ldsTargetSpeed, 1e8f, 1e3f);
    gMouse.y = 0;
    Draw();
    EXPECT_NEAR(sim->ldsTargetSpeed, 1e10f, 1e5f);

    sim->thrust.z = 0; // no LDS speed: the tick sits at the bottom
    GetKeyStateBlock()[kStateMouseLeft] = 0;
    Draw();
    EXPECT_EQ(Count(kHud, x + 1, y0 + 100, x + 15, y0 + 100), 15);
}

TEST_F(HudFrameView, TheStatusWordBlinksLdsInhibitAndShowsTheShield)
{
    player->sim->flags |= kSimLdsBarred;
    struct Case {
        uint32_t ticks;
        uint32_t flags;
        const char* text;
    } const cases[] = {{150, kSimLdsBarred, "LDS INHIBIT"}, {250, kSimLdsBarred, ""}, {250, kSimLdsBarred | 0x400000, "SHIELD"}};
    for (const Case& c : cases) {
        player->sim->flags = c.flags;
        gFrameClock.gameClock = c.ticks;
        Draw();
        EXPECT_EQ(Count(kHud, 8, 8, 8 + 6 * 11, 15), Weight(c.text)) << c.ticks;
    }
}

TEST_F(HudFrameView, EmergencyPowerBlinksAndHidesTheWaypointsTimeLimitAndFtlLines)
{
    InitShipSystems();
    ResetShipSystems(player);
    ShipSystem* emergency = FindShipSystem("EMERG ACC");
    ASSERT_NE(emergency, nullptr);
    emergency->level = 0.5f;
    gShipSystems.emergencyPower = 255;
    gScriptVars.waypointStartCount = 5;
    gScriptVars.waypointCount = 3;
    const int band = 479 - 36 - 7;
    struct Case {
        uint32_t ticks;
        const char* text;
    } const cases[] = {{60, "ON EMERGENCY POWER: 10 SECONDS LEFT"}, {40, "Waypoints left: 3"}};
    for (const Case& c : cases) {
        gFrameClock.gameClock = c.ticks;
        Draw();
        EXPECT_EQ(Band(band, band + 7), Weight(c.text)) << c.ticks;
    }
    gScriptVars.waypointCount = 5; // none reached yet: the time limit speaks
    gMissionTimeLimit.running = 1;
    gMissionTimeLimit.countdown = 6000 + 500;
    Draw();
    EXPECT_EQ(Band(band, band + 7), Weight("Time Left: 1:05"));
    gMissionTimeLimit.running = 0;

    SceneItem* beacon = worldtest::MakeItem();
    Place(beacon, 0, 0, 6e8f);
    gFtlSource = beacon;
    Draw();
    EXPECT_EQ(Band(band, band + 7), Weight("FTL Signal Strength at 25.00%"));
    gSettings.language = 2;
    Draw();
    EXPECT_EQ(Band(band, band + 7), Weight("FTL-Signal St\xE4rke: 25.00%"));
    gSettings.language = 0;
    gFrameClock.gameClock = 60; // the emergency line again
    Draw();
    EXPECT_EQ(Band(band, band + 7), Weight("ON EMERGENCY POWER: 10 SECONDS LEFT"));
    gFtlSource = nullptr;
}

TEST_F(HudFrameView, OnlyFiveIncomingMissilesAreListedAndTheListEmpties)
{
    std::vector<SceneItem*> missiles;
    for (int i = 0; i < 6; ++i) {
        missiles.push_back(worldtest::MakeItem());
        RegisterIncomingMissile(missiles.back(), 5e8f);
    }
    Draw();
    int expected = 0;
    for (int i = 1; i <= 5; ++i)
        expected += Weight("MSL " + std::to_string(i));
    EXPECT_EQ(Count(kHud, 639 - 300, 0, 639 - 252, 479 - 20), expected);
    EXPECT_EQ(Count(kHud, 639 - 140, 479 - 24 - 60, 639 - 60, 479 - 25), 5 * Weight("R: 5.0KK"));
    EXPECT_EQ(gProximityThreats[0].item, nullptr); // emptied
    Draw();
    EXPECT_EQ(Count(kHud, 639 - 300, 0, 639 - 252, 479 - 20), 0);
}

TEST_F(HudFrameView, AChangeOfTheHullFlashesThePanels)
{
    player->sim->hull = 100;
    Draw();
    EXPECT_EQ(gLastHitAmount, 0); // the first frame only notes the hull
    Draw();
    EXPECT_EQ(gLastHitAmount, 0);
    player->sim->hull = 80;
    Draw();
    EXPECT_EQ(gLastHitAmount, 200);
    gLastHitAmount = 0;
}

TEST_F(HudFrameView, TimeCompressionIsShownInTheLowerLeftCorner)
{
    Draw();
    EXPECT_EQ(Count(kHud, 8, 479 - 17, 80, 479 - 10), 0);
    gFrameClock.timeCompression = 2;
    Draw();
    EXPECT_EQ(Count(kHud, 8, 479 - 17, 80, 479 - 10), Weight("TIME x2"));
}

TEST_F(HudFrameView, AReadoutBoxMovesDownToItsMinimumTop)
{
    Draw(); // leaves the main view set up for the box
    std::fill(frame.begin(), frame.end(), 7);
    DrawReadoutBox(150000, 200, 100, 240, 110, 120);
    EXPECT_EQ(At(220, 120), kHud); // the outline moved down by 20
    EXPECT_EQ(At(220, 130), kHud);
    EXPECT_EQ(At(220, 100), 7);
    EXPECT_EQ(At(202, 122), 0); // the inside cleared
    EXPECT_EQ(Count(kHud, 204, 121, 239, 129), Weight("1.5E5"));
}

TEST_F(HudFrameView, AFailedMissionBlinksItsTextInPlaceOfTheStatusWordExceptInTheTestMission)
{
    const char* saved = gTextTable[163];
    gTextTable[163] = "Mission failed.";
    gScriptMission.missionFailed = 255;
    player->sim->flags = 0x400000; // the shield's word gives way to it
    struct Case {
        int32_t mission;
        uint32_t ticks;
        const char* text;
    } const cases[] = {{1, 150, "Mission failed."}, {1, 250, ""}, {99, 150, "SHIELD"}};
    for (const Case& c : cases) {
        gScriptVars.missionNumber = c.mission;
        gFrameClock.gameClock = c.ticks;
        Draw();
        EXPECT_EQ(Count(kHud, 8, 8, 8 + 6 * 16, 15), Weight(c.text)) << c.mission << " " << c.ticks;
    }
    gScriptMission.missionFailed = 0;
    gScriptVars.missionNumber = 1;
    gTextTable[163] = saved;
    player->sim->flags = 0;
}

TEST_F(HudFrameView, TheReactorAndTheEmergencyChargeAreLevelBarsAtTheLowerLeft)
{
    gShipSystems.systemsShip = nullptr;
    Draw();
    EXPECT_EQ(Count(97, 13, 479 - 32, 13 + 44, 479 - 18), 0) << "no ship systems: no bars";
    InitShipSystems();
    ResetShipSystems(player);
    gShipSystems.systemsShip = player;
    FindShipSystem("REACTOR")->level = 1.0f;   // full: colour 97
    FindShipSystem("EMERG ACC")->level = 0.1f; // low: colour 64
    Draw();
    // Each bar: a frame of its level colour round its fill (45 x 6).
    EXPECT_GT(Count(97, 13, 479 - 23, 13 + 44, 479 - 18), 60) << "the reactor's bar";
    EXPECT_GT(Count(64, 13, 479 - 32, 13 + 44, 479 - 27), 30) << "the emergency charge's bar";
    EXPECT_EQ(Count(97, 13, 479 - 32, 13 + 44, 479 - 27), 0);
    gShipSystems.systemsShip = nullptr;
    Draw();
    EXPECT_EQ(Count(97, 13, 479 - 23, 13 + 44, 479 - 18), 0) << "only for the player's own systems";
}

TEST_F(HudFrameView, TheSecondDebugPageNamesTheCurrentContactsOrderAndState)
{
    SceneItem* ship = worldtest::MakeItem();
    worldtest::MakeShip(ship);
    ship->sim->shipInfo->name = "Raider";
    ship->avatar->classFlags = 0x4 | 0x80;
    Place(ship, 0, 0, 1e6f);
    SelectContact(ship);
    ASSERT_EQ(CurrentContactItem(), ship);
    gContacts.current->classFlags = 0x80; // drawn in 133
    const int top = 16 - 7;
    HudDebugPage = 0;
    Draw();
    EXPECT_EQ(Count(133, 48, top, 300, top + 7), 0);
    HudDebugPage = 2;
    Draw();
    HudDebugPage = 0;
    EXPECT_GT(Count(133, 48, top, 300, top + 7), 0) << "its first line, the ship";
    EXPECT_EQ(Count(133, 48, top + 20, 300, top + 27), Weight("STATE: NONE")) << "no state on its stack";
    EXPECT_EQ(Count(133, 48, top + 70, 300, top + 77), Weight("DAMAGE: 0"));
}

TEST_F(HudFrameView, InRapidFireTheLeadMarkerShowsWhereAMovingTargetWillBe)
{
    SceneItem* target = worldtest::MakeItem();
    worldtest::MakeShip(target);
    Place(target, 0, 0, 1e6f);
    target->sim->radius = 100;
    target->sim->velocity = {300000, 0, 0}; // sideways: the lead lies off its box
    player->sim->target = target;
    Draw();
    const int cx = 319, cy = 239;
    const int beside = Count(kHud, cx + 20, cy - 12, 639, cy + 12);
    RapidMode = 255;
    Draw();
    RapidMode = 0;
    EXPECT_GT(Count(kHud, cx + 20, cy - 12, 639, cy + 12), beside + 20) << "a diamond with wings beside the target";
    player->sim->target = nullptr;
}

TEST_F(HudFrameView, TheExternalViewShowsTheNavigationOrbAboutTheCentre)
{
    HUD orb{};
    orb.flags = 1;
    InitOrbHud(&orb, player, 0);
    orb.params[2] = 6500;
    gCockpitOrbs[0] = &orb;
    Draw();
    const std::vector<uint8_t> cockpit(frame.begin(), frame.end());
    gExternalView = 255;
    Draw();
    gExternalView = 0;
    gCockpitOrbs[0] = nullptr;
    // Its rings, shaded by depth, about the centre.
    int changed = 0;
    for (int y = 239 - 100; y <= 239 + 100; ++y)
        for (int x = 319 - 100; x <= 319 + 100; ++x)
            changed += frame[std::size_t(y) * kWidth + x] != cockpit[std::size_t(y) * kWidth + x];
    EXPECT_GT(changed, 200) << "the orb's rings";
}

TEST_F(HudFrameView, InRapidFireAnAutoFireMountsAimIsMarkedKeptInsideTheView)
{
    Weapon mount{};
    mount.flags = 0x1 | 0x20; // auto-fire
    mount.directionCode = 2;  // forward and to port: far off the centre
    player->sim->currentWeapon = &mount;
    auto edges = [&] { return Count(97, 0, 229, 20, 249) + Count(97, 619, 229, 639, 249); };
    Draw();
    EXPECT_EQ(edges(), 0) << "not in rapid fire";
    RapidMode = 255;
    Draw();
    EXPECT_GE(edges(), 12) << "a diamond held 7 pixels inside the view's edge, in 97 without a target";
    mount.flags = 0x1;
    Draw();
    RapidMode = 0;
    EXPECT_EQ(edges(), 0) << "a mount without auto-fire";
    player->sim->currentWeapon = nullptr;
}

} // namespace
