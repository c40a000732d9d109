// System configuration: the framework's four settings (HEXMIRE_PATH_STR,
// HEXMIRE_DRIVERS_STR, DEFAULT_DEVICE_STR, HEXMIRE_DEVICES_STR), gathered at
// framework begin and kept until its end.
#pragma once

#include <cstddef>

#include "framework/hx_types.h"
#include "framework/token_ids.h"

hx_error HxSystemConfigBegin();
hx_error HxSystemConfigSetString(hx_token setting, const char* text);
hx_error HxSystemConfigQueryString(hx_token setting, char* buffer, size_t size);
