// The headless memory output device: the device object, its one output
// facility, the screens it makes (memory pixelmaps of a class that answers
// CLUT_O) and their colour tables.
#include "framework/drivers/memory_device.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "framework/devlist.h"
#include "framework/fw.h"
#include "framework/memdev.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/token_ids.h"
#include "framework/tokenval.h"

namespace {

// The pixel types a screen may have, by the pixel bits that ask for them.
struct ScreenType {
    intptr_t bits;
    uint8_t type;
};
constexpr ScreenType kScreenTypes[] = {
    {.bits = 8, .type = HX_PMT_INDEX_8},
    {.bits = 15, .type = HX_PMT_RGB_555},
    {.bits = 16, .type = HX_PMT_RGB_565},
    {.bits = 24, .type = HX_PMT_RGB_888},
    {.bits = 32, .type = HX_PMT_RGBX_888},
};
constexpr int32_t kDefaultWidth = 640;
constexpr int32_t kDefaultHeight = 480;
constexpr int kMaxPaletteEntries = 256;
// Driver arguments: a few pairs and their strings.
constexpr size_t kArgumentBufferSize = 16 * sizeof(hx_token_value) + 512;

// What a screen is to be: the facility keeps the defaults, and each begin's
// pairs are read over a copy of them.
struct ScreenRequest {
    int32_t width;
    int32_t height;
    uint8_t type;
};

// Reads the pairs this device understands into the request; false when one
// asks for a screen it cannot make.
bool ReadRequest(ScreenRequest* request, const hx_token_value* tv)
{
    for (; tv && tv->t; ++tv) {
        const ScreenType* found = std::end(kScreenTypes);
        switch (tv->t) {
        case HXT_WIDTH_I32:
        case HXT_HEIGHT_I32:
            if (tv->v.i < 1 || tv->v.i > UINT16_MAX)
                return false;
            (tv->t == HXT_WIDTH_I32 ? request->width : request->height) = int32_t(tv->v.i);
            break;
        case HXT_PIXEL_BITS_I32:
            found = std::find_if(std::begin(kScreenTypes), std::end(kScreenTypes),
                                 [&](const ScreenType& s) { return s.bits == tv->v.i; });
            break;
        case HXT_PIXEL_TYPE_U8:
            found = std::find_if(std::begin(kScreenTypes), std::end(kScreenTypes),
                                 [&](const ScreenType& s) { return s.type == tv->v.u; });
            break;
        default:
            continue; // window handles and the like: nothing to a memory screen
        }
        if (tv->t == HXT_PIXEL_BITS_I32 || tv->t == HXT_PIXEL_TYPE_U8) {
            if (found == std::end(kScreenTypes))
                return false;
            request->type = found->type;
        }
    }
    return true;
}

// ---- screens and their colour tables ------------------------------------------------

// A screen's device data, a child of its record: the colour table object
// and its entries (none for a screen without indexed pixels), and what shows
// the screen, if anything does.
struct ScreenData {
    hx_object clut;
    int entries;
    uint32_t palette[kMaxPaletteEntries];
    hx_pixelmap* screen;
    const hx_screen_presenter* presenter;
};

void ShowScreen(const ScreenData* data, bool paletteOnly)
{
    if (data->presenter)
        data->presenter->show(data->screen, paletteOnly);
}

ScreenData* DataOf(hx_object* clut)
{
    return reinterpret_cast<ScreenData*>(clut);
}

const char* ClutIdentifier(hx_object*)
{
    return "Memory-Palette";
}

hx_token ClutType(hx_object*)
{
    return HXT_DEVICE_CLUT;
}

hx_error ClutEntrySet(hx_object* self, int32_t index, uint32_t colour)
{
    ScreenData* data = DataOf(self);
    if (index < 0 || index >= data->entries)
        return HXE_FAIL;
    data->palette[index] = colour;
    ShowScreen(data, true);
    return HX_OK;
}

// Entries past the end of the table are left out.
hx_error ClutEntriesSet(hx_object* self, int32_t first, int32_t count, const uint32_t* entries)
{
    ScreenData* data = DataOf(self);
    if (first < 0 || count < 0 || first > data->entries || (count && !entries))
        return HXE_FAIL;
    int n = std::min(count, data->entries - first);
    std::memcpy(data->palette + first, entries, size_t(n) * sizeof(uint32_t));
    ShowScreen(data, true);
    return HX_OK;
}

const hx_clut_dispatch kClutClass = {
    .object = {.identifier = ClutIdentifier, .type = ClutType},
    .entrySet = ClutEntrySet,
    .entriesSet = ClutEntriesSet,
};

hx_error ScreenQuery(hx_object* self, hx_value* value, hx_token t);
hx_error ScreenDoubleBuffer(hx_pixelmap* self, hx_pixelmap* back);

// The screens' class: the memory class, answering CLUT_O as well, and
// showing a back buffer once it is copied.
const hx_device_pixelmap_dispatch& ScreenClass()
{
    static const hx_device_pixelmap_dispatch table = [] {
        hx_device_pixelmap_dispatch t = HxMemoryPixelmapClass;
        t.object.query = ScreenQuery;
        t.doubleBuffer = ScreenDoubleBuffer;
        return t;
    }();
    return table;
}

// A screen without indexed pixels answers CLUT_O with no table, so that
// palette changes leave it alone.
hx_error ScreenQuery(hx_object* self, hx_value* value, hx_token t)
{
    if (t != HXT_CLUT_O)
        return HxMemoryPixelmapClass.object.query(self, value, t);
    auto* data = static_cast<ScreenData*>(HxPixelmapOf(self)->device_data);
    value->o = data && data->entries ? &data->clut : nullptr;
    return HX_OK;
}

hx_error ScreenDoubleBuffer(hx_pixelmap* self, hx_pixelmap* back)
{
    hx_error error = HxMemoryPixelmapClass.doubleBuffer(self, back);
    if (error == HX_OK && self->device_data)
        ShowScreen(static_cast<ScreenData*>(self->device_data), false);
    return error;
}

hx_error MakeScreen(hx_pixelmap** out, const ScreenRequest& request, const hx_screen_presenter* presenter,
                    const hx_token_value* tv)
{
    hx_pixelmap* pm = HxPixelmapAllocate(request.type, uint16_t(request.width), uint16_t(request.height), nullptr, 0);
    if (!pm)
        return HXE_NO_MEMORY;
    const hx_pixel_type_info& info = kHxPixelTypes[request.type];
    auto* data = static_cast<ScreenData*>(HxResAllocate(pm, sizeof(ScreenData), HX_RES_OBJECT_DATA));
    if (!data) {
        HxPixelmapFree(pm);
        return HXE_NO_MEMORY;
    }
    std::memset(static_cast<void*>(data), 0, sizeof *data);
    data->clut.dispatch = &kClutClass.object;
    data->entries = (info.channels & 1) ? 1 << std::min<int>(info.bits, 8) : 0;
    data->screen = pm;
    data->presenter = presenter;
    pm->device_data = data;
    pm->dispatch = &ScreenClass().object;
    HxPixelmapFill(pm, 0);
    if (presenter && !presenter->screenMade(pm, tv)) {
        HxPixelmapFree(pm);
        return HXE_FAIL;
    }
    *out = pm;
    return HX_OK;
}

// ---- the output facility ---------------------------------------------------------------

struct OutputFacility {
    hx_object object;
    int32_t width; // the defaults of its screens
    int32_t height;
    uint8_t type;
    hx_tv_template* tpl;
    const hx_screen_presenter* presenter;
};

OutputFacility* FacilityOf(hx_object* self)
{
    return reinterpret_cast<OutputFacility*>(self);
}

ScreenRequest DefaultsOf(const OutputFacility* f)
{
    return {f->width, f->height, f->type};
}

hx_tv_template_entry outputEntries[] = {
    {.name = "WIDTH_I32", .offset = offsetof(OutputFacility, width), .flags = HX_TV_QUERY | HX_TV_ALL, .conversion = HX_TVC_DIRECT},
    {.name = "HEIGHT_I32", .offset = offsetof(OutputFacility, height), .flags = HX_TV_QUERY | HX_TV_ALL, .conversion = HX_TVC_DIRECT},
    {.name = "PIXEL_TYPE_U8", .offset = offsetof(OutputFacility, type), .flags = HX_TV_QUERY | HX_TV_ALL, .conversion = HX_TVC_UINT_8},
};

const char* OutputIdentifier(hx_object* self)
{
    const hx_screen_presenter* presenter = FacilityOf(self)->presenter;
    return presenter ? presenter->outputName : kHxMemoryOutputName;
}

hx_token OutputType(hx_object*)
{
    return HXT_OUTPUT_FACILITY;
}

hx_tv_template* OutputTemplate(hx_object* self)
{
    return FacilityOf(self)->tpl;
}

hx_error OutputPixelmapNew(hx_object* self, hx_pixelmap** out, hx_token_value* tv)
{
    *out = nullptr;
    ScreenRequest request = DefaultsOf(FacilityOf(self));
    if (!ReadRequest(&request, tv))
        return HXE_FAIL;
    return MakeScreen(out, request, FacilityOf(self)->presenter, tv);
}

const hx_output_facility_dispatch kOutputClass = {
    .container = {.object = {.identifier = OutputIdentifier,
                             .type = OutputType,
                             .templateQuery = OutputTemplate,
                             .query = _M_hx_object_query,
                             .queryBuffer = _M_hx_object_queryBuffer,
                             .queryMany = _M_hx_object_queryMany,
                             .queryManySize = _M_hx_object_queryManySize,
                             .queryAll = _M_hx_object_queryAll,
                             .queryAllSize = _M_hx_object_queryAllSize}},
    .pixelmapNew = OutputPixelmapNew,
};

// ---- the device ---------------------------------------------------------------------

struct MemoryDevice {
    hx_object object;
    hx_slist* list;
    OutputFacility output;
};

MemoryDevice* DeviceOf(hx_object* self)
{
    return reinterpret_cast<MemoryDevice*>(self);
}

void DeviceFree(hx_object* self)
{
    if (const hx_screen_presenter* presenter = DeviceOf(self)->output.presenter)
        presenter->deviceEnded();
    HxResFree(self); // its list and the facility's template are below it
}

const char* DeviceIdentifier(hx_object* self)
{
    const hx_screen_presenter* presenter = DeviceOf(self)->output.presenter;
    return presenter ? presenter->deviceName : kHxMemoryDeviceName;
}

hx_token DeviceType(hx_object*)
{
    return HXT_DEVICE;
}

hx_slist* DeviceList(hx_object* self)
{
    return DeviceOf(self)->list;
}

// The facility makes a screen of any size and type it knows, so a list
// matches when it asks for one it can make, not only for its defaults.
void* DeviceMatchBegin(hx_object*, hx_token, hx_token_value* tv)
{
    return tv;
}

hx_bool DeviceMatch(hx_object*, hx_object* candidate, void* context)
{
    if (candidate->dispatch != &kOutputClass.container.object)
        return 0;
    ScreenRequest request = DefaultsOf(FacilityOf(candidate));
    return ReadRequest(&request, static_cast<const hx_token_value*>(context));
}

void DeviceMatchEnd(hx_object*, void*)
{
}

const hx_container_dispatch kDeviceClass = {
    .object = {.free = DeviceFree, .identifier = DeviceIdentifier, .type = DeviceType},
    .listQuery = DeviceList,
    .tokensMatchBegin = DeviceMatchBegin,
    .tokensMatch = DeviceMatch,
    .tokensMatchEnd = DeviceMatchEnd,
    .find = _M_hx_object_container_find,
    .findMany = _M_hx_object_container_findMany,
    .count = _M_hx_object_container_count,
};

bool ReadDriverArguments(ScreenRequest* request, const char* arguments)
{
    if (!arguments || !arguments[std::strspn(arguments, " \t")])
        return true;
    alignas(hx_token_value) unsigned char buffer[kArgumentBufferSize];
    if (HxStringToTokenValue(buffer, sizeof buffer, arguments) != HX_OK)
        return false;
    return ReadRequest(request, reinterpret_cast<const hx_token_value*>(buffer));
}

} // namespace

