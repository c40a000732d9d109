// Planet textures and the model statements: the generator's repeatable
// textures and their colour bands, the planet materials and face tags, the
// sphere loader the start-up gives the planet pool, and SIZE, SCALE, SLIDE,
// ROTX90, REFLECT and the three maps on a cube.
#include "tests/view/view_fixture.h"

#include <algorithm>
#include <set>
#include <string>

#include "system/res/pcx.h"
#include "view/planets.h"
#include "view/vectoricons.h"
#include "world/universe.h"

namespace {

using viewtest::ViewTest;

class Planets : public ViewTest {
protected:
    // The planet sphere: a cube stands in for it, saved by the framework.
    void WriteSphere()
    {
        std::filesystem::create_directories(scratch / "hexmire/dat");
        hx_model* cube = HxModelAllocate("triball", 8, 12);
        hx_model* shape = Cube("shape", 2.0f, nullptr);
        std::memcpy(cube->vertices, shape->vertices, sizeof(hx_vertex) * 8);
        std::memcpy(cube->faces, shape->faces, sizeof(hx_face) * 12);
        ASSERT_EQ(HxModelSave((scratch / "hexmire/dat/triball.dat").string().c_str(), cube), 1);
        HxModelFree(cube);
    }

    static std::vector<uint8_t> Pixels(const hx_pixelmap* map)
    {
        std::vector<uint8_t> out;
        for (int y = 0; y < map->height; ++y) {
            const auto* row = static_cast<const uint8_t*>(map->pixels) + y * map->row_bytes;
            out.insert(out.end(), row, row + map->width);
        }
        return out;
    }
    static std::vector<uint8_t> Generated(int a, int b, int number)
    {
        GeneratePlanetTextures(a, b);
        char name[32];
        std::snprintf(name, sizeof name, "$b_%1i_%3i_%i.pix", a, b, number);
        hx_pixelmap* map = HxMapFind(name);
        EXPECT_NE(map, nullptr) << name;
        return map ? Pixels(map) : std::vector<uint8_t>{};
    }
    // The values of a band of columns, all rows.
    static std::set<int> ColumnValues(const std::vector<uint8_t>& pixels, int from, int to)
    {
        std::set<int> values;
        for (int y = 0; y < 256; ++y)
            for (int x = from; x < to; ++x)
                values.insert(pixels[size_t(y) * 256 + size_t(x)]);
        return values;
    }
    void WriteBump(const char* name, int side, uint8_t value)
    {
        std::filesystem::create_directories(scratch / "zqk/resource/art/textures/planets");
        std::vector<uint8_t> pixels(size_t(side) * side, value);
        std::vector<uint8_t> palette(768, 0);
        PcxImage* image = PcxFromPixels(nullptr, 0, pixels.data(), side, side, palette.data());
        ASSERT_NE(image, nullptr);
        ASSERT_TRUE(PcxSave((std::string("zqk\\resource\\art\\textures\\planets\\") + name).c_str(), image));
        PcxFree(image);
    }
};

TEST_F(Planets, TheSameNumberAndSeedGiveTheSameTexturesAndAnotherSeedOthers)
{
    const std::vector<uint8_t> first = Generated(3, 77, 2);
    const std::vector<uint8_t> again = Generated(3, 77, 2);
    const std::vector<uint8_t> other = Generated(3, 78, 2);
    ASSERT_EQ(first.size(), 256u * 256u);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    EXPECT_NE(HxMapFind("$b_3_ 77_3.pix"), nullptr); // both textures registered, padded names
}

TEST_F(Planets, ColumnsPastTheRampsTakeABaseColourExactly)
{
    for (int seed : {5, 99, 200}) {
        const std::vector<uint8_t> t2 = Generated(2, seed, 2);
        std::vector<uint8_t> t3 = Pixels(HxMapFind(("$b_2_" + std::string(seed < 10 ? "  " : seed < 100 ? " "
                                                                                                        : "") +
                                                    std::to_string(seed) + "_3.pix")
                                                       .c_str()));
        for (const std::set<int>& band : {ColumnValues(t2, 192, 256), ColumnValues(t3, 0, 72)}) {
            EXPECT_LE(band.size(), 2u) << seed;
            for (int v : band)
                EXPECT_EQ(v % 32, 16) << seed << " " << v; // (n % 7) x 32 + 16
        }
        // Inside the ramps the heights show.
        EXPECT_GT(ColumnValues(t2, 0, 150).size(), 4u) << seed;
    }
}

TEST_F(Planets, ABumpPictureShadesOnlyWhenItCoversTheTexture)
{
    const std::vector<uint8_t> plain = Generated(4, 33, 2);
    WriteBump("bump4_2.pcx", 16, 0); // too small: not used
    EXPECT_EQ(Generated(4, 33, 2), plain);
    WriteBump("bump4_2.pcx", 256, 0); // halves every height
    EXPECT_NE(Generated(4, 33, 2), plain);
}

TEST_F(Planets, AGeneratedPlanetRegistersItsTexturesOnceAndNamesThemOnItsItem)
{
    SceneItem* planet = Show(nullptr, 0, 0, 0, 1);
    planet->avatar->params[kParamSurfaceKind] = 1;
    planet->avatar->params[kParamSurfaceSeed] = 42;
    hx_material* m1 = nullptr;
    hx_material* m2 = nullptr;
    const int32_t before = gView.textureTotal;
    SetPlanetTextures(planet, nullptr, "random", &m1, &m2, 1);
    EXPECT_EQ(gView.textureTotal, before + 0x20000);
    ASSERT_EQ(m1, gPlanetMaterials[2]);
    ASSERT_EQ(m2, gPlanetMaterials[3]);
    ASSERT_NE(m1->colour_map, nullptr);
    EXPECT_STREQ(m1->colour_map->identifier, "$b_1_ 42_2.pix");
    EXPECT_STREQ(m2->colour_map->identifier, "$b_1_ 42_3.pix");
    EXPECT_STREQ(planet->avatar->root->materialName, "$b_1_ 42_2.pix");
    EXPECT_EQ(m1->index_shade, FindGeneratedShadeTable()) << "planets shade through the generated table";
    EXPECT_NE(m1->index_shade, nullptr);

    // A second planet of the same number and seed finds them registered.
    SceneItem* twin = Show(nullptr, 0, 0, 0, 1);
    twin->avatar->params[kParamSurfaceKind] = 1;
    twin->avatar->params[kParamSurfaceSeed] = 42;
    SetPlanetTextures(twin, nullptr, "$anything", nullptr, nullptr, 0);
    EXPECT_EQ(gView.textureTotal, before + 0x20000);
    EXPECT_EQ(gPlanetMaterials[0]->colour_map, m1->colour_map);
}

TEST_F(Planets, ANamedPlanetTakesItsTwoTextureFiles)
{
    WritePixelmap("zqk\\resource\\art\\textures\\planets\\rust2.pix", 4, 4, std::vector<uint8_t>(16, 9));
    WritePixelmap("zqk\\resource\\art\\textures\\planets\\rust3.pix", 4, 4, std::vector<uint8_t>(16, 10));
    hx_material* m1 = nullptr;
    hx_material* m2 = nullptr;
    SetPlanetTextures(nullptr, nullptr, "rust", &m1, &m2, 2);
    ASSERT_NE(m1, nullptr);
    ASSERT_NE(m1->colour_map, nullptr);
    ASSERT_NE(m2->colour_map, nullptr);
    EXPECT_EQ(HxPixelmapPixelQuery(m1->colour_map, 0, 0) & 0xFF, 9u);
    EXPECT_EQ(HxPixelmapPixelQuery(m2->colour_map, 0, 0) & 0xFF, 10u);

    // The slot's sphere wears them at once, each face by its tag.
    hx_material* black = Flat("black", 0);
    hx_model* ball = Cube("ball", 2.0f, Flat("INDEX_PLANET2", 2));
    ball->faces[0].material = Flat("INDEX_PLANET1", 1);
    SpherifyPlanetModel(ball, 5.0f);
    gPlanetModelSlots[2].model = ball;
    SetPlanetTextures(nullptr, ball, "rust", nullptr, nullptr, 2);
    EXPECT_EQ(ball->faces[0].material, black);
    EXPECT_EQ(ball->faces[1].material, gPlanetMaterials[4]);
    EXPECT_EQ(gPlanetMaterials[4]->colour_map, m1->colour_map);
    gPlanetModelSlots[2].model = nullptr;
}

TEST_F(Planets, ThePoolHoldsTheSphereAfterStartUpAndANearBodyShowsItTextured)
{
    WriteSphere();
    for (PlanetModelSlot& slot : gPlanetModelSlots)
        slot.model = nullptr;
    InitPlanetModelPool();
    for (const PlanetModelSlot& slot : gPlanetModelSlots) {
        ASSERT_NE(slot.model, nullptr);
        EXPECT_EQ(slot.model->nvertices, 8);
    }
    TDP planet{};
    hx_model* model = AcquirePlanetModel(&planet, 10, "$gen");
    EXPECT_EQ(model, gPlanetModelSlots[0].model);
    EXPECT_NE(gPlanetModelSlots[0].materials[0], nullptr);
    EXPECT_NE(gPlanetModelSlots[0].materials[0]->colour_map, nullptr);

    // The models end with the framework: a new start-up loads them anew.
    ShutdownP3D();
    for (const PlanetModelSlot& slot : gPlanetModelSlots)
        EXPECT_EQ(slot.model, nullptr);
    InitializeP3D();
    InitPlanetModelPool();
    EXPECT_EQ(gPlanetModelSlots[2].model->nvertices, 8);
}

TEST_F(Planets, TheFaceTagsComeFromTheIndexFileWithFirstSurfaceForWhatIsMissing)
{
    struct Case {
        const char* what;
        int bytes; // -1: no file
        uint8_t firstTag, lastTag;
    };
    const Case cases[] = {{"missing", -1, 1, 1}, {"short", 10, 2, 1}, {"long", 2000, 2, 2}};
    std::filesystem::create_directories(scratch / "hexmire/dat");
    for (const Case& c : cases) {
        std::filesystem::remove(scratch / "hexmire/dat/triballind.dat");
        if (c.bytes >= 0)
            scratch.Write("hexmire/dat/triballind.dat", std::string(size_t(c.bytes), '\2'));
        LoadTriballIndex();
        EXPECT_EQ(PlanetFaceTags()[0], c.firstTag) << c.what;
        EXPECT_EQ(PlanetFaceTags()[kPlanetFaceTags - 1], c.lastTag) << c.what;
    }
}

TEST_F(Planets, SpherifyTagsFacesByMaterialAndTheTagsChooseTheFaceMaterials)
{
    hx_material* black = Flat("black", 0);
    hx_material* p1 = Flat("INDEX_PLANET1", 1);
    hx_material* p2 = Flat("INDEX_PLANET2", 2);
    hx_model* cube = Cube("ball", 2.0f, p2);
    cube->faces[0].material = p1;
    cube->faces[1].material = nullptr;
    SpherifyPlanetModel(cube, 5.0f);
    for (int i = 0; i < cube->nvertices; ++i) {
        const hx_vector3& p = cube->vertices[i].p;
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 5.0f, 1e-4f);
    }
    EXPECT_EQ(PlanetFaceTags()[0], 0);
    EXPECT_EQ(PlanetFaceTags()[1], 2);
    EXPECT_EQ(PlanetFaceTags()[2], 1);

