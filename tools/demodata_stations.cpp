// The pictures of the bridge stations in the demo data tree: the weapon
// station's slot icons, 16 x 16 IFF pictures in the game palette's ramps.
#include "tools/demodata_stations.h"
#include "tools/demodata_palette.h"

#include "platform/files.h"
#include "system/res/iff.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr int kIconSide = 16;
// Palette entries: ramps of 29 shades from entry 10 (grey, red, orange,
// yellow, green, cyan, blue, violet).
constexpr uint8_t Shade(int ramp, int shade) { return static_cast<uint8_t>(10 + ramp * 29 + shade); }
constexpr int kGreyRamp = 0, kYellowRamp = 3, kGreenRamp = 4;

enum class Glyph {
    None,
    Bolt,
    Seeker,
    Interceptor
};

// A frame, and the mount's glyph pointing up (fore) or down (aft).
std::vector<uint8_t> MakeIcon(Glyph glyph, bool aft, bool selected)
{
    std::vector<uint8_t> pixels(kIconSide * kIconSide, 0);
    auto put = [&](int x, int y, uint8_t c) {
        if (x >= 0 && x < kIconSide && y >= 0 && y < kIconSide)
            pixels[static_cast<std::size_t>(aft ? kIconSide - 1 - y : y) * kIconSide + x] = c;
    };
    const uint8_t frame = selected ? Shade(kYellowRamp, 26) : Shade(kGreyRamp, 12);
    for (int i = 0; i < kIconSide; ++i) {
        put(i, 0, frame);
        put(i, kIconSide - 1, frame);
        put(0, i, frame);
        put(kIconSide - 1, i, frame);
    }
    const uint8_t ink = selected ? Shade(kYellowRamp, 28) : Shade(kGreenRamp, 22);
    switch (glyph) {
    case Glyph::None: break;
    case Glyph::Bolt: // a barrel with its muzzle up
        for (int y = 3; y <= 12; ++y)
            put(7, y, ink), put(8, y, ink);
        for (int x = 5; x <= 10; ++x)
            put(x, 12, ink);
        break;
    case Glyph::Seeker: // a missile: a point and fins
        for (int y = 4; y <= 12; ++y)
            put(7, y, ink), put(8, y, ink);
        put(6, 5, ink), put(9, 5, ink);
        put(5, 11, ink), put(10, 11, ink), put(4, 12, ink), put(11, 12, ink);
        break;
    case Glyph::Interceptor: // two chevrons
        for (int k = 0; k < 2; ++k)
            for (int d = 0; d < 5; ++d)
                put(7 - d, 4 + 4 * k + d, ink), put(8 + d, 4 + 4 * k + d, ink);
        break;
    }
    return pixels;
}

bool SaveIcon(const std::string& folder, const char* name, const std::vector<uint8_t>& pixels)
{
    const std::string path = folder + "/zqk/resource/art/icons/" + name + ".bbm";
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const std::vector<uint8_t> drawn = OffPanelEntries(pixels);
    const std::vector<uint8_t> file = IffBuildPbm(drawn.data(), kIconSide, kIconSide, 0, 0, nullptr, true);
    return platform::WriteFileAtomically(path.c_str(), file.data(), file.size());
}

} // namespace

bool SaveStationPictures(const std::string& dataFolder)
{
    struct Icon {
        const char* name;
        Glyph glyph;
        bool aft, selected;
    };
    static const Icon kIcons[] = {
        {"wp_null0", Glyph::None, false, false},
        {"wp_pbcf0", Glyph::Bolt, false, false},
        {"wp_pbcf1", Glyph::Bolt, false, true},
        {"wp_pbca0", Glyph::Bolt, true, false},
        {"wp_pbca1", Glyph::Bolt, true, true},
        {"wp_skf0", Glyph::Seeker, false, false},
        {"wp_skf1", Glyph::Seeker, false, true},
        {"wp_ska0", Glyph::Seeker, true, false},
        {"wp_ska1", Glyph::Seeker, true, true},
        {"wp_ldif0", Glyph::Interceptor, false, false},
        {"wp_ldif1", Glyph::Interceptor, false, true},
        {"wp_ldia0", Glyph::Interceptor, true, false},
        {"wp_ldia1", Glyph::Interceptor, true, true},
    };
    bool ok = true;
    for (const Icon& icon : kIcons)
        ok = ok && SaveIcon(dataFolder, icon.name, MakeIcon(icon.glyph, icon.aft, icon.selected));
    return ok;
}
