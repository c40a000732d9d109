// The front end's and the stations' controls driven as a player drives
// them, the program itself on the dummy drivers with an input table of
// clicks and keys: each control's effect is read back from the game's
// trace (the texts it drew between two of the table's passes), its state
// lines, its captured frames and the files it writes.
#include "system/res/pcx.h"

#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <span>
#include <sstream>

namespace fs = std::filesystem;

namespace {

// A text the trace says was drawn, with the last pass the table marked
// before it (-1 before the first).
struct DrawnText {
    long pass;
    int x, y;
    std::string text;
};

struct ControlsRun {
    GameRun run;
    std::map<long, std::string> screens;            // by pass: the screen then current
    std::map<std::pair<long, std::string>, int> ai; // by pass and ship name: the AI state running
    std::vector<DrawnText> texts;
    std::vector<std::string> messages; // the message line's texts, in order
    // By pass: the lines the message log was given, the clips and the
    // films opened.
    std::vector<std::pair<long, std::string>> logs, clips, films, clipboard;
    // By pass: the hint mode's switches, the windows made and removed and
    // the message line's texts, each its trace line after the frame number.
    std::vector<std::pair<long, std::string>> events;

    // Whether the text was drawn after the table marked pass `from` (a
    // "state" line) and before it marked pass `to`,
    // within the rectangle (inclusive).
    bool Drew(const std::string& text, long from, long to, int left = 0, int top = 0, int right = 639,
              int bottom = 479) const
    {
        for (const DrawnText& t : texts)
            if (t.pass >= from && t.pass < to && t.text == text && t.x >= left && t.x <= right && t.y >= top &&
                t.y <= bottom)
                return true;
        return false;
    }
    // The last text drawn in the rectangle before pass `to`.
    std::string LastIn(long to, int left, int top, int right, int bottom) const
    {
        std::string last;
        for (const DrawnText& t : texts)
            if (t.pass < to && t.x >= left && t.x <= right && t.y >= top && t.y <= bottom)
                last = t.text;
        return last;
    }
};

class Controls : public ::testing::Test {
protected:
    ControlsRun Run(const std::string& table, const std::vector<std::string>& args = {"-w"})
    {
        std::ofstream(folder / "table.txt") << table;
        const fs::path trace = folder / "trace.txt";
        fs::remove(trace);
        ControlsRun walk;
        walk.run = RunGame(args,
                           {lockDir, "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1",
                            "KELVANDRIST_FRAME_SECONDS=0.05", "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                            "KELVANDRIST_TRACE=" + trace.string()},
                           folder);
        const std::regex state(R"(state (\d+) screen=(\S*) )");
        const std::regex ship(R"(^ship (\d+) (.+) destroyed=\d hits=\d+ hull=-?\d+ at=\S+ lds=\d ai=(\d+))");
        std::istringstream lines(walk.run.output);
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            if (std::regex_search(line, m, state))
                walk.screens[std::stol(m[1])] = m[2];
            else if (std::regex_search(line, m, ship))
                walk.ai[{std::stol(m[1]), m[2]}] = std::stoi(m[3]);
        }
        const std::regex pass(R"(^\d+ pass (\d+)$)");
        const std::regex message(R"re(^\d+ message "(.*)"$)re");
        const std::regex event(R"re(^\d+ (log|clip|film|clipboard) "(.*)"$)re");
        const std::regex text(R"re(^\d+ text (-?\d+) (-?\d+) -?\d+ -?\d+ "(.*)"$)re");
        const std::regex windowEvent(R"(^\d+ ((hintmode|window\+|window-|message) .*)$)");
        std::ifstream in(trace, std::ios::binary);
        long at = -1;
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (std::regex_match(line, m, pass))
                at = std::stol(m[1]);
            else if (std::regex_match(line, m, text))
                walk.texts.push_back({at, std::stoi(m[1]), std::stoi(m[2]), Unquoted(m[3])});
            else if (std::regex_match(line, m, message))
                walk.messages.push_back(Unquoted(m[1]));
            else if (std::regex_match(line, m, event))
                (m[1] == "log"         ? walk.logs
                 : m[1] == "clip"      ? walk.clips
                 : m[1] == "clipboard" ? walk.clipboard
                                       : walk.films)
                    .emplace_back(at, Unquoted(m[2]));
            if (std::regex_match(line, m, windowEvent))
                walk.events.emplace_back(at, m[1]);
        }
        return walk;
    }

    static std::string Unquoted(const std::string& quoted)
    {
        std::string out;
        for (std::size_t i = 0; i < quoted.size(); ++i) {
            if (quoted[i] == '\\' && i + 1 < quoted.size())
                ++i, out += quoted[i] == 'n' ? '\n' : quoted[i];
            else
                out += quoted[i];
        }
        return out;
    }

