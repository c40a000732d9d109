// Pixelmap records and the front end: allocation and row sizes, sub-pixelmaps,
// resizing, matching, copy dispatch between devices, text, colour tables and
// the module's export image.
#include <cstring>
#include <string>
#include <vector>

#include "framework/fw_state.h"
#include "framework/image.h"
#include "framework/token_ids.h"
#include "tests/pixelmap/pm_fixture.h"

namespace {

// ---- allocation ------------------------------------------------------------------

TEST_F(PixelmapTest, RowBytesFollowTheTypeAlignment)
{
    struct Case {
        uint8_t type;
        uint16_t width;
        int rowBytes;
        uint8_t flags;
    };
    const Case cases[] = {
        {HX_PMT_INDEX_8, 13, 16, HX_PMF_LINEAR | HX_PMF_ROW_WHOLE},
        {HX_PMT_RGB_888, 5, 24, HX_PMF_LINEAR | HX_PMF_ROW_WHOLE},
        {HX_PMT_INDEX_1, 40, 8, HX_PMF_LINEAR | HX_PMF_ROW_WHOLE},
        {HX_PMT_RGB_565, 3, 8, HX_PMF_LINEAR | HX_PMF_ROW_WHOLE},
        {HX_PMT_DEPTH_16, 5, 16, HX_PMF_LINEAR | HX_PMF_ROW_WHOLE},
        {HX_PMT_DEPTH_32, 5, 32, HX_PMF_LINEAR | HX_PMF_ROW_WHOLE},
        {HX_PMT_RGBX_888, 8191, 32764, HX_PMF_LINEAR | HX_PMF_ROW_WHOLE},
    };
    for (const Case& c : cases) {
        hx_pixelmap* pm = HxPixelmapAllocate(c.type, c.width, 2, nullptr, 0);
        ASSERT_NE(pm, nullptr) << int(c.type);
        EXPECT_EQ(pm->row_bytes, c.rowBytes) << int(c.type) << " x " << c.width;
        EXPECT_EQ(pm->flags, c.flags) << int(c.type);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pm->pixels) % 32, 0u);
        EXPECT_EQ(HxResSize(pm->pixels), uint32_t(c.rowBytes) * 2);
        HxPixelmapFree(pm);
    }
}

TEST_F(PixelmapTest, RowsTooWideForRowBytesAreRefused)
{
    EXPECT_EQ(HxPixelmapAllocate(HX_PMT_RGBX_888, 8192, 1, nullptr, 0), nullptr);
    EXPECT_EQ(HxPixelmapAllocate(HX_PMT_RGB_888, 20000, 1, nullptr, 0), nullptr);
    EXPECT_EQ(HxPixelmapAllocate(HX_PMT_INDEX_8, 100, 1, nullptr, 0)->row_bytes, 100);
    EXPECT_EQ(HxPixelmapAllocate(HX_PMT_MAX, 1, 1, nullptr, 0), nullptr);
}

TEST_F(PixelmapTest, BottomUpPointsAtTheLastRow)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 16, 4, nullptr, HX_PMAF_INVERTED);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->row_bytes, -16);
    uint8_t* block = static_cast<uint8_t*>(pm->pixels) - 48;
    EXPECT_EQ(HxResSize(block), 64u);
    HxPixelmapPixelSet(pm, 1, 0, 7);
    EXPECT_EQ(block[48 + 1], 7);
    HxPixelmapPixelSet(pm, 2, 3, 9);
    EXPECT_EQ(block[2], 9);
}

TEST_F(PixelmapTest, CallerPixelsAndNoPixelsFlags)
{
    uint8_t buffer[4 * 8] = {};
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 8, 4, buffer, 0);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->pixels, buffer);
    HxPixelmapFill(pm, 0x5A);
    EXPECT_EQ(buffer[31], 0x5A);
    HxPixelmapFree(pm);
    EXPECT_EQ(buffer[0], 0x5A); // caller's memory is not ours to free

    hx_pixelmap* bare = HxPixelmapAllocate(HX_PMT_RGB_565, 8, 4, nullptr, HX_PMAF_NO_PIXELS);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->pixels, nullptr);
    EXPECT_EQ(bare->row_bytes, 16);
}

