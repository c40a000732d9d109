// The key list made from the key script: the demo key script binds every
// command a player uses, each binding becomes a line naming its key and
// command, and a line that cannot be listed is named.
#include "tools/keylist.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

std::string DemoKeyScript()
{
    std::ifstream in(std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource/scripts/init/keybind2.scr");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(KeyList, TheDemoKeyScriptBindsEveryCommandAPlayerUsesOnceEachKeyOnce)
{
    const std::string script = DemoKeyScript();
    std::vector<KeyListLine> lines;
    std::string error;
    ASSERT_TRUE(MakeKeyList(script, lines, error)) << error;
    std::set<std::string> words, keys;
    for (const KeyListLine& line : lines) {
        words.insert(line.words);
        EXPECT_TRUE(keys.insert(line.keys).second) << line.keys << " is bound twice";
    }
    for (const PlayerCommand& command : PlayerCommands())
        EXPECT_EQ(words.count(command.words), 1u) << command.command << " " << command.words;
}

TEST(KeyList, EachBindingIsALineAndALineThatCannotBeListedIsNamed)
{
    std::vector<KeyListLine> lines;
    std::string error;
    ASSERT_TRUE(MakeKeyList("// a comment\nBINDKEY 59 100\nBINDKEY 63 124 1\nBINDKEY 20 69 2\nBINDKEYTHR 57 54\n",
                            lines, error))
        << error;
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].keys, "F1");
    EXPECT_EQ(lines[0].words, "COM station");
    EXPECT_EQ(lines[1].keys, "Shift+F5");
    EXPECT_EQ(lines[2].keys, "Ctrl+T");
    EXPECT_EQ(lines[3].keys, "Space");
    EXPECT_EQ(lines[4].keys, "Right Shift");

    const struct {
        const char* script;
        const char* error;
    } bad[] = {
        {"BINDKEY 59\n", "line 1: BINDKEY needs a scan code and a command"},
        {"\nBINDKEY 59 100 3\n", "line 2: the layer is 0, 1 (Shift) or 2 (Ctrl)"},
        {"BINDKEY 250 100\n", "line 1: a key without a name"},
        {"BINDKEY 59 189\n", "line 1: not a command a player uses"},
        {"BINDKEYTHR 57\n", "line 1: BINDKEYTHR needs two scan codes"},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(MakeKeyList(b.script, lines, error)) << b.script;
        EXPECT_EQ(error, b.error);
    }
}

} // namespace
