// The campaign's later missions as a new player flies them by the README:
// the game itself on the dummy drivers with a fixed frame time, a seed and
// an input table, judged by the ships and states the game reports and by
// the state file it writes when a mission ends. Mission 4: the hauler docks
// at the depot, is loaded, undocks and docks again at the outpost while
// raiders attack the corvette. Mission 5: the wing follows the corvette on
// its order, through a defence net past a gun platform and a mine field, to
// a beacon. Mission 6: a jump by the star map from Sol to Tarsis to meet a
// courier; and a mission lost, then played again from the timeline and won.
// Mission 7: a talk with a choice over the comms arm, a recon probe that
// finds raiders in the rocks round a planet, and the command section
// separated from the crippled hull.
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/ship_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr long kObjectivesClosed = 610; // the briefing is over by then
constexpr long kShipsStep = 25;

struct Flight {
    GameRun run;
    WalkLines lines;
    std::string state; // zqk/state.inf as the mission's end left it
    std::string trace; // the game's trace (KELVANDRIST_TRACE)
};

std::string Slurp(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Flight Fly(const fs::path& folder, const char* mission, const std::string& table, uint32_t seed)
{
    CopyDemoData(folder);
    std::ofstream(folder / "table.txt") << table;
    Flight flight;
    flight.run = RunGame({"-w", mission},
                         {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                          "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                          "KELVANDRIST_SEED=" + std::to_string(seed),
                          "KELVANDRIST_INPUT=" + (folder / "table.txt").string(),
                          "KELVANDRIST_TRACE=" + (folder / "trace.txt").string()},
                         folder);
    flight.lines = ReadWalkLines(flight.run.output);
    flight.state = Slurp(folder / "zqk/state.inf");
    flight.trace = Slurp(folder / "trace.txt");
    return flight;
}

// The runs of one table under seeds 1..n, side by side.
std::vector<Flight> FlySeeds(const ScratchFolder& scratch, const char* mission, const std::string& table, uint32_t n)
{
    std::vector<Flight> flights(n);
    std::vector<std::thread> runs;
    for (uint32_t i = 0; i < n; ++i)
        runs.emplace_back([&, i] { flights[i] = Fly(scratch / ("seed" + std::to_string(i + 1)), mission, table, i + 1); });
    for (std::thread& run : runs)
        run.join();
    return flights;
}

// "<pass> <event>" from `from` up to `to`, every `step` passes.
std::string Every(long from, long to, long step, const std::string& event)
{
    std::string table;
    for (long pass = from; pass <= to; pass += step)
        table += std::to_string(pass) + " " + event + "\n";
    return table;
}

// The table sorted by pass, as the game reads it.
std::string Sorted(const std::string& table)
{
    std::vector<std::string> rows;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const std::string& a, const std::string& b) { return std::stol(a) < std::stol(b); });
    std::string sorted;
    for (const std::string& row : rows)
        sorted += row + "\n";
    return sorted;
}

double Apart(const ShipLine& a, const ShipLine& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// A stretch of lines in which a ship stood still beside a station.
struct Stay {
    long from = 0, to = 0;
    ShipLine where;
};

// The first stretch after `after` of at least `lines` ship lines in which
// the ship did not move and lay within `reach` of the station.
Stay StillBeside(const std::map<long, ShipLine>& ship, const ShipLine& station, double reach, long after, int lines)
{
    Stay stay;
    int run = 0;
    const ShipLine* last = nullptr;
    for (const auto& [pass, line] : ship) {
        if (pass <= after || line.hull < 0) {
            last = nullptr;
            continue;
        }
        const bool still = last && Apart(*last, line) < 1.0 && Apart(line, station) < reach;
        if (!still) {
            run = 1;
            stay = {pass, pass, line};
        } else {
            ++run;
            stay.to = pass;
            if (run >= lines)
                return stay;
        }
        last = &line;
    }
    return {};
}

int16_t I16(const std::string& bytes, std::size_t at)
{
    return bytes.size() >= at + 2 ? static_cast<int16_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8) : -9999;
}
constexpr std::size_t kStateSuccess = 12, kStateScore = 14;

// Whether some state line shows the debrief: a won mission's end (a lost
// one ends without it).
bool ReachedTheDebrief(const WalkLines& lines)
{
    return std::any_of(lines.states.begin(), lines.states.end(), [](const auto& s) { return s.second.end == 2; });
}

} // namespace

