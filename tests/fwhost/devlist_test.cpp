// The device list: adding and removing devices, the growing table, device
// begin with its device text and token-value pairs, configured drivers and
// devices, and the facility lookups' order of drivers.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/devlist.h"
#include "framework/fw_state.h"
#include "framework/image.h"
#include "framework/pixelmap.h"
#include "framework/sys_conf.h"
#include "tests/fwhost/core_fixture.h"
#include "tests/fwhost/stand_in_drivers.h"

namespace {

using standin::Seen;

class HxDevices : public HxCore {
protected:
    static int Devices()
    {
        int n = -1;
        HxDevCount(&n, nullptr);
        return n;
    }
    static hx_image* Image(const char* name)
    {
        for (hx_node* node = fw.images.head; node->next; node = node->next) {
            auto* image = reinterpret_cast<hx_image*>(node);
            if (HxStrICmp(image->identifier, name) == 0)
                return image;
        }
        return nullptr;
    }
    standin::Registered drivers;
};

} // namespace

TEST_F(HxDevices, BeginByNameAddsTheDriverOnceAndReturnsItsOutputPixelmap)
{
    hx_pixelmap* pm = nullptr;
    ASSERT_EQ(HxDevBeginVar(&pm, "SCREEN", hx_token(0)), HX_OK);
    ASSERT_NE(pm, nullptr);
    EXPECT_EQ(pm->width, 640);
    EXPECT_EQ(HxDevLastBeginQuery(), pm);
    EXPECT_EQ(Seen().args["SCREEN"], "");
    EXPECT_TRUE(Seen().lastPairs.empty());

    // The device's identifier is its image's name: a second begin finds it.
    hx_pixelmap* again = nullptr;
    ASSERT_EQ(HxDevBegin(&again, " screen "), HX_OK);
    EXPECT_EQ(Seen().begun["SCREEN"], 1);
    EXPECT_EQ(Devices(), 1);
    EXPECT_EQ(HxDevLastBeginQuery(), again);
    HxDevEndOld();
    EXPECT_EQ(HxDevLastBeginQuery(), nullptr);
    EXPECT_EQ(Seen().pixelmapsFreed, 1);
    HxPixelmapFree(pm);
}

TEST_F(HxDevices, NullTextTakesTheDefaultDeviceSetting)
{
    hx_pixelmap* pm = nullptr;
    ASSERT_EQ(HxSystemConfigSetString(HXT_DEFAULT_DEVICE_STR, "WIDE"), HX_OK);
    ASSERT_EQ(HxDevBegin(&pm, nullptr), HX_OK);
    EXPECT_EQ(pm->width, 800);
}

TEST_F(HxDevices, AnyDeviceIsMatchedByTheArgumentPairs)
{
    ASSERT_EQ(HxDevAdd(nullptr, "WIDE", nullptr), HX_OK);
    ASSERT_EQ(HxDevAdd(nullptr, "SCREEN", nullptr), HX_OK);
    struct Case {
        const char* text;
        hx_error result;
        int32_t width;
    };
    for (const Case& c : {Case{"*,w=640", HX_OK, 640}, Case{"*,w=800", HX_OK, 800}, Case{",w=640", HX_OK, 640},
                          Case{"*,w=1024", HXE_FAIL, 0}, Case{"*", HX_OK, 800}}) {
        hx_pixelmap* pm = nullptr;
        EXPECT_EQ(HxDevBegin(&pm, c.text), c.result) << c.text;
        if (pm) {
            EXPECT_EQ(pm->width, c.width) << c.text;
            HxPixelmapFree(pm);
        }
    }
    // A named device is asked alone: its facility does not match 800.
    hx_pixelmap* pm = nullptr;
    EXPECT_EQ(HxDevBegin(&pm, "SCREEN,w=800"), HXE_FAIL);
    EXPECT_EQ(pm, nullptr);
}

TEST_F(HxDevices, ConfiguredDeviceArgumentsAreGivenToTheDriverAndMergedWithTheCallersPairs)
{
    HxSystemConfigSetString(HXT_HEXMIRE_DEVICES_STR, "WIDE,mode=2; SCREEN , w=640,h=480");
    hx_pixelmap* pm = nullptr;
    // The text's height is replaced by the caller's (else the facility, 480
    // high, would not match), the caller's width is appended.
    ASSERT_EQ(HxDevBeginVar(&pm, "SCREEN,h=999", hx_token(HXT_WIDTH_I32), uintptr_t(640), hx_token(HXT_HEIGHT_I32),
                            uintptr_t(480), hx_token(0)),
              HX_OK);
    EXPECT_EQ(Seen().args["SCREEN"], " w=640,h=480");
    ASSERT_EQ(Seen().lastPairs.size(), 2u);
    EXPECT_EQ(Seen().lastPairs[0].t, HXT_HEIGHT_I32);
    EXPECT_EQ(Seen().lastPairs[0].v.i, 480);
    EXPECT_EQ(Seen().lastPairs[1].t, HXT_WIDTH_I32);
    EXPECT_EQ(Seen().lastPairs[1].v.i, 640);
}

