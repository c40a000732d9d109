// The engineering panel: the ship's systems as a vector schematic that the
// player picks from, steps through, layers and promotes, the repair teams'
// assignments, the ship-system elements' callbacks, the link of an element
// to its system, and the spinning SIM_ENG object.
#include "screens/engineering.h"

#include "framework/pixelmap.h"
#include "screens/comstation.h"
#include "screens/vectormap.h"
#include "script/symbols.h"
#include "system/canvas.h"
#include "system/frameclock.h"
#include "system/gamemath.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/text.h"
#include "ui/drawtypes.h"
#include "ui/hud.h"
#include "ui/hudframe.h"
#include "ui/messagelog.h"
#include "ui/windows.h"
#include "view/lwoloader.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "world/records.h"
#include "world/shipsystems.h"

#include <algorithm>
#include <cstring>

void SelectReactorSystem()
{
    gEngPanel.selectedSystem = FindShipSystem("REACTOR");
    gEngPanel.initialised = 0;
}

WindowHandle* guiLinkShipSystemElement(WindowHandle* element, const char* systemName)
{
    if (!element)
        return nullptr;
    // Bound on first use: the element keeps its system from then on.
    if (element->subject.kind != WindowSubject::Kind::ShipSystem && systemName) {
        if (ShipSystem* system = FindShipSystem(systemName)) {
            element->subject.kind = WindowSubject::Kind::ShipSystem;
            element->subject.system = system;
        }
    }
    if (element->subject.kind == WindowSubject::Kind::ShipSystem && element->subject.system)
        element->value = element->subject.system->switchedOn ? 1.0f : 0.0f;
    return element;
}

void guiToggleSystemPower(WindowHandle* window)
{
    ShipSystem* system = gEngPanel.selectedSystem;
    if (!system || !window)
        return;
    system->switchedOn = system->switchedOn ? 0 : 255;
    window->check = system->switchedOn;
    guiRedrawWindowAndChildren(window);
}

void guiToggleElement(WindowHandle* window)
{
    if (!window)
        return;
    window->check = window->check ? 0 : 255;
    guiRedrawWindowAndChildren(window->parent ? window->parent : window);
}

namespace {

// The text a text element shows, or null.
const char* ElementText(const WindowHandle* window)
{
    return window->textResource ? static_cast<const char*>(ResGet(window->textResource)) : nullptr;
}

// The panel width in characters' pixels: each glyph's advance plus one.
int32_t CharacterWidth(const RasterFont* font, char c)
{
    return (font ? font->widths[static_cast<uint8_t>(c)] : 8) + 1;
}

bool LineEnd(char c) { return c == '\n' || c == '\r'; }
// A word starts after a blank or a line end.
bool Blank(char c) { return c == ' ' || LineEnd(c); }

const RasterFont* ElementFont(const WindowHandle* window)
{
    return window->font && window->font->data ? static_cast<const RasterFont*>(window->font->data) : nullptr;
}

void SetSystemValue(WindowHandle* window, float value, float scale)
{
    window->value = value;
    window->maximum = scale;
}

} // namespace

uint8_t gAmInjectorShown = 0;

void guiTextScrollBack(WindowHandle* window)
{
    const char* text = window ? ElementText(window) : nullptr;
    if (!text)
        return;
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    int32_t at = std::clamp(static_cast<int32_t>(window->maximum), 0, length);
    for (int32_t used = 0; at > 0 && used < window->width; --at)
        if (!LineEnd(text[at - 1]))
            used += CharacterWidth(ElementFont(window), text[at - 1]);
    while (at > 0 && !Blank(text[at - 1]))
        --at;
    window->maximum = static_cast<float>(at);
    guiRedrawWindowAndChildren(window);
}

void guiTextScrollForward(WindowHandle* window)
{
    const char* text = window ? ElementText(window) : nullptr;
    if (!text)
        return;
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    const int32_t from = std::clamp(static_cast<int32_t>(window->maximum), 0, length);
    int32_t at = from;
    for (int32_t used = 0; at < length && used < window->width; ++at)
        if (!LineEnd(text[at]))
            used += CharacterWidth(ElementFont(window), text[at]);
    if (at < length) {
        int32_t word = at;
        while (word > from && !Blank(text[word - 1]))
            --word;
        if (word > from)
            at = word;
    }
    window->maximum = static_cast<float>(at);
    guiRedrawWindowAndChildren(window);
}

void guiSystemOutputDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem) {
        const unsigned language = gSettings.language <= 2 ? gSettings.language : 0;
        window->text = system->names[language];
        gAmInjectorShown = system == FindShipSystem("AM INJECTOR") ? 255 : 0;
        SetSystemValue(window, system->output * 1000.0f, 1000.0f);
    }
    guiTickWindow(window);
}

void guiSystemHealthDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem)
        SetSystemValue(window, system->health * 1000.0f, 1000.0f);
    guiTickWindow(window);
}

void guiSystemTemperatureDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem)
        SetSystemValue(window, system->temperature, 2500.0f);
    guiTickWindow(window);
}

void guiSystemLevelDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem)
        SetSystemValue(window, system->level, 2500.0f);
    guiTickWindow(window);
}

void guiSelectedSystemDraw(WindowHandle* window)
{
    if (window)
        guiTickWindow(window);
}

void guiPlainElementDraw(WindowHandle* window)
{
    if (!window)
        return;
    guiRedrawWindowAndChildren(window);
    guiTickWindow(window);
}

EngineeringPanel gEngPanel = {.selectedSystem = nullptr, .layerMask = 0, .selectedTab = 1, .layerLabels = {}};

namespace {

constexpr float kSpinDegrees = 30.0f; // a turn rate of 100 % a second
constexpr int16_t kListRowTop = 12;   // the first row's offset in a system list
constexpr int16_t kListRowHeight = 11;
// The energy gauge's box on the ENG station and the gauge itself.
constexpr int16_t kGaugeBox[4] = {443, 11, 536, 79};
constexpr int32_t kGaugeSize = 34, kGaugeX = 492, kGaugeY = 46;

ShipSystemsModel& Model()
{
    return gShipSystems;
}

int32_t SystemCount()
{
    return std::clamp<int32_t>(Model().holderSim.systemCount, 0, kMaxShipSystems);
}

ShipSystem* FirstShipSystem()
{
    return Model().holderSim.systems;
}

// The system's position in the ordered list, or -1.
int32_t PositionOf(const ShipSystem* system)
{
    for (int32_t i = 0; i < SystemCount(); ++i)
        if (Model().order[i] == system)
            return i;
    return -1;
}

ShipSystem* AtPosition(int32_t position)
{
    return position >= 0 && position < SystemCount() ? Model().order[position] : nullptr;
}

bool ValidGroup(int32_t group)
{
    return group >= 1 && group <= kEngGroups && gEngPanel.groupFirst[group] >= 0;
}

// The selected system (or the ship's first when the step found none).
void Select(ShipSystem* system)
{
    gEngPanel.selectedSystem = system ? system : FirstShipSystem();
}

VectorShape* FindShape(VectorShape* shape, const ShipSystem* system)
{
    for (; shape; shape = shape->nextSibling) {
        if (shape->system == system)
            return shape;
        if (VectorShape* below = FindShape(shape->firstChild, system))
            return below;
    }
    return nullptr;
}

// The view target back to the whole ship at the open schematic's zoom.
void ResetView()
{
    gVectorMap.targetX = gVectorMap.targetY = 0.0f;
    gVectorMap.targetZoom = gEngPanel.defaultZoom;
    gVectorMap.focusPending = 0;
}

// The mouse as map units of the panel's current view.
void MouseToMap(WindowHandle* window, float& x, float& y)
{
    int32_t left = 0, top = 0;
    guiWindowRect(window, &left, &top);
    const float width = window->width > 0 ? window->width : 1.0f;
    const float centreX = left + window->width / 2;
    const float centreY = top + window->height / 2;
    x = gVectorMap.centreX + (gWindows.mouseX - centreX) * gVectorMap.zoom / width;
    y = gVectorMap.centreY + gVectorMap.zoom * (gWindows.mouseY - centreY) / width;
}

constexpr int32_t kSchematicLogWidth = 360, kSchematicLogHeight = 80;

// One schematic: the map of the current view into the window's pixel maps,
// the view's smoothing, the message log and interference over it.
void DrawSchematic(WindowHandle* window, float zoom, int16_t logX, int16_t logY, bool gauge)
{
    gEngPanel.defaultZoom = zoom;
    // A panel opened afresh shows the whole ship.
    if (!gEngPanel.initialised)
        ResetView();
    EnsureSelectedSystem();
    if (!gVectorMap.selected)
        gVectorMap.selected = gVectorMap.root.firstChild;
    if (!AllocViewPixelmaps(window))
        return;
    ViewWindowRecord* record = FindViewWindowRecord(window);
    HxPixelmapFill(record->overlay, 0);
    HxPixelmapFill(record->depth, 0xFFFF);
    gVectorMap.target = record->overlay;
    DrawVectorMapGrid(gVectorMap.centreX, gVectorMap.centreY, gVectorMap.zoom);
    guiDrawVectorShapes(gVectorMap.root.firstChild, gVectorMap.centreX, gVectorMap.centreY, gVectorMap.zoom, true,
                        -1);
    gVectorMap.target = nullptr;
    UpdateVectorMapView();
    // The log's box where it fits in the view (not on a small strip).
    if (gMessageLog.active && logX + kSchematicLogWidth <= window->width &&
        logY + kSchematicLogHeight <= window->height)
        guiDrawMessageLog(record->left + logX, record->top + logY, kSchematicLogWidth, kSchematicLogHeight);
    guiRedrawOverlapping(window);
    const Canvas screen = ScreenCanvas();
    if (gLastHitAmount > 0)
        CanvasJitterRows(screen, static_cast<uint8_t>(std::min(gLastHitAmount / 10, 255)),
                         static_cast<int16_t>(record->left), static_cast<int16_t>(record->top),
                         static_cast<int16_t>(record->left + window->width - 1),
                         static_cast<int16_t>(record->top + window->height - 1));
    if (gauge) {
        CanvasFillRect(screen, 0, kGaugeBox[0], kGaugeBox[1], kGaugeBox[2], kGaugeBox[3]);
        DrawHexGauge(kGaugeSize, kGaugeX, kGaugeY);
    }
    FreeViewPixelmaps(window);
}

} // namespace

