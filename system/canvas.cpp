// The 2D canvas: the screen canvas and row table, the inverse colour table,
// plotting, fills and screen effects, image copies and run lists. Lines,
// spots and triangles are in canvaslines.cpp, saving in canvassave.cpp.
// See canvas.h.
#include "system/canvas.h"

#include "system/canvas_internal.h"
#include "system/crand.h"
#include "system/display.h"
#include "world/pools.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

int32_t gRowTable[kRowTableRows];

// The first and last palette entries the inverse table may choose.
constexpr int kFirstInverseEntry = 10;
constexpr int kLastInverseEntry = 246;
// Farther than any two colours of 6-bit components can be.
constexpr int32_t kInverseNoMatch = 20480;

void Order(int16_t& a, int16_t& b)
{
    if (a > b)
        std::swap(a, b);
}

uint8_t* PixelAt(const Canvas& canvas, int x, int y)
{
    return canvas.pixels + static_cast<std::ptrdiff_t>(y) * canvas.rowLength + x;
}

// The part of the rectangle with corners in either order that lies on the
// canvas; false when none does.
bool RectOnCanvas(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2,
                  canvas_internal::Block& b)
{
    Order(x1, x2);
    Order(y1, y2);
    return canvas.pixels && canvas_internal::PlaceBlock(x1, y1, x2 - x1 + 1, y2 - y1 + 1, CanvasBounds(canvas), b);
}

} // namespace

namespace canvas_internal {

bool OnCanvas(const Canvas& canvas, int x, int y)
{
    return canvas.pixels && x >= 0 && y >= 0 && x < canvas.rowLength && y < canvas.height;
}

bool Inside(const ClipRect& clip, int x, int y)
{
    return x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom;
}

ClipRect Intersect(const ClipRect& clip, const Canvas& canvas)
{
    return {std::max<int16_t>(clip.left, 0), std::max<int16_t>(clip.top, 0),
            std::min<int16_t>(clip.right, static_cast<int16_t>(canvas.rowLength - 1)),
            std::min<int16_t>(clip.bottom, static_cast<int16_t>(canvas.height - 1))};
}

bool PlaceBlock(int dstX, int dstY, int width, int height, const ClipRect& clip, Block& out)
{
    int left = std::max<int>(dstX, clip.left), top = std::max<int>(dstY, clip.top);
    int right = std::min<int>(dstX + width - 1, clip.right), bottom = std::min<int>(dstY + height - 1, clip.bottom);
    if (left > right || top > bottom)
        return false;
    out = {left, top, left - dstX, top - dstY, right - left + 1, bottom - top + 1};
    return true;
}

} // namespace canvas_internal

using namespace canvas_internal;

ClipRect CanvasBounds(const Canvas& canvas)
{
    return {0, 0, static_cast<int16_t>(canvas.rowLength - 1), static_cast<int16_t>(canvas.height - 1)};
}

Canvas ScreenCanvas()
{
    uint8_t* pixels = gScreenMode.frameBuffer ? *gScreenMode.frameBuffer : nullptr;
    return {pixels, gScreenMode.width, gScreenMode.height};
}

// ---- colour ----------------------------------------------------------------------

void BuildInverseColourTable(const PaletteEntry* palette, uint8_t* table)
{
    int red[256], green[256], blue[256];
    for (int i = kFirstInverseEntry; i <= kLastInverseEntry; ++i) {
        red[i] = palette[i].red >> 2;
        green[i] = palette[i].green >> 2;
        blue[i] = palette[i].blue >> 2;
    }
    for (int r5 = 0; r5 < 32; ++r5) {
        for (int g5 = 0; g5 < 32; ++g5) {
            int redGreen[256];
            for (int i = kFirstInverseEntry; i <= kLastInverseEntry; ++i) {
                int dr = red[i] - 2 * r5, dg = green[i] - 2 * g5;
                redGreen[i] = dr * dr + dg * dg;
            }
            uint8_t* out = table + (r5 << 11 | g5 << 6);
            for (int b6 = 0; b6 < 64; ++b6) {
                int32_t best = kInverseNoMatch;
                int chosen = kFirstInverseEntry;
                // Strictly nearer only: the lowest index wins a tie.
                for (int i = kFirstInverseEntry; i <= kLastInverseEntry; ++i) {
                    int db = blue[i] - b6;
                    int32_t d = redGreen[i] + db * db;
                    if (d < best) {
                        best = d;
                        chosen = i;
                    }
                }
                out[b6] = static_cast<uint8_t>(chosen);
            }
        }
    }
}

