// lwobmake: writes the demo data's LightWave objects, or the seeds of the
// LightWave fuzz target, with our own LWOB writer (lwob_writer.h).
//
//   lwobmake <data root>        the shapes under <root>/zqk/resource/shapes
//   lwobmake --seeds <folder>   small objects, one a file
//
// The shapes are built in code from boxes, prisms and bumped spheres; the
// bumps come from the seeded 15-bit generator, so every run writes the same
// bytes.
#include "system/crand.h"
#include "tools/lwob_writer.h"
#include "tools/schematic_shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using lwob::Object;
using lwob::Surface;

bool Save(const std::filesystem::path& path, const Object& object)
{
    std::vector<uint8_t> bytes = lwob::Write(object);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// The surfaces the demo ships share.
Surface Hull() { return {"Hull", {lwob::Colour(150, 150, 160), lwob::U16("FLAG", 4), lwob::Float("SMAN", 0.9f), lwob::U16("GLOS", 0x40)}}; }
Surface Trim(uint8_t r, uint8_t g, uint8_t b) { return {"Trim", {lwob::Colour(r, g, b), lwob::U16("GLOS", 0x10)}}; }
Surface Engine() { return {"Engine", {lwob::Colour(255, 140, 40), lwob::U16("LUMI", 220)}}; }
Surface Window() { return {"Window", {lwob::Colour(60, 60, 220), lwob::U16("LUMI", 160)}}; }

// A sphere of rings and segments, each point pushed out or in by up to
// `bump` of the radius.
void AddBumpySphere(Object& o, float radius, float bump, int rings, int segments, int16_t surface)
{
    constexpr float kPi = 3.14159265f;
    uint16_t top = o.Point(0, radius, 0);
    uint16_t first = static_cast<uint16_t>(o.points.size());
    for (int r = 1; r < rings; ++r) {
        float lat = kPi * static_cast<float>(r) / static_cast<float>(rings);
        for (int s = 0; s < segments; ++s) {
            float lon = 2 * kPi * static_cast<float>(s) / static_cast<float>(segments);
            float k = radius * (1.0f + bump * (static_cast<float>(CRand() % 201) / 100.0f - 1.0f));
            o.Point(k * std::sin(lat) * std::cos(lon), k * std::cos(lat), k * std::sin(lat) * std::sin(lon));
        }
    }
    uint16_t bottom = o.Point(0, -radius, 0);
    auto at = [&](int r, int s) { return static_cast<uint16_t>(first + (r - 1) * segments + (s % segments)); };
    for (int s = 0; s < segments; ++s) {
        o.polygons.push_back({{top, at(1, s + 1), at(1, s)}, surface});
        o.polygons.push_back({{bottom, at(rings - 1, s), at(rings - 1, s + 1)}, surface});
        for (int r = 1; r + 1 < rings; ++r)
            o.polygons.push_back({{at(r, s), at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)}, surface});
    }
}

// A box-shaped collision part: its surface names what it is.
void AddHullBox(Object& boxes, const char* name, std::array<float, 3> lo, std::array<float, 3> hi)
{
    lwob::AddBox(boxes, lo, hi, boxes.AddSurface({name, {}}));
}

// The far (reduced) model of a ship: one box over its extent in its hull
// surface, drawn in place of the full model at a distance.
void LowDetail(const std::filesystem::path& dir, const char* name, std::array<float, 3> lo, std::array<float, 3> hi)
{
    Object low;
    lwob::AddBox(low, lo, hi, low.AddSurface(Hull()));
    Save(dir / name, low);
}

