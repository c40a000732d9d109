// The flight HUD's element list and its element types.
//
// Each frame the render pass of the main view calls UpdateHud: the fade
// runs, a change of current contact is noticed, and every listed element is
// updated (its points placed in the world), projected through the view's
// camera and drawn (its own routine, or the generic line drawer over its
// segments), then retargeted when the contact changed. The elements are
// HUD records from the world's pools; this module only lists them. Lines
// go to the view's colour target in coordinates from the view centre,
// texts and the fade dashes to the screen canvas.
#include "ui/hud.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ai/docking.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "script/symbols.h"
#include "screens/bridge.h"
#include "screens/wepstation.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "system/text.h"
#include "ui/contacts.h"
#include "ui/hudframe.h"
#include "ui/messagelog.h"
#include "view/cameras.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "view/vectoricons.h"
#include "view/viewwindows.h"
#include "ai/weapons.h"
#include "world/playerinput.h"
#include "world/scenelist.h"
#include "world/universe.h"

int16_t gScreenShake[2] = {0, 0};
int32_t gLastHitAmount = 0;
uint8_t gControlledHitCounter = 0;
int32_t gScreenFlash = 0;
SceneItem* gFtlSource = nullptr;
int32_t gHudStringNumber = 0;
int32_t gHudWatchedNumber = 0;

HudState gHud = [] {
    HudState h{};
    h.colour = kHudColour;
    return h;
}();
double gGridSpacing = 100000.0;
double gGridSpacingTen = 1000000.0;
WeaponSightElement gWeaponSight = [] {
    WeaponSightElement w{};
    w.iconScale = 100;
    return w;
}();

namespace {

constexpr float kNearDepth = 2000.0f; // segments with an end this near are not drawn
constexpr uint32_t kClassLagrangePoint = 0x1000000;
constexpr uint32_t kClassHiddenBody = 0x2000000;
constexpr uint8_t kCubeColour = 97;

// Rows of the fade dashes (screen rows).
constexpr int16_t kFadeRows[] = {38, 87, 121, 148, 172, 190, 207, 222, 234, 246, 256};

// Class colours, later rows winning.
struct ClassColour {
    uint32_t mask;
    uint8_t colour;
};
constexpr ClassColour kClassColours[] = {{0x80, 133}, {0x100, 64}, {0x600, 160}, {0x1000, 42}, {0x800, 223}};

// Heading of a mount's direction code, degrees from +z toward -x (codes 9
// and beyond turn nothing).
constexpr float kMountHeading[16] = {0, 0, 45, 85, 135, 180, 225, 275, 315};

bool ElementShowsShip(const HUD* e)
{
    return e->subject && (e->subject->flags & kItemInUse) && e->subject->sim && e->subject->sim->shipInfo;
}

// The view centre in the colour target's coordinates.
void ViewCentre(int32_t& x, int32_t& y)
{
    x = (gView.hudViewport.left + gView.hudViewport.right) / 2;
    y = (gView.hudViewport.top + gView.hudViewport.bottom) / 2;
}

// The camera's rotation: the viewer's axes.
const Matrix4* CameraMatrix()
{
    const SceneItem* viewer = gView.viewer;
    return viewer && viewer->avatar ? &viewer->avatar->matrix : nullptr;
}

// A world point into the camera's frame: screen offset from the view centre
// and depth. A point at depth 0 or behind gets no screen position.
void ProjectPoint(const Vector3& world, const Matrix4& camera, float& sx, float& sy, float& depth)
{
    const Vector3 d{world.x - camera.m[12], world.y - camera.m[13], world.z - camera.m[14]};
    Vector3 v;
    VecMulMat3T(v, d, camera);
    depth = v.z;
    if (v.z > 0) {
        sx = v.x * gProjectionDistance / v.z;
        sy = v.y * gProjectionDistance / v.z;
    } else {
        sx = sy = 0;
    }
}

Vector3 ItemPosition(const SceneItem* item)
{
    if (item->sim)
        return {item->sim->matrix.m[12], item->sim->matrix.m[13], item->sim->matrix.m[14]};
    const Matrix4& m = item->avatar->matrix;
    return {m.m[12], m.m[13], m.m[14]};
}

void ResetDepths(HUD* e)
{
    e->depthFar = -1e11f;
    e->depthNear = 1e11f;
}

void NoteDepth(HUD* e, float depth)
{
    e->depthFar = std::max(e->depthFar, depth);
    e->depthNear = std::min(e->depthNear, depth);
}

// A screen coordinate as a whole pixel, kept within reach of the line
// drawer's arithmetic.
int32_t Pixel(float v) { return std::isnan(v) ? 0 : int32_t(std::clamp(v, -32000.0f, 32000.0f)); }

// A line over the view's scene, coordinates from the view centre.
void HudLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t colour)
{
    if (!gView.overlayTarget)
        return;
    int32_t cx, cy;
    ViewCentre(cx, cy);
    HxPixelmapLine(gView.overlayTarget, cx + x1, cy + y1, cx + x2, cy + y2, colour);
}

// The colour of a segment: darker with depth under the depth-shade flag.
uint8_t SegmentColour(const HUD* e, const HudSegment& s, float near, float span)
{
    if (!(e->flags & kHudDepthShade))
        return s.colour;
    const float mean = (e->points[s.from].depth + e->points[s.to].depth) / 2;
    return static_cast<uint8_t>(static_cast<int32_t>(s.colour + (mean - near) * -16.0f / span));
}

bool SegmentInView(const HUD* e, const HudSegment& s)
{
    return s.from >= 0 && s.from < e->pointCount && s.to >= 0 && s.to < e->pointCount &&
           e->points[s.from].depth > kNearDepth && e->points[s.to].depth > kNearDepth;
}

// Common fields of every initialiser; the pool's in-use bit stays.
void BeginHud(HUD* e, const char* name, SceneItem* subject, HudRoutine update, HudRoutine draw,
              HudTargetRoutine targetChange, int32_t userData, uint32_t flags)
{
    e->name = name;
    e->pointCount = 0;
    e->segmentCount = 0;
    e->subject = subject;
    e->onTargetChange = targetChange;
    e->onUpdate = update;
    e->spare = 0;
    e->onDraw = draw;
    e->userData = userData;
    e->flags = (e->flags & kHudInUse) | flags;
}

// Appends a point (local and world alike); false when the record is full.
bool AddPoint(HUD* e, float x, float y, float z)
{
    if (e->pointCount >= kHudPoints)
        return false;
    HudPoint& p = e->points[e->pointCount++];
    SetHudPoint(p, x, y, z);
    p.world = p.local;
    return true;
}

// Appends a segment; false when the record is full.
bool AddSegment(HUD* e, int from, int to, uint8_t colour)
{
    if (e->segmentCount >= kHudSegments)
        return false;
    SetHudSegment(e->segments[e->segmentCount++], int16_t(from), int16_t(to), colour);
    return true;
}

// Whether n more points and m more segments fit.
bool Fits(const HUD* e, int points, int segments)
{
    return e->pointCount + points <= kHudPoints && e->segmentCount + segments <= kHudSegments;
}

// A point of an item's frame into the world: turned by its Avatar matrix,
// moved to its position.
Vector3 ToWorld(const SceneItem* item, const Vector3& local)
{
    Vector3 w;
    VecMulMat3(w, local, item->avatar->matrix);
    const Vector3 p = ItemPosition(item);
    return {w.x + p.x, w.y + p.y, w.z + p.z};
}

// ---- The fade and the walk -----------------------------------------------------------------

// The fade's step for this frame: dashes, then the timer moves on.
void RunFade()
{
    const int32_t ticks = gFrameClock.frameTicks;
    if (gHud.fadeDirection == 1) {
        DrawHudFade(gHud.fadeTimer * 100 / kHudFadeTicks);
        gHud.fadeTimer = int16_t(gHud.fadeTimer + ticks);
        if (gHud.fadeTimer > kHudFadeTicks) {
            gHud.visible = 255;
            gHud.fadeDirection = 0;
            gHud.singleTrail = 0;
        }
    } else if (gHud.fadeDirection == -1) {
        DrawHudFade(gHud.fadeTimer * 100 / kHudFadeTicks);
        gHud.fadeTimer = int16_t(gHud.fadeTimer - ticks);
        if (gHud.fadeTimer < 0)
            gHud.fadeDirection = 0;
    }
}

// One element's turn: update, then (when it is still listed) projection and
// drawing, then retargeting. False when it left the list in its update.
bool RunElement(int position, bool targetChange, SceneItem* contact)
{
    HUD* e = gHud.list[position];
    if (e->onUpdate)
        e->onUpdate(e);
    if (position >= gHud.count || gHud.list[position] != e)
        return false;
    if (gHud.visible && !(e->subject && e->subject == gPlayerItem)) {
        ProjectHudElement(e);
        DrawHudIfShown(e);
    }
    if (targetChange && e->onTargetChange)
        e->onTargetChange(e, contact, e->userData);
    return true;
}

} // namespace

