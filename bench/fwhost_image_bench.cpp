// Resolving a driver's imports: name lookups in the core's export image
// (binary search, with and without the leading underscore), and finding a
// referenced image and a device by name.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "framework/devlist.h"
#include "framework/fw.h"
#include "framework/image.h"

namespace {

void BM_LookupEveryCoreExport(benchmark::State& state)
{
    std::vector<std::string> names;
    for (int i = 0; i < HxImageCore1.nNames; ++i)
        names.emplace_back(HxImageCore1.names[i] + (state.range(0) ? 1 : 0));
    for (auto _ : state) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(HxImageLookupName(&HxImageCore1, name.c_str(), -1));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(names.size()));
}
BENCHMARK(BM_LookupEveryCoreExport)->Arg(0)->Arg(1);

hx_object* EmptyDevice(const char*)
{
    static const hx_container_dispatch dispatch = {
        .object = {.free = [](hx_object*) {}, .identifier = [](hx_object*) { return "EMPTY"; }},
    };
    static hx_object device = {&dispatch.object};
    return &device;
}

void BM_ReferenceAndFindDevice(benchmark::State& state)
{
    HxCoreBegin();
    for (int i = 0; i < 31; ++i)
        HxDevAddStatic(nullptr, EmptyDevice, nullptr);
    HxImageBuiltInDriverAdd("LAST", [](const char*) -> hx_object* {
        static const hx_container_dispatch dispatch = {
            .object = {.free = [](hx_object*) {}, .identifier = [](hx_object*) { return "LAST"; }},
        };
        static hx_object device = {&dispatch.object};
        return &device;
    });
    HxDevAdd(nullptr, "LAST", nullptr);
    for (auto _ : state) {
        hx_image* image = HxImageReference("last");
        HxImageDereference(image);
        hx_object* device = nullptr;
        benchmark::DoNotOptimize(HxDevFind(&device, "LAST"));
    }
    HxCoreEnd();
    HxImageBuiltInDriverRemove("LAST");
}
BENCHMARK(BM_ReferenceAndFindDevice);

} // namespace
