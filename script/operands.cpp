// Operand readers and the number and object values of symbols. See operands.h.
#include "script/operands.h"

#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "system/errors.h"
#include "world/pools.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr ScriptToken kPastEnd = {kw::END, 0};

// Symbols whose value is the thing itself, not a number.
constexpr uint32_t kThingTypes = kSymbolModel | kSymbol2dModel | kSymbol3dPart | kSymbolResource |
                                 kSymbolWindow | kSymbolOrderName | kSymbolShape;

// Bits that change what a symbol's value field holds (a handle, a thing).
constexpr uint32_t kValueKindTypes = kSymbolSceneItem | kThingTypes;

bool IsSymbolToken(const ScriptToken& token)
{
    return token.id == kw::SYMBOL || token.id == kw::NEW_SYMBOL;
}

ScriptSymbol* TokenSymbol(const ScriptToken& token)
{
    return IsSymbolToken(token) ? ScriptSymbolAt(token.value) : nullptr;
}

float DataNumber(const ScriptToken& token)
{
    return DataTokenIsNumber(token.value) ? ScriptDataNumber(token.value) : 0.0f;
}

float SymbolNumber(const ScriptSymbol* symbol)
{
    if (symbol->type & kSymbolSceneItem)
        return static_cast<float>(SymbolObjectHandle(symbol));
    return static_cast<float>(SymbolIntegerValue(symbol));
}

// The value of one operand of a comparison: its integer, and whether it is
// an object (any symbol not exactly a number) or a number.
struct ComparedOperand {
    int32_t value;
    bool object;
};

ComparedOperand ReadComparedOperand(uint32_t& position)
{
    const uint32_t start = position;
    const ScriptToken& token = ScriptTokenAt(position);
    if (ScriptSymbol* symbol = TokenSymbol(token)) {
        ++position;
        if (symbol->type == kSymbolNumber)
            return {SymbolIntegerValue(symbol), false};
        return {SymbolIntegerValue(symbol), true};
    }
    if (token.id == kw::DATA) {
        ++position;
        return {ScriptNumberToInt(DataNumber(token)), false};
    }
    FailStatement(kStopBadSymbol, "SYMBOL or DATA reference needed in this context", start);
}

} // namespace

const ScriptToken& ScriptTokenAt(uint32_t position)
{
    return position < gScriptBuffers.tokenCursor ? gScriptBuffers.tokens[position] : kPastEnd;
}

int32_t ScriptNumberToInt(double number)
{
    if (std::isnan(number))
        return 0;
    if (number >= 2147483647.0)
        return INT32_MAX;
    if (number <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(number);
}

int16_t ScriptNumberToInt16(double number)
{
    const int32_t value = ScriptNumberToInt(number);
    return static_cast<int16_t>(value < INT16_MIN ? INT16_MIN : value > INT16_MAX ? INT16_MAX
                                                                                  : value);
}

uint32_t SymbolObjectHandle(const ScriptSymbol* symbol)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(symbol->value));
}

SceneItem* SymbolObject(const ScriptSymbol* symbol)
{
    return symbol && (symbol->type & kSymbolSceneItem) ? ItemFromHandle(SymbolObjectHandle(symbol)) : nullptr;
}

void SetSymbolObjectHandle(ScriptSymbol* symbol, uint32_t handle)
{
    symbol->value = reinterpret_cast<void*>(static_cast<uintptr_t>(handle));
}

void SetSymbolObject(ScriptSymbol* symbol, const SceneItem* item)
{
    SetSymbolObjectHandle(symbol, ItemHandle(item));
}

int32_t SymbolIntegerValue(const ScriptSymbol* symbol)
{
    if (symbol->type & kSymbolSceneItem)
        return static_cast<int32_t>(SymbolObjectHandle(symbol));
    if (symbol->type & kThingTypes)
        return 0;
    return ReadSymbolInt(symbol);
}

void SetSymbolInteger(ScriptSymbol* symbol, int32_t value)
{
    if (symbol->type & kSymbolSceneItem)
        SetSymbolObjectHandle(symbol, static_cast<uint32_t>(value));
    else if (!(symbol->type & kThingTypes))
        WriteSymbolInt(symbol, value);
}

float ReadNumberOperand(uint32_t& position)
{
    const ScriptToken& token = ScriptTokenAt(position);
    if (const ScriptSymbol* symbol = TokenSymbol(token)) {
        ++position;
        return SymbolNumber(symbol);
    }
    if (token.id == kw::DATA) {
        ++position;
        return DataNumber(token);
    }
    FailStatement(kStopBadSymbol, "Bad SYMBOL Reference", position);
}

float ReadIncrementOperand(uint32_t& position)
{
    const ScriptToken& token = ScriptTokenAt(position);
    if (token.id != kw::DATA || !DataTokenIsNumber(token.value))
        FailStatement(kStopBadSymbol, "Bad SYMBOL Reference", position);
    ++position;
    const float number = ScriptDataNumber(token.value);
    const uint32_t offset = DataTokenOffset(token.value);
    if (offset <= kDataCapacity - sizeof number) {
        const float next = number + 1.0f;
        std::memcpy(gScriptBuffers.data + offset, &next, sizeof next);
    }
    return number;
}

