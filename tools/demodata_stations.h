// The pictures of the bridge stations in the demo data tree.
#pragma once

#include <string>

// Writes the weapon-slot icons "zqk/resource/art/icons/wp_*.bbm" below the
// data folder: the empty slot and, for the bolt guns, seekers and LDS
// interceptors, a fore and an aft icon, each normal and selected. False
// when a file cannot be written.
bool SaveStationPictures(const std::string& dataFolder);
