// Host services: the framework's layer over the operating system, published
// to drivers as the image "HXHOST1".
#pragma once

#include "framework/hx_types.h"

hx_error HxHostBegin();
hx_error HxHostEnd();
