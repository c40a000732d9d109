// Tokens: numbered names whose suffix tells the type of their value
// (WIDTH_I32 a 32-bit integer, OUTPUT_FACILITY_O an object). The 457
// predefined tokens are one table; created tokens take the next free number.
#pragma once

#include <cstdint>

#include "framework/hx_types.h"
#include "framework/list.h"
#include "framework/token_ids.h"

struct hx_token_record {
    hx_node node;
    const char* name;
    hx_token type;
    hx_token number;
    uint32_t baseLength; // name length without the type suffix
};

hx_token HxTokenCreate(const char* name, hx_token type);
const char* HxTokenIdentifier(hx_token t);
hx_token HxTokenType(hx_token t);
int HxTokenCount(const char* pattern);
hx_token HxTokenFind(const char* pattern);
int HxTokenFindMany(const char* pattern, hx_token* out, int max);

// The suffix of a type ("_I32" for INT_32), or null when it has none.
const char* HxTokenTypeSuffix(hx_token type);

// The first token, from the list's head, whose base name equals the text
// (length n, any case) and whose type is one of the n allowed types; 0 if none.
hx_token HxTokenMatchBase(const char* text, uint32_t length, const hx_token* types, int nTypes);

// Builds the token list at framework begin.
void HxTokenListBegin();
