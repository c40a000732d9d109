// Stand-in drivers for the device-list tests: linked into the test program
// and entered in the built-in driver table under the standard names. Each
// device holds facilities (output, renderer, primitives) with a width and
// height that token-value lists can match; output facilities make memory
// pixelmaps of that size. What the drivers were given and what they
// freed is recorded for the tests to check.
#pragma once

#include <cstddef>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/devlist.h"
#include "framework/drivers/softrend/softrend.h"
#include "framework/image.h"
#include "framework/memdev.h"
#include "framework/object.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/token_ids.h"
#include "framework/tokenval.h"

namespace standin {

struct FacilityPlan {
    const char* name;
    hx_token type;
    int32_t width;
};

struct DriverPlan {
    const char* name;
    FacilityPlan facilities[3];
};

// What the drivers saw.
struct Record {
    std::map<std::string, int> begun;        // driver name -> begins
    std::map<std::string, int> freed;        // device identifier -> frees
    std::map<std::string, std::string> args; // driver name -> last argument text
    std::vector<hx_token_value> lastPairs;   // what the last pixelmap was made from
    int pixelmapsFreed = 0;
};
inline Record& Seen()
{
    static Record r;
    return r;
}

struct Device;

struct Facility {
    hx_object object;
    const FacilityPlan* plan;
    int32_t width;
    int32_t height;
    hx_tv_template* tpl;
};

struct Device {
    hx_object object;
    const DriverPlan* plan;
    hx_slist* list;
};

// The stand-in output facilities' device pixelmaps: memory pixelmaps of the
// facility's size, of a class that counts frees.
inline void PixelmapFree(hx_object* self)
{
    ++Seen().pixelmapsFreed;
    HxMemoryPixelmapClass.object.free(self);
}
inline const hx_device_pixelmap_dispatch& PixelmapClass()
{
    static const hx_device_pixelmap_dispatch table = [] {
        hx_device_pixelmap_dispatch t = HxMemoryPixelmapClass;
        t.object.free = PixelmapFree;
        return t;
    }();
    return table;
}

inline const char* FacilityIdentifier(hx_object* self)
{
    return reinterpret_cast<Facility*>(self)->plan->name;
}
inline hx_token FacilityType(hx_object* self)
{
    return reinterpret_cast<Facility*>(self)->plan->type;
}
inline hx_tv_template* FacilityTemplate(hx_object* self)
{
    return reinterpret_cast<Facility*>(self)->tpl;
}
inline hx_error FacilityPixelmapNew(hx_object* self, hx_pixelmap** out, hx_token_value* tv)
{
    auto* f = reinterpret_cast<Facility*>(self);
    Seen().lastPairs.clear();
    for (int i = 0; tv && tv[i].t; ++i)
        Seen().lastPairs.push_back(tv[i]);
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, uint16_t(f->width), uint16_t(f->height), nullptr, 0);
    if (!pm)
        return HXE_NO_MEMORY;
    pm->dispatch = &PixelmapClass().object;
    *out = pm;
    return HX_OK;
}
inline const hx_output_facility_dispatch kFacilityDispatch = {
    .container = {.object = {.identifier = FacilityIdentifier,
                             .type = FacilityType,
                             .templateQuery = FacilityTemplate,
                             .query = _M_hx_object_query,
                             .queryMany = _M_hx_object_queryMany,
                             .queryManySize = _M_hx_object_queryManySize}},
    .pixelmapNew = FacilityPixelmapNew,
};

inline void DeviceFree(hx_object* self)
{
    ++Seen().freed[reinterpret_cast<Device*>(self)->plan->name];
    HxResFree(self); // its facilities and their list are below it
}
inline const char* DeviceIdentifier(hx_object* self)
{
    return reinterpret_cast<Device*>(self)->plan->name;
}
inline hx_slist* DeviceList(hx_object* self)
{
    return reinterpret_cast<Device*>(self)->list;
}
inline const hx_container_dispatch kDeviceDispatch = {
    .object = {.free = DeviceFree, .identifier = DeviceIdentifier},
    .listQuery = DeviceList,
    .tokensMatchBegin = _M_hx_object_container_tokensMatchBegin,
    .tokensMatch = _M_hx_object_container_tokensMatch,
    .tokensMatchEnd = _M_hx_object_container_tokensMatchEnd,
    .find = _M_hx_object_container_find,
    .findMany = _M_hx_object_container_findMany,
    .count = _M_hx_object_container_count,
};

