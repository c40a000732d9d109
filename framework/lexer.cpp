// The lexer and its scalar, vector and matrix parsers.
#include "framework/lexer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/diag.h"
#include "framework/file.h"
#include "framework/fw_state.h"
#include "framework/mem.h"
#include "framework/resource.h"

namespace {

constexpr int kTextSize = 256;
constexpr int kEndOfText = 26; // a DOS end-of-file mark, skipped as blank

int NextFromFile(hx_lexer_source* s)
{
    return HxFileGetChar(s->file);
}

int NextFromString(hx_lexer_source* s)
{
    if (*s->string == 0)
        return -1;
    return static_cast<unsigned char>(*s->string++);
}

void Advance(hx_lexer_source* s)
{
    s->current = s->next(s);
}

hx_lexer_source* NewSource(hx_lexer* lexer, const char* name)
{
    size_t length = std::strlen(name);
    auto* s = static_cast<hx_lexer_source*>(
        HxResAllocate(lexer, uint32_t(sizeof(hx_lexer_source) + length + 1), HX_RES_LEXER));
    if (!s)
        return nullptr;
    char* copy = reinterpret_cast<char*>(s + 1);
    std::memcpy(copy, name, length + 1);
    s->name = copy;
    s->line = 1;
    return s;
}

void Push(hx_lexer* lexer, hx_lexer_source* s)
{
    s->below = lexer->source;
    lexer->source = s;
    Advance(s);
}

void SetError(hx_lexer* lexer, const char* message)
{
    lexer->current = HX_LEX_ERROR;
    lexer->value.text = message;
}

const char* KeywordName(hx_lexer* lexer, int type)
{
    for (int i = 0; i < lexer->nKeywords; ++i)
        if (lexer->keywords[i].type == type)
            return lexer->keywords[i].name;
    return nullptr;
}

void ReadToken(hx_lexer* lexer)
{
    hx_lexer_source* s;
    int c;
    for (;;) {
        s = lexer->source;
        if (!s) {
            lexer->current = HX_LEX_END;
            return;
        }
        c = s->current;
        if (c == -1) {
            HxLexerPop(lexer);
            continue;
        }
        if (lexer->comment && c == lexer->comment) {
            while (s->current != -1 && s->current != '\n')
                Advance(s);
            continue;
        }
        if (c == '\n') {
            s->line++;
            Advance(s);
            continue;
        }
        if (HxIsSpace(c) || c == kEndOfText) {
            Advance(s);
            continue;
        }
        break;
    }

    char* text = lexer->text;
    int room = lexer->textSize - 1;
    int n = 0;
    if (HxIsAlpha(c) || c == '_') {
        while (n < room && (HxIsAlpha(s->current) || HxIsDigit(s->current) || s->current == '_')) {
            text[n++] = char(s->current);
            Advance(s);
        }
        text[n] = 0;
        for (int i = 0; i < lexer->nKeywords; ++i) {
            const char* k = lexer->keywords[i].name;
            if ((k[0] | 0x20) == (text[0] | 0x20) && HxStrICmp(k, text) == 0) {
                lexer->current = lexer->keywords[i].type;
                return;
            }
        }
        lexer->current = HX_LEX_IDENT;
        lexer->value.text = text;
        return;
    }
    if (HxIsDigit(c)) {
        bool real = false;
        while (n < room && s->current > 0 &&
               (HxIsDigit(s->current) || std::strchr("abcdefABCDEFxX.", s->current))) {
            real |= s->current == '.';
            text[n++] = char(s->current);
            Advance(s);
        }
        text[n] = 0;
        if (real) {
            lexer->current = HX_LEX_REAL;
            lexer->value.real = HxStrToF(text, nullptr);
        } else {
            lexer->current = HX_LEX_INTEGER;
            lexer->value.integer = int32_t(HxStrToUL(text, nullptr, 0));
        }
        return;
    }
    if (c == '"') {
        Advance(s);
        for (;;) {
            if (s->current == '"') {
                Advance(s);
                text[n] = 0;
                lexer->current = HX_LEX_STRING;
                lexer->value.text = text;
                return;
            }
            if (s->current == -1 || s->current == '\n' || n >= room) {
                SetError(lexer, "Unterminated string");
                return;
            }
            text[n++] = char(s->current);
            Advance(s);
        }
    }
    Advance(s);
    if (HxIsPrint(c))
        lexer->current = c;
    else
        SetError(lexer, "Unexpected character");
}

void ReadTokenAndDump(hx_lexer* lexer)
{
    ReadToken(lexer);
    char line[320];
    switch (lexer->current) {
    case HX_LEX_END:
        std::snprintf(line, sizeof line, "END");
        break;
    case HX_LEX_ERROR:
        std::snprintf(line, sizeof line, "ERROR %s", lexer->value.text);
        break;
    case HX_LEX_IDENT:
        std::snprintf(line, sizeof line, "IDENT %s", lexer->value.text);
        break;
    case HX_LEX_STRING:
        std::snprintf(line, sizeof line, "STRING \"%s\"", lexer->value.text);
        break;
    case HX_LEX_INTEGER:
        std::snprintf(line, sizeof line, "INTEGER %d", lexer->value.integer);
        break;
    case HX_LEX_REAL:
        std::snprintf(line, sizeof line, "REAL %g", double(lexer->value.real));
        break;
    default:
        if (const char* k = KeywordName(lexer, lexer->current))
            std::snprintf(line, sizeof line, "KEYWORD %s", k);
        else
            std::snprintf(line, sizeof line, "'%c'", lexer->current);
    }
    lexer->dump(line, lexer->dumpArg);
}

void Report(hx_lexer* lexer, const char* message)
{
    if (lexer->error)
        lexer->error(lexer, message);
}

// An optional sign, then the number; false (after reporting) when there is
// no number of an accepted kind.
bool ParseNumber(hx_lexer* lexer, bool acceptReal, const char* expecting, double* out)
{
    double sign = 1;
    if (lexer->current == '-' || lexer->current == '+') {
        sign = lexer->current == '-' ? -1 : 1;
        HxLexerAdvance(lexer);
    }
    if (lexer->current == HX_LEX_INTEGER) {
        *out = sign * double(lexer->value.integer);
    } else if (acceptReal && lexer->current == HX_LEX_REAL) {
        *out = sign * double(lexer->value.real);
    } else {
        Report(lexer, expecting);
        *out = 0;
        return false;
    }
    HxLexerAdvance(lexer);
    return true;
}

// '[' then up to count items separated by ',' then ']'.
template <typename Item>
int ParseBracketed(hx_lexer* lexer, int count, Item item)
{
    if (lexer->current != '[') {
        HxLexerTokenError(lexer, '[');
        return 0;
    }
    HxLexerAdvance(lexer);
    int n = 0;
    while (n < count && lexer->current != ']') {
        if (!item(n))
            break;
        ++n;
        if (lexer->current != ',')
            break;
        HxLexerAdvance(lexer);
    }
    if (lexer->current != ']') {
        HxLexerTokenError(lexer, ']');
        return n;
    }
    HxLexerAdvance(lexer);
    return n;
}

} // namespace

