// Host services over the platform layer, and the image "HXHOST1".
#include "framework/host.h"

#include <cstring>
#include <string>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "framework/diag.h"
#include "framework/image.h"
#include "framework/token_ids.h"
#include "platform/host.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace {

// The real-mode data selector: recorded at host begin; this host has none
// to offer, so it is 0.
bool realSelectorRecorded;
uint16_t realSelector;

hx_host_info HostRecord()
{
    hx_host_info info{};
    info.size = sizeof(hx_host_info);
    std::strncpy(info.identifier, kHxHostIdentifier, sizeof info.identifier - 1);
    info.processorFamily = HXT_INTEL;
    info.processorType = HXT_INTEL_386;
    return info;
}

void CopyTerminated(char* buffer, size_t size, const std::string& value, size_t* length)
{
    size_t n = 0;
    if (size > 0) {
        n = value.size() < size - 1 ? value.size() : size - 1;
        std::memcpy(buffer, value.data(), n);
        buffer[n] = 0;
    }
    if (length)
        *length = n;
}

void ProbeProcessor(hx_token* type, uint32_t* flags)
{
    *type = HXT_INTEL_386;
    *flags = 0;
#if defined(__x86_64__) || defined(__i386__)
    // Every processor that runs this build can change the alignment-check
    // and identification flags, so the probe starts at the identification.
    unsigned highest = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &highest, &ebx, &ecx, &edx)) {
        *type = HXT_INTEL_486;
        return;
    }
    unsigned signature = 0;
    if (highest >= 1)
        __get_cpuid(1, &signature, &ebx, &ecx, &edx);
    HostProcessorClassify(highest, signature, edx, type, flags);
#endif
}

// Reads a segment register; 0 where the processor has none.
#if defined(__x86_64__) || defined(__i386__)
#define HX_READ_SEGMENT(reg) \
    uint16_t value; \
    __asm__ volatile("mov %%" #reg ", %0" \
                     : "=r"(value)); \
    *selector = value; \
    return HX_OK
#else
#define HX_READ_SEGMENT(reg) \
    *selector = 0; \
    return HX_OK
#endif

} // namespace

void HostProcessorClassify(uint32_t highestFunction, uint32_t signature, uint32_t features, hx_token* type,
                           uint32_t* flags)
{
    *type = HXT_INTEL_486;
    *flags = 0;
    if (highestFunction < 1)
        return;
    // Families 0-3 are 386-class; families newer than 6 are at least a
    // Pentium Pro.
    static constexpr hx_token kByFamily[7] = {HXT_INTEL_386, HXT_INTEL_386, HXT_INTEL_386, HXT_INTEL_386,
                                              HXT_INTEL_486, HXT_INTEL_PENTIUM, HXT_INTEL_PENTIUM_PRO};
    uint32_t family = (signature >> 8) & 15;
    *type = family < 7 ? kByFamily[family] : HXT_INTEL_PENTIUM_PRO;
    if (features & 1)
        *flags |= HX_HOST_CAP_FPU;
    if (features & (1u << 23))
        *flags |= HX_HOST_CAP_MMX;
}

hx_error HostInfo(hx_host_info* info, size_t size)
{
    hx_host_info record = HostRecord();
    if (size < sizeof record) {
        std::memcpy(info, &record, size);
        return HXE_NO_ROOM;
    }
    hx_token type;
    uint32_t flags;
    ProbeProcessor(&type, &flags);
    record.processorType = type;
    record.capabilities |= flags;
    *info = record;
    return HX_OK;
}

void* HostImageLoad(const char* name)
{
    return platform::LoadModule(name);
}

void HostImageUnload(void*) {}

void* HostImageLookupName(void* handle, const char* name, int)
{
    return platform::ModuleSymbol(handle, name);
}

void* HostImageLookupOrdinal(void*, int)
{
    return nullptr;
}

const char* HostDefaultDevice()
{
    return "DDRAW";
}

hx_bool HostIniSectionExists(const char* file, const char* section)
{
    return platform::ProfileSectionExists(file, section);
}

hx_error HostIniQuery(const char* file, const char* section, const char* key, char* buffer, size_t size,
                      size_t* length)
{
    std::string value;
    platform::ProfileQuery(file, section, key, value);
    CopyTerminated(buffer, size, value, length);
    return HX_OK;
}