TEST_F(HxDevices, TooManyPairsFail)
{
    std::string text = "SCREEN";
    for (int i = 0; i < 63; ++i)
        text += ",w=640";
    hx_pixelmap* pm = nullptr;
    ASSERT_EQ(HxDevBegin(&pm, text.c_str()), HX_OK);
    HxPixelmapFree(pm);
    EXPECT_EQ(HxDevBegin(&pm, (text + ",h=480").c_str()), HXE_NO_ROOM);
    EXPECT_EQ(pm, nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Too many token value pairs"));
    // 63 pairs from the text leave no room for a new token of the caller's.
    HxDiagLog::Clear();
    EXPECT_EQ(HxDevBeginVar(&pm, text.c_str(), hx_token(HXT_HEIGHT_I32), uintptr_t(480), hx_token(0)),
              HXE_NO_ROOM);
    EXPECT_TRUE(HxDiagLog::Saw("Too many token value pairs"));
}

TEST_F(HxDevices, TheTableGrowsPastSixteenAndStaysValidAfterARemove)
{
    std::vector<hx_object*> devices;
    for (int i = 0; i < 17; ++i) {
        hx_object* d = nullptr;
        ASSERT_EQ(HxDevAddStatic(&d, &standin::Begin<5>, nullptr), HX_OK);
        devices.push_back(d);
    }
    ASSERT_EQ(HxDevAdd(nullptr, "WIDE", nullptr), HX_OK);
    EXPECT_EQ(fw.deviceSlots, 32);
    hx_object* found = nullptr;
    ASSERT_EQ(HxDevFind(&found, "wide"), HX_OK);
    EXPECT_STREQ(found->dispatch->identifier(found), "WIDE");

    hx_object* many[20] = {};
    int count = 0;
    EXPECT_EQ(HxDevFindMany(many, &count, 20, "EMPTY"), HX_OK);
    EXPECT_EQ(count, 17);
    EXPECT_EQ(many[16], devices[16]);
    EXPECT_EQ(HxDevFindMany(many, &count, 4, nullptr), HXE_NO_ROOM);
    EXPECT_EQ(count, 4);

    EXPECT_EQ(HxDevRemove(devices[16]), HX_OK);
    EXPECT_EQ(Devices(), 17);
    ASSERT_EQ(HxDevAdd(nullptr, "SCREEN", nullptr), HX_OK);
    ASSERT_EQ(HxDevFind(&found, "SCREEN"), HX_OK);
    EXPECT_EQ(Devices(), 18);
}

TEST_F(HxDevices, ContainedSearchesAskEveryDeviceInSlotOrder)
{
    ASSERT_EQ(HxDevAdd(nullptr, "SCREEN", nullptr), HX_OK);
    ASSERT_EQ(HxDevAdd(nullptr, "WIDE", nullptr), HX_OK);
    hx_object* found[2] = {};
    int count = 0;
    EXPECT_EQ(HxDevContainedFindMany(found, 2, &count, HXT_OUTPUT_FACILITY, nullptr, nullptr), HX_OK);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(found[0]->dispatch->identifier(found[0]), "main-screen");
    EXPECT_EQ(HxDevContainedFindMany(found, 1, &count, HXT_OUTPUT_FACILITY, nullptr, nullptr), HXE_NO_ROOM);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(HxDevContainedCount(&count, HXT_OUTPUT_FACILITY, "*screen", nullptr), HX_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(HxDevContainedCount(&count, HXT_RENDERER_FACILITY, nullptr, nullptr), HX_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(HxDevices, MissingDriversAndEntryPointsFail)
{
    hx_object* d = reinterpret_cast<hx_object*>(1);
    EXPECT_EQ(HxDevAdd(&d, "NOSUCH", nullptr), HXE_FAIL);
    EXPECT_EQ(d, nullptr);
    EXPECT_EQ(HxDevAddStatic(&d, nullptr, nullptr), HXE_FAIL);
    hx_pixelmap* pm = nullptr;
    EXPECT_EQ(HxDevBegin(&pm, "NOSUCH"), HXE_FAIL);
    EXPECT_EQ(HxDevBeginOld("NOSUCH"), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Could not start driver"));
    ASSERT_NE(HxDevBeginOld("SCREEN"), nullptr);
    EXPECT_EQ(HxDevBeginOld("SCREEN"), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Device already active"));
    HxDevEndOld();
}

TEST_F(HxDevices, RendererLookupTriesTheTypedDriverBeforeThePlainOne)
{
    hx_object* facility = nullptr;
    ASSERT_EQ(HxRendererFacilityFind(&facility, nullptr, HX_SCALAR_FLOAT), HX_OK);
    EXPECT_STREQ(facility->dispatch->identifier(facility), "Default-Renderer-Float");
    EXPECT_EQ(Seen().begun["softrndf"], 1);
    EXPECT_EQ(Seen().begun["softrend"], 0);

    // Without a scalar type the plain renderer is loaded.
    ASSERT_EQ(HxRendererFacilityFind(&facility, nullptr, 0), HX_OK);
    EXPECT_STREQ(facility->dispatch->identifier(facility), "Default-Renderer");
    EXPECT_EQ(Seen().begun["softrend"], 1);
    // Now found among the devices, loading nothing more.
    ASSERT_EQ(HxRendererFacilityFind(&facility, nullptr, HX_SCALAR_FLOAT), HX_OK);
    EXPECT_EQ(Seen().begun["softrndf"], 1);
    EXPECT_EQ(HxPrimitiveLibraryFind(&facility, nullptr, HX_SCALAR_FIXED), HX_OK);
    EXPECT_STREQ(facility->dispatch->identifier(facility), "Default-Primitives");
    EXPECT_EQ(HxFormatFacilityFind(&facility, nullptr, nullptr, HX_SCALAR_FIXED, HXT_DEVICE_CLUT), HX_OK);
    EXPECT_STREQ(facility->dispatch->identifier(facility), "Default-Format");
}

TEST(HxDevicesLookup, TheFloatRendererFallsBackToThePlainDriver)
{
    standin::Registered drivers({"softrndf"});
    HxDiagHandlerSet(HxDiagLog::Handler());
    ASSERT_EQ(HxCoreBegin(), HX_OK);
    hx_object* facility = nullptr;
    ASSERT_EQ(HxRendererFacilityFind(&facility, nullptr, HX_SCALAR_FLOAT), HX_OK);
    EXPECT_STREQ(facility->dispatch->identifier(facility), "Default-Renderer");
    EXPECT_EQ(Seen().begun["softrend"], 1);
    HxCoreEnd();

    // With no renderer at all the lookup fails.
    HxImageBuiltInDriverRemove("softrend");
    ASSERT_EQ(HxCoreBegin(), HX_OK);
    EXPECT_EQ(HxRendererFacilityFind(&facility, nullptr, HX_SCALAR_FLOAT), HXE_FAIL);
    EXPECT_EQ(facility, nullptr);
    HxCoreEnd();
    HxDiagHandlerSet(nullptr);
}

TEST_F(HxDevices, ConfiguredDriversAreAddedOnFirstUseWithOneHoldEach)
{
    HxSystemConfigSetString(HXT_HEXMIRE_DRIVERS_STR, " softrend , quality=2; WIDE:w=800;;NOSUCH");
    EXPECT_EQ(Devices(), 2);
    EXPECT_EQ(Seen().args["softrend"], " quality=2");
    EXPECT_EQ(Seen().args["WIDE"], "w=800");
    hx_image* image = Image("softrend");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->references, 0);

    hx_object* device = nullptr;
    ASSERT_EQ(HxDevFind(&device, "softrend"), HX_OK);
    HxDevRemove(device);
    EXPECT_EQ(Image("softrend"), nullptr);
    EXPECT_EQ(Seen().freed["softrend"], 1);
}

TEST_F(HxDevices, CoreEndFreesADeviceHeldInTwoSlotsOnce)
{
    hx_object* device = nullptr;
    ASSERT_EQ(HxDevAdd(&device, "WIDE", nullptr), HX_OK);
    ASSERT_EQ(HxDevAdd(nullptr, "SCREEN", nullptr), HX_OK);
    // The same device entered again, with a second hold on its image.
    fw.devices[2] = {device, HxImageReference("WIDE")};
    HxCoreEnd();
    EXPECT_EQ(Seen().freed["WIDE"], 1);
    EXPECT_EQ(Seen().freed["SCREEN"], 1);
}
