// The star map: its state, selection, zoom, camera and transits. See
// starmap.h. Drawing waits for the canvas of the display layer.
#include "world/starmap.h"

#include <cmath>
#include <cstring>

#include "system/crand.h"
#include "world/universe.h"

uint8_t gStarMapOpen = 0;
Resource* gStarMapIcons[kStarMapIcons];
StarMapState gStarMap;

namespace {

// The links between systems, in the order the map draws them.
constexpr uint8_t kLinks[kStarLinkCount][2] = {
    {13, 16}, {16, 9},  {9, 6},   {6, 1},   {1, 5},   {5, 11},  {12, 19}, {19, 5},
    {5, 4},   {4, 18},  {18, 8},  {8, 17},  {17, 14}, {14, 8},  {6, 3},   {3, 4},
    {4, 20},  {20, 2},  {2, 10},  {10, 22}, {22, 20}, {2, 22},  {4, 5},   {1, 4},
    {5, 23},  {23, 25}, {25, 18}, {18, 7},  {7, 25},
};

// Set-1 scan codes of the letters a..z.
constexpr uint8_t kLetterScanCodes[26] = {
    0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
    0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C,
};

constexpr double kGalaxyZoomOutLimit = 1.2e17, kSystemZoomOutLimit = 4e14;
constexpr double kGalaxyZoomInLimit = 1.8e15, kSystemZoomInLimit = 4e8;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool InSystemMode() { return gStarMap.mode == 'S' || gStarMap.mode == 'T'; }

// Starts an animated camera move to the point over `time` units.
void MoveCameraTo(const Vector3& to, float time) {
    gStarMap.moveTime = time;
    gStarMap.moveVelocity = {(to.x - gStarMap.camera.x) / time, (to.y - gStarMap.camera.y) / time,
                             (to.z - gStarMap.camera.z) / time};
}

Vector3 Focus() { return {gStarMap.matrix.m[12], gStarMap.matrix.m[13], gStarMap.matrix.m[14]}; }

void SetFocus(const Vector3& p) {
    gStarMap.matrix.m[12] = p.x;
    gStarMap.matrix.m[13] = p.y;
    gStarMap.matrix.m[14] = p.z;
}

void FocusMapOnBody(SystemBody* body) {
    gStarMap.focusedBody = body;
    if (body && body->position)
        SetFocus({static_cast<float>(body->position->x), static_cast<float>(body->position->y),
                  static_cast<float>(body->position->z)});
}

} // namespace

void SetUpStarMap() {
    StarMapState& m = gStarMap;
    m = {};
    m.mode = 'G';
    m.starFilter = 0x82;
    m.bodyFilter = 0x42;
    m.outlineCount = kGlobeCircles;
    MatIdentity(m.matrix);
    MatRotX(-12, m.matrix);
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

void ToggleStarMap() {
    if (!gUniverseCreated)
        CreateUniverse();
    gStarMapOpen = gStarMapOpen ? 0 : 255;
    if (gStarMapOpen)
        gStarMap.redraw = 255;
}

void CloseStarMap() { gStarMapOpen = 0; }

bool StarSelectable(const Star* star) { return star && (star->flags & gStarMap.starFilter); }

bool BodySelectable(const SystemBody* body) { return body && (body->classFlags & gStarMap.bodyFilter); }

void SelectMapItemByLetter(int scanCode) {
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

void FocusMapOnStar(Star* star) {
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

void ResetStarMapSelection() {
    gStarMap.focusedBody = nullptr;
    gStarMap.destination = nullptr;
    gStarMap.destinationSystem = 0;
    gStarMap.destinationStar = nullptr;
}

void ClearStarLinkMarks() {
    for (StarLink& link : gStarMap.links) {
        if (link.a)
            link.a->flags &= ~kStarLinkEnd;
        if (link.b)
            link.b->flags &= ~kStarLinkEnd;
    }
}

void StarMapZoomOut() {
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

void StarMapZoomIn() {
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

void StarMapEnterSystem() {
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
    double largest = 1e9;
    if (star->system) {
        gStarMap.outlineCount = 48 + BuildSystemBodyList(star->system, nullptr);
        for (int i = 0; i < gSystemBodyCount; ++i)
            if (gSystemBodyList[i].body->largestChildOrbit * 10.0 > largest)
                largest = gSystemBodyList[i].body->largestChildOrbit * 10.0;
    }
    Matrix4 tilt;
    MatIdentity(tilt);
    MatRotX(static_cast<float>(CRand() % 90), tilt);
    MatRotY(static_cast<float>(CRand() % 90), tilt);
    gStarMap.transit = 1;
    gStarMap.transitTime = 0;
    Vector3 dir = gStarMap.camera;
    VecNormalise(dir);
    const float reach = static_cast<float>(27 * largest);
    MoveCameraTo({dir.x * reach, dir.y * reach + 0.6f * reach, dir.z * reach}, 600);
}

void StarMapLeaveSystem() {
    if (gStarMap.mode != 'S')
        return;
    gStarMap.mapStar = gStarMap.selectedStar;
    gStarMap.transit = 1;
    gStarMap.transitTime = 0;
    FocusMapOnStar(gStarMap.mapStar);
    gStarMap.mode = 'I';
}

void StarMapSelectDestination() {
    StarMapState& m = gStarMap;
    if (m.mode == 'S') {
        SystemBody* b = m.focusedBody;
        if (b && (b->classFlags & kBodyLagrange)) {
            m.destination = b;
            m.destinationSystem = b->id / kBodiesPerSystem + 1;
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
            if (&b == m.destination)
                current = count;
            candidates[count++] = &b;
        }
    }
    if (!count)
        return;
    m.destination = candidates[(current + 1) % count];
    m.destinationSystem = system;
    m.destinationStar = m.selectedStar->namePointer;
}

bool ProjectMapPoint(const Vector3& point, int width, int height, float* sx, float* sy, float* depth) {
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

void StarMapClick(int x, int y, int width, int height) {
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

void UpdateStarMapCamera(float ticks) {
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
        if (m.mode == 'T') {
            m.mode = 'S';
            m.transit = 0;
            if (m.mapStar && m.mapStar->system == gListedSystem && m.destination)
                FocusMapOnBody(m.destination);
        } else if (m.mode == 'I') {
            m.mode = 'G';
            m.transit = 0;
            m.outlineCount = kGlobeCircles;
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
    if (!m.dragging) {
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
