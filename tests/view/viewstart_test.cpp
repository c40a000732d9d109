// The 3D view's start-up: standard materials, the find hooks, the 15-bit
// conversion of textures, a second start-up, the face reader, and the
// view windows' registration and sub-pixelmaps.
#include "tests/view/view_fixture.h"

#include <string>

#include "world/floatingorigin.h"

namespace {

using viewtest::ViewTest;

struct MaterialRow {
    const char* name;
    const char* texture; // under "hexmire\dat", or null
    float ka, kd, ks, power;
    uint32_t flags;
    uint8_t base, range;
};
// clang-format off
const MaterialRow kRows[] = {
    {"standard",         nullptr,       0,    0.67f, 0.75f, 96, 0x5,    16,  31},
    {"nebula_purple",    nullptr,       0,    1.0f,  0,     20, 0x6,    176, 31},
    {"laser_tex_navy",   "beamnav.pix", 0,    0.7f,  0.05f, 30, 0x1000, 176, 31},
    {"laser_tex_indy",   "beamind.pix", 0,    0.7f,  0.05f, 30, 0x1000, 176, 31},
    {"laser_tex_aln",    "beamaln.pix", 0,    0.7f,  0.05f, 30, 0x1000, 176, 31},
    {"laser_tex_newal",  "beamnl.pix",  0,    0.7f,  0.05f, 30, 0x1000, 176, 31},
    {"Antimo",           "antimo.pix",  0,    0.7f,  0.05f, 30, 0,      176, 31},
    {"explo_1",          "explo_1.pix", 0,    0.7f,  0.05f, 30, 0x2000, 176, 31},
    {"explo_2",          nullptr,       0,    0.7f,  0.05f, 30, 0x2000, 176, 31},
    {"plasmaball",       nullptr,       0,    1.0f,  0,     20, 0x6,    144, 31},
    {"plasmavid",        "plasma.pix",  0,    0.7f,  0.05f, 30, 0x6,    48,  16},
    {"carbon",           nullptr,       0.05f, 0.62f, 0.75f, 96, 0x5,   48,  31},
    {"black",            nullptr,       0.05f, 0.62f, 0.75f, 96, 0x2,   48,  31},
    {"grey_flat",        nullptr,       0.05f, 0.62f, 0.75f, 20, 0,     30,  1},
    {"laser_tex_orange", "beamora.pix", 0,    0.7f,  0.05f, 30, 0x1000, 176, 31},
    {"planet1",          nullptr,       0.05f, 0.62f, 0.75f, 96, 0x5,   16,  31},
    {"planet2",          nullptr,       0.05f, 0.62f, 0.75f, 96, 0x5,   16,  31},
    {"planet3",          nullptr,       0.05f, 0.62f, 0.75f, 96, 0x5,   16,  31},
    {"planet4",          nullptr,       0.05f, 0.62f, 0.75f, 96, 0x5,   16,  31},
    {"planet5",          nullptr,       0.05f, 0.62f, 0.75f, 96, 0x5,   16,  31},
    {"planet6",          nullptr,       0.05f, 0.62f, 0.75f, 96, 0x5,   16,  31},
};
// clang-format on

// The data tree of the standard textures (each 2 x 2 of its own index),
// the shade table and a material file.
class StartUp : public ViewTest {
protected:
    void WriteFixtures() override
    {
        uint8_t index = 100;
        for (const MaterialRow& row : kRows) {
            if (row.texture) {
                const std::string path = std::string("hexmire\\dat\\") + row.texture;
                WritePixelmap(path.c_str(), 2, 2, std::vector<uint8_t>(4, index++));
            }
        }
        WritePixelmap("zqk\\resource\\art\\textures\\ships\\klvstd.tab", 256, 4, std::vector<uint8_t>(1024, 9));
    }
};

TEST_F(StartUp, EveryStandardMaterialHasItsTableRowAndTexture)
{
    for (int i = 0; i < 21; ++i) {
        const MaterialRow& row = kRows[i];
        SCOPED_TRACE(row.name);
        hx_material* m = HxMaterialFind(row.name);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m, gView.materials[i]);
        EXPECT_FLOAT_EQ(m->ka, row.ka);
        EXPECT_FLOAT_EQ(m->kd, row.kd);
        EXPECT_FLOAT_EQ(m->ks, row.ks);
        EXPECT_FLOAT_EQ(m->power, row.power);
        EXPECT_EQ(m->flags, row.flags);
        EXPECT_EQ(m->index_base, row.base);
        EXPECT_EQ(m->index_range, row.range);
        EXPECT_EQ(m->colour, 0u);
        // Beams and explosion cards are laid over the picture (translucent,
        // through the blend tables once they exist); every other one is solid.
        const bool laidOver = (row.flags & 0x3000u) != 0;
        EXPECT_EQ(m->opacity, laidOver ? 0 : 255);
        EXPECT_EQ(m->map_transform.m[0][0], 1.0f);
        EXPECT_EQ(m->map_transform.m[1][1], 1.0f);
        EXPECT_EQ(m->map_transform.m[2][0], 0.0f);
        if (row.texture) {
            ASSERT_NE(m->colour_map, nullptr);
            EXPECT_EQ(std::string(m->colour_map->identifier), std::string("hexmire\\dat\\") + row.texture);
            EXPECT_EQ(m->colour_map->type, HX_PMT_INDEX_8);
        } else {
            EXPECT_EQ(m->colour_map, nullptr);
        }
    }
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(gPlanetMaterials[i], gView.materials[15 + i]);
    ASSERT_NE(gView.shadeTable, nullptr);
    EXPECT_EQ(gView.shadePixels, gView.shadeTable->pixels);
    EXPECT_EQ(HxTableFind("zqk\\resource\\art\\textures\\ships\\klvstd.tab"), gView.shadeTable);
    EXPECT_EQ(gView.textureTotal, 8 * 4);
}

