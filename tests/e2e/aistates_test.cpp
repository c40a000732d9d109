// The AI states that the demo missions give no ship, flown: the small test
// missions tests/e2e/flights/flight_states_*.scr on a copy of the demo
// tree, headless (script_run -f), judged by the outcome and the ship lines
// (a ship's position and top AI state every second).
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/script_run_program.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Vec {
    double x = 0, y = 0, z = 0;
};

double Length(const Vec& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
Vec Minus(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

struct ShipLine {
    Vec at;
    int state = 0;
};

// A ship's lines by frame.
std::map<int, ShipLine> Track(const std::string& out, const std::string& ship)
{
    std::map<int, ShipLine> track;
    const std::regex line("(\\d+) " + ship + " at (\\S+) (\\S+) (\\S+) hull -?\\d+ state (\\d+) ");
    std::istringstream lines(out);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (std::regex_search(text, m, line) && m.position(0) == 0)
            track[std::stoi(m[1])] = {{std::stod(m[2]), std::stod(m[3]), std::stod(m[4])}, std::stoi(m[5])};
    }
    return track;
}

} // namespace

// "DroneTargetRun" flies straight along its nose and keeps to its speed of
// 100000; "DroneMovingTarget" keeps by the runner it was given (the mission
// is lost if it falls 400000 behind); "DroneChasingTarget" lies at rest
// while the player's ship is beyond its waking distance, then runs it down
// and bursts within its fuse's reach (the mission is won only so).
TEST(AiStates, PracticeDronesRunStraightFlyBesideAndChase)
{
    const ProgramRun run = FlyFlight("flight_states_drones.scr", 6000);
    EXPECT_EQ(run.status, 0) << run.out;
    ASSERT_TRUE(FlightWon(run)) << run.out;

    const std::map<int, ShipLine> runner = Track(run.out, "runner");
    ASSERT_GE(runner.size(), 20u) << run.out;
    Vec before = runner.begin()->second.at;
    for (const auto& [frame, line] : runner) {
        EXPECT_EQ(line.at.x, 0.0) << "frame " << frame;
        EXPECT_EQ(line.at.y, 3000000.0) << "frame " << frame;
        EXPECT_LE(line.at.z - before.z, 101000.0) << "frame " << frame << ": faster than its speed";
        before = line.at;
    }
    EXPECT_GT(runner.rbegin()->second.at.z, 1000000.0) << "it ran on";

    const std::map<int, ShipLine> chaser = Track(run.out, "chaser");
    ASSERT_TRUE(chaser.count(300)) << run.out;
    EXPECT_EQ(chaser.at(300).at.z, 700000.0) << "asleep it stays where it is";
    EXPECT_EQ(chaser.at(300).state, 39);
}