// ---- pixels and fills --------------------------------------------------------------

void BuildRowTable()
{
    for (int y = 0; y < kRowTableRows; ++y)
        gRowTable[y] = y * gScreenMode.width;
}

void ScreenPlot(uint8_t colour, int16_t x, int16_t y)
{
    Canvas screen = ScreenCanvas();
    if (!OnCanvas(screen, x, y) || y >= kRowTableRows)
        return;
    if (gRowTable[1] != screen.rowLength) // built for another screen, or not yet
        BuildRowTable();
    screen.pixels[gRowTable[y] + x] = colour;
}

void CanvasPlot(const Canvas& canvas, uint8_t colour, int16_t x, int16_t y)
{
    if (OnCanvas(canvas, x, y))
        *PixelAt(canvas, x, y) = colour;
}

void CanvasPlotClipped(const Canvas& canvas, uint8_t colour, int16_t x, int16_t y, const ClipRect& clip)
{
    if (Inside(clip, x, y))
        CanvasPlot(canvas, colour, x, y);
}

void CanvasPlotRGB(const Canvas& canvas, uint32_t rgb, const uint8_t* table, int16_t x, int16_t y)
{
    CanvasPlot(canvas, table[InverseColourIndex(rgb)], x, y);
}

void CanvasPlotRGBClipped(const Canvas& canvas, uint32_t rgb, const uint8_t* table, int16_t x, int16_t y,
                          const ClipRect& clip)
{
    if (Inside(clip, x, y))
        CanvasPlotRGB(canvas, rgb, table, x, y);
}

void CanvasClear(const Canvas& canvas, uint8_t colour)
{
    if (canvas.pixels && canvas.rowLength > 0 && canvas.height > 0)
        std::memset(canvas.pixels, colour, static_cast<std::size_t>(canvas.rowLength) * canvas.height);
}

void CanvasFillRect(const Canvas& canvas, uint8_t colour, int16_t x1, int16_t y1, int16_t x2, int16_t y2)
{
    Block b;
    if (!RectOnCanvas(canvas, x1, y1, x2, y2, b))
        return;
    for (int y = b.y; y < b.y + b.height; ++y)
        std::memset(PixelAt(canvas, b.x, y), colour, static_cast<std::size_t>(b.width));
}

void CanvasFillRectClipped(const Canvas& canvas, uint8_t colour, const ClipRect& clip, int16_t x1, int16_t y1,
                           int16_t x2, int16_t y2)
{
    Order(x1, x2);
    Order(y1, y2);
    if (x2 < clip.left || x1 > clip.right || y2 < clip.top || y1 > clip.bottom)
        return;
    CanvasFillRect(canvas, colour, std::max(x1, clip.left), std::max(y1, clip.top), std::min(x2, clip.right),
                   std::min(y2, clip.bottom));
}

void CanvasFillNoise(const Canvas& canvas, uint8_t colour, int16_t x1, int16_t y1, int16_t x2, int16_t y2)
{
    const uint32_t mask = CRand() % 7 == 6 ? 31 : 15;
    Block b;
    if (!RectOnCanvas(canvas, x1, y1, x2, y2, b))
        return;
    const uint32_t band = (colour + 16u) & 0xE0;
    for (int y = b.y; y < b.y + b.height; ++y) {
        uint8_t* row = PixelAt(canvas, b.x, y);
        for (int x = 0; x < b.width; ++x)
            row[x] = static_cast<uint8_t>((band | (mask & ShiftRegisterRandom())) - 16);
    }
}

void CanvasScramble(const Canvas& canvas, int32_t count, int16_t x1, int16_t y1, int16_t x2, int16_t y2)
{
    Block b;
    if (!RectOnCanvas(canvas, x1, y1, x2, y2, b))
        return;
    for (int32_t i = 0; i < count; ++i) {
        int ax = b.x + CRand() % b.width, ay = b.y + CRand() % b.height;
        int bx = b.x + CRand() % b.width, by = b.y + CRand() % b.height;
        std::swap(*PixelAt(canvas, ax, ay), *PixelAt(canvas, bx, by));
    }
}

