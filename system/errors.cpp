// Error and debug output. See errors.h.
#include "system/errors.h"

#include "platform/files.h"
#include "platform/host.h"
#include "platform/window.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "system/trace.h"
#include "ui/messagelog.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

uint8_t gLoadingScreenUp = 0;
MessagePump gLoadingScreenPump = nullptr;

namespace {

constexpr const char* kVersion = "0.901";
constexpr const char* kDebugLog = "debug.txt";

FatalStopHook gFatalHook = nullptr;
MessageBoxHook gMessageBoxHook = nullptr;
bool gConsoleExists = false;

// The loading screen's progress dots: a row at y 8 from x 20, 4 apart; the
// 155th dot clears the row and the next starts again at the left.
constexpr int16_t kDotRowY = 8;
constexpr int16_t kDotFirstX = 20;
constexpr int16_t kDotStep = 4;
constexpr uint16_t kDotsInRow = 154;
constexpr uint8_t kDotColour = 255;
uint16_t gProgressDots = 0;

// The loading screen is drawn into at every step of start-up (hundreds of
// them), and shown at most this often: a display shows no more than its
// refresh rate, and showing each step made start-up wait on the display.
constexpr auto kLoadingScreenPresentPeriod = std::chrono::milliseconds(30);
std::chrono::steady_clock::time_point gLastLoadingPresent{};

// Shows the loading screen and pumps the window's messages when the last
// showing is a period past.
void PresentLoadingScreen()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - gLastLoadingPresent < kLoadingScreenPresentPeriod)
        return;
    gLastLoadingPresent = now;
    DisplayPresent(gScreenMode);
    if (gLoadingScreenPump)
        gLoadingScreenPump();
}

// The loading screen's log: the message log drawn at the top of the screen
// (x, y, width, height), over a cleared band.
constexpr int32_t kLogArea[4] = {20, 8, 600, 82};
constexpr ClipRect kLogClear = {20, 8, 620, 82};

void DrawProgressDot()
{
    DisplayLock(gScreenMode);
    const Canvas screen = ScreenCanvas();
    CanvasPlot(screen, kDotColour, static_cast<int16_t>(kDotFirstX + kDotStep * gProgressDots), kDotRowY);
    if (++gProgressDots > kDotsInRow) {
        gProgressDots = 0;
        CanvasLine(screen, kDotFirstX, kDotRowY, static_cast<int16_t>(screen.rowLength - 1), kDotRowY, 0);
    }
    PresentLoadingScreen();
}

void ShowOnLoadingLog(const char* text)
{
    std::string line = text;
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    RasterFont* previous = gMessageLogFont;
    gMessageLogFont = gFontB;
    guiAddMessageLogText(line.c_str(), 0);
    // All of it typed at once; each call types one character or stops at a
    // pause, so the text's length bounds the calls.
    for (std::size_t i = 0; i <= line.size() && gMessageLogTypingPosition < gMessageLogTextLength; ++i)
        guiTypeMessageLogChar();
    DisplayLock(gScreenMode);
    CanvasFillRect(ScreenCanvas(), 0, kLogClear.left, kLogClear.top, kLogClear.right, kLogClear.bottom);
    guiDrawMessageLog(kLogArea[0], kLogArea[1], kLogArea[2], kLogArea[3]);
    PresentLoadingScreen();
    gMessageLogFont = previous;
}

// The developer command file: its text joins the message log, once a second.
constexpr const char* kDevCommandFile = "h:\\zqk\\resource\\text\\test\\out.txt";
constexpr std::size_t kDevCommandMaxBytes = 999;
constexpr int32_t kDevCommandPeriod = 100; // ticks
int32_t gDevCommandCountdown = 0;

// A modal box, or what a test put in its place.
void ShowBox(const char* text, const char* title, platform::MessageBoxIcon icon)
{
    if (gMessageBoxHook) {
        gMessageBoxHook(text, title);
        return;
    }
    platform::ShowMessageBox(text, title, icon);
}

} // namespace

FatalStopHook SetFatalStopHook(FatalStopHook hook)
{
    FatalStopHook old = gFatalHook;
    gFatalHook = hook;
    return old;
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook old = gMessageBoxHook;
    gMessageBoxHook = hook;
    return old;
}

int AppendDebugLog(const char* text)
{
    std::FILE* f = platform::OpenDataFile(kDebugLog, "ab");
    if (!f)
        return 0;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16], clock[16];
    std::strftime(date, sizeof date, "%m/%d/%y", &local);
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    const bool written = std::fprintf(f, "Vorn %s %s %s %s\r\n", kVersion, date, clock, text ? text : "") > 0;
    return std::fclose(f) == 0 && written ? 1 : 0;
}

