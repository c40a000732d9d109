// Fuzz target: model, material and actor files in both encodings. Whatever
// the bytes, loading gives records that preparation, rendering and saving
// can use: faces naming missing vertices are reported, never read.
#include "framework/devlist.h"
#include "framework/drivers/recording_renderer.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "fuzz/hx_scene_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = HxFuzzCoreBegun() && HxDevAdd(nullptr, kHxRecordingDeviceName, nullptr) == HX_OK;
    if (!ready)
        return 0;
    HxRecordingLogEnable(false);
    const std::string path = HxFuzzInputFile("hx_scenefile_fuzz", data, size);
    if (path.empty())
        return 0;
    const std::string out = path + ".out";

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