void EnsureSelectedSystem()
{
    if (!gEngPanel.initialised)
        BuildEngGroupTable();
    if (!gEngPanel.selectedSystem)
        gEngPanel.selectedSystem = FirstShipSystem();
    gEngPanel.initialised = 1;
}

void ResetEngPanel()
{
    gEngPanel.initialised = 0;
}

void BuildEngGroupTable()
{
    for (int g = 0; g <= kEngGroups; ++g)
        gEngPanel.groupFirst[g] = gEngPanel.groupLast[g] = -1;
    for (int32_t i = 0; i < SystemCount(); ++i) {
        const ShipSystem* system = Model().order[i];
        const int g = system ? system->repairClass : 0;
        if (g < 1 || g > kEngGroups)
            continue;
        if (gEngPanel.groupFirst[g] < 0)
            gEngPanel.groupFirst[g] = static_cast<int16_t>(i);
        gEngPanel.groupLast[g] = static_cast<int16_t>(i);
    }
}

VectorShape* SystemShape(const ShipSystem* system)
{
    return system ? FindShape(gVectorMap.root.firstChild, system) : nullptr;
}

void guiEngSchematicDraw(WindowHandle* window)
{
    DrawSchematic(window, kEngSchematicZoom, 11, 23, true);
}

void guiEngSmallSchematicDraw(WindowHandle* window)
{
    // Only the fifth layer on the small schematic.
    const int16_t mask = gVectorMap.layerMask;
    gVectorMap.layerMask = 16;
    DrawSchematic(window, kEngSmallSchematicZoom, 4, 10, false);
    gVectorMap.layerMask = mask;
}

