// Vector icons drawn on the screen, the hull points of collision records,
// and the generated shade tables.
#include <cmath>
#include <string>
#include <vector>

#include "ai/weapons.h"
#include "screens/bridge.h"
#include "system/canvas.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "tests/view/view_fixture.h"
#include "view/vectoricons.h"
#include "view/viewstart.h"
#include "world/pools.h"

using viewtest::ViewTest;

namespace {

constexpr ClipRect kScreen = {0, 0, viewtest::kWidth - 1, viewtest::kHeight - 1};

class VectorIcons : public ViewTest {
protected:
    void TearDown() override
    {
        gSettings.noFill = 0;
        ViewTest::TearDown();
    }
    // The square crop of the screen round (cx, cy), '#' where drawn.
    std::vector<std::string> Crop(int cx, int cy, int half) const
    {
        std::vector<std::string> rows;
        for (int y = cy - half; y <= cy + half; ++y) {
            std::string row;
            for (int x = cx - half; x <= cx + half; ++x)
                row += pixels[size_t(y) * viewtest::kWidth + size_t(x)] ? '#' : '.';
            rows.push_back(row);
        }
        return rows;
    }
    static uint8_t Entry(hx_pixelmap* table, int level, int colour)
    {
        return static_cast<const uint8_t*>(table->pixels)[level * table->row_bytes + colour];
    }
};

// A registered model of the points (one face on the first three).
hx_model* PointModel(const char* name, const std::vector<hx_vector3>& points)
{
    hx_model* m = HxModelAllocate(name, int(points.size()), points.size() >= 3 ? 1 : 0);
    for (size_t i = 0; i < points.size(); ++i)
        m->vertices[i].p = points[i];
    if (points.size() >= 3) {
        m->faces[0].vertices[1] = 1;
        m->faces[0].vertices[2] = 2;
    }
    m->flags = HX_MODF_DONT_WELD | HX_MODF_KEEP_ORIGINAL;
    return HxModelAdd(m);
}

} // namespace

TEST_F(VectorIcons, AnEmptySegmentListDrawsNothing)
{
    const int16_t none[] = {-1};
    EXPECT_EQ(DrawVectorIcon(320, 240, 100, kSightIconPoints, none, 97, kScreen), 1);
    for (uint8_t p : frame)
        ASSERT_EQ(p, 0);
    // The sight reads its 24 indices and the end.
    EXPECT_EQ(DrawVectorIcon(320, 240, 100, kSightIconPoints, kSightIconSegments, 97, kScreen), 25);
}

