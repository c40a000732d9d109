// script_dump: compiles scripts the way the game does and prints the token
// stream, the symbols the scripts made and the briefing index.
//
//   script_dump [-C data-folder] name...
//
// Names are looked up like the game's (a bare "m01.scr" is read from
// zqk\resource\scripts\missions), relative to the data folder (default: the
// current folder). A script fault prints the game's message and exits 1.
#include "script/scriptbase.h"
#include "script/scriptdump.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/errors.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

void PrintAndStop(const char* text, const char* title)
{
    std::fprintf(stderr, "%s: %s\n", title, text);
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "-C") == 0) {
        std::error_code error;
        std::filesystem::current_path(argv[2], error);
        if (error) {
            std::fprintf(stderr, "script_dump: cannot enter %s\n", argv[2]);
            return 2;
        }
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: script_dump [-C data-folder] name...\n");
        return 2;
    }
    SetMessageBoxHook(PrintAndStop);
    InitializeScriptSystem();
    const uint32_t firstSymbol = MarkedSymbolCount();
    int missing = 0;
    for (int i = first; i < argc; ++i) {
        ScriptToken* start = TokeniseScript(argv[i]);
        if (!start) {
            std::fprintf(stderr, "script_dump: cannot open %s\n", argv[i]);
            ++missing;
            continue;
        }
        const uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
        std::printf("%s:\n%s", argv[i], DumpScriptTokens(position, gScriptBuffers.tokenCursor).c_str());
    }
    std::printf("symbols:\n%s%s", DumpScriptSymbols(firstSymbol).c_str(), DumpBriefingIndex().c_str());
    std::printf("used: %u of %u token pairs, %u of %u data bytes, %u of %u symbols\n", gScriptBuffers.tokenCursor,
                kTokenCapacity, gScriptBuffers.dataCursor, kDataCapacity, gSymbols.count, kSymbolCapacity);
    return missing ? 1 : 0;
}
