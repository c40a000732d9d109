// The weapons station "WEP" and the engineering station "ENG".
//
// WEP selects and fires the controlled ship's mounts, switches automatic
// aiming, the track and fire modes, assigns hard-point targets and shows
// the weapons target, mount state and magazines; the gun and missile
// selections are shared with the bridge's key commands. ENG hosts the
// engineering panel and the reactor, fuel and hull gauges. Not here: the
// mounts and firing (ai/weapons.h), the engineering panel's own routines
// and the ship-system element callbacks (screens/engineering.h).
#pragma once

#include <cstdint>

struct WindowHandle;
struct Weapon;
struct Resource;

// Mount code bits the station reads.
enum : uint32_t {
    kMountGun = 0x20,
    kMountMissile = 0x80,
    kMountFiresAlong = 0x200, // fires straight along the mount: aimed by hand, not at the target
    kMountNoRapid = 0x4000,   // a gun without a rapid mode
    kMountUnusable = 0x8000,
};

constexpr int kWeaponSlots = 4;
constexpr int kSlotIconKinds = 8;
constexpr int kSlotIconClasses = 4;
constexpr int kAnnouncementSize = 128;

// The weapon-mode flags and slots of the station: one record.
struct WeaponStation {
    uint8_t missilesSelected;
    uint8_t ripple;
    uint8_t autoWeapons;
    uint8_t track;
    Weapon* slots[kWeaponSlots];
    uint8_t slotRefresh;
    uint8_t forceRedraw;
    char announcement[kAnnouncementSize];
    // By mount kind, position class (fore, aft, port, starboard) and
    // picture (normal, selected); null shows the empty-slot icon.
    Resource* slotIcons[kSlotIconKinds][kSlotIconClasses][2];
    Resource* emptySlotIcon;
};
extern WeaponStation gWeaponStation;
// Aiming at the target's selected component, and the HUD's aim markers.
extern uint8_t& RapidMode;

// Forgets the modes, the slots and the icons.
void ResetWeaponStation();
// Loads the slot icons ("zqk\resource\art\icons\wp_*.bbm") that exist.
void LoadWeaponSlotIcons();

void guiSetupWepStation();
void guiSetupEngStation();

void guiSelectNextGun(WindowHandle* window);
void guiSelectNextMissile(WindowHandle* window);
void guiSelectWeaponSlot(WindowHandle* window);
void AnnounceMount(Weapon* mount);
void RefreshWeaponSlots();
void guiToggleAutoWeapons(WindowHandle* window);
void guiFireCurrentMount(WindowHandle* window);
void guiToggleTrackMode(WindowHandle* window);
void guiToggleRippleFire(WindowHandle* window);
void guiDrawWeaponSlots(WindowHandle* window);

// The word for a mount's position code 0-9 ("FULL RNG" beyond).
const char* MountPositionWord(int32_t code);
// The position class (0 fore, 1 aft, 2 port, 3 starboard) of a code 0-9;
// fore beyond.
int32_t MountPositionClass(int32_t code);
// Formats with `format`, taking only "%s" conversions (the position word,
// then the name), "%%" as a percent sign, and printing any other
// conversion as it stands.
void FormatWithTwoTexts(char* out, int32_t size, const char* format, const char* first, const char* second);
