// Planet textures and model utilities of the scripts.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/planets.h"

#include "system/calltrace.h"

void DropPlanetModel(TDP* tdp)
{
    RecordCall("DropPlanetModel");
}

void TogglePlanetMaterialFlag(hx_material* material, int32_t on)
{
    RecordCall("TogglePlanetMaterialFlag");
}

void LoadTriballIndex()
{
    RecordCall("LoadTriballIndex");
}

void AssignPlanetFaceMaterials(int32_t planetIndex)
{
    RecordCall("AssignPlanetFaceMaterials");
}

void SetPlanetTextures(SceneItem* item, hx_model* model, const char* name, hx_material** material1, hx_material** material2, int32_t planetIndex)
{
    RecordCall("SetPlanetTextures");
}

void SpherifyPlanetModel(hx_model* model, float radius)
{
    RecordCall("SpherifyPlanetModel");
}

void ShowShadeTable(const char* name)
{
    RecordCall("ShowShadeTable");
}

void SizeModel(hx_model* model, float radius)
{
    RecordCall("SizeModel");
}

void ScaleModel(hx_model* model, float factor)
{
    RecordCall("ScaleModel");
}

void SlideModel(hx_model* model, float dx, float dy, float dz)
{
    RecordCall("SlideModel");
}

void RotateModelX90(hx_model* model)
{
    RecordCall("RotateModelX90");
}

void ReflectModel(hx_model* model, int32_t axis)
{
    RecordCall("ReflectModel");
}

void CylMapModel(hx_model* model)
{
    RecordCall("CylMapModel");
}

void SphMapModel(hx_model* model)
{
    RecordCall("SphMapModel");
}

void PlnMapModel(hx_model* model)
{
    RecordCall("PlnMapModel");
}
