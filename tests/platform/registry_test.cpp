// The file-backed key store.
#include "platform/registry.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override { platform::SetRegistryFile(store.c_str()); }
    void TearDown() override { platform::SetRegistryFile(nullptr); }
    ScratchFolder root{"registry"};
    std::string store = (root / "registry.reg").string();
};

TEST_F(Registry, ReadsStringsAndTellsOtherTypesApart)
{
    root.Write("registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quorvane\\Vorn]\r\n"
                            "@=\"F:\\\\\"\r\n"
                            "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
                            "\"Count\"=dword:00000010\r\n"
                            "\"Blob\"=hex:01,ff\r\n"
                            "\"Broken\"=dword:xyz\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Hexmire\\1.3.0]\r\n");
    std::string value;
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "software\\QUORVANE\\vorn", nullptr, value),
              platform::RegistryResult::Ok);
    EXPECT_EQ(value, "F:\\");
    EXPECT_EQ(platform::RegistryQueryString("HKEY_LOCAL_MACHINE", "SOFTWARE\\Quorvane\\Vorn", "quote", value),
              platform::RegistryResult::Ok);
    EXPECT_EQ(value, "say \"hi\"");
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "SOFTWARE\\Quorvane\\Vorn", "Count", value),
              platform::RegistryResult::NotString);
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "SOFTWARE\\Quorvane\\Vorn", "Broken", value),
              platform::RegistryResult::Missing);
    EXPECT_EQ(platform::RegistryQueryString("HKEY_CURRENT_USER", "SOFTWARE\\Quorvane\\Vorn", nullptr, value),
              platform::RegistryResult::Missing);
    EXPECT_TRUE(platform::RegistryKeyExists(nullptr, "SOFTWARE\\Vantrel\\Hexmire\\1.3.0"));
    EXPECT_FALSE(platform::RegistryKeyExists(nullptr, "SOFTWARE\\Vantrel"));

    auto values = platform::ParseRegistry("[K]\n\"Blob\"=hex:01,ff\n\"D\"=dword:0000010a\n");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].data, std::string("\x01\xff", 2));
    EXPECT_EQ(values[1].data, std::string("\x0a\x01\x00\x00", 4));
}

TEST_F(Registry, SettingAValueKeepsTheOthers)
{
    ASSERT_TRUE(platform::RegistrySetString(nullptr, "SOFTWARE\\Quorvane\\Vorn", nullptr, "E:\\"));
    ASSERT_TRUE(platform::RegistrySetString(nullptr, "SOFTWARE\\Quorvane\\Vorn", "Path", "a\"b"));
    ASSERT_TRUE(platform::RegistrySetString(nullptr, "software\\quorvane\\vorn", nullptr, "G:\\"));
    std::string value;
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "SOFTWARE\\Quorvane\\Vorn", nullptr, value),
              platform::RegistryResult::Ok);
    EXPECT_EQ(value, "G:\\");
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "SOFTWARE\\Quorvane\\Vorn", "path", value),
              platform::RegistryResult::Ok);
    EXPECT_EQ(value, "a\"b");
    EXPECT_EQ(platform::ParseRegistry(root.Read("registry.reg")).size(), 2u);
}

TEST_F(Registry, NoStoreMeansNothingIsThere)
{
    std::string value = "old";
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "SOFTWARE\\Quorvane\\Vorn", nullptr, value),
              platform::RegistryResult::Missing);
    EXPECT_EQ(value, "");
    EXPECT_FALSE(platform::RegistryKeyExists(nullptr, "SOFTWARE\\Quorvane\\Vorn"));
}

} // namespace
