// The engineering panel over a small ship of eight systems in five priority
// groups: picking on the schematic (smallest part, layers, empty space),
// stepping through the ordered list and the groups, promotion, the repair
// teams, the layer buttons and the system lists.
#include "screens/engineering.h"

#include "screens/vectormap.h"
#include "ui/windows.h"
#include "view/lwoloader.h"
#include "world/pools.h"
#include "world/shipsystems.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

// A segment set over its own points and edges, grouped into parts.
struct Set {
    std::vector<float> points;
    std::vector<uint16_t> edges;
    WireShape shape{};

    explicit Set(std::vector<std::pair<float, float>> xy)
    {
        // Consecutive points in fours make closed outlines.
        for (auto [x, y] : xy)
            points.insert(points.end(), {x, y, 0.0f});
        for (std::size_t i = 0; i + 3 < xy.size(); i += 4)
            for (std::size_t k = 0; k < 4; ++k)
                edges.insert(edges.end(), {static_cast<uint16_t>(i + k), static_cast<uint16_t>(i + (k + 1) % 4)});
        shape.pointCount = static_cast<int32_t>(xy.size());
        shape.points = reinterpret_cast<float(*)[3]>(points.data());
        shape.edgeCount = static_cast<int32_t>(edges.size() / 2);
        shape.edges = reinterpret_cast<uint16_t(*)[2]>(edges.data());
        BuildSegmentParts(&shape);
    }
    ~Set() { FreeMemory(shape.parts); }
};

// The corners of a box.
std::vector<std::pair<float, float>> Box(float x1, float y1, float x2, float y2)
{
    return {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}};
}

class EngineeringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = std::make_unique<ShipSystemsModel>(gShipSystems);
        gShipSystems = ShipSystemsModel{};
        ResetVectorMap();
        guiResetWindowPool();
        // Groups in list order: 1 1 2 2 2 3 4 5.
        const int16_t group[kSystems] = {1, 1, 2, 2, 2, 3, 4, 5};
        for (int i = 0; i < kSystems; ++i) {
            systems_[i] = ShipSystem{};
            systems_[i].names[0] = kNames[i];
            systems_[i].repairClass = group[i];
            gShipSystems.order[i] = &systems_[i];
            if (i > 0)
                systems_[i - 1].next = &systems_[i];
        }
        gShipSystems.holderSim.systems = &systems_[0];
        gShipSystems.holderSim.systemCount = kSystems;
        for (int t = 0; t < kRepairTeams; ++t)
            gShipSystems.teams[t].index = static_cast<int16_t>(t);
        gEngPanel.selectedSystem = nullptr;
        gEngPanel.initialised = 0;
        gEngPanel.currentGroup = 1;
        std::copy(std::begin(kEngLayerBits), std::end(kEngLayerBits), gEngPanel.layerBits);
        EnsureSelectedSystem();
    }
    void TearDown() override
    {
        gShipSystems = *saved_;
        ResetVectorMap();
        guiResetWindowPool();
        gEngPanel.selectedSystem = nullptr;
        gEngPanel.initialised = 0;
        std::copy(std::begin(kEngLayerBits), std::end(kEngLayerBits), gEngPanel.layerBits);
    }

    // A shape of the set showing system i, in the layers of the mask.
    VectorShape* Show(int i, Set& set, int16_t mask = 1, float x = 0, float y = 0)
    {
        VectorShape* shape = NewVectorShape(&set.shape, 0);
        shape->system = &systems_[i];
        shape->layerMask = mask;
        shape->x = x;
        shape->y = y;
        AppendVectorShape(&gVectorMap.root, shape);
        return shape;
    }

    void SelectAt(int position) { gEngPanel.selectedSystem = &systems_[position]; }
    int Selected() const { return static_cast<int>(gEngPanel.selectedSystem - systems_); }

    static constexpr int kSystems = 8;
    static constexpr const char* kNames[kSystems] = {"A1", "B1", "C2", "D2", "E2", "F3", "G4", "H5"};
    ShipSystem systems_[kSystems];
    std::unique_ptr<ShipSystemsModel> saved_;
};

} // namespace

