// The HUD element list and its element types: registration and removal,
// the per-frame walk and its draw gate, the fade, the geometry each
// initialiser builds, and the elements drawn over a rendered main view.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "screens/bridge.h"
#include "screens/wepstation.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "tests/view/view_fixture.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "view/cameras.h"
#include "view/viewstate.h"
#include "ai/weapons.h"
#include "world/behaviours.h"
#include "world/pools.h"
#include "world/universe.h"

namespace {

using worldtest::FatalStops;
using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::SetFrameStep;

constexpr uint8_t kCube = 97; // the cube's colour

// What the counting routines saw.
std::vector<const HUD*> gDrawn;
std::vector<const HUD*> gUpdated;
std::vector<std::pair<const HUD*, SceneItem*>> gRetargeted;

void CountDraw(HUD* e) { gDrawn.push_back(e); }
void CountUpdate(HUD* e) { gUpdated.push_back(e); }
void CountTarget(HUD* e, SceneItem* contact, int32_t) { gRetargeted.emplace_back(e, contact); }

class HudTest : public worldtest::WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        gDrawn.clear();
        gUpdated.clear();
        gRetargeted.clear();
        gHud.visible = 255;
        gHud.fadeDirection = 0;
        gHud.forceTargetChange = 0;
        gSettings.noHud = 0;
        gLastHitAmount = 0;
        gExternalView = 0;
    }
    void TearDown() override
    {
        gSettings.noHud = 0;
        gExternalView = 0;
        WorldTest::TearDown();
    }
    // A pooled element that only counts its update and draw.
    static HUD* Counting(SceneItem* subject = nullptr, uint32_t flags = 0)
    {
        HUD* e = AllocHUD();
        e->subject = subject;
        e->onUpdate = CountUpdate;
        e->onDraw = CountDraw;
        e->flags |= flags;
        return e;
    }
    static bool Drawn(const HUD* e) { return std::count(gDrawn.begin(), gDrawn.end(), e) > 0; }
    static bool Listed(const HUD* e) { return std::count(gHud.list, gHud.list + gHud.count, e) > 0; }
    // A ship item alive in the scene.
    static SceneItem* Ship()
    {
        SceneItem* s = MakeItem();
        MakeShip(s);
        return s;
    }
};

// ---- The list ----------------------------------------------------------------------------

TEST_F(HudTest, TheListTakes256ElementsAndRefusesThe257th)
{
    static HUD records[kMaxRegisteredHuds + 1];
    for (HUD& r : records)
        RegisterHud(&r);
    EXPECT_EQ(gHud.count, kMaxRegisteredHuds);
    EXPECT_EQ(FatalStops(), std::vector<std::string>{"Exceeded Max no. of HUDs"});
    EXPECT_EQ(gHud.list[kMaxRegisteredHuds - 1], &records[kMaxRegisteredHuds - 1]);
    ClearHudList();
    EXPECT_EQ(gHud.count, 0);
}

TEST_F(HudTest, UnregisteringKeepsTheOrderAndIgnoresAnUnlistedElement)
{
    HUD* a = Counting();
    HUD* b = Counting();
    HUD* c = Counting();
    HUD* stray = Counting();
    for (HUD* e : {a, b, c})
        RegisterHud(e);
    UnregisterHud(stray);
    EXPECT_EQ(gHud.count, 3);
    EXPECT_EQ(stray->flags & kHudInUse, kHudInUse);
    UnregisterHud(b);
    ASSERT_EQ(gHud.count, 2);
    EXPECT_EQ(gHud.list[0], a);
    EXPECT_EQ(gHud.list[1], c);
    EXPECT_EQ(b->flags & kHudInUse, 0u); // back in the pool
}

TEST_F(HudTest, TheFirstRegistrationFadesInAndOnlyTheDashesShowFor100Ticks)
{
    ClearHudList();
    HUD* e = Counting();
    RegisterHud(e);
    EXPECT_EQ(gHud.visible, 0);
    EXPECT_EQ(gHud.fadeDirection, 1);
    EXPECT_EQ(gHud.fadeTimer, 0);
    SetFrameStep(20);
    for (int frame = 0; frame < 5; ++frame) { // the first 100 ticks
        UpdateHud();
        EXPECT_TRUE(gDrawn.empty()) << frame;
        EXPECT_EQ(gHud.visible, 0);
    }
    EXPECT_EQ(gUpdated.size(), 5u); // updated all along
    UpdateHud();                    // the timer passes 100 in this frame
    EXPECT_EQ(gHud.visible, 255);
    EXPECT_EQ(gHud.fadeDirection, 0);
    EXPECT_TRUE(Drawn(e));
}

TEST_F(HudTest, ToggleFadesOutAndAToggleDuringTheFadeOutFadesInFromZero)
{
    RegisterHud(Counting());
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    ToggleHud();
    EXPECT_EQ(gHud.visible, 0);
    EXPECT_EQ(gHud.fadeDirection, -1);
    EXPECT_EQ(gHud.fadeTimer, kHudFadeTicks);
    SetFrameStep(20);
    UpdateHud();
    EXPECT_EQ(gHud.fadeTimer, 80);
    EXPECT_TRUE(gDrawn.empty());
    ToggleHud();
    EXPECT_EQ(gHud.fadeDirection, 1);
    EXPECT_EQ(gHud.fadeTimer, 0);
    // Not while the director or the external camera has the view.
    gDirectorOn = 1;
    ToggleHud();
    EXPECT_EQ(gHud.fadeDirection, 1);
    gDirectorOn = 0;
}

TEST_F(HudTest, RemoveOtherSystemHudsDropsCubesOfDeadOrOtherSystemSubjects)
{
    gCurrentSceneGeneration = 3;
    SceneItem* here = MakeItem();
    SceneItem* away = MakeItem();
    SceneItem* parked = MakeItem();
    SceneItem* dead = MakeItem();
    here->sceneGeneration = 3;
    away->sceneGeneration = parked->sceneGeneration = 4;
    parked->flags |= kItemParkedWithSystem;
    HUD* cubes[4];
    SceneItem* subjects[4] = {here, away, parked, dead};
    for (int i = 0; i < 4; ++i)
        RegisterHud(cubes[i] = InitCubeHud(AllocHUD(), "C", subjects[i], 0));
    HUD* sphere = InitSphereHud(AllocHUD(), away, 0, 0, 0, 0, 1, 1, 1); // not a cube
    RegisterHud(sphere);
    dead->flags = 0;
    RemoveOtherSystemHuds();
    EXPECT_TRUE(Listed(cubes[0]));
    EXPECT_FALSE(Listed(cubes[1]));
    EXPECT_TRUE(Listed(cubes[2]));
    EXPECT_FALSE(Listed(cubes[3]));
    EXPECT_TRUE(Listed(sphere));
    gCurrentSceneGeneration = 0;
}

