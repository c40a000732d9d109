// Host services.
#include "framework/host.h"

#include "framework/image.h"

hx_error HxHostBegin()
{
    HxImageAdd(&HxImageHost1);
    return HX_OK;
}

hx_error HxHostEnd()
{
    HxImageRemove(&HxImageHost1);
    return HX_OK;
}
