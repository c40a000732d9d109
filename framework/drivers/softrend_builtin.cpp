// The software renderer as a driver linked into the framework: its host
// table holds the framework's own functions, and its entry point is in the
// framework's table of built-in drivers.
#include "framework/drivers/softrend/softrend.h"
#include "framework/drivers/softrend/sr_geometry.h"
#include "framework/list.h"
#include "framework/scene.h"

namespace softrend {
Host host = {
    .namePatternMatch = HxNamePatternMatch,
    .bucketSelect = HxOrderTableBucketSelect,
    .primitiveInsert = HxOrderTablePrimitiveInsert,
};
} // namespace softrend

hx_object* HxSoftrendDriverBegin(const char*)
{
    return softrend::DriverBegin();
}