TEST_F(PixelmapTest, RecordWithoutClassBehavesAsMemoryPixelmap)
{
    uint16_t pixels[3 * 4] = {};
    hx_pixelmap pm = {};
    pm.type = HX_PMT_RGB_565;
    pm.pixels = pixels;
    pm.row_bytes = 8;
    pm.width = 3;
    pm.height = 3;
    EXPECT_EQ(HxPixelmapRectangleFill(&pm, 1, 1, 5, 5, 0xBEEF), HX_OK);
    EXPECT_EQ(pm.dispatch, &HxMemoryPixelmapClass.object);
    EXPECT_EQ(HxPixelmapPixelQuery(&pm, 2, 2), 0xBEEFu);
    EXPECT_EQ(HxPixelmapPixelQuery(&pm, 0, 0), 0u);
    EXPECT_EQ(pixels[3], 0u); // padding of row 0 untouched
    EXPECT_EQ(pixels[4 + 3], 0u);
    EXPECT_EQ(pixels[4 + 1], 0xBEEF);
}

TEST_F(PixelmapTest, PixelQueryOutsideGivesZero)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGBX_888, 4, 4, nullptr, 0);
    HxPixelmapFill(pm, 0xDEADBEEF);
    EXPECT_EQ(HxPixelmapPixelQuery(pm, 3, 3), 0xDEADBEEFu);
    EXPECT_EQ(HxPixelmapPixelQuery(pm, 4, 0), 0u);
    EXPECT_EQ(HxPixelmapPixelQuery(pm, -1, 0), 0u);
    hx_point p = {9, 9};
    uint32_t out = 1;
    EXPECT_EQ(_M_hx_device_pixelmap_mem_pixelQuery(pm, &out, &p), HXE_FAIL);
}

TEST_F(PixelmapTest, OriginShiftsEveryCoordinate)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 8, 8, nullptr, 0);
    hx_point origin = {4, 4};
    HxPixelmapEnsureClass(pm)->originSet(pm, &origin);
    HxPixelmapPixelSet(pm, -4, -4, 1);
    HxPixelmapPixelSet(pm, 3, 3, 2);
    HxPixelmapPixelSet(pm, 4, 4, 3); // outside
    const uint8_t* p = static_cast<uint8_t*>(pm->pixels);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[63], 2);
    EXPECT_EQ(HxPixelmapPixelQuery(pm, 0, 0), 0u);
    void* address = nullptr;
    uint32_t qualifier = 0;
    hx_point q = {-4, -3};
    EXPECT_EQ(HxPixelmapEnsureClass(pm)->pixelAddressQuery(pm, &address, &qualifier, &q), HX_OK);
    EXPECT_EQ(address, p + 8);
    EXPECT_EQ(qualifier, pm->pixels_qualifier);
}

// ---- sub-pixelmaps and resizing ------------------------------------------------------

TEST_F(PixelmapTest, SubPixelmapFillTouchesExactlyItsPixels)
{
    hx_pixelmap* parent = HxPixelmapAllocate(HX_PMT_INDEX_8, 16, 16, nullptr, 0);
    HxPixelmapFill(parent, 0);
    hx_pixelmap* sub = HxPixelmapAllocateSub(parent, 2, 3, 4, 4);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->base_x, 2);
    EXPECT_EQ(sub->base_y, 3);
    EXPECT_EQ(sub->flags & HX_PMF_LINEAR, 0);
    EXPECT_EQ(sub->pixels, parent->pixels);
    HxPixelmapFill(sub, 7);
    int changed = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 3 && y < 7;
            uint32_t v = HxPixelmapPixelQuery(parent, x, y);
            EXPECT_EQ(v, inside ? 7u : 0u) << x << "," << y;
            changed += v != 0;
        }
    EXPECT_EQ(changed, 16);
    // A sub-pixelmap of a sub-pixelmap adds the bases; clipping keeps it inside.
    hx_pixelmap* inner = HxPixelmapAllocateSub(sub, 3, 3, 10, 10);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->base_x, 5);
    EXPECT_EQ(inner->width, 1);
    EXPECT_EQ(inner->height, 1);
    HxPixelmapFill(inner, 9);
    EXPECT_EQ(HxPixelmapPixelQuery(parent, 5, 6), 9u);
    EXPECT_EQ(HxPixelmapPixelQuery(parent, 6, 6), 0u);
}