// The player's corvette: a long hull, a bridge, two engine pods, a weapon
// assembly on its back. Its boxes name the ship systems they hold.
void Corvette(const std::filesystem::path& dir)
{
    Object ship;
    int16_t hull = ship.AddSurface(Hull());
    int16_t trim = ship.AddSurface(Trim(90, 90, 110));
    int16_t engine = ship.AddSurface(Engine());
    int16_t window = ship.AddSurface(Window());
    lwob::AddProfile(ship, 8, -30, 5, 20, 3, hull, 0.6f);
    lwob::AddProfile(ship, 8, 20, 3, 32, 0, hull, 0.6f);
    lwob::AddBox(ship, {-3, 2, 8}, {3, 5, 18}, trim);
    lwob::AddBox(ship, {-2, 3.5f, 17}, {2, 4.5f, 18.5f}, window);
    lwob::AddProfile(ship, 6, -34, 2.5f, -20, 2.5f, trim);
    for (float x : {-8.0f, 8.0f}) {
        lwob::AddBox(ship, {x - 2, -2, -32}, {x + 2, 2, -16}, trim);
        lwob::AddBox(ship, {x - 1.5f, -1.5f, -33}, {x + 1.5f, 1.5f, -32}, engine);
    }
    Save(dir / "CorvAsm.lwo", ship);

    Object boxes;
    AddHullBox(boxes, "hull", {-5, -3, -30}, {5, 3, 32});
    AddHullBox(boxes, "SYS_1", {-3, 2, 8}, {3, 5, 18});           // the bridge
    AddHullBox(boxes, "SYS_2", {-10, -2, -32}, {-6, 2, -16});     // the port engine
    AddHullBox(boxes, "SYS_3", {6, -2.5f, -33}, {10, 2.5f, -15}); // the starboard engine
    AddHullBox(boxes, "SYS_4", {-4, 3, -10}, {4, 6, 2});          // the weapon assembly
    AddHullBox(boxes, "NEG_bay", {-2, -3, -5}, {2, -1, 5});       // the open bay under the hull
    Save(dir / "CorvAsm_BOX.lwo", boxes);
    LowDetail(dir, "CorvAsm_LOW.lwo", {-10, -3, -34}, {10, 5, 32});

    Object weapons;
    int16_t wtrim = weapons.AddSurface(Trim(110, 110, 120));
    lwob::AddBox(weapons, {-4, 3, -10}, {4, 6, 2}, wtrim);
    Save(dir / "CorvAsm_WEP.lwo", weapons);

    // The eight mount meshes: a barrel (PBC) or a launcher (MAG) on either
    // side, each also in its recoiled form (R).
    for (const char* side : {"Rt", "Lf"})
        for (const char* kind : {"PBC", "MAG"})
            for (bool recoiled : {false, true}) {
                Object mount;
                int16_t s = mount.AddSurface(Trim(120, 120, 130));
                float x = std::strcmp(side, "Rt") == 0 ? 3 : -3;
                float back = recoiled ? -1.0f : 0.0f;
                if (std::strcmp(kind, "PBC") == 0)
                    lwob::AddProfile(mount, 6, back, 0.4f, back + 6, 0.3f, s);
                else
                    lwob::AddBox(mount, {-0.8f, -0.8f, back}, {0.8f, 0.8f, back + 3}, s);
                for (auto& p : mount.points)
                    p[0] += x;
                char name[40];
                std::snprintf(name, sizeof name, "WEP_%s%s%s.lwo", side, kind, recoiled ? "R" : "");
                Save(dir / name, mount);
            }

    // After separation: the hull without its head, and the command section.
    Object head;
    int16_t hhull = head.AddSurface(Hull());
    lwob::AddProfile(head, 8, -30, 5, 8, 4, hhull, 0.6f);
    for (float x : {-8.0f, 8.0f})
        lwob::AddBox(head, {x - 2, -2, -32}, {x + 2, 2, -16}, hhull);
    Save(dir / "corvasm_sanshead.lwo", head);
    Object headBoxes;
    AddHullBox(headBoxes, "hull", {-5, -3, -30}, {5, 3, 8});
    Save(dir / "corvasm_sanshead_BOX.lwo", headBoxes);

    Object command;
    int16_t chull = command.AddSurface(Hull());
    int16_t cwin = command.AddSurface(Window());
    lwob::AddProfile(command, 8, 8, 4, 32, 0, chull, 0.6f);
    lwob::AddBox(command, {-2, 2, 17}, {2, 4, 18.5f}, cwin);
    Save(dir / "command_rto.lwo", command);
    Object commandBoxes;
    AddHullBox(commandBoxes, "hull", {-4, -3, 8}, {4, 4, 32});
    Save(dir / "command_rto_BOX.lwo", commandBoxes);
}

