// A damaged optional picture (the ships' shade table, a texture of the
// standard materials), cut short at each stage of its reading: the game,
// run as a real process on the dummy drivers, names the file and what is
// wrong with it in one line, goes without it and flies the test flight to
// its end.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct PictureCase {
    const char* name;
    const char* path;   // below the data folder
    uintmax_t keep;     // bytes kept of the file
    const char* reason; // what the line must say
};
// The demo's pictures are datafiles: a header, the pixelmap record, then
// the pixel block's count and size and its bytes.
// clang-format off
constexpr PictureCase kCases[] = {
    {"ShadeTableInItsPixels",  "zqk/resource/art/textures/ships/klvstd.tab", 8000, "block of 16384 elements cut short"},
    {"ShadeTableBeforeItsCount", "zqk/resource/art/textures/ships/klvstd.tab", 48, "block header cut short"},
    {"ShadeTableInItsRecord",  "zqk/resource/art/textures/ships/klvstd.tab", 30, "Unexpected EOF"},
    {"ShadeTableInItsHeader",  "zqk/resource/art/textures/ships/klvstd.tab", 6, "no shade table in it"},
    {"TextureInItsPixels",     "hexmire/dat/beamnav.pix", 600, "cut short"},
};
// clang-format on

void PrintTo(const PictureCase& c, std::ostream* out)
{
    *out << c.path << " cut to " << c.keep << " bytes";
}

class DamagedPicture : public ::testing::TestWithParam<PictureCase> {
protected:
    ScratchFolder scratch{"damaged_picture"};
};

TEST_P(DamagedPicture, IsNamedWithWhatIsWrongAndTheFlightGoesOnWithoutIt)
{
    const PictureCase& c = GetParam();
    const fs::path folder = CopyDemoData(scratch.Path());
    ASSERT_GT(fs::file_size(folder / c.path), c.keep);
    fs::resize_file(folder / c.path, c.keep);

    const GameProcess game =
        LaunchGame({"-w", "testflight98.scr"},
                   {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"}, folder);
    ASSERT_GT(game.pid, 0);
    const GameRun run = FinishGame(game); // the flight ends itself in about a second

    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("Sanitizer"), std::string::npos) << run.output;
    const std::vector<std::string> lines = LinesNaming(run.output, fs::path(c.path).filename().string());
    const auto says = [&](const std::string& line) { return line.find(c.reason) != std::string::npos; };
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), says)) << "no line names the file with \"" << c.reason << "\"\n"
                                                               << run.output;
}

INSTANTIATE_TEST_SUITE_P(CutShort, DamagedPicture, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PictureCase>& info) { return std::string(info.param.name); });

} // namespace