// ---- The list ----------------------------------------------------------------------------

void RegisterHud(HUD* element)
{
    if (!element)
        return;
    if (gHud.count >= kMaxRegisteredHuds) {
        FatalError("Exceeded Max no. of HUDs");
        return;
    }
    if (gHud.count == 0) {
        gHud.fadeTimer = 0;
        gHud.fadeDirection = 1;
        gHud.visible = 0;
    }
    gHud.list[gHud.count++] = element;
}

void UnregisterHudAt(int position)
{
    if (position < 0 || position >= gHud.count)
        return;
    HUD* e = gHud.list[position];
    std::copy(gHud.list + position + 1, gHud.list + gHud.count, gHud.list + position);
    gHud.list[--gHud.count] = nullptr;
    e->flags &= ~kHudInUse;
}

void UnregisterHud(HUD* element)
{
    for (int i = 0; i < gHud.count; ++i)
        if (gHud.list[i] == element) {
            UnregisterHudAt(i);
            return;
        }
}

void ClearHudList()
{
    for (int i = 0; i < gHud.count; ++i) {
        gHud.list[i]->flags &= ~kHudInUse;
        gHud.list[i] = nullptr;
    }
    gHud.count = 0;
    gHud.fieldSphere = nullptr;
    gHud.singleTrail = 0;
    gHud.contactFlash = 0;
}

void RemoveOtherSystemHuds()
{
    for (int i = 0; i < gHud.count;) {
        const HUD* e = gHud.list[i];
        const SceneItem* s = e->subject;
        const bool stale = e->onDraw == DrawCubeHud && s && !(s->flags & kItemParkedWithSystem) &&
                           (!(s->flags & kItemInUse) || s->sceneGeneration != gCurrentSceneGeneration);
        if (stale)
            UnregisterHudAt(i);
        else
            ++i;
    }
}

void ShowAllHuds()
{
    gHud.visible = 255;
    for (int i = 0; i < gHud.count; ++i)
        gHud.list[i]->flags &= ~kHudHidden;
}

void HideAllHuds()
{
    gHud.visible = 0;
    for (int i = 0; i < gHud.count; ++i)
        gHud.list[i]->flags |= kHudHidden;
}

void ToggleHud()
{
    if (gDirectorOn || gExternalView)
        return;
    if (gHud.visible) {
        gHud.visible = 0;
        gHud.fadeTimer = kHudFadeTicks;
        gHud.fadeDirection = -1;
    } else {
        gHud.fadeTimer = 0;
        gHud.fadeDirection = 1;
    }
}

void OffsetTrailHuds(float x, float y, float z)
{
    for (int i = 0; i < gHud.count; ++i) {
        HUD* e = gHud.list[i];
        if (!(e->flags & kHudWorldAnchored))
            continue;
        for (int p = 0; p < e->pointCount; ++p) {
            e->points[p].world.x += x;
            e->points[p].world.y += y;
            e->points[p].world.z += z;
        }
    }
}

// A body's item carries no name of its own: the body table names it.
SceneItem* FindNamedSceneItem(const char* name)
{
    if (!name)
        return nullptr;
    if (*name >= '0' && *name <= '9')
        name = LookUpBodyName(name);
    if (!name)
        return nullptr;
    SceneItem* found = nullptr;
    ForEachSceneItem([&](SceneItem* item) {
        if (!item->avatar || !(item->avatar->classFlags & kClassNamedBody) ||
            item->sceneGeneration != gCurrentSceneGeneration)
            return true;
        // A named body's name is that of the system body it was made from.
        for (int i = 0; i < gSystemBodyCount; ++i) {
            const SystemBody* body = gSystemBodyList[i].body;
            if (body && body->sceneItem == item && std::strcmp(body->name, name) == 0) {
                found = item;
                return false;
            }
        }
        return true;
    });
    return found;
}

void ClearHitIndicators()
{
    gScreenShake[0] = gScreenShake[1] = 0;
    gLastHitAmount = 0;
    gControlledHitCounter = 0;
}

// ---- The frame ---------------------------------------------------------------------------

void UpdateHud()
{
    if (!gSettings.noHud) {
        RunFade();
        SceneItem* contact = CurrentContactItem();
        bool targetChange = gHud.forceTargetChange != 0;
        if (contact != gHud.lastContact) {
            gHud.lastContact = contact;
            targetChange = true;
        }
        // An element that leaves the list in its own update hands its
        // position to the next one, which is then not skipped.
        for (int i = 0; i < gHud.count;)
            if (RunElement(i, targetChange, contact))
                ++i;
    }
    DrawFlightHudFrame();
    gHud.forceTargetChange = 0;
}

void DrawHudElement(HUD* element)
{
    if (!element || !gPlayerItem)
        return;
    ProjectHudElementDefault(element);
    DrawHudIfShown(element);
}

void DrawHudIfShown(HUD* element)
{
    if (element->flags & kHudHidden)
        return;
    if (!(element->flags & kHudShowUntargeted) && element->onTargetChange && !element->subject)
        return;
    if ((element->flags & kHudNeedsShip) && !ElementShowsShip(element))
        return;
    if (element->onDraw)
        element->onDraw(element);
    else
        DrawHudLines(element);
}

void ProjectHudElement(HUD* element)
{
    if ((element->flags & kHudNeedsShip) &&
        !(element->subject && element->subject->sim && element->subject->sim->shipInfo))
        return;
    const Matrix4* camera = CameraMatrix();
    if (!camera)
        return;
    ResetDepths(element);
    for (int i = 0; i < element->pointCount; ++i) {
        HudPoint& p = element->points[i];
        p.flags |= 2;
        ProjectPoint(p.world, *camera, p.screenX, p.screenY, p.depth);
        NoteDepth(element, p.depth);
    }
}

void ProjectHudElementDefault(HUD* element)
{
    if (element->onUpdate)
        element->onUpdate(element);
    if (element->flags & kHudHidden)
        return;
    ResetDepths(element);
    for (int i = 0; i < element->pointCount; ++i) {
        HudPoint& p = element->points[i];
        p.flags |= 2;
        p.depth = p.world.z;
        if (p.world.z > 0) {
            p.screenX = p.world.x * gProjectionDistance / p.world.z;
            p.screenY = p.world.y * gProjectionDistance / p.world.z;
        } else {
            p.screenX = p.screenY = 0;
        }
        NoteDepth(element, p.depth);
    }
}

namespace {

// The element's depth range, 1 when it has none (no division by zero).
float DepthSpan(const HUD* element)
{
    const float span = element->depthFar - element->depthNear;
    return span != 0 ? span : 1.0f;
}

} // namespace

void DrawHudLines(HUD* element)
{
    int16_t box[4] = {32767, 32767, -32767, -32767};
    for (int i = 0; i < element->pointCount; ++i) {
        const HudPoint& p = element->points[i];
        box[0] = int16_t(std::min(int32_t(box[0]), Pixel(p.screenX)));
        box[1] = int16_t(std::min(int32_t(box[1]), Pixel(p.screenY)));
        box[2] = int16_t(std::max(int32_t(box[2]), Pixel(p.screenX)));
        box[3] = int16_t(std::max(int32_t(box[3]), Pixel(p.screenY)));
    }
    std::copy(box, box + 4, gHud.lastBounds);
    if (gLastHitAmount != 0) {
        DrawHudLinesJittered(element);
        return;
    }
    const float near = element->depthNear;
    const float span = DepthSpan(element);
    for (int i = 0; i < element->segmentCount; ++i) {
        const HudSegment& s = element->segments[i];
        if (s.colour == 0 || !SegmentInView(element, s))
            continue;
        const HudPoint& a = element->points[s.from];
        const HudPoint& b = element->points[s.to];
        HudLine(Pixel(a.screenX), Pixel(a.screenY), Pixel(b.screenX), Pixel(b.screenY),
                SegmentColour(element, s, near, span));
    }
}

void DrawHudLinesJittered(HUD* element)
{
    const float near = element->depthNear;
    const float span = DepthSpan(element);
    for (int i = 0; i < element->segmentCount; ++i) {
        const HudSegment& s = element->segments[i];
        if (s.colour == 0 || !SegmentInView(element, s))
            continue;
        const HudPoint& a = element->points[s.from];
        const HudPoint& b = element->points[s.to];
        const int32_t left = std::min(Pixel(a.screenX), Pixel(b.screenX));
        const int32_t w = std::abs(Pixel(a.screenX) - Pixel(b.screenX));
        const int32_t m = w > 0 ? CRand() % w : 0;
        if (m == 0)
            continue;
        const int32_t y = (Pixel(a.screenY) + Pixel(b.screenY)) / 2;
        const int32_t x = left + (w - m) / 2;
        HudLine(x, y, x + m - 1, y, SegmentColour(element, s, near, span));
    }
}

