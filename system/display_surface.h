// The frame buffer that the full-screen and window back ends draw into, and
// how it reaches the screen. Only the back ends include this.
//
// At 8 bits the frame is one plane of palette indices, shown through the
// palette. At 16 bits the screen is 565 pixels, but only the 3D view draws
// in colour: panels, pictures, text and the HUD are palette art, and they
// still draw palette indices into an index plane of the same size (so that
// everything that reads the screen back, fades and blends, works as at 8
// bits). The 3D view renders into a colour plane of 565 pixels beside it
// and marks where it shows (DisplayShowColourPlane). Each present composes
// the 565 frame in one place: every index through the palette shown, except
// where the view shows and the index plane still holds the key.
#pragma once

#include "system/display.h"
#include "system/palette.h"

#include <cstdint>
#include <vector>

struct FrameSurface {
    std::vector<uint8_t> memory;  // the index plane (the whole frame at 8 bits)
    std::vector<uint16_t> colour; // 16 bits: the colour plane the 3D view renders into
    int width = 0;
    int height = 0;
    int depth = 8;
    int pitch = 0; // bytes a row of the index plane

    uint8_t* frameBuffer = nullptr;  // the variable the mode's pixel reference names
    uint16_t* colourPlane = nullptr; // the variable the mode's colour-plane reference names

    // False when the memory cannot be had.
    bool Allocate(int frameWidth, int frameHeight, int colourDepth);
    bool IsOpen() const { return !memory.empty(); }
    uint8_t* Pixels() { return memory.empty() ? nullptr : memory.data(); }
    // Points the mode at the planes and installs its present routine; the
    // surface becomes the one DisplayShowColourPlane marks.
    void Attach(DisplayMode& mode, PresentRoutine present);
    // Closes the platform's screen and gives the memory back.
    void Release();
    // Shows the frame with the palette (the entries as shown, gamma and all).
    void Present(const PaletteEntry* palette);
    // Shows the last presented frame again through another palette.
    void ShowPalette(const PaletteEntry* palette);

private:
    // 16 bits: the planes as last presented, the rectangles where the view
    // showed in them, and the frame composed from them.
    struct Rect {
        int left, top, right, bottom;
    };
    static constexpr int kMaxColourRects = 8;
    std::vector<uint8_t> presentedIndices;
    std::vector<uint16_t> presentedColour;
    std::vector<uint16_t> composed;
    Rect colourRects[kMaxColourRects] = {};
    int colourRectCount = 0; // marked since the last present
    Rect shownRects[kMaxColourRects] = {};
    int shownRectCount = 0;                      // in the presented planes
    uint16_t shownColours[kPaletteEntries] = {}; // the palette shown, as 565 pixels
    void Compose(const PaletteEntry* palette);

    friend void DisplayShowColourPlane(int, int, int, int);
    friend void DisplayHideColourPlane();
    friend const uint16_t* DisplayShownFrame565();
    friend uint16_t DisplayColour565(uint8_t);
};