    std::string Slurp(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    ScratchFolder scratch{"controls"};
    const fs::path& folder = scratch.Path();
    std::string lockDir = "KELVANDRIST_LOCK_DIR=" + folder.string();
};

// The option page's rows: a label at x 80 and its control at x 320, 26
// pixels apart from y 60.
constexpr int kOptionControlLeft = 320, kOptionControlRight = 519;
constexpr int RowTop(int row)
{
    return 60 + 26 * row;
}
constexpr int kGammaRow = 0, kNebulaRow = 1;

// An option changed with a click (a switch) and a press on a slider, saved
// with the Save button, read back from the settings file at the next start,
// and put back to its default by the Defaults button; the settings file
// keeps the line of a setting the page does not own.
TEST_F(Controls, AnOptionChangedIsSavedReadBackAtTheNextStartAndRestoredToItsDefault)
{
    CopyDemoData(folder);
    const fs::path ini = folder / "Kelvandrist.ini";
    ASSERT_NE(Slurp(ini).find("INIT_VAR \"music\" 1"), std::string::npos);
    const int gammaX = kOptionControlLeft + 6 + (kOptionControlRight - kOptionControlLeft + 1 - 12) / 2;
    ControlsRun first = Run("100 click FrSysSq\n"
                            "250 state\n"
                            "260 click OptB_nebula\n"
                            "270 click " +
                            std::to_string(gammaX) + " " + std::to_string(RowTop(kGammaRow) + 10) +
                            "\n"
                            "300 state\n"
                            "310 click Opt_Save\n"
                            "330 quit\n");
    EXPECT_EQ(first.run.exitCode, 0) << first.run.output;
    EXPECT_EQ(first.screens[250], "OptionScreen") << first.run.output;
    // The rows name their options in the game's language, and the switches
    // show their values' labels.
    EXPECT_TRUE(first.Drew("Brightness", -1, 250, 80, RowTop(kGammaRow), 300, RowTop(kGammaRow) + 20));
    EXPECT_TRUE(first.Drew("Nebula", -1, 250, 80, RowTop(kNebulaRow), 300, RowTop(kNebulaRow) + 20));
    EXPECT_EQ(first.LastIn(250, kOptionControlLeft, RowTop(kNebulaRow), kOptionControlRight, RowTop(kNebulaRow) + 20),
              "On");
    EXPECT_EQ(first.LastIn(300, kOptionControlLeft, RowTop(kNebulaRow), kOptionControlRight, RowTop(kNebulaRow) + 20),
              "Off")
        << "a click steps the switch";
    std::string saved = Slurp(ini);
    EXPECT_NE(saved.find("\t\tINIT_VAR\t\"nebula\",0\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\t\tINIT_VAR\t\"gamma\",1.25\n"), std::string::npos) << "the knob at the middle: " << saved;
    EXPECT_NE(saved.find("INIT_VAR \"music\" 1"), std::string::npos) << saved;
    EXPECT_NE(saved.find("LOD_SWAP 10 24 2"), std::string::npos) << saved;

    // The next start reads the file: the page shows the switch off. The
    // defaults put it back on; the way out saves and leaves for the home
    // screen.
    ControlsRun second = Run("100 click FrSysSq\n"
                             "250 state\n"
                             "260 click Opt_Restore\n"
                             "300 state\n"
                             "310 click OptExit\n"
                             "500 state\n"
                             "510 quit\n");
    EXPECT_EQ(second.run.exitCode, 0) << second.run.output;
    EXPECT_EQ(second.LastIn(250, kOptionControlLeft, RowTop(kNebulaRow), kOptionControlRight, RowTop(kNebulaRow) + 20),
              "Off")
        << "read back at the start";
    EXPECT_EQ(second.LastIn(300, kOptionControlLeft, RowTop(kNebulaRow), kOptionControlRight, RowTop(kNebulaRow) + 20),
              "On")
        << "the defaults";
    EXPECT_EQ(second.screens[500], "FrontHome") << second.run.output;
    saved = Slurp(ini);
    EXPECT_EQ(saved.find("\"nebula\""), std::string::npos) << saved;
    EXPECT_EQ(saved.find("\"gamma\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("INIT_VAR \"music\" 1"), std::string::npos) << saved;

    // In French the page speaks French.
    const ControlsRun french = Run("100 click FrSysSq\n250 state\n260 quit\n", {"-w,-french"});
    EXPECT_TRUE(french.Drew("N\xE9"
                            "buleuse",
                            -1, 250, 80, RowTop(kNebulaRow), 300, RowTop(kNebulaRow) + 20))
        << french.run.output;
    EXPECT_TRUE(french.Drew("Oui", -1, 250, kOptionControlLeft, RowTop(kNebulaRow), kOptionControlRight,
                            RowTop(kNebulaRow) + 20));
}

// The timeline's name box and the roster's slot line.
constexpr int kNameLeft = 330, kNameTop = 66, kNameRight = 597, kNameBottom = 83;
constexpr int kSlotLeft = 216, kSlotTop = 250, kSlotRight = 423, kSlotBottom = 273;

// The roster steps to the next slot and shows its captain; on the timeline
// a name typed replaces the new career's "Unknown Captain", each key shown
// as it is typed; back on the roster the slot shows the name, and the
// slot's career file holds it.
TEST_F(Controls, ANameTypedReplacesTheDefaultShowsEachKeyAndIsSeenOnTheRoster)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("120 click FrRosSq\n"
                                 "250 state\n"
                                 "260 click RosSlotUp\n"
                                 "400 state\n"
                                 "410 click RosSlot\n"
                                 "520 state\n"
                                 "530 click TimName\n"
                                 "540 state\n"
                                 "540 text A\n"
                                 "550 state\n"
                                 "560 text B\n"
                                 "570 state\n"
                                 "580 key Return\n"
                                 "600 click TimExit\n"
                                 "700 state\n"
                                 "710 quit\n");
    EXPECT_EQ(walk.run.exitCode, 0) << walk.run.output;
    EXPECT_EQ(walk.screens.at(250), "FrontRoster") << walk.run.output;
    EXPECT_TRUE(walk.Drew(" 1: Unknown Captain", -1, 250, kSlotLeft, kSlotTop, kSlotRight, kSlotBottom));
    EXPECT_TRUE(walk.Drew(" 2: Unknown Captain", 250, 400, kSlotLeft, kSlotTop, kSlotRight, kSlotBottom))
        << "the roster shows the slot it steps to";
    EXPECT_EQ(walk.screens.at(520), "FrontTime");
    EXPECT_TRUE(walk.Drew("A", 540, 550, kNameLeft, kNameTop, kNameRight, kNameBottom)) << "the first key, at once";
    EXPECT_TRUE(walk.Drew("AB", 550, 570, kNameLeft, kNameTop, kNameRight, kNameBottom)) << "the second";
    EXPECT_EQ(walk.screens.at(700), "FrontRoster");
    EXPECT_EQ(walk.LastIn(700, kSlotLeft, kSlotTop, kSlotRight, kSlotBottom), " 2: AB");
    EXPECT_EQ(Slurp(folder / "zqk/slot1.sav").compare(0, 3, std::string("AB\0", 3)), 0);
}