// "BigBomb" blows its lone target apart; the blast on a ship that keeps a
// target of its own close by is ignored (lost if that one falls).
TEST(AiStates, ABigBombDestroysItsTargetUnlessItsTargetKeepsCompany)
{
    const ProgramRun run = FlyFlight("flight_states_bigbomb.scr", 2000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// "Capsule" closes on its depot, then jumps to the star system its
// parameter names (won only when it arrived there after coming near the
// depot). It used to jump to system 0, the one it was in: it stayed in
// the scene with its jump under way, adrift for good.
TEST(AiStates, ACapsuleComesToItsDepotAndJumpsToItsSystem)
{
    const ProgramRun run = FlyFlight("flight_states_capsule.scr", 6000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// "Watch" passes over a ship of the watched group whose hull is below the
// threshold, holds the one above it for the set time and then sets its own
// group's target on it: the picket flies out to the intruder, not before
// (the mission is lost if it moves in the first two and a half seconds or
// heads for the wreck).
TEST(AiStates, AWatchSetsItsGroupOnTheShipItWatchedLongEnough)
{
    const ProgramRun run = FlyFlight("flight_states_watch.scr", 3000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, ShipLine> picket = Track(run.out, "picket");
    ASSERT_TRUE(picket.count(180)) << run.out;
    EXPECT_EQ(picket.at(180).at.x, 30000.0) << "three seconds of watching first";
}

// "HiSpeedWeaponsPass" runs in on the hulk no faster than its speed limit
// and fires as it passes (won only when the hulk is destroyed).
TEST(AiStates, AWeaponsPassDestroysTheHulkWithinItsSpeedLimit)
{
    const ProgramRun run = FlyFlight("flight_states_weaponspass.scr", 12000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, ShipLine> striker = Track(run.out, "striker");
    ASSERT_GE(striker.size(), 10u) << run.out;
    Vec before = striker.begin()->second.at;
    for (const auto& [frame, line] : striker) {
        EXPECT_LE(Length(Minus(line.at, before)), 41000.0) << "frame " << frame << "\n"
                                                           << run.out;
        before = line.at;
    }
}

// "SeekOrbitalSpeed" rides the planet the ship is near: from rest 600000
// above the surface it climbs to the altitude it was told, 1000000, holds
// it, and goes round the planet. It used to read the ridden body from
// fields nothing wrote, and a planet never noted the ships near it (its
// response came second to the ship's, which took the contact).
TEST(AiStates, AnOrbitingShipClimbsToItsAltitudeAndGoesRound)
{
    const ProgramRun run = FlyFlight("flight_states_orbit.scr", 7300);
    EXPECT_EQ(run.status, 0) << run.out;
    const std::map<int, ShipLine> patrol = Track(run.out, "patrol");
    ASSERT_TRUE(patrol.count(1800) && patrol.count(7200)) << run.out;
    const double surface = 2000000.0; // size 40: 20 x 100000 from the centre
    double angle = 0.0;
    for (const auto& [frame, line] : patrol) {
        if (frame < 1800)
            continue; // still climbing
        EXPECT_NEAR(Length(line.at) - surface, 1000000.0, 20000.0) << "frame " << frame << "\n"
                                                                   << run.out;
        const double now = std::atan2(line.at.z, line.at.y);
        EXPECT_GT(now, angle) << "frame " << frame << ": it goes round";
        angle = now;
    }
    const double arc = Length(Minus(patrol.at(7200).at, patrol.at(1800).at));
    EXPECT_GT(arc, 90 * 1500.0) << "at its orbital speed:\n"
                                << run.out;
}

// A seeker leaves its launcher straight ahead, turns onto a target that
// lies well outside the launcher's arc and strikes it (won only when the
// target is destroyed). Missiles used to close on the braking profile of
// an arriving ship, leading the point by a turn time that a missile which
// cannot yaw never makes: they stood off and ran out of life short of it.
TEST(AiStates, SeekersTurnOntoATargetOutsideTheirLaunchersArc)
{
    const ProgramRun run = FlyFlight("flight_states_seeker.scr", 3000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// A seeker on the "SeekerMissile" order passes over a nearer unarmed ship
// and runs down the armed one (lost if it goes for the nearer).
TEST(AiStates, ASeekerOrderRunsDownTheArmedShip)
{
    const ProgramRun run = FlyFlight("flight_states_seekerorder.scr", 6000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, ShipLine> seeker = Track(run.out, "seeker");
    ASSERT_FALSE(seeker.empty()) << run.out;
    EXPECT_EQ(seeker.begin()->second.state, 64) << run.out;
}

// The ion, extra-large, slow, Gatling and long cannons and the antimatter
// release, each on a ship on "ConstantFire", destroy the hulk ahead of it
// (won only when all six are destroyed).
TEST(AiStates, EveryGunKindNoMissionFitsDestroysItsHulk)
{
    const ProgramRun run = FlyFlight("flight_states_launchers.scr", 9000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
}

// "OrbitalAttack" turns onto a point beside its enemy, runs in at full
// thrust and fires as the point comes into its guns' arc (won only when
// the hulk is destroyed); it never stops to fight, so it goes on past.
TEST(AiStates, AnOrbitalAttackRunsInFiringAndGoesOnPast)
{
    const ProgramRun run = FlyFlight("flight_states_orbitalattack.scr", 9000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, ShipLine> attacker = Track(run.out, "attacker");
    ASSERT_GE(attacker.size(), 3u) << run.out;
    EXPECT_EQ(attacker.rbegin()->second.state, 40) << run.out;
    Vec before = attacker.begin()->second.at;
    for (const auto& [frame, line] : attacker) {
        if (frame > 0) {
            EXPECT_GT(Length(Minus(line.at, before)), 1000.0) << "frame " << frame << ": never still";
        }
        before = line.at;
    }
}

// A raider on "FixedAttack" with an LDS interdiction launcher throws a
// courier that runs on the LDS drive out of it, far short of its depot
// (won only so; without the launcher the courier reaches the depot).
TEST(AiStates, AnInterdictionMissileThrowsACourierOutOfLds)
{
    const ProgramRun run = FlyFlight("flight_states_ldsi.scr", 9000);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(FlightWon(run)) << run.out;
    const std::map<int, ShipLine> courier = Track(run.out, "courier");
    ASSERT_FALSE(courier.empty()) << run.out;
    EXPECT_LT(courier.rbegin()->second.at.z, 5000000.0) << "far short of the depot:\n"
                                                        << run.out;
}
