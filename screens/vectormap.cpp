// The vector-map panel's shapes.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/vectormap.h"

#include "system/calltrace.h"

VectorShape* NewVectorShape(void* segmentSet, int32_t partIndex)
{
    RecordCall("NewVectorShape");
    return {};
}

void AppendVectorShape(VectorShape* list, VectorShape* shape)
{
    RecordCall("AppendVectorShape");
}

void CentreVectorShape(VectorShape* shape)
{
    RecordCall("CentreVectorShape");
}

void FocusVectorMap(VectorShape* shape, float offsetX, float offsetY)
{
    RecordCall("FocusVectorMap");
}
