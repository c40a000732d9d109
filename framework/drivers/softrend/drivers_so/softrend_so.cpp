// The software renderer built as a shared object ("softrend.so", found
// along HEXMIRE_PATH). It links nothing of the framework: its one import,
// the framework's name patterns, is filled by the loader before
// HxDrv1Begin runs. The order-table operations are not among the export
// images, so this form draws Z-buffer renders only (a Z-sort render's
// buckets stay empty).
#include "framework/drivers/softrend/sr_geometry.h"
#include "framework/image.h"

namespace softrend {
Host host = {};
} // namespace softrend

namespace {
void* patternMatch;
} // namespace

extern "C" {

__attribute__((visibility("default"))) hx_driver_import HxDrv1Imports[] = {
    {"HXCORE1", "HxNamePatternMatch", -1, &patternMatch},
    {nullptr, nullptr, 0, nullptr},
};

__attribute__((visibility("default"))) hx_object* HxDrv1Begin(const char*)
{
    softrend::host.namePatternMatch = reinterpret_cast<hx_bool (*)(const char*, const char*)>(patternMatch);
    return softrend::DriverBegin();
}

} // extern "C"
