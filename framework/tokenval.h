// Token-value lists: {token, value} pairs ending with token 0, the
// templates that answer token queries from the fields of a record, and the
// text form "w=640,h=480".
//
// A value is pointer-sized. Values wider than that (vectors, matrices,
// strings, lists) are pointers, usually into the caller's buffer after the
// pairs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_types.h"

// Template entry flags.
enum : uint32_t {
    HX_TV_QUERY = 1,    // may be queried
    HX_TV_SET = 2,      // may be set
    HX_TV_ALL = 4,      // included in query-all
    HX_TV_ABSOLUTE = 8, // offset is an absolute address; cannot be set
};

// Conversions between a record's field and a token's value.
enum : uint32_t {
    HX_TVC_CONSTANT = 1, // the argument itself
    HX_TVC_CUSTOM = 2,   // the argument points at an hx_tv_custom
    HX_TVC_DIRECT = 3,   // a 32-bit field
    HX_TVC_WORDS_2 = 4,  // 2, 3, 4, 6, 12, 16 32-bit words copied to the buffer
    HX_TVC_WORDS_3 = 5,
    HX_TVC_WORDS_4 = 6,
    HX_TVC_WORDS_6 = 7,
    HX_TVC_WORDS_12 = 8,
    HX_TVC_WORDS_16 = 9,
    HX_TVC_INT_8 = 10, // narrow fields, widened
    HX_TVC_INT_16 = 11,
    HX_TVC_UINT_8 = 12,
    HX_TVC_UINT_16 = 13,
    HX_TVC_FLOAT_AS_FIXED = 14,
    HX_TVC_FIXED_AS_FLOAT = 15,
    HX_TVC_FLOATS_2_AS_FIXED = 16, // then 2, 3, 4, 6, 12, 16 floats as fixed / fixed as floats
    HX_TVC_FIXED_2_AS_FLOATS = 17,
    HX_TVC_FLOATS_3_AS_FIXED = 18,
    HX_TVC_FIXED_3_AS_FLOATS = 19,
    HX_TVC_FLOATS_4_AS_FIXED = 20,
    HX_TVC_FIXED_4_AS_FLOATS = 21,
    HX_TVC_FLOATS_6_AS_FIXED = 22,
    HX_TVC_FIXED_6_AS_FLOATS = 23,
    HX_TVC_FLOATS_12_AS_FIXED = 24,
    HX_TVC_FIXED_12_AS_FLOATS = 25,
    HX_TVC_FLOATS_16_AS_FIXED = 26,
    HX_TVC_FIXED_16_AS_FLOATS = 27,
    HX_TVC_STRING = 28,     // a char* field; the text is copied to the buffer
    HX_TVC_LIST = 29,       // a field pointing at a zero-terminated list of 32-bit words
    HX_TVC_BOOLEAN = 30,    // field non-zero
    HX_TVC_MASK = 31,       // field AND argument non-zero
    HX_TVC_MASK_NOT = 32,   // field AND argument zero
    HX_TVC_DIRECT_PTR = 33, // a pointer-sized field (objects, pointers, handles, strings)
};

struct hx_tv_template_entry;

// Custom conversions: query fills the value, taking wide data from the
// buffer (advancing it); set stores the value; size tells the buffer bytes
// a query needs.
struct hx_tv_custom {
    hx_error (*query)(hx_value* value, void** buffer, size_t* bufferSize, void* field, void* record,
                      const hx_tv_template_entry* entry);
    hx_error (*set)(void* field, hx_value value, void* record, const hx_tv_template_entry* entry);
    size_t (*size)(void* field, void* record, const hx_tv_template_entry* entry);
};

struct hx_tv_template_entry {
    hx_token token = 0; // 0 until resolved from the name
    const char* name = nullptr;
    uintptr_t offset = 0; // field offset, or an absolute address (HX_TV_ABSOLUTE)
    uint32_t flags = 0;
    uint32_t conversion = 0;
    uintptr_t argument = 0;  // a constant, a mask, or an hx_tv_custom*
    uint32_t changeMask = 0; // reported to the caller by a successful set
};

struct hx_tv_template {
    hx_tv_template_entry* entries;
    int n;
    hx_token mapBase;
    int mapCount;
    hx_tv_template_entry** queryMap;
    hx_tv_template_entry** setMap;
    hx_bool resolved;
};

hx_tv_template* HxTVTemplateAllocate(void* parent, hx_tv_template_entry* entries, int n);
void HxTVTemplateFree(hx_tv_template* tpl);

hx_error HxTokenValueQuery(hx_value* value, void* buffer, size_t bufferSize, hx_token t, void* record,
                           hx_tv_template* tpl);
hx_error HxTokenValueQueryMany(hx_token_value* tv, void* buffer, size_t bufferSize, int* count, void* record,
                               hx_tv_template* tpl);
hx_error HxTokenValueQueryManySize(size_t* size, hx_token_value* tv, void* record, hx_tv_template* tpl);
hx_error HxTokenValueQueryAll(hx_token_value* out, size_t bufferSize, void* record, hx_tv_template* tpl);
hx_error HxTokenValueQueryAllSize(size_t* size, void* record, hx_tv_template* tpl);
hx_error HxTokenValueSet(void* record, uint32_t* changed, hx_token t, hx_value value, hx_tv_template* tpl);
hx_error HxTokenValueSetMany(void* record, int* count, uint32_t* changed, const hx_token_value* tv,
                             hx_tv_template* tpl);

using hx_tv_putline_cbfn = void (*)(const char* line, void* arg);
void HxTokenValueDump(const hx_token_value* tv, const char* prefix, hx_tv_putline_cbfn callback, void* arg);
hx_bool HxTokenValueCompare(const hx_token_value* a, const hx_token_value* b);

// Parses "w=640,h=480" into pairs at the start of the buffer (strings at
// its end). 0, 4098 for text it cannot read, or 4100 when the buffer is
// full; the list is terminated in every case.
hx_error HxStringToTokenValue(void* buffer, size_t bufferSize, const char* text);