hx_error HostRegistryQuery(const char* root, const char* key, const char* name, char* buffer, size_t size,
                           size_t* length)
{
    if (size > 0)
        buffer[0] = 0;
    if (length)
        *length = 0;
    std::string value;
    switch (platform::RegistryQueryString(root, key, name, value)) {
    case platform::RegistryResult::Ok:
        CopyTerminated(buffer, size, value, length);
        return HX_OK;
    case platform::RegistryResult::NotString:
        // Reported, then treated as missing: the configuration goes on to
        // its next source.
        HxWarning("Registry entry type is not a string");
        return HXE_FAIL;
    case platform::RegistryResult::Missing:
        break;
    }
    return HXE_FAIL;
}

hx_error HostLock(void*, uint32_t) { return HXE_FAIL; }
hx_error HostUnlock(void*, uint32_t) { return HXE_FAIL; }
hx_error HostSelectorAllocate(uint16_t*) { return HXE_FAIL; }
hx_error HostSelectorAllocateLinear(uint16_t*, uint32_t, uint32_t) { return HXE_FAIL; }
hx_error HostSelectorAllocateAlias(uint16_t*, uint16_t) { return HXE_FAIL; }
hx_error HostSelectorAllocatePhysical(uint16_t*, uint32_t, uint32_t) { return HXE_FAIL; }
hx_error HostSelectorBaseSet(uint16_t, uint32_t) { return HXE_FAIL; }
hx_error HostSelectorLimitSet(uint16_t, uint32_t) { return HXE_FAIL; }
hx_error HostSelectorBaseQuery(uint32_t*, uint16_t) { return HXE_FAIL; }
hx_error HostSelectorLimitQuery(uint32_t*, uint16_t) { return HXE_FAIL; }

hx_error HostSelectorFree(uint16_t selector)
{
    return selector == realSelector ? HX_OK : HXE_FAIL;
}

hx_error HostSelectorDS(uint16_t* selector) { HX_READ_SEGMENT(ds); }
hx_error HostSelectorCS(uint16_t* selector) { HX_READ_SEGMENT(cs); }
hx_error HostSelectorSS(uint16_t* selector) { HX_READ_SEGMENT(ss); }
hx_error HostSelectorES(uint16_t* selector) { HX_READ_SEGMENT(es); }

hx_error HostSelectorReal(uint16_t* selector)
{
    *selector = realSelector;
    return HX_OK;
}

hx_error HostRealAllocate(uint16_t*, uint16_t*, uint32_t) { return HX_OK; }
hx_error HostRealFree(uint16_t) { return HX_OK; }

// No DOS extender answers here: every call into one fails.
hx_error HostRealInterruptGet(uint32_t*, uint8_t) { return HXE_FAIL; }
hx_error HostRealInterruptSet(uint8_t, uint32_t) { return HXE_FAIL; }
hx_error HostRealInterruptCall(uint8_t, hx_host_registers*) { return HXE_FAIL; }
hx_error HostInterruptCall(uint8_t, hx_host_registers*) { return HXE_FAIL; }
hx_error HostRegistersGet(hx_host_registers*) { return HXE_FAIL; }

hx_error HostInterruptHook(hx_host_hook* hook, uint8_t, void*)
{
    return hook->inUse ? HXE_ACTIVE : HXE_FAIL;
}
hx_error HostInterruptUnhook(hx_host_hook* hook)
{
    return hook->inUse ? HXE_FAIL : HXE_NOT_ACTIVE;
}
hx_error HostExceptionHook(hx_host_hook* hook, uint8_t, void*)
{
    return hook->inUse ? HXE_ACTIVE : HXE_FAIL;
}
hx_error HostExceptionUnhook(hx_host_hook* hook)
{
    return hook->inUse ? HXE_FAIL : HXE_NOT_ACTIVE;
}

