// Golden listings of small compiled scripts: each fixture under data/ is
// compiled and its listing (tokens, the symbols it made, the briefing index)
// compared with golden/<name>.dump. Run with KV_UPDATE_GOLDEN=1 to rewrite
// the listings after a deliberate change, then read the diff.
#include "script_test_support.h"

#include "script/scriptdump.h"
#include "script/scriptfiles.h"

#include <cstdlib>
#include <sstream>

namespace {

const std::filesystem::path kData = std::filesystem::path(KV_SOURCE_DIR) / "tests/script/data";
const std::filesystem::path kGolden = std::filesystem::path(KV_SOURCE_DIR) / "tests/script/golden";

class GoldenTest : public ScriptGoldenTest<const char*> {
protected:
    GoldenTest() : ScriptGoldenTest(kData) {}
};

} // namespace

TEST_P(GoldenTest, ListingMatches)
{
    const std::string name = GetParam();
    const uint32_t firstSymbol = MarkedSymbolCount();
    ScriptToken* start = TokeniseScript((name + ".scr").c_str());
    ASSERT_NE(start, nullptr);
    const uint32_t first = static_cast<uint32_t>(start - gScriptBuffers.tokens);

    std::string listing = DumpScriptTokens(first, gScriptBuffers.tokenCursor);
    listing += "symbols:\n" + DumpScriptSymbols(firstSymbol) + DumpBriefingIndex();

    const std::filesystem::path golden = kGolden / (name + ".dump");
    if (std::getenv("KV_UPDATE_GOLDEN"))
        std::ofstream(golden, std::ios::binary) << listing;
    EXPECT_EQ(listing, ReadFileBytes(golden));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, GoldenTest,
                         ::testing::Values("comments", "unmatched", "include_top", "labels", "quotes", "numbers",
                                           "lf", "crlf", "briefing", "keywords", "lastline", "lasttwo"));