ShipSystem* SystemAtMapPoint(float x, float y)
{
    ShipSystem* best = nullptr;
    float bestArea = 0.0f;
    for (int32_t i = 0; i < SystemCount(); ++i) {
        ShipSystem* system = Model().order[i];
        const VectorShape* shape = SystemShape(system);
        if (!shape || !(shape->layerMask & gVectorMap.layerMask) || !shape->segments)
            continue;
        const WireShape* set = shape->segments;
        for (int32_t p = 0; p < set->partCount; ++p) {
            const SegmentPart& part = set->parts[p];
            const float px = x - shape->x - part.x;
            const float py = y - shape->y - part.y;
            if (px < 0 || py < 0 || px > part.width || py > part.height)
                continue;
            const float area = part.width * part.height;
            if (!best || area < bestArea) {
                best = system;
                bestArea = area;
            }
        }
    }
    return best;
}

void SelectSystemAtPoint(WindowHandle* window)
{
    float x = 0, y = 0;
    MouseToMap(window, x, y);
    ShipSystem* system = SystemAtMapPoint(x, y);
    if (!system) {
        ResetView();
        return;
    }
    gEngPanel.selectedSystem = system;
    VectorShape* shape = SystemShape(system);
    gVectorMap.selected = shape;
    FocusVectorMap(shape, x - shape->x, y - shape->y);
}

void ResetSchematicView(WindowHandle*)
{
    ResetView();
}

void FocusSelectedSystem()
{
    if (VectorShape* shape = SystemShape(gEngPanel.selectedSystem)) {
        gVectorMap.selected = shape;
        FocusVectorMap(shape, 0, 0);
    }
}

void NextSystem()
{
    const int32_t at = PositionOf(gEngPanel.selectedSystem);
    Select(at + 1 < kMaxShipSystems ? AtPosition(at + 1) : nullptr);
    FocusSelectedSystem();
}

void PrevSystem()
{
    const int32_t at = PositionOf(gEngPanel.selectedSystem);
    Select(at > 0 ? AtPosition(at - 1) : AtPosition(SystemCount() - 1));
    FocusSelectedSystem();
}

namespace {

// Steps by `step` inside the selected system's group, wrapping.
void StepInGroup(int32_t step)
{
    const ShipSystem* system = gEngPanel.selectedSystem;
    const int32_t at = PositionOf(system);
    if (!system || at < 0 || !ValidGroup(system->repairClass))
        return;
    const int32_t first = gEngPanel.groupFirst[system->repairClass];
    const int32_t last = gEngPanel.groupLast[system->repairClass];
    int32_t next = at + step;
    if (next > last)
        next = first;
    if (next < first)
        next = last;
    Select(AtPosition(next));
}

// The same place in the group `step` away (wrapping 1..5), held at its end.
void StepGroup(int32_t step)
{
    const ShipSystem* system = gEngPanel.selectedSystem;
    const int32_t at = PositionOf(system);
    if (!system || at < 0 || !ValidGroup(system->repairClass))
        return;
    const int32_t group = system->repairClass;
    const int32_t other = (group - 1 + step + kEngGroups) % kEngGroups + 1;
    if (!ValidGroup(other))
        return;
    const int32_t offset = at - gEngPanel.groupFirst[group];
    Select(AtPosition(std::min<int32_t>(gEngPanel.groupFirst[other] + offset, gEngPanel.groupLast[other])));
}

} // namespace

void NextSystemInGroup()
{
    StepInGroup(1);
}

void PrevSystemInGroup()
{
    StepInGroup(-1);
}

void NextGroupSystem()
{
    StepGroup(1);
}

void PrevGroupSystem()
{
    StepGroup(-1);
}

void RaisePriorityGroup()
{
    const int16_t group = gEngPanel.currentGroup;
    if (group <= 1 || group > kEngGroups)
        return;
    const int16_t above = static_cast<int16_t>(group - 1);
    for (int32_t i = 0; i < SystemCount(); ++i) {
        ShipSystem* system = Model().order[i];
        if (system && system->repairClass == group)
            system->repairClass = above;
        else if (system && system->repairClass == above)
            system->repairClass = group;
    }
    std::swap(gEngPanel.groupFirst[group], gEngPanel.groupFirst[above]);
    std::swap(gEngPanel.groupLast[group], gEngPanel.groupLast[above]);
    std::swap(gEngPanel.layerBits[group - 1], gEngPanel.layerBits[above - 1]);
    gEngPanel.currentGroup = above;
    guiRequestFullRedraw();
}