void DrawHudFade(int32_t percent)
{
    if (gExternalView)
        return; // the cockpit view only
    const Canvas canvas = ScreenCanvas();
    if (!canvas.pixels)
        return;
    const ViewRect& v = gView.viewport;
    for (int16_t row : kFadeRows) {
        if (row < v.top || row > v.bottom || row >= canvas.height)
            continue;
        bool drawing = true;
        int32_t start = v.left;
        for (int32_t x = v.left; x <= v.right; ++x) {
            if (drawing) {
                if (CRand() % 100 - percent > 0) {
                    CanvasLine(canvas, int16_t(start), row, int16_t(x), row, gHud.colour);
                    drawing = false;
                }
            } else if (CRand() % 100 - percent < 0) {
                drawing = true;
                start = x;
            }
        }
    }
}

// ---- Building elements ---------------------------------------------------------------

void SetHudPoint(HudPoint& point, float x, float y, float z) { point.local = {x, y, z}; }

void SetHudSegment(HudSegment& segment, int16_t from, int16_t to, uint8_t colour)
{
    segment.from = from;
    segment.to = to;
    segment.colour = colour;
}

void AddHudRing(HUD* element, int& pointCursor, int& segmentCursor, float cx, float cy, float cz, float radius,
                float angle, const Matrix4& matrix, uint8_t colour, int n)
{
    if (n <= 0 || pointCursor + n > kHudPoints || segmentCursor + n > kHudSegments)
        return;
    for (int i = 0; i < n; ++i) {
        const double a = i * 6.28318530718 / n;
        const Vector3 flat{float(radius * std::cos(a)), float(radius * std::sin(a)), 0};
        Vector3 turned, placed;
        VecRotY(turned, angle, flat);
        VecMulMat3(placed, turned, matrix);
        HudPoint& p = element->points[pointCursor + i];
        SetHudPoint(p, placed.x + cx, placed.y + cy, placed.z + cz);
        p.world = p.local;
        SetHudSegment(element->segments[segmentCursor + i], int16_t(pointCursor + i),
                      int16_t(pointCursor + (i + 1) % n), colour);
    }
    pointCursor += n;
    segmentCursor += n;
    element->pointCount = int16_t(std::max<int>(element->pointCount, pointCursor));
    element->segmentCount = int16_t(std::max<int>(element->segmentCount, segmentCursor));
}

void FollowSubjectHud(HUD* element)
{
    SceneItem* s = element->subject;
    if (!s)
        return;
    if (!(s->flags & kItemInUse) || !s->avatar) {
        element->subject = nullptr;
        element->flags &= ~kHudInUse;
        UnregisterHud(element);
        return;
    }
    for (int i = 0; i < element->pointCount; ++i)
        element->points[i].world = ToWorld(s, element->points[i].local);
}

uint8_t HudClassColour(uint32_t classFlags)
{
    uint8_t colour = 97;
    for (const ClassColour& c : kClassColours)
        if (classFlags & c.mask)
            colour = c.colour;
    return colour;
}

// ---- Orb -----------------------------------------------------------------------------

HUD* InitOrbHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, "ORB", subject, UpdateOrbHud, DrawOrbHud, nullptr, userData,
             kHudShowUntargeted | kHudDepthShade | kHudTyped | kHudOrbMark);
    element->params[0] = 1000;
    element->params[1] = 1250;
    element->params[2] = 8000;
    int points = 0, segments = 0;
    Matrix4 flat;
    MatIdentity(flat);
    for (int k = 0; k < 4; ++k)
        AddHudRing(element, points, segments, 0, 0, 0, 1000, 45.0f * k, flat, 141, 16);
    Matrix4 level;
    MatIdentity(level);
    MatSetRotX(90, level);
    for (int k = 0; k < 4; ++k) {
        const double a = 45.0 * k * 3.14159265358979 / 180;
        AddHudRing(element, points, segments, 0, float(1000 * std::cos(a)), 0, float(1000 * std::sin(a)), 0, level,
                   k == 2 ? 72 : 141, 16);
    }
    return element;
}

void UpdateOrbHud(HUD* element)
{
    const Matrix4* camera = CameraMatrix();
    if (!camera)
        return;
    for (int i = 0; i < element->pointCount; ++i) {
        HudPoint& p = element->points[i];
        VecMulMat3T(p.world, p.local, *camera);
        p.world.z += float(element->params[2]);
    }
}

namespace {

// The orb's own class colours: 47 for 0x1000, no case for 0x800.
constexpr ClassColour kOrbClassColours[] = {{0x80, 133}, {0x100, 64}, {0x600, 160}, {0x1000, 47}};
constexpr uint8_t kOrbCurrentCross = 47;

// A point of the orb's frame on the screen, from the view centre.
bool OrbScreen(const HUD* e, const Vector3& p, int32_t& x, int32_t& y)
{
    const float z = p.z + float(e->params[2]);
    if (!(z > 0))
        return false;
    x = Pixel(p.x * gProjectionDistance / z);
    y = Pixel(p.y * gProjectionDistance / z);
    return true;
}

uint8_t OrbBlipColour(const Contact& row, float depth, float outer)
{
    int c = 97;
    if (row.contactClass == 1) {
        c = (row.classFlags & 0x80) ? 252 : 160;
    } else {
        for (const ClassColour& k : kOrbClassColours)
            if (row.classFlags & k.mask)
                c = k.colour;
    }
    c = ((c + 16) & 0xe0) | 4;
    return uint8_t(c - int(depth * 9 / outer));
}

// Each listed contact as a stalk from the orb's surface to its blip, the
// blip's distance scaled by the space grid's spacing.
void DrawOrbBlips(const HUD* e)
{
    const Matrix4* camera = CameraMatrix();
    if (!camera)
        return;
    const float radius = float(e->params[0]), outer = float(e->params[1]);
    const float scale = float(gGridSpacing) / radius;
    for (const Contact& row : gContacts.rows) {
        if (!(row.rowFlags & kContactUsed) || !row.item || !row.item->sim)
            continue;
        const bool current = &row == gContacts.current;
        if (row.contactClass == 2 && gContacts.filterClass != 2)
            continue;
        if ((row.contactClass == 7 || row.contactClass == 4) && !current)
            continue;
        const Vector3 at = ItemPosition(row.item);
        const Vector3 rel{at.x - camera->m[12], at.y - camera->m[13], at.z - camera->m[14]};
        Vector3 v;
        VecMulMat3T(v, rel, *camera);
        const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        if (!(length > 0))
            continue;
        const Vector3 surface{v.x / length * radius, v.y / length * radius, v.z / length * radius};
        Vector3 blip{v.x / scale, v.y / scale, v.z / scale};
        const float blipLength = length / scale;
        if (blipLength > outer)
            blip = {blip.x * outer / blipLength, blip.y * outer / blipLength, blip.z * outer / blipLength};
        const uint8_t c = OrbBlipColour(row, blip.z, outer);
        int32_t sx, sy, bx, by;
        if (!OrbScreen(e, surface, sx, sy) || !OrbScreen(e, blip, bx, by))
            continue;
        HudLine(sx, sy, bx, by, c);
        HudLine(bx, by, bx + 1, by, c);
        HudLine(bx, by + 1, bx + 1, by + 1, c);
        if (current && gFrameClock.gameClock % 50 > 25) {
            HudLine(bx - 3, by - 3, bx + 3, by + 3, kOrbCurrentCross);
            HudLine(bx - 3, by + 3, bx + 3, by - 3, kOrbCurrentCross);
        }
    }
}

} // namespace

void DrawOrbHud(HUD* element)
{
    DrawHudLines(element);
    DrawOrbBlips(element);
}

// ---- Space grid ----------------------------------------------------------------------

HUD* InitSpaceGridHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, nullptr, DrawSpaceGridHud, nullptr, userData, kHudDepthShade | kHudTyped);
    return element;
}

int GridExponent(double speed, bool lds)
{
    if (!(std::fabs(speed) > 0))
        return 5; // no speed (or no number): the finest grid, never log10(0)
    const int e = int(std::floor(std::log10(std::fabs(speed)) + (lds ? 0.302 : 0.6021)));
    return e < 5 ? 5 : e > 10 ? 12
                              : e;
}

namespace {

constexpr uint8_t kGridLevelColours[4] = {48, 112, 176, 16};
constexpr int kGridSize = 9;

struct GridStreak {
    float x1, y1, x2, y2, depth;
    uint8_t colour;
};

// A grid point: in view when at least 50000 deep and within twice the half view.
bool ProjectGridPoint(const Vector3& world, const Matrix4& camera, float& sx, float& sy, float& depth)
{
    ProjectPoint(world, camera, sx, sy, depth);
    const float halfW = float(gView.viewport.right - gView.viewport.left + 1) / 2;
    const float halfH = float(gView.viewport.bottom - gView.viewport.top + 1) / 2;
    return depth >= 50000 && std::fabs(sx) <= 2 * halfW && std::fabs(sy) <= 2 * halfH;
}

} // namespace

