// Listings of compiled tokens and symbols. See scriptdump.h.
#include "script/scriptdump.h"

#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/scriptfiles.h"
#include "script/symbols.h"

#include <cstdarg>
#include <cstdio>

namespace {

// Text with anything unprintable (and the quote and backslash) escaped.
std::string Printable(const char* text)
{
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p < 0x20 || *p >= 0x7F || *p == '"' || *p == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", *p);
            out += escape;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out;
}

const char* SymbolName(uint32_t index)
{
    const ScriptSymbol* symbol = ScriptSymbolAt(index);
    return symbol ? symbol->name : "?";
}

} // namespace

void AppendListing(std::string& out, const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    out += buffer;
}

std::string DumpScriptTokens(uint32_t first, uint32_t end)
{
    std::string out;
    if (end > kTokenCapacity)
        end = kTokenCapacity;
    for (uint32_t at = first; at < end; ++at) {
        const ScriptToken& token = gScriptBuffers.tokens[at];
        AppendListing(out, "%5u  ", at);
        switch (token.id) {
        case kw::LINE:
            if (at + 1 < end) {
                const ScriptToken& next = gScriptBuffers.tokens[++at];
                AppendListing(out, "LINE     %u  next %u  %s\n", token.value, next.id, ScriptNameAt(next.value));
            } else {
                AppendListing(out, "LINE     %u  (cut)\n", token.value);
            }
            break;
        case kw::NEW_SYMBOL:
            AppendListing(out, "SYMBOL+  %s\n", SymbolName(token.value));
            break;
        case kw::SYMBOL:
            AppendListing(out, "SYMBOL   %s\n", SymbolName(token.value));
            break;
        case kw::DATA:
            if (DataTokenIsNumber(token.value))
                AppendListing(out, "NUMBER   %.9g\n", static_cast<double>(ScriptDataNumber(token.value)));
            else
                AppendListing(out, "TEXT     \"%s\"\n", Printable(ScriptDataText(token.value)).c_str());
            break;
        case kw::COMMENT:
            AppendListing(out, "COMMENT\n");
            break;
        default:
            if (const char* name = KeywordName(token.id))
                AppendListing(out, "KEYWORD  %s\n", name);
            else
                AppendListing(out, "?        %u %u\n", token.id, token.value);
            break;
        }
    }
    return out;
}

std::string DumpScriptSymbols(uint32_t first)
{
    std::string out;
    for (uint32_t i = first; i < gSymbols.count; ++i) {
        const ScriptSymbol& symbol = gSymbols.records[i];
        AppendListing(out, "%-16s type 0x%X  size %d  value %d%s\n", symbol.name, symbol.type, symbol.size,
                      ReadSymbolInt(&symbol), symbol.labelDefined ? "  label" : "");
    }
    return out;
}

std::string DumpBriefingIndex()
{
    std::string out;
    for (int i = 0; i < kMaxBriefings; ++i) {
        if (gBriefings.declare[i] == kNoScriptPosition && gBriefings.begin[i] == kNoScriptPosition &&
            gBriefings.end[i] == kNoScriptPosition)
            continue;
        AppendListing(out, "briefing %d: declare %d  begin %d  end %d\n", i, static_cast<int>(gBriefings.declare[i]),
                      static_cast<int>(gBriefings.begin[i]), static_cast<int>(gBriefings.end[i]));
    }
    if (gBriefings.count)
        AppendListing(out, "briefings ended: %u\n", gBriefings.count);
    return out;
}
