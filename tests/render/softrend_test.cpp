// The software renderer's pictures checked against what they must be:
// coverage under the top-left rule (a blend table that counts writes shows
// every pixel drawn exactly once), depth order, ramp and shade-table
// indices at probe pixels, z-transparency, user clip planes, the screen
// rectangle reported for a model, and the Z-sort picture against the
// Z-buffer picture.
#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>

#include "framework/token_ids.h"
#include "system/crand.h"
#include "tests/render/softrend_fixture.h"

namespace {

// An 8-bit material whose every write adds one to the pixel: a blend
// table of destination + 1.
hx_material* Counter(hx_pixelmap** table)
{
    *table = Softrend::Table("count", 256, 256, [](int x, int) { return (x + 1) & 255; });
    HxTableAdd(*table);
    hx_material* m = Softrend::Material("counter", 0, HX_MATF_TWO_SIDED);
    m->opacity = 128;
    m->index_blend = *table;
    return HxMaterialAdd(m);
}

// The ordered-dither matrix: the thresholds 0-15 of a 4 x 4 block of
// pixels, [row][column].
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Whether the pixel centre (x + 0.5, y + 0.5) lies inside the box
// [x0, x1) x [y0, y1).
bool Inside(int x, int y, float x0, float y0, float x1, float y1)
{
    const float cx = float(x) + 0.5f, cy = float(y) + 0.5f;
    return cx >= x0 && cx < x1 && cy >= y0 && cy < y1;
}

} // namespace

TEST_F(Softrend, TrianglesSharingEdgesCoverEveryPixelOnceAndNothingOutside)
{
    hx_pixelmap* table;
    hx_material* counter = Counter(&table);
    // A box with corners off the pixel grid cut into a fan of eight
    // triangles around an inner point, plus a box whose edges lie exactly
    // on pixel centres.
    const float x0 = 3.3f, y0 = 2.75f, x1 = 40.6f, y1 = 31.1f, cx = 17.23f, cy = 13.9f;
    const ScreenPoint ring[8] = {{x0, y0, -10}, {cx, y0, -10}, {x1, y0, -10}, {x1, cy, -10}, {x1, y1, -10}, {cx, y1, -10}, {x0, y1, -10}, {x0, cy, -10}};
    std::vector<ScreenPoint> fan;
    for (int i = 0; i < 8; ++i) {
        fan.push_back({cx + 0.37f, cy - 0.21f, -10});
        fan.push_back(ring[i]);
        fan.push_back(ring[(i + 1) % 8]);
    }
    const float ex0 = 44.5f, ey0 = 4.5f, ex1 = 60.5f, ey1 = 20.5f;
    std::vector<ScreenPoint> exact = {{ex0, ey0, -10}, {ex1, ey0, -10}, {ex1, ey1, -10}, {ex0, ey0, -10}, {ex1, ey1, -10}, {ex0, ey1, -10}};
    Place(Mesh("fan", fan, counter, true));
    Place(Mesh("exact", exact, counter, true));
    hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
    ASSERT_EQ(Render(colour, nullptr), HX_OK);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool in = Inside(x, y, x0, y0, x1, y1) || Inside(x, y, ex0, ey0, ex1, ey1);
            ASSERT_EQ(PixelAt(colour, x, y), in ? 1u : 0u) << x << "," << y;
        }
}

TEST_F(Softrend, AJitteredMeshOfSmallAndLargeTrianglesCoversEveryPixelOnce)
{
    hx_pixelmap* table;
    hx_material* counter = Counter(&table);
    // Cells from a pixel wide to some twenty, so that both the small
    // triangles' path and the edge walk draw; inner corners moved at
    // random, every third one onto a pixel centre exactly.
    const float columns[] = {2.3f, 3.1f, 4.6f, 5.5f, 9.0f, 13.7f, 21.5f, 40.2f, 61.6f};
    const float rows[] = {1.7f, 2.4f, 3.5f, 6.2f, 10.5f, 18.0f, 30.5f, 46.3f};
    constexpr int nx = int(std::size(columns)), ny = int(std::size(rows));
    ScreenPoint corner[ny][nx];
    CRandSeed(16);
    int k = 0;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) {
            float x = columns[i], y = rows[j];
            if (i > 0 && i < nx - 1 && j > 0 && j < ny - 1) {
                const float room = 0.3f * std::min(columns[i + 1] - columns[i], columns[i] - columns[i - 1]);
                x += room * (float(CRand()) / kCRandMax - 0.5f);
                y += 0.3f * (float(CRand()) / kCRandMax - 0.5f);
                if (++k % 3 == 0)
                    x = std::floor(x) + 0.5f, y = std::floor(y) + 0.5f;
            }
            corner[j][i] = {x, y, -10};
        }
    std::vector<ScreenPoint> mesh;
    for (int j = 0; j + 1 < ny; ++j)
        for (int i = 0; i + 1 < nx; ++i) {
            const ScreenPoint a = corner[j][i], b = corner[j][i + 1], c = corner[j + 1][i], d = corner[j + 1][i + 1];
            // The cut alternates between the cell's two diagonals.
            if ((i + j) % 2)
                mesh.insert(mesh.end(), {a, b, d, a, d, c});
            else
                mesh.insert(mesh.end(), {a, b, c, b, d, c});
        }
    Place(Mesh("jittered", mesh, counter, true));
    hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
    ASSERT_EQ(Render(colour, nullptr), HX_OK);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(PixelAt(colour, x, y), Inside(x, y, columns[0], rows[0], columns[nx - 1], rows[ny - 1]) ? 1u : 0u)
                << x << "," << y;
}