void OtherShips(const std::filesystem::path& dir)
{
    Object fighter;
    int16_t hull = fighter.AddSurface(Hull());
    int16_t engine = fighter.AddSurface(Engine());
    lwob::AddProfile(fighter, 6, -6, 1.5f, 8, 0, hull);
    lwob::AddBox(fighter, {-9, -0.3f, -5}, {9, 0.3f, 1}, hull); // the wings
    lwob::AddBox(fighter, {-1, -1, -7}, {1, 1, -6}, engine);
    Save(dir / "fighter.lwo", fighter);
    Object fighterBoxes;
    AddHullBox(fighterBoxes, "hull", {-1.5f, -1.5f, -7}, {1.5f, 1.5f, 8});
    AddHullBox(fighterBoxes, "wings", {-9, -0.4f, -5.5f}, {9, 0.4f, 1.5f});
    Save(dir / "fighter_BOX.lwo", fighterBoxes);
    LowDetail(dir, "fighter_LOW.lwo", {-9, -1.5f, -7}, {9, 1.5f, 8});

    Object freighter;
    int16_t fhull = freighter.AddSurface(Hull());
    int16_t cargo = freighter.AddSurface(Trim(140, 90, 50));
    int16_t fengine = freighter.AddSurface(Engine());
    lwob::AddBox(freighter, {-6, -6, 20}, {6, 6, 34}, fhull);
    for (int i = 0; i < 4; ++i) {
        float z = -30 + static_cast<float>(i) * 12;
        lwob::AddBox(freighter, {-9, -9, z}, {9, 9, z + 10}, cargo);
    }
    lwob::AddProfile(freighter, 8, -40, 4, -31, 4, fengine);
    Save(dir / "freighter.lwo", freighter);
    Object freighterBoxes;
    AddHullBox(freighterBoxes, "hull", {-6, -6, 20}, {6, 6, 34});
    AddHullBox(freighterBoxes, "cargo", {-9, -9, -30}, {9, 9, 18});
    Save(dir / "freighter_BOX.lwo", freighterBoxes);
    LowDetail(dir, "freighter_LOW.lwo", {-9, -9, -40}, {9, 9, 34});

    Object station;
    int16_t shull = station.AddSurface(Hull());
    int16_t lights = station.AddSurface(Window());
    lwob::AddProfile(station, 12, -40, 30, 40, 30, shull);
    lwob::AddProfile(station, 12, 40, 12, 90, 12, shull);
    lwob::AddProfile(station, 12, -90, 12, -40, 12, shull);
    lwob::AddBox(station, {-35, -4, -4}, {35, 4, 4}, lights);
    Save(dir / "station.lwo", station);
    Object stationBoxes;
    AddHullBox(stationBoxes, "hull", {-30, -30, -40}, {30, 30, 40});
    AddHullBox(stationBoxes, "NEG_dock", {-8, -8, 30}, {8, 8, 41});
    Save(dir / "station_BOX.lwo", stationBoxes);
    LowDetail(dir, "station_LOW.lwo", {-35, -30, -90}, {35, 30, 90});

    Object missile;
    int16_t mhull = missile.AddSurface(Trim(200, 200, 200));
    int16_t flame = missile.AddSurface(Engine());
    lwob::AddProfile(missile, 6, -3, 0.4f, 3, 0.4f, mhull);
    lwob::AddProfile(missile, 6, 3, 0.4f, 4.2f, 0, mhull);
    lwob::AddProfile(missile, 6, -3.5f, 0.3f, -3, 0.4f, flame);
    Save(dir / "missile.lwo", missile);
}

// The munitions that launchers fire besides the missile: the LDS
// interdiction missile (longer, with a ring of fins), the probe (a small
// hull with a dish) and the spiked mine.
void Munitions(const std::filesystem::path& dir)
{
    Object ldsi;
    int16_t body = ldsi.AddSurface(Trim(220, 200, 60));
    int16_t flame = ldsi.AddSurface(Engine());
    lwob::AddProfile(ldsi, 6, -4, 0.5f, 4, 0.5f, body);
    lwob::AddProfile(ldsi, 6, 4, 0.5f, 5.5f, 0, body);
    lwob::AddBox(ldsi, {-1.5f, -0.1f, -4}, {1.5f, 0.1f, -2.5f}, body);
    lwob::AddBox(ldsi, {-0.1f, -1.5f, -4}, {0.1f, 1.5f, -2.5f}, body);
    lwob::AddProfile(ldsi, 6, -4.5f, 0.35f, -4, 0.5f, flame);
    Save(dir / "missile_LDSI.lwo", ldsi);

    Object probe;
    int16_t hull = probe.AddSurface(Trim(160, 170, 190));
    int16_t dish = probe.AddSurface(Window());
    lwob::AddBox(probe, {-1.5f, -1, -3}, {1.5f, 1, 3}, hull);
    lwob::AddProfile(probe, 8, 3, 0.3f, 4, 1.8f, dish);
    Save(dir / "reconprobe.lwo", probe);

    Object mine;
    int16_t shell = mine.AddSurface(Trim(90, 60, 60));
    AddBumpySphere(mine, 2.5f, 0.0f, 6, 10, shell);
    for (int axis = 0; axis < 3; ++axis) {
        std::array<float, 3> lo{-0.2f, -0.2f, -0.2f}, hi{0.2f, 0.2f, 0.2f};
        lo[axis] = -4.5f;
        hi[axis] = 4.5f;
        lwob::AddBox(mine, lo, hi, shell);
    }
    Save(dir / "SpikyMine.lwo", mine);
    Save(dir / "newmine2.lwo", mine); // the asteroid fields' mines
}

