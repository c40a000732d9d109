// The default message handler (stand-in until it lands: records the call).
#include "world/messagehandler.h"

#include "system/calltrace.h"

void HandleItemMessages(SceneItem*) { RecordCall("HandleItemMessages"); }
