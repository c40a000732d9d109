// Export images, name and ordinal lookups, holds, built-in drivers, drivers
// loaded as shared objects, and the host services behind them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/devlist.h"
#include "framework/fw_state.h"
#include "framework/host.h"
#include "framework/image.h"
#include "framework/mem.h"
#include "framework/resource.h"
#include "framework/sys_conf.h"
#include "tests/fwhost/core_fixture.h"
#include "tests/support/scratch_folder.h"

namespace {

class HxImages : public HxCore {
protected:
    void SetUp() override
    {
        HxCore::SetUp();
        // The loader tests' drivers are built beside the test programs.
        std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
        drivers = (self.parent_path() / "fwhost_drivers").string();
        HxSystemConfigSetString(HXT_HEXMIRE_PATH_STR, ("nowhere;" + drivers).c_str());
    }
    static bool Listed(const hx_image* image)
    {
        for (hx_node* node = fw.images.head; node->next; node = node->next) {
            if (reinterpret_cast<hx_image*>(node) == image)
                return true;
        }
        return false;
    }
    std::string drivers;
};

hx_object* NullDriver(const char*)
{
    return nullptr;
}

} // namespace

TEST(HxExportImages, NamesAreSortedAndEveryNameHasAFunction)
{
    for (const hx_image* image : {&HxImageCore1, &HxImagePmap1, &HxImageHost1}) {
        ASSERT_GT(image->nNames, 0) << image->identifier;
        EXPECT_EQ(image->type, HX_IMAGE_BUILT_IN);
        EXPECT_EQ(image->ordinalBase, 1);
        for (int i = 0; i < image->nNames; ++i) {
            EXPECT_EQ(image->names[i][0], '_') << image->names[i];
            EXPECT_NE(image->functions[image->ordinals[i]], nullptr) << image->names[i];
            if (i > 0) {
                EXPECT_LT(std::strcmp(image->names[i - 1], image->names[i]), 0) << image->names[i];
            }
        }
    }
    EXPECT_STREQ(HxImageCore1.identifier, "HXCORE1");
    EXPECT_STREQ(HxImagePmap1.identifier, "HXPMAP1");
    EXPECT_STREQ(HxImageHost1.identifier, "HXHOST1");
}

TEST(HxExportImages, LookupsFindNamesWithOrWithoutTheUnderscore)
{
    hx_image* core = &HxImageCore1;
    EXPECT_EQ(HxImageLookupName(core, "HxAbort", -1), reinterpret_cast<void*>(&HxAbort));
    EXPECT_EQ(HxImageLookupName(core, "_HxAbort", 12345), reinterpret_cast<void*>(&HxAbort));
    // A name that already carries an underscore gains a second one.
    EXPECT_EQ(HxImageLookupName(core, "_HxAssert", -1), reinterpret_cast<void*>(&_HxAssert));
    EXPECT_EQ(HxImageLookupName(core, "hxabort", -1), nullptr);
    EXPECT_EQ(HxImageLookupName(core, "HxNoSuchFunction", 0), nullptr);

    int index = -1;
    for (int i = 0; i < core->nNames; ++i) {
        if (std::strcmp(core->names[i], "_HxResAllocate") == 0)
            index = i;
    }
    ASSERT_GE(index, 0);
    EXPECT_EQ(HxImageLookupName(core, "HxResAllocate", index), reinterpret_cast<void*>(&HxResAllocate));
    EXPECT_EQ(HxImageLookupOrdinal(core, index + 1), reinterpret_cast<void*>(&HxResAllocate));
    EXPECT_EQ(HxImageLookupOrdinal(core, 0), nullptr);
    EXPECT_EQ(HxImageLookupOrdinal(core, core->nFunctions + 1), nullptr);
    EXPECT_EQ(HxImageLookupName(&HxImageHost1, "HostInfo", -1), reinterpret_cast<void*>(&HostInfo));
}

TEST_F(HxImages, BuiltInImagesAreHeldButNeverReleased)
{
    int before = HxImageCore1.references;
    hx_image* image = HxImageReference("hxcore1.dll");
    EXPECT_EQ(image, &HxImageCore1);
    EXPECT_EQ(HxImageCore1.references, before + 1);
    HxImageDereference(image);
    HxImageDereference(image);
    EXPECT_EQ(HxImageCore1.references, 0);
    EXPECT_TRUE(Listed(&HxImageCore1));
    EXPECT_EQ(HxImageReference("HXHOST1"), &HxImageHost1);
    EXPECT_EQ(HxImageReference("HXPMAP1"), &HxImagePmap1);
    EXPECT_EQ(HxImageReference("NOSUCH"), nullptr);
    EXPECT_EQ(HxImageReference(""), nullptr);
    EXPECT_EQ(HxImageReference(std::string(300, 'a').c_str()), nullptr);
}

