// The cameras: the director's table of events and its hold and cycling,
// the geometry of each behaviour, the remote link and the weapon label.
#include "tests/support/world_fixture.h"

#include "ai/docking.h"
#include "screens/bridge.h"
#include "script/keywords.h"
#include "script/shiptypes.h"
#include "script/configstatements.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/trace.h"
#include "ui/hud.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/skyandlights.h"
#include "view/viewwindows.h"
#include "world/behaviours.h"
#include "world/playerinput.h"
#include "world/scenelist.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

using worldtest::MakeItem;
using worldtest::MakeShip;

const char* const kTexts[][2] = {
    {"1", "NOT REMOTE"},
    {"2", "LINKED"},
    {"3", "RELEASED"},
    {"4", "OUT OF REACH"},
    {"30", "COCKPIT"},
    {"31", "CONTACT"},
    {"32", "TRACK"},
    {"33", "CHASE"},
    {"34", "DRIFT"},
};

class CameraTest : public worldtest::WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ResetCameras();
        CRandSeed(11);
        for (const auto& t : kTexts)
            gTextTable[std::stoi(t[0])] = t[1];
        player = Ship(0, 0, 0, 500.0f);
        gPlayerItem = gControlledItem = player;
        camera = MakeItem();
        camera->avatar->cameraMinimumDistance = 7500;
        camera->avatar->cameraLag = 900;
        gPlayerCamera = camera;
        CurrentStation = 2;
        gExternalView = 0;
        gRemoteLinkMarker = nullptr;
        savedSettings = gSettings;
    }
    void TearDown() override
    {
        gSettings = savedSettings;
        for (const auto& t : kTexts)
            gTextTable[std::stoi(t[0])] = nullptr;
        if (gTraceFile) {
            std::fclose(gTraceFile);
            gTraceFile = nullptr;
        }
        ResetCameras();
        gPlayerCamera = nullptr;
        gScreenShake[0] = gScreenShake[1] = 0;
        gExternalView = 0;
        gDebriefAtFlightEnd = 0;
        MissionEndState = 0;
        gRemoteLinkItem = nullptr;
        WorldTest::TearDown();
    }

    static SceneItem* Ship(double x, double y, double z, float radius)
    {
        SceneItem* item = MakeItem();
        MakeShip(item);
        Place(item, x, y, z);
        item->sim->radius = radius;
        return item;
    }
    static void Place(SceneItem* item, double x, double y, double z)
    {
        item->sim->position = {x, y, z};
        item->sim->matrix.m[12] = float(x);
        item->sim->matrix.m[13] = float(y);
        item->sim->matrix.m[14] = float(z);
    }
    static Vector3 Row(const SceneItem* item, int r)
    {
        const float* m = item->sim->matrix.m;
        return {m[4 * r], m[4 * r + 1], m[4 * r + 2]};
    }
    static double Distance(const SceneItem* a, const SceneItem* b)
    {
        const WorldPosition& p = a->sim->position;
        const WorldPosition& q = b->sim->position;
        return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
    }
    static void Advance(int32_t ticks)
    {
        worldtest::SetFrameStep(ticks);
        gFrameClock.gameClock += uint32_t(ticks);
    }
    // Message-line texts shown since the capture started, one a line.
    void CaptureMessages() { gTraceFile = std::tmpfile(); }
    std::string Messages()
    {
        std::string all, line;
        std::rewind(gTraceFile);
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, gTraceFile)) {
            line = buffer;
            if (const auto at = line.find("message \""); at != std::string::npos)
                all += line.substr(at + 9, line.rfind('"') - at - 9) + ";";
        }
        std::fclose(gTraceFile);
        gTraceFile = std::tmpfile();
        return all;
    }

    SceneItem* player = nullptr;
    SceneItem* camera = nullptr;
    Settings savedSettings;
};

#define EXPECT_VEC(v, ex, ey, ez, tol) \
    do { \
        EXPECT_NEAR((v).x, (ex), (tol)); \
        EXPECT_NEAR((v).y, (ey), (tol)); \
        EXPECT_NEAR((v).z, (ez), (tol)); \
    } while (0)

// ---- The director ------------------------------------------------------------------------