    gPlanetModelSlots[1].model = cube;
    AssignPlanetFaceMaterials(1);
    EXPECT_EQ(cube->faces[0].material, black);
    EXPECT_EQ(cube->faces[1].material, gPlanetMaterials[3]);
    EXPECT_EQ(cube->faces[2].material, gPlanetMaterials[2]);
    EXPECT_TRUE(gPlanetMaterials[2]->flags & 0x4);
    gPlanetModelSlots[1].model = nullptr;
}

TEST_F(Planets, TheDetailFlagTurnsOnAndOff)
{
    hx_material* m = Flat("toggled", 3);
    m->flags = 0x4;
    TogglePlanetMaterialFlag(m, 1);
    EXPECT_EQ(m->flags, 0x20u);
    TogglePlanetMaterialFlag(m, 1);
    EXPECT_EQ(m->flags, 0x20u);
    TogglePlanetMaterialFlag(m, 0);
    EXPECT_EQ(m->flags, 0u);
    TogglePlanetMaterialFlag(nullptr, 1); // ignored
}

TEST_F(Planets, DroppingAPlanetModelLeavesTheOnePointModel)
{
    SceneItem* planet = Show(Cube("dropme", 2.0f, nullptr), 0, 0, 0, 1);
    TDP* root = planet->avatar->root;
    root->actor = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
    root->actor->model = root->model;
    DropPlanetModel(root);
    EXPECT_EQ(root->model, nullptr);
    EXPECT_EQ(root->actor->model, GetOnePointModel());
    HxActorFree(root->actor);
    root->actor = nullptr;
}