TEST_F(PixelmapTest, SubPixelmapOutsideParentFails)
{
    hx_pixelmap* parent = HxPixelmapAllocate(HX_PMT_INDEX_8, 16, 16, nullptr, 0);
    EXPECT_EQ(HxPixelmapAllocateSub(parent, 16, 0, 4, 4), nullptr);
    EXPECT_EQ(HxPixelmapAllocateSub(parent, -4, 0, 4, 4), nullptr);
    hx_pixelmap* out = parent;
    hx_rectangle r = {0, 20, 2, 2};
    EXPECT_EQ(HxPixelmapEnsureClass(parent)->allocateSub(parent, &out, &r), HXE_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(PixelmapTest, ResizingASubPixelmapGivesItItsOwnBlock)
{
    hx_pixelmap* parent = HxPixelmapAllocate(HX_PMT_INDEX_8, 16, 16, nullptr, 0);
    HxPixelmapFill(parent, 1);
    hx_pixelmap* sub = HxPixelmapAllocateSub(parent, 10, 10, 6, 6);
    ASSERT_EQ(HxPixelmapResize(sub, 30, 30), sub);
    EXPECT_EQ(sub->base_x, 0);
    EXPECT_EQ(sub->base_y, 0);
    EXPECT_NE(sub->pixels, parent->pixels);
    EXPECT_EQ(sub->row_bytes, 32);
    HxPixelmapFill(sub, 2);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(HxPixelmapPixelQuery(parent, x, y), 1u);
    EXPECT_EQ(HxPixelmapPixelQuery(sub, 29, 29), 2u);
}

TEST_F(PixelmapTest, ResizeKeepsBottomUpAndRefusesOversize)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGB_565, 4, 4, nullptr, HX_PMAF_INVERTED);
    ASSERT_EQ(HxPixelmapResize(pm, 7, 3), pm);
    EXPECT_EQ(pm->row_bytes, -16);
    EXPECT_EQ(pm->width, 7);
    HxPixelmapPixelSet(pm, 6, 0, 0x1234);
    EXPECT_EQ(PmRead(PmSnapshot(pm), PmOffset(pm, 6, 0, 2), 2), 0x1234u);
    EXPECT_EQ(HxPixelmapResize(pm, 20000, 3), nullptr);
    EXPECT_EQ(HxPixelmapResize(pm, -1, 3), nullptr);
    EXPECT_EQ(HxPixelmapPixelQuery(pm, 6, 0), 0x1234u); // a refused size keeps the pixels
}

TEST_F(PixelmapTest, FreeingTheLastBegunDevicePixelmapClearsTheRecord)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    hx_pixelmap* other = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    fw.lastBegun = pm;
    HxPixelmapFree(other);
    EXPECT_EQ(fw.lastBegun, pm);
    HxPixelmapFree(pm);
    EXPECT_EQ(fw.lastBegun, nullptr);
}

TEST_F(PixelmapTest, ClassMethodsAnswerForMemoryPixelmaps)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 10, 10, nullptr, 0);
    const hx_device_pixelmap_dispatch* c = HxPixelmapEnsureClass(pm);
    hx_object* o = HxPixelmapObject(pm);
    EXPECT_EQ(c->object.type(o), hx_token(HXT_DEVICE_PIXELMAP));
    auto isType = reinterpret_cast<hx_pixelmap_isType_fn>(c->object.classMethods[0]);
    EXPECT_TRUE(isType(o, HXT_OBJECT));
    EXPECT_FALSE(isType(o, HXT_CLUT_O));
    EXPECT_EQ(HxPixelmapDevice(pm), nullptr);
    auto space = reinterpret_cast<hx_pixelmap_space_fn>(c->object.classMethods[2]);
    EXPECT_GE(space(o), sizeof(hx_pixelmap) + 120u);
    EXPECT_EQ(c->object.identifier(o), nullptr);
}

TEST_F(PixelmapTest, ObjectQueriesAnswerFromTheRecord)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGB_888, 21, 9, nullptr, 0);
    char name[] = "panel";
    pm->identifier = name;
    const hx_object_dispatch& o = HxPixelmapEnsureClass(pm)->object;
    hx_value v = {};
    EXPECT_EQ(o.query(HxPixelmapObject(pm), &v, HXT_WIDTH_I32), HX_OK);
    EXPECT_EQ(v.i, 21);
    EXPECT_EQ(o.query(HxPixelmapObject(pm), &v, HXT_HEIGHT_I32), HX_OK);
    EXPECT_EQ(v.i, 9);
    EXPECT_EQ(o.query(HxPixelmapObject(pm), &v, HXT_PIXEL_TYPE_U8), HX_OK);
    EXPECT_EQ(v.u, uintptr_t(HX_PMT_RGB_888));
    char buffer[32];
    EXPECT_EQ(o.queryBuffer(HxPixelmapObject(pm), &v, buffer, sizeof buffer, HXT_IDENTIFIER_CSTR), HX_OK);
    EXPECT_STREQ(v.cstr, "panel");
    EXPECT_EQ(o.query(HxPixelmapObject(pm), &v, HXT_CLUT_O), HXE_UNKNOWN_TOKEN);
}

