// The mission tally (stand-in until the tally lands: records the call and
// counts nothing).
#include "world/tally.h"

#include "system/calltrace.h"

void ClearTally() { RecordCall("ClearTally"); }

int32_t QueryTally(int16_t, uint8_t, int32_t)
{
    RecordCall("QueryTally");
    return 0;
}
