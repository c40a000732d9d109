// The message log and its typing, and the UI's font slots.
#pragma once

#include <cstdint>

struct RasterFont;

extern int16_t gMessageLogTypingPosition; // all typed when equal to the text length
extern int16_t gMessageLogTextLength;
extern int32_t gSpeechCountdown;    // ticks of speech still to play
extern uint8_t gCommsArmRequest;    // a conversation needs the comms panel
extern RasterFont* gMessageLogFont; // callers may switch and restore it
extern RasterFont* gFontB;          // the "BFont" slot, the message log's own font
// The other font slots, each filled at start-up from the font symbol of
// its name.
extern RasterFont* gFontR;     // "RFont"
extern RasterFont* gFontG;     // "GFont"
extern RasterFont* gFontMid;   // "MidFont"
extern RasterFont* gFontCons;  // "ConsFont"
extern RasterFont* gFontCons1; // "ConsFont1"
extern RasterFont* gFontCons2; // "ConsFont2"
extern RasterFont* gFontH;     // "HFont"
extern RasterFont* gFontDim;   // "DimFont"
extern RasterFont* gFontA2;    // "A2Font", not in demo mode
extern RasterFont* gFontA2Dim; // "A2DimFont", not in demo mode
extern RasterFont* gFontV;     // "VFont"

// The log holds at most this many bytes of text.
constexpr int kMessageLogCapacity = 3000;
// The text the log types now (the last one added) and its font choice.
extern char gMessageLogPendingText[kMessageLogCapacity];
extern int32_t gMessageLogPendingStyle;

void guiClearMessageLog();
// Starts typing the text in the font choice (0 to 4); nothing for a null
// text or during the debrief. Returns the text's length.
int32_t guiAddMessageLogText(const char* text, int32_t style);
uint8_t guiTypeMessageLogChar();
void guiDrawMessageLog(int32_t x, int32_t y, int32_t w, int32_t h);