namespace {

// With "debugfile" the text goes to the log; when the log cannot take it (a
// read-only or full folder) it reaches standard error all the same.
void LogOrStandardError(const char* text)
{
    if (!AppendDebugLog(text)) {
        std::string line = text ? text : "";
        if (line.empty() || line.back() != '\n')
            line += '\n';
        platform::DebuggerOutput(line.c_str());
    }
}

} // namespace

void DebugPrint(const char* text)
{
    if (!gSettings.debuggerOutput) {
        LogOrStandardError(text);
        return;
    }
    platform::DebuggerOutput(text ? text : "");
}

void DebugPrintf(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    DebugPrint(buffer);
}

void ReportDataFileFailure(const char* path, const char* reason)
{
    char line[1024];
    std::snprintf(line, sizeof line, "Kelvandrist: cannot use the file %s: %s\n", path ? path : "",
                  reason && *reason ? reason : "unreadable");
    // A file asked for many times in a row (one font under many names) is
    // named once.
    static std::string previous;
    if (previous == line)
        return;
    previous = line;
    DebugPrint(line);
}

const char* TextFileDamage(std::string_view text)
{
    if (text.empty())
        return "empty";
    if (text.back() != '\n')
        return "cut short: its last line does not end";
    return nullptr;
}

bool CheckTextFileWhole(const char* path, std::string_view text)
{
    const char* damage = TextFileDamage(text);
    if (damage)
        ReportDataFileFailure(path, damage);
    return !damage;
}

void DebugMessageBox(const char* text, const char* title)
{
    if (!gSettings.debuggerOutput) {
        LogOrStandardError(text);
        return;
    }
    if (gSettings.demo)
        return;
    if (gSettings.fullScreen) {
        // A box would cover the exclusive display.
        platform::DebuggerOutput(text ? text : "");
        return;
    }
    ShowBox(text, title, platform::MessageBoxIcon::Information);
}

void FatalError(const char* text)
{
    if (gFatalHook) {
        gFatalHook(text);
        return;
    }
    if (gSettings.debuggerOutput && platform::DebuggerAttached()) {
        platform::DebuggerBreak();
        return;
    }
    const bool logged = AppendDebugLog(text) != 0;
    if (gSettings.debuggerOutput || !logged) {
        std::string line = std::string("Fatal error: ") + (text ? text : "") + "\n";
        platform::DebuggerOutput(line.c_str());
    }
    std::exit(kExitFailure);
}

void ReportVerifyFailure(const char* message, const char* sourcePath, unsigned line)
{
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "\n%s(%u) : Verification Failure: ->%s\n", sourcePath, line, message);
    DebugPrint(buffer);
    FatalError("V");
}

void ConsolePrint(const char* text)
{
    // While the loading screen is up, start-up shows progress on it (when
    // it runs the front end) or the text in its log.
    if (gLoadingScreenUp && (gSettings.noCommandLineMission || gSettings.demo)) {
        DrawProgressDot();
        return;
    }
    if (gLoadingScreenUp) {
        ShowOnLoadingLog(text ? text : "");
        return;
    }
    if (!gSettings.console)
        return;
    if (!gConsoleExists)
        OpenConsole();
    platform::ConsoleWrite(text ? text : "");
}

void OpenConsole()
{
    gConsoleExists = true;
}

void SetMainWindowCaption(const char* text)
{
    platform::SetWindowTitle(text ? text : "");
}

void QuitProgram(int exitCode)
{
    std::exit(exitCode);
}

int CopyTextToClipboard(const char* text)
{
    if (TraceOn()) {
        char quoted[512];
        TraceLine("clipboard", "%s", TraceQuoted(text ? text : "", quoted, sizeof quoted));
    }
    return platform::SetClipboardText(text ? text : "") ? 1 : 0;
}

void ShowWin32Error()
{
    ShowBox(std::strerror(errno), "Win32 Error", platform::MessageBoxIcon::Information);
}

void DiagWarning(const char* text)
{
    ShowBox(text, "WARNING", platform::MessageBoxIcon::Warning);
    std::exit(kExitDiagnostic);
}

void DiagFailure(const char* text)
{
    ShowBox(text, "ERROR", platform::MessageBoxIcon::Error);
    std::exit(kExitDiagnostic);
}

void PollDevCommandFile()
{
    gDevCommandCountdown -= gFrameClock.frameTicks;
    if (gDevCommandCountdown > 0)
        return;
    std::string text;
    if (platform::ReadWholeFile(kDevCommandFile, text, kDevCommandMaxBytes)) {
        guiAddMessageLogText(text.c_str(), 1);
        platform::RemoveDataFile(kDevCommandFile);
    }
    gDevCommandCountdown = kDevCommandPeriod;
}
