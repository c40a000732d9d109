// What the scene layer's fuzz targets share: the framework core begun once
// with a diagnostic handler that stays quiet and returns, and each input
// written to a file of the target's own for the loader to open.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/diag.h"
#include "framework/fw.h"

inline bool HxFuzzCoreBegun()
{
    static hx_diaghandler quiet = {"fuzz", [](const char*) {}, [](const char*) {}};
    static bool begun = [] {
        HxDiagHandlerSet(&quiet);
        if (HxCoreBegin() != HX_OK)
            return false;
        std::atexit([] { HxCoreEnd(); });
        return true;
    }();
    return begun;
}

// The file's name for this process, or empty when it cannot be written.
inline std::string HxFuzzInputFile(const char* target, const uint8_t* data, size_t size)
{
    std::string path = std::string("/tmp/") + target + "_" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return {};
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}
