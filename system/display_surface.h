// The frame buffer that the full-screen and window back ends draw into, and
// how it reaches the screen: the memory of one frame of the mode's size at
// the colour-depth setting (8-bit indices or 16-bit 565 pixels), presented
// through the platform with the palette the back end shows. Only the back
// ends include this.
#pragma once

#include "system/display.h"
#include "system/palette.h"

#include <cstdint>
#include <vector>

struct FrameSurface {
    std::vector<uint8_t> memory;
    int width = 0;
    int height = 0;
    int depth = 8;
    int pitch = 0; // bytes a row

    uint8_t* frameBuffer = nullptr; // the variable the mode's pixel reference names

    // False when the memory cannot be had.
    bool Allocate(int frameWidth, int frameHeight, int colourDepth);
    bool IsOpen() const { return !memory.empty(); }
    uint8_t* Pixels() { return memory.empty() ? nullptr : memory.data(); }
    // Points the mode at the frame buffer and installs its present routine.
    void Attach(DisplayMode& mode, PresentRoutine present);
    // Closes the platform's screen and gives the memory back.
    void Release();
    // Shows the frame; an 8-bit frame through the palette.
    void Present(const PaletteEntry* palette) const;
};
