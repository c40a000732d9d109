// The compiled form of scripts: the token and data buffers, the emitters
// that append to them, the side table of line markers, the briefing index,
// and the roll-back mark that a mission's scripts are discarded to.
//
// A compiled script is a run of ScriptToken pairs in the token buffer,
// addressed by the position (pair index) of its first token. Values that
// refer to something are 32-bit indices: a data token's offset in the data
// buffer, a symbol's slot in the symbol table, a file name's offset in the
// script name store. Every source line ends with a line marker of two pairs:
// {LINE, line index}, {offset of the next line in the file, file name}.
// The buffers are never written past their end: a write that would not fit
// is a drastic error that ends the process.
#pragma once

#include <cstdint>

struct ScriptToken {
    uint32_t id;    // keyword id or one of kw::LINE, NEW_SYMBOL, SYMBOL, DATA, COMMENT
    uint32_t value; // 0 for keywords; an index for the others
};
static_assert(sizeof(ScriptToken) == 8);

constexpr uint32_t kTokenCapacity = 24000; // pairs (48,000 words)
constexpr uint32_t kDataCapacity = 56000;  // bytes
constexpr uint32_t kNoScriptPosition = 0xFFFFFFFFu;

// A data token's value: the offset of its bytes, with the top bit set when
// they hold a 4-byte float rather than zero-terminated text.
constexpr uint32_t kDataNumberBit = 0x80000000u;
inline uint32_t DataTokenOffset(uint32_t value) { return value & ~kDataNumberBit; }
inline bool DataTokenIsNumber(uint32_t value) { return (value & kDataNumberBit) != 0; }

struct ScriptBuffers {
    ScriptToken tokens[kTokenCapacity];
    uint32_t tokenCursor; // next free pair
    char data[kDataCapacity];
    uint32_t dataCursor; // next free byte
};
extern ScriptBuffers gScriptBuffers;

// Appending. Each ends the process with the drastic error when the write
// would not fit. EmitDataToken returns the data offset of the copied bytes.
void EmitToken(uint32_t id, uint32_t value);
void EmitKeywordToken(uint32_t id);
uint32_t EmitDataToken(uint32_t id, const void* bytes, uint32_t count);
uint32_t AppendScriptData(const void* bytes, uint32_t count);
void EmitTextToken(const char* text, uint32_t length); // copied with a terminating zero
void EmitNumberToken(float number);

// Reading data tokens.
float ScriptDataNumber(uint32_t value);     // bytes of a number data token
const char* ScriptDataText(uint32_t value); // text of a text data token

// Line markers: the tokeniser records where each one starts, so that error
// messages find a token's line without mistaking a value for a marker.
void EmitLineMarker(uint32_t lineIndex, uint32_t nextLineOffset, uint32_t fileName);
// The marker that starts last before the position (null when none does).
const ScriptToken* FindLineMarker(uint32_t position);
// The marker that starts at or after the position: the one that ends the
// position's line (null when none does).
const ScriptToken* FindLineEndMarker(uint32_t position);

// Where the briefings of the compiled mission stand (filled by the
// tokeniser at BRF_DECLARE, BRF_BEGIN and BRF_END).
constexpr int kMaxBriefings = 4;
struct BriefingIndex {
    uint32_t declare[kMaxBriefings]; // position of BRF_DECLARE
    uint32_t begin[kMaxBriefings];   // position of BRF_BEGIN
    uint32_t end[kMaxBriefings];     // position just after BRF_END
    uint16_t count;                  // BRF_END keywords seen: the next briefing's index
};
extern BriefingIndex gBriefings;
void ClearBriefingIndex();

// The roll-back mark of the compiled stream (the symbol table and the name
// store keep their own parts of it).
void MarkScriptBuffers();
void RollBackScriptBuffers();
uint32_t ScriptMarkPosition();

// "SCRIPT DRASTIC ERROR!!!": the message box, then the end of the process.
[[noreturn]] void ReportScriptDrasticError(const char* text);
