// Export images and the image list; finding a driver's image among the
// built-in drivers or loading it as a shared object, with its imports
// resolved against the images in the list; holds and release.
#include "framework/image.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/diag.h"
#include "framework/drivers/ddraw_device.h"
#include "framework/drivers/memory_device.h"
#include "framework/drivers/recording_renderer.h"
#include "framework/drivers/softrend/softrend.h"
#include "framework/fw_state.h"
#include "framework/host.h"
#include "framework/list.h"
#include "framework/resource.h"
#include "framework/sys_conf.h"
#include "platform/files.h"
#include "platform/host.h"

namespace {

constexpr size_t kMaxImageName = 255;
constexpr size_t kMaxSearchPath = 1024;
// Images that import images that import images...: a chain deeper than
// this is a cycle, and the load fails rather than recursing for ever.
constexpr int kMaxLoadDepth = 8;
constexpr int kMaxBuiltInDrivers = 32;

// Extensions cut from a name before it is looked up: the host's library
// extension and the driver-image extensions that files may still carry.
constexpr const char* kCutExtensions[] = {".dll", ".so", ".bdd", ".bed"};

// The standard drivers linked into the framework; the rest is room for more.
hx_builtin_driver builtInDrivers[kMaxBuiltInDrivers] = {
    {kHxMemoryDeviceName, HxMemoryDriverBegin},
    {kHxRecordingDeviceName, HxRecordingDriverBegin},
    {kHxDdrawDeviceName, HxDdrawDriverBegin},
    {kHxSoftrendDeviceName, HxSoftrendDriverBegin},
};
int loadDepth;

// A built-in driver's image: the record and its one export.
struct BuiltInImage {
    hx_image image;
    void* function;
    const char* name;
    uint16_t ordinal;
};

hx_image* ImageOf(hx_node* node)
{
    return reinterpret_cast<hx_image*>(node);
}

bool EndsWithIgnoringCase(const char* text, size_t length, const char* suffix)
{
    size_t n = std::strlen(suffix);
    return length >= n && HxStrNICmp(text + length - n, suffix, n) == 0;
}

hx_image* FindInList(const char* name)
{
    for (hx_node* node = fw.images.head; node && node->next; node = node->next) {
        if (HxNamePatternMatch(name, ImageOf(node)->identifier))
            return ImageOf(node);
    }
    return nullptr;
}

const hx_builtin_driver* FindBuiltInDriver(const char* name)
{
    for (const hx_builtin_driver& d : builtInDrivers) {
        if (d.name && HxStrICmp(d.name, name) == 0)
            return &d;
    }
    return nullptr;
}

// The file name that ends a name that may carry folders.
const char* Leaf(const char* name)
{
    const char* leaf = name;
    for (const char* p = name; *p; ++p) {
        if (*p == '/' || *p == '\\')
            leaf = p + 1;
    }
    return leaf;
}

// The identifier of a loaded image: the file name cut at its first '.', a
// copy under the image.
bool SetIdentifier(hx_image* image, const char* name)
{
    const char* leaf = Leaf(name);
    std::string id(leaf, std::strcspn(leaf, "."));
    image->identifier = HxResStrDup(image, id.c_str());
    return image->identifier != nullptr;
}

hx_image* MakeBuiltInImage(const char* name, const hx_builtin_driver& driver)
{
    auto* b = static_cast<BuiltInImage*>(HxResAllocate(fw.anchor, sizeof(BuiltInImage), HX_RES_IMAGE));
    if (!b)
        return nullptr;
    std::memset(static_cast<void*>(b), 0, sizeof *b);
    b->function = reinterpret_cast<void*>(driver.begin);
    b->name = kHxDriverEntryName;
    b->ordinal = 0;
    hx_image* image = &b->image;
    image->type = HX_IMAGE_BUILT_IN;
    image->ordinalBase = 1;
    image->nFunctions = 1;
    image->functions = &b->function;
    image->nNames = 1;
    image->names = &b->name;
    image->ordinals = &b->ordinal;
    if (!SetIdentifier(image, name)) {
        HxResFree(image);
        return nullptr;
    }
    return image;
}

// A folder of the search path, or a driver's own relative path, as a host
// path: relative ones lie below the program's own folder, never below the
// working folder, which is the data tree (a data tree never supplies code).
std::string BelowProgramFolder(const std::string& path)
{
    const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() >= 2 && path[1] == ':'));
    return absolute ? path : platform::ProgramFolder() + "/" + path;
}

