// Star-system building and travel: the body list, the bodies' scene items,
// moving between systems, purging other systems, the planet model pool.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "../script/script_test_support.h"
#include "system/calltrace.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "tests/ui/ui_canvas.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/universe_fixture.h"
#include "tests/support/world_fixture.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/starmap.h"
#include "world/universe.h"

using namespace worldtest;

namespace {

const char* kSystems =
    "id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n"
    "0,Sol|Home,0,S,3,0,2e30,7e5,0,0,0,0,0\n"
    "1,Earth,0,P,1,0,6e24,6400,1.5e8,365,0,0,0\n"
    "2,L4,1,L4,0,0,0,0,0,0,0,0,0\n"
    "3,Belt,0,B,0,0,0,0,4e8,1600,0,0,0\n"
    "100,Tarsis,100,S,0,0,0,0,0,0,0,0,0\n"
    "101,Ferro,100,P,0,0,0,0,1e8,0,40,0,0\n"
    "102,L4,101,L4,0,0,0,0,0,0,0,0,0\n"
    "103,Moonlet,101,M,0,0,0,0,0,0,0,0,0\n";

class StarSystemTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        LoadTestUniverse(kSystems, {{"Sol", 1, 0, {0, 0, 0}},
                                    {"Tarsis", 2, 0, {5e16f, 0, 0}},
                                    {"Empty", 9, 0, {0, 0, 0}}});
        player = MakeItem();
        gPlayerItem = gControlledItem = player;
    }
    void TearDown() override
    {
        ResetUniverse();
        EnableCallTrace(false);
        WorldTest::TearDown();
    }
    int CountInScene(int group)
    {
        int n = 0;
        for (SceneItem* s = gSceneList.next; s != &gSceneList; s = s->next)
            n += s->sceneGeneration == group;
        return n;
    }
    SceneItem* player = nullptr;
};

} // namespace

TEST_F(StarSystemTest, TheBodyListHoldsTheSystemsBodiesWithTheirOutlines)
{
    OrbitOutline outlines[kBodiesPerSystem];
    ASSERT_EQ(BuildSystemBodyList(2, outlines), 4);
    EXPECT_EQ(gSystemBodyList[1].body, &gBodies[5]);
    EXPECT_EQ(gBodies[5].position, &gSystemBodyList[1].position);
    EXPECT_EQ(gBodies[1].position, nullptr);
    // The body's place is its orbit at time 0, scaled by 10.
    const WorldPosition expected = BodyOrbitalPosition(&gBodies[5], 0, 10);
    EXPECT_DOUBLE_EQ(gSystemBodyList[1].position.x, expected.x);
    EXPECT_DOUBLE_EQ(gSystemBodyList[1].position.z, expected.z);
    EXPECT_FLOAT_EQ(outlines[1].points[0].x, static_cast<float>(expected.x));
    const WorldPosition half = BodyOrbitalPosition(&gBodies[5], gBodies[5].period / 2, 10);
    EXPECT_FLOAT_EQ(outlines[1].points[16].z, static_cast<float>(half.z));
    EXPECT_EQ(outlines[1].entry, &gSystemBodyList[1]);
    EXPECT_EQ(outlines[1].marker[0], 'x');
    EXPECT_EQ(outlines[1].notLagrange, 255);
    EXPECT_EQ(outlines[2].notLagrange, 0);
    // Listing another system lets go of the first one's positions.
    BuildSystemBodyList(1, nullptr);
    EXPECT_EQ(gBodies[5].position, nullptr);
    EXPECT_NE(gBodies[1].position, nullptr);
}

