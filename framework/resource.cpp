// The resource tree and the resource classes.
//
// Each block is preceded by a 48-byte header (after any zero padding that
// aligns the block for its class; a block of no bytes is followed by one
// spare byte, so that it still lies inside its allocation):
//   0 next sibling, 8 link back to the field that points at this header,
//   16 first child, 24 size (24 bits: stored bytes / 4) and class (8 bits),
//   28 offset of the header from the allocator's block, 32 self, 40 zero,
//   44 magic 0xDEADBEEF.
// The header is found from the block by stepping back over zero bytes to the
// magic's top byte.
#include "framework/resource.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <iterator>

#include "framework/diag.h"
#include "framework/file.h"
#include "framework/fw_state.h"
#include "framework/image.h"
#include "framework/mem.h"
#include "framework/object.h"
#include "framework/registry.h"

namespace {

struct ResHeader {
    ResHeader* next;
    ResHeader** prev;
    ResHeader* children;
    uint32_t sizeClass;
    uint32_t lead;
    ResHeader* self;
    uint32_t zero;
    uint32_t magic;
};
static_assert(sizeof(ResHeader) == kHxResHeaderSize);
static_assert(offsetof(ResHeader, magic) == kHxResHeaderSize - 4);
static_assert(kHxResHeaderSize % 16 == 0);

constexpr uint32_t kMagicFreed = 1;

uint32_t Stored(const ResHeader* h)
{
    return (h->sizeClass & 0xFFFFFF) * 4;
}

uint8_t ClassOf(const ResHeader* h)
{
    return static_cast<uint8_t>(h->sizeClass >> 24);
}

void SetClass(ResHeader* h, uint8_t id)
{
    h->sizeClass = (h->sizeClass & 0xFFFFFF) | (uint32_t(id) << 24);
}

ResHeader* HeaderOf(void* block)
{
    auto* p = static_cast<uint8_t*>(block);
    while (p[-1] == 0)
        --p;
    return reinterpret_cast<ResHeader*>(p - kHxResHeaderSize);
}

uint32_t ClassAlignment(const hx_resource_class* rc)
{
    return rc->alignment <= 0 ? 4u : uint32_t(rc->alignment);
}

hx_resource_class* ClassRecord(uint8_t id)
{
    HX_CHECK_AS(fw.resource_class_index[id] != nullptr, "fw.resource_class_index[r->class] != NULL", "resource", 94,
                nullptr);
    hx_resource_class* rc = fw.resource_class_index[id];
    uint32_t align = ClassAlignment(rc);
    HX_CHECK(align && (((align - 1) & align) == 0), "resource", 104, nullptr);
    return rc;
}

void* BlockOf(ResHeader* h, const hx_resource_class* rc)
{
    uintptr_t first = reinterpret_cast<uintptr_t>(h) + kHxResHeaderSize;
    uintptr_t align = rc ? ClassAlignment(rc) : 1;
    return reinterpret_cast<void*>((first + align - 1) & ~(align - 1));
}

void Unlink(ResHeader* h)
{
    if (!h->prev)
        return;
    *h->prev = h->next;
    if (h->next)
        h->next->prev = h->prev;
    h->next = nullptr;
    h->prev = nullptr;
}

void LinkUnder(ResHeader* parent, ResHeader* h)
{
    h->next = parent->children;
    if (h->next)
        h->next->prev = &h->next;
    h->prev = &parent->children;
    parent->children = h;
}

void FreeHeader(ResHeader* h, bool callback)
{
    uint8_t id = ClassOf(h);
    if (id == HX_RES_FREED)
        return;
    hx_resource_class* rc = ClassRecord(id);
    if (!rc)
        return;
    SetClass(h, HX_RES_FREED);
    if (callback && rc->freeCallback)
        rc->freeCallback(BlockOf(h, rc), id, Stored(h));
    while (ResHeader* child = h->children) {
        Unlink(child);
        FreeHeader(child, true);
    }
    Unlink(h);
    h->magic = kMagicFreed;
    h->self = nullptr;
    HxMemFree(reinterpret_cast<uint8_t*>(h) - h->lead);
}

void DumpHeader(ResHeader* h, int depth, hx_putline_cbfn callback, void* arg)
{
    char* line = HxScratchString();
    uint32_t size = HxScratchStringSize();
    size_t indent = std::min<size_t>(2 * size_t(depth), size - 1);
    std::memset(line, ' ', indent);
    hx_resource_class* rc = fw.resource_class_index[ClassOf(h)];
    if (!rc) {
        HxSprintfN(line + indent, size - indent, "0x%016" PRIxPTR " ??? (%02X)",
                   reinterpret_cast<uintptr_t>(h) + kHxResHeaderSize, ClassOf(h));
        callback(line, arg);
        return;
    }
    HxSprintfN(line + indent, size - indent, "0x%016" PRIxPTR " %-20s %u",
               reinterpret_cast<uintptr_t>(BlockOf(h, rc)), rc->identifier, Stored(h));
    callback(line, arg);
    for (ResHeader* child = h->children; child; child = child->next)
        DumpHeader(child, depth + 1, callback, arg);
}

uint32_t SizeTotal(ResHeader* h)
{
    uint32_t total = Stored(h) - kHxResHeaderSize;
    for (ResHeader* child = h->children; child; child = child->next)
        total += SizeTotal(child);
    return total;
}

// The framework's classes, registered at begin in this order.
hx_resource_class frameworkClasses[] = {
    {nullptr, "REGISTRY", HX_RES_REGISTRY, nullptr, 4},
    {nullptr, "ANCHOR", HX_RES_ANCHOR, nullptr, 4},
    {nullptr, "RESOURCE_CLASS", HX_RES_RESOURCE_CLASS, nullptr, 4},
    {nullptr, "SCRATCH,", HX_RES_SCRATCH, nullptr, 16},
    {nullptr, "STRING", HX_RES_STRING, nullptr, 1},
    {nullptr, "FILE", HX_RES_FILE, HxFileResourceFree, 4},
    {nullptr, "POOL", HX_RES_POOL, nullptr, 16},
    {nullptr, "EXCEPTION_HANDLER", HX_RES_EXCEPTION_HANDLER, nullptr, 4},
    {nullptr, "TOKEN", HX_RES_TOKEN, nullptr, 4},
    {nullptr, "TOKEN_MAP", HX_RES_TOKEN_MAP, nullptr, 8},
    {nullptr, "DATAFILE", HX_RES_DATAFILE, nullptr, 4},
    {nullptr, "LEXER", HX_RES_LEXER, nullptr, 4},
    {nullptr, "OBJECT_LIST", HX_RES_OBJECT_LIST, nullptr, 4},
    {nullptr, "OBJECT_LIST_ENTRY", HX_RES_OBJECT_LIST_ENTRY, nullptr, 4},
    {nullptr, "APPLICATION", HX_RES_APPLICATION, nullptr, 4},
    {nullptr, "IMAGE", HX_RES_IMAGE, HxImageResourceFree, 4},
    {nullptr, "IMAGE_ARENA", HX_RES_IMAGE_ARENA, nullptr, 4},
    {nullptr, "IMAGE_SECTIONS", HX_RES_IMAGE_SECTIONS, nullptr, 4},
    {nullptr, "IMAGE_NAMES", HX_RES_IMAGE_NAMES, nullptr, 4},
    {nullptr, "OBJECT", HX_RES_OBJECT, HxObjectResourceFree, 16},
    {nullptr, "OBJECT_DATA", HX_RES_OBJECT_DATA, nullptr, 16},
    {nullptr, "DRIVER", HX_RES_DRIVER, nullptr, 4},
    {nullptr, "FMT_RESULTS", HX_RES_FMT_RESULTS, nullptr, 4},
    {nullptr, "TOKEN_VALUE", HX_RES_TOKEN_VALUE, nullptr, 4},
    {nullptr, "TOKEN_TEMPLATE", HX_RES_TOKEN_TEMPLATE, nullptr, 4},
};
static_assert(std::size(frameworkClasses) == 25);

} // namespace

