// Framework begin and end: the order in which the core and the modules
// around it start and stop.
#include "framework/fw.h"

#include <cstdlib>
#include <cstring>

#include "framework/devlist.h"
#include "framework/fw_state.h"
#include "framework/host.h"
#include "framework/image.h"
#include "framework/pixelmap.h"
#include "framework/sys_conf.h"
#include "framework/token.h"

hx_fw fw;

hx_error HxFwBegin()
{
    if (fw.active)
        return HXE_ACTIVE;
    if (!fw.diag)
        fw.diag = &HxStdioDiagHandler;
    if (!fw.fsys)
        fw.fsys = &HxStdFilesystem;
    if (!fw.mem)
        fw.mem = &HxStdlibAllocator;
    fw.defaultFileMode = HX_FILE_MODE_BINARY;

    hx_error error = HxResourceBegin();
    if (error == HX_OK) {
        HxNewList(&fw.images);
        fw.devices = static_cast<hx_device_slot*>(
            HxResAllocate(fw.anchor, kHxDeviceSlotStep * sizeof(hx_device_slot), HX_RES_DRIVER));
        fw.deviceSlots = fw.devices ? kHxDeviceSlotStep : 0;
        if (!fw.devices)
            error = HXE_NO_MEMORY;
    }
    if (error != HX_OK) {
        // Leave nothing half-begun: give back what was taken, keep the
        // handlers that the caller installed.
        hx_fw kept = {};
        kept.diag = fw.diag;
        kept.fsys = fw.fsys;
        kept.mem = fw.mem;
        if (fw.anchor)
            HxResFree(fw.anchor);
        fw = kept;
        return error;
    }

    fw.active = 1;
    HxTokenListBegin();
    HxSystemConfigBegin();
    fw.devicesAdded = 0;
    HxImageAdd(&HxImageCore1);
    return HX_OK;
}

hx_error HxFwEnd()
{
    if (!fw.active)
        return HXE_NOT_ACTIVE;
    HxImageRemove(&HxImageCore1);
    // Exception frames hang under no parent: free those still pushed.
    while (fw.exceptionTop)
        _HxExceptionEnd();
    HxResFree(fw.anchor);
    std::memset(static_cast<void*>(&fw), 0, sizeof fw);
    return HX_OK;
}

hx_error HxCoreBegin()
{
    if (fw.coreBegun)
        return HXE_ACTIVE;
    hx_error error = HxFwBegin();
    if (error != HX_OK && error != HXE_ACTIVE)
        return error;
    HxHostBegin();
    HxPixelmapBegin();
    fw.coreBegun = 1;
    return HX_OK;
}

hx_error HxCoreEnd()
{
    if (!fw.coreBegun)
        return HXE_NOT_ACTIVE;
    fw.coreBegun = 0;
    hx_object* device;
    while (HxDevFind(&device, nullptr) == HX_OK)
        HxDevRemove(device);
    HxPixelmapEnd();
    HxHostEnd();
    return HxFwEnd();
}

hx_bool HxFwActive()
{
    return fw.active;
}

void* HxFwAnchor()
{
    return fw.anchor;
}

void HxQsort(void* base, size_t n, size_t size, int (*compare)(const void*, const void*))
{
    std::qsort(base, n, size, compare);
}
