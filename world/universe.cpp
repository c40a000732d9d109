// The universe. See universe.h.
#include "world/universe.h"

#include "system/calltrace.h"

int16_t gCurrentSystemNumber = 0;

// Stand-in until the universe lands: records the call; no body is known.
SystemBody* FindBody(int32_t, const char*)
{
    RecordCall("FindBody");
    return nullptr;
}
