// Generic objects: the shared query and container method bodies, object
// lists, and the "OBJECT" class's free callback.
#include "framework/object.h"

#include <cstring>

#include "framework/fw_state.h"
#include "framework/tokenval.h"

namespace {

hx_tv_template* TemplateOf(hx_object* self)
{
    return self->dispatch->templateQuery ? self->dispatch->templateQuery(self) : nullptr;
}

// What tokensMatchBegin hands to tokensMatch: the caller's list, a copy
// that each candidate fills with its own values, and a query buffer for
// the wide values, grown on demand.
struct MatchContext {
    hx_token_value* list;
    hx_token_value* copy;
    int n; // pairs, the terminating one included
    void* buffer;
    size_t bufferSize;
};

hx_object_list_entry* EntryOf(hx_snode* node)
{
    return reinterpret_cast<hx_object_list_entry*>(node);
}

// Walks the container's objects in list order, calling `keep` on each that
// passes the type, the name pattern and the token-value list.
template <typename Keep>
hx_error Select(hx_object* self, hx_token type, const char* pattern, hx_token_value* tv, Keep keep)
{
    const hx_container_dispatch* cd = HxContainerDispatch(self);
    hx_slist* list = cd->listQuery(self);
    if (!list)
        return HXE_FAIL;
    void* context = nullptr;
    if (tv) {
        context = cd->tokensMatchBegin(self, type, tv);
        if (!context)
            return HXE_NO_MEMORY;
    }
    for (hx_snode* node = list->head; node; node = node->next) {
        hx_object* object = EntryOf(node)->object;
        if (type && object->dispatch->type(object) != type)
            continue;
        if (!HxNamePatternMatch(pattern, object->dispatch->identifier(object)))
            continue;
        if (tv && !cd->tokensMatch(self, object, context))
            continue;
        keep(object);
    }
    if (tv)
        cd->tokensMatchEnd(self, context);
    return HX_OK;
}

} // namespace

hx_error _M_hx_object_query(hx_object* self, hx_value* value, hx_token t)
{
    return HxTokenValueQuery(value, nullptr, 0, t, self, TemplateOf(self));
}

hx_error _M_hx_object_queryBuffer(hx_object* self, hx_value* value, void* buffer, size_t bufferSize, hx_token t)
{
    return HxTokenValueQuery(value, buffer, bufferSize, t, self, TemplateOf(self));
}

hx_error _M_hx_object_queryMany(hx_object* self, hx_token_value* tv, void* buffer, size_t bufferSize, int* count)
{
    return HxTokenValueQueryMany(tv, buffer, bufferSize, count, self, TemplateOf(self));
}

hx_error _M_hx_object_queryManySize(hx_object* self, size_t* size, hx_token_value* tv)
{
    return HxTokenValueQueryManySize(size, tv, self, TemplateOf(self));
}

hx_error _M_hx_object_queryAll(hx_object* self, hx_token_value* out, size_t bufferSize)
{
    return HxTokenValueQueryAll(out, bufferSize, self, TemplateOf(self));
}

hx_error _M_hx_object_queryAllSize(hx_object* self, size_t* size)
{
    return HxTokenValueQueryAllSize(size, self, TemplateOf(self));
}

hx_slist* HxObjectListAllocate(void* parent)
{
    auto* list = static_cast<hx_slist*>(HxResAllocate(parent, sizeof(hx_slist), HX_RES_OBJECT_LIST));
    if (list)
        HxSimpleNewList(list);
    return list;
}

hx_error _M_hx_object_container_addFront(hx_object* self, hx_object* item)
{
    hx_slist* list = HxContainerDispatch(self)->listQuery(self);
    if (!list)
        return HXE_FAIL;
    auto* entry = static_cast<hx_object_list_entry*>(
        HxResAllocate(list, sizeof(hx_object_list_entry), HX_RES_OBJECT_LIST_ENTRY));
    if (!entry)
        return HXE_NO_MEMORY;
    entry->object = item;
    HxSimpleAddHead(list, &entry->node);
    return HX_OK;
}

hx_error _M_hx_object_container_remove(hx_object* self, hx_object* item)
{
    hx_slist* list = HxContainerDispatch(self)->listQuery(self);
    if (!list)
        return HXE_FAIL;
    for (hx_snode* node = list->head; node; node = node->next) {
        if (EntryOf(node)->object == item) {
            HxSimpleRemove(node);
            HxResFree(node);
            return HX_OK;
        }
    }
    return HXE_FAIL;
}

