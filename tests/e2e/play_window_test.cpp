// What `bash play.sh` shows a player: the game program, started with no
// arguments in the demo data tree on a real X display (a virtual one here),
// puts up the loading screen in its window, then the front end's home
// screen with its captions in the front end's palette. The game holds the loading
// screen for the test (KELVANDRIST_LOADING_HOLD_MS) while the screen is
// dumped with xwd until the picture shows, so a busy machine's slow X
// server cannot make the test miss it. Then the main road walked in the
// window, keys and clicks sent through the X server, each screen of the
// series matching the game's own screenshot and kept for a reader.
// Skipped, with a message, where Xvfb, xwd or (to send input) xdotool is
// absent.
#include "platform/display.h"
#include "system/display.h"
#include "system/res/pcx.h"

#include "tests/support/game_run.h"
#include "tests/support/png_writer.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/virtual_x.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <span>
#include <sstream>

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

// How long a test waits for what the game is sure to show: only a hang
// takes longer, however busy the machine.
constexpr int kHangMs = 300000;

// Dumps the screen every 20 ms until `shows` accepts the dump (true), the
// hang limit has passed (false) or the game has ended (false, with its wait
// status in `status`, else -1).
template <typename Shows>
bool WaitForScreen(const VirtualXServer& server, const GameProcess& game, const fs::path& file, Screenshot& shot,
                   int& status, Shows shows)
{
    status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMs);
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

