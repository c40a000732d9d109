// Floating origin and render sync (stand-in until they land: records the
// call).
#include "world/floatingorigin.h"

#include "system/calltrace.h"

void CopySimToAvatar(SceneItem*) { RecordCall("CopySimToAvatar"); }
void AnimateTDPTree(int32_t*, TDP*) { RecordCall("AnimateTDPTree"); }
