// The demo data of the 3D view: the top and bottom maps of the models that
// are drawn far away as a card, each with its small ("_S.pix") copy.
#pragma once

#include <string>

// Writes them under the data folder; the framework's core must be running
// (its pixelmap writer). False when a file cannot be written.
bool WriteViewData(const std::string& folder);