// A career with missions 1 and 2 completed, in the slot file's layout.
std::string CareerWithTwoMissionsDone()
{
    constexpr std::size_t kSize = 1840, kTotal = 30, kCount = 38, kState = 40, kOrder = 840, kScore = 1040;
    std::string slot(kSize, '\0');
    auto put = [&](std::size_t at, int32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            slot[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    slot.replace(0, 6, "TESTER");
    put(kCount, 2, 2);
    for (int mission : {1, 2}) {
        put(kState + 2 * mission, -1, 2);
        put(kOrder + 2 * (mission - 1), mission, 2);
        put(kScore + 4 * mission, 400, 4);
    }
    put(kTotal, 800, 4);
    return slot;
}

// Mission 3 flown into the raider group until the corvette is lost: the
// status panel says Escape goes on, and Escape does leave the flight for
// the timeline, as the end key would.
TEST_F(Controls, AfterTheShipIsLostEscapeGoesOnAsTheStatusPanelSays)
{
    CopyDemoData(folder);
    std::ofstream(folder / "zqk/slot0.sav", std::ios::binary) << CareerWithTwoMissionsDone();
    std::string table = "120 click FrRosSq\n"
                        "260 click RosSlot\n"
                        "400 state\n"
                        "550 click TimPlayMN\n"
                        "1210 click CMDObjv\n"
                        "1300 key F2\n";
    for (int i = 0; i < 5; ++i)
        table += std::to_string(1310 + 4 * i) + " key =\n";
    table += "1800 state\n"
             "1810 key Escape\n"
             "1900 state\n"
             "1910 quit\n";
    const ControlsRun walk = Run(table);
    EXPECT_EQ(walk.run.hung, "") << walk.run.output;
    EXPECT_EQ(walk.screens.at(400), "FrontTime") << walk.run.output;
    EXPECT_EQ(walk.screens.at(1800), "NAV") << walk.run.output;
    EXPECT_NE(walk.run.output.find("state 1800 screen=NAV station=2 end=1"), std::string::npos) << walk.run.output;
    EXPECT_TRUE(walk.Drew("Escape: on to the debrief", 400, 1900)) << "the status panel's foot";
    EXPECT_FALSE(walk.Drew("Escape: back to the bridge", 1800, 1900));
    EXPECT_EQ(walk.screens.at(1900), "FrontTime") << "Escape leaves the lost flight";
}

// The developer's indestructible key (bound here to I) names the ship it
// acts on.
TEST_F(Controls, TheIndestructibleKeyNamesTheShip)
{
    CopyDemoData(folder);
    std::ofstream(folder / "zqk/resource/scripts/init/keybind2.scr", std::ios::app) << "BINDKEY 23 182\n";
    const ControlsRun walk = Run("600 state\n"
                                 "610 click CMDObjv\n"
                                 "700 key I\n"
                                 "710 key I\n"
                                 "720 quit\n",
                                 {"-w,-powers", "mission01.scr"});
    EXPECT_EQ(walk.screens.at(600), "COM") << walk.run.output;
    EXPECT_EQ(walk.messages, (std::vector<std::string>{"Vorn now indestructible", "Vorn now destructible"}));
}

// NAV's separation button arms the command section's separation and the
// key (Shift+S) carries it out: the hull is left to its own program.
TEST_F(Controls, TheCommandSectionSeparatesAtTheSecondPressOfButtonOrKey)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("600 state\n"
                                 "610 click CMDObjv\n"
                                 "700 key F2\n"
                                 "720 ships\n"
                                 "730 click NavButt7\n"
                                 "750 ships\n"
                                 "760 key Left Shift+S\n"
                                 "800 ships\n"
                                 "800 state\n"
                                 "810 quit\n",
                                 {"-w", "mission01.scr"});
    EXPECT_EQ(walk.screens.at(800), "NAV") << walk.run.output;
    EXPECT_EQ(walk.messages, (std::vector<std::string>{"Separation armed: again to separate the command section",
                                                       "Command section separating"}));
    ASSERT_TRUE(walk.ai.count({720, "Vorn"}) && walk.ai.count({750, "Vorn"}) && walk.ai.count({800, "Vorn"}))
        << walk.run.output;
    EXPECT_EQ(walk.ai.at({750, "Vorn"}), walk.ai.at({720, "Vorn"})) << "armed only";
    EXPECT_NE(walk.ai.at({800, "Vorn"}), walk.ai.at({720, "Vorn"})) << "the hull runs a program of its own";
}

// The document browser in the COM view takes the view's clicks: a link of
// the home page opens its page, whose link leads back home.
TEST_F(Controls, ADocumentLinkIsFollowedAndItsPageLeadsBack)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("600 state\n"
                                 "610 click CMDObjv\n"
                                 "650 click CMDDoc\n"
                                 "700 state\n"
                                 "700 click 60 216\n" // "The corvette"
                                 "720 state\n"
                                 "750 state\n"
                                 "760 click 50 220\n" // "Back"
                                 "800 state\n"
                                 "810 quit\n",
                                 {"-w", "mission01.scr"});
    EXPECT_EQ(walk.screens.at(800), "COM") << walk.run.output;
    EXPECT_TRUE(walk.Drew("Welcome", 600, 700)) << "the home page";
    EXPECT_TRUE(walk.Drew("Vorn", 720, 750)) << "the corvette's page";
    EXPECT_FALSE(walk.Drew("Welcome", 720, 750));
    EXPECT_TRUE(walk.Drew("Welcome", 750, 800)) << "back home";
}

