// The software renderer built as a shared object ("softrend.so", found
// along HEXMIRE_PATH). It links nothing of the framework: its imports, the
// framework's name patterns and the order tables' bucket choice and
// insertion (for Z-sort renders), are filled by the loader before
// HxDrv1Begin runs.
#include "framework/drivers/softrend/sr_geometry.h"
#include "framework/image.h"

namespace softrend {
Host host = {};
} // namespace softrend

namespace {
void* patternMatch;
void* bucketSelect;
void* primitiveInsert;
} // namespace

extern "C" {

__attribute__((visibility("default"))) hx_driver_import HxDrv1Imports[] = {
    {"HXCORE1", "HxNamePatternMatch", -1, &patternMatch},
    {"HXCORE1", "HxOrderTableBucketSelect", -1, &bucketSelect},
    {"HXCORE1", "HxOrderTablePrimitiveInsert", -1, &primitiveInsert},
    {nullptr, nullptr, 0, nullptr},
};

__attribute__((visibility("default"))) hx_object* HxDrv1Begin(const char*)
{
    softrend::host.namePatternMatch = reinterpret_cast<decltype(softrend::host.namePatternMatch)>(patternMatch);
    softrend::host.bucketSelect = reinterpret_cast<decltype(softrend::host.bucketSelect)>(bucketSelect);
    softrend::host.primitiveInsert = reinterpret_cast<decltype(softrend::host.primitiveInsert)>(primitiveInsert);
    return softrend::DriverBegin();
}

} // extern "C"
