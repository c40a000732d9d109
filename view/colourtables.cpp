// Colour ramps, translucency (blend) tables and flare images built from the
// palette. The palette is banded: 32-entry bands of one hue, dark to light,
// start at 16, 48, 80, ...; a table entry is always found inside a band by
// the colour's weight (R + G + B). Owns the flare images; the blend tables
// live in the block the caller gives.
#include "view/colourtables.h"

#include "system/canvas.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/res/pcx.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

const uint8_t* gRampLookup = nullptr;

namespace {

constexpr int kRampEntries = 32;
constexpr int kTables = 16;
constexpr int kLevels = 16;
constexpr int kBandSize = 32;

uint8_t gFlareImages[2 * kFlareImageBytes];
uint8_t gFlareNoise[300];

// Target bands of tables 0-7 (and of 9-15 by table & 7).
constexpr int kTableBands[8] = {48, 112, 80, 48, 48, 144, 144, 16};
// Weight added at each level by the brightening tables 0-7 (b(b + 4) + 4
// below level 11).
constexpr int kLevelBoost[kLevels] = {4, 9, 16, 25, 36, 49, 64, 81, 100, 121, 144, 335, 470, 675, 64, 16};
// Table 8: how far each level moves a colour up its own band.
constexpr int kBandShift[kLevels] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 18, 24};
// Table 13: the entry that stands for each band position.
constexpr uint8_t kTable13Colours[kBandSize] = {49, 50, 52, 52, 53, 55, 57, 59, 61, 63, 240,
                                                240, 241, 241, 242, 242, 243, 243, 244, 244, 159, 159,
                                                161, 162, 164, 164, 167, 167, 171, 172, 174, 175};
constexpr int kFlarePictures[2] = {0, 4};

int Weight(const uint8_t* palette, int c)
{
    return palette[c * 4] + palette[c * 4 + 1] + palette[c * 4 + 2];
}

// The band holding index q; the entries below 16 and from 240 belong to none.
int BandOf(int q)
{
    return ((q + 16) & 0xE0) - 16;
}

// The lowest position (0-31) of the band whose weight exceeds w, else 31.
int PositionAbove(const uint8_t* palette, int band, int w)
{
    for (int c = 0; c < kBandSize; ++c)
        if (Weight(palette, band + c) > w)
            return c;
    return kBandSize - 1;
}

uint8_t RampIndex(const uint8_t* lookup, int r, int g, int b)
{
    return lookup[(r >> 3) << 11 | (g >> 3) << 6 | (b >> 2)];
}

// Tables 0-7: each colour brightened toward a band by the level's boost.
uint8_t Brighten(const uint8_t* palette, int table, int level, int q)
{
    int band = (table == 0 || table == 3) ? BandOf(q) : kTableBands[table];
    if (level >= 14)
        band = 48;
    band = std::max(band, 16);
    int w = Weight(palette, q);
    if (table == 3)
        w = w * (15 - level) / 15;
    else
        w += table == 0 ? kLevelBoost[level] / 2 : kLevelBoost[level];
    return static_cast<uint8_t>(band + PositionAbove(palette, band, w));
}

// Table 8: a colour moved up its own band; the unbanded entries stay.
uint8_t ShiftInBand(int level, int q)
{
    if (q < 16 || q >= 240)
        return static_cast<uint8_t>(q);
    const int band = BandOf(q);
    const int shift = band == 176 ? 2 * kBandShift[level] : kBandShift[level];
    return static_cast<uint8_t>(band + std::min(q - band + shift, kBandSize - 1));
}

// Tables 9-15: a colour mapped into a band at its weight, with a floor that
// grows with the level; level 15 leaves every colour alone.
uint8_t MapToBand(const uint8_t* palette, int table, int level, int q)
{
    if (level == 15)
        return static_cast<uint8_t>(q);
    int band = kTableBands[table & 7];
    int w = Weight(palette, q);
    int c;
    if (table == 11) {
        band = (q <= 16 || q >= 240) ? 48 : BandOf(q);
        c = PositionAbove(palette, band, w * (15 - level) / 15);
    } else {
        const int floor = level < 10 ? static_cast<int>(level * level / 3.5) : static_cast<int>(std::sqrt(80.0 * level));
        c = std::min(std::max(PositionAbove(palette, band, w), floor), kBandSize - 1);
    }
    if (table == 13)
        return kTable13Colours[c];
    return static_cast<uint8_t>(band + c);
}

} // namespace

