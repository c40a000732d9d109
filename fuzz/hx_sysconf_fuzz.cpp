// Fuzz target: gathering the framework's configuration at core begin from
// the key store, "Hexmire.ini" and the environment, and the explicit loads.
// The input holds three parts separated by zero bytes: the key store's
// text, the ini file's text, and one line for each configuration variable.
// Whatever they hold, every setting comes back as a string of at most 255
// characters and ending the core gives everything back.
#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/sys_conf.h"
#include "fuzz/fuzz_support.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Quiet(const char*) {}
hx_diaghandler gQuiet = {"quiet", Quiet, Quiet};

constexpr const char* kVariables[] = {"HEXMIRE_PATH", "HEXMIRE_DRIVERS", "HX_DRIVERS",
                                      "HEXMIRE_DEVICES", "HX_DEVICES", "HEXMIRE_DOS_GFX",
                                      "HEXMIRE_DEFAULT_DEVICE", "HX_DEFAULT_DEVICE"};
constexpr hx_token kSettings[] = {HXT_HEXMIRE_PATH_STR, HXT_HEXMIRE_DRIVERS_STR, HXT_DEFAULT_DEVICE_STR,
                                  HXT_HEXMIRE_DEVICES_STR};

std::string_view TakePart(std::string_view& rest)
{
    std::size_t end = rest.find('\0');
    std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return part;
}

bool Start()
{
    fuzz::EnterScratchFolder({});
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string_view store = TakePart(rest);
    std::string_view ini = TakePart(rest);
    const char* storePath = std::getenv("KELVANDRIST_REGISTRY");
    fuzz::WriteFile(storePath, reinterpret_cast<const uint8_t*>(store.data()), store.size());
    fuzz::WriteFile("Hexmire.ini", reinterpret_cast<const uint8_t*>(ini.data()), ini.size());
    for (const char* name : kVariables) {
        std::size_t end = rest.find('\n');
        std::string value(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!value.empty())
            ::setenv(name, value.c_str(), 1);
    }

    HxDiagHandlerSet(&gQuiet);
    if (HxCoreBegin() == HX_OK) {
        char value[kHxConfigValueMax + 2];
        for (hx_token setting : kSettings) {
            std::memset(value, 'x', sizeof value);
            HxSystemConfigQueryString(setting, value, sizeof value);
            if (std::strlen(value) > kHxConfigValueMax)
                __builtin_trap();
        }
        HxSystemConfigLoad(HXT_INI_STR, kHxConfigIniFile, kHxConfigIniSection);
        HxSystemConfigLoad(HXT_REGISTRY_STR, HxSystemConfigRegistryKey(), nullptr);
        HxCoreEnd();
    }
    HxDiagHandlerSet(nullptr);
    for (const char* name : kVariables)
        ::unsetenv(name);
    return 0;
}
