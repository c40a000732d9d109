// Lines on the canvas: plain, clipped, anti-aliased and ramp-blended; and the
// glow spots, rays and shaded triangles that blend through the 3D
// presentation's tables. See canvas.h.
#include "system/canvas.h"

#include "system/canvas_internal.h"
#include "system/crand.h"

#include <algorithm>
#include <cstdlib>

using namespace canvas_internal;

GlowTables gGlowTables;
uint8_t gSpotsOff = 0;

namespace {

int16_t gJitter[kJitterEntries];
bool gJitterReady = false;

// The single-pixel colour of each ramp, for spots too small to blend.
constexpr uint8_t kRampPixelColours[kBlendRamps] = {72, 136, 104, 64, 72, 242, 160, 47,
                                                    64, 128, 96, 160, 64, 242, 160, 47};

// The last colour and table the anti-aliased lines used, and its 16 levels
// from black (0) to the full colour (15).
struct AaCache {
    bool valid = false;
    const uint8_t* table = nullptr;
    uint32_t rgb = 0;
    uint8_t levels[16] = {};
} gAa;

// Blends one pixel through level `level` of a ramp.
void BlendPixel(const Canvas& canvas, int x, int y, uint8_t ramp, int level)
{
    if (!OnCanvas(canvas, x, y))
        return;
    level = std::clamp(level, 0, kBlendLevels - 1);
    uint8_t& pixel = canvas.pixels[static_cast<std::ptrdiff_t>(y) * canvas.rowLength + x];
    pixel = gGlowTables.blend[((ramp & (kBlendRamps - 1)) * kBlendLevels + level) * 256 + pixel];
}

void Plot(const Canvas& canvas, int x, int y, uint8_t colour)
{
    if (OnCanvas(canvas, x, y))
        canvas.pixels[static_cast<std::ptrdiff_t>(y) * canvas.rowLength + x] = colour;
}

// The pixels of a line in drawing order: plot(x, y) for each. Both ends are
// drawn; x-major lines step a row whenever the error turns positive, as
// y-major ones step a column, so every line ends on its end point.
template <class PlotFn>
void WalkLine(int x1, int y1, int x2, int y2, PlotFn plot)
{
    int dx = x2 - x1, dy = y2 - y1;
    const int yStep = dy < 0 ? -1 : 1, xStep = dx < 0 ? -1 : 1;
    dy = std::abs(dy);
    const int ax = std::abs(dx);
    int x = x1, y = y1, error = 0;
    if (dy < ax) {
        for (int i = 0; i <= ax; ++i) {
            plot(x, y);
            x += xStep;
            error += dy;
            if (error > 0) {
                y += yStep;
                error -= ax;
            }
        }
    } else {
        for (int i = 0; i <= dy; ++i) {
            plot(x, y);
            y += yStep;
            error += ax;
            if (error > 0) {
                x += xStep;
                error -= dy;
            }
        }
    }
}

int LinePixels(int x1, int y1, int x2, int y2)
{
    return std::max(std::abs(x2 - x1), std::abs(y2 - y1)) + 1;
}

int OutCode(int x, int y, const ClipRect& clip)
{
    return (x < clip.left ? 1 : 0) | (x > clip.right ? 2 : 0) | (y < clip.top ? 4 : 0) | (y > clip.bottom ? 8 : 0);
}

} // namespace

