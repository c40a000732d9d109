// The file-backed key store.
#include "platform/registry.h"
#include "tests/support/scratch_folder.h"

#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

TEST_F(Registry, AnyTextReadsBackAsSetAndPlainTextIsStoredAsItIs)
{
    // Line breaks, quotes and backslashes in values and value names, next
    // to the texts that could be mistaken for their escapes.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Lines", "one\ntwo\r\nthree\n"},
        {"Break\nIn Name", "\r"},
        {"Lookalikes", "C:\\new\\row \\n \\r \"q\""},
        {"Plain", "E:\\games\\vorn"},
    };
    for (const auto& [name, text] : cases)
        ASSERT_TRUE(platform::RegistrySetString(nullptr, "SOFTWARE\\Quorvane\\Vorn", name.c_str(), text.c_str()));
    for (const auto& [name, text] : cases) {
        std::string value;
        EXPECT_EQ(platform::RegistryQueryString(nullptr, "SOFTWARE\\Quorvane\\Vorn", name.c_str(), value),
                  platform::RegistryResult::Ok)
            << name;
        EXPECT_EQ(value, text) << name;
    }
    // One line for each key and each value; a plain value's bytes as before.
    const std::string file = root.Read("registry.reg");
    EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 7) << file;
    EXPECT_NE(file.find("\r\n\"Plain\"=\"E:\\\\games\\\\vorn\"\r\n"), std::string::npos) << file;

    // A key path is a line of its own: one with a break is refused.
    EXPECT_FALSE(platform::RegistrySetString(nullptr, "SOFTWARE\\Bad\nKey", "Name", "x"));
    EXPECT_EQ(root.Read("registry.reg"), file);
}

TEST_F(Registry, NoStoreMeansNothingIsThere)
{
    std::string value = "old";
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "SOFTWARE\\Quorvane\\Vorn", nullptr, value),
              platform::RegistryResult::Missing);
    EXPECT_EQ(value, "");
    EXPECT_FALSE(platform::RegistryKeyExists(nullptr, "SOFTWARE\\Quorvane\\Vorn"));
}

// A store that is not a small regular file is refused at once, named in a
// message, and never waited on, read without end or written over.
TEST_F(Registry, StoresThatAreNotSmallRegularFilesAreRefusedAtOnce)
{
    const std::string fifo = (root / "fifo.reg").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directories(root / "folder.reg");
    const std::string big = (root / "big.reg").string();
    std::filesystem::resize_file((root.Write("big.reg", "[K]\n"), root / "big.reg"), 100u << 20);

    for (const std::string& path : {fifo, (root / "folder.reg").string(), std::string("/dev/zero"), big}) {
        SCOPED_TRACE(path);
        platform::SetRegistryFile(path.c_str());
        ::testing::internal::CaptureStderr();
        std::string value;
        EXPECT_EQ(platform::RegistryQueryString(nullptr, "K", "v", value), platform::RegistryResult::Missing);
        EXPECT_FALSE(platform::RegistrySetString(nullptr, "K", "v", "x"));
        std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(path), std::string::npos) << said;
        EXPECT_NE(said.find("not read"), std::string::npos) << said;
    }
    EXPECT_EQ(std::filesystem::file_size(big), 100u << 20);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// Within a reading batch the store is read once: a change made behind the
// batch's back shows only after it.
TEST_F(Registry, ABatchReadsTheStoreOnce)
{
    root.Write("registry.reg", "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"one\"\n");
    std::string value;
    {
        platform::ConfigReadBatch batch;
        EXPECT_EQ(platform::RegistryQueryString(nullptr, "K", "v", value), platform::RegistryResult::Ok);
        root.Write("registry.reg", "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"two\"\n");
        EXPECT_EQ(platform::RegistryQueryString(nullptr, "K", "v", value), platform::RegistryResult::Ok);
        EXPECT_EQ(value, "one");
        ASSERT_TRUE(platform::RegistrySetString(nullptr, "K", "w", "three"));
        EXPECT_EQ(platform::RegistryQueryString(nullptr, "K", "w", value), platform::RegistryResult::Ok);
        EXPECT_EQ(value, "three"); // its own write is seen at once
    }
    root.Write("registry.reg", "[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"four\"\n");
    EXPECT_EQ(platform::RegistryQueryString(nullptr, "K", "v", value), platform::RegistryResult::Ok);
    EXPECT_EQ(value, "four");
}

} // namespace
