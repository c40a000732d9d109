// The output device "DDRAW": the framework's screens shown in the main
// window through the platform's presenter. A driver linked into the
// framework, found by name like any driver image.
//
// Its screens are the memory device's (memory_device.h) with 8-bit indexed
// or 16-bit 565 pixels: a back buffer shown on a screen (double buffer) and
// a change of the screen's colour table both present the screen. A begin's
// WINDOW_FULLSCREEN_B 1 shows it full screen in the desktop's mode, else in
// the window at 1:1. The screen closes when the device ends.
#pragma once

#include "framework/object.h"

inline constexpr const char* kHxDdrawDeviceName = "DDRAW";
inline constexpr const char* kHxDdrawOutputName = "DDRAW-Output";

hx_object* HxDdrawDriverBegin(const char* arguments);
