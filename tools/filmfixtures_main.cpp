// filmfixtures: writes the test and demo films made by our own Smacker
// writer (and an AVI that FFmpeg writes) into a folder:
//   wide.smk     640 x 480, palette change at frame 3
//   small.smk    320 x 200 (shown doubled)
//   sound.smk    64 x 32 with a 22050 Hz audio track
//   clip.smk     368 x 168 with colour 0 holes (transparent clips)
//   loop.smk     32 x 16, a short loop
//   intro.avi    64 x 32 raw frames for the introduction list
// With "seeds", damaged variants for the fuzz corpus are written instead;
// with "demo", the demo data tree's films:
//   navarmin.smk 160 x 100, the navigation screen's film (its presence
//                 also tells start-up the video folder is on the disk)
//   navsit.smk   160 x 100, played as a mission starts
//   plasma.smk   32 x 32, the looping film on the plasma-textured body
//   the front end's transition clips (160 x 76), the opening film
//   "entry.smk", the closing films "out1.smk"-"out3.smk" and the mission
//   films "m01_3.smk" and "m41_2.smk", the station and situation films
//   (160 x 100): all of them but plasma.smk a turning scope; and the comms
//   arm's "NAVArmIn.smk" and
//   "NAVArmOu.smk" (368 x 168, colour 0 transparent)
//
//   filmfixtures FOLDER [seeds | demo]
#include "platform/files.h"
#include "platform/film.h"
#include "tools/film_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <string>

namespace {

// The demo's films and the front end's transition clips: a scope on a dark
// console display, its sweep turning one step a frame and leaving a fading
// amber trail. Drawn in the entries of the front end's grey and amber ramps
// (29 shades each, as the backdrops use them), which a clip is shown in; a
// film shows its own palette, which holds the same two ramps.
constexpr int kGrey = 10, kAmber = 10 + 2 * 29, kShades = 29;

smk::Palette ScopePalette()
{
    smk::Palette p{};
    for (int i = 0; i < kShades; ++i) {
        const int level = 8 + i * 220 / (kShades - 1);
        for (int c = 0; c < 3; ++c)
            p[3 * (kGrey + i) + c] = static_cast<uint8_t>(level);
        p[3 * (kAmber + i)] = static_cast<uint8_t>(20 + i * 235 / (kShades - 1));
        p[3 * (kAmber + i) + 1] = static_cast<uint8_t>(12 + i * 176 / (kShades - 1));
        p[3 * (kAmber + i) + 2] = static_cast<uint8_t>(4 + i * 60 / (kShades - 1));
    }
    return p;
}

smk::Film MakeScopeFilm(int width, int height, int frames)
{
    constexpr double kTrail = std::numbers::pi / 3;
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0, radius = height / 2.0 - 4;
    smk::Film film;
    film.width = width;
    film.height = height;
    for (int n = 0; n < frames; ++n) {
        smk::Frame f;
        f.pixels.resize(static_cast<std::size_t>(width) * height);
        const double sweep = 2 * std::numbers::pi * n / frames;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double dx = x - cx, dy = y - cy, d = std::hypot(dx, dy);
                int colour = kGrey + 1;
                if (x % 16 == 8 || y % 16 == 6)
                    colour = kGrey + 3; // the display's grid
                if (d <= radius) {
                    colour = kGrey + 2;
                    if (std::abs(dx) < 0.5 || std::abs(dy) < 0.5)
                        colour = kGrey + 7;
                    for (const double ring : {radius / 3, 2 * radius / 3, radius})
                        if (std::abs(d - ring) < 0.6)
                            colour = kGrey + 10;
                    // How far behind the sweep, clockwise from straight up.
                    const double angle = std::atan2(dx, -dy);
                    const double behind = std::fmod(sweep - angle + 4 * std::numbers::pi, 2 * std::numbers::pi);
                    if (behind < kTrail)
                        colour = std::max(colour, kAmber + static_cast<int>((kShades - 4) * (1 - behind / kTrail)));
                }
                f.pixels[static_cast<std::size_t>(y) * width + x] = static_cast<uint8_t>(colour);
            }
        if (n == 0)
            f.palette = ScopePalette();
        film.frames.push_back(std::move(f));
    }
    return film;
}

