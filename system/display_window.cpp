// The window back end: the game's frame shown 1:1 in the main window. See
// display.h.
//
// The frame buffer is a top-down bitmap of palette indices that the window
// shows at present time. As on a palette desktop, the entries 0-9 and
// 246-255 of the colours shown belong to the system (its 20 static colours)
// once the first palette is installed, and a palette change moves only the
// game's entries 10-245; the last frame is shown again at once in the new
// colours.
#include "system/display.h"

#include "platform/display.h"
#include "system/display_surface.h"
#include "system/mainwindow.h"
#include "system/settings.h"

namespace {

struct WindowState {
    FrameSurface bitmap;
    PaletteEntry shown[kPaletteEntries] = {}; // the logical palette
} gWin;

void Draw(DisplayMode&)
{
    gWin.bitmap.Present(gWin.shown);
}

int Open(DisplayMode& mode)
{
    gWindowCreated = 255;
    if (!platform::OpenScreen(mode.width, mode.height, platform::ScreenKind::Window))
        return 0;
    if (!gWin.bitmap.Allocate(mode.width, mode.height, gSettings.colourDepth)) {
        platform::CloseScreen();
        return 0;
    }
    gWin.bitmap.Attach(mode, Draw);
    return 1;
}

void Close()
{
    gWin.bitmap.Release();
}

// The game's entries 10-245, gamma-corrected, into the colours shown.
void TakeGameColours(const PaletteEntry* palette)
{
    PaletteEntry corrected[kPaletteEntries];
    GammaCorrectPalette(palette, corrected, gDisplayGamma);
    for (int i = kFirstGameColour; i <= kLastGameColour; ++i)
        gWin.shown[i] = {corrected[i].red, corrected[i].green, corrected[i].blue, 0};
}

void InitPalette(const PaletteEntry* palette)
{
    if (!palette)
        return;
    const PaletteEntry* system = platform::SystemPaletteColours();
    for (int i = 0; i < kFirstGameColour; ++i)
        gWin.shown[i] = system[i];
    for (int i = kLastGameColour + 1; i < kPaletteEntries; ++i)
        gWin.shown[i] = system[i];
    TakeGameColours(palette);
    platform::PresentPalette(gWin.shown);
}

void SetPalette(const PaletteEntry* palette)
{
    if (!palette)
        return;
    TakeGameColours(palette);
    platform::PresentPalette(gWin.shown);
}

} // namespace

const DisplayDriver kWindowDisplay = {
    .open = Open,
    .close = Close,
    .blit = Draw,
    .present = DisplayRunPresentRoutine,
    .lock = DisplayNoModeOperation,
    .flush = DisplayNoOperation,
    .paletteFromHandle = DisplayNoSystemPalette,
    .initPalette = InitPalette,
    .setPalette = SetPalette,
};
