// The star map: its state, selection, zoom, camera and transits, drawing
// on the canvas, and the panel's bindings. See starmap.h.
#include "world/starmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "screens/bridge.h"
#include "screens/vesselorders.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/display.h"
#include "system/input.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/text.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/universe.h"

uint8_t gStarMapOpen = 0;
Resource* gStarMapIcons[kStarMapIcons];
StarMapState gStarMap;

namespace {

// The links between systems, in the order the map draws them.
// clang-format off
constexpr uint8_t kLinks[kStarLinkCount][2] = {
    {13, 16}, {16, 9},  {9, 6},   {6, 1},   {1, 5},   {5, 11},  {12, 19}, {19, 5},
    {5, 4},   {4, 18},  {18, 8},  {8, 17},  {17, 14}, {14, 8},  {6, 3},   {3, 4},
    {4, 20},  {20, 2},  {2, 10},  {10, 22}, {22, 20}, {2, 22},  {4, 5},   {1, 4},
    {5, 23},  {23, 25}, {25, 18}, {18, 7},  {7, 25},
};
// clang-format on

// Set-1 scan codes of the letters a..z.
// clang-format off
constexpr uint8_t kLetterScanCodes[26] = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
};
// clang-format on

constexpr double kGalaxyZoomOutLimit = 1.2e17, kSystemZoomOutLimit = 4e14;
constexpr double kGalaxyZoomInLimit = 1.8e15, kSystemZoomInLimit = 4e8;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool InSystemMode() { return gStarMap.mode == 'S' || gStarMap.mode == 'T'; }

// Starts an animated camera move to the point over `time` units.
void MoveCameraTo(const Vector3& to, float time)
{
    gStarMap.moveTime = time;
    gStarMap.moveVelocity = {(to.x - gStarMap.camera.x) / time, (to.y - gStarMap.camera.y) / time,
                             (to.z - gStarMap.camera.z) / time};
}

Vector3 Focus() { return {gStarMap.matrix.m[12], gStarMap.matrix.m[13], gStarMap.matrix.m[14]}; }

void SetFocus(const Vector3& p)
{
    gStarMap.matrix.m[12] = p.x;
    gStarMap.matrix.m[13] = p.y;
    gStarMap.matrix.m[14] = p.z;
}

void FocusMapOnBody(SystemBody* body)
{
    gStarMap.focusedBody = body;
    if (body && body->position)
        SetFocus({static_cast<float>(body->position->x), static_cast<float>(body->position->y),
                  static_cast<float>(body->position->z)});
}

} // namespace

void SetUpStarMap()
{
    StarMapState& m = gStarMap;
    m = {};
    m.mode = 'G';
    m.starFilter = 0x82;
    m.bodyFilter = 0x42;
    m.outlineCount = kGlobeCircles;
    MatIdentity(m.matrix);
    MatRotX(-12, m.matrix);
    MatIdentity(m.globeTilt);
    m.distance = 4e12;
    m.camera = {0, 6e9f, -9e18f};
    m.zoomSpeed = 1;
    // The first named star of each system represents it.
    for (int i = 0; i < gStarsLoaded; ++i) {
        Star& s = gStars[i];
        if (s.system >= 1 && s.system <= kMapSystems && s.name[0] && !m.systemStars[s.system]) {
            m.systemStars[s.system] = &s;
            s.flags |= kStarRepresentsSystem;
        }
    }
    for (int i = 0; i < kStarLinkCount; ++i)
        m.links[i] = {m.systemStars[kLinks[i][0]], m.systemStars[kLinks[i][1]], 0};
    // A system's first body may carry its star's name after a bar.
    for (int i = 0; i < gBodyCount; ++i) {
        SystemBody& b = gBodies[i];
        if (b.id % kBodiesPerSystem != 0)
            continue;
        const int system = b.id / kBodiesPerSystem + 1;
        if (system < 1 || system > kMapSystems || !m.systemStars[system])
            continue;
        if (char* bar = std::strchr(b.name, '|')) {
            *bar = 0;
            m.systemStars[system]->namePointer = bar + 1;
        }
    }
    gCurrentStar = gStarsLoaded ? &gStars[0] : nullptr;
    m.mapStar = gCurrentStar;
    m.selectedStar = gCurrentStar;
}

