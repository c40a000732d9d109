// System configuration and the associative array that holds it.
#include "framework/sys_conf.h"

#include <cstdio>
#include <cstring>

#include "framework/diag.h"
#include "framework/fw_state.h"
#include "framework/host.h"
#include "framework/mem.h"
#include "framework/token.h"
#include "platform/files.h"

namespace {

// One line of the gathering table: a setting and the names it is read
// under, in order; each name found overrides what came before.
struct ConfigSource {
    hx_token setting;
    const char* names[3];
};
constexpr ConfigSource kBeginSources[] = {
    {HXT_HEXMIRE_PATH_STR, {"HEXMIRE_PATH"}},
    {HXT_HEXMIRE_DRIVERS_STR, {"HEXMIRE_DRIVERS", "HX_DRIVERS"}},
    {HXT_HEXMIRE_DEVICES_STR, {"HEXMIRE_DEVICES", "HX_DEVICES"}},
    {HXT_DEFAULT_DEVICE_STR, {"HEXMIRE_DOS_GFX", "HEXMIRE_DEFAULT_DEVICE", "HX_DEFAULT_DEVICE"}},
};

// What an explicit load reads, in this order.
struct LoadKey {
    const char* name;
    hx_token setting;
};
constexpr LoadKey kLoadKeys[] = {
    {"HEXMIRE_PATH", HXT_HEXMIRE_PATH_STR},
    {"HEXMIRE_DRIVERS", HXT_HEXMIRE_DRIVERS_STR},
    {"HEXMIRE_DEVICES", HXT_HEXMIRE_DEVICES_STR},
    {"HEXMIRE_DOS_GFX", HXT_DEFAULT_DEVICE_STR},
    {"HX_DEFAULT_DEVICE", HXT_DEFAULT_DEVICE_STR},
};

char registryKey[64];

hx_assoc_array* Config()
{
    return static_cast<hx_assoc_array*>(fw.sysConfig);
}

bool ValidSetting(hx_token setting)
{
    return setting >= HXT_HEXMIRE_PATH_STR && setting <= HXT_HEXMIRE_DEVICES_STR;
}

bool IsString(hx_token token)
{
    return HxTokenType(token) == HXT_STRING;
}

int IndexOf(hx_assoc_array* array, hx_token token)
{
    for (int i = 0; i < array->used; ++i) {
        if (array->entries[i].token == token)
            return i;
    }
    return -1;
}

void ReleaseValue(hx_token token, hx_value value)
{
    if (IsString(token) && value.str)
        HxResFree(value.str);
}

// A value from the registry, else from the ini file, else from the
// environment; false when none of them has it.
bool ReadSource(const char* name, char (&value)[kHxConfigValueMax + 1])
{
    size_t length = 0;
    if (HostRegistryQuery(nullptr, HxSystemConfigRegistryKey(), name, value, sizeof value, &length) == HX_OK)
        return true;
    HostIniQuery(kHxConfigIniFile, kHxConfigIniSection, name, value, sizeof value, &length);
    if (length > 0)
        return true;
    if (const char* env = HxGetEnv(name)) {
        std::snprintf(value, sizeof value, "%s", env);
        return true;
    }
    return false;
}

bool SettingEmpty(hx_token setting)
{
    char value[2];
    HxSystemConfigQueryString(setting, value, sizeof value);
    return value[0] == 0;
}

} // namespace

hx_assoc_array* HxAssocArrayAllocate()
{
    auto* array = static_cast<hx_assoc_array*>(HxResAllocate(fw.anchor, sizeof(hx_assoc_array), HX_RES_SCRATCH));
    if (!array)
        return nullptr;
    array->used = 0;
    array->capacity = kHxAssocArrayStep;
    array->entries = static_cast<hx_assoc_entry*>(
        HxResAllocate(array, kHxAssocArrayStep * sizeof(hx_assoc_entry), HX_RES_SCRATCH));
    if (!array->entries) {
        HxResFree(array);
        return nullptr;
    }
    return array;
}

hx_error HxAssocArraySetEntry(hx_assoc_array* array, hx_token token, hx_value value)
{
    HX_CHECK_AS(array != nullptr, "fw.sys_config", "sys_conf", 150, HXE_FAIL);
    if (IsString(token) && value.cstr) {
        value.str = HxResStrDup(array, value.cstr);
        if (!value.str)
            return HXE_NO_MEMORY;
    }
    int i = IndexOf(array, token);
    if (i >= 0) {
        ReleaseValue(token, array->entries[i].value);
        array->entries[i].value = value;
        return HX_OK;
    }
    if (array->used == array->capacity) {
        uint32_t capacity = uint32_t(array->capacity) + kHxAssocArrayStep;
        auto* grown = capacity <= 0xFFFF ? static_cast<hx_assoc_entry*>(HxResAllocate(
                                               array, capacity * sizeof(hx_assoc_entry), HX_RES_SCRATCH))
                                         : nullptr;
        if (!grown) {
            ReleaseValue(token, value);
            return HXE_NO_MEMORY;
        }
        std::memcpy(grown, array->entries, array->used * sizeof(hx_assoc_entry));
        HxResFree(array->entries);
        array->entries = grown;
        array->capacity = uint16_t(capacity);
    }
    array->entries[array->used++] = {token, value};
    return HX_OK;
}

