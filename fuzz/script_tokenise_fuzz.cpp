// Fuzz target: the script tokeniser over arbitrary script files.
//
// The input becomes the mission script "fuzz.scr" in a scratch data tree
// (it may include itself, or "other.shp", which holds a copy of it too).
// Script faults end in a message box, which here throws; afterwards the
// compiled stream must lie inside its buffers and the mission roll-back
// must restore the mark.
#include "fuzz/fuzz_support.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started =
        fuzz::StartScriptScratch({"zqk/resource/scripts/missions", "zqk/resource/scripts/ships"});
    (void)started;
    fuzz::WriteFile("zqk/resource/scripts/missions/fuzz.scr", data, size);
    fuzz::WriteFile("zqk/resource/scripts/ships/other.shp", data, size);

    const uint32_t mark = gScriptBuffers.tokenCursor;
    const uint32_t symbols = gSymbols.count;
    try {
        TokeniseScript("fuzz.scr");
    } catch (const fuzz::Stopped&) {
    }
    if (gScriptBuffers.tokenCursor > kTokenCapacity || gScriptBuffers.dataCursor > kDataCapacity ||
        gSymbols.count > kSymbolCapacity)
        std::abort();
    ResetMissionScript();
    if (gScriptBuffers.tokenCursor != mark || gSymbols.count != symbols)
        std::abort();
    return 0;
}