void ToggleStarMap()
{
    if (!gUniverseCreated)
        CreateUniverse();
    gStarMapOpen = gStarMapOpen ? 0 : 255;
    if (gStarMapOpen) {
        // One overlay at a time on the command screen.
        gDocsViewOpen = 0;
        gObjectivesViewOpen = 0;
        gLocalViewOpen = 0;
        gStarMap.redraw = 255;
    }
}

void CloseStarMap() { gStarMapOpen = 0; }

bool StarSelectable(const Star* star) { return star && (star->flags & gStarMap.starFilter); }

bool BodySelectable(const SystemBody* body) { return body && (body->classFlags & gStarMap.bodyFilter); }

void SelectMapItemByLetter(int scanCode)
{
    char letter = 0;
    for (int i = 0; i < 26; ++i)
        if (kLetterScanCodes[i] == (scanCode & 0xFF))
            letter = static_cast<char>('a' + i);
    if (!letter)
        return;
    if (gStarMap.mode == 'G' && gStarMap.selectedStar && gStarsLoaded) {
        const int from = static_cast<int>(gStarMap.selectedStar - gStars);
        for (int k = 1; k < gStarsLoaded; ++k) {
            Star& s = gStars[(from + k) % gStarsLoaded];
            if (StarSelectable(&s) && Lower(s.namePointer[0]) == letter) {
                gStarMap.selectedStar = gStarMap.mapStar = &s;
                FocusMapOnStar(&s);
                return;
            }
        }
    } else if (gStarMap.mode == 'S' && gStarMap.focusedBody && gSystemBodyCount) {
        int from = 0;
        for (int i = 0; i < gSystemBodyCount; ++i)
            if (gSystemBodyList[i].body == gStarMap.focusedBody)
                from = i;
        for (int k = 1; k < gSystemBodyCount; ++k) {
            SystemBody* b = gSystemBodyList[(from + k) % gSystemBodyCount].body;
            if (Lower(b->name[0]) == letter) {
                FocusMapOnBody(b);
                return;
            }
        }
    }
}

void FocusMapOnStar(Star* star)
{
    if (!star)
        return;
    SetFocus(star->position);
    float x = gStarMap.camera.x - star->position.x;
    float y = gStarMap.camera.y - star->position.y;
    float z = gStarMap.camera.z - star->position.z;
    x = x - z / 2;
    z = z + x / 2;
    const double length = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    double scale = 1;
    if (length < 7e16) {
        scale = length > 0 ? 7e16 / length : 1;
        gStarMap.distance = 2e16;
    } else if (length > 3e17) {
        scale = 3e17 / length;
    }
    x = static_cast<float>(x * scale);
    y = static_cast<float>(y * scale);
    z = static_cast<float>(z * scale);
    const double limit = 0.18 * gStarMap.distance;
    if (gStarMap.height > limit)
        gStarMap.height = limit;
    if (gStarMap.height < -limit)
        gStarMap.height = -limit;
    MoveCameraTo({star->position.x + x / 2, star->position.y + y / 2, star->position.z + z / 2}, 500);
}

void ResetStarMapSelection()
{
    gStarMap.focusedBody = nullptr;
    gPendingJumpBody = nullptr;
    gPendingJumpSystem = 0;
    gStarMap.destinationStar = nullptr;
}

void ClearStarLinkMarks()
{
    for (StarLink& link : gStarMap.links) {
        if (link.a)
            link.a->flags &= ~kStarLinkEnd;
        if (link.b)
            link.b->flags &= ~kStarLinkEnd;
    }
}

void StarMapZoomOut()
{
    if (gStarMap.transit)
        return;
    const double limit = InSystemMode() ? kSystemZoomOutLimit : kGalaxyZoomOutLimit;
    if (gStarMap.distance < limit) {
        gStarMap.distance *= 1.8;
        gStarMap.zoomSpeed *= 1.8f;
    }
    if (gStarMap.distance > limit)
        gStarMap.distance = limit;
}

void StarMapZoomIn()
{
    if (gStarMap.transit)
        return;
    const double limit = InSystemMode() ? kSystemZoomInLimit : kGalaxyZoomInLimit;
    if (gStarMap.distance > limit) {
        gStarMap.distance /= 1.8;
        gStarMap.zoomSpeed /= 1.8f;
    }
    if (gStarMap.distance < limit)
        gStarMap.distance = limit;
}

