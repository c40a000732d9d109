// System configuration: where each setting comes from and in which order,
// the defaults, explicit loads, and the associative array behind it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "framework/fw_state.h"
#include "framework/host.h"
#include "framework/resource.h"
#include "framework/sys_conf.h"
#include "framework/token_ids.h"
#include "platform/registry.h"
#include "tests/framework/hx_fixture.h"
#include "tests/support/scratch_folder.h"

namespace {

constexpr const char* kVariables[] = {"HEXMIRE_PATH", "HEXMIRE_DRIVERS", "HX_DRIVERS",
                                      "HEXMIRE_DEVICES", "HX_DEVICES", "HEXMIRE_DOS_GFX",
                                      "HEXMIRE_DEFAULT_DEVICE", "HX_DEFAULT_DEVICE"};
constexpr const char* kKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Hexmire\\1.3.0]\n";

// Each test starts with no registry, no ini file and none of the
// variables, in a folder of its own; it writes its sources, then begins.
class HxSystemConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : kVariables) {
            if (const char* value = std::getenv(name))
                saved.emplace_back(name, value);
            ::unsetenv(name);
        }
        platform::SetRegistryFile((folder / "registry.reg").c_str());
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
    }
    void TearDown() override
    {
        if (fw.active)
            HxFwEnd();
        HxDiagHandlerSet(nullptr);
        platform::SetRegistryFile(nullptr);
        for (const char* name : kVariables)
            ::unsetenv(name);
        for (const auto& [name, value] : saved)
            ::setenv(name.c_str(), value.c_str(), 1);
    }
    void Registry(const std::string& values) { folder.Write("registry.reg", std::string(kKey) + values); }
    void Ini(const std::string& text) { folder.Write("Hexmire.ini", text); }
    static std::string Setting(hx_token t)
    {
        char buffer[512];
        EXPECT_EQ(HxSystemConfigQueryString(t, buffer, sizeof buffer), HX_OK);
        return buffer;
    }
    void Begin() { ASSERT_EQ(HxFwBegin(), HX_OK); }

    ScratchFolder folder{"hx_sysconf", true};
    std::vector<std::pair<std::string, std::string>> saved;
};

} // namespace

TEST_F(HxSystemConfig, WithNothingConfiguredTheDefaultsApply)
{
    Begin();
    EXPECT_EQ(Setting(HXT_DEFAULT_DEVICE_STR), "DDRAW");
    EXPECT_EQ(Setting(HXT_HEXMIRE_PATH_STR), "dat;../dat;../../dat;../../../dat;../../../../dat");
    EXPECT_EQ(Setting(HXT_HEXMIRE_DRIVERS_STR), "");
    EXPECT_EQ(Setting(HXT_HEXMIRE_DEVICES_STR), "");
    EXPECT_STREQ(HxSystemConfigRegistryKey(), "SOFTWARE\\Vantrel\\Hexmire\\1.3.0");
}

TEST_F(HxSystemConfig, ForOneNameTheRegistryComesBeforeTheIniFileAndTheEnvironment)
{
    ::setenv("HEXMIRE_PATH", "env\\dat", 1);
    Begin();
    EXPECT_EQ(Setting(HXT_HEXMIRE_PATH_STR), "env\\dat");
    HxFwEnd();

    Ini("[Hexmire]\nHEXMIRE_PATH=ini/dat\n");
    Begin();
    EXPECT_EQ(Setting(HXT_HEXMIRE_PATH_STR), "ini/dat");
    HxFwEnd();

    Registry("\"HEXMIRE_PATH\"=\"reg\\\\dat\"\n");
    Begin();
    EXPECT_EQ(Setting(HXT_HEXMIRE_PATH_STR), "reg\\dat");
}