// What an ended game wrote, read to its end; the channel is closed.
std::string RestOfOutput(const GameProcess& game)
{
    std::string said;
    char buffer[4096];
    for (ssize_t n; (n = ::read(game.output, buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    ::close(game.output);
    return said;
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
    // the loading screen held up to ten minutes (the test's quit ends the
    // hold).
    // The X libraries keep allocations for the whole process that the leak
    // checker cannot tell from the game's.
    const GameProcess game = LaunchGame({},
                                        {"DISPLAY=" + server.Display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                                         "KELVANDRIST_LOCK_DIR=" + folder.string(), "ASAN_OPTIONS=detect_leaks=0",
                                         "KELVANDRIST_LOADING_HOLD_MS=600000"},
                                        folder);
    ASSERT_GT(game.pid, 0);

    Screenshot shot;
    int status = 0;
    const bool shown = WaitForScreen(server, game, folder / "screen.xwd", shot, status,
                                     [&](const Screenshot& s) { return ShowsPicture(s, picture); });
    if (status >= 0)
        FAIL() << "the game ended during start-up, status " << status << "; it said: " << RestOfOutput(game);
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
    if (status >= 0)
        FAIL() << "the game ended before its home screen, status " << status << "; it said: " << RestOfOutput(game);
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
    if (!server.CanSendInput())
        GTEST_SKIP() << "Xvfb, xwd or xdotool is absent: the stations are not checked in a window "
                        "(install xvfb, x11-apps and xdotool)";
    ASSERT_TRUE(server.Start(kWidth, kHeight)) << "Xvfb did not start";
    ScratchFolder scratch{"playwindow_stations"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    std::ofstream(folder / "table.txt") << "100 state\n100 shot " << (folder / "com.ppm").string() << "\n100 shot "
                                        << (folder / "com.pgm").string()
                                        << "\n100 hold\n"
                                           "300 state\n300 shot "
                                        << (folder / "nav.ppm").string() << "\n300 shot " << (folder / "nav.pgm").string()
                                        << "\n300 hold\n"
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
    const bool comHeld = WaitForOutput(game, output, "hold 100\n", kHangMs);
    const bool comShot = comHeld && server.TakeScreenshot(folder / "com.xwd", com);
    // The key goes to the game's window through the X server; the game
    // takes it at the pass after the hold.
    const bool keyed = comHeld && server.SendInput("key F2") && server.ReleaseHold();
    const bool navHeld = WaitForOutput(game, output, "hold 300\n", kHangMs);
    const bool navShot = navHeld && server.TakeScreenshot(folder / "nav.xwd", nav);
    const bool released = navHeld && server.ReleaseHold();
    GameRun run = FinishGame(game);
    run.output = output + run.output;

    ASSERT_TRUE(comShot) << run.output;
    EXPECT_TRUE(keyed);
    ASSERT_TRUE(navShot) << run.output;
    EXPECT_TRUE(released);
    EXPECT_NE(run.output.find("state 100 screen=COM"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("state 300 screen=NAV"), std::string::npos) << run.output;
    EXPECT_GT(Agreement(com, ReadCapture(folder / "com.ppm", folder / "com.pgm")), 0.99);
    EXPECT_GT(Agreement(nav, ReadCapture(folder / "nav.ppm", folder / "nav.pgm")), 0.99);
    EXPECT_EQ(run.exitCode, 0) << run.output;
}

namespace {

// The picture the game's own screenshot (a PCX file) holds, as a window
// shows it, 0xRRGGBB a pixel: its colours in the palette saved with it,
// except the system's static colours for the entries that belong to the
// system. Empty when the file is not a 640 x 480 screenshot.
std::vector<uint32_t> ScreenshotAsShown(const fs::path& path)
{
    const std::string bytes = ReadBytes(path);
    const std::span<const uint8_t> file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    PcxInfo info{};
    GamePalette palette{};
    if (!PcxReadInfo(file, &info) || !PcxReadPalette(file, &palette) || info.width != kWidth ||
        info.height != kHeight)
        return {};
    std::vector<uint8_t> indices(std::size_t(kWidth) * kHeight);
    PcxDecodeBody(file, info, indices.data(), kWidth, kWidth, kHeight);
    const platform::PaletteColour* system = platform::SystemPaletteColours();
    std::vector<uint32_t> shown(indices.size());
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const uint8_t entry = indices[i];
        const bool ofSystem = entry < kFirstGameColour || entry > kLastGameColour;
        const PaletteEntry& c = ofSystem ? system[entry] : palette.entries[entry];
        shown[i] = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
    }
    return shown;
}

// How many of the screen's pixels differ from the picture (all of them when
// the sizes differ).
long Differences(const Screenshot& shot, const std::vector<uint32_t>& picture)
{
    if (shot.width < kWidth || shot.height < kHeight || picture.size() != std::size_t(kWidth) * kHeight)
        return long(kWidth) * kHeight;
    long differ = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            differ += shot.At(x, y) != picture[std::size_t(y) * kWidth + x];
    return differ;
}

// The screen's top-left 640 x 480 pixels, to keep as a picture.
std::vector<uint32_t> GamePixels(const Screenshot& shot)
{
    std::vector<uint32_t> pixels;
    for (int y = 0; y < kHeight && y < shot.height; ++y)
        for (int x = 0; x < kWidth && x < shot.width; ++x)
            pixels.push_back(shot.At(x, y));
    return pixels;
}

// One stop of the walk: at its pass the game prints its state and its
// ships, writes its own screenshot when the stop keeps one, and holds while
// the test dumps the X screen and then sends the stop's input (xdotool
// commands) through the X server, followed by the key that ends the hold;
// the game reads the input at the next pass.
struct Stop {
    long pass;
    std::string screen; // the screen the game reports at the stop
    std::string shot;   // the name the screenshot is kept under, or empty
    std::vector<std::string> input;
    bool whileRaiderLives = false; // the input only while the raider lives
};

// What the game printed at a stop.
struct Seen {
    std::string screen;
    int end = -1;
    std::map<std::string, std::string> ships; // name -> the rest of its line
};

std::map<long, Seen> ReadStops(const std::string& output)
{
    std::map<long, Seen> seen;
    const std::regex state(R"(state (\d+) screen=(\S*) station=-?\d+ end=(-?\d+))");
    const std::regex ship(R"(ship (\d+) (\S+) (.*))");
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_match(line, m, state)) {
            seen[std::stol(m[1])].screen = m[2];
            seen[std::stol(m[1])].end = std::stoi(m[3]);
        } else if (std::regex_match(line, m, ship)) {
            seen[std::stol(m[1])].ships[m[2]] = m[3];
        }
    }
    return seen;
}

bool Destroyed(const Seen& seen, const std::string& ship)
{
    return seen.ships.count(ship) && seen.ships.at(ship).rfind("destroyed=1", 0) == 0;
}

// The weapons station's local view, where the layout puts it.
constexpr int kViewLeft = 36, kViewTop = 52, kViewWidth = 300, kViewHeight = 200;

// The share of the pixels in a ship's screen rectangle (its line's
// "screen=l,t,r,b", relative to the middle of the view it was drawn in)
// that show something other than the sky, the view's commonest colour;
// -1 when the line has no rectangle or it lies outside the view.
double ShipCoverage(const Screenshot& shot, const std::string& line)
{
    std::smatch m;
    const std::regex screen(R"(screen=(-?\d+),(-?\d+),(-?\d+),(-?\d+))");
    if (shot.width < kWidth || shot.height < kHeight || !std::regex_search(line, m, screen))
        return -1.0;
    std::map<uint32_t, int> colours;
    for (int y = kViewTop; y < kViewTop + kViewHeight; ++y)
        for (int x = kViewLeft; x < kViewLeft + kViewWidth; ++x)
            ++colours[shot.At(x, y)];
    const uint32_t sky =
        std::max_element(colours.begin(), colours.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    const int middleX = kViewLeft + kViewWidth / 2, middleY = kViewTop + kViewHeight / 2;
    const int left = std::max(kViewLeft, middleX + std::stoi(m[1]));
    const int top = std::max(kViewTop, middleY + std::stoi(m[2]));
    const int right = std::min(kViewLeft + kViewWidth - 1, middleX + std::stoi(m[3]));
    const int bottom = std::min(kViewTop + kViewHeight - 1, middleY + std::stoi(m[4]));
    int drawn = 0, area = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            ++area;
            drawn += shot.At(x, y) != sky;
        }
    return area > 0 ? double(drawn) / area : -1.0;
}

// Where the screenshots of the walk are kept for a reader: beside the game
// program in the build folder.
fs::path ArtefactFolder()
{
    return GameProgram().parent_path() / "artefacts" / "mainroad_window";
}

} // namespace

// The main road as a player walks it in a real window: keys and clicks go
// through the X server into the game's window, from the home screen through
// the roster and a career named by typing (and the question its Delete
// asks, answered Cancel) to mission 1, its briefing, each
// station, a fight won at the weapons station, the key list, the director
// with the mission's summary, the debrief, back on the timeline and through
// the roster home to the options. At each stop of the series the screen as X shows it
// is the game's own screenshot of that frame, pixel for pixel, and it is
// kept as a picture in the build folder's artefacts/mainroad_window.
TEST(PlayWindow, TheMainRoadWalkedThroughTheXServerShowsTheGamesOwnScreenshots)
{
    VirtualXServer server;
    if (!server.CanSendInput())
        GTEST_SKIP() << "Xvfb, xwd or xdotool is absent: the main road is not walked in a window "
                        "(install xvfb, x11-apps and xdotool)";
    ASSERT_TRUE(server.Start(kWidth, kHeight)) << "Xvfb did not start";
    ScratchFolder scratch{"playwindow_mainroad"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    const fs::path artefacts = ArtefactFolder();
    fs::remove_all(artefacts);
    fs::create_directories(artefacts);

    // The window covers the screen from its top-left corner, so the pointer
    // goes to the middles of the elements where the layouts put them. The
    // pointer rests on an element for a stop before the click, as a hand
    // does: an element that becomes hot forgets a press.
    std::string erase = "key";
    for (int i = 0; i < 20; ++i)
        erase += " BackSpace";
    std::vector<Stop> stops = {
        {100, "FrontHome", "home", {"mousemove 200 140"}}, // the roster's square
        {120, "FrontHome", "", {"click 1"}},
        {250, "FrontRoster", "roster", {"mousemove 320 262"}}, // the first slot
        {260, "FrontRoster", "", {"click 1"}},
        {400, "FrontTime", "", {"mousemove 464 75"}}, // the captain's name
        {410, "FrontTime", "", {"click 1"}},
        {420, "FrontTime", "", {erase, "type TESTER", "key Return"}},
        // Delete asks first; Cancel keeps the career.
        {440, "FrontTime", "", {"mousemove 90 270"}},
        {450, "FrontTime", "", {"click 1"}},
        {470, "Confirm", "question", {"mousemove 390 272"}},
        {480, "Confirm", "", {"click 1"}},
        {520, "FrontTime", "", {"key Up"}},
        {530, "FrontTime", "timeline", {"mousemove 90 150"}}, // play mission 1
        {552, "FrontTime", "", {"click 1"}},
        {800, "COM", "briefing", {}},
        {1200, "COM", "", {"mousemove 570 140"}}, // close the objectives view
        {1212, "COM", "", {"click 1"}},
        {1300, "COM", "com", {"key F2"}},
        // The nearest hostile as the target, the drive on and off, APPROACH
        // ordered and cancelled; the corvette then holds still for its
        // turret while the raider comes onto its tail.
        {1310, "NAV", "nav", {"key t"}},
        {1320, "NAV", "", {"key l"}},
        {1390, "NAV", "", {"key l"}},
        {1460, "NAV", "", {"key 2"}},
        {1490, "NAV", "", {"key 6"}},
        {1530, "NAV", "", {"key F3"}},
        {1536, "WEP", "wep", {"key F4"}},
        {1542, "ENG", "eng", {"key F3"}},
        // The third gun: the dorsal turret, which fires all round.
        {1548, "WEP", "", {"key g"}},
        {1554, "WEP", "", {"key g"}},
    };
    // Fire every fourth pass until the raider is destroyed: the turret hits
    // whatever is in its way, so it stops then.
    constexpr long kFirstFire = 1560, kLastFire = 2000, kCombat = 1564;
    for (long pass = kFirstFire; pass <= kLastFire; pass += 4)
        stops.push_back({pass, "WEP", pass == kCombat ? "combat" : "", {"key Return"}, true});
    // The key list, shown over the bridge until a key is pressed.
    stops.push_back({2560, "WEP", "", {"key F10"}});
    stops.push_back({2570, "WEP", "keylist", {"key space"}});
    // The end key three times, long after the fight as the headless road
    // ends it: the director with the summary, the debrief, the end screen.
    constexpr long kDirector = 2620;
    stops.push_back({kDirector, "WEP", "", {"key q"}});
    stops.push_back({kDirector + 50, "WEP", "summary", {"key q"}});
    stops.push_back({kDirector + 100, "WEP", "debrief", {"key q"}});
    // Back on the timeline, then through the roster home and to the options.
    stops.push_back({kDirector + 200, "FrontTime", "", {"mousemove 90 422"}}); // back
    stops.push_back({kDirector + 210, "FrontTime", "", {"click 1"}});
    stops.push_back({kDirector + 340, "FrontRoster", "", {"mousemove 590 451"}}); // back
    stops.push_back({kDirector + 350, "FrontRoster", "", {"click 1"}});
    stops.push_back({kDirector + 480, "FrontHome", "", {"mousemove 440 300"}}); // the options' square
    stops.push_back({kDirector + 490, "FrontHome", "", {"click 1"}});
    stops.push_back({kDirector + 620, "OptionScreen", "options", {}});

    std::ostringstream table;
    for (const Stop& s : stops) {
        table << s.pass << " state\n"
              << s.pass << " ships\n";
        if (!s.shot.empty())
            table << s.pass << " shot " << (folder / (s.shot + ".pcx")).string() << "\n";
        table << s.pass << " hold\n";
    }
    table << stops.back().pass + 10 << " quit\n";
    std::ofstream(folder / "table.txt") << table.str();

    const GameProcess game =
        LaunchGame({"-w"},
                   {"DISPLAY=" + server.Display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy",
                    "KELVANDRIST_LOCK_DIR=" + folder.string(), "ASAN_OPTIONS=detect_leaks=0", "KELVANDRIST_UNPACED=1",
                    "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                   folder);
    ASSERT_GT(game.pid, 0);
    std::string output, failed;
    std::map<std::string, Screenshot> shots;
    for (const Stop& s : stops) {
        const std::string pass = std::to_string(s.pass);
        if (!WaitForOutput(game, output, "hold " + pass + "\n", kHangMs)) {
            failed = "the game never held at pass " + pass;
            break;
        }
        if (!s.shot.empty() && !server.TakeScreenshot(folder / (s.shot + ".xwd"), shots[s.shot]))
            failed = "X gave no screenshot of " + s.shot;
        const bool raiderGone = output.find("ship " + pass + " Raider destroyed=1") != std::string::npos;
        if (!(s.whileRaiderLives && raiderGone))
            for (const std::string& command : s.input)
                if (!server.SendInput(command))
                    failed = "xdotool " + command + " failed";
        if (!server.ReleaseHold())
            failed = "xdotool could not end the hold at pass " + pass;
    }
    GameRun run = FinishGame(game);
    run.output = output + run.output;
    ASSERT_TRUE(failed.empty()) << failed << "\n"
                                << run.output;
    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;

    const std::map<long, Seen> seen = ReadStops(run.output);
    for (const Stop& s : stops) {
        ASSERT_TRUE(seen.count(s.pass)) << "pass " << s.pass << "\n"
                                        << run.output;
        EXPECT_EQ(seen.at(s.pass).screen, s.screen) << "pass " << s.pass << "\n"
                                                    << run.output;
    }
    // Each screen as X shows it is the game's own screenshot of the frame.
    int kept = 0;
    for (const Stop& s : stops) {
        if (s.shot.empty())
            continue;
        const Screenshot& shot = shots[s.shot];
        EXPECT_EQ(Differences(shot, ScreenshotAsShown(folder / (s.shot + ".pcx"))), 0) << s.shot;
        ++kept;
        const std::string name = (kept < 10 ? "0" : "") + std::to_string(kept) + "_" + s.shot + ".png";
        EXPECT_TRUE(WritePng(artefacts / name, kWidth, kHeight, GamePixels(shot))) << name;
    }

    // The career is the captain's, named as typed.
    EXPECT_NE(ReadBytes(folder / "zqk/slot0.sav").find("TESTER"), std::string::npos);

    // In the fight the weapons view shows the ships where the game drew
    // them: the player's corvette, which the view looks over, and the
    // raider far ahead, marked by the HUD.
    const Seen& combat = seen.at(kCombat);
    for (const char* ship : {"Vorn", "Raider"}) {
        ASSERT_TRUE(combat.ships.count(ship)) << ship << "\n"
                                              << run.output;
        EXPECT_GT(ShipCoverage(shots["combat"], combat.ships.at(ship)), 0.25) << ship << " " << combat.ships.at(ship);
    }

    // The raider is destroyed before the end key; the director, the
    // debrief and the end screen follow, back on the timeline.
    EXPECT_TRUE(Destroyed(seen.at(kDirector), "Raider")) << run.output;
    EXPECT_EQ(seen.at(kDirector).end, 0);
    EXPECT_EQ(seen.at(kDirector + 50).end, 1);
    EXPECT_EQ(seen.at(kDirector + 100).end, 2);
    EXPECT_EQ(seen.at(kDirector + 200).end, 0);
}

namespace {

// A binary PPM of the game's size as 0xRRGGBB pixels; empty for anything else.
std::vector<uint32_t> ReadPpm(const fs::path& path)
{
    const std::string bytes = ReadBytes(path);
    const std::string header = "P6\n640 480\n255\n";
    constexpr std::size_t kPixels = std::size_t(kWidth) * kHeight;
    if (bytes.compare(0, header.size(), header) != 0 || bytes.size() != header.size() + 3 * kPixels)
        return {};
    std::vector<uint32_t> rgb(kPixels);
    for (std::size_t i = 0; i < kPixels; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + header.size() + 3 * i);
        rgb[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    return rgb;
}

// Where a screen of `screenWidth` x `screenHeight` shows the game's picture
// scaled to fit with its aspect kept: the bars share the rest equally.
struct Fit {
    double scale;
    int left, top;

    Fit(int screenWidth, int screenHeight)
        : scale(std::min(double(screenWidth) / kWidth, double(screenHeight) / kHeight)),
          left(int(screenWidth - kWidth * scale) / 2), top(int(screenHeight - kHeight * scale) / 2)
    {
    }
    // The screen pixel in the middle of the game's pixel (x, y).
    int X(int x) const { return left + int((x + 0.5) * scale); }
    int Y(int y) const { return top + int((y + 0.5) * scale); }
};

// How many of the picture's pixels the screen shows in their place.
long Shown(const Screenshot& shot, const Fit& fit, const std::vector<uint32_t>& picture)
{
    long same = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            same += fit.X(x) < shot.width && fit.Y(y) < shot.height &&
                    shot.At(fit.X(x), fit.Y(y)) == picture[std::size_t(y) * kWidth + x];
    return same;
}

} // namespace

// `bash play.sh` on a screen of another shape than the game's, with no
// window manager: full screen shows the whole picture, enlarged with its
// aspect kept between black bars; a click where the roster's square is
// shown opens the roster; Alt+Enter puts the game back in a window of its
// own size in the middle of the screen.
TEST(PlayWindow, FullScreenWithoutAWindowManagerShowsTheWholePictureAndTakesClicksWhereItIsShown)
{
    VirtualXServer server;
    if (!server.CanSendInput())
        GTEST_SKIP() << "Xvfb, xwd or xdotool is absent: full screen is not checked "
                        "(install xvfb, x11-apps and xdotool)";
    // Wider than 4:3, and not a whole multiple of the picture.
    constexpr int kScreenWidth = 1000, kScreenHeight = 600;
    ASSERT_TRUE(server.Start(kScreenWidth, kScreenHeight)) << "Xvfb did not start";
    ScratchFolder scratch{"playwindow_fullscreen"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    std::ofstream(folder / "table.txt") << "100 shot " << (folder / "home.ppm").string()
                                        << "\n100 hold\n120 hold\n250 state\n250 hold\n260 shot "
                                        << (folder / "roster.ppm").string() << "\n260 hold\n270 quit\n";
    const GameProcess game =
        LaunchGame({}, {"DISPLAY=" + server.Display(), "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_LOCK_DIR=" + folder.string(), "ASAN_OPTIONS=detect_leaks=0", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                   folder);
    ASSERT_GT(game.pid, 0);
    const Fit full(kScreenWidth, kScreenHeight);
    // The roster's square on the home screen, where full screen shows it;
    // the pointer rests there a stop before the click.
    const std::string roster = "mousemove " + std::to_string(full.X(200)) + " " + std::to_string(full.Y(140));
    std::string output;
    Screenshot home, window;
    bool ok = WaitForOutput(game, output, "hold 100\n", kHangMs) && server.TakeScreenshot(folder / "home.xwd", home) &&
              server.SendInput(roster) && server.ReleaseHold();
    ok = ok && WaitForOutput(game, output, "hold 120\n", kHangMs) && server.SendInput("click 1") &&
         server.ReleaseHold();
    ok = ok && WaitForOutput(game, output, "hold 250\n", kHangMs) && server.SendInput("key alt+Return") &&
         server.ReleaseHold();
    ok = ok && WaitForOutput(game, output, "hold 260\n", kHangMs) &&
         server.TakeScreenshot(folder / "window.xwd", window) && server.ReleaseHold();
    GameRun run = FinishGame(game);
    run.output = output + run.output;
    ASSERT_TRUE(ok) << run.output;
    EXPECT_EQ(run.exitCode, 0) << run.output;

    const std::vector<uint32_t> homePicture = ReadPpm(folder / "home.ppm");
    ASSERT_EQ(homePicture.size(), std::size_t(kWidth) * kHeight);
    ASSERT_EQ(home.width, kScreenWidth);
    // A pixel at each corner and in the middle of each edge is where the
    // fit puts it; the home screen's backdrop is not black there, the bars
    // beside the picture are.
    for (const auto& [x, y] : {std::pair{0, 0}, {kWidth / 2, 0}, {kWidth - 1, 0}, {0, kHeight / 2}, {kWidth - 1, kHeight / 2}, {0, kHeight - 1}, {kWidth / 2, kHeight - 1}, {kWidth - 1, kHeight - 1}}) {
        const uint32_t colour = homePicture[std::size_t(y) * kWidth + x];
        ASSERT_NE(colour, 0u) << x << "," << y;
        EXPECT_EQ(home.At(full.X(x), full.Y(y)), colour) << "the picture's pixel " << x << "," << y;
    }
    EXPECT_EQ(home.At(full.left - 1, kScreenHeight / 2), 0u);
    EXPECT_EQ(home.At(kScreenWidth - full.left, kScreenHeight / 2), 0u);
    EXPECT_GT(Shown(home, full, homePicture), long(kWidth) * kHeight * 99 / 100);

    // The click where the roster's square is shown opened the roster.
    EXPECT_NE(run.output.find("state 250 screen=FrontRoster"), std::string::npos) << run.output;

    // Alt+Enter: a window of the picture's size in the middle of the screen.
    const std::vector<uint32_t> rosterPicture = ReadPpm(folder / "roster.ppm");
    ASSERT_EQ(rosterPicture.size(), std::size_t(kWidth) * kHeight);
    Fit windowed(kWidth, kHeight);
    windowed.left = (kScreenWidth - kWidth) / 2;
    windowed.top = (kScreenHeight - kHeight) / 2;
    EXPECT_GT(Shown(window, windowed, rosterPicture), long(kWidth) * kHeight * 99 / 100);
}