void StarMapEnterSystem()
{
    Star* star = gStarMap.mapStar;
    if (gStarMap.mode != 'G' || !star)
        return;
    gStarMap.mode = 'T';
    const Vector3 origin = star->position;
    for (int i = 0; i < gStarsLoaded; ++i) {
        gStars[i].position.x -= origin.x;
        gStars[i].position.y -= origin.y;
        gStars[i].position.z -= origin.z;
    }
    gStarMap.camera = {gStarMap.camera.x - origin.x, gStarMap.camera.y - origin.y,
                       gStarMap.camera.z - origin.z};
    SetFocus({0, 0, 0});
    double largest = 1e8;
    if (star->system) {
        gStarMap.outlineCount = 48 + BuildSystemBodyList(star->system, nullptr);
        for (int i = 0; i < gSystemBodyCount; ++i)
            largest = std::max<double>(largest, gSystemBodyList[i].body->largestChildOrbit);
    }
    // The globe is drawn again around the star, tilted at random.
    MatIdentity(gStarMap.globeTilt);
    MatRotX(static_cast<float>(CRand() % 91), gStarMap.globeTilt);
    MatRotY(static_cast<float>(CRand() % 91), gStarMap.globeTilt);
    gStarMap.transit = 1;
    gStarMap.transitTime = 0;
    Vector3 dir = gStarMap.camera;
    VecNormalise(dir);
    const float reach = static_cast<float>(27 * largest);
    MoveCameraTo({dir.x * reach, dir.y * reach + 0.6f * reach, dir.z * reach}, 600);
}

void StarMapLeaveSystem()
{
    if (gStarMap.mode != 'S')
        return;
    gStarMap.mapStar = gStarMap.selectedStar;
    gStarMap.transit = 1;
    gStarMap.transitTime = 0;
    FocusMapOnStar(gStarMap.mapStar);
    gStarMap.mode = 'I';
}

void StarMapSelectDestination()
{
    StarMapState& m = gStarMap;
    if (m.mode == 'S') {
        SystemBody* b = m.focusedBody;
        if (b && (b->classFlags & kBodyLagrange)) {
            gPendingJumpBody = b;
            gPendingJumpSystem = static_cast<int16_t>(b->id / kBodiesPerSystem + 1);
            m.destinationStar = m.selectedStar ? m.selectedStar->namePointer : "";
        }
        return;
    }
    if (m.mode != 'G' || !m.selectedStar || !m.selectedStar->system)
        return;
    const int system = m.selectedStar->system;
    const bool mission = m.selectedStar->flags & kStarMission;
    SystemBody* candidates[kBodiesPerSystem];
    int count = 0, current = -1;
    for (int i = 0; i < gBodyCount && count < kBodiesPerSystem; ++i) {
        SystemBody& b = gBodies[i];
        if (b.id <= (system - 1) * kBodiesPerSystem || b.id >= (system - 1) * kBodiesPerSystem + 100)
            continue;
        if (mission ? (b.classFlags & kBodyMission) : (b.classFlags & kBodyLagrange)) {
            if (&b == gPendingJumpBody)
                current = count;
            candidates[count++] = &b;
        }
    }
    if (!count)
        return;
    gPendingJumpBody = candidates[(current + 1) % count];
    gPendingJumpSystem = static_cast<int16_t>(system);
    m.destinationStar = m.selectedStar->namePointer;
}

bool ProjectMapPoint(const Vector3& point, int width, int height, float* sx, float* sy, float* depth)
{
    Vector3 rel{point.x - gStarMap.camera.x, point.y - gStarMap.camera.y, point.z - gStarMap.camera.z};
    // The camera looks at the focus: its axes from the direction to it.
    Vector3 forward{gStarMap.matrix.m[12] - gStarMap.camera.x, gStarMap.matrix.m[13] - gStarMap.camera.y,
                    gStarMap.matrix.m[14] - gStarMap.camera.z};
    Matrix4 view;
    MatIdentity(view);
    if (VecNormalise(forward) > 0)
        MatLookDir(forward, nullptr, view);
    Vector3 v;
    VecMulMat3T(v, rel, view);
    *depth = v.z;
    if (v.z <= 0)
        return false;
    const float f = static_cast<float>(width) / 1.547005f;
    *sx = width / 2.0f + f * v.x / v.z;
    *sy = height / 2.0f - f * v.y / v.z;
    return true;
}