// A captured frame's palette indices (a ".pgm" shot); empty when missing.
std::string Indices(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string header = "P5\n640 480\n255\n";
    return bytes.compare(0, header.size(), header) == 0 ? bytes.substr(header.size()) : std::string();
}

// How many pixels of the rectangle differ between two frames.
int Changed(const std::string& a, const std::string& b, int left, int top, int right, int bottom)
{
    int changed = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * 640 + x;
            changed += a.size() > at && b.size() > at && a[at] != b[at];
        }
    return changed;
}

// ENG: a click on a layer button takes its layer off the schematic (the
// button goes dark), and a press on a priority list picks the system of the
// row under the pointer, whose name shows at the pointer.
TEST_F(Controls, EngineeringLayerButtonsToggleAndAListPicksItsSystem)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("600 state\n"
                                 "610 click CMDObjv\n"
                                 "700 key F4\n"
                                 "750 state\n" +
                                     ("750 shot " + (folder / "eng1.pgm").string() + "\n") +
                                     "760 click SysS1\n"
                                     "780 state\n" +
                                     ("780 shot " + (folder / "eng2.pgm").string() + "\n") +
                                     "790 click 60 345\n" // the first row of the first list
                                     "810 state\n"
                                     "820 quit\n",
                                 {"-w", "mission01.scr"});
    EXPECT_EQ(walk.screens.at(780), "ENG") << walk.run.output;
    const std::string before = Indices(folder / "eng1.pgm"), after = Indices(folder / "eng2.pgm");
    ASSERT_FALSE(before.empty() || after.empty());
    EXPECT_GT(Changed(before, after, 510, 102, 629, 115), 20) << "the second layer's button";
    EXPECT_EQ(Changed(before, after, 510, 86, 629, 99), 0) << "the first layer's stays";
    EXPECT_GT(Changed(before, after, 36, 52, 497, 277), 0) << "the schematic without the layer";
    // The repair-team cards and the priority lists write in the station's
    // font, which their layout does not name.
    EXPECT_TRUE(walk.Drew("FUEL TANKS", 600, 780, 36, 330, 130, 400)) << "the first priority list";
    EXPECT_TRUE(walk.Drew("REPAIR TEAM 1", 600, 780, 36, 283, 150, 330)) << "the first team's card";
    EXPECT_FALSE(walk.Drew("AM SUPPLY", 750, 780, 36, 352, 200, 400)) << "no label yet";
    EXPECT_TRUE(walk.Drew("AM SUPPLY", 780, 810, 36, 330, 200, 400)) << "the picked system's label";
}

// F10 shows the key list full screen, and it stays up, the game held,
// until a key is pressed; then the bridge is back.
TEST_F(Controls, TheKeyListStaysUpUntilAKeyIsPressed)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("600 state\n"
                                 "610 click CMDObjv\n"
                                 "700 key F10\n"
                                 "710 shot " +
                                     (folder / "list1.pgm").string() + "\n"
                                                                       "760 shot " +
                                     (folder / "list2.pgm").string() + "\n"
                                                                       "770 key Space\n"
                                                                       "790 shot " +
                                     (folder / "after.pgm").string() + "\n"
                                                                       "800 state\n"
                                                                       "810 quit\n",
                                 {"-w", "mission01.scr"});
    EXPECT_EQ(walk.screens.at(800), "COM") << walk.run.output;
    // The key list's own picture, as the game decodes it.
    const std::string file = Slurp(folder / "zqk/resource/art/keylist.pcx");
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(file.data()), file.size());
    PcxInfo info{};
    ASSERT_TRUE(PcxReadInfo(bytes, &info));
    std::string picture(640u * 480u, '\0');
    PcxDecodeBody(bytes, info, reinterpret_cast<uint8_t*>(picture.data()), 640, 640, 480);
    const std::string list1 = Indices(folder / "list1.pgm"), list2 = Indices(folder / "list2.pgm");
    ASSERT_EQ(list1.size(), picture.size());
    EXPECT_TRUE(list1 == picture) << "the key list is shown";
    EXPECT_TRUE(list2 == picture) << "and stays up";
    const std::string after = Indices(folder / "after.pgm");
    ASSERT_EQ(after.size(), picture.size());
    EXPECT_FALSE(after == picture) << "a key takes it down";
}

// Instant Action's launch shows its loading note where the home screen's
// film plays; the mission declares objectives of its own, and the
// objectives view lists them.
TEST_F(Controls, InstantActionLoadsWithItsNoteAndListsItsOwnObjectives)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("100 state\n"
                                 "120 click FrActSq\n"
                                 "300 state\n"
                                 "310 click CMDObjv\n"
                                 "330 state\n"
                                 "340 quit\n");
    EXPECT_EQ(walk.screens.at(300), "COM") << walk.run.output;
    EXPECT_TRUE(walk.Drew("Loading the mission...", 100, 300, 196, 384, 439, 459));
    EXPECT_TRUE(walk.Drew("Destroy the first wave of raiders", 300, 330));
    EXPECT_TRUE(walk.Drew("Destroy the second wave of raiders", 300, 330));
}

// The pass (the last one the table marked) at which the first event of the
// list holding the text was traced; -2 when there is none.
long PassOf(const std::vector<std::pair<long, std::string>>& events, const std::string& part)
{
    for (const auto& [pass, text] : events)
        if (text.find(part) != std::string::npos)
            return pass;
    return -2;
}

