// The headless output device "MEMORY": a driver linked into the framework
// whose one output facility makes screens that are memory pixelmaps with a
// colour table. Nothing is shown anywhere; the pixels and the palette stay
// readable, so a run without a display draws exactly as it would on one.
//
// Driver arguments (HEXMIRE_DEVICES_STR) and device arguments use the same
// pairs: WIDTH_I32 ("w"), HEIGHT_I32 ("h"), PIXEL_BITS_I32 ("b": 8, 15, 16,
// 24 or 32) or PIXEL_TYPE_U8. The driver's give the facility's defaults
// (640 x 480, 8-bit indexed); a begin's pairs choose each screen. Other
// tokens (window handles and the like) mean nothing here and are ignored.
#pragma once

#include <cstdint>

#include "framework/object.h"

struct hx_pixelmap;

inline constexpr const char* kHxMemoryDeviceName = "MEMORY";
inline constexpr const char* kHxMemoryOutputName = "Memory-Output";

// The driver's entry point: the device, or null when the driver arguments
// cannot be read or ask for a screen the device cannot make.
hx_object* HxMemoryDriverBegin(const char* arguments);

// A device that shows its screens somewhere is the memory device with a
// presenter: its screens are memory pixelmaps as above, and the presenter
// hears when one is made (and may refuse it), when a back buffer is shown on
// one (show it) or its colour table changes (show what was last shown in
// the new colours), and when the device ends.
struct hx_screen_presenter {
    const char* deviceName;
    const char* outputName;
    bool (*screenMade)(hx_pixelmap* screen, const hx_token_value* tv);
    void (*show)(hx_pixelmap* screen, bool paletteOnly);
    void (*deviceEnded)();
};
hx_object* HxMemoryDeviceBegin(const char* arguments, const hx_screen_presenter* presenter);

// The colour table of a screen that the memory device made: as many
// entries as the screen's index type addresses (at most 256), each as the
// palette pixelmap gave it (blue, green, red, 0 in memory). Null for any
// other pixelmap and for screens without indexed pixels.
const uint32_t* HxMemoryScreenPalette(hx_pixelmap* screen, int* entries);