bool Save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (platform::WriteFileAtomically(path.c_str(), bytes.data(), bytes.size()))
        return true;
    std::fprintf(stderr, "filmfixtures: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: filmfixtures FOLDER [seeds | demo]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool seeds = argc > 2 && std::strcmp(argv[2], "seeds") == 0;
    bool ok = true;
    if (argc > 2 && std::strcmp(argv[2], "demo") == 0) {
        ok &= Save(folder + "/navarmin.smk", smk::Write(MakeScopeFilm(160, 100, 8)));
        ok &= Save(folder + "/navsit.smk", smk::Write(MakeScopeFilm(160, 100, 12)));
        ok &= Save(folder + "/plasma.smk", smk::Write(smk::MakeFixtureFilm({32, 32, 8})));
        const std::vector<uint8_t> clip = smk::Write(MakeScopeFilm(160, 76, 6));
        for (const char* name : {"Fspn", "Fros", "Frosstat", "Fcr", "Frup", "Frdwn", "Fhop", "Fhcl", "Fochp",
                                 "Fcchp", "Foflm", "Fcredits", "Fcflm", "Faop", "Facl"})
            ok &= Save(folder + "/" + name + ".smk", clip);
        for (const char* name : {"entry", "out1", "out2", "out3", "m01_3", "m41_2", "CmdStd1", "EngRgt3", "NavLft2",
                                 "cmdrem", "cmdsit", "engrgtb", "engsit", "navstd", "weplft", "wepsit"})
            ok &= Save(folder + "/" + name + ".smk", smk::Write(MakeScopeFilm(160, 100, 8)));
        for (const char* name : {"NAVArmIn", "NAVArmOu"})
            ok &= Save(folder + "/" + name + ".smk", smk::Write(smk::MakeFixtureFilm({368, 168, 4, -1, 0, true})));
        return ok ? 0 : 1;
    }
    if (seeds) {
        const std::vector<uint8_t> film = smk::Write(smk::MakeFixtureFilm({64, 32, 6, 3, 22050}));
        ok &= Save(folder + "/sound.smk", film);
        ok &= Save(folder + "/holes.smk", smk::Write(smk::MakeFixtureFilm({16, 8, 3, 1, 0, true})));
        ok &= Save(folder + "/cut.smk", std::vector<uint8_t>(film.begin(), film.begin() + film.size() / 2));
        ok &= Save(folder + "/header.smk", std::vector<uint8_t>(film.begin(), film.begin() + 104));
        std::vector<uint8_t> flipped = film;
        for (size_t i = 104; i < flipped.size(); i += 97)
            flipped[i] ^= 0x21;
        ok &= Save(folder + "/flipped.smk", flipped);
        return ok ? 0 : 1;
    }
    ok &= Save(folder + "/wide.smk", smk::Write(smk::MakeFixtureFilm({640, 480, 6, 3})));
    ok &= Save(folder + "/small.smk", smk::Write(smk::MakeFixtureFilm({320, 200, 6})));
    ok &= Save(folder + "/sound.smk", smk::Write(smk::MakeFixtureFilm({64, 32, 10, -1, 22050})));
    ok &= Save(folder + "/clip.smk", smk::Write(smk::MakeFixtureFilm({368, 168, 8, -1, 0, true})));
    ok &= Save(folder + "/loop.smk", smk::Write(smk::MakeFixtureFilm({32, 16, 4})));
    std::vector<std::vector<uint8_t>> frames;
    for (int n = 0; n < 10; ++n)
        frames.emplace_back(static_cast<size_t>(64 * 32 * 3), static_cast<uint8_t>(n * 25));
    ok &= platform::WriteAviFile((folder + "/intro.avi").c_str(), 64, 32, 10, frames);
    return ok ? 0 : 1;
}
