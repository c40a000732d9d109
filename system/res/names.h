// Name comparison for the resource manager and slab libraries.
//
// Data names were written for a file system that ignores case and separates
// folders with '\': names compare with ASCII letters folded and '/' taken as
// '\'. Bytes above 127 (code page 1252) compare as they are.
#pragma once

#include <cstddef>

namespace res {

constexpr char FoldNameChar(char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c == '/' ? '\\' : c;
}

// True when the first `n` characters of a and b match (both may end early
// with a zero, in which case they must end at the same place).
constexpr bool NamesEqualN(const char* a, const char* b, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (FoldNameChar(a[i]) != FoldNameChar(b[i]))
            return false;
        if (a[i] == '\0')
            return true;
    }
    return true;
}

// A name without its one leading '\' (registered names and loose files are
// relative to the data folder either way).
constexpr const char* SkipLeadingSeparator(const char* name)
{
    return (name[0] == '\\' || name[0] == '/') ? name + 1 : name;
}

constexpr bool NamesEqual(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        if (FoldNameChar(*a) != FoldNameChar(*b))
            return false;
        if (*a == '\0')
            return true;
    }
}

} // namespace res