TEST_F(StartUp, TheFindHooksLoadFilesAndAnswerNullWhenAbsent)
{
    WritePixelmap("maps\\extra.pix", 3, 1, {1, 2, 3});
    WritePixelmap("tables\\extra.tab", 2, 1, {4, 5});
    hx_material* saved = HxMaterialAllocate("shiny");
    saved->index_base = 77;
    ASSERT_EQ(HxMaterialSave((scratch / "shiny.mat").string().c_str(), saved), 1);
    HxMaterialFree(saved);

    hx_pixelmap* map = HxMapFind("maps\\extra.pix");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(std::string(map->identifier), "maps\\extra.pix");
    EXPECT_EQ(map->width, 3);
    EXPECT_EQ(HxMapFind("maps\\extra.pix"), map); // registered: loaded once
    hx_pixelmap* table = HxTableFind("tables\\extra.tab");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(std::string(table->identifier), "tables\\extra.tab");
    hx_material* material = HxMaterialFind("shiny.mat");
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(std::string(material->identifier), "shiny.mat");
    EXPECT_EQ(material->index_base, 77);

    EXPECT_EQ(HxMapFind("maps\\missing.pix"), nullptr);
    EXPECT_EQ(HxTableFind("tables\\missing.tab"), nullptr);
    EXPECT_EQ(HxMaterialFind("missing.mat"), nullptr);
}

TEST_F(StartUp, ASecondStartUpAddsNothingToAnyRegistry)
{
    const int models = HxModelCount(nullptr), materials = HxMaterialCount(nullptr);
    const int maps = HxMapCount(nullptr), tables = HxTableCount(nullptr);
    hx_pixelmap* screen = gView.screen;
    gView.flashMode = 255;
    gView.viewWindowCount = 3;
    gRebuild3D = 0;
    InitializeP3D();
    EXPECT_EQ(HxModelCount(nullptr), models);
    EXPECT_EQ(HxMaterialCount(nullptr), materials);
    EXPECT_EQ(HxMapCount(nullptr), maps);
    EXPECT_EQ(HxTableCount(nullptr), tables);
    EXPECT_EQ(gView.screen, screen);
    EXPECT_EQ(HxMaterialFind("standard"), gView.materials[0]);
    // The per-mission state is reset.
    EXPECT_EQ(gView.flashMode, 0);
    EXPECT_EQ(gView.viewWindowCount, 0);
    EXPECT_EQ(gRebuild3D, 255);
    EXPECT_EQ(gView.stretchEnable, 255);
    EXPECT_EQ(gView.textureTotal, 8 * 4); // nothing loaded again
}

TEST_F(StartUp, AModelShipsHitFindsItsNearestFace)
{
    SetModelMeshReader(nullptr);
    InitializeP3D(); // installs the reader of the framework's models
    SceneItem* ship = Show(Cube("hull", 100, nullptr), 0, 0, 0, 87);
    Vector3 centre{}, normal{};
    ASSERT_EQ(FindHitFace(ship, Vector3{0, 0, 200}, &centre, &normal), 255);
    EXPECT_NEAR(centre.z, 50.0f, 1e-3f);
    EXPECT_NEAR(std::fabs(normal.z), 1.0f, 1e-3f); // the +z face, nearest the point
}

