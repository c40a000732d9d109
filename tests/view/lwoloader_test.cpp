// The LightWave loader: golden bytes of our writer, faces and vertices after
// the quad split and winding reversal, surfaces to materials, the three
// texture mappings, textures, smoothing with and without the cache, hull
// boxes, wireframes, points as text, the PCX size query, the resource
// manager's rows, and malformed files.
#include "tests/view/lwo_fixture.h"

#include "system/raster.h"
#include "system/res/resman.h"
#include "view/vectoricons.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

using namespace lwotest;

namespace {

hx_model* Load(const char* name)
{
    int32_t size = -1;
    return LWO2HXM(name, nullptr, &size);
}

// The model vertex position a file point becomes.
hx_vector3 Scaled(float x, float y, float z) { return {x * 100, -y * 100, z * 100}; }

void ExpectVertex(const hx_vertex& v, hx_vector3 p)
{
    EXPECT_EQ(v.p.x, p.x);
    EXPECT_EQ(v.p.y, p.y);
    EXPECT_EQ(v.p.z, p.z);
}

} // namespace

TEST_F(LwoTest, TheWriterLaysATinyObjectOutByteForByte)
{
    // Written by hand from the format: FORM, length, LWOB, PNTS (three
    // points of three big-endian floats), SRFS ("Hull" with its NUL, padded
    // to 6), POLS (3 points 0 1 2, surface 1), SURF (name, then COLR of
    // length 4).
    // clang-format off
    const std::vector<uint8_t> golden = {
        'F', 'O', 'R', 'M', 0, 0, 0, 0x68, 'L', 'W', 'O', 'B',
        'P', 'N', 'T', 'S', 0, 0, 0, 36,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x3F, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0x3F, 0x80, 0, 0, 0, 0, 0, 0,
        'S', 'R', 'F', 'S', 0, 0, 0, 6, 'H', 'u', 'l', 'l', 0, 0,
        'P', 'O', 'L', 'S', 0, 0, 0, 10, 0, 3, 0, 0, 0, 1, 0, 2, 0, 1,
        'S', 'U', 'R', 'F', 0, 0, 0, 16, 'H', 'u', 'l', 'l', 0, 0,
        'C', 'O', 'L', 'R', 0, 4, 200, 40, 40, 0,
    };
    // clang-format on
    EXPECT_EQ(lwob::Write(Triangle({lwob::Colour(200, 40, 40)})), golden);

    WriteBytes("tiny.lwo", golden);
    hx_model* m = Load("tiny.lwo");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->nfaces, 1);
    EXPECT_EQ(m->nvertices, 3);
    ASSERT_NE(m->faces[0].material, nullptr);
    EXPECT_STREQ(m->faces[0].material->identifier, "Hull");
    EXPECT_EQ(m->faces[0].material->index_base, 48);
}

TEST_F(LwoTest, FacesAreSplitAndReversedAndOtherPolygonsSkipped)
{
    struct Case {
        const char* what;
        std::vector<std::vector<uint16_t>> polygons;
        int faces;
        int vertices;
    };
    const Case cases[] = {
        {"a triangle", {{0, 1, 2}}, 1, 3},
        {"a quad gives two", {{0, 1, 2, 3}}, 2, 4},
        {"a pentagon, a line and an empty polygon are stepped over", {{0, 1, 2, 3, 4}, {0, 1}, {}, {2, 3, 4}}, 1, 3},
        {"points shared between faces are shared vertices", {{0, 1, 2}, {0, 2, 3}, {0, 3, 4, 1}}, 4, 5},
    };
    int n = 0;
    for (const Case& c : cases) {
        lwob::Object o;
        for (int i = 0; i < 5; ++i)
            o.Point(static_cast<float>(i), static_cast<float>(i * i), 1);
        int16_t s = o.AddSurface({"Hull", {}});
        for (const auto& p : c.polygons)
            o.polygons.push_back({p, s});
        std::string name = "case" + std::to_string(n++) + ".lwo";
        WriteObject(name, o);
        hx_model* m = Load(name.c_str());
        ASSERT_NE(m, nullptr) << c.what;
        EXPECT_EQ(m->nfaces, c.faces) << c.what;
        EXPECT_EQ(m->nvertices, c.vertices) << c.what;
    }
}

TEST_F(LwoTest, AQuadBecomesCbaAndAdcWithItsDiagonalHidden)
{
    lwob::Object o;
    o.Point(0, 0, 0);
    o.Point(1, 0, 0);
    o.Point(1, 1, 0);
    o.Point(0, 1, 0);
    o.polygons.push_back({{0, 1, 2, 3}, o.AddSurface({"Hull", {}})});
    WriteObject("quad.lwo", o);
    hx_model* m = Load("quad.lwo");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->nfaces, 2);
    // Vertices are numbered by first use: c, b, a, then d.
    ExpectVertex(m->vertices[0], Scaled(1, 1, 0));
    ExpectVertex(m->vertices[1], Scaled(1, 0, 0));
    ExpectVertex(m->vertices[2], Scaled(0, 0, 0));
    ExpectVertex(m->vertices[3], Scaled(0, 1, 0));
    EXPECT_EQ((std::vector<int>{m->faces[0].vertices[0], m->faces[0].vertices[1], m->faces[0].vertices[2]}),
              (std::vector<int>{0, 1, 2}));
    EXPECT_EQ((std::vector<int>{m->faces[1].vertices[0], m->faces[1].vertices[1], m->faces[1].vertices[2]}),
              (std::vector<int>{2, 3, 0}));
    EXPECT_EQ(m->faces[0].flags, 4);
    EXPECT_EQ(m->faces[1].flags, 4);
    EXPECT_EQ(m->flags & 0x6, 0x6);
    EXPECT_EQ(HxModelFind("quad.lwo"), m);
    EXPECT_EQ(Load("quad.lwo"), m) << "a second request finds the registered model";
}

