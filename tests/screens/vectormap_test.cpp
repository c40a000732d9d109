// The vector map: the shape tree and its guards, the focus and the view's
// smoothing, and what the grid and the shapes put into a panel's pixels
// (small parts, the blink, the label, layer masks, marker positions).
#include "screens/vectormap.h"

#include "framework/scene.h"
#include "framework/pixelmap.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "view/lwoloader.h"
#include "world/pools.h"

#include "tests/support/segment_set.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Set = SegmentSet;

// A square outline of the side about (0, 0).
Set Square(float side)
{
    const float h = side / 2;
    return Set({{-h, -h}, {h, -h}, {h, h}, {-h, h}}, {{0, 1}, {1, 2}, {2, 3}, {3, 0}});
}

class VectorMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(HxBegin(), HX_OK);
        ResetVectorMap();
        panel = HxPixelmapAllocate(HX_PMT_INDEX_8, 200, 100, nullptr, 0);
        panel->origin_x = 100;
        panel->origin_y = 50;
        HxPixelmapFill(panel, 0);
        gVectorMap.target = panel;
        gFrameClock.gameClock = 60; // the unblinking half
        gSettings.language = 0;
    }
    void TearDown() override
    {
        ResetVectorMap();
        gSettings.language = 0;
        HxEnd();
    }

    // A shape of lines in the colour, in layer 1, under the root.
    static VectorShape* Lines(Set& set, int16_t colour, VectorShape* parent = &gVectorMap.root)
    {
        VectorShape* shape = NewVectorShape(&set.shape, 0);
        shape->colour = colour;
        shape->layerMask = 1;
        AppendVectorShape(parent, shape);
        return shape;
    }

    // Draws the root's tree with the view at (0, 0) and the zoom.
    static void Draw(float zoom, bool labels = true)
    {
        guiDrawVectorShapes(gVectorMap.root.firstChild, 0, 0, zoom, labels, -1);
    }

    int Count(uint8_t colour) const
    {
        int n = 0;
        for (int y = 0; y < panel->height; ++y)
            for (int x = 0; x < panel->width; ++x)
                n += HxPixelmapPixelQuery(panel, x - 100, y - 50) == colour;
        return n;
    }

    hx_pixelmap* panel = nullptr;
};

} // namespace

TEST_F(VectorMapTest, NewShapesTakeTheirFlagsFromThePartIndex)
{
    Set set = Square(4);
    VectorShape* whole = NewVectorShape(&set.shape, -1);
    VectorShape* part = NewVectorShape(&set.shape, 1);
    ASSERT_TRUE(whole && part);
    EXPECT_EQ(whole->flags, 14u);
    EXPECT_EQ(part->flags, 22u);
    EXPECT_EQ(part->partIndex, 1);
    EXPECT_EQ(part->layerMask, 0);
    EXPECT_EQ(AsVectorShape(part), part);
    int local = 0;
    EXPECT_EQ(AsVectorShape(&local), nullptr);
}

TEST_F(VectorMapTest, AppendingAShapeASecondTimeOrIntoItsOwnTreeIsRefused)
{
    Set set = Square(4);
    VectorShape* a = NewVectorShape(&set.shape, 0);
    VectorShape* b = NewVectorShape(&set.shape, 0);
    VectorShape* c = NewVectorShape(&set.shape, 0);
    AppendVectorShape(&gVectorMap.root, a);
    AppendVectorShape(&gVectorMap.root, b);
    AppendVectorShape(&gVectorMap.root, a); // would make b -> a -> b ...
    EXPECT_EQ(gVectorMap.root.firstChild, a);
    EXPECT_EQ(a->nextSibling, b);
    EXPECT_EQ(b->nextSibling, nullptr);
    AppendVectorShape(a, c);
    VectorShape* d = NewVectorShape(&set.shape, 0);
    AppendVectorShape(d, d);
    EXPECT_EQ(d->firstChild, nullptr);
    VectorShape* e = NewVectorShape(&set.shape, 0);
    AppendVectorShape(e, d); // d under e; e under d would close a loop
    AppendVectorShape(d, e);
    EXPECT_EQ(d->firstChild, nullptr);
    EXPECT_EQ(a->firstChild, c);
}

