// The grouping of a flat wireframe's points into connected parts: separate
// outlines, merges of a higher part into a lower one, points no edge uses
// and edges that name points outside the set.
#include "view/lwoloader.h"

#include "world/pools.h"

#include "tests/support/segment_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

namespace {

// The set, with the part each point was given (in its third coordinate).
struct Set : SegmentSet {
    using SegmentSet::SegmentSet;

    std::vector<int> PartOfEachPoint() const
    {
        std::vector<int> parts;
        for (int i = 0; i < shape.pointCount; ++i)
            parts.push_back(static_cast<int>(shape.points[i][2]));
        return parts;
    }
};

void ExpectPart(const SegmentPart& part, float x, float y, float width, float height)
{
    EXPECT_FLOAT_EQ(part.x, x);
    EXPECT_FLOAT_EQ(part.y, y);
    EXPECT_FLOAT_EQ(part.width, width);
    EXPECT_FLOAT_EQ(part.height, height);
}

} // namespace

TEST(SegmentParts, ThreeOutlinesGiveThreePartsWithTheirOwnBounds)
{
    // A triangle, a square and a two-point stroke.
    Set set({{0, 0}, {4, 0}, {0, 3}, {10, 10}, {12, 10}, {12, 12}, {10, 12}, {-5, 1}, {-1, 7}},
            {{0, 1}, {1, 2}, {2, 0}, {3, 4}, {4, 5}, {5, 6}, {6, 3}, {7, 8}});
    ASSERT_EQ(set.shape.partCount, 3);
    EXPECT_EQ(set.PartOfEachPoint(), (std::vector<int>{0, 0, 0, 1, 1, 1, 1, 2, 2}));
    ExpectPart(set.shape.parts[0], 0, 0, 4, 3);
    ExpectPart(set.shape.parts[1], 10, 10, 2, 2);
    ExpectPart(set.shape.parts[2], -5, 1, 4, 6);
}

TEST(SegmentParts, JoinedPartsTakeTheLowerNumberAndTheRestCloseUp)
{
    // Edges 0-1, 2-3, 4-5 open parts 0, 1, 2; 5-1 merges 2 into 0; 3-0
    // merges 1 into 0 as well. The stroke 6-7 opened part 3 and ends as 1.
    Set set({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 5}, {9, 9}, {9, 10}},
            {{0, 1}, {2, 3}, {6, 7}, {4, 5}, {5, 1}, {3, 0}});
    ASSERT_EQ(set.shape.partCount, 2);
    EXPECT_EQ(set.PartOfEachPoint(), (std::vector<int>{0, 0, 0, 0, 0, 0, 1, 1}));
    ExpectPart(set.shape.parts[0], 0, 0, 5, 5);
    ExpectPart(set.shape.parts[1], 9, 9, 0, 1);
}

TEST(SegmentParts, PointsOnNoEdgeStayOutOfEveryPart)
{
    // Point 1 lies far away and no edge uses it: it widens no bounds.
    Set set({{0, 0}, {100, 100}, {2, 2}}, {{0, 2}});
    ASSERT_EQ(set.shape.partCount, 1);
    EXPECT_EQ(set.PartOfEachPoint(), (std::vector<int>{0, -1, 0}));
    ExpectPart(set.shape.parts[0], 0, 0, 2, 2);
}

TEST(SegmentParts, EdgesNamingPointsOutsideTheSetArePassedOver)
{
    Set set({{0, 0}, {1, 1}, {3, 3}}, {{0, 7}, {9, 1}, {1, 2}, {65535, 65535}});
    ASSERT_EQ(set.shape.partCount, 1);
    EXPECT_EQ(set.PartOfEachPoint(), (std::vector<int>{-1, 0, 0}));
    ExpectPart(set.shape.parts[0], 1, 1, 2, 2);

    Set none({{0, 0}}, {{0, 1}});
    EXPECT_EQ(none.shape.partCount, 0);
    EXPECT_EQ(none.shape.parts, nullptr);
}

TEST(SegmentParts, GroupingTwiceGivesTheSameParts)
{
    Set set({{0, 0}, {4, 0}, {8, 8}, {9, 9}}, {{0, 1}, {2, 3}});
    BuildSegmentParts(&set.shape);
    ASSERT_EQ(set.shape.partCount, 2);
    EXPECT_EQ(set.PartOfEachPoint(), (std::vector<int>{0, 0, 1, 1}));
    ExpectPart(set.shape.parts[1], 8, 8, 1, 1);
}