void BuildColourRamp(const uint8_t* lookup, uint8_t* ramp, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2,
                     int32_t b2)
{
    // A component outside a byte would index outside the lookup table.
    const int32_t c1[3] = {std::clamp(r1, 0, 255), std::clamp(g1, 0, 255), std::clamp(b1, 0, 255)};
    const int32_t c2[3] = {std::clamp(r2, 0, 255), std::clamp(g2, 0, 255), std::clamp(b2, 0, 255)};
    int v[3];
    for (int i = 0; i < kRampEntries; ++i) {
        const float x = static_cast<float>(i) / kRampEntries;
        for (int k = 0; k < 3; ++k)
            v[k] = static_cast<int>(static_cast<float>(c2[k]) + static_cast<float>(c1[k] - c2[k]) * x);
        ramp[i] = RampIndex(lookup, v[0], v[1], v[2]);
    }
}

void BuildFiveColourRamp(const uint8_t* lookup, uint8_t* ramp, const int32_t colours[5][3])
{
    for (int run = 0; run < 4; ++run) {
        int32_t from[3], to[3];
        for (int k = 0; k < 3; ++k) {
            from[k] = std::clamp(colours[run][k], 0, 255);
            to[k] = std::clamp(colours[run + 1][k], 0, 255);
        }
        for (int i = 0; i < 8; ++i) {
            const float x = static_cast<float>(i) / 8;
            int v[3];
            for (int k = 0; k < 3; ++k)
                v[k] = static_cast<int>(static_cast<float>(from[k]) + static_cast<float>(to[k] - from[k]) * x);
            ramp[run * 8 + i] = RampIndex(lookup, v[0], v[1], v[2]);
        }
    }
}

void BuildTranslucencyTables(uint8_t* tables, const uint8_t* palette)
{
    for (int t = 0; t < kTables; ++t) {
        for (int level = kLevels - 1; level >= 0; --level) {
            uint8_t* out = tables + (t * kLevels + level) * 256;
            for (int q = 0; q < 256; ++q) {
                if (t < 8)
                    out[q] = Brighten(palette, t, level, q);
                else if (t == 8)
                    out[q] = ShiftInBand(level, q);
                else
                    out[q] = MapToBand(palette, t, level, q);
            }
        }
    }
    for (uint8_t& n : gFlareNoise)
        n = static_cast<uint8_t>((CRand() % 3 + 1) * 16);
    gGlowTables.blend = tables;
    LoadFlareImages();
}

void LoadFlareImages()
{
    for (int i = 0; i < 2; ++i) {
        uint8_t* image = gFlareImages + i * kFlareImageBytes;
        std::memset(image, 0, kFlareImageBytes);
        char path[64];
        std::snprintf(path, sizeof(path), "zqk\\resource\\art\\icons\\Flare%03ld.pcx",
                      static_cast<long>(kFlarePictures[i]));
        PcxImage* picture = PcxLoad(path);
        const int bytes = picture && !(picture->flags & kPcxPacked) ? std::max(picture->bodySize, 0) : 0;
        const int copied = std::min(bytes, kFlareImageBytes);
        if (copied > 0)
            std::memcpy(image, picture->pixels, static_cast<std::size_t>(copied));
        if (copied < kFlareImageBytes)
            DebugPrintf("LoadFlareImages: %s gave %d of %d bytes\n", path, copied, kFlareImageBytes);
        if (picture)
            PcxFree(picture);
    }
    gGlowTables.glowMaps[0] = gFlareImages;
    gGlowTables.glowMaps[1] = gFlareImages + kFlareImageBytes;
}