// How many pixels of a 640 x 480 colour shot (a ".ppm") are clearly red
// rather than green; -1 when it is missing.
int RedPixels(const std::string& ppm)
{
    const std::string header = "P6\n640 480\n255\n";
    if (ppm.compare(0, header.size(), header) != 0 || ppm.size() < header.size() + 640u * 480u * 3)
        return -1;
    int red = 0;
    for (std::size_t at = header.size(); at + 2 < ppm.size(); at += 3)
        red += static_cast<uint8_t>(ppm[at]) > static_cast<uint8_t>(ppm[at + 1]) + 64;
    return red;
}

// A picture of the demo data as the game decodes it: its palette indices,
// width and height.
struct Picture {
    std::string pixels;
    int width = 0, height = 0;
};
Picture DecodePcx(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    PcxInfo info{};
    if (!PcxReadInfo(span, &info))
        return {};
    Picture p{std::string(static_cast<std::size_t>(info.width) * info.height, '\0'), info.width, info.height};
    PcxDecodeBody(span, info, reinterpret_cast<uint8_t*>(p.pixels.data()), info.width, info.width, info.height);
    return p;
}

// Whether the frame (a ".pgm" shot's indices) shows the picture at (x, y).
bool Shows(const std::string& frame, const Picture& picture, int x, int y)
{
    if (picture.pixels.empty() || frame.size() < 640u * 480u)
        return false;
    for (int row = 0; row < picture.height; ++row)
        if (frame.compare(static_cast<std::size_t>(y + row) * 640 + x, picture.width, picture.pixels,
                          static_cast<std::size_t>(row) * picture.width, picture.width) != 0)
            return false;
    return true;
}

// The comms show: a call from the weapons officer brings the comms arm out
// at COM with the caller's picture and the two replies; a click on the
// first answers it (the other reply's follow-up never comes), the engineer
// closes the talk and the arm goes back by itself. Then the remote link
// button links the probe picked on the contact list (its film plays) and,
// pressed again, lets it go.
TEST_F(Controls, TheCommsArmShowsATalkThatIsAnsweredAndGoesBackByItself)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("25 key F1\n"
                                 "200 state\n"
                                 "200 shot " +
                                     (folder / "talk.pgm").string() +
                                     "\n"
                                     "220 click CmComButA\n"
                                     "400 state\n"
                                     "400 shot " +
                                     (folder / "after.pgm").string() +
                                     "\n"
                                     "420 click CdC0\n"
                                     "440 click REMLink\n"
                                     "500 state\n"
                                     "500 shot " +
                                     (folder / "linked.ppm").string() +
                                     "\n"
                                     "520 click REMLink\n"
                                     "560 state\n"
                                     "560 shot " +
                                     (folder / "released.ppm").string() +
                                     "\n"
                                     "570 quit\n",
                                 {"-w", "stationshow96.scr"});
    ASSERT_EQ(walk.screens.at(200), "COM") << walk.run.output;
    EXPECT_EQ(walk.screens.at(560), "COM");
    // The arm comes out for the call and shows the caller's picture and
    // the replies on offer.
    EXPECT_EQ(PassOf(walk.clips, "NAVArmIn.smk"), -1) << "the arm comes out at once";
    const std::string talk = Indices(folder / "talk.pgm");
    const Picture weapons = DecodePcx(folder / "zqk/resource/art/comarma1.pcx");
    EXPECT_TRUE(Shows(talk, weapons, 304, 347)) << "the weapons officer's picture";
    EXPECT_TRUE(walk.Drew("Link it", -1, 200, 504, 368, 633, 385));
    EXPECT_TRUE(walk.Drew("Not yet", -1, 200, 504, 386, 633, 403));
    // The answer and the talk that follows it.
    EXPECT_EQ(PassOf(walk.logs, "You - Link it to my station."), 200);
    EXPECT_EQ(PassOf(walk.logs, "Weapons - Aye, it answers the REM link."), 200);
    EXPECT_EQ(PassOf(walk.logs, "it stays on its own"), -2) << "the reply not taken";
    EXPECT_EQ(PassOf(walk.logs, "Engineer - Engineering stands by."), 200);
    // The arm goes back by itself at the end of the talk.
    EXPECT_EQ(PassOf(walk.clips, "NAVArmOu.smk"), 200);
    EXPECT_FALSE(Shows(Indices(folder / "after.pgm"), weapons, 304, 347)) << "the arm is gone";
    EXPECT_FALSE(walk.Drew("Link it", 400, 560));
    // The remote link through its button: its film, then the screen in the
    // link's green palette; let go, the ship's own colours are back.
    EXPECT_EQ(PassOf(walk.films, "cmdrem.smk"), 400);
    EXPECT_EQ(RedPixels(Slurp(folder / "linked.ppm")), 0);
    EXPECT_GT(RedPixels(Slurp(folder / "released.ppm")), 100);
}

// ENG: a system picked on a priority list is carried by its name to a
// repair team's card and let go there: the team goes to it (the show's
// teams wait for orders). Promote, with a system of the second group
// picked, makes that group the first.
TEST_F(Controls, ASystemCarriedToATeamCardGetsTheTeamAndPromoteRaisesItsGroup)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("30 key F4\n"
                                 "100 state\n"
                                 "110 click 60 378\n" // REACTOR, the fourth row of the first list
                                 "130 click 90 300\n" // on the first team's card
                                 "150 state\n"
                                 "160 click 170 345\n" // the first row of the second list
                                 "180 click Promote\n"
                                 "200 state\n"
                                 "210 quit\n",
                                 {"-w", "stationshow96.scr"});
    ASSERT_EQ(walk.screens.at(100), "ENG") << walk.run.output;
    EXPECT_EQ(walk.screens.at(200), "ENG");
    EXPECT_TRUE(walk.Drew("REPAIR TEAM 1\nREADY", -1, 100, 36, 283, 147, 326));
    EXPECT_TRUE(walk.Drew("REACTOR", 100, 150, 60, 290, 200, 320)) << "the name carried";
    EXPECT_EQ(walk.LastIn(150, 36, 300, 60, 310), "REACTOR") << "the first team's card names its system";
    EXPECT_TRUE(walk.Drew("REPAIR TEAM 2\nREADY", 150, 200, 152, 283, 263, 326)) << "the others wait";
    // The first two lists before and after Promote.
    EXPECT_EQ(walk.LastIn(150, 36, 342, 120, 342), "AM SUPPLY");
    EXPECT_EQ(walk.LastIn(150, 128, 342, 212, 342), "POWER GRID 0");
    EXPECT_EQ(walk.LastIn(200, 36, 342, 120, 342), "POWER GRID 0");
    EXPECT_EQ(walk.LastIn(200, 128, 342, 212, 342), "AM SUPPLY");
}

