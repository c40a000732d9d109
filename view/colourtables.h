// Colour ramps and translucency tables built from the palette.
#pragma once

#include <cstdint>

void BuildColourRamp(const uint8_t* lookup, uint8_t* ramp, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2);
void BuildTranslucencyTables(uint8_t* tables, const uint8_t* palette);
