// The message log and its typing, and the UI's font slots.
//
// A text handed to the log is typed in a character at a time at a fixed
// pace, word-wrapped to the width of the area it is drawn in, with pauses
// after sentences and an optional speech sample started at a '#' mark. Old
// lines drop off the top; some seconds after a text is complete (outside
// presentations) the log blanks itself with three empty lines. The log holds
// at most 3000 bytes with its zero, each typed byte with its style (which of
// the five mixed fonts draws it).
//
// Not here: the dialogue lines that start the speech (ui/dialogue.h), the
// main view that draws the log over the scene (ui/windows.cpp).
#pragma once

#include "system/text.h"

#include <cstdint>

struct SoundSlot;
struct WindowHandle;

extern int16_t gMessageLogTypingPosition; // all typed when equal to the text length
extern int16_t gMessageLogTextLength;
extern int32_t gSpeechCountdown;    // ticks of speech still to play: the dialogue line time
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

// The log holds at most this many bytes of text, its zero included.
constexpr int kMessageLogCapacity = 3000;
constexpr int32_t kMessageLogPace = 4;           // ticks a character
constexpr int32_t kMessageLogSentencePause = 50; // after a line, a sentence and before '~'
constexpr int16_t kMessageLogEraseDelay = 250;   // ticks a complete text stays
constexpr int kSpeechNameSize = 260;

// The text the log types now (the last one added) and its font choice.
extern char gMessageLogPendingText[kMessageLogCapacity];
extern int32_t gMessageLogPendingStyle;

// The rest of the log's state, one record.
struct MessageLog {
    char text[kMessageLogCapacity];     // typed lines, '\n' between them, zero-terminated
    uint8_t style[kMessageLogCapacity]; // the style of each typed byte
    int16_t typed;                      // bytes in text before its zero
    int16_t shown;                      // first byte drawn
    int16_t lineWidth;                  // pixels typed on the current line
    int32_t timer;                      // ticks to the next character
    int32_t pace;
    int16_t erase; // -1 while typing, then counts the blanking down
    uint8_t active;
    uint8_t initialised;
    int16_t areaWidth, areaHeight;
    const RasterFont* fonts[kMixedFonts]; // the mixed drawing's styles
    WindowHandle* window;                 // redrawn whenever a character is typed
    char speech[kSpeechNameSize];         // started when typing reaches '#'; "" none
    // The frame the draw routines last typed in: a frame that draws the log
    // in two views types it once.
    uint16_t typedFrame;
    uint8_t typedThisFrame;
};
extern MessageLog gMessageLog;

// While set (a mission's start-up script runs) an added text does not clear
// the log first: the texts accumulate.
extern uint8_t gMessageLogKeep;

// Clears the log once, the first time it is used.
void guiInitMessageLog();
// Empties the log: no text, inactive, 640 x 480, pace 4, no pending speech,
// dialogue line time 0, the current font the default message font.
void guiClearMessageLog();
// Starts typing the text in the style (0 to 4), completing the previous one
// at once and dropping the oldest lines to make room; clears the log first
// unless gMessageLogKeep. Nothing (0) for a null text, during the debrief or
// without a default message font. Returns the length taken (a text that
// cannot fit is cut to the room left).
int32_t guiAddMessageLogText(const char* text, int32_t style);
// guiAddMessageLogText without the clearing.
int32_t guiAppendMessageLogText(const char* text, int32_t style);
// Removes the first line (all of the text when it has one line) from the log.
void guiDropMessageLogLine();
// Types the next pending character; 255 when a pause follows it (a sentence
// or a line ended, or '~' comes next), 0 otherwise and when nothing is left.
uint8_t guiTypeMessageLogChar();
// Ticks the text would take to type: 100, plus the pause for each line feed,
// '.' and '~' and the pace for every other character. Sets *hasSpeechMark
// (when given) when the text holds '#'.
int32_t guiMessageTextDuration(const char* text, bool* hasSpeechMark);
// The speech file (a data path) to start when typing reaches the next '#';
// null or "" forgets it. Longer names are cut to the slot.
void guiSetMessageLogSpeech(const char* path);
// A speech sample's play time in ticks: frames x 100 / rate + 100, counted
// in 64 bits; `fallback` for a slot without a rate.
int32_t guiSpeechTicks(const SoundSlot* sample, int32_t fallback);
// The frame's typing and blanking; both draw routines run it.
void guiTickMessageLog();
// The log window's draw type: fills the window with colour 0 and draws the
// lines that fit in the window's font, then the cursor.
void guiDrawMessageLogWindow(WindowHandle* window);
// The log into a rectangle of the main view, over what is there, each
// character in the font of its style (the frame's typing first).
void guiDrawMessageLog(int32_t x, int32_t y, int32_t w, int32_t h);
