// The bridge's icon pictures (see icons.h): the tables and their bounded
// look-ups.
#include "screens/icons.h"

Bitmap* ContactIcons[kContactIconKinds][kContactIconPictures] = {};
ShipClassIcon ShipClassIcons[kShipClassIconCount] = {};
const char* const ShipClassIconNames[kShipClassIconCount] = {
    "S_CORVETTE",
    "S_FREIGHTER",
    "S_COMMAND",
    nullptr,
    "S_TRANSPORT",
    "S_CRUISER",
    "S_PATCOM",
    "S_CFIGHTER",
    "S_SFIGHTER",
    "S_TUG",
    "S_MISSILE",
    "S_MINE",
    "S_DRONE",
    "S_STATION",
    "S_DESTROYER",
    "S_CARRIER",
    "S_COMMRELAY",
    nullptr,
    "S_RING",
};

Bitmap* ContactIconPicture(int32_t icon, int32_t picture)
{
    if (icon < 0 || icon >= kContactIconKinds || picture < 0 || picture >= kContactIconPictures)
        return nullptr;
    return ContactIcons[icon][picture];
}

const ShipClassIcon* ShipClassIconOf(int32_t kind)
{
    if (kind < 0 || kind >= kShipClassIconCount || !ShipClassIconNames[kind])
        return nullptr;
    const ShipClassIcon& icon = ShipClassIcons[kind];
    return icon.picture && icon.runs ? &icon : nullptr;
}
