// Tokens, token-value templates, comparison, dump lines and the text form;
// and container finds that match on token values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/object.h"
#include "framework/resource.h"
#include "framework/token.h"
#include "framework/tokenval.h"
#include "tests/framework/hx_fixture.h"

TEST_F(HxFramework, PredefinedTokenTable)
{
    EXPECT_EQ(HxTokenCount(nullptr), 457);
    EXPECT_EQ(HxTokenIdentifier(292), nullptr);
    EXPECT_EQ(HxTokenIdentifier(0), nullptr);
    EXPECT_EQ(HxTokenIdentifier(459), nullptr);
    struct Pin {
        hx_token number;
        const char* name;
        hx_token type;
    } pins[] = {
        {1, "NONE", HXT_NONE},
        {35, "POINTER_LIST", HXT_NONE},
        {39, "OUTPUT_FACILITY", HXT_NONE},
        {69, "WIDTH_I32", HXT_INT_32},
        {95, "OUTPUT_FACILITY_O", HXT_OBJECT},
        {108, "RENDERER_FACILITY_O", HXT_OBJECT},
        {291, "BEST_SPEED", HXT_NONE},
        {293, "DITHER_COLOUR_T", HXT_TOKEN},
        {354, "HANDLE", HXT_NONE},
        {355, "TOKEN_VALUE_LIST", HXT_NONE},
        {419, "HEXMIRE_PATH_STR", HXT_STRING},
        {423, "INTEL", HXT_NONE},
        {458, "BLENDER_PROGRAM_P", HXT_POINTER},
        {0, "WINDOW_HANDLE_H", HXT_HANDLE},
        {0, "MODEL_TO_VIEW_M34_X", HXT_MATRIX34_FIXED},
        {0, "COPY_SOURCE_TVL", HXT_TOKEN_VALUE_LIST},
        {0, "TITLE_CSTR", HXT_CONSTANT_STRING},
    };
    for (const Pin& p : pins) {
        hx_token t = HxTokenFind(p.name);
        if (p.number) {
            EXPECT_EQ(t, p.number) << p.name;
        }
        EXPECT_STREQ(HxTokenIdentifier(t), p.name);
        EXPECT_EQ(HxTokenType(t), p.type) << p.name;
    }
    // The list runs from the last row of the name-sorted table to the first.
    EXPECT_EQ(HxTokenFind("*"), HXT_Z_WRITE_TL);
    hx_token found[3];
    EXPECT_EQ(HxTokenFindMany("width_*", found, 3), 3);
    EXPECT_EQ(found[0], HXT_WIDTH_TL);
    EXPECT_EQ(HxTokenFindMany("*_I32", nullptr, 0), 0);
}

TEST_F(HxFramework, CreatedTokensTakeTheNextNumberAndTheirSuffixType)
{
    EXPECT_EQ(HxTokenCreate("SPEED_X", 0), kHxFirstFreeToken);
    EXPECT_EQ(HxTokenType(kHxFirstFreeToken), HXT_FIXED);
    const hx_token fixedOnly[] = {HXT_FIXED};
    EXPECT_EQ(HxTokenMatchBase("speed", 5, fixedOnly, 1), kHxFirstFreeToken); // base length 5
    EXPECT_EQ(HxTokenCreate("SPEED_X", 0), kHxFirstFreeToken);
    EXPECT_EQ(HxTokenCreate("SPEED", HXT_FIXED), 0u);
    EXPECT_EQ(HxTokenCreate("_X", HXT_FIXED), 0u);                   // nothing before the suffix
    EXPECT_EQ(HxTokenCreate("RATE_X", HXT_NONE), 0u);                // a type without a suffix
    EXPECT_EQ(HxTokenCreate("WIDTH_I32", HXT_FLOAT), HXT_WIDTH_I32); // existing names win
    EXPECT_EQ(HxTokenCreate("ROLL_M34_F", HXT_MATRIX34_FLOAT), kHxFirstFreeToken + 1);
    EXPECT_EQ(HxTokenCreate("PLAIN", 0), kHxFirstFreeToken + 2);
    EXPECT_EQ(HxTokenType(kHxFirstFreeToken + 2), HXT_NONE);
    EXPECT_EQ(HxTokenFind("ROLL*"), kHxFirstFreeToken + 1);
    EXPECT_EQ(HxTokenCount(nullptr), 460);
}