TEST_F(CameraTest, OnlyEventsOfModeOneOrTwoOnThePlayerStartTheAutomaticDirector)
{
    SceneItem* other = Ship(5000, 0, 0, 100);
    // Without the "director" switch no event starts it.
    for (int event = 0; event < kDirectorEventCount; ++event)
        DirectorOfferShot(player, nullptr, event);
    EXPECT_EQ(gDirectorOn, 0);
    gSettings.director = 1;
    for (int event = 0; event < kDirectorEventCount; ++event) {
        ResetCameras();
        DirectorOfferShot(other, nullptr, event);
        EXPECT_EQ(gDirectorOn, 0) << "another ship, event " << event;
        DirectorOfferShot(player, nullptr, event);
        EXPECT_EQ(gDirectorOn != 0, DirectorEvent[event].mode != 0) << "event " << event;
        if (gDirectorOn) {
            EXPECT_EQ(gCameras.director.event, event);
            EXPECT_EQ(gCameras.director.subject.Get(), player);
            EXPECT_EQ(camera->control, DirectorEvent[event].camera);
            EXPECT_EQ(gExternalView, 255);
            EXPECT_EQ(gStarFieldReset, 255) << "the star pass starts its trails afresh";
        }
    }
    // A mode-0 event cuts once the director runs.
    ResetCameras();
    StartDirector();
    DirectorOfferShot(other, player, 6);
    EXPECT_EQ(gCameras.director.subject.Get(), other);
    EXPECT_EQ(camera->control, &CAM_CHASE);
    // Starting again, the first offer cuts even right after a stronger shot.
    DirectorOfferShot(other, nullptr, kShotScripted);
    StopDirector();
    StartDirector();
    DirectorOfferShot(player, nullptr, kShotPlayerShip);
    EXPECT_EQ(gCameras.director.subject.Get(), player);
}

TEST_F(CameraTest, AShotStaysAgainstNoHigherPriorityWithinTheMinimumTimeExceptEventTwelve)
{
    gSettings.director = 1;
    struct Case {
        int first, second;
        int32_t after;
        bool cuts;
    } const cases[] = {
        {1, 2, 100, false}, // equal priority, too soon
        {1, 8, 100, false}, // lower priority, too soon
        {1, 8, 250, true},  // the minimum time has passed
        {1, 5, 10, true},   // higher priority
        {12, 12, 10, true}, // event 12 always cuts
        {12, 5, 10, false},
    };
    SceneItem* other = Ship(9000, 0, 0, 100);
    for (const Case& c : cases) {
        ResetCameras();
        DirectorOfferShot(player, nullptr, c.first);
        ASSERT_EQ(gCameras.director.event, c.first);
        Advance(c.after);
        DirectorOfferShot(other, nullptr, c.second);
        EXPECT_EQ(gCameras.director.subject.Get() == other, c.cuts) << c.first << " then " << c.second;
        EXPECT_EQ(gCameras.director.event, c.cuts ? c.second : c.first);
        // The offer renews the hold either way.
        EXPECT_EQ(gCameras.director.hold, DirectorEvent[c.second].holdTicks);
    }
}

TEST_F(CameraTest, AHoldingShotOnThePlayerRefusesCutsAndRenewsWithANewViewpoint)
{
    gSettings.director = 1;
    SceneItem* other = Ship(9000, 0, 0, 100);
    DirectorOfferShot(player, nullptr, kShotDocking); // mode 2, hold 300
    Advance(1000);
    DirectorOfferShot(other, nullptr, kShotScripted);
    EXPECT_EQ(gCameras.director.subject.Get(), player);
    EXPECT_EQ(gCameras.director.event, kShotDocking);

    const WorldPosition before = camera->sim->position;
    for (int frame = 0; frame < 3; ++frame) {
        Advance(100);
        DirectorUpdate();
    }
    EXPECT_EQ(gCameras.director.hold, 300);
    EXPECT_EQ(gDirectorOn, 255);
    EXPECT_EQ(gCameras.director.subject.Get(), player);
    const WorldPosition& after = camera->sim->position;
    EXPECT_TRUE(after.x != before.x || after.y != before.y || after.z != before.z);
}

