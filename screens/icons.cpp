// The bridge's icon pictures (see icons.h): the tables and their bounded
// look-ups.
#include "screens/icons.h"

Bitmap* ContactIcons[kContactIconKinds][kContactIconPictures] = {};
ShipClassIcon ShipClassIcons[kShipClassIconCount] = {};

Bitmap* ContactIconPicture(int32_t icon, int32_t picture)
{
    if (icon < 0 || icon >= kContactIconKinds || picture < 0 || picture >= kContactIconPictures)
        return nullptr;
    return ContactIcons[icon][picture];
}

const ShipClassIcon* ShipClassIconOf(int32_t kind)
{
    if (kind < 0 || kind >= kShipClassIconCount)
        return nullptr;
    const ShipClassIcon& icon = ShipClassIcons[kind];
    return icon.picture && icon.runs ? &icon : nullptr;
}
