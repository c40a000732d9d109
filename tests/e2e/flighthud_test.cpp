// The flight HUD and the bridge's messages as a player sees them: mission 1
// flown from the command line at the stations, its frames captured and its
// trace read for the texts drawn and where.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A text the trace says was drawn.
struct DrawnText {
    int x = 0, y = 0, colour = 0, font = 0;
    std::string text;
};

// What the trace holds: the texts drawn in each frame, and the frames in
// which each message was given to the message line.
struct Trace {
    std::map<long, std::vector<DrawnText>> texts;
    std::map<std::string, long> messages; // the first frame of each

    // The texts of the frame drawn at (x, y).
    std::vector<std::string> At(long frame, int x, int y) const
    {
        std::vector<std::string> found;
        const auto it = texts.find(frame);
        if (it != texts.end())
            for (const DrawnText& t : it->second)
                if (t.x == x && t.y == y)
                    found.push_back(t.text);
        return found;
    }
};

Trace ReadTrace(const fs::path& file)
{
    Trace trace;
    std::ifstream in(file);
    const std::regex text(R"re((\d+) text (-?\d+) (-?\d+) (-?\d+) (-?\d+) "(.*)")re");
    const std::regex message(R"re((\d+) message "(.*)")re");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, text))
            trace.texts[std::stol(m[1])].push_back(
                {std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5]), m[6]});
        else if (std::regex_match(line, m, message))
            trace.messages.emplace(m[2], std::stol(m[1]));
    }
    return trace;
}

// A captured frame's palette indices (a ".pgm" shot); empty when missing.
std::string Indices(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string header = "P5\n640 480\n255\n";
    return bytes.compare(0, header.size(), header) == 0 ? bytes.substr(header.size()) : std::string();
}

// Pixels of the colour in the rectangle.
int Count(const std::string& frame, int colour, int left, int top, int right, int bottom)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += frame.size() == 640u * 480u && static_cast<uint8_t>(frame[std::size_t(y) * 640 + x]) == colour;
    return n;
}

// The station's local view at NAV and WEP, where the flight HUD is drawn.
constexpr int kViewLeft = 36, kViewTop = 52, kViewRight = 335, kViewBottom = 251;
constexpr int kSky = 176; // the view's sky index
constexpr int kHostileColour = 160;
constexpr int kHudColour = 64;
constexpr int kNoticeColour = 249;
// The contact list: its rows' labels at x 40, the current row in the big font.
constexpr int kRowLabelX = 40, kRowKindX = 61, kRowSideX = 101, kCurrentRowFont = 16, kListTop = 330;
// NAV's drive label and WEP's fire-mode label (their baselines).
constexpr int kDriveLabelY = 233, kFireModeLabelY = 227;
// WEP's two mouse readouts, right of the station's buttons.
constexpr int kReadoutLeft = 550, kReadoutY = 327;
// COM's log frame, below its contact list.
constexpr int kLogFrameLeft = 38, kLogFrameTop = 372, kLogFrameRight = 308, kLogFrameBottom = 468;
// The target panel's first line, in the console font.
constexpr int kPanelX = 276, kPanelY = 343;