TEST_F(HxSystemConfig, LaterNamesOverrideEarlierOnes)
{
    Registry("\"HEXMIRE_DRIVERS\"=\"softrend\"\n\"HEXMIRE_DEVICES\"=\"DDRAW,w=640\"\n");
    Ini("[Hexmire]\nHEXMIRE_DOS_GFX=VGA\nHEXMIRE_DEFAULT_DEVICE=\n");
    ::setenv("HX_DRIVERS", "softrndf", 1);
    ::setenv("HX_DEFAULT_DEVICE", "MEMORY", 1);
    Begin();
    EXPECT_EQ(Setting(HXT_HEXMIRE_DRIVERS_STR), "softrndf");
    EXPECT_EQ(Setting(HXT_HEXMIRE_DEVICES_STR), "DDRAW,w=640");
    EXPECT_EQ(Setting(HXT_DEFAULT_DEVICE_STR), "MEMORY");
}

TEST_F(HxSystemConfig, ANonStringRegistryValueIsReportedAndTreatedAsMissing)
{
    Registry("\"HEXMIRE_DEVICES\"=dword:00000010\n");
    ::setenv("HEXMIRE_DEVICES", "WIDE,w=800", 1);
    Begin();
    EXPECT_EQ(Setting(HXT_HEXMIRE_DEVICES_STR), "WIDE,w=800");
    ASSERT_FALSE(HxDiagLog::Warnings().empty());
    EXPECT_NE(HxDiagLog::Warnings()[0].find("Registry entry type is not a string"), std::string::npos);

    char buffer[8] = "x";
    size_t length = 99;
    EXPECT_EQ(HostRegistryQuery(nullptr, HxSystemConfigRegistryKey(), "HEXMIRE_DEVICES", buffer, sizeof buffer,
                                &length),
              HXE_FAIL);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(length, 0u);
}

TEST_F(HxSystemConfig, RegistryLoadStopsAtTheFirstMissingValue)
{
    Begin();
    folder.Write("registry.reg", "[HKEY_CURRENT_USER\\Custom]\n\"HEXMIRE_PATH\"=\"p\"\n\"HEXMIRE_DRIVERS\"=\"d\"\n"
                                 "\"HEXMIRE_DEVICES\"=\"v\"\n\"HEXMIRE_DOS_GFX\"=\"g\"\n");
    EXPECT_EQ(HxSystemConfigLoad(HXT_REGISTRY_STR, "Custom", "HKEY_CURRENT_USER"), HXE_FAIL);
    EXPECT_EQ(Setting(HXT_HEXMIRE_PATH_STR), "p");
    EXPECT_EQ(Setting(HXT_DEFAULT_DEVICE_STR), "g");

    folder.Write("registry.reg", "[HKEY_LOCAL_MACHINE\\Custom]\n\"HEXMIRE_PATH\"=\"p2\"\n\"HEXMIRE_DRIVERS\"=\"d\"\n"
                                 "\"HEXMIRE_DEVICES\"=\"v\"\n\"HEXMIRE_DOS_GFX\"=\"g\"\n\"HX_DEFAULT_DEVICE\"=\"h\"\n");
    EXPECT_EQ(HxSystemConfigLoad(HXT_REGISTRY_STR, "Custom", nullptr), HX_OK);
    EXPECT_EQ(Setting(HXT_HEXMIRE_PATH_STR), "p2");
    EXPECT_EQ(Setting(HXT_DEFAULT_DEVICE_STR), "h");
}

TEST_F(HxSystemConfig, IniLoadReadsThePresentKeysOfAnExistingSection)
{
    Begin();
    folder.Write("other.ini", "[Video]\nHEXMIRE_DEVICES=DDRAW,w=320\nHX_DEFAULT_DEVICE=WIDE\n");
    EXPECT_EQ(HxSystemConfigLoad(HXT_INI_STR, "other.ini", "video"), HX_OK);
    EXPECT_EQ(Setting(HXT_HEXMIRE_DEVICES_STR), "DDRAW,w=320");
    EXPECT_EQ(Setting(HXT_DEFAULT_DEVICE_STR), "WIDE");
    EXPECT_EQ(Setting(HXT_HEXMIRE_PATH_STR), kHxDefaultSearchPath);
    EXPECT_EQ(HxSystemConfigLoad(HXT_INI_STR, "other.ini", "Audio"), HXE_FAIL);
    EXPECT_EQ(HxSystemConfigLoad(HXT_INI_STR, "missing.ini", "Video"), HXE_FAIL);

    EXPECT_EQ(HxSystemConfigLoad(HXT_WIDTH_I32, "other.ini", "Video"), HXE_FAIL);
    EXPECT_TRUE(HxDiagLog::Saw("Invalid system config load token. Must be REGISTRY or INI"));
}

