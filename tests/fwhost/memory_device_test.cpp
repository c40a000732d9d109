// The headless memory output device: begun by name like any driver, its
// screens are memory pixelmaps of the size and depth asked for, with a
// colour table that the palette operations reach.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "framework/devlist.h"
#include "framework/drivers/memory_device.h"
#include "framework/fw_state.h"
#include "framework/mem.h"
#include "framework/memdev.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/sys_conf.h"
#include "framework/token_ids.h"
#include "tests/fwhost/core_fixture.h"

namespace {

class MemoryDevice : public HxCore {
protected:
    static int Devices(const char* pattern)
    {
        int n = -1;
        HxDevCount(&n, pattern);
        return n;
    }
    static std::vector<uint32_t> Palette(hx_pixelmap* screen)
    {
        int n = 0;
        const uint32_t* entries = HxMemoryScreenPalette(screen, &n);
        return entries ? std::vector<uint32_t>(entries, entries + n) : std::vector<uint32_t>();
    }
};

TEST_F(MemoryDevice, BeginMakesADrawableIndexedScreenAndASecondBeginFindsTheDevice)
{
    hx_pixelmap* screen = nullptr;
    ASSERT_EQ(HxDevBeginVar(&screen, "MEMORY", hx_token(0)), HX_OK);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->width, 640);
    EXPECT_EQ(screen->height, 480);
    EXPECT_EQ(screen->type, HX_PMT_INDEX_8);
    EXPECT_EQ(HxDevLastBeginQuery(), screen);
    EXPECT_EQ(HxPixelmapPixelQuery(screen, 639, 479), 0u);
    HxPixelmapFill(screen, 7);
    HxPixelmapLine(screen, 0, 5, 639, 5, 9);
    EXPECT_EQ(HxPixelmapPixelQuery(screen, 0, 0), 7u);
    EXPECT_EQ(HxPixelmapPixelQuery(screen, 320, 5), 9u);

    hx_object* device = nullptr;
    ASSERT_EQ(HxDevFind(&device, "MEMORY"), HX_OK);
    EXPECT_STREQ(device->dispatch->identifier(device), kHxMemoryDeviceName);
    hx_pixelmap* second = nullptr;
    ASSERT_EQ(HxDevBegin(&second, " memory ,w=320,h=200"), HX_OK);
    EXPECT_EQ(Devices(nullptr), 1);
    EXPECT_EQ(second->width, 320);
    EXPECT_EQ(HxDevLastBeginQuery(), second);
    // The first screen is left as it was.
    EXPECT_EQ(HxPixelmapPixelQuery(screen, 0, 0), 7u);
}

TEST_F(MemoryDevice, TheDeviceTextChoosesSizeAndDepth)
{
    struct Case {
        const char* text;
        hx_error result;
        int width, height;
        uint8_t type;
    };
    for (const Case& c : {
             Case{"MEMORY,b=16", HX_OK, 640, 480, HX_PMT_RGB_565},
             Case{"MEMORY,b=15", HX_OK, 640, 480, HX_PMT_RGB_555},
             Case{"MEMORY,w=320,h=200,b=32", HX_OK, 320, 200, HX_PMT_RGBX_888},
             Case{"MEMORY,h=1,b=24", HX_OK, 640, 1, HX_PMT_RGB_888},
             Case{"MEMORY,b=12", HXE_FAIL, 0, 0, 0},
             Case{"MEMORY,w=0", HXE_FAIL, 0, 0, 0},
             Case{"MEMORY,w=-5", HXE_FAIL, 0, 0, 0},
             Case{"MEMORY,h=70000", HXE_FAIL, 0, 0, 0},
         }) {
        hx_pixelmap* pm = nullptr;
        EXPECT_EQ(HxDevBegin(&pm, c.text), c.result) << c.text;
        if (c.result != HX_OK) {
            EXPECT_EQ(pm, nullptr) << c.text;
            continue;
        }
        ASSERT_NE(pm, nullptr) << c.text;
        EXPECT_EQ(pm->width, c.width) << c.text;
        EXPECT_EQ(pm->height, c.height) << c.text;
        EXPECT_EQ(pm->type, c.type) << c.text;
        HxPixelmapPixelSet(pm, c.width - 1, c.height - 1, 0x1F);
        EXPECT_EQ(HxPixelmapPixelQuery(pm, c.width - 1, c.height - 1), 0x1Fu) << c.text;
        HxPixelmapFree(pm);
    }
}

