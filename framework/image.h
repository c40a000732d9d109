// Export images: named tables of the framework's exported functions that
// loaded drivers resolve their imports against, and the image list.
#pragma once

#include <cstdint>

#include "framework/list.h"

struct hx_image {
    hx_node node;
    const char* identifier;
    int type; // 1 mapped here, 2 built in, 3 loaded by the host
    int references;
    int ordinalBase;
    int nFunctions;
    void** functions;
    int nNames;
    const char** names;
    uint16_t* ordinals;
    int nImports;
    hx_image** imports;
    void* sections;
    void* hostHandle;
};

// The built-in images of the core, the pixelmap module and the host.
extern hx_image HxImageCore1;
extern hx_image HxImagePmap1;
extern hx_image HxImageHost1;

int HxImageAdd(hx_image* image);
int HxImageRemove(hx_image* image);

// The "IMAGE" class's free callback: lets go of the images this one imports.
void HxImageResourceFree(void* block, uint8_t classId, uint32_t size);
