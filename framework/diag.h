// Framework diagnostics: the pluggable handler that warnings and failures go
// to, the assertion report, the exception frames and the last-error slot.
#pragma once

#include <csetjmp>

#include "framework/hx_types.h"

// A diagnostic handler: what happens with a warning or a failure message.
// The standard one writes to standard error; on a failure it ends the
// framework and the process (exit code 10). A handler whose failure
// operation returns lets the caller go on with its error or null result.
struct hx_diaghandler {
    const char* identifier;
    void (*warning)(const char* message);
    void (*failure)(const char* message);
};

extern hx_diaghandler HxStdioDiagHandler;

// Installs a handler (null: the standard one); returns the previous one.
hx_diaghandler* HxDiagHandlerSet(hx_diaghandler* handler);

void HxFailure(const char* format, ...) __attribute__((format(printf, 1, 2)));
void HxWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void HxFatal(const char* file, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
void _HxAssert(const char* condition, const char* file, unsigned line);
void _HxUAssert(const char* condition, const char* file, unsigned line);
int HxLogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Checks a condition; when it fails, reports it under the module's name and
// line and leaves the function with `result` (the handler may return).
#define HX_CHECK(cond, module, line, result) \
    do { \
        if (!(cond)) { \
            _HxAssert(#cond, module, line); \
            return result; \
        } \
    } while (0)

// The same, reporting the condition under the text the framework's
// diagnostics have always used for it.
#define HX_CHECK_AS(cond, text, module, line, result) \
    do { \
        if (!(cond)) { \
            _HxAssert(text, module, line); \
            return result; \
        } \
    } while (0)

// Exception frames: _HxExceptionBegin pushes a frame whose context the
// caller saves with setjmp; _HxExceptionThrow pops the top frame and resumes
// it with the type as the setjmp result; _HxExceptionEnd pops it normally.
struct hx_exception_frame {
    hx_exception_frame* below;
    std::jmp_buf context;
};

hx_exception_frame* _HxExceptionBegin();
void _HxExceptionEnd();
void _HxExceptionThrow(int type, uintptr_t value);
void* _HxExceptionValueFetch(void* p, uintptr_t* out);
void* _HxExceptionResource();

// The last error: a pointer and a number.
void* HxLastErrorSet(void* pointer, int number);
void* HxLastErrorGet();

// Profiling hooks; they do nothing.
void _PRO();
void _EPI();