bool ClipLineToRect(int16_t& x1, int16_t& y1, int16_t& x2, int16_t& y2, const ClipRect& clip)
{
    int ax = x1, ay = y1, bx = x2, by = y2;
    // Each pass puts one end on an edge; four edges per end at most.
    for (int pass = 0; pass < 8; ++pass) {
        const int codeA = OutCode(ax, ay, clip), codeB = OutCode(bx, by, clip);
        if (!codeA && !codeB) {
            x1 = static_cast<int16_t>(ax), y1 = static_cast<int16_t>(ay);
            x2 = static_cast<int16_t>(bx), y2 = static_cast<int16_t>(by);
            return true;
        }
        if (codeA & codeB)
            return false;
        const int code = codeA ? codeA : codeB;
        int x, y;
        if (code & (4 | 8)) {
            y = (code & 4) ? clip.top : clip.bottom;
            x = ax + (bx - ax) * (y - ay) / (by - ay);
        } else {
            x = (code & 1) ? clip.left : clip.right;
            y = ay + (by - ay) * (x - ax) / (bx - ax);
        }
        if (codeA)
            ax = x, ay = y;
        else
            bx = x, by = y;
    }
    return false;
}

void CanvasLine(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t colour)
{
    if (!canvas.pixels)
        return;
    if (OnCanvas(canvas, x1, y1) && OnCanvas(canvas, x2, y2)) {
        // Both ends on the canvas: so is every pixel between them.
        WalkLine(x1, y1, x2, y2, [&](int x, int y) {
            canvas.pixels[static_cast<std::ptrdiff_t>(y) * canvas.rowLength + x] = colour;
        });
        return;
    }
    WalkLine(x1, y1, x2, y2, [&](int x, int y) { Plot(canvas, x, y, colour); });
}

void CanvasLineClipped(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t colour,
                       const ClipRect& clip)
{
    if (ClipLineToRect(x1, y1, x2, y2, clip))
        CanvasLine(canvas, x1, y1, x2, y2, colour);
}

void CanvasLineAA(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t rgb,
                  const uint8_t* table)
{
    if (!canvas.pixels || !table)
        return;
    const uint8_t base = table[InverseColourIndex(rgb)];
    rgb &= 0xFFFFFF;
    if (!gAa.valid || gAa.table != table || gAa.rgb != rgb) {
        const uint32_t red = rgb & 0xFF, green = (rgb >> 8) & 0xFF, blue = (rgb >> 16) & 0xFF;
        gAa.valid = true;
        gAa.table = table;
        gAa.rgb = rgb;
        // Level k is the colour at k/16 of its brightness; the lowest is black.
        for (uint32_t k = 1; k <= 16; ++k)
            gAa.levels[k - 1] = table[(red * k >> 7) << 11 | (green * k >> 7) << 6 | (blue * k >> 6)];
        gAa.levels[0] = table[0];
    }
    const uint8_t* L = gAa.levels;

    int dx = x2 - x1, dy = y2 - y1;
    if (dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy)) {
        CanvasLine(canvas, x1, y1, x2, y2, base);
        return;
    }
    if (y2 < y1) {
        std::swap(x1, x2);
        std::swap(y1, y2);
        dx = -dx;
        dy = -dy;
    }
    Plot(canvas, x1, y1, base);
    if (std::abs(dx) < dy) {
        // Steep: one row at a time, the pair of pixels across x.
        int64_t fx = (int64_t{x1} << 16) + 32768;
        const int64_t step = (int64_t{dx} << 16) / dy;
        for (int y = y1 + 1; y < y2; ++y) {
            fx += step;
            const int c = static_cast<int>(fx >> 16);
            const int fraction = static_cast<int>(fx & 0xFFFF), p = fraction >> 12;
            if (fraction >= 0x8000) {
                Plot(canvas, c, y, L[22 - p]);
                Plot(canvas, c + 1, y, L[p - 7]);
            } else {
                Plot(canvas, c, y, L[p + 8]);
                Plot(canvas, c - 1, y, L[8 - p]);
            }
        }
    } else {
        // Shallow: one column at a time, the pair of pixels across y.
        const int xStep = dx < 0 ? -1 : 1, columns = std::abs(dx);
        int64_t fy = (int64_t{y1} << 16) + 32768;
        const int64_t step = (int64_t{dy} << 16) / columns;
        int x = x1;
        for (int i = 1; i < columns; ++i) {
            x += xStep;
            fy += step;
            const int c = static_cast<int>(fy >> 16);
            const int fraction = static_cast<int>(fy & 0xFFFF), p = fraction >> 12;
            if (fraction >= 0x8000) {
                Plot(canvas, x, c, L[22 - p]);
                Plot(canvas, x, c + 1, L[p - 7]);
            } else {
                Plot(canvas, x, c, L[p + 8]);
                Plot(canvas, x, c - 1, L[8 - p]);
            }
        }
    }
}

