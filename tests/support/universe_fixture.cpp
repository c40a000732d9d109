// See universe_fixture.h.
#include "tests/support/universe_fixture.h"

#include <cstdio>
#include <cstring>

#include "world/starmap.h"
#include "world/universe.h"

namespace worldtest {

void LoadTestUniverse(const char* csv, std::initializer_list<TestStar> stars)
{
    ResetUniverse();
    ParsePlanetarySystems(csv, std::strlen(csv));
    FinishBodies();
    int i = 0;
    for (const TestStar& s : stars) {
        Star& star = gStars[i++];
        std::snprintf(star.name, sizeof star.name, "%s", s.name);
        star.namePointer = star.name;
        star.system = s.system;
        star.flags = s.flags;
        star.position = s.position;
    }
    gStarsLoaded = kStarCount;
    gNamedStarCount = i;
    SetUpStarMap();
    gUniverseCreated = 255;
}

} // namespace worldtest