void StarMapClick(int x, int y, int width, int height)
{
    float best = 1000;
    if (gStarMap.mode == 'G') {
        Star* chosen = nullptr;
        for (int i = 0; i < gStarsLoaded; ++i) {
            Star& s = gStars[i];
            float sx, sy, depth;
            if (!StarSelectable(&s) || !ProjectMapPoint(s.position, width, height, &sx, &sy, &depth))
                continue;
            const float d = std::fabs(sx - x) + std::fabs(sy - y);
            if (d < best) {
                best = d;
                chosen = &s;
            }
        }
        if (chosen) {
            gStarMap.selectedStar = gStarMap.mapStar = chosen;
            FocusMapOnStar(chosen);
        }
    } else if (gStarMap.mode == 'S') {
        SystemBody* chosen = nullptr;
        for (int i = 0; i < gSystemBodyCount; ++i) {
            SystemBody* b = gSystemBodyList[i].body;
            const WorldPosition& p = gSystemBodyList[i].position;
            float sx, sy, depth;
            if (!BodySelectable(b) ||
                !ProjectMapPoint({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)},
                                 width, height, &sx, &sy, &depth))
                continue;
            float d = std::fabs(sx - x) + std::fabs(sy - y);
            if (b->classFlags & kBodyLagrange)
                d /= 4;
            if (d < best) {
                best = d;
                chosen = b;
            }
        }
        if (chosen)
            FocusMapOnBody(chosen);
    }
}

void UpdateStarMapCamera(float ticks)
{
    StarMapState& m = gStarMap;
    if (m.transit)
        m.transitTime += ticks;
    if (m.moveTime > 0) {
        const float step = ticks < m.moveTime ? ticks : m.moveTime;
        m.camera.x += m.moveVelocity.x * step;
        m.camera.y += m.moveVelocity.y * step;
        m.camera.z += m.moveVelocity.z * step;
        m.moveTime -= step;
        if (m.moveTime > 0)
            return;
        // The orbit goes on from where the move left the camera.
        const Vector3 focus = Focus();
        const Vector3 offset{m.camera.x - focus.x, m.camera.y - focus.y, m.camera.z - focus.z};
        Vector3 local;
        VecMulMat3T(local, offset, m.matrix);
        const double length = std::sqrt(double(local.x) * local.x + double(local.y) * local.y +
                                        double(local.z) * local.z);
        if (length > 0) {
            m.distance = length;
            m.height = local.y;
            m.azimuth = static_cast<float>(std::atan2(local.z, local.x) / 0.017453292);
        }
        if (m.mode == 'T') {
            m.mode = 'S';
            m.transit = 0;
            if (m.mapStar && m.mapStar->system == gListedSystem && gPendingJumpBody)
                FocusMapOnBody(gPendingJumpBody);
        } else if (m.mode == 'I') {
            m.mode = 'G';
            m.transit = 0;
            m.outlineCount = kGlobeCircles;
            MatIdentity(m.globeTilt);
            if (m.mapStar) {
                // Back to galaxy coordinates: star 0 sits at the origin.
                const Vector3 back = gStars[0].position;
                for (int i = 0; i < gStarsLoaded; ++i) {
                    gStars[i].position.x -= back.x;
                    gStars[i].position.y -= back.y;
                    gStars[i].position.z -= back.z;
                }
                m.camera = {m.camera.x - back.x, m.camera.y - back.y, m.camera.z - back.z};
                SetFocus(m.mapStar->position);
            }
        }
        return;
    }
    if (m.dragging) {
        // The cursor's offset from where the button went down turns the
        // camera; the speeds follow it smoothly.
        const float azimuth = m.pressX * 70 * ticks * 0.01f;
        const float height = static_cast<float>(m.pressY * m.distance * 0.005 * ticks);
        m.azimuthSpeed = 0.4f * azimuth + 0.6f * m.azimuthSpeed;
        m.heightSpeed = 0.4f * height + 0.6f * m.heightSpeed;
    } else {
        const float decay = 0.985f * 5 * ticks * 0.01f;
        m.azimuthSpeed *= decay < 1 ? decay : 1;
        m.heightSpeed *= decay < 1 ? decay : 1;
    }
    m.azimuth += m.azimuthSpeed;
    m.height += m.heightSpeed;
    if (m.height > 0.9 * m.distance)
        m.height = 0.9 * m.distance;
    if (m.height < -0.9 * m.distance)
        m.height = -0.9 * m.distance;
    const double r = std::sqrt(m.distance * m.distance - m.height * m.height);
    const double a = m.azimuth * 0.017453292;
    Vector3 local{static_cast<float>(std::cos(a) * r), static_cast<float>(m.height),
                  static_cast<float>(std::sin(a) * r)};
    Vector3 turned;
    VecMulMat3(turned, local, m.matrix);
    const Vector3 focus = Focus();
    m.camera = {focus.x + turned.x, focus.y + turned.y, focus.z + turned.z};
}

