// Framework files and the standard file system.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/file.h"
#include "framework/fw.h"
#include "framework/sys_conf.h"
#include "tests/framework/hx_tempdir.h"

TEST_F(HxFiles, BareNamesFollowTheSearchPath)
{
    std::filesystem::create_directories("work");
    std::filesystem::create_directories("dat");
    WriteText("dat/Ship.TXT", "in dat\n");
    std::filesystem::current_path("work");
    ASSERT_EQ(HxSystemConfigSetString(HXT_HEXMIRE_PATH_STR, "none;../DAT/"), HX_OK);
    hx_file* f = HxFileOpenRead("ship.txt", 0, nullptr, nullptr);
    ASSERT_NE(f, nullptr);
    char line[32];
    EXPECT_EQ(HxFileGetLine(line, sizeof line, f), 6);
    EXPECT_STREQ(line, "in dat");
    HxFileClose(f);
    // A name with a folder is tried only as given.
    EXPECT_EQ(HxFileOpenRead("x/ship.txt", 0, nullptr, nullptr), nullptr);
    EXPECT_NE(HxFileOpenRead("..\\dat\\SHIP.txt", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(HxFileOpenRead(std::string(600, 'a').c_str(), 0, nullptr, nullptr), nullptr);
    std::filesystem::current_path(root);
}

TEST_F(HxFiles, IdentifyDecidesTheMode)
{
    WriteText("f.txt", "*FILE_INFO 3\n");
    int mode = HX_FILE_MODE_BINARY;
    auto text = [](const uint8_t* b, uint32_t) { return b[0] == '*' ? 1 : 2; };
    hx_file* f = HxFileOpenRead("f.txt", 8, text, &mode);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(mode, HX_FILE_MODE_TEXT);
    EXPECT_EQ(HxFileGetChar(f), '*'); // the identification bytes are read again
    HxFileClose(f);
    EXPECT_EQ(HxFileOpenRead(
                  "f.txt", 8, [](const uint8_t*, uint32_t) { return 2; }, &mode),
              nullptr);
    EXPECT_EQ(HxFileOpenRead("f.txt", 64, nullptr, &mode), nullptr); // shorter than asked
    EXPECT_EQ(HxFileOpenRead(
                  "f.txt", 8, [](const uint8_t*, uint32_t) { return 5; }, &mode),
              nullptr);
    EXPECT_TRUE(HxDiagLog::Saw("Failure: HxStdFileOpenRead: invalid open_mode 5"));
}

TEST_F(HxFiles, LinesCharactersAndBlocks)
{
    WriteText("lines.txt", "abc\r\n\nlonger line\nend");
    hx_file* f = HxFileOpenRead("lines.txt", 0, nullptr, nullptr);
    char line[8];
    EXPECT_EQ(HxFileGetLine(line, sizeof line, f), 3);
    EXPECT_STREQ(line, "abc");
    EXPECT_EQ(HxFileGetLine(line, sizeof line, f), 0);
    EXPECT_FALSE(HxFileEof(f));
    EXPECT_EQ(HxFileGetLine(line, sizeof line, f), 7); // cut to the buffer
    EXPECT_STREQ(line, "longer ");
    EXPECT_EQ(HxFileGetLine(line, sizeof line, f), 4);
    EXPECT_EQ(HxFileGetLine(line, sizeof line, f), 3);
    EXPECT_STREQ(line, "end");
    EXPECT_EQ(HxFileGetLine(line, sizeof line, f), 0);
    EXPECT_TRUE(HxFileEof(f));
    EXPECT_EQ(HxFileGetChar(f), -1);
    HxFileClose(f);

    f = HxFileOpenRead("lines.txt", 0, nullptr, nullptr);
    HxFileAdvance(6, f);
    char bytes[6] = {};
    EXPECT_EQ(HxFileRead(bytes, 1, 5, f), 5u);
    EXPECT_STREQ(bytes, "longe");
    HxFileClose(f);
}

TEST_F(HxFiles, WritesLandWhenClosedOrWhenTheFrameworkEnds)
{
    hx_file* f = HxFileOpenWrite("out.txt", HX_FILE_MODE_TEXT);
    ASSERT_NE(f, nullptr);
    HxFilePutLine("first", f);
    HxFilePutChar('x', f);
    std::string longText(2000, 'y');
    EXPECT_EQ(HxFilePrintf(f, "%s|%d\n", longText.c_str(), 7), 2003);
    EXPECT_FALSE(std::filesystem::exists("out.txt")); // written aside until closed
    HxFileClose(f);
    EXPECT_EQ(ReadText("out.txt"), "first\nx" + longText + "|7\n");

    f = HxFileOpenWrite("out.txt", HX_FILE_MODE_BINARY);
    HxFileWrite("new", 1, 3, f);
    EXPECT_EQ(ReadText("out.txt"), "first\nx" + longText + "|7\n"); // the old file stays whole
    HxFwEnd();                                                      // freeing the anchor closes every file still open
    EXPECT_EQ(ReadText("out.txt"), "new");
    HxFwBegin();
    EXPECT_EQ(HxFileOpenWrite("no_such_dir/out.txt", 0), nullptr);
}

TEST_F(HxFiles, AnAbandonedWriteLeavesTheTargetAsItWas)
{
    WriteText("out.txt", "old");
    hx_file* f = HxFileOpenWrite("out.txt", HX_FILE_MODE_BINARY);
    ASSERT_NE(f, nullptr);
    HxFileWrite("partial", 1, 7, f);
    HxFileAbandon(f);
    EXPECT_EQ(ReadText("out.txt"), "old");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        EXPECT_EQ(entry.path().filename(), "out.txt"); // the temporary is gone
        ++files;
    }
    EXPECT_EQ(files, 1);

    // With nothing there before, nothing is there after.
    f = HxFileOpenWrite("new.txt", HX_FILE_MODE_TEXT);
    HxFilePutLine("partial", f);
    HxFileAbandon(f);
    EXPECT_FALSE(std::filesystem::exists("new.txt"));

    // A file being read is simply closed; no file at all is nothing to do.
    f = HxFileOpenRead("out.txt", 0, nullptr, nullptr);
    ASSERT_NE(f, nullptr);
    HxFileAbandon(f);
    HxFileAbandon(nullptr);
    EXPECT_EQ(ReadText("out.txt"), "old");

    // A file system that cannot abandon a write closes it.
    hx_filesystem plain = HxStdFilesystem;
    plain.abandon = nullptr;
    HxFilesystemSet(&plain);
    f = HxFileOpenWrite("out.txt", HX_FILE_MODE_BINARY);
    HxFileWrite("new", 1, 3, f);
    HxFileAbandon(f);
    HxFilesystemSet(nullptr);
    EXPECT_EQ(ReadText("out.txt"), "new");
}

TEST_F(HxFiles, FileSystemCanBeReplaced)
{
    static int opened;
    opened = 0;
    hx_filesystem custom = HxStdFilesystem;
    custom.identifier = "Counting";
    custom.open_read = [](const char* name, uint32_t n, hx_mode_test_cbfn identify, int* mode) {
        ++opened;
        return HxStdFilesystem.open_read(name, n, identify, mode);
    };
    EXPECT_EQ(HxFilesystemSet(&custom), &HxStdFilesystem);
    WriteText("a.txt", "a");
    hx_file* f = HxFileOpenRead("a.txt", 0, nullptr, nullptr);
    EXPECT_EQ(opened, 1);
    HxFileClose(f);
    EXPECT_EQ(HxFileAttributes(), 31u);
    custom.getchr = nullptr;
    f = HxFileOpenRead("a.txt", 0, nullptr, nullptr);
    EXPECT_EQ(HxFileGetChar(f), -1);
    EXPECT_EQ(HxDiagLog::Failures().back(), "ASSERTION FAILED file:117: \"fw.fsys->getchr != NULL\"\n");
    HxFileClose(f);
    EXPECT_EQ(HxFilesystemSet(nullptr), &custom);
}