TEST_F(MemoryDevice, TheGamesWindowPairsMeanNothingHeadless)
{
    hx_pixelmap* screen = nullptr;
    ASSERT_EQ(HxDevBeginVar(&screen, "MEMORY", hx_token(HXT_WINDOW_HANDLE_H), uintptr_t(1234),
                            hx_token(HXT_WINDOW_FULLSCREEN_B), uintptr_t(1), hx_token(HXT_WIDTH_I32), uintptr_t(320),
                            hx_token(HXT_HEIGHT_I32), uintptr_t(240), hx_token(HXT_PIXEL_BITS_I32), uintptr_t(8),
                            hx_token(0)),
              HX_OK);
    EXPECT_EQ(screen->width, 320);
    EXPECT_EQ(screen->height, 240);
    EXPECT_EQ(screen->type, HX_PMT_INDEX_8);
}

TEST_F(MemoryDevice, ConfiguredDriverArgumentsGiveTheDefaults)
{
    HxSystemConfigSetString(HXT_HEXMIRE_DEVICES_STR, "DDRAW,w=1; MEMORY , w=800,h=600,b=15");
    hx_pixelmap* screen = nullptr;
    ASSERT_EQ(HxDevBegin(&screen, "MEMORY"), HX_OK);
    EXPECT_EQ(screen->width, 800);
    EXPECT_EQ(screen->height, 600);
    EXPECT_EQ(screen->type, HX_PMT_RGB_555);

    // The facility answers its defaults, and any device can be asked for a
    // screen the memory device can make.
    hx_object* output = nullptr;
    ASSERT_EQ(HxDevContainedFind(&output, HXT_OUTPUT_FACILITY, kHxMemoryOutputName, nullptr), HX_OK);
    hx_value width = {};
    ASSERT_EQ(output->dispatch->query(output, &width, HXT_WIDTH_I32), HX_OK);
    EXPECT_EQ(width.i, 800);
    ASSERT_EQ(HxDevBegin(&screen, "*,w=1024,h=768"), HX_OK);
    EXPECT_EQ(screen->width, 1024);
    EXPECT_EQ(screen->type, HX_PMT_RGB_555);
    EXPECT_EQ(HxDevBegin(&screen, "*,b=7"), HXE_FAIL);
}

TEST_F(MemoryDevice, DriverArgumentsItCannotMeetFailTheDriver)
{
    HxSystemConfigSetString(HXT_HEXMIRE_DEVICES_STR, "MEMORY,b=7");
    hx_pixelmap* screen = nullptr;
    EXPECT_EQ(HxDevBegin(&screen, "MEMORY"), HXE_FAIL);
    EXPECT_EQ(screen, nullptr);
    EXPECT_EQ(Devices("MEMORY"), 0);
}

TEST_F(MemoryDevice, PaletteOperationsReachTheScreensColourTable)
{
    hx_pixelmap* screen = nullptr;
    ASSERT_EQ(HxDevBegin(&screen, "MEMORY"), HX_OK);
    std::vector<uint32_t> expected(256, 0);
    EXPECT_EQ(Palette(screen), expected);

    hx_pixelmap* palette = HxPixelmapAllocate(HX_PMT_RGBX_888, 1, 3, nullptr, 0);
    for (int i = 0; i < 3; ++i)
        HxPixelmapPixelSet(palette, 0, i, 0x10101u * uint32_t(i + 1));
    HxPixelmapPaletteSet(screen, palette);
    HxPixelmapPaletteEntrySet(screen, 200, 0xABCDEF);
    HxPixelmapPaletteEntrySet(screen, 256, 0x123456); // past the table: ignored
    uint32_t four[4] = {1, 2, 3, 4};
    EXPECT_EQ(HxPixelmapPaletteEntriesSet(screen, 254, 4, four), HX_OK); // cut at the end
    expected[0] = 0x10101;
    expected[1] = 0x20202;
    expected[2] = 0x30303;
    expected[200] = 0xABCDEF;
    expected[254] = 1;
    expected[255] = 2;
    EXPECT_EQ(Palette(screen), expected);
    EXPECT_EQ(HxPixelmapPaletteEntriesSet(screen, -1, 1, four), HXE_FAIL);

    // A screen without indexed pixels has no table to change.
    hx_pixelmap* deep = nullptr;
    ASSERT_EQ(HxDevBegin(&deep, "MEMORY,b=16"), HX_OK);
    EXPECT_EQ(HxPixelmapPaletteEntriesSet(deep, 0, 4, four), HX_OK);
    EXPECT_TRUE(Palette(deep).empty());
    // Nor has a plain memory pixelmap, or a back buffer matched to a screen.
    EXPECT_TRUE(Palette(palette).empty());
    EXPECT_TRUE(Palette(HxPixelmapMatch(screen, HX_PMMATCH_OFFSCREEN)).empty());
}