void CanvasJitterRows(const Canvas& canvas, uint8_t strength, int16_t x1, int16_t y1, int16_t x2, int16_t y2)
{
    if (strength == 0)
        return;
    const int s = std::min<int>(strength, 10);
    Order(x1, x2);
    Order(y1, y2);
    // Inside the one-pixel border; the bottom row of that is left alone.
    int left = std::max(x1 + 1, 0), right = std::min(x2 - 1, canvas.rowLength - 1);
    int top = std::max(y1 + 1, 0), bottom = std::min(y2 - 1, canvas.height - 1);
    int width = right - left + 1;
    if (!canvas.pixels || width <= 1 || bottom - top + 1 <= 1)
        return;
    for (int y = top; y < bottom; ++y) {
        int shift = CRand() % s - s / 2;
        uint8_t* row = PixelAt(canvas, left, y);
        int n = std::abs(shift) % width;
        if (shift > 0)
            std::rotate(row, row + n, row + width);
        else if (shift < 0)
            std::rotate(row, row + width - n, row + width);
    }
}

// ---- image copies --------------------------------------------------------------------

namespace {

// Copies a width x height block of source rows at (x, y) of the canvas,
// clipped to the rectangle (already within the canvas).
void CopyBlock(const Canvas& canvas, const uint8_t* source, int sourcePitch, int width, int height, int x, int y,
               const ClipRect& clip)
{
    Block b;
    if (!canvas.pixels || !source || !PlaceBlock(x, y, width, height, clip, b))
        return;
    for (int row = 0; row < b.height; ++row)
        std::memcpy(PixelAt(canvas, b.x, b.y + row),
                    source + static_cast<std::ptrdiff_t>(b.fromY + row) * sourcePitch + b.fromX,
                    static_cast<std::size_t>(b.width));
}

// The part of a width x height block at (srcX, srcY) of the image and
// (dstX, dstY) of the canvas that lies on both.
bool PlaceOnBoth(const Canvas& canvas, const Canvas& image, int dstX, int dstY, int srcX, int srcY, int width,
                 int height, Block& b)
{
    if (!canvas.pixels || !image.pixels)
        return false;
    // Cut the block to the image first, moving the destination alike.
    int left = std::max(srcX, 0), top = std::max(srcY, 0);
    int right = std::min(srcX + width, static_cast<int>(image.rowLength));
    int bottom = std::min(srcY + height, static_cast<int>(image.height));
    if (left >= right || top >= bottom)
        return false;
    dstX += left - srcX;
    dstY += top - srcY;
    if (!PlaceBlock(dstX, dstY, right - left, bottom - top, CanvasBounds(canvas), b))
        return false;
    b.fromX += left;
    b.fromY += top;
    return true;
}

} // namespace

void CanvasBlit(const Canvas& canvas, const Bitmap& bitmap, int16_t x, int16_t y)
{
    CopyBlock(canvas, bitmap.pixels, bitmap.width, bitmap.width, bitmap.height, x, y, CanvasBounds(canvas));
}

void CanvasBlitClipped(const Canvas& canvas, const Bitmap& bitmap, const ClipRect& clip, int16_t x, int16_t y)
{
    CopyBlock(canvas, bitmap.pixels, bitmap.width, bitmap.width, bitmap.height, x - bitmap.xOffset,
              y - bitmap.yOffset, Intersect(clip, canvas));
}

void CanvasBlitKeyed(const Canvas& canvas, const Canvas& image, int16_t dstX, int16_t dstY, int16_t srcX,
                     int16_t srcY, int16_t width, int16_t height)
{
    Block b;
    if (!PlaceOnBoth(canvas, image, dstX, dstY, srcX, srcY, width, height, b))
        return;
    for (int row = 0; row < b.height; ++row) {
        const uint8_t* from = PixelAt(image, b.fromX, b.fromY + row);
        uint8_t* to = PixelAt(canvas, b.x, b.y + row);
        for (int i = 0; i < b.width; ++i) {
            if (from[i])
                to[i] = from[i];
        }
    }
}

void CanvasBlitShade(const Canvas& canvas, const Canvas& image, int16_t x, int16_t y, int16_t width,
                     int16_t height, uint8_t base)
{
    Block b;
    if (!PlaceOnBoth(canvas, image, x, y, x, y, width, height, b))
        return;
    for (int row = 0; row < b.height; ++row) {
        const uint8_t* from = PixelAt(image, b.fromX, b.fromY + row);
        uint8_t* to = PixelAt(canvas, b.x, b.y + row);
        for (int i = 0; i < b.width; ++i) {
            if (from[i]) {
                to[i] = from[i];
            } else {
                int n = to[i] > 15 ? to[i] - 16 : 0;
                to[i] = static_cast<uint8_t>(((n >> 1) & 15) + ((n >> 2) & 7) + base + 6);
            }
        }
    }
}

