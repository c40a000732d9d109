// Ships' orders and the statements that steer them, flown: the small test
// missions of tests/e2e/flights on a copy of the demo tree, headless
// (script_run -f, judged by the outcome, the ship lines and the field dump)
// or in the game itself (judged by its "ships" lines and its trace).
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/script_run_program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Vec {
    double x = 0, y = 0, z = 0;
};

double Dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// A ship's positions by frame, from the ship lines.
std::map<int, Vec> Track(const std::string& out, const std::string& ship)
{
    std::map<int, Vec> track;
    const std::regex line("(\\d+) " + ship + " at (\\S+) (\\S+) (\\S+) ");
    std::istringstream lines(out);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (std::regex_search(text, m, line) && m.position(0) == 0)
            track[std::stoi(m[1])] = {std::stod(m[2]), std::stod(m[3]), std::stod(m[4])};
    }
    return track;
}

// A ship's axes (rows X, Y, Z) from the field dump.
std::vector<Vec> Axes(const std::string& out, const std::string& ship)
{
    const std::regex dump("ship " + ship +
                          R"( kind [^\n]*\n(?:  [^\n]*\n)*?  axes (\S+) (\S+) (\S+) / (\S+) (\S+) (\S+) / (\S+) (\S+) (\S+)\n)");
    std::smatch m;
    if (!std::regex_search(out, m, dump))
        return {};
    std::vector<Vec> axes;
    for (int row = 0; row < 3; ++row)
        axes.push_back({std::stod(m[1 + row * 3]), std::stod(m[2 + row * 3]), std::stod(m[3 + row * 3])});
    return axes;
}

} // namespace