TEST_F(LwoTest, EachPointDrawsOneTexturePairFromTheSeededGenerator)
{
    lwob::Object o;
    o.Point(0, 0, 0);
    o.Point(1, 0, 0);
    o.Point(0, 1, 0);
    o.Point(0, 0, 0); // the same place as point 0, with a pair of its own
    int16_t s = o.AddSurface({"Hull", {}});
    o.polygons.push_back({{0, 1, 2}, s});
    o.polygons.push_back({{3, 2, 1}, s});
    WriteObject("pairs.lwo", o);
    CRandSeed(11);
    float u[4], v[4];
    for (int i = 0; i < 4; ++i) {
        u[i] = static_cast<float>(CRand() % 100) * 0.01f;
        v[i] = static_cast<float>(CRand() % 100) * 0.01f;
    }
    CRandSeed(11);
    hx_model* m = Load("pairs.lwo");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->nvertices, 4) << "two corners at one place with different pairs stay two vertices";
    // Face 0 is (2, 1, 0): vertex 0 is point 2.
    EXPECT_EQ(m->vertices[0].map.x, u[2]);
    EXPECT_EQ(m->vertices[0].map.y, v[2]);
    EXPECT_EQ(m->vertices[2].map.x, u[0]);
    EXPECT_EQ(m->vertices[3].map.x, u[3]);
}

