// Order tables: the depth buckets of the Z-sort render. Allocation, the
// per-visit depth set-up, bucket selection, the render's list of tables in
// decreasing sort depth, and drawing them (interleaved with the primary
// table when there is one) through the renderer's V1 buckets format.
#include <algorithm>
#include <cstring>

#include "framework/diag.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token_ids.h"

namespace {

void DrawBuckets(void** buckets, uint16_t size)
{
    if (!v1db.geometry_v1_buckets)
        return;
    auto* d = reinterpret_cast<const hx_geometry_v1_buckets_dispatch*>(v1db.geometry_v1_buckets->dispatch);
    d->render(v1db.geometry_v1_buckets, v1db.renderer, buckets, size);
}

void DrawTable(hx_order_table* t)
{
    DrawBuckets(t->buckets, t->size);
    t->visits = 0;
}

} // namespace

hx_error HxOrderTablesBegin()
{
    v1db.builtin_order_table = HxOrderTableAllocate(256, 0, HX_OTS_AVERAGE);
    if (!v1db.builtin_order_table)
        return HXE_NO_MEMORY;
    v1db.builtin_order_table->min_z = 1.0f;
    v1db.builtin_order_table->max_z = 10.0f;
    HxOrderTableScaleUpdate(v1db.builtin_order_table);
    return HX_OK;
}

hx_order_table* HxOrderTableAllocate(uint16_t size, uint32_t flags, uint16_t type)
{
    auto* t = static_cast<hx_order_table*>(HxResAllocate(v1db.res, sizeof(hx_order_table), HX_RES_ORDER_TABLE));
    if (!t)
        return nullptr;
    std::memset(static_cast<void*>(t), 0, sizeof *t);
    t->size = size;
    t->flags = flags;
    t->type = type;
    if (size) {
        t->buckets = static_cast<void**>(HxResAllocate(t, uint32_t(size) * uint32_t(sizeof(void*)), HX_RES_ORDER_TABLE));
        if (!t->buckets) {
            HxResFree(t);
            return nullptr;
        }
        HxOrderTableClear(t);
    }
    return t;
}

void HxOrderTableFree(hx_order_table* table)
{
    if (table)
        HxResFree(table);
}

hx_order_table* HxOrderTableClear(hx_order_table* table)
{
    for (uint16_t i = 0; i < table->size; ++i)
        table->buckets[i] = nullptr;
    return table;
}

void HxActorOrderTableSet(hx_actor* actor, hx_order_table* table)
{
    actor->render_data = table;
}

hx_order_table* HxActorOrderTableGet(hx_actor* actor)
{
    return actor->render_data;
}

hx_order_table* HxPrimaryOrderTableSet(hx_order_table* table)
{
    v1db.primary_order_table = table ? table : v1db.default_order_table;
    return v1db.primary_order_table;
}

void HxPrimaryOrderTableClear()
{
    v1db.primary_order_table = nullptr;
}

void HxOrderTablePrimitiveInsert(hx_order_table* table, void* primitive, uint16_t bucket)
{
    HX_CHECK(bucket < table->size, "otable", 100, );
    *static_cast<void**>(primitive) = table->buckets[bucket];
    table->buckets[bucket] = primitive;
}

uint16_t HxOrderTableBucketSelect(const hx_scalar* z, hx_token primitive, hx_scalar minZ, hx_scalar maxZ,
                                  uint16_t size, uint16_t sortType)
{
    float e = z[0];
    if (primitive == HXT_LINE) {
        e = sortType == HX_OTS_MIN ? std::min(z[0], z[1]) : sortType == HX_OTS_MAX ? std::max(z[0], z[1])
                                                                                   : (z[0] + z[1]) * 0.5f;
    } else if (primitive == HXT_TRIANGLE) {
        e = sortType == HX_OTS_MIN   ? std::min({z[0], z[1], z[2]})
            : sortType == HX_OTS_MAX ? std::max({z[0], z[1], z[2]})
                                     : (z[0] + z[1] + z[2]) * 0.33333334f;
    }
    const float range = maxZ - minZ;
    const float scale = range > 0.001f ? float(size) / range : 1000.0f;
    const float at = scale * std::max(e - minZ, 0.0f);
    if (size == 0)
        return 0;
    if (!(at < float(size)))
        return uint16_t(size - 1);
    return uint16_t(at);
}

void HxOrderTableScaleUpdate(hx_order_table* t)
{
    const float range = t->max_z - t->min_z;
    t->scale = range > 0.001f ? float(t->size) / range : 1000.0f;
    if (t->flags & HX_OTF_SORT_NEAR)
        t->sort_z = t->min_z;
    else if (t->flags & HX_OTF_SORT_FAR)
        t->sort_z = t->max_z;
    else if (t->flags & HX_OTF_SORT_MIDDLE)
        t->sort_z = (t->min_z + t->max_z) / 2;
}

void HxOrderTableDepthSetup(const hx_bounds3* bounds, hx_order_table* t)
{
    // The first visit of the render sets the range for a table that takes it
    // from one model's bounds.
    if ((t->flags & HX_OTF_DEPTH_EVERY) || ((t->flags & HX_OTF_DEPTH_SECOND) && t->visits == 0)) {
        hx_matrix4 m;
        HxModelToScreenQuery(&m);
        const float* lo = &bounds->min.x;
        const float* hi = &bounds->max.x;
        float wmin = m.m[3][3], wmax = m.m[3][3];
        for (int i = 0; i < 3; ++i) {
            float a = m.m[i][3] * lo[i], b = m.m[i][3] * hi[i];
            wmin += std::min(a, b);
            wmax += std::max(a, b);
        }
        t->min_z = wmin;
        t->max_z = wmax;
    }
    HxOrderTableScaleUpdate(t);
}

void HxOrderTableListInsert(hx_order_table* t)
{
    if (t == v1db.primary_order_table)
        return;
    t->next = nullptr;
    hx_order_table* head = v1db.order_list;
    if (!head || t->sort_z > head->sort_z) {
        t->next = head;
        v1db.order_list = t;
        return;
    }
    hx_order_table* after = head;
    while (after->next && after->next->sort_z >= t->sort_z)
        after = after->next;
    t->next = after->next;
    after->next = t;
}

void HxOrderTablesRender()
{
    hx_order_table* primary = v1db.primary_order_table;
    hx_order_table* list = v1db.order_list;
    if (!primary || primary->visits == 0) {
        for (hx_order_table* t = list; t; t = t->next)
            DrawTable(t);
        if (primary)
            primary->visits = 0;
        v1db.order_list = nullptr;
        return;
    }
    HX_CHECK_AS(primary->size > 0, "v1db.primary_order_table->size>0", "otable", 300, );
    while (list && list->sort_z >= primary->max_z) {
        DrawTable(list);
        list = list->next;
    }
    float z = primary->max_z;
    const float step = (primary->max_z - primary->min_z) / float(primary->size);
    for (int b = primary->size - 1; b >= 0; --b) {
        if (primary->buckets[b])
            DrawBuckets(&primary->buckets[b], 1);
        z -= step;
        while (list && list->sort_z >= z) {
            DrawTable(list);
            list = list->next;
        }
    }
    for (; list; list = list->next)
        DrawTable(list);
    primary->visits = 0;
    v1db.order_list = nullptr;
}