TEST_F(HudTest, OffsetMovesOnlyWorldAnchoredElements)
{
    HUD* trail = InitTrailHud(AllocHUD(), nullptr, 0);
    HUD* sphere = InitSphereHud(AllocHUD(), nullptr, 0, 0, 0, 0, 100, 100, 100);
    trail->pointCount = 2;
    for (HUD* e : {trail, sphere})
        RegisterHud(e);
    const Vector3 before = sphere->points[5].world;
    OffsetTrailHuds(10, -20, 30);
    EXPECT_EQ(trail->points[1].world.x, 10.0f);
    EXPECT_EQ(trail->points[1].world.y, -20.0f);
    EXPECT_EQ(trail->points[1].world.z, 30.0f);
    EXPECT_EQ(sphere->points[5].world.x, before.x);
    EXPECT_EQ(trail->points[2].world.x, 0.0f); // beyond the count
}

TEST_F(HudTest, AMissionResetLeavesNoElementAndZeroedHitIndicators)
{
    HUD* e = Counting();
    RegisterHud(e);
    gScreenShake[0] = gScreenShake[1] = 40;
    gLastHitAmount = 250;
    gControlledHitCounter = 15;
    gHud.singleTrail = gHud.contactFlash = 1;
    ResetSimulation();
    EXPECT_EQ(gHud.count, 0);
    EXPECT_EQ(gScreenShake[0], 0);
    EXPECT_EQ(gScreenShake[1], 0);
    EXPECT_EQ(gLastHitAmount, 0);
    EXPECT_EQ(gControlledHitCounter, 0);
    EXPECT_EQ(gHud.singleTrail, 0);
    EXPECT_EQ(gHud.contactFlash, 0);
}

TEST_F(HudTest, FindNamedSceneItemMatchesNamedBodiesOfTheCurrentSystemExactly)
{
    static SystemBody bodies[3] = {};
    const char* names[3] = {"L4", "Vorn", "Vorn"};
    SceneItem* items[3];
    for (int i = 0; i < 3; ++i) {
        std::snprintf(bodies[i].name, sizeof bodies[i].name, "%s", names[i]);
        items[i] = MakeItem();
        items[i]->avatar->classFlags |= kClassNamedBody;
        bodies[i].sceneItem = items[i];
        gSystemBodyList[i].body = &bodies[i];
    }
    items[1]->sceneGeneration = 9; // the first "Vorn" lies in another system
    gSystemBodyCount = 3;
    EXPECT_EQ(FindNamedSceneItem("L4"), items[0]);
    EXPECT_EQ(FindNamedSceneItem("Vorn"), items[2]);
    EXPECT_EQ(FindNamedSceneItem("l4"), nullptr); // case counts
    EXPECT_EQ(FindNamedSceneItem("L"), nullptr);
    items[0]->avatar->classFlags &= ~kClassNamedBody;
    EXPECT_EQ(FindNamedSceneItem("L4"), nullptr);
    gSystemBodyCount = 0;
    for (int i = 0; i < 3; ++i)
        gSystemBodyList[i].body = nullptr;
}

// ---- The walk and the draw gate -------------------------------------------------------

