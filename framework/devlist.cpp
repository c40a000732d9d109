// The device list.
#include "framework/devlist.h"

#include "framework/fw_state.h"

hx_error HxDevFind(hx_object** out, const char* pattern)
{
    for (int i = 0; i < fw.deviceSlots; ++i) {
        hx_object* device = fw.devices[i].device;
        if (device && HxNamePatternMatch(pattern, device->dispatch->identifier(device))) {
            *out = device;
            return HX_OK;
        }
    }
    *out = nullptr;
    return HXE_FAIL;
}

hx_error HxDevRemove(hx_object* device)
{
    for (int i = 0; i < fw.deviceSlots; ++i) {
        if (fw.devices[i].device == device) {
            device->dispatch->free(device);
            fw.devices[i] = {};
        }
    }
    return HX_OK;
}