// ---- the text form -----------------------------------------------------------

namespace {

std::vector<std::pair<hx_token, uintptr_t>> Pairs(const hx_token_value* tv)
{
    std::vector<std::pair<hx_token, uintptr_t>> out;
    for (; tv->t; ++tv)
        out.emplace_back(tv->t, tv->v.u);
    return out;
}

using P = std::vector<std::pair<hx_token, uintptr_t>>;

} // namespace

TEST_F(HxFramework, TextFormParsesToPairs)
{
    hx_token_value tv[16];
    ASSERT_EQ(HxStringToTokenValue(tv, sizeof tv, "w=640,h=480"), HX_OK);
    EXPECT_EQ(Pairs(tv), (P{{HXT_WIDTH_I32, 640}, {HXT_HEIGHT_I32, 480}}));

    ASSERT_EQ(HxStringToTokenValue(tv, sizeof tv, "B:8, stereo, use=hidden, Indexed=TRUE, depth_test=less"), HX_OK);
    EXPECT_EQ(Pairs(tv), (P{{HXT_PIXEL_BITS_I32, 8},
                            {HXT_STEREO_B, 1},
                            {HXT_USE_T, HXT_HIDDEN},
                            {HXT_INDEXED_B, 1},
                            {HXT_DEPTH_TEST_T, HXT_LESS}}));

    ASSERT_EQ(HxStringToTokenValue(tv, sizeof tv, "origin_x=-3,fog_min=0.5,spot_inner=2,title=\"Kelvandrist\""),
              HXE_FAIL); // origin_x is no token
    ASSERT_EQ(HxStringToTokenValue(tv, sizeof tv, "w=-3,fog_min=0.5,spot_inner=2,title=\"Kelvandrist\""), HX_OK);
    ASSERT_EQ(Pairs(tv).size(), 4u);
    EXPECT_EQ(int32_t(tv[0].v.i), -3);
    // Later in the list (nearer the head) comes first: FOG_MIN_X before FOG_MIN_F.
    EXPECT_EQ(tv[1].t, HXT_FOG_MIN_X);
    EXPECT_EQ(tv[1].v.x, 0x8000);
    EXPECT_EQ(tv[2].t, HXT_SPOT_INNER_X);
    EXPECT_EQ(tv[2].v.x, 0x20000);
    EXPECT_EQ(tv[3].t, HXT_TITLE_CSTR);
    EXPECT_STREQ(tv[3].v.cstr, "Kelvandrist");
    EXPECT_GT(tv[3].v.cstr, reinterpret_cast<const char*>(&tv[4])); // at the end of the buffer
    EXPECT_EQ(tv[4].t, 0u);
}

TEST_F(HxFramework, TextFormErrorsAndFullBuffers)
{
    hx_token_value tv[3];
    EXPECT_EQ(HxStringToTokenValue(tv, sizeof tv, "w=1,h=2,b=3"), HXE_NO_ROOM);
    EXPECT_EQ(Pairs(tv), (P{{HXT_WIDTH_I32, 1}, {HXT_HEIGHT_I32, 2}}));
    EXPECT_EQ(HxStringToTokenValue(tv, sizeof(hx_token_value), "w=1"), HXE_NO_ROOM);
    EXPECT_EQ(tv[0].t, 0u);
    EXPECT_EQ(HxStringToTokenValue(tv, 0, "w=1"), HXE_NO_ROOM);

    EXPECT_EQ(HxStringToTokenValue(tv, sizeof tv, "w=1,bogus=2,h=3"), HXE_FAIL);
    EXPECT_EQ(Pairs(tv), (P{{HXT_WIDTH_I32, 1}}));
    EXPECT_EQ(HxDiagLog::Warnings().back(), "Warning: token-value text:1 unknown token");
    EXPECT_EQ(HxStringToTokenValue(tv, sizeof tv, "w=,h=2"), HXE_FAIL);
    EXPECT_EQ(HxDiagLog::Warnings().back(), "Warning: token-value text:1 expecting a value");
    EXPECT_EQ(HxStringToTokenValue(tv, sizeof tv, "w=1 h=2"), HXE_FAIL);
    EXPECT_EQ(HxDiagLog::Warnings().back(), "Warning: token-value text:1 expected ','");
    EXPECT_EQ(HxStringToTokenValue(tv, sizeof tv, ""), HX_OK);
    EXPECT_EQ(tv[0].t, 0u);
    EXPECT_TRUE(HxDiagLog::Failures().empty());
}

