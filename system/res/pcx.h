// PCX pictures: 8-bit, one plane, run-length coded, with a 256-colour
// palette in the last 768 bytes of the file behind the marker byte 12.
//
// Header (128 bytes, little-endian): 0 manufacturer (10), 1 version,
// 2 encoding (1), 3 bits per pixel, 4/6/8/10 window xmin, ymin, xmax, ymax,
// 12/14 resolution, 16 EGA palette (48 bytes), 64 reserved, 65 planes,
// 66 bytes per line, 68 palette info, 70/72 screen size, 74 filler.
// Body: a byte with both top bits set gives a count (its low 6 bits) for the
// byte that follows; any other byte is one pixel. Rows are bytes-per-line
// long; pixels past the width are padding.
#pragma once

#include "system/palette.h"

#include <cstdint>
#include <span>
#include <vector>

constexpr std::size_t kPcxHeaderSize = 128;
constexpr std::size_t kPcxPaletteSize = 768;
constexpr uint8_t kPcxManufacturer = 10;
constexpr uint8_t kPcxVersion = 5; // the version with a 256-colour palette
constexpr uint8_t kPcxEncodingRle = 1;
constexpr uint8_t kPcxPaletteMarker = 12; // the byte just before the palette

struct PcxInfo {
    int width;
    int height;
    int bytesPerLine; // at least the width
};

// Reads the picture size from a file's header; false when the header is
// short, the window is empty, or the picture is not what the decoder reads
// (manufacturer 10, version 5, encoding 1, 8 bits, 1 plane, bytes per line
// at least the width).
bool PcxReadInfo(std::span<const uint8_t> file, PcxInfo* info);

// Decodes the body into `pixels`, clipped to dstWidth x dstHeight with rows
// `stride` bytes apart. A body that ends early leaves the rest as it was.
// Returns the offset just after the last body byte consumed.
std::size_t PcxDecodeBody(std::span<const uint8_t> file, const PcxInfo& info, uint8_t* pixels,
                          int stride, int dstWidth, int dstHeight);

// True when the file ends in a palette: 768 bytes behind the marker byte 12.
bool PcxHasPalette(std::span<const uint8_t> file);

// Copies the palette at the end of the file into a game palette (red, green,
// blue; the spare byte is left). False when the file has none.
bool PcxReadPalette(std::span<const uint8_t> file, GamePalette* palette);

// Appends one row packed with the PCX run-length coding.
void PcxPackRow(const uint8_t* row, int width, std::vector<uint8_t>& out);

// A PCX picture held whole in memory, for screenshots, saved canvases and tools.
enum PcxImageFlags : uint32_t {
    kPcxFromPixels = 1,    // made from pixels rather than loaded
    kPcxPacked = 2,        // the body is kept run-length coded
    kPcxCallerPalette = 4, // the palette belongs to the caller
};

struct PcxImage {
    uint8_t header[kPcxHeaderSize];
    uint32_t flags;
    int32_t width;
    int32_t height;
    int32_t bodySize; // bytes in `pixels`
    uint8_t* pixels;
    uint8_t* palette; // 768 bytes of red, green, blue
    uint8_t keptByte; // the byte before the palette in the file (12); saves write 12
};

// The largest side a PcxImage may have: its window is saved as 16-bit
// signed words from 0.
constexpr int kPcxImageMaxSide = 0x8000;

PcxImage* PcxLoad(const char* path);
bool PcxSave(const char* path, const PcxImage* image);
PcxImage* PcxCopy(const PcxImage* image);
PcxImage* PcxFromPixels(const PcxImage* templ, uint32_t flags, const uint8_t* pixels, int width,
                        int height, uint8_t* palette);
void PcxFree(PcxImage* image);
