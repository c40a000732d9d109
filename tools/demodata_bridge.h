// The bridge's part of the demo data tree: the station views' backdrops,
// the bridge films (sitting down, standing up, turning, the ambient films
// of each view, the comms arm), the key-list picture and the bridge icons.
#pragma once

#include <cstdint>
#include <string>

// Writes them below `folder`/zqk/resource with the game palette `rgb`
// (768 bytes); false when a file cannot be written.
bool WriteBridgeDemoData(const std::string& folder, const uint8_t* rgb);
