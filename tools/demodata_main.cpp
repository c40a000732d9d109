// demodata: writes the binary files of the demo data tree (data/): the game
// palette, the loading and end screens, the remote link's palette picture,
// the bitmap font of the font symbols, the game fonts that the font maker
// makes from DejaVu Sans, the front end's palette and captions, the
// briefing palette, the bridge's icons, the stations' console pictures and
// the end of the flight's backdrop, the front end's screens' backdrops, the comms
// arm's pictures, the key list, the glyph pictures that "-fontmake" builds its small font from, the
// sound of every slot, the ship shade table and the textures of the
// standard materials, the planet sphere with its face tags, the planet
// textures and bump pictures, all synthesised here. The text files of the
// tree (scripts, Kelvandrist.ini) are written by hand beside them.
//
//   demodata DATA_FOLDER
#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/pmfile.h"
#include "framework/scene.h"
#include "platform/display.h"
#include "platform/files.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/fontmaker.h"
#include "system/res/font.h"
#include "system/text.h"
#include "system/res/iff.h"
#include "system/res/pcx.h"
#include "system/wav.h"
#include "tools/demodata_bridge.h"
#include "tools/keylist.h"
#include "tools/demodata_charts.h"
#include "tools/demodata_palette.h"
#include "tools/demodata_stations.h"
#include "tools/demodata_view.h"
#include "world/universe.h"

#include <algorithm>
#include <span>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr uint32_t kSampleRate = 11025;
constexpr double kPi = 3.14159265358979323846;

std::string gFolder;

std::string PathOf(const std::string& name)
{
    const std::string path = gFolder + "/zqk/resource/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return path;
}

// The game palette: black, eight ramps of 29 shades from dark to light
// (grey, red, orange, yellow, green, cyan, blue, violet) over entries
// 10-241, and in 0-9 and 246-255 the host's static colours, which a window
// shows there whatever the palette holds: so full screen and a window show
// the same, and a lit button (filled with 249, red) keeps its white caption. Entries 176-207
// are the 3D view's sky: a ramp from black (the empty sky) to indigo, which
// a mission's star field may replace with its system's colours. The panel
// entries (tools/demodata_palette.h) hold the bridge panels' own colours
// over the ramps, which the art keeps off.
constexpr int kSkyFirst = 176, kSkyCount = 32;
constexpr int kSkyTop[3] = {48, 40, 110};

void MakePalette(uint8_t (&rgb)[768])
{
    static const int kHues[8][3] = {{255, 255, 255}, {255, 60, 40}, {255, 150, 40}, {255, 240, 80}, {80, 255, 90}, {80, 240, 255}, {90, 120, 255}, {210, 100, 255}};
    for (int i = 0; i < 256; ++i) {
        int r = 0, g = 0, b = 0;
        if (i >= 10 && i < 10 + 8 * 29) {
            const int ramp = (i - 10) / 29, shade = (i - 10) % 29 + 1;
            r = kHues[ramp][0] * shade / 29;
            g = kHues[ramp][1] * shade / 29;
            b = kHues[ramp][2] * shade / 29;
        } else if (i < 10 || i >= 246) {
            const platform::PaletteColour& c = platform::SystemPaletteColours()[i];
            r = c.red;
            g = c.green;
            b = c.blue;
        }
        if (i >= kSkyFirst && i < kSkyFirst + kSkyCount) {
            const int shade = i - kSkyFirst;
            r = kSkyTop[0] * shade / kSkyCount;
            g = kSkyTop[1] * shade / kSkyCount;
            b = kSkyTop[2] * shade / kSkyCount;
        }
        rgb[3 * i] = static_cast<uint8_t>(r);
        rgb[3 * i + 1] = static_cast<uint8_t>(g);
        rgb[3 * i + 2] = static_cast<uint8_t>(b);
    }
    for (const PanelEntry& e : kPanelEntries) {
        rgb[3 * e.index] = e.red;
        rgb[3 * e.index + 1] = e.green;
        rgb[3 * e.index + 2] = e.blue;
    }
}

// The remote link's palette: the game palette seen through a probe's
// camera, every shade a level of phosphor green.
void MakeRemotePalette(const uint8_t (&game)[768], uint8_t (&rgb)[768])
{
    for (int i = 0; i < 256; ++i) {
        const int level = (game[3 * i] * 30 + game[3 * i + 1] * 59 + game[3 * i + 2] * 11) / 100;
        rgb[3 * i] = static_cast<uint8_t>(level / 5);
        rgb[3 * i + 1] = static_cast<uint8_t>(level);
        rgb[3 * i + 2] = static_cast<uint8_t>(level / 4);
    }
}

// The front end's palette: the game palette over a midnight-blue
// background (entry 0), which every front-end screen clears to, with the
// entries the front end draws its frames, boxes, grid and brackets in set
// to colours of their own: {index, red, green, blue}.
constexpr uint8_t kFrontEndColours[][4] = {
    {0, 0, 8, 40},        // background
    {64, 255, 200, 80},   // home highlight brackets
    {84, 30, 40, 80},     // the lists' grid
    {89, 90, 90, 110},    // a disabled button's brackets
    {90, 160, 120, 60},   // a mission entry
    {95, 200, 150, 60},   // slider frame
    {96, 200, 150, 60},   // the timeline's frame
    {97, 255, 220, 120},  // a usable button's brackets
    {98, 255, 200, 80},   // the current mission entry
    {152, 120, 200, 220}, // a restartable entry's text
    {154, 90, 170, 200},  // a restartable entry
    {158, 200, 250, 255}, // the current restartable entry's text
    {160, 150, 230, 255}, // the current restartable entry; the name's caret
};

void MakeFrontEndPalette(const uint8_t (&game)[768], uint8_t (&rgb)[768])
{
    std::copy(std::begin(game), std::end(game), std::begin(rgb));
    for (const auto& c : kFrontEndColours)
        for (int k = 0; k < 3; ++k)
            rgb[3 * c[0] + k] = c[k + 1];
}

// A screen: a blue gradient sky with stars, and a band of the given ramp
// across the middle.
std::vector<uint8_t> MakeScreen(int bandRamp, uint32_t seed)
{
    std::vector<uint8_t> pixels(static_cast<std::size_t>(kScreenWidth) * kScreenHeight);
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x)
            pixels[static_cast<std::size_t>(y) * kScreenWidth + x] =
                static_cast<uint8_t>(10 + 6 * 29 + y * 12 / kScreenHeight);
    CRandSeed(seed);
    for (int star = 0; star < 400; ++star) {
        const int x = CRand() % kScreenWidth, y = CRand() % kScreenHeight;
        pixels[static_cast<std::size_t>(y) * kScreenWidth + x] = static_cast<uint8_t>(10 + 15 + CRand() % 14);
    }
    for (int y = 200; y < 280; ++y)
        for (int x = 40; x < kScreenWidth - 40; ++x)
            pixels[static_cast<std::size_t>(y) * kScreenWidth + x] =
                static_cast<uint8_t>(10 + bandRamp * 29 + 28 - std::abs(y - 240) * 20 / 40);
    return pixels;
}