TEST_F(Softrend, AThinSliverDrawsEveryRowThatHoldsACentreEvenPastRowsThatHoldNone)
{
    hx_pixelmap* table;
    hx_material* counter = Counter(&table);
    // A strip a quarter of a pixel wide leaning half a pixel a row, cut
    // into two slivers: on every other row it passes between two pixel
    // centres, and on the rows between it holds one.
    const float a = 3.5625f, width = 0.25f, top = 2, bottom = 12;
    const ScreenPoint p0 = {a + 0.5f * top, top, -10}, p1 = {a + 0.5f * top + width, top, -10},
                      p2 = {a + 0.5f * bottom + width, bottom, -10}, p3 = {a + 0.5f * bottom, bottom, -10};
    Place(Mesh("sliver", {p0, p1, p2, p0, p2, p3}, counter, true));
    hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
    ASSERT_EQ(Render(colour, nullptr), HX_OK);
    int drawn = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const float cx = float(x) + 0.5f, cy = float(y) + 0.5f, left = a + 0.5f * cy;
            const bool in = cy >= top && cy < bottom && cx >= left && cx < left + width;
            drawn += in;
            ASSERT_EQ(PixelAt(colour, x, y), in ? 1u : 0u) << x << "," << y;
        }
    EXPECT_EQ(drawn, 5); // rows 3, 5, 7, 9 and 11
}

TEST_F(Softrend, ATriangleLargerThanTheScreenCoversItExactlyOnce)
{
    hx_pixelmap* table;
    hx_material* counter = Counter(&table);
    Place(Mesh("huge", {{-5000, -3000, -10}, {9000, -10, -10}, {-30, 7000, -10}}, counter));
    hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
    Render(colour, nullptr);
    for (uint32_t p : Pixels(colour))
        ASSERT_EQ(p, 1u);
}

TEST_F(Softrend, TheNearerOfTwoOverlappingTrianglesWinsWhicheverIsDrawnFirst)
{
    hx_material* red = HxMaterialAdd(Material("red", 0xFF0000, 0));
    hx_material* blue = HxMaterialAdd(Material("blue", 0x0000FF, 0));
    hx_model* nearModel = Mesh("near", {{5, 5, -10}, {40, 5, -10}, {5, 40, -10}}, red);
    hx_model* farModel = Mesh("far", {{10, 10, -30}, {60, 10, -30}, {10, 45, -30}}, blue);
    for (int order = 0; order < 2; ++order) {
        for (hx_actor* c = world->children; c;) {
            hx_actor* next = c->next;
            if (c->type == HX_ACTOR_MODEL)
                HxActorFree(c);
            c = next;
        }
        Place(order ? farModel : nearModel);
        Place(order ? nearModel : farModel);
        hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
        hx_pixelmap* depth = DepthBuffer(order ? HX_PMT_DEPTH_32 : HX_PMT_DEPTH_16);
        Render(colour, depth);
        EXPECT_EQ(PixelAt(colour, 15, 15), Rgb565(0xFF0000)) << "overlap, order " << order;
        EXPECT_EQ(PixelAt(colour, 45, 12), Rgb565(0x0000FF)) << "far only, order " << order;
        EXPECT_EQ(PixelAt(colour, 2, 2), 0u);
        // The depth buffer holds the near triangle's screen Z.
        const double zNdc = (-10 + 50.5) * 2 / 99.0;
        const double expected = -32767 * zNdc * 65536 + 2147483648.0;
        const uint32_t stored = HxPixelmapPixelQuery(depth, 15, 15);
        if (order)
            EXPECT_NEAR(double(stored), expected, 256.0);
        else
            EXPECT_NEAR(double(stored), expected / 65536, 1.0);
    }
}

TEST_F(Softrend, BackFacesAreCulledUnlessTheMaterialIsTwoSided)
{
    hx_material* one = HxMaterialAdd(Material("one", 0xFFFFFF, 0));
    hx_material* two = HxMaterialAdd(Material("two", 0xFFFFFF, HX_MATF_TWO_SIDED));
    // Clockwise on the screen (y down) is clockwise seen from the camera:
    // these face away.
    Place(Mesh("away", {{5, 5, -10}, {20, 5, -10}, {20, 20, -10}}, one, true));
    Place(Mesh("both", {{30, 5, -10}, {45, 5, -10}, {45, 20, -10}}, two, true));
    hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
    Render(colour, DepthBuffer());
    EXPECT_EQ(PixelAt(colour, 17, 8), 0u);
    EXPECT_EQ(PixelAt(colour, 42, 8), 0xFFFFu);
}

TEST_F(Softrend, LitUntexturedIndexedFacesTakeTheRampIndexOfTheirLightLevel)
{
    // A light straight along +z; the face tilted about y by 60 degrees has
    // N.L = 0.5: level = ka + kd x 0.5 = 0.1 + 0.6 x 0.5 = 0.4.
    hx_actor* light = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    light->t.type = HX_TRANSFORM_IDENTITY;
    HxActorAdd(world, light);
    HxLightEnable(light);
    hx_material* m = Material("lit", 0xFFFFFF, HX_MATF_LIT);
    m->ka = 0.1f;
    m->kd = 0.6f;
    m->index_base = 64;
    m->index_range = 30;
    HxMaterialAdd(m);
    const float s = std::sqrt(3.0f); // z changes by sqrt 3 per unit of x
    Place(Mesh("tilted", {{10, 10, -20}, {30, 10, -20 - 20 * s}, {10, 30, -20}}, m));
    Place(Mesh("square", {{40, 10, -20}, {60, 10, -20}, {40, 30, -20}}, m));
    hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
    Render(colour, DepthBuffer());
    EXPECT_EQ(PixelAt(colour, 14, 14), 64u + 12u) << "base + level x range";
    EXPECT_EQ(PixelAt(colour, 44, 14), 64u + 21u);
}

