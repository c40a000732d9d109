// The bridge's part of the demo data tree: the station views' backdrops and
// the bridge films (sitting down, standing up, turning, the ambient films of
// each view) that the film fixtures do not already write.
#pragma once

#include <cstdint>
#include <string>

// Writes them below `folder`/zqk/resource with the game palette `rgb`
// (768 bytes); false when a file cannot be written.
bool WriteBridgeDemoData(const std::string& folder, const uint8_t* rgb);