TEST_F(HxImages, BuiltInDriversBecomeImagesWithOneHoldPerReference)
{
    ASSERT_TRUE(HxImageBuiltInDriverAdd("nulldrv", NullDriver));
    EXPECT_FALSE(HxImageBuiltInDriverAdd("NULLDRV", NullDriver));
    char name[] = "NullDrv.bdd";
    hx_image* image = HxImageReference(name);
    ASSERT_NE(image, nullptr);
    EXPECT_STREQ(name, "NullDrv.bdd"); // the caller's text is left alone
    EXPECT_STREQ(image->identifier, "NullDrv");
    EXPECT_EQ(HxImageLookupName(image, "HxDrv1Begin", 0), reinterpret_cast<void*>(&NullDriver));
    EXPECT_EQ(HxImageReference("nulldrv"), image);
    HxImageDereference(image);
    EXPECT_TRUE(Listed(image));
    HxImageDereference(image);
    EXPECT_FALSE(Listed(image));

    // A driver whose entry point makes no device leaves no hold behind.
    EXPECT_EQ(HxDevAdd(nullptr, "nulldrv", nullptr), HXE_FAIL);
    hx_image* again = HxImageReference("nulldrv");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->references, 0);
    HxImageDereference(again);
    HxImageBuiltInDriverRemove("nulldrv");
}

TEST_F(HxImages, ASharedObjectDriverHasItsImportsFilledBeforeItBegins)
{
    int coreHolds = HxImageCore1.references;
    int hostHolds = HxImageHost1.references;
    hx_object* device = nullptr;
    ASSERT_EQ(HxDevAdd(&device, "fwtest_good", "w=640"), HX_OK);
    ASSERT_NE(device, nullptr);
    EXPECT_STREQ(device->dispatch->identifier(device), "fwtest_good");
    struct Device {
        hx_object object;
        char arguments[64];
        char defaultDevice[16];
    };
    EXPECT_STREQ(reinterpret_cast<Device*>(device)->arguments, "w=640");
    EXPECT_STREQ(reinterpret_cast<Device*>(device)->defaultDevice, "DDRAW");

    hx_image* image = fw.devices[0].image;
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->type, HX_IMAGE_HOST);
    EXPECT_STREQ(image->identifier, "fwtest_good");
    EXPECT_EQ(image->nImports, 2);
    EXPECT_EQ(HxImageCore1.references, coreHolds + 1);
    EXPECT_EQ(HxImageHost1.references, hostHolds + 1);
    auto* imports = static_cast<hx_driver_import*>(HxImageLookupName(image, "HxDrv1Imports", 0));
    ASSERT_NE(imports, nullptr);
    EXPECT_EQ(*imports[3].slot, reinterpret_cast<void*>(&HxAbort));
    EXPECT_EQ(imports[5].name, nullptr);
    EXPECT_EQ(*imports[5].slot, HxImageLookupOrdinal(&HxImageHost1, 1));
    EXPECT_EQ(*imports[5].slot, reinterpret_cast<void*>(&HostDefaultDevice));
    EXPECT_EQ(HxImageLookupOrdinal(image, 1), nullptr);

    // Found again by its file name, with or without the folder.
    EXPECT_EQ(HxImageReference("fwtest_good.so"), image);
    EXPECT_EQ(HxImageReference((drivers + "/fwtest_good.so").c_str()), image);
    HxImageDereference(image);
    HxImageDereference(image);

    HxDevRemove(device);
    EXPECT_FALSE(Listed(image));
    EXPECT_EQ(HxImageCore1.references, coreHolds);
    EXPECT_EQ(HxImageHost1.references, hostHolds);
}

TEST_F(HxImages, ASharedObjectWithoutAnEntryPointAddsNoDevice)
{
    int coreHolds = HxImageCore1.references;
    EXPECT_EQ(HxDevAdd(nullptr, "fwtest_noentry", nullptr), HXE_FAIL);
    int n = -1;
    HxDevCount(&n, nullptr);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(HxImageCore1.references, coreHolds);
    hx_image* image = HxImageReference("fwtest_noentry");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->references, 0);
    HxImageDereference(image);
}

TEST_F(HxImages, DriversComeFromTheProgramsFolderNeverFromTheDataFolder)
{
    // The working folder is the data tree: a driver planted there, by its
    // bare name or below a relative search folder, is never loaded.
    ScratchFolder data{"image_data", true};
    std::filesystem::create_directories(data / "fwhost_drivers");
    std::filesystem::copy_file(drivers + "/fwtest_noentry.so", data / "fwtest_planted.so");
    std::filesystem::copy_file(drivers + "/fwtest_noentry.so", data / "fwhost_drivers/fwtest_planted.so");
    HxSystemConfigSetString(HXT_HEXMIRE_PATH_STR, "fwhost_drivers");
    EXPECT_EQ(HxImageReference("fwtest_planted"), nullptr);
    EXPECT_EQ(HxImageReference("fwhost_drivers/fwtest_planted.so"), nullptr);

    // The same relative folder names the one beside the program.
    hx_image* own = HxImageReference("fwtest_noentry");
    ASSERT_NE(own, nullptr);
    HxImageDereference(own);
    own = HxImageReference("fwhost_drivers/fwtest_noentry.so");
    ASSERT_NE(own, nullptr);
    HxImageDereference(own);
}

