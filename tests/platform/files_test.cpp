// The case-insensitive data-file layer over a real temporary tree.
#include "platform/files.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class DataFiles : public ::testing::Test {
protected:
    void SetUp() override { root.Write("zqk/resource/scripts/init.scr", "END\n"); }
    ScratchFolder root{"files", true};
};

TEST_F(DataFiles, OpensBackslashPathsWhateverTheCase)
{
    std::FILE* f = platform::OpenDataFile("ZQK\\Resource\\Scripts\\INIT.scr", "rb");
    ASSERT_NE(f, nullptr);
    char text[8] = {};
    EXPECT_EQ(std::fread(text, 1, 3, f), 3u);
    EXPECT_STREQ(text, "END");
    std::fclose(f);
    EXPECT_TRUE(platform::DataFileExists("zqk/RESOURCE/scripts/Init.SCR"));
    EXPECT_FALSE(platform::DataFileExists("zqk\\resource\\scripts\\missing.scr"));
    EXPECT_FALSE(platform::DataFileExists("zqk\\resource\\scripts"));
}

TEST_F(DataFiles, CreatesNewFilesInsideExistingFoldersWhateverTheCase)
{
    std::FILE* f = platform::OpenDataFile("ZQK\\state.inf", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_TRUE(fs::exists(root / "zqk/state.inf"));
    EXPECT_EQ(platform::OpenDataFile("nowhere\\state.inf", "wb"), nullptr);
}

TEST_F(DataFiles, AtomicWriteReplacesWholeFile)
{
    ASSERT_TRUE(platform::WriteFileAtomically("ZQK\\slot0.sav", "abc", 3));
    ASSERT_TRUE(platform::WriteFileAtomically("zqk\\SLOT0.sav", "xy", 2));
    EXPECT_EQ(root.Read("zqk/slot0.sav"), "xy");
    int files = 0;
    for (auto& e : fs::directory_iterator(root / "zqk"))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1); // no temporary left behind
}

TEST_F(DataFiles, ReadsWholeFilesUpToALimit)
{
    std::string text;
    ASSERT_TRUE(platform::ReadWholeFile("ZQK\\RESOURCE\\scripts\\init.SCR", text));
    EXPECT_EQ(text, "END\n");

    std::vector<uint8_t> bytes{1, 2};
    EXPECT_TRUE(platform::ReadWholeFile("zqk\\resource\\scripts\\init.scr", bytes, 4));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{'E', 'N', 'D', '\n'}));
    EXPECT_FALSE(platform::ReadWholeFile("zqk\\resource\\scripts\\init.scr", bytes, 3));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(platform::ReadWholeFile("zqk\\resource\\scripts\\missing.scr", text));
    EXPECT_TRUE(text.empty());
}

TEST(DataNames, CompareWithoutCaseAndWithEitherSeparator)
{
    static_assert(platform::SameNameIgnoringCase("Options", "OPTIONS"));
    static_assert(!platform::SameNameIgnoringCase("a\\b", "a/b"));
    static_assert(!platform::SameNameIgnoringCase("\xc9t\xe9", "\xe9t\xe9")); // bytes above 127 as they are
    static_assert(platform::SameDataPath("ZQK\\Art\\A.PCX", "zqk/art/a.pcx"));
    static_assert(!platform::SameDataPath("zqk\\a.pcx", "zqk\\a.pcx2"));
    static_assert(platform::SameDataPathPrefix("TEXT\\a", "text", 4));
    static_assert(!platform::SameDataPathPrefix("te", "text", 4));
    static_assert(*platform::SkipLeadingSeparator("\\zqk") == 'z');
    static_assert(*platform::SkipLeadingSeparator("zqk") == 'z');
}