// ---- Drawing ---------------------------------------------------------------------------

namespace {

OrbitOutline gOutlines[kBodiesPerSystem];

constexpr int kGlobePoints = 32;

struct Projected {
    float x, y, depth;
    bool front;
};

Projected ProjectInto(const Vector3& p, const ClipRect& rect)
{
    Projected out{};
    const int width = rect.right - rect.left + 1, height = rect.bottom - rect.top + 1;
    out.front = ProjectMapPoint(p, width, height, &out.x, &out.y, &out.depth);
    out.x += rect.left;
    out.y += rect.top;
    return out;
}

int16_t Clamp16(float v) { return static_cast<int16_t>(v < -30000 ? -30000 : v > 30000 ? 30000
                                                                                       : v); }

uint32_t Grey(float brightness)
{
    const uint32_t v = static_cast<uint32_t>(std::clamp(brightness, 0.0f, 1.0f) * 255);
    return v | v << 8 | v << 16;
}

uint32_t Scale(uint32_t rgb, float s)
{
    const auto c = [&](int shift) { return static_cast<uint32_t>(((rgb >> shift) & 0xFF) * s) << shift; };
    return c(0) | c(8) | c(16);
}

// One closed ring of points drawn with anti-aliased segments, the near side brighter.
void DrawRing(const Canvas& canvas, const ClipRect& rect, const Vector3* points, int count, int strength,
              uint32_t rgb, const uint8_t* table)
{
    if (!table || strength <= 0)
        return;
    Projected p[kGlobePoints];
    float nearest = 1e38f, farthest = -1e38f;
    for (int i = 0; i < count; ++i) {
        p[i] = ProjectInto(points[i], rect);
        nearest = std::min(nearest, p[i].depth);
        farthest = std::max(farthest, p[i].depth);
    }
    const float span = farthest > nearest ? 2 * (farthest - nearest) : 1;
    for (int i = 0; i < count; ++i) {
        const Projected& a = p[i];
        const Projected& b = p[(i + 1) % count];
        if (!a.front || !b.front)
            continue;
        const float brightness = (1 - (a.depth - nearest) / span) * strength / 100.0f;
        CanvasLineAAClipped(canvas, Clamp16(a.x), Clamp16(a.y), Clamp16(b.x), Clamp16(b.y), rect,
                            rgb ? Scale(rgb, brightness) : Grey(brightness), table);
    }
}

// The 24 globe circles around the focus: 12 through the poles, 12 parallels.
void DrawGlobe(const Canvas& canvas, const ClipRect& rect, int strength, const uint8_t* table)
{
    const Vector3 focus = Focus();
    const float radius = static_cast<float>(gStarMap.distance * 0.5);
    Vector3 ring[kGlobePoints];
    for (int c = 0; c < kGlobeCircles; ++c) {
        // Circles 0-11 pass through the poles 15 degrees apart; 12-23 are parallels.
        const bool meridian = c < kGlobeCircles / 2;
        const double angle = meridian ? c * 15 * 0.017453292 : (c - 12 - 5.5) / 6.5 * 1.5707963;
        for (int k = 0; k < kGlobePoints; ++k) {
            const double a = k * 6.28318530718 / kGlobePoints;
            const double x = std::cos(a) * std::cos(angle);
            const double y = meridian ? std::sin(a) : std::sin(angle);
            const double z = meridian ? std::cos(a) * std::sin(angle) : std::sin(a) * std::cos(angle);
            const Vector3 local{static_cast<float>(x * radius), static_cast<float>(y * radius),
                                static_cast<float>(z * radius)};
            Vector3 turned;
            VecMulMat3(turned, local, gStarMap.globeTilt);
            ring[k] = {focus.x + turned.x, focus.y + turned.y, focus.z + turned.z};
        }
        DrawRing(canvas, rect, ring, kGlobePoints, strength, 0, table);
    }
}

// The icon that marks the star under the cursor ("gsv_stl").
constexpr int kCursorStarIcon = 5;

void DrawIcon(const Canvas& canvas, const ClipRect& rect, int icon, const Projected& at)
{
    Resource* r = gStarMapIcons[icon];
    const Bitmap* bitmap = r ? static_cast<const Bitmap*>(r->data) : nullptr;
    if (!bitmap || !bitmap->pixels || !at.front)
        return;
    static std::vector<uint8_t> runs[kStarMapIcons];
    if (runs[icon].empty()) {
        runs[icon].resize(SpriteRunsSize(*bitmap, 0));
        if (SpriteBuildRuns(*bitmap, runs[icon], 0) == 0)
            return;
    }
    SpriteDrawClipped(canvas, *bitmap, Clamp16(at.x), Clamp16(at.y), runs[icon].data(), rect);
}

void DrawGalaxyStars(const Canvas& canvas, const ClipRect& rect, int strength, const StarMapDrawing& d)
{
    StarMapState& m = gStarMap;
    for (int i = 0; i < gStarsLoaded; ++i) {
        Star& s = gStars[i];
        if (!s.name[0])
            continue;
        const Projected p = ProjectInto(s.position, rect);
        s.map[0] = p.x;
        s.map[1] = p.y;
        s.map[2] = p.depth;
        if (!p.front)
            continue;
        const uint8_t colour = static_cast<uint8_t>(std::clamp(static_cast<int>(s.catalogueValue + 26), 26, 47));
        const int16_t x = Clamp16(p.x), y = Clamp16(p.y);
        CanvasPlotClipped(canvas, colour, x, y, rect);
        if (s.flags & kStarNear) {
            CanvasPlotClipped(canvas, colour, x + 1, y, rect);
            CanvasPlotClipped(canvas, colour, x, y + 1, rect);
            CanvasPlotClipped(canvas, colour, x + 1, y + 1, rect);
        }
        constexpr int kCursorReach = 4;
        if (m.mode == 'G' && d.cursorShown && std::abs(x - d.cursorX) <= kCursorReach &&
            std::abs(y - d.cursorY) <= kCursorReach)
            DrawIcon(canvas, rect, kCursorStarIcon, p);
        if ((m.mode == 'G' && StarSelectable(&s)) || &s == m.selectedStar || &s == m.mapStar) {
            int16_t tx = static_cast<int16_t>(x + 5), ty = y;
            CanvasTextWrap(canvas, tx, ty, s.namePointer, d.font, rect);
        }
    }
    for (const StarLink& link : m.links) {
        if (!link.a || !link.b || !link.marked || !d.inverseTable)
            continue;
        const Projected a = ProjectInto(link.a->position, rect), b = ProjectInto(link.b->position, rect);
        if (!a.front && !b.front)
            continue;
        CanvasLineAAClipped(canvas, Clamp16(a.x), Clamp16(a.y), Clamp16(b.x), Clamp16(b.y), rect,
                            Grey(strength / 255.0f), d.inverseTable);
    }
    if (m.mode == 'G') {
        if (m.selectedStar)
            DrawIcon(canvas, rect, 3, ProjectInto(m.selectedStar->position, rect));
        if (m.mapStar)
            DrawIcon(canvas, rect, 2, ProjectInto(m.mapStar->position, rect));
    }
}

void DrawSystemBodies(const Canvas& canvas, const ClipRect& rect, const StarMapDrawing& d)
{
    for (int i = 0; i < gSystemBodyCount; ++i) {
        SystemBody* b = gSystemBodyList[i].body;
        const WorldPosition& w = gSystemBodyList[i].position;
        const Projected p = ProjectInto({static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)}, rect);
        if (!p.front)
            continue;
        const int16_t x = Clamp16(p.x), y = Clamp16(p.y);
        CanvasFillRectClipped(canvas, 160, rect, x, y, static_cast<int16_t>(x + 1), static_cast<int16_t>(y + 1));
        if (b->classFlags & kBodyLagrange)
            DrawIcon(canvas, rect, b == gStarMap.focusedBody ? 1 : 0, p);
        else if (b->firstChild && b->largestChildOrbit * 460 < p.depth)
            DrawIcon(canvas, rect, 4, p);
        bool named = !b->parent || b->parent == b;
        if (!named && BodySelectable(b) && b->parent->position) {
            const WorldPosition& q = *b->parent->position;
            const Projected pp =
                ProjectInto({static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z)}, rect);
            named = std::fabs(pp.x - p.x) > 50 || std::fabs(pp.y - p.y) > 12;
        }
        if (named) {
            int16_t tx = static_cast<int16_t>(x + 5), ty = y;
            CanvasTextWrap(canvas, tx, ty, b->name, d.font, rect);
        }
    }
}

} // namespace

