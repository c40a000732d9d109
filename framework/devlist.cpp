// The device list, device begin and the facility lookups.
#include "framework/devlist.h"

#include <cstdarg>
#include <cstring>
#include <string>
#include <string_view>

#include "framework/diag.h"
#include "framework/fw_state.h"
#include "framework/mem.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/sys_conf.h"
#include "framework/token_ids.h"
#include "framework/tokenval.h"

namespace {

constexpr size_t kMaxDeviceText = 511;
constexpr size_t kMaxSettingText = 1024;
// Parsed driver arguments: the pairs, then their strings from the far end.
constexpr size_t kArgumentBufferSize = kHxDeviceMaxPairs * sizeof(hx_token_value) + kMaxDeviceText + 1;

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Calls `each(element)` for each element of a semicolon-separated list.
template <typename Each>
void ForEachElement(std::string_view list, Each each)
{
    while (!list.empty()) {
        size_t end = list.find(';');
        each(list.substr(0, end));
        if (end == std::string_view::npos)
            break;
        list.remove_prefix(end + 1);
    }
}

std::string QuerySetting(hx_token setting, size_t max)
{
    std::string value(max + 1, '\0');
    HxSystemConfigQueryString(setting, value.data(), value.size());
    value.resize(std::strlen(value.c_str()));
    return value;
}

// The drivers named in HEXMIRE_DRIVERS_STR, added once before the list is
// first walked. Each is one device slot with one hold on its image; a
// driver that cannot be added is left out.
void AddConfiguredDrivers()
{
    if (fw.devicesAdded || !fw.coreBegun)
        return;
    fw.devicesAdded = 1; // first: a driver's begin may walk the list itself
    std::string drivers = QuerySetting(HXT_HEXMIRE_DRIVERS_STR, kHxConfigValueMax);
    ForEachElement(drivers, [](std::string_view element) {
        size_t split = element.find_first_of(",:");
        std::string name(Trim(element.substr(0, split)));
        std::string arguments(split == std::string_view::npos ? std::string_view() : element.substr(split + 1));
        if (!name.empty())
            HxDevAdd(nullptr, name.c_str(), arguments.c_str());
    });
}

hx_error Enter(hx_object* device, hx_image* image)
{
    for (int i = 0; i < fw.deviceSlots; ++i) {
        if (!fw.devices[i].device) {
            fw.devices[i] = {device, image};
            return HX_OK;
        }
    }
    int slots = fw.deviceSlots + kHxDeviceSlotStep;
    auto* grown = static_cast<hx_device_slot*>(
        HxResAllocate(fw.anchor, uint32_t(slots * sizeof(hx_device_slot)), HX_RES_DRIVER));
    if (!grown)
        return HXE_NO_MEMORY;
    std::memset(static_cast<void*>(grown), 0, slots * sizeof(hx_device_slot));
    if (fw.devices) {
        std::memcpy(static_cast<void*>(grown), fw.devices, fw.deviceSlots * sizeof(hx_device_slot));
        HxResFree(fw.devices);
    }
    grown[fw.deviceSlots] = {device, image};
    fw.devices = grown;
    fw.deviceSlots = slots;
    return HX_OK;
}

// Calls the entry point and enters its device; the image's hold passes to
// the slot, or is let go of when there is no device to keep.
hx_error AddDevice(hx_object** out, hx_drv1_begin_fn begin, const char* arguments, hx_image* image)
{
    if (out)
        *out = nullptr;
    hx_object* device = begin(arguments ? arguments : "");
    if (!device) {
        HxImageDereference(image);
        return HXE_FAIL;
    }
    if (Enter(device, image) != HX_OK) {
        if (device->dispatch->free)
            device->dispatch->free(device);
        HxImageDereference(image);
        return HXE_NO_MEMORY;
    }
    if (out)
        *out = device;
    return HX_OK;
}

const char* IdentifierOf(hx_object* device)
{
    return device->dispatch->identifier ? device->dispatch->identifier(device) : nullptr;
}

template <typename Each>
void ForEachMatch(const char* pattern, Each each)
{
    AddConfiguredDrivers();
    for (int i = 0; i < fw.deviceSlots; ++i) {
        hx_object* device = fw.devices[i].device;
        if (device && HxNamePatternMatch(pattern, IdentifierOf(device))) {
            if (!each(device))
                return;
        }
    }
}

// The driver arguments that HEXMIRE_DEVICES_STR gives a device name, or ""
// when it names none.
std::string ConfiguredArguments(std::string_view deviceName)
{
    std::string found;
    std::string devices = QuerySetting(HXT_HEXMIRE_DEVICES_STR, kMaxSettingText);
    bool done = false;
    ForEachElement(devices, [&](std::string_view element) {
        size_t comma = element.find(',');
        std::string name(Trim(element.substr(0, comma)));
        if (!done && HxStrICmp(name.c_str(), std::string(deviceName).c_str()) == 0) {
            found = comma == std::string_view::npos ? std::string() : std::string(element.substr(comma + 1));
            done = true;
        }
    });
    return found;
}

int PairCount(const hx_token_value* tv)
{
    int n = 0;
    while (tv && tv[n].t)
        ++n;
    return n;
}

// Merges the caller's pairs into the parsed ones: the caller's value wins
// for a token in both, new tokens are appended.
hx_error MergePairs(hx_token_value* merged, const hx_token_value* callers)
{
    int n = PairCount(merged);
    for (int i = 0; callers && callers[i].t; ++i) {
        int k = 0;
        while (k < n && merged[k].t != callers[i].t)
            ++k;
        if (k == n) {
            if (n == kHxDeviceMaxPairs - 1) {
                HxFailure("Too many token value pairs");
                return HXE_NO_ROOM;
            }
            ++n;
        }
        merged[k] = callers[i];
    }
    merged[n] = {};
    return HX_OK;
}

hx_error FindIn(hx_object* container, hx_object** out, hx_token type, const char* pattern, hx_token_value* tv)
{
    auto find = HxContainerDispatch(container)->find;
    return find ? find(container, out, type, pattern, tv) : HXE_FAIL;
}

hx_object* QueryObject(hx_object* object, hx_token t)
{
    hx_value value{};
    if (!object || !object->dispatch->query || object->dispatch->query(object, &value, t) != HX_OK)
        return nullptr;
    return value.o;
}

// A facility lookup's names: the facility, its fixed- and float-point
// forms, and the drivers that provide them.
struct FacilityLookup {
    const char* facility;
    const char* typedFacility[2]; // fixed, float
    const char* driver;
    const char* typedDriver[2];
    hx_token type;
    hx_token query;
};
constexpr FacilityLookup kRendererLookup = {"Default-Renderer",
                                            {"Default-Renderer-Fixed", "Default-Renderer-Float"},
                                            "softrend",
                                            {"softrndx", "softrndf"},
                                            HXT_RENDERER_FACILITY,
                                            HXT_RENDERER_FACILITY_O};
constexpr FacilityLookup kPrimitiveLookup = {"Default-Primitives",
                                             {"Default-Primitives-Fixed", "Default-Primitives-Float"},
                                             "softprim",
                                             {"softprmx", "softprmf"},
                                             HXT_PRIMITIVE_LIBRARY,
                                             HXT_PRIMITIVE_LIBRARY_O};
constexpr FacilityLookup kFormatLookup = {"Default-Format",
                                          {"Default-Format-Fixed", "Default-Format-Float"},
                                          "softform",
                                          {"softfrmx", "softfrmf"},
                                          0, // the caller's facility type
                                          HXT_RENDERER_FACILITY_O};

// Searches the devices for the facility, typed form first, loading the
// typed driver and then the plain one when nothing answers.
hx_error SearchDevices(const FacilityLookup& lookup, hx_object** out, hx_token type, hx_token scalarType)
{
    const char* typedName = nullptr;
    const char* typedDriver = nullptr;
    if (scalarType == HX_SCALAR_FIXED || scalarType == HX_SCALAR_FLOAT) {
        typedName = lookup.typedFacility[scalarType - HX_SCALAR_FIXED];
        typedDriver = lookup.typedDriver[scalarType - HX_SCALAR_FIXED];
    }
    if (typedName && HxDevContainedFind(out, type, typedName, nullptr) == HX_OK)
        return HX_OK;
    if (HxDevContainedFind(out, type, lookup.facility, nullptr) == HX_OK)
        return HX_OK;
    if (typedName) {
        HxDevCheckAdd(nullptr, typedDriver, nullptr);
        if (HxDevContainedFind(out, type, typedName, nullptr) == HX_OK)
            return HX_OK;
    }
    HxDevCheckAdd(nullptr, lookup.driver, nullptr);
    if (HxDevContainedFind(out, type, lookup.facility, nullptr) == HX_OK)
        return HX_OK;
    *out = nullptr;
    return HXE_FAIL;
}

hx_error DestinationFacility(const FacilityLookup& lookup, hx_object** out, hx_pixelmap* destination,
                             hx_token scalarType)
{
    *out = nullptr;
    if (!destination)
        return SearchDevices(lookup, out, lookup.type, scalarType);
    auto* pm = reinterpret_cast<hx_object*>(destination);
    hx_object* facility = QueryObject(pm, lookup.query);
    if (!facility)
        facility = QueryObject(QueryObject(pm, HXT_OUTPUT_FACILITY_O), lookup.query);
    *out = facility;
    return facility ? HX_OK : HXE_FAIL;
}

} // namespace

