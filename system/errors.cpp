// Error and debug output. See errors.h.
#include "system/errors.h"

#include "system/settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {
FatalStopHook gFatalHook = nullptr;
MessageBoxHook gMessageBoxHook = nullptr;
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
    std::FILE* f = std::fopen("debug.txt", "ab");
    if (!f)
        return 0;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16], clock[16];
    std::strftime(date, sizeof date, "%m/%d/%y", &local);
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);
    std::fprintf(f, "Vorn %s %s %s %s\r\n", "0.901", date, clock, text);
    std::fclose(f);
    return 1;
}

void DebugPrint(const char* text)
{
    if (!gSettings.debuggerOutput) {
        AppendDebugLog(text);
        return;
    }
    std::fputs(text, stderr);
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
    if (gMessageBoxHook) {
        gMessageBoxHook(text, title);
        return;
    }
    if (!gSettings.debuggerOutput) {
        AppendDebugLog(text);
        return;
    }
    if (gSettings.demo)
        return;
    std::fprintf(stderr, "%s: %s\n", title, text);
}

void FatalError(const char* text)
{
    if (gFatalHook) {
        gFatalHook(text);
        return;
    }
    AppendDebugLog(text);
    std::fprintf(stderr, "%s\n", text);
    std::exit(gSettings.debuggerOutput ? 1 : 0);
}

void ReportVerifyFailure(const char* message, const char* sourcePath, unsigned line)
{
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "\n%s(%u) : Verification Failure: ->%s\n", sourcePath, line, message);
    DebugPrint(buffer);
    FatalError("V");
}
