// Ship physics (stand-in until the physics lands: records the call).
#include "world/physics.h"

#include "system/calltrace.h"

uint8_t CheckFloatSanity(uint32_t) {
    RecordCall("CheckFloatSanity");
    return 255;
}