// Mission 4 by the README: the objectives closed, the corvette waits while
// the hauler flies to the depot; when the raiders come, WEP, T, the turret
// (G twice) and Enter again and again, T now and then. The hauler docks at
// the depot and stays ten seconds, the raiders come only once it is loaded,
// it undocks, crosses and docks at the outpost, and the mission is won with
// both dockings' objectives scored; the player's guns never strike the
// hauler.
TEST(SupplyRun, TheHaulerDocksAtTheDepotThenAtTheOutpostAndTheMissionIsWon)
{
    ScratchFolder scratch{"campaign_supplyrun"};
    constexpr long kFight = 1250, kLast = 2600;
    std::string table = std::to_string(kObjectivesClosed) + " click CMDObjv\n" +
                        Every(kObjectivesClosed + 40, kLast, kShipsStep, "ships") +
                        Every(kObjectivesClosed + 40, kLast, 100, "state");
    table += std::to_string(kFight) + " key F3\n" + std::to_string(kFight + 10) + " key T\n" +
             std::to_string(kFight + 20) + " key G\n" + std::to_string(kFight + 26) + " key G\n";
    for (long pass = kFight + 40; pass < kLast - 100; pass += 4)
        table += std::to_string(pass) + (pass % 100 ? " key Return\n" : " key T\n");
    table += std::to_string(kLast + 50) + " key Q\n" + std::to_string(kLast + 150) + " key Q\n" +
             std::to_string(kLast + 400) + " quit\n";
    const std::vector<Flight> flights = FlySeeds(scratch, "mission04.scr", Sorted(table), 3);
    for (std::size_t i = 0; i < flights.size(); ++i) {
        const Flight& f = flights[i];
        SCOPED_TRACE("seed " + std::to_string(i + 1));
        ASSERT_EQ(f.run.hung, "") << f.run.output;
        EXPECT_EQ(f.run.exitCode, 0) << f.run.output;
        const auto hauler = f.lines.Track("Hauler"), depot = f.lines.Track("Depot"), outpost = f.lines.Track("Outpost");
        ASSERT_FALSE(hauler.empty()) << f.run.output;
        ASSERT_FALSE(depot.empty());
        ASSERT_FALSE(outpost.empty());
        const ShipLine start = hauler.begin()->second;
        EXPECT_GT(Apart(start, depot.begin()->second), 150000.0) << "the hauler starts away from the depot";

        // Docked at the depot: still beside it for the loading's ten seconds.
        const Stay atDepot = StillBeside(hauler, depot.begin()->second, 150000.0, 0, 8);
        ASSERT_GT(atDepot.from, 0) << "the hauler docks at the depot" << f.run.output;
        // The raiders come only once it is loaded.
        const auto raider1 = f.lines.Track("Raider One"), raider2 = f.lines.Track("Raider Two");
        ASSERT_FALSE(raider1.empty()) << f.run.output;
        ASSERT_FALSE(raider2.empty());
        EXPECT_GE(raider1.begin()->first, atDepot.from + 8 * kShipsStep);
        // It undocks and crosses, and docks at the outpost.
        const Stay atOutpost = StillBeside(hauler, outpost.begin()->second, 150000.0, atDepot.to, 4);
        ASSERT_GT(atOutpost.from, 0) << "the hauler docks at the outpost" << f.run.output;
        EXPECT_GT(Apart(atDepot.where, atOutpost.where), 200000.0);
        bool crossing = false;
        for (const auto& [pass, line] : hauler)
            crossing = crossing || (pass > atDepot.to && pass < atOutpost.from && Apart(line, atDepot.where) > 20000.0 &&
                                    Apart(line, atOutpost.where) > 20000.0);
        EXPECT_TRUE(crossing) << "it flies from the one to the other";

        // The message line told each step, in order.
        const std::size_t docked = f.trace.find(" Hauler docked with Depot\""),
                          undocked = f.trace.find(" Hauler undocked"),
                          home = f.trace.find(" Hauler docked with Outpost\"");
        ASSERT_NE(docked, std::string::npos) << "no docking message";
        ASSERT_NE(undocked, std::string::npos);
        ASSERT_NE(home, std::string::npos);
        EXPECT_LT(docked, undocked);
        EXPECT_LT(undocked, home);

        // Nobody lost, no friend struck by the player.
        for (const char* name : {"Vorn", "Hauler", "Depot", "Outpost"}) {
            SCOPED_TRACE(name);
            for (const auto& [pass, line] : f.lines.Track(name)) {
                EXPECT_FALSE(line.gone) << pass;
                EXPECT_EQ(line.hits, 0) << pass;
            }
        }
        // Won: the debrief, and the state file says so with both dockings
        // scored.
        EXPECT_TRUE(ReachedTheDebrief(f.lines)) << f.run.output;
        EXPECT_NE(I16(f.state, kStateSuccess), 0);
        EXPECT_GE(I16(f.state, kStateScore), 700);
    }
}

namespace {

// Mission 5's flight: the objectives closed, F6 (the wing to follow, unless
// left out), NAV, and six presses of "=" for speed.
std::string WingLeaderTable(bool followOrder, long last)
{
    std::string table = std::to_string(kObjectivesClosed) + " click CMDObjv\n" +
                        Every(kObjectivesClosed + 40, last, kShipsStep, "ships") +
                        Every(kObjectivesClosed + 40, last, 100, "state");
    if (followOrder)
        table += "700 key F6\n";
    table += "710 key F2\n" + Every(720, 740, 4, "key =");
    table += std::to_string(last + 50) + " key Q\n" + std::to_string(last + 150) + " key Q\n" +
             std::to_string(last + 400) + " quit\n";
    return Sorted(table);
}

} // namespace

