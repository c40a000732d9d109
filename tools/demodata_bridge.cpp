// The bridge's demo data: the pictures and films the station views and the
// station changes ask for by name (the film fixtures and the demo data's
// own generator write the icons, the key list and a few of the films),
// drawn here from flat shapes in the game palette's ramps (10 + 29 x ramp
// + shade: grey, red, orange, yellow, green, cyan, blue, violet) so that
// films compress to fill blocks and pictures to runs.
#include "tools/demodata_bridge.h"

#include "system/palette.h"
#include "system/res/pcx.h"
#include "tools/smacker_writer.h"
#include "tools/demodata_palette.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr int kBandHeight = 12;

uint8_t Shade(int ramp, int shade)
{
    return static_cast<uint8_t>(10 + 29 * ramp + std::clamp(shade, 0, 28));
}

enum Ramp {
    kGrey = 0,
    kRed = 1,
    kOrange = 2,
    kYellow = 3,
    kGreen = 4,
    kCyan = 5,
    kBlue = 6,
    kViolet = 7
};

// The stations' colours: command yellow, navigation green, weapons red,
// engineering cyan.
constexpr int kStationRamps[4] = {kYellow, kGreen, kRed, kCyan};

struct Picture {
    int width, height;
    std::vector<uint8_t> pixels;
    Picture(int w, int h, uint8_t fill = 0) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}
    void Fill(int x0, int y0, int x1, int y1, uint8_t colour)
    {
        for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
                pixels[static_cast<std::size_t>(y) * width + x] = colour;
    }
};

std::string Path(const std::string& folder, const std::string& name)
{
    const std::string path = folder + "/zqk/resource/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return path;
}

bool SaveBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return !bytes.empty() && out.good();
}

bool SavePcx(const std::string& path, const Picture& p, const uint8_t* rgb)
{
    const std::vector<uint8_t> drawn = OffPanelEntries(p.pixels);
    PcxImage* pcx = PcxFromPixels(nullptr, 0, drawn.data(), p.width, p.height, const_cast<uint8_t*>(rgb));
    const bool ok = pcx && PcxSave(path.c_str(), pcx);
    PcxFree(pcx);
    return ok;
}

// A station view: the bridge's dark walls, the big window ahead (on the
// side views a smaller one), the station's console in its colour, and the
// turn marks at the edges that turn the view.
Picture StationBackdrop(int station, int direction)
{
    Picture p(kScreenWidth, kScreenHeight, Shade(kBlue, 3));
    p.Fill(0, 360, kScreenWidth, kScreenHeight, Shade(kGrey, 5)); // the deck
    const int ramp = kStationRamps[station];
    if (direction == 0) {
        p.Fill(120, 40, 520, 240, 0); // the window ahead
        for (int i = 0; i < 60; ++i)
            p.Fill(124 + (i * 97) % 392, 44 + (i * 53) % 192, 126 + (i * 97) % 392, 46 + (i * 53) % 192,
                   Shade(kGrey, 20 + i % 8));
        p.Fill(200, 280, 440, 360, Shade(ramp, 12));
        p.Fill(212, 292, 428, 320, Shade(ramp, 22));
    } else {
        const int consoleX = direction == 1 ? 360 : 80;
        p.Fill(direction == 1 ? 60 : 380, 60, direction == 1 ? 260 : 580, 200, 0);
        p.Fill(consoleX, 260, consoleX + 200, 360, Shade(ramp, 10));
        p.Fill(consoleX + 12, 272, consoleX + 188, 300, Shade(ramp, 20));
    }
    // Turn marks where the mouse turns the view: the left edge on the ahead
    // and right views, the right edge on the ahead and left views.
    const uint8_t mark = Shade(kGrey, 18);
    for (int i = 0; i < 24; ++i) {
        if (direction != 1)
            p.Fill(20 + i, 176 + i, 21 + i, 224 - i, mark);
        if (direction != 2)
            p.Fill(619 - i, 176 + i, 620 - i, 224 - i, mark);
    }
    // The station's band along the top names it by colour.
    p.Fill(0, 0, kScreenWidth, kBandHeight, Shade(ramp, 16));
    return p;
}

smk::Palette FilmPalette(const uint8_t* rgb)
{
    smk::Palette palette{};
    std::copy(rgb, rgb + 768, palette.begin());
    return palette;
}