// A "StraightLDS" ship thrown out of LDS flees with the flee's leave-by-LDS
// parameter: once the interdiction's bar lifts it is in LDS again, rather
// than running on its thrusters (the mission is won only then).
TEST(AiFlights, AStraightLdsShipGoesBackIntoLdsOnceTheBarLifts)
{
    const ProgramRun run = FlyFlight("flight_straightlds.scr", 3000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// A hauler on the "GoAndDock" order, its port far out on its nose, stands
// off, turns and docks at the depot (the mission is won only docked); it
// used to stay in the orientation step for good, held off by its own port.
TEST(AiFlights, AGoAndDockHaulerEndsDockedAtTheDepot)
{
    const ProgramRun run = FlyFlight("flight_goanddock.scr", 6000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// A "HarpoonTarget" ship goes on the line of the moving hulk it harpooned
// and is pulled along with it.
TEST(AiFlights, AHarpoonShipIsTowedByTheHulkItHarpooned)
{
    const ProgramRun run = FlyFlight("flight_harpoon.scr", 3000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, Vec> whaler = Track(run.out, "whaler");
    const std::map<int, Vec> hulk = Track(run.out, "hulk");
    ASSERT_GE(whaler.size(), 3u) << run.out;
    const int first = std::next(whaler.begin())->first, last = whaler.rbegin()->first;
    const double pulled = whaler.at(last).z - whaler.at(first).z;
    EXPECT_GT(pulled, 5000.0) << run.out;
    EXPECT_NEAR(pulled, hulk.at(last).z - hulk.at(first).z, 1.0) << "it moves as the hulk does";
}

// An "LDADeff2Indie" ship with two hard points and two raiders below it
// turns until one raider lies above it and one below, so that both hard
// points bear, with its nose between them.
TEST(AiFlights, AnLdaDefenceShipTurnsSoThatBothHardPointsBear)
{
    const ProgramRun run = FlyFlight("flight_ldadeff.scr", 1500, true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::vector<Vec> axes = Axes(run.out, "keeper");
    ASSERT_EQ(axes.size(), 3u) << run.out;
    const Vec left{-30000, -20000, 40000}, right{30000, -20000, 40000}; // the keeper is at the origin
    EXPECT_LT(Dot(axes[1], left) * Dot(axes[1], right), 0.0) << "one above, one below:\n"
                                                             << run.out;
    const double length = std::hypot(20000.0, 40000.0);
    const Vec middle{0, -20000 / length, 40000 / length};
    EXPECT_GT(Dot(axes[2], middle), 0.95) << "the nose between them:\n"
                                          << run.out;
}

// NAVTARGET and HUD_STRING in the game: the navigation station's APPROACH
// order flies the corvette to the navigation target the mission gave it,
// behind it, not to its weapons target ahead; the mission's counter is drawn at
// the flight HUD's upper centre line with each number it is given, and goes
// with OFF.
TEST(AiFlights, TheMissionsNavigationTargetIsFlownToAndItsCounterShown)
{
    ScratchFolder scratch{"aiflight_game"};
    const fs::path data = FlightTree(scratch, "flight_navtarget.scr");
    std::ofstream(data / "table.txt") << "160 click NvMd5\n800 ships\n820 quit\n";
    const GameRun run = RunGame({"-w", "flight_navtarget.scr"},
                                {"KELVANDRIST_LOCK_DIR=" + data.string(), "SDL_VIDEODRIVER=dummy",
                                 "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                                 "KELVANDRIST_INPUT=" + (data / "table.txt").string(),
                                 "KELVANDRIST_TRACE=" + (data / "trace.txt").string()},
                                data);
    ASSERT_EQ(run.hung, "") << run.output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.output, m, std::regex(R"(ship 800 Vorn [^\n]* at=(-?\d+),(-?\d+),(-?\d+) )")))
        << run.output;
    EXPECT_LT(std::stol(m[3]), -150000) << "the corvette flew to the beacon:\n"
                                        << run.output;

    // The counter's frames: the first number, then the second, then none.
    std::ifstream trace(data / "trace.txt");
    const std::regex counter(R"re((\d+) text (-?\d+) (-?\d+) \d+ \d+ "Beacons left: (\d)")re");
    std::map<int, long> firstFrame, lastFrame;
    long lastTraced = 0;
    int y = -1;
    for (std::string line; std::getline(trace, line);) {
        lastTraced = std::max(lastTraced, std::strtol(line.c_str(), nullptr, 10));
        if (line.find("Beacons left") == std::string::npos || !std::regex_match(line, m, counter))
            continue;
        const int shown = std::stoi(m[4]);
        firstFrame.try_emplace(shown, std::stol(m[1]));
        lastFrame[shown] = std::stol(m[1]);
        y = std::stoi(m[3]);
    }
    ASSERT_TRUE(firstFrame.count(3) && firstFrame.count(2)) << "the counter was never drawn";
    EXPECT_LT(lastFrame[3], firstFrame[2]);
    EXPECT_LT(lastFrame[2] + 100, lastTraced) << "OFF removes it";
    EXPECT_EQ(y, 52 + 16) << "the upper centre line of NAV's view";
}

// A ship with no combat style that runs from a raider with a whole hull runs
// for a while, then stops running: its flight state ends and it no longer
// gains speed.
TEST(AiFlights, AShipWithNoCombatStyleStopsFleeing)
{
    const ProgramRun run = FlyFlight("flight_fleestops.scr", 1200, true);
    EXPECT_EQ(run.status, 0) << run.out;
    const std::map<int, Vec> runner = Track(run.out, "runner");
    ASSERT_TRUE(runner.count(60) && runner.count(1140) && runner.count(1080)) << run.out;
    EXPECT_GT(runner.at(60).z, 1000.0) << "it ran at first";
    const std::regex fleeing("\n(\\d+) runner at [^\n]* state 59 ");
    std::smatch m;
    for (auto from = run.out.cbegin(); std::regex_search(from, run.out.cend(), m, fleeing); from = m[0].second)
        EXPECT_LT(std::stoi(m[1]), 600) << "still fleeing";
    const double late = runner.at(1140).z - runner.at(1080).z, earlier = runner.at(660).z - runner.at(600).z;
    EXPECT_NEAR(late, earlier, 1.0) << "it no longer speeds up:\n"
                                    << run.out;
}

// A bus on "BusDriver" calls at its three stops in turn, a courier on
// "LDSToNavTarget" goes into LDS and comes out by its depot, and a guard on
// "Loiter" comes to its beacon from far off (the mission is won only when
// all three did); once there the guard circles the beacon, never far off
// and never still.
TEST(AiFlights, BusCourierAndLoiterShipsGoWhereTheirOrdersSend)
{
    const ProgramRun run = FlyFlight("flight_routes.scr", 9000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    ASSERT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, Vec> idler = Track(run.out, "idler");
    const Vec beacon{0, -2000000, 0};
    int circling = 0;
    Vec before{};
    for (const auto& [frame, at] : idler) {
        const Vec off{at.x - beacon.x, at.y - beacon.y, at.z - beacon.z};
        const double distance = std::sqrt(Dot(off, off));
        const Vec step{at.x - before.x, at.y - before.y, at.z - before.z};
        before = at;
        if (frame < 1200)
            continue; // still on its way in
        ++circling;
        EXPECT_LT(distance, 150000.0) << "frame " << frame << "\n"
                                      << run.out;
        EXPECT_GT(std::sqrt(Dot(step, step)), 1000.0) << "frame " << frame << "\n"
                                                      << run.out;
    }
    EXPECT_GE(circling, 5) << run.out;
}

// A hunter on "SeekAndDestroy2" destroys the prey it was given; a sentinel
// with "ProvokedAttack" behind "StopDead" holds its fire until a provoker on
// "ConstantFire" shoots at it, then destroys the provoker (the mission is
// won only so, and lost if the sentinel fires first).
TEST(AiFlights, AHunterDestroysItsPreyAndAProvokedSentinelItsAttacker)
{
    const ProgramRun run = FlyFlight("flight_attacks.scr", 7000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// A wrecker on "DockAndDemolish" docks at its depot, a hauler's
// "DockWhenClose" takes over from its "StopDead" near the yard and docks it
// there, and a minder on "StayNear" keeps by a freighter that drifts off
// (the mission is won only when all three did).
TEST(AiFlights, DockingOrdersDockAndAStayNearShipKeepsByItsCharge)
{
    const ProgramRun run = FlyFlight("flight_docks.scr", 9500, true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, Vec> minder = Track(run.out, "minder");
    ASSERT_GE(minder.size(), 3u) << run.out;
    EXPECT_GT(minder.rbegin()->second.z, 50000.0) << "it went along with the freighter:\n"
                                                  << run.out;
}

// A guard on "SentryDuty" stays by its ward until a raider comes within its
// watch, then its "SeekAndDestroy" takes over: it turns onto the raider and
// destroys it before the ward falls (the mission is won only so). Its mount
// frame used to be mirrored, so the guard yawed away from a raider dead
// ahead and flew off.
TEST(AiFlights, ASentryGuardDestroysTheRaiderThatComesWithinItsWatch)
{
    const ProgramRun run = FlyFlight("flight_sentry.scr", 7000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// A proximity mine laid on a barge whose only port is closed opens that
// port for itself, turns into the docking orientation, docks and blasts the
// barge (it used to find no free port and idle); the mine's own orders are
// "Docking" over "NO PROGRAM" by their weights. A tanker with the resupply
// tactic that docks at a carrier takes "Going home" with its priority as
// the weight, made current (the mission is won only when the barge is
// destroyed and the tanker docked).
TEST(AiFlights, AMineDocksToBlastItsTargetAndAResupplyTankerGoesHome)
{
    const ProgramRun run = FlyFlight("flight_coupling.scr", 6000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    ASSERT_TRUE(FlightWon(run)) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex("\n\\d+ - at [^\n]* state 15 ")))
        << "a mine in the docking orientation:\n"
        << run.out;
    EXPECT_NE(run.out.find("    slot 0 \"NO PROGRAM\" weight 1 EvalDefault 0 0 state 61 0 0 0\n"
                           "    slot 1 \"Docking\" weight 80 EvalDefault 0 0 state 13 0 0 0\n"),
              std::string::npos)
        << run.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.out, m, std::regex("ship tanker kind [^\n]*\n(?:  [^\n]*\n)*?  orders current (\\d+)\n"
                                                         "(?:    [^\n]*\n)*?    slot 1 ([^\n]*)\n")))
        << run.out;
    EXPECT_EQ(m[1].str(), "1") << run.out;
    EXPECT_EQ(m[2].str(), "\"Going home\" weight 80 EvalDefault 80 0 state 17 0 1 0") << run.out;
}

// The command section separated in the game (NAV's button arms it, Shift+S
// carries it out): the player flies the "Com Module" now, which set out
// 8000 ahead of the corvette on its nose and 1000 faster along it, and draws
// away; the hull, left with no program, drifts on.
TEST(AiFlights, TheSeparatedCommandSectionFliesAheadAndTheHullDrifts)
{
    ScratchFolder scratch{"aiflight_separation"};
    const fs::path data = CopyDemoData(scratch.Path());
    std::ofstream(data / "table.txt") << "610 click CMDObjv\n"
                                         "700 key F2\n"
                                         "730 click NavButt7\n"
                                         "750 ships\n"
                                         "760 key Left Shift+S\n"
                                         "762 ships\n"
                                         "800 ships\n"
                                         "810 quit\n";
    const GameRun run = RunGame({"-w", "mission01.scr"},
                                {"KELVANDRIST_LOCK_DIR=" + data.string(), "SDL_VIDEODRIVER=dummy",
                                 "SDL_AUDIODRIVER=dummy", "KELVANDRIST_UNPACED=1", "KELVANDRIST_FRAME_SECONDS=0.05",
                                 "KELVANDRIST_INPUT=" + (data / "table.txt").string()},
                                data);
    ASSERT_EQ(run.hung, "") << run.output;
    struct Line {
        Vec at, velocity;
        std::string name;
        int ai = -1;
    };
    std::map<std::string, Line> seen; // by "<pass> <ship>"
    const std::regex ship(R"(ship (\d+) Vorn [^\n]* at=(-?\d+),(-?\d+),(-?\d+) lds=\d ai=(\d+))");
    const std::regex player(
        R"(player (\d+) ([^\n]*) kind=\d+ at=(-?\d+),(-?\d+),(-?\d+) velocity=(-?\d+),(-?\d+),(-?\d+))");
    std::istringstream lines(run.output);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (std::regex_search(text, m, ship))
            seen[m[1].str() + " hull"] = {{std::stod(m[2]), std::stod(m[3]), std::stod(m[4])}, {}, "", std::stoi(m[5])};
        else if (std::regex_search(text, m, player))
            seen[m[1].str() + " player"] = {{std::stod(m[3]), std::stod(m[4]), std::stod(m[5])},
                                            {std::stod(m[6]), std::stod(m[7]), std::stod(m[8])},
                                            m[2].str()};
    }
    for (const char* key : {"750 player", "762 player", "762 hull", "800 player", "800 hull"})
        ASSERT_TRUE(seen.count(key)) << key << "\n"
                                     << run.output;
    EXPECT_EQ(seen["750 player"].name, "Vorn") << "the corvette before";
    const Line& section = seen["762 player"];
    const Line& hull = seen["762 hull"];
    EXPECT_EQ(section.name, "Com Module") << run.output;
    const Vec gap{section.at.x - hull.at.x, section.at.y - hull.at.y, section.at.z - hull.at.z};
    const Vec velocity = seen["750 player"].velocity;
    const Vec push{section.velocity.x - velocity.x, section.velocity.y - velocity.y, section.velocity.z - velocity.z};
    EXPECT_NEAR(std::sqrt(Dot(gap, gap)), 8000.0, 1500.0) << run.output;
    EXPECT_NEAR(std::sqrt(Dot(push, push)), 1000.0, 300.0) << run.output;
    EXPECT_GT(Dot(gap, push), 0.9 * std::sqrt(Dot(gap, gap) * Dot(push, push))) << "ahead, along the same axis";
    const Vec later{seen["800 player"].at.x - seen["800 hull"].at.x, seen["800 player"].at.y - seen["800 hull"].at.y,
                    seen["800 player"].at.z - seen["800 hull"].at.z};
    EXPECT_GT(std::sqrt(Dot(later, later)), std::sqrt(Dot(gap, gap)) + 1000.0) << "it draws away:\n"
                                                                               << run.output;
    EXPECT_EQ(seen["800 hull"].ai, 62) << "the hull drifts on no program:\n"
                                       << run.output;
}

// The Actions a mission hangs on ships with DO_WHEN fire at the hits a
// gunner lands: a marker buoy steps its marker colour (from none to one of
// the three gate colours), each fuel pod bursts into a ball of antimatter
// and is gone at its next contact (the mission is won only when both are),
// and a venting hulk takes its hits and stays whole.
TEST(AiFlights, ActionsOnHitsCycleAMarkerBurstPodsAndVentAHulk)
{
    const ProgramRun run = FlyFlight("flight_world_actions.scr", 3000, true);
    EXPECT_EQ(run.status, 0) << run.out;
    ASSERT_TRUE(FlightWon(run)) << run.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.out, m, std::regex("ship marker kind [^\n]*\n(?:  [^\n]*\n)*?  sense [^\n]* marker (\\d+)\n")))
        << run.out;
    EXPECT_TRUE(m[1] == "9" || m[1] == "10" || m[1] == "12") << "the marker colour:\n"
                                                             << run.out;
    EXPECT_EQ(run.out.find("ship pod "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("ship bigpod "), std::string::npos) << run.out;
    const std::regex hulk("\n\\d+ hulk at [^\n]* hull (\\d+) ");
    int lowest = 100;
    for (auto from = run.out.cbegin(); std::regex_search(from, run.out.cend(), m, hulk); from = m[0].second)
        lowest = std::min(lowest, std::stoi(m[1]));
    EXPECT_LT(lowest, 100) << "the hulk was hit";
    EXPECT_NE(run.out.find("ship hulk "), std::string::npos) << "and stays whole:\n"
                                                             << run.out;
}

// A carrier whose impact Action takes in the player's ship: the corvette
// drifts into it lined up, and the two end docked at dock points neither
// had made ready (the mission is won only docked), the corvette going on
// with the carrier coupled to it.
TEST(AiFlights, ACarriersImpactActionDocksThePlayersShipLinedUpWithIt)
{
    const ProgramRun run = FlyFlight("flight_world_carrierdock.scr", 2500, true);
    EXPECT_EQ(run.status, 0) << run.out;
    ASSERT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, Vec> hero = Track(run.out, "hero");
    const std::map<int, Vec> carrier = Track(run.out, "carrier");
    ASSERT_FALSE(hero.empty()) << run.out;
    const auto& [last, at] = *hero.rbegin();
    ASSERT_TRUE(carrier.count(last)) << run.out;
    EXPECT_NEAR(carrier.at(last).z, at.z, 1.0) << "coupled:\n"
                                               << run.out;
}