bool SavePicture(const std::string& name, const std::vector<uint8_t>& pixels, int width, int height, uint8_t* rgb)
{
    const std::vector<uint8_t> drawn = OffPanelEntries(pixels);
    PcxImage* pcx = PcxFromPixels(nullptr, 0, drawn.data(), width, height, rgb);
    const bool ok = pcx && PcxSave(PathOf(name).c_str(), pcx);
    PcxFree(pcx);
    return ok;
}

// The two flare images that glow spots draw through: 128 x 128 blend levels
// (0 none, up to 15). Flare 0 a round glow fading outward, flare 4 a glow
// with four thin rays along the axes.
std::vector<uint8_t> MakeFlare(bool rays)
{
    constexpr int kSide = 128;
    std::vector<uint8_t> levels(static_cast<std::size_t>(kSide) * kSide);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const double dx = x - 63.5, dy = y - 63.5;
            const double r = std::sqrt(dx * dx + dy * dy) / 64.0;
            double level = r < 1.0 ? 15.0 * (1.0 - r) * (1.0 - r) : 0.0;
            if (rays) {
                const double arm = std::min(std::fabs(dx), std::fabs(dy));
                if (arm < 1.5)
                    level = std::max(level, 12.0 * (1.0 - std::max(std::fabs(dx), std::fabs(dy)) / 64.0));
            }
            levels[static_cast<std::size_t>(y) * kSide + x] =
                static_cast<uint8_t>(std::clamp(static_cast<int>(level), 0, 15));
        }
    }
    return levels;
}

// The font of the font symbols: each printable character an outlined box
// of its own width, in the loading screen's white.
bool SaveFont(const std::string& name)
{
    static std::vector<std::vector<uint8_t>> pixels(kFontChars);
    static Raster glyphs[kFontChars] = {};
    RasterFont font{};
    for (int c = 0; c < kFontChars; ++c) {
        const bool drawn = c >= ' ' && c < 127;
        const int w = drawn ? (c == ' ' ? 4 : 4 + c % 3) : 4;
        const int h = 8;
        pixels[c].assign(static_cast<std::size_t>(w) * h, 0);
        if (drawn && c != ' ')
            for (int y = 1; y < h; ++y)
                for (int x = 0; x < w - 1; ++x)
                    if (x == 0 || y == 1 || x == w - 2 || y == h - 1)
                        pixels[c][static_cast<std::size_t>(y) * w + x] = 247;
        glyphs[c] = {pixels[c].data(), static_cast<int16_t>(w), static_cast<int16_t>(h), 0, 7};
        font.glyphs[c] = &glyphs[c];
        font.widths[c] = static_cast<int16_t>(w);
    }
    font.height = 9;
    return FontSaveFnt(PathOf(name).c_str(), &font);
}

// The game's fonts, made by the font maker from DejaVu Sans: {file, point
// size, dim}. The maker's grey levels become the grey ramp (bright, or the
// dim half for the dim fonts) over the glyph background, the faintest
// edge pixels background, so that a glyph drawn in one colour keeps its
// letter shape.
struct GameFontRow {
    const char* file;
    int points;
    bool dim;
};
constexpr GameFontRow kGameFonts[] = {
    {"fonts/sans9.fon", 9, false},
    {"fonts/sans10.fon", 10, false},
    {"fonts/sans11.fon", 11, false},
    {"fonts/dim11.fon", 11, true},
    {"fonts/sans14.fon", 14, false},
    {"fonts/sans16.fon", 16, false},
    {"fonts/sans20.fon", 20, false},
};
constexpr int kInkLevel = 96; // maker grey (0-252) below which a pixel is background
// The made fonts by row, kept for the captions painted into the front end's
// backgrounds.
const RasterFont* gGameFonts[std::size(kGameFonts)] = {};

uint8_t GlyphShade(uint8_t grey, bool dim)
{
    if (grey < kInkLevel)
        return kGlyphBackground;
    const int step = (grey - kInkLevel) * (dim ? 8 : 14) / (252 - kInkLevel);
    return static_cast<uint8_t>(10 + (dim ? 8 : 14) + step);
}

bool SaveGameFonts()
{
    // The maker keeps a copy of each font it makes under the current folder:
    // it makes them in a folder of its own, removed afterwards.
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path work = fs::temp_directory_path() / ("demodata_fonts_" + std::to_string(::getpid()));
    fs::create_directories(work / "zqk/resource/fonts");
    fs::current_path(work);
    bool ok = true;
    for (const GameFontRow& row : kGameFonts) {
        gFontMakerChoice = {"", row.points};
        const std::size_t index = static_cast<std::size_t>(&row - kGameFonts);
        RasterFont* font = BuildFontGrey(0, 0);
        if (!font) {
            ok = false;
            break;
        }
        std::vector<const Raster*> done;
        for (Raster* glyph : font->glyphs) {
            if (!glyph || std::find(done.begin(), done.end(), glyph) != done.end())
                continue;
            done.push_back(glyph);
            for (int i = 0; i < glyph->width * glyph->height; ++i)
                glyph->pixels[i] = GlyphShade(glyph->pixels[i], row.dim);
        }
        gGameFonts[index] = font;
        fs::current_path(previous);
        ok = FontSave(PathOf(row.file).c_str(), font);
        fs::current_path(work);
        if (!ok)
            break;
    }
    fs::current_path(previous);
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return ok;
}