TEST_F(StarSystemTest, MovingBuildsTheDestinationAndPlacesThePlayerAtTheArrivalPoint)
{
    ASSERT_EQ(MoveToSystem("Tarsis", "L4"), 255);
    EXPECT_EQ(gCurrentSystemNumber, 2);
    EXPECT_EQ(gCurrentStar, &gStars[1]);
    EXPECT_EQ(gWorldChanged, 255);
    EXPECT_EQ(player->sceneGeneration, 2);
    for (int i = 4; i < 8; ++i) {
        SCOPED_TRACE(gBodies[i].name);
        ASSERT_NE(gBodies[i].sceneItem, nullptr);
        EXPECT_EQ(gBodies[i].sceneItem->sceneGeneration, 2);
        EXPECT_TRUE(IsInSceneList(gBodies[i].sceneItem));
    }
    SceneItem* l4 = gBodies[6].sceneItem;
    EXPECT_TRUE(l4->flags & kItemParkedWithSystem);
    EXPECT_FLOAT_EQ(l4->sim->radius, 600000);
    // The arrival point sits at the origin and the player with it, turned as it is.
    EXPECT_DOUBLE_EQ(l4->sim->position.x, 0);
    EXPECT_DOUBLE_EQ(player->sim->position.x, 0);
    EXPECT_FLOAT_EQ(player->sim->matrix.m[8], l4->sim->matrix.m[8]);
    EXPECT_FLOAT_EQ(player->sim->matrix.m[10], l4->sim->matrix.m[10]);
    // The star is the sun: ten times larger than a planet's scale gives.
    SceneItem* sun = gBodies[4].sceneItem;
    EXPECT_EQ(sun->avatar->colour, 8);
    EXPECT_GT(sun->sim->radius, 0);
    // It is drawn as its glow: the star dummy (made where the framework
    // runs) on its model part, in the sun's colour, in the scene on the
    // planet layer; no sphere for it.
    const TDP* root = sun->avatar->root;
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->flags & kTdpInScene);
    EXPECT_EQ(root->materialName, nullptr);
    const TDP* glow = root->firstChild;
    ASSERT_NE(glow, nullptr);
    EXPECT_TRUE(glow->flags & kTdpInScene);
    EXPECT_TRUE(glow->flags & kTdpPlanetLayer);
    EXPECT_EQ(glow->colour[0], 8);
    // A planet keeps its texture for the sphere its detail brings, and the
    // part showing it has the body's radius to measure its seen size by.
    const TDP* ferroRoot = gBodies[5].sceneItem->avatar->root;
    EXPECT_TRUE(ferroRoot->flags & kTdpInScene);
    EXPECT_NE(ferroRoot->materialName, nullptr);
    ASSERT_NE(ferroRoot->firstChild, nullptr);
    EXPECT_GT(ferroRoot->radius, 0.0f);
    EXPECT_FLOAT_EQ(ferroRoot->radius, ferroRoot->firstChild->radius);
    // Other bodies are where their orbit puts them, relative to the arrival.
    const WorldPosition& ferro = *gBodies[5].position;
    const WorldPosition& arrival = *gBodies[6].position;
    EXPECT_DOUBLE_EQ(gBodies[5].sceneItem->sim->position.x, (ferro.x - arrival.x) * 10);
    EXPECT_EQ(gStarMap.selectedStar, &gStars[1]);
}

