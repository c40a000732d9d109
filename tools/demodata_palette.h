// The game palette's panel entries: the colours the bridge's panels, contact
// cards, scopes, gauges and HUD marks are drawn in by their fixed entries.
// Each side's colour c draws a panel filled in c - 11, its flashing or
// damaged lines in c - 7 and its text and frame in c; the scopes clear to
// entry 112. These entries hold one designed set of colours (a dark fill, a
// dim and a bright shade of the side's hue) over the ramps the demo's art and
// 3D shading use, so the demo's pictures, textures and shade table never
// draw in them: a picture's pixel that falls on one takes the nearest other
// shade of its ramp (`OffPanelEntry`).
#pragma once

#include <cstdint>
#include <vector>

struct PanelEntry {
    uint8_t index, red, green, blue;
};

// clang-format off
constexpr PanelEntry kPanelEntries[] = {
    // a friendly side (0x80): blue
    {122, 12, 26, 56},  {126, 70, 110, 190}, {133, 140, 190, 255},
    // a hostile side (0x100): red
    {53, 58, 14, 12},   {57, 170, 52, 40},   {64, 255, 96, 72},
    // unidentified (0x600), and the panels' base: amber
    {149, 50, 42, 10},  {153, 170, 148, 52}, {160, 255, 222, 96},
    // 0x800: orange
    {212, 56, 30, 12},  {216, 180, 110, 52}, {223, 255, 172, 84},
    // 0x40, the HUD's default and a full gauge: green
    {86, 10, 44, 16},   {90, 60, 170, 72},   {97, 128, 255, 128},
    // the scopes' background: the darkest blue
    {112, 4, 12, 26},
};
// clang-format on

constexpr bool IsPanelEntry(int index)
{
    for (const PanelEntry& e : kPanelEntries)
        if (e.index == index)
            return true;
    return false;
}

// The art's ramps: 29 shades from entry 10, one ramp a hue.
constexpr int kRampFirst = 10, kRampLength = 29, kRampCount = 8;

// The entry itself when it is not a panel entry, else the nearest shade of
// its ramp that is not one (the darker one first).
constexpr uint8_t OffPanelEntry(uint8_t index)
{
    if (!IsPanelEntry(index) || index < kRampFirst || index >= kRampFirst + kRampCount * kRampLength)
        return index;
    const int first = kRampFirst + (index - kRampFirst) / kRampLength * kRampLength, last = first + kRampLength - 1;
    for (int step = 1; step < kRampLength; ++step) {
        if (index - step >= first && !IsPanelEntry(index - step))
            return static_cast<uint8_t>(index - step);
        if (index + step <= last && !IsPanelEntry(index + step))
            return static_cast<uint8_t>(index + step);
    }
    return index;
}
static_assert(OffPanelEntry(122) == 121 && OffPanelEntry(126) == 127 && OffPanelEntry(97) == 98 &&
              OffPanelEntry(30) == 30);

// A picture's pixels with every panel entry moved off it.
inline std::vector<uint8_t> OffPanelEntries(std::vector<uint8_t> pixels)
{
    for (uint8_t& p : pixels)
        p = OffPanelEntry(p);
    return pixels;
}
