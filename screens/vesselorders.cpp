// The player's orders to a ship and the pending jump.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/vesselorders.h"

#include "system/calltrace.h"

int16_t gPendingJumpSystem = 0;
SystemBody* gPendingJumpBody = nullptr;

void ExecutePendingJump(WindowHandle* window)
{
    RecordCall("ExecutePendingJump");
}