TEST_F(EngineeringTest, StartUpSelectsTheReactorAndTheFirstDrawFallsBackToTheShipsFirstSystem)
{
    SelectReactorSystem(); // this ship has none
    EXPECT_EQ(gEngPanel.selectedSystem, nullptr);
    EXPECT_EQ(gEngPanel.initialised, 0);
    EnsureSelectedSystem();
    EXPECT_EQ(Selected(), 0);
    EXPECT_EQ(gEngPanel.initialised, 1);
    EXPECT_EQ(gEngPanel.groupFirst[2], 2);
    EXPECT_EQ(gEngPanel.groupLast[2], 4);
    EXPECT_EQ(gEngPanel.groupFirst[5], 7);
    ResetEngPanel();
    EXPECT_EQ(gEngPanel.initialised, 0);
}

TEST_F(EngineeringTest, AClickPicksTheSmallestPartUnderTheMouse)
{
    // The hull (system 0) spans the ship; the reactor room (system 5) lies
    // inside it; system 6 is as small but in a layer that is hidden.
    Set hull(Box(-100, -50, 100, 50));
    Set room(Box(-10, -10, 10, 10));
    Show(0, hull);
    VectorShape* roomShape = Show(5, room, 1, 30, 0);
    Show(6, room, 32, 30, 0);
    gVectorMap.layerMask = 1 | 2;
    EXPECT_EQ(SystemAtMapPoint(35, 5), &systems_[5]);
    EXPECT_EQ(SystemAtMapPoint(-60, 0), &systems_[0]);
    EXPECT_EQ(SystemAtMapPoint(300, 0), nullptr);

    // A 200-pixel panel at (100, 100) with the view at (0, 0), 400 units
    // across: 2 units a pixel.
    WindowHandle* panel =
        guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 100, 100, 200, 100, 0);
    ASSERT_NE(panel, nullptr);
    gVectorMap.zoom = 400;
    gWindows.mouseX = 200 + 18; // map (36, 4)
    gWindows.mouseY = 150 + 2;
    SelectSystemAtPoint(panel);
    EXPECT_EQ(Selected(), 5);
    EXPECT_EQ(gVectorMap.selected, roomShape);
    EXPECT_EQ(gVectorMap.focusPending, 1);
    EXPECT_FLOAT_EQ(gVectorMap.focusX, 36.0f);
    EXPECT_FLOAT_EQ(gVectorMap.focusY, 4.0f);
    EXPECT_FLOAT_EQ(gVectorMap.focusZoom, 40.0f);

    // Empty space: back to the whole ship at the schematic's zoom.
    gVectorMap.focusPending = 0;
    gVectorMap.targetX = 36;
    gWindows.mouseX = 100 + 2;
    gWindows.mouseY = 100 + 2; // map (-196, -96)
    SelectSystemAtPoint(panel);
    EXPECT_EQ(Selected(), 5);
    EXPECT_FLOAT_EQ(gVectorMap.targetX, 0.0f);
    EXPECT_FLOAT_EQ(gVectorMap.targetY, 0.0f);
    EXPECT_FLOAT_EQ(gVectorMap.targetZoom, kEngSchematicZoom);
    EXPECT_EQ(gVectorMap.focusPending, 0);
}

TEST_F(EngineeringTest, SteppingThroughTheOrderedList)
{
    Set set(Box(0, 0, 10, 10));
    VectorShape* last = Show(7, set);
    SelectAt(6);
    NextSystem();
    EXPECT_EQ(Selected(), 7);
    EXPECT_EQ(gVectorMap.selected, last);
    EXPECT_EQ(gVectorMap.focusPending, 1);
    // Past the last system: the first of the ship's list.
    NextSystem();
    EXPECT_EQ(Selected(), 0);
    PrevSystem();
    EXPECT_EQ(Selected(), 7);
    PrevSystem();
    EXPECT_EQ(Selected(), 6);
}

TEST_F(EngineeringTest, SteppingInsideAGroupAndAcrossGroupsWraps)
{
    struct Case {
        void (*step)();
        int from, to;
    };
    const Case cases[] = {
        {NextSystemInGroup, 2, 3}, {NextSystemInGroup, 4, 2}, {PrevSystemInGroup, 2, 4}, {NextSystemInGroup, 5, 5}, // a group of one
        {NextGroupSystem, 1, 3},                                                                                    // second of group 1 -> second of group 2
        {NextGroupSystem, 4, 5},                                                                                    // third of group 2 -> held at group 3's only
        {NextGroupSystem, 7, 0},                                                                                    // group 5 wraps to 1
        {PrevGroupSystem, 0, 7},                                                                                    // group 1 wraps to 5
        {PrevGroupSystem, 4, 1},                                                                                    // third of group 2 -> held at group 1's last
    };
    for (const Case& c : cases) {
        SelectAt(c.from);
        c.step();
        EXPECT_EQ(Selected(), c.to) << "from " << c.from;
    }
}

