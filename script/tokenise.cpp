// The script tokeniser. See tokenise.h.
#include "script/tokenise.h"

#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/scriptfiles.h"
#include "script/symbols.h"
#include "system/errors.h"

#include <cfloat>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using ScriptFileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The separators as bits of one word: a zero byte cannot be part of a name,
// so it separates like a blank.
constexpr uint64_t kSeparatorBits = 1ull << ',' | 1ull << '\n' | 1ull << '\r' | 1ull << '\t' | 1ull << ' ' | 1ull;

constexpr bool IsSeparator(char c)
{
    const auto u = static_cast<uint8_t>(c);
    return u < 64 && (kSeparatorBits >> u & 1);
}

constexpr bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The words of a line, one after another.
class WordReader {
public:
    explicit WordReader(std::string_view text) : at_(text.data()), end_(text.data() + text.size()) {}

    bool Next(std::string_view& word)
    {
        while (at_ < end_ && IsSeparator(*at_))
            ++at_;
        if (at_ == end_)
            return false;
        const char* start = at_;
        while (at_ < end_ && !IsSeparator(*at_))
            ++at_;
        word = std::string_view(start, static_cast<std::size_t>(at_ - start));
        return true;
    }

private:
    const char* at_;
    const char* end_;
};

// The line being compiled, for its marker and its error messages.
struct LineContext {
    ScriptReader& reader;
    uint32_t lineIndex;
    int includeDepth;
};

void EndLine(const LineContext& line)
{
    EmitLineMarker(line.lineIndex, static_cast<uint32_t>(line.reader.bytesRead), gScriptNames.current);
}

// A fault on the line: its marker first, so the message names this line.
[[noreturn]] void FailLine(const LineContext& line, const char* message)
{
    EndLine(line);
    ReportTokeniseError(message, gScriptBuffers.tokenCursor);
}

ScriptSymbol* FindOrAddSymbol(std::string_view name)
{
    if (ScriptSymbol* symbol = FindScriptSymbol(name))
        return symbol;
    const int32_t zero = 0;
    return AddScriptSymbol(name, &zero, sizeof zero);
}

// "name:" names the position of the next token. A label used before its
// definition already has a symbol, which the definition completes.
void DefineLabel(const LineContext& line, std::string_view name)
{
    const uint32_t position = gScriptBuffers.tokenCursor;
    ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol) {
        symbol = AddScriptSymbol(name, &position, sizeof position);
    } else {
        if (symbol->labelDefined)
            FailLine(line, "Label defined twice");
        // A label must not overwrite a variable, object or built-in value.
        if (symbol->type != 0 || symbol->size < 4)
            FailLine(line, "Label has the name of another symbol");
        WriteSymbolInt(symbol, static_cast<int32_t>(position));
    }
    symbol->labelDefined = true;
}

// The word after a branch keyword names a label (or a counter).
void EmitLabelOperand(const LineContext& line, WordReader& words)
{
    std::string_view name;
    if (!words.Next(name))
        FailLine(line, "Branch has no label");
    EmitToken(kw::SYMBOL, ScriptSymbolIndex(FindOrAddSymbol(name)));
}

constexpr bool TakesLabel(uint32_t id)
{
    return (id >= kw::CALL_WHEN && id <= kw::CALL_ONCE_WHEN_NOT) || (id >= kw::BRA && id <= kw::BRA_IF_NOT) ||
           (id >= kw::CALL && id <= kw::CALL_ONCE_IF);
}

void RecordBriefing(const LineContext& line, uint32_t (&table)[kMaxBriefings], uint32_t position)
{
    if (gBriefings.count >= kMaxBriefings)
        FailLine(line, "More than 4 briefings in one mission");
    table[gBriefings.count] = position;
}

void EmitKeyword(const LineContext& line, uint32_t id, WordReader& words)
{
    const uint32_t position = gScriptBuffers.tokenCursor;
    EmitKeywordToken(id);
    switch (id) {
    case kw::BRF_DECLARE:
        RecordBriefing(line, gBriefings.declare, position);
        break;
    case kw::BRF_BEGIN:
        RecordBriefing(line, gBriefings.begin, position);
        break;
    case kw::BRF_END:
        RecordBriefing(line, gBriefings.end, gScriptBuffers.tokenCursor);
        ++gBriefings.count;
        break;
    case kw::DECBEQ:
    case kw::DECBNE:
        EmitLabelOperand(line, words); // the counter
        break;
    default:
        break;
    }
    if (TakesLabel(id))
        EmitLabelOperand(line, words);
}

