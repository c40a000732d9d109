// System configuration: the four settings, one string each, kept under the
// framework's anchor resource.
#include "framework/sys_conf.h"

#include "framework/fw_state.h"

namespace {

constexpr hx_token kFirstSetting = HXT_HEXMIRE_PATH_STR;
constexpr int kSettings = 4;

struct SystemConfig {
    char* value[kSettings];
};

SystemConfig* Config()
{
    return static_cast<SystemConfig*>(fw.sysConfig);
}

bool ValidSetting(hx_token setting)
{
    return setting >= kFirstSetting && setting < kFirstSetting + kSettings;
}

} // namespace

hx_error HxSystemConfigBegin()
{
    fw.sysConfig = HxResAllocate(fw.anchor, sizeof(SystemConfig), HX_RES_APPLICATION);
    if (!fw.sysConfig) {
        HxFailure("System config associative array allocate failed.\n");
        return HXE_FAIL;
    }
    return HX_OK;
}

hx_error HxSystemConfigSetString(hx_token setting, const char* text)
{
    if (!ValidSetting(setting) || !Config()) {
        HxFailure("Not a valid system configuration token.\n");
        return HXE_FAIL;
    }
    char*& slot = Config()->value[setting - kFirstSetting];
    if (slot)
        HxResFree(slot);
    slot = text ? HxResStrDup(fw.sysConfig, text) : nullptr;
    return HX_OK;
}

hx_error HxSystemConfigQueryString(hx_token setting, char* buffer, size_t size)
{
    if (size)
        buffer[0] = 0;
    if (!ValidSetting(setting) || !Config()) {
        HxFailure("Not a valid system configuration token.\n");
        return HXE_FAIL;
    }
    const char* value = Config()->value[setting - kFirstSetting];
    if (!value)
        return HXE_FAIL;
    if (size) {
        HxStrNCpy(buffer, value, size - 1);
        buffer[size - 1] = 0;
    }
    return HX_OK;
}