TEST_F(LwoTest, SurfacesBecomeMaterials)
{
    struct Case {
        const char* what;
        std::vector<lwob::SubChunk> subs;
        uint8_t indexBase, indexRange;
        float power;
        uint32_t flagsSet, flagsClear;
        uint32_t colour; // what a 16-bit screen draws: the surface's own
    };
    const Case cases[] = {
        {"no sub-chunks", {}, 0, 0, 96, 0x1, 0x40 | 0x4, 0},
        {"red", {lwob::Colour(200, 40, 40)}, 48, 25, 96, 0x1, 0, 0xC82828},
        {"black takes row 0", {lwob::Colour(0, 0, 0)}, 16, 0, 96, 0x1, 0, 0},
        {"white", {lwob::Colour(255, 255, 255)}, 16, 31, 96, 0x1, 0, 0xFFFFFF},
        {"blue", {lwob::Colour(40, 40, 200)}, 112, 25, 96, 0x1, 0, 0x2828C8},
        {"dark yellow", {lwob::Colour(120, 120, 0)}, 144, 15, 96, 0x1, 0, 0x787800},
        {"brown", {lwob::Colour(128, 80, 48)}, 208, 16, 96, 0x1, 0, 0x805030},
        {"gloss 0x10", {lwob::U16("GLOS", 0x10)}, 0, 0, 12, 0x1, 0, 0},
        {"gloss 0x40 and 0x10", {lwob::U16("GLOS", 0x50)}, 0, 0, 45, 0x1, 0, 0},
        {"gloss 0x400 wins", {lwob::U16("GLOS", 0x510)}, 0, 0, 100, 0x1, 0, 0},
        {"gloss without a known bit", {lwob::U16("GLOS", 0x1)}, 0, 0, 0, 0x1, 0, 0},
        {"smooth", {lwob::U16("FLAG", 0x4)}, 0, 0, 96, 0x1 | 0x4, 0, 0},
        {"double-sided", {lwob::U16("FLAG", 0x100)}, 0, 0, 96, 0x1 | 0x1000, 0x4, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string name = "surf" + std::to_string(n++) + ".lwo";
        WriteObject(name, Triangle(c.subs));
        hx_model* m = Load(name.c_str());
        ASSERT_NE(m, nullptr) << c.what;
        const hx_material* mat = m->faces[0].material;
        ASSERT_NE(mat, nullptr) << c.what;
        EXPECT_EQ(mat->index_base, c.indexBase) << c.what;
        EXPECT_EQ(mat->index_range, c.indexRange) << c.what;
        EXPECT_EQ(mat->power, c.power) << c.what;
        EXPECT_EQ(mat->flags & c.flagsSet, c.flagsSet) << c.what;
        EXPECT_EQ(mat->flags & c.flagsClear, 0u) << c.what;
        EXPECT_EQ(mat->colour, c.colour) << c.what;
        EXPECT_EQ(mat->ka, 0.2f) << c.what;
        EXPECT_EQ(mat->kd, 0.62f) << c.what;
        EXPECT_EQ(HxMaterialFind("Hull"), mat) << c.what;
    }
}

TEST_F(LwoTest, MaterialsCopyTheStandardOneAndSelfLitSurfacesLoseTheirLighting)
{
    hx_material* standard = HxMaterialAllocate("standard");
    standard->ka = 0.0f, standard->kd = 0.67f, standard->ks = 0.75f, standard->power = 50.0f;
    HxMaterialAdd(standard);
    gSettings.perspective = 255;
    WriteObject("plain.lwo", Triangle({}));
    WriteObject("lit.lwo", Triangle({lwob::U16("LUMI", 200)}));
    WriteObject("dim.lwo", Triangle({lwob::U16("LUMI", 128)}));
    const hx_material* plain = Load("plain.lwo")->faces[0].material;
    EXPECT_EQ(plain->kd, 0.67f);
    EXPECT_EQ(plain->power, 50.0f);
    EXPECT_EQ(plain->flags & 0x20, 0x20u) << "the perspective switch";
    const hx_material* lit = Load("lit.lwo")->faces[0].material;
    EXPECT_EQ(lit->ka, 0.5f);
    EXPECT_EQ(lit->kd, 0.0f);
    EXPECT_EQ(lit->ks, 0.0f);
    EXPECT_EQ(Load("dim.lwo")->faces[0].material->kd, 0.67f) << "128 is not above 128";
}

TEST_F(LwoTest, TheThreeMappingsSetTheTexturePairs)
{
    // One triangle at (1, 2, 3), (3, 2, 3), (1, 4, 3); texture centre
    // (1, 2, 3), size (2, 4, 8); the sub-chunks come before the frame they
    // use, as LightWave writes them.
    auto object = [](const char* kind, uint16_t axis, float across, float down) {
        lwob::Object o;
        o.Point(1, 2, 3);
        o.Point(3, 2, 3);
        o.Point(1, 4, 3);
        int16_t s = o.AddSurface({"Hull",
                                  {lwob::Text("CTEX", kind), lwob::U16("TFLG", axis), lwob::Vector("TSIZ", 2, 4, 8),
                                   lwob::Vector("TCTR", 1, 2, 3), lwob::Float("TFP0", across), lwob::Float("TFP1", down)}});
        o.polygons.push_back({{0, 1, 2}, s});
        return o;
    };
    // Face corners are the points reversed: corner 0 is point 2 (1, 4, 3),
    // corner 1 point 1 (3, 2, 3), corner 2 point 0 (1, 2, 3).
    WriteObject("planar.lwo", object("Planar Image Map", 4, 1, 1));
    hx_model* planar = Load("planar.lwo");
    ASSERT_NE(planar, nullptr);
    const hx_vertex* v = planar->vertices;
    // Axis z: u = (x - (1 + 1)) / 2, v = -((y - (2 + 2)) / 4).
    EXPECT_FLOAT_EQ(v[0].map.x, -0.5f);
    EXPECT_FLOAT_EQ(v[0].map.y, 0.0f);
    EXPECT_FLOAT_EQ(v[1].map.x, 0.5f);
    EXPECT_FLOAT_EQ(v[1].map.y, 0.5f);

    WriteObject("cylinder.lwo", object("Cylindrical Image Map", 2, 2, 1));
    hx_model* cylinder = Load("cylinder.lwo");
    ASSERT_NE(cylinder, nullptr);
    // Axis y: h = dy / 4, (e, f) = (dz, dx). Corner 0: d = (0, 2, 0): r 0, w 0,
    // v = -(0.5 + 0.5). Corner 1: d = (2, 0, 0): e 0, f 2, w = 1/4, u = 0.5.
    v = cylinder->vertices;
    EXPECT_FLOAT_EQ(v[0].map.x, 0.0f);
    EXPECT_FLOAT_EQ(v[0].map.y, -1.0f);
    EXPECT_NEAR(v[1].map.x, 0.5f, 1e-5);
    EXPECT_FLOAT_EQ(v[1].map.y, -0.5f);

    WriteObject("sphere.lwo", object("Spherical Image Map", 2, 2, 3));
    hx_model* sphere = Load("sphere.lwo");
    ASSERT_NE(sphere, nullptr);
    // Corner 0: h = 0.5, r = 0: v = 3 x acos(-1) / pi = 3. Corner 1: h = 0,
    // r = 2: v = 3 x acos(0) / pi = 1.5.
    v = sphere->vertices;
    EXPECT_NEAR(v[0].map.y, 3.0f, 1e-4);
    EXPECT_NEAR(v[1].map.y, 1.5f, 1e-4);
}

TEST_F(LwoTest, AFaceAcrossTheSeamWrapsItsLowCornersOnce)
{
    lwob::Object o;
    // Around y, (e, f) = (z, x): w just below 1, just above 0, and 0.
    o.Point(-0.1f, 0, 1);
    o.Point(0.1f, 0, 1);
    o.Point(0, 1, 1);
    int16_t s = o.AddSurface({"Hull", {lwob::Text("CTEX", "Cylindrical Image Map"), lwob::U16("TFLG", 2), lwob::Float("TFP0", 4)}});
    o.polygons.push_back({{0, 1, 2}, s});
    WriteObject("seam.lwo", o);
    hx_model* m = Load("seam.lwo");
    ASSERT_NE(m, nullptr);
    // Every corner ends up beyond half a wrap: the low ones moved up by 4.
    for (int i = 0; i < m->nvertices; ++i)
        EXPECT_GT(m->vertices[i].map.x, 2.0f) << i;
}

TEST_F(LwoTest, TexturesComeFromTheFoldersOrTheRememberedListAndAMissingOneIsSaidOnce)
{
    hx_pixelmap* hull = AddMap("zqk\\resource\\art\\textures\\moreships\\hullplate.pix");
    hx_pixelmap* table = AddMap("zqk\\resource\\art\\textures\\ships\\klvstd.tab", true);
    WriteObject("tex.lwo", Triangle({lwob::Text("TIMG", "C:\\Art\\hullplate.iff")}));
    const hx_material* m = Load("tex.lwo")->faces[0].material;
    EXPECT_EQ(m->colour_map, hull);
    EXPECT_EQ(m->index_shade, table);

    // Two objects naming the same missing texture: one message.
    WriteObject("gone1.lwo", Triangle({lwob::Text("TIMG", "X:\\nothing.iff")}));
    WriteObject("gone2.lwo", Triangle({lwob::Text("TIMG", "X:\\nothing.iff")}));
    const hx_material* gone = Load("gone1.lwo")->faces[0].material;
    EXPECT_EQ(gone->colour_map, nullptr);
    EXPECT_EQ(gone->index_shade, table) << "untextured, still shaded through the ships' table";
    EXPECT_EQ(Load("gone2.lwo")->faces[0].material->colour_map, nullptr);
    EXPECT_EQ(gBoxes, (std::vector<std::string>{"LWOB Loader Error: Tragedy - I have failed to find nothing.pix in "
                                                "zqk\\resource\\art\\textures\\ships\n "}));

    // A remembered texture wins for the surface of its name.
    hx_pixelmap* planet = AddMap("zqk\\resource\\art\\textures\\planets\\rock.pix");
    LoadTexturePixelmap("Hull", "\\data\\maps\\rock.bmp");
    EXPECT_EQ(FindTexturePixelmap("Hull"), planet);
    WriteObject("remembered.lwo", Triangle({lwob::Text("TIMG", "X:\\nothing.iff")}));
    EXPECT_EQ(Load("remembered.lwo")->faces[0].material->colour_map, planet);

    gBoxes.clear();
    LoadTexturePixelmap("Other", "lost.bmp");
    EXPECT_EQ(gBoxes, (std::vector<std::string>{"Load Pixelmap Error: Disaster - lost.pix is nowhere to be found\n "}));
    EXPECT_EQ(FindTexturePixelmap("Other"), nullptr);
    ClearTexturePixelmaps();
    EXPECT_EQ(FindTexturePixelmap("Hull"), nullptr);
}

TEST_F(LwoTest, GeneratedShadesServeRememberedTexturesAndEveryTextureWithTheSwitch)
{
    AddMap("zqk\\resource\\art\\textures\\ships\\hullplate.pix");
    hx_pixelmap* file = AddMap("zqk\\resource\\art\\textures\\ships\\klvstd.tab", true);
    hx_pixelmap* planet = AddMap("zqk\\resource\\art\\textures\\planets\\rock.pix");
    LoadTexturePixelmap("Hull", "rock.bmp");
    WriteObject("remembered.lwo", Triangle({lwob::Text("TIMG", "X:\\nothing.iff")}));
    const hx_material* remembered = Load("remembered.lwo")->faces[0].material;
    EXPECT_EQ(remembered->colour_map, planet);
    ASSERT_NE(remembered->index_shade, nullptr);
    EXPECT_EQ(remembered->index_shade, FindGeneratedShadeTable());
    // The 48 x 14 table: colour 20 at level 0 goes to 48 + 8 x 4 x 14 / 256.
    EXPECT_EQ(static_cast<const uint8_t*>(remembered->index_shade->pixels)[20], 49);
    ClearTexturePixelmaps();

    WriteObject("plain.lwo", Triangle({lwob::Text("TIMG", "hullplate.iff")}));
    EXPECT_EQ(Load("plain.lwo")->faces[0].material->index_shade, file);
    gSettings.shades = 1;
    WriteObject("shaded.lwo", Triangle({lwob::Text("TIMG", "hullplate.iff")}));
    EXPECT_EQ(Load("shaded.lwo")->faces[0].material->index_shade, remembered->index_shade) << "built once, shared";
    EXPECT_EQ(HxMapCount("shades_generated"), 1);
}

TEST_F(LwoTest, AMissingShadeTableIsSaidOnce)
{
    AddMap("zqk\\resource\\art\\textures\\ships\\hullplate.pix");
    WriteObject("a.lwo", Triangle({lwob::Text("TIMG", "hullplate.iff")}));
    WriteObject("b.lwo", Triangle({lwob::Text("TIMG", "hullplate.iff")}));
    Load("a.lwo");
    Load("b.lwo");
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_NE(gBoxes[0].find("Tragedy - I have failed to find klvstd.tab"), std::string::npos);
}

namespace {

// A cube of six quads, all of one surface with the given sub-chunks.
lwob::Object Cube(std::vector<lwob::SubChunk> subs)
{
    lwob::Object o;
    lwob::AddBox(o, {-1, -1, -1}, {1, 1, 1}, o.AddSurface({"Hull", std::move(subs)}));
    return o;
}

std::vector<int> Smoothing(const hx_model* m)
{
    std::vector<int> out;
    for (int i = 0; i < m->nfaces; ++i)
        out.push_back(m->faces[i].smoothing);
    return out;
}

} // namespace

TEST_F(LwoTest, SmoothingGroupsFollowTheSmoothingAngleAndHiddenEdgesTheFlatOnes)
{
    SetLwoSmoothingCache(false);
    WriteObject("sharp.lwo", Cube({lwob::U16("FLAG", 4)}));
    hx_model* sharp = Load("sharp.lwo");
    ASSERT_NE(sharp, nullptr);
    // Right angles are beyond 1.5207: each side's two triangles make a group.
    EXPECT_EQ(Smoothing(sharp), (std::vector<int>{1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32}));
    for (int i = 0; i < sharp->nfaces; ++i)
        EXPECT_EQ(sharp->faces[i].flags, 4) << "only the diagonals are hidden";

    WriteObject("round.lwo", Cube({lwob::U16("FLAG", 4), lwob::Float("SMAN", 1.6f)}));
    EXPECT_EQ(Smoothing(Load("round.lwo")), std::vector<int>(12, 1));

    WriteObject("flat.lwo", Cube({}));
    // Group 17, not smoothed, leaves the mask 0, which the model update
    // reads as every group.
    EXPECT_EQ(Smoothing(Load("flat.lwo")), std::vector<int>(12, 0xFFFF));
}

// An edge that three faces share: the first face links to the later two in
// face order, so its link ends on the last, and the middle face, linked
// only towards the first, is reached by no flood from it and starts a group
// of its own.
TEST_F(LwoTest, AnEdgeOfThreeFacesLinksTheFirstToTheLast)
{
    SetLwoSmoothingCache(false);
    lwob::Object o;
    int16_t s = o.AddSurface({"Hull", {lwob::U16("FLAG", 4)}});
    uint16_t p0 = o.Point(0, -1, 0), p1 = o.Point(0, 0, 0), p2 = o.Point(1, 0, 0);
    uint16_t p3 = o.Point(0.5f, 1, 0.2f), p4 = o.Point(0.5f, 1, -0.2f);
    o.polygons.push_back({{p0, p1, p2}, s});
    o.polygons.push_back({{p2, p1, p3}, s});
    o.polygons.push_back({{p2, p1, p4}, s});
    WriteObject("fin.lwo", o);
    EXPECT_EQ(Smoothing(Load("fin.lwo")), (std::vector<int>{1, 2, 1}));
}

TEST_F(LwoTest, TheGroupCounterWrapsAfterSixteen)
{
    SetLwoSmoothingCache(false);
    lwob::Object o;
    int16_t s = o.AddSurface({"Hull", {lwob::U16("FLAG", 4)}});
    for (int i = 0; i < 18; ++i) {
        float x = static_cast<float>(i * 10);
        uint16_t a = o.Point(x, 0, 0), b = o.Point(x + 1, 0, 0), c = o.Point(x, 1, 0);
        o.polygons.push_back({{a, b, c}, s});
    }
    WriteObject("many.lwo", o);
    std::vector<int> expected;
    for (int i = 0; i < 18; ++i)
        expected.push_back(1 << (i % 16));
    EXPECT_EQ(Smoothing(Load("many.lwo")), expected);
}

TEST_F(LwoTest, TheCacheIsWrittenReadAndRebuiltWhenItDoesNotFit)
{
    WriteObject("obj\\cube.LWO", Cube({lwob::U16("FLAG", 4)}));
    ASSERT_NE(Load("obj\\cube.LWO"), nullptr);
    std::string written = ReadBytes("obj/cube.smg");
    ASSERT_EQ(written.size(), 8u + 24u);
    EXPECT_EQ(written.substr(0, 8), std::string("\x02\0\0\0\x0c\0\0\0", 8));
    EXPECT_EQ(written.substr(8, 4), std::string("\x01\x04\x01\x04", 4));

    // A cache that fits is believed: every face in group 3, no edge hidden.
    std::string forced = written.substr(0, 8);
    for (int i = 0; i < 12; ++i)
        forced += std::string("\x03\x00", 2);
    scratch.Write("obj/cube.smg", forced);
    HxModelRemove(HxModelFind("obj\\cube.LWO"));
    hx_model* cached = Load("obj\\cube.LWO");
    EXPECT_EQ(Smoothing(cached), std::vector<int>(12, 4));
    EXPECT_EQ(cached->faces[0].flags, 0);

    // Version 1, a count for other faces, a short file or a group out of
    // range: ignored, worked out again and rewritten.
    const std::string stale[] = {
        std::string("\x01\0\0\0\x0c\0\0\0", 8) + forced.substr(8),
        std::string("\x02\0\0\0\x0b\0\0\0", 8) + forced.substr(8, 22),
        forced.substr(0, 20),
        written.substr(0, 8) + std::string("\x12\x00", 2) + forced.substr(10),
    };
    for (const std::string& bad : stale) {
        scratch.Write("obj/cube.smg", bad);
        HxModelRemove(HxModelFind("obj\\cube.LWO"));
        hx_model* rebuilt = Load("obj\\cube.LWO");
        ASSERT_NE(rebuilt, nullptr);
        EXPECT_EQ(rebuilt->faces[0].smoothing, 1);
        EXPECT_EQ(ReadBytes("obj/cube.smg"), written);
    }

    // With the cache off the smoothing is worked out and the cache rewritten.
    scratch.Write("obj/cube.smg", forced);
    SetLwoSmoothingCache(false);
    HxModelRemove(HxModelFind("obj\\cube.LWO"));
    EXPECT_EQ(Load("obj\\cube.LWO")->faces[0].smoothing, 1);
    EXPECT_EQ(ReadBytes("obj/cube.smg"), written);
}

TEST_F(LwoTest, CachePathsAndBoxPathsComeFromTheName)
{
    char out[64];
    LwoCachePath("zqk\\resource\\shapes\\Ship.LwO.bak", out, sizeof out);
    EXPECT_STREQ(out, "zqk\\resource\\shapes\\Ship.smg");
    LwoBoxPath("a.b\\ship.lwo", out, sizeof out);
    EXPECT_STREQ(out, "a.b\\ship_BOX.lwo");
    LwoCachePath("noextension", out, sizeof out);
    EXPECT_STREQ(out, "noextension.smg");
}

TEST_F(LwoTest, HullBoxesComeFromTheCompanionFile)
{
    WriteObject("ship.lwo", Triangle());
    lwob::Object boxes;
    int16_t neg = boxes.AddSurface({"negative bay", {}});
    int16_t sys = boxes.AddSurface({"SYS_3", {}});
    int16_t hull = boxes.AddSurface({"hull", {}});
    int16_t upper = boxes.AddSurface({"NEG", {}});
    lwob::AddBox(boxes, {0, 0, 0}, {1, 2, 3}, neg);
    lwob::AddBox(boxes, {10, 10, 10}, {11, 11, 11}, sys);
    lwob::AddBox(boxes, {-5, -5, -5}, {-4, -4, -4}, hull);
    lwob::AddBox(boxes, {20, 30, 40}, {21, 31, 41}, upper);
    WriteObject("ship_BOX.lwo", boxes);

    hx_model* m = Load("ship.lwo");
    ASSERT_NE(m, nullptr);
    HullBounds* bounds = FindHullBounds(m);
    ASSERT_NE(bounds, nullptr);
    EXPECT_EQ(GetModelHullBounds("ship.lwo", m), bounds) << "one record per model";
    std::vector<HullBox*> list;
    for (HullBox* b = bounds->boxes; b; b = b->next)
        list.push_back(b);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0]->flags, 4u);
    EXPECT_EQ(list[0]->minimum.y, -200.0f);
    EXPECT_EQ(list[0]->maximum.y, 0.0f);
    EXPECT_EQ(list[0]->maximum.z, 300.0f);
    EXPECT_EQ(list[1]->flags, 0x10u | 0x300u);
    EXPECT_EQ(list[1]->minimum.x, 1000.0f);
    EXPECT_EQ(list[2]->flags, 0u);
    EXPECT_EQ(list[3]->flags, 4u);
    // The component box hands its bits to one of the hull points.
    EXPECT_EQ(bounds->pointCount, 12);
    uint32_t componentBits = 0;
    for (uint32_t flags : bounds->pointFlags)
        componentBits |= flags;
    EXPECT_EQ(componentBits, 0x300u);

    WriteObject("plain.lwo", Triangle());
    hx_model* plain = Load("plain.lwo");
    ASSERT_NE(FindHullBounds(plain), nullptr);
    const HullBox* whole = FindHullBounds(plain)->boxes;
    ASSERT_NE(whole, nullptr) << "no companion file: one box of the model's bounds";
    EXPECT_EQ(whole->flags, 8u);
    EXPECT_EQ(whole->next, nullptr);
    EXPECT_EQ(whole->maximum.x, plain->bounds.max.x);
}

