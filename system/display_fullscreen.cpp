// The full-screen back end: the game's frame shown exclusively on the whole
// screen. See display.h.
//
// The window covers the screen in the desktop's own display mode, the frame
// scaled into it with its aspect kept (a mode of the frame's size would
// blur or crop the picture on today's screens). The game draws into
// one frame buffer that lives for the whole run, so the canvas keeps what
// was drawn between frames: by default a buffer in system memory that each
// present copies to the screen; with "nosysbuf" the buffer that is flipped
// to the screen. The device steps report through the debug output, the
// surfaces through message boxes, as the rest of the game expects.
#include "system/display.h"

#include "platform/display.h"
#include "platform/window.h"
#include "system/display_surface.h"
#include "system/errors.h"
#include "system/settings.h"
#include "ui/windows.h"

#include <algorithm>

namespace {

constexpr const char* kBoxTitle = "KELVANDRIST";

struct FullScreenState {
    int16_t width = 0;
    int16_t height = 0;
    bool systemBuffer = true; // draw off screen, copy at present
    bool flip = false;        // the exclusive flag: present flips
    FrameSurface surface;     // the drawing surface
    PaletteEntry shown[kPaletteEntries] = {};
} gFull;

void Present(DisplayMode&)
{
    gFull.surface.Present(gFull.shown);
}

// Primary and back buffer are the platform's screen; the drawing surface is
// ours. Each failure has its box.
bool CreateSurfaces()
{
    gFull.flip = true;
    if (!gFull.surface.Allocate(gFull.width, gFull.height, gSettings.colourDepth)) {
        DebugMessageBox(gFull.systemBuffer ? "Offscreen buffer CreateSurface FAILED" : "CreateSurface FAILED",
                        kBoxTitle);
        return false;
    }
    if (gFull.systemBuffer)
        gFull.flip = false;
    return true;
}

int Open(DisplayMode& mode)
{
    gSettings.fullScreen = 255;
    gSettings.exclusiveMode = 255;
    gFull.width = mode.width;
    gFull.height = mode.height;
    gFull.systemBuffer = gSettings.systemBuffer != 0;
    if (!platform::VideoAvailable()) {
        DebugPrint("DirectDrawCreate FAILED");
        return 0;
    }
    if (!platform::WindowIsOpen()) {
        DebugPrint("SetExclusiveModeOwner FAILED");
        return 0;
    }
    if (!platform::OpenScreen(gFull.width, gFull.height, platform::ScreenKind::FullScreen)) {
        DebugPrint(gSettings.slave ? "SetExclusiveModeOwner FAILED" : "ModeSet FAILED");
        return 0;
    }
    if (!CreateSurfaces()) {
        platform::CloseScreen();
        return 0;
    }
    gFull.surface.Attach(mode, Present);
    return 1;
}

void Close()
{
    gFull.surface.Release();
}

void Lock(DisplayMode& mode)
{
    // The flip is done when present returns, so there is nothing to wait for.
    gFull.surface.frameBuffer = gFull.surface.Pixels();
}

void ShowPalette(const PaletteEntry* palette, bool gamma)
{
    if (gamma)
        GammaCorrectPalette(palette, gFull.shown, gDisplayGamma);
    else
        std::copy(palette, palette + kPaletteEntries, gFull.shown);
    for (PaletteEntry& e : gFull.shown)
        e.unused = 0;
    gFull.surface.ShowPalette(gFull.shown);
}

void InitPalette(const PaletteEntry* palette)
{
    if (palette)
        ShowPalette(palette, true);
}

void SetPalette(const PaletteEntry* palette)
{
    if (palette)
        ShowPalette(palette, true);
}

void PaletteFromHandle(const SystemPalette* palette)
{
    if (palette)
        ShowPalette(palette->entries, false);
}

} // namespace

const DisplayDriver kFullScreenDisplay = {
    .open = Open,
    .close = Close,
    .blit = DisplayNoModeOperation,
    .present = DisplayRunPresentRoutine,
    .lock = Lock,
    .flush = DisplayNoOperation,
    .paletteFromHandle = PaletteFromHandle,
    .initPalette = InitPalette,
    .setPalette = SetPalette,
};

bool ProbeFullScreenDisplay()
{
    return platform::VideoAvailable();
}

int DisplayRestoreSurfaces()
{
    if (!gFull.surface.IsOpen())
        return 0;
    // Our surfaces live in memory and survive a switch away; the screen is
    // shown again with every window redrawn.
    guiRequestFullRedraw();
    gFull.surface.Present(gFull.shown);
    return 1;
}