// NAV and WEP: a click on a contact row gives its tag to the pointer, and
// a click on the station's target line lets it go there: the contact is
// the target that line shows.
TEST_F(Controls, AContactTagCarriedToTheTargetLineMakesItTheTarget)
{
    struct Station {
        const char* key; // to the station, or none
        const char* row;
        const char* line;
        int left, top, right, bottom; // where the line writes
    };
    const Station stations[] = {
        {nullptr, "CdN0", "NTarget", 340, 216, 499, 233},
        {"F3", "CdW0", "WEPTarget", 36, 298, 335, 315},
    };
    for (const Station& s : stations) {
        CopyDemoData(folder);
        const ControlsRun walk = Run(std::string(s.key ? "30 key " + std::string(s.key) + "\n" : "") +
                                         "60 state\n"
                                         "60 click " +
                                         s.row +
                                         "\n"
                                         "80 click " +
                                         s.line +
                                         "\n"
                                         "120 state\n"
                                         "130 quit\n",
                                     {"-w", "stationshow96.scr"});
        ASSERT_EQ(walk.screens.at(60), s.key ? "WEP" : "NAV") << walk.run.output;
        EXPECT_EQ(walk.LastIn(60, s.left, s.top, s.right, s.bottom).rfind("TARGET: ----", 0), 0u) << s.line;
        EXPECT_EQ(walk.LastIn(120, s.left, s.top, s.right, s.bottom), "TARGET: Probe") << s.line;
    }
}

