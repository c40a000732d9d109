// The flight HUD's flat frame over the main view.
//
// Texts and lines go to the screen canvas in the HUD font, clipped to the
// main view's rectangle (8-bit screens only, like the elements' captions).
// Everything is drawn from what the world, the bridge and the contact list
// hold this frame; the frame keeps only the setpoint mark's grab, the last
// damage value, the caption of the frame and the incoming missiles.
#include "ui/hudframe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/weapons.h"
#include "framework/pixelmap.h"
#include "screens/bridge.h"
#include "screens/comstation.h"
#include "screens/wepstation.h"
#include "script/conditions.h"
#include "script/interpreter.h"
#include "script/symbols.h"
#include "system/canvas.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/settings.h"
#include "screens/icons.h"
#include "script/configstatements.h"
#include "system/text.h"
#include "ui/drawtypes.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/lwoloader.h"
#include "screens/vectormap.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "world/messages.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/behaviours.h"
#include "world/simframe.h"
#include "world/playerinput.h"
#include "world/universe.h"
#include "script/worldlink.h"

HudFrameState gHudFrame{};

namespace {

constexpr uint8_t kClear = 0;
constexpr uint8_t kGrabbedOutline = 47;
constexpr uint8_t kNoContactColour = 97;
constexpr int kCornerArm = 16;
constexpr int kCornerInset = 4;
constexpr float kRadiansPerDegree = 1 / 57.29578f;
constexpr float kBearingHalfAngle = 38.5f;
constexpr float kElevationHalfAngle = 22.5f;
constexpr uint32_t kSimLateralThrust = 0x8;
constexpr uint32_t kSimShield = 0x400000;
constexpr int kMissileCountdownText = 36; // of the language's text table
constexpr int kMissionFailedText = 163;
constexpr int kAutopilotNoticeText = 105;
constexpr int kDeveloperText = 19;
constexpr uint8_t kNoticeColour = 249;
constexpr uint8_t kJumpBoxColour = 64, kJumpReadyBoxColour = 97;
constexpr int kJumpLamps = 5;
constexpr int32_t kTestMissionNumber = 99;
constexpr int32_t kHealthSquaresRight = 124, kHealthSquaresDown = 4;

// Texts in the three languages (code page 1252).
using Texts = const char* const[3];
constexpr Texts kEmergencyText = {"ON EMERGENCY POWER: %i SECONDS LEFT", "ON EMERGENCY POWER: %i SECONDS LEFT",
                                  "ON EMERGENCY POWER: %i SECONDS LEFT"};
constexpr Texts kWaypointsText = {"Waypoints left: %i", "Waypoints left: %i", "verbleibende Koordinaten: %i"};
constexpr Texts kTimeLeftText = {"Time Left: %i:%02i", "Time Left: %i:%02i", "verbleibende Zeit: %i:%02i"};
constexpr Texts kFtlText = {"FTL Signal Strength at %2.2f%%", "FTL Signal Strength at %2.2f%%",
                            "FTL-Signal St\xE4rke: %2.2f%%"};
constexpr Texts kLdsInhibitText = {"LDS INHIBIT", "LDS INHIBIT", "LDS BLOCKIER"};
constexpr Texts kJumpDestinationText = {"LP DEST: %s", "DEST PL: %s", "LP ZIEL: %s"};
constexpr Texts kNoJumpDestinationText = {"NO DEST LP", "PAS DE DEST PL", "KEIN LP ZIEL"};

const char* Local(const Texts& texts) { return texts[gSettings.language < 3 ? gSettings.language : 0]; }

// The main view's rectangle on the screen, and whether the frame can draw.
struct View {
    Canvas canvas;
    ClipRect clip;
    int32_t left, top, right, bottom;
};

bool CurrentView(View& v)
{
    v.canvas = ScreenCanvas();
    if (!v.canvas.pixels)
        return false;
    const ViewRect& r = gView.viewport;
    v.left = r.left;
    v.top = r.top;
    v.right = r.right;
    v.bottom = r.bottom;
    v.clip = {int16_t(r.left), int16_t(r.top), int16_t(r.right), int16_t(r.bottom)};
    return r.right > r.left && r.bottom > r.top;
}

int16_t Px(int32_t v) { return int16_t(std::clamp<int32_t>(v, -32000, 32000)); }

void Line(const View& v, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t colour)
{
    CanvasLineClipped(v.canvas, Px(x1), Px(y1), Px(x2), Px(y2), colour, v.clip);
}

void Text(const View& v, int32_t x, int32_t y, const char* text, uint8_t colour)
{
    if (!gFontV || !text)
        return;
    int16_t tx = Px(x), ty = Px(y);
    CanvasDrawText(v.canvas, tx, ty, text, gFontV, colour, v.clip);
}

void Centred(const View& v, int32_t y, const char* text, uint8_t colour)
{
    if (!gFontV || !text)
        return;
    int16_t w = 0, h = 0;
    TextMeasure(text, gFontV, w, h);
    Text(v, (v.left + v.right) / 2 - w / 2, y, text, colour);
}

Sim* PlayerSim() { return gPlayerItem ? gPlayerItem->sim : nullptr; }

uint8_t HudColour() { return gHud.colour; }

// The warning line: the first of emergency power, waypoints, time limit
// and FTL signal that has something to say. The emergency text blinks and,
// while it is shown, holds the line for itself.
bool WarningLine(char (&text)[96])
{
    const ShipSystem* emergency = gShipSystems.emergencyPower ? FindShipSystem("EMERG ACC") : nullptr;
    if (emergency && emergency->level > 0 && gFrameClock.gameClock % 100 > 50) {
        std::snprintf(text, sizeof text, Local(kEmergencyText), int(emergency->level * 20));
        return true;
    }
    const ScriptVariables& vars = gScriptVars;
    if (vars.waypointCount != vars.waypointStartCount && vars.waypointCount > 0) {
        std::snprintf(text, sizeof text, Local(kWaypointsText), int(vars.waypointCount));
        return true;
    }
    if (gMissionTimeLimit.running) {
        const int32_t left = std::max(0, gMissionTimeLimit.countdown);
        std::snprintf(text, sizeof text, Local(kTimeLeftText), int(left / 6000), int((left / 100) % 60));
        return true;
    }
    const SceneItem* beacon = gFtlSource;
    const Sim* player = PlayerSim();
    if (beacon && beacon->sim && player && beacon->sceneGeneration == gPlayerItem->sceneGeneration) {
        const double dx = beacon->sim->position.x - player->position.x;
        const double dy = beacon->sim->position.y - player->position.y;
        const double dz = beacon->sim->position.z - player->position.z;
        const double k = 1 + std::sqrt(dx * dx + dy * dy + dz * dz) / 6e8;
        std::snprintf(text, sizeof text, Local(kFtlText), 100 / (k * k));
        return true;
    }
    return false;
}

// A loaded text (the language's text table) formatted with one integer.
// The table is data: a text whose conversions are not exactly one integer
// is shown as it stands rather than formatted.
const char* LoadedTextWithNumber(int index, int32_t value, char (&text)[96])
{
    const char* format = index >= 0 && index < kTextTableEntries ? gTextTable[index] : nullptr;
    if (!format)
        return nullptr;
    int conversions = 0;
    bool integer = false;
    for (const char* p = format; *p; ++p) {
        if (*p != '%')
            continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        ++conversions;
        const char* c = p + 1;
        while (*c && std::strchr("-+ #0123456789", *c))
            ++c;
        integer = *c == 'i' || *c == 'd';
    }
    if (conversions != 1 || !integer)
        std::snprintf(text, sizeof text, "%s", format);
    else
        std::snprintf(text, sizeof text, format, int(value));
    return text;
}

// A bar of the window layer's draw types, placed on the frame through a
// window record of its own outside the pool.
void DrawFrameBar(void (*draw)(WindowHandle*), int32_t x, int32_t y, int16_t width, int16_t height, float value,
                  float maximum)
{
    WindowHandle bar{};
    bar.anchor = kAnchorTopLeft;
    bar.flags = kWindowInUse;
    bar.x = Px(x);
    bar.y = Px(y);
    bar.width = width;
    bar.height = height;
    bar.value = value;
    bar.maximum = maximum;
    draw(&bar);
}

// While the LDS drive spools up: its progress as a level bar and its text.
void DrawLdsSpool(const View& v, const Sim* player)
{
    const int32_t countdown = player->ldsSpool;
    if (countdown == 0)
        return;
    const float spoolTime = player->flightModel ? player->flightModel->spoolTime : 0;
    if (countdown < 1)
        DrawFrameBar(guiDrawLevelBarWindow, v.left + 16, v.top + 8, 6, 56, float(-countdown), 100);
    else
        DrawFrameBar(guiDrawLevelBarWindow, v.left + 16, v.top + 8, 6, 56, spoolTime - float(countdown), spoolTime);
    Text(v, v.left + 26, v.top + 18, "LDS INIT", HudColour());
}

// The message line's text for this frame. Its time runs by frames, so it
// is ticked once a frame however often the HUD is drawn in it.
const char* MessageLineOfThisFrame()
{
    if (!gHudFrame.messageTicked || gHudFrame.messageFrame != gFrameClock.frameCounter) {
        gHudFrame.message = guiTickMessageLine();
        gHudFrame.messageFrame = gFrameClock.frameCounter;
        gHudFrame.messageTicked = 1;
    }
    return gHudFrame.message;
}

// The incoming missiles, the first five, upwards from above the message line.
void DrawIncomingMissiles(const View& v)
{
    const ProximityThreat* listed[kIncomingMissiles];
    int count = 0;
    for (const ProximityThreat& t : gProximityThreats)
        if (t.item && count < kIncomingMissiles)
            listed[count++] = &t;
    int32_t y = v.bottom - 24 - count * 10;
    char text[64];
    for (int i = 0; i < count; ++i, y += 10) {
        SceneItem* missile = listed[i]->item;
        std::snprintf(text, sizeof text, "MSL %i", i + 1);
        Text(v, v.right - 300, y, text, HudColour());
        const Contact* row = FindContactRow(missile);
        const ShipInfo* info = missile && missile->sim ? missile->sim->shipInfo : nullptr;
        if (info && info->name && row && (missile->avatar->classFlags & kContactClassMask) == row->classFlags)
            Text(v, v.right - 250, y, info->name, HudColour());
        const float r = listed[i]->distance / 100000;
        if (r >= 1000)
            std::snprintf(text, sizeof text, "R: %.1fKK", double(r / 1000));
        else
            std::snprintf(text, sizeof text, "R: %.1f", double(r));
        Text(v, v.right - 140, y, text, HudColour());
    }
}

// The current contact's bearing and elevation from the player's frame.
void DrawTapes()
{
    const SceneItem* contact = CurrentContactItem();
    const Sim* player = PlayerSim();
    if (!contact || !contact->sim || !player)
        return;
    const bool fighter = player->shipInfo && player->shipInfo->kind == 7;
    if (!fighter && !gHudFrame.tapesOption)
        return;
    const Matrix4& m = player->matrix;
    const Vector3 d{contact->sim->matrix.m[12] - m.m[12], contact->sim->matrix.m[13] - m.m[13],
                    contact->sim->matrix.m[14] - m.m[14]};
    Vector3 local;
    VecMulMat3T(local, d, m);
    const float bearing = BearingDegrees(local.x, local.z);
    // Turned about Y by -bearing, the contact lies in the y-z plane.
    const float a = -bearing * kRadiansPerDegree;
    const float z = -local.x * std::sin(a) + local.z * std::cos(a);
    const float elevation = -BearingDegrees(local.y, z);
    DrawBearingTape(bearing);
    DrawElevationTape(elevation);
}

// The status word at the view's top left; true when something was drawn.
bool DrawStatusWord(const View& v)
{
    const Sim* player = PlayerSim();
    if (!player)
        return false;
    const bool blinkOn = gFrameClock.gameClock % 200 > 100;
    // A failed mission (but the test mission's) says so there, blinking.
    if (gScriptMission.missionFailed && gScriptVars.missionNumber != kTestMissionNumber) {
        if (!blinkOn || !gTextTable[kMissionFailedText])
            return false;
        Text(v, v.left + 8, v.top + 15, gTextTable[kMissionFailedText], HudColour());
        return true;
    }
    if (player->flags & kSimShield) {
        Text(v, v.left + 8, v.top + 15, "SHIELD", HudColour());
        return true;
    }
    if (blinkOn && (player->flags & kSimLdsBarred)) {
        Text(v, v.left + 8, v.top + 15, Local(kLdsInhibitText), HudColour());
        return true;
    }
    return false;
}

// The jump's destination line: the Lagrange point the capsule drive would
// take the ship to, or that none is chosen.
void JumpDestinationText(char (&text)[96])
{
    const SystemBody* body = gLagrangeDestination.system != 0 ? gLagrangeDestination.body : nullptr;
    if (body)
        std::snprintf(text, sizeof text, Local(kJumpDestinationText), body->name);
    else
        std::snprintf(text, sizeof text, "%s", Local(kNoJumpDestinationText));
}

// While a jump check runs at a Lagrange point: the five drive-status
// lamps in their box, each lit while its reason not to jump holds (in the
// LDS, too slow, too fast, off the heading, out of place), and the
// destination below. At COM the destination shows in the status word's
// place when no check runs and the place is free.
void DrawJumpLamps(const View& v, bool statusWordDrawn)
{
    const Sim* player = PlayerSim();
    const int32_t lamps = gPlayerInput.jumpLamps;
    char text[96];
    JumpDestinationText(text);
    if (lamps == 0) {
        if (CurrentStation == kStationCom && !statusWordDrawn)
            Text(v, v.left + 8, v.top + 15, text, HudColour());
        return;
    }
    const uint8_t colour = player && (player->flags & kSimJumpReady) ? kJumpReadyBoxColour : kJumpBoxColour;
    guiDrawOutline(v.canvas, colour, Px(v.right - 102), Px(v.top + 6), Px(v.right - 6), Px(v.top + 34));
    for (int i = 0; i < kJumpLamps; ++i) {
        const Bitmap* lamp = gBridgeIcons.driveLamps[(lamps & (1 << i)) ? kJumpLamps + i : i];
        if (lamp && lamp->pixels)
            CanvasBlitClipped(v.canvas, *lamp, v.clip, Px(v.right - 100 + 19 * i), Px(v.top + 8));
    }
    Text(v, v.right - 102, v.top + 45, text, HudColour());
}

// The ship flown by an order (the autopilot): the notice says so.
bool AutopilotNotice()
{
    const SceneItem* controlled = gControlledItem;
    return controlled && controlled->sim && (controlled->sim->flags & kSimAiControl);
}

// ---- The speed scale --------------------------------------------------------------

// The scale's reading of a speed, as a height from y0: the logarithmic
// scale spans 1e5 to 1e10, the linear one -M to M about its middle. Speeds
// the scale cannot place (no maximum, no LDS speed) sit at its end.
int32_t LogHeight(float v, int32_t y0)
{
    if (!(v > 0))
        return y0 + 100;
    const float h = (std::log10(v) - 5) * 20;
    return y0 + 100 - int32_t(std::clamp(h, 0.0f, 100.0f));
}

int32_t LinearHeight(float v, float maximum, int32_t y0)
{
    if (!(maximum > 0))
        return y0;
    return y0 + 50 - int32_t(std::clamp(v * 50 / maximum, -50.0f, 50.0f));
}

// The setpoint mark: a small triangle pointing at the scale from the right.
void SetpointMark(const View& v, int32_t x, int32_t y)
{
    const uint8_t c = HudColour();
    Line(v, x + 1, y, x + 6, y - 5, c);
    Line(v, x + 6, y - 5, x + 6, y + 5, c);
    Line(v, x + 6, y + 5, x + 1, y, c);
}

void DrawSpeedScale(const View& v)
{
    Sim* player = PlayerSim();
    if (!player)
        return;
    int32_t x, y0;
    SpeedScaleOrigin(x, y0);
    const uint8_t c = HudColour();
    if (x - 48 < v.left)
        CanvasFillRect(v.canvas, kClear, Px(x - 48), Px(y0 - 15), Px(v.left), Px(y0 + 105));
    Line(v, x, y0, x, y0 + 100, c);

    const bool lds = player->flags & kSimLdsEngaged;
    const float maximum = player->flightModel ? player->flightModel->topSpeed : 0;
    const float setpoint = player->ldsTargetSpeed;
    const float speed = lds ? player->thrust.z : player->localVelocity.z;
    int32_t setY, speedY;
    if (lds) {
        for (int k = 0; k < 6; ++k)
            Line(v, x, y0 + 100 - 20 * k, x + 5, y0 + 100 - 20 * k, c);
        setY = LogHeight(setpoint, y0);
        speedY = LogHeight(speed, y0);
    } else {
        Line(v, x, y0, x + 5, y0, c);
        Line(v, x, y0 + 100, x + 5, y0 + 100, c);
        Line(v, x, y0 + 50, x + 10, y0 + 50, c);
        setY = LinearHeight(setpoint, maximum, y0);
        speedY = LinearHeight(speed, maximum, y0);
    }

    // The drag: grabbed strictly inside the box beside the mark, held while
    // the left button stays down. The height is kept on the scale, so the
    // setpoint stays within the scale's span.
    const bool down = GetKeyStateBlock()[kStateMouseLeft] != 0;
    if (!down)
        gHudFrame.setpointGrabbed = 0;
    else if (gMouse.x > x - 48 && gMouse.x < x - 5 && gMouse.y > setY - 5 && gMouse.y < setY + 5)
        gHudFrame.setpointGrabbed = 1;
    if (gHudFrame.setpointGrabbed) {
        const int32_t y = std::clamp<int32_t>(gMouse.y, y0, y0 + 100);
        player->ldsTargetSpeed = lds ? float(std::pow(10.0, (y0 + 100 - y) * 0.05 + 5))
                                     : float(y0 + 50 - y) * maximum / 50;
        ClampSpeedSetpoint();
    }

    SetpointMark(v, x, setY);
    if (player->ldsTargetSpeed != speed)
        DrawReadoutBox(player->ldsTargetSpeed / 100, x - 48, setY - 5, x - 5, setY + 5, y0 - 15);
    Line(v, x, speedY, x + 15, speedY, c);
    DrawReadoutBox(speed / 100, x - 48, speedY - 5, x - 5, speedY + 5, y0 - 15);
}


// ---- The developer's pages ---------------------------------------------------------

// A scene item's name for the developer's page: its ship's name, else
// "UNNAMED"; "NONE" without one.
const char* DebugItemName(const SceneItem* item)
{
    if (!item)
        return "NONE";
    const ShipInfo* info = item->sim ? item->sim->shipInfo : nullptr;
    return info && info->name ? info->name : "UNNAMED";
}

// Page 1: the script line running, the message buffer in use and the frame
// rate (frames a second from the frame's ticks).
void DrawDebugPageOne(const View& v)
{
    char line[256];
    GetScriptLineText(line);
    if (line[0])
        Text(v, v.left + 48, v.top + 16, line, HudColour());
    char text[64];
    std::snprintf(text, sizeof text, "Message Buffer: %i", GetMessageStats().bytesUsed);
    Text(v, v.left + 48, v.top + 28, text, HudColour());
    const int32_t ticks = gFrameClock.frameTicks;
    std::snprintf(text, sizeof text, "%02i", int(ticks > 0 ? 100 / ticks : 100));
    Text(v, v.right - 20, v.top + 16, text, HudColour());
}

// Page 2: what the current contact's AI is doing, in its class colour.
void DrawDebugPageTwo(const View& v)
{
    const Contact* row = gContacts.current;
    SceneItem* item = row ? row->item : nullptr;
    const Sim* sim = item ? item->sim : nullptr;
    const ShipInfo* info = sim ? sim->shipInfo : nullptr;
    if (!info)
        return;
    const uint8_t c = row->contactClass == 7 ? kNoContactColour : HudClassColour(row->classFlags);
    char text[160];
    int32_t y = v.top + 16;
    auto line = [&](const char* format, auto... values) {
        std::snprintf(text, sizeof text, format, values...);
        Text(v, v.left + 48, y, text, c);
        y += 10;
    };
    float sx = 0, sy = 0, depth = 0;
    HudScreenOffset(HudItemPosition(item), sx, sy, depth);
    const double apparent = std::fabs(depth) > 0 ? double(sim->radius) * 900 / std::fabs(depth) : 0.0;
    line("SHIP: %s A: %.1f", info->name ? info->name : "UNNAMED", apparent);
    const bool ordered = info->currentOrder >= 0 && info->currentOrder < kOrderSlots &&
                         info->orders[info->currentOrder].name;
    line("ORDER: %s", ordered ? info->orders[info->currentOrder].name : "No Order");
    const int32_t frame = std::clamp(info->currentFrame, 0, kAIStackFrames - 1);
    const AIStateFrame& top = info->stateStack[frame];
    const char* state = top.stateId > 0 && top.stateId < kAIStateSlots ? gAIStates.names[top.stateId] : nullptr;
    line("STATE: %s", state ? state : "NONE");
    line("SUBSTATE: %i", int(top.subState));
    line("NAVTARGET: %s", DebugItemName(sim->navTarget.Get()));
    line("WEPTARGET: %s", DebugItemName(sim->target.Get()));
    line("AVOID: %s", DebugItemName(item->avatar ? item->avatar->obstacle.Get() : nullptr));
    line("DAMAGE: %i", int(info->damage.hullDamage));
    line("%s", (sim->flags & kSimLdsEngaged) ? "LDS" : "THR");
    line("SPEED %i m/s", int(sim->speed / 100));
    line("LOCAL %i %i %i", int(sim->localVelocity.x), int(sim->localVelocity.y), int(sim->localVelocity.z));
    line("FORCE %i %i %i", int(sim->thrust.x), int(sim->thrust.y), int(sim->thrust.z));
    if (item->flags & kItemNearPlanet)
        line("ALT: %.1f KM", double(sim->altitude / 100000));
}

// ---- Gauges and markers --------------------------------------------------------------

constexpr uint8_t kLevelBarWidth = 45, kLevelBarHeight = 6;
constexpr const char* kLevelBarSystems[2] = {"REACTOR", "EMERG ACC"}; // the lower bar first

// The reactor's level and the emergency accumulator's charge, as level bars
// left of the message line.
void DrawLevelBars(const View& v)
{
    if (!gPlayerItem || gShipSystems.systemsShip != gPlayerItem)
        return;
    for (int i = 0; i < 2; ++i)
        if (const ShipSystem* system = FindShipSystem(kLevelBarSystems[i]))
            DrawFrameBar(guiDrawLevelHBarWindow, v.left + 13, v.bottom - 23 - 9 * i, kLevelBarWidth, kLevelBarHeight,
                         system->level * 100, 100);
}

// A diamond of the half size about (x, y).
void Diamond(const View& v, int32_t x, int32_t y, int32_t half, uint8_t colour)
{
    Line(v, x - half, y, x, y - half, colour);
    Line(v, x, y - half, x + half, y, colour);
    Line(v, x + half, y, x, y + half, colour);
    Line(v, x, y + half, x - half, y, colour);
}

// The point a world position is seen at on the screen; false when behind.
bool ScreenPoint(const View& v, const Vector3& world, int32_t& x, int32_t& y)
{
    float sx = 0, sy = 0, depth = 0;
    if (!HudScreenOffset(world, sx, sy, depth))
        return false;
    x = (v.left + v.right) / 2 + int32_t(std::clamp(sx, -32000.0f, 32000.0f));
    y = (v.top + v.bottom) / 2 + int32_t(std::clamp(sy, -32000.0f, 32000.0f));
    return true;
}

bool InsideView(const View& v, int32_t x, int32_t y, int32_t margin)
{
    return x >= v.left + margin && x <= v.right - margin && y >= v.top + margin && y <= v.bottom - margin;
}

constexpr uint32_t kWeaponAutoFire = 0x20;
constexpr float kAimNearest = 22000, kAimUntargeted = 100000;
constexpr int32_t kAimInset = 7;

// In rapid (component) fire, where the current mount's auto-fire aims: a
// small diamond with a stalk toward the centre, in the target's colour.
void DrawAimMarker(const View& v)
{
    const Sim* player = PlayerSim();
    const Weapon* mount = player ? player->currentWeapon : nullptr;
    if (!mount || !(mount->flags & kWeaponAutoFire) || !RapidMode)
        return;
    const SceneItem* target = mount->target.Get();
    const bool alive = target && (target->flags & kItemInUse) && target->sim;
    const Vector3 own = HudItemPosition(gPlayerItem);
    float range = kAimUntargeted;
    if (alive) {
        const Vector3 at = HudItemPosition(target);
        const float dx = at.x - own.x, dy = at.y - own.y, dz = at.z - own.z;
        range = std::max(kAimNearest, std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    const Vector3 d = DirectionCodeVector(mount->directionCode);
    const Vector3 local{d.x * range + mount->mountPosition.x, d.y * range + mount->mountPosition.y,
                        d.z * range + mount->mountPosition.z};
    Vector3 world;
    MatRotateVec(player->matrix, local, world);
    world = {world.x + own.x, world.y + own.y, world.z + own.z};
    int32_t x, y;
    if (!ScreenPoint(v, world, x, y))
        return;
    x = std::clamp(x, v.left + kAimInset, v.right - kAimInset);
    y = std::clamp(y, v.top + kAimInset, v.bottom - kAimInset);
    const Contact* row = alive ? FindContactRow(const_cast<SceneItem*>(target)) : nullptr;
    const uint8_t colour = row ? HudClassColour(row->classFlags) : kNoContactColour;
    Diamond(v, x, y, 3, colour);
    const int32_t cx = (v.left + v.right) / 2, cy = (v.top + v.bottom) / 2;
    const float dx = float(cx - x), dy = float(cy - y), length = std::sqrt(dx * dx + dy * dy);
    if (length > 8)
        Line(v, x + int32_t(dx * 4 / length), y + int32_t(dy * 4 / length), x + int32_t(dx * 8 / length),
             y + int32_t(dy * 8 / length), colour);
}

constexpr float kLeadSpeed = 600000; // the lead time: surface distance / this

// In rapid fire, where the weapons target will be when a shot reaches it:
// a diamond with wings, when that lies off the target's own box.
void DrawLeadMarker(const View& v)
{
    const SceneItem* target = gPlayerItem && gPlayerItem->sim ? gPlayerItem->sim->target.Get() : nullptr;
    if (!RapidMode || !target || !(target->flags & kItemInUse) || !target->sim)
        return;
    int32_t tx, ty;
    const Vector3 at = HudItemPosition(target);
    if (!ScreenPoint(v, at, tx, ty) || !InsideView(v, tx, ty, 0))
        return;
    const float t = GetSurfaceDistance(gPlayerItem, target) / kLeadSpeed;
    const Vector3& velocity = target->sim->velocity;
    const Vector3 ahead{at.x + velocity.x * t, at.y + velocity.y * t, at.z + velocity.z * t};
    int32_t x, y;
    if (!ScreenPoint(v, ahead, x, y) || !InsideView(v, x, y, kAimInset))
        return;
    // The target's box: its radius as seen, at least the 16-pixel box of a
    // ship drawn as a point, widened by 4.
    float sx = 0, sy = 0, depth = 0;
    HudScreenOffset(at, sx, sy, depth);
    const int32_t half = int32_t(std::max(8.0f, depth > 0 ? target->sim->radius * gProjectionDistance / depth : 8.0f)) + 4;
    if (std::abs(x - tx) <= half && std::abs(y - ty) <= half)
        return;
    const uint8_t c = HudColour();
    Diamond(v, x, y, 7, c);
    Line(v, x - 11, y, x - 8, y, c);
    Line(v, x + 8, y, x + 11, y, c);
}

constexpr int32_t kFighterKind = 7;
constexpr float kFighterOverlayScale = 2;

// A fighter's pilot sees the fighter's own sight over the view: the
// mission's line shape "FiHUD", twice its size about the view's centre.
void DrawFighterOverlay(const View& v)
{
    const Sim* player = PlayerSim();
    const bool pilotsView = !gDirectorOn && !gCameras.view.directorTarget && gControlledItem;
    if (!pilotsView || !player || !player->shipInfo || player->shipInfo->kind != kFighterKind)
        return;
    // The shape lives with the mission: fetched again once its record is freed.
    if (!AsVectorShape(gHudFrame.fighterOverlay))
        gHudFrame.fighterOverlay = AsVectorShape(GetScriptSymbolValue("FiHUD"));
    const VectorShape* overlay = gHudFrame.fighterOverlay;
    const WireShape* set = overlay ? overlay->segments : nullptr;
    if (!set)
        return;
    const float cx = float(v.left + v.right) / 2, cy = float(v.top + v.bottom) / 2;
    auto at = [&](float centre, float offset, float value) {
        return int32_t(std::clamp(centre + (value + offset) * kFighterOverlayScale, -32000.0f, 32000.0f));
    };
    for (int32_t e = 0; e < set->edgeCount; ++e) {
        const int32_t a = set->edges[e][0], b = set->edges[e][1];
        if (a < set->pointCount && b < set->pointCount)
            Line(v, at(cx, overlay->x, set->points[a][0]), at(cy, overlay->y, set->points[a][1]),
                 at(cx, overlay->x, set->points[b][0]), at(cy, overlay->y, set->points[b][1]), HudColour());
    }
}

// The external view: the navigation orb about the view's centre.
void DrawExternalOrb()
{
    HUD* orb = gCockpitOrbs[0];
    if (!orb)
        return;
    UpdateOrbHud(orb);
    DrawHudElement(orb);
}

} // namespace

namespace {

constexpr int32_t kDamageFlashTicks = 200;

// A change of the player's hull since the last frame flashes the panels.
void NoteDamage(const Sim* player)
{
    if (gHudFrame.damageSeen && player->hull != gHudFrame.lastDamage)
        gLastHitAmount = std::max(gLastHitAmount, kDamageFlashTicks);
    gHudFrame.lastDamage = player->hull;
    gHudFrame.damageSeen = 1;
}

} // namespace

void DrawFlightHudFrame()
{
    View v;
    if (!CurrentView(v)) {
        ClearIncomingMissiles();
        return;
    }
    DrawHudCaption();
    if (HudDebugPage == 1)
        DrawDebugPageOne(v);
    else if (HudDebugPage == 2)
        DrawDebugPageTwo(v);
    if (!gHud.visible || gDirectorOn) {
        ClearIncomingMissiles();
        return;
    }
    DrawHudReticle();
    if (gExternalView)
        DrawHexGauge(24, 497, 448);

    char text[96];
    const uint32_t now = gFrameClock.gameClock;
    std::snprintf(text, sizeof text, "T: %i:%02i", int(now / 6000), int((now / 100) % 60));
    Text(v, v.right - 50, v.bottom - 8, text, HudColour());

    const Sim* player = PlayerSim();
    const int32_t upper = gExternalView ? v.top + 28 : v.top + 16;
    if (AutopilotNotice() && gTextTable[kAutopilotNoticeText])
        Centred(v, v.top + 28, gTextTable[kAutopilotNoticeText], kNoticeColour);
    else if (player && (player->flags & kSimLateralThrust))
        Centred(v, upper, "LATERAL THR", HudColour());

    if (const char* message = MessageLineOfThisFrame())
        Centred(v, v.bottom - 24, message, HudColour());

    if (WarningLine(text))
        Centred(v, v.bottom - 36, text, HudColour());

    if (gSettings.developerKeys && gTextTable[kDeveloperText])
        Text(v, v.left + 86, v.top + 41, gTextTable[kDeveloperText], HudColour());

    if (!gRemoteLinkItem)
        DrawIncomingMissiles(v);
    ClearIncomingMissiles();

    // A guided missile flown by remote link: its countdown.
    const SceneItem* remote = gRemoteLinkItem;
    if (remote && remote->perFrame == GuidedMissileStep && remote->sim)
        if (const char* countdown = LoadedTextWithNumber(kMissileCountdownText, remote->sim->countdown, text))
            Centred(v, v.top + 28, countdown, HudColour());

    // The mission's counter (HUD_STRING): its text with the number.
    if (const char* counter = gHudStringNumber ? LoadedTextWithNumber(gHudStringNumber, gHudWatchedNumber, text) : nullptr)
        Centred(v, upper, counter, HudColour());

    DrawTapes();

    if (gPlayerItem && player && (gPlayerItem->flags & kItemNearPlanet)) {
        std::snprintf(text, sizeof text, "ALT: %.1f KM", double(player->altitude / 100000));
        Text(v, v.right - 100, v.top + 18, text, HudColour());
    }
    DrawJumpLamps(v, DrawStatusWord(v));

    const int compression = int(gFrameClock.timeCompression);
    if (compression != 1) {
        std::snprintf(text, sizeof text, "TIME x%i", compression);
        Text(v, v.left + 8, v.bottom - 10, text, HudColour());
    }
    if (player)
        NoteDamage(player);
    DrawLevelBars(v);
    if (player)
        DrawLdsSpool(v, player);
    DrawSpeedScale(v);
}

void DrawHudCaption()
{
    View v;
    const bool shown = gHudFrame.captionOn && gHudFrame.caption && CurrentView(v) && !gDirectorOn;
    if (shown) {
        char text[160];
        const SceneItem* item = gHudFrame.captionItem;
        const ShipInfo* info = item && item->sim ? item->sim->shipInfo : nullptr;
        if (info && info->name)
            std::snprintf(text, sizeof text, "%s - %s", gHudFrame.caption, info->name);
        else
            std::snprintf(text, sizeof text, "%s", gHudFrame.caption);
        Centred(v, v.top + 16, text, HudColour());
    }
    // A caption shows only while its owner sets it each frame.
    gHudFrame.caption = nullptr;
    gHudFrame.captionItem = nullptr;
}

void DrawHudReticle()
{
    View v;
    if (!CurrentView(v))
        return;
    const uint8_t c = HudColour();
    const int32_t l = v.left + kCornerInset, t = v.top + kCornerInset;
    const int32_t r = v.right - kCornerInset, b = v.bottom - kCornerInset;
    struct Corner {
        int32_t x, y, dx, dy;
    } const corners[] = {{l, t, 1, 1}, {r, t, -1, 1}, {l, b, 1, -1}, {r, b, -1, -1}};
    for (const Corner& k : corners) {
        Line(v, k.x, k.y, k.x + k.dx * (kCornerArm - 1), k.y, c);
        Line(v, k.x, k.y, k.x, k.y + k.dy * (kCornerArm - 1), c);
    }
    if (gPlayerItem)
        DrawAimMarker(v);
    const int32_t cx = (v.left + v.right) / 2, cy = (v.top + v.bottom) / 2;
    const Contact* contact = gContacts.current && gContacts.current->item ? gContacts.current : nullptr;
    if (contact) {
        // The contact's direction from the centre, when it lies off centre.
        const uint8_t colour = contact->contactClass == 7 ? kNoContactColour : HudClassColour(contact->classFlags);
        // Its icon at the centre in one colour: the picture's set pixels.
        if (const Bitmap* icon = ContactIconPicture(guiContactIconIndex(contact->item), kIconNormal); icon && icon->pixels)
            for (int32_t y = 0; y < icon->height; ++y)
                for (int32_t x = 0; x < icon->width; ++x)
                    if (icon->pixels[y * icon->width + x])
                        CanvasPlotClipped(v.canvas, colour, Px(cx - icon->width / 2 + x), Px(cy - icon->height / 2 + y),
                                          v.clip);
        const float ox = gHud.contactOffset[0], oy = gHud.contactOffset[1];
        const float length = std::sqrt(ox * ox + oy * oy);
        if (length > 15) {
            const float ux = ox / length, uy = oy / length;
            Line(v, cx + int32_t(ux * 15), cy + int32_t(uy * 15), cx + int32_t(ux * 20), cy + int32_t(uy * 20), colour);
        }
    } else {
        Line(v, cx - 7, cy, cx - 3, cy, c);
        Line(v, cx + 3, cy, cx + 7, cy, c);
        Line(v, cx, cy - 7, cx, cy - 3, c);
        Line(v, cx, cy + 3, cx, cy + 7, c);
        CanvasPlotClipped(v.canvas, c, Px(cx), Px(cy), v.clip);
    }
    DrawLeadMarker(v);
    DrawFighterOverlay(v);
    if (gExternalView)
        DrawExternalOrb();
    // The health of the player's ship systems, a square each.
    if (gPlayerItem)
        guiDrawSystemHealthSquares(v.canvas, gPlayerItem, 0, 0, Px(v.right - kHealthSquaresRight),
                                   Px(v.top + kHealthSquaresDown));
}

void FormatReadout(float value, char (&text)[32])
{
    if (value >= 100000 || value <= -10000) {
        char raw[32];
        std::snprintf(raw, sizeof raw, "%.2G", double(value));
        const char* e = std::strchr(raw, 'E');
        if (!e) {
            std::snprintf(text, sizeof text, "%s", raw);
            return;
        }
        // The exponent's digits without its sign and leading zeros.
        const char* digits = e + 1;
        if (*digits == '+' || *digits == '-')
            ++digits;
        while (digits[0] == '0' && digits[1])
            ++digits;
        std::snprintf(text, sizeof text, "%.*sE%s", int(e - raw), raw, digits);
        return;
    }
    std::snprintf(text, sizeof text, "%.0f", std::fabs(value) < 1 ? 0.0 : double(value));
}

void DrawReadoutBox(float value, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t minimumTop)
{
    View v;
    if (!CurrentView(v))
        return;
    if (top < minimumTop) {
        bottom += minimumTop - top;
        top = minimumTop;
    }
    char text[32];
    FormatReadout(value, text);
    CanvasFillRect(v.canvas, kClear, Px(left + 1), Px(top + 1), Px(right - 1), Px(bottom - 1));
    guiDrawOutline(v.canvas, gHudFrame.setpointGrabbed ? kGrabbedOutline : HudColour(), Px(left), Px(top), Px(right),
                   Px(bottom));
    if (gFontV) {
        int16_t x = Px(left + 4), y = Px(bottom - 1);
        CanvasDrawText(v.canvas, x, y, text, gFontV, HudColour(), ClipRect{0, 0, 639, 479});
    }
}

float BearingDegrees(float x, float y)
{
    // Straight above or below (x = 0) is a quarter turn; no division by zero.
    if (x == 0 && y == 0)
        return 0;
    const float a = x != 0 ? std::atan(y / x) * 180 / 3.1415926f : y > 0 ? 90.0f
                                                                         : -90.0f;
    return x >= 0 ? 90 - a : -a - 90;
}

int TapeMarks(float bearing, float halfAngle, float focal, TapeMark (&marks)[kMaxTapeMarks])
{
    const int32_t centre = int32_t(std::floor(-bearing / 10));
    const int32_t reach = int32_t(std::floor(halfAngle / 10 + 1));
    int n = 0;
    for (int32_t k = centre - reach; k <= centre + reach && n < kMaxTapeMarks; ++k) {
        const float d = float(k * 10);
        const float angle = bearing + d;
        if (std::fabs(angle) >= 90)
            continue;
        int32_t degrees = k * 10;
        while (degrees > 180)
            degrees -= 360;
        while (degrees < -180)
            degrees += 360;
        marks[n++] = {int32_t(std::lround(std::tan(angle * kRadiansPerDegree) * focal)), degrees, degrees % 30 == 0};
    }
    return n;
}

namespace {

// A tape along the view's top (horizontal) or right edge (vertical).
void DrawTape(float value, float halfAngle, bool vertical)
{
    View v;
    if (!CurrentView(v))
        return;
    const uint8_t c = HudColour();
    const int32_t cx = (v.left + v.right) / 2, cy = (v.top + v.bottom) / 2;
    const float span = vertical ? float(v.bottom - v.top) : float(v.right - v.left);
    const float focal = span / 2 / std::tan(halfAngle * kRadiansPerDegree);
    // Along the tape a, across it b (b grows into the view).
    auto line = [&](int32_t a1, int32_t b1, int32_t a2, int32_t b2) {
        if (vertical)
            Line(v, v.right - 2 - b1, cy - a1, v.right - 2 - b2, cy - a2, c);
        else
            Line(v, cx + a1, v.top + 2 + b1, cx + a2, v.top + 2 + b2, c);
    };
    line(0, 0, 0, 4);
    line(0, 8, 0, 10);
    TapeMark marks[kMaxTapeMarks];
    const int n = TapeMarks(value, halfAngle, focal, marks);
    char text[16];
    for (int i = 0; i < n; ++i) {
        const TapeMark& m = marks[i];
        line(m.offset, 0, m.offset, 5);
        if (m.degrees == 0)
            line(m.offset - 2, 7, m.offset + 2, 7);
        if (m.labelled) {
            std::snprintf(text, sizeof text, "%d", int(m.degrees));
            if (vertical)
                Text(v, v.right - 30, cy - m.offset + 3, text, c);
            else
                Text(v, cx + m.offset - 6, v.top + 18, text, c);
        } else {
            const int32_t lean = m.degrees < 0 ? -2 : 2;
            line(m.offset - 1, 8, m.offset - 1 + lean, 12);
            line(m.offset + 1, 8, m.offset + 1 + lean, 12);
        }
    }
}

} // namespace

void DrawBearingTape(float bearing) { DrawTape(bearing, kBearingHalfAngle, false); }

void DrawElevationTape(float elevation) { DrawTape(elevation, kElevationHalfAngle, true); }

uint8_t HexGaugeColour(float a, float b, float c)
{
    if (a > b + c)
        return uint8_t(143 - (a - (b + c)) * 12);
    if (b > a + c)
        return uint8_t(79 - (b - (a + c)) * 16);
    if (c > a + b)
        return uint8_t(111 - (c - (a + b)) * 16);
    return 79;
}

void DrawHexGauge(int32_t size, int32_t x, int32_t y)
{
    View v;
    if (!CurrentView(v))
        return;
    const float a = gEnergyShares[0], b = gEnergyShares[1], c = gEnergyShares[2];
    const uint8_t colour = HexGaugeColour(a, b, c);
    const int32_t h = int32_t(0.5f * float(size)), w = int32_t(0.866f * float(size)), t = -int32_t(0.9f * float(size));
    const int32_t outline[6][2] = {{x - 7, y + t}, {x + 7, y + t}, {x + w + 7, y + h}, {x + w, y + h + 11}, {x - w, y + h + 11}, {x - w - 7, y + h}};
    // The gauge sits anywhere on the screen, not only in the view.
    const ClipRect screen = CanvasBounds(v.canvas);
    auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        CanvasLineClipped(v.canvas, Px(x1), Px(y1), Px(x2), Px(y2), colour, screen);
    };
    for (int i = 0; i < 6; ++i)
        line(outline[i][0], outline[i][1], outline[(i + 1) % 6][0], outline[(i + 1) % 6][1]);
    const int32_t mx = x + int32_t(float(w) * (b - c)), my = y + int32_t(float(h) * (b + c) + float(t) * a);
    line(mx - 7, my, mx + 7, my);
    line(mx + 7, my, mx, my + 11);
    line(mx, my + 11, mx - 7, my);
}

void SpeedScaleOrigin(int32_t& x, int32_t& y0)
{
    const ViewRect& r = gView.viewport;
    x = r.left + 76;
    if (x - 48 < 0)
        x = 48;
    y0 = (r.top + r.bottom) / 2 - 110;
}
