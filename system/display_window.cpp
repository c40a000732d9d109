// The window back end: the game's frame shown 1:1 in the main window. See
// display.h.
//
// The frame buffer is a top-down bitmap of palette indices that the window
// shows at present time. As on a palette desktop, the entries 0-9 and
// 246-255 of the colours shown belong to the system (its 20 static colours)
// once the first palette is installed, and a palette change moves only the
// game's entries 10-245; the last frame is shown again at once in the new
// colours. A 16-bit desktop keeps no colours: there the whole palette is
// the game's.
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

// True on a 16-bit desktop: it keeps no colours of its own, so the game's
// whole palette is shown.
bool SystemKeepsColours()
{
    return gWin.bitmap.depth == 8;
}

// The game's entries 10-245 (all of them on a 16-bit desktop),
// gamma-corrected, into the colours shown.
void TakeGameColours(const PaletteEntry* palette)
{
    PaletteEntry corrected[kPaletteEntries];
    GammaCorrectPalette(palette, corrected, gDisplayGamma);
    const bool keeps = SystemKeepsColours();
    for (int i = keeps ? kFirstGameColour : 0; i <= (keeps ? kLastGameColour : kPaletteEntries - 1); ++i)
        gWin.shown[i] = {corrected[i].red, corrected[i].green, corrected[i].blue, 0};
}

void InitPalette(const PaletteEntry* palette)
{
    if (!palette)
        return;
    const PaletteEntry* system = platform::SystemPaletteColours();
    for (int i = 0; i < kFirstGameColour && SystemKeepsColours(); ++i)
        gWin.shown[i] = system[i];
    for (int i = kLastGameColour + 1; i < kPaletteEntries && SystemKeepsColours(); ++i)
        gWin.shown[i] = system[i];
    TakeGameColours(palette);
    gWin.bitmap.ShowPalette(gWin.shown);
}

void SetPalette(const PaletteEntry* palette)
{
    if (!palette)
        return;
    TakeGameColours(palette);
    gWin.bitmap.ShowPalette(gWin.shown);
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