TEST_F(LwoTest, WireframesHaveOneEdgePerSideAndPointsTurnedFlat)
{
    lwob::Object o;
    o.Point(1, 2, 3);
    o.Point(4, 5, 6);
    o.Point(7, 8, 9);
    o.Point(0, 0, 1);
    o.polygons.push_back({{0, 1, 2, 3}, 1});
    o.polygons.push_back({{2}, 1});
    o.polygons.push_back({{1, 3}, 1});
    o.polygons.push_back({{0}, 1});    // said once for the object
    o.polygons.push_back({{0, 9}, 1}); // a point that does not exist
    WriteObject("wire.lwo", o);
    int32_t size = -1;
    WireShape* w = LWO2WRI("wire.lwo", nullptr, &size);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pointCount, 4);
    EXPECT_EQ(w->points[0][0], -3.0f);
    EXPECT_EQ(w->points[0][1], 1.0f);
    EXPECT_EQ(w->points[0][2], 0.0f);
    ASSERT_EQ(w->edgeCount, 6);
    std::vector<int> edges;
    for (int i = 0; i < w->edgeCount; ++i)
        edges.insert(edges.end(), {w->edges[i][0], w->edges[i][1]});
    EXPECT_EQ(edges, (std::vector<int>{0, 1, 1, 2, 2, 3, 3, 0, 1, 3, 3, 1}));
    EXPECT_EQ(gBoxes, (std::vector<std::string>{"LWOB Loader Error: Single point polygon in WRI object."}));
    // The sides join every point into one part.
    ASSERT_EQ(w->partCount, 1);
    EXPECT_FLOAT_EQ(w->parts[0].width, 8.0f);
    EXPECT_FLOAT_EQ(w->parts[0].height, 7.0f);
    FreeWireShape(w);

    EXPECT_EQ(LWO2WRI("nowhere.lwo", nullptr, &size), nullptr);
    EXPECT_EQ(size, 0);
}

