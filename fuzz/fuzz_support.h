// What several fuzz targets share: a scratch data folder of their own made
// the working folder, a file written from the input, the game's message box
// and fatal stop turned into an exception that ends the input's run, and the
// start of the targets that compile scripts.
#pragma once

#include "script/symbols.h"
#include "system/errors.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fuzz {

// Reads the input as a stream of bytes and big-endian words; past its end
// every read gives 0.
struct InputReader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    bool More() const { return at < size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint32_t Word()
    {
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i)
            w = (w << 8) | Byte();
        return w;
    }
};

struct Stopped {};

inline void ThrowOnMessageBox(const char*, const char*)
{
    throw Stopped{};
}

inline void ThrowOnFatalStop(const char*)
{
    throw Stopped{};
}

inline std::filesystem::path& ScratchRoot()
{
    static std::filesystem::path root;
    return root;
}

// Makes a new empty folder under /tmp the working folder, with `folders`
// below it; it is removed when the process ends.
inline void EnterScratchFolder(std::initializer_list<const char*> folders)
{
    char pattern[] = "/tmp/kv_fuzz_data_XXXXXX";
    if (!::mkdtemp(pattern))
        std::abort();
    ScratchRoot() = pattern;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(ScratchRoot(), ignored);
    });
    for (const char* folder : folders)
        std::filesystem::create_directories(ScratchRoot() / folder);
    std::filesystem::current_path(ScratchRoot());
}

inline void WriteFile(const std::filesystem::path& path, const uint8_t* data, size_t size)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The start of the targets that compile scripts: a scratch data tree with
// `folders`, message boxes that end the input's run, the script system up.
inline bool StartScriptScratch(std::initializer_list<const char*> folders)
{
    EnterScratchFolder(folders);
    SetMessageBoxHook(ThrowOnMessageBox);
    InitializeScriptSystem();
    return true;
}

} // namespace fuzz