// Without the shade table the start-up goes on and the table is null.
class StartUpWithoutData : public ViewTest {};

TEST_F(StartUpWithoutData, MissingFilesLeaveTexturesAndTheShadeTableNull)
{
    EXPECT_EQ(gView.shadeTable, nullptr);
    EXPECT_EQ(gView.shadePixels, nullptr);
    ASSERT_NE(HxMaterialFind("laser_tex_navy"), nullptr);
    EXPECT_EQ(HxMaterialFind("laser_tex_navy")->colour_map, nullptr);
    EXPECT_EQ(gView.textureTotal, 0);
}

// On a 15-bit screen every texture loaded on demand takes its colours from
// the palette shown at load time.
class StartUp16 : public ViewTest {
protected:
    int Depth() const override { return 16; }
    void WriteFixtures() override { WritePixelmap("maps\\two.pix", 2, 2, {10, 11, 12, 13}); }
};

void NoPalette(const PaletteEntry*) {}

TEST_F(StartUp16, AnIndexedMapBecomes565ThroughTheCurrentPaletteAsTheDisplayShowsIt)
{
    PaletteEntry palette[256] = {};
    palette[10] = {255, 0, 0, 0};
    palette[11] = {0, 255, 0, 0};
    palette[12] = {8, 16, 24, 0};
    palette[13] = {7, 200, 15, 0};
    DisplayDriver quiet = *gDisplayDriver;
    quiet.setPalette = NoPalette;
    const DisplayDriver* saved = gDisplayDriver;
    gDisplayDriver = &quiet;
    DisplaySetPalette(palette);
    gDisplayDriver = saved;

    hx_pixelmap* map = HxMapFind("maps\\two.pix");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->type, HX_PMT_RGB_565);
    EXPECT_EQ(map->width, 2);
    EXPECT_EQ(map->height, 2);
    // Red 5 bits at 11, green 6 at 5, blue 5 at 0.
    const uint32_t expected[4] = {0xF800, 0x07E0, 0x0883, 0x0641};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(HxPixelmapPixelQuery(map, i % 2 - map->origin_x, i / 2 - map->origin_y), expected[i])
            << "pixel " << i;
}

// ---- view windows ----------------------------------------------------------------------

TEST_F(StartUp, AWindowIsCountedOnceWhileItHoldsSubPixelmaps)
{
    WindowHandle* w = ViewWindow(nullptr, 100, 50, 200, 100);
    EXPECT_EQ(ViewWindowCount(), 1);
    ASSERT_TRUE(AllocViewPixelmaps(w));
    RegisterViewWindow(w);
    EXPECT_EQ(ViewWindowCount(), 1);
    const ViewWindowRecord* record = FindViewWindowRecord(w);
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->colour, nullptr);
    EXPECT_EQ(record->colour->width, 200);
    EXPECT_EQ(record->colour->origin_x, 100);
    EXPECT_EQ(record->colour->origin_y, 50);
    EXPECT_EQ(record->depth->origin_x, 100);
    // The colour sub-pixelmap's centre is the window's centre on the screen.
    HxPixelmapPixelSet(record->colour, 0, 0, 33);
    EXPECT_EQ(At(200, 100), 33u);
    FreeViewPixelmaps(w);
    EXPECT_EQ(record->colour, nullptr);
    // A deleted window's record is free again, and it is counted no more.
    WindowHandle second{};
    second.width = second.height = 50;
    RegisterViewWindow(&second);
    EXPECT_EQ(ViewWindowCount(), 2);
    ASSERT_TRUE(AllocViewPixelmaps(&second));
    UnregisterViewWindow(&second);
    EXPECT_EQ(FindViewWindowRecord(&second), nullptr) << "its sub-pixelmaps freed with it";
    EXPECT_EQ(ViewWindowCount(), 1);
    UnregisterViewWindow(&second);
    EXPECT_EQ(ViewWindowCount(), 1) << "a window without a record is not counted off twice";
    UnregisterViewWindow(w);
    EXPECT_EQ(ViewWindowCount(), 0);
}

TEST_F(StartUp, AWindowOffTheScreenGetsNoSubPixelmap)
{
    WindowHandle* w = ViewWindow(nullptr, 700, 0, 100, 100);
    EXPECT_FALSE(AllocViewPixelmaps(w));
    const ViewWindowRecord* record = FindViewWindowRecord(w);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->colour, nullptr);
    EXPECT_EQ(record->depth, nullptr);
    RenderViewWindow(w); // draws nothing, frees nothing
    EXPECT_EQ(RowSpan(10, 0), 0);
}

} // namespace
