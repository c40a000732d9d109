// Fuzz target: the script tokeniser over arbitrary script files.
//
// The input becomes the mission script "fuzz.scr" in a scratch data tree
// (it may include itself, or "other.shp", which holds a copy of it too).
// Script faults end in a message box, which here throws; afterwards the
// compiled stream must lie inside its buffers and the mission roll-back
// must restore the mark.
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/errors.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

struct Stopped {};

void ThrowOnMessageBox(const char*, const char*)
{
    throw Stopped{};
}

std::filesystem::path gRoot;

void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(gRoot, ignored);
}

bool Start()
{
    char pattern[] = "/tmp/kv_script_fuzz_XXXXXX";
    if (!mkdtemp(pattern))
        std::abort();
    gRoot = pattern;
    std::atexit(RemoveScratch);
    std::filesystem::create_directories(gRoot / "zqk/resource/scripts/missions");
    std::filesystem::create_directories(gRoot / "zqk/resource/scripts/ships");
    std::filesystem::current_path(gRoot);
    SetMessageBoxHook(ThrowOnMessageBox);
    InitializeScriptSystem();
    return true;
}

void Write(const char* path, const uint8_t* data, size_t size)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    Write("zqk/resource/scripts/missions/fuzz.scr", data, size);
    Write("zqk/resource/scripts/ships/other.shp", data, size);

    const uint32_t mark = gScriptBuffers.tokenCursor;
    const uint32_t symbols = gSymbols.count;
    try {
        TokeniseScript("fuzz.scr");
    } catch (const Stopped&) {
    }
    if (gScriptBuffers.tokenCursor > kTokenCapacity || gScriptBuffers.dataCursor > kDataCapacity ||
        gSymbols.count > kSymbolCapacity)
        std::abort();
    ResetMissionScript();
    if (gScriptBuffers.tokenCursor != mark || gSymbols.count != symbols)
        std::abort();
    return 0;
}
