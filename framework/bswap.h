// Byte order: reversing the bytes of values and of blocks of elements, for
// the big-endian datafile form.
#pragma once

#include <cstdint>

uint32_t HxSwap32(uint32_t v);
uint16_t HxSwap16(uint16_t v);
float HxSwapFloat(float v);
// Reverses every element of `size` bytes in place; size 1 leaves the data.
void HxSwapBlock(void* block, uint32_t count, uint32_t size);
