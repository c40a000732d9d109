// Named registries: entries are "REGISTRY" resources under the anchor,
// each holding list links and the registered record; newest first.
#include "framework/registry.h"

#include "framework/fw_state.h"

namespace {

struct Entry {
    hx_node node;
    void* record;
};

Entry* First(hx_registry* registry)
{
    return reinterpret_cast<Entry*>(registry->list.head);
}

Entry* Next(Entry* e)
{
    return reinterpret_cast<Entry*>(e->node.next);
}

bool IsEntry(Entry* e)
{
    return e->node.next != nullptr;
}

bool Matches(const char* pattern, Entry* e)
{
    return HxNamePatternMatch(pattern, HxRegistryItemName(e->record));
}

} // namespace

hx_registry* HxRegistryNew(hx_registry* registry)
{
    HxNewList(&registry->list);
    registry->count = 0;
    return registry;
}

void HxRegistryClear(hx_registry* registry)
{
    while (hx_node* node = HxRemHead(&registry->list))
        HxResFree(node);
    registry->count = 0;
}

void* HxRegistryAdd(hx_registry* registry, void* record)
{
    auto* e = static_cast<Entry*>(HxResAllocate(fw.anchor, sizeof(Entry), HX_RES_REGISTRY));
    if (!e)
        return nullptr;
    e->record = record;
    HxAddHead(&registry->list, &e->node);
    registry->count++;
    return record;
}

int HxRegistryAddMany(hx_registry* registry, void** records, int n)
{
    for (int i = 0; i < n; ++i)
        HxRegistryAdd(registry, records[i]);
    return n;
}

void* HxRegistryRemove(hx_registry* registry, void* record)
{
    for (Entry* e = First(registry); IsEntry(e); e = Next(e)) {
        if (e->record == record) {
            HxRemove(&e->node);
            HxResFree(e);
            registry->count--;
            return record;
        }
    }
    return nullptr;
}

int HxRegistryRemoveMany(hx_registry* registry, void** records, int n)
{
    int removed = 0;
    for (int i = 0; i < n; ++i)
        removed += HxRegistryRemove(registry, records[i]) != nullptr;
    return removed;
}

void* HxRegistryFind(hx_registry* registry, const char* pattern)
{
    for (Entry* e = First(registry); IsEntry(e); e = Next(e))
        if (Matches(pattern, e))
            return e->record;
    return registry->findFailedHook ? registry->findFailedHook(pattern) : nullptr;
}

int HxRegistryFindMany(hx_registry* registry, const char* pattern, void** out, int max)
{
    int n = 0;
    for (Entry* e = First(registry); IsEntry(e) && n < max; e = Next(e))
        if (Matches(pattern, e))
            out[n++] = e->record;
    return n;
}

int HxRegistryCount(hx_registry* registry, const char* pattern)
{
    if (!pattern)
        return registry->count;
    int n = 0;
    for (Entry* e = First(registry); IsEntry(e); e = Next(e))
        n += Matches(pattern, e);
    return n;
}

int HxRegistryEnum(hx_registry* registry, const char* pattern, hx_enum_cbfn callback, void* arg)
{
    Entry* e = First(registry);
    while (IsEntry(e)) {
        Entry* next = Next(e); // the callback may remove the record
        if (Matches(pattern, e))
            if (int r = callback(e->record, arg))
                return r;
        e = next;
    }
    return 0;
}

hx_find_failed_cbfn HxRegistryFindHook(hx_registry* registry, hx_find_failed_cbfn hook)
{
    hx_find_failed_cbfn previous = registry->findFailedHook;
    registry->findFailedHook = hook;
    return previous;
}

void* HxRegistryNewStatic(hx_registry*)
{
    return nullptr;
}

void* HxRegistryAddStatic(hx_registry*, void*)
{
    return nullptr;
}

void* HxRegistryRemoveStatic(hx_registry*, void*)
{
    return nullptr;
}
