// Groups arbitrary point and edge sets into parts (edges may name points
// outside the set, points may lie on no edge): no read or write out of
// bounds, every point's part is -1 or a part of the set, and every part's
// bounds hold each of its points.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "view/lwoloader.h"
#include "world/pools.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::InputReader in{data, size};
    const int32_t pointCount = in.Byte();
    std::vector<float> points;
    for (int32_t i = 0; i < pointCount; ++i) {
        points.push_back(static_cast<float>(static_cast<int8_t>(in.Byte())));
        points.push_back(static_cast<float>(static_cast<int8_t>(in.Byte())));
        points.push_back(0.0f);
    }
    std::vector<uint16_t> edges;
    while (in.More()) {
        // An index past the points now and then: the high bit of a byte.
        for (int end = 0; end < 2; ++end) {
            const uint8_t b = in.Byte();
            edges.push_back(b & 0x80 ? static_cast<uint16_t>(b << 8 | in.Byte()) : b);
        }
    }
    WireShape set{};
    set.pointCount = pointCount;
    set.points = reinterpret_cast<float(*)[3]>(points.data());
    set.edgeCount = static_cast<int32_t>(edges.size() / 2);
    set.edges = reinterpret_cast<uint16_t(*)[2]>(edges.data());
    BuildSegmentParts(&set);
    for (int32_t i = 0; i < pointCount; ++i) {
        const int part = static_cast<int>(set.points[i][2]);
        if (part < -1 || part >= set.partCount)
            std::abort();
        if (part < 0)
            continue;
        const SegmentPart& p = set.parts[part];
        const float x = set.points[i][0], y = set.points[i][1];
        if (x < p.x || y < p.y || x > p.x + p.width || y > p.y + p.height)
            std::abort();
    }
    FreeMemory(set.parts);
    return 0;
}