void CanvasLineAAClipped(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, const ClipRect& clip,
                         uint32_t rgb, const uint8_t* table)
{
    if (ClipLineToRect(x1, y1, x2, y2, clip))
        CanvasLineAA(canvas, x1, y1, x2, y2, rgb, table);
}

// ---- glow spots, rays and triangles ----------------------------------------------------

void BuildJitterTable()
{
    for (int16_t& j : gJitter)
        j = static_cast<int16_t>(CRand() & 0x1FF);
    gJitterReady = true;
}

void CanvasRampLine(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t ramp)
{
    if (!canvas.pixels || !gGlowTables.blend)
        return;
    const int n = LinePixels(x1, y1, x2, y2);
    const int step = 0xC00 / n;
    int level = 0x200;
    WalkLine(x1, y1, x2, y2, [&](int x, int y) {
        level += step;
        BlendPixel(canvas, x, y, ramp, level >> 8);
    });
}

void CanvasRampLineClipped(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t ramp,
                           const ClipRect& clip)
{
    if (ClipLineToRect(x1, y1, x2, y2, clip))
        CanvasRampLine(canvas, x1, y1, x2, y2, ramp);
}

void CanvasDrawRays(const Canvas& canvas, uint8_t ramp, int16_t x, int16_t y, int16_t diameter)
{
    // Rays point at fixed places of the screen, shorter each time.
    constexpr int kTargets[4][2] = {{254, 200}, {112, 360}, {531, 97}, {7, 245}};
    const ClipRect screen = CanvasBounds(canvas);
    int f = static_cast<int>(diameter * 1.2);
    for (int i = 0; i < 4 && f > 8; ++i) {
        const int dx = kTargets[i][0] - x, dy = kTargets[i][1] - y;
        const int h = std::abs(dx) + std::abs(dy);
        if (h != 0) {
            const int rx = dx * f / h, ry = dy * f / h;
            CanvasRampLineClipped(canvas, x, y, static_cast<int16_t>(x + rx), static_cast<int16_t>(y + ry), ramp,
                                  screen);
            if (i == 0)
                CanvasRampLineClipped(canvas, x, y, static_cast<int16_t>(x - rx), static_cast<int16_t>(y - ry),
                                      ramp, screen);
        }
        f = static_cast<int>(f * 0.8);
    }
}

void CanvasDrawSpot(const Canvas& canvas, int32_t brightness, uint8_t ramp, int32_t, int16_t x, int16_t y,
                    int16_t diameter, uint8_t rays, const ClipRect& clip)
{
    if (!gJitterReady)
        BuildJitterTable();
    if (gSpotsOff || brightness < 1 || !canvas.pixels)
        return;
    const int d = std::max<int>(diameter, 5);
    if (d == 5) {
        const int px = std::clamp<int>(x - 1, clip.left, clip.right);
        const int py = std::clamp<int>(y - 1, clip.top, clip.bottom);
        Plot(canvas, px, py, kRampPixelColours[ramp & (kBlendRamps - 1)]);
        return;
    }
    const uint8_t* map = gGlowTables.glowMaps[(ramp & 8) ? 1 : 0];
    if (!gGlowTables.blend || !map)
        return;
    brightness = std::max(brightness, 4);
    const int left = x - d / 2, top = y - d / 2;
    const int right = left + d - 1, bottom = top + d - 1;
    if (right < clip.left || left > clip.right || y < clip.top || y > clip.bottom)
        return;
    const ClipRect within = Intersect(clip, canvas);
    const int step = 32768 / d; // 8.8 texels a pixel: 128 across the spot
    int jitter = CRand() % 200;
    for (int py = std::max<int>(top, within.top); py <= std::min<int>(bottom, within.bottom); ++py) {
        const int v = std::min(((py - top) * step) >> 8, kGlowMapSize - 1);
        const int start = gJitter[jitter++ % kJitterEntries];
        for (int px = std::max<int>(left, within.left); px <= std::min<int>(right, within.right); ++px) {
            const int u = std::min((start + (px - left) * step) >> 8, kGlowMapSize - 1);
            const int t = map[v * kGlowMapSize + u];
            if (t != 0 && t <= brightness)
                BlendPixel(canvas, px, py, ramp, t);
        }
    }
    if (rays && d > 8 && !(ramp & 8))
        CanvasDrawRays(canvas, ramp, x, y, static_cast<int16_t>(d));
}

