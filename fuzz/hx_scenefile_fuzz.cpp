// Fuzz target: model, material and actor files in both encodings. Whatever
// the bytes, loading gives records that preparation, rendering and saving
// can use: faces naming missing vertices are reported, never read.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/devlist.h"
#include "framework/diag.h"
#include "framework/drivers/recording_renderer.h"
#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"fuzz", Quiet, Quiet};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/hx_scenefile_fuzz_" + std::to_string(::getpid()) + ".dat";
    static const std::string out = path + ".out";
    static bool begun = [] {
        HxDiagHandlerSet(&quiet);
        if (HxCoreBegin() != HX_OK || HxDevAdd(nullptr, kHxRecordingDeviceName, nullptr) != HX_OK)
            return false;
        HxRecordingLogEnable(false);
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

    // A fresh scene for every input: whatever a file leaves allocated goes
    // with the scene's end.
    if (HxSceneBegin() != HX_OK)
        return 0;
    HxMaterialAdd(HxMaterialAllocate("red"));
    HxMaterialAdd(HxMaterialAllocate("blue"));
    HxZbBegin(0, 0);
    hx_material* materials[8] = {};
    int nm = HxMaterialLoadMany(path.c_str(), materials, 8);
    for (int i = 0; i < nm; ++i)
        HxMaterialUpdate(materials[i], 255);
    hx_model* models[8] = {};
    int n = HxModelLoadMany(path.c_str(), models, 8);
    for (int i = 0; i < n; ++i) {
        hx_model* m = models[i];
        m->flags |= HX_MODF_UPDATEABLE;
        if (m->vertices && m->faces) {
            HxModelUpdate(m, HX_MODU_ALL);
            HxModelSave(out.c_str(), m);
        }
    }
    hx_actor* actors[4] = {};
    int na = HxActorLoadMany(path.c_str(), actors, 4);
    if (na > 0) {
        hx_pixelmap* colour = HxPixelmapAllocate(HX_PMT_INDEX_8, 16, 16, nullptr, 0);
        hx_actor* camera = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
        HxActorAdd(actors[0], camera);
        HxZbSceneRender(actors[0], camera, colour, nullptr);
        HxActorSave(out.c_str(), actors[0]);
        HxPixelmapFree(colour);
    }
    HxZbEnd();
    HxSceneEnd();
    std::remove(path.c_str());
    std::remove(out.c_str());
    return 0;
}
