// Loads and stores of values at addresses of any alignment: record fields
// reached through offsets, and bytes of file buffers.
#pragma once

#include <cstring>

template <typename T>
inline T HxLoad(const void* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
inline void HxStore(void* p, T v)
{
    std::memcpy(p, &v, sizeof v);
}
