// For the UI's text tests: a font whose glyphs are solid blocks in one ink
// (so a crop of the canvas tells which font drew where), and a 640 x 480
// memory screen that the screen canvas points at while the fixture lives.
#pragma once

#include "system/canvas.h"
#include "system/display.h"
#include "system/rasterfont.h"

#include <array>
#include <cstdint>
#include <set>
#include <vector>

// Every character from '!' on is a 4 x 6 block of `ink` standing on the pen
// line; the blank and control characters have no ink. Advance 6, line 8.
struct BlockFont {
    static constexpr int kAdvance = 6;
    static constexpr int kHeight = 8;

    explicit BlockFont(uint8_t ink) : block(4 * 6, ink), blank(4 * 6, 0)
    {
        inked = {block.data(), 4, 6, 0, 5};
        empty = {blank.data(), 4, 6, 0, 5};
        for (int c = 0; c < kFontChars; ++c) {
            font.widths[c] = kAdvance;
            font.glyphs[c] = c > ' ' ? &inked : &empty;
        }
        font.height = kHeight;
    }
    BlockFont(const BlockFont&) = delete;
    BlockFont& operator=(const BlockFont&) = delete;

    std::vector<uint8_t> block, blank;
    Raster inked{}, empty{};
    RasterFont font{};
};

class MemoryScreen {
public:
    MemoryScreen() : pixels_(640 * 480, 0), address_(pixels_.data())
    {
        saved_ = gScreenMode;
        gScreenMode.width = 640;
        gScreenMode.height = 480;
        gScreenMode.frameBuffer = &address_;
    }
    ~MemoryScreen() { gScreenMode = saved_; }
    MemoryScreen(const MemoryScreen&) = delete;
    MemoryScreen& operator=(const MemoryScreen&) = delete;

    void Clear(uint8_t colour = 0) { std::fill(pixels_.begin(), pixels_.end(), colour); }
    uint8_t At(int x, int y) const { return pixels_[static_cast<size_t>(y * 640 + x)]; }
    // The palette indices found in the rectangle (inclusive corners).
    std::set<int> Colours(int left, int top, int right, int bottom) const
    {
        std::set<int> found;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                found.insert(At(x, y));
        return found;
    }

private:
    std::vector<uint8_t> pixels_;
    uint8_t* address_;
    DisplayMode saved_;
};