hx_lexer* HxLexerAllocate(const hx_lexer_keyword* keywords, int nKeywords)
{
    auto* lexer = static_cast<hx_lexer*>(HxResAllocate(fw.anchor, sizeof(hx_lexer), HX_RES_LEXER));
    if (!lexer)
        return nullptr;
    lexer->text = static_cast<char*>(HxResAllocate(lexer, kTextSize, HX_RES_LEXER));
    if (!lexer->text) {
        HxResFree(lexer);
        return nullptr;
    }
    lexer->textSize = kTextSize;
    lexer->keywords = keywords;
    lexer->nKeywords = nKeywords;
    lexer->next = ReadToken;
    lexer->current = HX_LEX_END;
    return lexer;
}

int HxLexerCommentSet(hx_lexer* lexer, int comment)
{
    int previous = lexer->comment;
    lexer->comment = comment;
    return previous;
}

hx_lexer_error_cbfn HxLexerErrorSet(hx_lexer* lexer, hx_lexer_error_cbfn error)
{
    hx_lexer_error_cbfn previous = lexer->error;
    lexer->error = error;
    return previous;
}

void HxLexerFree(hx_lexer* lexer)
{
    HxResFree(lexer);
}

hx_error HxLexerPushFile(hx_lexer* lexer, const char* name)
{
    int mode = HX_FILE_MODE_TEXT;
    hx_file* file = HxFileOpenRead(name, 0, nullptr, &mode);
    if (!file)
        return HXE_FAIL;
    hx_lexer_source* s = NewSource(lexer, name);
    if (!s) {
        HxFileClose(file);
        return HXE_NO_MEMORY;
    }
    HxResAdd(s, file); // closes with its source
    s->file = file;
    s->next = NextFromFile;
    Push(lexer, s);
    return HX_OK;
}