HX_REGISTRY_RECORD(hx_resource_class, identifier);

void* HxResAllocate(void* parent, uint32_t size, uint8_t classId)
{
    hx_resource_class* rc = ClassRecord(classId);
    if (!rc)
        return nullptr;
    uint32_t malign = HxMemAlign(classId);
    HX_CHECK(malign && (((malign - 1) & malign) == 0), "resource", 161, nullptr);
    uint32_t calign = ClassAlignment(rc);
    HX_CHECK(calign && (((calign - 1) & calign) == 0), "resource", 171, nullptr);
    if (size > kHxResMaxStored - kHxResHeaderSize - 3) {
        HxFailure("HxResAllocate: size %u is too large for a resource", size);
        return nullptr;
    }
    // The header holds pointers: it goes at the first pointer-aligned address
    // of the allocator's block (lead bytes in), the block after it at the
    // class alignment (pad bytes of zeros at most). Header + 48 is aligned to
    // the header's own alignment, up to 16.
    constexpr uint32_t kPtrAlign = alignof(ResHeader);
    uint32_t stored = (size + kHxResHeaderSize + 3) & ~3u;
    uint32_t lead = malign >= kPtrAlign ? 0 : kPtrAlign - malign;
    uint32_t have = std::min(std::max(malign, kPtrAlign), 16u);
    uint32_t pad = calign > have ? calign - have : 0;
    // A block of no bytes would start where the allocation ends; one spare
    // byte keeps it inside, so that a pointer to the block is one into its
    // allocation (a leak checker sees the allocation held only by those).
    uint32_t spare = size == 0 ? 1 : 0;
    auto* base = static_cast<uint8_t*>(HxMemAllocate(lead + stored + pad + spare, classId));
    if (!base)
        return nullptr;
    uint32_t actual_lead = uint32_t(-reinterpret_cast<uintptr_t>(base) & (kPtrAlign - 1));
    uintptr_t first = reinterpret_cast<uintptr_t>(base) + actual_lead + kHxResHeaderSize;
    uint32_t actual_pad = uint32_t(-first & (calign - 1));
    if (actual_lead > lead || actual_pad > pad) {
        _HxAssert("actual_pad <= pad", "resource", 183);
        HxFailure("Memory allocator broke alignment");
        HxMemFree(base);
        return nullptr;
    }
    auto* h = reinterpret_cast<ResHeader*>(base + actual_lead);
    h->sizeClass = (stored / 4) | (uint32_t(classId) << 24);
    h->lead = actual_lead;
    h->self = h;
    h->magic = kHxResMagic;
    if (parent)
        LinkUnder(HeaderOf(parent), h);
    return BlockOf(h, rc);
}