// ---- matching ------------------------------------------------------------------------

TEST_F(PixelmapTest, MatchMakesDepthBuffersThatStepWithTheColourRows)
{
    hx_pixelmap* screen = HxPixelmapAllocate(HX_PMT_INDEX_8, 13, 5, nullptr, HX_PMAF_INVERTED);
    screen->origin_x = 3;
    struct Case {
        int kind;
        uint8_t type;
        int rowBytes;
    };
    const Case cases[] = {
        {HX_PMMATCH_DEPTH_16, HX_PMT_DEPTH_16, -32},
        {HX_PMMATCH_DEPTH, HX_PMT_DEPTH_8, -16},
        {HX_PMMATCH_DEPTH_8, HX_PMT_DEPTH_8, -16},
        {HX_PMMATCH_DEPTH_32, HX_PMT_DEPTH_32, -64},
        {9, HX_PMT_DEPTH_32, -64},
        {11, HX_PMT_DEPTH_16, -32},
    };
    for (const Case& c : cases) {
        hx_pixelmap* depth = HxPixelmapMatch(screen, c.kind);
        ASSERT_NE(depth, nullptr) << c.kind;
        EXPECT_EQ(depth->type, c.type) << c.kind;
        EXPECT_EQ(depth->row_bytes, c.rowBytes) << c.kind;
        EXPECT_EQ(depth->width, 13);
        EXPECT_EQ(depth->origin_x, 3);
        EXPECT_EQ(depth->flags & HX_PMF_LINEAR, 0) << c.kind; // 13 pixels do not fill the row
        HxPixelmapFree(depth);
    }
    EXPECT_EQ(HxPixelmapMatch(screen, 12), nullptr);
    hx_pixelmap* back = HxPixelmapMatch(screen, HX_PMMATCH_OFFSCREEN);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->type, HX_PMT_INDEX_8);
    EXPECT_EQ(back->row_bytes, -16);
    hx_pixelmap* clone = HxPixelmapClone(screen);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone->pixels, screen->pixels);
}

TEST_F(PixelmapTest, MatchRefusesUnsupportedDepthsAndUnknownTokens)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGB_565, 8, 8, nullptr, 0);
    hx_pixelmap* out = pm;
    hx_token_value tv[3] = {};
    tv[0].t = HXT_USE_T;
    tv[0].v.t = HXT_DEPTH;
    tv[1].t = HXT_PIXEL_BITS_I32;
    tv[1].v.i = 24;
    EXPECT_EQ(HxPixelmapEnsureClass(pm)->match(pm, &out, tv), HXE_FAIL);
    EXPECT_EQ(out, nullptr);
    tv[1].t = HXT_CLUT_O;
    EXPECT_EQ(HxPixelmapEnsureClass(pm)->match(pm, &out, tv), HXE_UNKNOWN_TOKEN);
    tv[0].v.t = HXT_OBJECT;
    tv[1] = {};
    EXPECT_EQ(HxPixelmapEnsureClass(pm)->match(pm, &out, tv), HXE_FAIL);
}

// A class that records the request lists its match method receives.
std::vector<std::vector<hx_token_value>>& MatchLog()
{
    static std::vector<std::vector<hx_token_value>> log;
    return log;
}

hx_error RecordingMatch(hx_pixelmap* self, hx_pixelmap** out, hx_token_value* tv)
{
    std::vector<hx_token_value> list;
    for (hx_token_value* p = tv; p->t; ++p)
        list.push_back(*p);
    MatchLog().push_back(list);
    return _M_hx_device_pixelmap_mem_match(self, out, tv);
}

hx_token UseOf(const std::vector<hx_token_value>& list)
{
    for (const hx_token_value& tv : list)
        if (tv.t == HXT_USE_T)
            return tv.v.t;
    return ~0u;
}