void CanvasGrab(Bitmap& bitmap, const Canvas& canvas, int16_t x, int16_t y)
{
    if (!bitmap.pixels)
        return;
    Canvas into = {bitmap.pixels, bitmap.width, bitmap.height};
    Block b;
    if (!PlaceOnBoth(into, canvas, 0, 0, x, y, bitmap.width, bitmap.height, b))
        return;
    for (int row = 0; row < b.height; ++row)
        std::memcpy(PixelAt(into, b.x, b.y + row), PixelAt(canvas, b.fromX, b.fromY + row),
                    static_cast<std::size_t>(b.width));
}

void CanvasCopyRect(const Canvas& dst, const Canvas& src, int16_t x, int16_t y, int16_t width, int16_t height)
{
    Block b;
    if (!PlaceOnBoth(dst, src, x, y, x, y, width, height, b))
        return;
    for (int row = 0; row < b.height; ++row)
        std::memcpy(PixelAt(dst, b.x, b.y + row), PixelAt(src, b.fromX, b.fromY + row),
                    static_cast<std::size_t>(b.width));
}

void ImageTo16Bit(const uint8_t* pixels, int16_t width, int16_t height, uint16_t* dst, int32_t dstPitch)
{
    if (!pixels || !dst || width <= 0 || height <= 0)
        return;
    auto* out = reinterpret_cast<uint8_t*>(dst);
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = pixels + static_cast<std::ptrdiff_t>(y) * width;
        auto* first = reinterpret_cast<uint16_t*>(out + static_cast<std::ptrdiff_t>(2 * y) * dstPitch);
        for (int x = 0; x < width; ++x)
            first[x] = static_cast<uint16_t>(from[x] * 257);
        std::memcpy(out + static_cast<std::ptrdiff_t>(2 * y + 1) * dstPitch, first,
                    static_cast<std::size_t>(width) * 2);
    }
}

// ---- run lists -------------------------------------------------------------------------

