// The demo corvette's engineering schematic: one flat line shape per ship
// system, a plan of the ship seen from above in map units (x along the
// ship, bow at +x; y across, port at -y). Each outline is one closed
// polygon of the LightWave object; the wireframe loader turns (x, y, z)
// into (-z, x), so a map point (mx, my) is written as the point (my, 0, -mx).
//
// lwobmake writes them beside the ships ("SCH_*.lwo"); the panel tests
// write the same shapes into their own data folders.
#pragma once

#include "tools/lwob_writer.h"

#include <utility>
#include <vector>

namespace schematic {

using Outline = std::vector<std::pair<float, float>>;

struct SystemShape {
    const char* file;   // under zqk\resource\shapes
    const char* system; // the ship system's English name
    int16_t layer;      // the engineering layer it belongs to
    std::vector<Outline> outlines;
};

inline Outline Box(float x1, float y1, float x2, float y2)
{
    return {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}};
}

inline std::vector<SystemShape> Corvette()
{
    return {
        {"SCH_Hull.lwo", "HULL ARMOUR", 1, {{{-120, -30}, {80, -30}, {120, 0}, {80, 30}, {-120, 30}}}},
        {"SCH_Ring.lwo", "RING", 2, {Box(-48, -18, -2, 18)}},
        {"SCH_Reactor.lwo", "REACTOR", 2, {Box(-40, -12, -10, 12)}},
        {"SCH_Coolant.lwo", "COOLANT SYS", 4, {Box(-70, -20, -58, -10), Box(-70, 10, -58, 20)}},
        {"SCH_LdsDrive.lwo", "LDS DRIVE", 8, {Box(-100, -6, -80, 6)}},
        {"SCH_MainThrs.lwo", "MAIN THRS", 8, {{{-120, -12}, {-106, -6}, {-106, 6}, {-120, 12}}}},
        {"SCH_FwdPbc.lwo", "FWD PBC", 16, {{{60, -4}, {90, -2}, {90, 2}, {60, 4}}}},
        {"SCH_AftPbc.lwo", "AFT PBC", 16, {Box(-95, -26, -80, -20)}},
        {"SCH_PortMag.lwo", "PORT MAG", 16, {Box(20, -28, 40, -22)}},
        {"SCH_StbdMag.lwo", "STBD MAG", 16, {Box(20, 22, 40, 28)}},
    };
}

// The object of one system's shape: a polygon per outline.
inline lwob::Object Object(const SystemShape& shape)
{
    lwob::Object object;
    const int16_t surface = object.AddSurface({"Line", {lwob::Colour(80, 220, 80)}});
    for (const Outline& outline : shape.outlines) {
        lwob::Polygon polygon{{}, surface};
        for (auto [x, y] : outline)
            polygon.points.push_back(object.Point(y, 0, -x));
        object.polygons.push_back(std::move(polygon));
    }
    return object;
}

} // namespace schematic