TEST_F(PixelmapTest, SizedAndTypedMatchesKnowOnlyTheFirstSixKinds)
{
    hx_device_pixelmap_dispatch recording = HxMemoryPixelmapClass;
    recording.match = RecordingMatch;
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_RGB_565, 8, 8, nullptr, 0);
    pm->dispatch = &recording.object;
    MatchLog().clear();

    EXPECT_EQ(HxPixelmapMatchSized(pm, HX_PMMATCH_DEPTH_8, 8, 8), nullptr);
    ASSERT_EQ(MatchLog().size(), 1u);
    EXPECT_EQ(UseOf(MatchLog()[0]), 0u);

    hx_pixelmap* depth = HxPixelmapMatchSized(pm, HX_PMMATCH_DEPTH_16, 5, 6);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(UseOf(MatchLog()[1]), hx_token(HXT_DEPTH));
    EXPECT_EQ(depth->width, 5);
    EXPECT_EQ(depth->height, 6);

    hx_pixelmap* typed = HxPixelmapMatchTyped(pm, HX_PMMATCH_OFFSCREEN, HX_PMT_RGBX_888);
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->type, HX_PMT_RGBX_888);
    // A depth match asked for a colour type gives a depth type: refused.
    EXPECT_EQ(HxPixelmapMatchTypedSized(pm, HX_PMMATCH_DEPTH, HX_PMT_RGB_565, 8, 8), nullptr);
    EXPECT_NE(HxPixelmapMatchTypedSized(pm, HX_PMMATCH_DEPTH_16, HX_PMT_DEPTH_16, 8, 8), nullptr);
}

// ---- copy dispatch --------------------------------------------------------------------

hx_object gFakeDevice = {nullptr};
hx_object* FakeDevice(hx_object*)
{
    return &gFakeDevice;
}
int gFromCalls = 0;
hx_error CountingCopyFrom(hx_pixelmap* self, hx_pixelmap* dest)
{
    ++gFromCalls;
    return _M_hx_device_pixelmap_mem_copyFrom(self, dest);
}

TEST_F(PixelmapTest, CopiesBetweenDevicesPickTheAddressableSide)
{
    hx_device_pixelmap_dispatch device = HxMemoryPixelmapClass;
    device.object.classMethods[1] = reinterpret_cast<hx_class_method>(FakeDevice);
    device.copyFrom = CountingCopyFrom;
    hx_pixelmap* mem = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    hx_pixelmap* dev = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    dev->dispatch = &device.object;
    HxPixelmapFill(mem, 3);
    HxPixelmapFill(dev, 0);

    // The device's pixels can be read: the memory pixelmap copies them in.
    EXPECT_EQ(HxPixelmapCopy(mem, dev), HX_OK);
    EXPECT_EQ(HxPixelmapPixelQuery(mem, 2, 2), 0u);
    EXPECT_EQ(gFromCalls, 0);

    // The device's pixels are in device memory: the device copies them out.
    dev->flags |= HX_PMF_NO_ACCESS;
    HxPixelmapFill(dev, 6);
    EXPECT_EQ(HxPixelmapCopy(mem, dev), HX_OK);
    EXPECT_EQ(gFromCalls, 1);
    EXPECT_EQ(HxPixelmapPixelQuery(mem, 1, 1), 6u);

    // Neither side addressable: not supported.
    mem->flags |= HX_PMF_NO_ACCESS;
    EXPECT_EQ(HxPixelmapCopy(mem, dev), HXE_UNSUPPORTED);
    EXPECT_EQ(HxPixelmapRectangleCopy(mem, 0, 0, dev, 0, 0, 2, 2), HXE_UNSUPPORTED);
    EXPECT_EQ(HxPixelmapCopyDirty(mem, dev, 0, 0, 2, 2), HXE_UNSUPPORTED);
    EXPECT_EQ(gFromCalls, 1);
}