TEST_F(HudTest, TheGateHidesUntargetedDeadShipAndHiddenElements)
{
    SceneItem* ship = Ship();
    SceneItem* rock = MakeItem();
    struct Case {
        const char* what;
        SceneItem* subject;
        uint32_t flags;
        bool targetRoutine;
        bool drawn;
    } const cases[] = {
        {"plain", nullptr, 0, false, true},
        {"hidden", nullptr, kHudHidden, false, false},
        {"untargeted", nullptr, 0, true, false},
        {"untargeted but shown", nullptr, kHudShowUntargeted, true, true},
        {"targeted", rock, 0, true, true},
        {"needs a ship, has one", ship, kHudNeedsShip, false, true},
        {"needs a ship, has a rock", rock, kHudNeedsShip, false, false},
        {"needs a ship, has none", nullptr, kHudNeedsShip | kHudShowUntargeted, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HUD* e = Counting(c.subject, c.flags);
        if (c.targetRoutine)
            e->onTargetChange = CountTarget;
        gDrawn.clear();
        DrawHudIfShown(e);
        EXPECT_EQ(Drawn(e), c.drawn);
    }
}

TEST_F(HudTest, ThePlayersOwnElementIsUpdatedButNeverDrawn)
{
    gPlayerItem = Ship();
    HUD* own = Counting(gPlayerItem);
    HUD* other = Counting(Ship());
    RegisterHud(own);
    RegisterHud(other);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    UpdateHud();
    EXPECT_EQ(gUpdated, (std::vector<const HUD*>{own, other}));
    EXPECT_FALSE(Drawn(own));
    EXPECT_TRUE(Drawn(other));
}

TEST_F(HudTest, AnElementThatLeavesInItsUpdateSkipsNoNeighbour)
{
    SceneItem* doomed = MakeItem();
    HUD* first = InitCubeHud(AllocHUD(), "A", doomed, 0);
    HUD* second = Counting();
    HUD* third = Counting();
    for (HUD* e : {first, second, third})
        RegisterHud(e);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    doomed->flags = 0; // its subject died
    UpdateHud();
    EXPECT_EQ(gUpdated, (std::vector<const HUD*>{second, third}));
    EXPECT_FALSE(Listed(first));
    EXPECT_EQ(first->subject, nullptr);
    EXPECT_EQ(first->flags & kHudInUse, 0u);
    EXPECT_EQ(gHud.count, 2);
}

TEST_F(HudTest, TheForcedTargetPassRetargetsOnceAndNohudRunsNothing)
{
    HUD* e = Counting();
    e->onTargetChange = CountTarget;
    e->userData = 7;
    RegisterHud(e);
    gHud.forceTargetChange = 1;
    UpdateHud();
    UpdateHud();
    EXPECT_EQ(gRetargeted.size(), 1u);
    EXPECT_EQ(gHud.forceTargetChange, 0);

    gSettings.noHud = 255;
    gUpdated.clear();
    gHud.forceTargetChange = 1;
    UpdateHud();
    EXPECT_TRUE(gUpdated.empty());
    EXPECT_EQ(gRetargeted.size(), 1u);
}

// ---- Geometry ------------------------------------------------------------------------

void Place(SceneItem* item, float x, float y, float z)
{
    item->sim->matrix.m[12] = x;
    item->sim->matrix.m[13] = y;
    item->sim->matrix.m[14] = z;
    item->sim->position = {x, y, z};
    item->avatar->matrix = item->sim->matrix;
}

float Length(const Vector3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

TEST_F(HudTest, TheSphereHasSixRingsJoinedBySpokes)
{
    HUD* s = InitSphereHud(AllocHUD(), nullptr, 0, 10, 20, 30, 1000, 1000, 1000);
    EXPECT_EQ(s->pointCount, 88);
    EXPECT_EQ(s->segmentCount, 129);
    EXPECT_EQ(s->flags, kHudInUse | 0x90u);
    for (int i = 0; i < s->pointCount; ++i) {
        const Vector3& p = s->points[i].local;
        EXPECT_NEAR(Length({p.x - 10, p.y - 20, p.z - 30}), 1000, 0.5) << i;
        EXPECT_EQ(s->points[i].world.x, p.x);
    }
    // Ring 0 closes on itself; the first spoke joins ring 0 to ring 1.
    EXPECT_EQ(s->segments[11].from, 11);
    EXPECT_EQ(s->segments[11].to, 0);
    EXPECT_EQ(s->segments[88].from, 0);
    EXPECT_EQ(s->segments[88].to, 12);
    EXPECT_EQ(s->segments[89].to, 12 + 4); // point 1 x 16 / 4 of ring 1
    EXPECT_EQ(s->segments[128].from, 0);
    EXPECT_EQ(s->segments[128].to, 1);
    for (int i = 0; i < s->segmentCount; ++i)
        EXPECT_EQ(s->segments[i].colour, 80);
}

TEST_F(HudTest, TheCaptionScaleBuildsItsLongFormAndCountsItsShortForm)
{
    HUD* e = InitCaptionScaleHud(AllocHUD(), "LAGRANGE", nullptr, 0);
    EXPECT_STREQ(e->name, "LAGRANGE");
    EXPECT_EQ(e->pointCount, 16);
    EXPECT_EQ(e->segmentCount, 15);
    EXPECT_EQ(e->params[0], 37500);
    EXPECT_EQ(e->params[1], 112500);
    EXPECT_EQ(e->points[1].local.z, 18750.0f);
    EXPECT_NEAR(Length(e->points[4].local), 37500, 0.5); // the short form's ring
    // The long form: rings k = 0, 1, 2, 4, 5, 6 from point 16, twelve each.
    EXPECT_EQ(e->points[16].local.z, -150000.0f);
    EXPECT_NEAR(e->points[16].local.x, 112500, 5); // 37500 + 75000 at the ends
    EXPECT_EQ(e->points[87].local.z, 150000.0f);
    EXPECT_EQ(e->segments[15].colour, 141);
    EXPECT_EQ(e->segments[15 + 36].colour, 72); // first ring beyond the middle
    // Joins from segment 87: rings 0-1, 1-2, then 4-5 and 5-6, never across the middle.
    EXPECT_EQ(e->segments[87].from, 16);
    EXPECT_EQ(e->segments[87].to, 28);
    EXPECT_EQ(e->segments[87].colour, 141);
    EXPECT_EQ(e->segments[87 + 24].from, 52);
    EXPECT_EQ(e->segments[87 + 24].to, 64);
    EXPECT_EQ(e->segments[134].to, 87);
    EXPECT_EQ(e->segments[134].colour, 72);
}

TEST_F(HudTest, TheOrbHasEightRingsOfSixteenWithAGreenEquator)
{
    HUD* e = InitOrbHud(AllocHUD(), nullptr, 0);
    EXPECT_STREQ(e->name, "ORB");
    EXPECT_EQ(e->pointCount, 128);
    EXPECT_EQ(e->segmentCount, 128);
    EXPECT_EQ(e->flags, kHudInUse | 0x492u);
    EXPECT_EQ(e->params[2], 8000);
    for (int i = 0; i < 64; ++i)
        EXPECT_NEAR(Length(e->points[i].local), 1000, 0.1) << i;
    // Ring 4 (a = 0) has radius 0 at the top; ring 6 is the equator.
    EXPECT_NEAR(e->points[64].local.y, 1000, 0.01);
    EXPECT_NEAR(Length({e->points[64].local.x, 0, e->points[64].local.z}), 0, 0.01);
    EXPECT_NEAR(e->points[96].local.y, 0, 0.01);
    EXPECT_EQ(e->segments[96].colour, 72);
    EXPECT_EQ(e->segments[80].colour, 141);
}

TEST_F(HudTest, AnOrbWindowShowsTheOrbTurnedAgainstTheViewInFrontOfTheEye)
{
    SceneItem* eye = MakeItem();
    MatSetRotY(90, eye->avatar->matrix); // the view turned a quarter round
    gPlayerItem = eye;
    gView.viewer = eye;
    const float savedDistance = gProjectionDistance;
    gProjectionDistance = 100;
    HUD* orb = InitOrbHud(AllocBigHUD(), nullptr, 0);
    DrawHudElement(orb);
    // World x seen from a view whose x axis is turned: the point lands on z.
    Vector3 expected;
    VecMulMat3T(expected, orb->points[0].local, eye->avatar->matrix);
    EXPECT_NEAR(orb->points[0].world.x, expected.x, 0.01);
    EXPECT_NEAR(orb->points[0].world.z, expected.z + 8000, 0.01);
    EXPECT_NEAR(orb->points[0].depth, orb->points[0].world.z, 0.01);
    EXPECT_NEAR(orb->points[0].screenX, orb->points[0].world.x * 100 / orb->points[0].world.z, 0.01);
    EXPECT_GE(orb->depthNear, 7000 - 0.5);
    EXPECT_LE(orb->depthFar, 9000 + 0.5);
    gView.viewer = nullptr;
    gProjectionDistance = savedDistance;
}

TEST_F(HudTest, TheCubeCountsTwelveEdgesAndMarksAReachedWaypointWithItsDiagonal)
{
    HUD* e = InitCubeHud(AllocHUD(), "WP", nullptr, 0);
    EXPECT_EQ(e->pointCount, 8);
    EXPECT_EQ(e->segmentCount, 12);
    EXPECT_EQ(e->flags, kHudInUse | 0x20010u);
    EXPECT_EQ(e->onUpdate, FollowSubjectHud);
    const HudSegment& diagonal = e->segments[12];
    const Vector3 a = e->points[diagonal.from].local, b = e->points[diagonal.to].local;
    EXPECT_NEAR(Length({a.x - b.x, a.y - b.y, a.z - b.z}), 10000 * std::sqrt(3.0f), 1);
}

// The selected component's box slides halfway to the component's corners
// each frame, and is drawn (the in-range flag set for the target panel)
// only while the target lies within twice the current mount's reach.
TEST_F(HudTest, TheSelectedComponentBoxSlidesToItsCornersAndShowsOnlyWithinRange)
{
    SceneItem* target = Ship();
    gControlledItem = gPlayerItem = Ship();
    Weapon* mount = NewWeapon(gControlledItem);
    mount->range = 100000;
    gControlledItem->sim->currentWeapon = mount;
    HullBox box{{-100, -200, -300}, {100, 200, 300}, nullptr, 0x8 << 8};
    gContacts.selectedComponent = &box;
    gContacts.componentSelected = 1;

    HUD* e = AllocHUD();
    InitSelectedComponentHud(e, target, 0);
    EXPECT_EQ(e->pointCount, 8);
    EXPECT_EQ(e->segmentCount, 12);
    EXPECT_EQ(e->onTargetChange, InitSelectedComponentHud);
    UpdateSelectedComponentHud(e);
    EXPECT_FLOAT_EQ(e->points[7].local.x, 50) << "halfway to the far corner";
    EXPECT_FLOAT_EQ(e->points[7].local.y, 100);
    EXPECT_FLOAT_EQ(e->points[7].local.z, 150);
    UpdateSelectedComponentHud(e);
    EXPECT_FLOAT_EQ(e->points[7].local.x, 75);

    for (const auto& [distance, inRange] : {std::pair{150000.0, 255}, std::pair{250000.0, 0}}) {
        target->sim->position = {0, 0, distance};
        gHud.componentInRange = 99;
        DrawSelectedComponentHud(e);
        EXPECT_EQ(gHud.componentInRange, inRange) << distance;
    }
    gContacts.componentSelected = 0;
    DrawSelectedComponentHud(e);
    EXPECT_EQ(gHud.componentInRange, 0) << "nothing selected";
    gContacts.selectedComponent = nullptr;
}

// A course of two waypoints made by the script: the cubes follow, and the
// first is marked reached when the player passes.
TEST_F(HudTest, ACourseMarksItsCubesReachedAsThePlayerPasses)
{
    SceneItem* wp[2];
    HUD* cube[2];
    for (int i = 0; i < 2; ++i) {
        wp[i] = MakeItem(RunWaypoint);
        wp[i]->sim->position.z = wp[i]->sim->matrix.m[14] = 100000.0f * (i + 1);
        wp[i]->avatar->matrix = wp[i]->sim->matrix;
        cube[i] = InitCubeHud(AllocHUD(), i ? "TWO" : "ONE", wp[i], 0);
        RegisterHud(cube[i]);
        wp[i]->avatar->root->model = reinterpret_cast<hx_model*>(cube[i]);
    }
    gPlayerItem = MakeItem();
    UpdateHud();
    EXPECT_EQ(cube[1]->points[6].world.z, 205000.0f); // corner (+, +, +) on its waypoint
    for (double z = 0; z <= 250000; z += 25000) {
        gPlayerItem->sim->position.z = z;
        for (SceneItem* w : wp)
            RunWaypoint(w);
        UpdateHud();
        if (z == 50000) {
            EXPECT_EQ(cube[0]->segmentCount, 12); // still 50000 short
            EXPECT_EQ(cube[0]->flags & kHudCubeMarker, 0u);
        }
    }
    for (HUD* c : cube) {
        EXPECT_EQ(c->segmentCount, 13);
        EXPECT_EQ(c->flags & kHudCubeMarker, kHudCubeMarker);
    }
}

TEST_F(HudTest, PositionMarkerLinesGrowFromOneEndAndRetractIntoTheOther)
{
    SceneItem* s = MakeItem();
    HUD* e = InitPositionMarkerHud(AllocHUD(), s, 0);
    EXPECT_EQ(e->pointCount, 18);
    EXPECT_EQ(e->segmentCount, 9);
    EXPECT_GE(e->params[3], 0);
    EXPECT_LT(e->params[3], 100);
    EXPECT_GE(e->params[4], 50);
    EXPECT_LT(e->params[4], 100);
    const Vector3 a = e->points[18].local, b = e->points[19].local; // segment 0's base ends
    struct Case {
        int32_t clock;    // after the draw
        float start, end; // along A to B
    } const cases[] = {{20, 0, 0.375f}, {40, 0.25f, 0.75f}, {60, 0.625f, 1}, {80, 0, 0}};
    int32_t clock = 0;
    SetFrameStep(20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clock);
        DrawPositionMarkerHud(e);
        clock += 20;
        ASSERT_EQ(e->params[2], c.clock);
        EXPECT_NEAR(e->points[0].local.x, a.x + (b.x - a.x) * c.start, 1);
        EXPECT_NEAR(e->points[1].local.x, a.x + (b.x - a.x) * c.end, 1);
        EXPECT_EQ(e->points[18].local.x, a.x); // the base copy stays
    }
}

TEST_F(HudTest, MountPointersStopWhereTheRecordEnds)
{
    SceneItem* ship = Ship();
    Weapon* head = nullptr;
    for (int i = 0; i < 30; ++i) { // 30 mounts want 150 points and 180 segments
        Weapon* w = AllocWeapon();
        w->directionCode = 5; // astern: the pointer turns half round
        w->mountPosition = {float(i), 0, 0};
        w->next = head;
        head = w;
    }
    ship->sim->weapons = head;
    HUD* e = AllocHUD();
    InitFiringArcHud(e, ship, 0);
    EXPECT_EQ(e->segmentCount, 23 * 6);
    EXPECT_EQ(e->pointCount, 23 * 5);
    EXPECT_EQ(e->flags, kHudInUse | 0x280u);
    EXPECT_EQ(e->onTargetChange, InitFiringArcHud);
    EXPECT_NEAR(e->points[4].local.z, -2000, 0.1); // the tip points astern
    // No ShipInfo: nothing is built.
    InitFiringArcHud(e, MakeItem(), 0);
    EXPECT_EQ(e->pointCount, 0);
}

TEST_F(HudTest, PartMarkersMarkEachPartOfTheShipsModelTreeOnlyWithACurrentContact)
{
    SceneItem* ship = Ship();
    ship->sim->radius = 22600; // size factor 2
    ship->avatar->classFlags = 0x4 | 0x80;
    TDP* root = ship->avatar->root ? ship->avatar->root : (ship->avatar->root = AllocTDP());
    TDP* turret = AllocTDP();
    TDP* barrel = AllocTDP();
    TDP* engine = AllocTDP();
    MatIdentity(turret->local);
    MatIdentity(engine->local);
    MatIdentity(barrel->local);
    MatSetRotY(90, barrel->local); // the barrel's stalk turns sideways
    turret->offset = {0, 1000, 0};
    barrel->offset = {0, 0, 500};
    engine->offset = {0, 0, -3000};
    root->firstChild = turret;
    turret->nextSibling = engine;
    turret->firstChild = barrel;
    HUD* e = AllocHUD();
    InitShipPartMarkersHud(e, ship, 0);
    EXPECT_EQ(e->pointCount, 0) << "no current contact: nothing built";

    Contact row{};
    row.item = ship;
    gContacts.current = &row;
    InitShipPartMarkersHud(e, ship, 0);
    EXPECT_EQ(e->onTargetChange, InitShipPartMarkersHud);
    ASSERT_EQ(e->pointCount, 3 * 11);
    EXPECT_EQ(e->segmentCount, 3 * 8);
    // The turret's centre at its offset, its square's corner 650 x 2 off it.
    EXPECT_NEAR(e->points[0].local.y, 1000, 0.1);
    EXPECT_NEAR(e->points[1].local.x, 1300, 0.1);
    // The barrel below it: its offset added to its parent's, its stalk's
    // tip (5000 x 2 ahead) turned a quarter round.
    EXPECT_NEAR(e->points[11].local.z, 500, 0.1);
    EXPECT_NEAR(std::fabs(e->points[21].local.x), 10000, 1);
    EXPECT_NEAR(e->points[21].local.z, 500, 1);
    // The engine after them, in the ship's class colour.
    EXPECT_NEAR(e->points[22].local.z, -3000, 0.1);
    EXPECT_EQ(e->segments[0].colour, HudClassColour(0x4 | 0x80));
    gContacts.current = nullptr;
}

TEST_F(HudTest, ComponentBoxesStopAtTenAndModelPointsMarkEachPoint)
{
    SceneItem* s = MakeItem();
    static HullBounds hull{};
    static HullBox boxes[12]{};
    for (int i = 0; i < 12; ++i) {
        boxes[i] = {{-1, -2, -3}, {1, 2, 3}, i + 1 < 12 ? &boxes[i + 1] : nullptr, i == 0 ? 4u : 0u};
    }
    hull.boxes = boxes;
    hull.pointCount = 2;
    hull.points[1] = {1000, 0, 0};
    s->avatar->root->hullBounds = &hull;
    HUD* e = AllocHUD();
    InitComponentBoxesHud(e, s, 0);
    EXPECT_EQ(e->pointCount, 80);
    EXPECT_EQ(e->segmentCount, 120);
    EXPECT_EQ(e->segments[0].colour, 204); // flag 4
    EXPECT_EQ(e->segments[12].colour, kHudColour);
    EXPECT_EQ(e->points[7].local.x, 1.0f); // corner 7: second x, y and z bounds
    EXPECT_EQ(e->points[7].local.y, 2.0f);
    EXPECT_EQ(e->points[6].local.x, -1.0f);

    InitModelPointMarkersHud(e, s, 0);
    EXPECT_EQ(e->pointCount, 8);
    EXPECT_EQ(e->segmentCount, 4);
    EXPECT_EQ(e->points[4].local.x, 700.0f);
    EXPECT_EQ(e->points[7].local.y, 300.0f);
    EXPECT_EQ(e->segments[3].colour, 162);
    hull.boxes = nullptr;
    s->avatar->root->hullBounds = nullptr;
}

TEST_F(HudTest, TheGridSpacingFollowsTheSpeedAndJumpsTo10To12)
{
    struct Case {
        double speed;
        bool lds;
        int exponent;
    } const cases[] = {
        {1, false, 5},
        {1e6, false, 6},
        {2.4e6, false, 6},
        {2.6e6, false, 7},
        {1e10, false, 10},
        {1e11, false, 12},
        {5e12, false, 12},
        {1e6, true, 6},
        {5.1e6, true, 7},
        {-1e8, false, 8},
        {0, false, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GridExponent(c.speed, c.lds), c.exponent) << c.speed;
}

TEST_F(HudTest, EachTrailFollowsItsOwnVisibleContactRow)
{
    gPlayerItem = Ship();
    static hx_model model{};
    model.bounds.min = {-100, 0, -300};
    model.bounds.max = {100, 0, 300};
    ResetContactList();
    SceneItem* ships[3];
    for (int i = 0; i < 3; ++i) {
        ships[i] = Ship();
        ships[i]->avatar->classFlags = 0x4;
        ships[i]->avatar->root->model = ships[i]->avatar->root->lod[0] = &model;
        Place(ships[i], 0, 0, 1e6f * float(i + 1));
    }
    ships[1]->avatar->root->lod[0] = nullptr; // no base detail: never followed
    gContacts.nextRefresh = gFrameClock.gameClock;
    UpdateContactList();
    HUD* trails[2] = {InitTrailHud(AllocHUD(), nullptr, 0), InitTrailHud(AllocHUD(), nullptr, 0)};
    trails[0]->params[4] = 1;
    SetFrameStep(5);
    for (HUD* t : trails)
        UpdateTrailHud(t);
    EXPECT_EQ(trails[0]->subject, ships[0]);
    EXPECT_EQ(trails[0]->params[4], 1); // the serial survives the rebuild
    EXPECT_EQ(trails[1]->subject, ships[2]);
    EXPECT_NE(FindContactRow(ships[0])->rowFlags & kContactTrail, 0);

    // A visible row whose ship has just gone is passed over.
    const int32_t filter = gContacts.filterClass;
    Contact* gone = FindContactRow(ships[2]);
    gone->rowFlags &= ~kContactTrail;
    gone->item = nullptr;
    HUD* fresh = InitTrailHud(AllocHUD(), nullptr, 0);
    UpdateTrailHud(fresh);
    EXPECT_EQ(fresh->subject, nullptr);
    gContacts.filterClass = filter;
    gContacts.nextRefresh = gFrameClock.gameClock;
    UpdateContactList();

    // The row leaves the list: its trail lets go and finds no other row.
    Contact* row = FindContactRow(ships[0]);
    gContacts.filterClass = 7;
    gContacts.nextRefresh = gFrameClock.gameClock;
    UpdateContactList();
    UpdateTrailHud(trails[0]);
    EXPECT_EQ(row->rowFlags & kContactTrail, 0);
    EXPECT_EQ(trails[0]->trailRow, nullptr);
    ResetContactList();
}

TEST_F(HudTest, ASlowTrailAddsNoPointsButKeepsFading)
{
    gPlayerItem = Ship();
    SceneItem* target = Ship();
    gPlayerItem->sim->target = target;
    static hx_model model{};
    model.bounds.min = {-100, 0, -300};
    model.bounds.max = {100, 0, 300};
    target->avatar->root->model = &model;
    Place(target, 0, 0, 1000);
    HUD* trail = InitTrailHud(AllocHUD(), nullptr, 0);
    RegisterHud(trail);
    gHud.singleTrail = 1;
    target->sim->speed = 100000;
    SetFrameStep(100); // three steps of 33 ticks: three pairs behind the ship
    UpdateTrailHud(trail);
    EXPECT_EQ(trail->subject, target);
    ASSERT_EQ(trail->pointCount, 6);
    ASSERT_EQ(trail->segmentCount, 9);
    EXPECT_EQ(trail->points[0].world.x, 100.0f);
    EXPECT_EQ(trail->points[1].world.x, -100.0f);
    EXPECT_EQ(trail->points[1].world.z, 1000.0f - 300.0f); // behind by the model's length
    EXPECT_EQ(trail->segments[7].to, 2);                   // the third pair's rails reach the second
    EXPECT_EQ(trail->segments[1].to, 0);                   // the first pair's are zero-length
    EXPECT_EQ(trail->segments[0].colour, 96);              // class colour 97, one shade down already

    target->sim->speed = 4999;
    SetFrameStep(20);
    for (int frame = 0; frame < 5; ++frame)
        UpdateTrailHud(trail);
    EXPECT_EQ(trail->pointCount, 6);
    EXPECT_EQ(trail->segments[0].colour, 91);
    for (int frame = 0; frame < 11; ++frame)
        UpdateTrailHud(trail);
    EXPECT_EQ(trail->segmentCount, 0); // all at the dark end of their ramp (80)
}

// ---- Over the rendered main view ------------------------------------------------------

class HudView : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        viewer = worldtest::MakeItem();
        Place(viewer, 0, 0, 0);
        gPlayerItem = viewer;
        mainView = ViewWindow(viewer);
        gHud.visible = 255;
        gHud.fadeDirection = 0;
        gSettings.noHud = 0;
        gLastHitAmount = 0;
        SetFrameStep(5);
    }
    void TearDown() override
    {
        gSettings.noHud = 0;
        ViewTest::TearDown();
    }
    void Draw() { RenderViewWindow(mainView); }
    // Pixels of the index inside the crop (inclusive).
    int Count(uint8_t index, int left, int top, int right, int bottom) const
    {
        int n = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                n += At(x, y) == index;
        return n;
    }
    int CountAll(uint8_t index) const { return Count(index, 0, 0, viewtest::kWidth - 1, viewtest::kHeight - 1); }

    SceneItem* viewer = nullptr;
    WindowHandle* mainView = nullptr;
};