// ---- templates ---------------------------------------------------------------

namespace {

struct Ship {
    int32_t width;
    int16_t height;
    uint8_t bits;
    float fogMin;
    hx_fixed spot;
    float position[3];
    char* title;
    uint32_t flags;
    void* object;
    uint32_t* parts;
};

constexpr uint32_t kQ = HX_TV_QUERY, kS = HX_TV_SET, kA = HX_TV_ALL;

std::vector<hx_tv_template_entry> ShipEntries()
{
    return {
        {0, "WIDTH_I32", offsetof(Ship, width), kQ | kS | kA, HX_TVC_DIRECT, 0, 1},
        {0, "HEIGHT_I32", offsetof(Ship, height), kQ | kS | kA, HX_TVC_INT_16, 0, 2},
        {0, "PIXEL_BITS_I32", offsetof(Ship, bits), kQ | kS, HX_TVC_UINT_8, 0, 4},
        {0, "FOG_MIN_X", offsetof(Ship, fogMin), kQ | kS, HX_TVC_FLOAT_AS_FIXED, 0, 8},
        {0, "SPOT_INNER_F", offsetof(Ship, spot), kQ | kS, HX_TVC_FIXED_AS_FLOAT, 0, 16},
        {0, "POSITION_V3_F", offsetof(Ship, position), kQ | kS | kA, HX_TVC_WORDS_3, 0, 32},
        {0, "POSITION_V3_X", offsetof(Ship, position), kQ | kS, HX_TVC_FLOATS_3_AS_FIXED, 0, 32},
        {0, "TITLE_CSTR", offsetof(Ship, title), kQ | kA, HX_TVC_STRING, 0, 0},
        {0, "INDEXED_B", offsetof(Ship, flags), kQ | kS, HX_TVC_MASK, 0x4, 64},
        {0, "SHARED_B", offsetof(Ship, flags), kQ | kS, HX_TVC_MASK_NOT, 0x8, 128},
        {0, "VERSION_U32", 0, kQ | kA, HX_TVC_CONSTANT, 0x0102, 0},
        {0, "DESTINATION_O", offsetof(Ship, object), kQ | kS, HX_TVC_DIRECT_PTR, 0, 256},
        {0, "PARTS_TL", offsetof(Ship, parts), kQ, HX_TVC_LIST, 0, 0},
        {0, "HOST_MEMORY_U32", 0, kQ | kS | HX_TV_ABSOLUTE, HX_TVC_DIRECT, 0, 0},
    };
}

uint32_t hostMemory = 4096;
char vesselTitle[] = "Vessel";
uint32_t shipParts[] = {HXT_LIGHT, HXT_CLIP, 0};

class HxTemplates : public HxFramework {
protected:
    void SetUp() override
    {
        HxFramework::SetUp();
        entries = ShipEntries();
        entries.back().offset = reinterpret_cast<uintptr_t>(&hostMemory);
        tpl = HxTVTemplateAllocate(nullptr, entries.data(), int(entries.size()));
        ship = {640, -480, 8, 0.5f, 0x28000, {1.0f, -2.0f, 0.25f}, vesselTitle, 0x4, &ship, shipParts};
    }
    std::vector<hx_tv_template_entry> entries;
    hx_tv_template* tpl = nullptr;
    Ship ship = {};
};

} // namespace

