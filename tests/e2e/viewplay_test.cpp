// The 3D view as a player sees it: the game itself on the dummy drivers
// with a fixed frame time and an input table, its frames captured as
// palette indices and read where each effect must (or must not) appear.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kScreenWidth = 640, kScreenHeight = 480;

// A rectangle of the screen, inclusive.
struct Box {
    int left, top, right, bottom;
    bool Holds(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// The weapons and navigation stations' main views ("WEPRealV" and
// "NAVRealV" in the station layout).
constexpr Box kWeaponsView = {36, 52, 335, 251};
constexpr Box kNavigationView = {36, 52, 335, 251};

// The grey band of the banded palette: where a point drawn through an
// empty colour ramp lands.
bool Grey(int index)
{
    return index >= 16 && index < 48;
}

// A captured frame: the palette index of each pixel (a ".pgm" shot).
struct Indices {
    std::string pixels;
    bool Empty() const { return pixels.size() != std::size_t(kScreenWidth) * kScreenHeight; }
    int At(int x, int y) const { return static_cast<uint8_t>(pixels[std::size_t(y) * kScreenWidth + std::size_t(x)]); }
    // Pixels of the box in the colour.
    int Count(const Box& box, int colour) const
    {
        int n = 0;
        for (int y = box.top; y <= box.bottom; ++y)
            for (int x = box.left; x <= box.right; ++x)
                n += At(x, y) == colour;
        return n;
    }
};

class ViewPlay : public ::testing::Test {
protected:
    // Runs the game on a copy of the demo data with the table.
    GameRun Run(const std::string& table, const std::vector<std::string>& args)
    {
        CopyDemoData(folder);
        return RunOnCopy(table, args);
    }
    // The same on the copy as it stands.
    GameRun RunOnCopy(const std::string& table, const std::vector<std::string>& args)
    {
        std::ofstream(folder / "table.txt") << table;
        return RunGame(args, {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                       folder);
    }

    // The table line capturing the palette indices at the pass.
    std::string Shot(long pass) const { return std::to_string(pass) + " shot " + ShotPath(pass).string() + "\n"; }
    fs::path ShotPath(long pass) const { return folder / ("shot" + std::to_string(pass) + ".pgm"); }

    Indices Frame(long pass) const
    {
        std::ifstream in(ShotPath(pass), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string header = "P5\n640 480\n255\n";
        return {bytes.compare(0, header.size(), header) == 0 ? bytes.substr(header.size()) : std::string()};
    }

    // A mission's external view from NAV once the objectives are closed:
    // the frame's palette indices and the colours the screen shows (empty
    // when the run or its shot failed).
    std::pair<Indices, std::string> ExternalView(const char* mission)
    {
        const std::string rgbShot = "700 shot " + (folder / "rgb700.ppm").string() + "\n";
        const GameRun run =
            Run("610 click CMDObjv\n650 key F2\n680 key V\n" + Shot(700) + rgbShot + "702 quit\n", {"-w", mission});
        EXPECT_EQ(run.hung, "") << run.output;
        EXPECT_EQ(run.exitCode, 0) << run.output;
        std::ifstream in(folder / "rgb700.ppm", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string header = "P6\n640 480\n255\n";
        return {Frame(700), bytes.compare(0, header.size(), header) == 0 ? bytes.substr(header.size()) : std::string()};
    }

    ScratchFolder scratch{"viewplay"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

// Mission 1 at the weapons station while the raider closes in and the
// corvette turns: the sight's cone edges swing far beyond the view, yet the
// screen left of and above the view, which the station leaves empty, and
// the frame right of and below it hold the same pixels in every frame; the
// sight itself is drawn inside.
TEST_F(ViewPlay, NothingTheWeaponSightDrawsLeavesTheViewAcrossAFight)
{
    std::string table = "610 click CMDObjv\n650 key F3\n";
    std::vector<long> passes;
    for (long pass = 660; pass <= 960; pass += 10) {
        passes.push_back(pass);
        table += Shot(pass);
    }
    table += "970 quit\n";
    const GameRun run = Run(table, {"-w", "mission01.scr"});
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;

    const Box leftOfView = {0, 0, kWeaponsView.left - 1, kScreenHeight - 1};
    const Box aboveView = {0, 0, kWeaponsView.right, kWeaponsView.top - 1};
    // The frame between the view and its neighbours to the right (down to
    // the contact list, whose rows change) and below (down to the status
    // line, which counts).
    const Box rightOfView = {kWeaponsView.right + 1, 0, kWeaponsView.right + 4, 329};
    const Box belowView = {0, kWeaponsView.bottom + 1, kWeaponsView.right, kWeaponsView.bottom + 8};
    const Indices first = Frame(passes.front());
    ASSERT_FALSE(first.Empty());
    constexpr int kConeColour = 96;
    int coneInView = 0;
    for (long pass : passes) {
        const Indices frame = Frame(pass);
        ASSERT_FALSE(frame.Empty()) << pass;
        for (const Box& margin : {leftOfView, aboveView, rightOfView, belowView})
            for (int y = margin.top; y <= margin.bottom; ++y)
                for (int x = margin.left; x <= margin.right; ++x)
                    ASSERT_EQ(frame.At(x, y), first.At(x, y)) << "drawn outside the view at " << x << "," << y
                                                              << " in the frame of pass " << pass;
        coneInView += frame.Count(kWeaponsView, kConeColour);
    }
    EXPECT_GT(coneInView, 0) << "the cone's edges are drawn within the view";
}

// The view's show flight at its first station: the navigation orb shows
// the system's sun as a glow spot, laid over the panel through the blend
// tables that the start-up builds from the game palette: the panel's own
// colour brightened round the sun's place, never drawn over plain.
TEST_F(ViewPlay, TheSunsGlowIsLaidOverTheOrbThroughTheBlendTables)
{
    const GameRun run = Run("60 state\n" + Shot(60) + "62 quit\n", {"-w", "viewshow97.scr"});
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_NE(run.output.find("state 60 screen=NAV"), std::string::npos) << run.output;
    const Indices frame = Frame(60);
    ASSERT_FALSE(frame.Empty());
    // The orb's panel ("NOrb"), and the corner of it where the sun lies.
    const Box panel = {340, 52, 499, 211}, sun = {356, 68, 400, 112};
    const int background = frame.At(panel.right - 2, panel.bottom - 2);
    int brightened = 0;
    for (int y = sun.top; y <= sun.bottom; ++y)
        for (int x = sun.left; x <= sun.right; ++x)
            brightened += frame.At(x, y) > background && frame.At(x, y) <= background + 31;
    EXPECT_GT(brightened, 300) << "the glow round the sun, in the panel's own band";
}

// The view's show flight: the freighter ahead blows up, and its burst and
// fireball are drawn through colour ramps found in the palette's RGB
// lookup. The same flight without the lookup (its file taken away) draws
// the same points through empty ramps, in the grey band: the pixels where
// the two flights differ are the explosion's, coloured in the one and grey
// in the other.
TEST_F(ViewPlay, AShipBlowsUpInColourThroughThePalettesLookup)
{
    std::vector<long> passes;
    std::string table;
    for (long pass = 84; pass <= 110; pass += 2) {
        passes.push_back(pass);
        table += Shot(pass);
    }
    table += "112 quit\n";
    const std::vector<std::string> args = {"-w", "viewshow97.scr"};
    GameRun run = Run(table, args);
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::vector<Indices> coloured;
    for (long pass : passes)
        coloured.push_back(Frame(pass));
    ASSERT_TRUE(fs::remove(folder / "zqk/resource/art/klvstd.cmp"));
    run = RunOnCopy(table, args);
    ASSERT_EQ(run.exitCode, 0) << run.output;

    int differing = 0, greyWith = 0, greyWithout = 0;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        const Indices without = Frame(passes[i]);
        ASSERT_FALSE(coloured[i].Empty() || without.Empty()) << passes[i];
        for (int y = kNavigationView.top; y <= kNavigationView.bottom; ++y)
            for (int x = kNavigationView.left; x <= kNavigationView.right; ++x) {
                const int with = coloured[i].At(x, y), plain = without.At(x, y);
                if (with == plain)
                    continue;
                ++differing;
                greyWith += Grey(with);
                greyWithout += Grey(plain);
            }
    }
    ASSERT_GT(differing, 500) << "the explosion's points take their colours from the lookup";
    EXPECT_LT(greyWith, differing / 10) << "with the lookup they are coloured";
    EXPECT_GT(greyWithout, differing * 9 / 10) << "without it, grey";
}

// The view's show flight from the cockpit while the freighter's debris
// flies past the camera: the pieces show their insides, the charred
// "carbon" skin, dark through the ships' shade table, never the bare red
// ramp (48-79) that the material's index base names. The HUD's own orange
// (64) is left out of the count.
TEST_F(ViewPlay, DebrisFlyingPastTheCockpitShowsItsCharredInsideNotRedSlabs)
{
    std::string table = "62 key V\n";
    std::vector<long> passes;
    for (long pass = 66; pass <= 74; pass += 2) {
        passes.push_back(pass);
        table += Shot(pass);
    }
    table += "76 quit\n";
    const GameRun run = Run(table, {"-w", "viewshow97.scr"});
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;

    constexpr int kHudOrange = 64, kCharredFirst = 10, kCharredLast = 27;
    int mostCharred = 0;
    for (long pass : passes) {
        const Indices frame = Frame(pass);
        ASSERT_FALSE(frame.Empty()) << pass;
        int red = 0, charred = 0;
        for (int y = kNavigationView.top; y <= kNavigationView.bottom; ++y)
            for (int x = kNavigationView.left; x <= kNavigationView.right; ++x) {
                const int index = frame.At(x, y);
                red += index >= 48 && index < 80 && index != kHudOrange;
                charred += index >= kCharredFirst && index <= kCharredLast;
            }
        EXPECT_LT(red, 500) << "no red slabs in the frame of pass " << pass;
        mostCharred = std::max(mostCharred, charred);
    }
    EXPECT_GT(mostCharred, 5000) << "the debris passing the camera is drawn, dark";
}

// The view's show flight from the chase camera: the forward gun's bolt,
// laid over the picture through the game's blend tables, shows in the frame
// after the shot in colour, where a frame before it shows none of it.
TEST_F(ViewPlay, TheGunsBoltShowsInColourFromTheChaseCamera)
{
    const GameRun run = Run("14 key V\n18 key X\n22 key X\n" + Shot(29) + "30 key Space\n" + Shot(32) + "34 quit\n",
                            {"-w", "viewshow97.scr"});
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Indices before = Frame(29), after = Frame(32);
    ASSERT_FALSE(before.Empty() || after.Empty());
    int bolt = 0, grey = 0;
    std::vector<int> colours(256, 0);
    for (int y = kNavigationView.top; y <= kNavigationView.bottom; ++y)
        for (int x = kNavigationView.left; x <= kNavigationView.right; ++x) {
            const int index = after.At(x, y);
            if (index == before.At(x, y))
                continue;
            ++bolt;
            grey += Grey(index);
            ++colours[std::size_t(index)];
        }
    EXPECT_GT(bolt, 500) << "the bolt is drawn";
    EXPECT_LT(grey, bolt / 10) << "in colour, not the grey band";
    EXPECT_GE(std::count_if(colours.begin(), colours.end(), [](int n) { return n > 20; }), 5)
        << "shaded through its ramp";
}

// The view's show flight, its cameras reached from the bridge keys: V puts
// the navigation view on the view camera ("CamPly") in its cockpit
// behaviour, looking past the nose at the freighter's debris far ahead
// once it has flown past; each X
// steps it on: contact, chase and track cameras stand off the corvette and
// see its hull filling the middle of the view, and the fourth step is the
// cockpit again. At the weapons station the small view looks through the
// weapon camera ("CamWep") along the forward gun, named over the view.
TEST_F(ViewPlay, TheBridgeKeysSwitchTheViewCameraAndTheWeaponCameraShowsItsGun)
{
    // The first cockpit frame waits for the freighter's debris to fly past.
    const std::vector<std::pair<long, const char*>> steps = {
        {76, "cockpit"}, {84, "contact"}, {96, "chase"}, {106, "track"}, {116, "cockpit again"}};
    std::string table = Shot(60) + "62 key V\n" + Shot(76) + "78 key X\n" + Shot(84) + "86 key X\n" + Shot(96) +
                        "98 key X\n" + Shot(106) + "108 key X\n" + Shot(116) + "118 key F3\n" + Shot(136) +
                        "138 quit\n";
    const GameRun run = Run(table, {"-w", "viewshow97.scr"});
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;

    constexpr int kSky = 176;
    const int cx = (kNavigationView.left + kNavigationView.right) / 2;
    const int cy = (kNavigationView.top + kNavigationView.bottom) / 2;
    const Box middle = {cx - 60, cy - 30, cx + 60, cy + 30};
    auto drawn = [&](const Indices& frame, const Box& box) {
        int n = 0;
        for (int y = box.top; y <= box.bottom; ++y)
            for (int x = box.left; x <= box.right; ++x)
                n += frame.At(x, y) != kSky;
        return n;
    };
    for (const auto& [pass, camera] : steps) {
        const Indices frame = Frame(pass);
        ASSERT_FALSE(frame.Empty()) << pass;
        const bool cockpit = std::string(camera).starts_with("cockpit");
        // The cockpit's middle holds the far freighter, the sight and the
        // reticle with its marks: well under half of what a hull fills.
        if (cockpit)
            EXPECT_LT(drawn(frame, middle), 900) << camera << ": only the far freighter and the sight";
        else
            EXPECT_GT(drawn(frame, middle), 1500) << camera << ": the corvette's hull near the camera";
    }

    const Indices wep = Frame(136);
    ASSERT_FALSE(wep.Empty());
    const Box weaponView = {340, 52, 499, 171};
    const Box labelRows = {weaponView.left, weaponView.top, weaponView.right, weaponView.top + 15};
    constexpr int kLabelColour = 97;
    EXPECT_GT(wep.Count(labelRows, kLabelColour), 30) << "the gun's label over the weapon view";
    const Box below = {weaponView.left, labelRows.bottom + 1, weaponView.right, weaponView.bottom};
    const int area = (below.right - below.left + 1) * (below.bottom - below.top + 1);
    EXPECT_GT(wep.Count(below, kSky), area / 2) << "the weapon camera's scene fills the view";
}

// Mission 3 flies under its nebula: from the external view the sky behind
// the ships is the nebula sphere shaded across the sky's two ramps, many
// shades rather than one flat colour, in the system's purple (more red and
// blue than green in the colours the screen shows).
TEST_F(ViewPlay, MissionThreesSkyIsTheNebulaInTheSystemsColours)
{
    const auto [frame, rgb] = ExternalView("mission03.scr");
    ASSERT_FALSE(frame.Empty());
    ASSERT_EQ(rgb.size(), std::size_t(kScreenWidth) * kScreenHeight * 3);

    constexpr int kSkyFirst = 177, kSkyLast = 207; // above the clear colour 176
    std::vector<int> shades(256, 0);
    long red = 0, green = 0, blue = 0;
    int sky = 0;
    for (int y = kNavigationView.top; y <= kNavigationView.bottom; ++y)
        for (int x = kNavigationView.left; x <= kNavigationView.right; ++x) {
            const int index = frame.At(x, y);
            if (index < kSkyFirst || index > kSkyLast)
                continue;
            ++sky;
            ++shades[std::size_t(index)];
            const std::size_t at = (std::size_t(y) * kScreenWidth + std::size_t(x)) * 3;
            red += static_cast<uint8_t>(rgb[at]);
            green += static_cast<uint8_t>(rgb[at + 1]);
            blue += static_cast<uint8_t>(rgb[at + 2]);
        }
    const int area = (kNavigationView.right - kNavigationView.left + 1) * (kNavigationView.bottom - kNavigationView.top + 1);
    EXPECT_GT(sky, area / 2) << "the nebula fills the sky of the view";
    EXPECT_GE(std::count_if(shades.begin(), shades.end(), [](int n) { return n > 20; }), 10)
        << "many shades of the sky's ramps, not one flat colour";
    EXPECT_GT(red, green) << "purple";
    EXPECT_GT(blue, green) << "purple";
}

// Mission 2 flies in the Sol system from Earth's leading Lagrange point,
// the sun straight ahead: from the external view the sun is its glow, an
// orange spot round the middle of the view (the star's own dummy model
// draws it), under the nebula sky of the system's ramps.
TEST_F(ViewPlay, MissionTwosSunGlowsAheadUnderTheSystemsSky)
{
    const auto [frame, rgb] = ExternalView("mission02.scr");
    ASSERT_FALSE(frame.Empty());
    ASSERT_EQ(rgb.size(), std::size_t(kScreenWidth) * kScreenHeight * 3);

    const int cx = (kNavigationView.left + kNavigationView.right) / 2;
    const int cy = (kNavigationView.top + kNavigationView.bottom) / 2;
    int orange = 0;
    for (int y = cy - 40; y <= cy + 40; ++y)
        for (int x = cx - 40; x <= cx + 40; ++x) {
            const std::size_t at = (std::size_t(y) * kScreenWidth + std::size_t(x)) * 3;
            const int r = static_cast<uint8_t>(rgb[at]), g = static_cast<uint8_t>(rgb[at + 1]),
                      b = static_cast<uint8_t>(rgb[at + 2]);
            orange += r > 100 && g * 5 < r * 4 && b * 2 < r;
        }
    EXPECT_GT(orange, 300) << "the sun's glow round the middle of the view";
    int sky = 0;
    for (int y = kNavigationView.top; y <= kNavigationView.bottom; ++y)
        for (int x = kNavigationView.left; x <= kNavigationView.right; ++x)
            sky += frame.At(x, y) > 176 && frame.At(x, y) <= 207;
    const int area = (kNavigationView.right - kNavigationView.left + 1) * (kNavigationView.bottom - kNavigationView.top + 1);
    EXPECT_GT(sky, area / 2) << "the nebula in the sky's ramps behind it";
}

// Mission 2 from the external view while the corvette rolls (keypad 4):
// the background stars draw as trails, runs of joined pixels in the star
// ramp, where the still view before showed them as single points; the
// station's scope, which draws no stars, does not keep the trails away.
TEST_F(ViewPlay, StarsDrawTrailsWhileTheViewTurns)
{
    std::string table = "610 click CMDObjv\n650 key F2\n660 key V\n" + Shot(690);
    for (long pass = 700; pass < 740; pass += 2)
        table += std::to_string(pass) + " key Keypad 4\n";
    table += Shot(730) + "742 quit\n";
    const GameRun run = Run(table, {"-w", "mission02.scr"});
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;

    auto star = [](int index) { return index >= 16 && index < 48; };
    // Star pixels of the view, and those of them touching another.
    auto count = [&](const Indices& frame, int& joined) {
        int n = 0;
        joined = 0;
        for (int y = kNavigationView.top + 1; y < kNavigationView.bottom; ++y)
            for (int x = kNavigationView.left + 1; x < kNavigationView.right; ++x) {
                if (!star(frame.At(x, y)))
                    continue;
                ++n;
                bool touches = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        touches = touches || ((dx || dy) && star(frame.At(x + dx, y + dy)));
                joined += touches;
            }
        return n;
    };
    const Indices still = Frame(690), turning = Frame(730);
    ASSERT_FALSE(still.Empty() || turning.Empty());
    int stillJoined = 0, turningJoined = 0;
    const int stillStars = count(still, stillJoined);
    const int turningStars = count(turning, turningJoined);
    EXPECT_GT(stillStars, 100) << "the star field is drawn";
    EXPECT_LT(stillJoined, stillStars / 4) << "still: points";
    EXPECT_GT(turningJoined, 300) << "turning: trails";
    EXPECT_GT(turningJoined, turningStars / 2);
}

} // namespace

namespace {

// The planets' show flight from the external view: Earth lies straight
// ahead, its disc round the middle of the view. A ring of the disc (clear
// of the target marks at its middle) is the planet's textured face: no sky
// in it, and the many colours of its texture rather than one flat colour,
// drawn over the sun's glow behind it rather than darkened under it.
TEST_F(ViewPlay, TheDiscOfThePlanetAheadShowsItsTexture)
{
    const GameRun run = Run("60 key V\n" + Shot(70) + "72 quit\n", {"-w", "planetshow95.scr"});
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Indices frame = Frame(70);
    ASSERT_FALSE(frame.Empty());

    const int cx = (kNavigationView.left + kNavigationView.right) / 2;
    const int cy = (kNavigationView.top + kNavigationView.bottom) / 2;
    constexpr int kInner = 20, kOuter = 40, kSkyFirst = 176, kSkyLast = 207;
    std::vector<int> colours(256, 0);
    int ring = 0, sky = 0;
    for (int y = cy - kOuter; y <= cy + kOuter; ++y)
        for (int x = cx - kOuter; x <= cx + kOuter; ++x) {
            const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            if (d2 < kInner * kInner || d2 >= kOuter * kOuter)
                continue;
            ++ring;
            const int index = frame.At(x, y);
            sky += index >= kSkyFirst && index <= kSkyLast;
            ++colours[std::size_t(index)];
        }
    EXPECT_LT(sky, ring / 20) << "the planet covers the ring";
    EXPECT_GE(std::count_if(colours.begin(), colours.end(), [&](int n) { return n > ring / 50; }), 8)
        << "the texture's many colours across the face";
    EXPECT_LT(*std::max_element(colours.begin(), colours.end()), ring / 2) << "not one flat colour";
}

// Mission 2 flies in the Sol system, which has an asteroid belt: the belt's
// rocks are scattered round the player, each at a range that shows it a few
// pixels across whatever its size. From the external view the rocks in
// sight are small separate spots in the rocks' ramp (208-239), none filling
// the view round the ship; the same flight without the rocks' shapes shows
// none of them.
TEST_F(ViewPlay, TheBeltsRocksLieAroundTheShipAtTheirRanges)
{
    constexpr int kRockFirst = 208, kRockLast = 239;
    // The rock spots of the view: their pixel counts and extents.
    struct Spot {
        int pixels, width, height;
    };
    auto spots = [&](const Indices& frame) {
        std::vector<Spot> found;
        std::vector<bool> seen(std::size_t(kScreenWidth) * kScreenHeight, false);
        auto rock = [&](int x, int y) {
            return kNavigationView.Holds(x, y) && frame.At(x, y) >= kRockFirst && frame.At(x, y) <= kRockLast;
        };
        for (int y = kNavigationView.top; y <= kNavigationView.bottom; ++y)
            for (int x = kNavigationView.left; x <= kNavigationView.right; ++x) {
                if (!rock(x, y) || seen[std::size_t(y) * kScreenWidth + std::size_t(x)])
                    continue;
                std::vector<std::pair<int, int>> stack = {{x, y}};
                seen[std::size_t(y) * kScreenWidth + std::size_t(x)] = true;
                int n = 0, left = x, right = x, top = y, bottom = y;
                while (!stack.empty()) {
                    const auto [px, py] = stack.back();
                    stack.pop_back();
                    ++n;
                    left = std::min(left, px), right = std::max(right, px);
                    top = std::min(top, py), bottom = std::max(bottom, py);
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int qx = px + dx, qy = py + dy;
                            if (!rock(qx, qy) || seen[std::size_t(qy) * kScreenWidth + std::size_t(qx)])
                                continue;
                            seen[std::size_t(qy) * kScreenWidth + std::size_t(qx)] = true;
                            stack.push_back({qx, qy});
                        }
                }
                found.push_back({n, right - left + 1, bottom - top + 1});
            }
        return found;
    };

    const auto [frame, rgb] = ExternalView("mission02.scr");
    ASSERT_FALSE(frame.Empty());
    const std::vector<Spot> rocks = spots(frame);
    EXPECT_GE(rocks.size(), 3u) << "rocks in sight";
    for (const Spot& s : rocks) {
        EXPECT_LE(std::max(s.width, s.height), 12) << "a rock at its range is a few pixels across";
        EXPECT_GE(s.pixels, 3) << "and drawn whole, not a stray pixel";
    }

    for (const char* shape : {"SmallAsteroidBumpy.lwo", "MediumAsteroidBumpy.lwo", "LargeAsteroid_RTO.lwo"})
        ASSERT_TRUE(fs::remove(folder / "zqk/resource/shapes" / shape)) << shape;
    const GameRun run = RunOnCopy("610 click CMDObjv\n650 key F2\n680 key V\n" + Shot(700) + "702 quit\n",
                                  {"-w", "mission02.scr"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Indices without = Frame(700);
    ASSERT_FALSE(without.Empty());
    EXPECT_TRUE(spots(without).empty()) << "without the rocks' shapes nothing is drawn in their ramp";
}

} // namespace
