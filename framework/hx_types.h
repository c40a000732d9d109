// Hexmire's basic types: error values, tokens and token-value pairs that
// every framework module shares (the scalar types come with the maths).
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_math.h" // hx_fixed, hx_scalar, hx_angle

// Error values that framework calls return (0 is success).
using hx_error = uint32_t;
enum : hx_error {
    HX_OK = 0,
    HXE_UNKNOWN_TOKEN = 0x1001, // token unknown to a template (4097)
    HXE_FAIL = 0x1002,          // not found, or failed (4098)
    HXE_NO_MEMORY = 0x1003,     // out of memory (4099)
    HXE_NO_ROOM = 0x1004,       // more results than room (4100)
    HXE_NOT_ACTIVE = 0x1006,    // not begun (4102)
    HXE_ACTIVE = 0x1007,        // already begun (4103)
    HXE_UNSUPPORTED = 0x1008,   // operation not supported (4104)
};

using hx_bool = int;
using hx_token = uint32_t;

struct hx_object;

// The value of a token-value pair: wide enough for a pointer, because
// objects, strings, handles and buffers travel in it.
union hx_value {
    uintptr_t u;
    intptr_t i;
    void* p;
    const char* cstr;
    char* str;
    hx_object* o;
    float f;
    hx_fixed x;
    hx_token t;
};
static_assert(sizeof(hx_value) == sizeof(void*));

// One {token, value} pair; a list ends with the pair whose token is 0.
struct hx_token_value {
    hx_token t;
    hx_value v;
};