TEST_F(Planets, TheShadeDisplayDrawsEachEntryTwoPixelsWide)
{
    hx_pixelmap* table = HxPixelmapAllocate(HX_PMT_INDEX_8, 256, 64, nullptr, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x)
            HxPixelmapPixelSet(table, x, y, uint32_t((x + y) & 0xFF));
    table->identifier = HxResStrDup(table, "shades.tab");
    HxTableAdd(table);
    gView.shadeTable = table; // the ships' table the view loaded is not the one shown
    ASSERT_EQ(FindGeneratedShadeTable(), nullptr);
    ShowShadeTable("shades.tab"); // none generated yet: the named table
    for (int y : {0, 63})
        for (int x : {0, 100, 255}) {
            EXPECT_EQ(At(2 * x, y), uint32_t((x + y) & 0xFF)) << x << "," << y;
            EXPECT_EQ(At(2 * x + 1, y), uint32_t((x + y) & 0xFF)) << x << "," << y;
        }
    EXPECT_EQ(At(600, 10), 0u); // right of the picture
    EXPECT_EQ(At(10, 64), 0u);  // below it

    // Once built, the generated table is the one shown.
    const hx_pixelmap* generated = BuildShadeTable(176, 31);
    ASSERT_NE(generated, nullptr);
    ShowShadeTable("shades.tab");
    const auto entry = [&](int x, int y) { return static_cast<const uint8_t*>(generated->pixels)[y * generated->row_bytes + x]; };
    for (int y : {0, 40})
        for (int x : {100, 200})
            EXPECT_EQ(At(2 * x, y), entry(x, y)) << x << "," << y;
    gView.shadeTable = nullptr;
}