TEST_F(PixelmapTest, MemoryPixelmapsDoNotStretch)
{
    hx_pixelmap* a = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    hx_pixelmap* b = HxPixelmapAllocate(HX_PMT_INDEX_8, 8, 8, nullptr, 0);
    EXPECT_EQ(HxPixelmapCopyScaled(b, a), HXE_FAIL);
    EXPECT_EQ(HxPixelmapDoubleBuffer(b, a), HXE_FAIL);
    HxPixelmapFill(a, 4);
    hx_pixelmap* c = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    EXPECT_EQ(HxPixelmapCopyScaled(c, a), HX_OK);
    EXPECT_EQ(HxPixelmapPixelQuery(c, 3, 3), 4u);
    HxPixelmapFill(a, 6);
    EXPECT_EQ(HxPixelmapDoubleBufferDirty(c, a, 1, 1, 2, 1), HX_OK);
    EXPECT_EQ(HxPixelmapPixelQuery(c, 1, 1), 6u);
    EXPECT_EQ(HxPixelmapPixelQuery(c, 3, 1), 4u);
    EXPECT_EQ(HxPixelmapFillDirty(c, 0, 0, 1, 1, 9), HX_OK);
    EXPECT_EQ(HxPixelmapPixelQuery(c, 0, 0), 9u);
}

// ---- text ------------------------------------------------------------------------------

TEST_F(PixelmapTest, TextWidthAndHeight)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    EXPECT_EQ(HxPixelmapTextWidth(pm, &HxFontFixed3x5, "ab"), 7);
    EXPECT_EQ(HxPixelmapTextWidth(pm, &HxFontFixed3x5, ""), 0);
    EXPECT_EQ(HxPixelmapTextWidth(pm, &HxFontFixed3x5, nullptr), 3);
    EXPECT_EQ(HxPixelmapTextWidth(pm, &HxFontFixed3x5, "hello, world"), 12 * 4 - 1);
    const hx_font& f = HxFontProp7x9;
    EXPECT_EQ(HxPixelmapTextWidth(pm, nullptr, "iM"), f.width['i'] + 1 + f.width['M']);
    EXPECT_LT(f.width['i'], f.width['M']);
    EXPECT_EQ(HxPixelmapTextHeight(pm, nullptr), 9);
    EXPECT_EQ(HxPixelmapTextHeight(pm, &HxFontProp4x6), 6);
    hx_rectangle bounds;
    HxPixelmapEnsureClass(pm)->textBounds(pm, &bounds, &HxFontFixed3x5, "abc");
    EXPECT_EQ(bounds.w, 11);
    EXPECT_EQ(bounds.h, 5);
    HxPixelmapEnsureClass(pm)->textBounds(pm, &bounds, &HxFontFixed3x5, nullptr);
    EXPECT_EQ(bounds.w, 0);
}

// What a glyph looks like drawn by hand from the font's own bitmap.
std::vector<std::string> Glyph(const hx_font& f, unsigned char ch)
{
    int w = f.width ? f.width[ch] : f.glyph_x;
    std::vector<std::string> rows;
    for (int r = 0; r < f.glyph_y; ++r) {
        std::string row;
        uint8_t bits = f.glyphs[f.encoding[ch] + r * ((w + 7) / 8)];
        for (int c = 0; c < w; ++c)
            row += (bits & (0x80 >> c)) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Read(hx_pixelmap* pm, int x, int y, int w, int h)
{
    std::vector<std::string> rows;
    for (int r = 0; r < h; ++r) {
        std::string row;
        for (int c = 0; c < w; ++c)
            row += HxPixelmapPixelQuery(pm, x + c, y + r) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST_F(PixelmapTest, TextDrawsGlyphsAdvancingByWidthPlusOne)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 40, 12, nullptr, 0);
    HxPixelmapFill(pm, 0);
    EXPECT_EQ(HxPixelmapText(pm, 1, 2, 5, &HxFontFixed3x5, "E1"), HX_OK);
    EXPECT_EQ(Read(pm, 1, 2, 3, 5), Glyph(HxFontFixed3x5, 'E'));
    EXPECT_EQ(Read(pm, 5, 2, 3, 5), Glyph(HxFontFixed3x5, '1'));
    EXPECT_EQ(Read(pm, 1, 2, 3, 5), (std::vector<std::string>{"###", "#..", "##.", "#..", "###"}));
    EXPECT_EQ(HxPixelmapPixelQuery(pm, 1, 2), 5u);

    // Descenders of the default font reach below the line.
    HxPixelmapFill(pm, 0);
    HxPixelmapText(pm, 0, 0, 1, nullptr, "g");
    EXPECT_EQ(Read(pm, 0, 0, HxFontProp7x9.width['g'], 9), Glyph(HxFontProp7x9, 'g'));
    EXPECT_NE(Read(pm, 0, 8, 5, 1), std::vector<std::string>{"....."});
}

TEST_F(PixelmapTest, TextClipsAndTakesHighCharactersUnsigned)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 10, 6, nullptr, 0);
    HxPixelmapFill(pm, 0);
    // Starting left of the pixelmap: the second glyph lands at x 1.
    HxPixelmapText(pm, -3, 0, 1, &HxFontFixed3x5, "HE");
    EXPECT_EQ(Read(pm, 1, 0, 3, 5), Glyph(HxFontFixed3x5, 'E'));
    EXPECT_EQ(Read(pm, 0, 0, 1, 5), (std::vector<std::string>{".", ".", ".", ".", "."}));
    // Partly below, wholly above, and characters above 127.
    HxPixelmapText(pm, 5, 3, 1, nullptr, "éÿ"
                                         "A");
    HxPixelmapText(pm, 0, -9, 1, nullptr, "A");
    HxPixelmapTextF(pm, 6, -5, 1, &HxFontFixed3x5, "%d", 1);
    EXPECT_EQ(Read(pm, 5, 0, 5, 3), (std::vector<std::string>{".....", ".....", "....."}));
    HxPixelmapTextF(pm, 6, -4, 1, &HxFontFixed3x5, "%d", 7);
    EXPECT_EQ(Read(pm, 5, 0, 5, 2), (std::vector<std::string>{"..#..", "....."}));
    EXPECT_EQ(Read(pm, 5, 3, 4, 1), (std::vector<std::string>{"...."})); // E9 and FF draw as spaces
}

