// A ship's hull of three faces for the mesh reader: one ahead of it (local
// +z), one to its right (+x) and one to its left (-x), each 100 from its
// centre. A model pointer to `gHullTag` stands for it.
#pragma once

#include "world/floatingorigin.h"

#include <cstdint>

inline const Vector3 kHullVertices[] = {
    {-10, 0, 100}, {10, 0, 100}, {0, 10, 100}, // ahead
    {100, 0, 10},
    {100, 0, -10},
    {100, 10, 0}, // right
    {-100, 0, -10},
    {-100, 0, 10},
    {-100, 10, 0}, // left
};
inline const uint16_t kHullFaces[][3] = {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}};
inline int gHullTag;

// The mesh reader: the hull for the tagged model, nothing for any other.
inline bool ReadHull(const hx_model* model, MeshView* mesh)
{
    if (model != reinterpret_cast<const hx_model*>(&gHullTag))
        return false;
    *mesh = {kHullVertices, 9, kHullFaces, 3};
    return true;
}
