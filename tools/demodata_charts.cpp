// The briefing charts of the ship's documents: small pictures in the game
// palette, a grid with the mission's stations, ships and courses drawn on
// it, the same bytes every time.
#include "tools/demodata_charts.h"
#include "tools/demodata_palette.h"

#include "system/res/pcx.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr int kWidth = 240, kHeight = 140;

// A shade of one of the palette's ramps (grey, red, orange, yellow, green,
// cyan, blue, violet), 0 darkest to 28 lightest. Entries 176-207 are the
// sky's, which a mission's star field changes: the charts keep out of them.
constexpr uint8_t Shade(int ramp, int shade) { return static_cast<uint8_t>(10 + ramp * 29 + shade); }
constexpr int kGrey = 0, kRed = 1, kOrange = 2, kYellow = 3, kGreen = 4, kCyan = 5;

struct Chart {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(static_cast<std::size_t>(kWidth) * kHeight, Shade(kGrey, 2));

    void Dot(int x, int y, uint8_t colour)
    {
        if (x >= 0 && y >= 0 && x < kWidth && y < kHeight)
            pixels[static_cast<std::size_t>(y) * kWidth + x] = colour;
    }
    void Disc(int cx, int cy, int r, uint8_t colour)
    {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    Dot(x, y, colour);
    }
    void Box(int cx, int cy, int r, uint8_t colour)
    {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                Dot(x, y, colour);
    }
    // A dashed line: three pixels drawn, two left out.
    void Dashes(int x0, int y0, int x1, int y1, uint8_t colour)
    {
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int i = 0; i <= steps; ++i)
            if (i % 5 < 3)
                Dot(x0 + (x1 - x0) * i / std::max(steps, 1), y0 + (y1 - y0) * i / std::max(steps, 1), colour);
    }
    // The grid and the frame.
    void Ground()
    {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (x % 20 == 0 || y % 20 == 0)
                    Dot(x, y, Shade(kGrey, 7));
        for (int x = 0; x < kWidth; ++x)
            Dot(x, 0, Shade(kGrey, 20)), Dot(x, kHeight - 1, Shade(kGrey, 20));
        for (int y = 0; y < kHeight; ++y)
            Dot(0, y, Shade(kGrey, 20)), Dot(kWidth - 1, y, Shade(kGrey, 20));
    }
};

// Mission 4: the corvette in the middle, the depot to port and the outpost
// to starboard, the hauler's course out and across, the raiders ahead.
std::vector<uint8_t> SupplyRunChart()
{
    Chart c;
    c.Ground();
    c.Dashes(100, 84, 36, 96, Shade(kYellow, 24));
    c.Dashes(36, 96, 204, 96, Shade(kYellow, 24));
    c.Disc(24, 96, 12, Shade(kGreen, 20));
    c.Disc(216, 96, 12, Shade(kGreen, 20));
    c.Disc(120, 80, 5, Shade(kGrey, 28));
    c.Box(104, 84, 3, Shade(kYellow, 28));
    c.Disc(110, 20, 3, Shade(kRed, 26));
    c.Disc(130, 16, 3, Shade(kRed, 26));
    return c.pixels;
}

// Mission 5: the corvette and its wing at the foot, the picket gun behind
// them, the net's three guns across the way, the beacon at the top and the
// mine field round the depot to starboard.
std::vector<uint8_t> WingLeaderChart()
{
    Chart c;
    c.Ground();
    c.Dashes(120, 120, 128, 14, Shade(kGrey, 26));
    c.Box(120, 132, 3, Shade(kGreen, 20));
    c.Disc(120, 120, 5, Shade(kGrey, 28));
    c.Disc(108, 124, 3, Shade(kCyan, 18));
    c.Disc(132, 124, 3, Shade(kCyan, 18));
    c.Box(96, 62, 3, Shade(kRed, 24));
    c.Box(144, 62, 3, Shade(kRed, 24));
    c.Box(120, 54, 3, Shade(kRed, 24));
    // Six mines round the depot, a sixth of a turn apart.
    constexpr int kMines[6][2] = {{12, 0}, {6, 10}, {-6, 10}, {-12, 0}, {-6, -10}, {6, -10}};
    for (const auto& mine : kMines)
        c.Disc(196 + mine[0], 34 + mine[1], 2, Shade(kOrange, 24));
    c.Disc(196, 34, 6, Shade(kGreen, 12));
    c.Box(128, 14, 4, Shade(kYellow, 28));
    return c.pixels;
}

