// Materials' renderer states and the order tables' arithmetic.
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"
#include "tests/scene/scene_fixture.h"

namespace {

// The values a material update gives one token, from the log.
std::string ValueOf(const std::vector<std::string>& log, const std::string& token)
{
    std::string found;
    for (const std::string& line : log) {
        size_t at = line.find(" " + token + "=");
        if (at == std::string::npos)
            continue;
        size_t start = at + token.size() + 2;
        found = line.substr(start, line.find(' ', start) - start);
    }
    return found;
}

} // namespace

TEST_F(HxScene, AMaterialUpdateSetsEachPartFromItsFields)
{
    ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
    hx_material* m = HxMaterialAllocate("glass");
    struct Case {
        uint32_t flags;
        uint8_t opacity;
        uint32_t mode;
        const char* token;
        const char* value;
    };
    const Case cases[] = {
        {0, 255, 0, "BLEND_B", "0"},
        {0, 254, 0, "BLEND_B", "1"},
        {HX_MATF_ALWAYS_VISIBLE, 255, 0, "TYPE_T", "NONE"},
        {HX_MATF_ALWAYS_VISIBLE | HX_MATF_TWO_SIDED, 255, 0, "TYPE_T", "TWO_SIDED"},
        {0, 255, 0, "TYPE_T", "ONE_SIDED"},
        {HX_MATF_PRELIT | HX_MATF_LIT, 255, 0, "LIGHTING_B", "0"},
        {HX_MATF_PRELIT, 255, 0, "COLOUR_SOURCE_T", "GEOMETRY"},
        {HX_MATF_ENV_INFINITE | HX_MATF_ENV_LOCAL, 255, 0, "MAPPING_SOURCE_T", "ENVIRONMENT_INFINITE"},
        {HX_MATF_ENV_LOCAL, 255, 0, "MAPPING_SOURCE_T", "ENVIRONMENT_LOCAL"},
        {HX_MATF_SUBDIVIDE | HX_MATF_PERSPECTIVE, 255, 0, "PERSPECTIVE_T", "SUBDIVIDE"},
        {0, 255, 0x3, "MAP_WIDTH_LIMIT_T", "CLAMP"},
        {0, 255, 0x4, "MAP_HEIGHT_LIMIT_T", "MIRROR"},
        {0, 255, 0x100, "ANTIALIASING_T", "DEFAULT"},
        {HX_MATF_FOG_LOCAL, 255, 0, "FOG_MAX_F", "0"},
        {HX_MATF_DITHER, 255, 0, "DITHER_COLOUR_B", "1"},
        {HX_MATF_MIP_INTERPOLATION, 255, 0, "MIP_INTERPOLATION_T", "LINEAR"},
    };
    for (const Case& c : cases) {
        m->flags = c.flags;
        m->opacity = c.opacity;
        m->mode = c.mode;
        Log();
        HxMaterialUpdate(m, 255);
        EXPECT_EQ(ValueOf(Log(), c.token), c.value) << c.token << " for flags " << std::hex << c.flags;
    }
    // Flags 0 only restores, saves and pops.
    Log();
    HxMaterialUpdate(m, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"push 0x80000041", "default 0x80000041",
                                               "state restore state#2 0x80000041", "state save state#2 0x80000041",
                                               "pop 0x80000041"}));
    // A colour map without a buffer is handed over as none.
    hx_pixelmap* map = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    m->colour_map = map;
    HxMaterialUpdate(m, 0x08);
    EXPECT_EQ(ValueOf(Log(), "COLOUR_MAP_O"), "null");
    HxMapAdd(map);
    HxMaterialUpdate(m, 0x08);
    EXPECT_EQ(ValueOf(Log(), "COLOUR_MAP_O"), "buffer#3");
    HxMapRemove(map);
    HxPixelmapFree(map);
    HxZbEnd();
}

