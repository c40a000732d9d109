// The game on a 16-bit screen ("-16") as a player sees it, against the same
// walk on an 8-bit screen: the front end, the briefing, the stations and
// the flight, captured as the colours shown. Each 8-bit frame, its colours
// taken to 565, is what the 16-bit frame must show wherever palette art is
// drawn; inside the 3D views the models are drawn in true colour, so there
// the HUD's marks and the empty sky must match and the models must show.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Box {
    int left, top, right, bottom; // inclusive
    bool Holds(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// A colour as a 565 pixel keeps it: what both screens can agree on.
struct Colour {
    int red, green, blue;
    Colour Reduced() const { return {red >> 3, green >> 2, blue >> 3}; }
    bool operator==(const Colour&) const = default;
    bool Black() const { return red == 0 && green == 0 && blue == 0; }
    // The HUD's reds: its frame, reticle and range marks.
    bool HudRed() const { return red > 100 && red > 3 * green && red > 3 * blue; }
};

// A captured frame: the colours shown (a ".ppm" shot).
struct Frame {
    std::string rgb;
    bool Empty() const { return rgb.size() != std::size_t(kWidth) * kHeight * 3; }
    Colour At(int x, int y) const
    {
        const std::size_t i = (std::size_t(y) * kWidth + std::size_t(x)) * 3;
        return {uint8_t(rgb[i]), uint8_t(rgb[i + 1]), uint8_t(rgb[i + 2])};
    }
};

// The 3D views of the stations the walk visits (the layouts' view windows).
constexpr Box kComView = {36, 52, 499, 237};
constexpr Box kNavView = {36, 52, 335, 251};
constexpr Box kWepView = {36, 52, 335, 251};

class SixteenBit : public ::testing::Test {
protected:
    // Runs the table (its "@" standing for the shot folder) at the depth,
    // on a fresh copy of the demo data.
    void Walk(const std::string& table, std::vector<std::string> args, const fs::path& shots)
    {
        fs::create_directories(shots);
        const fs::path data = folder / "data";
        fs::remove_all(data);
        CopyDemoData(data);
        std::string filled = table;
        for (std::size_t at = filled.find('@'); at != std::string::npos; at = filled.find('@', at))
            filled.replace(at, 1, shots.string() + "/");
        std::ofstream(folder / "table.txt") << filled;
        const GameRun run =
            RunGame(args, {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                    data);
        ASSERT_EQ(run.hung, "") << run.output;
        ASSERT_EQ(run.exitCode, 0) << run.output;
    }

    // The same table at 8 and at 16 bits.
    void WalkBoth(const std::string& table, const std::vector<std::string>& args)
    {
        std::vector<std::string> sixteen = args;
        sixteen.insert(sixteen.begin() + 1, "-16");
        ASSERT_NO_FATAL_FAILURE(Walk(table, args, folder / "8"));
        ASSERT_NO_FATAL_FAILURE(Walk(table, sixteen, folder / "16"));
    }

    Frame Shot(const std::string& depth, const std::string& name) const
    {
        std::ifstream in(folder / depth / (name + ".ppm"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string header = "P6\n640 480\n255\n";
        return {bytes.compare(0, header.size(), header) == 0 ? bytes.substr(header.size()) : std::string()};
    }

    // Every pixel outside the view (none: the whole frame) as at 8 bits;
    // the first that differs is named.
    static void ExpectSameOutside(const Frame& eight, const Frame& sixteen, const Box* view, const std::string& name)
    {
        ASSERT_FALSE(eight.Empty()) << name;
        ASSERT_FALSE(sixteen.Empty()) << name;
        int differing = 0;
        std::string first;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if ((!view || !view->Holds(x, y)) && !(eight.At(x, y).Reduced() == sixteen.At(x, y).Reduced())) {
                    if (differing++ == 0) {
                        const Colour a = eight.At(x, y), b = sixteen.At(x, y);
                        first = std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(a.red) + " " +
                                std::to_string(a.green) + " " + std::to_string(a.blue) + " at 8 bits, " +
                                std::to_string(b.red) + " " + std::to_string(b.green) + " " + std::to_string(b.blue) +
                                " at 16";
                    }
                }
        EXPECT_EQ(differing, 0) << name << ": pixels unlike the 8-bit frame, the first at " << first;
    }

    // Inside the view: the HUD's reds where the 8-bit frame has them, and
    // the models drawn (lit pixels that are neither the HUD nor black).
    static void ExpectViewDrawn(const Frame& eight, const Frame& sixteen, const Box& view, const std::string& name)
    {
        int hud = 0, hudKept = 0, lit = 0;
        for (int y = view.top; y <= view.bottom; ++y)
            for (int x = view.left; x <= view.right; ++x) {
                const Colour a = eight.At(x, y), b = sixteen.At(x, y);
                if (a.HudRed()) {
                    ++hud;
                    hudKept += a.Reduced() == b.Reduced();
                }
                lit += !b.Black() && !b.HudRed();
            }
        EXPECT_GT(hud, 200) << name << ": the 8-bit view shows its HUD";
        EXPECT_EQ(hudKept, hud) << name << ": the HUD's marks as at 8 bits";
        EXPECT_GT(lit, 1000) << name << ": the scene drawn in the view";
    }

    ScratchFolder scratch{"sixteenbit"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

// The front end's home and roster screens: palette art and text only.
TEST_F(SixteenBit, TheFrontEndLooksAsAtEightBits)
{
    ASSERT_NO_FATAL_FAILURE(WalkBoth("100 shot @home.ppm\n120 click FrRosSq\n250 shot @roster.ppm\n260 quit\n", {"-w"}));
    for (const char* name : {"home", "roster"})
        ExpectSameOutside(Shot("8", name), Shot("16", name), nullptr, name);
}

// Mission 1 from its briefing through COM, NAV, ENG and WEP to the end of
// the flight: the briefing, ENG's vector map and the mission summary are
// palette art throughout; COM, NAV and WEP show the scene in their 3D views
// with the HUD over it and the panels around as at 8 bits.
TEST_F(SixteenBit, TheBriefingStationsAndFlightLookAsAtEightBits)
{
    ASSERT_NO_FATAL_FAILURE(WalkBoth("400 shot @brief.ppm\n"
                                     "610 click CMDObjv\n"
                                     "640 shot @com.ppm\n"
                                     "650 key F2\n"
                                     "700 shot @nav.ppm\n"
                                     "770 key F4\n"
                                     "800 shot @eng.ppm\n"
                                     "810 key F3\n"
                                     "850 shot @wep.ppm\n"
                                     "860 key Q\n"
                                     "910 shot @summary.ppm\n"
                                     "920 quit\n",
                                     {"-w", "mission01.scr"}));
    for (const char* name : {"brief", "eng", "summary"})
        ExpectSameOutside(Shot("8", name), Shot("16", name), nullptr, name);
    const struct {
        const char* name;
        Box view;
    } stations[] = {{"com", kComView}, {"nav", kNavView}, {"wep", kWepView}};
    for (const auto& s : stations) {
        const Frame eight = Shot("8", s.name), sixteen = Shot("16", s.name);
        ExpectSameOutside(eight, sixteen, &s.view, s.name);
        ExpectViewDrawn(eight, sixteen, s.view, s.name);
    }
}

} // namespace