// The stations' consoles: one 640 x 480 picture a station, drawn behind its
// layout (stations.gui), and the end of the flight's backdrop, drawn behind
// the mission's summary and the debrief. Raised grey panels with a bevel
// (light above and left, dark below and right) hold the groups of buttons;
// the 3D views, the message line's box and the end of the flight's texts
// sit in recessed wells with a rim round them; small engraved titles name
// the panels where the layout leaves them room. Grey ramp entries only, so
// a mission's sky colours never reach the console.
struct ConsoleBox {
    int16_t left, top, right, bottom; // inclusive
    bool well;                        // recessed (a view or the log's box)
};
struct ConsoleLabel {
    int16_t x, baseline;
    const char* text;
};
struct Console {
    const char* file;
    std::span<const ConsoleBox> boxes;
    std::span<const ConsoleLabel> labels;
};
constexpr uint8_t kConsoleFace = 10 + 3, kConsoleLight = 10 + 9, kConsoleShadow = 10 + 1, kConsoleWell = 0;
constexpr uint8_t kConsoleRim = 10 + 14, kLabelInk = 10 + 2 * 29 + 24, kLabelCut = 0; // titles in amber
// clang-format off
constexpr ConsoleBox kComConsole[] = {
    {32, 0, 501, 45, false}, {504, 0, 635, 329, false}, {32, 236, 501, 375, false}, {312, 376, 499, 479, false},
    {500, 326, 637, 479, false}, {34, 50, 499, 237, true}, {34, 370, 311, 471, true}, {508, 202, 631, 273, true},
};
constexpr ConsoleLabel kComLabels[] = {
    {510, 44, "DISPLAYS"}, {206, 254, "CONTACTS"},
};
constexpr ConsoleBox kNavConsole[] = {
    {502, 0, 637, 331, false}, {32, 48, 501, 321, false}, {32, 326, 501, 479, false}, {500, 326, 637, 479, false},
    {34, 50, 337, 253, true}, {338, 50, 501, 213, true},
};
constexpr ConsoleLabel kNavLabels[] = {
    {162, 312, "NAV SYSTEMS"}, {206, 472, "CONTACTS"},
};
constexpr ConsoleBox kWepConsole[] = {
    {504, 0, 635, 331, false}, {32, 48, 501, 321, false}, {32, 326, 501, 479, false}, {500, 326, 637, 479, false},
    {34, 50, 337, 253, true}, {338, 50, 501, 173, true}, {338, 174, 501, 301, true},
};
constexpr ConsoleLabel kWepLabels[] = {
    {510, 44, "WEAPONS"}, {206, 472, "CONTACTS"},
};
// ENG's energy gauge is drawn at (443, 11)-(536, 79), in a well on a plate
// of its own beside the view.
constexpr ConsoleBox kEngConsole[] = {
    {504, 0, 635, 309, false}, {32, 48, 501, 479, false}, {500, 326, 637, 479, false}, {436, 4, 539, 86, false},
    {34, 50, 437, 259, true}, {441, 9, 538, 81, true},
};
constexpr ConsoleLabel kEngLabels[] = {
    {546, 76, "SYSTEMS"}, {446, 100, "ENERGY"}, {40, 472, "SHIP SYSTEMS BY GROUP"},
};
// The end of the flight: the summary's frame at (20, 28) 600 x 336 and the
// debrief's at (20, 384) 600 x 80, where the game draws them.
constexpr ConsoleBox kEndConsole[] = {
    {8, 4, 631, 475, false}, {18, 26, 621, 365, true}, {18, 382, 621, 465, true},
};
constexpr ConsoleLabel kEndLabels[] = {
    {22, 20, "MISSION SUMMARY"}, {22, 378, "DEBRIEF"},
};
// clang-format on

