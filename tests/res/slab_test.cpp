// Slab libraries: the byte layout, keys, case-blind names, "noslab", the
// text keys per language and damaged libraries falling back to loose files.
#include "tests/res/res_fixture.h"

#include "system/res/bytes.h"

#include <cstring>

using restest::Bytes;
using restest::DataTree;
using restest::ReadAll;

TEST(SlabLayout, HeaderAndDirectoryAreByteExact)
{
    std::vector<SlabPackItem> items = {{"\\a.lwo", Bytes("xyz")}, {"b.txt", Bytes("hello")}};
    std::vector<uint8_t> out;
    ASSERT_TRUE(SlabBuild(items, out));
    ASSERT_EQ(out.size(), 12u + 3 + 5 + 2 * 72);
    EXPECT_EQ(res::GetU32LE(&out[0]), 0u);
    EXPECT_EQ(res::GetU32LE(&out[4]), 2u);
    EXPECT_EQ(res::GetU32LE(&out[8]), 20u);
    const uint8_t* second = &out[20 + 72];
    EXPECT_STREQ(reinterpret_cast<const char*>(second), "b.txt");
    EXPECT_EQ(res::GetU32LE(second + 64), 15u);
    EXPECT_EQ(res::GetU32LE(second + 68), 5u);
    EXPECT_EQ(std::string(out.begin() + 15, out.begin() + 20), "hello");

    std::vector<SlabPackItem> tooLong = {{std::string(64, 'n'), {}}};
    EXPECT_FALSE(SlabBuild(tooLong, out));
}

class Slab : public DataTree {};

TEST_F(Slab, OpensEntriesIgnoringCaseAndFallsBackToLooseFiles)
{
    WriteSlab("shapes", {{"\\a.lwo", Bytes("packed")}});
    Write("zqk\\resource\\shapes\\a.lwo", "loose file");
    Write("zqk\\resource\\other\\c.lwo", "other");

    uint32_t size = 0;
    std::FILE* f = SlabOpen("shapes", "ZQK\\RESOURCE\\SHAPES\\A.LWO", &size);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadAll(f, size), "packed");
    std::fclose(f);

    // Not in the library, or no library prefix in the path: the loose file.
    f = SlabOpen("shapes", "zqk\\resource\\other\\c.lwo", &size);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadAll(f, size), "other");
    std::fclose(f);
    EXPECT_EQ(SlabOpen("shapes", "zqk\\resource\\shapes\\missing.lwo", &size), nullptr);

    gSettings.noSlab = 255;
    f = SlabOpen("shapes", "zqk\\resource\\shapes\\a.lwo", &size);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadAll(f, size), "loose file");
    std::fclose(f);
}

TEST_F(Slab, ALibraryThatIsNotAFileIsNamedAndTheLooseFilesServe)
{
    std::filesystem::create_directories(root / "zqk/resource/shapes.slb");
    Write("zqk\\resource\\shapes\\a.lwo", "loose file");
    ::testing::internal::CaptureStderr();
    uint32_t size = 0;
    std::FILE* f = SlabOpen("shapes", "zqk\\resource\\shapes\\a.lwo", &size);
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadAll(f, size), "loose file");
    std::fclose(f);
    EXPECT_NE(err.find("zqk\\resource\\shapes.slb: not a regular file"), std::string::npos) << err;
}

TEST_F(Slab, TextKeysFollowTheLanguageLibrary)
{
    WriteSlab("text", {{"\\a.txt", Bytes("english")}});
    WriteSlab("frn_", {{"a.txt", Bytes("francais")}});
    WriteSlab("ger_", {{"A.TXT", Bytes("deutsch!!")}});

    struct Case {
        uint16_t language;
        const char* path;
        const char* text;
    };
    const Case cases[] = {
        {0, "zqk\\resource\\text\\a.txt", "english"},
        {1, "zqk\\resource\\text\\frn_a.txt", "francais"},
        {2, "zqk\\resource\\text\\ger_a.txt", "deutsch!!"},
    };
    for (const Case& c : cases) {
        gSettings.language = c.language;
        const char* library = SlabLibraryForRow(9);
        EXPECT_EQ(SlabFindSize(library, c.path), std::strlen(c.text)) << c.path;
        uint8_t buffer[32] = {};
        uint32_t read = 0;
        EXPECT_EQ(SlabReadInto(library, c.path, buffer, &read), buffer);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), read), c.text);
    }
    EXPECT_EQ(SlabLibraryForRow(6), std::string("shapes"));
    EXPECT_EQ(SlabLibraryForRow(1), nullptr);

    // No key in the path, or no library: null; a missing entry reads nothing.
    uint8_t buffer[4];
    uint32_t read = 7;
    EXPECT_EQ(SlabReadInto("text", "zqk\\a.txt", buffer, &read), nullptr);
    EXPECT_EQ(SlabReadInto("nolib", "zqk\\nolib\\a.txt", buffer, &read), nullptr);
    EXPECT_EQ(SlabReadInto("text", "zqk\\resource\\text\\b.txt", buffer, &read), buffer);
    EXPECT_EQ(read, 0u);
    // An entry larger than the buffer is not read.
    EXPECT_EQ(SlabReadInto("text", "zqk\\resource\\text\\a.txt", buffer, &read), buffer);
    EXPECT_EQ(read, 0u);
}

