// The message log and its typing, and the UI's font slots.
// Stand-in bodies: each records its call (system/calltrace.h) until the
// module itself is built; adding a text keeps it as the text being typed,
// the typing and drawing are still to come.
#include "ui/messagelog.h"

#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/trace.h"

#include <cstring>

int16_t gMessageLogTypingPosition = 0;
int16_t gMessageLogTextLength = 0;
int32_t gSpeechCountdown = 0;
uint8_t gCommsArmRequest = 0;
RasterFont* gMessageLogFont = nullptr;
RasterFont* gFontB = nullptr;
char gMessageLogPendingText[kMessageLogCapacity] = {};
int32_t gMessageLogPendingStyle = 0;
RasterFont* gFontR = nullptr;
RasterFont* gFontG = nullptr;
RasterFont* gFontMid = nullptr;
RasterFont* gFontCons = nullptr;
RasterFont* gFontCons1 = nullptr;
RasterFont* gFontCons2 = nullptr;
RasterFont* gFontH = nullptr;
RasterFont* gFontDim = nullptr;
RasterFont* gFontA2 = nullptr;
RasterFont* gFontA2Dim = nullptr;
RasterFont* gFontV = nullptr;

void guiClearMessageLog()
{
    RecordCall("guiClearMessageLog");
    gMessageLogPendingText[0] = 0;
    gMessageLogTypingPosition = 0;
    gMessageLogTextLength = 0;
}

int32_t guiAddMessageLogText(const char* text, int32_t style)
{
    RecordCall("guiAddMessageLogText");
    // The debrief's text stays on the log while it is spoken.
    if (!text || MissionEndState == kMissionDebrief)
        return 0;
    char quoted[kMessageLogCapacity + 8];
    if (TraceOn())
        TraceLine("log", "%s", TraceQuoted(text, quoted, sizeof quoted));
    const size_t length = strnlen(text, kMessageLogCapacity - 1);
    std::memcpy(gMessageLogPendingText, text, length);
    gMessageLogPendingText[length] = 0;
    gMessageLogPendingStyle = style;
    gMessageLogTypingPosition = 0;
    gMessageLogTextLength = static_cast<int16_t>(length);
    return static_cast<int32_t>(length);
}

uint8_t guiTypeMessageLogChar()
{
    RecordCall("guiTypeMessageLogChar");
    return {};
}

void guiDrawMessageLog(int32_t x, int32_t y, int32_t w, int32_t h)
{
    RecordCall("guiDrawMessageLog");
}