TEST_F(HudView, ANearCubeIsDrawnAsItsEdgesAroundItsSubject)
{
    SceneItem* body = worldtest::MakeItem();
    Place(body, 0, 0, 60000);
    RegisterHud(InitCubeHud(AllocHUD(), nullptr, body, 0));
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    Draw();
    // The near face (z 55000) spans 5000 x P / 55000 pixels each side of the centre.
    const int half = int(5000 * viewtest::kP45 / 55000);
    const int cx = viewtest::kWidth / 2, cy = viewtest::kHeight / 2; // the view centre
    EXPECT_GT(Count(kCube, cx - half - 1, cy - half - 1, cx - half + 1, cy + half + 1), half);
    EXPECT_EQ(Count(kCube, 0, 0, cx - half - 3, viewtest::kHeight - 1), 0);
    EXPECT_EQ(Count(kCube, 0, 0, viewtest::kWidth - 1, 20), 0);
}

TEST_F(HudView, AFarCubeIsACrossAndNohudDrawsNothing)
{
    SceneItem* body = worldtest::MakeItem();
    Place(body, 0, 0, 5e6f);
    RegisterHud(InitCubeHud(AllocHUD(), nullptr, body, 0));
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    Draw();
    const int cx = viewtest::kWidth / 2, cy = viewtest::kHeight / 2; // the view centre
    EXPECT_EQ(Count(kCube, cx - 4, cy - 4, cx + 4, cy + 4), 17);     // two 9-pixel strokes, one shared
    EXPECT_EQ(CountAll(kCube), 17);

    gSettings.noHud = 255;
    Draw();
    EXPECT_EQ(CountAll(kCube), 0);
}

