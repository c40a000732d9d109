// The engineering panel's routines bound by the window statements.
#pragma once

#include <cstdint>

struct WindowHandle;

void SelectReactorSystem();
WindowHandle* guiLinkShipSystemElement(WindowHandle* element, const char* systemName);
// Ship-system element callbacks that the screen scripts bind by name; the
// system is the panel's selection.
void guiToggleSystemPower(WindowHandle* window);
void guiToggleElement(WindowHandle* window);
// A text element's start moves by one panel width, to a word's start;
// forward stops at the text's end.
void guiTextScrollBack(WindowHandle* window);
void guiTextScrollForward(WindowHandle* window);
void guiSystemOutputDraw(WindowHandle* window);
void guiSystemHealthDraw(WindowHandle* window);
void guiSystemTemperatureDraw(WindowHandle* window);
void guiSystemLevelDraw(WindowHandle* window);
void guiSelectedSystemDraw(WindowHandle* window);
void guiPlainElementDraw(WindowHandle* window);
// Set while the output gauge shows the "AM INJECTOR" system.
extern uint8_t gAmInjectorShown;

struct ShipSystem;
struct SceneItem;
struct VectorShape;

constexpr int kEngLayers = 5;
// The layer bit each layer button "SysS0".."SysS4" starts with.
constexpr int16_t kEngLayerBits[kEngLayers] = {1, 2, 4, 8, 16};
constexpr int kEngGroups = 5; // priority groups 1..5
constexpr float kEngSchematicZoom = 300.0f;
constexpr float kEngSmallSchematicZoom = 225.0f;

// The engineering panel's state, shared by the ENG station's windows. The
// current layer mask is the vector map's (gVectorMap.layerMask); layerMask
// here is its copy for the layer buttons' drawing.
struct EngineeringPanel {
    ShipSystem* selectedSystem;          // of the player's ship, or null
    int16_t layerMask;                   // the shown layers' bits
    int16_t selectedTab;                 // 1 at start
    const char* layerLabels[kEngLayers]; // the layer buttons' texts
    // The layer bit of each layer button; promotion swaps them.
    int16_t layerBits[kEngLayers] = {kEngLayerBits[0], kEngLayerBits[1], kEngLayerBits[2], kEngLayerBits[3],
                                     kEngLayerBits[4]};
    uint8_t initialised = 0;               // EnsureSelectedSystem has run since the last reset
    int16_t currentGroup = 1;              // the priority group the lists work on, 1..5
    float defaultZoom = kEngSchematicZoom; // of the schematic last drawn
    // First and last position of each priority group (index 1..5) in the
    // ship's ordered system list; -1 for an empty group.
    int16_t groupFirst[kEngGroups + 1] = {-1, -1, -1, -1, -1, -1};
    int16_t groupLast[kEngGroups + 1] = {-1, -1, -1, -1, -1, -1};
};
extern EngineeringPanel gEngPanel;

// At start-up: selects "REACTOR" and clears the panel-initialised flag.
// (SelectReactorSystem is declared above with the window statements' set.)
// Without a selected system takes the first of the ship's list, fills the
// group table when the panel was reset, and marks the panel initialised.
void EnsureSelectedSystem();
// A station change: the next draw initialises the panel again.
void ResetEngPanel();
// The group table from the ship's ordered system list as it stands.
void BuildEngGroupTable();
// The vector shape that shows the system, or null.
VectorShape* SystemShape(const ShipSystem* system);

// Draw types of "ENGRealV" and of the small schematic.
void guiEngSchematicDraw(WindowHandle* window);
void guiEngSmallSchematicDraw(WindowHandle* window);
// Press on the schematic: the system under the mouse, or the whole ship.
void SelectSystemAtPoint(WindowHandle* window);
// The system whose part (smallest area first) holds the map point, among
// those whose shape's layer mask meets the current mask; null for none.
ShipSystem* SystemAtMapPoint(float x, float y);
// Notify of "ENGRealV": the view target back to the whole ship.
void ResetSchematicView(WindowHandle* window);
// The selected system's shape becomes the map's selected shape and focus.
void FocusSelectedSystem();
// Stepping through the ordered list; past either end the first system of
// the ship's list.
void NextSystem();
void PrevSystem();
// Within the selected system's priority group, wrapping at its ends.
void NextSystemInGroup();
void PrevSystemInGroup();
// The same position in the next or previous group (5 wraps to 1, 1 to 5),
// held at that group's last position.
void NextGroupSystem();
void PrevGroupSystem();
// "Promote": the current group changes places with the one above (its
// systems' group numbers, the group table entries and the layer bits).
// Nothing in group 1.
void RaisePriorityGroup();
// The repair team (0..3) takes the system; the system it had lets go.
void AssignSystemToTeam(int32_t team, ShipSystem* system);
// Layer buttons "SysS0".."SysS4": the frame set-up and the click.
void guiEngLayerButtonFrame(WindowHandle* window);
void ToggleEngLayer(WindowHandle* window);
// Press on a system list "SysSX0".."SysSX4" (value = its group).
void PickSystemFromList(WindowHandle* window);
// A pop-up with the system's name at the mouse that closes by itself.
void ShowSystemLabel(const ShipSystem* system, int32_t mouseX, int32_t mouseY);

// The simulation routine of the keyword SIM_ENG: the item spins in place at
// its turn rates (percent a second of 30 degrees a second).
void SIM_ENG(SceneItem* item);