namespace {

// The header of a run list: the bitmap it describes and its size in bytes.
constexpr std::size_t kRunsBitmapAt = 0;
constexpr std::size_t kRunsSizeAt = sizeof(const Bitmap*);
constexpr std::size_t kRunsHeaderSize = kRunsSizeAt + sizeof(uint32_t);

void PutU16(uint8_t* at, uint16_t v)
{
    std::memcpy(at, &v, sizeof v);
}

uint16_t GetU16(const uint8_t* at)
{
    uint16_t v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

// Walks a bitmap's rows as runs: onRow(count) before each row's pairs, then
// onPair(skip, run) for each.
template <class Row, class Pair>
void ScanRuns(const Bitmap& bitmap, uint8_t key, Row onRow, Pair onPair)
{
    for (int y = 0; y < bitmap.height; ++y) {
        const uint8_t* row = bitmap.pixels + static_cast<std::ptrdiff_t>(y) * bitmap.width;
        int pairs = 0;
        for (int x = 0; x < bitmap.width;) {
            while (x < bitmap.width && row[x] == key)
                ++x;
            if (x == bitmap.width)
                break;
            while (x < bitmap.width && row[x] != key)
                ++x;
            ++pairs;
        }
        onRow(pairs);
        for (int x = 0; x < bitmap.width;) {
            int skip = 0, run = 0;
            while (x < bitmap.width && row[x] == key)
                ++x, ++skip;
            if (x == bitmap.width)
                break;
            while (x < bitmap.width && row[x] != key)
                ++x, ++run;
            onPair(skip, run);
        }
    }
}

// Calls draw(x, y, run, source) for each opaque run of rows 0 to height - 2,
// relative to the bitmap's top-left. Nothing when the list is not this
// bitmap's.
template <class Draw>
void WalkRuns(const Bitmap& bitmap, const uint8_t* runs, Draw draw)
{
    if (!runs || !bitmap.pixels)
        return;
    const Bitmap* owner;
    uint32_t size;
    std::memcpy(&owner, runs + kRunsBitmapAt, sizeof owner);
    std::memcpy(&size, runs + kRunsSizeAt, sizeof size);
    if (owner != &bitmap)
        return;
    std::size_t p = kRunsHeaderSize;
    for (int y = 0; y + 1 < bitmap.height; ++y) {
        if (p + 2 > size)
            return;
        int pairs = GetU16(runs + p);
        p += 2;
        int x = 0;
        for (int i = 0; i < pairs; ++i) {
            if (p + 4 > size)
                return;
            x += GetU16(runs + p);
            int run = GetU16(runs + p + 2);
            p += 4;
            if (x + run > bitmap.width)
                return;
            draw(x, y, run, bitmap.pixels + static_cast<std::ptrdiff_t>(y) * bitmap.width + x);
            x += run;
        }
    }
}

// Draws one run at (x, y) of the canvas within the rectangle: copied from
// the source, or filled with the colour when there is no source.
void DrawRun(const Canvas& canvas, int x, int y, int run, const uint8_t* source, int colour, const ClipRect& clip)
{
    if (y < clip.top || y > clip.bottom)
        return;
    int left = std::max<int>(x, clip.left), right = std::min<int>(x + run - 1, clip.right);
    if (left > right)
        return;
    if (source)
        std::memcpy(PixelAt(canvas, left, y), source + (left - x), static_cast<std::size_t>(right - left + 1));
    else
        std::memset(PixelAt(canvas, left, y), colour, static_cast<std::size_t>(right - left + 1));
}

void DrawSprite(const Canvas& canvas, const Bitmap& bitmap, int x, int y, const uint8_t* runs, int colour,
                bool silhouette, const ClipRect& clip)
{
    if (!canvas.pixels)
        return;
    const ClipRect within = Intersect(clip, canvas);
    const int left = x - bitmap.xOffset, top = y - bitmap.yOffset;
    WalkRuns(bitmap, runs, [&](int rx, int ry, int run, const uint8_t* source) {
        DrawRun(canvas, left + rx, top + ry, run, silhouette ? nullptr : source, colour, within);
    });
}

} // namespace

std::size_t SpriteRunsSize(const Bitmap& bitmap, uint8_t key)
{
    if (!bitmap.pixels || bitmap.width <= 0 || bitmap.height <= 0)
        return 0;
    std::size_t size = kRunsHeaderSize;
    ScanRuns(
        bitmap, key, [&](int) { size += 2; }, [&](int, int) { size += 4; });
    return size;
}

std::size_t SpriteBuildRuns(const Bitmap& bitmap, std::span<uint8_t> storage, uint8_t key)
{
    const std::size_t size = SpriteRunsSize(bitmap, key);
    if (size == 0 || size > storage.size() || size > UINT32_MAX) {
        if (storage.size() >= kRunsHeaderSize)
            std::memset(storage.data(), 0, kRunsHeaderSize); // belongs to no bitmap
        return 0;
    }
    uint8_t* out = storage.data();
    const Bitmap* owner = &bitmap;
    const auto size32 = static_cast<uint32_t>(size);
    std::memcpy(out + kRunsBitmapAt, &owner, sizeof owner);
    std::memcpy(out + kRunsSizeAt, &size32, sizeof size32);
    std::size_t p = kRunsHeaderSize;
    ScanRuns(
        bitmap, key, [&](int pairs) { PutU16(out + p, static_cast<uint16_t>(pairs)), p += 2; },
        [&](int skip, int run) {
            PutU16(out + p, static_cast<uint16_t>(skip));
            PutU16(out + p + 2, static_cast<uint16_t>(run));
            p += 4;
        });
    return size;
}

void SpriteDraw(const Canvas& canvas, const Bitmap& bitmap, int16_t x, int16_t y, const uint8_t* runs)
{
    DrawSprite(canvas, bitmap, x, y, runs, 0, false, CanvasBounds(canvas));
}

void SpriteDrawClipped(const Canvas& canvas, const Bitmap& bitmap, int16_t x, int16_t y, const uint8_t* runs,
                       const ClipRect& clip)
{
    DrawSprite(canvas, bitmap, x, y, runs, 0, false, clip);
}

void SpriteDrawSilhouette(const Canvas& canvas, const Bitmap& bitmap, uint8_t colour, int16_t x, int16_t y,
                          const uint8_t* runs)
{
    DrawSprite(canvas, bitmap, x, y, runs, colour, true, CanvasBounds(canvas));
}
