// The event trace's file and line writer.
#include "system/trace.h"

#include "system/frameclock.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* gTraceFile = nullptr;

void TraceStart()
{
    TraceStop();
    const char* name = std::getenv("KELVANDRIST_TRACE");
    if (!name || !name[0])
        return;
    // Only a regular file: a FIFO is not waited on, a device not written.
    struct stat info {};
    const bool other = ::stat(name, &info) == 0 && !S_ISREG(info.st_mode);
    const int fd = other ? -1 : ::open(name, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "Kelvandrist: no event trace: %s: %s\n", name,
                     fd < 0 && !other ? std::strerror(errno) : "not a regular file");
        if (fd >= 0)
            ::close(fd);
        return;
    }
    gTraceFile = ::fdopen(fd, "ab");
    if (!gTraceFile)
        ::close(fd);
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
