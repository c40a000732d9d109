// Generic objects: records whose first field points at a table of methods in
// one fixed slot order, shared by every object class and by our drivers;
// containers continue the table with list, match and find methods. Also the
// shared method bodies that classes put into their tables, and object lists.
#pragma once

#include <cstddef>

#include "framework/hx_types.h"
#include "framework/list.h"

struct hx_tv_template;
struct hx_object_dispatch;

// Every object begins with its method table. An object that lives in an
// "OBJECT" resource is freed either by its free method or with its resource
// (whose class callback calls the free method); the free method therefore
// gives its block back with HxResFreeNoCallback, which does nothing when the
// block is already being freed.
struct hx_object {
    const hx_object_dispatch* dispatch;
};

using hx_class_method = void (*)();

// Slots 0-12: every object class. Methods 3-5 belong to the object's class
// (pixelmaps give them their own types); the others have these contracts.
struct hx_object_dispatch {
    void* reserved[4] = {};
    void (*free)(hx_object* self) = nullptr;                                   // 0
    const char* (*identifier)(hx_object* self) = nullptr;                      // 1
    hx_token (*type)(hx_object* self) = nullptr;                               // 2
    hx_class_method classMethods[3] = {};                                      // 3-5
    hx_tv_template* (*templateQuery)(hx_object* self) = nullptr;               // 6
    hx_error (*query)(hx_object* self, hx_value* value, hx_token t) = nullptr; // 7
    hx_error (*queryBuffer)(hx_object* self, hx_value* value, void* buffer, size_t bufferSize,
                            hx_token t) = nullptr; // 8
    hx_error (*queryMany)(hx_object* self, hx_token_value* tv, void* buffer, size_t bufferSize,
                          int* count) = nullptr;                                             // 9
    hx_error (*queryManySize)(hx_object* self, size_t* size, hx_token_value* tv) = nullptr;  // 10
    hx_error (*queryAll)(hx_object* self, hx_token_value* out, size_t bufferSize) = nullptr; // 11
    hx_error (*queryAllSize)(hx_object* self, size_t* size) = nullptr;                       // 12
};

// Slots 13-22: objects that hold other objects.
struct hx_container_dispatch {
    hx_object_dispatch object = {};
    hx_slist* (*listQuery)(hx_object* self) = nullptr;                                       // 13
    void* (*tokensMatchBegin)(hx_object* self, hx_token type, hx_token_value* tv) = nullptr; // 14
    hx_bool (*tokensMatch)(hx_object* self, hx_object* candidate, void* context) = nullptr;  // 15
    void (*tokensMatchEnd)(hx_object* self, void* context) = nullptr;                        // 16
    hx_error (*addFront)(hx_object* self, hx_object* item) = nullptr;                        // 17
    hx_error (*removeFront)(hx_object* self, hx_object** item) = nullptr;                    // 18
    hx_error (*remove)(hx_object* self, hx_object* item) = nullptr;                          // 19
    hx_error (*find)(hx_object* self, hx_object** out, hx_token type, const char* pattern,
                     hx_token_value* tv) = nullptr; // 20
    hx_error (*findMany)(hx_object* self, hx_object** out, int max, int* count, hx_token type,
                         const char* pattern, hx_token_value* tv) = nullptr; // 21
    hx_error (*count)(hx_object* self, int* count, hx_token type, const char* pattern,
                      hx_token_value* tv) = nullptr; // 22
};
static_assert(offsetof(hx_object_dispatch, free) == 4 * sizeof(void*));
static_assert(offsetof(hx_object_dispatch, queryAllSize) == 16 * sizeof(void*));
static_assert(offsetof(hx_container_dispatch, count) == 26 * sizeof(void*));

inline const hx_container_dispatch* HxContainerDispatch(hx_object* o)
{
    return reinterpret_cast<const hx_container_dispatch*>(o->dispatch);
}

// Shared query bodies: the token-value operations with the object as the
// record and its template query's result as the template.
hx_error _M_hx_object_query(hx_object* self, hx_value* value, hx_token t);
hx_error _M_hx_object_queryBuffer(hx_object* self, hx_value* value, void* buffer, size_t bufferSize,
                                  hx_token t);
hx_error _M_hx_object_queryMany(hx_object* self, hx_token_value* tv, void* buffer, size_t bufferSize,
                                int* count);
hx_error _M_hx_object_queryManySize(hx_object* self, size_t* size, hx_token_value* tv);
hx_error _M_hx_object_queryAll(hx_object* self, hx_token_value* out, size_t bufferSize);
hx_error _M_hx_object_queryAllSize(hx_object* self, size_t* size);

// An object list: an "OBJECT_LIST" resource holding a simple list whose
// entries ("OBJECT_LIST_ENTRY" resources under it) each hold one object.
struct hx_object_list_entry {
    hx_snode node;
    hx_object* object;
};
hx_slist* HxObjectListAllocate(void* parent);

// Shared container bodies, over the list that slot 13 returns.
hx_error _M_hx_object_container_addFront(hx_object* self, hx_object* item);
hx_error _M_hx_object_container_remove(hx_object* self, hx_object* item);
hx_error _M_hx_object_container_removeFront(hx_object* self, hx_object** item);
hx_error _M_hx_object_container_find(hx_object* self, hx_object** out, hx_token type,
                                     const char* pattern, hx_token_value* tv);
hx_error _M_hx_object_container_findMany(hx_object* self, hx_object** out, int max, int* count,
                                         hx_token type, const char* pattern, hx_token_value* tv);
hx_error _M_hx_object_container_count(hx_object* self, int* count, hx_token type,
                                      const char* pattern, hx_token_value* tv);
void* _M_hx_object_container_tokensMatchBegin(hx_object* self, hx_token type, hx_token_value* tv);
hx_bool _M_hx_object_container_tokensMatch(hx_object* self, hx_object* candidate, void* context);
void _M_hx_object_container_tokensMatchEnd(hx_object* self, void* context);

// Removes every matching object from the container and frees it.
hx_error HxObjectContainerFree(hx_object* container, hx_token type, const char* pattern,
                               hx_token_value* tv);

// The "OBJECT" class's free callback: the object's own free method.
void HxObjectResourceFree(void* block, uint8_t classId, uint32_t size);
