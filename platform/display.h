// The screen: frames of the game's frame buffer shown in the main window.
//
// The game draws 8-bit palette-indexed frames (or 16-bit 565 frames) of a
// fixed size. Here they are expanded to true colour at present time and
// shown through the main window, scaled to fit when the window is larger.
// The display back ends of the game decide when frames are locked and
// presented and what the palette holds; this module only shows them.
//
// Tests capture each presented frame through the present hook.
#pragma once

#include <cstdint>

namespace platform {

// One palette entry as the game keeps it: red, green, blue, unused.
struct PaletteColour {
    uint8_t red, green, blue, unused;
};

// Opens the screen on the main window (which must be open): width x height
// frames, shown full screen (the desktop's mode, scaled) or in the window.
bool OpenScreen(int width, int height, bool fullScreen);
void CloseScreen();
bool ScreenIsOpen();

// Shows an 8-bit frame through a 256-entry palette.
bool PresentIndexed(const uint8_t* pixels, int pitch, const PaletteColour* palette);
// Shows a 16-bit frame of 5-6-5 pixels.
bool Present565(const uint16_t* pixels, int pitch);

// Called with every presented 8-bit frame (palette may be null for 16-bit
// frames, whose pixels are then 16-bit). Returns the previous hook.
using PresentHook = void (*)(const void* pixels, int width, int height, int pitch, int depth,
                             const PaletteColour* palette);
PresentHook SetPresentHook(PresentHook hook);

} // namespace platform