void DrawSpaceGridHud(HUD*)
{
    const Matrix4* camera = CameraMatrix();
    const Sim* player = gPlayerItem ? gPlayerItem->sim : nullptr;
    if (gDirectorOn || !camera || !player)
        return;
    const bool lds = player->flags & kSimLdsEngaged;
    const double speed = lds ? player->thrust.z : player->speed;
    int e = int(std::lround(std::log10(gGridSpacing)));
    if (speed != 0) {
        e = GridExponent(speed, lds);
        gGridSpacing = std::pow(10.0, e);
        gGridSpacingTen = gGridSpacing * 10;
    }
    const uint8_t level = kGridLevelColours[(e - 5) % 4];
    const uint8_t next = kGridLevelColours[(e - 4) % 4];
    const double step = gGridSpacing;
    const double ox = std::round(player->position.x / step) * step;
    const double oy = std::round(player->position.y / step) * step;
    const double oz = std::round(player->position.z / step) * step;
    const float frameScale = gFrameClock.frameSeconds;
    const Vector3 drift = lds ? Vector3{player->velocity.x * frameScale * player->thrust.z / 2,
                                        player->velocity.y * frameScale * player->thrust.z / 2,
                                        player->velocity.z * frameScale * player->thrust.z / 2}
                              : Vector3{player->velocity.x / 4, player->velocity.y / 4, player->velocity.z / 4};
    constexpr int half = kGridSize / 2;
    static GridStreak streaks[kGridSize * kGridSize * kGridSize];
    int count = 0;
    float farthest = 0;
    for (int i = -half; i <= half; ++i)
        for (int j = -half; j <= half; ++j)
            for (int k = -half; k <= half; ++k) {
                if (std::abs(i) + std::abs(j) + std::abs(k) > 1.5 * (kGridSize - 1) / 2)
                    continue;
                const double gx = ox + i * step, gy = oy + j * step, gz = oz + k * step;
                const Vector3 a{float(gx), float(gy), float(gz)};
                const Vector3 b{a.x - drift.x, a.y - drift.y, a.z - drift.z};
                GridStreak& s = streaks[count];
                float da, db;
                if (!ProjectGridPoint(a, *camera, s.x1, s.y1, da) || !ProjectGridPoint(b, *camera, s.x2, s.y2, db))
                    continue;
                s.depth = (da + db) / 2;
                const double ten = gGridSpacingTen;
                const bool major = std::fmod(std::fabs(gx), ten) < 0.5 && std::fmod(std::fabs(gy), ten) < 0.5 &&
                                   std::fmod(std::fabs(gz), ten) < 0.5;
                s.colour = uint8_t((major ? next : level) + 2);
                farthest = std::max(farthest, std::max(da, db));
                ++count;
            }
    for (int i = 0; i < count; ++i) {
        const GridStreak& s = streaks[i];
        const int rise = farthest > 0 ? std::max(0, int((farthest - s.depth) * 20 / farthest)) : 0;
        HudLine(Pixel(s.x1), Pixel(s.y1), Pixel(s.x2), Pixel(s.y2), uint8_t(s.colour + rise));
    }
}

// ---- Cube ----------------------------------------------------------------------------

namespace {

constexpr int8_t kCubeCorners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}};
// The two faces, the four verticals, then the diagonal (the reached mark).
constexpr int8_t kCubeEdges[13][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}, {0, 6}};
constexpr int kCubeCountedEdges = 12;

// The caption under a marker at (x, y) from the view centre.
void DrawCaption(const HUD* element, int32_t x, int32_t y)
{
    const Canvas canvas = ScreenCanvas();
    if (!element->name || !canvas.pixels || !gFontV)
        return;
    const ViewRect& v = gView.viewport;
    const ClipRect clip{int16_t(v.left), int16_t(v.top), int16_t(v.right), int16_t(v.bottom)};
    int16_t tx = int16_t(gView.centreX + x + 10), ty = int16_t(gView.centreY + y + 14);
    CanvasDrawText(canvas, tx, ty, element->name, gFontV, kCubeColour, clip);
}

} // namespace

HUD* InitCubeHud(HUD* element, const char* caption, SceneItem* subject, int32_t userData)
{
    BeginHud(element, caption, subject, FollowSubjectHud, DrawCubeHud, nullptr, userData,
             kHudWorldAnchored | kHudTyped);
    for (const auto& c : kCubeCorners)
        AddPoint(element, c[0] * 5000.0f, c[1] * 5000.0f, c[2] * 5000.0f);
    for (const auto& edge : kCubeEdges)
        AddSegment(element, edge[0], edge[1], kCubeColour);
    element->segmentCount = kCubeCountedEdges;
    return element;
}

void DrawCubeHud(HUD* element)
{
    const SceneItem* s = element->subject;
    const Matrix4* camera = CameraMatrix();
    if (gDirectorOn || !s || !s->avatar || !camera)
        return;
    float x, y, depth;
    ProjectPoint(ItemPosition(s), *camera, x, y, depth);
    if (depth <= 0 || (s->avatar->flags & kAvatarNoContact) || depth > 9e12f)
        return;
    int32_t cx, cy;
    ViewCentre(cx, cy);
    const ViewRect& h = gView.hudViewport;
    if (x < h.left - cx || x > h.right - cx || y < h.top - cy || y > h.bottom - cy)
        return;
    const uint32_t cls = s->avatar->classFlags;
    if ((cls & kClassHiddenBody) && !gContacts.showAll)
        return;
    if (!(cls & (kClassNamedBody | kClassHiddenBody)) && depth > 1e11f && !gContacts.showAll &&
        !(gCockpitDisplayOption & 0x10))
        return;
    int32_t mx = Pixel(x), my = Pixel(y);
    if (depth <= 1e6f) {
        DrawHudLines(element);
        mx = gHud.lastBounds[2];
        my = gHud.lastBounds[3];
    } else if (gContacts.filterClass == 7) {
        // The bodies' view: a square, crossed once the cube was reached.
        HudLine(mx - 4, my - 4, mx + 4, my - 4, kCubeColour);
        HudLine(mx + 4, my - 4, mx + 4, my + 4, kCubeColour);
        HudLine(mx + 4, my + 4, mx - 4, my + 4, kCubeColour);
        HudLine(mx - 4, my + 4, mx - 4, my - 4, kCubeColour);
        if (element->flags & kHudCubeMarker)
            HudLine(mx - 4, my - 4, mx + 4, my + 4, kCubeColour);
    } else {
        HudLine(mx - 4, my, mx + 4, my, kCubeColour);
        HudLine(mx, my - 4, mx, my + 4, kCubeColour);
    }
    DrawCaption(element, mx, my);
}

// ---- Captioned scale -----------------------------------------------------------------

namespace {

constexpr int16_t kScaleShortPoints = 16, kScaleShortSegments = 15;
constexpr int16_t kScaleLongPoints = 88, kScaleLongSegments = 135;

float ScaleRingRadius(double p) { return float(37500 + (1 - std::cos(p / 150000 * 3.1415 / 2)) * 75000); }

} // namespace

HUD* InitCaptionScaleHud(HUD* element, const char* caption, SceneItem* subject, int32_t userData)
{
    BeginHud(element, caption, subject, UpdateCaptionScaleHud, DrawCaptionScaleHud, nullptr, userData,
             kHudWorldAnchored | kHudTyped);
    element->params[0] = 37500;
    element->params[1] = 112500;
    AddPoint(element, 0, 0, -18750);
    AddPoint(element, 0, 0, 18750);
    AddPoint(element, 0, -3125, 14062.5f);
    AddPoint(element, 0, 3125, 14062.5f);
    AddSegment(element, 0, 1, kCubeColour);
    AddSegment(element, 1, 2, kCubeColour);
    AddSegment(element, 1, 3, kCubeColour);
    Matrix4 flat;
    MatIdentity(flat);
    int points = element->pointCount, segments = element->segmentCount;
    AddHudRing(element, points, segments, 0, 0, 0, ScaleRingRadius(0), 0, flat, kCubeColour, 12);
    int ringStart[7] = {};
    for (int k = 0; k < 7; ++k) {
        if (k == 3)
            continue;
        const double p = -150000 + 50000.0 * k;
        ringStart[k] = points;
        AddHudRing(element, points, segments, 0, 0, float(p), ScaleRingRadius(p), 0, flat, k < 3 ? 141 : 72, 12);
    }
    constexpr int kPairs[4][2] = {{0, 1}, {1, 2}, {4, 5}, {5, 6}};
    for (const auto& pair : kPairs)
        for (int j = 0; j < 12; ++j)
            AddSegment(element, ringStart[pair[0]] + j, ringStart[pair[1]] + j, pair[0] < 3 ? 141 : 72);
    element->pointCount = kScaleShortPoints;
    element->segmentCount = kScaleShortSegments;
    return element;
}