TEST_F(Slab, DamagedLibrariesHoldNothing)
{
    Write("zqk\\resource\\shapes\\a.lwo", "loose");
    std::vector<uint8_t> good;
    ASSERT_TRUE(SlabBuild(std::vector<SlabPackItem>{{"\\a.lwo", Bytes("packed")}}, good));

    auto expectLoose = [&](const std::vector<uint8_t>& library, const char* what) {
        Write(SlabLibraryPath("shapes"), library);
        uint32_t size = 0;
        std::FILE* f = SlabOpen("shapes", "zqk\\resource\\shapes\\a.lwo", &size);
        ASSERT_NE(f, nullptr) << what;
        EXPECT_EQ(ReadAll(f, size), "loose") << what;
        std::fclose(f);
    };
    std::vector<uint8_t> bad = good;
    res::PutU32LE(&bad[4], 0x7FFFFFFF);
    expectLoose(bad, "entry count beyond the file");
    bad = good;
    res::PutU32LE(&bad[8], static_cast<uint32_t>(good.size()));
    expectLoose(bad, "directory at the end");
    bad = good;
    res::PutU32LE(&bad[18 + 68], 1000);
    expectLoose(bad, "entry size beyond the file");
    bad = good;
    std::fill(bad.begin() + 18, bad.begin() + 18 + 64, 'a');
    expectLoose(bad, "unterminated entry name");
    expectLoose(std::vector<uint8_t>(good.begin(), good.begin() + 7), "short header");
}

// Entry names compare a word at a time: case only for ASCII letters, '/'
// as '\', the terminator included, and the first equal name wins.
TEST(SlabNames, CompareByTheDataPathRuleAtEveryPosition)
{
    const std::string long63 = "\\" + std::string(58, 'q') + ".lwo";
    // clang-format off
    const std::vector<std::string> names = {
        "\\a.lwo",          "/dir/x.lwo",         "\\abcdefghijklmno1", "\\abcdefghijklmno2",
        "\\caf\xe9.lwo",    "\\@at.lwo",          "\\[b].lwo",          long63,
        "\\A.LWO",          "\\abcdefgh",         "\\abcdefg",
    };
    // clang-format on
    std::vector<SlabPackItem> items;
    for (const std::string& n : names)
        items.push_back({n, Bytes(n)});
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(SlabBuild(items, bytes));
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fflush(file), 0);

    struct Case {
        std::string key;
        int entry; // index into names, -1 when none matches
        // clang-format off
    } cases[] = {
        {"\\A.LWO", 0},          // the first of two equal names
        {"\\DIR\\X.LWO", 1},     {"/dir/x.lwo", 1},       {"\\ABCDEFGHIJKLMNO2", 3},
        {"\\abcdefghijklmno", -1}, {"\\abcdefghijklmno12", -1},
        {"\\CAF\xe9.LWO", 4},    {"\\CAF\xc9.LWO", -1},   // only ASCII letters fold
        {"\\`at.lwo", -1},       {"\\{b}.lwo", -1},       // '@' and '[' are no capitals
        {"\\@AT.LWO", 5},        {long63, 7},             {long63 + "x", -1},
        {"\\ABCDEFGH", 9},       {"\\abcdefg", 10},       {"\\abcdef", -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SlabEntry entry;
        bool found = SlabFindEntry(file, c.key.c_str(), &entry);
        ASSERT_EQ(found, c.entry >= 0) << c.key;
        if (!found)
            continue;
        EXPECT_EQ(entry.size, names[size_t(c.entry)].size()) << c.key;
        std::string data(entry.size, '\0');
        ASSERT_EQ(std::fread(data.data(), 1, entry.size, file), entry.size);
        EXPECT_EQ(data, names[size_t(c.entry)]) << c.key;
    }
    std::fclose(file);
}