// A film of flat 4 x 4 blocks: a panel of the ramp's colour with a bar that
// sweeps across it, `frames` frames.
smk::Film SweepFilm(int width, int height, int frames, int ramp, bool leftward, const uint8_t* rgb,
                    bool transparent = false)
{
    smk::Film film;
    film.width = width;
    film.height = height;
    film.frameTime = 6667; // 15 frames a second
    for (int f = 0; f < frames; ++f) {
        Picture p(width, height, transparent ? 0 : Shade(ramp, 6));
        const int bar = width / 6 / 4 * 4;
        const int at = (width - bar) * f / std::max(1, frames - 1) / 4 * 4;
        const int x = leftward ? width - bar - at : at;
        p.Fill(x, 0, x + bar, height, Shade(ramp, 20));
        p.Fill(0, height / 2 / 4 * 4, width, height / 2 / 4 * 4 + 4, Shade(kGrey, 24));
        smk::Frame frame;
        frame.pixels = std::move(p.pixels);
        if (f == 0)
            frame.palette = FilmPalette(rgb);
        film.frames.push_back(std::move(frame));
    }
    return film;
}

// A view's ambient film: its backdrop, and a row of console lights that
// runs along (variant 1 to the right, 2 to the left, 3 blinking).
smk::Film AmbientFilm(int station, int direction, int variant, const uint8_t* rgb)
{
    smk::Film film;
    film.width = kScreenWidth;
    film.height = kScreenHeight;
    film.frameTime = 12500; // 8 frames a second
    const int lightsX = direction == 0 ? 216 : direction == 1 ? 376
                                                              : 96;
    const int lightsY = direction == 0 ? 328 : 308;
    constexpr int kLights = 10;
    constexpr int kFrames = 8;
    for (int f = 0; f < kFrames; ++f) {
        Picture p = StationBackdrop(station, direction);
        for (int i = 0; i < kLights; ++i) {
            const bool lit = variant == 3 ? (f + i) % 2 == 0 : i == (variant == 1 ? f : kFrames - 1 - f) % kLights;
            p.Fill(lightsX + i * 16, lightsY, lightsX + i * 16 + 8, lightsY + 8,
                   lit ? Shade(kStationRamps[station], 27) : Shade(kGrey, 8));
        }
        smk::Frame frame;
        frame.pixels = std::move(p.pixels);
        if (f == 0)
            frame.palette = FilmPalette(rgb);
        film.frames.push_back(std::move(frame));
    }
    return film;
}

bool SaveFilm(const std::string& path, const smk::Film& film)
{
    return SaveBytes(path, smk::Write(film));
}

// The films the film fixtures write into the demo tree ("filmfixtures
// demo"): not written again here.
bool FromFilmFixtures(const std::string& name)
{
    static const char* const kFixtureFilms[] = {"navsit", "CmdStd1", "EngRgt3", "NavLft2", "cmdrem", "cmdsit",
                                                "engrgtb", "engsit", "navstd", "weplft", "wepsit"};
    for (const char* fixture : kFixtureFilms)
        if (name == fixture)
            return true;
    return false;
}

} // namespace

bool WriteBridgeDemoData(const std::string& folder, const uint8_t* rgb)
{
    bool ok = true;
    static const char* const kViews[12] = {"cmdstd", "cmdlft", "cmdrgt", "navstd", "navlft", "navrgt",
                                           "wepstd", "weplft", "weprgt", "engstd", "englft", "engrgt"};
    // A view's picture is only its top band: the layout loads all twelve
    // at start-up, and whole screens would fill the resource pool. The
    // ambient films show the whole view.
    for (int v = 0; v < 12; ++v) {
        Picture band(kScreenWidth, kBandHeight, Shade(kStationRamps[v / 3], 16));
        ok = ok && SavePcx(Path(folder, std::string("art/bridge/") + kViews[v] + ".pcx"), band, rgb);
    }

    // The films of the station changes, by station word and suffix.
    static const char* const kWords[4] = {"cmd", "nav", "wep", "eng"};
    static const char* const kSuffixes[6] = {"sit", "std", "lft", "rgt", "lftb", "rgtb"};
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 6; ++k)
            ok = ok && (FromFilmFixtures(std::string(kWords[s]) + kSuffixes[k]) ? true : SaveFilm(Path(folder, std::string("video/") + kWords[s] + kSuffixes[k] + ".smk"), SweepFilm(160, 120, 8, kStationRamps[s], k == 2 || k == 5, rgb)));
    // The ambient films: three a view, each the view's backdrop with its
    // console lights running (only those blocks change after frame 0).
    static const char* const kAmbient[4] = {"Cmd", "Nav", "Wep", "Eng"};
    static const char* const kDirections[3] = {"Std", "Lft", "Rgt"};
    for (int s = 0; s < 4; ++s)
        for (int d = 0; d < 3; ++d)
            for (int n = 1; n <= 3; ++n) {
                char name[32];
                std::snprintf(name, sizeof name, "%s%s%d", kAmbient[s], kDirections[d], n);
                if (!FromFilmFixtures(name))
                    ok = ok && SaveFilm(Path(folder, std::string("video/") + name + ".smk"), AmbientFilm(s, d, n, rgb));
            }
    return ok;
}
