// The 3D viewer panel: the projection's limits, the direction sphere's
// segments behind the camera, the ortho grid step and cursor, the clipboard
// line, item wireframes (colours, facing, hidden edges, depth, bounds), the
// weapons view's meshes and rounds, and the fade's palette.
#include "screens/viewerpanel.h"

#include "ai/weapons.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "script/symbols.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "ui/windows.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

Matrix4 Identity()
{
    Matrix4 m{};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

class ViewerPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(HxBegin(), HX_OK);
        ResetSimulation();
        ResetViewerPanel();
        panel = HxPixelmapAllocate(HX_PMT_INDEX_8, 200, 100, nullptr, 0);
        panel->origin_x = 100;
        panel->origin_y = 50;
        HxPixelmapFill(panel, 0);
        gViewer.panel = panel;
        camera = Item(0, 0, 0);
    }
    void TearDown() override
    {
        gPlayerItem = nullptr;
        ResetViewerPanel();
        ResetSimulation();
        HxEnd();
    }

    // A pool item with a Sim and an Avatar at the position, unturned.
    static SceneItem* Item(double x, double y, double z)
    {
        SceneItem* item = AllocSceneItem();
        item->sim = AllocSim();
        item->avatar = AllocAvatar();
        item->sim->matrix = Identity();
        item->sim->position = {x, y, z};
        return item;
    }

    // One triangle, its corners in the order given.
    static hx_model* Triangle(const char* name, std::initializer_list<hx_vector3> corners, uint8_t flags = 0)
    {
        hx_model* model = HxModelAllocate(name, 3, 1);
        int i = 0;
        for (const hx_vector3& c : corners)
            model->vertices[i++].p = c;
        model->faces[0].vertices[0] = 0;
        model->faces[0].vertices[1] = 1;
        model->faces[0].vertices[2] = 2;
        model->faces[0].flags = flags;
        return model;
    }
    // Facing the camera at the origin from 1000 units ahead, and turned away.
    static hx_model* Facing(const char* name, uint8_t flags = 0)
    {
        return Triangle(name, {{-100, -100, 0}, {100, -100, 0}, {0, 100, 0}}, flags);
    }
    static hx_model* Away(const char* name) { return Triangle(name, {{-100, -100, 0}, {0, 100, 0}, {100, -100, 0}}); }

    int Count(uint8_t colour) const
    {
        int n = 0;
        for (int y = 0; y < panel->height; ++y)
            for (int x = 0; x < panel->width; ++x)
                n += HxPixelmapPixelQuery(panel, x - 100, y - 50) == colour;
        return n;
    }

    hx_pixelmap* panel = nullptr;
    SceneItem* camera = nullptr;
};

} // namespace

