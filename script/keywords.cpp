// The keyword table and its lookups. See keywords.h.
//
// Rows keep the order of the vocabulary's groups; an alias is a second row
// with the same id right after the first. Lookup by name goes through a hash
// index built at compile time; it finds exactly what a linear scan in table
// order would (names are unique, and the index keeps the first row).
#include "script/keywords.h"

#include <array>
#include <cstring>

namespace {

// The spelling of a keyword's id name: a word that starts with a digit
// drops the K_ that makes it a name.
constexpr const char* Spelling(const char* idName)
{
    const bool digitWord = idName[0] == 'K' && idName[1] == '_' && idName[2] >= '0' && idName[2] <= '9';
    return digitWord ? idName + 2 : idName;
}

constexpr KeywordRow kKeywords[] = {
#define KV_KEYWORD(word, id) {Spelling(#word), kw::word},
#include "script/keyword_list.inc"
#undef KV_KEYWORD
    {nullptr, 0},
};

constexpr std::size_t kRowCount = std::size(kKeywords) - 1;
static_assert(kRowCount == 497, "the vocabulary has 497 names");

// Open addressing with linear probing; a slot holds row index + 1, 0 = empty.
constexpr std::size_t kSlots = 1024;
static_assert(kSlots > 2 * kRowCount);

constexpr std::array<uint16_t, kSlots> BuildIndex()
{
    std::array<uint16_t, kSlots> slots{};
    for (std::size_t row = 0; row < kRowCount; ++row) {
        std::size_t slot = HashScriptName(kKeywords[row].name) & (kSlots - 1);
        while (slots[slot] != 0)
            slot = (slot + 1) & (kSlots - 1);
        slots[slot] = static_cast<uint16_t>(row + 1);
    }
    return slots;
}

constexpr std::array<uint16_t, kSlots> kIndex = BuildIndex();

// Each row's name words, taken once here rather than on every probe: a
// probe compares words, and bytes only for names longer than 16.
constexpr std::array<ScriptNameWords, kRowCount> BuildWords()
{
    std::array<ScriptNameWords, kRowCount> words{};
    for (std::size_t row = 0; row < kRowCount; ++row)
        words[row] = WordsOfScriptName(kKeywords[row].name);
    return words;
}

constexpr std::array<ScriptNameWords, kRowCount> kWords = BuildWords();

// Name of each id (first row wins), for the error reporters.
constexpr std::array<const char*, kw::kLastId + 1> BuildNames()
{
    std::array<const char*, kw::kLastId + 1> names{};
    for (std::size_t row = 0; row < kRowCount; ++row)
        if (!names[kKeywords[row].id])
            names[kKeywords[row].id] = kKeywords[row].name;
    return names;
}

constexpr std::array<const char*, kw::kLastId + 1> kNames = BuildNames();

} // namespace

std::span<const KeywordRow> KeywordTable()
{
    return kKeywords;
}

uint32_t LookupKeyword(std::string_view word)
{
    const ScriptNameWords words = WordsOfScriptName(word);
    std::size_t slot = HashScriptWords(words) & (kSlots - 1);
    while (uint16_t entry = kIndex[slot]) {
        const KeywordRow& row = kKeywords[entry - 1];
        if (kWords[entry - 1] == words && (word.size() <= 16 || std::memcmp(word.data(), row.name, word.size()) == 0))
            return row.id;
        slot = (slot + 1) & (kSlots - 1);
    }
    return 0;
}

const char* KeywordName(uint32_t id)
{
    return id < kNames.size() ? kNames[id] : nullptr;
}
