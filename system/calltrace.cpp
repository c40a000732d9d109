// The call recorder. See calltrace.h.
#include "system/calltrace.h"

#include <cstring>

namespace {
bool gTraceOn = false;
std::vector<const char*> gTrace;
} // namespace

void RecordCall(const char* name)
{
    if (gTraceOn)
        gTrace.push_back(name);
}

void EnableCallTrace(bool on)
{
    gTraceOn = on;
}

void ClearCallTrace()
{
    gTrace.clear();
}

std::vector<std::string> RecordedCalls()
{
    return {gTrace.begin(), gTrace.end()};
}

std::size_t CountRecordedCalls(const char* name)
{
    std::size_t count = 0;
    for (const char* recorded : gTrace)
        count += std::strcmp(recorded, name) == 0;
    return count;
}
