// The script language's vocabulary: keyword names and their ids.
//
// The ids are part of the compiled form: the interpreter dispatches on them
// and the operand readers test id ranges (sides, ship types, sense flags, the
// resource conversion methods), so the numbering is fixed, gaps included.
// The tokeniser also writes a few ids that no name carries (line markers,
// symbols, data, comments). This module knows nothing of how words are split.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Every keyword id under the script word that names it (names that start with
// a digit get the prefix K_), from the one list in keyword_list.inc, and the
// ids that only the tokeniser writes.
namespace kw {
enum : uint32_t {
#define KV_KEYWORD(word, id) word = id,
#include "script/keyword_list.inc"
#undef KV_KEYWORD
    // Written by the tokeniser, never by name
    LINE = 411,       // line marker: {411, line index}, {next line's offset, file name}
    NEW_SYMBOL = 497, // a symbol made by this very use
    SYMBOL = 498,     // a symbol that already existed
    DATA = 499,       // quoted text or number in the data buffer
    COMMENT = 500,    // a comment line
};

constexpr uint32_t kFirstId = 2;
constexpr uint32_t kLastId = 513;
} // namespace kw

struct KeywordRow {
    const char* name; // null in the terminating row
    uint32_t id;      // 0 in the terminating row
};

// The table in its fixed order, ended by {null, 0}.
std::span<const KeywordRow> KeywordTable();

// The hash of a name for the keyword and symbol indexes (FNV-1a over its
// bytes: the same on every machine and every run).
constexpr uint32_t HashScriptName(std::string_view name)
{
    uint32_t h = 2166136261u;
    for (char c : name) {
        h ^= static_cast<uint8_t>(c);
        h *= 16777619u;
    }
    return h;
}

// Id of the keyword spelt exactly (with case) like the word, or 0.
uint32_t LookupKeyword(std::string_view word);

// The first name that carries the id, or null when none does.
const char* KeywordName(uint32_t id);
