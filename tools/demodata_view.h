// The demo data of the 3D view: the top and bottom maps of the models that
// are drawn far away as a card, each with its small ("_S.pix") copy; the
// game palette's colour lookup and the block its blend tables are built in.
#pragma once

#include <cstdint>
#include <string>

// Writes them under the data folder; the framework's core must be running
// (its pixelmap writer). False when a file cannot be written.
bool WriteViewData(const std::string& folder);

// Writes "zqk/resource/art/klvstd.cmp", the game palette's RGB-to-palette
// lookup (65,536 entries at (r >> 3) << 11 | (g >> 3) << 6 | b >> 2, each
// the nearest colour of the palette's ramps, never a sky entry, which a
// mission may recolour), and "zqk/resource/art/blend.cmp", the block of the
// 16 x 16 blend tables: each level the identity until the start-up builds
// them from the palette. False when a file cannot be written.
bool WriteColourTables(const std::string& folder, const uint8_t (&rgb)[768]);
