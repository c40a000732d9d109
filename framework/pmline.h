// The line loop that memory and generic pixelmaps share: the symmetric
// double-step algorithm (Wu and Rokne), which draws from both ends towards
// the middle two pixels at a time, so a line and its reverse cover the same
// pixels and its two halves mirror each other.
#pragma once

#include <cstdint>
#include <utility>

// Calls plot(x, y) once for every pixel of the segment (x1, y1)-(x2, y2).
template <typename Plot>
void HxSymmetricLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Plot&& plot)
{
    int32_t dx = x2 > x1 ? x2 - x1 : x1 - x2;
    int32_t dy = y2 > y1 ? y2 - y1 : y1 - y2;
    if (dx == 0 && dy == 0) {
        plot(x1, y1);
        return;
    }
    int32_t step = ((x2 - x1) < 0) == ((y2 - y1) < 0) ? 1 : -1;
    // Work along the major axis a with minor axis b; `put` swaps back.
    bool steepMajor = dx < dy;
    if (steepMajor) {
        std::swap(x1, y1);
        std::swap(x2, y2);
        std::swap(dx, dy);
    }
    auto put = [&](int32_t a, int32_t b) {
        if (steepMajor)
            plot(b, a);
        else
            plot(a, b);
    };
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    int32_t a = x1, b = y1;  // walks from the start
    int32_t ae = x2, be = y2; // walks from the end
    put(a, b);
    put(ae, be);
    int32_t doubleSteps = (dx - 1) / 4;
    int32_t left = (dx - 1) % 4;

    // Each double step places two pixels from each end in one of four
    // patterns (straight or diagonal first, straight or diagonal second), the
    // end side mirroring the start. The 1-3 pixels left in the middle follow
    // the same pattern: the first two from the start, the third from the end.
    auto pattern = [&](bool firstDiagonal, bool secondDiagonal, int pixels) {
        put(++a, b += firstDiagonal ? step : 0);
        if (pixels > 1)
            put(++a, b += secondDiagonal ? step : 0);
        if (pixels > 2)
            put(--ae, be -= firstDiagonal ? step : 0);
        if (pixels > 3)
            put(--ae, be -= secondDiagonal ? step : 0);
    };

    if (4 * dy - 2 * dx < 0) {
        // Shallow: at most one minor step in two pixels.
        const int32_t c = 2 * dy;
        int32_t d = 4 * dy - dx;
        auto next = [&](int pixels) {
            if (d < 0) {
                pattern(false, false, pixels);
                d += 4 * dy;
            } else {
                pattern(d >= c, d < c, pixels);
                d += 4 * dy - 2 * dx;
            }
        };
        for (int32_t i = 0; i < doubleSteps; ++i)
            next(4);
        if (left > 0)
            next(left);
    } else {
        // Steep: at least one minor step in two pixels.
        const int32_t c = 2 * (dy - dx);
        int32_t d = 4 * dy - 3 * dx;
        auto next = [&](int pixels) {
            if (d > 0) {
                pattern(true, true, pixels);
                d += 4 * dy - 4 * dx;
            } else {
                pattern(d >= c, d < c, pixels);
                d += 4 * dy - 2 * dx;
            }
        };
        for (int32_t i = 0; i < doubleSteps; ++i)
            next(4);
        if (left > 0)
            next(left);
    }
}