TEST_F(PixelmapTest, GenericTextAndCopyBitsGoThroughPixelSet)
{
    hx_device_pixelmap_dispatch generic = HxMemoryPixelmapClass;
    generic.copyBits = _M_hx_device_pixelmap_gen_copyBits;
    generic.line = _M_hx_device_pixelmap_gen_line;
    hx_pixelmap* a = HxPixelmapAllocate(HX_PMT_RGB_565, 30, 12, nullptr, 0);
    hx_pixelmap* b = HxPixelmapAllocate(HX_PMT_RGB_565, 30, 12, nullptr, 0);
    b->dispatch = &generic.object;
    for (hx_pixelmap* pm : {a, b}) {
        HxPixelmapFill(pm, 0);
        HxPixelmapText(pm, -2, 3, 0x7777, nullptr, "Wq#%");
        HxPixelmapRectangle(pm, 1, 1, 28, 11, 0x1111);
    }
    EXPECT_EQ(PmSnapshot(a), PmSnapshot(b));
}

// ---- colour tables ---------------------------------------------------------------------

struct FakeClut {
    hx_object object;
    int first = -1, count = -1;
    std::vector<uint32_t> entries;
};
FakeClut gClut;

hx_error ClutEntriesSet(hx_object*, int32_t first, int32_t count, const uint32_t* entries)
{
    gClut.first = first;
    gClut.count = count;
    gClut.entries.assign(entries, entries + count);
    return HX_OK;
}

hx_error ClutEntrySet(hx_object*, int32_t index, uint32_t colour)
{
    gClut.first = index;
    gClut.entries.assign(1, colour);
    return HX_OK;
}

hx_error ClutQuery(hx_object*, hx_value* value, hx_token t)
{
    if (t != HXT_CLUT_O)
        return HXE_UNKNOWN_TOKEN;
    value->o = &gClut.object;
    return HX_OK;
}

TEST_F(PixelmapTest, PaletteGoesToTheDevicesColourTable)
{
    static hx_clut_dispatch clutClass = {};
    clutClass.entrySet = ClutEntrySet;
    clutClass.entriesSet = ClutEntriesSet;
    gClut.object.dispatch = &clutClass.object;
    hx_device_pixelmap_dispatch screenClass = HxMemoryPixelmapClass;
    screenClass.object.query = ClutQuery;
    hx_pixelmap* screen = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    screen->dispatch = &screenClass.object;
    hx_pixelmap* palette = HxPixelmapAllocate(HX_PMT_RGBX_888, 1, 3, nullptr, 0);
    for (int i = 0; i < 3; ++i)
        HxPixelmapPixelSet(palette, 0, i, 0x10101u * uint32_t(i + 1));

    HxPixelmapPaletteSet(screen, palette);
    EXPECT_EQ(gClut.first, 0);
    EXPECT_EQ(gClut.entries, (std::vector<uint32_t>{0x10101, 0x20202, 0x30303}));
    // Entries are the palette's rows whatever its layout: 24-bit rows are
    // padded to 12 bytes, and a bottom-up palette's rows run backwards.
    hx_pixelmap* wide = HxPixelmapAllocate(HX_PMT_RGB_888, 1, 3, nullptr, HX_PMAF_INVERTED);
    for (int i = 0; i < 3; ++i)
        HxPixelmapPixelSet(wide, 0, i, 0xA0B0C0u + uint32_t(i));
    HxPixelmapPaletteSet(screen, wide);
    EXPECT_EQ(gClut.entries, (std::vector<uint32_t>{0xA0B0C0, 0xA0B0C1, 0xA0B0C2}));
    HxPixelmapPaletteEntrySet(screen, 7, 0xABCDEF);
    EXPECT_EQ(gClut.first, 7);
    uint32_t two[2] = {1, 2};
    EXPECT_EQ(HxPixelmapPaletteEntriesSet(screen, 5, 2, two), HX_OK);
    EXPECT_EQ(gClut.count, 2);

    // A pixelmap without a colour table is left alone.
    gClut.first = -1;
    hx_pixelmap* plain = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    HxPixelmapPaletteSet(plain, palette);
    EXPECT_EQ(gClut.first, -1);
}

