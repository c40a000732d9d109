// The statements that load a ship's Weapon mounts and dock ships:
// WEAPON_LOAD, WEPSYSLINK, RAPIDFIRE, WEPLOADOUT, DOCKPT, DOCK_MODEL, DOCK,
// UNDOCK, DOCK_READY, DOCK_UNREADY and MONOLINK.
//
// The mounts, the dock points and the coupling belong to the AI
// (ai/weapons.h, ai/docking.h); these statements find a mount or a dock
// point by number and set it. A ship without mounts or without that dock
// point is left as it is.
#include "ai/docking.h"
#include "ai/weapons.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/objectmaker.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "world/records.h"
#include "world/shipsystems.h"

namespace {

// The dock-point flag of each docking mode, from DOCK_OVERRIDE.
constexpr uint32_t kDockModeFlags[] = {
    kDockHandsControl, // DOCK_OVERRIDE
    kDockDeleteA,      // DOCK_DISAPPEAR
    kDockDeleteB,      // DOCK_DISAPPEAR_INVIS
    0,                 // DOCK_NORMAL
};
static_assert(std::size(kDockModeFlags) == kw::DOCK_NORMAL - kw::DOCK_OVERRIDE + 1);
// The dock-point type masks: DOCKTYPE_UNIVERSAL, DOCKTYPE_COMMAND.
constexpr uint32_t kDockTypeMasks[] = {16, 1};

SceneItem* ReadObject(uint32_t& position)
{
    return SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
}

uint32_t ReadDockMode(uint32_t& position)
{
    return kDockModeFlags[ReadKeywordOperand(position, kw::DOCK_OVERRIDE, kw::DOCK_NORMAL)];
}

// WEAPON_LOAD ship n count: mount n (from 1; the last when the list is
// shorter) empty with 0, else loaded: a beam with charges, a launcher with
// a full magazine and `count` magazines.
void WeaponLoad(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    const float count = ReadNumberOperand(position);
    if (!item || !item->sim)
        return;
    Weapon* w = NthWeapon(item->sim->weapons, n);
    if (!w)
        return;
    if (count == 0.0f) {
        w->flags |= kWeaponEmpty;
        return;
    }
    w->flags &= ~kWeaponEmpty;
    if (w->flags & kWeaponBeam) {
        w->flags |= kWeaponCharges;
        w->charges = count;
    } else {
        w->rounds = w->magazineSize;
        w->magazines = ScriptNumberToInt16(count);
    }
}

// WEPSYSLINK "system": the last mount made follows that system of the
// player's ship (none when no system has the name).
void WepSysLink(uint32_t& position)
{
    const char* name = ReadTextOperand(position);
    if (gLastWeapon)
        gLastWeapon->system = FindShipSystem(name);
}

// RAPIDFIRE [ON | OFF]: on only with ON.
void RapidFire(uint32_t& position)
{
    gRapidFire = ReadOptionalKeyword(position, kw::ON, kw::OFF) == 0 ? 255 : 0;
}

// WEPLOADOUT rounds magazines: the last launcher made gets that load.
void WepLoadout(uint32_t& position)
{
    const int16_t rounds = ScriptNumberToInt16(ReadNumberOperand(position));
    const int16_t magazines = ScriptNumberToInt16(ReadNumberOperand(position));
    if (!gLastWeapon || (gLastWeapon->flags & kWeaponBeam))
        return;
    gLastWeapon->rounds = rounds;
    gLastWeapon->magazines = magazines;
}

// DOCKPT ship mode type ON|OFF yaw pitch kind x y z priority: a new dock
// point at the end of the ship's list.
void DockPt(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    uint32_t flags = ReadDockMode(position);
    const uint32_t mask = kDockTypeMasks[ReadKeywordOperand(position, kw::DOCKTYPE_UNIVERSAL, kw::DOCKTYPE_COMMAND)];
    if (ReadKeywordOperand(position, kw::ON, kw::OFF) == 0)
        flags |= kDockFree;
    const float yaw = ReadNumberOperand(position);
    const float pitch = ReadNumberOperand(position);
    const int32_t kind = ScriptNumberToInt(ReadNumberOperand(position));
    const float x = ReadNumberOperand(position);
    const float y = ReadNumberOperand(position);
    const float z = ReadNumberOperand(position);
    const int32_t priority = ScriptNumberToInt(ReadNumberOperand(position));
    if (item)
        AddDockPoint(item, flags, mask, yaw, pitch, kind, x, y, z, priority);
}

// DOCK_MODEL ship n model: the model dock point n merges into, or none
// when the operand is not a symbol.
void DockModel(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    hx_model* model = nullptr;
    uint32_t lookAhead = position;
    if (ReadOptionalSymbol(lookAhead))
        model = ReadModelOperand(position);
    else
        ++position;
    if (DockPoint* point = item ? NthDockPoint(item, n, nullptr) : nullptr)
        point->mergeModel = model;
}

// DOCK a b pointOfA pointOfB: the two ships coupled at once.
void Dock(uint32_t& position)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    const int32_t na = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t nb = ScriptNumberToInt(ReadNumberOperand(position));
    if (!a || !b)
        return;
    DockPoint* pa = NthDockPoint(a, na, nullptr);
    DockPoint* pb = NthDockPoint(b, nb, nullptr);
    if (!pa || !pb)
        return;
    pa->flags |= kDockFree;
    pb->flags |= kDockFree;
    gScriptDocking = -1;
    CoupleAtDockPoints(a, b, pa, pb, 0);
    gScriptDocking = 0;
}

// UNDOCK ship: free to undock, and undocked.
void Undock(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    if (!item || !item->sim)
        return;
    item->sim->flags &= ~kSimNoUndock;
    UndockItem(item);
}

// DOCK_READY ship n mode: dock point n ready, with the mode's flag.
void DockReady(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    const uint32_t mode = ReadDockMode(position);
    if (DockPoint* point = item ? NthDockPoint(item, n, nullptr) : nullptr)
        point->flags |= kDockFree | mode;
}

// DOCK_UNREADY ship n mode: dock point n no longer ready, with the mode's
// flag.
void DockUnready(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    const uint32_t mode = ReadDockMode(position);
    if (DockPoint* point = item ? NthDockPoint(item, n, nullptr) : nullptr)
        point->flags = (point->flags & ~kDockFree) | mode;
}

// MONOLINK a b carrier: the pair rides on the carrier.
void MonoLink(uint32_t& position)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    SceneItem* carrier = ReadObject(position);
    if (a && b && carrier)
        AttachPairToCarrier(a, b, carrier);
}

constexpr StatementRow kDockRows[] = {
    {kw::WEAPON_LOAD, WeaponLoad},
    {kw::WEPSYSLINK, WepSysLink},
    {kw::RAPIDFIRE, RapidFire},
    {kw::WEPLOADOUT, WepLoadout},
    {kw::DOCKPT, DockPt},
    {kw::DOCK_MODEL, DockModel},
    {kw::DOCK, Dock},
    {kw::UNDOCK, Undock},
    {kw::DOCK_READY, DockReady},
    {kw::DOCK_UNREADY, DockUnready},
    {kw::MONOLINK, MonoLink},
};

} // namespace

std::span<const StatementRow> DockStatementRows()
{
    return kDockRows;
}