TEST_F(LwoTest, PointsAreWrittenAsText)
{
    lwob::Object o;
    o.Point(100, 200, -300);
    o.Point(0.4f, -1.6f, 2);
    o.polygons.push_back({{0, 1}, 1});
    WriteObject("pts.lwo", o);
    ConvertLwoPoints("pts.lwo", "pts.txt");
    EXPECT_EQ(ReadBytes("pts.txt"), "100,-200,-300, 0,2,2, \r\n");
    ConvertLwoPoints("missing.lwo", "none.txt");
    EXPECT_EQ(gBoxes, (std::vector<std::string>{"LWOB Pnts Loader Error: Slight problem. The file missing.lwo cannot be opened."}));
    EXPECT_FALSE(std::filesystem::exists(scratch / "none.txt"));
}

TEST_F(LwoTest, PcxRasterSizeIsTheHeaderAndThePixels)
{
    std::vector<uint8_t> pcx(128, 0);
    pcx[0] = 10, pcx[1] = 5, pcx[2] = 1, pcx[3] = 8, pcx[65] = 1;
    pcx[8] = 4, pcx[10] = 2, pcx[66] = 5; // window 0,0 - 4,2; 5 bytes a row
    pcx.insert(pcx.end(), 15, 1);
    WriteBytes("pic.pcx", pcx);
    EXPECT_EQ(PcxRasterResourceSize("pic.pcx"), static_cast<int32_t>(sizeof(Raster) + 15));
    EXPECT_EQ(PcxRasterResourceSize("\\pic.pcx"), static_cast<int32_t>(sizeof(Raster) + 15));
    EXPECT_EQ(PcxRasterResourceSize("nothing.pcx"), 0);
    EXPECT_EQ(LwoModelResourceSize("pic.pcx"), 0);
    EXPECT_EQ(LwoWireResourceSize("pic.pcx"), 0);
}

