// The framework device back end: the game draws into an off-screen
// pixelmap of the 3D framework, shown through the framework's own output
// device "DDRAW" by double buffering. See display.h.
//
// Closing, blitting, locking, flushing and palette handles are nothing to
// it: the framework device lives until the framework ends, and a lock leaves
// the frame buffer where the last present put it. Its palette carries no
// gamma correction. The scene layer's Z-buffer renderer is started on the
// device by the scene layer itself when it begins; the depth buffer it will
// render with is made here.
#include "system/display.h"

#include "framework/devlist.h"
#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/token_ids.h"
#include "platform/window.h"
#include "system/settings.h"

#include <cstdlib>

namespace {

char gFrameworkPath[] = "HEXMIRE_PATH=hexmire\\dll;hexmire\\dat"; // putenv keeps it
constexpr const char* kFrameworkDevice = "DDRAW";

struct FrameworkState {
    int16_t width = 0;
    int16_t height = 0;
    hx_pixelmap* screen = nullptr;
    hx_pixelmap* back = nullptr;
    hx_pixelmap* depth = nullptr;
    uint8_t* frameBuffer = nullptr;
} gFw;

// Locks the back buffer just long enough to take its pixel address.
void TakeFrameBuffer()
{
    if (HxPixelmapDirectLock(gFw.back, 1)) {
        gFw.frameBuffer = static_cast<uint8_t*>(gFw.back->pixels);
        HxPixelmapDirectUnlock(gFw.back);
    }
}

void Present(DisplayMode&)
{
    if (!gFw.screen || !gFw.back)
        return;
    HxPixelmapDoubleBuffer(gFw.screen, gFw.back);
    TakeFrameBuffer();
}

int Open(DisplayMode& mode)
{
    gFw.width = mode.width;
    gFw.height = mode.height;
    putenv(gFrameworkPath);
    const hx_error begun = HxCoreBegin();
    if (begun != HX_OK && begun != HXE_ACTIVE)
        return 0;
    hx_pixelmap* screen = nullptr;
    if (HxDevBeginVar(&screen, kFrameworkDevice, HXT_WINDOW_HANDLE_H, platform::NativeWindow(),
                      HXT_WINDOW_FULLSCREEN_B, uintptr_t{1}, HXT_WIDTH_I32, intptr_t{gFw.width}, HXT_HEIGHT_I32,
                      intptr_t{gFw.height}, HXT_PIXEL_BITS_I32, intptr_t{gSettings.colourDepth}, hx_token{0}) != HX_OK ||
        !screen)
        return 0;
    hx_pixelmap* back = HxPixelmapMatch(screen, HX_PMMATCH_OFFSCREEN);
    if (!back) {
        HxPixelmapFree(screen);
        return 0;
    }
    gFw.screen = screen;
    gFw.back = back;
    TakeFrameBuffer();
    back->origin_x = back->origin_y = 0;
    gFw.depth = HxPixelmapMatch(back, HX_PMMATCH_DEPTH_16);
    mode.frameBuffer = &gFw.frameBuffer;
    mode.present = Present;
    return 1;
}

// The device's colour table takes (blue, green, red, 0) entries, one a row
// of a 256-row palette pixelmap.
void InstallPalette(const PaletteEntry* palette)
{
    if (!palette || !gFw.screen)
        return;
    uint32_t entries[kPaletteEntries];
    for (int i = 0; i < kPaletteEntries; ++i)
        entries[i] = uint32_t{palette[i].blue} | uint32_t{palette[i].green} << 8 | uint32_t{palette[i].red} << 16;
    hx_pixelmap* map = HxPixelmapAllocate(HX_PMT_RGBX_888, 1, kPaletteEntries, entries, 0);
    if (!map)
        return;
    HxPixelmapPaletteSet(gFw.screen, map);
    HxPixelmapFree(map);
}

} // namespace

const DisplayDriver kFrameworkDisplay = {
    .open = Open,
    .close = DisplayNoOperation,
    .blit = DisplayNoModeOperation,
    .present = DisplayRunPresentRoutine,
    .lock = DisplayNoModeOperation,
    .flush = DisplayNoOperation,
    .paletteFromHandle = DisplayNoSystemPalette,
    .initPalette = InstallPalette,
    .setPalette = InstallPalette,
};