TEST_F(StarSystemTest, AnUnknownStarIsFatalAndAnUnknownArrivalStopsQuietly)
{
    EXPECT_EQ(MoveToSystem("Nowhere", "L4"), 0);
    ASSERT_FALSE(FatalStops().empty());
    EXPECT_EQ(FatalStops().back(), "MoveToSystem could not identify target star");
    ClearFatalStops();
    EXPECT_EQ(MoveToSystem("Tarsis", "Nothing"), 255);
    EXPECT_EQ(gCurrentSystemNumber, 0);
    EXPECT_EQ(MoveToSystem("Empty", "L4"), 255); // a system without bodies
    EXPECT_EQ(gCurrentSystemNumber, 0);
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(StarSystemTest, PurgingDeletesOtherSystemsAndKeepsThePlayerAndKeptItems)
{
    ASSERT_EQ(MoveToSystem("1", "Earth"), 255);
    SceneItem* oldL4 = gBodies[2].sceneItem;
    ASSERT_NE(oldL4, nullptr);
    SceneItem* kept = MakeItem(nullptr, nullptr, nullptr, kItemKeptAcrossSystems);
    SceneItem* ship = MakeItem();
    const int systemOneItems = CountInScene(1);
    EXPECT_GE(systemOneItems, 4);

    gWorldOriginOffset = {5, 6, 7};
    ASSERT_EQ(MoveToSystem("2", "L4"), 255);
    PurgeOtherSystems(2, {0, 0, 0});
    EXPECT_EQ(CountInScene(1), 1); // the kept item alone
    EXPECT_TRUE(IsInSceneList(player));
    EXPECT_TRUE(IsInSceneList(kept));
    EXPECT_FALSE(ship->flags & kItemInUse);
    EXPECT_EQ(oldL4->linked, kInParkedList);  // parked, not deleted
    EXPECT_EQ(gBodies[1].sceneItem, nullptr); // deleted bodies are forgotten
    EXPECT_EQ(gWorldOriginOffset.x, 0);

    // Back in system 1 the L point comes back from the parked list, shifted.
    ASSERT_EQ(MoveToSystem("Sol", "Earth"), 255);
    PurgeOtherSystems(1, {100, 0, 0});
    EXPECT_TRUE(IsInSceneList(oldL4));
    EXPECT_EQ(gBodies[2].sceneItem, oldL4); // not made a second time
    EXPECT_EQ(CountInScene(2), 0);
}

TEST_F(StarSystemTest, TheMapInTransitOnlyFollowsTheStar)
{
    gStarMap.mode = 'T';
    ASSERT_EQ(MoveToSystem("Tarsis", "L4"), 255);
    EXPECT_EQ(gCurrentStar, &gStars[1]);
    EXPECT_EQ(gCurrentSystemNumber, 0);
    EXPECT_EQ(gStarMap.redraw, 255);
    // Mode S focuses on the star and flies back out.
    gStarMap.mode = 'S';
    ASSERT_EQ(MoveToSystem("Sol", "Earth"), 255);
    EXPECT_EQ(gStarMap.mode, 'I');
    EXPECT_EQ(gCurrentSystemNumber, 1);
}

TEST_F(StarSystemTest, MissionMarksGoOnStarsAndOnBodiesOfTheStarsSystem)
{
    MissionifyStar("Tarsis");
    EXPECT_TRUE(gStars[1].flags & kStarMission);
    MissionifyPlanet("Ferro", "Tarsis");
    EXPECT_TRUE(gBodies[5].classFlags & kBodyMission);
    MissionifyPlanet("Earth", "Tarsis"); // Earth lies in another system
    EXPECT_FALSE(gBodies[1].classFlags & kBodyMission);
    MissionifyStar("Nowhere");
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(StarSystemTest, ThePlanetModelPoolLendsItsThreeSlotsByPriority)
{
    EnableCallTrace(true);
    InitPlanetModelPool();
    TDP planets[4]{};
    ClearCallTrace();
    AcquirePlanetModel(&planets[0], 10, "earth");
    AcquirePlanetModel(&planets[1], 20, "mars");
    AcquirePlanetModel(&planets[2], 30, "earth");
    EXPECT_STREQ(gPlanetModelSlots[0].textureName, "earth");
    EXPECT_STREQ(gPlanetModelSlots[1].textureName, "mars");
    EXPECT_STREQ(gPlanetModelSlots[2].textureName, "earth");
    for (TDP& planet : planets)
        planet.model = reinterpret_cast<hx_model*>(&planet); // shown until dropped
    // A fourth planet that matters less gets nothing...
    AcquirePlanetModel(&planets[3], 5, "venus");
    EXPECT_STREQ(gPlanetModelSlots[0].textureName, "earth");
    // ...one that matters more takes the least one's slot, which falls back.
    AcquirePlanetModel(&planets[3], 15, "venus");
    EXPECT_EQ(planets[0].model, nullptr);
    EXPECT_NE(planets[1].model, nullptr);
    EXPECT_EQ(gPlanetModelSlots[0].user, &planets[3]);
    EXPECT_STREQ(gPlanetModelSlots[0].textureName, "venus");
    // A planet that has a slot keeps it.
    AcquirePlanetModel(&planets[1], 1, "mars");
    EXPECT_EQ(gPlanetModelSlots[1].priority, 1);
    SetPlanetModelPriority(&planets[1], 50);
    EXPECT_EQ(gPlanetModelSlots[1].priority, 50);
    SetPlanetModelFlag(&planets[1], 1); // no materials without the view: nothing to change
}

TEST_F(StarSystemTest, TheOutlinesExportAsA3dsAsciiFile)
{
    ScratchFolder folder("export", true);
    gSystemExportFolder = "out";
    std::filesystem::create_directories(folder / "out");
    gExportSystemOutlines = 255;
    OrbitOutline outlines[kBodiesPerSystem];
    BuildSystemBodyList(2, outlines);
    EXPECT_EQ(gExportSystemOutlines, 0);
    std::ifstream in(folder / "out" / "Tarsis.asc");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    gSystemExportFolder = "R:\\Objects\\SolarSystems";
    EXPECT_EQ(text.rfind("Named object: \"Box\"  \nTri-mesh, Vertices: 128    Faces: 120\t\nVertex list:\n", 0), 0u);
    EXPECT_NE(text.find("Face 0: A:0 B:1 C:2 AB:1 BC:1 CA:0\n"), std::string::npos);
    EXPECT_NE(text.find("Face 29: A:0 B:30 C:31 AB:0 BC:1 CA:1\n"), std::string::npos);
    EXPECT_NE(text.find("Face 30: A:32 B:33 C:34 AB:1 BC:1 CA:0\n"), std::string::npos);
    EXPECT_NE(text.find("Vertex 0: X: "), std::string::npos);
}

TEST(DemoUniverse, HoldsTheSystemsTheMissionsAndTheGatesTravelTo)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
    ResetUniverse();
    CreateUniverse();
    std::filesystem::current_path(previous);
    ASSERT_EQ(gUniverseCreated, 255);
    EXPECT_EQ(gStarsLoaded, kStarCount);
    for (const char* system : {"1", "2", "21", "26"}) {
        SCOPED_TRACE(system);
        Star* star = FindStar(system, gNamedStarCount);
        ASSERT_NE(star, nullptr);
        EXPECT_STRNE(LookUpStarName(star->system), "");
        const char* arrival = std::strcmp(system, "21") == 0 ? "WeakL4" : "L4";
        SystemBody* l4 = FindBody(star->system, arrival);
        ASSERT_NE(l4, nullptr);
        EXPECT_TRUE(l4->classFlags & kBodyL4);
        EXPECT_TRUE(l4->parent && (l4->parent->classFlags & kBodyStar));
        EXPECT_GT(l4->orbitRadius, 0);
    }
    // Every body has its values: masses, radii and orbits are made up.
    for (int i = 0; i < gBodyCount; ++i) {
        EXPECT_GE(gBodies[i].mass, 1) << gBodies[i].name;
        if (gBodies[i].parent && !(gBodies[i].classFlags & kBodyBelt)) {
            EXPECT_GE(gBodies[i].period, 1) << gBodies[i].name;
        }
    }
    ResetUniverse();
}

TEST_F(StarSystemTest, ThePanelBindsItsButtonsAndTheMap)
{
    // The panel's script made a few of its windows; the rest are missing.
    BeginScriptTest();
    guiResetWindowPool();
    std::vector<WindowHandle*> windows;
    for (const char* name : {"BtNavSolar", "BtNavPlanetPlanet", "SolarMap"}) {
        WindowHandle* w = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 10, 10, 0);
        ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
        ASSERT_NE(symbol, nullptr);
        symbol->type = kSymbolWindow;
        symbol->value = w;
        windows.push_back(w);
    }
    CreateSolarMapWindow();
    EXPECT_NE(windows[0]->clickHandler, nullptr);
    EXPECT_NE(windows[1]->clickHandler, nullptr);
    EXPECT_NE(windows[0]->clickHandler, windows[1]->clickHandler);
    EXPECT_NE(windows[2]->clickHandler, nullptr);
    EXPECT_NE(windows[2]->draw, nullptr);
    EXPECT_EQ(windows[0]->draw, nullptr);
    guiResetWindowPool();
    EndScriptTest();
}

