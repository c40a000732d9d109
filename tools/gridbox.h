// A test model of known faces: a box whose six sides are cut into squares,
// for the tests and benchmarks of code that cuts or walks models. Made
// with the framework's own allocator; the caller adds or frees it.
#pragma once

#include "framework/scene.h"

// A box of half size `half` whose six sides are each cut into n x n
// squares of two triangles (12 n^2 faces), wound outward.
inline hx_model* GridBox(const char* name, int n, float half = 10.0f)
{
    hx_model* m = HxModelAllocate(name, 6 * (n + 1) * (n + 1), 12 * n * n);
    m->flags = HX_MODF_KEEP_ORIGINAL; // a breakable model keeps its arrays
    int v = 0, f = 0;
    for (int side = 0; side < 6; ++side) {
        const int axis = side / 2;
        const float sign = side % 2 ? -1.0f : 1.0f;
        const int u = (axis + 1) % 3, w = (axis + 2) % 3;
        const int base = v;
        for (int i = 0; i <= n; ++i)
            for (int j = 0; j <= n; ++j) {
                float p[3];
                p[axis] = sign * half;
                p[u] = -half + 2 * half * static_cast<float>(i) / static_cast<float>(n);
                p[w] = -half + 2 * half * static_cast<float>(j) / static_cast<float>(n);
                m->vertices[v++].p = {p[0], p[1], p[2]};
            }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                uint16_t a = static_cast<uint16_t>(base + i * (n + 1) + j);
                uint16_t b = static_cast<uint16_t>(a + n + 1);
                uint16_t c = static_cast<uint16_t>(a + 1), d = static_cast<uint16_t>(b + 1);
                hx_face* quad = &m->faces[f];
                if (sign > 0) {
                    quad[0].vertices[0] = a, quad[0].vertices[1] = b, quad[0].vertices[2] = d;
                    quad[1].vertices[0] = a, quad[1].vertices[1] = d, quad[1].vertices[2] = c;
                } else {
                    quad[0].vertices[0] = a, quad[0].vertices[1] = d, quad[0].vertices[2] = b;
                    quad[1].vertices[0] = a, quad[1].vertices[1] = c, quad[1].vertices[2] = d;
                }
                quad[0].smoothing = quad[1].smoothing = 3;
                f += 2;
            }
    }
    return m;
}