void HxResFree(void* block)
{
    FreeHeader(HeaderOf(block), true);
}

void HxResFreeNoCallback(void* block)
{
    FreeHeader(HeaderOf(block), false);
}

void* HxResAdd(void* parent, void* block)
{
    ResHeader* h = HeaderOf(block);
    Unlink(h);
    LinkUnder(HeaderOf(parent), h);
    return block;
}

void* HxResRemove(void* block)
{
    Unlink(HeaderOf(block));
    return block;
}

uint8_t HxResClass(void* block)
{
    return ClassOf(HeaderOf(block));
}

hx_bool HxResIsChild(void* parent, void* block)
{
    // The block is compared by address, never read: callers ask about any
    // pointer (an actor's type data may be a record of the game's own).
    for (ResHeader* child = HeaderOf(parent)->children; child; child = child->next)
        if (BlockOf(child, fw.resource_class_index[ClassOf(child)]) == block)
            return 1;
    return 0;
}

uint32_t HxResSize(void* block)
{
    return Stored(HeaderOf(block)) - kHxResHeaderSize;
}

uint32_t HxResSizeTotal(void* block)
{
    return SizeTotal(HeaderOf(block));
}

int HxResChildEnum(void* block, hx_resenum_cbfn callback, void* arg)
{
    ResHeader* child = HeaderOf(block)->children;
    while (child) {
        ResHeader* next = child->next; // the callback may free the child
        if (int r = callback(BlockOf(child, fw.resource_class_index[ClassOf(child)]), arg))
            return r;
        child = next;
    }
    return 0;
}

