// The interpreter's object maker. See objectmaker.h.
#include "script/objectmaker.h"

#include "script/operands.h"
#include "script/symbols.h"
#include "system/res/resman.h"
#include "view/renderpasses.h"
#include "world/collisions.h"
#include "world/floatingorigin.h"
#include "world/messagehandler.h"
#include "world/responses.h"
#include "world/scenelist.h"

namespace {

constexpr float kScriptItemMass = 8500.0f;

} // namespace

SceneItem* CreateScriptItem(hx_model* model, ItemFunction control, ItemFunction perFrame)
{
    SceneItem* item = NewSceneItem();
    if (!item)
        return nullptr;
    InsertSceneItem(item, 0);
    MoveSceneItemToFront(item);
    SetMessageFunction(item, HandleItemMessages);
    SetControlFunction(item, control);
    Sim* sim = AttachSim(item, perFrame);
    TDP* root = sim ? AttachRootTDP(item) : nullptr;
    if (!root) {
        // Every item in the list has a Sim and a root part: without them
        // the item goes back.
        DeleteSceneItem(item);
        return nullptr;
    }
    SetAvatarCallbacks(item, CopySimToAvatar, SyncAvatarTdps);
    sim->mass = kScriptItemMass;
    item->avatar->collision = CollideShips;
    root->model = model;
    root->flags |= kTdpInScene;
    AttachTdpToScene(root, model, 0);
    InitTDPRadius(root);
    UpdateTDPWorldCentres(item);
    SetSceneItemRadius(item);
    return item;
}

Resource* ReadModelResourceOperand(uint32_t& position)
{
    constexpr uint32_t kOtherThings = kSymbolSceneItem | kSymbol2dModel | kSymbol3dPart | kSymbolWindow |
                                      kSymbolOrderName | kSymbolShape;
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolResource);
    if (!symbol->value || (symbol->type & kOtherThings) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<Resource*>(symbol->value);
}

hx_model* ReadModelOperand(uint32_t& position)
{
    return static_cast<hx_model*>(ResGet(ReadModelResourceOperand(position)));
}

TDP* ReadPartOperand(uint32_t& position)
{
    constexpr uint32_t kOtherThings = kSymbolData | kSymbolModel | kSymbol2dModel | kSymbolSceneItem |
                                      kSymbolNumber | kSymbolResource | kSymbolWindow | kSymbolOrderName |
                                      kSymbolShape;
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbol3dPart);
    if (!symbol->value || (symbol->type & kOtherThings) || SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<TDP*>(symbol->value);
}
