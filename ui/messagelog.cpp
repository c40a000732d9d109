// The message log and its typing, and the UI's font slots.
//
// Owns the typed text and its styles, the pending text being typed, the
// typing pace and pauses, the blanking countdown and the speech started at a
// '#' mark. Drawing takes the area (width and height) from whoever draws it,
// so word wrap follows the window or the main-view rectangle last used.
// Does not own the fonts' loading (start-up fills the slots) nor the
// dialogue line's timing beyond the speech it starts (ui/dialogue.cpp).
#include "ui/messagelog.h"

#include "screens/bridge.h"
#include "script/vitalobjects.h"
#include "system/canvas.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/sound.h"
#include "system/text.h"
#include "system/trace.h"
#include "system/wav.h"
#include "ui/shiplog.h"
#include "ui/windows.h"

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
MessageLog gMessageLog = {};
uint8_t gMessageLogKeep = 0;

namespace {

constexpr int16_t kDefaultAreaWidth = 640;
constexpr int16_t kDefaultAreaHeight = 480;
constexpr int32_t kWrapMargin = 12;
constexpr int32_t kBaseDuration = 100;
constexpr uint8_t kCursorColour = 160;
constexpr int kCursorWidth = 5;
constexpr int kCursorPeriod = 50; // frames
constexpr int kCursorOnFrom = 26; // on for the last 24 of them
constexpr int kBlankLines = 3;

// The default message font, the highlight font and the third message font;
// the last two styles have none.
void SetFontSlots()
{
    gMessageLog.fonts[0] = gFontB;
    gMessageLog.fonts[1] = gFontR;
    gMessageLog.fonts[2] = gFontG;
    gMessageLog.fonts[3] = nullptr;
    gMessageLog.fonts[4] = nullptr;
}

int32_t CharWidth(const RasterFont* font, char c)
{
    return font ? font->widths[static_cast<uint8_t>(c)] : 0;
}

// Whether the character ends the word measured for wrapping.
bool EndsWord(char c)
{
    return c == 0 || c == ' ' || c == '~' || c == '#';
}

// One byte onto the log with its style; the oldest line goes when only the
// zero would fit, so the log never holds more than its capacity.
void Append(char c)
{
    MessageLog& log = gMessageLog;
    if (log.typed >= kMessageLogCapacity - 1)
        guiDropMessageLogLine();
    log.text[log.typed] = c;
    log.style[log.typed] = static_cast<uint8_t>(gMessageLogPendingStyle);
    ++log.typed;
    log.text[log.typed] = 0;
}

void Finish()
{
    gMessageLog.text[gMessageLog.typed] = 0;
    if (gMessageLog.window)
        gMessageLog.window->redrawCount = gWindows.redrawValue > 0 ? gWindows.redrawValue : 1;
}

// The speech waiting for the '#' just typed. A sample that does not play
// (or has no rate) leaves the line timed by the rest of its text, never by
// the long wait set while the mark was ahead.
void StartPendingSpeech()
{
    MessageLog& log = gMessageLog;
    if (!log.speech[0])
        return;
    const int32_t rest = guiMessageTextDuration(gMessageLogPendingText + gMessageLogTypingPosition, nullptr);
    gSpeechCountdown = guiSpeechTicks(SpeechPlay(log.speech), rest);
    log.speech[0] = 0;
}

int32_t AddText(const char* text, int32_t style, bool clearFirst)
{
    // The debrief's text stays on the log while it is spoken.
    if (!text || MissionEndState == kMissionDebrief)
        return 0;
    SetFontSlots();
    if (!gFontB)
        return 0;
    char quoted[kMessageLogCapacity + 8];
    if (TraceOn())
        TraceLine("log", "%s", TraceQuoted(text, quoted, sizeof quoted));
    guiInitMessageLog();
    if (clearFirst && !gMessageLogKeep)
        guiClearMessageLog();
    MessageLog& log = gMessageLog;
    int32_t length = static_cast<int32_t>(strnlen(text, kMessageLogCapacity));
    while (log.typed > 0 && log.typed + length + gMessageLogTextLength >= kMessageLogCapacity)
        guiDropMessageLogLine();
    while (gMessageLogTypingPosition < gMessageLogTextLength)
        guiTypeMessageLogChar();
    while (log.typed > 0 && length + log.typed >= kMessageLogCapacity)
        guiDropMessageLogLine();
    // A text longer than the whole log: what fits of it.
    if (length + log.typed >= kMessageLogCapacity)
        length = kMessageLogCapacity - 1 - log.typed;
    std::memcpy(gMessageLogPendingText, text, static_cast<size_t>(length));
    gMessageLogPendingText[length] = 0;
    gMessageLogTextLength = static_cast<int16_t>(length);
    gMessageLogPendingStyle = style;
    gMessageLogTypingPosition = 0;
    log.lineWidth = 0;
    log.timer = 0;
    log.erase = -1;
    log.active = 1;
    return length;
}

// The first byte to draw: walking back from the end, two lines and a margin
// plus a line for every line feed, until the area's height is reached.
int16_t FirstShown(int32_t fontHeight)
{
    const MessageLog& log = gMessageLog;
    int32_t height = 2 * fontHeight + 4;
    for (int32_t i = log.typed - 1; i >= 0; --i) {
        if (log.text[i] == '\n')
            height += fontHeight;
        if (height >= log.areaHeight)
            return static_cast<int16_t>(i + 1);
    }
    return 0;
}

void DrawCursor(const Canvas& canvas, const ClipRect& clip, int16_t x, int16_t y, int32_t fontHeight)
{
    if (gFrameClock.frameCounter % kCursorPeriod < kCursorOnFrom)
        return;
    CanvasFillRectClipped(canvas, kCursorColour, clip, static_cast<int16_t>(x - (kCursorWidth - 1)),
                          static_cast<int16_t>(y - (fontHeight - 3)), x, y);
}

} // namespace