hx_error HxDevAdd(hx_object** out, const char* name, const char* arguments)
{
    if (out)
        *out = nullptr;
    hx_image* image = HxImageReference(name);
    if (!image)
        return HXE_FAIL;
    auto begin = reinterpret_cast<hx_drv1_begin_fn>(HxImageLookupName(image, kHxDriverEntryName, 0));
    if (!begin) {
        HxImageDereference(image);
        return HXE_FAIL;
    }
    return AddDevice(out, begin, arguments, image);
}

hx_error HxDevAddStatic(hx_object** out, hx_drv1_begin_fn begin, const char* arguments)
{
    if (!begin) {
        if (out)
            *out = nullptr;
        return HXE_FAIL;
    }
    return AddDevice(out, begin, arguments, nullptr);
}

hx_error HxDevCheckAdd(hx_object** out, const char* name, const char* arguments)
{
    hx_object* device;
    if (HxDevFind(&device, name) == HX_OK) {
        if (out)
            *out = device;
        return HX_OK;
    }
    return HxDevAdd(out, name, arguments);
}

hx_error HxDevRemove(hx_object* device)
{
    if (!device)
        return HX_OK;
    // A device may be entered in more than one slot: each slot lets go of
    // its image hold, the device itself is freed once.
    bool held = false;
    for (int i = 0; i < fw.deviceSlots; ++i) {
        if (fw.devices[i].device == device)
            held = true;
    }
    if (!held)
        return HX_OK;
    if (device->dispatch->free)
        device->dispatch->free(device);
    for (int i = 0; i < fw.deviceSlots; ++i) {
        if (fw.devices[i].device == device) {
            HxImageDereference(fw.devices[i].image);
            fw.devices[i] = {};
        }
    }
    return HX_OK;
}