// A quoted text may span words; each run of separators inside it becomes
// one blank. It must close on its own line.
void EmitQuotedText(const LineContext& line, std::string_view word, WordReader& words)
{
    if (word.size() == 1)
        FailLine(line, "Lone double quote");
    if (word.back() == '"') {
        EmitTextToken(word.data() + 1, static_cast<uint32_t>(word.size() - 2));
        return;
    }
    std::string text(word);
    do {
        std::string_view next;
        if (!words.Next(next))
            FailLine(line, "Quoted text does not close on its line");
        text += ' ';
        text += next;
        if (text.size() > kQuotedTextMax)
            FailLine(line, "Quoted text longer than 99 characters");
    } while (text.back() != '"');
    EmitTextToken(text.data() + 1, static_cast<uint32_t>(text.size() - 2));
}

void TokeniseWords(const LineContext& line, std::string_view text)
{
    WordReader words(text);
    std::string_view word;
    while (words.Next(word)) {
        // Quoted text first: a text whose first word ends in ':' is no label.
        if (word.front() == '"') {
            EmitQuotedText(line, word, words);
        } else if (word.back() == ':') {
            DefineLabel(line, word.substr(0, word.size() - 1));
        } else if (uint32_t id = LookupKeyword(word)) {
            EmitKeyword(line, id, words);
        } else if (float number; ScanScriptNumber(word.data(), word.size(), &number)) {
            EmitNumberToken(number);
        } else if (ScriptSymbol* symbol = FindScriptSymbol(word)) {
            EmitToken(kw::SYMBOL, ScriptSymbolIndex(symbol));
        } else {
            const int32_t zero = 0;
            EmitToken(kw::NEW_SYMBOL, ScriptSymbolIndex(AddScriptSymbol(word, &zero, sizeof zero)));
        }
    }
}

bool IsIgnoredInclude(std::string_view name)
{
    return name == "test0_x.gui" || name == "zqk\\resource\\scripts\\gui\\test0_x.gui";
}

void PrintTokenising(const char* name)
{
    char text[kScriptLineBuffer + 32];
    std::snprintf(text, sizeof text, "Tokenising script: %s", name);
    ConsolePrint(text);
}

// "#INCLUDE name" compiles the named file in place; a file that does not
// open is named and skipped. Any other directive is ignored.
void TokeniseDirective(const LineContext& line, std::string_view text)
{
    WordReader words(text);
    std::string_view directive, target;
    if (!words.Next(directive) || directive != "INCLUDE" || !words.Next(target) || IsIgnoredInclude(target))
        return;
    if (line.includeDepth >= kIncludeDepthMax)
        FailLine(line, "INCLUDE nested too deeply");

    const std::string name(target);
    const uint32_t savedName = gScriptNames.current;
    ScriptReader included{nullptr, 0, 0};
    ScriptFileHandle file(OpenScriptFile(name.c_str(), &included.size));
    if (file) {
        included.file = file.get();
        PrintTokenising(name.c_str());
        TokeniseStream(included, line.includeDepth + 1);
    } else {
        ReportScriptIfNotFound(name.c_str());
    }
    gScriptNames.current = savedName;
}

} // namespace

int ReadScriptLine(ScriptReader& reader, char* line)
{
    if (reader.size - reader.bytesRead < 2)
        return kEndOfScript;
    // Room for the longest line, a carriage return and the line feed.
    constexpr int kRoom = kScriptLineMax + 1;
    int length = 0;
    bool tooLong = false;
    bool ended = false;
    while (!ended && reader.bytesRead < reader.size) {
        if (reader.blockAt == reader.blockFilled) {
            // Never past the recorded size: the block holds no byte that the
            // script does not own.
            long left = reader.size - reader.bytesRead;
            std::size_t want = left < long(sizeof reader.block) ? std::size_t(left) : sizeof reader.block;
            reader.blockAt = 0;
            reader.blockFilled = static_cast<int>(std::fread(reader.block, 1, want, reader.file));
            if (reader.blockFilled == 0)
                break;
        }
        const char* from = reader.block + reader.blockAt;
        int available = reader.blockFilled - reader.blockAt;
        const void* feed = std::memchr(from, '\n', std::size_t(available));
        int take = feed ? int(static_cast<const char*>(feed) - from) : available;
        int copy = take < kRoom - length ? take : kRoom - length;
        std::memcpy(line + length, from, std::size_t(copy));
        length += copy;
        tooLong = tooLong || copy < take;
        ended = feed != nullptr;
        int used = take + (ended ? 1 : 0);
        reader.blockAt += used;
        reader.bytesRead += used;
    }
    if (length > kScriptLineMax && !(ended && line[kScriptLineMax] == '\r'))
        tooLong = true;
    if (tooLong)
        return kLineTooLong;
    if (ended)
        line[length++] = '\n';
    line[length] = 0;
    return length ? length : kEndOfScript;
}

