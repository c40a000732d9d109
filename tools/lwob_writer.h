// Our LightWave object (LWOB) writer: an object described in code (points,
// polygons, surfaces with their sub-chunks) written as the IFF file the
// shape loaders read. The test fixtures and the demo data's models are made
// with it (tools/lwobmake_main.cpp).
//
// Written as: "FORM", u32 length, "LWOB", then the chunks PNTS, SRFS, POLS
// and one SURF per surface, all numbers big-endian. Names and texts end with
// a NUL and are padded to an even length.
#pragma once

#include "system/res/bytes.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace lwob {

struct SubChunk {
    std::string id; // four characters
    std::vector<uint8_t> body;
};

struct Surface {
    std::string name;
    std::vector<SubChunk> subChunks;
};

struct Polygon {
    std::vector<uint16_t> points;
    int16_t surface; // 1-based into the surfaces
};

struct Object {
    std::vector<std::array<float, 3>> points;
    std::vector<Polygon> polygons;
    std::vector<Surface> surfaces;

    uint16_t Point(float x, float y, float z)
    {
        points.push_back({x, y, z});
        return static_cast<uint16_t>(points.size() - 1);
    }
    int16_t AddSurface(Surface s)
    {
        surfaces.push_back(std::move(s));
        return static_cast<int16_t>(surfaces.size());
    }
};

inline void AppendText(std::vector<uint8_t>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    if (out.size() % 2)
        out.push_back(0);
}
inline void AppendFloat(std::vector<uint8_t>& out, float f) { res::AppendU32BE(out, std::bit_cast<uint32_t>(f)); }

// Sub-chunks.
inline SubChunk U16(const char* id, uint16_t v)
{
    SubChunk s{id, {}};
    res::AppendU16BE(s.body, v);
    return s;
}
inline SubChunk Float(const char* id, float v)
{
    SubChunk s{id, {}};
    AppendFloat(s.body, v);
    return s;
}
inline SubChunk Vector(const char* id, float x, float y, float z)
{
    SubChunk s{id, {}};
    for (float f : {x, y, z})
        AppendFloat(s.body, f);
    return s;
}
inline SubChunk Text(const char* id, const std::string& text)
{
    SubChunk s{id, {}};
    AppendText(s.body, text);
    return s;
}
inline SubChunk Colour(uint8_t red, uint8_t green, uint8_t blue) { return {"COLR", {red, green, blue, 0}}; }

inline void AppendChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body)
{
    out.insert(out.end(), id, id + 4);
    res::AppendU32BE(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
}

inline std::vector<uint8_t> Write(const Object& object)
{
    std::vector<uint8_t> pnts, srfs, pols;
    for (const auto& p : object.points)
        for (float f : p)
            AppendFloat(pnts, f);
    for (const Surface& s : object.surfaces)
        AppendText(srfs, s.name);
    for (const Polygon& p : object.polygons) {
        res::AppendU16BE(pols, static_cast<uint16_t>(p.points.size()));
        for (uint16_t i : p.points)
            res::AppendU16BE(pols, i);
        res::AppendU16BE(pols, static_cast<uint16_t>(p.surface));
    }
    std::vector<uint8_t> body{'L', 'W', 'O', 'B'};
    AppendChunk(body, "PNTS", pnts);
    if (!object.surfaces.empty())
        AppendChunk(body, "SRFS", srfs);
    AppendChunk(body, "POLS", pols);
    for (const Surface& s : object.surfaces) {
        std::vector<uint8_t> surf;
        AppendText(surf, s.name);
        for (const SubChunk& sub : s.subChunks) {
            surf.insert(surf.end(), sub.id.begin(), sub.id.begin() + 4);
            res::AppendU16BE(surf, static_cast<uint16_t>(sub.body.size()));
            surf.insert(surf.end(), sub.body.begin(), sub.body.end());
        }
        AppendChunk(body, "SURF", surf);
    }
    std::vector<uint8_t> file{'F', 'O', 'R', 'M'};
    res::AppendU32BE(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// Shapes. Each polygon's points run so that the loader's face normal
// (after it reverses the winding) points out of the shape.

// An axis-aligned box of six quads.
inline void AddBox(Object& o, std::array<float, 3> lo, std::array<float, 3> hi, int16_t surface)
{
    uint16_t base = static_cast<uint16_t>(o.points.size());
    for (int i = 0; i < 8; ++i)
        o.Point(i & 1 ? hi[0] : lo[0], i & 2 ? hi[1] : lo[1], i & 4 ? hi[2] : lo[2]);
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces)
        o.polygons.push_back({{static_cast<uint16_t>(base + f[0]), static_cast<uint16_t>(base + f[1]),
                               static_cast<uint16_t>(base + f[2]), static_cast<uint16_t>(base + f[3])},
                              surface});
}

// A closed prism along z: an n-sided ring of the given radii at z0 and z1
// (a radius of 0 closes that end in a point), with end caps of triangles.
inline void AddProfile(Object& o, int sides, float z0, float r0, float z1, float r1, int16_t surface,
                       float squashY = 1.0f)
{
    constexpr float kTurn = 6.2831853f;
    uint16_t a = static_cast<uint16_t>(o.points.size());
    bool pointA = r0 == 0.0f, pointB = r1 == 0.0f;
    for (float zr : {0.0f, 1.0f}) {
        float z = zr == 0.0f ? z0 : z1, r = zr == 0.0f ? r0 : r1;
        if (r == 0.0f) {
            o.Point(0, 0, z);
            continue;
        }
        for (int i = 0; i < sides; ++i) {
            float t = kTurn * static_cast<float>(i) / static_cast<float>(sides);
            o.Point(r * std::cos(t), r * squashY * std::sin(t), z);
        }
    }
    uint16_t b = static_cast<uint16_t>(a + (pointA ? 1 : sides));
    auto at = [&](uint16_t first, bool point, int i) {
        return static_cast<uint16_t>(point ? first : first + (i % sides));
    };
    for (int i = 0; i < sides; ++i) {
        std::vector<uint16_t> side;
        for (uint16_t p : {at(a, pointA, i), at(a, pointA, i + 1), at(b, pointB, i + 1), at(b, pointB, i)})
            if (side.empty() || side.back() != p)
                side.push_back(p);
        if (side.size() == 4 && side[3] == side[0])
            side.pop_back();
        o.polygons.push_back({side, surface});
    }
    if (!pointA)
        for (int i = 1; i + 1 < sides; ++i)
            o.polygons.push_back({{a, static_cast<uint16_t>(a + i + 1), static_cast<uint16_t>(a + i)}, surface});
    if (!pointB)
        for (int i = 1; i + 1 < sides; ++i)
            o.polygons.push_back({{b, static_cast<uint16_t>(b + i), static_cast<uint16_t>(b + i + 1)}, surface});
}

} // namespace lwob
