// Script files: the folder chosen by extension, the name store, and opening.
#include "script_test_support.h"

#include "script/keywords.h"
#include "script/scriptfiles.h"
#include "system/res/slab.h"

#include <memory>

TEST(ScriptFilePath, FolderFollowsTheExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"m01.scr", "zqk\\resource\\scripts\\missions\\m01.scr"},
        {"corvette.shp", "zqk\\resource\\scripts\\ships\\corvette.shp"},
        {"attack.ord", "zqk\\resource\\scripts\\orders\\attack.ord"},
        {"com.gui", "zqk\\resource\\scripts\\gui\\com.gui"},
        {"hull.lwo", "zqk\\resource\\shapes\\hull.lwo"},
        {"hull.box", "zqk\\resource\\scripts\\bounds\\hull.box"},
        {"help.htm", "zqk\\resource\\text\\docs\\help.htm"},
        {"zqk\\resource\\scripts\\init\\stock.scr", "zqk\\resource\\scripts\\init\\stock.scr"},
        {"C:\\games\\m01.scr", "C:\\games\\m01.scr"},
        {"m01.SCR", "m01.SCR"},
        {"notes.txt", "notes.txt"},
        {"sc", "sc"},
        {"scr", "zqk\\resource\\scripts\\missions\\scr"},
    };
    for (auto [name, path] : cases)
        EXPECT_EQ(ScriptFilePath(name), path) << name;
}

TEST_F(ScriptTest, OpeningRecordsTheFullNameAndTheSize)
{
    WriteMission("m01.scr", "SET a 1\n");
    long size = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenScriptFile("m01.scr", &size), std::fclose);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(size, 8);
    EXPECT_STREQ(CurrentScriptFileName(), "zqk\\resource\\scripts\\missions\\m01.scr");
    // The data tree's case does not have to match the name's.
    WriteMission("Upper.Scr", "END\n");
    file.reset(OpenScriptFile("upper.scr", &size));
    EXPECT_NE(file, nullptr);
    EXPECT_EQ(size, 4);
}

TEST_F(ScriptTest, TheNameStoreKeepsOneCopyOfEachNameAndNeverOverflows)
{
    long size = 0;
    EXPECT_EQ(OpenScriptFile("absent.scr", &size), nullptr);
    const uint32_t cursor = gScriptNames.cursor;
    const uint32_t absent = gScriptNames.current;
    EXPECT_STREQ(ScriptNameAt(absent), "zqk\\resource\\scripts\\missions\\absent.scr");
    EXPECT_EQ(OpenScriptFile("absent.scr", &size), nullptr);
    EXPECT_EQ(gScriptNames.cursor, cursor);
    EXPECT_EQ(gScriptNames.current, absent);

    // Fill the store: a name that no longer fits is not recorded.
    for (int i = 0; gScriptNames.cursor + 60 < kScriptNameStoreSize; ++i)
        OpenScriptFile(("n" + std::to_string(i) + std::string(40, 'x') + ".scr").c_str(), &size);
    const uint32_t last = gScriptNames.current;
    OpenScriptFile((std::string(80, 'y') + ".scr").c_str(), &size);
    EXPECT_EQ(gScriptNames.current, last);
    EXPECT_LE(gScriptNames.cursor, kScriptNameStoreSize);
    ResetMissionScript();
    EXPECT_EQ(gScriptNames.cursor, 1u);
}

TEST_F(ScriptTest, AScriptInsideTheLibraryEndsWhereItsEntryEnds)
{
    auto bytes = [](const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); };
    const SlabPackItem items[] = {
        {"\\missions\\inlib.scr", bytes("SET a 1\nSET b 2\n")},
        {"\\missions\\after.scr", bytes("SET c 3\n")},
    };
    std::vector<uint8_t> library;
    ASSERT_TRUE(SlabBuild(items, library));
    WriteFile("zqk/resource/scripts.slb", std::string(library.begin(), library.end()));
    // A loose file of the same name is not used while the library holds it.
    WriteMission("inlib.scr", "SET loose 1\n");

    long size = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenScriptFile("inlib.scr", &size), std::fclose);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(size, 16);
    file.reset();

    ScriptToken* start = TokeniseScript("inlib.scr");
    ASSERT_NE(start, nullptr);
    EXPECT_NE(FindScriptSymbol("b"), nullptr);
    EXPECT_EQ(FindScriptSymbol("c"), nullptr);
    EXPECT_EQ(FindScriptSymbol("loose"), nullptr);
    EXPECT_EQ(gScriptBuffers.tokens[gScriptBuffers.tokenCursor - 1].id, kw::END);
}