inline hx_object* MakeDevice(const DriverPlan& plan, const char* arguments)
{
    ++Seen().begun[plan.name];
    Seen().args[plan.name] = arguments ? arguments : "(null)";
    auto* d = static_cast<Device*>(HxResAllocate(HxFwAnchor(), sizeof(Device), HX_RES_APPLICATION));
    d->object.dispatch = &kDeviceDispatch.object;
    d->plan = &plan;
    d->list = HxObjectListAllocate(d);
    for (const FacilityPlan& fs : plan.facilities) {
        if (!fs.name)
            break;
        auto* f = static_cast<Facility*>(HxResAllocate(d, sizeof(Facility), HX_RES_APPLICATION));
        hx_tv_template_entry entries[] = {
            {0, "WIDTH_I32", offsetof(Facility, width), HX_TV_QUERY | HX_TV_ALL, HX_TVC_DIRECT, 0, 0},
            {0, "HEIGHT_I32", offsetof(Facility, height), HX_TV_QUERY | HX_TV_ALL, HX_TVC_DIRECT, 0, 0},
        };
        auto* copy = static_cast<hx_tv_template_entry*>(HxResAllocate(f, sizeof entries, HX_RES_APPLICATION));
        std::memcpy(static_cast<void*>(copy), entries, sizeof entries);
        *f = {{&kFacilityDispatch.container.object}, &fs, fs.width, 480, HxTVTemplateAllocate(f, copy, 2)};
        _M_hx_object_container_addFront(&d->object, &f->object);
    }
    return &d->object;
}

// The stand-ins, by name.
inline constexpr DriverPlan kDrivers[] = {
    {"SCREEN", {{"main-screen", HXT_OUTPUT_FACILITY, 640}}},
    {"WIDE", {{"wide-screen", HXT_OUTPUT_FACILITY, 800}}},
    {"softrend",
     {{"Default-Renderer", HXT_RENDERER_FACILITY, 0},
      {"Default-Primitives", HXT_PRIMITIVE_LIBRARY, 0},
      {"Default-Format", HXT_DEVICE_CLUT, 0}}},
    {"softrndf", {{"Default-Renderer-Float", HXT_RENDERER_FACILITY, 0}}},
    {"softrndx", {{"Default-Renderer-Fixed", HXT_RENDERER_FACILITY, 0}}},
    {"EMPTY", {}},
};

template <size_t I>
hx_object* Begin(const char* arguments)
{
    return MakeDevice(kDrivers[I], arguments);
}

template <size_t... I>
void RegisterAll(std::index_sequence<I...>, bool add)
{
    if (add)
        (HxImageBuiltInDriverAdd(kDrivers[I].name, &Begin<I>), ...);
    else
        (HxImageBuiltInDriverRemove(kDrivers[I].name), ...);
}

// Enters the stand-ins (all, or all but the named ones) for one test, in
// place of the real built-in renderer, which comes back afterwards.
struct Registered {
    explicit Registered(std::vector<std::string> without = {})
    {
        Seen() = {};
        RegisterAll(std::make_index_sequence<std::size(kDrivers)>(), false);
        RegisterAll(std::make_index_sequence<std::size(kDrivers)>(), true);
        for (const std::string& name : without)
            HxImageBuiltInDriverRemove(name.c_str());
    }
    ~Registered()
    {
        RegisterAll(std::make_index_sequence<std::size(kDrivers)>(), false);
        HxImageBuiltInDriverAdd(kHxSoftrendDeviceName, HxSoftrendDriverBegin);
    }
};

} // namespace standin