// A textured surface mapped straight down the y axis over a 20-unit rock.
Surface TopMapped(const char* name, const char* texture)
{
    return {name,
            {lwob::Colour(128, 80, 48), lwob::U16("FLAG", 4), lwob::Text("CTEX", "Planar Image Map"),
             lwob::Text("TIMG", texture), lwob::U16("TFLG", 2), lwob::Vector("TSIZ", 20, 20, 20),
             lwob::Vector("TCTR", 0, 0, 0)}};
}

// The rock's upper half takes the top map, its lower half the bottom map:
// far away the rock is drawn as a card of the two small maps.
void TopAndBottomMaps(Object& rock)
{
    const int16_t top = rock.AddSurface(TopMapped("INDEX_TOP", "rocktop.pix"));
    const int16_t bottom = rock.AddSurface(TopMapped("INDEX_BOT", "rockbot.pix"));
    for (lwob::Polygon& p : rock.polygons) {
        float y = 0;
        for (uint16_t i : p.points)
            y += rock.points[i][1];
        p.surface = y >= 0 ? top : bottom;
    }
}

void Asteroids(const std::filesystem::path& dir)
{
    CRandSeed(1997);
    const struct {
        const char* name;
        int rings, segments;
        float bump;
    } rocks[] = {
        {"SmallAsteroidBumpy.lwo", 6, 10, 0.25f},
        {"MediumAsteroidBumpy.lwo", 8, 14, 0.2f},
        {"LargeAsteroid_RTO.lwo", 12, 20, 0.12f},
    };
    for (const auto& r : rocks) {
        Object rock;
        int16_t s = rock.AddSurface({"Rock", {lwob::Colour(128, 80, 48), lwob::U16("FLAG", 4)}});
        AddBumpySphere(rock, 10, r.bump, r.rings, r.segments, s);
        if (std::strcmp(r.name, "LargeAsteroid_RTO.lwo") == 0)
            TopAndBottomMaps(rock);
        Save(dir / r.name, rock);
    }
}

// The sky sphere (seen from inside: its polygons turn inward), the ball of
// the antimatter release and a mission's own sun.
void SkyShapes(const std::filesystem::path& dir)
{
    CRandSeed(2001);
    Object sky;
    AddBumpySphere(sky, 10, 0.0f, 8, 16, sky.AddSurface({"NebulaSky", {lwob::Colour(120, 40, 160), lwob::U16("LUMI", 255)}}));
    for (auto& polygon : sky.polygons)
        std::reverse(polygon.points.begin(), polygon.points.end());
    Save(dir / "nebula.lwo", sky);

    Object ball;
    AddBumpySphere(ball, 10, 0.1f, 6, 12, ball.AddSurface({"Antimo", {lwob::Colour(200, 60, 255), lwob::U16("LUMI", 200)}}));
    Save(dir / "antimatter.lwo", ball);

    // The sun a mission places itself (PLANET ... ON): a glowing ball, which
    // the game makes a true sphere of the sun's size as it loads it.
    Object sun;
    AddBumpySphere(sun, 10, 0.0f, 8, 16, sun.AddSurface({"SunFace", {lwob::Colour(255, 220, 120), lwob::U16("LUMI", 255)}}));
    Save(dir / "quadsuntest.lwo", sun);
}

