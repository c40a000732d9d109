// Colour ramps and translucency tables built from the palette.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/colourtables.h"

#include "system/calltrace.h"

void BuildColourRamp(const uint8_t* lookup, uint8_t* ramp, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2)
{
    RecordCall("BuildColourRamp");
}

void BuildTranslucencyTables(uint8_t* tables, const uint8_t* palette)
{
    RecordCall("BuildTranslucencyTables");
}
