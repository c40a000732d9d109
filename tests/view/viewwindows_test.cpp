// Frames of 3D view windows drawn through the software renderer into a
// 640 x 480 memory frame buffer: the sky clear, the projection of the
// fields of view, depth, the flash and target views, the planet pass, the
// depth dirty rectangle and the order of the profiler marks.
#include "tests/view/view_fixture.h"

#include <string>

#include "screens/bridge.h"
#include "ui/hud.h"
#include "world/pools.h"
#include "view/skyandlights.h"
#include "world/profiler.h"

namespace {

using viewtest::kHeight;
using viewtest::kP45;
using viewtest::kWidth;
using viewtest::ViewTest;

constexpr int kMidRow = kHeight / 2;

class ViewFrame : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        viewer = worldtest::MakeItem();
        Place(viewer, 0, 0, 0); // the Avatar takes the Sim's matrix
        near = Flat("near", 60);
        far = Flat("far", 90);
        mainView = ViewWindow(viewer);
    }
    void TearDown() override
    {
        CurrentStation = 0;
        ViewTest::TearDown();
    }
    void Draw() { RenderViewWindow(mainView); }

    SceneItem* viewer = nullptr;
    WindowHandle* mainView = nullptr;
    hx_material* near = nullptr;
    hx_material* far = nullptr;
};

TEST_F(ViewFrame, AHudWindowDrawsItsOrbInsideItWithTheScopesProjection)
{
    gPlayerItem = viewer;
    gView.viewer = viewer;
    HUD* orb = InitOrbHud(AllocBigHUD(), nullptr, 0);
    ASSERT_NE(orb, nullptr);
    WindowHandle scope{};
    scope.x = scope.y = 100;
    scope.width = scope.height = 100; // centred on (150, 150)
    guiSetHeldHudElement(&scope, orb);
    RegisterViewWindow(&scope);
    const ViewRect viewport = gView.viewport;
    const float distance = gProjectionDistance;
    auto leftmost = [&] {
        for (int x = 0; x < kWidth; ++x)
            for (int y = 0; y < kHeight; ++y)
                if (frame[size_t(y * kWidth + x)])
                    return x;
        return -1;
    };
    // The orb's radius of 1000 at 8000 ahead: 345.244 / 8 pixels, 227.783
    // / 8 at the weapons station.
    for (const auto& [station, radius] : {std::pair{0, 43}, std::pair{3, 28}}) {
        std::fill(frame.begin(), frame.end(), uint8_t(0));
        CurrentStation = int16_t(station);
        RenderHudWindow(&scope);
        EXPECT_NEAR(leftmost(), 150 - radius, 2) << station;
        int outside = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                outside += (x < 100 || x > 199 || y < 100 || y > 199) && frame[size_t(y * kWidth + x)];
        EXPECT_EQ(outside, 0) << "only inside the window";
    }
    EXPECT_EQ(gView.viewport.right, viewport.right) << "the main view's rectangle is back";
    EXPECT_EQ(gProjectionDistance, distance);
    EXPECT_EQ(gView.colourTarget, nullptr) << "the sub-pixelmaps are freed";

    guiSetViewedItems(&scope, viewer); // a window holding no element draws nothing
    std::fill(frame.begin(), frame.end(), uint8_t(0));
    RenderHudWindow(&scope);
    EXPECT_EQ(leftmost(), -1);
    UnregisterViewWindow(&scope);
    gView.viewer = nullptr;
}

TEST_F(ViewFrame, AnEmptyViewIsTheSkyColour)
{
    std::fill(frame.begin(), frame.end(), uint8_t(3));
    Draw();
    for (int y : {0, kMidRow, kHeight - 1})
        for (int x : {0, kWidth / 2, kWidth - 1})
            EXPECT_EQ(At(x, y), 176u) << x << "," << y;
    EXPECT_EQ(gRebuild3D, 0); // the first frame built the worlds
    ASSERT_NE(gView.mainWorld, nullptr);
    EXPECT_EQ(gView.mainCamera->parent, gView.mainWorld); // back between frames
}

class ViewFrame16 : public ViewFrame {
protected:
    int Depth() const override { return 16; }
};

