// Shared fixture for pixelmap tests: the framework core begun with the
// pixelmap module, and helpers that read a pixelmap's block independently of
// the module's own addressing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "framework/fw.h"
#include "framework/memdev.h"
#include "framework/pixelmap.h"
#include "tests/fwhost/core_fixture.h"

// The core begun with the pixelmap module, under a recording handler.
class PixelmapTest : public HxCore {};

// The lowest address of a whole pixelmap's block (its first row in memory).
inline uint8_t* PmBlock(const hx_pixelmap* pm)
{
    auto* p = static_cast<uint8_t*>(pm->pixels);
    return pm->row_bytes < 0 ? p + ptrdiff_t(pm->row_bytes) * (pm->height - 1) : p;
}

inline size_t PmBlockSize(const hx_pixelmap* pm)
{
    return size_t(std::abs(pm->row_bytes)) * pm->height;
}

// Offset in the block of pixel (x, y) of a whole pixelmap with `bytes` per
// pixel: rows in memory top to bottom, or bottom to top when inverted.
inline size_t PmOffset(const hx_pixelmap* pm, int x, int y, int bytes)
{
    int row = pm->row_bytes < 0 ? pm->height - 1 - y : y;
    return size_t(row) * size_t(std::abs(pm->row_bytes)) + size_t(x) * size_t(bytes);
}

inline uint32_t PmRead(const std::vector<uint8_t>& block, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(block[at + size_t(i)]) << (8 * i);
    return v;
}

inline void PmWrite(std::vector<uint8_t>& block, size_t at, int bytes, uint32_t v)
{
    for (int i = 0; i < bytes; ++i)
        block[at + size_t(i)] = uint8_t(v >> (8 * i));
}

inline std::vector<uint8_t> PmSnapshot(const hx_pixelmap* pm)
{
    const uint8_t* b = PmBlock(pm);
    return std::vector<uint8_t>(b, b + PmBlockSize(pm));
}
