// The star map: modes, selection by letter and by click, filters, zoom,
// transits, the jump destination and drawing on a canvas.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "system/canvas.h"
#include "screens/vesselorders.h"
#include "system/res/resman.h"
#include "tests/support/universe_fixture.h"
#include "tests/support/world_fixture.h"
#include "world/starmap.h"
#include "world/universe.h"

using namespace worldtest;

namespace {

const char* kSystems =
    "id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n"
    "0,Home|Sol,0,S,0,0,0,0,0,0,0,0,0\n"
    "1,Earth,0,P,0,0,0,0,1e8,0,0,0,0\n"
    "2,L4,1,L4,0,0,0,0,0,0,0,0,0\n"
    "3,L5,1,L5,0,0,0,0,0,0,0,0,0\n"
    "100,Tarsis,100,S,0,0,0,0,0,0,0,0,0\n"
    "101,Ferro,100,P,0,0,0,0,1e8,0,40,0,0\n"
    "102,L4,101,L4,0,0,0,0,0,0,0,0,0\n";

constexpr int kScanA = 0x1E, kScanS = 0x1F, kScanT = 0x14, kScanL = 0x26;

class StarMapTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadTestUniverse(kSystems, {{"Sol", 1, kStarHasSystem, {0, 0, 0}},
                                    {"Tarsis", 2, kStarHasSystem | kStarNear, {1e16f, 0, 0}},
                                    {"Sirrah", 0, kStarMission, {0, 1e16f, 0}},
                                    {"Tiber", 0, 0, {0, 0, 1e16f}},
                                    {"Spica", 0, kStarMission, {-1e16f, 0, 0}}});
    }
    void TearDown() override
    {
        ResetUniverse();
        gStarMapOpen = 0;
        WorldTest::TearDown();
    }
};

} // namespace

TEST_F(StarMapTest, SetUpLinksSystemsAndTakesStarNamesFromTheBodyTable)
{
    EXPECT_EQ(gStarMap.mode, 'G');
    EXPECT_EQ(gStarMap.starFilter, 0x82);
    EXPECT_EQ(gStarMap.bodyFilter, 0x42);
    EXPECT_EQ(gStarMap.systemStars[1], &gStars[0]);
    EXPECT_EQ(gStarMap.systemStars[2], &gStars[1]);
    EXPECT_TRUE(gStars[0].flags & kStarRepresentsSystem);
    EXPECT_STREQ(gBodies[0].name, "Home");
    EXPECT_STREQ(gStars[0].namePointer, "Sol");
    EXPECT_EQ(gStarMap.links[4].a, &gStars[0]); // 1-5: system 5 has no star
    EXPECT_EQ(gStarMap.links[4].b, nullptr);
    EXPECT_EQ(gCurrentStar, &gStars[0]);
}

TEST_F(StarMapTest, LettersSelectTheNextSelectableStarAndWrapRound)
{
    gStarMap.selectedStar = &gStars[0];
    SelectMapItemByLetter(kScanS); // Sirrah, a mission star
    EXPECT_EQ(gStarMap.selectedStar, &gStars[2]);
    EXPECT_EQ(gStarMap.mapStar, &gStars[2]);
    SelectMapItemByLetter(kScanS); // Spica
    EXPECT_EQ(gStarMap.selectedStar, &gStars[4]);
    SelectMapItemByLetter(kScanS); // round to Sirrah (Sol does not pass the filter)
    EXPECT_EQ(gStarMap.selectedStar, &gStars[2]);
    SelectMapItemByLetter(kScanT); // Tarsis and Tiber do not pass either
    EXPECT_EQ(gStarMap.selectedStar, &gStars[2]);
    gStarMap.starFilter |= kStarHasSystem;
    SelectMapItemByLetter(kScanT);
    EXPECT_EQ(gStarMap.selectedStar, &gStars[1]);
    SelectMapItemByLetter(0x02); // not a letter
    EXPECT_EQ(gStarMap.selectedStar, &gStars[1]);
}

TEST_F(StarMapTest, LettersInASystemGoOverItsBodiesWithoutTheFilter)
{
    BuildSystemBodyList(1, nullptr);
    gStarMap.mode = 'S';
    gStarMap.focusedBody = &gBodies[0];
    SelectMapItemByLetter(kScanL);
    EXPECT_EQ(gStarMap.focusedBody, &gBodies[2]);
    SelectMapItemByLetter(kScanL);
    EXPECT_EQ(gStarMap.focusedBody, &gBodies[3]);
    SelectMapItemByLetter(kScanA); // no body begins with a
    EXPECT_EQ(gStarMap.focusedBody, &gBodies[3]);
}

