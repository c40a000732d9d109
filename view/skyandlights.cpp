// Sky palette, celestial sphere, star field, dummy models and scene lights.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/skyandlights.h"

#include "system/calltrace.h"
#include "view/renderpasses.h"

uint8_t gNebulaOn = 0;

void SetSkyPaletteForSystem(int32_t systemType)
{
    RecordCall("SetSkyPaletteForSystem");
}

void SetSkyPaletteRow(int16_t row)
{
    RecordCall("SetSkyPaletteRow");
}

void SetStarGateTexture(SceneItem* gate, int32_t setting)
{
    RecordCall("SetStarGateTexture");
}

void UpdateSceneLights()
{
    RecordCall("UpdateSceneLights");
}

void CreateStarDummyModel()
{
    RecordCall("CreateStarDummyModel");
}

hx_model* LoadAntiMatterModel()
{
    RecordCall("LoadAntiMatterModel");
    return {};
}

void SetNebulaModel(hx_model* model)
{
    RecordCall("SetNebulaModel");
}

void CreateCelestialSphere()
{
    RecordCall("CreateCelestialSphere");
}

void BuildStarCatalogue()
{
    RecordCall("BuildStarCatalogue");
}

void DrawStarField()
{
    RecordCall("DrawStarField");
}

void DrawSunFlare()
{
    RecordCall("DrawSunFlare");
}

void SetFlashLight(SceneItem* item, int32_t ticks, int32_t flag)
{
    RecordCall("SetFlashLight");
}

void SetFlashLightSoft()
{
    RecordCall("SetFlashLightSoft");
}

// Until the particle drawing exists an emitter is drawn as nothing, through
// the one-point model (never the framework's default cube).
hx_model* CreateParticleDummyModel()
{
    RecordCall("CreateParticleDummyModel");
    return GetOnePointModel();
}

void DrawAllParticles(int32_t flag)
{
    RecordCall("DrawAllParticles");
}
