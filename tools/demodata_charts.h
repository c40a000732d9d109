// The charts that the ship's documents show beside the mission briefings.
#pragma once

#include <cstdint>
#include <string>

// Writes "zqk/resource/text/docs/m04chart.pcx" and "m05chart.pcx" below
// the data folder, drawn in the game palette `rgb`: each mission's ground
// seen from above, with its ships, stations and courses. False when a file
// cannot be written.
bool SaveBriefingCharts(const std::string& dataFolder, const uint8_t* rgb);
