// Pixelmaps: the framework's picture records and the memory device class.
#pragma once

#include "framework/hx_types.h"

// Module begin and end: the module's anchor, its resource classes and the
// image "HXPMAP1".
hx_error HxPixelmapBegin();
hx_error HxPixelmapEnd();
