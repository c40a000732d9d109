// The tokeniser: the compiled stream's shape on the cases that matter to the
// interpreter (labels, line markers, includes, numbers, quotes), its faults
// reported with file and line, and its bounds.
#include "script_test_support.h"

#include "script/keywords.h"
#include "script/scriptfiles.h"

#include <cfloat>
#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

uint32_t PositionOf(const ScriptToken* token)
{
    return static_cast<uint32_t>(token - gScriptBuffers.tokens);
}

int32_t LabelValue(const char* name)
{
    const ScriptSymbol* symbol = FindScriptSymbol(name);
    return symbol ? ReadSymbolInt(symbol) : -1;
}

// Line indexes of the markers from a position on, with their file names.
std::vector<std::pair<uint32_t, std::string>> Markers(const ScriptToken* start)
{
    std::vector<std::pair<uint32_t, std::string>> markers;
    const ScriptToken* end = gScriptBuffers.tokens + gScriptBuffers.tokenCursor;
    for (const ScriptToken* t = start; t < end; ++t)
        if (t->id == kw::LINE) {
            markers.emplace_back(t->value, ScriptNameAt(t[1].value));
            ++t;
        }
    return markers;
}

} // namespace

TEST_F(ScriptTest, EveryLineEndsWithOneMarkerCarryingTheNextLineOffset)
{
    WriteMission("m.scr", "SET a 1\n\n; note\n#DEFINE x\n/*\nin\n*/\nEND\n");
    ScriptToken* start = TokeniseScript("m.scr");
    ASSERT_NE(start, nullptr);
    auto markers = Markers(start);
    ASSERT_EQ(markers.size(), 8u);
    for (uint32_t i = 0; i < markers.size(); ++i) {
        EXPECT_EQ(markers[i].first, i);
        EXPECT_EQ(markers[i].second, "zqk\\resource\\scripts\\missions\\m.scr");
    }
    // The first marker follows SET a 1 and points past "SET a 1\n".
    EXPECT_EQ(start[3].id, kw::LINE);
    EXPECT_EQ(start[4].id, 8u);
    EXPECT_EQ(gScriptBuffers.tokens[gScriptBuffers.tokenCursor - 1].id, kw::END);
}

TEST_F(ScriptTest, LabelsNameThePositionOfTheNextToken)
{
    WriteMission("m.scr", "CALL ahead\nhere: BRA here\nSET x 1\nahead:\nRETURN\n");
    ScriptToken* start = TokeniseScript("m.scr");
    ASSERT_NE(start, nullptr);
    const uint32_t base = PositionOf(start);
    // CALL ahead, marker; BRA here, marker; SET x 1, marker; marker; RETURN
    EXPECT_EQ(LabelValue("here"), static_cast<int32_t>(base + 4));
    EXPECT_EQ(start[4].id, kw::BRA);
    EXPECT_EQ(start[5].id, kw::SYMBOL);
    EXPECT_EQ(start[5].value, ScriptSymbolIndex(FindScriptSymbol("here")));
    // A label alone on its line names that line's marker; RETURN follows it.
    EXPECT_EQ(LabelValue("ahead"), static_cast<int32_t>(base + 13));
    EXPECT_EQ(start[13].id, kw::LINE);
    EXPECT_EQ(start[15].id, kw::RETURN);
    // The forward use made the symbol; the definition completed it.
    EXPECT_EQ(start[1].id, kw::SYMBOL);
    EXPECT_EQ(start[1].value, ScriptSymbolIndex(FindScriptSymbol("ahead")));
}

TEST_F(ScriptTest, WordsBecomeKeywordsNumbersTextsAndSymbols)
{
    WriteMission("m.scr", "SET thing 12abc\nHUD_STRING \"a,b\" thing end\n");
    ScriptToken* start = TokeniseScript("m.scr");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start[0].id, kw::SET);
    EXPECT_EQ(start[1].id, kw::NEW_SYMBOL);
    ASSERT_EQ(start[2].id, kw::DATA);
    ASSERT_TRUE(DataTokenIsNumber(start[2].value));
    EXPECT_EQ(ScriptDataNumber(start[2].value), 12.0f);
    EXPECT_EQ(start[5].id, kw::HUD_STRING);
    ASSERT_EQ(start[6].id, kw::DATA);
    ASSERT_FALSE(DataTokenIsNumber(start[6].value));
    EXPECT_STREQ(ScriptDataText(start[6].value), "a b");
    EXPECT_EQ(start[7].id, kw::SYMBOL); // thing, known now
    EXPECT_EQ(start[8].id, kw::NEW_SYMBOL);
    EXPECT_STREQ(ScriptSymbolAt(start[8].value)->name, "end");
}

