// Scene begin and end, the renderer's start and stop as the recording
// renderer sees them, and the four registries.
#include "framework/drivers/softrend/softrend.h"
#include "framework/image.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "tests/scene/scene_fixture.h"

namespace {

hx_pixelmap* NamedPixelmap(const char* name)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 8, 8, nullptr, 0);
    pm->identifier = HxResStrDup(pm, name);
    return pm;
}

// A model of one triangle, kept or not after preparation.
hx_model* Triangle(const char* name, uint16_t flags, hx_material* material = nullptr)
{
    hx_model* m = HxModelAllocate(name, 3, 1);
    m->vertices[1].p = {1, 0, 0};
    m->vertices[2].p = {0, 1, 0};
    m->faces[0].vertices[1] = 1;
    m->faces[0].vertices[2] = 2;
    m->faces[0].material = material;
    m->flags = flags;
    return m;
}

} // namespace

TEST_F(HxScene, BeginTwiceAndEndWithoutBeginReportTheirErrors)
{
    EXPECT_EQ(HxSceneBegin(), HXE_ACTIVE);
    EXPECT_EQ(HxSceneEnd(), HX_OK);
    EXPECT_EQ(HxSceneEnd(), HXE_NOT_ACTIVE);
    EXPECT_EQ(HxSceneBegin(), HX_OK);
    EXPECT_STREQ(HxDefaultModel()->identifier, "default_model");
    EXPECT_EQ(HxDefaultModel()->flags & HX_MODF_UPDATEABLE, HX_MODF_UPDATEABLE);
    EXPECT_STREQ(HxDefaultMaterial()->identifier, "default_mat");
    EXPECT_EQ(HxDefaultMaterial()->index_range, 31);
}

TEST_F(HxScene, RendererStartUpdatesTablesMapsMaterialsModelsInThatOrderAndStopFreesThemSo)
{
    hx_pixelmap* table = NamedPixelmap("shade");
    hx_pixelmap* map = NamedPixelmap("tex");
    HxModelAdd(Triangle("ship", HX_MODF_STORED, nullptr));
    hx_material* mat = HxMaterialAllocate("hull");
    mat->colour_map = map;
    HxMaterialAdd(mat);
    HxMapAdd(map);
    HxTableAdd(table);
    EXPECT_TRUE(Log().empty()) << "nothing reaches a renderer before one runs";

    ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
    const std::string noMaps = "parts PRIMITIVE 0 COLOUR_MAP_O=null INDEX_SHADE_O=null INDEX_BLEND_O=null INDEX_FOG_O=null";
    EXPECT_EQ(Log({"renderer", "format", "state new", "state save", "buffer", "parts PRIMITIVE 0 COLOUR_MAP_O",
                   "stored"}),
              (std::vector<std::string>{
                  "renderer new ",
                  "format GEOMETRY_V1_MODEL",
                  "format GEOMETRY_V1_BUCKETS",
                  "format GEOMETRY_LIGHTING",
                  // the default model, then the default material twice
                  noMaps,
                  "state new state#1 0x80000041",
                  noMaps,
                  "state save state#1 0x80000041",
                  // tables, maps, materials, models
                  "buffer new buffer#2 UNKNOWN shade PREFER_SHARE_B=0 CAN_SHARE_B=1",
                  "buffer new buffer#3 COLOUR_MAP_O tex PREFER_SHARE_B=0 CAN_SHARE_B=1",
                  "parts PRIMITIVE 0 COLOUR_MAP_O=buffer#3 INDEX_SHADE_O=null INDEX_BLEND_O=null INDEX_FOG_O=null",
                  "state new state#4 0x80000041",
                  "stored new geometry#5 TRIANGLE CAN_SHARE_B=1 [null f=1 v=3]",
              }));

    HxZbEnd();
    EXPECT_EQ(Log(), (std::vector<std::string>{"free buffer#2", "free buffer#3", "free state#4", "free geometry#5",
                                               "free state#1", "free renderer"}));
    EXPECT_EQ(HxRendererQuery(), nullptr);
    EXPECT_EQ(map->device_data, nullptr);
    EXPECT_EQ(mat->stored, nullptr);

    // The model's arrays went at its first preparation; a restart rebuilds
    // the renderer's copy from the kept prepared block.
    hx_model* ship = HxModelFind("ship");
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(ship->vertices, nullptr);
    ASSERT_NE(ship->prepared, nullptr);
    ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
    EXPECT_EQ(Log({"stored"}), (std::vector<std::string>{"stored new geometry#5 TRIANGLE CAN_SHARE_B=1 [null f=1 v=3]"}));
    EXPECT_TRUE(HxDiagLog::Failures().empty());
    HxZbEnd();
}