// The shared object's file: a name with a folder as it stands (a relative
// one below the program's folder), a bare name along the search path. The
// result names a folder, so that the host's loader does not search its own
// path instead.
bool FindSharedObject(const char* file, std::string& path)
{
    if (std::strpbrk(file, ":/\\"))
        return platform::ResolveDataPath(BelowProgramFolder(file).c_str(), path) &&
               platform::DataFileExists(path.c_str());
    char search[kMaxSearchPath];
    HxSystemConfigQueryString(HXT_HEXMIRE_PATH_STR, search, sizeof search);
    for (const char* element = search;;) {
        const char* end = std::strchr(element, ';');
        std::string candidate(element, end ? size_t(end - element) : std::strlen(element));
        if (!candidate.empty()) {
            if (!std::strchr("/\\", candidate.back()))
                candidate += '/';
            candidate = BelowProgramFolder(candidate + file);
            if (platform::ResolveDataPath(candidate.c_str(), path) && platform::DataFileExists(path.c_str()))
                return true;
        }
        if (!end)
            return false;
        element = end + 1;
    }
}

// Holds each image the driver imports and fills its import slots; false
// (after reporting) when an image or a function cannot be found.
bool ResolveImports(hx_image* image, const hx_driver_import* table)
{
    int n = 0;
    while (table[n].image)
        ++n;
    if (n == 0)
        return true;
    image->imports = static_cast<hx_image**>(
        HxResAllocate(image, uint32_t(n * sizeof(hx_image*)), HX_RES_IMAGE_NAMES));
    if (!image->imports)
        return false;
    for (int i = 0; i < n; ++i) {
        const hx_driver_import& entry = table[i];
        hx_image* from = nullptr;
        for (int k = 0; k < image->nImports && !from; ++k) {
            if (HxNamePatternMatch(entry.image, image->imports[k]->identifier))
                from = image->imports[k];
        }
        if (!from) {
            from = HxImageReference(entry.image);
            if (!from) {
                HxFailure("Could not reference image %s", entry.image);
                return false;
            }
            image->imports[image->nImports++] = from;
        }
        // An entry without a name imports by ordinal, its hint the ordinal.
        void* function = nullptr;
        if (entry.slot)
            function = entry.name ? HxImageLookupName(from, entry.name, entry.hint)
                                  : HxImageLookupOrdinal(from, entry.hint);
        if (!function) {
            if (entry.name)
                HxFailure("Could not resolve imported symbol %s:%s (%d)", entry.image, entry.name, entry.hint);
            else
                HxFailure("Could not resolve imported ordinal %s:%d", entry.image, entry.hint);
            return false;
        }
        *entry.slot = function;
    }
    return true;
}

hx_image* LoadSharedObject(const char* name, const char* file)
{
    std::string path;
    if (!FindSharedObject(file, path))
        return nullptr;
    void* handle = HostImageLoad(path.c_str());
    if (!handle)
        return nullptr;
    auto* image = static_cast<hx_image*>(HxResAllocate(fw.anchor, sizeof(hx_image), HX_RES_IMAGE));
    if (!image) {
        HostImageUnload(handle);
        return nullptr;
    }
    std::memset(static_cast<void*>(image), 0, sizeof *image);
    image->type = HX_IMAGE_HOST;
    image->hostHandle = handle;
    if (!SetIdentifier(image, name)) {
        HxResFree(image);
        return nullptr;
    }
    auto* imports = static_cast<const hx_driver_import*>(HostImageLookupName(handle, kHxDriverImportsName, 0));
    if (imports && !ResolveImports(image, imports)) {
        HxResFree(image);
        return nullptr;
    }
    return image;
}

int FindName(const hx_image* image, const char* name)
{
    int lo = 0;
    int hi = image->nNames - 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = HxStrCmp(image->names[mid], name);
        if (c == 0)
            return mid;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return -1;
}

