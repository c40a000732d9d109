// What `bash play.sh` shows a player: the game program, started with no
// arguments in the demo data tree on a real X display (a virtual one here),
// puts up the loading screen in its window, then the front end's home
// screen with its captions in the front end's palette. The game holds the loading
// screen for the test (KELVANDRIST_LOADING_HOLD_MS) while the screen is
// dumped with xwd until the picture shows, so a busy machine's slow X
// server cannot make the test miss it. Skipped, with a message, where Xvfb
// or xwd is absent.
#include "platform/display.h"
#include "system/display.h"
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

// Dumps the screen every 20 ms until `shows` accepts the dump (true), a
// minute has passed (false) or the game has ended (false, with its wait
// status in `status`, else -1).
template <typename Shows>
bool WaitForScreen(const VirtualXServer& server, const GameProcess& game, const fs::path& file, Screenshot& shot,
                   int& status, Shows shows)
{
    status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        ::usleep(20000);
        int ended = 0;
        if (::waitpid(game.pid, &ended, WNOHANG) == game.pid) {
            status = ended;
            return false;
        }
        if (server.TakeScreenshot(file, shot) && shows(shot))
            return true;
    }
    return false;
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
    int status = 0;
    const bool shown = WaitForScreen(server, game, folder / "screen.xwd", shot, status,
                                     [&](const Screenshot& s) { return ShowsPicture(s, picture); });
    if (status >= 0) {
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
    int status = 0;
    const bool shown = WaitForScreen(server, game, folder / "home.xwd", shot, status, [&](const Screenshot& s) {
        return ShowsCaption(s, title, 120, 14) && ShowsCaption(s, roster, 100, 128);
    });
    if (status >= 0) {
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

namespace {

// Reads the game's output until it holds `text` or the time is up; what
// was read stays in `output`.
bool WaitForOutput(const GameProcess& game, std::string& output, const std::string& text, int milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    char buffer[512];
    while (output.find(text) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd readable{game.output, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left)) <= 0)
            continue;
        const ssize_t n = ::read(game.output, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The game's own capture of a frame as a window shows it, 0xRRGGBB a pixel:
// its colours in the game's palette (the ".ppm"), except that the window
// shows the system's static colours for the entries that belong to the
// system (the indices of the ".pgm").
std::vector<uint32_t> ReadCapture(const fs::path& colours, const fs::path& indices)
{
    const std::string rgb = ReadBytes(colours), index = ReadBytes(indices);
    const std::string rgbHeader = "P6\n640 480\n255\n", indexHeader = "P5\n640 480\n255\n";
    constexpr std::size_t kPixels = 640u * 480u;
    if (rgb.compare(0, rgbHeader.size(), rgbHeader) != 0 || rgb.size() != rgbHeader.size() + 3 * kPixels ||
        index.compare(0, indexHeader.size(), indexHeader) != 0 || index.size() != indexHeader.size() + kPixels)
        return {};
    const platform::PaletteColour* system = platform::SystemPaletteColours();
    std::vector<uint32_t> shown(kPixels);
    for (std::size_t i = 0; i < kPixels; ++i) {
        const auto entry = static_cast<uint8_t>(index[indexHeader.size() + i]);
        const auto* p = reinterpret_cast<const uint8_t*>(rgb.data() + rgbHeader.size() + 3 * i);
        shown[i] = entry < kFirstGameColour || entry > kLastGameColour
                       ? uint32_t(system[entry].red) << 16 | uint32_t(system[entry].green) << 8 | system[entry].blue
                       : uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    return shown;
}

// The share of the screen's pixels that match the capture.
double Agreement(const Screenshot& shot, const std::vector<uint32_t>& capture)
{
    if (shot.width < kWidth || shot.height < kHeight || capture.size() != std::size_t(kWidth) * kHeight)
        return 0.0;
    std::size_t same = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            same += shot.At(x, y) == capture[std::size_t(y) * kWidth + x];
    return double(same) / double(capture.size());
}

} // namespace

// `bash play.sh -w mission01.scr` in a real window: the mission opens on
// COM with its briefing; F2, pressed through the X server, goes to NAV.
// Each screen as X shows it matches the game's own capture of that frame
// (the input table holds the game still while the screen is dumped).
TEST(PlayWindow, MissionOneShowsComThenNavAsTheGameCapturesThem)
{
    VirtualXServer server;
    const std::string xdotool = FindProgram("xdotool");
    if (!server.Available() || xdotool.empty())
        GTEST_SKIP() << "Xvfb, xwd or xdotool is absent: the stations are not checked in a window "
                        "(install xvfb, x11-apps and xdotool)";
    ASSERT_TRUE(server.Start(kWidth, kHeight)) << "Xvfb did not start";
    ScratchFolder scratch{"playwindow_stations"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    std::ofstream(folder / "table.txt") << "100 state\n100 shot " << (folder / "com.ppm").string() << "\n100 shot "
                                        << (folder / "com.pgm").string()
                                        << "\n100 hold 5000\n"
                                           "300 state\n300 shot "
                                        << (folder / "nav.ppm").string() << "\n300 shot " << (folder / "nav.pgm").string()
                                        << "\n300 hold 5000\n"
                                           "310 quit\n";
    const GameProcess game =
        LaunchGame({"-w", "mission01.scr"},
                   {"DISPLAY=" + server.Display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                    "KELVANDRIST_LOCK_DIR=" + folder.string(), "ASAN_OPTIONS=detect_leaks=0", "KELVANDRIST_UNPACED=1",
                    "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                   folder);
    ASSERT_GT(game.pid, 0);
    std::string output;
    Screenshot com, nav;
    const bool comHeld = WaitForOutput(game, output, "hold 100", 60000);
    const bool comShot = comHeld && server.TakeScreenshot(folder / "com.xwd", com);
    // The key goes to the game's window through the X server; the game
    // takes it when the hold ends.
    const std::string key = "DISPLAY=" + server.Display() + " " + xdotool + " key F2 >/dev/null 2>&1";
    const int keyed = comHeld ? std::system(key.c_str()) : -1;
    const bool navHeld = WaitForOutput(game, output, "hold 300", 60000);
    const bool navShot = navHeld && server.TakeScreenshot(folder / "nav.xwd", nav);
    GameRun run = FinishGame(game, 30000);
    run.output = output + run.output;

    ASSERT_TRUE(comShot) << run.output;
    EXPECT_EQ(keyed, 0);
    ASSERT_TRUE(navShot) << run.output;
    EXPECT_NE(run.output.find("state 100 screen=COM"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("state 300 screen=NAV"), std::string::npos) << run.output;
    EXPECT_GT(Agreement(com, ReadCapture(folder / "com.ppm", folder / "com.pgm")), 0.99);
    EXPECT_GT(Agreement(nav, ReadCapture(folder / "nav.ppm", folder / "nav.pgm")), 0.99);
    EXPECT_EQ(run.exitCode, 0) << run.output;
}
