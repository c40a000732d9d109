// The geometry stage: draws prepared models (transform, lighting, back-face
// culling, clipping in homogeneous space only where a face crosses a
// plane, projection) through the rasteriser, or, in a Z-sort render, drops
// their primitives into the order table's buckets; draws buckets; tests
// bounds boxes against the view.
#pragma once

#include "framework/drivers/softrend/sr_state.h"

namespace softrend {

// What the driver calls of the framework: its order-table operations
// (null ones leave Z-sort renders empty) and its name patterns. The
// built-in driver fills the table at link time, the shared object from
// its imports.
struct Host {
    hx_bool (*namePatternMatch)(const char* pattern, const char* name);
    uint16_t (*bucketSelect)(const hx_scalar* depths, hx_token primitive, hx_scalar minZ, hx_scalar maxZ,
                             uint16_t size, uint16_t sortType);
    void (*primitiveInsert)(hx_order_table* table, void* primitive, uint16_t bucket);
};
extern Host host;

// `stored` is the material state the model is drawn with (null: the
// renderer's current parts); `primitive` TRIANGLE, LINE or POINT.
void RenderModel(Renderer* r, const hx_prepared_model* model, hx_object* stored, hx_token primitive);
void RenderBuckets(Renderer* r, void** buckets, uint16_t size);
hx_token BoundsTest(Renderer* r, const hx_bounds3* box);
// The inverse of an affine matrix (row vectors); false when singular.
bool InvertMatrix34(hx_matrix34* out, const hx_matrix34& m);

// The device with its renderer facility (sr_renderer.cpp); null when
// memory runs out.
hx_object* DriverBegin();

} // namespace softrend