TEST_F(ViewFrame16, AnEmptyViewIsBlack)
{
    std::fill(frame.begin(), frame.end(), uint8_t(3));
    Draw();
    EXPECT_EQ(At(0, 0), 0u);
    EXPECT_EQ(At(kWidth / 2, kMidRow), 0u);
    EXPECT_EQ(At(kWidth - 1, kHeight - 1), 0u);
}

// A cube of edge E at distance D spans E x P / (D - E/2) pixels, P the
// projection distance of the field of view.
struct SpanCase {
    int16_t station;
    uint8_t external;
    uint8_t targetView;
    double degrees;
};

TEST_F(ViewFrame, ACubeSpansItsProjectedWidthForEachFieldOfView)
{
    constexpr float kEdge = 1000, kDistance = 6000;
    Show(Cube("cube", kEdge, near), 0, 0, kDistance, 870);
    const SpanCase cases[] = {{0, 0, 0, 45.0}, {3, 0, 0, 82.0}, {3, 255, 0, 88.0}, {0, 255, 0, 73.14}, {3, 0, 255, 45.0}};
    for (const SpanCase& c : cases) {
        SCOPED_TRACE(c.degrees);
        CurrentStation = c.station;
        gExternalView = c.external;
        gTargetViewDrawing = c.targetView;
        Draw();
        const double p = 240.0 / std::tan(c.degrees / 2 * 3.14159265358979 / 180.0);
        const double span = kEdge * p / (kDistance - kEdge / 2);
        EXPECT_NEAR(RowSpan(kMidRow, 176), span, 1.0);
        EXPECT_NEAR(gProjectionDistance, p, 0.05);
        EXPECT_EQ(At(kWidth / 2, kMidRow), 60u);
    }
    gExternalView = 0;
    EXPECT_NEAR(kP45, 579.4, 0.1);
}

TEST_F(ViewFrame, ANearerObjectHidesAFartherOne)
{
    Show(Cube("big", 4000, far), 0, 0, 20000, 3500);
    Show(Cube("small", 500, near), 0, 0, 5000, 440);
    Draw();
    EXPECT_EQ(At(kWidth / 2, kMidRow), 60u);
    // Beside the near cube the far one shows.
    const int nearHalf = int(500 * kP45 / (5000 - 250) / 2);
    EXPECT_EQ(At(kWidth / 2 + nearHalf + 10, kMidRow), 90u);
}

TEST_F(ViewFrame, AnObjectOffTheAxisIsDrawnWhereItProjects)
{
    // x right, y down on the screen for the game's axes.
    Show(Cube("aside", 400, near), 1500, 1000, 8000, 350);
    Draw();
    const int x = kWidth / 2 + int(1500 * kP45 / 8000);
    const int y = kMidRow + int(1000 * kP45 / 8000);
    EXPECT_EQ(At(x, y), 60u);
    EXPECT_EQ(At(kWidth / 2, kMidRow), 176u);
}

TEST_F(ViewFrame, AWindowWithoutAViewingItemDrawsNothingAndFreesItsTargets)
{
    std::fill(frame.begin(), frame.end(), uint8_t(7));
    Show(Cube("cube", 1000, near), 0, 0, 6000, 870);
    WindowHandle* w = ViewWindow(nullptr);
    RenderViewWindow(w);
    EXPECT_EQ(RowSpan(kMidRow, 7), 0);
    const ViewWindowRecord* record = FindViewWindowRecord(w);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->colour, nullptr);
    EXPECT_EQ(record->depth, nullptr);
    EXPECT_EQ(gView.colourTarget, nullptr);
}

TEST_F(ViewFrame, AViewFillsOnlyItsWindow)
{
    std::fill(frame.begin(), frame.end(), uint8_t(7));
    Show(Cube("cube", 1000, near), 0, 0, 6000, 870);
    RenderViewWindow(ViewWindow(viewer, 100, 100, 200, 120));
    EXPECT_EQ(At(99, 150), 7u);
    EXPECT_EQ(At(300, 150), 7u);
    EXPECT_EQ(At(150, 99), 7u);
    EXPECT_EQ(At(150, 220), 7u);
    EXPECT_EQ(At(100, 100), 176u);
    EXPECT_EQ(At(299, 219), 176u);
    EXPECT_EQ(At(200, 160), 60u); // the window's centre
}