std::vector<uint8_t> MakeConsole(const Console& console, const RasterFont* labelFont)
{
    std::vector<uint8_t> pixels(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
    auto fill = [&](int l, int t, int r, int b, uint8_t c) {
        for (int y = std::max(t, 0); y <= std::min(b, kScreenHeight - 1); ++y)
            for (int x = std::max(l, 0); x <= std::min(r, kScreenWidth - 1); ++x)
                pixels[static_cast<std::size_t>(y) * kScreenWidth + x] = c;
    };
    for (const ConsoleBox& b : console.boxes) {
        // A well's rim, then the bevel: raised has its light edge above and
        // left, recessed the other way round.
        if (b.well)
            fill(b.left - 1, b.top - 1, b.right + 1, b.bottom + 1, kConsoleRim);
        const uint8_t upper = b.well ? kConsoleShadow : kConsoleLight, lower = b.well ? kConsoleLight : kConsoleShadow;
        fill(b.left, b.top, b.right, b.bottom, lower);
        fill(b.left, b.top, b.right - 2, b.bottom - 2, upper);
        fill(b.left + 2, b.top + 2, b.right - 2, b.bottom - 2, b.well ? kConsoleWell : kConsoleFace);
    }
    // Engraved titles: the cut's dark edge a pixel below and right of the
    // letters.
    const Canvas canvas{pixels.data(), kScreenWidth, kScreenHeight};
    const ClipRect all{0, 0, kScreenWidth - 1, kScreenHeight - 1};
    for (const ConsoleLabel& label : console.labels) {
        int16_t x = static_cast<int16_t>(label.x + 1), y = static_cast<int16_t>(label.baseline + 1);
        CanvasDrawText(canvas, x, y, label.text, labelFont, kLabelCut, all);
        x = label.x;
        y = label.baseline;
        CanvasDrawText(canvas, x, y, label.text, labelFont, kLabelInk, all);
    }
    return pixels;
}

// The front end's screens' backdrops: stars over the front end's background
// (entry 0), and a bevelled frame round each box that the screen's layout
// (front.gui) places on it, whose inside stays the background its captions,
// films and lists are drawn on. Grey ramp entries only, which the front
// end's palette keeps.
struct FrameInside {
    int16_t left, top, right, bottom; // inclusive
};
struct FrontBackdrop {
    const char* file;
    std::span<const FrameInside> insides;
};
// clang-format off
// Home: the four choices' squares, the film and the exit.
constexpr FrameInside kHomeFrames[] = {
    {100, 70, 299, 209}, {340, 70, 539, 209}, {100, 230, 299, 369}, {340, 230, 539, 369},
    {200, 384, 439, 459}, {560, 440, 619, 461},
};
// The roster: the film, the row of the slot with its arrows, and back.
constexpr FrameInside kRosterFrames[] = {
    {240, 80, 399, 155}, {132, 246, 457, 277}, {560, 440, 619, 461},
};
// The career's timeline: one frame round its history, lists, buttons and
// mission box, inside which it draws its own lines.
constexpr FrameInside kTimelineFrames[] = {
    {44, 62, 603, 443},
};
// The options: the settings' rows, and each of the four buttons below.
constexpr FrameInside kOptionFrames[] = {
    {72, 56, 527, 425}, {80, 440, 179, 461}, {200, 440, 339, 461}, {440, 440, 539, 461}, {560, 440, 619, 461},
};
// The credits: the film, the two lines and back.
constexpr FrameInside kCreditFrames[] = {
    {240, 100, 399, 175}, {66, 298, 573, 355}, {560, 440, 619, 461},
};
// Instant Action: its film.
constexpr FrameInside kActionFrames[] = {
    {240, 200, 399, 275},
};
// The disc request and the yes/no question, one picture for both: a panel
// holding the question's line and its two buttons.
constexpr FrameInside kQuestionFrames[] = {
    {96, 160, 543, 303}, {120, 180, 519, 219}, {200, 260, 299, 283}, {340, 260, 439, 283},
};
// clang-format on
constexpr FrontBackdrop kFrontBackdrops[] = {
    {"art/home.pcx", kHomeFrames},
    {"art/roster.pcx", kRosterFrames},
    {"art/timeline.pcx", kTimelineFrames},
    {"art/options.pcx", kOptionFrames},
    {"art/credits.pcx", kCreditFrames},
    {"art/action.pcx", kActionFrames},
    {"art/question.pcx", kQuestionFrames},
};

std::vector<uint8_t> MakeFrontBackdrop(std::span<const FrameInside> insides)
{
    std::vector<uint8_t> pixels(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
    CRandSeed(31);
    for (int star = 0; star < 300; ++star) {
        const int x = CRand() % kScreenWidth, y = CRand() % kScreenHeight;
        pixels[static_cast<std::size_t>(y) * kScreenWidth + x] = static_cast<uint8_t>(10 + 6 + CRand() % 16);
    }
    auto fill = [&](int l, int t, int r, int b, uint8_t c) {
        for (int y = std::max(t, 0); y <= std::min(b, kScreenHeight - 1); ++y)
            for (int x = std::max(l, 0); x <= std::min(r, kScreenWidth - 1); ++x)
                pixels[static_cast<std::size_t>(y) * kScreenWidth + x] = c;
    };
    constexpr int kFrame = 6;
    for (const FrameInside& in : insides) {
        const int l = in.left - kFrame, t = in.top - kFrame, r = in.right + kFrame, b = in.bottom + kFrame;
        fill(l, t, r, b, kConsoleShadow);
        fill(l, t, r - 2, b - 2, kConsoleLight);
        fill(l + 2, t + 2, r - 2, b - 2, kConsoleFace);
        fill(in.left - 2, in.top - 2, in.right + 2, in.bottom + 2, kConsoleRim);
        fill(in.left, in.top, in.right, in.bottom, 0);
    }
    return pixels;
}

bool SaveFrontBackdrops(uint8_t* rgb)
{
    for (const FrontBackdrop& backdrop : kFrontBackdrops)
        if (!SavePicture(backdrop.file, MakeFrontBackdrop(backdrop.insides), kScreenWidth, kScreenHeight, rgb))
            return false;
    return true;
}

bool SaveConsoles(uint8_t* rgb)
{
    static const Console kConsoles[] = {
        {"art/consoles/com.pcx", kComConsole, kComLabels},
        {"art/consoles/nav.pcx", kNavConsole, kNavLabels},
        {"art/consoles/wep.pcx", kWepConsole, kWepLabels},
        {"art/consoles/eng.pcx", kEngConsole, kEngLabels},
        {"art/consoles/end.pcx", kEndConsole, kEndLabels},
    };
    const RasterFont* labelFont = gGameFonts[0];
    if (!labelFont)
        return false;
    for (const Console& console : kConsoles)
        if (!SavePicture(console.file, MakeConsole(console, labelFont), kScreenWidth, kScreenHeight, rgb))
            return false;
    return true;
}

// The captions of the front-end screens, one small picture a caption and
// language ("art/cap_<key>.pcx", "_frn" and "_ger" for the others): the
// caption centred in the light grey over the background colour. The layout
// scripts put each picture where its invisible button is.
struct Caption {
    const char* key;
    const char* text[3];
    int16_t w, h;
    int font; // row of kGameFonts
};
constexpr int kSans11 = 2, kSans14 = 4, kSans16 = 5, kSans20 = 6;
// clang-format off
constexpr Caption kFrontCaptions[] = {
    {"home_title",   {"KELVANDRIST", "KELVANDRIST", "KELVANDRIST"}, 400, 36, kSans20},
    {"home_roster",  {"Roster", "Roster", "Personaldateien"}, 200, 24, kSans16},
    {"home_action",  {"Instant Action", "Instant Action", "Instant Action"}, 200, 24, kSans16},
    {"home_credits", {"Credits", "Credits", "Nachspann"}, 200, 24, kSans16},
    {"home_options", {"Options", "Options", "Options"}, 200, 24, kSans16},
    {"exit",         {"Exit", "Quitter", "Ende"}, 60, 22, kSans14},
    {"back",         {"Back", "Retour", "Zur\xFC" "ck"}, 60, 22, kSans14},
    {"ros_title",    {"Captains", "Capitaines", "Kapit\xE4ne"}, 400, 36, kSans20},
    {"ros_down",     {"<", "<", "<"}, 24, 24, kSans16},
    {"ros_up",       {">", ">", ">"}, 24, 24, kSans16},
    {"tim_title",    {"Career", "Carri\xE8re", "Laufbahn"}, 400, 36, kSans20},
    {"tim_debrief",  {"Debrief", "Rapport", "Bericht"}, 76, 20, kSans14},
    {"tim_mission",  {"Mission", "Mission", "Mission"}, 76, 20, kSans14},
    {"tim_back",     {"Back", "Retour", "Zur\xFC" "ck"}, 76, 20, kSans14},
    {"ok",           {"OK", "OK", "OK"}, 100, 24, kSans14},
    {"cancel",       {"Cancel", "Annuler", "Abbrechen"}, 100, 24, kSans14},
    {"crd_title",    {"Credits", "Credits", "Nachspann"}, 400, 36, kSans20},
    {"crd_line1",    {"Demo data made by our own tools", "Donn\xE9" "es de d\xE9mo faites par nos outils",
                      "Demodaten aus unseren eigenen Werkzeugen"}, 500, 24, kSans14},
    {"crd_line2",    {"Fonts: DejaVu Sans", "Polices : DejaVu Sans", "Schriften: DejaVu Sans"}, 500, 24, kSans11},
    {"act_title",    {"Instant Action", "Instant Action", "Instant Action"}, 400, 36, kSans20},
    {"opt_title",    {"Options", "Options", "Options"}, 400, 36, kSans20},
    {"opt_save",     {"Save", "Enregistrer", "Speichern"}, 100, 22, kSans14},
    {"opt_defaults", {"Defaults", "D\xE9" "faut", "Standard"}, 140, 22, kSans14},
    {"opt_close",    {"Close", "Fermer", "Schlie\xDF" "en"}, 100, 22, kSans14},
};
// clang-format on
constexpr uint8_t kCaptionColour = 10 + 28; // the grey ramp's lightest

bool SaveFrontEndCaptions(uint8_t* rgb)
{
    static const char* const kSuffix[3] = {"", "_frn", "_ger"};
    for (int language = 0; language < 3; ++language)
        for (const Caption& c : kFrontCaptions) {
            const RasterFont* font = gGameFonts[c.font];
            if (!font)
                return false;
            std::vector<uint8_t> pixels(static_cast<std::size_t>(c.w) * c.h, 0);
            const Canvas canvas{pixels.data(), c.w, c.h};
            int16_t width = 0, height = 0;
            TextMeasure(c.text[language], font, width, height);
            const int16_t cap = font->glyphs['A'] ? font->glyphs['A']->height : height;
            int16_t x = static_cast<int16_t>((c.w - width) / 2);
            int16_t y = static_cast<int16_t>((c.h + cap) / 2);
            CanvasDrawText(canvas, x, y, c.text[language], font, kCaptionColour,
                           {0, 0, static_cast<int16_t>(c.w - 1), static_cast<int16_t>(c.h - 1)});
            if (!SavePicture(std::string("art/cap_") + c.key + kSuffix[language] + ".pcx", pixels, c.w, c.h, rgb))
                return false;
        }
    return true;
}

// The bridge's icon pictures ("art/icons/<name>.bbm"): contact icons in
// the side's colour (normal, navigation target, weapons target; 12 pixels,
// so that a contact card's icon ends before its side code), drive
// lamps (dark and lit), the star-map marker, the navigation cursor and one
// class icon a ship class (the weapon-slot icons are the stations' own,
// tools/demodata_stations.cpp). Each is a small shape over colour 0, which
// draws as transparent.
struct IconRow {
    const char* name;
    int w, h;
    int ramp;  // colour ramp of the shape
    int shape; // 0 box outline, 1 diamond, 2 filled box, 3 cross, 4 arrow
};
// clang-format off
constexpr IconRow kIcons[] = {
    {"cw_x_nm", 12, 12, 0, 0}, {"cw_x_nt", 12, 12, 4, 0}, {"cw_x_wt", 12, 12, 1, 0},
    {"cw_n_nm", 12, 12, 6, 1}, {"cw_n_nt", 12, 12, 4, 1}, {"cw_n_wt", 12, 12, 1, 1},
    {"cw_i_nm", 12, 12, 3, 1}, {"cw_i_nt", 12, 12, 4, 1}, {"cw_i_wt", 12, 12, 1, 1},
    {"cw_u_nm", 12, 12, 7, 1}, {"cw_u_nt", 12, 12, 4, 1}, {"cw_u_wt", 12, 12, 1, 1},
    {"lp_lds", 12, 12, 0, 0},  {"lp_fast", 12, 12, 0, 0}, {"lp_slow", 12, 12, 0, 0},
    {"lp_algn", 12, 12, 0, 0}, {"lp_dist", 12, 12, 0, 0},
    {"lp_ldsk", 12, 12, 4, 2}, {"lp_fastk", 12, 12, 4, 2}, {"lp_slowk", 12, 12, 3, 2},
    {"lp_algnk", 12, 12, 1, 2}, {"lp_distk", 12, 12, 2, 2},
    {"sm_sm", 8, 8, 3, 3},
    {"navcurs", 16, 16, 4, 3},
    {"S_CORVETTE", 24, 16, 6, 4}, {"S_FREIGHTER", 24, 16, 6, 0}, {"S_COMMAND", 24, 16, 6, 2},
    {"S_TRANSPORT", 24, 16, 6, 0}, {"S_CRUISER", 24, 16, 6, 4}, {"S_PATCOM", 24, 16, 6, 4},
    {"S_CFIGHTER", 24, 16, 6, 1}, {"S_SFIGHTER", 24, 16, 6, 1}, {"S_TUG", 24, 16, 6, 0},
    {"S_MISSILE", 24, 16, 1, 3}, {"S_MINE", 24, 16, 1, 1}, {"S_DRONE", 24, 16, 6, 3},
    {"S_STATION", 24, 16, 6, 2}, {"S_DESTROYER", 24, 16, 6, 4}, {"S_CARRIER", 24, 16, 6, 2},
    {"S_COMMRELAY", 24, 16, 6, 3}, {"S_RING", 24, 16, 6, 1},
};
// clang-format on

std::vector<uint8_t> IconPixels(const IconRow& icon)
{
    std::vector<uint8_t> pixels(static_cast<std::size_t>(icon.w) * icon.h, 0);
    const uint8_t colour = static_cast<uint8_t>(10 + icon.ramp * 29 + 24);
    const int cx = icon.w / 2, cy = icon.h / 2;
    for (int y = 0; y < icon.h; ++y)
        for (int x = 0; x < icon.w; ++x) {
            const bool edge = x == 0 || y == 0 || x == icon.w - 1 || y == icon.h - 1;
            const int d = std::abs(x - cx) * icon.h / icon.w + std::abs(y - cy);
            bool on = false;
            switch (icon.shape) {
            case 0: on = edge; break;
            case 1: on = d == cy - 1 || d == cy - 2; break;
            case 2: on = x > 0 && y > 0 && x < icon.w - 1 && y < icon.h - 1; break;
            case 3: on = x == cx || y == cy; break;
            case 4: on = std::abs(y - cy) <= x * cy / icon.w; break;
            }
            if (on)
                pixels[static_cast<std::size_t>(y) * icon.w + x] = colour;
        }
    return pixels;
}

bool SaveIcons()
{
    for (const IconRow& icon : kIcons) {
        // Class icons keep their upper-case names and extension.
        const bool upper = icon.name[0] == 'S' && icon.name[1] == '_';
        const std::string name = std::string("art/icons/") + icon.name + (upper ? ".BBM" : ".bbm");
        const std::vector<uint8_t> pixels = OffPanelEntries(IconPixels(icon));
        const std::vector<uint8_t> file = IffBuildPbm(pixels.data(), icon.w, icon.h, 0, 0, nullptr, true);
        if (!platform::WriteFileAtomically(PathOf(name).c_str(), file.data(), file.size()))
            return false;
    }
    return true;
}

// The comms arm's pictures: the 368 x 168 panel frame (colour 0 inside, so
// that the speaker area shows through), the panel with no caller, and three
// speaker pictures.
bool SaveCommsArmPictures(uint8_t* rgb)
{
    constexpr int kW = 368, kH = 168;
    std::vector<uint8_t> frame(static_cast<std::size_t>(kW) * kH, 0), empty(frame.size(), 10 + 6 * 29 + 2);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (x < 6 || y < 6 || x >= kW - 6 || y >= kH - 6)
                frame[static_cast<std::size_t>(y) * kW + x] = empty[static_cast<std::size_t>(y) * kW + x] =
                    static_cast<uint8_t>(10 + 2 * 29 + 12 + (x + y) % 6);
    bool ok = SavePicture("art/comarm.pcx", frame, kW, kH, rgb) && SavePicture("art/comnull.pcx", empty, kW, kH, rgb);
    for (int speaker = 0; speaker < 3; ++speaker) {
        constexpr int kSide = 96;
        std::vector<uint8_t> face(static_cast<std::size_t>(kSide) * kSide, 0);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const double dx = x - 47.5, dy = (y - 40.0) * 0.8, r = std::sqrt(dx * dx + dy * dy);
                const bool mouth = y > 60 && y < 64 + speaker * 3 && std::abs(x - 48) < 14;
                if (r < 36 && !mouth)
                    face[static_cast<std::size_t>(y) * kSide + x] = static_cast<uint8_t>(10 + 28 - int(r) / 3);
            }
        ok = ok && SavePicture("art/comarma" + std::to_string(speaker) + ".pcx", face, kSide, kSide, rgb);
    }
    return ok;
}

// The key list shown full screen from the bridge: a line for each binding
// of the key script, so that the picture shows the keys the game binds; two
// columns under the title, a key's name and then what it does.
bool SaveKeyList(uint8_t* rgb)
{
    std::ifstream in(KV_KEY_SCRIPT, std::ios::binary);
    const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<KeyListLine> lines;
    std::string error;
    if (script.empty() || !MakeKeyList(script, lines, error)) {
        std::fprintf(stderr, "demodata: %s: %s\n", KV_KEY_SCRIPT, script.empty() ? "cannot be read" : error.c_str());
        return false;
    }
    const RasterFont* title = gGameFonts[5];
    const RasterFont* body = gGameFonts[0];
    if (!title || !body)
        return false;
    std::vector<uint8_t> pixels(static_cast<std::size_t>(kScreenWidth) * kScreenHeight, 0);
    const Canvas canvas{pixels.data(), kScreenWidth, kScreenHeight};
    const ClipRect all{0, 0, kScreenWidth - 1, kScreenHeight - 1};
    constexpr uint8_t kKeyColour = 10 + 3 * 29 + 20, kWordsColour = 10 + 28;
    int16_t x = 12, y = 30;
    CanvasDrawText(canvas, x, y, "Keys  (any key: back to the bridge)", title, kWordsColour, all);
    const int top = 30 + title->height + 6, step = body->height + 1;
    const int perColumn = (kScreenHeight - 8 - top) / step;
    constexpr int kColumns = 3;
    if (static_cast<int>(lines.size()) > kColumns * perColumn) {
        std::fprintf(stderr, "demodata: %zu key bindings do not fit the key list (%d a column)\n", lines.size(), perColumn);
        return false;
    }
    // Each column as wide as its widest key and its widest words.
    auto width = [body](const std::string& text) {
        int16_t w = 0, h = 0;
        TextMeasure(text.c_str(), body, w, h);
        return static_cast<int>(w);
    };
    int left = 12;
    for (int column = 0; column < kColumns; ++column) {
        const std::size_t first = static_cast<std::size_t>(column * perColumn);
        const std::size_t end = std::min(lines.size(), first + static_cast<std::size_t>(perColumn));
        int keyWidth = 0, wordsWidth = 0;
        for (std::size_t i = first; i < end; ++i) {
            keyWidth = std::max(keyWidth, width(lines[i].keys));
            wordsWidth = std::max(wordsWidth, width(lines[i].words));
        }
        keyWidth += 8;
        for (std::size_t i = first; i < end; ++i) {
            int16_t kx = static_cast<int16_t>(left), ky = static_cast<int16_t>(top + static_cast<int>(i - first) * step);
            CanvasDrawText(canvas, kx, ky, lines[i].keys.c_str(), body, kKeyColour, all);
            int16_t wx = static_cast<int16_t>(left + keyWidth), wy = ky;
            CanvasDrawText(canvas, wx, wy, lines[i].words.c_str(), body, kWordsColour, all);
        }
        left += keyWidth + wordsWidth + 14;
    }
    if (left - 14 > kScreenWidth - 4) {
        std::fprintf(stderr, "demodata: the key list is %d pixels wide\n", left - 14);
        return false;
    }
    return SavePicture("art/keylist.pcx", pixels, kScreenWidth, kScreenHeight, rgb);
}

// The small font's glyph pictures, one IFF PBM picture a character
// ("fonts\smallfnt\cNNN.bbm"): 3 x 5 pixels, each row three bits (left is
// the high bit) in the loading screen's white. Lower-case letters take the
// capitals' glyphs when the font is built, so they have no pictures.
struct SmallGlyph {
    char character;
    uint8_t rows[5];
};
// clang-format off
constexpr SmallGlyph kSmallGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 3, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 2, 2}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}},
    {'C', {3, 4, 4, 4, 3}}, {'D', {6, 5, 5, 5, 6}}, {'E', {7, 4, 6, 4, 7}}, {'F', {7, 4, 6, 4, 4}},
    {'G', {3, 4, 5, 5, 3}}, {'H', {5, 5, 7, 5, 5}}, {'I', {7, 2, 2, 2, 7}}, {'J', {1, 1, 1, 5, 2}},
    {'K', {5, 5, 6, 5, 5}}, {'L', {4, 4, 4, 4, 7}}, {'M', {5, 7, 7, 5, 5}}, {'N', {6, 5, 5, 5, 5}},
    {'O', {2, 5, 5, 5, 2}}, {'P', {6, 5, 6, 4, 4}}, {'Q', {2, 5, 5, 6, 3}}, {'R', {6, 5, 6, 5, 5}},
    {'S', {3, 4, 2, 1, 6}}, {'T', {7, 2, 2, 2, 2}}, {'U', {5, 5, 5, 5, 7}}, {'V', {5, 5, 5, 5, 2}},
    {'W', {5, 5, 7, 7, 5}}, {'X', {5, 5, 2, 5, 5}}, {'Y', {5, 5, 2, 2, 2}}, {'Z', {7, 1, 2, 4, 7}},
    {'.', {0, 0, 0, 0, 2}}, {',', {0, 0, 0, 2, 4}}, {':', {0, 2, 0, 2, 0}}, {'!', {2, 2, 2, 0, 2}},
    {'?', {6, 1, 2, 0, 2}}, {'-', {0, 0, 7, 0, 0}}, {'\'', {2, 2, 0, 0, 0}}, {'/', {1, 1, 2, 4, 4}},
};
// clang-format on

