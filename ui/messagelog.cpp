// The message log and its typing, and the UI's font slots.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ui/messagelog.h"

#include "system/calltrace.h"

int16_t gMessageLogTypingPosition = 0;
int16_t gMessageLogTextLength = 0;
int32_t gSpeechCountdown = 0;
uint8_t gCommsArmRequest = 0;
RasterFont* gMessageLogFont = nullptr;
RasterFont* gFontB = nullptr;
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
}

int32_t guiAddMessageLogText(const char* text, int32_t style)
{
    RecordCall("guiAddMessageLogText");
    return {};
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