TEST_F(LwoTest, TheResourceManagerLoadsShapesThroughTheLoader)
{
    ASSERT_GT(ResInit(), 0u);
    WriteObject("zqk\\resource\\shapes\\tri.lwo", Triangle());
    Resource* model = ResRegisterLoad("zqk\\resource\\shapes\\tri.lwo", ResType::LwoModel);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->size, 0);
    ASSERT_NE(model->data, nullptr);
    EXPECT_EQ(static_cast<hx_model*>(model->data)->nfaces, 1);
    EXPECT_EQ(model->modelFlag, 255);
    Resource* wire = ResRegisterLoad("zqk\\resource\\shapes\\tri.lwo", ResType::LwoWire);
    ASSERT_NE(wire->data, nullptr);
    EXPECT_EQ(static_cast<WireShape*>(wire->data)->edgeCount, 3);
    ResReleaseToMark(); // the manager frees the wireframe it loaded
    ResShutdown();
}

TEST_F(LwoTest, AMissionsWireframesAreFreedAtItsEndMissionAfterMission)
{
    ASSERT_GT(ResInit(), 0u);
    ResMark();
    WriteObject("zqk\\resource\\shapes\\tri.lwo", Triangle());
    for (int mission = 0; mission < 2; ++mission) {
        Resource* wire = ResRegisterLoad("zqk\\resource\\shapes\\tri.lwo", ResType::LwoWire);
        ASSERT_NE(wire->data, nullptr);
        // Dropped and loaded again within the mission: the first is freed.
        ResDropData(wire);
        EXPECT_EQ(wire->data, nullptr);
        ASSERT_NE(ResGet(wire), nullptr);
        ResReleaseToMark();
    }
    // A wireframe not freed on the way is reported by LeakSanitizer as the
    // test program ends (the framework's own blocks go at its end).
    ResShutdown();
}

