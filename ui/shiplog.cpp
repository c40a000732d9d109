// The ship's log.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ui/shiplog.h"

#include "system/calltrace.h"

void ResetShipLog()
{
    RecordCall("ResetShipLog");
}

void AddShipLogEntry(int16_t kind, const char* subject, const char* text)
{
    RecordCall("AddShipLogEntry");
}

void AddShipLogText(int32_t time, const char* text)
{
    RecordCall("AddShipLogText");
}

void DumpShipLog()
{
    RecordCall("DumpShipLog");
}
