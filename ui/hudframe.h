// The flight HUD's flat frame over the main view.
//
// Owns what the pilot reads in flight besides the HUD elements: the corner
// marks, reticle and contact icon, the mission clock, the caption, the
// centred status and warning lines, the incoming missiles, the status word,
// the speed scale with its draggable setpoint and its boxed readouts, the
// bearing and elevation tapes and the energy-share gauge. UpdateHud draws
// it after the elements. It does not own the element list (ui/hud.h) nor
// the contact list (ui/contacts.h).
#pragma once

#include <cstdint>

struct SceneItem;
struct VectorShape;

constexpr int kIncomingMissiles = 5; // the most listed (of gProximityThreats, world/simframe.h)

// The frame's own state: one record for the life of the program.
struct HudFrameState {
    int32_t lastDamage;      // the player's hull value last frame (the flash)
    uint8_t damageSeen;      // lastDamage holds a value of this mission
    uint8_t setpointGrabbed; // the speed scale's setpoint mark follows the mouse
    // The caption line: its owner sets it every frame it is to show; the
    // frame clears it after drawing.
    uint8_t captionOn;
    const char* caption;
    SceneItem* captionItem;
    uint8_t tapesOption; // the bearing tapes show for every ship
    // The message line's text of this frame: a view drawn twice in one
    // frame (the station panel's scene and its HUD) ticks it once.
    uint16_t messageFrame;
    uint8_t messageTicked;
    const char* message;
    VectorShape* fighterOverlay; // the mission's "FiHUD" line shape, once found
};
extern HudFrameState gHudFrame;

// The frame over the main view, once a frame from UpdateHud.
void DrawFlightHudFrame();
// The caption line, centred near the view's top.
void DrawHudCaption();
// Corner marks, the centre cross or the current contact's mark, and the
// external view's orb.
void DrawHudReticle();
// A boxed number beside the speed scale, moved down to the minimum top.
void DrawReadoutBox(float value, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t minimumTop);
// The readout text: "%.2G" with a bare exponent (1.5E5) for 100000 and
// more or -10000 and less, else whole units, 0 within 1 of zero.
void FormatReadout(float value, char (&text)[32]);
// Angle of (x, y) in degrees: 90 - atan(y / x) for x >= 0, else
// -atan(y / x) - 90; (0, 0) is 0.
float BearingDegrees(float x, float y);

// One mark of a degree tape: its offset from the view's centre line along
// the tape, and its label (the degrees, wrapped into -180..180).
struct TapeMark {
    int32_t offset;
    int32_t degrees;
    bool labelled; // a multiple of 30: a number; otherwise two strokes
};
constexpr int kMaxTapeMarks = 20;
// The marks of a tape of the half angle (degrees) and focal length at the
// bearing; returns their count. Marks at a quarter turn or more are dropped.
int TapeMarks(float bearing, float halfAngle, float focal, TapeMark (&marks)[kMaxTapeMarks]);
void DrawBearingTape(float bearing);
void DrawElevationTape(float elevation);

// The colour of the energy-share gauge: the dominant share's ramp.
uint8_t HexGaugeColour(float a, float b, float c);
// The energy-share gauge of the given size about (x, y).
void DrawHexGauge(int32_t size, int32_t x, int32_t y);

// The speed scale's geometry for the view: the scale's x and its top y0.
void SpeedScaleOrigin(int32_t& x, int32_t& y0);
