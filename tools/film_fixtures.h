// Test films made with our own Smacker writer: small, readable patterns
// whose every pixel and palette entry a test can work out again.
//
// A frame has three bands: the top quarter never changes (skip blocks after
// frame 0), the rest of the left half changes every frame in every pixel
// (full blocks), the right half is one colour per 4 x 4 block (fills). With
// holes, every third block is colour 0 (transparent clips).
#pragma once

#include "tools/smacker_writer.h"

namespace smk {

// Palette 0: entry i = (i, 255 - i, 3i); palette 1: (255 - i, i, 128).
Palette FixturePalette(int variant);
uint8_t FixturePixel(int frame, int x, int y, int width, int height, bool holes);

struct FixtureShape {
    int width = 64;
    int height = 32;
    int frames = 4;
    int paletteChangeFrame = -1; // frame that carries palette 1 (-1: none)
    uint32_t audioRate = 0;      // 0: no audio; else a tone of 1/10 s a frame
    bool holes = false;
    int32_t frameTime = 10000; // 10 us units
};
Film MakeFixtureFilm(const FixtureShape& shape);
// The audio sample n of a fixture film (a square wave).
int16_t FixtureSample(int n);

} // namespace smk
