// The operand readers of script statements, and the values that symbols
// hold as numbers and objects.
//
// Every reader takes the run position (a pair index into the token buffer)
// and advances it past what it consumed. A reader that finds the wrong kind
// of token reports a syntax error, which ends the process; the optional
// readers consume nothing instead. Reading never goes past the compiled
// stream: beyond the write cursor every pair reads as END.
//
// Object symbols hold a scene-item handle (world/pools.h) in their value
// field, so an item that is deleted or reused reads back as no object.
#pragma once

#include <cstdint>

struct ScriptSymbol;
struct ScriptToken;
struct SceneItem;
struct Resource;

// The pair at a position (END past the compiled stream).
const ScriptToken& ScriptTokenAt(uint32_t position);

// A script number to an integer: toward zero, saturating at the int32
// range, NaN as 0. (Doubles hold every float and every sum of two int32s.)
int32_t ScriptNumberToInt(double number);

// The same into an int16 field: saturating at the int16 range, NaN as 0.
int16_t ScriptNumberToInt16(double number);

// Object symbols: the handle in the value field, and the item it names.
uint32_t SymbolObjectHandle(const ScriptSymbol* symbol);
SceneItem* SymbolObject(const ScriptSymbol* symbol);
void SetSymbolObject(ScriptSymbol* symbol, const SceneItem* item);
void SetSymbolObjectHandle(ScriptSymbol* symbol, uint32_t handle);

// The resource record a symbol holds, or null for a symbol that holds
// anything else (a number, an object, nothing yet).
Resource* SymbolResource(const ScriptSymbol* symbol);

// A symbol read as a number: an object symbol gives its handle, a symbol of
// a thing (model, resource, window, ...) 0, any other its 4-byte integer.
int32_t SymbolIntegerValue(const ScriptSymbol* symbol);
// Writes a number into a symbol: an object symbol takes it as its handle,
// any other symbol that owns value bytes as its integer.
void SetSymbolInteger(ScriptSymbol* symbol, int32_t value);

// Stop codes set just before a syntax error is reported.
enum ScriptStopCode : int32_t {
    kStopRunning = 0,
    kStopWaiting = 1,
    kStopBadSymbol = 2,
    kStopBadLabel = 3,
    kStopBadToken = 4,
    kStopBadStatement = 5,
    kStopBadCondition = 8,
};

// Readers. "Bad SYMBOL Reference" and the other messages of a failed read
// end the process through ReportSyntaxError.
float ReadNumberOperand(uint32_t& position);
float ReadIncrementOperand(uint32_t& position);
float ReadOptionalNumber(uint32_t& position);
int32_t ReadOptionalKeyword(uint32_t& position, uint32_t first, uint32_t last);
uint32_t ReadLabelOperand(uint32_t& position);
SceneItem* ReadOptionalObject(uint32_t& position);
ScriptSymbol* ReadOptionalSymbol(uint32_t& position);
ScriptSymbol* ReadTypedSymbol(uint32_t& position, uint32_t wantedType);
int32_t ReadIntegerOperand(uint32_t& position);
int32_t ReadKeywordOperand(uint32_t& position, uint32_t first, uint32_t last);
// Quoted text: the text of a text data token; a number, symbol or keyword
// is the error "Quoted text needed in this context".
const char* ReadTextOperand(uint32_t& position);
// Whether the token at the position is quoted text / a number operand
// (number data or a symbol): the look-ahead of operand lists.
bool IsTextOperand(uint32_t position);
bool IsNumberOperand(uint32_t position);
// Reads a list of sense keywords (SN_DEBRIS .. SN_LEPER) into a mask of
// Avatar class bits; with `ignoreDebris` SN_DEBRIS adds nothing.
uint32_t ReadSenseMask(uint32_t& position, bool ignoreDebris);

// Two operands compared as integers: true when equal and of the same kind
// (both objects or both numbers) / when the first is greater.
bool CompareOperandsEqual(uint32_t& position);
bool CompareOperandsGreater(uint32_t& position);