void StarMapStatusLine(int line, int language, char* out, int size)
{
    const StarMapState& m = gStarMap;
    const auto name = [](const Star* s) { return s ? s->namePointer : ""; };
    static const char* const kDestination[3][2] = {
        {"JUMP DESTINATION: %s (%s)", "NO JUMP DESTINATION"},
        {"DESTINATION DU SAUT: %s (%s)", "PAS DE DESTINATION DE SAUT"},
        {"SPRUNGZIEL: %s (%s)", "KEIN SPRUNGZIEL"},
    };
    const int l = language >= 0 && language < 3 ? language : 0;
    switch (line) {
    case 0: std::snprintf(out, size, "CURRENT STAR SYSTEM: %s", name(m.mapStar)); break;
    case 1: std::snprintf(out, size, "SELECTED STAR: %s", name(m.selectedStar)); break;
    case 2:
        if (m.focusedBody)
            std::snprintf(out, size, "FOCUS: %s", m.focusedBody->name);
        else
            std::snprintf(out, size, "NO FOCUS");
        break;
    default:
        if (gPendingJumpBody)
            std::snprintf(out, size, kDestination[l][0], gPendingJumpBody->name,
                          m.destinationStar ? m.destinationStar : "");
        else
            std::snprintf(out, size, "%s", kDestination[l][1]);
        break;
    }
}