TEST_F(HxSystemConfig, StringsAreCopiedReplacedAndAlwaysTerminated)
{
    Begin();
    std::string text = "first";
    ASSERT_EQ(HxSystemConfigSetString(HXT_HEXMIRE_DEVICES_STR, text.c_str()), HX_OK);
    text[0] = 'X';
    EXPECT_EQ(Setting(HXT_HEXMIRE_DEVICES_STR), "first");
    uint32_t before = HxResSizeTotal(fw.sysConfig);
    ASSERT_EQ(HxSystemConfigSetString(HXT_HEXMIRE_DEVICES_STR, "other"), HX_OK);
    EXPECT_EQ(Setting(HXT_HEXMIRE_DEVICES_STR), "other");
    EXPECT_EQ(HxResSizeTotal(fw.sysConfig), before); // the first copy was freed

    char small[4] = {'?', '?', '?', '?'};
    EXPECT_EQ(HxSystemConfigQueryString(HXT_HEXMIRE_DEVICES_STR, small, sizeof small), HX_OK);
    EXPECT_STREQ(small, "oth");

    EXPECT_EQ(HxSystemConfigSetString(HXT_WIDTH_I32, "x"), HXE_FAIL);
    EXPECT_EQ(HxSystemConfigQueryString(HXT_REGISTRY_STR, small, sizeof small), HXE_FAIL);
    EXPECT_STREQ(small, "");
    EXPECT_EQ(HxDiagLog::Failures().size(), 2u);
    EXPECT_TRUE(HxDiagLog::Saw("Not a valid system configuration token.\n"));
}

TEST_F(HxSystemConfig, TheArrayGrowsByTenAndClosesGapsOnRemoval)
{
    Begin();
    hx_assoc_array* array = HxAssocArrayAllocate();
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->capacity, 10);
    for (hx_token t = 1000; t < 1012; ++t) {
        hx_value v;
        v.u = t * 2;
        ASSERT_EQ(HxAssocArraySetEntry(array, t, v), HX_OK);
    }
    EXPECT_EQ(array->used, 12);
    EXPECT_EQ(array->capacity, 20);
    EXPECT_EQ(HxAssocArrayRemoveEntry(array, 1003), HX_OK);
    EXPECT_EQ(HxAssocArrayRemoveEntry(array, 1003), HXE_FAIL);
    hx_value v{};
    EXPECT_EQ(HxAssocArrayQuery(array, 1003, &v), HXE_FAIL);
    ASSERT_EQ(HxAssocArrayQuery(array, 1011, &v), HX_OK);
    EXPECT_EQ(v.u, 2022u);
    EXPECT_EQ(array->entries[3].token, 1004u);
    EXPECT_EQ(array->used, 11);

    // String-typed tokens keep their own copy, freed on removal.
    uint32_t empty = HxResSizeTotal(array);
    v.cstr = "DDRAW";
    ASSERT_EQ(HxAssocArraySetEntry(array, HXT_DEFAULT_DEVICE_STR, v), HX_OK);
    ASSERT_EQ(HxAssocArrayQuery(array, HXT_DEFAULT_DEVICE_STR, &v), HX_OK);
    EXPECT_STREQ(v.cstr, "DDRAW");
    EXPECT_TRUE(HxResIsChild(array, v.str));
    EXPECT_EQ(HxAssocArrayRemoveEntry(array, HXT_DEFAULT_DEVICE_STR), HX_OK);
    EXPECT_EQ(HxResSizeTotal(array), empty);
}