TEST_F(StarMapTest, OpeningCreatesTheUniverseAndClosingCloses)
{
    ResetUniverse();
    ToggleStarMap(); // no csv here: the fatal stop is recorded, the map opens
    EXPECT_EQ(gStarMapOpen, 255);
    ToggleStarMap();
    EXPECT_EQ(gStarMapOpen, 0);
    ToggleStarMap();
    CloseStarMap();
    EXPECT_EQ(gStarMapOpen, 0);
}

TEST_F(StarMapTest, ZoomHoldsItsLimitsAndStandsStillInTransit)
{
    for (int i = 0; i < 100; ++i)
        StarMapZoomOut();
    EXPECT_DOUBLE_EQ(gStarMap.distance, 1.2e17);
    for (int i = 0; i < 100; ++i)
        StarMapZoomIn();
    EXPECT_DOUBLE_EQ(gStarMap.distance, 1.8e15);
    gStarMap.transit = 1;
    StarMapZoomOut();
    EXPECT_DOUBLE_EQ(gStarMap.distance, 1.8e15);
}

TEST_F(StarMapTest, TransitsGoIntoASystemAndBack)
{
    gStarMap.mapStar = gStarMap.selectedStar = &gStars[1];
    StarMapLeaveSystem(); // only from a system
    EXPECT_EQ(gStarMap.mode, 'G');
    StarMapEnterSystem();
    EXPECT_EQ(gStarMap.mode, 'T');
    EXPECT_EQ(gStarMap.transit, 1);
    EXPECT_EQ(gStarMap.outlineCount, 48 + 3);
    EXPECT_FLOAT_EQ(gStars[1].position.x, 0); // the map star is the origin
    StarMapEnterSystem();                     // not again while in transit
    EXPECT_EQ(gStarMap.outlineCount, 48 + 3);
    for (int i = 0; i < 700 && gStarMap.mode == 'T'; ++i)
        UpdateStarMapCamera(10);
    EXPECT_EQ(gStarMap.mode, 'S');
    StarMapEnterSystem(); // nothing in system mode
    EXPECT_EQ(gStarMap.mode, 'S');
    StarMapLeaveSystem();
    EXPECT_EQ(gStarMap.mode, 'I');
    for (int i = 0; i < 700 && gStarMap.mode == 'I'; ++i)
        UpdateStarMapCamera(10);
    EXPECT_EQ(gStarMap.mode, 'G');
    EXPECT_EQ(gStarMap.outlineCount, kGlobeCircles);
    EXPECT_FLOAT_EQ(gStars[0].position.x, 0); // galaxy coordinates again
    EXPECT_FLOAT_EQ(gStars[1].position.x, 1e16f);
}

TEST_F(StarMapTest, TheJumpDestinationCyclesThroughTheSystemsLPoints)
{
    gStarMap.selectedStar = &gStars[0];
    StarMapSelectDestination();
    EXPECT_EQ(gPendingJumpBody, &gBodies[2]);
    EXPECT_EQ(gPendingJumpSystem, 1);
    StarMapSelectDestination();
    EXPECT_EQ(gPendingJumpBody, &gBodies[3]);
    StarMapSelectDestination();
    EXPECT_EQ(gPendingJumpBody, &gBodies[2]);
    // A mission star offers its mission bodies instead.
    gStars[1].flags |= kStarMission;
    gBodies[5].classFlags |= kBodyMission;
    gStarMap.selectedStar = &gStars[1];
    StarMapSelectDestination();
    EXPECT_EQ(gPendingJumpBody, &gBodies[5]);
    EXPECT_EQ(gPendingJumpSystem, 2);
    EXPECT_STREQ(gStarMap.destinationStar, "Tarsis");
    // In a system the focused L point is the destination: system id/100 + 1.
    gStarMap.mode = 'S';
    gStarMap.focusedBody = &gBodies[6];
    StarMapSelectDestination();
    EXPECT_EQ(gPendingJumpBody, &gBodies[6]);
    EXPECT_EQ(gPendingJumpSystem, 2);
    char line[128];
    StarMapStatusLine(3, 0, line, sizeof line);
    EXPECT_STREQ(line, "JUMP DESTINATION: L4 (Tarsis)");
    ResetStarMapSelection();
    StarMapStatusLine(3, 2, line, sizeof line);
    EXPECT_STREQ(line, "KEIN SPRUNGZIEL");
    StarMapStatusLine(2, 0, line, sizeof line);
    EXPECT_STREQ(line, "NO FOCUS");
}

