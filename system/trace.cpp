// The event trace's file and line writer.
#include "system/trace.h"

#include "system/frameclock.h"

#include <cstdarg>
#include <cstdlib>

std::FILE* gTraceFile = nullptr;

void TraceStart()
{
    TraceStop();
    const char* name = std::getenv("KELVANDRIST_TRACE");
    if (name && name[0])
        gTraceFile = std::fopen(name, "ab");
}

void TraceStop()
{
    if (gTraceFile)
        std::fclose(gTraceFile);
    gTraceFile = nullptr;
}

void TraceLine(const char* event, const char* fieldsFormat, ...)
{
    if (!gTraceFile)
        return;
    std::fprintf(gTraceFile, "%u %s", static_cast<unsigned>(gFrameClock.frameCounter), event);
    if (fieldsFormat && fieldsFormat[0]) {
        std::fputc(' ', gTraceFile);
        va_list args;
        va_start(args, fieldsFormat);
        std::vfprintf(gTraceFile, fieldsFormat, args);
        va_end(args);
    }
    std::fputc('\n', gTraceFile);
    std::fflush(gTraceFile);
}

const char* TraceQuoted(const char* text, char* buffer, int size)
{
    int n = 0;
    auto put = [&](char c) {
        if (n < size - 2)
            buffer[n++] = c;
    };
    put('"');
    for (const char* p = text ? text : ""; *p && n < size - 3; ++p) {
        if (*p == '"' || *p == '\\') {
            put('\\');
            put(*p);
        } else if (*p == '\n') {
            put('\\');
            put('n');
        } else if (*p != '\r') {
            put(*p);
        }
    }
    buffer[n++] = '"';
    buffer[n] = 0;
    return buffer;
}
