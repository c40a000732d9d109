// Crops of the bridge panels on the 640 x 480 screen, by palette index: the
// ENG schematic of the demo corvette (its line shapes as lwobmake writes
// them) and the 3D viewer panel in its scene, orthographic and weapons
// modes, with the viewer camera held still before the demo ship. The panels
// sit in a layout of this test's own.
#include "tests/view/view_fixture.h"

#include "screens/bridge.h"
#include "screens/engineering.h"
#include "screens/vectormap.h"
#include "screens/viewerpanel.h"
#include "system/frameclock.h"
#include "tools/schematic_shapes.h"
#include "ui/hud.h"
#include "view/lwoloader.h"
#include "world/floatingorigin.h"
#include "world/shipsystems.h"

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

using viewtest::kWidth;

class PanelCrops : public viewtest::ViewTest {
protected:
    void WriteFixtures() override
    {
        for (const schematic::SystemShape& shape : schematic::Corvette()) {
            const std::vector<uint8_t> bytes = lwob::Write(schematic::Object(shape));
            scratch.Write(std::string("zqk/resource/shapes/") + shape.file, std::string(bytes.begin(), bytes.end()));
        }
        // The demo ship and its weapon meshes, from the demo data.
        const std::filesystem::path shapes = std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource/shapes";
        for (const char* name : {"CorvAsm.lwo", "CorvAsm_WEP.lwo", "WEP_RtPBC.lwo", "WEP_LfPBC.lwo", "WEP_RtMAG.lwo",
                                 "WEP_LfMAG.lwo", "WEP_RtPBCR.lwo", "WEP_LfPBCR.lwo", "WEP_RtMAGR.lwo", "WEP_LfMAGR.lwo"}) {
            std::ifstream in(shapes / name, std::ios::binary);
            scratch.Write(std::string("zqk/resource/shapes/") + name,
                          std::string(std::istreambuf_iterator<char>(in), {}));
        }
    }
    void SetUp() override
    {
        ViewTest::SetUp();
        SetLwoSmoothingCache(false);
        ResetVectorMap();
        ResetViewerPanel();
        gFrameClock.gameClock = 50; // the selected shape's unblinking half
        gLastHitAmount = 0;
    }
    void TearDown() override
    {
        for (WireShape* set : sets)
            FreeWireShape(set);
        ResetVectorMap();
        ResetViewerPanel();
        gEngPanel.selectedSystem = nullptr;
        gEngPanel.initialised = 0;
        gPlayerItem = nullptr;
        CurrentStation = 0;
        ViewTest::TearDown();
    }

    // The schematic as the SCHEMATIC statements make it: a shape a system,
    // in its layer, centred on its points, under the root.
    void BuildSchematic()
    {
        InitShipSystems();
        for (const schematic::SystemShape& def : schematic::Corvette()) {
            int32_t size = 0;
            WireShape* set = LWO2WRI((std::string("zqk\\resource\\shapes\\") + def.file).c_str(), nullptr, &size);
            ASSERT_NE(set, nullptr) << def.file;
            sets.push_back(set);
            VectorShape* shape = NewVectorShape(set, 0);
            ShipSystem* system = FindShipSystem(def.system);
            ASSERT_NE(system, nullptr) << def.system;
            shape->colour = 36;
            shape->system = system;
            shape->layerMask = def.layer;
            system->displayColour = &shape->colour;
            AppendVectorShape(&gVectorMap.root, shape);
            CentreVectorShape(shape);
        }
    }

    // Rows of the rectangle, one character a pixel by the legend ('?' for
    // any other index).
    std::vector<std::string> Crop(int left, int top, int right, int bottom, const std::map<uint32_t, char>& legend) const
    {
        std::vector<std::string> rows;
        for (int y = top; y <= bottom; ++y) {
            std::string row;
            for (int x = left; x <= right; ++x) {
                const auto found = legend.find(At(x, y));
                row += found == legend.end() ? '?' : found->second;
            }
            rows.push_back(row);
        }
        return rows;
    }
    static std::string Joined(const std::vector<std::string>& rows)
    {
        std::string text;
        for (const std::string& row : rows)
            text += row + "\n";
        return text;
    }