TEST_F(LwoTest, MalformedObjectsTakeTheFailurePaths)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* box; // part of the message box, or null for none
    };
    std::vector<uint8_t> good = lwob::Write(Triangle());
    std::vector<uint8_t> longChunk = good;
    longChunk[8 + 4 + 4 + 3] = 200; // PNTS length 200: past the end
    lwob::Object badIndex = Triangle();
    badIndex.polygons[0].points[1] = 3;
    lwob::Object odd = Triangle();
    odd.polygons[0].points.push_back(1);
    odd.polygons[0].points.push_back(2);
    lwob::Object noPols = Triangle();
    std::vector<uint8_t> withoutPols = lwob::Write(noPols);
    {
        // Rename POLS so the walk never finds it.
        auto at = std::search(withoutPols.begin(), withoutPols.end(), std::begin("POLS"), std::begin("POLS") + 4);
        (*at) = 'X';
    }
    std::vector<uint8_t> cutPolygon = good;
    {
        // POLS claims one more byte than its polygon: a polygon cut short.
        auto at = std::search(cutPolygon.begin(), cutPolygon.end(), std::begin("POLS"), std::begin("POLS") + 4);
        at[7] = 11;
        cutPolygon.insert(at + 8 + 10, 0);
        cutPolygon[7] += 1;
    }
    const Case cases[] = {
        {"shorter than the header", {'F', 'O', 'R', 'M'}, nullptr},
        {"a chunk past the end", longChunk, "chunk PNTS runs past the end of the file"},
        {"an index past the points", lwob::Write(badIndex), "No triangles or quads"},
        {"only a pentagon", lwob::Write(odd), "No triangles or quads"},
        {"no POLS", withoutPols, "No polygons"},
        {"a polygon cut short", cutPolygon, "A polygon runs past the end of POLS"},
    };
    int n = 0;
    for (const Case& c : cases) {
        gBoxes.clear();
        std::string name = "bad" + std::to_string(n++) + ".lwo";
        WriteBytes(name, c.bytes);
        EXPECT_EQ(Load(name.c_str()), nullptr) << c.what;
        if (c.box)
            EXPECT_TRUE(SawBox(c.box)) << c.what;
        else
            EXPECT_TRUE(gBoxes.empty()) << c.what;
    }

    // A polygon with detail polygons is stepped over with its details
    // (here none), and the polygon after it read.
    lwob::Object detail = Triangle();
    detail.polygons[0].surface = -1;
    detail.polygons.push_back({{}, 3});     // the detail count 0, then a count of 3 ...
    detail.polygons.push_back({{0, 1}, 1}); // ... points 2, 0, 1 and surface 1
    WriteObject("detail.lwo", detail);
    hx_model* stepped = Load("detail.lwo");
    ASSERT_NE(stepped, nullptr);
    EXPECT_EQ(stepped->nfaces, 1);

    gBoxes.clear();
    int32_t size = -1;
    EXPECT_EQ(LWO2HXM("absent.lwo", nullptr, &size), nullptr);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(gBoxes, (std::vector<std::string>{"LWOB Loader Error: Epic disaster! I am <sniffle> unable to find absent.lwo "}));
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