// Mission 5 by the README: the wing holds until F6, then follows the
// corvette in formation all the way; the gun platform and the defence net
// stand at their posts in their own AI states, the net fires on the wing as
// it passes, and with the corvette and its wing at the beacon the mission
// is won.
TEST(WingLeader, TheWingFollowsThroughTheDefenceNetToTheBeaconAndTheMissionIsWon)
{
    ScratchFolder scratch{"campaign_wingleader"};
    constexpr long kLast = 1800;
    const std::vector<Flight> flights = FlySeeds(scratch, "mission05.scr", WingLeaderTable(true, kLast), 3);
    constexpr int kFollowPlayer = 43, kTailBiting = 30, kGunPlatform = 22, kDefenceNetGun = 23;
    constexpr double kNetZ = 400000.0; // the defence net's guns
    for (std::size_t i = 0; i < flights.size(); ++i) {
        const Flight& f = flights[i];
        SCOPED_TRACE("seed " + std::to_string(i + 1));
        ASSERT_EQ(f.run.hung, "") << f.run.output;
        EXPECT_EQ(f.run.exitCode, 0) << f.run.output;
        const auto corvette = f.lines.Track("Vorn");
        ASSERT_TRUE(corvette.count(675)) << f.run.output;

        // Before the order the wing holds its place beside the start.
        for (const char* name : {"Blue One", "Blue Two"}) {
            SCOPED_TRACE(name);
            const auto wing = f.lines.Track(name);
            ASSERT_TRUE(wing.count(675));
            EXPECT_NE(wing.at(675).ai, kFollowPlayer);
            EXPECT_LT(std::fabs(wing.at(675).z + 4000.0), 2000.0);
            // After it, it follows the corvette, keeping near it up to the
            // net; fired on there it may turn on a gun for a moment
            // (tail-biting) and then follow on, further behind. It ends far
            // from where it started.
            int following = 0, fighting = 0;
            for (const auto& [pass, line] : wing) {
                if (pass < 800 || line.hull < 0 || !corvette.count(pass))
                    continue;
                if (line.ai == kTailBiting) {
                    ++fighting;
                    continue;
                }
                ++following;
                EXPECT_EQ(line.ai, kFollowPlayer) << pass;
                if (corvette.at(pass).z < kNetZ - 50000.0) {
                    EXPECT_LT(Apart(line, corvette.at(pass)), 60000.0) << pass;
                }
            }
            EXPECT_GT(following, 10);
            EXPECT_LE(fighting, 8) << "a moment's fight, not the flight";
            EXPECT_GT(wing.rbegin()->second.z, 500000.0) << "the wing went all the way";
        }
        // The net's guns fired on the wing as it passed.
        EXPECT_LT(std::min(f.lines.Track("Blue One").rbegin()->second.hull,
                           f.lines.Track("Blue Two").rbegin()->second.hull),
                  100)
            << f.run.output;

        // The gun platform and the net's three guns hold their posts in
        // their states (the mine field, which the tally does not list, is
        // seen by the script run's field dump).
        EXPECT_EQ(f.lines.Track("Picket Gun").at(675).ai, kGunPlatform);
        EXPECT_EQ(f.lines.Count(675, "Net Gun"), 3);
        for (const ShipLine& ship : f.lines.ships.at(675)) {
            if (ship.name == "Net Gun") {
                EXPECT_EQ(ship.ai, kDefenceNetGun);
            }
        }

        // Won with the wing at the beacon.
        EXPECT_GT(corvette.rbegin()->second.z, 600000.0);
        EXPECT_FALSE(corvette.rbegin()->second.gone);
        EXPECT_TRUE(ReachedTheDebrief(f.lines)) << f.run.output;
        EXPECT_NE(I16(f.state, kStateSuccess), 0);
        EXPECT_GE(I16(f.state, kStateScore), 700);
    }
}

// The same flight without the order: the wing stays at the start, and the
// corvette alone at the beacon does not end the mission.
TEST(WingLeader, WithoutTheFollowOrderTheWingStaysBehindAndTheMissionGoesOn)
{
    ScratchFolder scratch{"campaign_wingalone"};
    constexpr long kLast = 1600;
    const Flight f = Fly(scratch / "alone", "mission05.scr", WingLeaderTable(false, kLast), 1);
    ASSERT_EQ(f.run.hung, "") << f.run.output;
    const auto corvette = f.lines.Track("Vorn"), wing = f.lines.Track("Blue One");
    ASSERT_FALSE(corvette.empty()) << f.run.output;
    EXPECT_GT(corvette.rbegin()->second.z, 600000.0) << "the corvette reached the beacon";
    EXPECT_LT(std::fabs(wing.rbegin()->second.z + 4000.0), 2000.0) << "the wing did not move";
    ASSERT_FALSE(f.lines.states.empty());
    for (const auto& [pass, state] : f.lines.states)
        EXPECT_EQ(state.end, 0) << pass << ": the mission goes on";
}

