// The LightWave object loader and the resource manager's shape size queries.
#pragma once

#include <cstdint>

struct hx_model;
struct Resource;

hx_model* LWO2HXM(const char* name, Resource* resource, int32_t* sizeOut);
void* LWO2WRI(const char* name, Resource* resource, int32_t* sizeOut);
int32_t LwoModelResourceSize(const char* name);
int32_t LwoWireResourceSize(const char* name);
int32_t PcxRasterResourceSize(const char* path);
void ConvertLwoPoints(const char* path, const char* outputPath);
void LoadTexturePixelmap(const char* name, const char* fileName);