TEST_F(HxScene, ItemsAddedWhileTheRendererRunsArePreparedAtOnceAndRemoveDropsRendererData)
{
    ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
    Log();
    hx_material* mat = HxMaterialAllocate("paint");
    EXPECT_EQ(HxMaterialAdd(mat), mat);
    EXPECT_EQ(Log({"state new"}), (std::vector<std::string>{"state new state#2 0x80000041"}));
    EXPECT_EQ(HxMaterialRemove(mat), mat);
    EXPECT_EQ(Log(), (std::vector<std::string>{"free state#2"}));
    EXPECT_EQ(mat->stored, nullptr);
    // Removing it again, unregistered, drops nothing and finds nothing.
    EXPECT_EQ(HxMaterialRemove(mat), nullptr);
    hx_model* kept = Triangle("kept", HX_MODF_UPDATEABLE);
    HxModelUpdate(kept, HX_MODU_ALL);
    ASSERT_NE(kept->prepared, nullptr);
    EXPECT_EQ(HxModelRemove(kept), nullptr);
    EXPECT_NE(kept->prepared, nullptr);
    HxZbEnd();
}

TEST_F(HxScene, ZbAfterZsSharesOneRendererUntilBothEnd)
{
    char heap[256];
    EXPECT_EQ(HxZsBegin(0, heap, sizeof heap), heap);
    ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
    EXPECT_EQ(Log({"renderer new"}).size(), 1u);
    HxZbEnd();
    EXPECT_NE(HxRendererQuery(), nullptr);
    EXPECT_EQ(HxZsEnd(), HX_OK);
    EXPECT_EQ(HxRendererQuery(), nullptr);
    EXPECT_EQ(HxRendererEnd(), HXE_FAIL);
}

TEST_F(HxScene, ARendererThatCannotBeFoundIsReported)
{
    hx_object* device = nullptr;
    ASSERT_EQ(HxDevFind(&device, kHxRecordingDeviceName), HX_OK);
    HxDevRemove(device);
    HxImageBuiltInDriverRemove(kHxSoftrendDeviceName); // nor the standard one
    EXPECT_EQ(HxZbBegin(0, 0), HXE_FAIL);
    HxImageBuiltInDriverAdd(kHxSoftrendDeviceName, HxSoftrendDriverBegin);
    EXPECT_TRUE(HxDiagLog::Saw("Failed to load renderer\n"));
    EXPECT_EQ(HxRendererQuery(), nullptr);
}

namespace {
int StopAtSecond(void* record, void* arg)
{
    auto* seen = static_cast<int*>(arg);
    return ++*seen == 2 ? 77 : 0;
}
void* LoadOnDemand(const char* pattern)
{
    return std::string(pattern) == "wanted" ? HxMaterialAdd(HxMaterialAllocate("wanted")) : nullptr;
}
} // namespace

TEST_F(HxScene, RegistriesCountEnumerateFindWithHooksAndAddOrRemoveMany)
{
    hx_material* list[3] = {HxMaterialAllocate("red"), HxMaterialAllocate("green"), HxMaterialAllocate("blue")};
    EXPECT_EQ(HxMaterialAddMany(list, 3), 3);
    EXPECT_EQ(HxMaterialCount(nullptr), 3);
    EXPECT_EQ(HxMaterialCount("*e*"), 3);
    EXPECT_EQ(HxMaterialCount("g*"), 1);
    EXPECT_EQ(HxMaterialFind("blue"), list[2]);
    int seen = 0;
    EXPECT_EQ(HxMaterialEnum(nullptr, StopAtSecond, &seen), 77);
    EXPECT_EQ(seen, 2);
    hx_material* found[4] = {};
    EXPECT_EQ(HxMaterialFindMany("*", found, 4), 3);
    EXPECT_EQ(found[0], list[2]) << "newest first";

    EXPECT_EQ(HxMaterialFind("wanted"), nullptr);
    EXPECT_EQ(HxMaterialFindHookSet(LoadOnDemand), nullptr);
    hx_material* wanted = HxMaterialFind("wanted");
    ASSERT_NE(wanted, nullptr);
    EXPECT_EQ(HxMaterialFind("wanted"), wanted) << "registered by the hook";
    EXPECT_EQ(HxMaterialFindHookSet(nullptr), LoadOnDemand);

    hx_material* again[3] = {list[0], nullptr, list[0]};
    EXPECT_EQ(HxMaterialRemoveMany(again, 3), 1) << "only records that were registered count";
    EXPECT_EQ(HxMaterialCount(nullptr), 3);
}