// Whether every pixel of a colour shot (".ppm") shows its palette index of
// the same frame's index shot (".pgm") in the colours of the PCX file's
// palette.
bool ShownInPalette(const std::string& ppm, const std::string& indices, const fs::path& pcx)
{
    const std::string file = [&] {
        std::ifstream in(pcx, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    const std::string header = "P6\n640 480\n255\n";
    if (file.size() < 769 || indices.size() != 640u * 480u || ppm.size() != header.size() + 3 * indices.size())
        return false;
    const std::string palette = file.substr(file.size() - 768);
    for (std::size_t i = 0; i < indices.size(); ++i)
        if (ppm.compare(header.size() + 3 * i, 3, palette, 3 * static_cast<uint8_t>(indices[i]), 3) != 0)
            return false;
    return true;
}

// The viewer panel: after the briefing it fades in and the bridge takes the
// briefing's palette; the local view sets the camera flying; with the
// developer's keys a click on open space turns the view into the grid, and
// the next click puts the PLACE line of the cursor on the clipboard.
TEST_F(Controls, TheViewerPanelFadesInAndItsGridCopiesAPlaceLine)
{
    CopyDemoData(folder);
    // The demo's briefing palette is the game's own; a warmer one here shows
    // that the bridge takes it.
    const fs::path briefingPalette = folder / "zqk/resource/art/brfpal.pcx";
    std::string pcx = Slurp(briefingPalette);
    ASSERT_GT(pcx.size(), 769u);
    for (std::size_t i = pcx.size() - 768; i < pcx.size(); i += 3) {
        pcx[i + 1] = static_cast<char>(static_cast<uint8_t>(pcx[i + 1]) * 3 / 4);
        pcx[i + 2] = static_cast<char>(static_cast<uint8_t>(pcx[i + 2]) / 2);
    }
    std::ofstream(briefingPalette, std::ios::binary) << pcx;
    const ControlsRun walk = Run("600 state\n"
                                 "600 shot " +
                                     (folder / "after.pgm").string() + "\n600 shot " + (folder / "after.ppm").string() +
                                     "\n"
                                     "610 click CMDObjv\n"
                                     "650 click CMDLocal\n"
                                     "710 click 100 100\n"
                                     "730 state\n"
                                     "750 click 100 100\n"
                                     "780 state\n"
                                     "790 quit\n",
                                 {"-w,-powers", "mission01.scr"});
    ASSERT_EQ(walk.screens.at(600), "COM") << walk.run.output;
    EXPECT_EQ(walk.screens.at(780), "COM");
    EXPECT_TRUE(ShownInPalette(Slurp(folder / "after.ppm"), Indices(folder / "after.pgm"), briefingPalette));
    ASSERT_EQ(walk.clipboard.size(), 1u) << "the grid's first click only shows it";
    EXPECT_EQ(walk.clipboard[0].first, 730);
    EXPECT_TRUE(std::regex_match(walk.clipboard[0].second, std::regex(R"(PLACE x,-?\d+,-?\d+,-?\d+\n)")))
        << walk.clipboard[0].second;
}

// The developer's key that ends the mission script's wait (bound here to
// U): the show's call, two seconds off, comes at once.
TEST_F(Controls, TheWaitKeyEndsTheMissionScriptsWait)
{
    CopyDemoData(folder);
    std::ofstream(folder / "zqk/resource/scripts/init/keybind2.scr", std::ios::app) << "BINDKEY 22 181\n";
    const ControlsRun walk = Run("10 state\n"
                                 "10 key U\n"
                                 "25 state\n"
                                 "30 quit\n",
                                 {"-w,-powers", "stationshow96.scr"});
    ASSERT_EQ(walk.screens.at(25), "NAV") << walk.run.output;
    EXPECT_EQ(PassOf(walk.logs, "Weapons - Captain"), 10);
}

// NAV's own buttons, each clicked as a player clicks it: the arrows step
// the escort range by ten, the order row steps through the orders, the
// autopilot label follows its button, the drive button engages the LDS
// drive, the way out leaves the station and a view's button sits the
// captain at another.
TEST_F(Controls, NavsButtonsStepTheRangeAndTheOrderRowAndEngageTheDrive)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("600 state\n"
                                 "610 click CMDObjv\n"
                                 "700 key F2\n"
                                 "800 state\n"
                                 "802 click AutPrmH\n"
                                 "830 state\n"
                                 "832 click AutPrmH\n"
                                 "860 state\n"
                                 "862 click AutPrmL\n"
                                 "890 state\n"
                                 "892 click NavMd1\n"
                                 "920 state\n"
                                 "922 click NAuto1\n"
                                 "950 state\n"
                                 "952 click NAuto1\n"
                                 "980 state\n"
                                 "982 click NavMd1\n"
                                 "1010 state\n"
                                 "1012 click NvMd0\n"
                                 "1040 ships\n"
                                 "1050 state\n"
                                 "1052 click NAVQuit\n"
                                 "1080 state\n"
                                 "1200 click Butt3\n"
                                 "1240 state\n"
                                 "1250 quit\n",
                                 {"-w", "mission01.scr"});
    ASSERT_EQ(walk.screens.at(800), "NAV") << walk.run.output;
    const auto range = [&](long to) { return walk.LastIn(to, 230, 265, 290, 280); };
    EXPECT_EQ(range(800), "800");
    EXPECT_EQ(range(830), "810");
    EXPECT_EQ(range(860), "820");
    EXPECT_EQ(range(890), "810");
    const auto autopilot = [&](long to) { return walk.LastIn(to, 520, 245, 600, 262); };
    EXPECT_EQ(autopilot(890), "MANUAL");
    EXPECT_EQ(autopilot(920), "AUTO");
    EXPECT_EQ(autopilot(1010), "MANUAL");
    const auto row = [&](long to) { return walk.LastIn(to, 20, 266, 200, 282); };
    EXPECT_NE(row(950), row(980)) << "the order row steps";
    EXPECT_NE(row(920), row(950));
    EXPECT_NE(walk.run.output.find(" lds=1 "), std::string::npos) << "the drive button engages LDS";
    // The way out stands the captain up (the pointer, still over the
    // button at the right edge, turns the view right); the view's button
    // sits him at WEP.
    EXPECT_EQ(walk.screens.at(1080), "NAVRgt") << "the way out of the station";
    EXPECT_EQ(walk.screens.at(1240), "WEP") << "the right view's WEP button";
}

// Hint mode (Shift+/ here): at NAV a click on Separate pops up its hint
// instead of arming the separation; the hint goes as soon as the pointer
// moves. With the mode off the same click arms the separation, and the
// button wears its frame (colour 47, a pixel outside it) while armed.
TEST_F(Controls, HintModeShowsAControlsHintInsteadOfDoingItAndSeparateIsFramedWhileArmed)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("40 state\n"
                                 "40 key Left Shift+/\n"
                                 "50 click NavButt7\n"
                                 "58 shot " +
                                     (folder / "hint.pgm").string() +
                                     "\n"
                                     "60 state\n"
                                     "60 move 300 100\n"
                                     "70 state\n"
                                     "70 key Left Shift+/\n"
                                     "80 click NavButt7\n"
                                     "90 shot " +
                                     (folder / "armed.pgm").string() +
                                     "\n"
                                     "95 state\n"
                                     "100 quit\n",
                                 {"-w", "stationshow96.scr"});
    ASSERT_EQ(walk.screens.at(95), "NAV") << walk.run.output;
    EXPECT_EQ(PassOf(walk.events, "hintmode 1"), 40);
    EXPECT_EQ(PassOf(walk.events, "window+ \"Hint\""), 40);
    EXPECT_EQ(PassOf(walk.events, "window- \"Hint\""), 60) << "gone when the pointer moved";
    EXPECT_EQ(PassOf(walk.events, "hintmode 0"), 70);
    // The hint is the button's game text, drawn above the pointer and whole
    // on the screen.
    bool hintShown = false;
    for (const DrawnText& t : walk.texts)
        hintShown |= t.pass == 40 && t.text == "Command section separating" && t.y < 303 && t.x >= 0 &&
                     t.x + 150 < 640;
    EXPECT_TRUE(hintShown);
    // The click in hint mode armed nothing; the one after it did.
    EXPECT_EQ(PassOf(walk.events, "message \"Separation armed"), 70);
    const std::string hint = Indices(folder / "hint.pgm"), armed = Indices(folder / "armed.pgm");
    ASSERT_EQ(armed.size(), 640u * 480u);
    ASSERT_EQ(hint.size(), 640u * 480u);
    constexpr int kFrameX = 571, kFrameY = 302; // left of the button (572, 294)-(633, 311)
    EXPECT_EQ(static_cast<uint8_t>(armed[kFrameY * 640 + kFrameX]), 47);
    EXPECT_NE(static_cast<uint8_t>(hint[kFrameY * 640 + kFrameX]), 47);
}