void UpdateCaptionScaleHud(HUD* element)
{
    const Matrix4* camera = CameraMatrix();
    if (camera) {
        SceneItem* nearest = nullptr;
        float best = 0;
        ForEachSceneItem([&](SceneItem* item) {
            if (!item->avatar || !(item->avatar->classFlags & kClassLagrangePoint) ||
                item->sceneGeneration != gCurrentSceneGeneration)
                return true;
            float x, y, depth;
            ProjectPoint(ItemPosition(item), *camera, x, y, depth);
            if (depth >= 0 && (!nearest || depth < best)) {
                nearest = item;
                best = depth;
            }
            return true;
        });
        element->subject = nearest;
    }
    // While the contact list shows the bodies, the whole scale with its
    // depth shading; otherwise the arrow and its ring.
    const bool bodies = gContacts.filterClass == 7;
    element->pointCount = bodies ? kScaleLongPoints : kScaleShortPoints;
    element->segmentCount = bodies ? kScaleLongSegments : kScaleShortSegments;
    if (bodies)
        element->flags |= kHudDepthShade;
    else
        element->flags &= ~kHudDepthShade;
    FollowSubjectHud(element);
}

void DrawCaptionScaleHud(HUD* element)
{
    DrawHudLines(element);
    DrawCubeHud(element);
}

// ---- Ship part markers, mount pointers, model points, component boxes -----------------

namespace {

// A small square with a stalk along each of the ship's parts: the parts are
// the nodes of its model tree below the root, each at its offset from the
// root and turned as it is.
void AddPartMarkers(HUD* element, const TDP* part, const Vector3& at, float f, uint8_t colour)
{
    static const Vector3 kMarker[11] = {{0, 0, 0}, {650, 650, 0}, {650, -650, 0}, {-650, -650, 0}, {-650, 650, 0}, {0, 650, 0}, {0, 0, 1000}, {0, 0, 2000}, {0, 0, 3000}, {0, 0, 4000}, {0, 0, 5000}};
    static const int8_t kEdges[8][2] = {{1, 2}, {2, 3}, {3, 4}, {4, 1}, {5, 0}, {0, 6}, {7, 8}, {9, 10}};
    for (; part && Fits(element, 11, 8); part = part->nextSibling) {
        const Vector3 position{at.x + part->offset.x, at.y + part->offset.y, at.z + part->offset.z};
        const int base = element->pointCount;
        for (const Vector3& p : kMarker) {
            const Vector3 scaled{p.x * f, p.y * f, p.z * f};
            Vector3 turned;
            MatRotateVec(part->local, scaled, turned);
            AddPoint(element, turned.x + position.x, turned.y + position.y, turned.z + position.z);
        }
        for (const auto& e : kEdges)
            AddSegment(element, base + e[0], base + e[1], colour);
        AddPartMarkers(element, part->firstChild, position, f, colour);
    }
}

} // namespace

void InitShipPartMarkersHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, FollowSubjectHud, DrawHudLinesNearOnly, InitShipPartMarkersHud, userData,
             kHudNeedsShip);
    if (!subject || !subject->sim || !subject->sim->shipInfo || !subject->avatar || !subject->avatar->root ||
        !CurrentContactItem())
        return;
    const float f = std::clamp(subject->sim->radius, 5000.0f, 43500.0f) / 11300.0f;
    AddPartMarkers(element, subject->avatar->root->firstChild, Vector3{0, 0, 0}, f,
                   HudClassColour(subject->avatar->classFlags));
}

void InitFiringArcHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, FollowSubjectHud, DrawHudLinesNearOnly, InitFiringArcHud, userData,
             kHudNeedsShip | kHudDepthShade);
    if (!subject || !subject->sim || !subject->sim->shipInfo || !subject->avatar)
        return;
    static const Vector3 kPointer[5] = {{0, 0, 0}, {0, 500, 0}, {-435, -250, 0}, {435, -250, 0}, {0, 0, 2000}};
    static const int8_t kEdges[6][2] = {{0, 1}, {0, 2}, {0, 3}, {4, 1}, {4, 2}, {4, 3}};
    const uint8_t colour = HudClassColour(subject->avatar->classFlags);
    for (const Weapon* w = subject->sim->weapons; w && Fits(element, 5, 6); w = w->next) {
        const int base = element->pointCount;
        for (const Vector3& p : kPointer) {
            Vector3 turned;
            VecRotY(turned, -kMountHeading[w->directionCode & 0xf], p);
            AddPoint(element, turned.x + w->mountPosition.x, turned.y + w->mountPosition.y,
                     turned.z + w->mountPosition.z);
        }
        for (const auto& e : kEdges)
            AddSegment(element, base + e[0], base + e[1], colour);
    }
}

void DrawHudLinesNearOnly(HUD* element)
{
    const SceneItem* s = element->subject;
    const Matrix4* camera = CameraMatrix();
    if (gExternalView || !s || !s->avatar || !camera)
        return;
    const TDP* root = s->avatar->root;
    if (!root || !root->actor || root->actor->model != root->lod[0])
        return; // not shown at its top detail level
    float x, y, depth;
    ProjectPoint(ItemPosition(s), *camera, x, y, depth);
    if (depth > 50000)
        return;
    DrawHudLines(element);
}

void InitModelPointMarkersHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, FollowSubjectHud, nullptr, InitModelPointMarkersHud, userData, 0);
    const TDP* root = subject && subject->avatar ? subject->avatar->root : nullptr;
    const HullBounds* hull = root ? root->hullBounds : nullptr;
    if (!hull)
        return;
    const int n = std::clamp(hull->pointCount, 0, kHullBoundsPoints);
    for (int i = 0; i < n && Fits(element, 4, 2); ++i) {
        const Vector3& p = hull->points[i];
        const int base = element->pointCount;
        AddPoint(element, p.x - 300, p.y, p.z);
        AddPoint(element, p.x + 300, p.y, p.z);
        AddPoint(element, p.x, p.y - 300, p.z);
        AddPoint(element, p.x, p.y + 300, p.z);
        AddSegment(element, base, base + 1, 162);
        AddSegment(element, base + 2, base + 3, 162);
    }
}

constexpr uint8_t kSelectedComponentColour = 160;

void InitComponentBoxesHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, FollowSubjectHud, nullptr, InitComponentBoxesHud, userData, kHudTyped);
    const TDP* root = subject && subject->avatar ? subject->avatar->root : nullptr;
    static const int8_t kEdges[12][2] = {{1, 0}, {0, 2}, {2, 3}, {1, 3}, {1, 5}, {3, 7}, {2, 6}, {0, 4}, {4, 6}, {4, 5}, {6, 7}, {5, 7}};
    constexpr int kMaxComponents = 10;
    int components = 0;
    for (const HullBounds* hull = root ? root->hullBounds : nullptr; hull; hull = hull->next)
        for (const HullBox* box = hull->boxes; box && components < kMaxComponents; box = box->next, ++components) {
            const int base = element->pointCount;
            for (int k = 0; k < 8; ++k)
                AddPoint(element, (k & 1) ? box->maximum.x : box->minimum.x, (k & 4) ? box->maximum.y : box->minimum.y,
                         (k & 2) ? box->maximum.z : box->minimum.z);
            const bool selected = gContacts.componentSelected && box == gContacts.selectedComponent;
            const uint8_t colour = selected ? kSelectedComponentColour : (box->flags & 4) ? 204
                                                                                          : gHud.colour;
            for (const auto& e : kEdges)
                AddSegment(element, base + e[0], base + e[1], colour);
        }
}

// ---- Selected component --------------------------------------------------------------

namespace {

constexpr int kBoxCorners = 8;
// The corners the points slide toward are kept in the points after them.
constexpr int kCornerTargets = kBoxCorners;

const int8_t kBoxEdges[12][2] = {{1, 0}, {0, 2}, {2, 3}, {1, 3}, {1, 5}, {3, 7}, {2, 6}, {0, 4}, {4, 6}, {4, 5}, {6, 7}, {5, 7}};

// Corner k of a box: the second x bound with bit 1, z with bit 2, y with bit 4.
Vector3 BoxCorner(const HullBox& box, int k)
{
    return {(k & 1) ? box.maximum.x : box.minimum.x, (k & 4) ? box.maximum.y : box.minimum.y,
            (k & 2) ? box.maximum.z : box.minimum.z};
}

void TargetSelectedCorners(HUD* element)
{
    if (const HullBox* box = gContacts.componentSelected ? gContacts.selectedComponent : nullptr)
        for (int k = 0; k < kBoxCorners; ++k) {
            const Vector3 c = BoxCorner(*box, k);
            SetComponentCorner(element, k, c.x, c.y, c.z);
        }
}

// Twice the reach of the player's current mount; 0 without one.
float SelectionRange()
{
    const Sim* sim = gControlledItem ? gControlledItem->sim : nullptr;
    const Weapon* mount = sim ? sim->currentWeapon : nullptr;
    return mount ? 2.0f * mount->range : 0.0f;
}

} // namespace

