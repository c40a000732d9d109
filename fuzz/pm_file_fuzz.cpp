// Fuzz target: pixelmap files in both encodings. Whatever the bytes, loading
// returns only pixelmaps whose pixels cover what their records describe.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/pmfile.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"fuzz", Quiet, Quiet};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/pm_file_fuzz_" + std::to_string(::getpid()) + ".pix";
    static bool begun = [] {
        HxDiagHandlerSet(&quiet);
        if (HxCoreBegin() != HX_OK)
            return false;
        std::atexit([] { HxCoreEnd(); });
        return true;
    }();
    if (!begun)
        return 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    hx_pixelmap* out[8] = {};
    int n = HxPixelmapLoadMany(path.c_str(), out, 8);
    for (int i = 0; i < n; ++i) {
        hx_pixelmap* pm = out[i];
        if (!pm->pixels)
            std::abort();
        // Touch every pixel the record promises: ASan catches a short block.
        HxPixelmapFill(pm, 0xA5A5A5A5);
        if (pm->map)
            HxPixelmapFill(pm->map, 0);
        HxPixelmapFree(pm);
    }
    std::remove(path.c_str());
    return 0;
}
