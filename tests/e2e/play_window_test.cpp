// What `bash play.sh` shows a player: the game program, started with no
// arguments in the demo data tree on a real X display (a virtual one here),
// puts up the loading screen in its window, then the front end's home
// screen with its captions in the front end's palette. The game holds the loading
// screen for the test (KELVANDRIST_LOADING_HOLD_MS) while the screen is
// dumped with xwd until the picture shows, so a busy machine's slow X
// server cannot make the test miss it. Skipped, with a message, where Xvfb
// or xwd is absent.
#include "system/res/pcx.h"

#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/virtual_x.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640, kHeight = 480;
// Rows the loading screen keeps as the picture: below the band where the
// progress dots and the on-screen log are drawn, above the build date.
constexpr int kPictureTop = 84, kPictureBottom = 455;

// The loading screen picture as the screen shows it: one 0xRRGGBB a pixel.
std::vector<uint32_t> LoadingPicture(const fs::path& data)
{
    std::ifstream in(data / "zqk/resource/art/loadscrn.pcx", std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PcxInfo info{};
    GamePalette palette{};
    if (!PcxReadInfo(file, &info) || !PcxReadPalette(file, &palette))
        return {};
    std::vector<uint8_t> indices(static_cast<std::size_t>(kWidth) * kHeight);
    PcxDecodeBody(file, info, indices.data(), kWidth, kWidth, kHeight);
    std::vector<uint32_t> rgb(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const PaletteEntry& c = palette.entries[indices[i]];
        rgb[i] = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
    }
    return rgb;
}

// Whether the screen shows the picture in its rows between the log band and
// the build date.
bool ShowsPicture(const Screenshot& shot, const std::vector<uint32_t>& picture)
{
    if (shot.width < kWidth || shot.height < kHeight)
        return false;
    for (int y = kPictureTop; y < kPictureBottom; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (shot.At(x, y) != picture[static_cast<std::size_t>(y) * kWidth + x])
                return false;
    return true;
}

TEST(PlayWindow, TheGameShowsTheLoadingScreenWithItsBuildDateInARealWindow)
{
    VirtualXServer server;
    if (!server.Available())
        GTEST_SKIP() << "Xvfb or xwd is absent: the game's window is not checked (install xvfb and x11-apps)";
    // A screen of the game's own size: in full screen or in a window, the
    // game's picture covers it from the top-left corner.
    ASSERT_TRUE(server.Start(kWidth, kHeight)) << "Xvfb did not start";
    ScratchFolder scratch{"playwindow"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    const std::vector<uint32_t> picture = LoadingPicture(folder);
    ASSERT_EQ(picture.size(), std::size_t(kWidth) * kHeight);

    // As play.sh runs it: no arguments, in the data folder, on the display;
    // the loading screen held up to a minute (the test's quit ends the hold).
    // The X libraries keep allocations for the whole process that the leak
    // checker cannot tell from the game's.
    const GameProcess game = LaunchGame({},
                                        {"DISPLAY=" + server.Display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                                         "KELVANDRIST_LOCK_DIR=" + folder.string(), "ASAN_OPTIONS=detect_leaks=0",
                                         "KELVANDRIST_LOADING_HOLD_MS=60000"},
                                        folder);
    ASSERT_GT(game.pid, 0);

    Screenshot shot;
    bool shown = false, ended = false;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        ::usleep(20000);
        if (::waitpid(game.pid, &status, WNOHANG) == game.pid) {
            ended = true;
            break;
        }
        shown = server.TakeScreenshot(folder / "screen.xwd", shot) && ShowsPicture(shot, picture);
    }
    if (ended) {
        ::close(game.output);
        FAIL() << "the game ended during start-up, status " << status;
    }
    // The window's quit, as a player closing it.
    ::kill(game.pid, SIGTERM);
    const GameRun run = FinishGame(game);
    ASSERT_TRUE(shown) << "the loading screen never showed; the game said: " << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;

    // The build date is drawn over the picture's bottom rows.
    int textPixels = 0;
    for (int y = kPictureBottom; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            textPixels += shot.At(x, y) != picture[static_cast<std::size_t>(y) * kWidth + x];
    EXPECT_GT(textPixels, 100);
}

// A caption picture of the tree as the front end shows it: its indices
// through the front end's palette, one 0xRRGGBB a pixel (0 for the
// background, whose colour the display may keep for itself).
struct Caption {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    std::vector<uint8_t> ink;
};
Caption FrontCaption(const fs::path& data, const char* name)
{
    auto read = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::vector<uint8_t> picture = read(data / "zqk/resource/art" / name);
    const std::vector<uint8_t> front = read(data / "zqk/resource/art/frnpal.pcx");
    PcxInfo info{};
    GamePalette palette{};
    Caption c;
    if (!PcxReadInfo(picture, &info) || !PcxReadPalette(front, &palette))
        return c;
    c.width = info.width;
    c.height = info.height;
    c.ink.resize(static_cast<std::size_t>(c.width) * c.height);
    PcxDecodeBody(picture, info, c.ink.data(), c.width, c.width, c.height);
    for (uint8_t index : c.ink) {
        const PaletteEntry& e = palette.entries[index];
        c.rgb.push_back(uint32_t(e.red) << 16 | uint32_t(e.green) << 8 | e.blue);
    }
    return c;
}

// Whether the screen shows the caption's ink at (x, y).
bool ShowsCaption(const Screenshot& shot, const Caption& c, int x, int y)
{
    if (shot.width < kWidth || shot.height < kHeight || c.width == 0)
        return false;
    int inked = 0;
    for (int row = 0; row < c.height; ++row)
        for (int col = 0; col < c.width; ++col) {
            const std::size_t i = static_cast<std::size_t>(row) * c.width + col;
            if (!c.ink[i])
                continue;
            if (shot.At(x + col, y + row) != c.rgb[i])
                return false;
            ++inked;
        }
    return inked > 50;
}

TEST(PlayWindow, AfterStartUpTheHomeScreenShowsItsCaptionsInTheFrontEndsPalette)
{
    VirtualXServer server;
    if (!server.Available())
        GTEST_SKIP() << "Xvfb or xwd is absent: the game's window is not checked (install xvfb and x11-apps)";
    ASSERT_TRUE(server.Start(kWidth, kHeight)) << "Xvfb did not start";
    ScratchFolder scratch{"playwindow_home"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    // The home screen's title and its first choice, where its layout puts them.
    const Caption title = FrontCaption(folder, "cap_home_title.pcx");
    const Caption roster = FrontCaption(folder, "cap_home_roster.pcx");
    ASSERT_GT(title.width, 0);
    ASSERT_GT(roster.width, 0);

    const GameProcess game = LaunchGame({},
                                        {"DISPLAY=" + server.Display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                                         "KELVANDRIST_LOCK_DIR=" + folder.string(), "ASAN_OPTIONS=detect_leaks=0"},
                                        folder);
    ASSERT_GT(game.pid, 0);
    Screenshot shot;
    bool shown = false, ended = false;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        ::usleep(20000);
        if (::waitpid(game.pid, &status, WNOHANG) == game.pid) {
            ended = true;
            break;
        }
        shown = server.TakeScreenshot(folder / "home.xwd", shot) && ShowsCaption(shot, title, 120, 14) &&
                ShowsCaption(shot, roster, 100, 128);
    }
    if (ended) {
        ::close(game.output);
        FAIL() << "the game ended before its home screen, status " << status;
    }
    ::kill(game.pid, SIGTERM);
    const GameRun run = FinishGame(game);
    ASSERT_TRUE(shown) << "the home screen never showed; the game said: " << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // The screenshot is kept beside the game's output for a reader.
    EXPECT_TRUE(fs::exists(folder / "home.xwd"));
}

} // namespace