void TokeniseStream(ScriptReader& reader, int includeDepth)
{
    char buffer[kScriptLineBuffer];
    LineContext line{reader, 0, includeDepth};
    int commentDepth = 0;
    for (;; ++line.lineIndex) {
        int length = ReadScriptLine(reader, buffer);
        if (length == kEndOfScript)
            break;
        if (length == kLineTooLong)
            FailLine(line, "Line longer than 511 characters");
        std::string_view text(buffer, static_cast<std::size_t>(length));
        // Only the file's last line can lack its end: a file cut short.
        // What it holds is compiled all the same.
        if (const char* damage = TextFileDamage(text))
            ReportDataFileFailure(CurrentScriptFileName(), damage);

        if (text.starts_with("/*")) {
            ++commentDepth;
        } else if (text.starts_with("*/")) {
            --commentDepth;
            EndLine(line);
            continue;
        }
        if (commentDepth == 0 && text[0] != '\r') {
            if (text[0] == ';' || text.starts_with("//"))
                EmitDataToken(kw::COMMENT, "REM", 3);
            else if (text[0] == '#')
                TokeniseDirective(line, text.substr(1));
            else
                TokeniseWords(line, text);
        }
        EndLine(line);
    }
    if (gScriptBuffers.tokenCursor >= kTokenCapacity)
        ReportScriptDrasticError("Script Buffer OVERFLOW !!!");
    if (gScriptBuffers.dataCursor >= kDataCapacity)
        ReportScriptDrasticError("Data Buffer OVERFLOW !!!");
}

ScriptToken* TokeniseScript(const char* name)
{
    gInterpreter.stopCode = 0;
    ScriptReader reader{nullptr, 0, 0};
    ScriptFileHandle file(OpenScriptFile(name, &reader.size));
    if (!file)
        return nullptr;
    reader.file = file.get();
    PrintTokenising(name);
    const uint32_t start = gScriptBuffers.tokenCursor;
    TokeniseStream(reader, 0);
    EmitKeywordToken(kw::END);
    return &gScriptBuffers.tokens[start];
}

void ReportTokeniseError(const char* message, uint32_t position)
{
    const ScriptToken* marker = FindLineMarker(position);
    unsigned line = marker ? marker->value + 1 : 0;
    char text[1024];
    std::snprintf(text, sizeof text, "%s(%u) : %s", CurrentScriptFileName(), line, message);
    DebugMessageBox(text, "SCRIPT Tokenize Error");
    EndOnScriptError();
}

namespace {

// Whether the scanned number carries an exponent.
bool HasExponent(const char* from, const char* to)
{
    for (; from < to; ++from)
        if (*from == 'e' || *from == 'E')
            return true;
    return false;
}

} // namespace

bool ScanScriptNumber(const char* word, std::size_t length, float* number)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < length && (word[i] == '+' || word[i] == '-'))
        negative = word[i++] == '-';
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < length && IsDigit(word[i]))
        ++i, ++digits;
    if (i < length && word[i] == '.') {
        ++i;
        while (i < length && IsDigit(word[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    bool negativeExponent = false;
    if (i < length && (word[i] == 'e' || word[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < length && (word[j] == '+' || word[j] == '-'))
            negativeExponent = word[j++] == '-';
        if (j < length && IsDigit(word[j])) {
            while (j < length && IsDigit(word[j]))
                ++j;
            i = j;
        } else {
            negativeExponent = false;
        }
    }
    float value = 0.0f;
    if (digits <= 7 && !HasExponent(word + start, word + i)) {
        // Up to seven digits make a whole number below 2^24, and the
        // fraction's power of ten is exact too: one float division rounds
        // their quotient correctly, to the float from_chars would give.
        static constexpr float kTens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
        uint32_t whole = 0;
        int places = 0;
        bool point = false;
        for (std::size_t k = start; k < i; ++k) {
            if (word[k] == '.') {
                point = true;
                continue;
            }
            whole = whole * 10 + uint32_t(word[k] - '0');
            places += point;
        }
        value = static_cast<float>(whole) / kTens[places];
    } else {
        auto result = std::from_chars(word + start, word + i, value, std::chars_format::general);
        if (result.ec == std::errc::result_out_of_range)
            value = negativeExponent ? 0.0f : FLT_MAX; // beyond a float: the nearest one that is
    }
    *number = negative ? -value : value;
    return true;
}