void DrawStarMap(const Canvas& canvas, const ClipRect& rect, const StarMapDrawing& d)
{
    StarMapState& m = gStarMap;
    CanvasFillRectClipped(canvas, 0, rect, rect.left, rect.top, rect.right, rect.bottom);
    const int t = static_cast<int>(m.transitTime);
    int globe = 100, stars = 255;
    if (m.mode == 'I') {
        globe = 100 - t / 8;
        stars = std::max(0, 256 - t / 2);
    } else if (m.mode == 'T') {
        globe = t / 8;
        stars = std::min(255, t / 2);
    } else if (m.mode == 'S') {
        globe = 0;
        stars = 0;
    }
    if (m.mode != 'S')
        DrawGlobe(canvas, rect, globe, d.inverseTable);
    DrawGalaxyStars(canvas, rect, stars, d);
    if (m.mode == 'S' || m.mode == 'T') {
        const int count = BuildSystemBodyList(m.mapStar ? m.mapStar->system : 0, gOutlines);
        for (int i = 0; i < count; ++i) {
            const uint32_t rgb = BodySelectable(gOutlines[i].entry->body) ? 0x50FF50 : 0xA0A0A0;
            DrawRing(canvas, rect, gOutlines[i].points, kOutlinePoints, 100, rgb, d.inverseTable);
        }
        if (m.mode == 'S')
            DrawSystemBodies(canvas, rect, d);
    }
    char line[128];
    for (int i = 0; i < 4; ++i) {
        StarMapStatusLine(i, d.language, line, sizeof line);
        int16_t x = static_cast<int16_t>(rect.left + 24), y = static_cast<int16_t>(rect.top + 18 + 10 * i);
        CanvasTextWrap(canvas, x, y, line, d.font, rect);
    }
    if (m.transit && d.frameCount % 100 > 50) {
        int16_t x = static_cast<int16_t>((rect.left + rect.right) / 2 - 40), y = static_cast<int16_t>(rect.bottom - 20);
        CanvasTextWrap(canvas, x, y, "TRANSITING", d.font, rect);
    }
}