bool SaveGlyphPicture(unsigned code, const uint8_t (&rows)[5])
{
    uint8_t pixels[15];
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            pixels[y * 3 + x] = (rows[y] >> (2 - x)) & 1 ? 247 : 0;
    char name[32];
    std::snprintf(name, sizeof name, "fonts/smallfnt/c%03u.bbm", code);
    const std::vector<uint8_t> file = IffBuildPbm(pixels, 3, 5, 0, 4, nullptr, false);
    return platform::WriteFileAtomically(PathOf(name).c_str(), file.data(), file.size());
}

bool SaveSmallFontPictures()
{
    bool ok = SaveGlyphPicture(' ', {0, 0, 0, 0, 0});
    for (const SmallGlyph& g : kSmallGlyphs)
        ok = ok && SaveGlyphPicture(static_cast<unsigned char>(g.character), g.rows);
    return ok;
}

enum class Voice {
    Beam,
    Explosion,
    Alarm,
    Engine
};

// A short 8-bit mono sound of the voice.
bool SaveSound(const std::string& name, Voice voice, int variant)
{
    const std::size_t count = kSampleRate / 5;
    std::vector<uint8_t> samples(count);
    CRandSeed(static_cast<uint32_t>(variant) * 7919u + 1u);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double fade = 1.0 - static_cast<double>(i) / count;
        double v = 0.0;
        switch (voice) {
        case Voice::Beam: // a falling sine sweep
            v = std::sin(2 * kPi * (1800.0 - 3000.0 * t + 40.0 * variant) * t) * fade;
            break;
        case Voice::Explosion: // noise that dies away
            v = (CRand() / static_cast<double>(kCRandMax) * 2.0 - 1.0) * fade * fade;
            break;
        case Voice::Alarm: // a square wave switching between two pitches
            v = std::sin(2 * kPi * ((i / 1100) % 2 ? 660.0 : 880.0) * t) > 0 ? 0.5 : -0.5;
            break;
        case Voice::Engine: // a low saw, whole periods so that it loops cleanly
            v = 0.6 * (std::fmod(t * 110.25, 1.0) * 2.0 - 1.0);
            break;
        }
        samples[i] = static_cast<uint8_t>(128 + std::lround(v * 100.0));
    }
    WaveFormat pcm = {1, 1, kSampleRate, kSampleRate, 1, 8, 0};
    return WavSave(PathOf("sounds/" + name + ".wav").c_str(), static_cast<uint32_t>(count),
                   static_cast<uint32_t>(count), &pcm, samples.data()) == kWavOk;
}

