// The device list: device objects made by drivers' entry points, with the
// images they came from, kept in a growable table of slots; device begin
// (the output device's pixelmap from a device text and token-value pairs);
// and the lookups of the renderer, primitive-library and pixel-format
// facilities that load the standard drivers on demand.
#pragma once

#include <cstdint>

#include "framework/hx_types.h"
#include "framework/image.h"
#include "framework/object.h"

struct hx_pixelmap;

struct hx_device_slot {
    hx_object* device; // null: a free slot
    hx_image* image;   // one hold on the driver's image; null for a static entry
};

// Slots at begin, and the step by which a full table grows.
inline constexpr int kHxDeviceSlotStep = 16;
// Token-value pairs a device begin takes, the terminating pair included.
inline constexpr int kHxDeviceMaxPairs = 64;

// An output facility (type OUTPUT_FACILITY) continues the container table:
// slot 24 makes the device pixelmap from a token-value list.
struct hx_output_facility_dispatch {
    hx_container_dispatch container;                                                           // 0-22
    void* reserved23 = nullptr;                                                                // 23
    hx_error (*pixelmapNew)(hx_object* self, hx_pixelmap** out, hx_token_value* tv) = nullptr; // 24
};
static_assert(offsetof(hx_output_facility_dispatch, pixelmapNew) == 28 * sizeof(void*));

hx_error HxDevAdd(hx_object** out, const char* name, const char* arguments);
hx_error HxDevAddStatic(hx_object** out, hx_drv1_begin_fn begin, const char* arguments);
hx_error HxDevCheckAdd(hx_object** out, const char* name, const char* arguments);
hx_error HxDevRemove(hx_object* device);
hx_error HxDevFind(hx_object** out, const char* pattern);
// Stores at most max matches; count receives how many were stored. 4100
// when more devices match.
hx_error HxDevFindMany(hx_object** out, int* count, int max, const char* pattern);
hx_error HxDevCount(int* count, const char* pattern);
hx_error HxDevContainedFind(hx_object** out, hx_token type, const char* pattern, hx_token_value* tv);
hx_error HxDevContainedFindMany(hx_object** out, int max, int* count, hx_token type, const char* pattern,
                                hx_token_value* tv);
hx_error HxDevContainedCount(int* count, hx_token type, const char* pattern, hx_token_value* tv);

// Device begin. The text is "name,arguments" ("*" or no name: any device);
// null takes the setting DEFAULT_DEVICE_STR.
hx_error HxDevBegin(hx_pixelmap** out, const char* text);
hx_error HxDevBeginTokenValue(hx_pixelmap** out, const char* text, const hx_token_value* tv);
// The pairs follow the text as (hx_token, uintptr_t) arguments, each value
// the `u` of its hx_value, ended by a zero token.
hx_error HxDevBeginVar(hx_pixelmap** out, const char* text, ...);
hx_pixelmap* HxDevLastBeginQuery();
void HxDevLastBeginSet(hx_pixelmap* pm);
// The older single-screen calls, on the last-begun device pixelmap: begin
// (failing while one is active), end (frees it), and its palette (nothing
// happens when none is begun).
hx_pixelmap* HxDevBeginOld(const char* text);
void HxDevEndOld();
void HxDevPaletteSetOld(hx_pixelmap* palette);
void HxDevPaletteSetEntryOld(int32_t index, uint32_t colour);

// Scalar types of the typed facilities.
enum : hx_token {
    HX_SCALAR_FIXED = 11,
    HX_SCALAR_FLOAT = 12,
};
hx_error HxRendererFacilityFind(hx_object** out, hx_pixelmap* destination, hx_token scalarType);
hx_error HxPrimitiveLibraryFind(hx_object** out, hx_pixelmap* destination, hx_token scalarType);
hx_error HxFormatFacilityFind(hx_object** out, hx_object* object, hx_object* renderer, hx_token scalarType,
                              hx_token facilityType);