TEST_F(Softrend, PrelitIndexedFacesTakeTheirOwnIndexHeldWithinTheRamp)
{
    // The face's own index picks the ramp entry: one inside the ramp is
    // drawn as it is, one below it (0, as a sky sphere's seams carry) is
    // the ramp's first entry, one beyond it its last; flat and smooth alike.
    for (const uint32_t smooth : {0u, uint32_t(HX_MATF_SMOOTH)}) {
        hx_material* m = Material("prelit", 0, HX_MATF_PRELIT | smooth);
        m->index_base = 64;
        m->index_range = 30;
        HxMaterialAdd(m);
        // Three faces side by side, each corner carrying its face's index.
        const uint8_t indices[3] = {70, 0, 200};
        hx_model* model = HxModelAllocate("three", 9, 3);
        for (int f = 0; f < 3; ++f) {
            const float left = 4.0f + 20.0f * float(f);
            const hx_vector2 corners[3] = {{left, 4}, {left, 20}, {left + 16, 4}};
            hx_face& face = model->faces[f];
            for (int v = 0; v < 3; ++v) {
                hx_vertex& vertex = model->vertices[3 * f + v];
                vertex.p = {corners[v].x - 32.5f, 24.5f - corners[v].y, -20.0f};
                vertex.index = indices[f];
                face.vertices[v] = uint16_t(3 * f + v);
            }
            face.index = indices[f];
            face.material = m;
            face.smoothing = 1;
        }
        model->flags = HX_MODF_DONT_WELD;
        HxModelAdd(model);
        hx_actor* a = Place(model);
        hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
        Render(colour, DepthBuffer());
        EXPECT_EQ(PixelAt(colour, 8, 8), 70u) << "within the ramp, smooth " << smooth;
        EXPECT_EQ(PixelAt(colour, 28, 8), 64u) << "below it: its first entry, smooth " << smooth;
        EXPECT_EQ(PixelAt(colour, 48, 8), 94u) << "beyond it: its last, smooth " << smooth;
        Unplace(a, m);
    }
}

TEST_F(Softrend, DitheredColoursFollowTheOrderedMatrixOnSmallAndLargeTriangles)
{
    // The tilted face above at level 0.4: on a ramp of 31 that is entry
    // 12.4, and on a 565 screen channels of 102 (red 12.75 of 31, green
    // 25.5 of 63). Dithered, a pixel takes the entry above where its
    // threshold (matrix value + 0.5) / 16 lifts the level past it; the 565
    // channels are raised by (value / 2, value / 4) before they are cut.
    hx_actor* light = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    light->t.type = HX_TRANSFORM_IDENTITY;
    HxActorAdd(world, light);
    HxLightEnable(light);
    const float s = std::sqrt(3.0f);
    for (const bool dither : {false, true})
        for (const float size : {20.0f, 36.0f}) // the small path and the edge walk
            for (const uint8_t type : {HX_PMT_INDEX_8, HX_PMT_RGB_565}) {
                hx_material* m = Material("lit", 0xFFFFFF, uint32_t(HX_MATF_LIT) | (dither ? uint32_t(HX_MATF_DITHER) : 0u));
                m->ka = 0.1f;
                m->kd = 0.6f;
                m->index_base = 64;
                m->index_range = 31;
                HxMaterialAdd(m);
                hx_actor* a =
                    Place(Mesh("tilted", {{6, 6, -20}, {6 + size, 6, -20 - size * s}, {6, 6 + size, -20}}, m));
                hx_pixelmap* colour = Screen(type);
                Render(colour, DepthBuffer());
                for (int y = 8; y < 14; ++y)
                    for (int x = 8; x < 14; ++x) {
                        const int b = dither ? kBayer[y & 3][x & 3] : 0;
                        const uint32_t want =
                            type == HX_PMT_INDEX_8
                                ? 64u + 12u + (dither && b >= 10 ? 1u : 0u)
                                : uint32_t(((102 + b / 2) >> 3) << 11 | ((102 + b / 4) >> 2) << 5 | ((102 + b / 2) >> 3));
                        ASSERT_EQ(PixelAt(colour, x, y), want)
                            << (dither ? "dithered" : "plain") << ", size " << size << ", type " << int(type)
                            << ", pixel " << x << ", " << y;
                    }
                Unplace(a, m);
            }
}

TEST_F(Softrend, LightingIsTheSameWhetherTakenInTheModelOrInTheView)
{
    // Directional light meets a model turned and evenly scaled in the
    // model's own space, and any other in the view's. The tilted face of
    // the test above (N.L = 0.5, index 64 + 12), turned 30 degrees about y,
    // lights alike both ways; custom normals of any length light as unit
    // ones.
    hx_actor* light = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    light->t.type = HX_TRANSFORM_IDENTITY;
    HxActorAdd(world, light);
    HxLightEnable(light);
    hx_material* m = Material("lit", 0xFFFFFF, HX_MATF_LIT | HX_MATF_SMOOTH);
    m->ka = 0.1f;
    m->kd = 0.6f;
    m->index_base = 64;
    m->index_range = 30;
    HxMaterialAdd(m);
    const float s = std::sqrt(3.0f);
    // Corners about the model's origin (screen centre, z 0).
    hx_model* tilted = Mesh("tilted", {{28.5f, 20.5f, 0}, {36.5f, 20.5f, -8 * s}, {28.5f, 28.5f, 0}}, m);
    auto probe = [&](float zStretch) {
        hx_actor* a = Place(tilted);
        const float c = std::cos(float(M_PI) / 6), sn = std::sin(float(M_PI) / 6);
        a->t.type = HX_TRANSFORM_MATRIX;
        a->t.t.mat = {{{2 * c, 0, 2 * sn}, {0, 2, 0}, {-2 * sn * zStretch, 0, 2 * c * zStretch}, {0, 0, -40}}};
        hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
        EXPECT_EQ(Render(colour, DepthBuffer()), HX_OK);
        Unplace(a);
        return PixelAt(colour, 34, 21); // inside the turned face's corners (25.6, 16.5), (53.3, 16.5), (25.6, 32.5)
    };
    // Turned to 30 degrees from the light: level 0.1 + 0.6 cos 30 = 0.62.
    const uint32_t inModel = probe(1);
    EXPECT_EQ(inModel, 64u + 19u);
    EXPECT_EQ(probe(1.001f), inModel) << "a stretched model is lit in the view";
    // Normals of length 3, as a custom-normal update may leave them.
    hx_prepared_group& group = tilted->prepared->groups[0];
    for (int i = 0; i < group.nvertices; ++i)
        group.vertices[i].n = {3 * group.faces[0].n.x, 3 * group.faces[0].n.y, 3 * group.faces[0].n.z};
    EXPECT_EQ(probe(1), inModel) << "custom normals of length 3";
}

