// The 2D canvas: software drawing on 8-bit palette-indexed surfaces.
//
// The screen while a frame is drawn, off-screen panels and images are all a
// Canvas: pixels (one palette index each), the row length in bytes and the
// height in rows. This module owns pixel plotting, fills and screen effects,
// image copies (opaque, keyed, clipped, through run lists), lines (plain,
// clipped, anti-aliased, ramp-blended), glow spots, rays and shaded
// triangles, the inverse colour table that turns a 24-bit colour into a
// palette index, and saving a canvas or the screen as PCX. Text drawing
// lives in system/text.h; the display back ends in system/display.h.
//
// Coordinates are x to the right and y downward. A ClipRect is inclusive on
// all four sides. Operations named "Clipped" also clip to their rectangle;
// every operation, clipped or not, clips to the canvas itself, so no
// coordinate, length or metric from data ever writes outside it.
//
// 24-bit colours are one 32-bit value: red in bits 0-7, green 8-15, blue
// 16-23.
#pragma once

#include "system/palette.h"
#include "system/raster.h"

#include <cstddef>
#include <cstdint>
#include <span>

struct Canvas {
    uint8_t* pixels;
    int16_t rowLength; // bytes a row; also the width
    int16_t height;
};

struct ClipRect {
    int16_t left, top, right, bottom; // inclusive
};

// The whole canvas as a clip rectangle.
ClipRect CanvasBounds(const Canvas& canvas);

// The screen canvas: the display's frame buffer for the frame being drawn
// (valid between DisplayLock and DisplayPresent). Null pixels before the
// display is open.
Canvas ScreenCanvas();

// ---- colour ----------------------------------------------------------------------

constexpr std::size_t kInverseColourTableSize = 65536;

// For every 5-bit red, 5-bit green and 6-bit blue, the nearest palette entry
// among 10 to 246 (the lowest index on a tie).
void BuildInverseColourTable(const PaletteEntry* palette, uint8_t* table);
// The table's index of a 24-bit colour.
constexpr uint32_t InverseColourIndex(uint32_t rgb)
{
    return ((rgb & 0xFF) >> 3) << 11 | (((rgb >> 8) & 0xFF) >> 3) << 6 | (((rgb >> 16) & 0xFF) >> 2);
}

// ---- pixels and fills --------------------------------------------------------------

// The screen row table: 1024 offsets of the screen's rows, built once the
// display is open.
constexpr int kRowTableRows = 1024;
void BuildRowTable();
void ScreenPlot(uint8_t colour, int16_t x, int16_t y);

void CanvasPlot(const Canvas& canvas, uint8_t colour, int16_t x, int16_t y);
void CanvasPlotClipped(const Canvas& canvas, uint8_t colour, int16_t x, int16_t y, const ClipRect& clip);
void CanvasPlotRGB(const Canvas& canvas, uint32_t rgb, const uint8_t* table, int16_t x, int16_t y);
void CanvasPlotRGBClipped(const Canvas& canvas, uint32_t rgb, const uint8_t* table, int16_t x, int16_t y,
                          const ClipRect& clip);
void CanvasClear(const Canvas& canvas, uint8_t colour);
// Corners in either order, both inclusive.
void CanvasFillRect(const Canvas& canvas, uint8_t colour, int16_t x1, int16_t y1, int16_t x2, int16_t y2);
void CanvasFillRectClipped(const Canvas& canvas, uint8_t colour, const ClipRect& clip, int16_t x1, int16_t y1,
                           int16_t x2, int16_t y2);
// Static: the colour's band of 32 with 4 (one call in seven 5) random low bits.
void CanvasFillNoise(const Canvas& canvas, uint8_t colour, int16_t x1, int16_t y1, int16_t x2, int16_t y2);
// Swaps `count` pairs of random pixels inside the rectangle.
void CanvasScramble(const Canvas& canvas, int32_t count, int16_t x1, int16_t y1, int16_t x2, int16_t y2);
// Interference: the rows inside the rectangle's one-pixel border each rotate
// by a random amount of up to strength / 2 (strength at most 10).
void CanvasJitterRows(const Canvas& canvas, uint8_t strength, int16_t x1, int16_t y1, int16_t x2, int16_t y2);

// ---- image copies --------------------------------------------------------------------

// Opaque copy with the top-left at (x, y); the hot spot is ignored.
void CanvasBlit(const Canvas& canvas, const Bitmap& bitmap, int16_t x, int16_t y);
// Opaque copy at (x, y) less the hot spot, clipped to the rectangle.
void CanvasBlitClipped(const Canvas& canvas, const Bitmap& bitmap, const ClipRect& clip, int16_t x, int16_t y);
// A width x height block of the image at (srcX, srcY) to (dstX, dstY),
// skipping source pixels of colour 0.
void CanvasBlitKeyed(const Canvas& canvas, const Canvas& image, int16_t dstX, int16_t dstY, int16_t srcX,
                     int16_t srcY, int16_t width, int16_t height);
// The same rectangle of both: non-zero source pixels are copied, and under
// zero ones the canvas is darkened into the band that starts at `base`.
void CanvasBlitShade(const Canvas& canvas, const Canvas& image, int16_t x, int16_t y, int16_t width,
                     int16_t height, uint8_t base);
