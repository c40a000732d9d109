// The damage statements: SHIP_SYSKILL (degrade or restore one capability
// of a ship, or set its hull) and PLAYER_DAMAGE (damage one of the player's
// ship systems by name). The work is world/damage.h's.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "world/damage.h"

namespace {

// SHIP_SYSKILL object type [percent]
void ShipSysKill(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const float type = ReadNumberOperand(position);
    const float percent = ReadOptionalNumber(position);
    ShipSystemKill(item, type, percent);
}

// PLAYER_DAMAGE "name" percent [ON | OFF]
void PlayerDamage(uint32_t& position)
{
    const char* name = ReadTextOperand(position);
    const float percent = ReadNumberOperand(position);
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    DamagePlayerSystem(name, percent, keyword);
}

constexpr StatementRow kDamageRows[] = {
    {kw::PLAYER_DAMAGE, PlayerDamage},
    {kw::SHIP_SYSKILL, ShipSysKill},
};

} // namespace

std::span<const StatementRow> DamageStatementRows()
{
    return kDamageRows;
}
