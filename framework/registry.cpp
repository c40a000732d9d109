// Named registries: entries are "REGISTRY" resources under the anchor,
// each holding list links and the registered record; newest first. Exact
// names are also found through a hash index of chained entries.
#include "framework/registry.h"

#include <cstring>

#include "framework/fw_state.h"

struct hx_registry_entry {
    hx_node node;
    void* record;
    hx_registry_entry* hashNext; // the next entry of the same bucket, in list order
    uint32_t hash;               // of the folded name as it was when added
};

namespace {

using Entry = hx_registry_entry;

// Below this many entries a walk of the list is as quick as the hash.
constexpr int kIndexFrom = 16;

constexpr char Fold(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// Hashes the folded characters up to the end, or for a pattern up to a
// '/' (a pattern's key). The one pass also tells whether there is a
// wildcard: false then.
bool FoldedHash(const char* s, bool stopAtSlash, uint32_t* hash, size_t* length)
{
    uint32_t h = 5381;
    size_t n = 0;
    for (char c; (c = s[n]) != 0 && !(stopAtSlash && c == '/'); ++n) {
        if (c == '*' || c == '?')
            return false;
        h = h * 33 + uint8_t(Fold(c));
    }
    *hash = h ^ (h >> 15);
    *length = n;
    return true;
}

bool SameFoldedName(const char* name, const char* key, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        if (name[i] == 0 || Fold(name[i]) != Fold(key[i]))
            return false;
    return name[length] == 0;
}

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

Entry** Bucket(hx_registry* registry, uint32_t hash)
{
    return &registry->buckets[hash & registry->bucketMask];
}

void IndexDrop(hx_registry* registry)
{
    if (registry->buckets)
        HxResFree(registry->buckets);
    registry->buckets = nullptr;
    registry->bucketMask = 0;
}

// Builds the index with room for about twice the entries, chains in list
// order: the list is walked from its tail and each entry put at the head of
// its chain. Without memory the registry goes on without an index.
void IndexBuild(hx_registry* registry)
{
    uint32_t buckets = 64;
    while (buckets < uint32_t(registry->count) * 2)
        buckets *= 2;
    auto* table = static_cast<Entry**>(HxResAllocate(fw.anchor, buckets * sizeof(Entry*), HX_RES_REGISTRY));
    IndexDrop(registry);
    if (!table)
        return;
    std::memset(table, 0, buckets * sizeof(Entry*));
    registry->buckets = table;
    registry->bucketMask = buckets - 1;
    for (hx_node* n = registry->list.tailPred; n->prev; n = n->prev) {
        auto* e = reinterpret_cast<Entry*>(n);
        Entry** chain = Bucket(registry, e->hash);
        e->hashNext = *chain;
        *chain = e;
    }
}

void IndexRemove(hx_registry* registry, Entry* e)
{
    if (!registry->buckets)
        return;
    for (Entry** link = Bucket(registry, e->hash); *link; link = &(*link)->hashNext)
        if (*link == e) {
            *link = e->hashNext;
            return;
        }
}

// The first entry in list order whose name is exactly the key.
Entry* IndexFind(hx_registry* registry, const char* key, size_t length, uint32_t hash)
{
    for (Entry* e = *Bucket(registry, hash); e; e = e->hashNext) {
        const char* name = HxRegistryItemName(e->record);
        if (e->hash == hash && name && SameFoldedName(name, key, length))
            return e;
    }
    return nullptr;
}

} // namespace

hx_registry* HxRegistryNew(hx_registry* registry)
{
    HxNewList(&registry->list);
    registry->count = 0;
    registry->buckets = nullptr;
    registry->bucketMask = 0;
    return registry;
}

void HxRegistryClear(hx_registry* registry)
{
    while (hx_node* node = HxRemHead(&registry->list))
        HxResFree(node);
    registry->count = 0;
    IndexDrop(registry);
}

void* HxRegistryAdd(hx_registry* registry, void* record)
{
    auto* e = static_cast<Entry*>(HxResAllocate(fw.anchor, sizeof(Entry), HX_RES_REGISTRY));
    if (!e)
        return nullptr;
    e->record = record;
    // A name with a wildcard in it is never an exact key: its hash is left 0.
    const char* name = HxRegistryItemName(record);
    size_t length;
    if (!name || !FoldedHash(name, false, &e->hash, &length))
        e->hash = 0;
    e->hashNext = nullptr;
    HxAddHead(&registry->list, &e->node);
    registry->count++;
    if (registry->buckets && uint32_t(registry->count) <= registry->bucketMask + 1) {
        Entry** chain = Bucket(registry, e->hash);
        e->hashNext = *chain;
        *chain = e;
    } else if (registry->count >= kIndexFrom) {
        IndexBuild(registry);
    }
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
            IndexRemove(registry, e);
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
    size_t length;
    uint32_t hash;
    if (registry->buckets && pattern && FoldedHash(pattern, true, &hash, &length)) {
        Entry* found = IndexFind(registry, pattern, length, hash);
#ifndef NDEBUG
        // Debug builds check the index against the list it stands for.
        Entry* walked = First(registry);
        while (IsEntry(walked) && !Matches(pattern, walked))
            walked = Next(walked);
        if (found != (IsEntry(walked) ? walked : nullptr))
            _HxAssert("registry index in step with its list", "registry", __LINE__);
#endif
        if (found)
            return found->record;
    } else {
        for (Entry* e = First(registry); IsEntry(e); e = Next(e))
            if (Matches(pattern, e))
                return e->record;
    }
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
