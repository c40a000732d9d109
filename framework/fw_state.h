// The framework state record `fw`: everything the core keeps between begin
// and end. Framework modules only; cleared to zero at the end, so handlers
// set before the next begin take effect and unset ones return to standard.
#pragma once

#include "framework/datafile.h"
#include "framework/diag.h"
#include "framework/file.h"
#include "framework/list.h"
#include "framework/mem.h"
#include "framework/registry.h"
#include "framework/resource.h"

struct hx_device_slot;
struct hx_pixelmap;

struct hx_fw {
    hx_bool active;
    hx_bool coreBegun;

    hx_resource_class* resource_class_index[256];
    hx_registry resourceClasses;
    void* anchor;

    hx_diaghandler* diag;
    hx_filesystem* fsys;
    hx_allocator* mem;

    void* scratch; // the scratch block, a "SCRATCH," resource
    uint32_t scratchSize;
    hx_bool scratchInUse;

    hx_list images;          // export images, newest first
    hx_device_slot* devices; // the device table, a "DRIVER" resource
    int deviceSlots;
    hx_bool devicesAdded;   // the configured drivers have been added
    hx_pixelmap* lastBegun; // the device pixelmap last begun

    hx_list tokens; // tokens, newest first
    hx_token nextFreeToken;

    void* sysConfig; // the system configuration's array

    void* lastError;
    int lastErrorNumber;

    hx_exception_frame* exceptionTop;
    uintptr_t exceptionValue;

    int defaultFileMode;

    // The datafile value stack: typed entries pushed while a file is read or
    // written (21 marks an open datafile), and how many are in use.
    hx_df_stack_entry datafileStack[kHxDfStackSize];
    int datafileStackTop;
};

extern hx_fw fw;
