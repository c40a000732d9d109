// The display driver table and the choice of display back end.
//
// All drawing goes into one frame buffer of 640 x 480 that the screen canvas
// describes. One of three back ends shows it: full screen, a window, or the
// 3D framework's own output device. Each is a DisplayDriver table of nine
// operations; callers never touch a back end directly but call the nine
// wrappers, which dispatch through the current table. The choice is made
// once, by the switches, before the main window exists, and fixes the film
// player too.
#pragma once

#include "system/palette.h"

#include <cstdint>

// A palette of the host, as palette messages hand it over.
struct SystemPalette {
    PaletteEntry entries[256];
};

struct DisplayMode;
using PresentRoutine = void (*)(DisplayMode& mode);

// The screen's mode: one static record shared with the screen canvas.
struct DisplayMode {
    int16_t width = 640;
    int16_t height = 480;
    int16_t depth = 8;
    PresentRoutine present = nullptr; // filled in by DisplayOpen
    uint8_t** frameBuffer = nullptr;  // the variable holding the pixel address
    // At 16 bits, the variable holding the address of the colour plane the
    // 3D view renders 565 pixels into (null at 8 bits, and for the
    // framework device, whose frame buffer is itself 565). The frame buffer
    // then holds palette indices, composed with it at present.
    uint16_t** colourPlane = nullptr;
};

// The nine operations of a back end, in slot order.
struct DisplayDriver {
    int (*open)(DisplayMode& mode); // non-zero on success
    void (*close)();
    void (*blit)(DisplayMode& mode);    // copy to the window
    void (*present)(DisplayMode& mode); // show the finished frame
    void (*lock)(DisplayMode& mode);    // writable frame buffer
    void (*flush)();                    // finish pending drawing
    void (*paletteFromHandle)(const SystemPalette* palette);
    void (*initPalette)(const PaletteEntry* palette); // 256 entries
    void (*setPalette)(const PaletteEntry* palette);  // 256 entries
};

// The film player that goes with a back end: decoding into the screen
// canvas, or into the full-screen back end's own surface.
enum class FilmPlayer : uint8_t {
    Canvas,
    Surface
};

// The back ends.
extern const DisplayDriver kFullScreenDisplay;
extern const DisplayDriver kWindowDisplay;
extern const DisplayDriver kFrameworkDisplay;
// True when the full-screen back end can run on this machine.
bool ProbeFullScreenDisplay();
// On activation in full screen: the full-screen back end's surfaces are
// restored and every window redrawn. Non-zero when both worked (0 when the
// full-screen back end is not open).
int DisplayRestoreSurfaces();

// Back-end selection state. The full-screen and exclusive flags live in
// gSettings.
extern const DisplayDriver* gDisplayDriver;
extern FilmPlayer gFilmPlayer;
extern uint8_t gFrameworkPalette; // palette messages reinstall the palette
extern float gDisplayGamma;       // 1.0 at start; options and scripts change it
extern DisplayMode gScreenMode;

// Selection routines (also the switches "f", "w" and "b").
void UseFullScreenDisplay();
void UseWindowDisplay();
void UseFrameworkDisplay();

// Slot bodies the back ends share: present runs the mode's present routine;
// the others do nothing.
void DisplayRunPresentRoutine(DisplayMode& mode);
void DisplayNoModeOperation(DisplayMode& mode);
void DisplayNoOperation();
void DisplayNoSystemPalette(const SystemPalette* palette);

// The wrappers.
int DisplayOpen(DisplayMode& mode);
void DisplayClose();
void DisplayBlit(DisplayMode& mode);
void DisplayPresent(DisplayMode& mode);
void DisplayLock(DisplayMode& mode);
void DisplayFlush();
void DisplayPaletteFromHandle(const SystemPalette* palette);
void DisplayInitPalette(const PaletteEntry* palette);
void DisplaySetPalette(const PaletteEntry* palette); // ignores null
// The last palette given to DisplayInitPalette or DisplaySetPalette (all
// black before the first).
const PaletteEntry* DisplayLastPalette();

// 16-bit screens: the 3D view shows its colour plane in a rectangle of the
// screen (inclusive) for the frame being drawn. The frame buffer is filled
// there with the key index; whatever is drawn over it in palette colours
// (the HUD) shows, and the pixels that keep the key show the colour plane.
// The rectangles hold until a present that follows new ones; hiding forgets
// them (the view's windows are gone). Nothing at 8 bits.
constexpr uint8_t kColourPlaneKey = 176;
void DisplayShowColourPlane(int left, int top, int right, int bottom);
void DisplayHideColourPlane();
// A palette index as the 565 pixel the screen shows it as now (through the
// palette of the last present or palette change); 0 at 8 bits.
uint16_t DisplayColour565(uint8_t index);
// The last frame presented at 16 bits as 565 pixels, the mode's width a
// row; null at 8 bits or before the first present.
const uint16_t* DisplayShownFrame565();

// Entries 0-9 and 246-255 belong to the system; the game's entries 10-245
// are gamma-corrected by the back ends: c' = trunc(256 (c / 256)^(1/gamma)).
constexpr int kFirstGameColour = 10;
constexpr int kLastGameColour = 245;
uint8_t GammaCorrect(uint8_t component, float gamma);
// Copies 256 entries, gamma-correcting the game's entries.
void GammaCorrectPalette(const PaletteEntry* from, PaletteEntry* to, float gamma);
