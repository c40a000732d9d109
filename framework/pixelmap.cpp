// Pixelmaps and the memory device class.
#include "framework/pixelmap.h"

#include "framework/image.h"

hx_error HxPixelmapBegin()
{
    HxImageAdd(&HxImagePmap1);
    return HX_OK;
}

hx_error HxPixelmapEnd()
{
    HxImageRemove(&HxImagePmap1);
    return HX_OK;
}
