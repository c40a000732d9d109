// A small universe for the world tests: a body table from csv text and a
// few named stars at the front of the catalogue, with the star map set up.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "system/gamemath.h"

namespace worldtest {

struct TestStar {
    const char* name;
    uint8_t system;
    int32_t flags;
    Vector3 position;
};

// Forgets any universe, reads the csv, fills in the bodies, puts the stars
// first in a full catalogue and sets up the star map; the universe then
// counts as created.
void LoadTestUniverse(const char* csv, std::initializer_list<TestStar> stars);

} // namespace worldtest