TEST_F(MemoryDevice, TheOlderCallsWorkOnTheLastBegunScreen)
{
    hx_pixelmap* palette = HxPixelmapAllocate(HX_PMT_RGBX_888, 1, 2, nullptr, 0);
    HxPixelmapPixelSet(palette, 0, 0, 0x112233);
    HxPixelmapPixelSet(palette, 0, 1, 0x445566);
    // Nothing begun: nothing to change, and nothing breaks.
    HxDevPaletteSetOld(palette);
    HxDevPaletteSetEntryOld(3, 0x778899);
    HxDevEndOld();

    hx_pixelmap* screen = HxDevBeginOld("MEMORY");
    ASSERT_NE(screen, nullptr);
    HxDevPaletteSetOld(palette);
    HxDevPaletteSetEntryOld(3, 0x778899);
    HxDevPaletteSetOld(nullptr);
    std::vector<uint32_t> expected(256, 0);
    expected[0] = 0x112233;
    expected[1] = 0x445566;
    expected[3] = 0x778899;
    EXPECT_EQ(Palette(screen), expected);

    // The end frees the screen: the pixelmap module lets go of its block.
    uint32_t live = HxResSizeTotal(HxPixelmapAnchor());
    HxDevEndOld();
    EXPECT_EQ(HxDevLastBeginQuery(), nullptr);
    EXPECT_LT(HxResSizeTotal(HxPixelmapAnchor()) + 640u * 480u, live);
    ASSERT_NE(HxDevBeginOld("MEMORY,w=8,h=8"), nullptr);
}

TEST_F(MemoryDevice, ABackBufferIsShownByDoubleBuffering)
{
    hx_pixelmap* screen = nullptr;
    ASSERT_EQ(HxDevBegin(&screen, "MEMORY,w=64,h=48"), HX_OK);
    hx_pixelmap* back = HxPixelmapMatch(screen, HX_PMMATCH_OFFSCREEN);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->width, 64);
    HxPixelmapFill(back, 3);
    HxPixelmapRectangleFill(back, 10, 10, 5, 5, 200);
    ASSERT_EQ(HxPixelmapDoubleBuffer(screen, back), HX_OK);
    for (auto [x, y, colour] : {std::tuple{0, 0, 3u}, {10, 10, 200u}, {14, 14, 200u}, {15, 15, 3u}, {63, 47, 3u}})
        EXPECT_EQ(HxPixelmapPixelQuery(screen, x, y), colour) << x << "," << y;
}

TEST(MemoryDeviceLifetime, CoreEndFreesTheDeviceAndItsScreens)
{
    hx_allocator* previous = HxAllocatorSet(HxCountingAllocator::Get());
    int before = HxCountingAllocator::Live();
    ASSERT_EQ(HxCoreBegin(), HX_OK);
    hx_pixelmap* screen = nullptr;
    ASSERT_EQ(HxDevBegin(&screen, "MEMORY,w=32,h=32"), HX_OK);
    // Allocated memory is not cleared: a fresh screen is.
    EXPECT_EQ(HxPixelmapPixelQuery(screen, 31, 31), 0u);
    HxPixelmapPaletteEntrySet(screen, 1, 0xFFFFFF);
    ASSERT_EQ(HxDevBegin(&screen, "MEMORY,b=32"), HX_OK);
    HxCoreEnd();
    EXPECT_EQ(HxCountingAllocator::Live(), before);
    HxAllocatorSet(previous);
}

} // namespace
