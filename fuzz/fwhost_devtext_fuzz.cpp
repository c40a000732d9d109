// Device texts and the configured device and driver lists: the input's
// lines are HEXMIRE_DEVICES, HEXMIRE_DRIVERS and the device text of a
// device begin, run against the stand-in drivers. Whatever the text, the
// begin either succeeds or fails with an error value, and ending the core
// gives everything back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/devlist.h"
#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/sys_conf.h"
#include "tests/fwhost/stand_in_drivers.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"quiet", Quiet, Quiet};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static standin::Registered drivers;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string lines[3];
    for (int i = 0, start = 0; i < 3; ++i) {
        size_t end = text.find('\n', start);
        lines[i] = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end == std::string::npos)
            break;
        start = int(end + 1);
    }
    // Texts never carry a zero byte: they are C strings.
    for (std::string& line : lines)
        line = line.substr(0, line.find('\0'));

    HxDiagHandlerSet(&quiet);
    if (HxCoreBegin() != HX_OK)
        return 0;
    HxSystemConfigSetString(HXT_HEXMIRE_DEVICES_STR, lines[0].c_str());
    HxSystemConfigSetString(HXT_HEXMIRE_DRIVERS_STR, lines[1].c_str());
    hx_pixelmap* pm = nullptr;
    if (HxDevBeginVar(&pm, lines[2].c_str(), hx_token(HXT_HEIGHT_I32), uintptr_t(480), hx_token(0)) == HX_OK)
        HxDevEndOld();
    HxCoreEnd();
    HxDiagHandlerSet(nullptr);
    return 0;
}