TEST_F(Softrend, ShadeTableTexturesTakeTheRowOfTheLightLevelAndTexelZeroIsTransparent)
{
    hx_actor* light = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    light->t.type = HX_TRANSFORM_IDENTITY;
    HxActorAdd(world, light);
    HxLightEnable(light);
    // Texture 8 x 8: texel = column + 1, except column 0 which is 0.
    hx_pixelmap* map = Table("map", 8, 8, [](int x, int) { return x == 0 ? 0 : x + 1; });
    HxMapAdd(map);
    // Shade table of 9 rows: row r, texel t gives 100 + 10 r + t.
    hx_pixelmap* shade = Table("shade", 256, 9, [](int x, int y) { return (100 + 10 * y + x) & 255; });
    HxTableAdd(shade);
    hx_material* m = Material("textured", 0xFFFFFF, HX_MATF_LIT | HX_MATF_Z_TRANSPARENCY);
    m->ka = 0.25f;
    m->kd = 0.5f;
    m->colour_map = map;
    m->index_shade = shade;
    HxMaterialAdd(m);
    // A 32 x 32 square mapped once: texel column = (x - 8) / 4.
    const std::vector<ScreenPoint> square = {{8, 8, -10}, {40, 8, -10}, {40, 40, -10}, {8, 8, -10}, {40, 40, -10}, {8, 40, -10}};
    const std::vector<hx_vector2> maps = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    Place(Mesh("square", square, m, false, maps));
    PlaceBackdrop(0, 7);
    hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
    Render(colour, DepthBuffer());
    // Level 0.75 on 9 rows: row round(0.75 x 8) = 6.
    for (int column = 1; column < 8; ++column)
        EXPECT_EQ(PixelAt(colour, 8 + 4 * column + 1, 20), uint32_t(100 + 60 + column + 1)) << column;
    EXPECT_EQ(PixelAt(colour, 9, 20), 7u) << "texel 0: the face behind shows through";
    EXPECT_EQ(PixelAt(colour, 2, 2), 7u);
}

TEST_F(Softrend, AUserClipPlaneKeepsOnlyThePartOnItsPositiveSide)
{
    hx_actor* plane = HxActorAllocate(HX_ACTOR_CLIP_PLANE, nullptr);
    static_cast<hx_plane*>(plane->type_data)->x = 1; // keep x >= 0 of the view: screen x >= 32.5
    static_cast<hx_plane*>(plane->type_data)->z = 0;
    plane->t.type = HX_TRANSFORM_IDENTITY;
    HxActorAdd(world, plane);
    HxClipPlaneEnable(plane);
    hx_material* m = HxMaterialAdd(Material("white", 0xFFFFFF, 0));
    Place(Mesh("wide", {{4, 4, -10}, {60, 4, -10}, {60, 44, -10}, {4, 4, -10}, {60, 44, -10}, {4, 44, -10}}, m));
    hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
    Render(colour, DepthBuffer());
    for (int x = 4; x < 60; ++x)
        EXPECT_EQ(PixelAt(colour, x, 20), x >= 32 ? 0xFFFFu : 0u) << x;
}

namespace {
int32_t reported[4];
int reports;
void KeepRectangle(hx_actor*, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_matrix4*, const int32_t r[4])
{
    std::copy(r, r + 4, reported);
    ++reports;
}
} // namespace

TEST_F(Softrend, TheScreenRectangleOfAModelIsTheBoundingBoxOfItsDrawnPixels)
{
    ASSERT_EQ(HxZbSetRenderBoundsCallback(KeepRectangle), nullptr);
    hx_material* m = HxMaterialAdd(Material("white", 0xFFFFFF, 0));
    // A triangle drawn by edge walking, a fan of small ones drawn from
    // their boxes row by row, and tiny ones (boxes up to eight columns
    // wide, a short one and a tall one) drawn from one mask of their box.
    const std::vector<std::vector<ScreenPoint>> shapes = {
        {{7.3f, 11.6f, -10}, {50.2f, 3.9f, -10}, {21.7f, 39.4f, -10}},
        {{20.2f, 20.7f, -10}, {31.6f, 9.1f, -10}, {37.4f, 24.3f, -10}, {20.2f, 20.7f, -10}, {37.4f, 24.3f, -10}, {26.9f, 33.8f, -10}},
        {{30.3f, 30.6f, -10}, {37.2f, 31.1f, -10}, {33.1f, 35.9f, -10}, {30.3f, 30.6f, -10}, {33.1f, 35.9f, -10}, {29.6f, 34.2f, -10}},
        {{10.4f, 10.2f, -10}, {13.9f, 10.8f, -10}, {11.2f, 24.7f, -10}},
    };
    for (size_t shape = 0; shape < shapes.size(); ++shape) {
        hx_actor* placed = Place(Mesh("slanted", shapes[shape], m));
        hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
        reports = 0;
        Render(colour, DepthBuffer());
        ASSERT_EQ(reports, 1) << shape;
        int box[4] = {kWidth, kHeight, -1, -1};
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (PixelAt(colour, x, y)) {
                    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x), box[3] = std::max(box[3], y);
                }
        // Reported relative to the pixelmap's origin.
        EXPECT_EQ(std::vector<int32_t>(reported, reported + 4),
                  (std::vector<int32_t>{box[0] - colour->origin_x, box[1] - colour->origin_y,
                                        box[2] - colour->origin_x, box[3] - colour->origin_y}))
            << shape;
        Unplace(placed);
    }
}

TEST_F(Softrend, AZSortPictureEqualsTheZBufferPictureWhenNothingIntersects)
{
    PlaceOverlappingSquares();
    hx_pixelmap* zb = Screen(HX_PMT_RGB_565);
    Render(zb, DepthBuffer());
    hx_pixelmap* zs = ZSortRender(HX_PMT_RGB_565);
    EXPECT_EQ(Pixels(zs), Pixels(zb));
    EXPECT_NE(PixelAt(zs, 40, 30), 0u);
}