hx_error HxDevFind(hx_object** out, const char* pattern)
{
    *out = nullptr;
    ForEachMatch(pattern, [&](hx_object* device) {
        *out = device;
        return false;
    });
    return *out ? HX_OK : HXE_FAIL;
}

hx_error HxDevFindMany(hx_object** out, int* count, int max, const char* pattern)
{
    int n = 0;
    bool more = false;
    ForEachMatch(pattern, [&](hx_object* device) {
        if (n == max) {
            more = true;
            return false;
        }
        out[n++] = device;
        return true;
    });
    *count = n;
    return more ? HXE_NO_ROOM : HX_OK;
}

hx_error HxDevCount(int* count, const char* pattern)
{
    int n = 0;
    ForEachMatch(pattern, [&](hx_object*) {
        ++n;
        return true;
    });
    *count = n;
    return HX_OK;
}

hx_error HxDevContainedFind(hx_object** out, hx_token type, const char* pattern, hx_token_value* tv)
{
    *out = nullptr;
    ForEachMatch(nullptr, [&](hx_object* device) {
        return FindIn(device, out, type, pattern, tv) != HX_OK;
    });
    if (!*out)
        return HXE_FAIL;
    return HX_OK;
}

hx_error HxDevContainedFindMany(hx_object** out, int max, int* count, hx_token type, const char* pattern,
                                hx_token_value* tv)
{
    int total = 0;
    hx_error error = HX_OK;
    ForEachMatch(nullptr, [&](hx_object* device) {
        auto findMany = HxContainerDispatch(device)->findMany;
        if (!findMany)
            return true;
        int found = 0;
        error = findMany(device, out + total, max - total, &found, type, pattern, tv);
        total += found < max - total ? found : max - total;
        return error == HX_OK;
    });
    *count = total;
    return error;
}

hx_error HxDevContainedCount(int* count, hx_token type, const char* pattern, hx_token_value* tv)
{
    int total = 0;
    hx_error error = HX_OK;
    ForEachMatch(nullptr, [&](hx_object* device) {
        auto countMethod = HxContainerDispatch(device)->count;
        if (!countMethod)
            return true;
        int n = 0;
        error = countMethod(device, &n, type, pattern, tv);
        total += n;
        return error == HX_OK;
    });
    *count = total;
    return error;
}

