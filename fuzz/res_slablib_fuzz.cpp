// Fuzz target: a slab library read by path. The input is the scripts
// library "zqk\resource\scripts.slb"; a mission script is opened, sized and
// read through it, and compiled from it as the game would. Whatever the
// library holds, what is read lies inside it, and a script fault ends in a
// message box (which here throws) with the script buffers intact.
#include "fuzz/fuzz_support.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/res/slab.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* kScriptPath = "zqk\\resource\\scripts\\missions\\fuzz.scr";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = fuzz::StartScriptScratch({"zqk/resource/scripts/missions"});
    (void)started;
    fuzz::WriteFile("zqk/resource/scripts.slb", data, size);

    uint32_t entrySize = 0;
    if (std::FILE* file = SlabOpen("scripts", kScriptPath, &entrySize)) {
        // No loose file exists: this is the library, at the entry's data.
        std::vector<uint8_t> bytes(entrySize);
        if (std::fread(bytes.data(), 1, entrySize, file) != entrySize)
            __builtin_trap();
        std::fclose(file);
    }
    const uint32_t textSize = SlabFindSize("scripts", kScriptPath);
    if (textSize > size)
        __builtin_trap();
    std::vector<uint8_t> buffer(4096);
    uint32_t read = 0;
    if (SlabReadInto("scripts", kScriptPath, buffer, &read) && read > buffer.size())
        __builtin_trap();

    const uint32_t mark = gScriptBuffers.tokenCursor;
    try {
        TokeniseScript("fuzz.scr");
    } catch (const fuzz::Stopped&) {
    }
    if (gScriptBuffers.tokenCursor > kTokenCapacity || gScriptBuffers.dataCursor > kDataCapacity)
        __builtin_trap();
    ResetMissionScript();
    if (gScriptBuffers.tokenCursor != mark)
        __builtin_trap();
    return 0;
}