// Mission 6: Sol on the left, the corvette at its Lagrange point with the
// picket beside it and the outpost behind; the jump's dashes across to
// Tarsis on the right, where the corvette arrives facing the courier.
std::vector<uint8_t> FarPassageChart()
{
    Chart c;
    c.Ground();
    c.Disc(24, 24, 10, Shade(kYellow, 28)); // Sol
    c.Disc(60, 96, 5, Shade(kGrey, 28));
    c.Disc(48, 100, 3, Shade(kCyan, 18));
    c.Box(70, 124, 4, Shade(kGreen, 20));
    c.Dashes(68, 92, 168, 92, Shade(kGrey, 26));
    c.Disc(216, 24, 8, Shade(kOrange, 26)); // Tarsis
    c.Disc(176, 96, 5, Shade(kGrey, 28));
    c.Dashes(176, 88, 176, 30, Shade(kCyan, 20));
    c.Box(176, 22, 4, Shade(kCyan, 28));
    return c.pixels;
}

// Mission 7: the planet Skarn to the left, its ring of rocks sweeping
// through the corvette's place; the outpost and its picket behind, the
// probe's course ahead into the rocks where the raiders hide.
std::vector<uint8_t> LastStandChart()
{
    Chart c;
    c.Ground();
    c.Disc(30, 70, 22, Shade(kOrange, 14)); // Skarn
    // The ring: rocks on a circle round the planet through the corvette.
    constexpr int kRocks[][2] = {{120, 70}, {118, 50}, {112, 32}, {102, 16}, {118, 90}, {112, 108}, {102, 124}, {124, 60}, {116, 40}, {116, 100}};
    for (const auto& rock : kRocks)
        c.Disc(rock[0], rock[1], 2, Shade(kGrey, 16));
    c.Disc(120, 70, 5, Shade(kGrey, 28)); // the corvette
    c.Box(150, 112, 4, Shade(kGreen, 20));
    c.Disc(140, 100, 3, Shade(kCyan, 18));
    c.Dashes(126, 66, 196, 30, Shade(kYellow, 24)); // the probe's course
    c.Disc(204, 24, 3, Shade(kRed, 26));
    c.Disc(214, 34, 3, Shade(kRed, 26));
    return c.pixels;
}

bool Save(const std::string& dataFolder, const char* name, const std::vector<uint8_t>& pixels, const uint8_t* rgb)
{
    const std::filesystem::path path = std::filesystem::path(dataFolder) / "zqk/resource/text/docs" / name;
    std::filesystem::create_directories(path.parent_path());
    const std::vector<uint8_t> drawn = OffPanelEntries(pixels);
    PcxImage* pcx = PcxFromPixels(nullptr, 0, drawn.data(), kWidth, kHeight, const_cast<uint8_t*>(rgb));
    const bool ok = pcx && PcxSave(path.string().c_str(), pcx);
    PcxFree(pcx);
    return ok;
}

} // namespace

bool SaveBriefingCharts(const std::string& dataFolder, const uint8_t* rgb)
{
    return Save(dataFolder, "m04chart.pcx", SupplyRunChart(), rgb) &&
           Save(dataFolder, "m05chart.pcx", WingLeaderChart(), rgb) &&
           Save(dataFolder, "m06chart.pcx", FarPassageChart(), rgb) &&
           Save(dataFolder, "m07chart.pcx", LastStandChart(), rgb);
}