TEST_F(HxTemplates, QueryConvertsFieldsAndTakesWideValuesFromTheBuffer)
{
    hx_value v;
    uint8_t buffer[64];
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_WIDTH_I32, &ship, tpl), HX_OK);
    EXPECT_EQ(v.u, 640u);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_HEIGHT_I32, &ship, tpl), HX_OK);
    EXPECT_EQ(v.i, -480);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_FOG_MIN_X, &ship, tpl), HX_OK);
    EXPECT_EQ(v.x, 0x8000);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_SPOT_INNER_F, &ship, tpl), HX_OK);
    EXPECT_EQ(v.f, 2.5f);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_INDEXED_B, &ship, tpl), HX_OK);
    EXPECT_EQ(v.u, 1u);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_SHARED_B, &ship, tpl), HX_OK);
    EXPECT_EQ(v.u, 1u);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_VERSION_U32, &ship, tpl), HX_OK);
    EXPECT_EQ(v.u, 0x0102u);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_DESTINATION_O, &ship, tpl), HX_OK);
    EXPECT_EQ(v.p, &ship);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_HOST_MEMORY_U32, &ship, tpl), HX_OK);
    EXPECT_EQ(v.u, 4096u);

    EXPECT_EQ(HxTokenValueQuery(&v, buffer, 8, HXT_POSITION_V3_F, &ship, tpl), HXE_NO_ROOM);
    EXPECT_EQ(v.u, 0u);
    EXPECT_EQ(HxTokenValueQuery(&v, buffer, sizeof buffer, HXT_POSITION_V3_X, &ship, tpl), HX_OK);
    EXPECT_EQ(v.p, buffer);
    hx_fixed fixed[3];
    std::memcpy(fixed, buffer, sizeof fixed);
    EXPECT_EQ(fixed[0], 0x10000);
    EXPECT_EQ(fixed[1], -0x20000);
    EXPECT_EQ(fixed[2], 0x4000);
    EXPECT_EQ(HxTokenValueQuery(&v, buffer, sizeof buffer, HXT_TITLE_CSTR, &ship, tpl), HX_OK);
    EXPECT_STREQ(v.cstr, "Vessel");
    EXPECT_EQ(HxTokenValueQuery(&v, buffer, sizeof buffer, HXT_PARTS_TL, &ship, tpl), HX_OK);
    EXPECT_EQ(static_cast<uint32_t*>(v.p)[1], HXT_CLIP);
    EXPECT_EQ(static_cast<uint32_t*>(v.p)[2], 0u);

    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, HXT_WIDTH_MAX_I32, &ship, tpl), HXE_UNKNOWN_TOKEN);
    EXPECT_EQ(HxTokenValueQuery(&v, nullptr, 0, 9999, &ship, tpl), HXE_UNKNOWN_TOKEN);
}

TEST_F(HxTemplates, QueryManyAndQueryAllSizeTheirBuffers)
{
    hx_token_value tv[] = {{HXT_WIDTH_I32, {}}, {HXT_POSITION_V3_F, {}}, {HXT_TITLE_CSTR, {}}, {HXT_CLIP, {}}, {0, {}}};
    size_t size = 0;
    EXPECT_EQ(HxTokenValueQueryManySize(&size, tv, &ship, tpl), HX_OK);
    EXPECT_EQ(size, 12u + 8u); // three floats, "Vessel" rounded up to 8
    std::vector<uint8_t> buffer(size);
    int count = 0;
    EXPECT_EQ(HxTokenValueQueryMany(tv, buffer.data(), buffer.size(), &count, &ship, tpl), HX_OK);
    EXPECT_EQ(count, 3); // CLIP is unknown to the template
    EXPECT_EQ(tv[0].v.u, 640u);
    EXPECT_STREQ(tv[2].v.cstr, "Vessel");

    EXPECT_EQ(HxTokenValueQueryAllSize(&size, &ship, tpl), HX_OK);
    // WIDTH, HEIGHT, POSITION_V3_F, TITLE, VERSION and the terminator.
    EXPECT_EQ(size, 6 * sizeof(hx_token_value) + 12 + 8);
    std::vector<uint8_t> all(size);
    auto* pairs = reinterpret_cast<hx_token_value*>(all.data());
    EXPECT_EQ(HxTokenValueQueryAll(pairs, 3 * sizeof(hx_token_value), &ship, tpl), HXE_NO_ROOM);
    EXPECT_EQ(HxTokenValueQueryAll(pairs, size - 1, &ship, tpl), HXE_NO_ROOM); // the title does not fit
    EXPECT_EQ(HxTokenValueQueryAll(pairs, size, &ship, tpl), HX_OK);
    EXPECT_EQ(pairs[0].t, HXT_WIDTH_I32);
    EXPECT_EQ(pairs[2].t, HXT_POSITION_V3_F);
    EXPECT_EQ(static_cast<float*>(pairs[2].v.p)[1], -2.0f);
    EXPECT_EQ(pairs[4].t, HXT_VERSION_U32);
    EXPECT_EQ(pairs[5].t, 0u);
}

