// The vector-map panel's shapes.
#pragma once

#include <cstdint>

struct VectorShape;

VectorShape* NewVectorShape(void* segmentSet, int32_t partIndex);
void AppendVectorShape(VectorShape* list, VectorShape* shape);
void CentreVectorShape(VectorShape* shape);
void FocusVectorMap(VectorShape* shape, float offsetX, float offsetY);