TEST_F(ViewerPanelTest, ProjectionHoldsFarCoordinatesAndMarksPointsOnOrBehindTheCamera)
{
    const Matrix4 frame = Identity();
    struct Case {
        Vector3 point;
        Vector3 expected;
    };
    const Case cases[] = {
        {{1, 2, 10}, {10, 20, 10}},
        {{1e6f, 0, 1}, {30000, 0, 1}},
        {{0, -1e6f, 1}, {0, -30000, 1}},
        {{5, 0, -10}, {-50, 0, -10}},     // behind: negative depth
        {{3, -4, 0}, {30000, -30000, 0}}, // on the camera's plane: held, not infinite
        {{0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        Vector3 out;
        EXPECT_EQ(ProjectToPanel(&out, 100, &c.point, &frame), &out);
        EXPECT_FLOAT_EQ(out.x, c.expected.x) << c.point.x << "," << c.point.y << "," << c.point.z;
        EXPECT_FLOAT_EQ(out.y, c.expected.y);
        EXPECT_FLOAT_EQ(out.z, c.expected.z);
    }
    // A camera at (0, 0, 100) turned to look down -z sees the origin ahead.
    Matrix4 turned = Identity();
    MatRotY(180, turned);
    turned.m[14] = 100;
    const Vector3 origin = {0, 0, 0};
    Vector3 out;
    ProjectToPanel(&out, 100, &origin, &turned);
    EXPECT_NEAR(out.z, 100.0f, 1e-3);
}

TEST_F(ViewerPanelTest, SphereSegmentsWithAnEndBehindTheCameraAreSkipped)
{
    const Matrix4 frame = Identity();
    SphereCircle circle{};
    circle.colour = 77;
    // A ring about the view axis, half ahead and half behind when tilted.
    for (int i = 0; i < kCirclePoints; ++i) {
        const float a = 2 * 3.14159265f * i / kCirclePoints;
        circle.points[i] = {10 * std::cos(a), 0.5f, 10 * std::sin(a)};
    }
    DrawSphereCircle(&circle, &frame);
    const int half = Count(77);
    EXPECT_GT(half, 0);
    // Every point behind: nothing.
    HxPixelmapFill(panel, 0);
    for (Vector3& p : circle.points)
        p.z = -std::fabs(p.z) - 1;
    DrawSphereCircle(&circle, &frame);
    EXPECT_EQ(Count(77), 0);
    // The sphere is built once, 24 circles far out.
    BuildDirectionSphere({0, 0, 0}, 1.0e15f);
    const Vector3 first = gViewer.sphere[0].points[0];
    BuildDirectionSphere({1, 1, 1}, 5);
    EXPECT_EQ(gViewer.sphere[0].points[0].z, first.z);
    EXPECT_NEAR(std::sqrt(first.x * first.x + first.y * first.y + first.z * first.z), 1.0e15, 1e9);
}

TEST_F(ViewerPanelTest, OrthoGridStepGrowsByTensToTenPixels)
{
    struct Case {
        float range, step;
    };
    // 1785.7 and 17.86 pixels stand; 0.1786 and 9.998 grow; a range of 0
    // counts as the smallest range, never as a division by 0.
    for (const Case& c : {Case{1, 100000.0f / 56}, Case{100, 100000.0f / 5600}, Case{10000, 100000.0f / 560000 * 100},
                          Case{178.6f, 100000.0f / (178.6f * 56) * 10}, Case{0, 100000.0f / (0.01f * 56)}})
        EXPECT_NEAR(OrthoGridStep(c.range), c.step, c.step * 1e-5) << c.range;
}

TEST_F(ViewerPanelTest, TheOrthoCursorSnapsToTheGridAndGoesToTheClipboardLine)
{
    gViewer.camera = ItemHandle(camera);
    gViewer.ortho = 1;
    gViewer.orthoMode = 2;               // width across, height up
    gViewer.range = 1;                   // 56 units a pixel; grid step 1785.7 px (100,000 units)
    gViewer.cursorDepth = 30;            // snaps to 0
    gWindows.current = nullptr;          // the panel at the screen's top left
    DrawOrthoGrid(100 + 1000, 50 - 100); // outside the panel: only the arithmetic
    EXPECT_FLOAT_EQ(gViewer.cursor.x, 100000.0f);
    EXPECT_FLOAT_EQ(gViewer.cursor.y, 0.0f);
    EXPECT_FLOAT_EQ(gViewer.cursor.z, 0.0f);
    EXPECT_GT(Count(54), 0); // the readout's text

    gViewer.cursor = {12.5f, -3, 0.004f};
    char line[200];
    FormatPlaceCommand(line, sizeof line);
    EXPECT_EQ(std::string(line), "PLACE x,1250,-300,0\r\n");
}

TEST_F(ViewerPanelTest, WireframeColoursComeFromMarksAndThePlayersDamageRamp)
{
    SceneItem* item = Item(0, 0, 1000);
    EXPECT_EQ(WireframeColour(item), 97);
    for (auto [mark, colour] : {std::pair{9, 133}, {10, 64}, {12, 160}}) {
        item->avatar->colour = static_cast<uint8_t>(mark);
        EXPECT_EQ(WireframeColour(item), colour);
    }
    gPlayerItem = item;
    for (auto [hull, colour] : {std::pair{100, 174}, {0, 55}, {50, 242}, {-20, 55}, {300, 174}, {34, 240}}) {
        item->sim->hull = hull;
        EXPECT_EQ(WireframeColour(item), colour) << hull;
    }
}

TEST_F(ViewerPanelTest, OnlyFacesTurnedToTheViewerDrawTheirVisibleEdges)
{
    SceneItem* item = Item(0, 0, 1000);
    DrawItemWireframe(item, Away("away"), -1, 0, camera, kWirePlain);
    EXPECT_EQ(Count(0), 200 * 100);
    DrawItemWireframe(item, Facing("facing"), -1, 40, camera, kWirePlain);
    const int all = Count(40);
    EXPECT_GT(all, 0);
    // Bounds kept for picking: about 33 pixels each way.
    const PanelBox& box = gViewer.boxes[item - SceneItemPool()];
    EXPECT_EQ(box.valid, 1);
    EXPECT_EQ(box.left, -32);
    EXPECT_EQ(box.right, 32);
    EXPECT_EQ(box.top, -32);
    EXPECT_EQ(box.bottom, 32);

    HxPixelmapFill(panel, 0);
    DrawItemWireframe(item, Facing("hidden", HX_FACEF_NO_EDGE_01 | HX_FACEF_NO_EDGE_12), -1, 40, camera, kWirePlain);
    EXPECT_GT(Count(40), 0);
    EXPECT_LT(Count(40), all);
    // The viewer itself and items without a model draw nothing.
    HxPixelmapFill(panel, 0);
    DrawItemWireframe(camera, Facing("self"), -1, 40, camera, kWirePlain);
    DrawItemWireframe(item, nullptr, -1, 40, camera, kWirePlain);
    EXPECT_EQ(Count(40), 0);
}

TEST_F(ViewerPanelTest, EdgesBehindOrTooCloseToTheCameraAreSkipped)
{
    for (double z : {-1000.0, 400.0}) {
        SceneItem* item = Item(0, 0, z);
        DrawItemWireframe(item, Facing("near"), -1, 40, camera, kWirePlain);
        DrawItemWireframe(item, Away("near2"), -1, 40, camera, kWirePlain);
        EXPECT_EQ(Count(40), 0) << z;
    }
}

TEST_F(ViewerPanelTest, DepthShadingDarkensTheFarFacesOfTheSceneView)
{
    // A slanted triangle: its single face sits at the mean of its depths.
    SceneItem* item = Item(0, 0, 1000);
    hx_model* slant = Triangle("slant", {{-100, -100, -300}, {100, -100, 300}, {0, 100, 0}});
    DrawItemWireframe(item, slant, -1, 0, camera, kWireDepthShaded);
    // Mean depth halfway: 97 - 8.
    EXPECT_GT(Count(89), 0);
    EXPECT_EQ(Count(97), 0);
    // No shade when every vertex has one depth.
    HxPixelmapFill(panel, 0);
    DrawItemWireframe(item, Facing("flat"), -1, 0, camera, kWireDepthShaded);
    EXPECT_GT(Count(97), 0);
}

TEST_F(ViewerPanelTest, TheWeaponsViewPicksTheMountsMeshPairAndShowsItsChargeAndRounds)
{
    SceneItem* ship = Item(0, 0, 1000);
    gPlayerItem = ship;
    gViewer.meshesLoaded = 1;
    gViewer.assembly = Triangle("assembly", {{-250, -100, 0}, {-150, -100, 0}, {-200, 0, 0}});
    // Each mesh of a pair is a triangle of its own place on the panel.
    for (int i = 0; i < kWeaponMeshes; ++i) {
        const float x = -150.0f + 40.0f * (i % 4);
        const float y = i < 4 ? 60.0f : -60.0f;
        hx_model* m = HxModelAllocate(("mesh" + std::to_string(i)).c_str(), 3, 2);
        m->vertices[0].p = {x, y, 0};
        m->vertices[1].p = {x + 20, y, 0};
        m->vertices[2].p = {x + 10, y + 60, 0};
        for (int f = 0; f < 2; ++f) {
            m->faces[f].vertices[0] = 0;
            m->faces[f].vertices[1] = 1;
            m->faces[f].vertices[2] = 2;
            m->faces[f].flags = f == 0 ? HX_FACEF_NO_EDGE_12 | HX_FACEF_NO_EDGE_20 : HX_FACEF_NO_EDGE_01;
        }
        gViewer.mounts[i] = m;
    }
    Weapon mount{};
    ship->sim->currentWeapon = &mount;

    struct Case {
        uint32_t flags;
        float side;
        int pair;
    };
    for (const Case& c : {Case{0, 5, 0}, Case{0, -5, 1}, Case{kWeaponLauncher, 5, 2}, Case{kWeaponLauncher, -5, 3}}) {
        mount.flags = c.flags;
        mount.mountPosition = {c.side, 0, 0};
        EXPECT_EQ(WeaponMeshPair(&mount), c.pair);
    }

    // A gun at half charge: the first face in 128, the second in 64; the
    // assembly in 97; no highlight.
    mount.flags = 0;
    mount.mountPosition = {5, 0, 0};
    mount.charge = 75;
    DrawWeaponsView(camera);
    EXPECT_GT(Count(97), 0);
    EXPECT_GT(Count(128), 0);
    EXPECT_GT(Count(64), 0);
    EXPECT_EQ(Count(133), 0);
    // Full: every face below the count, and the highlight mesh.
    HxPixelmapFill(panel, 0);
    mount.charge = 150;
    DrawWeaponsView(camera);
    EXPECT_EQ(Count(64), 0);
    EXPECT_GT(Count(133), 0);
    // An empty launcher says "OUT" in 64 (no charge faces are 64 at full).
    HxPixelmapFill(panel, 0);
    mount.flags = kWeaponLauncher;
    mount.rounds = 0;
    DrawWeaponsView(camera);
    const int out = Count(64);
    EXPECT_GT(out, 0);
    HxPixelmapFill(panel, 0);
    mount.rounds = 7;
    DrawWeaponsView(camera);
    EXPECT_EQ(Count(64), 0);

    // Without the meshes the view stays empty.
    HxPixelmapFill(panel, 0);
    gViewer.assembly = nullptr;
    DrawWeaponsView(camera);
    EXPECT_EQ(Count(0), 200 * 100);
}

TEST_F(ViewerPanelTest, TheFadeLoadsTheBriefingPaletteOnceAndKeepsThePaletteBefore)
{
    GamePalette before{};
    before.entries[30].red = 11;
    DisplaySetPalette(before.entries);
    GamePalette briefing{};
    briefing.entries[30].red = 99;
    Resource record{};
    record.data = &briefing;
    record.type = ResType::PcxPalette;
    ScriptSymbol* symbol = AddScriptSymbol("BRFPalette", nullptr, 0);
    symbol->value = &record;
    symbol->type = kSymbolResource;

    guiResetWindowPool();
    WindowHandle* window = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 200, 100, 0);
    gViewer.sceneOff = 1;
    StartViewerFade(3);
    for (int draw = 0; draw < 2; ++draw) {
        guiViewerPanelDraw(window);
        EXPECT_EQ(DisplayLastPalette()[30].red, 11);
    }
    guiViewerPanelDraw(window);
    EXPECT_EQ(gViewer.fadeCountdown, 0);
    EXPECT_EQ(DisplayLastPalette()[30].red, 99);
    EXPECT_EQ(gViewer.savedPalette.entries[30].red, 11);
    EXPECT_EQ(gViewer.fadePaletteLookups, 1);
    guiViewerPanelDraw(window);
    guiViewerPanelDraw(window);
    EXPECT_EQ(gViewer.fadePaletteLookups, 1);
    StartViewerFade(1);
    guiViewerPanelDraw(window);
    EXPECT_EQ(gViewer.fadePaletteLookups, 2);
    symbol->value = nullptr;
    guiResetWindowPool();
}

TEST_F(ViewerPanelTest, TheViewerCameraEasesBesideItsWatchedItemAndLooksAtItsTarget)
{
    SceneItem* player = Item(0, 0, 0);
    player->sim->radius = 100;
    gPlayerItem = player;
    SceneItem* viewer = CreateViewerCamera();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(EnsureViewerCamera(), viewer);
    EXPECT_FLOAT_EQ(gViewer.range, 100.0f);
    EXPECT_EQ(gViewer.secondMode, 180);
    viewer->sim->position = {0, 0, -1000};
    gFrameClock.frameTicks = 5;
    // Watching itself: 1.01 radii out along the kept direction (yaw 0).
    ViewerCameraControl(viewer);
    EXPECT_NEAR(viewer->sim->position.z, -1000 + (101 + 1000) * 0.1, 1e-6);
    EXPECT_EQ(gViewer.flyBy, 5);
    EXPECT_NEAR(viewer->sim->matrix.m[10], 1.0f, 1e-5); // looking along +z at the ship

    // Orthographic: a quarter of the way to the target each frame.
    SceneItem* other = Item(1000, 0, 0);
    SetViewerTarget(other);
    EXPECT_EQ(ItemFromHandle(gViewer.previous), player);
    gViewer.ortho = 1;
    const double z = viewer->sim->position.z;
    ViewerCameraControl(viewer);
    EXPECT_NEAR(viewer->sim->position.x, 250.0, 1e-6);
    EXPECT_NEAR(viewer->sim->position.z, z * 0.75, 1e-6);

    // The fly-by starts once, on the player's ship, and stops with the ortho view.
    gViewer.flyBy = 0;
    StartViewerFlyBy();
    EXPECT_EQ(gViewer.flyBy, 199);
    EXPECT_FLOAT_EQ(gViewer.range, 100.0f * 1010);
    EXPECT_EQ(ItemFromHandle(gViewer.target), player);
    gViewer.range = 1;
    StartViewerFlyBy();
    EXPECT_FLOAT_EQ(gViewer.range, 1.0f);
    StopViewerFlyBy();
    EXPECT_EQ(gViewer.flyBy, 0);
    EXPECT_EQ(gViewer.ortho, 0);
}
