// The vector-map shape statements: the shapes 2DOBJ makes, the tree
// LINK_OBJ builds, PLACE and RELOC_OBJ on positions and points, VIEW_OBJ's
// focus, and the ship-system shapes of SCHEMATIC.
#include "interp_fixture.h"

#include "screens/vectormap.h"
#include "system/errors.h"
#include "system/res/resman.h"
#include "tools/lwob_writer.h"
#include "view/lwoloader.h"
#include "world/shipsystems.h"

#include <string>
#include <vector>

namespace {

class ShapeStatementTest : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        // A right triangle whose flat points are (3, 0), (0, 3), (0, 0):
        // its mean is (1, 1).
        lwob::Object triangle;
        const int16_t surface = triangle.AddSurface({"Hull", {}});
        triangle.polygons.push_back(
            {{triangle.Point(0, 0, -3), triangle.Point(3, 0, 0), triangle.Point(0, 0, 0)}, surface});
        const std::vector<uint8_t> bytes = lwob::Write(triangle);
        WriteFile("zqk/resource/shapes/wire.lwo", std::string(bytes.begin(), bytes.end()));
        ResMark();
    }
    void TearDown() override
    {
        ResReleaseToMark();
        InterpTest::TearDown();
    }

    static VectorShape* Shape(const char* name) { return AsVectorShape(FindScriptSymbol(name)->value); }

    // The script lines that register the wireframe as a 2D model.
    static constexpr const char* kWire = "REGISTER wire \"zqk\\resource\\shapes\\wire.lwo\" LWO2WRI\n";
};

} // namespace

TEST_F(ShapeStatementTest, TwoDObjectsLinkInStatementOrder)
{
    Run(std::string(kWire) + "2DOBJ A wire -1\n2DOBJ B wire 40\n2DOBJ C wire 7\n"
                             "LINK_OBJ A\nLINK_OBJ B A\nLINK_OBJ C A\nLINK_OBJ D N\n");
    VectorShape* a = Shape("A");
    VectorShape* b = Shape("B");
    VectorShape* c = Shape("C");
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->flags, 14u);
    EXPECT_EQ(a->colour, -1);
    EXPECT_EQ(b->flags, 22u);
    EXPECT_EQ(b->colour, 40);
    EXPECT_EQ(a->layerMask, 0);
    ASSERT_NE(a->segments, nullptr);
    EXPECT_EQ(a->segments->pointCount, 3);
    // A under the root, B then C under A; D is no shape and links nothing.
    EXPECT_EQ(gVectorMap.root.firstChild, a);
    EXPECT_EQ(a->nextSibling, nullptr);
    EXPECT_EQ(a->firstChild, b);
    EXPECT_EQ(b->nextSibling, c);
    EXPECT_EQ(c->nextSibling, nullptr);
}

// A 2D model declared as one (2DMODEL) and then registered gives its
// wireframe, as a plain resource symbol does.
TEST_F(ShapeStatementTest, ADeclaredTwoDModelGivesItsWireframe)
{
    Run("2DMODEL wire\n" + std::string(kWire) + "2DOBJ A wire 5\nDEFINE data 1\n2DOBJ B data 5\n");
    ASSERT_NE(Shape("A"), nullptr);
    ASSERT_NE(Shape("A")->segments, nullptr);
    EXPECT_EQ(Shape("A")->segments->pointCount, 3);
    EXPECT_EQ(Shape("B")->segments, nullptr);
}

TEST_F(ShapeStatementTest, ParentWithoutAShapeLinksToTheRoot)
{
    Run(std::string(kWire) + "2DOBJ A wire 5\n2DOBJ B wire 5\nLINK_OBJ A\nLINK_OBJ B Nothing\n");
    EXPECT_EQ(gVectorMap.root.firstChild, Shape("A"));
    EXPECT_EQ(Shape("A")->nextSibling, Shape("B"));
}

TEST_F(ShapeStatementTest, PlaceRelocAndViewMoveTheShape)
{
    Run(std::string(kWire) + "2DOBJ A wire 5\n2DOBJ B wire 5\nPLACE A 10 20\nRELOC_OBJ A\n");
    VectorShape* a = Shape("A");
    VectorShape* b = Shape("B");
    EXPECT_FLOAT_EQ(a->x, 11.0f);
    EXPECT_FLOAT_EQ(a->y, -19.0f);
    // B shares the set: its points moved with A's.
    EXPECT_FLOAT_EQ(b->segments->points[0][0], 2.0f);
    EXPECT_FLOAT_EQ(b->segments->points[0][1], -1.0f);

    Run("RELOC_OBJ A\nVIEW_OBJ A 1 2\nVIEW_OBJ Nothing 5 5\nRELOC_OBJ Nothing\n");
    EXPECT_FLOAT_EQ(a->x, 11.0f);
    EXPECT_FLOAT_EQ(a->y, -19.0f);
    EXPECT_EQ(gVectorMap.focusPending, 1);
    EXPECT_FLOAT_EQ(gVectorMap.focusX, 12.0f);
    EXPECT_FLOAT_EQ(gVectorMap.focusY, -17.0f);
    // Twice the triangle's one part, 3 units wide and high.
    EXPECT_FLOAT_EQ(gVectorMap.focusZoom, 6.0f);
}

TEST_F(ShapeStatementTest, SchematicShowsAShipSystemUnderTheRoot)
{
    InitShipSystems();
    std::vector<std::string> boxes;
    static std::vector<std::string>* sink = &boxes;
    SetMessageBoxHook([](const char* text, const char*) { sink->emplace_back(text); });
    Run("SCHEMATIC 36 \"zqk\\resource\\shapes\\wire.lwo\" \"REACTOR\" 16\n"
        "SCHEMATIC 36 \"zqk\\resource\\shapes\\wire.lwo\" \"NO SUCH SYSTEM\" 64\n"
        "SCHEMATIC 36 \"zqk\\resource\\shapes\\none.lwo\" \"RING\"\n");
    ShipSystem* reactor = FindShipSystem("REACTOR");
    ASSERT_NE(reactor, nullptr);
    VectorShape* shape = gVectorMap.root.firstChild;
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->nextSibling, nullptr);
    EXPECT_EQ(shape->system, reactor);
    EXPECT_EQ(reactor->displayColour, &shape->colour);
    EXPECT_EQ(shape->colour, 36);
    EXPECT_EQ(shape->flags, 22u);
    EXPECT_EQ(shape->layerMask, 16);
    EXPECT_NE(shape->layerMask & gVectorMap.layerMask, 0);
    // Centred on its own points.
    EXPECT_FLOAT_EQ(shape->x, 1.0f);
    EXPECT_FLOAT_EQ(shape->y, 1.0f);
    EXPECT_EQ(FindShipSystem("RING")->displayColour, nullptr);
}
