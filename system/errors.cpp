// Error and debug output. See errors.h.
#include "system/errors.h"

#include "platform/files.h"
#include "platform/host.h"
#include "platform/window.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "system/startup.h"
#include "ui/messagelog.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr const char* kVersion = "0.901";
constexpr const char* kDebugLog = "debug.txt";

FatalStopHook gFatalHook = nullptr;
MessageBoxHook gMessageBoxHook = nullptr;
bool gConsoleExists = false;

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
    std::fprintf(f, "Vorn %s %s %s %s\r\n", kVersion, date, clock, text ? text : "");
    std::fclose(f);
    return 1;
}

void DebugPrint(const char* text)
{
    if (!gSettings.debuggerOutput) {
        AppendDebugLog(text);
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

void DebugMessageBox(const char* text, const char* title)
{
    if (!gSettings.debuggerOutput) {
        AppendDebugLog(text);
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
    AppendDebugLog(text);
    if (gSettings.debuggerOutput) {
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
    // While the loading screen is up, start-up shows progress and log text
    // on it.
    if (gLoadingScreenUp || !gSettings.console)
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
