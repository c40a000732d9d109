// Export images: named tables of the framework's exported functions that
// drivers resolve their imports against, the image list, and how a driver's
// image is found: in the list, among the drivers linked into the program,
// or as a shared object along the search path.
#pragma once

#include <cstdint>

#include "framework/hx_types.h"
#include "framework/list.h"

struct hx_image {
    hx_node node;
    const char* identifier;
    int type;       // HX_IMAGE_MAPPED, HX_IMAGE_BUILT_IN or HX_IMAGE_HOST
    int references; // holds beyond the first
    int ordinalBase;
    int nFunctions;
    void** functions; // by ordinal - base
    int nNames;
    const char** names; // ascending byte order, for binary search
    uint16_t* ordinals; // index into functions, one per name
    int nImports;
    hx_image** imports; // the images this one holds ("IMAGE_NAMES")
    void* sections;
    void* hostHandle; // the shared object (HX_IMAGE_HOST only)
    hx_bool resident; // a static record: never released
};

enum : int {
    HX_IMAGE_MAPPED = 1,
    HX_IMAGE_BUILT_IN = 2,
    HX_IMAGE_HOST = 3,
};

// The built-in images of the core, the pixelmap module and the host. Their
// names carry a leading underscore ("_HxAbort"); a lookup finds them with or
// without it.
extern hx_image HxImageCore1;
extern hx_image HxImagePmap1;
extern hx_image HxImageHost1;

int HxImageAdd(hx_image* image);
int HxImageRemove(hx_image* image);
// The image of that name from the list, the built-in drivers or a shared
// object; each success is one hold. Null when none can be found or loaded.
hx_image* HxImageReference(const char* name);
void* HxImageLookupName(hx_image* image, const char* name, int hint);
void* HxImageLookupOrdinal(hx_image* image, int ordinal);
void HxImageDereference(hx_image* image);

// The "IMAGE" class's free callback: lets go of the images this one imports.
void HxImageResourceFree(void* block, uint8_t classId, uint32_t size);

// ---- the driver boundary -----------------------------------------------------
// Only plain records and C functions cross it. A driver exports
// HxDrv1Begin (below). A driver built as a shared object cannot link the
// framework: it exports HxDrv1Imports, a table of the framework functions
// it calls, ended by an entry whose image is null. Before anything else of
// the driver runs, the loader references each named image (a hold kept
// until the driver's image is released) and stores the function's address
// in the entry's slot; a name is found with or without its leading '_'.
// An entry whose name is null imports by ordinal: its hint is the ordinal.
extern "C" {

struct hx_object;

using hx_drv1_begin_fn = hx_object* (*)(const char* arguments);

struct hx_driver_import {
    const char* image; // "HXCORE1", "HXPMAP1" or "HXHOST1"
    const char* name;  // e.g. "HxResAllocate"
    int hint;          // index into the image's name table to try first, or -1;
                       // the ordinal when name is null
    void** slot;       // filled with the function's address
};

} // extern "C"

inline constexpr const char* kHxDriverEntryName = "HxDrv1Begin";
inline constexpr const char* kHxDriverImportsName = "HxDrv1Imports";

// Drivers linked into the program: looked up by name (ignoring case) after
// the image list and before the search path. The table holds the standard
// drivers; HxImageBuiltInDriverAdd enters more (stand-ins in tests) and
// returns false when the table is full or the name is taken.
struct hx_builtin_driver {
    const char* name;
    hx_drv1_begin_fn begin;
};
bool HxImageBuiltInDriverAdd(const char* name, hx_drv1_begin_fn begin);
void HxImageBuiltInDriverRemove(const char* name);

// ---- built-in export images ------------------------------------------------
// A built-in image is a static record over three static tables, defined by
// HX_EXPORT_IMAGE(variable, "NAME", LIST) where LIST is an X-macro list of
// the exported functions in ascending byte order of their underscored
// names: the function table is then in name order and the ordinal table is
// the identity. A test checks the order.
template <size_t N>
struct hx_identity_ordinals {
    uint16_t v[N];
    constexpr hx_identity_ordinals() : v()
    {
        for (size_t i = 0; i < N; ++i)
            v[i] = uint16_t(i);
    }
};

constexpr hx_image HxResidentImage(const char* identifier, int n, void** functions, const char** names,
                                   uint16_t* ordinals)
{
    hx_image image{};
    image.identifier = identifier;
    image.type = HX_IMAGE_BUILT_IN;
    image.ordinalBase = 1;
    image.nFunctions = n;
    image.functions = functions;
    image.nNames = n;
    image.names = names;
    image.ordinals = ordinals;
    image.resident = 1;
    return image;
}

#define HX_EXPORT_NAME(fn) "_" #fn,
#define HX_EXPORT_FUNCTION(fn) reinterpret_cast<void*>(&fn),
#define HX_EXPORT_IMAGE(variable, identifier, LIST) \
    namespace { \
    void* variable##Functions[] = {LIST(HX_EXPORT_FUNCTION)}; \
    const char* variable##Names[] = {LIST(HX_EXPORT_NAME)}; \
    constexpr size_t variable##Count = sizeof variable##Names / sizeof variable##Names[0]; \
    hx_identity_ordinals<variable##Count> variable##Ordinals; \
    } \
    hx_image variable = HxResidentImage(identifier, int(variable##Count), variable##Functions, \
                                        variable##Names, variable##Ordinals.v)
