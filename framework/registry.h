// Named registries: lists of records found by name pattern, newest first.
// Every registered record keeps a pointer to its name in its second
// pointer-sized field; HX_REGISTRY_RECORD checks a record type for it.
//
// A find by a pattern without wildcards goes through a hash index of the
// folded names, kept in step with the list, so it costs the same for ten
// entries or ten thousand. The index reads each name when its record is
// added: a registered record must not change its name (remove it, rename
// it, add it again).
#pragma once

#include <cstddef>

#include "framework/hx_types.h"
#include "framework/list.h"

#define HX_REGISTRY_RECORD(type, nameField) \
    static_assert(offsetof(type, nameField) == sizeof(void*), \
                  #type " must keep its name in its second pointer-sized field")

using hx_find_failed_cbfn = void* (*)(const char* pattern);
using hx_enum_cbfn = int (*)(void* record, void* arg);

struct hx_registry_entry;

struct hx_registry {
    hx_list list;
    int count;
    hx_find_failed_cbfn findFailedHook;
    // The name index: chains of entries by folded-name hash, each chain in
    // list order; a "REGISTRY" resource under the anchor, built once the
    // registry holds enough entries for a walk to cost more than a hash.
    hx_registry_entry** buckets;
    uint32_t bucketMask; // bucket count - 1; 0 while there is no index
};

hx_registry* HxRegistryNew(hx_registry* registry);
void HxRegistryClear(hx_registry* registry);
void* HxRegistryAdd(hx_registry* registry, void* record);
int HxRegistryAddMany(hx_registry* registry, void** records, int n);
void* HxRegistryRemove(hx_registry* registry, void* record);
int HxRegistryRemoveMany(hx_registry* registry, void** records, int n);
void* HxRegistryFind(hx_registry* registry, const char* pattern);
int HxRegistryFindMany(hx_registry* registry, const char* pattern, void** out, int max);
int HxRegistryCount(hx_registry* registry, const char* pattern);
int HxRegistryEnum(hx_registry* registry, const char* pattern, hx_enum_cbfn callback, void* arg);
hx_find_failed_cbfn HxRegistryFindHook(hx_registry* registry, hx_find_failed_cbfn hook);

// Registries of static records need no entries; these do nothing.
void* HxRegistryNewStatic(hx_registry* registry);
void* HxRegistryAddStatic(hx_registry* registry, void* record);
void* HxRegistryRemoveStatic(hx_registry* registry, void* record);

// The name a registered record carries.
inline const char* HxRegistryItemName(const void* record)
{
    return static_cast<const char* const*>(record)[1];
}
