// Fuzz target: 3D Studio ASCII scenes. Whatever the lines, the models made
// hold only what their counts allow, and preparing them reports faces that
// name missing vertices instead of reading past the array.
#include "framework/scene.h"
#include "fuzz/hx_scene_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!HxFuzzCoreBegun())
        return 0;
    const std::string path = HxFuzzInputFile("hx_asc_fuzz", data, size);
    if (path.empty())
        return 0;
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
