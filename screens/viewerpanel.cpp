// The 3D viewer panel's projection.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/viewerpanel.h"

#include "system/calltrace.h"

Vector3* ProjectToPanel(Vector3* result, float scale, const Vector3* worldPoint, const Matrix4* cameraFrame)
{
    RecordCall("ProjectToPanel");
    return {};
}
