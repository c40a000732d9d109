// universe: writes the demo star catalogue "stars.bin" through SaveStars.
//
//   universe [output]        (default data/zqk/resource/geog/stars.bin)
//
// The catalogue is made here, deterministically: star 0 ("Sol", system 1)
// at the origin, the stars of systems 2 to 26 next, then more named stars,
// then unnamed ones out to the edge of the map; named stars come first, as
// travel looks stars up among the named ones. The body table beside it
// (excelrichsys.csv) is written by hand.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "system/crand.h"
#include "world/universe.h"

namespace {

// The stars that carry the planetary systems 1..26.
// clang-format off
constexpr const char* kSystemStars[26] = {
    "Sol",     "Tarsis",   "Mirabel", "Quillon", "Ossary",  "Dunmere", "Halvek",
    "Perrow",  "Istra",    "Calden",  "Vorune",  "Brisk",   "Tamsin",  "Orlet",
    "Keswar",  "Nadir",    "Juttan",  "Lowen",   "Serrat",  "Eddow",   "Corvane",
    "Falmouth", "Greave",  "Hollin",  "Mardeck", "Ashkelar",
};
// clang-format on
// Named stars without a system.
// clang-format off
constexpr const char* kOtherStars[] = {
    "Albrecht", "Bellweth", "Castor Minor", "Drennan", "Evander", "Fennick", "Garrow",
    "Hesper",   "Imber",    "Jessamy",      "Kettle",  "Lanyard", "Morrow",  "Nettle",
    "Oriel",    "Pallas",   "Quarrel",      "Rooke",   "Sable",   "Thorne",
};
// clang-format on

float Uniform(float low, float high) { return low + (high - low) * (CRand() / 32767.0f); }

void SetName(Star& star, const char* name) { std::snprintf(star.name, sizeof star.name, "%s", name); }

// A point at a distance from the origin in a random direction.
Vector3 Place(float distance)
{
    Vector3 v;
    float length;
    do {
        v = {Uniform(-1, 1), Uniform(-0.3f, 0.3f), Uniform(-1, 1)};
        length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    } while (length < 0.05f);
    return {v.x / length * distance, v.y / length * distance, v.z / length * distance};
}

} // namespace

int main(int argc, char** argv)
{
    const char* output = argc > 1 ? argv[1] : "data/zqk/resource/geog/stars.bin";
    CRandSeed(1997);
    int n = 0;
    for (int s = 0; s < 26; ++s) {
        Star& star = gStars[n++];
        SetName(star, kSystemStars[s]);
        star.system = static_cast<uint8_t>(s + 1);
        star.position = s == 0 ? Vector3{0, 0, 0} : Place(Uniform(4e16f, 6e17f));
        star.magnitude = Uniform(0, 8);
        star.catalogueValue = Uniform(0, 21);
        star.flags = kStarHasSystem;
    }
    for (const char* name : kOtherStars) {
        Star& star = gStars[n++];
        SetName(star, name);
        star.position = Place(Uniform(1e17f, 8e17f));
        star.magnitude = Uniform(2, 11);
        star.catalogueValue = Uniform(0, 21);
    }
    while (n < kStarCount) {
        Star& star = gStars[n++];
        star.position = Place(Uniform(2e16f, 1.2e18f));
        star.magnitude = Uniform(4, 16);
        star.catalogueValue = Uniform(-2, 21);
    }
    for (int i = 0; i < kStarCount; ++i) {
        Star& star = gStars[i];
        const float d = std::sqrt(star.position.x * star.position.x + star.position.y * star.position.y +
                                  star.position.z * star.position.z);
        if (d < 3e17f)
            star.flags |= kStarNear;
        if (i > 0 && star.magnitude > 12)
            star.flags |= kStarFaint;
    }
    gStarsLoaded = kStarCount;
    if (!SaveStars(output)) {
        std::fprintf(stderr, "universe: could not write %s\n", output);
        return 1;
    }
    std::printf("universe: %d stars written to %s\n", kStarCount, output);
    return 0;
}