// The shade table: 64 light levels (rows) of 256 palette indices; each
// colour of a ramp falls toward the ramp's darkest shade as the light
// drops, the other entries stay as they are.
std::vector<uint8_t> MakeShadeTable()
{
    constexpr int kLevels = 64;
    std::vector<uint8_t> table(static_cast<std::size_t>(kLevels) * 256);
    for (int level = 0; level < kLevels; ++level) {
        for (int i = 0; i < 256; ++i) {
            int shaded = i;
            if (i >= 10 && i < 10 + 8 * 29) {
                const int first = 10 + (i - 10) / 29 * 29, shade = (i - 10) % 29;
                shaded = first + shade * level / (kLevels - 1);
            }
            table[static_cast<std::size_t>(level) * 256 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(shaded);
        }
    }
    return table;
}

// A square 8-bit texture of the ramp: rings (beams and plasma), or noise
// that fades from the centre (explosions, antimatter).
std::vector<uint8_t> MakeTexture(int ramp, bool rings, uint32_t seed)
{
    constexpr int kSize = 32;
    std::vector<uint8_t> pixels(kSize * kSize);
    CRandSeed(seed);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double dx = x - 15.5, dy = y - 15.5, d = std::sqrt(dx * dx + dy * dy) / 22.0;
            double light = rings ? 0.5 + 0.5 * std::cos(d * 4 * kPi) : (1.0 - d) * (0.6 + 0.4 * CRand() / kCRandMax);
            light = std::clamp(light, 0.0, 1.0);
            pixels[static_cast<std::size_t>(y * kSize + x)] = static_cast<uint8_t>(10 + ramp * 29 + std::lround(light * 28));
        }
    }
    return pixels;
}

