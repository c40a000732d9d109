// Host services: the framework's layer over the operating system, published
// to drivers as the image "HXHOST1". Host information, library loading and
// the configuration reads go through the platform layer. The services that
// a DOS-extender host offered (selectors, real-mode memory and interrupts,
// far pointers, locks) have nothing to reach here: they are exported so
// that the image carries the whole set, and report failure (4098).
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_types.h"

// The host information record (56 bytes, as drivers see it).
struct hx_host_info {
    uint32_t size; // 56
    char identifier[40];
    uint32_t capabilities;    // HX_HOST_CAP_*
    hx_token processorFamily; // INTEL
    hx_token processorType;   // INTEL_386 ... INTEL_PENTIUM_PRO
};
static_assert(sizeof(hx_host_info) == 56);

enum : uint32_t {
    HX_HOST_CAP_MMX = 0x400,
    HX_HOST_CAP_FPU = 0x800,
};

// The identifier this host reports.
inline constexpr const char* kHxHostIdentifier = "POSIX";

hx_error HxHostBegin();
hx_error HxHostEnd();

hx_error HostInfo(hx_host_info* info, size_t size);
// The processor type token and capability flags of a processor whose
// identification reports this highest function, signature and features.
void HostProcessorClassify(uint32_t highestFunction, uint32_t signature, uint32_t features, hx_token* type,
                           uint32_t* flags);

void* HostImageLoad(const char* name);
void HostImageUnload(void* handle); // libraries stay loaded
void* HostImageLookupName(void* handle, const char* name, int hint);
void* HostImageLookupOrdinal(void* handle, int ordinal); // always null
const char* HostDefaultDevice();

hx_bool HostIniSectionExists(const char* file, const char* section);
// "" when the key is missing; the value is cut to size-1 characters and
// always terminated.
hx_error HostIniQuery(const char* file, const char* section, const char* key, char* buffer, size_t size,
                      size_t* length);
// root null: HKEY_LOCAL_MACHINE. 4098 for a missing key or value, and for a
// value that is not a string (reported as a warning).
hx_error HostRegistryQuery(const char* root, const char* key, const char* name, char* buffer, size_t size,
                           size_t* length);

// ---- the DOS-extender services ------------------------------------------------
struct hx_host_registers {
    uint32_t eax, ebx, ecx, edx, esi, edi, ebp;
    uint16_t ds, es, fs, gs;
    uint32_t flags;
};

struct hx_host_hook {
    hx_bool inUse;
    uint8_t number;
    void* oldVector;
    void* newVector;
};

hx_error HostLock(void* base, uint32_t size);
hx_error HostUnlock(void* base, uint32_t size);
hx_error HostSelectorAllocate(uint16_t* selector);
hx_error HostSelectorAllocateLinear(uint16_t* selector, uint32_t base, uint32_t limit);
hx_error HostSelectorAllocateAlias(uint16_t* selector, uint16_t of);
hx_error HostSelectorAllocatePhysical(uint16_t* selector, uint32_t physical, uint32_t limit);
hx_error HostSelectorBaseSet(uint16_t selector, uint32_t base);
hx_error HostSelectorLimitSet(uint16_t selector, uint32_t limit);
hx_error HostSelectorBaseQuery(uint32_t* base, uint16_t selector);
hx_error HostSelectorLimitQuery(uint32_t* limit, uint16_t selector);
hx_error HostSelectorFree(uint16_t selector);
hx_error HostSelectorDS(uint16_t* selector);
hx_error HostSelectorCS(uint16_t* selector);
hx_error HostSelectorSS(uint16_t* selector);
hx_error HostSelectorES(uint16_t* selector);
hx_error HostSelectorReal(uint16_t* selector);
hx_error HostRealAllocate(uint16_t* segment, uint16_t* selector, uint32_t size);
hx_error HostRealFree(uint16_t selector);
hx_error HostRealInterruptGet(uint32_t* vector, uint8_t number);
hx_error HostRealInterruptSet(uint8_t number, uint32_t vector);
hx_error HostRealInterruptCall(uint8_t number, hx_host_registers* registers);
hx_error HostInterruptCall(uint8_t number, hx_host_registers* registers);
hx_error HostRegistersGet(hx_host_registers* registers);
hx_error HostInterruptHook(hx_host_hook* hook, uint8_t number, void* handler);
hx_error HostInterruptUnhook(hx_host_hook* hook);
hx_error HostExceptionHook(hx_host_hook* hook, uint8_t number, void* handler);
hx_error HostExceptionUnhook(hx_host_hook* hook);

// Real-mode memory (segment x 16 + offset) and far pointers (selector and
// offset).
hx_error HostRealBlockWrite(uint16_t segment, uint16_t offset, const void* from, uint32_t n);
hx_error HostRealBlockFill(uint16_t segment, uint16_t offset, uint8_t value, uint32_t n);
hx_error HostRealBlockRead(void* to, uint16_t segment, uint16_t offset, uint32_t n);
hx_error HostRealStringWrite(uint16_t segment, uint16_t offset, const char* text);
hx_error HostRealStringRead(char* to, uint16_t segment, uint16_t offset, uint32_t max);
hx_error HostRealByteWrite(uint16_t segment, uint16_t offset, uint8_t value);
hx_error HostRealByteRead(uint8_t* value, uint16_t segment, uint16_t offset);
hx_error HostRealWordWrite(uint16_t segment, uint16_t offset, uint16_t value);
hx_error HostRealWordRead(uint16_t* value, uint16_t segment, uint16_t offset);
hx_error HostRealDWordWrite(uint16_t segment, uint16_t offset, uint32_t value);
hx_error HostRealDWordRead(uint32_t* value, uint16_t segment, uint16_t offset);
hx_error HostFarBlockWrite(uint16_t selector, uint32_t offset, const void* from, uint32_t n);
hx_error HostFarBlockFill(uint16_t selector, uint32_t offset, uint8_t value, uint32_t n);
hx_error HostFarBlockRead(void* to, uint16_t selector, uint32_t offset, uint32_t n);
hx_error HostFarStringWrite(uint16_t selector, uint32_t offset, const char* text);
hx_error HostFarStringRead(char* to, uint16_t selector, uint32_t offset, uint32_t max);
hx_error HostFarByteWrite(uint16_t selector, uint32_t offset, uint8_t value);
hx_error HostFarByteRead(uint8_t* value, uint16_t selector, uint32_t offset);
hx_error HostFarWordWrite(uint16_t selector, uint32_t offset, uint16_t value);
hx_error HostFarWordRead(uint16_t* value, uint16_t selector, uint32_t offset);
hx_error HostFarDWordWrite(uint16_t selector, uint32_t offset, uint32_t value);
hx_error HostFarDWordRead(uint32_t* value, uint16_t selector, uint32_t offset);