TEST_F(Softrend, TexelsWrapMirrorOrClampAtTheMapsEdgesOnLargeAndSmallTriangles)
{
    // A 4 x 4 map whose texels are 16 + 4 row + column, drawn as they are
    // (unlit, no shade table) over a 48 x 32 rectangle mapped from
    // (-1.5, -0.25) to (2.5, 1.25): sixteen texels across, six down.
    hx_pixelmap* map = Table("map", 4, 4, [](int x, int y) { return 16 + 4 * y + x; });
    HxMapAdd(map);
    const float x0 = 8, y0 = 8, width = 48, height = 32, u0 = -1.5f, u1 = 2.5f, v0 = -0.25f, v1 = 1.25f;
    // The rectangle as one pair of triangles (edge walked) or as a grid of
    // 6 x 8 pixel cells (small triangles), the map linear over it either way.
    auto rectangle = [&](int columns, int rows, std::vector<ScreenPoint>* corners, std::vector<hx_vector2>* maps) {
        for (int j = 0; j < rows; ++j)
            for (int i = 0; i < columns; ++i) {
                const int cell[6][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j}, {i + 1, j + 1}, {i, j + 1}};
                for (const auto& c : cell) {
                    const float fx = float(c[0]) / float(columns), fy = float(c[1]) / float(rows);
                    corners->push_back({x0 + width * fx, y0 + height * fy, -10});
                    maps->push_back({u0 + (u1 - u0) * fx, v0 + (v1 - v0) * fy});
                }
            }
    };
    // The texel column (or row) an edge mode gives for a map coordinate
    // (in texels) of a 4-texel side.
    enum Edge {
        Wrap,
        Mirror,
        Clamp
    };
    auto texel = [](double s, Edge edge) {
        const int t = int(std::floor(s));
        if (edge == Clamp)
            return std::clamp(t, 0, 3);
        if (edge == Mirror) {
            const int m = ((t % 8) + 8) % 8;
            return m < 4 ? m : 7 - m;
        }
        return ((t % 4) + 4) % 4;
    };
    struct Case {
        uint32_t mode;
        Edge across, down;
    };
    const Case cases[] = {{0, Wrap, Wrap}, {0x1 | 0x4, Mirror, Mirror}, {0x2 | 0x8, Clamp, Clamp}, {0x2 | 0x4, Clamp, Mirror}};
    for (const Case& c : cases)
        for (const int cells : {1, 8}) {
            hx_material* m = Material("mapped", 0xFFFFFF, 0);
            m->colour_map = map;
            m->mode = c.mode;
            HxMaterialAdd(m);
            std::vector<ScreenPoint> corners;
            std::vector<hx_vector2> maps;
            rectangle(cells, cells / 2 + (cells == 1 ? 1 : 0), &corners, &maps);
            hx_actor* placed = Place(Mesh("rectangle", corners, m, false, maps));
            hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
            Render(colour, DepthBuffer());
            int checked = 0;
            for (int y = int(y0) + 1; y < int(y0 + height) - 1; ++y)
                for (int x = int(x0) + 1; x < int(x0 + width) - 1; ++x) {
                    const double s = 4 * (u0 + (u1 - u0) * (x + 0.5 - x0) / width);
                    const double t = 4 * (v0 + (v1 - v0) * (y + 0.5 - y0) / height);
                    auto nearEdge = [](double q) { return std::fabs(q - std::round(q)) < 0.05; };
                    if (nearEdge(s) || nearEdge(t))
                        continue;
                    ASSERT_EQ(PixelAt(colour, x, y), uint32_t(16 + 4 * texel(t, c.down) + texel(s, c.across)))
                        << "mode " << c.mode << ", " << cells << " cells, pixel " << x << ", " << y;
                    ++checked;
                }
            EXPECT_GT(checked, 900);
            Unplace(placed, m);
        }
}

TEST_F(Softrend, TranslucentIndexedFacesWithoutABlendTableDrawTheirShareOfPixelsByTheMatrix)
{
    // With no blend table to mix indices by, opacity o draws the pixels
    // whose ordered-dither threshold is below round(16 o / 255), on small
    // triangles and edge-walked ones alike.
    PlaceBackdrop(0, 7);
    struct Case {
        uint8_t opacity;
        int level;
    };
    for (const Case c : {Case{0, 0}, Case{64, 4}, Case{128, 8}, Case{200, 13}, Case{255, 16}})
        for (const float size : {20.0f, 40.0f}) {
            hx_material* glass = Material("glass", 0, 0);
            glass->index_base = 50;
            glass->index_range = 0;
            glass->opacity = c.opacity;
            HxMaterialAdd(glass);
            hx_actor* a = Place(Mesh("glass", {{4, 4, -10}, {4 + size, 4, -10}, {4 + size, 4 + size, -10}, {4, 4, -10}, {4 + size, 4 + size, -10}, {4, 4 + size, -10}}, glass));
            hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
            Render(colour, DepthBuffer());
            for (int y = 4; y < 4 + int(size); ++y)
                for (int x = 4; x < 4 + int(size); ++x)
                    ASSERT_EQ(PixelAt(colour, x, y), kBayer[y & 3][x & 3] < c.level ? 50u : 7u)
                        << "opacity " << int(c.opacity) << ", size " << size << ", pixel " << x << ", " << y;
            Unplace(a, glass);
        }
}

