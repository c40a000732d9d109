// The framework's lexer: tokens from a stack of character sources (files
// and strings) with a keyword table, an optional comment character and an
// error callback; and parsers for signed scalars, vectors and matrices.
#pragma once

#include <cstdint>

#include "framework/hx_types.h"

struct hx_file;
struct hx_lexer;

// Token types; any other printable character stands for itself, and
// keywords return their own type from the table.
enum : int {
    HX_LEX_END = 0,
    HX_LEX_ERROR = 1,  // value: the message
    HX_LEX_IDENT = 2,  // value: the text
    HX_LEX_STRING = 3, // value: the text
    HX_LEX_INTEGER = 4,
    HX_LEX_REAL = 5,
};

struct hx_lexer_keyword {
    const char* name;
    int type;
};

using hx_lexer_error_cbfn = void (*)(hx_lexer* lexer, const char* message);
using hx_lexer_dump_cbfn = void (*)(const char* line, void* arg);

struct hx_lexer_source {
    hx_lexer_source* below;
    const char* name;
    int line;    // from 1
    int current; // the current character; -1 at the end
    int (*next)(hx_lexer_source* source);
    hx_file* file;      // file sources
    const char* string; // string sources: the next character
};

struct hx_lexer {
    hx_lexer_source* source;
    int current; // the current token's type
    union {
        int32_t integer;
        float real;
        const char* text; // identifiers, strings, error messages
    } value;
    const hx_lexer_keyword* keywords;
    int nKeywords;
    int comment; // 0: none
    hx_lexer_error_cbfn error;
    void* errorArg; // for the error callback's own use
    void (*next)(hx_lexer* lexer);
    hx_lexer_dump_cbfn dump;
    void* dumpArg;
    char* text;
    int textSize;
};

hx_lexer* HxLexerAllocate(const hx_lexer_keyword* keywords, int nKeywords);
int HxLexerCommentSet(hx_lexer* lexer, int comment);
hx_lexer_error_cbfn HxLexerErrorSet(hx_lexer* lexer, hx_lexer_error_cbfn error);
void HxLexerFree(hx_lexer* lexer);
hx_error HxLexerPushFile(hx_lexer* lexer, const char* name);
hx_error HxLexerPushString(hx_lexer* lexer, const char* text, const char* name);
void HxLexerPop(hx_lexer* lexer);
void HxLexerDumpSet(hx_lexer* lexer, hx_lexer_dump_cbfn dump, void* arg);
void HxLexerTokenError(hx_lexer* lexer, int expected);
char* HxLexerPosition(hx_lexer* lexer, char* buffer, int size);

// Reads the next token into the lexer's current token.
inline void HxLexerAdvance(hx_lexer* lexer)
{
    lexer->next(lexer);
}

hx_fixed HxParseFixed(hx_lexer* lexer);
float HxParseFloat(hx_lexer* lexer);
int32_t HxParseInteger(hx_lexer* lexer);
int HxParseVectorFixed(hx_lexer* lexer, hx_fixed* values, int count);
int HxParseVectorFloat(hx_lexer* lexer, float* values, int count);
int HxParseMatrixFixed(hx_lexer* lexer, hx_fixed* values, int rowStride, int rows);
int HxParseMatrixFloat(hx_lexer* lexer, float* values, int rowStride, int rows);