hx_error _M_hx_object_container_removeFront(hx_object* self, hx_object** item)
{
    *item = nullptr;
    hx_slist* list = HxContainerDispatch(self)->listQuery(self);
    if (!list)
        return HXE_FAIL;
    hx_snode* node = HxSimpleRemHead(list);
    if (!node)
        return HXE_FAIL;
    *item = EntryOf(node)->object;
    HxResFree(node);
    return HX_OK;
}

// The last object kept in list order: the oldest match, since addFront puts
// each new object at the head.
hx_error _M_hx_object_container_find(hx_object* self, hx_object** out, hx_token type, const char* pattern,
                                     hx_token_value* tv)
{
    hx_object* found = nullptr;
    hx_error error = Select(self, type, pattern, tv, [&](hx_object* o) { found = o; });
    *out = found;
    if (error != HX_OK)
        return error;
    return found ? HX_OK : HXE_FAIL;
}

hx_error _M_hx_object_container_findMany(hx_object* self, hx_object** out, int max, int* count, hx_token type,
                                         const char* pattern, hx_token_value* tv)
{
    int n = 0;
    hx_error error = Select(self, type, pattern, tv, [&](hx_object* o) {
        if (n < max)
            out[n] = o;
        ++n;
    });
    *count = n;
    if (error != HX_OK)
        return error;
    return n > max ? HXE_NO_ROOM : HX_OK;
}

hx_error _M_hx_object_container_count(hx_object* self, int* count, hx_token type, const char* pattern,
                                      hx_token_value* tv)
{
    int n = 0;
    hx_error error = Select(self, type, pattern, tv, [&](hx_object*) { ++n; });
    *count = n;
    return error;
}

void* _M_hx_object_container_tokensMatchBegin(hx_object*, hx_token, hx_token_value* tv)
{
    int n = 1;
    while (tv[n - 1].t)
        ++n;
    auto* context = static_cast<MatchContext*>(HxResAllocate(fw.anchor, sizeof(MatchContext), HX_RES_APPLICATION));
    if (!context)
        return nullptr;
    context->copy = static_cast<hx_token_value*>(
        HxResAllocate(context, uint32_t(n * sizeof(hx_token_value)), HX_RES_APPLICATION));
    if (!context->copy) {
        HxResFree(context);
        return nullptr;
    }
    context->list = tv;
    context->n = n;
    return context;
}

hx_bool _M_hx_object_container_tokensMatch(hx_object*, hx_object* candidate, void* contextArg)
{
    auto* context = static_cast<MatchContext*>(contextArg);
    const hx_object_dispatch* d = candidate->dispatch;
    if (!d->queryManySize || !d->queryMany)
        return 0;
    // Each candidate starts from the caller's list, so no value that an
    // earlier candidate left behind can decide this one.
    std::memcpy(context->copy, context->list, context->n * sizeof(hx_token_value));
    size_t size = 0;
    if (d->queryManySize(candidate, &size, context->copy) != HX_OK)
        return 0;
    if (size > context->bufferSize) {
        if (context->buffer)
            HxResFree(context->buffer);
        context->bufferSize = 0;
        context->buffer = HxResAllocate(context, uint32_t(size), HX_RES_APPLICATION);
        if (!context->buffer)
            return 0;
        context->bufferSize = size;
    }
    int filled = 0;
    if (d->queryMany(candidate, context->copy, context->buffer, context->bufferSize, &filled) != HX_OK)
        return 0;
    return HxTokenValueCompare(context->copy, context->list);
}

void _M_hx_object_container_tokensMatchEnd(hx_object*, void* context)
{
    if (context)
        HxResFree(context);
}

hx_error HxObjectContainerFree(hx_object* container, hx_token type, const char* pattern, hx_token_value* tv)
{
    const hx_container_dispatch* cd = HxContainerDispatch(container);
    int n = 0;
    hx_error error = cd->count(container, &n, type, pattern, tv);
    if (error != HX_OK || n == 0)
        return error;
    auto** objects = static_cast<hx_object**>(HxMemCalloc(uint32_t(n), sizeof(hx_object*), HX_RES_APPLICATION));
    if (!objects)
        return HXE_NO_MEMORY;
    int found = 0;
    cd->findMany(container, objects, n, &found, type, pattern, tv);
    for (int i = 0; i < found && i < n; ++i) {
        cd->remove(container, objects[i]);
        objects[i]->dispatch->free(objects[i]);
    }
    HxMemFree(objects);
    return HX_OK;
}

void HxObjectResourceFree(void* block, uint8_t, uint32_t)
{
    auto* object = static_cast<hx_object*>(block);
    if (object && object->dispatch && object->dispatch->free)
        object->dispatch->free(object);
}