    // The demo ship at the origin, the player's, whole.
    SceneItem* DemoShip()
    {
        int32_t size = 0;
        hx_model* model = LWO2HXM("zqk\\resource\\shapes\\CorvAsm.lwo", nullptr, &size);
        EXPECT_NE(model, nullptr);
        SceneItem* ship = Show(model, 0, 0, 0, 1000);
        ship->sim->radius = 1000;
        ship->sim->hull = 100;
        gPlayerItem = ship;
        return ship;
    }
    // The viewer camera held at the place, looking at the ship; no frame
    // moves it.
    SceneItem* StillCamera(SceneItem* camera, float x, float y, float z)
    {
        if (!camera)
            camera = CreateViewerCamera();
        EXPECT_NE(camera, nullptr);
        camera->control = nullptr;
        Place(camera, x, y, z);
        MatLookDir({-x, -y, -z}, nullptr, camera->sim->matrix);
        Place(camera, x, y, z);
        return camera;
    }

    std::vector<WireShape*> sets;
    WindowHandle panel{};
};

} // namespace

TEST_F(PanelCrops, TheEngSchematicOfTheDemoCorvette)
{
    BuildSchematic();
    SelectReactorSystem();
    // The panel: 360 x 240 at (20, 20), 1.2 pixels a map unit at rest.
    panel.x = 20;
    panel.y = 20;
    panel.width = 360;
    panel.height = 240;
    RegisterViewWindow(&panel);
    // The energy gauge's box, cleared and drawn over each time.
    gView.viewport = {0, 0, kWidth - 1, viewtest::kHeight - 1};
    for (int y = 11; y <= 79; ++y)
        std::fill_n(&frame[size_t(y) * kWidth + 443], 94, 7);
    for (int draw = 0; draw < 80; ++draw)
        guiEngSchematicDraw(&panel);
    EXPECT_NEAR(gVectorMap.zoom, kEngSchematicZoom, 0.1);
    int stale = 0, gauge = 0;
    for (int y = 11; y <= 79; ++y)
        for (int x = 443; x <= 536; ++x) {
            stale += At(x, y) == 7;
            gauge += At(x, y) != 0;
        }
    EXPECT_EQ(stale, 0);
    EXPECT_GT(gauge, 0);

    // The reactor in its ring, in the middle of the hull, over the grid.
    const std::map<uint32_t, char> legend = {{0, '.'}, {24, ':'}, {36, '#'}};
    const std::string crop = Joined(Crop(140, 124, 200, 142, legend));
    EXPECT_EQ("\n" + crop, R"(
...#........:.......................:.....................#.:
...#........:.......................:.....................#.:
...#........#####################################.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
:::#::::::::#:::::::::::::::::::::::::::::::::::#:::::::::#::
...#........#.......................:...........#.........#.:
...#........#.......................:...........#.........#.:
)");

    // A click inside the reactor picks it (the smallest part there), not the
    // ring or the hull around it.
    gWindows.mouseX = 20 + 180 + static_cast<int>(-25 * 1.2f);
    gWindows.mouseY = 20 + 120;
    SelectSystemAtPoint(&panel);
    EXPECT_EQ(gEngPanel.selectedSystem, FindShipSystem("REACTOR"));
}

