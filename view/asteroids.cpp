// Asteroid belts and asteroid fields.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/asteroids.h"

#include "system/calltrace.h"

void AddAsteroidBelt(float radius, SceneItem* centre, int32_t wide)
{
    RecordCall("AddAsteroidBelt");
}

void GenerateAsteroidBelts(SceneItem* ignored, int32_t count)
{
    RecordCall("GenerateAsteroidBelts");
}

void SpawnBeltAsteroid(SceneItem* ignored)
{
    RecordCall("SpawnBeltAsteroid");
}

void RespawnBeltShip(SceneItem* item)
{
    RecordCall("RespawnBeltShip");
}

SceneItem* CreateAsteroid(int32_t ignored, hx_model* model)
{
    RecordCall("CreateAsteroid");
    return {};
}

SceneItem* CreateAsteroidField(int32_t kind, float cx, float cy, float cz, float rx, float ry, float rz, float bias, int32_t dustCount, int32_t count)
{
    RecordCall("CreateAsteroidField");
    return {};
}

void ClearBeltWatchList()
{
    RecordCall("ClearBeltWatchList");
}

void UpdateBeltMembership()
{
    RecordCall("UpdateBeltMembership");
}