TEST_F(StarMapTest, ClicksSelectTheNearestSelectableStarWithinReach)
{
    gStarMap.camera = {0, 0, -4e16f};
    gStarMap.moveTime = 0;
    float sx, sy, depth;
    ASSERT_TRUE(ProjectMapPoint(gStars[2].position, 640, 480, &sx, &sy, &depth));
    StarMapClick(static_cast<int>(sx) + 3, static_cast<int>(sy) - 2, 640, 480);
    EXPECT_EQ(gStarMap.selectedStar, &gStars[2]);
    StarMapClick(static_cast<int>(sx) + 1500, static_cast<int>(sy), 640, 480);
    EXPECT_EQ(gStarMap.selectedStar, &gStars[2]); // too far from every star
}

TEST_F(StarMapTest, TheGalaxyIsDrawnOnTheCanvas)
{
    std::vector<uint8_t> pixels(320 * 200, 7);
    const Canvas canvas{pixels.data(), 320, 200};
    gStarMap.camera = {0, 0, -4e16f};
    gStars[1].catalogueValue = 3;
    const ClipRect rect{10, 10, 309, 189};
    StarMapDrawing d{};
    DrawStarMap(canvas, rect, d);
    EXPECT_EQ(pixels[0], 7); // outside the map rectangle: untouched
    float sx, sy, depth;
    ASSERT_TRUE(ProjectMapPoint(gStars[1].position, 300, 180, &sx, &sy, &depth));
    const int x = static_cast<int>(sx) + 10, y = static_cast<int>(sy) + 10;
    EXPECT_EQ(pixels[y * 320 + x], 29);           // catalogue value + 26
    EXPECT_EQ(pixels[(y + 1) * 320 + x + 1], 29); // a near star is 2 x 2
    EXPECT_EQ(pixels[15 * 320 + 15], 0);          // the map is cleared
}

TEST_F(StarMapTest, TheStarUnderTheCursorIsMarkedInTheGalaxy)
{
    std::vector<uint8_t> pixels(320 * 200, 7);
    const Canvas canvas{pixels.data(), 320, 200};
    gStarMap.camera = {0, 0, -4e16f};
    std::vector<uint8_t> mark(3 * 3, 99);
    Bitmap markPicture{mark.data(), 3, 3, 0, 0};
    Resource icon{};
    icon.data = &markPicture;
    Resource* saved = gStarMapIcons[5];
    gStarMapIcons[5] = &icon; // "gsv_stl"
    const ClipRect rect{10, 10, 309, 189};
    float sx, sy, depth;
    ASSERT_TRUE(ProjectMapPoint(gStars[1].position, 300, 180, &sx, &sy, &depth));
    const int x = static_cast<int>(sx) + 10, y = static_cast<int>(sy) + 10;
    auto marks = [&] { return std::count(pixels.begin(), pixels.end(), 99); };
    StarMapDrawing d{};
    d.cursorShown = 1;
    d.cursorX = x + 20; // too far
    d.cursorY = y;
    DrawStarMap(canvas, rect, d);
    EXPECT_EQ(marks(), 0);
    d.cursorX = x + 3;
    DrawStarMap(canvas, rect, d);
    EXPECT_GT(marks(), 0);
    gStarMap.mode = 'S'; // not in a system's view
    std::fill(pixels.begin(), pixels.end(), 7);
    DrawStarMap(canvas, rect, d);
    EXPECT_EQ(marks(), 0);
    gStarMapIcons[5] = saved;
}

TEST_F(StarMapTest, DraggingTurnsTheCameraAndReleasingLetsItSettle)
{
    gStarMap.moveTime = 0;
    gStarMap.dragging = 1;
    gStarMap.pressX = 0.25f;
    for (int i = 0; i < 10; ++i)
        UpdateStarMapCamera(2);
    EXPECT_GT(gStarMap.azimuth, 0);
    gStarMap.dragging = 0;
    for (int i = 0; i < 20; ++i)
        UpdateStarMapCamera(2);
    const float settled = gStarMap.azimuth;
    UpdateStarMapCamera(2);
    EXPECT_NEAR(gStarMap.azimuth, settled, 1e-3);
    // The camera orbits the focus at the orbit distance.
    const double r = std::sqrt(double(gStarMap.camera.x) * gStarMap.camera.x +
                               double(gStarMap.camera.y) * gStarMap.camera.y +
                               double(gStarMap.camera.z) * gStarMap.camera.z);
    EXPECT_NEAR(r, gStarMap.distance, gStarMap.distance * 1e-3);
}
