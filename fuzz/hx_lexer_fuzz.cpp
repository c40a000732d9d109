// Fuzz target: the framework's lexer reading a file, and its scalar, vector
// and matrix parsers driven over whatever tokens the file holds. The same
// text is also read as a string source stacked over the file.
#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/lexer.h"
#include "fuzz/fuzz_support.h"

#include <cstdint>
#include <string>

namespace {

void Quiet(const char*) {}
hx_diaghandler gQuiet = {"quiet", Quiet, Quiet};
void QuietLexer(hx_lexer*, const char*) {}

constexpr hx_lexer_keyword kKeywords[] = {{"begin", 128}, {"end", 129}, {"true", 130}};
constexpr int kSteps = 4096;

bool Start()
{
    fuzz::EnterScratchFolder({});
    HxDiagHandlerSet(&gQuiet);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    fuzz::WriteFile("lex.txt", data, size);
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));

    if (HxCoreBegin() != HX_OK)
        std::abort();
    hx_lexer* lexer = HxLexerAllocate(kKeywords, 3);
    if (!lexer)
        std::abort();
    HxLexerErrorSet(lexer, QuietLexer);
    HxLexerCommentSet(lexer, size > 0 && data[0] == '#' ? '#' : 0);
    if (HxLexerPushFile(lexer, "lex.txt") != HX_OK)
        std::abort(); // the file is there
    HxLexerPushString(lexer, text.c_str(), "string");
    HxLexerAdvance(lexer);
    float vector[4];
    hx_fixed matrix[4][3];
    for (int step = 0; step < kSteps && lexer->current != HX_LEX_END; ++step) {
        switch (step % 7) {
        case 0: HxParseFixed(lexer); break;
        case 1: HxParseFloat(lexer); break;
        case 2: HxParseInteger(lexer); break;
        case 3: HxParseVectorFloat(lexer, vector, 4); break;
        case 4: HxParseVectorFixed(lexer, &matrix[0][0], 3); break;
        case 5: HxParseMatrixFixed(lexer, &matrix[0][0], 3, 4); break;
        default: HxLexerAdvance(lexer); break;
        }
    }
    char position[64];
    HxLexerPosition(lexer, position, sizeof position);
    while (lexer->source)
        HxLexerPop(lexer);
    HxLexerFree(lexer);
    HxCoreEnd();
    return 0;
}