TEST_F(LwoTest, BadSurfacesAreCutNeverOverrun)
{
    // A face naming surface 400, a SURF whose sub-chunk runs past it,
    // a name longer than the table holds, and 300 surfaces.
    lwob::Object o = Triangle({lwob::Colour(200, 40, 40)});
    o.polygons.push_back({{2, 1, 0}, 400});
    std::string longName(300, 'n');
    for (int i = 0; i < 300; ++i)
        o.AddSurface({i == 0 ? longName : "s" + std::to_string(i), {}});
    std::vector<uint8_t> bytes = lwob::Write(o);
    // The COLR sub-chunk of "Hull" claims 40 bytes.
    auto at = std::search(bytes.begin(), bytes.end(), std::begin("COLR"), std::begin("COLR") + 4);
    at[5] = 40;
    WriteBytes("surfaces.lwo", bytes);
    hx_model* m = Load("surfaces.lwo");
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->nfaces, 2);
    ASSERT_NE(m->faces[0].material, nullptr);
    EXPECT_EQ(m->faces[0].material->index_base, 0) << "the cut sub-chunk is not read";
    EXPECT_EQ(m->faces[1].material, nullptr) << "surface 400 is past the table";
    EXPECT_EQ(HxMaterialCount(nullptr), 255);
    EXPECT_EQ(HxMaterialCount(std::string(255, 'n').c_str()), 1) << "the long name is cut to 255";
}

TEST_F(LwoTest, TheDemoShapesLoadWithTheirBoxes)
{
    // Copied first: loading writes each shape's cache beside it.
    const std::filesystem::path shapes = std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource/shapes";
    std::filesystem::create_directories(scratch / "zqk/resource");
    std::filesystem::copy(shapes, scratch / "zqk/resource/shapes");
    // The maps and shade table of the textured shapes (the large rock's top
    // and bottom), registered as the view's find hook would load them.
    for (const char* map : {"rocktop", "rockbot"})
        AddMap((std::string("zqk\\resource\\art\\textures\\ships\\") + map + ".pix").c_str());
    AddMap("zqk\\resource\\art\\textures\\ships\\klvstd.tab", true);
    // A shape without a box file gets one box of its bounds.
    const struct {
        const char* name;
        int boxes;
        // clang-format off
    } expected[] = {
        {"CorvAsm.lwo", 6},          {"CorvAsm_WEP.lwo", 1}, {"corvasm_sanshead.lwo", 1}, {"command_rto.lwo", 1},
        {"WEP_RtPBC.lwo", 1},        {"WEP_LfMAGR.lwo", 1},  {"fighter.lwo", 2},          {"freighter.lwo", 2},
        {"station.lwo", 2},          {"missile.lwo", 1},     {"SmallAsteroidBumpy.lwo", 1},
        {"MediumAsteroidBumpy.lwo", 1}, {"LargeAsteroid_RTO.lwo", 1}, {"missile_LDSI.lwo", 1},
        {"reconprobe.lwo", 1},       {"SpikyMine.lwo", 1},
    };
    // clang-format on
    for (const auto& e : expected) {
        std::string name = std::string("zqk\\resource\\shapes\\") + e.name;
        hx_model* m = Load(name.c_str());
        ASSERT_NE(m, nullptr) << e.name;
        EXPECT_GT(m->nfaces, 0) << e.name;
        int boxes = 0;
        for (HullBox* b = FindHullBounds(m)->boxes; b; b = b->next, ++boxes)
            EXPECT_TRUE(b->minimum.x < b->maximum.x && b->minimum.y < b->maximum.y && b->minimum.z < b->maximum.z)
                << e.name;
        EXPECT_EQ(boxes, e.boxes) << e.name;
    }
    uint32_t systems = 0;
    for (HullBox* b = FindHullBounds(HxModelFind("zqk\\resource\\shapes\\CorvAsm.lwo"))->boxes; b; b = b->next)
        systems |= b->flags;
    EXPECT_EQ(systems, 0x10u | 0x100u | 0x200u | 0x300u | 0x400u | 0x4u);
    EXPECT_TRUE(gBoxes.empty());
}