TEST_F(CameraTest, TheHoldRunsOutIntoTheSavedView)
{
    gSettings.director = 1;
    player->sim->shipInfo = nullptr; // nothing to cycle to
    camera->control = CAM_PLAYER;
    DirectorOfferShot(player, nullptr, 1); // mode 1, hold 200
    ASSERT_EQ(gDirectorOn, 255);
    EXPECT_EQ(gExternalView, 255);
    EXPECT_EQ(camera->control, &CAM_TRACK);
    Advance(100);
    DirectorUpdate();
    EXPECT_EQ(gDirectorOn, 255);
    Advance(100);
    DirectorUpdate();
    EXPECT_EQ(gDirectorOn, 0);
    EXPECT_EQ(gCameras.director.hold, 0);
    EXPECT_EQ(gExternalView, 0);
    EXPECT_EQ(camera->control, &CAM_PLAYER);
}

TEST_F(CameraTest, CyclingChasesTheNextShipOfThePlayersSystemForFourToSixHundredTicks)
{
    SceneItem* elsewhere = Ship(1000, 0, 0, 100);
    elsewhere->sceneGeneration = 3;
    MakeItem(); // no ship
    SceneItem* from = Ship(2000, 0, 0, 100);
    StartDirector();
    DirectorOfferShot(from, nullptr, kShotScripted);
    Advance(300);
    DirectorUpdate();
    // The walk goes on past the end of the list to the player's ship.
    EXPECT_EQ(gCameras.director.subject.Get(), player);
    EXPECT_EQ(camera->control, &CAM_CHASE);
    EXPECT_EQ(gCameras.director.event, kShotCycling);
    EXPECT_GE(gCameras.director.shotLength, 400);
    EXPECT_LT(gCameras.director.shotLength, 650);
    EXPECT_GE(gCameras.director.hold, gCameras.director.shotLength + 100);
    // Not again before the shot's length has passed.
    DirectorOfferShot(from, nullptr, kShotScripted);
    Advance(5);
    DirectorUpdate();
    EXPECT_EQ(gCameras.director.subject.Get(), from);
}

TEST_F(CameraTest, TheDriftingTrackMovesBeforeItTurns)
{
    SceneItem* watched = Ship(1000, 0, 1000, 100);
    camera->avatar->linkItem = watched;
    SceneItem* drifting = MakeItem();
    drifting->avatar->linkItem = watched;
    drifting->sim->velocity = {1000, 0, 0};
    worldtest::SetFrameStep(100);
    DriftingTrackCamera(drifting);
    EXPECT_DOUBLE_EQ(drifting->sim->position.x, 1000.0);
    EXPECT_FLOAT_EQ(drifting->sim->matrix.m[12], 1000.0f);
    EXPECT_VEC(Row(drifting, 2), 0, 0, 1, 1e-5);
}

TEST_F(CameraTest, AMissionsEndHandsTheViewToTheDirectorOnThePlayersShip)
{
    CurrentStation = 0;
    Place(camera, 0, 0, -5000);
    StartDirectorOnPlayer();
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    EXPECT_EQ(CurrentStation, 2);
    EXPECT_EQ(gDirectorOn, 255);
    // It stays on the player's ship, frame after frame.
    for (int frame = 0; frame < 200; ++frame) {
        Advance(10);
        DirectorUpdate();
        camera->control(camera);
    }
    EXPECT_EQ(gDirectorOn, 255);
    EXPECT_EQ(gCameras.director.subject.Get(), player);
    Vector3 toShip{float(player->sim->position.x - camera->sim->position.x),
                   float(player->sim->position.y - camera->sim->position.y),
                   float(player->sim->position.z - camera->sim->position.z)};
    VecNormalise(toShip);
    EXPECT_GT(VecDot(toShip, Row(camera, 2)), 0.999f);

    StopDirector();
    gDebriefAtFlightEnd = 1;
    StartDirectorOnPlayer();
    EXPECT_EQ(MissionEndState, kMissionDebrief);
}

TEST_F(CameraTest, InTheSimulationFrameTheViewCameraFollowsTheShipAfterTheMissionsEnd)
{
    SceneItem* eye = CreateCameraItem(player, CAM_PLAYER);
    ASSERT_NE(eye, nullptr);
    gPlayerCamera = eye;
    player->sim->velocity = {0, 0, 500};
    player->perFrame = BallisticStep;
    StartDirectorOnPlayer();
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    for (int frame = 0; frame < 50; ++frame)
        worldtest::RunFrame(5);
    EXPECT_EQ(gDirectorOn, 255);
    EXPECT_NE(eye->control, &CAM_PLAYER); // an outside shot
    EXPECT_GT(player->sim->position.z, 1000.0);
    Vector3 toShip{float(player->sim->position.x - eye->sim->position.x),
                   float(player->sim->position.y - eye->sim->position.y),
                   float(player->sim->position.z - eye->sim->position.z)};
    VecNormalise(toShip);
    EXPECT_GT(VecDot(toShip, Row(eye, 2)), 0.999f);
    // What the view draws from: the camera's Avatar took its matrix.
    EXPECT_FLOAT_EQ(eye->avatar->matrix.m[10], eye->sim->matrix.m[10]);
}