TEST_F(HxTemplates, SetReportsChangeBitsAndRefusesWhatCannotBeSet)
{
    uint32_t changed = 0;
    hx_value v;
    v.u = 800;
    EXPECT_EQ(HxTokenValueSet(&ship, &changed, HXT_WIDTH_I32, v, tpl), HX_OK);
    EXPECT_EQ(ship.width, 800);
    v.x = 0x18000;
    EXPECT_EQ(HxTokenValueSet(&ship, &changed, HXT_FOG_MIN_X, v, tpl), HX_OK);
    EXPECT_EQ(ship.fogMin, 1.5f);
    v.u = 0;
    EXPECT_EQ(HxTokenValueSet(&ship, &changed, HXT_INDEXED_B, v, tpl), HX_OK);
    EXPECT_EQ(ship.flags, 0u);
    EXPECT_EQ(changed, 1u | 8u | 64u);
    EXPECT_EQ(HxTokenValueSet(&ship, &changed, HXT_TITLE_CSTR, v, tpl), HXE_UNKNOWN_TOKEN);
    EXPECT_EQ(HxTokenValueSet(&ship, &changed, HXT_HOST_MEMORY_U32, v, tpl), HXE_FAIL);
    EXPECT_EQ(hostMemory, 4096u);

    hx_fixed where[3] = {0x30000, 0, -0x8000};
    hx_token_value tv[] = {{HXT_POSITION_V3_X, {}}, {HXT_TITLE_CSTR, {}}, {HXT_HEIGHT_I32, {}}, {0, {}}};
    tv[0].v.p = where;
    tv[2].v.i = 200;
    int count = 0;
    changed = 0;
    EXPECT_EQ(HxTokenValueSetMany(&ship, &count, &changed, tv, tpl), HX_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(changed, 32u | 2u);
    EXPECT_EQ(ship.position[0], 3.0f);
    EXPECT_EQ(ship.position[2], -0.5f);
    EXPECT_EQ(ship.height, 200);
}

TEST_F(HxFramework, CompareByValueType)
{
    char a[] = "DDRAW", b[] = "DDRAW", c[] = "softrend";
    float v1[3] = {1, 2, 3}, v2[3] = {1, 2, 3}, v3[3] = {1, 2, 4};
    hx_token_value x[] = {{HXT_TITLE_CSTR, {}}, {HXT_POSITION_V3_F, {}}, {HXT_INDEXED_B, {}}, {HXT_WIDTH_I32, {}}, {0, {}}};
    hx_token_value y[5];
    std::memcpy(y, x, sizeof x);
    x[0].v.cstr = a;
    y[0].v.cstr = b;
    x[1].v.p = v1;
    y[1].v.p = v2;
    x[2].v.u = 1;
    y[2].v.u = 7; // both true
    x[3].v.u = 640;
    y[3].v.u = 640 | (uintptr_t(1) << 40); // only 32 bits are the value
    EXPECT_TRUE(HxTokenValueCompare(x, y));
    y[0].v.cstr = c;
    EXPECT_FALSE(HxTokenValueCompare(x, y));
    y[0].v.cstr = b;
    y[1].v.p = v3;
    EXPECT_FALSE(HxTokenValueCompare(x, y));
    y[1].v.p = v2;
    y[3].t = 0; // ends early
    EXPECT_FALSE(HxTokenValueCompare(x, y));
    EXPECT_TRUE(HxTokenValueCompare(nullptr, nullptr));
    EXPECT_FALSE(HxTokenValueCompare(x, nullptr));
}

TEST_F(HxFramework, DumpLines)
{
    float position[3] = {1, 2.5f, -3};
    hx_token_value tv[8] = {};
    tv[0] = {HXT_WIDTH_I32, {}};
    tv[0].v.i = -640;
    tv[1] = {HXT_INDEXED_B, {}};
    tv[1].v.u = 1;
    tv[2] = {HXT_VIDEO_MEMORY_U32, {}};
    tv[2].v.u = 4096;
    tv[3] = {HXT_USE_T, {}};
    tv[3].v.t = HXT_HIDDEN;
    tv[4] = {HXT_POSITION_V3_F, {}};
    tv[4].v.p = position;
    tv[5] = {9999, {}};
    tv[5].v.u = 0x2A;
    tv[6] = {HXT_OUTPUT_FACILITY_O, {}};
    std::vector<std::string> lines;
    HxTokenValueDump(
        tv, "> ", [](const char* line, void* arg) { static_cast<std::vector<std::string>*>(arg)->push_back(line); },
        &lines);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], ">     0:  WIDTH_I32                        -640");
    EXPECT_EQ(lines[1], ">     1:  INDEXED_B                        TRUE");
    EXPECT_EQ(lines[2], ">     2:  VIDEO_MEMORY_U32                 4096 (0x00001000)");
    EXPECT_EQ(lines[3], ">     3:  USE_T                            HIDDEN");
    EXPECT_EQ(lines[4], ">     4:  POSITION_V3_F                    [1.000000,2.500000,-3.000000]");
    EXPECT_EQ(lines[5], ">       5:  ??? (0000270f) 000000000000002a");
    EXPECT_EQ(lines[6], ">     6:  OUTPUT_FACILITY_O                NULL OBJECT");
}