hx_error HxDevBeginTokenValue(hx_pixelmap** out, const char* text, const hx_token_value* tv)
{
    *out = nullptr;
    std::string deviceText = text ? std::string(text) : QuerySetting(HXT_DEFAULT_DEVICE_STR, kMaxDeviceText);
    if (deviceText.size() > kMaxDeviceText)
        deviceText.resize(kMaxDeviceText);

    size_t comma = deviceText.find(',');
    std::string name(Trim(std::string_view(deviceText).substr(0, comma)));
    std::string arguments = comma == std::string::npos ? std::string() : deviceText.substr(comma + 1);

    hx_object* device = nullptr;
    if (!name.empty() && name != "*") {
        if (HxDevFind(&device, name.c_str()) != HX_OK) {
            hx_error error = HxDevAdd(&device, name.c_str(), ConfiguredArguments(name).c_str());
            if (error != HX_OK)
                return error;
        }
    }

    alignas(hx_token_value) unsigned char parsed[kArgumentBufferSize];
    auto* pairs = reinterpret_cast<hx_token_value*>(parsed);
    pairs[0] = {};
    if (!Trim(arguments).empty()) {
        // The pairs may not reach into the strings, which fill the buffer
        // from its far end, nor pass the 63 that a merged list can hold.
        hx_error error = HxStringToTokenValue(parsed, sizeof parsed, arguments.c_str());
        if (error != HX_OK)
            return error;
        if (PairCount(pairs) >= kHxDeviceMaxPairs) {
            HxFailure("Too many token value pairs");
            return HXE_NO_ROOM;
        }
    }
    hx_token_value merged[kHxDeviceMaxPairs];
    int n = PairCount(pairs);
    std::memcpy(static_cast<void*>(merged), pairs, (n + 1) * sizeof(hx_token_value));
    hx_error error = MergePairs(merged, tv);
    if (error != HX_OK)
        return error;

    hx_object* facility = nullptr;
    error = device ? FindIn(device, &facility, HXT_OUTPUT_FACILITY, nullptr, merged)
                   : HxDevContainedFind(&facility, HXT_OUTPUT_FACILITY, nullptr, merged);
    if (error != HX_OK)
        return error;
    if (!facility)
        return HXE_FAIL;

    auto pixelmapNew = reinterpret_cast<const hx_output_facility_dispatch*>(facility->dispatch)->pixelmapNew;
    if (!pixelmapNew)
        return HXE_UNSUPPORTED;
    hx_pixelmap* pm = nullptr;
    error = pixelmapNew(facility, &pm, merged);
    if (error != HX_OK)
        return error;
    fw.lastBegun = pm;
    *out = pm;
    return HX_OK;
}

hx_error HxDevBegin(hx_pixelmap** out, const char* text)
{
    return HxDevBeginTokenValue(out, text, nullptr);
}

hx_error HxDevBeginVar(hx_pixelmap** out, const char* text, ...)
{
    hx_token_value pairs[kHxDeviceMaxPairs];
    int n = 0;
    va_list ap;
    va_start(ap, text);
    for (;;) {
        hx_token t = va_arg(ap, hx_token);
        if (!t)
            break;
        if (n == kHxDeviceMaxPairs - 1) {
            va_end(ap);
            *out = nullptr;
            HxFailure("Too many token value pairs");
            return HXE_NO_ROOM;
        }
        pairs[n].t = t;
        pairs[n].v.u = va_arg(ap, uintptr_t);
        ++n;
    }
    va_end(ap);
    pairs[n] = {};
    return HxDevBeginTokenValue(out, text, pairs);
}

hx_pixelmap* HxDevLastBeginQuery()
{
    return fw.lastBegun;
}

void HxDevLastBeginSet(hx_pixelmap* pm)
{
    fw.lastBegun = pm;
}

hx_pixelmap* HxDevBeginOld(const char* text)
{
    if (fw.lastBegun) {
        HxFailure("Device already active");
        return nullptr;
    }
    hx_pixelmap* pm = nullptr;
    if (HxDevBegin(&pm, text) != HX_OK) {
        HxFailure("Could not start driver");
        return nullptr;
    }
    return pm;
}

void HxDevEndOld()
{
    if (fw.lastBegun)
        HxPixelmapFree(fw.lastBegun); // which clears the record first
}

void HxDevPaletteSetOld(hx_pixelmap* palette)
{
    if (fw.lastBegun && palette)
        HxPixelmapPaletteSet(fw.lastBegun, palette);
}

void HxDevPaletteSetEntryOld(int32_t index, uint32_t colour)
{
    if (fw.lastBegun)
        HxPixelmapPaletteEntrySet(fw.lastBegun, index, colour);
}

hx_error HxRendererFacilityFind(hx_object** out, hx_pixelmap* destination, hx_token scalarType)
{
    return DestinationFacility(kRendererLookup, out, destination, scalarType);
}

hx_error HxPrimitiveLibraryFind(hx_object** out, hx_pixelmap* destination, hx_token scalarType)
{
    return DestinationFacility(kPrimitiveLookup, out, destination, scalarType);
}

hx_error HxFormatFacilityFind(hx_object** out, hx_object* object, hx_object* renderer, hx_token scalarType,
                              hx_token facilityType)
{
    *out = nullptr;
    if (object && FindIn(object, out, facilityType, nullptr, nullptr) == HX_OK)
        return HX_OK;
    if (!renderer)
        renderer = QueryObject(object, kFormatLookup.query);
    if (renderer && FindIn(renderer, out, facilityType, nullptr, nullptr) == HX_OK)
        return HX_OK;
    return SearchDevices(kFormatLookup, out, facilityType, scalarType);
}
