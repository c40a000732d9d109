// Fuzz target: the planetary-system body table (excelrichsys.csv) and the
// values made up for what it leaves out.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "world/universe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const int count = ParsePlanetarySystems(reinterpret_cast<const char*>(data), size);
    if (count < 0 || count > kMaxBodies || count != gBodyCount)
        __builtin_trap();
    FinishBodies();
    for (int i = 0; i < gBodyCount; ++i) {
        const SystemBody& b = gBodies[i];
        if (std::memchr(b.name, 0, kBodyFieldSize) == nullptr)
            __builtin_trap(); // every name is terminated
        for (const SystemBody* p = b.parent; p; p = p->parent)
            if (p < gBodies || p >= gBodies + gBodyCount)
                __builtin_trap();
        // Orbits are computed without faults, whatever the values.
        const WorldPosition w = BodyOrbitalPosition(&b, 12.5, 10);
        (void)w;
        (void)FindBody(1, b.name);
    }
    (void)LookUpBodyName("7");
    return 0;
}
