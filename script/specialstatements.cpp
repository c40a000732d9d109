// The statements that make objects with special collision behaviour. Of
// these, CORPSE (a wreck's corpse left at an object) is here; the fields,
// sinks, shattering, Lagrange devices and asteroids join it with the
// collision responses they install.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "view/bodyrender.h"

namespace {

// CORPSE object
void Corpse(uint32_t& position)
{
    if (SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem)))
        SpawnCorpse(item);
}

constexpr StatementRow kSpecialRows[] = {
    {kw::CORPSE, Corpse},
};

} // namespace

std::span<const StatementRow> SpecialObjectStatementRows()
{
    return kSpecialRows;
}