TEST_F(PanelCrops, TheViewerPanelInItsSceneOrthographicAndWeaponsModes)
{
    SceneItem* ship = DemoShip();
    // Behind and above the ship (the view's y runs down).
    SceneItem* camera = StillCamera(nullptr, 0, -4000, -12000);
    ASSERT_TRUE(ship && camera);
    panel.x = 40;
    panel.y = 260;
    panel.width = 280;
    panel.height = 200;
    RegisterViewWindow(&panel);
    // The sky blank, the sphere and grid, the whole hull's wireframe colour
    // 174 and its depth shades 158..173 as 'a'..'p', the weapons view's
    // colours; '?' the solid ship that the render passes draw.
    std::map<uint32_t, char> legend = {{0, '.'}, {176, ' '}, {54, ':'}, {58, '='}, {174, '#'}, {97, 'w'}, {64, 'c'}, {128, 'C'}, {133, 'H'}};
    for (uint32_t shade = 158; shade < 174; ++shade)
        legend[shade] = static_cast<char>('a' + (shade - 158));

    // The scene: the ship's wireframe in the whole-hull colour over the
    // direction sphere.
    guiViewerPanelDraw(&panel);
    const std::string scene = Joined(Crop(150, 350, 209, 379, legend));
    EXPECT_EQ("\n" + scene, R"(
                       ggggggggggggggf                      
                       h ?h???h???h? l                      
                       h ?h???h???h? l                      
                      h  h????h????h  l                     
                      h ?h????h????h? l                     
                      h ?h????h????h? l                     
                      h ?h????h????h? l                     
                      h ?h????h????h? l                     
                     h  ?h????h????h?  l                    
                     h ??h????h????h?? l                    
                     h ?h?????h?????h? l                    
                     h ?h?????h?????h? l                    
                    h  ?h?????h?????h?  l                   
                    h  ?h?????h?????h?  l                   
                    h ??h?????h?????h?? l                   
                    h ??h?????h?????h?? l                   
                    h ??h?????h?????h?? l                   
         ????????  h  ?h??????h??????h?  l  ????????        
        ?????????  h ??h??????h??????h?? l  ?????????       
 pmmmmmmmmmmmm???  h ??h??????h??????h?? l  ???mmmmmmmmmmmmn
 p      ?????m???  h ??h??????h??????h?? l  ???m?????      n
pn      ?????m????h  ??h??????h??????h??  l????m?????      n
pn     ??????m????h  ??h??????h??????h??  l????m??????     n
pn     ??????m????h ???h???nnnnnnn???h??? l????m??????     n
pn     ??????m????h ??h???n???h???n???h?? l????m??????     n
 n     ??????m????h ??h???n???h???n???h?? l????m??????     n
 n    ???????m???h  ??h??n????h????n??h??  l???m???????    n
 n    ???????m???h  ??h?n?????h?????n?h??  l???m???????    n
 n    ???????m???h ???h?n?????h?????n?h??? l???m???????    n
 n    ???????m???h ???hn??????h??????nh??? l???m???????    n
)");

    // Orthographic from above: the grid and the cursor readout.
    // From behind, level with the ship: 28 units a pixel.
    gViewer.ortho = 1;
    gViewer.orthoMode = 2;
    gViewer.range = 0.5f;
    Place(camera, 0, 0, -12000);
    MatIdentity3(camera->sim->matrix);
    camera->avatar->matrix = camera->sim->matrix;
    gWindows.mouseX = 40 + 140 + 20;
    gWindows.mouseY = 260 + 100;
    guiViewerPanelDraw(&panel);
    const std::string ortho = Joined(Crop(145, 343, 215, 372, legend));
    EXPECT_EQ("\n" + ortho, R"(
                         #####################                         
                         #  ###############  #                         
                         #  #      :      #  #                         
                         #  #      :      #  #                         
                         #  #      :      #  #                         
                         #  ###############  #                         
                         #         :         #                         
                         #        ###        #                         
                         #   #####?#?####    #                         
                         #### ?????#?????#####                         
###############        #########################        ###############
#             #       # ##????#???###???#??? ## #       #             #
# ###########?#?????? #  ?##??####?#?####??##?  # ??????#?########### #
# #     ????#?#??????#   ???##?????#?????##???   #??????#?#????     # #
# #     ????#?#?????#?  ???#?##????#????##?#???  ?#?????#?#????     # #
# #     ????#?#????#?? ????##??##??#??##??##???? ??#????#?#????     # #
# #     ????#?#????#?? ???#?#????#####????#?#??? ??#????#?#????     # #
#:#:::::::::#:#:::###################################:::#:#:::::::::#:#
# #     ????#?#????#?? ???#?#????#####????#?#??? ??#????#?#????     # #
# #     ????#?#????#??  ??#?#??##??#??##??#?#??  ??#????#?#????     # #
# #     ????#?#?????#?  ???#?##????#????##?#???  ?#?????#?#????     # #
# #     ????#?#??????#   ???##?????#?????##???   #??????#?#????     # #
# ###########?#?????  #   ##??####?#?####??##   #  ?????#?########### #
#             #       # ##  ??#???###???#??  ## #       #             #
###############        ##      #########      ##        ###############
                         ####      #     #####                         
                             ##### # ####                              
                                  ###                                  
                                   :                                   
                                   :                                   
)");

    // The weapons view: the assembly and the right gun at half charge.
    gViewer.ortho = 0;
    StillCamera(camera, 0, -800, -1600);
    CurrentStation = 3;
    gWeaponViewFlag = 1;
    Weapon mount{};
    mount.mountPosition = {300, 0, 500};
    mount.charge = 75;
    ship->sim->currentWeapon = &mount;
    guiViewerPanelDraw(&panel);
    const std::string weapons = Joined(Crop(205, 312, 250, 370, legend));
    EXPECT_EQ("\n" + weapons, R"(
..............................................
..............................................
..............................................
..............................................
..............................................
..............................................
..............................................
...............ccccc..........................
..............c.....c.........................
..............c.....c.........................
..............c.....c.........................
.............c.......c........................
.............Cc.....cc........................
.............Cc.....c.c.......................
..............Cccccc..c.......................
..............CC...c...c......................
..............C.C...c..c......................
..............C.C...c...c.....................
...............CC...c...c.....................
...............CC....c..c.....................
...............C.C...c...c....................
...............C.C....c..c....................
................CC....c...c...................
................CC....c...c...................
................C.C....c...c..................
................C.C....c...c..................
.................CC....c...c..................
.................CC.....c...c.................
.................C.C....c...c.................
.................C.C....c....c................
..................CC.....c...c................
..................CC.....c....c...............
..................C.C....c....c...............
..................C.C.....c....c..............
...................CC.....c....c..............
...................CC......c...c..............
...................C.C.....c....c.............
...................C.C.....c....c.............
....................CC......c....c............
....................CC......c....c............
....................C.C.....c.....c...........
....................C.C......c....c...........
.....................CC......c....c...........
.....................CC......c.....c..........
.....................C.C......c....c..........
.....................C.C......c.....c.........
......................CC......c.....c.........
......................CC.......c.....c........
......................C.C......c.....c........
.......................CC.......c...c.........
.......................CC.......c..c..........
........................C.......c..c..........
........................CC.......cc...........
.........................CCCCCCCCc............
..............................................
..............................................
..............................................
..............................................
..............................................
)");
    ship->sim->currentWeapon = nullptr;
    gWeaponViewFlag = 0;

    // Mouse steering turns the camera once a draw, however many items it
    // shows: 28 pixels right of the centre of a 280-pixel panel, 5 ticks.
    CurrentStation = 0;
    for (int i = 0; i < 3; ++i)
        Show(ship->avatar->root->model, 3000.0f * (i + 1), 0, 0, 1000);
    gViewer.mouseSteered = 1;
    gViewer.yaw = gViewer.pitch = 0;
    gFrameClock.frameTicks = 5;
    gWindows.mouseX = 40 + 140 + 28;
    gWindows.mouseY = 260 + 100;
    guiViewerPanelDraw(&panel);
    EXPECT_NEAR(gViewer.yaw, 28 * 0.35f / 280 * 5, 1e-6);
    EXPECT_EQ(gViewer.pitch, 0.0f);
}