hx_error HxAssocArrayRemoveEntry(hx_assoc_array* array, hx_token token)
{
    HX_CHECK_AS(array != nullptr, "fw.sys_config", "sys_conf", 190, HXE_FAIL);
    int i = IndexOf(array, token);
    if (i < 0)
        return HXE_FAIL;
    ReleaseValue(token, array->entries[i].value);
    std::memmove(&array->entries[i], &array->entries[i + 1], (array->used - i - 1) * sizeof(hx_assoc_entry));
    --array->used;
    return HX_OK;
}

hx_error HxAssocArrayQuery(hx_assoc_array* array, hx_token token, hx_value* value)
{
    HX_CHECK_AS(array != nullptr, "fw.sys_config", "sys_conf", 205, HXE_FAIL);
    int i = IndexOf(array, token);
    if (i < 0)
        return HXE_FAIL;
    *value = array->entries[i].value;
    return HX_OK;
}

const char* HxSystemConfigRegistryKey()
{
    if (!registryKey[0])
        std::snprintf(registryKey, sizeof registryKey, "%s\\%d.%d.%d", "SOFTWARE\\Vantrel\\Hexmire", 1, 3, 0);
    return registryKey;
}

hx_error HxSystemConfigBegin()
{
    fw.sysConfig = HxAssocArrayAllocate();
    if (!fw.sysConfig) {
        HxFailure("System config associative array allocate failed.\n");
        return HXE_FAIL;
    }
    // The key store and "Hexmire.ini" are each read once for all the names.
    platform::ConfigReadBatch batch;
    char value[kHxConfigValueMax + 1];
    for (const ConfigSource& source : kBeginSources) {
        for (const char* name : source.names) {
            if (name && ReadSource(name, value))
                HxSystemConfigSetString(source.setting, value);
        }
    }
    if (SettingEmpty(HXT_DEFAULT_DEVICE_STR))
        HxSystemConfigSetString(HXT_DEFAULT_DEVICE_STR, HostDefaultDevice());
    if (SettingEmpty(HXT_HEXMIRE_PATH_STR))
        HxSystemConfigSetString(HXT_HEXMIRE_PATH_STR, kHxDefaultSearchPath);
    return HX_OK;
}

hx_error HxSystemConfigLoad(hx_token source, const char* where, const char* within)
{
    platform::ConfigReadBatch batch;
    char value[kHxConfigValueMax + 1];
    size_t length = 0;
    switch (source) {
    case HXT_REGISTRY_STR:
        for (const LoadKey& key : kLoadKeys) {
            if (HostRegistryQuery(within, where, key.name, value, sizeof value, &length) != HX_OK)
                return HXE_FAIL;
            HxSystemConfigSetString(key.setting, value);
        }
        return HX_OK;
    case HXT_INI_STR:
        if (!HostIniSectionExists(where, within))
            return HXE_FAIL;
        for (const LoadKey& key : kLoadKeys) {
            HostIniQuery(where, within, key.name, value, sizeof value, &length);
            if (length > 0)
                HxSystemConfigSetString(key.setting, value);
        }
        return HX_OK;
    default:
        HxFailure("Invalid system config load token. Must be REGISTRY or INI");
        return HXE_FAIL;
    }
}

hx_error HxSystemConfigSetString(hx_token setting, const char* text)
{
    if (!ValidSetting(setting)) {
        HxFailure("Not a valid system configuration token.\n");
        return HXE_FAIL;
    }
    HX_CHECK_AS(Config() != nullptr, "fw.sys_config", "sys_conf", 272, HXE_FAIL);
    if (!text) {
        HxAssocArrayRemoveEntry(Config(), setting);
        return HX_OK;
    }
    hx_value value;
    value.cstr = text;
    return HxAssocArraySetEntry(Config(), setting, value);
}

hx_error HxSystemConfigQueryString(hx_token setting, char* buffer, size_t size)
{
    if (size)
        buffer[0] = 0;
    if (!ValidSetting(setting)) {
        HxFailure("Not a valid system configuration token.\n");
        return HXE_FAIL;
    }
    HX_CHECK_AS(Config() != nullptr, "fw.sys_config", "sys_conf", 288, HXE_FAIL);
    hx_value value;
    if (HxAssocArrayQuery(Config(), setting, &value) != HX_OK || !value.cstr || size == 0)
        return HX_OK;
    std::snprintf(buffer, size, "%s", value.cstr);
    return HX_OK;
}