hx_bool HxResCheck(void* block)
{
    ResHeader* h = HeaderOf(block);
    return h->self == h && h->magic == kHxResMagic;
}

char* HxResStrDup(void* parent, const char* text)
{
    size_t length = std::strlen(text);
    if (length >= kHxResMaxStored) {
        HxFailure("HxResStrDup: string too long");
        return nullptr;
    }
    auto* copy = static_cast<char*>(HxResAllocate(parent, uint32_t(length + 1), HX_RES_STRING));
    if (copy)
        std::memcpy(copy, text, length);
    return copy;
}

void HxResDump(void* block, hx_putline_cbfn callback, void* arg)
{
    DumpHeader(HeaderOf(block), 0, callback, arg);
}

const char* HxResClassName(uint8_t classId)
{
    hx_resource_class* rc = fw.resource_class_index[classId];
    return rc ? rc->identifier : "<NULL>";
}

hx_resource_class* HxResClassAdd(hx_resource_class* record)
{
    if (!HxRegistryAdd(&fw.resourceClasses, record))
        return nullptr;
    fw.resource_class_index[record->id] = record;
    return record;
}

int HxResClassAddMany(hx_resource_class* records, int n)
{
    for (int i = 0; i < n; ++i)
        HxResClassAdd(&records[i]);
    return n;
}

hx_resource_class* HxResClassRemove(hx_resource_class* record)
{
    if (!HxRegistryRemove(&fw.resourceClasses, record))
        return nullptr;
    if (fw.resource_class_index[record->id] == record)
        fw.resource_class_index[record->id] = nullptr;
    return record;
}

int HxResClassRemoveMany(hx_resource_class* records, int n)
{
    int removed = 0;
    for (int i = 0; i < n; ++i)
        removed += HxResClassRemove(&records[i]) != nullptr;
    return removed;
}

hx_resource_class* HxResClassFind(const char* pattern)
{
    return static_cast<hx_resource_class*>(HxRegistryFind(&fw.resourceClasses, pattern));
}

hx_find_failed_cbfn HxResClassFindHook(hx_find_failed_cbfn hook)
{
    return HxRegistryFindHook(&fw.resourceClasses, hook);
}

int HxResClassFindMany(const char* pattern, hx_resource_class** out, int max)
{
    return HxRegistryFindMany(&fw.resourceClasses, pattern, reinterpret_cast<void**>(out), max);
}

int HxResClassCount(const char* pattern)
{
    return HxRegistryCount(&fw.resourceClasses, pattern);
}

int HxResClassEnum(const char* pattern, hx_enum_cbfn callback, void* arg)
{
    return HxRegistryEnum(&fw.resourceClasses, pattern, callback, arg);
}

hx_error HxResourceBegin()
{
    HxRegistryNew(&fw.resourceClasses);
    fw.resource_class_index[HX_RES_REGISTRY] = &frameworkClasses[0];
    fw.resource_class_index[HX_RES_ANCHOR] = &frameworkClasses[1];
    fw.anchor = HxResAllocate(nullptr, 0, HX_RES_ANCHOR);
    if (!fw.anchor)
        return HXE_NO_MEMORY;
    for (hx_resource_class& rc : frameworkClasses)
        if (!HxResClassAdd(&rc))
            return HXE_NO_MEMORY;
    return HX_OK;
}
