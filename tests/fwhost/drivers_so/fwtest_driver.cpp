// A driver built as a shared object, for the loader tests. It links nothing
// of the framework: everything it calls comes through its import table,
// which the loader fills before HxDrv1Begin runs. Built three times: as
// "fwtest_good", as "fwtest_noentry" without an entry point, and as
// "fwtest_badimport" and "fwtest_badordinal" with an import, by name or by
// ordinal, that no image exports.
#include <cstdint>

#include "framework/image.h"
#include "framework/object.h"
#include "framework/resource.h"

namespace {

// The import slots, in the order of the table below.
enum Import {
    kResAllocate,
    kResFree,
    kFwAnchor,
    kAbort,
    kDefaultDevice,
    kFirstHost,
    kMissing,
    kImports
};
void* slots[kImports];

template <typename Fn>
Fn Imported(Import i)
{
    return reinterpret_cast<Fn>(slots[i]);
}

struct Device {
    hx_object object;
    char arguments[64];
    char defaultDevice[16];
};

void DeviceFree(hx_object* self)
{
    Imported<void (*)(void*)>(kResFree)(self);
}

const char* DeviceIdentifier(hx_object*)
{
    return FWTEST_NAME;
}

const hx_container_dispatch kDeviceDispatch = {
    .object = {.free = DeviceFree, .identifier = DeviceIdentifier},
};

[[maybe_unused]] void CopyText(char* to, const char* from, int size)
{
    int i = 0;
    for (; from && from[i] && i < size - 1; ++i)
        to[i] = from[i];
    to[i] = 0;
}

} // namespace

extern "C" {

// Names with and without the leading underscore, and in another case for
// the image, all resolve; so does an ordinal.
__attribute__((visibility("default"))) hx_driver_import HxDrv1Imports[] = {
    {"HXCORE1", "HxResAllocate", -1, &slots[kResAllocate]},
    {"HXCORE1", "_HxResFree", -1, &slots[kResFree]},
    {"hxcore1", "HxFwAnchor", 0, &slots[kFwAnchor]},
    {"HXCORE1", "HxAbort", -1, &slots[kAbort]},
    {"HXHOST1", "HostDefaultDevice", -1, &slots[kDefaultDevice]},
    {"HXHOST1", nullptr, 1, &slots[kFirstHost]}, // by ordinal: the first of the image
#ifdef FWTEST_BAD_IMPORT
    {"HXCORE1", "HxNoSuchFunction", 7, &slots[kMissing]},
#endif
#ifdef FWTEST_BAD_ORDINAL
    {"HXPMAP1", nullptr, 500, &slots[kMissing]},
#endif
    {nullptr, nullptr, 0, nullptr},
};

#ifndef FWTEST_NO_ENTRY
__attribute__((visibility("default"))) hx_object* HxDrv1Begin(const char* arguments)
{
    void* anchor = Imported<void* (*)()>(kFwAnchor)();
    auto* device = static_cast<Device*>(
        Imported<void* (*)(void*, uint32_t, uint8_t)>(kResAllocate)(anchor, sizeof(Device), HX_RES_APPLICATION));
    if (!device)
        return nullptr;
    device->object.dispatch = &kDeviceDispatch.object;
    CopyText(device->arguments, arguments, sizeof device->arguments);
    CopyText(device->defaultDevice, Imported<const char* (*)()>(kDefaultDevice)(), sizeof device->defaultDevice);
    return &device->object;
}
#endif

} // extern "C"
