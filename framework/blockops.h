// Block fill and copy loops: the innermost pixel loops of memory pixelmaps.
// They take raw addresses, strides in bytes and a pixel size of 1 to 4 bytes
// and know nothing of pixelmap records; the memory device computes the
// addresses and chooses the loop. A colour is a u32 whose low 1-4 bytes are
// the pixel, stored least significant byte first. A pixel size outside 1-4
// writes nothing (sub-byte and odd pixel types have no block loops).
#pragma once

#include <cstddef>
#include <cstdint>

// The qualifier that goes with pixel addresses. Memory is flat here, so it is
// one constant and the loops need none.
uint32_t HxBlockDataSegment();

// Writes the pixel (inline: the line and bit loops call it per pixel).
inline void HxBlockPixelSet(void* address, int bytes, uint32_t colour)
{
    auto* p = static_cast<uint8_t*>(address);
    switch (bytes) {
    case 4:
        p[3] = uint8_t(colour >> 24);
        [[fallthrough]];
    case 3:
        p[2] = uint8_t(colour >> 16);
        [[fallthrough]];
    case 2:
        p[1] = uint8_t(colour >> 8);
        [[fallthrough]];
    case 1:
        p[0] = uint8_t(colour);
        break;
    default:
        break;
    }
}
// The pixel's value, zero-extended; 0 for a size outside 1-4.
uint32_t HxBlockPixelGet(const void* address, int bytes);

// n consecutive pixels get the colour.
void HxBlockFillRun(void* address, size_t n, int bytes, uint32_t colour);
// height rows of width pixels, rows `stride` bytes apart (negative: upwards).
void HxBlockFillRect(void* address, uint32_t width, uint32_t height, ptrdiff_t stride, int bytes,
                     uint32_t colour);

// Copies n pixels; source and destination may overlap.
void HxBlockCopyRun(void* to, const void* from, size_t n, int bytes);
// Copies height rows of width pixels. When the two rectangles lie in one
// block and overlap, the rows are taken in the order that reads each source
// row before it is overwritten.
void HxBlockCopyRect(void* to, const void* from, uint32_t width, uint32_t height, ptrdiff_t toStride,
                     ptrdiff_t fromStride, int bytes);

// For each of `rows` bit rows, bits firstBit .. endBit-1 (most significant
// bit of each byte first) select the pixels that get the colour: pixel k of
// the destination row goes with bit firstBit + k. Clear bits leave pixels
// alone.
void HxBlockCopyBits(void* to, ptrdiff_t toStride, const uint8_t* bits, ptrdiff_t bitsStride, uint32_t firstBit,
                     uint32_t endBit, uint32_t rows, int bytes, uint32_t colour);
