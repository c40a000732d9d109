// The star map: the bridge's navigation map of the galaxy and the current
// star system. It shows the star catalogue from an orbiting camera, or the
// bodies of a system with their orbits; the player selects stars and
// bodies by mouse or by letter, zooms, filters what is selectable, flies
// the view into a system and back, and chooses the jump destination.
// Travel itself is MoveToSystem's (world/universe.h).
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct Star;
struct SystemBody;
struct Resource;
struct Canvas;

// 255 while the map's panel is open (the world and the script's timed waits
// stand still), 0 otherwise.
extern uint8_t gStarMapOpen;

constexpr int kStarMapIcons = 6; // gsv_lp, gsv_lps, gsv_stc, gsv_sts, gsv_os, gsv_stl
extern Resource* gStarMapIcons[kStarMapIcons];

constexpr int kStarLinkCount = 29;
constexpr int kMapSystems = 26;
constexpr int kGlobeCircles = 24;

struct StarLink {
    Star* a;
    Star* b;
    uint8_t marked;
};

struct StarMapState {
    char mode; // 'G' galaxy, 'S' system, 'T' into a system, 'I' back out
    Star* selectedStar;
    Star* mapStar;           // centre of the galaxy view
    SystemBody* focusedBody; // system view; null for none
    uint8_t transit;
    int32_t starFilter; // selectable stars share a bit with it
    int32_t bodyFilter; // selectable bodies share a class bit with it
    Vector3 centre;     // follows the current star
    uint8_t redraw;
    uint8_t zoom;
    int32_t outlineCount; // globe circles and orbit outlines
    Matrix4 globeTilt;    // the globe's turn around its focus
    // The camera: the map matrix's translation is the focus point.
    Matrix4 matrix;
    double distance;
    double height;
    float azimuth;
    float azimuthSpeed;
    float heightSpeed;
    float zoomSpeed;
    Vector3 camera;
    Vector3 moveVelocity; // per time unit of an animated move
    float moveTime;       // time units left of it
    float transitTime;    // time units since the transit began
    // The jump destination is the pending jump (screens/vesselorders.h),
    // which the capsule button carries out; this is its star's name.
    const char* destinationStar;
    // System number -> the star that represents it (null for none).
    Star* systemStars[kMapSystems + 1];
    StarLink links[kStarLinkCount];
    // Mouse drag: while the button is held, the cursor's offset from where
    // it went down, as a fraction of the map rectangle (-0.5 .. 0.5).
    uint8_t dragging;
    float pressX, pressY;
};
extern StarMapState gStarMap;

// Set up once with the universe: the star links, the stars' display names,
// the camera, mode 'G', current star 0.
void SetUpStarMap();
// Opens or closes the panel; creates the universe on first use. Opening
// it closes the document browser, the objectives view and the local view.
void ToggleStarMap();
void CloseStarMap();
// Selects the next star (galaxy) or body (system) whose name begins with
// the letter of the set-1 scan code; other codes are ignored.
void SelectMapItemByLetter(int scanCode);
void FocusMapOnStar(Star* star);
void ResetStarMapSelection();
void ClearStarLinkMarks();
// A selectable star or body shares a bit with the filter.
bool StarSelectable(const Star* star);
bool BodySelectable(const SystemBody* body);
// The buttons of the panel.
void StarMapZoomIn();
void StarMapZoomOut();
void StarMapEnterSystem();       // "BtNavSolar"
void StarMapLeaveSystem();       // "BtNavGalaxy"
void StarMapSelectDestination(); // "BtNavSelect"
// A mouse click at a point of the map rectangle (pixels from its corner).
void StarMapClick(int x, int y, int width, int height);
// One frame of the camera: moves, transits, drags and their decay.
void UpdateStarMapCamera(float ticks);
// Projects a point into the map rectangle: false when it lies behind the camera.
bool ProjectMapPoint(const Vector3& point, int width, int height, float* sx, float* sy, float* depth);

// ---- Drawing ---------------------------------------------------------------------

// What a frame of the map draws with: the map's font (script symbol
// "VFont"), the inverse colour table of the palette in use (null: no
// anti-aliased lines), the language of the status lines (0 English,
// 1 French, 2 German) and the frame count (the blinking "TRANSITING").
struct StarMapDrawing {
    const struct RasterFont* font;
    const uint8_t* inverseTable;
    int language;
    uint32_t frameCount;
    // The mouse, in canvas pixels: in galaxy mode the star under it is
    // marked ("gsv_stl"). Only while `cursorShown`.
    uint8_t cursorShown;
    int32_t cursorX, cursorY;
};

// Draws the map into the rectangle of the canvas.
void DrawStarMap(const Canvas& canvas, const struct ClipRect& rect, const StarMapDrawing& drawing);
// The status lines as drawn (for the panel and for tests): line 0 to 3.
void StarMapStatusLine(int line, int language, char* out, int size);

// The panel: binds the "SolarMap" window's callbacks and the buttons; the
// map draws within the window's rectangle.
void CreateSolarMapWindow();
