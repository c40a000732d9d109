// Until the error module's console output is part of this build, loading
// messages go to the debug output. The error module's own ConsolePrint, once
// linked, replaces this one.
#include "system/errors.h"

[[gnu::weak]] void ConsolePrint(const char* text) { DebugPrint(text); }
