// The classic 15-bit linear congruential generator. See crand.h.
#include "system/crand.h"

namespace {
uint32_t gState = 1;
}

void CRandSeed(uint32_t seed)
{
    gState = seed;
}

int CRand()
{
    gState = gState * 214013u + 2531011u;
    return static_cast<int>((gState >> 16) & 0x7fff);
}