// There is no real-mode memory and there are no far pointers to reach.
hx_error HostRealBlockWrite(uint16_t, uint16_t, const void*, uint32_t) { return HXE_FAIL; }
hx_error HostRealBlockFill(uint16_t, uint16_t, uint8_t, uint32_t) { return HXE_FAIL; }
hx_error HostRealBlockRead(void*, uint16_t, uint16_t, uint32_t) { return HXE_FAIL; }
hx_error HostRealStringWrite(uint16_t, uint16_t, const char*) { return HXE_FAIL; }
hx_error HostRealStringRead(char*, uint16_t, uint16_t, uint32_t) { return HXE_FAIL; }
hx_error HostRealByteWrite(uint16_t, uint16_t, uint8_t) { return HXE_FAIL; }
hx_error HostRealByteRead(uint8_t*, uint16_t, uint16_t) { return HXE_FAIL; }
hx_error HostRealWordWrite(uint16_t, uint16_t, uint16_t) { return HXE_FAIL; }
hx_error HostRealWordRead(uint16_t*, uint16_t, uint16_t) { return HXE_FAIL; }
hx_error HostRealDWordWrite(uint16_t, uint16_t, uint32_t) { return HXE_FAIL; }
hx_error HostRealDWordRead(uint32_t*, uint16_t, uint16_t) { return HXE_FAIL; }
hx_error HostFarBlockWrite(uint16_t, uint32_t, const void*, uint32_t) { return HXE_FAIL; }
hx_error HostFarBlockFill(uint16_t, uint32_t, uint8_t, uint32_t) { return HXE_FAIL; }
hx_error HostFarBlockRead(void*, uint16_t, uint32_t, uint32_t) { return HXE_FAIL; }
hx_error HostFarStringWrite(uint16_t, uint32_t, const char*) { return HXE_FAIL; }
hx_error HostFarStringRead(char*, uint16_t, uint32_t, uint32_t) { return HXE_FAIL; }
hx_error HostFarByteWrite(uint16_t, uint32_t, uint8_t) { return HXE_FAIL; }
hx_error HostFarByteRead(uint8_t*, uint16_t, uint32_t) { return HXE_FAIL; }
hx_error HostFarWordWrite(uint16_t, uint32_t, uint16_t) { return HXE_FAIL; }
hx_error HostFarWordRead(uint16_t*, uint16_t, uint32_t) { return HXE_FAIL; }
hx_error HostFarDWordWrite(uint16_t, uint32_t, uint32_t) { return HXE_FAIL; }
hx_error HostFarDWordRead(uint32_t*, uint16_t, uint32_t) { return HXE_FAIL; }

// Ascending byte order of the underscored names.
#define HX_HOST1_EXPORTS(X) \
    X(HostDefaultDevice) \
    X(HostExceptionHook) \
    X(HostExceptionUnhook) \
    X(HostFarBlockFill) \
    X(HostFarBlockRead) \
    X(HostFarBlockWrite) \
    X(HostFarByteRead) \
    X(HostFarByteWrite) \
    X(HostFarDWordRead) \
    X(HostFarDWordWrite) \
    X(HostFarStringRead) \
    X(HostFarStringWrite) \
    X(HostFarWordRead) \
    X(HostFarWordWrite) \
    X(HostImageLoad) \
    X(HostImageLookupName) \
    X(HostImageLookupOrdinal) \
    X(HostImageUnload) \
    X(HostInfo) \
    X(HostIniQuery) \
    X(HostIniSectionExists) \
    X(HostInterruptCall) \
    X(HostInterruptHook) \
    X(HostInterruptUnhook) \
    X(HostLock) \
    X(HostRealAllocate) \
    X(HostRealBlockFill) \
    X(HostRealBlockRead) \
    X(HostRealBlockWrite) \
    X(HostRealByteRead) \
    X(HostRealByteWrite) \
    X(HostRealDWordRead) \
    X(HostRealDWordWrite) \
    X(HostRealFree) \
    X(HostRealInterruptCall) \
    X(HostRealInterruptGet) \
    X(HostRealInterruptSet) \
    X(HostRealStringRead) \
    X(HostRealStringWrite) \
    X(HostRealWordRead) \
    X(HostRealWordWrite) \
    X(HostRegistersGet) \
    X(HostRegistryQuery) \
    X(HostSelectorAllocate) \
    X(HostSelectorAllocateAlias) \
    X(HostSelectorAllocateLinear) \
    X(HostSelectorAllocatePhysical) \
    X(HostSelectorBaseQuery) \
    X(HostSelectorBaseSet) \
    X(HostSelectorCS) \
    X(HostSelectorDS) \
    X(HostSelectorES) \
    X(HostSelectorFree) \
    X(HostSelectorLimitQuery) \
    X(HostSelectorLimitSet) \
    X(HostSelectorReal) \
    X(HostSelectorSS) \
    X(HostUnlock)

HX_EXPORT_IMAGE(HxImageHost1, "HXHOST1", HX_HOST1_EXPORTS);

hx_error HxHostBegin()
{
    if (realSelectorRecorded)
        return HXE_ACTIVE;
    realSelectorRecorded = true;
    realSelector = 0;
    HxImageAdd(&HxImageHost1);
    return HX_OK;
}

hx_error HxHostEnd()
{
    HxImageRemove(&HxImageHost1);
    realSelectorRecorded = false;
    return HX_OK;
}