void SetComponentCorner(HUD* element, int corner, float x, float y, float z)
{
    if (corner >= 0 && corner < kBoxCorners)
        SetHudPoint(element->points[kCornerTargets + corner], x, y, z);
}

void InitSelectedComponentHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, UpdateSelectedComponentHud, DrawSelectedComponentHud, InitSelectedComponentHud,
             userData, kHudTyped);
    if (!subject || !gContacts.componentSelected || !gContacts.selectedComponent)
        return;
    TargetSelectedCorners(element);
    const uint8_t colour = gContacts.current ? HudClassColour(gContacts.current->classFlags) : 97;
    for (int k = 0; k < kBoxCorners; ++k)
        AddPoint(element, 0, 0, 0);
    for (const auto& e : kBoxEdges)
        AddSegment(element, e[0], e[1], colour);
}

void UpdateSelectedComponentHud(HUD* element)
{
    TargetSelectedCorners(element);
    for (int k = 0; k < element->pointCount && k < kBoxCorners; ++k) {
        Vector3& p = element->points[k].local;
        const Vector3& t = element->points[kCornerTargets + k].local;
        p = {p.x + (t.x - p.x) / 2, p.y + (t.y - p.y) / 2, p.z + (t.z - p.z) / 2};
    }
    FollowSubjectHud(element);
}

void DrawSelectedComponentHud(HUD* element)
{
    gHud.componentInRange = 0;
    if (!gContacts.componentSelected || !element->subject || !gControlledItem || !gControlledItem->sim ||
        !element->subject->sim)
        return;
    const WorldPosition& a = element->subject->sim->position;
    const WorldPosition& b = gControlledItem->sim->position;
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    if (!(std::sqrt(dx * dx + dy * dy + dz * dz) < double(SelectionRange())))
        return;
    gHud.componentInRange = 255;
    DrawHudLines(element);
}

// ---- Position marker -----------------------------------------------------------------

namespace {

constexpr int kMarkerPoints = 18;
constexpr int kMarkerSegments = 9;

} // namespace

HUD* InitPositionMarkerHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, FollowSubjectHud, DrawPositionMarkerHud, nullptr, userData, kHudTyped);
    element->params[2] = 0;
    element->params[3] = CRand() % 100;
    element->params[4] = 50 + CRand() % 50;
    if (!subject)
        return element;
    const Vector3 corner[3] = {{1300000, 0, 750000}, {-1300000, 0, 750000}, {0, 0, -1500000}};
    const Vector3 bottom{0, -1500000, 0}, top{0, 1500000, 0};
    const Vector3 ends[kMarkerSegments][2] = {{corner[0], corner[1]}, {corner[1], corner[2]}, {corner[2], corner[0]}, {corner[0], bottom}, {corner[1], bottom}, {corner[2], bottom}, {corner[0], top}, {corner[1], top}, {corner[2], top}};
    for (int copy = 0; copy < 2; ++copy)
        for (int i = 0; i < kMarkerSegments; ++i)
            for (int e = 0; e < 2; ++e) {
                HudPoint& p = element->points[copy * kMarkerPoints + 2 * i + e];
                SetHudPoint(p, ends[i][e].x, ends[i][e].y, ends[i][e].z);
                p.world = p.local;
            }
    for (int i = 0; i < kMarkerSegments; ++i)
        SetHudSegment(element->segments[i], int16_t(2 * i), int16_t(2 * i + 1), 128);
    element->pointCount = kMarkerPoints;
    element->segmentCount = kMarkerSegments;
    return element;
}

void DrawPositionMarkerHud(HUD* element)
{
    element->params[2] += gFrameClock.frameTicks;
    if (element->pointCount == kMarkerPoints) {
        for (int i = 0; i < kMarkerSegments; ++i) {
            const float t = float(((10 * i + element->params[2]) % 80 + 80) % 80) / 80.0f * 1.5f;
            const Vector3& a = element->points[kMarkerPoints + 2 * i].local;
            const Vector3& b = element->points[kMarkerPoints + 2 * i + 1].local;
            const float f0 = std::max(0.0f, t - 0.5f), f1 = std::min(1.0f, t);
            SetHudPoint(element->points[2 * i], a.x + (b.x - a.x) * f0, a.y + (b.y - a.y) * f0,
                        a.z + (b.z - a.z) * f0);
            SetHudPoint(element->points[2 * i + 1], a.x + (b.x - a.x) * f1, a.y + (b.y - a.y) * f1,
                        a.z + (b.z - a.z) * f1);
        }
    }
    DrawHudLines(element);
}

// ---- Trail ---------------------------------------------------------------------------

HUD* InitTrailHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, "TRAIL", subject, UpdateTrailHud, nullptr, nullptr, userData, kHudWorldAnchored);
    element->params[0] = 0;
    element->params[1] = 33;
    element->params[2] = 0;
    element->params[3] = 0;
    return element;
}

namespace {

// The darkest colour of a colour's 32-entry ramp.
int RampDarkEnd(int c) { return ((((c >> 4) + 1) >> 1) & 7) * 32 - 16; }

// The trail's subject this frame, or null.
SceneItem* TrailSubject(HUD* element)
{
    if (gHud.singleTrail) {
        if (element->flags & kHudHidden)
            return nullptr;
        SceneItem* target = gPlayerItem && gPlayerItem->sim ? gPlayerItem->sim->target.Get() : nullptr;
        if (element->subject != target) {
            const int32_t serial = element->params[4];
            InitTrailHud(element, target, element->userData);
            element->params[4] = serial;
        }
        return target;
    }
    // Each trail follows a row of the visible contact list, one trail a
    // row: a row that leaves the list frees its trail for the next row.
    Contact* row = element->trailRow;
    if (row && (!(row->rowFlags & kContactVisible) || !row->item)) {
        row->rowFlags &= ~kContactTrail;
        element->trailRow = nullptr;
        row = nullptr;
    }
    if (!row) {
        for (int i = 0; i < kContactRows && gContacts.visible[i]; ++i) {
            Contact* r = gContacts.visible[i];
            const TDP* root = r->item && r->item->avatar ? r->item->avatar->root : nullptr;
            if (root && !(r->rowFlags & kContactTrail) && r->item->perFrame != UpdateCoupledShip && root->model &&
                root->lod[0]) {
                row = r;
                break;
            }
        }
        if (!row)
            return nullptr;
        const int32_t serial = element->params[4];
        InitTrailHud(element, row->item, element->userData);
        element->params[4] = serial;
        element->trailRow = row;
        row->rowFlags |= kContactTrail;
    }
    element->subject = row->item;
    return row->item;
}

// Drops a pair of points behind the subject and joins it to the last pair.
void DropTrailPair(HUD* element, SceneItem* s)
{
    const TDP* root = s->avatar->root;
    const hx_model* model = root ? (root->lod[0] ? root->lod[0] : root->model) : nullptr;
    const float xmax = model ? model->bounds.max.x : 0, xmin = model ? model->bounds.min.x : 0;
    const float zmax = model ? model->bounds.max.z : 0;
    const bool ahead = !(s->avatar->flags & kAvatarInUse) && s->sim->localVelocity.z < 0;
    const float z = ahead ? zmax : -zmax;
    int p = element->params[2];
    if (p + 2 > kHudPoints)
        p = 0;
    int seg = element->params[3];
    if (seg + 3 > kHudSegments)
        seg = 0;
    const bool joined = element->pointCount >= 4;
    const int previous = p >= 2 ? p - 2 : kHudPoints - 2;
    for (int i = 0; i < 2; ++i) {
        HudPoint& point = element->points[p + i];
        SetHudPoint(point, i == 0 ? xmax : xmin, 0, z);
        point.world = ToWorld(s, point.local);
    }
    // The rungs start at the class colour and fade toward the dark end of its
    // ramp; the ramp's dark end itself would leave nothing to fade.
    const uint8_t colour = HudClassColour(s->avatar->classFlags);
    SetHudSegment(element->segments[seg], int16_t(p), int16_t(p + 1), colour);
    SetHudSegment(element->segments[seg + 1], int16_t(p), int16_t(joined ? previous : p), colour);
    SetHudSegment(element->segments[seg + 2], int16_t(p + 1), int16_t(joined ? previous + 1 : p + 1), colour);
    element->pointCount = int16_t(std::max<int>(element->pointCount, p + 2));
    element->segmentCount = int16_t(std::max<int>(element->segmentCount, seg + 3));
    element->params[2] = p + 2;
    element->params[3] = seg + 3;
}

} // namespace