TEST_F(HudView, TheLagrangeScaleRidesOnTheNearestLagrangePointAhead)
{
    SceneItem* near = worldtest::MakeItem();
    SceneItem* far = worldtest::MakeItem();
    SceneItem* behind = worldtest::MakeItem();
    Place(near, 0, 0, 400000);
    Place(far, 0, 0, 900000);
    Place(behind, 0, 0, -100000);
    for (SceneItem* s : {near, far, behind})
        s->avatar->classFlags |= 0x1000000;
    HUD* scale = InitCaptionScaleHud(AllocHUD(), "LAGRANGE", nullptr, 0);
    RegisterHud(scale);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    Draw();
    EXPECT_EQ(scale->subject, near);
    // The short form's ring (radius 37500, facing the eye) and the arrow
    // along the view axis: a circle of about 37500 x P / 400000 pixels.
    const int r = int(37500 * viewtest::kP45 / 400000);
    const int cx = viewtest::kWidth / 2, cy = viewtest::kHeight / 2;
    EXPECT_GT(Count(kCube, cx + r - 2, cy - 2, cx + r + 2, cy + 2), 0);
    EXPECT_GT(Count(kCube, cx - r - 2, cy - 2, cx - r + 2, cy + 2), 0);
    EXPECT_EQ(Count(kCube, cx - r / 2, cy - r / 2, cx - 3, cy - 3), 0);          // hollow
    EXPECT_EQ(Count(141, 0, 0, viewtest::kWidth - 1, viewtest::kHeight - 1), 0); // no long form
}