hx_error HxLexerPushString(hx_lexer* lexer, const char* text, const char* name)
{
    hx_lexer_source* s = NewSource(lexer, name ? name : "");
    if (!s)
        return HXE_NO_MEMORY;
    s->string = text;
    s->next = NextFromString;
    Push(lexer, s);
    return HX_OK;
}

void HxLexerPop(hx_lexer* lexer)
{
    hx_lexer_source* s = lexer->source;
    if (!s)
        return;
    lexer->source = s->below;
    HxResFree(s);
}

void HxLexerDumpSet(hx_lexer* lexer, hx_lexer_dump_cbfn dump, void* arg)
{
    lexer->dump = dump;
    lexer->dumpArg = arg;
    lexer->next = dump ? ReadTokenAndDump : ReadToken;
}

void HxLexerTokenError(hx_lexer* lexer, int expected)
{
    if (lexer->current != HX_LEX_ERROR) {
        static const char* const kExpected[] = {"expected end of file", nullptr, "expected an identifier",
                                                "expected a string", "expected an integer",
                                                "expected a real number"};
        char message[300];
        if (expected >= 0 && expected <= HX_LEX_REAL && expected != HX_LEX_ERROR)
            std::snprintf(message, sizeof message, "%s", kExpected[expected]);
        else if (expected == HX_LEX_ERROR)
            std::snprintf(message, sizeof message, "%s", "expected an error");
        else if (const char* k = KeywordName(lexer, expected))
            std::snprintf(message, sizeof message, "expected '%s'", k);
        else if (expected >= 128)
            std::snprintf(message, sizeof message, "expected unknown keyword %d", expected);
        else if (HxIsPrint(expected))
            std::snprintf(message, sizeof message, "expected '%c'", expected);
        else
            std::snprintf(message, sizeof message, "expected unknown token %d", expected);
        Report(lexer, message);
    } else {
        Report(lexer, lexer->value.text);
    }
    while (lexer->current != expected && lexer->current != HX_LEX_END)
        HxLexerAdvance(lexer);
}

char* HxLexerPosition(hx_lexer* lexer, char* buffer, int size)
{
    if (size < 1)
        return buffer;
    if (lexer->source)
        std::snprintf(buffer, size_t(size), "%s:%d ", lexer->source->name, lexer->source->line);
    else
        buffer[0] = 0;
    return buffer;
}

hx_fixed HxParseFixed(hx_lexer* lexer)
{
    double v;
    if (!ParseNumber(lexer, true, "expecting a fixed", &v))
        return 0;
    return HxFloatToFixedSaturate(v);
}

float HxParseFloat(hx_lexer* lexer)
{
    double v;
    ParseNumber(lexer, true, "expecting a float", &v);
    return float(v);
}

int32_t HxParseInteger(hx_lexer* lexer)
{
    double v;
    ParseNumber(lexer, false, "expecting an integer", &v);
    return int32_t(int64_t(v));
}

int HxParseVectorFixed(hx_lexer* lexer, hx_fixed* values, int count)
{
    return ParseBracketed(lexer, count, [&](int i) {
        values[i] = HxParseFixed(lexer);
        return true;
    });
}

int HxParseVectorFloat(hx_lexer* lexer, float* values, int count)
{
    return ParseBracketed(lexer, count, [&](int i) {
        values[i] = HxParseFloat(lexer);
        return true;
    });
}

int HxParseMatrixFixed(hx_lexer* lexer, hx_fixed* values, int rowStride, int rows)
{
    return ParseBracketed(lexer, rows, [&](int row) {
        return HxParseVectorFixed(lexer, values + row * rowStride, rowStride) > 0;
    });
}

int HxParseMatrixFloat(hx_lexer* lexer, float* values, int rowStride, int rows)
{
    return ParseBracketed(lexer, rows, [&](int row) {
        return HxParseVectorFloat(lexer, values + row * rowStride, rowStride) > 0;
    });
}
