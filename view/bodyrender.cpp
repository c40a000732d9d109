// Render callbacks of bodies and the wreck's corpse.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/bodyrender.h"

#include "system/calltrace.h"

void UpdatePlanetRender(SceneItem* item)
{
    RecordCall("UpdatePlanetRender");
}

void UpdateVideoPlanetRender(SceneItem* item)
{
    RecordCall("UpdateVideoPlanetRender");
}

void SpawnCorpse(SceneItem* item)
{
    RecordCall("SpawnCorpse");
}

void RefreshPlanetDetail()
{
    RecordCall("RefreshPlanetDetail");
}