TEST_F(ScriptTest, NumbersAreTheLongestLeadingDecimalNumber)
{
    struct Case {
        const char* word;
        bool number;
        float value;
    };
    // clang-format off
    const Case cases[] = {
        {"12abc", true, 12.0f},   {"-3.5e2", true, -350.0f}, {".5", true, 0.5f},     {"5.", true, 5.0f},
        {"+7", true, 7.0f},       {"1e", true, 1.0f},        {"1e+", true, 1.0f},    {"1E3x", true, 1000.0f},
        {"0x3B", true, 0.0f},     {"007", true, 7.0f},       {"-0", true, -0.0f},    {"1e999", true, FLT_MAX},
        {"-1e999", true, -FLT_MAX}, {"1e-999", true, 0.0f},  {"Infantry", false, 0}, {"nanny", false, 0},
        {"inf", false, 0},        {"NAN", false, 0},         {"-", false, 0},        {".", false, 0},
        {"+.e5", false, 0},       {"e5", false, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        float value = 12345.0f;
        EXPECT_EQ(ScanScriptNumber(c.word, std::strlen(c.word), &value), c.number) << c.word;
        if (c.number) {
            EXPECT_EQ(value, c.value) << c.word;
        }
    }
}

// Decimals of every length and point position, with leading zeros and
// ties between two floats: each is the float std::from_chars makes of it.
TEST_F(ScriptTest, DecimalsAreTheNearestFloat)
{
    std::mt19937 rng(3);
    std::vector<std::string> words = {"16777217", "0.1", "3.4028235", "9999999", "0000001.5", "8388608.5"};
    for (int i = 0; i < 4000; ++i) {
        std::string digits = std::to_string(rng() % 100000000);
        digits.insert(0, rng() % 3, '0');
        digits.insert(rng() % (digits.size() + 1), ".");
        words.push_back(digits);
    }
    for (const std::string& word : words) {
        float value = 0, expected = 0;
        std::from_chars(word.data(), word.data() + word.size(), expected);
        ASSERT_TRUE(ScanScriptNumber(word.data(), word.size(), &value)) << word;
        ASSERT_EQ(value, expected) << word;
        ASSERT_TRUE(ScanScriptNumber(("-" + word).data(), word.size() + 1, &value)) << word;
        ASSERT_EQ(value, -expected) << word;
    }
}

TEST_F(ScriptTest, IncludedFilesCarryTheirOwnNamesAndLines)
{
    WriteMission("top.scr", "SET a 1\n#INCLUDE inner.shp\nSET b 2\n");
    WriteFile("zqk/resource/scripts/ships/inner.shp", "SET c 3\nSET d 4\n");
    ScriptToken* start = TokeniseScript("top.scr");
    ASSERT_NE(start, nullptr);
    const std::string top = "zqk\\resource\\scripts\\missions\\top.scr";
    const std::string inner = "zqk\\resource\\scripts\\ships\\inner.shp";
    auto markers = Markers(start);
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {0, top}, {0, inner}, {1, inner}, {1, top}, {2, top}};
    EXPECT_EQ(markers, expected);
    EXPECT_STREQ(CurrentScriptFileName(), top.c_str());
}

TEST_F(ScriptTest, TheLastByteOfAFileIsNotALine)
{
    WriteMission("m.scr", "SET a 1\nX");
    ScriptToken* start = TokeniseScript("m.scr");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(Markers(start).size(), 1u);
    EXPECT_EQ(FindScriptSymbol("X"), nullptr);
    WriteMission("n.scr", "SET a 1\nXY");
    start = TokeniseScript("n.scr");
    EXPECT_EQ(Markers(start).size(), 2u);
    EXPECT_NE(FindScriptSymbol("XY"), nullptr);
}

TEST_F(ScriptTest, AMissingFileCompilesToNothing)
{
    const uint32_t cursor = gScriptBuffers.tokenCursor;
    EXPECT_EQ(TokeniseScript("nothere.scr"), nullptr);
    EXPECT_EQ(gScriptBuffers.tokenCursor, cursor);
}

