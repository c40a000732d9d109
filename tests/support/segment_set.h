// A flat wireframe built from the caller's points and edges, grouped into
// its connected parts as the loader groups a shape's; the parts are freed
// with it.
#pragma once

#include "view/lwoloader.h"
#include "world/pools.h"

#include <cstdint>
#include <utility>
#include <vector>

struct SegmentSet {
    std::vector<float> points;
    std::vector<uint16_t> edges;
    WireShape shape{};

    SegmentSet(std::vector<std::pair<float, float>> xy, std::vector<std::pair<int, int>> lines)
    {
        for (auto [x, y] : xy)
            points.insert(points.end(), {x, y, 0.0f});
        for (auto [a, b] : lines)
            edges.insert(edges.end(), {static_cast<uint16_t>(a), static_cast<uint16_t>(b)});
        shape.pointCount = static_cast<int32_t>(xy.size());
        shape.points = reinterpret_cast<float(*)[3]>(points.data());
        shape.edgeCount = static_cast<int32_t>(lines.size());
        shape.edges = reinterpret_cast<uint16_t(*)[2]>(edges.data());
        BuildSegmentParts(&shape);
    }
    ~SegmentSet() { FreeMemory(shape.parts); }
    SegmentSet(const SegmentSet&) = delete;
    SegmentSet& operator=(const SegmentSet&) = delete;
};