namespace {

struct Corner {
    int x, y, shade;
};

// One half of a shaded triangle: `rows` rows from the apex (downward when
// `direction` is 1, upward when -1), the span ending at the edge a-b.
void ShadeHalf(const Canvas& canvas, Corner apex, Corner a, Corner b, int rows, int direction, uint8_t ramp,
               int& jitter)
{
    if (rows <= 0)
        return;
    if (a.x > b.x)
        std::swap(a, b);
    int width = 256, left = apex.x * 256;
    int shadeLeft = apex.shade * 256, shadeRight = apex.shade * 256;
    const int widthStep = (b.x - a.x) * 256 / rows, leftStep = (a.x - apex.x) * 256 / rows;
    const int leftShadeStep = (a.shade - apex.shade) * 256 / rows;
    const int rightShadeStep = (b.shade - apex.shade) * 256 / rows;
    for (int r = 0; r < rows; ++r) {
        const int y = apex.y + direction * r;
        const int count = width >> 8, x0 = left >> 8;
        int level = shadeLeft + (gJitter[jitter++ % kJitterEntries] & 0xFF);
        const int levelStep = (shadeRight - shadeLeft) / (count + 1);
        for (int i = 0; i < count; ++i) {
            level += levelStep;
            BlendPixel(canvas, x0 + i, y, ramp, level >> 8);
        }
        width += widthStep;
        left += leftStep;
        shadeLeft += leftShadeStep;
        shadeRight += rightShadeStep;
    }
}

} // namespace

void CanvasDrawTriangle(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3,
                        int16_t shade1, int16_t shade2, int16_t shade3, uint8_t ramp)
{
    if (!OnCanvas(canvas, x1, y1) || !OnCanvas(canvas, x2, y2) || !OnCanvas(canvas, x3, y3) || !gGlowTables.blend)
        return;
    if (!gJitterReady)
        BuildJitterTable();
    Corner c[3] = {{x1, y1, shade1}, {x2, y2, shade2}, {x3, y3, shade3}};
    std::stable_sort(c, c + 3, [](const Corner& a, const Corner& b) { return a.y < b.y; });
    const Corner& top = c[0];
    const Corner& middle = c[1];
    const Corner& bottom = c[2];
    const float t = bottom.y == top.y ? 0.0f : float(middle.y - top.y) / float(bottom.y - top.y);
    const Corner onLongEdge = {top.x + static_cast<int>(float(bottom.x - top.x) * t), middle.y,
                               top.shade + static_cast<int>(t * float(bottom.shade - top.shade))};
    int jitter = CRand() % 200;
    ShadeHalf(canvas, top, middle, onLongEdge, middle.y - top.y, 1, ramp, jitter);
    if (bottom.y > middle.y)
        ShadeHalf(canvas, bottom, middle, onLongEdge, bottom.y - middle.y + 1, -1, ramp, jitter);
}