// The panels of the stations: at COM the MESSAGES box titles its panel
// and the log frame (a message-log window) types the flight's log; at WEP
// the aim deviation meter shows its needles' values once there is a
// target, and the sight's icon is drawn under it; at ENG the small
// schematic draws the weapons layer's grid above the view.
TEST_F(Controls, TheStationsPanelsShowTheLogTheAimDeviationAndTheSmallSchematic)
{
    CopyDemoData(folder);
    const ControlsRun walk = Run("40 key F3\n"
                                 "60 state\n"
                                 "70 key Tab\n"
                                 "80 state\n"
                                 "90 shot " +
                                     (folder / "wep.pgm").string() +
                                     "\n"
                                     "100 state\n"
                                     "100 key F1\n"
                                     "130 state\n"
                                     "140 key F4\n"
                                     "160 shot " +
                                     (folder / "eng.pgm").string() +
                                     "\n"
                                     "170 state\n"
                                     "180 quit\n",
                                 {"-w", "stationshow96.scr"});
    ASSERT_EQ(walk.screens.at(60), "WEP") << walk.run.output;
    ASSERT_EQ(walk.screens.at(130), "COM");
    ASSERT_EQ(walk.screens.at(170), "ENG");
    // WEP: "TARGET: Probe" once Tab took the contact, and with it the two
    // values under the needles, sideways at the left and up at the right.
    const std::regex value(R"([+-]\d+\.\d\d)");
    auto valuesIn = [&](long from, long to, int left, int right) {
        int count = 0;
        for (const DrawnText& t : walk.texts)
            count += t.pass >= from && t.pass < to && t.x >= left && t.x <= right && t.y >= 234 && t.y <= 309 &&
                     std::regex_match(t.text, value);
        return count;
    };
    EXPECT_EQ(valuesIn(-1, 60, 510, 629), 0) << "no target, no values";
    EXPECT_TRUE(walk.Drew("TARGET: Probe", 60, 80, 36, 298, 335, 315));
    EXPECT_GT(valuesIn(80, 100, 510, 560), 0);
    EXPECT_GT(valuesIn(80, 100, 570, 629), 0);
    // Under the meter the sight's icon in its colour (97).
    const std::string wep = Indices(folder / "wep.pgm");
    ASSERT_EQ(wep.size(), 640u * 480u);
    int sight = 0;
    for (int y = 287; y <= 309; ++y)
        for (int x = 510; x <= 629; ++x)
            sight += static_cast<uint8_t>(wep[static_cast<std::size_t>(y) * 640 + x]) == 97;
    EXPECT_GT(sight, 20);
    // COM: the MESSAGES panel's title, and the log's text in the log frame
    // beside it.
    EXPECT_TRUE(walk.Drew("MESSAGES", 100, 130, 314, 378, 497, 475));
    bool logged = false;
    for (const DrawnText& t : walk.texts)
        logged |= t.pass >= 100 && t.pass < 130 && t.text.find("Captain") != std::string::npos && t.x >= 36 &&
                  t.x <= 309 && t.y >= 372 && t.y <= 469;
    EXPECT_TRUE(logged) << "the weapons officer's line in the log frame";
    // ENG: grid lines in the strip above the view, where the console is
    // bare.
    const std::string eng = Indices(folder / "eng.pgm");
    ASSERT_EQ(eng.size(), 640u * 480u);
    int drawn = 0;
    for (int y = 4; y <= 45; ++y)
        for (int x = 36; x <= 435; ++x)
            drawn += eng[static_cast<std::size_t>(y) * 640 + x] != 0;
    EXPECT_GT(drawn, 400);
}

// A ship that calls (not one of the crew) is shown in the comms arm's
// speaker area in 3D, as the target camera sees it, its name above it.
TEST_F(Controls, AShipThatCallsIsShownIn3DInTheCommsArm)
{
    CopyDemoData(folder);
    std::ofstream(folder / "zqk/resource/text/probetalk.txt")
        << "<R=Probe>\n(R: Probe on station, holding position.\n R: Say the word and I go.)\n";
    std::ofstream(folder / "zqk/resource/scripts/missions/partner95.scr")
        << "SCENEITEM hero probe\n"
           "REGISTER corvette \"zqk\\resource\\shapes\\CorvAsm.lwo\" LWO2HXM\n"
           "REGISTER fighter \"zqk\\resource\\shapes\\fighter.lwo\" LWO2HXM\n"
           "CREATE_SHIP hero corvette \"Vorn\" CORVETTE NAVY 0 0 0\n"
           "PLAYER hero\n"
           "CREATE_SHIP probe fighter \"Probe\" SFIGHTER NAVY 0 600 3000\n"
           "REGISTER talk \"zqk\\resource\\text\\probetalk.txt\" TXT2TXT\n"
           "WAIT_TIME 100\n"
           "DIALOGUE talk probe\n"
           "WAIT_TIME 60000\n"
           "END\n";
    const ControlsRun walk = Run("20 state\n"
                                 "60 state\n"
                                 "60 shot " +
                                     (folder / "talk.pgm").string() +
                                     "\n"
                                     "70 state\n"
                                     "80 quit\n",
                                 {"-w", "partner95.scr"});
    ASSERT_EQ(walk.screens.at(60), "NAV") << walk.run.output;
    EXPECT_EQ(PassOf(walk.logs, "Probe - Probe on station"), 20);
    // The speaker area (304, 347) 96 x 96: the caller's name 15 pixels
    // below its top, and its model drawn in the area.
    EXPECT_FALSE(walk.Drew("Probe", -1, 20, 304, 347, 399, 442)) << "before the call";
    EXPECT_TRUE(walk.Drew("Probe", 60, 70, 304, 347, 399, 442));
    const std::string talk = Indices(folder / "talk.pgm");
    ASSERT_EQ(talk.size(), 640u * 480u);
    std::set<uint8_t> colours;
    for (int y = 370; y <= 442; ++y)
        for (int x = 304; x <= 399; ++x)
            colours.insert(static_cast<uint8_t>(talk[static_cast<std::size_t>(y) * 640 + x]));
    EXPECT_GE(colours.size(), 3u) << "a model, not a plain area";
}

} // namespace