void guiInitMessageLog()
{
    if (gMessageLog.initialised)
        return;
    gMessageLog.initialised = 1;
    guiClearMessageLog();
}

void guiClearMessageLog()
{
    MessageLog& log = gMessageLog;
    log.initialised = 1;
    log.text[0] = 0;
    log.active = 0;
    log.areaWidth = kDefaultAreaWidth;
    log.areaHeight = kDefaultAreaHeight;
    log.typed = log.shown = log.lineWidth = 0;
    log.erase = 0;
    log.timer = 0;
    log.pace = kMessageLogPace;
    log.speech[0] = 0;
    gMessageLogPendingText[0] = 0;
    gMessageLogTypingPosition = 0;
    gMessageLogTextLength = 0;
    gSpeechCountdown = 0;
    gMessageLogFont = gFontB;
}

int32_t guiAddMessageLogText(const char* text, int32_t style)
{
    return AddText(text, style, true);
}

int32_t guiAppendMessageLogText(const char* text, int32_t style)
{
    return AddText(text, style, false);
}

void guiDropMessageLogLine()
{
    MessageLog& log = gMessageLog;
    const void* feed = std::memchr(log.text, '\n', static_cast<size_t>(log.typed));
    const int16_t cut = feed ? static_cast<int16_t>(static_cast<const char*>(feed) - log.text + 1) : log.typed;
    std::memmove(log.text, log.text + cut, static_cast<size_t>(log.typed - cut));
    std::memmove(log.style, log.style + cut, static_cast<size_t>(log.typed - cut));
    log.typed = static_cast<int16_t>(log.typed - cut);
    log.text[log.typed] = 0;
    log.shown = static_cast<int16_t>(log.shown > cut ? log.shown - cut : 0);
}

uint8_t guiTypeMessageLogChar()
{
    MessageLog& log = gMessageLog;
    const char* p = gMessageLogPendingText;
    const int32_t length = gMessageLogTextLength;
    int32_t i = gMessageLogTypingPosition;
    if (i >= length)
        return 0;
    const RasterFont* font = gMessageLogFont;
    log.lineWidth = static_cast<int16_t>(log.lineWidth + CharWidth(font, p[i]));
    int32_t word = 0;
    for (int32_t j = i + 1; j < length && !EndsWord(p[j]); ++j)
        word += CharWidth(font, p[j]);
    if (log.areaWidth < log.lineWidth + word + kWrapMargin) {
        log.lineWidth = 0;
        Append('\n');
    }
    // A blank that would begin the wrapped line is dropped; at the very end
    // of the text there is nothing after it to type.
    if (log.lineWidth == 0 && p[i] == ' ')
        ++i;
    bool pause = false;
    char typed = 0;
    if (i < length) {
        typed = p[i];
        if (typed != '\r' && typed != '~' && typed != '#')
            Append(typed);
        ++i;
        const char next = i < length ? p[i] : 0;
        if (next == '\n') {
            log.lineWidth = 0;
            pause = true;
        } else if (typed == '.') {
            pause = next != '.';
        } else {
            pause = next == '~';
        }
    }
    gMessageLogTypingPosition = static_cast<int16_t>(i);
    if (typed == '#')
        StartPendingSpeech();
    if (i >= length)
        Append('\n');
    Finish();
    return pause ? 255 : 0;
}

int32_t guiMessageTextDuration(const char* text, bool* hasSpeechMark)
{
    int32_t ticks = kBaseDuration;
    bool mark = false;
    for (const char* p = text; p && *p; ++p) {
        ticks += (*p == '\n' || *p == '.' || *p == '~') ? kMessageLogSentencePause : kMessageLogPace;
        mark = mark || *p == '#';
    }
    if (hasSpeechMark)
        *hasSpeechMark = mark;
    return ticks;
}

