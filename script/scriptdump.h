// A readable listing of compiled script tokens and of script symbols, for
// the developer tool and the golden tests of the tokeniser.
#pragma once

#include <cstdint>
#include <string>

// One line per token from `first` up to (not including) `end`; a line
// marker's two pairs make one line.
std::string DumpScriptTokens(uint32_t first, uint32_t end);

// One line per symbol from index `first` to the table's count.
std::string DumpScriptSymbols(uint32_t first);

// The briefing index, when any briefing was compiled.
std::string DumpBriefingIndex();

// Appends printf-style text (at most 1023 characters a call) to a listing.
void AppendListing(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
