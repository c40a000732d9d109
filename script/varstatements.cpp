// The variable statements: SET and its difficulty forms, SET_INC, ADD, SUB,
// RAND, RANDS, FIRST_SCN, NEXT_SCN, COUNT_SHOOTINGS and TIMER_SET.
//
// Number symbols take results truncated toward zero and saturated; an
// object symbol that is SET from another object symbol takes its handle
// exactly, so the two name the same item.
#include "ai/combathelpers.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "world/pools.h"
#include "world/simframe.h"
#include "world/tally.h"

#include <cmath>

namespace {

constexpr double kDifficultyFactor = 0.5;

// A number operand as an exact integer: symbols give their integer (an
// object its handle) without passing through a float.
int32_t ReadExactInteger(uint32_t& position)
{
    const ScriptToken& token = ScriptTokenAt(position);
    if (token.id == kw::SYMBOL || token.id == kw::NEW_SYMBOL) {
        if (const ScriptSymbol* symbol = ScriptSymbolAt(token.value)) {
            ++position;
            return SymbolIntegerValue(symbol);
        }
    }
    return ScriptNumberToInt(ReadNumberOperand(position));
}

void Set(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, 0);
    SetSymbolInteger(target, ReadExactInteger(position));
}

// The difficulty forms scale positive numbers and keep at least 1.
void SetByDifficulty(uint32_t& position, double factor)
{
    ScriptSymbol* target = ReadTypedSymbol(position, 0);
    const float n = ReadNumberOperand(position);
    int32_t value = ScriptNumberToInt(n);
    if (n > 0.0f) {
        value = ScriptNumberToInt(static_cast<double>(n) * factor);
        if (value < 1)
            value = 1;
    }
    SetSymbolInteger(target, value);
}

void SetMoreByDifficulty(uint32_t& position)
{
    SetByDifficulty(position, kDifficultyFactor);
}

void SetLessByDifficulty(uint32_t& position)
{
    SetByDifficulty(position, 1.0 / kDifficultyFactor);
}

void SetInc(uint32_t& position)
{
    const int32_t index = ScriptNumberToInt(ReadIncrementOperand(position));
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolNumber);
    float value = 0.0f;
    for (int64_t i = 0; i <= index; ++i) {
        const uint32_t before = position;
        value = ReadOptionalNumber(position);
        if (position == before)
            break; // the list is shorter: nothing more to read
    }
    SetSymbolInteger(target, ScriptNumberToInt(value));
}

void AddTo(uint32_t& position, double sign)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolNumber);
    const float n = ReadNumberOperand(position);
    SetSymbolInteger(target, ScriptNumberToInt(SymbolIntegerValue(target) + sign * static_cast<double>(n)));
}

void Add(uint32_t& position)
{
    AddTo(position, 1.0);
}

void Sub(uint32_t& position)
{
    AddTo(position, -1.0);
}

void Rand(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolNumber);
    const double n = ReadNumberOperand(position);
    SetSymbolInteger(target, ScriptNumberToInt(CRand() * n / kCRandMax));
}

void Rands(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolNumber);
    const double n = ReadNumberOperand(position);
    SetSymbolInteger(target, ScriptNumberToInt(CRand() * n * 2.0 / kCRandMax - n));
}

void FirstScn(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolSceneItem);
    SetSymbolObject(target, FindFirstItemWithFlags(ReadSenseMask(position, true)));
}

// The search starts after the symbol's item: from the item itself it would
// find that item again, and a walk over the list would never move on.
void NextScn(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolSceneItem);
    const SceneItem* item = SymbolObject(target);
    SetSymbolObject(target, FindNextItemWithFlags(item ? item->next : nullptr, ReadSenseMask(position, true)));
}

void CountShootings(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolNumber);
    const auto killed = static_cast<uint8_t>(ReadKeywordOperand(position, kw::HIT, kw::KILLED));
    int16_t kind;
    int32_t key;
    if (const ScriptSymbol* what = ReadOptionalSymbol(position)) {
        const bool object = (what->type & kSymbolSceneItem) != 0;
        kind = object ? 0 : 3;
        key = SymbolIntegerValue(what);
    } else if (ScriptTokenAt(position).id == kw::DATA) {
        kind = 3;
        key = ReadIntegerOperand(position);
    } else if (int32_t type = ReadOptionalKeyword(position, kw::CORVETTE, kw::RING); type >= 0) {
        kind = 1;
        key = type;
    } else {
        kind = 2;
        key = ReadKeywordOperand(position, kw::NEUTRAL, kw::ALLIANCE);
    }
    SetSymbolInteger(target, QueryTally(kind, killed, key));
}

void TimerSet(uint32_t& position)
{
    gScriptCountdown = ScriptNumberToInt(ReadNumberOperand(position));
}

constexpr StatementRow kVariableRows[] = {
    {kw::SET, Set},
    {kw::SET_MORE_BY_DIFFICULTY, SetMoreByDifficulty},
    {kw::SET_LESS_BY_DIFFICULTY, SetLessByDifficulty},
    {kw::SET_INC, SetInc},
    {kw::ADD, Add},
    {kw::SUB, Sub},
    {kw::RAND, Rand},
    {kw::RANDS, Rands},
    {kw::FIRST_SCN, FirstScn},
    {kw::NEXT_SCN, NextScn},
    {kw::COUNT_SHOOTINGS, CountShootings},
    {kw::TIMER_SET, TimerSet},
};

} // namespace

std::span<const StatementRow> VariableStatementRows()
{
    return kVariableRows;
}