// ---- Camera geometry --------------------------------------------------------------------------

TEST_F(CameraTest, TrackTurnsToTheWatchedItemAndKeepsItsAxesStraightUp)
{
    struct Case {
        double x, y, z;
        Vector3 side, up, forward;
    } const cases[] = {
        {0, 0, 1000, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {1000, 0, 0, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
        {0, 0, -1000, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
    };
    for (const Case& c : cases) {
        Place(player, c.x, c.y, c.z);
        CAM_TRACK(camera);
        EXPECT_VEC(Row(camera, 0), c.side.x, c.side.y, c.side.z, 1e-5);
        EXPECT_VEC(Row(camera, 1), c.up.x, c.up.y, c.up.z, 1e-5);
        EXPECT_VEC(Row(camera, 2), c.forward.x, c.forward.y, c.forward.z, 1e-5);
    }
    EXPECT_STREQ(gCameras.view.cameraName, "TRACK");
    // Straight up, and on the watched point: the last orientation stays.
    for (double y : {1000.0, -1000.0, 0.0}) {
        Place(player, 0, y, 0);
        CAM_TRACK(camera);
        EXPECT_VEC(Row(camera, 2), 0, 0, -1, 1e-5);
        EXPECT_FALSE(std::isnan(Row(camera, 0).x));
    }
}

TEST_F(CameraTest, ChaseSettlesTwoRadiiBehindWithItsLagAndNeverAhead)
{
    player->sim->radius = 5000.0f; // 2 radii = 10000, above the minimum 7500
    for (int frame = 0; frame < 400; ++frame)
        CAM_CHASE(camera);
    EXPECT_NEAR(camera->sim->position.z, -10000.0, 1.0);
    EXPECT_VEC(Row(camera, 2), 0, 0.0f, 1, 1e-3);
    EXPECT_STREQ(gCameras.view.cameraName, "CHASE");

    // The watched ship turns to face +x: the camera swings round with lag.
    MatIdentity(player->sim->matrix);
    MatSetRotY(90, player->sim->matrix);
    const Vector3 forward = Row(player, 2);
    CAM_CHASE(camera);
    const double behindNow = -(camera->sim->position.x * forward.x + camera->sim->position.z * forward.z);
    EXPECT_LT(behindNow, 5000.0); // not there yet
    for (int frame = 0; frame < 400; ++frame)
        CAM_CHASE(camera);
    EXPECT_NEAR(camera->sim->position.x, -forward.x * 10000.0, 1.0);
    EXPECT_NEAR(camera->sim->position.z, -forward.z * 10000.0, 1.0);

    // A small ship: the minimum distance. An offset ahead is flattened.
    MatIdentity(player->sim->matrix);
    player->sim->radius = 100.0f;
    camera->avatar->cameraOffset = {10000, 0, 20000};
    CAM_CHASE(camera);
    EXPECT_NEAR(camera->sim->position.x, 7500.0, 1e-3);
    EXPECT_NEAR(camera->sim->position.z, 0.0, 1e-3);
}

TEST_F(CameraTest, CockpitSitsAheadOfTheShipAndShakesWhileTheTimerRuns)
{
    Place(player, 100, 200, 300);
    player->sim->radius = 1000.0f;
    CAM_PLAYER(camera);
    EXPECT_VEC(camera->sim->position, 100, 200, 1310, 1e-6);
    EXPECT_VEC(Row(camera, 2), 0, 0, 1, 1e-6);
    EXPECT_STREQ(gCameras.view.cameraName, "COCKPIT");

    gScreenShake[0] = 50;
    gScreenShake[1] = 100;
    worldtest::SetFrameStep(5);
    CAM_PLAYER(camera);
    EXPECT_EQ(gScreenShake[0], 45);
    const Vector3 shaken = Row(camera, 2);
    float turned = 0;
    for (int i = 0; i < 12; ++i)
        turned += std::fabs(camera->sim->matrix.m[i] - (i % 5 == 0 ? 1.0f : 0.0f));
    EXPECT_GT(turned, 1e-4f);
    EXPECT_GT(shaken.z, std::cos(3.0f * 0.45f * 2.0f * 3.14159f / 180.0f)); // within the shake
    // The camera sits 1.01 radii along its own (shaken) forward axis.
    EXPECT_NEAR(camera->sim->position.x - 100, shaken.x * 1010, 1e-2);
    EXPECT_NEAR(camera->sim->position.z - 300, shaken.z * 1010, 1e-2);

    gScreenShake[0] = 3;
    CAM_PLAYER(camera);
    EXPECT_EQ(gScreenShake[0], 0);
    EXPECT_VEC(Row(camera, 2), 0, 0, 1, 1e-6);
}

TEST_F(CameraTest, TargetCameraStandsBehindTheTargetOrBehindTheViewerUnderTheDirector)
{
    struct Case {
        double distance;
        float targetRadius;
        double back; // from the target
    } const cases[] = {
        {100000, 500, 3000},  // at least 3000
        {100000, 2000, 5000}, // 2.5 target radii
        {2000, 2000, 1500},   // 0.75 x the distance, below both
    };
    SceneItem* target = Ship(0, 0, 0, 0);
    camera->avatar->linkItem = target;
    for (const Case& c : cases) {
        Place(target, 0, 0, c.distance);
        target->sim->radius = c.targetRadius;
        TargetCamera(camera);
        EXPECT_VEC(camera->sim->position, 0, 0, c.distance - c.back, 1e-6);
        EXPECT_VEC(Row(camera, 2), 0, 0, 1, 1e-6);
    }
    // The panels' camera watches the player's ship: it looks at its target.
    camera->avatar->linkItem = player;
    player->sim->target = target;
    target->sim->radius = 500.0f;
    Place(target, 0, 0, -100000);
    SnapTargetCamera(camera);
    EXPECT_VEC(camera->sim->position, 0, 0, -97000, 1e-6);
    EXPECT_FLOAT_EQ(camera->avatar->matrix.m[14], -97000.0f);
    EXPECT_VEC(Row(camera, 2), 0, 0, -1, 1e-6);

    // The director: two viewer radii behind the viewer, raised and aside.
    player->sim->radius = 100.0f;
    Place(target, 0, 0, 10000);
    StartDirector();
    DirectorOfferShot(player, target, kShotScripted);
    TargetCamera(camera);
    EXPECT_VEC(camera->sim->position, 25, 50, -200, 1e-3);
    Place(target, 0, -10000, 10000); // below the viewer: lowered
    TargetCamera(camera);
    const Vector3 up = Row(camera, 1);
    EXPECT_LT(up.y, 1.0f);
    const Vector3 forward = Row(camera, 2);
    const Vector3 side = Row(camera, 0);
    const double g = 200.0 + std::sqrt(2.0) * 10000.0;
    EXPECT_NEAR(camera->sim->position.y, -10000 - forward.y * g - up.y * 50 + side.y * 25, 1e-2);
}

TEST_F(CameraTest, TargetCameraLooksStraightUpAlongTheViewersSide)
{
    SceneItem* target = Ship(0, 100000, 0, 500);
    camera->avatar->linkItem = target;
    TargetCamera(camera);
    EXPECT_VEC(Row(camera, 2), 0, 1, 0, 1e-6);
    EXPECT_VEC(Row(camera, 0), -1, 0, 0, 1e-6); // the viewer's -right axis
    EXPECT_VEC(Row(camera, 1), 0, 0, 1, 1e-6);
    EXPECT_VEC(camera->sim->position, 0, 97000, 0, 1e-6);
}

TEST_F(CameraTest, ContactCameraWatchesTheSelectedContactOrChasesWithoutOne)
{
    CAM_CONTACT(camera);
    EXPECT_STREQ(gCameras.view.cameraName, "CHASE");
    EXPECT_NEAR(camera->sim->position.z, -7500.0, 1e-3);

    SceneItem* contact = Ship(0, 0, 50000, 500);
    player->sim->target = contact;
    CAM_CONTACT(camera);
    EXPECT_STREQ(gCameras.view.cameraName, "CONTACT");
    EXPECT_EQ(camera->avatar->linkItem.Get(), contact);
    EXPECT_VEC(camera->sim->position, 0, 0, 47000, 1e-6);
}

TEST_F(CameraTest, WeaponCameraRidesAheadAimsSmoothlyOrLooksAlongTheMount)
{
    Weapon mount{};
    mount.directionCode = 3; // port
    mount.mountPosition = {-20, 5, 10};
    player->sim->weapons = &mount;
    player->sim->radius = 100.0f;
    SceneItem* weapons = MakeItem();

    // The gunner's view: the first mount's direction, at the mount.
    gWeaponViewOption = 0;
    WeaponCameraStep(weapons);
    EXPECT_EQ(gWeaponViewMount, &mount);
    EXPECT_VEC(Row(weapons, 2), -1, 0, 0, 1e-5);
    EXPECT_VEC(weapons->sim->position, -20, 5, 10, 1e-6);

    // The option on: the viewed ship's axes, 1.2 radii ahead.
    gWeaponViewOption = 1;
    WeaponCameraStep(weapons);
    EXPECT_VEC(Row(weapons, 2), 0, 0, 1, 1e-6);
    EXPECT_VEC(weapons->sim->position, 0, 0, 120, 1e-6);

    // With smoothing, the aim point moves 15% of the way to the target.
    gCameras.view.weaponTargetSmoothing = 1;
    gCameras.view.smoothedTarget = {0, 0, 1000};
    SceneItem* target = Ship(1000, 0, 1000, 10);
    player->sim->target = target;
    WeaponCameraStep(weapons);
    EXPECT_VEC(gCameras.view.smoothedTarget, 150, 0, 1000, 1e-3);
    Vector3 aim{150, 0, 1000};
    VecNormalise(aim);
    EXPECT_VEC(Row(weapons, 2), aim.x, aim.y, aim.z, 1e-5);
    gWeaponViewOption = 0;
    gWeaponViewMount = nullptr;
}

// The gunner's view at the weapons station: the steering demands turn it
// within the mount's arc at 60 degrees a second, and the mount fires along
// it; away from the station the demands steer the ship, not the gunner.
TEST_F(CameraTest, TheGunnersViewTurnsWithinTheArcAndTheMountFiresAlongIt)
{
    Weapon mount{};
    mount.directionCode = 1; // ahead; the narrowest arc class: 29 degrees each way
    player->sim->weapons = &mount;
    SceneItem* weapons = MakeItem();
    gWeaponViewOption = 0;
    CurrentStation = 3;
    player->yawDemand = 100.0f;
    player->pitchDemand = -50.0f;
    Advance(25); // a quarter second: 15 degrees
    WeaponCameraStep(weapons);
    EXPECT_NEAR(gCameras.view.gunnerYaw, 15.0f, 1e-4);
    EXPECT_NEAR(gCameras.view.gunnerPitch, -14.5f, 1e-4) << "half the demand: half the arc";
    Advance(100);
    WeaponCameraStep(weapons);
    EXPECT_NEAR(gCameras.view.gunnerYaw, 29.0f, 1e-4) << "held at the arc's edge";
    EXPECT_NEAR(gCameras.view.gunnerPitch, -14.5f, 1e-4);
    ASSERT_EQ(mount.aimReference, &gCameras.view.gunnerAim);
    const Vector3 forward = Row(weapons, 2);
    EXPECT_VEC(*mount.aimReference, forward.x, forward.y, forward.z, 1e-6);
    EXPECT_NEAR(std::fabs(forward.x), std::sin(29.0 * 3.14159265 / 180) * std::cos(14.5 * 3.14159265 / 180), 1e-4);

    CurrentStation = 2;
    player->yawDemand = -100.0f;
    WeaponCameraStep(weapons);
    EXPECT_NEAR(gCameras.view.gunnerYaw, 29.0f, 1e-4);
    player->yawDemand = player->pitchDemand = 0.0f;
    gWeaponViewMount = nullptr;
}

// The weapon view on: of the player's mounts, the one facing the target
// becomes current; with none of the group able to bear, the current stays.
TEST_F(CameraTest, TheWeaponViewMakesTheMountFacingTheTargetCurrent)
{
    Weapon ahead{}, port{};
    ahead.directionCode = 1;
    port.directionCode = 3;
    ahead.next = &port;
    player->sim->weapons = &ahead;
    player->sim->currentWeapon = &ahead;
    SceneItem* weapons = MakeItem();
    CurrentStation = 3;
    gWeaponViewOption = 1;
    player->sim->target = Ship(-5000, 0, 0, 10);
    WeaponCameraStep(weapons);
    EXPECT_EQ(player->sim->currentWeapon, &port);
    EXPECT_EQ(gWeaponViewMount, &port);

    port.reloadTimer = 50.0f;
    ahead.reloadTimer = 50.0f;
    player->sim->target = Ship(0, 0, 5000, 10);
    WeaponCameraStep(weapons);
    EXPECT_EQ(player->sim->currentWeapon, &port) << "none ready: no choice";
    gWeaponViewOption = 0;
    gWeaponViewMount = nullptr;
    player->sim->currentWeapon = nullptr;
}

TEST_F(CameraTest, JumpingPutsThePlayerJustBehindTheItem)
{
    player->sim->radius = 100.0f;
    SceneItem* ship = Ship(0, 0, 1e6, 500);
    JumpPlayerToObject(ship);
    EXPECT_VEC(player->sim->position, 0, 0, 1e6 - 200 - 1000, 1e-6);
    EXPECT_FLOAT_EQ(player->sim->matrix.m[14], float(1e6 - 1200));
    // A planet's radius counts at its real size.
    SceneItem* planet = Ship(0, 0, 2e6, 4000);
    planet->avatar->classFlags |= SenseFlag(kw::SN_PLANET);
    JumpPlayerToObject(planet);
    EXPECT_VEC(player->sim->position, 0, 0, 2e6 - 200 - 2000, 1e-6);
}

TEST_F(CameraTest, TheDirectorsViewpointLiesOutsideTheSubjectFacingIt)
{
    for (float radius : {2000.0f, 500.0f}) {
        Place(player, 1e6, 0, 0);
        player->sim->radius = radius;
        for (int i = 0; i < 20; ++i) {
            PlaceDirectorCamera();
            const double expected = radius > 1100 ? 2.0 * radius : radius + 1100.0;
            EXPECT_NEAR(Distance(camera, player), expected, 1e-2) << radius;
            Vector3 toSubject{float(player->sim->position.x - camera->sim->position.x),
                              float(player->sim->position.y - camera->sim->position.y),
                              float(player->sim->position.z - camera->sim->position.z)};
            VecNormalise(toSubject);
            EXPECT_GT(VecDot(toSubject, Row(camera, 2)), 0.9999f);
        }
    }
}

TEST_F(CameraTest, WeaponLabelNamesTheDirectionAndTheWeapon)
{
    EXPECT_STREQ(FormatWeaponLabel(), "");
    Weapon mount{};
    mount.kind = 5;
    player->sim->currentWeapon = &mount;
    const char* const words[16] = {"FULL RNG", "FWD", "FWD PORT", "PORT", "AFT PORT", "AFT",
                                   "AFT STBD", "STBD", "FWD STBD", "FULL RNG", "FULL RNG", "FULL RNG",
                                   "FULL RNG", "FULL RNG", "FULL RNG", "FULL RNG"};
    for (int16_t code = 0; code < 16; ++code) {
        mount.directionCode = int16_t(code | 0x30); // only the low 4 bits count
        EXPECT_EQ(std::string(FormatWeaponLabel()), std::string(words[code]) + " MAG - SEEKER") << code;
    }
    player->sim->currentWeapon = nullptr;
}

// The label window's text follows the current weapon from frame to frame.
TEST_F(CameraTest, TheWeaponLabelWindowFollowsTheCurrentWeapon)
{
    WindowHandle window{};
    UpdateWeaponLabelWindow(&window);
    ASSERT_NE(window.text, nullptr);
    EXPECT_STREQ(window.text, "");
    Weapon mount{};
    mount.kind = 5;
    mount.directionCode = 7;
    player->sim->currentWeapon = &mount;
    UpdateWeaponLabelWindow(&window);
    EXPECT_STREQ(window.text, "STBD MAG - SEEKER");
    player->sim->currentWeapon = nullptr;
    UpdateWeaponLabelWindow(&window);
    EXPECT_STREQ(window.text, "");
}

// ---- Views and the remote link ---------------------------------------------------------------

TEST_F(CameraTest, ViewSwitchesResetTheOrbitAndTheCockpitTakesThePlayerCamera)
{
    CurrentStation = 0;
    gCameras.view.orbitOn = 1;
    gCameras.view.orbit.m[0] = 5;
    ToggleExternalView();
    EXPECT_EQ(gExternalView, 255);
    EXPECT_EQ(CurrentStation, 2);
    EXPECT_EQ(gCameras.view.orbitOn, 0);
    EXPECT_EQ(gCameras.view.orbit.m[0], 1.0f);
    camera->control = CAM_TRACK;
    SaveCameraView();
    ToggleExternalView();
    EXPECT_EQ(gExternalView, 0);
    EXPECT_EQ(camera->control, &CAM_PLAYER);
    RestoreCameraView();
    EXPECT_EQ(gExternalView, 255);
    EXPECT_EQ(camera->control, &CAM_TRACK);

    // Stopping a director that never ran (as every move to another star
    // system does) restores nothing: the camera keeps its behaviour.
    camera->control = CAM_CHASE;
    StopDirector();
    EXPECT_EQ(gExternalView, 255);
    EXPECT_EQ(camera->control, &CAM_CHASE);
}

TEST_F(CameraTest, RemoteLinkRefusesLinksReleasesAndEndsOutOfReach)
{
    InitializeScriptSystem();
    GamePalette remote{};
    remote.entries[20].red = 200;
    Resource record{};
    record.data = &remote;
    record.type = ResType::PcxPalette;
    ScriptSymbol* symbol = AddScriptSymbol("REMPalette", nullptr, 0);
    symbol->value = &record;
    symbol->type = kSymbolResource;
    GamePalette own{};
    gCurrentPalette = own.entries;

    CaptureMessages();
    SceneItem* probe = Ship(1000, 0, 0, 50);
    SceneItem* rock = MakeItem();
    rock->sim->flags |= kSimRemoteControllable;
    ToggleRemoteLink(player, rock);  // no ShipInfo
    ToggleRemoteLink(player, probe); // not remotely controllable
    probe->sim->flags |= kSimRemoteControllable;
    gRemoteLinkMarker = &record; // barred this frame
    ToggleRemoteLink(player, probe);
    EXPECT_EQ(Messages(), "NOT REMOTE;NOT REMOTE;OUT OF REACH;");
    EXPECT_EQ(gControlledItem, player);

    gRemoteLinkMarker = nullptr;
    player->control = CONTROL_MAIN;
    probe->control = nullptr;
    ToggleRemoteLink(player, probe);
    EXPECT_EQ(Messages(), "LINKED;");
    EXPECT_EQ(gControlledItem, probe);
    EXPECT_EQ(gRemoteLinkItem, probe);
    EXPECT_EQ(probe->avatar->remoteLinked, 1);
    EXPECT_EQ(probe->control, &CONTROL_MAIN);
    EXPECT_EQ(player->control, &RemoteLinkControl);
    EXPECT_EQ(gCurrentPalette, remote.entries);
    EXPECT_EQ(DisplayLastPalette()[20].red, 200);

    probe->sim->flags |= kSimAiControl;
    ToggleRemoteLink(player, probe);
    EXPECT_EQ(Messages(), "RELEASED;");
    EXPECT_EQ(gControlledItem, player);
    EXPECT_EQ(gRemoteLinkItem, nullptr);
    EXPECT_EQ(probe->control, nullptr);
    EXPECT_EQ(player->control, &CONTROL_MAIN);
    EXPECT_EQ(probe->sim->flags & kSimAiControl, 0u);
    EXPECT_EQ(gCurrentPalette, own.entries);
    EXPECT_EQ(DisplayLastPalette()[20].red, 0);

    // Out of reach: the controller's routine ends the link.
    ToggleRemoteLink(player, probe);
    Messages();
    Place(probe, 12'000'000, 0, 0);
    player->control(player);
    EXPECT_EQ(gCameras.remote.linked, 1);
    Place(probe, 12'000'001, 0, 0);
    player->control(player);
    EXPECT_EQ(gCameras.remote.linked, 0);
    EXPECT_EQ(Messages(), "OUT OF REACH;");
    EXPECT_EQ(player->control, &CONTROL_MAIN);

    // The coupling code's call ends a link, and the cockpit view does too.
    ToggleRemoteLink(player, probe);
    ReleaseRemoteLink(player);
    EXPECT_EQ(gControlledItem, player);
    ToggleRemoteLink(player, probe);
    EnterCockpitView();
    EXPECT_EQ(gRemoteLinkItem, nullptr);
    EXPECT_EQ(gCurrentPalette, own.entries);
    gCurrentPalette = nullptr;
    symbol->value = nullptr;
    ResetMissionScript();
}

} // namespace