TEST_F(HxScene, MaterialsWithoutARendererKeepNoStateAndAllocateAsTheDefault)
{
    hx_material* m = HxMaterialAllocate(nullptr);
    EXPECT_EQ(m->identifier, nullptr);
    EXPECT_EQ(m->kd, 0.7f);
    EXPECT_EQ(m->flags, HX_MATF_LIT);
    EXPECT_EQ(HxMaterialUpdate(m, 255), HX_OK);
    EXPECT_EQ(m->stored, nullptr);
    EXPECT_GT(HxMaterialAllocate("later")->sequence, m->sequence);
}

TEST_F(HxScene, BucketSelectionClampsToTheTableAndUsesTheSortType)
{
    const float z3[3] = {2, 5, 8};
    EXPECT_EQ(HxOrderTableBucketSelect(z3, HXT_TRIANGLE, 0, 10, 10, HX_OTS_AVERAGE), 5);
    EXPECT_EQ(HxOrderTableBucketSelect(z3, HXT_TRIANGLE, 0, 10, 10, HX_OTS_MIN), 2);
    EXPECT_EQ(HxOrderTableBucketSelect(z3, HXT_TRIANGLE, 0, 10, 10, HX_OTS_MAX), 8);
    EXPECT_EQ(HxOrderTableBucketSelect(z3, HXT_LINE, 0, 10, 10, HX_OTS_AVERAGE), 3);
    EXPECT_EQ(HxOrderTableBucketSelect(z3, HXT_POINT, 0, 10, 10, HX_OTS_MAX), 2);
    const float nearer[1] = {-4};
    const float beyond[1] = {40};
    EXPECT_EQ(HxOrderTableBucketSelect(nearer, HXT_POINT, 0, 10, 10, 1), 0);
    EXPECT_EQ(HxOrderTableBucketSelect(beyond, HXT_POINT, 0, 10, 10, 1), 9);
    const float close[1] = {5.0005f};
    EXPECT_EQ(HxOrderTableBucketSelect(close, HXT_POINT, 5, 5.001f, 10, 1), 0);
    const float past[1] = {5.01f};
    EXPECT_EQ(HxOrderTableBucketSelect(past, HXT_POINT, 5, 5.001f, 10, 1), 9) << "a tiny range scales by 1000";

    hx_order_table* t = HxOrderTableAllocate(16, HX_OTF_SORT_MIDDLE, 1);
    t->min_z = 2;
    t->max_z = 6;
    HxOrderTableScaleUpdate(t);
    EXPECT_EQ(t->scale, 4);
    EXPECT_EQ(t->sort_z, 4);
    void* primitives[2][2] = {};
    HxOrderTablePrimitiveInsert(t, primitives[0], 3);
    HxOrderTablePrimitiveInsert(t, primitives[1], 3);
    EXPECT_EQ(t->buckets[3], primitives[1]);
    EXPECT_EQ(primitives[1][0], primitives[0]);
}

TEST_F(HxScene, TablesWithEqualSortDepthKeepTheOrderOfTheirFirstVisits)
{
    hx_order_table* a = HxOrderTableAllocate(1, 0, 1);
    hx_order_table* b = HxOrderTableAllocate(1, 0, 1);
    hx_order_table* c = HxOrderTableAllocate(1, 0, 1);
    hx_order_table* d = HxOrderTableAllocate(1, 0, 1);
    a->sort_z = 5, b->sort_z = 5, c->sort_z = 9, d->sort_z = 1;
    HxOrderTableListInsert(a);
    HxOrderTableListInsert(b);
    HxOrderTableListInsert(c);
    HxOrderTableListInsert(d);
    std::vector<hx_order_table*> order;
    for (hx_order_table* t = v1db.order_list; t; t = t->next)
        order.push_back(t);
    EXPECT_EQ(order, (std::vector<hx_order_table*>{c, a, b, d}));
    v1db.order_list = nullptr;
}