// ---- the module ------------------------------------------------------------------------

TEST_F(PixelmapTest, ImageExportsTheMethodsByName)
{
    EXPECT_EQ(HxImagePmap1.nFunctions, 77);
    ASSERT_EQ(HxImagePmap1.nNames, 77);
    for (int i = 1; i < HxImagePmap1.nNames; ++i)
        EXPECT_LT(std::strcmp(HxImagePmap1.names[i - 1], HxImagePmap1.names[i]), 0) << HxImagePmap1.names[i];
    hx_image* image = HxImageReference("HXPMAP1");
    ASSERT_EQ(image, &HxImagePmap1);
    EXPECT_EQ(HxImageLookupName(image, "PixelmapLineClip", -1), reinterpret_cast<void*>(PixelmapLineClip));
    EXPECT_EQ(HxImageLookupName(image, "_PixelmapLineClip", -1), reinterpret_cast<void*>(PixelmapLineClip));
    EXPECT_EQ(HxImageLookupName(image, "_M_hx_device_pixelmap_gen_text", -1),
              reinterpret_cast<void*>(_M_hx_device_pixelmap_gen_text));
    EXPECT_EQ(HxImageLookupName(image, "_M_hx_device_pixelmap_null_pixelQuery", -1),
              reinterpret_cast<void*>(_M_hx_device_pixelmap_null_pixelQuery));
    EXPECT_EQ(HxImageLookupName(image, "_M_hx_device_pixelmap_mem_free", -1), nullptr);

    // By ordinal: the name's index plus the image's base, and the name's
    // index as a hint.
    int index = -1;
    for (int i = 0; i < image->nNames; ++i) {
        if (std::strcmp(image->names[i], "__M_hx_device_pixelmap_mem_fill") == 0)
            index = i;
    }
    ASSERT_GE(index, 0);
    EXPECT_EQ(HxImageLookupOrdinal(image, image->ordinalBase + index),
              reinterpret_cast<void*>(_M_hx_device_pixelmap_mem_fill));
    EXPECT_EQ(HxImageLookupName(image, "_M_hx_device_pixelmap_mem_fill", index),
              reinterpret_cast<void*>(_M_hx_device_pixelmap_mem_fill));
    EXPECT_EQ(HxImageLookupOrdinal(image, image->ordinalBase), reinterpret_cast<void*>(PixelmapCopyBitsClip));
    EXPECT_EQ(HxImageLookupOrdinal(image, image->ordinalBase + 77), nullptr);
    HxImageDereference(image);
}

TEST_F(PixelmapTest, EndFreesEveryPixelmapAndBeginsAgain)
{
    hx_allocator* previous = HxAllocatorSet(HxCountingAllocator::Get());
    HxCoreEnd();
    int before = HxCountingAllocator::Live();
    ASSERT_EQ(HxCoreBegin(), HX_OK);
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 64, 64, nullptr, 0);
    ASSERT_NE(HxPixelmapAllocateSub(pm, 1, 1, 2, 2), nullptr);
    HxCoreEnd();
    EXPECT_EQ(HxCountingAllocator::Live(), before);
    EXPECT_EQ(HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0), nullptr);
    HxAllocatorSet(previous);
    ASSERT_EQ(HxCoreBegin(), HX_OK);
}

} // namespace
