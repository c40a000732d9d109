// The device list: device objects made by drivers, with the images they
// came from, kept in a growable table of slots.
#pragma once

#include "framework/hx_types.h"
#include "framework/object.h"

struct hx_image;

struct hx_device_slot {
    hx_object* device; // null: a free slot
    hx_image* image;
};

// Slots at begin, and the step by which a full table grows.
inline constexpr int kHxDeviceSlotStep = 16;

hx_error HxDevFind(hx_object** out, const char* pattern);
hx_error HxDevRemove(hx_object* device);
