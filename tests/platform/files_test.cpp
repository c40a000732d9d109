// The case-insensitive data-file layer over a real temporary tree.
#include "platform/files.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(DataFiles, OnlyRegularFilesOpenAndNothingWaitsOnAFifo)
{
    // Each of these would block, read for ever or read nothing real; every
    // way of opening refuses it at once and says why.
    ASSERT_EQ(::mkfifo((root / "zqk/fifo.scr").c_str(), 0600), 0);
    fs::create_directory(root / "zqk/folder.scr");
    fs::create_symlink("/dev/zero", root / "zqk/zero.scr");
    struct Case {
        const char* path;
        const char* reason;
    };
    const Case cases[] = {
        {"zqk\\FIFO.scr", "not a regular file"},
        {"zqk\\folder.scr", "not a regular file"},
        {"zqk\\zero.scr", "not a regular file"},
        {"zqk\\missing.scr", platform::kDataFileNotFound},
    };
    for (const Case& c : cases) {
        for (const char* mode : {"rb", "r+b", "wb", "ab"}) {
            if (std::strcmp(c.reason, platform::kDataFileNotFound) == 0 && mode[0] != 'r')
                continue; // these create it
            EXPECT_EQ(platform::OpenDataFile(c.path, mode), nullptr) << c.path << " " << mode;
            EXPECT_STREQ(platform::DataFileFailure(), c.reason) << c.path << " " << mode;
        }
        std::string text;
        EXPECT_FALSE(platform::ReadWholeFile(c.path, text));
        EXPECT_STREQ(platform::DataFileFailure(), c.reason) << c.path;
    }
    EXPECT_TRUE(fs::is_fifo(root / "zqk/fifo.scr"));

    // A regular file opens, and "w" empties it only then.
    std::FILE* f = platform::OpenDataFile("zqk\\resource\\scripts\\init.scr", "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(platform::DataFileFailure(), "");
    std::fclose(f);
    EXPECT_EQ(root.Read("zqk/resource/scripts/init.scr"), "");

    // A file larger than the limit is refused unread.
    fs::resize_file(root / "zqk/resource/scripts/init.scr", 100);
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(platform::ReadWholeFile("zqk\\resource\\scripts\\init.scr", bytes, 99));
    EXPECT_STREQ(platform::DataFileFailure(), "larger than the size allowed");
}

TEST_F(DataFiles, AtomicWriteNeverFollowsAPlantedLinkAndClearsStaleTemporaries)
{
    // Temporaries of a run that crashed, and a link planted where the old
    // predictable name was.
    root.Write("zqk/slot0.sav.tmp123", "stale");
    root.Write("zqk/slot0.sav.tmpAbC9xZ", "stale");
    root.Write("zqk/slot1.sav.tmp42", "another file's");
    root.Write("victim.txt", "keep");
    fs::create_symlink(root / "victim.txt", root / ("zqk/slot0.sav.tmp" + std::to_string(::getpid())));

    ASSERT_TRUE(platform::WriteFileAtomically("zqk\\slot0.sav", "saved", 5));
    EXPECT_EQ(root.Read("zqk/slot0.sav"), "saved");
    EXPECT_EQ(root.Read("victim.txt"), "keep");
    std::vector<std::string> left;
    for (auto& e : fs::directory_iterator(root / "zqk"))
        if (e.path().filename().string().find(".tmp") != std::string::npos)
            left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"slot1.sav.tmp42"}) << "only another file's temporary stays";

    // Into a folder it cannot write, it fails and leaves nothing behind.
    if (::geteuid() != 0) {
        fs::permissions(root / "zqk", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(platform::WriteFileAtomically("zqk\\slot0.sav", "lost", 4));
        fs::permissions(root / "zqk", fs::perms::owner_all);
        EXPECT_EQ(root.Read("zqk/slot0.sav"), "saved");
    }
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