void guiSetMessageLogSpeech(const char* path)
{
    char* speech = gMessageLog.speech;
    speech[0] = 0;
    if (path) {
        std::strncpy(speech, path, kSpeechNameSize - 1);
        speech[kSpeechNameSize - 1] = 0;
    }
}

int32_t guiSpeechTicks(const SoundSlot* sample, int32_t fallback)
{
    if (!sample || !sample->format || sample->format->samplesPerSec == 0)
        return fallback;
    const uint32_t frameBytes = sample->format->blockAlign ? sample->format->blockAlign : 1u;
    const int64_t frames = sample->length / frameBytes;
    return static_cast<int32_t>(frames * 100 / sample->format->samplesPerSec + 100);
}

void guiTickMessageLog()
{
    guiInitMessageLog();
    MessageLog& log = gMessageLog;
    if (log.erase > 0) {
        log.erase = static_cast<int16_t>(log.erase - gFrameClock.frameTicks);
        if (log.erase <= 0) {
            log.active = 0;
            ShipLogUnsetCursor();
            for (int i = 0; i < kBlankLines; ++i)
                Append('\n');
            Finish();
        }
    }
    if (gMessageLogTypingPosition >= gMessageLogTextLength && !gPresentation.running) {
        if (log.active && log.erase <= 0)
            log.erase = kMessageLogEraseDelay;
        return;
    }
    if (gPresentation.running && gPresentation.paused)
        return;
    log.timer -= gFrameClock.frameTicks;
    while (log.timer < 0) {
        log.timer += log.pace > 0 ? log.pace : kMessageLogPace;
        if (guiTypeMessageLogChar())
            log.timer += kMessageLogSentencePause;
    }
}

namespace {

// The draw routines' typing: once a frame, however many views draw the log.
void TickOnceThisFrame()
{
    MessageLog& log = gMessageLog;
    if (log.typedThisFrame && log.typedFrame == gFrameClock.frameCounter)
        return;
    log.typedFrame = gFrameClock.frameCounter;
    log.typedThisFrame = 1;
    guiTickMessageLog();
}

} // namespace

void guiDrawMessageLogWindow(WindowHandle* window)
{
    TickOnceThisFrame();
    MessageLog& log = gMessageLog;
    const Canvas canvas = ScreenCanvas();
    window->redrawCount = gWindows.redrawValue > 0 ? gWindows.redrawValue : 1;
    if (!canvas.pixels || !guiWindowRect(window, nullptr, nullptr))
        return;
    const ClipRect clip{window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
    // Once the log ends (or gives way to the hints) its last text is
    // cleared away, once.
    if (!log.active || gWindows.hintMode) {
        if (window->aux)
            CanvasFillRectClipped(canvas, 0, clip, clip.left, clip.top, clip.right, clip.bottom);
        window->aux = 0;
        return;
    }
    log.window = window;
    if (window->font && window->font->data)
        gMessageLogFont = static_cast<RasterFont*>(window->font->data);
    log.areaWidth = window->width;
    log.areaHeight = window->height;
    const RasterFont* font = gMessageLogFont;
    if (!font)
        return;
    // The window's own font draws every line (the log's event colours are
    // the fixed box's).
    CanvasFillRectClipped(canvas, 0, clip, clip.left, clip.top, clip.right, clip.bottom);
    log.shown = FirstShown(font->height);
    int16_t x = static_cast<int16_t>(clip.left + 4);
    int16_t y = static_cast<int16_t>(clip.top + font->height + 4);
    CanvasTextWrap(canvas, x, y, log.text + log.shown, font, clip);
    DrawCursor(canvas, clip, x, y, font->height);
    window->aux = 1;
}

void guiDrawMessageLog(int32_t x, int32_t y, int32_t w, int32_t h)
{
    TickOnceThisFrame();
    MessageLog& log = gMessageLog;
    if (!log.active || gWindows.hintMode)
        return;
    log.areaWidth = static_cast<int16_t>(w);
    log.areaHeight = static_cast<int16_t>(h);
    const RasterFont* font = gMessageLogFont;
    const Canvas canvas = ScreenCanvas();
    if (!font || !canvas.pixels || w <= 0 || h <= 0)
        return;
    const ClipRect clip{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(x + w - 1),
                        static_cast<int16_t>(y + h - 1)};
    log.shown = FirstShown(font->height);
    int16_t penX = static_cast<int16_t>(x + 4);
    int16_t penY = static_cast<int16_t>(y + font->height + 4);
    CanvasDrawTextMixed(canvas, penX, penY, log.text + log.shown, log.style + log.shown, log.fonts, clip);
    if (penX < x + w - 8 && penY < y + h)
        DrawCursor(canvas, clip, penX, penY, font->height);
}