// A texture laid over the picture through the game's blend tables: each
// pixel names a brightening table (its high four bits) and a level (its low
// four), not a palette entry. Levels stay below 14, where every table turns
// to the red band.
std::vector<uint8_t> MakeBlendTexture(int table, bool rings, uint32_t seed)
{
    std::vector<uint8_t> pixels = MakeTexture(0, rings, seed);
    for (uint8_t& p : pixels) {
        const int light = p - 10; // 0-28 up the ramp MakeTexture wrote
        p = static_cast<uint8_t>(table * 16 + light * 13 / 28);
    }
    return pixels;
}

// Writes an 8-bit pixelmap file under the data folder (a path from its top);
// palette pictures keep off the panel entries, blend textures are written
// as they are.
bool SavePixelmap(const std::string& name, const std::vector<uint8_t>& pixels, int width, int height,
                  bool paletteColours = true)
{
    const std::string path = gFolder + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                                         nullptr, 0);
    if (!pm)
        return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t p = pixels[static_cast<std::size_t>(y * width + x)];
            HxPixelmapPixelSet(pm, x, y, paletteColours ? OffPanelEntry(p) : p);
        }
    const bool saved = HxPixelmapSave(path.c_str(), pm) == 1;
    HxPixelmapFree(pm);
    return saved;
}

// The textures of the standard materials: {file, ramp, rings, blend table}.
// Beams and explosion cards are laid over the picture: their pixels name a
// brightening table of the game's blend tables (1 toward blue, 2 green,
// 4 red, 5 and 6 amber), -1 for a texture in palette colours.
struct TextureRow {
    const char* file;
    int ramp;
    bool rings;
    int blendTable = -1;
};
constexpr TextureRow kStandardTextures[] = {
    {"beamnav.pix", 6, true, 1},
    {"beamind.pix", 4, true, 4},
    {"beamaln.pix", 7, true, 2},
    {"beamnl.pix", 5, true, 5},
    {"beamora.pix", 2, true, 6},
    {"antimo.pix", 7, false},
    {"explo_1.pix", 2, false, 5},
    {"plasma.pix", 5, true},
};

// Textures found by name (the material hook loads them from hexmire/dat):
// the nebula sphere's and the star gate's four edge states.
constexpr TextureRow kNamedTextures[] = {
    {"nebula_purple", 5, false},
    {"GateEdge1", 3, true},
    {"GateEdge2", 4, true},
    {"GateEdge3", 6, true},
    {"GateEdge4", 7, true},
};