TEST_F(Softrend, DitheredMapsTakeTheTexelUpToHalfATexelAwayByTheMatrixWithinAClampedMapsEdges)
{
    // An 8 x 8 map of texels 16 + 8 row + column over a 32 x 32 square:
    // four pixels a texel. A dithered map moves the lookup of pixel (x, y)
    // by (t + 0.5) / 16 - 0.5 texels, t the matrix at (y, x) across and at
    // (x, y + 2) down; 8-bit output does the same for interpolated maps.
    // A clamped coordinate stops half a texel inside the edge first.
    hx_pixelmap* map = Table("map", 8, 8, [](int x, int y) { return 16 + 8 * y + x; });
    HxMapAdd(map);
    struct Case {
        uint32_t flags, mode;
        bool clamp;
    };
    const Case cases[] = {{HX_MATF_DITHER, 0, false}, {HX_MATF_MAP_INTERPOLATION, 0, false}, {HX_MATF_DITHER, 0x2 | 0x8, true}};
    for (const Case& c : cases) {
        hx_material* m = Material("dithered", 0xFFFFFF, c.flags);
        m->colour_map = map;
        m->mode = c.mode;
        HxMaterialAdd(m);
        hx_actor* a = PlaceSquare(m, 8, 8, 32, 1);
        hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
        Render(colour, DepthBuffer());
        auto texel = [&](double s, int threshold) {
            if (c.clamp)
                s = std::clamp(s, 0.5, 7.5);
            const int t = int(std::floor(s + (threshold + 0.5) / 16 - 0.5));
            return c.clamp ? t : (t + 8) % 8;
        };
        int moved = 0;
        for (int y = 8; y < 40; ++y)
            for (int x = 8; x < 40; ++x) {
                const double s = (x + 0.5 - 8) / 4, t = (y + 0.5 - 8) / 4;
                const int column = texel(s, kBayer[x & 3][y & 3]), row = texel(t, kBayer[(y + 2) & 3][x & 3]);
                ASSERT_EQ(PixelAt(colour, x, y), uint32_t(16 + 8 * row + column))
                    << "flags " << c.flags << ", mode " << c.mode << ", pixel " << x << ", " << y;
                moved += column != int(s) || row != int(t) ? 1 : 0;
            }
        EXPECT_GT(moved, 100) << "the lookups move";
        Unplace(a, m);
    }
}

TEST_F(Softrend, InterpolatedMapsBlendTheFourNearestTexelsAt16Bits)
{
    // A 4 x 4 map with red 64 x column and green 64 x row over a 32 x 32
    // square: eight pixels a texel. Interpolated, each channel follows the
    // texel centres linearly, wrapping from the last texel to the first or
    // holding at the edges' centres when clamped; nearest it steps.
    hx_pixelmap* map = HxMapAdd(
        Filled(HX_PMT_RGBX_888, "ramps", 4, 4, [](int x, int y) { return 64 * x << 16 | 64 * y << 8 | 0x80; }));
    for (const bool clamp : {false, true}) {
        hx_material* m = Material("smooth", 0xFFFFFF, HX_MATF_MAP_INTERPOLATION);
        m->colour_map = map;
        m->mode = clamp ? 0x2 | 0x8 : 0;
        HxMaterialAdd(m);
        hx_actor* a = PlaceSquare(m, 8, 8, 32, 1);
        hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
        Render(colour, DepthBuffer());
        // A channel at map coordinate s (texels), 0-255.
        auto channel = [&](double s) {
            if (clamp)
                s = std::clamp(s, 0.5, 3.5);
            const double from = std::floor(s - 0.5), f = s - 0.5 - from;
            const int i = (int(from) + 4) % 4, j = (i + 1) % 4;
            return 64 * i + (64 * j - 64 * i) * f;
        };
        uint32_t reds = 0; // the set of 5-bit reds drawn
        for (int y = 8; y < 40; ++y)
            for (int x = 8; x < 40; ++x) {
                const double red = channel((x + 0.5 - 8) / 8), green = channel((y + 0.5 - 8) / 8);
                const uint32_t p = PixelAt(colour, x, y);
                // Unlit, so unmodulated; cut to 5 and 6 bits.
                ASSERT_NEAR(double(p >> 11), red / 8, 1.0) << "clamp " << clamp << ", pixel " << x << ", " << y;
                ASSERT_NEAR(double((p >> 5) & 63), green / 4, 1.0) << "clamp " << clamp << ", pixel " << x << ", " << y;
                reds |= 1u << (p >> 11);
            }
        EXPECT_GT(std::popcount(reds), 16) << "reds between the texels' four";
        Unplace(a, m);
    }
}

TEST_F(Softrend, AScreenDoorRepeatsAcrossTheFaceWhateverItsWidthAndWithDithering)
{
    // A 3 x 2 door, narrower than the four interleaved runs of a dithered
    // row: pixel (x, y) is drawn where the door's (x mod 3, y mod 2) is set.
    hx_pixelmap* door = Table("door", 3, 2, [](int x, int y) { return (x + y) % 3 != 0 ? 1 : 0; });
    HxTableAdd(door);
    PlaceBackdrop(0, 7);
    for (const uint32_t flags : {0u, uint32_t(HX_MATF_DITHER)}) {
        hx_material* m = Material("grille", 0, flags);
        m->index_base = 50;
        m->index_range = 0;
        m->screendoor = door;
        HxMaterialAdd(m);
        hx_actor* a = Place(Mesh("grille", {{5, 5, -10}, {45, 5, -10}, {45, 45, -10}, {5, 5, -10}, {45, 45, -10}, {5, 45, -10}}, m));
        hx_pixelmap* colour = Screen(HX_PMT_INDEX_8);
        Render(colour, DepthBuffer());
        for (int y = 5; y < 45; ++y)
            for (int x = 5; x < 45; ++x)
                ASSERT_EQ(PixelAt(colour, x, y), (x % 3 + y % 2) % 3 != 0 ? 50u : 7u)
                    << "flags " << flags << ", pixel " << x << ", " << y;
        Unplace(a, m);
    }
}

namespace {

// A 565 texture filled by a function of (column, row) giving 565 words.
template <typename Fn>
hx_pixelmap* RgbMap(const char* name, int width, int height, Fn value)
{
    return Softrend::Filled(HX_PMT_RGB_565, name, width, height, value);
}

// A palette whose entry i is `colours[i]` (0xRRGGBB), the rest black.
hx_pixelmap* Palette(std::initializer_list<uint32_t> colours)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGBX_888, 256, 1, nullptr, 0);
    int i = 0;
    for (uint32_t c : colours)
        HxPixelmapPixelSet(pm, i++, 0, c);
    return pm;
}

