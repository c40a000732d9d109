// Models changed in place by scripts, and the plasma shimmer.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/effectmodels.h"

#include "system/calltrace.h"

void InitPlasmaShimmer(SceneItem* item, int32_t base, int32_t top, const char* materialName)
{
    RecordCall("InitPlasmaShimmer");
}

void AnimatePlasmaShimmer(SceneItem* item, int32_t intensity)
{
    RecordCall("AnimatePlasmaShimmer");
}

void FlipModelFaces(hx_model* model)
{
    RecordCall("FlipModelFaces");
}

void SetModelMaterial(hx_model* model, const char* materialName)
{
    RecordCall("SetModelMaterial");
}

void ClearModelMaterials(hx_model* model)
{
    RecordCall("ClearModelMaterials");
}

int32_t SaveModelFile(const char* fileName, hx_model* model)
{
    RecordCall("SaveModelFile");
    return {};
}

void MakeEffectModels()
{
    RecordCall("MakeEffectModels");
}

void ShadeSkySphere(hx_model* model)
{
    RecordCall("ShadeSkySphere");
}

hx_model* MakeReducedModel(hx_model* model)
{
    RecordCall("MakeReducedModel");
    return model;
}

void UpdateBoltStreak(SceneItem* item)
{
    RecordCall("UpdateBoltStreak");
}

hx_model* BoltModel(int32_t colourVariant, int32_t n)
{
    RecordCall("BoltModel");
    return {};
}
