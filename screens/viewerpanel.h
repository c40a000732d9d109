// The 3D viewer panel's projection.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

Vector3* ProjectToPanel(Vector3* result, float scale, const Vector3* worldPoint, const Matrix4* cameraFrame);
