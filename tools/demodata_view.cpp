// The demo data of the 3D view (see demodata_view.h): the large rock's top
// and bottom maps at 32 x 32 and their small copies at 8 x 8, and the
// charred skin inside broken hulls, each a seeded speckle of one palette
// band, so every run writes the same bytes.
#include "tools/demodata_view.h"
#include "tools/demodata_palette.h"

#include "framework/pixelmap.h"
#include "framework/pmfile.h"
#include "system/crand.h"
#include "system/res/loaders.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <vector>

namespace {

constexpr const char* kShipTextures = "zqk/resource/art/textures/ships/";

// A full map of the band and its small copy: every 4 x 4 block of the full
// map averaged into one pixel, so far and near show the same rock.
struct MapPair {
    const char* name;
    uint8_t band; // first entry of the 32-entry band
    uint16_t seed;
};
constexpr MapPair kMaps[] = {{"rocktop", 112, 31}, {"rockbot", 80, 47}};
constexpr int kFull = 32, kSmall = 8, kBlock = kFull / kSmall;

// The inside of a broken hull ("cold.pix", the map of the standard material
// "carbon", drawn through the ships' shade table): a speckle of the darker
// half of its first ramp (entries 10-38, grey), charred metal.
constexpr uint8_t kGreyRamp = 10;
constexpr uint16_t kCarbonSeed = 83;

// The palette entries a lookup may give: black and the ramps, without the
// sky (176-207) and the system entries (1-9, 246-255).
bool LookupEntry(int i)
{
    return i == 0 || (i >= 10 && i < 176) || (i >= 208 && i < 246);
}

bool Save(const std::string& path, const std::vector<uint8_t>& pixels, int size)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, uint16_t(size), uint16_t(size), nullptr, 0);
    if (!pm)
        return false;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            HxPixelmapPixelSet(pm, x, y, OffPanelEntry(pixels[size_t(y * size + x)]));
    const bool saved = HxPixelmapSave(path.c_str(), pm) == 1;
    HxPixelmapFree(pm);
    return saved;
}

} // namespace

bool WriteViewData(const std::string& folder)
{
    bool ok = true;
    for (const MapPair& m : kMaps) {
        CRandSeed(m.seed);
        std::vector<uint8_t> full(size_t(kFull * kFull));
        for (uint8_t& p : full)
            p = uint8_t(m.band + 8 + CRand() % 16);
        std::vector<uint8_t> small(size_t(kSmall * kSmall));
        for (int y = 0; y < kSmall; ++y)
            for (int x = 0; x < kSmall; ++x) {
                int sum = 0;
                for (int dy = 0; dy < kBlock; ++dy)
                    for (int dx = 0; dx < kBlock; ++dx)
                        sum += full[size_t((y * kBlock + dy) * kFull + x * kBlock + dx)];
                small[size_t(y * kSmall + x)] = uint8_t(sum / (kBlock * kBlock));
            }
        const std::string base = folder + "/" + kShipTextures + m.name;
        ok = ok && Save(base + ".pix", full, kFull) && Save(base + "_S.pix", small, kSmall);
    }
    CRandSeed(kCarbonSeed);
    std::vector<uint8_t> carbon(size_t(kFull * kFull));
    for (uint8_t& p : carbon)
        p = uint8_t(kGreyRamp + 6 + CRand() % 12);
    return ok && Save(folder + "/" + kShipTextures + "cold.pix", carbon, kFull);
}

bool WriteColourTables(const std::string& folder, const uint8_t (&rgb)[768])
{
    std::vector<uint8_t> lookup(kColourMapSize);
    for (size_t index = 0; index < lookup.size(); ++index) {
        const int r = int(index >> 11) << 3, g = int((index >> 6) & 31) << 3, b = int(index & 63) << 2;
        int best = 0, bestDistance = std::numeric_limits<int>::max();
        for (int i = 0; i < 256; ++i) {
            if (!LookupEntry(i))
                continue;
            const int dr = r - rgb[3 * i], dg = g - rgb[3 * i + 1], db = b - rgb[3 * i + 2];
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance)
                best = i, bestDistance = distance;
        }
        lookup[index] = uint8_t(best);
    }
    std::vector<uint8_t> blend(kColourMapSize);
    for (size_t i = 0; i < blend.size(); ++i)
        blend[i] = uint8_t(i & 255);
    const std::string art = folder + "/zqk/resource/art/";
    std::filesystem::create_directories(art);
    return ColourMapSave((art + "klvstd.cmp").c_str(), lookup) && ColourMapSave((art + "blend.cmp").c_str(), blend);
}
