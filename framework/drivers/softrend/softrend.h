// The software renderer driver "softrend": the framework's standard
// renderer, reached only through the calls of renderer.h. Its device holds
// one renderer facility, "Default-Renderer"; the renderers it makes draw
// prepared models into 8-bit indexed (shade tables, ramps, blend and fog
// tables, screen door) and 16-bit 555 and 565 colour pixelmaps, Z-buffered
// into 16- or 32-bit depth pixelmaps or Z-sorted through order tables.
//
// The driver is linked into the framework as a built-in image and also
// builds as a shared object ("softrend.so", found along HEXMIRE_PATH); it
// calls nothing of the framework but what its host table names (sr_host.h).
#pragma once

#include "framework/object.h"

inline constexpr const char* kHxSoftrendDeviceName = "softrend";

// The driver's entry point: the device (arguments are ignored), or null
// when memory runs out.
hx_object* HxSoftrendDriverBegin(const char* arguments);