hx_object* HxMemoryDriverBegin(const char* arguments)
{
    return HxMemoryDeviceBegin(arguments, nullptr);
}

hx_object* HxMemoryDeviceBegin(const char* arguments, const hx_screen_presenter* presenter)
{
    ScreenRequest defaults = {kDefaultWidth, kDefaultHeight, HX_PMT_INDEX_8};
    if (!ReadDriverArguments(&defaults, arguments))
        return nullptr;
    auto* d = static_cast<MemoryDevice*>(HxResAllocate(HxFwAnchor(), sizeof(MemoryDevice), HX_RES_OBJECT_DATA));
    if (!d)
        return nullptr;
    std::memset(static_cast<void*>(d), 0, sizeof *d);
    d->object.dispatch = &kDeviceClass.object;
    d->list = HxObjectListAllocate(d);
    d->output = {.object = {&kOutputClass.container.object},
                 .width = defaults.width,
                 .height = defaults.height,
                 .type = defaults.type,
                 .tpl = HxTVTemplateAllocate(d, outputEntries, int(std::size(outputEntries))),
                 .presenter = presenter};
    if (!d->list || !d->output.tpl || _M_hx_object_container_addFront(&d->object, &d->output.object) != HX_OK) {
        HxResFree(d);
        return nullptr;
    }
    return &d->object;
}

const uint32_t* HxMemoryScreenPalette(hx_pixelmap* screen, int* entries)
{
    *entries = 0;
    if (!screen || screen->dispatch != &ScreenClass().object || !screen->device_data)
        return nullptr;
    auto* data = static_cast<const ScreenData*>(screen->device_data);
    if (!data->entries)
        return nullptr;
    *entries = data->entries;
    return data->palette;
}
