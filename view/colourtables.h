// Colour ramps, translucency (blend) tables and flare images built from the
// palette: what the point effects and the canvas's glow spots draw through.
#pragma once

#include <cstdint>

// Bytes of one flare image (128 x 128 levels); two are kept.
constexpr int kFlareImageBytes = 128 * 128;

// The RGB-to-palette table that new emitters build their ramps from (65,536
// entries), or null while the palette has none: emitters then keep a zero ramp.
extern const uint8_t* gRampLookup;

// ramp[i], i = 0..31: the palette entry of colour 2 moved i/32 of the way to
// colour 1 (truncated), through the 65,536-entry lookup. Components are
// clamped to 0-255 first.
void BuildColourRamp(const uint8_t* lookup, uint8_t* ramp, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2,
                     int32_t b2);
// Four runs of 8 entries, each from colour k toward colour k + 1 (k = 0..3).
void BuildFiveColourRamp(const uint8_t* lookup, uint8_t* ramp, const int32_t colours[5][3]);
// The 16 tables of 16 levels of 256 entries (entry (t, l, c) at
// (t x 16 + l) x 256 + c) from a palette of 4 bytes a colour; then the flare
// noise and the flare images. The tables become the canvas's blend tables.
void BuildTranslucencyTables(uint8_t* tables, const uint8_t* palette);
// Loads flare pictures 0 and 4 into the two flare images and hands them to
// the canvas as its glow maps. A missing picture leaves its image 0, a
// smaller one the rest of it; each such case writes one debug line.
void LoadFlareImages();
