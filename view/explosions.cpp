// Explosions, flashes and other particle effects.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/explosions.h"

#include "system/calltrace.h"

void AddColouredExplosion(SceneItem* item, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2)
{
    RecordCall("AddColouredExplosion");
}

void AddMinorExplosion(SceneItem* item, int32_t firstColourBits, int32_t secondColourBits, const Vector3* hitPoint)
{
    RecordCall("AddMinorExplosion");
}

TDP* AddThermalExplosion(SceneItem* item, const Vector3* hitPoint)
{
    RecordCall("AddThermalExplosion");
    return {};
}

void AddHullRupture(SceneItem* item, int32_t yellow, int32_t ignored, const Vector3* hitPoint, int32_t life)
{
    RecordCall("AddHullRupture");
}

void AddShipDestructionExplosion(SceneItem* wreck, HitPayload* hitRecord, SceneItem* destroyedShip)
{
    RecordCall("AddShipDestructionExplosion");
}

void ChainExplosionStep(SceneItem* item)
{
    RecordCall("ChainExplosionStep");
}

void SetFlashPoint(SceneItem* item, int32_t colourKind, int32_t value, const Vector3* offset)
{
    RecordCall("SetFlashPoint");
}

void FlashAtHullPoint(SceneItem* item, const Vector3* direction, int32_t intensity)
{
    RecordCall("FlashAtHullPoint");
}

void FlashNearObject(SceneItem* item)
{
    RecordCall("FlashNearObject");
}

TDP* AddArrivalFlash(SceneItem* item)
{
    RecordCall("AddArrivalFlash");
    return {};
}

TDP* AddDepartureFlash(SceneItem* item)
{
    RecordCall("AddDepartureFlash");
    return {};
}

void AddDebrisSparks(SceneItem* item, int32_t life)
{
    RecordCall("AddDebrisSparks");
}

void AddLdsEffect(SceneItem* item)
{
    RecordCall("AddLdsEffect");
}
