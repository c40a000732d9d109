// Golden statement traces of headless script runs: each case runs a script
// under data/ as the per-frame mission script for a number of frames at 20
// ticks a frame and compares the trace (and the syntax-error box a faulty
// script ends with, or the ships' field dump) with golden/<case>.trace. Run with KV_UPDATE_GOLDEN=1 to
// rewrite the traces after a deliberate change, then read the diff.
#include "../script/script_test_support.h"

#include "script/scriptrun.h"

#include <cstdlib>
#include <sstream>

namespace {

const std::filesystem::path kData = std::filesystem::path(KV_SOURCE_DIR) / "tests/interp/data";
const std::filesystem::path kGolden = std::filesystem::path(KV_SOURCE_DIR) / "tests/interp/golden";

struct TraceCase {
    const char* name; // golden file name
    const char* script;
    int frames;
    std::vector<int> skipFrames;
    int arrivalFrame;
    int32_t arrivalSystem;
    bool dumpShips; // the ships' field dump after the trace
};

const TraceCase kCases[] = {
    {"wait", "wait.scr", 4, {}, -1, 0, false},
    {"wait_time", "wait_time.scr", 12, {}, -1, 0, false},
    {"wait_time_skip", "wait_time.scr", 6, {2}, -1, 0, false},
    {"wait_until", "wait_until.scr", 10, {}, -1, 0, false},
    {"nested_calls", "nested_calls.scr", 2, {}, -1, 0, false},
    {"call_once", "call_once.scr", 2, {}, -1, 0, false},
    {"call_when", "call_when.scr", 22, {}, -1, 0, false},
    {"starsystem", "starsystem.scr", 14, {}, 3, 3, false},
    {"starsystem_unknown", "starsystem.scr", 6, {}, 1, 4, false},
    {"bad_label", "bad_label.scr", 2, {}, -1, 0, false},
    {"bad_condition", "bad_condition.scr", 2, {}, -1, 0, false},
    {"underflow", "underflow.scr", 3, {}, -1, 0, false},
    {"ships", "ships.scr", 2, {}, -1, 0, true},
    {"ring", "ring.scr", 1, {}, -1, 0, false},
};

class TraceGoldenTest : public ScriptGoldenTest<TraceCase> {
protected:
    TraceGoldenTest() : ScriptGoldenTest(kData) {}
};

TEST_P(TraceGoldenTest, MatchesGolden)
{
    const TraceCase& c = GetParam();
    ScriptRunOptions options;
    options.name = c.script;
    options.frames = c.frames;
    options.ticks = 20;
    options.skipFrames = c.skipFrames;
    options.arrivalFrame = c.arrivalFrame;
    options.arrivalSystem = c.arrivalSystem;
    options.dumpShips = c.dumpShips;

    std::string trace;
    try {
        ASSERT_TRUE(TraceScriptRun(options, trace));
    } catch (const ScriptStop& stop) {
        trace += stop.title + ": " + stop.text + "\n";
    }

    const std::filesystem::path golden = kGolden / (std::string(c.name) + ".trace");
    if (std::getenv("KV_UPDATE_GOLDEN")) {
        std::ofstream(golden, std::ios::binary) << trace;
        return;
    }
    EXPECT_EQ(trace, ReadFileBytes(golden)) << "golden: " << golden;
}

INSTANTIATE_TEST_SUITE_P(Scripts, TraceGoldenTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

} // namespace
