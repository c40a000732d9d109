// The screen: frames of the game's frame buffer shown in the main window.
//
// The game draws 8-bit palette-indexed frames (or 16-bit 565 frames) of a
// fixed size. Here they are expanded to true colour at present time and
// shown through the main window, scaled to fill it with their aspect kept
// (bars fill the rest): in a window, first of the frame's size and then as
// large as the player makes it, or full screen on the desktop's own display
// mode. Clicks arrive in the frame's pixels whatever the scale. The display
// back ends of the game decide when frames are locked and presented and what
// the palette holds; this module only shows them. It keeps the last 8-bit
// frame, so that a change of palette alone shows again without a new frame.
//
// Tests capture each presented frame through the present hook, and can read
// back the pixels the screen shows.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// One palette entry as the game keeps it: red, green, blue, unused.
struct PaletteColour {
    uint8_t red, green, blue, unused;
};

enum class ScreenKind : uint8_t {
    Window,     // the main window, of the frame's size at first
    FullScreen, // the desktop's mode kept, the frame scaled to fit
};

// Opens the screen on the main window (which must be open) for frames of
// width x height. False when the window is missing, cannot go full screen,
// or no renderer can be made.
bool OpenScreen(int width, int height, ScreenKind kind);
void CloseScreen();
bool ScreenIsOpen();

// Shows an 8-bit frame through a 256-entry palette.
bool PresentIndexed(const uint8_t* pixels, int pitch, const PaletteColour* palette);
// Shows the last 8-bit frame again through another palette; false when no
// 8-bit frame has been shown since the screen opened.
bool PresentPalette(const PaletteColour* palette);
// Shows a 16-bit frame of 5-6-5 pixels.
bool Present565(const uint16_t* pixels, int pitch);
// A 5-6-5 pixel as the colour the screen shows: each field's bits repeated
// down into the low bits, so that full fields are 255.
constexpr PaletteColour Colour565(uint16_t pixel)
{
    const unsigned r = pixel >> 11 & 0x1F, g = pixel >> 5 & 0x3F, b = pixel & 0x1F;
    return {static_cast<uint8_t>(r << 3 | r >> 2), static_cast<uint8_t>(g << 2 | g >> 4),
            static_cast<uint8_t>(b << 3 | b >> 2), 0};
}

// Expands 8-bit rows through a palette into 0xAARRGGBB pixels (the work of
// every 8-bit present, apart for measuring).
void ExpandIndexed(const uint8_t* pixels, int pitch, const PaletteColour* palette, int width, int height,
                   uint32_t* out, int outPitch);

// The colours the host keeps for itself in palette modes, in the entries
// 0-9 and 246-255 of a 256-entry palette (the others are black): the 20
// static colours of the classic desktop palette.
const PaletteColour* SystemPaletteColours();

// The pixels of the last frame as the screen shows them (0x00RRGGBB, the
// renderer's output at its own size). False when nothing can be read.
bool ReadScreenPixels(std::vector<uint32_t>& out, int& width, int& height);

// Called with every presented frame (palette null for 16-bit frames, whose
// pixels are then 16-bit). Returns the previous hook.
using PresentHook = void (*)(const void* pixels, int width, int height, int pitch, int depth,
                             const PaletteColour* palette);
PresentHook SetPresentHook(PresentHook hook);

} // namespace platform
