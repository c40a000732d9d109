// Fuzz target: files dropped on the window. The first byte of the input
// chooses the dropped file's name (an object ".LWO", a film ".smk", a script
// ".Scr"), the rest is the file. Its host path (inside the data folder) is
// made a data path as a drop makes it, and the file goes to the reader a
// drop of that kind reaches: the shape loader through the resource manager,
// the film player (which looks in the film folder), the script tokeniser.
// Whatever the file holds, the data path is the file's own and every reader
// gives up cleanly.
#include "framework/scene.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/hx_scene_fuzz.h"
#include "platform/files.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/film.h"
#include "system/res/resman.h"
#include "world/pools.h"

#include <cstdint>
#include <string>

namespace {

enum class Reader {
    Shape,
    Film,
    Script
};
struct DropKind {
    const char* name;
    Reader reader;
};
constexpr DropKind kKinds[] = {
    {"dropped.LWO", Reader::Shape},
    {"dropped.smk", Reader::Film},
    {"zqk/resource/scripts/missions/dropped.Scr", Reader::Script},
};

bool Start()
{
    if (!HxFuzzCoreBegun() || !ResInit())
        return false;
    fuzz::StartScriptScratch({"zqk/resource/video", "zqk/resource/scripts/missions"});
    ResMark();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    if (!started || size == 0 || HxSceneBegin() != HX_OK)
        return 0;
    const DropKind& kind = kKinds[data[0] % 3];
    fuzz::WriteFile(kind.name, data + 1, size - 1);
    fuzz::WriteFile(std::string("zqk/resource/video/") + "dropped.smk", data + 1, size - 1);
    const std::string path = platform::DataPathOfHostFile((fuzz::ScratchRoot() / kind.name).c_str());
    if (path != kind.name)
        __builtin_trap();
    try {
        switch (kind.reader) {
        case Reader::Shape:
            ResRegisterLoad(path.c_str(), ResType::LwoModel);
            break;
        case Reader::Film:
            PlayFilm(path.c_str());
            break;
        case Reader::Script:
            TokeniseScript(path.c_str());
            break;
        }
    } catch (const fuzz::Stopped&) {
    }
    StopFilm();
    ResetMissionScript();
    ResReleaseToMark();
    HxSceneEnd();
    ResetPools();
    return 0;
}