void UpdateTrailHud(HUD* element)
{
    SceneItem* s = TrailSubject(element);
    if (!s || !(s->flags & kItemInUse) || !s->sim || !s->avatar)
        return;
    const TDP* root = s->avatar->root;
    if (root && root->model) {
        const float speed = std::fabs(s->sim->speed);
        const int32_t step = speed > 5000000 ? 1 : speed > 500000 ? 3
                                                                  : element->params[1];
        element->params[0] += gFrameClock.frameTicks;
        while (step > 0 && element->params[0] >= step) {
            element->params[0] -= step;
            if (speed >= 5000)
                DropTrailPair(element, s);
        }
    }
    if (element->params[3] % 9 == 0) {
        for (int i = 0; i < element->segmentCount; ++i) {
            HudSegment& seg = element->segments[i];
            if (seg.colour != 0 && seg.colour > RampDarkEnd(seg.colour))
                --seg.colour;
        }
        while (element->segmentCount > 0) {
            const HudSegment& last = element->segments[element->segmentCount - 1];
            if (last.colour > RampDarkEnd(last.colour))
                break;
            --element->segmentCount;
        }
    }
    element->flags &= ~kHudDepthShade;
}

// ---- Sphere --------------------------------------------------------------------------

HUD* InitSphereHud(HUD* element, SceneItem* subject, int32_t userData, float cx, float cy, float cz, float rx, float ry,
                   float rz)
{
    BeginHud(element, nullptr, subject, FollowSubjectHud, nullptr, nullptr, userData, kHudDepthShade | kHudTyped);
    constexpr int kRings = 6;
    constexpr int kRingPoints[kRings] = {12, 16, 16, 16, 16, 12};
    constexpr int kJoins[kRings - 1] = {4, 8, 16, 8, 4};
    int start[kRings];
    for (int k = 0; k < kRings; ++k) {
        start[k] = element->pointCount;
        const double t = (k + 0.4) * 3.1416 / 5.8;
        const int n = kRingPoints[k];
        for (int i = 0; i < n; ++i) {
            const double lon = i * 6.2832 / n;
            AddPoint(element, float(rx * std::sin(lon) * std::sin(t) + cx), float(ry * std::cos(lon) * std::sin(t) + cy),
                     float(rz * std::cos(t) + cz));
            AddSegment(element, start[k] + i, start[k] + (i + 1) % n, 80);
        }
    }
    for (int k = 0; k + 1 < kRings; ++k)
        for (int j = 0; j < kJoins[k]; ++j)
            AddSegment(element, start[k] + j * kRingPoints[k] / kJoins[k],
                       start[k + 1] + j * kRingPoints[k + 1] / kJoins[k], 80);
    AddSegment(element, 0, 1, 80);
    return element;
}

// ---- Contact brackets ------------------------------------------------------------------

namespace {

constexpr uint8_t kThreatColour = 242;
constexpr float kWorldRadiusScale = 2.0f; // a body's radius is halved in its range figure
constexpr float kHardPointSlope = 0.268f;

// The screen point of an item's root part from its camera-relative
// position, and its depth.
void ContactScreenPoint(const TDP* root, float& x, float& y, float& depth)
{
    const Vector3& p = root->viewPosition;
    depth = p.z;
    x = p.z != 0 ? p.x * gProjectionDistance / p.z : p.x;
    y = p.z != 0 ? p.y * gProjectionDistance / p.z : p.y;
}

bool OnScreen(float x, float y, float depth)
{
    int32_t cx, cy;
    ViewCentre(cx, cy);
    const ViewRect& h = gView.hudViewport;
    return depth >= 0 && x >= h.left - cx && x <= h.right - cx && y >= h.top - cy && y <= h.bottom - cy;
}

// The range figure of a row, in units of 100000, never negative.
float RangeFigure(const Contact& row)
{
    const SceneItem* item = row.item;
    const SceneItem* player = gPlayerItem;
    float figure;
    if (item->avatar->flags & kAvatarBody) {
        if (player && player->sim && (player->flags & kItemNearPlanet) && player->sim->planet.Get() == item)
            figure = player->sim->altitude / 100000;
        else
            figure = (row.distance - item->sim->radius / kWorldRadiusScale) / 100000;
    } else {
        figure = (row.distance - item->sim->radius) / 100000;
    }
    return std::max(figure, 0.0f);
}

// Which hard-point marks the controlled item's first two hard points ask
// for on this item: bit 1 the upper, bit 2 the lower.
int HardPointMarks(const SceneItem* item)
{
    const SceneItem* controlled = gControlledItem;
    const ShipInfo* info = controlled && controlled->sim ? controlled->sim->shipInfo : nullptr;
    if (!info)
        return 0;
    int marks = 0;
    for (int slot = 0; slot < 2; ++slot) {
        if (info->hardPoints[slot].target.Get() != item)
            continue;
        const Matrix4& m = controlled->sim->matrix;
        const Vector3 d{item->sim->matrix.m[12] - m.m[12], item->sim->matrix.m[13] - m.m[13],
                        item->sim->matrix.m[14] - m.m[14]};
        Vector3 v;
        VecMulMat3T(v, d, m);
        if (!(v.z > 0 || (v.z != 0 && std::fabs(v.y / v.z) > kHardPointSlope)))
            continue;
        if (slot == 1 && v.y > 0)
            marks |= 2;
        if (slot == 0 && v.y < 0)
            marks |= 1;
    }
    return marks;
}

void Corners(int32_t l, int32_t t, int32_t r, int32_t b, int32_t k, uint8_t c)
{
    HudLine(l, t, l, t + k, c);
    HudLine(r, b, r, b - k, c);
    HudLine(l, b, l, b - k, c);
    HudLine(r, t, r, t + k, c);
    HudLine(l, t, l + k, t, c);
    HudLine(r, t, r - k, t, c);
    HudLine(r, b, r - k, b, c);
    HudLine(l, b, l + k, b, c);
}

void Caret(int32_t mx, int32_t y, int32_t size, int32_t direction, uint8_t c)
{
    HudLine(mx - size, y, mx, y + direction * size, c);
    HudLine(mx, y + direction * size, mx + size, y, c);
}

// The arrow at the view's border toward an off-screen current contact.
void OffScreenArrow(float x, float y, float depth, uint8_t c)
{
    int32_t cx, cy;
    ViewCentre(cx, cy);
    const ViewRect& h = gView.hudViewport;
    const float l = float(h.left - cx), t = float(h.top - cy), r = float(h.right - cx), b = float(h.bottom - cy);
    if (depth >= 0) {
        ClampOffsetToRect(x, y, l, t, r, b);
    } else {
        ClampOffsetToEdge(x, y, l, t, r, b);
        x = -x;
        y = -y;
    }
    gHud.contactOffset[0] = int16_t(x);
    gHud.contactOffset[1] = int16_t(y);
    const Canvas canvas = ScreenCanvas();
    const ViewRect& v = gView.viewport;
    if (!canvas.pixels)
        return;
    const int32_t px = gView.centreX + int32_t(x), py = gView.centreY + int32_t(y);
    // The arm ends by the border the point lies on; a later border wins.
    struct Arms {
        bool on;
        int32_t dx1, dy1, dx2, dy2;
    } const borders[] = {{px <= v.left + 1, 8, -8, 8, 8},
                         {py <= v.top + 1, -8, 8, 8, 8},
                         {px >= v.right - 1, -8, -8, -8, 8},
                         {py >= v.bottom - 1, -8, -8, 8, -8}};
    Arms arms = borders[0];
    for (const Arms& a : borders)
        if (a.on)
            arms = a;
    const ClipRect clip{int16_t(v.left), int16_t(v.top), int16_t(v.right), int16_t(v.bottom)};
    CanvasLineClipped(canvas, int16_t(px), int16_t(py), int16_t(px + arms.dx1), int16_t(py + arms.dy1), c, clip);
    CanvasLineClipped(canvas, int16_t(px), int16_t(py), int16_t(px + arms.dx2), int16_t(py + arms.dy2), c, clip);
}

// The bracket's texts on the screen canvas, in the bracket font.
void BracketText(int32_t x, int32_t y, const char* text, uint8_t colour)
{
    const Canvas canvas = ScreenCanvas();
    if (!text || !gFontB || !canvas.pixels)
        return;
    const ViewRect& v = gView.viewport;
    const ClipRect clip{int16_t(v.left), int16_t(v.top), int16_t(v.right), int16_t(v.bottom)};
    int16_t tx = int16_t(std::clamp(x, -32000, 32000)), ty = int16_t(std::clamp(y, -32000, 32000));
    CanvasDrawText(canvas, tx, ty, text, gFontB, colour, clip);
}

// Moves the edge halfway toward the animated one while they differ by more
// than 2 pixels; false once it is close (the slide then ends).
bool Slide(int32_t& edge, int16_t& animated)
{
    const int32_t diff = edge - animated;
    if (std::abs(diff) <= 2)
        return false;
    animated = int16_t(animated + diff / 2);
    edge = animated;
    return true;
}

void DrawContactRow(Contact& row)
{
    SceneItem* item = row.item;
    TDP* root = item->avatar ? item->avatar->root : nullptr;
    if (!item->sim || !root)
        return;
    const bool current = &row == gContacts.current;
    const float figure = RangeFigure(row);
    int c = HudClassColour(row.classFlags);
    if (gPlayerInput.lookAtItem == item && gScriptVars.missionClock % 40 > 20)
        c = 0;
    if (row.highlight > 0 && row.highlight % 20 > 10)
        c -= 7;
    const int marks = HardPointMarks(item);

    float x, y, depth;
    ContactScreenPoint(root, x, y, depth);
    if (current) {
        gHud.contactOffset[0] = int16_t(std::clamp(x, -32000.0f, 32000.0f));
        gHud.contactOffset[1] = int16_t(std::clamp(y, -32000.0f, 32000.0f));
    }
    if (!OnScreen(x, y, depth)) {
        if (current && !gExternalView)
            OffScreenArrow(x, y, depth, uint8_t(c));
        return;
    }
    if (row.contactClass == 7 || row.contactClass == 4)
        return;

    int32_t l, t, r, b;
    const bool model = root->actor && root->actor->model && root->actor->model != root->lod[2];
    if (model) {
        l = root->screenRect[0] - 4;
        t = root->screenRect[1] - 4;
        r = root->screenRect[2] + 4;
        b = root->screenRect[3] + 4;
    } else {
        const int32_t px = Pixel(x), py = Pixel(y);
        l = px - 4, t = py - 4, r = px + 4, b = py + 4;
        root->screenRect[0] = int16_t(px - 8);
        root->screenRect[1] = int16_t(py - 8);
        root->screenRect[2] = int16_t(px + 8);
        root->screenRect[3] = int16_t(py + 8);
    }
    const int32_t nameX = r + gView.centreX + 7, nameY = b + gView.centreY + 10;
    int32_t k = std::min({(r - l) / 4, (b - t) / 4, 6});
    const uint8_t d = uint8_t(current ? c : c - 2);
    Corners(l, t, r, b, k, d);
    const int32_t mx = (l + r) / 2, my = (t + b) / 2;
    const SceneItem* controlled = gControlledItem;
    if (controlled && controlled->sim && controlled->sim->target.Get() == item) {
        HudLine(mx, t, mx, t - k, d);
        HudLine(mx, b, mx, b + k, d);
        HudLine(l, my, l - k, my, d);
        HudLine(r, my, r + k, my, d);
        // The cross: the target lay outside the weapon's arc at the sight's
        // last draw; none while the guns are paired (rapid fire).
        if (!gWeaponSight.inArc && !RapidMode) {
            const int32_t s = std::max(std::clamp((r - l) / 2, 18, 40), std::clamp((b - t) / 2, 18, 40));
            HudLine(mx - s + 4, my - s + 4, mx + s - 4, my + s - 4, d);
            HudLine(mx - s + 4, my + s - 4, mx + s - 4, my - s + 4, d);
        }
    }
    if (marks & 1) {
        Caret(mx, t - k, 3, -1, d);
        if (model)
            Caret(mx, t - k, 6, -1, d);
    }
    if (marks & 2) {
        Caret(mx, b + k, 3, 1, d);
        if (model)
            Caret(mx, b + k, 6, 1, d);
    }
    const ShipInfo* info = item->sim->shipInfo;
    const char* name = nullptr;
    if (current) {
        gHud.contactOffset[0] = int16_t(mx);
        gHud.contactOffset[1] = int16_t(my);
        if (info && !(row.classFlags & 0x400))
            name = info->name;
        l -= 2, t -= 2, r += 2, b += 2, k += 2;
        if (gHud.contactFlash) {
            int32_t* edges[4] = {&l, &t, &r, &b};
            for (int i = 0; i < 4; ++i)
                if (!Slide(*edges[i], gHud.bracketRect[i]))
                    gHud.contactFlash = 0;
        }
        Corners(l, t, r, b, k, d);
    }
    char text[32];
    BracketText(nameX, nameY, name, d);
    const bool marked = info && (item == gContacts.playerTarget.Get() || item == gContacts.navTarget.Get() || current);
    if (marked || figure < 50) {
        if (figure < 1000) {
            std::snprintf(text, sizeof text, "%.0f", double(figure));
            BracketText(l + gView.centreX - 12, t + gView.centreY, text, d);
        } else {
            std::snprintf(text, sizeof text, "%.0fKK", double(figure / 1000));
            BracketText(l + gView.centreX - 26, t + gView.centreY, text, d);
        }
    }
    if (marked) {
        const int32_t maximum = info->damage.maximumHull;
        const int32_t hull =
            maximum > 0 ? std::min<int32_t>((maximum - info->damage.hullDamage) * 100 / maximum, 100) : 100;
        std::snprintf(text, sizeof text, "%i", int(hull));
        BracketText(r + gView.centreX + 7, t + gView.centreY, text, d);
    }
}

} // namespace

