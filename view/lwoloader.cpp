// The LightWave object loader and the resource manager's shape size queries.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/lwoloader.h"

#include "system/calltrace.h"

hx_model* LWO2HXM(const char* name, Resource* resource, int32_t* sizeOut)
{
    RecordCall("LWO2HXM");
    return {};
}

void* LWO2WRI(const char* name, Resource* resource, int32_t* sizeOut)
{
    RecordCall("LWO2WRI");
    return {};
}

int32_t LwoModelResourceSize(const char* name)
{
    RecordCall("LwoModelResourceSize");
    return {};
}

int32_t LwoWireResourceSize(const char* name)
{
    RecordCall("LwoWireResourceSize");
    return {};
}

int32_t PcxRasterResourceSize(const char* path)
{
    RecordCall("PcxRasterResourceSize");
    return {};
}

void ConvertLwoPoints(const char* path, const char* outputPath)
{
    RecordCall("ConvertLwoPoints");
}

void LoadTexturePixelmap(const char* name, const char* fileName)
{
    RecordCall("LoadTexturePixelmap");
}
