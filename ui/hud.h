// The flight HUD's element list and its element types.
//
// Owns the registered-element list (up to 256 HUD records from the world's
// HUD pools, in registration order), the per-frame walk that updates,
// projects, draws and retargets them (UpdateHud), the projection into the
// main view, the generic line drawer, the fade in and out, and every
// element type: its initialiser and its update, draw and target-change
// routines. Also the hit indicators that the world sets and the panels and
// the view read. It does not own the contact list (ui/contacts.h) nor the
// flat frame of readouts.
#pragma once

#include <cstdint>

#include "world/records.h"

struct SceneItem;

// Hit indicators: set by hits on the controlled item, read by the view and
// the panels; a mission reset zeroes them (ClearHitIndicators).
extern int16_t gScreenShake[2];       // screen-shake counters of the controlled item
extern int32_t gLastHitAmount;        // the HUD's interference level; falls by the frame ticks
extern uint8_t gControlledHitCounter; // set by a hit on the controlled item
extern int32_t gScreenFlash;
extern SceneItem* gFtlSource;
extern int32_t gHudStringNumber;
extern int32_t gHudWatchedNumber;

// Element flags.
enum : uint32_t {
    kHudInUse = 0x1,
    kHudOrbMark = 0x2,
    kHudTyped = 0x10,
    kHudDepthShade = 0x80,       // segment colours darken with depth
    kHudHidden = 0x100,          // not drawn
    kHudNeedsShip = 0x200,       // drawn only while its subject is a live ship
    kHudShowUntargeted = 0x400,  // drawn without a subject despite a target-change routine
    kHudCubeMarker = 0x800,      // the cube's diagonal; no link line
    kHudWorldAnchored = 0x20000, // moves with the floating origin
};

constexpr int kMaxRegisteredHuds = 256;
constexpr int16_t kHudFadeTicks = 100;
constexpr uint8_t kHudColour = 64;

// The HUD's own state: one record, for the life of the program.
struct HudState {
    HUD* list[kMaxRegisteredHuds];
    int16_t count;
    uint8_t visible;        // 255 shown, 0 hidden
    int16_t fadeTimer;      // ticks
    int16_t fadeDirection;  // 1 fading in, -1 fading out, 0 none
    uint8_t colour;         // every HUD text and the fade dashes
    SceneItem* lastContact; // the current contact as last seen
    uint8_t forceTargetChange;
    int16_t lastBounds[4];    // screen box of the element last drawn: min x, min y, max x, max y
    int16_t bracketRect[4];   // the animated bracket: left, top, right, bottom
    int16_t contactOffset[2]; // the current contact's screen offset from the view centre
    uint8_t singleTrail;
    uint8_t contactFlash;
    // The selected target component was within the selection range at the
    // last HUD frame (the target panel marks its system only then).
    uint8_t componentInRange;
    // The asteroid-field wire sphere (MACROOB): one a mission, forgotten
    // with the list so a reused element is never taken for it.
    HUD* fieldSphere;
};
extern HudState gHud;

// The weapon sight over the main view, kept from frame to frame. The
// contact brackets fill in the mount and its arc each frame and hand it to
// DrawWeaponSight (view/vectoricons.h), which keeps the rest.
struct WeaponSightElement {
    Weapon* mount;      // the controlled item's current mount; null: no sight
    Vector3 edges[4];   // the arc's cone edges, in the item's frame
    Vector3 aim;        // toward the target (or ahead), in the item's frame
    float iconScale;    // 100 at rest; 1000 on a new target, then relaxing
    uint8_t inArc;      // the target lay in the mount's arc at the last draw
    uint8_t off;        // only the target's name is drawn
    uint8_t secondLine; // the name one line lower
};
extern WeaponSightElement gWeaponSight;
// Takes the controlled item's current mount and its arc into the sight.
void SyncWeaponSight();

// The space grid's spacing and ten times it; kept from frame to frame.
extern double gGridSpacing;
extern double gGridSpacingTen;

// ---- The list ----------------------------------------------------------------------------

// Appends the element; the first after an empty list starts a fade-in. The
// 257th is refused with the fatal error "Exceeded Max no. of HUDs".
void RegisterHud(HUD* element);
// Removes the entry at the position (later ones move down) and frees it.
void UnregisterHudAt(int position);
// Unregisters the element; nothing when it is not listed.
void UnregisterHud(HUD* element);
// Frees every listed element; single-trail mode and contact flash off.
void ClearHudList();
// Drops the cubes whose subject is dead or in another star-system group.
void RemoveOtherSystemHuds();
void ShowAllHuds();
void HideAllHuds();
// The HUD key: fades the HUD out when shown, else in; ignored while a
// camera mode or the director runs.
void ToggleHud();
// Moves the world points of world-anchored elements with the floating origin.
void OffsetTrailHuds(float x, float y, float z);
// The first named body of the current star-system group with this exact
// name (a text starting with a digit is a body id first); null when none.
SceneItem* FindNamedSceneItem(const char* name);
// Zeroes the hit indicators (two shake counters, last-hit amount, hit counter).
void ClearHitIndicators();