namespace {

// A captain's career with missions 1 to `done` completed, in the slot
// file's layout.
std::string CareerWithMissionsDone(int16_t done)
{
    constexpr std::size_t kCaptainFileSize = 1840, kSlotTotal = 30, kSlotCount = 38, kSlotState = 40,
                          kSlotOrder = 840, kSlotScore = 1040;
    std::string slot(kCaptainFileSize, '\0');
    auto put = [&](std::size_t at, int32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            slot[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    slot.replace(0, 6, "TESTER");
    put(kSlotCount, done, 2);
    for (int16_t mission = 1; mission <= done; ++mission) {
        put(kSlotState + 2 * mission, -1, 2);
        put(kSlotOrder + 2 * (mission - 1), mission, 2);
        put(kSlotScore + 4 * mission, 400, 4);
    }
    put(kSlotTotal, 400 * done, 4);
    return slot;
}

} // namespace

// The campaign in order on the timeline: with missions 1 to 3 completed
// "Play" launches the supply run, with mission 4 completed too, the wing
// mission, and with missions 1 to 6 completed, the last stand at Skarn.
TEST(Campaign, TheTimelineLaunchesEachMissionOnceTheOnesBeforeItAreCompleted)
{
    ScratchFolder scratch{"campaign_timeline"};
    const std::string table = "100 state\n120 click FrRosSq\n260 click RosSlot\n400 state\n550 click TimPlayMN\n"
                              "700 ships\n710 quit\n";
    struct Step {
        int16_t done;
        const char* ship; // one that only the next mission has
    };
    for (const Step step : {Step{3, "Hauler"}, Step{4, "Blue One"}, Step{6, "Skarn Outpost"}}) {
        SCOPED_TRACE(step.ship);
        const fs::path folder = scratch / ("done" + std::to_string(step.done));
        CopyDemoData(folder);
        std::ofstream(folder / "zqk/slot0.sav", std::ios::binary) << CareerWithMissionsDone(step.done);
        std::ofstream(folder / "table.txt") << table;
        const GameRun run = RunGame({"-w"},
                                    {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy",
                                     "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                                     "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                                    folder);
        ASSERT_EQ(run.hung, "") << run.output;
        const WalkLines lines = ReadWalkLines(run.output);
        ASSERT_TRUE(lines.states.count(400)) << run.output;
        EXPECT_EQ(lines.states.at(400).screen, "FrontTime");
        EXPECT_EQ(lines.Count(700, step.ship), 1) << run.output;
    }
}

namespace {

// A captured frame's palette indices (a ".pgm" shot); empty when it was not
// written.
std::string Indices(const fs::path& file)
{
    const std::string bytes = Slurp(file);
    const std::string header = "P5\n640 480\n255\n";
    return bytes.compare(0, header.size(), header) == 0 ? bytes.substr(header.size()) : std::string();
}

// How many pixels of COM's view (where the documents are shown) hold the
// palette entry.
int InView(const std::string& frame, uint8_t entry)
{
    constexpr int kLeft = 36, kTop = 52, kRight = 497, kBottom = 235;
    int count = 0;
    for (int y = kTop; y < kBottom; ++y)
        for (int x = kLeft; x < kRight; ++x)
            count += frame.size() == 640u * 480u && static_cast<uint8_t>(frame[y * 640 + x]) == entry;
    return count;
}

} // namespace

// The ship's documents in flight: COM's "Documents" opens the first page,
// its first link the list of mission briefings, and that list's second link
// mission 5's briefing with its chart drawn in the page: the net's guns in
// red, the beacon in yellow, the mines in orange, none of which the pages
// before it hold.
TEST(Campaign, TheShipsDocumentsLeadToTheWingLeadersBriefingWithItsChart)
{
    ScratchFolder scratch{"campaign_documents"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    // The links' lines as the pages lay them out: the first page's first
    // link under its heading, rule and welcome, the list's second entry.
    const std::string table = "610 click CMDObjv\n650 click CMDDoc\n700 shot " + (folder / "home.pgm").string() +
                              "\n720 click 90 207\n750 shot " + (folder / "list.pgm").string() +
                              "\n760 click 80 151\n800 shot " + (folder / "page.pgm").string() + "\n810 state\n820 quit\n";
    std::ofstream(folder / "table.txt") << table;
    const GameRun run = RunGame({"-w", "mission05.scr"},
                                {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy",
                                 "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                                 "KELVANDRIST_INPUT=" + (folder / "table.txt").string()},
                                folder);
    ASSERT_EQ(run.hung, "") << run.output;
    EXPECT_EQ(ReadWalkLines(run.output).states.at(810).screen, "COM") << run.output;
    const std::string home = Indices(folder / "home.pgm"), list = Indices(folder / "list.pgm"),
                      page = Indices(folder / "page.pgm");
    ASSERT_FALSE(home.empty());
    ASSERT_FALSE(list.empty());
    ASSERT_FALSE(page.empty());
    EXPECT_NE(home, list) << "the link led to another page";
    // The chart's colours: the game palette's red, yellow and orange ramps.
    constexpr uint8_t kNetRed = 10 + 29 + 24, kBeaconYellow = 10 + 3 * 29 + 28, kMineOrange = 10 + 2 * 29 + 24;
    for (const uint8_t entry : {kNetRed, kBeaconYellow, kMineOrange}) {
        SCOPED_TRACE(static_cast<int>(entry));
        EXPECT_EQ(InView(home, entry), 0);
        EXPECT_EQ(InView(list, entry), 0);
        EXPECT_GT(InView(page, entry), 50) << "the chart is drawn";
    }
}

namespace {

// Mission 6's way to Tarsis from pass `at` (the objectives closed): COM's
// star map, T for Tarsis (the one star marked), Select, Jump, the map
// closed again; with `fly`, NAV and its approach order (2) to the courier,
// the NAV target.
std::string FarPassageJump(long at, bool fly)
{
    std::string table = std::to_string(at) + " click CMDObjv\n" + std::to_string(at + 40) + " click CMDGlobal\n" +
                        std::to_string(at + 90) + " key T\n" + std::to_string(at + 110) + " click BtNavSelect\n" +
                        std::to_string(at + 130) + " click BtCapsule\n" + std::to_string(at + 150) +
                        " click CMDGlobal\n";
    if (fly)
        table += std::to_string(at + 170) + " key F2\n" + std::to_string(at + 190) + " key 2\n";
    return table;
}

// The system events of a trace, in order.
std::vector<std::string> SystemsEntered(const std::string& trace)
{
    std::vector<std::string> systems;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (const std::size_t at = line.find(" system \""); at != std::string::npos)
            systems.push_back(line.substr(at + 9, line.size() - at - 10));
    return systems;
}

} // namespace

// Mission 6 by the README: the star map on COM, Tarsis chosen and the jump
// made; the trace tells the move from Sol to Tarsis, Sol's picket and
// outpost are left behind out of the world while the courier is met at
// Tarsis, and the corvette flown beside it wins the mission.
TEST(FarPassage, TheStarMapJumpTakesTheCorvetteToTarsisWhereMeetingTheCourierWinsTheMission)
{
    ScratchFolder scratch{"campaign_farpassage"};
    constexpr long kLast = 1700;
    const std::string table = Sorted(FarPassageJump(kObjectivesClosed, true) +
                                     Every(kObjectivesClosed + 40, kLast, kShipsStep, "ships") +
                                     Every(kObjectivesClosed + 40, kLast, 100, "state") + std::to_string(kLast + 50) +
                                     " key Q\n" + std::to_string(kLast + 150) + " key Q\n" +
                                     std::to_string(kLast + 400) + " quit\n");
    const std::vector<Flight> flights = FlySeeds(scratch, "mission06.scr", table, 2);
    for (std::size_t i = 0; i < flights.size(); ++i) {
        const Flight& f = flights[i];
        SCOPED_TRACE("seed " + std::to_string(i + 1));
        ASSERT_EQ(f.run.hung, "") << f.run.output;
        EXPECT_EQ(f.run.exitCode, 0) << f.run.output;
        EXPECT_EQ(SystemsEntered(f.trace), (std::vector<std::string>{"Sol", "Tarsis"}));
        // The map told the chosen destination before the jump.
        EXPECT_NE(f.trace.find("\"JUMP DESTINATION: L4 (Tarsis)\""), std::string::npos);

        // Before the jump Sol's ships are in the world and Tarsis's courier
        // is not; after it the courier is, and Sol's wait out of it.
        const long before = kObjectivesClosed + 40 + kShipsStep, after = kObjectivesClosed + 40 + 7 * kShipsStep;
        for (const char* name : {"Picket", "Sol Outpost"}) {
            SCOPED_TRACE(name);
            const auto sol = f.lines.Track(name);
            ASSERT_TRUE(sol.count(before)) << f.run.output;
            EXPECT_FALSE(sol.at(before).parked);
            EXPECT_GE(sol.at(before).hull, 0);
            for (const auto& [pass, line] : sol)
                if (pass >= after) {
                    EXPECT_TRUE(line.parked) << pass;
                    EXPECT_FALSE(line.gone) << pass;
                }
        }
        EXPECT_EQ(f.lines.Count(before, "Courier"), 0);
        const auto courier = f.lines.Track("Courier"), corvette = f.lines.Track("Vorn");
        ASSERT_TRUE(courier.count(after)) << f.run.output;
        EXPECT_FALSE(courier.at(after).parked);
        EXPECT_GT(Apart(courier.at(after), corvette.at(after)), 60000.0) << "the courier waits some way off";
        // The corvette closed on it.
        double nearest = 1e12;
        for (const auto& [pass, line] : courier)
            if (corvette.count(pass))
                nearest = std::min(nearest, Apart(line, corvette.at(pass)));
        EXPECT_LT(nearest, 60000.0);

        // Won with both objectives scored.
        EXPECT_TRUE(ReachedTheDebrief(f.lines)) << f.run.output;
        EXPECT_NE(I16(f.state, kStateSuccess), 0);
        EXPECT_EQ(I16(f.state, kStateScore), 1000);
    }
}

namespace {

// A mission's state and score in the captain's slot file (-1 completed).
struct SlotMission {
    int16_t state = -9999;
    int32_t score = -9999;
    int16_t completed = -9999;
};

SlotMission ReadSlotMission(const fs::path& file, int mission)
{
    constexpr std::size_t kSlotCount = 38, kSlotState = 40, kSlotScore = 1040;
    const std::string slot = Slurp(file);
    SlotMission m;
    if (slot.size() < kSlotScore + 4 * mission + 4)
        return m;
    m.completed = I16(slot, kSlotCount);
    m.state = I16(slot, kSlotState + 2 * mission);
    m.score = static_cast<int32_t>(uint32_t(uint8_t(slot[kSlotScore + 4 * mission])) |
                                   uint32_t(uint8_t(slot[kSlotScore + 4 * mission + 1])) << 8 |
                                   uint32_t(uint8_t(slot[kSlotScore + 4 * mission + 2])) << 16 |
                                   uint32_t(uint8_t(slot[kSlotScore + 4 * mission + 3])) << 24);
    return m;
}

} // namespace

// A campaign mission lost and replayed from the timeline: with missions 1
// to 5 completed, "Play" launches mission 6; the corvette jumps to Tarsis
// but never goes to the courier, which leaves after ninety seconds: the
// mission is lost, Q leaves for the timeline without a debrief and the
// career keeps mission 6 not won. "Play" again launches it anew; this time
// the corvette flies to the courier, the mission is won, and after the
// debrief the timeline's career holds it completed with its score.
TEST(Campaign, AMissionLostOnTheTimelineIsPlayedAgainAndWon)
{
    ScratchFolder scratch{"campaign_replay"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    std::ofstream(folder / "zqk/slot0.sav", std::ios::binary) << CareerWithMissionsDone(5);
    // From the timeline the mission's objectives are up some 610 passes
    // after "Play".
    constexpr long kPlay = 550, kObjectives = kPlay + kObjectivesClosed, kEnd = 3400;
    const std::string front = "100 state\n120 click FrRosSq\n260 click RosSlot\n400 state\n" + std::to_string(kPlay) +
                              " click TimPlayMN\n";
    auto fly = [&](const std::string& name, bool toTheCourier) {
        const std::string table = Sorted(front + FarPassageJump(kObjectives, toTheCourier) +
                                         Every(kEnd - 2000, kEnd, 200, "state") + std::to_string(kEnd + 50) +
                                         " key Q\n" + std::to_string(kEnd + 150) + " key Q\n" +
                                         std::to_string(kEnd + 400) + " state\n" + std::to_string(kEnd + 450) +
                                         " quit\n");
        std::ofstream(folder / (name + ".txt")) << table;
        GameRun run = RunGame({"-w"},
                              {"KELVANDRIST_LOCK_DIR=" + folder.string(), "SDL_VIDEODRIVER=dummy",
                               "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                               "KELVANDRIST_SEED=1", "KELVANDRIST_INPUT=" + (folder / (name + ".txt")).string(),
                               "KELVANDRIST_TRACE=" + (folder / (name + ".trace")).string()},
                              folder);
        return run;
    };

    // Lost: the flight ends without a debrief and the timeline is back.
    const GameRun lost = fly("lost", false);
    ASSERT_EQ(lost.hung, "") << lost.output;
    const WalkLines lostLines = ReadWalkLines(lost.output);
    ASSERT_TRUE(lostLines.states.count(400)) << lost.output;
    EXPECT_EQ(lostLines.states.at(400).screen, "FrontTime");
    EXPECT_EQ(SystemsEntered(Slurp(folder / "lost.trace")), (std::vector<std::string>{"Sol", "Tarsis"}));
    EXPECT_EQ(lostLines.states.at(kEnd).end, 1) << "the flight is over";
    EXPECT_FALSE(ReachedTheDebrief(lostLines));
    EXPECT_EQ(lostLines.states.at(kEnd + 400).screen, "FrontTime") << lost.output;
    const SlotMission afterLoss = ReadSlotMission(folder / "zqk/slot0.sav", 6);
    EXPECT_EQ(afterLoss.completed, 5);
    EXPECT_NE(afterLoss.state, -1) << "mission 6 not won";
    EXPECT_EQ(afterLoss.score, 0);

    // Replayed and won: the debrief, then the timeline with it completed.
    const GameRun won = fly("won", true);
    ASSERT_EQ(won.hung, "") << won.output;
    const WalkLines wonLines = ReadWalkLines(won.output);
    EXPECT_EQ(SystemsEntered(Slurp(folder / "won.trace")), (std::vector<std::string>{"Sol", "Tarsis"}));
    EXPECT_TRUE(ReachedTheDebrief(wonLines)) << won.output;
    EXPECT_EQ(wonLines.states.at(kEnd + 400).screen, "FrontTime") << won.output;
    const SlotMission afterWin = ReadSlotMission(folder / "zqk/slot0.sav", 6);
    EXPECT_EQ(afterWin.completed, 6);
    EXPECT_EQ(afterWin.state, -1) << "mission 6 completed";
    EXPECT_EQ(afterWin.score, 1000);
}

namespace {

// Mission 7's flight by its briefing, from the objectives closed: NAV for a
// look round, the outpost's call answered with the first reply (the picket
// flies along) or the second (it stays); WEP, M and Enter launch the recon
// probe, `=` speeds it up from COM, where "Remote link" then hands the ship
// back; the fight as in mission 1 (WEP, T, G twice, Enter again and again,
// T now and then); then NAV and Shift+S twice separate the command section.
// `shots` names the folder of the frames captured on the way.
constexpr long kLastStandSeparation = 2600, kLastStandLast = 3600;

std::string LastStandTable(bool sendPicket, const fs::path& shots)
{
    std::string table = std::to_string(kObjectivesClosed) + " click CMDObjv\n" +
                        Every(kObjectivesClosed + 40, kLastStandLast, kShipsStep, "ships") +
                        Every(kObjectivesClosed + 40, kLastStandLast, 100, "state");
    table += "640 key F2\n700 shot " + (shots / "belt.pgm").string() + "\n710 key F1\n";
    table += std::string("1150 click ") + (sendPicket ? "CmComButA" : "CmComButB") + "\n";
    table += "1200 key F3\n1220 key M\n1240 key Return\n" + Every(1260, 1290, 4, "key =") +
             "1300 shot " + (shots / "probe.ppm").string() + "\n1400 click REMLink\n";
    table += "1420 key F3\n1430 key T\n1440 key G\n1446 key G\n";
    for (long pass = 1460; pass < kLastStandSeparation - 20; pass += 4)
        table += std::to_string(pass) + (pass % 100 ? " key Return\n" : " key T\n");
    const long s = kLastStandSeparation;
    table += std::to_string(s) + " key F2\n" + std::to_string(s + 20) + " key Left Shift+S\n" +
             std::to_string(s + 40) + " key Left Shift+S\n" + std::to_string(s + 100) + " shot " +
             (shots / "separated.pgm").string() + "\n";
    table += std::to_string(kLastStandLast + 50) + " key Q\n" + std::to_string(kLastStandLast + 150) + " key Q\n" +
             std::to_string(kLastStandLast + 400) + " quit\n";
    return Sorted(table);
}

// The trace's message-log lines (the "log" events), in order.
std::vector<std::string> LogLines(const std::string& trace)
{
    std::vector<std::string> logs;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (const std::size_t at = line.find(" log \""); at != std::string::npos)
            logs.push_back(line.substr(at + 6));
    return logs;
}

std::size_t FirstLog(const std::vector<std::string>& logs, const std::string& part)
{
    for (std::size_t i = 0; i < logs.size(); ++i)
        if (logs[i].find(part) != std::string::npos)
            return i;
    return std::string::npos;
}

// The ranges (in the contact list's metres) shown for a drone, our probe,
// on the contact list: the text drawn right after its "DRN" class on the
// same row.
std::vector<double> ProbeRanges(const std::string& trace)
{
    std::vector<double> ranges;
    std::istringstream lines(trace);
    bool afterDrone = false;
    std::string droneY;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string frame, kind, x, y;
        if (!(words >> frame >> kind >> x >> y) || kind != "text")
            continue;
        if (line.find("\"DRN\"") != std::string::npos) {
            afterDrone = true;
            droneY = y;
            continue;
        }
        if (afterDrone && y == droneY) {
            const std::size_t quote = line.find('"');
            const std::string text = quote == std::string::npos ? "" : line.substr(quote + 1);
            if (text.find(" M\"") != std::string::npos || text.find(" KM\"") != std::string::npos) {
                const double value = std::atof(text.c_str());
                ranges.push_back(text.find(" KM") != std::string::npos ? value * 1000.0 : value);
                afterDrone = false;
            }
        }
    }
    return ranges;
}

// How many distinct palette entries the NAV station's view holds.
int ShadesInNavView(const std::string& frame)
{
    constexpr int kLeft = 36, kTop = 52, kRight = 335, kBottom = 250;
    std::vector<bool> seen(256, false);
    int shades = 0;
    for (int y = kTop; y < kBottom && frame.size() == 640u * 480u; ++y)
        for (int x = kLeft; x < kRight; ++x) {
            const uint8_t entry = static_cast<uint8_t>(frame[y * 640 + x]);
            shades += seen[entry] ? 0 : 1;
            seen[entry] = true;
        }
    return shades;
}

} // namespace

// Mission 7 by the README, under three seeds (the first two send the
// outpost's picket along, the third leaves it): in the Ashkelar system at
// Skarn's Lagrange point, inside the ring of rocks round the planet, the
// outpost's question is answered and the answer holds; the recon probe
// flies out and finds the raiders, who come only then; they are destroyed,
// the reactor is breached, and the command section separated on NAV flies
// clear of the hull, which blows up behind it: the mission is won.
TEST(LastStand, TheProbeFindsTheRaidersAndTheCommandSectionEscapesTheCrippledHull)
{
    ScratchFolder scratch{"campaign_laststand"};
    std::vector<Flight> flights(3);
    std::vector<std::thread> runs;
    for (uint32_t i = 0; i < flights.size(); ++i)
        runs.emplace_back([&, i] {
            const fs::path folder = scratch / ("seed" + std::to_string(i + 1));
            flights[i] = Fly(folder, "mission07.scr", LastStandTable(i < 2, folder), i + 1);
        });
    for (std::thread& run : runs)
        run.join();
    for (std::size_t i = 0; i < flights.size(); ++i) {
        const Flight& f = flights[i];
        const bool sentPicket = i < 2;
        const fs::path folder = scratch / ("seed" + std::to_string(i + 1));
        SCOPED_TRACE("seed " + std::to_string(i + 1));
        ASSERT_EQ(f.run.hung, "") << f.run.output;
        EXPECT_EQ(f.run.exitCode, 0) << f.run.output;

        // The Ashkelar system with the planet Skarn made, the corvette and
        // the fight inside the ring of rocks round it; NAV's view drawn at
        // the start (far more than the flat dark of an empty view).
        EXPECT_EQ(SystemsEntered(f.trace), (std::vector<std::string>{"Ashkelar"}));
        EXPECT_NE(f.trace.find("log \"CREATING BODY: Skarn\""), std::string::npos);
        EXPECT_GT(ShadesInNavView(Indices(folder / "belt.pgm")), 40);
        const auto vorn = f.lines.Track("Vorn");
        ASSERT_TRUE(vorn.count(kObjectivesClosed + 40)) << f.run.output;
        EXPECT_TRUE(vorn.at(kObjectivesClosed + 40).inBelt);

        // The answer, and what follows from it.
        const std::vector<std::string> logs = LogLines(f.trace);
        const std::size_t call = FirstLog(logs, "Outpost - Vorn, this is Skarn Outpost."),
                          send = FirstLog(logs, "You - Send your picket with us."),
                          keep = FirstLog(logs, "You - Keep it at the outpost.");
        ASSERT_NE(call, std::string::npos) << f.run.output;
        EXPECT_EQ(send != std::string::npos, sentPicket);
        EXPECT_EQ(keep != std::string::npos, !sentPicket);
        EXPECT_LT(call, std::min(send, keep));
        const auto picket = f.lines.Track("Picket");
        ASSERT_FALSE(picket.empty());
        // Sent along, it takes up the attack and flies to the fight; kept
        // back, it never leaves its idle state (a stray knock may set it
        // drifting, no more).
        constexpr int kIdle = 61;
        const ShipLine atStart = picket.begin()->second;
        double farthest = 0;
        bool attacked = false;
        for (const auto& [pass, line] : picket)
            if (line.hull >= 0) {
                farthest = std::max(farthest, Apart(line, atStart));
                attacked = attacked || line.ai != kIdle;
            }
        EXPECT_EQ(attacked, sentPicket);
        if (sentPicket)
            EXPECT_GT(farthest, 50000.0) << "the picket flew to the fight";
        else
            EXPECT_LT(farthest, 30000.0) << "the picket stayed with the miners";

        // The probe flew out, and only then were the raiders found.
        const std::vector<double> ranges = ProbeRanges(f.trace);
        ASSERT_FALSE(ranges.empty()) << "the probe is on the contact list";
        EXPECT_GT(*std::max_element(ranges.begin(), ranges.end()), 1000.0) << "it flew out";
        const std::size_t found = FirstLog(logs, "Weapons - The probe has found them");
        ASSERT_NE(found, std::string::npos);
        const auto raider1 = f.lines.Track("Raider One"), raider2 = f.lines.Track("Raider Two");
        ASSERT_FALSE(raider1.empty());
        ASSERT_FALSE(raider2.empty());
        EXPECT_GT(raider1.begin()->first, 1240) << "no raider before the launch";
        for (const auto* raider : {&raider1, &raider2}) {
            EXPECT_TRUE(raider->begin()->second.inBelt) << "it comes out of the rocks";
            EXPECT_TRUE(raider->rbegin()->second.destroyed || raider->rbegin()->second.gone);
        }

        // The breach, then the separation from NAV: its two presses' messages,
        // the section flying under its own name away from the hull, which
        // drifts under the AI until it blows up.
        const std::size_t breach = FirstLog(logs, "Engineer - Captain, the reactor is breached");
        ASSERT_NE(breach, std::string::npos);
        EXPECT_LT(found, breach);
        const std::size_t armed = f.trace.find("message \"Separation armed"),
                          separating = f.trace.find("message \"Command section separating\"");
        ASSERT_NE(armed, std::string::npos) << f.run.output;
        ASSERT_NE(separating, std::string::npos);
        EXPECT_LT(armed, separating);
        const auto section = f.lines.Track("Com Module"), hull = f.lines.Track("Vorn");
        ASSERT_FALSE(section.empty()) << "the section flies as the player's ship" << f.run.output;
        EXPECT_GT(section.begin()->first, kLastStandSeparation);
        double clear = 0;
        for (const auto& [pass, line] : section)
            if (hull.count(pass) && hull.at(pass).hull >= 0)
                clear = std::max(clear, Apart(line, hull.at(pass)));
        EXPECT_GT(clear, 15000.0) << "the section drew clear of the hull";
        EXPECT_TRUE(hull.rbegin()->second.gone) << "the hull blew up";
        EXPECT_GE(section.rbegin()->second.hull, 0) << "the section lives";
        // Drawn: NAV's view after the separation still shows the scene.
        EXPECT_GT(ShadesInNavView(Indices(folder / "separated.pgm")), 40);

        // Won with every objective scored.
        EXPECT_TRUE(ReachedTheDebrief(f.lines)) << f.run.output;
        EXPECT_NE(I16(f.state, kStateSuccess), 0);
        EXPECT_EQ(I16(f.state, kStateScore), 1000);
    }
}