void ClampOffsetToRect(float& x, float& y, float left, float top, float right, float bottom)
{
    float s = 1;
    if (x > right && x > 0)
        s = std::min(s, right / x);
    if (x < left && x < 0)
        s = std::min(s, left / x);
    if (y > bottom && y > 0)
        s = std::min(s, bottom / y);
    if (y < top && y < 0)
        s = std::min(s, top / y);
    x *= s;
    y *= s;
}

void ClampOffsetToEdge(float& x, float& y, float left, float top, float right, float bottom)
{
    if (x == 0 && y == 0) {
        y = bottom; // no direction at all: the lower border
        return;
    }
    // The largest scale that keeps the point within the rectangle puts it
    // on the border, inside or out.
    float s = 1e30f;
    if (x > 0)
        s = std::min(s, right / x);
    if (x < 0)
        s = std::min(s, left / x);
    if (y > 0)
        s = std::min(s, bottom / y);
    if (y < 0)
        s = std::min(s, top / y);
    x *= s;
    y *= s;
}

HUD* InitContactBracketsHud(HUD* element, SceneItem* subject, int32_t userData)
{
    BeginHud(element, nullptr, subject, nullptr, DrawContactBrackets, nullptr, userData, kHudTyped);
    return element;
}

void DrawContactBrackets(HUD*)
{
    if (gDirectorOn)
        return;
    if (gLastHitAmount != 0 && CRand() % 500 < gLastHitAmount)
        return;
    for (Contact& row : gContacts.rows)
        if ((row.rowFlags & kContactUsed) && (row.rowFlags & kContactVisible) && row.item)
            DrawContactRow(row);
    if (gFrameClock.gameClock % 20 > 10)
        for (int i = 0; i < gContacts.threatCount && i < kContactThreats; ++i) {
            const SceneItem* threat = gContacts.threats[i];
            const TDP* root = threat && threat->avatar ? threat->avatar->root : nullptr;
            if (!root || !root->actor || !root->actor->model || root->actor->model != root->lod[0])
                continue;
            float x, y, depth;
            ContactScreenPoint(root, x, y, depth);
            if (!OnScreen(x, y, depth))
                continue;
            const int32_t l = root->screenRect[0] - 4, t = root->screenRect[1] - 4;
            const int32_t r = root->screenRect[2] + 4, b = root->screenRect[3] + 4;
            Corners(l, t, r, b, std::min({(r - l) / 4, (b - t) / 4, 6}), kThreatColour);
        }
    SyncWeaponSight();
    DrawWeaponSight(&gWeaponSight);
    gPlayerInput.lookAtItem = nullptr;
}

void SyncWeaponSight()
{
    const SceneItem* controlled = gControlledItem;
    Weapon* mount = controlled && controlled->sim ? controlled->sim->currentWeapon : nullptr;
    gWeaponSight.mount = mount;
    if (!mount)
        return;
    FiringArc arc{};
    SetupFiringArc(&arc, mount->directionCode);
    std::copy(std::begin(arc.corners), std::end(arc.corners), gWeaponSight.edges);
}

bool HudScreenOffset(const Vector3& world, float& x, float& y, float& depth)
{
    const Matrix4* camera = CameraMatrix();
    if (!camera)
        return false;
    ProjectPoint(world, *camera, x, y, depth);
    return depth > 0;
}

Vector3 HudItemPosition(const SceneItem* item) { return ItemPosition(item); }