TEST_F(HxImages, AnUnresolvableImportFailsTheLoad)
{
    int coreHolds = HxImageCore1.references;
    EXPECT_EQ(HxImageReference("fwtest_badimport"), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Could not resolve imported symbol HXCORE1:HxNoSuchFunction (7)"));
    EXPECT_EQ(HxImageCore1.references, coreHolds);
    EXPECT_EQ(HxDevAdd(nullptr, "fwtest_badimport", nullptr), HXE_FAIL);
    int pmapHolds = HxImagePmap1.references;
    EXPECT_EQ(HxImageReference("fwtest_badordinal"), nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Could not resolve imported ordinal HXPMAP1:500"));
    EXPECT_EQ(HxImageCore1.references, coreHolds);
    EXPECT_EQ(HxImagePmap1.references, pmapHolds);

    // Not on the search path: nothing is loaded.
    HxSystemConfigSetString(HXT_HEXMIRE_PATH_STR, "nowhere");
    EXPECT_EQ(HxImageReference("fwtest_good"), nullptr);
}

TEST(HxHostServices, HostInfoCopiesWhatFitsAndProbesTheProcessor)
{
    hx_host_info info;
    std::memset(&info, 0xEE, sizeof info);
    EXPECT_EQ(HostInfo(&info, 20), HXE_NO_ROOM);
    EXPECT_EQ(info.size, 56u);
    EXPECT_EQ(std::string(info.identifier, 4), "POSI");
    EXPECT_EQ(static_cast<unsigned char>(info.identifier[16]), 0xEE); // byte 20 on: untouched

    ASSERT_EQ(HostInfo(&info, sizeof info), HX_OK);
    EXPECT_STREQ(info.identifier, kHxHostIdentifier);
    EXPECT_EQ(info.identifier[39], 0);
    EXPECT_EQ(info.processorFamily, HXT_INTEL);
    EXPECT_GE(info.processorType, HXT_INTEL_386);
    EXPECT_LE(info.processorType, HXT_INTEL_PENTIUM_PRO);
#if defined(__x86_64__)
    EXPECT_EQ(info.processorType, HXT_INTEL_PENTIUM_PRO);
    EXPECT_EQ(info.capabilities, uint32_t(HX_HOST_CAP_FPU | HX_HOST_CAP_MMX));
#endif
}

TEST(HxHostServices, ProcessorFamiliesAndFeatureBits)
{
    struct Case {
        uint32_t highest, signature, features;
        hx_token type;
        uint32_t flags;
    };
    const Case cases[] = {
        {0, 0x600, 1, HXT_INTEL_486, 0},
        {1, 0x300, 0, HXT_INTEL_386, 0},
        {1, 0x435, 1, HXT_INTEL_486, HX_HOST_CAP_FPU},
        {1, 0x543, 1u | (1u << 23), HXT_INTEL_PENTIUM, HX_HOST_CAP_FPU | HX_HOST_CAP_MMX},
        {2, 0x633, 1u << 23, HXT_INTEL_PENTIUM_PRO, HX_HOST_CAP_MMX},
        {13, 0xF29, 1, HXT_INTEL_PENTIUM_PRO, HX_HOST_CAP_FPU},
    };
    for (const Case& c : cases) {
        hx_token type = 0;
        uint32_t flags = 99;
        HostProcessorClassify(c.highest, c.signature, c.features, &type, &flags);
        EXPECT_EQ(type, c.type) << std::hex << c.signature;
        EXPECT_EQ(flags, c.flags) << std::hex << c.signature;
    }
}

TEST(HxHostServices, TheDosExtenderServicesReportFailure)
{
    uint16_t selector = 7;
    EXPECT_EQ(HostSelectorReal(&selector), HX_OK);
    EXPECT_EQ(selector, 0);
    EXPECT_EQ(HostSelectorFree(selector), HX_OK);
    EXPECT_EQ(HostSelectorFree(8), HXE_FAIL);
    EXPECT_EQ(HostSelectorAllocate(&selector), HXE_FAIL);
    hx_host_hook hook = {};
    EXPECT_EQ(HostInterruptUnhook(&hook), HXE_NOT_ACTIVE);
    EXPECT_EQ(HostInterruptHook(&hook, 8, nullptr), HXE_FAIL);
    hook.inUse = 1;
    EXPECT_EQ(HostExceptionHook(&hook, 13, nullptr), HXE_ACTIVE);
    uint8_t byte = 0;
    EXPECT_EQ(HostRealByteRead(&byte, 0x40, 0x17), HXE_FAIL);
    EXPECT_EQ(HostImageLookupOrdinal(nullptr, 1), nullptr);
    EXPECT_STREQ(HostDefaultDevice(), "DDRAW");
}
