// The rasteriser: triangles, lines and points in screen space, drawn with
// span loops chosen once per group of faces (one specialised loop for each
// combination of output type, depth type, shading, texturing and effects,
// so no loop branches per pixel on the material's state).
//
// Coverage: a pixel is drawn when its centre lies inside the triangle; a
// centre exactly on an edge belongs to the triangle for which that edge is
// a left or a top edge (the top-left rule), so triangles sharing an edge
// draw each pixel along it exactly once. Vertex positions are snapped to
// 1/16 pixel; coverage is decided with exact integer arithmetic (edge
// functions for small triangles, edge walking for larger ones).
#pragma once

#include <cstdint>

#include "framework/drivers/softrend/sr_state.h"

namespace softrend {

// A vertex on the screen. x, y are in the framework's screen coordinates
// (pixel i covers [i, i+1)); z is the depth-buffer value as a real
// (screen Z x 65536 + 0x80000000); q = 1/w. c holds the colour: for 8-bit
// output c[0] is the ramp offset (index - base) or the shade-table row, for
// 16-bit output c[0..2] are red, green and blue 0-255. u, v are in texels
// (already divided by w for perspective textures, as is q's own role);
// fog is 0 (none) to 1 (all fog).
struct ScreenVertex {
    float x, y;
    double z;
    float q;
    float c[3];
    float u, v;
    float fog;
};

enum class OutKind : uint8_t {
    Index8,
    Rgb565,
    Rgb555
};
enum class DepthKind : uint8_t {
    None,
    D16,
    D32
};
enum class TexKind : uint8_t {
    None,
    Affine,
    Perspective
};

// Effects: bits of SpanKey::effects.
enum : uint8_t {
    kFxDoor = 1,
    kFxFog = 2,
    kFxBlend = 4
};

struct SpanKey {
    OutKind out;
    DepthKind depth;
    bool smooth;
    TexKind tex;
    bool ztransparency;
    bool linear; // 16-bit textures: texels interpolated between the four nearest
    uint8_t effects;
};

// The ordered-dither thresholds (0-15) of a 4 x 4 block of pixels, [row][column].
inline constexpr uint8_t kOrderedDither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

struct DrawSetup;
struct Triangle;
struct Snapped;
// The values at a span's first pixel: depth, colour, texture (affine) and
// fog in the spans' fixed point (16.16; depth as the buffer value).
struct SpanStart {
    uint32_t z;
    int32_t c[3];
    int32_t u, v, fog;
};
// Their steps from one pixel to the next along a row.
struct Steps {
    int32_t z, c[3], u, v, fog;
};
using SpanFn = void (*)(const DrawSetup& s, const Triangle& t, int y, int x0, int x1, const SpanStart& at);
// A triangle small enough for the edge functions' 32 bits, corners given
// snapped, with its doubled signed area and its box of pixel centres.
using SmallFn = void (*)(const DrawSetup& s, const Snapped* corners, int32_t area, int x0, int x1, int y0, int y1);

// Everything the span loops read, fixed for a group of faces.
struct DrawSetup {
    SpanKey key;
    SpanFn span;     // the key's span loop
    SmallFn small;   // and its loop for small triangles
    uint8_t* colour; // pixel (0, 0) of the colour pixelmap
    intptr_t colourStride;
    uint8_t* depth; // pixel (0, 0) of the depth pixelmap, or null
    intptr_t depthStride;
    int width, height;
    // 8-bit: the ramp's base; the flat colour of flat untextured spans.
    int indexBase;
    // Texture: indices or RGB words, padded sizes as shifts; u and v are
    // clamped to [lo, hi] (16.16 texels) before wrapping, which for WRAP is
    // no clamp at all.
    const uint8_t* texIndex;
    const uint32_t* texRgb;
    int texWidthShift, texHeightShift;
    int32_t uLo, uHi, vLo, vHi;
    const uint8_t* shade; // rows of 256
    int shadeRows;
    const uint8_t* blend;    // 256 x 256: [source][destination]
    const uint8_t* fogTable; // rows of 256
    int fogRows;
    const uint8_t* door;
    int doorWidth, doorHeight;
    int alpha;          // opacity 0-256 for 16-bit blending
    uint32_t fogColour; // 0xRRGGBB
    // Ordered dithering of the colour: the 8-bit level between ramp entries
    // or shade rows, the 16-bit channels before they lose their low bits.
    bool ditherColour;
    // Ordered dithering of the map: each pixel's texel looked up up to half
    // a texel away, which at a distance blends neighbouring texels as the
    // eye sees them (an interpolation that needs no blending of indices).
    bool ditherMap;
    BoundsPart* bounds; // accumulates the drawn rectangle, or null
};

// The per-triangle planes the span loops evaluate: value(x, y) = a + dx x +
// dy y at pixel centres (x, y integers).
struct Plane {
    double a, dx, dy;
    double At(int x, int y) const { return a + dx * x + dy * y; }
};
struct Triangle {
    Plane z, c[3], u, v, q, fog;
    // The planes' steps along x in the spans' fixed point, once a triangle.
    Steps d;
};

// Sets the set-up's loops from its key.
void SelectLoops(DrawSetup* s);

void DrawTriangle(const DrawSetup& s, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c);
// A line with both ends drawn; colour and depth interpolated.
void DrawLine(const DrawSetup& s, const ScreenVertex& a, const ScreenVertex& b);
void DrawPoint(const DrawSetup& s, const ScreenVertex& a);

} // namespace softrend