// The pixels inside a square drawn by Square (its edge rows and columns
// left out).
std::vector<uint32_t> Inner(hx_pixelmap* pm, int x, int y, int size)
{
    std::vector<uint32_t> out;
    for (int j = y + 1; j < y + size - 1; ++j)
        for (int i = x + 1; i < x + size - 1; ++i)
            out.push_back(Softrend::PixelAt(pm, i, j));
    return out;
}

int Count(const std::vector<uint32_t>& pixels, uint32_t value)
{
    return int(std::count(pixels.begin(), pixels.end(), value));
}

constexpr uint32_t kRed565 = 0xF800, kBlue565 = 0x001F;

} // namespace

TEST_F(Softrend, AMinifiedMapIsDrawnFromItsMipLevelAveragedOrAsTheNearestPaletteEntry)
{
    // 64 x 64 texels over 15 x 15 pixels (4.27 texels a pixel): mip level 2.
    // Unantialiased, nearest sampling keeps showing the pattern.
    hx_pixelmap* checker = HxMapAdd(RgbMap("checker", 64, 64, [](int x, int y) { return (x + y) % 2 ? kBlue565 : kRed565; }));
    hx_pixelmap* indexedChecker = Table("indexed checker", 64, 64, [](int x, int y) { return (x + y) % 2 ? 2 : 1; });
    indexedChecker->map = Palette({0, 0xF80000, 0x0000F8});
    HxMapAdd(indexedChecker);
    // Blocks of red, dark red, blue, blue, averaging (112, 0, 124): dark
    // red (index 2) is the nearest entry, not the block's first; 16-bit
    // screens draw the average.
    hx_pixelmap* blocks = Table("blocks", 64, 64, [](int x, int y) { return y % 2 ? 3 : 1 + x % 2; });
    blocks->map = Palette({0, 0xF80000, 0xC80000, 0x0000F8});
    HxMapAdd(blocks);
    struct Case {
        const char* name;
        hx_pixelmap* map;
        uint8_t screen;
        uint32_t flags;
        uint32_t antialiased;             // every pixel
        std::vector<uint32_t> unfiltered; // each shown without antialiasing
    };
    const Case cases[] = {
        {"565 checker", checker, HX_PMT_RGB_565, 0, Rgb565(0x7C007C), {kRed565, kBlue565}},
        {"565 checker, perspective", checker, HX_PMT_RGB_565, HX_MATF_PERSPECTIVE, Rgb565(0x7C007C), {kRed565, kBlue565}},
        {"8-bit checker (equals: the block's first)", indexedChecker, HX_PMT_INDEX_8, 0, 1, {1, 2}},
        {"8-bit blocks", blocks, HX_PMT_INDEX_8, 0, 2, {1, 2, 3}},
        {"8-bit blocks, linear mip interpolation", blocks, HX_PMT_INDEX_8, HX_MATF_MIP_INTERPOLATION, 2, {1, 2, 3}},
        {"8-bit blocks on 565: the average colour", blocks, HX_PMT_RGB_565, 0, Rgb565(0x70007C), {Rgb565(0xF80000), Rgb565(0xC80000), Rgb565(0x0000F8)}},
    };
    for (const Case& c : cases)
        for (const bool antialiased : {false, true}) {
            hx_material* m = Material("minified", 0xFFFFFF, c.flags | (antialiased ? uint32_t(HX_MATF_MAP_ANTIALIASING) : 0u));
            m->colour_map = c.map;
            HxMaterialAdd(m);
            hx_actor* placed = PlaceSquare(m, 8, 8, 15, 1);
            hx_pixelmap* colour = Screen(c.screen);
            Render(colour, DepthBuffer());
            const std::vector<uint32_t> inner = Inner(colour, 8, 8, 15);
            if (antialiased) {
                EXPECT_EQ(Count(inner, c.antialiased), int(inner.size())) << c.name;
                EXPECT_EQ(Pixels(ZSortRender(c.screen)), Pixels(colour)) << c.name << ": Z-sort";
            } else {
                int shown = 0;
                for (uint32_t value : c.unfiltered) {
                    EXPECT_GT(Count(inner, value), 0) << c.name << ", value " << value;
                    shown += Count(inner, value);
                }
                EXPECT_EQ(shown, int(inner.size())) << c.name;
            }
            Unplace(placed, m);
        }
}

TEST_F(Softrend, AMapDrawnAtOneToOneOrMagnifiedStaysOnLevelZero)
{
    hx_pixelmap* map = Table("map", 16, 16, [](int x, int y) { return 1 + (x * 7 + y * 3) % 13; });
    map->map = Palette({0, 0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0xF00000, 0x00F000, 0x0000F0,
                        0xF0F000, 0x00F0F0, 0xF000F0, 0x808080, 0x404040, 0xC0C0C0});
    HxMapAdd(map);
    for (const uint8_t screen : {HX_PMT_INDEX_8, HX_PMT_RGB_565})
        for (const float size : {16.0f, 37.0f}) {
            std::vector<uint32_t> pictures[3];
            const uint32_t flags[3] = {0, HX_MATF_MAP_ANTIALIASING,
                                       HX_MATF_MAP_ANTIALIASING | HX_MATF_MIP_INTERPOLATION};
            for (int i = 0; i < 3; ++i) {
                hx_material* m = Material("mapped", 0xFFFFFF, flags[i]);
                m->colour_map = map;
                HxMaterialAdd(m);
                hx_actor* placed = PlaceSquare(m, 5, 5, size, 1);
                hx_pixelmap* colour = Screen(screen);
                Render(colour, DepthBuffer());
                pictures[i] = Pixels(colour);
                Unplace(placed, m);
            }
            EXPECT_EQ(pictures[1], pictures[0]) << "size " << size << ", screen " << int(screen);
            EXPECT_EQ(pictures[2], pictures[0]) << "size " << size << ", screen " << int(screen) << ", linear";
        }
}

