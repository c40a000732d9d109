// Fuzz target: 3D Studio ASCII scenes. Whatever the lines, the models made
// hold only what their counts allow, and preparing them reports faces that
// name missing vertices instead of reading past the array.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/scene.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"fuzz", Quiet, Quiet};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/hx_asc_fuzz_" + std::to_string(::getpid()) + ".asc";
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
    if (HxSceneBegin() != HX_OK)
        return 0;
    HxMaterialAdd(HxMaterialAllocate("steel"));
    hx_model* models[8] = {};
    int n = HxAscModelLoadMany(path.c_str(), models, 8);
    for (int i = 0; i < n; ++i) {
        models[i]->flags = HX_MODF_UPDATEABLE;
        if (models[i]->vertices && models[i]->faces)
            HxModelUpdate(models[i], HX_MODU_ALL);
    }
    HxSceneEnd();
    std::remove(path.c_str());
    return 0;
}
