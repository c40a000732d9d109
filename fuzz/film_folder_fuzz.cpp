// Fuzz target: where the films are looked for. The input is the registry's
// install value (the drive of the films); drive D: is a disc whose "video"
// folder holds "b01.smk" and "b02.smk" (a FIFO: it is looked at, never waited
// on). The video folder moves to the disc only when the value names that
// drive, and the film paths made from it stay plain.
#include "fuzz/fuzz_support.h"
#include "platform/files.h"
#include "platform/host.h"
#include "platform/registry.h"
#include "system/datalocation.h"
#include "system/film.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

bool Start()
{
    fuzz::EnterScratchFolder({"disc/video", "zqk/resource/video"});
    const uint8_t film[] = "SMK2";
    fuzz::WriteFile("disc/video/b01.smk", film, sizeof film);
    ::mkfifo("disc/video/b02.smk", 0600);
    platform::SetDrive('D', platform::DriveType::CdRom, (fuzz::ScratchRoot() / "disc").c_str());
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    std::string value(reinterpret_cast<const char*>(data), size);
    value = value.substr(0, std::strlen(value.c_str()));
    platform::RegistrySetString(nullptr, kInstallKey, nullptr, value.c_str());
    gVideoFolder = "zqk\\resource\\video";
    gSpeechFolder = "zqk\\resource\\text\\audio";

    const int found = LocateVideoFolder();
    const bool onDisc = value.size() >= 2 && value[1] == ':' && std::toupper(static_cast<unsigned char>(value[0])) == 'D';
    if (found != (onDisc ? 1 : 0))
        __builtin_trap();
    if (found && (gVideoFolder.size() != 8 || gVideoFolder.substr(1) != ":\\video"))
        __builtin_trap();
    const std::string path = MakeFilmPath("b02.smk");
    if (std::FILE* film = platform::OpenDataFile(path.c_str(), "rb")) {
        std::fclose(film);
        __builtin_trap(); // the FIFO never opens, nor does a film that is not there
    }
    if (path.size() > gVideoFolder.size() + 1 + std::strlen("b02.smk"))
        __builtin_trap();
    return 0;
}