TEST_F(ViewFrame, FlashModeShowsTheFlashColourAndNoBackground)
{
    BuildBackgroundWorlds();
    Show(Cube("planet", 4e6f, far), 0, 0, 5e7f, 3.5e6f, kTdpPlanetLayer); // beyond the main camera
    gView.flashMode = 255;
    struct {
        float m8;
        uint32_t sky;
    } const rows[] = {{0.0f, 190}, {0.5f, 192}, {-1.0f, 194}};
    for (const auto& row : rows) {
        viewer->sim->matrix.m[8] = row.m8;
        gStarTrailCountdown = 1;
        Draw();
        EXPECT_EQ(At(5, 5), row.sky);
        EXPECT_EQ(At(kWidth / 2, kMidRow), row.sky) << "no planet";
        EXPECT_EQ(gStarTrailCountdown, 1) << "no star pass";
        // Light 1 is the flash's soft point light.
        const auto* light = static_cast<const hx_light*>(gView.lights[0]->type_data);
        EXPECT_EQ(light->type, HX_LIGHT_POINT);
        EXPECT_FLOAT_EQ(light->attenuation_c, 0.025f);
        EXPECT_EQ(gScreenClearColour, 176); // for one frame only
    }
    gView.flashMode = 0;
    gStarTrailCountdown = 1;
    Draw();
    EXPECT_EQ(At(kWidth / 2, kMidRow), 90u);
    EXPECT_EQ(gStarTrailCountdown, 0) << "one star pass";
}

TEST_F(ViewFrame, TheTargetViewDrawsNoStarsParticlesOrPlanets)
{
    BuildBackgroundWorlds();
    Show(Cube("planet", 4e6f, far), 0, 0, 5e7f, 3.5e6f, kTdpPlanetLayer); // beyond the main camera
    // A spark ahead and above the planet.
    SceneItem* sparks = worldtest::MakeItem();
    Place(sparks, 0, 0, 0);
    ASSERT_NE(OnePointEmitter(sparks, {0.0f, -500.0f, 10000.0f}), nullptr);
    const int sparkX = kWidth / 2 - 1, sparkY = int(kMidRow - 500 * kP45 / 10000) - 1;
    gTargetViewDrawing = 255;
    gStarTrailCountdown = 1;
    Draw();
    EXPECT_EQ(gStarTrailCountdown, 1) << "no star pass";
    EXPECT_EQ(At(sparkX, sparkY), 176u) << "no particle pass";
    EXPECT_EQ(At(kWidth / 2, kMidRow), 176u);
    gTargetViewDrawing = 0;
    Draw();
    EXPECT_EQ(At(sparkX, sparkY), 136u); // the spark's one pixel
}

TEST_F(ViewFrame, PlanetsAreDrawnFarthestFirstOneAtATime)
{
    BuildBackgroundWorlds();
    // Placed nearest first: the list order is not the drawing order. Both
    // lie beyond the main camera's reach; the planet camera sees them.
    SceneItem* nearPlanet = Show(Cube("moon", 2e6f, near), 0, 0, 2e7f, 1.7e6f, kTdpPlanetLayer);
    SceneItem* farPlanet = Show(Cube("world", 2.4e7f, far), 0, 0, 6e7f, 2e7f, kTdpPlanetLayer);
    Draw();
    EXPECT_EQ(At(kWidth / 2, kMidRow), 60u); // the near one last, over the far one
    const int nearHalf = int(2e6 * kP45 / (2e7 - 1e6) / 2);
    EXPECT_EQ(At(kWidth / 2 + nearHalf + 5, kMidRow), 90u);
    int actors = 0;
    for (hx_actor* a = gView.planetWorld->children; a; a = a->next)
        actors += a->type == HX_ACTOR_MODEL;
    EXPECT_EQ(actors, 1);
    EXPECT_EQ(nearPlanet->avatar->root->actor->parent, gView.planetWorld);
    EXPECT_EQ(farPlanet->avatar->root->actor->parent, nullptr);

    // At equal depths the list order decides: the later one is drawn last.
    Place(farPlanet, 0, 0, 2e7f);
    Draw();
    EXPECT_EQ(At(kWidth / 2, kMidRow), 90u);
}

