// Framework begin and end: the core (handlers, resource classes, the anchor
// resource, export images, device table, tokens, configuration) and, around
// it, the host services and the pixelmap module.
#pragma once

#include <cstddef>

#include "framework/hx_types.h"

hx_error HxFwBegin();
hx_error HxFwEnd();
hx_error HxCoreBegin();
hx_error HxCoreEnd();
hx_bool HxFwActive();

// The anchor resource that every framework block hangs under.
void* HxFwAnchor();

// The C library's quicksort.
void HxQsort(void* base, size_t n, size_t size, int (*compare)(const void*, const void*));