TEST_F(HudView, WhileTheBodiesAreListedTheScaleIsWholeAndFarCubesAreSquares)
{
    SceneItem* point = worldtest::MakeItem();
    Place(point, 0, 0, 400000);
    point->avatar->classFlags |= 0x1000000;
    HUD* scale = InitCaptionScaleHud(AllocHUD(), "LAGRANGE", nullptr, 0);
    RegisterHud(scale);
    SceneItem* body = worldtest::MakeItem();
    Place(body, 200000, 0, 5e6f);
    HUD* cube = InitCubeHud(AllocHUD(), nullptr, body, 0);
    RegisterHud(cube);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    gContacts.filterClass = 7;
    Draw();
    EXPECT_EQ(scale->pointCount, 88);
    EXPECT_EQ(scale->segmentCount, 135);
    EXPECT_NE(scale->flags & kHudDepthShade, 0u);
    const int cx = viewtest::kWidth / 2, cy = viewtest::kHeight / 2;
    const int bx = cx + int(200000 * viewtest::kP45 / 5e6);
    EXPECT_EQ(Count(kCube, bx - 4, cy - 4, bx + 4, cy + 4), 32); // the square's outline
    EXPECT_EQ(Count(kCube, bx - 3, cy - 3, bx + 3, cy + 3), 0);  // hollow
    cube->flags |= kHudCubeMarker;                               // reached: crossed once
    Draw();
    EXPECT_EQ(Count(kCube, bx - 3, cy - 3, bx + 3, cy + 3), 7);

    gContacts.filterClass = 0;
    Draw();
    EXPECT_EQ(scale->pointCount, 16);
    EXPECT_EQ(scale->flags & kHudDepthShade, 0u);
}

