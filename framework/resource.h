// The framework's resource tree: every framework block carries a hidden
// header with its class, size and children, so freeing a block frees its
// subtree after each class's free callback; and the resource classes that
// give each class id its name, alignment and callback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_types.h"
#include "framework/registry.h"

// Class ids of the framework's own resources.
enum : uint8_t {
    HX_RES_SCRATCH = 1,
    HX_RES_STRING = 17,
    HX_RES_REGISTRY = 18,
    HX_RES_RESOURCE_CLASS = 20,
    HX_RES_FILE = 21,
    HX_RES_ANCHOR = 22,
    HX_RES_POOL = 23,
    HX_RES_DATAFILE = 25,
    HX_RES_IMAGE = 26,
    HX_RES_IMAGE_ARENA = 27,
    HX_RES_IMAGE_SECTIONS = 28,
    HX_RES_IMAGE_NAMES = 29,
    HX_RES_EXCEPTION_HANDLER = 30,
    HX_RES_TOKEN = 32,
    HX_RES_TOKEN_MAP = 33,
    HX_RES_OBJECT = 34,
    HX_RES_OBJECT_DATA = 35,
    HX_RES_DRIVER = 36,
    HX_RES_LEXER = 37,
    HX_RES_OBJECT_LIST = 38,
    HX_RES_OBJECT_LIST_ENTRY = 39,
    HX_RES_FMT_RESULTS = 41,
    HX_RES_TOKEN_VALUE = 44,
    HX_RES_TOKEN_TEMPLATE = 45,
    HX_RES_FREED = 127,       // a resource being freed or already freed
    HX_RES_APPLICATION = 128, // the first id left to applications
};

using hx_res_free_cbfn = void (*)(void* block, uint8_t classId, uint32_t size);

// A resource class. Registered in the class registry, which reads the name
// from the second pointer-sized field.
struct hx_resource_class {
    void* reserved = nullptr;
    const char* identifier = nullptr;
    uint8_t id = 0;
    hx_res_free_cbfn freeCallback = nullptr; // null: none
    int32_t alignment = 0;                   // 0 or negative: 4
};

// The hidden header: 48 bytes in front of the block (after any zero
// padding). The magic sits in the last four bytes so that stepping back from
// the block over zero bytes stops at its top byte 0xDE.
inline constexpr uint32_t kHxResHeaderSize = 48;
inline constexpr uint32_t kHxResMagic = 0xDEADBEEF;
// The size field holds (header + size rounded up to 4) / 4 in 24 bits.
inline constexpr uint32_t kHxResMaxStored = 0xFFFFFFu * 4u;

void* HxResAllocate(void* parent, uint32_t size, uint8_t classId);
void HxResFree(void* block);
void HxResFreeNoCallback(void* block);
void* HxResAdd(void* parent, void* block);
void* HxResRemove(void* block);
uint8_t HxResClass(void* block);
hx_bool HxResIsChild(void* parent, void* block);
uint32_t HxResSize(void* block);
uint32_t HxResSizeTotal(void* block);
using hx_resenum_cbfn = int (*)(void* child, void* arg);
int HxResChildEnum(void* block, hx_resenum_cbfn callback, void* arg);
hx_bool HxResCheck(void* block);
char* HxResStrDup(void* parent, const char* text);
using hx_putline_cbfn = void (*)(const char* line, void* arg);
void HxResDump(void* block, hx_putline_cbfn callback, void* arg);

const char* HxResClassName(uint8_t classId);
hx_resource_class* HxResClassAdd(hx_resource_class* record);
int HxResClassAddMany(hx_resource_class* records, int n);
hx_resource_class* HxResClassRemove(hx_resource_class* record);
int HxResClassRemoveMany(hx_resource_class* records, int n);
hx_resource_class* HxResClassFind(const char* pattern);
// The hook and the enumeration callback receive class records as void*.
hx_find_failed_cbfn HxResClassFindHook(hx_find_failed_cbfn hook);
int HxResClassFindMany(const char* pattern, hx_resource_class** out, int max);
int HxResClassCount(const char* pattern);
int HxResClassEnum(const char* pattern, hx_enum_cbfn callback, void* arg);

// Enters the framework's classes at begin (anchor first, then all 25).
hx_error HxResourceBegin();
