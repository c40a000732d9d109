// Diagnostics, exception frames and the last-error slot.
#include "framework/diag.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/fw.h"
#include "framework/fw_state.h"

namespace {

// The one message buffer that every diagnostic formats into; longer
// messages are cut.
char message[1024];

void StdioWarning(const char* text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

// The message is written before the framework ends, so nothing that the
// end reports can replace it.
void StdioFailure(const char* text)
{
    StdioWarning(text);
    HxCoreEnd();
    std::exit(10);
}

hx_diaghandler* Handler()
{
    return fw.diag ? fw.diag : &HxStdioDiagHandler;
}

void Deliver(bool failure)
{
    hx_diaghandler* handler = Handler();
    void (*operation)(const char*) = failure ? handler->failure : handler->warning;
    if (!operation)
        HxAbort();
    operation(message);
}

void Format(const char* prefix, const char* format, va_list args)
{
    size_t used = std::strlen(prefix);
    std::memcpy(message, prefix, used + 1);
    std::vsnprintf(message + used, sizeof message - used, format, args);
}

} // namespace

hx_diaghandler HxStdioDiagHandler = {"Stdio DiagHandler", StdioWarning, StdioFailure};

hx_diaghandler* HxDiagHandlerSet(hx_diaghandler* handler)
{
    hx_diaghandler* previous = Handler();
    fw.diag = handler ? handler : &HxStdioDiagHandler;
    return previous;
}

void HxFailure(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Format("Failure: ", format, args);
    va_end(args);
    Deliver(true);
}

void HxWarning(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    Format("Warning: ", format, args);
    va_end(args);
    Deliver(false);
}

void HxFatal(const char* file, int line, const char* format, ...)
{
    char head[128];
    std::snprintf(head, sizeof head, "FATAL %s:%d\n", file, line);
    va_list args;
    va_start(args, format);
    Format(head, format, args);
    va_end(args);
    Deliver(true);
}

void _HxAssert(const char* condition, const char* file, unsigned line)
{
    std::snprintf(message, sizeof message, "ASSERTION FAILED %s:%u: \"%s\"\n", file, line, condition);
    Deliver(true);
}

void _HxUAssert(const char* condition, const char* file, unsigned line)
{
    _HxAssert(condition, file, line);
}

int HxLogPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int n = HxVSprintfN(HxScratchString(), HxScratchStringSize(), format, args);
    va_end(args);
    std::fputs(HxScratchString(), stderr);
    return n;
}

hx_exception_frame* _HxExceptionBegin()
{
    auto* frame = static_cast<hx_exception_frame*>(
        HxResAllocate(nullptr, sizeof(hx_exception_frame), HX_RES_EXCEPTION_HANDLER));
    if (!frame)
        return nullptr;
    frame->below = fw.exceptionTop;
    fw.exceptionTop = frame;
    return frame;
}

void _HxExceptionEnd()
{
    hx_exception_frame* frame = fw.exceptionTop;
    if (!frame) {
        HxFailure("Unhandled exception: %d", 0);
        return;
    }
    fw.exceptionTop = frame->below;
    HxResFree(frame);
}

void _HxExceptionThrow(int type, uintptr_t value)
{
    hx_exception_frame* frame = fw.exceptionTop;
    if (!frame) {
        HxFailure("Unhandled exception: %d", type);
        return;
    }
    std::jmp_buf context;
    std::memcpy(&context, &frame->context, sizeof context);
    fw.exceptionTop = frame->below;
    HxResFree(frame);
    fw.exceptionValue = value;
    std::longjmp(context, type);
}

void* _HxExceptionValueFetch(void* p, uintptr_t* out)
{
    if (p && out)
        *out = fw.exceptionValue;
    return p;
}

void* _HxExceptionResource()
{
    return fw.exceptionTop;
}

void* HxLastErrorSet(void* pointer, int number)
{
    fw.lastError = pointer;
    fw.lastErrorNumber = number;
    return pointer;
}

void* HxLastErrorGet()
{
    return fw.lastError;
}

void _PRO() {}

void _EPI() {}
