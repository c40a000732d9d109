// Profile (ini) files: reading with the profile-string rules, and writing
// that keeps every other line.
#include "platform/files.h"
#include "platform/profile.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class ProfileFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = (root / "Hexmire.ini").string();
        root.Write("Hexmire.ini", "; settings\r\n"
                                  "stray=ignored\r\n"
                                  "[Hexmire]\r\n"
                                  "  HEXMIRE_PATH = dat;../dat  \r\n"
                                  "HX_DRIVERS=\"softrend\"\r\n"
                                  "hexmire_path=second\r\n"
                                  "[Empty]\r\n"
                                  "[Other]\r\n"
                                  "key=value\r\n");
    }
    std::string Text() const { return root.Read("Hexmire.ini"); }
    ScratchFolder root{"profile"};
    std::string file;
};

TEST_F(ProfileFiles, ReadsSectionsAndKeysWhateverTheirCase)
{
    std::string value;
    EXPECT_TRUE(platform::ProfileSectionExists(file.c_str(), "hexmire"));
    EXPECT_TRUE(platform::ProfileSectionExists(file.c_str(), "Empty"));
    EXPECT_FALSE(platform::ProfileSectionExists(file.c_str(), "Missing"));
    ASSERT_TRUE(platform::ProfileQuery(file.c_str(), "HEXMIRE", "hexmire_path", value));
    EXPECT_EQ(value, "dat;../dat"); // trimmed; the first of repeated keys
    ASSERT_TRUE(platform::ProfileQuery(file.c_str(), "Hexmire", "HX_DRIVERS", value));
    EXPECT_EQ(value, "softrend"); // quotes removed
    EXPECT_FALSE(platform::ProfileQuery(file.c_str(), "Hexmire", "stray", value));
    EXPECT_FALSE(platform::ProfileQuery(file.c_str(), "Hexmire", "key", value));
    EXPECT_EQ(platform::ProfileString(file.c_str(), "Other", "nothing", "fallback"), "fallback");
    EXPECT_EQ(platform::ProfileString((root / "none.ini").c_str(), "Other", "key", ""), "");
}

TEST_F(ProfileFiles, WritingChangesOnlyItsOwnLine)
{
    ASSERT_TRUE(platform::WriteProfileString(file.c_str(), "hexmire", "HX_DRIVERS", "ddraw"));
    ASSERT_TRUE(platform::WriteProfileString(file.c_str(), "Empty", "NEW", "1"));
    ASSERT_TRUE(platform::WriteProfileString(file.c_str(), "Other", "key", nullptr));
    ASSERT_TRUE(platform::WriteProfileString(file.c_str(), "Added", "a", "b"));
    EXPECT_EQ(Text(), "; settings\r\n"
                      "stray=ignored\r\n"
                      "[Hexmire]\r\n"
                      "  HEXMIRE_PATH = dat;../dat  \r\n"
                      "HX_DRIVERS=ddraw\r\n"
                      "hexmire_path=second\r\n"
                      "[Empty]\r\n"
                      "NEW=1\r\n"
                      "[Other]\r\n"
                      "[Added]\r\n"
                      "a=b\r\n");
}

TEST_F(ProfileFiles, WritingCreatesAMissingFile)
{
    std::string fresh = (root / "fresh.ini").string();
    ASSERT_TRUE(platform::WriteProfileString(fresh.c_str(), "S", "k", "v"));
    EXPECT_EQ(platform::ProfileString(fresh.c_str(), "s", "K", ""), "v");
    EXPECT_FALSE(platform::WriteProfileString((root / "no/such/dir.ini").c_str(), "S", "k", "v"));
}

// A profile that is not a small regular file is refused with a message and
// left as it is; within a batch each file is parsed once.
TEST_F(ProfileFiles, OversizedOrSpecialFilesAreRefusedAndBatchesReadOnce)
{
    const std::string big = (root / "big.ini").string();
    root.Write("big.ini", "[S]\nk=v\n");
    std::filesystem::resize_file(big, (1u << 20) + 1);
    for (const std::string& path : {big, (root / ".").string(), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(platform::ProfileSectionExists(path.c_str(), "S"));
        EXPECT_FALSE(platform::WriteProfileString(path.c_str(), "S", "k", "w"));
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("not read"), std::string::npos);
    }
    EXPECT_EQ(std::filesystem::file_size(big), (1u << 20) + 1);

    platform::ConfigReadBatch batch;
    EXPECT_EQ(platform::ProfileString(file.c_str(), "Other", "key", ""), "value");
    root.Write("Hexmire.ini", "[Other]\nkey=changed\n");
    EXPECT_EQ(platform::ProfileString(file.c_str(), "Other", "key", ""), "value");
}

} // namespace