TEST_F(ScriptTest, FaultsStopWithFileAndLine)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const std::string longLine = "SET a " + std::string(506, 'b') + "\n";
    const std::string longQuote = "SET a \"" + std::string(50, 'x') + " " + std::string(49, 'y') + "\"\n";
    const Case cases[] = {
        {"SET a 1\nBRA\n", "(2) : Branch has no label"},
        {"DECBNE\n", "(1) : Branch has no label"},
        {"DECBNE count\n", "(1) : Branch has no label"},
        {"\n\nSET a \" b\n", "(3) : Lone double quote"},
        {"SET a \"open text\nSET b 2\"\n", "(1) : Quoted text does not close on its line"},
        {longQuote.c_str(), "(1) : Quoted text longer than 99 characters"},
        {longLine.c_str(), "(1) : Line longer than 511 characters"},
        {"x:\nSET a 1\nx:\n", "(3) : Label defined twice"},
        {"TIMER: SET a 1\n", "(1) : Label has the name of another symbol"},
        {"LASTSHIP:\n", "(1) : Label has the name of another symbol"},
        {"#INCLUDE stop.scr\n", "(1) : INCLUDE nested too deeply"},
        {"BRF_DECLARE BRF_END\nBRF_END\nBRF_END\nBRF_END\nBRF_DECLARE\n", "(5) : More than 4 briefings in one mission"},
    };
    for (const Case& c : cases) {
        ResetMissionScript();
        ScriptStop stop = CompileExpectingStop(c.text);
        EXPECT_EQ(stop.title, "SCRIPT Tokenize Error") << c.message;
        EXPECT_EQ(stop.text, std::string("zqk\\resource\\scripts\\missions\\stop.scr") + c.message);
    }
}

TEST_F(ScriptTest, ALineOfExactly511CharactersIsAccepted)
{
    const std::string line = "SET a " + std::string(505, 'b');
    ASSERT_EQ(line.size(), 511u);
    WriteMission("m.scr", line + "\r\nSET c 1\n");
    ScriptToken* start = TokeniseScript("m.scr");
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(Markers(start).size(), 2u);
}

TEST_F(ScriptTest, NeitherBufferIsWrittenPastItsEnd)
{
    // One word per pair: the token buffer fills long before the data buffer.
    std::string text;
    for (int line = 0; line < 4100; ++line)
        text += "END END END END END\n";
    ScriptStop stop = CompileExpectingStop(text);
    EXPECT_EQ(stop.title, "SCRIPT DRASTIC ERROR!!!");
    EXPECT_EQ(stop.text, "Script Buffer OVERFLOW !!!");
    EXPECT_LE(gScriptBuffers.tokenCursor, kTokenCapacity);

    ResetMissionScript();
    text.clear();
    for (int line = 0; line < 700; ++line)
        text += "SET a \"" + std::string(90, 'q') + "\"\n";
    stop = CompileExpectingStop(text);
    EXPECT_EQ(stop.title, "SCRIPT DRASTIC ERROR!!!");
    EXPECT_EQ(stop.text, "Data Buffer OVERFLOW !!!");
    EXPECT_LE(gScriptBuffers.dataCursor, kDataCapacity);
}

TEST_F(ScriptTest, AMarkerValueEqualToTheMarkerIdDoesNotMisleadTheLineLookup)
{
    // The failing line ends at byte 411, so its marker's offset word is 411.
    std::string text(407, '\n');
    text += "BRA\n";
    ASSERT_EQ(text.size(), 411u);
    ScriptStop stop = CompileExpectingStop(text);
    EXPECT_EQ(stop.text, "zqk\\resource\\scripts\\missions\\stop.scr(408) : Branch has no label");
}

// The file is read a block at a time: lines of every length around the block
// edges keep their words, and each marker the offset of the line after it.
TEST_F(ScriptTest, LinesAcrossReadBlocksKeepTheirWordsAndOffsets)
{
    std::string text;
    std::vector<uint32_t> nextLine;
    for (int i = 0; text.size() < 3 * 4096 + 700; ++i) {
        std::string name = "v" + std::to_string(i) + std::string(size_t(i * 37 % 300), 'q');
        text += "SET " + name + (i % 3 ? " 1\n" : " 1\r\n");
        nextLine.push_back(uint32_t(text.size()));
    }
    WriteMission("long.scr", text);
    ScriptToken* start = TokeniseScript("long.scr");
    ASSERT_NE(start, nullptr);
    std::vector<uint32_t> offsets;
    const ScriptToken* end = gScriptBuffers.tokens + gScriptBuffers.tokenCursor;
    for (const ScriptToken* t = start; t < end; ++t)
        if (t->id == kw::LINE)
            offsets.push_back((++t)->id);
    EXPECT_EQ(offsets, nextLine);
    for (size_t i = 0; i < nextLine.size(); ++i) {
        std::string name = "v" + std::to_string(i) + std::string(i * 37 % 300, 'q');
        EXPECT_NE(FindScriptSymbol(name.c_str()), nullptr) << i;
    }
}