float ReadOptionalNumber(uint32_t& position)
{
    const ScriptToken& token = ScriptTokenAt(position);
    if (IsSymbolToken(token) || token.id == kw::DATA)
        return ReadNumberOperand(position);
    return 0.0f;
}

int32_t ReadOptionalKeyword(uint32_t& position, uint32_t first, uint32_t last)
{
    const uint32_t id = ScriptTokenAt(position).id;
    if (id < first || id > last)
        return -1;
    ++position;
    return static_cast<int32_t>(id - first);
}

uint32_t ReadLabelOperand(uint32_t& position)
{
    const ScriptSymbol* symbol = TokenSymbol(ScriptTokenAt(position));
    // A label never defined (or defined past the compiled stream) has no
    // position to go to.
    if (!symbol || !symbol->labelDefined)
        FailStatement(kStopBadLabel, "Bad LABEL Reference", position);
    const auto target = static_cast<uint32_t>(ReadSymbolInt(symbol));
    if (target >= gScriptBuffers.tokenCursor)
        FailStatement(kStopBadLabel, "Bad LABEL Reference", position);
    ++position;
    gInterpreter.currentLabel = symbol->name;
    return target;
}

SceneItem* ReadOptionalObject(uint32_t& position)
{
    const ScriptSymbol* symbol = TokenSymbol(ScriptTokenAt(position));
    if (!symbol)
        return nullptr;
    ++position;
    return SymbolObject(symbol);
}

ScriptSymbol* ReadOptionalSymbol(uint32_t& position)
{
    ScriptSymbol* symbol = TokenSymbol(ScriptTokenAt(position));
    if (symbol)
        ++position;
    return symbol;
}

ScriptSymbol* ReadTypedSymbol(uint32_t& position, uint32_t wantedType)
{
    const ScriptToken& token = ScriptTokenAt(position);
    ScriptSymbol* symbol = TokenSymbol(token);
    if (!symbol)
        FailStatement(kStopBadSymbol, "SYMBOL reference needed in this context", position);
    ++position;
    if (wantedType == kSymbolAnyType)
        return symbol;
    uint32_t type = symbol->type;
    if (token.id == kw::NEW_SYMBOL) {
        // Run again (in a loop), the word that made the symbol keeps the
        // bits that say what its value field holds.
        type = wantedType | (symbol->type & kValueKindTypes);
    } else if (wantedType != 0 && !(type & wantedType)) {
        DebugPrint(("SCRIPT Error: Incorrect SYMBOL type: " + std::string(symbol->name)).c_str());
    }
    type |= wantedType;
    // A symbol that becomes an object starts with no object: its value
    // bytes are not a handle.
    if ((type & kSymbolSceneItem) && !(symbol->type & kSymbolSceneItem))
        symbol->value = nullptr;
    symbol->type = type;
    return symbol;
}

int32_t ReadIntegerOperand(uint32_t& position)
{
    const ScriptToken& token = ScriptTokenAt(position);
    if (const ScriptSymbol* symbol = TokenSymbol(token)) {
        ++position;
        return SymbolIntegerValue(symbol);
    }
    if (token.id == kw::DATA) {
        ++position;
        return ScriptNumberToInt(DataNumber(token));
    }
    FailStatement(kStopBadSymbol, "SYMBOL or DATA reference needed in this context", position);
}

int32_t ReadKeywordOperand(uint32_t& position, uint32_t first, uint32_t last)
{
    const int32_t index = ReadOptionalKeyword(position, first, last);
    if (index < 0)
        FailStatement(kStopBadToken, "Unrecognized Token", position);
    return index;
}

bool IsTextOperand(uint32_t position)
{
    const ScriptToken& token = ScriptTokenAt(position);
    return token.id == kw::DATA && !DataTokenIsNumber(token.value);
}

bool IsNumberOperand(uint32_t position)
{
    const ScriptToken& token = ScriptTokenAt(position);
    return IsSymbolToken(token) || (token.id == kw::DATA && DataTokenIsNumber(token.value));
}

const char* ReadTextOperand(uint32_t& position)
{
    if (!IsTextOperand(position))
        FailStatement(kStopBadSymbol, "Quoted text needed in this context", position);
    return ScriptDataText(ScriptTokenAt(position++).value);
}

uint32_t ReadSenseMask(uint32_t& position, bool ignoreDebris)
{
    uint32_t mask = 0;
    for (int32_t sense; (sense = ReadOptionalKeyword(position, kw::SN_DEBRIS, kw::SN_LEPER)) >= 0;) {
        if (sense == 0 && ignoreDebris)
            continue;
        mask |= 1u << sense;
    }
    return mask;
}

bool CompareOperandsEqual(uint32_t& position)
{
    const ComparedOperand a = ReadComparedOperand(position);
    const ComparedOperand b = ReadComparedOperand(position);
    return a.value == b.value && a.object == b.object;
}

bool CompareOperandsGreater(uint32_t& position)
{
    const ComparedOperand a = ReadComparedOperand(position);
    const ComparedOperand b = ReadComparedOperand(position);
    return a.value > b.value;
}

Resource* SymbolResource(const ScriptSymbol* symbol)
{
    if (!symbol || !symbol->value || !(symbol->type & kSymbolResource) || (symbol->type & kSymbolSceneItem) ||
        SymbolHoldsValueBytes(symbol))
        return nullptr;
    return static_cast<Resource*>(symbol->value);
}
