// The output device "DDRAW": memory screens presented through the platform.
// See ddraw_device.h.
#include "framework/drivers/ddraw_device.h"

#include "framework/drivers/memory_device.h"
#include "framework/pixelmap.h"
#include "framework/token_ids.h"
#include "platform/display.h"

namespace {

bool ScreenMade(hx_pixelmap* screen, const hx_token_value* tv)
{
    if (screen->type != HX_PMT_INDEX_8 && screen->type != HX_PMT_RGB_565)
        return false;
    bool fullScreen = false;
    for (; tv && tv->t; ++tv) {
        if (tv->t == HXT_WINDOW_FULLSCREEN_B)
            fullScreen = tv->v.u != 0;
    }
    return platform::OpenScreen(screen->width, screen->height,
                                fullScreen ? platform::ScreenKind::FullScreen : platform::ScreenKind::Window);
}

// The colour table holds (blue, green, red, 0) in memory: 0x00RRGGBB.
void Show(hx_pixelmap* screen, bool paletteOnly)
{
    const auto* first = static_cast<const uint8_t*>(screen->pixels) +
                        static_cast<std::ptrdiff_t>(screen->base_y) * screen->row_bytes;
    if (screen->type == HX_PMT_RGB_565) {
        platform::Present565(reinterpret_cast<const uint16_t*>(first), screen->row_bytes);
        return;
    }
    int entries = 0;
    const uint32_t* table = HxMemoryScreenPalette(screen, &entries);
    platform::PaletteColour palette[256] = {};
    for (int i = 0; i < entries && i < 256; ++i)
        palette[i] = {uint8_t(table[i] >> 16), uint8_t(table[i] >> 8), uint8_t(table[i]), 0};
    if (paletteOnly)
        platform::PresentPalette(palette);
    else
        platform::PresentIndexed(first, screen->row_bytes, palette);
}

void DeviceEnded()
{
    platform::CloseScreen();
}

constexpr hx_screen_presenter kPresenter = {
    .deviceName = kHxDdrawDeviceName,
    .outputName = kHxDdrawOutputName,
    .screenMade = ScreenMade,
    .show = Show,
    .deviceEnded = DeviceEnded,
};

} // namespace

hx_object* HxDdrawDriverBegin(const char* arguments)
{
    return HxMemoryDeviceBegin(arguments, &kPresenter);
}