TEST_F(ViewFrame, TheNextFrameClearsOnlyTheDepthDirtyRectangle)
{
    SceneItem* cube = Show(Cube("cube", 1000, near), 0, 0, 6000, 870);
    WindowHandle* w = ViewWindow(viewer);
    auto depthAt = [&](int x, int y) {
        uint16_t v;
        std::memcpy(&v, static_cast<uint8_t*>(gView.depth->pixels) + y * gView.depth->row_bytes + x * 2, 2);
        return v;
    };
    auto setDepth = [&](int x, int y, uint16_t v) {
        std::memcpy(static_cast<uint8_t*>(gView.depth->pixels) + y * gView.depth->row_bytes + x * 2, &v, 2);
    };
    // A newly registered window does not know what lies under it: its
    // first draw clears the whole of its depth target.
    setDepth(10, 10, 0x1234);
    RenderViewWindow(w);
    EXPECT_EQ(depthAt(10, 10), 0xFFFF);
    const ViewWindowRecord* record = FindViewWindowRecord(w);
    const int16_t* r = record->dirtyRect;
    const int half = int(1000 * kP45 / 5500 / 2);
    EXPECT_NEAR(r[0], -half, 2);
    EXPECT_NEAR(r[2], half, 2);
    EXPECT_LE(r[1], -half + 2);
    EXPECT_GE(r[3], half - 2);

    // Depth written outside the rectangle stays; inside it is cleared.
    EXPECT_NE(depthAt(kWidth / 2, kMidRow), 0xFFFF); // the cube's depth
    setDepth(10, 10, 0x1234);
    DeleteSceneItem(cube);
    RenderViewWindow(w);
    EXPECT_EQ(depthAt(10, 10), 0x1234);
    EXPECT_EQ(depthAt(kWidth / 2, kMidRow), 0xFFFF);
    EXPECT_GT(record->dirtyRect[0], record->dirtyRect[2]); // nothing drawn: empty

    gFullDepthClear = 255;
    RenderViewWindow(w);
    EXPECT_EQ(depthAt(10, 10), 0xFFFF);
    gFullDepthClear = 0;

    // A window that moved clears its whole target once.
    setDepth(200, 150, 0x1234);
    w->x = 50;
    RenderViewWindow(w);
    EXPECT_EQ(depthAt(200, 150), 0xFFFF);
}

TEST_F(ViewFrame, WindowsBeyondTheViewsRecordsStillDraw)
{
    Show(Cube("cube", 1000, near), 0, 0, 6000, 870);
    static WindowHandle windows[kViewWindowRecords + 3];
    for (WindowHandle& w : windows) {
        w = WindowHandle{};
        w.width = kWidth;
        w.height = kHeight;
        guiSetViewedItems(&w, viewer);
        RenderViewWindow(&w);
    }
    EXPECT_EQ(At(kWidth / 2, kMidRow), 60u);
    std::fill(frame.begin(), frame.end(), uint8_t(7));
    RenderViewWindow(&windows[0]); // its record went to another: it starts again
    EXPECT_EQ(At(kWidth / 2, kMidRow), 60u);
    EXPECT_EQ(At(0, 0), 176u);
}

TEST_F(ViewFrame, EveryPassClosesItsProfilerSectionInOrder)
{
    BuildBackgroundWorlds();
    FrameProfiler profiler{};
    gFrameProfiler = &profiler;
    Draw();
    gFrameProfiler = nullptr;
    const char* expected[] = {"AV-TO-GRF", "SCRN CLR", "ZBUF CLR", "NEBULA", "STARS",
                              "PLANETS", "OBJECTS", "PARTICLES", "HUD"};
    ASSERT_EQ(profiler.currentSlot, int(std::size(expected)));
    for (int i = 0; i < int(std::size(expected)); ++i)
        EXPECT_STREQ(profiler.names[i], expected[i]);
}

TEST_F(ViewFrame, TheWireframeViewDrawsEdgesOnly)
{
    Show(Cube("cube", 1000, near), 0, 0, 6000, 870);
    RenderViewWindowWireframe(mainView);
    const int half = int(1000 * kP45 / 5500 / 2);
    EXPECT_EQ(At(kWidth / 2 + half / 2, kMidRow), 176u); // the face's inside is not filled
    int edge = 0;                                        // its right edge is drawn
    for (int x = kWidth / 2 + half - 2; x <= kWidth / 2 + half + 2; ++x)
        edge += At(x, kMidRow) == 60u;
    EXPECT_GE(edge, 1);
    EXPECT_LT(RowSpan(kMidRow, 176), 12);
    EXPECT_EQ(gView.mainWorld->render_style, HX_RSTYLE_DEFAULT);
}

} // namespace
