// Fuzz target: LightWave objects. The input is the object, its "_BOX.lwo"
// companion and (after the first load wrote it) read back with its ".smg"
// cache; then the same bytes as a wireframe and as points written out.
// Whatever the chunks, polygons and sub-chunks claim, nothing is read past
// them and every model made holds only faces naming its own vertices.
#include "framework/scene.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/hx_scene_fuzz.h"
#include "view/lwoloader.h"
#include "world/pools.h"

#include <cstdio>

namespace {

void IgnoreMessageBox(const char*, const char*) {}

bool Started()
{
    static bool started = [] {
        if (!HxFuzzCoreBegun())
            return false;
        fuzz::EnterScratchFolder({});
        SetMessageBoxHook(IgnoreMessageBox);
        return true;
    }();
    return started;
}

void CheckModel(const hx_model* m)
{
    if (!m)
        return;
    for (int i = 0; i < m->nfaces; ++i)
        for (uint16_t v : m->faces[i].vertices)
            if (v >= m->nvertices)
                std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!Started())
        return 0;
    fuzz::WriteFile("in.lwo", data, size);
    fuzz::WriteFile("in_BOX.lwo", data, size);
    std::remove("in.smg");
    if (HxSceneBegin() != HX_OK)
        return 0;
    int32_t out = 0;
    hx_model* first = LWO2HXM("in.lwo", nullptr, &out);
    CheckModel(first);
    if (first) {
        HxModelRemove(first);
        CheckModel(LWO2HXM("in.lwo", nullptr, &out)); // through the cache just written
    }
    HxSceneEnd();
    ResetPools();
    if (WireShape* wire = LWO2WRI("in.lwo", nullptr, &out)) {
        for (int i = 0; i < wire->edgeCount; ++i)
            if (wire->edges[i][0] >= wire->pointCount || wire->edges[i][1] >= wire->pointCount)
                std::abort();
        for (int i = 0; i < wire->pointCount; ++i)
            if (wire->points[i][2] < -1 || wire->points[i][2] >= wire->partCount)
                std::abort();
        FreeWireShape(wire);
    }
    ConvertLwoPoints("in.lwo", "in.txt");
    return 0;
}