TEST_F(EngineeringTest, PromoteSwapsGroupsTableEntriesAndLayerBitsButNotInGroupOne)
{
    gEngPanel.currentGroup = 1;
    RaisePriorityGroup();
    EXPECT_EQ(systems_[0].repairClass, 1);
    EXPECT_EQ(gEngPanel.currentGroup, 1);
    EXPECT_EQ(gEngPanel.layerBits[0], 1);

    gEngPanel.currentGroup = 3;
    RaisePriorityGroup();
    EXPECT_EQ(gEngPanel.currentGroup, 2);
    EXPECT_EQ(systems_[5].repairClass, 2);
    for (int i : {2, 3, 4})
        EXPECT_EQ(systems_[i].repairClass, 3);
    EXPECT_EQ(systems_[0].repairClass, 1);
    EXPECT_EQ(gEngPanel.groupFirst[2], 5);
    EXPECT_EQ(gEngPanel.groupLast[2], 5);
    EXPECT_EQ(gEngPanel.groupFirst[3], 2);
    EXPECT_EQ(gEngPanel.groupLast[3], 4);
    EXPECT_EQ(gEngPanel.layerBits[1], 4);
    EXPECT_EQ(gEngPanel.layerBits[2], 2);
    // Stepping now follows the new groups.
    SelectAt(5);
    NextGroupSystem();
    EXPECT_EQ(Selected(), 2);
}

TEST_F(EngineeringTest, AssigningASystemToATeamLinksBothWaysAndFreesTheOldOne)
{
    AssignSystemToTeam(2, &systems_[3]);
    RepairTeam& team = gShipSystems.teams[2];
    EXPECT_EQ(team.system, &systems_[3]);
    EXPECT_EQ(systems_[3].repairTeam, &team);
    EXPECT_EQ(gShipSystems.teamFixed[2], 255);
    AssignSystemToTeam(2, &systems_[6]);
    EXPECT_EQ(systems_[3].repairTeam, nullptr);
    EXPECT_EQ(systems_[6].repairTeam, &team);
    AssignSystemToTeam(4, &systems_[1]); // no such team
    AssignSystemToTeam(-1, &systems_[1]);
    EXPECT_EQ(systems_[1].repairTeam, nullptr);
}

TEST_F(EngineeringTest, LayerButtonsToggleTheirBitOfTheMapsMask)
{
    WindowHandle* button = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 20, 20, 0);
    ASSERT_NE(button, nullptr);
    button->value = 3;
    gVectorMap.layerMask = 63;
    ToggleEngLayer(button);
    EXPECT_EQ(gVectorMap.layerMask, 63 & ~8);
    EXPECT_EQ(gEngPanel.layerMask, gVectorMap.layerMask);
    EXPECT_EQ(button->check, 0);
    ToggleEngLayer(button);
    EXPECT_EQ(gVectorMap.layerMask, 63);
    EXPECT_EQ(button->check, 255);
}

TEST_F(EngineeringTest, APressOnASystemListPicksTheRowUnderTheMouse)
{
    Set set(Box(0, 0, 10, 10));
    VectorShape* shape = Show(4, set);
    WindowHandle* list = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 10, 100, 80, 60, 0);
    ASSERT_NE(list, nullptr);
    list->value = 2;
    gWindows.mouseX = 20;
    gWindows.mouseY = 100 + 12 + 2 * 11 + 3; // the third row: system 4
    PickSystemFromList(list);
    EXPECT_EQ(Selected(), 4);
    EXPECT_EQ(gEngPanel.currentGroup, 2);
    EXPECT_EQ(gVectorMap.selected, shape);
    EXPECT_EQ(gVectorMap.focusPending, 1);
    // The name in a pop-up at the mouse.
    WindowHandle* label = gWindows.lastCreated;
    ASSERT_NE(label, nullptr);
    EXPECT_STREQ(label->text, "E2");
    EXPECT_EQ(label->x, 20 - 4);
    EXPECT_EQ(label->y, 100 + 12 + 2 * 11 + 3 - 4);
    EXPECT_EQ(label->height, 12);
    gWindows.mouseY = 100 + 12 + 3 * 11 + 3; // no fourth row
    SelectAt(0);
    PickSystemFromList(list);
    EXPECT_EQ(Selected(), 0);
}
