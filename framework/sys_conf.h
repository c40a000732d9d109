// System configuration: the framework's four settings (the file search
// path, the drivers to add, the devices with their driver arguments and the
// default device), gathered at framework begin from the registry, the ini
// file "Hexmire.ini" and the environment, and kept until the end in a small
// associative array keyed by token.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_types.h"
#include "framework/token_ids.h"

// An associative array of {token, value} entries. A token of value type
// STRING keeps its own copy of the text, a "STRING" resource under the
// array, freed when the value is replaced or removed.
struct hx_assoc_entry {
    hx_token token;
    hx_value value;
};

struct hx_assoc_array {
    hx_assoc_entry* entries; // its own resource under the array
    uint16_t used;
    uint16_t capacity; // 10 at first, grown by 10
};

inline constexpr uint16_t kHxAssocArrayStep = 10;

hx_assoc_array* HxAssocArrayAllocate();
hx_error HxAssocArraySetEntry(hx_assoc_array* array, hx_token token, hx_value value);
hx_error HxAssocArrayRemoveEntry(hx_assoc_array* array, hx_token token);
hx_error HxAssocArrayQuery(hx_assoc_array* array, hx_token token, hx_value* value);

// The sources. The registry key is "SOFTWARE\Vantrel\Hexmire\1.3.0" under
// HKEY_LOCAL_MACHINE; the ini file is found by the host's profile-file rule.
inline constexpr const char* kHxConfigIniFile = "Hexmire.ini";
inline constexpr const char* kHxConfigIniSection = "Hexmire";
inline constexpr const char* kHxDefaultSearchPath = "dat;../dat;../../dat;../../../dat;../../../../dat";
// The longest value read from a source.
inline constexpr size_t kHxConfigValueMax = 255;

hx_error HxSystemConfigBegin();
// source REGISTRY_STR: (key, root or null); INI_STR: (file, section).
hx_error HxSystemConfigLoad(hx_token source, const char* where, const char* within);
hx_error HxSystemConfigSetString(hx_token setting, const char* text);
// Copies at most size-1 characters and always terminates; "" when the
// setting has no value.
hx_error HxSystemConfigQueryString(hx_token setting, char* buffer, size_t size);
// The registry key the configuration is read from.
const char* HxSystemConfigRegistryKey();