namespace {

ClipRect gStarMapRect{0, 0, 639, 479}; // where the panel last drew the map

void ToggleStarFilter(int32_t bit) { gStarMap.starFilter ^= bit; }
void ToggleBodyFilter(int32_t bit) { gStarMap.bodyFilter ^= bit; }

} // namespace

void CreateSolarMapWindow()
{
    struct Button {
        const char* name;
        WindowRoutine action;
    };
    static const Button kButtons[] = {
        {"BtNavSolar", [](WindowHandle*) { StarMapEnterSystem(); }},
        {"BtNavGalaxy", [](WindowHandle*) { StarMapLeaveSystem(); }},
        {"BtNavZoomin", [](WindowHandle*) { StarMapZoomIn(); }},
        {"BtNavZoomout", [](WindowHandle*) { StarMapZoomOut(); }},
        {"BtNavSelect", [](WindowHandle*) { StarMapSelectDestination(); }},
        {"BtCapsule", [](WindowHandle* w) { ExecutePendingJump(w); }},
        {"BtNavStarSystem", [](WindowHandle*) { ToggleStarFilter(0x10); }},
        {"BtNavStarCapsule", [](WindowHandle*) { ToggleStarFilter(0x80); }},
        {"BtNavStarOuter", [](WindowHandle*) { ToggleStarFilter(0x8); }},
        {"BtNavPlanetStar", [](WindowHandle*) { ToggleBodyFilter(1); }},
        {"BtNavPlanetMoon", [](WindowHandle*) { ToggleBodyFilter(4); }},
        {"BtNavPlanetPlanet", [](WindowHandle*) { ToggleBodyFilter(2); }},
    };
    for (const Button& b : kButtons)
        guiBindClick(b.name, b.action);
    guiBindDraw("SolarMap", [](WindowHandle* window) {
        // Closed, the map leaves the command screen alone; open, it moves
        // every frame.
        if (!gStarMapOpen)
            return;
        window->redrawCount = gWindows.redrawValue > 0 ? gWindows.redrawValue : 1;
        const Canvas screen = ScreenCanvas();
        if (!screen.pixels)
            return;
        // The anti-aliased lines need the inverse table of the palette in
        // use: rebuilt when the palette changes.
        static std::vector<uint8_t> table(kInverseColourTableSize);
        static PaletteEntry tablePalette[256];
        static bool tableBuilt = false;
        const PaletteEntry* palette = DisplayLastPalette();
        if (!tableBuilt || std::memcmp(palette, tablePalette, sizeof tablePalette) != 0) {
            std::memcpy(tablePalette, palette, sizeof tablePalette);
            BuildInverseColourTable(tablePalette, table.data());
            tableBuilt = true;
        }
        StarMapDrawing d{};
        d.font = gFontV; // the "VFont" symbol's font, taken at start-up
        d.inverseTable = table.data();
        d.frameCount = gFrameClock.gameClock;
        d.cursorShown = 1;
        d.cursorX = gMouse.x;
        d.cursorY = gMouse.y;
        if (!guiWindowRect(window, nullptr, nullptr))
            return;
        gStarMapRect = {window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
        DrawStarMap(screen, gStarMapRect, d);
    });
    WindowHandle* map = guiBindClick("SolarMap", [](WindowHandle*) {
        const ClipRect& r = gStarMapRect;
        StarMapClick(gMouse.x - r.left, gMouse.y - r.top, r.right - r.left + 1, r.bottom - r.top + 1);
    });
    // Closed, the map takes no clicks either: the view beneath it has them.
    if (map)
        map->hitTest = [](WindowHandle* w, int32_t x, int32_t y) { return gStarMapOpen && guiHitTestRect(w, x, y); };
}
