// The statements that tie a mission to the world: ADD_VITAL and
// REMOVE_VITAL (objects the mission cannot lose), SYSTEM, RECSYSTEM and
// SET_TARG_LP (star systems), WAYPT, ATTACH_WAYPT, COUNT_WAYPTS and
// LOCATION (the player's course and the mission's places on the star map),
// DINK and STATIC (cockpit effects), MOTHERSHIP (encounter sources) and
// ALIENDEV (the alien Lagrange device).
//
// Every statement reads all its operands before it changes the world.
#include "script/worldlink.h"

#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/objectmaker.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "screens/bridge.h"
#include "ui/hud.h"
#include "ui/screens.h"
#include "world/behaviours.h"
#include "world/encounters.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/starmap.h"
#include "world/universe.h"

#include <algorithm>
#include <vector>

LagrangeDestination gLagrangeDestination;
uint8_t gAlienDeviceAvailable = 0;
uint8_t gAlienDevicesEnabled = 0;

void ResetWorldLinkState()
{
    gAlienDeviceAvailable = 0;
}

namespace {

constexpr double kWaypointScale = 100.0;
constexpr int16_t kItemTailGroup = 0x1000;
constexpr int16_t kItemWaypoint = 2;
constexpr uint32_t kTdpInScene = 0x4 | 0x10;
constexpr uint32_t kTdpShownWaypoint = 0x300;
constexpr uint32_t kTdpHiddenWaypoint = 0x100;
constexpr uint32_t kSenseWaypoint = 0x400000; // SN_WAYPOINT
constexpr uint32_t kSenseHiddenWaypoint = 0x800000;
constexpr int32_t kDinkStartLimit = 32767;

// ---- Vital objects --------------------------------------------------------------

// ADD_VITAL object
void AddVital(uint32_t& position)
{
    AddVitalObject(ReadTypedSymbol(position, kSymbolSceneItem), nullptr, 0.0f);
}

// REMOVE_VITAL object
void RemoveVital(uint32_t& position)
{
    RemoveVitalObject(ReadTypedSymbol(position, kSymbolSceneItem));
}

// ---- Star systems ---------------------------------------------------------------

// SYSTEM "star" "arrival point"
void System(uint32_t& position)
{
    const char* star = ReadTextOperand(position);
    const char* arrival = ReadTextOperand(position);
    if (!MoveToSystem(star, arrival))
        return;
    // The arrival handler of the new system (raised by the move) fires
    // before the next statement, as after a jump.
    CheckScriptTriggers(&position);
}

// RECSYSTEM
void RecSystem(uint32_t&)
{
    gExportSystemOutlines = 255;
}

// SET_TARG_LP system "body"
void SetTargLp(uint32_t& position)
{
    const int16_t system = ScriptNumberToInt16(ReadNumberOperand(position));
    const char* body = ReadTextOperand(position);
    gLagrangeDestination.system = system;
    gLagrangeDestination.body = FindBody(system, body);
}

// ---- Waypoints and locations ------------------------------------------------------

void SetLink(SceneItem* item, int param, const SceneItem* other)
{
    item->avatar->params[param] = static_cast<int32_t>(other ? ItemHandle(other) : 0);
}

// WAYPT object "name" x y z [ON | OFF] [ON | OFF]
void Waypt(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    const char* name = ReadTextOperand(position);
    double x = ReadNumberOperand(position) * kWaypointScale;
    double y = ReadNumberOperand(position) * kWaypointScale;
    double z = ReadNumberOperand(position) * kWaypointScale;
    const int32_t display = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    const int32_t chain = ReadOptionalKeyword(position, kw::ON, kw::OFF);

    SceneItem* item = CreateScriptItem(nullptr, RunWaypoint, PlaceWaypoint);
    SetSymbolObject(symbol, item);
    if (!item)
        return;
    item->symbol = symbol;
    item->flags = static_cast<int16_t>(item->flags | kItemTailGroup);
    TDP* root = item->avatar->root;
    if (root)
        root->flags &= ~kTdpInScene;
    AddPlacementOrigin(x, y, z);
    PlaceItemAt(item, x, y, z);
    item->flags = static_cast<int16_t>(item->flags | kItemWaypoint);
    item->sim->followSymbol = nullptr;
    // The name is the quoted text's place in the script data, which lives
    // as long as the mission's waypoints.
    item->avatar->params[kParamName] = static_cast<int32_t>(name - gScriptBuffers.data);
    SetLink(item, kParamEngineCountdown, nullptr);
    SetLink(item, kParamEngineGlow, nullptr);

    if (chain == 0) {
        SceneItem* previous = SymbolObject(gBuiltinSymbols.lastWaypoint);
        if (previous && previous->avatar && (previous->flags & kItemWaypoint)) {
            SetLink(item, kParamEngineCountdown, previous);
            SetLink(previous, kParamEngineGlow, item);
        }
    }
    SetSymbolObject(gBuiltinSymbols.lastWaypoint, item);

    if (display == 1) {
        item->avatar->classFlags |= kSenseHiddenWaypoint;
        if (root)
            root->flags |= kTdpHiddenWaypoint;
    } else {
        item->avatar->classFlags |= kSenseWaypoint;
        if (HUD* cube = AllocHUD()) {
            InitCubeHud(cube, name, item, 0);
            RegisterHud(cube);
            if (root) {
                root->model = reinterpret_cast<hx_model*>(cube);
                root->flags |= kTdpShownWaypoint;
            }
        }
    }
    CopySimToAvatar(item);
}

// ATTACH_WAYPT waypoint reference
void AttachWaypt(uint32_t& position)
{
    SceneItem* waypoint = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    ScriptSymbol* reference = ReadTypedSymbol(position, kSymbolSceneItem);
    // The waypoint follows whatever the symbol names from frame to frame.
    if (waypoint && waypoint->sim)
        waypoint->sim->followSymbol = reference;
}

// COUNT_WAYPTS n
void CountWaypts(uint32_t& position)
{
    const int32_t count = ScriptNumberToInt(ReadNumberOperand(position));
    gScriptVars.waypointCount = count;
    gScriptVars.waypointStartCount = count;
}

// LOCATION "star" n "body"...
void Location(uint32_t& position)
{
    const char* star = ReadTextOperand(position);
    float count = ReadNumberOperand(position);
    std::vector<const char*> bodies;
    for (; count > 0.0f; count -= 1.0f)
        bodies.push_back(ReadTextOperand(position));
    MissionifyStar(star);
    for (const char* body : bodies)
        MissionifyPlanet(body, star);
    ClearStarLinkMarks();
}

// ---- Cockpit effects, encounter sources, the alien device ---------------------------

// DINK duration factor [flash]
void Dink(uint32_t& position)
{
    const int32_t duration = ScriptNumberToInt(ReadNumberOperand(position));
    const float factor = ReadNumberOperand(position);
    const int32_t flash = ScriptNumberToInt(ReadOptionalNumber(position));
    gScreenShake[0] = static_cast<int16_t>(std::clamp(duration, -kDinkStartLimit, kDinkStartLimit));
    // The strength is countdown / start: a start of 0 or below would divide
    // by zero or turn the shake inside out.
    const int32_t start = ScriptNumberToInt(static_cast<double>(duration) * factor);
    gScreenShake[1] = static_cast<int16_t>(std::clamp(start, 1, kDinkStartLimit));
    if (flash != 0)
        gScreenFlash = flash & 0xFF;
}

// STATIC amount
void Static(uint32_t& position)
{
    gLastHitAmount = ScriptNumberToInt(ReadNumberOperand(position));
    const char* screen = "NAV";
    if (CurrentStation == 3)
        screen = "WEP";
    else if (CurrentStation == 4)
        screen = "ENG";
    // The station's screen is entered again even when it is current, so
    // that its panels redraw disturbed.
    guiForgetCurrentScreen();
    guiGotoScreen(screen);
}

// MOTHERSHIP object [EMIT_DRONE ... EMIT_MOTHERSHIP]...
void Mothership(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    uint32_t mask = 0;
    for (int32_t kind; (kind = ReadOptionalKeyword(position, kw::EMIT_DRONE, kw::EMIT_MOTHERSHIP)) >= 0;)
        mask |= 1u << kind;
    // An empty symbol registers nothing: a source without an item could
    // never launch.
    if (item)
        AddEncounterSource(item, mask);
}

// ALIENDEV [ON | OFF]
void AlienDev(uint32_t& position)
{
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    gAlienDeviceAvailable = 255;
    if (keyword == 0)
        gAlienDevicesEnabled = 255;
}

constexpr StatementRow kWorldLinkRows[] = {
    {kw::ADD_VITAL, AddVital},
    {kw::REMOVE_VITAL, RemoveVital},
    {kw::SYSTEM, System},
    {kw::RECSYSTEM, RecSystem},
    {kw::SET_TARG_LP, SetTargLp},
    {kw::WAYPT, Waypt},
    {kw::ATTACH_WAYPT, AttachWaypt},
    {kw::COUNT_WAYPTS, CountWaypts},
    {kw::LOCATION, Location},
    {kw::DINK, Dink},
    {kw::STATIC, Static},
    {kw::MOTHERSHIP, Mothership},
    {kw::ALIENDEV, AlienDev},
};

} // namespace

std::span<const StatementRow> WorldLinkStatementRows()
{
    return kWorldLinkRows;
}
