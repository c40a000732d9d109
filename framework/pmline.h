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
    bool yMajor = dx < dy;
    if (yMajor) {
        std::swap(x1, y1);
        std::swap(x2, y2);
        std::swap(dx, dy);
    }
    auto put = [&](int32_t a, int32_t b) {
        if (yMajor)
            plot(b, a);
        else
            plot(a, b);
    };
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    int32_t a = x1, b = y1;   // walks from the start
    int32_t ae = x2, be = y2; // walks from the end
    put(a, b);
    put(ae, be);
    int32_t doubleSteps = (dx - 1) / 4;
    int32_t left = (dx - 1) % 4;

    // The three two-pixel patterns and their mirror images at the end.
    auto straightStraight = [&] {
        put(++a, b);
        put(++a, b);
        put(--ae, be);
        put(--ae, be);
    };
    auto straightDiagonal = [&] {
        put(++a, b);
        put(++a, b += step);
        put(--ae, be);
        put(--ae, be -= step);
    };
    auto diagonalStraight = [&] {
        put(++a, b += step);
        put(++a, b);
        put(--ae, be -= step);
        put(--ae, be);
    };
    auto diagonalDiagonal = [&] {
        put(++a, b += step);
        put(++a, b += step);
        put(--ae, be -= step);
        put(--ae, be -= step);
    };

    // The one to three pixels left after the double steps: two from the start
    // and, with three, one from the end; each says whether it takes a minor
    // step.
    auto finish = [&](bool firstStep, bool secondStep, bool endStep) {
        if (left == 0)
            return;
        put(++a, firstStep ? b += step : b);
        if (left > 1)
            put(++a, secondStep ? b += step : b);
        if (left > 2)
            put(--ae, endStep ? be -= step : be);
    };

    // Shallow and steep lines get a loop each (measured twice as fast as one
    // loop that tests the kind on every step).
    if (4 * dy - 2 * dx < 0) {
        // Shallow: at most one minor step in two pixels.
        int32_t c = 2 * dy;
        int32_t d = 4 * dy - dx;
        for (int32_t i = 0; i < doubleSteps; ++i) {
            if (d < 0) {
                straightStraight();
                d += 4 * dy;
            } else {
                if (d < c)
                    straightDiagonal();
                else
                    diagonalStraight();
                d += 4 * dy - 2 * dx;
            }
        }
        if (d < 0)
            finish(false, false, false);
        else if (d < c)
            finish(false, true, false);
        else
            finish(true, false, true);
    } else {
        // Steep: at least one minor step in two pixels.
        int32_t c = 2 * (dy - dx);
        int32_t d = 4 * dy - 3 * dx;
        for (int32_t i = 0; i < doubleSteps; ++i) {
            if (d > 0) {
                diagonalDiagonal();
                d += 4 * dy - 4 * dx;
            } else {
                if (d < c)
                    straightDiagonal();
                else
                    diagonalStraight();
                d += 4 * dy - 2 * dx;
            }
        }
        if (d > 0)
            finish(true, true, true);
        else if (d < c)
            finish(false, true, false);
        else
            finish(true, false, true);
    }
}
