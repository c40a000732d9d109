// The bridge's icon pictures that the window draw types and the flight HUD
// show: the contact icons (one per contact kind, each as a normal, a
// navigation-target and a weapons-target picture) and the ship-class icons
// with the run lists that draw them in one colour. The bridge's start-up
// (InitScreensAndIcons) loads them; a picture that is not loaded is null,
// and whoever draws it then draws nothing. Not here: the loading itself and
// the screens (screens/frontend.h).
#pragma once

#include <cstdint>

#include "system/raster.h"

// The four contact icons "cw_x", "cw_n", "cw_i", "cw_u", by icon index.
constexpr int kContactIconKinds = 4;
// The three pictures of each: "nm" normal, "nt" navigation target, "wt"
// weapons target.
enum ContactIconPicture : int {
    kIconNormal = 0,
    kIconNavTarget = 1,
    kIconWeaponsTarget = 2,
};
constexpr int kContactIconPictures = 3;
extern Bitmap* ContactIcons[kContactIconKinds][kContactIconPictures];

// The ship-class icons by ShipInfo kind (kinds 3 and 17 have none), each
// with its run list for one-colour drawing.
constexpr int kShipClassIconCount = 19;
struct ShipClassIcon {
    Bitmap* picture;
    const uint8_t* runs;
};
extern ShipClassIcon ShipClassIcons[kShipClassIconCount];
// Their picture names by kind ("S_CORVETTE" for "S_CORVETTE.BBM"); null for
// the kinds that have no icon (3 salvage, 17 gun base).
extern const char* const ShipClassIconNames[kShipClassIconCount];

// The contact icon picture, or null for an index outside the tables or an
// icon that is not loaded.
Bitmap* ContactIconPicture(int32_t icon, int32_t picture);
// The kind's ship-class icon when the kind has one and it is loaded with its
// run list, else null.
const ShipClassIcon* ShipClassIconOf(int32_t kind);