class FlightHud : public ::testing::Test {
protected:
    Trace Run(const std::string& table)
    {
        std::ofstream(folder / "table.txt") << table;
        run = RunGame({"-w", "mission01.scr"},
                      {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                       "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                       "KELVANDRIST_TRACE=" + (folder / "trace.txt").string()},
                      folder);
        return ReadTrace(folder / "trace.txt");
    }

    std::string Shot(long pass, const std::string& name) const
    {
        return std::to_string(pass) + " shot " + (folder / name).string() + "\n";
    }

    ScratchFolder scratch{"flighthud"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
    GameRun run;
};

// The briefing closed, NAV, a target, then WEP and its fire-mode key: the
// fire mode chosen is given on the message line, drawn centred near the view's bottom,
// blinking at first, then steady, and gone once its 200 ticks are over.
TEST_F(FlightHud, AMessageIsDrawnOnTheMessageLineBlinksAndGoesAfterItsTime)
{
    CopyDemoData(folder);
    std::string table = "610 click CMDObjv\n"
                        "770 key F2\n"
                        "830 key T\n"
                        "870 key F3\n"
                        "910 key G\n";
    for (long pass = 880; pass <= 1000; pass += 3)
        table += Shot(pass, "wep" + std::to_string(pass) + ".pgm");
    table += "1010 quit\n";
    const Trace trace = Run(table);
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(trace.messages.count("RAPID")) << "the fire mode chosen is given";
    const long given = trace.messages.at("RAPID");

    // Each frame the line shows it: 5 ticks a frame, 200 ticks in all; the
    // first 80 ticks blink (shown 11 of 20).
    int y = -1;
    std::string shownFrames;
    for (long frame = given + 1; frame <= given + 44; ++frame) {
        bool shown = false;
        for (const DrawnText& t : trace.texts.count(frame) ? trace.texts.at(frame) : std::vector<DrawnText>{})
            if (t.text == "RAPID" && t.colour == kHudColour) {
                shown = true;
                y = t.y;
                EXPECT_GT(t.x, kViewLeft) << frame;
                EXPECT_LT(t.x, (kViewLeft + kViewRight) / 2) << "centred in the view " << frame;
            }
        shownFrames += shown ? '1' : '0';
    }
    EXPECT_EQ(y, kViewBottom - 24) << "on the message line at the view's bottom - 24";
    // Given after the HUD of its frame was drawn, it shows from the next:
    // it blinks (elapsed 0, 5, 10 shown, 15 not) for 80 ticks, then stays
    // until its 200 ticks are over.
    EXPECT_EQ(shownFrames.substr(0, 16), "1110111011101110") << shownFrames;
    EXPECT_EQ(shownFrames.substr(16, 24), std::string(24, '1')) << shownFrames;
    EXPECT_EQ(shownFrames.substr(40), "0000") << "gone after its time: " << shownFrames;

    // And on the screen: the line's pixels in the HUD colour while it is
    // shown, none once it has gone.
    int shownShots = 0;
    for (long pass = 880; pass <= 1000; pass += 3)
        shownShots += Count(Indices(folder / ("wep" + std::to_string(pass) + ".pgm")), kHudColour, kViewLeft + 100,
                            y - 10, kViewRight - 100, y + 3) > 40;
    EXPECT_GT(shownShots, 5) << "the message is seen";
    EXPECT_EQ(Count(Indices(folder / "wep1000.pgm"), kHudColour, kViewLeft + 100, y - 10, kViewRight - 100, y + 3), 0)
        << "and gone";
}

// The raider taken as target at NAV, then WEP while it closes in and
// fights until the fight ends: with no key touched, the contact list's
// current row and the target panel stay on it in every frame.
TEST_F(FlightHud, TheCurrentContactStaysTheSameInEveryFrameAtNavAndWep)
{
    CopyDemoData(folder);
    const Trace trace = Run("610 click CMDObjv\n"
                            "770 key F2\n"
                            "830 key T\n"
                            "900 key F3\n"
                            "1300 quit\n");
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::set<std::string> currentRows, panels;
    int frames = 0;
    // WEP's target line is drawn when its text changes and stays on the
    // screen until then.
    std::string target;
    for (const auto& [frame, texts] : trace.texts) {
        // The current row (the big font) by its kind and side codes: its
        // place in the list differs between the stations' sort orders.
        int currentY = -1;
        for (const DrawnText& t : texts)
            if (t.x == kRowLabelX && t.y > kListTop && t.font == kCurrentRowFont)
                currentY = t.y;
        std::string row, panel;
        for (const DrawnText& t : texts) {
            if (t.y == currentY && (t.x == kRowKindX || t.x == kRowSideX))
                row += t.text + " ";
            if (t.x == kPanelX && t.y == kPanelY)
                panel = t.text;
            if (t.text.rfind("TARGET: ", 0) == 0)
                target = t.text;
        }
        if (target != "TARGET: Raider" || panel.empty())
            continue; // before T, after the fight, or a screen change
        ++frames;
        currentRows.insert(row);
        panels.insert(panel);
    }
    auto list = [](const std::set<std::string>& names) {
        std::string all;
        for (const std::string& n : names)
            all += "[" + n + "] ";
        return all;
    };
    ASSERT_GT(frames, 60) << "NAV and WEP were drawn";
    EXPECT_EQ(*currentRows.begin(), "SFI UNK ") << "the raider's row";
    EXPECT_EQ(currentRows.size(), 1u) << "the list's current row changes: " << list(currentRows);
    EXPECT_EQ(panels.size(), 1u) << "the target panel changes: " << list(panels);
}

// Labels that follow the ship's state are drawn again when their text
// changes: NAV's drive label once L has engaged the LDS drive, WEP's fire
// mode once G has chosen rapid fire.
TEST_F(FlightHud, ALabelIsDrawnAgainWhenItsTextChanges)
{
    CopyDemoData(folder);
    const Trace trace = Run("610 click CMDObjv\n"
                            "770 key F2\n"
                            "800 key L\n"
                            "870 key F3\n"
                            "910 key G\n"
                            "940 quit\n");
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The label's texts in the order they were drawn (each once).
    auto drawn = [&](int y) {
        std::vector<std::string> texts;
        for (const auto& [frame, list] : trace.texts)
            for (const DrawnText& t : list)
                if (t.x > kViewRight + 150 && t.y == y && (texts.empty() || texts.back() != t.text))
                    texts.push_back(t.text);
        return texts;
    };
    EXPECT_EQ(drawn(kDriveLabelY), (std::vector<std::string>{"THRUSTER", "LDS"}));
    EXPECT_EQ(drawn(kFireModeLabelY), (std::vector<std::string>{"NORMAL", "RAPID"}));
}

// The log's texts typed in flight, where the player stands: O at NAV types
// the current objective over the top of the local view; [ at COM browses
// the ship's log back, typed in the station's log frame below the contact
// list; O again at WEP types it over WEP's view. Each goes once the log
// blanks itself.
TEST_F(FlightHud, TheObjectiveAndTheShipsLogAreTypedAtNavComAndWep)
{
    CopyDemoData(folder);
    const Trace trace = Run("610 click CMDObjv\n"
                            "770 key F2\n"
                            "800 key O\n"
                            "900 key F1\n"
                            "940 key [\n" +
                            Shot(985, "com.pgm") +
                            "1060 key F3\n"
                            "1070 key O\n"
                            "1150 quit\n");
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The frames in which a text holding this line was drawn inside the box
    // (the log's lines are drawn as one text, blank lines and all).
    auto drawn = [&](const std::string& line, int left, int top, int right, int bottom) {
        std::vector<long> frames;
        for (const auto& [frame, texts] : trace.texts)
            for (const DrawnText& t : texts)
                if (t.text.find(line) != std::string::npos && t.x >= left && t.x < right && t.y > top &&
                    t.y < bottom) {
                    frames.push_back(frame);
                    break;
                }
        return frames;
    };
    // NAV and WEP draw their views in the same place.
    const std::vector<long> objective =
        drawn("Objective: Destroy the raider", kViewLeft, kViewTop, kViewRight, kViewTop + 90);
    // The briefing typed its lines in COM's frame before the flight.
    std::vector<long> entry = drawn("0:0", kLogFrameLeft, kLogFrameTop, kLogFrameRight, kLogFrameBottom);
    ASSERT_FALSE(objective.empty());
    std::erase_if(entry, [&](long f) { return f < objective.front(); });
    ASSERT_GT(entry.size(), 20u) << "the ship's log entry typed in COM's log frame";
    const auto atNav = std::count_if(objective.begin(), objective.end(), [&](long f) { return f < entry.front(); });
    const auto atWep = std::count_if(objective.begin(), objective.end(), [&](long f) { return f > entry.back(); });
    EXPECT_GT(atNav, 20) << "the objective typed over NAV's view";
    EXPECT_GT(atWep, 20) << "and over WEP's";

    // On the screen: the entry's glyphs in the frame's cleared box.
    const std::string frame = Indices(folder / "com.pgm");
    ASSERT_FALSE(frame.empty());
    const int box = (kLogFrameRight - kLogFrameLeft) * (kLogFrameBottom - kLogFrameTop);
    EXPECT_GT(box - Count(frame, 0, kLogFrameLeft, kLogFrameTop, kLogFrameRight, kLogFrameBottom), 100)
        << "the entry is seen";
}

// The developer's HUD pages, with the developer keys and F9 bound to the
// page key: the first shows the script line running, the second what the
// target's AI does, over NAV's view. The reactor's and the emergency
// charge's level bars stand at the view's lower left all along.
TEST_F(FlightHud, TheDebugPagesAndTheLevelBarsAreDrawnOverTheView)
{
    CopyDemoData(folder);
    std::ofstream(folder / "zqk/resource/scripts/init/keybind2.scr", std::ios::app) << "BINDKEY 67 192\n";
    std::ofstream(folder / "table.txt") << "610 click CMDObjv\n"
                                           "770 key F2\n"
                                           "830 key T\n"
                                           "850 key F9\n" +
                                               Shot(870, "bars.pgm") +
                                               "880 key F9\n"
                                               "910 quit\n";
    run = RunGame({"-w", "-powers", "mission01.scr"},
                  {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                   "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                   "KELVANDRIST_TRACE=" + (folder / "trace.txt").string()},
                  folder);
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Trace trace = ReadTrace(folder / "trace.txt");
    std::set<std::string> pageOne, pageTwo;
    for (const auto& [frame, texts] : trace.texts)
        for (const DrawnText& t : texts)
            if (t.x == kViewLeft + 48 && t.y == kViewTop + 16)
                (t.colour == kHudColour ? pageOne : pageTwo).insert(t.text);
    EXPECT_TRUE(pageOne.count("WAIT_UNTIL DESTROYED raider OR DESTROYED hero")) << "the script line on page 1";
    EXPECT_TRUE(std::any_of(pageTwo.begin(), pageTwo.end(), [](const std::string& t) {
        return t.rfind("SHIP: Raider A: ", 0) == 0;
    })) << "the target on page 2";

    const std::string frame = Indices(folder / "bars.pgm");
    ASSERT_FALSE(frame.empty());
    // Two 45 x 6 bars at the view's left + 13, bottom - 23 and - 32, where
    // the sky was.
    const int bars = 2 * 45 * 6 - Count(frame, kSky, kViewLeft + 13, kViewBottom - 23, kViewLeft + 58, kViewBottom - 17) -
                     Count(frame, kSky, kViewLeft + 13, kViewBottom - 32, kViewLeft + 58, kViewBottom - 26);
    EXPECT_GT(bars, 400) << "the level bars";
}

// L at NAV: while the LDS drive spools up the frame shows its text and a
// level bar of its progress at the view's top left; the row of the ship's
// system health squares sits at the top right all along.
TEST_F(FlightHud, TheLdsSpoolBarAndTheSystemHealthRowAreDrawnOverTheView)
{
    CopyDemoData(folder);
    const Trace trace = Run("610 click CMDObjv\n"
                            "770 key F2\n"
                            "800 key L\n" +
                            Shot(812, "spool.pgm") + "830 quit\n");
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    int spoolTexts = 0;
    for (const auto& [frame, texts] : trace.texts)
        for (const DrawnText& t : texts)
            spoolTexts += t.text == "LDS INIT" && t.x == kViewLeft + 26 && t.y == kViewTop + 18;
    EXPECT_GT(spoolTexts, 5) << "the spool-up's text";

    const std::string frame = Indices(folder / "spool.pgm");
    ASSERT_FALSE(frame.empty());
    // The bar (6 x 56 at the view's left + 16, top + 8): its outline and its
    // cleared inside, where the sky was.
    const int bar = 6 * 56 - Count(frame, kSky, kViewLeft + 16, kViewTop + 8, kViewLeft + 22, kViewTop + 64);
    EXPECT_GT(bar, 250) << "the spool bar";
    // The squares (2 x 2, 3 pixels apart, from the view's right - 124,
    // top + 4) in their health colours.
    int squares = 0;
    for (int colour : {58, 97, 160})
        squares += Count(frame, colour, kViewRight - 124, kViewTop + 4, kViewRight, kViewTop + 6);
    EXPECT_GT(squares, 40) << "the system health squares";
}

// The stations' live mouse readouts are a developer's tool: drawn with the
// developer keys ("powers"), not without them.
TEST_F(FlightHud, TheMouseReadoutIsDrawnOnlyWithTheDeveloperKeys)
{
    CopyDemoData(folder);
    const std::string table = "610 click CMDObjv\n"
                              "620 move 200 150\n"
                              "870 key F3\n"
                              "900 quit\n";
    auto readouts = [&](const Trace& trace) {
        int n = 0;
        for (const auto& [frame, texts] : trace.texts)
            for (const DrawnText& t : texts)
                n += t.x >= kReadoutLeft && t.y == kReadoutY;
        return n;
    };
    const Trace player = Run(table);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(readouts(player), 0);
    fs::remove(folder / "trace.txt");
    std::ofstream(folder / "table.txt") << table;
    run = RunGame({"-w", "-powers", "mission01.scr"},
                  {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                   "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                   "KELVANDRIST_TRACE=" + (folder / "trace.txt").string()},
                  folder);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_GT(readouts(ReadTrace(folder / "trace.txt")), 0);
}

// With a current contact the reticle's centre shows the contact's icon in
// its class colour: the raider, a hostile, in 160.
TEST_F(FlightHud, TheReticleShowsTheCurrentContactsIconAtTheCentre)
{
    CopyDemoData(folder);
    Run("610 click CMDObjv\n"
        "770 key F2\n"
        "830 key T\n" +
        Shot(850, "reticle.pgm") + "860 quit\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string frame = Indices(folder / "reticle.pgm");
    ASSERT_FALSE(frame.empty());
    const int cx = (kViewLeft + kViewRight) / 2, cy = (kViewTop + kViewBottom) / 2;
    EXPECT_GT(Count(frame, kHostileColour, cx - 4, cy - 4, cx + 5, cy + 5), 25);
}

// F11 at NAV: the station's panels give way to the ship's view over the
// whole screen, with the HUD (its clock at the screen's lower right), the
// target's card centred at the bottom and the log's objective at the top
// left; F11 again brings NAV back. Switched on again, the end of the flight
// (Q) leaves it by itself and the mission ends as usual.
TEST_F(FlightHud, TheShipsViewAloneShowsTheHudTheTargetCardAndTheLog)
{
    CopyDemoData(folder);
    const Trace trace = Run("610 click CMDObjv\n"
                            "770 key F2\n"
                            "830 key T\n"
                            "850 key F11\n"
                            "860 key O\n" +
                            Shot(890, "view.pgm") +
                            "920 key F11\n" +
                            Shot(940, "nav.pgm") +
                            "950 key F11\n"
                            "970 key Q\n"
                            "990 key Q\n"
                            "1060 quit\n");
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::vector<std::pair<long, std::string>> switches;
    {
        std::ifstream in(folder / "trace.txt");
        const std::regex line(R"re((\d+) mainview (\d))re");
        for (std::string l; std::getline(in, l);)
            if (std::smatch m; std::regex_match(l, m, line))
                switches.emplace_back(std::stol(m[1]), m[2]);
    }
    ASSERT_EQ(switches.size(), 4u) << "on, off by the key, on, off at the end of the flight";
    const long on = switches[0].first, off = switches[1].first;
    EXPECT_EQ(switches[0].second, "1");
    EXPECT_EQ(switches[1].second, "0");

    int card = 0, log = 0, clock = 0, station = 0;
    for (long frame = on + 1; frame <= off; ++frame)
        for (const DrawnText& t : trace.texts.count(frame) ? trace.texts.at(frame) : std::vector<DrawnText>{}) {
            card += t.text == "SFI" && t.x > 320 - 80 && t.x < 320 + 80 && t.y > 480 - 16;
            log += t.text.rfind("Objective", 0) == 0 && t.x == 8 && t.y < 40;
            clock += t.text.rfind("T: ", 0) == 0 && t.x > 560 && t.y > 460;
            station += t.text.rfind("TARGET: ", 0) == 0;
        }
    EXPECT_GT(card, 20) << "the target's card under the view";
    EXPECT_GT(log, 10) << "the objective typed at the view's top left";
    EXPECT_GT(clock, 20) << "the HUD over the whole screen";
    EXPECT_EQ(station, 0) << "no station panel drawn meanwhile";
    int stationAgain = 0;
    for (const auto& [frame, texts] : trace.texts)
        for (const DrawnText& t : texts)
            stationAgain += frame > off && frame < switches[2].first && t.text == "TARGET: Raider";
    EXPECT_GT(stationAgain, 0) << "NAV drawn again";

    // On the screen: where NAV's order buttons stand, the sky of the view.
    const std::string view = Indices(folder / "view.pgm"), nav = Indices(folder / "nav.pgm");
    ASSERT_FALSE(view.empty());
    ASSERT_FALSE(nav.empty());
    const int buttons = 120 * 170;
    EXPECT_GT(Count(view, kSky, 510, 26, 630, 196), buttons * 9 / 10);
    EXPECT_LT(Count(nav, kSky, 510, 26, 630, 196), buttons / 10);
}

// Approach clicked at NAV: while the order flies the ship the notice says
// so, centred on the view's upper line in its own colour; not before. The
// developer's mark is not drawn without the developer keys.
TEST_F(FlightHud, TheAutopilotNoticeShowsWhileAnOrderFliesTheShip)
{
    CopyDemoData(folder);
    const Trace trace = Run("610 click CMDObjv\n"
                            "770 key F2\n"
                            "830 key T\n"
                            "850 state\n"
                            "850 click NvMd5\n" +
                            Shot(890, "autopilot.pgm") + "900 quit\n");
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    long first = 0;
    int notices = 0, developer = 0;
    for (const auto& [frame, texts] : trace.texts)
        for (const DrawnText& t : texts) {
            if (t.text == "AUTOPILOT") {
                first = first ? first : frame;
                ++notices;
                EXPECT_EQ(t.y, kViewTop + 28);
                EXPECT_EQ(t.colour, kNoticeColour);
                EXPECT_GT(t.x, kViewLeft + 80) << "centred";
                EXPECT_LT(t.x, (kViewLeft + kViewRight) / 2);
            }
            developer += t.text == "DEVELOPER";
        }
    EXPECT_GT(notices, 20) << "the order flies the ship";
    // The frame of the click's pass.
    long clicked = 0;
    {
        std::ifstream in(folder / "trace.txt");
        const std::regex pass(R"re((\d+) pass 850)re");
        for (std::string l; std::getline(in, l) && !clicked;)
            if (std::smatch m; std::regex_match(l, m, pass))
                clicked = std::stol(m[1]);
    }
    ASSERT_GT(clicked, 0);
    EXPECT_GT(first, clicked) << "not before the order";
    EXPECT_EQ(developer, 0);
    const std::string frame = Indices(folder / "autopilot.pgm");
    ASSERT_FALSE(frame.empty());
    EXPECT_GT(Count(frame, kNoticeColour, kViewLeft + 80, kViewTop + 18, kViewRight - 80, kViewTop + 30), 40)
        << "the notice is seen";
}

// The show mission: the player's fighter at rest inside a Lagrange device's
// reach with a destination chosen, flown with the developer keys. The jump
// check's five lamps stand in their box at the view's top right, lit for
// its reasons not to jump (too slow, off the device's heading, out of
// place), dark for the others (in the LDS, too fast); the destination is
// named below them; the fighter's sight is drawn about the view's centre;
// the developer's mark sits below the view's top left.
TEST_F(FlightHud, AtALagrangeDeviceTheJumpLampsTheDestinationAndTheFightersSightAreDrawn)
{
    CopyDemoData(folder);
    fs::copy_file(fs::path(KV_SOURCE_DIR) / "tests/e2e/hud/hud_lagrange.scr",
                  folder / "zqk/resource/scripts/missions/hud_lagrange.scr");
    std::ofstream(folder / "table.txt") << Shot(150, "lagrange.pgm") + "170 quit\n";
    run = RunGame({"-w", "-powers", "hud_lagrange.scr"},
                  {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                   "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                   "KELVANDRIST_TRACE=" + (folder / "trace.txt").string()},
                  folder);
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Trace trace = ReadTrace(folder / "trace.txt");
    int destination = 0, developer = 0;
    for (const auto& [frame, texts] : trace.texts)
        for (const DrawnText& t : texts) {
            destination += t.text == "LP DEST: L4" && t.x == kViewRight - 102 && t.y == kViewTop + 45;
            developer += t.text == "DEVELOPER" && t.x == kViewLeft + 86 && t.y == kViewTop + 41;
        }
    EXPECT_GT(destination, 50);
    EXPECT_GT(developer, 50);

    const std::string frame = Indices(folder / "lagrange.pgm");
    ASSERT_FALSE(frame.empty());
    // The box's top edge in the HUD colour.
    EXPECT_GT(Count(frame, kHudColour, kViewRight - 101, kViewTop + 6, kViewRight - 7, kViewTop + 7), 80);
    // Each 12 x 12 lamp at 19-pixel steps: a dark one is an outline round
    // black, a lit one filled inside its black edge.
    const bool lit[5] = {false, true, false, true, true};
    for (int i = 0; i < 5; ++i) {
        const int x = kViewRight - 100 + 19 * i, y = kViewTop + 8;
        const int black = Count(frame, 0, x, y, x + 12, y + 12);
        if (lit[i])
            EXPECT_LE(black, 44) << "lamp " << i;
        else
            EXPECT_GT(black, 80) << "lamp " << i;
    }
    // The sight's bars either side of the centre, twice their size: from 64
    // to 120 pixels out along the centre line.
    const int cx = (kViewLeft + kViewRight) / 2, cy = (kViewTop + kViewBottom) / 2;
    EXPECT_GT(Count(frame, kHudColour, cx + 66, cy, cx + 118, cy + 1), 45) << "the right bar";
    EXPECT_GT(Count(frame, kHudColour, cx - 118, cy, cx - 66, cy + 1), 45) << "the left bar";
}

// The stations' show at COM: the view names the jump destination (none)
// in the status word's place. The probe picked and linked by the remote
// link button: the small remote view at COM's right is drawn live, with
// its caption and the flight HUD of the linked probe's view (its clock
// going on), while the link holds.
TEST_F(FlightHud, TheRemoteViewIsDrawnLiveWithItsCaptionAndItsHud)
{
    CopyDemoData(folder);
    std::ofstream(folder / "table.txt") << "25 key F1\n"
                                           "220 click CmComButA\n"
                                           "420 click CdC0\n"
                                           "440 click REMLink\n" +
                                               Shot(500, "linked.pgm") + "505 quit\n";
    run = RunGame({"-w", "stationshow96.scr"},
                  {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                   "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                   "KELVANDRIST_TRACE=" + (folder / "trace.txt").string()},
                  folder);
    ASSERT_EQ(run.hung, "") << run.output;
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Trace trace = ReadTrace(folder / "trace.txt");
    // COM's view: 36, 52 to 497, 235; the remote view: 510, 204, 120 x 68.
    constexpr int kComLeft = 36, kComTop = 52, kRemoteLeft = 510, kRemoteTop = 204, kRemoteRight = 629,
                  kRemoteBottom = 271;
    int noDestination = 0, captions = 0;
    std::set<std::string> remoteClocks;
    for (const auto& [frame, texts] : trace.texts)
        for (const DrawnText& t : texts) {
            noDestination += t.text == "NO DEST LP" && t.x == kComLeft + 8 && t.y == kComTop + 15;
            captions += t.text == "REM" && t.x == kRemoteLeft + 4;
            if (t.text.rfind("T: ", 0) == 0 && t.x > kRemoteLeft && t.x < kRemoteRight && t.y > kRemoteTop &&
                t.y <= kRemoteBottom)
                remoteClocks.insert(t.text);
        }
    EXPECT_GT(noDestination, 100) << "COM's view names no destination";
    EXPECT_GT(captions, 20) << "the remote view's caption, every frame of the link";
    EXPECT_GE(remoteClocks.size(), 3u) << "the linked view's HUD, drawn live";
    const std::string frame = Indices(folder / "linked.pgm");
    ASSERT_FALSE(frame.empty());
    // The HUD's two level bars (45 x 6) at the remote view's lower left, in
    // the level colours.
    int bars = 0;
    for (int colour : {64, 97, 160})
        bars += Count(frame, colour, kRemoteLeft + 13, kRemoteBottom - 32, kRemoteLeft + 58, kRemoteBottom - 17);
    EXPECT_GT(bars, 200);
}

} // namespace
