// Raster: the picture header of images and bitmap-font glyphs.
//
// A picture resource is one block: the header, then width x height pixels
// (one palette index each, row by row, width bytes a row). The pixel pointer
// normally points just behind the header; the shared backdrop's header points
// at the backdrop instead. The offsets place the picture relative to a point
// (the hot spot of a glyph or cursor).
//
// On disk (font files) the header is 12 bytes: a 4-byte pixel pointer slot
// written as 0, then width, height, x offset and y offset as little-endian
// i16. In memory the pointer is a real pointer, so the header is sizeof(Raster).
#pragma once

#include <cstddef>
#include <cstdint>

struct Raster {
    uint8_t* pixels;
    int16_t width;
    int16_t height;
    int16_t xOffset;
    int16_t yOffset;
};

// The 2D drawing code calls the same record a bitmap, with the offsets as its
// hot spot.
using Bitmap = Raster;

constexpr std::size_t kRasterFileHeaderSize = 12;

// Bytes a picture of w x h needs as one block: header then pixels.
constexpr std::size_t RasterBlockSize(std::size_t width, std::size_t height)
{
    return sizeof(Raster) + width * height;
}