TEST_F(PanelCrops, TheViewerPanelsOtherModesLeaveTheSceneAlone)
{
    panel.x = 40;
    panel.y = 260;
    panel.width = 280;
    panel.height = 200;
    RegisterViewWindow(&panel);
    auto count = [&](uint32_t index, int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                n += At(x, y) == index;
        return n;
    };
    // While the message log shows (in its own window of the layout) the
    // panel leaves the scene as it was; with the scene view off nothing is
    // drawn at all.
    std::fill(frame.begin(), frame.end(), 5);
    gViewer.showsMessageLog = 1;
    guiViewerPanelDraw(&panel);
    EXPECT_EQ(count(5, 0, 0, kWidth - 1, viewtest::kHeight - 1), kWidth * viewtest::kHeight);
    gViewer.showsMessageLog = 0;
    gViewer.sceneOff = 1;
    std::fill(frame.begin(), frame.end(), 5);
    guiViewerPanelDraw(&panel);
    EXPECT_EQ(count(5, 0, 0, kWidth - 1, viewtest::kHeight - 1), kWidth * viewtest::kHeight);
    // The fade clears the panel whatever it shows.
    StartViewerFade(2);
    guiViewerPanelDraw(&panel);
    EXPECT_EQ(count(0, 40, 260, 319, 459), 280 * 200);
    EXPECT_EQ(gViewer.fadeCountdown, 1);
}