TEST_F(HudView, MountPointersShowOnlyOnANearShipAtFullDetailInTheCockpit)
{
    hx_model* hull = Cube("hull", 2000, Flat("grey", 20));
    SceneItem* ship = Show(hull, 0, 0, 30000, 20000); // full detail at both ranges
    MakeShip(ship);
    Weapon* mount = AllocWeapon();
    mount->mountPosition = {0, 0, -3000}; // before the hull's face that looks at the eye
    ship->sim->weapons = mount;
    HUD* arcs = AllocHUD();
    InitFiringArcHud(arcs, ship, 0);
    RegisterHud(arcs);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    struct Case {
        const char* what;
        float z;
        uint8_t external;
        bool drawn;
    } const cases[] = {{"near", 30000, 0, true}, {"external view", 30000, 1, false}, {"beyond 50000", 60000, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Place(ship, 0, 0, c.z);
        gExternalView = c.external;
        std::fill(frame.begin(), frame.end(), uint8_t(0));
        Draw();
        // Class colour 97, darkened with depth by up to 16 shades.
        int shaded = 0;
        for (uint8_t index = kCube - 16; index <= kCube; ++index)
            shaded += CountAll(index);
        EXPECT_EQ(shaded > 0, c.drawn);
        EXPECT_EQ(ship->avatar->root->actor->model, ship->avatar->root->lod[0]);
    }
    gExternalView = 0;
}

TEST_F(HudView, TheFadeDrawsOnlyDashesAndAFadeOutEndsHidden)
{
    SceneItem* body = worldtest::MakeItem();
    Place(body, 0, 0, 60000);
    ClearHudList();
    RegisterHud(InitCubeHud(AllocHUD(), nullptr, body, 0)); // starts the fade-in
    gHud.colour = kHudColour;
    SetFrameStep(20);
    Draw(); // percent 0: every dash runs across
    EXPECT_EQ(CountAll(kCube), 0);
    EXPECT_GT(Count(kHudColour, 0, 38, viewtest::kWidth - 1, 38), 0);
    EXPECT_EQ(Count(kHudColour, 0, 39, viewtest::kWidth - 1, 86), 0);
    for (int i = 0; i < 6; ++i)
        Draw();
    EXPECT_EQ(gHud.visible, 255);
    Draw();
    EXPECT_GT(CountAll(kCube), 0);

    ToggleHud();
    for (int i = 0; i < 7; ++i) {
        Draw();
        EXPECT_EQ(CountAll(kCube), 0) << i;
    }
    EXPECT_EQ(gHud.fadeDirection, 0);
    EXPECT_EQ(gHud.visible, 0);
}

TEST_F(HudView, InterferenceDrawsEachSegmentAsOneLevelLine)
{
    HUD* e = AllocHUD();
    e->pointCount = 2;
    e->points[0].world = {-10000, -5000, 100000};
    e->points[1].world = {10000, 5000, 100000};
    SetHudSegment(e->segments[0], 0, 1, 200);
    e->segmentCount = 1;
    RegisterHud(e);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    gLastHitAmount = 100;
    Draw();
    // The one line is level: all its pixels share a row.
    int rows = 0;
    for (int y = 0; y < viewtest::kHeight; ++y)
        rows += Count(200, 0, y, viewtest::kWidth - 1, y) > 0;
    EXPECT_LE(rows, 1);
    gLastHitAmount = 0;
    Draw();
    rows = 0;
    for (int y = 0; y < viewtest::kHeight; ++y)
        rows += Count(200, 0, y, viewtest::kWidth - 1, y) > 0;
    EXPECT_GT(rows, 50);
}

TEST_F(HudView, ASegmentWithAnEndAt2000OrNearerIsNotDrawn)
{
    HUD* e = AllocHUD();
    e->pointCount = 3;
    e->points[0].world = {-1000, 0, 2000};
    e->points[1].world = {1000, 0, 50000};
    e->points[2].world = {0, 0, 0}; // at the eye: depth 0, no division
    SetHudSegment(e->segments[0], 0, 1, 200);
    SetHudSegment(e->segments[1], 2, 1, 200);
    e->segmentCount = 2;
    RegisterHud(e);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    Draw();
    EXPECT_EQ(CountAll(200), 0);
    e->points[0].world.z = 2001;
    Draw();
    EXPECT_GT(CountAll(200), 0);
}

// A visible contact row of the item, in the class colour of 0x80 (133).
Contact* ListRow(SceneItem* item, float distance)
{
    Contact& row = gContacts.rows[0];
    row = Contact{};
    row.item = item;
    row.rowFlags = kContactUsed | kContactVisible;
    row.classFlags = 0x80;
    row.distance = distance;
    return &row;
}

TEST_F(HudView, AContactWithoutItsModelGetsAnEightPixelBracketAroundItsPoint)
{
    ResetContactList();
    SceneItem* ship = worldtest::MakeItem();
    Contact* row = ListRow(ship, 1e6f);
    Place(ship, 0, 0, 1e6f);
    ship->avatar->root->viewPosition = {0, 0, 1e6f};
    RegisterHud(InitContactBracketsHud(AllocHUD(), nullptr, 0));
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    Draw();
    const int cx = viewtest::kWidth / 2, cy = viewtest::kHeight / 2;
    EXPECT_EQ(Count(131, cx - 6, cy - 6, cx + 6, cy + 6), 4 * 5); // strokes of 2 at four corners, 133 - 2
    EXPECT_EQ(Count(131, cx - 3, cy - 3, cx + 3, cy + 3), 0);
    const int16_t rect[4] = {-8, -8, 8, 8};
    EXPECT_TRUE(std::equal(rect, rect + 4, ship->avatar->root->screenRect));

    row->contactClass = 7; // bodies get no bracket
    Draw();
    EXPECT_EQ(CountAll(131), 0);
    ResetContactList();
}

TEST_F(HudView, TheWeaponTargetsCrossShowsOnlyWhileTheSightFoundItOutsideTheArcWithTheGunsUnpaired)
{
    ResetContactList();
    SceneItem* ship = worldtest::MakeItem();
    ListRow(ship, 1e6f);
    Place(ship, 0, 0, 1e6f);
    ship->avatar->root->viewPosition = {0, 0, 1e6f};
    Weapon mount{}; // ahead
    viewer->sim->currentWeapon = &mount;
    viewer->sim->target = ship;
    gControlledItem = viewer;
    gContacts.playerTarget = ship;
    RegisterHud(InitContactBracketsHud(AllocHUD(), nullptr, 0));
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    // The 8-pixel bracket's cross runs 14 pixels out each way, in 133 - 2.
    const int cx = viewtest::kWidth / 2, cy = viewtest::kHeight / 2;
    Draw();
    Draw(); // the cross reads what the sight found at the end of the last frame
    EXPECT_EQ(gWeaponSight.inArc, 1);
    EXPECT_NE(At(cx - 12, cy - 12), 131) << "in the arc: no cross";
    mount.directionCode = 5; // astern: the target ahead is outside
    Draw();
    Draw();
    EXPECT_EQ(gWeaponSight.inArc, 0);
    EXPECT_EQ(At(cx - 12, cy - 12), 131);
    RapidMode = 255; // the guns paired
    Draw();
    EXPECT_NE(At(cx - 12, cy - 12), 131) << "paired guns: no cross";
    RapidMode = 0;
    gControlledItem = nullptr;
    gContacts.playerTarget = nullptr;
    gWeaponSight = {};
    ResetContactList();
}

TEST_F(HudView, ACurrentContactBehindTheViewerIsPointedAtFromTheBorderOfItsSide)
{
    ResetContactList();
    SceneItem* ship = worldtest::MakeItem();
    gContacts.current = ListRow(ship, 1e6f);
    Draw();
    // Behind and a little to the left: projected through the eye it lies
    // right of the centre, so the arrow stands on the opposite (left) border.
    ship->avatar->root->viewPosition = {-100, 0, -1e6f};
    DrawContactBrackets(nullptr);
    EXPECT_LT(gHud.contactOffset[0], -300);
    EXPECT_EQ(Count(133, 0, 0, 11, viewtest::kHeight - 1), 17); // two 9-pixel arms from one point
    EXPECT_EQ(Count(133, 12, 0, viewtest::kWidth - 1, viewtest::kHeight - 1), 0);
    ResetContactList();
}

TEST_F(HudView, ANewlySelectedContactsBracketSlidesInFromTheViewsEdges)
{
    ResetContactList();
    SceneItem* ship = worldtest::MakeItem();
    gContacts.current = ListRow(ship, 1e6f);
    Draw();
    const ViewRect& v = gView.hudViewport;
    gHud.bracketRect[0] = int16_t(v.left);
    gHud.bracketRect[1] = int16_t(v.top);
    gHud.bracketRect[2] = int16_t(v.right);
    gHud.bracketRect[3] = int16_t(v.bottom);
    gHud.contactFlash = 1;
    ship->avatar->root->viewPosition = {0, 0, 1e6f};
    DrawContactBrackets(nullptr);
    // The grown bracket's left edge is -6: the animated edge goes halfway.
    EXPECT_EQ(gHud.bracketRect[0], int16_t(v.left + (-6 - v.left) / 2));
    EXPECT_EQ(gHud.contactFlash, 1);
    int frames = 1;
    for (; gHud.contactFlash && frames < 20; ++frames)
        DrawContactBrackets(nullptr);
    EXPECT_EQ(gHud.contactFlash, 0);
    EXPECT_LT(frames, 10);
    EXPECT_LE(std::abs(gHud.bracketRect[0] + 6), 4);
    ResetContactList();
}
HUD* gHeldOrb = nullptr;
void DrawHeldOrb(HUD*) { DrawHudElement(gHeldOrb); }

TEST_F(HudView, TheOrbShowsEachContactAsAStalkToItsBlip)
{
    ResetContactList();
    SceneItem* ship = worldtest::MakeItem();
    SceneItem* probe = worldtest::MakeItem();
    Place(ship, 120000, 0, 0);   // to the right: a blip at 1.2 orb radii
    Place(probe, -120000, 0, 0); // to the left, of class 2: not shown
    Contact* rows[2] = {&gContacts.rows[0], &gContacts.rows[1]};
    for (int i = 0; i < 2; ++i) {
        *rows[i] = Contact{};
        rows[i]->item = i ? probe : ship;
        rows[i]->rowFlags = kContactUsed;
        rows[i]->classFlags = 0x1000; // the orb's 47: blips in ((47 + 16) & 0xe0) | 4 = 36
        rows[i]->contactClass = int16_t(i ? 2 : 0);
    }
    gGridSpacing = 100000;
    gHeldOrb = InitOrbHud(AllocBigHUD(), nullptr, 0);
    HUD* host = AllocHUD();
    host->onDraw = DrawHeldOrb;
    host->flags |= kHudShowUntargeted;
    RegisterHud(host);
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    Draw();
    const int cx = viewtest::kWidth / 2 - 1, cy = viewtest::kHeight / 2 - 1;
    const int surface = int(1000 * viewtest::kP45 / 8000), blip = int(1200 * viewtest::kP45 / 8000);
    EXPECT_GE(Count(36, cx + surface + 2, cy - 1, cx + blip - 1, cy + 2), blip - surface - 3);
    EXPECT_EQ(Count(36, 0, 0, cx, viewtest::kHeight - 1), 0); // the probe's class is not shown
    gContacts.filterClass = 2;
    Draw();
    EXPECT_GT(Count(36, 0, 0, cx, viewtest::kHeight - 1), 0);
    ResetContactList();
}

} // namespace