// The two icons of the weapon sight at scale 100, drawn about (100, 100).
TEST_F(VectorIcons, TheSightIconsAtFullScale)
{
    DrawVectorIcon(100, 100, 100, kSightIconPoints, kSightIconSegments, 97, kScreen);
    EXPECT_EQ(pixels[100 * viewtest::kWidth + 70], 97) << "the left tick's tip, in the colour";
    const std::vector<std::string> sight = {
        "...............................................................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        ".....................#####################.....................",
        "....................#.....................#....................",
        "...................#.......................#...................",
        "..................#.........................#..................",
        ".................#...........................#.................",
        "................#.............................#................",
        "...............#...............................#...............",
        "..............#.................................#..............",
        ".............#...................................#.............",
        "............#.....................................#............",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        ".###########.......................................###########.",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "...........#.......................................#...........",
        "............#.....................................#............",
        ".............#...................................#.............",
        "..............#.................................#..............",
        "...............#...............................#...............",
        "................#.............................#................",
        ".................#...........................#.................",
        "..................#.........................#..................",
        "...................#.......................#...................",
        "....................#.....................#....................",
        ".....................#####################.....................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................#...............................",
        "...............................................................",
    };
    EXPECT_EQ(Crop(100, 100, 31), sight);

    std::fill(frame.begin(), frame.end(), 0);
    DrawVectorIcon(100, 100, 100, kInArcIconPoints, kInArcIconSegments, 64, kScreen);
    const std::vector<std::string> inArc = {
        "...........................................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        "....................#.#....................",
        "...................#...#...................",
        "..................#.....#..................",
        ".................#.......#.................",
        "................#.........#................",
        "...............#...........#...............",
        "..............#.............#..............",
        ".............#...............#.............",
        "............#.................#............",
        ".###########...................###########.",
        "............#.................#............",
        ".............#...............#.............",
        "..............#.............#..............",
        "...............#...........#...............",
        "................#.........#................",
        ".................#.......#.................",
        "..................#.....#..................",
        "...................#...#...................",
        "....................#.#....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        ".....................#.....................",
        "...........................................",
    };
    EXPECT_EQ(Crop(100, 100, 21), inArc);

    // Clipped to the screen: drawn at a corner it stays inside.
    std::fill(frame.begin(), frame.end(), 0);
    DrawVectorIcon(0, 0, 100, kInArcIconPoints, kInArcIconSegments, 64, kScreen);
    EXPECT_EQ(pixels[20], 64);
    EXPECT_EQ(pixels[10 * viewtest::kWidth], 64);

    // Clipped to a window: the diamond's right half about (100, 100) only.
    std::fill(frame.begin(), frame.end(), 0);
    DrawVectorIcon(100, 100, 100, kInArcIconPoints, kInArcIconSegments, 64, ClipRect{100, 0, 200, 200});
    EXPECT_EQ(pixels[100 * viewtest::kWidth + 120], 64) << "the right spoke's tip";
    for (int y = 0; y < viewtest::kHeight; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(pixels[size_t(y) * viewtest::kWidth + size_t(x)], 0) << x << "," << y;
}

TEST_F(VectorIcons, HullPointsAreSpreadOverTheModel)
{
    // A cube: the origin, its eight corners, then repeats of them.
    std::vector<hx_vector3> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back({i & 1 ? 10.f : -10.f, i & 2 ? 20.f : -20.f, i & 4 ? 30.f : -30.f});
    hx_model* cube = PointModel("cube", corners);
    HullBounds hull{};
    BuildHullPoints(cube, &hull);
    ASSERT_EQ(hull.pointCount, 12);
    EXPECT_EQ(hull.points[0].x, 0.0f);
    std::vector<int> seen(8, 0);
    for (int i = 1; i < 12; ++i) {
        int match = -1;
        for (int c = 0; c < 8; ++c)
            if (hull.points[i].x == corners[size_t(c)].x && hull.points[i].y == corners[size_t(c)].y &&
                hull.points[i].z == corners[size_t(c)].z)
                match = c;
        ASSERT_GE(match, 0) << i;
        ++seen[size_t(match)];
        if (i <= 8) {
            EXPECT_EQ(seen[size_t(match)], 1) << "the first eight are the eight corners";
        }
    }
    // One box of the model's bounds, flag 8; the radius the longer corner.
    ASSERT_NE(hull.boxes, nullptr);
    EXPECT_EQ(hull.boxes->flags, 8u);
    EXPECT_EQ(hull.boxes->maximum.z, cube->bounds.max.z);
    EXPECT_EQ(hull.minimum.y, cube->bounds.min.y);
    EXPECT_NEAR(hull.radius, std::sqrt(100.f + 400.f + 900.f), 0.01f);
    FreeMemory(hull.boxes);

    // No vertices: twelve copies of the origin.
    HullBounds empty{};
    empty.radius = 5;
    BuildHullPoints(PointModel("empty", {}), &empty);
    EXPECT_EQ(empty.pointCount, 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(empty.points[i].x + empty.points[i].y + empty.points[i].z, 0.0f);
    EXPECT_EQ(empty.radius, 5.0f) << "a radius already set stays";
    FreeMemory(empty.boxes);
}

TEST_F(VectorIcons, AComponentBoxGivesItsBitsToTheNearestPoint)
{
    hx_model* line = PointModel("line", {{100, 0, 0}, {-100, 0, 0}, {0, 0, 50}});
    HullBox component{{80, -5, -5}, {90, 5, 5}, nullptr, 0x10 | 0x10300};
    HullBox plain{{-90, -5, -5}, {-80, 5, 5}, &component, 0x10000}; // no flag 0x10: no bits
    HullBounds hull{};
    hull.boxes = &plain;
    hull.pointFlags[15] = 0xFF; // cleared
    BuildHullPoints(line, &hull);
    EXPECT_EQ(hull.boxes, &plain) << "boxes it has are kept";
    uint32_t all = 0;
    for (int i = 0; i < kHullBoundsPoints; ++i) {
        if (hull.pointFlags[i]) {
            EXPECT_EQ(hull.points[i].x, 100.0f) << i;
        }
        all |= hull.pointFlags[i];
    }
    EXPECT_EQ(all, 0x10300u);
    EXPECT_EQ(hull.points[1].x, 100.0f) << "the farthest vertex from the origin comes first";
    EXPECT_EQ(hull.pointFlags[1], 0x10300u);
}

TEST_F(VectorIcons, TheBandedShadeTablesOfTheGame)
{
    hx_pixelmap* table = BuildShadeTable(-1, 8);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->width, 256);
    EXPECT_EQ(table->height, 64);
    const uint8_t special[5] = {54, 240, 242, 244, 244};
    for (int q = 240; q <= 244; ++q)
        EXPECT_EQ(Entry(table, 0, q), special[q - 240]) << q;

    EXPECT_EQ(BuildShadeTable(176, 31), table) << "one table, rewritten";
    EXPECT_EQ(Entry(table, 0, 20), 179);
    EXPECT_EQ(Entry(table, 0, 240), 176 + 8 * 14 * 31 / 256);
    // Band 176 is drawn with band 16's colours at the middle levels: level 8
    // (r = 0) gives the band start, level 49 its top of 47 steps.
    EXPECT_EQ(Entry(table, 8, 180), 16);
    EXPECT_EQ(Entry(table, 8, 60), 48);
    for (int level = 0; level < 64; ++level)
        for (int q : {0, 7, 15, 245, 250, 255})
            ASSERT_EQ(Entry(table, level, q), q) << level << " " << q;

    EXPECT_EQ(HxMapCount("shades_generated"), 1);
    BuildShadeTable(48, 14);
    EXPECT_EQ(HxMapCount("shades_generated"), 1) << "refreshed, not registered again";
}

TEST_F(VectorIcons, ThePlainShadeTableRampsWithinEachBand)
{
    for (int band : {0, 48}) {
        SCOPED_TRACE(band);
        gSettings.noFill = uint8_t(band != 0); // "nofill" forces plain ramps
        hx_pixelmap* table = BuildShadeTable(int16_t(band), 14);
        ASSERT_NE(table, nullptr);
        for (int level = 0; level < 64; ++level)
            for (int q : {0, 15, 240, 244, 245, 255})
                ASSERT_EQ(Entry(table, level, q), q) << level << " " << q;
        // Colour 60: band 48, position 12. Level 0 the band's darkest, level
        // 32 the colour itself, level 63 12 + 31 x 15 / 32 = 14 steps up.
        EXPECT_EQ(Entry(table, 0, 60), 48);
        EXPECT_EQ(Entry(table, 16, 60), 48 + 16 * 12 / 32);
        EXPECT_EQ(Entry(table, 32, 60), 60);
        EXPECT_EQ(Entry(table, 63, 60), 60 + 31 * 15 / 32);
        // Colour 78: position 30, two from the band's top.
        EXPECT_EQ(Entry(table, 63, 78), 78 + 31 * 1 / 32);
    }
}

TEST_F(VectorIcons, TheGreyShadeTable)
{
    hx_pixelmap* grey = BuildGreyShadeTable();
    ASSERT_NE(grey, nullptr);
    for (int q : {0, 15, 245, 255})
        EXPECT_EQ(Entry(grey, 40, q), 192) << q;
    for (int level : {0, 4})
        EXPECT_EQ(Entry(grey, level, 100), 192) << level;
    // Colour 32: position 16 in its band, centred 0: the curve's middle, -64.
    EXPECT_EQ(Entry(grey, 20, 32), 192);
    // Colour 47 (centred 15) at level 20: index 15 x 16 / 16 + 64 = 79,
    // sqrt(15 x 64) / 4 - 64 = -56.25, stored as the byte 200.
    EXPECT_EQ(Entry(grey, 20, 47), 200);
    // Colour 16 (centred -16): index 48, -sqrt(16 x 64) / 4 - 64 = -72: 184.
    EXPECT_EQ(Entry(grey, 20, 16), 184);
    // The special colours: 242 (b = 2) at level 10 below 28 - 6: 10 x 16 / 22 + 48.
    EXPECT_EQ(Entry(grey, 10, 242), 10 * 16 / 22 + 48);
    EXPECT_EQ(Entry(grey, 25, 242), (25 + 6 - 28) / 3 + 48);
    EXPECT_EQ(Entry(grey, 63, 242), 2 + 35 * 3 / 28 + 48);
}

namespace {

// The sight of a ship at the origin looking along +z, drawn about the
// screen's centre (319, 239) with a projection distance of 100.
class WeaponSightTest : public VectorIcons {
protected:
    void SetUp() override
    {
        VectorIcons::SetUp();
        ship = worldtest::MakeItem();
        ship->sim->currentWeapon = &mount;
        ship->avatar->matrix = ship->sim->matrix; // the eye: the ship's own
        gControlledItem = ship;
        gView.viewer = nullptr;
        gView.viewport = {0, 0, viewtest::kWidth - 1, viewtest::kHeight - 1};
        savedDistance = gProjectionDistance;
        gProjectionDistance = 100;
        CurrentStation = 3;
        gFrameClock.frameSeconds = 0;
        sight.mount = &mount;
        sight.iconScale = 100;
    }
    void TearDown() override
    {
        CurrentStation = 0;
        gControlledItem = nullptr;
        gContacts.playerTarget = nullptr;
        gProjectionDistance = savedDistance;
        VectorIcons::TearDown();
    }
    // A target at z, made the player's and (unless new) the mount's.
    SceneItem* Target(float z, bool isNew = false)
    {
        SceneItem* target = worldtest::MakeItem();
        target->sim->matrix.m[14] = z;
        gContacts.playerTarget = target;
        if (!isNew)
            mount.target = target;
        return target;
    }
    uint8_t At(int x, int y) const { return pixels[size_t(y) * viewtest::kWidth + size_t(x)]; }
    int Count(uint8_t colour) const
    {
        int n = 0;
        for (uint8_t p : frame)
            n += p == colour;
        return n;
    }
    SceneItem* ship = nullptr;
    Weapon mount{};
    WeaponSightElement sight{};
    float savedDistance = 0;
};

} // namespace

TEST_F(WeaponSightTest, TheInArcIconShowsOnlyForATargetInTheArcOrAnAllRoundMount)
{
    // (cx + 10, cy) lies on the in-arc diamond only; (cx - 30, cy) on the
    // sight's left tick only.
    struct Case {
        float targetZ; // 0: no target
        uint32_t mountFlags;
        uint8_t inArc;
        uint8_t diamond, tick;
    } cases[] = {
        {0, 0, 1, 0, 97},      // ahead, but neither a target nor an all-round mount
        {0, 0x200, 1, 64, 0},  // an all-round mount
        {10000, 0, 1, 64, 0},  // a target ahead
        {-10000, 0, 0, 0, 97}, // a target behind: outside the arc
    };
    for (const Case& c : cases) {
        std::fill(frame.begin(), frame.end(), 0);
        mount.flags = c.mountFlags;
        if (c.targetZ != 0)
            Target(c.targetZ);
        else
            gContacts.playerTarget = mount.target = nullptr;
        DrawWeaponSight(&sight);
        EXPECT_EQ(sight.inArc, c.inArc) << c.targetZ << " " << c.mountFlags;
        EXPECT_EQ(At(329, 239), c.diamond) << c.targetZ << " " << c.mountFlags;
        EXPECT_EQ(At(289, 239), c.tick) << c.targetZ << " " << c.mountFlags;
    }
}

TEST_F(WeaponSightTest, ANewTargetMakesTheIconJumpThenRelaxTowardFullScale)
{
    gFrameClock.frameSeconds = 0.05f; // each draw takes 0.4 of the way
    SceneItem* target = Target(10000, true);
    DrawWeaponSight(&sight);
    EXPECT_EQ(mount.target.Get(), target) << "the mount keeps the new target";
    EXPECT_FLOAT_EQ(sight.iconScale, 640.0f);
    EXPECT_EQ(At(319 + 100, 239), 64) << "drawn at 1000: the diamond's right corner 100 out";
    DrawWeaponSight(&sight);
    EXPECT_FLOAT_EQ(sight.iconScale, 424.0f);

    // A target no longer in use is dropped.
    target->flags &= ~1u;
    DrawWeaponSight(&sight);
    EXPECT_EQ(gContacts.playerTarget.Get(), nullptr);
    EXPECT_EQ(mount.target.Get(), nullptr);
}

TEST_F(WeaponSightTest, AwayFromTheWeaponsStationOnlyTheArcIsTestedAndWithoutAMountNothing)
{
    CurrentStation = 2;
    Target(-10000);
    sight.inArc = 1;
    DrawWeaponSight(&sight);
    EXPECT_EQ(sight.inArc, 0);
    EXPECT_EQ(Count(0), int(frame.size())) << "nothing drawn";

    CurrentStation = 3;
    sight.mount = nullptr;
    sight.inArc = 1;
    DrawWeaponSight(&sight);
    EXPECT_EQ(sight.inArc, 1) << "untouched";
    EXPECT_EQ(Count(0), int(frame.size()));

    sight.mount = &mount;
    sight.off = 1;
    DrawWeaponSight(&sight);
    EXPECT_EQ(Count(0), int(frame.size())) << "the sight switched off";
}

TEST_F(WeaponSightTest, TheConeEdgesAreJoinedInTurnAndAnEdgeAtDepthZeroCountsAsBehind)
{
    // Corners at 45 degrees: (left, upper), (right, upper), (left, lower),
    // (right, lower), 50 pixels out each way.
    const Vector3 edges[4] = {{-0.5f, 0.5f, 1}, {0.5f, 0.5f, 1}, {-0.5f, -0.5f, 1}, {0.5f, -0.5f, 1}};
    std::copy(std::begin(edges), std::end(edges), sight.edges);
    DrawWeaponSight(&sight);
    EXPECT_EQ(At(300, 289), 96) << "edge 0 to 1";
    EXPECT_EQ(At(344, 264), 96) << "edge 1 to 2, across";
    EXPECT_EQ(At(300, 189), 96) << "edge 2 to 3";
    EXPECT_EQ(At(344, 214), 96) << "edge 3 to 0, across";

    std::fill(frame.begin(), frame.end(), 0);
    for (Vector3& e : sight.edges)
        e.z = 0;
    DrawWeaponSight(&sight);
    EXPECT_EQ(Count(96), 0) << "no end in front: no line";
    EXPECT_GT(Count(97), 0) << "the icon still";
}

// The cone's edges of a wide arc fall far outside a small view: the lines,
// the icon and the target's name stop at the view's edges.
TEST_F(WeaponSightTest, EverythingTheSightDrawsStaysInsideTheView)
{
    const ViewRect view = {300, 220, 340, 260};
    gView.viewport = view;
    const Vector3 edges[4] = {{-4, 4, 1}, {4, 4, 1}, {-4, -4, 1}, {4, -4, 1}};
    std::copy(std::begin(edges), std::end(edges), sight.edges);
    sight.iconScale = 1000;
    DrawWeaponSight(&sight);
    int inside = 0;
    for (int y = 0; y < viewtest::kHeight; ++y)
        for (int x = 0; x < viewtest::kWidth; ++x) {
            const bool within = x >= view.left && x <= view.right && y >= view.top && y <= view.bottom;
            if (!within) {
                ASSERT_EQ(At(x, y), 0) << "drawn outside the view at " << x << "," << y;
            }
            inside += within && At(x, y) != 0;
        }
    EXPECT_GT(inside, 0) << "the sight is drawn within it";
}
