// The script language's vocabulary: keyword names and their ids.
//
// The ids are part of the compiled form: the interpreter dispatches on them
// and the operand readers test id ranges (sides, ship types, sense flags, the
// resource conversion methods), so the numbering is fixed, gaps included.
// The tokeniser also writes a few ids that no name carries (line markers,
// symbols, data, comments). This module knows nothing of how words are split.
#pragma once

#include <cstddef>
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

// The bytes p[0 .. n-1] (n at most 8) as one little-endian word: a single
// load once compiled.
constexpr uint64_t ScriptNameBytes(const char* p, std::size_t n)
{
    uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= uint64_t(static_cast<uint8_t>(p[i])) << (8 * i);
    return v;
}

// A name's length and its first and last eight bytes: every byte of a name
// of up to 16; of a shorter one, overlapping words or its first, middle and
// last byte, which tell all names of its length apart. So two names of up
// to 16 bytes are equal when their words are.
struct ScriptNameWords {
    uint64_t head = 0, tail = 0;
    std::size_t length = 0;
    constexpr bool operator==(const ScriptNameWords&) const = default;
};

constexpr ScriptNameWords WordsOfScriptName(std::string_view name)
{
    const char* p = name.data();
    const std::size_t n = name.size();
    ScriptNameWords w;
    w.length = n;
    if (n >= 8) {
        w.head = ScriptNameBytes(p, 8);
        w.tail = ScriptNameBytes(p + n - 8, 8);
    } else if (n >= 4) {
        w.head = ScriptNameBytes(p, 4) | ScriptNameBytes(p + n - 4, 4) << 32;
    } else if (n > 0) {
        w.head = ScriptNameBytes(p, 1) | ScriptNameBytes(p + n / 2, 1) << 8 | ScriptNameBytes(p + n - 1, 1) << 16;
    }
    return w;
}

// The hash of a name for the keyword and symbol indexes: its words mixed so
// that every bit of them reaches every bit of the hash (a multiplication,
// then the finalising steps of SplitMix64). A few loads rather than a
// multiplication a byte, and the same on every machine and every run.
constexpr uint32_t HashScriptWords(const ScriptNameWords& w)
{
    uint64_t h = (w.head ^ w.length) * 0x9E3779B97F4A7C15ull ^ w.tail;
    h = (h ^ h >> 30) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ h >> 27) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>(h ^ h >> 31);
}

constexpr uint32_t HashScriptName(std::string_view name)
{
    return HashScriptWords(WordsOfScriptName(name));
}

// Id of the keyword spelt exactly (with case) like the word, or 0.
uint32_t LookupKeyword(std::string_view word);

// The first name that carries the id, or null when none does.
const char* KeywordName(uint32_t id);