TEST_F(VectorMapTest, CentringMovesThePointsThePartsAndTheShape)
{
    Set set({{10, 20}, {14, 20}, {14, 26}, {10, 26}}, {{0, 1}, {1, 2}, {2, 3}, {3, 0}});
    VectorShape* shape = NewVectorShape(&set.shape, 0);
    CentreVectorShape(shape);
    EXPECT_FLOAT_EQ(shape->x, 12.0f);
    EXPECT_FLOAT_EQ(shape->y, 23.0f);
    EXPECT_FLOAT_EQ(set.shape.points[0][0], -2.0f);
    EXPECT_FLOAT_EQ(set.shape.points[0][1], -3.0f);
    EXPECT_FLOAT_EQ(set.shape.parts[0].x, -2.0f);
    EXPECT_FLOAT_EQ(set.shape.parts[0].y, -3.0f);
    EXPECT_FLOAT_EQ(set.shape.parts[0].width, 4.0f);
}

TEST_F(VectorMapTest, FocusZoomsToTwiceTheLargestPartAndTheViewEasesThere)
{
    // Parts 40 and 10 units wide.
    Set set({{0, 0}, {40, 5}, {100, 0}, {110, 3}}, {{0, 1}, {2, 3}});
    VectorShape* shape = NewVectorShape(&set.shape, 0);
    shape->x = 50;
    FocusVectorMap(shape, 5, -5);
    EXPECT_EQ(gVectorMap.focusPending, 1);
    EXPECT_FLOAT_EQ(gVectorMap.focusZoom, 80.0f);
    EXPECT_FLOAT_EQ(gVectorMap.zoom, 0.0f); // not before the next update

    int frames = 0;
    while (gVectorMap.zoom < 0.85f * 80.0f && frames < 100) {
        UpdateVectorMapView();
        ++frames;
    }
    EXPECT_EQ(gVectorMap.focusPending, 0);
    EXPECT_FLOAT_EQ(gVectorMap.targetZoom, 80.0f);
    EXPECT_FLOAT_EQ(gVectorMap.targetX, 55.0f);
    EXPECT_FLOAT_EQ(gVectorMap.targetY, -5.0f);
    EXPECT_NEAR(frames, 11, 1);
    EXPECT_NEAR(gVectorMap.centreX / 55.0f, gVectorMap.zoom / 80.0f, 1e-5);
}

TEST_F(VectorMapTest, FocusOnPartsWithoutExtentKeepsAPositiveZoom)
{
    Set dot({{3, 3}, {3, 3}}, {{0, 1}});
    Set empty({{1, 1}}, {});
    for (Set* set : {&dot, &empty}) {
        FocusVectorMap(NewVectorShape(&set->shape, 0), 0, 0);
        EXPECT_FLOAT_EQ(gVectorMap.focusZoom, kMinFocusZoom);
    }
}

TEST_F(VectorMapTest, PartsOfSixPixelsOrLessDrawNothing)
{
    // A 4-unit square: 6 pixels at 1 pixel a unit, 12 at 2.
    Set set = Square(4);
    VectorShape* shape = Lines(set, 40);
    Draw(200);
    EXPECT_EQ(Count(40), 0);
    EXPECT_EQ(shape->flags & kShapeLarge, 0u);
    Draw(100);
    EXPECT_NE(shape->flags & kShapeLarge, 0u);
    EXPECT_EQ(Count(40), 32); // the square's outline, 9 x 9 pixels
}

