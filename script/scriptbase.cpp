// The compiled form: buffers, emitters, line markers, briefing index, mark.
// See scriptbase.h.
#include "script/scriptbase.h"

#include "script/keywords.h"
#include "system/errors.h"

#include <algorithm>
#include <cstring>

ScriptBuffers gScriptBuffers;
BriefingIndex gBriefings;

namespace {

// Start position of every line marker in the token buffer, in order.
uint32_t gLineMarkers[kTokenCapacity / 2];
uint32_t gLineMarkerCount;

struct BufferMark {
    uint32_t tokenCursor;
    uint32_t dataCursor;
    uint32_t lineMarkerCount;
};
BufferMark gMark;

void ReserveTokens(uint32_t pairs)
{
    if (pairs > kTokenCapacity - gScriptBuffers.tokenCursor)
        ReportScriptDrasticError("Script Buffer OVERFLOW !!!");
}

} // namespace

void ReportScriptDrasticError(const char* text)
{
    DebugMessageBox(text, "SCRIPT DRASTIC ERROR!!!");
    QuitProgram(kExitFailure);
}

void EmitToken(uint32_t id, uint32_t value)
{
    ReserveTokens(1);
    gScriptBuffers.tokens[gScriptBuffers.tokenCursor++] = {id, value};
}

void EmitKeywordToken(uint32_t id)
{
    EmitToken(id, 0);
}

uint32_t AppendScriptData(const void* bytes, uint32_t count)
{
    if (count > kDataCapacity - gScriptBuffers.dataCursor)
        ReportScriptDrasticError("Data Buffer OVERFLOW !!!");
    uint32_t offset = gScriptBuffers.dataCursor;
    if (count)
        std::memcpy(gScriptBuffers.data + offset, bytes, count);
    gScriptBuffers.dataCursor += count;
    return offset;
}

uint32_t EmitDataToken(uint32_t id, const void* bytes, uint32_t count)
{
    ReserveTokens(1);
    uint32_t offset = AppendScriptData(bytes, count);
    EmitToken(id, offset);
    return offset;
}

void EmitTextToken(const char* text, uint32_t length)
{
    ReserveTokens(1);
    if (length >= kDataCapacity - gScriptBuffers.dataCursor)
        ReportScriptDrasticError("Data Buffer OVERFLOW !!!");
    const char zero = 0;
    uint32_t offset = AppendScriptData(text, length);
    AppendScriptData(&zero, 1);
    EmitToken(kw::DATA, offset);
}

void EmitNumberToken(float number)
{
    ReserveTokens(1);
    uint32_t offset = AppendScriptData(&number, sizeof number);
    EmitToken(kw::DATA, offset | kDataNumberBit);
}

float ScriptDataNumber(uint32_t value)
{
    uint32_t offset = DataTokenOffset(value);
    float number = 0.0f;
    if (offset <= kDataCapacity - sizeof number)
        std::memcpy(&number, gScriptBuffers.data + offset, sizeof number);
    return number;
}

const char* ScriptDataText(uint32_t value)
{
    uint32_t offset = DataTokenOffset(value);
    return offset < kDataCapacity ? gScriptBuffers.data + offset : "";
}

void EmitLineMarker(uint32_t lineIndex, uint32_t nextLineOffset, uint32_t fileName)
{
    ReserveTokens(2);
    gLineMarkers[gLineMarkerCount++] = gScriptBuffers.tokenCursor;
    EmitToken(kw::LINE, lineIndex);
    EmitToken(nextLineOffset, fileName);
}

const ScriptToken* FindLineMarker(uint32_t position)
{
    const uint32_t* end = gLineMarkers + gLineMarkerCount;
    const uint32_t* after = std::lower_bound(static_cast<const uint32_t*>(gLineMarkers), end, position);
    if (after == gLineMarkers)
        return nullptr;
    return &gScriptBuffers.tokens[after[-1]];
}

const ScriptToken* FindLineEndMarker(uint32_t position)
{
    const uint32_t* end = gLineMarkers + gLineMarkerCount;
    const uint32_t* at = std::lower_bound(static_cast<const uint32_t*>(gLineMarkers), end, position);
    if (at == end)
        return nullptr;
    return &gScriptBuffers.tokens[*at];
}

void ClearBriefingIndex()
{
    for (int i = 0; i < kMaxBriefings; ++i) {
        gBriefings.declare[i] = kNoScriptPosition;
        gBriefings.begin[i] = kNoScriptPosition;
        gBriefings.end[i] = kNoScriptPosition;
    }
    gBriefings.count = 0;
}

void MarkScriptBuffers()
{
    gMark = {gScriptBuffers.tokenCursor, gScriptBuffers.dataCursor, gLineMarkerCount};
}

void RollBackScriptBuffers()
{
    gScriptBuffers.tokenCursor = gMark.tokenCursor;
    gScriptBuffers.dataCursor = gMark.dataCursor;
    gLineMarkerCount = gMark.lineMarkerCount;
}

uint32_t ScriptMarkPosition()
{
    return gMark.tokenCursor;
}