// The planet sphere: rings x segments of a latitude-longitude ball of the
// radius that the bodies' drawing scales by their size, saved as a framework
// model, with its face tags (the eastern half the first surface, the western
// the second).
constexpr int kSphereRings = 20, kSphereSegments = 40;
bool SavePlanetSphere()
{
    const int vertices = (kSphereRings + 1) * (kSphereSegments + 1);
    const int faces = kSphereRings * kSphereSegments * 2;
    hx_model* model = HxModelAllocate("triball", vertices, faces);
    if (!model)
        return false;
    const float pi = 3.14159265f;
    for (int r = 0; r <= kSphereRings; ++r)
        for (int s = 0; s <= kSphereSegments; ++s) {
            const float lat = pi * float(r) / kSphereRings, lon = 2 * pi * float(s) / kSphereSegments;
            hx_vertex& v = model->vertices[r * (kSphereSegments + 1) + s];
            const float radius = float(kPlanetSphereRadius);
            v.p = {radius * std::sin(lat) * std::cos(lon), radius * std::cos(lat),
                   radius * std::sin(lat) * std::sin(lon)};
            v.map = {float(s) / kSphereSegments, float(r) / kSphereRings};
        }
    std::vector<uint8_t> tags;
    int f = 0;
    for (int r = 0; r < kSphereRings; ++r)
        for (int s = 0; s < kSphereSegments; ++s) {
            const uint16_t a = uint16_t(r * (kSphereSegments + 1) + s), b = uint16_t(a + 1);
            const uint16_t c = uint16_t(a + kSphereSegments + 1), d = uint16_t(c + 1);
            const uint16_t quad[2][3] = {{a, c, b}, {b, c, d}};
            for (const auto& tri : quad) {
                hx_face& face = model->faces[f++];
                std::copy(std::begin(tri), std::end(tri), face.vertices);
                face.smoothing = 1;
                tags.push_back(s < kSphereSegments / 2 ? 1 : 2);
            }
        }
    const std::string dir = gFolder + "/hexmire/dat";
    std::filesystem::create_directories(dir);
    const bool saved = HxModelSave((dir + "/triball.dat").c_str(), model) == 1;
    HxModelFree(model);
    std::FILE* file = std::fopen((dir + "/triballind.dat").c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(tags.data(), 1, tags.size(), file) == tags.size();
    return std::fclose(file) == 0 && written && saved;
}

// The textures of the named planets: latitude bands of one ramp.
// clang-format off
constexpr const char* kPlanetNames[20] = {
    "earth",  "mars",   "venus",  "mercury", "jupiter", "saturn", "uranus",
    "neptune", "pluto", "moon",   "io",      "europa",  "ganymede", "callisto",
    "titan",  "triton", "ice",    "lava",    "desert",  "ocean",
};
// clang-format on
std::vector<uint8_t> MakePlanetTexture(int ramp, int half)
{
    std::vector<uint8_t> pixels(32 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            pixels[size_t(y * 32 + x)] = uint8_t(10 + ramp * 29 + (y + x / 8 + half * 3) % 29);
    return pixels;
}

// The bump pictures of the generated planets: soft 32-pixel tiles, which
// pack small.
bool SaveBumpPictures(uint8_t* rgb)
{
    for (int number = 0; number < 4; ++number)
        for (int half = 2; half <= 3; ++half) {
            std::vector<uint8_t> pixels(256 * 256);
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x)
                    pixels[size_t(y * 256 + x)] = uint8_t(180 + ((x / 32 + y / 32 + number + half) % 4) * 25);
            const std::string name =
                "art/textures/planets/bump" + std::to_string(number) + "_" + std::to_string(half) + ".pcx";
            if (!SavePicture(name, pixels, 256, 256, rgb))
                return false;
        }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: demodata DATA_FOLDER\n");
        return 2;
    }
    gFolder = argv[1];
    bool ok = true;

    uint8_t rgb[768];
    MakePalette(rgb);
    ok = ok && SavePicture("art/klvstd.pcx", std::vector<uint8_t>(16, 0), 4, 4, rgb);
    ok = ok && WriteColourTables(gFolder, rgb);
    // The screenshots' header: they take its header bytes, and the palette shown.
    ok = ok && SavePicture("art/screens/header.pcx", std::vector<uint8_t>(16, 0), 4, 4, rgb);
    ok = ok && SavePicture("art/loadscrn.pcx", MakeScreen(2, 11), kScreenWidth, kScreenHeight, rgb);
    ok = ok && SavePicture("art/endscrn.pcx", MakeScreen(1, 23), kScreenWidth, kScreenHeight, rgb);
    ok = ok && SavePicture("art/icons/Flare000.pcx", MakeFlare(false), 128, 128, rgb);
    ok = ok && SavePicture("art/icons/Flare004.pcx", MakeFlare(true), 128, 128, rgb);
    uint8_t remote[768];
    MakeRemotePalette(rgb, remote);
    ok = ok && SavePicture("art/rempal.pcx", std::vector<uint8_t>(16, 0), 4, 4, remote);
    uint8_t front[768];
    MakeFrontEndPalette(rgb, front);
    ok = ok && SavePicture("art/frnpal.pcx", std::vector<uint8_t>(16, 0), 4, 4, front);
    ok = ok && SaveFont("fonts/demo.fnt");
    ok = ok && SaveGameFonts();
    ok = ok && SaveFrontEndCaptions(front);
    ok = ok && SaveFrontBackdrops(front);
    // The palette the bridge takes once the viewer panel has faded in after
    // a briefing: the game's own, so the bridge keeps its colours.
    ok = ok && SavePicture("art/brfpal.pcx", std::vector<uint8_t>(16, 0), 4, 4, rgb);
    ok = ok && SaveIcons() && SaveCommsArmPictures(rgb) && SaveKeyList(rgb);
    ok = ok && SaveSmallFontPictures();
    ok = ok && SaveStationPictures(gFolder) && SaveConsoles(rgb);
    ok = ok && SaveBriefingCharts(gFolder, rgb);
    ok = ok && WriteBridgeDemoData(gFolder, rgb);

    // The sounds of every slot that names a file: "10" (slot 0) is the engine
    // loop, the rest take turns.
    const char* names[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12a", "12b",
                           "13", "14", "15", "16", "17", "18", "19a", "19b", "20", "21", "22", "23", "24",
                           "25", "26", "27", "28", "29", "30", "31", "32", "33", "34", "35", "43",
                           "36", "37", "38", "39", "40", "41", "42"};
    int variant = 0;
    for (const char* name : names) {
        const Voice voice = std::string(name) == "10" ? Voice::Engine : static_cast<Voice>(variant % 3);
        ok = ok && SaveSound(name, voice, variant);
        ++variant;
    }

    HxCoreBegin();
    ok = ok && SavePixelmap("zqk/resource/art/textures/ships/klvstd.tab", MakeShadeTable(), 256, 64);
    uint32_t seed = 1;
    for (const TextureRow& t : kStandardTextures) {
        const bool blended = t.blendTable >= 0;
        ok = ok && SavePixelmap(std::string("hexmire/dat/") + t.file,
                                blended ? MakeBlendTexture(t.blendTable, t.rings, seed)
                                        : MakeTexture(t.ramp, t.rings, seed),
                                32, 32, !blended);
        ++seed;
    }
    for (const TextureRow& t : kNamedTextures)
        ok = ok && SavePixelmap(std::string("hexmire/dat/") + t.file, MakeTexture(t.ramp, t.rings, seed++), 32, 32);
    for (int i = 0; i < 20; ++i)
        for (int half = 2; half <= 3; ++half)
            ok = ok && SavePixelmap(std::string("zqk/resource/art/textures/planets/") + kPlanetNames[i] +
                                        std::to_string(half) + ".pix",
                                    MakePlanetTexture(i % 8, half), 32, 32);
    ok = ok && WriteViewData(gFolder);
    HxCoreEnd();
    ok = ok && SaveBumpPictures(rgb);
    ok = ok && HxBegin() == HX_OK && SavePlanetSphere();
    HxEnd();

    if (!ok) {
        std::fprintf(stderr, "demodata: cannot write into %s\n", gFolder.c_str());
        return 1;
    }
    return 0;
}
