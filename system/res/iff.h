// IFF "PBM " pictures (.bbm): 8-bit chunky pictures with their palette.
//
// "FORM", a 4-byte length, "PBM ", then chunks: a 4-byte id, a length taken
// from bytes 5 to 7 as a 24-bit big-endian number (byte 4 is ignored), and a
// body padded to an even length. Chunks read: "BMHD" (width at 0, height at 2,
// both big-endian; compression at 10), "BODY" (rows padded to an even width,
// uncompressed or ByteRun1), "GRAB" (x and y offsets at 0 and 2), "CMAP"
// (256 red, green, blue triples). Others are skipped.
#pragma once

#include "system/palette.h"

#include <cstdint>
#include <span>
#include <vector>

struct IffPicture {
    int width = 0;
    int height = 0;
    int xOffset = 0;
    int yOffset = 0;
    bool hasBody = false;
    bool hasPalette = false;
};

// Parses a PBM file. With non-empty `pixels` the body is decoded there
// (width x height bytes; it must fit); with `palette` the CMAP is copied into
// it. False for anything that is not a well-formed PBM picture.
bool IffParse(std::span<const uint8_t> file, IffPicture* picture, std::span<uint8_t> pixels,
              GamePalette* palette);

// Writes a PBM file: BMHD, GRAB, CMAP (when a palette is given), BODY packed
// with ByteRun1 when `compress`. For tools and test fixtures.
std::vector<uint8_t> IffBuildPbm(const uint8_t* pixels, int width, int height, int xOffset,
                                 int yOffset, const GamePalette* palette, bool compress);