// ---- containers that match on token values -------------------------------------

namespace {

struct Display {
    hx_object object;
    const char* name;
    int32_t width;
    int32_t height;
    int* freed;
};

hx_tv_template_entry displayEntries[] = {
    {0, "WIDTH_I32", offsetof(Display, width), HX_TV_QUERY, HX_TVC_DIRECT, 0, 0},
    {0, "HEIGHT_I32", offsetof(Display, height), HX_TV_QUERY, HX_TVC_DIRECT, 0, 0},
};
hx_tv_template* displayTemplate;

const hx_object_dispatch displayDispatch = {
    .free = [](hx_object* self) { HxResFreeNoCallback(self); },
    .identifier = [](hx_object* self) { return reinterpret_cast<Display*>(self)->name; },
    .type = [](hx_object*) { return hx_token(HXT_OUTPUT_FACILITY); },
    .templateQuery = [](hx_object*) { return displayTemplate; },
    .query = _M_hx_object_query,
    .queryBuffer = _M_hx_object_queryBuffer,
    .queryMany = _M_hx_object_queryMany,
    .queryManySize = _M_hx_object_queryManySize,
    .queryAll = _M_hx_object_queryAll,
    .queryAllSize = _M_hx_object_queryAllSize,
};

struct Device {
    hx_object object;
    hx_slist* list;
};

const hx_container_dispatch deviceDispatch = HxTestContainerClass(
    [](hx_object* self) { return reinterpret_cast<Device*>(self)->list; }, [](hx_object*) { return "DDRAW"; });

} // namespace

TEST_F(HxFramework, ContainerFindMatchesTokenValuesWhateverTheOrder)
{
    displayTemplate = HxTVTemplateAllocate(nullptr, displayEntries, 2);
    for (bool reversed : {false, true}) {
        Device device = {{&deviceDispatch.object}, HxObjectListAllocate(HxFwAnchor())};
        Display modes[] = {{{&displayDispatch}, "mode", 640, 480, nullptr},
                           {{&displayDispatch}, "mode", 800, 600, nullptr},
                           {{&displayDispatch}, "mode", 640, 400, nullptr}};
        for (int i = 0; i < 3; ++i)
            deviceDispatch.addFront(&device.object, &modes[reversed ? 2 - i : i].object);
        hx_token_value want[] = {{HXT_WIDTH_I32, {}}, {HXT_HEIGHT_I32, {}}, {0, {}}};
        want[0].v.u = 640;
        want[1].v.u = 480;
        hx_object* found = nullptr;
        EXPECT_EQ(deviceDispatch.find(&device.object, &found, HXT_OUTPUT_FACILITY, "MODE", want), HX_OK);
        EXPECT_EQ(found, &modes[0].object);
        EXPECT_EQ(want[0].v.u, 640u); // the caller's list is left as it was
        want[1].t = 0;
        int count = 0;
        EXPECT_EQ(deviceDispatch.count(&device.object, &count, 0, nullptr, want), HX_OK);
        EXPECT_EQ(count, 2);
        hx_object* one[1];
        EXPECT_EQ(deviceDispatch.findMany(&device.object, one, 1, &count, 0, nullptr, want), HXE_NO_ROOM);
        EXPECT_EQ(count, 2);
        want[0].v.u = 1024;
        EXPECT_EQ(deviceDispatch.find(&device.object, &found, 0, nullptr, want), HXE_FAIL);
        HxResFree(device.list);
    }
}
