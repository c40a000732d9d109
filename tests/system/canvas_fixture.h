// A small canvas for drawing tests, exactly as large as it says (so the
// sanitiser catches any write beside it), its CRC for reference pictures,
// and blend tables whose results show the ramp and level that made them.
#pragma once

#include "system/canvas.h"

#include <cstdint>
#include <vector>

namespace canvastest {

struct TestCanvas {
    std::vector<uint8_t> pixels;
    Canvas canvas;

    TestCanvas(int width, int height, uint8_t fill = 0)
        : pixels(static_cast<std::size_t>(width) * height, fill),
          canvas{pixels.data(), static_cast<int16_t>(width), static_cast<int16_t>(height)}
    {
    }
    uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * canvas.rowLength + x]; }
    int Count(uint8_t value) const
    {
        int n = 0;
        for (uint8_t p : pixels)
            n += p == value;
        return n;
    }
};

inline uint32_t Crc32(const std::vector<uint8_t>& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// Blend tables where a pixel of any colour under level l of ramp r becomes
// r * 16 + l, so a picture shows exactly which level reached each pixel;
// glow maps whose level falls from 15 at the centre to 0 at the rim.
struct TestGlowTables {
    std::vector<uint8_t> blend = std::vector<uint8_t>(kBlendTablesSize);
    std::vector<uint8_t> glow = std::vector<uint8_t>(kGlowMapSize * kGlowMapSize);

    TestGlowTables()
    {
        for (int r = 0; r < kBlendRamps; ++r)
            for (int l = 0; l < kBlendLevels; ++l)
                for (int c = 0; c < 256; ++c)
                    blend[(r * kBlendLevels + l) * 256 + c] = static_cast<uint8_t>(r * 16 + l);
        for (int v = 0; v < kGlowMapSize; ++v)
            for (int u = 0; u < kGlowMapSize; ++u) {
                int du = u - 64, dv = v - 64;
                int d2 = du * du + dv * dv;
                int level = 15 - d2 * 16 / (64 * 64);
                glow[v * kGlowMapSize + u] = static_cast<uint8_t>(level > 0 ? level : 0);
            }
        gGlowTables.blend = blend.data();
        gGlowTables.glowMaps[0] = gGlowTables.glowMaps[1] = glow.data();
    }
    ~TestGlowTables() { gGlowTables = GlowTables{}; }
};

} // namespace canvastest