void Release(hx_image* image)
{
    HxImageRemove(image);
    if (image->type == HX_IMAGE_HOST)
        HostImageUnload(image->hostHandle);
    HxResFree(image);
}

} // namespace

int HxImageAdd(hx_image* image)
{
    // A built-in image joins each framework session afresh: holds from an
    // earlier session mean nothing now.
    if (image->resident)
        image->references = 0;
    HxAddHead(&fw.images, &image->node);
    return 1;
}

int HxImageRemove(hx_image* image)
{
    if (image->node.next)
        HxRemove(&image->node);
    image->node = {};
    return 1;
}

hx_image* HxImageReference(const char* name)
{
    if (!name || !*name)
        return nullptr;
    size_t length = std::strlen(name);
    if (length > kMaxImageName)
        return nullptr;
    // The extension is cut from a copy: the caller's text is left alone.
    char base[kMaxImageName + 1];
    std::memcpy(base, name, length + 1);
    for (const char* extension : kCutExtensions) {
        if (EndsWithIgnoringCase(base, length, extension)) {
            base[length - std::strlen(extension)] = 0;
            break;
        }
    }

    if (hx_image* image = FindInList(Leaf(base))) {
        ++image->references;
        return image;
    }
    if (!fw.active || loadDepth >= kMaxLoadDepth)
        return nullptr;

    hx_image* image = nullptr;
    ++loadDepth;
    if (!std::strchr(Leaf(base), '.')) {
        if (const hx_builtin_driver* driver = FindBuiltInDriver(base))
            image = MakeBuiltInImage(base, *driver);
        else
            image = LoadSharedObject(base, (std::string(base) + ".so").c_str());
    } else {
        image = LoadSharedObject(base, base);
    }
    --loadDepth;
    if (!image)
        return nullptr;
    HxImageAdd(image);
    return image;
}

void* HxImageLookupName(hx_image* image, const char* name, int hint)
{
    if (!image || !name)
        return nullptr;
    if (image->type == HX_IMAGE_HOST)
        return HostImageLookupName(image->hostHandle, name, hint);
    int index = -1;
    if (hint >= 0 && hint < image->nNames && HxStrCmp(image->names[hint], name) == 0)
        index = hint;
    if (index < 0)
        index = FindName(image, name);
    if (index < 0 && name[0] == '_')
        index = FindName(image, name + 1);
    if (index < 0 && std::strlen(name) < kMaxImageName) {
        char underscored[kMaxImageName + 2] = "_";
        std::strcpy(underscored + 1, name);
        index = FindName(image, underscored);
    }
    if (index < 0 || image->ordinals[index] >= image->nFunctions)
        return nullptr;
    return image->functions[image->ordinals[index]];
}

void* HxImageLookupOrdinal(hx_image* image, int ordinal)
{
    if (!image || image->type == HX_IMAGE_HOST)
        return nullptr;
    int index = ordinal - image->ordinalBase;
    if (index < 0 || index >= image->nFunctions)
        return nullptr;
    return image->functions[index];
}

void HxImageDereference(hx_image* image)
{
    if (!image)
        return;
    if (image->references > 0) {
        --image->references;
        return;
    }
    if (!image->resident)
        Release(image);
}

void HxImageResourceFree(void* block, uint8_t, uint32_t)
{
    auto* image = static_cast<hx_image*>(block);
    if (image->node.next)
        HxRemove(&image->node);
    image->node = {};
    for (int i = 0; i < image->nImports; ++i)
        HxImageDereference(image->imports[i]);
    image->nImports = 0;
}

bool HxImageBuiltInDriverAdd(const char* name, hx_drv1_begin_fn begin)
{
    if (!name || !begin || FindBuiltInDriver(name))
        return false;
    for (hx_builtin_driver& d : builtInDrivers) {
        if (!d.name) {
            d = {name, begin};
            return true;
        }
    }
    return false;
}

void HxImageBuiltInDriverRemove(const char* name)
{
    for (hx_builtin_driver& d : builtInDrivers) {
        if (d.name && HxStrICmp(d.name, name) == 0)
            d = {};
    }
}
