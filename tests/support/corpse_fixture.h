// A corpse model for tests of the code that leaves wrecks: the script symbol
// "CorpseMd" names a loaded model resource, so SpawnCorpse makes its
// tumbling body, and a count of those bodies in the scene list.
#pragma once

#include "framework/scene.h"
#include "script/symbols.h"
#include "system/res/resman.h"
#include "world/behaviours.h"
#include "world/scenelist.h"

namespace corpsetest {

// Starts the script system and RESMAN when they are not yet, and points
// "CorpseMd" at a loaded (empty) model. Returns the model.
inline hx_model* GiveCorpseModel()
{
    static hx_model model{};
    if (ResPoolSize() == 0)
        ResInit();
    Resource* resource = ResRegister("zqk\\resource\\shapes\\testcorpse.lwo", ResType::LwoModel);
    resource->data = &model;
    ScriptSymbol* symbol = FindScriptSymbol("CorpseMd");
    if (!symbol)
        symbol = AddScriptSymbol("CorpseMd", nullptr, 0);
    symbol->type = kSymbolResource;
    symbol->value = resource;
    return &model;
}

// Tumbling bodies in the scene list: stepped ballistically, showing the model.
inline int CountCorpses(const hx_model* model)
{
    int n = 0;
    for (SceneItem* i = gSceneList.next; i != &gSceneList; i = i->next)
        n += i->perFrame == BallisticStep && i->avatar && i->avatar->root && i->avatar->root->model == model;
    return n;
}

} // namespace corpsetest
