// Export images and the image list.
#include "framework/image.h"

#include "framework/fw_state.h"

hx_image HxImageCore1 = {{}, "HXCORE1", 2, 0, 1, 0, nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr};
hx_image HxImagePmap1 = {{}, "HXPMAP1", 2, 0, 1, 0, nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr};
hx_image HxImageHost1 = {{}, "HXHOST1", 2, 0, 1, 0, nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr, nullptr};

int HxImageAdd(hx_image* image)
{
    HxAddHead(&fw.images, &image->node);
    return 1;
}

int HxImageRemove(hx_image* image)
{
    if (image->node.next)
        HxRemove(&image->node);
    image->node = {};
    return 1;
}

void HxImageResourceFree(void*, uint8_t, uint32_t) {}
