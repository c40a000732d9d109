// Error and debug output: the only way game code reports.
//
// Message boxes for file and format errors, the fatal stop for exhausted
// limits, the verification report for internal checks, debug text, the debug
// log "debug.txt" and the console. Where output goes depends on the
// debugger-output, demo and console settings and on whether the display is
// full screen.
#pragma once

#include <cstdint>
#include <string_view>

// Exit code of a run that ends in failure: a failure never ends with 0.
constexpr int kExitFailure = 1;
// Exit code after a diagnostic of the 3D framework.
constexpr int kExitDiagnostic = 10;

void DebugMessageBox(const char* text, const char* title);
void DebugPrint(const char* text);
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void FatalError(const char* text);
// One line on the debug output naming a data file that cannot be used and
// why ("Kelvandrist: cannot use the file <path>: <reason>").
void ReportDataFileFailure(const char* path, const char* reason);
// What a text data file read whole says of its damage: "empty", or cut
// short when its last line does not end (every text file the game ships
// ends its last line); null when it looks whole.
const char* TextFileDamage(std::string_view text);
// Names a text data file read whole that is empty or cut short (see
// TextFileDamage); true when it looks whole.
bool CheckTextFileWhole(const char* path, std::string_view text);
void ReportVerifyFailure(const char* message, const char* sourcePath, unsigned line);
int AppendDebugLog(const char* text);
void ConsolePrint(const char* text);
// While start-up shows the loading screen, console text goes onto it (see
// ConsolePrint); start-up turns this on and off.
extern uint8_t gLoadingScreenUp;
// The one-step message pump that console text on the loading screen runs
// after each present, so that the window stays live through a long start-up.
// The program's top sets it as start-up begins; while null nothing is pumped.
using MessagePump = void (*)();
extern MessagePump gLoadingScreenPump;
void OpenConsole();
void SetMainWindowCaption(const char* text);
// Ends the process at once. Error paths pass kExitFailure, so that a run
// ended by a script or data error is never reported as a success.
[[noreturn]] void QuitProgram(int exitCode = 0);
int CopyTextToClipboard(const char* text);
void ShowWin32Error();
void DiagWarning(const char* text);
void DiagFailure(const char* text);
// The developer command file poll: each call counts the frame's ticks off a
// one-second countdown; when it runs out, the text of
// "h:\zqk\resource\text\test\out.txt" (when it holds fewer than 1,000
// bytes) joins the message log and the file is deleted.
void PollDevCommandFile();

// The fatal stop: with "debugfile" the text goes to "debug.txt" and the
// program ends; with a debugger attached it breaks and returns, so the caller
// goes on with its failure result; with neither the text is logged and the
// program ends. It ends with kExitFailure.
//
// Tests replace what the fatal stop does: the hook receives the text and may
// record it and return (the caller then goes on with its failure result) or
// throw. Returns the previous hook; null restores the standard behaviour.
using FatalStopHook = void (*)(const char* text);
FatalStopHook SetFatalStopHook(FatalStopHook hook);

// Likewise for message boxes, so tests can see the title and text. The hook
// takes the place of the box itself: it sees only what would be shown.
using MessageBoxHook = void (*)(const char* text, const char* title);
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Internal consistency check: reports "file(line) : Verification Failure".
#define KV_VERIFY(cond) \
    do { \
        if (!(cond)) \
            ReportVerifyFailure(#cond, __FILE__, __LINE__); \
    } while (0)

// Debug builds check the invariants that the code relies on but that cost
// too much to check on every call in a release build (a whole-list walk, a
// whole-arena scan). The condition is compiled in both, evaluated in debug
// builds only.
#ifdef NDEBUG
constexpr bool kDebugChecks = false;
#else
constexpr bool kDebugChecks = true;
#endif
#define KV_DEBUG_VERIFY(cond) \
    do { \
        if constexpr (kDebugChecks) \
            KV_VERIFY(cond); \
    } while (0)
