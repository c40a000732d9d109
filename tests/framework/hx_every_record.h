// A record with a member of every type the datafile format writes, and its
// struct template: shared by the datafile tests and the datafile fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "framework/datafile.h"

struct Inner {
    int16_t a;
    uint32_t colour;
};

// A record with every member type the format writes.
struct Every {
    int8_t i8;
    uint8_t u8;
    int16_t i16;
    uint16_t u16;
    int32_t i32;
    uint32_t u32;
    hx_fixed fixed;
    uint16_t angle;
    float f;
    double d;
    hx_fixed scalar;
    int16_t fraction;
    uint16_t ufraction;
    uint8_t e8;
    uint16_t e16;
    int32_t e32;
    Inner inner;
    char* name;
    char* none;
    uint32_t colour;
    hx_fixed v3[3];
    float fv2[2];
};

inline constexpr hx_enum_value kKinds[] = {{0, "NO_KIND"}, {1, "SHIP"}, {2, "BASE"}, {0xFACE, "MODEL"}};
inline constexpr hx_enum_table kKindEnum = {4, kKinds};
inline constexpr hx_struct_member kInnerMembers[] = {
    {HX_DF_INT_16, offsetof(Inner, a), "a", nullptr},
    {HX_DF_COLOUR, offsetof(Inner, colour), "colour", nullptr},
};
inline constexpr hx_struct_template kInner = {"inner", 2, kInnerMembers, sizeof(Inner)};
inline constexpr hx_struct_member kEveryMembers[] = {
    {HX_DF_INT_8, offsetof(Every, i8), "i8", nullptr},
    {HX_DF_UINT_8, offsetof(Every, u8), "u8", nullptr},
    {HX_DF_INT_16, offsetof(Every, i16), "i16", nullptr},
    {HX_DF_UINT_16, offsetof(Every, u16), "u16", nullptr},
    {HX_DF_INT_32, offsetof(Every, i32), "i32", nullptr},
    {HX_DF_UINT_32, offsetof(Every, u32), "u32", nullptr},
    {HX_DF_FIXED, offsetof(Every, fixed), "fixed", nullptr},
    {HX_DF_ANGLE, offsetof(Every, angle), "angle", nullptr},
    {HX_DF_FLOAT, offsetof(Every, f), "f", nullptr},
    {HX_DF_DOUBLE, offsetof(Every, d), "d", nullptr},
    {HX_DF_SCALAR, offsetof(Every, scalar), "scalar", nullptr},
    {HX_DF_FRACTION, offsetof(Every, fraction), "fraction", nullptr},
    {HX_DF_UFRACTION, offsetof(Every, ufraction), "ufraction", nullptr},
    {HX_DF_ENUM_8, offsetof(Every, e8), "e8", &kKindEnum},
    {HX_DF_ENUM_16, offsetof(Every, e16), "e16", &kKindEnum},
    {HX_DF_ENUM_32, offsetof(Every, e32), "e32", &kKindEnum},
    {HX_DF_STRUCT, offsetof(Every, inner), "inner", &kInner},
    {HX_DF_ASCIZ, offsetof(Every, name), "name", nullptr},
    {HX_DF_ASCIZ, offsetof(Every, none), "none", nullptr},
    {HX_DF_COLOUR, offsetof(Every, colour), "colour", nullptr},
    {HX_DF_VECTOR3, offsetof(Every, v3), "v3", nullptr},
    {HX_DF_FLOAT_VECTOR2, offsetof(Every, fv2), "fv2", nullptr},
};
inline constexpr hx_struct_template kEvery = {"every", uint32_t(std::size(kEveryMembers)), kEveryMembers, sizeof(Every)};
