// The case-insensitive data-file layer over a real temporary tree.
#include "platform/files.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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