void AssignSystemToTeam(int32_t team, ShipSystem* system)
{
    if (team < 0 || team >= kRepairTeams || !system)
        return;
    RepairTeam& slot = Model().teams[team];
    Model().teamFixed[team] = 255;
    if (slot.system && slot.system->repairTeam == &slot)
        slot.system->repairTeam = nullptr;
    slot.system = system;
    system->repairTeam = &slot;
}

void guiEngLayerButtonFrame(WindowHandle* window)
{
    gEngPanel.layerMask = gVectorMap.layerMask;
    const int32_t layer = static_cast<int32_t>(window->value);
    if (layer >= 0 && layer < kEngLayers)
        window->check = (gVectorMap.layerMask & gEngPanel.layerBits[layer]) ? 255 : 0;
    guiTickWindow(window);
}

void ToggleEngLayer(WindowHandle* window)
{
    const int32_t layer = static_cast<int32_t>(window->value);
    if (layer < 0 || layer >= kEngLayers)
        return;
    gVectorMap.layerMask = static_cast<int16_t>(gVectorMap.layerMask ^ gEngPanel.layerBits[layer]);
    gEngPanel.layerMask = gVectorMap.layerMask;
    window->check = (gVectorMap.layerMask & gEngPanel.layerBits[layer]) ? 255 : 0;
}

void PickSystemFromList(WindowHandle* window)
{
    int32_t left = 0, top = 0;
    guiWindowRect(window, &left, &top);
    const int32_t group = static_cast<int32_t>(window->value);
    if (gWindows.mouseY < top + kListRowTop)
        return;
    const int32_t row = (gWindows.mouseY - (top + kListRowTop)) / kListRowHeight;
    int32_t seen = 0;
    for (int32_t i = 0; i < SystemCount(); ++i) {
        ShipSystem* system = Model().order[i];
        if (!system || system->repairClass != group)
            continue;
        if (seen++ != row)
            continue;
        gEngPanel.selectedSystem = system;
        gEngPanel.currentGroup = static_cast<int16_t>(group);
        FocusSelectedSystem();
        ShowSystemLabel(system, gWindows.mouseX, gWindows.mouseY);
        return;
    }
}

void ShowSystemLabel(const ShipSystem* system, int32_t mouseX, int32_t mouseY)
{
    const char* name = system->names[std::min<uint16_t>(gSettings.language, 2)];
    if (!name)
        name = "";
    const ScriptSymbol* symbol = FindScriptSymbol("BFont");
    Resource* font = symbol && symbol->value && !SymbolHoldsValueBytes(symbol) ? static_cast<Resource*>(symbol->value)
                                                                               : nullptr;
    int16_t width = 0, height = 0;
    if (const auto* raster = font ? static_cast<const RasterFont*>(ResGet(font)) : nullptr)
        TextMeasure(name, raster, width, height);
    WindowHandle* w = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, guiTickWindow, guiDrawButtonWindow,
                                      static_cast<int16_t>(mouseX - 4), static_cast<int16_t>(mouseY - 4),
                                      static_cast<int16_t>(width + 4), 12, 0);
    if (!w)
        return;
    w->font = font;
    w->text = name;
    // The name is carried to a repair team's card.
    w->subject.kind = WindowSubject::Kind::ShipSystem;
    w->subject.system = const_cast<ShipSystem*>(system);
    guiCarryLabel(w);
}

void SIM_ENG(SceneItem* item)
{
    Sim* sim = item->sim;
    sim->startTime = gFrameClock.gameClock;
    Matrix4& m = sim->matrix;
    const float x = m.m[12], y = m.m[13], z = m.m[14];
    m.m[12] = m.m[13] = m.m[14] = 0.0f;
    const float turn = gFrameClock.frameSeconds * kSpinDegrees / 100.0f;
    MatRotZ(sim->turnRates.z * turn, m);
    MatRotX(sim->turnRates.x * turn, m);
    MatRotY(sim->turnRates.y * turn, m);
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
}