// Copies the bitmap's width x height from the canvas at (x, y) into it.
void CanvasGrab(Bitmap& bitmap, const Canvas& canvas, int16_t x, int16_t y);
void CanvasCopyRect(const Canvas& dst, const Canvas& src, int16_t x, int16_t y, int16_t width, int16_t height);
// Each byte b becomes the 16-bit b x 257, each row written to two rows.
void ImageTo16Bit(const uint8_t* pixels, int16_t width, int16_t height, uint16_t* dst, int32_t dstPitch);

// ---- run lists (sprites) ------------------------------------------------------------------
//
// A run list describes a bitmap's opaque pixels row by row so that drawing
// skips the key colour without testing each pixel. In the caller's storage:
// a header (the bitmap it was built from, the list's size), then for each
// row a count of pairs (u16) and the pairs: pixels to skip (u16), opaque
// pixels (u16). A row's trailing key pixels are not listed.

// Bytes the run list of a bitmap needs.
std::size_t SpriteRunsSize(const Bitmap& bitmap, uint8_t key);
// Builds the run list into the storage; returns its size in bytes, or 0
// when the storage is too small (nothing usable is left in it then).
std::size_t SpriteBuildRuns(const Bitmap& bitmap, std::span<uint8_t> storage, uint8_t key);
// Draw rows 0 to height - 2 at (x, y) less the hot spot. Nothing when the
// run list was built from another bitmap.
void SpriteDraw(const Canvas& canvas, const Bitmap& bitmap, int16_t x, int16_t y, const uint8_t* runs);
void SpriteDrawClipped(const Canvas& canvas, const Bitmap& bitmap, int16_t x, int16_t y, const uint8_t* runs,
                       const ClipRect& clip);
void SpriteDrawSilhouette(const Canvas& canvas, const Bitmap& bitmap, uint8_t colour, int16_t x, int16_t y,
                          const uint8_t* runs);

// ---- lines ---------------------------------------------------------------------------------

// Bresenham line, both ends drawn.
void CanvasLine(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t colour);
void CanvasLineClipped(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t colour,
                       const ClipRect& clip);
// Anti-aliased line in a 24-bit colour through the inverse table.
void CanvasLineAA(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint32_t rgb,
                  const uint8_t* table);
void CanvasLineAAClipped(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, const ClipRect& clip,
                         uint32_t rgb, const uint8_t* table);
// Outcode clipping of a segment to the rectangle; false when it misses.
bool ClipLineToRect(int16_t& x1, int16_t& y1, int16_t& x2, int16_t& y2, const ClipRect& clip);

// ---- glow spots, rays and shaded triangles --------------------------------------------------
//
// These blend pixels through tables that the 3D presentation builds from the
// palette: 16 ramps x 16 levels x 256 colours (entry (r, l, c) is what a
// pixel of colour c becomes under level l of ramp r) and two glow maps of
// 128 x 128 levels. Until they are given, the blended operations draw nothing.

constexpr int kBlendRamps = 16;
constexpr int kBlendLevels = 16;
constexpr std::size_t kBlendTablesSize = kBlendRamps * kBlendLevels * 256;
constexpr int kGlowMapSize = 128;
struct GlowTables {
    const uint8_t* blend = nullptr;                  // kBlendTablesSize bytes
    const uint8_t* glowMaps[2] = {nullptr, nullptr}; // 128 x 128 each
};
extern GlowTables gGlowTables;
extern uint8_t gSpotsOff; // 255: spots draw nothing

constexpr int kJitterEntries = 800;
void BuildJitterTable();

void CanvasDrawSpot(const Canvas& canvas, int32_t brightness, uint8_t ramp, int32_t unused, int16_t x, int16_t y,
                    int16_t diameter, uint8_t rays, const ClipRect& clip);
void CanvasDrawRays(const Canvas& canvas, uint8_t ramp, int16_t x, int16_t y, int16_t diameter);
void CanvasRampLine(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t ramp);
void CanvasRampLineClipped(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t ramp,
                           const ClipRect& clip);
// A translucent triangle whose corners carry shades (blend levels); nothing
// unless all three corners lie on the canvas.
void CanvasDrawTriangle(const Canvas& canvas, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3,
                        int16_t shade1, int16_t shade2, int16_t shade3, uint8_t ramp);

// ---- saving ----------------------------------------------------------------------------------

// Writes the canvas as a PCX file with the palette of
// "zqk\resource\art\klvstd.pcx"; false when that or the write fails.
bool CanvasSavePcx(const Canvas& canvas, const char* fileName);
// Writes "zqk\resource\art\screens\tNNNNN.pcx" with the display's current
// palette, numbered after the highest screenshot already in the folder
// (earlier ones are never overwritten). Nothing when the folder's
// "header.pcx" cannot be loaded.
bool SaveScreenshot(const Canvas& screen);
// Writes the screen as a screenshot (the same header and palette) to the
// path given; false when the header cannot be loaded or the write fails.
bool SaveScreenshotAs(const Canvas& screen, const char* path);
// Forgets the header images and the screenshot number (tests).
void ResetCanvasSaving();