TEST_F(Planets, TheModelStatementsMoveEveryVertexOfACube)
{
    using Op = void (*)(hx_model*);
    struct Case {
        const char* statement;
        Op op;
        hx_vector3 corner; // where (1, 2, 3) goes
    };
    const Case cases[] = {
        {"SIZE", [](hx_model* m) { SizeModel(m, 10.0f); }, {10 / std::sqrt(14.0f), 20 / std::sqrt(14.0f), 30 / std::sqrt(14.0f)}},
        {"SCALE", [](hx_model* m) { ScaleModel(m, 2.0f); }, {2, 4, 6}},
        {"SLIDE", [](hx_model* m) { SlideModel(m, 1, -1, 0.5f); }, {2, 1, 3.5f}},
        {"ROTX90", RotateModelX90, {1, 3, 2}},
        {"REFLECT 0", [](hx_model* m) { ReflectModel(m, 0); }, {-1, 2, 3}},
        {"REFLECT 1", [](hx_model* m) { ReflectModel(m, 1); }, {1, -2, 3}},
        {"REFLECT 2", [](hx_model* m) { ReflectModel(m, 2); }, {1, 2, -3}},
    };
    for (const Case& c : cases) {
        hx_model* cube = Cube(c.statement, 2.0f, nullptr);
        cube->vertices[6].p = {1, 2, 3}; // the farthest corner
        c.op(cube);
        const hx_vector3& p = cube->vertices[6].p;
        EXPECT_NEAR(p.x, c.corner.x, 1e-4f) << c.statement;
        EXPECT_NEAR(p.y, c.corner.y, 1e-4f) << c.statement;
        EXPECT_NEAR(p.z, c.corner.z, 1e-4f) << c.statement;
    }
}

TEST_F(Planets, TheMapsFitOverTheirAxesAndTheSphereAndPlaneClearMaterials)
{
    using Op = void (*)(hx_model*);
    struct Case {
        const char* statement;
        Op op;
        int axisU, axisV, type;
        bool clears;
    };
    const Case cases[] = {{"CYLMAP", CylMapModel, 0, 1, HX_APPLYMAP_CYLINDER, false},
                          {"SPHMAP", SphMapModel, 0, 2, HX_APPLYMAP_SPHERE, true},
                          {"PLNMAP", PlnMapModel, 0, 2, HX_APPLYMAP_PLANE, true}};
    hx_material* flat = Flat("mapped", 4);
    for (const Case& c : cases) {
        hx_model* cube = Cube(c.statement, 2.0f, flat);
        cube->vertices[6].p = {1, 3, 2}; // no axis alike
        hx_model* expected = Cube((std::string(c.statement) + "x").c_str(), 2.0f, flat);
        expected->vertices[6].p = {1, 3, 2};
        hx_matrix34 fit{};
        HxModelFitMap(expected, c.axisU, c.axisV, &fit);
        HxModelApplyMap(expected, c.type, &fit);
        c.op(cube);
        for (int i = 0; i < 8; ++i) {
            EXPECT_FLOAT_EQ(cube->vertices[i].map.x, expected->vertices[i].map.x) << c.statement << i;
            EXPECT_FLOAT_EQ(cube->vertices[i].map.y, expected->vertices[i].map.y) << c.statement << i;
        }
        EXPECT_EQ(cube->faces[0].material, c.clears ? nullptr : flat) << c.statement;
    }
}

} // namespace
