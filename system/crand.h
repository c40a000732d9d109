// The classic C library's 15-bit linear congruential generator, our own copy,
// so that every run with the same seed draws the same numbers on any machine.
// Used wherever the game draws "a random number" outside the world's own
// shift-register generator. Never std::rand.
#pragma once

#include <cstdint>

constexpr int kCRandMax = 32767;

void CRandSeed(uint32_t seed);
int CRand(); // 0 .. kCRandMax