// ---- The frame ---------------------------------------------------------------------------

// The per-frame HUD over the main view: fade, target change, and each
// listed element updated, projected, drawn and retargeted in list order.
void UpdateHud();
// Draws one element held by a HUD window (no camera transform) when the
// player's ship exists.
void DrawHudElement(HUD* element);
// The draw gate: hidden, untargeted and dead-ship elements are skipped.
void DrawHudIfShown(HUD* element);
// Projects the element's points through the main view's camera.
void ProjectHudElement(HUD* element);
// Updates and projects the element without a camera transform.
void ProjectHudElementDefault(HUD* element);
// The generic line drawer: records the screen box, then draws each coloured
// segment whose ends both lie beyond depth 2000.
void DrawHudLines(HUD* element);
// The same as one horizontal line a segment, of random length (interference).
void DrawHudLinesJittered(HUD* element);
// The fade dashes at the percentage (cockpit view only).
void DrawHudFade(int32_t percent);

// ---- Building elements ---------------------------------------------------------------

void SetHudPoint(HudPoint& point, float x, float y, float z);
void SetHudSegment(HudSegment& segment, int16_t from, int16_t to, uint8_t colour);
// Appends a closed ring of n points and n segments; both cursors advance.
void AddHudRing(HUD* element, int& pointCursor, int& segmentCursor, float cx, float cy, float cz, float radius,
                float angle, const Matrix4& matrix, uint8_t colour, int n);
// Places the points on the subject; a dead subject unregisters the element.
void FollowSubjectHud(HUD* element);
// The class colour of an object from its Avatar class flags.
uint8_t HudClassColour(uint32_t classFlags);
// A world point as the main view's camera sees it: its offset in pixels
// from the view's centre and its depth; false (no offset) when it lies at
// or behind the camera, or there is no camera.
bool HudScreenOffset(const Vector3& world, float& x, float& y, float& depth);
// Where the HUD places an item: its Sim's position, else its Avatar's.
Vector3 HudItemPosition(const SceneItem* item);

// ---- Element types -------------------------------------------------------------------

HUD* InitOrbHud(HUD* element, SceneItem* subject, int32_t userData);
void UpdateOrbHud(HUD* element);
void DrawOrbHud(HUD* element);
HUD* InitSpaceGridHud(HUD* element, SceneItem* subject, int32_t userData);
void DrawSpaceGridHud(HUD* element);
// The grid spacing's exponent for a speed (LDS flight uses the LDS speed).
int GridExponent(double speed, bool lds);
HUD* InitCubeHud(HUD* element, const char* caption, SceneItem* subject, int32_t userData);
void DrawCubeHud(HUD* element);
HUD* InitCaptionScaleHud(HUD* element, const char* caption, SceneItem* subject, int32_t userData);
void UpdateCaptionScaleHud(HUD* element);
void DrawCaptionScaleHud(HUD* element);
void InitShipPartMarkersHud(HUD* element, SceneItem* subject, int32_t userData);
void InitFiringArcHud(HUD* element, SceneItem* subject, int32_t userData);
void DrawHudLinesNearOnly(HUD* element);
void InitModelPointMarkersHud(HUD* element, SceneItem* subject, int32_t userData);
void InitComponentBoxesHud(HUD* element, SceneItem* subject, int32_t userData);
// The selected target component's box: its corners slide halfway to the
// selected component's each frame (from one component to the next), drawn
// while a component is selected and the target lies within the selection
// range, twice the reach of the player's current mount.
void InitSelectedComponentHud(HUD* element, SceneItem* subject, int32_t userData);
void UpdateSelectedComponentHud(HUD* element);
void DrawSelectedComponentHud(HUD* element);
// Corner k (0-7) the box's point k slides toward.
void SetComponentCorner(HUD* element, int corner, float x, float y, float z);
HUD* InitPositionMarkerHud(HUD* element, SceneItem* subject, int32_t userData);
void DrawPositionMarkerHud(HUD* element);
HUD* InitTrailHud(HUD* element, SceneItem* subject, int32_t userData);
void UpdateTrailHud(HUD* element);
// The contact brackets: every visible contact marked in its class colour,
// the current one bracketed (sliding in when newly chosen) or, off screen,
// pointed at from the view's border; attackers blink their corners.
HUD* InitContactBracketsHud(HUD* element, SceneItem* subject, int32_t userData);
void DrawContactBrackets(HUD* element);
// Scale an off-screen offset from the view centre onto the rectangle
// (relative to the centre): the first pulls a point outside back onto the
// border, the second puts any direction on it.
void ClampOffsetToRect(float& x, float& y, float left, float top, float right, float bottom);
void ClampOffsetToEdge(float& x, float& y, float left, float top, float right, float bottom);
HUD* InitSphereHud(HUD* element, SceneItem* subject, int32_t userData, float cx, float cy, float cz, float rx, float ry,
                   float rz);