TEST_F(StarSystemTest, TheMapDrawsOnlyWhileOpenAndInsideItsWindow)
{
    BeginScriptTest();
    guiResetWindowPool();
    MemoryScreen screen;
    screen.Clear(5);
    WindowHandle* map = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 50, 40, 200, 100, 0);
    ScriptSymbol* symbol = FindScriptSymbol("SolarMap");
    if (!symbol)
        symbol = AddScriptSymbol("SolarMap", nullptr, 0);
    symbol->type = kSymbolWindow;
    symbol->value = map;
    CreateSolarMapWindow();
    ASSERT_NE(map->draw, nullptr);
    map->draw(map);
    EXPECT_EQ(screen.At(60, 50), 5) << "closed: nothing drawn";
    gStarMapOpen = 255;
    map->draw(map);
    EXPECT_EQ(screen.At(60, 50), 0); // the map's own clear, inside the window
    EXPECT_EQ(screen.At(49, 50), 5);
    EXPECT_EQ(screen.At(60, 141), 5);
    EXPECT_NE(map->redrawCount, 0) << "open, it draws again next frame";
    gStarMapOpen = 0;
    symbol->value = nullptr;
    guiResetWindowPool();
    EndScriptTest();
}

TEST_F(StarSystemTest, MovingToTheCurrentStarLeavesTheMapButBuildsAgain)
{
    ASSERT_EQ(MoveToSystem("Tarsis", "Ferro"), 255);
    SceneItem* firstFerro = gBodies[5].sceneItem;
    gStarMap.moveTime = 0;
    const Vector3 camera = gStarMap.camera;
    ASSERT_EQ(MoveToSystem("Tarsis", "L4"), 255);
    EXPECT_EQ(gStarMap.moveTime, 0); // the galaxy view was not refocused
    EXPECT_FLOAT_EQ(gStarMap.camera.x, camera.x);
    EXPECT_NE(gBodies[5].sceneItem, firstFerro);  // the bodies were made again
    EXPECT_DOUBLE_EQ(player->sim->position.x, 0); // placed at the arrival point
}