TEST_F(VectorMapTest, TheSelectedShapeBlinksAndAnOverrideColourWins)
{
    Set set = Square(40);
    VectorShape* shape = Lines(set, 40);
    gVectorMap.selected = shape;
    gFrameClock.gameClock = 149; // first half of the hundred
    Draw(200, false);
    EXPECT_GT(Count(32), 0);
    EXPECT_EQ(Count(40), 0);
    gFrameClock.gameClock = 150;
    Draw(200, false);
    EXPECT_EQ(Count(32), 0);
    guiDrawVectorShapes(shape, 0, 0, 200, false, 99);
    EXPECT_EQ(Count(40), 0);
    EXPECT_GT(Count(99), 0);
}

TEST_F(VectorMapTest, TheSelectedShapeShowsItsPartLabelOnlyInEnglish)
{
    Set set = Square(16);
    set.shape.parts[0].labels[0] = "REACTOR";
    set.shape.parts[0].labels[1] = "REACTEUR";
    VectorShape* shape = Lines(set, 60); // ramp 48..79
    // 5 pixels a unit: the label's shade is 48 + 12 x 3 / 8.
    Draw(40);
    EXPECT_EQ(Count(52), 0); // not selected
    gVectorMap.selected = shape;
    Draw(40, false);
    EXPECT_EQ(Count(52), 0); // labels not asked for
    Draw(40);
    EXPECT_GT(Count(52), 0);

    HxPixelmapFill(panel, 0);
    gSettings.language = 1;
    Draw(40);
    EXPECT_EQ(Count(52), 0);
    EXPECT_GT(Count(60), 0);
}

TEST_F(VectorMapTest, AHiddenShapeHidesItselfAndItsChildrenButNotTheShapesAfterIt)
{
    // Five 10-pixel squares side by side, one colour each.
    Set set = Square(10);
    VectorShape* hidden = Lines(set, 41);
    VectorShape* child = Lines(set, 42, hidden);
    VectorShape* after = Lines(set, 43);
    VectorShape* shown = Lines(set, 44);
    VectorShape* shownChild = Lines(set, 45, shown);
    float x = -80;
    for (VectorShape* s : {hidden, child, after, shown, shownChild}) {
        s->x = x;
        x += 40;
    }
    hidden->layerMask = 2;
    gVectorMap.layerMask = 1;
    Draw(200);
    EXPECT_EQ(Count(41), 0);
    EXPECT_EQ(Count(42), 0);
    for (uint8_t colour : {43, 44, 45})
        EXPECT_EQ(Count(colour), 40) << int(colour);
}

TEST_F(VectorMapTest, GridLinesEveryTwentyDegrees)
{
    // 1/3 pixel a degree: the 18 vertical lines fall inside the panel.
    DrawVectorMapGrid(0, 0, 600);
    int columns = 0;
    for (int x = -100; x < 100; ++x)
        columns += HxPixelmapPixelQuery(panel, x, 1) == 24;
    EXPECT_EQ(columns, 18);
    EXPECT_EQ(HxPixelmapPixelQuery(panel, 0, 1), 24u);
    EXPECT_EQ(HxPixelmapPixelQuery(panel, 6, 1), 24u);
    EXPECT_EQ(HxPixelmapPixelQuery(panel, -60, 1), 24u);
    // A centre moved 50 units moves the lines by 0.6 x 50 degrees.
    HxPixelmapFill(panel, 0);
    DrawVectorMapGrid(50, 0, 600);
    EXPECT_EQ(HxPixelmapPixelQuery(panel, -10, 1), 24u);
    EXPECT_NE(HxPixelmapPixelQuery(panel, 0, 1), 24u);
}

TEST_F(VectorMapTest, MarkersStoreTheirScreenPosition)
{
    Set set = Square(4);
    VectorShape* marker = NewVectorShape(&set.shape, -1);
    marker->layerMask = 1;
    marker->x = 10;
    marker->y = -20;
    AppendVectorShape(&gVectorMap.root, marker);
    guiDrawVectorShapes(gVectorMap.root.firstChild, 0, 0, 100, true, -1);
    EXPECT_EQ(set.shape.markerX, 100 + 20);
    EXPECT_EQ(set.shape.markerY, 50 - 40);
    EXPECT_EQ(Count(0), 200 * 100); // a marker draws no lines
}
