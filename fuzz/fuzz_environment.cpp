// Linked into every fuzz target: before the first input, the process gets a
// scratch folder of its own as its home, configuration, cache and runtime
// folders, a missing key store, a drive table of one drive inside it, and
// none of the framework's configuration variables, so that what a target
// reads never depends on the machine it runs on. The folder is removed at
// exit. The working folder is left as it is (corpus paths may be relative);
// targets that read data files change into a folder of their own.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

namespace {

std::filesystem::path gScratch;

void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(gScratch, ignored);
}

bool SetUpEnvironment()
{
    char pattern[] = "/tmp/kv_fuzz_env_XXXXXX";
    if (!::mkdtemp(pattern))
        std::abort();
    gScratch = pattern;
    std::atexit(RemoveScratch);
    for (const char* folder : {"config", "cache", "run"})
        ::mkdir((gScratch / folder).c_str(), 0700);
    const std::string root = gScratch.string();
    ::setenv("HOME", root.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    ::setenv("KELVANDRIST_REGISTRY", (root + "/config/registry.reg").c_str(), 1);
    ::setenv("KELVANDRIST_DRIVES", ("C=" + root).c_str(), 1);
    ::setenv("KELVANDRIST_LOCK_DIR", (root + "/run").c_str(), 1);
    ::setenv("KELVANDRIST_UNPACED", "1", 1);
    ::setenv("SDL_VIDEODRIVER", "dummy", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const char* name : {"HEXMIRE_PATH", "HEXMIRE_DRIVERS", "HX_DRIVERS", "HEXMIRE_DEVICES", "HX_DEVICES",
                             "HEXMIRE_DOS_GFX", "HEXMIRE_DEFAULT_DEVICE", "HX_DEFAULT_DEVICE"})
        ::unsetenv(name);
    return true;
}

const bool gReady = SetUpEnvironment();

} // namespace