// Small objects that reach every reading of the loader.
void Seeds(const std::filesystem::path& dir)
{
    Object tri;
    tri.Point(0, 0, 0), tri.Point(1, 0, 0), tri.Point(0, 1, 0);
    tri.polygons.push_back({{0, 1, 2}, tri.AddSurface({"Hull", {lwob::Colour(200, 40, 40)}})});
    Save(dir / "triangle.lwo", tri);

    Object cube;
    lwob::AddBox(cube, {-1, -1, -1}, {1, 1, 1},
                 cube.AddSurface({"Hull", {lwob::U16("FLAG", 0x104), lwob::Float("SMAN", 1.6f), lwob::U16("GLOS", 0x400), lwob::U16("LUMI", 200), lwob::Text("TIMG", "C:\\a\\plate.iff")}}));
    Save(dir / "cube.lwo", cube);

    for (const char* kind : {"Planar Image Map", "Cylindrical Image Map", "Spherical Image Map"}) {
        Object mapped;
        lwob::AddProfile(mapped, 5, -1, 1, 1, 0.5f, 1);
        mapped.AddSurface({"Mapped",
                           {lwob::Text("CTEX", kind), lwob::U16("TFLG", 2), lwob::Vector("TSIZ", 2, 2, 2),
                            lwob::Vector("TCTR", 0, 0, 0), lwob::Float("TFP0", 2), lwob::Float("TFP1", 1)}});
        std::string name = std::string("mapped_") + kind[0] + ".lwo";
        Save(dir / name, mapped);
    }

    Object mixed;
    for (int i = 0; i < 6; ++i)
        mixed.Point(static_cast<float>(i), static_cast<float>(i % 2), 0);
    mixed.AddSurface({"NEG_a", {}});
    mixed.AddSurface({"SYS_3", {}});
    mixed.polygons.push_back({{0, 1, 2, 3, 4}, 1});
    mixed.polygons.push_back({{0}, 2});
    mixed.polygons.push_back({{0, 1, 2}, -1});
    mixed.polygons.push_back({{}, 0});
    mixed.polygons.push_back({{1, 2, 3}, 7});
    mixed.polygons.push_back({{3, 4, 5}, 2});
    Save(dir / "mixed.lwo", mixed);

    Object boxes;
    lwob::AddBox(boxes, {0, 0, 0}, {1, 1, 1}, boxes.AddSurface({"SYS_2", {}}));
    lwob::AddBox(boxes, {5, 6, 7}, {8, 9, 10}, boxes.AddSurface({"neg", {}}));
    Save(dir / "boxes.lwo", boxes);
}

// The tumbling corpse a wreck leaves: a charred, crumpled lump with a torn
// plate, the model the script symbol "CorpseMd" names.
void Corpse(const std::filesystem::path& dir)
{
    CRandSeed(2001);
    Object corpse;
    int16_t burnt = corpse.AddSurface({"Burnt", {lwob::Colour(70, 60, 55), lwob::U16("FLAG", 4)}});
    AddBumpySphere(corpse, 6, 0.45f, 6, 9, burnt);
    lwob::AddBox(corpse, {-1, -9, -0.5f}, {1, -5, 0.5f}, corpse.AddSurface(Trim(120, 110, 100)));
    Save(dir / "corpse.lwo", corpse);
}

// The corvette's engineering schematic: one line shape a ship system.
void Schematics(const std::filesystem::path& dir)
{
    for (const schematic::SystemShape& shape : schematic::Corvette())
        Save(dir / shape.file, schematic::Object(shape));
}

// The fighter's sight, drawn over the pilot's view by the flight HUD: a
// ring round the aim, a bar with a drop tick either side and a caret above,
// in map units about the view's centre (y down). Written as the schematics
// are: a map point (mx, my) is the object's point (my, 0, -mx).
void FighterSight(const std::filesystem::path& dir)
{
    Object sight;
    const int16_t surface = sight.AddSurface({"Line", {lwob::Colour(80, 220, 80)}});
    auto stroke = [&](std::vector<std::pair<float, float>> points) {
        lwob::Polygon polygon{{}, surface};
        for (auto [x, y] : points)
            polygon.points.push_back(sight.Point(y, 0, -x));
        sight.polygons.push_back(std::move(polygon));
    };
    constexpr int kRingSides = 8;
    constexpr float kRing = 22;
    std::vector<std::pair<float, float>> ring;
    for (int i = 0; i < kRingSides; ++i) {
        const float a = (i + 0.5f) * 6.2831853f / kRingSides;
        ring.emplace_back(kRing * std::cos(a), kRing * std::sin(a));
    }
    stroke(ring);
    for (float side : {-1.0f, 1.0f}) {
        stroke({{side * 32, 0}, {side * 60, 0}});
        stroke({{side * 32, 0}, {side * 32, 4}});
    }
    stroke({{-6, -30}, {0, -36}});
    stroke({{0, -36}, {6, -30}});
    Save(dir / "FiHUD.lwo", sight);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--seeds") == 0) {
        Seeds(argv[2]);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: lwobmake <data root> | lwobmake --seeds <folder>\n");
        return 2;
    }
    std::filesystem::path shapes = std::filesystem::path(argv[1]) / "zqk" / "resource" / "shapes";
    Corvette(shapes);
    OtherShips(shapes);
    Munitions(shapes);
    Asteroids(shapes);
    SkyShapes(shapes);
    Corpse(shapes);
    Schematics(shapes);
    FighterSight(shapes);
    std::printf("shapes written to %s\n", shapes.string().c_str());
    return 0;
}
