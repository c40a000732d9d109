// FFmpeg loaded on first use. See ffmpeg.h.
#include "platform/ffmpeg.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <thread>

namespace platform {
namespace {

#define KV_STRINGIFY_INNER(x) #x
#define KV_STRINGIFY(x) KV_STRINGIFY_INNER(x)

// The libraries by the sonames of the major versions built against, in
// the order they depend on each other; the enumerators are the names
// KV_FFMPEG_FUNCTIONS gives them.
enum Library {
    avutil,
    swscale,
    avcodec,
    avformat,
    kLibraryCount
};
constexpr const char* kSonames[kLibraryCount] = {
    "libavutil.so." KV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libswscale.so." KV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libavcodec.so." KV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." KV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
};
void* gHandles[kLibraryCount] = {};

bool OpenLibraries()
{
    for (int i = 0; i < kLibraryCount; ++i) {
        gHandles[i] = dlopen(kSonames[i], RTLD_LAZY | RTLD_LOCAL);
        if (!gHandles[i]) {
            std::fprintf(stderr, "Kelvandrist: no films: %s\n", dlerror());
            return false;
        }
    }
    return true;
}

bool LoadTable(FfmpegLibrary& table)
{
    if (!OpenLibraries())
        return false;
    bool whole = true;
#define KV_FFMPEG_LOAD(library, function) \
    table.function = reinterpret_cast<decltype(table.function)>(dlsym(gHandles[library], #function)); \
    if (!table.function) { \
        std::fprintf(stderr, "Kelvandrist: no films: %s has no %s\n", kSonames[library], #function); \
        whole = false; \
    }
    KV_FFMPEG_FUNCTIONS(KV_FFMPEG_LOAD)
#undef KV_FFMPEG_LOAD
    return whole;
}

std::thread gLoader;

void JoinLoader()
{
    if (gLoader.joinable())
        gLoader.join();
}

} // namespace

const FfmpegLibrary* Ffmpeg()
{
    static FfmpegLibrary table;
    static const bool loaded = LoadTable(table);
    return loaded ? &table : nullptr;
}

void LoadFfmpegInBackground()
{
    if (gLoader.joinable())
        return;
    gLoader = std::thread([] { Ffmpeg(); });
    // Joined before the process's static objects and the libraries go,
    // whichever way the process ends.
    static const bool joinAtExit = std::atexit(JoinLoader) == 0;
    (void)joinAtExit;
}

} // namespace platform