TEST_F(Softrend, LinearMipInterpolationSharesThePixelsOutBetweenTheTwoLevels)
{
    // Columns red, red, blue, blue: level 1 is red, blue; level 2 their
    // average. Three texels a pixel (ratio 9, log2 / 2 = 1.58): level 1;
    // interpolated, 9 pixels in 16 (round(0.58 x 16), those of the
    // ordered-dither matrix's lowest thresholds) take level 2 instead, in
    // the Z-buffer and the Z-sort picture alike.
    hx_pixelmap* map = HxMapAdd(RgbMap("stripes", 8, 8, [](int x, int) { return x % 4 < 2 ? kRed565 : kBlue565; }));
    for (const bool linear : {false, true}) {
        hx_material* m = Material("mapped", 0xFFFFFF,
                                  HX_MATF_MAP_ANTIALIASING | (linear ? uint32_t(HX_MATF_MIP_INTERPOLATION) : 0u));
        m->colour_map = map;
        HxMaterialAdd(m);
        hx_actor* placed = PlaceSquare(m, 8, 8, 16, 6);
        hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
        Render(colour, DepthBuffer());
        int levelOne = 0;
        for (int y = 9; y < 23; ++y)
            for (int x = 9; x < 23; ++x) {
                const uint32_t p = PixelAt(colour, x, y);
                const bool averaged = p == Rgb565(0x7C007C);
                ASSERT_TRUE(averaged || p == kRed565 || p == kBlue565) << "pixel " << x << ", " << y;
                ASSERT_EQ(averaged, linear && kBayer[y & 3][x & 3] < 9) << "pixel " << x << ", " << y;
                levelOne += averaged ? 0 : 1;
            }
        EXPECT_GT(levelOne, 0) << "linear " << linear;
        EXPECT_EQ(Pixels(ZSortRender(HX_PMT_RGB_565)), Pixels(colour)) << "linear " << linear;
        Unplace(placed, m);
    }
}

TEST_F(Softrend, TransparencySurvivesMinificationWhereHalfABlockIsTransparent)
{
    // Texel 0 in every other column (two of each block's four): the levels
    // are transparent. Texel 0 once a block: they are opaque, of index 5.
    hx_pixelmap* halfClear = Table("half clear", 64, 64, [](int x, int) { return x % 2 ? 5 : 0; });
    hx_pixelmap* quarterClear = Table("quarter clear", 64, 64, [](int x, int y) { return x % 2 || y % 2 ? 5 : 0; });
    for (hx_pixelmap* map : {halfClear, quarterClear}) {
        map->map = Palette({0x000000, 0, 0, 0, 0, 0xF80000});
        HxMapAdd(map);
    }
    PlaceBackdrop(0x00FF00, 7);
    for (const uint8_t screen : {HX_PMT_INDEX_8, HX_PMT_RGB_565})
        for (hx_pixelmap* map : {halfClear, quarterClear}) {
            hx_material* m = Material("clear", 0xFFFFFF, HX_MATF_Z_TRANSPARENCY | HX_MATF_MAP_ANTIALIASING);
            m->colour_map = map;
            HxMaterialAdd(m);
            hx_actor* placed = PlaceSquare(m, 8, 8, 15, 1);
            hx_pixelmap* colour = Screen(screen);
            Render(colour, DepthBuffer());
            const bool clear = map == halfClear;
            const uint32_t want = screen == HX_PMT_INDEX_8 ? (clear ? 7u : 5u) : Rgb565(clear ? 0x00FF00 : 0xF80000);
            const std::vector<uint32_t> inner = Inner(colour, 8, 8, 15);
            EXPECT_EQ(Count(inner, want), int(inner.size())) << map->identifier << ", screen " << int(screen);
            Unplace(placed, m);
        }
}

TEST_F(Softrend, AnUpdatedMapIsMinifiedFromItsNewTexels)
{
    // The levels made for the first picture go with the texels they were
    // made from.
    hx_pixelmap* map = HxMapAdd(RgbMap("map", 64, 64, [](int, int) { return kRed565; }));
    hx_material* m = Material("minified", 0xFFFFFF, HX_MATF_MAP_ANTIALIASING);
    m->colour_map = map;
    HxMaterialAdd(m);
    PlaceSquare(m, 8, 8, 15, 1);
    for (const uint32_t texel : {kRed565, kBlue565}) {
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                HxPixelmapPixelSet(map, x, y, texel);
        HxMapUpdate(map, 0xFFF);
        hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
        Render(colour, DepthBuffer());
        const std::vector<uint32_t> inner = Inner(colour, 8, 8, 15);
        EXPECT_EQ(Count(inner, texel), int(inner.size())) << texel;
    }
}

TEST_F(Softrend, AClampedMapStopsAtTheEdgeOfItsMipLevel)
{
    // Red left half, blue right half, clamped, mapped twice across 15
    // pixels (8.5 texels a pixel across, 4.27 down: level 2). Past the
    // map's edge the level's last column repeats: blue, never red again.
    hx_pixelmap* map = HxMapAdd(RgbMap("halves", 64, 64, [](int x, int) { return x < 32 ? kRed565 : kBlue565; }));
    hx_material* m = Material("clamped", 0xFFFFFF, HX_MATF_MAP_ANTIALIASING);
    m->colour_map = map;
    m->mode = 0x2 | 0x8;
    HxMaterialAdd(m);
    std::vector<hx_vector2> maps;
    const std::vector<ScreenPoint> corners = Square(8, 8, 15, -10, &maps, 1);
    for (hx_vector2& uv : maps)
        uv.x *= 2;
    Place(Mesh("square", corners, m, false, maps));
    hx_pixelmap* colour = Screen(HX_PMT_RGB_565);
    Render(colour, DepthBuffer());
    for (int y = 9; y < 22; ++y)
        for (int x = 9; x < 22; ++x) {
            const double u = 128 * (x + 0.5 - 8) / 15;
            if (std::fabs(u - 32) > 8) {
                ASSERT_EQ(PixelAt(colour, x, y), u < 32 ? kRed565 : kBlue565) << x << ", " << y;
            }
        }
}
